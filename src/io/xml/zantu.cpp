#include "io/xml/zantu.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "network/submodel.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "io/format.h"
#include "io/xml/xml_reader.h"

namespace {

constexpr const char* kBlockVersion = "1.0";

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
         (c >= 'A' && c <= 'F');
}

}  // namespace

namespace qelta {

bool ParseXmlColor(const std::string& text, int& out) {
  // Only the six digits the writer produces: a sign, blank or "0x" that a
  // bare base-16 conversion would take is refused.
  if (text.size() != 6) return false;
  for (char c : text) {
    if (!IsHexDigit(c)) return false;
  }
  const unsigned long rgb = strtoul(text.c_str(), nullptr, 16);
  const unsigned long red = (rgb >> 16) & 0xFF;
  const unsigned long green = (rgb >> 8) & 0xFF;
  const unsigned long blue = rgb & 0xFF;
  out = static_cast<int>(red | (green << 8) | (blue << 16));
  return true;
}

}  // namespace qelta

// ---------------------------------------------------------------- objects

class XmlZantuLoader::Node final : public XmlZantuLoader::GraphObj {
 public:
  explicit Node(int handle) : handle_(handle) {}

  void Apply(VRN_network* network, int submodel) override {
    VRN_node* node = network->GetNode(handle_);
    if (node == nullptr) return;
    node->Header().SetName(name.c_str());
    node->Header().SetComment(comment.empty() ? nullptr : comment.c_str());
    VRN_screenInfo& info = node->ScreenInfo();
    info.x = rect[0];
    info.y = rect[1];
    info.width = rect[2];
    info.height = rect[3];
    info.interior_color = background;
    info.text_color = text_color;
    info.outline_width = border_width;
    info.outline_color = border_color;
    info.show_bar_chart = chart_shown ? 1 : 0;
    info.bar_chart_width = chart_width;
    info.bar_chart_height = chart_height;
  }

  int handle() const { return handle_; }

  bool chart_shown = false;
  int chart_width = qelta::kScreenInfoUnset;
  int chart_height = qelta::kScreenInfoUnset;

 private:
  int handle_;
};

class XmlZantuLoader::Submodel final : public XmlZantuLoader::GraphObj {
 public:
  explicit Submodel(int handle) : handle_(handle) {}

  void Apply(VRN_network* network, int submodel) override {
    VRN_submodel* record = network->Submodels()->GetSubmodel(handle_);
    if (record == nullptr) return;
    VRN_screenInfo& info = record->ScreenInfo();
    info.x = rect[0];
    info.y = rect[1];
    info.width = rect[2];
    info.height = rect[3];
    info.interior_color = background;
    info.text_color = text_color;
    info.outline_width = border_width;
    info.outline_color = border_color;
    record->Header().SetName(name.c_str());
    record->Header().SetComment(comment.empty() ? nullptr : comment.c_str());
  }

 private:
  int handle_;
};

class XmlZantuLoader::TextBox final : public XmlZantuLoader::GraphObj {
 public:
  void Apply(VRN_network* network, int submodel) override {
    VRN_submodel* record = network->Submodels()->GetSubmodel(submodel);
    if (record == nullptr) return;
    VRN_textBox box;
    box.caption = name;
    for (int i = 0; i < 4; ++i) box.rect[i] = rect[i];
    record->TextBoxes().push_back(std::move(box));
  }
};

// ---------------------------------------------------------------- building

XmlZantuLoader::XmlZantuLoader(IXmlReader* reader, VRN_network* network,
                               const qelta::XmlNodeIdMap* ids)
    : reader_(reader), network_(network), ids_(ids) {}

XmlZantuLoader::~XmlZantuLoader() {
  for (const auto& delegator : delegators_) {
    if (delegator->binding() != nullptr) delegator->binding()->Release();
  }
}

IXmlZantuLoader* XmlZantuLoader::Create(IXmlReader* reader,
                                        VRN_network* network,
                                        const qelta::XmlNodeIdMap* ids) {
  XmlZantuLoader* loader =
      new (std::nothrow) XmlZantuLoader(reader, network, ids);
  if (loader == nullptr) return nullptr;
  bool built = false;
  try {
    built = loader->Build();
  } catch (const std::bad_alloc&) {
    built = false;
  }
  if (!built) {
    loader->Release();
    return nullptr;
  }
  return loader;
}

