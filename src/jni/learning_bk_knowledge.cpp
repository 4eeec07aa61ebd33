// Bridge of qelta.learning.BkKnowledge: background knowledge for structure
// learning. The Java methods fill and read the record directly, with the
// checks below; files and matching go through the engine.
#include "qelta_learning_BkKnowledge.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/engine_error.h"
#include "base/status.h"
#include "jni/frame.h"
#include "learning/bk_knowledge.h"
#include "learning/dataset.h"

using qelta::jni::Guarded;

namespace {

using Pairs = std::vector<VRN_bkKnowledge::Pair>;

VRN_bkKnowledge& Knowledge(JNIEnv* env, jobject obj) {
  return *qelta::jni::GetNative<VRN_bkKnowledge>(env, obj);
}

// Fails unless 0 <= variable < the variable count.
void ValidateBkVariableIndex(const VRN_bkKnowledge& record, int variable) {
  if (variable >= 0 && static_cast<std::size_t>(variable) < record.variables.size()) return;
  throw std::invalid_argument("Invalid variable index: " + std::to_string(variable));
}

// The index of the variable with that identifier.
int BkVariableIdToIndex(JNIEnv* env, const VRN_bkKnowledge& record, jstring id) {
  JavaStringToNative text(env, id, "Variable identifier");
  const int variable = record.FindVariable(text.str());
  if (variable < 0) throw std::invalid_argument("Invalid variable id: '" + text.str() + "'");
  return variable;
}

// Appends (parent, child) to list. While the record has no variables any
// non-negative index passes, so arcs can precede the variables.
void AddBkArc(const VRN_bkKnowledge& record, Pairs* list, int parent, int child) {
  const long n = static_cast<long>(record.variables.size());
  if (parent < 0 || (n > 0 && parent >= n)) {
    throw std::invalid_argument("Invalid variable index for arc start: " + std::to_string(parent));
  }
  if (child < 0 || (n > 0 && child >= n)) {
    throw std::invalid_argument("Invalid variable index for arc end: " + std::to_string(child));
  }
  if (std::find(list->begin(), list->end(), VRN_bkKnowledge::Pair(parent, child)) != list->end()) {
    throw std::invalid_argument("Arc between variables " + std::to_string(parent) + " and " +
                                std::to_string(child) + " already exists.");
  }
  list->emplace_back(parent, child);
}

// The children of parent in list, in list order, as a new Java int array.
jintArray BkChildrenToJava(JNIEnv* env, const VRN_bkKnowledge& record, const Pairs& list,
                           int parent) {
  ValidateBkVariableIndex(record, parent);
  std::vector<jint> children;
  for (const VRN_bkKnowledge::Pair& arc : list) {
    if (arc.first == parent) children.push_back(arc.second);
  }
  return qelta::jni::NewJavaArray<jint>(env, children);
}

void SetTier(VRN_bkKnowledge& record, int variable, int tier) {
  for (VRN_bkKnowledge::Pair& entry : record.tiers) {
    if (entry.first == variable) {
      entry.second = tier;
      return;
    }
  }
  record.tiers.emplace_back(variable, tier);
}

}  // namespace

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    createNative
 * Signature: (Ljava/lang/Object;)J
 */
