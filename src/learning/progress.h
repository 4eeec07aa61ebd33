// VRN_progress: progress reports and cancellation of the long learning
// operations. A caller passes one (or none) to a learner; the learner calls
// Tick with percent -1.0 and a text to announce a phase, or with a percent
// (-1.0 when none is known) and a null text for a step. Answering false
// cancels the operation, which then answers -99.
//
// Thread use: called on the learner's thread only.
#ifndef QELTA_LEARNING_PROGRESS_H_
#define QELTA_LEARNING_PROGRESS_H_

#include <chrono>

namespace qelta {
inline constexpr int kErrCancelled = -99;

// The time limit of one learning run, from its construction: a learner
// checks it inside its long loops, so that a run stops soon after the limit
// rather than at the end of a phase. A limit of 0 or less never passes.
class Deadline {
 public:
  explicit Deadline(int seconds)
      : limited_(seconds > 0),
        end_(Clock::now() + std::chrono::seconds(seconds > 0 ? seconds : 0)) {}
  // Once true, stays true.
  bool Passed() {
    if (!limited_) return false;
    if (!passed_) passed_ = Clock::now() > end_;
    return passed_;
  }

 private:
  using Clock = std::chrono::steady_clock;
  bool limited_;
  bool passed_ = false;
  Clock::time_point end_;
};
}  // namespace qelta

class VRN_progress {
 public:
  virtual ~VRN_progress() = default;
  // True to go on, false to cancel.
  virtual bool Tick(double percent, const char* text) = 0;
};

#endif  // QELTA_LEARNING_PROGRESS_H_
