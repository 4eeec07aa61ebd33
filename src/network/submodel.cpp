#include "network/submodel.h"

#include <cstring>
#include <string>

#include "network/network.h"
#include "network/node.h"
#include "base/error_log.h"
#include "base/status.h"
#include "base/strings.h"

namespace {

// Appearance of the main submodel; new submodels copy it.
VRN_screenInfo MainSubmodelAppearance() {
  VRN_screenInfo info;
  info.width = 76;
  info.height = 36;
  info.interior_color = 0xF7F6E5;
  info.style1 = 0xBBBBBB;
  info.style2 = 1;
  info.text_color = 0x000000;
  info.outline_width = 3;
  info.outline_color = 0xBB0000;
  return info;
}

bool SameText(const char* a, const char* b) {
  return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

}  // namespace

int VRN_submodelHeader::SetId(const char* id) {
  // Two submodels of one identifier (the network's is the main one's) make
  // a file that reads back without one of them.
  const int owner = table_ != nullptr ? table_->FindSubmodel(id) : -1;
  if (owner >= 0 && (owner & ~qelta::kSubmodelBit) != slot_) {
    return qelta::kErrDuplicatedIdentifier;
  }
  return VRN_header::SetId(id);
}

VRN_submodel::VRN_submodel(const char* id) : header_(id) {}

VRN_submodelTable::VRN_submodelTable(VRN_network* network)
    : network_(network) {
  auto* main = new VRN_submodel("Sub0");
  main->BindableHeader().Bind(this, 0);
  main->ScreenInfo() = MainSubmodelAppearance();
  main->SetColor(0xFFFFFF);
  slots_.push_back({main, qelta::kSubmodelRootParent});
  defaultNode_ = MainSubmodelAppearance();
  defaultNode_.outline_width = 1;
  defaultSubmodel_ = main->ScreenInfo();
}

VRN_submodelTable::VRN_submodelTable(const VRN_submodelTable& source,
                                     VRN_network* network)
    : network_(network),
      growthStep_(source.growthStep_),
      defaultNode_(source.defaultNode_),
      defaultSubmodel_(source.defaultSubmodel_) {
  slots_.reserve(source.slots_.size());
  try {
    for (const Slot& slot : source.slots_) {
      VRN_submodel* copy =
          slot.record != nullptr ? new VRN_submodel(*slot.record) : nullptr;
      if (copy != nullptr) copy->BindableHeader().Bind(this, static_cast<int>(slots_.size()));
      slots_.push_back({copy, slot.parent});
    }
  } catch (...) {
    for (Slot& slot : slots_) delete slot.record;
    throw;
  }
}

VRN_submodelTable::~VRN_submodelTable() {
  for (Slot& slot : slots_) delete slot.record;
}

int VRN_submodelTable::UsedSlot(int handle) const {
  if (handle < 0) return -1;
  int slot = handle & ~qelta::kSubmodelBit;
  if (slot >= static_cast<int>(slots_.size())) return -1;
  if (slots_[slot].record == nullptr) return -1;
  return slot;
}

bool VRN_submodelTable::IsValidHandle(int handle) const {
  return UsedSlot(handle) >= 0;
}

bool VRN_submodelTable::IsIdUsed(const char* id) const {
  return FindSubmodel(id) >= 0;
}

int VRN_submodelTable::CreateSubmodel(int parent, const char* id) {
  int parent_slot = UsedSlot(parent);
  if (parent_slot < 0) return qelta::kErrOutOfRange;
  if (id != nullptr) {
    if (!VRN_IsValidId(id)) return qelta::kErrIllegalIdentifier;
    if (IsIdUsed(id)) return qelta::kErrOutOfRange;
    // Nodes and submodels share one namespace: an identifier a node carries
    // would make FindNode and FindSubmodel disagree. A file that guarantees
    // its own identifiers may hold such a pair, and loads as it is.
    if (network_ != nullptr &&
        (network_->GetLoadFlags() & qelta::kLoadAllowDuplicateIds) == 0 &&
        network_->FindNode(id) >= 0) {
      return qelta::kErrDuplicatedIdentifier;
    }
  }
  int slot = -1;
  for (int i = 0; i < static_cast<int>(slots_.size()); ++i) {
    if (slots_[i].record == nullptr) {
      slot = i;
      break;
    }
  }
  if (slot < 0) slot = static_cast<int>(slots_.size());
  // The handle of a slot past the last would name a lower slot.
  if (slot > qelta::kMaxSubmodelSlot) {
    if (network_ != nullptr) {
      network_->ErrorLog()->Logf(
          qelta::kErrOutOfRange,
          "Can't create submodel: a network holds at most %d submodels",
          qelta::kMaxSubmodelSlot + 1);
    }
    return qelta::kErrOutOfRange;
  }
  if (slot == static_cast<int>(slots_.size())) {
    slots_.resize(slots_.size() + growthStep_,
                  Slot{nullptr, qelta::kSubmodelFreeSlot});
  }
  std::string name;
  if (id == nullptr) {
    for (int n = slot;; ++n) {
      name = "Sub" + std::to_string(n);
      if (!IsIdUsed(name.c_str()) &&
          (network_ == nullptr || network_->FindNode(name.c_str()) < 0)) {
        break;
      }
    }
    id = name.c_str();
  }
  auto* record = new VRN_submodel(id);
  record->BindableHeader().Bind(this, slot);
  record->ScreenInfo() = defaultSubmodel_;
  slots_[slot] = {record, parent_slot};
  return slot | qelta::kSubmodelBit;
}

int VRN_submodelTable::DeleteSubmodel(int handle) {
  int slot = UsedSlot(handle);
  if (slot <= 0) {  // bad, free or the main one
    VRN_errorLog* log = network_ != nullptr ? network_->ErrorLog() : nullptr;
    if (log == nullptr) return qelta::kErrOutOfRange;
    if (slot < 0) return log->Logf(qelta::kErrOutOfRange, "No submodel has handle %d", handle);
    // A bare slot index names a submodel too: a node's handle 0 is the main one.
    return handle == qelta::kMainSubmodel
               ? log->LogError(qelta::kErrOutOfRange, "The main submodel cannot be deleted")
               : log->Logf(qelta::kErrOutOfRange,
                           "Handle %d names the main submodel (slot 0), which cannot be deleted",
                           handle);
  }
  int parent = slots_[slot].parent;
  for (Slot& s : slots_) {
    if (s.record != nullptr && s.parent == slot) s.parent = parent;
  }
  if (network_ != nullptr) {
    for (int h = network_->GetFirstNode(); h >= 0;
         h = network_->GetNextNode(h)) {
      VRN_node* node = network_->GetNode(h);
      if (UsedSlot(node->GetSubmodel()) == slot) {
        (void)node->SetSubmodel(parent | qelta::kSubmodelBit);
      }
    }
  }
  delete slots_[slot].record;
  slots_[slot] = {nullptr, qelta::kSubmodelFreeSlot};
  return qelta::kOk;
}

int VRN_submodelTable::CheckNewId(int handle, const char* id) const {
  if (id == nullptr || !VRN_IsValidId(id)) return qelta::kErrIllegalIdentifier;
  const int owner = FindSubmodel(id);
  if (owner >= 0 && UsedSlot(owner) != UsedSlot(handle)) {
    return qelta::kErrDuplicatedIdentifier;
  }
  if (network_ != nullptr && network_->FindNode(id) >= 0) {
    return qelta::kErrDuplicatedIdentifier;
  }
  return qelta::kOk;
}

int VRN_submodelTable::FindSubmodel(const char* id) const {
  if (id == nullptr) return qelta::kErrOutOfRange;
  for (int i = 0; i < static_cast<int>(slots_.size()); ++i) {
    if (slots_[i].record != nullptr &&
        SameText(slots_[i].record->Header().GetId(), id)) {
      return i | qelta::kSubmodelBit;
    }
  }
  return qelta::kErrOutOfRange;
}

int VRN_submodelTable::GetFirstSubmodel() const {
  for (int i = 0; i < static_cast<int>(slots_.size()); ++i) {
    if (slots_[i].record != nullptr) return i | qelta::kSubmodelBit;
  }
  return qelta::kErrOutOfRange;
}

int VRN_submodelTable::GetNextSubmodel(int handle) const {
  int slot = UsedSlot(handle);
  if (slot < 0) return qelta::kErrOutOfRange;
  for (int i = slot + 1; i < static_cast<int>(slots_.size()); ++i) {
    if (slots_[i].record != nullptr) return i | qelta::kSubmodelBit;
  }
  return qelta::kErrOutOfRange;
}

int VRN_submodelTable::GetNumberOfSubmodels() const {
  int count = 0;
  for (const Slot& s : slots_) {
    if (s.record != nullptr) ++count;
  }
  return count;
}

int VRN_submodelTable::GetParent(int handle) const {
  int slot = UsedSlot(handle);
  if (slot < 0) return qelta::kErrOutOfRange;
  int parent = slots_[slot].parent;
  return parent < 0 ? parent : (parent | qelta::kSubmodelBit);
}

VRN_submodel* VRN_submodelTable::GetSubmodel(int handle) const {
  int slot = UsedSlot(handle);
  return slot < 0 ? nullptr : slots_[slot].record;
}

int VRN_submodelTable::GetIncludedNodes(int handle, VRN_intArray& out) const {
  int slot = UsedSlot(handle);
  if (slot < 0) return qelta::kErrOutOfRange;
  if (network_ == nullptr) return 0;
  int added = 0;
  for (int h = network_->GetFirstNode(); h >= 0; h = network_->GetNextNode(h)) {
    // Nodes may hold the handle with or without bit 0x8000.
    if (UsedSlot(network_->GetNode(h)->GetSubmodel()) == slot) {
      out.Add(h);
      ++added;
    }
  }
  return added;
}

int VRN_submodelTable::GetIncludedSubmodels(int handle,
                                            VRN_intArray& out) const {
  int slot = UsedSlot(handle);
  if (slot < 0) return qelta::kErrOutOfRange;
  int added = 0;
  for (int i = 0; i < static_cast<int>(slots_.size()); ++i) {
    if (slots_[i].record != nullptr && slots_[i].parent == slot) {
      out.Add(i | qelta::kSubmodelBit);
      ++added;
    }
  }
  return added;
}

void VRN_submodelTable::GetDescendants(VRN_intArray& out) const {
  out.Flush();
  if (slots_.empty() || slots_[0].record == nullptr) return;
  out.Add(qelta::kSubmodelBit);
  for (int next = 0; next < out.GetSize(); ++next) {
    (void)GetIncludedSubmodels(out[next], out);
  }
}

int VRN_submodelTable::SetSubmodel(int handle, int parent) {
  int slot = UsedSlot(handle);
  int parent_slot = UsedSlot(parent);
  if (slot < 0 || parent_slot < 0 || slot == 0 || slot == parent_slot) {
    return qelta::kErrOutOfRange;
  }
  if (IsAncestor(parent_slot, slot) == 1) return qelta::kErrOutOfRange;
  slots_[slot].parent = parent_slot;
  return qelta::kOk;
}

int VRN_submodelTable::IsAncestor(int handle, int ancestor) const {
  int slot = UsedSlot(handle);
  int target = UsedSlot(ancestor);
  if (slot < 0 || target < 0) return qelta::kErrOutOfRange;
  // The parent chain ends at the main submodel; the step bound guards
  // against a damaged chain.
  int steps = static_cast<int>(slots_.size());
  for (int p = slots_[slot].parent; p >= 0 && steps-- > 0;
       p = slots_[p].parent) {
    if (p == target) return 1;
  }
  return 0;
}

int VRN_submodelTable::GetDeepestSubmodel(int* depth) const {
  // Each slot's depth is found once: a walk up stops at the first slot
  // whose depth is known and gives it to the slots it passed.
  std::vector<int> depths(slots_.size(), -1);
  std::vector<int> chain;
  int deepest = slots_.empty() ? qelta::kErrOutOfRange : qelta::kSubmodelBit;
  int best = 0;
  for (int i = 0; i < static_cast<int>(slots_.size()); ++i) {
    if (slots_[i].record == nullptr || depths[i] >= 0) continue;
    chain.clear();
    int at = i;
    while (at >= 0 && at < static_cast<int>(slots_.size()) &&
           depths[at] < 0 && slots_[at].record != nullptr &&
           chain.size() <= slots_.size()) {
      chain.push_back(at);
      at = slots_[at].parent;
    }
    int d = at >= 0 && at < static_cast<int>(depths.size()) && depths[at] >= 0
                ? depths[at]
                : -1;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) depths[*it] = ++d;
  }
  for (int i = 0; i < static_cast<int>(slots_.size()); ++i) {
    if (depths[i] > best) {
      best = depths[i];
      deepest = i | qelta::kSubmodelBit;
    }
  }
  *depth = best;
  return deepest;
}
