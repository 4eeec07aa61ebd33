#include "io/text/text_output.h"

#include <climits>
#include <cstring>

#include "network/change_guards.h"
#include "base/error_log.h"
#include "base/status.h"

namespace {

// Where a line may be broken: the blanks, and the backspace, which the
// lexer also drops after a continuation mark inside a string. A run of them
// stays whole on the broken line, so no continuation line starts with one
// and reading it back loses nothing.
bool IsBreakBlank(char c) { return c == ' ' || c == '\t' || c == '\b'; }

// column + n, held at INT_MAX for absurdly long lines.
int AddColumns(int column, std::size_t n) {
  if (n > static_cast<std::size_t>(INT_MAX - column)) return INT_MAX;
  return column + static_cast<int>(n);
}

}  // namespace

VRN_textOutput::VRN_textOutput()
    : status_(qelta::kErrFileIo), wrap_column_(kDefaultLineWidth) {}

VRN_textOutput::~VRN_textOutput() {
  if (file_ != nullptr) std::fclose(file_);
}

int VRN_textOutput::Open(const char* file_name, int mode, VRN_errorLog* log) {
  const char* mode_text = nullptr;
  if (mode == kOpenForWriting) {
    mode_text = "wt";
  } else if (mode == kOpenForReading) {
    mode_text = "rt";
  } else {
    status_ = qelta::kErrFileIo;
    return status_;
  }
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  file_ = VRN_Fopen(file_name, mode_text);
  if (file_ == nullptr) {
    status_ = qelta::kErrFileIo;
    if (log != nullptr) {
      log->Logf(qelta::kErrFileIo, "OPEN FILE FAILED: %s",
                file_name != nullptr ? file_name : "");
    }
    return status_;
  }
  line_count_ = 0;
  column_ = 0;
  write_failed_ = false;
  status_ = qelta::kOk;
  return status_;
}

int VRN_textOutput::Close() {
  int rc = write_failed_ ? qelta::kErrFileIo : qelta::kOk;
  if (file_ != nullptr) {
    if (std::fclose(file_) != 0) rc = qelta::kErrFileIo;
    file_ = nullptr;
  }
  status_ = qelta::kErrFileIo;
  return rc;
}

int VRN_textOutput::ReadLine(std::string* line) {
  line->clear();
  if (file_ == nullptr) {
    status_ = qelta::kErrFileIo;
    return status_;
  }
  int c = EOF;
  while ((c = std::getc(file_)) != EOF) {
    line->push_back(static_cast<char>(c));
    if (c == '\n') break;
    if (c == '\r') {
      // A lone CR ends a line as LF does (files saved with CR line ends),
      // so a comment stops there; CR LF stays one line end.
      const int next = std::getc(file_);
      if (next == '\n') {
        line->push_back('\n');
      } else if (next != EOF) {
        std::ungetc(next, file_);
      }
      break;
    }
  }
  if (c == EOF) {
    if (std::ferror(file_)) {
      line->clear();
      status_ = qelta::kErrFileIo;
      return status_;
    }
    if (line->empty()) {
      status_ = qelta::kErrEndOfFile;
      return status_;
    }
  }
  ++line_count_;
  status_ = qelta::kOk;
  return status_;
}

int VRN_textOutput::Indent() {
  if (IndentColumns() >= kMaxLineWidth) return qelta::kErrOutOfRange;
  ++indent_level_;
  return qelta::kOk;
}

int VRN_textOutput::Unindent() {
  if (indent_level_ == 0) return qelta::kErrOutOfRange;
  --indent_level_;
  return qelta::kOk;
}

int VRN_textOutput::SetIndentWidth(int width) {
  if (width < 0 || width > wrap_column_ - 1) return qelta::kErrOutOfRange;
  indent_width_ = width;
  return qelta::kOk;
}

int VRN_textOutput::SetLineWidth(int width) {
  if (width < 0 || width <= indent_width_) return qelta::kErrOutOfRange;
  wrap_column_ = width < kMaxLineWidth ? width : kMaxLineWidth;
  return qelta::kOk;
}

int VRN_textOutput::SetContinuation(const char* text) {
  if (text == nullptr) {
    continuation_.clear();
  } else {
    continuation_ = text;
  }
  return qelta::kOk;
}

