#include "io/xml/xml_net_writer.h"

#include <cassert>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include "base/arrays.h"
#include "network/cases.h"
#include "network/dbn.h"
#include "base/error_log.h"
#include "base/matrix.h"
#include "network/network.h"
#include "network/node.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/cpt.h"
#include "definitions/decision.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/qualitative.h"
#include "definitions/truth_table.h"
#include "definitions/utility.h"
#include "equations/equation.h"
#include "io/format.h"
#include "io/xml/zantu_writer.h"
#include "network/submodel.h"

namespace {

constexpr const char* kVersion = "1.0";
constexpr int kDefaultNoisyDecompLimit = 4;

// Diagnostic and temporal types as the file names them; the defaults
// (auxiliary, normal) are not written.
const char* DiagTypeName(int type) {
  switch (type) {
    case 0:
      return "target";
    case 1:
      return "observation";
    default:
      return nullptr;
  }
}

const char* TemporalTypeName(int type) {
  switch (type) {
    case 1:
      return "anchor";
    case 2:
      return "terminal";
    case 3:
      return "plate";
    default:
      return nullptr;
  }
}

// The outcomes entry i of a case observes, as (slice, outcome) pairs, the
// slice -1 for an entry outside time slices; a number on a node with
// outcomes stands for the outcome its interval gives, as the node's own
// evidence maps it (-1 when no interval holds it). False for soft
// evidence, a number on an equation node and entries of dead nodes.
bool ObservedOutcomes(const VRN_network& network, const VRN_case& record,
                      int i, int& h, std::vector<std::pair<int, int>>& pairs) {
  pairs.clear();
  int outcome = -1;
  double number = 0.0;
  if (record.GetTemporalEvidence(i, h, pairs) == qelta::kOk) {
    return network.GetNode(h) != nullptr;
  }
  if (record.GetEvidence(i, h, outcome) != qelta::kOk) {
    if (record.GetContEvidence(i, h, number) != qelta::kOk ||
        network.GetNode(h) == nullptr) {
      return false;
    }
    const VRN_nodeDef* definition = network.GetNode(h)->Definition();
    if (definition->GetType() == qelta::kDefEquation) return false;
    const auto* discrete = dynamic_cast<const VRN_discDef*>(definition);
    outcome = discrete != nullptr ? discrete->GetIntervalIndex(number) : -1;
  }
  pairs.push_back({-1, outcome < 0 ? -1 : outcome});
  return network.GetNode(h) != nullptr;
}

// Why a case of the network cannot be written, naming case and node; empty
// when every one can. The file names an observed outcome by identifier
// (XmlOutcomeName), a number on a node with outcomes by the outcome whose
// interval holds it, and evidence per time slice only on plate nodes.
std::string UnwritableCase(const VRN_network& network) {
  std::vector<std::pair<int, int>> pairs;
  for (int c = 0; c < network.GetNumberOfCases(); ++c) {
    const VRN_case* record = network.GetCase(c);
    for (int i = 0; record != nullptr && i < record->GetNumberOfEvidence();
         ++i) {
      int h = -1;
      std::vector<double> soft;
      // While the case list was told not to follow edits, a soft vector
      // may outlive its node's outcomes; the reader refuses one of
      // another length.
      if (record->GetVirtualEvidence(i, h, soft) == qelta::kOk &&
          network.GetNode(h) != nullptr) {
        const VRN_node& node = *network.GetNode(h);
        const int outcomes = node.Definition()->GetNumberOfOutcomes();
        if (static_cast<int>(soft.size()) == outcomes) continue;
        return "Case '" + record->GetName() + "' holds " +
               std::to_string(soft.size()) +
               " soft evidence values for node '" + node.GetId() +
               "', which has " + std::to_string(outcomes < 0 ? 0 : outcomes) +
               " outcomes";
      }
      // A type change while the case list did not follow may leave a
      // number no equation node takes; the reader refuses it.
      double value = 0.0;
      if (record->GetContEvidence(i, h, value) == qelta::kOk &&
          !std::isfinite(value) && network.GetNode(h) != nullptr &&
          network.GetNode(h)->Definition()->GetType() == qelta::kDefEquation) {
        return "Case '" + record->GetName() + "' holds a number that is not "
               "finite for node '" + network.GetNode(h)->GetId() +
               "', an equation node";
      }
      if (!ObservedOutcomes(network, *record, i, h, pairs)) continue;
      const std::string where = "Case '" + record->GetName() + "' ";
      const std::string node =
          "node '" + std::string(network.GetNode(h)->GetId()) + "'";
      // A number is named as such: the case holds no outcome index.
      double number = 0.0;
      std::string holds;
      if (record->GetContEvidence(i, h, number) == qelta::kOk) {
        char text[40];
        std::snprintf(text, sizeof text, "%.16g", number);
        holds = where + "holds the number " + text + " for " + node;
        if (pairs.front().second < 0) {
          return holds + ", which no interval of the node holds";
        }
      }
      if (pairs.front().first >= 0 &&
          network.GetTemporalType(h) != qelta::kTemporalPlate) {
        return where + "observes time slices of " + node +
               ", which is not a plate node";
      }
      for (const auto& pair : pairs) {
        if (qelta::XmlOutcomeName(network, h, pair.second) != nullptr) {
          continue;
        }
        const std::string outcome = std::to_string(pair.second);
        return (holds.empty() ? where + "observes outcome " + outcome +
                                    " of " + node
                              : holds + ", in outcome " + outcome) +
               ", whose identifier does not tell it from another";
      }
    }
  }
  return std::string();
}

// Why the reader would refuse the outcome identifiers of a node, naming the
// node; empty when it takes them: all named, or all empty with intervals.
std::string UnwritableStateIds(const VRN_node& node) {
  const auto* discrete = dynamic_cast<const VRN_discDef*>(node.Definition());
  // CAST and DeMorgan nodes are written without their outcomes.
  if (discrete == nullptr || discrete->AreOutcomesFixed()) return {};
  const VRN_idArray& ids = *discrete->GetOutcomesNames();
  int empty = 0;
  for (int i = 0; i < ids.GetSize(); ++i) {
    if (ids.Get(i) == nullptr || *ids.Get(i) == '\0') ++empty;
  }
  const std::string refused = std::string("Outcomes of node '") +
                              node.GetId() + "' cannot be written: ";
  if (empty > 0 && empty < ids.GetSize()) {
    return refused +
           "some identifiers are empty and others not, and the file keeps "
           "them all named or all empty";
  }
  if (empty > 0 && !discrete->HasIntervals()) {
    return refused +
           "their identifiers are empty, and the file keeps empty ones only "
           "with intervals";
  }
  return {};
}

// Finds the first text that XML cannot carry as it is (XmlWriter::
// IsXmlText), owner by owner, and tells whose field it is.
class TextCheck {
 public:
  // Checks text as field of the current owner; false once a text failed.
  bool Field(const char* field, const char* text) {
    if (refusal_.empty() && !XmlWriter::IsXmlText(text)) {
      refusal_ = owner_ + " cannot be written: its " + field +
                 " holds bytes that are not UTF-8, or a character XML "
                 "does not allow";
    }
    return refusal_.empty();
  }
  bool Field(const std::string& field, const char* text) {
    return Field(field.c_str(), text);
  }
  // A name records are found by: a control byte written as "." would give
  // back another name, or one that another record holds.
  bool Name(const std::string& name) {
    if (refusal_.empty() && XmlWriter::HasDottedControlByte(name.c_str())) {
      refusal_ = owner_ + " cannot be written: its name holds a control "
                 "byte, which the file cannot carry";
    }
    return refusal_.empty();
  }
  void Owner(std::string owner) { owner_ = std::move(owner); }
  bool Properties(const VRN_userProperties& properties) {
    for (int i = 0; i < properties.GetSize(); ++i) {
      const std::string n = std::to_string(i);
      Field("name of user property " + n, properties.GetPropertyName(i));
      Field("value of user property " + n, properties.GetPropertyValue(i));
    }
    return refusal_.empty();
  }
  bool Links(const VRN_documentation* links, const std::string& of) {
    for (int i = 0; links != nullptr && i < links->GetSize(); ++i) {
      Field("title of link " + std::to_string(i) + of, links->GetTitle(i));
      Field("path of link " + std::to_string(i) + of, links->GetPath(i));
    }
    return refusal_.empty();
  }
  bool Header(const VRN_header& header) {
    return Field("identifier", header.GetId()) &&
           Field("name", header.GetName()) &&
           Field("comment", header.GetComment());
  }
  const std::string& refusal() const { return refusal_; }

