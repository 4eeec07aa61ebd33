// Small data sets for the structure-learning tests: columns given by value,
// and data drawn from a network by forward sampling.
#ifndef QELTA_TESTS_LEARNING_STRUCTURE_DATA_H_
#define QELTA_TESTS_LEARNING_STRUCTURE_DATA_H_

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/matrix.h"
#include "definitions/node_def.h"
#include "learning/dataset.h"
#include "network/network.h"
#include "network/node.h"

namespace structdata {

// Discrete columns (records by column), named A, B, C ... unless ids given;
// arity k gives the state names s0 .. s<k-1>.
inline VRN_dataset Columns(const std::vector<std::vector<int>>& columns,
                           const std::vector<int>& arities,
                           std::vector<std::string> ids = {}) {
  VRN_dataset data;
  for (std::size_t v = 0; v < columns.size(); ++v) {
    const std::string id = ids.empty() ? std::string(1, static_cast<char>('A' + v)) : ids[v];
    EXPECT_EQ(0, data.addIntVariable(id, -1));
    std::vector<std::string> names;
    for (int s = 0; s < arities[v]; ++s) names.push_back("s" + std::to_string(s));
    EXPECT_EQ(0, data.setStateNames(static_cast<int>(v), names));
  }
  const std::size_t records = columns.empty() ? 0 : columns[0].size();
  for (std::size_t r = 0; r < records; ++r) {
    data.AddEmptyRecord();
    for (std::size_t v = 0; v < columns.size(); ++v) {
      data.SetInt(static_cast<int>(v), static_cast<int>(r), columns[v][r]);
    }
  }
  return data;
}

// Two binary columns A, B holding each pair (a, b) counts[2a + b] times.
inline VRN_dataset Pairs(const std::vector<int>& counts) {
  std::vector<std::vector<int>> cols(2);
  for (int cell = 0; cell < 4; ++cell) {
    for (int k = 0; k < counts[static_cast<std::size_t>(cell)]; ++k) {
      cols[0].push_back(cell / 2);
      cols[1].push_back(cell % 2);
    }
  }
  return Columns(cols, {2, 2});
}

// records rows drawn from net (handles in order, one column per node, named
// by node id, state names the outcome ids) with a fixed seed.
inline VRN_dataset Sample(VRN_network& net, int records, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  VRN_intArray order;
  net.GetAllNodes(order);
  std::vector<int> handles(order.Items(), order.Items() + order.GetSize());
  const VRN_intArray& topo = net.PartialOrder();
  std::vector<int> sorted(topo.Items(), topo.Items() + topo.GetSize());
  std::vector<std::vector<int>> cols(handles.size());
  std::vector<int> column(static_cast<std::size_t>(net.GetSlotCount()), -1);
  std::vector<int> arities;
  std::vector<std::string> ids;
  for (std::size_t i = 0; i < handles.size(); ++i) {
    column[static_cast<std::size_t>(handles[i])] = static_cast<int>(i);
    arities.push_back(net.GetNode(handles[i])->Definition()->GetNumberOfOutcomes());
    ids.push_back(net.GetNode(handles[i])->GetId());
  }
  std::vector<int> value(static_cast<std::size_t>(net.GetSlotCount()), 0);
  for (int r = 0; r < records; ++r) {
    for (int h : sorted) {
      VRN_node* node = net.GetNode(h);
      const VRN_matrix* table = node->Definition()->GetMatrixConst();
      int offset = 0;
      const VRN_intArray& parents = node->Parents();
      for (int p = 0; p < parents.GetSize(); ++p) {
        offset += value[static_cast<std::size_t>(parents[p])] * table->GetStrides()[p];
      }
      const int k = node->Definition()->GetNumberOfOutcomes();
      double u = unit(rng);
      int s = 0;
      for (; s < k - 1; ++s) {
        u -= table->GetItems()[offset + s];
        if (u < 0) break;
      }
      value[static_cast<std::size_t>(h)] = s;
    }
    for (std::size_t i = 0; i < handles.size(); ++i) {
      cols[i].push_back(value[static_cast<std::size_t>(handles[i])]);
    }
  }
  VRN_dataset data = Columns(cols, arities, ids);
  for (std::size_t i = 0; i < handles.size(); ++i) {
    const VRN_idArray* names = net.GetNode(handles[i])->Definition()->GetOutcomesNames();
    std::vector<std::string> states;
    for (int s = 0; s < names->GetSize(); ++s) states.emplace_back(names->Get(s));
    EXPECT_EQ(0, data.setStateNames(static_cast<int>(i), states));
  }
  return data;
}

}  // namespace structdata

#endif  // QELTA_TESTS_LEARNING_STRUCTURE_DATA_H_
