#include "inference/join_tree.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

#include "base/status.h"
#include "inference/underflow_bounds.h"

namespace qelta {

namespace {

// A table whose largest cell falls below this is rescaled. Messages are
// kept at or above it, so a clique can multiply in dozens of them (and the
// tables between two checks) before its cells near the double range.
constexpr double kRescaleBelow = 0x1p-32;
// A clique is checked after every so many tables or messages multiplied in.
constexpr int kRescaleEvery = 8;

// Multiplies the size cells by 2^-exponent (exact: a power of two), in
// two steps when that power is beyond the double range.
// REQUIRES: -1100 < exponent <= 0.
void ScaleDown(double* cells, uint32_t size, int exponent) {
  const int first = exponent < -1000 ? -1000 : exponent;
  const double factor = std::ldexp(1.0, -first);
  for (uint32_t k = 0; k < size; ++k) cells[k] *= factor;
  if (first != exponent) ScaleDown(cells, size, exponent - first);
}

// When the largest of the size cells is positive and below kRescaleBelow,
// multiplies every cell by the power of two that brings it into [1, 2) and
// returns that power's exponent negated (the true cells are the stored ones
// times 2^result); else returns 0. Powers of two change no digit, so
// normalised beliefs come out bit for bit as without rescaling.
int RescaleIfSmall(double* cells, uint32_t size) {
  const double largest = LargestCell(cells, size);
  if (!(largest < kRescaleBelow) || largest == 0.0) return 0;
  const int exponent = std::ilogb(largest);
  ScaleDown(cells, size, exponent);
  return exponent;
}

}  // namespace

JoinTree::JoinTree(const JoinTreeProblem& problem)
    : problem_(problem), n_(problem.node_count) {}

bool JoinTree::ProblemIsValid() const {
  if (n_ < 0) return false;
  if (n_ == 0) return true;
  if (problem_.outcomes == nullptr || problem_.evidence == nullptr ||
      problem_.parent_offsets == nullptr || problem_.tables == nullptr ||
      problem_.parent_offsets[0] != 0) {
    return false;
  }
  for (int i = 0; i < n_; ++i) {
    if (problem_.outcomes[i] < 1 || problem_.evidence[i] < -1 ||
        problem_.evidence[i] >= problem_.outcomes[i] ||
        problem_.tables[i] == nullptr) {
      return false;
    }
    const int begin = problem_.parent_offsets[i];
    const int end = problem_.parent_offsets[i + 1];
    if (end < begin || (end > begin && problem_.parents == nullptr)) {
      return false;
    }
    for (int k = begin; k < end; ++k) {
      const int p = problem_.parents[k];
      if (p < 0 || p >= n_ || p == i) return false;
      for (int l = begin; l < k; ++l) {
        if (problem_.parents[l] == p) return false;
      }
    }
  }
  return true;
}

int JoinTree::Build(uint32_t limit) {
  Release();
  n_ = problem_.node_count;
  sorted_.clear();
  root_ = nullptr;
  if (!ProblemIsValid()) return kErrOutOfRange;

  const std::size_t n = static_cast<std::size_t>(n_);
  states_.resize(n);
  family_offsets_.assign(n + 1, 0);
  families_.clear();
  for (int i = 0; i < n_; ++i) {
    states_[i] = problem_.evidence[i] >= 0
                     ? 1u
                     : static_cast<uint32_t>(problem_.outcomes[i]);
    families_.insert(families_.end(),
                     problem_.parents + problem_.parent_offsets[i],
                     problem_.parents + problem_.parent_offsets[i + 1]);
    families_.push_back(i);
    family_offsets_[i + 1] = static_cast<int>(families_.size());
  }

  EliminationProblem graph;
  graph.node_count = n_;
  graph.states = states_.data();
  graph.parent_offsets = problem_.parent_offsets;
  graph.parents = problem_.parents;
  VRN_eliminationSearch search(graph, &store_);
  if (!search.Run(limit)) return kErrOutOfMemory;

  root_ = store_.root();
  const int count = store_.count();
  sorted_.resize(static_cast<std::size_t>(count));
  for (int c = 0; c < count; ++c) sorted_[c] = store_.clique(c);
  std::stable_sort(sorted_.begin(), sorted_.end(),
                   [](const VRN_clique* a, const VRN_clique* b) {
                     if (a->size != b->size) return a->size < b->size;
                     return a->member_count < b->member_count;
                   });
  AssignTables();
  sized_.assign(static_cast<std::size_t>(count), 0);
  received_.assign(static_cast<std::size_t>(count), 0);
  home_.assign(n, -1);
  return kOk;
}

int JoinTree::Index(const VRN_clique* clique) const {
  return static_cast<int>(clique - store_.clique(0));
}

void JoinTree::AssignTables() {
  const int count = store_.count();
  std::vector<int> rank(static_cast<std::size_t>(count));
  for (int r = 0; r < count; ++r) rank[Index(sorted_[r])] = r;
  // For every node, the cliques holding it.
  std::vector<int> offsets(static_cast<std::size_t>(n_) + 1, 0);
  for (int c = 0; c < count; ++c) {
    const VRN_clique* clique = store_.clique(c);
    for (int m = 0; m < clique->member_count; ++m) {
      ++offsets[clique->members[m] + 1];
    }
  }
  for (int i = 0; i < n_; ++i) offsets[i + 1] += offsets[i];
  std::vector<int> holders(static_cast<std::size_t>(offsets[n_]));
  std::vector<int> fill(offsets.begin(), offsets.end() - 1);
  for (int c = 0; c < count; ++c) {
    const VRN_clique* clique = store_.clique(c);
    for (int m = 0; m < clique->member_count; ++m) {
      holders[fill[clique->members[m]]++] = c;
    }
  }
  // Each table goes to the first clique in size order holding its family;
  // the homes are found first so each clique's list is one slice.
  std::vector<int> home(static_cast<std::size_t>(n_), -1);
  std::vector<int> mark(static_cast<std::size_t>(n_), -1);
  for (int i = 0; i < n_; ++i) {
    const int family_size = family_offsets_[i + 1] - family_offsets_[i];
    for (int k = family_offsets_[i]; k < family_offsets_[i + 1]; ++k) {
      mark[families_[k]] = i;
    }
    int best = -1;
    for (int h = offsets[i]; h < offsets[i + 1]; ++h) {
      const VRN_clique* clique = store_.clique(holders[h]);
      if (best >= 0 && rank[holders[h]] > best) continue;
      int held = 0;
      for (int m = 0; m < clique->member_count; ++m) {
        if (mark[clique->members[m]] == i) ++held;
      }
      if (held == family_size) best = rank[holders[h]];
    }
    // A family is complete in the moral graph, so some clique holds it.
    assert(best >= 0);
    home[i] = best;
    ++sorted_[best]->assigned_count;
  }
  assigned_.resize(static_cast<std::size_t>(n_));
  int next = 0;
  for (VRN_clique* clique : sorted_) {
    clique->assigned = assigned_.data() + next;
    next += clique->assigned_count;
    clique->assigned_count = 0;
  }
  for (int i = 0; i < n_; ++i) {
    VRN_clique* clique = sorted_[home[i]];
    clique->assigned[clique->assigned_count++] = i;
  }
}

// ---------------------------------------------------------------- tables

int JoinTree::PruneAndSizeClique(VRN_clique* clique) {
  int sizes[kMaxCliqueMembers];
  int kept = 0;
  for (int m = 0; m < clique->member_count; ++m) {
    const int node = clique->members[m];
    if (problem_.evidence[node] >= 0) continue;
    clique->members[kept] = node;
    sizes[kept] = problem_.outcomes[node];
    ++kept;
  }
  clique->member_count = kept;
  if (kept == 0) {
    sizes[0] = 1;
    return clique->potential.SetDimensions(1, sizes);
  }
  return clique->potential.SetDimensions(kept, sizes);
}

int JoinTree::PruneAndSizeSeparator(VRN_clique* clique) {
  uint64_t size = 1;
  int kept = 0;
  for (int m = 0; m < clique->separator_count; ++m) {
    const int node = clique->separator[m];
    if (problem_.evidence[node] >= 0) continue;
    clique->separator[kept] = node;
    size *= static_cast<uint64_t>(problem_.outcomes[node]);
    if (size > 0xFFFFFFFFull) {
      clique->separator_potential.Release();
      return kErrOutOfMemory;
    }
    ++kept;
  }
  clique->separator_count = kept;
  return clique->separator_potential.Resize(static_cast<uint32_t>(size))
             ? kOk
             : kErrOutOfMemory;
}

int JoinTree::SliceInto(VRN_clique* clique, int node, bool first) {
  const int* family = families_.data() + family_offsets_[node];
  const int family_size = family_offsets_[node + 1] - family_offsets_[node];
  assert(family_size <= kMaxCliqueMembers);
  // Strides in the node's table: the last family member varies fastest.
  std::ptrdiff_t family_stride[kMaxCliqueMembers];
  std::ptrdiff_t stride = 1;
  std::ptrdiff_t offset = 0;
  for (int k = family_size - 1; k >= 0; --k) {
    family_stride[k] = stride;
    const int evidence = problem_.evidence[family[k]];
    if (evidence >= 0) offset += stride * evidence;
    stride *= problem_.outcomes[family[k]];
  }
  int sizes[kMaxCliqueMembers];
  std::ptrdiff_t strides[kMaxCliqueMembers];
  int count = clique->member_count;
  for (int m = 0; m < count; ++m) {
    const int member = clique->members[m];
    sizes[m] = problem_.outcomes[member];
    strides[m] = 0;
    for (int k = 0; k < family_size; ++k) {
      if (family[k] == member) strides[m] = family_stride[k];
    }
  }
  if (count == 0) {
    sizes[0] = 1;
    strides[0] = 0;
    count = 1;
  }
  VRN_stepList steps;
  const int rc = steps.BuildStrided(count, sizes, strides);
  if (rc != kOk) return rc;
  const double* table = problem_.tables[node] + offset;
  if (careful_) {
    MultiplyCarefully(clique, table, steps, first);
  } else if (first) {
    VRN_GatherCopy(clique->potential.items(), clique->potential.end(), table,
                   steps);
  } else {
    VRN_GatherMultiply(clique->potential.items(), clique->potential.end(),
                       table, steps);
  }
  return kOk;
}

int JoinTree::FillClique(VRN_clique* clique) {
  clique->initialised = 0;
  received_[Index(clique)] = 0;
  if (careful_) Error(clique) = 0.0;
  for (int a = 0; a < clique->assigned_count; ++a) {
    const int rc = SliceInto(clique, clique->assigned[a], a == 0);
    if (rc != kOk) return rc;
    clique->initialised = 1;
    if (careful_) {
      RescaleCarefully(clique);
    } else if ((a + 1) % kRescaleEvery == 0) {
      scale_exponent_ += RescaleIfSmall(clique->potential.items(),
                                        clique->potential.size());
    }
  }
  return kOk;
}

VRN_stepSlice JoinTree::KeepSteps(const VRN_stepList& steps) {
  VRN_stepSlice slice;
  slice.offset = static_cast<uint32_t>(step_entries_.size());
  slice.count = steps.count;
  step_entries_.insert(step_entries_.end(), steps.entries,
                       steps.entries + steps.count);
  return slice;
}

void JoinTree::LoadSteps(const VRN_stepSlice& slice,
                         VRN_stepList* steps) const {
  std::copy(step_entries_.data() + slice.offset,
            step_entries_.data() + slice.offset + slice.count,
            steps->entries);
  steps->count = slice.count;
}

int JoinTree::BuildSeparatorSteps(VRN_clique* clique) {
  clique->to_separator.Clear();
  clique->parent_to_separator.Clear();
  if (clique->parent == nullptr || clique->separator_count == 0) return kOk;
  const VRN_clique* parent = clique->parent;
  VRN_stepList steps;
  int rc = steps.Build(clique->potential, clique->members,
                       clique->member_count, clique->separator,
                       clique->separator_count);
  if (rc != kOk) return rc;
  clique->to_separator = KeepSteps(steps);
  rc = steps.Build(parent->potential, parent->members, parent->member_count,
                   clique->separator, clique->separator_count);
  if (rc != kOk) return rc;
  clique->parent_to_separator = KeepSteps(steps);
  return kOk;
}

int JoinTree::Initialise() {
  table_cells_ = 0;
  scale_exponent_ = 0;
  for (VRN_clique* clique : sorted_) {
    int rc = kOk;
    if (clique->parent != nullptr) rc = PruneAndSizeSeparator(clique);
    if (rc == kOk) rc = PruneAndSizeClique(clique);
    if (rc == kOk) rc = FillClique(clique);
    if (rc != kOk) return rc;
    sized_[Index(clique)] = 1;
    table_cells_ += clique->potential.size();
    if (clique->parent != nullptr) {
      table_cells_ += clique->separator_potential.size();
    }
  }
  uint32_t largest_separator = 1;
  step_entries_.clear();
  step_entries_.reserve(4 * sorted_.size());
  for (VRN_clique* clique : sorted_) {
    const int rc = BuildSeparatorSteps(clique);
    assert(rc == kOk);  // separators are ordered subsets of both lists
    if (rc != kOk) return rc;
    if (!clique->parent_to_separator.empty()) {
      largest_separator =
          std::max(largest_separator, clique->separator_potential.size());
    }
  }
  // Sized once here, so the outward pass allocates nothing.
  const int rc = ReserveWorkspace(largest_separator);
  if (rc != kOk) return rc;
  std::fill(home_.begin(), home_.end(), -1);
  for (int r = 0; r < clique_count(); ++r) {
    const VRN_clique* clique = sorted_[r];
    for (int m = 0; m < clique->member_count; ++m) {
      if (home_[clique->members[m]] < 0) home_[clique->members[m]] = r;
    }
  }
  return kOk;
}

void JoinTree::EnsureInitialised(VRN_clique* clique) {
  // An uninitialised table stands for a table of ones.
  if (!clique->initialised) {
    clique->potential.Fill(1.0);
    clique->initialised = 1;
  }
}

// ---------------------------------------------------------------- passes

void JoinTree::SendMessage(VRN_clique* child) {
  VRN_cells& message = child->separator_potential;
  VRN_stepList steps;
  if (!child->to_separator.empty()) {
    EnsureInitialised(child);
    message.Fill(0.0);
    LoadSteps(child->to_separator, &steps);
    VRN_ScatterAdd(message.items(), child->potential.items(),
                   child->potential.end(), steps);
    if (careful_) {
      // Each message cell sums this many cells.
      message_error_[Index(child)] =
          BoundOfSum(Error(child), child->potential.size(), message.size());
    }
    // The child is scaled with its message, so that the outward pass
    // (which divides by the message) leaves it on the parent's scale.
    const int exponent = RescaleIfSmall(message.items(), message.size());
    if (exponent != 0) {
      ScaleDown(child->potential.items(), child->potential.size(), exponent);
      scale_exponent_ += exponent;
      if (careful_) {
        Error(child) = std::ldexp(Error(child), -exponent);
        message_error_[Index(child)] =
            std::ldexp(message_error_[Index(child)], -exponent);
      }
    }
  }
  if (!child->parent_to_separator.empty()) {
    VRN_clique* parent = child->parent;
    LoadSteps(child->parent_to_separator, &steps);
    if (parent->initialised && careful_) {
      const double largest = LargestCell(message.items(), message.size());
      const double cells = LargestCell(parent->potential.items(),
                                   parent->potential.size());
      ClearUnderflow();
      VRN_GatherMultiply(parent->potential.items(), parent->potential.end(),
                         message.items(), steps);
      Error(parent) = BoundOfProduct(Error(parent), largest, cells,
                                     message_error_[Index(child)], Underflowed());
      RescaleCarefully(parent);
    } else if (parent->initialised) {
      VRN_GatherMultiply(parent->potential.items(), parent->potential.end(),
                         message.items(), steps);
      // Many messages into one clique (a node with many observed
      // children) could still underflow together. A clique's own scale
      // does not change its normalised beliefs, nor (passed on as its
      // message) any other clique's.
      if (++received_[Index(parent)] % kRescaleEvery == 0) {
        scale_exponent_ += RescaleIfSmall(parent->potential.items(),
                                          parent->potential.size());
      }
    } else {
      VRN_GatherCopy(parent->potential.items(), parent->potential.end(),
                     message.items(), steps);
      parent->initialised = 1;
      if (careful_) Error(parent) = message_error_[Index(child)];
    }
  }
}

void JoinTree::Collect() {
  // Children are formed before their parents, so formation order sends
  // every message after all those it depends on; each parent receives its
  // children's messages in link order.
  const int count = store_.count();
  for (int c = 0; c < count; ++c) {
    VRN_clique* clique = store_.clique(c);
    if (clique->parent != nullptr) SendMessage(clique);
  }
}

int JoinTree::Distribute() {
  const int count = store_.count();
  for (int c = count - 1; c >= 0; --c) {
    VRN_clique* child = store_.clique(c);
    if (child->parent == nullptr || child->parent_to_separator.empty()) {
      continue;
    }
    VRN_clique* parent = child->parent;
    EnsureInitialised(parent);
    VRN_cells& message = child->separator_potential;
    // Within the capacity reserved by Initialise: no allocation here.
    const int message_size = static_cast<int>(message.size());
    const int rc = scratch_.SetDimensions(1, &message_size);
    if (rc != kOk) return rc;
    scratch_.Fill(0.0);
    VRN_stepList steps;
    LoadSteps(child->parent_to_separator, &steps);
    VRN_ScatterAdd(scratch_.items(), parent->potential.items(),
                   parent->potential.end(), steps);
    // The separator takes the new message and the scratch cells the ratio
    // new ÷ old (0 where old is 0). No buffer changes hands, so the scratch
    // keeps the room of the largest separator for every later child.
    double* cells = message.items();
    double* ratio = scratch_.items();
    // Careful passes: the bounds on the new and the old message, on what
    // a zero old cell (that a product lost) drops, and on the ratios.
    double fresh_error = 0.0;
    double dropped = 0.0;
    double ratio_rounding = 0.0;
    if (careful_) {
      fresh_error = BoundOfSum(Error(parent), parent->potential.size(),
                               message.size());
      const double old_error = message_error_[Index(child)];
      for (uint32_t k = 0; k < message.size(); ++k) {
        if (old_error > 0.0 && cells[k] == 0.0 && ratio[k] > 0.0) {
          dropped = std::max(dropped, ratio[k] + fresh_error);
        }
      }
      ratio_rounding = LargestCell(cells, message.size()) * kSubnormalRounding;
      ClearUnderflow();
    }
    for (uint32_t k = 0; k < message.size(); ++k) {
      const double fresh = ratio[k];
      ratio[k] = cells[k] == 0.0 ? 0.0 : fresh / cells[k];
      cells[k] = fresh;
    }
    if (!child->to_separator.empty()) {
      LoadSteps(child->to_separator, &steps);
      const bool divided_below = careful_ && Underflowed();
      int scaled = 0;
      // Only a clique rescaled in Collect can hold a ratio beyond the doubles.
      if (scale_exponent_ != 0 &&
          std::any_of(ratio, ratio + message.size(), [](double r) {
            return r > std::numeric_limits<double>::max();
          })) {
        scaled = ScaleRatios(child, steps, cells, ratio, message.size());
      }
      if (careful_) {
        // A child cell is at most its old message cell, so its ratio's
        // error adds at most fresh_error + ratio * old_error to it.
        const double largest = LargestCell(ratio, message.size());
        const double error =
            Error(child) * largest +
            std::ldexp(fresh_error + dropped, -scaled) +
            largest * message_error_[Index(child)] +
            (divided_below ? ratio_rounding : 0.0);
        ClearUnderflow();
        VRN_GatherMultiply(child->potential.items(), child->potential.end(),
                           ratio, steps);
        Error(child) = error + (Underflowed() ? kSubnormalRounding : 0.0);
      } else {
        VRN_GatherMultiply(child->potential.items(), child->potential.end(),
                           ratio, steps);
      }
    }
  }
  if (careful_) {
    for (int c = 0; c < count; ++c) CheckTrust(store_.clique(c));
  }
  return kOk;
}

void JoinTree::SetCareful(bool careful) {
  careful_ = careful;
  trusted_ = true;
  share_ = kTrustedShare;
  if (!careful) return;
  const std::size_t count = static_cast<std::size_t>(store_.count());
  error_.assign(count, 0.0);
  message_error_.assign(count, 0.0);
  sized_.assign(count, 0);
  received_.assign(count, 0);
}

void JoinTree::MultiplyCarefully(VRN_clique* clique, const double* table,
                                 const VRN_stepList& steps, bool first) {
  const uint32_t size = clique->potential.size();
  slice_.resize(size);
  double* slice = slice_.data();
  VRN_GatherCopy(slice, slice + size, table, steps);
  // Onto its largest entry, exactly: a subnormal slice keeps every digit.
  double largest = LargestCell(slice, size);
  if (largest > 0.0 && largest < 1.0) {
    const int exponent = std::ilogb(largest);
    ScaleDown(slice, size, exponent);
    scale_exponent_ += exponent;
    largest = std::ldexp(largest, -exponent);
  }
  double* cells = clique->potential.items();
  if (first) {
    std::copy(slice, slice + size, cells);
    Error(clique) = 0.0;
    return;
  }
  ClearUnderflow();
  for (uint32_t k = 0; k < size; ++k) cells[k] *= slice[k];
  Error(clique) = BoundOfProduct(Error(clique), largest, 0.0, 0.0, Underflowed());
}

void JoinTree::RescaleCarefully(VRN_clique* clique) {
  const int exponent =
      RescaleIfSmall(clique->potential.items(), clique->potential.size());
  scale_exponent_ += exponent;
  if (exponent != 0) Error(clique) = std::ldexp(Error(clique), -exponent);
}

void JoinTree::CheckTrust(const VRN_clique* clique) {
  if (!clique->initialised) return;
  const double error = error_[Index(clique)];
  if (error == 0.0) return;
  if (!Trusted(error, clique->potential.size(), clique->potential.Sum(), share_)) {
    trusted_ = false;
  }
}

int JoinTree::ScaleRatios(VRN_clique* child, const VRN_stepList& steps,
                           double* cells, double* ratio, uint32_t size) {
  // The old message again, from the child it was summed from.
  std::fill(ratio, ratio + size, 0.0);
  VRN_ScatterAdd(ratio, child->potential.items(), child->potential.end(), steps);
  int largest = std::numeric_limits<int>::min();
  for (uint32_t k = 0; k < size; ++k) {
    if (ratio[k] != 0.0 && cells[k] != 0.0) {
      largest = std::max(largest, std::ilogb(cells[k]) - std::ilogb(ratio[k]));
    }
  }
  // Every ratio taken 2^largest lower, from the numbers' mantissas, so none
  // overflows; the child (and the separator with it) moves to that scale,
  // which leaves its normalised beliefs as they were.
  if (largest == std::numeric_limits<int>::min()) return 0;
  for (uint32_t k = 0; k < size; ++k) {
    if (ratio[k] != 0.0) {
      int fresh_exponent = 0;
      int old_exponent = 0;
      const double fresh = std::frexp(cells[k], &fresh_exponent);
      const double old = std::frexp(ratio[k], &old_exponent);
      ratio[k] = std::ldexp(fresh / old, fresh_exponent - old_exponent - largest);
    }
    cells[k] = std::ldexp(cells[k], -largest);
  }
  return largest;
}

bool JoinTree::Marginal(int node, double* out) {
  assert(node >= 0 && node < n_);
  if (problem_.evidence[node] >= 0 || home_[node] < 0) return false;
  VRN_clique* clique = sorted_[home_[node]];
  EnsureInitialised(clique);
  VRN_stepList steps;
  const int rc = steps.Build(clique->potential, clique->members,
                             clique->member_count, &node, 1);
  assert(rc == kOk);
  if (rc != kOk) return false;
  for (int k = 0; k < problem_.outcomes[node]; ++k) out[k] = 0.0;
  VRN_ScatterAdd(out, clique->potential.items(), clique->potential.end(),
                 steps);
  return true;
}

ScaledProbability JoinTree::ScaledProbabilityOfEvidence() {
  ScaledProbability p;
  if (root_ == nullptr) return p;
  // The answer itself is the total: trusted only to a finer share.
  share_ = kEvidenceTrustedShare;
  // Sizes and fills a clique the first time it is needed.
  auto prepare = [this](VRN_clique* clique) -> int {
    const int index = Index(clique);
    if (sized_[index]) return kOk;
    sized_[index] = 1;
    const int rc = PruneAndSizeClique(clique);
    return rc != kOk ? rc : FillClique(clique);
  };
  scale_exponent_ = 0;
  // The product of the detached subtrees' totals: it may lie far below
  // the double range before the last step.
  auto multiply = [&p](double x) { p.Multiply(x); };
  auto fail = [this]() {
    Release();
    ScaledProbability none;
    none.fraction = ScaledProbability::kNone;
    return none;
  };
  // Depth first, children in reverse link order; a frame holds a clique
  // and the position of the next child to visit.
  std::vector<std::pair<VRN_clique*, int>> stack;
  stack.emplace_back(root_, root_->child_count - 1);
  while (!stack.empty()) {
    const std::size_t top = stack.size() - 1;
    if (stack[top].second >= 0) {
      VRN_clique* child = stack[top].first->children[stack[top].second];
      stack.emplace_back(child, child->child_count - 1);
      continue;
    }
    VRN_clique* child = stack[top].first;
    stack.pop_back();
    if (stack.empty()) break;  // the root
    VRN_clique* parent = stack.back().first;
    --stack.back().second;
    int rc = prepare(parent);
    if (rc == kOk) rc = prepare(child);
    if (rc == kOk) rc = PruneAndSizeSeparator(child);
    // A child's step lists serve its one message only.
    step_entries_.clear();
    if (rc == kOk) rc = BuildSeparatorSteps(child);
    if (rc != kOk) return fail();
    if (child->separator_count > 0) {
      SendMessage(child);
    } else if (child->initialised) {
      // Nothing links this subtree to the rest any more: its total is a
      // factor of its own.
      if (careful_) CheckTrust(child);
      multiply(child->potential.Sum());
    } else {
      multiply(static_cast<double>(child->potential.size()));
    }
    child->separator_potential.Release();
    child->potential.Release();
  }
  if (prepare(root_) != kOk) return fail();
  if (careful_) CheckTrust(root_);
  const double total = root_->initialised
                           ? root_->potential.Sum()
                           : static_cast<double>(root_->potential.size());
  root_->potential.Release();
  multiply(total);
  // Impossible evidence is a zero, not a tiny.
  if (p.fraction != 0.0) p.exponent += scale_exponent_;
  return p;
}

int JoinTree::FindHolder(const int* nodes, int count) const {
  if (count == 0) return sorted_.empty() ? -1 : 0;
  // No clique before the first holder of any single node can hold them all.
  int first = 0;
  for (int k = 0; k < count; ++k) {
    const int home = home_[nodes[k]];
    if (home < 0) return -1;
    first = std::max(first, home);
  }
  for (int r = first; r < clique_count(); ++r) {
    const VRN_clique* clique = sorted_[r];
    if (clique->member_count < count) continue;
    int held = 0;
    while (held < count && clique->HasMember(nodes[held])) ++held;
    if (held == count) return r;
  }
  return -1;
}

int JoinTree::ReserveWorkspace(uint32_t cells) {
  assert(cells >= 1 && cells <= kMaxCliqueCells);
  if (scratch_.capacity() >= cells) return kOk;
  const int size = static_cast<int>(cells);
  return scratch_.SetDimensions(1, &size);
}

int JoinTree::AddPosterior(int holder, const int* nodes,
                           const std::ptrdiff_t* strides, int count,
                           double* dst) {
  assert(holder >= 0 && holder < clique_count());
  VRN_clique* clique = sorted_[holder];
  EnsureInitialised(clique);
  const VRN_potential& potential = clique->potential;
  if (count == 0) {
    if (potential.Sum() == 0.0) return kErrZeroMarginal;
    *dst += 1.0;
    return kOk;
  }
  // The nodes in clique order, with their strides in the target table.
  int sub[kMaxCliqueMembers];
  int sizes[kMaxCliqueMembers];
  std::ptrdiff_t sub_strides[kMaxCliqueMembers];
  int found = 0;
  for (int m = 0; m < clique->member_count && found < count; ++m) {
    const int member = clique->members[m];
    for (int k = 0; k < count; ++k) {
      if (nodes[k] != member) continue;
      sub[found] = member;
      sizes[found] = problem_.outcomes[member];
      sub_strides[found] = strides[k];
      ++found;
      break;
    }
  }
  assert(found == count);
  // The clique table is the marginal itself when it has no other member.
  const VRN_potential* marginal = &potential;
  if (count < clique->member_count) {
    int rc = scratch_.SetDimensions(count, sizes);
    if (rc != kOk) return rc;
    VRN_stepList to_marginal;
    rc = to_marginal.Build(potential, clique->members, clique->member_count,
                           sub, count);
    assert(rc == kOk);  // sub is an ordered subsequence of the members
    if (rc != kOk) return rc;
    scratch_.Fill(0.0);
    VRN_ScatterAdd(scratch_.items(), potential.items(), potential.end(),
                   to_marginal);
    marginal = &scratch_;
  }
  const double total = marginal->Sum();
  if (total == 0.0) return kErrZeroMarginal;
  VRN_stepList to_table;
  const int rc = to_table.BuildStrided(count, sizes, sub_strides);
  if (rc != kOk) return rc;
  VRN_ScatterAddScaled(dst, marginal->items(), marginal->end(), total,
                       to_table);
  return kOk;
}

void JoinTree::Release() {
  for (int c = 0; c < store_.count(); ++c) {
    store_.clique(c)->potential.Release();
    store_.clique(c)->separator_potential.Release();
  }
  scratch_.Release();
  // Sized after the tables, so it would hold the heap above their room.
  std::vector<VRN_stepList::Entry>().swap(step_entries_);
}

}  // namespace qelta
