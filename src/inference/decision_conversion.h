// Turns decision and utility nodes of a solver's private working network
// into chance nodes: a utility rescaled to 0..1 becomes a two-outcome node
// whose first outcome has the utility as its probability, a decision a CPT.
//
// Thread use: that of the node's network.
#ifndef QELTA_INFERENCE_DECISION_CONVERSION_H_
#define QELTA_INFERENCE_DECISION_CONVERSION_H_

class VRN_node;

// Converts node when it is a decision or a utility. Answers true when it was
// one and is now a chance node (a decision whose conversion fails counts as
// converted, as the solvers assume that order anyway); false for any other
// kind and for a utility the conversion refused, which is left as it was.
bool VRN_ConvertToChanceNode(VRN_node* node);

#endif  // QELTA_INFERENCE_DECISION_CONVERSION_H_
