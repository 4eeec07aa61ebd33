#include "io/xml/xml_reader.h"

#include <cassert>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "network/change_guards.h"
#include "base/error_log.h"
#include "base/special_values.h"
#include "base/status.h"

namespace {

// isspace restricted to ASCII: bytes of 0x80 and above belong to UTF-8
// sequences and never separate tokens.
bool IsXmlSpace(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return byte < 0x80 && std::isspace(byte) != 0;
}

// A frame mode's bits as the bindings declare them.
bool HasBit(int mode, int bit) { return (mode & bit) != 0; }

}  // namespace

// ---------------------------------------------------------------- streams

size_t XmlInputFileStream::Read(char* buffer, size_t size) {
  if (file_ == nullptr) return 0;
  return fread(buffer, 1, size, file_);
}

XmlInputStringStream::XmlInputStringStream(const char* text)
    : current_(text), end_(text == nullptr ? nullptr : text + strlen(text)) {}

size_t XmlInputStringStream::Read(char* buffer, size_t size) {
  const size_t rest = static_cast<size_t>(end_ - current_);
  const size_t count = size < rest ? size : rest;
  if (count > 0) memcpy(buffer, current_, count);
  current_ += count;
  return count;
}

// ---------------------------------------------------------------- bindings

XmlBinding::XmlBinding(IXmlHandler* handler, const char* name, int mode)
    : handler_(handler), name_(name), mode_(mode) {
  assert(name != nullptr);
}

void XmlBinding::AddChild(IXmlBinding* child, int flags) {
  XmlBinding* binding = dynamic_cast<XmlBinding*>(child);
  assert(binding != nullptr);
  if (binding == nullptr) return;  // not ours: it could never be matched
  children_.push_back({binding, flags});
}

void XmlBinding::AddAttribute(const char* name, bool required) {
  assert(name != nullptr);
  attributes_.push_back({name, required});
}

void XmlBinding::Release() { delete this; }

// ---------------------------------------------------------------- reader

XmlReader::XmlReader() = default;

XmlReader::~XmlReader() {
  if (parser_ != nullptr) XML_ParserFree(parser_);
}

bool XmlReader::ReadFile(const char* file_name, IXmlBinding* root,
                         IXmlErrorHandler* error_handler) {
  FILE* file = file_name == nullptr ? nullptr : VRN_Fopen(file_name, "rb");
  if (file == nullptr) {
    if (error_handler != nullptr) {
      std::string message = "Can't open file ";
      if (file_name != nullptr) message += file_name;
      error_handler->OnError(message.c_str(), 0, 0);
    }
    return false;
  }
  XmlInputFileStream input(file);
  bool ok = false;
  try {
    ok = Parse(input, root, error_handler);
  } catch (...) {
    fclose(file);
    throw;
  }
  fclose(file);
  return ok;
}

bool XmlReader::ReadString(const char* text, IXmlBinding* root,
                           IXmlErrorHandler* error_handler) {
  XmlInputStringStream input(text == nullptr ? "" : text);
  return Parse(input, root, error_handler);
}

bool XmlReader::Parse(IXmlInputStream& input, IXmlBinding* root,
                      IXmlErrorHandler* error_handler) {
  // Numbers in attributes and texts are read in the classic form whatever
  // locale the host process has set; this covers every handler's parsing.
  qelta::ClassicLocaleScope classic_numbers;
  assert(parser_ == nullptr);
  root_ = dynamic_cast<XmlBinding*>(root);
  assert(root_ != nullptr);
  error_handler_ = error_handler;
  stop_ = false;
  pending_exception_ = nullptr;
  frames_.clear();
  attributes_ = nullptr;

  parser_ = XML_ParserCreate(nullptr);
  if (parser_ == nullptr) throw std::bad_alloc();
  XML_SetUserData(parser_, this);
  XML_SetElementHandler(parser_, &XmlReader::StartThunk,
                        &XmlReader::EndThunk);
  XML_SetCharacterDataHandler(parser_, &XmlReader::TextThunk);

  bool result = false;
  if (root_ == nullptr) {
    Fatal("No root element declared");
  } else {
    char buffer[qelta::kXmlChunkSize];
    for (;;) {
      const size_t count = input.Read(buffer, sizeof buffer);
      const bool final_chunk = count < sizeof buffer;
      if (XML_Parse(parser_, buffer, static_cast<int>(count),
                    final_chunk ? 1 : 0) == XML_STATUS_ERROR) {
        // A handler that failed for want of memory leaves expat in no
        // reportable state; that failure is rethrown below instead.
        if (!pending_exception_ && error_handler_ != nullptr) {
          error_handler_->OnError(
              XML_ErrorString(XML_GetErrorCode(parser_)),
              static_cast<int>(XML_GetCurrentLineNumber(parser_)),
              static_cast<int>(XML_GetCurrentColumnNumber(parser_)));
        }
        result = false;
        break;
      }
      if (stop_) {
        result = false;
        break;
      }
      if (final_chunk) {
        result = true;
        break;
      }
    }
  }

  frames_.clear();
  attributes_ = nullptr;
  XML_ParserFree(parser_);
  parser_ = nullptr;
  if (pending_exception_) {
    std::exception_ptr pending = pending_exception_;
    pending_exception_ = nullptr;
    std::rethrow_exception(pending);
  }
  return result;
}

