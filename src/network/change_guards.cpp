#include "network/change_guards.h"

#include <cmath>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "base/arrays.h"
#include "base/matrix.h"
#include "network/network.h"
#include "network/node.h"
#include "base/random.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/node_def.h"

#ifdef _WIN32
#include <utf8.h>
#endif

// ------------------------------------------------------------------ guards

VRN_autoUpdateGuard::VRN_autoUpdateGuard(VRN_network* network, bool runUpdate)
    : network_(network), ticket_(-1), runUpdate_(runUpdate ? 1 : 0) {
  if (network_ != nullptr && !network_->IsUpdating() &&
      network_->IsAutoUpdate()) {
    ticket_ = network_->batchDepth_++;
  }
}

VRN_autoUpdateGuard::~VRN_autoUpdateGuard() {
  if (ticket_ < 0) return;
  if (--network_->batchDepth_ == 0 && runUpdate_ != 0) {
    // The edit itself succeeded; a failing update shows in the values'
    // validity and the error log, not in the edit's status.
    (void)network_->UpdateBeliefs();
  }
}

VRN_relevanceOffGuard::VRN_relevanceOffGuard(VRN_network* network)
    : network_(network), wasOn_(0), skipped_(0) {
  if (network_ == nullptr) return;
  wasOn_ = (network_->flags_ & qelta::kNetRelevance) != 0 ? 1 : 0;
  skipped_ = network_->bookkeepingSkipped_ ? 1 : 0;
  network_->flags_ &= ~qelta::kNetRelevance;
}

VRN_relevanceOffGuard::~VRN_relevanceOffGuard() {
  if (network_ == nullptr) return;
  if (wasOn_ != 0) network_->flags_ |= qelta::kNetRelevance;
  // The scope's owner books its edits itself, once for all of them.
  network_->bookkeepingSkipped_ = skipped_ != 0;
}

VRN_impliedEvidenceKeeper::VRN_impliedEvidenceKeeper(VRN_network* network)
    : network_(network),
      stale_(network != nullptr && network->IsImpliedEvidenceStale()) {}

VRN_impliedEvidenceKeeper::~VRN_impliedEvidenceKeeper() { Restore(); }

void VRN_impliedEvidenceKeeper::Restore() {
  if (network_ != nullptr) network_->SetImpliedEvidenceStale(stale_);
}

// ----------------------------------------------------------------- helpers

std::FILE* VRN_Fopen(const char* name, const char* mode) {
  if (name == nullptr || mode == nullptr) return nullptr;
#ifdef _WIN32
  bool plain = true;
  for (const char* p = name; *p != '\0'; ++p) {
    if (static_cast<unsigned char>(*p) >= 0x80) {
      plain = false;
      break;
    }
  }
  if (!plain) {
    try {
      std::u16string wide_name;
      std::u16string wide_mode;
      utf8::utf8to16(name, name + std::strlen(name),
                     std::back_inserter(wide_name));
      utf8::utf8to16(mode, mode + std::strlen(mode),
                     std::back_inserter(wide_mode));
      return _wfopen(reinterpret_cast<const wchar_t*>(wide_name.c_str()),
                     reinterpret_cast<const wchar_t*>(wide_mode.c_str()));
    } catch (const utf8::exception&) {
      return nullptr;  // malformed UTF-8 names no file
    }
  }
#endif
  // Elsewhere file names are byte strings, so UTF-8 passes through as is.
  return std::fopen(name, mode);
}

namespace {

VRN_idArray MakeDefaultOutcomeIds(const char* prefix) {
  VRN_idArray ids;
  if (ids.AddNumbered(prefix, 0) != qelta::kOk ||
      ids.AddNumbered(prefix, 1) != qelta::kOk) {
    // AddNumbered repairs any prefix into an identifier, so this cannot
    // fail; keep the list usable all the same.
    ids.Flush();
    (void)ids.Add("State0");
    (void)ids.Add("State1");
  }
  return ids;
}

}  // namespace

const VRN_idArray& VRN_DefaultOutcomeIds(const char* prefix) {
  // Networks on other threads create nodes at the same time: the usual
  // list is built once under the runtime's guard of local statics and
  // never changes; lists of other prefixes are kept under a lock. Both are
  // left alive at exit for threads still running then.
  if (prefix == nullptr) {
    static const VRN_idArray* const state =
        new VRN_idArray(MakeDefaultOutcomeIds("State"));
    return *state;
  }
  static auto* const mutex = new std::mutex();
  static auto* const lists =
      new std::map<std::string, std::unique_ptr<const VRN_idArray>>();
  std::lock_guard<std::mutex> lock(*mutex);
  std::unique_ptr<const VRN_idArray>& list = (*lists)[prefix];
  if (list == nullptr) {
    list = std::make_unique<const VRN_idArray>(MakeDefaultOutcomeIds(prefix));
  }
  return *list;
}

int VRN_SetUniformTable(VRN_network* network, int handle, int count,
                        VRN_matrix& table) {
  if (count < 1) return qelta::kErrOutOfRange;
  VRN_intArray sizes;
  VRN_node* node = network != nullptr ? network->GetNode(handle) : nullptr;
  if (node != nullptr) {
    for (int parent : node->Parents()) {
      VRN_node* p = network->GetNode(parent);
      int n = p != nullptr ? p->Definition()->GetDiscreteOutcomeCount() : -1;
      if (n < 1) return qelta::kErrOutOfRange;
      sizes.Add(n);
    }
  }
  sizes.Add(count);
  int status = table.SetDimensions(sizes);
  if (status != qelta::kOk) return status;
  table.FillWith(1.0 / count);
  return qelta::kOk;
}

std::clock_t VRN_Clock() { return std::clock(); }

std::time_t VRN_Time() { return std::time(nullptr); }
