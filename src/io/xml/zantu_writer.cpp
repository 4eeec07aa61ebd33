#include "io/xml/zantu_writer.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "base/arrays.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"
#include "base/special_values.h"
#include "base/strings.h"
#include "network/submodel.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "io/xml/xml_net_writer.h"

namespace {

constexpr const char* kBlockVersion = "1.0";
constexpr const char* kApplication = "qelta 2.2.4";
constexpr const char* kFontName = "MS Sans Serif";
constexpr int kPlateType = 3;

bool IsEmpty(const char* text) { return text == nullptr || text[0] == '\0'; }

}  // namespace

namespace qelta {

std::string FormatXmlColor(int color) {
  const unsigned long packed = static_cast<unsigned int>(color);
  const unsigned long red = packed & 0xFF;
  const unsigned long green = (packed >> 8) & 0xFF;
  const unsigned long blue = (packed >> 16) & 0xFF;
  char buffer[16];
  snprintf(buffer, sizeof buffer, "%06lx", red * 65536 + green * 256 + blue);
  return buffer;
}

std::string FormatXmlRectangle(int center_x, int center_y, int width,
                               int height) {
  // 64-bit so that extreme values print as they are instead of wrapping.
  const std::int64_t left = std::int64_t{center_x} - width / 2;
  const std::int64_t top = std::int64_t{center_y} - height / 2;
  const std::int64_t right = left + width;
  const std::int64_t bottom = top + height;
  char buffer[96];
  snprintf(buffer, sizeof buffer, "%lld %lld %lld %lld",
           static_cast<long long>(left), static_cast<long long>(top),
           static_cast<long long>(right), static_cast<long long>(bottom));
  return buffer;
}

}  // namespace qelta

XmlZantuSaver::XmlZantuSaver(VRN_network* network) : network_(network) {}

void XmlZantuSaver::Release() { delete this; }

void XmlZantuSaver::GetComment(std::string& out) {
  out = "Written by ";
  out += kApplication;
}

void XmlZantuSaver::Write(IXmlWriter& writer) {
  writer_ = &writer;
  const VRN_submodelTable* table = network_->Submodels();
  main_submodel_ = -1;
  for (int h = table->GetFirstSubmodel(); h >= 0;
       h = table->GetNextSubmodel(h)) {
    if (h == qelta::kMainSubmodel) {
      main_submodel_ = h;
      break;
    }
  }

  const VRN_header* header = network_->Header();
  writer.AddStringAttribute("version", kBlockVersion);
  writer.AddStringAttribute("app", kApplication);
  writer.AddStringAttribute("name", header->GetName());
  {
    XmlElementScope zantu(writer, "zantu");
    WritePlate();
    if (!IsEmpty(header->GetComment())) {
      writer.WriteTextElement("comment", header->GetComment(), 1);
    }
    if (main_submodel_ >= 0) WriteContents(main_submodel_);
  }
  writer_ = nullptr;
}

void XmlZantuSaver::WritePlate() {
  for (int h = network_->GetFirstNode(); h >= 0; h = network_->GetNextNode(h)) {
    const VRN_node* node = network_->GetNode(h);
    if (node == nullptr || node->GetTemporalType() != kPlateType) continue;
    const VRN_dbn* dbn = network_->Dbn();
    if (dbn == nullptr) return;
    int rect[4];
    int left_width = 0;
    int right_width = 0;
    dbn->GetPlateInfo(rect, left_width, right_width);
    writer_->AddIntAttribute("leftwidth", left_width);
    writer_->AddIntAttribute("rightwidth", right_width);
    WriteRectangle("plate", rect);
    return;
  }
}

void XmlZantuSaver::WriteContents(int main_submodel) {
  // An explicit stack rather than recursion: the submodel tree may be
  // arbitrarily deep.
  struct Level {
    int handle;
    std::vector<int> submodels;
    size_t next = 0;
  };
  const VRN_submodelTable* table = network_->Submodels();
  std::vector<Level> stack;
  auto push = [&](int handle) {
    VRN_intArray included;
    (void)table->GetIncludedSubmodels(handle, included);
    stack.push_back({handle, std::vector<int>(included.begin(), included.end())});
  };
  push(main_submodel);
  while (!stack.empty()) {
    Level& level = stack.back();
    if (level.next < level.submodels.size()) {
      const int child = level.submodels[level.next++];
      WriteSubmodelOpening(child);  // may not touch `level` after push
      push(child);
      continue;
    }
    const int handle = level.handle;
    VRN_intArray nodes;
    (void)table->GetIncludedNodes(handle, nodes);
    for (int node : nodes) WriteNode(node);
    WriteTextBoxes(handle);
    stack.pop_back();
    if (!stack.empty()) writer_->EndElement("submodel");
  }
}

void XmlZantuSaver::WriteSubmodelOpening(int submodel) {
  const VRN_submodel* record = network_->Submodels()->GetSubmodel(submodel);
  writer_->AddStringAttribute("id", record->Header().GetId());
  writer_->StartElement("submodel");
  WriteGraphic(record->Header(), record->ScreenInfo());
  WriteRectangle("window", record->Window());
}

