// Mutator: one operation applied to the definitions of a network's nodes
// (VRN_network::ApplyMutator), used to reset parameters to random or
// uniform tables before parameter learning.
//
// Ownership: a mutator owns nothing it is given. Single-threaded.
#ifndef QELTA_NETWORK_PARAMETER_MUTATOR_H_
#define QELTA_NETWORK_PARAMETER_MUTATOR_H_

class VRN_nodeDef;

class Mutator {
 public:
  Mutator() = default;
  virtual ~Mutator() = default;
  Mutator(const Mutator&) = delete;
  Mutator& operator=(const Mutator&) = delete;

  // Changes definition (of a plate node when isPlate); answers the
  // definition's status.
  virtual int Apply(VRN_nodeDef* definition, bool isPlate) = 0;
};

#endif  // QELTA_NETWORK_PARAMETER_MUTATOR_H_
