// The network's two placement routines: a layered grid (Layout) and rings
// around a centre node (CircleLayout). Both write positions and sizes into
// the nodes' appearance records and nothing else of the network.
#include "network/layout.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "network/network.h"
#include "network/node.h"
#include "base/special_values.h"
#include "base/status.h"
#include "learning/node_layers.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Node box of both routines, and its step and colours in CircleLayout.
constexpr int kNodeWidth = 72;
constexpr int kNodeHeight = 48;
constexpr int kRingStep = 84;       // radius growth per ring, grid column width
constexpr int kRingGrowth = 6;      // each ring holds 6 nodes more
constexpr int kSingleRingMax = 25;  // up to this many nodes share one ring
constexpr int kFirstRingMin = 8;
constexpr int kFirstRingMax = 16;
constexpr int kCentreColor = 0x80FFFF;
constexpr int kIsolatedColor = 0xFFFFFF;
constexpr int kMarginX = 46;
constexpr int kMarginY = 34;

// Size of the first ring for n nodes: all of them when few, else the size
// from 8 to 16 whose rings (each 6 larger than the one before) hold n with
// the fewest places to spare.
int FirstRingSize(int n) {
  if (n <= kSingleRingMax) return n;
  int best = kFirstRingMin;
  long long best_spare = -1;
  for (int f = kFirstRingMin; f <= kFirstRingMax; ++f) {
    const double d = f - 3;
    long long rings = static_cast<long long>(
        std::ceil((std::sqrt(4 * (d * d + 12.0 * n)) - 2 * d) / 12));
    // Rings 0 .. R-1 hold f + 6k nodes each: R (f - 3 + 3R) in all. The
    // loop only guards against rounding in the square root.
    while (rings * (f - 3 + 3 * rings) < n) ++rings;
    const long long spare = rings * (f - 3 + 3 * rings) - n;
    if (best_spare < 0 || spare < best_spare) {
      best = f;
      best_spare = spare;
    }
  }
  return best;
}

void Place(VRN_screenInfo& info, int x, int y) {
  info.x = x;
  info.y = y;
  info.width = kNodeWidth;
  info.height = kNodeHeight;
}

// w/2 + 10 + cell * ((100 + spacing) * w / 100), clamped to the int range
// so that wild options give far-away nodes rather than overflow.
int CellOrigin(int cell, int size, int spacing) {
  const std::int64_t step =
      (100 + static_cast<std::int64_t>(spacing)) * size / 100;
  const std::int64_t at = size / 2 + 10 + static_cast<std::int64_t>(cell) * step;
  return static_cast<int>(
      std::clamp<std::int64_t>(at, INT_MIN, INT_MAX));
}

}  // namespace

int VRN_network::CircleLayout(int centre) {
  if (GetNode(centre) == nullptr) return qelta::kErrOutOfRange;
  std::vector<int> connected;
  std::vector<int> isolated;
  for (const VRN_node* node : nodes_) {
    if (node == nullptr || node->Handle() == centre) continue;
    const bool has_arcs =
        !node->Parents().IsEmpty() || !node->Children().IsEmpty();
    (has_arcs ? connected : isolated).push_back(node->Handle());
  }

  // Rings, centred on (0, 0) with the height squeezed to 48/72.
  const int n = static_cast<int>(connected.size());
  int ring_size = FirstRingSize(n);
  int radius = static_cast<int>(
      42.0 / std::sin(kPi / std::max(ring_size, kFirstRingMin)));
  int min_x = 0;  // the centre sits at (0, 0)
  int min_y = 0;
  for (int next = 0, count = 0; next < n; next += count) {
    count = std::min(ring_size, n - next);
    for (int j = 0; j < count; ++j) {
      const double a = 2 * kPi * j / count;
      const int x = static_cast<int>(std::cos(a) * radius);
      const int y = static_cast<int>(std::sin(a) * radius * kNodeHeight /
                                     kNodeWidth);
      Place(nodes_[connected[next + j]]->ScreenInfo(), x, y);
      min_x = std::min(min_x, x);
      min_y = std::min(min_y, y);
    }
    ring_size += kRingGrowth;
    radius += kRingStep;
  }

  VRN_screenInfo& centre_info = nodes_[centre]->ScreenInfo();
  Place(centre_info, 0, 0);
  centre_info.interior_color = kCentreColor;

  // Nodes without arcs: a square-ish grid below the rings (-min_y mirrors
  // the lowest ring's extent).
  const int isolated_count = static_cast<int>(isolated.size());
  if (isolated_count > 0) {
    const int columns =
        static_cast<int>(std::ceil(std::sqrt(static_cast<double>(isolated_count))));
    for (int i = 0; i < isolated_count; ++i) {
      const int column = i % columns;
      const int row = i / columns;
      VRN_screenInfo& info = nodes_[isolated[i]]->ScreenInfo();
      Place(info, column * kRingStep + min_x,
            (row * 4032 + 4800) / 72 - min_y + kNodeHeight);
      info.interior_color = kIsolatedColor;
    }
  }

  // Move the picture so that its top-left corner lands on the margins.
  for (VRN_node* node : nodes_) {
    if (node == nullptr) continue;
    node->ScreenInfo().x -= min_x - kMarginX;
    node->ScreenInfo().y -= min_y - kMarginY;
  }
  return qelta::kOk;
}

void VRN_network::Layout(const VRN_layoutOptions* options) {
  const VRN_layoutOptions defaults;
  const VRN_layoutOptions& opt = options != nullptr ? *options : defaults;

  // Live nodes are numbered densely in handle order for the layering.
  std::vector<int> number(nodes_.size(), -1);
  std::vector<int> handles;
  for (const VRN_node* node : nodes_) {
    if (node == nullptr) continue;
    number[node->Handle()] = static_cast<int>(handles.size());
    handles.push_back(node->Handle());
  }
  std::vector<std::pair<int, int>> arcs;
  for (int h : handles) {
    for (int child : nodes_[h]->Children()) {
      arcs.emplace_back(number[h], number[child]);
    }
  }
  // A cycle (possible only in a network loaded without the acyclicity
  // test) leaves some nodes unplaced; they keep their positions.
  std::vector<std::pair<int, int>> layers;
  (void)VRN_ComputeNodeLayers(static_cast<int>(handles.size()), arcs, layers);

  int w = opt.width;
  int h = opt.height;
  if (opt.fixedSize == 0) {
    w = 0;
    h = 0;
    for (int handle : handles) {
      w = std::max(w, nodes_[handle]->ScreenInfo().width);
      h = std::max(h, nodes_[handle]->ScreenInfo().height);
    }
  }

  for (size_t i = 0; i < handles.size(); ++i) {
    const auto [layer, position] = layers[i];
    if (layer < 0) continue;
    const int column = opt.transposed != 0 ? position : layer;
    const int row = opt.transposed != 0 ? layer : position;
    VRN_screenInfo& info = nodes_[handles[i]]->ScreenInfo();
    info.x = CellOrigin(column, w, opt.spacing);
    info.y = CellOrigin(row, h, opt.spacing);
    if (opt.fixedSize != 0) {
      info.width = opt.width;
      info.height = opt.height;
    }
  }
}