void XmlReader::Stop() {
  if (parser_ != nullptr) {
    XML_SetElementHandler(parser_, nullptr, nullptr);
    XML_SetCharacterDataHandler(parser_, nullptr);
  }
  stop_ = true;
}

void XmlReader::Abort(const char* message) {
  if (stop_) return;  // only the first failure of a parse is reported
  if (error_handler_ != nullptr) {
    int line = 0;
    int column = 0;
    GetPosition(line, column);
    error_handler_->OnError(message == nullptr ? "" : message, line, column);
  }
  Stop();
}

void XmlReader::Fatal(const std::string& message) { Abort(message.c_str()); }

void XmlReader::KeepException() {
  if (!pending_exception_) pending_exception_ = std::current_exception();
  Stop();
}

void XmlReader::GetPosition(int& line, int& column) const {
  if (parser_ == nullptr) {
    line = 0;
    column = 0;
    return;
  }
  line = static_cast<int>(XML_GetCurrentLineNumber(parser_));
  column = static_cast<int>(XML_GetCurrentColumnNumber(parser_));
}

const std::string& XmlReader::GetText() const {
  static const std::string kEmpty;
  return frames_.empty() ? kEmpty : frames_.back()->text;
}

void XmlReader::GetUnescapedText(std::string& out) const {
  const std::string& text = GetText();
  out.clear();
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      c = text[++i];
      if (c == 'n') {
        c = '\n';
      } else if (c == 't') {
        c = '\t';
      }
    }
    out += c;
  }
}

const char* XmlReader::FindAttribute(const char* name) const {
  if (attributes_ == nullptr || name == nullptr) return nullptr;
  for (const char** a = attributes_; a[0] != nullptr; a += 2) {
    if (strcmp(a[0], name) == 0) return a[1];
  }
  return nullptr;
}

void XmlReader::GetAttribute(const char* name, std::string& out) const {
  const char* value = FindAttribute(name);
  out = value == nullptr ? "" : value;
}

bool XmlReader::GetIntAttribute(const char* name, int& out,
                                int default_value) {
  const char* value = FindAttribute(name);
  if (value == nullptr) {
    out = default_value;
    return true;
  }
  // Trailing text is tolerated after a non-zero number ("12abc" is 12), as
  // older files hold such values; a zero must stand alone so that text
  // without digits is refused. An empty value and a number beyond int are
  // refused too rather than read as a made-up number.
  char* end = nullptr;
  errno = 0;
  const long number = strtol(value, &end, 10);
  const bool out_of_range =
      errno == ERANGE || number < INT_MIN || number > INT_MAX;
  const bool bad_zero = number == 0 && (*end != '\0' || end == value);
  if (out_of_range || bad_zero) {
    Fatal(std::string("Integer value expected for attribute '") + name + "'");
    return false;
  }
  out = static_cast<int>(number);
  return true;
}

bool XmlReader::GetInt64Attribute(const char* name, std::int64_t& out,
                                  std::int64_t default_value) {
  const char* value = FindAttribute(name);
  if (value == nullptr) {
    out = default_value;
    return true;
  }
  char* end = nullptr;
  errno = 0;
  const long long number = strtoll(value, &end, 10);
  const bool bad_zero = number == 0 && (*end != '\0' || end == value);
  if (errno == ERANGE || bad_zero) {
    Fatal(std::string("Integer value expected for attribute '") + name + "'");
    return false;
  }
  out = static_cast<std::int64_t>(number);
  return true;
}

bool XmlReader::GetDoubleAttribute(const char* name, double& out,
                                   double default_value) {
  const char* value = FindAttribute(name);
  if (value == nullptr) {
    out = default_value;
    return true;
  }
  char* end = nullptr;
  const double number = strtod(value, &end);
  if (number == 0.0 && (*end != '\0' || end == value)) {
    Fatal(std::string("Floating point value expected for attribute '") +
          name + "'");
    return false;
  }
  out = number;
  return true;
}

