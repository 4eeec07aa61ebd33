#include "io/text/netica.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/error_log.h"
#include "base/matrix.h"
#include "base/special_values.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/truth_table.h"
#include "equations/equation.h"
#include "equations/expression_visitor.h"
#include "equations/ext_functions.h"
#include "io/table_limit.h"
#include "io/text/hugin.h"
#include "io/text/netica_expression.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

namespace {

using qelta::kOk;

constexpr int kIndentMode = VRN_textOutput::kModeIndent;

constexpr const char* kSkippedNetWords[] = {
    "numdimensions", "eqncontext", "whochanged", "locked", "autoupdate",
    "elimorder",     "ElimOrder",  "AutoCompile", nullptr};

constexpr const char* kVisualNetWords[] = {
    "dispname",       "dispform",         "defdispform",
    "nodelabeling",   "nodefont",         "hidden",
    "linkfont",       "commentfont",      "linkjoin",
    "showstrength",   "nodecolors",       "linkcolors",
    "backcolor",      "commentcolor",     "pagebreakcolor",
    "groupingcolor",  "commentinfos",     "parts",
    "windowposn",     "scrollposn",       "resolution",
    "magnification",  "drawingbounds",    "showpagebreaks",
    "usegrid",        "gridspace",        "user",
    "nodebordercolor", "NodeSet",         "PrinterSetting",
    "CommentShowing", "NodeMaxNumEntries", "ShowLinkStrengths",
    "CommentWindowPosn", nullptr};

constexpr const char* kParamWords[] = {"discrete", "measure", "numstates",
                                       "states",   "levels",  "units",
                                       nullptr};

constexpr const char* kSkippedNodeWords[] = {
    "measure",  "units",   "inputs",     "numcases",    "fading",
    "delays",   "persist", "position",   "evidcost",    "author",
    "whochanged", "whenchanged", "locked", "value",     "evidence",
    "belief",   "children", nullptr};

// The words a skip of a statement the reader cannot use must not pass, by
// level: each starts a statement that gives a node or part of one.
constexpr const char* kNetGuard[] = {"node", nullptr};
constexpr const char* kNodeGuard[] = {
    "node",     "kind",   "discrete", "chance", "numstates", "equation",
    "parents",  "states", "levels",   "probs",  "functable", nullptr};

constexpr const char* kSkippedVisualNodeWords[] = {
    "dispform", "hidden", "height", "links", "user", "parts", "font", nullptr};

constexpr const char* kVisualLinkWords[] = {"path", "labelposn", "linewidth",
                                            "user", nullptr};

int TypeOf(const VRN_neticaNodeRecord& record) {
  if (!record.equation.empty()) return qelta::kDefEquation;
  if (record.kind == "DECISION") return qelta::kDefDecision;
  if (record.kind == "UTILITY") return qelta::kDefUtility;
  if (record.chance == "DETERMIN") return qelta::kDefTruthTable;
  return qelta::kDefCpt;
}

const char* TypeName(int type) {
  switch (type) {
    case qelta::kDefEquation:
      return "EQUATION";
    case qelta::kDefUtility:
      return "TABLE";
    case qelta::kDefDecision:
      return "LIST";
    case qelta::kDefCpt:
      return "CPT";
    case qelta::kDefTruthTable:
      return "TRUTHTABLE";
    default:
      return "UNKNOWN";
  }
}

VRN_stringArray ToStringArray(const std::vector<std::string>& items) {
  VRN_stringArray out;
  for (const std::string& item : items) out.Add(item.c_str());
  return out;
}

// Whether the definition writes a table of probabilities over its outcomes.
bool IsChanceTable(int type) {
  return type == qelta::kDefCpt || type == qelta::kDefCast ||
         type == qelta::kDefDemorgan || type == qelta::kDefNoisyMax ||
         type == qelta::kDefNoisyAdder;
}

// The right-hand side of the node's equation as Netica wants it, "id = f(..)":
// the equation's right side when its left side is the node's variable,
// else the equation solved for the node. False when it cannot be solved.
bool NeticaRightSide(VRN_equation* equation, const char* id,
                     std::string* text) {
  const VRN_parsedEquation& parsed = equation->GetEquation();
  const auto* left = dynamic_cast<const VRN_variable*>(parsed.left);
  if (left != nullptr && left->GetSign() == 1 && id != nullptr &&
      left->GetName() == id && parsed.right != nullptr) {
    parsed.right->Write(*text);
    return true;
  }
  const VRN_expression* solved = equation->GetSolvedExpression();
  if (solved == nullptr) return false;
  solved->Write(*text);
  return true;
}

// The name of the first user-defined function the equation calls; empty
// when it calls none.
class UserFunctionFinder : public VRN_constFunctionVisitor {
 public:
  void VisitExtFunction(const VRN_extFunction* node) override {
    if (name.empty()) name = node->GetName();
  }
  std::string name;
};

// Whether every level the node would write (interval bounds, point
// values, an equation's interval edges) is a finite number.
bool FiniteLevels(VRN_network& network, int handle) {
  VRN_nodeDef* definition = network.GetNode(handle)->Definition();
  std::vector<double> levels;
  if (const auto* discrete = dynamic_cast<const VRN_discDef*>(definition)) {
    if (discrete->HasIntervals()) {
      (void)discrete->GetIntervals(&levels);
    } else if (discrete->HasPointValues()) {
      (void)discrete->GetPointValues(&levels);
    }
  } else if (const auto* equation =
                 dynamic_cast<const VRN_equation*>(definition)) {
    if (equation->HasDiscIntervals()) equation->GetIntervalEdges(&levels);
  }
  for (double level : levels) {
    if (!std::isfinite(level)) return false;
  }
  return true;
}

std::string CalledUserFunction(const VRN_equation& equation) {
  UserFunctionFinder finder;
  const VRN_parsedEquation& parsed = equation.GetEquation();
  if (parsed.left != nullptr) parsed.left->TraverseConst(finder);
  if (parsed.right != nullptr) parsed.right->TraverseConst(finder);
  return finder.name;
}

}  // namespace

VRN_neticaSpeaker::VRN_neticaSpeaker(VRN_network* network)
    : VRN_fileFormat(network) {}

VRN_neticaSpeaker::~VRN_neticaSpeaker() = default;

// ------------------------------------------------------------- reading

