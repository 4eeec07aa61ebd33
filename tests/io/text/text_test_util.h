// Temporary files for the text format tests.
#ifndef QELTA_TESTS_IO_TEXT_TEXT_TEST_UTIL_H_
#define QELTA_TESTS_IO_TEXT_TEXT_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace qelta_test {

// A unique file in the test temp directory holding the given bytes;
// removed when the object dies.
class TempFile {
 public:
  explicit TempFile(const std::string& content = std::string()) {
    std::string pattern = ::testing::TempDir() + "qelta_text_XXXXXX";
    const int fd = mkstemp(&pattern[0]);
    if (fd >= 0) close(fd);
    path_ = pattern;
    std::ofstream out(path_, std::ios::binary);
    out << content;
  }
  ~TempFile() { std::remove(path_.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const char* path() const { return path_.c_str(); }
  std::string Contents() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::string path_;
};

}  // namespace qelta_test

#endif  // QELTA_TESTS_IO_TEXT_TEXT_TEST_UTIL_H_