 private:
  std::string owner_;
  std::string refusal_;
};

void CheckNodeTexts(const VRN_node& node, TextCheck& check) {
  check.Owner(std::string("Node '") + node.GetId() + "'");
  if (!check.Header(node.Header()) ||
      !check.Field("question", node.GetQuestion()) ||
      !check.Properties(node.UserProperties()) ||
      !check.Links(&node.Documentation(), "")) {
    return;
  }
  const VRN_nodeDef* definition = node.Definition();
  const VRN_idArray* ids = definition->GetOutcomesNames();
  const auto* discrete = dynamic_cast<const VRN_discDef*>(definition);
  for (int i = 0; ids != nullptr && i < ids->GetSize(); ++i) {
    const std::string of = " of outcome " + std::to_string(i);
    check.Field("identifier" + of, ids->Get(i));
    if (discrete == nullptr || i >= discrete->GetNumberOfOutcomes()) continue;
    check.Field("label" + of, discrete->GetOutcomeLabel(i));
    check.Field("fix" + of, discrete->GetOutcomeFix(i));
    check.Field("description" + of, discrete->GetOutcomeDescription(i));
    check.Links(discrete->GetOutcomeDocumentation(i), of);
  }
  if (definition->GetType() != qelta::kDefEquation) return;
  const auto& equation = static_cast<const VRN_equation&>(*definition);
  std::string text;
  equation.GetEquationText(&text);
  check.Field("equation", text.c_str());
  const std::vector<VRN_discInterval>& intervals = equation.GetDiscIntervals();
  for (size_t i = 0; i < intervals.size(); ++i) {
    check.Field("label of interval " + std::to_string(i),
                intervals[i].id.c_str());
  }
}

// Why a text of the network cannot be written, naming its owner and the
// field; empty when all can. The file would not be well-formed with such
// a text, and one written with a replacement character would read back as
// another text (or another identifier, or two cases of one name).
std::string UnwritableText(const VRN_network& network) {
  TextCheck check;
  check.Owner(std::string("Network '") + network.Header()->GetId() + "'");
  check.Header(*network.Header());
  check.Properties(network.UserProperties());
  std::vector<std::string> functions;
  network.GetExtFunctions(functions, false);
  for (size_t i = 0; i < functions.size(); ++i) {
    check.Field("function " + std::to_string(i), functions[i].c_str());
  }
  const VRN_submodelTable* table = network.Submodels();
  for (int h = table->GetFirstSubmodel(); h >= 0 && check.refusal().empty();
       h = table->GetNextSubmodel(h)) {
    const VRN_submodel* submodel = table->GetSubmodel(h);
    check.Owner(std::string("Submodel '") + submodel->Header().GetId() + "'");
    check.Header(submodel->Header());
    for (size_t i = 0; i < submodel->TextBoxes().size(); ++i) {
      check.Field("text box " + std::to_string(i),
                  submodel->TextBoxes()[i].caption.c_str());
    }
  }
  for (int h = network.GetFirstNode(); h >= 0 && check.refusal().empty();
       h = network.GetNextNode(h)) {
    CheckNodeTexts(*network.GetNode(h), check);
  }
  for (int c = 0; c < network.GetNumberOfCases() && check.refusal().empty();
       ++c) {
    const VRN_case* record = network.GetCase(c);
    if (record == nullptr) continue;
    check.Owner("Case '" + record->GetName() + "'");
    check.Field("name", record->GetName().c_str());
    check.Name(record->GetName());
    check.Field("category", record->GetCategory().c_str());
    check.Field("description", record->GetDescription().c_str());
  }
  return check.refusal();
}

// Why the network cannot be written, naming the node; empty when it can.
// Asked before anything is written, so a refused save leaves no file.
std::string Unwritable(VRN_network& network) {
  const std::string text = UnwritableText(network);
  if (!text.empty()) return text;
  VRN_dbn* dbn = network.Dbn();
  for (int h = network.GetFirstNode(); h >= 0; h = network.GetNextNode(h)) {
    const VRN_node* node = network.GetNode(h);
    const std::string refusal = UnwritableStateIds(*node);
    if (!refusal.empty()) return refusal;
    std::vector<const VRN_nodeDef*> definitions{node->Definition()};
    if (dbn != nullptr &&
        network.GetTemporalType(h) == qelta::kTemporalPlate) {
      VRN_intArray orders;
      (void)network.GetTemporalOrders(h, orders);
      for (int k : orders) {
        const VRN_nodeDef* temporal = dbn->GetTemporalDefinition(h, k);
        if (temporal == nullptr) continue;
        // The network refuses other kinds; the reader would refuse them.
        if (!VRN_dbn::CanHoldTemporalDefinition(temporal->GetType())) {
          return std::string("Temporal definition of node '") +
                 node->GetId() + "' of type " + temporal->GetTypeName() +
                 " cannot be written";
        }
        definitions.push_back(temporal);
      }
    }
    for (const VRN_nodeDef* definition : definitions) {
      if (qelta::HasNonFiniteEntry(*definition)) {
        return std::string("Table of node '") + node->GetId() +
               "' cannot be written to the XML file: an entry is not a "
               "finite number";
      }
      // One stored through GetMatrix that the reader's setter refuses.
      if (!definition->HoldsAcceptedItems()) {
        return std::string("Table of node '") + node->GetId() +
               "' cannot be written to the XML file: it holds a number its "
               "kind does not take";
      }
      // The file keeps a truth table's resulting states only: any other
      // column would read back as another table.
      if (definition->GetType() == qelta::kDefTruthTable &&
          !static_cast<const VRN_truthTable*>(definition)
               ->HasOnlyDeterministicColumns()) {
        return std::string("Truth table of node '") + node->GetId() +
               "' cannot be written: a column is not one 1.0 among zeros, "
               "and the file keeps only resulting states";
      }
    }
  }
  return UnwritableCase(network);
}

struct ReleaseExtension {
  void operator()(IXmlWriterExtension* extension) const {
    extension->Release();
  }
};

}  // namespace

