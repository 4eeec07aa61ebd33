// Writing the native text network file; the layout is in vrn.h.
#include <algorithm>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/noisy_adder.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "definitions/truth_table.h"
#include "equations/equation.h"
#include "equations/mau.h"
#include "io/text/vrn.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

namespace {

using qelta::kOk;

constexpr int kIndentMode = VRN_textOutput::kModeIndent;

const char* OrDefault(const char* text, const char* fallback) {
  return text != nullptr ? text : fallback;
}

std::string Escaped(const char* text) {
  std::string out;
  VRN_EscapeString(text, &out);
  return out;
}

VRN_doubleArray ItemsOf(const VRN_matrix* matrix) {
  VRN_doubleArray items;
  for (int i = 0; matrix != nullptr && i < matrix->GetItemCount(); ++i) {
    items.Add(matrix->GetItem(i));
  }
  return items;
}

std::vector<double> Numbers(const VRN_doubleArray& items) {
  return std::vector<double>(items.begin(), items.end());
}

// Whether the parameters of two DeMorgan, noisy-adder, CAST or equation
// definitions (their outcomes aside) are the same.
bool SameParameters(const VRN_nodeDef& a, const VRN_nodeDef& b) {
  if (a.GetType() != b.GetType()) return false;
  switch (a.GetType()) {
    case qelta::kDefCast: {
      const auto& x = static_cast<const VRN_cast&>(a);
      const auto& y = static_cast<const VRN_cast&>(b);
      return x.GetBaseline() == y.GetBaseline() &&
             Numbers(x.GetPositiveWeights()) == Numbers(y.GetPositiveWeights()) &&
             Numbers(x.GetNegativeWeights()) == Numbers(y.GetNegativeWeights());
    }
    case qelta::kDefDemorgan: {
      const auto& x = static_cast<const VRN_demorgan&>(a);
      const auto& y = static_cast<const VRN_demorgan&>(b);
      return x.GetPriorBelief() == y.GetPriorBelief() &&
             std::vector<int>(x.GetParentTypes().begin(), x.GetParentTypes().end()) ==
                 std::vector<int>(y.GetParentTypes().begin(), y.GetParentTypes().end()) &&
             Numbers(x.GetParentWeights()) == Numbers(y.GetParentWeights());
    }
    case qelta::kDefNoisyAdder: {
      const auto& x = static_cast<const VRN_noisyAdder&>(a);
      const auto& y = static_cast<const VRN_noisyAdder&>(b);
      bool same = x.GetFunction() == y.GetFunction() &&
                  x.GetDistinguishedState() == y.GetDistinguishedState() &&
                  Numbers(x.GetWeights()) == Numbers(y.GetWeights()) &&
                  Numbers(ItemsOf(&x.Parameters())) == Numbers(ItemsOf(&y.Parameters()));
      for (int i = 0; same && i < x.GetWeights().GetSize() - 1; ++i) {
        same = x.GetParentDistinguishedState(i) == y.GetParentDistinguishedState(i);
      }
      return same;
    }
    case qelta::kDefEquation: {
      const auto& x = static_cast<const VRN_equation&>(a);
      const auto& y = static_cast<const VRN_equation&>(b);
      std::string text_x, text_y;
      x.GetEquationText(&text_x);
      y.GetEquationText(&text_y);
      double n[4], m[4], default_x = 0.0, default_y = 0.0;
      x.GetNominalBounds(&n[0], &n[1]);
      y.GetNominalBounds(&m[0], &m[1]);
      n[2] = x.GetLowerBound();
      n[3] = x.GetUpperBound();
      m[2] = y.GetLowerBound();
      m[3] = y.GetUpperBound();
      const int has_x = x.GetDefaultValue(&default_x);
      bool same = text_x == text_y && std::equal(n, n + 4, m) &&
                  has_x == y.GetDefaultValue(&default_y) &&
                  (has_x != kOk || default_x == default_y) &&
                  x.GetDiscIntervals().size() == y.GetDiscIntervals().size();
      for (std::size_t i = 0; same && i < x.GetDiscIntervals().size(); ++i) {
        same = x.GetDiscIntervals()[i].id == y.GetDiscIntervals()[i].id &&
               x.GetDiscIntervals()[i].boundary == y.GetDiscIntervals()[i].boundary;
      }
      return same;
    }
    default:
      return true;
  }
}

// Whether the file, which keeps only the kind (and outcomes) of node, reads
// it back with its definition: the reader makes a node of the kind, adds
// its parents and names its outcomes, and that is replayed here in a
// network of the node and its parents alone.
bool ReadsBackWhole(const VRN_network& network, const VRN_node& node) {
  VRN_network scratch;
  std::vector<int> parents;
  for (int parent : node.Parents()) {
    const VRN_nodeDef& held = *network.GetNode(parent)->Definition();
    const int made = scratch.AddNode(held.GetType(), network.GetNode(parent)->GetId());
    if (made < 0) return false;
    VRN_nodeDef* copy = scratch.GetNode(made)->Definition();
    const auto* discrete = dynamic_cast<const VRN_discDef*>(&held);
    if (discrete != nullptr && !discrete->AreOutcomesFixed() &&
        copy->SetNumberOfOutcomes(held.GetNumberOfOutcomes()) != kOk) {
      return false;
    }
    parents.push_back(made);
  }
  const int handle = scratch.AddNode(qelta::kDefCpt, node.GetId());
  if (handle < 0 ||
      scratch.GetNode(handle)->setNodeType(node.Definition()->GetType()) != kOk) {
    return false;
  }
  for (int parent : parents) {
    if (scratch.AddArc(parent, handle) != kOk) return false;
  }
  VRN_nodeDef* read = scratch.GetNode(handle)->Definition();
  if (read->GetType() == qelta::kDefNoisyAdder) {
    VRN_stringArray ids;
    qelta::FileOutcomeIds(*node.Definition(), &ids);
    if (read->SetNumberOfOutcomesByIds(ids) != kOk) return false;
  }
  return SameParameters(*node.Definition(), *read);
}

// Whether a multi-attribute utility node reads back from its weights, the
// only statement the file has for it: in weights mode, or with expressions
// that are exactly the weighted sums of its weights.
bool MauReadsBackFromWeights(const VRN_nodeDef& definition) {
  const auto* mau = dynamic_cast<const VRN_mau*>(&definition);
  if (mau == nullptr || mau->GetExpressionSet() == nullptr) return true;
  VRN_matrix weights;
  std::vector<double> offsets;
  int slot = -1;
  if (!mau->GetLinearForm(&weights, &offsets, &slot)) return false;
  for (double offset : offsets) {
    if (offset != 0.0) return false;
  }
  return Numbers(ItemsOf(&weights)) == Numbers(ItemsOf(mau->GetMatrixConst()));
}

}  // namespace

