// Table kernels used by inference: marginalisation, products, reordering.
#include <benchmark/benchmark.h>

#include "base/matrix.h"

namespace {

// A table of `dims` dimensions of `size` outcomes each, with varied items.
VRN_matrix MakeTable(int dims, int size) {
  VRN_intArray sizes;
  for (int i = 0; i < dims; ++i) sizes.Add(size);
  VRN_matrix m(sizes);
  for (int i = 0; i < m.GetItemCount(); ++i) {
    *m.ItemAddress(i) = 0.1 + (i % 7) * 0.05;
  }
  return m;
}

void BM_SumOutDimension(benchmark::State& state) {
  const VRN_matrix table = MakeTable(static_cast<int>(state.range(0)), 4);
  VRN_doubleArray weights;
  for (int k = 0; k < 4; ++k) weights.Add(1.0);
  VRN_matrix out;
  for (auto _ : state) {
    int status = table.SumOutDimensionInto(0, weights, out);
    benchmark::DoNotOptimize(status);
    benchmark::DoNotOptimize(out.GetItems().Items());
  }
  state.SetItemsProcessed(state.iterations() * table.GetItemCount());
}
BENCHMARK(BM_SumOutDimension)->Arg(4)->Arg(8);

void BM_MultiplyAndSumOut(benchmark::State& state) {
  const int dims = static_cast<int>(state.range(0));
  const VRN_matrix table = MakeTable(dims, 4);
  // A factor over the first and the last dimension, in reverse order.
  const VRN_matrix factor = MakeTable(2, 4);
  VRN_intArray map;
  map.Add(dims - 1);
  map.Add(0);
  for (auto _ : state) {
    state.PauseTiming();
    VRN_matrix work(table);
    state.ResumeTiming();
    int status = work.MultiplyAndSumOut(0, factor, map);
    benchmark::DoNotOptimize(status);
  }
  state.SetItemsProcessed(state.iterations() * table.GetItemCount());
}
BENCHMARK(BM_MultiplyAndSumOut)->Arg(4)->Arg(8);

void BM_ChangeOrderOfDimensions(benchmark::State& state) {
  const int dims = static_cast<int>(state.range(0));
  VRN_matrix table = MakeTable(dims, 4);
  VRN_intArray order;
  for (int i = dims - 1; i >= 0; --i) order.Add(i);
  for (auto _ : state) {
    int status = table.ChangeOrderOfDimensions(order);
    benchmark::DoNotOptimize(status);
  }
  state.SetItemsProcessed(state.iterations() * table.GetItemCount());
}
BENCHMARK(BM_ChangeOrderOfDimensions)->Arg(4)->Arg(8);

void BM_Normalize(benchmark::State& state) {
  VRN_matrix table = MakeTable(static_cast<int>(state.range(0)), 4);
  for (auto _ : state) {
    int status = table.Normalize();
    benchmark::DoNotOptimize(status);
  }
  state.SetItemsProcessed(state.iterations() * table.GetItemCount());
}
BENCHMARK(BM_Normalize)->Arg(8);

void BM_CoordinatesNext(benchmark::State& state) {
  const VRN_matrix table = MakeTable(static_cast<int>(state.range(0)), 4);
  VRN_coordinates c(table);
  c.Lock(1);
  c[1] = 2;
  for (auto _ : state) {
    c.GoFirst();
    int status = c.UpdateIndex(table);
    double sum = 0.0;
    while (status == 0) {
      sum += table.GetItem(c.GetIndex());
      status = c.Next(table);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * table.GetItemCount() / 4);
}
BENCHMARK(BM_CoordinatesNext)->Arg(8);

}  // namespace

BENCHMARK_MAIN();
