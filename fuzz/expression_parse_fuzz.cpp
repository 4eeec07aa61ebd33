// Feeds arbitrary text to the expression parser. A text that parses must
// write to a text that parses to a tree writing the same way; the tree, its
// copy and the tree read back must evaluate to the same bits with twin
// generators; recorded positions must lie in the text. Any difference
// aborts.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "base/random.h"
#include "equations/expression_parser.h"
#include "equations/std_functions.h"

namespace {

using Tree = std::unique_ptr<VRN_expression>;

// Binomial draws once per trial, so a huge trial count is slow by design;
// such trees are checked without evaluation.
bool HasSlowCall(const VRN_expression* node) {
  if (auto* call = dynamic_cast<const VRN_function*>(node)) {
    if (std::strcmp(call->GetName(), "Binomial") == 0) return true;
    for (const VRN_expression* arg : call->GetArguments()) {
      if (HasSlowCall(arg)) return true;
    }
    return false;
  }
  if (auto* binary = dynamic_cast<const VRN_binaryOperator*>(node)) {
    return HasSlowCall(binary->GetLeft()) || HasSlowCall(binary->GetRight());
  }
  if (auto* conditional = dynamic_cast<const VRN_operatorConditional*>(node)) {
    return HasSlowCall(conditional->GetCondition()) ||
           HasSlowCall(conditional->GetThen()) ||
           HasSlowCall(conditional->GetElse());
  }
  return false;
}

double EvaluateSeeded(const VRN_expression& tree) {
  VRN_randomGenerator generator(12345);
  VRN_evalContext context;
  context.SetRandomGenerator(&generator);
  return tree.Evaluate(&context);
}

bool SameValue(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string message;
  int position = -1;
  VRN_positionMap positions;
  Tree tree(VRN_ParseExpression(text.c_str(), &position, &message, &positions,
                                nullptr));
  const int length = static_cast<int>(std::strlen(text.c_str()));
  if (tree == nullptr) {
    if (message.empty() || position < 0 || position > length) std::abort();
    return 0;
  }
  for (const auto& entry : positions) {
    if (entry.second < 0 || entry.second >= length) std::abort();
  }
  std::string written;
  tree->Write(written);
  Tree again(VRN_ParseExpression(written.c_str(), nullptr, nullptr, nullptr,
                                 nullptr));
  if (again == nullptr) std::abort();
  std::string rewritten;
  again->Write(rewritten);
  if (rewritten != written) std::abort();
  Tree copy(tree->Clone());
  std::string copied;
  copy->Write(copied);
  if (copied != written) std::abort();
  if (tree->IsDeterministic() != again->IsDeterministic()) std::abort();
  if (!HasSlowCall(tree.get())) {
    const double value = EvaluateSeeded(*tree);
    if (!SameValue(value, EvaluateSeeded(*again)) ||
        !SameValue(value, EvaluateSeeded(*copy))) {
      std::abort();
    }
  }
  return 0;
}
