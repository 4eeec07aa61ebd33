// VRN_kiSpeaker: reads KI knowledge bases of diagnostic networks (format
// code 7, extension "dxp").
//
// A file holds a header line, a settings block, a block of node
// descriptions with their states, and a network block with each node's
// parents and table:
//
//   diagnostic network "Pump"
//   kb { NOTES : "A small pump"; VERSION : 1 2; }
//   nodes {
//     standard Leak { NAME : " Leak "; OBSERVABLE : FALSE;
//       type : discrete [2] = 3 D {
//         fault yes { NAME : "yes"; ABBREVIATION : "L"; }
//         standard no { NAME : "no"; } };
//     }
//   }
//   network {
//     standard Leak parent () { PROB : { (0); 0.1, 0.9; }; }
//   }
//
// Keywords compare without regard to case; fields are "name : value".
// Node and state names given as strings are repaired into identifiers,
// and the network block finds its nodes by the same repair. Row i of a
// PROB table fills parent configuration i. After reading, every table
// number is rounded to 5 decimals and node names lose their leading and
// trailing blanks. A node OBSERVABLE or MANDATORY is an observation,
// else one with a fault state a target, else auxiliary.
//
// Reading is lenient: a bad statement or block is logged with "(line %d) :
// " and skipped, and reading goes on, unless what is skipped gives a node
// its outcomes, arcs or table (then the read fails). A file that does not
// start with "diagnostic network" and a name fails with -127, as does one
// without its "kb", "nodes" and "network" blocks. A "ci" node is
// noisy-MAX: its FUNCTION
// gives one row per parent outcome and a leak row, and names each parent's
// absent outcome; its own outcomes are listed from the absent one.
//
// Writing is offered only when a "dxp" file name picks this speaker (the
// network refuses the explicit format code): it writes the native text
// layout (vrn.h, VRN_vrnSpeaker::SetKiLayout), which reads back with the
// native text format code, not as KI.
//
// Ownership: the network is the caller's. Thread use: one speaker serves
// one call on the calling thread.
#ifndef QELTA_IO_TEXT_KI_H_
#define QELTA_IO_TEXT_KI_H_

#include <cstdint>
#include <string>
#include <vector>

#include "io/format.h"

// A noisy-MAX FUNCTION as read: the leak row, each parent's rows by its
// outcomes in file order, and each parent's absent outcome.
struct KiNoisyMaxFunction {
  std::vector<double> leak;
  std::vector<std::vector<std::vector<double>>> rows;
  std::vector<int> absent;
};

class VRN_kiSpeaker : public VRN_fileFormat {
 public:
  // REQUIRES: network != nullptr and outlives the speaker.
  explicit VRN_kiSpeaker(VRN_network* network);
  ~VRN_kiSpeaker() override;

  // Builds the network from the file. 0 when read (bad statements and
  // blocks are logged and skipped); -42 when the lexer cannot be made; the
  // lexer's status when the file cannot be opened (-103) or is empty
  // (-102), or meets an unknown character (-126) or the end of the file
  // inside a string or comment (-128); -127 when the header line or one of
  // the three blocks is missing; -111 when the file ends inside a block;
  // -103 when a table cannot be built as given, or a TYPE statement's
  // state list does not name each of its count of outcomes once (states
  // missing, too many, names repeated or unreadable, no list), an arc it
  // gives cannot be added or names no node, a table names no node, or the
  // skip of a statement it cannot use would pass a TYPE, PROB or FUNCTION
  // statement (SkipGuard).
  int Read(const char* file_name) override;
  // Writes the native text layout with the KI differences; the answers of
  // VRN_vrnSpeaker::Write.
  int Write(const char* file_name) override;

  // Up to and including the next ";" at brace depth 0; a "}" at depth 0
  // (the end of the enclosing block) stays next. 0, or the lexer's failure.
  int SkipStatement() override;
  // The identifier name (else -129, nothing consumed), ":" and one token
  // of type, which is then CurrentToken(); -127 with a message on a
  // mismatch.
  int ReadFieldHeader(const char* name, int type) override;

 private:
  // Each reader starts at its first word and answers 0 when the input may
  // be read on (the problems met are logged), else the status that ends
  // the read.
  int ReadKbBlock();
  int ReadNodesBlock();
  int ReadNodeDescription();
  int ReadNodeField(int handle, bool* noisy_max);
  int ReadStates(int handle);
  int ReadStateDescription(int handle, int index);
  int ReadStateField(int handle, int index, bool fault);
  int ReadNetworkBlock();
  int ReadNodeDefinition();
  int ReadProbTable(int handle);
  // "FUNCTION" of a noisy-MAX node; the definition is built from it.
  int ReadFunction(int handle);
  // Numbers separated by "," and the ";" after them.
  int ReadNumberRow(std::vector<double>* row);
  // Parameters from the rows (each parent's outcomes in order, the leak
  // last), each parent's absent outcome at its last strength position, and
  // the node's outcomes reversed. Problems are logged.
  void BuildNoisyMax(int handle, const KiNoisyMaxFunction& function);
  // An identifier, or a string repaired into one, into *id.
  int ReadNodeId(std::string* id);
  // ":" and a token of type after a field name.
  int ReadColonValue(int type);
  // "{" ... "}" blocks: "{" consumed here; a statement reader is called
  // for each statement up to the "}" (consumed).
  template <typename ReadOne>
  int ReadBlock(ReadOne read);
  void PostProcess();

  // Node flags of the description being read: -1 unset, 0 or 1.
  int observable_ = -1;
  int mandatory_ = -1;
  int hypothesis_ = -1;
  // The file's size in bytes: no count may exceed it.
  std::uint64_t file_size_ = 0;
  // States of the TYPE statement being read whose NAME became an outcome
  // identifier.
  int named_outcomes_ = 0;
};

#endif  // QELTA_IO_TEXT_KI_H_
