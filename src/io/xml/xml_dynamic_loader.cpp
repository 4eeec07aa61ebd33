// The dynamic part of the XML network file: "dynamic" with the slice count
// and one element per temporal definition of a plate node, named after the
// definition kind ("cpt", "deterministic", "noisymax", "noisyadder",
// "demorgan"). The content of each is that of the node element of its kind,
// so the node elements' list handlers and end steps run on the temporal
// definition.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/noisy_adder.h"
#include "io/table_limit.h"
#include "io/xml/xml_net_loader.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kInherit = kXmlInheritMode;
constexpr int kReq = kXmlRequired;
constexpr int kRep = kXmlRepeat;

}  // namespace

// The binding of one temporal definition element: the definition kind it
// names and the end step of that kind's node element.
class XmlNetLoader::TemporalBinding : public XmlBinding, public IXmlHandler {
 public:
  TemporalBinding(XmlNetLoader* loader, const char* name, int type,
                  Member end)
      : XmlBinding(nullptr, name, kInherit),
        loader_(loader),
        type_(type),
        end_step_(end) {
    set_handler(this);
    AddAttribute("id", true);
    AddAttribute("order", true);
    if (type == qelta::kDefNoisyAdder) AddAttribute("function", false);
  }

  void OnStart(IXmlReader& reader) override {
    loader_->OnTemporalStart(reader, *this);
  }
  void OnEnd(IXmlReader& reader) override {
    loader_->OnTemporalEnd(reader, *this);
  }

  int type() const { return type_; }
  Member end_step() const { return end_step_; }

 private:
  XmlNetLoader* loader_;
  int type_;
  Member end_step_;
};

void XmlNetLoader::AppendTemporalDefinitions(Binding* dynamic,
                                             Binding* parents) {
  using L = XmlNetLoader;
  auto make = [&](const char* name, int type, Member end) {
    auto binding = std::make_unique<TemporalBinding>(this, name, type, end);
    TemporalBinding* raw = binding.get();
    bindings_.push_back(std::move(binding));
    raw->AddChild(parents, kReq);
    dynamic->AddChild(raw, kRep);
    return raw;
  };
  make("cpt", qelta::kDefCpt, &L::OnCptEnd)
      ->AddChild(Bind("probabilities", kInherit, &L::OnProbabilitiesStart,
                      nullptr, &L::OnValueToken),
                 kReq);
  make("deterministic", qelta::kDefTruthTable, &L::OnDeterministicEnd)
      ->AddChild(Bind("resultingstates", kInherit, &L::OnResultingStatesStart,
                      nullptr, &L::OnResultingStateToken),
                 kReq);
  Binding* weights = Bind("weights", kInherit, nullptr, nullptr,
                          &L::OnWeightToken);
  Binding* parameters = Bind("parameters", kInherit, nullptr, nullptr,
                             &L::OnParameterToken);
  TemporalBinding* noisymax =
      make("noisymax", qelta::kDefNoisyMax, &L::OnNoisyMaxEnd);
  noisymax->AddChild(Bind("strengths", kInherit, nullptr, nullptr,
                          &L::OnStrengthToken), 0);
  noisymax->AddChild(parameters, 0);
  TemporalBinding* adder =
      make("noisyadder", qelta::kDefNoisyAdder, &L::OnNoisyAdderEnd);
  adder->AddChild(Bind("dstates", kInherit, nullptr, nullptr,
                       &L::OnDistinguishedStateToken), 0);
  adder->AddChild(weights, 0);
  adder->AddChild(parameters, 0);
  TemporalBinding* demorgan =
      make("demorgan", qelta::kDefDemorgan, &L::OnDemorganEnd);
  demorgan->AddChild(Bind("types", kInherit, nullptr, nullptr,
                          &L::OnParentTypeToken), 0);
  demorgan->AddChild(weights, 0);
  demorgan->AddChild(Bind("priorbelief", kInherit, nullptr,
                          &L::OnPriorBeliefEnd), kReq);
}

void XmlNetLoader::OnDynamicStart(IXmlReader& reader) {
  if (!reader.GetIntAttribute("numslices", slice_count_, 0)) return;
  if (slice_count_ < 0) {
    reader.Abort(("Invalid slice count: " + std::to_string(slice_count_) +
                  ", non-negative integer expected")
                     .c_str());
  }
}

