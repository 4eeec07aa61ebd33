// The frame every JNI export shares: how a Java object finds its native
// object, how strings and arrays cross the boundary, how Java classes,
// methods and fields are looked up, and how every failure becomes one Java
// exception, qelta.QELTAException.
//
// An export runs its body through qelta::jni::Guarded, which catches
// everything: a qelta_exception (an engine failure, see base/engine_error.h)
// becomes QELTAException(message, code); any other std::exception (a refused
// argument, an exhausted resource, a malformed string) becomes
// QELTAException(message); anything else becomes QELTAException with a fixed
// text. No C++ exception ever reaches the JVM. After a failure the export
// answers the zero value of its result type, which Java never sees.
//
// When a JNI call fails it leaves a Java exception pending (for example
// OutOfMemoryError); the helpers here then throw JavaExceptionPending, and
// Guarded returns at once and lets that Java exception travel.
//
// Ownership: the native object behind a Java object belongs to the Java
// object (its createNative/deleteNative pair); the handle table frees it
// once deleteNative has closed it and no call runs on it any more. Local
// references made here belong to the current call unless a LocalRef holds
// them. Only the field ID of ptrNative is cached; every other lookup is
// repeated per call, so no class reference outlives a call.
//
// Thread use: a JNIEnv belongs to its thread; the only per-thread state is
// the call scope of the handle table. One thread may close an object while
// another is inside a call on it; otherwise one object serves one thread at
// a time.
#ifndef QELTA_JNI_FRAME_H_
#define QELTA_JNI_FRAME_H_

#include <jni.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/engine_error.h"
#include "base/handle_table.h"

class VRN_stringArray;

namespace qelta::jni {

// What a Java string that names a file is for: its refusal of U+0000 reads
// "File name cannot contain U+0000".
inline constexpr const char* kFileName = "File name";

// The library version reported to Java.
inline constexpr const char* kLibraryVersion = "2.2.4";

// Field ID of qelta.Wrapper.ptrNative; null until staticInitNative has run.
// Stored once by the class's initialisation and read by calls on any thread.
extern std::atomic<jfieldID> g_ptr_native_field;

// Thrown by the helpers after a JNI call failed and left a Java exception
// pending. Deliberately not a std::exception: Guarded handles it first and
// throws nothing new to Java.
class JavaExceptionPending {};

// Throws JavaExceptionPending when a Java exception is pending.
inline void CheckJava(JNIEnv* env) {
  if (env->ExceptionCheck()) throw JavaExceptionPending();
}

// ------------------------------------------------------------ handles
// ptrNative holds a handle of the process-wide handle table
// (base/handle_table.h), not an address. An export that reaches a native
// object counts as a call in flight on it until its Guarded scope ends, so
// close() on another thread never deletes an object under a running call:
// the last call to end deletes it, and calls that begin after close() are
// refused.

// Registers a new native object (taking ownership: on failure it is deleted
// and std::bad_alloc thrown) and answers the value createNative hands to
// Java.
template <typename T>
jlong ToHandle(T* object) {
  return static_cast<jlong>(qelta::RegisterObject(object));
}

// Native objects are deleted through ReleaseHandle, never directly: a call
// may still be running on them.
template <typename T>
T* FromHandle(jlong handle) = delete;

// What a deleteNative export does: closes the handle; the object is deleted
// now, or by the last call still running on it. Does nothing for 0 or a
// handle already closed.
inline void ReleaseHandle(jlong handle) {
  qelta::CloseObject(static_cast<qelta::ForeignHandle>(handle));
}

// The value of obj's ptrNative field. Throws std::invalid_argument
// "Unexpected null Java object." for a null obj and "Native object has been
// released by close()." when the field is 0.
// REQUIRES: staticInitNative has run.
jlong GetNativeHandle(JNIEnv* env, jobject obj);

// The native object behind obj, held until the current Guarded call ends;
// never null. Throws as GetNativeHandle, and "Native object has been
// released by close()." as well when the object was closed meanwhile.
// REQUIRES: called inside Guarded.
void* AcquireNative(JNIEnv* env, jobject obj);

template <typename T>
T* GetNative(JNIEnv* env, jobject obj) {
  return static_cast<T*>(AcquireNative(env, obj));
}

// ------------------------------------------------------------ guard

// Zero value of an export's result type: 0, 0.0, false, null, or nothing.
template <typename R>
R ZeroResult() {
  if constexpr (std::is_void_v<R>) {
    return;
  } else {
    return R{};
  }
}

// Throws Java's QELTAException for anything caught by a catch-all clause.
void ThrowJavaFromUnknownException(JNIEnv* env) noexcept;

}  // namespace qelta::jni

