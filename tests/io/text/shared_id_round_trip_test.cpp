// A node may share its identifier with the network or with a submodel:
// every format the library writes reads such a network back whole, while
// two nodes of one identifier in one file are still refused.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

namespace {

using qelta_test::LogText;
using qelta_test::TempPath;

// Rain -> child in a network whose own identifier is network_id.
void MakeRainChild(VRN_network* net, const char* child,
                   const char* network_id) {
  ASSERT_EQ(net->Header()->SetId("Net"), qelta::kOk);
  const int rain = net->AddNode(qelta::kDefCpt, "Rain");
  const int umbrella = net->AddNode(qelta::kDefCpt, child);
  ASSERT_GE(umbrella, 0);
  ASSERT_EQ(net->AddArc(rain, umbrella), qelta::kOk);
  ASSERT_EQ(net->GetNode(rain)->Definition()->SetDefinitionFromVector(
                {0.25, 0.75}),
            qelta::kOk);
  ASSERT_EQ(net->GetNode(umbrella)->Definition()->SetDefinitionFromVector(
                {0.875, 0.125, 0.0625, 0.9375}),
            qelta::kOk);
  ASSERT_EQ(net->Header()->SetId(network_id), qelta::kOk);
}

// A -> Leaf (-> Child when with_child), with A in a submodel whose
// identifier is then made Leaf's.
void MakeSubmodelSharingLeaf(VRN_network* net, bool with_child) {
  const int a = net->AddNode(qelta::kDefCpt, "A");
  const int leaf = net->AddNode(qelta::kDefCpt, "Leaf");
  ASSERT_EQ(net->AddArc(a, leaf), qelta::kOk);
  ASSERT_EQ(net->GetNode(leaf)->Definition()->SetDefinitionFromVector(
                {0.5, 0.5, 0.25, 0.75}),
            qelta::kOk);
  if (with_child) {
    const int child = net->AddNode(qelta::kDefCpt, "Child");
    ASSERT_EQ(net->AddArc(leaf, child), qelta::kOk);
    ASSERT_EQ(net->GetNode(child)->Definition()->SetDefinitionFromVector(
                  {0.125, 0.875, 0.375, 0.625}),
              qelta::kOk);
  }
  const int sub = net->Submodels()->CreateSubmodel(qelta::kMainSubmodel, "Sub");
  ASSERT_GE(sub, 0);
  ASSERT_EQ(net->GetNode(a)->SetSubmodel(sub), qelta::kOk);
  ASSERT_EQ(net->Submodels()->GetSubmodel(sub)->Header().SetId("Leaf"),
            qelta::kOk);
}

TEST(SharedIdRoundTripTest, EveryFormatReadsBackWhatItWrote) {
  VRN_network umbrella, unnamed, leaf, parent;
  MakeRainChild(&umbrella, "Umbrella", "Umbrella");
  // A node named as a network read from a file without an identifier.
  MakeRainChild(&unnamed, "Unnamed", "Net");
  MakeSubmodelSharingLeaf(&leaf, false);
  MakeSubmodelSharingLeaf(&parent, true);
  const struct {
    const char* extension;
    int read_format;
    bool network_id;
    bool submodels;
  } formats[] = {{".vrn", 0, true, true},    {".dxp", 4, true, true},
                 {".dne", 0, true, false},   {".net", 0, false, false},
                 {".erg", 0, false, false},  {".dsc", 0, false, false},
                 {".xml03", 0, false, false}, {".xvrn", 0, true, true}};
  for (VRN_network* net : {&umbrella, &unnamed, &leaf, &parent}) {
    for (const auto& format : formats) {
      SCOPED_TRACE(std::string(format.extension) + " " +
                   net->GetNode(net->GetLastNode())->GetId() + " in " +
                   net->Header()->GetId());
      TempPath file(format.extension);
      ASSERT_EQ(net->WriteFile(file.path(), 0, 0), qelta::kOk) << LogText(*net);
      VRN_network copy;
      ASSERT_EQ(copy.ReadFile(file.path(), format.read_format, 0), qelta::kOk)
          << LogText(copy);
      qelta_test::ExpectSameNetwork(*net, copy, 1e-8);
      if (format.network_id) {
        EXPECT_STREQ(copy.Header()->GetId(), net->Header()->GetId());
      }
      if (!format.submodels) continue;
      ASSERT_EQ(copy.Submodels()->GetNumberOfSubmodels(),
                net->Submodels()->GetNumberOfSubmodels());
      const int a = net->FindNode("A");
      if (a < 0) continue;
      const int sub = copy.Submodels()->FindSubmodel("Leaf");
      ASSERT_GE(sub, 0);
      EXPECT_EQ(copy.GetNode(copy.FindNode("A"))->GetSubmodel(), sub);
    }
  }
}

// Outcome identifiers of any length are kept whole: renamed, and written
// and read back in every format that holds them; two that differ only past
// the first thousand bytes stay apart.
TEST(SharedIdRoundTripTest, LongOutcomeIdentifiersStayWhole) {
  const std::string first(2000, 's');
  const std::string second = first + "t";
  VRN_network net;
  MakeRainChild(&net, "B", "Net");
  VRN_nodeDef* b = net.GetNode(net.FindNode("B"))->Definition();
  VRN_stringArray names;
  (void)names.Add(first.c_str());
  (void)names.Add(second.c_str());
  ASSERT_EQ(b->RenameOutcomes(names), qelta::kOk);
  const std::vector<std::string> ids{first, second};
  ASSERT_EQ(qelta_test::OutcomeIds(net, net.FindNode("B")), ids);
  for (const char* extension :
       {".vrn", ".dxp", ".dne", ".net", ".erg", ".dsc", ".xml03", ".xvrn"}) {
    SCOPED_TRACE(extension);
    TempPath file(extension);
    ASSERT_EQ(net.WriteFile(file.path(), 0, 0), qelta::kOk) << LogText(net);
    VRN_network copy;
    ASSERT_EQ(copy.ReadFile(file.path(), std::string(extension) == ".dxp" ? 4 : 0, 0),
              qelta::kOk)
        << LogText(copy);
    qelta_test::ExpectSameNetwork(net, copy, 1e-8);
  }
}

// An identifier made with the at sign skips the identifier rule; no reader
// takes one back as it is, so every writer refuses it and leaves the file.
TEST(SharedIdRoundTripTest, AtSignIdentifiersAreRefusedByEveryWriter) {
  for (const char* id : {"@9x", "@"}) {
    VRN_network net;
    MakeRainChild(&net, "B", "Net");
    const int at = net.AddNode(qelta::kDefCpt, id);
    ASSERT_GE(at, 0);
    ASSERT_STREQ(net.GetNode(at)->GetId(), id);
    ASSERT_EQ(net.AddArc(at, net.FindNode("B")), qelta::kOk);
    for (const char* extension :
         {".vrn", ".dne", ".net", ".erg", ".dsc", ".xml03", ".xvrn"}) {
      SCOPED_TRACE(std::string(id) + extension);
      TempPath file(extension, "old");
      for (int layout : {0, -1}) {
        net.ErrorLog()->Flush();
        EXPECT_EQ(net.WriteFile(file.path(), 0, layout), qelta::kErrFileIo);
        EXPECT_NE(LogText(net).find(std::string("Node '") + id +
                                    "' cannot be written to the "),
                  std::string::npos) << LogText(net);
        EXPECT_EQ(qelta_test::ReadWholeFile(file.path()), "old");
      }
    }
    std::string text;
    EXPECT_EQ(net.WriteString(text, 0), qelta::kErrFileIo);
    EXPECT_TRUE(text.empty());
  }
}

// Bytes that are not UTF-8 are identifier bytes, but every text reader
// repairs them, so that two identifiers could read back as one, and no file
// holds a table entry that is not finite: every writer refuses both before
// it touches the file, naming the node. (The save fuzz reaches such node
// identifiers too.)
TEST(SharedIdRoundTripTest, NonUtf8IdentifiersAndNonFiniteTablesAreRefused) {
  for (bool table : {false, true}) {
    VRN_network net;
    MakeRainChild(&net, "B", "Net");
    VRN_nodeDef* b = net.GetNode(net.FindNode("B"))->Definition();
    ASSERT_EQ(table ? b->SetDefinitionFromVector({NAN, 1, 0.5, 0.5}) : b->RenameOutcome(0, "s\xFF"),
              qelta::kOk);
    for (const char* extension : {".vrn", ".dxp", ".dne", ".net", ".erg", ".dsc", ".xml03", ".xvrn"}) {
      SCOPED_TRACE(std::string(extension) + (table ? " table" : " outcomes"));
      TempPath file(extension, "old");
      net.ErrorLog()->Flush();
      EXPECT_EQ(net.WriteFile(file.path(), 0, 0), qelta::kErrFileIo);
      EXPECT_TRUE(LogText(net).find("[B]") != std::string::npos ||
                  LogText(net).find("'B'") != std::string::npos) << LogText(net);
      EXPECT_EQ(qelta_test::ReadWholeFile(file.path()), "old");
    }
  }
}

// A node the reader cannot make is lost data: the read fails, naming it,
// and the network stays as it was.
TEST(SharedIdRoundTripTest, TwoNodesOfOneIdentifierInAFileFailTheRead) {
  const struct {
    const char* extension;
    const char* text;
    const char* message;
  } cases[] = {
      {".vrn",
       "net Dup { node A { TYPE = CPT; }; node A { TYPE = TABLE; }; };",
       "Couldn't Create Node (\"A\")"},
      {".dne",
       "bnet Dup { node A { kind = NATURE; discrete = TRUE; states = (a0, "
       "a1); }; node A { kind = NATURE; discrete = TRUE; states = (b0, b1, "
       "b2); }; };",
       "Can't create node [A]"},
      {".net", "net { } node A { states = (\"a\" \"b\"); } node A { }",
       "Couldn't Create Node (\"A\")"},
      {".dsc", "belief network \"Dup\" node A { type : discrete[2] = { \"a\", "
       "\"b\" }; } node A { type : discrete[2] = { \"a\", \"b\" }; }",
       "Couldn't Create Node (\"A\")"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extension);
    TempPath file(c.extension, c.text);
    VRN_network net;
    ASSERT_GE(net.AddNode(qelta::kDefCpt, "Kept"), 0);
    EXPECT_NE(net.ReadFile(file.path(), 0, 0), qelta::kOk);
    EXPECT_EQ(net.GetNumberOfNodes(), 1);
    EXPECT_GE(net.FindNode("Kept"), 0);
    EXPECT_NE(LogText(net).find(c.message), std::string::npos) << LogText(net);
  }
}

}  // namespace
