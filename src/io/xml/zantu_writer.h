// Writer of the "zantu" layout block of the XML network file.
//
// XmlZantuSaver is the default writer extension of the network saver: it
// supplies the comment written before the document's root and, inside the
// root's "extensions" element, writes the layout block that XmlZantuLoader
// reads back: the network's name and comment, the plate, the submodel tree
// depth first (each submodel's child submodels, then its nodes, then its
// text boxes), and per node its appearance, bar chart, state comments,
// fixes and links, question and links. A state is named by the identifier
// its node reads back with (XmlOutcomeName); the information of a state
// the block cannot name (a cleared interval outcome other than the first)
// is left out rather than put on another state.
//
// Ownership: the network is the caller's and must outlive the saver; the
// writer is used only during Write. Release deletes the saver.
//
// Threads: one saver per save on the calling thread.
#ifndef QELTA_IO_XML_ZANTU_WRITER_H_
#define QELTA_IO_XML_ZANTU_WRITER_H_

#include <string>

#include "io/xml/xml_writer.h"

class VRN_network;
class VRN_header;
class VRN_documentation;
struct VRN_screenInfo;

namespace qelta {

// "rrggbb" (lower case) of a colour packed with red in bits 0-7, green in
// 8-15 and blue in 16-23.
std::string FormatXmlColor(int color);
// "left top right bottom" of a rectangle held as centre x, centre y, width,
// height (halves truncated toward zero).
std::string FormatXmlRectangle(int center_x, int center_y, int width,
                               int height);

}  // namespace qelta

class XmlZantuSaver final : public IXmlWriterExtension {
 public:
  // REQUIRES: network != nullptr.
  explicit XmlZantuSaver(VRN_network* network);
  XmlZantuSaver(const XmlZantuSaver&) = delete;
  XmlZantuSaver& operator=(const XmlZantuSaver&) = delete;

  // Writes the whole block at the writer's current position.
  void Write(IXmlWriter& writer) override;
  // The identification of the writing application.
  void GetComment(std::string& out) override;
  void Release() override;

 private:
  ~XmlZantuSaver() = default;

  void WriteContents(int submodel);
  void WriteSubmodelOpening(int submodel);
  void WriteNode(int handle);
  void WriteTextBoxes(int submodel);
  void WriteGraphic(const VRN_header& header, const VRN_screenInfo& info);
  void WriteRectangle(const char* element, const int* rect);
  void WriteLinks(const VRN_documentation& documentation);
  void WritePlate();

  VRN_network* network_;
  int main_submodel_ = -1;
  IXmlWriter* writer_ = nullptr;
};

#endif  // QELTA_IO_XML_ZANTU_WRITER_H_