// Makes a qelta.QELTAException with (message, code) and throws it to Java.
// Bytes of the message that are not UTF-8 arrive as U+FFFD. Keeps a Java
// exception that is already pending.
void ThrowJavaFromQeltaException(JNIEnv* env,
                                 const qelta_exception& error) noexcept;

// Throws qelta.QELTAException made by its one-String constructor from the
// exception's what() text, repaired as above. Keeps a Java exception that is
// already pending.
void ThrowJavaFromStdException(JNIEnv* env,
                               const std::exception& error) noexcept;

namespace qelta::jni {

// Runs body() and answers its result. Every exception body throws is turned
// into a pending Java exception as the file comment says; the result is then
// the zero value of body's result type.
template <typename Body>
auto Guarded(JNIEnv* env, Body&& body) noexcept -> decltype(body()) {
  using Result = decltype(body());
  // Releases the native objects the body reached, after any Java exception
  // has been raised.
  qelta::CallScope scope;
  // The log whose entries explain the call's engine failures, chosen by the
  // first network the body reaches.
  qelta::CallLogScope log_scope;
  try {
    return body();
  } catch (const JavaExceptionPending&) {
    // The Java exception is already on its way.
  } catch (const qelta_exception& e) {
    ThrowJavaFromQeltaException(env, e);
  } catch (const std::exception& e) {
    ThrowJavaFromStdException(env, e);
  } catch (...) {
    ThrowJavaFromUnknownException(env);
  }
  return ZeroResult<Result>();
}

// ------------------------------------------------------------ references

// Owns one local reference and deletes it when the scope ends; for loops
// that would otherwise pile up references (one per array element).
template <typename T>
class LocalRef {
 public:
  LocalRef(JNIEnv* env, T ref) : env_(env), ref_(ref) {}
  LocalRef(LocalRef&& other) noexcept : env_(other.env_), ref_(other.ref_) {
    other.ref_ = nullptr;
  }
  LocalRef& operator=(LocalRef&&) = delete;
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;
  ~LocalRef() {
    if (ref_ != nullptr) env_->DeleteLocalRef(ref_);
  }

  T get() const { return ref_; }
  // Gives up ownership, e.g. to return the reference to Java.
  T release() {
    T ref = ref_;
    ref_ = nullptr;
    return ref;
  }

