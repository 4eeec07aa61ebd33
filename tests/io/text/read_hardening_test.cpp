// One answer whatever the path a table takes, and reads that either build
// what the file says or fail: unnormalised columns through every format and
// algorithm code, files naming impossible tables, cut files, identifiers
// with bytes of 0x80 and above, and files starting with a byte-order mark.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta_test::Beliefs;
using qelta_test::LogText;
using qelta_test::TempPath;

constexpr int kCpt = 18;

// A -> B -> C with the tables given (A 2, B 3, C 2 outcomes).
void MakeChain(VRN_network* net, const std::vector<double>& a,
               const std::vector<double>& b, const std::vector<double>& c) {
  const char* ids[] = {"A", "B", "C"};
  const int outcomes[] = {2, 3, 2};
  const std::vector<double>* tables[] = {&a, &b, &c};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(net->AddNode(kCpt, ids[i]), i);
    VRN_nodeDef* def = net->GetNode(i)->Definition();
    ASSERT_EQ(def->SetNumberOfOutcomes(outcomes[i]), qelta::kOk);
    if (i > 0) {
      ASSERT_EQ(net->AddArc(i - 1, i), qelta::kOk);
    }
    ASSERT_EQ(def->SetDefinitionFromVector(*tables[i]), qelta::kOk);
  }
}

// Beliefs of every node after an update with code and evidence (node id,
// outcome; none when the id is null).
std::vector<double> Update(VRN_network* net, int code, const char* observed,
                           int outcome) {
  EXPECT_GE(net->SetDefaultBNAlgorithm(code), 0);
  (void)net->ClearAllEvidence();
  if (observed != nullptr) {
    EXPECT_EQ(net->GetNode(net->FindNode(observed))->Value()->SetEvidence(
                  outcome),
              qelta::kOk);
  }
  EXPECT_EQ(net->UpdateBeliefs(), qelta::kOk) << LogText(*net);
  std::vector<double> all;
  for (int h = net->GetFirstNode(); h >= 0; h = net->GetNextNode(h)) {
    for (double p : Beliefs(*net, h)) all.push_back(p);
  }
  return all;
}

void ExpectNear(const std::vector<double>& expected,
                const std::vector<double>& actual, double tolerance) {
  ASSERT_EQ(expected.size(), actual.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(expected[i], actual[i], tolerance) << "entry " << i;
  }
}

TEST(ReadHardeningTest, UnnormalisedColumnsGiveOneAnswerWhateverThePath) {
  const std::vector<double> a = {0.2, 0.5}, b = {5, 10, 0, 0, 0, 0},
                            c = {0.9, 0.1, 0.3, 0.4, 0.5, 0.5};
  VRN_network reference;
  MakeChain(&reference, {2.0 / 7, 5.0 / 7}, {1.0 / 3, 2.0 / 3, 0, 1.0 / 3,
                                            1.0 / 3, 1.0 / 3},
            {0.9, 0.1, 3.0 / 7, 4.0 / 7, 0.5, 0.5});
  VRN_network given;
  MakeChain(&given, a, b, c);
  std::vector<std::string> sources = {""};
  for (const char* extension : {".xvrn", ".net", ".dsc", ".xml03"}) {
    sources.push_back(extension);
  }
  const struct { const char* id; int outcome; } cases[] = {
      {nullptr, 0}, {"C", 1}, {"B", 0}, {"B", 2}};
  for (const std::string& source : sources) {
    SCOPED_TRACE("source " + source);
    VRN_network read;
    VRN_network* net = &given;
    if (!source.empty()) {
      TempPath file(source);
      ASSERT_EQ(given.WriteFile(file.path(), 0, 0), qelta::kOk);
      ASSERT_EQ(read.ReadFile(file.path(), 0, 0), qelta::kOk) << LogText(read);
      net = &read;
    }
    for (const auto& e : cases) {
      const std::vector<double> expected =
          Update(&reference, 0, e.id, e.outcome);
      for (int code : {0, 11, 12}) {
        SCOPED_TRACE("code " + std::to_string(code));
        ExpectNear(expected, Update(net, code, e.id, e.outcome), 1e-12);
      }
    }
  }
  // The stored tables are kept as they were given.
  EXPECT_EQ(qelta_test::Table(given, 1), b);
}

TEST(ReadHardeningTest, NegativeOrNonFiniteEntriesFailTheUpdate) {
  for (double bad : {-0.1, std::nan(""), HUGE_VAL}) {
    VRN_network net;
    MakeChain(&net, {0.5, 0.5}, {0.2, 0.3, 0.5, bad, 0.5, 0.5},
              {1, 0, 0, 1, 0.5, 0.5});
    for (int code : {0, 11, 12}) {
      ASSERT_GE(net.SetDefaultBNAlgorithm(code), 0);
      EXPECT_EQ(net.UpdateBeliefs(), qelta::kErrOutOfRange);
      EXPECT_NE(LogText(net).find("Node [B] has a negative or non-finite"),
                std::string::npos)
          << LogText(net);
    }
  }
}

