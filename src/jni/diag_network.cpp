// Bridge of qelta.DiagNetwork: a diagnosis session over the network of the
// Java object's field "net". Node and outcome arguments are checked against
// that network; `update` ranks the tests and the faults and hands both
// rankings to Java in one qelta.DiagResults.
#include "qelta_DiagNetwork.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/engine_error.h"
#include "base/handle_table.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "diagnosis/diag_network.h"
#include "jni/checks.h"
#include "jni/codes.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "network/network.h"
#include "network/node.h"

using qelta::jni::GetNative;
using qelta::jni::Guarded;
using qelta::jni::LocalRef;

namespace {

using qelta::diag::kNotComputed;

// The session; its network's log explains the call's failures.
VRN_diagNetwork& Diag(JNIEnv* env, jobject obj) {
  VRN_diagNetwork* diag = GetNative<VRN_diagNetwork>(env, obj);
  qelta::CallLogScope::Use(diag->GetNetwork()->ErrorLog());
  return *diag;
}

// The network of the Java object's field "net", looked up on every call.
VRN_network& FieldNet(JNIEnv* env, jobject obj) {
  LocalRef<jobject> net(env, qelta::jni::GetObjectFieldByName(
                                 env, obj, "net", "Lqelta/Network;"));
  return qelta::jni::Net(env, net.get());
}

jint Handle(JNIEnv* env, jobject obj, jstring node_id) {
  return NodeIdToHandle(env, FieldNet(env, obj), node_id);
}

jint Outcome(JNIEnv* env, jobject obj, jint node, jstring outcome_id) {
  return OutcomeIdToIndex(env, FieldNet(env, obj), node, outcome_id);
}

const VRN_diagFault& ValidateFaultIndex(const VRN_diagNetwork& diag,
                                        jint index) {
  if (index < 0 || index >= diag.GetFaultCount()) {
    throw std::invalid_argument(
        "Invalid fault index " + std::to_string(index) +
        "; valid indices are 0.." + std::to_string(diag.GetFaultCount() - 1));
  }
  return diag.GetFault(index);
}

void Check(const char* operation, int status) {
  if (status != qelta::kOk) ReportError(operation, status);
}

jintArray IntsToJava(JNIEnv* env, const VRN_intArray& items) {
  return qelta::jni::NewJavaArray<jint>(
      env, items.Items(), static_cast<std::size_t>(items.GetSize()));
}

// A session reads and writes its network until it is deleted, and Java's
// cleaners may run in any order: each session holds its network's handle as
// one call in flight, so the network outlives every session made on it.
std::mutex g_pins_mutex;
std::unordered_map<const void*, qelta::ForeignHandle>& Pins() {
  static auto* pins = new std::unordered_map<const void*, qelta::ForeignHandle>;
  return *pins;
}

void DeletePinnedSession(void* object) {
  qelta::ForeignHandle network = 0;
  {
    std::lock_guard<std::mutex> lock(g_pins_mutex);
    auto found = Pins().find(object);
    if (found != Pins().end()) {
      network = found->second;
      Pins().erase(found);
    }
  }
  delete static_cast<VRN_diagNetwork*>(object);
  if (network != 0) qelta::ReleaseObject(network);
}

jlong CreateNative(JNIEnv* env, jobject net) {
  VRN_network* network = &qelta::jni::Net(env, net);
  auto diag = std::make_unique<VRN_diagNetwork>(network);
  // A network without faults pursues nothing; none of these is reported.
  // An influence diagram is refused by update(), which logs why; the fault
  // beliefs would log it here for nothing refused.
  if (!network->IsInfluenceDiagram()) (void)diag->UpdateFaultBeliefs();
  (void)diag->SetPursuedFault(diag->FindMostLikelyFault());
  const qelta::ForeignHandle network_handle =
      qelta::jni::GetNativeHandle(env, net);
  if (qelta::AcquireObject(network_handle) == nullptr) {
    throw std::invalid_argument("Native object has been released by close().");
  }
  VRN_diagNetwork* session = diag.release();
  try {
    std::lock_guard<std::mutex> lock(g_pins_mutex);
    Pins()[session] = network_handle;
  } catch (...) {
    delete session;
    qelta::ReleaseObject(network_handle);
    throw;
  }
  // On failure RegisterObject deletes the session through the deleter, which
  // gives the pin back.
  return static_cast<jlong>(qelta::RegisterObject(session, &DeletePinnedSession));
}

void SetPursuedFaults(JNIEnv* env, jobject obj, jintArray faults) {
  qelta::jni::RequireArray(faults, "Fault indices array cannot be null");
  VRN_diagNetwork& diag = Diag(env, obj);
  VRN_intArray indices;
  for (jint i : qelta::jni::CopyFromJava<jint>(env, faults)) indices.Add(i);
  const int status = diag.SetPursuedFaults(indices);
  if (status != qelta::kOk && indices.GetSize() == 0) {
    qelta::jni::LogReasonIfSilent(*diag.GetNetwork(), status,
                                  "Pursue at least one fault; setPursuedFault names a single one");
  }
  Check("SetPursuedFaults", status);
}

jobject FaultToJava(JNIEnv* env, jint index, const VRN_diagFault& fault,
                    double probability, bool pursued) {
  return qelta::jni::NewJavaObject(env, "qelta/FaultInfo", "(IIIDZ)V", index,
                                   fault.node, fault.outcome, probability,
                                   pursued ? JNI_TRUE : JNI_FALSE);
}

jobject GetFault(JNIEnv* env, jobject obj, jint index) {
  VRN_diagNetwork& diag = Diag(env, obj);
  const VRN_diagFault& fault = ValidateFaultIndex(diag, index);
  const double p = diag.FaultProbability(index);
  return FaultToJava(env, index, fault, p < 0.0 ? 0.0 : p,
                     diag.IsPursued(index));
}

jstring GetFaultNodeId(JNIEnv* env, jobject obj, jint index) {
  const VRN_diagFault& fault = ValidateFaultIndex(Diag(env, obj), index);
  return NativeToJavaString(
      env, ValidateNodeHandle(FieldNet(env, obj), fault.node)->GetId());
}

jstring GetFaultOutcomeId(JNIEnv* env, jobject obj, jint index) {
  const VRN_diagFault& fault = ValidateFaultIndex(Diag(env, obj), index);
  const VRN_node* node =
      ValidateOutcomeIndex(FieldNet(env, obj), fault.node, fault.outcome);
  return NativeToJavaString(
      env, qelta::jni::OutcomeIds(*node).Get(fault.outcome));
}

jint GetFaultIndex(JNIEnv* env, jobject obj, jint node, jint outcome) {
  // The session logs why it finds none.
  const int index = Diag(env, obj).FindFault(node, outcome);
  if (index < 0) ReportError("FindFault", index);
  return index;
}

jint GetFaultIndex(JNIEnv* env, jobject obj, jint node, jstring outcome_id) {
  return GetFaultIndex(env, obj, node, Outcome(env, obj, node, outcome_id));
}

// ------------------------------------------------------------ update

struct ObservationRow {
  int node;
  double strength;
  double cost;
  double net;
  int at[3];
};

struct FaultRow {
  int index;
  VRN_diagFault fault;
  double probability;
  bool pursued;
};

// A total order: probability (not computed as -1, NaN last), pursued
// first, then fault index.
bool FaultBefore(const FaultRow& a, const FaultRow& b) {
  const double pa = a.probability == kNotComputed ? -1.0 : a.probability;
  const double pb = b.probability == kNotComputed ? -1.0 : b.probability;
  if (std::isnan(pa) != std::isnan(pb)) return std::isnan(pb);
  if (pa > pb) return true;
  if (pb > pa) return false;
  if (a.pursued != b.pursued) return a.pursued;
  return a.index < b.index;
}

// A block of the result values, or null when it is absent or out of range.
jdoubleArray Block(JNIEnv* env, const std::vector<double>& values, int at,
                   std::size_t length) {
  if (at < 0 || static_cast<std::size_t>(at) > values.size() ||
      values.size() - static_cast<std::size_t>(at) < length) {
    return nullptr;
  }
  return qelta::jni::NewJavaArray<jdouble>(env, values.data() + at, length);
}

jobject Update(JNIEnv* env, jobject obj) {
  VRN_diagNetwork& diag = Diag(env, obj);
  // The ranking refuses an influence diagram and logs why; the fault beliefs
  // would log the same reason a second time.
  if (!diag.GetNetwork()->IsInfluenceDiagram()) (void)diag.UpdateFaultBeliefs();
  Check("UpdateTestStrengths", diag.UpdateTestStrengths());
  const VRN_intArray& tests = diag.GetUnperformedTests();
  const std::vector<VRN_diagTestResult>& records = diag.GetTestResults();
  std::vector<ObservationRow> rows;
  for (int i : diag.PresentationOrder()) {
    const VRN_diagTestResult& r = records[static_cast<std::size_t>(i)];
    rows.push_back({tests[i], r.strength < 0.0 ? r.score : r.strength, r.cost,
                    r.score,
                    {r.probabilitiesAt, r.posteriorsAt, r.changesAt}});
  }
  std::vector<FaultRow> faults;
  for (int i = 0; i < diag.GetFaultCount(); ++i) {
    const double p = diag.FaultProbability(i);
    faults.push_back({i, diag.GetFault(i), p < 0.0 ? kNotComputed : p,
                      diag.IsPursued(i)});
  }
  std::sort(faults.begin(), faults.end(), FaultBefore);

  const std::vector<double>& values = diag.GetResultValues();
  const std::size_t pursued =
      static_cast<std::size_t>(diag.GetPursuedFaults().GetSize());
  LocalRef<jobjectArray> observations(
      env, qelta::jni::NewJavaObjectArray(env, "qelta/ObservationInfo",
                                          static_cast<jsize>(rows.size())));
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const ObservationRow& row = rows[k];
    // An equation test counts the intervals it is ranked over.
    const std::size_t n =
        static_cast<std::size_t>(diag.GetTestOutcomeCount(row.node));
    jdoubleArray blocks[3] = {nullptr, nullptr, nullptr};
    if (!values.empty()) {
      blocks[0] = Block(env, values, row.at[0], n);
      blocks[1] = Block(env, values, row.at[1], pursued * n);
      blocks[2] = Block(env, values, row.at[2], n);
    }
    LocalRef<jdoubleArray> first(env, blocks[0]);
    LocalRef<jdoubleArray> second(env, blocks[1]);
    LocalRef<jdoubleArray> third(env, blocks[2]);
    LocalRef<jobject> info(
        env, qelta::jni::NewJavaObject(
                 env, "qelta/ObservationInfo", "(IDDD[D[D[D)V", row.node,
                 row.strength, row.cost, row.net, first.get(), second.get(),
                 third.get()));
    qelta::jni::SetArrayElement(env, observations.get(),
                                static_cast<jsize>(k), info.get());
  }
  LocalRef<jobjectArray> faultArray(
      env, qelta::jni::NewJavaObjectArray(env, "qelta/FaultInfo",
                                          static_cast<jsize>(faults.size())));
  for (std::size_t k = 0; k < faults.size(); ++k) {
    const FaultRow& row = faults[k];
    LocalRef<jobject> info(env, FaultToJava(env, row.index, row.fault,
                                            row.probability, row.pursued));
    qelta::jni::SetArrayElement(env, faultArray.get(), static_cast<jsize>(k),
                                info.get());
  }
  return qelta::jni::NewJavaObject(
      env, "qelta/DiagResults", "([Lqelta/ObservationInfo;[Lqelta/FaultInfo;)V",
      observations.get(), faultArray.get());
}