 private:
  JNIEnv* env_;
  T ref_;
};

// ------------------------------------------------------------ lookups
// Each throws JavaExceptionPending when the JVM reports a failure
// (NoClassDefFoundError, NoSuchMethodError, NoSuchFieldError, ...).

LocalRef<jclass> FindClass(JNIEnv* env, const char* name);
LocalRef<jclass> GetObjectClass(JNIEnv* env, jobject obj);
jmethodID GetMethodId(JNIEnv* env, jclass cls, const char* name,
                      const char* signature);
jfieldID GetFieldId(JNIEnv* env, jclass cls, const char* name,
                    const char* signature);

// A new object of the named class, made by the constructor with the given
// signature; the caller owns the local reference.
template <typename... Args>
jobject NewJavaObject(JNIEnv* env, const char* class_name,
                      const char* constructor_signature, Args... args) {
  LocalRef<jclass> cls = FindClass(env, class_name);
  jmethodID constructor =
      GetMethodId(env, cls.get(), "<init>", constructor_signature);
  jobject object = env->NewObject(cls.get(), constructor, args...);
  CheckJava(env);  // pending: the constructor's exception, or OutOfMemoryError
  return object;
}

// The object field `name` (of the given signature) of obj; may be null.
jobject GetObjectFieldByName(JNIEnv* env, jobject obj, const char* name,
                             const char* signature);

// ------------------------------------------------------------ arrays

template <typename J>
struct ArrayTraits;

template <>
struct ArrayTraits<jint> {
  using Array = jintArray;
  static Array New(JNIEnv* env, jsize n) { return env->NewIntArray(n); }
  static void GetRegion(JNIEnv* env, Array a, jsize start, jsize n, jint* to) {
    env->GetIntArrayRegion(a, start, n, to);
  }
  static void SetRegion(JNIEnv* env, Array a, jsize start, jsize n,
                        const jint* from) {
    env->SetIntArrayRegion(a, start, n, from);
  }
  static jint* GetElements(JNIEnv* env, Array a) {
    return env->GetIntArrayElements(a, nullptr);
  }
  static void ReleaseElements(JNIEnv* env, Array a, jint* p, jint mode) {
    env->ReleaseIntArrayElements(a, p, mode);
  }
};

template <>
struct ArrayTraits<jdouble> {
  using Array = jdoubleArray;
  static Array New(JNIEnv* env, jsize n) { return env->NewDoubleArray(n); }
  static void GetRegion(JNIEnv* env, Array a, jsize start, jsize n,
                        jdouble* to) {
    env->GetDoubleArrayRegion(a, start, n, to);
  }
  static void SetRegion(JNIEnv* env, Array a, jsize start, jsize n,
                        const jdouble* from) {
    env->SetDoubleArrayRegion(a, start, n, from);
  }
  static jdouble* GetElements(JNIEnv* env, Array a) {
    return env->GetDoubleArrayElements(a, nullptr);
  }
  static void ReleaseElements(JNIEnv* env, Array a, jdouble* p, jint mode) {
    env->ReleaseDoubleArrayElements(a, p, mode);
  }
};

template <>
struct ArrayTraits<jfloat> {
  using Array = jfloatArray;
  static Array New(JNIEnv* env, jsize n) { return env->NewFloatArray(n); }
  static void GetRegion(JNIEnv* env, Array a, jsize start, jsize n,
                        jfloat* to) {
    env->GetFloatArrayRegion(a, start, n, to);
  }
  static void SetRegion(JNIEnv* env, Array a, jsize start, jsize n,
                        const jfloat* from) {
    env->SetFloatArrayRegion(a, start, n, from);
  }
  static jfloat* GetElements(JNIEnv* env, Array a) {
    return env->GetFloatArrayElements(a, nullptr);
  }
  static void ReleaseElements(JNIEnv* env, Array a, jfloat* p, jint mode) {
    env->ReleaseFloatArrayElements(a, p, mode);
  }
};

// Length of a Java array. REQUIRES: array != nullptr.
inline jsize ArrayLength(JNIEnv* env, jarray array) {
  return env->GetArrayLength(array);
}

// Throws std::invalid_argument with message when array is null; most
// methods name their own message for a missing array.
inline void RequireArray(jarray array, const char* message) {
  if (array == nullptr) throw std::invalid_argument(message);
}

// Copy of a whole Java array, read with one region call. A null array
// throws std::invalid_argument "Unexpected null Java array." (callers that
// have a message of their own check first with RequireArray).
template <typename J>
std::vector<J> CopyFromJava(JNIEnv* env, typename ArrayTraits<J>::Array array) {
  RequireArray(array, "Unexpected null Java array.");
  const jsize n = env->GetArrayLength(array);
  std::vector<J> items(static_cast<std::size_t>(n));
  if (n > 0) ArrayTraits<J>::GetRegion(env, array, 0, n, items.data());
  CheckJava(env);
  return items;
}

// A new Java array of exactly count items, filled with one region call.
// count must fit a jsize; larger counts throw std::length_error.
template <typename J, typename From>
typename ArrayTraits<J>::Array NewJavaArray(JNIEnv* env, const From* items,
                                            std::size_t count) {
  static_assert(sizeof(From) == sizeof(J) && std::is_arithmetic_v<From>,
                "items must have the Java element's layout");
  if (count > static_cast<std::size_t>(INT32_MAX)) {
    throw std::length_error("array too long for Java");
  }
  const jsize n = static_cast<jsize>(count);
  typename ArrayTraits<J>::Array array = ArrayTraits<J>::New(env, n);
  if (array == nullptr) throw JavaExceptionPending();  // OutOfMemoryError
  if (n > 0) {
    ArrayTraits<J>::SetRegion(env, array, 0, n,
                              reinterpret_cast<const J*>(items));
  }
  CheckJava(env);
  return array;
}

template <typename J, typename From>
typename ArrayTraits<J>::Array NewJavaArray(JNIEnv* env,
                                            const std::vector<From>& items) {
  return NewJavaArray<J>(env, items.data(), items.size());
}

// The elements of a Java array in place, for the life of the view. A view
// made read-only releases with JNI_ABORT (nothing is copied back); a
// writable view copies its changes back to Java when it ends.
template <typename J>
class ArrayElements {
 public:
  enum class Access { kReadOnly, kReadWrite };

