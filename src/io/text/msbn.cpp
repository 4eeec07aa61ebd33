#include "io/text/msbn.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "base/arrays.h"
#include "base/matrix.h"
#include "network/network.h"
#include "network/node.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/node_def.h"
#include "io/table_limit.h"
#include "io/text/hugin.h"

namespace {

using qelta::IsPunctuation;
using qelta::kOk;

constexpr int kIndentMode = VRN_textOutput::kModeIndent;

// The words a skip of a statement the reader cannot use must not pass: each
// starts a declaration, or a node's outcomes.
constexpr const char* kDeclarationWords[] = {"node", "probability", "utility",
                                             "information", nullptr};
constexpr const char* kNodeStatementWords[] = {"type", "node", "probability",
                                               "utility", "information", nullptr};

constexpr const char* kHeaderWords[] = {"diagnostic", "belief", "trouble",
                                        nullptr};

bool IsWritableType(int type) {
  switch (type) {
    case qelta::kDefDecision:
    case qelta::kDefCpt:
    case qelta::kDefTruthTable:
    case qelta::kDefNoisyMax:
    case qelta::kDefNoisyAdder:
    case qelta::kDefUtility:
      return true;
    default:
      return false;
  }
}

}  // namespace

VRN_microsoftSpeaker::VRN_microsoftSpeaker(VRN_network* network)
    : VRN_fileFormat(network) {}

VRN_microsoftSpeaker::~VRN_microsoftSpeaker() = default;

// ------------------------------------------------------------- reading

int VRN_microsoftSpeaker::Read(const char* file_name) {
  int rc = CreateLexer(4, file_name);
  if (rc != kOk) return rc;
  (void)GetLexer()->AddSeparators(",|");
  rc = PeekNext();
  if (rc != kOk && rc != qelta::kErrNoMoreTokens) {
    DeleteLexer();
    return rc;
  }
  if (rc != kOk || CurrentToken().type != qelta::kTokenIdentifier ||
      !TokenIsOneOf(kHeaderWords)) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Network header expected",
                    rc == kOk ? CurrentToken().text : "End of File");
    DeleteLexer();
    return qelta::kErrSyntax;
  }
  ConsumeNext();
  rc = qelta::Require(this, qelta::kTokenIdentifier, "network");
  if (rc == kOk) rc = qelta::Require(this, qelta::kTokenString, nullptr);
  if (rc != kOk) {
    rc = CutInputStatus(rc);
    DeleteLexer();
    return rc;
  }
  GetNetwork()->Header()->SetName(
      qelta::ValidUtf8Text(CurrentToken().text).c_str());

  std::vector<bool> done;
  int status = kOk;
  for (;;) {
    rc = PeekBetweenStatements();
    if (rc == qelta::kErrNoMoreTokens) break;
    if (rc != kOk) {
      status = rc;
      break;
    }
    if (IsPunctuation(*this, "}")) {
      ConsumeNext();
      break;
    }
    if (CurrentToken().type == qelta::kTokenIdentifier && TokenIs("node")) {
      rc = ReadNode();
    } else if (CurrentToken().type == qelta::kTokenIdentifier &&
               (TokenIs("probability") || TokenIs("utility") ||
                TokenIs("information"))) {
      rc = ReadTableBlock(&done);
    } else {
      ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown Object",
                      CurrentToken().text);
      const SkipGuard skips(this, kDeclarationWords);
      rc = qelta::SkipDeclaration(this, 0);
    }
    if (rc != kOk) {
      status = rc;
      break;
    }
  }
  if (status == qelta::kErrNoMoreTokens) {
    ReportError(status, "ERROR: Unexpected End of File");
  }
  if (status == kOk) {
    // Every node is written with its table block: a node without one is
    // what a file cut short looks like.
    VRN_network* network = GetNetwork();
    done.resize(static_cast<std::size_t>(network->GetSlotCount()), false);
    for (int h = network->GetFirstNode(); h >= 0;
         h = network->GetNextNode(h)) {
      if (done[static_cast<std::size_t>(h)]) continue;
      ReportFormatted(qelta::kErrFileIo,
                      "ERROR: Node (\"%s\") has no table block",
                      network->GetNode(h)->GetId());
      NoteTableNotBuilt();
    }
    // No network is better than one that differs from the file.
    status = TablesStatus(status);
  }
  status = CutInputStatus(status);
  DeleteLexer();
  return status;
}

