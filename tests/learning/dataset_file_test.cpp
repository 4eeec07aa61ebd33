#include <gtest/gtest.h>

#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "learning/dataset.h"
#include "learning/discretizer.h"

namespace {

// The files the tests write go after each run of them.
struct TempFiles : ::testing::Environment {
  void TearDown() override {
    for (const std::string& path : paths) std::remove(path.c_str());
  }
  std::set<std::string> paths;
};
TempFiles* const g_temp_files =
    static_cast<TempFiles*>(::testing::AddGlobalTestEnvironment(new TempFiles));

std::string TempPath(const char* name) {
  return *g_temp_files->paths.insert(::testing::TempDir() + "qelta_dataset_" +
                                     std::to_string(getpid()) + "_" + name)
              .first;
}

std::string WriteText(const std::string& text) {
  const std::string path = TempPath("in.txt");
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Reads text with the defaults (or without ids); the status and the error.
int ReadText(VRN_dataset* data, const std::string& text, std::string* error,
             bool ids = true) {
  VRN_datasetReadOptions options;
  options.columnIdsPresent = ids;
  return data->ReadFile(WriteText(text), &options, error);
}

std::vector<std::string> Cells(const VRN_dataset& data, int v) {
  std::vector<std::string> cells;
  const VRN_datasetVariable& var = data.GetVariable(v);
  for (int r = 0; r < data.GetRecordCount(); ++r) {
    if (data.IsMissing(v, r)) {
      cells.push_back("<missing>");
    } else if (!var.discrete) {
      cells.push_back(std::to_string(data.GetFloat(v, r)));
    } else if (static_cast<std::size_t>(data.GetInt(v, r)) < var.stateNames.size()) {
      cells.push_back(var.stateNames[static_cast<std::size_t>(data.GetInt(v, r))]);
    } else {
      cells.push_back(std::to_string(data.GetInt(v, r)));
    }
  }
  return cells;
}

TEST(DatasetFileTest, RefusesBrokenFilesWithTheirMessage) {
  const struct {
    std::string text;
    const char* error;
  } cases[] = {
      {"", "Can't read first line of file"},
      {"\n1\n", "The header line is empty"},
      {"a,b,\n1,2,3\n", "Trailing separator found in the header line"},
      {"a,,b\n", "Column name 2 is empty"},
      {"a,a\n", "Duplicated column name: a"},
      {"a,b\n1,2,3\n", "Line 2: expected 2 columns of data but found 3"},
      {"a,b\n1,2\n\n3,4\n", "Line 3: expected 2 columns of data but found 1"},
      {"a,b\n\"x\"y,1\n", "Unexpected character in the quoted string"},
      {"a,b\n1,\"x\n", "Unexpected endline in the quoted string"},
      {std::string(129, 'a') + "\n", "First line has more than 128 characters and no separators were found"},
      {"a\n1\n1e39\n", "Line 3: number out of range in column 1"},
      {"a,b\n2,1e400\n", "Line 2: number out of range in column 2"},
      {std::string("a\n1\0\n", 5), "The data file holds a NUL byte"},
  };
  for (const auto& c : cases) {
    VRN_dataset data;
    ASSERT_EQ(data.addIntVariable("kept", -1), 0);
    std::string error;
    EXPECT_EQ(ReadText(&data, c.text, &error), -103) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
    EXPECT_EQ(data.GetVariableCount(), 1) << "a failed read changes nothing";
  }
  VRN_dataset data;
  std::string error;
  EXPECT_EQ(data.ReadFile("/nonexistent/x.csv", nullptr, &error), -103);
  EXPECT_EQ(error, "Can't open data file: /nonexistent/x.csv");
}

TEST(DatasetFileTest, ColumnKindsFollowTheValues) {
  const struct {
    std::string text;
    std::vector<std::vector<std::string>> columns;
    std::vector<bool> discrete;
  } cases[] = {
      {"a,b\n1,2\n3,*\n", {{"1", "3"}, {"2", "<missing>"}}, {true, true}},
      {"v\n1\n2.5\n3\n", {{"1.000000", "2.500000", "3.000000"}}, {false}},
      {"v\n1\nx\n2\n", {{"1", "x", "2"}}, {true}},
      {"v\n3 \n", {{"3"}}, {true}},
      {"v\n3 a\n", {{"3 a"}}, {true}},
      {"v\n2.30\n-7\nx\n", {{"2.30", "-7", "x"}}, {true}},  // field text kept
      {"v\n3000000000\n", {{"3000000000.000000"}}, {false}},
      {"a;b,c\n1;2,3\n", {{"1;2"}, {"3"}}, {true, true}},
      {"a,b\n1,2\n\n\r\n", {{"1"}, {"2"}}, {true, true}},  // trailing blanks
      {"a\n1\n\n2", {{"1", "<missing>", "2"}}, {true}},
      // CR alone ends a line as LF and CR LF do, also mixed in one file.
      {"a,b\rx,y\ry,x\rx,x\r", {{"x", "y", "x"}, {"y", "x", "x"}}, {true, true}},
      {"a,b\r1,2\n3,4\r\n5,6\r\r\n\r", {{"1", "3", "5"}, {"2", "4", "6"}}, {true, true}},
      {"a\r1\r\r2", {{"1", "<missing>", "2"}}, {true}},
      {"a\tb\n\"*\"\t  x\n*\t\"\"\n", {{"*", "<missing>"}, {"x", "<missing>"}}, {true, true}},
      // A point or an exponent says real number; hexadecimal 'e' is a digit.
      {"a,b,c\n1.0,2,0xe\n2,1e0,3\n", {{"1.000000", "2.000000"}, {"2.000000", "1.000000"}, {"14", "3"}},
       {false, false, true}},
      // A literal -1 is a value once its column turns float; "*" stays missing.
      {"a,b,c\n-1,*,-1\n2.5,2.5,2\n", {{"-1.000000", "2.500000"}, {"<missing>", "2.500000"}, {"<missing>", "2"}},
       {false, false, true}},
  };
  for (const auto& c : cases) {
    VRN_dataset data;
    std::string error;
    ASSERT_EQ(ReadText(&data, c.text, &error), 0) << c.text << error;
    ASSERT_EQ(data.GetVariableCount(), static_cast<int>(c.columns.size())) << c.text;
    for (int v = 0; v < data.GetVariableCount(); ++v) {
      EXPECT_EQ(Cells(data, v), c.columns[static_cast<std::size_t>(v)]) << c.text;
      EXPECT_EQ(data.GetVariable(v).discrete, c.discrete[static_cast<std::size_t>(v)]) << c.text;
    }
  }
  VRN_dataset data;
  std::string error;
  ASSERT_EQ(ReadText(&data, "v\n1\nx\n2\n", &error), 0);
  EXPECT_EQ(data.GetVariable(0).stateNames, (std::vector<std::string>{"1", "2", "x"}));
  EXPECT_EQ(data.GetInt(0, 0), 0);
  EXPECT_EQ(data.GetInt(0, 1), 2);
  EXPECT_EQ(data.GetInt(0, 2), 1);
  ASSERT_EQ(ReadText(&data, "1,2\n3,4\n", &error, false), 0);
  EXPECT_EQ(data.GetVariable(0).id, "");
  EXPECT_EQ(data.GetRecordCount(), 2);
  EXPECT_EQ(ReadText(&data, "1,\n", &error, false), -103);
  EXPECT_EQ(error, "Trailing separator found in the header line");
  // A quoted field cannot hide a CR line end.
  EXPECT_EQ(ReadText(&data, "a\r\"x\ry\"\r", &error), -103);
  EXPECT_EQ(error, "Unexpected endline in the quoted string");
}

TEST(DatasetFileTest, AwkwardFilesReadBackTheirValues) {
  const std::string dir = std::string(QELTA_TEST_DATA) + "/learning/";
  for (const char* locale : {"C", "de_DE.UTF-8"}) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, locale) == nullptr) {
      GTEST_SKIP() << "locale " << locale << " is not installed";
    }
    VRN_dataset data;
    std::string error;
    ASSERT_EQ(data.ReadFile(dir + "mixed_crlf.csv", nullptr, &error), 0) << error;
    EXPECT_EQ(Cells(data, 0), (std::vector<std::string>{"1", "2", "<missing>", "4"}));
    EXPECT_EQ(Cells(data, 1), (std::vector<std::string>{"a,b", "say \"hi\"", "lead", "x"}));
    EXPECT_FALSE(data.GetVariable(2).discrete);
    EXPECT_EQ(data.GetFloat(2, 0), 2.5f);
    EXPECT_EQ(data.GetFloat(2, 2), -0.125f);
    EXPECT_TRUE(data.IsMissing(2, 1));
    EXPECT_EQ(data.GetVariable(3).stateNames,
              (std::vector<std::string>{"Z\xc3\xbcrich", "plain", "\xe6\x97\xa5\xe6\x9c\xac"}));
    std::setlocale(LC_ALL, saved.c_str());

