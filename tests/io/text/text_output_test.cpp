#include "io/text/text_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "io/text/format_helpers.h"
#include "io/text/lexer.h"
#include "io/text/text_test_util.h"

namespace {

using qelta_test::TempFile;

constexpr int kIndent = VRN_textOutput::kModeIndent;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// Words of 1 to 5 letters separated by single blanks, n characters long.
std::string ShortWords(int n) {
  std::string text;
  for (int word = 0; static_cast<int>(text.size()) < n; ++word) {
    if (word > 0) text.push_back(' ');
    text.append(1 + word % 5, static_cast<char>('a' + word % 26));
  }
  return text.substr(0, static_cast<std::size_t>(n));
}

TEST(TextOutputTest, WrapsAfterTheLastBlankBeforeTheWrapColumn) {
  TempFile file;
  VRN_textOutput out;
  ASSERT_EQ(out.Open(file.path(), VRN_textOutput::kOpenForWriting, nullptr),
            qelta::kOk);
  const std::string text = ShortWords(100);
  ASSERT_EQ(out.Write(text.c_str(), kIndent), qelta::kOk);
  ASSERT_EQ(out.Close(), qelta::kOk);

  const std::size_t last_blank = text.find_last_of(' ', 71);
  const std::vector<std::string> lines = SplitLines(file.Contents());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], text.substr(0, last_blank + 1));
  EXPECT_EQ(lines[1], text.substr(last_blank + 1));
}

TEST(TextOutputTest, ContinuationMarkEndsBrokenLines) {
  TempFile file;
  VRN_textOutput out;
  ASSERT_EQ(out.Open(file.path(), VRN_textOutput::kOpenForWriting, nullptr),
            qelta::kOk);
  ASSERT_EQ(out.Indent(), qelta::kOk);
  ASSERT_EQ(out.Indent(), qelta::kOk);
  out.SetContinuation("\\ ");
  const std::string text = ShortWords(200);
  ASSERT_EQ(out.Write(text.c_str(), kIndent), qelta::kOk);
  ASSERT_EQ(out.Close(), qelta::kOk);

  const std::vector<std::string> lines = SplitLines(file.Contents());
  ASSERT_GE(lines.size(), 3u);
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    EXPECT_EQ(lines[i].substr(lines[i].size() - 3), " \\ ") << lines[i];
    EXPECT_LE(lines[i].size(), 72u + 2u);
  }
  for (std::size_t i = 1; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].substr(0, 2), "  ");
    EXPECT_NE(lines[i][2], ' ');
  }
}

TEST(TextOutputTest, LongWordsAreNeverCut) {
  TempFile file;
  VRN_textOutput out;
  ASSERT_EQ(out.Open(file.path(), VRN_textOutput::kOpenForWriting, nullptr),
            qelta::kOk);
  const std::string word(150, 'x');
  // On a line that holds text already, the word moves to a fresh line.
  ASSERT_EQ(out.Write("name = ", kIndent), qelta::kOk);
  ASSERT_EQ(out.Write((word + " tail").c_str(), kIndent), qelta::kOk);
  ASSERT_EQ(out.Close(), qelta::kOk);
  EXPECT_EQ(file.Contents(), "name = \n" + word + " \ntail");
}

// Escaped strings written with the continuation mark at any width and
// indentation read back unchanged through the lexer.
TEST(TextOutputTest, WrappedStringsReadBackUnchanged) {
  std::mt19937 random(12345);
  // Blank-rich and blank-poor texts, to reach every kind of break.
  const std::string alphabets[] = {"ab  \t\b\\\"\r\n|x\xc3\xa9",
                                   "abcdefghij\\\"\b "};
  for (int round = 0; round < 300; ++round) {
    const std::string& alphabet = alphabets[round % 2];
    std::string value;
    const int length = static_cast<int>(random() % 300);
    for (int i = 0; i < length; ++i) value.push_back(alphabet[random() % alphabet.size()]);
    std::string escaped;
    VRN_EscapeString(value.c_str(), &escaped);
    TempFile file;
    {
      VRN_textOutput out;
      ASSERT_EQ(out.Open(file.path(), VRN_textOutput::kOpenForWriting, nullptr),
                qelta::kOk);
      ASSERT_EQ(out.SetLineWidth(3 + static_cast<int>(random() % 60)), qelta::kOk);
      const int levels = static_cast<int>(random() % 8);
      for (int i = 0; i < levels; ++i) ASSERT_EQ(out.Indent(), qelta::kOk);
      ASSERT_EQ(out.WriteLine("NAME = \"", kIndent), qelta::kOk);
      out.SetContinuation("\\ ");
      ASSERT_EQ(out.Write(escaped.c_str(), kIndent), qelta::kOk);
      out.SetContinuation(nullptr);
      ASSERT_EQ(out.WriteRaw("\";\n", kIndent), qelta::kOk);
      ASSERT_EQ(out.Close(), qelta::kOk);
    }
    VRN_textLexer lexer(1, nullptr);
    ASSERT_EQ(lexer.Open(file.path()), qelta::kOk);
    VRN_textToken token;
    for (const char* want : {"NAME", "="}) {
      ASSERT_EQ(lexer.PeekToken(&token), qelta::kOk);
      ASSERT_STREQ(token.text, want);
      lexer.Consume();
    }
    ASSERT_EQ(lexer.PeekToken(&token), qelta::kOk) << file.Contents();
    ASSERT_EQ(token.type, qelta::kTokenString);
    ASSERT_EQ(std::string(token.text), value) << file.Contents();
  }
}

