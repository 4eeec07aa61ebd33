#include "io/text/ki.h"

#include <cmath>
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/arrays.h"
#include "base/error_log.h"
#include "base/matrix.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/noisy_max.h"
#include "io/table_limit.h"
#include "io/text/hugin.h"
#include "io/text/vrn.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta::kOk;

constexpr const char* kNodeFieldWords[] = {
    "NAME",       "CLASS",        "CLASSTYPE", "TYPE",          "POSITION",
    "COST",       "CATEGORY",     "SIZE",      "FONT",          "FONTSIZE",
    "QUESTION",   "FINISHEDFLAG", "DEFINITION", "OBSERVABLE",   "MANDATORY",
    "HYPOTHESIS", "ENTEREDNAME",  "ORDER",     "ENTRYTYPE",     "SHORTNAME",
    "LONGNAME",   "MANDATORYVALUE", "APPNAME", "ABBREVIATION",  nullptr};

// Fields read and dropped, with the kind of their value.
constexpr const char* kDroppedIdentFields[] = {"CLASS", "FONT", "FONTSIZE",
                                               "ORDER", "ENTRYTYPE", nullptr};
// The words a skip of a statement the reader cannot use must not pass: each
// starts a statement that gives a node's outcomes or table.
constexpr const char* kStateWords[] = {"TYPE", nullptr};
constexpr const char* kTableWords[] = {"PROB", "FUNCTION", nullptr};

constexpr const char* kDroppedStateFields[] = {"APPNAME", "LONGNAME",
                                               "SHORTNAME", "CATEGORY",
                                               nullptr};

constexpr const char* kDefinitionWords[] = {"PROB", "PARTITIONS", "NASPEC",
                                            "FUNCTION", "LEAK",
                                            "AUTOCALCROW", nullptr};

// The identifier a name given as a string becomes, as for state labels.
std::string RepairedId(const char* text) {
  VRN_stringArray labels;
  labels.Add(text);
  VRN_idArray ids;
  qelta::MakeValidUtf8Identifiers(labels, &ids);
  return ids.Get(0) != nullptr ? ids.Get(0) : "x";
}

}  // namespace

VRN_kiSpeaker::VRN_kiSpeaker(VRN_network* network) : VRN_fileFormat(network) {
  SetCaseSensitive(false);
}

VRN_kiSpeaker::~VRN_kiSpeaker() = default;

int VRN_kiSpeaker::Write(const char* file_name) {
  VRN_vrnSpeaker writer(GetNetwork());
  writer.SetKiLayout(true);
  return writer.Write(file_name);
}

// ------------------------------------------------------------- reading

int VRN_kiSpeaker::Read(const char* file_name) {
  int rc = CreateLexer(1, file_name);
  if (rc != kOk) return rc;
  std::error_code error;
  file_size_ = std::filesystem::file_size(std::filesystem::u8path(file_name),
                                          error);
  if (error) file_size_ = 0;
  rc = PeekNext();
  if (rc == kOk && CurrentToken().type == qelta::kTokenIdentifier &&
      TokenIs("diagnostic")) {
    ConsumeNext();
    rc = PeekNext();
    if (rc == kOk && TokenIs("network")) {
      ConsumeNext();
    } else {
      rc = ExpectOrFail(qelta::kTokenIdentifier, "network");
    }
    if (rc == kOk) rc = qelta::Require(this, qelta::kTokenString, nullptr);
  } else if (rc == kOk || rc == qelta::kErrNoMoreTokens) {
    rc = ExpectOrFail(qelta::kTokenIdentifier, "diagnostic");
  }
  if (rc == kOk) {
    VRN_header* header = GetNetwork()->Header();
    const std::string name = qelta::ValidUtf8Text(CurrentToken().text);
    header->SetName(name.c_str());
    if (header->SetId(RepairedId(name.c_str()).c_str()) != kOk) {
      rc = header->SetId("_Unnamed_Network_");
    }
  }
  const struct {
    const char* word;
    int (VRN_kiSpeaker::*read)();
  } blocks[] = {{"kb", &VRN_kiSpeaker::ReadKbBlock},
                {"nodes", &VRN_kiSpeaker::ReadNodesBlock},
                {"network", &VRN_kiSpeaker::ReadNetworkBlock}};
  for (const auto& block : blocks) {
    if (rc != kOk) break;
    rc = PeekBetweenStatements();
    if (rc == kOk && CurrentToken().type == qelta::kTokenIdentifier &&
        TokenIs(block.word)) {
      ConsumeNext();
      rc = (this->*block.read)();
    } else if (rc == kOk || rc == qelta::kErrNoMoreTokens) {
      rc = ExpectOrFail(qelta::kTokenIdentifier, block.word);
    }
  }
  // A file cut inside a block fails with the end-of-input code.
  rc = CutInputStatus(rc);
  if (rc == qelta::kErrNoMoreTokens) {
    rc = ReportError(qelta::kErrNoMoreTokens, "ERROR: Unexpected End of File");
  }
  if (rc == kOk) PostProcess();
  // A table given but not built would pass a different network for the
  // file's.
  rc = TablesStatus(rc);
  DeleteLexer();
  return rc;
}

