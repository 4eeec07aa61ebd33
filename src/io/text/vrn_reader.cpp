// Reading the native text network file; the layout is in vrn.h.
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <utf8.h>

#include "base/arrays.h"
#include "base/error_log.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "definitions/truth_table.h"
#include "io/table_limit.h"
#include "io/text/hugin.h"
#include "io/text/vrn.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

namespace {

using qelta::kErrOutOfRange;
using qelta::kErrSyntax;
using qelta::kErrWrongFieldName;
using qelta::kOk;
using qelta::kTokenIdentifier;
using qelta::kTokenInteger;
using qelta::kTokenPunctuator;
using qelta::kTokenString;

const char* const kNetFields[] = {
    "NUMSAMPLES",     "HEADER",          "CREATION",      "SCREEN",
    "WINDOWPOSITION", "BKCOLOR",         "SCREENCOMMENT", "USER_PROPERTIES",
    "DOCUMENTATION",  "SHOWAS",          nullptr};
const char* const kNodeFields[] = {
    "TYPE",       "HEADER",  "SCREEN",     "TARGET",           "SUBMODEL",
    "USER_PROPERTIES", "DOCUMENTATION", "PARENTS", "DEFINITION",
    "EXTRA_DEFINITION", nullptr};
const char* const kSubmodelFields[] = {"PARENT",  "HEADER",
                                       "SCREEN",  "WINDOWPOSITION",
                                       "BKCOLOR", "SCREENCOMMENT",
                                       nullptr};

// Definition statements that give a table: failing one fails the read.
const char* const kTableStatements[] = {
    "PROBABILITIES", "UTILITIES", "WEIGHTS",   "PWEIGHTS", "NWEIGHTS",
    "RESULTINGSTATES", "BASELINE", "STRENGTHS", nullptr};

// The words a skip of a statement the reader cannot use must not pass, by
// level: each starts a statement that gives a node or part of one.
const char* const kNetGuard[] = {"node", "submodel", "OBSERVATION_COST", nullptr};
const char* const kNodeGuard[] = {
    "TYPE",       "HEADER",  "SCREEN",     "TARGET",           "SUBMODEL",
    "USER_PROPERTIES", "DOCUMENTATION", "PARENTS", "DEFINITION",
    "EXTRA_DEFINITION", "node", "submodel", "OBSERVATION_COST", nullptr};
const char* const kDefinitionGuard[] = {
    "NAMESTATES", "PROBABILITIES", "UTILITIES", "WEIGHTS",   "PWEIGHTS",
    "NWEIGHTS",   "RESULTINGSTATES", "NAMECHOICES", "BASELINE", "STRENGTHS",
    nullptr};

// The status of a step that must succeed for a statement to go on.
#define RETURN_IF_FAILED(expression) \
  do {                               \
    const int rc_ = (expression);    \
    if (rc_ != kOk) return rc_;      \
  } while (false)

// An identifier as stored: byte sequences that are not UTF-8 become '_', so
// that every id reaches Java; the same repair everywhere keeps references
// between nodes, submodels and outcomes intact.
std::string RepairedId(const char* text) {
  const std::string raw = text != nullptr ? text : "";
  if (utf8::is_valid(raw.begin(), raw.end())) return raw;
  std::string repaired;
  utf8::replace_invalid(raw.begin(), raw.end(), std::back_inserter(repaired),
                        '_');
  return repaired;
}

}  // namespace

std::string VRN_vrnSpeaker::Text() const {
  return qelta::ValidUtf8Text(CurrentToken().text);
}

int VRN_vrnSpeaker::ReadIdentifierList(VRN_stringArray* list) {
  const int first = list->GetSize();
  const int rc = VRN_fileFormat::ReadIdentifierList(list);
  for (int i = first; i < list->GetSize(); ++i) {
    (void)list->SetString(i, RepairedId(list->Get(i)).c_str());
  }
  return rc;
}

int VRN_vrnSpeaker::ReadStringList(VRN_stringArray* list) {
  const int first = list->GetSize();
  const int rc = VRN_fileFormat::ReadStringList(list);
  for (int i = first; i < list->GetSize(); ++i) {
    (void)list->SetString(i, qelta::ValidUtf8Text(list->Get(i)).c_str());
  }
  return rc;
}

VRN_vrnSpeaker::VRN_vrnSpeaker(VRN_network* network)
    : VRN_fileFormat(network) {}

VRN_vrnSpeaker::~VRN_vrnSpeaker() = default;

int VRN_vrnSpeaker::NoteInput(int status) {
  if (status == qelta::kErrLexical || status == qelta::kErrUnexpectedEof ||
      status == qelta::kErrFileIo ||
      (status == qelta::kErrNoMoreTokens && EndedInsideStatement() != kOk)) {
    if (stop_ == 0) stop_ = status;
  }
  return status;
}

int VRN_vrnSpeaker::TableNotBuilt(int handle, int status) {
  if (status == kOk || qelta::IsInputFailure(status)) return status;
  if (status == kErrSyntax && CurrentToken().type != qelta::kTokenUnknown &&
      !qelta::IsNumberToken(CurrentToken()) &&
      !qelta::IsPunctuation(*this, ")")) {
    ReportFormatted(kErrSyntax, "ERROR: '%s' : Number expected", Text().c_str());
  }
  NoteTableNotBuilt();
  const VRN_node* node = GetNetwork()->GetNode(handle);
  return ReportFormatted(qelta::kErrFileIo,
                         "ERROR: Node [%s] : Its table could not be built",
                         node != nullptr ? node->GetId() : "");
}

