// The delimited text file of a data set: one record per line (LF or CR LF),
// an optional first line of column ids, a separator found from the first
// line (TAB, ',', ';' or ' ', in that order of preference), double-quote
// quoting with doubled quotes inside, and a missing-value token. Columns
// start as int columns and turn float or text as their values demand; a
// number written with a decimal point or an exponent ("1.0", "1e0") turns
// its column float even when it is whole, so that the writer, which writes
// every continuous cell so, gets continuous columns back.
//
// The reader takes the whole file into memory and splits it in one pass,
// converting numbers in place without copies beyond a small scratch
// buffer; it fills a fresh data set and hands it over only on success.
// Numbers are read and written in the classic form whatever the locale.
#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/special_values.h"
#include "base/status.h"
#include "learning/dataset.h"
#include "network/change_guards.h"

namespace {

// The end of the line starting at begin: the first CR or LF before end (or
// end itself); *next is where the following line starts. CR, LF and CR LF
// all end a line, so files from any platform read alike.
const char* LineStop(const char* begin, const char* end, const char** next) {
  const char* stop = begin;
  while (stop < end && *stop != '\n' && *stop != '\r') ++stop;
  *next = stop;
  if (stop < end) {
    *next = stop + 1;
    if (*stop == '\r' && *next < end && **next == '\n') ++*next;
  }
  return stop;
}

locale_t ClassicNumbers() {
  static const locale_t classic =
      newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return classic;
}

std::string Format(const char* format, int a, int b = 0, int c = 0) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, format, a, b, c);
  return buffer;
}

bool OnlySpaces(const char* from, const char* to) {
  for (; from < to; ++from) {
    if (*from != ' ') return false;
  }
  return true;
}

// Whether a number's text says it is a real number: a decimal point or an
// exponent ('p' for the hexadecimal form, where 'e' is a digit).
bool SaysReal(const char* text, std::size_t size) {
  std::size_t k = 0;
  while (k < size && text[k] == ' ') ++k;
  if (k < size && (text[k] == '-' || text[k] == '+')) ++k;
  const bool hex = k + 1 < size && text[k] == '0' && (text[k + 1] == 'x' || text[k + 1] == 'X');
  for (; k < size; ++k) {
    const char c = text[k];
    if (c == '.' || (hex ? c == 'p' || c == 'P' : c == 'e' || c == 'E')) return true;
  }
  return false;
}

// Reads the whole file; false when a read fails.
bool ReadAll(std::FILE* file, std::string* contents) {
  std::size_t chunk = std::size_t{1} << 16;
  std::size_t used = 0;
  for (;;) {
    contents->resize(used + chunk);
    const std::size_t got = std::fread(&(*contents)[used], 1, chunk, file);
    used += got;
    if (got < chunk) break;
    chunk = std::min(chunk * 2, std::size_t{1} << 24);
  }
  contents->resize(used);
  return std::ferror(file) == 0;
}

}  // namespace

// One call of VRN_dataset::ReadFile.
class VRN_datasetReader {
 public:
  VRN_datasetReader(const VRN_datasetReadOptions& options, VRN_dataset* data)
      : options_(options), data_(*data) {}

  // Parses contents into the data set; false with error() set on failure.
  bool Read(const std::string& contents);
  const std::string& error() const { return error_; }

 private:
  struct Field {
    const char* text;
    std::size_t size;
    bool quoted;
  };
  enum class Kind { kInt, kFloat, kText };
  struct ColumnState {
    Kind kind = Kind::kInt;
    // Text values numbered in order of appearance; renumbered at the end.
    std::map<std::string, int, std::less<>> texts;
    // Records before this one still hold numbers that must become text.
    std::size_t textFrom = 0;
    // Records of an int column whose number equals the missing int without
    // being the missing token: values, should the column turn float.
    std::vector<std::size_t> literalMissing;
  };

  bool Fail(std::string message) {
    error_ = std::move(message);
    return false;
  }
  // The next line of the data part: [*begin, *begin + *size). False at the
  // end of the data.
  bool NextLine(const char** begin, std::size_t* size);
  bool Split(const char* line, std::size_t size);
  bool StoreRecord();
  bool StoreNumber(std::size_t column, const Field& field, std::size_t record);
  void ToFloat(std::size_t column);
  void StoreInt(std::size_t column, int value, std::size_t record);
  void ToText(std::size_t column, std::size_t record);
  int Intern(ColumnState* state, std::string_view text);
  bool IsMissingToken(const Field& field) const {
    return field.size == 0 ||
           (!field.quoted && std::string_view(field.text, field.size) ==
                                 options_.missingValueToken);
  }
  void FinishTextColumns();

