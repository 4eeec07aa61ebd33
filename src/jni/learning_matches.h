// Conversion of Java DataMatch arrays and the network argument shared by
// the parameter-learning and validation bridges. Everything here throws on
// failure, as the frame expects.
#ifndef QELTA_JNI_LEARNING_MATCHES_H_
#define QELTA_JNI_LEARNING_MATCHES_H_

#include <jni.h>

#include <stdexcept>
#include <vector>

#include "jni/frame.h"
#include "learning/dataset.h"
#include "network/network.h"

namespace qelta::jni {

// The column-to-node matches of a Java DataMatch[]; a null or empty array
// is refused with "No matching specified".
inline std::vector<VRN_dataMatch> ReadDataMatchArray(JNIEnv* env, jobjectArray array) {
  if (array == nullptr || ArrayLength(env, array) == 0) {
    throw std::invalid_argument("No matching specified");
  }
  const jsize n = ArrayLength(env, array);
  LocalRef<jclass> cls = FindClass(env, "qelta/learning/DataMatch");
  const jfieldID column = GetFieldId(env, cls.get(), "column", "I");
  const jfieldID node = GetFieldId(env, cls.get(), "node", "I");
  const jfieldID slice = GetFieldId(env, cls.get(), "slice", "I");
  std::vector<VRN_dataMatch> matches(static_cast<std::size_t>(n));
  for (jsize i = 0; i < n; ++i) {
    LocalRef<jobject> element = GetArrayElement(env, array, i);
    if (element.get() == nullptr) throw std::invalid_argument("DataMatch can't be null");
    VRN_dataMatch& m = matches[static_cast<std::size_t>(i)];
    m.node = env->GetIntField(element.get(), node);
    m.slice = env->GetIntField(element.get(), slice);
    m.column = env->GetIntField(element.get(), column);
  }
  return matches;
}

// The network behind a Java Network argument; a null one is refused.
inline VRN_network& NetworkArgument(JNIEnv* env, jobject net) {
  if (net == nullptr) throw std::invalid_argument("Network can't be null");
  VRN_network* network = GetNative<VRN_network>(env, net);
  qelta::CallLogScope::Use(network->ErrorLog());
  return *network;
}

}  // namespace qelta::jni

#endif  // QELTA_JNI_LEARNING_MATCHES_H_
