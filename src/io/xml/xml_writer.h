// Streaming XML writer with a fixed layout.
//
// One element per line, one TAB per nesting level up to kMaxIndent TABs,
// attributes queued until the next start tag, text escaped in one of two
// modes:
//   mode 0        <>&"' as entities, TAB, line feed and carriage return as
//                 character references, other control bytes as "."
//   mode non-zero <>&"' as entities, TAB as \t, line feed as \n, carriage
//                 return as a character reference, backslash doubled, other
//                 control bytes "."
// XmlReader::GetUnescapedText undoes the non-zero mode; expat resolves the
// references, so both modes give back every byte but the other control
// bytes, which XML 1.0 cannot carry at all. Nor can it carry bytes that
// are not UTF-8 (cut or overlong sequences, encoded surrogates) or the
// characters U+FFFE and U+FFFF: escaped text writes each as U+FFFD, so the
// document stays readable; savers that must give texts back exactly refuse
// them beforehand (IsXmlText).
//
// The writer does not own its output; the caller keeps the output alive for
// the writer's use. Output failures (a full disk) are remembered: Failed()
// answers true once any write was refused, and XmlWriterFileOutput::Close
// reports a failed flush or close; a string output that runs out of memory
// refuses the write the same way. Whoever saves checks both.
//
// Threads: one writer per save on the calling thread.
#ifndef QELTA_IO_XML_XML_WRITER_H_
#define QELTA_IO_XML_XML_WRITER_H_

#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

// Where the text goes.
class IXmlWriterOutput {
 public:
  // Each answers false when the text could not be written.
  virtual bool Write(const char* text) = 0;
  virtual bool WriteChar(int character) = 0;
  virtual ~IXmlWriterOutput() = default;
};

// A file opened through VRN_Fopen in text mode ("wt").
class XmlWriterFileOutput final : public IXmlWriterOutput {
 public:
  XmlWriterFileOutput() = default;
  XmlWriterFileOutput(const XmlWriterFileOutput&) = delete;
  XmlWriterFileOutput& operator=(const XmlWriterFileOutput&) = delete;
  // Closes a file that is still open (its result is lost: call Close).
  ~XmlWriterFileOutput() override;

  // Opens (creates or truncates) the UTF-8 named file; false when that
  // fails. REQUIRES: no file is open.
  [[nodiscard]] bool Open(const char* file_name);
  // Flushes and closes the file; false when any write, the flush or the
  // close failed (full disk), or when no file was open.
  [[nodiscard]] bool Close();

  bool Write(const char* text) override;
  bool WriteChar(int character) override;

 private:
  FILE* file_ = nullptr;
  bool failed_ = false;
};

// Appends to a caller's string, which must outlive it.
class XmlWriterStringOutput final : public IXmlWriterOutput {
 public:
  explicit XmlWriterStringOutput(std::string* text) : text_(text) {}
  bool Write(const char* text) override;
  bool WriteChar(int character) override;

 private:
  std::string* text_;
};

class IXmlWriter {
 public:
  virtual void SetOutput(IXmlWriterOutput* output) = 0;
  virtual void StartElement(const char* name) = 0;
  virtual void EndElement(const char* name) = 0;
  virtual void WriteTextElement(const char* name, const char* text,
                                int escape_mode) = 0;
  virtual void AddDoubleAttribute(const char* name, double value) = 0;
  virtual void AddBoolAttribute(const char* name, bool value) = 0;
  virtual void AddIntAttribute(const char* name, int value) = 0;
  virtual void AddStringAttribute(const char* name, const char* value) = 0;
  virtual void Release() = 0;
  virtual ~IXmlWriter() = default;
};

class XmlWriter : public IXmlWriter {
 public:
  // Deeper elements are indented as deep as this.
  static constexpr int kMaxIndent = 32;

  XmlWriter() = default;
  explicit XmlWriter(IXmlWriterOutput* output) : output_(output) {}
  XmlWriter(const XmlWriter&) = delete;
  XmlWriter& operator=(const XmlWriter&) = delete;

