// Noisy-MAX (type 146, "NOISY_MAX"): the graded causal-independence
// definition. The node's outcome 0 is the most severe and its last outcome
// the distinguished (absent) one. Each parent has a strength order, a
// permutation of its outcomes: entry k is the parent outcome at strength
// position k, and the last position is the parent's distinguished state,
// whose column is fixed to the point mass at the node's last outcome. Every
// parent, and the leak, independently produces an outcome and the node
// takes the most severe of them.
//
// Parameter column offset_i + k holds the distribution produced by parent i
// at strength position k (see VRN_ciDef for the layout). The Henrion form
// of a column is the node's distribution when only that position is active,
// the leak included.
//
// Owned by its node. Thread use: one thread per network.
#ifndef QELTA_DEFINITIONS_NOISY_MAX_H_
#define QELTA_DEFINITIONS_NOISY_MAX_H_

#include <vector>

#include "base/arrays.h"
#include "base/matrix.h"
#include "definitions/ci_def.h"

class VRN_noisyMAX : public VRN_ciDef {
 public:
  // Default outcomes, the leak column only.
  VRN_noisyMAX(VRN_network* network, int handle);
  // Change of type: the record's outcomes, identity strength orders and,
  // when the record's table fits the current parents, parameters fitted to
  // it (FitToTable); otherwise uniform parameters.
  explicit VRN_noisyMAX(const VRN_discreteInfo& info);
  ~VRN_noisyMAX() override;

  VRN_nodeDef* Clone(VRN_network* target) const override;
  int GetType() const override;
  const char* GetTypeName() const override;

  int AddParent(int parent) override;
  int RemoveParent(int parent) override;
  int OnParentOutcomeInserted(int parent, int position) override;
  int OnParentOutcomeRemoved(int parent, int index) override;
  int OnParentOutcomesReordered(int parent, const VRN_intArray& order) override;
  int ReorderParents(const VRN_intArray& order) override;
  // Influential when a column of the parent gives the last own outcome
  // anything but 1.0; the tolerance is not used. -2 for a bad index.
  int CheckParentInfluence(int parent_index, double tolerance,
                           bool* influential) override;

  // The noisy-MAX formula, one stride walk over the parent positions with
  // running products. -42 when the table does not fit.
  int CalculateCpt() override;
  // Every parent's columns but its last, then the leak.
  void GetFreeParameterColumns(std::vector<int>* out) const override;
  // Every parent's last column is the point mass at the last own outcome.
  void SetConstrainedColumns() override;

  // ---- Strength orders.

  // Parent i's order. REQUIRES: 0 <= i < parent count.
  const VRN_intArray& GetParentOutcomeStrengths(int i) const {
    return strengths_[i];
  }
  int GetStrengthsCount() const { return static_cast<int>(strengths_.size()); }
  // -2 when the parent index is bad or the length differs from the
  // parent's order, -4 (logged) when it is not a permutation; else stores
  // it (the columns stay by position); 0.
  int SetParentOutcomeStrengths(int i, const VRN_intArray& strengths);
  // Stores without checks. REQUIRES: a valid parent index.
  void StoreParentOutcomeStrengths(int i, const VRN_intArray& strengths);
  // Moves the parent's columns with the order: new position k holds old
  // position perm[k]; the last column becomes the point mass again; -2 for
  // a bad index or a permutation of the wrong length.
  int ChangeParentOutcomeStrengths(int i, const VRN_intArray& perm);

  // ---- Strength orders of the temporal definitions of a plate node
  // (canonical_temporal.cpp). -51 without a temporal definition of that
  // order; else a copy of its orders; 0.
  int GetTemporalParentOutcomeStrengths(int order,
                                        std::vector<VRN_intArray>* out) const;
  // -51 without a temporal definition of that order; -4 when the count
  // differs from its parent count or a row is not a permutation of its
  // parent's outcomes (nothing stored); else stores them all; 0.
  int SetTemporalParentOutcomeStrengths(int order,
                                        const std::vector<VRN_intArray>& rows);

  // ---- Henrion form.

  // The parameters in Henrion form (leak included in each column); 0.
  int GetHenrionProbabilities(VRN_matrix* out) const;
  // -2 when the dimensions differ or (logged) a distinguished column is not
  // exactly the point mass at the last outcome; -4 (logged) for an item that is not
  // a probability or columns that give parameters that are none; otherwise
  // converts back and stores; 0.
  int SetHenrionProbabilities(const VRN_matrix& henrion);
  // The Henrion items of every non-distinguished column, leak included.
  int GetHenrionProbabilitiesArray(VRN_doubleArray* out) const;
  // -2 unless the count is (columns - parents) * n; else as above.
  int SetHenrionProbabilitiesArray(const VRN_doubleArray& items);
  // Whether `item` of a parameter-shaped matrix lies in a parent's last
  // column.
  bool IsDistinguishedItem(int item) const;

 protected:
  // Parameters are probabilities: a NaN, an infinity or a number outside
  // [0, 1] is refused with -4 by every parameter setter.
  bool AcceptsItems(const double* items, int count) const override;
  int RefusedItemsStatus() const override;

 public:

  // The noisy-MAX table of `parameters` ([columns, n], one block of columns
  // per input, the leak last) whose inputs have the given strength orders
  // (block i as long as order i): dimensions the orders' lengths, then n.
  // -42 when the table does not fit.
  static int Expand(const VRN_matrix& parameters,
                    const std::vector<VRN_intArray>& strengths,
                    VRN_matrix* out);

  // Per column (outcomes fastest, n per column): entry j becomes the sum
  // of entries j..n-1 (negative partial sums stored as 0), and back.
  static void CumulateProbabilities(VRN_matrix* matrix);
  static void DecumulateProbabilities(VRN_matrix* matrix);

  // Fits the parameters to the table in the expanded cache by a search of
  // single-item moves starting from the table's own columns; the step
  // starts at `initial_step` and halves down to `min_step`. Never ends
  // worse than its start. The cache is left stale.
  void FitToTable(double initial_step, double min_step);

 protected:
  // The strength orders.
  void CopyFieldsInto(VRN_ciDef* target) const override;

 private:
  VRN_noisyMAX(const VRN_noisyMAX& other, VRN_network* network);

  // Writes the table of `parameters` (cumulated already) into `out`, whose
  // size is the product of the order lengths times n.
  void ComputeTable(const double* cumulated, double* out);
  bool IsDistinguishedColumn(int column) const;

  std::vector<VRN_intArray> strengths_;
  // Scratch of the table walk, kept to spare allocations per computation:
  // the cumulated parameters, the running products (one row per parent
  // plus the leak) and the walk's positions, offsets and strides.
  std::vector<double> cumulated_;
  std::vector<double> running_;
  std::vector<int> walk_;
};

#endif  // QELTA_DEFINITIONS_NOISY_MAX_H_
