// Cost the JNI frame adds to every call for close-while-running safety: one
// call scope, one acquisition of the object's handle and its release.
#include <benchmark/benchmark.h>

#include "base/handle_table.h"

namespace {

struct Payload {
  int value = 1;
};

void BM_CallScopeAcquireRelease(benchmark::State& state) {
  const qelta::ForeignHandle handle = qelta::RegisterObject(new Payload());
  for (auto _ : state) {
    qelta::CallScope scope;
    auto* payload = static_cast<Payload*>(qelta::CallScope::Acquire(handle));
    benchmark::DoNotOptimize(payload->value);
  }
  qelta::CloseObject(handle);
}
BENCHMARK(BM_CallScopeAcquireRelease);

// The same with every thread on its own object, as separate Java objects
// used from separate threads would be.
void BM_CallScopeAcquireReleaseThreads(benchmark::State& state) {
  const qelta::ForeignHandle handle = qelta::RegisterObject(new Payload());
  for (auto _ : state) {
    qelta::CallScope scope;
    auto* payload = static_cast<Payload*>(qelta::CallScope::Acquire(handle));
    benchmark::DoNotOptimize(payload->value);
  }
  qelta::CloseObject(handle);
}
BENCHMARK(BM_CallScopeAcquireReleaseThreads)->Threads(4);

void BM_RegisterAndClose(benchmark::State& state) {
  for (auto _ : state) {
    qelta::CloseObject(qelta::RegisterObject(new Payload()));
  }
}
BENCHMARK(BM_RegisterAndClose);

}  // namespace

BENCHMARK_MAIN();
