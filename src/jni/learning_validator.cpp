// Bridge of qelta.learning.Validator: a validator over a network and a data
// set, its runs and its measures; curves become qelta.learning.Curve.
#include "qelta_learning_Validator.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "base/engine_error.h"
#include "base/handle_table.h"
#include "base/status.h"
#include "jni/checks.h"
#include "jni/frame.h"
#include "jni/learning_common.h"
#include "jni/learning_matches.h"
#include "jni/network_common.h"
#include "learning/em.h"
#include "learning/validator.h"
#include "network/network.h"
#include "network/node.h"

using qelta::jni::Guarded;

namespace {

// The validator reads its network and data set until it is deleted, and
// Java's cleaners may run in any order: it holds both handles as calls in
// flight, so they outlive it.
struct PinnedValidator {
  PinnedValidator(VRN_dataset* data, VRN_network* net, std::vector<VRN_dataMatch> matches)
      : validator(data, net, std::move(matches)) {}
  ~PinnedValidator() {
    for (qelta::ForeignHandle h : pins) qelta::ReleaseObject(h);
  }
  PinnedValidator(const PinnedValidator&) = delete;
  PinnedValidator& operator=(const PinnedValidator&) = delete;

  VRN_validator validator;
  std::vector<qelta::ForeignHandle> pins;
};

// The network of the Java object's field "net".
VRN_network& FieldNet(JNIEnv* env, jobject obj) {
  qelta::jni::LocalRef<jobject> net(env, qelta::jni::GetObjectFieldByName(env, obj, "net", "Lqelta/Network;"));
  return qelta::jni::NetworkArgument(env, net.get());
}

// The validator; its network (the field "net") logs why a step fails, so
// that network is reached first.
VRN_validator& Validator(JNIEnv* env, jobject obj) {
  (void)FieldNet(env, obj);
  return qelta::jni::GetNative<PinnedValidator>(env, obj)->validator;
}

void Pin(JNIEnv* env, jobject object, PinnedValidator* holder) {
  const qelta::ForeignHandle handle = qelta::jni::GetNativeHandle(env, object);
  if (qelta::AcquireObject(handle) == nullptr) {
    throw std::invalid_argument("Native object has been released by close().");
  }
  holder->pins.push_back(handle);
}

jlong CreateValidator(JNIEnv* env, jobjectArray params) {
  if (params == nullptr || qelta::jni::ArrayLength(env, params) < 3) {
    throw std::invalid_argument("Validator needs a network, a data set and matches");
  }
  qelta::jni::LocalRef<jobject> net = qelta::jni::GetArrayElement(env, params, 0);
  qelta::jni::LocalRef<jobject> data = qelta::jni::GetArrayElement(env, params, 1);
  qelta::jni::LocalRef<jobject> matching = qelta::jni::GetArrayElement(env, params, 2);
  VRN_network& network = qelta::jni::NetworkArgument(env, net.get());
  VRN_dataset& dataset = qelta::jni::DataSetArgument(env, data.get());
  std::vector<VRN_dataMatch> matches =
      qelta::jni::ReadDataMatchArray(env, static_cast<jobjectArray>(matching.get()));
  auto holder = std::make_unique<PinnedValidator>(&dataset, &network, std::move(matches));
  Pin(env, net.get(), holder.get());
  Pin(env, data.get(), holder.get());
  return static_cast<jlong>(qelta::RegisterObject(holder.release()));
}

void Check(const char* operation, int status) {
  if (status != qelta::kOk) ReportError(operation, status);
}

jobject CurveToJava(JNIEnv* env, const VRN_validator::Points& points, double extra) {
  std::vector<double> x, y;
  for (const auto& [px, py] : points) {
    x.push_back(px);
    y.push_back(py);
  }
  qelta::jni::LocalRef<jdoubleArray> xs(env, qelta::jni::NewJavaArray<jdouble>(env, x));
  qelta::jni::LocalRef<jdoubleArray> ys(env, qelta::jni::NewJavaArray<jdouble>(env, y));
  return qelta::jni::NewJavaObject(env, "qelta/learning/Curve", "([D[DD)V", xs.get(), ys.get(), extra);
}

int NodeOf(JNIEnv* env, jobject obj, jstring id) { return NodeIdToHandle(env, FieldNet(env, obj), id); }
int OutcomeOf(JNIEnv* env, jobject obj, int node, jstring id) {
  return OutcomeIdToIndex(env, FieldNet(env, obj), node, id);
}

// As Check for a measure of class node node, saying why when the validator
// answered a bare status: the node is no class node, nothing has run, or
// (a curve's) count is out of range, as out_of_range says when given.
void CheckMeasure(JNIEnv* env, jobject obj, int node, const char* operation, int status,
                  const std::string& out_of_range = std::string()) {
  if (status != qelta::kOk) {
    VRN_network& net = FieldNet(env, obj);
    const VRN_node* target = net.GetNode(node);
    const char* id = target != nullptr ? target->GetId() : "";
    if (status == qelta::kErrOutOfRange && !out_of_range.empty()) {
      qelta::jni::LogReasonIfSilent(net, status, "%s", out_of_range.c_str());
    } else if (status == qelta::kErrOutOfRange) {
      qelta::jni::LogReasonIfSilent(net, status, "Node [%s] is not a class node; add it with addClassNode", id);
    } else if (status == qelta::kErrInvalidValue) {
      qelta::jni::LogReasonIfSilent(net, status,
                                    "No results for class node [%s] yet; run test, leaveOneOut or kFold first", id);
    } else if (status == qelta::kErrIllegalIdentifier) {
      qelta::jni::LogReasonIfSilent(net, status,
                                    "Node [%s] has no validation results; add it with addClassNode and run test, "
                                    "leaveOneOut or kFold first",
                                    id);
    }
  }
  Check(operation, status);
}

double Accuracy(JNIEnv* env, jobject obj, int node, int outcome) {
  (void)ValidateOutcomeIndex(FieldNet(env, obj), node, outcome);
  double accuracy = 0.0;
  CheckMeasure(env, obj, node, "GetAccuracy", Validator(env, obj).GetAccuracy(node, outcome, &accuracy));
  return accuracy;
}

jobject Roc(JNIEnv* env, jobject obj, int node, int outcome) {
  (void)ValidateOutcomeIndex(FieldNet(env, obj), node, outcome);
  VRN_validator::Points points;
  std::vector<double> thresholds;
  double area = 0.0;
  CheckMeasure(env, obj, node, "GetROC", Validator(env, obj).GetROC(node, outcome, &points, &thresholds, &area));
  return CurveToJava(env, points, area);
}

jobject CurveB(JNIEnv* env, jobject obj, int node, int outcome, int bins) {
  (void)ValidateOutcomeIndex(FieldNet(env, obj), node, outcome);
  VRN_validator::Points points;
  double statistic = 0.0;
  CheckMeasure(env, obj, node, "GetCalibrationCurveB",
               Validator(env, obj).GetCalibrationCurveB(node, outcome, bins, &points, &statistic),
               "Bin count " + std::to_string(bins) + " is out of range: 1 to the number of validated records");
  return CurveToJava(env, points, statistic);
}

jobject CurveMA(JNIEnv* env, jobject obj, int node, int outcome, int window) {
  (void)ValidateOutcomeIndex(FieldNet(env, obj), node, outcome);
  VRN_validator::Points points;
  CheckMeasure(env, obj, node, "GetCalibrationCurveMA",
               Validator(env, obj).GetCalibrationCurveMA(node, outcome, window, &points),
               "Window size " + std::to_string(window) + " is negative");
  return CurveToJava(env, points, 0.0);
}

jobjectArray ConfusionMatrix(JNIEnv* env, jobject obj, int node) {
  std::vector<std::vector<int>> matrix;
  CheckMeasure(env, obj, node, "GetConfusionMatrix", Validator(env, obj).GetConfusionMatrix(node, &matrix));
  const jsize n = static_cast<jsize>(matrix.size());
  jobjectArray result = qelta::jni::NewJavaObjectArray(env, "[I", n);
  for (jsize i = 0; i < n; ++i) {
    qelta::jni::LocalRef<jintArray> row(env, qelta::jni::NewJavaArray<jint>(env, matrix[i]));
    qelta::jni::SetArrayElement(env, result, i, row.get());
  }
  return result;
}

void AddClass(JNIEnv* env, jobject obj, int node) {
  VRN_network& net = FieldNet(env, obj);
  const char* id = ValidateNodeHandle(net, node)->GetId();
  const int status = Validator(env, obj).AddClassNode(node);
  if (status == qelta::kErrDuplicatedIdentifier) {
    qelta::jni::LogReasonIfSilent(net, status, "Node [%s] is a class node already", id);
  } else if (status == qelta::kErrIllegalIdentifier) {
    qelta::jni::LogReasonIfSilent(net, status,
                                  "No match names node [%s]: match it to a data-set column first", id);
  } else if (status == qelta::kErrWrongNodeType) {
    qelta::jni::LogReasonIfSilent(
        net, status, "Node [%s] is matched to a continuous column; a class is predicted as an outcome",
        id);
  }
  Check("AddClassNode", status);
}


jobject ResultDataSet(JNIEnv* env, jobject obj) {
  jobject data = qelta::jni::NewJavaObject(env, "qelta/learning/DataSet", "()V");
  Validator(env, obj).GetResultDataSet(qelta::jni::GetNative<VRN_dataset>(env, data));
  return data;
}

}  // namespace

