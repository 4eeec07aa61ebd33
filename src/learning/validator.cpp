// The validator: per-record predictions of class nodes and the measures
// read from them.
#include "learning/validator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "base/error_log.h"
#include "base/random.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "learning/em.h"
#include "learning/progress.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kErrNotFound = -30;
constexpr int kErrDuplicate = -32;

// Copy of net whose messages reach net's log, without automatic updating.
std::unique_ptr<VRN_network> WorkingCopy(VRN_network& net) {
  return std::make_unique<VRN_network>(net, qelta::kCopyWorking);
}

std::string UniqueName(const VRN_dataset& data, const std::string& first, const std::string& second) {
  const std::string base = second.empty() ? first : first + "_" + second;
  if (data.FindVariable(base) < 0) return base;
  for (int k = 1;; ++k) {
    const std::string name = base + "_" + std::to_string(k);
    if (data.FindVariable(name) < 0) return name;
  }
}

}  // namespace

VRN_validator::VRN_validator(VRN_dataset* data, VRN_network* net, std::vector<VRN_dataMatch> matches,
                             std::vector<int> fixedNodes)
    : data_(data), net_(net), matches_(std::move(matches)), fixed_(std::move(fixedNodes)) {}

int VRN_validator::ClassIndex(int node) const {
  for (std::size_t i = 0; i < classes_.size(); ++i) {
    if (classes_[i] == node) return static_cast<int>(i);
  }
  return -1;
}

int VRN_validator::AddClassNode(int node) {
  if (!net_->IsValidHandle(node)) return qelta::kErrOutOfRange;
  if (ClassIndex(node) >= 0) return kErrDuplicate;
  const VRN_dataMatch* match = nullptr;
  for (const VRN_dataMatch& m : matches_) {
    if (m.node == node) {
      match = &m;
      break;
    }
  }
  if (match == nullptr) return kErrNotFound;
  if (match->column >= 0 && match->column < data_->GetVariableCount() &&
      !data_->GetVariable(match->column).discrete) {
    return qelta::kErrWrongNodeType;  // a class is predicted as an outcome
  }
  // A class is scored against the node's own value, which is slice 0: a
  // later slice's record would be counted against another variable. The
  // match decides, not the node's present type, which may change later.
  for (const VRN_dataMatch& m : matches_) {
    if (m.node != node || m.slice < 1) continue;
    const std::string message = std::string("Validator: node ") + net_->GetNode(node)->GetId() +
                                " is matched to slice " + std::to_string(m.slice) +
                                ", but only slice 0 of a node can be a class";
    return net_->ErrorLog()->LogError(qelta::kErrWrongNodeType, message.c_str());
  }
  classes_.push_back(node);
  return qelta::kOk;
}

int VRN_validator::CheckMatches() const {
  for (std::size_t i = 0; i < matches_.size(); ++i) {
    const VRN_dataMatch& m = matches_[i];
    if (m.column < 0 || m.column >= data_->GetVariableCount() || !net_->IsValidHandle(m.node)) {
      const std::string message = "Validator: invalid match at index " + std::to_string(i);
      return net_->ErrorLog()->LogError(qelta::kErrOutOfRange, message.c_str());
    }
  }
  return qelta::kOk;
}

int VRN_validator::Prepare() {
  if (classes_.empty()) return net_->ErrorLog()->LogError(qelta::kErrNoItem, "No class nodes specified");
  const int checked = CheckMatches();
  if (checked != qelta::kOk) return checked;
  // A class node deleted or turned into a kind without outcomes since it
  // was added has nothing to predict; checked before anything is sized.
  for (int c : classes_) {
    if (!net_->IsValidHandle(c)) {
      const std::string message = "Validator: class node " + std::to_string(c) + " no longer exists";
      return net_->ErrorLog()->LogError(qelta::kErrOutOfRange, message.c_str());
    }
    if (net_->GetNode(c)->Definition()->GetNumberOfOutcomes() < 1) {
      const std::string message =
          std::string("Validator: class node ") + net_->GetNode(c)->GetId() + " has no outcomes";
      return net_->ErrorLog()->LogError(qelta::kErrWrongNodeType, message.c_str());
    }
  }
  confusion_.clear();
  offsets_.clear();
  width_ = 0;
  for (int c : classes_) {
    const int n = net_->GetNode(c)->Definition()->GetNumberOfOutcomes();
    offsets_.push_back(width_);
    width_ += n;
    confusion_.emplace_back(n, std::vector<int>(n, 0));
  }
  results_.assign(static_cast<std::size_t>(data_->GetRecordCount()) * width_, -1.0);
  return qelta::kOk;
}

