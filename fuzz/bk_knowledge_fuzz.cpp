// Feeds arbitrary bytes to the background-knowledge reader as a file. A
// record that was read is written back and must read again to as many
// variables and arcs (else aborts); a refusal must leave the record as it
// was and explain itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "learning/bk_knowledge.h"

QELTA_FUZZ_LIMIT_ALLOCATIONS();

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = qelta_fuzz::ScratchPath("bk_knowledge", ".in");
  const std::string output = qelta_fuzz::ScratchPath("bk_knowledge", ".out");
  if (!qelta_fuzz::WriteScratch(input, data, size)) return 0;
  try {
    VRN_bkKnowledge record;
    record.forcedArcs = {{0, 1}};
    std::string error;
    if (record.ReadFile(input, &error) != 0) {
      if (error.empty() || record.forcedArcs.size() != 1) std::abort();
      return 0;
    }
    if (record.WriteFile(output, &error) != 0) std::abort();
    VRN_bkKnowledge again;
    if (again.ReadFile(output, &error) != 0 ||
        again.variables.size() != record.variables.size() ||
        again.forcedArcs != record.forcedArcs || again.forbiddenArcs != record.forbiddenArcs ||
        again.tiers != record.tiers) {
      std::abort();
    }
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
