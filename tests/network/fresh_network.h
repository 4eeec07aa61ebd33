// The oracle of the edit matrices: the network's save read back into a
// fresh network with the same evidence, switches, seed and algorithms,
// then updated; and the comparison of every value still marked valid
// with it, numbers and the parents that index them.
#ifndef QELTA_TESTS_NETWORK_FRESH_NETWORK_H_
#define QELTA_TESTS_NETWORK_FRESH_NETWORK_H_

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/network.h"
#include "network/node.h"

namespace qelta_test {

struct Fresh {
  std::unique_ptr<VRN_network> net;
  int status = 0;
  // The evidence conflicts or has probability 0: such states are left out.
  bool impossible = false;
};

inline bool InfluenceDiagram(const VRN_network& net) {
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const int type = net.GetNode(h)->Definition()->GetType();
    if (type == qelta::kDefDecision || (type & qelta::kDefBitUtility) != 0) {
      return true;
    }
  }
  return false;
}

// A network that refuses to save: a copy whose implied evidence is built
// again and whose values are all invalidated, updated.
inline Fresh CopyFresh(VRN_network& net, bool without_targets) {
  Fresh out;
  out.net = std::make_unique<VRN_network>(net);
  VRN_network& copy = *out.net;
  if (without_targets) (void)copy.ClearAllTargets();
  for (int h = copy.GetFirstNode(); h >= 0; h = copy.GetNextNode(h)) {
    VRN_nodeVal* value = copy.GetNode(h)->Value();
    if (value->HasFlags(qelta::kValFlagPropagated)) (void)value->ClearPropagatedEvidence();
  }
  const std::vector<int>& evidence = copy.EvidenceNodes();
  if (!evidence.empty()) (void)copy.OnEvidenceChange(evidence.front(), qelta::kChangeTable);
  (void)copy.InvalidateValues();
  out.status = copy.UpdateBeliefs();
  return out;
}

// Reads net's save with net's observed and virtual evidence; implied
// evidence is built again by the fresh network.
inline Fresh ReadFresh(VRN_network& net, bool without_targets) {
  Fresh out;
  std::string text;
  if (net.WriteString(text, 0) != qelta::kOk) return CopyFresh(net, without_targets);
  out.net = std::make_unique<VRN_network>();
  VRN_network& fresh = *out.net;
  if (fresh.ReadString(text.c_str(), 0) != qelta::kOk) {
    out.net.reset();
    return out;
  }
  fresh.SetFlags(net.GetFlags());
  fresh.SetRandSeed(net.GetRandSeed());
  (void)fresh.SetDefaultBNAlgorithm(net.GetDefaultBNAlgorithm());
  (void)fresh.SetDefaultIDAlgorithm(net.GetDefaultIDAlgorithm());
  if (without_targets) (void)fresh.ClearAllTargets();
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_nodeVal* from = net.GetNode(h)->Value();
    VRN_nodeVal* to = fresh.GetNode(fresh.FindNode(net.GetNode(h)->GetId()))->Value();
    int status = qelta::kOk;
    double x = 0.0;
    std::vector<double> likelihoods;
    if (from->HasFlags(qelta::kValFlagEvidence)) {
      const bool equation =
          net.GetNode(h)->Definition()->GetType() == qelta::kDefEquation;
      status = equation && from->GetContEvidence(&x) == qelta::kOk
                   ? to->SetContEvidence(x)
                   : to->SetEvidence(from->GetEvidence());
    } else if (from->GetVirtualEvidence(&likelihoods) == qelta::kOk) {
      status = to->SetVirtualEvidence(likelihoods);
    }
    if (status != qelta::kOk) out.impossible = true;
  }
  if (!out.impossible && !InfluenceDiagram(fresh) && !fresh.EvidenceNodes().empty()) {
    double p = 0.0;
    out.impossible = !fresh.CalcPropEvidence(p, false) || !(p > 0.0);
  }
  out.status = fresh.UpdateBeliefs();
  return out;
}