void XmlZantuLoader::Release() { delete this; }

IXmlBinding* XmlZantuLoader::Bind(const char* name, int mode, Member start,
                                  Member end, Member text) {
  delegators_.push_back(std::make_unique<Delegator>(this, start, end, text));
  Delegator* delegator = delegators_.back().get();
  IXmlBinding* binding = reader_->CreateBinding(delegator, name, mode);
  delegator->set_binding(binding);
  return binding;
}

bool XmlZantuLoader::Build() {
  constexpr int kInherit = kXmlInheritMode;
  constexpr int kRep = kXmlRepeat;
  constexpr int kReq = kXmlRequired;
  using L = XmlZantuLoader;

  IXmlBinding* zantu = Bind("zantu", 0, &L::OnZantuStart, nullptr);
  IXmlBinding* node = Bind("node", kInherit, &L::OnNodeStart, &L::OnNodeEnd);
  IXmlBinding* submodel =
      Bind("submodel", kInherit, &L::OnSubmodelStart, &L::OnSubmodelEnd);
  IXmlBinding* textbox =
      Bind("textbox", kInherit, &L::OnTextBoxStart, &L::OnTextBoxEnd);
  IXmlBinding* root_comment =
      Bind("comment", kInherit, nullptr, &L::OnRootCommentEnd);
  IXmlBinding* object_comment =
      Bind("comment", kInherit, nullptr, &L::OnObjectCommentEnd);
  IXmlBinding* state_comment =
      Bind("comment", kInherit, nullptr, &L::OnStateCommentEnd);
  IXmlBinding* node_link =
      Bind("link", kInherit, &L::OnNodeLinkStart, nullptr);
  IXmlBinding* state_link =
      Bind("link", kInherit, &L::OnStateLinkStart, nullptr);
  IXmlBinding* font = Bind("font", kInherit, &L::OnFontStart, nullptr);
  IXmlBinding* box_font = Bind("font", kInherit, &L::OnFontStart, nullptr);
  IXmlBinding* position = Bind("position", kInherit, &L::OnIntegersStart,
                               &L::OnPositionEnd, &L::OnInteger);
  IXmlBinding* window = Bind("window", kInherit, &L::OnIntegersStart,
                             &L::OnWindowEnd, &L::OnInteger);
  IXmlBinding* name = Bind("name", kInherit, nullptr, &L::OnNameEnd);
  IXmlBinding* caption = Bind("caption", kInherit, nullptr, &L::OnNameEnd);
  IXmlBinding* interior =
      Bind("interior", kInherit, &L::OnInteriorStart, nullptr);
  IXmlBinding* outline = Bind("outline", kInherit, &L::OnOutlineStart, nullptr);
  IXmlBinding* barchart =
      Bind("barchart", kInherit, &L::OnBarChartStart, nullptr);
  IXmlBinding* defcomment = Bind("defcomment", kInherit, nullptr, nullptr);
  IXmlBinding* costcomment = Bind("costcomment", kInherit, nullptr, nullptr);
  IXmlBinding* state =
      Bind("state", kInherit, &L::OnStateStart, &L::OnStateEnd);
  IXmlBinding* fix = Bind("fix", kInherit, nullptr, &L::OnFixEnd);
  IXmlBinding* question = Bind("question", kInherit, nullptr, &L::OnQuestionEnd);
  IXmlBinding* arccomment = Bind("arccomment", kInherit, nullptr, nullptr);
  IXmlBinding* arcformat = Bind("arcformat", kInherit, nullptr, nullptr);
  IXmlBinding* diagautoformat =
      Bind("diagautoformat", kInherit, nullptr, nullptr);
  IXmlBinding* qualcolors = Bind("qualcolors", kInherit, nullptr, nullptr);
  IXmlBinding* plate = Bind("plate", kInherit, &L::OnPlateStart,
                            &L::OnPlateEnd, &L::OnInteger);
  for (const auto& delegator : delegators_) {
    if (delegator->binding() == nullptr) return false;
  }
  root_ = zantu;

  zantu->AddAttribute("version", true);
  zantu->AddAttribute("app", false);
  zantu->AddAttribute("name", true);
  zantu->AddAttribute("faultnameformat", false);
  zantu->AddAttribute("arccolor", false);
  zantu->AddAttribute("costarccolor", false);
  zantu->AddAttribute("arcwidth", false);
  zantu->AddAttribute("costarcwidth", false);
  zantu->AddChild(node, kRep);
  zantu->AddChild(submodel, kRep);
  zantu->AddChild(textbox, kRep);
  zantu->AddChild(root_comment, 0);
  zantu->AddChild(arccomment, kRep);
  zantu->AddChild(arcformat, kRep);
  zantu->AddChild(diagautoformat, 0);
  zantu->AddChild(qualcolors, 0);
  zantu->AddChild(plate, 0);

  node->AddAttribute("id", true);
  node->AddAttribute("faultnameformat", false);
  node->AddChild(object_comment, 0);
  node->AddChild(position, kReq);
  node->AddChild(name, kReq);
  node->AddChild(font, kReq);
  node->AddChild(interior, kReq);
  node->AddChild(outline, kReq);
  node->AddChild(defcomment, kRep);
  node->AddChild(costcomment, kRep);
  node->AddChild(barchart, 0);
  node->AddChild(state, kRep);
  node->AddChild(node_link, kRep);
  node->AddChild(question, 0);

  submodel->AddAttribute("id", true);
  submodel->AddChild(object_comment, 0);
  submodel->AddChild(position, kReq);
  submodel->AddChild(name, kReq);
  submodel->AddChild(font, kReq);
  submodel->AddChild(interior, kReq);
  submodel->AddChild(outline, kReq);
  submodel->AddChild(node, kRep);
  submodel->AddChild(submodel, kRep);
  submodel->AddChild(textbox, kRep);
  submodel->AddChild(window, 0);

  textbox->AddChild(object_comment, 0);
  textbox->AddChild(position, kReq);
  textbox->AddChild(caption, kReq);
  textbox->AddChild(box_font, kReq);

  state->AddAttribute("id", true);
  state->AddAttribute("faultname", false);
  state->AddChild(state_link, kRep);
  state->AddChild(fix, 0);
  state->AddChild(state_comment, 0);

  for (IXmlBinding* link : {node_link, state_link}) {
    link->AddAttribute("title", true);
    link->AddAttribute("path", true);
  }
  for (IXmlBinding* f : {font, box_font}) {
    f->AddAttribute("name", true);
    f->AddAttribute("size", true);
    f->AddAttribute("color", true);
    f->AddAttribute("bold", false);
    f->AddAttribute("italic", false);
  }
  box_font->AddAttribute("align", false);
  interior->AddAttribute("color", true);
  outline->AddAttribute("color", true);
  outline->AddAttribute("width", false);
  barchart->AddAttribute("active", false);
  barchart->AddAttribute("width", false);
  barchart->AddAttribute("height", false);
  for (IXmlBinding* comment : {defcomment, costcomment}) {
    comment->AddAttribute("row", true);
    comment->AddAttribute("col", true);
  }
  for (IXmlBinding* arc : {arccomment, arcformat}) {
    arc->AddAttribute("parent", true);
    arc->AddAttribute("child", true);
    arc->AddAttribute("order", false);
    arc->AddAttribute("cost", false);
  }
  arcformat->AddAttribute("width", true);
  arcformat->AddAttribute("color", true);
  diagautoformat->AddAttribute("target", true);
  diagautoformat->AddAttribute("targetnr", true);
  diagautoformat->AddAttribute("observation", true);
  diagautoformat->AddAttribute("observationnr", true);
  diagautoformat->AddAttribute("auxiliary", true);
  qualcolors->AddAttribute("left", true);
  qualcolors->AddAttribute("center", true);
  qualcolors->AddAttribute("right", true);
  qualcolors->AddAttribute("blend", false);
  plate->AddAttribute("leftwidth", true);
  plate->AddAttribute("rightwidth", true);

  // The main submodel stays at the bottom of the submodel stack.
  const VRN_submodelTable* table = network_->Submodels();
  int main_handle = -1;
  for (int h = table->GetFirstSubmodel(); h >= 0;
       h = table->GetNextSubmodel(h)) {
    if (h == qelta::kMainSubmodel) {
      main_handle = h;
      break;
    }
  }
  submodels_.push_back(main_handle);
  return true;
}

