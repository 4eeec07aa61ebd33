#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "base/error_log.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A reader of the file sees every line while the redirect is still open.
TEST(ErrorLogFlushTest, FileRedirectWritesEachLineAtOnce) {
  const std::string path = testing::TempDir() + "qelta_flush_" +
                           std::to_string(getpid()) + ".txt";
  std::remove(path.c_str());
  {
    VRN_errorLog log;
    ASSERT_EQ(log.RedirectToFile(path.c_str(), nullptr), 0);
    log.LogError(-2, "first");
    EXPECT_EQ(ReadAll(path), "-2: first\n");
    log.LogError(-4, "second");
    EXPECT_EQ(ReadAll(path), "-2: first\n-4: second\n");
  }
  std::remove(path.c_str());
}

}  // namespace
