// Bridge of qelta.Network: the text boxes of a submodel's drawing. The
// methods work on the submodel's list directly, so every failure is an
// argument refusal.
#include "qelta_Network.h"

#include <utility>
#include <vector>

#include "jni/checks.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "network/network.h"
#include "network/submodel.h"

using qelta::jni::Guarded;
using qelta::jni::Net;

namespace {

jint Sub(JNIEnv* env, jobject obj, jstring id) {
  return SubmodelIdToHandle(env, Net(env, obj), id);
}

std::vector<VRN_textBox>& Boxes(JNIEnv* env, jobject obj, jint submodel) {
  return ValidateSubmodelHandle(Net(env, obj), submodel)->TextBoxes();
}

jint GetTextBoxCount(JNIEnv* env, jobject obj, jint submodel) {
  return static_cast<jint>(Boxes(env, obj, submodel).size());
}

jobject GetTextBox(JNIEnv* env, jobject obj, jint submodel, jint index) {
  return TextBoxToJava(env,
                       ValidateTextBoxIndex(Net(env, obj), submodel, index));
}

// TextBoxFromJava reads every field before it stores, so a refused box
// leaves the stored one as it was.
void SetTextBox(JNIEnv* env, jobject obj, jint submodel, jint index,
                jobject box) {
  TextBoxFromJava(env, box,
                  &ValidateTextBoxIndex(Net(env, obj), submodel, index));
}

void AddTextBox(JNIEnv* env, jobject obj, jint submodel, jobject box) {
  std::vector<VRN_textBox>& boxes = Boxes(env, obj, submodel);
  VRN_textBox fresh;
  TextBoxFromJava(env, box, &fresh);
  boxes.push_back(std::move(fresh));
}

void DeleteTextBox(JNIEnv* env, jobject obj, jint submodel, jint index) {
  ValidateTextBoxIndex(Net(env, obj), submodel, index);
  std::vector<VRN_textBox>& boxes = Boxes(env, obj, submodel);
  boxes.erase(boxes.begin() + index);
}

}  // namespace

/*
 * Class:     qelta_Network
 * Method:    getTextBoxCount
 * Signature: (I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getTextBoxCount__I(JNIEnv* env, jobject obj, jint submodel) {
  return Guarded(env, [&] { return GetTextBoxCount(env, obj, submodel); });
}

/*
 * Class:     qelta_Network
 * Method:    getTextBoxCount
 * Signature: (Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getTextBoxCount__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring id) {
  return Guarded(env, [&] { return GetTextBoxCount(env, obj, Sub(env, obj, id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getTextBox
 * Signature: (II)Lqelta/TextBox;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_getTextBox__II(JNIEnv* env, jobject obj, jint submodel, jint index) {
  return Guarded(env, [&] { return GetTextBox(env, obj, submodel, index); });
}

/*
 * Class:     qelta_Network
 * Method:    getTextBox
 * Signature: (Ljava/lang/String;I)Lqelta/TextBox;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_getTextBox__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring id, jint index) {
  return Guarded(env, [&] { return GetTextBox(env, obj, Sub(env, obj, id), index); });
}

/*
 * Class:     qelta_Network
 * Method:    setTextBox
 * Signature: (IILqelta/TextBox;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setTextBox__IILqelta_TextBox_2(JNIEnv* env, jobject obj, jint submodel, jint index, jobject box) {
  Guarded(env, [&] { SetTextBox(env, obj, submodel, index, box); });
}

/*
 * Class:     qelta_Network
 * Method:    setTextBox
 * Signature: (Ljava/lang/String;ILqelta/TextBox;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setTextBox__Ljava_lang_String_2ILqelta_TextBox_2(JNIEnv* env, jobject obj, jstring id, jint index, jobject box) {
  Guarded(env, [&] { SetTextBox(env, obj, Sub(env, obj, id), index, box); });
}

/*
 * Class:     qelta_Network
 * Method:    addTextBox
 * Signature: (ILqelta/TextBox;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_addTextBox__ILqelta_TextBox_2(JNIEnv* env, jobject obj, jint submodel, jobject box) {
  Guarded(env, [&] { AddTextBox(env, obj, submodel, box); });
}

/*
 * Class:     qelta_Network
 * Method:    addTextBox
 * Signature: (Ljava/lang/String;Lqelta/TextBox;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_addTextBox__Ljava_lang_String_2Lqelta_TextBox_2(JNIEnv* env, jobject obj, jstring id, jobject box) {
  Guarded(env, [&] { AddTextBox(env, obj, Sub(env, obj, id), box); });
}

/*
 * Class:     qelta_Network
 * Method:    deleteTextBox
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteTextBox__II(JNIEnv* env, jobject obj, jint submodel, jint index) {
  Guarded(env, [&] { DeleteTextBox(env, obj, submodel, index); });
}

/*
 * Class:     qelta_Network
 * Method:    deleteTextBox
 * Signature: (Ljava/lang/String;I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteTextBox__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring id, jint index) {
  Guarded(env, [&] { DeleteTextBox(env, obj, Sub(env, obj, id), index); });
}

