// The public benchmark networks of the shared data folder in the Hugin,
// MSBN and XMLBIF formats: every file loads with LF and with CR LF line
// ends, survives a write-read-write cycle in its own format, and gives the
// reference posteriors of an independent exact engine after belief
// updating, without evidence and with the reference evidence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/node_val.h"
#include "inference/shared_networks.h"
#include "io/format.h"
#include "io/text/text_network_util.h"

namespace {

namespace fs = std::filesystem;

using qelta_test::Beliefs;
using qelta_test::LogText;
using qelta_test::TempPath;

struct Format {
  const char* folder;
  const char* extension;  // of the files in the folder
  const char* written;    // of the files written by the tests
  int code;
  // Inference normalises rows that sum to 1 only within 3e-7, which the
  // reference posteriors do not.
  double tolerance;
};

const Format kFormats[] = {
    {"net", ".net", ".net", qelta::kFormatHugin, 1e-6},
    {"dsc", ".dsc", ".dsc", qelta::kFormatMsbn, 1e-6},
    {"xmlbif", ".xml", ".xml03", qelta::kFormatXmlBif, 1e-6},
};

const Format& FormatOf(const std::string& folder) {
  for (const Format& format : kFormats) {
    if (folder == format.folder) return format;
  }
  return kFormats[0];
}

std::string DataDir() { return std::string(QELTA_SHARED_DIR) + "/data"; }

// "folder/file" for every file of the three formats (only: of that
// folder); a single "none" when the shared folder is absent, so that the
// test can say so.
std::vector<std::string> NetworkFiles(const char* only = nullptr) {
  std::vector<std::string> files;
  std::error_code error;
  for (const Format& format : kFormats) {
    if (only != nullptr && std::string(only) != format.folder) continue;
    const fs::path folder = fs::path(DataDir()) / "networks" / format.folder;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
      if (entry.path().extension() == format.extension) {
        files.push_back(std::string(format.folder) + "/" +
                        entry.path().filename().string());
      }
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) files.push_back("none");
  return files;
}

// "folder/network" for every network with reference posteriors, in each
// format (only: in that one), and the second Hugin copy of alarm.
std::vector<std::string> ReferenceCases(const char* only = nullptr) {
  std::vector<std::string> cases;
  std::error_code error;
  const fs::path folder = fs::path(DataDir()) / "reference";
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  for (const Format& format : kFormats) {
    if (only != nullptr && std::string(only) != format.folder) continue;
    for (const std::string& name : names) {
      cases.push_back(std::string(format.folder) + "/" + name);
    }
  }
  if (!names.empty() && (only == nullptr || std::string(only) == "net")) {
    cases.push_back("net/alarm_samiam");
  }
  if (cases.empty()) cases.push_back("none");
  return cases;
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

// Skips the test when the shared data folder is absent.
#define SKIP_WITHOUT_SHARED_DATA(param)                          \
  if ((param) == "none") {                                       \
    GTEST_SKIP() << "The shared data folder " << DataDir()       \
                 << " is absent: no benchmark networks to read"; \
  }

// Every message of a clean read: the Hugin files' network attributes that
// the format does not know.
void ExpectOnlyUnknownNetStatements(const VRN_network& network) {
  std::istringstream lines(LogText(network));
  std::string line;
  while (std::getline(lines, line)) {
    EXPECT_NE(line.find("Unknown Net Statement"), std::string::npos) << line;
  }
}

class BenchmarkFileTest : public ::testing::TestWithParam<std::string> {};

TEST_P(BenchmarkFileTest, LoadsWithLfAndCrLfLineEnds) {
  SKIP_WITHOUT_SHARED_DATA(GetParam());
  const std::string path = DataDir() + "/networks/" + GetParam();
  const Format& format = FormatOf(GetParam().substr(0, GetParam().find('/')));
  VRN_network lf;
  ASSERT_EQ(lf.ReadFile(path.c_str(), format.code, 0), qelta::kOk)
      << LogText(lf);
  EXPECT_GT(lf.GetNumberOfNodes(), 0);
  ExpectOnlyUnknownNetStatements(lf);

  TempPath crlf_file(format.extension,
                     qelta_test::WithCrLf(qelta_test::ReadWholeFile(path)));
  VRN_network crlf;
  ASSERT_EQ(crlf.ReadFile(crlf_file.path(), format.code, 0), qelta::kOk)
      << LogText(crlf);
  qelta_test::ExpectSameNetwork(lf, crlf, 0.0);
}

TEST_P(BenchmarkFileTest, WriteReadWriteKeepsEverything) {
  SKIP_WITHOUT_SHARED_DATA(GetParam());
  const std::string path = DataDir() + "/networks/" + GetParam();
  const Format& format = FormatOf(GetParam().substr(0, GetParam().find('/')));
  VRN_network original;
  ASSERT_EQ(original.ReadFile(path.c_str(), format.code, 0), qelta::kOk);
  TempPath first_text(format.written);
  ASSERT_EQ(original.WriteFile(first_text.path(), 0, 0), qelta::kOk)
      << LogText(original);
  VRN_network copy;
  ASSERT_EQ(copy.ReadFile(first_text.path(), 0, 0), qelta::kOk)
      << LogText(copy);
  EXPECT_EQ(LogText(copy), "");
  // 8 decimals; Hugin rows of the 8-decimal text are renormalised too.
  qelta_test::ExpectSameNetwork(
      original, copy, format.code == qelta::kFormatHugin ? 2e-8 : 5e-9 + 1e-15);
  TempPath second_text(format.written);
  ASSERT_EQ(copy.WriteFile(second_text.path(), 0, 0), qelta::kOk);
  qelta_test::ExpectSameText(qelta_test::ReadWholeFile(first_text.path()),
                             qelta_test::ReadWholeFile(second_text.path()),
                             1e-8 + 1e-15);
}

INSTANTIATE_TEST_SUITE_P(Files, BenchmarkFileTest,
                         ::testing::ValuesIn(NetworkFiles()), TestName);

using XmlBifCopyTest = BenchmarkFileTest;

// Each network once (from its MSBN file) written as XMLBIF: well-formed
// XML to a conforming parser, and the same tables when read back.
TEST_P(XmlBifCopyTest, IsWellFormedXmlAndReadsBack) {
  SKIP_WITHOUT_SHARED_DATA(GetParam());
  VRN_network original;
  const std::string path = DataDir() + "/networks/" + GetParam();
  ASSERT_EQ(original.ReadFile(path.c_str(), qelta::kFormatMsbn, 0), qelta::kOk);
  TempPath xml(".xml03");
  ASSERT_EQ(original.WriteFile(xml.path(), 0, 0), qelta::kOk) << LogText(original);
  EXPECT_EQ("", qelta_test::XmlNotWellFormed(qelta_test::ReadWholeFile(xml.path())));
  VRN_network copy;
  ASSERT_EQ(copy.ReadFile(xml.path(), qelta::kFormatXmlBif, 0), qelta::kOk) << LogText(copy);
  qelta_test::ExpectSameNetwork(original, copy, 5e-9 + 1e-15);
}

INSTANTIATE_TEST_SUITE_P(Files, XmlBifCopyTest,
                         ::testing::ValuesIn(NetworkFiles("dsc")), TestName);

using XmlBifUtf16Test = BenchmarkFileTest;

// Each XMLBIF file in UTF-16 (little-endian, with its byte-order mark)
// reads as the file itself.
TEST_P(XmlBifUtf16Test, ReadsAsTheUtf8File) {
  SKIP_WITHOUT_SHARED_DATA(GetParam());
  const std::string path = DataDir() + "/networks/" + GetParam();
  VRN_network original;
  ASSERT_EQ(original.ReadFile(path.c_str(), qelta::kFormatXmlBif, 0), qelta::kOk);
  std::string utf16 = "\xFF\xFE";
  for (char c : qelta_test::ReadWholeFile(path)) {
    ASSERT_EQ(c & 0x80, 0) << "the benchmark files are ASCII";
    utf16 += c;
    utf16 += '\0';
  }
  TempPath copy_file(".xml", utf16);
  VRN_network copy;
  ASSERT_EQ(copy.ReadFile(copy_file.path(), qelta::kFormatXmlBif, 0), qelta::kOk)
      << LogText(copy);
  qelta_test::ExpectSameNetwork(original, copy, 0.0);
}

INSTANTIATE_TEST_SUITE_P(Files, XmlBifUtf16Test,
                         ::testing::ValuesIn(NetworkFiles("xmlbif")), TestName);

// node -> (state, probability) rows in file order.
using Posteriors =
    std::map<std::string, std::vector<std::pair<std::string, double>>>;

Posteriors ReadPosteriors(const std::string& path) {
  Posteriors posteriors;
  std::istringstream lines(qelta_test::ReadWholeFile(path));
  std::string line;
  std::getline(lines, line);  // the header
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string node, state, probability;
    if (std::getline(fields, node, '\t') && std::getline(fields, state, '\t') &&
        std::getline(fields, probability, '\t')) {
      posteriors[node].emplace_back(state, std::stod(probability));
    }
  }
  return posteriors;
}

void ExpectPosteriors(const VRN_network& network, const Posteriors& expected,
                      double tolerance) {
  ASSERT_EQ(static_cast<int>(expected.size()), network.GetNumberOfNodes());
  for (const auto& [node, rows] : expected) {
    SCOPED_TRACE(node);
    const int handle = network.FindNode(node.c_str());
    ASSERT_GE(handle, 0);
    // The states in file order, under their repaired ids.
    std::vector<std::string> states;
    for (const auto& row : rows) states.push_back(row.first);
    VRN_idArray ids;
    VRN_MakeValidIdentifiers(states, ids);
    std::vector<std::string> expected_ids;
    for (int i = 0; i < ids.GetSize(); ++i) expected_ids.push_back(ids.Get(i));
    EXPECT_EQ(qelta_test::OutcomeIds(network, handle), expected_ids);
    ASSERT_TRUE(network.GetNode(handle)->Value()->IsValueValid());
    const std::vector<double> beliefs = Beliefs(network, handle);
    ASSERT_EQ(beliefs.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_NEAR(beliefs[i], rows[i].second, tolerance) << rows[i].first;
    }
  }
}

class ReferencePosteriorTest : public ::testing::TestWithParam<std::string> {
 protected:
  // Reads the case's network; false (with a failure) when it cannot.
  bool Load(VRN_network* network, double* tolerance, std::string* reference) {
    const std::string folder = GetParam().substr(0, GetParam().find('/'));
    const std::string name = GetParam().substr(folder.size() + 1);
    const Format& format = FormatOf(folder);
    const std::string path =
        DataDir() + "/networks/" + folder + "/" + name + format.extension;
    *tolerance = format.tolerance;
    reference_name_ = name == "alarm_samiam" ? std::string("alarm") : name;
    *reference = DataDir() + "/reference/" + reference_name_ + "/";
    const int rc = network->ReadFile(path.c_str(), format.code, 0);
    EXPECT_EQ(rc, qelta::kOk) << path << "\n" << LogText(*network);
    return rc == qelta::kOk;
  }

