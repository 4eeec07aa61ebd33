// Declarative XML reading over expat.
//
// A loader declares the element tree it accepts as a tree of bindings
// (element name, attributes, children with required/repeat flags, a
// strictness mode) and attaches a handler to each binding. XmlReader runs
// expat over a file or a string in 4096-byte chunks, matches every element
// against the bindings, checks children and attributes, and reports every
// problem with line and column through an IXmlErrorHandler. It knows nothing
// of networks.
//
// Ownership: bindings are created by the loader (directly or through
// XmlReader::CreateBinding) and released by it after the parse; a parent
// binding does not own its children; handlers are not owned by bindings.
// The reader owns its expat parser and its frames only while Parse runs.
//
// Threads: one reader serves one parse on the calling thread.
#ifndef QELTA_IO_XML_XML_READER_H_
#define QELTA_IO_XML_XML_READER_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <expat.h>

class VRN_errorLog;
class IXmlReader;

// Flags of IXmlBinding::AddChild.
inline constexpr int kXmlRequired = 1;  // the child must occur
inline constexpr int kXmlRepeat = 2;    // the child may occur more than once

// Binding modes. A clear bit makes the matching case a warning only.
inline constexpr int kXmlStrictAttributes = 1;  // undeclared attribute: error
inline constexpr int kXmlStrictElements = 2;    // undeclared child: error
inline constexpr int kXmlInheritMode = 4;       // take the parent's mode

// Receives the callbacks of one element (or of several, for delegators).
class IXmlHandler {
 public:
  virtual void OnStart(IXmlReader& reader) = 0;
  virtual void OnEnd(IXmlReader& reader) = 0;
  // Called once per whitespace-separated token of the element's text, only
  // when HasTextHandler answers true; the token is IXmlReader::GetText.
  virtual void OnText(IXmlReader& reader) {}
  virtual bool HasTextHandler() const { return false; }

 protected:
  ~IXmlHandler() = default;
};

// The declaration of one element.
class IXmlBinding {
 public:
  // Appends a child declaration; flags combine kXmlRequired and kXmlRepeat.
  // Children are matched by name in this order; the first match wins. The
  // child is not owned. REQUIRES: child was made by this framework (an
  // XmlBinding or derived class).
  virtual void AddChild(IXmlBinding* child, int flags) = 0;
  // Appends an attribute declaration.
  virtual void AddAttribute(const char* name, bool required) = 0;
  // Deletes the binding.
  virtual void Release() = 0;
  virtual ~IXmlBinding() = default;
};

// Receives every problem the reader finds.
class IXmlErrorHandler {
 public:
  // A fatal error; the parse fails.
  virtual void OnError(const char* message, int line, int column) = 0;
  // An undeclared element inside a lenient element; it is skipped.
  virtual void OnUnknownElement(const char* element, const char* parent,
                                int line, int column) = 0;
  // An undeclared attribute in a lenient element; it is ignored.
  virtual void OnUnknownAttribute(const char* element, const char* attribute,
                                  int line, int column) = 0;

 protected:
  ~IXmlErrorHandler() = default;
};

// Source of document bytes.
class IXmlInputStream {
 public:
  // Copies up to size bytes into buffer; answers the count, 0 at the end.
  virtual size_t Read(char* buffer, size_t size) = 0;

 protected:
  ~IXmlInputStream() = default;
};

// Reads an open standard-runtime stream; does not close it.
class XmlInputFileStream final : public IXmlInputStream {
 public:
  explicit XmlInputFileStream(FILE* file) : file_(file) {}
  size_t Read(char* buffer, size_t size) override;

 private:
  FILE* file_;
};

// Reads a NUL-terminated text (the NUL excluded); the text must outlive it.
class XmlInputStringStream final : public IXmlInputStream {
 public:
  explicit XmlInputStringStream(const char* text);
  size_t Read(char* buffer, size_t size) override;

 private:
  const char* current_;
  const char* end_;
};

// The declaration of one element. The handler is not owned.
class XmlBinding : public IXmlBinding {
 public:
  struct Child {
    XmlBinding* binding;
    int flags;
  };
  struct Attribute {
    std::string name;
    bool required;
  };

  // REQUIRES: name is not null.
  XmlBinding(IXmlHandler* handler, const char* name, int mode);
  XmlBinding(const XmlBinding&) = delete;
  XmlBinding& operator=(const XmlBinding&) = delete;

  void AddChild(IXmlBinding* child, int flags) override;
  void AddAttribute(const char* name, bool required) override;
  void Release() override;

  IXmlHandler* handler() const { return handler_; }
  const std::string& name() const { return name_; }
  int mode() const { return mode_; }
  const std::vector<Child>& children() const { return children_; }
  const std::vector<Attribute>& attributes() const { return attributes_; }

