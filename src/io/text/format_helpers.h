// Shared machinery of the text network formats.
//
// qelta::TextFormatBase carries what every text format reader and writer
// needs: the output record through which all writing goes, the lexer of
// the current read with the token last peeked, the token readers (peek,
// expect, read a number, a string, a field, a list), the field and list
// writers, and the error reporters that put "(line %d) : " before each
// message. The file-format base class derives from it and adds the
// network and the format's own Read and Write; each format overrides the
// virtual operations whose syntax differs from the defaults here.
//
// Reading: a reader creates the lexer with CreateLexer, walks the file
// with the token helpers and deletes the lexer when done (the destructor
// deletes one still present). A helper that needs a lexer answers -2
// without one, passes on the lexer's status when a peek fails (-111 at the
// end of input, -126, -128, -103), and answers -127 when the token is not
// what it wants; a mismatch consumes nothing.
//
// Writing: the format opens Output() for writing, writes with the helpers
// (every write in indenting mode) and checks Output().Close(), whose status
// covers every write since the open.
//
// Ownership: the object owns its lexer and its output file. The error log
// is not owned. Thread use: one object serves one call on one thread.
#ifndef QELTA_IO_TEXT_FORMAT_HELPERS_H_
#define QELTA_IO_TEXT_FORMAT_HELPERS_H_

#include <memory>
#include <string>

#include "base/status.h"
#include "io/text/lexer.h"
#include "io/text/text_output.h"

class VRN_doubleArray;
class VRN_errorLog;
class VRN_idArray;
class VRN_intArray;
class VRN_network;
class VRN_node;
class VRN_nodeDef;
class VRN_stringArray;

// Copies source into *destination, turning TAB, LF, CR, '"' and backslash
// into backslash-t, -n, -r, -'"' and two backslashes, which the lexer turns
// back. Null source gives "". Answers 0.
// REQUIRES: destination != nullptr.
int VRN_EscapeString(const char* source, std::string* destination);

namespace qelta {

// A block or field name other than the wanted one is next.
inline constexpr int kErrWrongFieldName = -129;

// The text of a number in the text formats: the special markers as
// "0.0E-2", "0.0E-3", "0.0E-4", every other finite value as the shortest
// text that reads back to the same double ("0.5", "1e-05"), so that a
// saved table reads back bit for bit and saving again gives the same text.
// Always in the classic numeric form.
std::string DoubleToFileText(double value);

// The number a file's text gives: VRN_StringToDouble, except that a
// number too large for a double, which would read as infinite, is none
// (-2): no file written holds one, and no table could hold it.
int FileNumber(const char* text, double* value);

// Text a reader stores (a name, a label, a property value) as valid UTF-8:
// every sequence that is not UTF-8 becomes U+FFFD, so that nothing read
// from a file stops the text from reaching Java. Valid text is copied as
// it is; null gives "".
std::string ValidUtf8Text(const char* text);

// The identifiers for a list of labels: VRN_MakeValidIdentifiers, except
// that a byte sequence that is not UTF-8 fails the identifier rule too and
// is repaired to '_' like any other failing byte, so the ids are valid
// UTF-8 and, as before, distinct from each other and from the valid labels.
// out is emptied first.
void MakeValidUtf8Identifiers(const VRN_stringArray& labels, VRN_idArray* out);

// The outcome identifiers a text file names a discrete node's outcomes by:
// its own, or, when any is empty (unnamed interval outcomes, which these
// files cannot name), the prefix and index of each outcome, as removing
// the intervals would name them. out is emptied first; nothing for a node
// without outcomes.
void FileOutcomeIds(const VRN_nodeDef& definition, VRN_stringArray* out);

class TextFormatBase {
 public:
  // log receives every message; it may be null (then nothing is logged).
  explicit TextFormatBase(VRN_errorLog* log);
  // Deletes a lexer still present and closes the output file.
  virtual ~TextFormatBase();

  TextFormatBase(const TextFormatBase&) = delete;
  TextFormatBase& operator=(const TextFormatBase&) = delete;

