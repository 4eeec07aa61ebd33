#include "io/text/hugin.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include "base/arrays.h"
#include "base/error_log.h"
#include "base/matrix.h"
#include "network/network.h"
#include "network/node.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "network/submodel.h"
#include "definitions/node_def.h"
#include "io/table_limit.h"

namespace qelta {

namespace {

constexpr int kIndentMode = VRN_textOutput::kModeIndent;

}  // namespace

bool IsInputFailure(int status) {
  return status == kErrNoMoreTokens || status == kErrLexical ||
         status == kErrUnexpectedEof || status == kErrFileIo;
}

bool IsPunctuation(const TextFormatBase& format, const char* text) {
  const VRN_textToken& token = format.CurrentToken();
  return token.type >= kTokenSlash && token.type <= kTokenSign &&
         token.text != nullptr && std::strcmp(token.text, text) == 0;
}

bool IsNumberToken(const VRN_textToken& token) {
  if (token.type == kTokenInteger || token.type == kTokenReal) return true;
  // "12." is a number too; a lone "." is not.
  return token.type == kTokenPoint && token.text != nullptr &&
         token.text[0] >= '0' && token.text[0] <= '9';
}

bool TruncateToInt(double value, int* out) {
  if (!std::isfinite(value)) return false;
  const double truncated = std::trunc(value);
  if (truncated < static_cast<double>(INT_MIN) ||
      truncated > static_cast<double>(INT_MAX)) {
    return false;
  }
  *out = static_cast<int>(truncated);
  return true;
}

int Require(TextFormatBase* format, int type, const char* text) {
  const int rc = format->PeekNext();
  if (rc != kOk && rc != kErrNoMoreTokens) return rc;
  return format->ExpectOrFail(type, text);
}

int EndStatement(TextFormatBase* format, int status) {
  if (IsInputFailure(status)) return status;
  if (status == kOk) {
    const int rc = format->PeekNext();
    if (rc != kOk) return rc;
    if (IsPunctuation(*format, ";")) {
      format->ConsumeNext();
      return kOk;
    }
    Require(format, kTokenPunctuator, ";");
  }
  return format->SkipStatement();
}

int SkipFailedDeclaration(TextFormatBase* format, int status, int depth) {
  if (IsInputFailure(status)) return status;
  return SkipDeclaration(format, depth);
}

int SkipDeclaration(TextFormatBase* format, int depth) {
  const bool inside = depth > 0;
  bool opened = inside;
  for (;;) {
    const int rc = format->PeekNext();
    if (rc != kOk) return rc;
    if (IsPunctuation(*format, "{")) {
      ++depth;
      opened = true;
    } else if (IsPunctuation(*format, "}")) {
      // Before any "{" a "}" closes an enclosing block, which is not ours.
      if (depth == 0) return kOk;
      format->ConsumeNext();
      if (--depth == 0) return kOk;
      continue;
    } else if (!opened && IsPunctuation(*format, ";")) {
      format->ConsumeNext();
      return kOk;
    } else if (depth == 0 && format->StopsSkip()) {
      return kErrFileIo;
    }
    format->ConsumeNext();
  }
}

int ReadNodeDeclaration(VRN_fileFormat* format, int type, std::string* id, int* handle,
                        const std::function<int(int)>& statement) {
  *handle = -1;
  int rc = Require(format, kTokenIdentifier, nullptr);
  if (rc != kOk) return SkipFailedDeclaration(format, rc, 0);
  *id = format->CurrentToken().text;
  const int made = format->AddFileNode(type, id->c_str());
  if (made < 0) {
    format->ReportFormatted(made, "ERROR: Couldn't Create Node (\"%s\")", id->c_str());
    format->NoteNodeNotCreated();
    return SkipDeclaration(format, 0);
  }
  *handle = made;
  rc = Require(format, kTokenPunctuator, "{");
  if (rc != kOk) return SkipFailedDeclaration(format, rc, 0);
  for (;;) {
    rc = format->PeekNext();
    if (rc != kOk) return rc;
    if (IsPunctuation(*format, "}")) {
      format->ConsumeNext();
      return kOk;
    }
    rc = statement(made);
    if (rc != kOk) return rc;
  }
}

int SkipThroughSemicolon(TextFormatBase* format) {
  int depth = 0;
  for (;;) {
    const int rc = format->PeekNext();
    if (rc != kOk) return rc;
    if (IsPunctuation(*format, "{")) {
      ++depth;
    } else if (IsPunctuation(*format, "}")) {
      // Consuming the "}" of the enclosing block would make its reader
      // take the statements after it for its own.
      if (depth == 0) return kOk;
      --depth;
    } else if (depth == 0 && IsPunctuation(*format, ";")) {
      format->ConsumeNext();
      return kOk;
    } else if (depth == 0 && format->StopsSkip()) {
      return kErrFileIo;
    }
    format->ConsumeNext();
  }
}

namespace {

// "(" items ")": add_item is called for every token that is not ")" and
// answers false for a token of the wrong kind.
template <typename AddItem>
int ReadBlankSeparated(TextFormatBase* format, AddItem add_item) {
  int rc = Require(format, kTokenPunctuator, "(");
  if (rc != kOk) return rc;
  for (;;) {
    rc = format->PeekNext();
    if (rc != kOk) return rc;
    if (IsPunctuation(*format, ")")) {
      format->ConsumeNext();
      return kOk;
    }
    if (!add_item(format->CurrentToken())) {
      return format->ExpectOrFail(kTokenPunctuator, ")");
    }
    format->ConsumeNext();
  }
}

}  // namespace

int ReadBlankSeparatedStrings(TextFormatBase* format, VRN_stringArray* list) {
  return ReadBlankSeparated(format, [list](const VRN_textToken& token) {
    if (token.type != kTokenString) return false;
    (void)list->Add(token.text);
    return true;
  });
}

int ReadBlankSeparatedNumbers(TextFormatBase* format,
                              VRN_doubleArray* numbers) {
  bool first = true;
  return ReadBlankSeparated(format, [&](const VRN_textToken& token) {
    // A number joined to the one before ("0.2.8") is no second item.
    double value = 0.0;
    if (!IsNumberToken(token) || FileNumber(token.text, &value) != kOk ||
        (token.joined && !first)) {
      return false;
    }
    numbers->Add(value);
    first = false;
    return true;
  });
}

}  // namespace qelta

