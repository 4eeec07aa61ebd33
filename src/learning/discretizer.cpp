#include "learning/discretizer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <queue>
#include <string>
#include <utility>

#include "base/status.h"
#include "learning/dataset.h"

namespace {

constexpr int kMethodGrouping = 0;
constexpr int kMethodEqualWidth = 1;
constexpr int kMethodEqualCount = 2;

}  // namespace

int VRN_MergeValueGroups(const std::vector<double>& sorted, int binCount,
                         std::vector<double>* edges) {
  struct Group {
    double count;
    double sum;
    double lowest;
    double highest;
    int next;  // index of the next live group, -1 at the end
    int previous;
    bool live;
  };
  std::vector<Group> groups;
  for (std::size_t i = 0; i < sorted.size();) {
    std::size_t j = i;
    double sum = 0;
    while (j < sorted.size() && sorted[j] == sorted[i]) sum += sorted[j++];
    const int index = static_cast<int>(groups.size());
    groups.push_back(Group{static_cast<double>(j - i), sum, sorted[i], sorted[i],
                           -1, index - 1, true});
    if (index > 0) groups[static_cast<std::size_t>(index - 1)].next = index;
    i = j;
  }
  if (groups.size() < static_cast<std::size_t>(binCount)) return qelta::kErrOutOfRange;
  auto mean = [&](int g) {
    const Group& group = groups[static_cast<std::size_t>(g)];
    return group.sum / group.count;
  };
  // Candidate merges keyed by (difference of means, left group): the
  // closest pair first, the leftmost on ties. Entries go stale as groups
  // merge and are checked when popped.
  using Candidate = std::pair<double, std::pair<int, int>>;
  std::priority_queue<Candidate, std::vector<Candidate>, std::greater<Candidate>> queue;
  std::vector<int> version(groups.size(), 0);
  auto push = [&](int left) {
    const int right = groups[static_cast<std::size_t>(left)].next;
    if (right < 0) return;
    queue.push({mean(right) - mean(left), {left, version[static_cast<std::size_t>(left)]}});
  };
  for (int g = 0; g + 1 < static_cast<int>(groups.size()); ++g) push(g);
  std::size_t live = groups.size();
  while (live > static_cast<std::size_t>(binCount)) {
    const Candidate top = queue.top();
    queue.pop();
    const int left = top.second.first;
    Group& a = groups[static_cast<std::size_t>(left)];
    if (!a.live || top.second.second != version[static_cast<std::size_t>(left)] || a.next < 0) {
      continue;
    }
    Group& b = groups[static_cast<std::size_t>(a.next)];
    // The right group's own candidate is stale once it changes too.
    a.count += b.count;
    a.sum += b.sum;
    a.highest = b.highest;
    b.live = false;
    a.next = b.next;
    if (b.next >= 0) groups[static_cast<std::size_t>(b.next)].previous = left;
    --live;
    ++version[static_cast<std::size_t>(left)];
    push(left);
    if (a.previous >= 0) {
      ++version[static_cast<std::size_t>(a.previous)];
      push(a.previous);
    }
  }
  edges->clear();
  for (int g = 0; g >= 0 && groups[static_cast<std::size_t>(g)].next >= 0;
       g = groups[static_cast<std::size_t>(g)].next) {
    const Group& a = groups[static_cast<std::size_t>(g)];
    edges->push_back((a.highest + groups[static_cast<std::size_t>(a.next)].lowest) / 2);
  }
  return qelta::kOk;
}

int VRN_Discretizer::EqualWidth(int binCount, std::vector<double>* edges) const {
  double width = 0;
  double low = 0;
  if (ints_ != nullptr) {
    const auto range = std::minmax_element(ints_->begin(), ints_->end());
    if (*range.first == *range.second) return qelta::kErrOutOfRange;
    low = *range.first;
    width = static_cast<double>(static_cast<std::int64_t>(*range.second) - *range.first);
  } else {
    const auto range = std::minmax_element(floats_->begin(), floats_->end());
    if (*range.first == *range.second) return qelta::kErrOutOfRange;
    low = *range.first;
    width = static_cast<double>(*range.second - *range.first);
    // Values of opposite signs near FLT_MAX differ by more than a float
    // holds: the width then comes from the difference in double.
    if (std::isinf(width)) {
      width = static_cast<double>(*range.second) - static_cast<double>(*range.first);
    }
  }
  edges->clear();
  for (int k = 1; k < binCount; ++k) edges->push_back(k * width / binCount + low);
  return qelta::kOk;
}

