#include "io/text/xmlbif.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include <utf8.h>

#include "base/arrays.h"
#include "base/matrix.h"
#include "network/network.h"
#include "network/node.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/node_def.h"
#include "io/table_limit.h"
#include "io/text/xml_encoding.h"
#include "io/xml/xml_writer.h"

namespace {

using qelta::kOk;

constexpr int kIndentMode = VRN_textOutput::kModeIndent;

// The input cannot be read on: it ended, or reading it failed.
bool IsInputFailure(int status) {
  return status == qelta::kErrNoMoreTokens || status == qelta::kErrFileIo;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsBlankText(const std::string& text) {
  for (char c : text) {
    if (!IsBlank(c)) return false;
  }
  return true;
}

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool EndsWith(const std::string& text, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

// Names compare without regard to ASCII case and over the name's own
// length, so a name cut short ("NETW" for NETWORK) still matches; a longer
// name ("NETWORKS") or an empty one does not.
bool NameIs(const std::string& name, const char* wanted) {
  const std::size_t n = name.size();
  if (n == 0 || n > std::strlen(wanted)) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char a = name[i];
    char b = wanted[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
    if (a != b) return false;
  }
  return true;
}

// The elements of the format; others are skipped without a message.
bool IsKnownElement(const std::string& name) {
  for (const char* known :
       {"BIF", "NETWORK", "NAME", "VARIABLE", "OUTCOME", "PROPERTY",
        "DEFINITION", "FOR", "GIVEN", "TABLE"}) {
    if (NameIs(name, known)) return true;
  }
  return false;
}

// The value of a character reference's text between "&#" and ";"; false
// for anything that is not a number of a valid character.
bool CharacterCode(const std::string& digits, std::uint32_t* code) {
  const bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
  const std::size_t first = hex ? 1 : 0;
  if (digits.size() <= first || digits.size() - first > 8) return false;
  std::uint32_t value = 0;
  for (std::size_t i = first; i < digits.size(); ++i) {
    const char c = digits[i];
    std::uint32_t d = 0;
    if (c >= '0' && c <= '9') {
      d = static_cast<std::uint32_t>(c - '0');
    } else if (hex && c >= 'a' && c <= 'f') {
      d = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (hex && c >= 'A' && c <= 'F') {
      d = static_cast<std::uint32_t>(c - 'A' + 10);
    } else {
      return false;
    }
    value = value * (hex ? 16 : 10) + d;
  }
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return false;
  }
  *code = value;
  return true;
}

// The text with the predefined entities and character references resolved;
// anything else after an '&' stays as written.
std::string ResolveReferences(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out.push_back(text[i]);
      continue;
    }
    // Names of references are short; looking further would make a text of
    // many '&' cost quadratic time.
    std::size_t end = i + 1;
    while (end < text.size() && end - i <= 12 && text[end] != ';') ++end;
    if (end >= text.size() || text[end] != ';') {
      out.push_back('&');
      continue;
    }
    const std::string entity = text.substr(i + 1, end - i - 1);
    std::uint32_t code = 0;
    if (entity == "lt") {
      out.push_back('<');
    } else if (entity == "gt") {
      out.push_back('>');
    } else if (entity == "amp") {
      out.push_back('&');
    } else if (entity == "quot") {
      out.push_back('"');
    } else if (entity == "apos") {
      out.push_back('\'');
    } else if (!entity.empty() && entity[0] == '#' &&
               CharacterCode(entity.substr(1), &code)) {
      utf8::unchecked::append(code, std::back_inserter(out));
    } else {
      out.push_back('&');
      continue;
    }
    i = end;
  }
  return out;
}

// The value of attribute name in a start tag's attribute text, references
// resolved; false when the attribute is absent.
bool AttributeValue(const std::string& attributes, const char* name,
                    std::string* value) {
  std::size_t i = 0;
  const std::size_t n = attributes.size();
  while (i < n) {
    while (i < n && IsBlank(attributes[i])) ++i;
    const std::size_t name_start = i;
    while (i < n && !IsBlank(attributes[i]) && attributes[i] != '=') ++i;
    const std::string attribute = attributes.substr(name_start, i - name_start);
    while (i < n && IsBlank(attributes[i])) ++i;
    if (i >= n || attributes[i] != '=') {
      if (i == name_start) ++i;  // a stray character: step over it
      continue;
    }
    ++i;
    while (i < n && IsBlank(attributes[i])) ++i;
    std::string raw;
    if (i < n && (attributes[i] == '"' || attributes[i] == '\'')) {
      const char quote = attributes[i++];
      const std::size_t end = attributes.find(quote, i);
      const std::size_t stop = end == std::string::npos ? n : end;
      raw = attributes.substr(i, stop - i);
      i = stop == n ? n : stop + 1;
    } else {
      const std::size_t value_start = i;
      while (i < n && !IsBlank(attributes[i])) ++i;
      raw = attributes.substr(value_start, i - value_start);
    }
    if (NameIs(attribute, name)) {
      *value = ResolveReferences(raw);
      return true;
    }
  }
  return false;
}

// A decimal number written whole: sign, digits with an optional point,
// optional exponent.
bool IsNumberWord(const std::string& word) {
  std::size_t i = 0;
  const std::size_t n = word.size();
  if (i < n && (word[i] == '+' || word[i] == '-')) ++i;
  int digits = 0;
  while (i < n && word[i] >= '0' && word[i] <= '9') ++i, ++digits;
  if (i < n && word[i] == '.') {
    ++i;
    while (i < n && word[i] >= '0' && word[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (word[i] == 'e' || word[i] == 'E')) {
    ++i;
    if (i < n && (word[i] == '+' || word[i] == '-')) ++i;
    int exponent_digits = 0;
    while (i < n && word[i] >= '0' && word[i] <= '9') ++i, ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  return i == n;
}

// The blank-separated numbers of text appended to *numbers; false with the
// first word that is not a number in *bad.
bool ParseNumbers(const std::string& text, std::vector<double>* numbers,
                  std::string* bad) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  for (;;) {
    while (i < n && IsBlank(text[i])) ++i;
    if (i >= n) return true;
    const std::size_t start = i;
    while (i < n && !IsBlank(text[i])) ++i;
    const std::string word = text.substr(start, i - start);
    double value = 0.0;
    if (!IsNumberWord(word) || qelta::FileNumber(word.c_str(), &value) != kOk) {
      *bad = word;
      return false;
    }
    numbers->push_back(value);
  }
}

// The repair of a name into an identifier, as state labels are repaired.
std::string IdentifierFor(const std::string& name) {
  VRN_stringArray names;
  (void)names.Add(name.c_str());
  VRN_idArray ids;
  qelta::MakeValidUtf8Identifiers(names, &ids);
  return ids.Get(0);
}

const char* const kDtdLines[] = {
    "<!-- DTD for the XMLBIF 0.3 format -->",
    "<!DOCTYPE BIF [",
    "\t<!ELEMENT BIF ( NETWORK )*>",
    "\t      <!ATTLIST BIF VERSION CDATA #REQUIRED>",
    "\t<!ELEMENT NETWORK ( NAME, ( PROPERTY | VARIABLE | DEFINITION )* )>",
    "\t<!ELEMENT NAME (#PCDATA)>",
    "\t<!ELEMENT VARIABLE ( NAME, ( OUTCOME |  PROPERTY )* ) >",
    "\t      <!ATTLIST VARIABLE TYPE (chance|decision|utility) \"chance\">",
    "\t<!ELEMENT OUTCOME (#PCDATA)>",
    "\t<!ELEMENT DEFINITION ( FOR | GIVEN | TABLE | PROPERTY )* >",
    "\t<!ELEMENT FOR (#PCDATA)>",
    "\t<!ELEMENT GIVEN (#PCDATA)>",
    "\t<!ELEMENT TABLE (#PCDATA)>",
    "\t<!ELEMENT PROPERTY (#PCDATA)>",
    "]>",
};

}  // namespace

VRN_xmlSpeaker::VRN_xmlSpeaker(VRN_network* network)
    : VRN_fileFormat(network) {}

VRN_xmlSpeaker::~VRN_xmlSpeaker() = default;

void VRN_xmlSpeaker::BeginContinuation() { Output().SetContinuation("\\ "); }

void VRN_xmlSpeaker::EndContinuation() { Output().SetContinuation(nullptr); }

// ------------------------------------------------------------- scanner

int VRN_xmlSpeaker::ReadMarkupUntil(std::string* raw, const char* suffix,
                                    std::size_t least) {
  while (raw->size() < least || !EndsWith(*raw, suffix)) {
    std::string rest;
    const int rc = GetLexer()->ReadRawText(">", &rest);
    if (rc != kOk) return rc;
    raw->push_back('>');
    raw->append(rest);
  }
  return kOk;
}

int VRN_xmlSpeaker::ReadMarkupBalanced(std::string* raw, bool brackets) {
  // Each piece is scanned once, so a long declaration costs linear time.
  char quote = '\0';
  long long depth = 0;
  std::size_t scanned = 0;
  for (;;) {
    for (; scanned < raw->size(); ++scanned) {
      const char c = (*raw)[scanned];
      if (quote != '\0') {
        if (c == quote) quote = '\0';
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '[') {
        ++depth;
      } else if (c == ']') {
        --depth;
      }
    }
    if (quote == '\0' && (!brackets || depth <= 0)) return kOk;
    std::string rest;
    const int rc = GetLexer()->ReadRawText(">", &rest);
    if (rc != kOk) return rc;
    raw->push_back('>');
    raw->append(rest);
  }
}

int VRN_xmlSpeaker::NextMarkup(Markup* markup) {
  VRN_textLexer* lexer = GetLexer();
  markup->name.clear();
  markup->literal = false;
  markup->empty = false;
  for (;;) {
    if (!at_tag_) {
      int rc = lexer->ReadRawText("<", &markup->text);
      if (rc != kOk && rc != qelta::kErrNoMoreTokens) return rc;
      at_tag_ = rc == kOk;
      if (!IsBlankText(markup->text)) {
        markup->kind = Markup::Kind::kText;
        return kOk;
      }
      if (rc != kOk) return rc;
    }
    at_tag_ = false;
    std::string raw;
    int rc = lexer->ReadRawText(">", &raw);
    if (rc != kOk) return rc;
    if (StartsWith(raw, "!--")) {
      rc = ReadMarkupUntil(&raw, "--", 5);
      if (rc != kOk) return rc;
      continue;
    }
    if (StartsWith(raw, "![CDATA[")) {
      rc = ReadMarkupUntil(&raw, "]]", 10);
      if (rc != kOk) return rc;
      markup->kind = Markup::Kind::kText;
      markup->text = raw.substr(8, raw.size() - 10);
      markup->literal = true;
      return kOk;
    }
    if (StartsWith(raw, "!")) {
      // A document type declaration may hold an internal subset in "[ ]".
      rc = ReadMarkupBalanced(&raw, true);
      if (rc != kOk) return rc;
      continue;
    }
    if (StartsWith(raw, "?")) {
      rc = ReadMarkupUntil(&raw, "?", 1);
      if (rc != kOk) return rc;
      continue;
    }
    rc = ReadMarkupBalanced(&raw, false);
    if (rc != kOk) return rc;
    if (StartsWith(raw, "/")) {
      markup->kind = Markup::Kind::kEnd;
      markup->name = Trim(raw.substr(1));
      markup->text.clear();
      return kOk;
    }
    if (!raw.empty() && raw.back() == '/') {
      markup->empty = true;
      raw.pop_back();
    }
    std::size_t name_end = 0;
    while (name_end < raw.size() && !IsBlank(raw[name_end])) ++name_end;
    markup->name = raw.substr(0, name_end);
    markup->text = raw.substr(name_end);
    if (markup->name.empty()) {
      // A "<" that starts no tag: text, for whoever reads it to refuse.
      markup->kind = Markup::Kind::kText;
      markup->text = "<" + raw + ">";
      markup->empty = false;
      return kOk;
    }
    markup->kind = Markup::Kind::kStart;
    return kOk;
  }
}

int VRN_xmlSpeaker::SkipElement(const Markup& start) {
  if (start.empty) return kOk;
  Markup markup;
  for (int depth = 1; depth > 0;) {
    const int rc = NextMarkup(&markup);
    if (rc != kOk) return rc;
    if (markup.kind == Markup::Kind::kStart && !markup.empty) ++depth;
    if (markup.kind == Markup::Kind::kEnd) --depth;
  }
  return kOk;
}

int VRN_xmlSpeaker::SkipStatement() {
  if (GetLexer() == nullptr) return qelta::kErrOutOfRange;
  Markup markup;
  for (;;) {
    const int rc = NextMarkup(&markup);
    if (rc != kOk) return rc;
    if (markup.kind == Markup::Kind::kEnd) return kOk;
  }
}

int VRN_xmlSpeaker::ReadTextElement(const Markup& start, std::string* text) {
  text->clear();
  if (start.empty) {
    return ReportFormatted(qelta::kErrSyntax, "ERROR: Empty <%s> element",
                           start.name.c_str());
  }
  bool nested = false;
  Markup markup;
  for (;;) {
    const int rc = NextMarkup(&markup);
    if (rc != kOk) return rc;
    if (markup.kind == Markup::Kind::kEnd) break;
    if (markup.kind == Markup::Kind::kText) {
      text->append(markup.literal ? markup.text
                                  : ResolveReferences(markup.text));
      continue;
    }
    if (IsKnownElement(markup.name)) {
      if (!nested) {
        ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unexpected element",
                        markup.name.c_str());
      }
      nested = true;
    }
    const int skip_rc = SkipElement(markup);
    if (skip_rc != kOk) return skip_rc;
  }
  if (nested) return qelta::kErrSyntax;
  *text = Trim(*text);
  if (text->empty()) {
    return ReportFormatted(qelta::kErrSyntax, "ERROR: Empty <%s> element",
                           start.name.c_str());
  }
  return kOk;
}

// ------------------------------------------------------------- reading

int VRN_xmlSpeaker::Read(const char* file_name) {
  // The lexer reads UTF-8: a file in another encoding is read from a UTF-8
  // copy, or refused.
  qelta::XmlUtf8Source source;
  std::string refusal;
  int rc = source.Prepare(file_name, &refusal);
  if (rc != kOk) return ReportError(rc, refusal.c_str());
  rc = CreateLexer(1, source.Path());
  if (rc != kOk) return rc;
  at_tag_ = false;
  network_name_.clear();
  named_.clear();
  next_number_.clear();
  defined_.clear();
  Markup markup;
  for (;;) {
    rc = NextMarkup(&markup);
    if (rc == qelta::kErrNoMoreTokens) {
      rc = ReportError(qelta::kErrOutOfRange, "ERROR: [BIF] : Tag Not found");
      DeleteLexer();
      return rc;
    }
    if (rc != kOk) {
      DeleteLexer();
      return rc;
    }
    if (markup.kind == Markup::Kind::kStart && NameIs(markup.name, "BIF")) {
      break;
    }
  }
  std::string version;
  if (!AttributeValue(markup.text, "VERSION", &version) ||
      (version = Trim(version)).empty() || version.size() > 3 ||
      std::string("0.3").compare(0, version.size(), version) != 0) {
    rc = ReportError(qelta::kErrOutOfRange, "ERROR: Incorrect BIF Version");
    DeleteLexer();
    return rc;
  }
  rc = kOk;
  const Markup bif = markup;
  // The first element skipped in BIF; fatal when no NETWORK was read.
  std::string skipped;
  bool network_read = false;
  while (!bif.empty) {
    rc = NextMarkup(&markup);
    if (rc != kOk) break;
    if (markup.kind == Markup::Kind::kText) continue;
    if (markup.kind == Markup::Kind::kEnd) {
      if (NameIs(markup.name, "BIF")) break;
      ReportFormatted(qelta::kErrSyntax, "ERROR: '</%s>' : Misplaced statement",
                      markup.name.c_str());
      continue;
    }
    if (NameIs(markup.name, "NETWORK")) {
      network_read = true;
      rc = ReadNetwork(markup);
    } else {
      if (skipped.empty()) skipped = markup.name;
      if (IsKnownElement(markup.name)) {
        ReportFormatted(qelta::kErrSyntax,
                        "ERROR: '%s' : Misplaced statement",
                        markup.name.c_str());
        NoteMisplaced(markup.name);
      }
      rc = SkipElement(markup);
    }
    if (rc != kOk) break;
  }
  if (rc == kOk && !network_read && !skipped.empty()) {
    // Reading on would answer success with an empty network.
    rc = ReportFormatted(qelta::kErrSyntax,
                         "ERROR: '%s' : Element skipped, no NETWORK read",
                         skipped.c_str());
  }
  if (rc == qelta::kErrNoMoreTokens) {
    ReportError(rc, "ERROR: Unexpected End of File");
  }
  if (rc == kOk && !network_name_.empty()) SetNetworkId();
  // No network is better than one that differs from the file.
  rc = TablesStatus(rc);
  DeleteLexer();
  return rc;
}

void VRN_xmlSpeaker::SetNetworkId() {
  // Set last: the network's identifier shares the nodes' namespace, and a
  // node named as the network keeps its own identifier.
  VRN_network* network = GetNetwork();
  VRN_header* header = network->Header();
  const std::string base = IdentifierFor(network_name_);
  std::string id = base;
  for (int k = 2; id != header->GetId() && network->IsIdInUse(id.c_str(), -1);
       ++k) {
    id = base + "_" + std::to_string(k);
  }
  (void)header->SetId(id.c_str());
}

namespace {

// Known elements but NAME and PROPERTY give a node, its outcomes, parents
// or table: one skipped where it does not belong (a VARIABLE closed early,
// one left open) would lose what it gives.
bool GivesNodePart(const std::string& name) {
  return IsKnownElement(name) && !NameIs(name, "NAME") &&
         !NameIs(name, "PROPERTY");
}

}  // namespace

void VRN_xmlSpeaker::NoteMisplaced(const std::string& name) {
  if (!GivesNodePart(name)) return;
  NoteTableNotBuilt();
  ReportFormatted(qelta::kErrFileIo,
                  "ERROR: '%s' : skipped where it stands, what it gives a "
                  "node would be lost",
                  name.c_str());
}

int VRN_xmlSpeaker::ReadNetwork(const Markup& start) {
  if (start.empty) return kOk;
  VRN_header* header = GetNetwork()->Header();
  network_name_.clear();
  Markup markup;
  for (;;) {
    int rc = NextMarkup(&markup);
    if (rc != kOk) return rc;
    if (markup.kind == Markup::Kind::kText) continue;
    if (markup.kind == Markup::Kind::kEnd) return kOk;
    if (NameIs(markup.name, "NAME")) {
      std::string name;
      rc = ReadTextElement(markup, &name);
      if (rc == kOk) {
        header->SetName(qelta::ValidUtf8Text(name.c_str()).c_str());
        network_name_ = name;
      }
    } else if (NameIs(markup.name, "PROPERTY")) {
      rc = SkipElement(markup);
    } else if (NameIs(markup.name, "VARIABLE")) {
      rc = ReadVariable(markup);
    } else if (NameIs(markup.name, "DEFINITION")) {
      rc = ReadDefinition(markup);
    } else if (!IsKnownElement(markup.name)) {
      rc = SkipElement(markup);
    } else {
      ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Misplaced statement",
                      markup.name.c_str());
      NoteMisplaced(markup.name);
      rc = SkipElement(markup);
    }
    if (IsInputFailure(rc)) return rc;
  }
}