 protected:
  void set_handler(IXmlHandler* handler) { handler_ = handler; }

 private:
  IXmlHandler* handler_;
  std::string name_;
  std::vector<Child> children_;
  std::vector<Attribute> attributes_;
  int mode_;
};

// A binding that is its own handler and forwards to member functions of a
// loader T; any of the three members may be null.
template <class T>
class XmlHandler : public XmlBinding, public IXmlHandler {
 public:
  using Member = void (T::*)(IXmlReader&);

  XmlHandler(T* owner, const char* name, int mode, Member start, Member end,
             Member text = nullptr)
      : XmlBinding(nullptr, name, mode),
        owner_(owner),
        start_(start),
        end_(end),
        text_(text) {
    set_handler(this);
  }

  void OnStart(IXmlReader& reader) override {
    if (start_ != nullptr) (owner_->*start_)(reader);
  }
  void OnEnd(IXmlReader& reader) override {
    if (end_ != nullptr) (owner_->*end_)(reader);
  }
  void OnText(IXmlReader& reader) override {
    if (text_ != nullptr) (owner_->*text_)(reader);
  }
  bool HasTextHandler() const override { return text_ != nullptr; }

 private:
  T* owner_;
  Member start_;
  Member end_;
  Member text_;
};

// A handler for a plain XmlBinding made by XmlReader::CreateBinding: forwards
// the element's callbacks to member functions of a loader T. It remembers
// the binding it serves so its owner can release both together.
template <class T>
class XmlDelegator final : public IXmlHandler {
 public:
  using Member = void (T::*)(IXmlReader&);

  XmlDelegator(T* owner, Member start, Member end, Member text = nullptr)
      : owner_(owner), start_(start), end_(end), text_(text) {}
  XmlDelegator(const XmlDelegator&) = delete;
  XmlDelegator& operator=(const XmlDelegator&) = delete;

  void OnStart(IXmlReader& reader) override {
    if (start_ != nullptr) (owner_->*start_)(reader);
  }
  void OnEnd(IXmlReader& reader) override {
    if (end_ != nullptr) (owner_->*end_)(reader);
  }
  void OnText(IXmlReader& reader) override {
    if (text_ != nullptr) (owner_->*text_)(reader);
  }
  bool HasTextHandler() const override { return text_ != nullptr; }

  IXmlBinding* binding() const { return binding_; }
  void set_binding(IXmlBinding* binding) { binding_ = binding; }

 private:
  T* owner_;
  Member start_;
  Member end_;
  Member text_;
  IXmlBinding* binding_ = nullptr;
};

class IXmlReader {
 public:
  // See XmlReader for the meaning of each operation.
  virtual bool ReadFile(const char* file_name, IXmlBinding* root,
                        IXmlErrorHandler* error_handler) = 0;
  virtual bool ReadString(const char* text, IXmlBinding* root,
                          IXmlErrorHandler* error_handler) = 0;
  virtual bool Parse(IXmlInputStream& input, IXmlBinding* root,
                     IXmlErrorHandler* error_handler) = 0;
  virtual void Abort(const char* message) = 0;
  virtual void GetPosition(int& line, int& column) const = 0;
  virtual const std::string& GetText() const = 0;
  virtual void GetUnescapedText(std::string& out) const = 0;
  virtual bool GetDoubleAttribute(const char* name, double& out,
                                  double default_value) = 0;
  virtual bool GetIntAttribute(const char* name, int& out,
                               int default_value) = 0;
  virtual bool GetBoolAttribute(const char* name, bool& out,
                                bool default_value) = 0;
  virtual void GetAttribute(const char* name, std::string& out) const = 0;
  virtual IXmlBinding* CreateBinding(IXmlHandler* handler, const char* name,
                                     int mode) = 0;
  virtual void Release() = 0;
  virtual ~IXmlReader() = default;
};

namespace qelta {
// Elements nested deeper than this fail the parse, so a hostile document
// cannot make the frame stack (or a loader's own stacks) grow without end.
inline constexpr size_t kMaxXmlDepth = 4096;
// Bytes handed to expat per XML_Parse call.
inline constexpr size_t kXmlChunkSize = 4096;
}  // namespace qelta

class XmlReader : public IXmlReader {
 public:
  XmlReader();
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;
  ~XmlReader() override;