template <typename ReadOne>
int VRN_kiSpeaker::ReadBlock(ReadOne read) {
  int rc = qelta::Require(this, qelta::kTokenPunctuator, "{");
  if (rc != kOk) return rc;
  for (;;) {
    rc = PeekNext();
    if (rc != kOk) return rc;
    if (qelta::IsPunctuation(*this, "}")) {
      ConsumeNext();
      return kOk;
    }
    if (qelta::IsPunctuation(*this, ";")) {
      ConsumeNext();
      continue;
    }
    rc = read();
    if (rc != kOk) return rc;
  }
}

int VRN_kiSpeaker::ReadColonValue(int type) {
  const int rc = qelta::Require(this, qelta::kTokenPunctuator, ":");
  if (rc != kOk) return rc;
  return qelta::Require(this, type, nullptr);
}

int VRN_kiSpeaker::ReadNodeId(std::string* id) {
  const int rc = PeekNext();
  if (rc != kOk) return rc;
  if (CurrentToken().type == qelta::kTokenString) {
    *id = RepairedId(CurrentToken().text);
    ConsumeNext();
    return kOk;
  }
  const int status = qelta::Require(this, qelta::kTokenIdentifier, nullptr);
  if (status == kOk) *id = qelta::ValidUtf8Text(CurrentToken().text);
  return status;
}

int VRN_kiSpeaker::ReadKbBlock() {
  return ReadBlock([this]() {
    if (CurrentToken().type != qelta::kTokenIdentifier) return SkipStatement();
    if (TokenIs("NODEFONTSPEC")) {
      ConsumeNext();
      return qelta::SkipDeclaration(this, 0);
    }
    if (!TokenIs("NOTES")) return SkipStatement();
    ConsumeNext();
    int rc = ReadColonValue(qelta::kTokenString);
    if (rc == kOk) {
      GetNetwork()->Header()->SetComment(
          qelta::ValidUtf8Text(CurrentToken().text).c_str());
    }
    return qelta::EndStatement(this, rc);
  });
}

int VRN_kiSpeaker::ReadNodesBlock() {
  return ReadBlock([this]() { return ReadNodeDescription(); });
}

int VRN_kiSpeaker::ReadNodeDescription() {
  const bool standard = TokenIs("standard");
  if (!standard && !TokenIs("ci")) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown Node Type",
                    CurrentToken().text);
    return qelta::SkipDeclaration(this, 0);
  }
  ConsumeNext();
  std::string id;
  int rc = ReadNodeId(&id);
  if (rc != kOk) return qelta::SkipFailedDeclaration(this, rc, 0);
  VRN_network* network = GetNetwork();
  const int handle =
      AddFileNode(standard ? qelta::kDefCpt : qelta::kDefNoisyMax, id.c_str());
  if (handle < 0) {
    ReportFormatted(handle, "ERROR: Couldn't Create Node (\"%s\")", id.c_str());
    NoteNodeNotCreated();
    return qelta::SkipDeclaration(this, 0);
  }
  observable_ = -1;
  mandatory_ = -1;
  hypothesis_ = -1;
  bool noisy_max = false;
  rc = ReadBlock([this, handle, &noisy_max]() {
    return ReadNodeField(handle, &noisy_max);
  });
  if (rc != kOk) return rc;
  VRN_node* node = network->GetNode(handle);
  if (noisy_max) {
    ReportError(node->setNodeType(qelta::kDefNoisyMax), nullptr);
  }
  const auto* definition = static_cast<const VRN_discDef*>(node->Definition());
  int role = 2;  // auxiliary
  for (int i = 0; i < definition->GetNumberOfOutcomes(); ++i) {
    if (definition->IsFaultOutcome(i)) role = 0;  // target
  }
  if (observable_ == 1 || mandatory_ == 1) role = 1;
  (void)node->SetDiagType(role);
  node->SetRanked(false);
  node->SetMandatory(false);
  return kOk;
}

