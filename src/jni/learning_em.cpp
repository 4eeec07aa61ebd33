// Bridge of qelta.learning.EM: the options of EM parameter learning, whose
// setters keep the starting point consistent, and the two learn methods.
#include "qelta_learning_EM.h"

#include <vector>

#include "base/engine_error.h"
#include "base/status.h"
#include "jni/checks.h"
#include "jni/codes.h"
#include "jni/frame.h"
#include "jni/learning_common.h"
#include "jni/learning_matches.h"
#include "learning/em.h"

using qelta::jni::Guarded;

namespace {

VRN_em& Record(JNIEnv* env, jobject obj) { return *qelta::jni::GetNative<VRN_em>(env, obj); }

// Learns net from data and stores the score and the pass count in the EM
// object's lastScore and passCount.
void RunEmLearning(JNIEnv* env, jobject obj, jobject data, VRN_network& net, jobjectArray matching,
                   const std::vector<int>& fixed) {
  VRN_dataset& dataset = qelta::jni::DataSetArgument(env, data);
  const std::vector<VRN_dataMatch> matches = qelta::jni::ReadDataMatchArray(env, matching);
  const VRN_em em = qelta::jni::EmOptions(env, obj);
  double score = 0.0;
  const int status = em.Learn(dataset, net, matches, fixed, &score, nullptr);
  if (status != qelta::kOk) ReportError("Learn", status);
  qelta::jni::LocalRef<jclass> cls = qelta::jni::GetObjectClass(env, obj);
  env->SetDoubleField(obj, qelta::jni::GetFieldId(env, cls.get(), "lastScore", "D"), score);
  env->SetIntField(obj, qelta::jni::GetFieldId(env, cls.get(), "passCount", "I"),
                   static_cast<jint>(em.GetPassCount()));
}

}  // namespace

/*
 * Class:     qelta_learning_EM
 * Method:    createNative
 * Signature: (Ljava/lang/Object;)J
 */
extern "C" JNIEXPORT jlong JNICALL Java_qelta_learning_EM_createNative(JNIEnv* env, jobject obj, jobject unused) {
  return Guarded(env, [&] { return qelta::jni::ToHandle(new VRN_em()); });
}