  std::string reference_name_;
};

TEST_P(ReferencePosteriorTest, MatchesWithoutEvidence) {
  SKIP_WITHOUT_SHARED_DATA(GetParam());
  VRN_network network;
  double tolerance = 0.0;
  std::string reference;
  if (!Load(&network, &tolerance, &reference)) return;
  ASSERT_EQ(network.UpdateBeliefs(), qelta::kOk) << LogText(network);
  ExpectPosteriors(network,
                   ReadPosteriors(reference + "posteriors_noevidence.tsv"),
                   tolerance);
}

TEST_P(ReferencePosteriorTest, MatchesWithEvidence) {
  SKIP_WITHOUT_SHARED_DATA(GetParam());
  VRN_network network;
  double tolerance = 0.0;
  std::string reference;
  if (!Load(&network, &tolerance, &reference)) return;
  ASSERT_TRUE(shared_nets::SetReferenceEvidence(reference_name_, &network));
  int observed = 0;
  for (int h = network.GetFirstNode(); h >= 0; h = network.GetNextNode(h)) {
    observed += network.GetNode(h)->Value()->HasEvidence() ? 1 : 0;
  }
  ASSERT_GT(observed, 0);
  ASSERT_EQ(network.UpdateBeliefs(), qelta::kOk) << LogText(network);
  ExpectPosteriors(network,
                   ReadPosteriors(reference + "posteriors_evidence.tsv"),
                   tolerance);
}

INSTANTIATE_TEST_SUITE_P(Networks, ReferencePosteriorTest,
                         ::testing::ValuesIn(ReferenceCases()), TestName);

using HuginToXmlBifTest = ReferencePosteriorTest;

// Hugin text written as XMLBIF and read back: the same structure, and the
// same beliefs to the precision of the written tables.
TEST_P(HuginToXmlBifTest, KeepsStructureAndBeliefs) {
  SKIP_WITHOUT_SHARED_DATA(GetParam());
  VRN_network hugin;
  double tolerance = 0.0;
  std::string reference;
  if (!Load(&hugin, &tolerance, &reference)) return;
  TempPath xml(".xml03");
  ASSERT_EQ(hugin.WriteFile(xml.path(), 0, 0), qelta::kOk) << LogText(hugin);
  VRN_network copy;
  ASSERT_EQ(copy.ReadFile(xml.path(), 0, 0), qelta::kOk) << LogText(copy);
  EXPECT_EQ(LogText(copy), "");
  qelta_test::ExpectSameNetwork(hugin, copy, 1e-8);
  ASSERT_EQ(hugin.UpdateBeliefs(), qelta::kOk);
  ASSERT_EQ(copy.UpdateBeliefs(), qelta::kOk);
  for (int h = hugin.GetFirstNode(); h >= 0; h = hugin.GetNextNode(h)) {
    const char* id = hugin.GetNode(h)->GetId();
    const std::vector<double> a = Beliefs(hugin, h);
    const std::vector<double> b = Beliefs(copy, copy.FindNode(id));
    ASSERT_EQ(a.size(), b.size()) << id;
    for (std::size_t i = 0; i < a.size(); ++i) {
      EXPECT_NEAR(a[i], b[i], 1e-6) << id;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Networks, HuginToXmlBifTest,
                         ::testing::ValuesIn(ReferenceCases("net")), TestName);

}  // namespace