int VRN_kiSpeaker::ReadNodeField(int handle, bool* noisy_max) {
  const SkipGuard skips(this, kStateWords);
  if (CurrentToken().type != qelta::kTokenIdentifier ||
      !TokenIsOneOf(kNodeFieldWords)) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown Node Statement",
                    CurrentToken().text);
    return SkipStatement();
  }
  if (TokenIs("TYPE")) return ReadStates(handle);
  VRN_node* node = GetNetwork()->GetNode(handle);
  const std::string word = CurrentToken().text;
  ConsumeNext();
  int rc = kOk;
  auto is = [&word](const char* name) {
    return strcasecmp(word.c_str(), name) == 0;
  };
  if (is("NAME") || is("QUESTION") || is("DEFINITION") || is("SHORTNAME") ||
      is("LONGNAME")) {
    rc = ReadColonValue(qelta::kTokenString);
    if (rc == kOk) {
      const std::string text = qelta::ValidUtf8Text(CurrentToken().text);
      if (is("NAME")) {
        rc = ReportError(node->Header().SetName(text.c_str()), nullptr);
      } else if (is("QUESTION")) {
        node->SetQuestion(text.c_str());
      } else if (is("DEFINITION")) {
        rc = ReportError(node->Header().SetComment(text.c_str()), nullptr);
      } else {
        rc = ReportError(node->UserProperties().AddProperty(
                             is("SHORTNAME") ? "KI_SHORTNAME" : "KI_LONGNAME",
                             text.c_str()),
                         nullptr);
      }
    }
  } else if (is("CLASSTYPE")) {
    rc = ReadColonValue(qelta::kTokenIdentifier);
    if (rc == kOk) *noisy_max = true;
  } else if (is("POSITION")) {
    rc = qelta::Require(this, qelta::kTokenPunctuator, "=");
    if (rc == kOk) rc = qelta::Require(this, qelta::kTokenInteger, nullptr);
    if (rc == kOk) rc = qelta::Require(this, qelta::kTokenIdentifier, nullptr);
    VRN_doubleArray xy;
    if (rc == kOk) rc = ReadDoubleList(&xy);
    int x = 0;
    int y = 0;
    if (rc == kOk && xy.GetSize() == 2 && qelta::TruncateToInt(xy[0], &x) &&
        qelta::TruncateToInt(xy[1], &y)) {
      node->ScreenInfo().x = x;
      node->ScreenInfo().y = y;
    } else if (rc == kOk) {
      rc = ReportError(qelta::kErrOutOfRange, "ERROR: Wrong position");
    }
  } else if (is("COST")) {
    rc = qelta::Require(this, qelta::kTokenPunctuator, ":");
    double cost = 0.0;
    if (rc == kOk) rc = ReadDouble(&cost);
    if (rc == qelta::kErrSyntax) {
      ReportFormatted(rc, "ERROR: '%s' : Number expected", CurrentToken().text);
    }
    if (rc == kOk) {
      VRN_doubleArray values;
      values.Add(cost);
      rc = ReportError(node->SetCost(values), nullptr);
    }
  } else if (is("SIZE")) {
    rc = qelta::Require(this, qelta::kTokenPunctuator, ":");
    VRN_doubleArray size;
    if (rc == kOk) rc = ReadDoubleList(&size);
  } else if (is("OBSERVABLE") || is("MANDATORY") || is("HYPOTHESIS") ||
             is("FINISHEDFLAG")) {
    rc = ReadColonValue(qelta::kTokenIdentifier);
    int flag = -1;
    if (rc == kOk) {
      if (TokenIs("TRUE") || TokenIs("FALSE")) {
        flag = TokenIs("TRUE") ? 1 : 0;
      } else {
        rc = ReportFormatted(qelta::kErrSyntax,
                             "ERROR: (\"%s\") : int Expected",
                             CurrentToken().text);
      }
    }
    if (is("OBSERVABLE")) observable_ = flag;
    if (is("MANDATORY")) mandatory_ = flag;
    if (is("HYPOTHESIS")) hypothesis_ = flag;
  } else if (is("MANDATORYVALUE")) {
    rc = ReadColonValue(qelta::kTokenInteger);
    int value = 0;
    if (rc == kOk &&
        VRN_StringToInt(CurrentToken().text, value) == kOk) {
      rc = ReportError(static_cast<VRN_discDef*>(node->Definition())
                           ->SetDefaultOutcome(value),
                       nullptr);
    }
  } else if (is("CATEGORY") || is("ENTEREDNAME")) {
    rc = ReadColonValue(qelta::kTokenString);
  } else {
    bool dropped = false;
    for (const char* const* w = kDroppedIdentFields; *w != nullptr; ++w) {
      dropped = dropped || is(*w);
    }
    if (dropped) {
      rc = qelta::Require(this, qelta::kTokenPunctuator, ":");
      if (rc == kOk) rc = PeekNext();
      if (rc == kOk) ConsumeNext();  // any one word or number
    } else {
      ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown Node Field",
                      word.c_str());
      return SkipStatement();
    }
  }
  return qelta::EndStatement(this, rc);
}

