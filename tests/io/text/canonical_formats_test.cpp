#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/noisy_adder.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "network/network.h"
#include "network/node.h"
#include "definitions/node_val.h"

namespace {

std::string TempName(const char* extension) {
  return testing::TempDir() + "canonical_" +
         testing::UnitTest::GetInstance()->current_test_info()->name() + "." +
         extension;
}

std::vector<double> Beliefs(VRN_network& net, const char* id) {
  const VRN_matrix& m = net.GetNode(net.FindNode(id))->Value()->GetValue();
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

// A: three outcomes; M noisy-MAX of A and B; S noisy-adder of M; evidence
// on S.
void BuildNoisy(VRN_network& net) {
  const int a = net.AddNode(qelta::kDefCpt, "A");
  ASSERT_EQ(0, net.GetNode(a)->Definition()->SetNumberOfOutcomes(3));
  const int b = net.AddNode(qelta::kDefCpt, "B");
  const int m = net.AddNode(qelta::kDefNoisyMax, "M");
  const int s = net.AddNode(qelta::kDefNoisyAdder, "S");
  ASSERT_EQ(0, net.AddArc(a, m));
  ASSERT_EQ(0, net.AddArc(b, m));
  ASSERT_EQ(0, net.AddArc(m, s));
  ASSERT_EQ(0, net.GetNode(m)->Definition()->SetDefinitionFromVector(
                   {0.7, 0.3, 0.4, 0.6, 0, 1, 0.9, 0.1, 0, 1, 0.05, 0.95}));
  ASSERT_EQ(0, static_cast<VRN_noisyMAX*>(net.GetNode(m)->Definition())
                   ->SetParentOutcomeStrengths(0, []{
                     VRN_intArray o; o.Add(2); o.Add(0); o.Add(1); return o; }()));
  ASSERT_EQ(0, net.GetNode(s)->Definition()->SetDefinitionFromVector(
                   {0.8, 0.2, 0, 1, 0.3, 0.7}));
  ASSERT_EQ(0, net.GetNode(s)->Value()->SetEvidence(0));
}

void BuildQualitative(VRN_network& net) {
  const int a = net.AddNode(qelta::kDefDemorgan, "A");
  const int g = net.AddNode(qelta::kDefDemorgan, "G");
  ASSERT_EQ(0, net.AddArc(a, g));
  auto* d = static_cast<VRN_demorgan*>(net.GetNode(g)->Definition());
  ASSERT_EQ(0, d->SetParentWeight(0, 0.7));
  ASSERT_EQ(0, d->SetPriorBelief(0.2));
  const int c = net.AddNode(qelta::kDefCast, "C");
  const int e = net.AddNode(qelta::kDefCast, "E");
  ASSERT_EQ(0, net.AddArc(c, e));
  VRN_doubleArray w;
  w.Add(-0.5);
  ASSERT_EQ(0, static_cast<VRN_cast*>(net.GetNode(e)->Definition())
                   ->SetNegativeWeights(w));
  ASSERT_EQ(0, net.GetNode(g)->Value()->SetEvidence(1));
}

TEST(CanonicalFormatsTest, WrittenAsTablesGiveTheSameBeliefs) {
  struct Case {
    const char* extension;
    int format;
    bool qualitative;
  } cases[] = {{"net", 5, false}, {"dsc", 3, false}, {"xml03", 6, false},
               {"xml03", 6, true}};
  for (const Case& c : cases) {
    VRN_network net;
    if (c.qualitative) {
      BuildQualitative(net);
    } else {
      BuildNoisy(net);
    }
    ASSERT_EQ(0, net.UpdateBeliefs());
    const std::string name = TempName(c.extension);
    ASSERT_EQ(0, net.WriteFile(name.c_str(), c.format, 0)) << c.extension;
    VRN_network back;
    ASSERT_EQ(0, back.ReadFile(name.c_str(), c.format, 0)) << c.extension;
    std::remove(name.c_str());
    for (int h = back.GetFirstNode(); h >= 0; h = back.GetNextNode(h)) {
      EXPECT_EQ(qelta::kDefCpt, back.GetNode(h)->Definition()->GetType());
    }
    if (!c.qualitative) {
      ASSERT_EQ(0, back.GetNode(back.FindNode("S"))->Value()->SetEvidence(0));
    } else {
      ASSERT_EQ(0, back.GetNode(back.FindNode("G"))->Value()->SetEvidence(1));
    }
    ASSERT_EQ(0, back.UpdateBeliefs());
    for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
      const char* id = net.GetNode(h)->GetId();
      const std::vector<double> want = Beliefs(net, id);
      const std::vector<double> got = Beliefs(back, id);
      ASSERT_EQ(want.size(), got.size()) << c.extension << " " << id;
      for (size_t k = 0; k < want.size(); ++k) {
        EXPECT_NEAR(want[k], got[k], 1e-6) << c.extension << " " << id;
      }
    }
  }
}

TEST(CanonicalFormatsTest, HuginAndMsbnRefuseQualitativeNodes) {
  for (int format : {5, 3}) {
    VRN_network net;
    BuildQualitative(net);
    const std::string name = TempName(format == 5 ? "net" : "dsc");
    std::remove(name.c_str());
    EXPECT_NE(0, net.WriteFile(name.c_str(), format, 0));
    EXPECT_FALSE(std::ifstream(name).good()) << format;
    ASSERT_GT(net.ErrorLog()->GetNumberOfMessages(), 0);
    EXPECT_EQ(std::string("ERROR: 'A' : Node type not supported by ") +
                  (format == 5 ? "Hugin" : "MSBN"),
              net.ErrorLog()->GetMessage(0));
  }
}

}  // namespace