int VRN_microsoftSpeaker::ReadNode() {
  ConsumeNext();  // "node"
  std::string id;
  int handle = -1;
  return qelta::ReadNodeDeclaration(this, qelta::kDefCpt, &id, &handle,
                                    [this](int h) { return ReadNodeStatement(h); });
}

int VRN_microsoftSpeaker::ReadNodeStatement(int handle) {
  const SkipGuard skips(this, kNodeStatementWords);
  VRN_node* node = GetNetwork()->GetNode(handle);
  if (CurrentToken().type != qelta::kTokenIdentifier) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unexpected",
                    CurrentToken().text);
    return qelta::EndStatement(this, qelta::kErrSyntax);
  }
  int rc = kOk;
  if (TokenIs("label")) {
    // The kind comes from the table blocks; the label is not needed.
    rc = ReadFieldHeader("label", qelta::kTokenIdentifier);
  } else if (TokenIs("name")) {
    rc = ReadFieldHeader("name", qelta::kTokenString);
    if (rc == kOk) {
      node->Header().SetName(
          qelta::ValidUtf8Text(CurrentToken().text).c_str());
    }
  } else if (TokenIs("position")) {
    ConsumeNext();
    rc = qelta::Require(this, qelta::kTokenPunctuator, ":");
    VRN_intArray xy;
    if (rc == kOk) rc = ReadIntList(&xy);
    if (rc == kOk) {
      if (xy.GetSize() >= 2) {
        node->ScreenInfo().x = xy[0];
        node->ScreenInfo().y = xy[1];
      } else {
        rc = ReportError(qelta::kErrOutOfRange,
                         "ERROR: Wrong position coordinates");
      }
    }
  } else if (TokenIs("type")) {
    ConsumeNext();
    rc = qelta::Require(this, qelta::kTokenPunctuator, ":");
    if (rc == kOk) return ReadStates(handle);
  } else {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown Node Statement",
                    CurrentToken().text);
    return SkipStatement();
  }
  return qelta::EndStatement(this, rc);
}

int VRN_microsoftSpeaker::ReadStates(int handle) {
  const char* id = GetNetwork()->GetNode(handle)->GetId();
  int rc = qelta::Require(this, qelta::kTokenIdentifier, "discrete");
  if (rc == kOk) rc = qelta::Require(this, qelta::kTokenPunctuator, "[");
  if (rc != kOk) return qelta::EndStatement(this, OutcomesNotRead(id, "type", rc));
  rc = PeekNext();
  if (rc != kOk) return rc;
  int declared = 0;
  if (CurrentToken().type != qelta::kTokenInteger ||
      VRN_StringToInt(CurrentToken().text, declared) != kOk) {
    ReportFormatted(qelta::kErrSyntax,
                    "ERROR: '%s' : Expecting number of states",
                    CurrentToken().text);
    return qelta::EndStatement(this, OutcomesNotRead(id, "type", qelta::kErrSyntax));
  }
  ConsumeNext();
  rc = qelta::Require(this, qelta::kTokenPunctuator, "]");
  if (rc == kOk) rc = qelta::Require(this, qelta::kTokenPunctuator, "=");
  if (rc == kOk) rc = qelta::Require(this, qelta::kTokenPunctuator, "{");
  if (rc != kOk) return qelta::EndStatement(this, OutcomesNotRead(id, "type", rc));
  VRN_stringArray labels;
  for (;;) {
    rc = PeekNext();
    if (rc != kOk) return rc;
    if (IsPunctuation(*this, "}")) {
      ConsumeNext();
      break;
    }
    if (CurrentToken().type != qelta::kTokenString) {
      qelta::Require(this, qelta::kTokenPunctuator, "}");
      // Out of the list first, so its "}" is not taken for the node's.
      rc = OutcomesNotRead(id, "type", qelta::SkipDeclaration(this, 1));
      return rc != kOk ? rc : qelta::EndStatement(this, qelta::kErrSyntax);
    }
    (void)labels.Add(CurrentToken().text);
    ConsumeNext();
  }
  if (labels.GetSize() != declared) {
    ReportFormatted(qelta::kErrOutOfRange,
                    "ERROR: '%d' : Size of list doesn't match number of "
                    "outcomes. Using list size",
                    declared);
    // Which of the two the file means is unknown: the node would have
    // outcomes the file may not give it.
    (void)OutcomesNotRead(id, "type", kOk);
  }
  VRN_idArray ids;
  qelta::MakeValidUtf8Identifiers(labels, &ids);
  VRN_nodeDef* definition = GetNetwork()->GetNode(handle)->Definition();
  if (definition->SetNumberOfOutcomesByIds(ids) != kOk) {
    ReportFormatted(qelta::kErrOutOfRange,
                    "ERROR: '%d' : Couldn't set the number of outcomes",
                    labels.GetSize());
    (void)OutcomesNotRead(id, "type", kOk);
  }
  return qelta::EndStatement(this, kOk);
}

