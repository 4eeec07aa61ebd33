// The table-driven lexer of the text network formats.
//
// VRN_textLexer reads a text file line by line and cuts it into tokens:
// identifiers, integers, reals, punctuators, quoted strings. Each byte gets
// one of 17 character classes; a transition table of 16 states by 17
// classes, chosen by the dialect, says whether the byte extends the token,
// ends it, starts a comment or a string, is skipped, or is an error.
//
//   dialect 1  standard: "//", "/* */" and nested "/# #/" comments, strings
//   dialect 2  whitespace-separated words; no comments, no strings
//   dialect 3  standard plus '%' line comments
//   dialect 4  standard with ',' and '|' skipped like blanks
//
// LF, CR LF and a lone CR each end a line (and so a "//" or '%' comment),
// so files with any of these line ends read alike. Bytes of
// 0x80 and above count as letters, so identifiers in UTF-8 read whole, and
// a UTF-8 byte-order mark at the start of the file is skipped. Neither
// lines nor tokens have a length limit.
//
// The caller peeks at a token, then consumes it; the last five scanned
// tokens are remembered so that the caller can step back over up to four of
// them (Back) and have them replayed.
//
// Ownership: the lexer owns its input file and the token texts it hands
// out; a token's text stays valid until the next call on the lexer. The
// error log is not owned and must outlive the lexer.
// Thread use: one lexer serves one read on one thread.
#ifndef QELTA_IO_TEXT_LEXER_H_
#define QELTA_IO_TEXT_LEXER_H_

#include <array>
#include <cstdint>
#include <string>

#include "io/text/text_output.h"

class VRN_errorLog;

namespace qelta {

// Token types.
inline constexpr int kTokenIdentifier = 1;  // dialect 2: any word
inline constexpr int kTokenInteger = 2;     // sign, digits, exponent
inline constexpr int kTokenReal = 3;        // digits with '.' and a digit
inline constexpr int kTokenSlash = 4;       // "/"
inline constexpr int kTokenEquals = 5;      // "="
inline constexpr int kTokenDoubleEquals = 6;  // "=="
inline constexpr int kTokenPoint = 7;       // "." alone, or digits and "."
inline constexpr int kTokenPunctuator = 8;  // any other single character
inline constexpr int kTokenSign = 9;        // a lone "+" or "-"
inline constexpr int kTokenString = 70;     // quoted string, decoded
inline constexpr int kTokenUnknown = 90;    // no token / bad character

}  // namespace qelta

// The token record the lexer fills for its caller.
struct VRN_textToken {
  int type = qelta::kTokenUnknown;
  // Owned by the lexer; valid until the next call on it.
  const char* text = nullptr;
  // Source characters spanned (a string: its decoded length; an unknown
  // character: the characters scanned before it).
  int length = 0;
  // The token starts where the token before it ended, with no blank,
  // separator or comment between them ("1.2.3" gives "1.2" and a joined
  // ".3").
  bool joined = false;
};

class VRN_textLexer {
 public:
  static constexpr int kHistorySize = 5;

  // Builds the transition table of dialect (1 to 4) with an empty line and
  // no open file. log receives the lexer's messages; it may be null.
  // REQUIRES: 1 <= dialect <= 4 (otherwise dialect 1 is used).
  VRN_textLexer(int dialect, VRN_errorLog* log);
  // Closes the input.
  ~VRN_textLexer();

  VRN_textLexer(const VRN_textLexer&) = delete;
  VRN_textLexer& operator=(const VRN_textLexer&) = delete;

  // Switches to the table of dialect; -2 (table unchanged) outside 1 to 4,
  // else 0.
  int SetDialect(int dialect);
  int GetDialect() const { return dialect_; }

  // Adds characters to the set skipped before every token (space, TAB, LF
  // and CR at start). 0; -2 for null.
  int AddSeparators(const char* characters);

  // Opens the UTF-8 named file (closing an earlier input and forgetting its
  // tokens) and reads the first line. 0; -103 when the file cannot be
  // opened ("OPEN FILE FAILED: <name>" logged) or read; -102 when it is
  // empty.
  [[nodiscard]] int Open(const char* file_name);

