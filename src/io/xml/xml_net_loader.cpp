#include "io/xml/xml_net_loader.h"

#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "base/arrays.h"
#include "network/cases.h"
#include "network/change_guards.h"
#include "base/matrix.h"
#include "network/network.h"
#include "network/node.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/truth_table.h"
#include "equations/equation.h"
#include "equations/expression_parser.h"
#include "equations/ext_functions.h"
#include "io/table_limit.h"

namespace {

constexpr const char* kFileVersion = "1.0";
constexpr int kInherit = kXmlInheritMode;
constexpr int kReq = kXmlRequired;
constexpr int kRep = kXmlRepeat;
constexpr int kPlateType = 3;  // temporal type of plate nodes

// Values lists reserve this much up front: enough for common tables without
// letting a hostile parent list make the loader allocate before any value
// has arrived.
constexpr size_t kValuesReserve = 4096;
constexpr size_t kMaxProbabilitiesReserve = size_t{1} << 16;

// The attributes every node element declares.
constexpr const char* kNodeAttributes[] = {"target", "diagtype", "dynamic",
                                           "ranked", "mandatory"};

// Maps an attribute's text to its index in names; an absent (empty) text
// gives `absent`, a text not listed -1. The compare is case-sensitive.
int MapCode(const std::string& text, const char* const* names, int count,
            int absent) {
  if (text.empty()) return absent;
  for (int i = 0; i < count; ++i) {
    if (text == names[i]) return i;
  }
  return -1;
}

}  // namespace

// ---------------------------------------------------------------- bindings

XmlNetLoader::NodeBinding::NodeBinding(XmlNetLoader* loader, const char* name,
                                       int type, bool hasStates, Member end)
    : XmlBinding(nullptr, name, kInherit),
      loader_(loader),
      type_(type),
      has_states_(hasStates),
      end_step_(end) {
  set_handler(this);
  AddAttribute("id", true);
  for (const char* attribute : kNodeAttributes) AddAttribute(attribute, false);
  if (type == qelta::kDefNoisyAdder) AddAttribute("function", false);
}

void XmlNetLoader::NodeBinding::OnStart(IXmlReader& reader) {
  loader_->OnNodeStart(reader, *this);
}

void XmlNetLoader::NodeBinding::OnEnd(IXmlReader& reader) {
  loader_->OnNodeEnd(reader, *this);
}

XmlNetLoader::XmlNetLoader(VRN_network* network) : network_(network) {}

XmlNetLoader::~XmlNetLoader() = default;

XmlNetLoader::Binding* XmlNetLoader::Bind(const char* name, int mode,
                                          Member start, Member end,
                                          Member text) {
  auto binding = std::make_unique<Binding>(this, name, mode, start, end, text);
  Binding* raw = binding.get();
  bindings_.push_back(std::move(binding));
  return raw;
}

XmlNetLoader::NodeBinding* XmlNetLoader::BindNode(const char* name, int type,
                                                  bool hasStates,
                                                  Member end) {
  auto binding =
      std::make_unique<NodeBinding>(this, name, type, hasStates, end);
  NodeBinding* raw = binding.get();
  bindings_.push_back(std::move(binding));
  return raw;
}