int VRN_kiSpeaker::ReadStates(int handle) {
  ConsumeNext();  // "type"
  int rc = qelta::Require(this, qelta::kTokenPunctuator, ":");
  if (rc == kOk) rc = qelta::Require(this, qelta::kTokenIdentifier, nullptr);
  if (rc == kOk) rc = qelta::Require(this, qelta::kTokenPunctuator, "[");
  int count = 0;
  if (rc == kOk) {
    rc = ReadInt(&count);
    if (rc == qelta::kErrSyntax) {
      ReportFormatted(rc, "ERROR: '%s' : Integer expected",
                      CurrentToken().text);
    } else if (rc == kOk && count > 0 &&
               static_cast<std::uint64_t>(count) > file_size_) {
      rc = ReportFormatted(qelta::kErrSyntax,
                           "ERROR: '%d' : State count larger than the file",
                           count);
    }
  }
  if (rc == kOk) rc = qelta::Require(this, qelta::kTokenPunctuator, "]");
  if (rc == kOk) rc = qelta::Require(this, qelta::kTokenPunctuator, "=");
  if (rc == kOk) rc = qelta::Require(this, qelta::kTokenInteger, nullptr);
  if (rc == kOk) rc = qelta::Require(this, qelta::kTokenIdentifier, nullptr);
  // Each state of the list must name one of the node's outcomes, or the
  // node would keep outcomes the file does not give it.
  const char* const id = GetNetwork()->GetNode(handle)->GetId();
  if (rc != kOk) {
    if (qelta::IsInputFailure(rc)) return rc;
    (void)OutcomesNotRead(id, "TYPE", rc);
    return qelta::SkipDeclaration(this, 0);
  }
  VRN_nodeDef* definition = GetNetwork()->GetNode(handle)->Definition();
  const int status = definition->SetNumberOfOutcomes(count);
  if (status != kOk) ReportError(status, "Wrong number of outcomes");
  int index = 0;
  named_outcomes_ = 0;
  rc = ReadBlock([this, handle, &index]() {
    return ReadStateDescription(handle, index++);
  });
  if (qelta::IsInputFailure(rc)) return rc;
  if (rc != kOk || status != kOk || index != count || named_outcomes_ != count) {
    (void)OutcomesNotRead(id, "TYPE", qelta::kErrSyntax);
  }
  return qelta::EndStatement(this, rc);
}