bool XmlReader::GetBoolAttribute(const char* name, bool& out,
                                 bool default_value) {
  const char* value = FindAttribute(name);
  if (value == nullptr) {
    out = default_value;
    return true;
  }
  if (strcmp(value, "true") == 0) {
    out = true;
    return true;
  }
  if (strcmp(value, "false") == 0) {
    out = false;
    return true;
  }
  Fatal(std::string("'true' or 'false' expected as value of boolean "
                    "attribute '") +
        name + "'");
  return false;
}

XmlBinding* XmlReader::CreateBinding(IXmlHandler* handler, const char* name,
                                     int mode) {
  return new (std::nothrow) XmlBinding(handler, name, mode);
}

void XmlReader::Release() { delete this; }

// ---------------------------------------------------------------- callbacks

void XMLCALL XmlReader::StartThunk(void* user, const XML_Char* name,
                                   const XML_Char** attributes) {
  XmlReader* reader = static_cast<XmlReader*>(user);
  if (reader->stop_) return;
  // Exceptions must not cross expat's C frames: keep it, stop, rethrow later.
  try {
    reader->OnStartElement(name, attributes);
  } catch (...) {
    reader->KeepException();
  }
}

void XMLCALL XmlReader::EndThunk(void* user, const XML_Char* name) {
  XmlReader* reader = static_cast<XmlReader*>(user);
  if (reader->stop_) return;
  try {
    reader->OnEndElement(name);
  } catch (...) {
    reader->KeepException();
  }
}

void XMLCALL XmlReader::TextThunk(void* user, const XML_Char* text,
                                  int length) {
  XmlReader* reader = static_cast<XmlReader*>(user);
  if (reader->stop_) return;
  try {
    reader->OnCharacterData(text, length);
  } catch (...) {
    reader->KeepException();
  }
}

void XmlReader::OnStartElement(const char* name, const char** attributes) {
  if (frames_.empty()) {
    if (root_->name() != name) {
      Fatal(std::string("Unknown root element '") + name + "', expected '" +
            root_->name() + "'");
      return;
    }
    PushBinding(root_, name, attributes);
    return;
  }
  if (frames_.size() >= qelta::kMaxXmlDepth) {
    Fatal(std::string("Element '") + name + "' nested too deeply");
    return;
  }
  Frame& parent = *frames_.back();
  if (parent.binding == nullptr) {
    frames_.push_back(std::make_unique<Frame>());  // inside an ignored element
    return;
  }
  for (const XmlBinding::Child& child : parent.binding->children()) {
    if (child.binding->name() != name) continue;
    const bool first = parent.met.insert(name).second;
    if (!first && !HasBit(child.flags, kXmlRepeat)) {
      Fatal(std::string("Multiple occurences of '") + name +
            "' not allowed in '" + parent.binding->name() + "'");
      return;
    }
    PushBinding(child.binding, name, attributes);
    return;
  }
  if (HasBit(parent.mode, kXmlStrictElements)) {
    Fatal(std::string("Unknown element '") + name + "' in '" +
          parent.binding->name() + "'");
    return;
  }
  if (error_handler_ != nullptr) {
    int line = 0;
    int column = 0;
    GetPosition(line, column);
    error_handler_->OnUnknownElement(name, parent.binding->name().c_str(),
                                     line, column);
  }
  frames_.push_back(std::make_unique<Frame>());
}

void XmlReader::PushBinding(XmlBinding* binding, const char* name,
                            const char** attributes) {
  const int parent_mode =
      frames_.empty() ? (kXmlStrictAttributes | kXmlStrictElements)
                      : frames_.back()->mode;
  const int mode =
      binding->mode() == kXmlInheritMode ? parent_mode : binding->mode();

  for (const XmlBinding::Attribute& declared : binding->attributes()) {
    if (!declared.required) continue;
    bool present = false;
    for (const char** a = attributes; a[0] != nullptr; a += 2) {
      if (declared.name == a[0]) {
        present = true;
        break;
      }
    }
    if (!present) {
      Fatal("Required attribute '" + declared.name +
            "' not found in element '" + name + "'");
      return;
    }
  }
  for (const char** a = attributes; a[0] != nullptr; a += 2) {
    bool declared = false;
    for (const XmlBinding::Attribute& attribute : binding->attributes()) {
      if (attribute.name == a[0]) {
        declared = true;
        break;
      }
    }
    if (declared) continue;
    if (HasBit(mode, kXmlStrictAttributes)) {
      Fatal(std::string("Unknown attribute '") + a[0] + "' in element '" +
            name + "'");
      return;
    }
    if (error_handler_ != nullptr) {
      int line = 0;
      int column = 0;
      GetPosition(line, column);
      error_handler_->OnUnknownAttribute(name, a[0], line, column);
    }
  }

  attributes_ = attributes;
  if (binding->handler() != nullptr) binding->handler()->OnStart(*this);
  attributes_ = nullptr;
  if (stop_) return;
  auto frame = std::make_unique<Frame>();
  frame->binding = binding;
  frame->mode = mode;
  frames_.push_back(std::move(frame));
}

