#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "io/format.h"
#include "io/xml/xml_net_loader.h"
#include "io/xml/xml_reader.h"
#include "io/xml/xml_writer.h"
#include "io/xml/xvrn_speaker.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr const char* kOtherNetwork =
    "<qelta version=\"1.0\" id=\"Other\" numsamples=\"77\">"
    "<nodes><cpt id=\"X\"><state id=\"x0\"/><state id=\"x1\"/>"
    "<probabilities>0.1 0.9</probabilities></cpt></nodes></qelta>";

bool LogHas(const VRN_errorLog& log, int code, const std::string& text) {
  for (int i = 0; i < log.GetNumberOfMessages(); ++i) {
    if (log.GetCode(i) == code && text == log.GetMessage(i)) return true;
  }
  return false;
}

std::string Dump(VRN_network& net) {
  std::string text;
  EXPECT_EQ(net.WriteString(text, qelta::kExtensionLayout), 0);
  return text;
}

std::string TempPath(const char* name) {
  return testing::TempDir() + "xwrite_network_io_" + name;
}

bool FileExists(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

// Two nodes, an arc, a property, a non-default setting and evidence.
void BuildSmall(VRN_network& net) {
  ASSERT_EQ(net.Header()->SetId("Small"), 0);
  net.SetRandSeed(5);
  const int a = net.AddNode(qelta::kDefCpt, "A");
  const int b = net.AddNode(qelta::kDefCpt, "B");
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  ASSERT_EQ(net.AddArc(a, b), 0);
  ASSERT_EQ(net.UserProperties().AddProperty("k", "v"), 0);
  ASSERT_EQ(net.GetNode(a)->Value()->SetEvidence(1), 0);
}

TEST(NetworkIoTest, FormatFromNameUsesTheLastExtensionWithoutCase) {
  EXPECT_EQ(VRN_network::FormatFromName("model.XVRN"), qelta::kFormatXvrn);
  EXPECT_EQ(VRN_network::FormatFromName("a.b.dsc"), qelta::kFormatMsbn);
  EXPECT_EQ(VRN_network::FormatFromName("dir.d/x.vrn"), qelta::kFormatVrn);
  EXPECT_EQ(VRN_network::FormatFromName(".xvrn"), qelta::kFormatXvrn);
  for (const char* name :
       {"model", "model.xml", "model.xvrn.bak", "model.", "model.xvrnx"}) {
    EXPECT_EQ(VRN_network::FormatFromName(name), qelta::kErrOutOfRange) << name;
  }
  EXPECT_EQ(VRN_network::FormatFromName(nullptr), qelta::kErrOutOfRange);
}

TEST(NetworkIoTest, CreateFormatReportsUnknownAndUnavailableFormats) {
  VRN_network net;
  int format = 0;
  VRN_fileFormat* speaker = net.CreateFormat("m.Qvrn", format);
  ASSERT_NE(speaker, nullptr);
  EXPECT_EQ(format, qelta::kFormatXvrn);
  EXPECT_EQ(speaker->GetNetwork(), &net);
  delete speaker;

  format = 0;
  EXPECT_EQ(net.CreateFormat("m.xml", format), nullptr);
  EXPECT_EQ(format, qelta::kErrOutOfRange);
  format = 9;
  EXPECT_EQ(net.CreateFormat("m.xvrn", format), nullptr);
  EXPECT_EQ(net.ErrorLog()->GetNumberOfMessages(), 2);
  EXPECT_TRUE(LogHas(*net.ErrorLog(), -2, "Unknown File Format"));

  net.ErrorLog()->Flush();
  format = 0;
  speaker = net.CreateFormat("m.dne", format);
  ASSERT_NE(speaker, nullptr);
  EXPECT_EQ(format, qelta::kFormatNetica);
  delete speaker;
}

// A host process with a decimal-comma locale still reads and writes numbers
// with a point, in files and in strings, in the Hugin text format too.
TEST(NetworkIoTest, NumbersIgnoreTheProcessLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
  }
  VRN_network net;
  ASSERT_EQ(net.ReadString(kOtherNetwork, qelta::kExtensionLayout), 0);
  std::string text;
  ASSERT_EQ(net.WriteString(text, qelta::kExtensionNone), 0);
  const std::string hugin = TempPath("comma.net");
  ASSERT_EQ(net.WriteFile(hugin.c_str(), 0, qelta::kExtensionLayout), 0);
  VRN_network back;
  const int read_rc = back.ReadFile(hugin.c_str(), 0, qelta::kExtensionLayout);
  std::remove(hugin.c_str());
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_NE(text.find("0.1 0.9"), std::string::npos) << text;
  ASSERT_EQ(read_rc, 0);
  const VRN_matrix* table =
      back.GetNode(back.FindNode("X"))->Definition()->GetMatrixConst();
  EXPECT_DOUBLE_EQ(table->GetItem(0), 0.1);
  EXPECT_DOUBLE_EQ(table->GetItem(1), 0.9);
}

