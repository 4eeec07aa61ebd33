#include "equations/mau.h"

#include <cmath>
#include <vector>

#include "base/special_values.h"
#include "base/status.h"
#include "equations/expression_visitor.h"
#include "network/network.h"
#include "network/node.h"

// ---------------------------------------------------------------- lifecycle

VRN_mau::VRN_mau(VRN_network* network, int handle)
    : VRN_nodeDef(network, handle) {
  BuildWeights();
}

VRN_mau::VRN_mau(const VRN_discreteInfo& info)
    : VRN_nodeDef(info.network, info.handle) {
  // The parents the MAU may keep get the weights adding them gives; the
  // others are removed by the change of type through RemoveParent.
  BuildWeights();
}

VRN_mau::VRN_mau(const VRN_mau& other, VRN_network* network)
    : VRN_nodeDef(other, network), weights_(other.weights_) {
  if (other.expressions_ != nullptr) {
    expressions_.reset(new VRN_mauExpressions(*other.expressions_));
  }
}

VRN_mau::~VRN_mau() = default;

void VRN_mau::BuildWeights() {
  weights_.Clean();
  const VRN_intArray& parents = GetParents();
  VRN_intArray sizes;
  int utilities = 0;
  for (int i = 0; i < parents.GetSize(); ++i) {
    if (IsDecisionParent(parents[i])) {
      const int n = GetNodeDefinition(parents[i])->GetDiscreteOutcomeCount();
      sizes.Add(n < 1 ? 1 : n);
    } else if (IsUtilityParent(parents[i])) {
      ++utilities;
    }
  }
  if (utilities > 0) sizes.Add(utilities);
  if (sizes.GetSize() == 0) return;
  if (weights_.SetDimensions(sizes) != qelta::kOk) {
    weights_.Clean();
    return;
  }
  weights_.FillWith(1.0);
}

VRN_nodeDef* VRN_mau::Clone(VRN_network* target) const {
  return new VRN_mau(*this, target);
}

VRN_nodeVal* VRN_mau::CreateValueFromRecord(const VRN_evidenceRecord&) const {
  return CreateValue();
}

VRN_nodeVal* VRN_mau::CreateValue() const {
  return new VRN_mauExpectedUtility(GetNetwork(), GetHandle());
}

int VRN_mau::GetType() const { return qelta::kDefMau; }

const char* VRN_mau::GetTypeName() const { return "MAU"; }

// ------------------------------------------------------------------ parents

bool VRN_mau::IsDecisionParent(int handle) const {
  return GetNodeDefinition(handle)->GetType() == qelta::kDefDecision;
}

bool VRN_mau::IsUtilityParent(int handle) const {
  const int type = GetNodeDefinition(handle)->GetType();
  return type == qelta::kDefUtility || type == qelta::kDefMau;
}

int VRN_mau::DecisionPosition(int parent) const {
  const VRN_intArray& parents = GetParents();
  int position = 0;
  for (int i = 0; i < parents.GetSize(); ++i) {
    if (!IsDecisionParent(parents[i])) continue;
    if (parents[i] == parent) return position;
    ++position;
  }
  return -1;
}

int VRN_mau::UtilityPosition(int parent) const {
  const VRN_intArray& parents = GetParents();
  int position = 0;
  for (int i = 0; i < parents.GetSize(); ++i) {
    if (!IsUtilityParent(parents[i])) continue;
    if (parents[i] == parent) return position;
    ++position;
  }
  return -1;
}

int VRN_mau::CountUtilityParents() const {
  const VRN_intArray& parents = GetParents();
  int count = 0;
  for (int i = 0; i < parents.GetSize(); ++i) {
    if (IsUtilityParent(parents[i])) ++count;
  }
  return count;
}