namespace qelta {

const char* XmlOutcomeName(const VRN_network& network, int h, int outcome) {
  const VRN_node* node = network.GetNode(h);
  if (node == nullptr) return nullptr;
  const VRN_nodeDef* definition = node->Definition();
  const int type = definition->GetType();
  const VRN_idArray* ids =
      type == qelta::kDefCast || type == qelta::kDefDemorgan
          ? &VRN_qualDef::TrueFalseIds()
          : definition->GetOutcomesNames();
  if (ids == nullptr || !ids->IsIndexValid(outcome) ||
      outcome >= definition->GetNumberOfOutcomes()) {
    return nullptr;
  }
  const char* id = ids->Get(outcome);
  // Reading looks the identifier up: the first outcome carrying it gets it
  // (so the empty identifier of cleared interval outcomes names the first).
  return id != nullptr && ids->FindString(id) == outcome ? id : nullptr;
}

}  // namespace qelta

// ------------------------------------------------------------------- Save

bool XmlNetworkSaver::Save(const char* fileName, std::string* text,
                           VRN_network* network,
                           const qelta::FormatExtension& extension) {
  assert(network != nullptr);
  assert(fileName != nullptr || text != nullptr);
  VRN_errorLog* log = network->ErrorLog();
  const std::string refusal = Unwritable(*network);
  if (!refusal.empty()) {
    log->LogError(qelta::kErrFileIo, refusal.c_str());
    return false;
  }

  // The layout block's writer lives for this call only.
  std::unique_ptr<IXmlWriterExtension, ReleaseExtension> layout;
  IXmlWriterExtension* writer_extension = nullptr;
  switch (extension.kind()) {
    case qelta::FormatExtension::Kind::kLayout:
      layout.reset(new XmlZantuSaver(network));
      writer_extension = layout.get();
      break;
    case qelta::FormatExtension::Kind::kNone:
      break;
    case qelta::FormatExtension::Kind::kCaller:
      writer_extension = extension.writer();
      break;
  }
  // The layout block nests each submodel in its parent's element; a tree
  // deeper than the loader takes is refused before anything is written.
  if (layout != nullptr &&
      qelta::CheckSubmodelDepth(network, "") != qelta::kOk) {
    return false;
  }
  if (fileName == nullptr) {
    const size_t old_size = text->size();
    XmlWriterStringOutput output(text);
    XmlNetworkSaver saver(&output, network, writer_extension);
    saver.WriteNetwork();
    if (saver.failed_) {
      text->resize(old_size);
      log->LogError(qelta::kErrFileIo, saver.failure_.c_str());
      return false;
    }
    // The string refuses what memory cannot hold.
    if (saver.Failed()) {
      text->resize(old_size);
      log->LogError(qelta::kErrOutOfMemory,
                    "Not enough memory for the text of the network");
      return false;
    }
    return true;
  }

  XmlWriterFileOutput output;
  if (!output.Open(fileName)) {
    log->LogError(
        qelta::kErrFileIo,
        ("Can't open file " + std::string(fileName) + " for writing").c_str());
    return false;
  }
  bool ok = true;
  {
    XmlNetworkSaver saver(&output, network, writer_extension);
    saver.WriteNetwork();
    if (saver.failed_) {
      log->LogError(qelta::kErrFileIo, saver.failure_.c_str());
      ok = false;
    }
  }
  // Buffered text reaches the device only at the close, so a full device
  // shows here.
  if (!output.Close()) {
    log->LogError(qelta::kErrFileIo,
                  ("Error writing file " + std::string(fileName)).c_str());
    ok = false;
  }
  // A cut file would read as another network, or not at all: a failed
  // write leaves none. Only a plain file goes; a device stays.
  std::error_code ignored;
  if (!ok && std::filesystem::is_regular_file(fileName, ignored)) {
    static_cast<void>(std::remove(fileName));
  }
  return ok;
}