namespace {

using qelta::IsPunctuation;
using qelta::kIndentMode;
using qelta::kOk;

constexpr const char* kNodeWords[] = {"discrete", "continuous", "node",
                                      "decision", "utility",    nullptr};

// The words that start a declaration: a skip of one the reader cannot use
// must not pass them (SkipGuard), or the node or table they give is lost.
constexpr const char* kDeclarationWords[] = {
    "net", "discrete", "continuous", "node", "decision", "utility", "potential",
    nullptr};
constexpr const char* kPotentialWords[] = {"data", nullptr};
constexpr const char* kNodeStatementWords[] = {
    "states", "net", "discrete", "continuous", "node", "decision", "utility",
    "potential", nullptr};

// Network attributes of the format's own tools, skipped without a message.
constexpr const char* kToolWords[] = {"HR_Monitor_InitSD",
                                      "HR_Monitor_InitStates",
                                      "HR_Monitor_OpenGraph",
                                      "HR_Monitor_GraphPrecision",
                                      "HR_Monitor_AutoUpdGraph",
                                      "HR_Compile_ApproxEpsilon",
                                      "HR_Compile_Approximate",
                                      "HR_Compile_Compress",
                                      "HR_Compile_TriangMethod",
                                      "HR_Propagate_AutoNormal",
                                      "HR_Propagate_AutoSum",
                                      "HR_Propagate_Auto",
                                      "HR_Font_Italic",
                                      "HR_Font_Weight",
                                      "HR_Font_Size",
                                      "HR_Font_Name",
                                      "HR_Grid_GridShow",
                                      "HR_Grid_GridSnap",
                                      "HR_Grid_Y",
                                      "HR_Grid_X",
                                      "HRUNTIME_Monitor_InitSD",
                                      "HRUNTIME_Monitor_InitStates",
                                      "HRUNTIME_Monitor_OpenGraph",
                                      "HRUNTIME_Monitor_GraphPrecision",
                                      "HRUNTIME_Monitor_AutoUpdGraph",
                                      "HRUNTIME_Compile_ApproxEpsilon",
                                      "HRUNTIME_Compile_Approximate",
                                      "HRUNTIME_Compile_Compress",
                                      "HRUNTIME_Compile_TriangMethod",
                                      "HRUNTIME_Propagate_AutoNormal",
                                      "HRUNTIME_Propagate_AutoSum",
                                      "HRUNTIME_Propagate_Auto",
                                      "HRUNTIME_Font_Italic",
                                      "HRUNTIME_Font_Weight",
                                      "HRUNTIME_Font_Size",
                                      "HRUNTIME_Font_Name",
                                      "HRUNTIME_Grid_GridShow",
                                      "HRUNTIME_Grid_GridSnap",
                                      "HRUNTIME_Grid_Y",
                                      "HRUNTIME_Grid_X",
                                      nullptr};

// The declaration word of a definition type; null for types the format
// cannot hold.
const char* KindWord(int type) {
  switch (type) {
    case qelta::kDefCpt:
    case qelta::kDefTruthTable:
    case qelta::kDefNoisyMax:
    case qelta::kDefNoisyAdder:
      return "node";
    case qelta::kDefDecision:
      return "decision";
    case qelta::kDefUtility:
      return "utility";
    default:
      return nullptr;
  }
}

int ClampToInt(std::int64_t value) {
  return static_cast<int>(
      std::min<std::int64_t>(INT_MAX, std::max<std::int64_t>(INT_MIN, value)));
}

// The value M that turns the system's vertical axis into the file's and
// back (y becomes M - y): the sum of the smallest and the largest centre y,
// which mirrors the nodes about the middle of their y range. The mirrored
// centres have the same range, so reading computes the same M from them and
// every centre reads back as written. 0 without nodes.
std::int64_t FlipValue(const VRN_network& network) {
  std::int64_t low = 0;
  std::int64_t high = 0;
  bool any = false;
  for (int h = network.GetFirstNode(); h >= 0; h = network.GetNextNode(h)) {
    const std::int64_t y = network.GetNode(h)->ScreenInfo().y;
    low = any ? std::min(low, y) : y;
    high = any ? std::max(high, y) : y;
    any = true;
  }
  return low + high;
}

// The largest amount by which a column of a table the reader normalises may
// miss 1 and still be written: other tools' six-digit numbers miss it by
// less, and scaling such a column moves no number by more than it.
constexpr double kColumnSumTolerance = 1e-4;

// The sum of the first column of table (runs of its last dimension) whose
// sum misses 1 by more than the tolerance (or is not a number); false when
// there is none.
bool ColumnOffOne(const VRN_matrix& table, double* sum) {
  const int k = table.GetDimensionCount() > 0
                    ? table.GetSize(table.GetDimensionCount() - 1)
                    : 0;
  for (int at = 0; k > 0 && at + k <= table.GetItemCount(); at += k) {
    double total = 0.0;
    for (int j = 0; j < k; ++j) total += table.GetItem(at + j);
    if (!(std::fabs(total - 1.0) <= kColumnSumTolerance)) {
      *sum = total;
      return true;
    }
  }
  return false;
}

}  // namespace