  const VRN_datasetReadOptions& options_;
  VRN_dataset& data_;
  std::string error_;
  const char* data_begin_ = nullptr;
  const char* cursor_ = nullptr;
  const char* data_end_ = nullptr;
  int line_ = 0;
  char separator_ = 0;
  std::vector<Field> fields_;
  std::deque<std::string> unquoted_;  // scratch per field for "" pairs (stable)
  bool last_raw_empty_ = false;
  std::vector<ColumnState> columns_;
  std::vector<std::size_t> record_lines_;  // line start offset per record
  std::string number_;                     // NUL-terminated number scratch
};

bool VRN_datasetReader::NextLine(const char** begin, std::size_t* size) {
  if (cursor_ >= data_end_) return false;
  ++line_;
  const char* start = cursor_;
  const char* stop = LineStop(start, data_end_, &cursor_);
  *begin = start;
  *size = static_cast<std::size_t>(stop - start);
  return true;
}

bool VRN_datasetReader::Split(const char* p, std::size_t n) {
  fields_.clear();
  std::size_t i = 0;
  for (;;) {
    Field field{p + i, 0, false};
    if (i < n && p[i] == '"') {
      const std::size_t start = i + 1;
      std::size_t j = start;
      bool doubled = false;
      std::size_t close = 0;
      for (;;) {
        const void* q = std::memchr(p + j, '"', n - j);
        if (q == nullptr) {
          return Fail("Unexpected endline in the quoted string");
        }
        const std::size_t k = static_cast<std::size_t>(static_cast<const char*>(q) - p);
        if (k + 1 < n && p[k + 1] == '"') {
          doubled = true;
          j = k + 2;
          continue;
        }
        if (k + 1 == n || p[k + 1] == separator_) {
          close = k;
          break;
        }
        return Fail("Unexpected character in the quoted string");
      }
      field = Field{p + start, close - start, true};
      if (doubled) {
        const std::size_t slot = fields_.size();
        if (unquoted_.size() <= slot) unquoted_.resize(slot + 1);
        std::string& text = unquoted_[slot];
        text.clear();
        for (std::size_t k = start; k < close; ++k) {
          text.push_back(p[k]);
          if (p[k] == '"') ++k;  // the second of a pair
        }
        field.text = text.data();
        field.size = text.size();
      }
      i = close + 1;
    } else {
      const void* q = separator_ != 0 ? std::memchr(p + i, separator_, n - i) : nullptr;
      const std::size_t k =
          q != nullptr ? static_cast<std::size_t>(static_cast<const char*>(q) - p) : n;
      field = Field{p + i, k - i, false};
      i = k;
    }
    fields_.push_back(field);
    if (i >= n) break;
    ++i;  // the separator
  }
  // A quoted empty field is a cell (a missing one), not a trailing separator.
  const Field& last = fields_.back();
  last_raw_empty_ = last.size == 0 && !last.quoted;
  for (Field& field : fields_) {
    if (field.quoted) continue;
    while (field.size > 0 && field.text[0] == ' ') {
      ++field.text;
      --field.size;
    }
  }
  return true;
}

int VRN_datasetReader::Intern(ColumnState* state, std::string_view text) {
  auto found = state->texts.find(text);
  if (found != state->texts.end()) return found->second;
  const int number = static_cast<int>(state->texts.size());
  state->texts.emplace(std::string(text), number);
  return number;
}

void VRN_datasetReader::ToFloat(std::size_t column) {
  VRN_datasetVariable& variable = data_.variables_[column];
  VRN_dataset::Column& cells = data_.columns_[column];
  cells.floats.resize(cells.ints.size());
  for (std::size_t r = 0; r < cells.ints.size(); ++r) {
    const int value = cells.ints[r];
    cells.floats[r] = value == options_.missingInt
                          ? options_.missingFloat
                          : static_cast<float>(value);
  }
  for (std::size_t r : columns_[column].literalMissing) {
    cells.floats[r] = static_cast<float>(options_.missingInt);
  }
  std::vector<std::size_t>().swap(columns_[column].literalMissing);
  std::vector<int>().swap(cells.ints);
  variable.discrete = false;
  variable.missingFloat = options_.missingFloat;
  columns_[column].kind = Kind::kFloat;
}

