#include "io/xml/xml_reader.h"

#include <fstream>
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "io/xml/xml_writer.h"

namespace {

// Handler whose callbacks are set per test.
class FnHandler : public IXmlHandler {
 public:
  std::function<void(IXmlReader&)> start;
  std::function<void(IXmlReader&)> end;
  std::function<void(IXmlReader&)> text;

  void OnStart(IXmlReader& r) override {
    if (start) start(r);
  }
  void OnEnd(IXmlReader& r) override {
    if (end) end(r);
  }
  void OnText(IXmlReader& r) override {
    if (text) text(r);
  }
  bool HasTextHandler() const override { return static_cast<bool>(text); }
};

class XmlReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { errors_.Init("a.xvrn", &log_); }
  void TearDown() override {
    for (IXmlBinding* b : bindings_) b->Release();
  }

  IXmlBinding* Bind(const char* name, int mode, FnHandler** handler = nullptr) {
    handlers_.emplace_back();
    IXmlBinding* b = reader_.CreateBinding(&handlers_.back(), name, mode);
    bindings_.push_back(b);
    if (handler != nullptr) *handler = &handlers_.back();
    return b;
  }

  bool Read(IXmlBinding* root, const std::string& text) {
    return reader_.ReadString(text.c_str(), root, &errors_);
  }

  std::vector<std::string> Entries(int code) const {
    std::vector<std::string> out;
    for (int i = 0; i < log_.GetNumberOfMessages(); ++i) {
      if (log_.GetCode(i) == code) out.push_back(log_.GetMessage(i));
    }
    return out;
  }

  XmlReader reader_;
  XmlErrorHandler errors_;
  VRN_errorLog log_;
  std::deque<FnHandler> handlers_;
  std::vector<IXmlBinding*> bindings_;
};

TEST_F(XmlReaderTest, IntAttributeAcceptsTrailingTextOnlyAfterNonZero) {
  FnHandler* h = nullptr;
  IXmlBinding* root = Bind("r", 0, &h);
  root->AddAttribute("v", false);
  int value = -1;
  bool ok = false;
  h->start = [&](IXmlReader& r) { ok = r.GetIntAttribute("v", value, 7); };

  EXPECT_TRUE(Read(root, "<r v='12abc'/>"));
  EXPECT_TRUE(ok);
  EXPECT_EQ(value, 12);
  EXPECT_TRUE(Read(root, "<r v='0'/>"));
  EXPECT_EQ(value, 0);
  EXPECT_TRUE(Read(root, "<r v='-35'/>"));
  EXPECT_EQ(value, -35);
  EXPECT_TRUE(Read(root, "<r/>"));
  EXPECT_EQ(value, 7);
  EXPECT_EQ(log_.GetNumberOfMessages(), 0);

  for (const char* bad : {"abc", "0x", "", "99999999999", "-99999999999"}) {
    log_.Flush();
    value = 5;
    EXPECT_FALSE(Read(root, std::string("<r v='") + bad + "'/>")) << bad;
    EXPECT_FALSE(ok) << bad;
    EXPECT_EQ(value, 5) << bad;
    ASSERT_EQ(log_.GetNumberOfMessages(), 1) << bad;
    EXPECT_STREQ(log_.GetMessage(0),
                 "Error at 1, 0 while loading a.xvrn: Integer value expected "
                 "for attribute 'v'");
  }
}

TEST_F(XmlReaderTest, DoubleAndBoolAttributes) {
  FnHandler* h = nullptr;
  IXmlBinding* root = Bind("r", 0, &h);
  root->AddAttribute("d", false);
  root->AddAttribute("b", false);
  double d = 0;
  bool b = false;
  h->start = [&](IXmlReader& r) {
    if (r.GetDoubleAttribute("d", d, 2.5)) r.GetBoolAttribute("b", b, true);
  };

  EXPECT_TRUE(Read(root, "<r d='1.5e' b='false'/>"));
  EXPECT_EQ(d, 1.5);
  EXPECT_FALSE(b);
  EXPECT_TRUE(Read(root, "<r/>"));
  EXPECT_EQ(d, 2.5);
  EXPECT_TRUE(b);
  EXPECT_TRUE(Read(root, "<r d='0.0'/>"));
  EXPECT_EQ(d, 0.0);
  EXPECT_EQ(log_.GetNumberOfMessages(), 0);

  for (const char* bad : {"<r d='x'/>", "<r b='true '/>", "<r b='TRUE'/>"}) {
    EXPECT_FALSE(Read(root, bad)) << bad;
  }
  EXPECT_EQ(Entries(qelta::kErrFileIo).size(), 3u);
}