  // Fills *token with the next token without consuming it; repeated calls
  // answer the same token until Consume. 0; -111 when the input has ended
  // (also inside a line comment); -126 for a character the dialect does not
  // know ("ERROR: Line <n> : UNKNOWN CHARACTER" logged; *token then has type
  // 90 and the text scanned with the bad character; nothing is consumed, so
  // the next call meets it again); -128 when the input ends inside "/*",
  // "/#" or a string (message logged); -103 when reading the file failed.
  // REQUIRES: token != nullptr.
  int PeekToken(VRN_textToken* token);
  // Accepts the peeked token, so the next PeekToken yields the one after.
  void Consume();
  // Steps back one remembered token: -2 when the cursor is below 1, else
  // the cursor moves back by one and 0 is answered. With a token peeked but
  // not consumed, the next PeekToken then replays the last consumed token;
  // with none pending, the one before the last consumed token.
  int Back();

  // Reads the source text after the last consumed token, as it stands
  // (blanks, comment marks, quotes and line ends kept), up to the first
  // occurrence of terminator, which is consumed too; the next PeekToken
  // scans from after it. For content that is not made of tokens, such as
  // the text inside XML elements. 0; -111 when the input ends first (*text
  // then holds what was read); -103 when reading the file failed; -2, with
  // nothing read, for a null or empty terminator or while a token is peeked
  // or being replayed.
  // REQUIRES: text != nullptr.
  int ReadRawText(const char* terminator, std::string* text);

  // Lines read so far; the line of the token just scanned.
  int GetLineNumber() const { return input_.GetLineCount(); }
  // What ended the input before the end of the file, once later peeks
  // only answer -111: -128 inside a string or comment, -103 a failed
  // read; 0 while the input has not ended early.
  int GetInputFailure() const { return input_failure_; }

 private:
  struct Remembered {
    int type = qelta::kTokenUnknown;
    int length = 0;
    bool joined = false;
    std::string text;
  };

  // Reads the next line into line_; false when the input has ended.
  bool NextLine();
  // Moves the token start over separators, reading lines as needed; false
  // when the input ends first.
  bool SkipSeparators();
  // Scans a quoted string whose opening quote is at pos_; on success the
  // decoded text is in text_ and pos_ is past the closing quote.
  int ScanString();
  // Skips a "/*" comment whose '*' is at pos_.
  int SkipBlockComment();
  // Skips a "/#" comment whose '#' is at pos_.
  int SkipNestedComment();
  // Forgets the rest of the input after it ended inside a string or a
  // comment; logs message with code and answers code (-103 instead after a
  // failed read).
  int EndOfInput(int code, const char* message);
  // Fills *token with the text scanned up to the bad character at pos_,
  // logs the unknown-character message and answers -126.
  int UnknownCharacter(VRN_textToken* token);
  // Whether a token starting at start (on the current line) follows the
  // last scanned token with nothing between them.
  bool StartsAtTokenEnd(std::size_t start) const;
  // Stores the scanned token in the history, marks it pending and copies it
  // into *token.
  void Remember(int type, int length, bool joined, VRN_textToken* token);
  void FillFromHistory(VRN_textToken* token) const;
  Remembered& HistoryEntry(int i) {
    return history_[static_cast<std::size_t>((history_head_ + i) % kHistorySize)];
  }
  const Remembered& HistoryEntry(int i) const {
    return history_[static_cast<std::size_t>((history_head_ + i) % kHistorySize)];
  }

  int dialect_ = 1;
  // Entries by character class, then state: a next state 1 to 15 or an
  // action code.
  std::array<std::array<std::uint8_t, 16>, 17> rows_;
  std::string line_;
  // Token start and scan position, indexes into line_.
  std::size_t start_ = 0;
  std::size_t pos_ = 0;
  // Where the last scanned token ended: the index into line_ and the line;
  // npos when no token ended on a line still read.
  std::size_t token_end_ = std::string::npos;
  int token_end_line_ = 0;
  VRN_textOutput input_;
  bool input_ended_ = true;
  // The input ended because a read failed, not at the end of the file.
  bool read_error_ = false;
  int input_failure_ = 0;
  // Text of the token being scanned.
  std::string text_;
  bool pending_ = false;
  std::string separators_;
  // A ring: logical entry i (0 the oldest) is in slot (head + i) mod size,
  // so remembering a token moves no strings.
  std::array<Remembered, kHistorySize> history_;
  int history_count_ = 0;
  int history_head_ = 0;
  int cursor_ = -1;
  VRN_errorLog* log_;
};

#endif  // QELTA_IO_TEXT_LEXER_H_
