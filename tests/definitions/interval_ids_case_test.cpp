// Outcome identifiers that a stored case names: clearing them is refused
// with a message and leaves the node as it was, so the case's evidence
// reads back from the network's save as the same outcome.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "io/format.h"
#include "network/cases.h"
#include "network/network.h"
#include "network/node.h"

namespace {

VRN_discDef* Disc(VRN_network& net, int h) {
  return dynamic_cast<VRN_discDef*>(net.GetNode(h)->Definition());
}

std::vector<std::string> Ids(VRN_network& net, int h) {
  std::vector<std::string> ids;
  const VRN_idArray* names = Disc(net, h)->GetOutcomesNames();
  for (int i = 0; i < names->GetSize(); ++i) ids.push_back(names->Get(i));
  return ids;
}

VRN_network* ReadBack(VRN_network& net, VRN_network* back) {
  std::string text;
  EXPECT_EQ(net.WriteString(text, qelta::kExtensionLayout), qelta::kOk);
  EXPECT_EQ(back->ReadString(text.c_str(), qelta::kExtensionLayout),
            qelta::kOk);
  return back;
}

std::string LastMessage(const VRN_network& net) {
  const int n = net.ErrorLog()->GetNumberOfMessages();
  return n > 0 ? net.ErrorLog()->GetMessage(n - 1) : "";
}

TEST(IntervalIdsCaseTest, IdentifiersACaseNamesAreNotCleared) {
  for (int type : {qelta::kDefCpt, qelta::kDefNoisyMax}) {
    SCOPED_TRACE(type);
    VRN_network net;
    const int x = net.AddNode(type, "X");
    ASSERT_EQ(net.AddCase("first")->SetEvidence(x, 0), qelta::kOk);
    VRN_case* observing = net.AddCase("observed");
    ASSERT_EQ(observing->SetEvidence(x, 1), qelta::kOk);
    const std::vector<std::string> ids = Ids(net, x);
    // The same count or another: refused before anything changes.
    for (const std::vector<double>& bounds :
         {std::vector<double>{0, 1, 2}, std::vector<double>{0, 1, 2, 3}}) {
      net.ErrorLog()->Flush();
      EXPECT_EQ(Disc(net, x)->SetIntervals(bounds, true),
                qelta::kErrWrongNodeType);
      EXPECT_EQ(LastMessage(net),
                "Outcome identifiers of node X cannot be cleared: case "
                "'first' observes one of its outcomes");
      EXPECT_EQ(Ids(net, x), ids);
      EXPECT_FALSE(Disc(net, x)->HasIntervals());
    }
    // Keeping the identifiers is no problem.
    ASSERT_EQ(Disc(net, x)->SetIntervals({0, 1, 2}, false), qelta::kOk);
    VRN_network back;
    ReadBack(net, &back);
    int node = -1, outcome = -1;
    ASSERT_EQ(back.GetCase(1)->GetEvidence(0, node, outcome), qelta::kOk);
    EXPECT_EQ(node, back.FindNode("X"));
    EXPECT_EQ(outcome, 1);
    EXPECT_EQ(Ids(back, node), ids);
  }
}

TEST(IntervalIdsCaseTest, SliceEvidenceOfAPlateNodeKeepsItsIdentifiers) {
  VRN_network net;
  const int x = net.AddNode(qelta::kDefDemorgan, "X");
  ASSERT_EQ(net.setNodeTemporalType(x, 3), qelta::kOk);
  ASSERT_EQ(net.SetNumberOfSlices(4), qelta::kOk);
  VRN_case* c = net.AddCase("slices");
  ASSERT_EQ(c->SetTemporalEvidence(x, 1, 0), qelta::kOk);
  ASSERT_EQ(c->SetTemporalEvidence(x, 0, 2), qelta::kOk);
  EXPECT_EQ(Disc(net, x)->SetIntervals({0, 1, 2}, true),
            qelta::kErrWrongNodeType);
  VRN_network back;
  ReadBack(net, &back);
  int node = -1;
  std::vector<std::pair<int, int>> slices;
  ASSERT_EQ(back.GetCase(0)->GetTemporalEvidence(0, node, slices), qelta::kOk);
  EXPECT_EQ(slices, (std::vector<std::pair<int, int>>{{0, 1}, {2, 0}}));
}

TEST(IntervalIdsCaseTest, OtherEvidenceLetsIdentifiersBeCleared) {
  VRN_network net;
  const int x = net.AddNode(qelta::kDefCpt, "X");
  const int y = net.AddNode(qelta::kDefCpt, "Y");
  VRN_case* c = net.AddCase("soft");
  ASSERT_EQ(c->SetVirtualEvidence(x, {0.25, 0.75}), qelta::kOk);
  ASSERT_EQ(c->SetEvidence(y, 1), qelta::kOk);
  ASSERT_EQ(Disc(net, x)->SetIntervals({0, 1, 2}, true), qelta::kOk);
  EXPECT_FALSE(Disc(net, x)->HasOutcomeIds());
  VRN_network back;
  ReadBack(net, &back);
  int node = -1;
  std::vector<double> soft;
  ASSERT_EQ(back.GetCase(0)->GetVirtualEvidence(0, node, soft), qelta::kOk);
  EXPECT_EQ(soft, (std::vector<double>{0.25, 0.75}));
  EXPECT_FALSE(Disc(back, back.FindNode("X"))->HasOutcomeIds());
}

}  // namespace
