// Reads that cannot give the file's network fail and leave the network as
// it was: tables with entries that are not numbers or utilities that are
// not finite, and files cut inside a statement (a cut between statements
// reads what comes before it).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta_test::LogText;
using qelta_test::TempPath;

// Reads text into a network holding one node "keep": the status, with the
// network unchanged whenever the read fails.
int ReadKeeping(const std::string& extension, const std::string& text,
                std::string* log = nullptr) {
  VRN_network net;
  EXPECT_EQ(net.AddNode(qelta::kDefCpt, "keep"), 0);
  TempPath file(extension, text);
  const int rc = net.ReadFile(file.path(), 0, 0);
  if (rc != qelta::kOk) {
    EXPECT_EQ(net.GetNumberOfNodes(), 1) << text;
    EXPECT_EQ(net.FindNode("keep"), 0) << text;
  }
  if (log != nullptr) *log = LogText(net);
  return rc;
}

// Node A of two states in each format; "@" stands for A's second entry.
const char kVrnA[] =
    "net N { node A { TYPE = CPT; DEFINITION = { NAMESTATES = (a0, a1); ";
const char kHuginA[] = "net { } node A { states = (\"a0\" \"a1\"); } ";
const char kDneA[] =
    "bnet N { node A { kind = NATURE; discrete = TRUE; states = (a0, a1); "
    "parents = (); ";
const char kBifA[] =
    "<BIF VERSION=\"0.3\"><NETWORK><NAME>N</NAME><VARIABLE TYPE=\"nature\">"
    "<NAME>A</NAME><OUTCOME>a0</OUTCOME><OUTCOME>a1</OUTCOME></VARIABLE>";

std::string Replaced(std::string text, const std::string& entry) {
  return text.replace(text.find('@'), 1, entry);
}