int VRN_kiSpeaker::ReadStateDescription(int handle, int index) {
  const bool fault = TokenIs("fault");
  if (!fault && !TokenIs("standard")) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown State Type",
                    CurrentToken().text);
    return qelta::SkipDeclaration(this, 0);
  }
  ConsumeNext();
  std::string id;
  int rc = ReadNodeId(&id);
  if (rc != kOk) return qelta::SkipFailedDeclaration(this, rc, 0);
  auto* definition =
      static_cast<VRN_discDef*>(GetNetwork()->GetNode(handle)->Definition());
  if (index >= definition->GetNumberOfOutcomes()) {
    ReportFormatted(qelta::kErrOutOfRange, "ERROR: '%s' : Too many states",
                    id.c_str());
    return qelta::SkipDeclaration(this, 0);
  }
  (void)definition->SetFaultOutcome(index, fault);
  return ReadBlock([this, handle, index, fault]() {
    return ReadStateField(handle, index, fault);
  });
}

int VRN_kiSpeaker::ReadStateField(int handle, int index, bool fault) {
  auto* definition =
      static_cast<VRN_discDef*>(GetNetwork()->GetNode(handle)->Definition());
  if (CurrentToken().type != qelta::kTokenIdentifier) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown State Field",
                    CurrentToken().text);
    return SkipStatement();
  }
  const std::string word = CurrentToken().text;
  int rc = kOk;
  if (TokenIs("GROUP")) {
    ConsumeNext();
    rc = ReadColonValue(qelta::kTokenIdentifier);
  } else if (TokenIs("NAME") || TokenIs("ABBREVIATION") ||
             TokenIs("DEFINITION") || TokenIsOneOf(kDroppedStateFields)) {
    const bool name = TokenIs("NAME");
    const bool label = TokenIs("ABBREVIATION");
    const bool fix = TokenIs("DEFINITION");
    ConsumeNext();
    rc = ReadColonValue(qelta::kTokenString);
    const std::string text = qelta::ValidUtf8Text(CurrentToken().text);
    if (rc == kOk && name) {
      const std::string id = RepairedId(text.c_str());
      rc = ReportError(definition->RenameOutcome(index, id.c_str()), nullptr);
      if (rc == kOk) ++named_outcomes_;
    } else if (rc == kOk && label && fault &&
               definition->SetOutcomeLabel(index, text.c_str()) != kOk) {
      rc = ReportFormatted(qelta::kErrSyntax,
                           "ERROR: '%s' : Fault label is not unique.",
                           text.c_str());
    } else if (rc == kOk && fix) {
      rc = ReportError(definition->SetOutcomeFix(index, text.c_str()), nullptr);
    }
  } else {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown State Field",
                    word.c_str());
    return SkipStatement();
  }
  return qelta::EndStatement(this, rc);
}

int VRN_kiSpeaker::ReadNetworkBlock() {
  return ReadBlock([this]() { return ReadNodeDefinition(); });
}