std::string Numbers(int count, const char* separator) {
  std::string text;
  for (int i = 0; i < count; ++i) text += (i ? separator : "") + std::string("0.5");
  return text;
}

// A file of the format of extension: parents P0.. of `states` outcomes
// (uniform tables) and a two-outcome child C of all of them with `numbers`
// numbers in its table.
std::string FamilyFile(const std::string& extension, int parents, int states,
                       int numbers) {
  std::string text, names, ids;
  auto outcome = [](int s) { return "s" + std::to_string(s); };
  const std::string uniform = std::to_string(1.0 / states);
  std::vector<double> prior(static_cast<std::size_t>(states), 1.0 / states);
  auto prior_text = [&](const char* separator) {
    std::string t;
    for (int s = 0; s < states; ++s) t += (s ? separator : "") + uniform;
    return t;
  };
  for (int p = 0; p < parents; ++p) {
    const std::string id = "P" + std::to_string(p);
    names += " " + id;
    if (extension == ".net") {
      text += "node " + id + " { states = (";
      for (int s = 0; s < states; ++s) text += " \"" + outcome(s) + "\"";
      text += "); }\npotential (" + id + ") { data = (" + prior_text(" ") +
              "); }\n";
    } else if (extension == ".dsc") {
      text += "node " + id + " { type : discrete[" + std::to_string(states) +
              "] = {";
      for (int s = 0; s < states; ++s) text += (s ? ", \"" : " \"") + outcome(s) + "\"";
      text += " }; }\nprobability (" + id + ") { " + prior_text(", ") +
              "; }\n";
    } else if (extension == ".xml03") {
      text += "<VARIABLE TYPE=\"nature\"><NAME>" + id + "</NAME>";
      for (int s = 0; s < states; ++s) text += "<OUTCOME>" + outcome(s) + "</OUTCOME>";
      text += "</VARIABLE>\n<DEFINITION><FOR>" + id + "</FOR><TABLE>" +
              prior_text(" ") + "</TABLE></DEFINITION>\n";
      ids += "<GIVEN>" + id + "</GIVEN>";
    } else {
      text += "<cpt id='" + id + "'>";
      for (int s = 0; s < states; ++s) text += "<state id='" + outcome(s) + "'/>";
      text += "<probabilities>" + prior_text(" ") + "</probabilities></cpt>\n";
    }
  }
  if (extension == ".net") {
    return "net { }\n" + text + "node C { states = (\"c0\" \"c1\"); }\n" +
           "potential (C |" + names + ") { data = (" + Numbers(numbers, " ") +
           "); }\n";
  }
  if (extension == ".dsc") {
    return "belief network \"b\"\n" + text +
           "node C { type : discrete[2] = { \"c0\", \"c1\" }; }\n" +
           "probability (C |" + names + ") { " + Numbers(numbers, ", ") +
           "; }\n";
  }
  if (extension == ".xml03") {
    return "<BIF VERSION=\"0.3\"><NETWORK><NAME>b</NAME>\n" + text +
           "<VARIABLE TYPE=\"nature\"><NAME>C</NAME><OUTCOME>c0</OUTCOME>"
           "<OUTCOME>c1</OUTCOME></VARIABLE>\n<DEFINITION><FOR>C</FOR>" + ids +
           "<TABLE>" + Numbers(numbers, " ") +
           "</TABLE></DEFINITION>\n</NETWORK></BIF>\n";
  }
  return "<qelta version='1.0' id='b'><nodes>\n" + text +
         "<cpt id='C'><state id='c0'/><state id='c1'/><parents>" +
         names.substr(names.empty() ? 0 : 1) + "</parents><probabilities>" +
         Numbers(numbers, " ") + "</probabilities></cpt>\n</nodes></qelta>\n";
}

// Reads text into a network holding one node "keep": a failure code, a
// logged reason, and the node still there alone.
void ExpectRefused(const std::string& extension, const std::string& text,
                   const char* reason) {
  SCOPED_TRACE(extension + " " + reason);
  VRN_network net;
  ASSERT_EQ(net.AddNode(kCpt, "keep"), 0);
  TempPath file(extension, text);
  EXPECT_LT(net.ReadFile(file.path(), 0, 0), 0);
  EXPECT_NE(LogText(net).find(reason), std::string::npos) << LogText(net);
  EXPECT_EQ(net.GetNumberOfNodes(), 1);
  EXPECT_EQ(net.FindNode("keep"), 0);
}

