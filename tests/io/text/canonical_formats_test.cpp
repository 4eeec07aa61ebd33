#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/random.h"
#include "base/status.h"
#include "definitions/noisy_adder.h"
#include "definitions/noisy_max.h"
#include "definitions/node_def.h"
#include "definitions/qualitative.h"
#include "io/format.h"
#include "io/text/text_test_util.h"
#include "network/dbn.h"
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

// Influence diagrams through every format that stores them: Raiffa's oil
// wildcatter entered by hand against one copy per format in tests/data.
const double kThird = 1.0 / 3.0;

void BuildOilWildcatter(VRN_network& net) {
  const struct {
    int type;
    const char* id;
    std::vector<const char*> outcomes, parents;
    std::vector<double> table;
  } kNodes[] = {
      {18, "Oil", {"dry", "wet", "soaking"}, {}, {0.5, 0.3, 0.2}},
      {17, "Test", {"test", "notest"}, {}, {}},
      {18, "Seismic", {"closed", "open", "diffuse"}, {"Oil", "Test"},
       {0.1, 0.3, 0.6, kThird, kThird, kThird, 0.3, 0.4, 0.3, kThird, kThird,
        kThird, 0.5, 0.4, 0.1, kThird, kThird, kThird}},
      {17, "Drill", {"drill", "nodrill"}, {"Test", "Seismic"}, {}},
      {8, "Payoff", {}, {"Test", "Drill", "Oil"},
       {-80, 40, 190, -10, -10, -10, -70, 50, 200, 0, 0, 0}},
  };
  for (const auto& n : kNodes) {
    const int h = net.AddNode(n.type, n.id);
    VRN_nodeDef* def = net.GetNode(h)->Definition();
    VRN_stringArray names;
    for (const char* name : n.outcomes) names.Add(name);
    const int named = names.GetSize() > 0 ? def->SetNumberOfOutcomesByIds(names) : 0;
    ASSERT_EQ(0, named) << n.id;
    for (const char* p : n.parents) ASSERT_EQ(0, net.AddArc(net.FindNode(p), h));
    const int set = n.table.empty() ? 0 : def->SetDefinitionFromVector(n.table);
    ASSERT_EQ(0, set) << n.id;
  }
}

// Every node's type, id, outcomes and parents as text; tables appended.
std::vector<std::string> Describe(VRN_network& net, std::vector<double>* tables) {
  std::vector<std::string> out;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_node* node = net.GetNode(h);
    const VRN_nodeDef* def = node->Definition();
    std::string text = std::to_string(def->GetType()) + " " + node->GetId();
    for (int i = 0; i < def->GetNumberOfOutcomes(); ++i) {
      text += " " + std::string(def->GetOutcomesNames()->Get(i));
    }
    for (int p : node->Parents()) text += " <" + std::string(net.GetNode(p)->GetId());
    out.push_back(text);
    if (const VRN_matrix* m = def->GetMatrixConst()) {
      tables->insert(tables->end(), m->GetItems().begin(), m->GetItems().end());
    }
  }
  return out;
}

void ExpectSameNetwork(VRN_network& a, VRN_network& b, const char* tag) {
  std::vector<double> ta, tb;
  EXPECT_EQ(Describe(a, &ta), Describe(b, &tb)) << tag;
  ASSERT_EQ(ta.size(), tb.size()) << tag;
  for (size_t i = 0; i < ta.size(); ++i) EXPECT_NEAR(ta[i], tb[i], 1e-8) << tag;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  std::remove(path.c_str());
  return text.str();
}

TEST(DecisionFormatsTest, OilWildcatterInEveryFormat) {
  VRN_network expected;
  BuildOilWildcatter(expected);
  for (const char* ext : {"xvrn", "net", "dsc", "xml03"}) {
    VRN_network net, again;
    const std::string data =
        std::string(QELTA_TEST_DATA) + "/decisions/oil_wildcatter." + ext;
    ASSERT_EQ(0, net.ReadFile(data.c_str(), 0, 0)) << ext;
    ExpectSameNetwork(expected, net, ext);
    // Write, read, write gives the same text.
    qelta_test::TempFile file;
    const std::string first = std::string(file.path()) + "1." + ext;
    const std::string second = std::string(file.path()) + "2." + ext;
    ASSERT_EQ(0, net.WriteFile(first.c_str(), 0, 0)) << ext;
    ASSERT_EQ(0, again.ReadFile(first.c_str(), 0, 0)) << ext;
    ExpectSameNetwork(expected, again, ext);
    ASSERT_EQ(0, again.WriteFile(second.c_str(), 0, 0)) << ext;
    EXPECT_EQ(Slurp(first), Slurp(second)) << ext;
  }
}

