// Random networks of every kind the engine builds, after random edits, are
// written in every format the library writes. Each write either fails with
// a message and leaves no file, or the file reads back in its format with
// status 0 and every node; what the format holds must then be what the
// network holds: the same parents, outcomes and tables as the network, the
// numbers of outcomes, equations and their bounds, in the XML file and the
// native text also cost arcs and costs bit for bit and node geometry (the
// XML file's with its layout block), in the XML file also cases and the
// layout block's state information (but what the file is said to lose),
// and the same text when the read-back network is written again; an
// XMLBIF file is well-formed XML to expat. A refusal names, quoted, the
// node (and case) it refuses. Only the XML file holds a dynamic network
// (one with temporal nodes): every other format refuses it, naming the
// format, and leaves no file. An outcome edit that answers an error leaves
// the network and its save as they were.
//
// Kinds and edits are tables: a new kind is one builder and one line in
// kKinds, a new edit one function and one line in kEdits. A kind whose
// saves are known not to read back yet stays behind a switch, off, with
// the reason beside it.
//
// The seed count is small by default; QELTA_SAVE_FUZZ_SEEDS sets another
// (a few thousand for a thorough run), QELTA_SAVE_FUZZ_FIRST_SEED the
// first one, and QELTA_SAVE_FUZZ_VERBOSE prints what each step did.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "base/arrays.h"
#include "base/matrix.h"
#include "base/special_values.h"
#include "base/status.h"
#include "definitions/ci_def.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/noisy_adder.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "definitions/truth_table.h"
#include "equations/equation.h"
#include "equations/mau.h"
#include "io/format.h"
#include "io/text/text_network_util.h"
#include "network/cases.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

namespace {

using qelta_test::LogText;
using qelta_test::ReadWholeFile;

// Kinds and edits whose saves do not read back yet; while a switch is
// false the generator leaves them out.
//
// The parent order of a multi-attribute utility node with expressions:
// reading installs the expressions, which may put the parents in another
// order. While false, such parents are compared as sets, and the XML text
// is compared from the first read on.
constexpr bool kMauExpressionParentOrder = true;
// A constant equation over the default intervals of a range of one point
// (made before its equation became constant), which the XML file holds as
// they are, since reading would make a constant's over the whole line.
// While false, the XML text of such a network is compared from the first
// read on.
constexpr bool kConstantEquationsOverOnePoint = true;

// An equation node whose range is one point (lower bound equal to upper),
// which Netica files write as equal levels. While false, such a range and
// its intervals are not compared in that format.
constexpr bool kNeticaEquationsOverOnePoint = true;

// An equation node over the default intervals of a range of one point
// (bounds a, a, a) changed into a discrete node: its outcomes come without
// those bounds, which no interval definition takes (two empty intervals in
// a row). While false, the generator changes no such node's type.
constexpr bool kOnePointIntervalsThroughTypeChange = true;

constexpr int kDefaultSeeds = 300;
constexpr int kMaxNodes = 8;
constexpr int kEditSteps = 12;
constexpr double kInf = std::numeric_limits<double>::infinity();

int EnvInt(const char* name, int fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr) return fallback;
  const int value = std::atoi(text);
  return value > 0 ? value : fallback;
}

// ----------------------------------------------------------------- network

class Fuzz {
 public:
  explicit Fuzz(unsigned seed) : rng_(seed) {}

  VRN_network& net() { return net_; }

  int Uniform(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng_);
  }
  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
  double Unit() { return std::uniform_real_distribution<double>(0, 1)(rng_); }

  std::vector<int> Live() const {
    std::vector<int> out;
    for (int h = net_.GetFirstNode(); h >= 0; h = net_.GetNextNode(h)) {
      out.push_back(h);
    }
    return out;
  }
  // A live node, -1 when there is none.
  int AnyNode() {
    const std::vector<int> live = Live();
    return live.empty() ? -1 : live[Uniform(0, static_cast<int>(live.size()) - 1)];
  }
  // A live node of one of the types, -1 when there is none.
  int AnyOf(std::initializer_list<int> types) {
    std::vector<int> found;
    for (int h : Live()) {
      if (std::find(types.begin(), types.end(), Type(h)) != types.end()) {
        found.push_back(h);
      }
    }
    return found.empty() ? -1
                         : found[Uniform(0, static_cast<int>(found.size()) - 1)];
  }
  VRN_nodeDef* Def(int h) { return net_.GetNode(h)->Definition(); }
  int Type(int h) { return Def(h)->GetType(); }
  VRN_discDef* Disc(int h) { return dynamic_cast<VRN_discDef*>(Def(h)); }
  std::string Id(int h) { return h >= 0 ? net_.GetNode(h)->GetId() : "?"; }
  bool Full() const { return net_.GetNumberOfNodes() >= kMaxNodes; }

  int Add(int type) {
    if (Full()) return -1;
    return net_.AddNode(type, nullptr);
  }
  // An arc (refusals ignored).
  void Arc(int parent, int child) {
    if (parent >= 0 && child >= 0) (void)net_.AddArc(parent, child);
  }
  // Arcs from up to `count` random nodes into h.
  void SomeParents(int h, int count) {
    for (int i = 0; i < count; ++i) Arc(AnyNode(), h);
  }

  // Random positive numbers summing to 1 in every run of the last
  // dimension; sometimes a run is one 1.0 among zeros.
  std::vector<double> Distributions(const VRN_matrix& table) {
    std::vector<double> items(static_cast<size_t>(table.GetItemCount()));
    const int dims = table.GetDimensionCount();
    const int n = dims > 0 ? table.GetSize(dims - 1) : 1;
    for (size_t at = 0; at + static_cast<size_t>(n) <= items.size(); at += n) {
      if (Chance(0.15)) {
        items[at + static_cast<size_t>(Uniform(0, n - 1))] = 1.0;
        continue;
      }
      double sum = 0.0;
      for (int j = 0; j < n; ++j) sum += items[at + j] = 0.05 + Unit();
      for (int j = 0; j < n; ++j) items[at + j] /= sum;
    }
    return items;
  }

  // Now and then one entry not a number or infinite, which the setter
  // stores and no file holds: every writer refuses it.
  void SometimesNonFinite(std::vector<double>* items) {
    if (items->empty() || !Chance(0.03)) return;
    const double odd[] = {std::nan(""), kInf, -kInf};
    (*items)[static_cast<size_t>(Uniform(0, static_cast<int>(items->size()) - 1))] =
        odd[Uniform(0, 2)];
  }

  // New random numbers for the node's own parameters.
  void RandomTable(int h) {
    VRN_nodeDef* def = Def(h);
    const int type = def->GetType();
    if (type == qelta::kDefTruthTable) {
      // Mostly one 1.0 per column; sometimes any numbers.
      const VRN_matrix& m = *def->GetMatrixConst();
      std::vector<double> items = Distributions(m);
      const int n = m.GetSize(m.GetDimensionCount() - 1);
      if (Chance(0.7)) {
        for (size_t at = 0; at < items.size(); at += n) {
          const int pick = Uniform(0, n - 1);
          for (int j = 0; j < n; ++j) items[at + j] = j == pick ? 1.0 : 0.0;
        }
      }
      (void)def->SetDefinitionFromVector(items);
    } else if (type == qelta::kDefCpt) {
      std::vector<double> items = Distributions(*def->GetMatrixConst());
      SometimesNonFinite(&items);
      (void)def->SetDefinitionFromVector(items);
    } else if (type == qelta::kDefNoisyMax || type == qelta::kDefNoisyAdder) {
      auto* ci = static_cast<VRN_ciDef*>(def);
      std::vector<double> items = Distributions(ci->Parameters());
      // The distinguished columns stay as they are.
      const VRN_matrix& p = ci->Parameters();
      const int n = p.GetSize(p.GetDimensionCount() - 1);
      for (size_t at = 0; at < items.size(); at += n) {
        int ones = 0;
        for (int j = 0; j < n; ++j) ones += p.GetItem(static_cast<int>(at) + j) == 1.0;
        if (ones == 1) {
          for (int j = 0; j < n; ++j) items[at + j] = p.GetItem(static_cast<int>(at) + j);
        }
      }
      SometimesNonFinite(&items);
      (void)def->SetDefinitionFromVector(items);
      // Now and then a noisy-MAX parameter outside [0, 1], which the setter
      // refuses and GetMatrix stores: the files whose reader refuses it
      // refuse it.
      if (type == qelta::kDefNoisyMax && Chance(0.05)) {
        VRN_matrix* stored = def->GetMatrix();
        *stored->ItemAddress(Uniform(0, stored->GetItemCount() - 1)) =
            Chance(0.5) ? 1.5 : -0.25;
      }
      if (type == qelta::kDefNoisyAdder && Chance(0.4)) {
        auto* adder = static_cast<VRN_noisyAdder*>(def);
        (void)adder->SetDistinguishedState(Uniform(0, Disc(h)->GetNumberOfOutcomes() - 1));
        (void)adder->SetParentWeight(0, 0.2 + Unit());
      }
    } else if (type == qelta::kDefDemorgan) {
      auto* dm = static_cast<VRN_demorgan*>(def);
      (void)dm->SetPriorBelief(Unit());
      for (int i = 0; i < dm->GetParentCount(); ++i) {
        (void)dm->SetParentWeight(i, Unit());
        (void)dm->SetParentType(i, Uniform(0, 3));
      }
    } else if (type == qelta::kDefCast) {
      auto* cast = static_cast<VRN_cast*>(def);
      VRN_doubleArray weights;
      for (int i = 0; i < net_.GetNode(h)->Parents().GetSize(); ++i) {
        weights.Add(2.0 * Unit() - 1.0);
      }
      (void)cast->SetPositiveWeights(weights);
      (void)cast->SetBaseline(Unit());
    } else if (type == qelta::kDefUtility || type == qelta::kDefMau) {
      const VRN_matrix* m = def->GetMatrixConst();
      if (m == nullptr) return;
      std::vector<double> items(static_cast<size_t>(m->GetItemCount()));
      for (double& v : items) v = std::round(Unit() * 2000.0 - 1000.0) / 10.0;
      (void)def->SetDefinitionFromVector(items);
    }
  }

  // Interval bounds for n outcomes, sometimes with infinite ends, empty
  // intervals or equal neighbours.
  std::vector<double> Bounds(int n) {
    std::vector<double> bounds;
    double at = std::round(Unit() * 20.0 - 10.0);
    for (int i = 0; i <= n; ++i) {
      bounds.push_back(at);
      at += Chance(0.1) && i > 0 && bounds[i] != bounds[i - 1]
                ? 0.0
                : std::round(Unit() * 40.0 + 1.0) / 4.0;
    }
    if (Chance(0.3)) bounds.front() = -kInf;
    if (Chance(0.3)) bounds.back() = kInf;
    return bounds;
  }

  // A number for discrete node h to observe: mostly a bound or the middle
  // of one of its intervals, sometimes one of its point values, one
  // outside every interval or not a number.
  double NumberFor(int h) {
    VRN_discDef* disc = Disc(h);
    std::vector<double> values;
    if (Chance(0.1)) return Chance(0.5) ? -1e9 : std::nan("");
    if (disc->GetIntervals(&values) == qelta::kOk) {
      const int i = Uniform(0, static_cast<int>(values.size()) - 2);
      double low = values[static_cast<size_t>(i)];
      double high = values[static_cast<size_t>(i) + 1];
      if (!std::isfinite(low)) low = std::isfinite(high) ? high - 1.0 : 0.0;
      if (!std::isfinite(high)) high = low + 1.0;
      switch (Uniform(0, 2)) {
        case 0:
          return low;
        case 1:
          return high;
        default:
          return low / 2 + high / 2;
      }
    }
    if (disc->GetPointValues(&values) == qelta::kOk) {
      return values[static_cast<size_t>(Uniform(0, static_cast<int>(values.size()) - 1))];
    }
    return Uniform(0, 3);
  }

  // Discretization intervals of an equation node over its bounds.
  void EquationIntervals(int h) {
    auto* eq = static_cast<VRN_equation*>(Def(h));
    const int n = Uniform(2, 4);
    const double lower = std::round(Unit() * 10.0 - 5.0);
    std::vector<VRN_discInterval> intervals;
    double at = lower;
    const bool named = Chance(0.6);
    for (int i = 0; i < n; ++i) {
      at += std::round(Unit() * 8.0 + 1.0) / 2.0;
      intervals.push_back({named ? "i" + std::to_string(i) : std::string(), at});
    }
    // Sometimes with infinite ends.
    (void)eq->SetDiscIntervals(Chance(0.2) ? -kInf : lower,
                               Chance(0.2) ? kInf : at, intervals);
  }

  // An equation for node h over the nodes that may be its parents.
  void RandomEquation(int h) {
    auto* eq = static_cast<VRN_equation*>(Def(h));
    std::string right;
    switch (Uniform(0, 4)) {
      case 0:
        right = "Normal(" + std::to_string(Uniform(-3, 3)) + ", 1)";
        break;
      case 1:
        right = "Gamma(2, 0.6)";
        break;
      default: {
        // Any node, those the arc rules refuse as parents too.
        const int p = AnyOf({qelta::kDefEquation, qelta::kDefCpt,
                             qelta::kDefTruthTable, qelta::kDefNoisyMax});
        const std::string x = p >= 0 && p != h ? Id(p) : "1";
        if (functions_ && Chance(0.6)) {
          right = Chance(0.5) ? "cube(" + x + ")" : "bump(" + x + ", 2)";
        } else {
          right = x + "*2+Uniform(0, 1)";
        }
      }
    }
    (void)eq->SetEquation((Id(h) + "=" + right).c_str(), nullptr, nullptr);
  }

  void UserFunctions() {
    int index = 0;
    int position = 0;
    std::string message;
    if (net_.SetExtFunctions({"cube(t)=t*t*t", "bump(a, b)=a+Abs(b)"}, index,
                             position, message) == qelta::kOk) {
      functions_ = true;
    }
  }

  // With QELTA_SAVE_FUZZ_VERBOSE: what was just done and every node after it.
  void Trace(const char* what) {
    if (std::getenv("QELTA_SAVE_FUZZ_VERBOSE") == nullptr) return;
    std::printf("-- %s\n", what);
    for (int h : Live()) {
      std::string text;
      if (Type(h) == qelta::kDefEquation) {
        static_cast<VRN_equation*>(Def(h))->GetEquationText(&text);
        text += " intervals " + std::to_string(static_cast<VRN_equation*>(
                                                   Def(h))->GetDiscIntervals().size());
      }
      if (Disc(h) != nullptr) {
        text = "outcomes " + std::to_string(Disc(h)->GetNumberOfOutcomes());
      }
      std::printf("  %s type %d parents %d %s\n", Id(h).c_str(), Type(h),
                  net_.GetNode(h)->Parents().GetSize(), text.c_str());
    }
  }

  bool functions_ = false;

 private:
  VRN_network net_;
  std::mt19937 rng_;
};