void XmlNetLoader::BuildBindings(IXmlBinding* extension) {
  using L = XmlNetLoader;

  root_ = Bind("qelta", 0, &L::OnRootStart, nullptr);
  root_->AddAttribute("version", true);
  root_->AddAttribute("id", true);
  for (const char* attribute :
       {"numsamples", "discsamples", "randseed", "discavoidzero",
        "rejectoutliers", "enablenoisydecomp", "noisydecomplimit"}) {
    root_->AddAttribute(attribute, false);
  }

  // Network level.
  Binding* properties = Bind("properties", kInherit, nullptr, nullptr);
  Binding* net_property = Bind("property", kInherit, &L::OnNetPropertyStart,
                               &L::OnNetPropertyEnd);
  net_property->AddAttribute("id", true);
  properties->AddChild(net_property, kRep);

  Binding* algparams = Bind("algparams", kInherit, nullptr, nullptr);
  Binding* epis = Bind("epis", kInherit, &L::OnEpisStart, nullptr);
  for (const char* attribute : {"proplen", "numstates1", "numstates2",
                                "numstates3", "eps1", "eps2", "eps3", "eps4"}) {
    epis->AddAttribute(attribute, true);
  }
  algparams->AddChild(epis, 0);

  Binding* functions = Bind("functions", kInherit, nullptr,
                            &L::OnFunctionsEnd);
  Binding* function = Bind("function", kInherit, nullptr, &L::OnFunctionEnd);
  functions->AddChild(function, kRep);

  // Shared children of node elements.
  Binding* nodes = Bind("nodes", kInherit, nullptr, nullptr);
  Binding* parents = Bind("parents", kInherit, nullptr, nullptr,
                          &L::OnParentToken);
  Binding* node_property = Bind("property", kInherit, &L::OnNodePropertyStart,
                                &L::OnNodePropertyEnd);
  node_property->AddAttribute("id", true);
  Binding* state = Bind("state", kInherit, &L::OnStateStart, nullptr);
  state->AddAttribute("id", true);
  state->AddAttribute("label", false);
  state->AddAttribute("default", false);
  state->AddAttribute("fault", false);
  Binding* intervals = Bind("intervals", kInherit, &L::OnIntervalsStart,
                            nullptr, &L::OnIntervalToken);
  Binding* point_values = Bind("pointvalues", kInherit, &L::OnPointValuesStart,
                               nullptr, &L::OnPointValueToken);

  NodeBinding* cpt = BindNode("cpt", qelta::kDefCpt, true, &L::OnCptEnd);
  Binding* probabilities = Bind("probabilities", kInherit,
                                &L::OnProbabilitiesStart, nullptr,
                                &L::OnValueToken);
  cpt->AddChild(probabilities, kReq);

  NodeBinding* deterministic = BindNode("deterministic", qelta::kDefTruthTable,
                                        true, &L::OnDeterministicEnd);
  Binding* resulting_states =
      Bind("resultingstates", kInherit, &L::OnResultingStatesStart, nullptr,
           &L::OnResultingStateToken);
  deterministic->AddChild(resulting_states, kReq);

  NodeBinding* decision = BindNode("decision", qelta::kDefDecision, true,
                                   &L::OnDecisionEnd);
  NodeBinding* utility = BindNode("utility", qelta::kDefUtility, false,
                                  &L::OnUtilityEnd);
  Binding* utilities = Bind("utilities", kInherit, &L::OnProbabilitiesStart,
                            nullptr, &L::OnValueToken);
  utility->AddChild(utilities, kReq);

  NodeBinding* equation = BindNode("equation", qelta::kDefEquation, false,
                                   &L::OnEquationEnd);
  Binding* equation_text =
      Bind("definition", kInherit, &L::OnEquationDefinitionStart,
           &L::OnEquationDefinitionEnd);
  for (const char* attribute :
       {"lower", "upper", "default", "lowernominal", "uppernominal"}) {
    equation_text->AddAttribute(attribute, false);
  }
  Binding* discretization = Bind("discretization", kInherit, nullptr, nullptr);
  Binding* disc_interval = Bind("interval", kInherit, &L::OnDiscIntervalStart,
                                nullptr);
  disc_interval->AddAttribute("label", false);
  disc_interval->AddAttribute("upper", true);
  discretization->AddChild(disc_interval, kReq | kRep);
  equation->AddChild(equation_text, kReq);
  equation->AddChild(discretization, 0);

  std::vector<NodeBinding*> node_bindings = {cpt, deterministic, decision,
                                             utility, equation};
  AppendCanonicalNodes(&node_bindings);
  AppendMauNodes(&node_bindings);
  for (NodeBinding* node : node_bindings) {
    node->AddChild(parents, 0);
    node->AddChild(node_property, kRep);
    if (node->has_states()) {
      node->AddChild(state, kReq | kRep);
      node->AddChild(intervals, 0);
      node->AddChild(point_values, 0);
    }
    nodes->AddChild(node, kRep);
  }

  Binding* dynamic = Bind("dynamic", kInherit, &L::OnDynamicStart,
                          &L::OnDynamicEnd);
  dynamic->AddAttribute("numslices", true);
  AppendTemporalDefinitions(dynamic, parents);

  Binding* observation_cost = Bind("observationcost", kInherit, nullptr,
                                   nullptr);
  Binding* cost_node = Bind("node", kInherit, &L::OnCostNodeStart,
                            &L::OnCostNodeEnd);
  cost_node->AddAttribute("id", true);
  Binding* cost = Bind("cost", kInherit, &L::OnCostStart, nullptr,
                       &L::OnCostToken);
  cost_node->AddChild(parents, 0);
  cost_node->AddChild(cost, kReq);
  observation_cost->AddChild(cost_node, kRep);

  Binding* cases = Bind("cases", kInherit, nullptr, nullptr);
  Binding* a_case = Bind("case", kInherit, &L::OnCaseStart, nullptr);
  a_case->AddAttribute("name", true);
  a_case->AddAttribute("category", false);
  a_case->AddAttribute("created", false);
  a_case->AddAttribute("modified", false);
  Binding* description = Bind("description", kInherit, nullptr,
                              &L::OnDescriptionEnd);
  Binding* evidence = Bind("evidence", kInherit, &L::OnEvidenceStart, nullptr);
  evidence->AddAttribute("node", true);
  evidence->AddAttribute("slice", false);
  evidence->AddAttribute("state", true);
  Binding* soft_evidence = Bind("softevidence", kInherit,
                                &L::OnSoftEvidenceStart,
                                &L::OnSoftEvidenceEnd, &L::OnValueToken);
  soft_evidence->AddAttribute("node", true);
  Binding* target = Bind("target", kInherit, &L::OnTargetStart, nullptr);
  target->AddAttribute("node", true);
  a_case->AddChild(description, 0);
  a_case->AddChild(evidence, kRep);
  a_case->AddChild(soft_evidence, kRep);
  a_case->AddChild(target, kRep);
  cases->AddChild(a_case, kRep);

  // The extension block keeps its own lenient mode.
  Binding* extensions = Bind("extensions", 0, nullptr, nullptr);
  if (extension != nullptr) extensions->AddChild(extension, kReq);

  root_->AddChild(properties, 0);
  root_->AddChild(algparams, 0);
  root_->AddChild(functions, 0);
  root_->AddChild(nodes, 0);
  root_->AddChild(dynamic, 0);
  root_->AddChild(observation_cost, 0);
  root_->AddChild(cases, 0);
  root_->AddChild(extensions, 0);
}