  // Throws std::invalid_argument for a null array, JavaExceptionPending when
  // the JVM cannot hand out the elements.
  ArrayElements(JNIEnv* env, typename ArrayTraits<J>::Array array,
                Access access)
      : env_(env), array_(array), access_(access) {
    RequireArray(array, "Unexpected null Java array.");
    size_ = env->GetArrayLength(array);
    items_ = ArrayTraits<J>::GetElements(env, array);
    if (items_ == nullptr) throw JavaExceptionPending();
  }
  ~ArrayElements() {
    ArrayTraits<J>::ReleaseElements(
        env_, array_, items_, access_ == Access::kReadOnly ? JNI_ABORT : 0);
  }
  ArrayElements(const ArrayElements&) = delete;
  ArrayElements& operator=(const ArrayElements&) = delete;

  J* data() { return items_; }
  const J* data() const { return items_; }
  jsize size() const { return size_; }

 private:
  JNIEnv* env_;
  typename ArrayTraits<J>::Array array_;
  Access access_;
  jsize size_ = 0;
  J* items_ = nullptr;
};

// A new Java array of count elements of the named class, all null.
jobjectArray NewJavaObjectArray(JNIEnv* env, const char* element_class,
                                jsize count);

// Element i of a Java object array, owned by the returned LocalRef.
LocalRef<jobject> GetArrayElement(JNIEnv* env, jobjectArray array, jsize i);

// Stores value at index i of a Java object array.
void SetArrayElement(JNIEnv* env, jobjectArray array, jsize i, jobject value);

// The UTF-8 texts of a Java String array, in order. A null element throws
// std::invalid_argument "Unexpected null Java string."; one holding U+0000
// is refused as JavaStringToNative refuses it, what naming the texts.
// REQUIRES: array != nullptr.
std::vector<std::string> JavaStringsToNative(JNIEnv* env, jobjectArray array,
                                             const char* what);

// A new Java String array holding texts in order (null entries stay null).
jobjectArray NativeToJavaStrings(JNIEnv* env,
                                 const std::vector<std::string>& texts);

}  // namespace qelta::jni

// ------------------------------------------------------------ strings

// The UTF-8 form of one Java string, NUL-terminated, valid for the life of
// the object. A null string throws std::invalid_argument "Unexpected null
// Java string."; an unpaired surrogate throws std::invalid_argument what +
// " is not valid UTF-16: unpaired surrogate U+D800 at index 5" (its unit and
// index). The Java characters are released before the constructor returns,
// also when it throws. A string holding U+0000 throws std::invalid_argument
// what + " cannot contain U+0000", what saying what the text is for ("Node
// name", kFileName, ...): the engine would see its text cut there (an
// equation "y = 3" followed by anything, a node name, a file name).
class JavaStringToNative {
 public:
  JavaStringToNative(JNIEnv* env, jstring text, const char* what);

  JavaStringToNative(const JavaStringToNative&) = delete;
  JavaStringToNative& operator=(const JavaStringToNative&) = delete;

  const char* c_str() const { return text_.c_str(); }
  const std::string& str() const { return text_; }

 private:
  std::string text_;
};

// A new Java string from UTF-8 text; null text gives null. Plain ASCII
// takes the fast path through NewStringUTF. Malformed UTF-8 throws utfcpp's
// exception ("Invalid UTF-8", "Invalid code point"); a failed allocation
// throws qelta::jni::JavaExceptionPending.
jstring NativeToJavaString(JNIEnv* env, const char* text);

inline jstring NativeToJavaString(JNIEnv* env, const std::string& text) {
  return NativeToJavaString(env, text.c_str());
}

// A new Java String array with the entries of a VRN_stringArray, in order.
jobjectArray StringArrayToJava(JNIEnv* env, const VRN_stringArray& strings);

#endif  // QELTA_JNI_FRAME_H_
