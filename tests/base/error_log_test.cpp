#include "base/error_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/engine_error.h"
#include "base/special_values.h"

namespace {

// A file name unique to this process and test, removed when done.
class TempFile {
 public:
  explicit TempFile(const char* tag) {
    path_ = testing::TempDir() + "qelta_log_" + tag + "_" +
            std::to_string(getpid()) + ".txt";
    std::remove(path_.c_str());
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const char* path() const { return path_.c_str(); }
  std::string Read() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::string path_;
};

TEST(ErrorLogTest, KeepsEntriesWithCodeNamesAndPrefixes) {
  VRN_errorLog log;
  EXPECT_EQ(log.LogError(0, "x"), 0);
  EXPECT_EQ(log.GetNumberOfMessages(), 0);

  EXPECT_EQ(log.LogError(-2, nullptr, nullptr), -2);
  EXPECT_EQ(log.LogError(-3, "b", "a: "), -3);
  EXPECT_EQ(log.Logf(-1, "%d items", 5), -1);
  EXPECT_EQ(log.LogError(-6, nullptr), -6);
  ASSERT_EQ(log.GetNumberOfMessages(), 4);
  EXPECT_EQ(log.GetCode(0), -2);
  EXPECT_STREQ(log.GetMessage(0), "OUT OF RANGE");
  EXPECT_STREQ(log.GetMessage(1), "a: b");
  EXPECT_STREQ(log.GetMessage(2), "5 items");
  EXPECT_STREQ(log.GetMessage(3), "UNKNOWN ERROR CODE");

  EXPECT_STREQ(log.GetMessage(4), "");
  EXPECT_STREQ(log.GetMessage(-1), "");
  EXPECT_EQ(log.GetCode(4), 0);

  log.Flush();
  EXPECT_EQ(log.GetNumberOfMessages(), 0);
  EXPECT_STREQ(log.GetMessage(0), "");
}

TEST(ErrorLogTest, NamesNamedCodesOnly) {
  EXPECT_STREQ(VRN_ErrorCodeName(0), "NO ERROR");
  EXPECT_STREQ(VRN_ErrorCodeName(-103), "FILE I/O FAILED");
  EXPECT_STREQ(VRN_ErrorCodeName(-128), "UNEXPECTED EOF");
  for (int code : {-6, -26, 1, -129}) {
    EXPECT_STREQ(VRN_ErrorCodeName(code), "UNKNOWN ERROR CODE") << code;
  }
}

TEST(ErrorLogTest, LongComposedTextsAreCutToTheBuffer) {
  const std::string long_text(5000, 'm');
  VRN_errorLog log;
  log.LogError(-1, long_text.c_str(), "p: ");
  log.Logf(-1, "%s", long_text.c_str());
  log.LogError(-1, long_text.c_str());
  EXPECT_EQ(std::string(log.GetMessage(0)), "p: " + long_text.substr(0, 2040));
  EXPECT_EQ(std::strlen(log.GetMessage(1)), 2043u);
  // Without a prefix the message is not composed and stays whole.
  EXPECT_EQ(log.GetMessage(2), long_text);
}

TEST(ErrorLogTest, CutNeverSplitsAUtf8Character) {
  // 2042 ASCII bytes then a two-byte character: the cut at 2043 would keep
  // only its first byte.
  std::string text(2042, 'a');
  text += "\xC3\xA9tail";
  VRN_errorLog log;
  log.LogError(-1, text.c_str(), "");
  log.Logf(-1, "%s", text.c_str());
  EXPECT_EQ(std::string(log.GetMessage(0)), std::string(2042, 'a'));
  EXPECT_EQ(std::string(log.GetMessage(1)), std::string(2042, 'a'));

  // A character that ends exactly at the cut is kept.
  std::string exact(2041, 'a');
  exact += "\xC3\xA9z";
  log.LogError(-1, exact.c_str(), "");
  EXPECT_EQ(std::string(log.GetMessage(2)), exact.substr(0, 2043));
}

TEST(ErrorLogTest, FileRedirectAppendsLinesInsteadOfKeeping) {
  TempFile file("redirect");
  {
    std::FILE* f = std::fopen(file.path(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("old\n", f);
    std::fclose(f);
  }
  VRN_errorLog log;
  ASSERT_EQ(log.RedirectToFile(file.path(), nullptr), 0);
  log.LogError(-2, "m");
  // A reader of the file sees each line while the redirect is still open.
  EXPECT_EQ(file.Read(), "old\n-2: m\n");
  log.LogError(-4, "b", "a: ");
  log.Logf(-103, "%s %d", "n", 7);
  log.LogError(0, "ignored");
  EXPECT_EQ(log.GetNumberOfMessages(), 0);
  EXPECT_EQ(log.RedirectToFile(nullptr, nullptr), 0);  // closes the file
  EXPECT_EQ(file.Read(), "old\n-2: m\n-4: a: b\n-103: n 7\n");

  log.LogError(-2, "kept");
  EXPECT_EQ(log.GetNumberOfMessages(), 1);
}

TEST(ErrorLogTest, FailedFileRedirectKeepsTheOldOne) {
  TempFile file("keep_old");
  VRN_errorLog log;
  ASSERT_EQ(log.RedirectToFile(file.path(), "[%d] %s\n"), 0);
  EXPECT_EQ(log.RedirectToFile("/nonexistent-dir/x/log.txt", nullptr),
            qelta::kErrFileIo);
  log.LogError(-1, "still redirected");
  EXPECT_EQ(log.GetNumberOfMessages(), 0);
  log.RedirectToStream(nullptr, nullptr, false);
  EXPECT_EQ(file.Read(), "[-1] still redirected\n");

  // Without any redirect a failed open leaves the log keeping entries.
  EXPECT_EQ(log.RedirectToFile("/nonexistent-dir/x/log.txt", nullptr),
            qelta::kErrFileIo);
  EXPECT_EQ(log.GetRedirect(), nullptr);
}

TEST(ErrorLogTest, StreamNotOwnedStaysOpen) {
  std::FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  {
    VRN_errorLog log;
    log.RedirectToStream(stream, nullptr, false);
    log.LogError(-5, "x");
  }
  // The log is gone; the stream must still be usable.
  EXPECT_GE(std::fputs("after\n", stream), 0);
  std::rewind(stream);
  char text[32] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof(text) - 1, stream), 12u);
  EXPECT_STREQ(text, "-5: x\nafter\n");
  std::fclose(stream);
}

TEST(ErrorLogTest, CopiesShareAnOwnedStreamAndCloseItOnce) {
  TempFile file("shared");
  std::string expected;
  {
    auto* original = new VRN_errorLog;
    ASSERT_EQ(original->RedirectToFile(file.path(), nullptr), 0);
    original->LogError(-1, "one");
    original->LogError(-1, "also");
    VRN_errorLog copy(*original);
    VRN_errorLog assigned;
    assigned.LogError(-2, "dropped by assignment");
    assigned = *original;
    EXPECT_EQ(assigned.GetNumberOfMessages(), 0);
    EXPECT_NE(copy.GetRedirect(), original->GetRedirect());  // cloned
    delete original;  // the stream must survive for the copies
    copy.LogError(-2, "two");
    assigned.LogError(-3, "three");
    copy.RedirectToLog(&assigned);  // drops copy's share
    copy.LogError(-4, "four");
  }  // the last holder closes (and flushes) the stream here
  EXPECT_EQ(file.Read(), "-1: one\n-1: also\n-2: two\n-3: three\n-4: four\n");
}

TEST(ErrorLogTest, LogRedirectForwardsAndCopiesCloneIt) {
  std::FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  VRN_errorLog target;
  VRN_errorLog log;
  log.LogError(-2, "before");
  EXPECT_EQ(log.RedirectToLog(&log), -2);
  EXPECT_EQ(log.RedirectToLog(&target), 0);
  log.LogError(-2, "m", "p ");
  VRN_errorLog copy(log);  // keeps the entries, clones the redirect
  ASSERT_EQ(copy.GetNumberOfMessages(), 1);
  copy.LogError(-3, "via clone");
  ASSERT_EQ(target.GetNumberOfMessages(), 2);
  EXPECT_STREQ(target.GetMessage(0), "p m");
  EXPECT_EQ(target.GetCode(1), -3);
  // Through the target's own redirect.
  target.RedirectToStream(stream, "%d|%s;", false);
  log.LogError(-7, "n");
  EXPECT_EQ(target.GetNumberOfMessages(), 2);
  std::fflush(stream);
  std::rewind(stream);
  char text[32] = {};
  ASSERT_NE(std::fgets(text, sizeof(text), stream), nullptr);
  EXPECT_STREQ(text, "-7|n;");
  target.RedirectToStream(nullptr, nullptr, false);
  std::fclose(stream);
}

TEST(ErrorLogTest, RedirectThatWouldCloseACycleIsRefused) {
  VRN_errorLog a;
  VRN_errorLog b;
  VRN_errorLog c;
  ASSERT_EQ(a.RedirectToLog(&b), 0);
  ASSERT_EQ(b.RedirectToLog(&c), 0);
  EXPECT_EQ(c.RedirectToLog(&a), -2);  // c -> a -> b -> c
  EXPECT_EQ(c.GetRedirect(), nullptr);
  EXPECT_EQ(b.RedirectToLog(&a), -2);
  // b still forwards to c, which keeps the entry.
  EXPECT_EQ(a.LogError(-1, "loop"), -1);
  EXPECT_EQ(a.GetNumberOfMessages() + b.GetNumberOfMessages(), 0);
  ASSERT_EQ(c.GetNumberOfMessages(), 1);
  EXPECT_STREQ(c.GetMessage(0), "loop");
  // Ending a redirect is never refused, and a broken chain may be relinked.
  EXPECT_EQ(a.RedirectToLog(nullptr), 0);
  EXPECT_EQ(c.RedirectToLog(&a), 0);
}

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

TEST(EngineErrorTest, CallLogClearedOnFirstUseExplainsEveryReport) {
  VRN_errorLog first, second;
  first.LogError(-1, "stale, from an earlier call");
  qelta::CallLogScope::Use(&first);  // outside a scope: nothing happens
  EXPECT_EQ(first.GetNumberOfMessages(), 1);
  {
    const qelta::CallLogScope call;
    qelta::CallLogScope::Use(&first);
    EXPECT_EQ(first.GetNumberOfMessages(), 0);
    second.LogError(-2, "elsewhere");
    qelta::CallLogScope::Use(&second);  // the first log stays the call's
    EXPECT_EQ(second.GetNumberOfMessages(), 1);
    first.LogError(-2, "Factor expected");
    first.LogError(-2, "why");
    first.LogError(-2, "why");
    EXPECT_STREQ(Caught([] { ReportError("Op", -2); }).what(),
                 "QELTA error -2 in function Op. \nFactor expected\nwhy");
    // The engine's own text comes first and is not repeated.
    EXPECT_STREQ(
        Caught([] { ReportErrorWithMessage("Op", -2, "at 9: Factor expected"); })
            .what(),
        "QELTA error -2 in function Op. at 9: Factor expected\nwhy");
    {
      const qelta::CallLogScope inner;
      EXPECT_EQ(qelta::CallLogScope::Current(), nullptr);
    }
    EXPECT_EQ(qelta::CallLogScope::Current(), &first);
  }
  EXPECT_EQ(qelta::CallLogScope::Current(), nullptr);
  EXPECT_STREQ(Caught([] { ReportError("Op", -2); }).what(),
               "QELTA error -2 in function Op");
}

TEST(ClassicLocaleScopeTest, PinsPointForItsThreadOnlyAndRestoresIt) {
  DecimalCommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << "no German locale installed";
  ASSERT_EQ(PrintHalf(), "0,5");
  {
    const qelta::ClassicLocaleScope outer;
    {
      const qelta::ClassicLocaleScope inner;
      EXPECT_EQ(std::strtod("0.5", nullptr), 0.5);
    }
    EXPECT_EQ(PrintHalf(), "0.5");
    // Another thread, reading or writing numbers meanwhile, keeps its own.
    std::string elsewhere;
    std::thread([&] { elsewhere = PrintHalf(); }).join();
    EXPECT_EQ(elsewhere, "0,5");
  }
  EXPECT_EQ(PrintHalf(), "0,5");
  try {  // left by an exception
    const qelta::ClassicLocaleScope scope;
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
  const std::vector<std::pair<std::vector<std::uint16_t>, std::size_t>> cases = {
      {{0x0061, 0xD800}, 1}, {{0xD800, 0x0061}, 0}, {{0xDC00}, 0},
      {{0xDE00, 0xD83D}, 0}, {{0xD83D, 0xDE00, 0xDBFF}, 2}};
  for (const auto& [units, bad] : cases) {
    EXPECT_EQ(qelta::FindUnpairedSurrogate(units.data(), units.size()), bad);
    try {
      Utf8Of(units);
      ADD_FAILURE() << "accepted an unpaired surrogate";
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), "Invalid UTF-16");
    }
  }
}

TEST(UtfTest, UnpairedSurrogateFoundExactlyWhenTheConverterRefuses) {
  // Short texts over a few plain units and both surrogate halves; the
  // converter is the oracle.
  const std::uint16_t alphabet[] = {0x0041, 0xD800, 0xDBFF, 0xDC00, 0xDFFF};
  std::uint32_t state = 96;
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::uint16_t> units(1 + round % 5);
    for (std::uint16_t& u : units) {
      state = state * 1103515245u + 12345u;
      u = alphabet[(state >> 16) % 5];
    }
    const std::size_t bad =
        qelta::FindUnpairedSurrogate(units.data(), units.size());
    bool accepted = true;
    try {
      Utf8Of(units);
    } catch (const std::exception&) {
      accepted = false;
    }
    ASSERT_EQ(accepted, bad == units.size()) << round;
    if (accepted) continue;
    // Everything before the unit named converts.
    std::vector<std::uint16_t> before(units.begin(), units.begin() + bad);
    EXPECT_NO_THROW(Utf8Of(before)) << round;
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

}  // namespace
