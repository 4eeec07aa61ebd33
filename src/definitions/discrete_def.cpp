#include "definitions/discrete_def.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/intervals.h"
#include "base/special_values.h"
#include "network/cases.h"
#include "network/change_guards.h"
#include "network/dbn.h"
#include "base/matrix.h"
#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/node_val.h"
#include "equations/equation.h"

namespace {

constexpr const char* kTempOutcomeIds[] = {"tmpStateUI0", "tmpStateUI00"};

// Removes item i of the array; later items move down.
void EraseAt(VRN_doubleArray* items, int i) {
  const int n = items->GetSize();
  for (int k = i; k + 1 < n; ++k) (*items)[k] = (*items)[k + 1];
  (void)items->SetSize(n - 1);
}

bool IsEmptyText(const char* text) { return text == nullptr || *text == '\0'; }

// Sums of p x and p x^2 over point values x, each scaled by 2^-exponent.
struct PointSums {
  double mean = 0.0;
  double square = 0.0;
};

PointSums SumPoints(int count, const double* x, const double* p, int exponent) {
  PointSums sums;
  for (int i = 0; i < count; ++i) {
    const double v = exponent == 0 ? x[i] : std::ldexp(x[i], -exponent);
    sums.mean += p[i] * v;
    sums.square += p[i] * v * v;
  }
  return sums;
}

// The exponent of a power of two above every point value that has
// probability: scaled by it, values stay below 1 and squares finite.
int PointScale(int count, const double* x, const double* p) {
  double largest = 0.0;
  for (int i = 0; i < count; ++i) {
    if (p[i] != 0.0) largest = std::fmax(largest, std::fabs(x[i]));
  }
  int exponent = 0;
  (void)std::frexp(largest, &exponent);
  return exponent;
}

// The exponent of the largest weighted square p[i] * (x[i] * 2^-exponent)^2,
// read from the factors' exponents (the square itself may underflow);
// INT_MIN when every term is zero.
int TopSquareExponent(int count, const double* x, const double* p, int exponent) {
  int top = INT_MIN;
  for (int i = 0; i < count; ++i) {
    if (p[i] == 0.0 || x[i] == 0.0) continue;
    top = std::max(top, std::ilogb(p[i]) + 2 * (std::ilogb(x[i]) - exponent));
  }
  return top;
}

// The deviation of the point values from the sums over values scaled by
// 2^-exponent and weights lifted by an even power of two that brings the
// largest weighted square near 1: no weighted square or product falls below
// the normal doubles unless it is negligible beside that one. Each term is
// formed from its factors' fractions and exponents, so a lifted weight never
// overflows on its own.
double LiftedDeviation(int count, const double* x, const double* p, int exponent) {
  const int top = TopSquareExponent(count, x, p, exponent);
  if (top == INT_MIN) return 0.0;
  const int lift = -top + (top % 2 != 0 ? 1 : 0);  // even
  double first = 0.0;
  double square = 0.0;
  for (int i = 0; i < count; ++i) {
    if (p[i] == 0.0 || x[i] == 0.0) continue;
    int ep = 0;
    int ev = 0;
    const double fp = std::frexp(p[i], &ep);
    const double fv = std::frexp(x[i], &ev);
    ev -= exponent;
    first += std::ldexp(fp * fv, ep + ev + lift / 2);
    square += std::ldexp(fp * fv * fv, ep + 2 * ev + lift);
  }
  const double variance = square - first * first;
  return variance > 0.0 ? std::ldexp(std::sqrt(variance), exponent - lift / 2) : 0.0;
}

// Below this exponent of the largest weighted square, rounding at the foot
// of the doubles may show in the deviation.
constexpr int kLostSquareExponent = -960;

const char* NullIfEmpty(const std::string& text) {
  return text.empty() ? nullptr : text.c_str();
}

// The first non-empty text that two entries share (the empty ids of
// interval outcomes may repeat); null when there is none.
const char* FirstDuplicate(const VRN_stringArray& ids) {
  std::set<std::string> seen;
  for (int i = 0; i < ids.GetSize(); ++i) {
    const char* id = ids.Get(i);
    if (!IsEmptyText(id) && !seen.insert(id).second) return id;
  }
  return nullptr;
}

std::vector<std::string> Texts(const VRN_stringArray& ids) {
  std::vector<std::string> out;
  for (int i = 0; i < ids.GetSize(); ++i) {
    out.emplace_back(ids.Get(i) != nullptr ? ids.Get(i) : "");
  }
  return out;
}

// prefix + the lowest number from `first` on that no entry of ids holds.
std::string FreeNumberedId(const VRN_stringArray& ids, const char* prefix,
                           int first) {
  for (int n = first;; ++n) {
    std::string id = VRN_idArray::MakeNumberedId(prefix, n);
    if (ids.FindString(id.c_str()) < 0) return id;
  }
}

// The final ids RenameOutcomes makes of names: each repaired into a valid
// identifier.
VRN_idArray RepairedIds(const VRN_stringArray& names, bool allow_empty) {
  VRN_idArray out;
  out.SetAllowEmpty(allow_empty);
  for (int i = 0; i < names.GetSize(); ++i) {
    (void)out.AddNumbered(names.Get(i), -1);
  }
  return out;
}

// Whether splitting interval `split` of bounds at its middle leaves bounds
// SetIntervals takes: a middle that is a number (the middle of -inf and
// +inf is not) and no two empty intervals in a row (the middle of an
// interval with an infinite end is that end).
bool SplitKeepsBounds(const VRN_doubleArray& bounds, int split) {
  std::vector<double> after(bounds.begin(), bounds.end());
  const double middle = VRN_Midpoint(after[split], after[split + 1]);
  if (std::isnan(middle)) return false;
  after.insert(after.begin() + split + 1, middle);
  for (std::size_t i = 2; i < after.size(); ++i) {
    if (after[i - 2] == after[i]) return false;
  }
  return true;
}

// The interval an outcome inserted at `position` of `count` splits: the one
// at position, or the last one when appending.
int SplitInterval(int position, int count) {
  return position < count ? position : count - 1;
}

// Splits interval `split` of bounds in two at its middle.
void SplitBounds(VRN_doubleArray* bounds, int split) {
  bounds->Insert(split + 1, VRN_Midpoint((*bounds)[split], (*bounds)[split + 1]));
}

// Removes outcome `index` of `count` from bounds: the following outcome
// takes the interval over; the last outcome's goes to the one before it.
void MergeBounds(VRN_doubleArray* bounds, int index, int count) {
  EraseAt(bounds, index < count - 1 ? index + 1 : index);
}

// Whether every split the steps of an add-and-remove edit make leaves
// bounds SetIntervals takes, run on a copy of the bounds: `temporaries`
// outcomes appended, the old outcomes not `named` removed from the highest
// down, `added` outcomes appended. Removing the temporaries at the end
// splits nothing, and a removal never leaves bounds that are refused.
bool AddAndRemoveKeepsBounds(VRN_doubleArray bounds,
                             const std::vector<bool>& named, int added,
                             int temporaries) {
  int count = bounds.GetSize() - 1;
  auto append = [&bounds, &count]() {
    const int split = SplitInterval(count, count);
    if (!SplitKeepsBounds(bounds, split)) return false;
    SplitBounds(&bounds, split);
    ++count;
    return true;
  };
  for (int t = 0; t < temporaries; ++t) {
    if (!append()) return false;
  }
  for (int i = static_cast<int>(named.size()) - 1; i >= 0; --i) {
    if (named[i]) continue;
    MergeBounds(&bounds, i, count);
    --count;
  }
  for (int a = 0; a < added; ++a) {
    if (!append()) return false;
  }
  return true;
}

// Whether bounds rise (ties allowed) with no two empty intervals in a row:
// the bounds an interval definition takes.
bool TakesBounds(const double* bounds, int n) {
  for (int i = 0; i < n; ++i) {
    if (std::isnan(bounds[i])) return false;
    if (i >= 1 && bounds[i - 1] > bounds[i]) return false;
    if (i >= 2 && bounds[i - 2] == bounds[i]) return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------- lifecycle

VRN_discDef::VRN_discDef(VRN_network* network, int handle,
                         const VRN_idArray& ids)
    : VRN_nodeDef(network, handle), outcome_ids_(ids) {}

VRN_discDef::VRN_discDef(const VRN_discreteInfo& info)
    : VRN_nodeDef(info.network, info.handle) {
  // A discrete definition needs two outcomes; a record with fewer names
  // gets the default names.
  if (info.ids != nullptr && info.ids->GetSize() >= 2) {
    outcome_ids_ = *info.ids;
  } else {
    outcome_ids_ = VRN_DefaultOutcomeIds();
  }
  if (info.values != nullptr) {
    const std::vector<double> values(info.values->begin(), info.values->end());
    const int n = static_cast<int>(values.size());
    // Bounds no interval definition takes (an equation over a range of one
    // point has empty intervals) stay behind: the outcomes come without
    // them, named where they were not, as after RemoveIntervals.
    if (n != outcome_ids_.GetSize() + 1 || TakesBounds(values.data(), n)) {
      values_ = std::make_unique<VRN_doubleArray>(*info.values);
    } else if (outcome_ids_.GetAllowEmpty()) {
      GiveNumberedIds();
    }
  }
  if (info.diag_info != nullptr) {
    diag_info_ = std::make_unique<qelta::OutcomeDiagBlock>(*info.diag_info);
    const int count = outcome_ids_.GetSize();
    diag_info_->outcomes.resize(count);
    if (diag_info_->default_outcome >= count) diag_info_->default_outcome = -1;
  }
}

VRN_discDef::VRN_discDef(const VRN_discDef& other, VRN_network* network)
    : VRN_nodeDef(other, network), outcome_ids_(other.outcome_ids_) {
  if (other.values_ != nullptr) {
    values_ = std::make_unique<VRN_doubleArray>(*other.values_);
  }
  if (other.diag_info_ != nullptr) {
    diag_info_ = std::make_unique<qelta::OutcomeDiagBlock>(*other.diag_info_);
  }
}

VRN_discDef::~VRN_discDef() = default;

VRN_nodeVal* VRN_discDef::CreateValueFromRecord(
    const VRN_evidenceRecord& record) const {
  return new VRN_beliefVector(*this, record);
}

VRN_nodeVal* VRN_discDef::CreateValue() const {
  return new VRN_beliefVector(GetNetwork(), GetHandle());
}

// ------------------------------------------------------- notifications

VRN_discVal* VRN_discDef::OwnValue() const {
  VRN_network* network = GetNetwork();
  VRN_node* node = network != nullptr ? network->GetNode(GetHandle()) : nullptr;
  // A definition being built for a change of type is not its node's yet.
  if (node == nullptr || node->Definition() != this) return nullptr;
  return dynamic_cast<VRN_discVal*>(node->Value());
}

// Tells the network, then every child's definition, about one change of
// this node's outcomes; answers the first failure, after telling them all.
template <typename NetworkCall, typename ChildCall>
int VRN_discDef::NotifyOutcomeChange(NetworkCall tell_network,
                                     ChildCall tell_child) {
  VRN_network* network = GetNetwork();
  if (network == nullptr || network->GetNode(GetHandle()) == nullptr) return 0;
  int result = tell_network(*network);
  const VRN_intArray children = GetChildren();
  for (int child : children) {
    const int status = tell_child(*GetNodeDefinition(child));
    if (result == qelta::kOk) result = status;
  }
  return result;
}

int VRN_discDef::NotifyChildrenInserted(int position) {
  const int h = GetHandle();
  return NotifyOutcomeChange(
      [&](VRN_network& net) { return net.OnOutcomeInserted(h, position); },
      [&](VRN_nodeDef& def) { return def.OnParentOutcomeInserted(h, position); });
}

int VRN_discDef::NotifyChildrenRemoved(int index) {
  const int h = GetHandle();
  return NotifyOutcomeChange(
      [&](VRN_network& net) { return net.OnOutcomeDeleted(h, index); },
      [&](VRN_nodeDef& def) { return def.OnParentOutcomeRemoved(h, index); });
}

int VRN_discDef::NotifyChildrenReordered(const VRN_intArray& order) {
  const int h = GetHandle();
  return NotifyOutcomeChange(
      [&](VRN_network& net) { return net.OnOutcomesReordered(h, order); },
      [&](VRN_nodeDef& def) { return def.OnParentOutcomesReordered(h, order); });
}

// ---------------------------------------------------------------- outcomes

bool VRN_discDef::TablesFit(int count, bool children) const {
  const int old_count = outcome_ids_.GetSize();
  auto fits = [old_count, count](const VRN_matrix* table) {
    if (table == nullptr || old_count < 1) return true;
    const long long items =
        static_cast<long long>(table->GetItemCount()) / old_count * count;
    return items <= qelta::kMaxTableItems;
  };
  if (!fits(GetMatrixConst())) return false;
  if (children) {
    for (int child : GetChildren()) {
      if (!fits(GetNodeDefinition(child)->GetMatrixConst())) return false;
    }
  }
  // The temporal part follows every count change, with or without
  // children: its tables are checked whenever the node is the network's.
  VRN_network* network = GetNetwork();
  VRN_node* node = network != nullptr ? network->GetNode(GetHandle()) : nullptr;
  return node == nullptr || node->Definition() != this ||
         network->Dbn() == nullptr ||
         network->Dbn()->OutcomeCountFits(GetHandle(), count);
}

int VRN_discDef::AddOutcome(const char* id) {
  return InsertOutcome(outcome_ids_.GetSize(), id);
}

int VRN_discDef::InsertOutcome(int position, const char* id) {
  if (AreOutcomesFixed()) return qelta::kErrWrongNodeType;
  const int old_count = outcome_ids_.GetSize();
  if (position < 0 || position > old_count) {
    return LogRefusal(qelta::kErrOutOfRange,
                      "Position %d is outside 0 to %d, the places of node [%s]", position,
                      old_count, OwnNodeId());
  }
  const bool unnamed = !HasOutcomeIds();
  if (unnamed && !IsEmptyText(id)) return RefuseMixedIds(-1, id);
  // Two outcomes never share an identifier: refused before any change.
  if (!IsEmptyText(id) && outcome_ids_.FindString(id) >= 0) {
    return LogRefusal(qelta::kErrDuplicatedIdentifier,
                      "Node [%s] already has an outcome [%s]", OwnNodeId(), id);
  }
  // An empty literal keeps selecting the outcome it selects.
  if (HasLiteralReaders()) {
    std::vector<int> at(static_cast<std::size_t>(old_count));
    for (int i = 0; i < old_count; ++i) at[i] = i < position ? i : i + 1;
    const int moved = CheckPlaces(at);
    if (moved != qelta::kOk) return moved;
  }
  // Refused before any change, so no table is left a size behind the ids.
  if (!TablesFit(old_count + 1, true)) return qelta::kErrOutOfMemory;
  // The split must leave intervals SetIntervals takes, or the node could
  // neither be set so nor read back from its file.
  const int split = SplitInterval(position, old_count);
  if (HasIntervals() && !SplitKeepsBounds(*values_, split)) {
    return qelta::kErrInvalidValue;
  }
  VRN_autoUpdateGuard guard(GetNetwork());
  const bool intervals = HasIntervals();
  const bool points = HasPointValues();

  // Unnamed outcomes come with intervals, which keep empty ids allowed.
  const bool inserted =
      unnamed ? outcome_ids_.Insert(position, "") == qelta::kOk
              : !IsEmptyText(id) &&
                    outcome_ids_.Insert(position, id) == qelta::kOk;
  if (!inserted) {
    // A generated identifier that is taken moves on to the next number.
    const std::string generated =
        FreeNumberedId(outcome_ids_, GetDefaultOutcomePrefix(), old_count);
    const int status = outcome_ids_.Insert(position, generated.c_str());
    if (status != qelta::kOk) return status;
  }
  if (diag_info_ != nullptr) {
    diag_info_->outcomes.insert(diag_info_->outcomes.begin() + position,
                                VRN_outcomeDiagInfo());
    if (diag_info_->default_outcome >= position) ++diag_info_->default_outcome;
  }
  if (intervals) {
    // A new outcome before an existing one takes the lower half, an
    // appended one the upper half.
    SplitBounds(values_.get(), split);
  } else if (points) {
    values_->Insert(position, 0.0);
  }

  int status = OnOutcomeInserted(position);
  if (status != qelta::kOk) return status;
  VRN_discVal* value = OwnValue();
  if (value != nullptr) {
    (void)value->OnOwnOutcomeInserted(position, old_count + 1);
  }
  status = NotifyChildrenInserted(position);
  if (status != qelta::kOk) return status;
  NotifyRelevance(qelta::kChangeOutcomes);
  return qelta::kOk;
}

int VRN_discDef::RemoveOutcome(int index) {
  if (AreOutcomesFixed()) return qelta::kErrWrongNodeType;
  const int old_count = outcome_ids_.GetSize();
  if (old_count <= 2) return qelta::kErrOutOfRange;
  if (index >= 0 && index < old_count && HasLiteralReaders()) {
    std::vector<int> at(static_cast<std::size_t>(old_count));
    for (int i = 0; i < old_count; ++i) at[i] = i < index ? i : i - 1;
    at[index] = -1;
    const int refused = CheckPlaces(at);
    if (refused != qelta::kOk) return refused;
  }
  VRN_autoUpdateGuard guard(GetNetwork());
  const bool intervals = HasIntervals();
  const bool points = HasPointValues();

  int status = outcome_ids_.Delete(index);
  if (status != qelta::kOk) return status;
  if (diag_info_ != nullptr) {
    diag_info_->outcomes.erase(diag_info_->outcomes.begin() + index);
    int& default_outcome = diag_info_->default_outcome;
    if (default_outcome == index) {
      default_outcome = -1;
    } else if (default_outcome > index) {
      --default_outcome;
    }
  }
  if (intervals) {
    MergeBounds(values_.get(), index, old_count);
  } else if (points) {
    EraseAt(values_.get(), index);
  }

  status = OnOutcomeRemoved(index);
  if (status != qelta::kOk) return status;
  VRN_discVal* value = OwnValue();
  const bool dropped =
      value != nullptr && value->OnOwnOutcomeRemoved(index, old_count - 1);
  status = NotifyChildrenRemoved(index);
  if (status != qelta::kOk) return status;
  // Evidence on the removed outcome is gone: the network hears of it as of
  // any cleared evidence.
  if (dropped) (void)GetNetwork()->OnNodeValueChange(GetHandle());
  NotifyRelevance(qelta::kChangeOutcomes);
  return qelta::kOk;
}

int VRN_discDef::GetNumberOfOutcomes() const { return outcome_ids_.GetSize(); }

int VRN_discDef::GetDiscreteOutcomeCount() const {
  return outcome_ids_.GetSize();
}

int VRN_discDef::RenameOutcome(int index, const char* id) {
  if (AreOutcomesFixed()) return qelta::kErrWrongNodeType;
  if (!outcome_ids_.IsIndexValid(index)) return qelta::kErrOutOfRange;
  if (HasOutcomeIds() == IsEmptyText(id)) return RefuseMixedIds(index, id);
  const int holder = IsEmptyText(id) ? -1 : outcome_ids_.FindString(id);
  if (holder >= 0 && holder != index) {
    return LogRefusal(qelta::kErrOutOfRange,
                      "Node [%s] already has an outcome [%s], outcome %d", OwnNodeId(), id,
                      holder);
  }
  // Files rename outcome by outcome: the ids are copied only when some
  // literal may name them.
  const bool follow = HasLiteralReaders();
  const std::vector<std::string> old_ids =
      follow ? IdTexts() : std::vector<std::string>();
  const int status = outcome_ids_.SetString(index, id);
  if (status == qelta::kOk && follow) (void)FollowIds(old_ids, IdTexts(), true);
  return status;
}

int VRN_discDef::RefuseMixedIds(int index, const char* id) const {
  // Files hold the identifiers of a node's outcomes all empty (interval
  // outcomes) or all named, and nothing in between.
  if (IsEmptyText(id)) {
    return LogRefusal(qelta::kErrOutOfRange,
                      "Outcomes of node '%s' have identifiers: outcome %d cannot be left "
                      "without one",
                      OwnNodeId(), index);
  }
  return LogRefusal(qelta::kErrOutOfRange,
                    "Outcomes of node '%s' have empty identifiers: '%s' cannot name only "
                    "one of them",
                    OwnNodeId(), id);
}

int VRN_discDef::RefuseDuplicateIds(const VRN_stringArray& ids) const {
  const char* twice = FirstDuplicate(ids);
  if (twice == nullptr) return qelta::kOk;
  return LogRefusal(qelta::kErrDuplicatedIdentifier,
                    "The new outcomes of node [%s] name [%s] twice", OwnNodeId(), twice);
}

int VRN_discDef::RefuseNameCount(int count) const {
  return LogRefusal(qelta::kErrOutOfRange, "Node [%s] has %d outcomes, not %d", OwnNodeId(),
                    outcome_ids_.GetSize(), count);
}

int VRN_discDef::RenameOutcomesFromStrings(
    const std::vector<std::string>& names) {
  if (static_cast<int>(names.size()) != outcome_ids_.GetSize()) {
    return RefuseNameCount(static_cast<int>(names.size()));
  }
  VRN_stringArray list;
  for (const std::string& name : names) (void)list.Add(name.c_str());
  return TakeRenamedIds(RepairedIds(list, outcome_ids_.GetAllowEmpty()));
}

int VRN_discDef::RenameOutcomes(const VRN_stringArray& names) {
  if (AreOutcomesFixed()) return qelta::kErrWrongNodeType;
  if (names.GetSize() != outcome_ids_.GetSize()) return RefuseNameCount(names.GetSize());
  // Built aside first so that `names` may be this definition's own list.
  return TakeRenamedIds(RepairedIds(names, outcome_ids_.GetAllowEmpty()));
}

int VRN_discDef::TakeRenamedIds(const VRN_idArray& renamed) {
  const int twice = RefuseDuplicateIds(renamed);
  if (twice != qelta::kOk) return twice;
  if (!HasLiteralReaders()) {
    outcome_ids_ = renamed;
    return qelta::kOk;
  }
  const std::vector<std::string> old_ids = IdTexts();
  const std::vector<std::string> next = Texts(renamed);
  // Names emptied would leave a literal naming no outcome.
  const int refused = FollowIds(old_ids, next, false);
  if (refused != qelta::kOk) return refused;
  outcome_ids_ = renamed;
  (void)FollowIds(old_ids, next, true);
  return qelta::kOk;
}

std::vector<std::string> VRN_discDef::IdTexts() const {
  return Texts(outcome_ids_);
}

bool VRN_discDef::HasLiteralReaders() const {
  VRN_network* network = GetNetwork();
  const VRN_node* node =
      network != nullptr ? network->GetNode(GetHandle()) : nullptr;
  if (node == nullptr || node->Definition() != this) return false;
  for (int child : node->Children()) {
    if (VRN_GetEquation(network, child) != nullptr) return true;
  }
  return false;
}

int VRN_discDef::FollowIds(const std::vector<std::string>& old_ids,
                           const std::vector<std::string>& next, bool carry,
                           const std::vector<int>* at) const {
  return VRN_FollowOutcomeIds(GetNetwork(), GetHandle(), old_ids, next, carry,
                              at);
}

int VRN_discDef::CheckPlaces(const std::vector<int>& at) const {
  std::vector<std::string> next = IdTexts();
  for (std::size_t i = 0; i < at.size() && i < next.size(); ++i) {
    if (at[i] < 0) next[i].clear();
  }
  return CheckIds(next, &at);
}

const VRN_idArray* VRN_discDef::GetOutcomesNames() const {
  return &outcome_ids_;
}

int VRN_discDef::ResizeOutcomeByOutcome(int count) {
  // Each appended outcome splits the last interval; a split SetIntervals
  // would not take (past an open end, the second one) is refused before the
  // first outcome is added, not half-way.
  const int old_count = outcome_ids_.GetSize();
  if (count > old_count && HasIntervals() &&
      !AddAndRemoveKeepsBounds(*values_, std::vector<bool>(old_count, true),
                               count - old_count, 0)) {
    return qelta::kErrInvalidValue;
  }
  VRN_autoUpdateGuard guard(GetNetwork());  // one update for all the steps
  while (outcome_ids_.GetSize() > count) {
    const int status = RemoveOutcome(outcome_ids_.GetSize() - 1);
    if (status != qelta::kOk) return status;
  }
  while (outcome_ids_.GetSize() < count) {
    // Unnamed outcomes get more unnamed ones.
    const std::string id =
        HasOutcomeIds() ? FreeNumberedId(outcome_ids_,
                                         GetDefaultOutcomePrefix(),
                                         outcome_ids_.GetSize())
                        : std::string();
    const int status = AddOutcome(id.c_str());
    if (status != qelta::kOk) return status;
  }
  return qelta::kOk;
}

int VRN_discDef::ReplaceIds(const VRN_stringArray& ids) {
  const int old_count = outcome_ids_.GetSize();
  const int count = ids.GetSize();
  const bool intervals = HasIntervals();
  const bool points = HasPointValues();
  // Without children the count changes here in one step; the network's
  // per-node data (cost tables of cost children, cases, temporal part)
  // still has to hear of every outcome that goes or comes.
  VRN_network* network = GetNetwork();
  VRN_discVal* value = OwnValue();
  bool dropped = false;
  if (count != old_count && network != nullptr &&
      network->GetNode(GetHandle()) != nullptr) {
    for (int i = old_count - 1; i >= count; --i) {
      (void)network->OnOutcomeDeleted(GetHandle(), i);
      if (value != nullptr && value->OnOwnOutcomeRemoved(i, i)) dropped = true;
    }
    for (int i = old_count; i < count; ++i) {
      (void)network->OnOutcomeInserted(GetHandle(), i);
      if (value != nullptr) (void)value->OnOwnOutcomeInserted(i, i + 1);
    }
  }
  const bool follow = HasLiteralReaders();
  const std::vector<std::string> old_ids =
      follow ? IdTexts() : std::vector<std::string>();
  const VRN_idArray* as_ids = dynamic_cast<const VRN_idArray*>(&ids);
  if (as_ids != nullptr) {
    outcome_ids_ = *as_ids;
  } else {
    VRN_idArray copy;
    for (int i = 0; i < count; ++i) (void)copy.Add(ids.Get(i));
    outcome_ids_ = copy;
  }
  // Outcome i goes on under ids[i].
  if (follow) (void)FollowIds(old_ids, IdTexts(), true);
  if (diag_info_ != nullptr) {
    diag_info_->outcomes.resize(count);
    if (diag_info_->default_outcome >= count) diag_info_->default_outcome = -1;
  }
  // Numbers that no longer fit the count go: point values of one outcome
  // more must not pass for interval bounds, nor bounds for point values.
  if (values_ != nullptr && !(intervals && HasIntervals()) &&
      !(points && HasPointValues())) {
    values_.reset();
  }
  const int status = RebuildTable();
  if (status != qelta::kOk) return status;
  if (dropped) (void)network->OnNodeValueChange(GetHandle());
  NotifyRelevance(qelta::kChangeOutcomes);
  return qelta::kOk;
}

int VRN_discDef::SetNumberOfOutcomesByIds(const VRN_stringArray& ids) {
  if (AreOutcomesFixed()) return qelta::kErrWrongNodeType;
  const int count = ids.GetSize();
  if (count < 2) {
    return LogRefusal(qelta::kErrWrongNumStates, "Node [%s] needs at least two outcomes, not %d",
                      OwnNodeId(), count);
  }
  // A plain string list must hold identifiers; an id list was checked when
  // it was filled (and may hold the empty ids of interval outcomes).
  if (dynamic_cast<const VRN_idArray*>(&ids) == nullptr) {
    for (int i = 0; i < count; ++i) {
      if (!VRN_IsValidId(ids.Get(i))) return qelta::kErrOutOfRange;
    }
  }
  // All empty or all named, as files hold them; a truth table's all named.
  const bool unnamed =
      IsEmptyText(ids.Get(0)) && GetType() != qelta::kDefTruthTable;
  for (int i = 0; i < count; ++i) {
    if (IsEmptyText(ids.Get(i)) != unnamed) return qelta::kErrOutOfRange;
  }
  const int twice = RefuseDuplicateIds(ids);
  if (twice != qelta::kOk) return twice;
  if (!TablesFit(count, true)) return qelta::kErrOutOfMemory;
  // Old outcome i goes on under ids[i]; those past the new count go.
  if (HasLiteralReaders()) {
    const int refused = CheckIds(Texts(ids));
    if (refused != qelta::kOk) return refused;
  }
  if (NeedsOutcomeByOutcome() && count != outcome_ids_.GetSize()) {
    const int status = ResizeOutcomeByOutcome(count);
    if (status != qelta::kOk) return status;
  }
  return ReplaceIds(ids);
}

int VRN_discDef::SetNumberOfOutcomes(int count) {
  if (AreOutcomesFixed()) return qelta::kErrWrongNodeType;
  if (count < 2) return qelta::kErrWrongNumStates;
  if (count == outcome_ids_.GetSize()) return qelta::kOk;
  // The final size is checked before the first step of a growth changes
  // anything.
  if (!TablesFit(count, true)) return qelta::kErrOutOfMemory;
  if (HasLiteralReaders()) {
    std::vector<std::string> next = IdTexts();
    if (static_cast<int>(next.size()) > count) next.resize(count);
    const int refused = CheckIds(next);
    if (refused != qelta::kOk) return refused;
  }
  if (NeedsOutcomeByOutcome()) return ResizeOutcomeByOutcome(count);
  VRN_idArray ids(outcome_ids_);
  while (ids.GetSize() > count) (void)ids.Delete(ids.GetSize() - 1);
  // Unnamed outcomes get more unnamed ones, as outcome by outcome: a name
  // beside empty ids would make a file no reader takes.
  const bool unnamed = !HasOutcomeIds();
  if (unnamed) ids.SetAllowEmpty(true);
  while (ids.GetSize() < count) {
    const std::string id =
        unnamed ? std::string()
                : FreeNumberedId(ids, GetDefaultOutcomePrefix(), ids.GetSize());
    (void)ids.Add(id.c_str());
  }
  return ReplaceIds(ids);
}

bool VRN_discDef::NeedsOutcomeByOutcome() const {
  // Children's tables, and the interval bounds or point values, follow
  // each outcome added or removed; only the ids would follow a whole list.
  return GetChildren().GetSize() > 0 || values_ != nullptr;
}

int VRN_discDef::ChangeOrderOfOutcomes(const VRN_intArray& order) {
  if (AreOutcomesFixed()) return qelta::kErrWrongNodeType;
  const int count = outcome_ids_.GetSize();
  if (order.GetSize() == count && HasLiteralReaders()) {
    // Old outcome order[j] goes to j; an order that is no permutation is
    // refused below.
    std::vector<int> at(static_cast<std::size_t>(count), -1);
    for (int j = 0; j < count; ++j) {
      if (order[j] >= 0 && order[j] < count) at[order[j]] = j;
    }
    if (std::find(at.begin(), at.end(), -1) == at.end()) {
      const int moved = CheckPlaces(at);
      if (moved != qelta::kOk) return moved;
    }
  }
  int status = outcome_ids_.ChangeOrder(order);
  if (status != qelta::kOk) return status;
  if (diag_info_ != nullptr) {
    std::vector<VRN_outcomeDiagInfo> permuted;
    permuted.reserve(diag_info_->outcomes.size());
    for (int old_index : order) {
      permuted.push_back(std::move(diag_info_->outcomes[old_index]));
    }
    diag_info_->outcomes.swap(permuted);
    if (diag_info_->default_outcome >= 0) {
      diag_info_->default_outcome = order.FindPosition(diag_info_->default_outcome);
    }
  }
  if (HasPointValues()) {
    (void)values_->Permute(order.Items(), order.GetSize());
  }
  status = OnOutcomesReordered(order);
  if (status != qelta::kOk) return status;
  VRN_discVal* value = OwnValue();
  if (value != nullptr) value->OnOwnOutcomesReordered(order);
  status = NotifyChildrenReordered(order);
  if (value != nullptr) (void)GetNetwork()->OnOutcomeOrderChanged(GetHandle());
  return status;
}

int VRN_discDef::ChangeOrderOfOutcomesWithAddAndRemove(
    const VRN_stringArray& ids, const VRN_intArray& mapping) {
  if (AreOutcomesFixed()) return qelta::kErrWrongNodeType;
  const int new_count = mapping.GetSize();
  if (ids.GetSize() != new_count) {
    return LogRefusal(qelta::kErrOutOfRange,
                      "Node [%s] is given %d outcome identifiers and %d mapping entries",
                      OwnNodeId(), ids.GetSize(), new_count);
  }
  const int old_count = outcome_ids_.GetSize();
  // Checked before anything changes: each old outcome continued at most
  // once, and at least two outcomes in the end.
  if (new_count < 2) {
    return LogRefusal(qelta::kErrOutOfRange, "Node [%s] keeps at least two outcomes, not %d",
                      OwnNodeId(), new_count);
  }
  std::vector<int> named_at(old_count, -1);
  std::vector<bool> named(old_count, false);
  int kept = 0;
  for (int j = 0; j < new_count; ++j) {
    const int entry = mapping[j];
    if (entry < 0) continue;
    if (entry >= old_count) {
      return LogRefusal(qelta::kErrOutOfRange,
                        "Mapping entry %d of node [%s] is %d, beyond its %d outcomes", j,
                        OwnNodeId(), entry, old_count);
    }
    if (named[entry]) {
      return LogRefusal(qelta::kErrOutOfRange,
                        "Mapping entries %d and %d of node [%s] both continue its outcome %d",
                        named_at[entry], j, OwnNodeId(), entry);
    }
    named[entry] = true;
    named_at[entry] = j;
    ++kept;
  }
  const VRN_idArray final_ids = RepairedIds(ids, outcome_ids_.GetAllowEmpty());
  const int twice = RefuseDuplicateIds(final_ids);
  if (twice != qelta::kOk) return twice;
  // Old outcome mapping[j] goes on as new outcome j with its final id: a
  // literal of an equation child naming an old outcome nobody continues is
  // refused before the first step.
  if (HasLiteralReaders()) {
    std::vector<std::string> next(static_cast<std::size_t>(old_count));
    std::vector<int> at(static_cast<std::size_t>(old_count), -1);
    // Unnamed outcomes stay unnamed through the steps below, which the
    // empty literal must survive: the outcome it selects keeps the first
    // place whatever names come at the end.
    const bool unnamed = !HasOutcomeIds();
    for (int j = 0; j < new_count; ++j) {
      if (mapping[j] >= 0) {
        next[mapping[j]] = final_ids.Get(j) != nullptr && !unnamed ? final_ids.Get(j) : "";
        at[mapping[j]] = j;
      }
    }
    const int refused = CheckIds(next, &at);
    if (refused != qelta::kOk) return refused;
  }

  // Outcomes added on the way take their final ids only at the end, when
  // every outcome is renamed at once; until then an id a kept outcome still
  // holds is replaced by a free generated one.
  auto add = [this](const char* id) {
    // Unnamed outcomes take their names with the others, at the end.
    if (!HasOutcomeIds()) return AddOutcome(nullptr);
    if (!IsEmptyText(id) && outcome_ids_.FindString(id) >= 0) {
      return AddOutcome(FreeNumberedId(outcome_ids_, GetDefaultOutcomePrefix(),
                                       outcome_ids_.GetSize())
                            .c_str());
    }
    return AddOutcome(id);
  };
  VRN_intArray map(mapping);
  const int temporaries = kept < 2 ? 2 - kept : 0;
  // The tables grow outcome by outcome below: a size no table may have, at
  // the largest the steps reach, is refused before the first step allocates
  // anything.
  if (!TablesFit(std::max(old_count, new_count) + temporaries, true)) {
    return qelta::kErrOutOfMemory;
  }
  // So is a split of the intervals that SetIntervals would not take: met by
  // a step half-way, it would leave temporary and half-made outcomes behind
  // a call that answers failure.
  if (HasIntervals() &&
      !AddAndRemoveKeepsBounds(*values_, named, new_count - kept,
                               temporaries)) {
    return qelta::kErrInvalidValue;
  }
  for (int t = 0; t < temporaries; ++t) {
    const int status = add(kTempOutcomeIds[t]);
    if (status != qelta::kOk) return status;
  }
  for (int old_index = old_count - 1; old_index >= 0; --old_index) {
    if (named[old_index]) continue;
    const int status = RemoveOutcome(old_index);
    if (status != qelta::kOk) return status;
    for (int& entry : map) {
      if (entry > old_index) --entry;
    }
  }
  int added = 0;
  for (int j = 0; j < new_count; ++j) {
    if (map[j] >= 0) continue;
    const int status = add(ids.Get(j));
    if (status != qelta::kOk) return status;
    map[j] = kept + added;
    ++added;
  }
  for (int t = 0; t < temporaries; ++t) {
    const int status = RemoveOutcome(kept);
    if (status != qelta::kOk) return status;
  }
  if (!map.IsIdentity()) {
    const int status = ChangeOrderOfOutcomes(map);
    if (status != qelta::kOk) return status;
  }
  return RenameOutcomes(ids);
}

int VRN_discDef::GetDiscreteInfo(VRN_discreteInfo* info) {
  info->ids = &outcome_ids_;
  info->ids_owned = false;
  info->values = values_.get();
  info->values_owned = false;
  info->diag_info = diag_info_.get();
  info->diag_info_owned = false;
  return qelta::kOk;
}

bool VRN_discDef::AreOutcomesFixed() const { return false; }

const char* VRN_discDef::GetDefaultOutcomePrefix() const { return "State"; }

int VRN_discDef::OnOutcomeInserted(int position) { return qelta::kOk; }

int VRN_discDef::OnOutcomeRemoved(int index) { return qelta::kOk; }

int VRN_discDef::OnOutcomesReordered(const VRN_intArray& order) {
  return qelta::kOk;
}

// --------------------------------------------------------- numeric outcomes

bool VRN_discDef::HasIntervals() const {
  return values_ != nullptr &&
         values_->GetSize() == outcome_ids_.GetSize() + 1;
}

bool VRN_discDef::HasPointValues() const {
  return values_ != nullptr && values_->GetSize() == outcome_ids_.GetSize();
}

bool VRN_discDef::HasOutcomeIds() const {
  return !IsEmptyText(outcome_ids_.Get(0));
}

int VRN_discDef::SetIntervals(const std::vector<double>& bounds,
                              bool clear_ids) {
  const int n = static_cast<int>(bounds.size());
  if (n < 3) return qelta::kErrOutOfRange;
  // Files name a truth table's resulting states by outcome id.
  if (clear_ids && GetType() == qelta::kDefTruthTable) {
    return qelta::kErrWrongNodeType;
  }
  // So do cases their observed outcomes: empty ones would read back as the
  // first outcome.
  VRN_network* network = GetNetwork();
  const VRN_case* observing =
      clear_ids && network != nullptr && network->Cases() != nullptr
          ? network->Cases()->FindOutcomeEvidence(GetHandle())
          : nullptr;
  if (observing != nullptr) {
    return network->ErrorLog()->Logf(
        qelta::kErrWrongNodeType,
        "Outcome identifiers of node %s cannot be cleared: case '%s' "
        "observes one of its outcomes",
        GetNodeId(GetHandle()), observing->GetName().c_str());
  }
  // Checked before the outcome count changes, so a refusal loses nothing.
  if (!TakesBounds(bounds.data(), n)) return qelta::kErrInvalidValue;
  if (HasLiteralReaders()) {
    // Cleared ids are empty ones: a named outcome's literal loses it.
    std::vector<std::string> next =
        clear_ids ? std::vector<std::string>(outcome_ids_.GetSize())
                  : IdTexts();
    if (static_cast<int>(next.size()) > n - 1) next.resize(n - 1);
    const int refused = CheckIds(next);
    if (refused != qelta::kOk) return refused;
  }
  if (n - 1 != outcome_ids_.GetSize()) {
    // The old bounds are replaced: the outcomes added on the way split
    // none of them, so none of their splits can be refused.
    std::unique_ptr<VRN_doubleArray> old_values = std::move(values_);
    const int status = SetNumberOfOutcomes(n - 1);
    if (status != qelta::kOk) {
      values_ = std::move(old_values);
      return status;
    }
  }
  auto copy = std::make_unique<VRN_doubleArray>();
  for (double bound : bounds) copy->Add(bound);
  values_ = std::move(copy);
  if (clear_ids) outcome_ids_.FillEmpty(-1);
  NotifyOutcomeValuesChanged();
  return qelta::kOk;
}

int VRN_discDef::SetIntervalsFromArray(const VRN_doubleArray& bounds,
                                       bool clear_ids) {
  return SetIntervals(std::vector<double>(bounds.begin(), bounds.end()),
                      clear_ids);
}

int VRN_discDef::GetIntervals(std::vector<double>* out) const {
  if (!HasIntervals()) return qelta::kErrNoItem;
  out->assign(values_->begin(), values_->end());
  return qelta::kOk;
}

int VRN_discDef::GetIntervalBounds(VRN_doubleArray* out) const {
  if (!HasIntervals()) return qelta::kErrNoItem;
  *out = *values_;
  return qelta::kOk;
}

int VRN_discDef::GetOutcomeInterval(int outcome, double* low,
                                    double* high) const {
  if (!HasIntervals()) return qelta::kErrNoItem;
  if (outcome < 0 || outcome >= outcome_ids_.GetSize()) {
    return qelta::kErrOutOfRange;
  }
  *low = (*values_)[outcome];
  *high = (*values_)[outcome + 1];
  return qelta::kOk;
}

int VRN_discDef::GetIntervalIndex(double value) const {
  if (!HasIntervals()) return qelta::kErrNoItem;
  if (std::isnan(value)) return qelta::kErrOutOfRange;
  return VRN_FindInterval(values_->Items(), values_->GetSize(), value);
}

int VRN_discDef::RemoveIntervals() {
  if (!HasIntervals()) return qelta::kErrNoItem;
  values_.reset();
  // Only empty ids go; names given since the ids were cleared stay.
  if (!HasOutcomeIds()) GiveNumberedIds();
  NotifyOutcomeValuesChanged();
  return qelta::kOk;
}

void VRN_discDef::TakeNumbersOf(const VRN_discDef* original) {
  const VRN_doubleArray* values =
      original != nullptr ? original->values_.get() : nullptr;
  if (values == nullptr) {
    values_.reset();
  } else {
    values_ = std::make_unique<VRN_doubleArray>(*values);
  }
}

void VRN_discDef::NotifyOutcomeValuesChanged() {
  if (OwnValue() == nullptr) return;
  // A fresh network could read the observed outcome but not a number
  // outside its interval.
  (void)OwnValue()->DropNumberOutsideOutcome();
  VRN_network* network = GetNetwork();
  // An equation child reads the numbers; its table over them is stale.
  VRN_DropEquationChildTables(network, GetHandle());
  if (network->Dbn() != nullptr) network->Dbn()->FollowNumbers(GetHandle());
  (void)network->OnOutcomeValuesChanged(GetHandle());
}

void VRN_discDef::GiveNumberedIds() {
  VRN_idArray named;
  for (int i = 0; i < outcome_ids_.GetSize(); ++i) {
    (void)named.AddNumbered(GetDefaultOutcomePrefix(), i);
  }
  const bool follow = HasLiteralReaders();
  const std::vector<std::string> old_ids =
      follow ? IdTexts() : std::vector<std::string>();
  outcome_ids_ = named;
  if (follow) (void)FollowIds(old_ids, IdTexts(), true);
}

int VRN_discDef::SetPointValues(const std::vector<double>& values) {
  if (static_cast<int>(values.size()) != outcome_ids_.GetSize()) {
    return qelta::kErrOutOfRange;
  }
  // No file holds such a value, and a mean over it is none.
  for (double value : values) {
    if (!std::isfinite(value)) return qelta::kErrInvalidValue;
  }
  auto copy = std::make_unique<VRN_doubleArray>();
  for (double value : values) copy->Add(value);
  values_ = std::move(copy);
  // Only interval outcomes go without ids; these are point values now.
  if (!HasOutcomeIds()) GiveNumberedIds();
  NotifyOutcomeValuesChanged();
  return qelta::kOk;
}

int VRN_discDef::SetPointValuesFromArray(const VRN_doubleArray& values) {
  return SetPointValues(std::vector<double>(values.begin(), values.end()));
}

int VRN_discDef::GetPointValues(std::vector<double>* out) const {
  if (!HasPointValues()) return qelta::kErrNoItem;
  out->assign(values_->begin(), values_->end());
  return qelta::kOk;
}

int VRN_discDef::CopyPointValues(VRN_doubleArray* out) const {
  if (!HasPointValues()) return qelta::kErrNoItem;
  *out = *values_;
  return qelta::kOk;
}

int VRN_discDef::GetPointValue(int outcome, double* out) const {
  if (!HasPointValues()) return qelta::kErrNoItem;
  if (outcome < 0 || outcome >= outcome_ids_.GetSize()) {
    return qelta::kErrOutOfRange;
  }
  *out = (*values_)[outcome];
  return qelta::kOk;
}

int VRN_discDef::GetPointValueIndex(double value) const {
  if (!HasPointValues()) return qelta::kErrNoItem;
  for (int i = 0; i < values_->GetSize(); ++i) {
    if ((*values_)[i] == value) return i;
  }
  return qelta::kErrNoItem;
}

int VRN_discDef::RemovePointValues() {
  if (!HasPointValues()) return qelta::kErrNoItem;
  values_.reset();
  NotifyOutcomeValuesChanged();
  return qelta::kOk;
}

double VRN_discDef::GetOutcomeValue(int outcome) const {
  if (outcome < 0 || outcome >= outcome_ids_.GetSize()) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  if (HasPointValues()) return (*values_)[outcome];
  return static_cast<double>(outcome);
}

int VRN_discDef::CalculateMean(const VRN_matrix& value, double* out) const {
  const int count = outcome_ids_.GetSize();
  if (value.GetItemCount() != count) return qelta::kErrOutOfRange;
  const double* p = value.GetItems().Items();
  if (HasIntervals()) {
    *out = VRN_IntervalsMean(count, values_->Items(), p);
  } else {
    if (!HasPointValues()) return qelta::kErrNoItem;
    const double* x = values_->Items();
    *out = SumPoints(count, x, p, 0).mean;
    if (!std::isfinite(*out)) {
      // A sum beyond the doubles on its way: taken again over scaled values.
      const int exponent = PointScale(count, x, p);
      const double scaled = SumPoints(count, x, p, exponent).mean;
      if (std::isfinite(scaled)) *out = std::ldexp(scaled, exponent);
    }
  }
  // A mean that is not a number is no answer.
  return std::isfinite(*out) ? qelta::kOk : qelta::kErrInvalidValue;
}

int VRN_discDef::CalculateStdDev(const VRN_matrix& value, double* out) const {
  const int count = outcome_ids_.GetSize();
  if (value.GetItemCount() != count) return qelta::kErrOutOfRange;
  const double* p = value.GetItems().Items();
  if (HasIntervals()) {
    *out = VRN_IntervalsStdDev(count, values_->Items(), p);
    return std::isfinite(*out) ? qelta::kOk : qelta::kErrInvalidValue;
  }
  if (!HasPointValues()) return qelta::kErrNoItem;
  const double* x = values_->Items();
  const PointSums sums = SumPoints(count, x, p, 0);
  // Rounding can leave a tiny negative variance for a point mass.
  const double variance = sums.square - sums.mean * sums.mean;
  *out = variance > 0.0 ? std::sqrt(variance) : 0.0;
  const int exponent = PointScale(count, x, p);
  if (!std::isfinite(variance) || exponent < qelta::kTinySquareExponent) {
    // Squares beyond the doubles (values past 1e154) or below their normal
    // range (values under 1e-151): the same sums over scaled values, the
    // deviation scaled back.
    const PointSums scaled = SumPoints(count, x, p, exponent);
    const double v = scaled.square - scaled.mean * scaled.mean;
    *out = std::isnan(v) ? v : v > 0.0 ? std::ldexp(std::sqrt(v), exponent) : 0.0;
  }
  // Small beliefs can take the weighted squares below the normal doubles
  // even over scaled values: then the weights are lifted too.
  const int used = !std::isfinite(variance) || exponent < qelta::kTinySquareExponent ? exponent : 0;
  const int top = TopSquareExponent(count, x, p, used);
  if (top != INT_MIN && top < kLostSquareExponent && std::isfinite(*out)) {
    *out = LiftedDeviation(count, x, p, exponent);
  }
  return std::isfinite(*out) ? qelta::kOk : qelta::kErrInvalidValue;
}

// ------------------------------------------------------------ diagnosis data

qelta::OutcomeDiagBlock* VRN_discDef::EnsureDiagBlock() {
  if (diag_info_ == nullptr) {
    diag_info_ = std::make_unique<qelta::OutcomeDiagBlock>();
    diag_info_->outcomes.resize(outcome_ids_.GetSize());
  }
  return diag_info_.get();
}

int VRN_discDef::GetDefaultOutcome() const {
  return diag_info_ != nullptr ? diag_info_->default_outcome : -1;
}

int VRN_discDef::SetDefaultOutcome(int index) {
  if (index >= outcome_ids_.GetSize()) return qelta::kErrOutOfRange;
  if (index < 0 && diag_info_ == nullptr) return qelta::kOk;
  EnsureDiagBlock()->default_outcome = index;
  return qelta::kOk;
}

bool VRN_discDef::IsFaultOutcome(int index) const {
  if (diag_info_ == nullptr || !outcome_ids_.IsIndexValid(index)) return false;
  return diag_info_->outcomes[index].fault;
}

int VRN_discDef::SetFaultOutcome(int index, bool fault) {
  if (!outcome_ids_.IsIndexValid(index)) return qelta::kErrOutOfRange;
  if (!fault && diag_info_ == nullptr) return qelta::kOk;
  EnsureDiagBlock()->outcomes[index].fault = fault;
  return qelta::kOk;
}

const char* VRN_discDef::GetOutcomeLabel(int index) const {
  if (diag_info_ == nullptr || !outcome_ids_.IsIndexValid(index)) {
    return nullptr;
  }
  return NullIfEmpty(diag_info_->outcomes[index].label);
}

const char* VRN_discDef::GetOutcomeDescription(int index) const {
  if (diag_info_ == nullptr || !outcome_ids_.IsIndexValid(index)) {
    return nullptr;
  }
  return NullIfEmpty(diag_info_->outcomes[index].description);
}

const char* VRN_discDef::GetOutcomeFix(int index) const {
  if (diag_info_ == nullptr || !outcome_ids_.IsIndexValid(index)) {
    return nullptr;
  }
  return NullIfEmpty(diag_info_->outcomes[index].fix);
}

const VRN_documentation* VRN_discDef::GetOutcomeDocumentation(int index) const {
  if (diag_info_ == nullptr || !outcome_ids_.IsIndexValid(index)) {
    return nullptr;
  }
  const VRN_documentation& doc = diag_info_->outcomes[index].documentation;
  return doc.GetSize() > 0 ? &doc : nullptr;
}

int VRN_discDef::SetOutcomeDescription(int index, const char* text) {
  if (!outcome_ids_.IsIndexValid(index)) return qelta::kErrOutOfRange;
  if (IsEmptyText(text)) {
    if (diag_info_ != nullptr) diag_info_->outcomes[index].description.clear();
    return qelta::kOk;
  }
  EnsureDiagBlock()->outcomes[index].description = text;
  return qelta::kOk;
}

int VRN_discDef::SetOutcomeFix(int index, const char* text) {
  if (!outcome_ids_.IsIndexValid(index)) return qelta::kErrOutOfRange;
  if (IsEmptyText(text)) {
    if (diag_info_ != nullptr) diag_info_->outcomes[index].fix.clear();
    return qelta::kOk;
  }
  EnsureDiagBlock()->outcomes[index].fix = text;
  return qelta::kOk;
}

int VRN_discDef::SetOutcomeDocumentation(int index,
                                         const VRN_documentation& doc) {
  if (!outcome_ids_.IsIndexValid(index)) return qelta::kErrOutOfRange;
  if (doc.GetSize() == 0) {
    if (diag_info_ != nullptr) {
      diag_info_->outcomes[index].documentation.Flush();
    }
    return qelta::kOk;
  }
  EnsureDiagBlock()->outcomes[index].documentation = doc;
  return qelta::kOk;
}

int VRN_discDef::SetOutcomeLabel(int index, const char* label) {
  if (!outcome_ids_.IsIndexValid(index)) return qelta::kErrOutOfRange;
  if (IsEmptyText(label)) {
    if (diag_info_ != nullptr) diag_info_->outcomes[index].label.clear();
    return qelta::kOk;
  }
  const char* current = GetOutcomeLabel(index);
  if (current != nullptr && std::strcmp(current, label) == 0) return qelta::kOk;
  VRN_network* network = GetNetwork();
  if (network != nullptr && network->GetLoadFlags() == 0) {
    for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
      const auto* def =
          dynamic_cast<const VRN_discDef*>(network->GetNode(h)->Definition());
      if (def == nullptr || def->GetNumberOfOutcomes() < 2) continue;
      for (int k = 0; k < def->GetNumberOfOutcomes(); ++k) {
        if (def == this && k == index) continue;
        const char* other = def->GetOutcomeLabel(k);
        if (other != nullptr && std::strcmp(other, label) == 0) {
          return qelta::kErrDuplicatedIdentifier;
        }
      }
    }
  }
  EnsureDiagBlock()->outcomes[index].label = label;
  return qelta::kOk;
}
