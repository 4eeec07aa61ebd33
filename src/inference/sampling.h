// The frame of the forward samplers (algorithm codes 1, 3 to 6): the
// per-node working records of one relevance part and the helpers the
// routines share. The routines themselves are declared in bn_routines.h.
//
// Ownership: a record borrows its node and its relevance record's table;
// the running routine owns the records. Single-threaded.
#ifndef QELTA_INFERENCE_SAMPLING_H_
#define QELTA_INFERENCE_SAMPLING_H_

#include <vector>

class VRN_node;

namespace qelta {
// What the samplers log with kErrNoUsefulSamples.
extern const char* const kNoUsefulSamples;
}  // namespace qelta

class VRN_relevancePart;
class VRN_relevanceParts;

// The working record of one node of a part during sampling.
struct VRN_sampleRecord {
  int mark = 0;   // code 6: 20 once its undrawn parents were drawn backwards
  int state = 0;  // outcome in the current sample; -1 not drawn yet
  std::vector<double> sums;  // per outcome: accepted samples or weights
  std::vector<double> samplingTable;  // code 4: the table it draws from
  std::vector<double> accumulated;    // code 4: weights per table cell
  VRN_node* node = nullptr;           // null for an auxiliary record
  int outcomes = 0;
  int evidence = -1;  // the record's evidence (derived and virtual included)
  const double* table = nullptr;
  int tableSize = 0;
  int parentCount = 0;
  std::vector<int> parentPositions;  // in the part's order
  std::vector<int> parentStrides;    // in the table
};

// Solves every part of exactly one record with its table as the beliefs,
// destroying and removing it; the other parts keep their order.
void VRN_RemoveSingleNodeParts(VRN_relevanceParts* parts);

// One record per record of part, in the part's current order, with node,
// outcome count, evidence, table and parents filled; sums sized and zero.
// Empty when the part is malformed. Throws std::bad_alloc.
std::vector<VRN_sampleRecord> VRN_BuildSampleRecords(VRN_relevancePart* part);

// Divides the n values by sum (by their own sum when sum is 0) unless that
// is 0; returns the sum used.
double VRN_NormalizeArray(double* values, int n, double sum);

#endif  // QELTA_INFERENCE_SAMPLING_H_
