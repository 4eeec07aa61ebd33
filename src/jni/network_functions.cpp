// Bridge of qelta.Network: the network's user-defined functions of the
// expression language.
#include "qelta_Network.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "base/engine_error.h"
#include "base/status.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "network/network.h"

using qelta::jni::Guarded;
using qelta::jni::Net;

namespace {

jobjectArray GetExtFunctions(JNIEnv* env, jobject obj) {
  std::vector<std::string> definitions;
  Net(env, obj).GetExtFunctions(definitions, false);
  return qelta::jni::NativeToJavaStrings(env, definitions);
}

void SetExtFunctions(JNIEnv* env, jobject obj, jobjectArray definitions) {
  if (definitions == nullptr) {
    throw std::invalid_argument("Function definition array cannot be null");
  }
  const std::vector<std::string> texts =
      qelta::jni::JavaStringsToNative(env, definitions, "Function definition");
  int index = -1;
  int position = -1;
  std::string message;
  const int status =
      Net(env, obj).SetExtFunctions(texts, index, position, message);
  if (status != qelta::kOk) {
    ReportErrorWithMessage("SetExtFunctions", status,
                           "Error in function #" + std::to_string(index) +
                               " at position " + std::to_string(position) +
                               ": " + message);
  }
}

}  // namespace

/*
 * Class:     qelta_Network
 * Method:    getExtFunctions
 * Signature: ()[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getExtFunctions(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return GetExtFunctions(env, obj); });
}

/*
 * Class:     qelta_Network
 * Method:    setExtFunctions
 * Signature: ([Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setExtFunctions(JNIEnv* env, jobject obj, jobjectArray definitions) {
  Guarded(env, [&] { SetExtFunctions(env, obj, definitions); });
}