  // Opens the UTF-8 named file ("rb") and parses it. When it cannot be
  // opened, reports "Can't open file <name>" at line 0, column 0 and answers
  // false. Answers true when the document matched the bindings.
  bool ReadFile(const char* file_name, IXmlBinding* root,
                IXmlErrorHandler* error_handler) override;
  // Parses the whole NUL-terminated text.
  bool ReadString(const char* text, IXmlBinding* root,
                  IXmlErrorHandler* error_handler) override;
  // Runs expat over the stream; true on success. Every failure went to the
  // error handler (none when it is null). Rethrows std::bad_alloc and the
  // like raised by a handler, after the parser has been freed.
  // REQUIRES: root is an XmlBinding; not called from inside a handler.
  bool Parse(IXmlInputStream& input, IXmlBinding* root,
             IXmlErrorHandler* error_handler) override;
  // The handlers' fatal-error path: reports the message at the current
  // position and stops every further callback; Parse then answers false.
  void Abort(const char* message) override;
  // expat's current line (from 1) and column (from 0); 0, 0 outside Parse.
  void GetPosition(int& line, int& column) const override;
  // The text of the innermost open element; during OnText, the token.
  const std::string& GetText() const override;
  // GetText with "\n", "\t" and "\x" (x any other byte) resolved.
  void GetUnescapedText(std::string& out) const override;
  // Typed attributes of the element being started (valid during OnStart).
  // Absent: out = default, true. Malformed: Abort with the type's message
  // and false (out unchanged).
  bool GetDoubleAttribute(const char* name, double& out,
                          double default_value) override;
  bool GetIntAttribute(const char* name, int& out, int default_value) override;
  // As GetIntAttribute, for values of 64 bits (the same rules and message).
  bool GetInt64Attribute(const char* name, std::int64_t& out,
                         std::int64_t default_value);
  bool GetBoolAttribute(const char* name, bool& out,
                        bool default_value) override;
  // The value of the attribute, or "" when absent.
  void GetAttribute(const char* name, std::string& out) const override;
  // A new XmlBinding, owned by the caller (free with Release); null when
  // memory runs out.
  XmlBinding* CreateBinding(IXmlHandler* handler, const char* name,
                            int mode) override;
  void Release() override;

 private:
  struct Frame {
    XmlBinding* binding = nullptr;  // null for an ignored element
    std::set<std::string> met;      // child element names seen so far
    std::string text;
    int mode = 0;
  };

  static void XMLCALL StartThunk(void* user, const XML_Char* name,
                                 const XML_Char** attributes);
  static void XMLCALL EndThunk(void* user, const XML_Char* name);
  static void XMLCALL TextThunk(void* user, const XML_Char* text, int length);

  void OnStartElement(const char* name, const char** attributes);
  void OnEndElement(const char* name);
  void OnCharacterData(const char* text, int length);
  void PushBinding(XmlBinding* binding, const char* name,
                   const char** attributes);
  void Fatal(const std::string& message);
  const char* FindAttribute(const char* name) const;
  void Stop();
  void KeepException();

  std::vector<std::unique_ptr<Frame>> frames_;
  XmlBinding* root_ = nullptr;
  const char** attributes_ = nullptr;
  XML_Parser parser_ = nullptr;
  bool stop_ = false;
  IXmlErrorHandler* error_handler_ = nullptr;
  std::exception_ptr pending_exception_;
};

// Turns reader problems into entries of a network error log: -103 for
// errors, -100 for warnings, each with its location.
class XmlErrorHandler : public IXmlErrorHandler {
 public:
  XmlErrorHandler() = default;

  // Sets the file name used in messages (null for none) and the log (null
  // logs nothing), and clears the warnings-seen flag.
  void Init(const char* file_name, VRN_errorLog* log);

  // Logs -103 "Error at <line>, <column>[ while loading <file>]: <message>".
  void OnError(const char* message, int line, int column) override;
  // Logs -100 "Warning: Ignored unknown element '<e>'<location>".
  void OnUnknownElement(const char* element, const char* parent, int line,
                        int column) override;
  // Logs -100 "Warning: Ignored unknown attribute '<a>' in '<e>'<location>".
  void OnUnknownAttribute(const char* element, const char* attribute,
                          int line, int column) override;

  // Builds the text OnError would log, without logging it.
  void FormatMessage(const char* message, int line, int column,
                     std::string& out) const;
  // After a successful load: when a warning was logged, logs -100
  // "XML contains unknown elements and/or attributes. ".
  void ReportUnknownContent();

  bool warnings_seen() const { return warnings_seen_; }

 private:
  void AppendLocation(int line, int column, std::string& out) const;

  std::string file_name_;
  bool has_file_name_ = false;
  bool warnings_seen_ = false;
  VRN_errorLog* log_ = nullptr;
};

// Fails the parse (through Abort) when found, read as a number, is greater
// than expected; an older or unparsable version passes. Answers whether the
// version was accepted.
bool XmlCheckVersion(IXmlReader& reader, const char* found,
                     const char* expected);

#endif  // QELTA_IO_XML_XML_READER_H_
