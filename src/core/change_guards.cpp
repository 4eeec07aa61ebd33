#include "core/change_guards.h"

#include <cmath>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "core/arrays.h"
#include "core/matrix.h"
#include "core/network.h"
#include "core/node.h"
#include "core/random.h"
#include "core/special_values.h"
#include "core/status.h"
#include "core/strings.h"
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
    : network_(network), wasOn_(0) {
  if (network_ == nullptr) return;
  wasOn_ = (network_->flags_ & qelta::kNetRelevance) != 0 ? 1 : 0;
  network_->flags_ &= ~qelta::kNetRelevance;
}

VRN_relevanceOffGuard::~VRN_relevanceOffGuard() {
  if (network_ != nullptr && wasOn_ != 0) {
    network_->flags_ |= qelta::kNetRelevance;
  }
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

const VRN_idArray& VRN_DefaultOutcomeIds(const char* prefix) {
  static std::map<std::string, std::unique_ptr<VRN_idArray>> lists;
  std::string key = prefix != nullptr ? prefix : "State";
  auto it = lists.find(key);
  if (it != lists.end()) return *it->second;
  auto ids = std::make_unique<VRN_idArray>();
  if (ids->AddNumbered(key.c_str(), 0) != qelta::kOk ||
      ids->AddNumbered(key.c_str(), 1) != qelta::kOk) {
    // AddNumbered repairs any prefix into an identifier, so this cannot
    // fail; keep the list usable all the same.
    ids->Flush();
    (void)ids->Add("State0");
    (void)ids->Add("State1");
  }
  const VRN_idArray& result = *ids;
  lists.emplace(std::move(key), std::move(ids));
  return result;
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

// --------------------------------------------------------------- intervals

namespace {

constexpr double kSqrt2OverPi = 0.7978845608028654;

bool IsTail(int i, int n, const double* bounds) {
  return (i == 0 && !std::isfinite(bounds[0])) ||
         (i == n - 1 && !std::isfinite(bounds[n]));
}

double Probability(const double* probabilities, int i, int n) {
  return probabilities != nullptr ? probabilities[i] : 1.0 / n;
}

}  // namespace

int VRN_FindInterval(const double* bounds, int m, double x) {
  if (m < 2) return qelta::kErrNoItem;
  if (std::isnan(x) || x < bounds[0] || x > bounds[m - 1]) {
    return qelta::kErrOutOfRange;
  }
  for (int i = 1; i < m; ++i) {
    if (bounds[i - 1] == bounds[i]) {
      if (x == bounds[i]) return i - 1;
    } else if (bounds[i] > x) {
      return i - 1;
    }
  }
  return m - 2;
}

VRN_intervalTail VRN_IntervalTailParameters(int i, int n, const double* bounds,
                                            const double* probabilities) {
  VRN_intervalTail tail;
  double width;
  double p_tail;
  double p_next;
  if (std::isfinite(bounds[i])) {  // upper tail, i == n - 1
    tail.offset = bounds[i];
    tail.direction = 1.0;
    width = n >= 2 ? bounds[n - 1] - bounds[n - 2] : VRN_Infinity();
    p_tail = Probability(probabilities, n - 1, n);
    p_next = n >= 2 ? Probability(probabilities, n - 2, n) : 0.0;
  } else {  // lower tail, i == 0
    tail.offset = bounds[1];
    tail.direction = -1.0;
    width = n >= 2 ? bounds[2] - bounds[1] : VRN_Infinity();
    p_tail = Probability(probabilities, 0, n);
    p_next = n >= 2 ? Probability(probabilities, 1, n) : 0.0;
  }
  if (!std::isfinite(width)) {
    // No bounded neighbour whose density the tail could match.
    tail.sigma = 2.0 * p_tail;
  } else if (p_next > 0.0) {
    tail.sigma = p_tail * kSqrt2OverPi * width / p_next;
  } else {
    // An empty neighbour would make the tail infinitely wide; fall back to
    // the shape of equal probabilities.
    tail.sigma = kSqrt2OverPi * width;
  }
  return tail;
}

double VRN_IntervalsMean(int n, const double* bounds,
                         const double* probabilities) {
  double mean = 0.0;
  for (int i = 0; i < n; ++i) {
    double m;
    if (IsTail(i, n, bounds)) {
      VRN_intervalTail t =
          VRN_IntervalTailParameters(i, n, bounds, probabilities);
      m = t.offset + t.direction * t.sigma * kSqrt2OverPi;
    } else {
      m = 0.5 * (bounds[i] + bounds[i + 1]);
    }
    mean += Probability(probabilities, i, n) * m;
  }
  return mean;
}

double VRN_IntervalsStdDev(int n, const double* bounds,
                           const double* probabilities) {
  double e1 = VRN_IntervalsMean(n, bounds, probabilities);
  double e2 = 0.0;
  for (int i = 0; i < n; ++i) {
    double s;
    if (IsTail(i, n, bounds)) {
      VRN_intervalTail t =
          VRN_IntervalTailParameters(i, n, bounds, probabilities);
      s = t.sigma * t.sigma + t.offset * t.offset +
          2.0 * t.direction * t.sigma * t.offset * kSqrt2OverPi;
    } else {
      double a = bounds[i];
      double b = bounds[i + 1];
      s = (a * a + a * b + b * b) / 3.0;
    }
    e2 += Probability(probabilities, i, n) * s;
  }
  double variance = e2 - e1 * e1;
  // Rounding can push a zero variance slightly below zero.
  return variance > 0.0 ? std::sqrt(variance) : 0.0;
}

void VRN_intervalSampler::Init(int i, const double* bounds, int count,
                               const double* probabilities) {
  int n = count - 1;
  low_ = bounds[i];
  high_ = bounds[i + 1];
  unbounded_ = IsTail(i, n, bounds);
  tail_ = unbounded_ ? VRN_IntervalTailParameters(i, n, bounds, probabilities)
                     : VRN_intervalTail();
}

double VRN_intervalSampler::Draw(VRN_randomGenerator& generator) const {
  if (!unbounded_) return generator.Uniform(low_, high_);
  return tail_.offset +
         tail_.direction * std::fabs(generator.Normal(0.0, tail_.sigma));
}