void XmlReader::OnCharacterData(const char* text, int length) {
  if (frames_.empty()) return;
  Frame& frame = *frames_.back();
  if (frame.binding == nullptr) return;  // nobody reads an ignored element
  IXmlHandler* handler = frame.binding->handler();
  if (handler == nullptr || !handler->HasTextHandler()) {
    frame.text.append(text, static_cast<size_t>(length));
    return;
  }
  int i = 0;
  if (frame.text.empty()) {
    while (i < length && IsXmlSpace(text[i])) ++i;
  }
  while (i < length) {
    const int start = i;
    while (i < length && !IsXmlSpace(text[i])) ++i;
    frame.text.append(text + start, static_cast<size_t>(i - start));
    if (i == length) break;  // the token may go on in the next piece
    if (!frame.text.empty()) {
      handler->OnText(*this);
      if (stop_) return;
      frame.text.clear();
    }
    while (i < length && IsXmlSpace(text[i])) ++i;
  }
}

void XmlReader::OnEndElement(const char* name) {
  if (frames_.empty()) return;
  Frame& frame = *frames_.back();
  if (frame.binding != nullptr) {
    IXmlHandler* handler = frame.binding->handler();
    if (handler != nullptr) {
      if (handler->HasTextHandler() && !frame.text.empty()) {
        handler->OnText(*this);
        if (stop_) return;
        frame.text.clear();
      }
      handler->OnEnd(*this);
      if (stop_) return;
    }
    for (const XmlBinding::Child& child : frame.binding->children()) {
      if (!HasBit(child.flags, kXmlRequired)) continue;
      if (frame.met.count(child.binding->name()) == 0) {
        Fatal("Required element '" + child.binding->name() +
              "' not present in element '" + name + "'");
        return;
      }
    }
  }
  frames_.pop_back();
}

// ---------------------------------------------------------------- errors

void XmlErrorHandler::Init(const char* file_name, VRN_errorLog* log) {
  has_file_name_ = file_name != nullptr;
  file_name_ = has_file_name_ ? file_name : "";
  log_ = log;
  warnings_seen_ = false;
}

void XmlErrorHandler::AppendLocation(int line, int column,
                                     std::string& out) const {
  out += " at ";
  out += std::to_string(line);
  out += ", ";
  out += std::to_string(column);
  if (has_file_name_) {
    out += " while loading ";
    out += file_name_;
  }
}

void XmlErrorHandler::FormatMessage(const char* message, int line, int column,
                                    std::string& out) const {
  out = "Error";
  AppendLocation(line, column, out);
  out += ": ";
  if (message != nullptr) out += message;
}

void XmlErrorHandler::OnError(const char* message, int line, int column) {
  if (log_ == nullptr) return;
  std::string text;
  FormatMessage(message, line, column, text);
  log_->LogError(qelta::kErrFileIo, text.c_str(), nullptr);
}

void XmlErrorHandler::OnUnknownElement(const char* element,
                                       const char* parent, int line,
                                       int column) {
  warnings_seen_ = true;
  if (log_ == nullptr) return;
  std::string text = "Warning: Ignored unknown element '";
  text += element;
  text += "'";
  AppendLocation(line, column, text);
  log_->LogError(qelta::kErrFileRead, text.c_str(), nullptr);
}

void XmlErrorHandler::OnUnknownAttribute(const char* element,
                                         const char* attribute, int line,
                                         int column) {
  warnings_seen_ = true;
  if (log_ == nullptr) return;
  std::string text = "Warning: Ignored unknown attribute '";
  text += attribute;
  text += "' in '";
  text += element;
  text += "'";
  AppendLocation(line, column, text);
  log_->LogError(qelta::kErrFileRead, text.c_str(), nullptr);
}

void XmlErrorHandler::ReportUnknownContent() {
  if (!warnings_seen_ || log_ == nullptr) return;
  log_->LogError(qelta::kErrFileRead,
                 "XML contains unknown elements and/or attributes. ", nullptr);
}

bool XmlCheckVersion(IXmlReader& reader, const char* found,
                     const char* expected) {
  const char* found_text = found == nullptr ? "" : found;
  const char* expected_text = expected == nullptr ? "" : expected;
  if (atof(found_text) > atof(expected_text)) {
    reader.Abort((std::string("Invalid version number '") + found_text +
                  "', expected " + expected_text)
                     .c_str());
    return false;
  }
  return true;
}
