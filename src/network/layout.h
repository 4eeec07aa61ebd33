// Options of the network's layered layout (VRN_network::Layout).
//
// A plain value record owned by the caller; Layout only reads it.
#ifndef QELTA_NETWORK_LAYOUT_H_
#define QELTA_NETWORK_LAYOUT_H_

#include <cstdint>

struct VRN_layoutOptions {
  // 0 puts the layers side by side from left to right (a layer is a column);
  // non-zero stacks them from top to bottom (a layer is a row).
  std::uint8_t transposed = 0;
  // Gap between neighbouring cells, in percent of the cell size.
  int spacing = 30;
  // Non-zero: every cell, and every node, gets width x height below;
  // 0: the cell is as large as the widest and the tallest node.
  std::uint8_t fixedSize = 0;
  int width = 0;
  int height = 0;
};

#endif  // QELTA_NETWORK_LAYOUT_H_