int VRN_neticaSpeaker::Read(const char* file_name) {
  int rc = CreateLexer(1, file_name);
  if (rc != kOk) return rc;
  SetCaseSensitive(false);
  records_.clear();
  // A file with no token at all is not a cut one.
  rc = PeekBetweenStatements();
  if (rc == kOk && CurrentToken().type == qelta::kTokenIdentifier &&
      TokenIs("bnet")) {
    ConsumeNext();
    rc = qelta::Require(this, qelta::kTokenIdentifier, nullptr);
  } else if (rc == kOk || rc == qelta::kErrNoMoreTokens) {
    rc = ExpectOrFail(qelta::kTokenIdentifier, "bnet");
  }
  if (rc != kOk) {
    rc = CutInputStatus(rc);
    DeleteLexer();
    return rc;
  }
  VRN_header* header = GetNetwork()->Header();
  if (header->SetId(CurrentToken().text) != kOk) {
    rc = header->SetId("_Unnamed_Network_");
    if (rc != kOk) {
      DeleteLexer();
      return rc;
    }
  }
  rc = qelta::Require(this, qelta::kTokenPunctuator, "{");
  if (rc != kOk) {
    rc = CutInputStatus(rc);
    DeleteLexer();
    return rc;
  }
  OpenNetworkBlock();
  rc = ReadBlockBody([this]() { return ReadNetStatement(); }, true);
  // A file cut before its network block closes, or a character or string
  // the lexer cannot read, leaves the rest of the file unknown.
  if (EndedInsideStatement() != kOk) rc = ReportCutInput();
  if (rc != kOk) {
    DeleteLexer();
    records_.clear();
    return rc;
  }
  BuildNetwork();
  DeleteLexer();
  records_.clear();
  return TablesStatus(kOk);
}

template <typename ReadOne>
int VRN_neticaSpeaker::ReadBlockBody(ReadOne read, bool network) {
  {
    const NestedBlock nested(this, !network);
    for (;;) {
      const int rc = PeekBetweenStatements();
      if (rc == qelta::kErrNoMoreTokens) {
        ReportError(qelta::kErrSyntax, "ERROR: End of File : Expecting '}'");
        return rc;
      }
      if (rc != kOk) return rc;
      if (qelta::IsPunctuation(*this, "}")) {
        ConsumeNext();
        break;
      }
      if (qelta::IsPunctuation(*this, ";")) {
        ConsumeNext();
        continue;
      }
      const int statement_rc = read();
      if (statement_rc != kOk) return statement_rc;
    }
  }
  if (network) CloseNetworkBlock();
  const int rc = PeekBetweenStatements();
  if (rc == kOk && qelta::IsPunctuation(*this, ";")) ConsumeNext();
  return rc == kOk || rc == qelta::kErrNoMoreTokens ? kOk : rc;
}

int VRN_neticaSpeaker::ReadBlockHead(std::string* name) {
  int rc = PeekNext();
  if (rc != kOk && rc != qelta::kErrNoMoreTokens) return rc;
  if (rc == kOk && CurrentToken().type == qelta::kTokenInteger) {
    *name = CurrentToken().text;
    ConsumeNext();
  } else {
    rc = qelta::Require(this, qelta::kTokenIdentifier, nullptr);
    if (rc != kOk) return rc;
    *name = CurrentToken().text;
  }
  return qelta::Require(this, qelta::kTokenPunctuator, "{");
}

int VRN_neticaSpeaker::ReadNetStatement() {
  const SkipGuard skips(this, kNetGuard);
  if (CurrentToken().type != qelta::kTokenIdentifier) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown Net Statement",
                    CurrentToken().text);
    return SkipStatement();
  }
  if (TokenIs("node")) return ReadNodeBlock();
  if (TokenIs("visual")) return ReadVisualNetBlock();
  if (TokenIs("param")) {
    return ReadSkippedBlock(kParamWords,
                            "ERROR: '%s' : Unknown Param Statement");
  }
  if (TokenIsOneOf(kSkippedNetWords)) return SkipStatement();
  const bool title = TokenIs("title");
  const bool comment = TokenIs("comment");
  const bool author = TokenIs("author");
  const bool changed = TokenIs("whenchanged");
  if (!title && !comment && !author && !changed) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown Net Statement",
                    CurrentToken().text);
    return SkipStatement();
  }
  ConsumeNext();
  int rc = qelta::Require(this, qelta::kTokenPunctuator, "=");
  if (rc == kOk) {
    rc = qelta::Require(
        this, changed ? qelta::kTokenInteger : qelta::kTokenString, nullptr);
  }
  if (rc == kOk && (title || comment)) {
    const std::string text = qelta::ValidUtf8Text(CurrentToken().text);
    VRN_header* header = GetNetwork()->Header();
    rc = title ? header->SetName(text.c_str())
               : header->SetComment(text.c_str());
    ReportError(rc, nullptr);
  }
  return qelta::EndStatement(this, rc);
}

int VRN_neticaSpeaker::ReadVisualNetBlock() {
  ConsumeNext();  // "visual"
  std::string name;
  int rc = ReadBlockHead(&name);
  if (rc != kOk) return qelta::SkipFailedDeclaration(this, rc, 0);
  VRN_submodel* main =
      GetNetwork()->Submodels()->GetSubmodel(qelta::kMainSubmodel);
  return ReadBlockBody([this, main]() {
    if (CurrentToken().type != qelta::kTokenIdentifier ||
        !TokenIsOneOf(kVisualNetWords)) {
      ReportFormatted(qelta::kErrSyntax,
                      "ERROR: '%s' : Unknown Visual Net Statement",
                      CurrentToken().text);
      return SkipStatement();
    }
    const bool back = TokenIs("backcolor");
    const bool border = TokenIs("nodebordercolor");
    const bool window = TokenIs("windowposn");
    if ((!back && !border && !window) || main == nullptr) {
      return SkipStatement();
    }
    ConsumeNext();
    int status = qelta::Require(this, qelta::kTokenPunctuator, "=");
    if (status == kOk && window) {
      std::vector<int> rect;
      status = ReadIntegers(&rect);
      if (status == kOk && rect.size() < 4) {
        status = ReportError(qelta::kErrOutOfRange,
                             "ERROR: Wrong Window Position");
      } else if (status == kOk) {
        for (int i = 0; i < 4; ++i) main->Window()[i] = rect[i];
      }
    } else if (status == kOk) {
      int color = 0;
      status = ReadInt(&color);
      if (status == kOk) {
        if (back) {
          main->SetColor(color);
        } else {
          main->ScreenInfo().outline_color = color;
        }
      } else if (!qelta::IsInputFailure(status)) {
        ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Integer expected",
                        CurrentToken().text);
      }
    }
    return qelta::EndStatement(this, status);
  });
}

