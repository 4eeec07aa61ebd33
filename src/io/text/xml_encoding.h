// The character encoding of an XML file read through the text lexer, which
// reads UTF-8.
//
// XmlUtf8Source looks at a file's first bytes and its XML declaration:
// UTF-8 (or no declared encoding) is read as it is; a file in UTF-16 (by
// its byte-order mark, or by "<?" in two-byte units) or in ISO-8859-1 with
// bytes of 0x80 and above is decoded into a UTF-8 copy in the temporary
// directory, which the record removes; a file whose bytes are all ASCII is
// read as it is whatever ASCII-compatible encoding it declares. Any other
// file is refused, naming the encoding: bytes of 0x80 and above under
// another declared encoding, bytes that are not UTF-16 in a UTF-16 file, a
// declared UTF-16 or UTF-32 in single bytes. No file is ever read as
// another encoding than its own.
//
// Thread use: one record per read on the calling thread.
#ifndef QELTA_IO_TEXT_XML_ENCODING_H_
#define QELTA_IO_TEXT_XML_ENCODING_H_

#include <string>

namespace qelta {

class XmlUtf8Source {
 public:
  XmlUtf8Source() = default;
  // Removes the UTF-8 copy, if one was made.
  ~XmlUtf8Source();
  XmlUtf8Source(const XmlUtf8Source&) = delete;
  XmlUtf8Source& operator=(const XmlUtf8Source&) = delete;

  // Looks at file_name. 0 with Path() the name to read (the file itself or
  // its UTF-8 copy); -103 with *message saying why when the file's
  // encoding is refused or the copy cannot be made. A file that cannot be
  // opened answers 0 with the file itself, for the lexer to report.
  // REQUIRES: message != nullptr.
  int Prepare(const char* file_name, std::string* message);
  const char* Path() const { return path_.c_str(); }

 private:
  std::string path_;
  bool copied_ = false;
};

}  // namespace qelta

#endif  // QELTA_IO_TEXT_XML_ENCODING_H_