extern "C" JNIEXPORT jlong JNICALL Java_qelta_learning_BkKnowledge_createNative(JNIEnv* env, jobject obj, jobject unused) {
  return Guarded(env, [&] { return qelta::jni::ToHandle(new VRN_bkKnowledge()); });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    deleteNative
 * Signature: (J)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BkKnowledge_deleteNative(JNIEnv* env, jclass cls, jlong handle) {
  Guarded(env, [&] { qelta::jni::ReleaseHandle(handle); });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    readFile
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BkKnowledge_readFile(JNIEnv* env, jobject obj, jstring file) {
  Guarded(env, [&] {
    VRN_bkKnowledge& record = Knowledge(env, obj);
    JavaStringToNative name(env, file, qelta::jni::kFileName);
    std::string error;
    const int status = record.ReadFile(name.str(), &error);
    if (status != qelta::kOk) ReportErrorWithMessage("ReadFile", status, error);
  });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    writeFile
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BkKnowledge_writeFile(JNIEnv* env, jobject obj, jstring file) {
  Guarded(env, [&] {
    VRN_bkKnowledge& record = Knowledge(env, obj);
    JavaStringToNative name(env, file, qelta::jni::kFileName);
    std::string error;
    const int status = record.WriteFile(name.str(), &error);
    if (status != qelta::kOk) ReportErrorWithMessage("WriteFile", status, error);
  });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    matchData
 * Signature: (Lqelta/learning/DataSet;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BkKnowledge_matchData(JNIEnv* env, jobject obj, jobject data) {
  Guarded(env, [&] {
    VRN_bkKnowledge& record = Knowledge(env, obj);
    if (data == nullptr) throw std::invalid_argument("DataSet can't be null");
    const VRN_dataset& dataset = *qelta::jni::GetNative<VRN_dataset>(env, data);
    std::string error;
    const int status = record.MatchData(dataset, &error);
    if (status != qelta::kOk) ReportErrorWithMessage("MatchData", status, error);
  });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    getVariableCount
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_BkKnowledge_getVariableCount(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Knowledge(env, obj).variables.size()); });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    getVariableId
 * Signature: (I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_learning_BkKnowledge_getVariableId(JNIEnv* env, jobject obj, jint variable) {
  return Guarded(env, [&] {
    const VRN_bkKnowledge& record = Knowledge(env, obj);
    ValidateBkVariableIndex(record, variable);
    return NativeToJavaString(env, record.variables[static_cast<std::size_t>(variable)].id);
  });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    findVariable
 * Signature: (Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_BkKnowledge_findVariable(JNIEnv* env, jobject obj, jstring id) {
  return Guarded(env, [&] {
    const VRN_bkKnowledge& record = Knowledge(env, obj);
    JavaStringToNative text(env, id, "Variable identifier");
    return static_cast<jint>(record.FindVariable(text.str()));
  });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    addVariable
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BkKnowledge_addVariable(JNIEnv* env, jobject obj, jstring id) {
  Guarded(env, [&] {
    VRN_bkKnowledge& record = Knowledge(env, obj);
    JavaStringToNative text(env, id, "Variable identifier");
    if (record.FindVariable(text.str()) >= 0) {
      throw std::invalid_argument("Duplicate variable id: " + text.str());
    }
    int m = 0;  // the lowest box edge so far: the new box goes below it
    for (const VRN_bkVariable& variable : record.variables) {
      if (variable.position.size() != 4) continue;
      m = std::max({m, variable.position[2], variable.position[3]});
    }
    record.variables.push_back(VRN_bkVariable{text.str(), std::string(), {10, m + 10, 82, m + 46}});
  });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    getTier
 * Signature: (I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_BkKnowledge_getTier__I(JNIEnv* env, jobject obj, jint variable) {
  return Guarded(env, [&] {
    const VRN_bkKnowledge& record = Knowledge(env, obj);
    ValidateBkVariableIndex(record, variable);
    return static_cast<jint>(record.GetTier(variable));
  });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    getTier
 * Signature: (Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_BkKnowledge_getTier__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring variableId) {
  return Guarded(env, [&] {
    const VRN_bkKnowledge& record = Knowledge(env, obj);
    return static_cast<jint>(record.GetTier(BkVariableIdToIndex(env, record, variableId)));
  });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    setTier
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BkKnowledge_setTier__II(JNIEnv* env, jobject obj, jint variable, jint tier) {
  Guarded(env, [&] {
    VRN_bkKnowledge& record = Knowledge(env, obj);
    ValidateBkVariableIndex(record, variable);
    SetTier(record, variable, tier);
  });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    setTier
 * Signature: (Ljava/lang/String;I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BkKnowledge_setTier__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring variableId, jint tier) {
  Guarded(env, [&] {
    VRN_bkKnowledge& record = Knowledge(env, obj);
    SetTier(record, BkVariableIdToIndex(env, record, variableId), tier);
  });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    addForcedArc
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BkKnowledge_addForcedArc__II(JNIEnv* env, jobject obj, jint parent, jint child) {
  Guarded(env, [&] {
    VRN_bkKnowledge& record = Knowledge(env, obj);
    AddBkArc(record, &record.forcedArcs, parent, child);
  });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    addForcedArc
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BkKnowledge_addForcedArc__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring parentId, jstring childId) {
  Guarded(env, [&] {
    VRN_bkKnowledge& record = Knowledge(env, obj);
    const int child = BkVariableIdToIndex(env, record, childId);
    const int parent = BkVariableIdToIndex(env, record, parentId);
    AddBkArc(record, &record.forcedArcs, parent, child);
  });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    addForbiddenArc
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BkKnowledge_addForbiddenArc__II(JNIEnv* env, jobject obj, jint parent, jint child) {
  Guarded(env, [&] {
    VRN_bkKnowledge& record = Knowledge(env, obj);
    AddBkArc(record, &record.forbiddenArcs, parent, child);
  });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    addForbiddenArc
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_BkKnowledge_addForbiddenArc__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring parentId, jstring childId) {
  Guarded(env, [&] {
    VRN_bkKnowledge& record = Knowledge(env, obj);
    const int child = BkVariableIdToIndex(env, record, childId);
    const int parent = BkVariableIdToIndex(env, record, parentId);
    AddBkArc(record, &record.forbiddenArcs, parent, child);
  });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    getForcedChildren
 * Signature: (I)[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_learning_BkKnowledge_getForcedChildren(JNIEnv* env, jobject obj, jint parent) {
  return Guarded(env, [&] {
    const VRN_bkKnowledge& record = Knowledge(env, obj);
    return BkChildrenToJava(env, record, record.forcedArcs, parent);
  });
}

/*
 * Class:     qelta_learning_BkKnowledge
 * Method:    getForbiddenChildren
 * Signature: (I)[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_learning_BkKnowledge_getForbiddenChildren(JNIEnv* env, jobject obj, jint parent) {
  return Guarded(env, [&] {
    const VRN_bkKnowledge& record = Knowledge(env, obj);
    return BkChildrenToJava(env, record, record.forbiddenArcs, parent);
  });
}