VRN_huginSpeaker::VRN_huginSpeaker(VRN_network* network)
    : VRN_fileFormat(network) {}

VRN_huginSpeaker::~VRN_huginSpeaker() = default;

// ------------------------------------------------------------- reading

int VRN_huginSpeaker::Read(const char* file_name) {
  int rc = CreateLexer(3, file_name);
  if (rc != kOk) return rc;
  SetCaseSensitive(false);
  // Without the header the file is another format's (an MSBN file named
  // ".net" would otherwise read as a few bare nodes).
  rc = PeekNext();
  if (rc != kOk && rc != qelta::kErrNoMoreTokens) {
    DeleteLexer();
    return rc;
  }
  if (rc != kOk || CurrentToken().type != qelta::kTokenIdentifier ||
      !TokenIs("net")) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Network header expected",
                    rc == kOk ? CurrentToken().text : "End of File");
    DeleteLexer();
    return qelta::kErrSyntax;
  }
  std::vector<Potential> potentials;
  bool recognised = false;
  int status = kOk;
  for (;;) {
    rc = PeekNext();
    if (rc == qelta::kErrNoMoreTokens) break;
    if (rc != kOk) {
      status = rc;
      break;
    }
    if (TokenIs("net")) {
      rc = ReadNetBlock();
    } else if (TokenIsOneOf(kNodeWords)) {
      rc = ReadNodeDeclaration();
    } else if (TokenIs("potential")) {
      rc = ReadPotential(&potentials);
    } else {
      ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown Statement",
                      CurrentToken().text);
      if (IsPunctuation(*this, "}")) {
        ConsumeNext();
        continue;
      }
      const SkipGuard skips(this, kDeclarationWords);
      rc = qelta::SkipDeclaration(this, 0);
      if (rc != kOk) {
        status = rc;
        break;
      }
      continue;
    }
    recognised = true;
    if (rc != kOk) {
      status = rc;
      break;
    }
  }
  if (status == kOk && !recognised) {
    status = ReportError(qelta::kErrSyntax,
                         "ERROR: No net block, node or potential found");
  } else if (status == qelta::kErrNoMoreTokens) {
    ReportError(status, "ERROR: Unexpected End of File");
  }
  if (status == kOk) {
    std::vector<bool> done(
        static_cast<std::size_t>(GetNetwork()->GetSlotCount()), false);
    bool built = true;
    for (const Potential& potential : potentials) {
      built = ApplyPotential(potential, &done) && built;
    }
    // What the file says could not all be built: no network is better than
    // a different one.
    if (built) {
      FinishNetwork();
    } else {
      status = qelta::kErrFileIo;
    }
  }
  status = TablesStatus(status);
  DeleteLexer();
  return status;
}

