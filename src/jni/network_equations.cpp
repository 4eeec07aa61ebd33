// Bridge of qelta.Network: equation nodes (equation text, constant value,
// flags, bounds and discretization intervals).
#include "qelta_Network.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "base/engine_error.h"
#include "base/special_values.h"
#include "base/status.h"
#include "equations/equation.h"
#include "jni/checks.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "network/network.h"

using qelta::jni::Guarded;
using qelta::jni::Handle;
using qelta::jni::IdOf;
using qelta::jni::Net;

namespace {

constexpr const char* kIntervalClass = "qelta/DiscretizationInterval";

VRN_equation& Equation(JNIEnv* env, jobject obj, jint node) {
  return *static_cast<VRN_equation*>(GetEquationDef(Net(env, obj), node));
}

void SetNodeEquation(JNIEnv* env, jobject obj, jint node, jstring equation) {
  VRN_equation& definition = Equation(env, obj, node);
  const JavaStringToNative text(env, equation, "Equation");
  // The calling thread's locale only: other threads keep theirs.
  const qelta::ClassicLocaleScope classic_numbers;
  int position = 0;
  std::string message;
  const int status = definition.SetEquation(text.c_str(), &position, &message);
  if (status != qelta::kOk) {
    ReportErrorWithMessage("SetEquation", status,
                           "Invalid equation, error at position " +
                               std::to_string(position) + ": " + message);
  }
}

jstring GetNodeEquation(JNIEnv* env, jobject obj, jint node) {
  std::string text;
  Equation(env, obj, node).GetEquationText(&text);
  return NativeToJavaString(env, text);
}

jdouble GetNodeEquationConstant(JNIEnv* env, jobject obj, jint node) {
  double value = 0.0;
  VRN_equation& definition = Equation(env, obj, node);
  const int status = definition.EvaluateConstant(&value);
  if (status == qelta::kOk) return value;
  std::string text;
  definition.GetEquationText(&text);
  const std::string id = IdOf(*Net(env, obj).GetNode(node));
  if (status == qelta::kErrUnsolvable) {
    // The words the update logs for the same equation.
    ReportErrorWithMessage("EvaluateConstant", status,
                           "Can't solve the equation for " + id + " : " + text);
  }
  if (status == qelta::kErrWrongNodeType) {
    ReportErrorWithMessage("EvaluateConstant", status,
                           "Equation of node '" + id + "' is not constant (it"
                           " names another node or calls a random"
                           " generator): " + text);
  }
  ReportError("EvaluateConstant", status);
}

jboolean IsNodeEquationConstant(JNIEnv* env, jobject obj, jint node) {
  return Equation(env, obj, node).IsConstant() ? JNI_TRUE : JNI_FALSE;
}

jboolean IsNodeEquationDeterministic(JNIEnv* env, jobject obj, jint node) {
  return Equation(env, obj, node).IsRandom() ? JNI_FALSE : JNI_TRUE;
}

void SetNodeEquationBounds(JNIEnv* env, jobject obj, jint node, jdouble lower,
                           jdouble upper) {
  const int status = Equation(env, obj, node).SetBounds(lower, upper);
  if (status != qelta::kOk) ReportError("SetBounds", status);
}

jdoubleArray GetNodeEquationBounds(JNIEnv* env, jobject obj, jint node) {
  const VRN_equation& definition = Equation(env, obj, node);
  const double bounds[2] = {definition.GetLowerBound(),
                            definition.GetUpperBound()};
  return qelta::jni::NewJavaArray<jdouble>(env, bounds, 2);
}

jobjectArray GetNodeEquationDiscretization(JNIEnv* env, jobject obj,
                                           jint node) {
  const std::vector<VRN_discInterval>& intervals =
      Equation(env, obj, node).GetDiscIntervals();
  qelta::jni::LocalRef<jclass> cls = qelta::jni::FindClass(env, kIntervalClass);
  jmethodID constructor = qelta::jni::GetMethodId(env, cls.get(), "<init>",
                                                  "(Ljava/lang/String;D)V");
  jobjectArray out = qelta::jni::NewJavaObjectArray(
      env, kIntervalClass, static_cast<jsize>(intervals.size()));
  for (size_t i = 0; i < intervals.size(); ++i) {
    qelta::jni::LocalRef<jstring> id(
        env, NativeToJavaString(env, intervals[i].id));
    qelta::jni::LocalRef<jobject> item(
        env, env->NewObject(cls.get(), constructor, id.get(),
                            intervals[i].boundary));
    qelta::jni::CheckJava(env);
    qelta::jni::SetArrayElement(env, out, static_cast<jsize>(i), item.get());
  }
  return out;
}

void SetNodeEquationDiscretization(JNIEnv* env, jobject obj, jint node,
                                   jobjectArray intervals) {
  VRN_equation& definition = Equation(env, obj, node);
  std::vector<VRN_discInterval> list;
  if (intervals != nullptr) {
    qelta::jni::LocalRef<jclass> cls =
        qelta::jni::FindClass(env, kIntervalClass);
    jfieldID id_field =
        qelta::jni::GetFieldId(env, cls.get(), "id", "Ljava/lang/String;");
    jfieldID boundary_field =
        qelta::jni::GetFieldId(env, cls.get(), "boundary", "D");
    const jsize count = env->GetArrayLength(intervals);
    list.resize(static_cast<size_t>(count));
    for (jsize i = 0; i < count; ++i) {
      qelta::jni::LocalRef<jobject> item =
          qelta::jni::GetArrayElement(env, intervals, i);
      if (item.get() == nullptr) {
        throw std::runtime_error("Discretization interval is null at index " +
                                 std::to_string(i));
      }
      qelta::jni::LocalRef<jstring> id(
          env, static_cast<jstring>(env->GetObjectField(item.get(), id_field)));
      if (id.get() != nullptr) {
        list[static_cast<size_t>(i)].id =
            JavaStringToNative(env, id.get(), "Interval identifier").str();
      }
      list[static_cast<size_t>(i)].boundary =
          env->GetDoubleField(item.get(), boundary_field);
    }
  }
  const int status = definition.SetDiscIntervals(
      definition.GetLowerBound(), definition.GetUpperBound(), list);
  if (status != qelta::kOk) ReportError("SetDiscIntervals", status);
}

}  // namespace