int VRN_validator::TestRecord(VRN_network& net, int r) {
  VRN_errorLog* log = net.ErrorLog();
  auto fail = [&](int code, const std::string& what) {
    const std::string message = "Can't instantiate data record #" + std::to_string(r + 1) + "; error " +
                                std::to_string(code) + " during " + what;
    return log->LogError(code, message.c_str());
  };
  (void)net.ClearAllEvidence();
  (void)net.ClearAllTargets();
  for (const VRN_dataMatch& m : matches_) {
    if (data_->IsMissing(m.column, r)) continue;
    VRN_node* node = net.GetNode(m.node);
    if (ClassIndex(m.node) >= 0) {
      if (node->IsTarget()) continue;
      const int status = net.SetTarget(m.node, true);
      if (status != qelta::kOk) return fail(status, std::string("SetTarget on node ") + node->GetId());
      continue;
    }
    int status;
    std::string value;
    // A later slice of a plate node is a variable of its own: its record
    // value is that slice's evidence, as learning reads it.
    const bool slice = m.slice >= 1 && node->GetTemporalType() == qelta::kTemporalPlate;
    if (data_->GetVariable(m.column).discrete) {
      const int v = data_->GetInt(m.column, r);
      value = std::to_string(v);
      status = slice ? net.SetTemporalEvidence(m.node, m.slice, v) : node->Value()->SetEvidence(v);
    } else {
      const float v = data_->GetFloat(m.column, r);
      value = std::to_string(v);
      // No slice but slice 0 takes a number.
      status = slice ? qelta::kErrWrongNodeType : node->Value()->SetContEvidence(v);
    }
    if (status != qelta::kOk) {
      std::string what = "SetEvidence(" + value + ") on node " + node->GetId();
      if (slice) what += " at slice " + std::to_string(m.slice);
      return fail(status, what);
    }
  }
  const int updated = net.UpdateBeliefs();
  if (updated != qelta::kOk) return fail(updated, "UpdateBeliefs");
  for (const VRN_dataMatch& m : matches_) {
    const int c = ClassIndex(m.node);
    if (c < 0 || data_->IsMissing(m.column, r)) continue;
    const VRN_nodeVal* value = net.GetNode(m.node)->Value();
    if (!value->HasFlags(qelta::kValFlagValid)) {
      return fail(qelta::kErrOutOfRange,
                  std::string("value validity check on node ") + net.GetNode(m.node)->GetId());
    }
    const VRN_matrix& beliefs = value->GetValue();
    const int n = static_cast<int>(confusion_[c].size());
    double* row = results_.data() + static_cast<std::size_t>(r) * width_ + offsets_[c];
    double best = -1.0;
    int predicted = -1;
    for (int k = 0; k < n; ++k) {
      row[k] = k < beliefs.GetItemCount() ? beliefs.GetItem(k) : 0.0;
      if (row[k] > best) {
        best = row[k];
        predicted = k;
      }
    }
    const int recorded = data_->GetInt(m.column, r);
    if (predicted >= 0 && recorded >= 0 && recorded < n) ++confusion_[c][recorded][predicted];
  }
  return qelta::kOk;
}

int VRN_validator::Test(VRN_progress* progress) {
  const int prepared = Prepare();
  if (prepared != qelta::kOk) return prepared;
  std::unique_ptr<VRN_network> copy = WorkingCopy(*net_);
  const int records = data_->GetRecordCount();
  for (int r = 0; r < records; ++r) {
    if (progress != nullptr && !progress->Tick(r * 100.0 / records, nullptr)) return qelta::kErrCancelled;
    const int status = TestRecord(*copy, r);
    if (status != qelta::kOk) {
      // The copy's log is private: hand the record's message to the caller's.
      VRN_errorLog* own = copy->ErrorLog();
      (void)net_->ErrorLog()->LogError(status, own->GetMessage(own->GetNumberOfMessages() - 1));
    }
  }
  if (progress != nullptr && !progress->Tick(100.0, nullptr)) return qelta::kErrCancelled;
  return qelta::kOk;
}

