// Noisy-MAX decomposition for parameter learning: a noisy-MAX node of EM's
// private working network becomes CPT nodes whose tables are exactly its
// parameters (one inhibitor per parent, a fake leak parent and leak child,
// the node itself a deterministic minimum of them), so EM learns the
// inhibitors' and leak's free columns; folding turns the learned tables back
// into the noisy-MAX parameters. The node's user property "VRN_MAXDECOMP"
// set to exactly "LADDER" chooses the ladder form, in which the minimum is
// taken by a chain of two-parent rungs ("LADDER_<node>_<parent>") from the
// leak child through the inhibitors, every auxiliary node marked by
// "VRN_DECOMPTYPE"; any other value gives the inhibitor form.
//
// Thread use: the caller's; the network must not be used by anyone else.
#ifndef QELTA_LEARNING_NOISY_DECOMPOSE_H_
#define QELTA_LEARNING_NOISY_DECOMPOSE_H_

#include <vector>

#include "base/arrays.h"

class VRN_network;

// What folding needs: the node, its parents' strength orders and the
// auxiliary nodes that were added.
struct VRN_noisyMaxDecomposition {
  int node = -1;
  std::vector<VRN_intArray> strengths;
};

// Replaces noisy-MAX node `node` of net by its decomposition. False (and no
// change) when it is not a noisy-MAX node or an auxiliary node cannot be
// made. On success *out describes it.
bool DecomposeNoisyMax(VRN_network& net, int node, VRN_noisyMaxDecomposition* out);

// Folds a decomposition back: the node becomes noisy-MAX again over its old
// parents with the inhibitors' and leak's tables as parameters (every
// column taken back through the parent's strength order) and the auxiliary
// nodes are deleted. False when the structure is not a decomposition.
bool RecomposeNoisyMax(VRN_network& net, const VRN_noisyMaxDecomposition& d);

#endif  // QELTA_LEARNING_NOISY_DECOMPOSE_H_
