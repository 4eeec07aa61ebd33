// VRN_ergoSpeaker: the Ergo network file (format code 1, extension "erg").
//
// A positional format of numbers and words separated by white space: the
// node count, one outcome count per node, one parent list per node (a
// count, then 1-based node numbers), then named sections:
//
//   2
//   2 2
//   0
//   1 1
//   /* Probabilities */
//   2  0.3 0.7
//   4  0.1 0.9 0.4 0.6
//   /* Names */    Smoker Cancer
//   /* Labels */   yes no  present absent
//   /* Centers */  10 10  10 80
//
// A table lists the node's probabilities with the first parent slowest and
// the node's own outcome fastest. A table size of 0 gives a noisy-MAX node
// whose parameters follow as cumulative columns. A section name may be
// shortened to any prefix ("Prob").
//
// Reading is lenient where the positions of later items stay known and no
// node loses what the file gives it: bad counts are reported and replaced
// (outcomes 2, parents 0) and duplicate names are reported and kept as
// names only. A parent number that names no node, a table of the wrong
// size, and an arc, table or labels line that cannot be taken as the file
// gives it fail the read (-103, naming the node by its number in the file
// or its id) once it ends. A file that does not start with the node count,
// or whose counts exceed the file's size, fails with -127; an unknown
// section fails the read.
//
// Writing: CPT and truth-table nodes only (-2, nothing written, for any
// other kind).
//
// Ownership: the network is the caller's. Thread use: one speaker serves
// one call on the calling thread.
#ifndef QELTA_IO_TEXT_ERGO_H_
#define QELTA_IO_TEXT_ERGO_H_

#include <cstdint>
#include <vector>

#include "io/format.h"

namespace qelta {

// The noisy-MAX parameter column of one cumulative list x1 .. x(n-1), each
// clamped into [0, 1]: (1 - x(n-1), x(n-1) - x(n-2), ..., x2 - x1, x1), its
// entries clamped into [0, 1] and normalised to sum 1 (a column summing to
// 0 becomes uniform). The leak list (0.2, 0.7) gives (0.3, 0.5, 0.2).
std::vector<double> ErgoNoisyMaxColumn(const std::vector<double>& cumulative);

}  // namespace qelta

class VRN_ergoSpeaker : public VRN_fileFormat {
 public:
  // REQUIRES: network != nullptr and outlives the speaker.
  explicit VRN_ergoSpeaker(VRN_network* network);
  ~VRN_ergoSpeaker() override;

  // Builds the network from the file. 0 when read (problems that keep the
  // positions are logged and skipped); 0 for a node count of 0; -42 when
  // the lexer cannot be made; the lexer's status when the file cannot be
  // opened (-103) or is empty (-102); -127 when the file does not start
  // with an integer, a count exceeds the file's size, the counts or a
  // section hold a bad number, or a section is unknown; -111 when the
  // input ends inside the counts or a section; -2 for a negative node count
  // or when no section follows the parent lists; -103 when a node's labels
  // cannot be taken as its outcome identifiers, a parent number names no
  // node, a table holds more or fewer numbers than its node needs, a
  // labels line holds more or
  // fewer labels than its node has outcomes, names or labels are missing,
  // or a word stands where a section should start before the
  // Probabilities, Names and Labels sections were all read.
  int Read(const char* file_name) override;
  // Writes the network. 0; -2 (nothing written, message logged) unless
  // every node is a CPT or a truth table, or when the network has temporal
  // nodes; -101 (message logged) when the file cannot be opened or a write
  // fails.
  int Write(const char* file_name) override;

 private:
  // Each answers 0, or the status that ends the read (reported).
  int ReadCount(const char* what, int* value);
  int ReadProbabilities();
  int ReadNames();
  int ReadLabels();
  int ReadCenters();
  // The node at position i becomes noisy-MAX with the cumulative columns
  // that follow in the file.
  int ReadNoisyMax(std::size_t i);
  // Once every table is read: the strength order of each CPT parent of a
  // noisy-MAX node runs from its last outcome.
  void FinishNoisyMax();

  // Node handles in file order; -1 where a node could not be made.
  std::vector<int> nodes_;
  // The file's size in bytes: no count may exceed it.
  std::uint64_t file_size_ = 0;
};

#endif  // QELTA_IO_TEXT_ERGO_H_