int VRN_vrnSpeaker::SubmodelTooDeep(int handle) {
  const VRN_submodel* record = GetNetwork()->Submodels()->GetSubmodel(handle);
  stop_ = qelta::kErrFileIo;
  return ReportFormatted(stop_, "ERROR: Submodel '%s' nested too deeply",
                         record != nullptr ? record->Header().GetId() : "");
}

template <typename ReadOne>
int VRN_vrnSpeaker::ReadStatements(ReadOne read_one, bool network,
                                   const char* const* guard) {
  const NestedBlock nested(this, !network);
  const SkipGuard skips(this, guard);
  while (!Stopped() && IsBlockEnd() == 0) {
    const int rc = read_one();
    if (Stopped()) return stop_;
    // A statement the end of the file cut short ends the read.
    if (NoteInput(EndedInsideStatement()) != kOk) return stop_;
    if (rc != kOk && NoteInput(SkipStatement()) != kOk) break;
    // A file may end after a block's "}" that lacks its ";": no statement
    // is cut there.
    if (rc == kOk && qelta::IsPunctuation(*this, "}")) {
      (void)PeekBetweenStatements();
    }
    if (Expect(kTokenPunctuator, ";") != kOk) {
      if (NoteInput(EndedInsideStatement()) != kOk) return stop_;
      // The statement read well but more follows it: drop the rest.
      if (NoteInput(SkipStatement()) != kOk) break;
      (void)Expect(kTokenPunctuator, ";");
    }
  }
  if (Stopped()) return stop_;
  // The input may have ended or failed at the peek that ended the loop.
  const int peek = PeekBetweenStatements();
  if (NoteInput(peek) != kOk && Stopped()) return stop_;
  if (ReadBlockEnd() != kOk) {
    (void)NoteInput(SkipField());
  } else if (network) {
    CloseNetworkBlock();
  }
  return kOk;
}

int VRN_vrnSpeaker::ReadBlockStart(const char* name) {
  if (name == nullptr) return kErrOutOfRange;
  if (NextIs(name) != 1 || CurrentToken().type != kTokenIdentifier) {
    return kErrWrongFieldName;
  }
  ConsumeNext();
  RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "="));
  return ExpectOrFail(kTokenPunctuator, "{");
}

// ------------------------------------------------------------------ the file

int VRN_vrnSpeaker::Read(const char* file_name) {
  stop_ = 0;
  int rc = CreateLexer(1, file_name);
  if (rc != kOk) return rc;
  // A file with no token at all is not a cut one.
  (void)PeekBetweenStatements();
  if (NextIs("net") != 1 || CurrentToken().type != kTokenIdentifier) {
    // Nothing of a network file: not an empty network.
    (void)ExpectOrFail(kTokenIdentifier, "net");
    DeleteLexer();
    return kErrSyntax;
  }
  ConsumeNext();
  std::string id;
  rc = ExpectOrFail(kTokenIdentifier, nullptr);
  if (rc == kOk) {
    id = RepairedId(CurrentToken().text);
    rc = ExpectOrFail(kTokenPunctuator, "{");
  }
  if (rc != kOk) {
    rc = CutInputStatus(kErrSyntax);
    DeleteLexer();
    return rc;
  }
  VRN_network* network = GetNetwork();
  if (network->Submodels()->CheckNewId(qelta::kMainSubmodel, id.c_str()) !=
          kOk ||
      network->Header()->SetId(id.c_str()) != kOk) {
    rc = network->Header()->SetId("_Unnamed_Network_");
    if (rc != kOk) {
      DeleteLexer();
      return rc;
    }
  }
  OpenNetworkBlock();
  rc = ReadStatements([this]() { return ReadNetStatement(); }, true, kNetGuard);
  if (rc == kOk) {
    (void)PeekBetweenStatements();
    (void)Expect(kTokenPunctuator, ";");
  }
  // A string or comment left open, or a failed read, cut the file short
  // where a later peek only sees its end.
  if (rc == kOk || rc == qelta::kErrNoMoreTokens) {
    const int failure = GetLexer()->GetInputFailure();
    if (failure != kOk) rc = failure;
  }
  // A file cut inside a statement or block, or a table that could not be
  // built, would pass a different network for the file's.
  if (rc == kOk) rc = EndedInsideStatement();
  if (rc == qelta::kErrNoMoreTokens) (void)ReportCutInput();
  rc = TablesStatus(rc);
  DeleteLexer();
  return rc;
}

// ------------------------------------------------------------ network level

int VRN_vrnSpeaker::ReadNetStatement() {
  if (NextIsOneOf(kNetFields) == 1) return ReadNetField();
  if (NextIs("node") == 1) return ReadNode();
  if (NextIs("submodel") == 1) return ReadSubmodel();
  if (NextIs("OBSERVATION_COST") == 1) return ReadObservationCosts();
  return ReportFormatted(kErrSyntax, "ERROR: '%s' : Unknown Net Statement",
                         CurrentToken().text != nullptr ? CurrentToken().text
                                                        : "");
}

