// The public benchmark networks of the shared data folder (XMLBIF) and their
// reference evidence, for the tests that run the algorithms on them.
#ifndef QELTA_TESTS_INFERENCE_SHARED_NETWORKS_H_
#define QELTA_TESTS_INFERENCE_SHARED_NETWORKS_H_

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/node_val.h"
#include "io/format.h"
#include "network/network.h"
#include "network/node.h"

namespace shared_nets {

inline std::string DataDir() { return std::string(QELTA_SHARED_DIR) + "/data"; }

// Reads networks/xmlbif/<name>.xml; false when the file is absent.
inline bool Load(const std::string& name, VRN_network* net) {
  const std::string path = DataDir() + "/networks/xmlbif/" + name + ".xml";
  if (!std::ifstream(path).good()) return false;
  return net->ReadFile(path.c_str(), qelta::kFormatXmlBif, 0) == qelta::kOk;
}

// Sets reference/<name>/evidence.tsv; false when there is none.
inline bool SetReferenceEvidence(const std::string& name, VRN_network* net) {
  std::ifstream in(DataDir() + "/reference/" + name + "/evidence.tsv");
  if (!in.good()) return false;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string node, state, index;
    std::getline(fields, node, '\t');
    std::getline(fields, state, '\t');
    std::getline(fields, index, '\t');
    const int h = net->FindNode(node.c_str());
    if (h < 0) return false;
    if (net->GetNode(h)->Value()->SetEvidence(std::stoi(index)) != qelta::kOk) {
      return false;
    }
  }
  return true;
}

// Beliefs of node h.
inline std::vector<double> Beliefs(VRN_network& net, int h) {
  const VRN_matrix& m = net.GetNode(h)->Value()->GetValue();
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

// reference/<name>/<file> as one belief vector per node, in handle order of
// net; empty when absent.
inline std::vector<std::vector<double>> ReferencePosteriors(
    const std::string& name, const std::string& file, VRN_network& net) {
  std::ifstream in(DataDir() + "/reference/" + name + "/" + file);
  std::vector<std::vector<double>> out;
  if (!in.good()) return out;
  out.resize(net.GetSlotCount());
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string node, state, p;
    std::getline(fields, node, '\t');
    std::getline(fields, state, '\t');
    std::getline(fields, p, '\t');
    const int h = net.FindNode(node.c_str());
    if (h >= 0) out[h].push_back(std::stod(p));
  }
  return out;
}

}  // namespace shared_nets

#endif  // QELTA_TESTS_INFERENCE_SHARED_NETWORKS_H_
