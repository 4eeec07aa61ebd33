// Evaluation of a bound tree of about 50 nodes, the same formula as the
// body of a user-defined function called with the variables as arguments,
// and Metalog draws once the fit is cached.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "base/random.h"
#include "equations/expression_parser.h"
#include "equations/expression_visitor.h"
#include "equations/ext_functions.h"

namespace {

const char kBody[] =
    "a*Sin(b)+c/(d+1)-Max(a,b,c)*Sqrt(Abs(d))+(a>b ? Exp(-c) : Ln(d+2))"
    "+Pow10(0.5)*Trim(a,0,1)+b^2-c*d/3+Round(a*10)+NormalCDF(a,0,1)";

using Tree = std::unique_ptr<VRN_expression>;

// Binds text's variables a, b, c, d to slots 0..3 of context.
Tree BoundTree(const std::string& text, VRN_evalContext& context,
               VRN_extFunctionFactory* functions) {
  for (const char* name : {"a", "b", "c", "d"}) context.GetSlot(name);
  Tree tree(VRN_ParseExpression(text.c_str(), nullptr, nullptr, nullptr,
                                functions));
  BindExpression(tree.get(), context);
  return tree;
}

void Run(benchmark::State& state, VRN_expression& tree,
         VRN_evalContext& context) {
  double x = 0.25;
  for (auto _ : state) {
    for (int slot = 0; slot < 4; ++slot) context.SetSlotValue(slot, x + slot);
    x += 1e-9;
    benchmark::DoNotOptimize(tree.Evaluate(&context));
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_EvaluateBoundTree(benchmark::State& state) {
  VRN_evalContext context;
  Tree tree = BoundTree(kBody, context, nullptr);
  Run(state, *tree, context);
}
BENCHMARK(BM_EvaluateBoundTree);

void BM_EvaluateUserFunctionCall(benchmark::State& state) {
  VRN_extFunctionContainer functions;
  int index = 0, position = 0;
  std::string message;
  if (!functions.SetDefinitions({std::string("f(a,b,c,d)=") + kBody}, index,
                                position, message)) {
    state.SkipWithError(message.c_str());
    return;
  }
  VRN_evalContext context;
  Tree tree = BoundTree("f(a,b,c,d)", context, &functions);
  Run(state, *tree, context);
}
BENCHMARK(BM_EvaluateUserFunctionCall);

void BM_MetalogDrawAfterFit(benchmark::State& state) {
  VRN_randomGenerator generator(1);
  VRN_evalContext context;
  context.SetRandomGenerator(&generator);
  Tree tree(VRN_ParseExpression(
      "Metalog(0, Inf(), 4, 1.19, 1.43, 1.94, 2.72, 3.81, 5.16, 6.19, "
      "0.05, 0.1, 0.25, 0.5, 0.75, 0.9, 0.95)",
      nullptr, nullptr, nullptr, nullptr));
  for (auto _ : state) benchmark::DoNotOptimize(tree->Evaluate(&context));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MetalogDrawAfterFit);

}  // namespace

BENCHMARK_MAIN();