int VRN_xmlSpeaker::ReadVariable(const Markup& start) {
  int type = qelta::kDefCpt;
  std::string kind;
  if (AttributeValue(start.text, "TYPE", &kind)) {
    kind = Trim(kind);
    if (NameIs(kind, "nature") || NameIs(kind, "chance")) {
      type = qelta::kDefCpt;
    } else if (NameIs(kind, "decision")) {
      type = qelta::kDefDecision;
    } else if (NameIs(kind, "utility")) {
      type = qelta::kDefUtility;
    } else {
      ReportFormatted(qelta::kErrSyntax, "ERROR: %s : Unknown node type",
                      kind.c_str());
      // The network would lack the node.
      NoteNodeNotCreated();
      ReportFormatted(qelta::kErrFileIo,
                      "ERROR: VARIABLE of TYPE %s : its node cannot be made",
                      kind.c_str());
      return SkipElement(start);
    }
  }
  VRN_network* network = GetNetwork();
  const int handle = network->AddNode(type, nullptr);
  if (handle < 0) {
    ReportError(handle, "ERROR: Couldn't Create Node");
    NoteNodeNotCreated();
    return SkipElement(start);
  }
  if (start.empty) return kOk;
  VRN_node* node = network->GetNode(handle);
  VRN_stringArray outcomes;
  bool outcome_lost = false;
  Markup markup;
  for (;;) {
    int rc = NextMarkup(&markup);
    if (rc != kOk) return rc;
    if (markup.kind == Markup::Kind::kText) continue;
    if (markup.kind == Markup::Kind::kEnd) break;
    std::string text;
    if (NameIs(markup.name, "NAME")) {
      rc = ReadTextElement(markup, &text);
      if (rc == kOk) {
        node->Header().SetName(qelta::ValidUtf8Text(text.c_str()).c_str());
        const int id_rc = SetNodeId(handle, text);
        if (id_rc != kOk) {
          ReportFormatted(id_rc, "ERROR: '%s' : Invalid node name",
                          text.c_str());
        }
        if (!named_.emplace(text, handle).second) {
          ReportFormatted(qelta::kErrSyntax,
                          "ERROR: '%s' : Variable name used before",
                          text.c_str());
        }
      }
    } else if (NameIs(markup.name, "OUTCOME")) {
      rc = ReadTextElement(markup, &text);
      if (rc == kOk) (void)outcomes.Add(text.c_str());
      // One left out would shift every later outcome's column.
      outcome_lost = outcome_lost || rc != kOk;
    } else if (NameIs(markup.name, "PROPERTY") ||
               !IsKnownElement(markup.name)) {
      rc = SkipElement(markup);
    } else {
      ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown Node Field",
                      markup.name.c_str());
      NoteMisplaced(markup.name);
      rc = SkipElement(markup);
    }
    if (IsInputFailure(rc)) return rc;
  }
  if (outcome_lost) {
    (void)OutcomesNotRead(node->GetId(), "OUTCOME", kOk);
  } else if (outcomes.GetSize() > 0) {
    VRN_idArray ids;
    qelta::MakeValidUtf8Identifiers(outcomes, &ids);
    const int rc = node->Definition()->SetNumberOfOutcomesByIds(ids);
    if (rc != kOk) (void)OutcomesNotRead(node->GetId(), "OUTCOME", rc);
  }
  return kOk;
}

