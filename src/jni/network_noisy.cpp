// Bridge of qelta.Network: noisy-MAX strength orders, the expanded table
// and the Henrion form of the parameters.
#include "qelta_Network.h"

#include <stdexcept>
#include <string>

#include "base/arrays.h"
#include "base/engine_error.h"
#include "base/matrix.h"
#include "base/status.h"
#include "definitions/noisy_max.h"
#include "jni/checks.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "network/network.h"
#include "network/node.h"

using qelta::jni::Guarded;
using qelta::jni::Handle;
using qelta::jni::IdOf;
using qelta::jni::Net;

namespace {

VRN_noisyMAX& NoisyMax(JNIEnv* env, jobject obj, jint node) {
  return *static_cast<VRN_noisyMAX*>(GetNoisyMaxDef(Net(env, obj), node));
}

void SetParentStrengths(JNIEnv* env, jobject obj, jint node, jint parent,
                        jintArray strengths) {
  qelta::jni::RequireArray(strengths, "Parent strenghts array cannot be null");
  VRN_noisyMAX& definition = NoisyMax(env, obj, node);
  ValidateParentIndex(Net(env, obj), node, parent);
  const int expected = definition.GetParentOutcomeCount(parent);
  const jsize length = env->GetArrayLength(strengths);
  if (length != expected) {
    throw std::invalid_argument(
        "Invalid parent strength array size for node '" +
        IdOf(*Net(env, obj).GetNode(node)) + "': expected " +
        std::to_string(expected) + " and got " + std::to_string(length));
  }
  VRN_intArray order;
  const int status = order.SetSize(length);
  if (status != qelta::kOk) ReportError("SetParentOutcomeStrengths", status);
  if (length > 0) env->GetIntArrayRegion(strengths, 0, length, order.Items());
  qelta::jni::CheckJava(env);
  // An order that is not a permutation is refused (-4), not ignored.
  const int result = definition.SetParentOutcomeStrengths(parent, order);
  if (result != qelta::kOk) ReportError("SetParentOutcomeStrengths", result);
}

jintArray GetParentStrengths(JNIEnv* env, jobject obj, jint node,
                             jint parent) {
  VRN_noisyMAX& definition = NoisyMax(env, obj, node);
  ValidateParentIndex(Net(env, obj), node, parent);
  const VRN_intArray& order = definition.GetParentOutcomeStrengths(parent);
  return qelta::jni::NewJavaArray<jint>(
      env, order.Items(), static_cast<std::size_t>(order.GetSize()));
}

jdoubleArray GetExpandedDefinition(JNIEnv* env, jobject obj, jint node) {
  const VRN_matrix* table = NoisyMax(env, obj, node).GetExpandedDefinition();
  // Only a table too large for memory cannot be expanded.
  if (table == nullptr) {
    ReportError("GetExpandedDefinition", qelta::kErrOutOfMemory);
  }
  return qelta::jni::NewJavaArray<jdouble>(
      env, table->GetItems().Items(),
      static_cast<std::size_t>(table->GetItemCount()));
}

jdoubleArray GetHenrionDefinition(JNIEnv* env, jobject obj, jint node) {
  VRN_matrix henrion;
  (void)NoisyMax(env, obj, node).GetHenrionProbabilities(&henrion);
  return qelta::jni::NewJavaArray<jdouble>(
      env, henrion.GetItems().Items(),
      static_cast<std::size_t>(henrion.GetItemCount()));
}

void SetHenrionDefinition(JNIEnv* env, jobject obj, jint node,
                          jdoubleArray probabilities) {
  qelta::jni::RequireArray(probabilities,
                           "Henrion probabilities array cannot be null");
  VRN_noisyMAX& definition = NoisyMax(env, obj, node);
  VRN_matrix henrion(definition.Parameters().GetDimensions());
  const int expected = henrion.GetItemCount();
  const jsize length = env->GetArrayLength(probabilities);
  if (length != expected) {
    throw std::invalid_argument(
        "Invalid Henrion probabilities array size for node '" +
        IdOf(*Net(env, obj).GetNode(node)) + "': expected " +
        std::to_string(expected) + " and got " + std::to_string(length));
  }
  if (length > 0) {
    env->GetDoubleArrayRegion(probabilities, 0, length,
                              henrion.GetItems().Items());
  }
  qelta::jni::CheckJava(env);
  const int status = definition.SetHenrionProbabilities(henrion);
  if (status != qelta::kOk) ReportError("SetHenrionProbabilities", status);
}

}  // namespace