int VRN_neticaSpeaker::ReadSkippedBlock(const char* const* words,
                                        const char* unknown) {
  ConsumeNext();  // the block's keyword
  std::string name;
  int rc = ReadBlockHead(&name);
  if (rc != kOk) return qelta::SkipFailedDeclaration(this, rc, 0);
  return ReadBlockBody([this, words, unknown]() {
    if (CurrentToken().type != qelta::kTokenIdentifier ||
        !TokenIsOneOf(words)) {
      ReportFormatted(qelta::kErrSyntax, unknown, CurrentToken().text);
    }
    return SkipStatement();
  });
}

int VRN_neticaSpeaker::ReadNodeBlock() {
  auto record = std::make_unique<VRN_neticaNodeRecord>();
  record->line = GetLineNumber();
  ConsumeNext();  // "node"
  int rc = ReadBlockHead(&record->id);
  if (rc != kOk) return qelta::SkipFailedDeclaration(this, rc, 0);
  VRN_neticaNodeRecord* current = record.get();
  records_.push_back(std::move(record));
  return ReadBlockBody([this, current]() { return ReadNodeStatement(current); });
}

int VRN_neticaSpeaker::ReadNodeStatement(VRN_neticaNodeRecord* record) {
  const SkipGuard skips(this, kNodeGuard);
  if (CurrentToken().type != qelta::kTokenIdentifier) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown Node Statement",
                    CurrentToken().text);
    return SkipStatement();
  }
  if (TokenIs("user")) return ReadUserBlock(record);
  if (TokenIs("visual")) return ReadVisualNodeBlock(record);
  if (TokenIsOneOf(kSkippedNodeWords)) return SkipStatement();
  enum class Field {
    kKind, kDiscrete, kChance, kTitle, kComment, kNumStates, kEquation,
    kParents, kStates, kLevels, kProbs, kFuncTable, kOther
  };
  static constexpr const char* kWords[] = {
      "kind",    "discrete", "chance", "title", "comment", "numstates",
      "equation", "parents", "states", "levels", "probs",  "functable"};
  Field field = Field::kOther;
  for (int i = 0; i < static_cast<int>(std::size(kWords)); ++i) {
    if (TokenIs(kWords[i])) field = static_cast<Field>(i);
  }
  if (field == Field::kOther) {
    ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown Node Statement",
                    CurrentToken().text);
    return SkipStatement();
  }
  ConsumeNext();
  int rc = qelta::Require(this, qelta::kTokenPunctuator, "=");
  if (rc != kOk) return qelta::EndStatement(this, rc);
  switch (field) {
    case Field::kKind:
    case Field::kChance:
      rc = qelta::Require(this, qelta::kTokenIdentifier, nullptr);
      if (rc == kOk) {
        (field == Field::kKind ? record->kind : record->chance) =
            CurrentToken().text;
      }
      break;
    case Field::kDiscrete:
      rc = qelta::Require(this, qelta::kTokenIdentifier, nullptr);
      if (rc == kOk) {
        if (TokenIs("TRUE") || TokenIs("FALSE")) {
          record->discrete = TokenIs("TRUE") ? 1 : 0;
        } else {
          rc = ReportFormatted(qelta::kErrSyntax,
                               "ERROR: (\"%s\") : int Expected",
                               CurrentToken().text);
        }
      }
      break;
    case Field::kTitle:
    case Field::kComment:
    case Field::kEquation:
      rc = qelta::Require(this, qelta::kTokenString, nullptr);
      if (rc == kOk) {
        const std::string text = qelta::ValidUtf8Text(CurrentToken().text);
        if (field == Field::kTitle) {
          record->title = text;
          record->has_title = true;
        } else if (field == Field::kComment) {
          record->comment = text;
          record->has_comment = true;
        } else {
          record->equation = text;
        }
      }
      break;
    case Field::kNumStates:
      rc = ReadInt(&record->numstates);
      if (rc == qelta::kErrSyntax) {
        ReportFormatted(rc, "ERROR: '%s' : Integer expected",
                        CurrentToken().text);
      }
      break;
    case Field::kParents:
    case Field::kStates: {
      VRN_stringArray list;
      rc = ReadIdentifierList(&list);
      // "()" names no outcome, where the node would take the defaults.
      if (rc == kOk && field == Field::kStates && list.GetSize() == 0) {
        rc = qelta::kErrSyntax;
      }
      if (rc == kOk) {
        std::vector<std::string>& out =
            field == Field::kParents ? record->parents : record->states;
        out.clear();
        for (int i = 0; i < list.GetSize(); ++i) out.emplace_back(list.Get(i));
      } else if (field == Field::kStates && !qelta::IsInputFailure(rc)) {
        rc = OutcomesNotRead(record->id.c_str(), "states", rc);
      }
      break;
    }
    case Field::kLevels:
      record->levels.clear();
      rc = ReadTable(0, Leaves::kNumbers, &record->levels, nullptr);
      if (rc != kOk) record->levels.clear();
      break;
    case Field::kProbs:
    case Field::kFuncTable: {
      record->probs.clear();
      record->functable.clear();
      int depth = static_cast<int>(record->parents.size());
      if (field == Field::kFuncTable) depth = depth > 0 ? depth - 1 : 0;
      rc = ReadTable(depth,
                     field == Field::kProbs ? Leaves::kNumbers : Leaves::kAny,
                     &record->probs, &record->functable);
      if (rc != kOk) {
        record->probs.clear();
        record->functable.clear();
        record->table_failed = !qelta::IsInputFailure(rc);
      } else {
        record->table_failed = false;
      }
      break;
    }
    case Field::kOther:
      break;
  }
  return qelta::EndStatement(this, rc);
}

