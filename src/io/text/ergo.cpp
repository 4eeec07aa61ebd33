#include "io/text/ergo.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "base/error_log.h"
#include "base/matrix.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/node_def.h"
#include "definitions/noisy_max.h"
#include "io/table_limit.h"
#include "io/text/hugin.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

namespace {

using qelta::kOk;

constexpr int kIndentMode = VRN_textOutput::kModeIndent;

constexpr const char* kSections[] = {"Probabilities", "Names", "Labels",
                                     "Centers"};

// The section whose name starts with word; -1 for none.
int FindSection(const char* word) {
  const std::size_t length = std::strlen(word);
  for (int i = 0; i < 4; ++i) {
    if (length > 0 && length <= std::strlen(kSections[i]) &&
        std::strncmp(kSections[i], word, length) == 0) {
      return i;
    }
  }
  return -1;
}

double Clamp01(double value) {
  if (!(value >= 0.0)) return 0.0;  // NaN too
  return value > 1.0 ? 1.0 : value;
}

}  // namespace

namespace qelta {

std::vector<double> ErgoNoisyMaxColumn(const std::vector<double>& cumulative) {
  const std::size_t n = cumulative.size() + 1;
  std::vector<double> x(cumulative.size());
  std::transform(cumulative.begin(), cumulative.end(), x.begin(), Clamp01);
  std::vector<double> column(n, 0.0);
  // Entry 0 is 1 - x(n-1); entry j is x(n-j) - x(n-j-1); the last is x1.
  for (std::size_t j = 0; j < n; ++j) {
    const double upper = j == 0 ? 1.0 : x[n - 1 - j];
    const double lower = j + 1 < n ? x[n - 2 - j] : 0.0;
    column[j] = Clamp01(upper - lower);
  }
  double sum = 0.0;
  for (double value : column) sum += value;
  for (double& value : column) {
    value = sum > 0.0 ? value / sum : 1.0 / static_cast<double>(n);
  }
  return column;
}

}  // namespace qelta

VRN_ergoSpeaker::VRN_ergoSpeaker(VRN_network* network)
    : VRN_fileFormat(network) {}

VRN_ergoSpeaker::~VRN_ergoSpeaker() = default;

// ------------------------------------------------------------- reading

int VRN_ergoSpeaker::ReadCount(const char* what, int* value) {
  int rc = PeekNext();
  if (rc != kOk && rc != qelta::kErrNoMoreTokens) return rc;
  if (rc == qelta::kErrNoMoreTokens ||
      CurrentToken().type != qelta::kTokenInteger) {
    return ExpectOrFail(qelta::kTokenInteger, nullptr);
  }
  rc = ReadInt(value);
  if (rc != kOk || (*value > 0 &&
                    static_cast<std::uint64_t>(*value) > file_size_)) {
    return ReportFormatted(qelta::kErrSyntax,
                           "ERROR: ('%s') : %s larger than the file",
                           CurrentToken().text, what);
  }
  return kOk;
}

