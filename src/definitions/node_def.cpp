#include "definitions/node_def.h"

#include <cassert>
#include <cmath>
#include <cstdarg>
#include <new>

#include "base/arrays.h"
#include "base/error_log.h"
#include "network/change_guards.h"
#include "base/matrix.h"
#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/cpt.h"
#include "definitions/decision.h"
#include "definitions/discrete_def.h"
#include "definitions/noisy_adder.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "definitions/truth_table.h"
#include "definitions/utility.h"
#include "equations/equation.h"
#include "equations/mau.h"

namespace {

// Parents and children of a node that is not (yet) stored in its network.
const VRN_intArray& EmptyHandles() {
  static const VRN_intArray* const kEmpty = new VRN_intArray();
  return *kEmpty;
}

}  // namespace

// ------------------------------------------------------------ VRN_discreteInfo

VRN_discreteInfo::VRN_discreteInfo(VRN_network* network, int handle)
    : network(network), handle(handle) {}

VRN_discreteInfo::~VRN_discreteInfo() {
  if (ids_owned) delete ids;
  if (values_owned) delete values;
  if (diag_info_owned) delete diag_info;
  if (table_owned) delete table;
}

// ----------------------------------------------------------------- VRN_nodeDef

VRN_nodeDef::VRN_nodeDef(VRN_network* network, int handle)
    : network_(network), handle_(handle) {}

VRN_nodeDef::VRN_nodeDef(const VRN_nodeDef& other, VRN_network* network)
    : network_(network), handle_(other.handle_) {}

VRN_nodeDef::~VRN_nodeDef() = default;

int VRN_nodeDef::AddParent(int parent) { return qelta::kErrWrongNodeType; }

int VRN_nodeDef::RemoveParent(int parent) { return qelta::kErrWrongNodeType; }

void VRN_nodeDef::OnIdChanged(const char* old_id, const char* new_id) {}

int VRN_nodeDef::OnParentOutcomeInserted(int parent, int position) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeDef::OnParentOutcomeRemoved(int parent, int index) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeDef::OnParentOutcomesReordered(int parent,
                                           const VRN_intArray& order) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeDef::ReorderParents(const VRN_intArray& order) {
  return qelta::kErrWrongNodeType;
}

void VRN_nodeDef::OnParentIdChanged(int parent, const char* old_id,
                                    const char* new_id) {}

int VRN_nodeDef::CheckParentInfluence(int parent_index, double tolerance,
                                      bool* influential) {
  assert(influential != nullptr);
  const VRN_matrix* table = GetExpandedDefinition();
  if (table == nullptr) {
    *influential = true;
    return qelta::kOk;
  }
  const int dims = table->GetDimensionCount();
  // Only parent dimensions can be asked about; the last one is the node's
  // own outcomes.
  if (parent_index < 0 || parent_index >= dims - 1) {
    return qelta::kErrOutOfRange;
  }
  *influential = false;
  const int own = table->GetSize(dims - 1);
  const int states = table->GetSize(parent_index);
  if (states < 2) return qelta::kOk;
  const int stride = table->GetStrides()[parent_index];
  const double limit = tolerance * tolerance;
  const double* items = table->GetItems().Items();

  VRN_coordinates coords(*table);
  coords.Lock(parent_index);
  coords.Lock(dims - 1);
  coords.GoFirst();
  coords.UpdateIndex(*table);
  do {
    const double* p0 = items + coords.GetIndex();
    for (int j = 1; j < states; ++j) {
      const double* pj = p0 + j * stride;
      double sum = 0.0;
      for (int k = 0; k < own; ++k) {
        const double d = std::sqrt(p0[k]) - std::sqrt(pj[k]);
        sum += d * d;
        if (sum > limit) {
          *influential = true;
          return qelta::kOk;
        }
      }
    }
  } while (coords.Next(*table) == qelta::kOk);
  return qelta::kOk;
}

int VRN_nodeDef::CheckExtFunctions(const VRN_extFunctionContainer& functions,
                                   int* position, std::string* message) {
  return qelta::kOk;
}

int VRN_nodeDef::PatchExtFunctions(VRN_extFunctionContainer* functions) {
  return qelta::kOk;
}

int VRN_nodeDef::AddOutcome(const char* id) { return qelta::kErrWrongNodeType; }

int VRN_nodeDef::InsertOutcome(int position, const char* id) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeDef::RemoveOutcome(int index) { return qelta::kErrWrongNodeType; }

int VRN_nodeDef::GetNumberOfOutcomes() const { return qelta::kErrWrongNodeType; }

int VRN_nodeDef::RenameOutcome(int index, const char* id) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeDef::RenameOutcomesFromStrings(
    const std::vector<std::string>& names) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeDef::RenameOutcomes(const VRN_stringArray& names) {
  return qelta::kErrWrongNodeType;
}

const VRN_idArray* VRN_nodeDef::GetOutcomesNames() const { return nullptr; }