int VRN_textOutput::Put(const char* data, std::size_t size) {
  if (size == 0) return qelta::kOk;
  if (std::fwrite(data, 1, size, file_) != size) {
    write_failed_ = true;
    return qelta::kErrFileIo;
  }
  return qelta::kOk;
}

int VRN_textOutput::WriteIndent() {
  if (file_ == nullptr) {
    status_ = qelta::kErrFileIo;
    return status_;
  }
  const int n = IndentColumns();
  const std::string blanks(static_cast<std::size_t>(n), ' ');
  status_ = Put(blanks);
  column_ = AddColumns(column_, blanks.size());
  return status_;
}

int VRN_textOutput::BreakLine(int mode) {
  int rc = Put(continuation_);
  if (rc == qelta::kOk) rc = Put("\n", 1);
  column_ = 0;
  if (mode == kModeIndent) {
    const int indent_rc = WriteIndent();
    if (rc == qelta::kOk) rc = indent_rc;
  }
  return rc;
}

int VRN_textOutput::Write(const char* text, int mode) {
  if (file_ == nullptr) {
    status_ = qelta::kErrFileIo;
    return status_;
  }
  if (text == nullptr) {
    status_ = qelta::kOk;
    return status_;
  }
  int rc = qelta::kOk;
  auto keep = [&rc](int step_rc) {
    if (rc == qelta::kOk) rc = step_rc;
  };
  const std::size_t n = std::strlen(text);
  std::size_t pos = 0;
  for (;;) {
    // One step: copy up to the end, an LF, or past the wrap column.
    const std::size_t first = pos;
    const int start_column = column_;
    while (pos < n && text[pos] != '\n' && column_ <= wrap_column_) {
      ++pos;
      ++column_;
    }
    if (pos == n) {
      keep(Put(text + first, pos - first));
      break;
    }
    if (text[pos] == '\n') {
      ++pos;
      keep(Put(text + first, pos - first));
      column_ = 0;
      if (pos < n && mode == kModeIndent) keep(WriteIndent());
      continue;
    }
    // Past the wrap column: the last blank up to the current character.
    std::size_t blank = n;
    for (std::size_t i = pos + 1; i > first; --i) {
      if (IsBreakBlank(text[i - 1])) {
        blank = i - 1;
        break;
      }
    }
    if (blank != n) {
      std::size_t end = blank + 1;
      while (end < n && IsBreakBlank(text[end])) ++end;
      keep(Put(text + first, end - first));
      keep(BreakLine(mode));
      pos = end;
    } else if (start_column > IndentColumns()) {
      // The word starts a fresh line instead.
      keep(BreakLine(mode));
      pos = first;
    } else {
      // A word longer than the room: whole, up to the next blank or LF.
      std::size_t end = pos;
      while (end < n && text[end] != '\n' && !IsBreakBlank(text[end])) ++end;
      keep(Put(text + first, end - first));
      column_ = AddColumns(column_, end - pos);
      pos = end;
    }
  }
  status_ = rc;
  return rc;
}

int VRN_textOutput::WriteLine(const char* text, int mode) {
  const int rc = WriteIndent();
  const int write_rc = Write(text, mode);
  status_ = rc != qelta::kOk ? rc : write_rc;
  return status_;
}

int VRN_textOutput::WriteRaw(const char* text, int mode) {
  if (file_ == nullptr) {
    status_ = qelta::kErrFileIo;
    return status_;
  }
  int rc = qelta::kOk;
  if (text != nullptr) {
    const std::size_t n = std::strlen(text);
    std::size_t pos = 0;
    while (pos < n) {
      const char* lf =
          static_cast<const char*>(std::memchr(text + pos, '\n', n - pos));
      if (lf == nullptr) {
        const int put_rc = Put(text + pos, n - pos);
        if (rc == qelta::kOk) rc = put_rc;
        column_ = AddColumns(column_, n - pos);
        break;
      }
      const std::size_t end = static_cast<std::size_t>(lf - text) + 1;
      const int put_rc = Put(text + pos, end - pos);
      if (rc == qelta::kOk) rc = put_rc;
      column_ = 0;
      pos = end;
      if (pos < n && mode == kModeIndent) {
        const int indent_rc = WriteIndent();
        if (rc == qelta::kOk) rc = indent_rc;
      }
    }
  }
  status_ = rc;
  return rc;
}