int VRN_ergoSpeaker::Read(const char* file_name) {
  int rc = CreateLexer(2, file_name);
  if (rc != kOk) return rc;
  std::error_code error;
  file_size_ = std::filesystem::file_size(
      std::filesystem::u8path(file_name), error);
  if (error) file_size_ = 0;
  nodes_.clear();
  VRN_network* network = GetNetwork();
  int count = 0;
  rc = ReadCount("Node count", &count);
  if (rc == kOk && count < 0) {
    rc = ReportFormatted(qelta::kErrOutOfRange,
                         "ERROR: (\"%s\") : Invalid number of nodes",
                         CurrentToken().text);
  }
  if (rc != kOk || count == 0) {
    rc = CutInputStatus(rc);
    DeleteLexer();
    return rc;
  }

  // The outcome counts arrive before any node is made, so that a node
  // count no file holds allocates nothing.
  std::vector<int> outcomes;
  for (int i = 0; i < count && rc == kOk; ++i) {
    int states = 0;
    rc = ReadCount("Outcome count", &states);
    if (rc != kOk) break;
    if (states < 2) {
      ReportFormatted(qelta::kErrOutOfRange,
                      "ERROR: '%s' : Invalid number of states",
                      CurrentToken().text);
      states = 2;
    }
    outcomes.push_back(states);
  }
  for (int i = 0; i < count && rc == kOk; ++i) {
    // Noisy-MAX nodes start as CPTs until their parameters are known.
    const int handle = network->AddNode(qelta::kDefCpt, nullptr);
    if (handle < 0) {
      ReportError(handle, "ERROR: Couldn't Create Node");
      NoteNodeNotCreated();
    } else {
      const int status = network->GetNode(handle)->Definition()
                             ->SetNumberOfOutcomes(outcomes[i]);
      ReportError(status, nullptr);
    }
    nodes_.push_back(handle);
  }
  for (int i = 0; i < count && rc == kOk; ++i) {
    int parents = 0;
    rc = ReadCount("Parent count", &parents);
    if (rc != kOk) break;
    if (parents < 0) {
      ReportFormatted(qelta::kErrOutOfRange,
                      "ERROR:'%s' : Invalid number of parents",
                      CurrentToken().text);
      parents = 0;
    }
    std::vector<int> handles;
    for (int p = 0; p < parents && rc == kOk; ++p) {
      int number = 0;
      rc = ReadCount("Parent number", &number);
      if (rc != kOk) break;
      if (number < 1 || number > count) {
        ReportFormatted(qelta::kErrOutOfRange,
                        "ERROR: '%s' : Invalid parent number",
                        CurrentToken().text);
        // Without that parent the node's table would not be the file's.
        ReportFormatted(qelta::kErrFileIo,
                        "ERROR: Node %d of the file : its parent %d is not "
                        "a node of the file",
                        i + 1, number);
        NoteTableNotBuilt();
      } else if (nodes_[number - 1] >= 0) {
        handles.push_back(nodes_[number - 1]);
      }
    }
    if (rc != kOk) break;
    if (nodes_[i] < 0) continue;
    if (qelta::FamilyTableCells(*network, nodes_[i], handles) >
        qelta::kReadTableCellLimit) {
      ReportFormatted(qelta::kErrOutOfMemory,
                      "ERROR: Node (\"%s\") : its table would have more than "
                      "%llu cells",
                      network->GetNode(nodes_[i])->GetId(),
                      static_cast<unsigned long long>(
                          qelta::kReadTableCellLimit));
      NoteTableNotBuilt();
      continue;
    }
    for (int parent : handles) {
      const int status = network->AddArc(parent, nodes_[i], 0);
      if (status != kOk) {
        ReportFormatted(status,
                        "ERROR: Couldn't Add Arc From Parent Node (\"%s\")",
                        network->GetNode(parent)->GetId());
        NoteTableNotBuilt();
      }
    }
  }
  if (rc != kOk) {
    rc = CutInputStatus(rc);
    DeleteLexer();
    return rc;
  }

  // Sections, each "/" "*" name "*" "/" and its body.
  int status = qelta::kErrOutOfRange;
  unsigned sections_read = 0;  // bit k: section k of kSections
  for (;;) {
    rc = PeekBetweenStatements();
    if (rc == qelta::kErrNoMoreTokens) break;
    if (rc != kOk) {
      status = rc;
      break;
    }
    if (!qelta::IsPunctuation(*this, "/")) {
      // Text after the sections that give the nodes changes none; before
      // them it would leave the sections after it unread.
      if ((sections_read & 7u) != 7u) {
        NoteTableNotBuilt();
        status = ReportFormatted(qelta::kErrFileIo,
                                 "ERROR: '%s' : Unexpected word where a "
                                 "section should start",
                                 CurrentToken().text);
      }
      break;
    }
    ConsumeNext();
    rc = qelta::Require(this, qelta::kTokenPunctuator, "*");
    if (rc == kOk) rc = PeekNext();
    if (rc != kOk) {
      status = rc == qelta::kErrNoMoreTokens ? qelta::kErrSyntax : rc;
      break;
    }
    const std::string name = CurrentToken().text;
    ConsumeNext();
    rc = qelta::Require(this, qelta::kTokenPunctuator, "*");
    if (rc == kOk) rc = qelta::Require(this, qelta::kTokenPunctuator, "/");
    if (rc != kOk) {
      status = rc;
      break;
    }
    const int section = FindSection(name.c_str());
    if (section >= 0 && section < 32) sections_read |= 1u << section;
    switch (section) {
      case 0:
        status = ReadProbabilities();
        break;
      case 1:
        status = ReadNames();
        break;
      case 2:
        status = ReadLabels();
        break;
      case 3:
        status = ReadCenters();
        break;
      default:
        status = ReportFormatted(qelta::kErrSyntax,
                                 "ERROR: (\"%s\") : Unknown Section",
                                 name.c_str());
        break;
    }
    if (qelta::IsInputFailure(status)) break;
  }
  status = TablesStatus(CutInputStatus(status));
  DeleteLexer();
  return status;
}

