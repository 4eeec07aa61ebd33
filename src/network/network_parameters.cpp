// Parameter randomization: random or uniform tables for every node, or for
// listed nodes, of a network.
#include <vector>

#include "base/random.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/change_guards.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"
#include "network/parameter_mutator.h"

namespace {

constexpr int kPlateTemporalType = 3;

// The temporal part that holds a plate node's temporal definitions; null
// for other nodes, which do not consult it.
VRN_dbn* TemporalPart(const VRN_nodeDef* definition, bool isPlate) {
  if (!isPlate || definition->GetNetwork() == nullptr) return nullptr;
  return definition->GetNetwork()->Dbn();
}

class Randomizator : public Mutator {
 public:
  explicit Randomizator(VRN_randomGenerator* generator) : generator_(generator) {}
  int Apply(VRN_nodeDef* definition, bool isPlate) override {
    const int status = definition->MakeRandom(*generator_);
    VRN_dbn* dbn = TemporalPart(definition, isPlate);
    if (dbn == nullptr) return status;
    return dbn->RandomizeTemporalDefinitions(definition->GetHandle(),
                                             *generator_);
  }

 private:
  VRN_randomGenerator* generator_;  // not owned
};

class Uniformizator : public Mutator {
 public:
  int Apply(VRN_nodeDef* definition, bool isPlate) override {
    const int status = definition->MakeUniform();
    VRN_dbn* dbn = TemporalPart(definition, isPlate);
    if (dbn == nullptr) return status;
    return dbn->UniformizeTemporalDefinitions(definition->GetHandle());
  }
};

}  // namespace

int VRN_network::ApplyMutator(const std::vector<int>* nodes, Mutator& mutator) {
  std::vector<int> changed;
  int status = qelta::kOk;
  {
    // One relevance update for all the tables below, not one per table.
    VRN_relevanceOffGuard relevance_off(this);
    auto apply = [&](int h) {
      VRN_node* node = GetNode(h);
      (void)mutator.Apply(node->Definition(),
                          node->GetTemporalType() == kPlateTemporalType);
      VRN_nodeVal* value = node->Value();
      if (value->HasFlags(qelta::kValFlagPropagated)) {
        (void)value->ClearPropagatedEvidence();
      }
      changed.push_back(h);
    };
    if (nodes == nullptr) {
      for (int h = GetFirstNode(); h >= 0; h = GetNextNode(h)) apply(h);
    } else {
      for (int h : *nodes) {
        if (GetNode(h) == nullptr) {
          status = qelta::kErrOutOfRange;  // the nodes done stay done
          break;
        }
        apply(h);
      }
    }
  }
  (void)OnTablesChanged(changed);
  return status;
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
