// Helpers shared by the bridges of the learners of package qelta.learning:
// the data-set argument, the background-knowledge copies and the Java
// result objects. Everything here throws on failure, as the frame expects.
#ifndef QELTA_JNI_LEARNING_COMMON_H_
#define QELTA_JNI_LEARNING_COMMON_H_

#include <jni.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "base/status.h"
#include "jni/frame.h"
#include "learning/bk_knowledge.h"
#include "learning/dataset.h"
#include "learning/em.h"
#include "network/network.h"

namespace qelta::jni {

// The data set behind a Java DataSet argument; a null one is refused.
inline VRN_dataset& DataSetArgument(JNIEnv* env, jobject data) {
  if (data == nullptr) throw std::invalid_argument("DataSet can't be null");
  return *GetNative<VRN_dataset>(env, data);
}

// The options of a Java EM: its native record with the stopping options
// that the Java object keeps in its fields "tolerance" and "maxPasses".
// A null EM, or a field that its setters would have refused, is refused.
inline VRN_em EmOptions(JNIEnv* env, jobject em) {
  if (em == nullptr) throw std::invalid_argument("EM can't be null");
  VRN_em options = *GetNative<VRN_em>(env, em);
  LocalRef<jclass> cls = GetObjectClass(env, em);
  const jdouble tolerance = env->GetDoubleField(em, GetFieldId(env, cls.get(), "tolerance", "D"));
  const jint passes = env->GetIntField(em, GetFieldId(env, cls.get(), "maxPasses", "I"));
  if (options.SetTolerance(tolerance) != qelta::kOk) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", tolerance);
    throw std::invalid_argument(std::string("EM tolerance must be finite and not negative: ") +
                                text);
  }
  if (options.SetMaxPasses(passes) != qelta::kOk) {
    throw std::invalid_argument("EM pass cap must be at least 1: " + std::to_string(passes));
  }
  return options;
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
