#include "io/text/format_helpers.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
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
#include "io/format.h"
#include "io/table_limit.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

int VRN_EscapeString(const char* source, std::string* destination) {
  destination->clear();
  if (source == nullptr) return qelta::kOk;
  for (const char* p = source; *p != '\0'; ++p) {
    switch (*p) {
      case '\t':
        destination->append("\\t");
        break;
      case '\n':
        destination->append("\\n");
        break;
      case '\r':
        destination->append("\\r");
        break;
      case '"':
        destination->append("\\\"");
        break;
      case '\\':
        destination->append("\\\\");
        break;
      default:
        destination->push_back(*p);
        break;
    }
  }
  return qelta::kOk;
}

namespace qelta {

namespace {

bool EqualIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char ca = static_cast<unsigned char>(*a);
    unsigned char cb = static_cast<unsigned char>(*b);
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
    if (ca != cb) return false;
    if (ca == '\0') return true;
  }
}

const char* TypeName(int type) {
  switch (type) {
    case kTokenIdentifier:
      return "Identifier";
    case kTokenInteger:
      return "Integer";
    case kTokenReal:
      return "Real Number";
    case kTokenPunctuator:
      return "Punctuator";
    case kTokenString:
      return "String";
    default:
      return nullptr;
  }
}

std::string ExpectedThing(int type, const char* text) {
  if (text != nullptr) return std::string("'") + text + "'";
  const char* name = TypeName(type);
  return name != nullptr ? name : "";
}

// The lexer's tokens made of punctuation characters.
bool IsPunctuationType(int type) {
  return type >= kTokenSlash && type <= kTokenSign;
}

void KeepFirst(int* rc, int step_rc) {
  if (*rc == kOk) *rc = step_rc;
}

std::string FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int size = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (size <= 0) return std::string();
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  std::vsnprintf(&text[0], text.size(), format, args);
  text.resize(static_cast<std::size_t>(size));
  return text;
}

constexpr int kIndentMode = VRN_textOutput::kModeIndent;

}  // namespace

int FileNumber(const char* text, double* value) {
  const int rc = VRN_StringToDouble(text, *value);
  if (rc != kOk) return rc;
  return std::isinf(*value) ? kErrOutOfRange : kOk;
}

std::string ValidUtf8Text(const char* text) {
  if (text == nullptr) return std::string();
  const char* end = text + std::strlen(text);
  if (utf8::is_valid(text, end)) return std::string(text, end);
  std::string repaired;
  utf8::replace_invalid(text, end, std::back_inserter(repaired));
  return repaired;
}

void FileOutcomeIds(const VRN_nodeDef& definition, VRN_stringArray* out) {
  out->Flush();
  const VRN_idArray* ids = definition.GetOutcomesNames();
  if (ids == nullptr) return;
  bool empty = false;
  for (int i = 0; i < ids->GetSize(); ++i) {
    if (ids->Get(i) == nullptr || ids->Get(i)[0] == '\0') empty = true;
  }
  const auto* discrete = dynamic_cast<const VRN_discDef*>(&definition);
  for (int i = 0; i < ids->GetSize(); ++i) {
    if (!empty || discrete == nullptr) {
      (void)out->Add(ids->Get(i));
    } else {
      (void)out->Add((std::string(discrete->GetDefaultOutcomePrefix()) +
                      std::to_string(i))
                         .c_str());
    }
  }
}

void MakeValidUtf8Identifiers(const VRN_stringArray& labels, VRN_idArray* out) {
  // A blank in place of each broken sequence fails the identifier rule, so
  // the repair below turns it into '_' and keeps the results distinct.
  VRN_stringArray sources;
  for (int i = 0; i < labels.GetSize(); ++i) {
    const char* label = labels.Get(i);
    if (label == nullptr || utf8::is_valid(label, label + std::strlen(label))) {
      (void)sources.Add(label);
      continue;
    }
    std::string source;
    utf8::replace_invalid(label, label + std::strlen(label),
                          std::back_inserter(source), ' ');
    (void)sources.Add(source.c_str());
  }
  VRN_MakeValidIdentifiers(sources, *out);
}