int VRN_nodeDef::SetNumberOfOutcomesByIds(const VRN_stringArray& ids) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeDef::SetNumberOfOutcomes(int count) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeDef::ChangeOrderOfOutcomes(const VRN_intArray& order) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeDef::ChangeOrderOfOutcomesWithAddAndRemove(
    const VRN_stringArray& ids, const VRN_intArray& mapping) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeDef::MakeUniform() { return qelta::kErrWrongNodeType; }

int VRN_nodeDef::MakeRandom(VRN_randomGenerator& generator) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeDef::GetDefinition(VRN_matrix** out) {
  *out = GetMatrix();
  return *out != nullptr ? qelta::kOk : qelta::kErrWrongNodeType;
}

const VRN_matrix* VRN_nodeDef::GetExpandedDefinition() {
  return GetMatrixConst();
}

int VRN_nodeDef::GetDiscreteOutcomeCount() const {
  return qelta::kErrWrongNodeType;
}

void VRN_nodeDef::CopyParameters(VRN_nodeDef* target) const {
  VRN_autoUpdateGuard guard(target->GetNetwork());
  VRN_matrix* to = target->GetMatrix();
  const VRN_matrix* from = GetMatrixConst();
  if (to == nullptr || from == nullptr || !to->HasSameDimensions(*from)) return;
  (void)to->CopyItems(*from);
  target->NotifyRelevance(qelta::kChangeTable);
}

// ------------------------------------------------------------ non-virtual

const VRN_intArray& VRN_nodeDef::GetParents() const {
  const VRN_node* node =
      network_ != nullptr ? network_->GetNode(handle_) : nullptr;
  return node != nullptr ? node->Parents() : EmptyHandles();
}

const VRN_intArray& VRN_nodeDef::GetChildren() const {
  const VRN_node* node =
      network_ != nullptr ? network_->GetNode(handle_) : nullptr;
  return node != nullptr ? node->Children() : EmptyHandles();
}

int VRN_nodeDef::GetParentIndex(int handle) const {
  return GetParents().FindPosition(handle);
}

const char* VRN_nodeDef::GetNodeId(int handle) const {
  const VRN_node* node = network_->GetNode(handle);
  assert(node != nullptr);
  return node->GetId();
}

const char* VRN_nodeDef::OwnNodeId() const {
  const VRN_node* node = network_ != nullptr ? network_->GetNode(handle_) : nullptr;
  return node != nullptr && node->Definition() == this ? node->GetId() : "";
}

int VRN_nodeDef::LogRefusal(int code, const char* format, ...) const {
  if (OwnNodeId()[0] == '\0') return code;
  va_list args;
  va_start(args, format);
  const int status = network_->ErrorLog()->LogfV(code, format, args);
  va_end(args);
  return status;
}

VRN_nodeDef* VRN_nodeDef::GetNodeDefinition(int handle) const {
  const VRN_node* node = network_->GetNode(handle);
  assert(node != nullptr);
  return node->Definition();
}

int VRN_nodeDef::GetDefinitionConst(const VRN_matrix** out) const {
  *out = GetMatrixConst();
  return *out != nullptr ? qelta::kOk : qelta::kErrWrongNodeType;
}

int VRN_nodeDef::SetDefinition(const VRN_doubleArray& items) {
  VRN_autoUpdateGuard guard(network_);
  VRN_matrix* table = GetMatrix();
  if (table == nullptr) return qelta::kErrWrongNodeType;
  if (!AcceptsItems(items.Items(), items.GetSize())) {
    return RefusedItemsStatus();
  }
  // A new table changes what every dependent value means: tell the
  // relevance bookkeeping, or stale beliefs would stay marked valid.
  const int rc = table->SetItems(items);
  if (rc == qelta::kOk) NotifyRelevance(qelta::kChangeTable);
  return rc;
}

int VRN_nodeDef::SetDefinitionFromVector(const std::vector<double>& items) {
  VRN_autoUpdateGuard guard(network_);
  VRN_matrix* table = GetMatrix();
  if (table == nullptr) return qelta::kErrWrongNodeType;
  if (!AcceptsItems(items.data(), static_cast<int>(items.size()))) {
    return RefusedItemsStatus();
  }
  // A new table changes what every dependent value means: tell the
  // relevance bookkeeping, or stale beliefs would stay marked valid.
  const int rc = table->SetItemsFromVector(items);
  if (rc == qelta::kOk) NotifyRelevance(qelta::kChangeTable);
  return rc;
}

int VRN_nodeDef::SetDefinitionFromMatrix(const VRN_matrix& matrix) {
  VRN_autoUpdateGuard guard(network_);
  VRN_matrix* table = GetMatrix();
  if (table == nullptr) return qelta::kErrWrongNodeType;
  if (!AcceptsItems(matrix.GetItems().Items(), matrix.GetItemCount())) {
    return RefusedItemsStatus();
  }
  // A new table changes what every dependent value means: tell the
  // relevance bookkeeping, or stale beliefs would stay marked valid.
  const int rc = table->CopyItems(matrix);
  if (rc == qelta::kOk) NotifyRelevance(qelta::kChangeTable);
  return rc;
}

