// Bridge of qelta.spark.NativeEm: the pieces of an EM run that a Spark
// driver and its workers call (learning/em_session.h). The class is not
// one of the library's public classes; its methods are declared here by
// hand, as no generated header covers it.
#include <jni.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/engine_error.h"
#include "base/status.h"
#include "jni/frame.h"
#include "jni/learning_matches.h"
#include "learning/em_session.h"

using qelta::jni::Guarded;

namespace {

VRN_emSession& Session(JNIEnv* env, jobject obj) { return *qelta::jni::GetNative<VRN_emSession>(env, obj); }

// Raises the session's failure as the one-machine learner's does.
void Check(int status, const std::string& error) {
  if (status < 0) ReportErrorWithMessage("Learn", status, error);
}

// The values of a Java array that must hold exactly count of them.
template <typename J>
std::vector<J> Exactly(JNIEnv* env, typename qelta::jni::ArrayTraits<J>::Array array, long long count,
                       const char* what) {
  qelta::jni::RequireArray(array, "Unexpected null Java array.");
  if (count < 0 || qelta::jni::ArrayLength(env, array) != count) {
    throw std::invalid_argument(std::string(what) + " has " +
                                std::to_string(qelta::jni::ArrayLength(env, array)) + " values where " +
                                std::to_string(count) + " are needed");
  }
  return qelta::jni::CopyFromJava<J>(env, array);
}

// The session's learnable tables as a new Java array.
jdoubleArray ParametersToJava(JNIEnv* env, const VRN_emSession& session) {
  std::vector<double> values(static_cast<std::size_t>(session.ParameterCount()));
  session.GetParameters(values.data());
  return qelta::jni::NewJavaArray<jdouble>(env, values);
}

// The values of records of width values each, checked to fit the session's
// columns (complete: no value missing).
std::vector<jint> RecordValues(JNIEnv* env, const VRN_emSession& session, jintArray values, jint records,
                               jint width, bool complete) {
  if (width != session.ColumnCount()) throw std::invalid_argument("Records have the wrong number of columns");
  std::vector<jint> items = Exactly<jint>(env, values, static_cast<long long>(records) * width, "Records");
  if (!session.ValuesFit(items.data(), records, complete)) {
    throw std::invalid_argument(complete ? "Records hold a value that is no outcome index, or a missing one"
                                         : "Records hold a value that is no outcome index");
  }
  return items;
}

}  // namespace

extern "C" {

JNIEXPORT jlong JNICALL Java_qelta_spark_NativeEm_open(JNIEnv* env, jobject obj, jstring text,
                                                     jobjectArray columns, jobjectArray fixed,
                                                     jint eqSampleSize, jboolean randomize,
                                                     jboolean uniformize, jint seed,
                                                     jboolean relevance) {
  return Guarded(env, [&] {
    JavaStringToNative network(env, text, "Network text");
    qelta::jni::RequireArray(columns, "Columns can't be null");
    qelta::jni::RequireArray(fixed, "Fixed nodes can't be null");
    const std::vector<std::string> ids = qelta::jni::JavaStringsToNative(env, columns, "Column name");
    const std::vector<std::string> fixedIds = qelta::jni::JavaStringsToNative(env, fixed, "Fixed node");
    VRN_em options;
    options.randomizeParameters = randomize != JNI_FALSE;
    options.uniformizeParameters = uniformize != JNI_FALSE;
    options.eqSampleSize = static_cast<float>(eqSampleSize);
    options.seed = seed;
    options.relevance = relevance != JNI_FALSE;
    auto session = std::make_unique<VRN_emSession>();
    std::string error;
    Check(session->Open(network.c_str(), ids, fixedIds, options, &error), error);
    return qelta::jni::ToHandle(session.release());
  });
}

JNIEXPORT void JNICALL Java_qelta_spark_NativeEm_close(JNIEnv* env, jclass, jlong handle) {
  Guarded(env, [&] { qelta::jni::ReleaseHandle(handle); });
}

JNIEXPORT jboolean JNICALL Java_qelta_spark_NativeEm_canCount(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jboolean>(Session(env, obj).CanCount() ? JNI_TRUE : JNI_FALSE); });
}

JNIEXPORT jint JNICALL Java_qelta_spark_NativeEm_countSize(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Session(env, obj).CountSize()); });
}

JNIEXPORT jdoubleArray JNICALL Java_qelta_spark_NativeEm_start(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] {
    VRN_emSession& session = Session(env, obj);
    session.Start();
    return ParametersToJava(env, session);
  });
}

