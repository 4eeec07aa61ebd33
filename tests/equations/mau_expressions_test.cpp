#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/status.h"
#include "equations/mau.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using Texts = std::vector<std::string>;

struct Net {
  VRN_network net;
  int Add(int type, const char* id) { return net.AddNode(type, id); }
  VRN_mau* Mau(int h) {
    return static_cast<VRN_mau*>(net.GetNode(h)->Definition());
  }
  Texts Get(int h) {
    Texts texts;
    EXPECT_EQ(0, Mau(h)->GetExpressions(&texts));
    return texts;
  }
  std::vector<std::string> ParentIds(int h) {
    std::vector<std::string> ids;
    for (int p : net.GetNode(h)->Parents()) ids.push_back(net.GetNode(p)->GetId());
    return ids;
  }
};

TEST(MauExpressionsTest, ExpressionsFollowTheParents) {
  Net n;
  const int m = n.Add(qelta::kDefMau, "M");
  const int a = n.Add(qelta::kDefUtility, "A");
  const int b = n.Add(qelta::kDefUtility, "B");
  const int d = n.Add(qelta::kDefDecision, "D");
  Texts texts;
  EXPECT_EQ(qelta::kErrWrongNodeType, n.Mau(m)->GetExpressions(&texts));
  std::string error;
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({"0"}, &error)) << error;
  ASSERT_EQ(0, n.net.AddArc(a, m));
  EXPECT_EQ(Texts{"A"}, n.Get(m));
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({"A*2"}, &error)) << error;
  ASSERT_EQ(0, n.net.AddArc(b, m));
  EXPECT_EQ(Texts{"A*2+B"}, n.Get(m));
  ASSERT_EQ(0, n.net.AddArc(d, m));
  EXPECT_EQ((Texts{"A*2+B", "A*2+B"}), n.Get(m));
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({"A+B*2", "B"}, &error)) << error;
  ASSERT_EQ(0, n.net.GetNode(d)->Definition()->InsertOutcome(0, "first"));
  EXPECT_EQ((Texts{"A+B*2", "A+B*2", "B"}), n.Get(m));
  ASSERT_EQ(0, n.net.GetNode(d)->Definition()->RemoveOutcome(1));
  EXPECT_EQ((Texts{"A+B*2", "B"}), n.Get(m));
  ASSERT_EQ(0, n.net.RemoveArc(a, m));
  EXPECT_EQ((Texts{"B", "B"}), n.Get(m));
  ASSERT_EQ(0, n.net.GetNode(b)->Header().SetId("B2"));
  EXPECT_EQ((Texts{"B2", "B2"}), n.Get(m));
  // Back to weights mode: the weights kept their shape.
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({}, &error));
  EXPECT_EQ(qelta::kErrWrongNodeType, n.Mau(m)->GetExpressions(&texts));
  EXPECT_EQ(2, n.net.GetNode(m)->Definition()->GetMatrixConst()->GetItemCount());
}

TEST(MauExpressionsTest, InstallingRebuildsTheUtilityParents) {
  Net n;
  const int m = n.Add(qelta::kDefMau, "M");
  const int c = n.Add(qelta::kDefUtility, "C");
  n.Add(qelta::kDefUtility, "B");
  n.Add(qelta::kDefUtility, "A");
  ASSERT_EQ(0, n.net.AddArc(c, m));
  std::string error;
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({"B+A"}, &error)) << error;
  EXPECT_EQ((std::vector<std::string>{"A", "B"}), n.ParentIds(m));
  EXPECT_EQ((std::vector<double>{1, 1}),
            std::vector<double>(
                n.net.GetNode(m)->Definition()->GetMatrixConst()->GetItems().begin(),
                n.net.GetNode(m)->Definition()->GetMatrixConst()->GetItems().end()));
}

TEST(MauExpressionsTest, RefusalsKeepTheNodeAndSayWhy) {
  const std::string prefix = "Invalid expression at index 0: ";
  struct Case {
    Texts texts;
    int status;
    std::string error;
  } cases[] = {
      {{"1", "2"}, qelta::kErrOutOfRange, "Wrong vector size"},
      {{"X"}, qelta::kErrGeneral,
       prefix + "only non-descendant utility/ALU/MAU nodes are allowed"},
      {{"K"}, qelta::kErrGeneral,
       prefix + "only non-descendant utility/ALU/MAU nodes are allowed"},
      {{"M+1"}, qelta::kErrGeneral, prefix + "self-references not allowed"},
      {{"Nobody"}, qelta::kErrGeneral, prefix + "unknown identifier"},
      {{"Normal(0, 1)"}, qelta::kErrGeneral,
       prefix + "Random number generators not allowed"},
      {{"U+"}, qelta::kErrOutOfRange,
       "Can't parse expression at index 0, error at position "},
  };
  for (const Case& t : cases) {
    Net n;
    const int m = n.Add(qelta::kDefMau, "M");
    const int u = n.Add(qelta::kDefUtility, "U");
    n.Add(qelta::kDefCpt, "X");
    const int k = n.Add(qelta::kDefMau, "K");  // a descendant of M
    ASSERT_EQ(0, n.net.AddArc(u, m));
    ASSERT_EQ(0, n.net.AddArc(m, k));
    std::string error;
    EXPECT_EQ(t.status, n.Mau(m)->SetExpressions(t.texts, &error)) << t.error;
    EXPECT_EQ(t.error, error.substr(0, t.error.size()));
    EXPECT_EQ(std::vector<std::string>{"U"}, n.ParentIds(m)) << t.error;
    EXPECT_EQ(nullptr, n.Mau(m)->GetExpressionSet()) << t.error;
  }
}

}  // namespace