int VRN_validator::KFold(const VRN_em& em, int folds, int seed, VRN_progress* progress) {
  const int n = data_->GetRecordCount();
  if (folds != n && (folds < 2 || folds > n / 2)) {
    return net_->ErrorLog()->LogError(qelta::kErrGeneral, "Invalid fold count");
  }
  const int prepared = Prepare();
  if (prepared != qelta::kOk) return prepared;
  std::vector<int> order(n);
  for (int i = 0; i < n; ++i) order[i] = i;
  if (seed >= 0 && folds != n) {
    VRN_randomGenerator generator(seed);
    for (int i = 1; i < n; ++i) std::swap(order[i], order[generator.NextInt(static_cast<unsigned>(i + 1))]);
  }
  // Training records are named by stored position through the caller's
  // index, which is put back after every fold.
  const std::vector<int>* callerIndex = data_->RecordIndex();
  const std::vector<int> saved = callerIndex != nullptr ? *callerIndex : std::vector<int>();
  const bool hadIndex = callerIndex != nullptr;
  auto restore = [&] {
    if (hadIndex) {
      (void)data_->SetRecordIndex(saved);
    } else {
      data_->ClearRecordIndex();
    }
  };
  for (int k = 0; k < folds; ++k) {
    const double percent = k * 100.0 / folds;
    const std::string phase = "Fold " + std::to_string(k + 1) + " of " + std::to_string(folds) + ": ";
    if (progress != nullptr && !progress->Tick(percent, (phase + "training...").c_str())) {
      return qelta::kErrCancelled;
    }
    const int begin = static_cast<int>(static_cast<long long>(k) * n / folds);
    const int end = static_cast<int>(static_cast<long long>(k + 1) * n / folds);
    std::vector<int> training;
    for (int p = 0; p < n; ++p) {
      if (p >= begin && p < end) continue;
      training.push_back(hadIndex ? saved[order[p]] : order[p]);
    }
    std::unique_ptr<VRN_network> copy = WorkingCopy(*net_);
    (void)data_->SetRecordIndex(training);
    const int learned = em.Learn(*data_, *copy, matches_, fixed_, nullptr, progress);
    restore();
    if (learned == qelta::kErrCancelled) return learned;
    if (learned != qelta::kOk) {
      return net_->ErrorLog()->LogError(learned, "EM failed during cross validation");
    }
    if (progress != nullptr && !progress->Tick(percent, (phase + "testing...").c_str())) {
      return qelta::kErrCancelled;
    }
    for (int p = begin; p < end; ++p) {
      if (progress != nullptr && !progress->Tick(-1.0, nullptr)) return qelta::kErrCancelled;
      (void)TestRecord(*copy, order[p]);
    }
  }
  if (progress != nullptr && !progress->Tick(100.0, nullptr)) return qelta::kErrCancelled;
  return qelta::kOk;
}

int VRN_validator::LeaveOneOut(const VRN_em& em, VRN_progress* progress) {
  return KFold(em, data_->GetRecordCount(), -1, progress);
}

int VRN_validator::GetAccuracy(int node, int outcome, double* out) const {
  const int c = ClassIndex(node);
  if (c < 0) return qelta::kErrOutOfRange;
  if (static_cast<std::size_t>(c) >= confusion_.size()) return qelta::kErrInvalidValue;
  const auto& matrix = confusion_[c];
  if (outcome < 0 || outcome >= static_cast<int>(matrix.size())) return qelta::kErrOutOfRange;
  double sum = 0.0;
  for (int v : matrix[outcome]) sum += v;
  *out = matrix[outcome][outcome] / sum;
  return qelta::kOk;
}

int VRN_validator::GetConfusionMatrix(int node, std::vector<std::vector<int>>* out) const {
  const int c = ClassIndex(node);
  if (c < 0) return qelta::kErrOutOfRange;
  if (static_cast<std::size_t>(c) >= confusion_.size()) return qelta::kErrInvalidValue;
  *out = confusion_[c];
  return qelta::kOk;
}

int VRN_validator::SortForCurve(int node, int outcome, std::vector<int>* recorded, std::vector<int>* order,
                                std::vector<double>* entries, int* first) const {
  const int c = ClassIndex(node);
  if (c < 0 || static_cast<std::size_t>(c) >= confusion_.size() || outcome < 0 ||
      outcome >= static_cast<int>(confusion_[c].size())) {
    return kErrNotFound;
  }
  const VRN_dataMatch* match = nullptr;
  for (const VRN_dataMatch& m : matches_) {
    if (m.node == node) {
      match = &m;
      break;
    }
  }
  if (match == nullptr) return qelta::kErrOutOfRange;
  const int n = static_cast<int>(results_.size() / width_);
  if (n > data_->GetRecordCount()) return qelta::kErrOutOfRange;  // data changed since the run
  recorded->assign(n, -1);
  entries->assign(n, -1.0);
  for (int r = 0; r < n; ++r) {
    if (!data_->IsMissing(match->column, r)) (*recorded)[r] = data_->GetInt(match->column, r);
    const double e = results_[static_cast<std::size_t>(r) * width_ + offsets_[c] + outcome];
    (*entries)[r] = std::isfinite(e) ? e : -1.0;
  }
  order->resize(n);
  for (int r = 0; r < n; ++r) (*order)[r] = r;
  std::stable_sort(order->begin(), order->end(),
                   [&](int a, int b) { return (*entries)[a] < (*entries)[b]; });
  *first = -1;
  for (int i = 0; i < n && *first < 0; ++i) {
    if ((*entries)[(*order)[i]] >= 0.0) *first = i;
  }
  return *first < 0 ? qelta::kErrNoItem : qelta::kOk;
}

