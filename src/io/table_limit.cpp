#include "io/table_limit.h"

#include "definitions/node_def.h"
#include "network/network.h"
#include "network/node.h"

namespace qelta {
namespace {

std::uint64_t Saturating(std::uint64_t product, int factor) {
  if (factor < 1) factor = 1;
  const std::uint64_t cap = kReadTableCellLimit + 1;
  product *= static_cast<std::uint64_t>(factor);
  return product > cap ? cap : product;
}

int OutcomeCount(const VRN_network& network, int handle) {
  const VRN_node* node = network.GetNode(handle);
  return node == nullptr ? 1 : node->Definition()->GetDiscreteOutcomeCount();
}

}  // namespace

std::uint64_t ParentConfigurations(const VRN_network& network,
                                   const std::vector<int>& parents) {
  std::uint64_t cells = 1;
  for (int parent : parents) {
    cells = Saturating(cells, OutcomeCount(network, parent));
  }
  return cells;
}

std::uint64_t FamilyTableCells(const VRN_network& network, int child,
                               const std::vector<int>& parents, int own) {
  if (own < 1) own = OutcomeCount(network, child);
  return Saturating(ParentConfigurations(network, parents), own);
}

}  // namespace qelta
