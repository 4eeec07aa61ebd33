// Writing the canonical node elements of the XML network file.
#include <string>
#include <vector>

#include "base/arrays.h"
#include "definitions/noisy_adder.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "io/xml/xml_net_writer.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr const char* kRoleNames[] = {"inhibitor", "requirement", "cause",
                                      "barrier"};

std::string JoinInts(const int* items, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += std::to_string(items[i]);
  }
  return text;
}

}  // namespace

void XmlNetworkSaver::VisitCast(VRN_cast& definition) {
  WriteNodeStart(definition, "cast", nullptr, false);
  if (!definition.GetParents().IsEmpty()) {
    const VRN_doubleArray& positive = definition.GetPositiveWeights();
    const VRN_doubleArray& negative = definition.GetNegativeWeights();
    WriteDoubleList("pweights", positive.Items(), positive.GetSize(), nullptr,
                    0.0);
    WriteDoubleList("nweights", negative.Items(), negative.GetSize(), nullptr,
                    0.0);
  }
  // Written like any other number, so that it reads back exactly.
  const double baseline = definition.GetBaseline();
  WriteDoubleList("baseline", &baseline, 1, nullptr, 0.0);
}

void XmlNetworkSaver::VisitDemorgan(VRN_demorgan& definition) {
  // A role the file has no name for would read back as something else.
  const VRN_intArray& types = definition.GetParentTypes();
  for (int role : types) {
    if (role < 0 || role > 3) {
      Fail("Invalid DeMorgan parent type " + std::to_string(role) +
           " of node '" + network_->GetNode(node_)->GetId() + "'");
      return;
    }
  }
  WriteNodeStart(definition, "demorgan", nullptr, false);
  if (!definition.GetParents().IsEmpty()) {
    std::vector<const char*> names;
    for (int role : types) names.push_back(kRoleNames[role]);
    WriteStringList("types", names.data(), static_cast<int>(names.size()));
    const VRN_doubleArray& weights = definition.GetParentWeights();
    WriteDoubleList("weights", weights.Items(), weights.GetSize(), nullptr,
                    0.0);
  }
  const double prior = definition.GetPriorBelief();
  WriteDoubleList("priorbelief", &prior, 1, nullptr, 0.0);
}

void XmlNetworkSaver::VisitNoisyMAX(VRN_noisyMAX& definition) {
  WriteNodeStart(definition, "noisymax", nullptr, true);
  if (definition.GetStrengthsCount() > 0) {
    // Each outcome's rank in its parent's strength order.
    std::vector<int> ranks;
    for (int i = 0; i < definition.GetStrengthsCount(); ++i) {
      const VRN_intArray& order = definition.GetParentOutcomeStrengths(i);
      for (int j = 0; j < order.GetSize(); ++j) ranks.push_back(order.FindPosition(j));
    }
    WriteTextElement("strengths",
                     JoinInts(ranks.data(), static_cast<int>(ranks.size())).c_str(),
                     0);
  }
  const VRN_matrix& parameters = definition.Parameters();
  WriteDoubleList("parameters", parameters.GetItems().Items(),
                  parameters.GetItemCount(), nullptr, 0.0);
}

void XmlNetworkSaver::VisitNoisyAdder(VRN_noisyAdder& definition) {
  if (definition.GetFunction() == VRN_noisyAdder::kSingleFault) {
    AddStringAttribute("function", "singlefault");
  }
  WriteNodeStart(definition, "noisyadder", nullptr, true);
  const int parents = definition.GetWeights().GetSize() - 1;
  std::vector<int> states{definition.GetDistinguishedState()};
  for (int i = 0; i < parents; ++i) {
    states.push_back(definition.GetParentDistinguishedState(i));
  }
  WriteTextElement("dstates",
                   JoinInts(states.data(), static_cast<int>(states.size())).c_str(),
                   0);
  const VRN_doubleArray& weights = definition.GetWeights();
  WriteDoubleList("weights", weights.Items(), weights.GetSize(), nullptr, 0.0);
  const VRN_matrix& parameters = definition.Parameters();
  WriteDoubleList("parameters", parameters.GetItems().Items(),
                  parameters.GetItemCount(), nullptr, 0.0);
}
