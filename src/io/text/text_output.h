// The text file record of the text network formats.
//
// VRN_textOutput is one open stdio file plus the layout state of the text
// writers: indentation, the column of the current output line and the wrap
// column at which long lines are broken. A broken line may end with a
// continuation mark (the writers use a backslash and a blank inside escaped
// strings) that the text lexer reads back as "the string goes on". The same
// record, opened for reading, is the lexer's line source.
//
// Wrapping never splits a word: a line is broken after a blank (space, TAB
// or backspace; a run of them stays whole on the broken line, since the
// lexer drops them at the start of a continued string line), or before the
// text of the current write when the line already held other text; a
// single word longer than the room is written whole. Breaking inside a word
// would split a token, or an escape pair inside a string.
//
// Ownership: the record owns its FILE and closes it in Close and in the
// destructor. The error log handed to Open is not owned.
// Thread use: one record per format object, used by one thread.
#ifndef QELTA_IO_TEXT_TEXT_OUTPUT_H_
#define QELTA_IO_TEXT_TEXT_OUTPUT_H_

#include <cstdio>
#include <string>

class VRN_errorLog;

class VRN_textOutput {
 public:
  // Mode codes of Open.
  static constexpr int kOpenForReading = -100;
  static constexpr int kOpenForWriting = -101;
  // Write mode in which every new line a write begins starts indented.
  static constexpr int kModeIndent = 2;
  // Largest wrap column, and the limit of indent level times indent width.
  static constexpr int kMaxLineWidth = 1019;
  static constexpr int kDefaultLineWidth = 70;

  // No file, status -103, line count 0, wrap column 70, column 0, indent
  // level 0, indent width 1, no continuation mark.
  VRN_textOutput();
  // Closes a file that is still open.
  ~VRN_textOutput();

  VRN_textOutput(const VRN_textOutput&) = delete;
  VRN_textOutput& operator=(const VRN_textOutput&) = delete;

  // Opens the UTF-8 named file, "wt" for kOpenForWriting and "rt" for
  // kOpenForReading, closing a file still open first. 0 with line count,
  // column and status 0. When the open fails: status -103, "OPEN FILE
  // FAILED: <name>" logged with -103 in log (when given), -103. Any other
  // mode code: -103 without a message.
  int Open(const char* file_name, int mode, VRN_errorLog* log);
  // Closes the file if one is open; the status becomes -103 (no file).
  // 0, or -103 when a write since Open failed or the close itself failed
  // (buffered text could not be flushed), so a writer learns of any lost
  // output from this one call.
  int Close();
  bool IsOpen() const { return file_ != nullptr; }

  // Replaces *line by the next line of the file, its line end included
  // (none at the end of a last line without one); the line has no length
  // limit. LF, CR LF and a lone CR each end a line.
  // 0 with the line count raised by 1; -102 at the end of the file; -103 on
  // a read error or without an open file. The status takes the same value.
  // REQUIRES: line != nullptr.
  int ReadLine(std::string* line);

  // -2 when indent width times indent level is kMaxLineWidth or more; else
  // one level deeper, 0.
  int Indent();
  // -2 at level 0; else one level less, 0.
  int Unindent();
  // -2 when width < 0 or width > wrap column - 1; else sets it, 0.
  int SetIndentWidth(int width);
  // -2 when width < 0 or width <= indent width; else the wrap column
  // becomes min(width, kMaxLineWidth), 0.
  int SetLineWidth(int width);
  // Sets the continuation mark ending each wrapped line; null clears it. 0.
  int SetContinuation(const char* text);

  // Writes indent level times indent width blanks and adds them to the
  // column. 0; -103 without a file or when the write fails.
  int WriteIndent();
  // Writes text on the current line, wrapping at the wrap column (see the
  // file comment); an LF in the text ends the line. With mode kModeIndent
  // every line the write begins starts with the indentation. The column
  // keeps counting across writes until an LF or a wrap. 0 (also for null
  // text); -103 without a file or when a write fails (what was written
  // stays in the file).
  int Write(const char* text, int mode);
  // The indentation, then Write.
  int WriteLine(const char* text, int mode);
  // Writes text unchanged, without wrapping. After each LF the column is 0
  // and, with mode kModeIndent and more text to come, the indentation is
  // written. 0; -103 as for Write.
  int WriteRaw(const char* text, int mode);

  int GetStatus() const { return status_; }
  int GetLineCount() const { return line_count_; }
  int GetLineWidth() const { return wrap_column_; }
  int GetColumn() const { return column_; }
  int GetIndentLevel() const { return indent_level_; }
  int GetIndentWidth() const { return indent_width_; }
  const std::string& GetContinuation() const { return continuation_; }
  // Whether any write failed since the file was opened.
  bool HasWriteFailed() const { return write_failed_; }

 private:
  // fwrite with failure bookkeeping; 0 or -103.
  int Put(const char* data, std::size_t size);
  int Put(const std::string& text) { return Put(text.data(), text.size()); }
  int IndentColumns() const { return indent_level_ * indent_width_; }
  // Ends a wrapped line: continuation mark and LF, then the column is 0
  // and, in mode kModeIndent, the indentation is written.
  int BreakLine(int mode);

  std::FILE* file_ = nullptr;
  int status_;
  int line_count_ = 0;
  int wrap_column_;
  int column_ = 0;
  int indent_level_ = 0;
  int indent_width_ = 1;
  bool write_failed_ = false;
  std::string continuation_;
};

#endif  // QELTA_IO_TEXT_TEXT_OUTPUT_H_