std::string DoubleToFileText(double value) {
  // The marker values keep their own texts, and whatever cannot be a
  // finite number keeps the engine's form.
  if (value == kUndefinedValue || value == kIllegalValue ||
      value == kNotAvailableValue || !std::isfinite(value)) {
    char buffer[kDoubleTextSize];
    VRN_DoubleToString(value, buffer);
    return buffer;
  }
  // The shortest text that reads back to the same double, in the classic
  // form whatever the locale.
  char buffer[64];
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof(buffer), value);
  return std::string(buffer, result.ptr);
}

TextFormatBase::TextFormatBase(VRN_errorLog* log) : log_(log) {}

TextFormatBase::~TextFormatBase() = default;

// ---------------------------------------------------------------- lexer

int TextFormatBase::CreateLexer(int dialect, const char* file_name) {
  lexer_.reset();
  std::unique_ptr<VRN_textLexer> lexer(new (std::nothrow)
                                           VRN_textLexer(dialect, GetErrorLog()));
  if (lexer == nullptr) return kErrOutOfMemory;
  const int rc = lexer->Open(file_name);
  if (rc != kOk) return rc;
  lexer_ = std::move(lexer);
  token_ = VRN_textToken();
  input_end_ = InputEnd::kNotYet;
  network_block_open_ = false;
  nested_blocks_ = 0;
  content_lost_ = false;
  return kOk;
}

void TextFormatBase::DeleteLexer() {
  lexer_.reset();
  token_ = VRN_textToken();
}

int TextFormatBase::GetLineNumber() const {
  return lexer_ != nullptr ? lexer_->GetLineNumber() : 0;
}

int TextFormatBase::Peek() {
  const int rc = lexer_->PeekToken(&token_);
  if (rc == kErrNoMoreTokens && input_end_ == InputEnd::kNotYet) {
    const bool may_end =
        between_statements_ && nested_blocks_ == 0 && !network_block_open_;
    input_end_ = may_end ? InputEnd::kBetweenStatements
                         : InputEnd::kInsideStatement;
  }
  return rc;
}

int TextFormatBase::PeekBetweenStatements() {
  between_statements_ = true;
  const int rc = PeekNext();
  between_statements_ = false;
  return rc;
}

int TextFormatBase::EndedInsideStatement() const {
  return input_end_ == InputEnd::kInsideStatement ? kErrNoMoreTokens : kOk;
}

int TextFormatBase::CutInputStatus(int status) const {
  return status != kOk && EndedInsideStatement() != kOk ? kErrNoMoreTokens
                                                        : status;
}

int TextFormatBase::ReportCutInput() {
  return ReportError(kErrNoMoreTokens,
                     "ERROR: Unexpected End of File inside a statement or "
                     "block, or before the network block is closed");
}

bool TextFormatBase::StopsSkip() {
  if (skip_guard_ == nullptr || token_.type != kTokenIdentifier ||
      TokenIsOneOf(skip_guard_) == 0) {
    return false;
  }
  content_lost_ = true;
  ReportFormatted(kErrFileIo,
                  "ERROR: '%s' : the statement or block before it is not "
                  "ended",
                  token_.text);
  return true;
}

int TextFormatBase::OutcomesNotRead(const char* id, const char* statement,
                                    int status) {
  content_lost_ = true;
  ReportFormatted(kErrFileIo,
                  "ERROR: Node [%s] : the outcomes of its %s statement "
                  "cannot be read",
                  id != nullptr ? id : "", statement);
  return status;
}

int TextFormatBase::PeekNext() {
  if (lexer_ == nullptr) return kErrOutOfRange;
  return Peek();
}

void TextFormatBase::ConsumeNext() {
  if (lexer_ != nullptr) lexer_->Consume();
}

// ---------------------------------------------------------------- tests

int TextFormatBase::TokenIs(const char* text) const {
  if (text == nullptr || token_.text == nullptr) return 0;
  if (case_sensitive_) return std::strcmp(token_.text, text) == 0 ? 1 : 0;
  return EqualIgnoringCase(token_.text, text) ? 1 : 0;
}

int TextFormatBase::TokenIsOneOf(const char* const* words) const {
  if (words == nullptr) return 0;
  for (; *words != nullptr; ++words) {
    if (TokenIs(*words)) return 1;
  }
  return 0;
}

bool TextFormatBase::IsPunctuator(const char* text) const {
  return token_.type == kTokenPunctuator && token_.text != nullptr &&
         std::strcmp(token_.text, text) == 0;
}

