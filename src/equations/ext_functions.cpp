// User-defined function container, holding the definition texts.
#include "equations/ext_functions.h"

VRN_extFunctionContainer::VRN_extFunctionContainer() = default;

VRN_extFunctionContainer::VRN_extFunctionContainer(
    const VRN_extFunctionContainer& other) = default;

VRN_extFunctionContainer::~VRN_extFunctionContainer() = default;

bool VRN_extFunctionContainer::SetDefinitions(
    const std::vector<std::string>& definitions, int& fnIndex, int& pos,
    std::string& msg) {
  // Texts are kept as given; nothing here can refuse one.
  definitions_ = definitions;
  return true;
}

void VRN_extFunctionContainer::GetDefinitions(std::vector<std::string>& out,
                                              bool deterministicOnly) const {
  out.insert(out.end(), definitions_.begin(), definitions_.end());
}