// ---------------------------------------------------------------- helpers

XmlZantuLoader::GraphObj* XmlZantuLoader::Top() const {
  return objects_.empty() ? nullptr : objects_.back().get();
}

XmlZantuLoader::Node* XmlZantuLoader::TopNode() const {
  return dynamic_cast<Node*>(Top());
}

int XmlZantuLoader::CurrentSubmodel() const { return submodels_.back(); }

std::string XmlZantuLoader::ElementText(IXmlReader& reader) const {
  // Line ends stay as written: a text the writer wrote with bare line feeds
  // must read back to the same text.
  std::string text;
  reader.GetUnescapedText(text);
  return text;
}

bool XmlZantuLoader::ReadColor(IXmlReader& reader, int& out) {
  std::string value;
  reader.GetAttribute("color", value);
  if (!qelta::ParseXmlColor(value, out)) {
    reader.Abort("Color specification 'rrggbb' expected");
    return false;
  }
  return true;
}

bool XmlZantuLoader::TakeRectangle(IXmlReader& reader, int (&rect)[4]) {
  if (integers_.size() != 4) {
    reader.Abort("Error while reading object position");
    return false;
  }
  // The smaller bound plus half the size is the centre the writer started
  // from, so every rectangle it writes reads back unchanged (averaging the
  // bounds would move a negative one by a unit on every save and load). A
  // size of INT_MIN, which the setters store, is written as a difference
  // of exactly INT_MIN, whose absolute value no int holds: it reads back as
  // that size about the writer's centre.
  std::int64_t size[2];
  std::int64_t centre[2];
  for (int axis = 0; axis < 2; ++axis) {
    const std::int64_t low = integers_[axis];
    const std::int64_t high = integers_[axis + 2];
    const std::int64_t span = high - low;
    size[axis] = span < 0 ? -span : span;
    centre[axis] = std::min(low, high) + size[axis] / 2;
    if (span == INT_MIN) {
      size[axis] = span;
      centre[axis] = low + span / 2;
    }
    // Coordinates near the int limits would give a size or centre that no
    // int holds.
    if (size[axis] > INT_MAX || centre[axis] < INT_MIN || centre[axis] > INT_MAX) {
      reader.Abort("Error while reading object position");
      return false;
    }
  }
  rect[0] = static_cast<int>(centre[0]);
  rect[1] = static_cast<int>(centre[1]);
  rect[2] = static_cast<int>(size[0]);
  rect[3] = static_cast<int>(size[1]);
  return true;
}

