// Bridge of qelta.Network: how a node is drawn (rectangle, colours, border,
// chart). The values live in the node's appearance record; the bridge only
// moves rectangles between Java's top-left form and the stored centre form
// and swaps the colour bytes. Nothing here calls an engine operation with a
// status, so the only failures are the argument checks.
#include "qelta_Network.h"

#include "base/special_values.h"
#include "jni/checks.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "jni/network_geometry.h"
#include "network/network.h"
#include "network/node.h"

using qelta::jni::CentreOf;
using qelta::jni::Guarded;
using qelta::jni::Handle;
using qelta::jni::Net;

namespace {

// Which colour of a node's appearance record a method reads or sets.
enum NodeColor { kBackground, kText, kBorder };

int& ColorField(VRN_screenInfo& info, NodeColor which) {
  switch (which) {
    case kBackground:
      return info.interior_color;
    case kText:
      return info.text_color;
    case kBorder:
      break;
  }
  return info.outline_color;
}

VRN_screenInfo& Appearance(JNIEnv* env, jobject obj, jint node) {
  return ValidateNodeHandle(Net(env, obj), node)->ScreenInfo();
}

void SetNodePosition(JNIEnv* env, jobject obj, jint node, jint x, jint y,
                     jint width, jint height) {
  VRN_screenInfo& info = Appearance(env, obj, node);
  info.x = CentreOf(x, width);
  info.y = CentreOf(y, height);
  info.width = width;
  info.height = height;
}

jobject GetNodePosition(JNIEnv* env, jobject obj, jint node) {
  const VRN_screenInfo& info = Appearance(env, obj, node);
  return RectangleToJava(env, info.x, info.y, info.width, info.height);
}

jboolean IsNodeChartEnabled(JNIEnv* env, jobject obj, jint node) {
  return Appearance(env, obj, node).show_bar_chart != 0 ? JNI_TRUE : JNI_FALSE;
}

void SetNodeChartEnabled(JNIEnv* env, jobject obj, jint node,
                         jboolean enabled) {
  Appearance(env, obj, node).show_bar_chart = enabled ? 1 : 0;
}

void SetNodeChartSize(JNIEnv* env, jobject obj, jint node, jint width,
                      jint height) {
  VRN_screenInfo& info = Appearance(env, obj, node);
  info.bar_chart_width = width;
  info.bar_chart_height = height;
}

jobject GetNodeChartSize(JNIEnv* env, jobject obj, jint node) {
  const VRN_screenInfo& info = Appearance(env, obj, node);
  return qelta::jni::NewJavaObject(env, "java/awt/Dimension", "(II)V",
                                   static_cast<jint>(info.bar_chart_width),
                                   static_cast<jint>(info.bar_chart_height));
}

// The node is checked before the colour object is touched.
void SetNodeColor(JNIEnv* env, jobject obj, jint node, NodeColor which,
                  jobject color) {
  int& field = ColorField(Appearance(env, obj, node), which);
  field = ColorFromJava(env, color);
}

jobject GetNodeColor(JNIEnv* env, jobject obj, jint node, NodeColor which) {
  return ColorToJava(env, ColorField(Appearance(env, obj, node), which));
}

void SetNodeBorderWidth(JNIEnv* env, jobject obj, jint node, jint width) {
  Appearance(env, obj, node).outline_width = width;
}

jint GetNodeBorderWidth(JNIEnv* env, jobject obj, jint node) {
  return Appearance(env, obj, node).outline_width;
}

}  // namespace