/*
 * Class:     qelta_Network
 * Method:    setNodeEquation
 * Signature: (ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeEquation__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jstring equation) {
  Guarded(env, [&] { SetNodeEquation(env, obj, node, equation); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeEquation
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeEquation__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jstring equation) {
  Guarded(env, [&] { SetNodeEquation(env, obj, Handle(env, obj, node_id), equation); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeEquation
 * Signature: (I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getNodeEquation__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeEquation(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeEquation
 * Signature: (Ljava/lang/String;)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getNodeEquation__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeEquation(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeEquationConstant
 * Signature: (I)D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getNodeEquationConstant__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeEquationConstant(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeEquationConstant
 * Signature: (Ljava/lang/String;)D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getNodeEquationConstant__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeEquationConstant(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    isNodeEquationConstant
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isNodeEquationConstant__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return IsNodeEquationConstant(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    isNodeEquationConstant
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isNodeEquationConstant__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return IsNodeEquationConstant(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    isNodeEquationDeterministic
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isNodeEquationDeterministic__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return IsNodeEquationDeterministic(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    isNodeEquationDeterministic
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isNodeEquationDeterministic__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return IsNodeEquationDeterministic(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeEquationBounds
 * Signature: (IDD)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeEquationBounds__IDD(JNIEnv* env, jobject obj, jint node, jdouble lower, jdouble upper) {
  Guarded(env, [&] { SetNodeEquationBounds(env, obj, node, lower, upper); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeEquationBounds
 * Signature: (Ljava/lang/String;DD)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeEquationBounds__Ljava_lang_String_2DD(JNIEnv* env, jobject obj, jstring node_id, jdouble lower, jdouble upper) {
  Guarded(env, [&] { SetNodeEquationBounds(env, obj, Handle(env, obj, node_id), lower, upper); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeEquationBounds
 * Signature: (I)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNodeEquationBounds__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeEquationBounds(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeEquationBounds
 * Signature: (Ljava/lang/String;)[D
 */
extern "C" JNIEXPORT jdoubleArray JNICALL Java_qelta_Network_getNodeEquationBounds__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeEquationBounds(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeEquationDiscretization
 * Signature: (I)[Lqelta/DiscretizationInterval;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getNodeEquationDiscretization__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] { return GetNodeEquationDiscretization(env, obj, node); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeEquationDiscretization
 * Signature: (Ljava/lang/String;)[Lqelta/DiscretizationInterval;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_Network_getNodeEquationDiscretization__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] { return GetNodeEquationDiscretization(env, obj, Handle(env, obj, node_id)); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeEquationDiscretization
 * Signature: (I[Lqelta/DiscretizationInterval;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeEquationDiscretization__I_3Lqelta_DiscretizationInterval_2(JNIEnv* env, jobject obj, jint node, jobjectArray intervals) {
  Guarded(env, [&] { SetNodeEquationDiscretization(env, obj, node, intervals); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeEquationDiscretization
 * Signature: (Ljava/lang/String;[Lqelta/DiscretizationInterval;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeEquationDiscretization__Ljava_lang_String_2_3Lqelta_DiscretizationInterval_2(JNIEnv* env, jobject obj, jstring node_id, jobjectArray intervals) {
  Guarded(env, [&] { SetNodeEquationDiscretization(env, obj, Handle(env, obj, node_id), intervals); });
}