JNIEXPORT void JNICALL Java_qelta_spark_NativeEm_setParameters(JNIEnv* env, jobject obj, jdoubleArray values) {
  Guarded(env, [&] {
    VRN_emSession& session = Session(env, obj);
    const std::vector<jdouble> items = Exactly<jdouble>(env, values, session.ParameterCount(), "Parameters");
    const int status = session.SetParameters(items.data());
    if (status != qelta::kOk) ReportError("SetParameters", status);
  });
}

JNIEXPORT jobjectArray JNICALL Java_qelta_spark_NativeEm_addRecords(JNIEnv* env, jobject obj, jintArray values,
                                                                  jint records, jint width, jlong first) {
  return Guarded(env, [&] {
    VRN_emSession& session = Session(env, obj);
    const std::vector<jint> items = RecordValues(env, session, values, records, width, false);
    std::string error;
    Check(session.AddRecords(items.data(), records, first, &error), error);
    return qelta::jni::NativeToJavaStrings(env, session.TakeRefusals());
  });
}

JNIEXPORT jdoubleArray JNICALL Java_qelta_spark_NativeEm_takeCounts(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] {
    VRN_emSession& session = Session(env, obj);
    std::vector<double> values(static_cast<std::size_t>(session.CountSize()));
    session.TakeCounts(values.data());
    return qelta::jni::NewJavaArray<jdouble>(env, values);
  });
}

JNIEXPORT jboolean JNICALL Java_qelta_spark_NativeEm_endPass(JNIEnv* env, jobject obj, jdoubleArray summed,
                                                           jlong records, jdouble threshold, jint maxPasses) {
  return Guarded(env, [&] {
    VRN_emSession& session = Session(env, obj);
    const std::vector<jdouble> items = Exactly<jdouble>(env, summed, session.CountSize(), "Counts");
    std::string error;
    const int status = session.EndPass(items.data(), records, threshold, maxPasses, &error);
    Check(status, error);
    return static_cast<jboolean>(status == 1 ? JNI_TRUE : JNI_FALSE);
  });
}

JNIEXPORT jdoubleArray JNICALL Java_qelta_spark_NativeEm_parameters(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] {
    VRN_emSession& session = Session(env, obj);
    return ParametersToJava(env, session);
  });
}

JNIEXPORT jint JNICALL Java_qelta_spark_NativeEm_passes(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jint>(Session(env, obj).Passes()); });
}

JNIEXPORT jdouble JNICALL Java_qelta_spark_NativeEm_score(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jdouble>(Session(env, obj).Score()); });
}

JNIEXPORT void JNICALL Java_qelta_spark_NativeEm_setScore(JNIEnv* env, jobject obj, jdouble score) {
  Guarded(env, [&] { Session(env, obj).SetScore(score); });
}

JNIEXPORT void JNICALL Java_qelta_spark_NativeEm_countRecords(JNIEnv* env, jobject obj, jintArray values,
                                                            jint records, jint width) {
  Guarded(env, [&] {
    VRN_emSession& session = Session(env, obj);
    const std::vector<jint> items = RecordValues(env, session, values, records, width, true);
    session.CountRecords(items.data(), records);
  });
}

JNIEXPORT jdoubleArray JNICALL Java_qelta_spark_NativeEm_finishCounting(JNIEnv* env, jobject obj,
                                                                      jdoubleArray summed) {
  return Guarded(env, [&] {
    VRN_emSession& session = Session(env, obj);
    const std::vector<jdouble> items = Exactly<jdouble>(env, summed, session.CountSize(), "Counts");
    session.FinishCounting(items.data());
    return ParametersToJava(env, session);
  });
}

JNIEXPORT jdouble JNICALL Java_qelta_spark_NativeEm_scoreRecords(JNIEnv* env, jobject obj, jintArray values,
                                                               jint records, jint width, jdouble total) {
  return Guarded(env, [&] {
    VRN_emSession& session = Session(env, obj);
    const std::vector<jint> items = RecordValues(env, session, values, records, width, true);
    return static_cast<jdouble>(session.ScoreRecords(items.data(), records, total));
  });
}

JNIEXPORT void JNICALL Java_qelta_spark_NativeEm_apply(JNIEnv* env, jobject obj, jobject target) {
  Guarded(env, [&] {
    VRN_emSession& session = Session(env, obj);
    VRN_network& net = qelta::jni::NetworkArgument(env, target);
    std::string error;
    Check(session.Apply(net, &error), error);
  });
}

}  // extern "C"