void XmlZantuLoader::ApplyTop() {
  if (objects_.empty()) return;
  objects_.back()->Apply(network_, CurrentSubmodel());
  objects_.pop_back();
}

// ---------------------------------------------------------------- handlers

void XmlZantuLoader::OnZantuStart(IXmlReader& reader) {
  std::string version;
  reader.GetAttribute("version", version);
  if (!XmlCheckVersion(reader, version.c_str(), kBlockVersion)) return;
  std::string name;
  reader.GetAttribute("name", name);
  if (!name.empty()) network_->Header()->SetName(name.c_str());
}

void XmlZantuLoader::OnRootCommentEnd(IXmlReader& reader) {
  network_->Header()->SetComment(ElementText(reader).c_str());
}

void XmlZantuLoader::OnNodeStart(IXmlReader& reader) {
  std::string id;
  reader.GetAttribute("id", id);
  const auto found = ids_->find(id);
  if (found == ids_->end() || network_->GetNode(found->second) == nullptr) {
    reader.Abort(
        ("Node '" + id + "' doesn't exist in QELTA network").c_str());
    return;
  }
  objects_.push_back(std::make_unique<Node>(found->second));
  // A failure leaves the node where it was; the layout still applies.
  (void)network_->GetNode(found->second)->SetSubmodel(CurrentSubmodel());
  node_links_.clear();
}

void XmlZantuLoader::OnNodeEnd(IXmlReader& reader) {
  Node* object = TopNode();
  if (object == nullptr) return;
  VRN_node* node = network_->GetNode(object->handle());
  if (node != nullptr) {
    for (const Link& link : node_links_) {
      (void)node->Documentation().Add(link.first.c_str(), link.second.c_str());
    }
  }
  node_links_.clear();
  ApplyTop();
}

static_assert(qelta::kMaxSubmodelDepth + 8 <= qelta::kMaxXmlDepth,
              "a submodel tree at the depth limit must fit the XML bound");

