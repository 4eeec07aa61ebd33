// The network's reading of the test-group cost mark of a node.
#include <cctype>

#include "network/network.h"
#include "network/node.h"

bool VRN_network::IsTestGroupCost(int handle) const {
  const VRN_node* node = GetNode(handle);
  if (node == nullptr) return false;
  const VRN_userProperties& properties = node->UserProperties();
  const int index = properties.FindProperty("DIAG_TESTGROUPCOST");
  if (index < 0) return false;
  const char* value = properties.GetPropertyValue(index);
  const char* expected = "true";
  if (value == nullptr) return false;
  for (; *expected != '\0'; ++value, ++expected) {
    if (std::tolower(static_cast<unsigned char>(*value)) != *expected) {
      return false;
    }
  }
  return *value == '\0';
}
