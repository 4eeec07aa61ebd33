// Bridge of qelta.Network, the network object: lifecycle, files and
// strings, belief updating and annealed MAP, settings, identity.
#include "qelta_Network.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/engine_error.h"
#include "base/special_values.h"
#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "io/format.h"
#include "jni/checks.h"
#include "jni/codes.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

using qelta::jni::Guarded;
using qelta::jni::Handle;
using qelta::jni::Net;

namespace {

// ---------------------------------------------------------- annealed MAP

// The tuning record held by the fields of a qelta.AnnealedMapTuning; *seed
// receives its randSeed field.
VRN_annealedMapTuning TuningFromJava(JNIEnv* env, jobject tuning, int* seed) {
  qelta::jni::LocalRef<jclass> cls = qelta::jni::GetObjectClass(env, tuning);
  auto number = [&](const char* name) {
    return env->GetDoubleField(
        tuning, qelta::jni::GetFieldId(env, cls.get(), name, "D"));
  };
  auto integer = [&](const char* name) {
    return env->GetIntField(
        tuning, qelta::jni::GetFieldId(env, cls.get(), name, "I"));
  };
  VRN_annealedMapTuning record;
  record.speed = number("speed");
  record.Tmin = number("Tmin");
  record.Tinit = number("Tinit");
  record.kReheat = number("kReheat");
  record.kMAP = integer("kMAP");
  record.kRFC = number("kRFC");
  record.numCycle = integer("numCycle");
  record.iReheatSteps = integer("iReheatSteps");
  record.iStopSteps = integer("iStopSteps");
  *seed = integer("randSeed");
  return record;
}

jobject AnnealedMap(JNIEnv* env, jobject obj, jintArray map_nodes,
                    jobject tuning) {
  VRN_network& net = Net(env, obj);
  int seed = 0;
  if (tuning != nullptr) {
    // Searching with an older tuning than the one asked for would answer a
    // different question: a refused record fails the call.
    const int status = net.SetAnnealedMapTuning(TuningFromJava(env, tuning, &seed));
    if (status != qelta::kOk) {
      qelta::jni::LogReasonIfSilent(
          net, status,
          "Annealed MAP tuning refused: speed lies from 0.5 to 0.99, Tmin, Tinit and kReheat "
          "above 0 with Tinit above Tmin, numCycle and iReheatSteps 1 or more, and iReheatSteps "
          "not above iStopSteps");
      ReportError("AnnealedMAP", status);
    }
  }
  // The engine would index its node slots with these; refuse strangers here.
  const std::vector<jint> handles = qelta::jni::CopyFromJava<jint>(env, map_nodes);
  for (jint handle : handles) ValidateNodeHandle(net, handle);
  // The observations alone: implied outcomes follow from them, and
  // entering one as observed would drop its node's likelihoods.
  std::vector<std::pair<int, int>> evidence;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_nodeVal* value = net.EvidenceOf(h);
    if (value->HasFlags(qelta::kValFlagEvidence)) {
      evidence.emplace_back(h, value->GetEvidence());
    }
  }
  std::vector<int> assignment;
  double best = 0.0, evidence_probability = 0.0;
  const int status =
      net.AnnealedMAP(evidence, std::vector<int>(handles.begin(), handles.end()),
                      &assignment, &best, &evidence_probability, seed);
  if (status != qelta::kOk) {
    std::vector<jint> sorted = handles;
    std::sort(sorted.begin(), sorted.end());
    const auto twice = std::adjacent_find(sorted.begin(), sorted.end());
    if (twice != sorted.end()) {
      qelta::jni::LogReasonIfSilent(net, status, "Node [%s] is named twice among the MAP nodes",
                                    net.GetNode(*twice)->GetId());
    }
    ReportError("AnnealedMAP", status);
  }
  qelta::jni::LocalRef<jintArray> outcomes(
      env, qelta::jni::NewJavaArray<jint>(env, assignment));
  return qelta::jni::NewJavaObject(env, "qelta/AnnealedMapResults", "(DD[I)V",
                                   best, evidence_probability, outcomes.get());
}

}  // namespace

