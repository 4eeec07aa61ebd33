#include "definitions/decision.h"

#include "base/status.h"
#include "definitions/id_values.h"
#include "network/change_guards.h"

VRN_decision::VRN_decision(VRN_network* network, int handle)
    : VRN_discDef(network, handle, VRN_DefaultOutcomeIds("Choice")) {}

VRN_decision::VRN_decision(const VRN_discreteInfo& info) : VRN_discDef(info) {}

VRN_decision::VRN_decision(const VRN_decision& other, VRN_network* network)
    : VRN_discDef(other, network) {}

VRN_decision::~VRN_decision() = default;

VRN_nodeDef* VRN_decision::Clone(VRN_network* target) const {
  return new VRN_decision(*this, target);
}

VRN_nodeVal* VRN_decision::CreateValueFromRecord(
    const VRN_evidenceRecord& record) const {
  return new VRN_policyValues(*this, record);
}

VRN_nodeVal* VRN_decision::CreateValue() const {
  return new VRN_policyValues(GetNetwork(), GetHandle());
}

int VRN_decision::GetType() const { return qelta::kDefDecision; }

const char* VRN_decision::GetTypeName() const { return "LIST"; }

int VRN_decision::AddParent(int) { return qelta::kOk; }

int VRN_decision::RemoveParent(int) { return qelta::kOk; }

int VRN_decision::OnParentOutcomeInserted(int, int) { return qelta::kOk; }

int VRN_decision::OnParentOutcomeRemoved(int, int) { return qelta::kOk; }

int VRN_decision::OnParentOutcomesReordered(int, const VRN_intArray&) {
  return qelta::kOk;
}

VRN_matrix* VRN_decision::GetMatrix() { return nullptr; }

const VRN_matrix* VRN_decision::GetMatrixConst() const { return nullptr; }

const char* VRN_decision::GetDefaultOutcomePrefix() const { return "Choice"; }

int VRN_decision::RebuildTable() { return qelta::kOk; }
