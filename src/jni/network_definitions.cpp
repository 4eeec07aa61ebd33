// Bridge of qelta.Network: node values, definitions, parents and children,
// outcome identifiers, point values and intervals.
#include "qelta_Network.h"

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
#include "equations/equation_evaluation.h"
#include "io/format.h"
#include "jni/checks.h"
#include "jni/codes.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "network/network.h"
#include "network/node.h"

using qelta::jni::EvidenceOf;
using qelta::jni::Guarded;
using qelta::jni::Handle;
using qelta::jni::GetOutcomeId;
using qelta::jni::IdOf;
using qelta::jni::Net;
using qelta::jni::OutcomeIds;

namespace {

// ------------------------------------------------------------------ values

// The value of an equation node (value type 8).
const VRN_equationEvaluation& EquationValue(const VRN_node& node) {
  return static_cast<const VRN_equationEvaluation&>(*node.Value());
}

// Values are read as evidence is (EvidenceOf): after implied evidence whose
// cause may have changed is derived again, as an update would first.
jdoubleArray GetNodeValue(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  VRN_node* target = ValidateNodeHandle(net, node);
  const VRN_nodeVal* value = net.EvidenceOf(node);
  // Tested before the kind of node, so it holds for every node.
  if (!value->IsValueValid()) {
    throw std::runtime_error("Value not valid - node '" + IdOf(*target) + "'");
  }
  if (value->GetType() == qelta::kValEquationEvaluation) {
    const VRN_equationEvaluation& equation = EquationValue(*target);
    if (!equation.IsDiscretized()) {
      // One number for a value known exactly, else every sample.
      if (equation.GetSampleStdDev() == 0.0) {
        const double mean = equation.GetSampleMean();
        return qelta::jni::NewJavaArray<jdouble>(env, &mean, 1);
      }
      return qelta::jni::NewJavaArray<jdouble>(env, equation.GetSamples());
    }
  }
  const VRN_matrix& matrix = value->GetValue();
  if (matrix.IsEmpty()) ReportError("GetValue", qelta::kErrWrongNodeType);
  const VRN_doubleArray& items = matrix.GetItems();
  return qelta::jni::NewJavaArray<jdouble>(
      env, items.Items(), static_cast<std::size_t>(items.GetSize()));
}

// Reports a refused mean or standard deviation (what) of node, logging why
// when the engine's refusal logged nothing (it logs only for a decision
// whose value holds expected utilities).
[[noreturn]] void ReportMomentRefusal(VRN_network& net, jint node,
                                      const char* operation, const char* what,
                                      int status) {
  VRN_errorLog& log = *net.ErrorLog();
  if (log.GetNumberOfMessages() == 0) {
    const VRN_node& target = *net.GetNode(node);
    const VRN_nodeVal& value = *target.Value();
    const VRN_nodeDef& def = *target.Definition();
    const std::string id = IdOf(target);
    if (!value.IsValueValid()) {
      log.Logf(status, "Node [%s] has no valid value; update beliefs first",
               id.c_str());
    } else if ((def.GetType() & qelta::kDefBitUtility) != 0) {
      log.Logf(status,
               "Node [%s] is a utility node: its value is an expected "
               "utility, not probabilities over outcomes, so it has no %s",
               id.c_str(), what);
    } else if (status == qelta::kErrNoItem) {
      log.Logf(status,
               "Node [%s] has neither point values nor intervals; give its "
               "outcomes point values or intervals to take its %s",
               id.c_str(), what);
    } else if (status == qelta::kErrInvalidValue) {
      log.Logf(status, "The %s of node [%s] is not a finite number", what,
               id.c_str());
    } else if (status == qelta::kErrWrongNodeType &&
               (def.GetType() & qelta::kDefBitDecision) == 0) {
      log.Logf(status, "Node [%s] (%s) has no %s", id.c_str(),
               qelta::jni::NameOfCode(qelta::jni::kNodeTypes, def.GetType()).c_str(), what);
    }
  }
  ReportError(operation, status);
}

jdouble GetNodeMean(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  double mean = 0.0;
  const int status = EvidenceOf(net, node).GetMean(&mean);
  if (status != qelta::kOk) {
    ReportMomentRefusal(net, node, "GetMean", "mean", status);
  }
  return mean;
}

jdouble GetNodeStdDev(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  double deviation = 0.0;
  const int status = EvidenceOf(net, node).GetStdDev(&deviation);
  if (status != qelta::kOk) {
    ReportMomentRefusal(net, node, "GetStdDev", "standard deviation", status);
  }
  return deviation;
}

jboolean IsValueValid(JNIEnv* env, jobject obj, jint node) {
  return EvidenceOf(Net(env, obj), node).IsValueValid();
}

jboolean IsValueDiscretized(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  GetEquationDef(net, node);
  return EquationValue(*net.GetNode(node)).IsDiscretized() ? JNI_TRUE
                                                           : JNI_FALSE;
}

jdoubleArray GetNodeSampleStats(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  GetEquationDef(net, node);
  const VRN_node* target = net.GetNode(node);
  if (!target->Value()->IsValueValid()) {
    throw std::runtime_error("Value of node " + IdOf(*target) +
                             " is not valid");
  }
  const VRN_equationEvaluation& equation = EquationValue(*target);
  if (equation.IsDiscretized()) {
    throw std::runtime_error("Node " + IdOf(*target) +
                             " was discretized and has no samples");
  }
  double stats[4];
  equation.GetSampleStats(&stats[0], &stats[1], &stats[2], &stats[3]);
  return qelta::jni::NewJavaArray<jdouble>(env, stats, 4);
}

jintArray GetNodeSampleHistogram(JNIEnv* env, jobject obj, jint node,
                                 jdouble low, jdouble high, jint bins) {
  VRN_network& net = Net(env, obj);
  GetEquationDef(net, node);
  VRN_intArray counts;
  const int status =
      EquationValue(*net.GetNode(node)).GetHistogram(low, high, bins, &counts);
  if (status != qelta::kOk) {
    const char* id = net.GetNode(node)->GetId();
    if (status == qelta::kErrInvalidValue) {
      qelta::jni::LogReasonIfSilent(net, status, "Node [%s] holds no valid samples", id);
    } else if (status == qelta::kErrOutOfRange) {
      qelta::jni::LogReasonIfSilent(net, status, "The low end %g of the histogram must lie below the high end %g",
                                    low, high);
    } else if (status == qelta::kErrNoItem) {
      qelta::jni::LogReasonIfSilent(net, status, "A histogram has 2 or more bins, not %d", bins);
    } else if (status == qelta::kErrOutOfMemory) {
      qelta::jni::LogReasonIfSilent(net, status, "%d bins do not fit in memory", bins);
    }
    ReportError("GetHistogram", status);
  }
  return qelta::jni::NewJavaArray<jint>(
      env, counts.Items(), static_cast<std::size_t>(counts.GetSize()));
}

jintArray GetValueIndexingParents(JNIEnv* env, jobject obj, jint node) {
  const VRN_intArray& parents = ValidateNodeHandle(Net(env, obj), node)
                                    ->Value()
                                    ->GetIndexingParents();
  return qelta::jni::NewJavaArray<jint>(
      env, parents.Items(), static_cast<std::size_t>(parents.GetSize()));
}

jobjectArray GetValueIndexingParentIds(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  return NodeIdsToJava(
      env, net, ValidateNodeHandle(net, node)->Value()->GetIndexingParents());
}

// ------------------------------------------------------------- definitions

constexpr const char* kNullDefinition = "Node definition array cannot be null";

// The node's table (or parameter matrix) as Java exchanges it. A definition
// without one is refused with Error: std::invalid_argument when writing,
// std::runtime_error when reading, with the same words.
template <typename Error>
const VRN_matrix& DefinitionMatrix(const VRN_node& node) {
  const VRN_nodeDef* definition = node.Definition();
  const VRN_matrix* matrix = nullptr;
  if (definition->GetDefinitionConst(&matrix) != qelta::kOk ||
      matrix == nullptr) {
    const char* type_name = definition->GetTypeName();
    throw Error("Cannot get node definition '" +
                std::string(type_name != nullptr ? type_name : "") +
                "' of node '" + IdOf(node) + "' as an array of doubles");
  }
  return *matrix;
}

void SetNodeDefinition(JNIEnv* env, jobject obj, jint node,
                       jdoubleArray definition) {
  // Before the network is read: a missing array is the caller's first fault.
  qelta::jni::RequireArray(definition, kNullDefinition);
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  const int count =
      DefinitionMatrix<std::invalid_argument>(*target).GetItemCount();
  ValidateDefinitionArraySize(env, *target, count, definition);
  VRN_doubleArray items;
  int status = items.SetSize(count);
  if (status != qelta::kOk) ReportError("SetDefinition", status);
  if (count > 0) env->GetDoubleArrayRegion(definition, 0, count, items.Items());
  qelta::jni::CheckJava(env);
  // The checks above exclude both of the engine's refusals (no matrix, a
  // length that differs); a refusal all the same must not pass as success.
  status = target->Definition()->SetDefinition(items);
  if (status == qelta::kErrOutOfRange &&
      target->Definition()->GetType() == qelta::kDefUtility) {
    // NaN utilities would give NaN policies that are marked valid.
    ReportErrorWithMessage("SetDefinition", status,
                           std::string("Utilities of node '") +
                               target->GetId() + "' must be finite numbers");
  }
  if (status == qelta::kErrInvalidValue &&
      target->Definition()->GetType() == qelta::kDefNoisyMax) {
    ReportErrorWithMessage("SetDefinition", status,
                           std::string("Parameters of node '") +
                               target->GetId() + "' must lie in [0, 1]");
  }
  if (status != qelta::kOk) ReportError("SetDefinition", status);
}

jdoubleArray GetNodeDefinition(JNIEnv* env, jobject obj, jint node) {
  const VRN_doubleArray& items =
      DefinitionMatrix<std::runtime_error>(
          *ValidateNodeHandle(Net(env, obj), node))
          .GetItems();
  return qelta::jni::NewJavaArray<jdouble>(
      env, items.Items(), static_cast<std::size_t>(items.GetSize()));
}

jintArray HandlesToJava(JNIEnv* env, const VRN_intArray& handles) {
  return qelta::jni::NewJavaArray<jint>(
      env, handles.Items(), static_cast<std::size_t>(handles.GetSize()));
}

jintArray GetParents(JNIEnv* env, jobject obj, jint node) {
  return HandlesToJava(env, ValidateNodeHandle(Net(env, obj), node)->Parents());
}

jobjectArray GetParentIds(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  return NodeIdsToJava(env, net, ValidateNodeHandle(net, node)->Parents());
}

jintArray GetChildren(JNIEnv* env, jobject obj, jint node) {
  return HandlesToJava(env,
                       ValidateNodeHandle(Net(env, obj), node)->Children());
}

jobjectArray GetChildIds(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  return NodeIdsToJava(env, net, ValidateNodeHandle(net, node)->Children());
}

// ------------------------------------------------- outcome ids and numbers

jobjectArray GetOutcomeIds(JNIEnv* env, jobject obj, jint node) {
  return StringArrayToJava(
      env, OutcomeIds(*ValidateNodeHandle(Net(env, obj), node)));
}

// The node's discrete definition, refused as GetDiscreteDef refuses. Every
// definition with two or more outcomes is discrete; anything else would be
// the wrong kind of node for the operation.
VRN_discDef* DiscreteDef(JNIEnv* env, jobject obj, jint node,
                         const char* operation) {
  auto* definition =
      dynamic_cast<VRN_discDef*>(GetDiscreteDef(Net(env, obj), node));
  if (definition == nullptr) ReportError(operation, qelta::kErrWrongNodeType);
  return definition;
}

jboolean HasOutcomeIds(JNIEnv* env, jobject obj, jint node) {
  return DiscreteDef(env, obj, node, "HasOutcomeIds")->HasOutcomeIds();
}

jboolean HasPointValues(JNIEnv* env, jobject obj, jint node) {
  return DiscreteDef(env, obj, node, "HasPointValues")->HasPointValues();
}

// Reports a refused read or edit of the node's point values or intervals
// (what), saying why: it has none, or (given >= 0) the count is not one per
// outcome (bounds: one more).
[[noreturn]] void ReportNumbersRefusal(JNIEnv* env, jobject obj, jint node, const char* operation,
                                       int status, const char* what, long given = -1) {
  VRN_network& net = Net(env, obj);
  const VRN_node& target = *net.GetNode(node);
  const int outcomes = target.Definition()->GetNumberOfOutcomes();
  if (status == qelta::kErrNoItem) {
    qelta::jni::LogReasonIfSilent(net, status, "Node [%s] has no %s", target.GetId(), what);
  } else if (status == qelta::kErrOutOfRange && given >= 0) {
    qelta::jni::LogReasonIfSilent(net, status, "Node [%s] takes %d %s, one per outcome, not %ld",
                                  target.GetId(), outcomes, what, given);
  } else if (status == qelta::kErrInvalidValue) {
    qelta::jni::LogReasonIfSilent(net, status, "The %s of node [%s] must be finite numbers", what,
                                  target.GetId());
  }
  ReportError(operation, status);
}

jdoubleArray GetPointValues(JNIEnv* env, jobject obj, jint node) {
  std::vector<double> values;
  const int status =
      DiscreteDef(env, obj, node, "GetPointValues")->GetPointValues(&values);
  if (status != qelta::kOk) {
    ReportNumbersRefusal(env, obj, node, "GetPointValues", status, "point values");
  }
  return qelta::jni::NewJavaArray<jdouble>(env, values);
}

// Array arguments are tested for null before the node, as everywhere.
constexpr const char* kNullArray = "Unexpected null Java array.";

void SetPointValues(JNIEnv* env, jobject obj, jint node, jdoubleArray values) {
  qelta::jni::RequireArray(values, kNullArray);
  VRN_discDef* definition = DiscreteDef(env, obj, node, "SetPointValues");
  const std::vector<jdouble> items = qelta::jni::CopyFromJava<jdouble>(env, values);
  const int status = definition->SetPointValues(items);
  if (status != qelta::kOk) {
    ReportNumbersRefusal(env, obj, node, "SetPointValues", status, "point values",
                         static_cast<long>(items.size()));
  }
}

void RemovePointValues(JNIEnv* env, jobject obj, jint node) {
  const int status =
      DiscreteDef(env, obj, node, "RemovePointValues")->RemovePointValues();
  if (status != qelta::kOk) {
    ReportNumbersRefusal(env, obj, node, "RemovePointValues", status, "point values");
  }
}

jboolean HasIntervals(JNIEnv* env, jobject obj, jint node) {
  return DiscreteDef(env, obj, node, "HasIntervals")->HasIntervals();
}

jdoubleArray GetIntervals(JNIEnv* env, jobject obj, jint node) {
  std::vector<double> bounds;
  const int status =
      DiscreteDef(env, obj, node, "GetIntervals")->GetIntervals(&bounds);
  if (status != qelta::kOk) ReportNumbersRefusal(env, obj, node, "GetIntervals", status, "intervals");
  return qelta::jni::NewJavaArray<jdouble>(env, bounds);
}

void SetIntervals(JNIEnv* env, jobject obj, jint node, jdoubleArray bounds,
                  jboolean clear_ids) {
  qelta::jni::RequireArray(bounds, kNullArray);
  VRN_discDef* definition = DiscreteDef(env, obj, node, "SetIntervals");
  // The definition checks the bounds before it changes the outcome count,
  // so a refusal leaves outcomes and numbers as they were.
  VRN_network& net = Net(env, obj);
  net.ErrorLog()->Flush();
  const std::vector<jdouble> items = qelta::jni::CopyFromJava<jdouble>(env, bounds);
  const int status = definition->SetIntervals(items, clear_ids != JNI_FALSE);
  if (status != qelta::kOk) {
    if (status == qelta::kErrOutOfRange && items.size() < 3) {
      qelta::jni::LogReasonIfSilent(
          net, status, "Intervals of node [%s] need at least 3 bounds (2 intervals), not %zu",
          net.GetNode(node)->GetId(), items.size());
    } else if (status == qelta::kErrInvalidValue) {
      qelta::jni::LogReasonIfSilent(
          net, status,
          "Interval bounds of node [%s] must be numbers that never decrease, with no "
          "two empty intervals in a row",
          net.GetNode(node)->GetId());
    }
    ReportNetworkError("SetIntervals", status, *net.ErrorLog());
  }
}

void RemoveIntervals(JNIEnv* env, jobject obj, jint node) {
  const int status =
      DiscreteDef(env, obj, node, "RemoveIntervals")->RemoveIntervals();
  if (status != qelta::kOk) {
    ReportNumbersRefusal(env, obj, node, "RemoveIntervals", status, "intervals");
  }
}

}  // namespace

