#include "io/text/xml_encoding.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <utf8.h>

#include "base/engine_error.h"
#include "base/status.h"
#include "network/change_guards.h"

namespace qelta {
namespace {

constexpr std::size_t kChunk = std::size_t{1} << 16;

enum class Decoding { kAsIs, kUtf16Le, kUtf16Be, kLatin1, kRefused };

void AppendUtf8(std::uint32_t code, std::string* out) {
  utf8::unchecked::append(code, std::back_inserter(*out));
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool IsOneOf(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* n : names) {
    if (name == n) return true;
  }
  return false;
}

// The encoding the XML declaration at the start of head names; empty
// without a declaration or an encoding in it.
std::string DeclaredEncoding(const std::string& head) {
  if (head.compare(0, 5, "<?xml") != 0) return {};
  const std::size_t end = head.find("?>");
  const std::string declaration = head.substr(0, end);
  const std::size_t at = declaration.find("encoding");
  if (at == std::string::npos) return {};
  std::size_t i = at + 8;
  auto blanks = [&] {
    while (i < declaration.size() &&
           (declaration[i] == ' ' || declaration[i] == '\t' || declaration[i] == '\r' ||
            declaration[i] == '\n')) {
      ++i;
    }
  };
  blanks();
  if (i >= declaration.size() || declaration[i] != '=') return {};
  ++i;
  blanks();
  if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) return {};
  const std::size_t close = declaration.find(declaration[i], i + 1);
  if (close == std::string::npos) return {};
  return declaration.substr(i + 1, close - i - 1);
}

// Whether the rest of the open file (after the bytes of head) holds only
// ASCII bytes; false also when reading fails.
bool RestIsAscii(std::FILE* file, const std::string& head) {
  if (!IsAscii(head.data(), head.size())) return false;
  std::vector<char> buffer(kChunk);
  for (;;) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file);
    if (!IsAscii(buffer.data(), n)) return false;
    if (n < buffer.size()) return std::ferror(file) == 0;
  }
}

// Turns the bytes of a file in one encoding into UTF-8, a piece at a time
// (a unit or surrogate pair split between pieces waits for the next one).
class Decoder {
 public:
  explicit Decoder(Decoding decoding) : decoding_(decoding) {}

  // False at bytes that are not the encoding's.
  bool Feed(const unsigned char* bytes, std::size_t n, std::string* out) {
    if (decoding_ == Decoding::kLatin1) {
      for (std::size_t k = 0; k < n; ++k) AppendUtf8(bytes[k], out);
      return true;
    }
    for (std::size_t k = 0; k < n; ++k) {
      if (!have_byte_) {
        byte_ = bytes[k];
        have_byte_ = true;
        continue;
      }
      have_byte_ = false;
      const std::uint32_t unit = decoding_ == Decoding::kUtf16Le
                                     ? byte_ | (std::uint32_t{bytes[k]} << 8)
                                     : (std::uint32_t{byte_} << 8) | bytes[k];
      if (high_ != 0) {
        if (unit < 0xDC00 || unit > 0xDFFF) return false;
        AppendUtf8(0x10000 + ((high_ - 0xD800) << 10) + (unit - 0xDC00), out);
        high_ = 0;
      } else if (unit >= 0xD800 && unit <= 0xDBFF) {
        high_ = unit;
      } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
        return false;
      } else {
        AppendUtf8(unit, out);
      }
    }
    return true;
  }
  // Whether the input ended between characters.
  bool Finished() const { return !have_byte_ && high_ == 0; }

 private:
  Decoding decoding_;
  unsigned char byte_ = 0;
  bool have_byte_ = false;
  std::uint32_t high_ = 0;
};

// Opens a new file of a name no other file has in the temporary directory.
std::FILE* CreateTemporary(std::string* path) {
  static std::atomic<unsigned> counter{0};
  std::error_code error;
  std::filesystem::path directory = std::filesystem::temp_directory_path(error);
  if (error) directory = ".";
  unsigned salt = 0;
  try {
    salt = std::random_device()();
  } catch (...) {
    // A counter alone still gives distinct names within the process.
  }
  for (int attempt = 0; attempt < 32; ++attempt) {
    const std::string name = "qelta_xml_" + std::to_string(salt) + "_" +
                             std::to_string(counter.fetch_add(1)) + ".xml";
    *path = (directory / name).u8string();
    // "x": never an existing file.
    std::FILE* file = VRN_Fopen(path->c_str(), "wbx");
    if (file != nullptr) return file;
  }
  return nullptr;
}

}  // namespace