    ASSERT_EQ(data.ReadFile(dir + "quoted_all_lf.tsv", nullptr, &error), 0) << error;
    EXPECT_EQ(Cells(data, 0), (std::vector<std::string>{"*", "x\ty", "<missing>"}));
    EXPECT_EQ(Cells(data, 1), (std::vector<std::string>{"1", "2", "3"}));
    ASSERT_EQ(data.ReadFile(dir + "long_line.csv", nullptr, &error), 0) << error;
    EXPECT_EQ(data.GetVariable(0).stateNames[0], std::string(100000, 'v'));
    EXPECT_EQ(data.GetVariable(0).stateNames[1], std::string(1 << 20, 'y'));
    EXPECT_EQ(data.ReadFile(dir + "quoted_newline.csv", nullptr, &error), -103);
    EXPECT_EQ(error, "Unexpected endline in the quoted string");
  }
}

TEST(DatasetFileTest, WriterRefusesWhatWouldNotReadBack) {
  VRN_dataset data;
  ASSERT_EQ(data.addIntVariable("a", -1), 0);
  data.AddEmptyRecord();
  data.SetInt(0, 0, 0);
  const std::string path = TempPath("refused.txt");
  std::remove(path.c_str());
  std::string error;
  for (const std::vector<std::string>& names :
       {std::vector<std::string>{""}, std::vector<std::string>{"x\ny"}}) {
    ASSERT_EQ(data.setStateNames(0, names), 0);
    EXPECT_EQ(data.WriteFile(path, nullptr, &error), -103);
    EXPECT_EQ(error, "State 0 of variable 'a' is empty or holds a line break");
    EXPECT_FALSE(std::ifstream(path).good()) << "no file before the refusal";
  }
  // The reader would take these for numbers and drop the names.
  for (const auto& [names, message] :
       {std::pair{std::vector<std::string>{"nan", "inf"}, "State 'nan'"},
        std::pair{std::vector<std::string>{"b", " 2 "}, "State ' 2 '"},
        std::pair{std::vector<std::string>{"0x1p3"}, "State '0x1p3'"}}) {
    ASSERT_EQ(data.setStateNames(0, names), 0);
    EXPECT_EQ(data.WriteFile(path, nullptr, &error), -103);
    EXPECT_EQ(error, std::string(message) + " of variable 'a' would read back as a number");
    EXPECT_FALSE(std::ifstream(path).good()) << "no file before the refusal";
  }
  ASSERT_EQ(data.setStateNames(0, {"lo", "hi", "lo"}), 0);
  EXPECT_EQ(data.WriteFile(path, nullptr, &error), -103);
  EXPECT_EQ(error, "State 'lo' of variable 'a' is named twice and would read back as one state");
  ASSERT_EQ(data.setStateNames(0, {std::string("a\0b", 3), "c"}), 0);
  EXPECT_EQ(data.WriteFile(path, nullptr, &error), -103);
  EXPECT_EQ(error, "State 0 of variable 'a' holds a NUL byte");
  ASSERT_EQ(data.setStateNames(0, {"ok"}), 0);
  VRN_datasetWriteOptions options;
  options.separator = '"';
  EXPECT_EQ(data.WriteFile(path, &options, &error), -103);
  EXPECT_EQ(error, "Invalid separator character");
  // Formats printf would read another argument for, or none, are refused
  // before any number is written.
  options.separator = '\t';
  for (const char* format : {"%s", "%*g", "%d", "%Lg", "%g %e", "text", "%.999999999f"}) {
    options.floatFormat = format;
    EXPECT_EQ(data.WriteFile(path, &options, &error), -103);
    EXPECT_EQ(error, std::string("Invalid float format: ") + format);
  }
  EXPECT_FALSE(std::ifstream(path).good()) << "no file before the refusal";
  EXPECT_EQ(data.WriteFile("/nonexistent/out.txt", nullptr, &error), -103);
  EXPECT_EQ(error, "Can't open data file: /nonexistent/out.txt");
  if (std::ifstream("/dev/full").good()) {
    EXPECT_EQ(data.WriteFile("/dev/full", nullptr, &error), -103);
    EXPECT_EQ(error, "Error writing data file: /dev/full");
  }
}