TEST_F(XmlReaderTest, SecondOccurrenceOfSingleChildFailsAtItsStart) {
  IXmlBinding* root = Bind("a", 0);
  FnHandler* child = nullptr;
  IXmlBinding* b = Bind("b", kXmlInheritMode, &child);
  IXmlBinding* c = Bind("c", kXmlInheritMode);
  root->AddChild(b, 0);
  root->AddChild(c, kXmlRepeat);
  int starts = 0;
  child->start = [&](IXmlReader&) { ++starts; };

  EXPECT_TRUE(Read(root, "<a><b/><c/><c/></a>"));
  EXPECT_FALSE(Read(root, "<a>\n<b/>\n<b/><c/></a>"));
  EXPECT_EQ(starts, 2);
  ASSERT_EQ(log_.GetNumberOfMessages(), 1);
  EXPECT_STREQ(log_.GetMessage(0),
               "Error at 3, 0 while loading a.xvrn: Multiple occurences of "
               "'b' not allowed in 'a'");
}

TEST_F(XmlReaderTest, UnknownElementInLenientParentIsSkippedWithOneWarning) {
  FnHandler* h = nullptr;
  IXmlBinding* root = Bind("a", 0, &h);
  IXmlBinding* b = Bind("b", kXmlInheritMode);
  root->AddChild(b, kXmlRepeat);
  int ends = 0;
  h->end = [&](IXmlReader&) { ++ends; };

  EXPECT_TRUE(Read(root, "<a>\n <z q='1'><b/><y r='2'>text</y></z><b/></a>"));
  EXPECT_EQ(ends, 1);
  ASSERT_EQ(log_.GetNumberOfMessages(), 1);
  EXPECT_EQ(log_.GetCode(0), qelta::kErrFileRead);
  EXPECT_STREQ(log_.GetMessage(0),
               "Warning: Ignored unknown element 'z' at 2, 1 while loading "
               "a.xvrn");
  EXPECT_TRUE(errors_.warnings_seen());
  errors_.ReportUnknownContent();
  ASSERT_EQ(log_.GetNumberOfMessages(), 2);
  EXPECT_STREQ(log_.GetMessage(1),
               "XML contains unknown elements and/or attributes. ");
}

TEST_F(XmlReaderTest, ModesDecideBetweenWarningAndError) {
  IXmlBinding* lenient = Bind("a", 0);
  IXmlBinding* strict = Bind("s", kXmlStrictAttributes | kXmlStrictElements);
  IXmlBinding* inherit = Bind("i", kXmlInheritMode);
  lenient->AddChild(strict, kXmlRepeat);
  strict->AddChild(inherit, kXmlRepeat);

  EXPECT_TRUE(Read(lenient, "<a x='1'/>"));
  ASSERT_EQ(log_.GetNumberOfMessages(), 1);
  EXPECT_STREQ(log_.GetMessage(0),
               "Warning: Ignored unknown attribute 'x' in 'a' at 1, 0 while "
               "loading a.xvrn");
  log_.Flush();

  // The inheriting child takes the strict parent's mode.
  EXPECT_FALSE(Read(lenient, "<a><s><i y='2'/></s></a>"));
  EXPECT_FALSE(Read(lenient, "<a><s><i><q/></i></s></a>"));
  auto errors = Entries(qelta::kErrFileIo);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_NE(errors[0].find("Unknown attribute 'y' in element 'i'"),
            std::string::npos);
  EXPECT_NE(errors[1].find("Unknown element 'q' in 'i'"), std::string::npos);
  EXPECT_TRUE(Entries(qelta::kErrFileRead).empty());

  // The root of a document is strict unless its binding says otherwise.
  IXmlBinding* inherit_root = Bind("r", kXmlInheritMode);
  EXPECT_FALSE(Read(inherit_root, "<r z='1'/>"));
}

