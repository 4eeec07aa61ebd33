#include "io/text/xmlbif.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "io/format.h"
#include "io/text/text_network_util.h"

namespace {

using namespace qelta_test;

constexpr int kXmlBif = qelta::kFormatXmlBif;

constexpr char kDocument[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE BIF [\n"
    "  <!ELEMENT BIF ( NETWORK )*>\n"
    "  <!ATTLIST BIF VERSION CDATA #REQUIRED>\n"
    "]>\n"
    "<!-- a comment with \"quotes\", <tags> and 'apostrophes' -->\n"
    "<BIF VERSION=\"0.3\">\n"
    "<NETWORK>\n"
    "<NAME>Study net</NAME>\n"
    "<PROPERTY>software x</PROPERTY>\n"
    "<other:meta kind='a > b'><inner>text</inner><empty/></other:meta>\n"
    "<VARIABLE TYPE=\"nature\">\n"
    "  <NAME>Smoker status</NAME>\n"
    "  <OUTCOME>yes</OUTCOME>\n"
    "  <OUTCOME> no </OUTCOME>\n"
    "  <PROPERTY>position = (1, 2)</PROPERTY>\n"
    "</VARIABLE>\n"
    "<VARIABLE TYPE=\"chance\">\n"
    "  <NAME>Age</NAME>\n"
    "  <OUTCOME>&lt;5</OUTCOME>\n"
    "  <OUTCOME>5-12</OUTCOME>\n"
    "  <OUTCOME><![CDATA[>=12]]></OUTCOME>\n"
    "</VARIABLE>\n"
    "<DEFINITION>\n"
    "  <GIVEN>Smoker status</GIVEN>\n"
    "  <FOR>Age</FOR>\n"
    "  <TABLE>0.1 0.2 0.7\n"
    "         0.5 0.25 0.25</TABLE>\n"
    "</DEFINITION>\n"
    "<DEFINITION><FOR>Smoker status</FOR><TABLE>0.3 0.7</TABLE></DEFINITION>\n"
    "</NETWORK>\n"
    "</BIF>\n";

int ReadText(VRN_network* network, const std::string& text) {
  TempPath file(".xml", text);
  return network->ReadFile(file.path(), kXmlBif, 0);
}

TEST(XmlBifTest, ReadsVariablesAndDefinitions) {
  VRN_network network;
  ASSERT_EQ(ReadText(&network, kDocument), qelta::kOk) << LogText(network);
  EXPECT_EQ(LogText(network), "");
  EXPECT_STREQ(network.Header()->GetName(), "Study net");
  EXPECT_STREQ(network.Header()->GetId(), "Study_net");
  // Names are kept as written; ids are their repairs.
  const int smoker = network.FindNode("Smoker_status");
  const int age = network.FindNode("Age");
  ASSERT_GE(smoker, 0);
  ASSERT_GE(age, 0);
  EXPECT_STREQ(network.GetNode(smoker)->Header().GetName(), "Smoker status");
  EXPECT_EQ(OutcomeIds(network, smoker), (Strings{"yes", "no"}));
  EXPECT_EQ(OutcomeIds(network, age), (Strings{"x_5", "x5_12", "x__12"}));
  // A GIVEN before the FOR is a parent all the same.
  EXPECT_EQ(ParentIds(network, age), (Strings{"Smoker_status"}));
  EXPECT_EQ(Table(network, age), (Doubles{0.1, 0.2, 0.7, 0.5, 0.25, 0.25}));
  EXPECT_EQ(Table(network, smoker), (Doubles{0.3, 0.7}));
}

TEST(XmlBifTest, ElementNamesCutShortStandForTheFullOnes) {
  std::string cut = kDocument;
  for (const auto& names : std::vector<std::pair<std::string, std::string>>{
           {"NETWORK>", "NETW>"}, {"<VARIABLE", "<var"},
           {"/VARIABLE>", "/VAR>"}, {"DEFINITION>", "Def>"}, {"NAME>", "NA>"},
           {"OUTCOME>", "OUT>"}, {"FOR>", "F>"}, {"GIVEN>", "G>"},
           {"TABLE>", "T>"}, {"PROPERTY>", "PROP>"}}) {
    for (std::size_t at = cut.find(names.first); at != std::string::npos;
         at = cut.find(names.first, at)) {
      cut.replace(at, names.first.size(), names.second);
    }
  }
  ASSERT_NE(cut.find("<NETW>"), std::string::npos);
  VRN_network full, network;
  ASSERT_EQ(ReadText(&full, kDocument), qelta::kOk) << LogText(full);
  ASSERT_EQ(ReadText(&network, cut), qelta::kOk) << LogText(network);
  EXPECT_EQ(LogText(network), "");
  EXPECT_STREQ(network.Header()->GetName(), "Study net");
  ExpectSameNetwork(full, network, 0.0);
}

TEST(XmlBifTest, SkippedElementsWithoutANetworkFailTheRead) {
  VRN_network network;
  ASSERT_GE(network.AddNode(qelta::kDefCpt, "keep"), 0);
  // A name longer than NETWORK is another element, skipped whole.
  EXPECT_EQ(ReadText(&network,
                     "<BIF VERSION=\"0.3\">\n<NETWORKS><NAME>n</NAME>"
                     "<VARIABLE><NAME>A</NAME><OUTCOME>a</OUTCOME></VARIABLE>"
                     "</NETWORKS>\n</BIF>\n"),
            qelta::kErrSyntax);
  EXPECT_NE(LogText(network).find("-127 (line 3) : ERROR: 'NETWORKS' : "),
            std::string::npos)
      << LogText(network);
  EXPECT_EQ(network.GetNumberOfNodes(), 1);
  EXPECT_GE(network.FindNode("keep"), 0);
  // Beside a NETWORK, an element of another vocabulary is only skipped; an
  // empty BIF is an empty network.
  EXPECT_EQ(ReadText(&network,
                     "<BIF VERSION=\"0.3\"><extra/><NETWORK><VARIABLE>"
                     "<NAME>A</NAME><OUTCOME>a</OUTCOME><OUTCOME>b</OUTCOME>"
                     "</VARIABLE></NETWORK>"
                     "</BIF>"),
            qelta::kOk)
      << LogText(network);
  EXPECT_GE(network.FindNode("A"), 0);
  EXPECT_EQ(ReadText(&network, "<BIF VERSION=\"0.3\"></BIF>"), qelta::kOk);
  EXPECT_EQ(network.GetNumberOfNodes(), 0);
}

TEST(XmlBifTest, NodesKeepTheirIdsBesideTheNetworkName) {
  VRN_network network;
  ASSERT_EQ(ReadText(&network,
                     "<BIF VERSION=\"0.3\"><NETWORK><NAME>Age</NAME>"
                     "<VARIABLE><NAME>Age</NAME><OUTCOME>a</OUTCOME>"
                     "<OUTCOME>b</OUTCOME></VARIABLE></NETWORK></BIF>"),
            qelta::kOk)
      << LogText(network);
  EXPECT_GE(network.FindNode("Age"), 0);
  EXPECT_STREQ(network.Header()->GetName(), "Age");
  EXPECT_STREQ(network.Header()->GetId(), "Age_2");
}

TEST(XmlBifTest, VersionAndDocumentFailures) {
  VRN_network network;
  ASSERT_GE(network.AddNode(qelta::kDefCpt, "keep"), 0);
  EXPECT_EQ(ReadText(&network, "<BIF VERSION=\"0.2\"><NETWORK/></BIF>"),
            qelta::kErrOutOfRange);
  EXPECT_NE(LogText(network).find("ERROR: Incorrect BIF Version"),
            std::string::npos);
  EXPECT_EQ(ReadText(&network, "<BIF><NETWORK/></BIF>"), qelta::kErrOutOfRange);
  EXPECT_EQ(ReadText(&network, "<!-- <BIF VERSION=\"0.3\"> -->\n<NET/>"),
            qelta::kErrOutOfRange);
  EXPECT_NE(LogText(network).find("ERROR: [BIF] : Tag Not found"),
            std::string::npos);
  // Cut short before the end tag of BIF, in a comment, inside a tag.
  EXPECT_EQ(ReadText(&network,
                     "<BIF VERSION=\"0.3\"><NETWORK><VARIABLE><NAME>A</NAME>"),
            qelta::kErrNoMoreTokens);
  EXPECT_EQ(ReadText(&network, "<BIF VERSION=\"0.3\"><!-- open"),
            qelta::kErrNoMoreTokens);
  EXPECT_EQ(ReadText(&network, "<BIF VERSION=\"0.3\"><NETWORK"),
            qelta::kErrNoMoreTokens);
  EXPECT_EQ(ReadText(&network, ""), qelta::kErrEndOfFile);
  EXPECT_EQ(network.GetNumberOfNodes(), 1);
  EXPECT_GE(network.FindNode("keep"), 0);
  // The empty BIF of a version that is a beginning of 0.3 is a network.
  EXPECT_EQ(ReadText(&network, "<BIF VERSION=\"0.\"/>"), qelta::kOk);
  EXPECT_EQ(network.GetNumberOfNodes(), 0);
}

TEST(XmlBifTest, BadElementsAreLoggedAndSkipped) {
  VRN_network network;
  const char text
      [] = "<BIF VERSION=\"0.3\">\n"                                 // 1
           "<NETWORK>\n"                                             // 2
           "<VARIABLE TYPE=\"mystery\"><NAME>M</NAME></VARIABLE>\n"  // 3
           "<VARIABLE><NAME>A</NAME><OUTCOME>a0</OUTCOME><OUTCOME>a1</OUTCOME>"
           "<TABLE>1</TABLE><OUTCOME><FOR>x</FOR></OUTCOME><b>x</b></"
           "VARIABLE>\n"  // 4
           "<VARIABLE><NAME>B</NAME><OUTCOME>b0</OUTCOME><OUTCOME>b1</OUTCOME>"
           "</VARIABLE>\n"                                                // 5
           "<DEFINITION><FOR>A</FOR><TABLE>0.5 x</TABLE></DEFINITION>\n"  // 6
           "<DEFINITION><FOR>B</FOR><GIVEN>A</GIVEN><GIVEN>Q</GIVEN>"
           "<TABLE>0.5 0.5</TABLE><OUTCOME/><NOTE/></DEFINITION>\n"         // 7
           "<DEFINITION><FOR>B</FOR><TABLE>1 0 1 0</TABLE></DEFINITION>\n"  // 8
           "<DEFINITION><FOR>Nobody</FOR></DEFINITION>\n"                   // 9
           "<VARIABLE><NAME>A</NAME></VARIABLE>\n"  // 10
           "<VARIABLE><NAME></NAME></VARIABLE>\n"   // 11
           "</NETWORK>\n"
           "<EXTRA/><VARIABLE/>\n"  // 13
           "</BIF>\n";
  // Definitions that cannot be built make the read fail, reasons logged.
  ASSERT_EQ(ReadText(&network, text), qelta::kErrFileIo) << LogText(network);
  const std::string log = LogText(network);
  for (const char* message :
       {"(line 3) : ERROR: mystery : Unknown node type",
        "(line 4) : ERROR: 'TABLE' : Unknown Node Field",
        "(line 4) : ERROR: 'FOR' : Unexpected element",
        "(line 6) : ERROR: 'x' : Number expected",
        "(line 7) : ERROR: Node [Q] not found",
        "(line 7) : ERROR: 'OUTCOME' : Unknown Definition Field",
        "(line 7) : ERROR: Node [B] : 2 numbers in TABLE, 4 in its table",
        "(line 8) : ERROR: Node [B] has a definition already",
        "(line 9) : ERROR: Node [Nobody] not found",
        "(line 10) : ERROR: 'A' : Variable name used before",
        "(line 11) : ERROR: Empty <NAME> element",
        "(line 13) : ERROR: 'VARIABLE' : Misplaced statement"}) {
    EXPECT_NE(log.find(message), std::string::npos) << message << "\n" << log;
  }
  EXPECT_EQ(network.GetNumberOfNodes(), 0);
}

TEST(XmlBifTest, WritesTheHeaderAndElements) {
  VRN_network network;
  ASSERT_EQ(ReadText(&network, kDocument), qelta::kOk);
  TempPath out(".xml03");
  ASSERT_EQ(network.WriteFile(out.path(), 0, 0), qelta::kOk)
      << LogText(network);
  const std::string text = qelta_test::ReadWholeFile(out.path());
  EXPECT_EQ("", XmlNotWellFormed(text));
  EXPECT_EQ(text.substr(0, text.find("\t<!ELEMENT")),
            "<?xml version=\"1.0\"?>\n"
            "\n"
            "<!--\n"
            "\tBayesian network in XMLBIF v0.3 (BayesNet Interchange Format)\n"
            "\tProduced by the qelta engine\n"
            "-->\n"
            "<!-- DTD for the XMLBIF 0.3 format -->\n"
            "<!DOCTYPE BIF [\n");
  const std::string body = text.substr(text.find("]>\n"));
  EXPECT_EQ(body,
            "]>\n"
            "\n"
            "<BIF VERSION=\"0.3\">\n"
            "<NETWORK>\n"
            " <NAME>Study_net</NAME>\n"
            "\n"
            " <VARIABLE TYPE=\"chance\">\n"
            "  <NAME>Smoker_status</NAME>\n"
            "  <OUTCOME>yes</OUTCOME>\n"
            "  <OUTCOME>no</OUTCOME>\n"
            " </VARIABLE>\n"
            "\n"
            " <VARIABLE TYPE=\"chance\">\n"
            "  <NAME>Age</NAME>\n"
            "  <OUTCOME>x_5</OUTCOME>\n"
            "  <OUTCOME>x5_12</OUTCOME>\n"
            "  <OUTCOME>x__12</OUTCOME>\n"
            " </VARIABLE>\n"
            "\n"
            " <DEFINITION>\n"
            "  <FOR>Smoker_status</FOR>\n"
            "  <TABLE>\n"
            "   0.3 0.7 \n"
            "  </TABLE>\n"
            " </DEFINITION>\n"
            "\n"
            " <DEFINITION>\n"
            "  <FOR>Age</FOR>\n"
            "  <GIVEN>Smoker_status</GIVEN>\n"
            "  <TABLE>\n"
            "   0.1 0.2 0.7 0.5 0.25 0.25 \n"
            "  </TABLE>\n"
            " </DEFINITION>\n"
            "</NETWORK>\n"
            "</BIF>\n");
  // The upper-case declaration and unquoted default of older files read too.
  std::string old = text;
  old.replace(0, old.find('\n'), "<?XML VERSION=\"1.0\"?>");
  const std::string quoted = "utility) \"chance\">";
  ASSERT_NE(old.find(quoted), std::string::npos);
  old.replace(old.find(quoted), quoted.size(), "utility) chance>");
  VRN_network back;
  ASSERT_EQ(ReadText(&back, old), qelta::kOk) << LogText(back);
  EXPECT_EQ(LogText(back), "");
  ExpectSameNetwork(network, back, 0.0);
}

TEST(XmlBifTest, WriteReadWriteKeepsEverything) {
  VRN_network first;
  ASSERT_EQ(ReadText(&first, kDocument), qelta::kOk);
  VRN_network second;
  qelta_test::ExpectWriteReadWriteStable(first, &second, ".xml03", kXmlBif,
                                         kXmlBif, true, false);
  EXPECT_EQ(LogText(second), "");
}

TEST(XmlBifTest, TheExtensionChoosesTheFormat) {
  EXPECT_EQ(VRN_network::FormatFromName("a.XML03"), qelta::kFormatXmlBif);
  EXPECT_EQ(VRN_network::FormatFromName("a.b.net"), qelta::kFormatHugin);
  EXPECT_EQ(VRN_network::FormatFromName("a.Dsc"), qelta::kFormatMsbn);
  // "xml" selects nothing: such files are read with the explicit code.
  VRN_network network;
  TempPath file(".xml", kDocument);
  EXPECT_EQ(network.ReadFile(file.path(), 0, 0), qelta::kErrOutOfRange);
  EXPECT_NE(LogText(network).find("Unknown File Format"), std::string::npos);
  EXPECT_EQ(network.ReadFile(file.path(), kXmlBif, 0), qelta::kOk);
}

// Stored text never carries bytes that are not UTF-8: names get U+FFFD in
// their place, ids '_' (kept distinct), and messages quoting the file too.
// Definitions still find their variables by the names as written.
TEST(XmlBifTest, InvalidUtf8IsRepairedWhereverTextIsStored) {
  const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  VRN_network network;
  ASSERT_EQ(ReadText(&network,
                     "<BIF VERSION=\"0.3\"><NETWORK><NAME>Net\xff</NAME>\n"
                     "<VARIABLE><NAME>a\xff</NAME><OUTCOME>s\xff</OUTCOME>"
                     "<OUTCOME>s_</OUTCOME></VARIABLE>\n"
                     "<VARIABLE><NAME>a\xfe</NAME><OUTCOME>t</OUTCOME>"
                     "<OUTCOME>u</OUTCOME></VARIABLE>\n"
                     "<DEFINITION><FOR>a\xff</FOR><TABLE>0.3 0.7</TABLE>"
                     "</DEFINITION>\n"
                     "<DEFINITION><FOR>a\xfe</FOR><GIVEN>a\xff</GIVEN>"
                     "<TABLE>0.1 0.9 0.6 0.4</TABLE></DEFINITION>\n"
                     "</NETWORK></BIF>\n"),
            qelta::kOk)
      << LogText(network);
  qelta_test::ExpectAllTextIsUtf8(network);
  VRN_network unknown;
  ASSERT_EQ(ReadText(&unknown,
                     "<BIF VERSION=\"0.3\"><NETWORK>\n"
                     "<DEFINITION><FOR>b\xff</FOR></DEFINITION>\n"
                     "</NETWORK></BIF>\n"),
            qelta::kErrFileIo);
  EXPECT_NE(LogText(unknown).find("Node [b" + r + "] not found"),
            std::string::npos)
      << LogText(unknown);
  EXPECT_EQ(std::string(network.Header()->GetName()), "Net" + r);
  EXPECT_STREQ(network.Header()->GetId(), "Net_");
  const int first = network.FindNode("a_");
  const int second = network.FindNode("a__2");
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  EXPECT_EQ(std::string(network.GetNode(first)->Header().GetName()), "a" + r);
  EXPECT_EQ(std::string(network.GetNode(second)->Header().GetName()), "a" + r);
  EXPECT_EQ(OutcomeIds(network, first), (Strings{"s__2", "s_"}));
  EXPECT_EQ(ParentIds(network, second), (Strings{"a_"}));
  EXPECT_EQ(Table(network, first), (Doubles{0.3, 0.7}));
  EXPECT_EQ(Table(network, second), (Doubles{0.1, 0.9, 0.6, 0.4}));
}

// UTF-8 text in UTF-16 of the given byte order, with a byte-order mark
// when bom is set.
std::string Utf16(const std::string& text, bool little, bool bom) {
  std::string out;
  auto unit = [&](unsigned u) {
    const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
    out += little ? low : high;
    out += little ? high : low;
  };
  if (bom) unit(0xFEFF);
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    unsigned code = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) code = code << 6 | (text[i + k] & 0x3F);
    i += 1 + extra;
    if (code >= 0x10000) {
      unit(0xD800 + ((code - 0x10000) >> 10));
      unit(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      unit(code);
    }
  }
  return out;
}

// A declared encoding is honoured or the file is refused, naming it: the
// text of one network in each encoding reads as its UTF-8 form does.
TEST(XmlBifTest, DeclaredEncodingsAreHonouredOrRefused) {
  auto document = [](const std::string& declaration, const std::string& name,
                     const std::string& first, const std::string& second,
                     const std::string& other = "B") {
    return declaration + "<BIF VERSION=\"0.3\"><NETWORK><NAME>n</NAME>\n<VARIABLE><NAME>" + name +
           "</NAME><OUTCOME>" + first + "</OUTCOME><OUTCOME>" + second +
           "</OUTCOME></VARIABLE>\n<VARIABLE><NAME>" + other +
           "</NAME><OUTCOME>a</OUTCOME><OUTCOME>b</OUTCOME></VARIABLE>\n<DEFINITION><FOR>" +
           name + "</FOR><TABLE>0.25 0.75</TABLE></DEFINITION>\n</NETWORK></BIF>\n";
  };
  const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
  const std::string utf16 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n";
  // Beyond the basic plane too, through a surrogate pair.
  const std::string clef = "\xF0\x9D\x84\x9E";
  const std::string wide = document(utf16, "\xC3\x84rger", "\xC3\xA4", "\xC3\xB6", clef);
  VRN_network expected_wide;
  ASSERT_EQ(ReadText(&expected_wide,
                     document(utf8, "\xC3\x84rger", "\xC3\xA4", "\xC3\xB6", clef)),
            qelta::kOk);
  VRN_network expected;
  ASSERT_EQ(ReadText(&expected, document(utf8, "\xC3\x84rger", "\xC3\xA4", "\xC3\xB6")),
            qelta::kOk)
      << LogText(expected);
  VRN_network ascii;
  ASSERT_EQ(ReadText(&ascii, document(utf8, "Arger", "a", "o")), qelta::kOk);
  const struct {
    std::string bytes;
    const VRN_network* as;  // null: refused with the message
    const char* message;
  } cases[] = {
      {document(latin1, "\xC4rger", "\xE4", "\xF6"), &expected, nullptr},
      {Utf16(wide, true, true), &expected_wide, nullptr},
      {Utf16(wide, false, true), &expected_wide, nullptr},
      {Utf16(wide, true, false), &expected_wide, nullptr},
      {document(latin1, "Arger", "a", "o"), &ascii, nullptr},
      {document("<?xml version='1.0' encoding='windows-1252'?>", "Arger", "a", "o"), &ascii,
       nullptr},
      {document("<?xml version='1.0' encoding='windows-1252'?>", "\xC4rger", "\xE4", "\xF6"),
       nullptr, "Encoding \"windows-1252\" is not supported"},
      {document("<?xml version='1.0' encoding='US-ASCII'?>", "\xC4rger", "a", "o"), nullptr,
       "Encoding \"US-ASCII\" is not supported"},
      {document(utf16, "Arger", "a", "o"), nullptr, "Encoding \"UTF-16\" declared"},
      {Utf16(wide, true, true).substr(0, 300) + std::string("\x00\xDC", 2), nullptr, "not valid UTF-16"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.substr(0, 60));
    VRN_network network;
    const int read = ReadText(&network, c.bytes);
    if (c.as == nullptr) {
      EXPECT_EQ(read, qelta::kErrFileIo);
      EXPECT_NE(LogText(network).find(c.message), std::string::npos) << LogText(network);
      EXPECT_EQ(network.GetNumberOfNodes(), 0);
      continue;
    }
    ASSERT_EQ(read, qelta::kOk) << LogText(network);
    ExpectSameNetwork(*c.as, network, 0.0);
    for (int h = c.as->GetFirstNode(); h >= 0; h = c.as->GetNextNode(h)) {
      const int other = network.FindNode(c.as->GetNode(h)->GetId());
      ASSERT_GE(other, 0);
      EXPECT_STREQ(network.GetNode(other)->Header().GetName(), c.as->GetNode(h)->Header().GetName());
      EXPECT_EQ(OutcomeIds(network, other), OutcomeIds(*c.as, h));
    }
  }
  EXPECT_STREQ(expected.GetNode(expected.FindNode("n") == 0 ? 1 : 0)->Header().GetName(),
               "\xC3\x84rger");
}

}  // namespace