XmlNetworkSaver::XmlNetworkSaver(IXmlWriterOutput* output, VRN_network* network,
                                 IXmlWriterExtension* extension)
    : network_(network), extension_(extension) {
  SetOutput(output);
  WriteHeader(true);
}

XmlNetworkSaver::~XmlNetworkSaver() = default;

void XmlNetworkSaver::Fail(const std::string& message) {
  if (failed_) return;
  failed_ = true;
  failure_ = message;
}

// --------------------------------------------------------------- document

void XmlNetworkSaver::WriteNetwork() {
  if (extension_ != nullptr) {
    std::string comment;
    extension_->GetComment(comment);
    if (!comment.empty()) WriteComment(comment.c_str());
  }
  QueueRootAttributes();
  XmlElementScope root(*this, "qelta");

  const VRN_userProperties& properties = network_->UserProperties();
  if (properties.GetSize() > 0) {
    XmlElementScope scope(*this, "properties");
    WriteProperties(properties);
  }
  WriteEpis();
  WriteFunctions();
  WriteNodes();
  if (failed_) return;
  if (network_->GetNumberOfSlices() > 0 && network_->HasTemporalNodes()) {
    WriteDynamic();
    if (failed_) return;
  }
  WriteObservationCosts();
  WriteCases();
  if (extension_ != nullptr) {
    XmlElementScope scope(*this, "extensions");
    extension_->Write(*this);
  }
}

