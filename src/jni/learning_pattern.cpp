// Bridge of qelta.learning.Pattern: a partially directed graph over the
// variables of a data set, its DAG tests and the network made from it.
#include "qelta_learning_Pattern.h"

#include <stdexcept>
#include <string>

#include "base/engine_error.h"
#include "base/status.h"
#include "jni/codes.h"
#include "jni/frame.h"
#include "jni/learning_common.h"
#include "learning/pattern.h"
#include "network/network.h"

using qelta::jni::Guarded;

namespace {

VRN_pattern& Record(JNIEnv* env, jobject obj) { return *qelta::jni::GetNative<VRN_pattern>(env, obj); }

// Fails unless 0 <= index < the pattern's size.
void ValidatePatternIndex(const VRN_pattern& pattern, int index) {
  if (index < 0 || index >= pattern.GetSize()) {
    throw std::invalid_argument("Invalid edge index: " + std::to_string(index));
  }
}

}  // namespace

/*
 * Class:     qelta_learning_Pattern
 * Method:    createNative
 * Signature: (Ljava/lang/Object;)J
 */
extern "C" JNIEXPORT jlong JNICALL Java_qelta_learning_Pattern_createNative(JNIEnv* env, jobject obj, jobject unused) {
  return Guarded(env, [&] { return qelta::jni::ToHandle(new VRN_pattern()); });
}

/*
 * Class:     qelta_learning_Pattern
 * Method:    deleteNative
 * Signature: (J)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_Pattern_deleteNative(JNIEnv* env, jclass cls, jlong handle) {
  Guarded(env, [&] { qelta::jni::ReleaseHandle(handle); });
}

/*
 * Class:     qelta_learning_Pattern
 * Method:    getSize
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_Pattern_getSize(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Record(env, obj).GetSize()); });
}

/*
 * Class:     qelta_learning_Pattern
 * Method:    setSize
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_Pattern_setSize(JNIEnv* env, jobject obj, jint size) {
  Guarded(env, [&] { Record(env, obj).SetSize(size); });
}

/*
 * Class:     qelta_learning_Pattern
 * Method:    getEdge
 * Signature: (II)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_Pattern_getEdge(JNIEnv* env, jobject obj, jint from, jint to) {
  return Guarded(env, [&] {
    const VRN_pattern& pattern = Record(env, obj);
    ValidatePatternIndex(pattern, from);
    ValidatePatternIndex(pattern, to);
    return static_cast<jint>(pattern.GetEdge(from, to));
  });
}

/*
 * Class:     qelta_learning_Pattern
 * Method:    setEdge
 * Signature: (III)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_Pattern_setEdge(JNIEnv* env, jobject obj, jint from, jint to, jint type) {
  Guarded(env, [&] {
    VRN_pattern& pattern = Record(env, obj);
    ValidatePatternIndex(pattern, from);
    ValidatePatternIndex(pattern, to);
    qelta::jni::ValidateCode(qelta::jni::kPatternEdges, "type", type);
    pattern.SetEdge(from, to, type);
  });
}

/*
 * Class:     qelta_learning_Pattern
 * Method:    hasCycle
 * Signature: ()Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_learning_Pattern_hasCycle(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jboolean>(Record(env, obj).HasCycle() ? JNI_TRUE : JNI_FALSE); });
}

/*
 * Class:     qelta_learning_Pattern
 * Method:    isDAG
 * Signature: ()Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_learning_Pattern_isDAG(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jboolean>(Record(env, obj).IsDAG() ? JNI_TRUE : JNI_FALSE); });
}

/*
 * Class:     qelta_learning_Pattern
 * Method:    makeNetwork
 * Signature: (Lqelta/learning/DataSet;)Lqelta/Network;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_Pattern_makeNetwork(JNIEnv* env, jobject obj, jobject data) {
  return Guarded(env, [&] {
    VRN_network* net = nullptr;
    jobject result = qelta::jni::NewNetwork(env, &net);
    const VRN_dataset& dataset = qelta::jni::DataSetArgument(env, data);
    if (!Record(env, obj).MakeNetwork(dataset, *net)) ReportError("MakeNetwork", qelta::kErrGeneral);
    return result;
  });
}
