#include "io/format.h"

#include <cassert>
#include <cmath>

#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

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

int CheckSubmodelDepth(VRN_network* network, const char* prefix) {
  int depth = 0;
  const int deepest = network->Submodels()->GetDeepestSubmodel(&depth);
  if (depth <= kMaxSubmodelDepth) return kOk;
  const VRN_submodel* record = network->Submodels()->GetSubmodel(deepest);
  const char* id = record != nullptr ? record->Header().GetId() : nullptr;
  return network->ErrorLog()->Logf(
      kErrOutOfRange,
      "%sSubmodel '%s' nested too deeply: %d levels below the main "
      "submodel, a file holds at most %d",
      prefix, id != nullptr ? id : "", depth, kMaxSubmodelDepth);
}

bool HasNonFiniteEntry(const VRN_nodeDef& definition) {
  if (definition.GetType() == kDefEquation) return false;
  const VRN_matrix* table = definition.GetMatrixConst();
  for (int i = 0; table != nullptr && i < table->GetItemCount(); ++i) {
    if (!std::isfinite(table->GetItem(i))) return true;
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

namespace {

// Runs step with the network skipping its own identifier test (the
// loading flag that lets duplicates through) when no other node than skip
// holds id, so that only an identifier another node holds is refused.
template <typename Step>
int WithNodeIdsOnly(VRN_network* network, const char* id, int skip,
                    Step step) {
  const int holder = id != nullptr ? network->FindNode(id) : -1;
  if (holder >= 0 && holder != skip) return step();
  struct Relaxed {
    VRN_network* network;
    int flags;
    ~Relaxed() { network->SetLoadFlags(flags); }
  } relaxed{network, network->GetLoadFlags()};
  network->SetLoadFlags(relaxed.flags | qelta::kLoadAllowDuplicateIds);
  return step();
}

}  // namespace

int VRN_fileFormat::AddFileNode(int type, const char* id) {
  return WithNodeIdsOnly(network_, id, -1,
                         [&]() { return network_->AddNode(type, id); });
}

int VRN_fileFormat::SetFileNodeId(int handle, const char* id) {
  VRN_node* node = network_->GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  return WithNodeIdsOnly(network_, id, handle,
                         [&]() { return node->Header().SetId(id); });
}

VRN_errorLog* VRN_fileFormat::GetErrorLog() const {
  return network_->ErrorLog();
}