int VRN_Discretizer::Discretize(int method, int binCount, std::vector<double>* edges,
                                std::vector<int>* bins) const {
  const std::size_t n = size();
  if (n < 2) return qelta::kErrNoItem;
  if (binCount < 2) return qelta::kErrWrongNumStates;
  if (method != kMethodGrouping && method != kMethodEqualWidth && method != kMethodEqualCount) {
    return qelta::kErrIllegalIdentifier;
  }
  std::vector<double> found;
  int status = qelta::kOk;
  if (method == kMethodEqualWidth) {
    status = EqualWidth(binCount, &found);
  } else {
    std::vector<double> sorted(n);
    for (std::size_t i = 0; i < n; ++i) sorted[i] = at(i);
    std::sort(sorted.begin(), sorted.end());
    if (method == kMethodGrouping) {
      status = VRN_MergeValueGroups(sorted, binCount, &found);
    } else if (sorted.front() == sorted.back()) {
      status = qelta::kErrOutOfRange;
    } else {
      for (int k = 1; k < binCount; ++k) {
        const auto position = static_cast<std::size_t>(
            static_cast<std::uint64_t>(k) * n / static_cast<std::uint64_t>(binCount));
        found.push_back(sorted[position]);
      }
    }
  }
  if (status != qelta::kOk) return status;
  if (bins != nullptr) {
    bins->resize(n);
    for (std::size_t i = 0; i < n; ++i) {
      (*bins)[i] = static_cast<int>(
          std::upper_bound(found.begin(), found.end(), at(i)) - found.begin());
    }
  }
  if (edges != nullptr) *edges = std::move(found);
  return qelta::kOk;
}

namespace {

// x as "%.16g" with every byte that is not an ASCII letter or digit made
// '_', so that it can stand inside a state name.
std::string NamePart(double x) {
  char text[64];
  const auto done = std::to_chars(text, text + sizeof text, x, std::chars_format::general, 16);
  std::string part(text, done.ptr);
  for (char& c : part) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alnum) c = '_';
  }
  return part;
}

}  // namespace

int VRN_dataset::Discretize(int variable, int method, int binCount,
                            const std::string& namePrefix, std::vector<double>* edges) {
  if (variable < 0 || variable >= GetVariableCount() || binCount > kMaxBins) {
    return qelta::kErrOutOfRange;
  }
  const std::size_t v = static_cast<std::size_t>(variable);
  const bool discrete = variables_[v].discrete;
  const int count = GetRecordCount();
  std::vector<int> records;
  std::vector<int> ints;
  std::vector<float> floats;
  for (int r = 0; r < count; ++r) {
    if (IsMissing(variable, r)) continue;
    records.push_back(r);
    if (discrete) {
      ints.push_back(GetInt(variable, r));
    } else {
      floats.push_back(GetFloat(variable, r));
    }
  }
  std::vector<double> found;
  std::vector<int> bins;
  const int status = discrete ? VRN_Discretizer(ints).Discretize(method, binCount, &found, &bins)
                              : VRN_Discretizer(floats).Discretize(method, binCount, &found, &bins);
  if (status != qelta::kOk) return status;

  std::vector<std::string> names;
  if (!namePrefix.empty()) {
    names.reserve(static_cast<std::size_t>(binCount));
    for (int b = 0; b < binCount; ++b) {
      std::string name = namePrefix + NamePart(b + 1);
      if (b == 0) {
        name += "_below_" + NamePart(found[0]);
      } else if (b == binCount - 1) {
        name += "_" + NamePart(found[static_cast<std::size_t>(b - 1)]) + "_up";
      } else {
        name += "_" + NamePart(found[static_cast<std::size_t>(b - 1)]) + "_" +
                NamePart(found[static_cast<std::size_t>(b)]);
      }
      names.push_back(std::move(name));
    }
  }
  VRN_datasetVariable& target = variables_[v];
  if (!discrete) {
    Column& column = columns_[v];
    column.ints.assign(column.floats.size(), -1);
    std::vector<float>().swap(column.floats);
    target.discrete = true;
    target.missingInt = -1;
  }
  for (std::size_t i = 0; i < records.size(); ++i) SetInt(variable, records[i], bins[i]);
  target.stateNames = std::move(names);
  if (edges != nullptr) *edges = std::move(found);
  return qelta::kOk;
}
