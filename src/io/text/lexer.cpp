#include "io/text/lexer.h"

#include <algorithm>
#include <cassert>

#include "base/error_log.h"
#include "base/status.h"

namespace {

// Transition entries that are actions rather than next states.
constexpr std::uint8_t kSk = 0;   // drop the character, stay in state 0
constexpr std::uint8_t kSt = 70;  // a quoted string begins
constexpr std::uint8_t kLc = 75;  // a comment to the end of the line
constexpr std::uint8_t kBc = 80;  // a "/*" comment
constexpr std::uint8_t kNc = 85;  // a nested "/#" comment
constexpr std::uint8_t kEr = 90;  // a character the dialect does not know
constexpr std::uint8_t kAc = 95;  // the token ends before this character

constexpr int kStates = 16;
constexpr int kClasses = 17;
constexpr int kBlankClass = 11;

using Table = std::uint8_t[kStates][kClasses];

// Rows are states, columns character classes:
//   0 letters   1 digits  2 '_'  3 '/'  4 '='  5 '*'  6 '#'  7 '.'
//   8 '+' '-'   9 '"'    10 other punctuation  11 blanks  12 other bytes
//  13 '%'      14 ','    15 '|'  16 'e' 'E'
// States: 0 start, 1 identifier, 2 integer, 3 fraction digits, 4 "/",
// 5 "=", 6 "==", 7 ".", 8 punctuator, 9 sign, 10/11 integer/real and 'e',
// 12/13 the same and an exponent sign, 14/15 exponent digits.
constexpr Table kStandardTable = {
    {1, 2, 8, 4, 5, 8, 8, 7, 9, kSt, 8, kSk, kEr, 8, 8, 8, 1},
    {1, 1, 1, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kEr, kAc, kAc, kAc, 1},
    {kAc, 2, kAc, kAc, kAc, kAc, kAc, 7, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, 10},
    {kAc, 3, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, 11},
    {kAc, kAc, kAc, kLc, kAc, kBc, kNc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, kAc, kAc, kAc, 6, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, kAc, kAc, kAc, kEr, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, 3, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, 2, kAc, kAc, kAc, kAc, kAc, 3, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, 14, kAc, kAc, kAc, kAc, kAc, kAc, 12, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, 15, kAc, kAc, kAc, kAc, kAc, kAc, 13, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, 14, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, 15, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, 14, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, 15, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
};

// Words: almost every run of non-blank bytes is one token.
constexpr Table kWordTable = {
    {1, 2, 1, 8, 1, 8, 1, 1, 9, 1, 1, kSk, kEr, 1, 1, 1, 1},
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, kAc, kEr, 1, 1, 1, 1},
    {1, 2, 1, 1, 1, 1, 1, 7, 1, 1, 1, kAc, kAc, 1, 1, 1, 10},
    {1, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, kAc, kAc, 1, 1, 1, 11},
    {1, 1, 1, kAc, 1, kAc, 1, 1, 1, 1, 1, kAc, kAc, 1, 1, 1, kAc},
    {kAc, kAc, kAc, kAc, 6, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, kAc, kAc, kAc, kEr, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {1, 3, 1, kAc, 1, kAc, 1, 1, 1, 1, 1, kAc, kAc, 1, 1, 1, kAc},
    {1, 1, 1, kAc, 1, kAc, 1, 1, 1, 1, 1, kAc, kAc, 1, 1, 1, kAc},
    {1, 2, 1, kAc, 1, kAc, 1, 3, 1, 1, 1, kAc, kAc, 1, 1, 1, kAc},
    {kAc, 14, kAc, kAc, kAc, kAc, kAc, kAc, 12, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, 15, kAc, kAc, kAc, kAc, kAc, kAc, 13, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, 14, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, 15, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, 10, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
    {kAc, 11, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc, kAc},
};

constexpr std::array<std::uint8_t, 256> BuildCharacterClasses() {
  std::array<std::uint8_t, 256> classes{};
  for (int c = 0; c < 256; ++c) classes[c] = 12;
  for (int c = 'a'; c <= 'z'; ++c) classes[c] = 0;
  for (int c = 'A'; c <= 'Z'; ++c) classes[c] = 0;
  classes['e'] = 16;
  classes['E'] = 16;
  for (int c = '0'; c <= '9'; ++c) classes[c] = 1;
  classes['_'] = 2;
  classes['/'] = 3;
  classes['='] = 4;
  classes['*'] = 5;
  classes['#'] = 6;
  classes['.'] = 7;
  classes['+'] = 8;
  classes['-'] = 8;
  classes['"'] = 9;
  classes['%'] = 13;
  classes[','] = 14;
  classes['|'] = 15;
  // Identifiers admit bytes of 0x80 and above as letters, so names in UTF-8
  // that the network accepts read back from the files it writes.
  for (int c = 0x80; c < 256; ++c) classes[c] = 0;
  const char* punctuation = "!$^&()[]{};:'<>?`~@\\";
  for (const char* p = punctuation; *p != '\0'; ++p) {
    classes[static_cast<unsigned char>(*p)] = 10;
  }
  // CR is a blank so that CR LF line ends read like LF ones. An embedded
  // NUL byte stays in class 12: it is not the end of the line.
  classes[' '] = kBlankClass;
  classes['\t'] = kBlankClass;
  classes['\n'] = kBlankClass;
  classes['\r'] = kBlankClass;
  return classes;
}

constexpr std::array<std::uint8_t, 256> kCharacterClasses =
    BuildCharacterClasses();

int TypeOfState(int state) {
  switch (state) {
    case 2:
    case 10:
    case 12:
    case 14:
      return qelta::kTokenInteger;
    case 3:
    case 11:
    case 13:
    case 15:
      return qelta::kTokenReal;
    default:
      return state;
  }
}

const char kEmptyText[] = "";

}  // namespace

VRN_textLexer::VRN_textLexer(int dialect, VRN_errorLog* log) : log_(log) {
  const int rc = SetDialect(dialect);
  assert(rc == qelta::kOk);
  if (rc != qelta::kOk) SetDialect(1);
  separators_ = " \t\n\r";
}

VRN_textLexer::~VRN_textLexer() = default;

int VRN_textLexer::SetDialect(int dialect) {
  if (dialect < 1 || dialect > 4) return qelta::kErrOutOfRange;
  const Table& source = dialect == 2 ? kWordTable : kStandardTable;
  for (int cls = 0; cls < kClasses; ++cls) {
    for (int state = 0; state < kStates; ++state) {
      rows_[cls][state] = source[state][cls];
    }
  }
  if (dialect == 3) {
    rows_[13][0] = kLc;
  } else if (dialect == 4) {
    rows_[14][0] = kSk;
    rows_[15][0] = kSk;
  }
  if (dialect == 3 || dialect == 4) {
    // Exponent digits alternate with the 'e' states, so a sign may follow
    // every second digit.
    rows_[1][14] = 10;
    rows_[1][15] = 11;
  }
  dialect_ = dialect;
  return qelta::kOk;
}

int VRN_textLexer::AddSeparators(const char* characters) {
  if (characters == nullptr) return qelta::kErrOutOfRange;
  separators_ += characters;
  return qelta::kOk;
}

int VRN_textLexer::Open(const char* file_name) {
  input_.Close();
  line_.clear();
  start_ = 0;
  pos_ = 0;
  pending_ = false;
  read_error_ = false;
  input_failure_ = 0;
  input_ended_ = true;
  for (Remembered& entry : history_) {
    entry.type = qelta::kTokenUnknown;
    entry.length = 0;
    entry.text.clear();
  }
  history_count_ = 0;
  history_head_ = 0;
  cursor_ = -1;
  token_end_ = std::string::npos;
  int rc = input_.Open(file_name, VRN_textOutput::kOpenForReading, log_);
  if (rc != qelta::kOk) return rc;
  rc = input_.ReadLine(&line_);
  if (rc != qelta::kOk) {
    line_.clear();
    read_error_ = rc != qelta::kErrEndOfFile;
    return rc == qelta::kErrEndOfFile ? rc : qelta::kErrFileIo;
  }
  // Editors may start a UTF-8 file with a byte-order mark; it is no token.
  if (line_.compare(0, 3, "\xEF\xBB\xBF") == 0) line_.erase(0, 3);
  input_ended_ = false;
  return qelta::kOk;
}

bool VRN_textLexer::NextLine() {
  start_ = 0;
  pos_ = 0;
  if (input_ended_) {
    line_.clear();
    return false;
  }
  const int rc = input_.ReadLine(&line_);
  if (rc != qelta::kOk) {
    line_.clear();
    input_ended_ = true;
    read_error_ = rc != qelta::kErrEndOfFile;
    if (read_error_) input_failure_ = qelta::kErrFileIo;
    return false;
  }
  return true;
}

bool VRN_textLexer::SkipSeparators() {
  for (;;) {
    while (start_ < line_.size() &&
           separators_.find(line_[start_]) != std::string::npos) {
      ++start_;
    }
    if (start_ < line_.size()) {
      pos_ = start_;
      return true;
    }
    if (!NextLine()) return false;
  }
}

int VRN_textLexer::EndOfInput(int code, const char* message) {
  line_.clear();
  start_ = 0;
  pos_ = 0;
  input_ended_ = true;
  input_failure_ = read_error_ ? qelta::kErrFileIo : code;
  // A read that failed is not the end of the file.
  if (read_error_) return qelta::kErrFileIo;
  if (message != nullptr && log_ != nullptr) log_->LogError(code, message);
  return code;
}

int VRN_textLexer::UnknownCharacter(VRN_textToken* token) {
  token->type = qelta::kTokenUnknown;
  token->text = text_.c_str();
  token->length = static_cast<int>(pos_ - start_);
  token->joined = false;
  if (log_ != nullptr) {
    log_->Logf(qelta::kErrLexical, "ERROR: Line %d : UNKNOWN CHARACTER",
               GetLineNumber());
  }
  return qelta::kErrLexical;
}

void VRN_textLexer::FillFromHistory(VRN_textToken* token) const {
  const Remembered& entry = HistoryEntry(cursor_);
  token->type = entry.type;
  token->text = entry.text.c_str();
  token->length = entry.length;
  token->joined = entry.joined;
}

bool VRN_textLexer::StartsAtTokenEnd(std::size_t start) const {
  return start == token_end_ && input_.GetLineCount() == token_end_line_;
}

void VRN_textLexer::Remember(int type, int length, bool joined,
                             VRN_textToken* token) {
  token_end_ = pos_;
  token_end_line_ = input_.GetLineCount();
  if (history_count_ < kHistorySize) {
    ++history_count_;
  } else {
    // The oldest entry's slot takes the newest token.
    history_head_ = (history_head_ + 1) % kHistorySize;
  }
  cursor_ = history_count_ - 1;
  Remembered& entry = HistoryEntry(cursor_);
  entry.type = type;
  entry.length = length;
  entry.joined = joined;
  entry.text.assign(text_);
  pending_ = true;
  FillFromHistory(token);
}

int VRN_textLexer::PeekToken(VRN_textToken* token) {
  if (pending_ || (cursor_ >= 0 && cursor_ < history_count_ - 1)) {
    FillFromHistory(token);
    return qelta::kOk;
  }
  for (;;) {
    text_.clear();
    if (!SkipSeparators()) {
      token->type = qelta::kTokenUnknown;
      token->text = kEmptyText;
      token->length = 0;
      token->joined = false;
      return read_error_ ? qelta::kErrFileIo : qelta::kErrNoMoreTokens;
    }
    int state = 0;
    bool restart = false;
    bool joined = false;
    while (!restart) {
      const bool at_line_end = pos_ >= line_.size();
      const unsigned char c =
          at_line_end ? 0 : static_cast<unsigned char>(line_[pos_]);
      const int cls = at_line_end ? kBlankClass : kCharacterClasses[c];
      const int entry = rows_[cls][state];
      if (entry >= 1 && entry < kStates) {
        text_.push_back(static_cast<char>(c));
        ++pos_;
        state = entry;
        continue;
      }
      int rc = qelta::kOk;
      switch (entry) {
        case kSk:
          assert(state == 0 && !at_line_end);
          ++pos_;
          start_ = pos_;
          restart = true;
          break;
        case kAc:
          Remember(TypeOfState(state), static_cast<int>(pos_ - start_),
                   StartsAtTokenEnd(start_), token);
          return qelta::kOk;
        case kSt:
          joined = StartsAtTokenEnd(start_);
          rc = ScanString();
          if (rc == qelta::kErrLexical) return UnknownCharacter(token);
          if (rc != qelta::kOk) {
            token->type = qelta::kTokenUnknown;
            token->text = kEmptyText;
            token->length = 0;
            token->joined = false;
            return rc;
          }
          Remember(qelta::kTokenString, static_cast<int>(text_.size()), joined,
                   token);
          return qelta::kOk;
        case kLc:
          start_ = line_.size();
          pos_ = start_;
          restart = true;
          break;
        case kBc:
        case kNc:
          rc = entry == kBc ? SkipBlockComment() : SkipNestedComment();
          if (rc != qelta::kOk) {
            token->type = qelta::kTokenUnknown;
            token->text = kEmptyText;
            token->length = 0;
            token->joined = false;
            return rc;
          }
          restart = true;
          break;
        default:
          text_.push_back(static_cast<char>(c));
          return UnknownCharacter(token);
      }
    }
  }
}

int VRN_textLexer::ScanString() {
  std::size_t i = pos_ + 1;
  bool skipping = false;
  for (;;) {
    // A line without a line end is the last one.
    if (i >= line_.size()) {
      return EndOfInput(qelta::kErrUnexpectedEof,
                        "ERROR: UNEXPECTED END OF FILE. UNTERMINATED STRING");
    }
    const char c = line_[i];
    if (skipping) {
      if (c == ' ' || c == '\t' || c == '\b') {
        ++i;
        continue;
      }
      skipping = c == '\n' || c == '\r';
    }
    if (c == '\n' || c == '\r') {
      // The string goes on with the next line; the line end is not part
      // of it.
      if (!NextLine()) {
        return EndOfInput(qelta::kErrUnexpectedEof,
                          "ERROR: UNEXPECTED END OF FILE. UNTERMINATED STRING");
      }
      i = 0;
      continue;
    }
    if (c == '"') {
      pos_ = i + 1;
      return qelta::kOk;
    }
    if (c == '\0') {
      // A NUL byte cannot be part of a text; report it where it stands.
      start_ = i;
      pos_ = i;
      text_.push_back(c);
      return qelta::kErrLexical;
    }
    if (c != '\\') {
      text_.push_back(c);
      ++i;
      continue;
    }
    if (i + 1 >= line_.size()) {
      return EndOfInput(qelta::kErrUnexpectedEof,
                        "ERROR: UNEXPECTED END OF FILE. UNTERMINATED STRING");
    }
    const char next = line_[i + 1];
    switch (next) {
      case '"':
      case '\\':
        text_.push_back(next);
        i += 2;
        break;
      case 'b':
        text_.push_back('\b');
        i += 2;
        break;
      case 'n':
        text_.push_back('\n');
        i += 2;
        break;
      case 'r':
        text_.push_back('\r');
        i += 2;
        break;
      case 't':
        text_.push_back('\t');
        i += 2;
        break;
      case '|':
        // Stores nothing; lets a continued line begin with blanks.
        i += 2;
        break;
      case ' ':
      case '\t':
      case '\b':
        skipping = true;
        i += 2;
        break;
      case '\n':
      case '\r':
        skipping = true;
        i += 1;
        break;
      case '\0':
        start_ = i + 1;
        pos_ = i + 1;
        text_.push_back(next);
        return qelta::kErrLexical;
      default:
        text_.push_back('\\');
        text_.push_back(next);
        i += 2;
        break;
    }
  }
}

int VRN_textLexer::SkipBlockComment() {
  // The search starts at the '*' of "/*", so "/*/" is a whole comment.
  std::size_t from = pos_;
  for (;;) {
    const std::size_t found = line_.find("*/", from);
    if (found != std::string::npos) {
      start_ = found + 2;
      pos_ = start_;
      return qelta::kOk;
    }
    if (!NextLine()) {
      return EndOfInput(qelta::kErrUnexpectedEof,
                        "ERROR: UNEXPECTED END OF FILE. UNMATCHED '/*'");
    }
    from = 0;
  }
}

int VRN_textLexer::SkipNestedComment() {
  // The search starts at the '#' of "/#", so "/#/" is a whole comment.
  long long depth = 1;
  std::size_t i = pos_;
  for (;;) {
    while (i + 1 < line_.size()) {
      if (line_[i] == '#' && line_[i + 1] == '/') {
        i += 2;
        if (--depth == 0) {
          start_ = i;
          pos_ = i;
          return qelta::kOk;
        }
      } else if (line_[i] == '/' && line_[i + 1] == '#') {
        i += 2;
        ++depth;
      } else {
        ++i;
      }
    }
    if (!NextLine()) {
      return EndOfInput(qelta::kErrUnexpectedEof,
                        "ERROR: UNEXPECTED END OF FILE. UNMATCHED '/#'");
    }
    i = 0;
  }
}

int VRN_textLexer::ReadRawText(const char* terminator, std::string* text) {
  assert(text != nullptr);
  text->clear();
  if (terminator == nullptr || terminator[0] == '\0') {
    return qelta::kErrOutOfRange;
  }
  if (pending_ || (cursor_ >= 0 && cursor_ < history_count_ - 1)) {
    return qelta::kErrOutOfRange;
  }
  const std::size_t length = std::char_traits<char>::length(terminator);
  std::size_t from = start_;
  for (;;) {
    // Lines are read whole, so a terminator without a line end never
    // spans two of them.
    const std::size_t found = line_.find(terminator, from);
    if (found != std::string::npos) {
      text->append(line_, from, found - from);
      start_ = found + length;
      pos_ = start_;
      token_end_ = std::string::npos;  // raw text is no token
      return qelta::kOk;
    }
    if (from < line_.size()) text->append(line_, from, std::string::npos);
    if (!NextLine()) {
      return read_error_ ? qelta::kErrFileIo : qelta::kErrNoMoreTokens;
    }
    from = 0;
  }
}

void VRN_textLexer::Consume() {
  if (cursor_ >= 0 && cursor_ < history_count_ - 1) {
    ++cursor_;
    pending_ = true;
    return;
  }
  // Without a peeked token there is nothing to accept.
  if (!pending_) return;
  pending_ = false;
  start_ = pos_;
}

int VRN_textLexer::Back() {
  if (cursor_ < 1) return qelta::kErrOutOfRange;
  --cursor_;
  return qelta::kOk;
}