int VRN_ergoSpeaker::ReadProbabilities() {
  VRN_network* network = GetNetwork();
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    int size = 0;
    int rc = ReadCount("Table size", &size);
    if (rc != kOk) return rc;
    if (size <= 0) {
      rc = ReadNoisyMax(i);
      if (rc != kOk) return rc;
      continue;
    }
    const std::string size_text = CurrentToken().text;
    std::vector<double> items;
    for (int k = 0; k < size; ++k) {
      double value = 0.0;
      rc = ReadDouble(&value);
      if (rc != kOk) return ExpectOrFail(qelta::kTokenReal, nullptr);
      items.push_back(value);
    }
    if (nodes_[i] < 0) continue;
    VRN_nodeDef* definition = network->GetNode(nodes_[i])->Definition();
    const VRN_matrix* table = definition->GetMatrixConst();
    if (table == nullptr ||
        static_cast<std::size_t>(table->GetItemCount()) != items.size()) {
      ReportFormatted(qelta::kErrOutOfRange, "ERROR:'%s' : Invalid table size",
                      size_text.c_str());
      ReportFormatted(qelta::kErrFileIo,
                      "ERROR: Node %d of the file : its table holds %d "
                      "numbers where its outcomes and parents need %d",
                      static_cast<int>(i) + 1, size,
                      table != nullptr ? table->GetItemCount() : 0);
      NoteTableNotBuilt();
      continue;
    }
    if (definition->SetDefinitionFromVector(items) != kOk) {
      ReportError(qelta::kErrOutOfRange, "ERROR: Couldn't set probabilities");
      NoteTableNotBuilt();
    }
  }
  FinishNoisyMax();
  return kOk;
}

