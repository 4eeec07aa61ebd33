// Bridge of qelta.Network: the network object, its files and settings, its
// nodes, arcs and outcomes, node values, definitions, outcome numbers,
// evidence and targets. The exports stand in the order of the Java
// class's native declarations; each runs its body through Guarded (see
// jni/frame.h), so every failure reaches Java as QELTAException.
//
// A method that takes a node exists in a handle form and an identifier form;
// the identifier form resolves the identifier and then runs the handle
// form's body, so both give the same results and the same messages once the
// node is found.
#include "qelta_Network.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "core/arrays.h"
#include "core/engine_error.h"
#include "core/error_log.h"
#include "core/matrix.h"
#include "core/network.h"
#include "core/node.h"
#include "core/status.h"
#include "core/strings.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "io/format.h"
#include "jni/checks.h"
#include "jni/frame.h"

using qelta::jni::Guarded;

namespace {

VRN_network& Net(JNIEnv* env, jobject obj) {
  return *qelta::jni::GetNative<VRN_network>(env, obj);
}

// The handle of the node named by a Java identifier (see NodeIdToHandle).
int Handle(JNIEnv* env, jobject obj, jstring node_id) {
  return NodeIdToHandle(env, Net(env, obj), node_id);
}

// Refuses a file name that holds U+0000: the engine would see the name cut
// there and could open a different file.
void RequireWholeFileName(const JavaStringToNative& name) {
  if (name.str().find('\0') != std::string::npos) {
    throw std::invalid_argument("File name cannot contain U+0000");
  }
}

// ---------------------------------------------------------- annealed MAP

// The tuning record held by the fields of a qelta.AnnealedMapTuning; *seed
// receives its randSeed field.
VRN_annealedMapTuning TuningFromJava(JNIEnv* env, jobject tuning, int* seed) {
  qelta::jni::LocalRef<jclass> cls = qelta::jni::GetObjectClass(env, tuning);
  auto number = [&](const char* name) {
    return env->GetDoubleField(
        tuning, qelta::jni::GetFieldId(env, cls.get(), name, "D"));
  };
  auto integer = [&](const char* name) {
    return env->GetIntField(
        tuning, qelta::jni::GetFieldId(env, cls.get(), name, "I"));
  };
  VRN_annealedMapTuning record;
  record.speed = number("speed");
  record.Tmin = number("Tmin");
  record.Tinit = number("Tinit");
  record.kReheat = number("kReheat");
  record.kMAP = integer("kMAP");
  record.kRFC = number("kRFC");
  record.numCycle = integer("numCycle");
  record.iReheatSteps = integer("iReheatSteps");
  record.iStopSteps = integer("iStopSteps");
  *seed = integer("randSeed");
  return record;
}

jobject AnnealedMap(JNIEnv* env, jobject obj, jintArray map_nodes,
                    jobject tuning) {
  VRN_network& net = Net(env, obj);
  int seed = 0;
  if (tuning != nullptr) {
    // A record the network refuses leaves its earlier tuning in force.
    static_cast<void>(
        net.SetAnnealedMapTuning(TuningFromJava(env, tuning, &seed)));
  }
  // The engine would index its node slots with these; refuse strangers here.
  const std::vector<jint> handles = qelta::jni::CopyFromJava<jint>(env, map_nodes);
  for (jint handle : handles) ValidateNodeHandle(net, handle);
  // The annealing search (with the evidence, the MAP nodes and the seed) is
  // not part of the engine yet.
  static_cast<void>(seed);
  ReportError("AnnealedMAP", qelta::kErrWrongNodeType);
}

// ------------------------------------------------------------------ nodes

jint GetNodeType(JNIEnv* env, jobject obj, jint node) {
  return ValidateNodeHandle(Net(env, obj), node)->Definition()->GetType();
}

void SetNodeType(JNIEnv* env, jobject obj, jint node, jint type) {
  const int status = ValidateNodeHandle(Net(env, obj), node)->setNodeType(type);
  if (status != qelta::kOk) ReportError("setNodeType", status);
}

void DeleteNode(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  ValidateNodeHandle(net, node);
  // Fails only for a bad handle, which the check has excluded.
  static_cast<void>(net.DeleteNode(node));
}

void SetNodeId(JNIEnv* env, jobject obj, jint node, jstring id) {
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  const std::string text = ValidateIdentifier(env, id);
  // A refused rename (an identifier in use elsewhere) must not look like
  // success to the caller.
  const int status = target->Header().SetId(text.c_str());
  if (status != qelta::kOk) ReportError("SetId", status);
}

jstring GetNodeName(JNIEnv* env, jobject obj, jint node) {
  return NativeToJavaString(
      env, ValidateNodeHandle(Net(env, obj), node)->Header().GetName());
}

void SetNodeName(JNIEnv* env, jobject obj, jint node, jstring name) {
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  JavaStringToNative text(env, name);
  target->Header().SetName(text.c_str());
}

jstring GetNodeDescription(JNIEnv* env, jobject obj, jint node) {
  return NativeToJavaString(
      env, ValidateNodeHandle(Net(env, obj), node)->Header().GetComment());
}

void SetNodeDescription(JNIEnv* env, jobject obj, jint node,
                        jstring description) {
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  JavaStringToNative text(env, description);
  target->Header().SetComment(text.c_str());
}

// ------------------------------------------------------- arcs and outcomes

jint GetOutcomeCount(JNIEnv* env, jobject obj, jint node) {
  // Definitions without outcomes answer -51, which Java receives as it is.
  return ValidateNodeHandle(Net(env, obj), node)
      ->Definition()
      ->GetNumberOfOutcomes();
}

void AddOutcome(JNIEnv* env, jobject obj, jint node, jstring outcome_id) {
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  JavaStringToNative id(env, outcome_id);
  const int status = target->Definition()->AddOutcome(id.c_str());
  if (status != qelta::kOk) ReportError("AddOutcome", status);
}

void InsertOutcome(JNIEnv* env, jobject obj, jint node, jint position,
                   jstring outcome_id) {
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  JavaStringToNative id(env, outcome_id);
  const int status =
      target->Definition()->InsertOutcome(position, id.c_str());
  if (status != qelta::kOk) ReportError("InsertOutcome", status);
}

void DeleteOutcome(JNIEnv* env, jobject obj, jint node, jint outcome) {
  VRN_node* target = ValidateOutcomeIndex(Net(env, obj), node, outcome);
  const int status = target->Definition()->RemoveOutcome(outcome);
  if (status != qelta::kOk) ReportError("RemoveOutcome", status);
}

void DeleteOutcomeById(JNIEnv* env, jobject obj, jint node,
                       jstring outcome_id) {
  DeleteOutcome(env, obj, node,
                OutcomeIdToIndex(env, Net(env, obj), node, outcome_id));
}

void SetOutcomeId(JNIEnv* env, jobject obj, jint node, jint outcome,
                  jstring outcome_id) {
  VRN_node* target = ValidateOutcomeIndex(Net(env, obj), node, outcome);
  JavaStringToNative id(env, outcome_id);
  const int status = target->Definition()->RenameOutcome(outcome, id.c_str());
  if (status != qelta::kOk) ReportError("RenameOutcome", status);
}

void SetOutcomes(JNIEnv* env, jobject obj, jint node, jobjectArray outcome_ids,
                 jintArray mapping) {
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  qelta::jni::RequireArray(outcome_ids, "Unexpected null Java array.");
  qelta::jni::RequireArray(mapping, "Unexpected null Java array.");
  const jsize n = env->GetArrayLength(outcome_ids);
  // The identifier list would silently drop an invalid identifier and hand
  // the engine a list shorter than the mapping; refuse it by name instead.
  VRN_idArray ids;
  for (jsize i = 0; i < n; ++i) {
    qelta::jni::LocalRef<jobject> element =
        qelta::jni::GetArrayElement(env, outcome_ids, i);
    const std::string id =
        ValidateIdentifier(env, static_cast<jstring>(element.get()));
    const int status = ids.Add(id.c_str());
    if (status != qelta::kOk) ReportError("Add", status);
  }
  const std::vector<jint> items = qelta::jni::CopyFromJava<jint>(env, mapping);
  if (items.size() < static_cast<std::size_t>(n)) {
    throw std::invalid_argument(
        "Invalid outcome mapping array size for node '" +
        std::string(target->GetId()) + "': expected " + std::to_string(n) +
        " and got " + std::to_string(items.size()));
  }
  // One mapping entry per new outcome identifier.
  VRN_intArray order(n);
  for (jsize i = 0; i < n; ++i) order[i] = items[static_cast<std::size_t>(i)];
  const int status =
      target->Definition()->ChangeOrderOfOutcomesWithAddAndRemove(ids, order);
  if (status != qelta::kOk) {
    ReportError("ChangeOrderOfOutcomesWithAddAndRemove", status);
  }
}

// ------------------------------------------------------------------ values

// The node's identifier as message text.
std::string IdOf(const VRN_node& node) {
  const char* id = node.GetId();
  return id != nullptr ? id : "";
}

// Equation values (value type 8) hold samples or interval probabilities that
// only the equation evaluation can read; until it is part of the engine,
// every reader of such a value answers the engine's refusal.
[[noreturn]] void EquationValueUnavailable(const char* operation) {
  ReportError(operation, qelta::kErrWrongNodeType);
}

jdoubleArray GetNodeValue(JNIEnv* env, jobject obj, jint node) {
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  const VRN_nodeVal* value = target->Value();
  // Tested before the kind of node, so it holds for every node.
  if (!value->IsValueValid()) {
    throw std::runtime_error("Value not valid - node '" + IdOf(*target) + "'");
  }
  if (value->GetType() == qelta::kValEquationEvaluation) {
    EquationValueUnavailable("GetValue");
  }
  const VRN_matrix& matrix = value->GetValue();
  if (matrix.IsEmpty()) ReportError("GetValue", qelta::kErrWrongNodeType);
  const VRN_doubleArray& items = matrix.GetItems();
  return qelta::jni::NewJavaArray<jdouble>(
      env, items.Items(), static_cast<std::size_t>(items.GetSize()));
}

jdouble GetNodeMean(JNIEnv* env, jobject obj, jint node) {
  double mean = 0.0;
  const int status =
      ValidateNodeHandle(Net(env, obj), node)->Value()->GetMean(&mean);
  if (status != qelta::kOk) ReportError("GetMean", status);
  return mean;
}

jdouble GetNodeStdDev(JNIEnv* env, jobject obj, jint node) {
  double deviation = 0.0;
  const int status =
      ValidateNodeHandle(Net(env, obj), node)->Value()->GetStdDev(&deviation);
  if (status != qelta::kOk) ReportError("GetStdDev", status);
  return deviation;
}

jboolean IsValueValid(JNIEnv* env, jobject obj, jint node) {
  return ValidateNodeHandle(Net(env, obj), node)->Value()->IsValueValid();
}

jboolean IsValueDiscretized(JNIEnv* env, jobject obj, jint node) {
  GetEquationDef(Net(env, obj), node);
  EquationValueUnavailable("IsValueDiscretized");
}

jdoubleArray GetNodeSampleStats(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  GetEquationDef(net, node);
  const VRN_node* target = net.GetNode(node);
  if (!target->Value()->IsValueValid()) {
    throw std::runtime_error("Value of node " + IdOf(*target) +
                             " is not valid");
  }
  EquationValueUnavailable("GetSampleStats");
}

jintArray GetNodeSampleHistogram(JNIEnv* env, jobject obj, jint node,
                                 jdouble low, jdouble high, jint bins) {
  GetEquationDef(Net(env, obj), node);
  EquationValueUnavailable("GetHistogram");
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

// The node's outcome identifiers; a definition without outcomes has none.
const VRN_idArray& OutcomeIds(const VRN_node& node) {
  const VRN_idArray* ids = node.Definition()->GetOutcomesNames();
  if (ids == nullptr) {
    throw std::runtime_error("NULL array returned from GetOutcomesNames");
  }
  return *ids;
}

jstring GetOutcomeId(JNIEnv* env, jobject obj, jint node, jint outcome) {
  VRN_node* target = ValidateOutcomeIndex(Net(env, obj), node, outcome);
  const char* id = OutcomeIds(*target).Get(outcome);
  // Outcomes given by intervals may have empty identifiers.
  return NativeToJavaString(env, id != nullptr ? id : "");
}

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

jdoubleArray GetPointValues(JNIEnv* env, jobject obj, jint node) {
  std::vector<double> values;
  const int status =
      DiscreteDef(env, obj, node, "GetPointValues")->GetPointValues(&values);
  if (status != qelta::kOk) ReportError("GetPointValues", status);
  return qelta::jni::NewJavaArray<jdouble>(env, values);
}

// Array arguments are tested for null before the node, as everywhere.
constexpr const char* kNullArray = "Unexpected null Java array.";

void SetPointValues(JNIEnv* env, jobject obj, jint node, jdoubleArray values) {
  qelta::jni::RequireArray(values, kNullArray);
  VRN_discDef* definition = DiscreteDef(env, obj, node, "SetPointValues");
  const int status = definition->SetPointValues(
      qelta::jni::CopyFromJava<jdouble>(env, values));
  if (status != qelta::kOk) ReportError("SetPointValues", status);
}

void RemovePointValues(JNIEnv* env, jobject obj, jint node) {
  const int status =
      DiscreteDef(env, obj, node, "RemovePointValues")->RemovePointValues();
  if (status != qelta::kOk) ReportError("RemovePointValues", status);
}

jboolean HasIntervals(JNIEnv* env, jobject obj, jint node) {
  return DiscreteDef(env, obj, node, "HasIntervals")->HasIntervals();
}

jdoubleArray GetIntervals(JNIEnv* env, jobject obj, jint node) {
  std::vector<double> bounds;
  const int status =
      DiscreteDef(env, obj, node, "GetIntervals")->GetIntervals(&bounds);
  if (status != qelta::kOk) ReportError("GetIntervals", status);
  return qelta::jni::NewJavaArray<jdouble>(env, bounds);
}

void SetIntervals(JNIEnv* env, jobject obj, jint node, jdoubleArray bounds,
                  jboolean clear_ids) {
  qelta::jni::RequireArray(bounds, kNullArray);
  VRN_discDef* definition = DiscreteDef(env, obj, node, "SetIntervals");
  // The definition checks the bounds before it changes the outcome count,
  // so a refusal leaves outcomes and numbers as they were.
  const int status = definition->SetIntervals(
      qelta::jni::CopyFromJava<jdouble>(env, bounds), clear_ids != JNI_FALSE);
  if (status != qelta::kOk) ReportError("SetIntervals", status);
}

void RemoveIntervals(JNIEnv* env, jobject obj, jint node) {
  const int status =
      DiscreteDef(env, obj, node, "RemoveIntervals")->RemoveIntervals();
  if (status != qelta::kOk) ReportError("RemoveIntervals", status);
}

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
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  // The value checks every likelihood before it drops observed evidence.
  const int status = target->Value()->SetVirtualEvidence(
      qelta::jni::CopyFromJava<jdouble>(env, likelihoods));
  if (status != qelta::kOk) ReportError("SetVirtualEvidence", status);
}

jdoubleArray GetVirtualEvidence(JNIEnv* env, jobject obj, jint node) {
  std::vector<double> likelihoods;
  const int status = ValidateNodeHandle(Net(env, obj), node)
                         ->Value()
                         ->GetVirtualEvidence(&likelihoods);
  if (status < 0) ReportError("GetVirtualEvidence", status);
  return qelta::jni::NewJavaArray<jdouble>(env, likelihoods);
}

jint GetEvidence(JNIEnv* env, jobject obj, jint node) {
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
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
  return ValidateNodeHandle(Net(env, obj), node)->Value()->HasFlags(bits);
}

void ClearEvidence(JNIEnv* env, jobject obj, jint node) {
  const int status =
      ValidateNodeHandle(Net(env, obj), node)->Value()->ClearEvidence();
  if (status != qelta::kOk) ReportError("ClearEvidence", status);
}

void SetContEvidence(JNIEnv* env, jobject obj, jint node, jdouble number) {
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  const int status = SetEvidenceKeepingOld(*target, [&](VRN_nodeVal& value) {
    return value.SetContEvidence(number);
  });
  // The same name as the outcome form: both observe the node.
  if (status != qelta::kOk) ReportError("SetEvidence", status);
}

jdouble GetContEvidence(JNIEnv* env, jobject obj, jint node) {
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  CheckEvidenceSet(*target);
  double number = 0.0;
  // Evidence observed as an outcome carries no number (-51): say so rather
  // than invent one.
  const int status = target->Value()->GetContEvidence(&number);
  if (status != qelta::kOk) ReportError("GetContEvidence", status);
  return number;
}

}  // namespace

