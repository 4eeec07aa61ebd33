#include "base/error_log.h"

#include <cstring>
#include <cassert>
#include <memory>
#include <utility>

namespace {

constexpr char kDefaultFormat[] = "%d: %s\n";

// A text cut at a byte budget may end inside a multi-byte UTF-8 sequence;
// the Java side would reject such a string, so the partial sequence is
// dropped. Answers the length to keep (at most len).
std::size_t TrimPartialUtf8(const char* text, std::size_t len) {
  std::size_t i = len;
  for (int back = 0; i > 0 && back < 4; ++back) {
    --i;
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if ((b & 0xC0) == 0x80) continue;  // continuation byte
    std::size_t need = 1;
    if ((b & 0xE0) == 0xC0) {
      need = 2;
    } else if ((b & 0xF0) == 0xE0) {
      need = 3;
    } else if ((b & 0xF8) == 0xF0) {
      need = 4;
    }
    return len - i < need ? i : len;
  }
  return len;
}

// Clears a flag when the scope ends, also when the redirect throws.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

const char* VRN_ErrorCodeName(int code) {
  switch (code) {
    case 0: return "NO ERROR";
    case -1: return "GENERAL ERROR";
    case -2: return "OUT OF RANGE";
    case -3: return "NO ITEM";
    case -4: return "INVALID VALUE";
    case -5: return "NO USEFUL SAMPLES";
    case -19: return "WRONG NUM STATES";
    case -30: return "ILLEGAL IDENTIFIER";
    case -32: return "DUPLICATED IDENTIFIER";
    case -42: return "OUT OF MEMORY";
    case -51: return "WRONG NODE TYPE";
    case -100: return "FILE READ ERROR";
    case -101: return "FILE WRITE ERROR";
    case -102: return "END OF FILE";
    case -103: return "FILE I/O FAILED";
    case -111: return "NO MORE TOKENS";
    case -126: return "LEXICAL ERROR";
    case -127: return "SYNTAX ERROR";
    case -128: return "UNEXPECTED EOF";
    default: return "UNKNOWN ERROR CODE";
  }
}

// ---------------------------------------------------------------- redirects

VRN_loggerFileRedirect::VRN_loggerFileRedirect(std::FILE* stream,
                                               const char* format,
                                               bool owns_stream)
    : format_(format), owns_stream_(owns_stream) {
  assert(stream != nullptr);
  if (owns_stream) {
    stream_.reset(stream, [](std::FILE* f) { std::fclose(f); });
  } else {
    stream_.reset(stream, [](std::FILE*) {});
  }
}

VRN_loggerFileRedirect::VRN_loggerFileRedirect(
    std::shared_ptr<std::FILE> stream, const char* format, bool owns_stream)
    : stream_(std::move(stream)), format_(format), owns_stream_(owns_stream) {}

void VRN_loggerFileRedirect::Log(int code, const char* message) {
  std::fprintf(stream_.get(), format_ != nullptr ? format_ : kDefaultFormat,
               code, message != nullptr ? message : "");
  // Each line is out at once, so nothing is lost when the process ends
  // abruptly and readers of the file see it while the network lives.
  std::fflush(stream_.get());
}

VRN_loggerRedirect* VRN_loggerFileRedirect::Clone() const {
  return new VRN_loggerFileRedirect(stream_, format_, owns_stream_);
}

VRN_loggerLoggerRedirect::VRN_loggerLoggerRedirect(VRN_errorLog* target)
    : target_(target) {
  assert(target != nullptr);
}

void VRN_loggerLoggerRedirect::Log(int code, const char* message) {
  target_->LogError(code, message, nullptr);
}

VRN_loggerRedirect* VRN_loggerLoggerRedirect::Clone() const {
  return new VRN_loggerLoggerRedirect(target_);
}

// ---------------------------------------------------------------- log

namespace {

// Whether entries handed to redirect reach log through a chain of log-to-log
// redirects. Every link was checked when it was made, so the chain ends; the
// step bound only guards against damage.
bool Reaches(const VRN_loggerRedirect* redirect, const VRN_errorLog* log) {
  for (int steps = 0; redirect != nullptr && steps < (1 << 20); ++steps) {
    const auto* forward = dynamic_cast<const VRN_loggerLoggerRedirect*>(redirect);
    if (forward == nullptr) return false;
    if (forward->GetTarget() == log) return true;
    redirect = forward->GetTarget()->GetRedirect();
  }
  return false;
}

}  // namespace

VRN_errorLog::VRN_errorLog() = default;

VRN_errorLog::VRN_errorLog(const VRN_errorLog& other)
    : codes_(other.codes_), messages_(other.messages_) {
  if (other.redirect_ != nullptr) {
    redirect_ = other.redirect_owned_ ? other.redirect_->Clone()
                                      : other.redirect_;
    redirect_owned_ = other.redirect_owned_;
  }
}

VRN_errorLog& VRN_errorLog::operator=(const VRN_errorLog& other) {
  if (this == &other) return *this;
  std::unique_ptr<VRN_loggerRedirect> clone;
  if (other.redirect_ != nullptr && other.redirect_owned_) {
    clone.reset(other.redirect_->Clone());
  }
  codes_ = other.codes_;
  messages_ = other.messages_;
  ReleaseRedirect();
  // A redirect that would hand this log's entries back to it (other forwards
  // to this log) is not copied: they would go round for ever.
  if (Reaches(other.redirect_, this)) return *this;
  if (clone != nullptr) {
    redirect_ = clone.release();
    redirect_owned_ = true;
  } else {
    redirect_ = other.redirect_;
    redirect_owned_ = false;
  }
  return *this;
}

VRN_errorLog::~VRN_errorLog() { ReleaseRedirect(); }

void VRN_errorLog::ReleaseRedirect() {
  if (redirect_owned_) delete redirect_;
  redirect_ = nullptr;
  redirect_owned_ = false;
}

void VRN_errorLog::Keep(int code, const char* text) {
  messages_.Add(text);
  try {
    codes_.Add(code);
  } catch (...) {
    messages_.Delete(messages_.GetSize() - 1);
    throw;
  }
}

int VRN_errorLog::LogError(int code, const char* message, const char* prefix) {
  if (code == 0) return 0;
  if (message == nullptr) message = VRN_ErrorCodeName(code);
  const char* text = message;
  char buffer[kBufferSize];
  if (prefix != nullptr) {
    // prefix + message, cut to the buffer. strnlen stops at the budget, and
    // a string that reaches it has its next byte readable (NUL or more).
    const std::size_t limit = kBufferSize - 1;
    std::size_t len = strnlen(prefix, limit);
    std::memcpy(buffer, prefix, len);
    bool cut = prefix[len] != '\0';
    if (!cut) {
      const std::size_t take = strnlen(message, limit - len);
      std::memcpy(buffer + len, message, take);
      cut = message[take] != '\0';
      len += take;
    }
    if (cut) len = TrimPartialUtf8(buffer, len);
    buffer[len] = '\0';
    text = buffer;
  }
  if (redirect_ != nullptr && !forwarding_) {
    FlagScope scope(forwarding_);
    redirect_->Log(code, text);
  } else {
    Keep(code, text);
  }
  return code;
}

int VRN_errorLog::Logf(int code, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = LogfV(code, format, args);
  va_end(args);
  return result;
}

int VRN_errorLog::LogfV(int code, const char* format, va_list args) {
  if (code == 0) return 0;
  char buffer[kBufferSize];
  const int n = std::vsnprintf(buffer, sizeof(buffer), format, args);
  if (n < 0) {
    // Nothing sensible was formatted; the format itself still says what
    // went wrong.
    return LogError(code, format, nullptr);
  }
  if (n >= kBufferSize) {
    const std::size_t len = TrimPartialUtf8(buffer, kBufferSize - 1);
    buffer[len] = '\0';
  }
  return LogError(code, buffer, nullptr);
}

void VRN_errorLog::Flush() {
  codes_.Flush();
  messages_.Flush();
}

int VRN_errorLog::GetCode(int i) const {
  if (i < 0 || i >= codes_.GetSize()) return 0;
  return codes_[i];
}

const char* VRN_errorLog::GetMessage(int i) const {
  if (i < 0 || i >= codes_.GetSize()) return "";
  const char* message = messages_.Get(i);
  return message != nullptr ? message : "";
}

int VRN_errorLog::RedirectToFile(const char* path, const char* format) {
  if (path == nullptr) {
    RedirectToStream(nullptr, nullptr, false);
    return 0;
  }
  std::FILE* stream = std::fopen(path, "at");
  if (stream == nullptr) return qelta::kErrFileIo;
  RedirectToStream(stream, format, true);
  return 0;
}

void VRN_errorLog::RedirectToStream(std::FILE* stream, const char* format,
                                    bool owns_stream) {
  VRN_loggerRedirect* redirect = nullptr;
  if (stream != nullptr) {
    try {
      redirect = new VRN_loggerFileRedirect(stream, format, owns_stream);
    } catch (...) {
      if (owns_stream) std::fclose(stream);
      throw;
    }
  }
  ReleaseRedirect();
  redirect_ = redirect;
  redirect_owned_ = redirect != nullptr;
}

int VRN_errorLog::RedirectToLog(VRN_errorLog* target) {
  // Meeting this log along the target's chain of log-to-log redirects means
  // a cycle.
  if (target == this || (target != nullptr && Reaches(target->GetRedirect(), this))) {
    return qelta::kErrOutOfRange;
  }
  VRN_loggerRedirect* redirect =
      target != nullptr ? new VRN_loggerLoggerRedirect(target) : nullptr;
  ReleaseRedirect();
  redirect_ = redirect;
  redirect_owned_ = redirect != nullptr;
  return qelta::kOk;
}