void XmlNetworkSaver::QueueRootAttributes() {
  AddStringAttribute("version", kVersion);
  AddStringAttribute("id", network_->Header()->GetId());
  AddIntAttribute("numsamples", network_->GetNumberOfSamples());
  AddIntAttribute("discsamples", network_->GetNumberOfDiscretizationSamples());
  if (network_->GetRandSeed() != 0) {
    AddIntAttribute("randseed", network_->GetRandSeed());
  }
  if (!network_->IsZeroAvoidance()) AddBoolAttribute("discavoidzero", false);
  if (network_->IsOutlierRejection()) AddBoolAttribute("rejectoutliers", true);
  if (network_->IsNoisyDecomp() ||
      network_->GetNoisyDecompLimit() != kDefaultNoisyDecompLimit) {
    AddBoolAttribute("enablenoisydecomp", network_->IsNoisyDecomp());
    AddIntAttribute("noisydecomplimit", network_->GetNoisyDecompLimit());
  }
}

void XmlNetworkSaver::WriteEpis() {
  const VRN_episParams& params = network_->GetEpisParams();
  if (params == VRN_episParams()) return;
  XmlElementScope scope(*this, "algparams");
  AddIntAttribute("proplen", params.proplen);
  AddIntAttribute("numstates1", params.numstates1);
  AddIntAttribute("numstates2", params.numstates2);
  AddIntAttribute("numstates3", params.numstates3);
  AddDoubleAttribute("eps1", params.eps1);
  AddDoubleAttribute("eps2", params.eps2);
  AddDoubleAttribute("eps3", params.eps3);
  AddDoubleAttribute("eps4", params.eps4);
  WriteTextElement("epis", nullptr, 0);
}

