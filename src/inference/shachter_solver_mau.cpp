// Shachter's solver: multi-attribute utility nodes become weighted parents.
#include <vector>

#include "base/matrix.h"
#include "base/status.h"
#include "equations/mau.h"
#include "inference/shachter_solver.h"
#include "network/network.h"
#include "network/node.h"

void VRN_ShachterSolver::ApplyMauWeights() {
  const VRN_intArray order = working_.PartialOrder();
  for (int i = order.GetSize() - 1; i >= 0; --i) {
    const int h = order[i];
    VRN_node* node = working_.GetNode(h);
    if (node == nullptr || node->Definition()->GetType() != qelta::kDefMau) {
      continue;
    }
    auto* mau = static_cast<VRN_mau*>(node->Definition());
    const VRN_matrix& weights = *mau->GetMatrixConst();
    // The weight row: each decision parent's evidence outcome, else 0.
    std::vector<int> row;
    std::vector<int> utilities;
    for (int p : node->Parents()) {
      if (mau->DecisionPosition(p) >= 0) {
        const VRN_nodeVal* value = working_.GetNode(p)->Value();
        const int outcome = value->HasEvidence() ? value->GetEvidence() : 0;
        row.push_back(outcome < 0 ? 0 : outcome);
      } else if (mau->UtilityPosition(p) >= 0) {
        utilities.push_back(p);
      }
    }
    const bool shaped =
        !utilities.empty() &&
        weights.GetDimensionCount() == static_cast<int>(row.size()) + 1;
    for (size_t j = 0; shaped && j < utilities.size(); ++j) {
      row.push_back(static_cast<int>(j));
      bool inside = true;
      for (size_t d = 0; d < row.size(); ++d) {
        inside = inside && row[d] < weights.GetSize(static_cast<int>(d));
      }
      const double w =
          inside ? weights.GetItem(weights.CoordinatesToIndexFromInts(row.data()))
                 : 1.0;
      row.pop_back();
      VRN_matrix* table =
          working_.GetNode(utilities[j])->Definition()->GetMatrix();
      if (table != nullptr) table->Multiply(w);
    }
    (void)working_.DeleteNode(h);
  }
}
