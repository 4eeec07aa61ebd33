#include "io/text/lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "io/text/text_test_util.h"

namespace {

using qelta_test::TempFile;

struct Tok {
  int type;
  std::string text;
  bool operator==(const Tok& o) const { return type == o.type && text == o.text; }
};

std::ostream& operator<<(std::ostream& os, const Tok& t) {
  return os << "(" << t.type << ", \"" << t.text << "\")";
}

// Every token of content in the dialect, and the status that ended the scan.
std::vector<Tok> Lex(int dialect, const std::string& content, int* end_rc,
                     VRN_errorLog* log = nullptr) {
  TempFile file(content);
  VRN_textLexer lexer(dialect, log);
  std::vector<Tok> tokens;
  *end_rc = lexer.Open(file.path());
  if (*end_rc != qelta::kOk) return tokens;
  VRN_textToken token;
  while ((*end_rc = lexer.PeekToken(&token)) == qelta::kOk) {
    tokens.push_back({token.type, token.text});
    lexer.Consume();
  }
  return tokens;
}

std::vector<Tok> Lex(int dialect, const std::string& content) {
  int rc = 0;
  std::vector<Tok> tokens = Lex(dialect, content, &rc);
  EXPECT_EQ(rc, qelta::kErrNoMoreTokens) << "input: " << content;
  return tokens;
}

using Toks = std::vector<Tok>;
constexpr int kId = qelta::kTokenIdentifier;
constexpr int kInt = qelta::kTokenInteger;
constexpr int kReal = qelta::kTokenReal;
constexpr int kPunct = qelta::kTokenPunctuator;
constexpr int kStr = qelta::kTokenString;

TEST(TextLexerTest, PunctuationTokens) {
  EXPECT_EQ(Lex(1, "x==y"), (Toks{{kId, "x"}, {6, "=="}, {kId, "y"}}));
  EXPECT_EQ(Lex(1, "a = b / c;"),
            (Toks{{kId, "a"}, {5, "="}, {kId, "b"}, {4, "/"}, {kId, "c"},
                  {kPunct, ";"}}));
  EXPECT_EQ(Lex(1, "a - b"), (Toks{{kId, "a"}, {9, "-"}, {kId, "b"}}));
  EXPECT_EQ(Lex(1, "_a"), (Toks{{kPunct, "_"}, {kId, "a"}}));
  EXPECT_EQ(Lex(1, "(x){}"), (Toks{{kPunct, "("}, {kId, "x"}, {kPunct, ")"},
                                  {kPunct, "{"}, {kPunct, "}"}}));

  int rc = 0;
  VRN_errorLog log;
  EXPECT_EQ(Lex(1, "a===b", &rc, &log), (Toks{{kId, "a"}}));
  EXPECT_EQ(rc, qelta::kErrLexical);
}

TEST(TextLexerTest, NumberTokens) {
  EXPECT_EQ(Lex(1, "a-1"), (Toks{{kId, "a"}, {kInt, "-1"}}));
  EXPECT_EQ(Lex(1, "12. .5 +.5 12e 1.5e-3 -7 3.25"),
            (Toks{{7, "12."}, {kReal, ".5"}, {kReal, "+.5"}, {kInt, "12e"},
                  {kReal, "1.5e-3"}, {kInt, "-7"}, {kReal, "3.25"}}));
  EXPECT_EQ(Lex(1, "0.0E-2"), (Toks{{kReal, "0.0E-2"}}));
  EXPECT_EQ(Lex(1, "."), (Toks{{7, "."}}));
  // Only dialects 2 to 4 let a sign follow an even number of exponent
  // digits.
  EXPECT_EQ(Lex(1, "1e10+2"), (Toks{{kInt, "1e10"}, {kInt, "+2"}}));
  EXPECT_EQ(Lex(2, "1e10+2"), (Toks{{kInt, "1e10+2"}}));
  EXPECT_EQ(Lex(3, "1e10+2"), (Toks{{kInt, "1e10+2"}}));
  EXPECT_EQ(Lex(4, "1e10+2"), (Toks{{kInt, "1e10+2"}}));
  EXPECT_EQ(Lex(3, "2.5e-35"), (Toks{{kReal, "2.5e-35"}}));
}

TEST(TextLexerTest, DialectDifferences) {
  EXPECT_EQ(Lex(2, "_a a=b \"q\" x/y / * 12abc 3.5"),
            (Toks{{kId, "_a"}, {kId, "a=b"}, {kId, "\"q\""}, {kId, "x/y"},
                  {kPunct, "/"}, {kPunct, "*"}, {kId, "12abc"}, {kReal, "3.5"}}));
  EXPECT_EQ(Lex(3, "a % rest of line\nb"), (Toks{{kId, "a"}, {kId, "b"}}));
  EXPECT_EQ(Lex(1, "a%b"), (Toks{{kId, "a"}, {kPunct, "%"}, {kId, "b"}}));
  EXPECT_EQ(Lex(4, "a,b|c"), (Toks{{kId, "a"}, {kId, "b"}, {kId, "c"}}));
  EXPECT_EQ(Lex(1, "a,b|c"), (Toks{{kId, "a"}, {kPunct, ","}, {kId, "b"},
                                  {kPunct, "|"}, {kId, "c"}}));

  VRN_textLexer lexer(1, nullptr);
  EXPECT_EQ(lexer.SetDialect(5), qelta::kErrOutOfRange);
  EXPECT_EQ(lexer.SetDialect(0), qelta::kErrOutOfRange);
  EXPECT_EQ(lexer.GetDialect(), 1);
}

TEST(TextLexerTest, CommentsAreDropped) {
  EXPECT_EQ(Lex(1, "a /* x */ b"), (Toks{{kId, "a"}, {kId, "b"}}));
  EXPECT_EQ(Lex(1, "/*/ a"), (Toks{{kId, "a"}}));
  EXPECT_EQ(Lex(1, "/#/ a"), (Toks{{kId, "a"}}));
  EXPECT_EQ(Lex(1, "/# a /# b #/ c #/ d"), (Toks{{kId, "d"}}));
  EXPECT_EQ(Lex(1, "a /* one\ntwo\n*/ b"), (Toks{{kId, "a"}, {kId, "b"}}));
  EXPECT_EQ(Lex(1, "a /# one /#\n#/ two\n#/ b"), (Toks{{kId, "a"}, {kId, "b"}}));
  EXPECT_EQ(Lex(1, "a // rest\nb // end"), (Toks{{kId, "a"}, {kId, "b"}}));
}

TEST(TextLexerTest, UnterminatedCommentsFail) {
  const std::pair<const char*, const char*> cases[] = {
      {"a /* never closed\nstill", "ERROR: UNEXPECTED END OF FILE. UNMATCHED '/*'"},
      {"a /# one /# two #/", "ERROR: UNEXPECTED END OF FILE. UNMATCHED '/#'"}};
  for (const auto& c : cases) {
    VRN_errorLog log;
    int rc = 0;
    EXPECT_EQ(Lex(1, c.first, &rc, &log), (Toks{{kId, "a"}}));
    EXPECT_EQ(rc, qelta::kErrUnexpectedEof);
    ASSERT_EQ(log.GetNumberOfMessages(), 1);
    EXPECT_EQ(log.GetCode(0), qelta::kErrUnexpectedEof);
    EXPECT_STREQ(log.GetMessage(0), c.second);
  }
}

TEST(TextLexerTest, CarriageReturnEndsALineAndIsBlankOutsideStrings) {
  // A lone CR ends a line, so the comment before it ends there; CR LF is one
  // line end, so a string over it joins as over LF.
  for (const char* text : {"a // c\rb", "a // c\r\rb", "a /* c\r */ b"}) {
    EXPECT_EQ(Lex(1, text), (Toks{{kId, "a"}, {kId, "b"}})) << text;
  }
  EXPECT_EQ(Lex(3, "a % c\rb"), (Toks{{kId, "a"}, {kId, "b"}}));
  EXPECT_EQ(Lex(1, "\"ab\rcd\""), (Toks{{kStr, "abcd"}}));
  EXPECT_EQ(Lex(1, "net\r\n{\r\n  x = 1;\r\n}\r\n"),
            (Toks{{kId, "net"}, {kPunct, "{"}, {kId, "x"}, {5, "="},
                  {kInt, "1"}, {kPunct, ";"}, {kPunct, "}"}}));
  EXPECT_EQ(Lex(2, "a\r\nb"), (Toks{{kId, "a"}, {kId, "b"}}));
  EXPECT_EQ(Lex(1, "\"ab\r\ncd\""), (Toks{{kStr, "abcd"}}));
}

TEST(TextLexerTest, UnknownCharacterIsReportedAndNotConsumed) {
  TempFile file("ok\nabc\x01 tail");
  VRN_errorLog log;
  VRN_textLexer lexer(1, &log);
  ASSERT_EQ(lexer.Open(file.path()), qelta::kOk);
  VRN_textToken token;
  ASSERT_EQ(lexer.PeekToken(&token), qelta::kOk);
  lexer.Consume();
  EXPECT_EQ(lexer.PeekToken(&token), qelta::kErrLexical);
  EXPECT_EQ(token.type, qelta::kTokenUnknown);
  EXPECT_EQ(std::string(token.text), "abc\x01");
  EXPECT_EQ(token.length, 3);
  ASSERT_EQ(log.GetNumberOfMessages(), 1);
  EXPECT_STREQ(log.GetMessage(0), "ERROR: Line 2 : UNKNOWN CHARACTER");
  EXPECT_EQ(log.GetCode(0), qelta::kErrLexical);
  // The same character stops the scan again.
  EXPECT_EQ(lexer.PeekToken(&token), qelta::kErrLexical);

  int rc = 0;
  EXPECT_EQ(Lex(1, std::string("a \0b", 4), &rc), (Toks{{kId, "a"}}));
  EXPECT_EQ(rc, qelta::kErrLexical);
  EXPECT_EQ(Lex(1, std::string("\"a\0b\"", 5), &rc).size(), 0u);
  EXPECT_EQ(rc, qelta::kErrLexical);
}

TEST(TextLexerTest, StringsAreDecoded) {
  EXPECT_EQ(Lex(1, "\"a\\tb\""), (Toks{{kStr, "a\tb"}}));
  EXPECT_EQ(Lex(1, "\"a\\xb\""), (Toks{{kStr, "a\\xb"}}));
  EXPECT_EQ(Lex(1, "\"q\\\"b\\\\c\\n\\r\\b\""), (Toks{{kStr, "q\"b\\c\n\r\b"}}));
  EXPECT_EQ(Lex(1, "\"\" x"), (Toks{{kStr, ""}, {kId, "x"}}));
  EXPECT_EQ(Lex(1, "\"caf\xc3\xa9\""), (Toks{{kStr, "caf\xc3\xa9"}}));
  // A line end inside a string is dropped.
  EXPECT_EQ(Lex(1, "\"ab\ncd\""), (Toks{{kStr, "abcd"}}));
  // Continuation: backslash and blank skip to the next non-blank.
  EXPECT_EQ(Lex(1, "\"abc \\ \n   def\""), (Toks{{kStr, "abc def"}}));
  EXPECT_EQ(Lex(1, "\"abc\\\n   def\""), (Toks{{kStr, "abcdef"}}));
  // Backslash-bar ends the skipping so leading blanks survive.
  EXPECT_EQ(Lex(1, "\"x \\ \n  \\|  y\""), (Toks{{kStr, "x   y"}}));
  EXPECT_EQ(Lex(3, "\"s\" % c"), (Toks{{kStr, "s"}}));
  EXPECT_EQ(Lex(4, "\"a,b\""), (Toks{{kStr, "a,b"}}));
}

TEST(TextLexerTest, UnterminatedStringsFail) {
  for (const char* input : {"\"abc", "\"abc \\ \n   ", "\"abc\\", "x \"abc\n"}) {
    VRN_errorLog log;
    TempFile file(input);
    VRN_textLexer lexer(1, &log);
    ASSERT_EQ(lexer.Open(file.path()), qelta::kOk);
    VRN_textToken token;
    int rc;
    while ((rc = lexer.PeekToken(&token)) == qelta::kOk) lexer.Consume();
    EXPECT_EQ(rc, qelta::kErrUnexpectedEof) << input;
    ASSERT_EQ(log.GetNumberOfMessages(), 1);
    EXPECT_STREQ(log.GetMessage(0),
                 "ERROR: UNEXPECTED END OF FILE. UNTERMINATED STRING");
    // Afterwards the input is simply over.
    EXPECT_EQ(lexer.PeekToken(&token), qelta::kErrNoMoreTokens);
  }
}

TEST(TextLexerTest, HistoryReplaysTokens) {
  TempFile file("t1 t2\nt3 t4\nt5 t6");
  VRN_textLexer lexer(1, nullptr);
  ASSERT_EQ(lexer.Open(file.path()), qelta::kOk);
  VRN_textToken token;
  auto peek = [&]() {
    EXPECT_EQ(lexer.PeekToken(&token), qelta::kOk);
    return std::string(token.text);
  };
  EXPECT_EQ(lexer.Back(), qelta::kErrOutOfRange);
  for (const char* want : {"t1", "t2", "t3"}) {
    EXPECT_EQ(peek(), want);
    lexer.Consume();
  }
  EXPECT_EQ(peek(), "t4");  // pending
  EXPECT_EQ(lexer.Back(), qelta::kOk);
  EXPECT_EQ(peek(), "t3");  // replayed after the line moved on
  lexer.Consume();
  EXPECT_EQ(peek(), "t4");
  lexer.Consume();
  EXPECT_EQ(peek(), "t5");
  lexer.Consume();
  // Nothing pending: the cursor stands on t5, so Back replays t4.
  EXPECT_EQ(lexer.Back(), qelta::kOk);
  EXPECT_EQ(peek(), "t4");
  lexer.Consume();
  EXPECT_EQ(peek(), "t5");
  lexer.Consume();
  EXPECT_EQ(peek(), "t6");
  EXPECT_EQ(lexer.GetLineNumber(), 3);
}

TEST(TextLexerTest, FiveTokensAllowFourSteps) {
  TempFile file("a b c d e f g");
  VRN_textLexer lexer(1, nullptr);
  ASSERT_EQ(lexer.Open(file.path()), qelta::kOk);
  VRN_textToken token;
  for (int i = 0; i < 7; ++i) {
    ASSERT_EQ(lexer.PeekToken(&token), qelta::kOk);
    lexer.Consume();
  }
  for (int i = 0; i < 4; ++i) EXPECT_EQ(lexer.Back(), qelta::kOk);
  EXPECT_EQ(lexer.Back(), qelta::kErrOutOfRange);
  std::string replayed;
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(lexer.PeekToken(&token), qelta::kOk);
    replayed += token.text;
    lexer.Consume();
  }
  // The oldest of the five remembered (c) down to g, which is replayed once
  // more because the cursor stood on it.
  EXPECT_EQ(replayed, "cdefg");
  EXPECT_EQ(lexer.PeekToken(&token), qelta::kErrNoMoreTokens);
}