void VRN_vrnSpeaker::BeginContinuation() { (void)Output().SetContinuation("\\ "); }

void VRN_vrnSpeaker::EndContinuation() { (void)Output().SetContinuation(nullptr); }

int VRN_vrnSpeaker::WriteBlockStart(const char* name) {
  if (name == nullptr) return kOk;
  VRN_textOutput& out = Output();
  int rc = WriteIndented(name, false);
  if (rc == kOk) rc = out.Write(" = \n", kIndentMode);
  (void)out.Indent();
  if (rc == kOk) rc = out.WriteLine("{\n", kIndentMode);
  (void)out.Indent();
  return rc;
}

void VRN_vrnSpeaker::WriteEntityStart(const char* word, const char* id) {
  VRN_textOutput& out = Output();
  if (ki_layout_ && std::string(word) == "node") {
    (void)out.WriteLine((std::string(word) + " " + id + "\n").c_str(),
                        kIndentMode);
  } else {
    (void)WriteRawLine(std::string(word) + " " + id);
  }
  (void)out.Indent();
  (void)out.WriteLine("{\n", kIndentMode);
  (void)out.Indent();
}

void VRN_vrnSpeaker::WriteEntityEnd() { (void)WriteBlockEnd(); }

int VRN_vrnSpeaker::Write(const char* file_name) {
  const int shared = qelta::RefuseUnwritable(
      this, *GetNetwork(), {"the native text format", false, nullptr, true, true, true});
  if (shared != kOk) return shared;
  const int depth = qelta::CheckSubmodelDepth(GetNetwork(), "ERROR: ");
  if (depth != kOk) return depth;
  // Checked before the file is touched, so no half-written file is left.
  const int refused = RefuseUnreadable();
  if (refused != kOk) return refused;
  VRN_textOutput& out = Output();
  if (out.Open(file_name, VRN_textOutput::kOpenForWriting, GetErrorLog()) !=
      kOk) {
    return qelta::kErrFileWrite;
  }
  const int rc = WriteNetwork();
  if (out.Close() != kOk) {
    return ReportFormatted(qelta::kErrFileWrite,
                           "ERROR: Writing the file %s failed", file_name);
  }
  return rc;
}

