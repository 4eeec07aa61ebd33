#include "jni/frame.h"

#include <utf8.h>

#include <cstdio>
#include <cstring>
#include <iterator>

#include "base/strings.h"

namespace qelta::jni {

std::atomic<jfieldID> g_ptr_native_field{nullptr};

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
  const jfieldID field = g_ptr_native_field.load(std::memory_order_acquire);
  const jlong handle = env->GetLongField(obj, field);
  if (handle == 0) {
    throw std::invalid_argument("Native object has been released by close().");
  }
  return handle;
}

void* AcquireNative(JNIEnv* env, jobject obj) {
  void* object = qelta::CallScope::Acquire(GetNativeHandle(env, obj));
  if (object == nullptr) {
    throw std::invalid_argument("Native object has been released by close().");
  }
  return object;
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

std::vector<std::string> JavaStringsToNative(JNIEnv* env, jobjectArray array,
                                             const char* what) {
  const jsize n = env->GetArrayLength(array);
  std::vector<std::string> texts;
  texts.reserve(static_cast<std::size_t>(n));
  for (jsize i = 0; i < n; ++i) {
    LocalRef<jobject> element = GetArrayElement(env, array, i);
    texts.push_back(
        JavaStringToNative(env, static_cast<jstring>(element.get()), what).str());
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

namespace {

// A Java string for a failure message. Unlike NativeToJavaString it never
// refuses the text: each sequence that is not UTF-8 becomes U+FFFD, so the
// failure still reaches Java.
jstring MessageToJavaString(JNIEnv* env, const char* message) {
  std::string repaired;
  utf8::replace_invalid(message, message + std::strlen(message),
                        std::back_inserter(repaired));
  return NativeToJavaString(env, repaired);
}

// Throws a new qelta.QELTAException made by the constructor with the given
// signature from the message and, when the signature takes it, the code.
// The message is converted here rather than by ThrowNew, which reads
// modified UTF-8 and so would garble characters beyond U+FFFF.
template <typename... Code>
void ThrowQeltaException(JNIEnv* env, const char* message,
                         const char* constructor_signature,
                         Code... code) noexcept {
  if (env->ExceptionCheck()) return;
  try {
    LocalRef<jclass> cls =
        qelta::jni::FindClass(env, qelta::jni::kExceptionClass);
    jmethodID constructor = qelta::jni::GetMethodId(env, cls.get(), "<init>",
                                                    constructor_signature);
    LocalRef<jstring> text(env, MessageToJavaString(env, message));
    LocalRef<jobject> exception(
        env, env->NewObject(cls.get(), constructor, text.get(), code...));
    // Null: the constructor's exception or OutOfMemoryError is pending.
    if (exception.get() != nullptr) {
      env->Throw(static_cast<jthrowable>(exception.get()));
    }
  } catch (const JavaExceptionPending&) {
    // A lookup or an allocation failed; its Java error reports the failure.
  } catch (...) {
    // No memory left to repair the message.
    if (!env->ExceptionCheck()) qelta::jni::ThrowJavaFromUnknownException(env);
  }
}

}  // namespace

void ThrowJavaFromQeltaException(JNIEnv* env,
                                 const qelta_exception& error) noexcept {
  ThrowQeltaException(env, error.what(), "(Ljava/lang/String;I)V",
                      static_cast<jint>(error.code()));
}

void ThrowJavaFromStdException(JNIEnv* env,
                               const std::exception& error) noexcept {
  ThrowQeltaException(env, error.what(), "(Ljava/lang/String;)V");
}

JavaStringToNative::JavaStringToNative(JNIEnv* env, jstring text, const char* what) {
  if (text == nullptr) {
    throw std::invalid_argument("Unexpected null Java string.");
  }
  const jsize length = env->GetStringLength(text);
  qelta::jni::StringChars chars(env, text);
  if (chars.get() == nullptr) throw JavaExceptionPending();  // OutOfMemoryError
  // jchar and std::uint16_t are the same 16-bit unsigned type.
  static_assert(sizeof(jchar) == sizeof(std::uint16_t));
  const auto* units = reinterpret_cast<const std::uint16_t*>(chars.get());
  const std::size_t count = static_cast<std::size_t>(length);
  const std::size_t bad = qelta::FindUnpairedSurrogate(units, count);
  if (bad < count) {
    char unit[8];
    std::snprintf(unit, sizeof unit, "%04X", static_cast<unsigned>(units[bad]));
    throw std::invalid_argument(std::string(what) +
                                " is not valid UTF-16: unpaired surrogate U+" +
                                unit + " at index " + std::to_string(bad));
  }
  qelta::Utf16ToUtf8(units, count, &text_);
  if (text_.find('\0') != std::string::npos) {
    throw std::invalid_argument(std::string(what) + " cannot contain U+0000");
  }
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