int VRN_vrnSpeaker::ReadNetField() {
  VRN_network* network = GetNetwork();
  VRN_submodel* main = network->Submodels()->GetSubmodel(qelta::kMainSubmodel);
  int value = 0;
  int rc = ReadIntField("NUMSAMPLES", &value);
  if (rc != kErrWrongFieldName) {
    if (rc != kOk) return rc;
    return ReportError(network->SetNumberOfSamples(value), nullptr);
  }
  rc = ReadHeaderBlock(network->Header(), true, qelta::kMainSubmodel);
  if (rc != kErrWrongFieldName) return rc;
  rc = ReadScreenBlock("SCREEN", &main->ScreenInfo());
  if (rc != kErrWrongFieldName) return rc;
  rc = ReadRectangleBlock("WINDOWPOSITION", main->Window());
  if (rc != kErrWrongFieldName) return rc;
  rc = ReadIntField("BKCOLOR", &value);
  if (rc != kErrWrongFieldName) {
    if (rc == kOk) main->SetColor(value);
    return rc;
  }
  if (NextIs("SCREENCOMMENT") == 1) return ReadScreenComment(main);
  rc = ReadUserProperties(&network->UserProperties());
  if (rc != kErrWrongFieldName) return rc;
  rc = ReadDocumentation(&network->Documentation());
  if (rc != kErrWrongFieldName) return rc;
  rc = ReadIntField("SHOWAS", &value);
  if (rc != kErrWrongFieldName) return rc;
  (void)PeekNext();
  return ReportFormatted(kErrSyntax, "ERROR: '%s' : Unknown Net Field",
                         CurrentToken().text);
}

// check_id: the identifier goes through the submodel table's test (the
// network's and submodels' headers); submodel names whose id it is.
int VRN_vrnSpeaker::ReadHeaderBlock(VRN_header* header, bool check_id,
                                    int submodel) {
  int rc = ReadBlockStart("HEADER");
  if (rc != kOk) return rc;
  return ReadStatements([&]() {
    int field = ReadFieldHeader("ID", kTokenIdentifier);
    if (field != kErrWrongFieldName) {
      if (field != kOk) return field;
      const std::string id = RepairedId(CurrentToken().text);
      int status = kOk;
      if (check_id) {
        status = GetNetwork()->Submodels()->CheckNewId(submodel, id.c_str());
      }
      if (status == kOk) status = header->SetId(id.c_str());
      return ReportError(status, "Invalid ID");
    }
    field = ReadFieldHeader("NAME", kTokenString);
    if (field != kErrWrongFieldName) {
      return field != kOk ? field
                          : ReportError(header->SetName(Text().c_str()),
                                        nullptr);
    }
    field = ReadFieldHeader("COMMENT", kTokenString);
    if (field != kErrWrongFieldName) {
      return field != kOk
                 ? field
                 : ReportError(header->SetComment(Text().c_str()),
                               nullptr);
    }
    (void)PeekNext();
    return ReportFormatted(kErrSyntax,
                           "ERROR: '%s' : Unknown Header Statement",
                           CurrentToken().text);
  });
}

int VRN_vrnSpeaker::ReadScreenBlock(const char* name, VRN_screenInfo* info) {
  int rc = ReadBlockStart(name);
  if (rc != kOk) return rc;
  struct Field {
    const char* name;
    int* slot;
  };
  const Field fields[] = {{"COLOR", &info->interior_color},
                          {"SELCOLOR", &info->style1},
                          {"FONT", &info->style2},
                          {"FONTCOLOR", &info->text_color},
                          {"BORDERTHICKNESS", &info->outline_width},
                          {"BORDERCOLOR", &info->outline_color}};
  return ReadStatements([&]() {
    int position[4] = {info->x, info->y, info->width, info->height};
    int field = ReadRectangleBlock("POSITION", position);
    if (field != kErrWrongFieldName) {
      info->x = position[0];
      info->y = position[1];
      info->width = position[2];
      info->height = position[3];
      return field;
    }
    for (const Field& entry : fields) {
      field = ReadIntField(entry.name, entry.slot);
      if (field != kErrWrongFieldName) return field;
    }
    int dropped = 0;
    field = ReadBoolField("SHOWINARCS", &dropped);
    if (field != kErrWrongFieldName) return field;
    field = ReadBoolField("SHOWOUTARCS", &dropped);
    if (field != kErrWrongFieldName) return field;
    (void)PeekNext();
    return ReportFormatted(kErrSyntax,
                           "ERROR: '%s' : Unknown Screen Information Statement",
                           CurrentToken().text);
  });
}

int VRN_vrnSpeaker::ReadRectangleBlock(const char* name, int* rect) {
  int rc = ReadBlockStart(name);
  if (rc != kOk) return rc;
  const char* const names[] = {"CENTER_X", "CENTER_Y", "WIDTH", "HEIGHT"};
  return ReadStatements([&]() {
    for (int i = 0; i < 4; ++i) {
      const int field = ReadIntField(names[i], &rect[i]);
      if (field != kErrWrongFieldName) return field;
    }
    (void)PeekNext();
    return ReportFormatted(kErrSyntax, "ERROR: '%s' : Unknown Rectangle Statement",
                           CurrentToken().text);
  });
}

int VRN_vrnSpeaker::ReadScreenComment(VRN_submodel* submodel) {
  ConsumeNext();  // SCREENCOMMENT
  RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "="));
  RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "{"));
  VRN_intArray position;
  RETURN_IF_FAILED(ReadIntList(&position));
  RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, ","));
  std::string caption;
  if (ReadString(&caption) != kOk) return ExpectOrFail(kTokenString, nullptr);
  RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "}"));
  if (position.GetSize() < 4) {
    return ReportError(kErrOutOfRange,
                       "ERROR: Wrong Number Of Screen Coordinates");
  }
  VRN_textBox box;
  box.caption = qelta::ValidUtf8Text(caption.c_str());
  for (int i = 0; i < 4; ++i) box.rect[i] = position[i];
  submodel->TextBoxes().push_back(box);
  return kOk;
}