TEST(TextLexerTest, OpenFailures) {
  VRN_errorLog log;
  VRN_textLexer lexer(1, &log);
  TempFile empty("");
  EXPECT_EQ(lexer.Open(empty.path()), qelta::kErrEndOfFile);
  EXPECT_EQ(log.GetNumberOfMessages(), 0);

  const std::string missing = ::testing::TempDir() + "qelta_no_such_file.vrn";
  EXPECT_EQ(lexer.Open(missing.c_str()), qelta::kErrFileIo);
  ASSERT_EQ(log.GetNumberOfMessages(), 1);
  EXPECT_EQ(std::string(log.GetMessage(0)), "OPEN FILE FAILED: " + missing);
  EXPECT_EQ(log.GetCode(0), qelta::kErrFileIo);

  VRN_textToken token;
  EXPECT_EQ(lexer.PeekToken(&token), qelta::kErrNoMoreTokens);

  // A directory opens but cannot be read; that is no end of file.
  EXPECT_EQ(lexer.Open(::testing::TempDir().c_str()), qelta::kErrFileIo);
  EXPECT_EQ(lexer.PeekToken(&token), qelta::kErrFileIo);
}

TEST(TextLexerTest, NoLengthLimits) {
  const std::string word(100000, 'w');
  const std::string text(50000, 's');
  EXPECT_EQ(Lex(1, "x " + word + " \"" + text + "\" y"),
            (Toks{{kId, "x"}, {kId, word}, {kStr, text}, {kId, "y"}}));
}