TEST(DecisionFormatsTest, BadTablesAreReported) {
  qelta_test::TempFile bif(
      "<BIF VERSION=\"0.3\"><NETWORK><NAME>N</NAME>\n"
      "<VARIABLE TYPE=\"decision\"><NAME>D</NAME><OUTCOME>a</OUTCOME>"
      "<OUTCOME>b</OUTCOME></VARIABLE>\n"
      "<DEFINITION><FOR>D</FOR><TABLE>0.5 0.5</TABLE></DEFINITION>\n"
      "</NETWORK></BIF>\n");
  VRN_network net;
  ASSERT_EQ(0, net.ReadFile(bif.path(), qelta::kFormatXmlBif, 0));
  EXPECT_EQ(qelta::kDefDecision,
            net.GetNode(net.FindNode("D"))->Definition()->GetType());
  ASSERT_EQ(1, net.ErrorLog()->GetNumberOfMessages());
  EXPECT_EQ(qelta::kErrWrongNodeType, net.ErrorLog()->GetCode(0));
  EXPECT_STREQ("(line 3) : ERROR: [D] : A decision node takes no TABLE",
               net.ErrorLog()->GetMessage(0));

  VRN_network xml;
  EXPECT_NE(0, xml.ReadString("<qelta version=\"1.0\" id=\"N\"><nodes>"
                              "<utility id=\"U\"><utilities>1 2</utilities>"
                              "</utility></nodes></qelta>", 0));
  EXPECT_STREQ("Error at 1, 77: SetUtilities failed",
               xml.ErrorLog()->GetMessage(0));
}

// Plate nodes B and C with temporal arcs of orders 1 and 2, B under the
// anchor E and the normal A, the terminal T under C; four slices.
void BuildDynamic(VRN_network& net) {
  const char* ids[] = {"A", "E", "B", "C", "T"};
  int h[5];
  for (int i = 0; i < 5; ++i) h[i] = net.AddNode(qelta::kDefCpt, ids[i]);
  ASSERT_EQ(0, net.setNodeTemporalType(h[1], qelta::kTemporalAnchor));
  ASSERT_EQ(0, net.setNodeTemporalType(h[2], qelta::kTemporalPlate));
  ASSERT_EQ(0, net.setNodeTemporalType(h[3], qelta::kTemporalPlate));
  ASSERT_EQ(0, net.setNodeTemporalType(h[4], qelta::kTemporalTerminal));
  ASSERT_EQ(0, net.AddArc(h[0], h[2]));
  ASSERT_EQ(0, net.AddArc(h[1], h[2]));
  ASSERT_EQ(0, net.AddArc(h[2], h[3]));
  ASSERT_EQ(0, net.AddArc(h[3], h[4]));
  ASSERT_EQ(0, net.AddTemporalArc(h[2], h[2], 1));
  ASSERT_EQ(0, net.AddTemporalArc(h[2], h[3], 2));
  ASSERT_EQ(0, net.SetNumberOfSlices(4));
  net.SetRandSeed(11);
  ASSERT_EQ(0, net.RandomizeParameters(nullptr, nullptr));
}