int VRN_huginSpeaker::ReadNetBlock() {
  ConsumeNext();  // "net"
  int rc = qelta::Require(this, qelta::kTokenPunctuator, "{");
  if (rc != kOk) return qelta::SkipFailedDeclaration(this, rc, 0);
  for (;;) {
    rc = PeekNext();
    if (rc != kOk) return rc;
    if (IsPunctuation(*this, "}")) {
      ConsumeNext();
      return kOk;
    }
    rc = ReadNetStatement();
    if (rc != kOk) return rc;
  }
}

int VRN_huginSpeaker::ReadNetStatement() {
  if (CurrentToken().type != qelta::kTokenIdentifier) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unexpected",
                    CurrentToken().text);
    return qelta::EndStatement(this, qelta::kErrSyntax);
  }
  if (TokenIsOneOf(kToolWords)) return SkipStatement();
  if (!TokenIs("node_size")) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown Net Statement",
                    CurrentToken().text);
    return SkipStatement();
  }
  ConsumeNext();
  int rc = qelta::Require(this, qelta::kTokenPunctuator, "=");
  VRN_doubleArray size;
  if (rc == kOk) rc = ReadDoubleList(&size);
  if (rc == kOk) {
    int width = 0;
    int height = 0;
    if (size.GetSize() >= 2 && qelta::TruncateToInt(size[0], &width) &&
        qelta::TruncateToInt(size[1], &height)) {
      VRN_screenInfo& defaults =
          GetNetwork()->Submodels()->DefaultNodeScreenInfo();
      defaults.width = width;
      defaults.height = height;
    } else {
      rc = ReportError(qelta::kErrOutOfRange, "ERROR: Wrong node size");
    }
  }
  return qelta::EndStatement(this, rc);
}

int VRN_huginSpeaker::ReadNodeDeclaration() {
  node_type_ = qelta::kDefCpt;
  int rc = kOk;
  const bool continuous = TokenIs("continuous");
  if (TokenIs("discrete") || continuous) {
    if (continuous) {
      ReportError(qelta::kErrSyntax,
                  "ERROR: : Continuous nodes not supported (yet)");
      // Read as a discrete node it would have another kind and table.
      NoteNodeNotCreated();
    }
    ConsumeNext();
    rc = PeekNext();
    if (rc != kOk) return rc;
  }
  if (TokenIs("node")) {
    node_type_ = qelta::kDefCpt;
  } else if (TokenIs("decision")) {
    node_type_ = qelta::kDefDecision;
  } else if (TokenIs("utility")) {
    node_type_ = qelta::kDefUtility;
  } else {
    ReportFormatted(qelta::kErrOutOfRange, "ERROR: '%s' : Unknown Node Type",
                    CurrentToken().text);
    NoteNodeNotCreated();  // the node it declares would be lost
    return qelta::SkipDeclaration(this, 0);
  }
  ConsumeNext();
  std::string id;
  int handle = -1;
  rc = qelta::ReadNodeDeclaration(this, node_type_, &id, &handle,
                                  [this](int h) { return ReadNodeStatement(h); });
  if (rc != kOk || handle < 0) return rc;
  if (continuous) {
    ReportFormatted(qelta::kErrFileIo,
                    "ERROR: Node (\"%s\") : a continuous node cannot be read",
                    id.c_str());
  }
  VRN_nodeHeader& header = GetNetwork()->GetNode(handle)->Header();
  if (header.GetName() == nullptr || header.GetName()[0] == '\0') {
    header.SetName(id.c_str());
  }
  return kOk;
}

