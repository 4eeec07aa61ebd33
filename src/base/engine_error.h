// The half of the Java binding's frame that needs no Java virtual machine.
//
// qelta_exception carries an engine failure (status code and message) from
// the point where the binding detects it to the outermost frame of a JNI
// export, which turns it into a Java QELTAException. The reporters below
// build its message from the engine operation's name, the status and an
// optional detail text or the network's error log. The UTF helpers convert
// between Java's UTF-16 and the engine's UTF-8.
//
// Only the binding throws qelta_exception; engine operations report by
// status. Everything here lives in the binding's layer, beside the engine,
// so that it can be tested without a JVM.
//
// Thread use: the functions keep no state.
#ifndef QELTA_BASE_ENGINE_ERROR_H_
#define QELTA_BASE_ENGINE_ERROR_H_

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class VRN_errorLog;

// An engine failure on its way to Java: the message that the Java exception
// will carry and the engine status code (negative). Copyable.
class qelta_exception : public std::runtime_error {
 public:
  qelta_exception(const std::string& message, int code)
      : std::runtime_error(message), code_(code) {}

  int code() const noexcept { return code_; }

 private:
  int code_;
};

// "QELTA error " + decimal code + " in function " + name, followed by ". " +
// extra when extra is neither null nor empty. A null name counts as "".
std::string FormatEngineError(const char* name, int code, const char* extra);

// Throws a qelta_exception with code and the message FormatEngineError makes
// of name and code, without extra text.
[[noreturn]] void ReportError(const char* name, int code);

// As ReportError, with extra as the detail text (used where the engine call
// filled an error text of its own).
[[noreturn]] void ReportErrorWithMessage(const char* name, int code,
                                         const std::string& extra);

// As ReportError, with the log's messages as the detail text: for each
// entry, a line feed followed by the message. An empty log adds nothing.
[[noreturn]] void ReportNetworkError(const char* name, int code,
                                     const VRN_errorLog& log);

// ReportError and ReportErrorWithMessage also carry the messages of the
// current call's log (see qelta::CallLogScope) when one is in use: the
// reasons an engine operation logged reach the caller without a redirect.
// A detail text of the engine's own comes first; a logged message it
// already holds, and a message logged twice, are not repeated.

namespace qelta {

// The error log that explains the engine failures of one binding call on
// this thread. A scope starts with no log; the first log named through Use
// is cleared (its redirect stays) and from then on its entries are the
// detail text of every ReportError of the call. Scopes nest; the inner one
// hides the outer until it ends.
class CallLogScope {
 public:
  CallLogScope() noexcept;
  ~CallLogScope();
  CallLogScope(const CallLogScope&) = delete;
  CallLogScope& operator=(const CallLogScope&) = delete;

  // Makes log the call's log unless one is already in use; does nothing
  // outside a scope or for a null log.
  static void Use(VRN_errorLog* log);
  // The call's log; null when none is in use.
  static const VRN_errorLog* Current();

 private:
  CallLogScope* outer_;
  VRN_errorLog* log_ = nullptr;
};

// Appends the UTF-8 form of count UTF-16 units to *out; a surrogate pair
// becomes one four-byte sequence. On an unpaired surrogate throws utfcpp's
// utf8::invalid_utf16 (what(): "Invalid UTF-16"); *out then holds the bytes
// converted so far.
void Utf16ToUtf8(const std::uint16_t* units, std::size_t count,
                 std::string* out);

// The UTF-16 form of length bytes of UTF-8 text. Malformed text throws
// utfcpp's exceptions (what(): "Invalid UTF-8", "Invalid code point").
std::vector<std::uint16_t> Utf8ToUtf16(const char* text, std::size_t length);

// Index of the first surrogate of the count units that is not half of a
// pair; count when there is none.
std::size_t FindUnpairedSurrogate(const std::uint16_t* units,
                                  std::size_t count);

// True when every one of the length bytes is below 0x80.
bool IsAscii(const char* text, std::size_t length);

}  // namespace qelta

#endif  // QELTA_BASE_ENGINE_ERROR_H_
