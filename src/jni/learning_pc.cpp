// Bridge of qelta.learning.PC: the options of PC structure learning and the
// learn that returns a new pattern.
#include "qelta_learning_PC.h"

#include <stdexcept>
#include <string>

#include "base/engine_error.h"
#include "base/status.h"
#include "jni/codes.h"
#include "jni/frame.h"
#include "jni/learning_common.h"
#include "learning/pattern.h"
#include "learning/pc.h"

using qelta::jni::Guarded;

namespace {

VRN_pc& Record(JNIEnv* env, jobject obj) { return *qelta::jni::GetNative<VRN_pc>(env, obj); }

}  // namespace

/*
 * Class:     qelta_learning_PC
 * Method:    createNative
 * Signature: (Ljava/lang/Object;)J
 */
extern "C" JNIEXPORT jlong JNICALL Java_qelta_learning_PC_createNative(JNIEnv* env, jobject obj, jobject unused) {
  return Guarded(env, [&] { return qelta::jni::ToHandle(new VRN_pc()); });
}

/*
 * Class:     qelta_learning_PC
 * Method:    deleteNative
 * Signature: (J)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_PC_deleteNative(JNIEnv* env, jclass cls, jlong handle) {
  Guarded(env, [&] { qelta::jni::ReleaseHandle(handle); });
}

/*
 * Class:     qelta_learning_PC
 * Method:    getMaxAdjacency
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_PC_getMaxAdjacency(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Record(env, obj).maxAdjacency); });
}

/*
 * Class:     qelta_learning_PC
 * Method:    setMaxAdjacency
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_PC_setMaxAdjacency(JNIEnv* env, jobject obj, jint value) {
  Guarded(env, [&] {
    VRN_pc& record = Record(env, obj);
    qelta::jni::ValidateAtLeast("maxAdjacency", value, 0);
    record.maxAdjacency = static_cast<int>(value);
  });
}

/*
 * Class:     qelta_learning_PC
 * Method:    getMaxSearchTime
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_PC_getMaxSearchTime(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Record(env, obj).maxSearchTime); });
}

/*
 * Class:     qelta_learning_PC
 * Method:    setMaxSearchTime
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_PC_setMaxSearchTime(JNIEnv* env, jobject obj, jint value) {
  Guarded(env, [&] { Record(env, obj).maxSearchTime = static_cast<int>(value); });
}

/*
 * Class:     qelta_learning_PC
 * Method:    getSignificance
 * Signature: ()D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_learning_PC_getSignificance(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jdouble>(Record(env, obj).significance); });
}

/*
 * Class:     qelta_learning_PC
 * Method:    setSignificance
 * Signature: (D)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_PC_setSignificance(JNIEnv* env, jobject obj, jdouble value) {
  Guarded(env, [&] {
    VRN_pc& record = Record(env, obj);
    qelta::jni::ValidateProbability("significance", value, true);
    record.significance = static_cast<double>(value);
  });
}

/*
 * Class:     qelta_learning_PC
 * Method:    getBkKnowledge
 * Signature: ()Lqelta/learning/BkKnowledge;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_PC_getBkKnowledge(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return qelta::jni::KnowledgeToJava(env, Record(env, obj).bkKnowledge); });
}

/*
 * Class:     qelta_learning_PC
 * Method:    setBkKnowledge
 * Signature: (Lqelta/learning/BkKnowledge;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_PC_setBkKnowledge(JNIEnv* env, jobject obj, jobject knowledge) {
  Guarded(env, [&] { qelta::jni::KnowledgeFromJava(env, knowledge, Record(env, obj).bkKnowledge); });
}

/*
 * Class:     qelta_learning_PC
 * Method:    learn
 * Signature: (Lqelta/learning/DataSet;)Lqelta/learning/Pattern;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_PC_learn(JNIEnv* env, jobject obj, jobject data) {
  return Guarded(env, [&] {
    jobject result = qelta::jni::NewJavaObject(env, "qelta/learning/Pattern", "()V");
    VRN_pattern& pattern = *qelta::jni::GetNative<VRN_pattern>(env, result);
    const VRN_pc& record = Record(env, obj);
    const VRN_dataset& dataset = qelta::jni::DataSetArgument(env, data);
    std::string error;
    const int status = record.Learn(dataset, pattern, &error, nullptr);
    // The reason after a line feed, as the other structure learners give
    // their logged reasons.
    if (status != qelta::kOk) {
      ReportErrorWithMessage("Learn", status,
                             error.empty() ? error : "\n" + error);
    }
    return result;
  });
}
