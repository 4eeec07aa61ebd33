#include "io/format.h"

#include <cassert>

#include "network/network.h"

namespace qelta {

FormatExtension FormatExtension::ForReading(IXmlBinding* binding) {
  FormatExtension extension(Kind::kCaller);
  extension.binding_ = binding;
  return extension;
}

FormatExtension FormatExtension::ForWriting(IXmlWriterExtension* writer) {
  FormatExtension extension(Kind::kCaller);
  extension.writer_ = writer;
  return extension;
}

bool FormatExtension::FromWord(int word, FormatExtension* out) {
  assert(out != nullptr);
  if (word == kExtensionLayout) {
    *out = FormatExtension();
    return true;
  }
  if (word == kExtensionNone) {
    *out = None();
    return true;
  }
  return false;
}

}  // namespace qelta

VRN_fileFormat::VRN_fileFormat(VRN_network* network)
    : qelta::TextFormatBase(nullptr), network_(network) {
  assert(network != nullptr);
}

VRN_fileFormat::~VRN_fileFormat() = default;

bool VRN_fileFormat::GuaranteesUniqueIds() const { return false; }

bool VRN_fileFormat::GuaranteesAcyclic() const { return false; }

void VRN_fileFormat::SetExtension(const qelta::FormatExtension&) {}

VRN_errorLog* VRN_fileFormat::GetErrorLog() const {
  return network_->ErrorLog();
}