// ---------------------------------------------------------------- Load

namespace {

struct ZantuRelease {
  void operator()(IXmlZantuLoader* loader) const {
    if (loader != nullptr) loader->Release();
  }
};

}  // namespace

bool XmlNetLoader::Load(const char* fileName, const char* text,
                        VRN_network* network, int extension,
                        IXmlBinding* callerExtension) {
  assert(network != nullptr);
  XmlNetLoader loader(network);
  loader.Init(fileName, network->ErrorLog());

  std::unique_ptr<IXmlZantuLoader, ZantuRelease> zantu;
  IXmlBinding* extension_binding = nullptr;
  if (extension == qelta::kXmlExtensionLayout) {
    zantu.reset(XmlZantuLoader::Create(&loader, network, &loader.ids_));
    if (zantu == nullptr) throw std::bad_alloc();
    extension_binding = zantu->GetRootBinding();
  } else if (extension != qelta::kXmlExtensionNone) {
    extension_binding = callerExtension;  // null: no block is declared
  }
  loader.BuildBindings(extension_binding);

  bool ok = false;
  {
    // Relevance bookkeeping walks the whole network after every edit, which
    // would make a load quadratic in the node count; nothing it computes is
    // needed before the network is complete.
    VRN_relevanceOffGuard relevance_off(network);
    ok = fileName != nullptr
             ? loader.ReadFile(fileName, loader.root_, &loader)
             : loader.ReadString(text == nullptr ? "" : text, loader.root_,
                                 &loader);
  }
  // Once, for all the edits the bookkeeping did not see.
  (void)network->OnStructureChange();
  if (ok) loader.ReportUnknownContent();
  return ok;
}

// ---------------------------------------------------------------- helpers

void XmlNetLoader::AbortQuoted(IXmlReader& reader, const char* message,
                               const std::string& quoted) {
  reader.Abort((std::string(message) + ": '" + quoted + "'").c_str());
}

void XmlNetLoader::AbortProbabilityCount(IXmlReader& reader, std::size_t given,
                                         std::uint64_t cells) {
  reader.Abort(("SetProbabilities failed: node '" +
                std::string(network_->GetNode(node_)->GetId()) + "': " + std::to_string(given) +
                " numbers in probabilities, " + std::to_string(cells) + " in its table")
                   .c_str());
}

void XmlNetLoader::AppendDoubleToken(IXmlReader& reader,
                                     std::vector<double>& list,
                                     bool allowInfinite) {
  const std::string& token = reader.GetText();
  char* end = nullptr;
  const double value = strtod(token.c_str(), &end);
  // strtod also takes "nan" and "inf": no probability, cost or point value
  // may be either, and NaN is no interval bound.
  const bool number_ok =
      std::isfinite(value) || (allowInfinite && std::isinf(value));
  if (token.empty() || *end != '\0' || !number_ok) {
    reader.Abort(("Can't read list of doubles, failed at element " +
                  std::to_string(list.size() + 1))
                     .c_str());
    return;
  }
  list.push_back(value);
}

int XmlNetLoader::FindId(const std::string& id) const {
  const auto found = ids_.find(id);
  return found == ids_.end() ? -1 : found->second;
}

void XmlNetLoader::ClearNodeData() {
  state_ids_.clear();
  state_id_set_.clear();
  state_labels_.clear();
  parents_.clear();
  parent_set_.clear();
  values_.clear();
  intervals_.clear();
  point_values_.clear();
  has_intervals_ = false;
  has_point_values_ = false;
  resulting_names_.clear();
  resulting_states_.clear();
  default_state_ = -1;
  fault_states_.clear();
  seen_values_ = false;
  equation_text_.clear();
  disc_intervals_.clear();
}

// ---------------------------------------------------------------- root

