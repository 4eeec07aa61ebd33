// The canonical node elements of the XML network file: "cast", "demorgan",
// "noisymax" and "noisyadder", their list children and end steps.
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/status.h"
#include "definitions/noisy_adder.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "io/xml/xml_net_loader.h"
#include "network/network.h"

namespace {

constexpr int kInherit = kXmlInheritMode;
constexpr int kReq = kXmlRequired;

// Names of the DeMorgan parent roles, by code.
constexpr const char* kRoleNames[] = {"inhibitor", "requirement", "cause",
                                      "barrier"};

VRN_doubleArray ToArray(const std::vector<double>& v) {
  VRN_doubleArray a;
  for (double x : v) a.Add(x);
  return a;
}

VRN_intArray ToIntArray(const std::vector<int>& v) {
  VRN_intArray a;
  for (int x : v) a.Add(x);
  return a;
}

// The element's whole text as one double; false when it is anything else.
bool ReadNumber(const std::string& text, double* out) {
  const char* start = text.c_str();
  char* end = nullptr;
  *out = std::strtod(start, &end);
  if (end == start) return false;
  while (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r') ++end;
  return *end == '\0';
}

}  // namespace

void XmlNetLoader::AppendCanonicalNodes(std::vector<NodeBinding*>* nodes) {
  using L = XmlNetLoader;
  NodeBinding* cast = BindNode("cast", qelta::kDefCast, false, &L::OnCastEnd);
  cast->AddChild(Bind("pweights", kInherit, nullptr, nullptr,
                      &L::OnPositiveWeightToken), 0);
  cast->AddChild(Bind("nweights", kInherit, nullptr, nullptr,
                      &L::OnNegativeWeightToken), 0);
  cast->AddChild(Bind("baseline", kInherit, nullptr, &L::OnBaselineEnd), kReq);

  Binding* weights = Bind("weights", kInherit, nullptr, nullptr,
                          &L::OnWeightToken);
  Binding* parameters = Bind("parameters", kInherit, nullptr, nullptr,
                             &L::OnParameterToken);
  NodeBinding* demorgan = BindNode("demorgan", qelta::kDefDemorgan, false,
                                   &L::OnDemorganEnd);
  demorgan->AddChild(Bind("types", kInherit, nullptr, nullptr,
                          &L::OnParentTypeToken), 0);
  demorgan->AddChild(weights, 0);
  demorgan->AddChild(Bind("priorbelief", kInherit, nullptr,
                          &L::OnPriorBeliefEnd), kReq);

  NodeBinding* noisymax = BindNode("noisymax", qelta::kDefNoisyMax, true,
                                   &L::OnNoisyMaxEnd);
  noisymax->AddChild(Bind("strengths", kInherit, nullptr, nullptr,
                          &L::OnStrengthToken), 0);
  noisymax->AddChild(parameters, 0);

  NodeBinding* noisyadder = BindNode("noisyadder", qelta::kDefNoisyAdder,
                                     true, &L::OnNoisyAdderEnd);
  noisyadder->AddChild(Bind("dstates", kInherit, nullptr, nullptr,
                            &L::OnDistinguishedStateToken), 0);
  noisyadder->AddChild(weights, 0);
  noisyadder->AddChild(parameters, 0);

  for (NodeBinding* node : {cast, demorgan, noisymax, noisyadder}) {
    nodes->push_back(node);
  }
}

void XmlNetLoader::StartCanonical(IXmlReader& reader,
                                  const NodeBinding& binding) {
  const int function = canonical_.function;
  canonical_ = CanonicalData();
  canonical_.function = function;
  if (binding.type() != qelta::kDefNoisyAdder) return;
  std::string text;
  reader.GetAttribute("function", text);
  if (text.empty() || text == "average") {
    canonical_.function = VRN_noisyAdder::kAverage;
  } else if (text == "singlefault") {
    canonical_.function = VRN_noisyAdder::kSingleFault;
  } else {
    AbortQuoted(reader, "Invalid noisy adder function", text);
  }
}

void XmlNetLoader::AppendIntToken(IXmlReader& reader, std::vector<int>& list) {
  const std::string& token = reader.GetText();
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(token.c_str(), &end, 10);
  if (token.empty() || *end != '\0' || errno == ERANGE || value < -2147483647L ||
      value > 2147483647L) {
    reader.Abort(("Can't read list of integers, failed at element " +
                  std::to_string(list.size() + 1))
                     .c_str());
    return;
  }
  list.push_back(static_cast<int>(value));
}

void XmlNetLoader::OnPositiveWeightToken(IXmlReader& reader) {
  AppendDoubleToken(reader, canonical_.positive);
}

void XmlNetLoader::OnNegativeWeightToken(IXmlReader& reader) {
  AppendDoubleToken(reader, canonical_.negative);
}

void XmlNetLoader::OnWeightToken(IXmlReader& reader) {
  AppendDoubleToken(reader, canonical_.weights);
}

void XmlNetLoader::OnParameterToken(IXmlReader& reader) {
  AppendDoubleToken(reader, canonical_.parameters);
}

void XmlNetLoader::OnStrengthToken(IXmlReader& reader) {
  AppendIntToken(reader, canonical_.strengths);
}

void XmlNetLoader::OnDistinguishedStateToken(IXmlReader& reader) {
  AppendIntToken(reader, canonical_.dstates);
}

void XmlNetLoader::OnParentTypeToken(IXmlReader& reader) {
  const std::string& token = reader.GetText();
  for (int code = 0; code < 4; ++code) {
    if (token == kRoleNames[code]) {
      canonical_.types.push_back(code);
      return;
    }
  }
  reader.Abort(("Invalid parent type '" + token + "' at element " +
                std::to_string(canonical_.types.size() + 1))
                   .c_str());
}

void XmlNetLoader::OnBaselineEnd(IXmlReader& reader) {
  if (!ReadNumber(reader.GetText(), &canonical_.number)) {
    reader.Abort("Can't read baseline");
  }
}

void XmlNetLoader::OnPriorBeliefEnd(IXmlReader& reader) {
  if (!ReadNumber(reader.GetText(), &canonical_.number)) {
    reader.Abort("Can't read prior belief");
  }
}

void XmlNetLoader::OnCastEnd(IXmlReader& reader) {
  auto* cast = dynamic_cast<VRN_cast*>(definition_);
  if (cast == nullptr || cast->SetBaseline(canonical_.number) != qelta::kOk) {
    reader.Abort("SetBaseline failed");
    return;
  }
  if (parents_.empty()) return;
  if (cast->SetPositiveWeights(ToArray(canonical_.positive)) != qelta::kOk) {
    reader.Abort("SetPositiveWeights failed");
  } else if (cast->SetNegativeWeights(ToArray(canonical_.negative)) !=
             qelta::kOk) {
    reader.Abort("SetNegativeWeights failed");
  }
}

void XmlNetLoader::OnDemorganEnd(IXmlReader& reader) {
  auto* demorgan = dynamic_cast<VRN_demorgan*>(definition_);
  if (demorgan == nullptr ||
      demorgan->SetPriorBelief(canonical_.number) != qelta::kOk) {
    reader.Abort("SetPriorBelief failed");
    return;
  }
  if (parents_.empty()) return;
  if (demorgan->SetParentWeights(ToArray(canonical_.weights)) != qelta::kOk) {
    reader.Abort("SetParentWeights failed");
  } else if (demorgan->SetParentTypes(ToIntArray(canonical_.types)) !=
             qelta::kOk) {
    reader.Abort("SetParentTypes failed");
  }
}

void XmlNetLoader::OnNoisyMaxEnd(IXmlReader& reader) {
  auto* noisy = dynamic_cast<VRN_noisyMAX*>(definition_);
  if (noisy == nullptr) {
    reader.Abort("SetParentOutcomeStrengths failed");
    return;
  }
  // The file gives each outcome's rank; the definition wants the outcome
  // at each rank. A short, long or out-of-range list, or repeated ranks,
  // cannot be placed.
  const std::vector<int>& ranks = canonical_.strengths;
  size_t next = 0;
  for (int i = 0; i < noisy->GetStrengthsCount(); ++i) {
    const int count = noisy->GetParentOutcomeCount(i);
    VRN_intArray order(count);
    for (int k = 0; k < count; ++k) order[k] = -1;
    bool ok = next + count <= ranks.size();
    for (int j = 0; ok && j < count; ++j) {
      const int rank = ranks[next + j];
      ok = rank >= 0 && rank < count && order[rank] < 0;
      if (ok) order[rank] = j;
    }
    if (!ok || noisy->SetParentOutcomeStrengths(i, order) != qelta::kOk) {
      reader.Abort("SetParentOutcomeStrengths failed");
      return;
    }
    next += count;
  }
  if (next != ranks.size()) {
    reader.Abort("SetParentOutcomeStrengths failed");
    return;
  }
  const int expected = noisy->Parameters().GetItemCount();
  if (static_cast<int>(canonical_.parameters.size()) != expected) {
    reader.Abort(("Invalid weights vector size " +
                  std::to_string(canonical_.parameters.size()) +
                  ", expected " + std::to_string(expected))
                     .c_str());
    return;
  }
  (void)noisy->LoadParameters(ToArray(canonical_.parameters));
}

void XmlNetLoader::OnNoisyAdderEnd(IXmlReader& reader) {
  auto* adder = dynamic_cast<VRN_noisyAdder*>(definition_);
  if (adder == nullptr) {
    reader.Abort("SetDistinguishedState call fails");
    return;
  }
  const size_t states = static_cast<size_t>(adder->GetWeights().GetSize());
  const std::vector<int>& dstates = canonical_.dstates;
  if (dstates.size() != states) {
    reader.Abort(("Size of distinguished state vector is invalid: " +
                  std::to_string(dstates.size()) + ", expected " +
                  std::to_string(states))
                     .c_str());
    return;
  }
  if (adder->SetDistinguishedState(dstates[0]) != qelta::kOk) {
    reader.Abort("SetDistinguishedState call fails");
    return;
  }
  for (size_t k = 1; k < states; ++k) {
    if (adder->SetParentDistinguishedState(static_cast<int>(k) - 1,
                                           dstates[k]) != qelta::kOk) {
      reader.Abort("SetParentDistinguishedState call fails");
      return;
    }
  }
  const std::vector<double>& weights = canonical_.weights;
  if (weights.size() != states) {
    reader.Abort(("Size of weights vector is invalid: " +
                  std::to_string(weights.size()) + ", expected " +
                  std::to_string(states))
                     .c_str());
    return;
  }
  for (size_t k = 0; k < states; ++k) {
    if (adder->SetParentWeight(static_cast<int>(k), weights[k]) != qelta::kOk) {
      reader.Abort("SetParentWeight call fails");
      return;
    }
  }
  const int expected = adder->Parameters().GetItemCount();
  if (static_cast<int>(canonical_.parameters.size()) != expected) {
    reader.Abort(("Size of CI parameters vector is invalid: " +
                  std::to_string(canonical_.parameters.size()) +
                  ", expected " + std::to_string(expected))
                     .c_str());
    return;
  }
  (void)adder->LoadParameters(ToArray(canonical_.parameters));
  (void)adder->SetFunction(canonical_.function);
}
