// Bridge of qelta.Network: evidence and targets.
#include "qelta_Network.h"

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/engine_error.h"
#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "io/format.h"
#include "jni/checks.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "network/network.h"
#include "network/node.h"

using qelta::jni::EvidenceOf;
using qelta::jni::Guarded;
using qelta::jni::Handle;
using qelta::jni::GetOutcomeId;
using qelta::jni::IdOf;
using qelta::jni::LogReasonIfSilent;
using qelta::jni::Net;
using qelta::jni::NodeTypeName;

namespace {

// ------------------------------------------------------ evidence and targets

constexpr const char* kNullLikelihoods =
    "Virtual evidence array cannot be null";

void SetTarget(JNIEnv* env, jobject obj, jint node, jboolean target) {
  VRN_network& net = Net(env, obj);
  VRN_node* marked = ValidateNodeHandle(net, node);
  // Also refused (-4): a mark that is already as asked.
  if (net.SetTarget(node, target != JNI_FALSE) != qelta::kOk) {
    throw std::runtime_error("Cannot change target status for node '" +
                             IdOf(*marked) + "'");
  }
}

jboolean IsTarget(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  ValidateNodeHandle(net, node);
  return net.IsTarget(node) != 0;
}

bool SameEvidence(const VRN_evidenceRecord& a, const VRN_evidenceRecord& b) {
  return a.kind == b.kind && a.outcome == b.outcome &&
         (a.kind != qelta::kEvidenceOutcomeAndValue || a.value == b.value) &&
         a.soft_evidence == b.soft_evidence;
}

// Runs set on the node's value and answers its status. The value drops the
// node's earlier observed or virtual evidence before it learns that the new
// evidence is refused (a conflict with implied evidence, or an outcome the
// observed parents make impossible); a refusal then puts the earlier
// evidence back, so a refused call changes nothing the caller can see.
template <typename Set>
int SetEvidenceKeepingOld(VRN_node& node, Set set) {
  VRN_nodeVal* value = node.Value();
  VRN_evidenceRecord before(node.Network(), node.Handle());
  value->StoreEvidence(before);
  const int status = set(*value);
  if (status == qelta::kOk) return status;
  VRN_evidenceRecord after(node.Network(), node.Handle());
  value->StoreEvidence(after);
  if (SameEvidence(before, after)) return status;
  // The earlier evidence was accepted under the same tables and evidence
  // elsewhere, so putting it back succeeds; the caller hears of the refusal.
  switch (before.kind) {
    case qelta::kEvidenceOutcome:
      static_cast<void>(value->SetEvidence(before.outcome));
      break;
    case qelta::kEvidenceOutcomeAndValue:
      static_cast<void>(value->SetContEvidence(before.value));
      break;
    case qelta::kEvidenceVirtual:
      static_cast<void>(value->SetVirtualEvidence(before.soft_evidence));
      break;
    default:
      break;
  }
  return status;
}

void SetEvidence(JNIEnv* env, jobject obj, jint node, jint outcome) {
  VRN_node* target = ValidateOutcomeIndex(Net(env, obj), node, outcome);
  const int status = SetEvidenceKeepingOld(
      *target, [&](VRN_nodeVal& value) { return value.SetEvidence(outcome); });
  if (status != qelta::kOk) ReportError("SetEvidence", status);
}

void SetEvidenceById(JNIEnv* env, jobject obj, jint node, jstring outcome_id) {
  SetEvidence(env, obj, node,
              OutcomeIdToIndex(env, Net(env, obj), node, outcome_id));
}

void SetVirtualEvidence(JNIEnv* env, jobject obj, jint node,
                        jdoubleArray likelihoods) {
  // Before the network is read, as for a missing definition array.
  qelta::jni::RequireArray(likelihoods, kNullLikelihoods);
  VRN_network& net = Net(env, obj);
  VRN_node* target = ValidateNodeHandle(net, node);
  const std::vector<jdouble> items = qelta::jni::CopyFromJava<jdouble>(env, likelihoods);
  // The value checks every likelihood before it drops observed evidence.
  const int status = target->Value()->SetVirtualEvidence(items);
  if (status != qelta::kOk) {
    const char* id = target->GetId();
    const int outcomes = target->Definition()->GetNumberOfOutcomes();
    if (status == qelta::kErrWrongNodeType) {
      LogReasonIfSilent(net, status, "Node [%s] (%s) takes no virtual evidence", id,
                        NodeTypeName(*target).c_str());
    } else if (status == qelta::kErrOutOfRange) {
      LogReasonIfSilent(net, status, "Node [%s] takes %d likelihoods, one per outcome, not %zu",
                        id, outcomes, items.size());
    } else if (status == qelta::kErrInvalidValue) {
      LogReasonIfSilent(net, status, "Likelihoods of node [%s] lie from 0 to 1", id);
    } else if (status == qelta::kErrNoItem) {
      LogReasonIfSilent(net, status, "Likelihoods of node [%s] need one above 0", id);
    }
    ReportError("SetVirtualEvidence", status);
  }
}

jdoubleArray GetVirtualEvidence(JNIEnv* env, jobject obj, jint node) {
  std::vector<double> likelihoods;
  VRN_network& net = Net(env, obj);
  const int status = EvidenceOf(net, node).GetVirtualEvidence(&likelihoods);
  if (status < 0) {
    if (status == qelta::kErrOutOfRange) {
      LogReasonIfSilent(net, status, "Node [%s] has no virtual evidence", net.GetNode(node)->GetId());
    }
    ReportError("GetVirtualEvidence", status);
  }
  return qelta::jni::NewJavaArray<jdouble>(env, likelihoods);
}

jint GetEvidence(JNIEnv* env, jobject obj, jint node) {
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  (void)EvidenceOf(Net(env, obj), node);
  CheckEvidenceSet(*target);
  const int outcome = target->Value()->GetEvidence();
  if (outcome < 0) ReportError("GetEvidence", outcome);
  return outcome;
}

jstring GetEvidenceId(JNIEnv* env, jobject obj, jint node) {
  return GetOutcomeId(env, obj, node, GetEvidence(env, obj, node));
}

// Whether the node's value carries any of the flag bits.
jboolean HasValueFlags(JNIEnv* env, jobject obj, jint node, int bits) {
  return EvidenceOf(Net(env, obj), node).HasFlags(bits);
}

void ClearEvidence(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  VRN_node* target = ValidateNodeHandle(net, node);
  const int status = target->Value()->ClearEvidence();
  if (status != qelta::kOk) {
    if (status == qelta::kErrOutOfRange) {
      LogReasonIfSilent(net, status, "Node [%s] has no evidence to clear", target->GetId());
    } else if (status == qelta::kErrWrongNodeType) {
      LogReasonIfSilent(net, status, "Node [%s] (%s) takes no evidence", target->GetId(),
                        NodeTypeName(*target).c_str());
    }
    ReportError("ClearEvidence", status);
  }
}

// Why the node refused the number, for the refusals whose cause the node's
// kind tells; empty for the others.
std::string ContEvidenceRefusal(const VRN_node& node, double number,
                                int status) {
  const auto* discrete = dynamic_cast<const VRN_discDef*>(node.Definition());
  const std::string id = "'" + IdOf(node) + "'";
  switch (status) {
    case qelta::kErrNoItem:
      return "Node " + id + " has no intervals: a number is observed only"
             " on an equation node or on a node whose outcomes are"
             " intervals (setIntervals)";
    case qelta::kErrWrongNodeType:
      return "Node " + id + " takes no evidence";
    case qelta::kErrInvalidValue:
      return "Node " + id + " takes only a finite number";
    case qelta::kErrOutOfRange:
      // Otherwise an outcome the observed parents rule out, which is logged.
      if (discrete != nullptr && discrete->GetIntervalIndex(number) < 0) {
        char text[64];
        std::snprintf(text, sizeof text, "%g", number);
        return "No interval of node " + id + " holds " + text;
      }
      break;
    default:
      break;
  }
  return std::string();
}

void SetContEvidence(JNIEnv* env, jobject obj, jint node, jdouble number) {
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  const int status = SetEvidenceKeepingOld(*target, [&](VRN_nodeVal& value) {
    return value.SetContEvidence(number);
  });
  if (status == qelta::kOk) return;
  // The same name as the outcome form: both observe the node.
  const std::string why = ContEvidenceRefusal(*target, number, status);
  if (why.empty()) ReportError("SetEvidence", status);
  ReportErrorWithMessage("SetEvidence", status, why);
}

jdouble GetContEvidence(JNIEnv* env, jobject obj, jint node) {
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  (void)EvidenceOf(Net(env, obj), node);
  CheckEvidenceSet(*target);
  double number = 0.0;
  // Evidence observed as an outcome carries no number (-51): say so rather
  // than invent one.
  const int status = target->Value()->GetContEvidence(&number);
  if (status != qelta::kOk) ReportError("GetContEvidence", status);
  return number;
}

}  // namespace