int VRN_ergoSpeaker::ReadNoisyMax(std::size_t i) {
  VRN_network* network = GetNetwork();
  if (nodes_[i] < 0) {
    return ReportError(qelta::kErrSyntax,
                       "ERROR: Parameters of a node that could not be made");
  }
  VRN_node* node = network->GetNode(nodes_[i]);
  const int outcomes = node->Definition()->GetNumberOfOutcomes();
  // The leak list, then one list per parent outcome but the last.
  std::vector<std::vector<double>> columns;
  std::vector<int> widths;
  int lists = 1;
  for (int parent : node->Parents()) {
    widths.push_back(
        network->GetNode(parent)->Definition()->GetNumberOfOutcomes());
    lists += widths.back() - 1;
  }
  for (int list = 0; list < lists; ++list) {
    std::vector<double> cumulative;
    for (int k = 0; k < outcomes - 1; ++k) {
      double value = 0.0;
      if (ReadDouble(&value) != kOk) {
        return ExpectOrFail(qelta::kTokenReal, nullptr);
      }
      cumulative.push_back(value);
    }
    columns.push_back(qelta::ErgoNoisyMaxColumn(cumulative));
  }
  int rc = node->setNodeType(qelta::kDefNoisyMax);
  auto* definition = dynamic_cast<VRN_noisyMAX*>(node->Definition());
  if (rc != kOk || definition == nullptr) {
    ReportFormatted(rc != kOk ? rc : qelta::kErrWrongNodeType,
                    "ERROR: Node [%s] : Couldn't make a NOISY_MAX node",
                    node->GetId());
    (void)node->Definition()->MakeUniform();
    return kOk;
  }
  // Each parent's columns by outcome, its last column left as it is, and
  // the leak last.
  VRN_doubleArray items = definition->Parameters().GetItems();
  const std::size_t n = static_cast<std::size_t>(outcomes);
  auto place = [&](int column, const std::vector<double>& values) {
    for (std::size_t k = 0; k < n; ++k) {
      items[static_cast<int>(static_cast<std::size_t>(column) * n + k)] =
          values[k];
    }
  };
  place(definition->GetLeakColumn(), columns[0]);
  std::size_t next = 1;
  for (std::size_t p = 0; p < widths.size(); ++p) {
    const int offset = definition->GetParentColumnOffset(static_cast<int>(p));
    for (int j = 0; j + 1 < widths[p]; ++j) place(offset + j, columns[next++]);
  }
  rc = definition->LoadParameters(items);
  if (rc != kOk) {
    ReportFormatted(rc, "ERROR: Node [%s] : Couldn't set parameters",
                    node->GetId());
  }
  return kOk;
}

void VRN_ergoSpeaker::FinishNoisyMax() {
  VRN_network* network = GetNetwork();
  for (int handle : nodes_) {
    if (handle < 0) continue;
    VRN_node* node = network->GetNode(handle);
    auto* definition = dynamic_cast<VRN_noisyMAX*>(node->Definition());
    if (definition == nullptr) continue;
    // The file lists a CPT parent's outcomes from the weakest; the system's
    // strength order runs from the strongest.
    const VRN_doubleArray items = definition->Parameters().GetItems();
    for (int p = 0; p < node->Parents().GetSize(); ++p) {
      const VRN_node* parent = network->GetNode(node->Parents()[p]);
      if (parent->Definition()->GetType() != qelta::kDefCpt) continue;
      const int m = parent->Definition()->GetNumberOfOutcomes();
      VRN_intArray order;
      for (int k = m - 1; k >= 0; --k) order.Add(k);
      ReportError(definition->SetParentOutcomeStrengths(p, order), nullptr);
    }
    ReportError(definition->LoadParameters(items), nullptr);
  }
}

int VRN_ergoSpeaker::ReadNames() {
  VRN_network* network = GetNetwork();
  for (std::size_t at = 0; at < nodes_.size(); ++at) {
    const int handle = nodes_[at];
    int rc = PeekNext();
    if (rc == qelta::kErrNoMoreTokens || (rc == kOk && qelta::IsPunctuation(*this, "/"))) {
      NoteTableNotBuilt();
      return ReportError(qelta::kErrSyntax, "ERROR: Names missing");
    }
    if (rc != kOk) return rc;
    const std::string word = CurrentToken().text;
    ConsumeNext();
    if (handle < 0) continue;
    VRN_node* node = network->GetNode(handle);
    std::string id = word;
    (void)VRN_MakeValidId(&id[0]);
    id = qelta::ValidUtf8Text(id.c_str());
    if (id != node->GetId()) {
      // A node named later still holds the identifier the network made for
      // it: it moves aside, or a file whose names look generated would lose
      // a node.
      const int holder = network->FindNode(id.c_str());
      if (holder >= 0 &&
          std::find(nodes_.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                    nodes_.end(), holder) != nodes_.end()) {
        std::string aside = id;
        for (int n = 2; network->FindNode(aside.c_str()) >= 0 ||
                        network->Submodels()->IsIdUsed(aside.c_str());
             ++n) {
          aside = id + "_" + std::to_string(n);
        }
        (void)SetFileNodeId(holder, aside.c_str());
      }
      if (SetFileNodeId(handle, id.c_str()) != kOk) {
        ReportFormatted(qelta::kErrOutOfRange,
                        "ERROR: [%s] Duplicated Identifier", id.c_str());
      }
    }
    const std::string text = qelta::ValidUtf8Text(word.c_str());
    node->Header().SetName(text.c_str());
    node->Header().SetComment(text.c_str());
  }
  return kOk;
}

