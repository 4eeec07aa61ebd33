#include "learning/dataset.h"

#include "base/status.h"

void VRN_dataset::Clear() {
  variables_.clear();
  columns_.clear();
  recordIndex_.reset();
}

int VRN_dataset::AddVariable(const std::string& id, bool discrete,
                             int missingInt, float missingFloat) {
  if (!id.empty() && FindVariable(id) >= 0) {
    return qelta::kErrDuplicatedIdentifier;
  }
  const std::size_t records = static_cast<std::size_t>(GetNumberOfRecords());
  Column column;
  if (discrete) {
    column.ints.assign(records, missingInt);
  } else {
    column.floats.assign(records, missingFloat);
  }
  VRN_datasetVariable variable;
  variable.discrete = discrete;
  variable.id = id;
  variable.missingInt = missingInt;
  variable.missingFloat = missingFloat;
  columns_.reserve(columns_.size() + 1);
  variables_.push_back(std::move(variable));
  columns_.push_back(std::move(column));
  return qelta::kOk;
}

int VRN_dataset::addIntVariable(const std::string& id, int missingInt) {
  return AddVariable(id, true, missingInt,
                     std::numeric_limits<float>::quiet_NaN());
}

int VRN_dataset::addFloatVariable(const std::string& id, float missingFloat) {
  return AddVariable(id, false, -1, missingFloat);
}

void VRN_dataset::AddEmptyRecord() {
  recordIndex_.reset();
  for (std::size_t v = 0; v < variables_.size(); ++v) {
    if (variables_[v].discrete) {
      columns_[v].ints.push_back(variables_[v].missingInt);
    } else {
      columns_[v].floats.push_back(variables_[v].missingFloat);
    }
  }
}

int VRN_dataset::FindVariable(const std::string& id) const {
  if (id.empty()) return -1;
  for (std::size_t v = 0; v < variables_.size(); ++v) {
    if (variables_[v].id == id) return static_cast<int>(v);
  }
  return -1;
}

int VRN_dataset::SetVariableId(int variable, const std::string& id) {
  if (variable < 0 || variable >= GetVariableCount()) {
    return qelta::kErrOutOfRange;
  }
  VRN_datasetVariable& target = variables_[static_cast<std::size_t>(variable)];
  if (target.id == id) return qelta::kOk;
  if (FindVariable(id) >= 0) return qelta::kErrDuplicatedIdentifier;
  target.id = id;
  return qelta::kOk;
}

int VRN_dataset::setStateNames(int variable,
                               const std::vector<std::string>& names) {
  if (variable < 0 || variable >= GetVariableCount()) {
    return qelta::kErrOutOfRange;
  }
  VRN_datasetVariable& target = variables_[static_cast<std::size_t>(variable)];
  if (!target.discrete) return qelta::kErrInvalidValue;
  target.stateNames = names;
  return qelta::kOk;
}

int VRN_dataset::GetNumberOfRecords() const {
  if (variables_.empty()) return 0;
  const Column& first = columns_.front();
  return static_cast<int>(variables_.front().discrete ? first.ints.size()
                                                      : first.floats.size());
}

int VRN_dataset::GetRecordCount() const {
  if (recordIndex_) return static_cast<int>(recordIndex_->size());
  return GetNumberOfRecords();
}

int VRN_dataset::SetRecordIndex(const std::vector<int>& index) {
  // An entry beyond the stored records would make every cell operation
  // read outside its column.
  const int stored = GetNumberOfRecords();
  for (int position : index) {
    if (position < 0 || position >= stored) return qelta::kErrOutOfRange;
  }
  recordIndex_ = index;
  return qelta::kOk;
}

void VRN_dataset::SetMissing(int variable, int record) {
  const VRN_datasetVariable& v = GetVariable(variable);
  if (v.discrete) {
    SetInt(variable, record, v.missingInt);
  } else {
    SetFloat(variable, record, v.missingFloat);
  }
}

bool VRN_dataset::IsMissing(int variable, int record) const {
  const VRN_datasetVariable& v = GetVariable(variable);
  if (v.discrete) return GetInt(variable, record) == v.missingInt;
  return IsMissingFloat(GetFloat(variable, record), v.missingFloat);
}

bool VRN_dataset::HasMissingValues(int variable) const {
  const int count = GetRecordCount();
  for (int r = 0; r < count; ++r) {
    if (IsMissing(variable, r)) return true;
  }
  return false;
}

bool VRN_dataset::IsConstant(int variable) const {
  const VRN_datasetVariable& v = GetVariable(variable);
  const int count = GetRecordCount();
  bool seen = false;
  int firstInt = 0;
  float firstFloat = 0;
  for (int r = 0; r < count; ++r) {
    if (IsMissing(variable, r)) continue;
    if (v.discrete) {
      const int value = GetInt(variable, r);
      if (!seen) {
        firstInt = value;
      } else if (value != firstInt) {
        return false;
      }
    } else {
      const float value = GetFloat(variable, r);
      if (!seen) {
        firstFloat = value;
      } else if (value != firstFloat) {
        return false;
      }
    }
    seen = true;
  }
  return true;
}