TEST_F(XmlReaderTest, RequiredAttributeAndChild) {
  FnHandler* h = nullptr;
  IXmlBinding* root = Bind("a", 0, &h);
  IXmlBinding* b = Bind("b", kXmlInheritMode);
  root->AddChild(b, kXmlRequired | kXmlRepeat);
  b->AddAttribute("id", true);
  b->AddAttribute("n", true);
  bool ended = false;
  h->end = [&](IXmlReader&) { ended = true; };

  EXPECT_TRUE(Read(root, "<a><b id='1' n='2'/></a>"));
  EXPECT_TRUE(ended);

  ended = false;
  EXPECT_FALSE(Read(root, "<a>\n</a>"));
  EXPECT_TRUE(ended);  // the parent's end ran before the check
  EXPECT_FALSE(Read(root, "<a><b n='2'/></a>"));
  auto errors = Entries(qelta::kErrFileIo);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0],
            "Error at 2, 0 while loading a.xvrn: Required element 'b' not "
            "present in element 'a'");
  EXPECT_NE(errors[1].find("Required attribute 'id' not found in element 'b'"),
            std::string::npos);
}

TEST_F(XmlReaderTest, TextTokensSurviveChunkBoundary) {
  FnHandler* h = nullptr;
  IXmlBinding* root = Bind("t", 0, &h);
  std::vector<std::string> tokens;
  h->text = [&](IXmlReader& r) { tokens.push_back(r.GetText()); };

  // Pad with a comment so that the first 4096-byte chunk ends right after
  // "b" and the second starts with the line feed.
  const std::string head = "<t><!--";
  const std::string tail = "-->a  b";
  std::string doc = head + std::string(4096 - head.size() - tail.size(), 'x') +
                    tail;
  ASSERT_EQ(doc.size(), 4096u);
  doc += "\n c</t>";
  EXPECT_TRUE(Read(root, doc));
  EXPECT_EQ(tokens, (std::vector<std::string>{"a", "b", "c"}));

  tokens.clear();
  EXPECT_TRUE(Read(root, "<t>12\xC3\xA9\xC2\xA0x 3<!-- -->4</t>"));
  // Bytes of 0x80 and above never split a token; a comment does not either.
  EXPECT_EQ(tokens, (std::vector<std::string>{"12\xC3\xA9\xC2\xA0x", "34"}));
}

TEST_F(XmlReaderTest, TextWithoutHandlerIsKeptWholeAndUnescapes) {
  FnHandler* h = nullptr;
  IXmlBinding* root = Bind("t", 0, &h);
  std::string raw;
  std::string unescaped;
  h->end = [&](IXmlReader& r) {
    raw = r.GetText();
    r.GetUnescapedText(unescaped);
  };
  EXPECT_TRUE(Read(root, "<t> a\\nb\\tc\\\\d\\x &amp;\\</t>"));
  EXPECT_EQ(raw, " a\\nb\\tc\\\\d\\x &\\");
  EXPECT_EQ(unescaped, " a\nb\tc\\dx &\\");
}

TEST_F(XmlReaderTest, FilesAroundTheChunkSizeLoad) {
  IXmlBinding* root = Bind("r", 0);
  const std::string path =
      ::testing::TempDir() + "xml_reader_chunk_test.xml";
  for (size_t size : {4095u, 4096u, 4097u, 8192u}) {
    const std::string open = "<r>";
    const std::string close = "</r>\n";
    std::string doc = open + std::string(size - open.size() - close.size(), ' ') +
                      close;
    ASSERT_EQ(doc.size(), size);
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fwrite(doc.data(), 1, doc.size(), f), doc.size());
    ASSERT_EQ(fclose(f), 0);
    EXPECT_TRUE(reader_.ReadFile(path.c_str(), root, &errors_)) << size;
  }
  EXPECT_EQ(log_.GetNumberOfMessages(), 0);
  remove(path.c_str());
}

TEST_F(XmlReaderTest, BrokenInputGivesExpatMessage) {
  IXmlBinding* root = Bind("r", 0);
  EXPECT_FALSE(Read(root, ""));
  EXPECT_FALSE(Read(root, "<r>\n<a></b></r>"));
  auto errors = Entries(qelta::kErrFileIo);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], std::string("Error at 1, 0 while loading a.xvrn: ") +
                           XML_ErrorString(XML_ERROR_NO_ELEMENTS));
}