int VRN_vrnSpeaker::ReadUserProperties(VRN_userProperties* properties) {
  int rc = ReadBlockStart("USER_PROPERTIES");
  if (rc != kOk) return rc;
  return ReadStatements([&]() {
    std::string name;
    RETURN_IF_FAILED(ReadIdentifier(&name));
    RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "="));
    std::string value;
    RETURN_IF_FAILED(ReadString(&value));
    name = RepairedId(name.c_str());
    value = qelta::ValidUtf8Text(value.c_str());
    const int index = properties->AddProperty(name.c_str(), value.c_str());
    if (index < 0) return index;
    const int at = properties->FindProperty(name.c_str());
    return at < 0 ? at : properties->ChangeValue(at, value.c_str());
  });
}

int VRN_vrnSpeaker::ReadDocumentation(VRN_documentation* documentation) {
  int rc = ReadBlockStart("DOCUMENTATION");
  if (rc != kOk) return rc;
  return ReadStatements([&]() {
    std::string title;
    std::string path;
    if (ReadString(&title) != kOk) return ExpectOrFail(kTokenString, nullptr);
    RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "="));
    if (ReadString(&path) != kOk) return ExpectOrFail(kTokenString, nullptr);
    const int index =
        documentation->Add(qelta::ValidUtf8Text(title.c_str()).c_str(),
                           qelta::ValidUtf8Text(path.c_str()).c_str());
    return index < 0 ? ReportError(index, nullptr) : kOk;
  });
}

// ------------------------------------------------------------------ submodels

int VRN_vrnSpeaker::ReadSubmodel() {
  ConsumeNext();  // submodel
  std::string id;
  if (ReadIdentifier(&id) != kOk) return kErrSyntax;
  id = RepairedId(id.c_str());
  RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "{"));
  VRN_submodelTable* table = GetNetwork()->Submodels();
  const int handle = table->CreateSubmodel(qelta::kMainSubmodel, id.c_str());
  if (handle < 0) {
    ReportFormatted(handle, "ERROR: Couldn't Create Submodel (\"%s\")",
                    id.c_str());
    // Inside the braces: skip through the closing one.
    const int skipped = qelta::SkipDeclaration(this, 1);
    NoteInput(skipped);
    return skipped == kOk ? kOk : handle;
  }
  return ReadStatements([&]() { return ReadSubmodelStatement(handle); });
}

int VRN_vrnSpeaker::ReadSubmodelStatement(int handle) {
  if (NextIsOneOf(kSubmodelFields) != 1) {
    return ReportFormatted(kErrSyntax,
                           "ERROR: '%s' : Unknown Submodel Statement",
                           CurrentToken().text != nullptr ? CurrentToken().text
                                                          : "");
  }
  VRN_submodelTable* table = GetNetwork()->Submodels();
  VRN_submodel* record = table->GetSubmodel(handle);
  int rc = ReadHeaderBlock(&record->Header(), true, handle);
  if (rc != kErrWrongFieldName) return rc;
  rc = ReadScreenBlock("SCREEN", &record->ScreenInfo());
  if (rc != kErrWrongFieldName) return rc;
  rc = ReadRectangleBlock("WINDOWPOSITION", record->Window());
  if (rc != kErrWrongFieldName) return rc;
  int value = 0;
  rc = ReadIntField("BKCOLOR", &value);
  if (rc != kErrWrongFieldName) {
    if (rc == kOk) record->SetColor(value);
    return rc;
  }
  if (NextIs("SCREENCOMMENT") == 1) return ReadScreenComment(record);
  rc = ReadFieldHeader("PARENT", kTokenIdentifier);
  if (rc != kErrWrongFieldName) {
    if (rc != kOk) return rc;
    const std::string parent_id = RepairedId(CurrentToken().text);
    const int parent = table->FindSubmodel(parent_id.c_str());
    const int status = parent < 0 ? parent : table->SetSubmodel(handle, parent);
    if (status != kOk) {
      return ReportFormatted(status, "ERROR: (\"%s\") : Unknown Submodel",
                             parent_id.c_str());
    }
    // A submodel's own block names its parent before any submodel can be
    // put inside it, so its depth is the tree's. Stopping at once keeps a
    // file of many nested submodels from costing time in proportion to the
    // square of their number.
    int depth = 0;
    for (int at = handle; at != qelta::kMainSubmodel && at >= 0 &&
                          depth <= qelta::kMaxSubmodelDepth;
         at = table->GetParent(at)) {
      ++depth;
    }
    if (depth > qelta::kMaxSubmodelDepth) return SubmodelTooDeep(handle);
    return kOk;
  }
  (void)PeekNext();
  return ReportFormatted(kErrSyntax, "ERROR: '%s' : Unknown Submodel Field",
                         CurrentToken().text);
}

// ---------------------------------------------------------- observation costs

int VRN_vrnSpeaker::ReadObservationCosts() {
  int rc = ReadBlockStart("OBSERVATION_COST");
  if (rc != kOk) return rc;
  return ReadStatements([this]() {
    if (NextIs("node") != 1) {
      return ReportFormatted(kErrSyntax, "ERROR: '%s' : Unknown Cost Statement",
                             CurrentToken().text != nullptr
                                 ? CurrentToken().text
                                 : "");
    }
    return ReadCostEntry();
  });
}

