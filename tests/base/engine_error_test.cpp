#include "base/engine_error.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/error_log.h"

namespace {

// The exception ReportError and its siblings throw, caught for inspection.
template <typename Fn>
qelta_exception Caught(Fn&& report) {
  try {
    report();
  } catch (const qelta_exception& e) {
    return e;
  }
  ADD_FAILURE() << "no qelta_exception thrown";
  return qelta_exception("", 0);
}

std::string PrintHalf() {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", 0.5);
  return buffer;
}

// Switches LC_NUMERIC to a decimal-comma locale for one test and back.
class DecimalCommaLocale {
 public:
  DecimalCommaLocale() {
    const char* current = std::setlocale(LC_NUMERIC, nullptr);
    if (current != nullptr) original_ = current;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"}) {
      if (std::setlocale(LC_NUMERIC, name) != nullptr) {
        active_ = true;
        return;
      }
    }
  }
  ~DecimalCommaLocale() { std::setlocale(LC_NUMERIC, original_.c_str()); }
  bool active() const { return active_; }

 private:
  std::string original_ = "C";
  bool active_ = false;
};

std::string Utf8Of(const std::vector<std::uint16_t>& units) {
  std::string out;
  qelta::Utf16ToUtf8(units.data(), units.size(), &out);
  return out;
}

}  // namespace

TEST(EngineErrorTest, ReportersThrowCodeWithMessage) {
  EXPECT_EQ(FormatEngineError("ReadFile", -103, ""),
            "QELTA error -103 in function ReadFile");
  qelta_exception plain = Caught([] { ReportError("AddNode", -51); });
  EXPECT_EQ(plain.code(), -51);
  EXPECT_STREQ(plain.what(), "QELTA error -51 in function AddNode");
  qelta_exception detailed = Caught(
      [] { ReportErrorWithMessage("SetEquation", -2, "Invalid equation"); });
  EXPECT_EQ(detailed.code(), -2);
  EXPECT_STREQ(detailed.what(),
               "QELTA error -2 in function SetEquation. Invalid equation");
  VRN_errorLog log;
  qelta_exception empty =
      Caught([&] { ReportNetworkError("AddArc", -11, log); });
  EXPECT_STREQ(empty.what(), "QELTA error -11 in function AddArc");
}

TEST(EngineErrorTest, NetworkErrorAppendsEachLoggedMessageOnItsOwnLine) {
  VRN_errorLog log;
  log.LogError(-103, "first problem");
  log.LogError(-100, "second problem");
  qelta_exception e = Caught([&] { ReportNetworkError("ReadFile", -103, log); });
  EXPECT_EQ(e.code(), -103);
  EXPECT_STREQ(e.what(),
               "QELTA error -103 in function ReadFile. \nfirst problem\n"
               "second problem");
}

TEST(NumericLocaleGuardTest, PinsPointAndRestoresCallersLocale) {
  DecimalCommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << "no German locale installed";
  ASSERT_EQ(PrintHalf(), "0,5");
  {
    CNumericLocaleGuard outer;
    {
      CNumericLocaleGuard inner;
      EXPECT_EQ(std::strtod("0.5", nullptr), 0.5);
    }
    EXPECT_EQ(PrintHalf(), "0.5");
  }
  EXPECT_EQ(PrintHalf(), "0,5");
  try {  // left by an exception
    CNumericLocaleGuard guard;
    ReportError("ReadFile", -103);
  } catch (const qelta_exception&) {
  }
  EXPECT_EQ(PrintHalf(), "0,5");
}

TEST(UtfTest, SurrogatePairBecomesOneFourByteSequence) {
  // U+00E9, U+20AC, U+1F600 (a surrogate pair in UTF-16) and U+0000.
  EXPECT_EQ(Utf8Of({0x0041, 0x00E9, 0x20AC, 0xD83D, 0xDE00, 0x0000}),
            std::string("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 11));
}

TEST(UtfTest, UnpairedSurrogatesAreRefused) {
  for (const std::vector<std::uint16_t>& units :
       std::vector<std::vector<std::uint16_t>>{
           {0x0061, 0xD800}, {0xD800, 0x0061}, {0xDC00}, {0xDE00, 0xD83D}}) {
    try {
      Utf8Of(units);
      ADD_FAILURE() << "accepted an unpaired surrogate";
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), "Invalid UTF-16");
    }
  }
}

TEST(UtfTest, Utf8RoundTripsThroughUtf16) {
  const std::string text = "Kn\xC3\xB6tchen \xF0\x9F\x98\x80 \xE2\x82\xAC";
  std::vector<std::uint16_t> units =
      qelta::Utf8ToUtf16(text.data(), text.size());
  EXPECT_EQ(units.size(), 13u);  // the emoji takes two units
  EXPECT_EQ(Utf8Of(units), text);
}

TEST(UtfTest, MalformedUtf8IsRefused) {
  for (const std::string& bad :
       {std::string("\xC3"), std::string("a\xFF" "b"),
        std::string("\xED\xA0\x80")}) {  // a surrogate encoded in UTF-8
    EXPECT_THROW(qelta::Utf8ToUtf16(bad.data(), bad.size()), std::exception)
        << bad;
  }
}
