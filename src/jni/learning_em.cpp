// Bridge of qelta.learning.EM: the options of EM parameter learning, whose
// setters keep the starting point consistent. The learn methods are not
// part of this library yet.
#include "qelta_learning_EM.h"

#include "jni/frame.h"
#include "learning/em.h"

using qelta::jni::Guarded;

namespace {

VRN_em& Record(JNIEnv* env, jobject obj) { return *qelta::jni::GetNative<VRN_em>(env, obj); }

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
    // Refused (and ignored) while randomizing or uniformizing is on.
    (void)Record(env, obj).SetEqSampleSize(static_cast<float>(size));
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