int VRN_mau::AddParent(int parent) {
  if (GetParentIndex(parent) < 0) return qelta::kErrOutOfRange;
  const int d = DecisionPosition(parent);
  if (d >= 0) {
    const int n = GetNodeDefinition(parent)->GetDiscreteOutcomeCount();
    if (n < 1) return qelta::kErrOutOfRange;
    const int status = weights_.InsertDimension(d, n);
    if (status != qelta::kOk) return status;
    if (weights_.GetDimensionCount() == 1) weights_.FillWith(1.0);
    return ExpressionsAddParent(parent, d);
  }
  const int u = UtilityPosition(parent);
  if (u < 0) return qelta::kErrOutOfRange;
  // First, while a refusal leaves the weights as they were.
  const int refused = ExpressionsAddParent(parent, -1);
  if (refused != qelta::kOk) return refused;
  if (CountUtilityParents() == 1) {
    const int status = weights_.InsertDimensionAtEnd(1);
    if (status != qelta::kOk) return status;
    weights_.FillWith(1.0);
    return qelta::kOk;
  }
  const int last = weights_.GetDimensionCount() - 1;
  const int status = weights_.AddOutcome(last);
  if (status != qelta::kOk) return status;
  return weights_.ShiftOutcomesUpAndFill(last, u, 1.0);
}

int VRN_mau::RemoveParent(int parent) {
  if (GetParentIndex(parent) < 0) return qelta::kErrOutOfRange;
  int dimension = DecisionPosition(parent);
  const int u = dimension >= 0 ? -1 : UtilityPosition(parent);
  if (dimension < 0 && u < 0) return qelta::kOk;  // never part of the weights
  const int status = RemoveWeights(dimension, u);
  if (status != qelta::kOk) return status;
  // Last: dropping a decision may remove other parents' arcs.
  ExpressionsRemoveParent(parent, dimension);
  return qelta::kOk;
}

int VRN_mau::RemoveWeights(int dimension, int u) {
  const int last = weights_.GetDimensionCount() - 1;
  if (u >= 0 && CountUtilityParents() > 1) {
    const int status = weights_.ShiftOutcomesDown(last, u);
    if (status != qelta::kOk) return status;
    return weights_.RemoveLastOutcome(last);
  }
  if (u >= 0) dimension = last;
  if (weights_.GetDimensionCount() == 1) {
    weights_.Clean();  // the last dimension goes with the last parent
    return qelta::kOk;
  }
  return weights_.RemoveDimension(dimension);
}

int VRN_mau::OnParentOutcomeInserted(int parent, int position) {
  const int d = DecisionPosition(parent);
  if (d < 0) return qelta::kOk;
  if (position < 0 || position > weights_.GetSize(d)) {
    return qelta::kErrOutOfRange;
  }
  int status = weights_.AddOutcome(d);
  if (status == qelta::kOk) {
    status = weights_.ShiftOutcomesUpAndFill(d, position, 1.0);
  }
  if (status != qelta::kOk || expressions_ == nullptr) return status;
  const VRN_mauExpressions& old = *expressions_;
  std::vector<int> dims = old.GetDimensions();
  ++dims[d];
  expressions_->Remap(dims, [&old, d, position](const std::vector<int>& c) {
    if (c[d] == position) return -1;  // a copy of slot 0
    std::vector<int> from(c);
    if (from[d] > position) --from[d];
    return old.GetSlot(from);
  });
  return qelta::kOk;
}

int VRN_mau::OnParentOutcomeRemoved(int parent, int index) {
  const int d = DecisionPosition(parent);
  if (d < 0) return qelta::kOk;
  if (index < 0 || index >= weights_.GetSize(d) || weights_.GetSize(d) < 2) {
    return qelta::kErrOutOfRange;
  }
  int status = weights_.ShiftOutcomesDown(d, index);
  if (status == qelta::kOk) status = weights_.RemoveLastOutcome(d);
  if (status != qelta::kOk || expressions_ == nullptr) return status;
  const VRN_mauExpressions& old = *expressions_;
  std::vector<int> dims = old.GetDimensions();
  --dims[d];
  expressions_->Remap(dims, [&old, d, index](const std::vector<int>& c) {
    std::vector<int> from(c);
    if (from[d] >= index) ++from[d];
    return old.GetSlot(from);
  });
  RemoveUnreferencedParents();
  return qelta::kOk;
}

int VRN_mau::OnParentOutcomesReordered(int parent, const VRN_intArray& order) {
  const int d = DecisionPosition(parent);
  if (d < 0) return qelta::kOk;
  const int status = weights_.ChangeOrderWithinDimension(d, order);
  if (status != qelta::kOk || expressions_ == nullptr) return status;
  const VRN_mauExpressions& old = *expressions_;
  expressions_->Remap(old.GetDimensions(),
                      [&old, d, &order](const std::vector<int>& c) {
                        std::vector<int> from(c);
                        from[d] = order[c[d]];
                        return old.GetSlot(from);
                      });
  return qelta::kOk;
}

