// Memory and time of belief updates on the standard Hugin networks, one
// network at a time.
//
// Run: build/release/network_memory_bench [--rounds=N] [name ...]
// (default: five rounds, every QELTA_SHARED_DIR "/data/networks/net/*.net";
// names pick networks by file name without ".net").
//
// Every network runs in a child process of its own, so its peak resident
// memory (VmHWM of the child) is not hidden by another's. The child runs
// rounds, each on a freshly read network that is closed before the next
// round reads its own:
//   read           the file (format code 5);
//   first          an update without evidence;
//   evidence       evidence on about a tenth of the nodes (chosen, with
//                  their outcomes, by forward sampling from a fixed seed,
//                  so the evidence is possible), then an update;
//   repeated       one observed node's evidence cleared and set again, then
//                  an update;
//   invalidated    the values invalidated, then an update.
// Every belief is read after each update. Times are the medians over the
// rounds, in ms. Under each network a second line gives the first round's
// update times with the minor page faults each took: later rounds may find
// pages the allocator kept when the previous round's network was closed,
// which the first round, in a process that had read nothing, cannot.
// held_mb is the resident memory after the first round's last update minus
// that before its network was read, in a process that had read nothing
// before; held_max is the largest such difference over the rounds (later
// rounds start with whatever pages the allocator kept from earlier ones, so
// it also shows how the heap fragments). cells is the clique cells of the
// last update as bench_support.h counts them (8 bytes a cell), taken after
// the figures above. beliefs is a hash of the bits of every belief read in
// every round, to compare builds. A network whose update fails reports the
// status instead of its figures.
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "io/format.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr double kMb = 1048576.0;
constexpr unsigned kSeed = 20261207;

// A field of /proc/self/status in bytes (the kernel gives kB).
double StatusBytes(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::size_t length = std::strlen(field);
  while (std::getline(in, line)) {
    if (line.compare(0, length, field) == 0 && line.size() > length &&
        line[length] == ':') {
      return std::atof(line.c_str() + length + 1) * 1024.0;
    }
  }
  return 0.0;
}

double Resident() { return StatusBytes("VmRSS"); }

long MinorFaults() {
  struct rusage usage;
  return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_minflt : 0;
}

double Milliseconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now() - since)
      .count();
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid]
                           : (values[mid - 1] + values[mid]) / 2.0;
}

// FNV-1a over the bits of every valid belief.
void HashBeliefs(VRN_network* network, uint64_t* hash) {
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    const VRN_nodeVal* value = network->GetNode(h)->Value();
    const VRN_doubleArray& items = value->GetValue().GetItems();
    for (int k = 0; k < items.GetSize(); ++k) {
      uint64_t bits;
      std::memcpy(&bits, &items[k], sizeof bits);
      for (int b = 0; b < 8; ++b) {
        *hash = (*hash ^ ((bits >> (8 * b)) & 0xFF)) * 0x100000001b3ULL;
      }
    }
  }
}

// One sample of the network drawn parents first, then about a tenth of the
// nodes (at least one) with their sampled outcomes.
std::vector<std::pair<int, int>> DrawEvidence(VRN_network* network) {
  std::mt19937_64 random(kSeed);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::vector<int> order;
  std::vector<int> state(network->GetSlotCount(), -1);
  std::vector<uint8_t> mark(state.size(), 0);  // 1 visiting, 2 placed
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    std::vector<std::pair<int, int>> stack = {{h, 0}};
    while (!stack.empty()) {
      const int node = stack.back().first;
      const VRN_intArray& parents = network->GetNode(node)->Parents();
      if (stack.back().second == 0) {
        if (mark[node] != 0) {
          stack.pop_back();
          continue;
        }
        mark[node] = 1;
      }
      if (stack.back().second < parents.GetSize()) {
        const int parent = parents[stack.back().second++];
        if (mark[parent] == 0) stack.emplace_back(parent, 0);
        continue;
      }
      mark[node] = 2;
      order.push_back(node);
      stack.pop_back();
    }
  }
  std::vector<int> drawn;
  for (const int h : order) {
    const VRN_node* node = network->GetNode(h);
    const VRN_matrix* table = node->Definition()->GetMatrixConst();
    const VRN_intArray& parents = node->Parents();
    if (table == nullptr ||
        table->GetDimensionCount() != parents.GetSize() + 1) {
      continue;
    }
    std::ptrdiff_t offset = 0;
    bool known = true;
    for (int k = 0; k < parents.GetSize(); ++k) {
      known = known && state[parents[k]] >= 0;
      offset = offset * table->GetSize(k) + std::max(state[parents[k]], 0);
    }
    const int count = table->GetSize(parents.GetSize());
    if (!known) continue;
    offset *= count;
    double u = uniform(random);
    int outcome = count - 1;
    for (int s = 0; s < count; ++s) {
      u -= table->GetItems()[static_cast<int>(offset) + s];
      if (u < 0.0) {
        outcome = s;
        break;
      }
    }
    state[h] = outcome;
    drawn.push_back(h);
  }
  std::shuffle(drawn.begin(), drawn.end(), random);
  drawn.resize(std::min<std::size_t>(
      drawn.size(), std::max<std::size_t>(1, order.size() / 10)));
  std::sort(drawn.begin(), drawn.end());
  std::vector<std::pair<int, int>> evidence;
  for (const int h : drawn) evidence.emplace_back(h, state[h]);
  return evidence;
}