void XmlNetworkSaver::WriteFunctions() {
  std::vector<std::string> definitions;
  network_->GetExtFunctions(definitions, false);
  if (definitions.empty()) return;
  XmlElementScope scope(*this, "functions");
  for (const std::string& definition : definitions) {
    WriteTextElement("function", definition.c_str(), 0);
  }
}

void XmlNetworkSaver::WriteProperties(const VRN_userProperties& properties) {
  for (int i = 0; i < properties.GetSize(); ++i) {
    AddStringAttribute("id", properties.GetPropertyName(i));
    WriteTextElement("property", properties.GetPropertyValue(i), 1);
  }
}

// ------------------------------------------------------------------ nodes

void XmlNetworkSaver::WriteNodes() {
  temporal_mode_ = false;
  XmlElementScope scope(*this, "nodes");
  // A copy: the network's cached order is not ours to hold across calls.
  const VRN_intArray order = network_->PartialOrder();
  for (int h : order) {
    VRN_node* node = network_->GetNode(h);
    assert(node != nullptr);
    node_ = h;
    current_element_.clear();
    AddStringAttribute("id", node->GetId());
    Dispatch(*node->Definition());
    if (current_element_.empty()) {
      Fail(std::string("Node '") + node->GetId() + "' of type " +
           node->Definition()->GetTypeName() + " cannot be written");
    }
    if (failed_) return;
    WriteProperties(node->UserProperties());
    EndElement(current_element_.c_str());
  }
  node_ = -1;
}

void XmlNetworkSaver::WriteNodeStart(const VRN_nodeDef& definition,
                                     const char* elementName,
                                     const char* valuesElement,
                                     bool withOutcomes) {
  current_element_ = elementName;
  if (temporal_mode_) {
    StartElement(elementName);
    WriteParents(*temporal_parents_);
    const VRN_matrix* table = nullptr;
    if (valuesElement != nullptr &&
        definition.GetDefinitionConst(&table) == qelta::kOk &&
        table != nullptr) {
      WriteDoubleList(valuesElement, table->GetItems().Items(),
                      table->GetItemCount(), nullptr, 0.0);
    }
    return;
  }
  const VRN_node* node = network_->GetNode(node_);
  assert(node != nullptr);
  if (network_->IsTarget(node_) == 1) AddBoolAttribute("target", true);
  const int diag_type = node->GetDiagType();
  if (const char* name = DiagTypeName(diag_type)) {
    AddStringAttribute("diagtype", name);
  }
  if (const char* name = TemporalTypeName(network_->GetTemporalType(node_))) {
    AddStringAttribute("dynamic", name);
  }
  // Ranking and mandatory questions belong to observations only.
  if (diag_type == 1) {
    if (node->IsRanked()) AddBoolAttribute("ranked", true);
    if (node->IsMandatory()) AddBoolAttribute("mandatory", true);
  }
  StartElement(elementName);
  if (withOutcomes) WriteStates(definition);
  WriteParents(node->Parents());
  if (valuesElement != nullptr) {
    const VRN_matrix* table = nullptr;
    if (definition.GetDefinitionConst(&table) == qelta::kOk &&
        table != nullptr) {
      WriteDoubleList(valuesElement, table->GetItems().Items(),
                      table->GetItemCount(), nullptr, 0.0);
    }
  }
}

