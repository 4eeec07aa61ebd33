#include "base/special_values.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <string>

namespace {

std::string ToText(double value) {
  char buffer[qelta::kDoubleTextSize];
  EXPECT_EQ(VRN_DoubleToString(value, buffer), 0);
  return buffer;
}

TEST(SpecialValuesTest, MarkersHaveTheirTexts) {
  EXPECT_EQ(ToText(qelta::kUndefinedValue), "0.0E-2");
  EXPECT_EQ(ToText(qelta::kIllegalValue), "0.0E-3");
  EXPECT_EQ(ToText(qelta::kNotAvailableValue), "0.0E-4");

  const struct {
    const char* text;
    double value;
  } reads[] = {
      {"0.0E-2", qelta::kUndefinedValue}, {"UNDEF.", qelta::kUndefinedValue},
      {"0.0E-3", qelta::kIllegalValue},   {"ILLEGAL", qelta::kIllegalValue},
      {"0.0E-4", qelta::kNotAvailableValue}, {"NA", qelta::kNotAvailableValue},
  };
  for (const auto& r : reads) {
    double out = 0;
    EXPECT_EQ(VRN_StringToDouble(r.text, out), 0) << r.text;
    EXPECT_EQ(out, r.value) << r.text;
  }
  // Case matters: "na" is no marker and no number.
  double out = 1;
  EXPECT_EQ(VRN_StringToDouble("undef.", out), qelta::kErrOutOfRange);
  EXPECT_EQ(out, 0.0);
  // A value just beside a marker is written as a plain number.
  EXPECT_EQ(ToText(std::nextafter(qelta::kUndefinedValue, 1.0)), "0.00000000");
}

TEST(SpecialValuesTest, WritesEightDecimals) {
  EXPECT_EQ(ToText(0.5), "0.50000000");
  EXPECT_EQ(ToText(-0.0), "-0.00000000");
  EXPECT_EQ(ToText(1e-310), "0.00000000");
  EXPECT_EQ(ToText(-1234.5), "-1234.50000000");
  // The longest text fits the documented buffer.
  const std::string longest = ToText(-DBL_MAX);
  EXPECT_EQ(longest.size() + 1, static_cast<size_t>(qelta::kDoubleTextSize));
}

TEST(SpecialValuesTest, ReadsNumbersAndRefusesOtherText) {
  double out = 7;
  EXPECT_EQ(VRN_StringToDouble("abc", out), qelta::kErrOutOfRange);
  EXPECT_EQ(out, 0.0);
  EXPECT_EQ(VRN_StringToDouble("1.5xyz", out), 0);
  EXPECT_EQ(out, 1.5);
  EXPECT_EQ(VRN_StringToDouble("-2e3", out), 0);
  EXPECT_EQ(out, -2000.0);
  EXPECT_EQ(VRN_StringToDouble("", out), qelta::kErrOutOfRange);
  EXPECT_EQ(VRN_StringToDouble(nullptr, out), qelta::kErrOutOfRange);

  int n = 5;
  EXPECT_EQ(VRN_StringToInt("12", n), 0);
  EXPECT_EQ(n, 12);
  EXPECT_EQ(VRN_StringToInt("12a", n), qelta::kErrOutOfRange);
  EXPECT_EQ(n, 12);
  EXPECT_EQ(VRN_StringToInt("", n), 0);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(VRN_StringToInt("-2147483648", n), 0);
  EXPECT_EQ(n, -2147483647 - 1);
  EXPECT_EQ(VRN_StringToInt("99999999999", n), qelta::kErrOutOfRange);
  EXPECT_EQ(n, 2147483647);
  EXPECT_EQ(VRN_StringToInt(nullptr, n), qelta::kErrOutOfRange);
}

TEST(SpecialValuesTest, IntAndDoubleTexts) {
  char buffer[qelta::kIntTextSize];
  EXPECT_STREQ(VRN_IntToString(-2147483647 - 1, buffer), "-2147483648");
  EXPECT_EQ(VRN_FormatInt(42, buffer), 0);
  EXPECT_STREQ(buffer, "42");
  std::string text = "n=";
  VRN_AppendInt(text, -7);
  text += ' ';
  VRN_AppendDouble(text, 0.1);
  text += ' ';
  VRN_AppendDouble(text, 1e20);
  EXPECT_EQ(text, "n=-7 0.1 1e+20");
  EXPECT_TRUE(std::isinf(VRN_Infinity()) && VRN_Infinity() > 0);
  EXPECT_TRUE(std::isnan(VRN_NaN()));
}

TEST(SpecialValuesTest, SprintfReportsTextThatDoesNotFit) {
  char buffer[8];
  EXPECT_EQ(VRN_sprintf(buffer, sizeof(buffer), "%d-%s", 12, "ab"), 5);
  EXPECT_STREQ(buffer, "12-ab");
  EXPECT_EQ(VRN_sprintf(buffer, sizeof(buffer), "%s", "too long text"), -1);
  EXPECT_STREQ(buffer, "too lon");
  EXPECT_EQ(VRN_sprintf(buffer, 0, "x"), -1);
}

TEST(SpecialValuesTest, NumberTextIgnoresTheProcessLocale) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old != nullptr ? old : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
      std::setlocale(LC_NUMERIC, "de_DE.utf8") == nullptr) {
    GTEST_SKIP() << "no German locale installed to test with";
  }
  const std::string written = ToText(0.5);
  double read = 0;
  const int status = VRN_StringToDouble("1.25", read);
  std::string appended;
  VRN_AppendDouble(appended, 2.5);
  char buffer[16];
  VRN_sprintf(buffer, sizeof(buffer), "%.1f", 3.5);
  std::setlocale(LC_NUMERIC, saved.c_str());

  EXPECT_EQ(written, "0.50000000");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(read, 1.25);
  EXPECT_EQ(appended, "2.5");
  EXPECT_STREQ(buffer, "3.5");
}

TEST(ScreenInfoTest, MergeFillsOnlyWhatIsOpen) {
  VRN_screenInfo defaults;
  defaults.y = 6;
  defaults.width = 76;
  defaults.height = 36;
  defaults.interior_color = 0xF7F6E5;
  defaults.bar_chart_width = 120;
  defaults.show_bar_chart = 0;
  VRN_screenInfo own;
  own.width = 10;
  own.interior_color = 0x000000;  // black is a colour, not "unset"
  own.show_bar_chart = 1;
  own.MergeDefaults(defaults);
  EXPECT_EQ(own.y, 0);  // the position is never merged
  EXPECT_EQ(own.width, 10);
  EXPECT_EQ(own.height, 36);
  EXPECT_EQ(own.interior_color, 0);
  EXPECT_EQ(own.bar_chart_width, 120);
  EXPECT_EQ(own.bar_chart_height, qelta::kScreenInfoUnset);
  EXPECT_EQ(own.show_bar_chart, 0);  // always taken from the defaults
}

}  // namespace