int TextFormatBase::NextIs(const char* text) {
  if (lexer_ == nullptr) return kErrOutOfRange;
  const int rc = Peek();
  if (rc == kErrNoMoreTokens) return rc;
  return rc == kOk ? TokenIs(text) : 0;
}

int TextFormatBase::NextIsOneOf(const char* const* words) {
  if (lexer_ == nullptr) return kErrOutOfRange;
  const int rc = Peek();
  if (rc == kErrNoMoreTokens) return rc;
  return rc == kOk ? TokenIsOneOf(words) : 0;
}

int TextFormatBase::NextIsComma() {
  if (lexer_ == nullptr) return kErrOutOfRange;
  const int rc = Peek();
  if (rc == kErrNoMoreTokens) return rc;
  return rc == kOk && IsPunctuator(",") ? 1 : 0;
}

int TextFormatBase::NextIsOpenParen() {
  if (lexer_ == nullptr) return kErrOutOfRange;
  const int rc = Peek();
  if (rc == kErrNoMoreTokens) return rc;
  return rc == kOk && IsPunctuator("(") ? 1 : 0;
}

int TextFormatBase::NextIsNumber() {
  if (lexer_ == nullptr) return kErrOutOfRange;
  const int rc = Peek();
  if (rc == kErrNoMoreTokens) return rc;
  return rc == kOk &&
                 (token_.type == kTokenInteger || token_.type == kTokenReal)
             ? 1
             : 0;
}

int TextFormatBase::NextIsInteger() {
  if (lexer_ == nullptr) return kErrOutOfRange;
  const int rc = Peek();
  if (rc == kErrNoMoreTokens) return rc;
  return rc == kOk && token_.type == kTokenInteger ? 1 : 0;
}

int TextFormatBase::NextIsIdentifier() {
  if (lexer_ == nullptr) return kErrOutOfRange;
  const int rc = Peek();
  if (rc == kErrNoMoreTokens) return rc;
  return rc == kOk && token_.type == kTokenIdentifier ? 1 : 0;
}

int TextFormatBase::NextIsString() {
  if (lexer_ == nullptr) return kErrOutOfRange;
  const int rc = Peek();
  if (rc == kErrNoMoreTokens) return rc;
  return rc == kOk && token_.type == kTokenString ? 1 : 0;
}

bool TextFormatBase::Matches(int type, const char* text) const {
  if (text == nullptr) return token_.type == type;
  if (token_.text == nullptr || std::strcmp(token_.text, text) != 0) {
    return false;
  }
  // "=" arrives as its own token type; it still is the punctuator "=".
  return token_.type == type ||
         (type == kTokenPunctuator && IsPunctuationType(token_.type));
}

int TextFormatBase::Expect(int type, const char* text) {
  if (lexer_ == nullptr) return kErrOutOfRange;
  const int rc = Peek();
  if (rc != kOk) return rc;
  if (!Matches(type, text)) return kErrSyntax;
  lexer_->Consume();
  return kOk;
}

int TextFormatBase::ExpectOrFail(int type, const char* text) {
  message_.clear();
  if (lexer_ == nullptr) {
    return ReportError(kErrSyntax, "ERROR: Unable to parse file");
  }
  if (Peek() != kOk) {
    return ReportError(kErrSyntax, ReportExpectedAtEnd(type, text).c_str());
  }
  if (!Matches(type, text)) {
    return ReportError(kErrSyntax, ReportExpected(type, text).c_str());
  }
  lexer_->Consume();
  return kOk;
}

const std::string& TextFormatBase::ReportExpected(int type, const char* text) {
  const char* token_text = token_.text != nullptr ? token_.text : "";
  message_ = "ERROR: '";
  message_ += token_text;
  if (TypeName(type) != nullptr) {
    message_ += "' : " + ExpectedThing(type, text) + " expected";
  } else {
    message_ += "' : Unexpected";
  }
  return message_;
}

const std::string& TextFormatBase::ReportExpectedAtEnd(int type,
                                                       const char* text) {
  if (TypeName(type) != nullptr) {
    message_ = "ERROR: End of File : Expecting " + ExpectedThing(type, text);
  } else {
    message_ = "ERROR: Unexpected End of File";
  }
  return message_;
}

// ---------------------------------------------------------------- readers

int TextFormatBase::ReadDouble(double* value) {
  if (lexer_ == nullptr) return kErrOutOfRange;
  const int rc = Peek();
  if (rc != kOk) return rc;
  if (token_.type != kTokenInteger && token_.type != kTokenReal) {
    return kErrSyntax;
  }
  const int convert_rc = FileNumber(token_.text, value);
  lexer_->Consume();
  return convert_rc;
}