/*
 * Class:     qelta_learning_Validator
 * Method:    createNative
 * Signature: (Ljava/lang/Object;)J
 */
extern "C" JNIEXPORT jlong JNICALL Java_qelta_learning_Validator_createNative(JNIEnv* env, jobject obj, jobject params) {
  return Guarded(env, [&] { return CreateValidator(env, static_cast<jobjectArray>(params)); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    deleteNative
 * Signature: (J)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_Validator_deleteNative(JNIEnv* env, jclass cls, jlong handle) {
  Guarded(env, [&] { qelta::jni::ReleaseHandle(handle); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    addClassNode
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_Validator_addClassNode__I(JNIEnv* env, jobject obj, jint node) {
  Guarded(env, [&] { AddClass(env, obj, node); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    addClassNode
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_Validator_addClassNode__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node) {
  Guarded(env, [&] { AddClass(env, obj, NodeOf(env, obj, node)); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    test
 * Signature: ()V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_Validator_test(JNIEnv* env, jobject obj) {
  Guarded(env, [&] { Check("Test", Validator(env, obj).Test(nullptr)); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    leaveOneOut
 * Signature: (Lqelta/learning/EM;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_Validator_leaveOneOut(JNIEnv* env, jobject obj, jobject em) {
  Guarded(env, [&] { Check("LeaveOneOut", Validator(env, obj).LeaveOneOut(qelta::jni::EmOptions(env, em), nullptr)); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    kFold
 * Signature: (Lqelta/learning/EM;II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_learning_Validator_kFold(JNIEnv* env, jobject obj, jobject em, jint folds, jint seed) {
  Guarded(env, [&] { Check("KFold", Validator(env, obj).KFold(qelta::jni::EmOptions(env, em), folds, seed, nullptr)); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getResultDataSet
 * Signature: ()Lqelta/learning/DataSet;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_Validator_getResultDataSet(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return ResultDataSet(env, obj); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getConfusionMatrix
 * Signature: (I)[[I
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_learning_Validator_getConfusionMatrix__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return ConfusionMatrix(env, obj, node); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getConfusionMatrix
 * Signature: (Ljava/lang/String;)[[I
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_learning_Validator_getConfusionMatrix__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node) {
  return Guarded(env, [&] { return ConfusionMatrix(env, obj, NodeOf(env, obj, node)); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getAccuracy
 * Signature: (II)D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_learning_Validator_getAccuracy__II(JNIEnv* env, jobject obj, jint node, jint outcome) {
  return Guarded(env, [&] { return Accuracy(env, obj, node, outcome); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getAccuracy
 * Signature: (Ljava/lang/String;I)D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_learning_Validator_getAccuracy__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node, jint outcome) {
  return Guarded(env, [&] { return Accuracy(env, obj, NodeOf(env, obj, node), outcome); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getAccuracy
 * Signature: (ILjava/lang/String;)D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_learning_Validator_getAccuracy__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jstring outcome) {
  return Guarded(env, [&] { return Accuracy(env, obj, node, OutcomeOf(env, obj, node, outcome)); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getAccuracy
 * Signature: (Ljava/lang/String;Ljava/lang/String;)D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_learning_Validator_getAccuracy__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node, jstring outcome) {
  return Guarded(env, [&] { return Accuracy(env, obj, NodeOf(env, obj, node), OutcomeOf(env, obj, NodeOf(env, obj, node), outcome)); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getROC
 * Signature: (II)Lqelta/learning/Curve;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_Validator_getROC__II(JNIEnv* env, jobject obj, jint node, jint outcome) {
  return Guarded(env, [&] { return Roc(env, obj, node, outcome); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getROC
 * Signature: (Ljava/lang/String;I)Lqelta/learning/Curve;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_Validator_getROC__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node, jint outcome) {
  return Guarded(env, [&] { return Roc(env, obj, NodeOf(env, obj, node), outcome); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getROC
 * Signature: (ILjava/lang/String;)Lqelta/learning/Curve;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_Validator_getROC__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jstring outcome) {
  return Guarded(env, [&] { return Roc(env, obj, node, OutcomeOf(env, obj, node, outcome)); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getROC
 * Signature: (Ljava/lang/String;Ljava/lang/String;)Lqelta/learning/Curve;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_Validator_getROC__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node, jstring outcome) {
  return Guarded(env, [&] { return Roc(env, obj, NodeOf(env, obj, node), OutcomeOf(env, obj, NodeOf(env, obj, node), outcome)); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getCalibrationCurveB
 * Signature: (III)Lqelta/learning/Curve;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_Validator_getCalibrationCurveB__III(JNIEnv* env, jobject obj, jint node, jint outcome, jint bins) {
  return Guarded(env, [&] { return CurveB(env, obj, node, outcome, bins); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getCalibrationCurveB
 * Signature: (Ljava/lang/String;II)Lqelta/learning/Curve;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_Validator_getCalibrationCurveB__Ljava_lang_String_2II(JNIEnv* env, jobject obj, jstring node, jint outcome, jint bins) {
  return Guarded(env, [&] { return CurveB(env, obj, NodeOf(env, obj, node), outcome, bins); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getCalibrationCurveB
 * Signature: (ILjava/lang/String;I)Lqelta/learning/Curve;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_Validator_getCalibrationCurveB__ILjava_lang_String_2I(JNIEnv* env, jobject obj, jint node, jstring outcome, jint bins) {
  return Guarded(env, [&] { return CurveB(env, obj, node, OutcomeOf(env, obj, node, outcome), bins); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getCalibrationCurveB
 * Signature: (Ljava/lang/String;Ljava/lang/String;I)Lqelta/learning/Curve;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_Validator_getCalibrationCurveB__Ljava_lang_String_2Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node, jstring outcome, jint bins) {
  return Guarded(env, [&] { return CurveB(env, obj, NodeOf(env, obj, node), OutcomeOf(env, obj, NodeOf(env, obj, node), outcome), bins); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getCalibrationCurveMA
 * Signature: (III)Lqelta/learning/Curve;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_Validator_getCalibrationCurveMA__III(JNIEnv* env, jobject obj, jint node, jint outcome, jint window) {
  return Guarded(env, [&] { return CurveMA(env, obj, node, outcome, window); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getCalibrationCurveMA
 * Signature: (Ljava/lang/String;II)Lqelta/learning/Curve;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_Validator_getCalibrationCurveMA__Ljava_lang_String_2II(JNIEnv* env, jobject obj, jstring node, jint outcome, jint window) {
  return Guarded(env, [&] { return CurveMA(env, obj, NodeOf(env, obj, node), outcome, window); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getCalibrationCurveMA
 * Signature: (ILjava/lang/String;I)Lqelta/learning/Curve;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_Validator_getCalibrationCurveMA__ILjava_lang_String_2I(JNIEnv* env, jobject obj, jint node, jstring outcome, jint window) {
  return Guarded(env, [&] { return CurveMA(env, obj, node, OutcomeOf(env, obj, node, outcome), window); });
}

/*
 * Class:     qelta_learning_Validator
 * Method:    getCalibrationCurveMA
 * Signature: (Ljava/lang/String;Ljava/lang/String;I)Lqelta/learning/Curve;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_learning_Validator_getCalibrationCurveMA__Ljava_lang_String_2Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node, jstring outcome, jint window) {
  return Guarded(env, [&] { return CurveMA(env, obj, NodeOf(env, obj, node), OutcomeOf(env, obj, NodeOf(env, obj, node), outcome), window); });
}