int VRN_mau::ReorderParents(const VRN_intArray& order) {
  // The parent list is already permuted: new parent i was old parent
  // order[i]. Rank each group's members by their old positions.
  const VRN_intArray& parents = GetParents();
  const int n = parents.GetSize();
  if (order.GetSize() != n) return qelta::kErrOutOfRange;
  std::vector<int> old_list(n);
  for (int i = 0; i < n; ++i) {
    if (order[i] < 0 || order[i] >= n) return qelta::kErrOutOfRange;
    old_list[order[i]] = parents[i];
  }
  auto old_rank = [&](int handle, bool decision) {
    int rank = 0;
    for (int j = 0; j < n; ++j) {
      const bool member = decision ? IsDecisionParent(old_list[j])
                                   : IsUtilityParent(old_list[j]);
      if (!member) continue;
      if (old_list[j] == handle) return rank;
      ++rank;
    }
    return -1;
  };
  VRN_intArray dimensions;
  VRN_intArray utilities;
  for (int i = 0; i < n; ++i) {
    if (IsDecisionParent(parents[i])) {
      dimensions.Add(old_rank(parents[i], true));
    } else if (IsUtilityParent(parents[i])) {
      utilities.Add(old_rank(parents[i], false));
    }
  }
  if (utilities.GetSize() > 0) dimensions.Add(dimensions.GetSize());
  if (dimensions.GetSize() != weights_.GetDimensionCount()) {
    return qelta::kErrOutOfRange;
  }
  if (dimensions.GetSize() == 0) return qelta::kOk;
  // The expressions follow the decisions alone, however many utility
  // parents there are.
  const int decisions = dimensions.GetSize() - (utilities.GetSize() > 0);
  if (expressions_ != nullptr && decisions > 0) {
    const VRN_mauExpressions& old = *expressions_;
    std::vector<int> dims(decisions);
    for (int i = 0; i < decisions; ++i) {
      dims[i] = old.GetDimensions()[dimensions[i]];
    }
    expressions_->Remap(dims, [&old, &dimensions](const std::vector<int>& c) {
      std::vector<int> from(c.size());
      for (size_t i = 0; i < c.size(); ++i) from[dimensions[i]] = c[i];
      return old.GetSlot(from);
    });
  }
  int status = weights_.ChangeOrderOfDimensions(dimensions);
  if (status != qelta::kOk || utilities.GetSize() < 2) return status;
  const int last = weights_.GetDimensionCount() - 1;
  return weights_.ChangeOrderWithinDimension(last, utilities);
}

// --------------------------------------------------------------- parameters

int VRN_mau::GetDiscreteInfo(VRN_discreteInfo*) { return qelta::kOk; }

VRN_matrix* VRN_mau::GetMatrix() { return &weights_; }

const VRN_matrix* VRN_mau::GetMatrixConst() const { return &weights_; }

bool VRN_mau::AcceptsItems(const double* items, int count) const {
  for (int i = 0; i < count; ++i) {
    if (!std::isfinite(items[i])) return false;
  }
  return true;
}

// ------------------------------------------------------ expected utilities

VRN_mauExpectedUtility::VRN_mauExpectedUtility(VRN_network* network,
                                               int handle)
    : VRN_expectedUtility(network, handle) {}

VRN_mauExpectedUtility::VRN_mauExpectedUtility(
    const VRN_mauExpectedUtility& other, VRN_network* network)
    : VRN_expectedUtility(other, network) {}

VRN_mauExpectedUtility::~VRN_mauExpectedUtility() = default;

VRN_nodeVal* VRN_mauExpectedUtility::Clone(VRN_network* target) const {
  return new VRN_mauExpectedUtility(*this, target);
}

int VRN_mauExpectedUtility::GetType() const {
  return qelta::kValMauExpectedUtility;
}

namespace {

// Position of `handle` in `list`; -1 when absent.
int FindIn(const VRN_intArray& list, int handle) {
  for (int i = 0; i < list.GetSize(); ++i) {
    if (list[i] == handle) return i;
  }
  return -1;
}

}  // namespace