int VRN_xmlSpeaker::ReadDefinition(const Markup& start) {
  if (start.empty) return kOk;
  int child = -1;
  std::vector<int> parents;
  std::vector<double> table;
  bool has_table = false;
  Markup markup;
  for (;;) {
    int rc = NextMarkup(&markup);
    if (rc != kOk) return rc;
    if (markup.kind == Markup::Kind::kText) continue;
    if (markup.kind == Markup::Kind::kEnd) break;
    std::string text;
    if (NameIs(markup.name, "FOR") || NameIs(markup.name, "GIVEN")) {
      const bool is_for = NameIs(markup.name, "FOR");
      rc = ReadTextElement(markup, &text);
      if (rc == kOk) {
        const int handle = FindNamed(text);
        if (handle < 0) {
          ReportFormatted(handle, "ERROR: Node [%s] not found", text.c_str());
          NoteTableNotBuilt();
        } else if (!is_for) {
          parents.push_back(handle);
        } else if (child < 0) {
          child = handle;
        }
      } else if (!is_for) {
        NoteTableNotBuilt();  // a parent given but not read
      }
    } else if (NameIs(markup.name, "TABLE")) {
      rc = ReadTextElement(markup, &text);
      if (rc == kOk) {
        table.clear();
        std::string bad;
        has_table = ParseNumbers(text, &table, &bad);
        if (!has_table) {
          ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Number expected",
                          bad.c_str());
        }
      }
      // A table given but not read would leave the default in its place.
      if (!has_table) NoteTableNotBuilt();
    } else if (NameIs(markup.name, "PROPERTY") ||
               !IsKnownElement(markup.name)) {
      rc = SkipElement(markup);
    } else {
      ReportFormatted(qelta::kErrSyntax,
                      "ERROR: '%s' : Unknown Definition Field",
                      markup.name.c_str());
      NoteMisplaced(markup.name);
      rc = SkipElement(markup);
    }
    if (IsInputFailure(rc)) return rc;
  }
  if (child < 0) {
    ReportError(qelta::kErrFileIo, "ERROR: DEFINITION without a known FOR node");
    NoteTableNotBuilt();
    return kOk;
  }
  VRN_network* network = GetNetwork();
  VRN_node* node = network->GetNode(child);
  defined_.resize(static_cast<std::size_t>(network->GetSlotCount()), false);
  // A second definition would add its parents to those of the first and
  // leave the table matching neither.
  if (defined_[static_cast<std::size_t>(child)]) {
    ReportFormatted(qelta::kErrSyntax,
                    "ERROR: Node [%s] has a definition already", node->GetId());
    NoteTableNotBuilt();
    return kOk;
  }
  defined_[static_cast<std::size_t>(child)] = true;
  // The table's size is checked before any arc grows it: a few bytes may
  // name more parents than any table could hold.
  VRN_nodeDef* definition = node->Definition();
  const bool chance = definition->GetType() == qelta::kDefCpt;
  const std::uint64_t cells = qelta::FamilyTableCells(*network, child, parents);
  const std::uint64_t columns = qelta::ParentConfigurations(*network, parents);
  if (cells > qelta::kReadTableCellLimit) {
    ReportFormatted(qelta::kErrFileIo,
                    "ERROR: Node [%s] : its table would have more than %llu "
                    "cells",
                    node->GetId(),
                    static_cast<unsigned long long>(qelta::kReadTableCellLimit));
    NoteTableNotBuilt();
    return kOk;
  }
  if (chance && !has_table && !parents.empty()) {
    ReportFormatted(qelta::kErrFileIo, "ERROR: Node [%s] : no TABLE is given",
                    node->GetId());
    NoteTableNotBuilt();
    return kOk;
  }
  const bool decision = definition->GetType() == qelta::kDefDecision;
  if (has_table && !decision &&
      (chance ? table.size() != cells : table.size() < columns)) {
    ReportFormatted(qelta::kErrFileIo,
                    "ERROR: Node [%s] : %d numbers in TABLE, %d in its table",
                    node->GetId(), static_cast<int>(table.size()),
                    static_cast<int>(chance ? cells : columns));
    NoteTableNotBuilt();
    return kOk;
  }
  for (int parent : parents) {
    const int rc = network->AddArc(parent, child, 0);
    if (rc != kOk) {
      ReportFormatted(rc, "ERROR: Couldn't add arc from node [%s] to node [%s]",
                      network->GetNode(parent)->GetId(), node->GetId());
      NoteTableNotBuilt();
    }
  }
  if (has_table && definition->GetType() == qelta::kDefDecision) {
    // A decision's choices are made, not drawn: there is no table to fill.
    ReportFormatted(qelta::kErrWrongNodeType,
                    "ERROR: [%s] : A decision node takes no TABLE",
                    node->GetId());
  } else if (has_table && TablesStatus(kOk) == kOk) {
    const int rc = definition->SetDefinitionFromVector(table);
    if (rc != kOk) {
      const VRN_matrix* matrix = definition->GetMatrixConst();
      ReportFormatted(rc,
                      "ERROR: Node [%s] : %d numbers in TABLE, %d in its table",
                      node->GetId(), static_cast<int>(table.size()),
                      matrix != nullptr ? matrix->GetItemCount() : 0);
      NoteTableNotBuilt();
    }
  }
  return kOk;
}

