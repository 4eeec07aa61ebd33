// Bridge of qelta.Network: observation costs. Cost arcs form a second arc
// layer beside the probabilistic one; each node's cost table has one item
// per combination of its cost parents' outcomes and crosses to Java as its
// flat item list.
#include "qelta_Network.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "base/engine_error.h"
#include "base/matrix.h"
#include "base/status.h"
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

void AddCostArc(JNIEnv* env, jobject obj, jint parent, jint child) {
  AddArcOrThrow(Net(env, obj), parent, child, qelta::kArcLayerCost);
}

// The child's identifier is resolved first, so two unknown identifiers
// report the child.
void AddCostArcById(JNIEnv* env, jobject obj, jstring parent_id,
                    jstring child_id) {
  const jint child = Handle(env, obj, child_id);
  AddCostArc(env, obj, Handle(env, obj, parent_id), child);
}

void DeleteCostArc(JNIEnv* env, jobject obj, jint parent, jint child) {
  RemoveArcOrThrow(Net(env, obj), parent, child, qelta::kArcLayerCost);
}

void DeleteCostArcById(JNIEnv* env, jobject obj, jstring parent_id,
                       jstring child_id) {
  const jint child = Handle(env, obj, child_id);
  DeleteCostArc(env, obj, Handle(env, obj, parent_id), child);
}

jintArray HandlesToJava(JNIEnv* env, const VRN_intArray& handles) {
  return qelta::jni::NewJavaArray<jint>(
      env, handles.Items(), static_cast<std::size_t>(handles.GetSize()));
}

jintArray GetCostParents(JNIEnv* env, jobject obj, jint node) {
  return HandlesToJava(env, Node(env, obj, node).GetCostParents());
}

jobjectArray GetCostParentIds(JNIEnv* env, jobject obj, jint node) {
  return NodeIdsToJava(env, Net(env, obj),
                       Node(env, obj, node).GetCostParents());
}

jintArray GetCostChildren(JNIEnv* env, jobject obj, jint node) {
  return HandlesToJava(env, Node(env, obj, node).GetCostChildren());
}

jobjectArray GetCostChildIds(JNIEnv* env, jobject obj, jint node) {
  return NodeIdsToJava(env, Net(env, obj),
                       Node(env, obj, node).GetCostChildren());
}

jdoubleArray GetNodeCost(JNIEnv* env, jobject obj, jint node) {
  const VRN_doubleArray& items = Node(env, obj, node).GetCost().GetItems();
  return qelta::jni::NewJavaArray<jdouble>(
      env, items.Items(), static_cast<std::size_t>(items.GetSize()));
}

void SetNodeCost(JNIEnv* env, jobject obj, jint node, jdoubleArray costs) {
  VRN_node& target = Node(env, obj, node);
  const std::vector<jdouble> values =
      qelta::jni::CopyFromJava<jdouble>(env, costs);
  const int expected = target.GetCost().GetItemCount();
  if (static_cast<std::size_t>(expected) != values.size()) {
    throw std::invalid_argument(
        "Invalid cost array size for node '" + qelta::jni::IdOf(target) +
        "': expected " + std::to_string(expected) + " and got " +
        std::to_string(values.size()));
  }
  const int status =
      target.SetCostArray(std::vector<double>(values.begin(), values.end()));
  if (status == qelta::kErrInvalidValue) {
    ReportErrorWithMessage("SetCost", status,
                           "Costs of node '" + qelta::jni::IdOf(target) +
                               "' must be finite numbers");
  }
  if (status != qelta::kOk) ReportError("SetCost", status);
}

}  // namespace

/*
 * Class:     qelta_Network
 * Method:    addCostArc
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_addCostArc__II(JNIEnv* env, jobject obj, jint a0, jint a1) {
  Guarded(env, [&] { AddCostArc(env, obj, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    addCostArc
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_addCostArc__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jstring a1) {
  Guarded(env, [&] { AddCostArcById(env, obj, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    deleteCostArc
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteCostArc__II(JNIEnv* env, jobject obj, jint a0, jint a1) {
  Guarded(env, [&] { DeleteCostArc(env, obj, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    deleteCostArc
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteCostArc__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jstring a1) {
  Guarded(env, [&] { DeleteCostArcById(env, obj, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    getCostParents
 * Signature: (I)[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getCostParents__I(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return GetCostParents(env, obj, a0); });
}

/*
 * Class:     qelta_Network
 * Method:    getCostParents
 * Signature: (Ljava/lang/String;)[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getCostParents__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0) {
  return Guarded(env, [&] { return GetCostParents(env, obj, Handle(env, obj, a0)); });
}

/*
 * Class:     qelta_Network
 * Method:    getCostParentIds
 * Signature: (I)[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getCostParentIds__I(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return GetCostParentIds(env, obj, a0); });
}

/*
 * Class:     qelta_Network
 * Method:    getCostParentIds
 * Signature: (Ljava/lang/String;)[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getCostParentIds__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0) {
  return Guarded(env, [&] { return GetCostParentIds(env, obj, Handle(env, obj, a0)); });
}

/*
 * Class:     qelta_Network
 * Method:    getCostChildren
 * Signature: (I)[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getCostChildren__I(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return GetCostChildren(env, obj, a0); });
}

/*
 * Class:     qelta_Network
 * Method:    getCostChildren
 * Signature: (Ljava/lang/String;)[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_Network_getCostChildren__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0) {
  return Guarded(env, [&] { return GetCostChildren(env, obj, Handle(env, obj, a0)); });
}

/*
 * Class:     qelta_Network
 * Method:    getCostChildIds
 * Signature: (I)[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getCostChildIds__I(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return GetCostChildIds(env, obj, a0); });
}

/*
 * Class:     qelta_Network
 * Method:    getCostChildIds
 * Signature: (Ljava/lang/String;)[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getCostChildIds__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0) {
  return Guarded(env, [&] { return GetCostChildIds(env, obj, Handle(env, obj, a0)); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeCost
 * Signature: (I)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNodeCost__I(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return GetNodeCost(env, obj, a0); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeCost
 * Signature: (Ljava/lang/String;)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNodeCost__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0) {
  return Guarded(env, [&] { return GetNodeCost(env, obj, Handle(env, obj, a0)); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeCost
 * Signature: (I[D)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeCost__I_3D(JNIEnv* env, jobject obj, jint a0, jdoubleArray a1) {
  Guarded(env, [&] { SetNodeCost(env, obj, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeCost
 * Signature: (Ljava/lang/String;[D)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeCost__Ljava_lang_String_2_3D(JNIEnv* env, jobject obj, jstring a0, jdoubleArray a1) {
  Guarded(env, [&] { SetNodeCost(env, obj, Handle(env, obj, a0), a1); });
}