TEST_F(XmlReaderTest, VersionCheckRefusesOnlyNewer) {
  FnHandler* h = nullptr;
  IXmlBinding* root = Bind("r", 0, &h);
  root->AddAttribute("version", false);
  h->start = [&](IXmlReader& r) {
    std::string v;
    r.GetAttribute("version", v);
    XmlCheckVersion(r, v.c_str(), "1.0");
  };
  EXPECT_TRUE(Read(root, "<r version='1.0'/>"));
  EXPECT_TRUE(Read(root, "<r version='0.9'/>"));
  EXPECT_TRUE(Read(root, "<r version=''/>"));
  EXPECT_TRUE(Read(root, "<r/>"));
  EXPECT_FALSE(Read(root, "<r version='1.1'/>"));
  EXPECT_EQ(log_.GetNumberOfMessages(), 1);
}

TEST_F(XmlReaderTest, AbortStopsEveryFurtherCallback) {
  FnHandler* h = nullptr;
  FnHandler* child = nullptr;
  IXmlBinding* root = Bind("r", 0, &h);
  IXmlBinding* b = Bind("b", kXmlInheritMode, &child);
  root->AddChild(b, kXmlRepeat);
  int calls = 0;
  h->end = [&](IXmlReader&) { ++calls; };
  child->start = [&](IXmlReader& r) {
    ++calls;
    r.Abort("stop here");
    r.Abort("second");  // only the first failure is reported
  };
  EXPECT_FALSE(Read(root, "<r><b/><b/><b/></r>"));
  EXPECT_EQ(calls, 1);
  ASSERT_EQ(log_.GetNumberOfMessages(), 1);
  EXPECT_STREQ(log_.GetMessage(0),
               "Error at 1, 3 while loading a.xvrn: stop here");

  // The reader can be used again after a failed parse.
  child->start = nullptr;
  EXPECT_TRUE(Read(root, "<r><b/></r>"));
}

TEST_F(XmlReaderTest, DeepNestingFailsWithoutCrash) {
  IXmlBinding* root = Bind("r", 0);
  std::string doc = "<r>";
  for (int i = 0; i < 100000; ++i) doc += "<d>";
  EXPECT_FALSE(Read(root, doc));
  auto errors = Entries(qelta::kErrFileIo);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("nested too deeply"), std::string::npos);

  std::string ok = "<r>";
  for (size_t i = 0; i + 2 < qelta::kMaxXmlDepth; ++i) ok += "<d>";
  for (size_t i = 0; i + 2 < qelta::kMaxXmlDepth; ++i) ok += "</d>";
  ok += "</r>";
  log_.Flush();
  EXPECT_TRUE(Read(root, ok));
}

TEST_F(XmlReaderTest, HandlerExceptionIsRethrownAfterCleanUp) {
  FnHandler* h = nullptr;
  IXmlBinding* root = Bind("r", 0, &h);
  h->start = [](IXmlReader&) { throw std::bad_alloc(); };
  EXPECT_THROW(Read(root, "<r/>"), std::bad_alloc);
  EXPECT_EQ(log_.GetNumberOfMessages(), 0);
  h->start = nullptr;
  EXPECT_TRUE(Read(root, "<r/>"));
}

TEST_F(XmlReaderTest, NullErrorHandlerStillFails) {
  IXmlBinding* root = Bind("r", 0);
  EXPECT_FALSE(reader_.ReadString("<x/>", root, nullptr));
  EXPECT_FALSE(reader_.ReadFile("/nonexistent-dir/x", root, nullptr));
  EXPECT_TRUE(reader_.ReadString("<r/>", root, nullptr));
}

class XmlWriterTest : public ::testing::Test {
 protected:
  std::string text_;
  XmlWriterStringOutput output_{&text_};
  XmlWriter writer_{&output_};
};

