// What inference makes of a table whose columns are not distributions.
//
// Tables are stored as they were given (a file format or a caller may hand
// over columns summing to 0.7, 15 or 0), but every algorithm must compute
// with distributions, and the same ones whatever path the table came by:
// each column is divided by its sum, and a column summing to zero becomes
// uniform. Relevance reasoning, where every algorithm's working tables come
// from, applies this when it takes a node's table; the update entry refuses
// tables with negative or non-finite entries before any algorithm runs.
//
// Stateless functions; thread use is that of the table or network passed.
#ifndef QELTA_INFERENCE_TABLE_COLUMNS_H_
#define QELTA_INFERENCE_TABLE_COLUMNS_H_

class VRN_matrix;
class VRN_network;

namespace qelta {

// Results of ClassifyColumns.
inline constexpr int kColumnsDistributions = 0;
inline constexpr int kColumnsUnnormalised = 1;
inline constexpr int kColumnsInvalid = -1;

// Scans the columns (runs of the last dimension) of table: kColumnsInvalid
// when an entry is negative or not finite, else kColumnsUnnormalised when
// some column's sum is off 1 by more than rounding, else
// kColumnsDistributions. An empty table counts as distributions. Allocates
// nothing.
int ClassifyColumns(const VRN_matrix& table);

// A column's sum may be off 1 by this much and still count as a
// distribution: rounding of a few dozen entries.
inline constexpr double kColumnSumTolerance = 1e-14;

}  // namespace qelta

// Checks the inference table of every node of network (of every node but
// the equation nodes, whose tables are discretized on demand, without
// equations); of a noisy node, its parameters instead. Answers 0, or -2
// with "Node [id] has a negative or non-finite probability in its table"
// (or, for a noisy node, "Node [id] has a parameter that is not a
// probability") logged for the first node whose table holds such an entry.
int VRN_CheckInferenceTables(VRN_network* network, bool equations = true);

#endif  // QELTA_INFERENCE_TABLE_COLUMNS_H_