// ===================================================== evidence and targets

/*
 * Class:     qelta_Network
 * Method:    setTarget
 * Signature: (IZ)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setTarget__IZ(JNIEnv* env, jobject obj, jint node, jboolean target) {
  Guarded(env, [&] { SetTarget(env, obj, node, target); });
}

/*
 * Class:     qelta_Network
 * Method:    setTarget
 * Signature: (Ljava/lang/String;Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setTarget__Ljava_lang_String_2Z(JNIEnv* env, jobject obj, jstring node_id, jboolean target) {
  Guarded(env, [&] { SetTarget(env, obj, Handle(env, obj, node_id), target); });
}

/*
 * Class:     qelta_Network
 * Method:    isTarget
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isTarget__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&]() -> jboolean { return IsTarget(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    isTarget
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isTarget__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&]() -> jboolean { return IsTarget(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    clearAllTargets
 * Signature: ()V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_clearAllTargets(JNIEnv* env, jobject obj) {
  Guarded(env, [&] { static_cast<void>(Net(env, obj).ClearAllTargets()); });
}

/*
 * Class:     qelta_Network
 * Method:    setEvidence
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setEvidence__II(JNIEnv* env, jobject obj, jint node, jint outcome) {
  Guarded(env, [&] { SetEvidence(env, obj, node, outcome); });
}

/*
 * Class:     qelta_Network
 * Method:    setEvidence
 * Signature: (Ljava/lang/String;I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setEvidence__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint outcome) {
  Guarded(env, [&] { SetEvidence(env, obj, Handle(env, obj, node_id), outcome); });
}

/*
 * Class:     qelta_Network
 * Method:    setEvidence
 * Signature: (ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setEvidence__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jstring outcome_id) {
  Guarded(env, [&] { SetEvidenceById(env, obj, node, outcome_id); });
}

/*
 * Class:     qelta_Network
 * Method:    setEvidence
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setEvidence__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jstring outcome_id) {
  Guarded(env, [&] { SetEvidenceById(env, obj, Handle(env, obj, node_id), outcome_id); });
}

/*
 * Class:     qelta_Network
 * Method:    setVirtualEvidence
 * Signature: (I[D)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setVirtualEvidence__I_3D(JNIEnv* env, jobject obj, jint node, jdoubleArray likelihoods) {
  Guarded(env, [&] { SetVirtualEvidence(env, obj, node, likelihoods); });
}

/*
 * Class:     qelta_Network
 * Method:    setVirtualEvidence
 * Signature: (Ljava/lang/String;[D)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setVirtualEvidence__Ljava_lang_String_2_3D(JNIEnv* env, jobject obj, jstring node_id, jdoubleArray likelihoods) {
  Guarded(env, [&] {
    // The missing array is refused before the identifier is looked up.
    qelta::jni::RequireArray(likelihoods, kNullLikelihoods);
    SetVirtualEvidence(env, obj, Handle(env, obj, node_id), likelihoods);
  });
}

/*
 * Class:     qelta_Network
 * Method:    getVirtualEvidence
 * Signature: (I)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getVirtualEvidence__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetVirtualEvidence(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getVirtualEvidence
 * Signature: (Ljava/lang/String;)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getVirtualEvidence__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetVirtualEvidence(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getEvidence
 * Signature: (I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getEvidence__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetEvidence(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getEvidence
 * Signature: (Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getEvidence__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetEvidence(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getEvidenceId
 * Signature: (I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getEvidenceId__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetEvidenceId(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getEvidenceId
 * Signature: (Ljava/lang/String;)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getEvidenceId__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetEvidenceId(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    isEvidence
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isEvidence__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&]() -> jboolean { return HasValueFlags(env, obj, node, qelta::kValFlagEvidence | qelta::kValFlagPropagated); });
}

/*
 * Class:     qelta_Network
 * Method:    isEvidence
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isEvidence__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&]() -> jboolean { return HasValueFlags(env, obj, Handle(env, obj, node_id), qelta::kValFlagEvidence | qelta::kValFlagPropagated); });
}

/*
 * Class:     qelta_Network
 * Method:    isRealEvidence
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isRealEvidence__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&]() -> jboolean { return HasValueFlags(env, obj, node, qelta::kValFlagEvidence); });
}

/*
 * Class:     qelta_Network
 * Method:    isRealEvidence
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isRealEvidence__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&]() -> jboolean { return HasValueFlags(env, obj, Handle(env, obj, node_id), qelta::kValFlagEvidence); });
}

/*
 * Class:     qelta_Network
 * Method:    isPropagatedEvidence
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isPropagatedEvidence__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&]() -> jboolean { return HasValueFlags(env, obj, node, qelta::kValFlagPropagated); });
}

/*
 * Class:     qelta_Network
 * Method:    isPropagatedEvidence
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isPropagatedEvidence__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&]() -> jboolean { return HasValueFlags(env, obj, Handle(env, obj, node_id), qelta::kValFlagPropagated); });
}

/*
 * Class:     qelta_Network
 * Method:    isVirtualEvidence
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isVirtualEvidence__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&]() -> jboolean { return HasValueFlags(env, obj, node, qelta::kValFlagVirtual); });
}

/*
 * Class:     qelta_Network
 * Method:    isVirtualEvidence
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isVirtualEvidence__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&]() -> jboolean { return HasValueFlags(env, obj, Handle(env, obj, node_id), qelta::kValFlagVirtual); });
}

/*
 * Class:     qelta_Network
 * Method:    clearEvidence
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_clearEvidence__I(JNIEnv* env, jobject obj, jint node) {
  Guarded(env, [&] { ClearEvidence(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    clearEvidence
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_clearEvidence__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  Guarded(env, [&] { ClearEvidence(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    clearAllEvidence
 * Signature: ()V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_clearAllEvidence(JNIEnv* env, jobject obj) {
  Guarded(env, [&] { static_cast<void>(Net(env, obj).ClearAllEvidence()); });
}

/*
 * Class:     qelta_Network
 * Method:    setContEvidence
 * Signature: (ID)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setContEvidence__ID(JNIEnv* env, jobject obj, jint node, jdouble number) {
  Guarded(env, [&] { SetContEvidence(env, obj, node, number); });
}

/*
 * Class:     qelta_Network
 * Method:    setContEvidence
 * Signature: (Ljava/lang/String;D)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setContEvidence__Ljava_lang_String_2D(JNIEnv* env, jobject obj, jstring node_id, jdouble number) {
  Guarded(env, [&] { SetContEvidence(env, obj, Handle(env, obj, node_id), number); });
}

/*
 * Class:     qelta_Network
 * Method:    getContEvidence
 * Signature: (I)D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getContEvidence__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetContEvidence(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getContEvidence
 * Signature: (Ljava/lang/String;)D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getContEvidence__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetContEvidence(env, obj, Handle(env, obj, node_id)); });
}