// ================================================================ lifecycle

/*
 * Class:     qelta_Network
 * Method:    createNative
 * Signature: (Ljava/lang/Object;)J
 */
extern "C" JNIEXPORT jlong JNICALL Java_qelta_Network_createNative(JNIEnv* env, jobject obj, jobject unused) {
  return Guarded(env, [&] { return qelta::jni::ToHandle(new VRN_network()); });
}

/*
 * Class:     qelta_Network
 * Method:    deleteNative
 * Signature: (J)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_deleteNative(JNIEnv* env, jclass cls, jlong handle) {
  Guarded(env, [&] { qelta::jni::ReleaseHandle(handle); });
}

// ============================================== files, strings and inference

/*
 * Class:     qelta_Network
 * Method:    readFile
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_readFile(JNIEnv* env, jobject obj, jstring file) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    VRN_errorLog* log = net.ErrorLog();
    log->Flush();
    JavaStringToNative name(env, file, qelta::jni::kFileName);
    const qelta::ClassicLocaleScope locale;
    const int status = net.ReadFile(name.c_str(), qelta::kFormatByName,
                                    qelta::kExtensionLayout);
    if (status != qelta::kOk) ReportNetworkError("ReadFile", status, *log);
  });
}

/*
 * Class:     qelta_Network
 * Method:    readString
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_readString(JNIEnv* env, jobject obj, jstring xml) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    VRN_errorLog* log = net.ErrorLog();
    log->Flush();
    JavaStringToNative text(env, xml, "Network text");
    const qelta::ClassicLocaleScope locale;
    const int status = net.ReadString(text.c_str(), qelta::kExtensionLayout);
    if (status != qelta::kOk) ReportNetworkError("ReadString", status, *log);
  });
}

/*
 * Class:     qelta_Network
 * Method:    writeFile
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_writeFile(JNIEnv* env, jobject obj, jstring file) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    VRN_errorLog* log = net.ErrorLog();
    log->Flush();
    JavaStringToNative name(env, file, qelta::jni::kFileName);
    const qelta::ClassicLocaleScope locale;
    const int status = net.WriteFile(name.c_str(), qelta::kFormatByName,
                                     qelta::kExtensionLayout);
    if (status != qelta::kOk) ReportNetworkError("WriteFile", status, *log);
  });
}

namespace {

// The network as XML text, with the layout block or without any extension.
jstring WriteString(JNIEnv* env, jobject obj, int extension) {
  VRN_network& net = Net(env, obj);
  VRN_errorLog* log = net.ErrorLog();
  log->Flush();
  std::string text;
  {
    const qelta::ClassicLocaleScope locale;
    const int status = net.WriteString(text, extension);
    if (status != qelta::kOk) ReportNetworkError("WriteString", status, *log);
  }
  return NativeToJavaString(env, text);
}

}  // namespace

/*
 * Class:     qelta_Network
 * Method:    writeString
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_writeString(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return WriteString(env, obj, qelta::kExtensionLayout); });
}

/*
 * Class:     qelta_Network
 * Method:    writeMinString
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_writeMinString(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return WriteString(env, obj, qelta::kExtensionNone); });
}

/*
 * Class:     qelta_Network
 * Method:    updateBeliefs
 * Signature: ()V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_updateBeliefs(JNIEnv* env, jobject obj) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    VRN_errorLog* log = net.ErrorLog();
    log->Flush();
    const int status = net.UpdateBeliefs();
    if (status != qelta::kOk) ReportNetworkError("UpdateBeliefs", status, *log);
  });
}

/*
 * Class:     qelta_Network
 * Method:    probEvidence
 * Signature: ()D
 */
extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_probEvidence(JNIEnv* env, jobject obj) {
  return Guarded(env, [&]() -> jdouble {
    double probability = 0.0;
    // Whatever the cause, a failure is reported as the one code Java knows.
    if (!Net(env, obj).CalcPropEvidence(probability, false)) {
      ReportError("CalcPropEvidence", qelta::kErrOutOfMemory);
    }
    return probability;
  });
}

/*
 * Class:     qelta_Network
 * Method:    annealedMap
 * Signature: ([ILqelta/AnnealedMapTuning;)Lqelta/AnnealedMapResults;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_annealedMap___3ILqelta_AnnealedMapTuning_2(JNIEnv* env, jobject obj, jintArray node_handles, jobject tuning) {
  return Guarded(env, [&] { return AnnealedMap(env, obj, node_handles, tuning); });
}

/*
 * Class:     qelta_Network
 * Method:    annealedMap
 * Signature: ([Ljava/lang/String;Lqelta/AnnealedMapTuning;)Lqelta/AnnealedMapResults;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_Network_annealedMap___3Ljava_lang_String_2Lqelta_AnnealedMapTuning_2(JNIEnv* env, jobject obj, jobjectArray node_ids, jobject tuning) {
  return Guarded(env, [&] {
    qelta::jni::LocalRef<jintArray> handles(
        env, NodeIdsToHandleArray(env, Net(env, obj), node_ids));
    return AnnealedMap(env, obj, handles.get(), tuning);
  });
}

// ================================================================= settings

/*
 * Class:     qelta_Network
 * Method:    getRandSeed
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getRandSeed(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).GetRandSeed(); });
}

/*
 * Class:     qelta_Network
 * Method:    setRandSeed
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setRandSeed(JNIEnv* env, jobject obj, jint seed) {
  Guarded(env, [&] { Net(env, obj).SetRandSeed(seed); });
}

/*
 * Class:     qelta_Network
 * Method:    getSampleCount
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getSampleCount(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).GetNumberOfSamples(); });
}

/*
 * Class:     qelta_Network
 * Method:    setSampleCount
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setSampleCount(JNIEnv* env, jobject obj, jint count) {
  // A count below 1 is refused by the engine and ignored here.
  Guarded(env, [&] { static_cast<void>(Net(env, obj).SetNumberOfSamples(count)); });
}

/*
 * Class:     qelta_Network
 * Method:    getDiscretizationSampleCount
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getDiscretizationSampleCount(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).GetNumberOfDiscretizationSamples(); });
}

/*
 * Class:     qelta_Network
 * Method:    setDiscretizationSampleCount
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDiscretizationSampleCount(JNIEnv* env, jobject obj, jint count) {
  Guarded(env, [&] {
    static_cast<void>(Net(env, obj).SetNumberOfDiscretizationSamples(count));
  });
}

/*
 * Class:     qelta_Network
 * Method:    isZeroAvoidanceEnabled
 * Signature: ()Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isZeroAvoidanceEnabled(JNIEnv* env, jobject obj) {
  return Guarded(env, [&]() -> jboolean { return Net(env, obj).IsZeroAvoidance(); });
}

/*
 * Class:     qelta_Network
 * Method:    setZeroAvoidanceEnabled
 * Signature: (Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setZeroAvoidanceEnabled(JNIEnv* env, jobject obj, jboolean enabled) {
  Guarded(env, [&] { Net(env, obj).SetZeroAvoidance(enabled != JNI_FALSE); });
}

/*
 * Class:     qelta_Network
 * Method:    isOutlierRejectionEnabled
 * Signature: ()Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isOutlierRejectionEnabled(JNIEnv* env, jobject obj) {
  return Guarded(env, [&]() -> jboolean { return Net(env, obj).IsOutlierRejection(); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutlierRejectionEnabled
 * Signature: (Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutlierRejectionEnabled(JNIEnv* env, jobject obj, jboolean enabled) {
  Guarded(env, [&] { Net(env, obj).SetOutlierRejection(enabled != JNI_FALSE); });
}

/*
 * Class:     qelta_Network
 * Method:    isNoisyDecompositionEnabled
 * Signature: ()Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isNoisyDecompositionEnabled(JNIEnv* env, jobject obj) {
  return Guarded(env, [&]() -> jboolean { return Net(env, obj).IsNoisyDecomp(); });
}

/*
 * Class:     qelta_Network
 * Method:    setNoisyDecompositionEnabled
 * Signature: (Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNoisyDecompositionEnabled(JNIEnv* env, jobject obj, jboolean enabled) {
  Guarded(env, [&] { Net(env, obj).SetNoisyDecomp(enabled != JNI_FALSE); });
}

/*
 * Class:     qelta_Network
 * Method:    getNoisyDecompositionLimit
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getNoisyDecompositionLimit(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).GetNoisyDecompLimit(); });
}

/*
 * Class:     qelta_Network
 * Method:    setNoisyDecompositionLimit
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNoisyDecompositionLimit(JNIEnv* env, jobject obj, jint limit) {
  Guarded(env, [&] { Net(env, obj).SetNoisyDecompLimit(limit); });
}

/*
 * Class:     qelta_Network
 * Method:    getBayesianAlgorithm
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getBayesianAlgorithm(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).GetDefaultBNAlgorithm(); });
}

/*
 * Class:     qelta_Network
 * Method:    setBayesianAlgorithm
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setBayesianAlgorithm(JNIEnv* env, jobject obj, jint algorithm) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    qelta::jni::ValidateCode(qelta::jni::kBayesianAlgorithms, "algorithm", algorithm);
    net.SetDefaultBNAlgorithm(algorithm);
  });
}

/*
 * Class:     qelta_Network
 * Method:    getInfluenceDiagramAlgorithm
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getInfluenceDiagramAlgorithm(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Net(env, obj).GetDefaultIDAlgorithm(); });
}

/*
 * Class:     qelta_Network
 * Method:    setInfluenceDiagramAlgorithm
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setInfluenceDiagramAlgorithm(JNIEnv* env, jobject obj, jint algorithm) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    qelta::jni::ValidateCode(qelta::jni::kInfluenceDiagramAlgorithms, "algorithm", algorithm);
    net.SetDefaultIDAlgorithm(algorithm);
  });
}

/*
 * Class:     qelta_Network
 * Method:    getId
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getId(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return NativeToJavaString(env, Net(env, obj).Header()->GetId()); });
}

/*
 * Class:     qelta_Network
 * Method:    setId
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setId(JNIEnv* env, jobject obj, jstring id) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    const std::string text = ValidateIdentifier(env, id, "Network identifier");
    // The network's identifier is the main submodel's, which shares one
    // namespace with the nodes and the other submodels.
    int status = net.Submodels()->CheckNewId(qelta::kMainSubmodel, text.c_str());
    if (status == qelta::kOk) status = net.Header()->SetId(text.c_str());
    if (status != qelta::kOk) {
      qelta::jni::LogIdentifierInUse(net, status, text);
      ReportError("SetId", status);
    }
  });
}

/*
 * Class:     qelta_Network
 * Method:    getName
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getName(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return NativeToJavaString(env, Net(env, obj).Header()->GetName()); });
}

/*
 * Class:     qelta_Network
 * Method:    setName
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setName(JNIEnv* env, jobject obj, jstring name) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    JavaStringToNative text(env, name, "Network name");
    const int status = net.Header()->SetName(text.c_str());
    if (status != qelta::kOk) ReportError("SetName", status);
  });
}

/*
 * Class:     qelta_Network
 * Method:    getDescription
 * Signature: ()Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getDescription(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return NativeToJavaString(env, Net(env, obj).Header()->GetComment()); });
}

/*
 * Class:     qelta_Network
 * Method:    setDescription
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDescription(JNIEnv* env, jobject obj, jstring description) {
  Guarded(env, [&] {
    VRN_network& net = Net(env, obj);
    JavaStringToNative text(env, description, "Network description");
    const int status = net.Header()->SetComment(text.c_str());
    if (status != qelta::kOk) ReportError("SetComment", status);
  });
}