void VRN_datasetReader::ToText(std::size_t column, std::size_t record) {
  // Earlier cells get their own field text back at the end (one pass over
  // their lines for every such column), so "2.30" stays "2.30".
  VRN_datasetVariable& variable = data_.variables_[column];
  VRN_dataset::Column& cells = data_.columns_[column];
  std::vector<float>().swap(cells.floats);
  cells.ints.assign(record, -1);
  variable.discrete = true;
  variable.missingInt = -1;
  columns_[column].kind = Kind::kText;
  columns_[column].textFrom = record;
  std::vector<std::size_t>().swap(columns_[column].literalMissing);
}

void VRN_datasetReader::StoreInt(std::size_t column, int value, std::size_t record) {
  data_.columns_[column].ints.push_back(value);
  if (value == options_.missingInt) columns_[column].literalMissing.push_back(record);
}

bool VRN_datasetReader::StoreNumber(std::size_t column, const Field& field,
                                    std::size_t record) {
  ColumnState& state = columns_[column];
  VRN_dataset::Column& cells = data_.columns_[column];
  // Plain decimal integers of up to nine digits need no strtod.
  {
    std::size_t k = 0;
    bool negative = false;
    if (k < field.size && (field.text[k] == '-' || field.text[k] == '+')) {
      negative = field.text[k] == '-';
      ++k;
    }
    const std::size_t digits_from = k;
    int value = 0;
    while (k < field.size && k - digits_from < 9 && field.text[k] >= '0' &&
           field.text[k] <= '9') {
      value = value * 10 + (field.text[k] - '0');
      ++k;
    }
    std::size_t rest = k;
    while (rest < field.size && field.text[rest] == ' ') ++rest;
    if (k > digits_from && rest == field.size &&
        (k == field.size || field.text[k] == ' ')) {
      if (negative) value = -value;
      if (state.kind == Kind::kInt) {
        StoreInt(column, value, record);
      } else {
        cells.floats.push_back(static_cast<float>(value));
      }
      return true;
    }
  }
  // The common forms go through from_chars, quick and free of the locale;
  // what it does not take whole (a '+', hexadecimal, a value beyond the
  // double range) goes through strtod, whose reading decides.
  const char* const last = field.text + field.size;
  double value = 0;
  bool overflow = false;
  bool quick = false;
  {
    const auto done = std::from_chars(field.text, last, value);
    quick = done.ec == std::errc() && OnlySpaces(done.ptr, last);
  }
  if (!quick) {
    number_.assign(field.text, field.size);
    const char* text = number_.c_str();
    char* end = nullptr;
    errno = 0;
    value = strtod_l(text, &end, ClassicNumbers());
    overflow = errno == ERANGE && std::isinf(value);
    if (end == text || !OnlySpaces(end, text + field.size)) {
      ToText(column, record);
      cells.ints.push_back(Intern(&state, std::string_view(field.text, field.size)));
      return true;
    }
  }
  if (state.kind == Kind::kInt) {
    if (std::isfinite(value) && value >= INT_MIN && value <= INT_MAX &&
        value == std::trunc(value) && !SaysReal(field.text, field.size)) {
      StoreInt(column, static_cast<int>(value), record);
      return true;
    }
    ToFloat(column);
  }
  // Read again as float so that the text is rounded once, not twice.
  float single = 0;
  const auto done = std::from_chars(field.text, last, single);
  if (!quick || done.ec != std::errc()) {
    number_.assign(field.text, field.size);
    single = strtof_l(number_.c_str(), nullptr, ClassicNumbers());
  }
  if (std::isinf(single) && (overflow || std::isfinite(value))) {
    return Fail(Format("Line %d: number out of range in column %d", line_,
                       static_cast<int>(column) + 1));
  }
  cells.floats.push_back(single);
  return true;
}

