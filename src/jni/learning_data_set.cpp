// Bridge of qelta.learning.DataSet: the data set behind the Java object,
// its cells and variables, its delimited text file, matching its columns to
// a network and discretizing a variable. Every index and kind is checked
// here before the engine sees it.
#include "qelta_learning_DataSet.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "base/engine_error.h"
#include "base/special_values.h"
#include "base/status.h"
#include "jni/codes.h"
#include "jni/frame.h"
#include "learning/dataset.h"
#include "network/network.h"

using qelta::jni::Guarded;

namespace {

VRN_dataset& Data(JNIEnv* env, jobject obj) {
  return *qelta::jni::GetNative<VRN_dataset>(env, obj);
}

// Fails unless 0 <= variable < the variable count.
void ValidateDataSetVariable(const VRN_dataset& data, int variable) {
  if (variable < 0) throw std::runtime_error("Negative variable index");
  const int count = data.GetVariableCount();
  if (variable < count) return;
  if (count == 0) throw std::runtime_error("DataSet object has no variables");
  throw std::runtime_error("Invalid variable index " + std::to_string(variable) +
                           ", valid range is 0.." + std::to_string(count - 1));
}

// The variable check, then 0 <= record < the record count in use.
void ValidateDataSetRecord(const VRN_dataset& data, int variable, int record) {
  ValidateDataSetVariable(data, variable);
  if (record < 0) throw std::runtime_error("Negative record index");
  const int count = data.GetRecordCount();
  if (record < count) return;
  if (count == 0) throw std::runtime_error("DataSet object has no records");
  throw std::runtime_error("Invalid record index " + std::to_string(record) +
                           ", valid range is 0.." + std::to_string(count - 1));
}

// Fails unless the variable is of the asked kind.
void CheckDataSetVariableKind(const VRN_dataset& data, int variable, bool discrete) {
  const VRN_datasetVariable& v = data.GetVariable(variable);
  if (v.discrete == discrete) return;
  throw std::runtime_error("Variable '" + v.id + (discrete ? "' is continuous" : "' is discrete"));
}

}  // namespace

/*
 * Class:     qelta_learning_DataSet
 * Method:    createNative
 * Signature: (Ljava/lang/Object;)J
 */
