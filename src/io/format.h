// The file-format interface: VRN_fileFormat, the base of every network file
// format object ("speaker"), the format codes and the extension choice of
// the XML network format.
//
// The network creates one speaker for one read or write (VRN_network::
// CreateFormat) and deletes it afterwards. A speaker reads a file into its
// network or writes its network to a file; it logs its own messages in the
// network's error log and answers 0 or a negative status. The text formats
// build on the token readers, writers and reporters of qelta::TextFormatBase;
// the XML network speaker (VRN_xvrnSpeaker) uses only the interface.
//
// Ownership: a speaker does not own its network; the network outlives it.
// A caller's extension object handed in through SetExtension stays the
// caller's. Thread use: one speaker serves one call on the calling thread.
#ifndef QELTA_IO_FORMAT_H_
#define QELTA_IO_FORMAT_H_

#include "io/text/format_helpers.h"

class VRN_errorLog;
class VRN_network;
class VRN_nodeDef;
class IXmlBinding;
class IXmlWriterExtension;

namespace qelta {

// Format codes: the network's names for its file formats.
inline constexpr int kFormatByName = 0;  // choose by the file name
inline constexpr int kFormatErgo = 1;    // "erg"
inline constexpr int kFormatNetica = 2;  // "dne"
inline constexpr int kFormatMsbn = 3;    // "dsc"
inline constexpr int kFormatVrn = 4;     // "vrn", the native text format
inline constexpr int kFormatHugin = 5;   // "net"
inline constexpr int kFormatXmlBif = 6;  // "xml03"
inline constexpr int kFormatKi = 7;      // "dxp"; written only by name
inline constexpr int kFormatXvrn = 8;    // "xvrn" and "qvrn"

// The deepest submodel tree a network file may hold (the main submodel at
// depth 0). The XML file nests each submodel's element in its parent's,
// with a few elements above and below, so a tree any reader accepts can be
// written and read back within the XML reader's nesting bound.
inline constexpr int kMaxSubmodelDepth = 4088;

// 0 when the network's submodel tree is no deeper than kMaxSubmodelDepth;
// otherwise logs, after prefix, that its deepest submodel is nested too
// deeply, and answers -2. Writers that keep the tree ask before they write,
// so no file is written that their readers refuse.
[[nodiscard]] int CheckSubmodelDepth(VRN_network* network,
                                     const char* prefix);

// Whether the table a node's definition holds (probabilities, parameters,
// utilities or weights; none for an equation node) has an entry that is
// not a finite number. The setters store one; no file holds it, so every
// writer refuses it before it creates the file.
[[nodiscard]] bool HasNonFiniteEntry(const VRN_nodeDef& definition);

// Extension words of the network's file and string operations.
inline constexpr int kExtensionLayout = 0;  // the layout block
inline constexpr int kExtensionNone = -1;   // no extension block

// The block that the XML network format reads or writes inside the
// document's "extensions" element: the layout block (the default), none, or
// a caller's own. Other formats ignore it. A plain value; the caller's
// objects it points to are not owned.
class FormatExtension {
 public:
  enum class Kind { kLayout, kNone, kCaller };

  // The layout block.
  FormatExtension() = default;
  static FormatExtension None() { return FormatExtension(Kind::kNone); }
  // A caller's block: the binding declares the elements read, the writer
  // extension writes them. A null object means no block for that direction.
  static FormatExtension ForReading(IXmlBinding* binding);
  static FormatExtension ForWriting(IXmlWriterExtension* writer);
  // The choice an extension word names: 0 the layout block, -1 none. False
  // (and *out unchanged) for any other word. REQUIRES: out != nullptr.
  [[nodiscard]] static bool FromWord(int word, FormatExtension* out);

  Kind kind() const { return kind_; }
  // The caller's objects; null unless kind() is kCaller.
  IXmlBinding* binding() const { return binding_; }
  IXmlWriterExtension* writer() const { return writer_; }

 private:
  explicit FormatExtension(Kind kind) : kind_(kind) {}

  Kind kind_ = Kind::kLayout;
  IXmlBinding* binding_ = nullptr;
  IXmlWriterExtension* writer_ = nullptr;
};

}  // namespace qelta

class VRN_fileFormat : public qelta::TextFormatBase {
 public:
  // A speaker for network, which must outlive it.
  // REQUIRES: network != nullptr.
  explicit VRN_fileFormat(VRN_network* network);
  // Closes an output file still open and deletes the lexer.
  ~VRN_fileFormat() override;

  // Reads the file into the network: 0, or a negative status with the
  // reasons logged. The network has been emptied and prepared for loading
  // by the caller (VRN_network::ReadFile).
  [[nodiscard]] virtual int Read(const char* file_name) = 0;
  // Writes the network to the file (created or truncated): 0, or a
  // negative status with the reasons logged; never 0 when any part of the
  // text could not be written.
  [[nodiscard]] virtual int Write(const char* file_name) = 0;
  // Whether the format's own checks ensure unique node identifiers and an
  // acyclic graph, so that loading may skip the network's per-call tests.
  // False here.
  virtual bool GuaranteesUniqueIds() const;
  virtual bool GuaranteesAcyclic() const;
  // The extension block to read or write; ignored here.
  virtual void SetExtension(const qelta::FormatExtension& extension);

  VRN_network* GetNetwork() const { return network_; }
  // Adds a node the file declares: VRN_network::AddNode, except that an
  // identifier held only by the network or a submodel is taken, as the
  // network writes such a node to every format. One another node holds is
  // refused as by AddNode, so the nodes of one file stay distinct.
  [[nodiscard]] int AddFileNode(int type, const char* id);
  // Gives node handle the identifier id by the same rule: 0, or the
  // status of the node header's identifier operation.
  [[nodiscard]] int SetFileNodeId(int handle, const char* id);
  // The network's current log.
  VRN_errorLog* GetErrorLog() const override;

 private:
  VRN_network* network_;
};

#endif  // QELTA_IO_FORMAT_H_