bool VRN_datasetReader::StoreRecord() {
  const std::size_t record = record_lines_.size() - 1;
  for (std::size_t c = 0; c < fields_.size(); ++c) {
    const Field& field = fields_[c];
    ColumnState& state = columns_[c];
    VRN_dataset::Column& cells = data_.columns_[c];
    if (IsMissingToken(field)) {
      if (state.kind == Kind::kFloat) {
        cells.floats.push_back(options_.missingFloat);
      } else {
        cells.ints.push_back(state.kind == Kind::kText ? -1 : options_.missingInt);
      }
      continue;
    }
    if (state.kind == Kind::kText) {
      cells.ints.push_back(Intern(&state, std::string_view(field.text, field.size)));
      continue;
    }
    if (!StoreNumber(c, field, record)) return false;
  }
  return true;
}

void VRN_datasetReader::FinishTextColumns() {
  std::size_t redo = 0;
  for (const ColumnState& state : columns_) {
    if (state.kind == Kind::kText) redo = std::max(redo, state.textFrom);
  }
  for (std::size_t r = 0; r < redo; ++r) {
    const char* begin = data_begin_ + record_lines_[r];
    const char* next = nullptr;
    const char* stop = LineStop(begin, data_end_, &next);
    // This line was split once already, so it splits again the same way.
    static_cast<void>(Split(begin, static_cast<std::size_t>(stop - begin)));
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      ColumnState& state = columns_[c];
      if (state.kind != Kind::kText || r >= state.textFrom) continue;
      const Field& field = fields_[c];
      data_.columns_[c].ints[r] =
          IsMissingToken(field)
              ? -1
              : Intern(&state, std::string_view(field.text, field.size));
    }
  }
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    ColumnState& state = columns_[c];
    if (state.kind != Kind::kText) continue;
    std::vector<int> position(state.texts.size());
    std::vector<std::string>& names = data_.variables_[c].stateNames;
    names.clear();
    names.reserve(state.texts.size());
    for (auto& entry : state.texts) {
      position[static_cast<std::size_t>(entry.second)] = static_cast<int>(names.size());
      names.push_back(entry.first);
    }
    for (int& cell : data_.columns_[c].ints) {
      if (cell >= 0) cell = position[static_cast<std::size_t>(cell)];
    }
  }
}

bool VRN_datasetReader::Read(const std::string& contents) {
  if (std::memchr(contents.data(), '\0', contents.size()) != nullptr) {
    return Fail("The data file holds a NUL byte");
  }
  data_begin_ = contents.data();
  cursor_ = data_begin_;
  // Blank lines after the last non-blank line are not records.
  std::size_t end = contents.size();
  const auto line_end = [&contents](std::size_t at) {
    return contents[at] == '\n' || contents[at] == '\r';
  };
  while (end > 0 && line_end(end - 1)) {
    std::size_t k = end - 1;
    if (contents[k] == '\n' && k > 0 && contents[k - 1] == '\r') --k;
    if (k != 0 && !line_end(k - 1)) break;
    end = k;
  }
  data_end_ = data_begin_ + end;

  const char* first = nullptr;
  std::size_t first_size = 0;
  if (!NextLine(&first, &first_size)) {
    return Fail("Can't read first line of file");
  }
  const std::string_view head(first, first_size);
  for (char candidate : {'\t', ',', ';', ' '}) {
    if (head.find(candidate) != std::string_view::npos) {
      separator_ = candidate;
      break;
    }
  }
  if (separator_ == 0 && first_size > 128) {
    return Fail("First line has more than 128 characters and no separators were found");
  }
  if (!Split(first, first_size)) return false;
  if (fields_.empty()) {
    return Fail("Can't recognize column names/values in the first line");
  }
  if (last_raw_empty_) {
    return Fail(fields_.size() == 1 ? "The header line is empty"
                                    : "Trailing separator found in the header line");
  }
  const std::size_t column_count = fields_.size();
  columns_.resize(column_count);
  data_.variables_.reserve(column_count);
  data_.columns_.reserve(column_count);
  if (options_.columnIdsPresent) {
    std::unordered_set<std::string_view> seen;
    for (std::size_t c = 0; c < column_count; ++c) {
      const std::string_view id(fields_[c].text, fields_[c].size);
      if (id.empty()) {
        return Fail(Format("Column name %d is empty", static_cast<int>(c) + 1));
      }
      if (!seen.insert(id).second) {
        return Fail("Duplicated column name: " + std::string(id));
      }
    }
  }
  for (std::size_t c = 0; c < column_count; ++c) {
    VRN_datasetVariable variable;
    if (options_.columnIdsPresent) variable.id.assign(fields_[c].text, fields_[c].size);
    variable.missingInt = options_.missingInt;
    data_.variables_.push_back(std::move(variable));
    data_.columns_.emplace_back();
  }
  if (!options_.columnIdsPresent) {
    cursor_ = data_begin_;  // the first line is a record too
    line_ = 0;
  }

  const char* line = nullptr;
  std::size_t size = 0;
  while (NextLine(&line, &size)) {
    if (!Split(line, size)) return false;
    if (fields_.size() != column_count) {
      return Fail(Format("Line %d: expected %d columns of data but found %d", line_,
                         static_cast<int>(column_count), static_cast<int>(fields_.size())));
    }
    if (record_lines_.size() >= static_cast<std::size_t>(INT_MAX)) {
      return Fail(Format("Line %d: more records than a data set can hold", line_));
    }
    record_lines_.push_back(static_cast<std::size_t>(line - data_begin_));
    if (!StoreRecord()) return false;
  }
  FinishTextColumns();
  return true;
}

