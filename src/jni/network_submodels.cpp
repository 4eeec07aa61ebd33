// Bridge of qelta.Network: the tree of submodels (walking, creating,
// deleting, naming, re-parenting, placing) and the submodel of each node.
//
// Submodel handles cross to Java as the table answers them (slot index with
// bit 0x8000); a bare slot index given by Java names the same submodel, and
// a node keeps its submodel handle exactly as Java stored it.
#include "qelta_Network.h"

#include <string>

#include "base/engine_error.h"
#include "base/error_log.h"
#include "base/status.h"
#include "base/strings.h"
#include "jni/checks.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "jni/network_geometry.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

using qelta::jni::CentreOf;
using qelta::jni::Guarded;
using qelta::jni::Handle;
using qelta::jni::Net;

namespace {

// The submodel record behind a handle, checked.
VRN_submodel& Record(JNIEnv* env, jobject obj, jint submodel) {
  return *ValidateSubmodelHandle(Net(env, obj), submodel);
}

// The handle of the submodel named by a Java identifier.
jint Sub(JNIEnv* env, jobject obj, jstring id) {
  return SubmodelIdToHandle(env, Net(env, obj), id);
}

jstring GetMainSubmodelId(JNIEnv* env, jobject obj) {
  const VRN_network& net = Net(env, obj);
  const int main = FindMainSubmodel(net);
  return NativeToJavaString(
      env, net.Submodels()->GetSubmodel(main)->Header().GetId());
}

jint GetNextSubmodel(JNIEnv* env, jobject obj, jint submodel) {
  const int next = Net(env, obj).Submodels()->GetNextSubmodel(submodel);
  return next < 0 ? -1 : next;
}

jint AddSubmodel(JNIEnv* env, jobject obj, jint parent, jstring id) {
  VRN_network& net = Net(env, obj);
  const std::string text = ValidateIdentifier(env, id, "Submodel identifier");
  // The table logs why it has no slot left; its other refusals log nothing.
  net.ErrorLog()->Flush();
  const int handle = net.Submodels()->CreateSubmodel(parent, text.c_str());
  if (handle < 0) {
    if (net.Submodels()->GetSubmodel(parent) == nullptr) {
      qelta::jni::LogReasonIfSilent(net, handle, "No submodel has handle %d", parent);
    }
    qelta::jni::LogIdentifierInUse(net, handle, text);
    ReportNetworkError("CreateSubmodel", handle, *net.ErrorLog());
  }
  return handle;
}

void DeleteSubmodel(JNIEnv* env, jobject obj, jint submodel) {
  VRN_network& net = Net(env, obj);
  ValidateSubmodelHandle(net, submodel);
  // The table logs why it refuses.
  const int status = net.Submodels()->DeleteSubmodel(submodel);
  if (status != qelta::kOk) ReportError("DeleteSubmodel", status);
}

void SetSubmodelId(JNIEnv* env, jobject obj, jint submodel, jstring id) {
  VRN_network& net = Net(env, obj);
  VRN_submodel* record = ValidateSubmodelHandle(net, submodel);
  const std::string text = ValidateIdentifier(env, id, "Submodel identifier");
  // Nodes and submodels share one namespace; a clash would give a file
  // that cannot be read back.
  int status = net.Submodels()->CheckNewId(submodel, text.c_str());
  if (status == qelta::kOk) status = record->Header().SetId(text.c_str());
  if (status != qelta::kOk) {
    qelta::jni::LogIdentifierInUse(net, status, text);
    ReportError("SetId", status);
  }
}

void SetSubmodelName(JNIEnv* env, jobject obj, jint submodel, jstring name) {
  VRN_submodel& record = Record(env, obj, submodel);
  JavaStringToNative text(env, name, "Submodel name");
  const int status = record.Header().SetName(text.c_str());
  if (status != qelta::kOk) ReportError("SetName", status);
}

void SetSubmodelDescription(JNIEnv* env, jobject obj, jint submodel,
                            jstring description) {
  VRN_submodel& record = Record(env, obj, submodel);
  JavaStringToNative text(env, description, "Submodel description");
  const int status = record.Header().SetComment(text.c_str());
  if (status != qelta::kOk) ReportError("SetComment", status);
}

// REQUIRES: node has been checked (the node is checked before the
// submodel).
void MoveNode(VRN_network& net, VRN_node* node, jint submodel) {
  ValidateSubmodelHandle(net, submodel);
  const int status = node->SetSubmodel(submodel);
  if (status != qelta::kOk) ReportError("SetSubmodel", status);
}

void SetSubmodelOfNode(JNIEnv* env, jobject obj, jint submodel, jint node) {
  VRN_network& net = Net(env, obj);
  MoveNode(net, ValidateNodeHandle(net, node), submodel);
}

void SetSubmodelOfNodeById(JNIEnv* env, jobject obj, jstring submodel_id,
                           jstring node_id) {
  VRN_network& net = Net(env, obj);
  VRN_node* node = ValidateNodeHandle(net, NodeIdToHandle(env, net, node_id));
  MoveNode(net, node, SubmodelIdToHandle(env, net, submodel_id));
}

// REQUIRES: submodel has been checked (it is checked before the parent).
void MoveSubmodel(VRN_network& net, jint parent, jint submodel) {
  ValidateSubmodelHandle(net, parent);
  const int status = net.Submodels()->SetSubmodel(submodel, parent);
  if (status != qelta::kOk) {
    if (submodel == qelta::kMainSubmodel) {
      qelta::jni::LogReasonIfSilent(net, status, "The main submodel lies within no other");
    } else if (status == qelta::kErrOutOfRange && parent == submodel) {
      qelta::jni::LogReasonIfSilent(net, status, "Submodel [%s] cannot lie within itself",
                                    net.Submodels()->GetSubmodel(submodel)->Header().GetId());
    } else if (status == qelta::kErrOutOfRange) {
      qelta::jni::LogReasonIfSilent(
          net, status, "Submodel [%s] cannot move into submodel [%s], which lies within it",
          net.Submodels()->GetSubmodel(submodel)->Header().GetId(),
          net.Submodels()->GetSubmodel(parent)->Header().GetId());
    }
    ReportError("SetSubmodel", status);
  }
}

void SetSubmodelOfSubmodel(JNIEnv* env, jobject obj, jint parent,
                           jint submodel) {
  VRN_network& net = Net(env, obj);
  ValidateSubmodelHandle(net, submodel);
  MoveSubmodel(net, parent, submodel);
}

void SetSubmodelOfSubmodelById(JNIEnv* env, jobject obj, jstring parent_id,
                               jstring submodel_id) {
  VRN_network& net = Net(env, obj);
  const int submodel = SubmodelIdToHandle(env, net, submodel_id);
  MoveSubmodel(net, SubmodelIdToHandle(env, net, parent_id), submodel);
}

jint GetSubmodelOfSubmodel(JNIEnv* env, jobject obj, jint submodel) {
  VRN_network& net = Net(env, obj);
  ValidateSubmodelHandle(net, submodel);
  return net.Submodels()->GetParent(submodel);
}

jobject GetSubmodelPosition(JNIEnv* env, jobject obj, jint submodel) {
  const VRN_screenInfo& info = Record(env, obj, submodel).ScreenInfo();
  return RectangleToJava(env, info.x, info.y, info.width, info.height);
}

void SetSubmodelPosition(JNIEnv* env, jobject obj, jint submodel, jint x,
                         jint y, jint width, jint height) {
  VRN_screenInfo& info = Record(env, obj, submodel).ScreenInfo();
  info.x = CentreOf(x, width);
  info.y = CentreOf(y, height);
  info.width = width;
  info.height = height;
}

}  // namespace

