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

void ReportError(const char* name, int code) {
  throw qelta_exception(FormatEngineError(name, code, nullptr), code);
}

void ReportErrorWithMessage(const char* name, int code,
                            const std::string& extra) {
  throw qelta_exception(FormatEngineError(name, code, extra.c_str()), code);
}

void ReportNetworkError(const char* name, int code, const VRN_errorLog& log) {
  std::string extra;
  const int count = log.GetNumberOfMessages();
  for (int i = 0; i < count; ++i) {
    extra += '\n';
    extra += log.GetMessage(i);
  }
  ReportErrorWithMessage(name, code, extra);
}

namespace qelta {

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

bool IsAscii(const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  }
  return true;
}

}  // namespace qelta