extern "C" JNIEXPORT jlong JNICALL Java_qelta_learning_DataSet_createNative(JNIEnv* env, jobject obj, jobject unused) {
  return Guarded(env, [&] { return qelta::jni::ToHandle(new VRN_dataset()); });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    deleteNative
 * Signature: (J)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_DataSet_deleteNative(JNIEnv* env, jclass cls, jlong handle) {
  Guarded(env, [&] { qelta::jni::ReleaseHandle(handle); });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    getRecordCount
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_DataSet_getRecordCount(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Data(env, obj).GetRecordCount()); });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    getVariableCount
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_DataSet_getVariableCount(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Data(env, obj).GetVariableCount()); });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    addEmptyRecord
 * Signature: ()V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_DataSet_addEmptyRecord(JNIEnv* env, jobject obj) {
  Guarded(env, [&] { Data(env, obj).AddEmptyRecord(); });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    getVariableId
 * Signature: (I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_learning_DataSet_getVariableId(JNIEnv* env, jobject obj, jint variable) {
  return Guarded(env, [&] {
    const VRN_dataset& data = Data(env, obj);
    if (variable < 0 || variable >= data.GetVariableCount()) {
      throw std::invalid_argument("Invalid variable index: " + std::to_string(variable));
    }
    return NativeToJavaString(env, data.GetVariable(variable).id);
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    findVariable
 * Signature: (Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_DataSet_findVariable(JNIEnv* env, jobject obj, jstring id) {
  return Guarded(env, [&] {
    const VRN_dataset& data = Data(env, obj);
    JavaStringToNative text(env, id, "Variable identifier");
    return static_cast<jint>(data.FindVariable(text.str()));
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    isDiscrete
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_learning_DataSet_isDiscrete__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring variableId) {
  return Guarded(env, [&] {
    const VRN_dataset& data = Data(env, obj);
    JavaStringToNative text(env, variableId, "Variable identifier");
    const int variable = data.FindVariable(text.str());
    if (variable < 0) {
      throw std::invalid_argument("Variable does not exist in the dataset: '" + text.str() + "'");
    }
    return static_cast<jboolean>(data.GetVariable(variable).discrete ? JNI_TRUE : JNI_FALSE);
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    isDiscrete
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_learning_DataSet_isDiscrete__I(JNIEnv* env, jobject obj, jint variable) {
  return Guarded(env, [&] {
    const VRN_dataset& data = Data(env, obj);
    ValidateDataSetVariable(data, variable);
    return static_cast<jboolean>(data.GetVariable(variable).discrete ? JNI_TRUE : JNI_FALSE);
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    isMissing
 * Signature: (II)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_learning_DataSet_isMissing(JNIEnv* env, jobject obj, jint variable, jint record) {
  return Guarded(env, [&] {
    const VRN_dataset& data = Data(env, obj);
    ValidateDataSetRecord(data, variable, record);
    return static_cast<jboolean>(data.IsMissing(variable, record) ? JNI_TRUE : JNI_FALSE);
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    setMissing
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_DataSet_setMissing(JNIEnv* env, jobject obj, jint variable, jint record) {
  Guarded(env, [&] {
    VRN_dataset& data = Data(env, obj);
    ValidateDataSetRecord(data, variable, record);
    data.SetMissing(variable, record);
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    getInt
 * Signature: (II)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_learning_DataSet_getInt(JNIEnv* env, jobject obj, jint variable, jint record) {
  return Guarded(env, [&] {
    const VRN_dataset& data = Data(env, obj);
    ValidateDataSetRecord(data, variable, record);
    CheckDataSetVariableKind(data, variable, true);
    return static_cast<jint>(data.GetInt(variable, record));
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    setInt
 * Signature: (III)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_DataSet_setInt(JNIEnv* env, jobject obj, jint variable, jint record, jint value) {
  Guarded(env, [&] {
    VRN_dataset& data = Data(env, obj);
    ValidateDataSetRecord(data, variable, record);
    CheckDataSetVariableKind(data, variable, true);
    data.SetInt(variable, record, value);
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    getFloat
 * Signature: (II)F
 */
extern "C" JNIEXPORT jfloat JNICALL Java_qelta_learning_DataSet_getFloat(JNIEnv* env, jobject obj, jint variable, jint record) {
  return Guarded(env, [&] {
    const VRN_dataset& data = Data(env, obj);
    ValidateDataSetRecord(data, variable, record);
    CheckDataSetVariableKind(data, variable, false);
    return static_cast<jfloat>(data.GetFloat(variable, record));
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    setFloat
 * Signature: (IIF)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_DataSet_setFloat(JNIEnv* env, jobject obj, jint variable, jint record, jfloat value) {
  Guarded(env, [&] {
    VRN_dataset& data = Data(env, obj);
    ValidateDataSetRecord(data, variable, record);
    CheckDataSetVariableKind(data, variable, false);
    data.SetFloat(variable, record, value);
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    addIntVariable
 * Signature: (Ljava/lang/String;I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_DataSet_addIntVariable(JNIEnv* env, jobject obj, jstring id, jint missingValue) {
  Guarded(env, [&] {
    VRN_dataset& data = Data(env, obj);
    JavaStringToNative text(env, id, "Variable identifier");
    const int status = data.addIntVariable(text.str(), missingValue);
    if (status == qelta::kErrDuplicatedIdentifier) {
      ReportErrorWithMessage("addIntVariable", status,
                             "Variable identifier '" + text.str() + "' is already in use");
    }
    if (status != qelta::kOk) ReportError("addIntVariable", status);
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    addFloatVariable
 * Signature: (Ljava/lang/String;F)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_DataSet_addFloatVariable(JNIEnv* env, jobject obj, jstring id, jfloat missingValue) {
  Guarded(env, [&] {
    VRN_dataset& data = Data(env, obj);
    JavaStringToNative text(env, id, "Variable identifier");
    const int status = data.addFloatVariable(text.str(), missingValue);
    if (status == qelta::kErrDuplicatedIdentifier) {
      ReportErrorWithMessage("addFloatVariable", status,
                             "Variable identifier '" + text.str() + "' is already in use");
    }
    if (status != qelta::kOk) ReportError("addFloatVariable", status);
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    getStateNames
 * Signature: (I)[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_learning_DataSet_getStateNames(JNIEnv* env, jobject obj, jint variable) {
  return Guarded(env, [&] {
    const VRN_dataset& data = Data(env, obj);
    ValidateDataSetVariable(data, variable);
    return qelta::jni::NativeToJavaStrings(env, data.GetVariable(variable).stateNames);
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    setStateNames
 * Signature: (I[Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_DataSet_setStateNames(JNIEnv* env, jobject obj, jint variable, jobjectArray names) {
  Guarded(env, [&] {
    VRN_dataset& data = Data(env, obj);
    ValidateDataSetVariable(data, variable);
    if (names == nullptr) throw std::invalid_argument("State names array can't be null");
    const jsize count = env->GetArrayLength(names);
    std::vector<std::string> texts(static_cast<std::size_t>(count));
    for (jsize i = 0; i < count; ++i) {
      qelta::jni::LocalRef<jobject> element = qelta::jni::GetArrayElement(env, names, i);
      if (element.get() == nullptr) {
        throw std::invalid_argument("State name can't be null (index " + std::to_string(i) + ")");
      }
      texts[static_cast<std::size_t>(i)] =
          JavaStringToNative(env, static_cast<jstring>(element.get()), "State name").str();
    }
    const int status = data.setStateNames(variable, texts);
    if (status == qelta::kErrInvalidValue && !data.GetVariable(variable).discrete) {
      ReportErrorWithMessage("setStateNames", status,
                             "Variable '" + data.GetVariable(variable).id +
                                 "' holds numbers: only a variable of ints has state names");
    }
    if (status != qelta::kOk) ReportError("setStateNames", status);
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    readFile
 * Signature: (Ljava/lang/String;Ljava/lang/String;IFZ)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_DataSet_readFile(JNIEnv* env, jobject obj, jstring file, jstring missingToken, jint missingInt, jfloat missingFloat, jboolean hasColumnIds) {
  Guarded(env, [&] {
    VRN_datasetReadOptions options;
    if (missingToken != nullptr) options.missingValueToken = JavaStringToNative(env, missingToken, "Missing value token").str();
    options.missingInt = missingInt;
    options.missingFloat = missingFloat;
    options.columnIdsPresent = hasColumnIds != JNI_FALSE;
    VRN_dataset& data = Data(env, obj);
    std::string error;
    const qelta::ClassicLocaleScope locale;
    JavaStringToNative name(env, file, qelta::jni::kFileName);
    const int status = data.ReadFile(name.str(), &options, &error);
    if (status != qelta::kOk) ReportErrorWithMessage("ReadFile", status, error);
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    writeFile
 * Signature: (Ljava/lang/String;CLjava/lang/String;Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_DataSet_writeFile(JNIEnv* env, jobject obj, jstring file, jchar separator, jstring missingToken, jboolean writeColumnIds) {
  Guarded(env, [&] {
    VRN_datasetWriteOptions options;
    if (missingToken != nullptr) options.missingValueToken = JavaStringToNative(env, missingToken, "Missing value token").str();
    // Above U+007F the low byte alone would split UTF-8 text; CR, LF and
    // the quote would break the file's lines and fields.
    if (separator != 0) {
      if (separator > 0x7F || separator == '\r' || separator == '\n' || separator == '"') {
        throw std::invalid_argument("Invalid separator character");
      }
      options.separator = static_cast<char>(separator);
    }
    options.columnIdsPresent = writeColumnIds != JNI_FALSE;
    const VRN_dataset& data = Data(env, obj);
    std::string error;
    const qelta::ClassicLocaleScope locale;
    JavaStringToNative name(env, file, qelta::jni::kFileName);
    const int status = data.WriteFile(name.str(), &options, &error);
    if (status != qelta::kOk) ReportErrorWithMessage("WriteFile", status, error);
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    matchNetwork
 * Signature: (Lqelta/Network;)[Lqelta/learning/DataMatch;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_learning_DataSet_matchNetwork(JNIEnv* env, jobject obj, jobject net) {
  return Guarded(env, [&] {
    VRN_dataset& data = Data(env, obj);
    if (net == nullptr) throw std::invalid_argument("Network can't be null");
    VRN_network& network = *qelta::jni::GetNative<VRN_network>(env, net);
    qelta::CallLogScope::Use(network.ErrorLog());
    std::vector<VRN_dataMatch> matches;
    std::string error;
    const int status = data.MatchNetwork(network, matches, error);
    if (status != qelta::kOk) ReportErrorWithMessage("MatchNetwork", status, error);
    jobjectArray result = qelta::jni::NewJavaObjectArray(env, "qelta/learning/DataMatch",
                                                         static_cast<jsize>(matches.size()));
    for (std::size_t i = 0; i < matches.size(); ++i) {
      qelta::jni::LocalRef<jobject> match(
          env, qelta::jni::NewJavaObject(env, "qelta/learning/DataMatch", "(III)V",
                                         static_cast<jint>(matches[i].column),
                                         static_cast<jint>(matches[i].node),
                                         static_cast<jint>(matches[i].slice)));
      qelta::jni::SetArrayElement(env, result, static_cast<jsize>(i), match.get());
    }
    return result;
  });
}

/*
 * Class:     qelta_learning_DataSet
 * Method:    discretize
 * Signature: (IIILjava/lang/String;)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_learning_DataSet_discretize(JNIEnv* env, jobject obj, jint variable, jint method, jint binCount, jstring statePrefix) {
  return Guarded(env, [&] {
    VRN_dataset& data = Data(env, obj);
    ValidateDataSetVariable(data, variable);
    qelta::jni::ValidateCode(qelta::jni::kDiscretizationMethods, "method", method);
    const std::string prefix =
        statePrefix != nullptr ? JavaStringToNative(env, statePrefix, "State prefix").str() : std::string();
    std::vector<double> edges;
    const int status = data.Discretize(variable, method, binCount, prefix, &edges);
    if (status == qelta::kErrWrongNumStates) {
      ReportErrorWithMessage("Discretize", status,
                             "Bin count " + std::to_string(binCount) + " is below 2");
    }
    if (status == qelta::kErrNoItem) {
      ReportErrorWithMessage("Discretize", status, "Discretizing needs 2 or more values");
    }
    if (status == qelta::kErrOutOfRange && binCount > VRN_dataset::kMaxBins) {
      ReportErrorWithMessage("Discretize", status,
                             "Bin count " + std::to_string(binCount) + " is above " +
                                 std::to_string(VRN_dataset::kMaxBins));
    }
    if (status != qelta::kOk) ReportError("Discretize", status);
    return qelta::jni::NewJavaArray<jdouble>(env, edges);
  });
}