TEST(ReadHardeningTest, FilesNamingTablesThatCannotBeBuiltFail) {
  const struct { const char* extension; const char* too_large; const char* count; } formats[] = {
      {".net", "more than 268435456 cells", "10 numbers in data, 20 in"},
      {".dsc", "more than 268435456 cells", "10 of its 20 table entries"},
      {".xml03", "more than 268435456 cells", "10 numbers in TABLE, 20 in"},
      {".xvrn", "Table too large for node", "SetProbabilities failed"}};
  for (const auto& f : formats) {
    // Sound files of the same shape read.
    VRN_network net;
    TempPath good(f.extension, FamilyFile(f.extension, 1, 10, 20));
    EXPECT_EQ(net.ReadFile(good.path(), 0, 0), qelta::kOk) << LogText(net);
    ExpectRefused(f.extension, FamilyFile(f.extension, 30, 10, 2), f.too_large);
    ExpectRefused(f.extension, FamilyFile(f.extension, 30, 2, 2), f.too_large);
    ExpectRefused(f.extension, FamilyFile(f.extension, 1, 10, 10), f.count);
  }
}

TEST(ReadHardeningTest, CutMsbnFilesFail) {
  const std::string whole = FamilyFile(".dsc", 2, 3, 18);
  for (const char* cut : {"probability (C", "\"c1\"", "probability (P1)"}) {
    ExpectRefused(".dsc", whole.substr(0, whole.find(cut)), "ERROR:");
  }
  // Cut inside a table: the end of the file comes inside a block.
  ExpectRefused(".dsc", whole.substr(0, whole.size() - 6), "End of File");
}

TEST(ReadHardeningTest, NonAsciiIdentifiersRoundTripAndByteOrderMarksAreSkipped) {
  VRN_network net;
  MakeChain(&net, {0.5, 0.5}, {0.2, 0.3, 0.5, 0.1, 0.1, 0.8},
            {1, 0, 0, 1, 0.5, 0.5});
  ASSERT_EQ(net.GetNode(0)->Header().SetId("\xC3\x84rger"), qelta::kOk);
  ASSERT_EQ(net.GetNode(2)->Header().SetId("\xE6\x97\xA5\xE6\x9C\xAC_1"),
            qelta::kOk);
  for (const char* extension : {".net", ".dsc", ".xml03"}) {
    SCOPED_TRACE(extension);
    TempPath file(extension);
    ASSERT_EQ(net.WriteFile(file.path(), 0, 0), qelta::kOk);
    VRN_network copy;
    ASSERT_EQ(copy.ReadFile(file.path(), 0, 0), qelta::kOk) << LogText(copy);
    EXPECT_EQ(copy.FindNode("\xC3\x84rger"), 0);
    EXPECT_GE(copy.FindNode("\xE6\x97\xA5\xE6\x9C\xAC_1"), 0);
    TempPath marked(extension, "\xEF\xBB\xBF" +
                                   qelta_test::ReadWholeFile(file.path()));
    VRN_network bom;
    ASSERT_EQ(bom.ReadFile(marked.path(), 0, 0), qelta::kOk) << LogText(bom);
    qelta_test::ExpectSameNetwork(copy, bom, 0.0);
  }
}

// The shared networks give the same beliefs from each of the formats.
TEST(ReadHardeningTest, SharedNetworksAgreeAcrossFormats) {
  const std::string folder = std::string(QELTA_SHARED_DIR) + "/data/networks/";
  for (const char* name : {"asia", "cancer", "alarm", "child", "insurance",
                           "hailfinder", "win95pts"}) {
    SCOPED_TRACE(name);
    std::vector<std::map<std::string, std::vector<double>>> beliefs;
    for (const char* path : {"net/%s.net", "dsc/%s.dsc", "xmlbif/%s.xml"}) {
      std::string file = folder + path;
      file.replace(file.find("%s"), 2, name);
      if (qelta_test::ReadWholeFile(file).empty()) {
        GTEST_SKIP() << "shared networks absent: " << file;
      }
      VRN_network net;
      ASSERT_EQ(net.ReadFile(file.c_str(),
                             beliefs.size() == 2 ? 6 : 0, 0),
                qelta::kOk)
          << LogText(net);
      ASSERT_EQ(net.UpdateBeliefs(), qelta::kOk) << LogText(net);
      std::map<std::string, std::vector<double>> by_id;
      for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
        by_id[net.GetNode(h)->GetId()] = Beliefs(net, h);
      }
      beliefs.push_back(by_id);
    }
    for (int other : {1, 2}) {
      ASSERT_EQ(beliefs[0].size(), beliefs[other].size());
      for (const auto& entry : beliefs[0]) {
        SCOPED_TRACE(entry.first);
        ExpectNear(entry.second, beliefs[other][entry.first], 1e-12);
      }
    }
  }
}

}  // namespace