int VRN_huginSpeaker::ReadNodeStatement(int handle) {
  const SkipGuard skips(this, kNodeStatementWords);
  if (CurrentToken().type != qelta::kTokenIdentifier) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unexpected",
                    CurrentToken().text);
    return qelta::EndStatement(this, qelta::kErrSyntax);
  }
  enum class Field { kOther, kLabel, kPosition, kStates };
  const Field field = TokenIs("label")      ? Field::kLabel
                      : TokenIs("position") ? Field::kPosition
                      : TokenIs("states")   ? Field::kStates
                                            : Field::kOther;
  const std::string word = CurrentToken().text;
  ConsumeNext();
  int rc = qelta::Require(this, qelta::kTokenPunctuator, "=");
  if (rc != kOk) return qelta::EndStatement(this, rc);
  VRN_node* node = GetNetwork()->GetNode(handle);
  switch (field) {
    case Field::kLabel:
      rc = qelta::Require(this, qelta::kTokenString, nullptr);
      if (rc == kOk) {
        node->Header().SetName(
            qelta::ValidUtf8Text(CurrentToken().text).c_str());
      }
      break;
    case Field::kPosition: {
      VRN_doubleArray xy;
      rc = ReadDoubleList(&xy);
      int x = 0;
      int y = 0;
      if (rc == kOk) {
        if (xy.GetSize() >= 2 && qelta::TruncateToInt(xy[0], &x) &&
            qelta::TruncateToInt(xy[1], &y)) {
          node->ScreenInfo().x = x;
          node->ScreenInfo().y = y;
        } else {
          rc = ReportError(qelta::kErrOutOfRange,
                           "ERROR: Wrong position coordinates");
        }
      }
      break;
    }
    case Field::kStates: {
      VRN_stringArray labels;
      rc = ReadIdentifierList(&labels);
      if (rc == kOk) {
        VRN_idArray ids;
        qelta::MakeValidUtf8Identifiers(labels, &ids);
        rc = node->Definition()->SetNumberOfOutcomesByIds(ids);
      }
      if (rc != kOk) rc = OutcomesNotRead(node->GetId(), "states", rc);
      break;
    }
    case Field::kOther:
      rc = PeekNext();
      if (rc != kOk) return rc;
      // Text attributes become user properties; other shapes are skipped.
      if (CurrentToken().type != qelta::kTokenString) return SkipStatement();
      (void)node->UserProperties().AddProperty(
          word.c_str(), qelta::ValidUtf8Text(CurrentToken().text).c_str());
      ConsumeNext();
      break;
  }
  return qelta::EndStatement(this, rc);
}

int VRN_huginSpeaker::ReadPotential(std::vector<Potential>* potentials) {
  Potential potential;
  potential.line = GetLineNumber();
  ConsumeNext();  // "potential"
  int rc = qelta::Require(this, qelta::kTokenPunctuator, "(");
  if (rc == kOk) rc = qelta::Require(this, qelta::kTokenIdentifier, nullptr);
  if (rc != kOk) return qelta::SkipFailedDeclaration(this, rc, 0);
  potential.child = CurrentToken().text;
  rc = PeekNext();
  if (rc != kOk) return rc;
  if (IsPunctuation(*this, "|")) {
    ConsumeNext();
  } else if (CurrentToken().type == qelta::kTokenIdentifier) {
    ReportError(qelta::kErrSyntax,
                "ERROR: Undirected arcs not (yet) supported");
    // The node's table would be lost.
    ReportFormatted(qelta::kErrFileIo,
                    "ERROR: Node (\"%s\") : its potential cannot be read",
                    potential.child.c_str());
    NoteTableNotBuilt();
    return qelta::SkipDeclaration(this, 0);
  }
  for (;;) {
    rc = PeekNext();
    if (rc != kOk) return rc;
    if (CurrentToken().type != qelta::kTokenIdentifier) break;
    potential.parents.emplace_back(CurrentToken().text);
    ConsumeNext();
  }
  rc = qelta::Require(this, qelta::kTokenPunctuator, ")");
  if (rc == kOk) rc = qelta::Require(this, qelta::kTokenPunctuator, "{");
  if (rc != kOk) return qelta::SkipFailedDeclaration(this, rc, 0);
  for (;;) {
    rc = PeekNext();
    if (rc != kOk) return rc;
    if (IsPunctuation(*this, "}")) {
      ConsumeNext();
      break;
    }
    rc = ReadPotentialStatement(&potential);
    if (rc != kOk) return rc;
  }
  if (potential.has_model && !potential.has_data) {
    // The table the model gives would read as a uniform one.
    ReportFormatted(qelta::kErrFileIo,
                    "ERROR: Node (\"%s\") : its potential gives its table by "
                    "model_nodes and model_data only, which cannot be read",
                    potential.child.c_str());
    NoteTableNotBuilt();
  }
  potentials->push_back(std::move(potential));
  return kOk;
}