int VRN_vrnSpeaker::ReadCostEntry() {
  ConsumeNext();  // node
  std::string id;
  RETURN_IF_FAILED(ExpectOrFail(kTokenIdentifier, nullptr));
  id = RepairedId(CurrentToken().text);
  RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "{"));
  VRN_network* network = GetNetwork();
  const int handle = network->FindNode(id.c_str());
  if (handle < 0) {
    ReportFormatted(handle, "ERROR: Couldn't Find Node (\"%s\")", id.c_str());
    const int skipped = qelta::SkipDeclaration(this, 1);
    NoteInput(skipped);
    return skipped == kOk ? kOk : handle;
  }
  return ReadStatements([&]() {
    if (NextIs("PARENTS") == 1) {
      ConsumeNext();
      RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "="));
      VRN_stringArray parents;
      RETURN_IF_FAILED(ReadIdentifierList(&parents));
      for (int i = 0; i < parents.GetSize(); ++i) {
        const int parent = network->FindNode(parents.Get(i));
        const int status =
            parent < 0 ? parent
                       : network->AddArc(parent, handle, qelta::kArcLayerCost);
        if (status < 0) {
          ReportFormatted(status,
                          "ERROR: Couldn't add cost arc from node [%s] to "
                          "node [%s]",
                          parents.Get(i), id.c_str());
        }
      }
      return kOk;
    }
    if (NextIs("COSTS") == 1) {
      ConsumeNext();
      RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "="));
      VRN_doubleArray costs;
      int read = ReadDoubleList(&costs);
      // "()" is what a node without a cost table writes.
      if (read == kOk && costs.GetSize() == 0) return kOk;
      if (read == kOk) {
        read = ReportError(network->GetNode(handle)->SetCost(costs), nullptr);
      }
      return TableNotBuilt(handle, read);
    }
    return ReportFormatted(kErrSyntax, "ERROR: '%s' : Unknown Cost Statement",
                           CurrentToken().text != nullptr ? CurrentToken().text
                                                          : "");
  });
}

// ---------------------------------------------------------------------- nodes

int VRN_vrnSpeaker::ReadNode() {
  ConsumeNext();  // node
  RETURN_IF_FAILED(ExpectOrFail(kTokenIdentifier, nullptr));
  const std::string id = RepairedId(CurrentToken().text);
  RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "{"));
  const int handle = AddFileNode(qelta::kDefCpt, id.c_str());
  if (handle < 0) {
    ReportFormatted(handle, "ERROR: Couldn't Create Node (\"%s\")", id.c_str());
    NoteNodeNotCreated();
    const int skipped = qelta::SkipDeclaration(this, 1);
    NoteInput(skipped);
    return skipped == kOk ? kOk : handle;
  }
  outcome_documentation_ = 0;
  noisy_or_ = false;
  noisy_and_ = false;
  return ReadStatements([&]() { return ReadNodeStatement(handle); }, false,
                        kNodeGuard);
}

int VRN_vrnSpeaker::ReadNodeStatement(int handle) {
  if (NextIsOneOf(kNodeFields) != 1) {
    return ReportFormatted(kErrSyntax, "ERROR: '%s' : Unknown Node Statement",
                           CurrentToken().text != nullptr ? CurrentToken().text
                                                          : "");
  }
  VRN_network* network = GetNetwork();
  VRN_node* node = network->GetNode(handle);
  if (NextIs("TYPE") == 1) return ReadNodeType(handle);
  int rc = ReadNodeHeader(handle);
  if (rc != kErrWrongFieldName) return rc;
  rc = ReadScreenBlock("SCREEN", &node->ScreenInfo());
  if (rc != kErrWrongFieldName) return rc;
  int flag = 0;
  rc = ReadBoolField("TARGET", &flag);
  if (rc != kErrWrongFieldName) {
    if (rc != kOk) return rc;
    return flag != 0 ? ReportError(network->SetTarget(handle, true), nullptr)
                     : kOk;
  }
  rc = ReadFieldHeader("SUBMODEL", kTokenIdentifier);
  if (rc != kErrWrongFieldName) {
    if (rc != kOk) return rc;
    const int submodel =
        network->Submodels()->FindSubmodel(RepairedId(CurrentToken().text).c_str());
    const int status = submodel < 0 ? qelta::kErrIllegalIdentifier
                                    : node->SetSubmodel(submodel);
    if (status == kOk) return kOk;
    ReportError(status, "Invalid submodel");
    // The node would stand in another submodel than the file's.
    NoteTableNotBuilt();
    return ReportFormatted(qelta::kErrFileIo,
                           "ERROR: Node [%s] : its submodel [%s] %s",
                           node->GetId(), CurrentToken().text,
                           submodel < 0 ? "is not a submodel of the file"
                                        : "cannot hold it");
  }
  rc = ReadUserProperties(&node->UserProperties());
  if (rc != kErrWrongFieldName) return rc;
  rc = ReadDocumentation(&node->Documentation());
  if (rc != kErrWrongFieldName) return rc;
  if (NextIs("PARENTS") == 1) return ReadParents(handle);
  rc = ReadBlockStart("DEFINITION");
  if (rc != kErrWrongFieldName) {
    if (rc != kOk) return rc;
    return ReadStatements([&]() {
      const bool table = NextIsOneOf(kTableStatements) == 1;
      const int status = ReadDefinitionStatement(handle);
      return table ? TableNotBuilt(handle, status) : status;
    }, false, kDefinitionGuard);
  }
  rc = ReadBlockStart("EXTRA_DEFINITION");
  if (rc != kErrWrongFieldName) {
    if (rc != kOk) return rc;
    return ReadStatements([&]() { return ReadExtraStatement(handle); });
  }
  (void)PeekNext();
  return ReportFormatted(kErrSyntax, "ERROR: '%s' : Unknown Node Field",
                         CurrentToken().text);
}

