// Bridge of qelta.learning.GreedyThickThinning: the same options record as
// Bayesian search, run with its greedy-thick-thinning flag set.
#include "qelta_learning_GreedyThickThinning.h"

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
 * Class:     qelta_learning_GreedyThickThinning
 * Method:    createNative
 * Signature: (Ljava/lang/Object;)J
 */
extern "C" JNIEXPORT jlong JNICALL Java_qelta_learning_GreedyThickThinning_createNative(JNIEnv* env, jobject obj, jobject unused) {
  return Guarded(env, [&] { return qelta::jni::ToHandle(new VRN_bayesianSearch()); });
}

/*
 * Class:     qelta_learning_GreedyThickThinning
 * Method:    deleteNative
 * Signature: (J)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_GreedyThickThinning_deleteNative(JNIEnv* env, jclass cls, jlong handle) {
  Guarded(env, [&] { qelta::jni::ReleaseHandle(handle); });
}

/*
 * Class:     qelta_learning_GreedyThickThinning
 * Method:    getMaxParents
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_GreedyThickThinning_getMaxParents(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Record(env, obj).maxParents); });
}

/*
 * Class:     qelta_learning_GreedyThickThinning
 * Method:    setMaxParents
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_GreedyThickThinning_setMaxParents(JNIEnv* env, jobject obj, jint value) {
  Guarded(env, [&] {
    VRN_bayesianSearch& record = Record(env, obj);
    qelta::jni::ValidateAtLeast("maxParents", value, 0);
    record.maxParents = static_cast<int>(value);
  });
}

/*
 * Class:     qelta_learning_GreedyThickThinning
 * Method:    getBkKnowledge
 * Signature: ()Lqelta/learning/BkKnowledge;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_GreedyThickThinning_getBkKnowledge(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return qelta::jni::KnowledgeToJava(env, Record(env, obj).bkKnowledge); });
}

/*
 * Class:     qelta_learning_GreedyThickThinning
 * Method:    setBkKnowledge
 * Signature: (Lqelta/learning/BkKnowledge;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_GreedyThickThinning_setBkKnowledge(JNIEnv* env, jobject obj, jobject knowledge) {
  Guarded(env, [&] { qelta::jni::KnowledgeFromJava(env, knowledge, Record(env, obj).bkKnowledge); });
}

/*
 * Class:     qelta_learning_GreedyThickThinning
 * Method:    learn
 * Signature: (Lqelta/learning/DataSet;)Lqelta/Network;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_GreedyThickThinning_learn(JNIEnv* env, jobject obj, jobject data) {
  return Guarded(env, [&] {
    VRN_network* net = nullptr;
    jobject result = qelta::jni::NewNetwork(env, &net);
    const VRN_dataset& dataset = qelta::jni::DataSetArgument(env, data);
    VRN_bayesianSearch& record = Record(env, obj);
    record.greedyThickThinning = true;
    const int status = record.Learn(dataset, *net, nullptr, nullptr, nullptr, nullptr, nullptr);
    // The new network is dropped on failure, so its log's reason travels with the exception.
    if (status != qelta::kOk) ReportNetworkError("Learn", status, *net->ErrorLog());
    return result;
  });
}
