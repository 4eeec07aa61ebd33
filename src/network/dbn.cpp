// Temporal part: temporal arcs and definitions kept as holder and proxy
// nodes of a hidden network, the queries on them, temporal type changes,
// slice evidence and the hooks that keep the part in step with the owner.
#include "network/dbn.h"

#include <climits>
#include <iterator>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "equations/equation.h"
#include "network/change_guards.h"
#include "network/node.h"

namespace {

// A proxy of an equation takes its intervals: an equation has no outcomes,
// so its children's tables are sized by them.
int TakeDiscIntervals(VRN_equation* proxy, const VRN_equation& source) {
  const double lower = source.GetLowerBound();
  const double upper = source.GetUpperBound();
  if (source.HasSettableIntervals() || proxy->HasDiscIntervals()) {
    return proxy->SetDiscIntervals(lower, upper, source.GetDiscIntervals());
  }
  // The default pair over a range with no room for a boundary, which
  // SetDiscIntervals refuses: a new proxy takes it over the same bounds, as
  // a file reader does.
  const int status = proxy->SetBounds(lower, upper);
  if (status != qelta::kOk) return status;
  return proxy->SetDefaultIntervalsOverBounds(source.GetDiscIntervals());
}

}  // namespace

VRN_dbn::VRN_dbn(VRN_network* owner) : network_(owner) {
  // Nothing reads the hidden nodes' values: their bookkeeping would only
  // cost a walk of the hidden network per arc.
  defNetwork_.SetFlags(defNetwork_.GetFlags() & ~qelta::kNetRelevance);
}

VRN_dbn::VRN_dbn(VRN_network* owner, const VRN_dbn& other)
    : hiddenOwner_(other.hiddenOwner_),
      parentProxies_(other.parentProxies_),
      temporalDefs_(other.temporalDefs_),
      sliceEvidence_(other.sliceEvidence_),
      sliceVirtualEvidence_(other.sliceVirtualEvidence_),
      network_(owner),
      defNetwork_(other.defNetwork_, 0),
      sliceCount_(other.sliceCount_),
      maxOrder_(other.maxOrder_),
      plateRect_(other.plateRect_),
      leftWidth_(other.leftWidth_),
      rightWidth_(other.rightWidth_) {}

// ------------------------------------------------------------------ helpers

bool VRN_dbn::IsPlate(int h) const {
  const VRN_node* node = network_->GetNode(h);
  return node != nullptr && node->GetTemporalType() == qelta::kTemporalPlate;
}

int VRN_dbn::SteadyCount(int node) const {
  const VRN_node* record = network_->GetNode(node);
  if (record == nullptr) return 0;
  int count = 0;
  for (int p : record->Parents()) {
    if (IsSteadyType(network_->GetNode(p)->GetTemporalType())) ++count;
  }
  return count;
}

VRN_dbn::DefMap::const_iterator VRN_dbn::FirstEntry(int node) const {
  return temporalDefs_.lower_bound(Key(node, INT_MIN));
}

VRN_dbn::DefMap::const_iterator VRN_dbn::EndEntry(int node) const {
  return node == INT_MAX ? temporalDefs_.end()
                         : temporalDefs_.lower_bound(Key(node + 1, INT_MIN));
}

int VRN_dbn::BaseCount(DefMap::const_iterator entry) const {
  if (entry != temporalDefs_.begin()) {
    auto before = std::prev(entry);
    if (before->first.first == entry->first.first) {
      return HolderParents(before->second).GetSize();
    }
  }
  return SteadyCount(entry->first.first);
}

const VRN_intArray& VRN_dbn::HolderParents(int holder) const {
  return defNetwork_.GetNode(holder)->Parents();
}

int VRN_dbn::Owner(int hidden) const {
  auto it = hiddenOwner_.find(hidden);
  return it == hiddenOwner_.end() ? -1 : it->second;
}

int VRN_dbn::NewProxy(int owner) {
  const int proxy =
      CloneNodeInto(defNetwork_, *network_, owner, nullptr, false);
  if (proxy < 0) return proxy;
  hiddenOwner_[proxy] = owner;
  parentProxies_.insert({owner, proxy});
  FollowNumbers(owner);
  return proxy;
}

int VRN_dbn::FirstFreeProxy(int owner, int holder) const {
  const VRN_intArray& parents = HolderParents(holder);
  for (auto it = parentProxies_.lower_bound({owner, INT_MIN});
       it != parentProxies_.end() && it->first == owner; ++it) {
    if (!parents.Contains(it->second)) return it->second;
  }
  return -1;
}

void VRN_dbn::DeleteHidden(int hidden) {
  const int owner = Owner(hidden);
  parentProxies_.erase({owner, hidden});
  hiddenOwner_.erase(hidden);
  (void)defNetwork_.DeleteNode(hidden);
}

