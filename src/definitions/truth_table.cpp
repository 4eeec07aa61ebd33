#include "definitions/truth_table.h"

#include <vector>

#include "network/change_guards.h"
#include "network/network.h"
#include "base/random.h"
#include "base/status.h"

VRN_truthTable::VRN_truthTable(VRN_network* network, int handle)
    : VRN_cpt(network, handle) {
  MakeDeterministic();
}

VRN_truthTable::VRN_truthTable(const VRN_discreteInfo& info) : VRN_cpt(info) {
  // Files name the resulting states by outcome id: the outcomes of
  // intervals, which have none, are named as RemoveIntervals names them.
  if (!HasOutcomeIds()) GiveNumberedIds();
  MakeDeterministic();
}

VRN_truthTable::VRN_truthTable(const VRN_truthTable& other,
                               VRN_network* network)
    : VRN_cpt(other, network) {}

VRN_truthTable::~VRN_truthTable() = default;

VRN_nodeDef* VRN_truthTable::Clone(VRN_network* target) const {
  return new VRN_truthTable(*this, target);
}

int VRN_truthTable::GetType() const { return qelta::kDefTruthTable; }

const char* VRN_truthTable::GetTypeName() const { return "TRUTHTABLE"; }

int VRN_truthTable::MakeUniform() { return qelta::kErrWrongNodeType; }

int VRN_truthTable::MakeRandom(VRN_randomGenerator& generator) {
  VRN_autoUpdateGuard guard(GetNetwork());
  const int own = GetNumberOfOutcomes();
  const int items = table_.GetItemCount();
  table_.FillWith(0.0);
  double* column = table_.GetItems().Items();
  for (int start = 0; start < items; start += own) {
    column[start + static_cast<int>(generator.NextInt(own))] = 1.0;
  }
  NotifyRelevance(qelta::kChangeTable);
  return qelta::kOk;
}

int VRN_truthTable::RebuildTable() {
  BuildUniformTable();
  const int own = GetNumberOfOutcomes();
  const int items = table_.GetItemCount();
  table_.FillWith(0.0);
  double* column = table_.GetItems().Items();
  for (int start = 0; start < items; start += own) column[start] = 1.0;
  return qelta::kOk;
}

int VRN_truthTable::OnParentOutcomeInserted(int parent, int position) {
  const int index = GetParentIndex(parent);
  if (index < 0) return index;
  if (position < 0 || position > table_.GetSize(index)) {
    return qelta::kErrOutOfRange;
  }
  int status = table_.AddOutcome(index);
  if (status == qelta::kOk) {
    status = table_.ShiftOutcomesUpAndFill(index, position, 0.0);
  }
  if (status != qelta::kOk) return status;
  // Only the new parent state's columns (all zero) take state 0; the other
  // columns keep their numbers, whatever they are.
  const int own = GetNumberOfOutcomes();
  const int stride = table_.GetStrides()[index];
  const int size = table_.GetSize(index);
  const int items = table_.GetItemCount();
  double* column = table_.GetItems().Items();
  for (int start = 0; start < items; start += own) {
    if ((start / stride) % size == position) column[start] = 1.0;
  }
  return qelta::kOk;
}

int VRN_truthTable::OnOutcomeRemoved(int index) {
  // The columns whose only non-zero entry goes with the outcome would come
  // out of the removal uniform: they take state 0. Other columns follow the
  // CPT's rule.
  const int last = table_.GetDimensionCount() - 1;
  const int own = last >= 0 ? table_.GetSize(last) : 0;
  const int items = table_.GetItemCount();
  std::vector<int> emptied;
  if (index >= 0 && index < own) {
    const double* column = table_.GetItems().Items();
    for (int start = 0; start < items; start += own) {
      bool only = column[start + index] != 0.0;
      for (int k = 0; k < own && only; ++k) {
        if (k != index && column[start + k] != 0.0) only = false;
      }
      if (only) emptied.push_back(start / own);
    }
  }
  const int status = VRN_cpt::OnOutcomeRemoved(index);
  if (status != qelta::kOk) return status;
  const int left = own - 1;
  double* column = table_.GetItems().Items();
  for (int run : emptied) {
    for (int k = 0; k < left; ++k) column[run * left + k] = k == 0 ? 1.0 : 0.0;
  }
  return qelta::kOk;
}

bool VRN_truthTable::HasOnlyDeterministicColumns() const {
  const int own = GetNumberOfOutcomes();
  const int count = table_.GetItemCount();
  if (own <= 0) return true;
  const double* items = table_.GetItems().Items();
  for (int start = 0; start < count; start += own) {
    int ones = 0;
    for (int k = 0; k < own; ++k) {
      const double item = items[start + k];
      if (item == 1.0) {
        ++ones;
      } else if (item != 0.0) {
        return false;
      }
    }
    if (ones != 1) return false;
  }
  return true;
}

void VRN_truthTable::MakeDeterministic() {
  const int own = GetNumberOfOutcomes();
  const int items = table_.GetItemCount();
  double* column = table_.GetItems().Items();
  for (int start = 0; start < items; start += own) {
    // The first maximal entry wins; ties go to the lowest state.
    int best = 0;
    double bound = -1.0;
    for (int k = 0; k < own; ++k) {
      if (column[start + k] > bound) {
        bound = column[start + k];
        best = k;
      }
    }
    for (int k = 0; k < own; ++k) column[start + k] = k == best ? 1.0 : 0.0;
  }
}

void VRN_truthTable::GetResultingStates(VRN_intArray* out) const {
  const int own = GetNumberOfOutcomes();
  const int items = table_.GetItemCount();
  const double* column = table_.GetItems().Items();
  for (int start = 0; start < items; start += own) {
    int state = 0;
    for (int k = 0; k < own; ++k) {
      if (column[start + k] == 1.0) {
        state = k;
        break;
      }
    }
    out->Add(state);
  }
}

void VRN_truthTable::GetResultingStateNames(VRN_stringArray* out) const {
  VRN_intArray states;
  GetResultingStates(&states);
  const VRN_idArray* ids = GetOutcomesNames();
  for (int state : states) (void)out->Add(ids->Get(state));
}

int VRN_truthTable::SetResultingStates(const VRN_intArray& states) {
  const int own = GetNumberOfOutcomes();
  const int configurations = table_.GetItemCount() / own;
  if (states.GetSize() != configurations) return qelta::kErrInvalidValue;
  for (int state : states) {
    if (state < 0 || state >= own) return qelta::kErrOutOfRange;
  }
  table_.FillWith(0.0);
  double* column = table_.GetItems().Items();
  for (int c = 0; c < configurations; ++c) column[c * own + states[c]] = 1.0;
  NotifyRelevance(qelta::kChangeTable);
  return qelta::kOk;
}

int VRN_truthTable::SetResultingStateNames(const VRN_stringArray& names) {
  const VRN_idArray* ids = GetOutcomesNames();
  VRN_intArray states;
  for (int i = 0; i < names.GetSize(); ++i) {
    const int state = ids->FindString(names.Get(i));
    if (state < 0) return qelta::kErrOutOfRange;
    states.Add(state);
  }
  return SetResultingStates(states);
}