  // The log messages go to; a format bound to a network answers the
  // network's current log.
  virtual VRN_errorLog* GetErrorLog() const { return log_; }

  // ---- lexer of the current read

  // Replaces the lexer by a new one of dialect opened on file_name. 0;
  // -42 when it cannot be allocated; the lexer's Open status (-103, -102)
  // when the file cannot be read, and then no lexer is kept.
  [[nodiscard]] int CreateLexer(int dialect, const char* file_name);
  VRN_textLexer* GetLexer() const { return lexer_.get(); }
  void DeleteLexer();
  // The lexer's line number; 0 without a lexer.
  int GetLineNumber() const;
  // The token last peeked: type 90 and text null before any peek.
  const VRN_textToken& CurrentToken() const { return token_; }

  // Keywords compare byte for byte when set (the default), else without
  // regard to ASCII letter case.
  bool IsCaseSensitive() const { return case_sensitive_; }
  void SetCaseSensitive(bool on) { case_sensitive_ = on; }

  VRN_textOutput& Output() { return output_; }
  const VRN_textOutput& Output() const { return output_; }

  // Peeks at the next token without consuming it: 0 with CurrentToken()
  // holding it, or the lexer's failure (-111 at the end of input, -126,
  // -128, -103); -2 without a lexer.
  int PeekNext();
  // Consumes the token last peeked (nothing without a lexer).
  void ConsumeNext();
  // PeekNext at a point where a statement may start or a block may close.
  // The first peek of a read that meets the end of input tells where the
  // file ended: here, between statements; at any other peek, inside one.
  int PeekBetweenStatements();

  // Where a file may end. A reader whose file is one network block (a
  // name, "{", statements, "}") calls OpenNetworkBlock after its "{" and
  // CloseNetworkBlock after its "}"; every reader keeps a NestedBlock
  // alive while a block below the network's own is open (a node, a
  // definition, a table: any block the grammar requires to close). The
  // input may end between statements outside every such block; an end
  // anywhere else, the network block's own included, cuts the file short,
  // and what it cut would be lost.
  void OpenNetworkBlock() { network_block_open_ = true; }
  void CloseNetworkBlock() { network_block_open_ = false; }
  class NestedBlock {
   public:
    // Marks nothing when active is false, for a reader that reads the
    // network block like the blocks below it.
    explicit NestedBlock(TextFormatBase* format, bool active = true)
        : format_(active ? format : nullptr) {
      if (format_ != nullptr) ++format_->nested_blocks_;
    }
    ~NestedBlock() {
      if (format_ != nullptr) --format_->nested_blocks_;
    }
    NestedBlock(const NestedBlock&) = delete;
    NestedBlock& operator=(const NestedBlock&) = delete;

   private:
    TextFormatBase* format_;
  };

  // Keeps the skips of statements a reader cannot use (SkipStatement,
  // SkipThroughSemicolon) from passing, at brace depth 0, an identifier of
  // words: a word that starts a statement of the level being read (such as
  // "node"), so a statement or block left unended before it would take it,
  // and what it gives, into the skip. While a guard lives such a skip stops
  // there instead (StopsSkip). A guard of null words lifts the enclosing
  // one.
  class SkipGuard {
   public:
    SkipGuard(TextFormatBase* format, const char* const* words)
        : format_(format), outer_(format->skip_guard_) {
      format_->skip_guard_ = words;
    }
    ~SkipGuard() { format_->skip_guard_ = outer_; }
    SkipGuard(const SkipGuard&) = delete;
    SkipGuard& operator=(const SkipGuard&) = delete;

   private:
    TextFormatBase* format_;
    const char* const* outer_;
  };
  // For a skip at brace depth 0 whose next token is peeked: true when the
  // living guard names that token; then "ERROR: '<word>' : the statement or
  // block before it is not ended" is logged and the read noted as losing
  // what the file gives (it fails once it ends), and the skip answers -103
  // with the word next.
  bool StopsSkip();

