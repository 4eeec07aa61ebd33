// Reading and writing a large delimited data file: 1,000,000 records of six
// int columns (0..4), two float columns and two text columns with quoted
// values, 2% of the cells "*". Reports records/s and bytes/s both ways.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "learning/dataset.h"

namespace {

constexpr int kRecords = 1000000;

// Writes the file once per process; its path and size.
const std::string& DataFile(long* bytes) {
  static long size = 0;
  // Leaked on purpose: the exit handler below still needs the name.
  static const std::string& path = *new std::string([] {
    const std::string name = "/tmp/qelta_dataset_bench_" + std::to_string(getpid()) + ".csv";
    std::FILE* file = std::fopen(name.c_str(), "wb");
    std::mt19937 random(7);
    std::fputs("i0,i1,i2,i3,i4,i5,f0,f1,t0,t1\n", file);
    const char* words[] = {"\"red\"", "\"a,b\"", "\"x\"\"y\"", "\"blue\""};
    for (int r = 0; r < kRecords; ++r) {
      for (int c = 0; c < 10; ++c) {
        if (c > 0) std::fputc(',', file);
        if (random() % 50 == 0) {
          std::fputc('*', file);
        } else if (c < 6) {
          std::fprintf(file, "%d", static_cast<int>(random() % 5));
        } else if (c < 8) {
          std::fprintf(file, "%.4g", static_cast<double>(random() % 100000) / 977.0);
        } else {
          std::fputs(words[random() % 4], file);
        }
      }
      std::fputc('\n', file);
    }
    size = std::ftell(file);
    std::fclose(file);
    return name;
  }());
  static const int removal = std::atexit([] { std::remove(path.c_str()); });
  static_cast<void>(removal);
  *bytes = size;
  return path;
}

void BM_ReadDataFile(benchmark::State& state) {
  long bytes = 0;
  const std::string& path = DataFile(&bytes);
  for (auto _ : state) {
    VRN_dataset data;
    std::string error;
    if (data.ReadFile(path, nullptr, &error) != 0) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(data.GetRecordCount());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(kRecords), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadDataFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteDataFile(benchmark::State& state) {
  long bytes = 0;
  const std::string& path = DataFile(&bytes);
  VRN_dataset data;
  std::string error;
  if (data.ReadFile(path, nullptr, &error) != 0) state.SkipWithError(error.c_str());
  const std::string out = path + ".out";
  for (auto _ : state) {
    if (data.WriteFile(out, nullptr, &error) != 0) state.SkipWithError(error.c_str());
  }
  std::FILE* file = std::fopen(out.c_str(), "rb");
  std::fseek(file, 0, SEEK_END);
  state.SetBytesProcessed(state.iterations() * std::ftell(file));
  std::fclose(file);
  std::remove(out.c_str());
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(kRecords), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_WriteDataFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