int VRN_vrnSpeaker::RefuseUnreadable() {
  VRN_network* network = GetNetwork();
  const char* format =
      ki_layout_ ? "the native text format (dxp layout)" : "the native text format";
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    const VRN_node* node = network->GetNode(h);
    const int type = node->Definition()->GetType();
    // These kinds are written without their parameters: only those the
    // reader makes anyway read back.
    if ((type == qelta::kDefNoisyAdder || type == qelta::kDefDemorgan ||
         type == qelta::kDefEquation || (ki_layout_ && type == qelta::kDefCast)) &&
        !ReadsBackWhole(*network, *node)) {
      return ReportError(qelta::kErrOutOfRange,
                         (std::string("ERROR: Node [") + node->GetId() +
                          "] cannot be saved in " + format + ": the file keeps only its kind, " +
                          node->Definition()->GetTypeName() +
                          ", and it would read back with other parameters")
                             .c_str());
    }
    if (!MauReadsBackFromWeights(*node->Definition())) {
      return ReportError(qelta::kErrOutOfRange,
                         (std::string("ERROR: Node [") + node->GetId() + "] cannot be saved in " +
                          format + ": the file keeps only its weights, and its expressions " +
                          "are not exactly their weighted sums")
                             .c_str());
    }
    // This layout writes a noisy-MAX node's numbers in the Henrion form,
    // which the reader, taking them for the node's own parameters, refuses
    // once the node has parents.
    if (ki_layout_ && type == qelta::kDefNoisyMax && !node->Parents().IsEmpty()) {
      return ReportError(qelta::kErrOutOfRange,
                         (std::string("ERROR: Node [") + node->GetId() + "] cannot be saved in " +
                          format + ": a noisy-MAX node with parents would not read back")
                             .c_str());
    }
    // A number its kind does not take (stored through GetMatrix) would
    // fail the read.
    if (!node->Definition()->HoldsAcceptedItems()) {
      return ReportError(qelta::kErrOutOfRange,
                         (std::string("ERROR: Node [") + node->GetId() + "] cannot be saved in " +
                          format + ": its table holds a number its kind does not take")
                             .c_str());
    }
    if (type == qelta::kDefEquation) continue;
    // An equation node reads back with two intervals: a table over more or
    // fewer would not fit.
    for (int parent : node->Parents()) {
      VRN_nodeDef* definition = network->GetNode(parent)->Definition();
      if (definition->GetType() != qelta::kDefEquation) continue;
      const int intervals = definition->GetDiscreteOutcomeCount();
      if (intervals != 2) {
        return ReportError(
            qelta::kErrOutOfRange,
            (std::string("ERROR: Node [") + node->GetId() +
             "] cannot be saved in the native text format: its parent [" +
             network->GetNode(parent)->GetId() +
             "], an equation node, would read back with 2 intervals, not " +
             std::to_string(intervals))
                .c_str());
      }
    }
  }
  return kOk;
}

int VRN_vrnSpeaker::WriteNetwork() {
  VRN_network* network = GetNetwork();
  VRN_textOutput& out = Output();
  const VRN_submodel& main =
      *network->Submodels()->GetSubmodel(qelta::kMainSubmodel);
  (void)WriteRawLine(std::string("net ") +
                     OrDefault(network->Header()->GetId(), "_Unnamed_Network_"));
  (void)WriteRawLine("{");
  (void)out.Indent();
  WriteHeaderBlock(*network->Header());
  (void)WriteIntField("NUMSAMPLES", network->GetNumberOfSamples());
  WriteScreenBlock(main.ScreenInfo());
  WriteRectangleBlock("WINDOWPOSITION", main.Window());
  (void)WriteIntField("BKCOLOR", main.GetColor());
  WriteScreenComments(main);
  WriteUserProperties(network->UserProperties());
  WriteDocumentation(network->Documentation());
  WriteSubmodels();

  // A copy: the order is the network's and valid until its next edit.
  const VRN_intArray order = network->PartialOrder();
  int rc = kOk;
  for (int handle : order) {
    const VRN_node* node = network->GetNode(handle);
    if (node == nullptr) {
      rc = qelta::kErrOutOfRange;
      break;
    }
    WriteNode(*node);
  }
  if (rc == kOk) {
    (void)WriteRawLine("");
    (void)WriteBlockStart("OBSERVATION_COST");
    for (int handle : order) WriteCosts(*network->GetNode(handle));
    (void)WriteBlockEnd();
  }
  while (out.GetIndentLevel() > 0) (void)out.Unindent();
  (void)out.Write("};\n", kIndentMode);
  return rc;
}

