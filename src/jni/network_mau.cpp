// Bridge of qelta.Network: expressions of multi-attribute utility nodes.
#include "qelta_Network.h"

#include <string>
#include <vector>

#include "base/engine_error.h"
#include "base/special_values.h"
#include "base/status.h"
#include "equations/mau.h"
#include "jni/checks.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "network/network.h"

using qelta::jni::Guarded;
using qelta::jni::Handle;
using qelta::jni::Net;

namespace {

VRN_mau& Mau(JNIEnv* env, jobject obj, jint node) {
  return *static_cast<VRN_mau*>(GetMauDef(Net(env, obj), node));
}

// An empty array for a node in weights mode.
jobjectArray GetMauExpressions(JNIEnv* env, jobject obj, jint node) {
  std::vector<std::string> texts;
  (void)Mau(env, obj, node).GetExpressions(&texts);
  return qelta::jni::NativeToJavaStrings(env, texts);
}

void SetMauExpressions(JNIEnv* env, jobject obj, jint node,
                       jobjectArray expressions) {
  VRN_mau& definition = Mau(env, obj, node);
  // A null array is the empty list: it returns the node to weights.
  const std::vector<std::string> texts =
      expressions == nullptr ? std::vector<std::string>()
                             : qelta::jni::JavaStringsToNative(env, expressions, "Expression");
  const qelta::ClassicLocaleScope classic_numbers;
  std::string error;
  const int status = definition.SetExpressions(texts, &error);
  if (status != qelta::kOk) {
    ReportErrorWithMessage("SetExpressions", status, error);
  }
}

}  // namespace

/*
 * Class:     qelta_Network
 * Method:    getMauExpressions
 * Signature: (I)[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getMauExpressions__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetMauExpressions(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getMauExpressions
 * Signature: (Ljava/lang/String;)[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getMauExpressions__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetMauExpressions(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    setMauExpressions
 * Signature: (I[Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setMauExpressions__I_3Ljava_lang_String_2(JNIEnv* env, jobject obj, jint node, jobjectArray expressions) {
  Guarded(env, [&] { SetMauExpressions(env, obj, node, expressions); });
}

/*
 * Class:     qelta_Network
 * Method:    setMauExpressions
 * Signature: (Ljava/lang/String;[Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setMauExpressions__Ljava_lang_String_2_3Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jobjectArray expressions) {
  Guarded(env, [&] { SetMauExpressions(env, obj, Handle(env, obj, node_id), expressions); });
}
