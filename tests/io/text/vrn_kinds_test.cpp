#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definitions/noisy_max.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta_test::Beliefs;

const std::string kKindsFile = std::string(QELTA_TEST_DATA) + "/vrn/kinds.vrn";

const VRN_intArray& Strengths(const VRN_network& net, const char* id) {
  return static_cast<const VRN_noisyMAX*>(
             net.GetNode(net.FindNode(id))->Definition())
      ->GetParentOutcomeStrengths(0);
}

// Every canonical kind reads back with its kind, outcomes, parents,
// parameters and beliefs, and writes the same text again. The noisy-AND
// node has its outcomes reversed and its parent's first outcome last.
TEST(VrnKindsTest, RoundTripKeepsKindsParametersAndBeliefs) {
  VRN_network first;
  ASSERT_EQ(0, first.ReadFile(kKindsFile.c_str(), 0, 0));
  EXPECT_EQ(qelta_test::LogText(first), "");
  EXPECT_EQ(qelta_test::OutcomeIds(first, first.FindNode("N")),
            (std::vector<std::string>{"off", "on"}));
  for (const char* id : {"M", "N"}) {
    const VRN_intArray& order = Strengths(first, id);
    EXPECT_EQ(std::vector<int>(order.begin(), order.end()),
              (std::vector<int>{2, 0, 1}));
  }
  VRN_network second;
  qelta_test::ExpectWriteReadWriteStable(first, &second, ".vrn", 0, 0, false,
                                         false);
  EXPECT_EQ(Strengths(first, "M"), Strengths(second, "M"));
  for (VRN_network* net : {&first, &second}) {
    ASSERT_EQ(0, net->GetNode(net->FindNode("S"))->Value()->SetEvidence(0));
    ASSERT_EQ(0, net->GetNode(net->FindNode("G"))->Value()->SetEvidence(1));
    ASSERT_EQ(0, net->UpdateBeliefs());
  }
  for (int h = first.GetFirstNode(); h >= 0; h = first.GetNextNode(h)) {
    const std::vector<double> want = Beliefs(first, h);
    const std::vector<double> got =
        Beliefs(second, second.FindNode(first.GetNode(h)->GetId()));
    ASSERT_EQ(want.size(), got.size());
    for (size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(want[k], got[k], 1e-12);
  }
}

}  // namespace