int VRN_dataset::ReadFile(const std::string& fileName,
                          const VRN_datasetReadOptions* options,
                          std::string* errorText) {
  const VRN_datasetReadOptions defaults;
  if (options == nullptr) options = &defaults;
  auto fail = [&](std::string message) {
    if (errorText != nullptr) *errorText = std::move(message);
    return qelta::kErrFileIo;
  };
  std::FILE* file = VRN_Fopen(fileName.c_str(), "rb");
  if (file == nullptr) return fail("Can't open data file: " + fileName);
  std::string contents;
  bool read = false;
  try {
    read = ReadAll(file, &contents);
  } catch (const std::bad_alloc&) {
    std::fclose(file);
    return fail("Out of memory reading data file: " + fileName);
  }
  std::fclose(file);
  if (!read) return fail("Can't read data file: " + fileName);

  VRN_dataset fresh;
  try {
    VRN_datasetReader reader(*options, &fresh);
    if (!reader.Read(contents)) return fail(reader.error());
  } catch (const std::bad_alloc&) {
    return fail("Out of memory reading data file: " + fileName);
  } catch (const std::length_error&) {
    return fail("Out of memory reading data file: " + fileName);
  }
  *this = std::move(fresh);
  return qelta::kOk;
}

// ---------------------------------------------------------------- writing

namespace {

// Output with every write checked; the text goes out in large pieces.
class CheckedOutput {
 public:
  explicit CheckedOutput(std::FILE* file) : file_(file) { buffer_.reserve(kFlushAt + 4096); }
  void Put(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kFlushAt) Flush();
  }
  void Put(char c) {
    buffer_.push_back(c);
    if (buffer_.size() >= kFlushAt) Flush();
  }
  void Flush() {
    if (!buffer_.empty() && ok_ &&
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
      ok_ = false;
    }
    buffer_.clear();
  }
  // Flushes and closes; false when any write or the close failed.
  bool Close() {
    Flush();
    const bool closed = std::fclose(file_) == 0;
    return ok_ && closed;
  }

 private:
  static constexpr std::size_t kFlushAt = std::size_t{1} << 16;
  std::FILE* file_;
  std::string buffer_;
  bool ok_ = true;
};

bool HasLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

// The reader refuses a file holding a NUL byte.
bool HasNul(const std::string& text) { return text.find('\0') != std::string::npos; }

// Whether format is a printf format for one double: text, "%%", and one
// conversion of the floating kinds with flags, width and precision, but no
// '*' (no argument for it) and no length but 'l' (which a double ignores).
bool IsFloatFormat(const std::string& format) {
  int conversions = 0;
  for (std::size_t k = 0; k < format.size(); ++k) {
    if (format[k] == '\0') return false;
    if (format[k] != '%') continue;
    if (++k < format.size() && format[k] == '%') continue;
    while (k < format.size() && std::strchr("-+ #0", format[k]) != nullptr) ++k;
    std::size_t digits = 0;
    for (; k < format.size() && format[k] >= '0' && format[k] <= '9'; ++k) ++digits;
    if (k < format.size() && format[k] == '.') {
      for (++k; k < format.size() && format[k] >= '0' && format[k] <= '9'; ++k) ++digits;
    }
    if (k < format.size() && format[k] == 'l') ++k;
    if (digits > 8 || k == format.size() || std::strchr("aAeEfFgG", format[k]) == nullptr) {
      return false;
    }
    ++conversions;
  }
  return conversions == 1;
}

