// Bridge of qelta.Network, parameter-learning area: confidence intervals of
// beliefs and the expectation pass of distributed EM.
#include "qelta_Network.h"

#include <stdexcept>
#include <utility>
#include <vector>

#include "base/engine_error.h"
#include "base/random.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "jni/checks.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "learning/em.h"
#include "learning/instance_counts.h"
#include "network/network.h"
#include "network/node.h"

using qelta::jni::Guarded;
using qelta::jni::Net;

namespace {

jobjectArray ConfidenceIntervals(JNIEnv* env, jobject obj, const std::vector<int>& nodes, jobject counts,
                                 jdouble level, jint iterations, jint seed) {
  if (nodes.empty()) throw std::invalid_argument("No nodes specified for confidence intervals calculation.");
  if (counts == nullptr) throw std::invalid_argument("InstanceCounts can't be null");
  VRN_network& net = Net(env, obj);
  net.GetRandomGenerator()->Seed(seed);
  const VRN_instanceCounts& record = *qelta::jni::GetNative<VRN_instanceCounts>(env, counts);
  std::vector<std::vector<std::pair<double, double>>> intervals;
  // The engine logs why it refuses.
  const int status = net.CalcConfidenceIntervals(nodes, record.counts, level, iterations, intervals);
  if (status != qelta::kOk) ReportError("CalcConfidenceIntervals", status);
  jobjectArray result = qelta::jni::NewJavaObjectArray(env, "[D", static_cast<jsize>(intervals.size()));
  for (std::size_t i = 0; i < intervals.size(); ++i) {
    std::vector<double> flat;
    for (const auto& [lower, upper] : intervals[i]) {
      flat.push_back(lower);
      flat.push_back(upper);
    }
    qelta::jni::LocalRef<jdoubleArray> row(env, qelta::jni::NewJavaArray<jdouble>(env, flat));
    qelta::jni::SetArrayElement(env, result, static_cast<jsize>(i), row.get());
  }
  return result;
}

}  // namespace

/*
 * Class:     qelta_Network
 * Method:    calcConfidenceIntervals
 * Signature: ([ILqelta/InstanceCounts;DII)[[D
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_calcConfidenceIntervals___3ILqelta_InstanceCounts_2DII(
    JNIEnv* env, jobject obj, jintArray nodes, jobject counts, jdouble level, jint iterations, jint seed) {
  return Guarded(env, [&] {
    qelta::jni::RequireArray(nodes, "No nodes specified for confidence intervals calculation.");
    const std::vector<jint> handles = qelta::jni::CopyFromJava<jint>(env, nodes);
    return ConfidenceIntervals(env, obj, std::vector<int>(handles.begin(), handles.end()), counts, level,
                               iterations, seed);
  });
}

/*
 * Class:     qelta_Network
 * Method:    calcConfidenceIntervals
 * Signature: ([Ljava/lang/String;Lqelta/InstanceCounts;DII)[[D
 */
extern "C" JNIEXPORT jobjectArray JNICALL
Java_qelta_Network_calcConfidenceIntervals___3Ljava_lang_String_2Lqelta_InstanceCounts_2DII(
    JNIEnv* env, jobject obj, jobjectArray ids, jobject counts, jdouble level, jint iterations, jint seed) {
  return Guarded(env, [&] {
    qelta::jni::RequireArray(ids, "No nodes specified for confidence intervals calculation.");
    std::vector<int> handles;
    const jsize n = qelta::jni::ArrayLength(env, ids);
    for (jsize i = 0; i < n; ++i) {
      qelta::jni::LocalRef<jobject> id = qelta::jni::GetArrayElement(env, ids, i);
      handles.push_back(NodeIdToHandle(env, Net(env, obj), static_cast<jstring>(id.get())));
    }
    return ConfidenceIntervals(env, obj, handles, counts, level, iterations, seed);
  });
}

/*
 * Class:     qelta_Network
 * Method:    distributedHelperEM
 * Signature: ([D)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_distributedHelperEM(JNIEnv* env, jobject obj,
                                                                         jdoubleArray target) {
  Guarded(env, [&] {
    qelta::jni::RequireArray(target, "missing counts array");
    VRN_network& net = Net(env, obj);
    std::vector<std::vector<VRN_matrix>> tables(static_cast<std::size_t>(net.GetSlotCount()));
    std::size_t total = 0;
    for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
      const VRN_matrix* table = net.GetNode(h)->Definition()->GetMatrixConst();
      if (table == nullptr) continue;
      tables[h].push_back(*table);
      tables[h][0].FillWith(0.0);
      total += static_cast<std::size_t>(table->GetItemCount());
    }
    if (total == 0) return;
    const jsize length = qelta::jni::ArrayLength(env, target);
    if (static_cast<std::size_t>(length) < total) {
      // Checked before the pass, so a short array receives nothing.
      // Java's own ArrayIndexOutOfBoundsException, raised by a region
      // write just past the end.
      const jdouble probe = 0.0;
      env->SetDoubleArrayRegion(target, length, 1, &probe);
      qelta::jni::CheckJava(env);
      throw std::out_of_range("counts array too short");
    }
    const int status = VRN_DistributedHelperEM(net, false, tables);
    if (status != qelta::kOk) ReportError("DistributedHelperEM", status);
    jsize offset = 0;
    for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
      if (tables[h].empty()) continue;
      const VRN_matrix& m = tables[h][0];
      env->SetDoubleArrayRegion(target, offset, m.GetItemCount(), m.GetItems().Items());
      qelta::jni::CheckJava(env);
      offset += m.GetItemCount();
    }
  });
}
