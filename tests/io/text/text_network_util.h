// Helpers of the text format tests that read and write whole networks:
// file texts, line-end conversion, network comparison and beliefs.
#ifndef QELTA_TESTS_IO_TEXT_TEXT_NETWORK_UTIL_H_
#define QELTA_TESTS_IO_TEXT_TEXT_NETWORK_UTIL_H_

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <expat.h>
#include <utf8.h>

#include "base/error_log.h"
#include "base/matrix.h"
#include "network/network.h"
#include "network/node.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"

namespace qelta_test {

using Strings = std::vector<std::string>;
using Doubles = std::vector<double>;

// A unique path in the test temp directory ending in suffix (such as
// ".net"), holding content; removed when the object dies.
class TempPath {
 public:
  explicit TempPath(const std::string& suffix,
                    const std::string& content = std::string()) {
    std::string pattern = ::testing::TempDir() + "qelta_net_XXXXXX" + suffix;
    const int fd = mkstemps(&pattern[0], static_cast<int>(suffix.size()));
    if (fd >= 0) close(fd);
    path_ = pattern;
    std::ofstream out(path_, std::ios::binary);
    out << content;
  }
  ~TempPath() { std::remove(path_.c_str()); }
  TempPath(const TempPath&) = delete;
  TempPath& operator=(const TempPath&) = delete;

  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The text with every LF preceded by a CR.
inline std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

// Every message of the network's log, one per line.
inline std::string LogText(const VRN_network& network) {
  std::string text;
  const VRN_errorLog* log = network.ErrorLog();
  for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
    text += std::to_string(log->GetCode(i)) + " " + log->GetMessage(i) + "\n";
  }
  return text;
}

inline int Node(const VRN_network& network, const char* id) {
  return network.FindNode(id);
}

inline std::vector<std::string> OutcomeIds(const VRN_network& network,
                                           int handle) {
  std::vector<std::string> ids;
  const VRN_idArray* names =
      network.GetNode(handle)->Definition()->GetOutcomesNames();
  for (int i = 0; names != nullptr && i < names->GetSize(); ++i) {
    ids.push_back(names->Get(i));
  }
  return ids;
}

inline std::vector<std::string> ParentIds(const VRN_network& network,
                                          int handle) {
  std::vector<std::string> ids;
  for (int parent : network.GetNode(handle)->Parents()) {
    ids.push_back(network.GetNode(parent)->GetId());
  }
  return ids;
}

inline std::vector<double> Table(const VRN_network& network, int handle) {
  std::vector<double> items;
  const VRN_matrix* table =
      network.GetNode(handle)->Definition()->GetMatrixConst();
  for (int i = 0; table != nullptr && i < table->GetItemCount(); ++i) {
    items.push_back(table->GetItem(i));
  }
  return items;
}

inline std::vector<double> Beliefs(const VRN_network& network, int handle) {
  std::vector<double> items;
  const VRN_matrix& value = network.GetNode(handle)->Value()->GetValue();
  for (int i = 0; i < value.GetItemCount(); ++i)
    items.push_back(value.GetItem(i));
  return items;
}

// Same node ids, kinds, outcome ids, parents in order, and tables within
// tolerance.
inline void ExpectSameNetwork(const VRN_network& expected,
                              const VRN_network& actual, double tolerance) {
  ASSERT_EQ(expected.GetNumberOfNodes(), actual.GetNumberOfNodes());
  for (int h = expected.GetFirstNode(); h >= 0; h = expected.GetNextNode(h)) {
    const char* id = expected.GetNode(h)->GetId();
    SCOPED_TRACE(id);
    const int other = actual.FindNode(id);
    ASSERT_GE(other, 0);
    EXPECT_EQ(expected.GetNode(h)->Definition()->GetType(),
              actual.GetNode(other)->Definition()->GetType());
    EXPECT_EQ(OutcomeIds(expected, h), OutcomeIds(actual, other));
    EXPECT_EQ(ParentIds(expected, h), ParentIds(actual, other));
    const std::vector<double> a = Table(expected, h);
    const std::vector<double> b = Table(actual, other);
    ASSERT_EQ(a.size(), b.size());
    double worst = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
      worst = std::max(worst, std::fabs(a[i] - b[i]));
    }
    EXPECT_LE(worst, tolerance);
  }
}

