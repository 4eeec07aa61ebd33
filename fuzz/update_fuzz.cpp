// Reads arbitrary bytes as a network file, sets evidence, updates beliefs
// and checks that every belief the update answers is a distribution.
//
// Input: byte 0 picks the format (Hugin, MSBN, XMLBIF, XML network file),
// byte 1 the algorithm code (0, 11 or 12), byte 2 a seed for the evidence;
// the rest is the file. Whatever the file's tables hold (columns summing to
// 0.7 or 15, zeros, negative numbers), an update that answers 0 must leave
// every node's beliefs finite and in [0, 1], each distribution summing to 1
// (in an influence diagram a chance node holds one distribution for each
// configuration of the decisions that index it), and every expected utility
// finite; any other answer is a refusal and fine. Single allocations above a ceiling throw
// std::bad_alloc (see fuzz_support.h), which ends the round quietly.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "definitions/node_val.h"
#include "fuzz_support.h"
#include "io/format.h"
#include "network/network.h"
#include "network/node.h"

QELTA_FUZZ_LIMIT_ALLOCATIONS();

namespace {

void CheckBeliefs(const VRN_network& network) {
  for (int h = network.GetFirstNode(); h >= 0; h = network.GetNextNode(h)) {
    const VRN_nodeVal* value = network.GetNode(h)->Value();
    if (!value->HasFlags(qelta::kValFlagValid)) continue;
    const VRN_matrix& items = value->GetValue();
    const int count = items.GetItemCount();
    // Expected utilities and policy values are no distributions, but a
    // valid one is finite.
    if (value->GetType() != qelta::kValBeliefVector) {
      for (int i = 0; i < count; ++i) {
        if (!std::isfinite(items.GetItem(i))) std::abort();
      }
      continue;
    }
    const int dims = items.GetDimensionCount();
    // The last dimension holds the node's outcomes; the ones before it,
    // when there are any, the decisions that index the value.
    const int outcomes = dims > 0 ? items.GetSize(dims - 1) : count;
    if (outcomes <= 0) continue;
    for (int start = 0; start + outcomes <= count; start += outcomes) {
      double sum = 0.0;
      for (int i = start; i < start + outcomes; ++i) {
        const double p = items.GetItem(i);
        if (!std::isfinite(p) || p < 0.0 || p > 1.0 + 1e-9) std::abort();
        sum += p;
      }
      if (std::fabs(sum - 1.0) > 1e-9) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  static const int kFormats[] = {qelta::kFormatHugin, qelta::kFormatMsbn,
                                 qelta::kFormatXmlBif, qelta::kFormatXvrn};
  static const int kCodes[] = {0, 11, 12};
  const int format = kFormats[data[0] % 4];
  const int code = kCodes[data[1] % 3];
  unsigned seed = data[2];
  const std::string input = qelta_fuzz::ScratchPath("update", ".in");
  if (!qelta_fuzz::WriteScratch(input, data + 3, size - 3)) return 0;
  try {
    VRN_network network;
    if (network.ReadFile(input.c_str(), format, 0) != 0) return 0;
    (void)network.SetDefaultBNAlgorithm(code);
    // About one node in four observed, in an outcome the seed picks; a
    // refused (impossible) observation is simply not set.
    for (int h = network.GetFirstNode(); h >= 0; h = network.GetNextNode(h)) {
      seed = seed * 1103515245u + 12345u;
      if ((seed >> 16) % 4 != 0) continue;
      (void)network.GetNode(h)->Value()->SetEvidence(
          static_cast<int>((seed >> 20) % 4));
    }
    if (network.UpdateBeliefs() == 0) CheckBeliefs(network);
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