struct Figures {
  std::vector<double> phase[5];  // read, first, evidence, repeated, invalidated
  long faults[5] = {};            // first round's minor page faults
  double held = 0.0;      // first round
  double held_max = 0.0;  // largest over the rounds
  double cells = 0.0;
  uint64_t hash = 0xcbf29ce484222325ULL;
  int nodes = 0;
  std::string failure;
};

// The rounds of one network; fills figures or its failure.
void RunNetwork(const std::string& path, int rounds, Figures* figures) {
  for (int round = 0; round < rounds; ++round) {
    const double before = Resident();
    auto network = std::make_unique<VRN_network>();
    auto start = std::chrono::steady_clock::now();
    if (network->ReadFile(path.c_str(), qelta::kFormatHugin, 0) !=
        qelta::kOk) {
      figures->failure = "cannot read";
      return;
    }
    figures->phase[0].push_back(Milliseconds(start));
    figures->nodes = network->GetNumberOfNodes();
    const std::vector<std::pair<int, int>> evidence =
        DrawEvidence(network.get());
    for (int phase = 1; phase < 5; ++phase) {
      if (phase == 2) {
        for (const auto& [h, outcome] : evidence) {
          (void)network->GetNode(h)->Value()->SetEvidence(outcome);
        }
      } else if (phase == 3 && !evidence.empty()) {
        VRN_nodeVal* value = network->GetNode(evidence[0].first)->Value();
        (void)value->ClearEvidence();
        (void)value->SetEvidence(evidence[0].second);
      } else if (phase == 4) {
        (void)network->InvalidateValues();
      }
      const long faults = MinorFaults();
      start = std::chrono::steady_clock::now();
      const int status = network->UpdateBeliefs();
      figures->phase[phase].push_back(Milliseconds(start));
      if (round == 0) figures->faults[phase] = MinorFaults() - faults;
      if (status != qelta::kOk) {
        figures->failure = "update " + std::to_string(phase) + " answered " +
                           std::to_string(status);
        return;
      }
      HashBeliefs(network.get(), &figures->hash);
    }
    const double held = Resident() - before;
    if (round == 0) figures->held = held;
    figures->held_max = std::max(figures->held_max, held);
    if (round + 1 == rounds) {
      figures->cells = qelta_bench::CliqueCells(network.get());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 5;
  std::vector<std::string> wanted;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--rounds=", 9) == 0) {
      rounds = std::max(1, std::atoi(argv[i] + 9));
    } else {
      wanted.emplace_back(argv[i]);
    }
  }
  const std::filesystem::path folder =
      std::filesystem::path(QELTA_SHARED_DIR) / "data/networks/net";
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() != ".net") continue;
    const std::string name = entry.path().stem().string();
    if (wanted.empty() ||
        std::find(wanted.begin(), wanted.end(), name) != wanted.end()) {
      names.push_back(name);
    }
  }
  if (error || names.empty()) {
    std::fprintf(stderr, "network_memory_bench: no networks in %s\n",
                 folder.c_str());
    return 1;
  }
  std::sort(names.begin(), names.end());
  std::printf("%-12s %5s %9s %8s %8s %11s %8s %9s %9s %9s %9s %9s  %s\n",
              "network", "nodes", "peak_mb", "held_mb", "held_max", "cells",
              "cell_mb",
              "read_ms", "first_ms", "evid_ms", "repeat_ms", "inval_ms",
              "beliefs");
  std::fflush(stdout);
  for (const std::string& name : names) {
    const pid_t child = fork();
    if (child < 0) {
      std::perror("fork");
      return 1;
    }
    if (child == 0) {
      Figures figures;
      RunNetwork((folder / (name + ".net")).string(), rounds, &figures);
      if (!figures.failure.empty()) {
        std::printf("%-12s %5d %s\n", name.c_str(), figures.nodes,
                    figures.failure.c_str());
      } else {
        std::printf(
            "%-12s %5d %9.2f %8.2f %8.2f %11.0f %8.2f %9.3f %9.3f %9.3f %9.3f "
            "%9.3f  %016" PRIx64 "\n",
            name.c_str(), figures.nodes, StatusBytes("VmHWM") / kMb,
            figures.held / kMb, figures.held_max / kMb, figures.cells,
            figures.cells * 8.0 / kMb,
            Median(figures.phase[0]), Median(figures.phase[1]),
            Median(figures.phase[2]), Median(figures.phase[3]),
            Median(figures.phase[4]), figures.hash);
        std::printf("%-12s first round: first %.3f ms, %ld faults; evid %.3f, "
                    "%ld; repeat %.3f, %ld; inval %.3f, %ld\n",
                    "", figures.phase[1][0], figures.faults[1],
                    figures.phase[2][0], figures.faults[2],
                    figures.phase[3][0], figures.faults[3],
                    figures.phase[4][0], figures.faults[4]);
      }
      std::fflush(stdout);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status)) {
      std::printf("%-12s crashed\n", name.c_str());
      std::fflush(stdout);
    }
  }
  return 0;
}