int VRN_ergoSpeaker::ReadLabels() {
  VRN_network* network = GetNetwork();
  for (int handle : nodes_) {
    if (handle < 0) continue;
    VRN_nodeDef* definition = network->GetNode(handle)->Definition();
    const int outcomes = definition->GetNumberOfOutcomes();
    VRN_stringArray labels;
    const char* const id = network->GetNode(handle)->GetId();
    int line = 0;
    for (int k = 0; k < outcomes; ++k) {
      const int rc = PeekNext();
      if (rc == qelta::kErrNoMoreTokens ||
          (rc == kOk && qelta::IsPunctuation(*this, "/"))) {
        ReportError(qelta::kErrSyntax, "ERROR: Labels missing");
        return OutcomesNotRead(id, "labels", qelta::kErrFileIo);
      }
      if (rc != kOk) return rc;
      labels.Add(CurrentToken().text);
      line = GetLineNumber();
      ConsumeNext();
    }
    // Each node's labels end a line (a long list may wrap): a word after
    // them on their last line means the line holds more or fewer labels
    // than the node has outcomes, so every later node's would shift.
    const int next = PeekBetweenStatements();
    if (outcomes > 0 && next == kOk && !qelta::IsPunctuation(*this, "/") &&
        GetLineNumber() == line) {
      ReportFormatted(qelta::kErrSyntax,
                      "ERROR: '%s' : Labels line does not hold %d labels",
                      CurrentToken().text, outcomes);
      return OutcomesNotRead(id, "labels", qelta::kErrFileIo);
    }
    if (next != kOk && next != qelta::kErrNoMoreTokens) return next;
    VRN_idArray ids;
    qelta::MakeValidUtf8Identifiers(labels, &ids);
    int renamed = ReportError(definition->RenameOutcomes(ids), nullptr);
    if (renamed == kOk && definition->GetType() == qelta::kDefNoisyMax) {
      // The file names a noisy-MAX node's outcomes from the absent one.
      VRN_idArray reversed;
      for (int k = ids.GetSize() - 1; k >= 0; --k) reversed.Add(ids.Get(k));
      renamed = ReportError(definition->RenameOutcomes(reversed), nullptr);
    }
    if (renamed != kOk) {
      (void)OutcomesNotRead(network->GetNode(handle)->GetId(), "labels", renamed);
    }
  }
  return kOk;
}

int VRN_ergoSpeaker::ReadCenters() {
  VRN_network* network = GetNetwork();
  for (int handle : nodes_) {
    int xy[2] = {0, 0};
    bool read[2] = {false, false};
    for (int k = 0; k < 2; ++k) {
      const int rc = PeekNext();
      if (rc == qelta::kErrNoMoreTokens ||
          (rc == kOk && qelta::IsPunctuation(*this, "/"))) {
        return ReportError(qelta::kErrSyntax, "ERROR: Centers missing");
      }
      if (rc != kOk) return rc;
      double value = 0.0;
      read[k] = qelta::IsNumberToken(CurrentToken()) &&
                VRN_StringToDouble(CurrentToken().text, value) == kOk &&
                qelta::TruncateToInt(value, &xy[k]);
      ConsumeNext();
    }
    if (handle < 0) continue;
    VRN_screenInfo& info = network->GetNode(handle)->ScreenInfo();
    if (read[0]) info.x = xy[0];
    if (read[1]) info.y = xy[1];
  }
  return kOk;
}

// ------------------------------------------------------------- writing