int VRN_neticaSpeaker::ReadUserBlock(VRN_neticaNodeRecord* record) {
  ConsumeNext();  // "user"
  std::string name;
  int rc = ReadBlockHead(&name);
  if (rc != kOk) return qelta::SkipFailedDeclaration(this, rc, 0);
  return ReadBlockBody([this, record]() {
    int status = qelta::Require(this, qelta::kTokenIdentifier, nullptr);
    if (status != kOk) return qelta::EndStatement(this, status);
    const std::string key = CurrentToken().text;
    status = qelta::Require(this, qelta::kTokenPunctuator, "=");
    if (status == kOk) status = qelta::Require(this, qelta::kTokenString, nullptr);
    if (status == kOk &&
        record->user_properties.AddProperty(
            key.c_str(), qelta::ValidUtf8Text(CurrentToken().text).c_str()) !=
            kOk) {
      status = ReportFormatted(qelta::kErrOutOfRange,
                               "ERROR: '%s' : Invalid property name",
                               key.c_str());
    }
    return qelta::EndStatement(this, status);
  });
}

int VRN_neticaSpeaker::ReadVisualNodeBlock(VRN_neticaNodeRecord* record) {
  ConsumeNext();  // "visual"
  std::string name;
  int rc = ReadBlockHead(&name);
  if (rc != kOk) return qelta::SkipFailedDeclaration(this, rc, 0);
  return ReadBlockBody([this, record]() {
    if (CurrentToken().type == qelta::kTokenIdentifier) {
      if (TokenIs("link")) {
        return ReadSkippedBlock(
            kVisualLinkWords, "ERROR: '%s' : Unknown Visual Link Statement");
      }
      if (TokenIsOneOf(kSkippedVisualNodeWords)) return SkipStatement();
      const bool center = TokenIs("center");
      if (center || TokenIs("size")) {
        ConsumeNext();
        int status = qelta::Require(this, qelta::kTokenPunctuator, "=");
        std::vector<int> values;
        if (status == kOk) status = ReadIntegers(&values);
        if (status == kOk && values.size() < 2) {
          status = ReportError(qelta::kErrOutOfRange,
                               center ? "ERROR: Invalid node center"
                                      : "ERROR: Invalid node size");
        } else if (status == kOk) {
          (center ? record->center : record->size) = values;
        }
        return qelta::EndStatement(this, status);
      }
    }
    ReportFormatted(qelta::kErrSyntax,
                    "ERROR: '%s' : Unknown Visual Node Statement",
                    CurrentToken().text);
    return SkipStatement();
  });
}

int VRN_neticaSpeaker::ReadIntegers(std::vector<int>* values) {
  VRN_doubleArray numbers;
  int rc = ReadDoubleList(&numbers);
  if (rc != kOk) return rc;
  std::vector<int> out;
  for (int i = 0; i < numbers.GetSize(); ++i) {
    int value = 0;
    if (!qelta::TruncateToInt(numbers[i], &value)) {
      return ReportError(qelta::kErrOutOfRange, "ERROR: Integer out of range");
    }
    out.push_back(value);
  }
  *values = std::move(out);
  return kOk;
}

int VRN_neticaSpeaker::ReadLeaf(Leaves leaves, std::vector<double>* numbers,
                                std::vector<std::string>* ids) {
  int rc = PeekNext();
  if (rc != kOk) return rc;
  const VRN_textToken& token = CurrentToken();
  double value = 0.0;
  if (qelta::IsNumberToken(token) &&
      qelta::FileNumber(token.text, &value) == kOk) {
    numbers->push_back(value);
    ConsumeNext();
    return kOk;
  }
  if (qelta::IsPunctuation(*this, "@")) {
    ConsumeNext();
    rc = PeekNext();
    if (rc != kOk) return rc;
    if (CurrentToken().type == qelta::kTokenIdentifier &&
        (TokenIs("imposs") || TokenIs("undef"))) {
      ConsumeNext();
      numbers->push_back(0.0);
      return kOk;
    }
    // Reported as an unknown word, but only this statement is lost.
    ReportFormatted(qelta::kErrLexical, "ERROR: '@%s' : Unknown value",
                    CurrentToken().text);
    return qelta::kErrSyntax;
  }
  if (leaves == Leaves::kAny && token.type == qelta::kTokenIdentifier &&
      ids != nullptr) {
    ids->emplace_back(token.text);
    ConsumeNext();
    return kOk;
  }
  return ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Number expected",
                         token.text);
}

int VRN_neticaSpeaker::ReadTable(int depth, Leaves leaves,
                                 std::vector<double>* numbers,
                                 std::vector<std::string>* ids) {
  // Iterative, so that a table nested as deep as the file likes cannot
  // exhaust the stack. level: lists open; a list at level <= depth holds
  // lists, one at level depth + 1 holds leaves.
  int rc = qelta::Require(this, qelta::kTokenPunctuator, "(");
  if (rc != kOk) return rc;
  int level = 1;
  bool flat = false;
  bool after_open = true;
  for (;;) {
    rc = PeekNext();
    if (rc != kOk) return rc;
    const bool lists = !flat && level <= depth;
    if (after_open && level == 1 && lists &&
        !qelta::IsPunctuation(*this, "(")) {
      flat = true;  // the whole table as one list
      continue;
    }
    if (after_open) {
      if (qelta::IsPunctuation(*this, ")") && (level > 1 || !lists)) {
        // An empty list or sub-table.
        ConsumeNext();
        after_open = false;
        if (--level == 0) return kOk;
        continue;
      }
      if (lists) {
        rc = qelta::Require(this, qelta::kTokenPunctuator, "(");
        if (rc != kOk) return rc;
        ++level;
        continue;
      }
      rc = ReadLeaf(leaves, numbers, ids);
      if (rc != kOk) return rc;
      after_open = false;
      continue;
    }
    if (qelta::IsPunctuation(*this, ",")) {
      ConsumeNext();
      after_open = true;
      // The item after a comma: a list (entered above) or a leaf.
      rc = PeekNext();
      if (rc != kOk) return rc;
      if (lists) {
        rc = qelta::Require(this, qelta::kTokenPunctuator, "(");
        if (rc != kOk) return rc;
        ++level;
        continue;
      }
      rc = ReadLeaf(leaves, numbers, ids);
      if (rc != kOk) return rc;
      after_open = false;
      continue;
    }
    rc = qelta::Require(this, qelta::kTokenPunctuator, ")");
    if (rc != kOk) return rc;
    if (--level == 0) return kOk;
  }
}

// ------------------------------------------------------------- building

