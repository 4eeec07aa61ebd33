// Feeds arbitrary lists of user-function definitions (one per line) to the
// function container. A refused list must name a text of the list, a
// position within it and a message, and leave the previous list in force;
// an accepted list must read back from its written form unchanged, and its
// deterministic functions must evaluate alike from both lists. Any
// difference aborts.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "equations/ext_functions.h"

namespace {

std::vector<std::string> Lines(const uint8_t* data, size_t size) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      lines.emplace_back();
    } else {
      lines.back() += static_cast<char>(data[i]);
    }
  }
  return lines;
}

// A call of function index of functions with every argument 0.5, evaluated
// without a context.
double CallValue(const VRN_extFunctionContainer& functions, int index) {
  const VRN_extFunctionDefinition& definition =
      *functions.GetDefinition(index);
  VRN_extFunction call(functions.GetDefinition(index));
  for (int i = 0; i < definition.parameter_count(); ++i) {
    call.AddArgument(new VRN_constant(0.5));
  }
  return call.Evaluate(nullptr);
}

bool SameValue(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> texts = Lines(data, size);
  VRN_extFunctionContainer functions;
  int index = -1;
  int position = -1;
  std::string message;
  if (!functions.SetDefinitions({"kept(a) = a"}, index, position, message)) {
    std::abort();
  }
  if (!functions.SetDefinitions(texts, index, position, message)) {
    if (index < 0 || index >= static_cast<int>(texts.size())) std::abort();
    const int length =
        static_cast<int>(std::strlen(texts[static_cast<size_t>(index)].c_str()));
    if (message.empty() || position < 0 || position > length) std::abort();
    std::vector<std::string> kept;
    functions.GetDefinitions(kept, false);
    if (kept != std::vector<std::string>{"kept(a)=a"}) std::abort();
    return 0;
  }
  std::vector<std::string> written;
  functions.GetDefinitions(written, false);
  if (written.size() != texts.size()) std::abort();
  VRN_extFunctionContainer again;
  if (!again.SetDefinitions(written, index, position, message)) std::abort();
  std::vector<std::string> rewritten;
  again.GetDefinitions(rewritten, false);
  if (rewritten != written) std::abort();
  // Evaluation is bounded per call; a few cheap ones keep runs fast.
  int evaluated = 0;
  for (int i = 0; i < functions.GetCount() && evaluated < 8; ++i) {
    const VRN_extFunctionDefinition& definition = *functions.GetDefinition(i);
    if (!definition.deterministic() || definition.cost() > 10000) continue;
    ++evaluated;
    if (!SameValue(CallValue(functions, i), CallValue(again, i))) std::abort();
  }
  return 0;
}
