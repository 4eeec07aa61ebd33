#include "io/xml/xvrn_speaker.h"

#include <gtest/gtest.h>

#include <string>

#include "base/error_log.h"
#include "base/status.h"
#include "network/network.h"
#include "network/node.h"

namespace {

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

TEST(XvrnSpeakerTest, FailuresAnswerFileIo) {
  VRN_network net;
  VRN_xvrnSpeaker speaker(&net);
  const std::string missing = testing::TempDir() + "xwrite_missing.xvrn";
  EXPECT_EQ(speaker.Read(missing.c_str()), qelta::kErrFileIo);
  EXPECT_TRUE(LogHas(net, qelta::kErrFileIo, "Can't open file " + missing));

  net.ErrorLog()->Flush();
  EXPECT_EQ(speaker.Read(nullptr), qelta::kErrFileIo);
  EXPECT_EQ(speaker.Write(nullptr), qelta::kErrFileIo);
  EXPECT_EQ(net.ErrorLog()->GetNumberOfMessages(), 2);
}

}  // namespace