void VRN_neticaSpeaker::ReportAtLine(int line, int code,
                                     const std::string& message) {
  VRN_errorLog* log = GetErrorLog();
  if (log == nullptr || code == kOk) return;
  const std::string text = "(line " + std::to_string(line) + ") : " + message;
  log->LogError(code, text.c_str());
}

void VRN_neticaSpeaker::BuildNetwork() {
  VRN_network* network = GetNetwork();
  const std::size_t count = records_.size();
  std::vector<int> handles(count, -1);
  std::vector<bool> failed(count, false);
  std::vector<bool> left_out(count, false);
  std::unordered_map<std::string, std::size_t> index;
  std::vector<std::string> equations(count);

  // Nodes first, in file order, with their outcomes: a child's table is
  // sized by its parents' outcomes once its arcs exist.
  for (std::size_t i = 0; i < count; ++i) {
    const VRN_neticaNodeRecord& record = *records_[i];
    const int type = TypeOf(record);
    if (!VRN_nodeDef::IsValidType(type)) {
      ReportAtLine(record.line, qelta::kErrWrongNodeType,
                   "ERROR: Node [" + record.id + "] : " + TypeName(type) +
                       " nodes are not available in this build");
      // The network would lack the node: the read fails.
      NoteNodeNotCreated();
      left_out[i] = true;
      index.emplace(record.id, i);
      continue;
    }
    const int handle = AddFileNode(type, record.id.c_str());
    if (handle < 0) {
      ReportAtLine(record.line, handle,
                   "Can't create node [" + record.id + "]");
      NoteNodeNotCreated();
      failed[i] = true;
      continue;
    }
    handles[i] = handle;
    index.emplace(record.id, i);
    if (type != qelta::kDefEquation) {
      BuildOutcomes(handle, record);
      continue;
    }
    std::string error;
    const int rc =
        qelta::NeticaNodeEquation(record.id, record.equation, &equations[i],
                                  &error);
    if (rc != kOk) {
      ReportAtLine(record.line, rc,
                   "ERROR: Node [" + record.id + "] : " + error);
      NoteNodeNotCreated();  // an equation that cannot be taken loses its node
      failed[i] = true;
      continue;
    }
    BuildEquationIntervals(handle, record);
  }

  for (std::size_t i = 0; i < count; ++i) {
    if (handles[i] < 0 || failed[i]) continue;
    const VRN_neticaNodeRecord& record = *records_[i];
    std::vector<int> parents;
    for (const std::string& id : record.parents) {
      const auto found = index.find(id);
      if (found != index.end() && left_out[found->second]) continue;
      const int parent = found == index.end() ? -1 : handles[found->second];
      if (parent < 0) {
        // Without the arc the node's table would not be the file's.
        ReportAtLine(record.line, qelta::kErrFileIo,
                     "ERROR: Node [" + record.id + "] : its parent [" + id +
                         (found == index.end() ? "] is not a node of the file"
                                               : "] could not be made"));
        NoteNodeNotCreated();
        failed[i] = true;
        break;
      }
      parents.push_back(parent);
    }
    if (failed[i]) continue;
    // An equation node's table is made later, when discretized; asking
    // its parents' counts here would give them intervals the file lacks.
    if (VRN_GetEquation(network, handles[i]) == nullptr &&
        qelta::FamilyTableCells(*network, handles[i], parents) >
        qelta::kReadTableCellLimit) {
      ReportAtLine(record.line, qelta::kErrOutOfMemory,
                   "ERROR: Node [" + record.id +
                       "] : its table would have more than " +
                       std::to_string(qelta::kReadTableCellLimit) + " cells");
      NoteTableNotBuilt();
      failed[i] = true;
      continue;
    }
    if (!equations[i].empty()) {
      // The equation names the parents: setting it links them.
      std::string error;
      const int rc = VRN_GetEquation(network, handles[i])
                         ->SetEquation(equations[i].c_str(), nullptr, &error);
      if (rc != kOk) {
        ReportAtLine(record.line, rc,
                     "ERROR: Node [" + record.id + "] : " + error);
        NoteNodeNotCreated();
        failed[i] = true;
      }
      continue;
    }
    for (std::size_t p = 0; p < parents.size(); ++p) {
      const int rc = network->AddArc(parents[p], handles[i], 0);
      if (rc != kOk) {
        // A path or an arc from the node, or the node itself, makes the
        // parent its descendant; else the parent is listed twice, or the
        // kinds refuse the arc.
        const bool cycle =
            rc == qelta::kErrCycle || parents[p] == handles[i] ||
            network->GetNode(handles[i])->Children().Contains(parents[p]);
        ReportAtLine(record.line, qelta::kErrFileIo,
                     "ERROR: Node [" + record.id + "] : its arc from [" +
                         network->GetNode(parents[p])->GetId() +
                         (cycle ? "] would close a cycle"
                                : "] cannot be added"));
        NoteNodeNotCreated();
        failed[i] = true;
        break;
      }
    }
  }

  // A node whose parent failed fails too: without that arc its table would
  // not be the file's. A work list keeps this linear in the arcs.
  std::vector<std::vector<std::size_t>> children(count);
  std::unordered_map<int, std::size_t> by_handle;
  for (std::size_t i = 0; i < count; ++i) {
    if (handles[i] >= 0) by_handle.emplace(handles[i], i);
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (handles[i] < 0) continue;
    for (const std::string& id : records_[i]->parents) {
      const auto found = index.find(id);
      if (found != index.end()) children[found->second].push_back(i);
    }
    // An equation may name nodes its parents list leaves out.
    if (equations[i].empty() || failed[i]) continue;
    for (int parent : network->GetNode(handles[i])->Parents()) {
      const auto found = by_handle.find(parent);
      if (found != by_handle.end()) children[found->second].push_back(i);
    }
  }
  std::vector<std::size_t> pending;
  for (std::size_t i = 0; i < count; ++i) {
    if (failed[i]) pending.push_back(i);
  }
  while (!pending.empty()) {
    const std::size_t parent = pending.back();
    pending.pop_back();
    for (std::size_t child : children[parent]) {
      if (failed[child]) continue;
      ReportAtLine(records_[child]->line, qelta::kErrFileIo,
                   "ERROR: Node [" + records_[child]->id + "] : its parent [" +
                       records_[parent]->id + "] cannot be read");
      failed[child] = true;
      pending.push_back(child);
    }
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (handles[i] >= 0 && failed[i]) (void)network->DeleteNode(handles[i]);
  }

  for (std::size_t i = 0; i < count; ++i) {
    if (handles[i] < 0 || failed[i]) continue;
    const VRN_neticaNodeRecord& record = *records_[i];
    VRN_node* node = network->GetNode(handles[i]);
    if (record.has_title) node->Header().SetName(record.title.c_str());
    if (record.has_comment) node->Header().SetComment(record.comment.c_str());
    if (record.center.size() == 2) {
      node->ScreenInfo().x = record.center[0];
      node->ScreenInfo().y = record.center[1];
    }
    if (record.size.size() == 2) {
      node->ScreenInfo().width = record.size[0];
      node->ScreenInfo().height = record.size[1];
    }
    node->UserProperties() = record.user_properties;
    BuildDefinition(handles[i], record);
  }
}

