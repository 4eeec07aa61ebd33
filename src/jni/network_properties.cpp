// Bridge of qelta.Network: user properties of the network and of its nodes,
// documentation of nodes and of outcomes. A list is replaced only when the
// whole Java array has been accepted, so a refused element keeps the old
// list; a null array empties it.
#include "qelta_Network.h"

#include "base/engine_error.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "jni/checks.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "network/network.h"
#include "network/node.h"

using qelta::jni::Guarded;
using qelta::jni::Handle;
using qelta::jni::Net;

namespace {

VRN_node& Node(JNIEnv* env, jobject obj, jint node) {
  return *ValidateNodeHandle(Net(env, obj), node);
}

jobjectArray GetNodeUserProperties(JNIEnv* env, jobject obj, jint node) {
  return UserPropertiesToJava(env, Node(env, obj, node).UserProperties());
}

void SetNodeUserProperties(JNIEnv* env, jobject obj, jint node,
                           jobjectArray properties) {
  UserPropertiesFromJava(env, properties,
                         &Node(env, obj, node).UserProperties());
}

jobjectArray GetNodeDocumentation(JNIEnv* env, jobject obj, jint node) {
  return DocItemsToJava(env, Node(env, obj, node).Documentation());
}

void SetNodeDocumentation(JNIEnv* env, jobject obj, jint node,
                          jobjectArray items) {
  VRN_node& target = Node(env, obj, node);
  VRN_documentation fresh;
  DocItemsFromJava(env, items, &fresh);
  target.Documentation() = fresh;
}

// The node's discrete definition, after the checks of
// GetDiscreteDefForOutcome. Every definition with two or more outcomes is
// discrete; anything else is the wrong kind of node for the operation.
VRN_discDef& OutcomeDef(JNIEnv* env, jobject obj, jint node, jint outcome,
                        const char* operation) {
  auto* definition = dynamic_cast<VRN_discDef*>(
      GetDiscreteDefForOutcome(Net(env, obj), node, outcome));
  if (definition == nullptr) ReportError(operation, qelta::kErrWrongNodeType);
  return *definition;
}

jint Outcome(JNIEnv* env, jobject obj, jint node, jstring outcome_id) {
  return OutcomeIdToIndex(env, Net(env, obj), node, outcome_id);
}

jobjectArray GetOutcomeDocumentation(JNIEnv* env, jobject obj, jint node,
                                     jint outcome) {
  const VRN_documentation* items =
      OutcomeDef(env, obj, node, outcome, "GetOutcomeDocumentation")
          .GetOutcomeDocumentation(outcome);
  if (items == nullptr) return DocItemsToJava(env, VRN_documentation());
  return DocItemsToJava(env, *items);
}

jobjectArray GetOutcomeDocumentationById(JNIEnv* env, jobject obj, jint node,
                                         jstring outcome_id) {
  return GetOutcomeDocumentation(env, obj, node,
                                 Outcome(env, obj, node, outcome_id));
}

void SetOutcomeDocumentation(JNIEnv* env, jobject obj, jint node,
                             jint outcome, jobjectArray items) {
  VRN_discDef& definition =
      OutcomeDef(env, obj, node, outcome, "SetOutcomeDocumentation");
  VRN_documentation fresh;
  DocItemsFromJava(env, items, &fresh);
  // Fails only for an outcome index outside the definition, checked above.
  static_cast<void>(definition.SetOutcomeDocumentation(outcome, fresh));
}

void SetOutcomeDocumentationById(JNIEnv* env, jobject obj, jint node,
                                 jstring outcome_id, jobjectArray items) {
  SetOutcomeDocumentation(env, obj, node, Outcome(env, obj, node, outcome_id),
                          items);
}

}  // namespace

