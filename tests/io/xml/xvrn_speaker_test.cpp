#include "io/xml/xvrn_speaker.h"

#include <gtest/gtest.h>

#include <string>

#include "base/error_log.h"
#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "io/xml/xml_reader.h"

namespace {

using qelta::FormatExtension;

bool LogHas(const VRN_network& net, int code, const std::string& part) {
  const VRN_errorLog* log = net.ErrorLog();
  for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
    if (log->GetCode(i) == code &&
        std::string(log->GetMessage(i)).find(part) != std::string::npos) {
      return true;
    }
  }
  return false;
}

constexpr const char* kTwoNodes =
    "<qelta version=\"1.0\" id=\"Net\">\n"
    "<nodes>\n"
    "<cpt id=\"A\"><state id=\"a0\"/><state id=\"a1\"/>"
    "<probabilities>0.5 0.5</probabilities></cpt>\n"
    "<cpt id=\"B\"><state id=\"b0\"/><state id=\"b1\"/><parents>A</parents>"
    "<probabilities>0.5 0.5 0.25 0.75</probabilities></cpt>\n"
    "</nodes>\n"
    "<extensions><zantu version=\"1.0\" name=\"Shown\"/></extensions>\n"
    "</qelta>\n";

TEST(XvrnSpeakerTest, GuaranteesBothLoadingShortcuts) {
  VRN_network net;
  VRN_xvrnSpeaker speaker(&net);
  EXPECT_TRUE(speaker.GuaranteesUniqueIds());
  EXPECT_TRUE(speaker.GuaranteesAcyclic());
  EXPECT_EQ(speaker.extension().kind(), FormatExtension::Kind::kLayout);
}

TEST(XvrnSpeakerTest, ReadsTheLayoutBlockByDefaultAndOnlyWarnsWithoutOne) {
  VRN_network net;
  VRN_xvrnSpeaker speaker(&net);
  ASSERT_EQ(speaker.ReadString(kTwoNodes), 0);
  EXPECT_EQ(net.GetNumberOfNodes(), 2);
  EXPECT_STREQ(net.Header()->GetName(), "Shown");
  EXPECT_EQ(net.ErrorLog()->GetNumberOfMessages(), 0);

  VRN_network bare;
  VRN_xvrnSpeaker plain(&bare);
  plain.SetExtension(FormatExtension::None());
  ASSERT_EQ(plain.ReadString(kTwoNodes), 0);
  EXPECT_EQ(bare.GetNumberOfNodes(), 2);
  EXPECT_STRNE(bare.Header()->GetName(), "Shown");
  EXPECT_TRUE(LogHas(bare, qelta::kErrFileRead,
                     "Warning: Ignored unknown element 'zantu'"));
}

TEST(XvrnSpeakerTest, FailuresAnswerFileIoWithTheLoadersMessages) {
  VRN_network net;
  VRN_xvrnSpeaker speaker(&net);
  const std::string missing = testing::TempDir() + "xwrite_missing.xvrn";
  EXPECT_EQ(speaker.Read(missing.c_str()), qelta::kErrFileIo);
  EXPECT_TRUE(LogHas(net, qelta::kErrFileIo, "Can't open file " + missing));

  net.ErrorLog()->Flush();
  EXPECT_EQ(
      speaker.ReadString("<qelta version=\"1.0\" id=\"N\"><nodes>"
                         "<cpt id=\"A\"><state id=\"x\"/><state id=\"y\"/>"
                         "<probabilities>0.5 0.5</probabilities></cpt>"
                         "<cpt id=\"A\"><state id=\"x\"/><state id=\"y\"/>"
                         "<probabilities>0.5 0.5</probabilities></cpt>"
                         "</nodes></qelta>"),
      qelta::kErrFileIo);
  EXPECT_TRUE(
      LogHas(net, qelta::kErrFileIo, "Duplicated node identifier: 'A'"));

  net.ErrorLog()->Flush();
  EXPECT_EQ(speaker.Read(nullptr), qelta::kErrFileIo);
  EXPECT_EQ(speaker.Write(nullptr), qelta::kErrFileIo);
  EXPECT_EQ(net.ErrorLog()->GetNumberOfMessages(), 2);
}

TEST(XvrnSpeakerTest, WriteStringFollowsTheExtensionChoice) {
  VRN_network net;
  VRN_xvrnSpeaker speaker(&net);
  ASSERT_EQ(speaker.ReadString(kTwoNodes), 0);
  std::string text;
  ASSERT_EQ(speaker.WriteString(&text), 0);
  EXPECT_NE(text.find("<extensions>"), std::string::npos);
  EXPECT_NE(text.find("<!--"), std::string::npos);

  speaker.SetExtension(FormatExtension::None());
  std::string minimal;
  ASSERT_EQ(speaker.WriteString(&minimal), 0);
  EXPECT_EQ(minimal.find("extensions"), std::string::npos);
  EXPECT_EQ(minimal.find("<!--"), std::string::npos);
}

// A caller's block read in place of the layout block.
class NoteReader : public IXmlHandler {
 public:
  void OnStart(IXmlReader& reader) override {
    reader.GetAttribute("text", text);
  }
  void OnEnd(IXmlReader&) override { ++ends; }
  std::string text;
  int ends = 0;
};

TEST(XvrnSpeakerTest, CallerBindingReceivesItsBlock) {
  NoteReader handler;
  XmlBinding note(&handler, "note", 0);
  note.AddAttribute("text", true);
  VRN_network net;
  VRN_xvrnSpeaker speaker(&net);
  speaker.SetExtension(FormatExtension::ForReading(&note));
  ASSERT_EQ(speaker.ReadString("<qelta version=\"1.0\" id=\"N\"><nodes/>"
                               "<extensions><note text=\"hello\"/></extensions>"
                               "</qelta>"),
            0);
  EXPECT_EQ(handler.text, "hello");
  EXPECT_EQ(handler.ends, 1);
}

}  // namespace
