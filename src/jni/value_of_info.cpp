// Bridge of qelta.ValueOfInfo: the value-of-information object behind the
// Java object, its node lists, decision and point of view, and its results.
//
// The native object keeps a plain pointer to its network. Every export that
// reaches the network first takes it from the Java object's field `net`
// through the handle table, so a network closed meanwhile is refused like
// any closed object and stays alive for the length of the call.
#include "qelta_ValueOfInfo.h"

#include <stdexcept>
#include <string>

#include "base/engine_error.h"
#include "base/status.h"
#include "inference/value_of_info.h"
#include "jni/checks.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "network/node.h"

using qelta::jni::Guarded;
using qelta::jni::NewJavaArray;

namespace {

// The object; its network's log explains the call's failures.
VRN_valueOfInfo& Voi(JNIEnv* env, jobject obj) {
  VRN_valueOfInfo* voi = qelta::jni::GetNative<VRN_valueOfInfo>(env, obj);
  qelta::CallLogScope::Use(voi->GetNetwork()->ErrorLog());
  return *voi;
}

// The live network of the field `net`; fails for a closed one.
VRN_network& FieldNet(JNIEnv* env, jobject obj) {
  qelta::jni::LocalRef<jobject> net(
      env, qelta::jni::GetObjectFieldByName(env, obj, "net", "Lqelta/Network;"));
  qelta::jni::CheckJava(env);
  return qelta::jni::Net(env, net.get());
}

// Runs op(handle) on the object and turns a refusal into the message start
// + node identifier + end.
template <typename Op>
void NodeOperation(JNIEnv* env, jobject obj, jint node, const char* start,
                   const char* end, Op op) {
  VRN_network& net = FieldNet(env, obj);
  const VRN_node* checked = ValidateNodeHandle(net, node);
  VRN_valueOfInfo& voi = Voi(env, obj);
  if (op(voi, node) != qelta::kOk) {
    throw std::runtime_error(start + qelta::jni::IdOf(*checked) + end);
  }
}

int ResolveId(JNIEnv* env, jobject obj, jstring node_id) {
  return NodeIdToHandle(env, FieldNet(env, obj), node_id);
}

jintArray Handles(JNIEnv* env, const VRN_intArray& list) {
  return NewJavaArray<jint>(env, list.Items(), list.GetSize());
}

jobjectArray Ids(JNIEnv* env, jobject obj, const VRN_intArray& list) {
  return NodeIdsToJava(env, FieldNet(env, obj), list);
}

// The identifier of a stored handle; null when it names no live node.
jstring IdOrNull(JNIEnv* env, jobject obj, int handle) {
  const VRN_network& net = FieldNet(env, obj);
  const VRN_node* node = net.GetNode(handle);
  if (node == nullptr) return nullptr;
  return NativeToJavaString(env, qelta::jni::IdOf(*node));
}

void AddNode(JNIEnv* env, jobject obj, jint node) {
  NodeOperation(env, obj, node, "Cannot add node ", " to ValueOfInfo object",
                [](VRN_valueOfInfo& v, int h) { return v.AddNode(h); });
}

void RemoveNode(JNIEnv* env, jobject obj, jint node) {
  NodeOperation(env, obj, node, "Cannot remove node ",
                " to ValueOfInfo object",
                [](VRN_valueOfInfo& v, int h) { return v.RemoveNode(h); });
}

void SetDecision(JNIEnv* env, jobject obj, jint node) {
  NodeOperation(env, obj, node,
                "Cannot set decision on ValueOfInfo object to node ", "",
                [](VRN_valueOfInfo& v, int h) { return v.SetDecision(h); });
}

void SetPointOfView(JNIEnv* env, jobject obj, jint node) {
  NodeOperation(env, obj, node,
                "Cannot set point of view on ValueOfInfo object to node ", "",
                [](VRN_valueOfInfo& v, int h) { return v.SetPointOfView(h); });
}

}  // namespace

/*
 * Class:     qelta_ValueOfInfo
 * Method:    createNative
 * Signature: (Ljava/lang/Object;)J
 */