int VRN_microsoftSpeaker::ReadTableBlock(std::vector<bool>* done) {
  block_type_ = TokenIs("probability") ? qelta::kDefCpt
                : TokenIs("utility")   ? qelta::kDefUtility
                                       : qelta::kDefDecision;
  ConsumeNext();
  int rc = qelta::Require(this, qelta::kTokenPunctuator, "(");
  if (rc == kOk) rc = qelta::Require(this, qelta::kTokenIdentifier, nullptr);
  if (rc != kOk) return qelta::SkipFailedDeclaration(this, rc, 0);
  const std::string child_id = CurrentToken().text;
  std::vector<std::string> parent_ids;
  for (;;) {
    rc = PeekNext();
    if (rc != kOk) return rc;
    if (CurrentToken().type != qelta::kTokenIdentifier) break;
    parent_ids.emplace_back(CurrentToken().text);
    ConsumeNext();
  }
  rc = qelta::Require(this, qelta::kTokenPunctuator, ")");
  if (rc != kOk) return qelta::SkipFailedDeclaration(this, rc, 0);

  VRN_network* network = GetNetwork();
  const int child = network->FindNode(child_id.c_str());
  if (child < 0) {
    ReportFormatted(child, "ERROR: Node (\"%s\") not found", child_id.c_str());
    NoteTableNotBuilt();
    return qelta::SkipDeclaration(this, 0);
  }
  done->resize(static_cast<std::size_t>(network->GetSlotCount()), false);
  // A second block would add its parents to those of the first and leave
  // the table matching neither.
  if ((*done)[static_cast<std::size_t>(child)]) {
    ReportFormatted(qelta::kErrSyntax,
                    "ERROR: Node (\"%s\") has a table block already",
                    child_id.c_str());
    NoteTableNotBuilt();
    return qelta::SkipDeclaration(this, 0);
  }
  if (network->GetNode(child)->setNodeType(block_type_) != kOk) {
    ReportError(qelta::kErrSyntax, "ERROR: Unknown Node Type");
    NoteTableNotBuilt();
    return qelta::SkipDeclaration(this, 0);
  }
  (*done)[static_cast<std::size_t>(child)] = true;
  std::vector<int> parents;
  bool refused = false;
  for (const std::string& id : parent_ids) {
    const int parent = network->FindNode(id.c_str());
    if (parent < 0) {
      ReportFormatted(parent,
                      "ERROR: Couldn't add arc from parent node (\"%s\")",
                      id.c_str());
      refused = true;
    }
    parents.push_back(parent);
  }
  // The table's size is known before any arc grows it: a few bytes may
  // name more parents than any table could hold.
  if (!refused &&
      qelta::FamilyTableCells(*network, child, parents) >
          qelta::kReadTableCellLimit) {
    ReportFormatted(qelta::kErrFileIo,
                    "ERROR: Node (\"%s\") : its table would have more than "
                    "%llu cells",
                    child_id.c_str(),
                    static_cast<unsigned long long>(qelta::kReadTableCellLimit));
    refused = true;
  }
  if (refused) {
    NoteTableNotBuilt();
    return qelta::SkipDeclaration(this, 0);
  }
  for (std::size_t i = 0; i < parents.size(); ++i) {
    const int arc_rc = network->AddArc(parents[i], child, 0);
    if (arc_rc != kOk) {
      ReportFormatted(arc_rc,
                      "ERROR: Couldn't add arc from parent node (\"%s\")",
                      parent_ids[i].c_str());
      refused = true;
    }
  }
  if (refused) {
    NoteTableNotBuilt();
    return qelta::SkipDeclaration(this, 0);
  }

  VRN_nodeDef* definition = network->GetNode(child)->Definition();
  // A chance node with parents needs its table from the file.
  const bool needs_table =
      definition->GetType() == qelta::kDefCpt && !parents.empty();
  const char* missing = "ERROR: Node (\"%s\") : no table is given";
  // Only an information block may end the file after its parents: a file
  // that ends there after a probability or utility block's is cut short
  // before the table it gives.
  const bool information = block_type_ == qelta::kDefDecision;
  rc = information ? PeekBetweenStatements() : PeekNext();
  if (rc == qelta::kErrNoMoreTokens && information) return kOk;
  if (rc != kOk) return rc;
  if (IsPunctuation(*this, "{")) {
    ConsumeNext();
    const VRN_matrix* table = definition->GetMatrixConst();
    VRN_doubleArray items;
    // Cells no entry writes stay NaN, which no number token gives.
    if (table != nullptr) {
      items = table->GetItems();
      for (int i = 0; i < items.GetSize(); ++i) {
        items[i] = std::numeric_limits<double>::quiet_NaN();
      }
    }
    bool written = false;
    for (;;) {
      rc = PeekNext();
      if (rc != kOk) return rc;
      if (IsPunctuation(*this, "}")) {
        ConsumeNext();
        break;
      }
      rc = ReadEntry(child, &items, &written);
      if (rc != kOk) return rc;
    }
    int unset = 0;
    for (int i = 0; i < items.GetSize(); ++i) unset += std::isnan(items[i]);
    if (written && unset > 0) {
      ReportFormatted(qelta::kErrFileIo,
                      "ERROR: Node (\"%s\") : %d of its %d table entries "
                      "are not given",
                      child_id.c_str(), unset, items.GetSize());
      NoteTableNotBuilt();
    } else if (written) {
      rc = definition->SetDefinition(items);
      if (rc != kOk) {
        ReportFormatted(rc, "ERROR: Node (\"%s\") : the table was not set",
                        child_id.c_str());
        NoteTableNotBuilt();
      }
    } else if (needs_table) {
      ReportFormatted(qelta::kErrFileIo, missing, child_id.c_str());
      NoteTableNotBuilt();
    }
    rc = PeekBetweenStatements();
    if (rc == qelta::kErrNoMoreTokens) return kOk;
    if (rc != kOk) return rc;
  } else if (needs_table) {
    ReportFormatted(qelta::kErrFileIo, missing, child_id.c_str());
    NoteTableNotBuilt();
  }
  if (IsPunctuation(*this, ";")) ConsumeNext();
  return kOk;
}