TEST(DatasetFileTest, WritesTheDefaultLayout) {
  VRN_dataset data;
  ASSERT_EQ(data.addIntVariable("n", -1), 0);
  ASSERT_EQ(data.addFloatVariable("f", std::numeric_limits<float>::quiet_NaN()), 0);
  ASSERT_EQ(data.addIntVariable("t", -1), 0);
  ASSERT_EQ(data.setStateNames(2, {"a\tb", "*", "q\"r"}), 0);
  for (int r = 0; r < 3; ++r) data.AddEmptyRecord();
  data.SetInt(0, 0, 4);
  data.SetFloat(1, 0, 0.1f);
  data.SetFloat(1, 1, 3.4028235e38f);
  data.SetInt(2, 0, 0);
  data.SetInt(2, 1, 1);
  data.SetInt(2, 2, 2);
  const std::string path = TempPath("layout.txt");
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  const bool comma = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;  // decimal comma
  VRN_datasetWriteOptions fixed;
  fixed.floatFormat = "%.2f";
  ASSERT_EQ(data.WriteFile(path, &fixed, nullptr), 0);
  EXPECT_EQ(Slurp(path).substr(0, 12), "n\tf\tt\n4\t0.10") << comma;
  ASSERT_EQ(data.WriteFile(path, nullptr, nullptr), 0);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(Slurp(path), "n\tf\tt\n4\t0.1\t\"a\tb\"\n*\t3.4028235e+38\t\"*\"\n*\t*\t\"q\"\"r\"\n");
}

