// VRN_equation: the definition of a continuous node (type code 4,
// "EQUATION") whose value is given by an equation over other nodes, such as
// y = 2*x + Normal(0, 1).
//
// It holds the parsed equation (left and right side), the node's value
// range, an optional default value and nominal range (read by diagnosis),
// and optional discretization intervals through which the node looks
// discrete to its discrete children and to the discrete algorithms. The
// node's parents are always exactly the other nodes the equation names:
// SetEquation adds and removes arcs to keep it so.
//
// Caches: the equation solved for the node's own variable
// (equation_solve.cpp) and the discretized table with the signature of the
// parents fixed when it was made (equation_discretize.cpp). Both are owned
// and dropped by every change that could make them stale.
//
// Ownership: owned by its node; owns both sides and the caches.
// Thread use: one thread per network.
#ifndef QELTA_EQUATIONS_EQUATION_H_
#define QELTA_EQUATIONS_EQUATION_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/matrix.h"
#include "definitions/node_def.h"
#include "equations/expression.h"
#include "equations/expression_parser.h"

class VRN_equationEvaluation;

namespace qelta {
// An equation cannot be solved for its node.
inline constexpr int kErrUnsolvable = -6;
}  // namespace qelta

// One discretization interval: it covers values from the previous
// interval's boundary (the lower bound for the first) up to its own.
struct VRN_discInterval {
  std::string id;
  double boundary = 0.0;
};

// An equation left = right with its two flags.
class VRN_parsedEquation {
 public:
  VRN_parsedEquation() = default;
  VRN_parsedEquation(const VRN_parsedEquation& other);
  VRN_parsedEquation& operator=(const VRN_parsedEquation&) = delete;
  ~VRN_parsedEquation();

  // Takes ownership of both sides (old ones deleted) and recomputes flags.
  void Reset(VRN_expression* left, VRN_expression* right);
  // random: a side draws random numbers. constant: not random and the
  // distinct names of the left side plus those of the right side number 1.
  void ComputeFlags();
  // "left=right", each side wrapped where a reader would regroup it.
  std::string GetText() const;

  VRN_expression* left = nullptr;
  VRN_expression* right = nullptr;
  std::uint8_t random = 0;
  std::uint8_t constant = 0;
};

// One fixed parent of a discretization run.
struct VRN_discSignatureItem {
  int handle = -1;
  std::uint8_t interval = 0;  // fixed to an interval rather than a value
  double a = 0.0;             // value, or interval low bound
  double b = 0.0;             // 0, or interval high bound
  bool operator==(const VRN_discSignatureItem& o) const {
    return handle == o.handle && interval == o.interval && a == o.a &&
           b == o.b;
  }
};

class VRN_equation : public VRN_nodeDef {
 public:
  // A new node's definition: id = 0, bounds -1 and 1.
  VRN_equation(VRN_network* network, int handle, const char* id);
  // Built from another definition of the node (a change of node type):
  // id = sum of the parents, the old outcomes as intervals when possible.
  explicit VRN_equation(const VRN_discreteInfo& info);
  ~VRN_equation() override;

  VRN_nodeDef* Clone(VRN_network* target) const override;
  VRN_nodeVal* CreateValueFromRecord(
      const VRN_evidenceRecord& record) const override;
  VRN_nodeVal* CreateValue() const override;
  int GetType() const override;
  const char* GetTypeName() const override;
  int AddParent(int parent) override;
  int RemoveParent(int parent) override;
  void OnIdChanged(const char* old_id, const char* new_id) override;
  int OnParentOutcomeInserted(int parent, int position) override;
  int OnParentOutcomeRemoved(int parent, int index) override;
  int OnParentOutcomesReordered(int parent, const VRN_intArray& order) override;
  int ReorderParents(const VRN_intArray& order) override;
  void OnParentIdChanged(int parent, const char* old_id,
                         const char* new_id) override;
  int CheckExtFunctions(const VRN_extFunctionContainer& functions,
                        int* position, std::string* message) override;
  int PatchExtFunctions(VRN_extFunctionContainer* functions) override;
  const VRN_idArray* GetOutcomesNames() const override { return nullptr; }
  // The discretized table (GetDiscreteDefinition): what the discrete
  // algorithms multiply.
  const VRN_matrix* GetExpandedDefinition() override;
  // The interval count; two default intervals are made first when none.
  int GetDiscreteOutcomeCount() const override;
  int GetDiscreteInfo(VRN_discreteInfo* info) override;
  VRN_matrix* GetMatrix() override { return nullptr; }
  const VRN_matrix* GetMatrixConst() const override { return nullptr; }