TEST(TextOutputTest, SettingsAreBounded) {
  VRN_textOutput out;
  EXPECT_EQ(out.GetLineWidth(), 70);
  EXPECT_EQ(out.SetLineWidth(5000), qelta::kOk);
  EXPECT_EQ(out.GetLineWidth(), 1019);
  EXPECT_EQ(out.SetLineWidth(1), qelta::kErrOutOfRange);  // == indent width
  EXPECT_EQ(out.SetLineWidth(-3), qelta::kErrOutOfRange);
  EXPECT_EQ(out.SetIndentWidth(1018), qelta::kOk);
  EXPECT_EQ(out.SetIndentWidth(1019), qelta::kErrOutOfRange);
  EXPECT_EQ(out.SetIndentWidth(1), qelta::kOk);

  for (int level = 0; level < 1019; ++level) ASSERT_EQ(out.Indent(), qelta::kOk);
  EXPECT_EQ(out.GetIndentLevel(), 1019);
  EXPECT_EQ(out.Indent(), qelta::kErrOutOfRange);
  while (out.GetIndentLevel() > 0) ASSERT_EQ(out.Unindent(), qelta::kOk);
  EXPECT_EQ(out.Unindent(), qelta::kErrOutOfRange);
}

TEST(TextOutputTest, FailuresAreReported) {
  VRN_textOutput out;
  EXPECT_EQ(out.Write("x", kIndent), qelta::kErrFileIo);
  EXPECT_EQ(out.WriteRaw("x", kIndent), qelta::kErrFileIo);
  EXPECT_EQ(out.GetStatus(), qelta::kErrFileIo);
  std::string line;
  EXPECT_EQ(out.ReadLine(&line), qelta::kErrFileIo);

  VRN_errorLog log;
  const std::string missing = ::testing::TempDir() + "qelta_missing/x.vrn";
  EXPECT_EQ(out.Open(missing.c_str(), VRN_textOutput::kOpenForReading, &log),
            qelta::kErrFileIo);
  ASSERT_EQ(log.GetNumberOfMessages(), 1);
  EXPECT_EQ(std::string(log.GetMessage(0)), "OPEN FILE FAILED: " + missing);
  EXPECT_EQ(out.Open(missing.c_str(), 7, &log), qelta::kErrFileIo);
  EXPECT_EQ(log.GetNumberOfMessages(), 1);

  // Output lost when the device is full shows at Close, even after later
  // writes succeeded.
  std::FILE* probe = std::fopen("/dev/full", "w");
  if (probe == nullptr) GTEST_SKIP() << "/dev/full is not available";
  std::fclose(probe);
  ASSERT_EQ(out.Open("/dev/full", VRN_textOutput::kOpenForWriting, nullptr),
            qelta::kOk);
  const std::string big(1 << 16, 'x');
  out.WriteRaw(big.c_str(), kIndent);
  EXPECT_EQ(out.Close(), qelta::kErrFileIo);
}

TEST(TextOutputTest, ReadsLinesWithoutLimit) {
  const std::string long_line(70000, 'q');
  TempFile file("one\n" + long_line + "\nlast");
  VRN_textOutput in;
  ASSERT_EQ(in.Open(file.path(), VRN_textOutput::kOpenForReading, nullptr),
            qelta::kOk);
  std::string line;
  ASSERT_EQ(in.ReadLine(&line), qelta::kOk);
  EXPECT_EQ(line, "one\n");
  ASSERT_EQ(in.ReadLine(&line), qelta::kOk);
  EXPECT_EQ(line, long_line + "\n");
  ASSERT_EQ(in.ReadLine(&line), qelta::kOk);
  EXPECT_EQ(line, "last");
  EXPECT_EQ(in.GetLineCount(), 3);
  EXPECT_EQ(in.ReadLine(&line), qelta::kErrEndOfFile);
  EXPECT_EQ(in.GetStatus(), qelta::kErrEndOfFile);
}

}  // namespace