  // -111 once the end of input was first met where the file may not end
  // (inside a statement or a block: the file is cut short), else 0.
  int EndedInsideStatement() const;
  // status, except that a failure of a read whose input ended inside a
  // statement answers -111: the cut, not what it broke, is the cause.
  int CutInputStatus(int status) const;
  // Logs that the input ended where the file may not end; answers -111.
  int ReportCutInput();
  // Notes that a table (or another part of a definition) the file gives
  // could not be built as given: the read fails once it ends, since the
  // network would differ from the file's.
  void NoteTableNotBuilt() { content_lost_ = true; }
  // Notes that a node the file declares could not be made (AddNode refused
  // it, as one of an identifier another node holds; its equation or kind
  // failed): the read fails once it ends, since the network would
  // lack the node, its table and arcs.
  void NoteNodeNotCreated() { content_lost_ = true; }
  // Logs that the outcomes the statement of node id gives could not be
  // taken and notes the loss: the read fails once it ends, rather than
  // leave the node outcomes the file does not name. Answers status.
  int OutcomesNotRead(const char* id, const char* statement, int status);
  // status, except that a read that would succeed answers -103 when a
  // table could not be built or a node not made.
  int TablesStatus(int status) const {
    return status == kOk && content_lost_ ? kErrFileIo : status;
  }

  // ---- token tests

  // 1 when the current token's text equals text (by the case rule), else 0.
  int TokenIs(const char* text) const;
  // 1 when the current token's text equals one of the words of the null
  // terminated list, else 0.
  int TokenIsOneOf(const char* const* words) const;
  // Peek at the next token: 1 or 0; -111 at the end of input (other peek
  // failures answer 0); -2 without a lexer. NextIsComma, NextIsOpenParen:
  // that punctuator; NextIsNumber: an integer or a real.
  int NextIs(const char* text);
  int NextIsOneOf(const char* const* words);
  int NextIsComma();
  int NextIsOpenParen();
  int NextIsNumber();
  int NextIsInteger();
  int NextIsIdentifier();
  int NextIsString();

  // Consumes the next token when it has type and, when text is given, that
  // exact text (0). A wanted punctuator (type 8) also matches the lexer's
  // other punctuation tokens ("=", "/", "==", a lone sign) of that text,
  // never a word, number or string. -127 on a mismatch, the peek status
  // when the peek fails.
  int Expect(int type, const char* text);
  // Expect, but a mismatch or a failed peek reports "ERROR: '<token>' :
  // <what> expected" or "ERROR: End of File : Expecting <what>" through
  // ReportError and answers -127; without a lexer "ERROR: Unable to parse
  // file", -127.
  int ExpectOrFail(int type, const char* text);
  // Compose the messages of ExpectOrFail into the message buffer and
  // answer it.
  const std::string& ReportExpected(int type, const char* text);
  const std::string& ReportExpectedAtEnd(int type, const char* text);

  // ---- token readers: consume one token of the kind (0), else -127
  // without a message and nothing consumed; the peek status when the peek
  // fails; -2 without a lexer.

  // An integer or real token (the marker texts give the markers).
  int ReadDouble(double* value);
  // An integer token; -2 when its text is not a whole int in range (the
  // token is then consumed and *value holds what could be read).
  int ReadInt(int* value);
  // A quoted string token: its decoded text.
  int ReadString(std::string* text);
  int ReadIdentifier(std::string* text);

  // ---- writers (all through Output(), in indenting mode; each answers 0
  // or -103 when a write failed)

  // The indentation, then text (escaped when asked).
  int WriteIndented(const char* text, bool escape);
  // text on the current line. Escaped text is written between
  // BeginContinuation and EndContinuation and wraps only when a
  // continuation mark is then set (the lexer joins such lines back);
  // without one it is written unwrapped, as a line break inside a string
  // would change the string.
  int WriteText(const char* text, bool escape);
  // Output().SetLineWidth.
  int SetLineWidth(int width);
  // Closes Output() after writing file_name: 0, or -101 with "ERROR: Can't
  // write the file <file_name>" logged when a write or the close failed.
  int CloseWrittenFile(const char* file_name);

  // ---- pieces the formats build their own list, field and block syntax
  // from (each answers 0 or -103 when a write failed)

