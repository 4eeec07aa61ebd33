#include "io/xml/xml_writer.h"

#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include <cstdint>
#include <iterator>
#include <string>

#include <utf8.h>

#include "network/change_guards.h"
#include "base/special_values.h"

namespace {

// The five XML special characters and their entities, built once.
struct EscapeTable {
  const char* entity[256] = {};
  EscapeTable() {
    entity[static_cast<unsigned char>('<')] = "&lt;";
    entity[static_cast<unsigned char>('>')] = "&gt;";
    entity[static_cast<unsigned char>('&')] = "&amp;";
    entity[static_cast<unsigned char>('"')] = "&quot;";
    entity[static_cast<unsigned char>('\'')] = "&apos;";
  }
};

const EscapeTable& Entities() {
  static const EscapeTable table;
  return table;
}

// Sixteen digits keep the texts short and familiar; a value they cannot
// carry exactly (1/6, 0.1 + 0.2) gets the seventeenth so that a reload
// gives back the very same double.
void FormatDouble(double value, char (&buffer)[64]) {
  qelta::ClassicLocaleScope classic_numbers;  // a point, whatever the locale
  snprintf(buffer, sizeof buffer, "%.16g", value);
  if (std::isfinite(value) && strtod(buffer, nullptr) != value) {
    snprintf(buffer, sizeof buffer, "%.17g", value);
  }
}

bool IsNonCharacter(std::uint32_t c) { return c == 0xFFFE || c == 0xFFFF; }

// text with each sequence that is not UTF-8, U+FFFE and U+FFFF replaced by
// U+FFFD (REQUIRES: !XmlWriter::IsXmlText(text)).
std::string ToXmlText(const char* text) {
  std::string valid;
  utf8::replace_invalid(text, text + std::strlen(text),
                        std::back_inserter(valid));
  std::string out;
  for (auto p = valid.begin(); p != valid.end();) {
    const std::uint32_t c = utf8::unchecked::next(p);
    utf8::unchecked::append(IsNonCharacter(c) ? 0xFFFD : c,
                            std::back_inserter(out));
  }
  return out;
}

}  // namespace

bool XmlWriter::IsXmlText(const char* text) {
  if (text == nullptr) return true;
  const char* end = text + std::strlen(text);
  const char* p = text;
  while (p != end && static_cast<unsigned char>(*p) < 0x80) ++p;
  if (p == end) return true;
  if (utf8::find_invalid(p, end) != end) return false;
  while (p != end) {
    if (IsNonCharacter(utf8::unchecked::next(p))) return false;
  }
  return true;
}

