// Feeds arbitrary bytes to the XML network loader as a document text, the
// way a network read from a string or file meets them, then walks and copies
// whatever network was built so that a half-loaded network is checked too.
//
// Single allocations above a ceiling throw std::bad_alloc (see
// fuzz_support.h): a few hundred bytes of parents can ask for a table of
// billions of items, and the engine must then fail cleanly rather than be
// killed by the fuzzer's memory limit.
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "network/network.h"
#include "fuzz_support.h"
#include "io/xml/xml_net_loader.h"

QELTA_FUZZ_LIMIT_ALLOCATIONS();

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
