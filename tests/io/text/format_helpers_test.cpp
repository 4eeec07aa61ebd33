#include "io/text/format_helpers.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/error_log.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "io/text/text_test_util.h"

namespace {

using qelta::TextFormatBase;
using qelta_test::TempFile;

constexpr int kId = qelta::kTokenIdentifier;
constexpr int kInt = qelta::kTokenInteger;
constexpr int kPunct = qelta::kTokenPunctuator;
constexpr int kStr = qelta::kTokenString;

// A format reading content through a dialect-1 lexer.
struct Reader {
  explicit Reader(const std::string& content) : file(content), format(&log) {
    EXPECT_EQ(format.CreateLexer(1, file.path()), qelta::kOk);
  }
  std::string LastMessage() const {
    const int n = log.GetNumberOfMessages();
    return n > 0 ? log.GetMessage(n - 1) : "";
  }
  TempFile file;
  VRN_errorLog log;
  TextFormatBase format;
};

// The native text writer's continuation: escaped strings wrap with a
// backslash and a blank.
class ContinuingFormat : public TextFormatBase {
 public:
  using TextFormatBase::TextFormatBase;
  void BeginContinuation() override { Output().SetContinuation("\\ "); }
  void EndContinuation() override { Output().SetContinuation(nullptr); }
};

// Writes through a fresh format of type F and answers the file's text.
template <typename F, typename Body>
std::string Written(Body body, TempFile* file) {
  VRN_errorLog log;
  F format(&log);
  EXPECT_EQ(format.Output().Open(file->path(), VRN_textOutput::kOpenForWriting,
                                 &log),
            qelta::kOk);
  body(format);
  EXPECT_EQ(format.Output().Close(), qelta::kOk);
  return file->Contents();
}

VRN_stringArray Strings(const std::vector<std::string>& items) {
  VRN_stringArray list;
  for (const std::string& item : items) list.Add(item.c_str());
  return list;
}

TEST(FormatHelpersTest, ExpectOrFailReportsWithLineNumbers) {
  Reader r(std::string(11, '\n') + "( x == \"s\"");
  EXPECT_EQ(r.format.ExpectOrFail(kId, nullptr), qelta::kErrSyntax);
  EXPECT_EQ(r.LastMessage(), "(line 12) : ERROR: '(' : Identifier expected");
  EXPECT_EQ(r.log.GetCode(0), qelta::kErrSyntax);
  EXPECT_EQ(r.format.ExpectOrFail(kPunct, "("), qelta::kOk);
  EXPECT_EQ(r.format.ExpectOrFail(kInt, "7"), qelta::kErrSyntax);
  EXPECT_EQ(r.LastMessage(), "(line 12) : ERROR: 'x' : '7' expected");
  EXPECT_EQ(r.format.ExpectOrFail(6, nullptr), qelta::kErrSyntax);
  EXPECT_EQ(r.LastMessage(), "(line 12) : ERROR: 'x' : Unexpected");
  EXPECT_EQ(r.format.Expect(kId, "x"), qelta::kOk);
  EXPECT_EQ(r.format.Expect(kPunct, "=="), qelta::kOk);
  EXPECT_EQ(r.format.ExpectOrFail(kStr, nullptr), qelta::kOk);
  EXPECT_EQ(r.format.ExpectOrFail(kPunct, "}"), qelta::kErrSyntax);
  EXPECT_EQ(r.LastMessage(), "(line 12) : ERROR: End of File : Expecting '}'");
  EXPECT_EQ(r.format.ExpectOrFail(kStr, nullptr), qelta::kErrSyntax);
  EXPECT_EQ(r.LastMessage(), "(line 12) : ERROR: End of File : Expecting String");
  EXPECT_EQ(r.format.ExpectOrFail(6, nullptr), qelta::kErrSyntax);
  EXPECT_EQ(r.LastMessage(), "(line 12) : ERROR: Unexpected End of File");
}

TEST(FormatHelpersTest, PunctuatorsMatchOnlyPunctuation) {
  Reader r("= \"}\" \"\" = ;");
  // "=" has a token type of its own but is still the punctuator "=".
  EXPECT_EQ(r.format.Expect(kPunct, "="), qelta::kOk);
  // Strings never stand in for punctuation, not even the empty one.
  EXPECT_EQ(r.format.Expect(kPunct, "}"), qelta::kErrSyntax);
  EXPECT_EQ(r.format.IsBlockEnd(), 0);
  EXPECT_EQ(r.format.Expect(kStr, nullptr), qelta::kOk);
  EXPECT_EQ(r.format.Expect(kPunct, ")"), qelta::kErrSyntax);
  EXPECT_EQ(r.format.Expect(kStr, ""), qelta::kOk);
  // No prefix matching either.
  EXPECT_EQ(r.format.Expect(kPunct, "=="), qelta::kErrSyntax);
  EXPECT_EQ(r.format.Expect(kPunct, "="), qelta::kOk);
  EXPECT_EQ(r.format.NextIs(";"), 1);
  EXPECT_EQ(r.format.Expect(kPunct, ";"), qelta::kOk);
  EXPECT_EQ(r.format.NextIs(";"), qelta::kErrNoMoreTokens);
  EXPECT_EQ(r.format.NextIsNumber(), qelta::kErrNoMoreTokens);
  EXPECT_EQ(r.format.IsBlockEnd(), 1);
}

TEST(FormatHelpersTest, SkipStatementStopsAtItsSemicolon) {
  {
    Reader r("a { b ; c } ; next");
    EXPECT_EQ(r.format.SkipStatement(), qelta::kOk);
    EXPECT_EQ(r.format.Expect(kPunct, ";"), qelta::kOk);
    EXPECT_EQ(r.format.NextIs("next"), 1);
  }
  {
    // A quoted ";" or "}" is text, not structure.
    Reader r("v = \";\" \"}\" ; w");
    EXPECT_EQ(r.format.SkipField(), qelta::kOk);
    EXPECT_EQ(r.format.Expect(kPunct, ";"), qelta::kOk);
    EXPECT_EQ(r.format.NextIs("w"), 1);
  }
  {
    // The block's own "}" is left for the block reader.
    Reader r("x = 1 } ; node b { y = 2 ; } ;");
    EXPECT_EQ(r.format.SkipStatement(), qelta::kOk);
    EXPECT_EQ(r.format.IsBlockEnd(), 1);
    EXPECT_EQ(r.format.ReadBlockEnd(), qelta::kOk);
    EXPECT_EQ(r.format.Expect(kPunct, ";"), qelta::kOk);
    EXPECT_EQ(r.format.NextIs("node"), 1);
  }
  {
    Reader r("a b");
    EXPECT_EQ(r.format.SkipStatement(), qelta::kErrNoMoreTokens);
    ASSERT_EQ(r.log.GetNumberOfMessages(), 1);
    EXPECT_EQ(r.log.GetCode(0), qelta::kErrNoMoreTokens);
    EXPECT_STREQ(r.log.GetMessage(0), "NO MORE TOKENS");
  }
}

TEST(FormatHelpersTest, FieldReaders) {
  Reader r("Flag = true; x = TRUE; X = TRUE; Y = maybe; N = 42; S = \"s t\";"
           " Big = 1e5; M = abc;");
  r.format.SetCaseSensitive(false);
  int value = -1;
  EXPECT_EQ(r.format.ReadBoolField("Flag", &value), qelta::kOk);
  EXPECT_EQ(value, 1);
  ASSERT_EQ(r.format.Expect(kPunct, ";"), qelta::kOk);
  // Field names stay case-sensitive.
  EXPECT_EQ(r.format.ReadBoolField("X", &value), qelta::kErrWrongFieldName);
  EXPECT_EQ(r.format.ReadBoolField("x", &value), qelta::kOk);
  ASSERT_EQ(r.format.Expect(kPunct, ";"), qelta::kOk);
  EXPECT_EQ(r.format.ReadBoolField("X", &value), qelta::kOk);
  ASSERT_EQ(r.format.Expect(kPunct, ";"), qelta::kOk);
  EXPECT_EQ(r.format.ReadBoolField("Y", &value), qelta::kErrSyntax);
  EXPECT_EQ(r.LastMessage(), "(line 1) : ERROR: (\"maybe\") : int Expected");
  ASSERT_EQ(r.format.Expect(kPunct, ";"), qelta::kOk);
  EXPECT_EQ(r.format.ReadIntField("N", &value), qelta::kOk);
  EXPECT_EQ(value, 42);
  ASSERT_EQ(r.format.Expect(kPunct, ";"), qelta::kOk);
  EXPECT_EQ(r.format.ReadFieldHeader("S", kStr), qelta::kOk);
  EXPECT_STREQ(r.format.CurrentToken().text, "s t");
  ASSERT_EQ(r.format.Expect(kPunct, ";"), qelta::kOk);
  EXPECT_EQ(r.format.ReadIntField("Big", &value), qelta::kErrOutOfRange);
  ASSERT_EQ(r.format.Expect(kPunct, ";"), qelta::kOk);
  EXPECT_EQ(r.format.ReadIntField("M", &value), qelta::kErrSyntax);
  EXPECT_EQ(r.LastMessage(), "(line 1) : ERROR: 'abc' : Integer expected");
  EXPECT_EQ(r.format.ReadFieldHeader(nullptr, kInt), qelta::kErrOutOfRange);

  Reader strict("Flag = true;");
  EXPECT_EQ(strict.format.ReadBoolField("Flag", &value), qelta::kErrSyntax);
}

TEST(FormatHelpersTest, ListReaders) {
  {
    Reader r("(a, b, c) () (1, 2.5, -3, 0.0E-2) (\"x\", \"y z\") (4, 5)");
    VRN_stringArray ids;
    EXPECT_EQ(r.format.ReadIdentifierList(&ids), qelta::kOk);
    ASSERT_EQ(ids.GetSize(), 3);
    EXPECT_STREQ(ids.Get(2), "c");
    VRN_idArray empty;
    EXPECT_EQ(r.format.ReadIdentifierList(&empty), qelta::kOk);
    EXPECT_EQ(empty.GetSize(), 0);
    VRN_doubleArray numbers;
    EXPECT_EQ(r.format.ReadDoubleList(&numbers), qelta::kOk);
    ASSERT_EQ(numbers.GetSize(), 4);
    EXPECT_EQ(numbers[1], 2.5);
    EXPECT_EQ(numbers[2], -3.0);
    EXPECT_EQ(numbers[3], qelta::kUndefinedValue);
    VRN_stringArray strings;
    EXPECT_EQ(r.format.ReadStringList(&strings), qelta::kOk);
    ASSERT_EQ(strings.GetSize(), 2);
    EXPECT_STREQ(strings.Get(1), "y z");
    VRN_intArray ints;
    EXPECT_EQ(r.format.ReadIntList(&ints), qelta::kOk);
    ASSERT_EQ(ints.GetSize(), 2);
    EXPECT_EQ(ints[1], 5);
  }
  {
    Reader r("(a b)");
    VRN_stringArray ids;
    EXPECT_EQ(r.format.ReadIdentifierList(&ids), qelta::kErrSyntax);
    EXPECT_EQ(r.LastMessage(), "(line 1) : ERROR: 'b' : ')' expected");
  }
  {
    Reader r("(a,)");
    VRN_stringArray ids;
    EXPECT_EQ(r.format.ReadIdentifierList(&ids), qelta::kErrSyntax);
    EXPECT_EQ(r.log.GetNumberOfMessages(), 0);
  }
  {
    Reader r("x");
    VRN_intArray ints;
    EXPECT_EQ(r.format.ReadIntList(&ints), qelta::kErrSyntax);
    EXPECT_EQ(r.LastMessage(), "(line 1) : ERROR: 'x' : '(' expected");
  }
  {
    Reader r("(7, 1e5)");
    VRN_intArray ints;
    EXPECT_EQ(r.format.ReadIntList(&ints), qelta::kErrOutOfRange);
  }
}

TEST(FormatHelpersTest, WithoutLexer) {
  VRN_errorLog log;
  TextFormatBase format(&log);
  double d = 0;
  EXPECT_EQ(format.ReadDouble(&d), qelta::kErrOutOfRange);
  EXPECT_EQ(format.Expect(kPunct, ";"), qelta::kErrOutOfRange);
  EXPECT_EQ(format.NextIs("a"), qelta::kErrOutOfRange);
  EXPECT_EQ(format.IsBlockEnd(), 1);
  EXPECT_EQ(format.SkipStatement(), qelta::kErrOutOfRange);
  EXPECT_EQ(format.ReadFieldHeader("A", kInt), qelta::kErrWrongFieldName);
  EXPECT_EQ(format.ExpectOrFail(kPunct, "}"), qelta::kErrSyntax);
  EXPECT_STREQ(log.GetMessage(0), "ERROR: Unable to parse file");
  EXPECT_EQ(format.GetLineNumber(), 0);

  const std::string missing = ::testing::TempDir() + "qelta_absent.net";
  EXPECT_EQ(format.CreateLexer(3, missing.c_str()), qelta::kErrFileIo);
  EXPECT_EQ(format.GetLexer(), nullptr);
}

TEST(FormatHelpersTest, Reporters) {
  Reader r("\nx");
  ASSERT_EQ(r.format.NextIs("x"), 1);
  EXPECT_EQ(r.format.ReportError(qelta::kOk, "ignored"), qelta::kOk);
  EXPECT_EQ(r.log.GetNumberOfMessages(), 0);
  EXPECT_EQ(r.format.ReportError(qelta::kErrGeneral, nullptr), qelta::kErrGeneral);
  EXPECT_EQ(r.LastMessage(), "(line 2) : GENERAL ERROR");
  const std::string long_text(5000, 'm');
  EXPECT_EQ(r.format.ReportFormatted(qelta::kErrSyntax, "ERROR: '%s' : Unknown",
                                     long_text.c_str()),
            qelta::kErrSyntax);
  EXPECT_EQ(r.LastMessage(), "(line 2) : ERROR: '" + long_text + "' : Unknown");
  r.format.DeleteLexer();
  EXPECT_EQ(r.format.ReportFormatted(-2, "plain %d", 5), -2);
  EXPECT_EQ(r.LastMessage(), "plain 5");
  // Messages quote the file, which may hold bytes that are not UTF-8.
  EXPECT_EQ(r.format.ReportFormatted(-2, "'%s'", "a\xff\xc3"), -2);
  EXPECT_EQ(r.LastMessage(), "'a\xEF\xBF\xBD\xEF\xBF\xBD'");
}

TEST(FormatHelpersTest, Utf8Repairs) {
  EXPECT_EQ(qelta::ValidUtf8Text(nullptr), "");
  EXPECT_EQ(qelta::ValidUtf8Text("caf\xc3\xa9"), "caf\xc3\xa9");
  EXPECT_EQ(qelta::ValidUtf8Text("\xed\xa0\x80x"), "\xEF\xBF\xBDx");
  VRN_idArray ids;
  qelta::MakeValidUtf8Identifiers(
      Strings({"a\xff", "a_", "a\xfe", "\xff", "\xc3\xa9", "0"}), &ids);
  const std::vector<std::string> expected = {"a__2", "a_",        "a__3",
                                             "x_",   "\xc3\xa9", "x0"};
  ASSERT_EQ(ids.GetSize(), static_cast<int>(expected.size()));
  for (int i = 0; i < ids.GetSize(); ++i) EXPECT_EQ(ids.Get(i), expected[i]);
}

TEST(FormatHelpersTest, FieldWriters) {
  TempFile file;
  const std::string text = Written<TextFormatBase>(
      [](TextFormatBase& f) {
        ASSERT_EQ(f.Output().Indent(), qelta::kOk);
        f.WriteIntField("N", -5);
        f.WriteBoolField("T", true);
        f.WriteBoolField(nullptr, true);
        f.WriteStringField("ID", "abc", false, false);
        f.WriteStringField("NONE", nullptr, true, true);
        f.WriteStringField("Q", "plain", true, false);
        f.WriteQuotedStringField("NAME", "say \"hi\"\n\tto C:\\");
        f.WriteIdentifierListField("PARENTS", Strings({"a", "b"}), 0);
        f.WriteIdentifierListField("NONE", Strings({}), 0);
        VRN_intArray ints;
        ints.Add(1);
        ints.Add(-2);
        f.WriteIntListField("L", ints, 0);
        VRN_doubleArray doubles;
        doubles.Add(0.25);
        doubles.Add(1e-9);
        doubles.Add(qelta::kUndefinedValue);
        f.WriteDoubleListField("P", doubles, 0);
        f.WriteBlockEnd();
        EXPECT_EQ(f.Output().GetIndentLevel(), 0);
        f.WriteBlockEnd();
        EXPECT_EQ(f.Output().GetIndentLevel(), 0);
      },
      &file);
  EXPECT_EQ(text,
            " N = -5;\n"
            " T = TRUE;\n"
            " ID = abc;\n"
            " Q = \"plain\";\n"
            " NAME = \"say \\\"hi\\\"\\n\\tto C:\\\\\";\n"
            " PARENTS = (a, b);\n"
            " NONE = ();\n"
            " L = (1, -2);\n"
            " P = (0.25, 1e-09, 0.0E-2);\n"
            "};\n"
            "};\n");
}

// Quoted strings come back unchanged however long they are: wrapped with
// the continuation mark where a format sets one, unwrapped where not.
template <typename F>
void CheckQuotedFieldsReadBack() {
  const std::vector<std::string> values = {
      "short",
      "  leading and trailing blanks  ",
      std::string(300, 'w'),
      "a comment with \"quotes\", a\ttab, a\nline feed and C:\\dir\\ in it; "
      "it goes on long enough to pass the wrap column more than once, "
      "with  double  blanks  here  and  there   and a final word.",
      std::string(20000, 'z') + " end",
  };
  TempFile file;
  const std::string text = Written<F>(
      [&](TextFormatBase& f) {
        ASSERT_EQ(f.Output().Indent(), qelta::kOk);
        for (const std::string& v : values) {
          f.WriteQuotedStringField("COMMENT", v.c_str());
        }
        f.WriteStringListField("LABELS", Strings(values), 0);
      },
      &file);
  VRN_errorLog log;
  TextFormatBase reader(&log);
  ASSERT_EQ(reader.CreateLexer(1, file.path()), qelta::kOk);
  for (const std::string& v : values) {
    ASSERT_EQ(reader.ReadFieldHeader("COMMENT", kStr), qelta::kOk);
    EXPECT_EQ(std::string(reader.CurrentToken().text), v);
    ASSERT_EQ(reader.Expect(kPunct, ";"), qelta::kOk);
  }
  ASSERT_EQ(reader.Expect(kId, "LABELS"), qelta::kOk);
  ASSERT_EQ(reader.Expect(kPunct, "="), qelta::kOk);
  VRN_stringArray labels;
  ASSERT_EQ(reader.ReadStringList(&labels), qelta::kOk);
  ASSERT_EQ(labels.GetSize(), static_cast<int>(values.size()));
  for (int i = 0; i < labels.GetSize(); ++i) EXPECT_EQ(labels.Get(i), values[i]);
  EXPECT_EQ(log.GetNumberOfMessages(), 0);
}

TEST(FormatHelpersTest, QuotedTextReadsBackWithAndWithoutContinuation) {
  CheckQuotedFieldsReadBack<TextFormatBase>();
  CheckQuotedFieldsReadBack<ContinuingFormat>();
}

TEST(FormatHelpersTest, NumberAndEscapeTexts) {
  EXPECT_EQ(qelta::DoubleToFileText(0.5), "0.5");
  EXPECT_EQ(qelta::DoubleToFileText(0.0), "0");
  EXPECT_EQ(qelta::DoubleToFileText(1e-5), "1e-05");
  EXPECT_EQ(qelta::DoubleToFileText(-3e-12), "-3e-12");
  EXPECT_EQ(qelta::DoubleToFileText(0.6721176592), "0.6721176592");
  EXPECT_EQ(qelta::DoubleToFileText(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(qelta::DoubleToFileText(qelta::kUndefinedValue), "0.0E-2");
  EXPECT_EQ(qelta::DoubleToFileText(qelta::kIllegalValue), "0.0E-3");
  EXPECT_EQ(qelta::DoubleToFileText(qelta::kNotAvailableValue), "0.0E-4");

  // Every value survives a round trip through the lexer and ReadDouble bit
  // for bit.
  const double values[] = {1.5e-12, 2.5e-300, 1e300, -0.1 - 0.2, 1.0 / 3.0,
                           123456789.0, 4.9e-324};
  std::string text;
  for (double value : values) text += qelta::DoubleToFileText(value) + " ";
  TempFile file(text);
  VRN_errorLog log;
  TextFormatBase reader(&log);
  ASSERT_EQ(reader.CreateLexer(1, file.path()), qelta::kOk);
  for (double value : values) {
    double read = 0;
    ASSERT_EQ(reader.ReadDouble(&read), qelta::kOk) << value;
    EXPECT_EQ(read, value);
  }

  std::string escaped;
  EXPECT_EQ(VRN_EscapeString("a\tb\nc\rd\"e\\f\bg", &escaped), qelta::kOk);
  EXPECT_EQ(escaped, "a\\tb\\nc\\rd\\\"e\\\\f\bg");
  EXPECT_EQ(VRN_EscapeString(nullptr, &escaped), qelta::kOk);
  EXPECT_EQ(escaped, "");
}

}  // namespace