int VRN_huginSpeaker::ReadPotentialStatement(Potential* potential) {
  if (CurrentToken().type != qelta::kTokenIdentifier || !TokenIs("data")) {
    if (TokenIs("model_nodes") || TokenIs("model_data")) potential->has_model = true;
    ReportFormatted(qelta::kErrSyntax,
                    "ERROR: '%s' : Unknown potential statement",
                    CurrentToken().text);
    const SkipGuard skips(this, kPotentialWords);
    return SkipStatement();
  }
  ConsumeNext();
  int rc = qelta::Require(this, qelta::kTokenPunctuator, "=");
  if (rc == kOk) {
    potential->data.clear();
    potential->has_data = false;
    rc = ReadNestedNumbers(&potential->data);
    potential->has_data = rc == kOk;
  }
  potential->data_failed = rc != kOk;
  return qelta::EndStatement(this, rc);
}

int VRN_huginSpeaker::ReadNestedNumbers(std::vector<double>* data) {
  int rc = qelta::Require(this, qelta::kTokenPunctuator, "(");
  if (rc != kOk) return rc;
  bool after_number = false;
  for (int depth = 1; depth > 0;) {
    rc = PeekNext();
    if (rc != kOk) return rc;
    double value = 0.0;
    const bool number = qelta::IsNumberToken(CurrentToken()) &&
                        qelta::FileNumber(CurrentToken().text, &value) == kOk;
    if (IsPunctuation(*this, "(")) {
      ++depth;
    } else if (IsPunctuation(*this, ")")) {
      --depth;
    } else if (number && !(after_number && CurrentToken().joined)) {
      // A number joined to the one before ("0.2.8") is no second entry.
      data->push_back(value);
    } else {
      return ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unexpected",
                             CurrentToken().text);
    }
    after_number = number;
    ConsumeNext();
  }
  return kOk;
}

void VRN_huginSpeaker::ReportAtLine(int line, int code,
                                    const std::string& message) {
  VRN_errorLog* log = GetErrorLog();
  if (log == nullptr || code == kOk) return;
  const std::string text = "(line " + std::to_string(line) + ") : " + message;
  log->LogError(code, text.c_str());
}

bool VRN_huginSpeaker::ApplyPotential(const Potential& potential,
                                      std::vector<bool>* done) {
  VRN_network* network = GetNetwork();
  const int child = network->FindNode(potential.child.c_str());
  if (child < 0) {
    ReportAtLine(potential.line, child,
                 "ERROR: Node (\"" + potential.child + "\") not found");
    return false;
  }
  // A second potential would add its parents to those of the first and
  // leave the table matching neither.
  if ((*done)[static_cast<std::size_t>(child)]) {
    ReportAtLine(
        potential.line, qelta::kErrSyntax,
        "ERROR: Node (\"" + potential.child + "\") has a potential already");
    return false;
  }
  (*done)[static_cast<std::size_t>(child)] = true;
  std::vector<int> parents;
  bool ok = true;
  for (const std::string& id : potential.parents) {
    const int parent = network->FindNode(id.c_str());
    if (parent < 0) {
      ReportAtLine(potential.line, parent,
                   "ERROR: Couldn't add arc from parent node (\"" + id + "\")");
      ok = false;
    }
    parents.push_back(parent);
  }
  if (!ok) return false;
  VRN_nodeDef* definition = network->GetNode(child)->Definition();
  const bool chance = definition->GetType() == qelta::kDefCpt;
  const std::uint64_t cells = qelta::FamilyTableCells(*network, child, parents);
  const std::uint64_t columns = qelta::ParentConfigurations(*network, parents);
  std::string problem;
  if (cells > qelta::kReadTableCellLimit) {
    problem = "its table would have more than " +
              std::to_string(qelta::kReadTableCellLimit) + " cells";
  } else if (potential.data_failed) {
    problem = "its data could not be read";
  } else if (chance && !potential.has_data && !parents.empty()) {
    problem = "no data for its table";
  } else if (potential.has_data &&
             (chance ? potential.data.size() != cells
                     : potential.data.size() < columns)) {
    problem = std::to_string(potential.data.size()) + " numbers in data, " +
              std::to_string(chance ? cells : columns) + " in its table";
  }
  if (!problem.empty()) {
    ReportAtLine(potential.line, qelta::kErrFileIo,
                 "ERROR: Node (\"" + potential.child + "\") : " + problem);
    return false;
  }
  for (std::size_t i = 0; i < parents.size(); ++i) {
    const int rc = network->AddArc(parents[i], child, 0);
    if (rc != kOk) {
      ReportAtLine(potential.line, rc,
                   "ERROR: Couldn't add arc from parent node (\"" +
                       potential.parents[i] + "\")");
      ok = false;
    }
  }
  if (!ok || !potential.has_data) return ok;
  const int rc = definition->SetDefinitionFromVector(potential.data);
  if (rc != kOk) {
    const VRN_matrix* table = definition->GetMatrixConst();
    ReportAtLine(
        potential.line, rc,
        "ERROR: Node (\"" + potential.child + "\") : " +
            std::to_string(potential.data.size()) + " numbers in data, " +
            std::to_string(table != nullptr ? table->GetItemCount() : 0) +
            " in its table");
    return false;
  }
  return true;
}

