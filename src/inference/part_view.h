// A flat, read-only description of one relevance part for the engines that
// walk it record by record (junction tree per part, the samplers).
//
// qelta::PartView reads each record of a VRN_relevancePart once: outcome
// count, evidence (the record's, so derived evidence and virtual-evidence
// auxiliaries count), parents by part-local index and the record's own
// table (the working copy relevance reasoning left, parents' dimensions in
// parent order, own dimension last and fastest). Nothing is copied but the
// indices; the tables stay the records'.
//
// Ownership: borrows the part, which must outlive the view.
// Thread use: the caller's thread.
#ifndef QELTA_INFERENCE_PART_VIEW_H_
#define QELTA_INFERENCE_PART_VIEW_H_

#include <vector>

class VRN_relevancePart;
class VRN_relevanceNode;

namespace qelta {

class PartView {
 public:
  PartView() = default;
  PartView(const PartView&) = delete;
  PartView& operator=(const PartView&) = delete;

  // Reads part. Returns 0, or kErrOutOfRange when a record is malformed (no
  // table, a table whose shape does not match its parents, a parent outside
  // the part, an outcome count below 1). Throws std::bad_alloc.
  int Read(VRN_relevancePart* part);

  int size() const { return static_cast<int>(outcomes_.size()); }
  int outcomes(int i) const { return outcomes_[i]; }
  int evidence(int i) const { return evidence_[i]; }
  int parent_count(int i) const { return offsets_[i + 1] - offsets_[i]; }
  // Part-local indices of record i's parents, in table order.
  const int* parents(int i) const { return parents_.data() + offsets_[i]; }
  // Record i's table items and the stride of each parent dimension (the own
  // dimension has stride 1).
  const double* table(int i) const { return tables_[i]; }
  const int* strides(int i) const { return strides_.data() + offsets_[i]; }
  // Cells of record i's table.
  int table_size(int i) const { return table_sizes_[i]; }
  VRN_relevanceNode* record(int i) const { return records_[i]; }

 private:
  std::vector<int> outcomes_;
  std::vector<int> evidence_;
  std::vector<int> offsets_;
  std::vector<int> parents_;
  std::vector<int> strides_;
  std::vector<int> table_sizes_;
  std::vector<const double*> tables_;
  std::vector<VRN_relevanceNode*> records_;
};

}  // namespace qelta

#endif  // QELTA_INFERENCE_PART_VIEW_H_
