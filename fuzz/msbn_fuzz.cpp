// Feeds arbitrary bytes to the MSBN reader as a file, then checks what
// was built: its arcs form no cycle, it copies, and when the read succeeded
// the network written back in the format reads again to as many nodes.
//
// Single allocations above kAllocationLimit throw std::bad_alloc, as a real
// allocator does when memory runs out: a few hundred bytes of states and
// parents can ask for a table of billions of items, and the engine must
// then fail cleanly rather than be killed by the fuzzer's memory limit.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "core/network.h"
#include "io/format.h"

namespace {

constexpr int kFormat = qelta::kFormatMsbn;
constexpr size_t kAllocationLimit = size_t{64} << 20;

void* Allocate(size_t size) {
  if (size > kAllocationLimit) throw std::bad_alloc();
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

std::string ScratchPath(const char* what) {
  return "/tmp/qelta_msbn_fuzz_" + std::to_string(getpid()) + what;
}

bool WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

}  // namespace

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = ScratchPath(".in");
  const std::string output = ScratchPath(".out");
  if (!WriteScratch(input, data, size)) return 0;
  try {
    VRN_network network;
    const int rc = network.ReadFile(input.c_str(), kFormat, 0);
    (void)network.PartialOrder();
    VRN_network copy(network);
    if (rc == 0 && network.WriteFile(output.c_str(), kFormat, 0) == 0) {
      VRN_network again;
      if (again.ReadFile(output.c_str(), kFormat, 0) != 0 ||
          again.GetNumberOfNodes() != network.GetNumberOfNodes()) {
        std::abort();
      }
    }
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