// ================================================================ lifecycle

/*
 * Class:     qelta_Network
 * Method:    createNative
 * Signature: (Ljava/lang/Object;)J
 */
extern "C" JNIEXPORT jlong JNICALL Java_qelta_Network_createNative(JNIEnv* env, jobject obj, jobject unused) {
  return Guarded(env, [&] { return qelta::jni::ToHandle(new VRN_network()); });
}

/*
 * Class:     qelta_Network
 * Method:    deleteNative
 * Signature: (J)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteNative(JNIEnv* env, jclass cls, jlong handle) {
  Guarded(env, [&] { delete qelta::jni::FromHandle<VRN_network>(handle); });
}

// ============================================== files, strings and inference

/*
 * Class:     qelta_Network
 * Method:    readFile
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_readFile(JNIEnv* env, jobject obj, jstring file) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    VRN_errorLog* log = net.ErrorLog();
    log->Flush();
    JavaStringToNative name(env, file);
    RequireWholeFileName(name);
    CNumericLocaleGuard locale;
    const int status = net.ReadFile(name.c_str(), qelta::kFormatByName,
                                    qelta::kExtensionLayout);
    if (status != qelta::kOk) ReportNetworkError("ReadFile", status, *log);
  });
}

/*
 * Class:     qelta_Network
 * Method:    readString
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_readString(JNIEnv* env, jobject obj, jstring xml) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    VRN_errorLog* log = net.ErrorLog();
    log->Flush();
    JavaStringToNative text(env, xml);
    CNumericLocaleGuard locale;
    const int status = net.ReadString(text.c_str(), qelta::kExtensionLayout);
    if (status != qelta::kOk) ReportNetworkError("ReadString", status, *log);
  });
}

/*
 * Class:     qelta_Network
 * Method:    writeFile
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_writeFile(JNIEnv* env, jobject obj, jstring file) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    VRN_errorLog* log = net.ErrorLog();
    log->Flush();
    JavaStringToNative name(env, file);
    RequireWholeFileName(name);
    CNumericLocaleGuard locale;
    const int status = net.WriteFile(name.c_str(), qelta::kFormatByName,
                                     qelta::kExtensionLayout);
    if (status != qelta::kOk) ReportNetworkError("WriteFile", status, *log);
  });
}

namespace {

// The network as XML text, with the layout block or without any extension.
jstring WriteString(JNIEnv* env, jobject obj, int extension) {
  VRN_network& net = Net(env, obj);
  VRN_errorLog* log = net.ErrorLog();
  log->Flush();
  std::string text;
  {
    CNumericLocaleGuard locale;
    const int status = net.WriteString(text, extension);
    if (status != qelta::kOk) ReportNetworkError("WriteString", status, *log);
  }
  return NativeToJavaString(env, text);
}

}  // namespace

/*
 * Class:     qelta_Network
 * Method:    writeString
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_writeString(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return WriteString(env, obj, qelta::kExtensionLayout); });
}

/*
 * Class:     qelta_Network
 * Method:    writeMinString
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_writeMinString(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return WriteString(env, obj, qelta::kExtensionNone); });
}

/*
 * Class:     qelta_Network
 * Method:    updateBeliefs
 * Signature: ()V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_updateBeliefs(JNIEnv* env, jobject obj) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    VRN_errorLog* log = net.ErrorLog();
    log->Flush();
    const int status = net.UpdateBeliefs();
    if (status != qelta::kOk) ReportNetworkError("UpdateBeliefs", status, *log);
  });
}

/*
 * Class:     qelta_Network
 * Method:    probEvidence
 * Signature: ()D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_probEvidence(JNIEnv* env, jobject obj) {
  return Guarded(env, [&]() -> jdouble {
    double probability = 0.0;
    // Whatever the cause, a failure is reported as the one code Java knows.
    if (!Net(env, obj).CalcPropEvidence(probability, false)) {
      ReportError("CalcPropEvidence", qelta::kErrOutOfMemory);
    }
    return probability;
  });
}

/*
 * Class:     qelta_Network
 * Method:    annealedMap
 * Signature: ([ILqelta/AnnealedMapTuning;)Lqelta/AnnealedMapResults;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_annealedMap___3ILqelta_AnnealedMapTuning_2(JNIEnv* env, jobject obj, jintArray node_handles, jobject tuning) {
  return Guarded(env, [&] { return AnnealedMap(env, obj, node_handles, tuning); });
}

/*
 * Class:     qelta_Network
 * Method:    annealedMap
 * Signature: ([Ljava/lang/String;Lqelta/AnnealedMapTuning;)Lqelta/AnnealedMapResults;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_annealedMap___3Ljava_lang_String_2Lqelta_AnnealedMapTuning_2(JNIEnv* env, jobject obj, jobjectArray node_ids, jobject tuning) {
  return Guarded(env, [&] {
    qelta::jni::LocalRef<jintArray> handles(
        env, NodeIdsToHandleArray(env, Net(env, obj), node_ids));
    return AnnealedMap(env, obj, handles.get(), tuning);
  });
}

// ================================================================= settings

/*
 * Class:     qelta_Network
 * Method:    getRandSeed
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getRandSeed(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).GetRandSeed(); });
}

/*
 * Class:     qelta_Network
 * Method:    setRandSeed
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setRandSeed(JNIEnv* env, jobject obj, jint seed) {
  Guarded(env, [&] { Net(env, obj).SetRandSeed(seed); });
}

/*
 * Class:     qelta_Network
 * Method:    getSampleCount
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getSampleCount(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).GetNumberOfSamples(); });
}

/*
 * Class:     qelta_Network
 * Method:    setSampleCount
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setSampleCount(JNIEnv* env, jobject obj, jint count) {
  // A count below 1 is refused by the engine and ignored here.
  Guarded(env, [&] { static_cast<void>(Net(env, obj).SetNumberOfSamples(count)); });
}

/*
 * Class:     qelta_Network
 * Method:    getDiscretizationSampleCount
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getDiscretizationSampleCount(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).GetNumberOfDiscretizationSamples(); });
}

/*
 * Class:     qelta_Network
 * Method:    setDiscretizationSampleCount
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDiscretizationSampleCount(JNIEnv* env, jobject obj, jint count) {
  Guarded(env, [&] {
    static_cast<void>(Net(env, obj).SetNumberOfDiscretizationSamples(count));
  });
}

/*
 * Class:     qelta_Network
 * Method:    isZeroAvoidanceEnabled
 * Signature: ()Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isZeroAvoidanceEnabled(JNIEnv* env, jobject obj) {
  return Guarded(env, [&]() -> jboolean { return Net(env, obj).IsZeroAvoidance(); });
}

/*
 * Class:     qelta_Network
 * Method:    setZeroAvoidanceEnabled
 * Signature: (Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setZeroAvoidanceEnabled(JNIEnv* env, jobject obj, jboolean enabled) {
  Guarded(env, [&] { Net(env, obj).SetZeroAvoidance(enabled != JNI_FALSE); });
}

/*
 * Class:     qelta_Network
 * Method:    isOutlierRejectionEnabled
 * Signature: ()Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isOutlierRejectionEnabled(JNIEnv* env, jobject obj) {
  return Guarded(env, [&]() -> jboolean { return Net(env, obj).IsOutlierRejection(); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutlierRejectionEnabled
 * Signature: (Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutlierRejectionEnabled(JNIEnv* env, jobject obj, jboolean enabled) {
  Guarded(env, [&] { Net(env, obj).SetOutlierRejection(enabled != JNI_FALSE); });
}

/*
 * Class:     qelta_Network
 * Method:    isNoisyDecompositionEnabled
 * Signature: ()Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isNoisyDecompositionEnabled(JNIEnv* env, jobject obj) {
  return Guarded(env, [&]() -> jboolean { return Net(env, obj).IsNoisyDecomp(); });
}

/*
 * Class:     qelta_Network
 * Method:    setNoisyDecompositionEnabled
 * Signature: (Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNoisyDecompositionEnabled(JNIEnv* env, jobject obj, jboolean enabled) {
  Guarded(env, [&] { Net(env, obj).SetNoisyDecomp(enabled != JNI_FALSE); });
}

/*
 * Class:     qelta_Network
 * Method:    getNoisyDecompositionLimit
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getNoisyDecompositionLimit(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).GetNoisyDecompLimit(); });
}

/*
 * Class:     qelta_Network
 * Method:    setNoisyDecompositionLimit
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNoisyDecompositionLimit(JNIEnv* env, jobject obj, jint limit) {
  Guarded(env, [&] { Net(env, obj).SetNoisyDecompLimit(limit); });
}

/*
 * Class:     qelta_Network
 * Method:    getBayesianAlgorithm
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getBayesianAlgorithm(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).GetDefaultBNAlgorithm(); });
}

/*
 * Class:     qelta_Network
 * Method:    setBayesianAlgorithm
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setBayesianAlgorithm(JNIEnv* env, jobject obj, jint algorithm) {
  // Codes outside 0..12 leave the setting as it was.
  Guarded(env, [&] { Net(env, obj).SetDefaultBNAlgorithm(algorithm); });
}

/*
 * Class:     qelta_Network
 * Method:    getInfluenceDiagramAlgorithm
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getInfluenceDiagramAlgorithm(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).GetDefaultIDAlgorithm(); });
}

/*
 * Class:     qelta_Network
 * Method:    setInfluenceDiagramAlgorithm
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setInfluenceDiagramAlgorithm(JNIEnv* env, jobject obj, jint algorithm) {
  Guarded(env, [&] { Net(env, obj).SetDefaultIDAlgorithm(algorithm); });
}

/*
 * Class:     qelta_Network
 * Method:    getId
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getId(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return NativeToJavaString(env, Net(env, obj).Header()->GetId()); });
}

/*
 * Class:     qelta_Network
 * Method:    setId
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setId(JNIEnv* env, jobject obj, jstring id) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    const std::string text = ValidateIdentifier(env, id);
    const int status = net.Header()->SetId(text.c_str());
    if (status != qelta::kOk) ReportError("SetId", status);
  });
}

/*
 * Class:     qelta_Network
 * Method:    getName
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getName(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return NativeToJavaString(env, Net(env, obj).Header()->GetName()); });
}

/*
 * Class:     qelta_Network
 * Method:    setName
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setName(JNIEnv* env, jobject obj, jstring name) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    JavaStringToNative text(env, name);
    const int status = net.Header()->SetName(text.c_str());
    if (status != qelta::kOk) ReportError("SetName", status);
  });
}

/*
 * Class:     qelta_Network
 * Method:    getDescription
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getDescription(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return NativeToJavaString(env, Net(env, obj).Header()->GetComment()); });
}

/*
 * Class:     qelta_Network
 * Method:    setDescription
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDescription(JNIEnv* env, jobject obj, jstring description) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    JavaStringToNative text(env, description);
    const int status = net.Header()->SetComment(text.c_str());
    if (status != qelta::kOk) ReportError("SetComment", status);
  });
}

// ==================================================================== nodes

/*
 * Class:     qelta_Network
 * Method:    addNode
 * Signature: (ILjava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_addNode__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint type, jstring id) {
  return Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    // Without an identifier the network makes one.
    const std::string text = id != nullptr ? ValidateIdentifier(env, id) : "";
    const int handle = net.AddNode(type, id != nullptr ? text.c_str() : nullptr);
    if (handle < 0) ReportError("AddNode", handle);
    return handle;
  });
}

/*
 * Class:     qelta_Network
 * Method:    addNode
 * Signature: (I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_addNode__I(JNIEnv* env, jobject obj, jint type) {
  return Guarded(env, [&] {
    const int handle = Net(env, obj).AddNode(type, nullptr);
    if (handle < 0) ReportError("AddNode", handle);
    return handle;
  });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeType
 * Signature: (I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getNodeType__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeType(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeType
 * Signature: (Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getNodeType__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeType(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeType
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeType__II(JNIEnv* env, jobject obj, jint node, jint type) {
  Guarded(env, [&] { SetNodeType(env, obj, node, type); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeType
 * Signature: (Ljava/lang/String;I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeType__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint type) {
  Guarded(env, [&] { SetNodeType(env, obj, Handle(env, obj, node_id), type); });
}

/*
 * Class:     qelta_Network
 * Method:    deleteNode
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteNode__I(JNIEnv* env, jobject obj, jint node) {
  Guarded(env, [&] { DeleteNode(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    deleteNode
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteNode__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  Guarded(env, [&] { DeleteNode(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeCount
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getNodeCount(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).GetNumberOfNodes(); });
}

/*
 * Class:     qelta_Network
 * Method:    getFirstNode
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getFirstNode(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] {
    const int handle = Net(env, obj).GetFirstNode();
    return handle < 0 ? -1 : handle;
  });
}

/*
 * Class:     qelta_Network
 * Method:    getNextNode
 * Signature: (I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getNextNode(JNIEnv* env, jobject obj, jint node) {
  // Not checked: the engine answers negative for a bad handle and at the end.
  return Guarded(env, [&] {
    const int handle = Net(env, obj).GetNextNode(node);
    return handle < 0 ? -1 : handle;
  });
}

/*
 * Class:     qelta_Network
 * Method:    getNode
 * Signature: (Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getNode(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return Handle(env, obj, node_id); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeId
 * Signature: (I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getNodeId(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] {
    return NativeToJavaString(env, ValidateNodeHandle(Net(env, obj), node)->GetId());
  });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeId
 * Signature: (ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeId__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jstring id) {
  Guarded(env, [&] { SetNodeId(env, obj, node, id); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeId
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeId__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jstring id) {
  Guarded(env, [&] { SetNodeId(env, obj, Handle(env, obj, node_id), id); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeName
 * Signature: (I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getNodeName__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeName(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeName
 * Signature: (Ljava/lang/String;)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getNodeName__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeName(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeName
 * Signature: (ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeName__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jstring name) {
  Guarded(env, [&] { SetNodeName(env, obj, node, name); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeName
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeName__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jstring name) {
  Guarded(env, [&] { SetNodeName(env, obj, Handle(env, obj, node_id), name); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeDescription
 * Signature: (I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getNodeDescription__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeDescription(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeDescription
 * Signature: (Ljava/lang/String;)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getNodeDescription__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeDescription(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeDescription
 * Signature: (ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeDescription__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jstring description) {
  Guarded(env, [&] { SetNodeDescription(env, obj, node, description); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeDescription
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeDescription__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jstring description) {
  Guarded(env, [&] { SetNodeDescription(env, obj, Handle(env, obj, node_id), description); });
}

/*
 * Class:     qelta_Network
 * Method:    getAllNodes
 * Signature: ()[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getAllNodes(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] {
    VRN_intArray handles;
    Net(env, obj).GetAllNodes(handles);
    return qelta::jni::NewJavaArray<jint>(
        env, handles.Items(), static_cast<std::size_t>(handles.GetSize()));
  });
}

/*
 * Class:     qelta_Network
 * Method:    getAllNodeIds
 * Signature: ()[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getAllNodeIds(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    VRN_intArray handles;
    net.GetAllNodes(handles);
    return NodeIdsToJava(env, net, handles);
  });
}

// ======================================================= arcs and outcomes

/*
 * Class:     qelta_Network
 * Method:    addArc
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_addArc__II(JNIEnv* env, jobject obj, jint parent, jint child) {
  Guarded(env, [&] {
    AddArcOrThrow(Net(env, obj), parent, child, qelta::kArcLayerOrdinary);
  });
}

/*
 * Class:     qelta_Network
 * Method:    addArc
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_addArc__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring parent_id, jstring child_id) {
  Guarded(env, [&] {
    // The child is resolved first, so it is the one named when both fail.
    const int child = Handle(env, obj, child_id);
    const int parent = Handle(env, obj, parent_id);
    AddArcOrThrow(Net(env, obj), parent, child, qelta::kArcLayerOrdinary);
  });
}

/*
 * Class:     qelta_Network
 * Method:    deleteArc
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteArc__II(JNIEnv* env, jobject obj, jint parent, jint child) {
  Guarded(env, [&] {
    RemoveArcOrThrow(Net(env, obj), parent, child, qelta::kArcLayerOrdinary);
  });
}

/*
 * Class:     qelta_Network
 * Method:    deleteArc
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteArc__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring parent_id, jstring child_id) {
  Guarded(env, [&] {
    const int child = Handle(env, obj, child_id);
    const int parent = Handle(env, obj, parent_id);
    RemoveArcOrThrow(Net(env, obj), parent, child, qelta::kArcLayerOrdinary);
  });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeCount
 * Signature: (I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getOutcomeCount__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetOutcomeCount(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeCount
 * Signature: (Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getOutcomeCount__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetOutcomeCount(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    addOutcome
 * Signature: (ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_addOutcome__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jstring outcome_id) {
  Guarded(env, [&] { AddOutcome(env, obj, node, outcome_id); });
}

/*
 * Class:     qelta_Network
 * Method:    addOutcome
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_addOutcome__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jstring outcome_id) {
  Guarded(env, [&] { AddOutcome(env, obj, Handle(env, obj, node_id), outcome_id); });
}

/*
 * Class:     qelta_Network
 * Method:    insertOutcome
 * Signature: (IILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_insertOutcome__IILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jint position, jstring outcome_id) {
  Guarded(env, [&] { InsertOutcome(env, obj, node, position, outcome_id); });
}

/*
 * Class:     qelta_Network
 * Method:    insertOutcome
 * Signature: (Ljava/lang/String;ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_insertOutcome__Ljava_lang_String_2ILjava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jint position, jstring outcome_id) {
  Guarded(env, [&] { InsertOutcome(env, obj, Handle(env, obj, node_id), position, outcome_id); });
}

/*
 * Class:     qelta_Network
 * Method:    deleteOutcome
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteOutcome__II(JNIEnv* env, jobject obj, jint node, jint outcome) {
  Guarded(env, [&] { DeleteOutcome(env, obj, node, outcome); });
}

/*
 * Class:     qelta_Network
 * Method:    deleteOutcome
 * Signature: (Ljava/lang/String;I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteOutcome__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint outcome) {
  Guarded(env, [&] { DeleteOutcome(env, obj, Handle(env, obj, node_id), outcome); });
}

/*
 * Class:     qelta_Network
 * Method:    deleteOutcome
 * Signature: (ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteOutcome__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jstring outcome_id) {
  Guarded(env, [&] { DeleteOutcomeById(env, obj, node, outcome_id); });
}

/*
 * Class:     qelta_Network
 * Method:    deleteOutcome
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteOutcome__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jstring outcome_id) {
  Guarded(env, [&] { DeleteOutcomeById(env, obj, Handle(env, obj, node_id), outcome_id); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeId
 * Signature: (IILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeId__IILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jint outcome, jstring id) {
  Guarded(env, [&] { SetOutcomeId(env, obj, node, outcome, id); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeId
 * Signature: (Ljava/lang/String;ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeId__Ljava_lang_String_2ILjava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jint outcome, jstring id) {
  Guarded(env, [&] { SetOutcomeId(env, obj, Handle(env, obj, node_id), outcome, id); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomes
 * Signature: (I[Ljava/lang/String;[I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomes__I_3Ljava_lang_String_2_3I(JNIEnv* env, jobject obj, jint node, jobjectArray outcome_ids, jintArray mapping) {
  Guarded(env, [&] { SetOutcomes(env, obj, node, outcome_ids, mapping); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomes
 * Signature: (Ljava/lang/String;[Ljava/lang/String;[I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomes__Ljava_lang_String_2_3Ljava_lang_String_2_3I(JNIEnv* env, jobject obj, jstring node_id, jobjectArray outcome_ids, jintArray mapping) {
  Guarded(env, [&] { SetOutcomes(env, obj, Handle(env, obj, node_id), outcome_ids, mapping); });
}

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
