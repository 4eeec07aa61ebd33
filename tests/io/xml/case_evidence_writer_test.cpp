// A case names its observed outcomes by identifier in the network file: a
// save whose identifier would read back as another outcome fails with a
// message instead of moving the evidence.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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

}  // namespace