  // "(" items separated by separator ")" on the current line, wrapped at
  // blanks: numbers by DoubleToFileText, or whole numbers in decimal.
  int WriteNumberList(const VRN_doubleArray& list, const char* separator);
  int WriteWholeNumberList(const VRN_intArray& list, const char* separator);
  // "(" items escaped within double quotes, separated by separator ")",
  // unwrapped: a break inside an item would become part of it.
  int WriteQuotedList(const VRN_stringArray& list, const char* separator);
  // The indentation (none for empty text), text and LF, unwrapped.
  int WriteRawLine(const std::string& text);
  // name separator value ";" LF at the indentation; nothing for a null
  // name or value. quoted: within double quotes; escape: escaped. Wrapped
  // only when wrap is set.
  int WriteFieldLine(const char* name, const char* separator,
                     const char* value, bool quoted, bool escape, bool wrap);
  // name " {" LF at the indentation (wrapped when wrap is set), then one
  // level deeper; nothing for a null name.
  int WriteBlockOpening(const char* name, bool wrap);

  // ---- operations a format may replace

  // Consumes tokens, counting "{" and "}", up to the next ";" at depth 0,
  // which stays next, and answers 0. A "}" that closes the enclosing block
  // also ends the skip and stays next. When a peek fails its status is
  // logged (with its code name) and answered; -103 where a SkipGuard stops
  // the skip.
  virtual int SkipStatement();
  virtual int SkipField();

  // "(" item {"," item} ")" or "()"; items appended in order. 0; -127 (with
  // a message for a bad "(" or ")"); an append's failure.
  virtual int ReadIdentifierList(VRN_stringArray* list);
  virtual int ReadStringList(VRN_stringArray* list);
  virtual int ReadDoubleList(VRN_doubleArray* list);
  virtual int ReadIntList(VRN_intArray* list);

  // name " = " list ";" LF at the indentation; nothing for a null name. The
  // flag does not change the output.
  virtual int WriteIdentifierListField(const char* name,
                                       const VRN_stringArray& list, int flag);
  // "(" items unquoted, unwrapped, separated by ", " ")".
  virtual int WriteIdentifierList(const VRN_stringArray& list, int flag);
  virtual int WriteStringListField(const char* name,
                                   const VRN_stringArray& list, int flag);
  // "(" quoted escaped items separated by "," and a blank ")"; an item
  // starts a new line when fewer than 3 columns remain.
  virtual int WriteStringList(const VRN_stringArray& list, int flag);
  virtual int WriteDoubleListField(const char* name,
                                   const VRN_doubleArray& list, int flag);
  // "(" numbers by DoubleToFileText separated by ", " ")".
  virtual int WriteDoubleList(const VRN_doubleArray& list, int flag);
  virtual int WriteIntListField(const char* name, const VRN_intArray& list,
                                int flag);
  virtual int WriteIntList(const VRN_intArray& list, int flag);

  // The identifier name (else -129, nothing consumed; -2 for a null name),
  // "=" and one token of type, which is then CurrentToken(). Mismatches
  // after the name: -127 with the ExpectOrFail message.
  virtual int ReadFieldHeader(const char* name, int type);
  // name "=" integer; the int conversion's status.
  virtual int ReadIntField(const char* name, int* value);
  // name "=" TRUE (1) or FALSE (0) by the case rule; another word logs
  // "ERROR: ("<word>") : int Expected" with -127.
  virtual int ReadBoolField(const char* name, int* value);

  // name " = " value ";" LF; nothing for a null name or value. quoted:
  // within double quotes (unwrapped unless escaped); escape: escaped
  // through WriteText; neither: unwrapped.
  virtual int WriteStringField(const char* name, const char* value,
                               bool quoted, bool escape);
  virtual int WriteIntField(const char* name, int value);
  // "TRUE" or "FALSE".
  virtual int WriteBoolField(const char* name, bool value);
  // The value escaped within double quotes.
  virtual int WriteQuotedStringField(const char* name, const char* value);

