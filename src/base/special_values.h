// Special doubles, number text and the appearance record.
//
// Tables, costs and evidence carry three tiny doubles as markers for a value
// that is undefined, illegal or not available; they travel as ordinary
// doubles and are compared by exact equality. The helpers below write and
// read numbers always in the classic ("C") numeric form, whatever locale the
// host process has set, so files stay portable.
//
// VRN_screenInfo is the appearance record of a node or a submodel; the engine
// only stores, copies and merges it, the layout block of the network file
// gives its fields meaning.
//
// Thread use: all functions are reentrant; they hold no state of their own.
#ifndef QELTA_BASE_SPECIAL_VALUES_H_
#define QELTA_BASE_SPECIAL_VALUES_H_

#include <locale.h>

#include <cfloat>
#include <cstddef>
#include <cstdio>
#include <string>

#include "base/status.h"

namespace qelta {

inline constexpr double kUndefinedValue = 2 * DBL_MIN;     // "0.0E-2"
inline constexpr double kIllegalValue = 3 * DBL_MIN;       // "0.0E-3"
inline constexpr double kNotAvailableValue = 4 * DBL_MIN;  // "0.0E-4"

// Values of magnitude below 2^kTinySquareExponent have squares at the foot
// of the normal doubles, where they lose digits or vanish: means of squares
// (deviations) are then taken over values scaled up.
inline constexpr int kTinySquareExponent = -500;

// Room VRN_DoubleToString needs for any double: sign, 309 integer digits,
// point, 8 decimals and the terminating NUL.
inline constexpr int kDoubleTextSize = 320;
// Room for the decimal text of any int, with sign and NUL.
inline constexpr int kIntTextSize = 12;

// Marker for an unset appearance field.
inline constexpr int kScreenInfoUnset = static_cast<int>(0x80000001u);

// Switches the calling thread to the classic ("C") locale for the scope, so
// that printf- and strtod-style number text never depends on the locale the
// host process has set (a Java thread may run with a decimal comma). Other
// threads are not affected. Not copyable.
class ClassicLocaleScope {
 public:
  ClassicLocaleScope();
  ~ClassicLocaleScope();
  ClassicLocaleScope(const ClassicLocaleScope&) = delete;
  ClassicLocaleScope& operator=(const ClassicLocaleScope&) = delete;

 private:
  locale_t previous_ = locale_t{};
};

}  // namespace qelta

// Positive infinity and a quiet NaN, for absent bounds and absent results.
double VRN_Infinity();
double VRN_NaN();

// Writes "0.0E-2", "0.0E-3" or "0.0E-4" for the three markers, otherwise the
// "%.8f" text of value; answers 0.
// REQUIRES: out holds at least qelta::kDoubleTextSize bytes.
int VRN_DoubleToString(double value, char* out);
// The marker texts ("0.0E-2"/"UNDEF.", "0.0E-3"/"ILLEGAL", "0.0E-4"/"NA",
// exact and case-sensitive) give the markers; other text is read as a
// decimal number, ignoring what follows it. -2 (out = 0.0) when no number
// could be read, including for null text; else 0.
int VRN_StringToDouble(const char* text, double& out);
// Base-10 int conversion into out. 0 only when the whole text was consumed
// (the empty text gives 0 and 0); -2 otherwise, out then holding the value
// of the leading part (0 for null text). Values beyond the int range are
// refused with -2 and clamped.
int VRN_StringToInt(const char* text, int& out);
// Decimal text of value into buffer; answers buffer.
// REQUIRES: buffer holds at least qelta::kIntTextSize bytes.
char* VRN_IntToString(int value, char* buffer);
// The same, answering 0.
int VRN_FormatInt(int value, char* buffer);
// Appends the decimal text of value.
void VRN_AppendInt(std::string& text, int value);
// Appends the "%g" text of value.
void VRN_AppendDouble(std::string& text, double value);

// printf into buffer of size bytes, always NUL-terminated (for size > 0).
// Answers the number of characters written, or -1 when formatting fails or
// the text did not fit (buffer then holds the cut text). The format is the
// engine's own, never taken from data.
int VRN_sprintf(char* buffer, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// printf to stream; the characters written, or a negative value on failure.
int VRN_Fprintf(std::FILE* stream, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Appearance of a node or submodel: thirteen ints. Colours are 0xRRGGBB-style
// packed ints; qelta::kScreenInfoUnset marks an unset colour, style, outline
// or chart-size field.
struct VRN_screenInfo {
  // x, y, width, height and show_bar_chart 0; every other field unset.
  VRN_screenInfo();

  // Fills what this record leaves open from defaults: width and height that
  // are 0, and the colour, style, outline and chart-size fields that are
  // unset; show_bar_chart is always taken over; x and y stay.
  void MergeDefaults(const VRN_screenInfo& defaults);

  bool operator==(const VRN_screenInfo& other) const;
  bool operator!=(const VRN_screenInfo& other) const {
    return !(*this == other);
  }

  int x;
  int y;
  int width;
  int height;
  int interior_color;
  int style1;
  int style2;
  int text_color;
  int outline_width;
  int outline_color;
  int show_bar_chart;
  int bar_chart_width;
  int bar_chart_height;
};

#endif  // QELTA_BASE_SPECIAL_VALUES_H_
