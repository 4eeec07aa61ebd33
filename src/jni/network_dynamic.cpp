// Bridge of qelta.Network: dynamic networks. Slice count, temporal types,
// temporal arcs and their queries, unrolling, evidence per time slice and
// the tables plate nodes use for each temporal order.
#include "qelta_Network.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "base/arrays.h"
#include "base/engine_error.h"
#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "definitions/noisy_max.h"
#include "jni/checks.h"
#include "jni/codes.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

using qelta::jni::EvidenceOf;
using qelta::jni::Guarded;
using qelta::jni::Handle;
using qelta::jni::LogReasonIfSilent;
using qelta::jni::Net;

namespace {

using Pairs = std::vector<std::pair<int, int>>;

// ------------------------------------------------------------- structure

jint GetTemporalType(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  ValidateNodeHandle(net, node);
  return net.GetTemporalType(node);
}

void SetTemporalType(JNIEnv* env, jobject obj, jint node, jint type) {
  VRN_network& net = Net(env, obj);
  ValidateNodeHandle(net, node);
  qelta::jni::ValidateCode(qelta::jni::kTemporalTypes, "type", type);
  net.ErrorLog()->Flush();
  const int status = net.setNodeTemporalType(node, type);
  if (status != qelta::kOk) {
    ReportNetworkError("setNodeTemporalType", status, *net.ErrorLog());
  }
}

void AddArc(JNIEnv* env, jobject obj, jint parent, jint child, jint order) {
  VRN_network& net = Net(env, obj);
  net.ErrorLog()->Flush();
  ValidateNodeHandle(net, parent);
  ValidateNodeHandle(net, child);
  // The engine logs why it refuses an order, a node or an arc that exists.
  const int status = net.AddTemporalArc(parent, child, order);
  if (status != qelta::kOk) {
    ReportNetworkError("AddTemporalArc", status, *net.ErrorLog());
  }
}

void DeleteArc(JNIEnv* env, jobject obj, jint parent, jint child,
               jint order) {
  VRN_network& net = Net(env, obj);
  ValidateNodeHandle(net, parent);
  ValidateNodeHandle(net, child);
  const int status = net.RemoveTemporalArc(parent, child, order);
  if (status != qelta::kOk) ReportError("RemoveTemporalArc", status);
}

jboolean ArcExists(JNIEnv* env, jobject obj, jint parent, jint child,
                   jint order) {
  VRN_network& net = Net(env, obj);
  ValidateNodeHandle(net, parent);
  ValidateNodeHandle(net, child);
  return net.TemporalArcExists(parent, child, order) ? JNI_TRUE : JNI_FALSE;
}

jint MaxNodeOrder(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  ValidateNodeHandle(net, node);
  return net.GetMaxNodeTemporalOrder(node);
}

jintArray TemporalOrders(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  ValidateNodeHandle(net, node);
  VRN_intArray orders;
  const int status = net.GetTemporalOrders(node, orders);
  if (status != qelta::kOk) ReportError("GetTemporalOrders", status);
  return qelta::jni::NewJavaArray<jint>(
      env, orders.Items(), static_cast<std::size_t>(orders.GetSize()));
}

jobjectArray TemporalChildren(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  ValidateNodeHandle(net, node);
  Pairs children;
  const int status = net.GetTemporalChildren(node, children);
  if (status != qelta::kOk) ReportError("GetTemporalChildren", status);
  return TemporalInfoToJava(env, net, children);
}

jobjectArray TemporalParents(JNIEnv* env, jobject obj, jint node,
                             jint order) {
  VRN_network& net = Net(env, obj);
  ValidateNodeHandle(net, node);
  VRN_intArray parents;
  const int status = net.GetTemporalParents(node, order, parents);
  if (status != qelta::kOk) ReportError("GetTemporalParents", status);
  Pairs items;
  for (int parent : parents) items.emplace_back(parent, order);
  return TemporalInfoToJava(env, net, items);
}

jobjectArray UnrolledParents(JNIEnv* env, jobject obj, jint node,
                             jint order) {
  VRN_network& net = Net(env, obj);
  ValidateNodeHandle(net, node);
  Pairs parents;
  const int status = net.GetUnrolledParents(node, order, parents);
  if (status != qelta::kOk) ReportError("GetUnrolledParents", status);
  return TemporalInfoToJava(env, net, parents);
}

jobjectArray AllUnrolledParents(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  ValidateNodeHandle(net, node);
  Pairs parents;
  const int status = net.GetAllUnrolledParents(node, parents);
  // Reported under the name callers of this form have always seen.
  if (status != qelta::kOk) ReportError("GetTemporalParents", status);
  return TemporalInfoToJava(env, net, parents);
}

jobject Unroll(JNIEnv* env, jobject obj) {
  VRN_network& source = Net(env, obj);
  qelta::jni::LocalRef<jobject> result(
      env, qelta::jni::NewJavaObject(env, "qelta/Network", "()V"));
  VRN_network& target = *qelta::jni::GetNative<VRN_network>(env, result.get());
  std::vector<int> map;
  const int status = source.UnrollNetwork(target, map);
  // The new Java network, left empty, goes to the garbage collector.
  if (status != qelta::kOk) {
    bool plate = false;
    for (int h = source.GetFirstNode(); h >= 0; h = source.GetNextNode(h)) {
      plate = plate || source.GetTemporalType(h) == qelta::kTemporalPlate;
    }
    if (!plate) {
      LogReasonIfSilent(source, status,
                        "The network has no plate node: there is nothing to unroll");
    }
    ReportError("UnrollNetwork", status);
  }
  qelta::jni::LocalRef<jintArray> java_map(
      env, qelta::jni::NewJavaArray<jint>(env, map));
  return qelta::jni::NewJavaObject(env, "qelta/UnrollResults",
                                   "(Lqelta/Network;[I)V", result.get(),
                                   java_map.get());
}

// ------------------------------------------------------ evidence by slice

jboolean HasEvidence(JNIEnv* env, jobject obj, jint node) {
  return EvidenceOf(Net(env, obj), node).HasTemporalEvidence() ? JNI_TRUE
                                                              : JNI_FALSE;
}

jboolean IsEvidence(JNIEnv* env, jobject obj, jint node, jint slice) {
  VRN_network& net = Net(env, obj);
  VRN_nodeVal& value = EvidenceOf(net, node);
  ValidateSlice(net, slice);
  return value.IsTemporalEvidence(slice) ? JNI_TRUE : JNI_FALSE;
}

jboolean IsVirtualEvidence(JNIEnv* env, jobject obj, jint node, jint slice) {
  VRN_network& net = Net(env, obj);
  VRN_nodeVal& value = EvidenceOf(net, node);
  ValidateSlice(net, slice);
  return value.IsTemporalVirtualEvidence(slice) ? JNI_TRUE : JNI_FALSE;
}

// Reports a refused read or edit (operation) of the node's evidence in a
// slice, saying why: the node is no plate node, the slice holds no evidence
// (missing says what is missing, for a read or a clear), or the likelihoods
// (given of them) do not fit.
[[noreturn]] void ReportSliceEvidence(VRN_network& net, jint node, jint slice,
                                      const char* operation, int status,
                                      const char* missing = nullptr, long given = -1) {
  const VRN_node& target = *net.GetNode(node);
  const char* id = target.GetId();
  if (status == qelta::kErrWrongNodeType) {
    LogReasonIfSilent(net, status, "Node [%s] (%s) takes evidence by slice only as TemporalType.PLATE",
                      id, qelta::jni::NameOfCode(qelta::jni::kTemporalTypes, net.GetTemporalType(node)).c_str());
  } else if (given >= 0 && status == qelta::kErrOutOfRange) {
    LogReasonIfSilent(net, status, "Node [%s] takes %d likelihoods, one per outcome, not %ld", id,
                      target.Definition()->GetNumberOfOutcomes(), given);
  } else if (given >= 0 && status == qelta::kErrInvalidValue) {
    LogReasonIfSilent(net, status, "Likelihoods of node [%s] lie from 0 to 1", id);
  } else if (given >= 0 && status == qelta::kErrNoItem) {
    LogReasonIfSilent(net, status, "Likelihoods of node [%s] need one above 0", id);
  } else if (given < 0 && missing != nullptr) {
    LogReasonIfSilent(net, status, "Node [%s] has no %s in slice %d", id, missing, slice);
  }
  ReportError(operation, status);
}

jint GetEvidence(JNIEnv* env, jobject obj, jint node, jint slice) {
  VRN_network& net = Net(env, obj);
  VRN_nodeVal& value = EvidenceOf(net, node);
  ValidateSlice(net, slice);
  const int outcome = value.GetTemporalEvidence(slice);
  if (outcome < 0) {
    ReportSliceEvidence(net, node, slice, "GetTemporalEvidence", outcome, "evidence");
  }
  return outcome;
}

jstring GetEvidenceId(JNIEnv* env, jobject obj, jint node, jint slice) {
  const jint outcome = GetEvidence(env, obj, node, slice);
  return qelta::jni::GetOutcomeId(env, obj, node, outcome);
}

jdoubleArray GetVirtualEvidence(JNIEnv* env, jobject obj, jint node,
                                jint slice) {
  VRN_network& net = Net(env, obj);
  VRN_nodeVal& value = EvidenceOf(net, node);
  ValidateSlice(net, slice);
  std::vector<double> evidence;
  const int status = value.GetTemporalVirtualEvidence(slice, &evidence);
  if (status < 0) {
    ReportSliceEvidence(net, node, slice, "GetTemporalEvidence", status, "virtual evidence");
  }
  return qelta::jni::NewJavaArray<jdouble>(env, evidence);
}

void StoreEvidence(VRN_network& net, jint node, jint slice, int outcome) {
  ValidateSlice(net, slice);
  const int status = net.GetNode(node)->Value()->SetTemporalEvidence(
      slice, outcome);
  if (status != qelta::kOk) ReportSliceEvidence(net, node, slice, "SetTemporalEvidence", status);
}

void SetEvidence(JNIEnv* env, jobject obj, jint node, jint slice,
                 jint outcome) {
  VRN_network& net = Net(env, obj);
  ValidateOutcomeIndex(net, node, outcome);
  StoreEvidence(net, node, slice, outcome);
}

void SetEvidenceById(JNIEnv* env, jobject obj, jint node, jint slice,
                     jstring outcome_id) {
  VRN_network& net = Net(env, obj);
  StoreEvidence(net, node, slice, OutcomeIdToIndex(env, net, node, outcome_id));
}

void SetVirtualEvidence(JNIEnv* env, jobject obj, jint node, jint slice,
                        jdoubleArray evidence) {
  qelta::jni::RequireArray(evidence, "Virtual evidence array cannot be null");
  VRN_network& net = Net(env, obj);
  VRN_nodeVal& value = EvidenceOf(net, node);
  ValidateSlice(net, slice);
  const std::vector<double> likelihoods =
      qelta::jni::CopyFromJava<jdouble>(env, evidence);
  const int status = value.SetTemporalVirtualEvidence(slice, likelihoods);
  if (status != qelta::kOk) {
    ReportSliceEvidence(net, node, slice, "SetTemporalEvidence", status, nullptr,
                        static_cast<long>(likelihoods.size()));
  }
}

void ClearEvidence(JNIEnv* env, jobject obj, jint node, jint slice) {
  VRN_network& net = Net(env, obj);
  VRN_nodeVal& value = EvidenceOf(net, node);
  ValidateSlice(net, slice);
  const int status = value.ClearTemporalEvidence(slice);
  if (status != qelta::kOk) {
    ReportSliceEvidence(net, node, slice, "ClearTemporalEvidence", status, "evidence to clear");
  }
}

// ------------------------------------------------- temporal definitions

jdoubleArray GetTemporalDefinition(JNIEnv* env, jobject obj, jint node,
                                   jint order) {
  const VRN_doubleArray& items = GetPlateTemporalDef(Net(env, obj), node, order);
  return qelta::jni::NewJavaArray<jdouble>(
      env, items.Items(), static_cast<std::size_t>(items.GetSize()));
}

void SetTemporalDefinition(JNIEnv* env, jobject obj, jint node, jint order,
                           jdoubleArray definition) {
  qelta::jni::RequireArray(definition,
                           "Temporal definition array cannot be null");
  VRN_network& net = Net(env, obj);
  VRN_node* target = ValidateNodeHandle(net, node);
  const int count = GetPlateTemporalDef(net, node, order).GetSize();
  ValidateDefinitionArraySize(env, *target, count, definition);
  VRN_doubleArray items;
  int status = items.SetSize(count);
  if (status != qelta::kOk) ReportError("SetTemporalDefinition", status);
  if (count > 0) env->GetDoubleArrayRegion(definition, 0, count, items.Items());
  qelta::jni::CheckJava(env);
  VRN_nodeDef* own = target->Definition();
  if (own->GetType() != qelta::kDefNoisyMax) {
    status = own->SetTemporalDefinition(order, items);
    if (status != qelta::kOk) ReportError("SetTemporalDefinition", status);
  } else {
    auto* noisy = static_cast<VRN_noisyMAX*>(own);
    const VRN_matrix* current = noisy->GetTemporalCiWeights(order);
    if (current == nullptr) {
      ReportError("GetTemporalCiWeights", qelta::kErrInvalidValue);
    }
    VRN_matrix weights(*current);
    weights.GetItems() = items;
    status = noisy->SetTemporalCiWeights(order, weights);
    if (status != qelta::kOk) ReportError("SetTemporalCiWeights", status);
  }
  target->Value()->Invalidate();
}

VRN_noisyMAX& NoisyMax(JNIEnv* env, jobject obj, jint node) {
  return *static_cast<VRN_noisyMAX*>(GetNoisyMaxDef(Net(env, obj), node));
}

jobjectArray GetTemporalStrengths(JNIEnv* env, jobject obj, jint node,
                                  jint order) {
  std::vector<VRN_intArray> rows;
  // Without a temporal definition of that order there are no rows.
  (void)NoisyMax(env, obj, node).GetTemporalParentOutcomeStrengths(order,
                                                                    &rows);
  qelta::jni::LocalRef<jclass> row_class = qelta::jni::FindClass(env, "[I");
  jobjectArray result = env->NewObjectArray(static_cast<jsize>(rows.size()),
                                            row_class.get(), nullptr);
  if (result == nullptr) throw qelta::jni::JavaExceptionPending();
  for (size_t i = 0; i < rows.size(); ++i) {
    qelta::jni::LocalRef<jintArray> java_row(
        env, qelta::jni::NewJavaArray<jint>(
                 env, rows[i].Items(),
                 static_cast<std::size_t>(rows[i].GetSize())));
    env->SetObjectArrayElement(result, static_cast<jsize>(i), java_row.get());
    qelta::jni::CheckJava(env);
  }
  return result;
}

void SetTemporalStrengths(JNIEnv* env, jobject obj, jint node, jint order,
                          jobjectArray strengths) {
  VRN_noisyMAX& definition = NoisyMax(env, obj, node);
  qelta::jni::RequireArray(strengths,
                           "Temporal parent strengths array cannot be null");
  const jsize count = env->GetArrayLength(strengths);
  std::vector<VRN_intArray> rows(static_cast<std::size_t>(count));
  for (jsize i = 0; i < count; ++i) {
    qelta::jni::LocalRef<jobject> row(
        env, env->GetObjectArrayElement(strengths, i));
    qelta::jni::CheckJava(env);
    if (row.get() == nullptr) {
      throw std::invalid_argument(
          "Temporal parent strengths array element cannot be null (index " +
          std::to_string(i) + ")");
    }
    const std::vector<jint> items =
        qelta::jni::CopyFromJava<jint>(env, static_cast<jintArray>(row.get()));
    for (jint v : items) rows[static_cast<std::size_t>(i)].Add(v);
  }
  const int status = definition.SetTemporalParentOutcomeStrengths(order, rows);
  if (status != qelta::kOk) {
    ReportError("SetTemporalParentOutcomeStrengths", status);
  }
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getSliceCount(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] {
    return Net(env, obj).GetNumberOfSlices();
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setSliceCount(JNIEnv* env, jobject obj, jint count) {
  Guarded(env, [&] {
    (void)Net(env, obj).SetNumberOfSlices(count);
  });
}

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getNodeTemporalType__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] {
    return GetTemporalType(env, obj, node);
  });
}

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getNodeTemporalType__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] {
    return GetTemporalType(env, obj, Handle(env, obj, node_id));
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeTemporalType__II(JNIEnv* env, jobject obj, jint node, jint type) {
  Guarded(env, [&] {
    SetTemporalType(env, obj, node, type);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeTemporalType__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint type) {
  Guarded(env, [&] {
    SetTemporalType(env, obj, Handle(env, obj, node_id), type);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_addTemporalArc__III(JNIEnv* env, jobject obj, jint parent, jint child, jint order) {
  Guarded(env, [&] {
    AddArc(env, obj, parent, child, order);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_addTemporalArc__Ljava_lang_String_2Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring parent_id, jstring child_id, jint order) {
  Guarded(env, [&] {
    const int child = Handle(env, obj, child_id);
    AddArc(env, obj, Handle(env, obj, parent_id), child, order);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteTemporalArc__III(JNIEnv* env, jobject obj, jint parent, jint child, jint order) {
  Guarded(env, [&] {
    DeleteArc(env, obj, parent, child, order);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteTemporalArc__Ljava_lang_String_2Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring parent_id, jstring child_id, jint order) {
  Guarded(env, [&] {
    const int child = Handle(env, obj, child_id);
    DeleteArc(env, obj, Handle(env, obj, parent_id), child, order);
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_temporalArcExists__III(JNIEnv* env, jobject obj, jint parent, jint child, jint order) {
  return Guarded(env, [&] {
    return ArcExists(env, obj, parent, child, order);
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_temporalArcExists__Ljava_lang_String_2Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring parent_id, jstring child_id, jint order) {
  return Guarded(env, [&] {
    const int child = Handle(env, obj, child_id);
    return ArcExists(env, obj, Handle(env, obj, parent_id), child, order);
  });
}

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getMaxTemporalOrder(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] {
    return Net(env, obj).GetMaxTemporalOrder();
  });
}

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getMaxNodeTemporalOrder__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] {
    return MaxNodeOrder(env, obj, node);
  });
}

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getMaxNodeTemporalOrder__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] {
    return MaxNodeOrder(env, obj, Handle(env, obj, node_id));
  });
}

extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getTemporalOrders__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] {
    return TemporalOrders(env, obj, node);
  });
}

extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getTemporalOrders__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] {
    return TemporalOrders(env, obj, Handle(env, obj, node_id));
  });
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getTemporalChildren__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] {
    return TemporalChildren(env, obj, node);
  });
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getTemporalChildren__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] {
    return TemporalChildren(env, obj, Handle(env, obj, node_id));
  });
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getTemporalParents__II(JNIEnv* env, jobject obj, jint node, jint order) {
  return Guarded(env, [&] {
    return TemporalParents(env, obj, node, order);
  });
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getTemporalParents__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint order) {
  return Guarded(env, [&] {
    return TemporalParents(env, obj, Handle(env, obj, node_id), order);
  });
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getUnrolledParents__II(JNIEnv* env, jobject obj, jint node, jint order) {
  return Guarded(env, [&] {
    return UnrolledParents(env, obj, node, order);
  });
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getUnrolledParents__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint order) {
  return Guarded(env, [&] {
    return UnrolledParents(env, obj, Handle(env, obj, node_id), order);
  });
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getUnrolledParents__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] {
    return AllUnrolledParents(env, obj, node);
  });
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getUnrolledParents__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] {
    return AllUnrolledParents(env, obj, Handle(env, obj, node_id));
  });
}

extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_unroll(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] {
    return Unroll(env, obj);
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_hasTemporalEvidence__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] {
    return HasEvidence(env, obj, node);
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_hasTemporalEvidence__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] {
    return HasEvidence(env, obj, Handle(env, obj, node_id));
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isTemporalEvidence__II(JNIEnv* env, jobject obj, jint node, jint slice) {
  return Guarded(env, [&] {
    return IsEvidence(env, obj, node, slice);
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isTemporalEvidence__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint slice) {
  return Guarded(env, [&] {
    return IsEvidence(env, obj, Handle(env, obj, node_id), slice);
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isTemporalVirtualEvidence__II(JNIEnv* env, jobject obj, jint node, jint slice) {
  return Guarded(env, [&] {
    return IsVirtualEvidence(env, obj, node, slice);
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isTemporalVirtualEvidence__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint slice) {
  return Guarded(env, [&] {
    return IsVirtualEvidence(env, obj, Handle(env, obj, node_id), slice);
  });
}

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getTemporalEvidence__II(JNIEnv* env, jobject obj, jint node, jint slice) {
  return Guarded(env, [&] {
    return GetEvidence(env, obj, node, slice);
  });
}

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getTemporalEvidence__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint slice) {
  return Guarded(env, [&] {
    return GetEvidence(env, obj, Handle(env, obj, node_id), slice);
  });
}

extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getTemporalEvidenceId__II(JNIEnv* env, jobject obj, jint node, jint slice) {
  return Guarded(env, [&] {
    return GetEvidenceId(env, obj, node, slice);
  });
}

extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getTemporalEvidenceId__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint slice) {
  return Guarded(env, [&] {
    return GetEvidenceId(env, obj, Handle(env, obj, node_id), slice);
  });
}

extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getTemporalVirtualEvidence__II(JNIEnv* env, jobject obj, jint node, jint slice) {
  return Guarded(env, [&] {
    return GetVirtualEvidence(env, obj, node, slice);
  });
}

extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getTemporalVirtualEvidence__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint slice) {
  return Guarded(env, [&] {
    return GetVirtualEvidence(env, obj, Handle(env, obj, node_id), slice);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setTemporalEvidence__III(JNIEnv* env, jobject obj, jint node, jint slice, jint outcome) {
  Guarded(env, [&] {
    SetEvidence(env, obj, node, slice, outcome);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setTemporalEvidence__Ljava_lang_String_2II(JNIEnv* env, jobject obj, jstring node_id, jint slice, jint outcome) {
  Guarded(env, [&] {
    SetEvidence(env, obj, Handle(env, obj, node_id), slice, outcome);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setTemporalEvidence__IILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jint slice, jstring outcome_id) {
  Guarded(env, [&] {
    SetEvidenceById(env, obj, node, slice, outcome_id);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setTemporalEvidence__Ljava_lang_String_2ILjava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jint slice, jstring outcome_id) {
  Guarded(env, [&] {
    SetEvidenceById(env, obj, Handle(env, obj, node_id), slice, outcome_id);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setTemporalVirtualEvidence__II_3D(JNIEnv* env, jobject obj, jint node, jint slice, jdoubleArray evidence) {
  Guarded(env, [&] {
    SetVirtualEvidence(env, obj, node, slice, evidence);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setTemporalVirtualEvidence__Ljava_lang_String_2I_3D(JNIEnv* env, jobject obj, jstring node_id, jint slice, jdoubleArray evidence) {
  Guarded(env, [&] {
    SetVirtualEvidence(env, obj, Handle(env, obj, node_id), slice, evidence);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_clearTemporalEvidence__II(JNIEnv* env, jobject obj, jint node, jint slice) {
  Guarded(env, [&] {
    ClearEvidence(env, obj, node, slice);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_clearTemporalEvidence__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint slice) {
  Guarded(env, [&] {
    ClearEvidence(env, obj, Handle(env, obj, node_id), slice);
  });
}

extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNodeTemporalDefinition__II(JNIEnv* env, jobject obj, jint node, jint order) {
  return Guarded(env, [&] {
    return GetTemporalDefinition(env, obj, node, order);
  });
}

extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNodeTemporalDefinition__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint order) {
  return Guarded(env, [&] {
    return GetTemporalDefinition(env, obj, Handle(env, obj, node_id), order);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeTemporalDefinition__II_3D(JNIEnv* env, jobject obj, jint node, jint order, jdoubleArray definition) {
  Guarded(env, [&] {
    SetTemporalDefinition(env, obj, node, order, definition);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeTemporalDefinition__Ljava_lang_String_2I_3D(JNIEnv* env, jobject obj, jstring node_id, jint order, jdoubleArray definition) {
  Guarded(env, [&] {
    SetTemporalDefinition(env, obj, Handle(env, obj, node_id), order, definition);
  });
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getNoisyTemporalParentStrengths__II(JNIEnv* env, jobject obj, jint node, jint order) {
  return Guarded(env, [&] {
    return GetTemporalStrengths(env, obj, node, order);
  });
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getNoisyTemporalParentStrengths__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint order) {
  return Guarded(env, [&] {
    return GetTemporalStrengths(env, obj, Handle(env, obj, node_id), order);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNoisyTemporalParentStrengths__II_3_3I(JNIEnv* env, jobject obj, jint node, jint order, jobjectArray strengths) {
  Guarded(env, [&] {
    SetTemporalStrengths(env, obj, node, order, strengths);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNoisyTemporalParentStrengths__Ljava_lang_String_2I_3_3I(JNIEnv* env, jobject obj, jstring node_id, jint order, jobjectArray strengths) {
  Guarded(env, [&] {
    SetTemporalStrengths(env, obj, Handle(env, obj, node_id), order, strengths);
  });
}
