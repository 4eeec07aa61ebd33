// Belief-updating routines of Bayesian networks besides join-tree
// clustering: the junction tree per part, polytree propagation and the
// stochastic samplers. The network's dispatcher runs one of them by its
// algorithm code:
//   1        VRN_UpdateRejectionSampling
//   2        VRN_UpdatePolytree
//   3, 5     VRN_UpdateEvidenceWeightedSampling
//   4        VRN_UpdateImportanceSampling
//   6        VRN_UpdateEvidenceParentSampling
//   7, 8, 9  VRN_UpdateSampling7, VRN_UpdateSampling8, VRN_UpdateSampling9
//   10       VRN_UpdateJoinTree
// Every routine but the polytree's works on the parts relevance reasoning
// (flags 3) returns; evidence is read from the parts' records, so derived
// evidence and virtual evidence weigh in, and records without a node get
// no belief.
//
// Thread use: the caller's thread; the samplers use the network's random
// generator, reseeded from a non-zero seed at the start of every run.
#ifndef QELTA_INFERENCE_BN_ROUTINES_H_
#define QELTA_INFERENCE_BN_ROUTINES_H_

class VRN_network;

// Code 10. Answers 0; kErrZeroMarginal when some marginal summed to zero
// (logged as code 0 logs it; those values invalid, every other belief still
// written); kErrOutOfMemory when a part's clique tables together would
// exceed 0x10000000 cells (checked before any table is allocated; that
// part's values invalid, the other parts still solved).
int VRN_UpdateJoinTree(VRN_network* network);

// Code 2, on the whole network (no relevance reasoning), beliefs of every
// node. Answers 0; -1 with "PolyTree algorithm can not be applied to this
// network, because it is not singly connected." logged (nothing changed);
// kErrZeroMarginal when the evidence of a connected component is
// impossible (logged for its unobserved nodes, whose values are invalid).
int VRN_UpdatePolytree(VRN_network* network);

// The forward samplers draw the network's sample count of samples of every
// part with more than one record (one-record parts get their table) and
// write the weighted outcome frequencies as beliefs. Each answers 0, or
// kErrNoUsefulSamples with "No useful samples have been generated for some
// of nodes." logged when some part got no sample of positive weight (its
// values without evidence invalid; the other parts are still finished).
// Code 1: every node drawn from its table, samples that disagree with the
// evidence dropped (parts ordered evidence first).
int VRN_UpdateRejectionSampling(VRN_network* network);
// Codes 3 and 5: unobserved nodes drawn, observed ones weigh the sample.
int VRN_UpdateEvidenceWeightedSampling(VRN_network* network);
// Code 4: as codes 3 and 5, drawing from sampling tables re-estimated from
// the weighted samples after every 100th iteration.
int VRN_UpdateImportanceSampling(VRN_network* network);
// Code 6: the undrawn parents of observed nodes drawn backwards from the
// observed node's table, the rest forwards; parts one after the other.
int VRN_UpdateEvidenceParentSampling(VRN_network* network);

// Codes 7, 8 and 9 first invalidate every value without evidence, then
// solve the parts in order; the first part that fails (no sample of
// positive weight, or code 9's propagation finding a belief summing to 0)
// leaves all its values invalid, stops the run, and makes the answer
// kErrNoUsefulSamples with "No useful samples have been generated for some
// of nodes." logged; otherwise 0.
// Code 7: importance tables learned from 25,000 weighted samples (updated
// every 2,500), then the network's sample count of importance samples.
int VRN_UpdateSampling7(VRN_network* network);
// Code 8: importance tables from loopy propagation (at most the EPIS
// record's proplen rounds, at most the longest path), small entries raised
// to the EPIS cut-off, then importance samples.
int VRN_UpdateSampling8(VRN_network* network);
// Code 9: the beliefs of proplen rounds of loopy propagation.
int VRN_UpdateSampling9(VRN_network* network);

#endif  // QELTA_INFERENCE_BN_ROUTINES_H_