int TextFormatBase::ReadInt(int* value) {
  if (lexer_ == nullptr) return kErrOutOfRange;
  const int rc = Peek();
  if (rc != kOk) return rc;
  if (token_.type != kTokenInteger) return kErrSyntax;
  const int convert_rc = VRN_StringToInt(token_.text, *value);
  lexer_->Consume();
  return convert_rc;
}

int TextFormatBase::ReadString(std::string* text) {
  if (lexer_ == nullptr) return kErrOutOfRange;
  const int rc = Peek();
  if (rc != kOk) return rc;
  if (token_.type != kTokenString) return kErrSyntax;
  text->assign(token_.text);
  lexer_->Consume();
  return kOk;
}

int TextFormatBase::ReadIdentifier(std::string* text) {
  if (lexer_ == nullptr) return kErrOutOfRange;
  const int rc = Peek();
  if (rc != kOk) return rc;
  if (token_.type != kTokenIdentifier) return kErrSyntax;
  text->assign(token_.text);
  lexer_->Consume();
  return kOk;
}

int TextFormatBase::SkipStatement() {
  if (lexer_ == nullptr) return kErrOutOfRange;
  int depth = 0;
  for (;;) {
    const int rc = Peek();
    if (rc != kOk) {
      VRN_errorLog* log = GetErrorLog();
      if (log != nullptr) log->LogError(rc, nullptr);
      return rc;
    }
    if (IsPunctuator("{")) {
      ++depth;
    } else if (IsPunctuator("}")) {
      // Consuming the "}" of the enclosing block would make its reader
      // take the statements after it for its own.
      if (depth == 0) return kOk;
      --depth;
    } else if (depth == 0 && IsPunctuator(";")) {
      return kOk;
    } else if (depth == 0 && StopsSkip()) {
      return kErrFileIo;
    }
    lexer_->Consume();
  }
}

int TextFormatBase::SkipField() { return SkipStatement(); }

template <typename ReadItem>
int TextFormatBase::ReadList(int (TextFormatBase::*next_is_item)(),
                             ReadItem read_item) {
  int rc = ExpectOrFail(kTokenPunctuator, "(");
  if (rc != kOk) return rc;
  if ((this->*next_is_item)() != 1) {
    return ExpectOrFail(kTokenPunctuator, ")");
  }
  for (;;) {
    rc = read_item();
    if (rc != kOk) return rc;
    if (Expect(kTokenPunctuator, ",") != kOk) {
      return ExpectOrFail(kTokenPunctuator, ")");
    }
  }
}

int TextFormatBase::ReadIdentifierList(VRN_stringArray* list) {
  std::string item;
  return ReadList(&TextFormatBase::NextIsIdentifier, [&]() {
    const int rc = ReadIdentifier(&item);
    return rc != kOk ? rc : list->Add(item.c_str());
  });
}

int TextFormatBase::ReadStringList(VRN_stringArray* list) {
  std::string item;
  return ReadList(&TextFormatBase::NextIsString, [&]() {
    const int rc = ReadString(&item);
    return rc != kOk ? rc : list->Add(item.c_str());
  });
}

int TextFormatBase::ReadDoubleList(VRN_doubleArray* list) {
  return ReadList(&TextFormatBase::NextIsNumber, [&]() {
    double value = 0.0;
    const int rc = ReadDouble(&value);
    if (rc == kOk) list->Add(value);
    return rc;
  });
}

int TextFormatBase::ReadIntList(VRN_intArray* list) {
  return ReadList(&TextFormatBase::NextIsInteger, [&]() {
    int value = 0;
    const int rc = ReadInt(&value);
    if (rc == kOk) list->Add(value);
    return rc;
  });
}

int TextFormatBase::ReadFieldHeader(const char* name, int type) {
  if (name == nullptr) return kErrOutOfRange;
  if (lexer_ == nullptr || Peek() != kOk) return kErrWrongFieldName;
  if (token_.type != kTokenIdentifier || std::strcmp(token_.text, name) != 0) {
    return kErrWrongFieldName;
  }
  lexer_->Consume();
  const int rc = ExpectOrFail(kTokenPunctuator, "=");
  if (rc != kOk) return rc;
  return ExpectOrFail(type, nullptr);
}

