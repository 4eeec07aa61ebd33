// EM in pieces for a distributed run: every arithmetic step is the
// one-machine learner's (learning/em_steps.h), in its order.
#include "learning/em_session.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "io/format.h"
#include "learning/count_parameters.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kTemporalNone = 0;

// Why distributed EM refuses a network with the temporal node id.
std::string DynamicRefusal(const std::string& id) {
  return "EM: node '" + id + "' is in a dynamic network, which distributed EM does not learn";
}

// Why the distributed learner cannot learn node h, or "" when it can;
// *code receives the status. The learner's own refusals come first, with
// its messages.
std::string NodeRefusal(const VRN_network& net, int h, bool learnable, int* code) {
  const VRN_node* node = net.GetNode(h);
  const std::string id = node->GetId();
  *code = qelta::kErrWrongNodeType;
  switch (node->Definition()->GetType()) {
    case qelta::kDefCpt:
      break;
    case qelta::kDefEquation:
      *code = qelta::kErrInvalidValue;
      return "EM: unsupported mix of discrete and continuous items in network and/or dataset; "
             "node '" + id + "' is an equation node";
    case qelta::kDefNoisyMax:
      return "EM: node '" + id +
             "' is a noisy-MAX node, whose parameters a distributed pass cannot count";
    case qelta::kDefTruthTable:
    case qelta::kDefNoisyAdder:
      if (learnable) return "EM: non-fixed deterministic and Noisy Adder nodes not supported";
      if (node->Definition()->GetType() == qelta::kDefNoisyAdder) {
        return "EM: node '" + id +
               "' is a noisy adder, whose counts a distributed pass cannot keep, even when fixed";
      }
      break;
    default:
      return "EM: node '" + id + "' is of unsupported type";
  }
  if (net.GetTemporalType(h) != kTemporalNone) return DynamicRefusal(id);
  return "";
}

// The refusal of the network's first temporal node followed by "; ", or ""
// for a network without one.
std::string DynamicPrefix(const VRN_network& net) {
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (net.GetTemporalType(h) != kTemporalNone) return DynamicRefusal(net.GetNode(h)->GetId()) + "; ";
  }
  return "";
}

}  // namespace

VRN_emSession::VRN_emSession() = default;
VRN_emSession::~VRN_emSession() = default;

int VRN_emSession::Fail(int status, std::string* error) const {
  VRN_errorLog* log = (work_ != nullptr ? work_ : source_)->ErrorLog();
  if (error != nullptr) {
    error->clear();
    for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
      if (!error->empty()) *error += '\n';
      *error += log->GetMessage(i);
    }
  }
  log->Flush();
  return status;
}

int VRN_emSession::Open(const char* text, const std::vector<std::string>& columns,
                        const std::vector<std::string>& fixed, const VRN_em& options,
                        std::string* error) {
  options_ = options;
  source_ = std::make_unique<VRN_network>();
  VRN_errorLog* log = source_->ErrorLog();
  {
    const qelta::ClassicLocaleScope locale;
    const int status = source_->ReadString(text, qelta::kExtensionLayout);
    if (status != qelta::kOk) return Fail(status, error);
  }
  if (columns.empty()) {
    return Fail(log->LogError(qelta::kErrNoItem,
                              "EM: no matching between node and data were specified"),
                error);
  }
  columns_.clear();
  for (const std::string& id : columns) {
    const int h = source_->FindNode(id.c_str());
    if (h < 0) {
      // A slice's column of a dynamic network names no node: the network is
      // the reason.
      const std::string message =
          DynamicPrefix(*source_) + "Dataset column '" + id + "' names no node of the network";
      return Fail(log->LogError(qelta::kErrOutOfRange, message.c_str()), error);
    }
    columns_.push_back(h);
  }
  fixed_.assign(static_cast<std::size_t>(source_->GetSlotCount()), false);
  for (std::size_t i = 0; i < fixed.size(); ++i) {
    const int h = source_->FindNode(fixed[i].c_str());
    if (h < 0) {
      const std::string message = "EM: Invalid fixed node handle at index " + std::to_string(i) +
                                  ": '" + fixed[i] + "' names no node";
      return Fail(log->LogError(qelta::kErrOutOfRange, message.c_str()), error);
    }
    fixed_[static_cast<std::size_t>(h)] = true;
  }
  learnList_.clear();
  bool allCpt = true;
  for (int h = source_->GetFirstNode(); h >= 0; h = source_->GetNextNode(h)) {
    const bool learnable = !fixed_[static_cast<std::size_t>(h)];
    int code = qelta::kOk;
    const std::string refusal = NodeRefusal(*source_, h, learnable, &code);
    if (!refusal.empty()) return Fail(log->LogError(code, refusal.c_str()), error);
    if (learnable) learnList_.push_back(h);
    allCpt = allCpt && source_->GetNode(h)->Definition()->GetType() == qelta::kDefCpt;
  }
  canCount_ = !source_->HasTemporalNodes() && fixed.empty() && allCpt &&
              static_cast<int>(columns_.size()) == source_->GetNumberOfNodes();

  work_ = std::make_unique<VRN_network>(*source_, qelta::kCopyWorking);
  work_->SetRelevanceReasoning(options_.relevance);
  (void)work_->ClearAllEvidence();
  (void)work_->ClearAllTargets();
  work_->EnableCaseUpdates(false);

  const int slots = work_->GetSlotCount();
  counts_.assign(static_cast<std::size_t>(slots), {});
  priors_.assign(static_cast<std::size_t>(slots), VRN_matrix());
  countSize_ = 1;
  for (int h = work_->GetFirstNode(); h >= 0; h = work_->GetNextNode(h)) {
    const VRN_matrix* table = work_->GetNode(h)->Definition()->GetExpandedDefinition();
    counts_[h].resize(1);
    if (table == nullptr) continue;
    counts_[h][0] = *table;
    counts_[h][0].FillWith(0.0);
    countSize_ += table->GetItemCount();
  }
  parameterCount_ = 0;
  for (int h : learnList_) parameterCount_ += work_->GetNode(h)->Definition()->GetMatrixConst()->GetItemCount();
  current_ = 0.0;
  passes_ = 0;
  return qelta::kOk;
}

