// The per-network error log and its redirects.
//
// VRN_errorLog keeps (code, message) pairs that failing operations write
// beside their status code; the Java binding turns them into exception text.
// While a redirect is installed, entries go to it instead of being kept: a
// VRN_loggerFileRedirect prints them to a stdio stream ("%d: %s\n" unless
// another format is given), a VRN_loggerLoggerRedirect hands them to another
// log (whose own redirect then applies).
//
// Ownership: the log owns the redirects it installs and deletes them when
// they are replaced or the log dies. A file redirect that owns its stream
// shares that ownership with its clones: the stream is closed once, when the
// last redirect holding it goes away. The target of a log-to-log redirect
// and a format string handed to a file redirect are not owned; the caller
// keeps them alive while the redirect is installed.
//
// Thread use: one thread at a time, like the network that owns the log.
#ifndef QELTA_BASE_ERROR_LOG_H_
#define QELTA_BASE_ERROR_LOG_H_

#include <cstdarg>
#include <cstdio>
#include <memory>

#include "base/arrays.h"
#include "base/status.h"
#include "base/strings.h"

class VRN_errorLog;

// Sink that receives log entries in place of the log.
class VRN_loggerRedirect {
 public:
  VRN_loggerRedirect() = default;
  VRN_loggerRedirect(const VRN_loggerRedirect&) = delete;
  VRN_loggerRedirect& operator=(const VRN_loggerRedirect&) = delete;
  virtual ~VRN_loggerRedirect() = default;

  // Receives one entry. message is never null when called by the log.
  virtual void Log(int code, const char* message) = 0;
  // A new redirect sending entries where this one does; the caller owns it.
  virtual VRN_loggerRedirect* Clone() const = 0;
};

// Prints each entry to a stdio stream and flushes it.
class VRN_loggerFileRedirect : public VRN_loggerRedirect {
 public:
  // format: a printf format taking (int code, const char* message); null
  // means "%d: %s\n". Not owned. With owns_stream set the stream is closed
  // when the last redirect sharing it (this one or a clone) is destroyed.
  // REQUIRES: stream != nullptr.
  VRN_loggerFileRedirect(std::FILE* stream, const char* format,
                         bool owns_stream);

  void Log(int code, const char* message) override;
  VRN_loggerRedirect* Clone() const override;

  std::FILE* GetStream() const { return stream_.get(); }
  bool OwnsStream() const { return owns_stream_; }

 private:
  // Clones share the stream handle (and with it the duty to close it).
  VRN_loggerFileRedirect(std::shared_ptr<std::FILE> stream, const char* format,
                         bool owns_stream);

  std::shared_ptr<std::FILE> stream_;
  const char* format_;
  bool owns_stream_;
};

// Forwards each entry to another log's LogError, without prefix.
class VRN_loggerLoggerRedirect : public VRN_loggerRedirect {
 public:
  // REQUIRES: target != nullptr and outlives this redirect.
  explicit VRN_loggerLoggerRedirect(VRN_errorLog* target);

  void Log(int code, const char* message) override;
  VRN_loggerRedirect* Clone() const override;

  VRN_errorLog* GetTarget() const { return target_; }

 private:
  VRN_errorLog* target_;
};

class VRN_errorLog {
 public:
  // Size of the buffer in which a prefixed or formatted text is composed;
  // longer texts are cut to at most kBufferSize - 1 bytes.
  static constexpr int kBufferSize = 2044;

  VRN_errorLog();
  // Copies the kept entries. An owned redirect is cloned (the copy owns the
  // clone); a redirect not owned is shared.
  VRN_errorLog(const VRN_errorLog& other);
  // The same, in place; a redirect of other that forwards (through its chain
  // of log-to-log redirects) to this log is not copied, and this log then
  // keeps its entries.
  VRN_errorLog& operator=(const VRN_errorLog& other);
  // Deletes an owned redirect.
  ~VRN_errorLog();

  // Logs text = prefix + message (cut to fit kBufferSize when a prefix is
  // given; kept whole otherwise). Code 0 logs nothing. A null message
  // becomes VRN_ErrorCodeName(code). The entry goes to the redirect when one
  // is installed, else it is kept. Answers code, so a failing operation can
  // `return log->LogError(...)`.
  int LogError(int code, const char* message, const char* prefix = nullptr);
  // printf-style message composed in kBufferSize bytes (cut when longer),
  // then LogError without prefix; answers code.
  int Logf(int code, const char* format, ...)
      __attribute__((format(printf, 3, 4)));
  int LogfV(int code, const char* format, va_list args)
      __attribute__((format(printf, 3, 0)));

  // Drops every kept entry; the redirect stays.
  void Flush();
  int GetNumberOfMessages() const { return codes_.GetSize(); }
  // Code of entry i; 0 for an index outside 0..count-1.
  int GetCode(int i) const;
  // Message of entry i; "" for an index outside 0..count-1.
  const char* GetMessage(int i) const;

  // A null path ends redirection and answers 0. Otherwise opens path for
  // appending in text mode (bytes passed as they are) and installs a file
  // redirect owning the stream; 0. -103 when the open fails, and the
  // current redirect stays.
  [[nodiscard]] int RedirectToFile(const char* path, const char* format);
  // Deletes the current redirect if owned; then a null stream leaves the log
  // keeping entries, any other installs a file redirect on it (owned by the
  // log; owns_stream tells whether the redirect closes the stream).
  void RedirectToStream(std::FILE* stream, const char* format,
                        bool owns_stream);
  // Installs a redirect forwarding to target; a null target ends
  // redirection; 0. -2, with nothing changed, when target is this log or
  // forwards (through its chain of log-to-log redirects) to it, since
  // entries would go round for ever.
  // REQUIRES: target outlives the redirect.
  int RedirectToLog(VRN_errorLog* target);

  // The installed redirect, null when entries are kept.
  VRN_loggerRedirect* GetRedirect() const { return redirect_; }

 private:
  void ReleaseRedirect();
  void Keep(int code, const char* text);

  VRN_intArray codes_;
  VRN_stringArray messages_;
  VRN_loggerRedirect* redirect_ = nullptr;
  bool redirect_owned_ = false;
  // Set while an entry is being handed to the redirect; breaks cycles.
  bool forwarding_ = false;
};

#endif  // QELTA_BASE_ERROR_LOG_H_