// ------------------------------------------------------------------- kinds

// Builders of one node (or a small group) of a kind; each uses the nodes
// that already exist as parents where the kind may have them.
void MakeCpt(Fuzz& f) {
  const int h = f.Add(qelta::kDefCpt);
  if (h < 0) return;
  if (f.Chance(0.4)) (void)f.Def(h)->SetNumberOfOutcomes(f.Uniform(3, 4));
  f.SomeParents(h, f.Uniform(0, 2));
  f.RandomTable(h);
}

void MakeTruthTable(Fuzz& f) {
  const int h = f.Add(qelta::kDefTruthTable);
  if (h < 0) return;
  if (f.Chance(0.4)) (void)f.Def(h)->SetNumberOfOutcomes(3);
  f.SomeParents(h, f.Uniform(0, 2));
  f.RandomTable(h);
}

void MakeCanonical(Fuzz& f, int type) {
  const int h = f.Add(type);
  if (h < 0) return;
  if ((type == qelta::kDefNoisyMax || type == qelta::kDefNoisyAdder) &&
      f.Chance(0.4)) {
    (void)f.Def(h)->SetNumberOfOutcomes(3);
  }
  f.SomeParents(h, f.Uniform(0, 2));
  f.RandomTable(h);
}

void MakeNoisyMax(Fuzz& f) { MakeCanonical(f, qelta::kDefNoisyMax); }
void MakeNoisyAdder(Fuzz& f) { MakeCanonical(f, qelta::kDefNoisyAdder); }
void MakeDemorgan(Fuzz& f) { MakeCanonical(f, qelta::kDefDemorgan); }
void MakeCast(Fuzz& f) { MakeCanonical(f, qelta::kDefCast); }

void MakeDecision(Fuzz& f) {
  const int h = f.Add(qelta::kDefDecision);
  if (h < 0) return;
  if (f.Chance(0.3)) (void)f.Def(h)->SetNumberOfOutcomes(3);
  f.SomeParents(h, f.Uniform(0, 1));
}

void MakeUtility(Fuzz& f) {
  const int h = f.Add(qelta::kDefUtility);
  if (h < 0) return;
  f.SomeParents(h, f.Uniform(1, 2));
  f.RandomTable(h);
}

void MakeMau(Fuzz& f) {
  const int h = f.Add(qelta::kDefMau);
  if (h < 0) return;
  f.SomeParents(h, f.Uniform(1, 3));
  f.RandomTable(h);
  if (f.Chance(0.5)) {
    // Expressions over the utility parents, one per decision configuration.
    auto* mau = static_cast<VRN_mau*>(f.Def(h));
    VRN_mauExpressions defaults;
    mau->MakeDefaultExpressions(&defaults);
    // Now and then weighted sums alone, whose weights the node then holds
    // too: the native text, which keeps weights only, writes those.
    const bool sums = f.Chance(0.3);
    std::vector<std::string> texts;
    for (int s = 0; s < defaults.GetSlotCount(); ++s) {
      const int u = f.AnyOf({qelta::kDefUtility});
      texts.push_back(u >= 0 ? f.Id(u) + "*" + std::to_string(f.Uniform(1, 3)) +
                                   (sums ? "" : "+" + std::to_string(f.Uniform(0, 9)))
                             : std::to_string(f.Uniform(0, 9)));
    }
    std::string error;
    VRN_matrix weights;
    std::vector<double> offsets;
    int slot = -1;
    if (mau->SetExpressions(texts, &error) == qelta::kOk && sums &&
        mau->GetLinearForm(&weights, &offsets, &slot)) {
      (void)mau->SetDefinitionFromVector(
          std::vector<double>(weights.GetItems().begin(), weights.GetItems().end()));
    }
  }
}