inline std::string Describe(VRN_network& net, const VRN_nodeVal& value) {
  std::ostringstream out;
  out.precision(10);
  out << "(";
  for (int p : value.GetIndexingParents()) {
    const VRN_node* node = net.GetNode(p);
    out << (node != nullptr ? node->GetId() : "deleted") << " ";
  }
  out << ") [";
  const VRN_matrix& m = value.GetValue();
  for (int d = 0; d < m.GetDimensionCount(); ++d) out << (d > 0 ? "x" : "") << m.GetSize(d);
  out << "]";
  for (int i = 0; i < m.GetItemCount() && i < 16; ++i) out << " " << m.GetItem(i);
  return out.str();
}

inline std::vector<std::string> IndexingIds(VRN_network& net, const VRN_nodeVal& value) {
  std::vector<std::string> ids;
  for (int p : value.GetIndexingParents()) {
    const VRN_node* node = net.GetNode(p);
    ids.push_back(node != nullptr ? node->GetId() : "");
  }
  return ids;
}

inline bool SameNumbers(const VRN_matrix& a, const VRN_matrix& b) {
  if (a.GetDimensions() != b.GetDimensions()) return false;
  for (int i = 0; i < a.GetItemCount(); ++i) {
    if (!(std::fabs(a.GetItem(i) - b.GetItem(i)) <= 1e-9)) return false;
  }
  return true;
}

// An observed node's point mass, right whichever update last made it.
inline bool PointMassOfEvidence(const VRN_nodeVal& value) {
  const VRN_matrix& m = value.GetValue();
  const int e = value.GetEvidence();
  if (!value.HasEvidence() || m.GetDimensionCount() != 1 || e < 0 ||
      e >= m.GetItemCount()) {
    return false;
  }
  for (int i = 0; i < m.GetItemCount(); ++i) {
    if (m.GetItem(i) != (i == e ? 1.0 : 0.0)) return false;
  }
  return true;
}

// The first value marked valid in net that differs from a fresh network's
// (same targets first, then none for the values they leave out), described;
// "" when none does or the state is left out (*skipped set).
inline std::string StaleValue(VRN_network& net, bool* skipped) {
  *skipped = false;
  Fresh fresh;
  Fresh whole;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    VRN_nodeVal* value = net.GetNode(h)->Value();
    if (!value->IsValueValid()) continue;
    if (fresh.net == nullptr) {
      fresh = ReadFresh(net, false);
      if (fresh.net == nullptr || fresh.impossible) {
        *skipped = true;
        return "";
      }
    }
    const char* id = net.GetNode(h)->GetId();
    Fresh* reference = &fresh;
    VRN_nodeVal* other = fresh.net->GetNode(fresh.net->FindNode(id))->Value();
    if (!other->IsValueValid() && fresh.net->GetNumberOfTargets() > 0) {
      if (whole.net == nullptr) whole = ReadFresh(net, true);
      if (whole.net == nullptr) {
        *skipped = true;
        return "";
      }
      reference = &whole;
      other = whole.net->GetNode(whole.net->FindNode(id))->Value();
    }
    double x = 0.0;
    double y = 0.0;
    if (value->GetContEvidence(&x) == qelta::kOk &&
        net.GetNode(h)->Definition()->GetType() == qelta::kDefEquation) {
      if (other->GetContEvidence(&y) == qelta::kOk && x == y) continue;
      return std::string(id) + ": observed at another number";
    }
    if (!other->IsValueValid()) {
      if (PointMassOfEvidence(*value) || reference->status != qelta::kOk) continue;
      return std::string(id) + ": valid " + Describe(net, *value) +
             ", a fresh network's invalid";
    }
    if (IndexingIds(net, *value) != IndexingIds(*reference->net, *other) ||
        !SameNumbers(value->GetValue(), other->GetValue())) {
      return std::string(id) + ": valid " + Describe(net, *value) +
             ", a fresh network's " + Describe(*reference->net, *other);
    }
  }
  return "";
}

}  // namespace qelta_test

#endif  // QELTA_TESTS_NETWORK_FRESH_NETWORK_H_