  // 0 here; block syntax belongs to each format.
  virtual int ReadBlockStart(const char* name);
  // ExpectOrFail on "}".
  virtual int ReadBlockEnd();
  // Writes nothing here.
  virtual int WriteBlockStart(const char* name);
  // One level less, "};" LF at the indentation, one level less.
  virtual int WriteBlockEnd();
  // 1 when the next token is "}" or the input has ended (or there is no
  // lexer), else 0. The peek is one between statements.
  virtual int IsBlockEnd();

  // Logs message (null: the code's name) with code, after "(line %d) : "
  // while a lexer exists, with the repair of ValidUtf8Text (messages quote
  // the file's text); answers code. Code 0 logs nothing.
  virtual int ReportError(int code, const char* message);
  // The same with a printf-formatted message.
  virtual int ReportFormatted(int code, const char* format, ...)
      __attribute__((format(printf, 3, 4)));

  // Called around escaped text; a format sets and clears the output's
  // continuation mark here. Nothing here.
  virtual void BeginContinuation() {}
  virtual void EndContinuation() {}

 private:
  int Peek();
  bool Matches(int type, const char* text) const;
  bool IsPunctuator(const char* text) const;
  // Shared shape of the list readers.
  template <typename ReadItem>
  int ReadList(int (TextFormatBase::*next_is_item)(), ReadItem read_item);
  // Shared shape of the list field writers.
  template <typename List>
  int WriteListField(const char* name, const List& list, int flag,
                     int (TextFormatBase::*write_list)(const List&, int));
  int WriteFieldName(const char* name);
  int WriteFieldEnd();

  // Where the current read first met the end of its input.
  enum class InputEnd { kNotYet, kBetweenStatements, kInsideStatement };

  VRN_errorLog* log_;
  std::unique_ptr<VRN_textLexer> lexer_;
  InputEnd input_end_ = InputEnd::kNotYet;
  bool between_statements_ = false;
  bool network_block_open_ = false;
  const char* const* skip_guard_ = nullptr;
  int nested_blocks_ = 0;
  bool content_lost_ = false;  // since the lexer was created
  VRN_textToken token_;
  std::string message_;
  bool case_sensitive_ = true;
  VRN_textOutput output_;
};

// What a text writer's file holds, for the checks every text writer makes
// before it opens its file.
struct TextWriterRules {
  // The format as refusals name it, e.g. "Ergo format".
  const char* format_name;
  // Whether the file holds every table in full (not the parameters of a
  // node that inference keeps decomposed).
  bool full_tables;
  // The format's refusal of a network with a multi-attribute utility node,
  // for which it has no place; null when it holds them.
  const char* mau_refusal;
  // What the file holds as identifiers besides nodes and outcomes: the
  // network's identifier; the network's user properties and the submodels;
  // the nodes' user properties.
  bool network_id = false;
  bool network_parts = false;
  bool node_properties = false;
};

// The line a writer logs after its refusal of a network for one node's
// kind: "ERROR: Node [id] is of type NAME: " + why, code -2; answers -2.
int ExplainKindRefusal(TextFormatBase* format, const VRN_node& node, const std::string& why);

// The checks a text writer makes before it opens its file, so that a
// refusal leaves none; every writer asks here first. Refused, logged
// through format naming the node and rules.format_name:
// - a dynamic network (-2): no text file has a place for temporal types,
//   arcs and tables or the slice count, so it would read back as another,
//   static one;
// - with full_tables, a family whose table its reader would refuse as too
//   large (io/table_limit.h), such as a noisy-MAX of many parents (-2);
//   equation nodes, which such files hold without a table, do not count;
// - with a mau_refusal, a multi-attribute utility node (-2, that message
//   and a line naming the node);
// - a node or outcome identifier with bytes that are not UTF-8 (-103):
//   every text reader repairs them, so that two could read back as one;
//   so too the network's identifier, a submodel's and a user property's
//   name where the rules say the file holds them;
// - a table entry that is not a finite number (-103): no reader takes it.
// Answers the first refusal's status, else 0.
[[nodiscard]] int RefuseUnwritable(TextFormatBase* format,
                                   const VRN_network& network,
                                   const TextWriterRules& rules);

}  // namespace qelta

#endif  // QELTA_IO_TEXT_FORMAT_HELPERS_H_