/*
 * Class:     qelta_Network
 * Method:    getSubmodel
 * Signature: (Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getSubmodel(JNIEnv* env, jobject obj, jstring id) {
  return Guarded(env, [&] { return SubmodelIdToHandle(env, Net(env, obj), id); });
}

/*
 * Class:     qelta_Network
 * Method:    getMainSubmodel
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getMainSubmodel(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return FindMainSubmodel(Net(env, obj)); });
}

/*
 * Class:     qelta_Network
 * Method:    getMainSubmodelId
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getMainSubmodelId(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return GetMainSubmodelId(env, obj); });
}

/*
 * Class:     qelta_Network
 * Method:    getFirstSubmodel
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getFirstSubmodel(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).Submodels()->GetFirstSubmodel(); });
}

/*
 * Class:     qelta_Network
 * Method:    getNextSubmodel
 * Signature: (I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getNextSubmodel(JNIEnv* env, jobject obj, jint submodel) {
  return Guarded(env, [&] { return GetNextSubmodel(env, obj, submodel); });
}

/*
 * Class:     qelta_Network
 * Method:    getSubmodelCount
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getSubmodelCount(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).Submodels()->GetNumberOfSubmodels(); });
}

/*
 * Class:     qelta_Network
 * Method:    addSubmodel
 * Signature: (ILjava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_addSubmodel__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint parent, jstring id) {
  return Guarded(env, [&] { return AddSubmodel(env, obj, parent, id); });
}

/*
 * Class:     qelta_Network
 * Method:    addSubmodel
 * Signature: (Ljava/lang/String;Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_addSubmodel__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring parent_id, jstring id) {
  return Guarded(env, [&] { return AddSubmodel(env, obj, Sub(env, obj, parent_id), id); });
}

/*
 * Class:     qelta_Network
 * Method:    deleteSubmodel
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteSubmodel__I(JNIEnv* env, jobject obj, jint submodel) {
  Guarded(env, [&] { DeleteSubmodel(env, obj, submodel); });
}

/*
 * Class:     qelta_Network
 * Method:    deleteSubmodel
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteSubmodel__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring id) {
  Guarded(env, [&] { DeleteSubmodel(env, obj, Sub(env, obj, id)); });
}

/*
 * Class:     qelta_Network
 * Method:    setSubmodelId
 * Signature: (ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setSubmodelId(JNIEnv* env, jobject obj, jint submodel, jstring id) {
  Guarded(env, [&] { SetSubmodelId(env, obj, submodel, id); });
}

/*
 * Class:     qelta_Network
 * Method:    getSubmodelId
 * Signature: (I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getSubmodelId(JNIEnv* env, jobject obj, jint submodel) {
  return Guarded(env, [&] { return NativeToJavaString(env, Record(env, obj, submodel).Header().GetId()); });
}

/*
 * Class:     qelta_Network
 * Method:    setSubmodelName
 * Signature: (ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setSubmodelName__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint submodel, jstring name) {
  Guarded(env, [&] { SetSubmodelName(env, obj, submodel, name); });
}

/*
 * Class:     qelta_Network
 * Method:    setSubmodelName
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setSubmodelName__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring id, jstring name) {
  Guarded(env, [&] { SetSubmodelName(env, obj, Sub(env, obj, id), name); });
}

/*
 * Class:     qelta_Network
 * Method:    getSubmodelName
 * Signature: (I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getSubmodelName__I(JNIEnv* env, jobject obj, jint submodel) {
  return Guarded(env, [&] { return NativeToJavaString(env, Record(env, obj, submodel).Header().GetName()); });
}

/*
 * Class:     qelta_Network
 * Method:    getSubmodelName
 * Signature: (Ljava/lang/String;)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getSubmodelName__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring id) {
  return Guarded(env, [&] { return NativeToJavaString(env, Record(env, obj, Sub(env, obj, id)).Header().GetName()); });
}

/*
 * Class:     qelta_Network
 * Method:    setSubmodelDescription
 * Signature: (ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setSubmodelDescription(JNIEnv* env, jobject obj, jint submodel, jstring text) {
  Guarded(env, [&] { SetSubmodelDescription(env, obj, submodel, text); });
}

/*
 * Class:     qelta_Network
 * Method:    setSubmodelDescrpition
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setSubmodelDescrpition(JNIEnv* env, jobject obj, jstring id, jstring text) {
  Guarded(env, [&] { SetSubmodelDescription(env, obj, Sub(env, obj, id), text); });
}

/*
 * Class:     qelta_Network
 * Method:    getSubmodelDescription
 * Signature: (I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getSubmodelDescription__I(JNIEnv* env, jobject obj, jint submodel) {
  return Guarded(env, [&] { return NativeToJavaString(env, Record(env, obj, submodel).Header().GetComment()); });
}

/*
 * Class:     qelta_Network
 * Method:    getSubmodelDescription
 * Signature: (Ljava/lang/String;)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getSubmodelDescription__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring id) {
  return Guarded(env, [&] { return NativeToJavaString(env, Record(env, obj, Sub(env, obj, id)).Header().GetComment()); });
}

/*
 * Class:     qelta_Network
 * Method:    setSubmodelOfNode
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setSubmodelOfNode__II(JNIEnv* env, jobject obj, jint submodel, jint node) {
  Guarded(env, [&] { SetSubmodelOfNode(env, obj, submodel, node); });
}

/*
 * Class:     qelta_Network
 * Method:    setSubmodelOfNode
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setSubmodelOfNode__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring submodel_id, jstring node_id) {
  Guarded(env, [&] { SetSubmodelOfNodeById(env, obj, submodel_id, node_id); });
}

/*
 * Class:     qelta_Network
 * Method:    setSubmodelOfSubmodel
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setSubmodelOfSubmodel__II(JNIEnv* env, jobject obj, jint parent, jint submodel) {
  Guarded(env, [&] { SetSubmodelOfSubmodel(env, obj, parent, submodel); });
}

/*
 * Class:     qelta_Network
 * Method:    setSubmodelOfSubmodel
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setSubmodelOfSubmodel__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring parent_id, jstring submodel_id) {
  Guarded(env, [&] { SetSubmodelOfSubmodelById(env, obj, parent_id, submodel_id); });
}

/*
 * Class:     qelta_Network
 * Method:    getSubmodelOfNode
 * Signature: (I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getSubmodelOfNode__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return ValidateNodeHandle(Net(env, obj), node)->GetSubmodel(); });
}

/*
 * Class:     qelta_Network
 * Method:    getSubmodelOfNode
 * Signature: (Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getSubmodelOfNode__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return ValidateNodeHandle(Net(env, obj), Handle(env, obj, node_id))->GetSubmodel(); });
}

/*
 * Class:     qelta_Network
 * Method:    getSubmodelOfSubmodel
 * Signature: (I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getSubmodelOfSubmodel__I(JNIEnv* env, jobject obj, jint submodel) {
  return Guarded(env, [&] { return GetSubmodelOfSubmodel(env, obj, submodel); });
}

/*
 * Class:     qelta_Network
 * Method:    getSubmodelOfSubmodel
 * Signature: (Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getSubmodelOfSubmodel__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring id) {
  return Guarded(env, [&] { return GetSubmodelOfSubmodel(env, obj, Sub(env, obj, id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getSubmodelPosition
 * Signature: (I)Ljava/awt/Rectangle;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_getSubmodelPosition__I(JNIEnv* env, jobject obj, jint submodel) {
  return Guarded(env, [&] { return GetSubmodelPosition(env, obj, submodel); });
}

/*
 * Class:     qelta_Network
 * Method:    getSubmodelPosition
 * Signature: (Ljava/lang/String;)Ljava/awt/Rectangle;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_getSubmodelPosition__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring id) {
  return Guarded(env, [&] { return GetSubmodelPosition(env, obj, Sub(env, obj, id)); });
}

/*
 * Class:     qelta_Network
 * Method:    setSubmodelPosition
 * Signature: (IIIII)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setSubmodelPosition__IIIII(JNIEnv* env, jobject obj, jint submodel, jint x, jint y, jint width, jint height) {
  Guarded(env, [&] { SetSubmodelPosition(env, obj, submodel, x, y, width, height); });
}

/*
 * Class:     qelta_Network
 * Method:    setSubmodelPosition
 * Signature: (Ljava/lang/String;IIII)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setSubmodelPosition__Ljava_lang_String_2IIII(JNIEnv* env, jobject obj, jstring id, jint x, jint y, jint width, jint height) {
  Guarded(env, [&] { SetSubmodelPosition(env, obj, Sub(env, obj, id), x, y, width, height); });
}