TEST(DatasetFileTest, EmptyTokenKeepsTrailingMissingRecords) {
  VRN_dataset data;
  std::string error;
  VRN_datasetReadOptions read;
  read.missingValueToken = "";
  ASSERT_EQ(data.ReadFile(WriteText("v\n21\n \n\n"), &read, &error), 0) << error;
  ASSERT_EQ(data.GetRecordCount(), 2);
  VRN_datasetWriteOptions write;
  write.missingValueToken = "";
  const std::string path = TempPath("empty_token.txt");
  ASSERT_EQ(data.WriteFile(path, &write, &error), 0) << error;
  EXPECT_EQ(Slurp(path), "v\n21\n\"\"\n");
  VRN_dataset back;
  ASSERT_EQ(back.ReadFile(path, &read, &error), 0) << error;
  EXPECT_EQ(back.GetRecordCount(), 2);
  EXPECT_TRUE(back.IsMissing(0, 1));
}

// First lines the reader would refuse or split elsewhere are refused, naming
// the cell. (The random round trip below reaches them, and the quoted empty
// last cell of a first line, but not the messages.)
TEST(DatasetFileTest, FirstLinesReadBackOrAreRefused) {
  VRN_dataset data;
  ASSERT_EQ(data.addIntVariable(std::string(200, 'i'), -1), 0);
  ASSERT_EQ(data.setStateNames(0, {std::string(150, 'n'), "t\tu"}), 0);
  data.AddEmptyRecord();
  data.SetInt(0, 0, 0);
  const std::string path = TempPath("first.txt");
  std::string error;
  VRN_datasetWriteOptions write;
  for (const char* message : {"Id of variable 0 ('iii", "Record 0 of variable 0 ('iii", "holds a character"}) {
    if (message[0] == 'R') write.columnIdsPresent = false;
    if (message[0] == 'h') {
      data.SetInt(0, 0, 1);
      ASSERT_EQ(data.addIntVariable("w", -1), 0);
      write.separator = ',';
    }
    EXPECT_EQ(data.WriteFile(path, &write, &error), -103);
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }
}

