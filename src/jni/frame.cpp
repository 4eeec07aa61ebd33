#include "jni/frame.h"

#include <cstring>
#include <new>

#include "core/strings.h"

namespace qelta::jni {

jfieldID g_ptr_native_field = nullptr;

namespace {

constexpr const char* kExceptionClass = "qelta/QELTAException";

// Releases the characters of a Java string when the scope ends.
class StringChars {
 public:
  StringChars(JNIEnv* env, jstring text)
      : env_(env), text_(text), chars_(env->GetStringChars(text, nullptr)) {}
  ~StringChars() {
    if (chars_ != nullptr) env_->ReleaseStringChars(text_, chars_);
  }
  StringChars(const StringChars&) = delete;
  StringChars& operator=(const StringChars&) = delete;

  const jchar* get() const { return chars_; }

 private:
  JNIEnv* env_;
  jstring text_;
  const jchar* chars_;
};

// Throws QELTAException(message) with ThrowNew; message is passed as it is.
void ThrowNewException(JNIEnv* env, const char* message) noexcept {
  jclass cls = env->FindClass(kExceptionClass);
  if (cls == nullptr) return;  // pending: NoClassDefFoundError
  env->ThrowNew(cls, message);
  env->DeleteLocalRef(cls);
}

}  // namespace

jlong GetNativeHandle(JNIEnv* env, jobject obj) {
  if (obj == nullptr) {
    throw std::invalid_argument("Unexpected null Java object.");
  }
  const jlong handle = env->GetLongField(obj, g_ptr_native_field);
  if (handle == 0) {
    throw std::invalid_argument("Native object has been released by close().");
  }
  return handle;
}

void ThrowJavaFromUnknownException(JNIEnv* env) noexcept {
  if (env->ExceptionCheck()) return;
  ThrowNewException(env, "Unknown native failure");
}

LocalRef<jclass> FindClass(JNIEnv* env, const char* name) {
  jclass cls = env->FindClass(name);
  if (cls == nullptr) throw JavaExceptionPending();  // NoClassDefFoundError
  return LocalRef<jclass>(env, cls);
}

LocalRef<jclass> GetObjectClass(JNIEnv* env, jobject obj) {
  if (obj == nullptr) {
    throw std::invalid_argument("Unexpected null Java object.");
  }
  return LocalRef<jclass>(env, env->GetObjectClass(obj));
}

jmethodID GetMethodId(JNIEnv* env, jclass cls, const char* name,
                      const char* signature) {
  jmethodID id = env->GetMethodID(cls, name, signature);
  if (id == nullptr) throw JavaExceptionPending();  // NoSuchMethodError
  return id;
}

jfieldID GetFieldId(JNIEnv* env, jclass cls, const char* name,
                    const char* signature) {
  jfieldID id = env->GetFieldID(cls, name, signature);
  if (id == nullptr) throw JavaExceptionPending();  // NoSuchFieldError
  return id;
}

jobject GetObjectFieldByName(JNIEnv* env, jobject obj, const char* name,
                             const char* signature) {
  LocalRef<jclass> cls = GetObjectClass(env, obj);
  jfieldID field = GetFieldId(env, cls.get(), name, signature);
  return env->GetObjectField(obj, field);
}

jobjectArray NewJavaObjectArray(JNIEnv* env, const char* element_class,
                                jsize count) {
  LocalRef<jclass> cls = FindClass(env, element_class);
  jobjectArray array = env->NewObjectArray(count, cls.get(), nullptr);
  if (array == nullptr) throw JavaExceptionPending();  // OutOfMemoryError
  return array;
}

LocalRef<jobject> GetArrayElement(JNIEnv* env, jobjectArray array, jsize i) {
  jobject element = env->GetObjectArrayElement(array, i);
  CheckJava(env);  // pending: ArrayIndexOutOfBoundsException
  return LocalRef<jobject>(env, element);
}

void SetArrayElement(JNIEnv* env, jobjectArray array, jsize i, jobject value) {
  env->SetObjectArrayElement(array, i, value);
  CheckJava(env);  // pending: ArrayStoreException or index out of bounds
}

std::vector<std::string> JavaStringsToNative(JNIEnv* env, jobjectArray array) {
  const jsize n = env->GetArrayLength(array);
  std::vector<std::string> texts;
  texts.reserve(static_cast<std::size_t>(n));
  for (jsize i = 0; i < n; ++i) {
    LocalRef<jobject> element = GetArrayElement(env, array, i);
    texts.push_back(
        JavaStringToNative(env, static_cast<jstring>(element.get())).str());
  }
  return texts;
}

jobjectArray NativeToJavaStrings(JNIEnv* env,
                                 const std::vector<std::string>& texts) {
  if (texts.size() > static_cast<std::size_t>(INT32_MAX)) {
    throw std::length_error("array too long for Java");
  }
  const jsize n = static_cast<jsize>(texts.size());
  jobjectArray array = NewJavaObjectArray(env, "java/lang/String", n);
  for (jsize i = 0; i < n; ++i) {
    LocalRef<jstring> text(env, NativeToJavaString(env, texts[i]));
    SetArrayElement(env, array, i, text.get());
  }
  return array;
}

}  // namespace qelta::jni