int VRN_validator::GetROC(int node, int outcome, Points* points, std::vector<double>* thresholds,
                          double* area) const {
  std::vector<int> recorded, order;
  std::vector<double> entries;
  int first = 0;
  const int status = SortForCurve(node, outcome, &recorded, &order, &entries, &first);
  if (status != qelta::kOk) return status;
  std::vector<double> positives, negatives;
  for (std::size_t i = static_cast<std::size_t>(first); i < order.size(); ++i) {
    const int r = order[i];
    if (recorded[r] < 0) continue;
    (recorded[r] == outcome ? positives : negatives).push_back(entries[r]);
  }
  points->clear();
  thresholds->clear();
  double t = -1.0;
  std::size_t p = 0, q = 0;  // entries at or below t
  for (;;) {
    while (p < positives.size() && positives[p] <= t) ++p;
    while (q < negatives.size() && negatives[q] <= t) ++q;
    const std::size_t above_p = positives.size() - p, above_q = negatives.size() - q;
    if (above_p == 0 && above_q == 0) break;
    points->emplace_back(static_cast<double>(above_q) / negatives.size(),
                         static_cast<double>(above_p) / positives.size());
    double next = std::numeric_limits<double>::infinity();
    if (p < positives.size()) next = std::min(next, positives[p]);
    if (q < negatives.size()) next = std::min(next, negatives[q]);
    thresholds->push_back(next);
    t = next;
  }
  if (points->empty() || (*points)[0].first != 1.0) {
    points->insert(points->begin(), {1.0, 1.0});
    thresholds->insert(thresholds->begin(), 0.0);
  }
  points->emplace_back(0.0, 0.0);
  thresholds->push_back(1.0);
  double sum = 0.0;
  for (std::size_t i = 1; i < points->size(); ++i) {
    sum += std::fabs((*points)[i].first - (*points)[i - 1].first) *
           ((*points)[i - 1].second + (*points)[i].second) / 2.0;
  }
  *area = sum;
  return qelta::kOk;
}

int VRN_validator::GetCalibrationCurveB(int node, int outcome, int bins, Points* points,
                                        double* statistic) const {
  std::vector<int> recorded, order;
  std::vector<double> entries;
  int first = 0;
  const int status = SortForCurve(node, outcome, &recorded, &order, &entries, &first);
  if (status != qelta::kOk) return status;
  const long long m = static_cast<long long>(order.size()) - first;
  if (bins < 1 || bins > m) return qelta::kErrOutOfRange;
  points->clear();
  double total = 0.0;
  for (int k = 0; k < bins; ++k) {
    const int from = first + static_cast<int>(k * m / bins);
    const int to = first + static_cast<int>((k + 1) * m / bins);  // exclusive
    double e = 0.0;
    int observed = 0;
    for (int i = from; i < to; ++i) {
      e += entries[order[i]];
      if (recorded[order[i]] == outcome) ++observed;
    }
    const double cnt = to - from;
    const double y = observed / cnt;
    points->emplace_back(entries[order[from]], y);
    points->emplace_back(entries[order[to - 1]], y);
    const double denominator = (1.0 - e / cnt) * e;
    if (denominator == 0.0) {
      // A bin predicted with certainty is off by infinitely much unless
      // its outcomes agree exactly.
      if (observed != e) total = std::numeric_limits<double>::infinity();
    } else {
      total += (e - observed) * (e - observed) / denominator;
    }
  }
  *statistic = total;
  return qelta::kOk;
}