extern "C" JNIEXPORT jlong JNICALL Java_qelta_ValueOfInfo_createNative(JNIEnv* env, jobject, jobject net) {
  return Guarded(env, [&] {
    VRN_network& network = qelta::jni::Net(env, net);
    return qelta::jni::ToHandle(new VRN_valueOfInfo(&network));
  });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    deleteNative
 * Signature: (J)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_ValueOfInfo_deleteNative(JNIEnv* env, jclass, jlong handle) {
  Guarded(env, [&] { qelta::jni::ReleaseHandle(handle); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    update
 * Signature: ()V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_ValueOfInfo_update(JNIEnv* env, jobject obj) {
  Guarded(env, [&] {
    (void)FieldNet(env, obj);
    const int status = Voi(env, obj).Update();
    if (status != qelta::kOk) ReportError("Update", status);
  });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    addNode
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_ValueOfInfo_addNode__I(JNIEnv* env, jobject obj, jint node) {
  Guarded(env, [&] { AddNode(env, obj, node); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    addNode
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_ValueOfInfo_addNode__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node) {
  Guarded(env, [&] { AddNode(env, obj, ResolveId(env, obj, node)); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    removeNode
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_ValueOfInfo_removeNode__I(JNIEnv* env, jobject obj, jint node) {
  Guarded(env, [&] { RemoveNode(env, obj, node); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    removeNode
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_ValueOfInfo_removeNode__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node) {
  Guarded(env, [&] { RemoveNode(env, obj, ResolveId(env, obj, node)); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    getAllNodes
 * Signature: ()[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_ValueOfInfo_getAllNodes(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Handles(env, Voi(env, obj).GetNodes()); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    getAllNodeIds
 * Signature: ()[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_ValueOfInfo_getAllNodeIds(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Ids(env, obj, Voi(env, obj).GetNodes()); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    setDecision
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_ValueOfInfo_setDecision__I(JNIEnv* env, jobject obj, jint node) {
  Guarded(env, [&] { SetDecision(env, obj, node); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    setDecision
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_ValueOfInfo_setDecision__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node) {
  Guarded(env, [&] { SetDecision(env, obj, ResolveId(env, obj, node)); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    getDecision
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_ValueOfInfo_getDecision(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Voi(env, obj).GetDecision()); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    getDecisionId
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_ValueOfInfo_getDecisionId(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return IdOrNull(env, obj, Voi(env, obj).GetDecision()); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    getAllDecisions
 * Signature: ()[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_ValueOfInfo_getAllDecisions(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Handles(env, Voi(env, obj).GetDecisions()); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    getAllDecisionIds
 * Signature: ()[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_ValueOfInfo_getAllDecisionIds(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Ids(env, obj, Voi(env, obj).GetDecisions()); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    getAllActions
 * Signature: ()[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_ValueOfInfo_getAllActions(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Handles(env, Voi(env, obj).GetOrderedNodes()); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    getAllActionIds
 * Signature: ()[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_ValueOfInfo_getAllActionIds(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Ids(env, obj, Voi(env, obj).GetOrderedNodes()); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    setPointOfView
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_ValueOfInfo_setPointOfView__I(JNIEnv* env, jobject obj, jint node) {
  Guarded(env, [&] { SetPointOfView(env, obj, node); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    setPointOfView
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_ValueOfInfo_setPointOfView__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node) {
  Guarded(env, [&] { SetPointOfView(env, obj, ResolveId(env, obj, node)); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    getPointOfView
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_ValueOfInfo_getPointOfView(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Voi(env, obj).GetPointOfView()); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    getPointOfViewId
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_ValueOfInfo_getPointOfViewId(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return IdOrNull(env, obj, Voi(env, obj).GetPointOfView()); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    getIndexingNodes
 * Signature: ()[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_ValueOfInfo_getIndexingNodes(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Handles(env, Voi(env, obj).GetIndexingNodes()); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    getIndexingNodeIds
 * Signature: ()[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_ValueOfInfo_getIndexingNodeIds(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Ids(env, obj, Voi(env, obj).GetIndexingNodes()); });
}

/*
 * Class:     qelta_ValueOfInfo
 * Method:    getValues
 * Signature: ()[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_ValueOfInfo_getValues(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] {
    const VRN_matrix& values = Voi(env, obj).GetValues();
    return NewJavaArray<jdouble>(env, values.GetItems().Items(),
                                 values.GetItemCount());
  });
}