using qelta::jni::JavaExceptionPending;
using qelta::jni::LocalRef;

void ThrowJavaFromQeltaException(JNIEnv* env,
                                 const qelta_exception& error) noexcept {
  if (env->ExceptionCheck()) return;
  try {
    LocalRef<jclass> cls = qelta::jni::FindClass(env, qelta::jni::kExceptionClass);
    jmethodID constructor = qelta::jni::GetMethodId(
        env, cls.get(), "<init>", "(Ljava/lang/String;I)V");
    jstring message;
    try {
      message = NativeToJavaString(env, error.what());
    } catch (const std::exception&) {
      // Not UTF-8: the Java side still learns what happened, minus the code.
      env->ThrowNew(cls.get(), error.what());
      return;
    }
    LocalRef<jstring> message_ref(env, message);
    jobject exception = env->NewObject(cls.get(), constructor, message,
                                       static_cast<jint>(error.code()));
    if (exception == nullptr) return;  // pending: OutOfMemoryError
    env->Throw(static_cast<jthrowable>(exception));
    env->DeleteLocalRef(exception);
  } catch (const JavaExceptionPending&) {
    // A lookup failed and its Java error is pending; it reports the failure.
  } catch (...) {
    // Allocation failed while building the message.
    if (!env->ExceptionCheck()) qelta::jni::ThrowJavaFromUnknownException(env);
  }
}

void ThrowJavaFromStdException(JNIEnv* env,
                               const std::exception& error) noexcept {
  if (env->ExceptionCheck()) return;
  qelta::jni::ThrowNewException(env, error.what());
}

JavaStringToNative::JavaStringToNative(JNIEnv* env, jstring text) {
  if (text == nullptr) {
    throw std::invalid_argument("Unexpected null Java string.");
  }
  const jsize length = env->GetStringLength(text);
  qelta::jni::StringChars chars(env, text);
  if (chars.get() == nullptr) throw JavaExceptionPending();  // OutOfMemoryError
  // jchar and std::uint16_t are the same 16-bit unsigned type.
  static_assert(sizeof(jchar) == sizeof(std::uint16_t));
  qelta::Utf16ToUtf8(reinterpret_cast<const std::uint16_t*>(chars.get()),
                     static_cast<std::size_t>(length), &text_);
}

jstring NativeToJavaString(JNIEnv* env, const char* text) {
  if (text == nullptr) return nullptr;
  const std::size_t length = std::strlen(text);
  jstring result;
  if (qelta::IsAscii(text, length)) {
    result = env->NewStringUTF(text);
  } else {
    std::vector<std::uint16_t> units = qelta::Utf8ToUtf16(text, length);
    if (units.size() > static_cast<std::size_t>(INT32_MAX)) {
      throw std::length_error("string too long for Java");
    }
    result = env->NewString(reinterpret_cast<const jchar*>(units.data()),
                            static_cast<jsize>(units.size()));
  }
  if (result == nullptr) throw JavaExceptionPending();  // OutOfMemoryError
  return result;
}

jobjectArray StringArrayToJava(JNIEnv* env, const VRN_stringArray& strings) {
  const jsize n = strings.GetSize();
  jobjectArray array = qelta::jni::NewJavaObjectArray(env, "java/lang/String", n);
  for (jsize i = 0; i < n; ++i) {
    LocalRef<jstring> text(env, NativeToJavaString(env, strings.Get(i)));
    qelta::jni::SetArrayElement(env, array, i, text.get());
  }
  return array;
}
