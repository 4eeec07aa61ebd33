// Bridge of qelta.InstanceCounts: records per parent configuration of
// every node, counted from data or set to one number.
#include "qelta_InstanceCounts.h"

#include <vector>

#include "base/engine_error.h"
#include "base/status.h"
#include "jni/frame.h"
#include "jni/learning_common.h"
#include "jni/learning_matches.h"
#include "learning/instance_counts.h"

using qelta::jni::Guarded;

namespace {

VRN_instanceCounts& Record(JNIEnv* env, jobject obj) {
  return *qelta::jni::GetNative<VRN_instanceCounts>(env, obj);
}

}  // namespace

/*
 * Class:     qelta_InstanceCounts
 * Method:    createNative
 * Signature: (Ljava/lang/Object;)J
 */
extern "C" JNIEXPORT jlong JNICALL Java_qelta_InstanceCounts_createNative(JNIEnv* env, jobject obj, jobject unused) {
  return Guarded(env, [&] { return qelta::jni::ToHandle(new VRN_instanceCounts()); });
}

/*
 * Class:     qelta_InstanceCounts
 * Method:    deleteNative
 * Signature: (J)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_InstanceCounts_deleteNative(JNIEnv* env, jclass cls, jlong handle) {
  Guarded(env, [&] { qelta::jni::ReleaseHandle(handle); });
}

/*
 * Class:     qelta_InstanceCounts
 * Method:    setUniform
 * Signature: (Lqelta/Network;I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_InstanceCounts_setUniform(JNIEnv* env, jobject obj, jobject net,
                                                                       jint count) {
  Guarded(env, [&] {
    VRN_instanceCounts& counts = Record(env, obj);
    const int status = counts.SetUniform(qelta::jni::NetworkArgument(env, net), count);
    if (status != qelta::kOk) ReportError("SetUniform", status);
  });
}

/*
 * Class:     qelta_InstanceCounts
 * Method:    calculate
 * Signature: (Lqelta/Network;Lqelta/learning/DataSet;[Lqelta/learning/DataMatch;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_InstanceCounts_calculate(JNIEnv* env, jobject obj, jobject net,
                                                                      jobject data, jobjectArray matching) {
  Guarded(env, [&] {
    VRN_instanceCounts& counts = Record(env, obj);
    VRN_network& network = qelta::jni::NetworkArgument(env, net);
    VRN_dataset& dataset = qelta::jni::DataSetArgument(env, data);
    const std::vector<VRN_dataMatch> matches = qelta::jni::ReadDataMatchArray(env, matching);
    const int status = counts.Calculate(network, dataset, matches);
    if (status != qelta::kOk) ReportError("Calculate", status);
  });
}
