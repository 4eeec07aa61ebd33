// The size check that file readers run before they give a node its parents.
//
// A file can name any number of parents in a few bytes, and every arc grows
// the child's table; a reader therefore computes the table's final cell
// count first and refuses a family whose table is larger than inference
// could ever use (the join-tree default limit), before anything is
// allocated. Stateless; safe from any thread that owns the network.
#ifndef QELTA_IO_TABLE_LIMIT_H_
#define QELTA_IO_TABLE_LIMIT_H_

#include <cstdint>
#include <vector>

class VRN_network;

namespace qelta {

// Most cells of a table a file may give one node.
inline constexpr std::uint64_t kReadTableCellLimit = 0x10000000u;

// Cells of the table that node `child` will have with `parents` (handles,
// in parent order) and `own` outcomes (own < 1: the child's current count,
// or 1 when it has none): own times each parent's outcome count (1 for a
// parent without outcomes or a bad handle). The product saturates at
// kReadTableCellLimit + 1, so a result above the limit means "too large".
std::uint64_t FamilyTableCells(const VRN_network& network, int child,
                               const std::vector<int>& parents, int own = 0);

// Product of the parents' outcome counts alone, saturating as above.
std::uint64_t ParentConfigurations(const VRN_network& network,
                                   const std::vector<int>& parents);

}  // namespace qelta

#endif  // QELTA_IO_TABLE_LIMIT_H_
