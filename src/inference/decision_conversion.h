// Turns decision and utility nodes of a solver's private working network
// into chance nodes: a utility rescaled to 0..1 becomes a two-outcome node
// whose first outcome has the utility as its probability, a decision a CPT.
//
// Thread use: that of the node's network.
#ifndef QELTA_INFERENCE_DECISION_CONVERSION_H_
#define QELTA_INFERENCE_DECISION_CONVERSION_H_

#include <vector>

class VRN_matrix;
class VRN_node;

// How a utility table is rescaled onto 0..1 so that every utility keeps its
// digits. A utility is carried as its distance from an anchor, divided by
// the range: a distance below the normal doubles vanishes, and a utility
// far nearer to zero than to the anchor (a cost of 1 beside one of 1e17, or
// 0 itself when most of the probability lies there) is lost in the
// difference, so an expected utility near it would be too.
enum class VRN_utilityScale {
  kDirect,    // the minimum goes to 0 and the maximum to 1
  kReversed,  // the maximum goes to 0 and the minimum to 1: only where the
              // direct scale would lose a utility
  kSigned,    // 0 stays 0: positive utilities over the largest magnitude
              // are the first of three outcomes, negated negative ones the
              // second, so the expected utility is their difference times
              // that magnitude; where neither end holds every utility (the
              // solvers try VRN_TwoOutcomeTrial's scale first)
  kLost,      // a utility would fall below the normal doubles every way
};

// The scale for table (undefined-value markers left out).
VRN_utilityScale VRN_ChooseUtilityScale(const VRN_matrix& table);

// The least and the largest entry of table, undefined markers among them:
// the ends of the two-outcome scales.
struct VRN_utilityBounds {
  double lo, hi;
};
VRN_utilityBounds VRN_UtilityBounds(const VRN_matrix& table);

// For a table on kSigned: the two-outcome scale the solvers try first, from
// the end nearer to 0 (a 0 a scenario surely reaches, or an expected
// utility well above that end's rounding, keeps its digits there too; the
// solvers check each and go over to kSigned where one does not); kSigned
// where a distance from that end would fall below the normal doubles.
VRN_utilityScale VRN_TwoOutcomeTrial(const VRN_matrix& table);

// The utilities of table in the columns whose parents agree with fixed
// (an outcome per parent dimension, -1 for a parent left free).
struct VRN_reachedUtilities {
  bool constant = true;  // all are value (and defined)
  double value = 0.0;
  // Each keeps its digits on the two-outcome scale; where whole, so
  // closely (within 4 times its size from the end) that an expected
  // utility of them keeps the rounding of the amounts it weighs.
  bool held = true;
};
VRN_reachedUtilities VRN_ReachedUtilities(const VRN_matrix& table, const std::vector<int>& fixed,
                                          VRN_utilityScale scale, bool whole);

// Whether kSigned keeps the digits of every utility of table.
bool VRN_SignedScaleKeeps(const VRN_matrix& table);

// The largest magnitude of table: what kSigned divides by.
double VRN_SignedUtilityRange(const VRN_matrix& table);

// Converts node when it is a decision or a utility (rescaled as scale says,
// three outcomes for kSigned and two otherwise; a table kLost is rescaled
// directly). Answers true when it was one and is
// now a chance node (a decision whose conversion fails counts as converted,
// as the solvers assume that order anyway); false for any other kind and
// for a utility the conversion refused, which is left as it was.
bool VRN_ConvertToChanceNode(VRN_node* node,
                             VRN_utilityScale scale = VRN_utilityScale::kDirect);

// Gives a converted utility node the outcomes of utilities u: two whose
// first has u's item (already on 0..1) as its probability, or the three of
// kSigned where signed_scale. False where the node refuses them.
bool VRN_FillUtilityOutcomes(VRN_node* node, const VRN_matrix& u, bool signed_scale);

#endif  // QELTA_INFERENCE_DECISION_CONVERSION_H_
