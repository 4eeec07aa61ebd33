// VRN_neticaSpeaker: the Netica text network file (format code 2,
// extension "dne").
//
// A file is one "bnet" block holding network statements and one block per
// node with its kind, states, parents and table:
//
//   bnet Cancer {
//     title = "Cancer";
//     node Smoker { kind = NATURE; discrete = TRUE; states = (yes, no);
//                   probs = (0.3, 0.7); };
//     node Cancer { kind = NATURE; discrete = TRUE; states = (present, absent);
//                   parents = (Smoker); probs = ((0.1, 0.9), (0.01, 0.99)); };
//   };
//
// Keywords compare without regard to case. A table is nested one level per
// parent (first parent outermost, own states innermost), or written as one
// flat list; "@imposs" and "@undef" read as 0. "levels" give a node's
// interval bounds (one more than its states) or point values (one per
// state). Equations are translated into the system's expression language
// (see netica_expression.h).
//
// Reading is lenient: a bad statement is logged with "(line %d) : " and
// skipped, and reading goes on. Nodes are built once the whole file is
// read, their handles in file order, so a node may name a parent whose
// block comes later. A node whose parent is unknown, could not be made or
// would close a cycle, whose levels do not fit its states, or whose kind
// this build cannot create (-51 logged) fails the read (-103, naming the
// node and why), as does a statement left unended before a node's
// statement. A file that does not start with "bnet" fails with -127.
//
// Writing: chance nodes (canonical kinds as their expanded CPT), truth
// tables (as "functable" of resulting states), decisions and utilities;
// a network with a multi-attribute utility node is refused (-2, no file).
//
// Ownership: the network is the caller's. Thread use: one speaker serves
// one call on the calling thread.
#ifndef QELTA_IO_TEXT_NETICA_H_
#define QELTA_IO_TEXT_NETICA_H_

#include <memory>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/strings.h"
#include "io/format.h"

class VRN_matrix;

// One node block's fields as read.
struct VRN_neticaNodeRecord {
  std::string id;
  std::string title;
  std::string comment;
  std::string kind;
  std::string equation;
  std::string chance;
  int discrete = 0;
  int numstates = 0;
  bool has_title = false;
  bool has_comment = false;
  std::vector<std::string> states;
  std::vector<double> levels;
  // Numbers of "probs", and of a "functable" of numbers (utilities).
  std::vector<double> probs;
  // Outcome ids of a "functable" of ids (truth tables).
  std::vector<std::string> functable;
  // A "probs" or "functable" statement could not be read.
  bool table_failed = false;
  std::vector<std::string> parents;
  VRN_userProperties user_properties;
  std::vector<int> center;
  std::vector<int> size;
  // The line of the block's "node" word, for messages of the build.
  int line = 0;
};

class VRN_neticaSpeaker : public VRN_fileFormat {
 public:
  // REQUIRES: network != nullptr and outlives the speaker.
  explicit VRN_neticaSpeaker(VRN_network* network);
  ~VRN_neticaSpeaker() override;

  // Builds the network from the file. 0 once the "bnet" header was read
  // (bad statements and nodes are logged and skipped); -42 when the lexer
  // cannot be made; the lexer's status when the file cannot be opened
  // (-103) or is empty (-102), or meets an unknown character (-126) or the
  // end of the file inside a string or comment (-128); -127 when the file
  // does not start with "bnet", a name and "{"; -111 when it ends before
  // the bnet block is closed; -103 when a table it gives cannot be built,
  // a states list cannot be taken as given (an empty one included), a
  // node's parent is unknown, could not be made or would close a cycle,
  // its levels do not fit its states, or a skip would pass a node's
  // statement (SkipGuard).
  int Read(const char* file_name) override;
  // Writes the network. 0; -2 (nothing written, message logged) for a
  // network with a multi-attribute utility node or with temporal nodes;
  // -101 (message logged) when the file cannot be opened or a write fails.
  int Write(const char* file_name) override;

  // Up to and including the next ";" at brace depth 0; a "}" at depth 0
  // (the end of the enclosing block) stays next. 0, or the lexer's failure.
  int SkipStatement() override;
  // name " {" LF at the indentation, then one level deeper.
  int WriteBlockStart(const char* name) override;
  // A backslash and a blank end each line wrapped inside escaped text.
  void BeginContinuation() override;
  void EndContinuation() override;

 private:
  enum class Leaves { kNumbers, kAny };

  // Each reader starts at its first word and answers 0 when the input may
  // be read on (the problems met are logged), else the lexer's failure.
  int ReadNetStatement();
  int ReadVisualNetBlock();
  int ReadNodeBlock();
  int ReadNodeStatement(VRN_neticaNodeRecord* record);
  int ReadUserBlock(VRN_neticaNodeRecord* record);
  int ReadVisualNodeBlock(VRN_neticaNodeRecord* record);
  // A block whose statements are all skipped: words it knows silently,
  // any other with the unknown-statement format (one %s for the word).
  int ReadSkippedBlock(const char* const* words, const char* unknown);
  // The statements of a block whose "{" was consumed, each by read, up to
  // and including its "}" and an optional ";". network: the block is the
  // network's; else it lies below it, and the file may not end inside it.
  template <typename ReadOne>
  int ReadBlockBody(ReadOne read, bool network = false);
  // An identifier (or integer) naming a block, and its "{". 0 or -127
  // (reported); the lexer's failure.
  int ReadBlockHead(std::string* name);
  // "(" numbers ")" into *values (nothing stored on failure).
  int ReadIntegers(std::vector<int>* values);
  // A table of depth nested lists: numbers appended to *numbers, ids (when
  // leaves is kAny) to *ids. An outermost list whose first item is not a
  // list is read as one flat list.
  int ReadTable(int depth, Leaves leaves, std::vector<double>* numbers,
                std::vector<std::string>* ids);
  int ReadLeaf(Leaves leaves, std::vector<double>* numbers,
               std::vector<std::string>* ids);

  // Builds the nodes of the records; every problem is logged.
  void BuildNetwork();
  void BuildOutcomes(int handle, const VRN_neticaNodeRecord& record);
  void BuildDefinition(int handle, const VRN_neticaNodeRecord& record);
  // The discretization intervals of an equation node from its levels and
  // states; set before any child is linked so children see their count.
  void BuildEquationIntervals(int handle, const VRN_neticaNodeRecord& record);
  // Logs message with "(line %d) : " for a line of the file.
  void ReportAtLine(int line, int code, const std::string& message);

  void WriteNode(int handle);
  // The node's table after "probs = " or "functable = ": nested lists,
  // the leaves running along the last dimension.
  void WriteTable(const VRN_matrix& table, bool utility);
  void WriteSubTable(const VRN_matrix& table, int dimension, int leaf,
                     int* offset);
  // A truth table as its resulting states, or as "probs" when a column is
  // not one 1.0 among zeros.
  void WriteTruthTable(int handle);
  void WriteResultingStates(int handle);
  // "levels = (...)" for intervals or point values.
  void WriteLevels(int handle);
  // An equation node's states, levels and "equation" lines.
  void WriteEquation(int handle);

  std::vector<std::unique_ptr<VRN_neticaNodeRecord>> records_;
};

#endif  // QELTA_IO_TEXT_NETICA_H_