bool VRN_nodeDef::IsTypeInList(const int* codes, int count) const {
  const int type = GetType();
  for (int i = 0; i < count; ++i) {
    if (codes[i] == type) return true;
  }
  return false;
}

bool VRN_nodeDef::AcceptsItems(const double*, int) const { return true; }

bool VRN_nodeDef::HoldsAcceptedItems() const {
  const VRN_matrix* items = GetMatrixConst();
  return items == nullptr ||
         AcceptsItems(items->GetItems().Items(), items->GetItemCount());
}

int VRN_nodeDef::RefusedItemsStatus() const { return qelta::kErrOutOfRange; }

void VRN_nodeDef::NotifyRelevance(int kind) const {
  if (network_ != nullptr) (void)network_->OnEvidenceChange(handle_, kind);
}

// ---------------------------------------------------------------- factory

VRN_nodeDef* VRN_nodeDef::Create(int type, VRN_network* network, int handle,
                                 const char* id) {
  try {
    switch (type) {
      case qelta::kDefCpt:
        return new VRN_cpt(network, handle);
      case qelta::kDefTruthTable:
        return new VRN_truthTable(network, handle);
      case qelta::kDefDecision:
        return new VRN_decision(network, handle);
      case qelta::kDefUtility:
        return new VRN_utility(network, handle);
      case qelta::kDefEquation:
        return new VRN_equation(network, handle, id);
      case qelta::kDefMau:
        return new VRN_mau(network, handle);
      case qelta::kDefNoisyMax:
        return new VRN_noisyMAX(network, handle);
      case qelta::kDefNoisyAdder:
        return new VRN_noisyAdder(network, handle);
      case qelta::kDefDemorgan:
        return new VRN_demorgan(network, handle);
      case qelta::kDefCast:
        return new VRN_cast(network, handle);
      default:
        return nullptr;
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

VRN_nodeDef* VRN_nodeDef::CreateConverted(VRN_nodeDef* old, int type) {
  // Checked first, so a code we cannot build costs nothing.
  if (!IsValidType(type)) return nullptr;
  VRN_discreteInfo info(old->GetNetwork(), old->GetHandle());
  (void)old->GetDiscreteInfo(&info);
  try {
    switch (type) {
      case qelta::kDefCpt:
        return new VRN_cpt(info);
      case qelta::kDefTruthTable:
        return new VRN_truthTable(info);
      case qelta::kDefDecision:
        return new VRN_decision(info);
      case qelta::kDefUtility:
        return new VRN_utility(info);
      case qelta::kDefEquation:
        return new VRN_equation(info);
      case qelta::kDefMau:
        return new VRN_mau(info);
      case qelta::kDefNoisyMax:
        return new VRN_noisyMAX(info);
      case qelta::kDefNoisyAdder:
        return new VRN_noisyAdder(info);
      case qelta::kDefDemorgan:
        return new VRN_demorgan(info);
      case qelta::kDefCast:
        return new VRN_cast(info);
      default:
        return nullptr;
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool VRN_nodeDef::IsValidType(int type) {
  return type == qelta::kDefCpt || type == qelta::kDefTruthTable ||
         type == qelta::kDefDecision || type == qelta::kDefUtility ||
         type == qelta::kDefNoisyMax || type == qelta::kDefNoisyAdder ||
         type == qelta::kDefDemorgan || type == qelta::kDefCast ||
         type == qelta::kDefEquation || type == qelta::kDefMau;
}

bool VRN_nodeDef::IsLazyType(int type) {
  return type == qelta::kDefNoisyMax || type == qelta::kDefNoisyAdder ||
         type == qelta::kDefDemorgan || type == qelta::kDefCast;
}

bool VRN_nodeDef::IsInfluenceType(int type) {
  return type == qelta::kDefDecision || type == qelta::kDefUtility ||
         type == qelta::kDefMau;
}

bool VRN_nodeDef::IsArcAllowed(int parent_type, int child_type) {
  if (child_type == qelta::kDefCast || child_type == qelta::kDefDemorgan) {
    return parent_type == child_type;
  }
  if (child_type == qelta::kDefMau) {
    return parent_type == qelta::kDefUtility ||
           parent_type == qelta::kDefDecision || parent_type == qelta::kDefMau;
  }
  switch (parent_type) {
    case qelta::kDefEquation:
      return child_type != qelta::kDefUtility &&
             child_type != qelta::kDefDecision;
    case qelta::kDefDecision:
      return child_type != qelta::kDefEquation;
    case qelta::kDefCpt:
    case qelta::kDefTruthTable:
    case qelta::kDefNoisyMax:
    case qelta::kDefNoisyAdder:
      return true;
    default:  // utility, CAST, DeMorgan, MAU and unknown codes
      return false;
  }
}
