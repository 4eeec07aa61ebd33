#include "io/xml/xvrn_speaker.h"

#include <cassert>
#include <climits>
#include <string>

#include "base/error_log.h"
#include "base/status.h"
#include "io/xml/xml_net_loader.h"
#include "io/xml/xml_net_writer.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

VRN_xvrnSpeaker::VRN_xvrnSpeaker(VRN_network* network)
    : VRN_fileFormat(network) {}

VRN_xvrnSpeaker::~VRN_xvrnSpeaker() = default;

bool VRN_xvrnSpeaker::GuaranteesUniqueIds() const { return true; }

bool VRN_xvrnSpeaker::GuaranteesAcyclic() const { return true; }

void VRN_xvrnSpeaker::SetExtension(const qelta::FormatExtension& extension) {
  extension_ = extension;
}

int VRN_xvrnSpeaker::LoadDocument(const char* file_name, const char* text) {
  using Kind = qelta::FormatExtension::Kind;
  int word = qelta::kXmlExtensionLayout;
  IXmlBinding* binding = nullptr;
  switch (extension_.kind()) {
    case Kind::kLayout:
      break;
    case Kind::kNone:
      word = qelta::kXmlExtensionNone;
      break;
    case Kind::kCaller:
      word = qelta::kXmlExtensionCaller;
      binding = extension_.binding();
      break;
  }
  const bool ok =
      XmlNetLoader::Load(file_name, text, GetNetwork(), word, binding);
  return ok ? qelta::kOk : qelta::kErrFileIo;
}

namespace {

constexpr const char* kNoFileName = "No file name given";

}  // namespace

int VRN_xvrnSpeaker::Read(const char* file_name) {
  if (file_name == nullptr) {
    return GetErrorLog()->LogError(qelta::kErrFileIo, kNoFileName);
  }
  return LoadDocument(file_name, nullptr);
}

int VRN_xvrnSpeaker::ReadString(const char* text) {
  assert(text != nullptr);
  return LoadDocument(nullptr, text);
}

namespace {

// A size the layout block reads back as written: the loader takes a
// negative one as its absolute value (other tools' files give their bounds
// in either order), all but INT_MIN, which it keeps.
bool SizeReadsBack(int width, int height) {
  return (width >= 0 || width == INT_MIN) && (height >= 0 || height == INT_MIN);
}

// -2 naming the first node, submodel or text box whose size the layout
// block would read back changed; 0 when there is none.
int RefuseNegativeSizes(const VRN_network& network, VRN_errorLog* log) {
  const char* const tail =
      " cannot be saved in the XML network file: its negative size would read back as its "
      "absolute value";
  for (int h = network.GetFirstNode(); h >= 0; h = network.GetNextNode(h)) {
    const VRN_screenInfo& info = network.GetNode(h)->ScreenInfo();
    if (!SizeReadsBack(info.width, info.height)) {
      return log->LogError(
          qelta::kErrOutOfRange,
          (std::string("ERROR: Node [") + network.GetNode(h)->GetId() + "]" + tail).c_str());
    }
  }
  const VRN_submodelTable& table = *network.Submodels();
  for (int s = table.GetFirstSubmodel(); s >= 0; s = table.GetNextSubmodel(s)) {
    const VRN_submodel& record = *table.GetSubmodel(s);
    const std::string id = record.Header().GetId();
    const int* window = record.Window();
    // The main submodel's own geometry is no part of the block.
    if (s != qelta::kMainSubmodel &&
        (!SizeReadsBack(record.ScreenInfo().width, record.ScreenInfo().height) ||
         !SizeReadsBack(window[2], window[3]))) {
      return log->LogError(qelta::kErrOutOfRange,
                           ("ERROR: Submodel [" + id + "]" + tail).c_str());
    }
    for (std::size_t b = 0; b < record.TextBoxes().size(); ++b) {
      const int* rect = record.TextBoxes()[b].rect;
      if (!SizeReadsBack(rect[2], rect[3])) {
        return log->LogError(qelta::kErrOutOfRange,
                             ("ERROR: Text box " + std::to_string(b) + " of submodel [" + id +
                              "]" + tail)
                                 .c_str());
      }
    }
  }
  return qelta::kOk;
}

}  // namespace

int VRN_xvrnSpeaker::RefuseUnwritableLayout() {
  if (extension_.kind() != qelta::FormatExtension::Kind::kLayout) return qelta::kOk;
  return RefuseNegativeSizes(*GetNetwork(), GetErrorLog());
}

int VRN_xvrnSpeaker::Write(const char* file_name) {
  if (file_name == nullptr) {
    return GetErrorLog()->LogError(qelta::kErrFileIo, kNoFileName);
  }
  const int refused = RefuseUnwritableLayout();
  if (refused != qelta::kOk) return refused;
  const bool ok =
      XmlNetworkSaver::Save(file_name, nullptr, GetNetwork(), extension_);
  return ok ? qelta::kOk : qelta::kErrFileIo;
}

int VRN_xvrnSpeaker::WriteString(std::string* out) {
  assert(out != nullptr);
  const int refused = RefuseUnwritableLayout();
  if (refused != qelta::kOk) return refused;
  const bool ok = XmlNetworkSaver::Save(nullptr, out, GetNetwork(), extension_);
  return ok ? qelta::kOk : qelta::kErrFileIo;
}
