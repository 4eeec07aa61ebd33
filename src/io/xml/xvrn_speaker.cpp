#include "io/xml/xvrn_speaker.h"

#include <cassert>

#include "base/error_log.h"
#include "base/status.h"
#include "io/xml/xml_net_loader.h"
#include "io/xml/xml_net_writer.h"

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

int VRN_xvrnSpeaker::Write(const char* file_name) {
  if (file_name == nullptr) {
    return GetErrorLog()->LogError(qelta::kErrFileIo, kNoFileName);
  }
  const bool ok =
      XmlNetworkSaver::Save(file_name, nullptr, GetNetwork(), extension_);
  return ok ? qelta::kOk : qelta::kErrFileIo;
}

int VRN_xvrnSpeaker::WriteString(std::string* out) {
  assert(out != nullptr);
  const bool ok = XmlNetworkSaver::Save(nullptr, out, GetNetwork(), extension_);
  return ok ? qelta::kOk : qelta::kErrFileIo;
}
