// What every source of the qelta.Network bridge shares: the native network
// behind a Java object and node lookup by identifier.
//
// A method that takes a node exists in a handle form and an identifier form;
// the identifier form resolves the identifier and then runs the handle
// form's body, so both give the same results and the same messages once the
// node is found. The exports of each source stand in the order of the Java
// class's native declarations; each runs its body through Guarded (see
// jni/frame.h), so every failure reaches Java as QELTAException.
#ifndef QELTA_JNI_NETWORK_COMMON_H_
#define QELTA_JNI_NETWORK_COMMON_H_

#include <jni.h>

#include <string>

#include "jni/checks.h"
#include "jni/frame.h"
#include "network/network.h"

namespace qelta {
namespace jni {

// The network behind obj. The first network a call reaches is the one whose
// log is cleared and explains the call's engine failures.
inline VRN_network& Net(JNIEnv* env, jobject obj) {
  VRN_network* net = GetNative<VRN_network>(env, obj);
  qelta::CallLogScope::Use(net->ErrorLog());
  return *net;
}

// The handle of the node named by a Java identifier (see NodeIdToHandle).
inline int Handle(JNIEnv* env, jobject obj, jstring node_id) {
  return NodeIdToHandle(env, Net(env, obj), node_id);
}

// Logs the printf-style reason with status in the network's log unless the
// failed engine operation logged one of its own: a refusal the engine
// answers with a bare status still tells the caller why.
void LogReasonIfSilent(VRN_network& net, int status, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Logs, as LogReasonIfSilent, which node or submodel already holds id,
// when one does: the reason a new identifier was refused.
void LogIdentifierInUse(VRN_network& net, int status, const std::string& id);

// "NodeType.CPT" and so on: the Java name of the node's type.
std::string NodeTypeName(const VRN_node& node);

// The node's identifier as message text.
std::string IdOf(const VRN_node& node);

// The value of a validated node with its evidence current (see
// VRN_network::EvidenceOf): what every evidence reader reads.
VRN_nodeVal& EvidenceOf(VRN_network& net, jint node);

// The node's outcome identifiers; a definition without outcomes has none.
const VRN_idArray& OutcomeIds(const VRN_node& node);

// Outcome outcome's identifier of node node, validated.
jstring GetOutcomeId(JNIEnv* env, jobject obj, jint node, jint outcome);

}  // namespace jni
}  // namespace qelta

#endif  // QELTA_JNI_NETWORK_COMMON_H_