void XmlNetLoader::OnRootStart(IXmlReader& reader) {
  std::string value;
  reader.GetAttribute("id", value);
  // An identifier the rule refuses leaves the network's own one.
  (void)network_->Header()->SetId(value.c_str());
  reader.GetAttribute("version", value);
  if (!XmlCheckVersion(reader, value.c_str(), kFileVersion)) return;

  int number = 0;
  if (!reader.GetIntAttribute("numsamples", number, 1000)) return;
  (void)network_->SetNumberOfSamples(number);  // a count below 1 is ignored
  if (!reader.GetIntAttribute("discsamples", number, 10000)) return;
  (void)network_->SetNumberOfDiscretizationSamples(number);
  if (!reader.GetIntAttribute("randseed", number, 0)) return;
  network_->SetRandSeed(number);
  bool flag = false;
  if (!reader.GetBoolAttribute("discavoidzero", flag, true)) return;
  network_->SetZeroAvoidance(flag);
  if (!reader.GetBoolAttribute("rejectoutliers", flag, false)) return;
  network_->SetOutlierRejection(flag);
  if (!reader.GetBoolAttribute("enablenoisydecomp", flag, false)) return;
  network_->SetNoisyDecomp(flag);
  if (!reader.GetIntAttribute("noisydecomplimit", number, 4)) return;
  network_->SetNoisyDecompLimit(number);
}

void XmlNetLoader::OnNetPropertyStart(IXmlReader& reader) {
  reader.GetAttribute("id", property_name_);
}

void XmlNetLoader::OnNetPropertyEnd(IXmlReader& reader) {
  std::string value;
  reader.GetUnescapedText(value);
  if (network_->UserProperties().AddProperty(property_name_.c_str(),
                                             value.c_str()) != qelta::kOk) {
    AbortQuoted(reader, "Can't add network property", property_name_);
  }
}

void XmlNetLoader::OnEpisStart(IXmlReader& reader) {
  VRN_episParams params;
  if (!reader.GetIntAttribute("proplen", params.proplen, params.proplen) ||
      !reader.GetIntAttribute("numstates1", params.numstates1,
                              params.numstates1) ||
      !reader.GetIntAttribute("numstates2", params.numstates2,
                              params.numstates2) ||
      !reader.GetIntAttribute("numstates3", params.numstates3,
                              params.numstates3) ||
      !reader.GetDoubleAttribute("eps1", params.eps1, params.eps1) ||
      !reader.GetDoubleAttribute("eps2", params.eps2, params.eps2) ||
      !reader.GetDoubleAttribute("eps3", params.eps3, params.eps3) ||
      !reader.GetDoubleAttribute("eps4", params.eps4, params.eps4)) {
    return;
  }
  if (network_->SetEpisParams(params) != qelta::kOk) {
    reader.Abort("Invalid EPIS parameters");
  }
}

void XmlNetLoader::OnFunctionEnd(IXmlReader& reader) {
  functions_.push_back(reader.GetText());
}

void XmlNetLoader::OnFunctionsEnd(IXmlReader& reader) {
  int index = -1;
  int position = -1;
  std::string message;
  if (network_->SetExtFunctions(functions_, index, position, message) ==
      qelta::kOk) {
    return;
  }
  if (index < 0 || index >= static_cast<int>(functions_.size())) {
    reader.Abort(message.c_str());
    return;
  }
  // "defintion" is the message's established spelling.
  std::string text = "Invalid function defintion: '" + functions_[index] +
                     "': " + message;
  if (position >= 0) text += " at position " + std::to_string(position);
  reader.Abort(text.c_str());
}

// ---------------------------------------------------------------- nodes

void XmlNetLoader::OnNodeStart(IXmlReader& reader,
                               const NodeBinding& binding) {
  if (binding.end_step() == nullptr) {
    AbortQuoted(reader, "Unsupported element", binding.name());
    return;
  }
  std::string id;
  reader.GetAttribute("id", id);
  bool target = false;
  bool ranked = false;
  bool mandatory = false;
  if (!reader.GetBoolAttribute("target", target, false) ||
      !reader.GetBoolAttribute("ranked", ranked, false) ||
      !reader.GetBoolAttribute("mandatory", mandatory, false)) {
    return;
  }

  static const char* const kDiagTypes[] = {"target", "observation",
                                           "auxiliary"};
  std::string text;
  reader.GetAttribute("diagtype", text);
  const int diag_type = MapCode(text, kDiagTypes, 3, 2);
  if (diag_type < 0) {
    AbortQuoted(reader, "Unknown diagnosis node type", text);
    return;
  }
  static const char* const kTemporalTypes[] = {"normal", "anchor", "terminal",
                                               "plate"};
  std::string temporal_text;
  reader.GetAttribute("dynamic", temporal_text);
  const int temporal_type = MapCode(temporal_text, kTemporalTypes, 4, 0);
  if (temporal_type < 0) {
    AbortQuoted(reader, "Unknown dynamic node type", temporal_text);
    return;
  }

  // The network skips its own duplicate test while a file loads: node
  // identifiers are unique by this map. A node may share its identifier
  // with a submodel or the network, as stored files do.
  if (ids_.count(id) != 0) {
    AbortQuoted(reader, "Duplicated node identifier", id);
    return;
  }
  // An identifier the rule refuses (including the '@' escape that callers
  // in the engine may use) gets a generated one, as for any other caller.
  const int handle = network_->AddNode(
      binding.type(), VRN_IsValidId(id.c_str()) ? id.c_str() : nullptr);
  if (handle < 0) {
    AbortQuoted(reader, "QELTA failed to create node", id);
    return;
  }
  VRN_node* node = network_->GetNode(handle);
  if (temporal_type != 0 &&
      network_->setNodeTemporalType(handle, temporal_type) != qelta::kOk) {
    reader.Abort(("QELTA failed to set dynamic node type to '" +
                  temporal_text + "' for '" + id + "'")
                     .c_str());
    return;
  }
  ids_[node->GetId()] = handle;
  if (target) (void)network_->SetTarget(handle, true);

  node_ = handle;
  definition_ = node->Definition();
  (void)node->SetDiagType(diag_type);
  if (diag_type == 1) {
    node->SetRanked(ranked);
    node->SetMandatory(mandatory);
  }
  ClearNodeData();
  StartCanonical(reader, binding);
}