void XmlNetLoader::OnDynamicEnd(IXmlReader&) {
  // A count of 0 is kept in files of networks that never set one; the
  // network keeps its own count then.
  (void)network_->SetNumberOfSlices(slice_count_);
}

void XmlNetLoader::OnTemporalStart(IXmlReader& reader,
                                   const TemporalBinding& binding) {
  std::string id;
  reader.GetAttribute("id", id);
  const int handle = FindId(id);
  if (handle < 0) {
    AbortQuoted(reader, "Invalid node identifier", id);
    return;
  }
  if (network_->GetTemporalType(handle) != qelta::kTemporalPlate) {
    AbortQuoted(reader, "Node is not part of temporal plate", id);
    return;
  }
  int order = 0;
  if (!reader.GetIntAttribute("order", order, 0)) return;
  if (order < 1) {
    reader.Abort(("Invalid temporal order: " + std::to_string(order) +
                  ", positive value expected")
                     .c_str());
    return;
  }
  const VRN_nodeDef* own = network_->GetNode(handle)->Definition();
  canonical_ = CanonicalData();
  if (own->GetType() == qelta::kDefNoisyAdder) {
    std::string text;
    reader.GetAttribute("function", text);
    if (text.empty() || text == "average") {
      canonical_.function = VRN_noisyAdder::kAverage;
    } else if (text == "singlefault") {
      canonical_.function = VRN_noisyAdder::kSingleFault;
    } else {
      AbortQuoted(reader, "Invalid noisy adder function", text);
      return;
    }
  }
  ClearNodeData();
  node_ = handle;
  definition_ = nullptr;
  temporal_order_ = order;
}

void XmlNetLoader::OnTemporalEnd(IXmlReader& reader,
                                 const TemporalBinding& binding) {
  if (parents_.empty()) {
    reader.Abort("No temporal parents specified");
    return;
  }
  // A missing required child is left to the reader, which names it.
  const bool lazy = VRN_nodeDef::IsLazyType(binding.type());
  if (!seen_values_ && !lazy) return;
  const VRN_node* node = network_->GetNode(node_);
  // The table that the arcs would make is sized before any arc is added:
  // a short file may name more parents than any table could hold.
  if (!lazy) {
    // Anchor and terminal parents reach only the copies they are linked
    // to, not the temporal tables.
    std::vector<int> family;
    for (int parent : node->Parents()) {
      const int type = network_->GetTemporalType(parent);
      if (type == qelta::kTemporalNormal || type == qelta::kTemporalPlate) {
        family.push_back(parent);
      }
    }
    VRN_intArray orders;
    (void)network_->GetTemporalOrders(node_, orders);
    for (int order : orders) {
      if (order > temporal_order_) break;
      VRN_intArray earlier;
      (void)network_->GetTemporalParents(node_, order, earlier);
      family.insert(family.end(), earlier.begin(), earlier.end());
    }
    family.insert(family.end(), parents_.begin(), parents_.end());
    const std::uint64_t cells = qelta::FamilyTableCells(
        *network_, node_, family,
        node->Definition()->GetDiscreteOutcomeCount());
    if (cells > qelta::kReadTableCellLimit) {
      AbortQuoted(reader, "Table too large for node", node->GetId());
      return;
    }
    if (binding.end_step() == &XmlNetLoader::OnCptEnd &&
        values_.size() != cells) {
      AbortProbabilityCount(reader, values_.size(), cells);
      return;
    }
  }
  for (int parent : parents_) {
    if (network_->AddTemporalArc(parent, node_, temporal_order_) !=
        qelta::kOk) {
      reader.Abort("AddTemporalArc failed");
      return;
    }
  }
  VRN_dbn* dbn = network_->Dbn();
  VRN_nodeDef* temporal =
      dbn == nullptr ? nullptr
                     : dbn->GetTemporalDefinition(node_, temporal_order_);
  // "defintion" is the messages' established spelling.
  if (temporal == nullptr) {
    reader.Abort("Temporal defintion not found");
    return;
  }
  if (temporal->GetType() != binding.type() ||
      temporal->GetType() != node->Definition()->GetType()) {
    reader.Abort("Invalid temporal defintion type");
    return;
  }
  definition_ = temporal;
  names_definition_ = node->Definition();
  (this->*binding.end_step())(reader);
  names_definition_ = nullptr;
  definition_ = nullptr;
  values_.clear();
}