// The network a read hands over holds everything the file says: cases,
// functions, costs, layout and all, as the loader itself built it.
TEST(NetworkIoTest, ReadFileTakesOverEverythingTheLoaderBuilt) {
  for (const char* name : {"writer_rich.xvrn", "layout_full.xvrn"}) {
    const std::string path = std::string(QELTA_TEST_DATA) + "/xml/" + name;
    VRN_network direct;
    direct.SetLoadFlags(qelta::kLoadLoading);
    ASSERT_TRUE(XmlNetLoader::Load(path.c_str(), nullptr, &direct)) << name;
    direct.SetLoadFlags(0);
    VRN_network net;
    BuildSmall(net);
    ASSERT_EQ(net.ReadFile(path.c_str(), 0, qelta::kExtensionLayout), 0)
        << name;
    EXPECT_EQ(Dump(net), Dump(direct)) << name;
    EXPECT_EQ(net.GetNumberOfCases(), direct.GetNumberOfCases()) << name;
  }
}

TEST(NetworkIoTest, SuccessfulReadReplacesEverythingButTheLogAndOptions) {
  VRN_network net;
  BuildSmall(net);
  net.SetRelevanceOptions(qelta::kRelArcAdded);
  net.ErrorLog()->LogError(-1, "before");
  ASSERT_EQ(net.ReadString(kOtherNetwork, qelta::kExtensionLayout), 0);
  EXPECT_STREQ(net.Header()->GetId(), "Other");
  EXPECT_EQ(net.GetNumberOfNodes(), 1);
  EXPECT_LT(net.FindNode("A"), 0);
  EXPECT_GE(net.FindNode("X"), 0);
  EXPECT_EQ(net.GetNumberOfSamples(), 77);
  EXPECT_EQ(net.GetRandSeed(), 0);
  EXPECT_EQ(net.UserProperties().GetSize(), 0);
  EXPECT_EQ(net.GetRelevanceOptions(), qelta::kRelArcAdded);
  EXPECT_EQ(net.GetLoadFlags(), 0);
  ASSERT_EQ(net.ErrorLog()->GetNumberOfMessages(), 1);
  EXPECT_STREQ(net.ErrorLog()->GetMessage(0), "before");
  // The network works as usual afterwards: it checks duplicates again.
  EXPECT_EQ(net.AddNode(qelta::kDefCpt, "X"), qelta::kErrOutOfRange);
}