int TextFormatBase::ReadIntField(const char* name, int* value) {
  const int rc = ReadFieldHeader(name, kTokenInteger);
  if (rc != kOk) return rc;
  return VRN_StringToInt(token_.text, *value);
}

int TextFormatBase::ReadBoolField(const char* name, int* value) {
  const int rc = ReadFieldHeader(name, kTokenIdentifier);
  if (rc != kOk) return rc;
  if (TokenIs("TRUE")) {
    *value = 1;
    return kOk;
  }
  if (TokenIs("FALSE")) {
    *value = 0;
    return kOk;
  }
  return ReportFormatted(kErrSyntax, "ERROR: (\"%s\") : int Expected",
                         token_.text);
}

int TextFormatBase::ReadBlockStart(const char* name) { return kOk; }

int TextFormatBase::ReadBlockEnd() {
  return ExpectOrFail(kTokenPunctuator, "}");
}

int TextFormatBase::IsBlockEnd() {
  if (lexer_ == nullptr || PeekBetweenStatements() != kOk) return 1;
  return IsPunctuator("}") ? 1 : 0;
}

// ---------------------------------------------------------------- messages

int TextFormatBase::ReportError(int code, const char* message) {
  if (code == kOk) return kOk;
  VRN_errorLog* log = GetErrorLog();
  if (log == nullptr) return code;
  if (lexer_ == nullptr) {
    return message != nullptr
               ? log->LogError(code, ValidUtf8Text(message).c_str())
               : log->LogError(code, nullptr);
  }
  // Composed here rather than by the log, so a long message stays whole.
  std::string text = "(line " + std::to_string(lexer_->GetLineNumber()) + ") : ";
  text += ValidUtf8Text(message != nullptr ? message : VRN_ErrorCodeName(code));
  return log->LogError(code, text.c_str());
}

int TextFormatBase::ReportFormatted(int code, const char* format, ...) {
  if (code == kOk) return kOk;
  va_list args;
  va_start(args, format);
  const std::string message = FormatV(format, args);
  va_end(args);
  return ReportError(code, message.c_str());
}

// ---------------------------------------------------------------- writers

int TextFormatBase::SetLineWidth(int width) {
  return output_.SetLineWidth(width);
}

int TextFormatBase::CloseWrittenFile(const char* file_name) {
  if (output_.Close() == kOk) return kOk;
  return ReportFormatted(kErrFileWrite, "ERROR: Can't write the file %s",
                         file_name != nullptr ? file_name : "");
}

int TextFormatBase::WriteIndented(const char* text, bool escape) {
  if (text == nullptr) return kOk;
  if (!escape) return output_.WriteLine(text, kIndentMode);
  std::string escaped;
  VRN_EscapeString(text, &escaped);
  return output_.WriteLine(escaped.c_str(), kIndentMode);
}

int TextFormatBase::WriteText(const char* text, bool escape) {
  if (text == nullptr) return kOk;
  if (!escape) return output_.Write(text, kIndentMode);
  std::string escaped;
  VRN_EscapeString(text, &escaped);
  BeginContinuation();
  const int rc = output_.GetContinuation().empty()
                     ? output_.WriteRaw(escaped.c_str(), kIndentMode)
                     : output_.Write(escaped.c_str(), kIndentMode);
  EndContinuation();
  return rc;
}

int TextFormatBase::WriteFieldName(const char* name) {
  int rc = WriteIndented(name, false);
  KeepFirst(&rc, output_.Write(" = ", kIndentMode));
  return rc;
}

int TextFormatBase::WriteFieldEnd() { return output_.Write(";\n", kIndentMode); }

namespace {

// "(" item_text(0) separator item_text(1) ... ")".
template <typename ItemText>
std::string JoinedList(int count, const char* separator, ItemText item_text) {
  std::string text = "(";
  for (int i = 0; i < count; ++i) {
    if (i > 0) text += separator;
    text += item_text(i);
  }
  text += ")";
  return text;
}

}  // namespace

int TextFormatBase::WriteNumberList(const VRN_doubleArray& list,
                                    const char* separator) {
  const std::string text = JoinedList(
      list.GetSize(), separator, [&](int i) { return DoubleToFileText(list[i]); });
  return output_.Write(text.c_str(), kIndentMode);
}