// Writes first to a file named with suffix (the format follows the name),
// reads that text into second with read_code (CR LF line ends when crlf),
// expects the same network within 1e-8 (names and positions too when
// layout) and the same text when second is written with `code`.
inline void ExpectWriteReadWriteStable(VRN_network& first, VRN_network* second,
                                       const char* suffix, int read_code,
                                       int code, bool crlf, bool layout) {
  TempPath text1(suffix);
  ASSERT_EQ(first.WriteFile(text1.path(), 0, 0), 0);
  const std::string written = ReadWholeFile(text1.path());
  TempPath input(suffix, crlf ? WithCrLf(written) : written);
  ASSERT_EQ(second->ReadFile(input.path(), read_code, 0), 0) << LogText(*second);
  ExpectSameNetwork(first, *second, 1e-8);
  for (int h = first.GetFirstNode(); layout && h >= 0;
       h = first.GetNextNode(h)) {
    const VRN_node* node = first.GetNode(h);
    const VRN_node* copy = second->GetNode(second->FindNode(node->GetId()));
    EXPECT_STREQ(node->Header().GetName(), copy->Header().GetName());
    EXPECT_EQ(node->ScreenInfo().x, copy->ScreenInfo().x);
    EXPECT_EQ(node->ScreenInfo().y, copy->ScreenInfo().y);
  }
  TempPath text2(suffix);
  ASSERT_EQ(second->WriteFile(text2.path(), code, 0), 0);
  EXPECT_EQ(written, ReadWholeFile(text2.path()));
}

// The texts' words, numbers compared within tolerance and everything else
// exactly; blanks and line breaks do not count. Words are runs of letters,
// digits and ". + - _"; every other character is a word of its own.
inline void ExpectSameText(const std::string& expected,
                           const std::string& actual, double tolerance) {
  auto words = [](const std::string& text) {
    std::vector<std::string> out;
    std::string word;
    auto flush = [&]() {
      if (!word.empty()) out.push_back(word);
      word.clear();
    };
    for (char c : text) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (std::isalnum(u) || c == '.' || c == '+' || c == '-' || c == '_' ||
          u >= 0x80) {
        word.push_back(c);
      } else {
        flush();
        if (!std::isspace(u)) out.emplace_back(1, c);
      }
    }
    flush();
    return out;
  };
  const std::vector<std::string> a = words(expected);
  const std::vector<std::string> b = words(actual);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    char* end_a = nullptr;
    char* end_b = nullptr;
    const double x = std::strtod(a[i].c_str(), &end_a);
    const double y = std::strtod(b[i].c_str(), &end_b);
    const bool numbers = *end_a == '\0' && *end_b == '\0';
    ASSERT_TRUE(numbers) << "word " << i << ": " << a[i] << " vs " << b[i];
    EXPECT_NEAR(x, y, tolerance) << "word " << i;
  }
}

// Every text the network holds that Java reads (its id and name, every
// node's id, name, outcome ids and property values, every log message) is
// valid UTF-8.
inline void ExpectAllTextIsUtf8(const VRN_network& network) {
  auto expect_utf8 = [](const char* text, const char* what) {
    if (text == nullptr) return;
    EXPECT_TRUE(utf8::is_valid(text, text + std::strlen(text)))
        << what << ": " << text;
  };
  expect_utf8(network.Header()->GetId(), "network id");
  expect_utf8(network.Header()->GetName(), "network name");
  for (int h = network.GetFirstNode(); h >= 0; h = network.GetNextNode(h)) {
    const VRN_node* node = network.GetNode(h);
    expect_utf8(node->GetId(), "node id");
    expect_utf8(node->Header().GetName(), "node name");
    for (const std::string& id : OutcomeIds(network, h)) {
      expect_utf8(id.c_str(), "outcome id");
    }
    const VRN_userProperties& properties = node->UserProperties();
    for (int i = 0; i < properties.GetSize(); ++i) {
      expect_utf8(properties.GetPropertyValue(i), "property value");
    }
  }
  const VRN_errorLog* log = network.ErrorLog();
  for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
    expect_utf8(log->GetMessage(i), "message");
  }
}

// "" when expat, a conforming parser, takes the text as well-formed XML;
// else its message with the line and column.
inline std::string XmlNotWellFormed(const std::string& text) {
  XML_Parser parser = XML_ParserCreate(nullptr);
  std::string error;
  if (XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) ==
      XML_STATUS_ERROR) {
    error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + ": line " +
            std::to_string(XML_GetCurrentLineNumber(parser)) + ", column " +
            std::to_string(XML_GetCurrentColumnNumber(parser));
  }
  XML_ParserFree(parser);
  return error;
}

}  // namespace qelta_test

#endif  // QELTA_TESTS_IO_TEXT_TEXT_NETWORK_UTIL_H_
