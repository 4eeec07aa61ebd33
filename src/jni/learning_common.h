// Helpers shared by the bridges of the learners of package qelta.learning:
// the data-set argument, the background-knowledge copies and the Java
// result objects. Everything here throws on failure, as the frame expects.
#ifndef QELTA_JNI_LEARNING_COMMON_H_
#define QELTA_JNI_LEARNING_COMMON_H_

#include <jni.h>

#include <stdexcept>

#include "jni/frame.h"
#include "learning/bk_knowledge.h"
#include "learning/dataset.h"
#include "network/network.h"

namespace qelta::jni {

// The data set behind a Java DataSet argument; a null one is refused.
inline VRN_dataset& DataSetArgument(JNIEnv* env, jobject data) {
  if (data == nullptr) throw std::invalid_argument("DataSet can't be null");
  return *GetNative<VRN_dataset>(env, data);
}

// A new Java BkKnowledge holding a copy of knowledge.
inline jobject KnowledgeToJava(JNIEnv* env, const VRN_bkKnowledge& knowledge) {
  jobject object = NewJavaObject(env, "qelta/learning/BkKnowledge", "()V");
  *GetNative<VRN_bkKnowledge>(env, object) = knowledge;
  return object;
}

// Copies the knowledge of a Java BkKnowledge into target; a null one is
// refused and target stays.
inline void KnowledgeFromJava(JNIEnv* env, jobject object, VRN_bkKnowledge& target) {
  if (object == nullptr) throw std::invalid_argument("BkKnowledge can't be null");
  target = *GetNative<VRN_bkKnowledge>(env, object);
}

// A new Java Network and its native network.
inline jobject NewNetwork(JNIEnv* env, VRN_network** native) {
  jobject object = NewJavaObject(env, "qelta/Network", "()V");
  *native = GetNative<VRN_network>(env, object);
  qelta::CallLogScope::Use((*native)->ErrorLog());
  return object;
}

}  // namespace qelta::jni

#endif  // QELTA_JNI_LEARNING_COMMON_H_