void MakeEquation(Fuzz& f) {
  if (f.Chance(0.3) && !f.functions_) f.UserFunctions();
  const int h = f.Add(qelta::kDefEquation);
  if (h < 0) return;
  f.RandomEquation(h);
  auto* eq = static_cast<VRN_equation*>(f.Def(h));
  if (f.Chance(0.5)) (void)eq->SetBounds(0, f.Uniform(1, 10));
  if (f.Chance(0.6)) f.EquationIntervals(h);
}

void MakePlate(Fuzz& f) {
  const int types[] = {qelta::kDefCpt, qelta::kDefCpt, qelta::kDefNoisyMax,
                       qelta::kDefTruthTable};
  const int type = types[f.Uniform(0, 3)];
  const int h = f.Add(type);
  if (h < 0) return;
  (void)f.net().setNodeTemporalType(h, qelta::kTemporalPlate);
  const int other = f.AnyNode();
  if (other >= 0 && f.net().GetTemporalType(other) == qelta::kTemporalPlate) {
    (void)f.net().AddTemporalArc(other, h, f.Uniform(1, 2));
  }
  (void)f.net().AddTemporalArc(h, h, 1);
  (void)f.net().SetNumberOfSlices(f.Uniform(1, 4));
  f.RandomTable(h);
  VRN_nodeDef* def = f.Def(h);
  const VRN_matrix* temporal = def->GetTemporalMatrix(1);
  if (type != qelta::kDefNoisyMax && temporal != nullptr) {
    // A truth table's too: mostly one 1.0 per column, sometimes any numbers.
    std::vector<double> numbers = f.Distributions(*temporal);
    const int n = temporal->GetSize(temporal->GetDimensionCount() - 1);
    if (type == qelta::kDefTruthTable && f.Chance(0.7)) {
      for (size_t at = 0; at < numbers.size(); at += n) {
        const int pick = f.Uniform(0, n - 1);
        for (int j = 0; j < n; ++j) numbers[at + j] = j == pick ? 1.0 : 0.0;
      }
    }
    VRN_doubleArray items;
    for (double v : numbers) items.Add(v);
    (void)def->SetTemporalDefinition(1, items);
  }
}

void MakeSubmodel(Fuzz& f) {
  VRN_submodelTable* table = f.net().Submodels();
  VRN_intArray all;
  table->GetDescendants(all);
  const int parent = all.GetSize() > 0 ? all[f.Uniform(0, all.GetSize() - 1)]
                                       : qelta::kMainSubmodel;
  const int s = table->CreateSubmodel(parent, nullptr);
  const int h = f.AnyNode();
  if (s >= 0 && h >= 0) (void)f.net().GetNode(h)->SetSubmodel(s);
}

// What an outcome edit of h that answers an error leaves as it was: the
// save, and h's outcomes and numbers and the tables of h, of its children
// and every temporal one (dimensions, then items).
std::pair<std::string, std::string> Kept(Fuzz& f, int h) {
  std::pair<std::string, std::string> kept;
  if (f.net().WriteString(kept.first, qelta::kExtensionNone) != qelta::kOk) {
    kept.first.clear();
  }
  const VRN_idArray* ids = f.Def(h)->GetOutcomesNames();
  for (int i = 0; ids != nullptr && i < ids->GetSize(); ++i) {
    kept.second += std::string(ids->Get(i) != nullptr ? ids->Get(i) : "") + " ";
  }
  const VRN_doubleArray* numbers = f.Disc(h) != nullptr ? f.Disc(h)->GetValues() : nullptr;
  for (int i = 0; numbers != nullptr && i < numbers->GetSize(); ++i) {
    kept.second += std::to_string((*numbers)[i]) + " ";
  }
  std::vector<const VRN_matrix*> tables{f.Def(h)->GetMatrixConst()};
  for (int c : f.net().GetNode(h)->Children()) tables.push_back(f.Def(c)->GetMatrixConst());
  for (int p : f.Live()) {
    VRN_intArray orders;
    (void)f.net().GetTemporalOrders(p, orders);
    for (int k : orders) tables.push_back(f.Def(p)->GetTemporalMatrix(k));
  }
  for (const VRN_matrix* m : tables) {
    for (int i = 0; m != nullptr && i < m->GetDimensionCount(); ++i) {
      kept.second += "\n" + std::to_string(m->GetSize(i));
    }
    for (int i = 0; m != nullptr && i < m->GetItemCount(); ++i) {
      kept.second += " " + std::to_string(m->GetItems()[i]);
    }
  }
  return kept;
}

// Runs an outcome edit of h; one that answers an error changes nothing.
void Refusable(Fuzz& f, int h, const char* what, const std::function<int()>& edit) {
  const auto before = Kept(f, h);
  const int status = edit();
  if (status == qelta::kOk) return;
  const auto after = Kept(f, h);
  EXPECT_EQ(before.second, after.second) << what << "(" << f.Id(h) << ") answered " << status;
  if (before.first.empty() || after.first.empty()) return;
  EXPECT_EQ(before.first, after.first) << what << "(" << f.Id(h) << ") answered " << status;
}

// Numbers for the outcomes of a discrete node, CAST and DeMorgan nodes
// too: interval bounds (identifiers cleared or not; sometimes of another
// count, which the outcomes follow), point values, or neither again.
void MakeIntervals(Fuzz& f) {
  const int h = f.AnyOf({qelta::kDefCpt, qelta::kDefTruthTable,
                         qelta::kDefNoisyMax, qelta::kDefNoisyAdder,
                         qelta::kDefDecision, qelta::kDefCast,
                         qelta::kDefDemorgan});
  if (h < 0) return;
  VRN_discDef* disc = f.Disc(h);
  const double pick = f.Unit();
  if (pick < 0.65) {
    const int n = disc->GetNumberOfOutcomes();
    const int count =
        pick < 0.08 ? n + 1 : pick < 0.16 ? std::max(2, n - 1) : n;
    Refusable(f, h, "SetIntervals", [&] {
      return disc->SetIntervals(f.Bounds(count), f.Chance(0.4));
    });
  } else if (pick < 0.9) {
    std::vector<double> values;
    for (int i = 0; i < disc->GetNumberOfOutcomes(); ++i) {
      values.push_back(std::round(f.Unit() * 40.0 - 20.0) / 4.0);
    }
    // Sometimes one that is not a number or infinite, which no file holds.
    if (f.Chance(0.1)) values[0] = f.Chance(0.5) ? std::nan("") : kInf;
    Refusable(f, h, "SetPointValues", [&] { return disc->SetPointValues(values); });
  } else {
    (void)disc->RemoveIntervals();
    (void)disc->RemovePointValues();
  }
}

// Comments, fixes and links of some outcomes of a discrete node (the
// layout block holds them).
void MakeStateInfo(Fuzz& f) {
  const int h = f.AnyOf({qelta::kDefCpt, qelta::kDefTruthTable,
                         qelta::kDefNoisyMax, qelta::kDefNoisyAdder,
                         qelta::kDefDecision, qelta::kDefCast,
                         qelta::kDefDemorgan});
  if (h < 0) return;
  VRN_discDef* disc = f.Disc(h);
  for (int k = f.Uniform(1, 2); k > 0; --k) {
    const int i = f.Uniform(0, disc->GetNumberOfOutcomes() - 1);
    const std::string tag = f.Id(h) + "_" + std::to_string(i);
    switch (f.Uniform(0, 2)) {
      case 0:
        (void)disc->SetOutcomeDescription(i, ("about " + tag).c_str());
        break;
      case 1:
        (void)disc->SetOutcomeFix(i, ("mend " + tag).c_str());
        break;
      default: {
        VRN_documentation links;
        (void)links.Add(("see " + tag).c_str(), "doc.html");
        (void)disc->SetOutcomeDocumentation(i, links);
      }
    }
  }
}

void MakeNamedOutcomes(Fuzz& f) {
  const int h = f.AnyOf({qelta::kDefCpt, qelta::kDefTruthTable,
                         qelta::kDefNoisyMax, qelta::kDefNoisyAdder,
                         qelta::kDefDecision});
  if (h < 0) return;
  for (int i = 0; i < f.Disc(h)->GetNumberOfOutcomes(); ++i) {
    (void)f.Def(h)->RenameOutcome(
        i, (std::string(f.Chance(0.5) ? "o" : "Level_") + std::to_string(i)).c_str());
  }
}

// An equation node with intervals as a steady parent of a plate node with
// a temporal arc, the arcs made in either order; sometimes the intervals
// change afterwards, or the parent is a CPT that becomes an equation only
// then.
void MakeEquationParentOfPlate(Fuzz& f) {
  if (f.net().GetNumberOfNodes() + 2 > kMaxNodes) return;
  const bool converted = f.Chance(0.3);
  const int m = f.Add(converted ? qelta::kDefCpt : qelta::kDefEquation);
  const int x = f.Add(f.Chance(0.7) ? qelta::kDefCpt : qelta::kDefNoisyMax);
  if (converted) {
    (void)f.Def(m)->SetNumberOfOutcomes(f.Uniform(2, 4));
  } else {
    f.RandomEquation(m);
    f.EquationIntervals(m);
  }
  (void)f.net().setNodeTemporalType(x, qelta::kTemporalPlate);
  (void)f.net().SetNumberOfSlices(f.Uniform(1, 4));
  const bool temporal_first = f.Chance(0.5);
  if (temporal_first) (void)f.net().AddTemporalArc(x, x, 1);
  f.Arc(m, x);
  if (!temporal_first) (void)f.net().AddTemporalArc(x, x, 1);
  f.RandomTable(x);
  if (converted) {
    (void)f.net().GetNode(m)->setNodeType(qelta::kDefEquation);
  } else if (f.Chance(0.5)) {
    f.EquationIntervals(m);
  }
}