int TextFormatBase::WriteWholeNumberList(const VRN_intArray& list,
                                         const char* separator) {
  const std::string text = JoinedList(
      list.GetSize(), separator, [&](int i) { return std::to_string(list[i]); });
  return output_.Write(text.c_str(), kIndentMode);
}

int TextFormatBase::WriteQuotedList(const VRN_stringArray& list,
                                    const char* separator) {
  const std::string text = JoinedList(list.GetSize(), separator, [&](int i) {
    std::string escaped;
    VRN_EscapeString(list.Get(i), &escaped);
    return '"' + escaped + '"';
  });
  return output_.WriteRaw(text.c_str(), kIndentMode);
}

int TextFormatBase::WriteRawLine(const std::string& text) {
  int rc = text.empty() ? kOk : output_.WriteIndent();
  KeepFirst(&rc, output_.WriteRaw((text + "\n").c_str(), kIndentMode));
  return rc;
}

int TextFormatBase::WriteFieldLine(const char* name, const char* separator,
                                   const char* value, bool quoted, bool escape,
                                   bool wrap) {
  if (name == nullptr || value == nullptr) return kOk;
  std::string text = std::string(name) + separator;
  if (quoted) text += '"';
  if (escape) {
    std::string escaped;
    VRN_EscapeString(value, &escaped);
    text += escaped;
  } else {
    text += value;
  }
  if (quoted) text += '"';
  text += ";\n";
  int rc = output_.WriteIndent();
  KeepFirst(&rc, wrap ? output_.Write(text.c_str(), kIndentMode)
                      : output_.WriteRaw(text.c_str(), kIndentMode));
  return rc;
}

int TextFormatBase::WriteBlockOpening(const char* name, bool wrap) {
  if (name == nullptr) return kOk;
  const std::string text = std::string(name) + " {\n";
  int rc = wrap ? output_.WriteLine(text.c_str(), kIndentMode)
                : WriteRawLine(text.substr(0, text.size() - 1));
  (void)output_.Indent();
  return rc;
}

template <typename List>
int TextFormatBase::WriteListField(
    const char* name, const List& list, int flag,
    int (TextFormatBase::*write_list)(const List&, int)) {
  if (name == nullptr) return kOk;
  int rc = WriteFieldName(name);
  KeepFirst(&rc, (this->*write_list)(list, flag));
  KeepFirst(&rc, WriteFieldEnd());
  return rc;
}

int TextFormatBase::WriteIdentifierListField(const char* name,
                                             const VRN_stringArray& list,
                                             int flag) {
  return WriteListField(name, list, flag, &TextFormatBase::WriteIdentifierList);
}

int TextFormatBase::WriteIdentifierList(const VRN_stringArray& list,
                                        int flag) {
  int rc = output_.Write("(", kIndentMode);
  for (int i = 0; i < list.GetSize(); ++i) {
    if (i > 0) KeepFirst(&rc, output_.Write(", ", kIndentMode));
    const char* item = list.Get(i);
    KeepFirst(&rc, output_.WriteRaw(item != nullptr ? item : "", kIndentMode));
  }
  KeepFirst(&rc, output_.Write(")", kIndentMode));
  return rc;
}

int TextFormatBase::WriteStringListField(const char* name,
                                         const VRN_stringArray& list,
                                         int flag) {
  return WriteListField(name, list, flag, &TextFormatBase::WriteStringList);
}

int TextFormatBase::WriteStringList(const VRN_stringArray& list, int flag) {
  int rc = output_.Write("(", kIndentMode);
  for (int i = 0; i < list.GetSize(); ++i) {
    if (i == 0) {
      KeepFirst(&rc, output_.WriteRaw("\"", kIndentMode));
    } else {
      KeepFirst(&rc, output_.WriteRaw(",", kIndentMode));
      const bool near_end =
          output_.GetLineWidth() - output_.GetColumn() < 3;
      KeepFirst(&rc, output_.WriteRaw(near_end ? "\n\"" : " \"", kIndentMode));
    }
    const char* item = list.Get(i);
    KeepFirst(&rc, WriteText(item != nullptr ? item : "", true));
    KeepFirst(&rc, output_.WriteRaw("\"", kIndentMode));
  }
  KeepFirst(&rc, output_.Write(")", kIndentMode));
  return rc;
}

int TextFormatBase::WriteDoubleListField(const char* name,
                                         const VRN_doubleArray& list,
                                         int flag) {
  return WriteListField(name, list, flag, &TextFormatBase::WriteDoubleList);
}