// ------------------------------------------------------------ observations

void InstantiateObservation(JNIEnv* env, jobject obj, jint node,
                            jint outcome) {
  ValidateOutcomeIndex(FieldNet(env, obj), node, outcome);
  Check("InstantiateObservation",
        Diag(env, obj).InstantiateObservation(node, outcome));
}

void InstantiateObservation(JNIEnv* env, jobject obj, jint node,
                            jstring outcome_id) {
  InstantiateObservation(env, obj, node, Outcome(env, obj, node, outcome_id));
}

void ReleaseObservation(JNIEnv* env, jobject obj, jint node) {
  ValidateNodeHandle(FieldNet(env, obj), node);
  Check("ReleaseObservation", Diag(env, obj).ReleaseObservation(node));
}

}  // namespace

/*
 * Class:     qelta_DiagNetwork
 * Method:    createNative
 * Signature: (Ljava/lang/Object;)J
 */
extern "C" JNIEXPORT jlong JNICALL Java_qelta_DiagNetwork_createNative(JNIEnv* env, jobject obj, jobject a0) {
  return Guarded(env, [&] { return CreateNative(env, a0); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    deleteNative
 * Signature: (J)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_DiagNetwork_deleteNative(JNIEnv* env, jclass, jlong handle) {
  Guarded(env, [&] { qelta::jni::ReleaseHandle(handle); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getSingleFaultAlgorithm
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_DiagNetwork_getSingleFaultAlgorithm(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Diag(env, obj).GetSingleFaultAlgorithm(); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    setSingleFaultAlgorithm
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_DiagNetwork_setSingleFaultAlgorithm(JNIEnv* env, jobject obj, jint a0) {
  Guarded(env, [&] {
    VRN_diagNetwork& diag = Diag(env, obj);
    qelta::jni::ValidateCode(qelta::jni::kSingleFaultAlgorithms, "algorithm", a0);
    Check("SetSingleFaultAlgorithm", diag.SetSingleFaultAlgorithm(a0));
  });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getMultiFaultAlgorithm
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_DiagNetwork_getMultiFaultAlgorithm(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Diag(env, obj).GetMultiFaultAlgorithm(); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    setMultiFaultAlgorithm
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_DiagNetwork_setMultiFaultAlgorithm(JNIEnv* env, jobject obj, jint a0) {
  Guarded(env, [&] {
    VRN_diagNetwork& diag = Diag(env, obj);
    qelta::jni::ValidateCode(qelta::jni::kMultiFaultAlgorithms, "algorithm", a0);
    Check("SetMultiFaultAlgorithm", diag.SetMultiFaultAlgorithm(a0));
  });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getDSep
 * Signature: ()Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_DiagNetwork_getDSep(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jboolean>(Diag(env, obj).GetDSep() ? JNI_TRUE : JNI_FALSE); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    setDSep
 * Signature: (Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_DiagNetwork_setDSep(JNIEnv* env, jobject obj, jboolean a0) {
  Guarded(env, [&] { Diag(env, obj).SetDSep(a0 != JNI_FALSE); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    setPursuedFault
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_DiagNetwork_setPursuedFault(JNIEnv* env, jobject obj, jint a0) {
  Guarded(env, [&] { Check("SetPursuedFault", Diag(env, obj).SetPursuedFault((ValidateFaultIndex(Diag(env, obj), a0), a0))); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    setPursuedFaults
 * Signature: ([I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_DiagNetwork_setPursuedFaults(JNIEnv* env, jobject obj, jintArray a0) {
  Guarded(env, [&] { SetPursuedFaults(env, obj, a0); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getPursuedFault
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_DiagNetwork_getPursuedFault(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Diag(env, obj).GetPursuedFault(); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getPursuedFaults
 * Signature: ()[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_DiagNetwork_getPursuedFaults(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return IntsToJava(env, Diag(env, obj).GetPursuedFaults()); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    findMostLikelyFault
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_DiagNetwork_findMostLikelyFault(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Diag(env, obj).FindMostLikelyFault(); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getFaultCount
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_DiagNetwork_getFaultCount(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Diag(env, obj).GetFaultCount(); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getFault
 * Signature: (I)Lqelta/FaultInfo;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_DiagNetwork_getFault(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return GetFault(env, obj, a0); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getFaultNode
 * Signature: (I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_DiagNetwork_getFaultNode(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return ValidateFaultIndex(Diag(env, obj), a0).node; });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getFaultNodeId
 * Signature: (I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_DiagNetwork_getFaultNodeId(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return GetFaultNodeId(env, obj, a0); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getFaultOutcome
 * Signature: (I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_DiagNetwork_getFaultOutcome(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return ValidateFaultIndex(Diag(env, obj), a0).outcome; });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getFaultOutcomeId
 * Signature: (I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_DiagNetwork_getFaultOutcomeId(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return GetFaultOutcomeId(env, obj, a0); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getFaultIndex
 * Signature: (II)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_DiagNetwork_getFaultIndex__II(JNIEnv* env, jobject obj, jint a0, jint a1) {
  return Guarded(env, [&] { return GetFaultIndex(env, obj, a0, a1); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getFaultIndex
 * Signature: (Ljava/lang/String;I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_DiagNetwork_getFaultIndex__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring a0, jint a1) {
  return Guarded(env, [&] { return GetFaultIndex(env, obj, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getFaultIndex
 * Signature: (ILjava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_DiagNetwork_getFaultIndex__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint a0, jstring a1) {
  return Guarded(env, [&] { return GetFaultIndex(env, obj, a0, a1); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getFaultIndex
 * Signature: (Ljava/lang/String;Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_DiagNetwork_getFaultIndex__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jstring a1) {
  return Guarded(env, [&] { return GetFaultIndex(env, obj, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    restart
 * Signature: ()V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_DiagNetwork_restart(JNIEnv* env, jobject obj) {
  Guarded(env, [&] { (void)Diag(env, obj).Restart(); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    update
 * Signature: ()Lqelta/DiagResults;
 */
extern "C" JNIEXPORT jobject JNICALL Java_qelta_DiagNetwork_update(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Update(env, obj); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getUnperformedTestCount
 * Signature: ()I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_DiagNetwork_getUnperformedTestCount(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return Diag(env, obj).GetUnperformedTests().GetSize(); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getUnperformedObservations
 * Signature: ()[I
 */
extern "C" JNIEXPORT jintArray JNICALL Java_qelta_DiagNetwork_getUnperformedObservations(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return IntsToJava(env, Diag(env, obj).GetUnperformedTests()); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    getUnperformedObservationIds
 * Signature: ()[Ljava/lang/String;
 */
extern "C" JNIEXPORT jobjectArray JNICALL Java_qelta_DiagNetwork_getUnperformedObservationIds(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return NodeIdsToJava(env, FieldNet(env, obj), Diag(env, obj).GetUnperformedTests()); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    mandatoriesInstantiated
 * Signature: ()Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_DiagNetwork_mandatoriesInstantiated(JNIEnv* env, jobject obj) {
  return Guarded(env, [&] { return static_cast<jboolean>(Diag(env, obj).MandatoriesInstantiated() ? JNI_TRUE : JNI_FALSE); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    instantiateObservation
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_DiagNetwork_instantiateObservation__II(JNIEnv* env, jobject obj, jint a0, jint a1) {
  Guarded(env, [&] { InstantiateObservation(env, obj, a0, a1); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    instantiateObservation
 * Signature: (Ljava/lang/String;I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_DiagNetwork_instantiateObservation__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring a0, jint a1) {
  Guarded(env, [&] { InstantiateObservation(env, obj, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    instantiateObservation
 * Signature: (ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_DiagNetwork_instantiateObservation__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint a0, jstring a1) {
  Guarded(env, [&] { InstantiateObservation(env, obj, a0, a1); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    instantiateObservation
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_DiagNetwork_instantiateObservation__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jstring a1) {
  Guarded(env, [&] { InstantiateObservation(env, obj, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    releaseObservation
 * Signature: (I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_DiagNetwork_releaseObservation__I(JNIEnv* env, jobject obj, jint a0) {
  Guarded(env, [&] { ReleaseObservation(env, obj, a0); });
}

/*
 * Class:     qelta_DiagNetwork
 * Method:    releaseObservation
 * Signature: (Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_DiagNetwork_releaseObservation__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0) {
  Guarded(env, [&] { ReleaseObservation(env, obj, Handle(env, obj, a0)); });
}