bool XmlWriter::HasDottedControlByte(const char* text) {
  for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
    const unsigned char byte = static_cast<unsigned char>(*p);
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') {
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------- outputs

XmlWriterFileOutput::~XmlWriterFileOutput() {
  if (file_ != nullptr) fclose(file_);
}

bool XmlWriterFileOutput::Open(const char* file_name) {
  assert(file_ == nullptr);
  if (file_name == nullptr) return false;
  file_ = VRN_Fopen(file_name, "wt");
  failed_ = false;
  return file_ != nullptr;
}

bool XmlWriterFileOutput::Close() {
  if (file_ == nullptr) return false;
  // Buffered data reaches the disk only here: a full disk shows at the
  // flush or the close, not at the writes.
  bool ok = !failed_ && ferror(file_) == 0;
  if (fflush(file_) != 0) ok = false;
  if (fclose(file_) != 0) ok = false;
  file_ = nullptr;
  return ok;
}

bool XmlWriterFileOutput::Write(const char* text) {
  if (file_ == nullptr || fputs(text, file_) == EOF) {
    failed_ = true;
    return false;
  }
  return true;
}

bool XmlWriterFileOutput::WriteChar(int character) {
  if (file_ == nullptr || fputc(character, file_) == EOF) {
    failed_ = true;
    return false;
  }
  return true;
}

// Running out of memory is a refused write like a full disk: the writer
// marks itself failed and the save reports it, and an end tag written
// while the stack unwinds cannot throw a second exception.
bool XmlWriterStringOutput::Write(const char* text) {
  try {
    text_->append(text);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

bool XmlWriterStringOutput::WriteChar(int character) {
  try {
    text_->push_back(static_cast<char>(character));
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- writer

void XmlWriter::SetOutput(IXmlWriterOutput* output) {
  output_ = output;
  failed_ = false;
}

void XmlWriter::Put(const char* text) {
  if (output_ == nullptr || !output_->Write(text)) failed_ = true;
}

void XmlWriter::PutChar(char c) {
  if (output_ == nullptr || !output_->WriteChar(static_cast<unsigned char>(c)))
    failed_ = true;
}

void XmlWriter::PutIndent() {
  // Capped, so that the text of a deep tree grows with its depth, not with
  // the square of it.
  const int tabs = depth_ < kMaxIndent ? depth_ : kMaxIndent;
  for (int i = 0; i < tabs; ++i) PutChar('\t');
}

void XmlWriter::PutEscaped(const char* text, int escape_mode) {
  if (!IsXmlText(text)) {
    const std::string repaired = ToXmlText(text);
    PutEscaped(repaired.c_str(), escape_mode);
    return;
  }
  const EscapeTable& table = Entities();
  for (const char* p = text; *p != '\0'; ++p) {
    const unsigned char byte = static_cast<unsigned char>(*p);
    if (table.entity[byte] != nullptr) {
      Put(table.entity[byte]);
    } else if (byte >= 32) {
      if (byte == '\\' && escape_mode != 0) {
        Put("\\\\");
      } else {
        PutChar(static_cast<char>(byte));
      }
    } else if (byte == '\r') {
      // A literal CR would reach the reader as LF (XML line-end handling).
      Put("&#13;");
    } else if (escape_mode == 0 && (byte == '\t' || byte == '\n')) {
      // Literal ones would turn into blanks in attribute values.
      Put(byte == '\t' ? "&#9;" : "&#10;");
    } else if (escape_mode != 0 && byte == '\t') {
      Put("\\t");
    } else if (escape_mode != 0 && byte == '\n') {
      Put("\\n");
    } else {
      // No other control character can appear in an XML 1.0 document.
      PutChar('.');
    }
  }
}

void XmlWriter::PutStartTag(const char* name) {
  PutIndent();
  PutChar('<');
  Put(name);
  for (const auto& attribute : pending_) {
    PutChar(' ');
    Put(attribute.first.c_str());
    Put("=\"");
    PutEscaped(attribute.second.c_str(), 0);
    PutChar('"');
  }
  pending_.clear();
}

void XmlWriter::WriteHeader(bool declaration) {
  depth_ = 0;
  if (declaration) Put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
}

void XmlWriter::StartElement(const char* name) {
  PutStartTag(name);
  Put(">\n");
  ++depth_;
}

void XmlWriter::EndElement(const char* name) {
  assert(depth_ > 0);
  if (depth_ > 0) --depth_;
  PutIndent();
  Put("</");
  Put(name);
  Put(">\n");
}

void XmlWriter::WriteTextElement(const char* name, const char* text,
                                 int escape_mode) {
  PutStartTag(name);
  if (text == nullptr) {
    Put(" />\n");
    return;
  }
  PutChar('>');
  PutEscaped(text, escape_mode);
  Put("</");
  Put(name);
  Put(">\n");
}

void XmlWriter::WriteComment(const char* text) {
  PutIndent();
  Put("<!-- ");
  // "--" may not appear inside a comment: a blank between the dashes keeps
  // the document well-formed whatever text the caller hands over.
  const std::string repaired = IsXmlText(text) ? std::string() : ToXmlText(text);
  if (!repaired.empty()) text = repaired.c_str();
  for (const char* p = text == nullptr ? "" : text; *p != '\0'; ++p) {
    PutChar(*p);
    if (*p == '-' && p[1] == '-') PutChar(' ');
  }
  Put(" -->\n");
}

void XmlWriter::WriteDoubleList(const char* name, const double* values,
                                int count, const char* special_text,
                                double special_value) {
  PutStartTag(name);
  PutChar('>');
  char buffer[64];
  for (int i = 0; i < count; ++i) {
    if (i > 0) PutChar(' ');
    if (special_text != nullptr && values[i] == special_value) {
      Put(special_text);
    } else {
      FormatDouble(values[i], buffer);
      Put(buffer);
    }
  }
  Put("</");
  Put(name);
  Put(">\n");
}

void XmlWriter::WriteStringList(const char* name, const char* const* strings,
                                int count) {
  PutStartTag(name);
  PutChar('>');
  for (int i = 0; i < count; ++i) {
    if (i > 0) PutChar(' ');
    if (IsXmlText(strings[i])) {
      Put(strings[i] == nullptr ? "" : strings[i]);
    } else {
      Put(ToXmlText(strings[i]).c_str());
    }
  }
  Put("</");
  Put(name);
  Put(">\n");
}

void XmlWriter::AddStringAttribute(const char* name, const char* value) {
  pending_.emplace_back(name, value == nullptr ? "" : value);
}

void XmlWriter::AddIntAttribute(const char* name, int value) {
  AddStringAttribute(name, std::to_string(value).c_str());
}

void XmlWriter::AddDoubleAttribute(const char* name, double value) {
  char buffer[64];
  FormatDouble(value, buffer);
  AddStringAttribute(name, buffer);
}

void XmlWriter::AddBoolAttribute(const char* name, bool value) {
  AddStringAttribute(name, value ? "true" : "false");
}

void XmlWriter::Release() { delete this; }
