// The int codes Java methods take, with the names Java gives them, and the
// checks that refuse a code or setting outside its set before anything
// changes. A refusal is a std::invalid_argument (QELTAException.NO_CODE in
// Java) whose message names the argument, the value and what is allowed.
#ifndef QELTA_JNI_CODES_H_
#define QELTA_JNI_CODES_H_

#include <cstddef>
#include <string>

namespace qelta::jni {

struct CodeName {
  int code;
  const char* name;  // the Java constant's name within its group
};

// The codes of one Java constant class (group), as the javadoc lists them.
struct CodeSet {
  const char* group;  // the Java class, e.g. "NodeType"
  const CodeName* names;
  std::size_t count;
  bool hex;  // the codes read best in hexadecimal
};

extern const CodeSet kNodeTypes;
extern const CodeSet kTemporalTypes;
extern const CodeSet kDiagRoles;
extern const CodeSet kBayesianAlgorithms;
extern const CodeSet kInfluenceDiagramAlgorithms;
extern const CodeSet kDeMorganParentTypes;
extern const CodeSet kSingleFaultAlgorithms;
extern const CodeSet kMultiFaultAlgorithms;
extern const CodeSet kDiscretizationMethods;
extern const CodeSet kPatternEdges;

// "Group.NAME" of code in set, as Java names it; the decimal code when the
// set has no such code.
std::string NameOfCode(const CodeSet& set, int code);

// Throws std::invalid_argument "Invalid value <value> of argument
// <argument>; valid values are <Group.NAME (code)>, ..." unless value is one
// of the set's codes.
void ValidateCode(const CodeSet& set, const char* argument, int value);

// Throws std::invalid_argument "Invalid value <value> of argument
// <argument>; valid values are <minimum> and above" when value < minimum.
void ValidateAtLeast(const char* argument, int value, int minimum);

// Throws std::invalid_argument "Invalid value <value> of argument
// <argument>; valid values are above 0 and below 1" (or "from 0 to 1" when
// the ends are allowed) for a value outside, NaN included.
void ValidateProbability(const char* argument, double value, bool ends_allowed);

}  // namespace qelta::jni

#endif  // QELTA_JNI_CODES_H_