void XmlNetworkSaver::WriteStates(const VRN_nodeDef& definition) {
  const int count = definition.GetNumberOfOutcomes();
  const VRN_idArray* ids = definition.GetOutcomesNames();
  if (count < 0 || ids == nullptr) return;
  const VRN_discDef* discrete = dynamic_cast<const VRN_discDef*>(&definition);
  const int default_outcome =
      discrete != nullptr ? discrete->GetDefaultOutcome() : -1;
  for (int i = 0; i < count && i < ids->GetSize(); ++i) {
    AddStringAttribute("id", ids->Get(i));
    if (i == default_outcome) AddBoolAttribute("default", true);
    // Labels and fault marks are written for every node, not only for
    // diagnostic targets, so that a save never drops what was set.
    if (discrete != nullptr) {
      if (const char* label = discrete->GetOutcomeLabel(i)) {
        AddStringAttribute("label", label);
      }
      if (discrete->IsFaultOutcome(i)) AddBoolAttribute("fault", true);
    }
    WriteTextElement("state", nullptr, 0);
  }
  if (discrete == nullptr) return;
  std::vector<double> values;
  if (discrete->HasIntervals()) {
    if (discrete->GetIntervals(&values) == qelta::kOk) {
      WriteDoubleList("intervals", values.data(),
                      static_cast<int>(values.size()), nullptr, 0.0);
    }
  } else if (discrete->HasPointValues()) {
    if (discrete->GetPointValues(&values) == qelta::kOk) {
      WriteDoubleList("pointvalues", values.data(),
                      static_cast<int>(values.size()), nullptr, 0.0);
    }
  }
}

void XmlNetworkSaver::WriteParents(const VRN_intArray& handles) {
  if (handles.IsEmpty()) return;
  std::string text;
  for (int h : handles) {
    const VRN_node* parent = network_->GetNode(h);
    assert(parent != nullptr);
    if (!text.empty()) text += ' ';
    text += parent->GetId();
  }
  WriteTextElement("parents", text.c_str(), 0);
}

void XmlNetworkSaver::VisitCpt(VRN_cpt& definition) {
  WriteNodeStart(definition, "cpt", "probabilities", true);
}

void XmlNetworkSaver::VisitTruthTable(VRN_truthTable& definition) {
  WriteNodeStart(definition, "deterministic", nullptr, true);
  VRN_intArray states;
  definition.GetResultingStates(&states);
  const VRN_idArray* ids = temporal_mode_
                               ? temporal_node_definition_->GetOutcomesNames()
                               : definition.GetOutcomesNames();
  std::vector<const char*> names;
  names.reserve(states.GetSize());
  for (int state : states) {
    names.push_back(ids != nullptr && ids->IsIndexValid(state) ? ids->Get(state)
                                                               : "");
  }
  WriteStringList("resultingstates", names.data(),
                  static_cast<int>(names.size()));
}

void XmlNetworkSaver::VisitDecision(VRN_decision& definition) {
  WriteNodeStart(definition, "decision", nullptr, true);
}

void XmlNetworkSaver::VisitUtility(VRN_utility& definition) {
  WriteNodeStart(definition, "utility", "utilities", false);
}

void XmlNetworkSaver::VisitEquation(VRN_equation& definition) {
  WriteNodeStart(definition, "equation", nullptr, false);
  double lower = 0.0, upper = 0.0;
  definition.GetBounds(&lower, &upper);
  if (lower != -1.0 || upper != 1.0) {
    AddDoubleAttribute("lower", lower);
    AddDoubleAttribute("upper", upper);
  }
  double value = 0.0;
  if (definition.GetDefaultValue(&value) == qelta::kOk) {
    AddDoubleAttribute("default", value);
  }
  definition.GetNominalBounds(&lower, &upper);
  if (std::isfinite(lower) || std::isfinite(upper)) {
    AddDoubleAttribute("lowernominal", lower);
    AddDoubleAttribute("uppernominal", upper);
  }
  std::string text;
  definition.GetEquationText(&text);
  WriteTextElement("definition", text.c_str(), 0);
  // Intervals the reader could not set are the default ones of a range of
  // one point, which reading makes again from the bounds; but a constant
  // equation's would be made over the whole line, so those are written.
  if (!definition.HasDiscIntervals() ||
      (!definition.HasSettableIntervals() && !definition.IsConstant())) {
    return;
  }
  XmlElementScope scope(*this, "discretization");
  for (const VRN_discInterval& interval : definition.GetDiscIntervals()) {
    if (!interval.id.empty()) AddStringAttribute("label", interval.id.c_str());
    AddDoubleAttribute("upper", interval.boundary);
    WriteTextElement("interval", nullptr, 0);
  }
}