void VRN_neticaSpeaker::BuildOutcomes(int handle,
                                      const VRN_neticaNodeRecord& record) {
  auto* definition =
      dynamic_cast<VRN_discDef*>(GetNetwork()->GetNode(handle)->Definition());
  if (definition == nullptr) return;
  const int levels = static_cast<int>(record.levels.size());
  if (record.states.empty()) {
    if (levels == 0) return;
    const int rc = definition->SetIntervals(record.levels, false);
    if (rc != kOk) {
      ReportAtLine(record.line, rc,
                   "Can't set levels for node [" + record.id + "]");
      NoteTableNotBuilt();  // the node would lack the levels the file gives
    }
    return;
  }
  VRN_idArray ids;
  qelta::MakeValidUtf8Identifiers(ToStringArray(record.states), &ids);
  int rc = definition->SetNumberOfOutcomesByIds(ids);
  if (rc != kOk) {
    ReportAtLine(record.line, rc,
                 "Can't set states for node [" + record.id + "]");
    (void)OutcomesNotRead(record.id.c_str(), "states", rc);
    return;
  }
  const int states = static_cast<int>(record.states.size());
  if (levels == 0) return;
  if (levels == states) {
    rc = definition->SetPointValues(record.levels);
  } else if (levels == states + 1) {
    rc = definition->SetIntervals(record.levels, false);
  } else {
    ReportAtLine(record.line, qelta::kErrInvalidValue,
                 "Inconsistent level count " + std::to_string(levels) +
                     " for node [" + record.id + "]");
    NoteTableNotBuilt();
    return;
  }
  if (rc != kOk) {
    ReportAtLine(record.line, rc,
                 "Can't set levels for node [" + record.id + "]");
    NoteTableNotBuilt();
  }
}

void VRN_neticaSpeaker::BuildEquationIntervals(
    int handle, const VRN_neticaNodeRecord& record) {
  const std::size_t levels = record.levels.size();
  if (levels < 2) return;
  std::vector<VRN_discInterval> intervals(levels - 1);
  for (std::size_t i = 0; i + 1 < levels; ++i) {
    intervals[i].boundary = record.levels[i + 1];
    if (record.states.size() == levels - 1) intervals[i].id = record.states[i];
  }
  VRN_equation* equation = VRN_GetEquation(GetNetwork(), handle);
  const double lower = record.levels.front();
  const double upper = record.levels.back();
  int rc = equation->SetDiscIntervals(lower, upper, intervals);
  // A range of one point has room only for its default intervals, the
  // first of them empty, which the writer writes as equal levels.
  if (rc != kOk && lower == upper && equation->GetDiscIntervals().empty()) {
    const double old_lower = equation->GetLowerBound();
    const double old_upper = equation->GetUpperBound();
    rc = equation->SetBounds(lower, upper);
    if (rc == kOk) rc = equation->SetDefaultIntervalsOverBounds(intervals);
    if (rc != kOk) (void)equation->SetBounds(old_lower, old_upper);
  }
  if (rc != kOk) {
    ReportAtLine(record.line, rc,
                 "Can't set discretization intervals for node [" + record.id +
                     "]");
    NoteTableNotBuilt();
  }
}

void VRN_neticaSpeaker::BuildDefinition(int handle,
                                        const VRN_neticaNodeRecord& record) {
  VRN_nodeDef* definition = GetNetwork()->GetNode(handle)->Definition();
  const int type = definition->GetType();
  if (type == qelta::kDefDecision || type == qelta::kDefEquation) return;
  if (record.table_failed) {
    ReportAtLine(record.line, qelta::kErrFileIo,
                 "ERROR: Node [" + record.id + "] : Its table could not be built");
    NoteTableNotBuilt();
    return;
  }
  const VRN_matrix* table = definition->GetMatrixConst();
  const std::size_t cells =
      table != nullptr ? static_cast<std::size_t>(table->GetItemCount()) : 0;
  if (!record.probs.empty()) {
    int rc = record.probs.size() == cells
                 ? definition->SetDefinitionFromVector(record.probs)
                 : qelta::kErrInvalidValue;
    if (rc != kOk) {
      ReportAtLine(record.line, rc,
                   std::string(type == qelta::kDefUtility
                                   ? "Can't set utilities for node ["
                                   : "Can't set probabilities for node [") +
                       record.id + "] : " +
                       (record.probs.size() == cells
                            ? std::string("a value is out of range")
                            : std::to_string(record.probs.size()) +
                                  " numbers for a table of " +
                                  std::to_string(cells)));
      NoteTableNotBuilt();
    }
    return;
  }
  if (type == qelta::kDefUtility) return;
  if (type == qelta::kDefTruthTable && !record.functable.empty()) {
    const int rc = static_cast<VRN_truthTable*>(definition)
                       ->SetResultingStateNames(ToStringArray(record.functable));
    if (rc == kOk) return;
    ReportAtLine(record.line, rc,
                 "Can't set resulting states for deterministic node [" +
                     record.id + "]");
    NoteTableNotBuilt();
  }
  (void)definition->MakeUniform();
}

// ------------------------------------------------------------- writing