bool XmlNetLoader::FinishArcs(IXmlReader& reader) {
  for (int parent : parents_) {
    if (network_->AddArc(parent, node_, qelta::kArcLayerOrdinary) !=
        qelta::kOk) {
      reader.Abort("AddArc failed");
      return false;
    }
  }
  return true;
}

bool XmlNetLoader::FinishOutcomes(IXmlReader& reader) {
  VRN_discDef* discrete = dynamic_cast<VRN_discDef*>(definition_);
  size_t empty_ids = 0;
  for (const std::string& id : state_ids_) {
    if (id.empty()) ++empty_ids;
  }
  const bool ids_empty = empty_ids == state_ids_.size();
  if (empty_ids != 0 && !ids_empty) {
    reader.Abort("Both empty and non-empty state ids found.");
    return false;
  }
  if (ids_empty && !has_intervals_) {
    reader.Abort("Empty state ids can only be used with intervals");
    return false;
  }
  if (discrete == nullptr) {
    reader.Abort("SetNumberOfOutcomes failed");
    return false;
  }

  const int count = static_cast<int>(state_ids_.size());
  if (!discrete->AreOutcomesFixed()) {
    int status;
    if (ids_empty) {
      status = discrete->SetNumberOfOutcomes(count);
    } else {
      VRN_idArray ids;
      for (const std::string& id : state_ids_) {
        if (ids.Add(id.c_str()) != qelta::kOk) {
          reader.Abort(("Invalid state id: " + id).c_str());
          return false;
        }
      }
      status = discrete->SetNumberOfOutcomesByIds(ids);
    }
    if (status != qelta::kOk) {
      reader.Abort("SetNumberOfOutcomes failed");
      return false;
    }
  }

  // Labels, default and fault outcomes are diagnosis extras: their results
  // are not examined.
  for (int i = 0; i < count; ++i) {
    if (!state_labels_[i].empty()) {
      (void)discrete->SetOutcomeLabel(i, state_labels_[i].c_str());
    }
  }
  if (default_state_ >= 0) (void)discrete->SetDefaultOutcome(default_state_);
  for (int fault : fault_states_) (void)discrete->SetFaultOutcome(fault, true);

  if (has_intervals_ && has_point_values_) {
    reader.Abort(
        "Intervals and point values cannot be defined for the same node");
    return false;
  }
  if (has_intervals_) {
    // Bounds that disagree with the states would make the definition add or
    // drop outcomes the file has just named; such a file is refused.
    if (intervals_.size() != state_ids_.size() + 1 ||
        discrete->SetIntervals(intervals_, ids_empty) != qelta::kOk) {
      reader.Abort("SetIntervals failed");
      return false;
    }
  } else if (has_point_values_) {
    if (discrete->SetPointValues(point_values_) != qelta::kOk) {
      reader.Abort("SetPointValues failed");
      return false;
    }
  }
  return true;
}

void XmlNetLoader::OnNodeEnd(IXmlReader& reader, const NodeBinding& binding) {
  // A missing required child is left to the reader, which names it.
  if (binding.has_states() && state_ids_.empty()) return;
  // A decision has no values element to wait for.
  const bool lazy = VRN_nodeDef::IsLazyType(binding.type());
  if (!seen_values_ && binding.type() != qelta::kDefDecision && !lazy) return;
  // The table's size is known before any arc grows it: a few bytes may name
  // more parents than any table could hold.
  const int own =
      binding.has_states() ? static_cast<int>(state_ids_.size()) : 0;
  // A decision holds no table, whatever its informational parents, a
  // canonical node's parameters grow with its parents, not their product,
  // and an equation stores no table (counting would discretize it).
  const bool tabled = binding.type() != qelta::kDefDecision && !lazy &&
                      binding.type() != qelta::kDefEquation;
  const std::uint64_t cells =
      tabled ? qelta::FamilyTableCells(*network_, node_, parents_, own) : 0;
  if (tabled && cells > qelta::kReadTableCellLimit) {
    AbortQuoted(reader, "Table too large for node",
                network_->GetNode(node_)->GetId());
    return;
  }
  // Probabilities that cannot fill the table fail before it is sized.
  if (binding.end_step() == &XmlNetLoader::OnCptEnd && values_.size() != cells) {
    AbortProbabilityCount(reader, values_.size(), cells);
    return;
  }
  if (!FinishArcs(reader)) return;
  if (binding.has_states() && !FinishOutcomes(reader)) return;
  (this->*binding.end_step())(reader);
  values_.clear();
}

