// Bridge of qelta.learning.TAN: the options of tree-augmented naive Bayes
// and the learn that returns a new network. The learner rewrites the data
// set's ids and values as it builds the network.
#include "qelta_learning_TAN.h"

#include <stdexcept>
#include <string>

#include "base/engine_error.h"
#include "base/status.h"
#include "jni/frame.h"
#include "jni/learning_common.h"
#include "learning/tan.h"
#include "network/network.h"

using qelta::jni::Guarded;

namespace {

VRN_tan& Record(JNIEnv* env, jobject obj) { return *qelta::jni::GetNative<VRN_tan>(env, obj); }

}  // namespace

/*
 * Class:     qelta_learning_TAN
 * Method:    createNative
 * Signature: (Ljava/lang/Object;)J
 */
extern "C" JNIEXPORT jlong JNICALL Java_qelta_learning_TAN_createNative(JNIEnv* env, jobject obj, jobject unused) {
  return Guarded(env, [&] { return qelta::jni::ToHandle(new VRN_tan()); });
}

/*
 * Class:     qelta_learning_TAN
 * Method:    deleteNative
 * Signature: (J)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_TAN_deleteNative(JNIEnv* env, jclass cls, jlong handle) {
  Guarded(env, [&] { qelta::jni::ReleaseHandle(handle); });
}

/*
 * Class:     qelta_learning_TAN
 * Method:    getMaxSearchTime
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_TAN_getMaxSearchTime(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Record(env, obj).maxSearchTime); });
}

/*
 * Class:     qelta_learning_TAN
 * Method:    setMaxSearchTime
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_TAN_setMaxSearchTime(JNIEnv* env, jobject obj, jint value) {
  Guarded(env, [&] { Record(env, obj).maxSearchTime = static_cast<int>(value); });
}

/*
 * Class:     qelta_learning_TAN
 * Method:    getRandSeed
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_TAN_getRandSeed(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Record(env, obj).randSeed); });
}

/*
 * Class:     qelta_learning_TAN
 * Method:    setRandSeed
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_TAN_setRandSeed(JNIEnv* env, jobject obj, jint value) {
  Guarded(env, [&] { Record(env, obj).randSeed = static_cast<int>(value); });
}

/*
 * Class:     qelta_learning_TAN
 * Method:    getClassVariableId
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_learning_TAN_getClassVariableId(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return NativeToJavaString(env, Record(env, obj).classVariableId); });
}

/*
 * Class:     qelta_learning_TAN
 * Method:    setClassVariableId
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_TAN_setClassVariableId(JNIEnv* env, jobject obj, jstring id) {
  Guarded(env, [&] {
    JavaStringToNative text(env, id, "Class variable identifier");
    Record(env, obj).classVariableId = text.str();
  });
}

/*
 * Class:     qelta_learning_TAN
 * Method:    learn
 * Signature: (Lqelta/learning/DataSet;)Lqelta/Network;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_TAN_learn(JNIEnv* env, jobject obj, jobject data) {
  return Guarded(env, [&] {
    VRN_network* net = nullptr;
    jobject result = qelta::jni::NewNetwork(env, &net);
    VRN_dataset& dataset = qelta::jni::DataSetArgument(env, data);
    const int status = Record(env, obj).Learn(dataset, *net, nullptr, nullptr);
    if (status != qelta::kOk) ReportNetworkError("Learn", status, *net->ErrorLog());
    return result;
  });
}