void XmlZantuSaver::WriteTextBoxes(int submodel) {
  const VRN_submodel* record = network_->Submodels()->GetSubmodel(submodel);
  if (record == nullptr) return;
  for (const VRN_textBox& box : record->TextBoxes()) {
    XmlElementScope scope(*writer_, "textbox");
    writer_->WriteTextElement("caption", box.caption.c_str(), 1);
    writer_->AddStringAttribute("color", "000000");
    writer_->AddStringAttribute("name", kFontName);
    writer_->AddIntAttribute("size", 10);
    writer_->AddStringAttribute("bold", "true");
    writer_->WriteTextElement("font", nullptr, 0);
    WriteRectangle("position", box.rect);
  }
}

void XmlZantuSaver::WriteGraphic(const VRN_header& header,
                                 const VRN_screenInfo& info) {
  // The loader unescapes names like every text of the block, so they are
  // escaped the same way (backslashes doubled, line breaks kept).
  writer_->WriteTextElement("name", header.GetName(), 1);
  writer_->AddStringAttribute("color",
                              qelta::FormatXmlColor(info.interior_color).c_str());
  writer_->WriteTextElement("interior", nullptr, 0);
  writer_->AddStringAttribute("color",
                              qelta::FormatXmlColor(info.outline_color).c_str());
  if (info.outline_width > 1) {
    writer_->AddIntAttribute("width", info.outline_width);
  }
  writer_->WriteTextElement("outline", nullptr, 0);
  writer_->AddStringAttribute("color",
                              qelta::FormatXmlColor(info.text_color).c_str());
  writer_->AddStringAttribute("name", kFontName);
  writer_->AddIntAttribute("size", 8);
  writer_->WriteTextElement("font", nullptr, 0);
  const int rect[4] = {info.x, info.y, info.width, info.height};
  WriteRectangle("position", rect);
  if (!IsEmpty(header.GetComment())) {
    writer_->WriteTextElement("comment", header.GetComment(), 1);
  }
}

void XmlZantuSaver::WriteRectangle(const char* element, const int* rect) {
  writer_->WriteTextElement(
      element,
      qelta::FormatXmlRectangle(rect[0], rect[1], rect[2], rect[3]).c_str(),
      0);
}

void XmlZantuSaver::WriteLinks(const VRN_documentation& documentation) {
  for (int i = 0; i < documentation.GetSize(); ++i) {
    writer_->AddStringAttribute("title", documentation.GetTitle(i));
    writer_->AddStringAttribute("path", documentation.GetPath(i));
    writer_->WriteTextElement("link", nullptr, 0);
  }
}

void XmlZantuSaver::WriteNode(int handle) {
  const VRN_node* node = network_->GetNode(handle);
  if (node == nullptr) return;
  writer_->AddStringAttribute("id", node->GetId());
  XmlElementScope scope(*writer_, "node");
  const VRN_screenInfo& info = node->ScreenInfo();
  WriteGraphic(node->Header(), info);

  const bool size_set = info.bar_chart_width != qelta::kScreenInfoUnset &&
                        info.bar_chart_height != qelta::kScreenInfoUnset;
  const bool shown = info.show_bar_chart != 0;
  if (shown || size_set) {
    if (shown) writer_->AddStringAttribute("active", "true");
    if (size_set) {
      writer_->AddIntAttribute("width", info.bar_chart_width);
      writer_->AddIntAttribute("height", info.bar_chart_height);
    }
    XmlElementScope barchart(*writer_, "barchart");
  }

  const VRN_discDef* discrete =
      dynamic_cast<const VRN_discDef*>(node->Definition());
  const int outcomes =
      discrete == nullptr ? 0 : discrete->GetNumberOfOutcomes();
  if (outcomes >= 2) {
    for (int i = 0; i < outcomes; ++i) {
      const char* fix = discrete->GetOutcomeFix(i);
      const char* description = discrete->GetOutcomeDescription(i);
      const VRN_documentation* documentation =
          discrete->GetOutcomeDocumentation(i);
      const bool has_links =
          documentation != nullptr && documentation->GetSize() > 0;
      if (IsEmpty(fix) && IsEmpty(description) && !has_links) continue;
      // The block names a state by the identifier the node reads back
      // with; one it cannot name (an identifier an earlier state carries
      // too, as cleared interval outcomes do) would land on another state,
      // so its information is left out.
      const char* id = qelta::XmlOutcomeName(*network_, handle, i);
      if (id == nullptr) continue;
      writer_->AddStringAttribute("id", id);
      XmlElementScope state(*writer_, "state");
      if (!IsEmpty(fix)) writer_->WriteTextElement("fix", fix, 1);
      if (!IsEmpty(description)) {
        writer_->WriteTextElement("comment", description, 1);
      }
      if (has_links) WriteLinks(*documentation);
    }
  }

  if (node->GetQuestion() != nullptr) {
    writer_->WriteTextElement("question", node->GetQuestion(), 1);
  }
  WriteLinks(node->Documentation());
}
