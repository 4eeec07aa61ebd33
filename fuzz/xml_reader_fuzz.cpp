// Feeds arbitrary bytes to the XML reader over a small binding tree that
// exercises every matching rule: strict and lenient modes, required and
// repeated children, required attributes, text tokens and typed attributes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/error_log.h"
#include "io/xml/xml_reader.h"

namespace {

// Delivers the input in pieces of varying size, so token and chunk
// boundaries fall everywhere; embedded NUL bytes are passed on.
class ByteStream : public IXmlInputStream {
 public:
  ByteStream(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t Read(char* buffer, size_t size) override {
    const size_t count = size < size_ - offset_ ? size : size_ - offset_;
    memcpy(buffer, data_ + offset_, count);
    offset_ += count;
    return count;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
};

class Loader : public XmlReader, public XmlErrorHandler {
 public:
  Loader()
      : root_(this, "qelta", 0, &Loader::OnAny, &Loader::OnEnd),
        strict_(this, "strict", kXmlStrictAttributes | kXmlStrictElements,
                &Loader::OnAny, &Loader::OnEnd),
        item_(this, "item", kXmlInheritMode, &Loader::OnAny, &Loader::OnEnd,
              &Loader::OnToken),
        text_(this, "text", kXmlInheritMode, nullptr, &Loader::OnEnd) {
    root_.AddAttribute("version", true);
    root_.AddAttribute("id", false);
    root_.AddChild(&strict_, 0);
    root_.AddChild(&item_, kXmlRepeat);
    root_.AddChild(&text_, kXmlRequired | kXmlRepeat);
    strict_.AddChild(&item_, kXmlRequired);
    strict_.AddAttribute("n", false);
    item_.AddChild(&item_, kXmlRepeat);
    item_.AddChild(&text_, 0);
    item_.AddAttribute("d", false);
    item_.AddAttribute("b", false);
  }

  void Run(const uint8_t* data, size_t size) {
    Init("fuzz.xml", &log_);
    ByteStream input(data, size);
    if (Parse(input, &root_, this)) ReportUnknownContent();
    log_.Flush();
  }

 private:
  void OnAny(IXmlReader& r) {
    int i = 0;
    double d = 0;
    bool b = false;
    std::string s;
    r.GetAttribute("id", s);
    if (!r.GetIntAttribute("n", i, 0)) return;
    if (!r.GetDoubleAttribute("d", d, 0.0)) return;
    if (!r.GetBoolAttribute("b", b, false)) return;
    std::string version;
    r.GetAttribute("version", version);
    if (!version.empty()) XmlCheckVersion(r, version.c_str(), "1.0");
  }
  void OnToken(IXmlReader& r) {
    if (r.GetText() == "abort") r.Abort("abort token");
  }
  void OnEnd(IXmlReader& r) {
    std::string text;
    r.GetUnescapedText(text);
    int line = 0;
    int column = 0;
    r.GetPosition(line, column);
  }

  VRN_errorLog log_;
  XmlHandler<Loader> root_;
  XmlHandler<Loader> strict_;
  XmlHandler<Loader> item_;
  XmlHandler<Loader> text_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Loader loader;
  loader.Run(data, size);
  return 0;
}