void VRN_vrnSpeaker::WriteHeaderBlock(const VRN_header& header) {
  (void)WriteBlockStart("HEADER");
  if (header.GetId() != nullptr) {
    (void)WriteStringField("ID", header.GetId(), false, false);
  }
  (void)WriteQuotedStringField("NAME", header.GetName());
  (void)WriteQuotedStringField("COMMENT", header.GetComment());
  (void)WriteBlockEnd();
}

void VRN_vrnSpeaker::WriteRectangleBlock(const char* name, const int* rect) {
  (void)WriteBlockStart(name);
  (void)WriteIntField("CENTER_X", rect[0]);
  (void)WriteIntField("CENTER_Y", rect[1]);
  (void)WriteIntField("WIDTH", rect[2]);
  (void)WriteIntField("HEIGHT", rect[3]);
  (void)WriteBlockEnd();
}

void VRN_vrnSpeaker::WriteScreenBlock(const VRN_screenInfo& info) {
  (void)WriteBlockStart("SCREEN");
  const int position[4] = {info.x, info.y, info.width, info.height};
  WriteRectangleBlock("POSITION", position);
  (void)WriteIntField("COLOR", info.interior_color);
  (void)WriteIntField("SELCOLOR", info.style1);
  (void)WriteIntField("FONT", info.style2);
  (void)WriteIntField("FONTCOLOR", info.text_color);
  (void)WriteIntField("BORDERTHICKNESS", info.outline_width);
  (void)WriteIntField("BORDERCOLOR", info.outline_color);
  (void)WriteBlockEnd();
}

void VRN_vrnSpeaker::WriteScreenComments(const VRN_submodel& submodel) {
  for (const VRN_textBox& box : submodel.TextBoxes()) {
    std::string line = "SCREENCOMMENT =  { (";
    for (int i = 0; i < 4; ++i) {
      if (i > 0) line += ", ";
      line += std::to_string(box.rect[i]);
    }
    line += "),\"" + Escaped(box.caption.c_str()) + "\"};";
    (void)WriteRawLine(line);
  }
}

void VRN_vrnSpeaker::WriteUserProperties(const VRN_userProperties& properties) {
  (void)WriteBlockStart("USER_PROPERTIES");
  for (int i = 0; i < properties.GetSize(); ++i) {
    (void)WriteRawLine(std::string(properties.GetPropertyName(i)) + " = \"" +
                       Escaped(properties.GetPropertyValue(i)) + "\";");
  }
  (void)WriteBlockEnd();
}

void VRN_vrnSpeaker::WriteDocumentation(const VRN_documentation& documentation) {
  (void)WriteBlockStart("DOCUMENTATION");
  for (int i = 0; i < documentation.GetSize(); ++i) {
    (void)WriteRawLine("\"" + Escaped(documentation.GetTitle(i)) + "\" = \"" +
                       Escaped(documentation.GetPath(i)) + "\";");
  }
  (void)WriteBlockEnd();
}

void VRN_vrnSpeaker::WriteSubmodels() {
  const VRN_submodelTable& table = *GetNetwork()->Submodels();
  VRN_intArray order;
  table.GetDescendants(order);
  for (int handle : order) {
    if ((handle & ~qelta::kSubmodelBit) == 0) continue;  // the main one
    const VRN_submodel* record = table.GetSubmodel(handle);
    if (record == nullptr) continue;
    (void)WriteRawLine("");
    WriteEntityStart("submodel",
                     OrDefault(record->Header().GetId(), "_Unnamed_Submodel_"));
    const int parent = table.GetParent(handle);
    if ((parent & ~qelta::kSubmodelBit) != 0) {
      const VRN_submodel* up = table.GetSubmodel(parent);
      (void)WriteStringField(
          "PARENT",
          up != nullptr ? OrDefault(up->Header().GetId(), "_Unknown_Parent_")
                        : "_Unknown_Parent_",
          false, false);
    }
    WriteHeaderBlock(record->Header());
    WriteScreenBlock(record->ScreenInfo());
    WriteRectangleBlock("WINDOWPOSITION", record->Window());
    (void)WriteIntField("BKCOLOR", record->GetColor());
    WriteScreenComments(*record);
    WriteEntityEnd();
  }
}

