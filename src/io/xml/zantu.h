// Loader of the "zantu" layout block of the XML network file.
//
// The block carries what a drawing of the network needs: names and comments
// of the network and its nodes, the submodel tree and node membership,
// positions, colours and borders, bar charts, submodel windows, text boxes,
// the plate of a dynamic network, per-state comments, fixes and links, node
// questions and links. XmlZantuLoader declares the block's element tree on
// the network loader's reader and applies each element to the network as
// it is read.
//
// Ownership: the loader owns its bindings, their delegators and the graphic
// objects still open; the network, the identifier map and the reader are the
// caller's and must outlive the loader. The caller attaches GetRootBinding()
// under its "extensions" element, parses, then calls Release().
//
// Threads: one loader per load on the calling thread.
#ifndef QELTA_IO_XML_ZANTU_H_
#define QELTA_IO_XML_ZANTU_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "io/xml/xml_reader.h"

class VRN_network;

namespace qelta {

// Node identifier -> handle, filled by the network loader as nodes appear.
using XmlNodeIdMap = std::map<std::string, int>;

// Parses "rrggbb" (exactly six hexadecimal digits) into a colour packed with
// red in bits 0-7, green in 8-15 and blue in 16-23; false for any other text.
bool ParseXmlColor(const std::string& text, int& out);

}  // namespace qelta

class IXmlZantuLoader {
 public:
  // The "zantu" binding, owned by the loader.
  virtual IXmlBinding* GetRootBinding() = 0;
  // Releases the bindings, delegators and open objects, and the loader.
  virtual void Release() = 0;

 protected:
  ~IXmlZantuLoader() = default;
};

class XmlZantuLoader final : public IXmlZantuLoader {
 public:
  // Builds the bindings on reader (the network loader, which parses). Null
  // when memory runs out. None of the arguments is owned.
  // REQUIRES: all three non-null.
  static IXmlZantuLoader* Create(IXmlReader* reader, VRN_network* network,
                                 const qelta::XmlNodeIdMap* ids);

  IXmlBinding* GetRootBinding() override { return root_; }
  void Release() override;

  // A graphic object open in the document; applied to the network at its
  // end tag.
  class GraphObj {
   public:
    virtual ~GraphObj() = default;
    virtual void Apply(VRN_network* network, int submodel) = 0;

    int background = 0xF7F6E5;
    int text_color = 0;
    int border_color = 0;
    int border_width = 1;
    int rect[4] = {0, 0, 0, 0};  // centre x, centre y, width, height
    std::string name;
    std::string comment;
  };
  class Node;
  class Submodel;
  class TextBox;

  XmlZantuLoader(const XmlZantuLoader&) = delete;
  XmlZantuLoader& operator=(const XmlZantuLoader&) = delete;

 private:
  using Delegator = XmlDelegator<XmlZantuLoader>;
  using Member = Delegator::Member;
  using Link = std::pair<std::string, std::string>;  // title, path

  XmlZantuLoader(IXmlReader* reader, VRN_network* network,
                 const qelta::XmlNodeIdMap* ids);
  ~XmlZantuLoader();

  bool Build();
  // Makes a binding whose delegator forwards to the given members; null when
  // memory runs out.
  IXmlBinding* Bind(const char* name, int mode, Member start, Member end,
                    Member text = nullptr);

  GraphObj* Top() const;
  Node* TopNode() const;
  int CurrentSubmodel() const;
  // The element's text, unescaped.
  std::string ElementText(IXmlReader& reader) const;
  // Reads attribute "color" as a colour; Aborts on a bad value.
  bool ReadColor(IXmlReader& reader, int& out);
  // Turns the four collected integers into centre/size form; Aborts when
  // there are not exactly four or the result does not fit.
  bool TakeRectangle(IXmlReader& reader, int (&rect)[4]);
  void ApplyTop();

  void OnZantuStart(IXmlReader& reader);
  void OnRootCommentEnd(IXmlReader& reader);
  void OnNodeStart(IXmlReader& reader);
  void OnNodeEnd(IXmlReader& reader);
  void OnSubmodelStart(IXmlReader& reader);
  void OnSubmodelEnd(IXmlReader& reader);
  void OnTextBoxStart(IXmlReader& reader);
  void OnTextBoxEnd(IXmlReader& reader);
  void OnObjectCommentEnd(IXmlReader& reader);
  void OnNameEnd(IXmlReader& reader);
  void OnIntegersStart(IXmlReader& reader);
  void OnPlateStart(IXmlReader& reader);
  void OnInteger(IXmlReader& reader);
  void OnPositionEnd(IXmlReader& reader);
  void OnWindowEnd(IXmlReader& reader);
  void OnPlateEnd(IXmlReader& reader);
  void OnInteriorStart(IXmlReader& reader);
  void OnFontStart(IXmlReader& reader);
  void OnOutlineStart(IXmlReader& reader);
  void OnBarChartStart(IXmlReader& reader);
  void OnStateStart(IXmlReader& reader);
  void OnStateEnd(IXmlReader& reader);
  void OnStateLinkStart(IXmlReader& reader);
  void OnStateCommentEnd(IXmlReader& reader);
  void OnFixEnd(IXmlReader& reader);
  void OnNodeLinkStart(IXmlReader& reader);
  void OnQuestionEnd(IXmlReader& reader);

  IXmlReader* reader_;
  VRN_network* network_;
  const qelta::XmlNodeIdMap* ids_;
  IXmlBinding* root_ = nullptr;

  std::vector<int> submodels_;
  std::vector<std::unique_ptr<GraphObj>> objects_;
  // Wider than int: the bounds of a rectangle held as centre and size may
  // lie beyond the int range.
  std::vector<std::int64_t> integers_;
  std::vector<Link> node_links_;
  std::vector<Link> state_links_;
  int state_ = -1;
  int plate_left_width_ = 0;
  int plate_right_width_ = 0;

  std::vector<std::unique_ptr<Delegator>> delegators_;
};

#endif  // QELTA_IO_XML_ZANTU_H_