void XmlNetworkSaver::VisitDefault(VRN_nodeDef&) {
  // Nothing is opened; WriteNodes reports the node.
}

// ------------------------------------------------------ observation costs

void XmlNetworkSaver::WriteObservationCosts() {
  const VRN_intArray order = network_->PartialOrder();
  std::vector<int> nodes;
  for (int h : order) {
    const VRN_node* node = network_->GetNode(h);
    bool has_content = !node->GetCostParents().IsEmpty();
    const VRN_doubleArray& costs = node->GetCost().GetItems();
    for (int i = 0; !has_content && i < costs.GetSize(); ++i) {
      has_content = costs[i] != 0.0;
    }
    if (has_content) nodes.push_back(h);
  }
  if (nodes.empty()) return;
  XmlElementScope scope(*this, "observationcost");
  for (int h : nodes) {
    const VRN_node* node = network_->GetNode(h);
    AddStringAttribute("id", node->GetId());
    XmlElementScope element(*this, "node");
    WriteParents(node->GetCostParents());
    const VRN_doubleArray& costs = node->GetCost().GetItems();
    WriteDoubleList("cost", costs.Items(), costs.GetSize(), "n/a",
                    qelta::kNotAvailableValue);
  }
}

// ------------------------------------------------------------------ cases

void XmlNetworkSaver::WriteCases() {
  const int count = network_->GetNumberOfCases();
  if (count <= 0) return;
  XmlElementScope scope(*this, "cases");
  for (int i = 0; i < count; ++i) {
    const VRN_case* record = network_->GetCase(i);
    if (record != nullptr) WriteCase(*record);
  }
}

void XmlNetworkSaver::WriteCase(const VRN_case& record) {
  AddStringAttribute("name", record.GetName().c_str());
  if (!record.GetCategory().empty()) {
    AddStringAttribute("category", record.GetCategory().c_str());
  }
  // Stamps are written whole; those of the 32-bit range read back on any
  // reader of the format.
  if (record.GetCreated() != 0) {
    AddStringAttribute("created", std::to_string(record.GetCreated()).c_str());
  }
  if (record.GetModified() != 0) {
    AddStringAttribute("modified",
                       std::to_string(record.GetModified()).c_str());
  }
  XmlElementScope scope(*this, "case");
  if (!record.GetDescription().empty()) {
    WriteTextElement("description", record.GetDescription().c_str(), 1);
  }

  // Entries that no longer name a live node (possible only while the case
  // list was told not to follow edits) cannot be expressed and are left
  // out, as a reader would refuse them. Save refused the others it cannot
  // name before anything was written.
  std::vector<std::pair<int, int>> pairs;
  for (int i = 0; i < record.GetNumberOfEvidence(); ++i) {
    int h = -1;
    double value = 0.0;
    std::vector<double> soft;
    if (ObservedOutcomes(*network_, record, i, h, pairs)) {
      for (const auto& [slice, outcome] : pairs) {
        const char* id = qelta::XmlOutcomeName(*network_, h, outcome);
        if (id == nullptr) continue;
        AddStringAttribute("node", network_->GetNode(h)->GetId());
        if (slice >= 0) AddIntAttribute("slice", slice);
        AddStringAttribute("state", id);
        WriteTextElement("evidence", nullptr, 0);
      }
    } else if (record.GetContEvidence(i, h, value) == qelta::kOk) {
      const VRN_node* node = network_->GetNode(h);
      if (node == nullptr) continue;
      AddStringAttribute("node", node->GetId());
      AddDoubleAttribute("state", value);
      WriteTextElement("evidence", nullptr, 0);
    } else if (record.GetVirtualEvidence(i, h, soft) == qelta::kOk) {
      const VRN_node* node = network_->GetNode(h);
      if (node == nullptr) continue;
      AddStringAttribute("node", node->GetId());
      WriteDoubleList("softevidence", soft.data(),
                      static_cast<int>(soft.size()), nullptr, 0.0);
    }
  }
  for (int i = 0; i < record.GetNumberOfNodes(); ++i) {
    const VRN_node* node = network_->GetNode(record.GetNode(i));
    if (node == nullptr) continue;
    AddStringAttribute("node", node->GetId());
    WriteTextElement("target", nullptr, 0);
  }
}
