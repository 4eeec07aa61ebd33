// Belief updating entry of VRN_network and the automatic-update switch.
#include "core/error_log.h"
#include "core/network.h"
#include "core/status.h"

namespace {

// Clears the network's updating mark however the update ends.
class UpdatingScope {
 public:
  explicit UpdatingScope(std::uint8_t& flag) : flag_(flag) { flag_ = 1; }
  ~UpdatingScope() { flag_ = 0; }

 private:
  std::uint8_t& flag_;
};

}  // namespace

int VRN_network::UpdateBeliefs() {
  UpdatingScope scope(updating_);
  return RunInference();
}

int VRN_network::SetAutoUpdate(bool on) {
  if (!on) {
    flags_ &= ~qelta::kNetAutoUpdate;
    return qelta::kOk;
  }
  if ((flags_ & qelta::kNetAutoUpdate) != 0) return qelta::kOk;
  flags_ |= qelta::kNetAutoUpdate;
  return UpdateBeliefs();
}

int VRN_network::RunInference() {
  // No inference algorithm is part of this build; say so rather than leave
  // values looking current.
  return errorLog_->LogError(qelta::kErrWrongNodeType,
                             "Belief updating is not available");
}