int TextFormatBase::WriteDoubleList(const VRN_doubleArray& list, int flag) {
  return WriteNumberList(list, ", ");
}

int TextFormatBase::WriteIntListField(const char* name,
                                      const VRN_intArray& list, int flag) {
  return WriteListField(name, list, flag, &TextFormatBase::WriteIntList);
}

int TextFormatBase::WriteIntList(const VRN_intArray& list, int flag) {
  return WriteWholeNumberList(list, ", ");
}

int TextFormatBase::WriteStringField(const char* name, const char* value,
                                     bool quoted, bool escape) {
  if (name == nullptr || value == nullptr) return kOk;
  int rc = WriteFieldName(name);
  if (quoted) {
    KeepFirst(&rc, output_.WriteRaw("\"", kIndentMode));
    // An unescaped quoted value cannot be wrapped: a line break inside a
    // string would become part of it.
    KeepFirst(&rc, escape ? WriteText(value, true)
                          : output_.WriteRaw(value, kIndentMode));
    KeepFirst(&rc, output_.WriteRaw("\"", kIndentMode));
  } else if (escape) {
    KeepFirst(&rc, WriteText(value, true));
  } else {
    KeepFirst(&rc, output_.WriteRaw(value, kIndentMode));
  }
  KeepFirst(&rc, WriteFieldEnd());
  return rc;
}

int TextFormatBase::WriteIntField(const char* name, int value) {
  if (name == nullptr) return kOk;
  int rc = WriteFieldName(name);
  KeepFirst(&rc, output_.Write(std::to_string(value).c_str(), kIndentMode));
  KeepFirst(&rc, WriteFieldEnd());
  return rc;
}

int TextFormatBase::WriteBoolField(const char* name, bool value) {
  if (name == nullptr) return kOk;
  int rc = WriteFieldName(name);
  KeepFirst(&rc, output_.Write(value ? "TRUE" : "FALSE", kIndentMode));
  KeepFirst(&rc, WriteFieldEnd());
  return rc;
}

int TextFormatBase::WriteQuotedStringField(const char* name,
                                           const char* value) {
  return WriteStringField(name, value, true, true);
}

int TextFormatBase::WriteBlockStart(const char* name) { return kOk; }

int TextFormatBase::WriteBlockEnd() {
  // At level 0 the unindents have nothing to take away.
  (void)output_.Unindent();
  const int rc = output_.WriteLine("};\n", kIndentMode);
  (void)output_.Unindent();
  return rc;
}

// ---------------------------------------------------------------- refusals