// A column comes back with the states its cells name, in bytewise order.
TEST(DatasetFileTest, DiscreteColumnsKeepTheStatesTheirCellsName) {
  VRN_dataset data, back;
  ASSERT_EQ(data.addIntVariable("v", -1), 0);
  ASSERT_EQ(data.setStateNames(0, {"ok", "2a", "n/a"}), 0);
  for (int r = 0; r < 3; ++r) data.AddEmptyRecord();
  for (int r : {0, 1}) data.SetInt(0, r, 2);
  const std::string path = TempPath("states.txt");
  ASSERT_EQ(data.WriteFile(path, nullptr, nullptr), 0);
  ASSERT_EQ(back.ReadFile(path, nullptr, nullptr), 0);
  EXPECT_EQ(Cells(back, 0), (std::vector<std::string>{"n/a", "n/a", "<missing>"}));
  EXPECT_EQ(back.GetVariable(0).stateNames, std::vector<std::string>{"n/a"});
}

// Random data sets written with random options (each separator the reader
// detects, tokens the empty one included, ids on and off, the exact float
// format or another) hold long ids and names, awkward names that may stand
// in the first line, -1 cells that are values and whole or special floats.
// Every write that answers 0 reads back with the same token and ids to the
// same cells: continuous ones bit for bit (with a caller's format, as the
// whole text it makes reads) and continuous, discrete ones by state name; a
// refusal leaves no file. Some ids and names hold a NUL byte, some formats
// make long texts or texts that are no number. QELTA_DATASET_ROUNDS and
// QELTA_DATASET_SEED run a longer campaign.
TEST(DatasetFileTest, RandomDataSetsSurviveWriteAndRead) {
  const char* seed = std::getenv("QELTA_DATASET_SEED");
  const char* rounds = std::getenv("QELTA_DATASET_ROUNDS");
  std::mt19937 random(seed != nullptr ? static_cast<unsigned>(std::stoul(seed)) : 26u);
  const int round_count = rounds != nullptr ? std::stoi(rounds) : 400;
  auto pick = [&random](const std::vector<std::string>& from) { return from[random() % from.size()]; };
  const std::vector<std::string> awkward = {"*", " lead", "a\"b", "x,y", "t\tu", "s;c", "sp ace",
                                            "\xe6\x97\xa5", "q", "\"", "q ", "-", std::string(140, 'l')};
  const std::vector<std::string> tokens = {"*", "*", "", "", "?", "-1", "n a", "1.0", "x;y"};
  const float special[] = {1e-45f, 1.17e-38f, 3.4028235e38f, -2.5f, 0.1f, 7.0f, -1.0f, 0.0f, -0.0f, 16777216.0f};
  const std::string nul("n\0l", 3);
  const std::vector<std::string> formats = {"%.9g", "%.9g", "%70.1f", "%070.1f", "%-66.3e",
                                            "%.40f", "%.2e", "%g%%", "x%g"};
  // The float a whole text reads as; NaN when it is no number throughout.
  auto as_read = [](const std::string& format, float value) {
    char text[512];
    std::snprintf(text, sizeof text, format.c_str(), static_cast<double>(value));
    char* end = nullptr;
    const float back = std::strtof(text, &end);
    return end != text && std::strspn(end, " ") == std::strlen(end) ? back : NAN;
  };
  const std::string path = TempPath("round.txt");
  int written = 0;
  for (int round = 0; round < round_count; ++round) {
    VRN_datasetWriteOptions options;
    options.separator = "\t,; "[random() % 4];
    options.missingValueToken = pick(tokens);
    options.columnIdsPresent = random() % 3 != 0;
    if (random() % 4 == 0) options.floatFormat = pick(formats);
    VRN_dataset data;
    const int columns = 1 + static_cast<int>(random() % 4);
    const int records = static_cast<int>(random() % 25);
    std::vector<int> kinds;
    for (int c = 0; c < columns; ++c) {
      kinds.push_back(static_cast<int>(random() % 3));
      const int variety = static_cast<int>(random() % 8);
      const std::string id = (variety == 0 ? std::string(200, 'i') : variety == 1 ? pick(awkward) : variety == 2 && random() % 3 == 0 ? nul : "c") +
                             std::to_string(c);
      const int missing_int = random() % 4 == 0 ? -7 : -1;  // -1 cells then are values
      if (kinds.back() == 1) {
        ASSERT_EQ(data.addFloatVariable(id, random() % 6 == 0 ? 0.0f : NAN), 0);
      } else {
        ASSERT_EQ(data.addIntVariable(id, missing_int), 0);
      }
      if (kinds.back() == 2) {
        std::vector<std::string> names = awkward;
        for (int extra = 0; extra < 3; ++extra) names.push_back("q" + std::to_string(random() % 1000) + "_" + std::to_string(extra));
        if (random() % 12 == 0) names.push_back(nul);
        ASSERT_EQ(data.setStateNames(c, names), 0);
      }
    }
    for (int r = 0; r < records; ++r) {
      data.AddEmptyRecord();
      for (int c = 0; c < columns; ++c) {
        if (random() % 5 == 0) continue;  // missing
        const int kind = kinds[static_cast<std::size_t>(c)];
        if (kind == 1) {
          float value = random() % 40 == 0 ? NAN : special[random() % 10];
          if (random() % 2) {
            const std::uint32_t bits = static_cast<std::uint32_t>(random()) & 0x7F7FFFFFu;
            std::memcpy(&value, &bits, sizeof value);  // finite, any magnitude
            if (random() % 2) value = std::trunc(value);
          }
          data.SetFloat(c, r, value);
        } else if (random() % 30 == 0) {
          data.SetInt(c, r, -1);
        } else if (kind == 0) {
          data.SetInt(c, r, static_cast<int>(random() % 2000) - 900 + (random() % 2 ? 0 : 1000000000));
        } else {
          data.SetInt(c, r, static_cast<int>(random() % data.GetVariable(c).stateNames.size()));
        }
      }
    }
    std::string error;
    std::remove(path.c_str());
    if (data.WriteFile(path, &options, &error) != 0) {
      ASSERT_FALSE(error.empty());
      ASSERT_FALSE(std::ifstream(path).good()) << error;
      continue;
    }
    ++written;
    VRN_datasetReadOptions read;
    read.missingValueToken = options.missingValueToken;
    read.columnIdsPresent = options.columnIdsPresent;
    VRN_dataset back;
    ASSERT_EQ(back.ReadFile(path, &read, &error), 0) << error << "\n" << Slurp(path);
    ASSERT_EQ(back.GetVariableCount(), columns);
    ASSERT_EQ(back.GetRecordCount(), records) << Slurp(path);
    for (int c = 0; c < columns; ++c) {
      const bool continuous = kinds[static_cast<std::size_t>(c)] == 1;
      if (options.columnIdsPresent) {
        EXPECT_EQ(back.GetVariable(c).id, data.GetVariable(c).id);
      }
      for (int r = 0; r < records; ++r) {
        ASSERT_EQ(back.IsMissing(c, r), data.IsMissing(c, r)) << c << " " << r << "\n" << Slurp(path);
        if (data.IsMissing(c, r)) continue;
        ASSERT_EQ(back.GetVariable(c).discrete, !continuous) << c << "\n" << Slurp(path);
        if (continuous) {
          const float wrote = options.floatFormat == "%g" ? data.GetFloat(c, r)
                                                           : as_read(options.floatFormat, data.GetFloat(c, r));
          const float read_back = back.GetFloat(c, r);
          EXPECT_EQ(std::memcmp(&wrote, &read_back, sizeof wrote), 0) << wrote << " " << read_back;
        } else {
          EXPECT_EQ(Cells(back, c)[static_cast<std::size_t>(r)], Cells(data, c)[static_cast<std::size_t>(r)]);
        }
      }
    }
  }
  EXPECT_GT(written, round_count / 2) << "most data sets can be written";
}