int VRN_neticaSpeaker::Write(const char* file_name) {
  VRN_network* network = GetNetwork();
  const int refused = qelta::RefuseUnwritable(
      this, *network,
      {"Netica format", true, "ERROR: This Network cannot be saved in Netica format", true,
       false, true});
  if (refused != kOk) return refused;
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    VRN_equation* equation = VRN_GetEquation(network, h);
    // The file has no place for user-defined functions: the node would
    // not read back.
    const std::string called =
        equation != nullptr ? CalledUserFunction(*equation) : std::string();
    if (!called.empty()) {
      return ReportError(qelta::kErrOutOfRange,
                         (std::string("ERROR: The equation of node [") +
                          network->GetNode(h)->GetId() +
                          "] calls the user-defined function " + called +
                          ", which Netica files cannot hold")
                             .c_str());
    }
    if (!FiniteLevels(*network, h)) {
      return ReportError(qelta::kErrOutOfRange,
                         (std::string("ERROR: Node [") +
                          network->GetNode(h)->GetId() +
                          "] : a level is not a finite number, which Netica "
                          "files cannot hold")
                             .c_str());
    }
    std::string text;
    if (equation != nullptr &&
        !NeticaRightSide(equation, network->GetNode(h)->GetId(), &text)) {
      return ReportError(qelta::kErrOutOfRange,
                         (std::string("ERROR: The equation of node [") +
                          network->GetNode(h)->GetId() +
                          "] cannot be saved in Netica format")
                             .c_str());
    }
  }
  VRN_textOutput& out = Output();
  if (out.Open(file_name, VRN_textOutput::kOpenForWriting, GetErrorLog()) !=
      kOk) {
    return ReportFormatted(qelta::kErrFileWrite,
                           "ERROR: Can't write the file %s", file_name);
  }
  (void)out.SetIndentWidth(4);
  const VRN_header* header = network->Header();
  const char* id = header->GetId();
  out.Write("// ~->[DNET-1]->~\n\n", kIndentMode);
  WriteBlockStart((std::string("bnet ") +
                   (id != nullptr && id[0] != '\0' ? id : "_Unnamed_Network_"))
                      .c_str());
  WriteStringField("title", header->GetName(), true, true);
  WriteStringField("comment", header->GetComment(), true, true);
  WriteBlockStart("visual V1");
  (void)out.Unindent();
  WriteIndented("};\n", false);
  const VRN_intArray order = network->PartialOrder();
  for (int handle : order) WriteNode(handle);
  (void)out.Unindent();
  WriteIndented("};\n", false);
  return CloseWrittenFile(file_name);
}

void VRN_neticaSpeaker::WriteNode(int handle) {
  VRN_textOutput& out = Output();
  VRN_network* network = GetNetwork();
  VRN_node* node = network->GetNode(handle);
  VRN_nodeDef* definition = node->Definition();
  const int type = definition->GetType();
  out.Write("\n", kIndentMode);
  const char* id = node->GetId();
  WriteBlockStart((std::string("node ") +
                   (id != nullptr && id[0] != '\0' ? id : "_Unnamed_Node_"))
                      .c_str());
  if ((type & qelta::kDefBitDecision) != 0) {
    WriteStringField("kind", "DECISION", false, false);
  } else if ((type & (qelta::kDefBitChance | qelta::kDefBitDeterministic)) !=
             0) {
    WriteStringField("kind", "NATURE", false, false);
  } else if ((type & qelta::kDefBitUtility) != 0) {
    WriteStringField("kind", "UTILITY", false, false);
  } else {
    ReportError(qelta::kErrOutOfRange, "ERROR: Unsupported node type");
  }
  WriteBoolField("discrete", (type & qelta::kDefBitDiscrete) != 0);
  if ((type & qelta::kDefBitChance) != 0) {
    WriteStringField("chance", "CHANCE", false, false);
  } else if ((type & qelta::kDefBitDeterministic) != 0) {
    WriteStringField("chance", "DETERMIN", false, false);
  }
  WriteStringField("title", node->Header().GetName(), true, true);
  WriteStringField("comment", node->Header().GetComment(), true, true);
  if (!node->Parents().IsEmpty()) {
    VRN_stringArray parents;
    for (int parent : node->Parents()) {
      const char* parent_id = network->GetNode(parent)->GetId();
      parents.Add(parent_id != nullptr ? parent_id : "UnknownParent");
    }
    WriteIdentifierListField("parents", parents, 0);
  }
  const auto* discrete = dynamic_cast<const VRN_discDef*>(definition);
  if (discrete != nullptr) {
    if (discrete->HasOutcomeIds() && definition->GetOutcomesNames() != nullptr) {
      WriteIdentifierListField("states", *definition->GetOutcomesNames(), 0);
    }
    WriteLevels(handle);
  }
  if (IsChanceTable(type) || type == qelta::kDefUtility) {
    const VRN_matrix* table = definition->GetExpandedDefinition();
    if (table != nullptr && !table->IsEmpty()) {
      WriteTable(*table, type == qelta::kDefUtility);
    }
  } else if (type == qelta::kDefTruthTable) {
    WriteTruthTable(handle);
  } else if (type == qelta::kDefEquation) {
    WriteEquation(handle);
  }
  const VRN_userProperties& properties = node->UserProperties();
  if (properties.GetSize() > 0) {
    WriteBlockStart("user U1");
    for (int i = 0; i < properties.GetSize(); ++i) {
      WriteStringField(properties.GetPropertyName(i),
                       properties.GetPropertyValue(i), true, true);
    }
    (void)out.Unindent();
    WriteIndented("};\n", false);
  }
  WriteBlockStart("visual V1");
  WriteIndented(("center = (" + std::to_string(node->ScreenInfo().x) + ", " +
                 std::to_string(node->ScreenInfo().y) + ");\n")
                    .c_str(),
                false);
  (void)out.Unindent();
  WriteIndented("};\n", false);
  (void)out.Unindent();
  WriteIndented("};\n", false);
}

void VRN_neticaSpeaker::WriteLevels(int handle) {
  const auto* discrete = dynamic_cast<const VRN_discDef*>(
      GetNetwork()->GetNode(handle)->Definition());
  std::vector<double> values;
  if (discrete->HasIntervals()) {
    (void)discrete->GetIntervals(&values);
  } else if (discrete->HasPointValues()) {
    (void)discrete->GetPointValues(&values);
  }
  if (values.empty()) return;
  VRN_doubleArray list;
  for (double value : values) list.Add(value);
  WriteDoubleListField("levels", list, 0);
}