int VRN_xmlSpeaker::FindNamed(const std::string& name) const {
  const auto found = named_.find(name);
  if (found != named_.end()) return found->second;
  return GetNetwork()->FindNode(name.c_str());
}

int VRN_xmlSpeaker::SetNodeId(int handle, const std::string& name) {
  VRN_network* network = GetNetwork();
  const std::string base = IdentifierFor(name);
  std::string id = base;
  // Numbering goes on where it stopped for the same base, so that many
  // variables of one name do not cost quadratic time.
  int& k = next_number_[base];
  if (k < 2) k = 2;
  // Only another node's identifier is numbered away from: one the network
  // holds is taken, as the network writes such a node.
  for (int holder = network->FindNode(id.c_str());
       holder >= 0 && holder != handle;
       holder = network->FindNode(id.c_str())) {
    id = base + "_" + std::to_string(k++);
  }
  return SetFileNodeId(handle, id.c_str());
}

// ------------------------------------------------------------- writing

int VRN_xmlSpeaker::Write(const char* file_name) {
  // The file holds discrete variables only: an equation node would read
  // back without its intervals, and a multi-attribute utility node as a
  // utility node, which takes no utility parents. Checked before the file
  // is touched.
  VRN_network* network = GetNetwork();
  const int refused =
      qelta::RefuseUnwritable(this, *network, {"XMLBIF format", true, nullptr, true});
  if (refused != kOk) return refused;
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    const VRN_node* node = network->GetNode(h);
    const int type = node->Definition()->GetType();
    if (type == qelta::kDefMau || type == qelta::kDefEquation) {
      return ReportFormatted(qelta::kErrOutOfRange,
                             "ERROR: '%s' : Node type not supported by XMLBIF",
                             node->GetId());
    }
    // A character XML does not allow would make the file no XML at all.
    VRN_stringArray outcomes;
    qelta::FileOutcomeIds(*node->Definition(), &outcomes);
    bool xml = XmlWriter::IsXmlText(node->GetId());
    for (int i = 0; xml && i < outcomes.GetSize(); ++i) {
      xml = XmlWriter::IsXmlText(outcomes.Get(i));
    }
    if (!xml) {
      return ReportFormatted(qelta::kErrOutOfRange,
                             "ERROR: '%s' : cannot be saved in XMLBIF format: its "
                             "identifier or an outcome's holds a character XML "
                             "does not allow",
                             node->GetId());
    }
  }
  if (!XmlWriter::IsXmlText(network->Header()->GetId())) {
    return ReportFormatted(qelta::kErrOutOfRange,
                           "ERROR: Network '%s' cannot be saved in XMLBIF format: "
                           "its identifier holds a character XML does not allow",
                           network->Header()->GetId());
  }
  VRN_textOutput& out = Output();
  if (out.Open(file_name, VRN_textOutput::kOpenForWriting, GetErrorLog()) !=
      kOk) {
    return qelta::kErrFileWrite;
  }
  (void)out.SetIndentWidth(1);
  WriteLine("<?xml version=\"1.0\"?>");
  WriteLine("");
  WriteLine("<!--");
  WriteLine("\tBayesian network in XMLBIF v0.3 (BayesNet Interchange Format)");
  WriteLine("\tProduced by the qelta engine");
  WriteLine("-->");
  for (const char* line : kDtdLines) WriteLine(line);
  WriteLine("");
  WriteLine("<BIF VERSION=\"0.3\">");
  WriteLine("<NETWORK>");
  (void)out.Indent();
  WriteTextElement("NAME", network->Header()->GetId());
  const VRN_intArray order = network->PartialOrder();
  for (int handle : order) WriteNode(handle);
  for (int handle : order) WriteDefinition(handle);
  (void)out.Unindent();
  WriteLine("</NETWORK>");
  WriteLine("</BIF>");
  return CloseWrittenFile(file_name);
}