TEST(NetworkIoTest, FailedReadsLeaveTheNetworkAsItWas) {
  VRN_network net;
  BuildSmall(net);
  net.ErrorLog()->LogError(-1, "before");
  const std::string before = Dump(net);
  const std::string missing = TempPath("missing.xvrn");

  EXPECT_EQ(net.ReadFile(missing.c_str(), 0, 0), qelta::kErrFileIo);
  EXPECT_EQ(net.ReadFile("model.xvrn", 9, 0), qelta::kErrOutOfRange);
  EXPECT_EQ(net.ReadFile("model.txt", 0, 0), qelta::kErrOutOfRange);
  EXPECT_EQ(net.ReadString("<qelta version=\"1.0\" id=\"B\"><nodes>"
                           "<cpt id=\"Q\"><state id=\"a\"/><state id=\"b\"/>"
                           "<probabilities>0.5 0.5</probabilities></cpt>"
                           "<cpt id=\"R\"><state id=\"a\"/><state id=\"b\"/>"
                           "<parents>Nope</parents>"
                           "<probabilities>1 0 0 1</probabilities></cpt>"
                           "</nodes></qelta>",
                           0),
            qelta::kErrFileIo);
  EXPECT_EQ(net.ReadString("not xml", qelta::kExtensionNone),
            qelta::kErrFileIo);
  EXPECT_EQ(net.ReadString(kOtherNetwork, 5), qelta::kErrOutOfRange);

  EXPECT_EQ(Dump(net), before);
  EXPECT_TRUE(net.GetNode(net.FindNode("A"))->Value()->HasEvidence());
  EXPECT_EQ(net.GetRelevanceOptions(), qelta::kRelAllOptions);
  EXPECT_EQ(net.GetLoadFlags(), 0);
  const VRN_errorLog& log = *net.ErrorLog();
  EXPECT_STREQ(log.GetMessage(0), "before");
  EXPECT_TRUE(LogHas(log, -2, "Unknown File Format"));
  EXPECT_TRUE(LogHas(log, -2, "Invalid extension word 5: 0 or -1 expected"));
  bool parent_message = false;
  for (int i = 0; i < log.GetNumberOfMessages(); ++i) {
    parent_message |=
        std::string(log.GetMessage(i)).find("Node parent not found: 'Nope'") !=
        std::string::npos;
  }
  EXPECT_TRUE(parent_message);
}

TEST(NetworkIoTest, RedirectInstalledBeforeAFailedReadStaysAndReceives) {
  VRN_network net;
  VRN_errorLog target;
  net.ErrorLog()->RedirectToLog(&target);
  const VRN_loggerRedirect* redirect = net.ErrorLog()->GetRedirect();
  EXPECT_EQ(net.ReadString("<qelta/>", 0), qelta::kErrFileIo);
  EXPECT_EQ(net.ErrorLog()->GetRedirect(), redirect);
  EXPECT_EQ(net.ErrorLog()->GetNumberOfMessages(), 0);
  EXPECT_GE(target.GetNumberOfMessages(), 1);
  // And after a successful one.
  ASSERT_EQ(net.ReadString(kOtherNetwork, 0), 0);
  EXPECT_EQ(net.ErrorLog()->GetRedirect(), redirect);
}

TEST(NetworkIoTest, XvrnSpeakerFailuresAnswerFileIo) {
  VRN_network net;
  VRN_xvrnSpeaker speaker(&net);
  const std::string missing = TempPath("missing.xvrn");
  EXPECT_EQ(speaker.Read(missing.c_str()), qelta::kErrFileIo);
  ASSERT_EQ(net.ErrorLog()->GetCode(0), qelta::kErrFileIo);
  EXPECT_NE(std::string(net.ErrorLog()->GetMessage(0)).find("Can't open file " + missing),
            std::string::npos);
  net.ErrorLog()->Flush();
  EXPECT_EQ(speaker.Read(nullptr), qelta::kErrFileIo);
  EXPECT_EQ(speaker.Write(nullptr), qelta::kErrFileIo);
  EXPECT_EQ(net.ErrorLog()->GetNumberOfMessages(), 2);
}

