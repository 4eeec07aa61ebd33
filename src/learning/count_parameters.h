// Parameter estimation by counting: every CPT of a network becomes the
// normalised counts of its node's outcomes per parent configuration over
// the records of a complete data set, optionally started from the current
// tables weighted as prior counts.
//
// Thread use: reentrant; the network and data set belong to the caller.
#ifndef QELTA_LEARNING_COUNT_PARAMETERS_H_
#define QELTA_LEARNING_COUNT_PARAMETERS_H_

#include <string>
#include <vector>

#include "learning/dataset.h"

class VRN_network;

// Sets every CPT from the data. pseudoCount 0 starts from zero counts and
// adds 1/r to each cell of a column that holds a zero; any other value
// multiplies the current table by it. logLikelihood (when given) receives
// the natural log-likelihood of the records under the new tables.
// 0 on success. Failures change no table and log a message:
//   -2 when the number of matches differs from the live-node count, or a
//      match names a bad handle or a node twice;
//   -51 when a node's definition is not a CPT;
//   -4 when a matched column is out of range, continuous, has a missing
//      value or a value outside its node's outcomes (the message names it).
[[nodiscard]] int VRN_CountParameters(VRN_network& net, const VRN_dataset& data,
                                      const std::vector<VRN_dataMatch>& matches,
                                      double* logLikelihood, double pseudoCount);

// Turns a table of prior-plus-record counts (outcomes per column, the last
// dimension) into probabilities as VRN_CountParameters does: with no prior
// a column holding a zero first gets 1/outcomes in every cell; a column
// summing to 0 becomes uniform.
void VRN_NormaliseCountedTable(double* items, int size, int outcomes, double pseudoCount);

// Why a structure search that counts cannot run on the data, or "" when it
// can: fewer than 3 records or 2 variables, or a variable with missing
// values, continuous or constant. The message starts with `learner` (e.g.
// "BS") and names the variable.
std::string VRN_CountingDataProblem(const VRN_dataset& data,
                                    const char* learner);

#endif  // QELTA_LEARNING_COUNT_PARAMETERS_H_
