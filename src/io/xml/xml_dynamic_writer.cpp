// Writing the dynamic part of the XML network file: the slice count and,
// for each plate node parents first, its temporal definitions by order.
#include <string>

#include "base/arrays.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "io/xml/xml_net_writer.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

void XmlNetworkSaver::WriteDynamic() {
  VRN_dbn* dbn = network_->Dbn();
  if (dbn == nullptr) return;
  temporal_mode_ = true;
  AddIntAttribute("numslices", network_->GetNumberOfSlices());
  XmlElementScope scope(*this, "dynamic");
  const VRN_intArray order = network_->PartialOrder();
  for (int h : order) {
    if (network_->GetTemporalType(h) != qelta::kTemporalPlate) continue;
    const VRN_node* node = network_->GetNode(h);
    VRN_intArray orders;
    (void)network_->GetTemporalOrders(h, orders);
    for (int k : orders) {
      VRN_nodeDef* definition = dbn->GetTemporalDefinition(h, k);
      // Kinds the reader refuses were refused before anything was written.
      if (definition == nullptr) continue;
      VRN_intArray parents;
      (void)network_->GetTemporalParents(h, k, parents);
      node_ = h;
      temporal_parents_ = &parents;
      temporal_node_definition_ = node->Definition();
      current_element_.clear();
      AddStringAttribute("id", node->GetId());
      AddIntAttribute("order", k);
      Dispatch(*definition);
      temporal_parents_ = nullptr;
      if (failed_) break;
      EndElement(current_element_.c_str());
    }
    if (failed_) break;
  }
  node_ = -1;
  temporal_mode_ = false;
  temporal_node_definition_ = nullptr;
}