int VRN_microsoftSpeaker::ReadEntry(int child, VRN_doubleArray* items,
                                    bool* written) {
  const VRN_node* node = GetNetwork()->GetNode(child);
  const VRN_matrix* table = node->Definition()->GetMatrixConst();
  if (table == nullptr || table->IsEmpty()) {
    ReportFormatted(qelta::kErrWrongNodeType,
                    "ERROR: Node (\"%s\") has no table", node->GetId());
    return SkipStatement();
  }
  int start = 0;
  int rc = kOk;
  if (IsPunctuation(*this, "(")) {
    VRN_intArray coordinates;
    rc = ReadIntList(&coordinates);
    if (rc == kOk) rc = qelta::Require(this, qelta::kTokenPunctuator, ":");
    if (rc != kOk) return qelta::EndStatement(this, rc);
    // One index per parent, each within the parent's outcomes; the
    // child's own coordinate is 0.
    const int parents = table->GetDimensionCount() - 1;
    bool valid = coordinates.GetSize() == parents;
    for (int i = 0; valid && i < parents; ++i) {
      valid = coordinates[i] >= 0 && coordinates[i] < table->GetSize(i);
      start += coordinates[i] * table->GetStrides()[i];
    }
    if (!valid) {
      NoteTableNotBuilt();
      ReportError(qelta::kErrOutOfRange, "ERROR: Invalid coordinates");
      return qelta::EndStatement(this, qelta::kErrOutOfRange);
    }
  }
  VRN_doubleArray values;
  std::string last;  // the text of the last value
  for (;;) {
    rc = PeekNext();
    if (rc != kOk) return rc;
    const VRN_textToken& token = CurrentToken();
    double value = 0.0;
    // A number joined to the one before ("1.2.3") is no second value.
    if (!qelta::IsNumberToken(token) ||
        (values.GetSize() > 0 && token.joined) ||
        qelta::FileNumber(token.text, &value) != kOk) {
      break;
    }
    values.Add(value);
    last = token.text;
    ConsumeNext();
  }
  // The values end the entry: anything else in it is an entry that is not
  // a number, and the table would differ from the file's.
  if (!IsPunctuation(*this, ";") && !IsPunctuation(*this, "}")) {
    const std::string entry = values.GetSize() > 0 && CurrentToken().joined
                                  ? last + CurrentToken().text
                                  : std::string(CurrentToken().text);
    ReportFormatted(qelta::kErrFileIo,
                    "ERROR: Node (\"%s\") : table entry '%s' is not a number",
                    node->GetId(), entry.c_str());
    NoteTableNotBuilt();
    return qelta::EndStatement(this, qelta::kErrSyntax);
  }
  if (values.GetSize() == 0) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unexpected",
                    CurrentToken().text);
    return qelta::EndStatement(this, qelta::kErrSyntax);
  }
  if (values.GetSize() > items->GetSize() - start) {
    NoteTableNotBuilt();
    ReportFormatted(qelta::kErrOutOfRange,
                    "ERROR: Node (\"%s\") : %d values do not fit its table",
                    node->GetId(), values.GetSize());
    return qelta::EndStatement(this, qelta::kErrOutOfRange);
  }
  for (int i = 0; i < values.GetSize(); ++i) (*items)[start + i] = values[i];
  *written = true;
  return qelta::EndStatement(this, kOk);
}

