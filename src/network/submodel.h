// Submodels: the tree of nested boxes that groups a network's nodes.
//
// VRN_submodelTable, owned by the network, keeps VRN_submodel records in
// slots. A submodel is addressed by its slot index with bit 0x8000 set, so
// submodel handles never collide with node handles; every operation strips
// that bit, so a bare slot index is accepted too. Slot 0 is the main
// submodel (handle 32768), the root of the tree, whose header is also the
// network's identifier, name and comment. The table also keeps the default
// appearance of new nodes and new submodels.
//
// Ownership: the table owns its records. Thread use: one thread per network.
#ifndef QELTA_NETWORK_SUBMODEL_H_
#define QELTA_NETWORK_SUBMODEL_H_

#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/special_values.h"
#include "base/strings.h"

class VRN_network;

// A caption placed in a submodel's window.
struct VRN_textBox {
  std::string caption;
  int rect[4] = {0, 0, 0, 0};
};

class VRN_submodelTable;

// A submodel's header. Bound to its table, it refuses (-32) an identifier
// another submodel carries (the main submodel's is the network's); a node
// may carry it, as files keep the two apart. A copy is not bound; an
// assignment keeps the binding it had.
class VRN_submodelHeader : public VRN_header {
 public:
  explicit VRN_submodelHeader(const char* id) : VRN_header(id) {}
  VRN_submodelHeader(const VRN_submodelHeader& other) : VRN_header(other) {}
  VRN_submodelHeader& operator=(const VRN_submodelHeader& other) {
    VRN_header::operator=(other);
    return *this;
  }

  int SetId(const char* id) override;
  void Bind(const VRN_submodelTable* table, int slot) {
    table_ = table;
    slot_ = slot;
  }

 private:
  const VRN_submodelTable* table_ = nullptr;
  int slot_ = 0;
};

// One submodel record.
class VRN_submodel {
 public:
  explicit VRN_submodel(const char* id);
  VRN_submodel(const VRN_submodel& other) = default;
  VRN_submodel& operator=(const VRN_submodel& other) = default;

  VRN_header& Header() { return header_; }
  const VRN_header& Header() const { return header_; }
  VRN_submodelHeader& BindableHeader() { return header_; }
  VRN_screenInfo& ScreenInfo() { return screenInfo_; }
  const VRN_screenInfo& ScreenInfo() const { return screenInfo_; }
  // Rectangle of the submodel's own window (4 ints).
  int* Window() { return window_; }
  const int* Window() const { return window_; }
  int GetColor() const { return color_; }
  void SetColor(int color) { color_ = color; }
  std::vector<VRN_textBox>& TextBoxes() { return textBoxes_; }
  const std::vector<VRN_textBox>& TextBoxes() const { return textBoxes_; }

 private:
  VRN_submodelHeader header_;
  VRN_screenInfo screenInfo_;
  int window_[4] = {0, 0, 0, 0};
  int color_ = 0xFFFFFF;
  std::vector<VRN_textBox> textBoxes_;
};

namespace qelta {
inline constexpr int kSubmodelBit = 0x8000;
// Slots above this one have no handle of their own: slot | kSubmodelBit
// would name a lower slot.
inline constexpr int kMaxSubmodelSlot = kSubmodelBit - 1;
inline constexpr int kSubmodelRootParent = -8888;  // parent of the main one
inline constexpr int kSubmodelFreeSlot = -8889;
}  // namespace qelta

class VRN_submodelTable {
 public:
  // One slot holding the main submodel "Sub0" with its default appearance.
  explicit VRN_submodelTable(VRN_network* network);
  // Deep copy of every slot (free slots stay free) bound to network.
  VRN_submodelTable(const VRN_submodelTable& source, VRN_network* network);
  ~VRN_submodelTable();

  VRN_submodelTable(const VRN_submodelTable&) = delete;
  VRN_submodelTable& operator=(const VRN_submodelTable&) = delete;

  // Creates a submodel under parent. id null: "Sub" + number (from the new
  // slot index upwards until unused). Answers the new handle; -2 for a bad
  // parent or an id another submodel has, -30 for an id that breaks the
  // identifier rule, -32 for an id a node has, -2 with a logged message
  // when every slot that has a handle of its own is used. Nothing changes
  // on failure.
  int CreateSubmodel(int parent, const char* id);
  // Deletes submodel h; its submodels and nodes move to its parent. -2
  // (logged) for a bad or free handle and for the main submodel; 0.
  int DeleteSubmodel(int handle);
  // Whether submodel h may take id as its identifier: -30 for a null or
  // invalid id; -32 when a node or a submodel other than h carries it (they
  // share one namespace); 0. Changes nothing: the caller then sets the id.
  int CheckNewId(int handle, const char* id) const;
  // Handle of the first submodel with this id; -2 for null or none.
  int FindSubmodel(const char* id) const;
  int GetFirstSubmodel() const;
  // The next used slot after h; -2 at the end or for a bad or free h.
  int GetNextSubmodel(int handle) const;
  int GetNumberOfSubmodels() const;
  // Parent's handle; -8888 for the main submodel; -2 for a bad or free h.
  int GetParent(int handle) const;
  // The record, or null for a bad or free handle. Owned by the table.
  VRN_submodel* GetSubmodel(int handle) const;
  bool IsValidHandle(int handle) const;
  // Appends the live nodes in h (handle order); answers the count added or
  // -2 for a bad h.
  int GetIncludedNodes(int handle, VRN_intArray& out) const;
  // Appends the submodels whose parent is h (slot order); count or -2.
  int GetIncludedSubmodels(int handle, VRN_intArray& out) const;
  // Every submodel breadth first from the main one (out emptied first).
  void GetDescendants(VRN_intArray& out) const;
  // Moves submodel h under parent: -2 for bad handles, the main submodel,
  // parent == h or parent inside h; 0.
  int SetSubmodel(int handle, int parent);
  // 1 when a is a proper ancestor of h, 0 when not, -2 for bad handles.
  int IsAncestor(int handle, int ancestor) const;
  // The handle of the first submodel, in slot order, among the deepest of
  // the tree, its depth (the main submodel's is 0) in *depth. Takes time in
  // proportion to the slot count, however deep the tree.
  int GetDeepestSubmodel(int* depth) const;
  bool IsIdUsed(const char* id) const;

  // Number of slots, used or free.
  int GetSlotCount() const { return static_cast<int>(slots_.size()); }

  VRN_screenInfo& DefaultNodeScreenInfo() { return defaultNode_; }
  const VRN_screenInfo& DefaultNodeScreenInfo() const { return defaultNode_; }
  VRN_screenInfo& DefaultSubmodelScreenInfo() { return defaultSubmodel_; }
  const VRN_screenInfo& DefaultSubmodelScreenInfo() const {
    return defaultSubmodel_;
  }

 private:
  struct Slot {
    VRN_submodel* record;
    int parent;  // slot index, kSubmodelRootParent or kSubmodelFreeSlot
  };

  // Slot index of a used slot for handle h (bit 0x8000 stripped); -1 when h
  // is bad or free.
  int UsedSlot(int handle) const;

  VRN_network* network_;
  std::vector<Slot> slots_;
  int growthStep_ = 8;
  VRN_screenInfo defaultNode_;
  VRN_screenInfo defaultSubmodel_;
};

#endif  // QELTA_NETWORK_SUBMODEL_H_