/*
 * Class:     qelta_Network
 * Method:    getUserProperties
 * Signature: ()[Lqelta/UserProperty;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getUserProperties(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return UserPropertiesToJava(env, Net(env, obj).UserProperties()); });
}

/*
 * Class:     qelta_Network
 * Method:    setUserProperties
 * Signature: ([Lqelta/UserProperty;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setUserProperties(JNIEnv* env, jobject obj, jobjectArray properties) {
  Guarded(env, [&] { UserPropertiesFromJava(env, properties, &Net(env, obj).UserProperties()); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeUserProperties
 * Signature: (I)[Lqelta/UserProperty;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getNodeUserProperties__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeUserProperties(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeUserProperties
 * Signature: (Ljava/lang/String;)[Lqelta/UserProperty;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getNodeUserProperties__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeUserProperties(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeUserProperties
 * Signature: (I[Lqelta/UserProperty;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeUserProperties__I_3Lqelta_UserProperty_2(JNIEnv* env, jobject obj, jint node, jobjectArray properties) {
  Guarded(env, [&] { SetNodeUserProperties(env, obj, node, properties); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeUserProperties
 * Signature: (Ljava/lang/String;[Lqelta/UserProperty;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeUserProperties__Ljava_lang_String_2_3Lqelta_UserProperty_2(JNIEnv* env, jobject obj, jstring node_id, jobjectArray properties) {
  Guarded(env, [&] { SetNodeUserProperties(env, obj, Handle(env, obj, node_id), properties); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeDocumentation
 * Signature: (I)[Lqelta/DocItemInfo;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getNodeDocumentation__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeDocumentation(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeDocumentation
 * Signature: (Ljava/lang/String;)[Lqelta/DocItemInfo;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getNodeDocumentation__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeDocumentation(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeDocumentation
 * Signature: (I[Lqelta/DocItemInfo;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeDocumentation__I_3Lqelta_DocItemInfo_2(JNIEnv* env, jobject obj, jint node, jobjectArray items) {
  Guarded(env, [&] { SetNodeDocumentation(env, obj, node, items); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeDocumentation
 * Signature: (Ljava/lang/String;[Lqelta/DocItemInfo;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeDocumentation__Ljava_lang_String_2_3Lqelta_DocItemInfo_2(JNIEnv* env, jobject obj, jstring node_id, jobjectArray items) {
  Guarded(env, [&] { SetNodeDocumentation(env, obj, Handle(env, obj, node_id), items); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeDocumentation
 * Signature: (II)[Lqelta/DocItemInfo;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getOutcomeDocumentation__II(JNIEnv* env, jobject obj, jint node, jint outcome) {
  return Guarded(env, [&] { return GetOutcomeDocumentation(env, obj, node, outcome); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeDocumentation
 * Signature: (Ljava/lang/String;I)[Lqelta/DocItemInfo;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getOutcomeDocumentation__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint outcome) {
  return Guarded(env, [&] { return GetOutcomeDocumentation(env, obj, Handle(env, obj, node_id), outcome); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeDocumentation
 * Signature: (ILjava/lang/String;)[Lqelta/DocItemInfo;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getOutcomeDocumentation__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jstring outcome_id) {
  return Guarded(env, [&] { return GetOutcomeDocumentationById(env, obj, node, outcome_id); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeDocumentation
 * Signature: (Ljava/lang/String;Ljava/lang/String;)[Lqelta/DocItemInfo;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getOutcomeDocumentation__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jstring outcome_id) {
  return Guarded(env, [&] { return GetOutcomeDocumentationById(env, obj, Handle(env, obj, node_id), outcome_id); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeDocumentation
 * Signature: (II[Lqelta/DocItemInfo;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeDocumentation__II_3Lqelta_DocItemInfo_2(JNIEnv* env, jobject obj, jint node, jint outcome, jobjectArray items) {
  Guarded(env, [&] { SetOutcomeDocumentation(env, obj, node, outcome, items); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeDocumentation
 * Signature: (Ljava/lang/String;I[Lqelta/DocItemInfo;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeDocumentation__Ljava_lang_String_2I_3Lqelta_DocItemInfo_2(JNIEnv* env, jobject obj, jstring node_id, jint outcome, jobjectArray items) {
  Guarded(env, [&] { SetOutcomeDocumentation(env, obj, Handle(env, obj, node_id), outcome, items); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeDocumentation
 * Signature: (ILjava/lang/String;[Lqelta/DocItemInfo;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeDocumentation__ILjava_lang_String_2_3Lqelta_DocItemInfo_2(JNIEnv* env, jobject obj, jint node, jstring outcome_id, jobjectArray items) {
  Guarded(env, [&] { SetOutcomeDocumentationById(env, obj, node, outcome_id, items); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeDocumentation
 * Signature: (Ljava/lang/String;Ljava/lang/String;[Lqelta/DocItemInfo;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeDocumentation__Ljava_lang_String_2Ljava_lang_String_2_3Lqelta_DocItemInfo_2(JNIEnv* env, jobject obj, jstring node_id, jstring outcome_id, jobjectArray items) {
  Guarded(env, [&] { SetOutcomeDocumentationById(env, obj, Handle(env, obj, node_id), outcome_id, items); });
}