void VRN_xmlSpeaker::WriteLine(const std::string& text) {
  (void)WriteRawLine(text);
}

void VRN_xmlSpeaker::WriteTextElement(const char* name, const char* text) {
  WriteLine(std::string("<") + name + ">" + (text != nullptr ? text : "") +
            "</" + name + ">");
}

void VRN_xmlSpeaker::WriteNode(int handle) {
  VRN_node* node = GetNetwork()->GetNode(handle);
  const VRN_nodeDef* definition = node->Definition();
  const int type = definition->GetType();
  const char* word = "Unknown";
  if ((type & qelta::kDefBitDecision) != 0) {
    word = "decision";
  } else if ((type & (qelta::kDefBitChance | qelta::kDefBitDeterministic)) !=
             0) {
    word = "chance";
  } else if ((type & qelta::kDefBitUtility) != 0) {
    word = "utility";
  } else {
    ReportError(qelta::kErrOutOfRange, "ERROR: Unsupported node type");
  }
  WriteLine("");
  WriteLine(std::string("<VARIABLE TYPE=\"") + word + "\">");
  VRN_textOutput& out = Output();
  (void)out.Indent();
  WriteTextElement("NAME", node->GetId());
  VRN_stringArray outcomes;
  qelta::FileOutcomeIds(*definition, &outcomes);
  for (int i = 0; i < outcomes.GetSize(); ++i) {
    WriteTextElement("OUTCOME", outcomes.Get(i));
  }
  (void)out.Unindent();
  WriteLine("</VARIABLE>");
}

void VRN_xmlSpeaker::WriteDefinition(int handle) {
  VRN_network* network = GetNetwork();
  VRN_node* node = network->GetNode(handle);
  VRN_textOutput& out = Output();
  WriteLine("");
  WriteLine("<DEFINITION>");
  (void)out.Indent();
  WriteTextElement("FOR", node->GetId());
  for (int parent : node->Parents()) {
    const char* id = network->GetNode(parent)->GetId();
    WriteTextElement("GIVEN", id != nullptr ? id : "UnknownParent");
  }
  const VRN_matrix* table = node->Definition()->GetExpandedDefinition();
  if (table != nullptr && !table->IsEmpty()) {
    WriteLine("<TABLE>");
    (void)out.Indent();
    out.WriteIndent();
    for (int i = 0; i < table->GetItemCount(); ++i) {
      const std::string value =
          qelta::DoubleToFileText(table->GetItem(i)) + " ";
      out.Write(value.c_str(), kIndentMode);
    }
    out.Write("\n", kIndentMode);
    (void)out.Unindent();
    WriteLine("</TABLE>");
  }
  (void)out.Unindent();
  WriteLine("</DEFINITION>");
}