int VRN_kiSpeaker::ReadNodeDefinition() {
  if (!TokenIs("standard") && !TokenIs("ci")) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown Node Type",
                    CurrentToken().text);
    return qelta::SkipDeclaration(this, 0);
  }
  ConsumeNext();
  std::string id;
  int rc = ReadNodeId(&id);
  if (rc != kOk) return qelta::SkipFailedDeclaration(this, rc, 0);
  VRN_network* network = GetNetwork();
  const int handle = network->FindNode(id.c_str());
  if (handle < 0) {
    ReportFormatted(handle, "ERROR: Couldn't Find Node (\"%s\")", id.c_str());
    NoteTableNotBuilt();  // the table it gives has no node
    return qelta::SkipDeclaration(this, 0);
  }
  rc = qelta::Require(this, qelta::kTokenIdentifier, "parent");
  if (rc == kOk) rc = qelta::Require(this, qelta::kTokenPunctuator, "(");
  std::vector<int> parents;
  std::vector<std::string> parent_ids;
  while (rc == kOk) {
    rc = PeekNext();
    if (rc != kOk) break;
    if (qelta::IsPunctuation(*this, ")")) {
      ConsumeNext();
      break;
    }
    if (!parent_ids.empty()) {
      rc = qelta::Require(this, qelta::kTokenPunctuator, ",");
      if (rc != kOk) break;
    }
    std::string parent_id;
    rc = ReadNodeId(&parent_id);
    if (rc != kOk) break;
    parent_ids.push_back(parent_id);
    const int parent = network->FindNode(parent_id.c_str());
    if (parent < 0) {
      ReportFormatted(parent,
                      "ERROR: Couldn't add arc from node [%s] to node [%s]",
                      parent_id.c_str(), id.c_str());
      NoteTableNotBuilt();
    } else {
      parents.push_back(parent);
    }
  }
  if (rc != kOk) return qelta::SkipFailedDeclaration(this, rc, 0);
  if (qelta::FamilyTableCells(*network, handle, parents) >
      qelta::kReadTableCellLimit) {
    ReportFormatted(qelta::kErrOutOfMemory,
                    "ERROR: Node (\"%s\") : its table would be too large",
                    id.c_str());
    NoteTableNotBuilt();
    parents.clear();
  }
  for (int parent : parents) {
    const int status = network->AddArc(parent, handle, 0);
    if (status != kOk) {
      ReportFormatted(status,
                      "ERROR: Couldn't add arc from node [%s] to node [%s]",
                      network->GetNode(parent)->GetId(), id.c_str());
      NoteTableNotBuilt();
    }
  }
  return ReadBlock([this, handle]() {
    // A table statement the reader does not use for this kind of node is
    // itself skipped; another skip must not pass one.
    const SkipGuard skips(this, TokenIsOneOf(kTableWords) ? nullptr : kTableWords);
    const bool noisy = GetNetwork()->GetNode(handle)->Definition()->GetType() ==
                       qelta::kDefNoisyMax;
    if (CurrentToken().type == qelta::kTokenIdentifier && TokenIs("PROB") &&
        !noisy) {
      return ReadProbTable(handle);
    }
    if (CurrentToken().type == qelta::kTokenIdentifier &&
        TokenIs("FUNCTION") && noisy) {
      return ReadFunction(handle);
    }
    if (CurrentToken().type == qelta::kTokenIdentifier &&
        TokenIs("PARTITIONS")) {
      ConsumeNext();
      const int status = qelta::SkipDeclaration(this, 0);
      if (status != kOk) return status;
      return qelta::EndStatement(this, kOk);
    }
    if (TokenIsOneOf(kDefinitionWords) || qelta::IsPunctuation(*this, "(")) {
      ReportFormatted(qelta::kErrSyntax,
                      "ERROR: '%s' : Unknown Node Definition Field",
                      CurrentToken().text);
    } else {
      ReportFormatted(qelta::kErrSyntax,
                      "ERROR: '%s' : Unknown Node Definition Statement",
                      CurrentToken().text);
    }
    return SkipStatement();
  });
}

int VRN_kiSpeaker::ReadProbTable(int handle) {
  ConsumeNext();  // "PROB"
  int rc = qelta::Require(this, qelta::kTokenPunctuator, ":");
  if (rc != kOk) return qelta::EndStatement(this, rc);
  VRN_nodeDef* definition = GetNetwork()->GetNode(handle)->Definition();
  const VRN_matrix* table = definition->GetMatrixConst();
  std::vector<double> items;
  for (int i = 0; table != nullptr && i < table->GetItemCount(); ++i) {
    items.push_back(table->GetItem(i));
  }
  const std::size_t outcomes =
      static_cast<std::size_t>(definition->GetNumberOfOutcomes());
  std::size_t row = 0;
  rc = ReadBlock([&]() {
    VRN_intArray configuration;
    int status = ReadIntList(&configuration);
    if (status == kOk) status = qelta::Require(this, qelta::kTokenPunctuator, ";");
    std::vector<double> values;
    while (status == kOk) {
      double value = 0.0;
      status = ReadDouble(&value);
      if (status != kOk) {
        if (!qelta::IsInputFailure(status)) {
          ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Number expected",
                          CurrentToken().text);
          NoteTableNotBuilt();
        }
        break;
      }
      values.push_back(value);
      status = PeekNext();
      if (status == kOk && qelta::IsPunctuation(*this, ",")) {
        ConsumeNext();
      } else {
        break;
      }
    }
    // Row i is configuration i, whatever became of the rows before.
    const std::size_t at = row++;
    if (status == kOk) {
      if (values.size() != outcomes || (at + 1) * outcomes > items.size()) {
        ReportError(qelta::kErrOutOfRange,
                    "ERROR: Wrong number of Probabilities");
        NoteTableNotBuilt();
      } else {
        std::copy(values.begin(), values.end(),
                  items.begin() + static_cast<std::ptrdiff_t>(at * outcomes));
      }
    }
    return qelta::EndStatement(this, status);
  });
  if (rc != kOk) return rc;
  if (definition->SetDefinitionFromVector(items) != kOk) {
    ReportError(qelta::kErrOutOfRange, "ERROR: Couldn't set probabilities");
    NoteTableNotBuilt();
  }
  return qelta::EndStatement(this, kOk);
}