TEST_F(XmlWriterTest, TextElementWithAttributesIsOneIndentedLine) {
  writer_.StartElement("root");
  text_.clear();
  writer_.AddIntAttribute("a", 1);
  writer_.AddStringAttribute("b", "x<y");
  writer_.WriteTextElement("e", "p\tq", 0);
  EXPECT_EQ(text_, "\t<e a=\"1\" b=\"x&lt;y\">p&#9;q</e>\n");

  // Queued attributes belong to one tag only.
  text_.clear();
  writer_.WriteTextElement("e", "p\tq", 1);
  writer_.WriteTextElement("e", "a\r\nb", 1);
  EXPECT_EQ(text_, "\t<e>p\\tq</e>\n\t<e>a&#13;\\nb</e>\n");
}

TEST_F(XmlWriterTest, NullAndEmptyTextAndBareStartEnd) {
  writer_.WriteTextElement("e", nullptr, 0);
  writer_.WriteTextElement("e", "", 0);
  writer_.StartElement("e");
  writer_.EndElement("e");
  EXPECT_EQ(text_, "<e />\n<e></e>\n<e>\n</e>\n");
  EXPECT_EQ(writer_.depth(), 0);
}

TEST_F(XmlWriterTest, EscapeModesByteByByte) {
  const char* all = "<>&\"'\\\x01\x7f\xC3\xA9";
  writer_.WriteTextElement("m", all, 0);
  writer_.WriteTextElement("m", all, 1);
  EXPECT_EQ(text_,
            "<m>&lt;&gt;&amp;&quot;&apos;\\.\x7f\xC3\xA9</m>\n"
            "<m>&lt;&gt;&amp;&quot;&apos;\\\\.\x7f\xC3\xA9</m>\n");

  text_.clear();
  writer_.AddStringAttribute("v", "a\nb\t\\\r");
  writer_.WriteTextElement("x", nullptr, 1);  // attributes are always mode 0
  EXPECT_EQ(text_, "<x v=\"a&#10;b&#9;\\&#13;\" />\n");
}

TEST_F(XmlWriterTest, NumbersUseSixteenSignificantDigits) {
  writer_.AddDoubleAttribute("a", 0.1);
  writer_.AddDoubleAttribute("b", 1.0 / 3.0);
  writer_.AddDoubleAttribute("c", 1e21);
  writer_.AddBoolAttribute("t", true);
  writer_.AddBoolAttribute("f", false);
  writer_.AddIntAttribute("i", -2147483647 - 1);
  writer_.WriteTextElement("n", nullptr, 0);
  EXPECT_EQ(text_,
            "<n a=\"0.1\" b=\"0.3333333333333333\" c=\"1e+21\" t=\"true\" "
            "f=\"false\" i=\"-2147483648\" />\n");

  text_.clear();
  const double values[] = {0.5, -1.0, 0.25};
  writer_.WriteDoubleList("p", values, 3, "*", -1.0);
  writer_.WriteDoubleList("q", values, 2, nullptr, 0.0);
  writer_.WriteDoubleList("r", values, 0, nullptr, 0.0);
  const char* strings[] = {"a", "b<"};
  writer_.WriteStringList("s", strings, 2);
  EXPECT_EQ(text_,
            "<p>0.5 * 0.25</p>\n<q>0.5 -1</q>\n<r></r>\n<s>a b<</s>\n");
}

TEST_F(XmlWriterTest, HeaderCommentAndScopesNest) {
  writer_.WriteHeader(true);
  writer_.WriteComment("made <here>");
  {
    XmlElementScope outer(writer_, "a");
    XmlElementScope inner(writer_, "b");
    writer_.WriteComment("in");
    writer_.WriteComment("a--b---");  // "--" may not stand in a comment
  }
  EXPECT_EQ(text_,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!-- made <here> -->\n<a>\n\t<b>\n\t\t<!-- in -->\n"
            "\t\t<!-- a- -b- - - -->\n\t</b>\n</a>\n");
}

TEST(XmlWriterNumbersTest, EveryDoubleReadsBackExactly) {
  std::string text;
  XmlWriterStringOutput out(&text);
  XmlWriter writer(&out);
  const double values[] = {1.0 / 6.0, 0.1 + 0.2, 0.25, 1e-300, 2.0 / 3.0};
  writer.WriteDoubleList("v", values, 5, nullptr, 0.0);
  std::istringstream in(text.substr(text.find('>') + 1));
  for (double v : values) {
    double back = 0;
    in >> back;
    EXPECT_EQ(back, v);
  }
}

}  // namespace