int VRN_vrnSpeaker::ReadNodeType(int handle) {
  RETURN_IF_FAILED(ReadFieldHeader("TYPE", kTokenIdentifier));
  const std::string word = CurrentToken().text;
  VRN_network* network = GetNetwork();
  VRN_node* node = network->GetNode(handle);
  noisy_or_ = word == "NOISY_OR";
  noisy_and_ = word == "NOISY_AND";
  // Another kind takes a canonical node's expanded table: one of a family
  // too large to read as a table is never built.
  const int code = noisy_or_ || noisy_and_ ? qelta::kDefNoisyMax
                   : word == "EQUATION"    ? qelta::kDefEquation
                                           : VRN_node::TypeCodeFromName(word.c_str());
  const std::vector<int> parents(node->Parents().begin(), node->Parents().end());
  if (code >= 0 && code != node->Definition()->GetType() &&
      VRN_nodeDef::IsLazyType(node->Definition()->GetType()) &&
      qelta::FamilyTableCells(*network, handle, parents) > qelta::kReadTableCellLimit) {
    NoteTableNotBuilt();
    return ReportFormatted(qelta::kErrOutOfMemory,
                           "ERROR: Node [%s] : its table would be too large for type %s",
                           node->GetId(), word.c_str());
  }
  // The node's own name table has no entry for equations.
  const int status = noisy_or_ || noisy_and_
                         ? node->setNodeType(qelta::kDefNoisyMax)
                     : word == "EQUATION"
                         ? node->setNodeType(qelta::kDefEquation)
                         : node->SetTypeByName(word.c_str());
  if (status != kOk) {
    ReportFormatted(status, "ERROR: '%s' : Unknown node type for node [%s]",
                    word.c_str(), node->GetId());
    // The node would keep another kind than the file's.
    NoteTableNotBuilt();
    return ReportFormatted(qelta::kErrFileIo,
                           "ERROR: Node [%s] : its kind %s cannot be taken",
                           node->GetId(), word.c_str());
  }
  return kOk;
}

int VRN_vrnSpeaker::ReadNodeHeader(int handle) {
  VRN_header read(nullptr);
  int rc = ReadHeaderBlock(&read, false, 0);
  if (rc != kOk) return rc;
  VRN_node* node = GetNetwork()->GetNode(handle);
  if (read.GetId() != nullptr &&
      std::strcmp(read.GetId(), node->GetId()) != 0) {
    rc = SetFileNodeId(handle, read.GetId());
    if (rc != kOk) return ReportError(rc, "Invalid ID");
  }
  if (read.GetName() != nullptr) (void)node->Header().SetName(read.GetName());
  if (read.GetComment() != nullptr) {
    (void)node->Header().SetComment(read.GetComment());
  }
  return kOk;
}

int VRN_vrnSpeaker::ReadParents(int handle) {
  ConsumeNext();  // PARENTS
  RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "="));
  VRN_stringArray ids;
  VRN_network* network = GetNetwork();
  const char* child_id = network->GetNode(handle)->GetId();
  const int listed = ReadIdentifierList(&ids);
  if (listed != kOk) {
    // Without the parents the file gives, the node's table is not its own.
    NoteTableNotBuilt();
    ReportFormatted(qelta::kErrFileIo, "ERROR: Node [%s] : its PARENTS list cannot be read",
                    child_id);
    return listed;
  }
  const bool lazy = VRN_nodeDef::IsLazyType(network->GetNode(handle)->Definition()->GetType());
  for (int i = 0; i < ids.GetSize(); ++i) {
    const int parent = network->FindNode(ids.Get(i));
    int status = parent < 0 ? parent : kOk;
    // A canonical node's parameters grow with its parents' outcomes, not
    // their product; its table is never built here.
    if (status == kOk && !lazy) {
      std::vector<int> family(network->GetNode(handle)->Parents().begin(),
                              network->GetNode(handle)->Parents().end());
      family.push_back(parent);
      if (qelta::FamilyTableCells(*network, handle, family) >
          qelta::kReadTableCellLimit) {
        status = qelta::kErrOutOfMemory;
      }
    }
    if (status == kOk) status = network->AddArc(parent, handle);
    if (status < 0) {
      ReportFormatted(status,
                      "ERROR: Couldn't add arc from node [%s] to node [%s]",
                      ids.Get(i), child_id);
      // The child's table would lack the parent the file gives it.
      NoteTableNotBuilt();
    }
  }
  return kOk;
}

// ----------------------------------------------------------------- definition

int VRN_vrnSpeaker::ReadOutcomeIds(const char* name, int handle) {
  ConsumeNext();  // name
  RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "="));
  VRN_stringArray ids;
  const int read = ReadIdentifierList(&ids);
  if (read != kOk) {
    return qelta::IsInputFailure(read)
               ? read
               : OutcomesNotRead(GetNetwork()->GetNode(handle)->GetId(), name, read);
  }
  VRN_network* network = GetNetwork();
  const VRN_node* node = network->GetNode(handle);
  const std::vector<int> parents(node->Parents().begin(),
                                 node->Parents().end());
  if (ids.GetSize() > 0 && !VRN_nodeDef::IsLazyType(node->Definition()->GetType()) &&
      qelta::FamilyTableCells(*network, handle, parents, ids.GetSize()) >
          qelta::kReadTableCellLimit) {
    return OutcomesNotRead(node->GetId(), name,
                           ReportFormatted(qelta::kErrOutOfMemory,
                                           "ERROR: Node [%s] : %d outcomes make "
                                           "its table too large",
                                           node->GetId(), ids.GetSize()));
  }
  const int set = ReportError(node->Definition()->SetNumberOfOutcomesByIds(ids), nullptr);
  return set == kOk ? kOk : OutcomesNotRead(node->GetId(), name, set);
}