TEST(NetworkIoTest, WritesRefusedBeforeAnyFileIsTouched) {
  VRN_network net;
  BuildSmall(net);
  const std::string ki = TempPath("refused.xvrn");
  EXPECT_EQ(net.WriteFile(ki.c_str(), qelta::kFormatKi, 0),
            qelta::kErrOutOfRange);
  EXPECT_TRUE(
      LogHas(*net.ErrorLog(), -2, "Writing to KI file format not supported."));
  EXPECT_FALSE(FileExists(ki));

  // The code is refused whatever the name; the extension, in any case,
  // writes the native text layout.
  net.ErrorLog()->Flush();
  const std::string dxp = TempPath("text.DXP");
  std::remove(dxp.c_str());
  EXPECT_EQ(net.WriteFile(dxp.c_str(), qelta::kFormatKi, 0),
            qelta::kErrOutOfRange);
  ASSERT_EQ(net.ErrorLog()->GetNumberOfMessages(), 1);
  EXPECT_TRUE(
      LogHas(*net.ErrorLog(), -2, "Writing to KI file format not supported."));
  EXPECT_FALSE(FileExists(dxp));
  EXPECT_EQ(net.WriteFile(dxp.c_str(), 0, 0), qelta::kOk);
  EXPECT_TRUE(FileExists(dxp));
  std::remove(dxp.c_str());

  EXPECT_EQ(net.WriteFile(TempPath("x.unknown").c_str(), 0, 0),
            qelta::kErrOutOfRange);
  EXPECT_EQ(net.WriteFile(TempPath("y.xvrn").c_str(), 0, 3),
            qelta::kErrOutOfRange);
  EXPECT_FALSE(FileExists(TempPath("y.xvrn")));
}

TEST(NetworkIoTest, UnwritableFilesAnswerFailureWithAMessage) {
  VRN_network net;
  BuildSmall(net);
  const std::string missing = TempPath("no_dir/sub/net.xvrn");
  EXPECT_EQ(net.WriteFile(missing.c_str(), 0, 0), qelta::kErrFileIo);
  EXPECT_TRUE(LogHas(*net.ErrorLog(), qelta::kErrFileIo,
                     "Can't open file " + missing + " for writing"));
  std::FILE* probe = std::fopen("/dev/full", "w");
  if (probe == nullptr) GTEST_SKIP() << "/dev/full is not available";
  std::fclose(probe);
  EXPECT_EQ(net.WriteFile("/dev/full", qelta::kFormatXvrn, 0),
            qelta::kErrFileIo);
  EXPECT_TRUE(LogHas(*net.ErrorLog(), qelta::kErrFileIo,
                     "Error writing file /dev/full"));
  // A failed write removes what it cut short, but never a device.
  probe = std::fopen("/dev/full", "w");
  EXPECT_NE(probe, nullptr);
  if (probe != nullptr) std::fclose(probe);
}

// Caller blocks travel through the typed overloads.
class Marker : public IXmlWriterExtension {
 public:
  void Write(IXmlWriter& writer) override {
    writer.WriteTextElement("mark", "1", 0);
  }
  void GetComment(std::string& out) override { out.clear(); }
  void Release() override {}
};

class MarkReader : public IXmlHandler {
 public:
  void OnStart(IXmlReader&) override { ++seen; }
  void OnEnd(IXmlReader&) override {}
  int seen = 0;
};

TEST(NetworkIoTest, CallerExtensionsThroughFilesAndStrings) {
  VRN_network net;
  BuildSmall(net);
  Marker marker;
  std::string text;
  ASSERT_EQ(net.WriteString(text, &marker), 0);
  EXPECT_NE(text.find("\t<extensions>\n\t\t<mark>1</mark>\n"),
            std::string::npos);
  EXPECT_EQ(text.find("<!--"), std::string::npos);
  std::string plain;  // a null caller block writes no extensions at all
  ASSERT_EQ(net.WriteString(plain, static_cast<IXmlWriterExtension*>(nullptr)),
            0);
  EXPECT_EQ(plain.find("<extensions>"), std::string::npos);

  MarkReader handler;
  XmlBinding mark(&handler, "mark", 0);
  VRN_network back;
  ASSERT_EQ(back.ReadString(text.c_str(), &mark), 0);
  EXPECT_EQ(handler.seen, 1);

  const std::string path = TempPath("marked.xvrn");
  ASSERT_EQ(net.WriteFile(path.c_str(), 0, &marker), 0);
  VRN_network from_file;
  ASSERT_EQ(from_file.ReadFile(path.c_str(), 0, &mark), 0);
  std::remove(path.c_str());
  EXPECT_EQ(handler.seen, 2);
  EXPECT_EQ(from_file.GetNumberOfNodes(), 2);
}

}  // namespace