int VRN_kiSpeaker::ReadNumberRow(std::vector<double>* row) {
  for (;;) {
    double value = 0.0;
    int rc = ReadDouble(&value);
    if (rc != kOk) {
      if (qelta::IsInputFailure(rc)) return rc;
      NoteTableNotBuilt();
      return ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Number expected",
                             CurrentToken().text);
    }
    row->push_back(value);
    rc = PeekNext();
    if (rc != kOk) return rc;
    if (!qelta::IsPunctuation(*this, ",")) break;
    ConsumeNext();
  }
  return qelta::Require(this, qelta::kTokenPunctuator, ";");
}

int VRN_kiSpeaker::ReadFunction(int handle) {
  ConsumeNext();  // "FUNCTION"
  const VRN_node* node = GetNetwork()->GetNode(handle);
  const int parents = node->Parents().GetSize();
  KiNoisyMaxFunction function;
  function.rows.resize(static_cast<std::size_t>(parents));
  // The rest of the first statement names the function.
  int rc = qelta::Require(this, qelta::kTokenPunctuator, ":");
  if (rc == kOk) rc = SkipStatement();
  if (rc == kOk) rc = ReadNumberRow(&function.leak);
  while (rc == kOk) {
    rc = PeekNext();
    if (rc != kOk || !qelta::IsPunctuation(*this, "(")) break;
    VRN_intArray positions;
    rc = ReadIntList(&positions);
    if (rc == kOk) rc = qelta::Require(this, qelta::kTokenPunctuator, ";");
    std::vector<double> row;
    if (rc == kOk) rc = ReadNumberRow(&row);
    if (rc != kOk) break;
    if (positions.IsEmpty() || positions[0] < 0 || positions[0] >= parents) {
      ReportFormatted(qelta::kErrOutOfRange,
                      "ERROR: '%d' : No such parent position",
                      positions.IsEmpty() ? -1 : positions[0]);
      continue;
    }
    function.rows[static_cast<std::size_t>(positions[0])].push_back(
        std::move(row));
  }
  if (rc == kOk) rc = SkipStatement();
  if (rc == kOk) rc = qelta::Require(this, qelta::kTokenIdentifier,
                                     "predAbsentStates");
  if (rc == kOk) rc = ReadColonValue(qelta::kTokenPunctuator);
  if (rc == kOk && !qelta::IsPunctuation(*this, "{")) {
    rc = ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : '{' expected",
                         CurrentToken().text);
  }
  int entry = 0;
  while (rc == kOk) {
    rc = PeekNext();
    if (rc != kOk) break;
    if (qelta::IsPunctuation(*this, "}")) {
      ConsumeNext();
      break;
    }
    // The index is read and not used: entries go to the parents in order.
    rc = ReadFieldHeader("predIndex", qelta::kTokenInteger);
    if (rc == kOk) rc = qelta::Require(this, qelta::kTokenPunctuator, ";");
    if (rc == kOk) rc = ReadFieldHeader("predAbsentStates", qelta::kTokenPunctuator);
    VRN_intArray absent;
    if (rc == kOk) {
      // The "{" was read as the field's token.
      for (;;) {
        int value = 0;
        rc = ReadInt(&value);
        if (rc != kOk) break;
        absent.Add(value);
        rc = PeekNext();
        if (rc != kOk || !qelta::IsPunctuation(*this, ",")) break;
        ConsumeNext();
      }
      if (rc == kOk) rc = qelta::Require(this, qelta::kTokenPunctuator, "}");
    }
    if (rc == kOk) rc = qelta::Require(this, qelta::kTokenPunctuator, ";");
    if (rc != kOk) break;
    if (entry >= parents || absent.IsEmpty()) {
      ReportFormatted(qelta::kErrOutOfRange,
                      "ERROR: predAbsentStates entry %d has no parent",
                      entry + 1);
    } else {
      function.absent.push_back(absent[0]);
    }
    ++entry;
  }
  if (rc != kOk) {
    if (qelta::IsInputFailure(rc)) return rc;
    return SkipStatement();
  }
  BuildNoisyMax(handle, function);
  return qelta::EndStatement(this, kOk);
}