  // All later text goes to output (not owned).
  void SetOutput(IXmlWriterOutput* output) override;
  // Depth 0; with declaration, writes the UTF-8 XML declaration line.
  void WriteHeader(bool declaration);
  // Start tag with the queued attributes, ">" and a line feed; depth + 1.
  void StartElement(const char* name) override;
  // Depth - 1, then the end tag on its own line.
  void EndElement(const char* name) override;
  // One line: <name ...>escaped text</name>; a null text gives <name ... />.
  void WriteTextElement(const char* name, const char* text,
                        int escape_mode) override;
  // <!-- text --> on its own line; the text is written as it stands, but
  // for U+FFFD in place of what XML cannot carry (as escaped text).
  void WriteComment(const char* text);
  // One line of values "%.16g" (or "%.17g" where sixteen digits would not
  // read back exactly) separated by blanks; a value equal to
  // special_value is written as special_text when that is not null.
  void WriteDoubleList(const char* name, const double* values, int count,
                       const char* special_text, double special_value);
  // One line of the strings as they stand (U+FFFD as in WriteComment),
  // separated by blanks.
  void WriteStringList(const char* name, const char* const* strings,
                       int count);

  // Queue an attribute for the next start tag ("%.16g", "true"/"false",
  // decimal, or the text; values are escaped in mode 0 when written).
  void AddDoubleAttribute(const char* name, double value) override;
  void AddBoolAttribute(const char* name, bool value) override;
  void AddIntAttribute(const char* name, int value) override;
  void AddStringAttribute(const char* name, const char* value) override;
  void Release() override;

  // True when text (null counts as empty) is UTF-8 of characters that
  // escaped text carries unchanged: no U+FFFE or U+FFFF. Control bytes
  // pass, as the escaping has its own forms for them.
  static bool IsXmlText(const char* text);
  // True when text holds a control byte that escaped text writes as "."
  // (any below 0x20 but TAB, LF and CR): a text that must read back as it
  // is, such as an identifier or a name records are found by, may not.
  static bool HasDottedControlByte(const char* text);

  // True once the output refused any write since SetOutput.
  bool Failed() const { return failed_; }
  int depth() const { return depth_; }

 protected:
  void Put(const char* text);
  void PutChar(char c);
  void PutEscaped(const char* text, int escape_mode);
  void PutIndent();
  // Indentation, "<name", the queued attributes; empties the queue.
  void PutStartTag(const char* name);

 private:
  IXmlWriterOutput* output_ = nullptr;
  std::vector<std::pair<std::string, std::string>> pending_;
  int depth_ = 0;
  bool failed_ = false;
};

// Writes the elements of a block that the network file carries for someone
// else (the layout block by default) at the writer's current position.
class IXmlWriterExtension {
 public:
  virtual void Write(IXmlWriter& writer) = 0;
  // Text of the comment written before the document's root; may be empty.
  virtual void GetComment(std::string& out) = 0;
  virtual void Release() = 0;

 protected:
  ~IXmlWriterExtension() = default;
};

// Starts an element on construction and ends it on destruction. While an
// exception unwinds the stack the document is abandoned, so no end tag is
// written then; the destructor never throws.
class XmlElementScope {
 public:
  XmlElementScope(IXmlWriter& writer, const char* name)
      : name_(name), writer_(writer), exceptions_(std::uncaught_exceptions()) {
    writer_.StartElement(name_.c_str());
  }
  ~XmlElementScope() {
    if (std::uncaught_exceptions() > exceptions_) return;
    try {
      writer_.EndElement(name_.c_str());
    } catch (...) {
      // Our writers refuse writes rather than throw; a caller's writer
      // that throws loses its end tag and its output is not usable anyway.
    }
  }
  XmlElementScope(const XmlElementScope&) = delete;
  XmlElementScope& operator=(const XmlElementScope&) = delete;

 private:
  std::string name_;
  IXmlWriter& writer_;
  int exceptions_;
};

#endif  // QELTA_IO_XML_XML_WRITER_H_
