// VRN_valueOfInfo: what observing some chance nodes before a decision is
// worth in an influence diagram. The caller lists the nodes to observe and
// picks the decision and a point of view (the place in the decision order
// from which the worth is judged); Update then solves a working copy twice,
// with and without arcs from the listed nodes into the decision, and keeps
// the difference of the expected utilities seen from the point of view, per
// configuration of what is known there (0 where it comes out below 0: a
// rounding, as seeing more cannot lose).
//
// The object reads its network but never changes it; it keeps a plain
// pointer, so the network must outlive it (the Java binding checks the
// network's handle before every call). decisions and orderedNodes are taken
// at construction and do not follow later edits.
//
// VRN_valueOfInfoWorkspace is the state of one Update: the working copy and
// the two expected-utility tables; it lives for that call only.
// Thread use: one thread at a time, together with the network.
#ifndef QELTA_INFERENCE_VALUE_OF_INFO_H_
#define QELTA_INFERENCE_VALUE_OF_INFO_H_

#include "base/arrays.h"
#include "base/matrix.h"
#include "network/network.h"

class VRN_valueOfInfo {
 public:
  // Empty lists, no decision and no point of view; with a network, the
  // decisions and the ordered nodes are collected from it.
  explicit VRN_valueOfInfo(VRN_network* network);
  ~VRN_valueOfInfo();

  VRN_valueOfInfo(const VRN_valueOfInfo&) = delete;
  VRN_valueOfInfo& operator=(const VRN_valueOfInfo&) = delete;

  // Every live decision node, in the network's decision order.
  void CollectDecisions();
  // The network's decision order cut after its last decision (whole when
  // there is none).
  void CollectOrderedNodes();
  // Empties nodes, indexing nodes and values, forgets the network, the
  // decision and the point of view; decisions and ordered nodes stay.
  void Clear();
  // 0, or -2 for a handle that is not a live node or is listed already.
  int AddNode(int handle);
  // 0, or -2 when the handle is not listed.
  int RemoveNode(int handle);
  // -2 unless handle is a live node among the decisions; an unset (or
  // deleted) point of view becomes handle; -2 when the point of view comes
  // after handle in the ordered nodes. Else stores the decision; 0.
  int SetDecision(int handle);
  // -2 unless handle is a live node among the ordered nodes; an unset (or
  // deleted) decision becomes handle; -2 when handle comes after the
  // decision in the ordered nodes or the decision is not among them. Else
  // stores the point of view; 0.
  int SetPointOfView(int handle);
  // Computes values and indexingNodes. 0 on success. -2 (logged in the
  // network) without a live decision node and point of view, or without a
  // utility node, or when the two tables differ in shape; the code of a
  // refused arc from a listed node to the decision (logged "Node [..]
  // cannot be observed before node [..]"), of a refused arc into the added
  // decision from the node just before the point of view (logged "Value of
  // information cannot see node [..] just before node [..]") or of a
  // failed solve; -42 when
  // a canonical point of view's table does not fit. On failure
  // values and indexingNodes keep what they held.
  int Update();

  VRN_network* GetNetwork() const { return network_; }
  const VRN_intArray& GetDecisions() const { return decisions_; }
  const VRN_intArray& GetOrderedNodes() const { return orderedNodes_; }
  const VRN_intArray& GetNodes() const { return nodes_; }
  int GetDecision() const { return decision_; }
  int GetPointOfView() const { return pointOfView_; }
  const VRN_intArray& GetIndexingNodes() const { return indexingNodes_; }
  const VRN_matrix& GetValues() const { return values_; }

 private:
  friend class VRN_valueOfInfoWorkspace;
  bool IsLive(int handle) const;

  VRN_network* network_ = nullptr;
  VRN_intArray decisions_;
  VRN_intArray orderedNodes_;
  VRN_intArray nodes_;
  int decision_ = -1;
  int pointOfView_ = -1;
  VRN_intArray indexingNodes_;
  VRN_matrix values_;
};

class VRN_valueOfInfoWorkspace {
 public:
  explicit VRN_valueOfInfoWorkspace(VRN_valueOfInfo* info) : info_(info) {}

  // The computation of VRN_valueOfInfo::Update on a copy of its network.
  int Compute();

 private:
  int FindUtilityNode();
  // Adds the decision whose expected utilities are read, placed just
  // before the point of view, with arcs to it and to the utility node; a
  // canonical point of view first becomes the table it expands to, so the
  // new parent changes no distribution. 0, or the failure (-42 when that
  // table does not fit).
  int AddDecisionNode(int pointOfView);
  // Solves the copy and copies the added decision's value into out.
  int Solve(VRN_matrix& out);

  VRN_network network_;
  VRN_valueOfInfo* info_;
  int utilityNode_ = -1;
  int decisionNode_ = -1;
  VRN_matrix first_;
  VRN_matrix second_;
};

#endif  // QELTA_INFERENCE_VALUE_OF_INFO_H_