// ------------------------------------------------------------- writing

int VRN_microsoftSpeaker::Write(const char* file_name) {
  VRN_network* network = GetNetwork();
  const int refused = qelta::RefuseUnwritable(
      this, *network,
      {"MSBN format", true,
       "ERROR: This Network cannot be saved in Microsotf format"});
  if (refused != kOk) return refused;
  // Checked before the file is touched, so no half-written file is left.
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    const VRN_node* node = network->GetNode(h);
    if (!IsWritableType(node->Definition()->GetType())) {
      return ReportFormatted(qelta::kErrOutOfRange,
                             "ERROR: '%s' : Node type not supported by MSBN",
                             node->GetId());
    }
  }
  VRN_textOutput& out = Output();
  if (out.Open(file_name, VRN_textOutput::kOpenForWriting, GetErrorLog()) !=
      kOk) {
    return qelta::kErrFileWrite;
  }
  (void)out.SetIndentWidth(4);
  const char* name = network->Header()->GetName();
  std::string escaped;
  VRN_EscapeString(name != nullptr ? name : "_Unnamed_Network_", &escaped);
  const std::string head = "belief network \"" + escaped + "\"\n";
  out.WriteRaw(head.c_str(), kIndentMode);
  const VRN_intArray order = network->PartialOrder();
  for (int handle : order) WriteNode(handle);
  for (int handle : order) WriteTableBlock(handle);
  return CloseWrittenFile(file_name);
}

void VRN_microsoftSpeaker::WriteNode(int handle) {
  VRN_textOutput& out = Output();
  VRN_node* node = GetNetwork()->GetNode(handle);
  VRN_nodeDef* definition = node->Definition();
  const int type = definition->GetType();
  out.Write("\n", kIndentMode);
  const std::string head = std::string("node ") + node->GetId() + "\n";
  WriteIndented(head.c_str(), false);
  WriteIndented("{\n", false);
  (void)out.Indent();
  WriteStringField("name", node->Header().GetName(), true, true);
  // Unnamed interval outcomes get names the reader takes.
  VRN_stringArray outcomes;
  qelta::FileOutcomeIds(*definition, &outcomes);
  if (type != qelta::kDefUtility && definition->GetOutcomesNames() != nullptr) {
    const std::string line =
        "type : discrete[" + std::to_string(outcomes.GetSize()) + "] = \n";
    WriteIndented(line.c_str(), false);
    WriteIndented("{\n", false);
    (void)out.Indent();
    for (int i = 0; i < outcomes.GetSize(); ++i) {
      std::string item = "\"" + std::string(outcomes.Get(i)) + "\"";
      if (i + 1 < outcomes.GetSize()) item += ",";
      item += "\n";
      WriteIndented(item.c_str(), false);
    }
    (void)out.Unindent();
    WriteIndented("};\n", false);
  }
  const std::string position = "position : (" +
                               std::to_string(node->ScreenInfo().x) + ", " +
                               std::to_string(node->ScreenInfo().y) + ");\n";
  WriteIndented(position.c_str(), false);
  if (type == qelta::kDefUtility) {
    WriteStringField("label", "utility", false, false);
  } else if (type == qelta::kDefDecision) {
    WriteStringField("label", "decision", false, false);
  }
  (void)out.Unindent();
  WriteIndented("}\n", false);
}

