// Flat description of a relevance part (see part_view.h).
#include "inference/part_view.h"

#include "base/matrix.h"
#include "base/status.h"
#include "inference/relevance.h"

namespace qelta {

int PartView::Read(VRN_relevancePart* part) {
  const int n = part->GetSize();
  outcomes_.assign(n, 0);
  evidence_.assign(n, -1);
  offsets_.assign(n + 1, 0);
  parents_.clear();
  strides_.clear();
  table_sizes_.assign(n, 0);
  tables_.assign(n, nullptr);
  records_.assign(n, nullptr);
  for (int i = 0; i < n; ++i) {
    VRN_relevanceNode* record = part->GetRecord(i);
    const VRN_matrix* table = record->GetTable();
    const int parent_count = record->GetParentCount();
    if (table == nullptr || table->GetDimensionCount() != parent_count + 1) {
      return kErrOutOfRange;
    }
    for (int k = 0; k < parent_count; ++k) {
      const VRN_relevanceNode* parent = record->GetParent(k);
      if (parent->GetOwner() != part ||
          parent->GetOutcomeCount() != table->GetSize(k)) {
        return kErrOutOfRange;
      }
      parents_.push_back(parent->GetLocalIndex());
      strides_.push_back(table->GetStrides()[k]);
    }
    records_[i] = record;
    outcomes_[i] = record->GetOutcomeCount();
    if (outcomes_[i] < 1) return kErrOutOfRange;
    evidence_[i] = record->GetEvidence();
    if (evidence_[i] >= outcomes_[i]) return kErrOutOfRange;
    tables_[i] = table->GetItems().Items();
    table_sizes_[i] = table->GetItemCount();
    offsets_[i + 1] = static_cast<int>(parents_.size());
  }
  return kOk;
}

}  // namespace qelta