TEST(TextLexerTest, RawTextBetweenTokens) {
  TempFile file("<A x=\"1\">a \"b\" // c\r\n  d</A> <!-- e > f\n-->g");
  VRN_textLexer lexer(1, nullptr);
  ASSERT_EQ(lexer.Open(file.path()), qelta::kOk);
  VRN_textToken token;
  std::string text;
  for (const char* expected : {"<", "A", "x", "=", "1", ">"}) {
    ASSERT_EQ(lexer.PeekToken(&token), qelta::kOk);
    EXPECT_STREQ(token.text, expected);
    lexer.Consume();
  }
  // Not while a peeked token waits.
  ASSERT_EQ(lexer.PeekToken(&token), qelta::kOk);
  EXPECT_EQ(lexer.ReadRawText("<", &text), qelta::kErrOutOfRange);
  lexer.Consume();
  EXPECT_EQ(lexer.ReadRawText("", &text), qelta::kErrOutOfRange);

  TempFile raw("a \"b\" // c\r\n  d</A> <!-- e > f\n-->g");
  ASSERT_EQ(lexer.Open(raw.path()), qelta::kOk);
  ASSERT_EQ(lexer.ReadRawText("</", &text), qelta::kOk);
  EXPECT_EQ(text, "a \"b\" // c\r\n  d");
  ASSERT_EQ(lexer.PeekToken(&token), qelta::kOk);
  EXPECT_STREQ(token.text, "A");
  lexer.Consume();
  ASSERT_EQ(lexer.ReadRawText("<!--", &text), qelta::kOk);
  EXPECT_EQ(text, "> ");
  ASSERT_EQ(lexer.ReadRawText("-->", &text), qelta::kOk);
  EXPECT_EQ(text, " e > f\n");
  ASSERT_EQ(lexer.PeekToken(&token), qelta::kOk);
  EXPECT_STREQ(token.text, "g");
  lexer.Consume();
  EXPECT_EQ(lexer.ReadRawText(">", &text), qelta::kErrNoMoreTokens);
  EXPECT_EQ(text, "");
}

}  // namespace