void VRN_microsoftSpeaker::WriteTableBlock(int handle) {
  VRN_textOutput& out = Output();
  VRN_network* network = GetNetwork();
  VRN_node* node = network->GetNode(handle);
  const VRN_intArray& parents = node->Parents();
  std::string part = std::string("(") + node->GetId();
  for (int i = 0; i < parents.GetSize(); ++i) {
    part += i == 0 ? " | " : ", ";
    part += network->GetNode(parents[i])->GetId();
  }
  part += ")";
  VRN_nodeDef* definition = node->Definition();
  const int type = definition->GetType();
  out.Write("\n", kIndentMode);
  if (type == qelta::kDefDecision) {
    WriteIndented(("information " + part + ";\n").c_str(), false);
    return;
  }
  const char* word = type == qelta::kDefUtility ? "utility " : "probability ";
  WriteIndented((word + part + "\n").c_str(), false);
  WriteIndented("{\n", false);
  (void)out.Indent();
  const VRN_matrix* table = definition->GetExpandedDefinition();
  if (table != nullptr && !table->IsEmpty()) {
    const int dimensions = table->GetDimensionCount();
    const int row = table->GetSize(dimensions - 1);
    const int rows = table->GetItemCount() / row;
    VRN_intArray coordinates;
    for (int r = 0; r < rows; ++r) {
      std::string line;
      if (parents.GetSize() > 0) {
        (void)table->IndexToCoordinates(r * row, coordinates);
        line += "(";
        for (int i = 0; i < dimensions - 1; ++i) {
          if (i > 0) line += ", ";
          line += std::to_string(coordinates[i]);
        }
        line += ") : ";
      }
      for (int k = 0; k < row; ++k) {
        if (k > 0) line += ", ";
        line += qelta::DoubleToFileText(table->GetItem(r * row + k));
      }
      line += ";\n";
      WriteIndented(line.c_str(), false);
    }
  }
  (void)out.Unindent();
  WriteIndented("}\n", false);
}

// ----------------------------------------------------- list and field syntax

int VRN_microsoftSpeaker::SkipStatement() {
  return qelta::SkipThroughSemicolon(this);
}

int VRN_microsoftSpeaker::ReadIdentifierList(VRN_stringArray* list) {
  return qelta::ReadBlankSeparatedStrings(this, list);
}

int VRN_microsoftSpeaker::ReadDoubleList(VRN_doubleArray* list) {
  return qelta::ReadBlankSeparatedNumbers(this, list);
}

int VRN_microsoftSpeaker::ReadIntList(VRN_intArray* list) {
  int rc = qelta::Require(this, qelta::kTokenPunctuator, "(");
  if (rc != kOk) return rc;
  for (;;) {
    rc = PeekNext();
    if (rc != kOk) return rc;
    if (IsPunctuation(*this, ")")) {
      ConsumeNext();
      return kOk;
    }
    int value = 0;
    if (CurrentToken().type != qelta::kTokenInteger) {
      return qelta::Require(this, qelta::kTokenPunctuator, ")");
    }
    if (VRN_StringToInt(CurrentToken().text, value) != kOk) {
      return ReportFormatted(qelta::kErrOutOfRange,
                             "ERROR: '%s' : Integer out of range",
                             CurrentToken().text);
    }
    list->Add(value);
    ConsumeNext();
  }
}

int VRN_microsoftSpeaker::ReadFieldHeader(const char* name, int type) {
  if (name == nullptr) return qelta::kErrOutOfRange;
  const int rc = PeekNext();
  if (rc != kOk || CurrentToken().type != qelta::kTokenIdentifier ||
      !TokenIs(name)) {
    return qelta::kErrWrongFieldName;
  }
  ConsumeNext();
  const int colon_rc = qelta::Require(this, qelta::kTokenPunctuator, ":");
  if (colon_rc != kOk) return colon_rc;
  return qelta::Require(this, type, nullptr);
}

int VRN_microsoftSpeaker::WriteDoubleList(const VRN_doubleArray& list,
                                          int flag) {
  return WriteNumberList(list, " ");
}

int VRN_microsoftSpeaker::WriteStringField(const char* name, const char* value,
                                           bool quoted, bool escape) {
  // A line break inside a string would become part of it.
  return WriteFieldLine(name, " : ", value, quoted, escape, !quoted);
}

int VRN_microsoftSpeaker::WriteBlockStart(const char* name) {
  return WriteBlockOpening(name, true);
}
