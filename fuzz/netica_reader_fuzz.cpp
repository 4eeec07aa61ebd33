// Feeds arbitrary bytes to the Netica reader as a file, then checks what
// was built: its arcs form no cycle, it copies, and when the read succeeded
// (and the format is written) the network written back reads again to as
// many nodes. Single allocations above a ceiling throw std::bad_alloc (see
// fuzz_support.h), so that a huge count asked for by a few bytes fails
// cleanly.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "io/format.h"

QELTA_FUZZ_LIMIT_ALLOCATIONS();

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qelta_fuzz::ReadCopyWriteRead(qelta::kFormatNetica, "netica", data, size);
  return 0;
}
