// Multi-attribute utility nodes in the native text format: their weights
// and parents survive a write and a read.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/status.h"
#include "equations/mau.h"
#include "io/format.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"

namespace {

TEST(VrnMauTest, WeightsAndParentsRoundTrip) {
  VRN_network first;
  const int d = first.AddNode(qelta::kDefDecision, "D");
  const int u1 = first.AddNode(qelta::kDefUtility, "U1");
  const int u2 = first.AddNode(qelta::kDefUtility, "U2");
  const int m = first.AddNode(qelta::kDefMau, "M");
  const int top = first.AddNode(qelta::kDefMau, "Top");
  ASSERT_GE(first.AddNode(qelta::kDefMau, "Alone"), 0);  // no weights at all
  for (int p : {d, u1, u2}) ASSERT_EQ(qelta::kOk, first.AddArc(p, m));
  for (int p : {u2, m}) ASSERT_EQ(qelta::kOk, first.AddArc(p, top));
  const std::vector<double> weights = {0.1, 2.5, -3.0, 1.0 / 3.0};
  ASSERT_EQ(qelta::kOk,
            first.GetNode(m)->Definition()->SetDefinitionFromVector(weights));

  VRN_network second;
  qelta_test::ExpectWriteReadWriteStable(first, &second, ".vrn", 0, 0, false,
                                         false);
  EXPECT_EQ(qelta_test::LogText(second), "");
  const VRN_matrix& read =
      *second.GetNode(second.FindNode("M"))->Definition()->GetMatrixConst();
  EXPECT_EQ(weights, std::vector<double>(read.GetItems().begin(),
                                         read.GetItems().end()));
  EXPECT_EQ(2, read.GetDimensionCount());

  // Netica files have no place for them: refused before the file exists.
  const std::string dne = ::testing::TempDir() + "vrn_mau_test.dne";
  std::remove(dne.c_str());
  EXPECT_EQ(qelta::kErrOutOfRange, first.WriteFile(dne.c_str(), 0, 0));
  EXPECT_FALSE(std::ifstream(dne).good());
}

// The file keeps the weights of a node with expressions, so its parents
// read back in the node's own order, not the one installing gives.
TEST(VrnMauTest, ExpressionNodeParentsKeepTheirOrder) {
  VRN_network first;
  const int d = first.AddNode(qelta::kDefDecision, "D");
  const int zeta = first.AddNode(qelta::kDefUtility, "Zeta");
  const int alpha = first.AddNode(qelta::kDefUtility, "Alpha");
  const int m = first.AddNode(qelta::kDefMau, "M");
  ASSERT_EQ(qelta::kOk, first.AddArc(alpha, m));
  std::string error;
  ASSERT_EQ(qelta::kOk, static_cast<VRN_mau*>(first.GetNode(m)->Definition())
                            ->SetExpressions({"Alpha"}, &error))
      << error;
  ASSERT_EQ(qelta::kOk, first.AddArc(zeta, m));
  ASSERT_EQ(qelta::kOk, first.AddArc(d, m));
  VRN_intArray order;
  for (int i : {1, 2, 0}) order.Add(i);  // Zeta, D, Alpha
  ASSERT_EQ(qelta::kOk, first.ReorderParents(m, order));

  VRN_network second;
  qelta_test::ExpectWriteReadWriteStable(first, &second, ".vrn", 0, 0, false,
                                         false);
  EXPECT_EQ((std::vector<std::string>{"Zeta", "D", "Alpha"}),
            qelta_test::ParentIds(second, second.FindNode("M")));
}

// The file keeps the weights alone: expressions that are not exactly the
// weighted sums of them are refused, naming the node, before a file exists
// (the decision's expected utilities would read back otherwise); those that
// are read back as the weights.
TEST(VrnMauTest, ExpressionsTheWeightsDoNotHoldAreRefused) {
  const struct {
    const char* expression;
    bool written;
  } cases[] = {{"U1*U2", false}, {"2*U1+U2", false}, {"U1+U2+1", false}, {"U1+U2", true}};
  for (const auto& c : cases) {
    for (const char* extension : {".vrn", ".dxp"}) {
      SCOPED_TRACE(std::string(c.expression) + extension);
      VRN_network net;
      const int d = net.AddNode(qelta::kDefDecision, "D");
      const int m = net.AddNode(qelta::kDefMau, "M");
      for (const char* id : {"U1", "U2"}) {
        const int u = net.AddNode(qelta::kDefUtility, id);
        ASSERT_EQ(qelta::kOk, net.AddArc(d, u));
        ASSERT_EQ(qelta::kOk, net.AddArc(u, m));
      }
      std::string error;
      ASSERT_EQ(qelta::kOk, static_cast<VRN_mau*>(net.GetNode(m)->Definition())
                                ->SetExpressions({c.expression}, &error))
          << error;
      qelta_test::TempPath out(extension);
      std::remove(out.path());
      if (!c.written) {
        EXPECT_EQ(qelta::kErrOutOfRange, net.WriteFile(out.path(), 0, 0));
        EXPECT_NE(qelta_test::LogText(net).find("Node [M] cannot be saved in the native text"),
                  std::string::npos)
            << qelta_test::LogText(net);
        EXPECT_FALSE(std::ifstream(out.path()).good());
        continue;
      }
      ASSERT_EQ(qelta::kOk, net.WriteFile(out.path(), 0, 0)) << qelta_test::LogText(net);
      VRN_network back;
      ASSERT_EQ(qelta::kOk, back.ReadFile(out.path(), qelta::kFormatVrn, 0));
      const VRN_matrix& read =
          *back.GetNode(back.FindNode("M"))->Definition()->GetMatrixConst();
      EXPECT_EQ((std::vector<double>{1.0, 1.0}),
                std::vector<double>(read.GetItems().begin(), read.GetItems().end()));
    }
  }
}

}  // namespace
