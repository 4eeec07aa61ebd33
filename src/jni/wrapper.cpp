// Bridge of qelta.Wrapper: library start-up.
#include "qelta_Wrapper.h"

#include "jni/frame.h"

/*
 * Class:     qelta_Wrapper
 * Method:    staticInitNative
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Wrapper_staticInitNative(JNIEnv* env, jclass cls) {
  const jfieldID field = env->GetFieldID(cls, "ptrNative", "J");
  if (field == nullptr) return nullptr;  // pending: NoSuchFieldError
  qelta::jni::g_ptr_native_field.store(field, std::memory_order_release);
  return env->NewStringUTF(qelta::jni::kLibraryVersion);
}
