#include "network/change_guards.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/node_def.h"
#include "network/network.h"
#include "network/node.h"
#include "network_helpers.h"

namespace {

int UpdateCount(const VRN_network& net) {
  return qelta_test::CountMessages(net, qelta_test::kUpdateMessage);
}

TEST(ChangeGuardsTest, NestedGuardsUpdateOnceWhenTheOuterEnds) {
  VRN_network net;
  qelta_test::LogEveryUpdate(net);  // each update logs one line
  (void)net.SetAutoUpdate(true);
  int start = UpdateCount(net);
  {
    VRN_autoUpdateGuard outer(&net);
    EXPECT_EQ(outer.Ticket(), 0);
    {
      VRN_autoUpdateGuard inner(&net);
      EXPECT_EQ(inner.Ticket(), 1);
    }
    EXPECT_EQ(UpdateCount(net), start);
  }
  EXPECT_EQ(UpdateCount(net), start + 1);
  {
    VRN_autoUpdateGuard quiet(&net, false);
  }
  EXPECT_EQ(UpdateCount(net), start + 1);
}

TEST(ChangeGuardsTest, NoTicketWithoutAutomaticUpdate) {
  VRN_network net;
  {
    VRN_autoUpdateGuard guard(&net);
    EXPECT_EQ(guard.Ticket(), -1);
  }
  EXPECT_EQ(UpdateCount(net), 0);
}

TEST(ChangeGuardsTest, EditsUnderAutomaticUpdateRunOneUpdateEach) {
  VRN_network net;
  int a = net.AddNode(18, "A");
  int b = net.AddNode(18, "B");
  qelta_test::LogEveryUpdate(net);  // each update logs one line
  (void)net.SetAutoUpdate(true);
  int start = UpdateCount(net);
  ASSERT_EQ(net.AddArc(a, b), 0);
  EXPECT_EQ(UpdateCount(net), start + 1);
  // An outcome edit notifies the child table under nested guards.
  ASSERT_EQ(net.GetNode(a)->Definition()->AddOutcome("x"), 0);
  EXPECT_EQ(UpdateCount(net), start + 2);
}

TEST(ChangeGuardsTest, RelevanceOffGuardRestoresOnlyWhatWasOn) {
  VRN_network net;
  {
    VRN_relevanceOffGuard guard(&net);
    EXPECT_FALSE(net.IsRelevanceReasoning());
  }
  EXPECT_TRUE(net.IsRelevanceReasoning());
  net.SetRelevanceReasoning(false);
  { VRN_relevanceOffGuard guard(&net); }
  EXPECT_FALSE(net.IsRelevanceReasoning());
}

TEST(ChangeGuardsTest, UniformTableFollowsParents) {
  VRN_network net;
  int a = net.AddNode(18, "A");
  int b = net.AddNode(18, "B");
  int c = net.AddNode(18, "C");
  ASSERT_EQ(net.GetNode(b)->Definition()->AddOutcome("x"), 0);
  ASSERT_EQ(net.AddArc(a, c), 0);
  ASSERT_EQ(net.AddArc(b, c), 0);
  VRN_matrix table;
  ASSERT_EQ(VRN_SetUniformTable(&net, c, 4, table), 0);
  EXPECT_EQ(qelta_test::Ints(table.GetDimensions()),
            (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(qelta_test::Items(table), std::vector<double>(24, 0.25));
  ASSERT_EQ(VRN_SetUniformTable(&net, 99, 3, table), 0);
  EXPECT_EQ(table.GetDimensionCount(), 1);
  EXPECT_EQ(table.GetItemCount(), 3);
  EXPECT_EQ(VRN_SetUniformTable(&net, c, 0, table), -2);
}

TEST(ChangeGuardsTest, FopenTakesUtf8Names) {
  std::string dir = ::testing::TempDir();
  for (std::string name : {std::string("plain.txt"),
                           std::string("caf\xC3\xA9.txt")}) {
    std::string path = dir + "/" + name;
    std::FILE* f = VRN_Fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr) << path;
    std::fputs("x", f);
    std::fclose(f);
    f = VRN_Fopen(path.c_str(), "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::fgetc(f), 'x');
    std::fclose(f);
    std::remove(path.c_str());
  }
  EXPECT_EQ(VRN_Fopen(nullptr, "r"), nullptr);
  EXPECT_EQ(VRN_Fopen((dir + "/no/such/file").c_str(), "r"), nullptr);
}

}  // namespace
