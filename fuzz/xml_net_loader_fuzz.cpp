// Feeds arbitrary bytes to the XML network loader as a document text, the
// way a network read from a string or file meets them, then walks and copies
// whatever network was built so that a half-loaded network is checked too.
//
// Single allocations above kAllocationLimit throw std::bad_alloc, as a real
// allocator does when memory runs out: a few hundred bytes of parents can ask
// for a table of billions of items, and the engine must then fail cleanly
// rather than be killed by the fuzzer's memory limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "core/network.h"
#include "io/xml/xml_net_loader.h"

namespace {

constexpr size_t kAllocationLimit = size_t{64} << 20;

void* Allocate(size_t size) {
  if (size > kAllocationLimit) throw std::bad_alloc();
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
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
  // The loader reads NUL-terminated text; an embedded NUL ends it early.
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    VRN_network network;
    network.SetLoadFlags(qelta::kLoadLoading | qelta::kLoadSkipAcyclicity |
                         qelta::kLoadAllowDuplicateIds);
    (void)XmlNetLoader::Load(nullptr, text.c_str(), &network);
    network.SetLoadFlags(0);
    // Arcs must form no cycle and every part must copy.
    (void)network.PartialOrder();
    VRN_network copy(network);
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