void XmlNetLoader::OnNodePropertyStart(IXmlReader& reader) {
  reader.GetAttribute("id", property_name_);
}

void XmlNetLoader::OnNodePropertyEnd(IXmlReader& reader) {
  VRN_node* node = network_->GetNode(node_);
  std::string value;
  reader.GetUnescapedText(value);
  if (node == nullptr || node->UserProperties().AddProperty(
                             property_name_.c_str(), value.c_str()) !=
                             qelta::kOk) {
    AbortQuoted(reader, "Can't add node property", property_name_);
  }
}

void XmlNetLoader::OnStateStart(IXmlReader& reader) {
  std::string id;
  reader.GetAttribute("id", id);
  bool is_default = false;
  bool fault = false;
  if (!reader.GetBoolAttribute("default", is_default, false) ||
      !reader.GetBoolAttribute("fault", fault, false)) {
    return;
  }
  if (!id.empty() && state_id_set_.count(id) != 0) {
    AbortQuoted(reader, "Duplicate state identifier", id);
    return;
  }
  const int position = static_cast<int>(state_ids_.size());
  if (is_default) {
    if (default_state_ >= 0) {
      AbortQuoted(reader, "Duplicate default state attribute at state", id);
      return;
    }
    default_state_ = position;
  }
  if (fault) fault_states_.push_back(position);
  std::string label;
  reader.GetAttribute("label", label);
  if (!id.empty()) state_id_set_.insert(id);
  state_ids_.push_back(std::move(id));
  state_labels_.push_back(std::move(label));
}

void XmlNetLoader::OnParentToken(IXmlReader& reader) {
  const std::string& id = reader.GetText();
  const int parent = FindId(id);
  if (parent < 0) {
    AbortQuoted(reader, "Node parent not found", id);
    return;
  }
  if (!parent_set_.insert(parent).second) {
    AbortQuoted(reader, "Duplicate parent", id);
    return;
  }
  parents_.push_back(parent);
}

void XmlNetLoader::OnIntervalsStart(IXmlReader& reader) {
  has_intervals_ = true;
}

void XmlNetLoader::OnIntervalToken(IXmlReader& reader) {
  // The outermost bounds of a discretization may be infinite.
  AppendDoubleToken(reader, intervals_, true);
}

void XmlNetLoader::OnPointValuesStart(IXmlReader& reader) {
  has_point_values_ = true;
}

void XmlNetLoader::OnPointValueToken(IXmlReader& reader) {
  AppendDoubleToken(reader, point_values_);
}

void XmlNetLoader::OnProbabilitiesStart(IXmlReader& reader) {
  seen_values_ = true;
  // Parents' outcome counts times the states so far; capped, since nothing
  // has checked yet that the table can exist.
  size_t expected = state_ids_.empty() ? 1 : state_ids_.size();
  for (int parent : parents_) {
    const VRN_node* node = network_->GetNode(parent);
    const int count =
        node == nullptr ? 1 : node->Definition()->GetDiscreteOutcomeCount();
    if (count > 1) expected *= static_cast<size_t>(count);
    if (expected > kMaxProbabilitiesReserve) {
      expected = kMaxProbabilitiesReserve;
      break;
    }
  }
  values_.reserve(expected < kValuesReserve ? kValuesReserve : expected);
}

void XmlNetLoader::OnValueToken(IXmlReader& reader) {
  AppendDoubleToken(reader, values_);
}

void XmlNetLoader::OnResultingStatesStart(IXmlReader& reader) {
  seen_values_ = true;
}

void XmlNetLoader::OnResultingStateToken(IXmlReader& reader) {
  const std::string& name = reader.GetText();
  const int next = static_cast<int>(resulting_names_.size());
  const auto inserted = resulting_names_.emplace(name, next);
  resulting_states_.push_back(inserted.first->second);
}

void XmlNetLoader::OnCptEnd(IXmlReader& reader) {
  if (definition_->SetDefinitionFromVector(values_) != qelta::kOk) {
    reader.Abort("SetProbabilities failed");
  }
}

void XmlNetLoader::OnDecisionEnd(IXmlReader&) {}

void XmlNetLoader::OnUtilityEnd(IXmlReader& reader) {
  if (definition_->SetDefinitionFromVector(values_) != qelta::kOk) {
    reader.Abort("SetUtilities failed");
  }
}

