// VRN_emSession: EM learning cut into the pieces a distributed run needs.
// A driver session sets the starting parameters, sums nothing itself and
// maximises from the counts every worker's session added; a worker session
// takes the parameters the driver sent, reads records as arrays of outcome
// indices and adds their expected counts and ln P(e) into one array.
//
// Every step is the one-machine learner's own (VRN_em::Learn), in the same
// order, so that one worker reading the records in data order gives the
// same tables, score and pass count bit for bit. What that learner cannot
// count in one pass over a table per node (noisy-MAX and noisy-adder nodes,
// equation nodes, dynamic networks) is refused at Open, naming the node.
//
// Thread use: one thread at a time per session; sessions share nothing.
#ifndef QELTA_LEARNING_EM_SESSION_H_
#define QELTA_LEARNING_EM_SESSION_H_

#include <memory>
#include <string>
#include <vector>

#include "learning/em.h"
#include "learning/em_steps.h"

class VRN_network;

class VRN_emSession {
 public:
  VRN_emSession();
  ~VRN_emSession();
  VRN_emSession(const VRN_emSession&) = delete;
  VRN_emSession& operator=(const VRN_emSession&) = delete;

  // Reads the network from text and prepares a working copy for records
  // whose value i belongs to node columns[i]; fixed nodes keep their
  // tables. Refuses what VRN_em::Learn refuses, with its messages, and the
  // node kinds named above. On failure answers the status with the
  // messages in *error (the network's log).
  int Open(const char* text, const std::vector<std::string>& columns,
           const std::vector<std::string>& fixed, const VRN_em& options,
           std::string* error);

  // Whether the learner counts instead (no temporal or fixed node, every
  // node matched by one column, every node a CPT): the data must also be
  // complete, which only the caller knows.
  bool CanCount() const { return canCount_; }

  // Driver: sets the starting values as the learner does (randomized with
  // the options' generator and seed, uniform, or the network's own) and
  // keeps them as the prior of every maximisation.
  void Start();

  // The tables of the learnable nodes, one after another in node order.
  int ParameterCount() const { return parameterCount_; }
  void GetParameters(double* out) const;
  // Worker: takes the driver's tables (ParameterCount values); -4 when a
  // table refuses them.
  int SetParameters(const double* values);

  // Worker, one pass: the count array holds every node's family table in
  // node order and last the log-likelihood.
  int CountSize() const { return countSize_; }
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  // Adds `records` records of values[r * columns + i] (negative: missing),
  // the first being record number first + 1 of the data. A value the
  // engine refuses is skipped and its message kept in refusals(); -42 when
  // a record's P(e) fails (the message names the record).
  int AddRecords(const int* values, int records, long long first, std::string* error);
  // Whether every value of records records is an outcome index of its
  // column's node, or negative (missing) where complete is false. The
  // record readers below index tables with them unchecked.
  bool ValuesFit(const int* values, int records, bool complete) const;
  // Copies the counts and log-likelihood out and clears them.
  void TakeCounts(double* out);
  // Messages of the values refused since the last call, then cleared.
  std::vector<std::string> TakeRefusals();

  // Driver: one pass's end from the summed counts (CountSize values): tests
  // convergence on their log-likelihood against the last pass's, then
  // maximises. Answers 1 converged, 0 not, or a failure status.
  int EndPass(const double* summed, long long records, double threshold, int maxPasses,
              std::string* error);
  int Passes() const { return passes_; }
  double Score() const { return current_; }

  // Counting instead of EM. Worker: adds 1 per record to each family's
  // cell. Driver: the tables from the summed counts as the counting learner
  // makes them. Worker: total plus ln P of each record under the current
  // tables (the score, record by record, family by family in column order).
  void CountRecords(const int* values, int records);
  void FinishCounting(const double* summed);
  double ScoreRecords(const int* values, int records, double total) const;
  void SetScore(double score) { current_ = score; }

  // Copies the learned tables of the learnable nodes into target (a
  // network read from the same text) as the learner copies them back.
  int Apply(VRN_network& target, std::string* error) const;

 private:
  int Fail(int status, std::string* error) const;

  std::unique_ptr<VRN_network> source_;  // as read
  std::unique_ptr<VRN_network> work_;    // where inference runs
  VRN_em options_;
  std::vector<int> columns_;   // node handle per value of a record
  std::vector<int> learnList_;
  std::vector<bool> fixed_;
  bool canCount_ = false;
  int parameterCount_ = 0;
  int countSize_ = 0;
  qelta::CountTables counts_;
  std::vector<VRN_matrix> priors_;
  double current_ = 0.0;
  int passes_ = 0;
  std::vector<std::string> refusals_;
};

#endif  // QELTA_LEARNING_EM_SESSION_H_
