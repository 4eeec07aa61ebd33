// Bridge of qelta.learning.BayesianSearch: the search options and the learn
// that returns a new network and leaves the score in the field lastScore.
#include "qelta_learning_BayesianSearch.h"

#include <stdexcept>
#include <string>

#include "base/engine_error.h"
#include "base/status.h"
#include "jni/codes.h"
#include "jni/frame.h"
#include "jni/learning_common.h"
#include "learning/bayesian_search.h"
#include "network/network.h"

using qelta::jni::Guarded;

namespace {

VRN_bayesianSearch& Record(JNIEnv* env, jobject obj) { return *qelta::jni::GetNative<VRN_bayesianSearch>(env, obj); }

}  // namespace

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    createNative
 * Signature: (Ljava/lang/Object;)J
 */
extern "C" JNIEXPORT jlong JNICALL Java_qelta_learning_BayesianSearch_createNative(JNIEnv* env, jobject obj, jobject unused) {
  return Guarded(env, [&] { return qelta::jni::ToHandle(new VRN_bayesianSearch()); });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    deleteNative
 * Signature: (J)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BayesianSearch_deleteNative(JNIEnv* env, jclass cls, jlong handle) {
  Guarded(env, [&] { qelta::jni::ReleaseHandle(handle); });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    getMaxParents
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_BayesianSearch_getMaxParents(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Record(env, obj).maxParents); });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    setMaxParents
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BayesianSearch_setMaxParents(JNIEnv* env, jobject obj, jint value) {
  Guarded(env, [&] {
    VRN_bayesianSearch& record = Record(env, obj);
    qelta::jni::ValidateAtLeast("maxParents", value, 0);
    record.maxParents = static_cast<int>(value);
  });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    getMaxSearchTime
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_BayesianSearch_getMaxSearchTime(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Record(env, obj).maxSearchTime); });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    setMaxSearchTime
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BayesianSearch_setMaxSearchTime(JNIEnv* env, jobject obj, jint value) {
  Guarded(env, [&] { Record(env, obj).maxSearchTime = static_cast<int>(value); });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    getIterationCount
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_BayesianSearch_getIterationCount(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Record(env, obj).iterationCount); });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    setIterationCount
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BayesianSearch_setIterationCount(JNIEnv* env, jobject obj, jint value) {
  Guarded(env, [&] {
    VRN_bayesianSearch& record = Record(env, obj);
    qelta::jni::ValidateAtLeast("count", value, 1);
    record.iterationCount = static_cast<int>(value);
  });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    getLinkProbability
 * Signature: ()D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_learning_BayesianSearch_getLinkProbability(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jdouble>(Record(env, obj).linkProbability); });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    setLinkProbability
 * Signature: (D)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BayesianSearch_setLinkProbability(JNIEnv* env, jobject obj, jdouble value) {
  Guarded(env, [&] {
    VRN_bayesianSearch& record = Record(env, obj);
    qelta::jni::ValidateProbability("probability", value, true);
    record.linkProbability = static_cast<double>(value);
  });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    getPriorLinkProbability
 * Signature: ()D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_learning_BayesianSearch_getPriorLinkProbability(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jdouble>(Record(env, obj).priorLinkProbability); });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    setPriorLinkProbability
 * Signature: (D)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BayesianSearch_setPriorLinkProbability(JNIEnv* env, jobject obj, jdouble value) {
  Guarded(env, [&] {
    VRN_bayesianSearch& record = Record(env, obj);
    // The score takes the logarithm of it and of its complement.
    qelta::jni::ValidateProbability("probability", value, false);
    record.priorLinkProbability = static_cast<double>(value);
  });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    getPriorSampleSize
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_BayesianSearch_getPriorSampleSize(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Record(env, obj).priorSampleSize); });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    setPriorSampleSize
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BayesianSearch_setPriorSampleSize(JNIEnv* env, jobject obj, jint value) {
  Guarded(env, [&] {
    VRN_bayesianSearch& record = Record(env, obj);
    qelta::jni::ValidateAtLeast("size", value, 1);
    record.priorSampleSize = static_cast<int>(value);
  });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    getRandSeed
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_BayesianSearch_getRandSeed(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Record(env, obj).randSeed); });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    setRandSeed
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BayesianSearch_setRandSeed(JNIEnv* env, jobject obj, jint value) {
  Guarded(env, [&] { Record(env, obj).randSeed = static_cast<int>(value); });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    getBkKnowledge
 * Signature: ()Lqelta/learning/BkKnowledge;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_BayesianSearch_getBkKnowledge(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return qelta::jni::KnowledgeToJava(env, Record(env, obj).bkKnowledge); });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    setBkKnowledge
 * Signature: (Lqelta/learning/BkKnowledge;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BayesianSearch_setBkKnowledge(JNIEnv* env, jobject obj, jobject knowledge) {
  Guarded(env, [&] { qelta::jni::KnowledgeFromJava(env, knowledge, Record(env, obj).bkKnowledge); });
}

/*
 * Class:     qelta_learning_BayesianSearch
 * Method:    learn
 * Signature: (Lqelta/learning/DataSet;)Lqelta/Network;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_BayesianSearch_learn(JNIEnv* env, jobject obj, jobject data) {
  return Guarded(env, [&] {
    VRN_network* net = nullptr;
    jobject result = qelta::jni::NewNetwork(env, &net);
    const VRN_dataset& dataset = qelta::jni::DataSetArgument(env, data);
    const VRN_bayesianSearch& record = Record(env, obj);
    double score = 0.0;
    const int status = record.Learn(dataset, *net, nullptr, nullptr, &score, nullptr, nullptr);
    // The new network is dropped on failure, so its log's reason travels with the exception.
    if (status != qelta::kOk) ReportNetworkError("Learn", status, *net->ErrorLog());
    qelta::jni::LocalRef<jclass> cls = qelta::jni::GetObjectClass(env, obj);
    jfieldID field = qelta::jni::GetFieldId(env, cls.get(), "lastScore", "D");
    env->SetDoubleField(obj, field, score);
    return result;
  });
}
