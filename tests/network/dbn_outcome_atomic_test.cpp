// An outcome edit whose temporal tables would outgrow the largest table
// block is refused before anything changes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "network/network.h"
#include "network/node.h"

namespace {

std::vector<double> Items(const VRN_matrix& m) {
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

// Plate nodes X (two outcomes) and C, with temporal arcs X -> C of orders 1
// to 18: H(C, 18) holds X 18 times (19 with the arc X -> C), small with two
// outcomes but far too large with three. C's own table stays small.
TEST(DbnOutcomeAtomicTest, TemporalTableTooLargeRefusesTheEditWhole) {
  using Edit = std::function<int(VRN_nodeDef*)>;
  const std::vector<Edit> edits = {
      [](VRN_nodeDef* d) { return d->AddOutcome("more"); },
      [](VRN_nodeDef* d) { return d->InsertOutcome(0, "first"); },
      [](VRN_nodeDef* d) { return d->SetNumberOfOutcomes(4); },
  };
  for (bool arc : {false, true}) {
    for (size_t e = 0; e < edits.size(); ++e) {
      SCOPED_TRACE(testing::Message() << "arc " << arc << " edit " << e);
      VRN_network net;
      const int x = net.AddNode(qelta::kDefCpt, "X");
      const int c = net.AddNode(qelta::kDefCpt, "C");
      ASSERT_EQ(0, net.setNodeTemporalType(x, 3));
      ASSERT_EQ(0, net.setNodeTemporalType(c, 3));
      ASSERT_EQ(0, arc ? net.AddArc(x, c) : 0);
      for (int order = 1; order <= 18; ++order) {
        ASSERT_EQ(0, net.AddTemporalArc(x, c, order));
      }
      VRN_nodeDef* dx = net.GetNode(x)->Definition();
      VRN_nodeDef* dc = net.GetNode(c)->Definition();
      std::vector<VRN_matrix> before = {*dx->GetMatrixConst(),
                                        *dc->GetMatrixConst()};
      for (int order = 1; order <= 18; ++order) {
        before.push_back(*dc->GetTemporalMatrix(order));
      }

      EXPECT_EQ(qelta::kErrOutOfMemory, edits[e](dx));
      ASSERT_EQ(2, dx->GetNumberOfOutcomes());
      EXPECT_EQ(std::string("State0"), dx->GetOutcomesNames()->Get(0));
      EXPECT_EQ(Items(before[0]), Items(*dx->GetMatrixConst()));
      EXPECT_EQ(before[1].GetDimensions(), dc->GetMatrixConst()->GetDimensions());
      for (int order = 1; order <= 18; ++order) {
        const VRN_matrix& now = *dc->GetTemporalMatrix(order);
        EXPECT_EQ(before[order + 1].GetDimensions(), now.GetDimensions());
        EXPECT_EQ(Items(before[order + 1]), Items(now));
      }
      // Without the high orders the same edit goes through.
      for (int order = 12; order <= 18; ++order) {
        ASSERT_EQ(0, net.RemoveTemporalArc(x, c, order));
      }
      EXPECT_EQ(0, edits[e](dx));
      EXPECT_EQ(dx->GetNumberOfOutcomes(), dc->GetTemporalMatrix(1)->GetSize(0));
    }
  }
}

}  // namespace