namespace {

int RefuseTemporalNodes(TextFormatBase* format, const VRN_network& network,
                        const char* format_name) {
  if (!network.HasTemporalNodes()) return kOk;
  return format->ReportError(
      kErrOutOfRange,
      (std::string("ERROR: This network has temporal nodes and cannot be "
                   "saved in ") +
       format_name + "; only the XML network file holds dynamic networks")
          .c_str());
}

int RefuseOversizedTables(TextFormatBase* format, const VRN_network& network,
                          const char* format_name) {
  for (int h = network.GetFirstNode(); h >= 0; h = network.GetNextNode(h)) {
    const VRN_node* node = network.GetNode(h);
    if (node->Definition()->GetType() == kDefEquation) continue;
    const std::vector<int> parents(node->Parents().begin(), node->Parents().end());
    if (FamilyTableCells(network, h, parents) <= kReadTableCellLimit) continue;
    return format->ReportError(
        kErrOutOfRange,
        (std::string("ERROR: Node [") + node->GetId() + "] cannot be saved in " + format_name +
         ": its table would have more than " + std::to_string(kReadTableCellLimit) + " cells")
            .c_str());
  }
  return kOk;
}

bool IsUtf8(const char* text) { return ValidUtf8Text(text) == (text != nullptr ? text : ""); }

// The node's identifier, or the first of its outcome identifiers as the
// file names them, that is not UTF-8, as "identifier" or "identifier of
// outcome i"; empty when all are.
std::string NonUtf8Identifier(const VRN_node& node) {
  if (!IsUtf8(node.GetId())) return "identifier";
  VRN_stringArray ids;
  FileOutcomeIds(*node.Definition(), &ids);
  for (int i = 0; i < ids.GetSize(); ++i) {
    if (!IsUtf8(ids.Get(i))) return "identifier of outcome " + std::to_string(i);
  }
  return std::string();
}

// Logged as it is, without the repair ReportError makes of a file's text:
// the message names the node (network, submodel) by its own identifier.
int Refuse(TextFormatBase* format, const char* what, const char* id,
           const char* format_name, const std::string& why) {
  VRN_errorLog* log = format->GetErrorLog();
  if (log == nullptr) return kErrFileIo;
  return log->LogError(kErrFileIo, (std::string("ERROR: ") + what + " [" + (id ? id : "") +
                                    "] cannot be saved in " + format_name + ": " + why)
                                       .c_str());
}

int RefuseNode(TextFormatBase* format, const VRN_node& node,
               const char* format_name, const std::string& why) {
  return Refuse(format, "Node", node.GetId(), format_name, why);
}

constexpr char kRepaired[] =
    " holds bytes that are not UTF-8, which reading would repair into another identifier";

// The first user property whose name is not UTF-8, as "its user property
// 'name'"; empty when there is none.
std::string NonUtf8Property(const VRN_userProperties& properties) {
  for (int i = 0; i < properties.GetSize(); ++i) {
    if (!IsUtf8(properties.GetPropertyName(i))) {
      return std::string("its user property '") + properties.GetPropertyName(i) + "'";
    }
  }
  return std::string();
}

// The network's identifier, its user properties' names and its submodels'
// identifiers, where the rules say the file holds them.
int RefuseNonUtf8NetworkParts(TextFormatBase* format, const VRN_network& network,
                              const TextWriterRules& rules) {
  const char* id = network.Header()->GetId();
  if (rules.network_id && !IsUtf8(id)) {
    return Refuse(format, "Network", id, rules.format_name,
                  std::string("its identifier") + kRepaired);
  }
  if (!rules.network_parts) return kOk;
  const std::string property = NonUtf8Property(network.UserProperties());
  if (!property.empty()) {
    return Refuse(format, "Network", id, rules.format_name, property + kRepaired);
  }
  const VRN_submodelTable& table = *network.Submodels();
  for (int s = table.GetFirstSubmodel(); s >= 0; s = table.GetNextSubmodel(s)) {
    const char* submodel = table.GetSubmodel(s)->Header().GetId();
    if (!IsUtf8(submodel)) {
      return Refuse(format, "Submodel", submodel, rules.format_name,
                    std::string("its identifier") + kRepaired);
    }
  }
  return kOk;
}

}  // namespace

int ExplainKindRefusal(TextFormatBase* format, const VRN_node& node, const std::string& why) {
  return format->ReportError(kErrOutOfRange, (std::string("ERROR: Node [") + node.GetId() +
                                              "] is of type " +
                                              node.Definition()->GetTypeName() + ": " + why)
                                                 .c_str());
}

int RefuseUnwritable(TextFormatBase* format, const VRN_network& network,
                     const TextWriterRules& rules) {
  int rc = RefuseTemporalNodes(format, network, rules.format_name);
  if (rc == kOk && rules.full_tables) {
    rc = RefuseOversizedTables(format, network, rules.format_name);
  }
  if (rc != kOk) return rc;
  for (int h = network.GetFirstNode(); h >= 0; h = network.GetNextNode(h)) {
    const VRN_node& node = *network.GetNode(h);
    if (rules.mau_refusal != nullptr && node.Definition()->GetType() == kDefMau) {
      (void)format->ReportError(kErrOutOfRange, rules.mau_refusal);
      return ExplainKindRefusal(format, node,
                                std::string(rules.format_name) +
                                    " has no place for multi-attribute utility nodes");
    }
  }
  rc = RefuseNonUtf8NetworkParts(format, network, rules);
  if (rc != kOk) return rc;
  for (int h = network.GetFirstNode(); h >= 0; h = network.GetNextNode(h)) {
    const VRN_node& node = *network.GetNode(h);
    std::string field = NonUtf8Identifier(node);
    if (!field.empty()) field = "its " + field;
    if (field.empty() && rules.node_properties) field = NonUtf8Property(node.UserProperties());
    if (!field.empty()) return RefuseNode(format, node, rules.format_name, field + kRepaired);
    if (HasNonFiniteEntry(*node.Definition())) {
      return RefuseNode(format, node, rules.format_name,
                        "an entry of its table is not a finite number");
    }
  }
  return kOk;
}

}  // namespace qelta