// A terminal node, child of any node the arc rules let it have, and an
// equation that names it, which only a terminal equation may.
void MakeTerminal(Fuzz& f) {
  const int t = f.Add(f.Chance(0.6) ? qelta::kDefCpt : qelta::kDefEquation);
  if (t < 0) return;
  (void)f.net().setNodeTemporalType(t, qelta::kTemporalTerminal);
  if (f.Type(t) == qelta::kDefEquation) {
    f.RandomEquation(t);
  } else {
    f.SomeParents(t, f.Uniform(0, 2));
    f.RandomTable(t);
  }
  const int e = f.AnyOf({qelta::kDefEquation});
  if (e < 0 || e == t) return;
  if (f.Chance(0.3)) {
    (void)f.net().setNodeTemporalType(e, qelta::kTemporalTerminal);
  }
  (void)static_cast<VRN_equation*>(f.Def(e))->SetEquation(
      (f.Id(e) + "=" + f.Id(t) + "+1").c_str(), nullptr, nullptr);
}

// A stored case: observed outcomes, values of equation nodes, soft
// evidence, outcomes per slice of plate nodes and targets; then, now and
// then, new intervals for some node, identifiers cleared or not.
void MakeCase(Fuzz& f) {
  // Sometimes names that differ in a control byte only, or from "k." in
  // one, which the XML file cannot carry.
  const std::string name =
      f.Chance(0.15) ? std::string("k") + "\x01\x02."[f.Uniform(0, 2)]
                     : "case" + std::to_string(f.net().GetNumberOfCases());
  VRN_case* c = f.net().AddCase(name.c_str());
  if (c == nullptr) return;
  for (int i = f.Uniform(1, 3); i > 0; --i) {
    const int h = f.AnyNode();
    if (h < 0) break;
    const int n = f.Def(h)->GetNumberOfOutcomes();
    if (f.Type(h) == qelta::kDefEquation) {
      (void)c->SetContEvidence(h, std::round(f.Unit() * 80.0 - 40.0) / 8.0);
    } else if (f.Chance(0.03)) {
      // Any node may hold a number, and per-slice outcomes outside the
      // plate; the file can name neither.
      (void)(f.Chance(0.5) ? c->SetContEvidence(h, f.Unit())
                           : c->SetTemporalEvidence(h, 0, 0));
    } else if (n < 2) {
      continue;
    } else if (f.Chance(f.Disc(h)->HasIntervals() ||
                                f.Disc(h)->HasPointValues()
                            ? 0.3
                            : 0.03)) {
      (void)c->SetContEvidence(h, f.NumberFor(h));
    } else if (f.net().GetTemporalType(h) == qelta::kTemporalPlate) {
      for (int k = f.Uniform(1, 2); k > 0; --k) {
        (void)c->SetTemporalEvidence(h, f.Uniform(0, n - 1), f.Uniform(0, 3));
      }
    } else if (f.Chance(0.3)) {
      std::vector<double> soft;
      for (int k = 0; k < n; ++k) soft.push_back(f.Uniform(0, 8) / 8.0);
      // No file holds a value that is not finite: the case refuses it.
      if (f.Chance(0.05)) soft[0] = f.Chance(0.5) ? std::nan("") : -HUGE_VAL;
      (void)c->SetVirtualEvidence(h, soft);
    } else {
      (void)c->SetEvidence(h, f.Uniform(0, n - 1));
    }
  }
  if (f.Chance(0.4)) (void)c->AddNode(f.AnyNode());
  if (f.Chance(0.5)) MakeIntervals(f);
}

// A chain of submodels as deep as files hold, now and then one deeper,
// which the formats that keep the tree refuse. Rare: each costs as much as
// a hundred small networks.
void MakeDeepSubmodels(Fuzz& f) {
  if (!f.Chance(0.03)) return;
  VRN_submodelTable* table = f.net().Submodels();
  const int depth = qelta::kMaxSubmodelDepth + (f.Chance(0.5) ? 1 : 0);
  int parent = qelta::kMainSubmodel;
  for (int k = 0; k < depth && parent >= 0; ++k) {
    parent = table->CreateSubmodel(parent, nullptr);
  }
  const int h = f.AnyNode();
  if (parent >= 0 && h >= 0) (void)f.net().GetNode(h)->SetSubmodel(parent);
}

// Texts XML cannot carry (U+FFFE, U+FFFF, a stray byte, a cut sequence,
// an encoded surrogate) in a node's name or comment or a case's texts;
// the XML save refuses them, naming the node or case.
void MakeNonXmlText(Fuzz& f) {
  const char* const texts[] = {"x\xEF\xBF\xBEy", "\xEF\xBF\xBF", "a\xFF",
                               "b\xE2\x82", "\xED\xA0\x80"};
  const char* text = texts[f.Uniform(0, 4)];
  const int h = f.AnyNode();
  VRN_case* c = f.net().GetCase(f.net().GetNumberOfCases() - 1);
  switch (f.Uniform(0, 4)) {
    case 0:
      if (h >= 0) (void)f.net().GetNode(h)->Header().SetName(text);
      break;
    case 1:
      if (h >= 0) (void)f.net().GetNode(h)->Header().SetComment(text);
      break;
    case 2:
      if (c != nullptr) c->SetCategory(text);
      break;
    case 3:
      if (c != nullptr) c->SetDescription(text);
      break;
    default:
      if (c != nullptr) (void)c->SetName((std::string(text) + "c").c_str());
      break;
  }
}

// A node whose identifier, made with the at sign, skips the identifier
// rule; no reader takes it back as it is, so every writer refuses it.
void MakeAtSignNode(Fuzz& f) {
  if (!f.Chance(0.3) || f.Full()) return;
  const std::string id =
      f.Chance(0.5) ? "@" + std::to_string(f.net().GetNumberOfNodes()) + "x"
                    : std::string(f.Chance(0.5) ? "@" : "@A");
  const int h = f.net().AddNode(qelta::kDefCpt, id.c_str());
  if (h >= 0 && f.Chance(0.7)) f.Arc(h, f.AnyNode());
}

// Node and outcome identifiers with bytes that are not UTF-8 (valid
// identifier bytes), which every text reader repairs, so that two could
// read back as one; U+FFFE, which XML cannot carry; a control byte, which
// no identifier takes.
void MakeNonUtf8Ids(Fuzz& f) {
  const char* const tails[] = {"\xE9", "\xE8", "\xFF", "\xEF\xBF\xBE", "\x01"};
  for (int k = 0; k < 2; ++k) {
    const int h = f.AnyNode();
    if (h < 0) return;
    const std::string tail = tails[f.Uniform(0, 4)];
    VRN_discDef* disc = f.Disc(h);
    if (f.Chance(0.5) || disc == nullptr || !disc->HasOutcomeIds() ||
        disc->AreOutcomesFixed()) {
      (void)f.net().GetNode(h)->Header().SetId(("Temp" + tail).c_str());
    } else {
      const int i = f.Uniform(0, disc->GetNumberOfOutcomes() - 1);
      (void)disc->RenameOutcome(i, ("s" + tail).c_str());
    }
  }
}

// Observation costs, now and then behind a cost arc: ordinary, extreme
// (which the files that keep costs hold bit for bit) or not available; now
// and then one not finite, which the setter refuses, storing nothing.
void MakeCosts(Fuzz& f) {
  const int h = f.AnyNode();
  if (h < 0) return;
  if (f.Chance(0.3)) (void)f.net().AddArc(f.AnyNode(), h, qelta::kArcLayerCost);
  VRN_node* node = f.net().GetNode(h);
  auto items = [node] {
    const VRN_doubleArray& now = node->GetCost().GetItems();
    return std::vector<double>(now.begin(), now.end());
  };
  const std::vector<double> before = items();
  const double odd[] = {1e-300, std::numeric_limits<double>::denorm_min(),
                        1e300, DBL_MAX, -DBL_MAX, qelta::kNotAvailableValue,
                        kInf, -kInf, std::nan("")};
  std::vector<double> costs(before.size());
  for (double& v : costs) {
    v = f.Chance(0.3) ? odd[f.Uniform(0, 5)] : f.Uniform(0, 40) / 4.0;
  }
  const bool finite = !f.Chance(0.15);
  const int at = f.Uniform(0, static_cast<int>(costs.size()) - 1);
  if (!finite) costs[static_cast<size_t>(at)] = odd[f.Uniform(6, 8)];
  const int status = node->SetCostArray(costs);
  if (finite) return;
  EXPECT_EQ(qelta::kErrInvalidValue, status) << "a cost not finite stored";
  EXPECT_EQ(before, items());
}

// User properties, the network's identifier and submodels' identifiers:
// names that are not UTF-8 (two of which repair to one), or identifiers the
// network, a submodel or a node carries already.
void MakeOddIds(Fuzz& f) {
  VRN_submodelTable* table = f.net().Submodels();
  VRN_intArray all;
  table->GetDescendants(all);
  const int h = f.AnyNode();
  const char* const odd[] = {"p\xff", "p\xfe", "p_", "Qa\xffz"};
  const std::string ids[] = {odd[f.Uniform(0, 3)], f.net().Header()->GetId(), f.Id(h),
                             table->GetSubmodel(all[f.Uniform(0, all.GetSize() - 1)])->Header().GetId()};
  const std::string id = ids[f.Uniform(0, 3)];
  if (f.Chance(0.4)) {
    VRN_userProperties& p =
        h >= 0 && f.Chance(0.7) ? f.net().GetNode(h)->UserProperties() : f.net().UserProperties();
    (void)p.AddProperty(odd[f.Uniform(0, 3)], ("v" + std::to_string(p.GetSize())).c_str());
  } else if (f.Chance(0.3) || all.GetSize() < 2) {
    (void)f.net().Header()->SetId(id.c_str());
  } else {
    (void)table->GetSubmodel(all[f.Uniform(1, all.GetSize() - 1)])->Header().SetId(id.c_str());
  }
}

