#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "base/error_log.h"

namespace {

// A reader of the file sees each line while the redirect is still open.
TEST(ErrorLogFlushTest, FileRedirectWritesEachLineAtOnce) {
  const std::string path = testing::TempDir() + "qelta_flush_" +
                           std::to_string(getpid()) + ".txt";
  std::remove(path.c_str());
  VRN_errorLog log;
  ASSERT_EQ(log.RedirectToFile(path.c_str(), nullptr), 0);
  log.LogError(-2, "first");
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  EXPECT_EQ(text.str(), "-2: first\n");
  std::remove(path.c_str());
}

}  // namespace