void VRN_huginSpeaker::FinishNetwork() {
  VRN_network* network = GetNetwork();
  const std::int64_t flip = FlipValue(*network);
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    VRN_node* node = network->GetNode(h);
    VRN_screenInfo& info = node->ScreenInfo();
    info.y = ClampToInt(flip - info.y);
    VRN_nodeDef* definition = node->Definition();
    VRN_matrix* table = nullptr;
    if (definition->GetType() == qelta::kDefCpt &&
        definition->GetDefinition(&table) == kOk && table != nullptr) {
      table->Normalize();
    }
  }
}

// ------------------------------------------------------------- writing

int VRN_huginSpeaker::Write(const char* file_name) {
  VRN_network* network = GetNetwork();
  const int refused = qelta::RefuseUnwritable(
      this, *network,
      {"Hugin format", true, "ERROR: This Network cannot be saved in Hugin format", false,
       false, true});
  if (refused != kOk) return refused;
  // Checked before the file is touched, so no half-written file is left.
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    const VRN_node* node = network->GetNode(h);
    const char* kind = KindWord(node->Definition()->GetType());
    if (kind == nullptr) {
      return ReportFormatted(qelta::kErrOutOfRange,
                             "ERROR: '%s' : Node type not supported by Hugin",
                             node->GetId());
    }
    // The reader scales every column of a chance node's table to sum 1.
    const VRN_matrix* table = std::strcmp(kind, "node") == 0
                                  ? node->Definition()->GetExpandedDefinition()
                                  : nullptr;
    double sum = 0.0;
    if (table != nullptr && ColumnOffOne(*table, &sum)) {
      return ReportError(
          qelta::kErrOutOfRange,
          (std::string("ERROR: Node [") + node->GetId() +
           "] cannot be saved in Hugin format: a column of its table sums to " +
           qelta::DoubleToFileText(sum) + ", which the reader would scale to 1")
              .c_str());
    }
  }
  VRN_textOutput& out = Output();
  if (out.Open(file_name, VRN_textOutput::kOpenForWriting, GetErrorLog()) !=
      kOk) {
    return qelta::kErrFileWrite;
  }
  (void)out.SetIndentWidth(4);
  const VRN_screenInfo& defaults =
      network->Submodels()->DefaultNodeScreenInfo();
  out.Write("net \n{\n", kIndentMode);
  (void)out.Indent();
  VRN_intArray size;
  size.Add(defaults.width);
  size.Add(defaults.height);
  WriteIndented("node_size = ", false);
  WriteIntList(size, 0);
  out.Write(";\n", kIndentMode);
  (void)out.Unindent();
  out.Write("}\n", kIndentMode);

  const std::int64_t flip = FlipValue(*network);
  // A copy: the order is the network's and valid until its next edit.
  const VRN_intArray order = network->PartialOrder();
  for (int handle : order) WriteNode(handle, flip);
  for (int handle : order) WritePotential(handle);
  return CloseWrittenFile(file_name);
}

