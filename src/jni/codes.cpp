#include "jni/codes.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace qelta::jni {

namespace {

template <std::size_t N>
constexpr CodeSet Set(const char* group, const CodeName (&names)[N],
                      bool hex = false) {
  return CodeSet{group, names, N, hex};
}

constexpr CodeName kNodeTypeNames[] = {
    {4, "EQUATION"},    {8, "UTILITY"},    {17, "DECISION"},
    {18, "CPT"},        {20, "TRUTH_TABLE"}, {50, "CAST"},
    {82, "DEMORGAN"},   {146, "NOISY_MAX"}, {274, "NOISY_ADDER"},
    {520, "MAU"}};
constexpr CodeName kTemporalTypeNames[] = {
    {0, "NORMAL"}, {1, "ANCHOR"}, {2, "TERMINAL"}, {3, "PLATE"}};
constexpr CodeName kDiagRoleNames[] = {
    {0, "TARGET"}, {1, "OBSERVATION"}, {2, "AUXILIARY"}};
constexpr CodeName kBayesianAlgorithmNames[] = {
    {0, "CLUSTERING"},
    {1, "REJECTION_SAMPLING"},
    {2, "POLYTREE"},
    {3, "EVIDENCE_WEIGHTING"},
    {4, "IMPORTANCE_SAMPLING"},
    {5, "WEIGHTED_SAMPLING"},
    {6, "BACKWARD_SAMPLING"},
    {7, "ADAPTIVE_IMPORTANCE_SAMPLING"},
    {8, "LOOPY_IMPORTANCE_SAMPLING"},
    {9, "LOOPY_BELIEF_PROPAGATION"},
    {10, "PART_JUNCTION_TREES"},
    {11, "RELEVANCE_DECOMPOSITION"},
    {12, "RELEVANCE_DECOMPOSITION_ONE_BATCH"}};
constexpr CodeName kInfluenceDiagramAlgorithmNames[] = {
    {0, "WHOLE_DIAGRAM"}, {1, "BEST_POLICY"}};
constexpr CodeName kDeMorganParentTypeNames[] = {
    {0, "INHIBITOR"}, {1, "REQUIREMENT"}, {2, "CAUSE"}, {3, "BARRIER"}};
constexpr CodeName kSingleFaultAlgorithmNames[] = {
    {0x200, "RELATIVE_ENTROPY"},
    {0x400, "ABSOLUTE_ENTROPY"},
    {0x800, "PROBABILITY_CHANGE"}};
constexpr CodeName kMultiFaultAlgorithmNames[] = {
    {0x101, "LARGEST_CHANGE"},
    {0x102, "NORMALISED_DISTANCE"},
    {0x103, "COSINE_DISTANCE"},
    {0x104, "MEAN_ABSOLUTE_CHANGE"},
    {0x105, "MEAN_OF_DISTANCE_AND_CHANGE"},
    {0x41, "CERTAINTY_A"},
    {0x81, "CERTAINTY_B"},
    {0x0A, "ENTROPY_AT_LEAST_ONE_INDEPENDENT"},
    {0x12, "ENTROPY_EXACTLY_ONE_INDEPENDENT"},
    {0x22, "ENTROPY_ALL_INDEPENDENT"},
    {0x0C, "ENTROPY_AT_LEAST_ONE_JOINT"},
    {0x14, "ENTROPY_EXACTLY_ONE_JOINT"},
    {0x24, "ENTROPY_ALL_JOINT"}};
constexpr CodeName kDiscretizationMethodNames[] = {
    {0, "GROUPED_VALUES"}, {1, "EQUAL_WIDTH"}, {2, "EQUAL_COUNT"}};
constexpr CodeName kPatternEdgeNames[] = {
    {0, "NONE"}, {1, "UNDIRECTED"}, {2, "DIRECTED"}};

[[noreturn]] void Refuse(const char* argument, const std::string& value,
                         const std::string& allowed) {
  throw std::invalid_argument("Invalid value " + value + " of argument " +
                              argument + "; valid values are " + allowed);
}

std::string CodeText(int code, bool hex) {
  if (!hex || code < 0) return std::to_string(code);
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(code));
  return text;
}

}  // namespace

const CodeSet kNodeTypes = Set("NodeType", kNodeTypeNames);
const CodeSet kTemporalTypes = Set("TemporalType", kTemporalTypeNames);
const CodeSet kDiagRoles = Set("DiagRole", kDiagRoleNames);
const CodeSet kBayesianAlgorithms =
    Set("BayesianAlgorithm", kBayesianAlgorithmNames);
const CodeSet kInfluenceDiagramAlgorithms =
    Set("InfluenceDiagramAlgorithm", kInfluenceDiagramAlgorithmNames);
const CodeSet kDeMorganParentTypes =
    Set("DeMorganParentType", kDeMorganParentTypeNames);
const CodeSet kSingleFaultAlgorithms =
    Set("SingleFaultAlgorithm", kSingleFaultAlgorithmNames, true);
const CodeSet kMultiFaultAlgorithms =
    Set("MultiFaultAlgorithm", kMultiFaultAlgorithmNames, true);
const CodeSet kDiscretizationMethods =
    Set("DiscretizationMethod", kDiscretizationMethodNames);
const CodeSet kPatternEdges = Set("PatternEdge", kPatternEdgeNames);

std::string NameOfCode(const CodeSet& set, int code) {
  for (std::size_t i = 0; i < set.count; ++i) {
    if (set.names[i].code == code) return std::string(set.group) + "." + set.names[i].name;
  }
  return std::to_string(code);
}

void ValidateCode(const CodeSet& set, const char* argument, int value) {
  std::string allowed;
  for (std::size_t i = 0; i < set.count; ++i) {
    if (set.names[i].code == value) return;
    if (i > 0) allowed += ", ";
    allowed += std::string(set.group) + "." + set.names[i].name + " (" +
               CodeText(set.names[i].code, set.hex) + ")";
  }
  Refuse(argument, CodeText(value, set.hex), allowed);
}

void ValidateAtLeast(const char* argument, int value, int minimum) {
  if (value < minimum) {
    Refuse(argument, std::to_string(value),
           std::to_string(minimum) + " and above");
  }
}

void ValidateProbability(const char* argument, double value,
                         bool ends_allowed) {
  const bool inside =
      ends_allowed ? value >= 0.0 && value <= 1.0 : value > 0.0 && value < 1.0;
  if (inside) return;
  // The shortest of 15 or 17 digits that reads back as the value.
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  if (std::strtod(text, nullptr) != value) {
    std::snprintf(text, sizeof text, "%.17g", value);
  }
  Refuse(argument, text,
         ends_allowed ? "from 0 to 1" : "above 0 and below 1");
}

}  // namespace qelta::jni
