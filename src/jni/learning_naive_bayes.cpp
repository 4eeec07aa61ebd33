// Bridge of qelta.learning.NaiveBayes: the class variable and the learn that
// returns a new network, learned from a copy of the data set.
#include "qelta_learning_NaiveBayes.h"

#include <stdexcept>
#include <string>

#include "base/engine_error.h"
#include "base/status.h"
#include "jni/frame.h"
#include "jni/learning_common.h"
#include "learning/naive_bayes.h"
#include "network/network.h"

using qelta::jni::Guarded;

namespace {

VRN_naiveBayes& Record(JNIEnv* env, jobject obj) { return *qelta::jni::GetNative<VRN_naiveBayes>(env, obj); }

}  // namespace

/*
 * Class:     qelta_learning_NaiveBayes
 * Method:    createNative
 * Signature: (Ljava/lang/Object;)J
 */
extern "C" JNIEXPORT jlong JNICALL Java_qelta_learning_NaiveBayes_createNative(JNIEnv* env, jobject obj, jobject unused) {
  return Guarded(env, [&] { return qelta::jni::ToHandle(new VRN_naiveBayes()); });
}

/*
 * Class:     qelta_learning_NaiveBayes
 * Method:    deleteNative
 * Signature: (J)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_NaiveBayes_deleteNative(JNIEnv* env, jclass cls, jlong handle) {
  Guarded(env, [&] { qelta::jni::ReleaseHandle(handle); });
}

/*
 * Class:     qelta_learning_NaiveBayes
 * Method:    getClassVariableId
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_learning_NaiveBayes_getClassVariableId(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return NativeToJavaString(env, Record(env, obj).classVariableId); });
}

/*
 * Class:     qelta_learning_NaiveBayes
 * Method:    setClassVariableId
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_NaiveBayes_setClassVariableId(JNIEnv* env, jobject obj, jstring id) {
  Guarded(env, [&] {
    JavaStringToNative text(env, id, "Class variable identifier");
    Record(env, obj).classVariableId = text.str();
  });
}

/*
 * Class:     qelta_learning_NaiveBayes
 * Method:    learn
 * Signature: (Lqelta/learning/DataSet;)Lqelta/Network;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_NaiveBayes_learn(JNIEnv* env, jobject obj, jobject data) {
  return Guarded(env, [&] {
    VRN_network* net = nullptr;
    jobject result = qelta::jni::NewNetwork(env, &net);
    const VRN_dataset& dataset = qelta::jni::DataSetArgument(env, data);
    const int status = Record(env, obj).Learn(dataset, *net, nullptr, nullptr);
    // The new network is dropped on failure, so its log's reason travels with the exception.
    if (status != qelta::kOk) ReportNetworkError("Learn", status, *net->ErrorLog());
    return result;
  });
}
