// Feeds arbitrary bytes to the data-set reader as a file, with and without
// a header line. A data set that was read is written back with the same
// options; when the write succeeds the file must read again to as many
// variables and records (else aborts); a refusal must leave the data set
// as it was. Single allocations above a ceiling throw
// std::bad_alloc (see fuzz_support.h).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "learning/dataset.h"

QELTA_FUZZ_LIMIT_ALLOCATIONS();

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = qelta_fuzz::ScratchPath("dataset_reader", ".in");
  const std::string output = qelta_fuzz::ScratchPath("dataset_reader", ".out");
  if (!qelta_fuzz::WriteScratch(input, data, size)) return 0;
  try {
    for (bool ids : {true, false}) {
      VRN_datasetReadOptions options;
      options.columnIdsPresent = ids;
      options.missingValueToken = size % 2 == 0 ? "*" : "";
      VRN_dataset dataset;
      std::string error;
      if (dataset.addIntVariable("before", -1) != 0) std::abort();
      if (dataset.ReadFile(input, &options, &error) != 0) {
        if (error.empty() || dataset.GetVariableCount() != 1) std::abort();
        continue;
      }
      VRN_dataset copy(dataset);
      (void)copy.Discretize(0, static_cast<int>(size % 3), 2, "b", nullptr);
      VRN_datasetWriteOptions write;
      write.missingValueToken = options.missingValueToken;
      write.columnIdsPresent = ids;
      if (dataset.WriteFile(output, &write, &error) != 0) continue;
      VRN_dataset again;
      if (again.ReadFile(output, &options, &error) != 0 ||
          again.GetVariableCount() != dataset.GetVariableCount() ||
          again.GetRecordCount() != dataset.GetRecordCount()) {
        std::abort();
      }
    }
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