TEST(CanonicalFormatsTest, TextWritersRefuseADynamicNetwork) {
  VRN_network net;
  BuildDynamic(net);
  struct Refusal {
    const char* extension;
    const char* format;
  } refusals[] = {{"vrn", "the native text format"}, {"dxp", "the native text format"},
                  {"erg", "Ergo format"},            {"dne", "Netica format"},
                  {"dsc", "MSBN format"},            {"net", "Hugin format"},
                  {"xml03", "XMLBIF format"}};
  for (const Refusal& r : refusals) {
    const std::string path = TempName(r.extension);
    std::remove(path.c_str());
    net.ErrorLog()->Flush();
    EXPECT_EQ(qelta::kErrOutOfRange, net.WriteFile(path.c_str(), 0, 0)) << r.extension;
    ASSERT_EQ(1, net.ErrorLog()->GetNumberOfMessages()) << r.extension;
    const std::string message = net.ErrorLog()->GetMessage(0);
    EXPECT_NE(std::string::npos, message.find("has temporal nodes")) << message;
    EXPECT_NE(std::string::npos, message.find(r.format)) << message;
    EXPECT_FALSE(std::ifstream(path).good()) << "a refused write left " << path;
  }
  // The XML file holds it (the save fuzz compares what it reads back).
  const std::string path = TempName("xvrn");
  EXPECT_EQ(0, net.WriteFile(path.c_str(), 0, 0));
  std::remove(path.c_str());
}

// M, a noisy-MAX of 27 binary roots, has 3 * 2^27 table cells: the native
// text file holds and reads back its parameters unexpanded; the table-only
// formats refuse it before a table or the file exists.
TEST(CanonicalFormatsTest, NoisyMaxTooLargeToExpand) {
  VRN_network net;
  const int m = net.AddNode(qelta::kDefNoisyMax, "M");
  ASSERT_EQ(0, net.GetNode(m)->Definition()->SetNumberOfOutcomes(3));
  for (int i = 0; i < 27; ++i) {
    ASSERT_EQ(0, net.AddArc(net.AddNode(qelta::kDefCpt, ("R" + std::to_string(i)).c_str()), m));
  }
  auto* noisy = static_cast<VRN_noisyMAX*>(net.GetNode(m)->Definition());
  VRN_randomGenerator generator(79);
  ASSERT_EQ(0, noisy->MakeRandom(generator));
  const char* refusals[][2] = {
      {"dne", "Netica"}, {"xml03", "XMLBIF"}, {"net", "Hugin"}, {"dsc", "MSBN"}, {"erg", "Ergo"}};
  for (const auto& [extension, format] : refusals) {
    const std::string path = TempName(extension);
    std::remove(path.c_str());
    net.ErrorLog()->Flush();
    EXPECT_EQ(qelta::kErrOutOfRange, net.WriteFile(path.c_str(), 0, 0)) << format;
    ASSERT_EQ(1, net.ErrorLog()->GetNumberOfMessages()) << format;
    const std::string message = net.ErrorLog()->GetMessage(0);
    EXPECT_TRUE(message.find("[M]") != message.npos && message.find(format) != message.npos)
        << message;
    EXPECT_FALSE(std::ifstream(path).good()) << "a refused write left " << path;
  }
  const std::string path = TempName("vrn");
  ASSERT_EQ(0, net.WriteFile(path.c_str(), 0, 0));
  VRN_network back;
  ASSERT_EQ(0, back.ReadFile(path.c_str(), 0, 0)) << back.ErrorLog()->GetMessage(0);
  ASSERT_EQ(28, back.GetNumberOfNodes());
  const auto* read = static_cast<VRN_noisyMAX*>(back.GetNode(back.FindNode("M"))->Definition());
  const VRN_doubleArray& want = noisy->Parameters().GetItems();
  const VRN_doubleArray& got = read->Parameters().GetItems();
  EXPECT_EQ(std::vector<double>(want.begin(), want.end()),
            std::vector<double>(got.begin(), got.end()));
  EXPECT_FALSE(noisy->IsCptValid() || read->IsCptValid());
  // A later TYPE statement would turn M's parameters into its table.
  std::string text = Slurp(path);
  const std::size_t at = text.find("EXTRA_DEFINITION", text.find("node M"));
  ASSERT_NE(std::string::npos, at);
  std::ofstream(path) << text.insert(at, "TYPE = CPT;\n");
  VRN_network changed;
  EXPECT_NE(0, changed.ReadFile(path.c_str(), 0, 0));
  std::remove(path.c_str());
  ASSERT_LT(0, changed.ErrorLog()->GetNumberOfMessages());
  EXPECT_NE(std::string::npos, std::string(changed.ErrorLog()->GetMessage(0))
                                   .find("[M] : its table would be too large for type CPT"));
}

}  // namespace
