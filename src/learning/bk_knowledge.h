// VRN_bkKnowledge: what a user knows about a structure before learning it.
//
// Arcs that learning must include (forced) or must not include (forbidden),
// and an order of variables in tiers (a variable without a tier entry is in
// tier 0). The record names its variables by identifier so that it can be
// kept in its own XML file (root element "knowledge") and joined to a data
// set later (MatchData), which moves the pair lists from the record's own
// variable indexes to the data set's column indexes.
//
// A plain value type: copies are member-wise and deep. Thread use: one
// thread at a time.
#ifndef QELTA_LEARNING_BK_KNOWLEDGE_H_
#define QELTA_LEARNING_BK_KNOWLEDGE_H_

#include <map>
#include <string>
#include <utility>
#include <vector>

class VRN_dataset;

struct VRN_bkVariable {
  std::string id;
  std::string comment;  // empty when none
  // Empty (not placed yet) or left, top, right, bottom of its layout box.
  std::vector<int> position;
};

class VRN_bkKnowledge {
 public:
  using Pair = std::pair<int, int>;

  // Index of the first variable whose id equals id; -1 when none.
  int FindVariable(const std::string& id) const;
  // Tier of the first tier entry of the variable; 0 when it has none.
  int GetTier(int variable) const;

  // Replaces the record by the file's knowledge. 0; or -103 with "Error at
  // <line>, <column>: <message>" in *errorText (when given) and the record
  // unchanged.
  int ReadFile(const std::string& fileName, std::string* errorText);
  // Completes the record in place (default variable names, tier widths,
  // box positions) and writes it. 0; or -103 with the reason in *errorText:
  // a tier outside 0..65,535 or an arc or tier entry naming no variable
  // (refused before the file is created), a file that cannot be opened, or
  // a failed write.
  int WriteFile(const std::string& fileName, std::string* errorText);
  // Joins the record to the data set's columns by identifier. 0; or -2 with
  // a message in *errorText when no variable names a column (nothing then
  // changes).
  int MatchData(const VRN_dataset& data, std::string* errorText);

  std::vector<Pair> forcedArcs;
  std::vector<Pair> forbiddenArcs;
  std::vector<Pair> tiers;  // (variable, tier)
  // Pairs a learner treats as arcs forced both ways; no file or binding
  // operation fills or reads them.
  std::vector<Pair> twoWayPairs;
  std::vector<VRN_bkVariable> variables;
  std::vector<int> tierWidths;  // by tier number
  std::map<Pair, std::string> arcComments;
};

#endif  // QELTA_LEARNING_BK_KNOWLEDGE_H_