// Node geometry the setters store as given: sizes of 0, INT_MAX, INT_MIN
// and -7, centres at the int limits.
void MakeGeometry(Fuzz& f) {
  const int h = f.AnyNode();
  if (h < 0) return;
  const int odd[] = {INT_MIN, INT_MAX, 0, -7, 31};
  VRN_screenInfo& info = f.net().GetNode(h)->ScreenInfo();
  info.x = odd[f.Uniform(0, 4)];
  info.y = odd[f.Uniform(0, 4)];
  // A negative size other than INT_MIN, which the XML file would read
  // back as its absolute value, now and then.
  info.width = f.Chance(0.5) ? INT_MIN : odd[f.Uniform(1, 4)] & INT_MAX;
  info.height = f.Chance(0.5) ? INT_MIN : odd[f.Uniform(1, 4)] & INT_MAX;
  if (f.Chance(0.2)) (f.Chance(0.5) ? info.width : info.height) = odd[3];
}

struct Kind {
  const char* name;
  bool on;
  void (*make)(Fuzz&);
};

const Kind kKinds[] = {
    {"cpt", true, MakeCpt},
    {"truth table", true, MakeTruthTable},
    {"noisy-MAX", true, MakeNoisyMax},
    {"noisy-adder", true, MakeNoisyAdder},
    {"DeMorgan", true, MakeDemorgan},
    {"CAST", true, MakeCast},
    {"decision", true, MakeDecision},
    {"utility", true, MakeUtility},
    {"multi-attribute utility", true, MakeMau},
    {"equation", true, MakeEquation},
    {"plate node", true, MakePlate},
    {"submodel", true, MakeSubmodel},
    {"intervals", true, MakeIntervals},
    {"named outcomes", true, MakeNamedOutcomes},
    {"equation parent of a plate node", true, MakeEquationParentOfPlate},
    {"terminal node", true, MakeTerminal},
    {"case", true, MakeCase},
    {"deep submodels", true, MakeDeepSubmodels},
    {"state information", true, MakeStateInfo},
    {"texts XML cannot carry", true, MakeNonXmlText},
    {"at-sign identifier", true, MakeAtSignNode},
    {"identifiers not UTF-8", true, MakeNonUtf8Ids},
    {"costs", true, MakeCosts},
    {"properties, network and submodel identifiers", true, MakeOddIds},
    {"geometry", true, MakeGeometry},
};

// ------------------------------------------------------------------- edits

void EditTable(Fuzz& f) {
  const int h = f.AnyNode();
  if (h >= 0) f.RandomTable(h);
}

void EditOutcomes(Fuzz& f) {
  const int h = f.AnyOf({qelta::kDefCpt, qelta::kDefTruthTable,
                         qelta::kDefNoisyMax, qelta::kDefNoisyAdder,
                         qelta::kDefDecision});
  if (h < 0) return;
  VRN_nodeDef* def = f.Def(h);
  const int n = def->GetNumberOfOutcomes();
  switch (f.Uniform(0, 2)) {
    case 0:
      Refusable(f, h, "InsertOutcome", [&] {
        return def->InsertOutcome(f.Uniform(0, n), f.Chance(0.5) ? "added" : "");
      });
      break;
    case 1:
      Refusable(f, h, "RemoveOutcome",
                [&] { return def->RemoveOutcome(f.Uniform(0, n - 1)); });
      break;
    default:
      Refusable(f, h, "SetNumberOfOutcomes",
                [&] { return def->SetNumberOfOutcomes(f.Uniform(2, 4)); });
      break;
  }
}

void EditArcs(Fuzz& f) {
  const int c = f.AnyNode();
  if (c < 0) return;
  const VRN_intArray& parents = f.net().GetNode(c)->Parents();
  if (f.Chance(0.6) || parents.GetSize() == 0) {
    f.Arc(f.AnyNode(), c);
  } else {
    (void)f.net().RemoveArc(parents[f.Uniform(0, parents.GetSize() - 1)], c);
  }
}

void EditType(Fuzz& f) {
  const int h = f.AnyNode();
  if (h < 0) return;
  const int codes[] = {qelta::kDefCpt,      qelta::kDefTruthTable,
                       qelta::kDefNoisyMax, qelta::kDefNoisyAdder,
                       qelta::kDefDemorgan, qelta::kDefCast,
                       qelta::kDefDecision, qelta::kDefUtility,
                       qelta::kDefEquation};
  const auto* eq = dynamic_cast<const VRN_equation*>(f.Def(h));
  if (!kOnePointIntervalsThroughTypeChange && eq != nullptr &&
      eq->HasDiscIntervals() && !eq->HasSettableIntervals()) {
    return;
  }
  (void)f.net().GetNode(h)->setNodeType(codes[f.Uniform(0, 8)]);
}

void EditEquation(Fuzz& f) {
  const int h = f.AnyOf({qelta::kDefEquation});
  if (h < 0) return;
  auto* eq = static_cast<VRN_equation*>(f.Def(h));
  switch (f.Uniform(0, 2)) {
    case 0:
      f.RandomEquation(h);
      break;
    case 1: {
      // Bounds, sometimes over no intervals, then sometimes discretized as
      // an update would: a range of one point gets the default intervals.
      const double lower = f.Uniform(-5, 5);
      if (f.Chance(0.3)) (void)eq->SetDiscIntervals(lower, lower, {});
      (void)eq->SetBounds(lower, lower + f.Uniform(0, 6));
      if (f.Chance(0.5)) (void)eq->GetDiscreteOutcomeCount();
      break;
    }
    default:
      f.EquationIntervals(h);
      break;
  }
}

void EditNode(Fuzz& f) {
  if (f.Chance(0.5) && f.net().GetNumberOfNodes() > 2) {
    (void)f.net().DeleteNode(f.AnyNode());
  } else {
    MakeIntervals(f);
  }
}

// An outcome or type edit, or a node deleted and a new one made in its
// slot, while the cases are told not to follow: their entries may then no
// longer fit (a soft vector of another length, a number that is not finite
// carried onto an equation node), which the save refuses.
void EditWithCasesFrozen(Fuzz& f) {
  f.net().EnableCaseUpdates(false);
  switch (f.Uniform(0, 3)) {
    case 3: {
      VRN_case* c = f.net().GetCase(0);
      const int h = f.AnyNode();
      if (c == nullptr || h < 0) break;
      const double numbers[] = {std::nan(""), kInf, -kInf, 1.5};
      (void)c->SetContEvidence(h, numbers[f.Uniform(0, 3)]);
      (void)f.net().GetNode(h)->setNodeType(qelta::kDefEquation);
      break;
    }
    case 0:
      EditOutcomes(f);
      break;
    case 1:
      EditType(f);
      break;
    default:
      if (const int h = f.AnyNode(); f.net().GetNumberOfNodes() > 2) {
        (void)f.net().DeleteNode(h);
        MakeCpt(f);
        // An entry of a dead node is left out of the file by design: only
        // one whose slot holds a new node is kept stale.
        f.net().EnableCaseUpdates(true);
        if (f.net().GetNode(h) == nullptr) f.net().Cases()->OnNodeDeleted(h);
      }
      break;
  }
  f.net().EnableCaseUpdates(true);
}

struct Edit {
  const char* name;
  bool on;
  void (*apply)(Fuzz&);
};

// Cases, numbers (identifiers cleared or not) and state information are
// edits too, so that each comes before and after the others.
const Edit kEdits[] = {
    {"table", true, EditTable},       {"outcomes", true, EditOutcomes},
    {"arcs", true, EditArcs},         {"type", true, EditType},
    {"equation", true, EditEquation}, {"node", true, EditNode},
    {"case", true, MakeCase},         {"numbers", true, MakeIntervals},
    {"state information", true, MakeStateInfo},
    {"edit, cases frozen", true, EditWithCasesFrozen},
    {"costs", true, MakeCosts},
};

// ----------------------------------------------------------------- formats

struct Format {
  const char* extension;
  int read_as;  // the format code the file reads back with
  const char* name;  // as its refusal of a dynamic network names it
  // What the format holds besides parents, outcomes and tables:
  bool numbers;    // intervals and point values of nodes with outcomes
  bool equations;  // equations, their bounds and discretization intervals
  bool range_only_in_intervals;  // an equation's bounds only with intervals
  bool layout;     // the layout block: comments, fixes and links of states
};

// Only the XML and Netica files hold outcomes' numbers; the native text
// format holds only the kind of an equation node (so writes only those its
// reader makes by default), Netica its range only through its intervals.
const Format kFormats[] = {
    {".xvrn", qelta::kFormatXvrn, "", true, true, false, true},
    {".vrn", qelta::kFormatVrn, "the native text format", false, true, false, false},
    {".dxp", qelta::kFormatVrn, "the native text format", false, true, false, false},
    {".dne", qelta::kFormatNetica, "Netica format", true, true, true, false},
    {".net", qelta::kFormatHugin, "Hugin format", false, true, false, false},
    {".erg", qelta::kFormatErgo, "Ergo format", false, true, false, false},
    {".dsc", qelta::kFormatMsbn, "MSBN format", false, true, false, false},
    {".xml03", qelta::kFormatXmlBif, "XMLBIF format", false, true, false, false},
};
// The string form: the XML file without the layout block.
const Format kString = {"string", qelta::kFormatXvrn, "", true, true, false,
                        false};