int VRN_vrnSpeaker::ReadProbabilities(int handle) {
  if (NextIs("PROBABILITIES") != 1) return kErrWrongFieldName;
  ConsumeNext();
  RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "="));
  VRN_doubleArray numbers;
  RETURN_IF_FAILED(ReadDoubleList(&numbers));
  VRN_nodeDef* definition = GetNetwork()->GetNode(handle)->Definition();
  auto* noisy = dynamic_cast<VRN_noisyMAX*>(definition);
  if (noisy == nullptr || (!noisy_or_ && !noisy_and_)) {
    return ReportError(definition->SetDefinition(numbers), nullptr);
  }
  if (noisy_and_) {
    // A noisy-AND gate is a noisy-MAX over reversed outcomes, with every
    // parent's first outcome as its distinguished one.
    const int n = noisy->GetNumberOfOutcomes();
    const int rows = noisy->GetColumnCount() - noisy->GetStrengthsCount();
    if (n < 1 || numbers.GetSize() != rows * n) {
      return ReportError(qelta::kErrInvalidValue, nullptr);
    }
    VRN_intArray reversed;
    for (int i = n - 1; i >= 0; --i) reversed.Add(i);
    RETURN_IF_FAILED(
        ReportError(noisy->ChangeOrderOfOutcomes(reversed), nullptr));
    for (int p = 0; p < noisy->GetStrengthsCount(); ++p) {
      const int k = noisy->GetParentOutcomeCount(p);
      VRN_intArray perm;
      if (k > 0) perm.Add(k - 1);
      for (int j = 0; j + 1 < k; ++j) perm.Add(j);
      RETURN_IF_FAILED(
          ReportError(noisy->ChangeParentOutcomeStrengths(p, perm), nullptr));
    }
    VRN_doubleArray flipped;
    for (int r = 0; r < rows; ++r) {
      for (int i = n - 1; i >= 0; --i) flipped.Add(numbers[r * n + i]);
    }
    numbers = flipped;
  }
  return ReportError(noisy->SetHenrionProbabilitiesArray(numbers), nullptr);
}

int VRN_vrnSpeaker::ReadStrengths(int handle) {
  if (NextIs("STRENGTHS") != 1) return kErrWrongFieldName;
  ConsumeNext();
  RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "="));
  VRN_intArray list;
  RETURN_IF_FAILED(ReadIntList(&list));
  VRN_network* network = GetNetwork();
  const VRN_node* node = network->GetNode(handle);
  auto* noisy = dynamic_cast<VRN_noisyMAX*>(node->Definition());
  // Each parent's segment gives, for every outcome j, where j first
  // appears from the segment's start on.
  int start = 0;
  for (int p = 0; p < node->Parents().GetSize(); ++p) {
    // An equation parent has no outcomes of its own: the node counts the
    // intervals it is discretised into.
    const int k = noisy != nullptr ? noisy->GetParentOutcomeCount(p)
                                   : network->GetNode(node->Parents()[p])
                                         ->Definition()
                                         ->GetNumberOfOutcomes();
    std::vector<int> order(static_cast<std::size_t>(k > 0 ? k : 0), -1);
    std::vector<bool> seen(order.size(), false);
    bool consistent = true;
    for (int j = 0; j < k && consistent; ++j) {
      int at = start;
      while (at < list.GetSize() && list[at] != j) ++at;
      if (at >= list.GetSize()) {
        consistent = false;
      } else {
        order[static_cast<std::size_t>(j)] = at - start;
        if (at - start >= k || seen[static_cast<std::size_t>(at - start)]) {
          consistent = false;
        } else {
          seen[static_cast<std::size_t>(at - start)] = true;
        }
      }
    }
    if (!consistent) {
      return ReportFormatted(
          kErrSyntax, "ERROR: NoisyMAX strengths are inconsistent for parent %d",
          p);
    }
    if (noisy != nullptr) {
      VRN_intArray strengths;
      for (const int outcome : order) strengths.Add(outcome);
      RETURN_IF_FAILED(ReportError(
          noisy->SetParentOutcomeStrengths(p, strengths), nullptr));
    }
    start += k;
  }
  // Strength orders belong to noisy-MAX definitions only.
  return noisy == nullptr ? ReportError(qelta::kErrWrongNodeType, nullptr)
                          : kOk;
}

int VRN_vrnSpeaker::ReadCastStatement(int handle) {
  VRN_nodeDef* definition = GetNetwork()->GetNode(handle)->Definition();
  auto* cast = dynamic_cast<VRN_cast*>(definition);
  if (NextIs("PWEIGHTS") == 1 || NextIs("NWEIGHTS") == 1) {
    const bool positive = TokenIs("PWEIGHTS");
    ConsumeNext();
    RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "="));
    VRN_doubleArray weights;
    RETURN_IF_FAILED(ReadDoubleList(&weights));
    if (cast == nullptr) return ReportError(qelta::kErrWrongNodeType, nullptr);
    return ReportError(positive ? cast->SetPositiveWeights(weights)
                                : cast->SetNegativeWeights(weights),
                       nullptr);
  }
  if (NextIs("BASELINE") == 1) {
    RETURN_IF_FAILED(ReadFieldHeader("BASELINE", kTokenString));
    double value = 0.0;
    const int status = VRN_StringToDouble(CurrentToken().text, value);
    if (status != kOk) return ReportError(status, nullptr);
    // A DeMorgan node's prior belief plays the part of a CAST baseline.
    auto* demorgan = dynamic_cast<VRN_demorgan*>(definition);
    if (cast != nullptr) return ReportError(cast->SetBaseline(value), nullptr);
    if (demorgan != nullptr) {
      return ReportError(demorgan->SetPriorBelief(value), nullptr);
    }
    return ReportError(qelta::kErrWrongNodeType, nullptr);
  }
  return kErrWrongFieldName;
}

