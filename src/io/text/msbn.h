// VRN_microsoftSpeaker: the MSBN belief network text file (format code 3,
// extension "dsc").
//
// A file opens with a header naming the network, then holds node blocks
// with their states and positions, and probability, utility and
// information blocks that give each node its kind, parents and table:
//
//   belief network "Cancer"
//   node Smoker { name : "Smoker"; type : discrete[2] = { "yes", "no" }; }
//   probability (Cancer | Smoker) { (0) : 0.1, 0.9; (1) : 0.01, 0.99; }
//
// Fields are written "name : value". Commas and bars only separate tokens.
// A table entry names one configuration of the parents by their outcome
// indexes and lists the child's values there; an entry without indexes
// fills the table from its first item. Every index and every value
// position is range-checked before it is used.
//
// Reading is lenient: a bad statement or block is logged with "(line %d) :
// " and skipped, and reading goes on, unless what is skipped gives a node
// its outcomes or table (then the read fails; see Read). State labels that are not identifiers are
// repaired to distinct identifiers. Stored text is kept valid UTF-8: in
// names a byte sequence that is not UTF-8 becomes U+FFFD, in state ids '_'.
//
// Ownership: the network is the caller's. Thread use: one speaker serves
// one call on the calling thread.
#ifndef QELTA_IO_TEXT_MSBN_H_
#define QELTA_IO_TEXT_MSBN_H_

#include <string>
#include <vector>

#include "io/format.h"

class VRN_doubleArray;
class VRN_intArray;
class VRN_stringArray;

class VRN_microsoftSpeaker : public VRN_fileFormat {
 public:
  // REQUIRES: network != nullptr and outlives the speaker.
  explicit VRN_microsoftSpeaker(VRN_network* network);
  ~VRN_microsoftSpeaker() override;

  // Builds the network from the file. 0 once the header was read (bad
  // statements and blocks are logged and skipped); -42 when the lexer
  // cannot be made; the lexer's status when the file cannot be opened
  // (-103) or is empty (-102); -127 when the header is missing or broken
  // (-111 when the file ends inside it);
  // the lexer's failure when the input ends inside a block or after a
  // probability or utility block's parents (-111), meets
  // an unknown character (-126) or ends inside a string or comment (-128);
  // -103 when a table it gives cannot be built as given (an entry that is
  // not a number, a missing entry or table block), naming the node, or a
  // node's states (its "type" statement) cannot be taken as given (a list
  // of another size than the count it declares included), or the
  // skip of a statement it cannot use would pass a declaration or a "type"
  // statement (SkipGuard).
  int Read(const char* file_name) override;
  // Writes the network. 0; -2 (nothing written, message logged) for a
  // network with a node kind the format cannot hold or with temporal
  // nodes; -101 when the file cannot be opened or a write fails.
  int Write(const char* file_name) override;

  // Up to and including the next ";" at brace depth 0, as in the Hugin
  // format.
  int SkipStatement() override;
  // "(" quoted strings ")", as in the Hugin format.
  int ReadIdentifierList(VRN_stringArray* list) override;
  // "(" numbers ")", as in the Hugin format.
  int ReadDoubleList(VRN_doubleArray* list) override;
  // "(" integers ")"; -2 for an integer outside the int range.
  int ReadIntList(VRN_intArray* list) override;
  // The identifier name (else -129, nothing consumed), ":" and one token of
  // type, which is then CurrentToken(); -127 with a message on a mismatch.
  int ReadFieldHeader(const char* name, int type) override;
  // "(" numbers separated by one blank ")".
  int WriteDoubleList(const VRN_doubleArray& list, int flag) override;
  // name " : " value ";" LF at the indentation; the value in double quotes
  // when quoted (then unwrapped), escaped when escape. Nothing for a null
  // name or value.
  int WriteStringField(const char* name, const char* value, bool quoted,
                       bool escape) override;
  // name " {" LF at the indentation, then one level deeper.
  int WriteBlockStart(const char* name) override;

 private:
  // Each reader starts at its first word and answers 0 when the input may
  // be read on (the problems met are logged), else the lexer's failure.
  int ReadNode();
  int ReadNodeStatement(int handle);
  // "discrete" "[" n "]" "=" "{" strings "}" after "type" ":".
  int ReadStates(int handle);
  int ReadTableBlock(std::vector<bool>* done);
  // One entry of the table block of child into *items; *written tells
  // whether an entry was stored.
  int ReadEntry(int child, VRN_doubleArray* items, bool* written);

  void WriteNode(int handle);
  void WriteTableBlock(int handle);

  // Definition type of the block being read.
  int block_type_ = 18;
};

#endif  // QELTA_IO_TEXT_MSBN_H_