bool IsXml(const Format& format) {
  return format.read_as == qelta::kFormatXvrn;
}

bool IsQualitative(int type) {
  return type == qelta::kDefCast || type == qelta::kDefDemorgan;
}

// Named after the process too: runs in parallel share the folder.
std::string FreshPath(const char* extension) {
  static int counter = 0;
  return ::testing::TempDir() + "qelta_save_fuzz_" +
         std::to_string(getpid()) + "_" + std::to_string(++counter) +
         extension;
}

bool Exists(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

std::vector<double> Items(const VRN_matrix* table) {
  std::vector<double> out;
  for (int i = 0; table != nullptr && i < table->GetItemCount(); ++i) {
    out.push_back(table->GetItem(i));
  }
  return out;
}

// The numbers the format keeps of node h: the expanded table of a table
// kind, nothing for the others.
std::vector<double> HeldTable(VRN_network& net, int h) {
  VRN_nodeDef* def = net.GetNode(h)->Definition();
  const int type = def->GetType();
  if (type == qelta::kDefEquation || type == qelta::kDefMau ||
      type == qelta::kDefDecision) {
    return {};
  }
  return Items(def->GetExpandedDefinition());
}

bool HasMauExpressions(const VRN_nodeDef* definition) {
  const auto* mau = dynamic_cast<const VRN_mau*>(definition);
  return mau != nullptr && mau->GetExpressionSet() != nullptr;
}

// Interval bounds ("intervals") or point values ("point values") of a
// node with outcomes; empty without either.
std::pair<std::string, std::vector<double>> Numbers(const VRN_nodeDef& def) {
  const auto* discrete = dynamic_cast<const VRN_discDef*>(&def);
  std::vector<double> values;
  if (discrete == nullptr) return {};
  if (discrete->GetIntervals(&values) == qelta::kOk) {
    return {"intervals", values};
  }
  if (discrete->GetPointValues(&values) == qelta::kOk) {
    return {"point values", values};
  }
  return {};
}

// The numbers of a node's outcomes read back where the format holds them;
// the XML file holds none for CAST and DeMorgan nodes.
void ExpectSameNumbers(const VRN_nodeDef& def, const VRN_nodeDef& back,
                       const Format& format) {
  if (!format.numbers) return;
  const auto want = IsXml(format) && IsQualitative(def.GetType())
                        ? std::pair<std::string, std::vector<double>>()
                        : Numbers(def);
  const auto got = Numbers(back);
  EXPECT_EQ(want.first, got.first) << def.GetTypeName();
  EXPECT_EQ(want.second, got.second) << want.first;
}

// An equation's text, bounds, default, nominal bounds and discretization
// intervals read back where the format holds them.
void ExpectSameEquation(const VRN_nodeDef& def, const VRN_nodeDef& back,
                        const Format& format) {
  const auto* eq = dynamic_cast<const VRN_equation*>(&def);
  const auto* other = dynamic_cast<const VRN_equation*>(&back);
  if (!format.equations || eq == nullptr) return;
  ASSERT_NE(other, nullptr) << "not an equation node";
  std::string want, got;
  eq->GetEquationText(&want);
  other->GetEquationText(&got);
  EXPECT_EQ(want, got);
  double a[4], c[4];
  eq->GetBounds(&a[0], &a[1]);
  other->GetBounds(&c[0], &c[1]);
  if (!kNeticaEquationsOverOnePoint &&
      format.read_as == qelta::kFormatNetica && a[0] == a[1]) {
    return;
  }
  eq->GetNominalBounds(&a[2], &a[3]);
  other->GetNominalBounds(&c[2], &c[3]);
  if (!format.range_only_in_intervals || eq->HasDiscIntervals()) {
    EXPECT_EQ(std::vector<double>(a, a + 4), std::vector<double>(c, c + 4))
        << "bounds, nominal bounds";
  }
  double value = 0.0, read = 0.0;
  const int has_default = eq->GetDefaultValue(&value);
  EXPECT_EQ(has_default, other->GetDefaultValue(&read));
  if (has_default == qelta::kOk) {
    EXPECT_EQ(value, read) << "default";
  }
  // The XML file leaves out the default intervals of a range of one point
  // of an equation that is not constant: an update makes them again, and
  // so does the reader when a discrete child needs them. Either way they
  // read back as none or as they were.
  const bool remade = IsXml(format) && eq->HasDiscIntervals() &&
                      !eq->HasSettableIntervals() && !eq->IsConstant();
  const std::vector<VRN_discInterval> intervals =
      remade && other->GetDiscIntervals().empty() ? std::vector<VRN_discInterval>()
                                                  : eq->GetDiscIntervals();
  ASSERT_EQ(intervals.size(), other->GetDiscIntervals().size());
  for (size_t i = 0; i < intervals.size(); ++i) {
    EXPECT_EQ(intervals[i].id, other->GetDiscIntervals()[i].id);
    EXPECT_EQ(intervals[i].boundary, other->GetDiscIntervals()[i].boundary);
  }
}

// Comments, fixes and links of every state of every node read back from
// the layout block, but for the states it cannot name: those whose
// identifier an earlier state carries too (cleared interval outcomes past
// the first). CAST and DeMorgan nodes read back with their fixed
// identifiers, which name every state.
void ExpectSameStateInfo(VRN_network& net, VRN_network& back) {
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const auto* def = dynamic_cast<const VRN_discDef*>(net.GetNode(h)->Definition());
    if (def == nullptr || def->GetNumberOfOutcomes() < 2) continue;
    SCOPED_TRACE(net.GetNode(h)->GetId());
    const auto* other = dynamic_cast<const VRN_discDef*>(
        back.GetNode(back.FindNode(net.GetNode(h)->GetId()))->Definition());
    ASSERT_NE(other, nullptr);
    const std::vector<std::string> ids = qelta_test::OutcomeIds(net, h);
    for (int i = 0; i < def->GetNumberOfOutcomes(); ++i) {
      const bool named = IsQualitative(def->GetType()) ||
                         std::find(ids.begin(), ids.begin() + i, ids[i]) ==
                             ids.begin() + i;
      auto text = [](const char* t) { return std::string(t ? t : ""); };
      auto links = [](const VRN_documentation* d) {
        std::vector<std::string> out;
        for (int k = 0; d != nullptr && k < d->GetSize(); ++k) {
          out.push_back(std::string(d->GetTitle(k)) + "|" + d->GetPath(k));
        }
        return out;
      };
      const std::string description = text(def->GetOutcomeDescription(i));
      const std::string fix = text(def->GetOutcomeFix(i));
      const auto doc = links(def->GetOutcomeDocumentation(i));
      EXPECT_EQ(named ? description : "", text(other->GetOutcomeDescription(i)))
          << "state " << i;
      EXPECT_EQ(named ? fix : "", text(other->GetOutcomeFix(i))) << "state " << i;
      EXPECT_EQ(named ? doc : std::vector<std::string>(),
                links(other->GetOutcomeDocumentation(i)))
          << "state " << i;
    }
  }
}

// Cost parents and costs, bit for bit.
// A multi-attribute utility node's expressions read back from the XML file
// as written. The native text keeps the weights only, so it may write the
// node only when its expressions are exactly their weighted sums: the
// weights read back are those sums'.
void ExpectSameMau(const VRN_nodeDef& def, const VRN_nodeDef& back, const Format& format) {
  const auto* mau = dynamic_cast<const VRN_mau*>(&def);
  if (mau == nullptr || mau->GetExpressionSet() == nullptr) return;
  const auto* other = dynamic_cast<const VRN_mau*>(&back);
  ASSERT_NE(other, nullptr);
  std::vector<std::string> want, got;
  ASSERT_EQ(qelta::kOk, mau->GetExpressions(&want));
  if (IsXml(format)) {
    ASSERT_EQ(qelta::kOk, other->GetExpressions(&got));
    EXPECT_EQ(want, got) << "expressions";
    return;
  }
  VRN_matrix weights;
  std::vector<double> offsets;
  int slot = -1;
  ASSERT_TRUE(mau->GetLinearForm(&weights, &offsets, &slot))
      << "written, but expression " << slot << " is no weighted sum";
  EXPECT_EQ(std::vector<double>(offsets.size(), 0.0), offsets) << "offsets";
  EXPECT_EQ(Items(&weights), Items(other->GetMatrixConst())) << "weights";
}

void ExpectSameCosts(VRN_network& net, int h, VRN_network& back, int b) {
  auto held = [](VRN_network& n, int node) {
    std::vector<std::string> parents;
    for (int p : n.GetNode(node)->GetCostParents()) {
      parents.push_back(n.GetNode(p)->GetId());
    }
    std::vector<uint64_t> bits;
    for (double v : n.GetNode(node)->GetCost().GetItems()) {
      bits.push_back(0);
      std::memcpy(&bits.back(), &v, sizeof v);
    }
    return std::make_pair(parents, bits);
  };
  EXPECT_EQ(held(net, h), held(back, b)) << "costs";
}