int VRN_vrnSpeaker::ReadDefinitionStatement(int handle) {
  if (NextIs("NAMESTATES") == 1) return ReadOutcomeIds("NAMESTATES", handle);
  int rc = ReadProbabilities(handle);
  if (rc != kErrWrongFieldName) return rc;
  VRN_nodeDef* definition = GetNetwork()->GetNode(handle)->Definition();
  if (NextIs("RESULTINGSTATES") == 1) {
    ConsumeNext();
    RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "="));
    VRN_stringArray names;
    RETURN_IF_FAILED(ReadIdentifierList(&names));
    auto* table = dynamic_cast<VRN_truthTable*>(definition);
    return ReportError(table == nullptr ? qelta::kErrWrongNodeType
                                        : table->SetResultingStateNames(names),
                       nullptr);
  }
  if (NextIs("NAMECHOICES") == 1) return ReadOutcomeIds("NAMECHOICES", handle);
  if (NextIs("UTILITIES") == 1 || NextIs("WEIGHTS") == 1) {
    ConsumeNext();
    RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "="));
    VRN_doubleArray numbers;
    RETURN_IF_FAILED(ReadDoubleList(&numbers));
    return ReportError(definition->SetDefinition(numbers), nullptr);
  }
  rc = ReadCastStatement(handle);
  if (rc != kErrWrongFieldName) return rc;
  rc = ReadStrengths(handle);
  if (rc != kErrWrongFieldName) return rc;
  (void)PeekNext();
  return ReportFormatted(kErrSyntax,
                         "ERROR: '%s' : Unknown Definition Statement",
                         CurrentToken().text != nullptr ? CurrentToken().text
                                                        : "");
}

// --------------------------------------------------------- diagnosis extras

int VRN_vrnSpeaker::ReadExtraStatement(int handle) {
  VRN_node* node = GetNetwork()->GetNode(handle);
  auto* definition = dynamic_cast<VRN_discDef*>(node->Definition());
  const int n = node->Definition()->GetNumberOfOutcomes();
  const bool with_outcomes = n > 1 && definition != nullptr;
  int rc = ReadFieldHeader("DIAGNOSIS_TYPE", kTokenIdentifier);
  if (rc != kErrWrongFieldName) {
    if (rc != kOk) return rc;
    int type = 2;
    if (TokenIs("TARGET")) type = 0;
    if (TokenIs("OBSERVATION")) type = 1;
    return ReportError(node->SetDiagType(type), nullptr);
  }
  int flag = 0;
  rc = ReadBoolField("RANKED", &flag);
  if (rc != kErrWrongFieldName) {
    if (rc == kOk) node->SetRanked(flag != 0);
    return rc;
  }
  rc = ReadBoolField("MANDATORY", &flag);
  if (rc != kErrWrongFieldName) {
    if (rc == kOk) node->SetMandatory(flag != 0);
    return rc;
  }
  rc = ReadBoolField("SETASDEFAULT", &flag);
  if (rc != kErrWrongFieldName) return rc;
  if (NextIs("FAULT_STATES") == 1) {
    ConsumeNext();
    RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "="));
    VRN_intArray faults;
    RETURN_IF_FAILED(ReadIntList(&faults));
    for (int i = 0; with_outcomes && i < n && i < faults.GetSize(); ++i) {
      if (faults[i] != 0) (void)definition->SetFaultOutcome(i, true);
    }
    return kOk;
  }
  if (NextIs("FAULT_LABELS") == 1 || NextIs("STATECOMMENTS") == 1 ||
      NextIs("STATEREPAIRINFO") == 1) {
    const std::string word = CurrentToken().text;
    ConsumeNext();
    RETURN_IF_FAILED(ExpectOrFail(kTokenPunctuator, "="));
    VRN_stringArray texts;
    RETURN_IF_FAILED(ReadStringList(&texts));
    if (word == "FAULT_LABELS") {
      for (int i = 0; with_outcomes && i < n && i < texts.GetSize(); ++i) {
        const int status = definition->SetOutcomeLabel(i, texts.Get(i));
        if (status != kOk) ReportError(status, nullptr);
      }
      return kOk;
    }
    const bool comments = word == "STATECOMMENTS";
    if (n >= 1 && texts.GetSize() != n) {
      return ReportError(kErrOutOfRange, comments
                                             ? "Wrong number of state comments"
                                             : "Wrong number of state repairs");
    }
    for (int i = 0; definition != nullptr && i < texts.GetSize(); ++i) {
      if (comments) {
        (void)definition->SetOutcomeDescription(i, texts.Get(i));
      } else {
        (void)definition->SetOutcomeFix(i, texts.Get(i));
      }
    }
    return kOk;
  }
  int value = 0;
  rc = ReadIntField("DEFAULT_STATE", &value);
  if (rc != kErrWrongFieldName) {
    if (rc != kOk || !with_outcomes) return rc;
    return ReportError(definition->SetDefaultOutcome(value), nullptr);
  }
  VRN_documentation documentation;
  rc = ReadDocumentation(&documentation);
  if (rc != kErrWrongFieldName) {
    if (rc != kOk) return rc;
    if (outcome_documentation_ >= n) return kErrOutOfRange;
    if (with_outcomes) {
      (void)definition->SetOutcomeDocumentation(outcome_documentation_,
                                                documentation);
    }
    ++outcome_documentation_;
    return kOk;
  }
  rc = ReadFieldHeader("QUESTION", kTokenString);
  if (rc != kErrWrongFieldName) {
    if (rc == kOk) node->SetQuestion(Text().c_str());
    return rc;
  }
  (void)PeekNext();
  return ReportFormatted(kErrSyntax,
                         "ERROR: '%s' : Unknown Definition Statement",
                         CurrentToken().text != nullptr ? CurrentToken().text
                                                        : "");
}
