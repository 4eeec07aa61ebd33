// VRN_equationSampler: belief updating of a network with equation nodes by
// forward sampling.
//
// Prepare fixes every value that needs no sampling (observed nodes,
// deterministic equations of fixed parents) and decides whether forward
// sampling can honour the evidence: it cannot when some node carries
// virtual evidence or evidence lies on a node whose parents are not all
// fixed; the caller then runs the discrete algorithms on the discretized
// tables instead. Sample draws the network's sample count of forward
// samples in topological order; every accepted sample has weight 1.
//
// A draw evaluates expressions bound once to one context (no name lookups)
// and allocates nothing unless a user-defined function is called.
//
// Ownership: borrows the network; lives for one belief update.
// Thread use: one thread per network.
#ifndef QELTA_EQUATIONS_EQUATION_SAMPLER_H_
#define QELTA_EQUATIONS_EQUATION_SAMPLER_H_

#include <string>
#include <vector>

#include "base/arrays.h"

class VRN_network;

class VRN_equationSampler {
 public:
  explicit VRN_equationSampler(VRN_network* network) : network_(network) {}
  VRN_equationSampler(const VRN_equationSampler&) = delete;
  VRN_equationSampler& operator=(const VRN_equationSampler&) = delete;

  // The fixing pass; false means the discrete algorithms must run.
  bool Prepare();
  // 0; -2 when Prepare (run here when it has not run) answers false; -5
  // when a node got no valid sample; -6 when an equation cannot be solved;
  // -51 for a discrete node with fewer than two outcomes. A value that is
  // not finite (NaN or infinite) is never marked valid: the node gets -5.
  int Sample();

 private:
  bool IsFixed(int handle) const { return slot_[handle] >= 0; }
  double Fixed(int handle) const { return fixed_[slot_[handle]]; }
  void Fix(int handle, double value);
  // Logs "No valid samples were generated for node " with id and detail
  // under -5; answers -5.
  int LogNoValidSamples(const char* id, const std::string& detail = "");

  VRN_network* network_;
  VRN_intArray slot_;
  VRN_doubleArray fixed_;
};

// Makes the discretized table of every equation node for the discrete
// algorithms; 0, or -6 (message logged) when an equation cannot be solved.
int VRN_PrepareEquationTables(VRN_network* network);

#endif  // QELTA_EQUATIONS_EQUATION_SAMPLER_H_
