#include "jni/network_common.h"

#include <cstdarg>
#include <stdexcept>

#include "base/error_log.h"
#include "base/strings.h"
#include "definitions/node_def.h"
#include "jni/codes.h"
#include "network/node.h"
#include "network/submodel.h"

namespace qelta {
namespace jni {

void LogReasonIfSilent(VRN_network& net, int status, const char* format, ...) {
  VRN_errorLog& log = *net.ErrorLog();
  if (log.GetNumberOfMessages() > 0) return;
  va_list args;
  va_start(args, format);
  (void)log.LogfV(status, format, args);
  va_end(args);
}

void LogIdentifierInUse(VRN_network& net, int status, const std::string& id) {
  const int node = net.FindNode(id.c_str());
  if (node >= 0) {
    LogReasonIfSilent(net, status, "Identifier '%s' is already held by a node", id.c_str());
  } else if (net.Submodels()->FindSubmodel(id.c_str()) >= 0) {
    LogReasonIfSilent(net, status, "Identifier '%s' is already held by a submodel", id.c_str());
  }
}

std::string NodeTypeName(const VRN_node& node) {
  return NameOfCode(kNodeTypes, node.Definition()->GetType());
}

std::string IdOf(const VRN_node& node) {
  const char* id = node.GetId();
  return id != nullptr ? id : "";
}

VRN_nodeVal& EvidenceOf(VRN_network& net, jint node) {
  ValidateNodeHandle(net, node);
  return *net.EvidenceOf(node);
}

const VRN_idArray& OutcomeIds(const VRN_node& node) {
  const VRN_idArray* ids = node.Definition()->GetOutcomesNames();
  if (ids == nullptr) {
    throw std::runtime_error("NULL array returned from GetOutcomesNames");
  }
  return *ids;
}

jstring GetOutcomeId(JNIEnv* env, jobject obj, jint node, jint outcome) {
  VRN_node* target = ValidateOutcomeIndex(Net(env, obj), node, outcome);
  const char* id = OutcomeIds(*target).Get(outcome);
  // Outcomes given by intervals may have empty identifiers.
  return NativeToJavaString(env, id != nullptr ? id : "");
}

}  // namespace jni
}  // namespace qelta