// ============================================================== node values

/*
 * Class:     qelta_Network
 * Method:    getNodeValue
 * Signature: (I)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNodeValue__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeValue(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeValue
 * Signature: (Ljava/lang/String;)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNodeValue__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeValue(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeMean
 * Signature: (I)D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getNodeMean__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeMean(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeMean
 * Signature: (Ljava/lang/String;)D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getNodeMean__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeMean(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeStdDev
 * Signature: (I)D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getNodeStdDev__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeStdDev(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeStdDev
 * Signature: (Ljava/lang/String;)D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getNodeStdDev__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeStdDev(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    isValueValid
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isValueValid__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&]() -> jboolean { return IsValueValid(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    isValueValid
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isValueValid__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&]() -> jboolean { return IsValueValid(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    isValueDiscretized
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isValueDiscretized__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&]() -> jboolean { return IsValueDiscretized(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    isValueDiscretized
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isValueDiscretized__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&]() -> jboolean { return IsValueDiscretized(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeSampleStats
 * Signature: (I)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNodeSampleStats__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeSampleStats(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeSampleStats
 * Signature: (Ljava/lang/String;)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNodeSampleStats__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeSampleStats(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeSampleHistogram
 * Signature: (IDDI)[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getNodeSampleHistogram__IDDI(JNIEnv* env, jobject obj, jint node, jdouble low, jdouble high, jint bins) {
  return Guarded(env, [&] { return GetNodeSampleHistogram(env, obj, node, low, high, bins); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeSampleHistogram
 * Signature: (Ljava/lang/String;DDI)[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getNodeSampleHistogram__Ljava_lang_String_2DDI(JNIEnv* env, jobject obj, jstring node_id, jdouble low, jdouble high, jint bins) {
  return Guarded(env, [&] { return GetNodeSampleHistogram(env, obj, Handle(env, obj, node_id), low, high, bins); });
}

/*
 * Class:     qelta_Network
 * Method:    getValueIndexingParents
 * Signature: (I)[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getValueIndexingParents__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetValueIndexingParents(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getValueIndexingParents
 * Signature: (Ljava/lang/String;)[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getValueIndexingParents__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetValueIndexingParents(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getValueIndexingParentIds
 * Signature: (I)[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getValueIndexingParentIds__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetValueIndexingParentIds(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getValueIndexingParentIds
 * Signature: (Ljava/lang/String;)[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getValueIndexingParentIds__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetValueIndexingParentIds(env, obj, Handle(env, obj, node_id)); });
}

// ======================================== definitions, parents and children

/*
 * Class:     qelta_Network
 * Method:    setNodeDefinition
 * Signature: (I[D)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeDefinition__I_3D(JNIEnv* env, jobject obj, jint node, jdoubleArray definition) {
  Guarded(env, [&] { SetNodeDefinition(env, obj, node, definition); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeDefinition
 * Signature: (Ljava/lang/String;[D)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeDefinition__Ljava_lang_String_2_3D(JNIEnv* env, jobject obj, jstring node_id, jdoubleArray definition) {
  Guarded(env, [&] {
    // The missing array is refused before the identifier is looked up.
    qelta::jni::RequireArray(definition, kNullDefinition);
    SetNodeDefinition(env, obj, Handle(env, obj, node_id), definition);
  });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeDefinition
 * Signature: (I)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNodeDefinition__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeDefinition(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeDefinition
 * Signature: (Ljava/lang/String;)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNodeDefinition__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeDefinition(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getParents
 * Signature: (I)[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getParents__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetParents(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getParents
 * Signature: (Ljava/lang/String;)[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getParents__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetParents(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getParentIds
 * Signature: (I)[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getParentIds__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetParentIds(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getParentIds
 * Signature: (Ljava/lang/String;)[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getParentIds__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetParentIds(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getChildren
 * Signature: (I)[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getChildren__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetChildren(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getChildren
 * Signature: (Ljava/lang/String;)[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getChildren__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetChildren(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getChildIds
 * Signature: (I)[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getChildIds__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetChildIds(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getChildIds
 * Signature: (Ljava/lang/String;)[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getChildIds__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetChildIds(env, obj, Handle(env, obj, node_id)); });
}

// ========================== outcome identifiers, point values and intervals

/*
 * Class:     qelta_Network
 * Method:    getOutcomeId
 * Signature: (II)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getOutcomeId__II(JNIEnv* env, jobject obj, jint node, jint outcome) {
  return Guarded(env, [&] { return GetOutcomeId(env, obj, node, outcome); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeId
 * Signature: (Ljava/lang/String;I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getOutcomeId__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint outcome) {
  return Guarded(env, [&] { return GetOutcomeId(env, obj, Handle(env, obj, node_id), outcome); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeIds
 * Signature: (I)[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getOutcomeIds__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetOutcomeIds(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeIds
 * Signature: (Ljava/lang/String;)[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getOutcomeIds__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetOutcomeIds(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    hasOutcomeIds
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_hasOutcomeIds__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&]() -> jboolean { return HasOutcomeIds(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    hasOutcomeIds
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_hasOutcomeIds__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&]() -> jboolean { return HasOutcomeIds(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    hasPointValues
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_hasPointValues__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&]() -> jboolean { return HasPointValues(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    hasPointValues
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_hasPointValues__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&]() -> jboolean { return HasPointValues(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getPointValues
 * Signature: (I)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getPointValues__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetPointValues(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getPointValues
 * Signature: (Ljava/lang/String;)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getPointValues__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetPointValues(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    setPointValues
 * Signature: (I[D)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setPointValues__I_3D(JNIEnv* env, jobject obj, jint node, jdoubleArray values) {
  Guarded(env, [&] { SetPointValues(env, obj, node, values); });
}

/*
 * Class:     qelta_Network
 * Method:    setPointValues
 * Signature: (Ljava/lang/String;[D)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setPointValues__Ljava_lang_String_2_3D(JNIEnv* env, jobject obj, jstring node_id, jdoubleArray values) {
  Guarded(env, [&] {
    qelta::jni::RequireArray(values, kNullArray);
    SetPointValues(env, obj, Handle(env, obj, node_id), values);
  });
}

/*
 * Class:     qelta_Network
 * Method:    removePointValues
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_removePointValues__I(JNIEnv* env, jobject obj, jint node) {
  Guarded(env, [&] { RemovePointValues(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    removePointValues
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_removePointValues__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  Guarded(env, [&] { RemovePointValues(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    hasIntervals
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_hasIntervals__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&]() -> jboolean { return HasIntervals(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    hasIntervals
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_hasIntervals__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&]() -> jboolean { return HasIntervals(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getIntervals
 * Signature: (I)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getIntervals__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetIntervals(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getIntervals
 * Signature: (Ljava/lang/String;)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getIntervals__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetIntervals(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    setIntervals
 * Signature: (I[DZ)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setIntervals__I_3DZ(JNIEnv* env, jobject obj, jint node, jdoubleArray bounds, jboolean clear_ids) {
  Guarded(env, [&] { SetIntervals(env, obj, node, bounds, clear_ids); });
}

/*
 * Class:     qelta_Network
 * Method:    setIntervals
 * Signature: (Ljava/lang/String;[DZ)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setIntervals__Ljava_lang_String_2_3DZ(JNIEnv* env, jobject obj, jstring node_id, jdoubleArray bounds, jboolean clear_ids) {
  Guarded(env, [&] {
    qelta::jni::RequireArray(bounds, kNullArray);
    SetIntervals(env, obj, Handle(env, obj, node_id), bounds, clear_ids);
  });
}

/*
 * Class:     qelta_Network
 * Method:    removeIntervals
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_removeIntervals__I(JNIEnv* env, jobject obj, jint node) {
  Guarded(env, [&] { RemoveIntervals(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    removeIntervals
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_removeIntervals__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  Guarded(env, [&] { RemoveIntervals(env, obj, Handle(env, obj, node_id)); });
}

