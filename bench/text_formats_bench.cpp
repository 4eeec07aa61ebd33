// Reading and writing the text network formats, in MB/s of file text.
//
// Every network is read once from its XMLBIF copy (QELTA_SHARED_DIR
// "/data/networks/xmlbif/<name>.xml") and written in each format to a
// scratch file. BM_Write/<format>/<name> times writing the whole network,
// BM_Read/<format>/<name> reading that file into a fresh network; both
// count the file's bytes, so Google Benchmark reports bytes_per_second.
// Networks: munin, mildew, diabetes and link, those present.
//
// Without the shared data folder the program says so and runs nothing.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/status.h"
#include "io/format.h"
#include "network/network.h"

namespace {

namespace fs = std::filesystem;

const std::string kNetworks = std::string(QELTA_SHARED_DIR) + "/data/networks";

struct Format {
  const char* name;
  const char* extension;
  int code;
};

// Other text formats join this list as they are built.
const Format kFormats[] = {{"vrn", ".vrn", qelta::kFormatVrn}};

struct Case {
  std::shared_ptr<VRN_network> network;
  std::string path;  // the scratch file in the format
  std::int64_t bytes = 0;
};

void BM_Write(benchmark::State& state, Case c, int code) {
  for (auto _ : state) {
    if (c.network->WriteFile(c.path.c_str(), code, 0) != qelta::kOk) {
      state.SkipWithError("write failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * c.bytes);
}

void BM_Read(benchmark::State& state, Case c, int code) {
  for (auto _ : state) {
    VRN_network network;
    if (network.ReadFile(c.path.c_str(), code, 0) != qelta::kOk) {
      state.SkipWithError("read failed");
      break;
    }
    benchmark::DoNotOptimize(network.GetNumberOfNodes());
  }
  state.SetBytesProcessed(state.iterations() * c.bytes);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!fs::exists(kNetworks)) {
    std::printf("The shared data folder %s is absent: nothing to measure\n",
                kNetworks.c_str());
    return 0;
  }
  std::vector<std::string> scratch;
  for (const char* name : {"munin", "mildew", "diabetes", "link"}) {
    const std::string source = kNetworks + "/xmlbif/" + name + ".xml";
    if (!fs::exists(source)) continue;
    auto network = std::make_shared<VRN_network>();
    if (network->ReadFile(source.c_str(), qelta::kFormatXmlBif, 0) !=
        qelta::kOk) {
      std::printf("%s cannot be read; left out\n", source.c_str());
      continue;
    }
    for (const Format& format : kFormats) {
      Case c;
      c.network = network;
      c.path = "/tmp/qelta_text_formats_bench_" + std::to_string(getpid()) +
               "_" + name + format.extension;
      if (network->WriteFile(c.path.c_str(), format.code, 0) != qelta::kOk) {
        continue;
      }
      scratch.push_back(c.path);
      c.bytes = static_cast<std::int64_t>(fs::file_size(c.path));
      const std::string suffix = std::string(format.name) + "/" + name;
      benchmark::RegisterBenchmark(("BM_Write/" + suffix).c_str(), BM_Write, c,
                                   format.code)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("BM_Read/" + suffix).c_str(), BM_Read, c,
                                   format.code)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const std::string& path : scratch) std::remove(path.c_str());
  return 0;
}