/*
 * Class:     qelta_Network
 * Method:    setNoisyParentStrengths
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNoisyParentStrengths__II_3I(JNIEnv* env, jobject obj, jint node, jint parent, jintArray strengths) {
  Guarded(env, [&] { SetParentStrengths(env, obj, node, parent, strengths); });
}

/*
 * Class:     qelta_Network
 * Method:    setNoisyParentStrengths
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNoisyParentStrengths__Ljava_lang_String_2I_3I(JNIEnv* env, jobject obj, jstring node_id, jint parent, jintArray strengths) {
  Guarded(env, [&] { SetParentStrengths(env, obj, Handle(env, obj, node_id), parent, strengths); });
}

/*
 * Class:     qelta_Network
 * Method:    setNoisyParentStrengths
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNoisyParentStrengths__ILjava_lang_String_2_3I(JNIEnv* env, jobject obj, jint node, jstring parent_id, jintArray strengths) {
  Guarded(env, [&] {
    SetParentStrengths(env, obj, node,
                       CheckIsChild(env, Net(env, obj), node, parent_id),
                       strengths);
  });
}

/*
 * Class:     qelta_Network
 * Method:    setNoisyParentStrengths
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNoisyParentStrengths__Ljava_lang_String_2Ljava_lang_String_2_3I(JNIEnv* env, jobject obj, jstring node_id, jstring parent_id, jintArray strengths) {
  Guarded(env, [&] {
    const jint h = Handle(env, obj, node_id);
    SetParentStrengths(env, obj, h,
                       CheckIsChild(env, Net(env, obj), h, parent_id),
                       strengths);
  });
}

/*
 * Class:     qelta_Network
 * Method:    getNoisyParentStrengths
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getNoisyParentStrengths__II(JNIEnv* env, jobject obj, jint node, jint parent) {
  return Guarded(env, [&] { return GetParentStrengths(env, obj, node, parent); });
}

/*
 * Class:     qelta_Network
 * Method:    getNoisyParentStrengths
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getNoisyParentStrengths__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint parent) {
  return Guarded(env, [&] { return GetParentStrengths(env, obj, Handle(env, obj, node_id), parent); });
}

/*
 * Class:     qelta_Network
 * Method:    getNoisyParentStrengths
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getNoisyParentStrengths__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jstring parent_id) {
  return Guarded(env, [&] {
    const jint parent = CheckIsChild(env, Net(env, obj), node, parent_id);
    return GetParentStrengths(env, obj, node, parent);
  });
}

/*
 * Class:     qelta_Network
 * Method:    getNoisyParentStrengths
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getNoisyParentStrengths__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jstring parent_id) {
  return Guarded(env, [&] {
    const jint h = Handle(env, obj, node_id);
    const jint parent = CheckIsChild(env, Net(env, obj), h, parent_id);
    return GetParentStrengths(env, obj, h, parent);
  });
}

/*
 * Class:     qelta_Network
 * Method:    getNoisyExpandedDefinition
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNoisyExpandedDefinition__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetExpandedDefinition(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNoisyExpandedDefinition
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNoisyExpandedDefinition__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetExpandedDefinition(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getNoisyHenrionDefinition
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNoisyHenrionDefinition__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetHenrionDefinition(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNoisyHenrionDefinition
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNoisyHenrionDefinition__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetHenrionDefinition(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    setNoisyHenrionDefinition
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNoisyHenrionDefinition__I_3D(JNIEnv* env, jobject obj, jint node, jdoubleArray probabilities) {
  Guarded(env, [&] { SetHenrionDefinition(env, obj, node, probabilities); });
}

/*
 * Class:     qelta_Network
 * Method:    setNoisyHenrionDefinition
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNoisyHenrionDefinition__Ljava_lang_String_2_3D(JNIEnv* env, jobject obj, jstring node_id, jdoubleArray probabilities) {
  Guarded(env, [&] { SetHenrionDefinition(env, obj, Handle(env, obj, node_id), probabilities); });
}

// Parameters and table are always kept in step: nothing to ask or do.
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isNoisyExpanded__I(JNIEnv*, jobject, jint) {
  return JNI_TRUE;
}

// Parameters and table are always kept in step: nothing to ask or do.
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isNoisyExpanded__Ljava_lang_String_2(JNIEnv*, jobject, jstring) {
  return JNI_TRUE;
}

// Parameters and table are always kept in step: nothing to ask or do.
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isNoisySynchronized__I(JNIEnv*, jobject, jint) {
  return JNI_TRUE;
}

// Parameters and table are always kept in step: nothing to ask or do.
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isNoisySynchronized__Ljava_lang_String_2(JNIEnv*, jobject, jstring) {
  return JNI_TRUE;
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNoisySynchronized__IZ(JNIEnv*, jobject, jint, jboolean) {}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNoisySynchronized__Ljava_lang_String_2Z(JNIEnv*, jobject, jstring, jboolean) {}
