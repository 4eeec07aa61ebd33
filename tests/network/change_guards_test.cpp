#include "network/change_guards.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/matrix.h"
#include "network/network.h"
#include "network/node.h"
#include "base/random.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/node_def.h"
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

TEST(ChangeGuardsTest, FindInterval) {
  const double b[] = {0.0, 1.0, 2.0};
  EXPECT_EQ(VRN_FindInterval(b, 3, 0.5), 0);
  EXPECT_EQ(VRN_FindInterval(b, 3, 1.0), 1);
  EXPECT_EQ(VRN_FindInterval(b, 3, 2.0), 1);
  EXPECT_EQ(VRN_FindInterval(b, 3, 0.0), 0);
  EXPECT_EQ(VRN_FindInterval(b, 3, 2.5), -2);
  EXPECT_EQ(VRN_FindInterval(b, 3, -0.1), -2);
  EXPECT_EQ(VRN_FindInterval(b, 3, std::nan("")), -2);
  EXPECT_EQ(VRN_FindInterval(b, 1, 0.0), -3);
  const double empty[] = {0.0, 1.0, 1.0, 2.0};
  EXPECT_EQ(VRN_FindInterval(empty, 4, 1.0), 1);  // the zero-width one
  EXPECT_EQ(VRN_FindInterval(empty, 4, 1.5), 2);
}

TEST(ChangeGuardsTest, IntervalMomentsOfBoundedIntervals) {
  const double b[] = {0.0, 1.0, 3.0};
  const double p[] = {0.5, 0.5};
  EXPECT_DOUBLE_EQ(VRN_IntervalsMean(2, b, p), 0.5 * 0.5 + 0.5 * 2.0);
  // E2 = 0.5 * 1/3 + 0.5 * (1 + 3 + 9) / 3
  double e2 = 0.5 / 3.0 + 0.5 * 13.0 / 3.0;
  EXPECT_DOUBLE_EQ(VRN_IntervalsStdDev(2, b, p),
                   std::sqrt(e2 - 1.25 * 1.25));
  const double point[] = {2.0, 2.0};
  const double one[] = {1.0};
  EXPECT_EQ(VRN_IntervalsStdDev(1, point, one), 0.0);
}

TEST(ChangeGuardsTest, TailMatchesTheNeighbourDensity) {
  const double inf = VRN_Infinity();
  const double b[] = {0.0, 1.0, inf};
  const double p[] = {0.6, 0.4};
  VRN_intervalTail t = VRN_IntervalTailParameters(1, 2, b, p);
  EXPECT_EQ(t.offset, 1.0);
  EXPECT_EQ(t.direction, 1.0);
  EXPECT_DOUBLE_EQ(t.sigma, 0.4 * 0.7978845608028654 * 1.0 / 0.6);
  // Half-normal density at its bound equals the neighbour's uniform one.
  double density = 0.4 * 2.0 / (t.sigma * std::sqrt(2.0 * M_PI));
  EXPECT_NEAR(density, 0.6, 1e-12);

  const double lower[] = {-inf, 2.0, 4.0};
  VRN_intervalTail l = VRN_IntervalTailParameters(0, 2, lower, nullptr);
  EXPECT_EQ(l.offset, 2.0);
  EXPECT_EQ(l.direction, -1.0);
  EXPECT_DOUBLE_EQ(l.sigma, 0.7978845608028654 * 2.0);

  const double both[] = {-inf, 0.0, inf};
  EXPECT_DOUBLE_EQ(VRN_IntervalTailParameters(0, 2, both, nullptr).sigma, 1.0);
  EXPECT_NEAR(VRN_IntervalsMean(2, both, nullptr), 0.0, 1e-12);
}

TEST(ChangeGuardsTest, IntervalSamplerStaysInsideItsInterval) {
  const double inf = VRN_Infinity();
  const double b[] = {-inf, 0.0, 1.0, inf};
  VRN_randomGenerator gen(7);
  VRN_intervalSampler mid, low, high;
  mid.Init(1, b, 4, nullptr);
  low.Init(0, b, 4, nullptr);
  high.Init(2, b, 4, nullptr);
  EXPECT_FALSE(mid.IsUnbounded());
  EXPECT_TRUE(low.IsUnbounded());
  for (int i = 0; i < 200; ++i) {
    double m = mid.Draw(gen);
    EXPECT_GE(m, 0.0);
    EXPECT_LE(m, 1.0);
    EXPECT_LE(low.Draw(gen), 0.0);
    EXPECT_GE(high.Draw(gen), 1.0);
  }
}

TEST(ChangeGuardsTest, DefaultOutcomeIds) {
  const VRN_idArray& ids = VRN_DefaultOutcomeIds();
  ASSERT_EQ(ids.GetSize(), 2);
  EXPECT_STREQ(ids.Get(0), "State0");
  EXPECT_STREQ(ids.Get(1), "State1");
  EXPECT_EQ(&VRN_DefaultOutcomeIds("State"), &ids);
  const VRN_idArray& choices = VRN_DefaultOutcomeIds("Choice");
  EXPECT_STREQ(choices.Get(0), "Choice0");
  EXPECT_STREQ(choices.Get(1), "Choice1");
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
  ASSERT_EQ(table.GetDimensionCount(), 3);
  EXPECT_EQ(table.GetSize(0), 2);
  EXPECT_EQ(table.GetSize(1), 3);
  EXPECT_EQ(table.GetSize(2), 4);
  for (double v : table.GetItems()) EXPECT_EQ(v, 0.25);
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
