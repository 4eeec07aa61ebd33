// Feeds arbitrary bytes to the text lexer and the token helpers of the text
// formats, and checks that escaped strings survive the wrapping writer.
//
// The first byte picks the run: with bit 7 clear the rest of the input is a
// file read in dialect 1 + (byte % 4) through a mix of peeks, consumes,
// steps back, statement skips, list and field readers; with bit 7 set the
// rest is a string value written as a quoted field at a line width and
// indentation taken from the next two bytes, with and without the
// continuation mark, and read back; any difference aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/arrays.h"
#include "base/error_log.h"
#include "base/strings.h"
#include "fuzz_support.h"
#include "io/text/format_helpers.h"
#include "io/text/lexer.h"

namespace {

const std::string& ScratchPath() {
  static const std::string path = qelta_fuzz::ScratchPath("lexer", ".txt");
  return path;
}

bool WriteScratch(const uint8_t* data, size_t size) {
  return qelta_fuzz::WriteScratch(ScratchPath(), data, size);
}

class ContinuingFormat : public qelta::TextFormatBase {
 public:
  using TextFormatBase::TextFormatBase;
  void BeginContinuation() override { Output().SetContinuation("\\ "); }
  void EndContinuation() override { Output().SetContinuation(nullptr); }
};

void RunReaders(int dialect, size_t size) {
  VRN_errorLog log;
  qelta::TextFormatBase format(&log);
  if (format.CreateLexer(dialect, ScratchPath().c_str()) != 0) return;
  VRN_textLexer* lexer = format.GetLexer();
  VRN_textToken token;
  // Every step consumes at least one token or ends the run, except the
  // steps back, which the budget bounds.
  const size_t budget = 4 * size + 64;
  for (size_t step = 0; step < budget; ++step) {
    if (lexer->PeekToken(&token) != 0) break;
    switch (step % 7) {
      case 0:
        lexer->Consume();
        break;
      case 1:
        if (lexer->Back() == 0 && lexer->PeekToken(&token) == 0) {
          lexer->Consume();
        }
        lexer->Consume();
        break;
      case 2:
        if (format.SkipStatement() != 0) return;
        lexer->Consume();
        break;
      case 3: {
        VRN_doubleArray numbers;
        if (format.ReadDoubleList(&numbers) != 0) lexer->Consume();
        break;
      }
      case 4: {
        VRN_stringArray words;
        if (format.ReadIdentifierList(&words) != 0 &&
            format.ReadStringList(&words) != 0) {
          lexer->Consume();
        }
        break;
      }
      case 5: {
        int value = 0;
        const std::string name = token.text;
        std::string text;
        if (format.ReadBoolField(name.c_str(), &value) != 0 &&
            format.ReadString(&text) != 0) {
          lexer->Consume();
        }
        break;
      }
      default:
        if (format.IsBlockEnd() == 1) (void)format.ReadBlockEnd();
        lexer->Consume();
        break;
    }
  }
}

void CheckRoundTrip(bool continuing, int width, int levels,
                    const std::string& value) {
  VRN_errorLog log;
  {
    ContinuingFormat continuing_format(&log);
    qelta::TextFormatBase plain_format(&log);
    qelta::TextFormatBase& format =
        continuing ? continuing_format : plain_format;
    VRN_textOutput& out = format.Output();
    if (out.Open(ScratchPath().c_str(), VRN_textOutput::kOpenForWriting,
                 &log) != 0) {
      return;
    }
    (void)out.SetLineWidth(width);
    for (int i = 0; i < levels; ++i) (void)out.Indent();
    format.WriteQuotedStringField("V", value.c_str());
    VRN_stringArray list;
    list.Add(value.c_str());
    list.Add(value.c_str());
    format.WriteStringListField("L", list, 0);
    if (out.Close() != 0) return;
  }
  qelta::TextFormatBase reader(&log);
  if (reader.CreateLexer(1, ScratchPath().c_str()) != 0) std::abort();
  if (reader.ReadFieldHeader("V", qelta::kTokenString) != 0) std::abort();
  if (value != reader.CurrentToken().text) std::abort();
  if (reader.Expect(qelta::kTokenPunctuator, ";") != 0) std::abort();
  if (reader.Expect(qelta::kTokenIdentifier, "L") != 0) std::abort();
  if (reader.Expect(qelta::kTokenPunctuator, "=") != 0) std::abort();
  VRN_stringArray list;
  if (reader.ReadStringList(&list) != 0 || list.GetSize() != 2) std::abort();
  if (value != list.Get(0) || value != list.Get(1)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int mode = data[0];
  if ((mode & 0x80) == 0) {
    if (!WriteScratch(data + 1, size - 1)) return 0;
    RunReaders(1 + mode % 4, size);
  } else if (size >= 3) {
    const int width = 2 + data[1] % 120;
    const int levels = data[2] % 16;
    std::string value;
    for (size_t i = 3; i < size; ++i) {
      if (data[i] != 0) value.push_back(static_cast<char>(data[i]));
    }
    CheckRoundTrip(true, width, levels, value);
    CheckRoundTrip(false, width, levels, value);
  }
  return 0;
}