void VRN_emSession::Start() {
  bool anyFixed = false;
  for (bool f : fixed_) anyFixed = anyFixed || f;
  qelta::StartParameters(*work_, options_.uniformizeParameters, options_.randomizeParameters,
                         options_.seed, anyFixed ? &learnList_ : nullptr);
  for (int h : learnList_) priors_[h] = *work_->GetNode(h)->Definition()->GetExpandedDefinition();
}

void VRN_emSession::GetParameters(double* out) const {
  for (int h : learnList_) {
    const VRN_matrix* table = work_->GetNode(h)->Definition()->GetMatrixConst();
    const int n = table->GetItemCount();
    std::memcpy(out, table->GetItems().Items(), sizeof(double) * static_cast<std::size_t>(n));
    out += n;
  }
}

int VRN_emSession::SetParameters(const double* values) {
  for (int h : learnList_) {
    VRN_nodeDef* def = work_->GetNode(h)->Definition();
    VRN_matrix table = *def->GetMatrixConst();
    const int n = table.GetItemCount();
    std::memcpy(table.GetItems().Items(), values, sizeof(double) * static_cast<std::size_t>(n));
    values += n;
    const int status = def->SetDefinitionFromMatrix(table);
    if (status != qelta::kOk) return status;
  }
  return qelta::kOk;
}

int VRN_emSession::AddRecords(const int* values, int records, long long first,
                              std::string* error) {
  VRN_errorLog* log = work_->ErrorLog();
  const std::size_t width = columns_.size();
  for (int r = 0; r < records; ++r) {
    const int* row = values + static_cast<std::size_t>(r) * width;
    const long long number = first + r + 1;
    (void)work_->ClearAllEvidence();
    for (std::size_t i = 0; i < width; ++i) {
      if (row[i] < 0) continue;
      VRN_node* node = work_->GetNode(columns_[i]);
      const int status = node->Value()->SetEvidence(row[i]);
      if (status == qelta::kOk) continue;
      refusals_.push_back("EM: can't set evidence in record " + std::to_string(number) +
                          " for node " + node->GetId());
      log->Flush();
    }
    const int status =
        qelta::ExpectRecord(*work_, options_.relevance, nullptr, number, &counts_, &current_, log);
    if (status != qelta::kOk) return Fail(status, error);
  }
  return qelta::kOk;
}

bool VRN_emSession::ValuesFit(const int* values, int records, bool complete) const {
  std::vector<int> outcomes;
  for (int h : columns_) outcomes.push_back(work_->GetNode(h)->Definition()->GetNumberOfOutcomes());
  const std::size_t width = columns_.size();
  for (std::size_t k = 0; k < static_cast<std::size_t>(records) * width; ++k) {
    const int v = values[k];
    if (v >= outcomes[k % width] || (complete && v < 0)) return false;
  }
  return true;
}

void VRN_emSession::TakeCounts(double* out) {
  for (int h = work_->GetFirstNode(); h >= 0; h = work_->GetNextNode(h)) {
    VRN_matrix& table = counts_[h][0];
    const int n = table.GetItemCount();
    if (n == 0) continue;
    std::memcpy(out, table.GetItems().Items(), sizeof(double) * static_cast<std::size_t>(n));
    out += n;
    table.FillWith(0.0);
  }
  *out = current_;
  current_ = 0.0;
}

std::vector<std::string> VRN_emSession::TakeRefusals() {
  std::vector<std::string> taken;
  taken.swap(refusals_);
  return taken;
}