void VRN_vrnSpeaker::WriteNode(const VRN_node& node) {
  const VRN_network& network = *GetNetwork();
  (void)WriteRawLine("");
  WriteEntityStart("node", OrDefault(node.GetId(), "_Unnamed_Node_"));
  (void)WriteStringField("TYPE", node.Definition()->GetTypeName(), false,
                         false);
  WriteHeaderBlock(node.Header());
  WriteScreenBlock(node.ScreenInfo());
  if (node.IsTarget()) (void)WriteBoolField("TARGET", true);
  if ((node.GetSubmodel() & ~qelta::kSubmodelBit) != 0) {
    const VRN_submodel* submodel =
        network.Submodels()->GetSubmodel(node.GetSubmodel());
    if (submodel != nullptr && submodel->Header().GetId() != nullptr) {
      (void)WriteStringField("SUBMODEL", submodel->Header().GetId(), false,
                             false);
    }
  }
  WriteUserProperties(node.UserProperties());
  WriteDocumentation(node.Documentation());
  VRN_stringArray parents;
  for (int parent : node.Parents()) {
    const VRN_node* record = network.GetNode(parent);
    (void)parents.Add(record != nullptr && record->GetId() != nullptr
                          ? record->GetId()
                          : "UnknownParent");
  }
  (void)WriteIdentifierListField("PARENTS", parents, 0);
  WriteDefinition(node);
  WriteExtraDefinition(node);
  WriteEntityEnd();
}

void VRN_vrnSpeaker::WriteDefinition(const VRN_node& node) {
  const VRN_nodeDef* definition = node.Definition();
  // Unnamed interval outcomes get the names the reader can take.
  VRN_stringArray ids;
  qelta::FileOutcomeIds(*definition, &ids);
  (void)WriteBlockStart("DEFINITION");
  switch (definition->GetType()) {
    case qelta::kDefCpt:
      (void)WriteIdentifierListField("NAMESTATES", ids, 0);
      (void)WriteDoubleListField("PROBABILITIES",
                                 ItemsOf(definition->GetMatrixConst()), 0);
      break;
    case qelta::kDefTruthTable: {
      (void)WriteIdentifierListField("NAMESTATES", ids, 0);
      const auto* truth = static_cast<const VRN_truthTable*>(definition);
      // Resulting states say all only of columns of one 1.0 among zeros;
      // the reader takes the numbers of any other table.
      if (!truth->HasOnlyDeterministicColumns()) {
        (void)WriteDoubleListField("PROBABILITIES",
                                   ItemsOf(definition->GetMatrixConst()), 0);
        break;
      }
      VRN_intArray states;
      truth->GetResultingStates(&states);
      VRN_stringArray resulting;
      for (int state : states) (void)resulting.Add(ids.Get(state));
      (void)WriteIdentifierListField("RESULTINGSTATES", resulting, 0);
      break;
    }
    case qelta::kDefDecision:
      (void)WriteIdentifierListField("NAMECHOICES", ids, 0);
      break;
    case qelta::kDefUtility:
      (void)WriteDoubleListField("UTILITIES",
                                 ItemsOf(definition->GetMatrixConst()), 0);
      break;
    case qelta::kDefNoisyMax: {
      const auto* noisy = static_cast<const VRN_noisyMAX*>(definition);
      (void)WriteIdentifierListField("NAMESTATES", ids, 0);
      if (ki_layout_) {
        VRN_doubleArray henrion;
        (void)noisy->GetHenrionProbabilitiesArray(&henrion);
        (void)WriteDoubleListField("PROBABILITIES", henrion, 0);
        break;
      }
      // For every parent outcome, its position in the strength order.
      VRN_intArray positions;
      for (int p = 0; p < noisy->GetStrengthsCount(); ++p) {
        const VRN_intArray& order = noisy->GetParentOutcomeStrengths(p);
        for (int j = 0; j < noisy->GetParentOutcomeCount(p); ++j) {
          int at = -2;
          for (int k = 0; k < order.GetSize() && at < 0; ++k) {
            if (order[k] == j) at = k;
          }
          positions.Add(at);
        }
      }
      (void)WriteIntListField("STRENGTHS", positions, 0);
      (void)WriteDoubleListField("PROBABILITIES", ItemsOf(&noisy->Parameters()),
                                 0);
      break;
    }
    case qelta::kDefNoisyAdder:
      // Its parameters are not kept, but its outcomes are: the tables of
      // its children are sized by them.
      (void)WriteIdentifierListField("NAMESTATES", ids, 0);
      break;
    case qelta::kDefCast: {
      if (ki_layout_) break;
      const auto* cast = static_cast<const VRN_cast*>(definition);
      (void)WriteDoubleListField("PWEIGHTS", cast->GetPositiveWeights(), 0);
      (void)WriteDoubleListField("NWEIGHTS", cast->GetNegativeWeights(), 0);
      (void)WriteQuotedStringField(
          "BASELINE", qelta::DoubleToFileText(cast->GetBaseline()).c_str());
      break;
    }
    case qelta::kDefMau:
      // Expressions have no statement here: the weights stand for the node.
      (void)WriteDoubleListField("WEIGHTS",
                                 ItemsOf(definition->GetMatrixConst()), 0);
      break;
    default:
      // DeMorgan, noisy-adder and equation nodes carry their kind only.
      break;
  }
  (void)WriteBlockEnd();
}