// Parents, outcome counts and (for formats that keep them) tables of every
// node of net equal those of back, found by identifier.
void ExpectSameHeld(VRN_network& net, VRN_network& back, const Format& format) {
  ASSERT_EQ(net.GetNumberOfNodes(), back.GetNumberOfNodes()) << LogText(back);
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const char* id = net.GetNode(h)->GetId();
    SCOPED_TRACE(id);
    const int b = back.FindNode(id);
    ASSERT_GE(b, 0) << "node missing";
    VRN_nodeDef* def = net.GetNode(h)->Definition();
    std::vector<std::string> parents = qelta_test::ParentIds(net, h);
    std::vector<std::string> read = qelta_test::ParentIds(back, b);
    if (!kMauExpressionParentOrder && HasMauExpressions(def)) {
      std::sort(parents.begin(), parents.end());
      std::sort(read.begin(), read.end());
    }
    EXPECT_EQ(parents, read);
    if (IsXml(format) || format.read_as == qelta::kFormatVrn) {
      ExpectSameCosts(net, h, back, b);
    }
    if (format.layout || format.read_as == qelta::kFormatVrn) {
      auto geometry = [](const VRN_node& node) {
        const VRN_screenInfo& info = node.ScreenInfo();
        return std::vector<int>{info.x, info.y, info.width, info.height};
      };
      EXPECT_EQ(geometry(*net.GetNode(h)), geometry(*back.GetNode(b))) << "geometry";
    }
    VRN_nodeDef* other = back.GetNode(b)->Definition();
    const int type = def->GetType();
    if (def->GetOutcomesNames() != nullptr && other->GetOutcomesNames() != nullptr) {
      EXPECT_EQ(def->GetNumberOfOutcomes(), other->GetNumberOfOutcomes());
      // Named outcomes keep their names; the XML file and the native text
      // hold no outcomes of CAST and DeMorgan nodes, which read back with
      // their fixed ones, even when they were numbered "State0", "State1".
      const auto* discrete = dynamic_cast<const VRN_discDef*>(def);
      if ((IsXml(format) || format.read_as == qelta::kFormatVrn) &&
          IsQualitative(type)) {
        EXPECT_EQ(std::vector<std::string>({"True", "False"}),
                  qelta_test::OutcomeIds(back, b));
      } else if (discrete != nullptr &&
                 (discrete->HasOutcomeIds() || IsXml(format))) {
        EXPECT_EQ(qelta_test::OutcomeIds(net, h), qelta_test::OutcomeIds(back, b));
      }
    }
    ExpectSameNumbers(*def, *other, format);
    ExpectSameEquation(*def, *other, format);
    ExpectSameMau(*def, *other, format);
    std::vector<double> want = HeldTable(net, h);
    const std::vector<double> got = HeldTable(back, b);
    if (want.empty() || got.empty()) continue;
    // Hugin files read back every distribution scaled to sum 1.
    const int own = other->GetOutcomesNames() != nullptr
                        ? other->GetNumberOfOutcomes()
                        : 0;
    if (format.read_as == qelta::kFormatHugin && own > 0) {
      for (size_t at = 0; at + own <= want.size(); at += own) {
        double sum = 0.0;
        for (int j = 0; j < own; ++j) sum += want[at + j];
        for (int j = 0; j < own; ++j) {
          want[at + j] = sum > 0.0 ? want[at + j] / sum : 1.0 / own;
        }
      }
    }
    ASSERT_EQ(want.size(), got.size());
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_NEAR(want[i], got[i], 1e-6) << "item " << i;
    }
  }
}

// The network's identifier, its user properties and submodels (identifier,
// parent's, each node's) and the nodes' user properties read back where the
// format holds them.
void ExpectSameIds(VRN_network& net, VRN_network& back, const Format& format) {
  const std::string ext = format.extension;
  const bool tree = IsXml(format) || format.read_as == qelta::kFormatVrn;
  // XMLBIF's reader gives the network another name than a node's.
  if (tree || ext == ".dne" ||
      (ext == ".xml03" && net.FindNode(net.Header()->GetId()) < 0)) {
    EXPECT_STREQ(net.Header()->GetId(), back.Header()->GetId()) << "network identifier";
  }
  auto pairs = [](const VRN_userProperties& p) {
    std::vector<std::string> out;
    for (int i = 0; i < p.GetSize(); ++i) {
      out.push_back(std::string(p.GetPropertyName(i)) + "=" + p.GetPropertyValue(i));
    }
    return out;
  };
  auto submodels = [](VRN_network& n) {
    std::vector<std::string> out;
    VRN_intArray all;
    n.Submodels()->GetDescendants(all);
    for (int s : all) {
      const int up = n.Submodels()->GetParent(s);
      out.push_back(std::string(n.Submodels()->GetSubmodel(s)->Header().GetId()) + " in " +
                    (up >= 0 ? n.Submodels()->GetSubmodel(up)->Header().GetId() : "-"));
    }
    for (int h = n.GetFirstNode(); h >= 0; h = n.GetNextNode(h)) {
      out.push_back(std::string(n.GetNode(h)->GetId()) + " in " +
                    n.Submodels()->GetSubmodel(n.GetNode(h)->GetSubmodel())->Header().GetId());
    }
    std::sort(out.begin(), out.end());
    return out;
  };
  if (tree) {
    EXPECT_EQ(pairs(net.UserProperties()), pairs(back.UserProperties()));
  }
  // The XML file holds the tree in its layout block, which the string leaves out.
  if (tree && (format.layout || !IsXml(format))) {
    EXPECT_EQ(submodels(net), submodels(back));
  }
  if (!tree && ext != ".dne" && ext != ".net") return;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const int b = back.FindNode(net.GetNode(h)->GetId());
    ASSERT_GE(b, 0);
    EXPECT_EQ(pairs(net.GetNode(h)->UserProperties()), pairs(back.GetNode(b)->UserProperties()))
        << net.GetNode(h)->GetId();
  }
}

// Writes that read back and writes refused, per format (string last).
int g_read_back[sizeof kFormats / sizeof kFormats[0] + 1];
int g_refused[sizeof kFormats / sizeof kFormats[0] + 1];

std::vector<std::pair<int, int>> Slices(const VRN_case& c, int i) {
  int node = -1;
  std::vector<std::pair<int, int>> slices;
  (void)c.GetTemporalEvidence(i, node, slices);
  return slices;
}

// What only the XML file holds: the temporal tables of plate nodes and
// every case entry, as the network holds them.
void ExpectSameDynamicAndCases(VRN_network& net, VRN_network& back) {
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (net.GetTemporalType(h) != qelta::kTemporalPlate) continue;
    SCOPED_TRACE(net.GetNode(h)->GetId());
    const int b = back.FindNode(net.GetNode(h)->GetId());
    VRN_intArray orders, read;
    (void)net.GetTemporalOrders(h, orders);
    (void)back.GetTemporalOrders(b, read);
    ASSERT_EQ(std::vector<int>(orders.begin(), orders.end()),
              std::vector<int>(read.begin(), read.end()));
    for (int k : orders) {
      const std::vector<double> want =
          Items(net.GetNode(h)->Definition()->GetTemporalMatrix(k));
      const std::vector<double> got =
          Items(back.GetNode(b)->Definition()->GetTemporalMatrix(k));
      ASSERT_EQ(want.size(), got.size()) << "order " << k;
      for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(want[i], got[i], 1e-9) << "order " << k << " item " << i;
      }
    }
  }
  ASSERT_EQ(net.GetNumberOfCases(), back.GetNumberOfCases());
  for (int c = 0; c < net.GetNumberOfCases(); ++c) {
    const VRN_case& want = *net.GetCase(c);
    const VRN_case& got = *back.GetCase(c);
    SCOPED_TRACE(want.GetName());
    EXPECT_EQ(want.GetName(), got.GetName());
    ASSERT_EQ(want.GetNumberOfEvidence(), got.GetNumberOfEvidence());
    for (int i = 0; i < want.GetNumberOfEvidence(); ++i) {
      EXPECT_EQ(net.GetNode(want.GetEvidenceNode(i))->GetId(),
                std::string(back.GetNode(got.GetEvidenceNode(i))->GetId()));
      int node = -1, outcome = -1, other = -2;
      double value = 0.0, read_value = 1.0;
      std::vector<double> soft, read_soft;
      const auto* discrete = dynamic_cast<const VRN_discDef*>(
          net.GetNode(want.GetEvidenceNode(i))->Definition());
      if (want.GetEvidence(i, node, outcome) == qelta::kOk) {
        ASSERT_EQ(got.GetEvidence(i, node, other), qelta::kOk) << "entry " << i;
        EXPECT_EQ(outcome, other) << "entry " << i;
      } else if (discrete != nullptr &&
                 want.GetContEvidence(i, node, value) == qelta::kOk) {
        // A number on a node with outcomes reads back as the outcome whose
        // interval holds it.
        ASSERT_EQ(got.GetEvidence(i, node, other), qelta::kOk) << "entry " << i;
        EXPECT_EQ(discrete->GetIntervalIndex(value), other) << "entry " << i;
      } else if (want.GetContEvidence(i, node, value) == qelta::kOk) {
        ASSERT_EQ(got.GetContEvidence(i, node, read_value), qelta::kOk);
        EXPECT_EQ(value, read_value) << "entry " << i;
      } else if (want.GetVirtualEvidence(i, node, soft) == qelta::kOk) {
        ASSERT_EQ(got.GetVirtualEvidence(i, node, read_soft), qelta::kOk);
        EXPECT_EQ(soft, read_soft) << "entry " << i;
      } else {
        EXPECT_EQ(Slices(want, i), Slices(got, i)) << "entry " << i;
      }
    }
  }
}

