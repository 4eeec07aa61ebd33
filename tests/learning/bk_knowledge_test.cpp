#include "learning/bk_knowledge.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "learning/dataset.h"

namespace {

using Pairs = std::vector<VRN_bkKnowledge::Pair>;

// Every file a test may leave is removed after each run of the tests, so
// that a repeated run starts without them and none stays behind.
class TempFiles : public ::testing::Environment {
 public:
  void TearDown() override {
    for (const std::string& path : paths) std::remove(path.c_str());
  }
  std::set<std::string> paths;
};
TempFiles* const g_temp_files =
    static_cast<TempFiles*>(::testing::AddGlobalTestEnvironment(new TempFiles));

std::string TempPath(const char* name) {
  const std::string path =
      ::testing::TempDir() + "qelta_bk_" + std::to_string(getpid()) + "_" + name;
  g_temp_files->paths.insert(path);
  return path;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int ReadText(VRN_bkKnowledge* record, const std::string& body, std::string* error,
             const char* version = "1.0") {
  const std::string path = TempPath("in.xml");
  std::ofstream(path) << "<?xml version=\"1.0\"?>\n<knowledge version=\"" << version << "\">\n"
                      << body << "</knowledge>\n";
  return record->ReadFile(path, error);
}

const char* const kTiers = "<tier index=\"0\" width=\"320\"/><tier index=\"1\" width=\"160\"/>\n";

TEST(BkKnowledgeTest, ReaderAbortsWithItsMessages) {
  const struct {
    std::string body;
    const char* version;
    const char* error;
  } cases[] = {
      {kTiers, "1.1", "Error at 2, 0: Invalid version attribute '1.1', expected '1.0'"},
      {kTiers, "abc", "Error at 2, 0: Invalid version attribute 'abc', expected '1.0'"},
      {"<tier index=\"-1\" width=\"5\"/>", "1", "Error at 3, 0: Invalid tier index"},
      {"<tier index=\"70000\" width=\"5\"/>", "1", "Error at 3, 0: Invalid tier index"},
      {"<tier index=\"0\" width=\"0\"/>", "1", "Error at 3, 0: Invalid tier width"},
      {std::string(kTiers) + "<variable id=\"a\" tier=\"2\" position=\"1 2 3 4\"/>", "1",
       "Error at 4, 0: Invalid tier index specified for 'a'"},
      {std::string(kTiers) + "<variable id=\"a\" position=\"1 2 3\"/>", "1",
       "Error at 4, 0: Invalid variable position specified for 'a'"},
      {std::string(kTiers) + "<variable id=\"a\" position=\"1 2 3 99999999999\"/>", "1",
       "Error at 4, 0: Invalid variable position specified for 'a'"},
      {std::string(kTiers) + "<variable id=\"a\" position=\"1 2 3 4\"/><variable id=\"a\" position=\"1 2 3 4\"/>",
       "1", "Error at 4, 37: Duplicated variable id: 'a'"},
      {std::string(kTiers) + "<variable id=\"a\" position=\"1 2 3 4\"/><force from=\"a\" to=\" b\"/>", "1",
       "Error at 4, 37: Invalid arc: 'a' -> ' b'"},
  };
  for (const auto& c : cases) {
    VRN_bkKnowledge record;
    record.forcedArcs = {{7, 8}};
    std::string error;
    EXPECT_EQ(ReadText(&record, c.body, &error, c.version), -103) << c.body;
    EXPECT_EQ(error, c.error) << c.body;
    EXPECT_EQ(record.forcedArcs, (Pairs{{7, 8}})) << "a failed read changes nothing";
  }
  VRN_bkKnowledge record;
  std::string error;
  EXPECT_EQ(record.ReadFile("/nonexistent/k.xml", &error), -103);
  EXPECT_EQ(error, "Error at 0, 0: Can't open file /nonexistent/k.xml");
}

TEST(BkKnowledgeTest, ReadsVariablesTiersAndArcs) {
  VRN_bkKnowledge record;
  std::string error;
  ASSERT_EQ(ReadText(&record,
                     std::string(kTiers) +
                         "<variable id=\"a\" position=\"1 2 3 4 5\"><comment>x\\ty</comment></variable>"
                         "<variable id=\"b\" tier=\"1\" position=\"5 6 7 8\"/>"
                         "<forbid from=\"b\" to=\"a\"><comment>why</comment></forbid><unknown/>",
                     &error, "1.00"),
            0)
      << error;
  ASSERT_EQ(record.variables.size(), 2u);
  EXPECT_EQ(record.variables[0].position, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(record.variables[0].comment, "x\ty");
  EXPECT_EQ(record.tiers, (Pairs{{1, 1}}));
  EXPECT_EQ(record.GetTier(0), 0);
  EXPECT_EQ(record.forbiddenArcs, (Pairs{{1, 0}}));
  EXPECT_EQ(record.arcComments.at({1, 0}), "why");
}

TEST(BkKnowledgeTest, WriterCompletesTheRecord) {
  const std::string path = TempPath("out.xml");
  VRN_bkKnowledge empty;
  ASSERT_EQ(empty.WriteFile(path, nullptr), 0);
  EXPECT_EQ(Slurp(path),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<knowledge version=\"1.0\">\n"
            "\t<tier index=\"0\" width=\"320\" />\n\t<tier index=\"1\" width=\"160\" />\n"
            "</knowledge>\n");
  std::string error;
  ASSERT_EQ(empty.ReadFile(path, &error), 0) << error;

  VRN_bkKnowledge gap;  // a file that declared tier 1 only
  gap.tierWidths = {0, 200};
  ASSERT_EQ(gap.WriteFile(path, nullptr), 0);
  EXPECT_EQ(gap.tierWidths, (std::vector<int>{320, 200}));
  ASSERT_EQ(gap.ReadFile(path, &error), 0) << error;

  VRN_bkKnowledge record;
  record.forcedArcs = {{0, 2}};
  ASSERT_EQ(record.WriteFile(path, nullptr), 0);
  ASSERT_EQ(record.variables.size(), 3u);
  EXPECT_EQ(record.variables[2].id, "var2");
  EXPECT_EQ(record.variables[1].position, (std::vector<int>{10, 56, 82, 92}));
  EXPECT_NE(Slurp(path).find("<force from=\"var0\" to=\"var2\" />"), std::string::npos);

  for (const Pairs& tiers : {Pairs{{0, -1}}, Pairs{{0, 65536}}}) {
    VRN_bkKnowledge refused;
    refused.tiers = tiers;
    EXPECT_EQ(refused.WriteFile(TempPath("never.xml"), &error), -103);
    EXPECT_EQ(error.rfind("Invalid tier ", 0), 0u) << error;
  }
  VRN_bkKnowledge stranger;
  stranger.variables.resize(1);
  stranger.forcedArcs = {{0, 1}};  // an arc given before its variables
  EXPECT_EQ(stranger.WriteFile(TempPath("never.xml"), &error), -103);
  EXPECT_EQ(error, "Invalid variable index in arc 0 -> 1");
  EXPECT_FALSE(std::ifstream(TempPath("never.xml")).good());
}

TEST(BkKnowledgeTest, WriteReadWriteIsByteIdentical) {
  VRN_bkKnowledge record;
  record.variables = {{"a", "back\\slash\tTAB\nLF <tag> & more", {1, 2, 3, 4}},
                      {"b", "", {}},
                      {"c", "", {}}};
  record.tierWidths = {300, 200, 100};
  record.tiers = {{1, 2}, {2, 2}};
  record.forcedArcs = {{0, 1}};
  record.forbiddenArcs = {{2, 0}, {1, 0}};
  record.arcComments[{0, 1}] = "forced \\ because";
  record.arcComments[{2, 0}] = "";
  const std::string first = TempPath("first.xml");
  const std::string second = TempPath("second.xml");
  ASSERT_EQ(record.WriteFile(first, nullptr), 0);
  EXPECT_EQ(record.variables[2].position, (std::vector<int>{10, 56, 82, 92}));
  VRN_bkKnowledge back;
  std::string error;
  ASSERT_EQ(back.ReadFile(first, &error), 0) << error;
  EXPECT_EQ(back.variables[0].comment, record.variables[0].comment);
  EXPECT_EQ(back.arcComments, record.arcComments);
  ASSERT_EQ(back.WriteFile(second, nullptr), 0);
  EXPECT_EQ(Slurp(first), Slurp(second));
}

// What would read back as other identifiers or comments is refused before
// the file exists; a control byte in a comment becomes "." as in any text.
TEST(BkKnowledgeTest, WriterRefusesWhatWouldNotReadBack) {
  const std::string path = TempPath("refused.xml"), bytes = "holds bytes that are not UTF-8, ";
  std::remove(path.c_str());  // the refusals below leave an existing file alone
  const std::string id =
      "') cannot be written: its identifier " + bytes + "a character XML does not allow or a control byte";
  std::string error;
  const struct {
    std::vector<VRN_bkVariable> variables;
    std::string error;
  } cases[] = {
      {{{"x\xEF\xBF\xBE", "", {}}, {"x\xEF\xBF\xBF", "", {}}}, "Variable 0 ('x\xEF\xBF\xBE" + id},
      {{{"a", "", {}}, {"a\x01", "", {}}, {"a\x02", "", {}}}, "Variable 1 ('a\x01" + id},
      {{{"a", "", {}}, {"a", "", {}}},
       "Variable 1 ('a') cannot be written: an earlier variable has its identifier"},
      {{{"a", "bad \xFF", {}}},
       "Variable 0 ('a') cannot be written: its comment " + bytes + "or a character XML does not allow"},
  };
  for (const auto& c : cases) {
    VRN_bkKnowledge record;
    record.variables = c.variables;
    EXPECT_EQ(record.WriteFile(path, &error), -103);
    EXPECT_EQ(error, c.error);
    EXPECT_FALSE(std::ifstream(path).good());
  }
  VRN_bkKnowledge record;
  record.variables = {{"a", "tab\there, bell\x07", {}}, {"b", "", {}}};
  record.forcedArcs = {{0, 1}};
  record.arcComments[{0, 1}] = "U+FFFE \xEF\xBF\xBE";
  EXPECT_EQ(record.WriteFile(path, &error), -103);
  EXPECT_EQ(error, "The comment of arc 0 -> 1 cannot be written: it " + bytes +
                       "or a character XML does not allow");
  record.arcComments[{0, 1}] = "fine";
  ASSERT_EQ(record.WriteFile(path, &error), 0) << error;
  VRN_bkKnowledge back;
  ASSERT_EQ(back.ReadFile(path, &error), 0) << error;
  EXPECT_EQ(back.variables[0].comment, "tab\there, bell.");
}

TEST(BkKnowledgeTest, MatchDataMovesToColumns) {
  VRN_dataset data;
  ASSERT_EQ(data.addIntVariable("z", -1), 0);
  ASSERT_EQ(data.addIntVariable("c", -1), 0);
  ASSERT_EQ(data.addIntVariable("a", -1), 0);
  VRN_bkKnowledge record;
  record.variables = {{"a", "", {}}, {"b", "", {}}, {"c", "", {}}};
  record.forcedArcs = {{0, 2}, {0, 1}};
  record.forbiddenArcs = {{1, 2}, {2, 0}};
  record.tiers = {{1, 3}, {2, 4}};
  std::string error;
  ASSERT_EQ(record.MatchData(data, &error), 0);
  EXPECT_EQ(record.forcedArcs, (Pairs{{2, 1}}));
  EXPECT_EQ(record.forbiddenArcs, (Pairs{{1, 2}}));
  EXPECT_EQ(record.tiers, (Pairs{{1, 4}}));

  VRN_dataset other;
  ASSERT_EQ(other.addIntVariable("q", -1), 0);
  EXPECT_EQ(record.MatchData(other, &error), -2);
  EXPECT_EQ(error, "MatchData: there are no matches between dataset and background knowledge.");
  VRN_bkKnowledge fresh;
  ASSERT_EQ(fresh.MatchData(data, &error), 0);
  ASSERT_EQ(fresh.variables.size(), 3u);
  EXPECT_EQ(fresh.variables[1].id, "c");
}

}  // namespace