int VRN_emSession::EndPass(const double* summed, long long records, double threshold,
                           int maxPasses, std::string* error) {
  const double previous = current_;
  current_ = summed[countSize_ - 1];
  ++passes_;
  bool converged = records == 0 || qelta::EmConverged(previous, current_, threshold);
  if (passes_ >= (maxPasses > 0 ? maxPasses : VRN_em::kPassGuard)) converged = true;
  for (int h = work_->GetFirstNode(); h >= 0; h = work_->GetNextNode(h)) {
    VRN_matrix& table = counts_[h][0];
    const int n = table.GetItemCount();
    std::memcpy(table.GetItems().Items(), summed, sizeof(double) * static_cast<std::size_t>(n));
    summed += n;
  }
  const double weight = static_cast<double>(options_.eqSampleSize);
  for (int h : learnList_) {
    if (counts_[h][0].GetItemCount() == 0) continue;
    const int status = qelta::Maximise(*work_, h, 0, weight, priors_[h], &counts_[h][0]);
    if (status != qelta::kOk) return Fail(status, error);
  }
  return converged ? 1 : 0;
}

namespace {

// The cell of column i's family in its node's table for one record: the
// counting learner's index, from the parents' strides.
int FamilyCell(const VRN_network& net, const std::vector<int>& columns,
               const std::vector<int>& columnOfHandle, std::size_t i, const int* row) {
  const int h = columns[i];
  const VRN_matrix* table = net.GetNode(h)->Definition()->GetMatrixConst();
  const VRN_intArray& parents = net.GetNode(h)->Parents();
  int cell = row[i];
  for (int p = 0; p < parents.GetSize(); ++p) {
    cell += row[columnOfHandle[static_cast<std::size_t>(parents[p])]] * table->GetStrides()[p];
  }
  return cell;
}

std::vector<int> ColumnOfHandle(const VRN_network& net, const std::vector<int>& columns) {
  std::vector<int> of(static_cast<std::size_t>(net.GetSlotCount()), 0);
  for (std::size_t i = 0; i < columns.size(); ++i) of[static_cast<std::size_t>(columns[i])] = static_cast<int>(i);
  return of;
}

}  // namespace

void VRN_emSession::CountRecords(const int* values, int records) {
  const std::vector<int> columnOf = ColumnOfHandle(*work_, columns_);
  const std::size_t width = columns_.size();
  for (int r = 0; r < records; ++r) {
    const int* row = values + static_cast<std::size_t>(r) * width;
    for (std::size_t i = 0; i < width; ++i) {
      counts_[columns_[i]][0].GetItems()[FamilyCell(*work_, columns_, columnOf, i, row)] += 1.0;
    }
  }
}

void VRN_emSession::FinishCounting(const double* summed) {
  const double pseudo = options_.uniformizeParameters || options_.randomizeParameters
                            ? 0.0
                            : static_cast<double>(options_.eqSampleSize);
  for (int h = work_->GetFirstNode(); h >= 0; h = work_->GetNextNode(h)) {
    VRN_nodeDef* def = work_->GetNode(h)->Definition();
    VRN_matrix table = *def->GetMatrixConst();
    double* items = table.GetItems().Items();
    const int size = table.GetItemCount();
    // The counting learner adds one per record to the prior: with a prior
    // the additions round, so they are repeated one by one.
    for (int k = 0; k < size; ++k) {
      const double count = summed[k];
      if (pseudo == 0.0) {
        items[k] = count;
        continue;
      }
      items[k] *= pseudo;
      for (double c = 0.0; c < count; c += 1.0) items[k] += 1.0;
    }
    summed += size;
    VRN_NormaliseCountedTable(items, size, def->GetNumberOfOutcomes(), pseudo);
    (void)def->SetDefinitionFromMatrix(table);
  }
  passes_ = 0;
}

double VRN_emSession::ScoreRecords(const int* values, int records, double total) const {
  const std::vector<int> columnOf = ColumnOfHandle(*work_, columns_);
  const std::size_t width = columns_.size();
  for (int r = 0; r < records; ++r) {
    const int* row = values + static_cast<std::size_t>(r) * width;
    for (std::size_t i = 0; i < width; ++i) {
      const VRN_matrix* table = work_->GetNode(columns_[i])->Definition()->GetMatrixConst();
      total += std::log(table->GetItems()[FamilyCell(*work_, columns_, columnOf, i, row)]);
    }
  }
  return total;
}

int VRN_emSession::Apply(VRN_network& target, std::string* error) const {
  for (int h : learnList_) {
    const VRN_node* learned = work_->GetNode(h);
    if (!target.IsValidHandle(h) || std::strcmp(target.GetNode(h)->GetId(), learned->GetId()) != 0) {
      const std::string message = std::string("EM: the target network has no node '") +
                                  learned->GetId() + "' where the learned one has it";
      target.ErrorLog()->LogError(qelta::kErrInvalidValue, message.c_str());
      if (error != nullptr) *error = message;
      return qelta::kErrInvalidValue;
    }
  }
  for (int h : learnList_) {
    const VRN_matrix* table = work_->GetNode(h)->Definition()->GetMatrixConst();
    if (table == nullptr) continue;
    const int status = target.GetNode(h)->Definition()->SetDefinitionFromMatrix(*table);
    if (status != qelta::kOk) return Fail(status, error);
  }
  target.InvalidateValues();
  return qelta::kOk;
}
