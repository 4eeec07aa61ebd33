// Expression evaluation (a tree of about 50 nodes of operators and built-in
// calls, variables bound to context slots) and parsing (a text of 1 KB).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "equations/expression_parser.h"

namespace {

const char kFormula[] =
    "a*Sin(b)+c/(d+1)-Max(a,b,c)*Sqrt(Abs(d))+(a>b ? Exp(-c) : Ln(d+2))"
    "+Pow10(0.5)*Trim(a,0,1)+b^2-c*d/3+Round(a*10)+NormalCDF(a,0,1)";

// Binds every variable to its slot in context; answers the node count.
int Bind(VRN_expression* node, VRN_evalContext& context) {
  if (auto* v = dynamic_cast<VRN_variable*>(node)) {
    v->SetSlot(context.GetSlot(v->GetName()));
    return 1;
  }
  if (auto* b = dynamic_cast<VRN_binaryOperator*>(node)) {
    return 1 + Bind(b->GetLeft(), context) + Bind(b->GetRight(), context);
  }
  if (auto* c = dynamic_cast<VRN_operatorConditional*>(node)) {
    return 1 + Bind(c->GetCondition(), context) + Bind(c->GetThen(), context) +
           Bind(c->GetElse(), context);
  }
  int count = 1;
  if (auto* f = dynamic_cast<VRN_function*>(node)) {
    for (VRN_expression* arg : f->GetArguments()) count += Bind(arg, context);
  }
  return count;
}

void BM_EvaluateTree(benchmark::State& state) {
  std::unique_ptr<VRN_expression> tree(
      VRN_ParseExpression(kFormula, nullptr, nullptr, nullptr, nullptr));
  VRN_evalContext context;
  const int nodes = Bind(tree.get(), context);
  double x = 0.25;
  for (auto _ : state) {
    for (int slot = 0; slot < context.GetSlotCount(); ++slot) {
      context.SetSlotValue(slot, x + slot);
    }
    x += 1e-9;
    benchmark::DoNotOptimize(tree->Evaluate(&context));
  }
  state.counters["nodes"] = nodes;
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvaluateTree);

void BM_ParseText(benchmark::State& state) {
  std::string text = kFormula;
  while (text.size() < 1024) {
    text += "+";
    text += kFormula;
  }
  for (auto _ : state) {
    std::unique_ptr<VRN_expression> tree(
        VRN_ParseExpression(text.c_str(), nullptr, nullptr, nullptr, nullptr));
    benchmark::DoNotOptimize(tree.get());
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(text.size()));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseText);

}  // namespace

BENCHMARK_MAIN();
