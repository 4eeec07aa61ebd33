#include "io/text/netica_expression.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "base/status.h"
#include "equations/expression.h"
#include "equations/std_functions.h"

namespace {

struct NeticaFunction {
  const char* netica_name;
  // n >= 0: exactly n arguments; -n: at least n.
  int netica_arity;
  const char* system_name;
  // The Netica argument each system argument takes, in order; a negative
  // first entry means "the same order".
  int map[4];
};

// Sorted by byte order of the Netica name for the binary search. The
// distributions drop their first Netica argument, the node's own variable.
constexpr NeticaFunction kNeticaFunctions[] = {
    {"BernoulliDist", 2, "Bernoulli", {1, 2, 3, 4}},
    {"BetaDist", 3, "Beta", {1, 2, 3, 4}},
    {"BinomialDist", 3, "Binomial", {1, 2, 3, 4}},
    {"ExponentialDist", 2, "Exponential", {1, 2, 3, 4}},
    {"LognormalDist", 3, "Lognormal", {1, 2, 3, 4}},
    {"NormalDist", 3, "Normal", {1, 2, 3, 4}},
    {"TriangularEnd3Dist", 4, "Triangular", {1, 2, 3, 4}},
    {"UniformDist", 3, "Uniform", {1, 2, 3, 4}},
    {"WeibullDist", 3, "Weibull", {1, 2, 3, 4}},
    {"binomial", 2, "Combin", {-1, 0, 0, 0}},
    {"clip", 3, "Trim", {2, 0, 1, 0}},
    {"plus", -2, "Sum", {-1, 0, 0, 0}},
};

const NeticaFunction* FindNeticaFunction(const char* name) {
  const NeticaFunction* begin = kNeticaFunctions;
  const NeticaFunction* end = kNeticaFunctions + std::size(kNeticaFunctions);
  while (begin < end) {
    const NeticaFunction* middle = begin + (end - begin) / 2;
    const int order = std::strcmp(middle->netica_name, name);
    if (order == 0) return middle;
    if (order < 0) {
      begin = middle + 1;
    } else {
      end = middle;
    }
  }
  return nullptr;
}

}  // namespace

bool NeticaExpressionParser::CreateFunction(const std::string& name,
                                            VRN_function*& function,
                                            int& parameter_count,
                                            bool& at_least) {
  const NeticaFunction* row = FindNeticaFunction(name.c_str());
  if (row == nullptr) {
    return VRN_expressionParser::CreateFunction(name, function,
                                                parameter_count, at_least);
  }
  function = new VRN_unknownFunction(name);
  parameter_count = std::abs(row->netica_arity);
  at_least = row->netica_arity < 0;
  return true;
}

VRN_expression* NeticaExpressionParser::TranslateFunction(
    VRN_function* function, std::string& message) {
  std::unique_ptr<VRN_function> netica(function);
  const NeticaFunction* row = FindNeticaFunction(netica->GetName());
  // A built-in or user function of the same name is not a Netica call.
  if (row == nullptr || dynamic_cast<VRN_unknownFunction*>(function) ==
                            nullptr) {
    return netica.release();
  }
  int system_arity = 0;
  std::unique_ptr<VRN_function> translated(
      VRN_stdFunction::Create(row->system_name, &system_arity, nullptr));
  if (translated == nullptr) {
    message = "Unexpected error in TranslateFunction";
    return nullptr;
  }
  const int count =
      row->netica_arity < 0 ? netica->GetArgumentCount() : system_arity;
  const std::vector<VRN_expression*>& arguments = netica->GetArguments();
  for (int i = 0; i < count; ++i) {
    const int from = row->map[0] < 0 ? i : row->map[i];
    if (from < 0 || from >= static_cast<int>(arguments.size())) {
      message = "Unexpected error in TranslateFunction";
      return nullptr;
    }
    translated->AddArgument(arguments[static_cast<std::size_t>(from)]->Clone());
  }
  return translated.release();
}

namespace qelta {

int TranslateNeticaEquation(const std::string& equation,
                            std::string* translated, std::string* error) {
  const std::size_t equals = equation.find('=');
  if (equals == std::string::npos) {
    *error = "Can't find the '=' sign in equation";
    return kErrOutOfRange;
  }
  NeticaExpressionParser parser;
  std::string message;
  std::unique_ptr<VRN_expression> tree(parser.Parse(
      equation.c_str() + equals + 1, &message, nullptr, nullptr, nullptr));
  if (tree == nullptr) {
    *error = message;
    return kErrOutOfRange;
  }
  translated->clear();
  tree->Write(*translated);
  return kOk;
}

int NeticaNodeEquation(const std::string& id, const std::string& equation,
                       std::string* node_equation, std::string* error) {
  std::string text;
  const int rc = TranslateNeticaEquation(equation, &text, error);
  if (rc != kOk) return rc;
  *node_equation = id + "=(" + text + ")";
  return kOk;
}

}  // namespace qelta
