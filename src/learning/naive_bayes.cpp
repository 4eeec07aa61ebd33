// Naive Bayes: the class node is the only parent of every other node.
#include "learning/naive_bayes.h"

#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "learning/count_parameters.h"
#include "learning/em.h"
#include "network/network.h"

int VRN_naiveBayes::Learn(VRN_dataset data, VRN_network& net, VRN_progress* progress,
                          double* logLikelihood) const {
  if (data.GetRecordCount() < 3) {
    return net.ErrorLog()->LogError(qelta::kErrGeneral, "NaiveBayes: too few data points (at least 3 needed)");
  }
  if (data.GetVariableCount() < 2) {
    return net.ErrorLog()->LogError(qelta::kErrGeneral, "NaiveBayes: too few variables (at least 2 needed)");
  }
  bool discreteSeen = false;
  bool continuousSeen = false;
  for (int v = 0; v < data.GetVariableCount(); ++v) {
    const VRN_datasetVariable& variable = data.GetVariable(v);
    const bool mixedBefore = discreteSeen && continuousSeen;
    (variable.discrete ? discreteSeen : continuousSeen) = true;
    const char* reason = nullptr;
    if (data.IsConstant(v)) {
      reason = "constant variables are not allowed";
    } else if (!mixedBefore && discreteSeen && continuousSeen) {
      reason = "mixture of discrete and continuous variables is not allowed";
    }
    if (reason != nullptr) {
      const std::string message = std::string("Naive Bayes: ") + reason + "; variable: " + variable.id;
      return net.ErrorLog()->LogError(qelta::kErrGeneral, message.c_str());
    }
  }
  if (data.FindVariable(classVariableId) < 0) {
    const std::string message = "NaiveBayes: class variable not found: " + classVariableId;
    return net.ErrorLog()->LogError(qelta::kErrOutOfRange, message.c_str());
  }
  data.BuildNetwork(net);
  const int classNode = net.FindNode(classVariableId.c_str());
  if (classNode < 0) {
    return net.ErrorLog()->LogError(qelta::kErrOutOfRange, "NaiveBayes: could not find specified class node in dataset");
  }
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (h != classNode) (void)net.AddArc(classNode, h);
  }
  std::vector<VRN_dataMatch> matches;
  std::string errorText;
  const int matched = data.MatchNetwork(net, matches, errorText);
  if (matched != qelta::kOk) return net.ErrorLog()->LogError(matched, errorText.c_str());
  for (int v = 0; v < data.GetVariableCount(); ++v) {
    if (!data.HasMissingValues(v)) continue;
    VRN_em em;
    em.SetUniformizeParameters(true);
    const int learned = em.Learn(data, net, matches, {}, logLikelihood, progress);
    if (learned != qelta::kOk) return learned;
    (void)net.CircleLayout(classNode);
    return qelta::kOk;
  }
  const int counted = VRN_CountParameters(net, data, matches, logLikelihood, 0.0);
  if (counted != qelta::kOk) return counted;
  (void)net.CircleLayout(classNode);
  return qelta::kOk;
}