XmlUtf8Source::~XmlUtf8Source() {
  if (copied_) std::remove(path_.c_str());
}

int XmlUtf8Source::Prepare(const char* file_name, std::string* message) {
  path_ = file_name != nullptr ? file_name : "";
  std::FILE* file = VRN_Fopen(file_name, "rb");
  if (file == nullptr) return kOk;
  struct Closer {
    std::FILE* file;
    ~Closer() { std::fclose(file); }
  } closer{file};
  std::string head(kChunk, '\0');
  head.resize(std::fread(&head[0], 1, head.size(), file));
  auto starts = [&head](const char* bytes, std::size_t n) {
    return head.size() >= n && head.compare(0, n, bytes, n) == 0;
  };
  Decoding decoding = Decoding::kAsIs;
  std::size_t skip = 0;
  std::string encoding;
  if (starts("\xEF\xBB\xBF", 3)) {
    return kOk;  // UTF-8 by its byte-order mark
  } else if (starts("\0\0\xFE\xFF", 4) || starts("\0\0\0<", 4) || starts("<\0\0\0", 4)) {
    encoding = "UTF-32";
    decoding = Decoding::kRefused;
  } else if (starts("\xFF\xFE", 2) || starts("<\0?\0", 4)) {
    decoding = Decoding::kUtf16Le;
    skip = starts("\xFF\xFE", 2) ? 2 : 0;
  } else if (starts("\xFE\xFF", 2) || starts("\0<\0?", 4)) {
    decoding = Decoding::kUtf16Be;
    skip = starts("\xFE\xFF", 2) ? 2 : 0;
  } else {
    encoding = DeclaredEncoding(head);
    const std::string name = Upper(encoding);
    if (name.empty() || name == "UTF-8" || name == "UTF8") return kOk;
    if (name.compare(0, 6, "UTF-16") == 0 || name.compare(0, 6, "UTF-32") == 0 ||
        name == "UCS-2" || name == "UCS-4") {
      *message = "ERROR: [BIF] : Encoding \"" + encoding +
                 "\" declared, but the file is written in single bytes";
      return kErrFileIo;
    }
    if (RestIsAscii(file, head)) return kOk;
    const bool latin1 =
        IsOneOf(name, {"ISO-8859-1", "ISO8859-1", "ISO_8859-1", "ISO_8859-1:1987", "LATIN1",
                       "LATIN-1", "L1", "ISO-IR-100", "CP819", "IBM819", "CSISOLATIN1"});
    if (!latin1) {
      *message = "ERROR: [BIF] : Encoding \"" + encoding +
                 "\" is not supported: the file holds bytes beyond ASCII";
      return kErrFileIo;
    }
    decoding = Decoding::kLatin1;
  }
  if (decoding == Decoding::kRefused) {
    *message = "ERROR: [BIF] : Encoding \"" + encoding + "\" is not supported";
    return kErrFileIo;
  }
  const char* const name = decoding == Decoding::kLatin1 ? "ISO-8859-1" : "UTF-16";
  std::string copy_path;
  std::FILE* copy = CreateTemporary(&copy_path);
  if (copy == nullptr) {
    *message = std::string("ERROR: [BIF] : No room for the UTF-8 copy of the ") + name +
               " file";
    return kErrFileIo;
  }
  path_ = copy_path;
  copied_ = true;
  Decoder decoder(decoding);
  std::string out;
  bool ok = true;
  bool written = true;
  std::rewind(file);
  std::vector<unsigned char> buffer(kChunk);
  for (bool first = true; ok && written; first = false) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file);
    const std::size_t from = first ? std::min(skip, n) : 0;
    out.clear();
    ok = decoder.Feed(buffer.data() + from, n - from, &out);
    written = std::fwrite(out.data(), 1, out.size(), copy) == out.size();
    if (n < buffer.size()) break;
  }
  const bool read_failed = std::ferror(file) != 0;
  written = std::fclose(copy) == 0 && written;
  if (!ok || !decoder.Finished()) {
    *message = std::string("ERROR: [BIF] : The file is not valid ") + name;
    return kErrFileIo;
  }
  if (read_failed || !written) {
    *message = std::string("ERROR: [BIF] : The UTF-8 copy of the ") + name +
               " file could not be made";
    return kErrFileIo;
  }
  return kOk;
}

}  // namespace qelta
