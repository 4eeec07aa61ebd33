// Records shared by the diagnosis network and its session: one fault, the
// ranking record of one test, and the interface through which a session
// reads its owner's state and hands its results back.
//
// The records are plain values. An adapter belongs to the session that was
// given it; it refers to its owner, which outlives the session. One thread
// at a time, as the diagnosed network.
#ifndef QELTA_DIAGNOSIS_DIAG_TYPES_H_
#define QELTA_DIAGNOSIS_DIAG_TYPES_H_

class VRN_intArray;
class VRN_network;

// One fault: an outcome of a target node.
struct VRN_diagFault {
  int node;
  int outcome;
};

// The ranking record of one test. Positions index the owner's result
// doubles; -1 means the block is absent.
struct VRN_diagTestResult {
  explicit VRN_diagTestResult(int testNode = -1) : node(testNode) {}

  int node;               // test handle, or the mark of an unranked test
  double strength = 0.0;  // -1.0 when only the score carries the rating
  double cost = 0.0;
  double score = 0.0;     // strength less alpha times cost
  // What the test would tell before its cost: the strength, or the signed
  // rating the score was made from when the strength is -1.0. Kept so that
  // tests can be presented by |rating| less alpha times cost.
  double rating = 0.0;
  int probabilitiesAt = -1;
  int posteriorsAt = -1;
  int changesAt = -1;
};

// What a session needs of its owner. Every operation is answered from the
// owner's current state; nothing is cached.
class VRN_diagSessionAdapter {
 public:
  virtual ~VRN_diagSessionAdapter() = default;

  virtual VRN_network* GetNetwork() = 0;
  // Descendants of the node in the owner's network (the node excluded).
  virtual int GetDescendants(int node, VRN_intArray& out) = 0;
  // Test-group cost nodes and their cost descendants, each list in the
  // order of the cost graph.
  virtual int GetCostNodes(VRN_intArray& groups,
                           VRN_intArray& descendants) = 0;
  virtual const VRN_intArray& GetTests() = 0;
  // The pursued fault index when exactly one is pursued, else -2.
  virtual int GetPursuedFault() = 0;
  virtual const VRN_intArray& GetPursuedFaults() = 0;
  // REQUIRES: 0 <= index < the owner's fault count.
  virtual const VRN_diagFault& GetFault(int index) = 0;
  virtual bool GetDSep() = 0;
  // Rank performed tests too.
  virtual bool GetOptionB() = 0;
  // Keep negative costs instead of treating them as 0.
  virtual bool GetOptionA() = 0;
  // Weight of the cost in a score ("DIAG_alphaValue", default 1).
  virtual double GetAlphaValue() = 0;
  virtual int GetResultCount() = 0;
  virtual void AddTestResult(const VRN_diagTestResult& record,
                             bool performed) = 0;
  virtual void AppendResults(const double* values, int n) = 0;
};

#endif  // QELTA_DIAGNOSIS_DIAG_TYPES_H_
