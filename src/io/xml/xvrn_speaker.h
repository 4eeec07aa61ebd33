// VRN_xvrnSpeaker: the speaker of the XML network format (format code 8,
// extensions "xvrn" and "qvrn"), and the one the network's string
// operations use.
//
// A thin adapter: reading runs the XML network loader (XmlNetLoader),
// writing the XML network saver (XmlNetworkSaver), each with the speaker's
// extension choice. Both log their own messages in the network's error log;
// the speaker answers -103 for any failure. The loader's identifier map and
// parent-before-child rule make the format guarantee unique identifiers and
// an acyclic graph, so a load may skip the network's per-call tests.
//
// Ownership: the network and a caller's extension object are the caller's.
// Thread use: one speaker serves one call on the calling thread.
#ifndef QELTA_IO_XML_XVRN_SPEAKER_H_
#define QELTA_IO_XML_XVRN_SPEAKER_H_

#include <string>

#include "io/format.h"

class VRN_xvrnSpeaker : public VRN_fileFormat {
 public:
  // A speaker with the layout block as its extension.
  // REQUIRES: network != nullptr and outlives the speaker.
  explicit VRN_xvrnSpeaker(VRN_network* network);
  ~VRN_xvrnSpeaker() override;

  // Loads the UTF-8 named file into the network: 0, or -103 with the
  // reasons logged (the network keeps what was built before the failure).
  int Read(const char* file_name) override;
  // Writes the network to the file: 0, or -103 with the reason logged
  // (cannot be opened, a write or the close failed); -2, naming it, before
  // the file exists, when the layout block is written and would read back
  // a node's, submodel's or text box's size changed (a negative one).
  int Write(const char* file_name) override;
  // Both true.
  bool GuaranteesUniqueIds() const override;
  bool GuaranteesAcyclic() const override;
  void SetExtension(const qelta::FormatExtension& extension) override;

  // Read and Write on a document held in memory: ReadString loads the
  // NUL-terminated text; WriteString appends the document to *out (what
  // it appended is removed again on failure). 0, -103, or -2 as Write.
  // REQUIRES: text != nullptr; out != nullptr.
  [[nodiscard]] int ReadString(const char* text);
  [[nodiscard]] int WriteString(std::string* out);

  const qelta::FormatExtension& extension() const { return extension_; }

 private:
  int LoadDocument(const char* file_name, const char* text);
  // -2 (logged) when the layout block is chosen and would not read back a
  // size as it is held; else 0.
  int RefuseUnwritableLayout();

  qelta::FormatExtension extension_;
};

#endif  // QELTA_IO_XML_XVRN_SPEAKER_H_
