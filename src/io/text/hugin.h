// VRN_huginSpeaker: the Hugin network file (format code 5, extension
// "net").
//
// A file holds a "net" block with network attributes, node declarations
// ("node", "decision", "utility", optionally after "discrete") with their
// attributes, and "potential" blocks that give each node its parents and
// table:
//
//   net { node_size = (80 40); }
//   node smoke { label = "Smoker"; states = ("yes" "no"); }
//   potential (cancer | smoke) { data = ((0.1 0.9) (0.01 0.99)); }
//
// Reading is lenient: a bad statement or declaration is logged with "(line
// %d) : " and skipped, and reading goes on, unless the skip would pass the
// start of a declaration or a node's states (then the read fails, as it
// does for a table given only by model_nodes and model_data, a continuous
// node, a node of unknown kind and an undirected potential). The file
// must begin with "net";
// after that the top-level declarations may come in any order: potentials are collected and applied once every node
// is declared, so a potential may name nodes declared after it. State
// labels that are not identifiers are repaired to distinct identifiers.
// Stored text is kept valid UTF-8: in labels and property values a byte
// sequence that is not UTF-8 becomes U+FFFD, in state ids '_'.
// Every CPT row is normalised after reading, and the vertical axis, which
// runs the other way in these files, is flipped on reading and writing.
//
// The list syntax of this format (items separated by blanks) is shared
// with the MSBN speaker through the functions in namespace qelta below.
//
// Ownership: the network is the caller's. Thread use: one speaker serves
// one call on the calling thread.
#ifndef QELTA_IO_TEXT_HUGIN_H_
#define QELTA_IO_TEXT_HUGIN_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "io/format.h"

class VRN_doubleArray;
class VRN_intArray;
class VRN_matrix;
class VRN_stringArray;
struct VRN_textToken;

namespace qelta {

// True for the statuses with which the lexer says the input cannot be read
// on: the end of input (-111), an unknown character (-126), the end of the
// file inside a comment or string (-128), a read error (-103).
bool IsInputFailure(int status);
// True when the token last peeked is the punctuation character(s) text.
bool IsPunctuation(const TextFormatBase& format, const char* text);
// True for an integer or real token, and for digits followed by a point.
bool IsNumberToken(const VRN_textToken& token);
// The value truncated toward zero into *out; false (and *out unchanged) for
// a value that is not finite or outside the int range.
bool TruncateToInt(double value, int* out);

// ExpectOrFail, except that an unknown character, the end of the file
// inside a string or comment, or a read error is answered as it is rather
// than as a syntax error, so that a read ends with the lexer's own status
// (the end of input is reported and answered -127 as by ExpectOrFail; a
// later peek meets it again).
int Require(TextFormatBase* format, int type, const char* text);

// Skips a declaration that failed. depth is the number of its "{" already
// consumed (0 or more): tokens are consumed up to and including the "}"
// that closes them, or, with depth 0, the "}" that balances the first "{"
// met, or a ";" met before any "{". 0; the lexer's failure, logged, when
// the input ends first; -103 where a SkipGuard stops the skip before any
// "{".
int SkipDeclaration(TextFormatBase* format, int depth);
// The same after a step that answered status: a failure of the input is
// answered at once, anything else skips.
int SkipFailedDeclaration(TextFormatBase* format, int status, int depth);

// Reads a node declaration from its identifier on: makes a node of type
// with that identifier (*id) in format's network, *handle (a refusal is
// logged, noted as a node not made, and the declaration skipped, *handle
// -1), then hands each statement between "{" and "}" to statement(handle).
// 0, or the first failure.
int ReadNodeDeclaration(VRN_fileFormat* format, int type, std::string* id, int* handle,
                        const std::function<int(int)>& statement);

// After a statement that answered status: its ";" (consumed) when status is
// 0 and the ";" is next; otherwise the statement is skipped (a failure of
// the input is answered at once).
int EndStatement(TextFormatBase* format, int status);

// Consumes tokens, counting "{" and "}", up to and including the next ";"
// at depth 0; a "}" at depth 0 (the end of the enclosing block) ends the
// skip and stays next. 0, or the lexer's failure; -103 where a SkipGuard
// stops the skip.
int SkipThroughSemicolon(TextFormatBase* format);

// "(" then items with no separators, then ")": quoted strings appended to
// *list, or numbers to *numbers. 0; -127 with the message for a missing
// "(" or ")", or an item of another kind (a number joined to the one
// before it, as the ".8" of "0.2.8", is none); the lexer's failure.
int ReadBlankSeparatedStrings(TextFormatBase* format, VRN_stringArray* list);
int ReadBlankSeparatedNumbers(TextFormatBase* format, VRN_doubleArray* numbers);

}  // namespace qelta

