// Pieces the fuzz targets share: an allocation ceiling, scratch files, and
// the read-copy-write-read round of the file-format readers.
//
// Allocation ceiling: QELTA_FUZZ_LIMIT_ALLOCATIONS(), written once at global
// scope in a target's source, replaces the global operators new and delete
// so that a single allocation above qelta_fuzz::kAllocationLimit throws
// std::bad_alloc, as a real allocator does when memory runs out: a few
// hundred bytes of states and parents can ask for a table of billions of
// items, and the engine must then fail cleanly rather than be killed by the
// fuzzer's memory limit.
//
// Every fuzz target is one source file built into its own program, so the
// functions here are inline and the operators are defined by the one file
// that asks for them. Single-threaded, like libFuzzer's runs.
#ifndef QELTA_FUZZ_FUZZ_SUPPORT_H_
#define QELTA_FUZZ_FUZZ_SUPPORT_H_

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "network/network.h"

namespace qelta_fuzz {

inline constexpr std::size_t kAllocationLimit = std::size_t{64} << 20;

// size bytes from malloc (at least one); throws std::bad_alloc above the
// ceiling or when malloc fails.
inline void* Allocate(std::size_t size) {
  if (size > kAllocationLimit) throw std::bad_alloc();
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

// "/tmp/qelta_<target>_fuzz_<pid><suffix>": one file per target and
// process, so that parallel fuzzing jobs do not share files.
inline std::string ScratchPath(const char* target, const char* suffix) {
  return std::string("/tmp/qelta_") + target + "_fuzz_" +
         std::to_string(getpid()) + suffix;
}

// Replaces the file at path by the bytes; false when it cannot be written.
inline bool WriteScratch(const std::string& path, const std::uint8_t* data,
                         std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

// Reads the bytes as a file of format, then checks what was built: its arcs
// form no cycle, it copies, and when the read succeeded the network written
// back in the format reads again to as many nodes (else aborts). Running out
// of memory (past the ceiling) ends the round quietly. target names the
// scratch files.
inline void ReadCopyWriteRead(int format, const char* target,
                              const std::uint8_t* data, std::size_t size) {
  const std::string input = ScratchPath(target, ".in");
  const std::string output = ScratchPath(target, ".out");
  if (!WriteScratch(input, data, size)) return;
  try {
    VRN_network network;
    const int rc = network.ReadFile(input.c_str(), format, 0);
    (void)network.PartialOrder();
    VRN_network copy(network);
    if (rc == 0 && network.WriteFile(output.c_str(), format, 0) == 0) {
      VRN_network again;
      if (again.ReadFile(output.c_str(), format, 0) != 0 ||
          again.GetNumberOfNodes() != network.GetNumberOfNodes()) {
        std::abort();
      }
    }
  } catch (const std::bad_alloc&) {
  }
}

}  // namespace qelta_fuzz

// Replaces the global operators new and delete by qelta_fuzz::Allocate and
// free (see the top of this file). Use once, at global scope.
#define QELTA_FUZZ_LIMIT_ALLOCATIONS()                                      \
  void* operator new(std::size_t size) {                                    \
    return qelta_fuzz::Allocate(size);                                      \
  }                                                                         \
  void* operator new[](std::size_t size) {                                  \
    return qelta_fuzz::Allocate(size);                                      \
  }                                                                         \
  void* operator new(std::size_t size, const std::nothrow_t&) noexcept {    \
    try {                                                                   \
      return qelta_fuzz::Allocate(size);                                    \
    } catch (const std::bad_alloc&) {                                       \
      return nullptr;                                                       \
    }                                                                       \
  }                                                                         \
  void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {  \
    try {                                                                   \
      return qelta_fuzz::Allocate(size);                                    \
    } catch (const std::bad_alloc&) {                                       \
      return nullptr;                                                       \
    }                                                                       \
  }                                                                         \
  void operator delete(void* p) noexcept { std::free(p); }                  \
  void operator delete[](void* p) noexcept { std::free(p); }                \
  void operator delete(void* p, std::size_t) noexcept { std::free(p); }     \
  void operator delete[](void* p, std::size_t) noexcept { std::free(p); }   \
  static_assert(true, "")

#endif  // QELTA_FUZZ_FUZZ_SUPPORT_H_
