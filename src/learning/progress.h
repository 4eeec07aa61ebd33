// VRN_progress: progress reports and cancellation of the long learning
// operations. A caller passes one (or none) to a learner; the learner calls
// Tick with percent -1.0 and a text to announce a phase, or with a percent
// (-1.0 when none is known) and a null text for a step. Answering false
// cancels the operation, which then answers -99.
//
// Thread use: called on the learner's thread only.
#ifndef QELTA_LEARNING_PROGRESS_H_
#define QELTA_LEARNING_PROGRESS_H_

namespace qelta {
inline constexpr int kErrCancelled = -99;
}  // namespace qelta

class VRN_progress {
 public:
  virtual ~VRN_progress() = default;
  // True to go on, false to cancel.
  virtual bool Tick(double percent, const char* text) = 0;
};

#endif  // QELTA_LEARNING_PROGRESS_H_