/*
 * Class:     qelta_learning_EM
 * Method:    deleteNative
 * Signature: (J)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_EM_deleteNative(JNIEnv* env, jclass cls, jlong handle) {
  Guarded(env, [&] { qelta::jni::ReleaseHandle(handle); });
}

/*
 * Class:     qelta_learning_EM
 * Method:    getEqSampleSize
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_EM_getEqSampleSize(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Record(env, obj).eqSampleSize); });
}

/*
 * Class:     qelta_learning_EM
 * Method:    setEqSampleSize
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_EM_setEqSampleSize(JNIEnv* env, jobject obj, jint size) {
  Guarded(env, [&] {
    VRN_em& em = Record(env, obj);
    qelta::jni::ValidateAtLeast("size", size, 0);
    // Ignored while randomizing or uniformizing is on.
    (void)em.SetEqSampleSize(static_cast<float>(size));
  });
}

/*
 * Class:     qelta_learning_EM
 * Method:    getRandomizeParameters
 * Signature: ()Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_learning_EM_getRandomizeParameters(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jboolean>(Record(env, obj).randomizeParameters ? JNI_TRUE : JNI_FALSE); });
}

/*
 * Class:     qelta_learning_EM
 * Method:    setRandomizeParameters
 * Signature: (Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_EM_setRandomizeParameters(JNIEnv* env, jobject obj, jboolean on) {
  Guarded(env, [&] { Record(env, obj).SetRandomizeParameters(on != JNI_FALSE); });
}

/*
 * Class:     qelta_learning_EM
 * Method:    getUniformizeParameters
 * Signature: ()Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_learning_EM_getUniformizeParameters(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jboolean>(Record(env, obj).uniformizeParameters ? JNI_TRUE : JNI_FALSE); });
}

/*
 * Class:     qelta_learning_EM
 * Method:    setUniformizeParameters
 * Signature: (Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_EM_setUniformizeParameters(JNIEnv* env, jobject obj, jboolean on) {
  Guarded(env, [&] { Record(env, obj).SetUniformizeParameters(on != JNI_FALSE); });
}

/*
 * Class:     qelta_learning_EM
 * Method:    getSeed
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_EM_getSeed(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Record(env, obj).seed); });
}

/*
 * Class:     qelta_learning_EM
 * Method:    setSeed
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_EM_setSeed(JNIEnv* env, jobject obj, jint value) {
  Guarded(env, [&] { Record(env, obj).seed = static_cast<int>(value); });
}

/*
 * Class:     qelta_learning_EM
 * Method:    getRelevance
 * Signature: ()Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_learning_EM_getRelevance(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jboolean>(Record(env, obj).relevance ? JNI_TRUE : JNI_FALSE); });
}

/*
 * Class:     qelta_learning_EM
 * Method:    setRelevance
 * Signature: (Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_EM_setRelevance(JNIEnv* env, jobject obj, jboolean on) {
  Guarded(env, [&] { Record(env, obj).relevance = on != JNI_FALSE; });
}

/*
 * Class:     qelta_learning_EM
 * Method:    getAutoSlices
 * Signature: ()Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_learning_EM_getAutoSlices(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jboolean>(Record(env, obj).autoSlices ? JNI_TRUE : JNI_FALSE); });
}

/*
 * Class:     qelta_learning_EM
 * Method:    setAutoSlices
 * Signature: (Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_EM_setAutoSlices(JNIEnv* env, jobject obj, jboolean on) {
  Guarded(env, [&] { Record(env, obj).autoSlices = on != JNI_FALSE; });
}

/*
 * Class:     qelta_learning_EM
 * Method:    learn
 * Signature: (Lqelta/learning/DataSet;Lqelta/Network;[Lqelta/learning/DataMatch;[Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL
Java_qelta_learning_EM_learn__Lqelta_learning_DataSet_2Lqelta_Network_2_3Lqelta_learning_DataMatch_2_3Ljava_lang_String_2(
    JNIEnv* env, jobject obj, jobject data, jobject net, jobjectArray matching, jobjectArray fixedIds) {
  Guarded(env, [&] {
    VRN_network& network = qelta::jni::NetworkArgument(env, net);
    std::vector<int> fixed;
    if (fixedIds != nullptr) {
      const jsize n = qelta::jni::ArrayLength(env, fixedIds);
      for (jsize i = 0; i < n; ++i) {
        qelta::jni::LocalRef<jobject> id = qelta::jni::GetArrayElement(env, fixedIds, i);
        fixed.push_back(NodeIdToHandle(env, network, static_cast<jstring>(id.get())));
      }
    }
    RunEmLearning(env, obj, data, network, matching, fixed);
  });
}

/*
 * Class:     qelta_learning_EM
 * Method:    learn
 * Signature: (Lqelta/learning/DataSet;Lqelta/Network;[Lqelta/learning/DataMatch;[I)V
 */
extern "C" JNIEXPORT void JNICALL
Java_qelta_learning_EM_learn__Lqelta_learning_DataSet_2Lqelta_Network_2_3Lqelta_learning_DataMatch_2_3I(
    JNIEnv* env, jobject obj, jobject data, jobject net, jobjectArray matching, jintArray fixedHandles) {
  Guarded(env, [&] {
    VRN_network& network = qelta::jni::NetworkArgument(env, net);
    std::vector<int> fixed;
    if (fixedHandles != nullptr) {
      for (jint h : qelta::jni::CopyFromJava<jint>(env, fixedHandles)) {
        (void)ValidateNodeHandle(network, h);
        fixed.push_back(h);
      }
    }
    RunEmLearning(env, obj, data, network, matching, fixed);
  });
}
