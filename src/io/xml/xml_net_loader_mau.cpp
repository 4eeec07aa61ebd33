// The multi-attribute utility elements of the XML network file: "mau" with
// its weights and "maux" with one expression per decision configuration.
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/status.h"
#include "equations/expression_parser.h"
#include "equations/ext_functions.h"
#include "equations/mau.h"
#include "io/xml/xml_net_loader.h"
#include "network/network.h"
#include "network/node.h"

void XmlNetLoader::AppendMauNodes(std::vector<NodeBinding*>* nodes) {
  using L = XmlNetLoader;
  NodeBinding* mau = BindNode("mau", qelta::kDefMau, false, &L::OnMauEnd);
  mau->AddChild(Bind("weights", kXmlInheritMode, &L::OnProbabilitiesStart,
                     nullptr, &L::OnValueToken),
                kXmlRequired);
  NodeBinding* maux = BindNode("maux", qelta::kDefMau, false, &L::OnMauxEnd);
  maux->AddChild(Bind("expression", kXmlInheritMode, nullptr,
                      &L::OnMauExpressionEnd),
                 kXmlRequired | kXmlRepeat);
  nodes->push_back(mau);
  nodes->push_back(maux);
}

void XmlNetLoader::OnMauEnd(IXmlReader& reader) {
  if (definition_->SetDefinitionFromVector(values_) != qelta::kOk) {
    reader.Abort("SetWeights failed");
  }
}

void XmlNetLoader::OnMauExpressionEnd(IXmlReader& reader) {
  if (!CheckExpression(reader)) return;
  mau_texts_.push_back(reader.GetText());
  seen_values_ = true;
}

void XmlNetLoader::OnMauxEnd(IXmlReader& reader) {
  std::vector<std::string> texts;
  texts.swap(mau_texts_);
  auto* mau = dynamic_cast<VRN_mau*>(definition_);
  if (mau == nullptr) return;
  VRN_mauExpressions set;
  mau->MakeDefaultExpressions(&set);
  if (static_cast<int>(texts.size()) != set.GetSlotCount()) {
    reader.Abort(("Invalid number of expressions: " +
                  std::to_string(texts.size()) + ", expected " +
                  std::to_string(set.GetSlotCount()))
                     .c_str());
    return;
  }
  VRN_network* network = mau->GetNetwork();
  for (size_t i = 0; i < texts.size(); ++i) {
    int position = 0;
    std::string message;
    VRN_expression* tree = VRN_ParseExpression(
        texts[i].c_str(), &position, &message, nullptr,
        network != nullptr ? network->ExtFunctions() : nullptr);
    if (tree == nullptr) {
      AbortQuoted(reader, "Expression parse error", message);
      return;
    }
    set.Set(static_cast<int>(i), tree);
  }
  std::string message;
  if (mau->InstallExpressions(&set, &message) != qelta::kOk) {
    AbortQuoted(reader, "SetExpressions failed", message);
    return;
  }
  RestoreParentOrder(reader);
}

void XmlNetLoader::RestoreParentOrder(IXmlReader& reader) {
  // Installing the expressions lists the utility parents after the
  // decisions, by identifier; the file lists them in the node's own order,
  // which the network read back keeps. Parents the file does not list (a
  // file written by hand) follow in the order installing gave them.
  const VRN_intArray& present = network_->GetNode(node_)->Parents();
  const int n = present.GetSize();
  VRN_intArray order;
  std::vector<bool> placed(static_cast<size_t>(n), false);
  for (int parent : parents_) {
    for (int i = 0; i < n; ++i) {
      if (present[i] != parent) continue;
      order.Add(i);
      placed[static_cast<size_t>(i)] = true;
      break;
    }
  }
  bool identity = true;
  for (int i = 0; i < n; ++i) {
    if (!placed[static_cast<size_t>(i)]) order.Add(i);
    identity = identity && order[i] == i;
  }
  if (identity) return;
  if (network_->ReorderParents(node_, order) != qelta::kOk) {
    reader.Abort("Can't restore the order of the parents");
  }
}