TEST(DatasetTest, VariablesRecordsAndMissingValues) {
  VRN_dataset data;
  EXPECT_EQ(data.GetRecordCount(), 0);
  ASSERT_EQ(data.addIntVariable("a", -1), 0);
  EXPECT_EQ(data.GetNumberOfRecords(), 0);
  EXPECT_EQ(data.addIntVariable("a", -1), -32);
  EXPECT_EQ(data.addIntVariable("", -1), 0);
  EXPECT_EQ(data.addIntVariable("", -1), 0);  // empty ids may repeat
  data.AddEmptyRecord();
  data.AddEmptyRecord();
  ASSERT_EQ(data.SetRecordIndex({1}), 0);
  // A new variable fills every stored record, index or not.
  ASSERT_EQ(data.addFloatVariable("f", std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(data.GetNumberOfRecords(), 2);
  EXPECT_EQ(data.GetRecordCount(), 1);
  EXPECT_TRUE(data.IsMissing(3, 0));
  data.AddEmptyRecord();  // drops the index
  EXPECT_FALSE(data.HasRecordIndex());
  EXPECT_EQ(data.GetRecordCount(), 3);
  EXPECT_EQ(data.SetRecordIndex({0, 3}), -2);  // beyond the stored records

  data.SetFloat(3, 0, std::numeric_limits<float>::infinity());
  EXPECT_TRUE(data.IsMissing(3, 0));  // NaN marker: every non-finite value
  ASSERT_EQ(data.addFloatVariable("z", 0.0f), 0);
  data.SetFloat(4, 1, std::numeric_limits<float>::quiet_NaN());
  EXPECT_FALSE(data.IsMissing(4, 1));  // finite marker: only equal cells
  EXPECT_TRUE(data.IsMissing(4, 0));

  data.SetInt(0, 1, 5);
  EXPECT_TRUE(data.HasMissingValues(0));
  EXPECT_TRUE(data.IsConstant(0));
  data.SetInt(0, 2, 6);
  EXPECT_FALSE(data.IsConstant(0));
  EXPECT_EQ(data.SetVariableId(0, "a"), 0);
  EXPECT_EQ(data.SetVariableId(0, "f"), -32);
  EXPECT_EQ(data.SetVariableId(9, "q"), -2);
  EXPECT_EQ(data.setStateNames(3, {"x"}), -4);
  EXPECT_TRUE(data.GetVariable(3).stateNames.empty());

  VRN_dataset copy = data;  // deep
  copy.SetInt(0, 1, 7);
  EXPECT_EQ(data.GetInt(0, 1), 5);
}

TEST(DiscretizerTest, EdgesAndBinsOfEachMethod) {
  const std::vector<int> zero_to_nine = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  const std::vector<int> spread = {1, 2, 3, 10};
  const struct {
    const std::vector<int>* values;
    int method;
    int bins;
    std::vector<double> edges;
    std::vector<int> bin_of;
  } cases[] = {
      {&spread, 0, 2, {6.5}, {0, 0, 0, 1}},
      {&zero_to_nine, 1, 2, {4.5}, {0, 0, 0, 0, 0, 1, 1, 1, 1, 1}},
      {&zero_to_nine, 2, 3, {3, 6}, {0, 0, 0, 1, 1, 1, 2, 2, 2, 2}},
  };
  for (const auto& c : cases) {
    std::vector<double> edges;
    std::vector<int> bins;
    ASSERT_EQ(VRN_Discretizer(*c.values).Discretize(c.method, c.bins, &edges, &bins), 0);
    EXPECT_EQ(edges, c.edges) << c.method;
    EXPECT_EQ(bins, c.bin_of) << c.method;
  }
  const std::vector<float> floats = {0.5f, 0.5f, 2.0f};
  std::vector<double> edges;
  ASSERT_EQ(VRN_Discretizer(floats).Discretize(1, 2, &edges, nullptr), 0);
  EXPECT_EQ(edges, std::vector<double>{1.25});
  // A span past FLT_MAX still has its middle.
  const std::vector<float> wide = {-3e38f, 0.0f, 1.0f, 3e38f};
  std::vector<int> bins;
  ASSERT_EQ(VRN_Discretizer(wide).Discretize(1, 2, &edges, &bins), 0);
  EXPECT_EQ(edges, std::vector<double>{0.0});
  EXPECT_EQ(bins, (std::vector<int>{0, 1, 1, 1}));
}

TEST(DiscretizerTest, RefusalsChangeNothing) {
  const std::vector<int> one = {4};
  const std::vector<int> same = {4, 4, 4};
  const std::vector<int> two = {1, 2};
  const struct {
    const std::vector<int>* values;
    int method;
    int bins;
    int status;
  } cases[] = {
      {&one, 0, 2, -3}, {&two, 0, 1, -19}, {&two, 3, 2, -30},
      {&two, 0, 3, -2}, {&same, 1, 2, -2}, {&same, 2, 2, -2},
  };
  for (const auto& c : cases) {
    std::vector<double> edges = {42};
    EXPECT_EQ(VRN_Discretizer(*c.values).Discretize(c.method, c.bins, &edges, nullptr), c.status);
    EXPECT_EQ(edges, std::vector<double>{42});
  }
  // Grouping 200,000 distinct values into two bins stays quick.
  std::vector<int> many(200000);
  for (int i = 0; i < 200000; ++i) many[static_cast<std::size_t>(i)] = i * 3 + (i % 7);
  std::vector<double> edges;
  EXPECT_EQ(VRN_Discretizer(many).Discretize(0, 2, &edges, nullptr), 0);
}

TEST(DiscretizerTest, DataSetGetsBinsAndStateNames) {
  VRN_dataset data;
  ASSERT_EQ(data.addFloatVariable("x", std::numeric_limits<float>::quiet_NaN()), 0);
  const float values[] = {0.0f, 0.5f, 1.0f, 1.25f, 2.0f, std::numeric_limits<float>::quiet_NaN()};
  for (int r = 0; r < 6; ++r) {
    data.AddEmptyRecord();
    data.SetFloat(0, r, values[r]);
  }
  std::vector<double> edges;
  EXPECT_EQ(data.Discretize(0, 1, 70000, "x", &edges), -2);  // too many bins
  EXPECT_FALSE(data.GetVariable(0).discrete);
  ASSERT_EQ(data.Discretize(0, 2, 3, "x", &edges), 0);
  EXPECT_EQ(edges, (std::vector<double>{0.5, 1.25}));
  EXPECT_TRUE(data.GetVariable(0).discrete);
  EXPECT_EQ(data.GetVariable(0).stateNames,
            (std::vector<std::string>{"x1_below_0_5", "x2_0_5_1_25", "x3_1_25_up"}));
  std::vector<int> cells;
  for (int r = 0; r < 6; ++r) cells.push_back(data.GetInt(0, r));
  EXPECT_EQ(cells, (std::vector<int>{0, 1, 1, 2, 2, -1}));

  VRN_dataset negative;
  ASSERT_EQ(negative.addIntVariable("n", -1), 0);
  for (int r = 0; r < 3; ++r) {
    negative.AddEmptyRecord();
    negative.SetInt(0, r, -4 + 2 * r);
  }
  ASSERT_EQ(negative.Discretize(0, 0, 2, "p", &edges), 0);
  EXPECT_EQ(negative.GetVariable(0).stateNames[0], "p1_below__1");
  EXPECT_EQ(negative.Discretize(0, 0, 3, "", &edges), -2);  // two values left
}

}  // namespace
