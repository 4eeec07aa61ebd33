// Shared frame of every JNI export: the cached field of the native pointer.
//
// Every Java class that owns a native object derives from qelta.Wrapper,
// whose long field ptrNative holds the object's address. Its field ID is
// looked up once, by Wrapper.staticInitNative, and read by every export.
#ifndef QELTA_JNI_FRAME_H_
#define QELTA_JNI_FRAME_H_

#include <jni.h>

namespace qelta::jni {

// The library version reported to Java.
inline constexpr const char* kLibraryVersion = "2.2.4";

// Field ID of qelta.Wrapper.ptrNative; null until staticInitNative has run.
extern jfieldID g_ptr_native_field;

}  // namespace qelta::jni

#endif  // QELTA_JNI_FRAME_H_