// Writes value with a caller's float format into *text, whole however long;
// false when snprintf fails or the text would not read back as the value
// (the same text again when the float it reads as is written).
bool FormatFloat(const std::string& format, float value, std::string* text,
                 std::string* again) {
  auto print = [&format](double number, std::string* out) {
    if (out->size() < 64) out->resize(64);
    int n = std::snprintf(&(*out)[0], out->size(), format.c_str(), number);
    if (n >= 0 && static_cast<std::size_t>(n) >= out->size()) {
      out->resize(static_cast<std::size_t>(n) + 1);
      n = std::snprintf(&(*out)[0], out->size(), format.c_str(), number);
    }
    return n;
  };
  qelta::ClassicLocaleScope classic;
  const int n = print(static_cast<double>(value), text);
  if (n < 0) return false;
  text->resize(static_cast<std::size_t>(n));
  char* end = nullptr;
  const float back = strtof_l(text->c_str(), &end, ClassicNumbers());
  if (end == text->c_str() || !OnlySpaces(end, text->c_str() + text->size())) return false;
  const int m = print(static_cast<double>(back), again);
  return m == n && again->compare(0, static_cast<std::size_t>(m), *text) == 0;
}

// Whether the reader takes this field as a number ("2", "nan", "inf",
// "0x1p3", ...), quoted or not: it asks strtod last, which takes every form
// its quicker paths take.
bool ReadsAsNumber(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  (void)strtod_l(begin, &end, ClassicNumbers());
  return end != begin && OnlySpaces(end, begin + text.size());
}

// The bytes the reader looks for in the first line, in its order of
// preference: the first of them found anywhere there is the separator.
constexpr char kSeparators[] = "\t,; ";

std::string VariableName(const VRN_dataset& data, std::size_t v) {
  std::string name = Format("variable %d", static_cast<int>(v));
  const std::string& id = data.GetVariable(static_cast<int>(v)).id;
  if (!id.empty()) name += " ('" + id + "')";
  return name;
}

// The first cell that is not missing but that the reader, with its default
// missing int (-1) and float (NaN), would take for a missing one; empty
// when there is none. A -1 comes back as a value only in a column that
// reads back as text, which some cell's state name makes it.
std::string CellReadBackAsMissing(const VRN_dataset& data) {
  const VRN_datasetReadOptions reading;
  for (std::size_t v = 0; v < static_cast<std::size_t>(data.GetVariableCount()); ++v) {
    const int column = static_cast<int>(v);
    const VRN_datasetVariable& variable = data.GetVariable(column);
    const bool same_rule =
        variable.discrete
            ? variable.missingInt == reading.missingInt
            : VRN_dataset::IsMissingFloat(variable.missingFloat, reading.missingFloat);
    if (same_rule) continue;  // the reader's rule, so no value it takes for missing
    bool named = false;
    int literal = -1;
    for (int r = 0; r < data.GetRecordCount() && !named; ++r) {
      if (data.IsMissing(column, r)) continue;
      if (!variable.discrete) {
        if (VRN_dataset::IsMissingFloat(data.GetFloat(column, r), reading.missingFloat)) {
          return Format("Record %d of ", r) + VariableName(data, v) +
                 " is not finite and would read back as missing";
        }
        continue;
      }
      const int value = data.GetInt(column, r);
      named = value >= 0 && static_cast<std::size_t>(value) < variable.stateNames.size();
      if (value == reading.missingInt && literal < 0) literal = r;
    }
    if (literal >= 0 && !named) {
      return Format("Record %d of ", literal) + VariableName(data, v) + " holds " +
             std::to_string(reading.missingInt) + ", which would read back as missing";
    }
  }
  return {};
}