void VRN_huginSpeaker::WriteNode(int handle, std::int64_t flip) {
  VRN_textOutput& out = Output();
  VRN_node* node = GetNetwork()->GetNode(handle);
  VRN_nodeDef* definition = node->Definition();
  const int type = definition->GetType();
  out.Write("\n", kIndentMode);
  const std::string head = std::string(KindWord(type)) + " " + node->GetId();
  WriteIndented(head.c_str(), false);
  out.Write("\n", kIndentMode);
  WriteIndented("{\n", false);
  (void)out.Indent();
  WriteStringField("label", node->Header().GetName(), true, true);
  VRN_intArray position;
  position.Add(node->ScreenInfo().x);
  position.Add(ClampToInt(flip - node->ScreenInfo().y));
  WriteIndented("position = ", false);
  WriteIntList(position, 0);
  out.Write(";\n", kIndentMode);
  // Unnamed interval outcomes get names the reader takes.
  VRN_stringArray outcomes;
  qelta::FileOutcomeIds(*definition, &outcomes);
  if (type != qelta::kDefUtility && definition->GetOutcomesNames() != nullptr) {
    WriteIndented("states = ", false);
    WriteIdentifierList(outcomes, 0);
    out.Write(";\n", kIndentMode);
  }
  const VRN_userProperties& properties = node->UserProperties();
  for (int i = 0; i < properties.GetSize(); ++i) {
    WriteStringField(properties.GetPropertyName(i),
                     properties.GetPropertyValue(i), true, true);
  }
  (void)out.Unindent();
  WriteIndented("}\n", false);
}

void VRN_huginSpeaker::WritePotential(int handle) {
  VRN_textOutput& out = Output();
  VRN_network* network = GetNetwork();
  VRN_node* node = network->GetNode(handle);
  out.Write("\n", kIndentMode);
  std::string head = std::string("potential (") + node->GetId() + " |";
  for (int parent : node->Parents()) {
    head += ' ';
    head += network->GetNode(parent)->GetId();
  }
  head += ')';
  WriteIndented(head.c_str(), false);
  out.Write("\n", kIndentMode);
  WriteIndented("{\n", false);
  (void)out.Indent();
  VRN_nodeDef* definition = node->Definition();
  const int type = definition->GetType();
  if (type != qelta::kDefDecision) {
    const VRN_matrix* table = definition->GetExpandedDefinition();
    if (table != nullptr && !table->IsEmpty()) {
      WriteTable(*table, type == qelta::kDefUtility);
    }
  }
  (void)out.Unindent();
  WriteIndented("}\n", false);
}

void VRN_huginSpeaker::WriteTable(const VRN_matrix& table, bool utility) {
  // A utility table's own dimension has size 1: its leaves run along the
  // last parent. Dropping that dimension leaves the item layout unchanged.
  int dimensions = table.GetDimensionCount();
  if (utility && dimensions > 1) --dimensions;
  WriteIndented("data = ", false);
  (void)Output().Indent();
  int offset = 0;
  WriteSubTable(table, 0, dimensions - 1, &offset);
  Output().Write(";\n", kIndentMode);
  (void)Output().Unindent();
}

void VRN_huginSpeaker::WriteSubTable(const VRN_matrix& table, int dimension,
                                     int leaf, int* offset) {
  VRN_textOutput& out = Output();
  if (dimension == leaf) {
    VRN_doubleArray row;
    const int size = table.GetSize(leaf);
    for (int i = 0; i < size; ++i) row.Add(table.GetItem(*offset + i));
    *offset += size;
    WriteDoubleList(row, 0);
    return;
  }
  out.Write("(", kIndentMode);
  for (int i = 0; i < table.GetSize(dimension); ++i) {
    if (i > 0) {
      out.Write("\n", kIndentMode);
      out.WriteIndent();
    }
    WriteSubTable(table, dimension + 1, leaf, offset);
  }
  out.Write(")", kIndentMode);
}

// ----------------------------------------------------- list and field syntax

int VRN_huginSpeaker::SkipStatement() {
  return qelta::SkipThroughSemicolon(this);
}

int VRN_huginSpeaker::ReadIdentifierList(VRN_stringArray* list) {
  return qelta::ReadBlankSeparatedStrings(this, list);
}

int VRN_huginSpeaker::ReadDoubleList(VRN_doubleArray* list) {
  return qelta::ReadBlankSeparatedNumbers(this, list);
}

int VRN_huginSpeaker::WriteIdentifierList(const VRN_stringArray& list,
                                          int flag) {
  return WriteQuotedList(list, " ");
}

int VRN_huginSpeaker::WriteDoubleList(const VRN_doubleArray& list, int flag) {
  return WriteNumberList(list, " ");
}

int VRN_huginSpeaker::WriteIntList(const VRN_intArray& list, int flag) {
  return WriteWholeNumberList(list, " ");
}

int VRN_huginSpeaker::WriteStringField(const char* name, const char* value,
                                       bool quoted, bool escape) {
  return WriteFieldLine(name, " = ", value, quoted, escape, false);
}

int VRN_huginSpeaker::WriteBlockStart(const char* name) {
  return WriteBlockOpening(name, false);
}