TEST(ReadCutTest, TableEntriesThatAreNotNumbersFailTheRead) {
  const std::string kVrn(kVrnA), kHugin(kHuginA), kDne(kDneA), kBif(kBifA);
  const std::string vrn_probs = kVrn + "PROBABILITIES = (0.2, @); }; }; };";
  const struct {
    const char* extension;
    std::string text;
    const char* bad;
    const char* good;
  } cases[] = {
      {".vrn", vrn_probs, "oops", "0.8"},
      {".dne", kDne + "probs = (0.2, @); }; };", "oops", "0.8"},
      {".net", kHugin + "potential (A) { data = ( 0.2 @ ); }", "oops", "0.8"},
      {".xml03", kBif + "<DEFINITION><FOR>A</FOR><TABLE>0.2 @</TABLE>"
                        "</DEFINITION></NETWORK></BIF>", "oops", "0.8"},
      // Utilities that are not finite numbers.
      {".net", kHugin + "decision D { states = (\"d0\" \"d1\"); } utility U { }"
                        " potential (A) { data = (0.5 0.5); }"
                        " potential (U | A D) { data = (@); }",
       "( nan 1 ) ( inf -inf )", "( 0 1 ) ( 2 3 )"},
      {".net", kHugin + "utility U { } potential (A) { data = (0.5 0.5); }"
                        " potential (U | A) { data = ( 1 @ ); }",
       "1e999", "0.8"},
      {".vrn", kVrn + "}; }; node U { TYPE = TABLE; PARENTS = (A); "
                      "DEFINITION = { UTILITIES = (1, @); }; }; };",
       "1e999", "0.8"},
      {".dne", kDne + "probs = (0.5, 0.5); }; node U { kind = UTILITY; "
                      "discrete = FALSE; parents = (A); functable = (1, @);"
                      " }; };", "1e999", "0.8"},
      {".xml03", "<BIF VERSION=\"0.3\"><NETWORK><NAME>N</NAME><VARIABLE "
                 "TYPE=\"utility\"><NAME>U</NAME></VARIABLE><DEFINITION><FOR>U"
                 "</FOR><TABLE>@</TABLE></DEFINITION></NETWORK></BIF>",
       "1e999", "0.8"},
      // A table of the wrong size.
      {".vrn", vrn_probs, "0.3, 0.5", "0.8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.extension) + "\n" + c.text + "\n" + c.bad);
    std::string log;
    EXPECT_LT(ReadKeeping(c.extension, Replaced(c.text, c.bad), &log), 0);
    EXPECT_FALSE(log.empty());
    EXPECT_EQ(ReadKeeping(c.extension, Replaced(c.text, c.good), &log),
              qelta::kOk)
        << log;
  }
}

// A -> B, and with decisions D, B -> U: every kind of table the formats
// write.
void MakeSmallNetwork(VRN_network* net, bool decisions) {
  TempPath file(".net",
                std::string(kHuginA) +
                    "node B { states = (\"b0\" \"b1\"); }"
                    " potential (A) { data = (0.25 0.75); }"
                    " potential (B | A) { data = ((0.5 0.5)(0.125 0.875)); }" +
                    (decisions ? " decision D { states = (\"d0\" \"d1\"); }"
                                 " utility U { }"
                                 " potential (U | B D) { data = ((1 2)(3 4)); }"
                               : ""));
  ASSERT_EQ(net->ReadFile(file.path(), 0, 0), qelta::kOk) << LogText(*net);
  ASSERT_EQ(net->GetNumberOfNodes(), decisions ? 4 : 2);
}

std::string Written(VRN_network& net, const std::string& extension) {
  TempPath file(extension);
  EXPECT_EQ(net.WriteFile(file.path(), 0, 0), qelta::kOk);
  return qelta_test::ReadWholeFile(file.path());
}

// Every cut of the file: one ending after a statement's ";", a block's
// "{" or "}" reads; any other fails with the end-of-input code (or the
// code of a string left open), leaving the network as it was.
void ExpectCutsSplitAtStatements(const std::string& extension,
                                 const std::string& whole,
                                 std::size_t header_end) {
  for (std::size_t cut = 0; cut < whole.size(); ++cut) {
    const std::string text = whole.substr(0, cut);
    SCOPED_TRACE(extension + " cut at " + std::to_string(cut) + ": ..." +
                 text.substr(text.size() > 40 ? text.size() - 40 : 0));
    const int rc = ReadKeeping(extension, text);
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    const char end = last == std::string::npos ? '\0' : text[last];
    if (cut < header_end) {
      EXPECT_LT(rc, 0);
    } else if (end == ';' || end == '{' || end == '}') {
      EXPECT_EQ(rc, qelta::kOk);
    } else if (rc != qelta::kErrUnexpectedEof) {
      EXPECT_EQ(rc, qelta::kErrNoMoreTokens);
    }
  }
}

TEST(ReadCutTest, FilesCutInsideAStatementOrTableFail) {
  VRN_network net, chance;  // chance: the native text file is long
  MakeSmallNetwork(&net, true);
  MakeSmallNetwork(&chance, false);
  const std::string vrn = Written(chance, ".vrn");
  ExpectCutsSplitAtStatements(".vrn", vrn, vrn.find("net") + 3);
  const std::string dne = Written(net, ".dne");
  ExpectCutsSplitAtStatements(".dne", dne, dne.find("bnet") + 4);

  // What a cut between statements keeps is read as the file says.
  VRN_network read;
  TempPath file(".vrn", vrn.substr(0, vrn.find(" node B")));
  ASSERT_EQ(read.ReadFile(file.path(), 0, 0), qelta::kOk) << LogText(read);
  EXPECT_EQ(read.GetNumberOfNodes(), 1);
  EXPECT_EQ(qelta_test::Table(read, read.FindNode("A")),
            (std::vector<double>{0.25, 0.75}));

  // The other text formats, cut right after the given text.
  const struct {
    const char* extension;
    const char* inside;
  } cases[] = {{".net", "data = ((0.5"}, {".net", "potential (B |"},
               {".dsc", "(0) : 0.5"},    {".xml03", "<TABLE>"},
               {".erg", "4\n0.5"},       {".erg", "\n2\n"}};
  for (const auto& c : cases) {
    const std::string whole =
        Written(c.extension[1] == 'e' ? chance : net, c.extension);
    const std::size_t at = whole.find(c.inside);
    ASSERT_NE(at, std::string::npos) << c.extension << " " << c.inside;
    SCOPED_TRACE(std::string(c.extension) + " cut after " + c.inside);
    EXPECT_EQ(ReadKeeping(c.extension,
                          whole.substr(0, at + std::string(c.inside).size())),
              qelta::kErrNoMoreTokens);
  }
  // KI: a cut inside a block, and one between its blocks (a block missing).
  const std::string ki = "diagnostic network \"x\"\nkb { }\n";
  EXPECT_EQ(ReadKeeping(".dxp", ki + "nodes { }\nnetwork {\n"),
            qelta::kErrNoMoreTokens);
  EXPECT_EQ(ReadKeeping(".dxp", ki + "nodes { standard A"),
            qelta::kErrNoMoreTokens);
  EXPECT_EQ(ReadKeeping(".dxp", ki), qelta::kErrSyntax);
  // No cut of any of them crashes or changes the network it fails to read.
  for (const char* extension : {".net", ".dsc", ".xml03", ".erg"}) {
    const std::string whole = Written(extension[1] == 'e' ? chance : net,
                                      extension);
    for (std::size_t cut = 0; cut < whole.size(); cut += 3) {
      (void)ReadKeeping(extension, whole.substr(0, cut));
    }
  }
}

}  // namespace