int VRN_dbn::InsertTemporalParent(int parent, int holder, int pos) {
  int proxy = FirstFreeProxy(parent, holder);
  const bool created = proxy < 0;
  if (created) {
    proxy = NewProxy(parent);
    if (proxy < 0) return proxy;
  }
  int status = defNetwork_.AddArc(proxy, holder);
  if (status != qelta::kOk) {
    if (created) DeleteHidden(proxy);
    return status;
  }
  const int n = HolderParents(holder).GetSize();
  const int old = n - 1;
  if (pos != old) {
    VRN_intArray order(n);
    for (int i = 0; i < n; ++i)
      order[i] = i < pos ? i : (i == pos ? old : i - 1);
    status = defNetwork_.ReorderParents(holder, order);
    if (status != qelta::kOk) {
      (void)defNetwork_.RemoveArc(proxy, holder);
      if (created) DeleteHidden(proxy);
      return status;
    }
  }
  return qelta::kOk;
}

int VRN_dbn::DetachParentAt(int holder, int pos) {
  const int proxy = HolderParents(holder)[pos];
  (void)defNetwork_.RemoveArc(proxy, holder);
  return proxy;
}

int VRN_dbn::CloneNodeInto(VRN_network& target, const VRN_network& source,
                           int h, const char* id, bool full) {
  const VRN_nodeDef* def = source.GetNode(h)->Definition();
  const int copy = target.AddNode(def->GetType(), id);
  if (copy < 0) return copy;
  VRN_nodeDef* out = target.GetNode(copy)->Definition();
  const int n = def->GetNumberOfOutcomes();
  int status = qelta::kOk;
  const auto* fixed = dynamic_cast<const VRN_discDef*>(out);
  // Kinds with fixed outcomes (DeMorgan, CAST) come with them already.
  if (n > 1 && !(fixed != nullptr && fixed->AreOutcomesFixed())) {
    const VRN_idArray* ids = def->GetOutcomesNames();
    if (full && ids != nullptr) {
      status = out->SetNumberOfOutcomesByIds(*ids);
      const auto* disc = dynamic_cast<const VRN_discDef*>(def);
      auto* out_disc = dynamic_cast<VRN_discDef*>(out);
      if (status == qelta::kOk && disc != nullptr && out_disc != nullptr) {
        std::vector<double> values;
        if (disc->HasIntervals() && disc->GetIntervals(&values) == 0) {
          status = out_disc->SetIntervals(values, false);
        } else if (disc->HasPointValues() &&
                   disc->GetPointValues(&values) == 0) {
          status = out_disc->SetPointValues(values);
        }
      }
    } else if (out->GetNumberOfOutcomes() != n) {
      status = out->SetNumberOfOutcomes(n);
    }
  }
  const auto* equation = dynamic_cast<const VRN_equation*>(def);
  if (status == qelta::kOk && equation != nullptr &&
      equation->HasDiscIntervals()) {
    status = TakeDiscIntervals(static_cast<VRN_equation*>(out), *equation);
  }
  if (status != qelta::kOk) {
    (void)target.DeleteNode(copy);
    return status;
  }
  return copy;
}

void VRN_dbn::CopyTable(VRN_network& target, int targetHandle,
                        const VRN_network& source, int sourceHandle) {
  source.GetNode(sourceHandle)
      ->Definition()
      ->CopyParametersFrom(target.GetNode(targetHandle)->Definition());
}

// -------------------------------------------------- temporal definitions

int VRN_dbn::GetOrCreateTemporalDefinition(int child, int order,
                                           bool& created) {
  created = false;
  auto found = temporalDefs_.find(Key(child, order));
  if (found != temporalDefs_.end()) return found->second;
  const int holder =
      CloneNodeInto(defNetwork_, *network_, child, nullptr, false);
  if (holder < 0) return holder;
  hiddenOwner_[holder] = child;
  auto entry = temporalDefs_.emplace(Key(child, order), holder).first;
  FollowNumbers(child);
  auto undo = [&](int status) {
    temporalDefs_.erase(Key(child, order));
    DeleteHidden(holder);
    PruneHiddenNodes(-1);
    return status;
  };
  if (entry != temporalDefs_.begin() &&
      std::prev(entry)->first.first == child) {
    const int lower = std::prev(entry)->second;
    const VRN_intArray parents = HolderParents(lower);
    for (int p : parents) {
      const int status = defNetwork_.AddArc(p, holder);
      if (status != qelta::kOk) return undo(status);
    }
    CopyTable(defNetwork_, holder, defNetwork_, lower);
    created = true;
    return holder;
  }
  const VRN_intArray parents = network_->GetNode(child)->Parents();
  int steady = 0;
  for (int p : parents) {
    if (!IsSteadyType(network_->GetNode(p)->GetTemporalType())) continue;
    auto first = parentProxies_.lower_bound({p, INT_MIN});
    int proxy = first != parentProxies_.end() && first->first == p
                    ? first->second
                    : NewProxy(p);
    if (proxy < 0) return undo(proxy);
    const int status = defNetwork_.AddArc(proxy, holder);
    if (status != qelta::kOk) return undo(status);
    ++steady;
  }
  if (steady == parents.GetSize()) {
    CopyTable(defNetwork_, holder, *network_, child);
  } else {
    // The node's table without its anchor parents: a scratch copy drops
    // their dimensions the way the definition drops any parent.
    VRN_network scratch;
    const int t = CloneNodeInto(scratch, *network_, child, nullptr, false);
    if (t < 0) return undo(t);
    std::vector<int> clones;
    for (int p : parents) {
      const int q = CloneNodeInto(scratch, *network_, p, nullptr, false);
      if (q < 0) return undo(q);
      const int status = scratch.AddArc(q, t);
      if (status != qelta::kOk) return undo(status);
      clones.push_back(q);
    }
    CopyTable(scratch, t, *network_, child);
    for (int i = parents.GetSize() - 1; i >= 0; --i) {
      if (!IsSteadyType(network_->GetNode(parents[i])->GetTemporalType())) {
        (void)scratch.RemoveArc(clones[i], t);
      }
    }
    CopyTable(defNetwork_, holder, scratch, t);
  }
  created = true;
  return holder;
}