// No edit leaves a node's outcome identifiers part empty, part named: no
// reader takes them.
void ExpectIdsAllNamedOrAllEmpty(VRN_network& net) {
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const auto* disc =
        dynamic_cast<const VRN_discDef*>(net.GetNode(h)->Definition());
    for (int i = 0; disc != nullptr && i < disc->GetNumberOfOutcomes(); ++i) {
      const char* id = disc->GetOutcomesNames()->Get(i);
      EXPECT_EQ(disc->HasOutcomeIds(), id != nullptr && *id != '\0')
          << net.GetNode(h)->GetId() << " outcome " << i;
    }
  }
}

// A refusal names, quoted, the node or submodel it refuses (and the case,
// for a case entry it cannot hold).
void ExpectRefusalNames(VRN_network& net) {
  const std::string log = LogText(net);
  std::vector<std::string> names;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    names.push_back(net.GetNode(h)->GetId());
  }
  VRN_intArray submodels;
  net.Submodels()->GetDescendants(submodels);
  for (int s : submodels) {
    names.push_back(net.Submodels()->GetSubmodel(s)->Header().GetId());
  }
  // Ergo's refusal of a node kind it has no place for, and Hugin's,
  // MSBN's and Netica's of a multi-attribute utility node, name none.
  bool named = log.find("This Network cannot be saved in") != std::string::npos;
  for (const std::string& name : names) {
    named = named || log.find("'" + name + "'") != std::string::npos ||
            log.find("[" + name + "]") != std::string::npos;
  }
  for (int c = 0; c < net.GetNumberOfCases(); ++c) {
    // A case's own text names the case alone.
    named = named || log.find("Case '" + net.GetCase(c)->GetName() +
                              "' cannot be written: its") != std::string::npos;
  }
  EXPECT_TRUE(named) << "a refusal naming no node: " << log;
  if (log.find("Case ") == std::string::npos) return;
  bool case_named = false;
  for (int c = 0; c < net.GetNumberOfCases(); ++c) {
    case_named = case_named ||
                 log.find("Case '" + net.GetCase(c)->GetName() + "'") !=
                     std::string::npos;
  }
  EXPECT_TRUE(case_named) << "a refusal naming no case: " << log;
}

void CheckFormat(VRN_network& net, const Format& format) {
  SCOPED_TRACE(format.extension);
  net.ErrorLog()->Flush();
  const std::string path = FreshPath(format.extension);
  const int written = net.WriteFile(path.c_str(), 0, 0);
  ++(written == qelta::kOk ? g_read_back : g_refused)[&format - kFormats];
  // An at-sign identifier is refused before any format looks further.
  const bool at_sign =
      LogText(net).find("' cannot be written to the ") != std::string::npos;
  if (!IsXml(format) && net.HasTemporalNodes() && !at_sign) {
    EXPECT_EQ(qelta::kErrOutOfRange, written) << "a dynamic network written";
    const std::string log = LogText(net);
    EXPECT_NE(std::string::npos, log.find("has temporal nodes")) << log;
    EXPECT_NE(std::string::npos, log.find(format.name)) << log;
    EXPECT_FALSE(Exists(path)) << "a refused write left a file";
    std::remove(path.c_str());
    return;
  }
  if (written != qelta::kOk) {
    EXPECT_GT(net.ErrorLog()->GetNumberOfMessages(), 0) << "a silent refusal";
    ExpectRefusalNames(net);
    EXPECT_FALSE(Exists(path)) << "a refused write left a file";
    std::remove(path.c_str());
    return;
  }
  const std::string text = ReadWholeFile(path);
  if (std::string(format.extension) == ".xml03") {
    EXPECT_EQ("", qelta_test::XmlNotWellFormed(text)) << text;
  }
  VRN_network back;
  const int read = back.ReadFile(path.c_str(), format.read_as, 0);
  std::remove(path.c_str());
  ASSERT_EQ(qelta::kOk, read) << LogText(back) << "\n" << text;
  ExpectSameHeld(net, back, format);
  ExpectSameIds(net, back, format);
  if (IsXml(format)) ExpectSameDynamicAndCases(net, back);
  if (format.layout) ExpectSameStateInfo(net, back);
  if (::testing::Test::HasFailure()) {
    ADD_FAILURE() << "log of the read:\n" << LogText(back) << "file:\n" << text;
  }
}

void CheckString(VRN_network& net) {
  SCOPED_TRACE("string");
  net.ErrorLog()->Flush();
  std::string text;
  const int written = net.WriteString(text, qelta::kExtensionNone);
  const size_t last = sizeof kFormats / sizeof kFormats[0];
  ++(written == qelta::kOk ? g_read_back : g_refused)[last];
  if (written != qelta::kOk) {
    EXPECT_GT(net.ErrorLog()->GetNumberOfMessages(), 0) << "a silent refusal";
    ExpectRefusalNames(net);
    EXPECT_EQ("", text);
    return;
  }
  VRN_network back;
  ASSERT_EQ(qelta::kOk, back.ReadString(text.c_str(), qelta::kExtensionNone))
      << LogText(back) << "\n" << text;
  ExpectSameHeld(net, back, kString);
  ExpectSameIds(net, back, kString);
  ExpectSameDynamicAndCases(net, back);
  // Everything the file holds: written again, the text is the same.
  std::string again;
  ASSERT_EQ(qelta::kOk, back.WriteString(again, qelta::kExtensionNone));
  bool reordered = false;
  bool one_point = false;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_nodeDef* def = net.GetNode(h)->Definition();
    reordered = reordered || HasMauExpressions(def);
    const auto* eq = dynamic_cast<const VRN_equation*>(def);
    one_point = one_point || (eq != nullptr && eq->IsConstant() &&
                              eq->HasDiscIntervals() &&
                              !eq->HasSettableIntervals());
  }
  if ((!kMauExpressionParentOrder && reordered) ||
      (!kConstantEquationsOverOnePoint && one_point)) {
    VRN_network second;
    ASSERT_EQ(qelta::kOk, second.ReadString(again.c_str(), qelta::kExtensionNone));
    text.clear();
    ASSERT_EQ(qelta::kOk, second.WriteString(text, qelta::kExtensionNone));
  }
  EXPECT_EQ(text, again);
}

// Unrolled, or copied without its temporal part, a dynamic network with
// cases saves whenever it did and reads back as it holds: per-slice entries
// become outcomes of nodes that are no plate nodes.
void CheckWithoutSlices(VRN_network& net) {
  std::string text;
  if (!net.HasTemporalNodes() || net.GetNumberOfCases() == 0 ||
      net.WriteString(text, qelta::kExtensionNone) != qelta::kOk) {
    return;
  }
  SCOPED_TRACE("without slices");
  VRN_network unrolled;
  std::vector<int> map;
  ASSERT_EQ(qelta::kOk, net.UnrollNetwork(unrolled, map)) << LogText(net);
  VRN_network flat(net, qelta::kCopyNoTemporal);
  for (VRN_network* copy : {&unrolled, &flat}) {
    ASSERT_EQ(qelta::kOk, copy->WriteString(text, qelta::kExtensionNone))
        << LogText(*copy);
    CheckString(*copy);
  }
}

void Build(Fuzz& f) {
  const int kinds = static_cast<int>(sizeof kKinds / sizeof kKinds[0]);
  const int edits = static_cast<int>(sizeof kEdits / sizeof kEdits[0]);
  // A few kinds per network, so that each meets the others.
  std::vector<int> chosen;
  for (int i = 0; i < 3; ++i) chosen.push_back(f.Uniform(0, kinds - 1));
  chosen.push_back(0);
  for (int i = 0; i < f.Uniform(3, kMaxNodes); ++i) {
    const Kind& kind = kKinds[chosen[static_cast<size_t>(
        f.Uniform(0, static_cast<int>(chosen.size()) - 1))]];
    if (!kind.on) continue;
    kind.make(f);
    f.Trace(kind.name);
  }
  for (int i = 0; i < f.Uniform(0, kEditSteps); ++i) {
    const Edit& edit = kEdits[f.Uniform(0, edits - 1)];
    if (!edit.on) continue;
    edit.apply(f);
    f.Trace(edit.name);
  }
}

TEST(SaveFuzzTest, EveryWriteReadsBackOrFailsWithAMessage) {
  const int seeds = EnvInt("QELTA_SAVE_FUZZ_SEEDS", kDefaultSeeds);
  const int first = EnvInt("QELTA_SAVE_FUZZ_FIRST_SEED", 1);
  for (int seed = first; seed < first + seeds; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Fuzz f(static_cast<unsigned>(seed));
    Build(f);
    ExpectIdsAllNamedOrAllEmpty(f.net());
    CheckString(f.net());
    CheckWithoutSlices(f.net());
    for (const Format& format : kFormats) CheckFormat(f.net(), format);
    if (::testing::Test::HasFailure()) break;
  }
  if (std::getenv("QELTA_SAVE_FUZZ_VERBOSE") != nullptr) {
    for (const Format& format : kFormats) {
      std::printf("%s: %d read back, %d refused\n", format.extension,
                  g_read_back[&format - kFormats], g_refused[&format - kFormats]);
    }
    const size_t last = sizeof kFormats / sizeof kFormats[0];
    std::printf("string: %d read back, %d refused\n", g_read_back[last],
                g_refused[last]);
  }
}

}  // namespace
