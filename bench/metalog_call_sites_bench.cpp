// A user function holding a Metalog, called from two places: with the same
// and with different arguments both fit once per call site, so the two
// cost about the same per evaluation.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "base/random.h"
#include "equations/expression_parser.h"
#include "equations/ext_functions.h"

namespace {

void Run(benchmark::State& state, const char* text) {
  VRN_extFunctionContainer functions;
  int index = 0, position = 0;
  std::string message;
  if (!functions.SetDefinitions(
          {"m(a) = Metalog(0, Inf(), 3, 20, a, 50, 0.1, 0.5, 0.9)"}, index,
          position, message)) {
    state.SkipWithError(message.c_str());
    return;
  }
  std::unique_ptr<VRN_expression> tree(
      VRN_ParseExpression(text, nullptr, nullptr, nullptr, &functions));
  if (tree == nullptr) {
    state.SkipWithError("parse failed");
    return;
  }
  VRN_randomGenerator generator(1);
  VRN_evalContext context;
  context.SetRandomGenerator(&generator);
  for (auto _ : state) benchmark::DoNotOptimize(tree->Evaluate(&context));
  state.SetItemsProcessed(state.iterations());
}

void BM_UserMetalogSameArguments(benchmark::State& state) {
  Run(state, "m(35) + m(35)");
}
BENCHMARK(BM_UserMetalogSameArguments);

void BM_UserMetalogDifferentArguments(benchmark::State& state) {
  Run(state, "m(35) + m(36)");
}
BENCHMARK(BM_UserMetalogDifferentArguments);

}  // namespace

BENCHMARK_MAIN();
