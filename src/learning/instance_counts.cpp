// Instance counts: records per parent configuration, with inference filling
// in the parents a record does not give.
#include "learning/instance_counts.h"

#include <string>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/network.h"
#include "network/node.h"

int VRN_instanceCounts::Size(const VRN_network& net) {
  counts.clear();
  const int last = net.GetLastNode();
  if (last < 0) return qelta::kOk;
  counts.resize(static_cast<std::size_t>(last) + 1);
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    VRN_nodeDef* def = net.GetNode(h)->Definition();
    const int type = def->GetType();
    const VRN_matrix* table = def->GetMatrixConst();
    if ((type != qelta::kDefCpt && type != qelta::kDefTruthTable) || table == nullptr) {
      counts.clear();
      return net.ErrorLog()->Logf(qelta::kErrWrongNodeType,
                                  "InstanceCounts: node %s has definition type %s; counts need every "
                                  "node defined by a CPT or a truth table",
                                  net.GetNode(h)->GetId(), def->GetTypeName());
    }
    const int n = table->GetSize(table->GetDimensionCount() - 1);
    counts[h].assign(static_cast<std::size_t>(table->GetItemCount() / n), 0);
  }
  return qelta::kOk;
}

int VRN_instanceCounts::SetUniform(const VRN_network& net, int count) {
  const int status = Size(net);
  if (status != qelta::kOk) return status;
  for (auto& row : counts) row.assign(row.size(), count);
  return qelta::kOk;
}

int VRN_instanceCounts::Calculate(const VRN_network& net, const VRN_dataset& data,
                                  const std::vector<VRN_dataMatch>& matches) {
  int status = Size(net);
  if (status != qelta::kOk) return status;
  VRN_errorLog* log = net.ErrorLog();
  const int slots = net.GetSlotCount();
  std::vector<int> column(slots, -1);
  for (std::size_t i = 0; i < matches.size(); ++i) {
    const VRN_dataMatch& m = matches[i];
    if (!net.IsValidHandle(m.node) || m.column < 0 || m.column >= data.GetVariableCount() ||
        !data.GetVariable(m.column).discrete) {
      counts.clear();
      const std::string message = "InstanceCounts: invalid match at index " + std::to_string(i);
      return log->LogError(qelta::kErrOutOfRange, message.c_str());
    }
    column[m.node] = m.column;
  }
  bool everyNodeHasColumn = true;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    everyNodeHasColumn = everyNodeHasColumn && column[h] >= 0;
  }
  VRN_network work(net, qelta::kCopyWorking);
  std::vector<int> state(slots, -1);
  const int records = data.GetRecordCount();
  for (int r = 0; r < records; ++r) {
    bool infer = !everyNodeHasColumn;
    for (int h = work.GetFirstNode(); h >= 0; h = work.GetNextNode(h)) {
      state[h] = -1;
      if (column[h] < 0 || data.IsMissing(column[h], r)) continue;
      const int value = data.GetInt(column[h], r);
      if (value < 0 || value >= work.GetNode(h)->Definition()->GetNumberOfOutcomes()) {
        counts.clear();
        const std::string message = "InstanceCounts: value " + std::to_string(value) +
                                    " outside the outcomes of its node in column " +
                                    data.GetVariable(column[h]).id + ", record " +
                                    std::to_string(r + 1);
        return log->LogError(qelta::kErrInvalidValue, message.c_str());
      }
      state[h] = value;
    }
    for (int h = work.GetFirstNode(); h >= 0 && !infer; h = work.GetNextNode(h)) {
      infer = state[h] < 0;
    }
    if (infer) {
      (void)work.ClearAllEvidence();
      (void)work.ClearAllTargets();
      for (int h = work.GetFirstNode(); h >= 0; h = work.GetNextNode(h)) {
        if (state[h] < 0) continue;
        status = work.GetNode(h)->Value()->SetEvidence(state[h]);
        if (status != qelta::kOk) return status;
      }
      status = work.UpdateBeliefs();
      if (status != qelta::kOk) return status;
      for (int h = work.GetFirstNode(); h >= 0; h = work.GetNextNode(h)) {
        if (state[h] >= 0) continue;
        const VRN_matrix& beliefs = work.GetNode(h)->Value()->GetValue();
        int best = 0;
        for (int k = 1; k < beliefs.GetItemCount(); ++k) {
          if (beliefs.GetItem(k) > beliefs.GetItem(best)) best = k;
        }
        state[h] = best;
      }
    }
    for (int h = work.GetFirstNode(); h >= 0; h = work.GetNextNode(h)) {
      const VRN_matrix& table = *work.GetNode(h)->Definition()->GetMatrixConst();
      const VRN_intArray& parents = work.GetNode(h)->Parents();
      const int n = table.GetSize(table.GetDimensionCount() - 1);
      int cell = 0;
      for (int i = 0; i < parents.GetSize(); ++i) cell += state[parents[i]] * table.GetStrides()[i];
      ++counts[h][static_cast<std::size_t>(cell / n)];
    }
  }
  return qelta::kOk;
}
