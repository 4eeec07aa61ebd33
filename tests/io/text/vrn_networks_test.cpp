// The public benchmark networks through the native text format: read from
// XMLBIF, written as vrn and read back, they keep ids, parent order and
// every table entry bit for bit, give the reference posteriors, and a
// second write gives the same text.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/node_val.h"
#include "io/format.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"

namespace {

namespace fs = std::filesystem;

using qelta_test::LogText;
using qelta_test::TempPath;

std::string DataDir() { return std::string(QELTA_SHARED_DIR) + "/data"; }

std::vector<std::string> XmlBifNames() {
  std::vector<std::string> names;
  std::error_code error;
  const fs::path folder = fs::path(DataDir()) / "networks" / "xmlbif";
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".xml") {
      names.push_back(entry.path().stem().string());
    }
  }
  std::sort(names.begin(), names.end());
  if (names.empty()) names.push_back("none");
  return names;
}

// Evidence rows (node, outcome index) of a reference folder; empty when the
// network has none.
std::vector<std::pair<std::string, int>> ReferenceEvidence(
    const std::string& name) {
  std::vector<std::pair<std::string, int>> rows;
  std::istringstream lines(qelta_test::ReadWholeFile(
      DataDir() + "/reference/" + name + "/evidence.tsv"));
  std::string line;
  std::getline(lines, line);  // the header
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string node, state, index;
    if (std::getline(fields, node, '\t') && std::getline(fields, state, '\t') &&
        std::getline(fields, index, '\t')) {
      rows.emplace_back(node, std::stoi(index));
    }
  }
  return rows;
}

// node -> probabilities in outcome order; empty when the file is absent.
std::map<std::string, std::vector<double>> ReadPosteriors(
    const std::string& path) {
  std::map<std::string, std::vector<double>> posteriors;
  std::istringstream lines(qelta_test::ReadWholeFile(path));
  std::string line;
  std::getline(lines, line);  // the header
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string node, state, probability;
    if (std::getline(fields, node, '\t') && std::getline(fields, state, '\t') &&
        std::getline(fields, probability, '\t')) {
      posteriors[node].push_back(std::stod(probability));
    }
  }
  return posteriors;
}

// Inference normalises table rows that the files give summing to 1 only
// within 3e-7, which moves the reference posteriors by up to about 1e-7; the
// copy is held to 1e-9 against the network it was written from.
constexpr double kReferenceTolerance = 1e-6;

class VrnNetworkTest : public ::testing::TestWithParam<std::string> {};

TEST_P(VrnNetworkTest, RoundTripKeepsTablesBitForBitAndTextStable) {
  if (GetParam() == "none") {
    GTEST_SKIP() << "The shared data folder " << DataDir()
                 << " is absent: no benchmark networks to read";
  }
  const std::string path = DataDir() + "/networks/xmlbif/" + GetParam() + ".xml";
  VRN_network original;
  ASSERT_EQ(original.ReadFile(path.c_str(), qelta::kFormatXmlBif, 0),
            qelta::kOk)
      << LogText(original);
  TempPath first(".vrn");
  ASSERT_EQ(original.WriteFile(first.path(), 0, 0), qelta::kOk)
      << LogText(original);
  const std::string text = qelta_test::ReadWholeFile(first.path());

  // LF and CR LF line ends read alike.
  for (bool crlf : {false, true}) {
    SCOPED_TRACE(crlf ? "CR LF" : "LF");
    TempPath input(".vrn", crlf ? qelta_test::WithCrLf(text) : text);
    VRN_network copy;
    ASSERT_EQ(copy.ReadFile(input.path(), 0, 0), qelta::kOk) << LogText(copy);
    EXPECT_EQ(LogText(copy), "");
    qelta_test::ExpectSameNetwork(original, copy, 0.0);
    if (crlf) continue;

    TempPath second(".vrn");
    ASSERT_EQ(copy.WriteFile(second.path(), qelta::kFormatVrn, 0), qelta::kOk);
    EXPECT_EQ(text, qelta_test::ReadWholeFile(second.path()));

    // Same tables give the same beliefs, with and without evidence.
    const auto evidence = ReferenceEvidence(GetParam());
    for (int pass = 0; pass < (evidence.empty() ? 1 : 2); ++pass) {
      for (VRN_network* network : {&original, &copy}) {
        for (const auto& [node, index] : evidence) {
          if (pass == 0) break;
          ASSERT_EQ(network->GetNode(network->FindNode(node.c_str()))
                        ->Value()
                        ->SetEvidence(index),
                    qelta::kOk);
        }
        ASSERT_EQ(network->UpdateBeliefs(), qelta::kOk) << LogText(*network);
      }
      // The reference posteriors, where the shared folder has them.
      const std::string reference =
          DataDir() + "/reference/" + GetParam() +
          (pass == 0 ? "/posteriors_noevidence.tsv"
                     : "/posteriors_evidence.tsv");
      for (const auto& [node, rows] : ReadPosteriors(reference)) {
        const std::vector<double> b =
            qelta_test::Beliefs(copy, copy.FindNode(node.c_str()));
        ASSERT_EQ(b.size(), rows.size()) << node;
        for (std::size_t i = 0; i < b.size(); ++i) {
          EXPECT_NEAR(b[i], rows[i], kReferenceTolerance) << node;
        }
      }
      for (int h = original.GetFirstNode(); h >= 0;
           h = original.GetNextNode(h)) {
        const char* id = original.GetNode(h)->GetId();
        const std::vector<double> a = qelta_test::Beliefs(original, h);
        const std::vector<double> b =
            qelta_test::Beliefs(copy, copy.FindNode(id));
        ASSERT_EQ(a.size(), b.size()) << id;
        for (std::size_t i = 0; i < a.size(); ++i) {
          EXPECT_NEAR(a[i], b[i], 1e-9) << id;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Networks, VrnNetworkTest,
                         ::testing::ValuesIn(XmlBifNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return info.param;
                         });

}  // namespace
