// Reading and writing the Ergo and Netica text formats, on the public
// benchmark networks munin, mildew, diabetes and link of the shared data
// folder (read once from their XMLBIF copies, format code 6).
//
// BM_Write/<format>/<name> times writing the network to a scratch file;
// BM_Read/<format>/<name> times reading that file into a fresh network.
// bytes_per_second (shown as MB/s) is the file's size per iteration.
// Networks missing from the folder are skipped with a message.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

#include "base/status.h"
#include "io/format.h"
#include "network/network.h"

namespace {

namespace fs = std::filesystem;

const std::string kNetworks = std::string(QELTA_SHARED_DIR) +
                              "/data/networks/xmlbif/";
constexpr const char* kNames[] = {"munin", "mildew", "diabetes", "link"};

struct Format {
  const char* name;
  const char* suffix;
  int code;
};
constexpr Format kFormats[] = {{"ergo", ".erg", qelta::kFormatErgo},
                               {"netica", ".dne", qelta::kFormatNetica}};

// The network read from its XMLBIF copy; null when it cannot be read.
VRN_network* Network(const std::string& name) {
  static std::map<std::string, std::unique_ptr<VRN_network>> cache;
  auto found = cache.find(name);
  if (found != cache.end()) return found->second.get();
  auto network = std::make_unique<VRN_network>();
  const std::string path = kNetworks + name + ".xml";
  if (network->ReadFile(path.c_str(), qelta::kFormatXmlBif, 0) != qelta::kOk) {
    network.reset();
  }
  return (cache[name] = std::move(network)).get();
}

std::string ScratchPath(const std::string& name, const Format& format) {
  return (fs::temp_directory_path() /
          ("qelta_bench_" + std::to_string(getpid()) + "_" + name +
           format.suffix))
      .string();
}

void BM_Write(benchmark::State& state, std::string name, Format format) {
  VRN_network* network = Network(name);
  if (network == nullptr) {
    state.SkipWithError(("cannot read " + kNetworks + name + ".xml").c_str());
    return;
  }
  const std::string path = ScratchPath(name, format);
  for (auto _ : state) {
    if (network->WriteFile(path.c_str(), format.code, 0) != qelta::kOk) {
      state.SkipWithError("write failed");
      break;
    }
  }
  std::error_code error;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(fs::file_size(path, error)));
  std::remove(path.c_str());
}

void BM_Read(benchmark::State& state, std::string name, Format format) {
  VRN_network* network = Network(name);
  if (network == nullptr) {
    state.SkipWithError(("cannot read " + kNetworks + name + ".xml").c_str());
    return;
  }
  const std::string path = ScratchPath(name, format);
  if (network->WriteFile(path.c_str(), format.code, 0) != qelta::kOk) {
    state.SkipWithError("write failed");
    return;
  }
  for (auto _ : state) {
    VRN_network copy;
    if (copy.ReadFile(path.c_str(), format.code, 0) != qelta::kOk) {
      state.SkipWithError("read failed");
      break;
    }
    benchmark::DoNotOptimize(copy.GetNumberOfNodes());
  }
  std::error_code error;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(fs::file_size(path, error)));
  std::remove(path.c_str());
}

const bool kRegistered = [] {
  for (const Format& format : kFormats) {
    for (const char* name : kNames) {
      const std::string suffix = std::string(format.name) + "/" + name;
      benchmark::RegisterBenchmark(("BM_Write/" + suffix).c_str(), BM_Write,
                                   std::string(name), format)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("BM_Read/" + suffix).c_str(), BM_Read,
                                   std::string(name), format)
          ->Unit(benchmark::kMillisecond);
    }
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