  // ---- The equation.

  // Parses "left = right", checks every name (known, no cycle, a kind that
  // may be a parent) and every text literal, then makes the parents equal
  // to the named nodes. 0; -2 with the message logged and *error_position /
  // *error_message set (either may be null), nothing changed.
  int SetEquation(const char* text, int* error_position,
                  std::string* error_message);
  void GetEquationText(std::string* out) const;
  const VRN_parsedEquation& GetEquation() const { return equation_; }
  bool IsConstant() const { return equation_.constant != 0; }
  bool IsRandom() const { return equation_.random != 0; }
  // The constant's value: -51 when not constant, -6 when not solvable.
  int EvaluateConstant(double* out);
  // An outcome edit of the parent called parent_id: old outcome i (id
  // old_ids[i]) is called next[i] after it, and goes where that is missing,
  // empty for a named outcome, or where at (when given) holds a negative
  // new place for it. With carry, every literal naming an outcome that
  // stays takes its new id. False when a literal names an outcome that
  // goes, or is the empty literal (which selects the first of the outcomes
  // without ids) and its outcome leaves the first place (*moved set); the
  // first such literal's text in *orphan. orphan and moved may be null.
  bool FollowOutcomeIds(const std::string& parent_id,
                        const std::vector<std::string>& old_ids,
                        const std::vector<std::string>& next,
                        const std::vector<int>* at, bool carry,
                        std::string* orphan, bool* moved);
  // Equation parents with a constant equation become numbers (their
  // evidence when use_evidence and observed). -3 when there is none; -6
  // (nothing changed) when one cannot be solved; else SetEquation's answer.
  int InlineConstantParents(bool use_evidence);

  // ---- Range, default and nominal range.

  // -2 (logged) for lower > upper (or NaN); -4 when the intervals would no
  // longer be ones SetDiscIntervals takes (nothing changes); equal bounds
  // change nothing.
  int SetBounds(double lower, double upper);
  void GetBounds(double* lower, double* upper) const {
    *lower = lower_;
    *upper = upper_;
  }
  double GetLowerBound() const { return lower_; }
  double GetUpperBound() const { return upper_; }
  int SetDefaultValue(double value);
  // -4 when no default is set.
  int GetDefaultValue(double* out) const;
  bool HasDefaultValue() const;
  int SetNominalBounds(double lower, double upper);
  void GetNominalBounds(double* lower, double* upper) const {
    *lower = nominal_lower_;
    *upper = nominal_upper_;
  }

  // ---- Discretization intervals.

