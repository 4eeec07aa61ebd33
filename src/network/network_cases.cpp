// VRN_network: stored cases and user-defined functions, both owned parts
// that the network creates when first needed.
#include <memory>

#include "network/cases.h"
#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "equations/ext_functions.h"

// ------------------------------------------------------------------- cases

VRN_case* VRN_network::AddCase(const char* name) {
  if (cases_ == nullptr) cases_ = new VRN_caseList(this);
  return cases_->AddCase(name);
}

VRN_case* VRN_network::GetCase(int index) const {
  return cases_ != nullptr ? cases_->GetCase(index) : nullptr;
}

int VRN_network::GetNumberOfCases() const {
  return cases_ != nullptr ? cases_->GetNumberOfCases() : 0;
}

void VRN_network::EnableCaseUpdates(bool on) {
  // The switch must outlive this call even when no case exists yet.
  if (cases_ == nullptr) cases_ = new VRN_caseList(this);
  cases_->SetPropagate(on);
}

// -------------------------------------------------- user-defined functions

int VRN_network::SetExtFunctions(const std::vector<std::string>& definitions,
                                 int& functionIndex, int& position,
                                 std::string& message) {
  auto functions = std::make_unique<VRN_extFunctionContainer>();
  if (!functions->SetDefinitions(definitions, functionIndex, position,
                                 message)) {
    return qelta::kErrInvalidValue;
  }
  // Every expression must accept the new set before any is rebound, so a
  // refusal leaves the old functions in use everywhere.
  for (int h = GetFirstNode(); h >= 0; h = GetNextNode(h)) {
    VRN_node* node = nodes_[h];
    if (node->Definition()->CheckExtFunctions(*functions, &functionIndex,
                                              &message) != qelta::kOk) {
      position = 0;
      message += " in node ";
      message += node->GetId();
      return qelta::kErrInvalidValue;
    }
  }
  for (int h = GetFirstNode(); h >= 0; h = GetNextNode(h)) {
    (void)nodes_[h]->Definition()->PatchExtFunctions(functions.get());
  }
  delete extFunctions_;
  extFunctions_ = functions.release();
  (void)InvalidateValues();
  return qelta::kOk;
}

void VRN_network::GetExtFunctions(std::vector<std::string>& out,
                                  bool deterministicOnly) const {
  out.clear();
  if (extFunctions_ != nullptr) {
    extFunctions_->GetDefinitions(out, deterministicOnly);
  }
}
