// A case names its observed outcomes by identifier in the network file: a
// save whose identifier would read back as another outcome fails with a
// message instead of moving the evidence. A number on a node with outcomes
// is written as the outcome whose interval holds it, or refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "io/format.h"
#include "network/cases.h"
#include "network/network.h"
#include "network/node.h"

namespace {

VRN_discDef* Disc(VRN_network& net, int h) {
  return dynamic_cast<VRN_discDef*>(net.GetNode(h)->Definition());
}

std::string Log(const VRN_network& net) {
  std::string text;
  for (int i = 0; i < net.ErrorLog()->GetNumberOfMessages(); ++i) {
    text += std::string(net.ErrorLog()->GetMessage(i)) + "\n";
  }
  return text;
}

TEST(CaseEvidenceWriterTest, OutcomeItsIdentifierCannotNameIsNotWritten) {
  for (bool temporal : {false, true}) {
    SCOPED_TRACE(temporal ? "per slice" : "observed");
    VRN_network net;
    const int x = net.AddNode(qelta::kDefCpt, "X");
    if (temporal) {
      ASSERT_EQ(net.setNodeTemporalType(x, 3), qelta::kOk);
    }
    // Cleared interval outcomes all carry the empty identifier.
    ASSERT_EQ(Disc(net, x)->SetIntervals({0, 1, 2}, true), qelta::kOk);
    VRN_case* c = net.AddCase("c1");
    // Outcome 0 is what its identifier names first: written and read.
    ASSERT_EQ(temporal ? c->SetTemporalEvidence(x, 0, 1) : c->SetEvidence(x, 0),
              qelta::kOk);
    std::string text;
    ASSERT_EQ(net.WriteString(text, qelta::kExtensionLayout), qelta::kOk)
        << Log(net);
    VRN_network back;
    ASSERT_EQ(back.ReadString(text.c_str(), qelta::kExtensionLayout),
              qelta::kOk)
        << Log(back);

    // Outcome 1 would read back as outcome 0.
    VRN_case* other = net.AddCase("c2");
    ASSERT_EQ(temporal ? other->SetTemporalEvidence(x, 1, 2)
                       : other->SetEvidence(x, 1),
              qelta::kOk);
    net.ErrorLog()->Flush();
    text.clear();
    EXPECT_EQ(net.WriteString(text, qelta::kExtensionLayout),
              qelta::kErrFileIo);
    EXPECT_TRUE(text.empty());
    EXPECT_NE(Log(net).find("Case 'c2' observes outcome 1 of node 'X', "
                            "whose identifier does not tell it from another"),
              std::string::npos)
        << Log(net);
    // Refused before anything is written: no file is left.
    const std::string path = ::testing::TempDir() + "qelta_case_refused.xvrn";
    std::remove(path.c_str());
    EXPECT_EQ(net.WriteFile(path.c_str(), 0, 0), qelta::kErrFileIo);
    EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr);
  }
}

// The text of a refused save, checked: -103, nothing written, the message
// logged.
void ExpectRefused(VRN_network& net, const std::string& message) {
  net.ErrorLog()->Flush();
  std::string text;
  EXPECT_EQ(net.WriteString(text, qelta::kExtensionLayout), qelta::kErrFileIo);
  EXPECT_TRUE(text.empty());
  EXPECT_NE(Log(net).find(message), std::string::npos) << Log(net);
}

// Written and read back; the read-back network.
void RoundTrip(VRN_network& net, VRN_network& back, std::string* text) {
  ASSERT_EQ(net.WriteString(*text, qelta::kExtensionLayout), qelta::kOk)
      << Log(net);
  ASSERT_EQ(back.ReadString(text->c_str(), qelta::kExtensionLayout),
            qelta::kOk)
      << Log(back) << *text;
}

int EvidenceOf(const VRN_network& net, int entry) {
  int node = -1;
  int outcome = -1;
  EXPECT_EQ(net.GetCase(0)->GetEvidence(entry, node, outcome), qelta::kOk);
  return outcome;
}

TEST(CaseEvidenceWriterTest, NumberOnNodeWithOutcomesIsWrittenAsItsOutcome) {
  VRN_network net;
  const int x = net.AddNode(qelta::kDefCpt, "X");
  const int y = net.AddNode(qelta::kDefCpt, "Y");
  ASSERT_EQ(Disc(net, x)->SetIntervals({0, 1, 2, 3}, false), qelta::kOk);
  ASSERT_EQ(Disc(net, y)->SetIntervals({0, 1, 1, 2}, false), qelta::kOk);
  VRN_case* c = net.AddCase("c1");
  // As the node's own evidence maps them: the last bound is the last
  // outcome, a bound of an empty interval that interval.
  ASSERT_EQ(c->SetContEvidence(x, 3.0), qelta::kOk);
  ASSERT_EQ(c->SetContEvidence(y, 1.0), qelta::kOk);
  std::string text;
  VRN_network back;
  RoundTrip(net, back, &text);
  EXPECT_NE(text.find("<evidence node=\"X\" state=\"State2\" />"),
            std::string::npos)
      << text;
  EXPECT_EQ(EvidenceOf(back, 0), 2);
  EXPECT_EQ(EvidenceOf(back, 1), 1);
  // The case itself keeps the number.
  int node = -1;
  double value = 0.0;
  EXPECT_EQ(c->GetContEvidence(0, node, value), qelta::kOk);
  EXPECT_EQ(value, 3.0);
}

