// Parameter randomization: random or uniform tables for every node, or for
// listed nodes, of a network.
#include <vector>

#include "base/random.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/change_guards.h"
#include "network/network.h"
#include "network/node.h"
#include "network/parameter_mutator.h"

namespace {

constexpr int kPlateTemporalType = 3;

class Randomizator : public Mutator {
 public:
  explicit Randomizator(VRN_randomGenerator* generator) : generator_(generator) {}
  // Temporal definitions of plate nodes wait for dynamic networks.
  int Apply(VRN_nodeDef* definition, bool /*isPlate*/) override {
    return definition->MakeRandom(*generator_);
  }

 private:
  VRN_randomGenerator* generator_;  // not owned
};

class Uniformizator : public Mutator {
 public:
  int Apply(VRN_nodeDef* definition, bool /*isPlate*/) override {
    return definition->MakeUniform();
  }
};

}  // namespace

int VRN_network::ApplyMutator(const std::vector<int>* nodes, Mutator& mutator) {
  VRN_relevanceOffGuard relevance_off(this);
  auto apply = [&](int h) {
    VRN_node* node = GetNode(h);
    (void)mutator.Apply(node->Definition(),
                        node->GetTemporalType() == kPlateTemporalType);
    VRN_nodeVal* value = node->Value();
    if (value->HasFlags(qelta::kValFlagPropagated)) {
      (void)value->ClearPropagatedEvidence();
    }
  };
  if (nodes == nullptr) {
    for (int h = GetFirstNode(); h >= 0; h = GetNextNode(h)) apply(h);
    return qelta::kOk;
  }
  for (int h : *nodes) {
    if (GetNode(h) == nullptr) return qelta::kErrOutOfRange;  // done stay done
    apply(h);
  }
  return qelta::kOk;
}

int VRN_network::RandomizeParameters(VRN_randomGenerator* generator,
                                     const std::vector<int>* nodes) {
  VRN_autoUpdateGuard guard(this);
  if (generator == nullptr) generator = GetRandomGenerator();
  Randomizator mutator(generator);
  return ApplyMutator(nodes, mutator);
}

int VRN_network::UniformizeParameters(const std::vector<int>* nodes) {
  VRN_autoUpdateGuard guard(this);
  Uniformizator mutator;
  return ApplyMutator(nodes, mutator);
}