void XmlZantuLoader::OnSubmodelStart(IXmlReader& reader) {
  std::string id;
  reader.GetAttribute("id", id);
  // The main submodel is at the bottom of the stack, at depth 0.
  if (submodels_.size() > static_cast<std::size_t>(qelta::kMaxSubmodelDepth)) {
    reader.Abort("Element 'submodel' nested too deeply");
    return;
  }
  // A submodel that cannot be made (identifier taken or not an identifier)
  // fails the load: its nodes and layout would have nowhere to go.
  int handle = qelta::kErrIllegalIdentifier;
  if (VRN_IsValidId(id.c_str())) {
    handle = network_->Submodels()->CreateSubmodel(CurrentSubmodel(),
                                                   id.c_str());
  }
  if (handle < 0) {
    reader.Abort(("Can't create submodel: '" + id + "'").c_str());
    return;
  }
  submodels_.push_back(handle);
  objects_.push_back(std::make_unique<Submodel>(handle));
}

void XmlZantuLoader::OnSubmodelEnd(IXmlReader& reader) {
  ApplyTop();
  if (submodels_.size() > 1) submodels_.pop_back();
}

void XmlZantuLoader::OnTextBoxStart(IXmlReader& reader) {
  objects_.push_back(std::make_unique<TextBox>());
}

void XmlZantuLoader::OnTextBoxEnd(IXmlReader& reader) { ApplyTop(); }

void XmlZantuLoader::OnObjectCommentEnd(IXmlReader& reader) {
  if (Top() != nullptr) Top()->comment += ElementText(reader);
}

void XmlZantuLoader::OnNameEnd(IXmlReader& reader) {
  if (Top() != nullptr) Top()->name += ElementText(reader);
}

void XmlZantuLoader::OnIntegersStart(IXmlReader& reader) { integers_.clear(); }

void XmlZantuLoader::OnPlateStart(IXmlReader& reader) {
  integers_.clear();
  if (!reader.GetIntAttribute("leftwidth", plate_left_width_, 0)) return;
  reader.GetIntAttribute("rightwidth", plate_right_width_, 0);
}

void XmlZantuLoader::OnInteger(IXmlReader& reader) {
  if (integers_.size() >= 4) {
    reader.Abort("Exactly 4 integers expected");
    return;
  }
  const std::string& token = reader.GetText();
  char* end = nullptr;
  errno = 0;
  const long long value = strtoll(token.c_str(), &end, 10);
  // The writer puts a bound up to half an int's range beyond the int range
  // (centre plus or minus half the size); anything further is no rectangle
  // the engine could hold.
  constexpr long long kBoundLimit = 2LL * INT_MAX;
  if (end == token.c_str() || *end != '\0' || errno == ERANGE ||
      value < -kBoundLimit || value > kBoundLimit) {
    reader.Abort(("Can't read list of integers, failed at element " +
                  std::to_string(integers_.size() + 1))
                     .c_str());
    return;
  }
  integers_.push_back(value);
}

void XmlZantuLoader::OnPositionEnd(IXmlReader& reader) {
  int rect[4];
  if (!TakeRectangle(reader, rect)) return;
  GraphObj* object = Top();
  if (object == nullptr) return;
  for (int i = 0; i < 4; ++i) object->rect[i] = rect[i];
}

void XmlZantuLoader::OnWindowEnd(IXmlReader& reader) {
  int rect[4];
  if (!TakeRectangle(reader, rect)) return;
  VRN_submodel* record = network_->Submodels()->GetSubmodel(CurrentSubmodel());
  if (record == nullptr) return;
  for (int i = 0; i < 4; ++i) record->Window()[i] = rect[i];
}

void XmlZantuLoader::OnPlateEnd(IXmlReader& reader) {
  int rect[4];
  if (!TakeRectangle(reader, rect)) return;
  // The plate geometry lives in the temporal part; a network without one
  // has no plate to place.
  if (network_->Dbn() != nullptr) {
    network_->Dbn()->SetPlateInfo(rect, plate_left_width_, plate_right_width_);
  }
}

void XmlZantuLoader::OnInteriorStart(IXmlReader& reader) {
  int color = 0;
  if (!ReadColor(reader, color)) return;
  if (Top() != nullptr) Top()->background = color;
}

void XmlZantuLoader::OnFontStart(IXmlReader& reader) {
  int color = 0;
  if (!ReadColor(reader, color)) return;
  if (Top() != nullptr) Top()->text_color = color;
}