int VRN_mauExpectedUtility::CalculateUtilities() {
  auto* mau = dynamic_cast<VRN_mau*>(GetOwnDefinition());
  if (mau == nullptr) return qelta::kErrWrongNodeType;
  const VRN_intArray& own_index = GetIndexingParents();
  const VRN_intArray& parents = mau->GetParents();
  const VRN_matrix& weights = *mau->GetMatrixConst();

  // Decision parents: where each indexes this value, or its fixed outcome
  // (-1 when it has neither).
  std::vector<int> decision_slot;
  std::vector<int> decision_fixed;
  // Utility parents: their values and, per indexing decision of theirs, the
  // coordinate of this value it reads (-1: no source).
  std::vector<const VRN_nodeVal*> inputs;
  std::vector<std::string> ids;
  std::vector<std::vector<int>> input_map;
  for (int i = 0; i < parents.GetSize(); ++i) {
    const VRN_nodeVal* value = GetNodeValue(parents[i]);
    if (mau->DecisionPosition(parents[i]) >= 0) {
      decision_slot.push_back(FindIn(own_index, parents[i]));
      decision_fixed.push_back(value->HasEvidence() ? value->GetEvidence()
                                                    : -1);
      continue;
    }
    const int type = value->GetType();
    if (type != qelta::kValExpectedUtility &&
        type != qelta::kValMauExpectedUtility) {
      continue;
    }
    inputs.push_back(value);
    ids.push_back(mau->GetNodeId(parents[i]));
    std::vector<int> map;
    const VRN_intArray& their_index = value->GetIndexingParents();
    for (int k = 0; k < their_index.GetSize(); ++k) {
      map.push_back(FindIn(own_index, their_index[k]));
    }
    input_map.push_back(std::move(map));
  }

  VRN_matrix& cells = GetMutableValue();
  const int count = cells.GetItemCount();
  const int decisions = static_cast<int>(decision_slot.size());
  const int utilities = static_cast<int>(inputs.size());
  VRN_intArray coords;
  std::vector<int> row(decisions + (utilities > 0 ? 1 : 0));
  std::vector<int> source;
  std::vector<double> values(utilities);
  std::vector<int> decision_row;
  const VRN_mauExpressions* expressions = mau->GetExpressionSet();
  for (int c = 0; c < count; ++c) {
    (void)cells.IndexToCoordinates(c, coords);
    double total = 0.0;
    bool defined = true;
    // The weight row of this cell's decisions.
    for (int d = 0; d < decisions && defined; ++d) {
      const int slot = decision_slot[d];
      row[d] = slot >= 0 ? coords[slot] : decision_fixed[d];
      if (row[d] < 0 || row[d] >= weights.GetSize(d)) defined = false;
    }
    for (int u = 0; u < utilities && defined; ++u) {
      const std::vector<int>& map = input_map[u];
      const VRN_matrix& theirs = inputs[u]->GetValue();
      // A value keeps a trailing dimension of size 1 after its indexing
      // parents' dimensions: those extra coordinates stay 0.
      if (theirs.GetDimensionCount() < static_cast<int>(map.size())) {
        defined = false;
        break;
      }
      source.assign(theirs.GetDimensionCount(), 0);
      for (size_t k = 0; k < map.size(); ++k) {
        if (map[k] < 0) {
          defined = false;
          break;
        }
        source[k] = coords[map[k]];
      }
      if (!defined) break;
      const int index = theirs.CoordinatesToIndexFromInts(source.data());
      if (index < 0 || index >= theirs.GetItemCount()) {
        defined = false;
        break;
      }
      const double utility = theirs.GetItem(index);
      if (utility == qelta::kUndefinedValue) {
        defined = false;
        break;
      }
      values[u] = utility;
      row[decisions] = u;
      total += weights.GetItem(weights.CoordinatesToIndexFromInts(row.data())) *
               utility;
    }
    if (defined && expressions != nullptr) {
      decision_row.assign(row.begin(), row.begin() + decisions);
      std::unique_ptr<VRN_expression> copy(
          expressions->Get(expressions->GetSlot(decision_row))->Clone());
      for (int u = 0; u < utilities; ++u) {
        AssignVariable(copy.get(), ids[u], values[u]);
      }
      total = copy->Evaluate(nullptr);
    }
    cells.GetItems().Items()[c] = defined ? total : qelta::kUndefinedValue;
  }
  return qelta::kOk;
}
