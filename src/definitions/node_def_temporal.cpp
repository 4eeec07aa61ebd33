// Temporal definitions of plate nodes as seen from the node's own
// definition: read and written through the network's temporal part.
#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/change_guards.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

VRN_nodeDef* VRN_nodeDef::GetPlateTemporalDefinition(int order) const {
  const VRN_node* node = network_ != nullptr ? network_->GetNode(handle_)
                                             : nullptr;
  if (node == nullptr || node->GetTemporalType() != qelta::kTemporalPlate ||
      network_->Dbn() == nullptr) {
    return nullptr;
  }
  return network_->Dbn()->GetTemporalDefinition(handle_, order);
}

const VRN_matrix* VRN_nodeDef::GetTemporalMatrix(int order) const {
  const VRN_nodeDef* def = GetPlateTemporalDefinition(order);
  return def != nullptr ? def->GetMatrixConst() : nullptr;
}

const VRN_matrix* VRN_nodeDef::GetTemporalExpandedDefinition(int order) const {
  VRN_nodeDef* def = GetPlateTemporalDefinition(order);
  return def != nullptr ? def->GetExpandedDefinition() : nullptr;
}

int VRN_nodeDef::SetTemporalDefinition(int order,
                                       const VRN_doubleArray& items) {
  if (network_ == nullptr || network_->Dbn() == nullptr) {
    return qelta::kErrWrongNodeType;
  }
  VRN_nodeDef* def = GetPlateTemporalDefinition(order);
  if (def == nullptr) return qelta::kErrOutOfRange;
  if (def->GetMatrix() == nullptr) return qelta::kErrWrongNodeType;
  if (def->GetMatrix()->GetItemCount() != items.GetSize()) {
    return qelta::kErrInvalidValue;
  }
  VRN_autoUpdateGuard guard(network_, true);
  const int status = def->SetDefinition(items);
  if (status == qelta::kOk) {
    network_->GetNode(handle_)->Value()->Invalidate();
    network_->InvalidateIfDynamic();
  }
  return status;
}

int VRN_nodeDef::SetTemporalDefinitionFromMatrix(int order,
                                                 const VRN_matrix& matrix) {
  VRN_nodeDef* def = GetPlateTemporalDefinition(order);
  if (def == nullptr) return qelta::kErrWrongNodeType;
  const VRN_matrix* own = def->GetMatrixConst();
  if (own == nullptr || own->GetDimensions() != matrix.GetDimensions()) {
    return qelta::kErrInvalidValue;
  }
  VRN_autoUpdateGuard guard(network_, true);
  const int status = def->SetDefinitionFromMatrix(matrix);
  if (status == qelta::kOk) {
    network_->GetNode(handle_)->Value()->Invalidate();
    network_->InvalidateIfDynamic();
  }
  return status;
}