/*
 * Class:     qelta_Network
 * Method:    setNodePosition
 * Signature: (IIIII)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodePosition__IIIII(JNIEnv* env, jobject obj, jint node, jint x, jint y, jint width, jint height) {
  Guarded(env, [&] { SetNodePosition(env, obj, node, x, y, width, height); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodePosition
 * Signature: (Ljava/lang/String;IIII)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodePosition__Ljava_lang_String_2IIII(JNIEnv* env, jobject obj, jstring node_id, jint x, jint y, jint width, jint height) {
  Guarded(env, [&] { SetNodePosition(env, obj, Handle(env, obj, node_id), x, y, width, height); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodePosition
 * Signature: (I)Ljava/awt/Rectangle;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_getNodePosition__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodePosition(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodePosition
 * Signature: (Ljava/lang/String;)Ljava/awt/Rectangle;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_getNodePosition__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodePosition(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    isNodeChartEnabled
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isNodeChartEnabled__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return IsNodeChartEnabled(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    isNodeChartEnabled
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isNodeChartEnabled__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return IsNodeChartEnabled(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeChartEnabled
 * Signature: (IZ)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeChartEnabled__IZ(JNIEnv* env, jobject obj, jint node, jboolean enabled) {
  Guarded(env, [&] { SetNodeChartEnabled(env, obj, node, enabled); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeChartEnabled
 * Signature: (Ljava/lang/String;Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeChartEnabled__Ljava_lang_String_2Z(JNIEnv* env, jobject obj, jstring node_id, jboolean enabled) {
  Guarded(env, [&] { SetNodeChartEnabled(env, obj, Handle(env, obj, node_id), enabled); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeChartSize
 * Signature: (III)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeChartSize__III(JNIEnv* env, jobject obj, jint node, jint width, jint height) {
  Guarded(env, [&] { SetNodeChartSize(env, obj, node, width, height); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeChartSize
 * Signature: (Ljava/lang/String;II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeChartSize__Ljava_lang_String_2II(JNIEnv* env, jobject obj, jstring node_id, jint width, jint height) {
  Guarded(env, [&] { SetNodeChartSize(env, obj, Handle(env, obj, node_id), width, height); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeChartSize
 * Signature: (I)Ljava/awt/Dimension;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_getNodeChartSize__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeChartSize(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeChartSize
 * Signature: (Ljava/lang/String;)Ljava/awt/Dimension;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_getNodeChartSize__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeChartSize(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeBgColor
 * Signature: (ILjava/awt/Color;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeBgColor__ILjava_awt_Color_2(JNIEnv* env, jobject obj, jint node, jobject color) {
  Guarded(env, [&] { SetNodeColor(env, obj, node, kBackground, color); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeBgColor
 * Signature: (Ljava/lang/String;Ljava/awt/Color;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeBgColor__Ljava_lang_String_2Ljava_awt_Color_2(JNIEnv* env, jobject obj, jstring node_id, jobject color) {
  Guarded(env, [&] { SetNodeColor(env, obj, Handle(env, obj, node_id), kBackground, color); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeBgColor
 * Signature: (I)Ljava/awt/Color;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_getNodeBgColor__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeColor(env, obj, node, kBackground); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeBgColor
 * Signature: (Ljava/lang/String;)Ljava/awt/Color;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_getNodeBgColor__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeColor(env, obj, Handle(env, obj, node_id), kBackground); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeTextColor
 * Signature: (ILjava/awt/Color;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeTextColor__ILjava_awt_Color_2(JNIEnv* env, jobject obj, jint node, jobject color) {
  Guarded(env, [&] { SetNodeColor(env, obj, node, kText, color); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeTextColor
 * Signature: (Ljava/lang/String;Ljava/awt/Color;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeTextColor__Ljava_lang_String_2Ljava_awt_Color_2(JNIEnv* env, jobject obj, jstring node_id, jobject color) {
  Guarded(env, [&] { SetNodeColor(env, obj, Handle(env, obj, node_id), kText, color); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeTextColor
 * Signature: (I)Ljava/awt/Color;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_getNodeTextColor__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeColor(env, obj, node, kText); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeTextColor
 * Signature: (Ljava/lang/String;)Ljava/awt/Color;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_getNodeTextColor__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeColor(env, obj, Handle(env, obj, node_id), kText); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeBorderColor
 * Signature: (ILjava/awt/Color;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeBorderColor__ILjava_awt_Color_2(JNIEnv* env, jobject obj, jint node, jobject color) {
  Guarded(env, [&] { SetNodeColor(env, obj, node, kBorder, color); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeBorderColor
 * Signature: (Ljava/lang/String;Ljava/awt/Color;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeBorderColor__Ljava_lang_String_2Ljava_awt_Color_2(JNIEnv* env, jobject obj, jstring node_id, jobject color) {
  Guarded(env, [&] { SetNodeColor(env, obj, Handle(env, obj, node_id), kBorder, color); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeBorderColor
 * Signature: (I)Ljava/awt/Color;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_getNodeBorderColor__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeColor(env, obj, node, kBorder); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeBorderColor
 * Signature: (Ljava/lang/String;)Ljava/awt/Color;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_getNodeBorderColor__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeColor(env, obj, Handle(env, obj, node_id), kBorder); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeBorderWidth
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeBorderWidth__II(JNIEnv* env, jobject obj, jint node, jint width) {
  Guarded(env, [&] { SetNodeBorderWidth(env, obj, node, width); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeBorderWidth
 * Signature: (Ljava/lang/String;I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeBorderWidth__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint width) {
  Guarded(env, [&] { SetNodeBorderWidth(env, obj, Handle(env, obj, node_id), width); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeBorderWidth
 * Signature: (I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getNodeBorderWidth__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeBorderWidth(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeBorderWidth
 * Signature: (Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getNodeBorderWidth__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeBorderWidth(env, obj, Handle(env, obj, node_id)); });
}