void VRN_kiSpeaker::BuildNoisyMax(int handle,
                                  const KiNoisyMaxFunction& function) {
  VRN_network* network = GetNetwork();
  VRN_node* node = network->GetNode(handle);
  auto* definition = dynamic_cast<VRN_noisyMAX*>(node->Definition());
  if (definition == nullptr) return;
  const std::size_t n =
      static_cast<std::size_t>(definition->GetNumberOfOutcomes());
  // Each parent's rows by its outcomes, in parent order, then the leak.
  VRN_doubleArray items;
  bool complete = function.leak.size() == n;
  for (std::size_t p = 0; p < function.rows.size() && complete; ++p) {
    const int outcomes =
        network->GetNode(node->Parents()[static_cast<int>(p)])
            ->Definition()
            ->GetNumberOfOutcomes();
    complete = function.rows[p].size() == static_cast<std::size_t>(outcomes);
    for (const std::vector<double>& row : function.rows[p]) {
      complete = complete && row.size() == n;
      for (double value : row) items.Add(value);
    }
  }
  for (double value : function.leak) items.Add(value);
  if (!complete || definition->LoadParameters(items) != kOk) {
    ReportFormatted(qelta::kErrOutOfRange,
                    "ERROR: Node [%s] : Wrong number of parameters",
                    node->GetId());
    return;
  }
  // The absent outcome of each parent takes the last strength position.
  for (std::size_t p = 0; p < function.absent.size(); ++p) {
    const int i = static_cast<int>(p);
    VRN_intArray order = definition->GetParentOutcomeStrengths(i);
    const int k = order.GetSize();
    const int absent = function.absent[p];
    if (absent < 0 || absent >= k) {
      ReportFormatted(qelta::kErrOutOfRange,
                      "ERROR: '%d' : No such absent state", absent);
      continue;
    }
    order[absent] = k - 1;
    order[k - 1] = absent;
    ReportError(definition->ChangeParentOutcomeStrengths(i, order), nullptr);
  }
  VRN_intArray reversed;
  for (int j = static_cast<int>(n) - 1; j >= 0; --j) reversed.Add(j);
  ReportError(definition->ChangeOrderOfOutcomes(reversed), nullptr);
}

void VRN_kiSpeaker::PostProcess() {
  VRN_network* network = GetNetwork();
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    VRN_node* node = network->GetNode(h);
    VRN_nodeDef* definition = node->Definition();
    const VRN_matrix* table = definition->GetMatrixConst();
    if (table != nullptr && !table->IsEmpty()) {
      std::vector<double> items;
      for (int i = 0; i < table->GetItemCount(); ++i) {
        items.push_back(std::trunc(table->GetItem(i) * 100000.0 + 0.5) /
                        100000.0);
      }
      (void)definition->SetDefinitionFromVector(items);
    }
    const char* name = node->Header().GetName();
    if (name != nullptr) {
      std::string text = name;
      const std::size_t first = text.find_first_not_of(' ');
      const std::size_t last = text.find_last_not_of(' ');
      text = first == std::string::npos
                 ? std::string()
                 : text.substr(first, last - first + 1);
      node->Header().SetName(text.c_str());
    }
  }
}

// ----------------------------------------------------- list and field syntax

int VRN_kiSpeaker::SkipStatement() { return qelta::SkipThroughSemicolon(this); }

int VRN_kiSpeaker::ReadFieldHeader(const char* name, int type) {
  if (name == nullptr) return qelta::kErrOutOfRange;
  const int rc = PeekNext();
  if (rc != kOk || CurrentToken().type != qelta::kTokenIdentifier ||
      !TokenIs(name)) {
    return qelta::kErrWrongFieldName;
  }
  ConsumeNext();
  return ReadColonValue(type);
}