  // Replaces the intervals (an empty list removes them); 0, -2, -4, -32,
  // -51. The last boundary becomes upper.
  int SetDiscIntervals(double lower, double upper,
                       const std::vector<VRN_discInterval>& intervals);
  const std::vector<VRN_discInterval>& GetDiscIntervals() const {
    return intervals_;
  }
  bool HasDiscIntervals() const { return !intervals_.empty(); }
  // Whether SetDiscIntervals would take the intervals over the bounds; the
  // two default intervals of a range of one point are the only others.
  bool HasSettableIntervals() const;
  // Lower bound then every boundary: interval count + 1 numbers.
  void GetIntervalEdges(std::vector<double>* out) const;
  // Index of the first interval whose boundary is greater than value, the
  // last when none; 0 with fewer than two intervals.
  int FindInterval(double value) const;
  // Two intervals "State0" and "State1" when the node has none.
  void CreateDefaultIntervals();
  // Takes, for a node without intervals, the two default intervals of a
  // range too narrow for a boundary inside it (which SetDiscIntervals
  // refuses), as a file holds them, whether or not the equation is
  // constant: 0, or -4 when the node has intervals or these boundaries are
  // not those over its bounds (an older file's infinite first boundary,
  // where that one overflowed, counts as it); the labels as SetDiscIntervals
  // takes them (-32 when two are the same).
  int SetDefaultIntervalsOverBounds(
      const std::vector<VRN_discInterval>& intervals);

  // ---- Solving and discretization.

  // The right side solved for the node's variable, cached; null (message
  // logged with -6 unless quiet) when it cannot be solved. Owned by the
  // definition.
  const VRN_expression* GetSolvedExpression(bool quiet = false);
  // Rewrites copy into name = solution; 0 or -2.
  static int Solve(VRN_parsedEquation* copy, const std::string& name);
  // Builds (or keeps, when the fixed parents are as before) the table.
  // 0, or -6 when the equation cannot be solved.
  int Discretize(bool use_evidence);
  // The table the discrete algorithms use (fixed parents not dimensions);
  // null when the equation cannot be solved.
  const VRN_matrix* GetDiscreteDefinition();
  // Drops the discretized table and signature.
  void DropDiscretization();
  // Drops the discretization of every equation child.
  void DropChildDiscretizations();
  // Brings the node's value in step after a change of the definition.
  void RefreshValue();

 private:
  VRN_equation(const VRN_equation& other, VRN_network* target);

  // Parses text into a new equation (*out) with positions; 0 or -2.
  int ParseEquation(const char* text, VRN_parsedEquation* out,
                    VRN_positionMap* positions, int* error_position,
                    std::string* error_message) const;
  // Own id = sum of the given names.
  void ResetToSum(const std::vector<std::string>& names);
  // "State0" and "State1" over the current bounds.
  std::vector<VRN_discInterval> DefaultIntervals() const;
  void DropSolved() { solved_.reset(); }
  VRN_equationEvaluation* OwnValue() const;
  const char* OwnId() const;

  VRN_parsedEquation equation_;
  // Set while SetEquation adds the arcs of its new equation, which then
  // replaces the old one: the old one gains no terms meanwhile.
  bool replacing_ = false;
  double lower_ = -1.0;
  double upper_ = 1.0;
  double default_value_;
  double nominal_lower_;
  double nominal_upper_;
  std::unique_ptr<VRN_expression> solved_;
  std::vector<VRN_discInterval> intervals_;
  std::unique_ptr<VRN_matrix> table_;
  std::unique_ptr<std::vector<VRN_discSignatureItem>> signature_;
};

// The equation definition of node handle, or null when it has another kind.
VRN_equation* VRN_GetEquation(VRN_network* network, int handle);

// Drops the discretized tables of node handle's equation children, which
// were drawn from what the node was. No-op for a bad handle.
void VRN_DropEquationChildTables(VRN_network* network, int handle);

// The same for every equation child of node parent. Without carry: 0, or
// -2 (logged, naming the child and the literal) when some literal names an
// outcome that goes or would select another, so that the edit can be
// refused before it changes anything; with carry, the literals take the
// new ids. 0 for a bad handle.
int VRN_FollowOutcomeIds(VRN_network* network, int parent,
                         const std::vector<std::string>& old_ids,
                         const std::vector<std::string>& next, bool carry,
                         const std::vector<int>* at = nullptr);

// True when value is neither NaN nor beyond the largest double.
bool VRN_IsFiniteValue(double value);

#endif  // QELTA_EQUATIONS_EQUATION_H_