// Gives a whole number's text ("3", " -0 ") a decimal point ("3.0") so that
// the reader takes its column as continuous; other texts stay. The new size.
std::size_t WithPoint(char* text, std::size_t size, std::size_t capacity) {
  std::size_t k = 0;
  while (k < size && text[k] == ' ') ++k;
  if (k < size && (text[k] == '-' || text[k] == '+')) ++k;
  const std::size_t digits = k;
  while (k < size && text[k] >= '0' && text[k] <= '9') ++k;
  if (k == digits || !OnlySpaces(text + k, text + size) || size + 2 > capacity) return size;
  std::memmove(text + k + 2, text + k, size - k);
  text[k] = '.';
  text[k + 1] = '0';
  return size + 2;
}

}  // namespace

int VRN_dataset::WriteFile(const std::string& fileName,
                           const VRN_datasetWriteOptions* options,
                           std::string* errorText) const {
  const VRN_datasetWriteOptions defaults;
  if (options == nullptr) options = &defaults;
  auto fail = [&](std::string message) {
    if (errorText != nullptr) *errorText = std::move(message);
    return qelta::kErrFileIo;
  };
  const char separator = options->separator;
  const std::string& token = options->missingValueToken;
  const bool ids = options->columnIdsPresent;
  if (separator == 0 || separator == '\r' || separator == '\n' || separator == '"' ||
      static_cast<unsigned char>(separator) >= 0x80) {
    return fail("Invalid separator character");
  }
  // A token the reader cannot see as one field would turn missing cells
  // into values.
  if (token.find_first_of(std::string("\r\n\"") + separator) != std::string::npos ||
      (!token.empty() && token[0] == ' ') || HasNul(token)) {
    return fail("Invalid missing-value token: " + token);
  }
  const bool shortest = options->floatFormat == "%g";
  if (!shortest && !IsFloatFormat(options->floatFormat)) {
    return fail("Invalid float format: " + options->floatFormat);
  }
  // Refuse before the file exists what could not be read back as itself.
  if (variables_.empty()) return fail("The data set has no variables to write");
  const int records = GetRecordCount();
  if (!ids && records == 0) {
    return fail("Without column ids and records there is no first line to write");
  }
  for (std::size_t v = 0; v < variables_.size(); ++v) {
    const VRN_datasetVariable& variable = variables_[v];
    if (ids && (variable.id.empty() || HasLineBreak(variable.id))) {
      return fail(Format("Id of variable %d is empty or holds a line break",
                         static_cast<int>(v)));
    }
    if (ids && HasNul(variable.id)) {
      return fail(Format("Id of variable %d holds a NUL byte", static_cast<int>(v)));
    }
    std::unordered_set<std::string_view> seen;
    for (std::size_t s = 0; s < variable.stateNames.size(); ++s) {
      const std::string& name = variable.stateNames[s];
      if (name.empty() || HasLineBreak(name)) {
        return fail(Format("State %d of variable ", static_cast<int>(s)) + "'" + variable.id +
                    "' is empty or holds a line break");
      }
      if (HasNul(name)) {
        return fail(Format("State %d of variable ", static_cast<int>(s)) + "'" + variable.id +
                    "' holds a NUL byte");
      }
      // Such a column would read back as numbers, without its names.
      if (ReadsAsNumber(name)) {
        return fail("State '" + name + "' of variable '" + variable.id +
                    "' would read back as a number");
      }
      // The reader makes one state of one name: the cells would merge.
      if (!seen.insert(name).second) {
        return fail("State '" + name + "' of variable '" + variable.id +
                    "' is named twice and would read back as one state");
      }
    }
  }
  std::string problem = CellReadBackAsMissing(*this);
  if (!problem.empty()) return fail(std::move(problem));
  std::string formatted, again;
  for (std::size_t v = 0; v < variables_.size() && !shortest; ++v) {
    const int column = static_cast<int>(v);
    for (int r = 0; r < records && !variables_[v].discrete; ++r) {
      if (IsMissing(column, r) || FormatFloat(options->floatFormat, GetFloat(column, r),
                                              &formatted, &again)) {
        continue;
      }
      return fail(Format("Record %d of ", r) + VariableName(*this, v) + " written with '" +
                  options->floatFormat + "' would not read back as its value");
    }
  }

  std::string line;
  const std::string quoted_bytes = std::string(kSeparators) + '"' + separator;
  auto put_field = [&](std::string_view text) {
    // Any byte the reader could take for the separator is quoted too: with
    // one column the first line alone decides what the separator is.
    const bool quote = text.empty() || text == token ||
                       text.find_first_of(quoted_bytes) != std::string_view::npos;
    if (!quote) {
      line.append(text);
      return;
    }
    line.push_back('"');
    for (char c : text) {
      line.push_back(c);
      if (c == '"') line.push_back('"');
    }
    line.push_back('"');
  };
  char number[72];
  auto put_cell = [&](std::size_t v, int r) {
    const VRN_datasetVariable& variable = variables_[v];
    const int column = static_cast<int>(v);
    if (IsMissing(column, r)) {
      // An empty token would leave a blank line, which is no record at the
      // end of the file, or end the first line with a separator.
      const bool quote = token.empty() && (variables_.size() == 1 ||
                                           (!ids && r == 0 && v + 1 == variables_.size()));
      line.append(quote ? std::string_view("\"\"") : std::string_view(token));
      return;
    }
    if (variable.discrete) {
      const int value = GetInt(column, r);
      if (value >= 0 && static_cast<std::size_t>(value) < variable.stateNames.size()) {
        put_field(variable.stateNames[static_cast<std::size_t>(value)]);
        return;
      }
      const auto done = std::to_chars(number, number + sizeof number, value);
      put_field(std::string_view(number, static_cast<std::size_t>(done.ptr - number)));
      return;
    }
    const float value = GetFloat(column, r);
    if (shortest) {
      const auto size =
          static_cast<std::size_t>(std::to_chars(number, number + 64, value).ptr - number);
      put_field(std::string_view(number, WithPoint(number, size, sizeof number)));
      return;
    }
    // Checked above: the whole text reads back as the value.
    (void)FormatFloat(options->floatFormat, value, &formatted, &again);
    const std::size_t size = formatted.size();
    formatted.resize(size + 2);
    formatted.resize(WithPoint(&formatted[0], size, formatted.size()));
    put_field(formatted);
  };

  // The reader takes the first of its separators found anywhere in the
  // first line, quoted or not, and refuses a long line without any.
  std::vector<std::size_t> starts;
  for (std::size_t v = 0; v < variables_.size(); ++v) {
    if (v > 0) line.push_back(separator);
    starts.push_back(line.size());
    if (ids) {
      put_field(variables_[v].id);
    } else {
      put_cell(v, 0);
    }
  }
  auto where = [&](std::size_t v) {
    return (ids ? "Id of " : "Record 0 of ") + VariableName(*this, v);
  };
  const char* preferred = std::strchr(kSeparators, separator);
  if (variables_.size() > 1) {
    if (preferred == nullptr) {
      return fail(std::string("Separator '") + separator +
                  "' would not be found: the reader takes TAB, ',', ';' or ' '");
    }
    const std::string_view earlier(kSeparators, static_cast<std::size_t>(preferred - kSeparators));
    for (std::size_t v = 0; v < variables_.size(); ++v) {
      const std::size_t end = v + 1 < starts.size() ? starts[v + 1] - 1 : line.size();
      if (std::string_view(line).substr(starts[v], end - starts[v]).find_first_of(earlier) !=
          std::string_view::npos) {
        return fail(where(v) + " holds a character the reader would take for the separator");
      }
    }
  } else {
    const std::size_t found = line.find_first_of(kSeparators);
    if (found == std::string::npos && line.size() > 128) {
      return fail(where(0) + " makes a first line of more than 128 bytes without a separator");
    }
    if (found != std::string::npos && token.find(line[found]) != std::string::npos &&
        HasMissingValues(0)) {
      return fail("Missing-value token '" + token +
                  "' holds the separator the reader would find in the first line");
    }
  }

  std::FILE* file = VRN_Fopen(fileName.c_str(), "wt");
  if (file == nullptr) return fail("Can't open data file: " + fileName);
  CheckedOutput out(file);
  line.push_back('\n');
  out.Put(line);
  for (int r = ids ? 0 : 1; r < records; ++r) {
    line.clear();
    for (std::size_t v = 0; v < variables_.size(); ++v) {
      if (v > 0) line.push_back(separator);
      put_cell(v, r);
    }
    line.push_back('\n');
    out.Put(line);
  }
  if (!out.Close()) return fail("Error writing data file: " + fileName);
  return qelta::kOk;
}