void VRN_dbn::PruneHiddenNodes(int ignoredParent) {
  for (auto it = temporalDefs_.begin(); it != temporalDefs_.end();) {
    const int node = it->first.first;
    int expected;
    if (it == temporalDefs_.begin() || std::prev(it)->first.first != node) {
      expected = SteadyCount(node);
      const VRN_node* record = network_->GetNode(node);
      if (ignoredParent >= 0 && record != nullptr &&
          record->Parents().Contains(ignoredParent)) {
        --expected;
      }
    } else {
      expected = HolderParents(std::prev(it)->second).GetSize();
    }
    if (HolderParents(it->second).GetSize() == expected) {
      DeleteHidden(it->second);
      it = temporalDefs_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = parentProxies_.begin(); it != parentProxies_.end();) {
    const int proxy = it->second;
    ++it;  // DeleteHidden erases the current entry
    if (defNetwork_.GetNode(proxy)->Children().GetSize() == 0) {
      DeleteHidden(proxy);
    }
  }
}

// ------------------------------------------------------------ temporal arcs

bool VRN_dbn::CanHoldTemporalDefinition(int defType) {
  return defType == qelta::kDefCpt || defType == qelta::kDefTruthTable ||
         defType == qelta::kDefNoisyMax || defType == qelta::kDefNoisyAdder ||
         defType == qelta::kDefDemorgan;
}

int VRN_dbn::AddTemporalArc(int parent, int child, int order) {
  if (order < 1 || !network_->IsValidHandle(parent) ||
      !network_->IsValidHandle(child) || !IsPlate(parent) || !IsPlate(child) ||
      GetTemporalParentIndex(parent, child, order) >= 0) {
    return qelta::kErrOutOfRange;
  }
  const VRN_nodeDef* child_def = network_->GetNode(child)->Definition();
  if (!CanHoldTemporalDefinition(child_def->GetType())) {
    // No file could hold the temporal definition the arc would need.
    return network_->ErrorLog()->Logf(
        qelta::kErrWrongNodeType,
        "Temporal arcs cannot lead into node '%s' of type %s",
        network_->GetNode(child)->GetId(), child_def->GetTypeName());
  }
  VRN_autoUpdateGuard guard(network_, true);
  bool created = false;
  const int holder = GetOrCreateTemporalDefinition(child, order, created);
  if (holder < 0) return holder;
  const int pos = HolderParents(holder).GetSize();
  std::vector<int> done;
  for (auto it = temporalDefs_.find(Key(child, order)); it != EndEntry(child);
       ++it) {
    const int status = InsertTemporalParent(parent, it->second, pos);
    if (status != qelta::kOk) {
      for (int h : done) (void)DetachParentAt(h, pos);
      if (created) {
        temporalDefs_.erase(Key(child, order));
        DeleteHidden(holder);
      }
      PruneHiddenNodes(-1);
      return status;
    }
    done.push_back(it->second);
  }
  maxOrder_ = -1;
  return qelta::kOk;
}

int VRN_dbn::RemoveTemporalArc(int parent, int child, int order) {
  if (order < 1 || !network_->IsValidHandle(parent) ||
      !network_->IsValidHandle(child) || !IsPlate(parent) || !IsPlate(child)) {
    return qelta::kErrOutOfRange;
  }
  const int pos = GetTemporalParentIndex(parent, child, order);
  if (pos < 0) return qelta::kErrOutOfRange;
  VRN_autoUpdateGuard guard(network_, true);
  maxOrder_ = -1;
  for (auto it = temporalDefs_.find(Key(child, order)); it != EndEntry(child);
       ++it) {
    (void)DetachParentAt(it->second, pos);
  }
  PruneHiddenNodes(-1);
  return qelta::kOk;
}

bool VRN_dbn::TemporalArcExists(int parent, int child, int order) const {
  if (order < 1 || !IsPlate(parent) || !IsPlate(child)) return false;
  return GetTemporalParentIndex(parent, child, order) >= 0;
}

int VRN_dbn::GetTemporalParentIndex(int parent, int child, int order) const {
  auto it = temporalDefs_.find(Key(child, order));
  if (it == temporalDefs_.end()) return -1;
  const VRN_intArray& parents = HolderParents(it->second);
  for (int i = BaseCount(it); i < parents.GetSize(); ++i) {
    if (Owner(parents[i]) == parent) return i;
  }
  return -1;
}

int VRN_dbn::GetTemporalParents(int node, int order, VRN_intArray& out) const {
  if (order < 1 || !IsPlate(node)) return qelta::kErrOutOfRange;
  out.Flush();
  auto it = temporalDefs_.find(Key(node, order));
  if (it == temporalDefs_.end()) return qelta::kOk;
  const VRN_intArray& parents = HolderParents(it->second);
  for (int i = BaseCount(it); i < parents.GetSize(); ++i) {
    out.Add(Owner(parents[i]));
  }
  return qelta::kOk;
}

int VRN_dbn::GetTemporalChildren(int node,
                                 std::vector<std::pair<int, int>>& out) const {
  if (!IsPlate(node)) return qelta::kErrOutOfRange;
  out.clear();
  for (auto p = parentProxies_.lower_bound({node, INT_MIN});
       p != parentProxies_.end() && p->first == node; ++p) {
    for (int x : defNetwork_.GetNode(p->second)->Children()) {
      const int c = Owner(x);
      for (auto it = FirstEntry(c); it != EndEntry(c); ++it) {
        if (it->second != x) continue;
        if (HolderParents(x).FindPosition(p->second) >= BaseCount(it)) {
          out.emplace_back(c, it->first.second);
        }
        break;
      }
    }
  }
  return qelta::kOk;
}

int VRN_dbn::GetTemporalOrders(int node, VRN_intArray& out) const {
  if (!IsPlate(node)) return qelta::kErrOutOfRange;
  out.Flush();
  for (auto it = FirstEntry(node); it != EndEntry(node); ++it) {
    out.Add(it->first.second);
  }
  return qelta::kOk;
}

int VRN_dbn::GetUnrolledParents(int node, int order,
                                std::vector<std::pair<int, int>>& out,
                                int& holder) const {
  holder = -1;
  if (order < 1 || !IsPlate(node)) return qelta::kErrOutOfRange;
  out.clear();
  for (auto it = FirstEntry(node); it != EndEntry(node); ++it) {
    const int k = it->first.second;
    if (k > order) break;
    const VRN_intArray& parents = HolderParents(it->second);
    const int base = BaseCount(it);
    if (it == FirstEntry(node)) {
      for (int i = 0; i < base; ++i) out.emplace_back(Owner(parents[i]), 0);
    }
    for (int i = base; i < parents.GetSize(); ++i) {
      out.emplace_back(Owner(parents[i]), k);
    }
    holder = it->second;
  }
  return qelta::kOk;
}

int VRN_dbn::GetMaxNodeTemporalOrder(int node) const {
  if (!IsPlate(node)) return qelta::kErrOutOfRange;
  auto end = EndEntry(node);
  if (FirstEntry(node) == end) return 0;
  return std::prev(end)->first.second;
}

int VRN_dbn::GetMaxTemporalOrder() {
  if (maxOrder_ < 0) {
    for (const auto& entry : temporalDefs_) {
      if (entry.first.second > maxOrder_) maxOrder_ = entry.first.second;
    }
  }
  return maxOrder_;
}

VRN_nodeDef* VRN_dbn::GetTemporalDefinition(int node, int order) const {
  auto it = temporalDefs_.find(Key(node, order));
  if (it == temporalDefs_.end()) return nullptr;
  return defNetwork_.GetNode(it->second)->Definition();
}

// ------------------------------------------------------------ type changes

int VRN_dbn::ChangeTemporalType(int node, int type) {
  const VRN_node* record = network_->GetNode(node);
  const int current = record->GetTemporalType();
  static const char* const kNames[] = {"normal", "anchor", "terminal", "plate"};
  VRN_errorLog* log = network_->ErrorLog();
  if (current == qelta::kTemporalPlate) {
    std::vector<std::pair<int, int>> children;
    (void)GetTemporalChildren(node, children);
    if (FirstEntry(node) != EndEntry(node) || !children.empty()) {
      return log->Logf(qelta::kErrOutOfRange,
                       "Node [%s] has temporal arcs: delete them before it leaves the plate",
                       record->GetId());
    }
  }
  if (type < 0 || type > 3) return qelta::kErrInvalidValue;
  // A neighbour of a kind the new type cannot be joined to; -2, logged.
  auto refuse = [&](int other, bool parent) {
    const VRN_node* next = network_->GetNode(other);
    return log->Logf(qelta::kErrOutOfRange,
                     "Node [%s] cannot be a %s node while its %s [%s] is a %s node",
                     record->GetId(), kNames[type], parent ? "parent" : "child", next->GetId(),
                     kNames[next->GetTemporalType()]);
  };
  if (type == qelta::kTemporalPlate) {
    const int status =
        CheckPlateKind(*network_, node, record->Definition()->GetType());
    if (status != qelta::kOk) return status;
  }
  // The first parent (or child) whose type passes test; -1 for none.
  auto parent_has = [&](auto test) {
    for (int p : record->Parents()) {
      if (test(network_->GetNode(p)->GetTemporalType())) return p;
    }
    return -1;
  };
  auto child_has = [&](auto test) {
    for (int c : record->Children()) {
      if (test(network_->GetNode(c)->GetTemporalType())) return c;
    }
    return -1;
  };
  auto plate_or_terminal = [](int t) {
    return t == qelta::kTemporalPlate || t == qelta::kTemporalTerminal;
  };
  int other = -1;
  switch (type) {
    case qelta::kTemporalNormal:
      if ((other = parent_has(plate_or_terminal)) >= 0) return refuse(other, true);
      if (current == qelta::kTemporalAnchor) {
        const int status = JoinTemporalDefinitions(node);
        if (status != qelta::kOk) return status;
      }
      break;
    case qelta::kTemporalAnchor:
      if ((other = parent_has(plate_or_terminal)) >= 0) return refuse(other, true);
      LeaveTemporalDefinitions(node);
      break;
    case qelta::kTemporalTerminal:
      if ((other = child_has([](int t) { return t != qelta::kTemporalTerminal; })) >= 0) {
        return refuse(other, false);
      }
      break;
    default:
      if ((other = parent_has([](int t) { return t == qelta::kTemporalTerminal; })) >= 0) {
        return refuse(other, true);
      }
      if ((other = child_has([](int t) {
             return t == qelta::kTemporalNormal || t == qelta::kTemporalAnchor;
           })) >= 0) {
        return refuse(other, false);
      }
      if (current == qelta::kTemporalAnchor) {
        const int status = JoinTemporalDefinitions(node);
        if (status != qelta::kOk) return status;
      }
      break;
  }
  if (current == qelta::kTemporalPlate) OnLeftPlate(node);
  return qelta::kOk;
}

int VRN_dbn::CheckPlateKind(VRN_network& net, int node, int defType) {
  if (defType != qelta::kDefEquation && defType != qelta::kDefUtility &&
      defType != qelta::kDefMau) {
    return qelta::kOk;
  }
  return net.ErrorLog()->Logf(
      qelta::kErrWrongNodeType,
      "Node '%s' cannot be a plate node: its kind has no outcomes",
      net.GetNode(node)->GetId());
}

int VRN_dbn::JoinTemporalDefinitions(int node) {
  std::vector<std::pair<int, int>> done;  // (holder, position)
  for (int c : network_->GetNode(node)->Children()) {
    if (!IsPlate(c)) continue;
    int pos = 0;
    for (int p : network_->GetNode(c)->Parents()) {
      if (p == node) break;
      if (network_->GetNode(p)->GetTemporalType() != qelta::kTemporalAnchor) {
        ++pos;
      }
    }
    for (auto it = FirstEntry(c); it != EndEntry(c); ++it) {
      const int status = InsertTemporalParent(node, it->second, pos);
      if (status != qelta::kOk) {
        for (const auto& [holder, at] : done) (void)DetachParentAt(holder, at);
        PruneHiddenNodes(-1);
        return status;
      }
      done.emplace_back(it->second, pos);
    }
  }
  return qelta::kOk;
}

void VRN_dbn::LeaveTemporalDefinitions(int node) {
  bool detached = false;
  for (int c : network_->GetNode(node)->Children()) {
    if (!IsPlate(c)) continue;
    const int n = SteadyCount(c);
    for (auto it = FirstEntry(c); it != EndEntry(c); ++it) {
      const VRN_intArray& parents = HolderParents(it->second);
      for (int i = 0; i < n && i < parents.GetSize(); ++i) {
        if (Owner(parents[i]) == node) {
          (void)DetachParentAt(it->second, i);
          detached = true;
          break;
        }
      }
    }
  }
  if (detached) PruneHiddenNodes(node);
}

// ------------------------------------------------------ slices and evidence

int VRN_dbn::SetNumberOfSlices(int count) {
  if (count < 1) return qelta::kErrInvalidValue;
  sliceCount_ = count;
  for (auto it = sliceEvidence_.begin(); it != sliceEvidence_.end();) {
    it = it->first.second >= count ? sliceEvidence_.erase(it) : std::next(it);
  }
  for (auto it = sliceVirtualEvidence_.begin();
       it != sliceVirtualEvidence_.end();) {
    it = it->first.second >= count ? sliceVirtualEvidence_.erase(it)
                                   : std::next(it);
  }
  return qelta::kOk;
}

int VRN_dbn::SetTemporalEvidence(int node, int slice, int outcome) {
  sliceEvidence_[Key(node, slice)] = outcome;
  sliceVirtualEvidence_.erase(Key(node, slice));
  return qelta::kOk;
}

int VRN_dbn::SetTemporalVirtualEvidence(
    int node, int slice, const std::vector<double>& likelihoods) {
  sliceVirtualEvidence_[Key(node, slice)] = likelihoods;
  sliceEvidence_.erase(Key(node, slice));
  return qelta::kOk;
}

int VRN_dbn::GetTemporalEvidence(int node, int slice) const {
  auto it = sliceEvidence_.find(Key(node, slice));
  return it == sliceEvidence_.end() ? qelta::kErrOutOfRange : it->second;
}

int VRN_dbn::GetTemporalVirtualEvidence(int node, int slice,
                                        std::vector<double>& out) const {
  auto it = sliceVirtualEvidence_.find(Key(node, slice));
  if (it == sliceVirtualEvidence_.end()) return qelta::kErrOutOfRange;
  out = it->second;
  return qelta::kOk;
}

bool VRN_dbn::HasTemporalEvidence(int node) const {
  auto a = sliceEvidence_.lower_bound(Key(node, INT_MIN));
  if (a != sliceEvidence_.end() && a->first.first == node) return true;
  auto b = sliceVirtualEvidence_.lower_bound(Key(node, INT_MIN));
  return b != sliceVirtualEvidence_.end() && b->first.first == node;
}

bool VRN_dbn::HasTemporalVirtualEvidence(int node, int slice) const {
  return sliceVirtualEvidence_.count(Key(node, slice)) != 0;
}

void VRN_dbn::ClearTemporalEvidence(int node, int slice) {
  sliceEvidence_.erase(Key(node, slice));
  sliceVirtualEvidence_.erase(Key(node, slice));
}

void VRN_dbn::ClearAllTemporalEvidence() {
  sliceEvidence_.clear();
  sliceVirtualEvidence_.clear();
}

void VRN_dbn::GetPlateInfo(int rect[4], int& leftWidth, int& rightWidth) const {
  for (int i = 0; i < 4; ++i) rect[i] = plateRect_[i];
  leftWidth = leftWidth_;
  rightWidth = rightWidth_;
}

void VRN_dbn::SetPlateInfo(const int rect[4], int leftWidth, int rightWidth) {
  for (int i = 0; i < 4; ++i) plateRect_[i] = rect[i];
  leftWidth_ = leftWidth;
  rightWidth_ = rightWidth;
}

int VRN_dbn::ForEachTemporalDefinition(int node, bool randomize,
                                       VRN_randomGenerator* generator) {
  for (auto it = FirstEntry(node); it != EndEntry(node); ++it) {
    VRN_nodeDef* def = defNetwork_.GetNode(it->second)->Definition();
    const int status =
        randomize ? def->MakeRandom(*generator) : def->MakeUniform();
    if (status != qelta::kOk) return status;
  }
  return qelta::kOk;
}

int VRN_dbn::RandomizeTemporalDefinitions(int node,
                                          VRN_randomGenerator& generator) {
  return ForEachTemporalDefinition(node, true, &generator);
}

int VRN_dbn::UniformizeTemporalDefinitions(int node) {
  return ForEachTemporalDefinition(node, false, nullptr);
}

// -------------------------------------------------------------------- hooks

int VRN_dbn::OnArcAdded(int parent, int child) {
  if (!IsPlate(child) ||
      !IsSteadyType(network_->GetNode(parent)->GetTemporalType())) {
    return qelta::kOk;
  }
  const int pos = SteadyCount(child) - 1;
  std::vector<int> done;
  for (auto it = FirstEntry(child); it != EndEntry(child); ++it) {
    const int status = InsertTemporalParent(parent, it->second, pos);
    if (status != qelta::kOk) {
      for (int h : done) (void)DetachParentAt(h, pos);
      // The owner still lists the refused arc: without discounting it, the
      // first holder of the child would look like one with no temporal
      // parents and go.
      PruneHiddenNodes(parent);
      return status;
    }
    done.push_back(it->second);
  }
  return qelta::kOk;
}

int VRN_dbn::OnArcRemoving(int parent, int child) {
  auto first = FirstEntry(child);
  if (first == EndEntry(child)) return qelta::kOk;
  const int n = SteadyCount(child);
  for (auto it = first; it != EndEntry(child); ++it) {
    const VRN_intArray& parents = HolderParents(it->second);
    for (int i = 0; i < n && i < parents.GetSize(); ++i) {
      if (Owner(parents[i]) == parent) {
        (void)DetachParentAt(it->second, i);
        break;
      }
    }
  }
  PruneHiddenNodes(parent);
  return qelta::kOk;
}

void VRN_dbn::OnNodeDeleted(int node) {
  OnLeftPlate(node);
  const bool hidden = FirstEntry(node) != EndEntry(node) ||
                      parentProxies_.lower_bound({node, INT_MIN}) !=
                          parentProxies_.lower_bound({node, INT_MAX});
  // The node's arcs are gone already, and with them every steady proxy.
  if (!hidden) return;
  for (auto it = FirstEntry(node); it != EndEntry(node);) {
    DeleteHidden(it->second);
    it = temporalDefs_.erase(it);
  }
  std::vector<int> proxies;
  for (auto it = parentProxies_.lower_bound({node, INT_MIN});
       it != parentProxies_.end() && it->first == node; ++it) {
    proxies.push_back(it->second);
  }
  for (int proxy : proxies) DeleteHidden(proxy);
  PruneHiddenNodes(-1);
  maxOrder_ = -1;
}

void VRN_dbn::OnLeftPlate(int node) {
  sliceEvidence_.erase(sliceEvidence_.lower_bound(Key(node, INT_MIN)),
                       sliceEvidence_.lower_bound(Key(node, INT_MAX)));
  sliceEvidence_.erase(Key(node, INT_MAX));
  sliceVirtualEvidence_.erase(
      sliceVirtualEvidence_.lower_bound(Key(node, INT_MIN)),
      sliceVirtualEvidence_.lower_bound(Key(node, INT_MAX)));
  sliceVirtualEvidence_.erase(Key(node, INT_MAX));
}

namespace {

// The hidden nodes that stand for node: its proxies, then its holders.
template <typename Proxies, typename Defs>
std::vector<int> HiddenNodesOf(int node, const Proxies& proxies,
                               const Defs& defs, bool holdersFirst) {
  std::vector<int> p, h;
  for (auto it = proxies.lower_bound({node, INT_MIN});
       it != proxies.end() && it->first == node; ++it) {
    p.push_back(it->second);
  }
  for (auto it = defs.lower_bound({node, INT_MIN});
       it != defs.end() && it->first.first == node; ++it) {
    h.push_back(it->second);
  }
  std::vector<int>& first = holdersFirst ? h : p;
  std::vector<int>& second = holdersFirst ? p : h;
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

}  // namespace

void VRN_dbn::FollowNumbers(int node) {
  const auto* owner =
      dynamic_cast<const VRN_discDef*>(network_->GetNode(node)->Definition());
  for (int h : HiddenNodesOf(node, parentProxies_, temporalDefs_, false)) {
    auto* copy = dynamic_cast<VRN_discDef*>(defNetwork_.GetNode(h)->Definition());
    if (copy != nullptr) copy->TakeNumbersOf(owner);
  }
}

int VRN_dbn::OnDefinitionTypeChanged(int node) {
  const int type = network_->GetNode(node)->Definition()->GetType();
  RemoveRefusedTemporalArcs(node);
  DropUnfitSliceEvidence(node);
  // Every hidden arc left fits the new types, but a proxy and a holder of
  // node joined by a temporal arc of node onto itself fit only once both
  // have changed: none of the changes may drop arcs.
  for (int h : HiddenNodesOf(node, parentProxies_, temporalDefs_, false)) {
    const int status = defNetwork_.GetNode(h)->setNodeType(type, true);
    if (status != qelta::kOk) return status;
  }
  FollowNumbers(node);
  return OnDiscIntervalsChanged(node);
}

int VRN_dbn::OnDiscIntervalsChanged(int node) {
  const VRN_equation* source = VRN_GetEquation(network_, node);
  if (source == nullptr || !source->HasDiscIntervals()) return qelta::kOk;
  for (auto it = parentProxies_.lower_bound({node, INT_MIN});
       it != parentProxies_.end() && it->first == node; ++it) {
    VRN_equation* proxy = VRN_GetEquation(&defNetwork_, it->second);
    if (proxy == nullptr) continue;
    const int status = TakeDiscIntervals(proxy, *source);
    if (status != qelta::kOk) return status;
  }
  return qelta::kOk;
}

void VRN_dbn::RemoveRefusedTemporalArcs(int node) {
  if (!IsPlate(node)) return;
  const int type = network_->GetNode(node)->Definition()->GetType();
  auto type_of = [this](int h) {
    return network_->GetNode(h)->Definition()->GetType();
  };
  // (parent, child, order) of each refused arc, gathered before any goes.
  std::vector<std::array<int, 3>> refused;
  const bool holds = CanHoldTemporalDefinition(type);
  for (auto it = FirstEntry(node); it != EndEntry(node); ++it) {
    const int order = it->first.second;
    const VRN_intArray& parents = HolderParents(it->second);
    for (int i = BaseCount(it); i < parents.GetSize(); ++i) {
      const int parent = Owner(parents[i]);
      if (!holds || !VRN_nodeDef::IsArcAllowed(type_of(parent), type)) {
        refused.push_back({parent, node, order});
      }
    }
  }
  std::vector<std::pair<int, int>> children;
  (void)GetTemporalChildren(node, children);
  for (const auto& [child, order] : children) {
    if (child != node && !VRN_nodeDef::IsArcAllowed(type, type_of(child))) {
      refused.push_back({node, child, order});
    }
  }
  for (const auto& [parent, child, order] : refused) {
    (void)RemoveTemporalArc(parent, child, order);
  }
}

void VRN_dbn::DropUnfitSliceEvidence(int node) {
  // As a type change carries ordinary evidence: an outcome the new kind
  // has, likelihoods of its outcome count on a kind that takes them.
  const VRN_node* record = network_->GetNode(node);
  const int count = record->Definition()->GetNumberOfOutcomes();
  const bool soft = record->Value()->GetType() == qelta::kValBeliefVector;
  for (auto it = sliceEvidence_.lower_bound(Key(node, INT_MIN));
       it != sliceEvidence_.end() && it->first.first == node;) {
    it = count >= 2 && it->second < count ? std::next(it)
                                          : sliceEvidence_.erase(it);
  }
  for (auto it = sliceVirtualEvidence_.lower_bound(Key(node, INT_MIN));
       it != sliceVirtualEvidence_.end() && it->first.first == node;) {
    it = soft && static_cast<int>(it->second.size()) == count
             ? std::next(it)
             : sliceVirtualEvidence_.erase(it);
  }
}

int VRN_dbn::OnOutcomeInserted(int node, int position) {
  const int count =
      network_->GetNode(node)->Definition()->GetNumberOfOutcomes();
  for (int h : HiddenNodesOf(node, parentProxies_, temporalDefs_, false)) {
    VRN_nodeDef* def = defNetwork_.GetNode(h)->Definition();
    // The node split its numbers, or set them aside for new ones: the copy
    // takes them after the insert, and splits none of its own.
    if (auto* disc = dynamic_cast<VRN_discDef*>(def)) disc->TakeNumbersOf(nullptr);
    const int status = position == count - 1
                           ? def->AddOutcome(nullptr)
                           : def->InsertOutcome(position, nullptr);
    if (status < 0) return status;
  }
  FollowNumbers(node);
  for (auto& [key, outcome] : sliceEvidence_) {
    if (key.first == node && outcome >= position) ++outcome;
  }
  for (auto& [key, likelihoods] : sliceVirtualEvidence_) {
    if (key.first == node && position <= static_cast<int>(likelihoods.size())) {
      likelihoods.insert(likelihoods.begin() + position, 0.0);
    }
  }
  return qelta::kOk;
}

int VRN_dbn::OnOutcomeRemoved(int node, int index) {
  for (int h : HiddenNodesOf(node, parentProxies_, temporalDefs_, true)) {
    const int status =
        defNetwork_.GetNode(h)->Definition()->RemoveOutcome(index);
    if (status < 0) return status;
  }
  FollowNumbers(node);
  for (auto it = sliceEvidence_.begin(); it != sliceEvidence_.end();) {
    if (it->first.first == node && it->second == index) {
      it = sliceEvidence_.erase(it);
      continue;
    }
    if (it->first.first == node && it->second > index) --it->second;
    ++it;
  }
  for (auto it = sliceVirtualEvidence_.begin();
       it != sliceVirtualEvidence_.end();) {
    std::vector<double>& v = it->second;
    if (it->first.first == node && index < static_cast<int>(v.size())) {
      v.erase(v.begin() + index);
      double sum = 0.0;
      for (double x : v) sum += x;
      if (sum <= 0.0) {
        it = sliceVirtualEvidence_.erase(it);
        continue;
      }
    }
    ++it;
  }
  return qelta::kOk;
}

int VRN_dbn::OnOutcomesReordered(int node, const VRN_intArray& order) {
  for (int h : HiddenNodesOf(node, parentProxies_, temporalDefs_, false)) {
    const int status =
        defNetwork_.GetNode(h)->Definition()->ChangeOrderOfOutcomes(order);
    if (status < 0) return status;
  }
  FollowNumbers(node);
  for (auto& [key, outcome] : sliceEvidence_) {
    if (key.first != node) continue;
    const int pos = order.FindPosition(outcome);
    if (pos >= 0) outcome = pos;
  }
  for (auto& [key, likelihoods] : sliceVirtualEvidence_) {
    if (key.first != node ||
        static_cast<int>(likelihoods.size()) != order.GetSize()) {
      continue;
    }
    std::vector<double> moved(likelihoods.size());
    for (int i = 0; i < order.GetSize(); ++i) moved[i] = likelihoods[order[i]];
    likelihoods.swap(moved);
  }
  return qelta::kOk;
}

bool VRN_dbn::OutcomeCountFits(int node, int count) const {
  const int old_count =
      network_->GetNode(node)->Definition()->GetNumberOfOutcomes();
  if (old_count < 1 || count <= old_count) return true;
  const std::vector<int> hidden =
      HiddenNodesOf(node, parentProxies_, temporalDefs_, false);
  const std::set<int> stands_for(hidden.begin(), hidden.end());
  std::set<int> affected(stands_for);
  for (int h : hidden) {
    const VRN_intArray& children = defNetwork_.GetNode(h)->Children();
    affected.insert(children.begin(), children.end());
  }
  // A holder may take node as its own outcome and as several parents, so
  // one table can grow by the same factor more than once.
  for (int h : affected) {
    const VRN_node* hidden_node = defNetwork_.GetNode(h);
    const VRN_matrix* table = hidden_node->Definition()->GetMatrixConst();
    if (table == nullptr) continue;
    long long items = table->GetItemCount();
    int dimensions = static_cast<int>(stands_for.count(h));
    for (int p : hidden_node->Parents()) {
      dimensions += static_cast<int>(stands_for.count(p));
    }
    for (int d = 0; d < dimensions; ++d) {
      items = items / old_count * count;
      if (items > qelta::kMaxTableItems) return false;
    }
  }
  return true;
}

int VRN_dbn::OnParentsReordered(int node, const VRN_intArray& order) {
  if (FirstEntry(node) == EndEntry(node)) return qelta::kOk;
  const VRN_intArray& now = network_->GetNode(node)->Parents();
  const int n = now.GetSize();
  // old parent list: old[order[i]] = now[i]; steady rank of each old slot.
  std::vector<int> old(n);
  for (int i = 0; i < n; ++i) old[order[i]] = now[i];
  std::vector<int> old_rank(n, -1);
  int rank = 0;
  for (int i = 0; i < n; ++i) {
    if (IsSteadyType(network_->GetNode(old[i])->GetTemporalType())) {
      old_rank[i] = rank++;
    }
  }
  std::vector<int> steady_order;
  for (int i = 0; i < n; ++i) {
    if (old_rank[order[i]] >= 0) steady_order.push_back(old_rank[order[i]]);
  }
  for (auto it = FirstEntry(node); it != EndEntry(node); ++it) {
    const int m = HolderParents(it->second).GetSize();
    VRN_intArray holder_order(m);
    for (int j = 0; j < m; ++j) {
      holder_order[j] = j < rank ? steady_order[j] : j;
    }
    if (holder_order.IsIdentity()) continue;
    const int status = defNetwork_.ReorderParents(it->second, holder_order);
    if (status != qelta::kOk) return status;
  }
  return qelta::kOk;
}