namespace {

TEST(TextLexerTest, TokensTellWhetherTheyFollowTheLastWithNothingBetween) {
  TempFile file("1.2.3 a\"s\"b /* c */ d,e\nf\n(g)");
  VRN_textLexer lexer(4, nullptr);
  ASSERT_EQ(lexer.AddSeparators(","), qelta::kOk);
  ASSERT_EQ(lexer.Open(file.path()), qelta::kOk);
  std::vector<std::pair<std::string, bool>> tokens;
  VRN_textToken token;
  while (lexer.PeekToken(&token) == qelta::kOk) {
    tokens.emplace_back(token.text, token.joined);
    lexer.Consume();
  }
  const std::vector<std::pair<std::string, bool>> expected = {
      {"1.2", false}, {".3", true}, {"a", false}, {"s", true},
      {"b", true},    {"d", false}, {"e", false}, {"f", false},
      {"(", false},   {"g", true},  {")", true}};
  EXPECT_EQ(tokens, expected);
  // A token stepped back over is replayed as it was.
  ASSERT_EQ(lexer.Back(), qelta::kOk);
  ASSERT_EQ(lexer.PeekToken(&token), qelta::kOk);
  EXPECT_STREQ(token.text, "g");
  EXPECT_TRUE(token.joined);
}

}  // namespace