void VRN_vrnSpeaker::WriteExtraDefinition(const VRN_node& node) {
  static const char* const kDiagTypes[] = {"TARGET", "OBSERVATION",
                                           "AUXILIARY"};
  const auto* definition = dynamic_cast<const VRN_discDef*>(node.Definition());
  const int n = node.Definition()->GetNumberOfOutcomes();
  (void)WriteBlockStart("EXTRA_DEFINITION");
  if (ki_layout_) {
    (void)WriteBlockEnd();
    return;
  }
  const int type = node.GetDiagType();
  (void)WriteStringField("DIAGNOSIS_TYPE",
                         kDiagTypes[type >= 0 && type <= 2 ? type : 2], false,
                         false);
  if (type == 1) {
    (void)WriteBoolField("RANKED", node.IsRanked());
    (void)WriteBoolField("MANDATORY", node.IsMandatory());
  }
  if (n > 1 && definition != nullptr) {
    const int default_outcome = definition->GetDefaultOutcome();
    (void)WriteBoolField("SETASDEFAULT", default_outcome >= 0);
    (void)WriteIntField("DEFAULT_STATE", default_outcome >= 0 ? default_outcome
                                                              : -1);
    VRN_intArray faults;
    VRN_stringArray labels;
    VRN_stringArray comments;
    VRN_stringArray repairs;
    for (int i = 0; i < n; ++i) {
      faults.Add(definition->IsFaultOutcome(i) ? 1 : 0);
      (void)labels.Add(OrDefault(definition->GetOutcomeLabel(i), ""));
      (void)comments.Add(OrDefault(definition->GetOutcomeDescription(i), ""));
      (void)repairs.Add(OrDefault(definition->GetOutcomeFix(i), ""));
    }
    (void)WriteIntListField("FAULT_STATES", faults, 0);
    (void)WriteStringListField("FAULT_LABELS", labels, 0);
    (void)WriteStringListField("STATECOMMENTS", comments, 0);
    (void)WriteStringListField("STATEREPAIRINFO", repairs, 0);
    const VRN_documentation empty;
    for (int i = 0; i < n; ++i) {
      const VRN_documentation* documentation =
          definition->GetOutcomeDocumentation(i);
      WriteDocumentation(documentation != nullptr ? *documentation : empty);
    }
  }
  if (node.GetQuestion() != nullptr) {
    (void)WriteQuotedStringField("QUESTION", node.GetQuestion());
  }
  (void)WriteBlockEnd();
}

void VRN_vrnSpeaker::WriteCosts(const VRN_node& node) {
  const VRN_network& network = *GetNetwork();
  (void)WriteRawLine("");
  WriteEntityStart("node", OrDefault(node.GetId(), "_Unnamed_Node_"));
  VRN_stringArray parents;
  for (int parent : node.GetCostParents()) {
    const VRN_node* record = network.GetNode(parent);
    (void)parents.Add(record != nullptr && record->GetId() != nullptr
                          ? record->GetId()
                          : "UnknownParent");
  }
  (void)WriteIdentifierListField("PARENTS", parents, 0);
  VRN_doubleArray costs;
  if (node.HasDiagExtras()) costs = ItemsOf(&node.GetCost());
  (void)WriteDoubleListField("COSTS", costs, 0);
  WriteEntityEnd();
}