int VRN_ergoSpeaker::Write(const char* file_name) {
  VRN_network* network = GetNetwork();
  const int refused =
      qelta::RefuseUnwritable(this, *network, {"Ergo format", true, nullptr});
  if (refused != kOk) return refused;
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    const int type = network->GetNode(h)->Definition()->GetType();
    if (type != qelta::kDefCpt && type != qelta::kDefTruthTable) {
      (void)ReportError(qelta::kErrOutOfRange,
                        "ERROR: This Network cannot be saved in Ergo format");
      return qelta::ExplainKindRefusal(this, *network->GetNode(h),
                                       "Ergo files hold CPT and TRUTHTABLE nodes only");
    }
  }
  VRN_textOutput& out = Output();
  if (out.Open(file_name, VRN_textOutput::kOpenForWriting, GetErrorLog()) !=
      kOk) {
    return ReportFormatted(qelta::kErrFileWrite,
                           "ERROR: Can't write the file %s", file_name);
  }
  const VRN_intArray order = network->PartialOrder();
  std::vector<int> number(static_cast<std::size_t>(network->GetSlotCount()), 0);
  for (int i = 0; i < order.GetSize(); ++i) {
    number[static_cast<std::size_t>(order[i])] = i + 1;
  }
  std::string text = std::to_string(order.GetSize()) + "\n\n";
  out.Write(text.c_str(), kIndentMode);
  (void)out.SetLineWidth(10000);
  for (int handle : order) {
    text = std::to_string(
               network->GetNode(handle)->Definition()->GetNumberOfOutcomes()) +
           "\t";
    out.Write(text.c_str(), kIndentMode);
  }
  out.Write("\n\n", kIndentMode);
  (void)out.SetLineWidth(VRN_textOutput::kDefaultLineWidth);
  for (int handle : order) {
    const VRN_intArray& parents = network->GetNode(handle)->Parents();
    text = std::to_string(parents.GetSize());
    for (int parent : parents) {
      text += "\t" + std::to_string(number[static_cast<std::size_t>(parent)]);
    }
    text += "\n";
    out.Write(text.c_str(), kIndentMode);
  }
  out.Write("\n\n/*\tProbabilities\t*/\n", kIndentMode);
  for (int handle : order) {
    const VRN_matrix* table =
        network->GetNode(handle)->Definition()->GetMatrixConst();
    const int size = table != nullptr ? table->GetItemCount() : 0;
    text = std::to_string(size) + "\n";
    out.Write(text.c_str(), kIndentMode);
    for (int i = 0; i < size; ++i) {
      text = qelta::DoubleToFileText(table->GetItem(i)) + "\t";
      out.Write(text.c_str(), kIndentMode);
    }
    out.Write("\n\n", kIndentMode);
  }
  out.Write("\n/*\tNames\t*/\n", kIndentMode);
  for (int handle : order) {
    const char* id = network->GetNode(handle)->GetId();
    text = std::string(id != nullptr && id[0] != '\0' ? id : "_Unnamed_Node_") +
           "\t";
    out.Write(text.c_str(), kIndentMode);
  }
  out.Write("\n\n/*\tLabels\t*/\n", kIndentMode);
  for (int handle : order) {
    // Unnamed interval outcomes get names: an empty label is no label.
    VRN_stringArray ids;
    qelta::FileOutcomeIds(*network->GetNode(handle)->Definition(), &ids);
    for (int i = 0; i < ids.GetSize(); ++i) {
      text = std::string(ids.Get(i) != nullptr ? ids.Get(i) : "") + "\t";
      out.Write(text.c_str(), kIndentMode);
    }
    out.Write("\n", kIndentMode);
  }
  out.Write("\n\n/*\tCenters\t*/\n", kIndentMode);
  for (int handle : order) {
    const VRN_screenInfo& info = network->GetNode(handle)->ScreenInfo();
    text = std::to_string(info.x) + "\t" + std::to_string(info.y) + "\n";
    out.Write(text.c_str(), kIndentMode);
  }
  return CloseWrittenFile(file_name);
}