int VRN_validator::GetCalibrationCurveMA(int node, int outcome, int window, Points* points) const {
  std::vector<int> recorded, order;
  std::vector<double> entries;
  int first = 0;
  const int status = SortForCurve(node, outcome, &recorded, &order, &entries, &first);
  if (status != qelta::kOk) return status;
  if (window < 0) return qelta::kErrOutOfRange;
  struct Group {
    double entry;
    int count;
    int matches;
  };
  std::vector<Group> groups;
  for (std::size_t i = static_cast<std::size_t>(first); i < order.size(); ++i) {
    const int r = order[i];
    if (groups.empty() || groups.back().entry != entries[r]) groups.push_back({entries[r], 0, 0});
    ++groups.back().count;
    if (recorded[r] == outcome) ++groups.back().matches;
  }
  points->clear();
  const int g = static_cast<int>(groups.size());
  // Running sums make each point's window two subtractions, and a window
  // wider than the groups (up to Integer.MAX_VALUE from Java) simply spans
  // them all: i + window is never formed.
  std::vector<long long> hits_before(static_cast<std::size_t>(g) + 1, 0);
  std::vector<long long> count_before(static_cast<std::size_t>(g) + 1, 0);
  for (int i = 0; i < g; ++i) {
    hits_before[i + 1] = hits_before[i] + groups[i].matches;
    count_before[i + 1] = count_before[i] + groups[i].count;
  }
  for (int i = 0; i < g; ++i) {
    const int low = i - std::min(window, i);
    const int high = i + std::min(window, g - 1 - i);
    const long long hits = hits_before[high + 1] - hits_before[low];
    const long long count = count_before[high + 1] - count_before[low];
    points->emplace_back(groups[i].entry, static_cast<double>(hits) / count);
  }
  return qelta::kOk;
}

int VRN_validator::Predicted(int r, int c) const {
  const double* row = results_.data() + static_cast<std::size_t>(r) * width_ + offsets_[c];
  const int n = static_cast<int>(confusion_[c].size());
  double best = -1.0;
  int predicted = -1;
  for (int k = 0; k < n; ++k) {
    if (row[k] > best) {
      best = row[k];
      predicted = k;
    }
  }
  return predicted;
}

void VRN_validator::GetResultDataSet(VRN_dataset* out) const {
  *out = *data_;
  const int n = width_ > 0 ? static_cast<int>(results_.size() / width_) : 0;
  const std::size_t classes = std::min(classes_.size(), confusion_.size());
  int classColumn = -1;
  if (classes >= 2) {
    classColumn = out->GetVariableCount();
    (void)out->AddVariable(UniqueName(*out, "class", ""), true, -1, 0.0f);
    std::vector<std::string> names;
    for (std::size_t c = 0; c < classes; ++c) names.emplace_back(net_->GetNode(classes_[c])->GetId());
    (void)out->setStateNames(classColumn, names);
  }
  std::vector<int> firstColumn(classes);
  for (std::size_t c = 0; c < classes; ++c) {
    const VRN_node* node = net_->GetNode(classes_[c]);
    const VRN_idArray* ids = node->Definition()->GetOutcomesNames();
    firstColumn[c] = out->GetVariableCount();
    std::vector<std::string> names;
    for (int k = 0; k < static_cast<int>(confusion_[c].size()); ++k) {
      const char* id = ids != nullptr && k < ids->GetSize() ? ids->Get(k) : nullptr;
      names.emplace_back(id != nullptr ? id : std::to_string(k));
      (void)out->AddVariable(UniqueName(*out, node->GetId(), names.back()), false, -1,
                             std::numeric_limits<float>::quiet_NaN());
    }
    const int predictedColumn = out->GetVariableCount();
    (void)out->AddVariable(UniqueName(*out, node->GetId(), "predicted"), true, -1, 0.0f);
    (void)out->setStateNames(predictedColumn, names);
  }
  for (int r = 0; r < n && r < out->GetRecordCount(); ++r) {
    double best = -0.5;
    int bestClass = -1;
    for (std::size_t c = 0; c < classes; ++c) {
      const int predicted = Predicted(r, static_cast<int>(c));
      const double* row = results_.data() + static_cast<std::size_t>(r) * width_ + offsets_[c];
      if (predicted < 0 || row[0] < 0.0) continue;
      if (row[predicted] > best) {
        best = row[predicted];
        bestClass = static_cast<int>(c);
      }
      const int outcomes = static_cast<int>(confusion_[c].size());
      for (int k = 0; k < outcomes; ++k) out->SetFloat(firstColumn[c] + k, r, static_cast<float>(row[k]));
      out->SetInt(firstColumn[c] + outcomes, r, predicted);
    }
    if (classColumn >= 0 && bestClass >= 0) out->SetInt(classColumn, r, bestClass);
  }
}