void XmlZantuLoader::OnOutlineStart(IXmlReader& reader) {
  GraphObj* object = Top();
  if (object == nullptr) return;
  int width = object->border_width;
  if (!reader.GetIntAttribute("width", width, object->border_width)) return;
  if (width < 1) {
    reader.Abort("Invalid width attribute");
    return;
  }
  object->border_width = width;
  int color = 0;
  if (!ReadColor(reader, color)) return;
  object->border_color = color;
}

void XmlZantuLoader::OnBarChartStart(IXmlReader& reader) {
  Node* object = TopNode();
  if (object == nullptr) return;
  bool active = false;
  if (!reader.GetBoolAttribute("active", active, false)) return;
  int width = qelta::kScreenInfoUnset;
  if (!reader.GetIntAttribute("width", width, qelta::kScreenInfoUnset)) return;
  int height = qelta::kScreenInfoUnset;
  if (!reader.GetIntAttribute("height", height, qelta::kScreenInfoUnset)) {
    return;
  }
  object->chart_shown = active;
  object->chart_width = width;
  object->chart_height = height;
}

void XmlZantuLoader::OnStateStart(IXmlReader& reader) {
  std::string id;
  reader.GetAttribute("id", id);
  Node* object = TopNode();
  VRN_node* node = object == nullptr ? nullptr : network_->GetNode(object->handle());
  VRN_nodeDef* definition = node == nullptr ? nullptr : node->Definition();
  VRN_discDef* discrete = dynamic_cast<VRN_discDef*>(definition);
  if (discrete == nullptr || discrete->GetNumberOfOutcomes() <= 0) {
    reader.Abort(("unexpected state info : '" + id + "'").c_str());
    return;
  }
  const VRN_idArray* outcomes = discrete->GetOutcomesNames();
  const int index = outcomes == nullptr ? -2 : outcomes->FindString(id.c_str());
  if (index < 0) {
    reader.Abort(("Invalid state id: '" + id + "'").c_str());
    return;
  }
  state_ = index;
  state_links_.clear();
}

void XmlZantuLoader::OnStateEnd(IXmlReader& reader) {
  VRN_discDef* discrete = nullptr;
  if (Node* object = TopNode()) {
    if (VRN_node* node = network_->GetNode(object->handle())) {
      discrete = dynamic_cast<VRN_discDef*>(node->Definition());
    }
  }
  if (discrete == nullptr || state_ < 0) return;
  VRN_documentation documentation;
  for (const Link& link : state_links_) {
    (void)documentation.Add(link.first.c_str(), link.second.c_str());
  }
  (void)discrete->SetOutcomeDocumentation(state_, documentation);
  state_links_.clear();
}

void XmlZantuLoader::OnStateLinkStart(IXmlReader& reader) {
  std::string title;
  std::string path;
  reader.GetAttribute("title", title);
  reader.GetAttribute("path", path);
  state_links_.emplace_back(std::move(title), std::move(path));
}

void XmlZantuLoader::OnStateCommentEnd(IXmlReader& reader) {
  if (Node* object = TopNode()) {
    if (VRN_node* node = network_->GetNode(object->handle())) {
      if (auto* discrete = dynamic_cast<VRN_discDef*>(node->Definition())) {
        (void)discrete->SetOutcomeDescription(state_,
                                              ElementText(reader).c_str());
      }
    }
  }
}

void XmlZantuLoader::OnFixEnd(IXmlReader& reader) {
  if (Node* object = TopNode()) {
    if (VRN_node* node = network_->GetNode(object->handle())) {
      if (auto* discrete = dynamic_cast<VRN_discDef*>(node->Definition())) {
        (void)discrete->SetOutcomeFix(state_, ElementText(reader).c_str());
      }
    }
  }
}

void XmlZantuLoader::OnNodeLinkStart(IXmlReader& reader) {
  std::string title;
  std::string path;
  reader.GetAttribute("title", title);
  reader.GetAttribute("path", path);
  node_links_.emplace_back(std::move(title), std::move(path));
}

void XmlZantuLoader::OnQuestionEnd(IXmlReader& reader) {
  if (Node* object = TopNode()) {
    if (VRN_node* node = network_->GetNode(object->handle())) {
      node->SetQuestion(ElementText(reader).c_str());
    }
  }
}
