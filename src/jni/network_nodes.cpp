// Bridge of qelta.Network: nodes, arcs and outcomes.
#include "qelta_Network.h"

#include <stdexcept>
#include <cstring>
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
#include "jni/codes.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "network/network.h"
#include "network/node.h"

using qelta::jni::Guarded;
using qelta::jni::Handle;
using qelta::jni::LogReasonIfSilent;
using qelta::jni::Net;

namespace {

// ------------------------------------------------------------------ nodes

jint GetNodeType(JNIEnv* env, jobject obj, jint node) {
  return ValidateNodeHandle(Net(env, obj), node)->Definition()->GetType();
}

void SetNodeType(JNIEnv* env, jobject obj, jint node, jint type) {
  VRN_network& net = Net(env, obj);
  VRN_node* record = ValidateNodeHandle(net, node);
  qelta::jni::ValidateCode(qelta::jni::kNodeTypes, "type", type);
  net.ErrorLog()->Flush();
  const int status = record->setNodeType(type);
  if (status != qelta::kOk) {
    ReportNetworkError("setNodeType", status, *net.ErrorLog());
  }
}

void DeleteNode(JNIEnv* env, jobject obj, jint node) {
  VRN_network& net = Net(env, obj);
  ValidateNodeHandle(net, node);
  // Fails only for a bad handle, which the check has excluded.
  static_cast<void>(net.DeleteNode(node));
}

void SetNodeId(JNIEnv* env, jobject obj, jint node, jstring id) {
  VRN_network& net = Net(env, obj);
  VRN_node* target = ValidateNodeHandle(net, node);
  const std::string text = ValidateIdentifier(env, id, "Node identifier");
  // A refused rename (an identifier in use elsewhere) must not look like
  // success to the caller.
  const int status = target->Header().SetId(text.c_str());
  if (status != qelta::kOk) {
    qelta::jni::LogIdentifierInUse(net, status, text);
    ReportError("SetId", status);
  }
}

jstring GetNodeName(JNIEnv* env, jobject obj, jint node) {
  return NativeToJavaString(
      env, ValidateNodeHandle(Net(env, obj), node)->Header().GetName());
}

void SetNodeName(JNIEnv* env, jobject obj, jint node, jstring name) {
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  JavaStringToNative text(env, name, "Node name");
  target->Header().SetName(text.c_str());
}

jstring GetNodeDescription(JNIEnv* env, jobject obj, jint node) {
  return NativeToJavaString(
      env, ValidateNodeHandle(Net(env, obj), node)->Header().GetComment());
}

void SetNodeDescription(JNIEnv* env, jobject obj, jint node,
                        jstring description) {
  VRN_node* target = ValidateNodeHandle(Net(env, obj), node);
  JavaStringToNative text(env, description, "Node description");
  target->Header().SetComment(text.c_str());
}

// ------------------------------------------------------- arcs and outcomes

jint GetOutcomeCount(JNIEnv* env, jobject obj, jint node) {
  // Definitions without outcomes answer -51, which Java receives as it is.
  return ValidateNodeHandle(Net(env, obj), node)
      ->Definition()
      ->GetNumberOfOutcomes();
}

// Outcome edits log why they refuse an id or a position; the message goes
// with the error. The refusals they answer with a bare status are explained
// here; id is the outcome identifier given, when there is one.
void ReportOutcomeEdit(VRN_network& net, const VRN_node& node,
                       const char* operation, int status,
                       const char* id = nullptr) {
  if (status == qelta::kOk) return;
  const VRN_nodeDef& def = *node.Definition();
  const auto* discrete = dynamic_cast<const VRN_discDef*>(&def);
  if (status == qelta::kErrWrongNodeType && discrete == nullptr) {
    LogReasonIfSilent(net, status, "Node [%s] (%s) has no outcomes", node.GetId(),
                      qelta::jni::NodeTypeName(node).c_str());
  } else if (status == qelta::kErrWrongNodeType && discrete->AreOutcomesFixed()) {
    LogReasonIfSilent(net, status, "The outcomes of node [%s] (%s) are fixed", node.GetId(),
                      qelta::jni::NodeTypeName(node).c_str());
  } else if (status == qelta::kErrOutOfRange && id != nullptr && !VRN_IsValidId(id)) {
    LogReasonIfSilent(net, status,
                      "Outcome identifier '%s' is invalid - it should start with a letter and "
                      "contain only letters, digits and underscores", id);
  } else if (status == qelta::kErrOutOfRange &&
             std::strcmp(operation, "RemoveOutcome") == 0 &&
             def.GetNumberOfOutcomes() <= 2) {
    LogReasonIfSilent(net, status,
                      "Node [%s] keeps at least two outcomes; add one before "
                      "deleting this one", node.GetId());
  }
  ReportNetworkError(operation, status, *net.ErrorLog());
}

void AddOutcome(JNIEnv* env, jobject obj, jint node, jstring outcome_id) {
  VRN_network& net = Net(env, obj);
  VRN_node* target = ValidateNodeHandle(net, node);
  JavaStringToNative id(env, outcome_id, "Outcome identifier");
  net.ErrorLog()->Flush();
  ReportOutcomeEdit(net, *target, "AddOutcome",
                    target->Definition()->AddOutcome(id.c_str()), id.c_str());
}

void InsertOutcome(JNIEnv* env, jobject obj, jint node, jint position,
                   jstring outcome_id) {
  VRN_network& net = Net(env, obj);
  VRN_node* target = ValidateNodeHandle(net, node);
  JavaStringToNative id(env, outcome_id, "Outcome identifier");
  net.ErrorLog()->Flush();
  ReportOutcomeEdit(net, *target, "InsertOutcome",
                    target->Definition()->InsertOutcome(position, id.c_str()), id.c_str());
}

void DeleteOutcome(JNIEnv* env, jobject obj, jint node, jint outcome) {
  VRN_network& net = Net(env, obj);
  VRN_node* target = ValidateOutcomeIndex(net, node, outcome);
  // A refusal names the equation whose literal the outcome is.
  net.ErrorLog()->Flush();
  ReportOutcomeEdit(net, *target, "RemoveOutcome",
                    target->Definition()->RemoveOutcome(outcome));
}

void DeleteOutcomeById(JNIEnv* env, jobject obj, jint node,
                       jstring outcome_id) {
  DeleteOutcome(env, obj, node,
                OutcomeIdToIndex(env, Net(env, obj), node, outcome_id));
}

void SetOutcomeId(JNIEnv* env, jobject obj, jint node, jint outcome,
                  jstring outcome_id) {
  VRN_network& net = Net(env, obj);
  VRN_node* target = ValidateOutcomeIndex(net, node, outcome);
  JavaStringToNative id(env, outcome_id, "Outcome identifier");
  net.ErrorLog()->Flush();
  ReportOutcomeEdit(net, *target, "RenameOutcome",
                    target->Definition()->RenameOutcome(outcome, id.c_str()), id.c_str());
}

void SetOutcomes(JNIEnv* env, jobject obj, jint node, jobjectArray outcome_ids,
                 jintArray mapping) {
  VRN_network& net = Net(env, obj);
  VRN_node* target = ValidateNodeHandle(net, node);
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
        ValidateIdentifier(env, static_cast<jstring>(element.get()), "Outcome identifier");
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
  net.ErrorLog()->Flush();
  ReportOutcomeEdit(
      net, *target, "ChangeOrderOfOutcomesWithAddAndRemove",
      target->Definition()->ChangeOrderOfOutcomesWithAddAndRemove(ids, order));
}

}  // namespace

// ==================================================================== nodes

/*
 * Class:     qelta_Network
 * Method:    addNode
 * Signature: (ILjava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_addNode__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint type, jstring id) {
  return Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    qelta::jni::ValidateCode(qelta::jni::kNodeTypes, "type", type);
    // Without an identifier the network makes one.
    const std::string text = id != nullptr ? ValidateIdentifier(env, id, "Node identifier") : "";
    const int handle = net.AddNode(type, id != nullptr ? text.c_str() : nullptr);
    if (handle < 0) {
      if (id != nullptr) qelta::jni::LogIdentifierInUse(net, handle, text);
      ReportError("AddNode", handle);
    }
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
    VRN_network& net = Net(env, obj);
    qelta::jni::ValidateCode(qelta::jni::kNodeTypes, "type", type);
    const int handle = net.AddNode(type, nullptr);
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

