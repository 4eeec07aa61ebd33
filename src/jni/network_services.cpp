// Bridge of qelta.Network: services of the network as a whole: copying it
// into a new Java object, routing its error log, the library's build text
// and the relevance-reasoning switch.
#include "qelta_Network.h"

#include <cstdio>
#include <stdexcept>
#include <string>

#include "base/engine_error.h"
#include "base/error_log.h"
#include "base/status.h"
#include "jni/checks.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "network/network.h"

using qelta::jni::Guarded;
using qelta::jni::Net;

namespace {

// Only the version and the kind of build: nothing about the machine or the
// paths it was built from.
std::string LibraryBuild() {
  std::string text = "qelta ";
  text += qelta::jni::kLibraryVersion;
#ifdef NDEBUG
  text += " (release build)";
#else
  text += " (debug build)";
#endif
  return text;
}

jobject CloneNetwork(JNIEnv* env, jobject obj) {
  const VRN_network& source = Net(env, obj);
  jobject copy = qelta::jni::NewJavaObject(env, "qelta/Network", "()V");
  try {
    Net(env, copy) = source;
  } catch (...) {
    // Release the half-made copy now rather than leaving it to the caller,
    // who never sees it.
    qelta::jni::LocalRef<jclass> cls = qelta::jni::GetObjectClass(env, copy);
    jmethodID close = qelta::jni::GetMethodId(env, cls.get(), "close", "()V");
    env->CallVoidMethod(copy, close);
    throw;
  }
  return copy;
}

void RedirectLogToFile(JNIEnv* env, jobject obj, jstring file) {
  // A name cut at U+0000 could open another file than the one asked for.
  JavaStringToNative name(env, file, qelta::jni::kFileName);
  VRN_network& net = Net(env, obj);
  // An empty name is the way back: the log keeps its entries again.
  if (name.str().empty()) {
    (void)net.ErrorLog()->RedirectToFile(nullptr, nullptr);
    return;
  }
  // Fails only when the file cannot be opened; the old redirect then stays.
  if (net.ErrorLog()->RedirectToFile(name.c_str(), nullptr) != qelta::kOk) {
    ReportError("RedirectToFile", qelta::kErrFileIo);
  }
}

void RedirectLogToStream(JNIEnv* env, jobject obj, jint fd) {
  if (fd != 1 && fd != 2) {
    ReportErrorWithMessage(
        "RedirectToFile", qelta::kErrOutOfRange,
        "Invalid file descriptor, only 1 (stdout) or 2 (stderr) are valid");
  }
  // The standard streams are not the log's to close.
  Net(env, obj).ErrorLog()->RedirectToStream(fd == 1 ? stdout : stderr,
                                             nullptr, false);
}

void SetRelevanceEnabled(JNIEnv* env, jobject obj, jboolean enabled) {
  VRN_network& net = Net(env, obj);
  const bool was_on = net.IsRelevanceReasoning();
  net.SetRelevanceReasoning(enabled != JNI_FALSE);
  // Edits made while it was off invalidated nothing they reach, so no
  // value computed before them may be trusted now.
  if (enabled != JNI_FALSE && !was_on) static_cast<void>(net.InvalidateValues());
}

}  // namespace

/*
 * Class:     qelta_Network
 * Method:    cloneme
 * Signature: ()Lqelta/Network;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_cloneme(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return CloneNetwork(env, obj); });
}

/*
 * Class:     qelta_Network
 * Method:    redirectLog
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_redirectLog__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring file) {
  Guarded(env, [&] { RedirectLogToFile(env, obj, file); });
}

/*
 * Class:     qelta_Network
 * Method:    redirectLog
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_redirectLog__I(JNIEnv* env, jobject obj, jint fd) {
  Guarded(env, [&] { RedirectLogToStream(env, obj, fd); });
}

/*
 * Class:     qelta_Network
 * Method:    getLibraryBuild
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getLibraryBuild(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return NativeToJavaString(env, LibraryBuild()); });
}

/*
 * Class:     qelta_Network
 * Method:    isRelevanceEnabled
 * Signature: ()Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isRelevanceEnabled(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).IsRelevanceReasoning() ? JNI_TRUE : JNI_FALSE; });
}

/*
 * Class:     qelta_Network
 * Method:    setRelevanceEnabled
 * Signature: (Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setRelevanceEnabled(JNIEnv* env, jobject obj, jboolean enabled) {
  Guarded(env, [&] { SetRelevanceEnabled(env, obj, enabled); });
}