void XmlNetLoader::OnDeterministicEnd(IXmlReader& reader) {
  VRN_truthTable* table = dynamic_cast<VRN_truthTable*>(definition_);
  const VRN_matrix* matrix = nullptr;
  const int outcomes = definition_->GetNumberOfOutcomes();
  if (table == nullptr || definition_->GetDefinitionConst(&matrix) !=
                              qelta::kOk ||
      matrix == nullptr || outcomes <= 0) {
    reader.Abort("SetResultingStates failed");
    return;
  }
  const int configurations = matrix->GetItemCount() / outcomes;
  if (resulting_states_.size() != static_cast<size_t>(configurations)) {
    reader.Abort(("Invalid number of resulting states: " +
                  std::to_string(resulting_states_.size()) + ", expected " +
                  std::to_string(configurations))
                     .c_str());
    return;
  }
  // Outcome index of each distinct name, in order of first appearance.
  std::vector<int> outcome_of(resulting_names_.size(), -1);
  std::vector<const std::string*> names(resulting_names_.size(), nullptr);
  for (const auto& entry : resulting_names_) names[entry.second] = &entry.first;
  const VRN_idArray* ids =
      (names_definition_ != nullptr ? names_definition_ : definition_)
          ->GetOutcomesNames();
  for (size_t i = 0; i < names.size(); ++i) {
    const int outcome = ids == nullptr ? -2 : ids->FindString(names[i]->c_str());
    if (outcome < 0) {
      reader.Abort(("Invalid resulting state: " + *names[i]).c_str());
      return;
    }
    outcome_of[i] = outcome;
  }
  VRN_intArray states;
  for (int index : resulting_states_) states.Add(outcome_of[index]);
  if (table->SetResultingStates(states) != qelta::kOk) {
    reader.Abort("SetResultingStates failed");
  }
}

void XmlNetLoader::OnEquationDefinitionStart(IXmlReader& reader) {
  VRN_equation* equation = dynamic_cast<VRN_equation*>(definition_);
  double lower = -1.0, upper = 1.0, value = 0.0;
  double nominal_lower = -HUGE_VAL, nominal_upper = HUGE_VAL;
  const double none = std::numeric_limits<double>::quiet_NaN();
  if (equation == nullptr || !reader.GetDoubleAttribute("lower", lower, -1.0) ||
      !reader.GetDoubleAttribute("upper", upper, 1.0) ||
      !reader.GetDoubleAttribute("default", value, none) ||
      !reader.GetDoubleAttribute("lowernominal", nominal_lower, -HUGE_VAL) ||
      !reader.GetDoubleAttribute("uppernominal", nominal_upper, HUGE_VAL)) {
    return;
  }
  (void)equation->SetBounds(lower, upper);
  (void)equation->SetDefaultValue(value);
  (void)equation->SetNominalBounds(nominal_lower, nominal_upper);
  seen_values_ = true;
}

void XmlNetLoader::OnEquationDefinitionEnd(IXmlReader& reader) {
  if (!CheckExpression(reader)) return;
  equation_text_ = reader.GetText();
}

bool XmlNetLoader::CheckExpression(IXmlReader& reader) {
  std::string message;
  std::unique_ptr<VRN_expression> tree(VRN_ParseExpression(
      reader.GetText().c_str(), nullptr, &message, nullptr,
      network_->ExtFunctions()));
  if (tree != nullptr) return true;
  reader.Abort(("Invalid expression: " + message).c_str());
  return false;
}

void XmlNetLoader::OnDiscIntervalStart(IXmlReader& reader) {
  std::string label;
  double upper = 0.0;
  reader.GetAttribute("label", label);
  if (!reader.GetDoubleAttribute("upper", upper, 0.0)) return;
  disc_intervals_.emplace_back(label, upper);
}

void XmlNetLoader::OnEquationEnd(IXmlReader& reader) {
  VRN_equation* equation = dynamic_cast<VRN_equation*>(definition_);
  if (equation == nullptr) return;
  std::string message;
  if (equation->SetEquation(equation_text_.c_str(), nullptr, &message) !=
      qelta::kOk) {
    AbortQuoted(reader, "SetEquation failed", message);
    return;
  }
  if (disc_intervals_.empty()) return;
  std::vector<VRN_discInterval> intervals;
  for (const auto& entry : disc_intervals_) {
    intervals.push_back({entry.first, entry.second});
  }
  // The default intervals of a range of one point are no setter's; the
  // writer keeps them for a constant equation, whose intervals made again
  // on reading would span the whole line.
  if (equation->SetDiscIntervals(equation->GetLowerBound(),
                                 equation->GetUpperBound(),
                                 intervals) != qelta::kOk &&
      equation->SetDefaultIntervalsOverBounds(intervals) != qelta::kOk) {
    AbortQuoted(reader, "SetDiscIntervals failed", "");
  }
}

// ---------------------------------------------------------------- costs