class VRN_huginSpeaker : public VRN_fileFormat {
 public:
  // REQUIRES: network != nullptr and outlives the speaker.
  explicit VRN_huginSpeaker(VRN_network* network);
  ~VRN_huginSpeaker() override;

  // Builds the network from the file. 0 once the file could be read (bad
  // statements are logged and skipped); -42 when the lexer cannot be made;
  // the lexer's status when the file cannot be opened (-103) or is empty
  // (-102), or when the input ends inside a declaration (-111), meets an
  // unknown character (-126) or ends inside a string or comment (-128);
  // -127 with "ERROR: '<word>' : Network header expected" when the first
  // word is not "net" (nothing is read); -103 when a potential's table
  // cannot be built as given (one given only by model_nodes and
  // model_data included), a states list cannot be taken as given, or the
  // skip of a statement it cannot use would pass a declaration
  // (SkipGuard).
  int Read(const char* file_name) override;
  // Writes the network. 0; -2 (nothing written, message logged) for a
  // network with a node kind the format cannot hold or with temporal
  // nodes; -101 when the file cannot be opened or a write fails.
  int Write(const char* file_name) override;

  // Up to and including the next ";" at brace depth 0; a "}" at depth 0
  // (the end of the enclosing block) stays next. 0, or the lexer's
  // failure, logged.
  int SkipStatement() override;
  // "(" quoted strings without separators ")".
  int ReadIdentifierList(VRN_stringArray* list) override;
  // "(" numbers without separators ")".
  int ReadDoubleList(VRN_doubleArray* list) override;
  // "(" each item in double quotes, separated by one blank ")".
  int WriteIdentifierList(const VRN_stringArray& list, int flag) override;
  // "(" numbers separated by one blank ")".
  int WriteDoubleList(const VRN_doubleArray& list, int flag) override;
  // "(" decimal integers separated by one blank ")".
  int WriteIntList(const VRN_intArray& list, int flag) override;
  // name " = " value ";" LF at the indentation, unwrapped; the value in
  // double quotes when quoted, escaped when escape. Nothing for a null
  // name or value.
  int WriteStringField(const char* name, const char* value, bool quoted,
                       bool escape) override;
  // name " {" LF at the indentation, then one level deeper.
  int WriteBlockStart(const char* name) override;

 private:
  // A potential as read, applied after the last declaration.
  struct Potential {
    std::string child;
    std::vector<std::string> parents;
    std::vector<double> data;
    bool has_data = false;
    // A "data" statement could not be read.
    bool data_failed = false;
    // A "model_nodes" or "model_data" statement gives the table.
    bool has_model = false;
    int line = 0;
  };

  // Each reader starts at its first word and answers 0 when the input may
  // be read on (the problems met are logged), else the lexer's failure.
  int ReadNetBlock();
  int ReadNetStatement();
  int ReadNodeDeclaration();
  int ReadNodeStatement(int handle);
  int ReadPotential(std::vector<Potential>* potentials);
  int ReadPotentialStatement(Potential* potential);
  // Nested lists of numbers into *data.
  int ReadNestedNumbers(std::vector<double>* data);
  // Gives the child its parents and table. False (reasons logged) when the
  // file says something that cannot be built; nothing is allocated for a
  // table before its size is known to be possible.
  bool ApplyPotential(const Potential& potential, std::vector<bool>* done);
  void FinishNetwork();
  // Logs the message with "(line %d) : " for a line of the file.
  void ReportAtLine(int line, int code, const std::string& message);

  void WriteNode(int handle, std::int64_t flip);
  void WritePotential(int handle);
  void WriteTable(const VRN_matrix& table, bool utility);
  // The sub-table of the dimension at *offset (moved past it); the
  // dimensions from leaf on form one list.
  void WriteSubTable(const VRN_matrix& table, int dimension, int leaf,
                     int* offset);

  // Definition type of the node declaration being read.
  int node_type_ = 18;
};

#endif  // QELTA_IO_TEXT_HUGIN_H_