void VRN_neticaSpeaker::WriteEquation(int handle) {
  VRN_network* network = GetNetwork();
  VRN_node* node = network->GetNode(handle);
  VRN_equation* equation = VRN_GetEquation(network, handle);
  const std::vector<VRN_discInterval>& intervals = equation->GetDiscIntervals();
  if (!intervals.empty()) {
    // Unnamed intervals write no states; they read back unnamed.
    VRN_stringArray states;
    for (const VRN_discInterval& interval : intervals) {
      if (interval.id.empty()) break;
      states.Add(interval.id.c_str());
    }
    if (states.GetSize() == static_cast<int>(intervals.size())) {
      WriteIdentifierListField("states", states, 0);
    }
    std::vector<double> edges;
    equation->GetIntervalEdges(&edges);
    VRN_doubleArray levels;
    for (double edge : edges) levels.Add(edge);
    WriteDoubleListField("levels", levels, 0);
  }
  // Netica's form: id (parents) = right side.
  const char* id = node->GetId();
  std::string text = id != nullptr ? id : "";
  const char* separator = " (";
  for (int parent : node->Parents()) {
    text += separator;
    text += network->GetNode(parent)->GetId();
    separator = ", ";
  }
  text += node->Parents().IsEmpty() ? " = " : ") = ";
  std::string right;
  (void)NeticaRightSide(equation, id, &right);
  WriteStringField("equation", (text + right).c_str(), true, true);
}

void VRN_neticaSpeaker::WriteTable(const VRN_matrix& table, bool utility) {
  // A utility table's own dimension has size 1: its leaves run along the
  // last parent. Dropping that dimension leaves the item layout unchanged.
  int dimensions = table.GetDimensionCount();
  if (utility && dimensions > 1) --dimensions;
  WriteIndented(utility ? "functable = \n" : "probs = \n", false);
  (void)Output().Indent();
  (void)Output().Indent();
  Output().WriteIndent();
  int offset = 0;
  WriteSubTable(table, 0, dimensions - 1, &offset);
  Output().Write(";\n", kIndentMode);
  (void)Output().Unindent();
  (void)Output().Unindent();
}

void VRN_neticaSpeaker::WriteSubTable(const VRN_matrix& table, int dimension,
                                      int leaf, int* offset) {
  VRN_textOutput& out = Output();
  if (dimension >= leaf) {
    VRN_doubleArray row;
    const int size = leaf >= 0 ? table.GetSize(leaf) : table.GetItemCount();
    for (int i = 0; i < size; ++i) row.Add(table.GetItem(*offset + i));
    *offset += size;
    WriteNumberList(row, ", ");
    return;
  }
  out.Write("(", kIndentMode);
  for (int i = 0; i < table.GetSize(dimension); ++i) {
    if (i > 0) {
      out.Write(",\n", kIndentMode);
      out.WriteIndent();
    }
    WriteSubTable(table, dimension + 1, leaf, offset);
  }
  out.Write(")", kIndentMode);
}

void VRN_neticaSpeaker::WriteTruthTable(int handle) {
  const auto* truth = static_cast<const VRN_truthTable*>(
      GetNetwork()->GetNode(handle)->Definition());
  // A functable says all only of columns of one 1.0 among zeros; the
  // reader takes probs of a deterministic node as its numbers.
  if (!truth->HasOnlyDeterministicColumns()) {
    WriteTable(*truth->GetMatrixConst(), false);
    return;
  }
  WriteResultingStates(handle);
}

void VRN_neticaSpeaker::WriteResultingStates(int handle) {
  VRN_network* network = GetNetwork();
  VRN_node* node = network->GetNode(handle);
  VRN_stringArray names;
  static_cast<const VRN_truthTable*>(node->Definition())
      ->GetResultingStateNames(&names);
  if (names.GetSize() == 0) return;
  // One list per configuration of all parents but the last; its items run
  // along the last parent. The table's own dimensions give the sizes: an
  // equation parent has no outcomes, only its intervals.
  const VRN_matrix* table = node->Definition()->GetMatrixConst();
  std::vector<int> sizes;
  int configurations = 1;
  for (int d = 0; table != nullptr && d + 1 < table->GetDimensionCount(); ++d) {
    sizes.push_back(table->GetSize(d));
    configurations *= sizes.back();
  }
  const int leaf = sizes.empty() ? names.GetSize() : sizes.back();
  if (leaf < 1 || configurations != names.GetSize()) {
    ReportFormatted(qelta::kErrOutOfRange,
                    "ERROR: Node [%s] : its table does not match its parents",
                    node->GetId());
    return;
  }
  VRN_textOutput& out = Output();
  WriteIndented("functable = \n", false);
  (void)out.Indent();
  (void)out.Indent();
  out.WriteIndent();
  const int outer = sizes.size() > 1 ? static_cast<int>(sizes.size()) - 1 : 0;
  std::vector<int> position(static_cast<std::size_t>(outer), 0);
  for (int start = 0; start < names.GetSize(); start += leaf) {
    // Close the lists that ended and open the ones that begin here.
    int opened = outer;
    if (start > 0) {
      int carry = outer - 1;
      int closed = 0;
      while (carry >= 0 && ++position[static_cast<std::size_t>(carry)] ==
                               sizes[static_cast<std::size_t>(carry)]) {
        position[static_cast<std::size_t>(carry)] = 0;
        --carry;
        ++closed;
      }
      for (int i = 0; i < closed; ++i) out.Write(")", kIndentMode);
      out.Write(",\n", kIndentMode);
      out.WriteIndent();
      opened = closed;
    }
    for (int i = 0; i < opened; ++i) out.Write("(", kIndentMode);
    std::string row = "(";
    for (int i = start; i < start + leaf && i < names.GetSize(); ++i) {
      if (i > start) row += ", ";
      row += names.Get(i) != nullptr ? names.Get(i) : "";
    }
    row += ")";
    out.Write(row.c_str(), kIndentMode);
  }
  for (int i = 0; i < outer; ++i) out.Write(")", kIndentMode);
  out.Write(";\n", kIndentMode);
  (void)out.Unindent();
  (void)out.Unindent();
}

// ----------------------------------------------------- list and field syntax

int VRN_neticaSpeaker::SkipStatement() {
  return qelta::SkipThroughSemicolon(this);
}

int VRN_neticaSpeaker::WriteBlockStart(const char* name) {
  return WriteBlockOpening(name, false);
}

void VRN_neticaSpeaker::BeginContinuation() {
  Output().SetContinuation("\\ ");
}

void VRN_neticaSpeaker::EndContinuation() { Output().SetContinuation(nullptr); }
