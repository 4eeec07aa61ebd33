#include "jni/frame.h"

namespace qelta::jni {

jfieldID g_ptr_native_field = nullptr;

}  // namespace qelta::jni
