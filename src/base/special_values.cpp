#include "base/special_values.h"

#include <locale.h>

#include <cerrno>
#include <cstdarg>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// The classic locale, made once; null when the runtime cannot make it, and
// then the process locale is used as it stands.
locale_t ClassicLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
  return locale;
}

}  // namespace

namespace qelta {

ClassicLocaleScope::ClassicLocaleScope() {
  const locale_t classic = ClassicLocale();
  if (classic != locale_t{}) previous_ = uselocale(classic);
}

ClassicLocaleScope::~ClassicLocaleScope() {
  if (previous_ != locale_t{}) uselocale(previous_);
}

}  // namespace qelta

double VRN_Infinity() { return std::numeric_limits<double>::infinity(); }

double VRN_NaN() { return std::numeric_limits<double>::quiet_NaN(); }

int VRN_DoubleToString(double value, char* out) {
  if (value == qelta::kUndefinedValue) {
    std::strcpy(out, "0.0E-2");
  } else if (value == qelta::kIllegalValue) {
    std::strcpy(out, "0.0E-3");
  } else if (value == qelta::kNotAvailableValue) {
    std::strcpy(out, "0.0E-4");
  } else {
    qelta::ClassicLocaleScope classic;
    std::snprintf(out, qelta::kDoubleTextSize, "%.8f", value);
  }
  return 0;
}

int VRN_StringToDouble(const char* text, double& out) {
  out = 0.0;
  if (text == nullptr) return qelta::kErrOutOfRange;
  if (std::strcmp(text, "0.0E-2") == 0 || std::strcmp(text, "UNDEF.") == 0) {
    out = qelta::kUndefinedValue;
    return 0;
  }
  if (std::strcmp(text, "0.0E-3") == 0 || std::strcmp(text, "ILLEGAL") == 0) {
    out = qelta::kIllegalValue;
    return 0;
  }
  if (std::strcmp(text, "0.0E-4") == 0 || std::strcmp(text, "NA") == 0) {
    out = qelta::kNotAvailableValue;
    return 0;
  }
  qelta::ClassicLocaleScope classic;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text) return qelta::kErrOutOfRange;
  out = value;
  return 0;
}

int VRN_StringToInt(const char* text, int& out) {
  out = 0;
  if (text == nullptr) return qelta::kErrOutOfRange;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  bool in_range = errno != ERANGE;
  if (value > INT_MAX) {
    out = INT_MAX;
    in_range = false;
  } else if (value < INT_MIN) {
    out = INT_MIN;
    in_range = false;
  } else {
    out = static_cast<int>(value);
  }
  return in_range && *end == '\0' ? 0 : qelta::kErrOutOfRange;
}

char* VRN_IntToString(int value, char* buffer) {
  std::snprintf(buffer, qelta::kIntTextSize, "%d", value);
  return buffer;
}

int VRN_FormatInt(int value, char* buffer) {
  VRN_IntToString(value, buffer);
  return 0;
}

void VRN_AppendInt(std::string& text, int value) {
  char buffer[qelta::kIntTextSize];
  text += VRN_IntToString(value, buffer);
}

void VRN_AppendDouble(std::string& text, double value) {
  char buffer[32];
  qelta::ClassicLocaleScope classic;
  std::snprintf(buffer, sizeof(buffer), "%g", value);
  text += buffer;
}

int VRN_sprintf(char* buffer, std::size_t size, const char* format, ...) {
  if (size == 0) return -1;
  va_list args;
  va_start(args, format);
  int n;
  {
    qelta::ClassicLocaleScope classic;
    n = std::vsnprintf(buffer, size, format, args);
  }
  va_end(args);
  if (n < 0) {
    buffer[0] = '\0';
    return -1;
  }
  return static_cast<std::size_t>(n) < size ? n : -1;
}

int VRN_Fprintf(std::FILE* stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n;
  {
    qelta::ClassicLocaleScope classic;
    n = std::vfprintf(stream, format, args);
  }
  va_end(args);
  return n;
}

// ---------------------------------------------------------------- appearance

VRN_screenInfo::VRN_screenInfo()
    : x(0),
      y(0),
      width(0),
      height(0),
      interior_color(qelta::kScreenInfoUnset),
      style1(qelta::kScreenInfoUnset),
      style2(qelta::kScreenInfoUnset),
      text_color(qelta::kScreenInfoUnset),
      outline_width(qelta::kScreenInfoUnset),
      outline_color(qelta::kScreenInfoUnset),
      show_bar_chart(0),
      bar_chart_width(qelta::kScreenInfoUnset),
      bar_chart_height(qelta::kScreenInfoUnset) {}

void VRN_screenInfo::MergeDefaults(const VRN_screenInfo& defaults) {
  auto take_if = [](int& field, int open, int from) {
    if (field == open) field = from;
  };
  take_if(width, 0, defaults.width);
  take_if(height, 0, defaults.height);
  take_if(interior_color, qelta::kScreenInfoUnset, defaults.interior_color);
  take_if(style1, qelta::kScreenInfoUnset, defaults.style1);
  take_if(style2, qelta::kScreenInfoUnset, defaults.style2);
  take_if(text_color, qelta::kScreenInfoUnset, defaults.text_color);
  take_if(outline_width, qelta::kScreenInfoUnset, defaults.outline_width);
  take_if(outline_color, qelta::kScreenInfoUnset, defaults.outline_color);
  show_bar_chart = defaults.show_bar_chart;
  take_if(bar_chart_width, qelta::kScreenInfoUnset, defaults.bar_chart_width);
  take_if(bar_chart_height, qelta::kScreenInfoUnset, defaults.bar_chart_height);
}

bool VRN_screenInfo::operator==(const VRN_screenInfo& other) const {
  return x == other.x && y == other.y && width == other.width &&
         height == other.height && interior_color == other.interior_color &&
         style1 == other.style1 && style2 == other.style2 &&
         text_color == other.text_color &&
         outline_width == other.outline_width &&
         outline_color == other.outline_color &&
         show_bar_chart == other.show_bar_chart &&
         bar_chart_width == other.bar_chart_width &&
         bar_chart_height == other.bar_chart_height;
}