TEST(CaseEvidenceWriterTest, NumberNoOutcomeHoldsIsRefusedNamingCaseAndNode) {
  struct Setup {
    const char* what;
    double number;
    int type;
    bool point_values;
  };
  for (const Setup& setup :
       {Setup{"outside the intervals", 5.0, qelta::kDefCpt, false},
        Setup{"not a number", std::nan(""), qelta::kDefCpt, false},
        Setup{"point values", 1.0, qelta::kDefCpt, true},
        Setup{"no outcomes", 1.0, qelta::kDefUtility, false}}) {
    SCOPED_TRACE(setup.what);
    VRN_network net;
    const int x = net.AddNode(setup.type, "X");
    if (setup.type == qelta::kDefCpt) {
      ASSERT_EQ(setup.point_values ? Disc(net, x)->SetPointValues({1, 2})
                                   : Disc(net, x)->SetIntervals({0, 1, 2},
                                                                false),
                qelta::kOk);
    }
    ASSERT_EQ(net.AddCase("c1")->SetContEvidence(x, setup.number), qelta::kOk);
    ExpectRefused(net, "Case 'c1' holds the number ");
    EXPECT_NE(Log(net).find(" for node 'X', which no interval of the node "
                            "holds"),
              std::string::npos)
        << Log(net);
  }
  // Per-slice evidence outside the plate would not read back either.
  VRN_network net;
  const int x = net.AddNode(qelta::kDefCpt, "X");
  ASSERT_EQ(net.AddCase("c1")->SetTemporalEvidence(x, 1, 2), qelta::kOk);
  ExpectRefused(net, "Case 'c1' observes time slices of node 'X', which is "
                     "not a plate node");
}

// A number that is not finite, carried onto an equation node by a type
// change the cases did not follow, would not read back. (The save fuzz
// reaches case names with a control byte, which the file writes as ".".)
TEST(CaseEvidenceWriterTest, NonFiniteEquationNumberAndControlByteNameAreRefused) {
  for (double number : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    VRN_network net;
    const int a = net.AddNode(qelta::kDefCpt, "A");
    ASSERT_EQ(net.AddCase("K")->SetContEvidence(a, number), qelta::kOk);
    net.EnableCaseUpdates(false);
    ASSERT_EQ(net.GetNode(a)->setNodeType(qelta::kDefEquation), qelta::kOk);
    net.EnableCaseUpdates(true);
    ExpectRefused(net, "Case 'K' holds a number that is not finite for node "
                       "'A', an equation node");
  }
  // TAB, LF and CR have forms of their own and read back.
  VRN_network kept;
  ASSERT_NE(kept.AddCase("k\t\n\r"), nullptr);
  std::string text;
  VRN_network back;
  RoundTrip(kept, back, &text);
  EXPECT_EQ(back.GetCase(0)->GetName(), "k\t\n\r");
}

TEST(CaseEvidenceWriterTest, NumberInAnOutcomeItsIdentifierCannotNameIsRefused) {
  VRN_network net;
  const int x = net.AddNode(qelta::kDefCpt, "X");
  ASSERT_EQ(Disc(net, x)->SetIntervals({0, 1, 2}, true), qelta::kOk);
  VRN_case* c = net.AddCase("c1");
  ASSERT_EQ(c->SetContEvidence(x, 1.5), qelta::kOk);
  // The case holds the number, not the outcome: the message says so.
  ExpectRefused(net, "Case 'c1' holds the number 1.5 for node 'X', in "
                     "outcome 1, whose identifier does not tell it from "
                     "another");
  // In the first outcome carrying the identifier it is written.
  VRN_network net0;
  const int y = net0.AddNode(qelta::kDefCpt, "X");
  ASSERT_EQ(Disc(net0, y)->SetIntervals({0, 1, 2}, true), qelta::kOk);
  ASSERT_EQ(net0.AddCase("c1")->SetContEvidence(y, 0.5), qelta::kOk);
  std::string text;
  VRN_network back;
  RoundTrip(net0, back, &text);
  EXPECT_EQ(EvidenceOf(back, 0), 0);
}

TEST(CaseEvidenceWriterTest, QualitativeNodesAreNamedByTheirFixedOutcomes) {
  for (int type : {qelta::kDefCast, qelta::kDefDemorgan}) {
    SCOPED_TRACE(type);
    VRN_network net;
    const int q = net.AddNode(type, "Q");
    const int r = net.AddNode(type, "R");
    // Numbers and cleared identifiers are kept in memory; the file has no
    // place for either.
    ASSERT_EQ(Disc(net, q)->SetIntervals({0, 1, 2}, true), qelta::kOk);
    ASSERT_EQ(Disc(net, r)->SetPointValues({5, 7}), qelta::kOk);
    VRN_case* c = net.AddCase("c1");
    ASSERT_EQ(c->SetEvidence(q, 1), qelta::kOk);
    ASSERT_EQ(c->SetContEvidence(r, 7.0), qelta::kOk);  // no intervals
    ExpectRefused(net, "Case 'c1' holds the number 7 for node 'R'");
    ASSERT_EQ(Disc(net, r)->SetIntervals({6, 8, 9}, false), qelta::kOk);
    std::string text;
    VRN_network back;
    RoundTrip(net, back, &text);
    EXPECT_EQ(EvidenceOf(back, 0), 1);
    EXPECT_EQ(EvidenceOf(back, 1), 0);
    const VRN_discDef* read = Disc(back, back.FindNode("Q"));
    EXPECT_FALSE(read->HasIntervals());
    EXPECT_STREQ(read->GetOutcomesNames()->Get(1), "False");
    EXPECT_FALSE(Disc(back, back.FindNode("R"))->HasIntervals());
  }
}

}  // namespace
