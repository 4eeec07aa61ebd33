// Layering of a directed graph for drawing: every node gets a layer (how
// many passes of "take every node whose parents are all placed" it waited)
// and a position within its layer. The network's layered layout and the
// structure learners use it to give nodes a readable arrangement.
//
// Thread use: reentrant; no state of its own.
#ifndef QELTA_LEARNING_NODE_LAYERS_H_
#define QELTA_LEARNING_NODE_LAYERS_H_

#include <utility>
#include <vector>

// Layers the graph of n nodes (numbered 0 .. n-1) whose arcs are the
// (parent, child) pairs of `arcs`. Pass k places, in increasing index order,
// every node that had no unplaced parent when the pass began; node i gets
// layers[i] = (k, its position within pass k from 0).
//
// layers is resized to n (empty for n < 0) and every node starts unplaced as
// (-1, -1). Answers true when every node was placed. Answers false, leaving
// the nodes that could not be placed at (-1, -1), when
//   - the arcs close a directed cycle (the nodes on and below it stay
//     unplaced);
//   - an unordered pair of nodes carries more than one arc, in either
//     direction (nothing is placed);
//   - n < 0 or an arc names a node outside 0 .. n-1 (nothing is placed).
bool VRN_ComputeNodeLayers(int n, const std::vector<std::pair<int, int>>& arcs,
                           std::vector<std::pair<int, int>>& layers);

#endif  // QELTA_LEARNING_NODE_LAYERS_H_
