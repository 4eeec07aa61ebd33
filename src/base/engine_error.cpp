#include "base/engine_error.h"

#include <utf8.h>

#include <iterator>

#include "base/error_log.h"

std::string FormatEngineError(const char* name, int code, const char* extra) {
  std::string message = "QELTA error ";
  message += std::to_string(code);
  message += " in function ";
  if (name != nullptr) message += name;
  if (extra != nullptr && extra[0] != '\0') {
    message += ". ";
    message += extra;
  }
  return message;
}

namespace {

thread_local qelta::CallLogScope* t_call_log_scope = nullptr;

// Appends a line feed and each of the log's messages.
void AppendLog(const VRN_errorLog& log, std::string* extra) {
  const int count = log.GetNumberOfMessages();
  for (int i = 0; i < count; ++i) {
    *extra += '\n';
    *extra += log.GetMessage(i);
  }
}

// As AppendLog, leaving out what the text already says: a message the
// engine's own text holds and a message logged again by an outer step.
void AppendNewReasons(const VRN_errorLog& log, const std::string& own,
                      std::string* text) {
  const int count = log.GetNumberOfMessages();
  std::string lines = "\n";
  for (int i = 0; i < count; ++i) {
    const std::string message = log.GetMessage(i);
    if (message.empty() || own.find(message) != std::string::npos) continue;
    if (lines.find('\n' + message + '\n') != std::string::npos) continue;
    lines += message + '\n';
    *text += '\n';
    *text += message;
  }
}

[[noreturn]] void Throw(const char* name, int code, const std::string& extra) {
  throw qelta_exception(FormatEngineError(name, code, extra.c_str()), code);
}

}  // namespace

void ReportError(const char* name, int code) {
  ReportErrorWithMessage(name, code, std::string());
}

void ReportErrorWithMessage(const char* name, int code,
                            const std::string& extra) {
  const VRN_errorLog* log = qelta::CallLogScope::Current();
  if (log == nullptr) Throw(name, code, extra);
  std::string text = extra;
  AppendNewReasons(*log, extra, &text);
  Throw(name, code, text);
}

void ReportNetworkError(const char* name, int code, const VRN_errorLog& log) {
  std::string extra;
  AppendLog(log, &extra);
  Throw(name, code, extra);
}

namespace qelta {

CallLogScope::CallLogScope() noexcept : outer_(t_call_log_scope) {
  t_call_log_scope = this;
}

CallLogScope::~CallLogScope() { t_call_log_scope = outer_; }

void CallLogScope::Use(VRN_errorLog* log) {
  CallLogScope* scope = t_call_log_scope;
  if (scope == nullptr || log == nullptr || scope->log_ != nullptr) return;
  log->Flush();
  scope->log_ = log;
}

const VRN_errorLog* CallLogScope::Current() {
  return t_call_log_scope != nullptr ? t_call_log_scope->log_ : nullptr;
}

void Utf16ToUtf8(const std::uint16_t* units, std::size_t count,
                 std::string* out) {
  out->reserve(out->size() + count);
  utf8::utf16to8(units, units + count, std::back_inserter(*out));
}

std::vector<std::uint16_t> Utf8ToUtf16(const char* text, std::size_t length) {
  std::vector<std::uint16_t> units;
  units.reserve(length);
  utf8::utf8to16(text, text + length, std::back_inserter(units));
  return units;
}

std::size_t FindUnpairedSurrogate(const std::uint16_t* units,
                                  std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint16_t u = units[i];
    if (u < 0xD800 || u > 0xDFFF) continue;
    if (u <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      ++i;  // a lead followed by its trail
      continue;
    }
    return i;
  }
  return count;
}

bool IsAscii(const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  }
  return true;
}

}  // namespace qelta