void XmlNetLoader::OnCostNodeStart(IXmlReader& reader) {
  std::string id;
  reader.GetAttribute("id", id);
  const int handle = FindId(id);
  if (handle < 0) {
    AbortQuoted(reader, "Invalid node identifier", id);
    return;
  }
  node_ = handle;
  definition_ = network_->GetNode(handle)->Definition();
  ClearNodeData();
}

void XmlNetLoader::OnCostStart(IXmlReader& reader) { seen_values_ = true; }

void XmlNetLoader::OnCostToken(IXmlReader& reader) {
  if (reader.GetText() == "n/a") {
    values_.push_back(qelta::kNotAvailableValue);
    return;
  }
  AppendDoubleToken(reader, values_);
}

void XmlNetLoader::OnCostNodeEnd(IXmlReader& reader) {
  if (!seen_values_) return;  // the reader reports the missing "cost"
  for (int parent : parents_) {
    if (network_->AddArc(parent, node_, qelta::kArcLayerCost) != qelta::kOk) {
      reader.Abort("AddArc failed");
      return;
    }
  }
  VRN_node* node = network_->GetNode(node_);
  if (node == nullptr || node->SetCostArray(values_) != qelta::kOk) {
    reader.Abort("SetCosts failed");
    return;
  }
  values_.clear();
}

// ---------------------------------------------------------------- cases

void XmlNetLoader::OnCaseStart(IXmlReader& reader) {
  std::string name;
  reader.GetAttribute("name", name);
  // Stamps are 64-bit; a 32-bit value of an older file reads the same.
  std::int64_t modified = 0;
  std::int64_t created = 0;
  if (!GetInt64Attribute("modified", modified, 0) ||
      !GetInt64Attribute("created", created, 0)) {
    return;
  }
  case_ = network_->AddCase(name.c_str());
  if (case_ == nullptr) {
    // The case list refuses an empty name as well as a taken one.
    AbortQuoted(reader, name.empty() ? "Invalid case name"
                                     : "Duplicate case name",
                name);
    return;
  }
  std::string category;
  reader.GetAttribute("category", category);
  case_->SetCategory(category.c_str());
  case_->SetModified(modified);
  case_->SetCreated(created);
}

void XmlNetLoader::OnDescriptionEnd(IXmlReader& reader) {
  std::string text;
  reader.GetUnescapedText(text);
  if (case_ != nullptr) case_->SetDescription(text.c_str());
}

void XmlNetLoader::OnEvidenceStart(IXmlReader& reader) {
  std::string id;
  std::string state;
  reader.GetAttribute("node", id);
  reader.GetAttribute("state", state);
  int slice = -1;
  if (!reader.GetIntAttribute("slice", slice, -1)) return;
  const int handle = FindId(id);
  if (handle < 0 || case_ == nullptr) {
    AbortQuoted(reader, "Invalid node identifier", id);
    return;
  }
  const VRN_nodeDef* definition = network_->GetNode(handle)->Definition();
  int status;
  if (definition->GetType() == qelta::kDefEquation) {
    double value = 0.0;
    if (!reader.GetDoubleAttribute("state", value, 0.0)) return;
    status = case_->SetContEvidence(handle, value);
  } else {
    const VRN_idArray* outcomes = definition->GetOutcomesNames();
    const int outcome =
        outcomes == nullptr ? -2 : outcomes->FindString(state.c_str());
    if (outcome < 0) {
      AbortQuoted(reader, "Invalid outcome identifier", state);
      return;
    }
    if (slice < 0) {
      status = case_->SetEvidence(handle, outcome);
    } else if (network_->GetNode(handle)->GetTemporalType() != kPlateType) {
      // Evidence per time slice belongs to plate nodes only; the case would
      // otherwise hold evidence nothing can apply or write back.
      status = qelta::kErrWrongNodeType;
    } else {
      status = case_->SetTemporalEvidence(handle, outcome, slice);
    }
  }
  if (status != qelta::kOk) {
    reader.Abort(("Evidence '" + state + "' of node '" + id +
                  "' cannot be added.")
                     .c_str());
  }
}

void XmlNetLoader::OnSoftEvidenceStart(IXmlReader& reader) {
  values_.clear();
  std::string id;
  reader.GetAttribute("node", id);
  const int handle = FindId(id);
  if (handle < 0) {
    AbortQuoted(reader, "Invalid node identifier", id);
    return;
  }
  node_ = handle;
  values_.reserve(kValuesReserve);
}

void XmlNetLoader::OnSoftEvidenceEnd(IXmlReader& reader) {
  if (case_ == nullptr ||
      case_->SetVirtualEvidence(node_, values_) != qelta::kOk) {
    reader.Abort("Can't add soft evidence");
  }
  values_.clear();
}

void XmlNetLoader::OnTargetStart(IXmlReader& reader) {
  std::string id;
  reader.GetAttribute("node", id);
  if (case_ == nullptr || case_->AddNode(FindId(id)) != qelta::kOk) {
    AbortQuoted(reader, "Can't add target node", id);
  }
}
