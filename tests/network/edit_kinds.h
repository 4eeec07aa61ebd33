// Every kind of edit the network API offers, each as one call on one node
// of a small network, for the edit matrices. An edit that does not apply
// to the node is refused, which must change nothing either.
#ifndef QELTA_TESTS_NETWORK_EDIT_KINDS_H_
#define QELTA_TESTS_NETWORK_EDIT_KINDS_H_

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/matrix.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "definitions/noisy_max.h"
#include "definitions/truth_table.h"
#include "equations/equation.h"
#include "equations/mau.h"
#include "network/network.h"
#include "network/node.h"

namespace qelta_test {

struct EditKind {
  std::string name;
  std::function<int(VRN_network&, int)> apply;
  // False for edits of the whole network, which ignore the node.
  bool per_node = true;
};

inline int Outcomes(VRN_network& net, int h) {
  return net.GetNode(h)->Definition()->GetNumberOfOutcomes();
}

inline VRN_intArray Reversed(int n) {
  VRN_intArray order;
  for (int i = n - 1; i >= 0; --i) order.Add(i);
  return order;
}

// Every column of the table turned upside down: a new table of the same
// shape that keeps its zeros and ones.
inline int FlipTable(VRN_network& net, int h) {
  VRN_nodeDef* def = net.GetNode(h)->Definition();
  const int type = def->GetType();
  if (type == qelta::kDefTruthTable) {
    const VRN_matrix& m = *def->GetMatrixConst();
    const int n = m.GetSize(m.GetDimensionCount() - 1);
    VRN_intArray states;
    for (int at = 0; at < m.GetItemCount(); at += n) {
      int one = 0;
      while (one < n && m.GetItem(at + one) != 1.0) ++one;
      states.Add(n - 1 - (one % n));
    }
    return static_cast<VRN_truthTable*>(def)->SetResultingStates(states);
  }
  if (type == qelta::kDefEquation) {
    const VRN_intArray& parents = net.GetNode(h)->Parents();
    std::string text = std::string(net.GetNode(h)->GetId()) + "=5";
    for (int p : parents) text += "-" + std::string(net.GetNode(p)->GetId());
    return static_cast<VRN_equation*>(def)->SetEquation(text.c_str(), nullptr, nullptr);
  }
  const VRN_matrix* m = type == qelta::kDefNoisyMax
                            ? &static_cast<VRN_noisyMAX*>(def)->Parameters()
                            : def->GetMatrixConst();
  if (m == nullptr || m->GetDimensionCount() < 1) return qelta::kErrWrongNodeType;
  std::vector<double> items(m->GetItems().begin(), m->GetItems().end());
  if (type == qelta::kDefUtility || type == qelta::kDefMau) {
    for (double& v : items) v = 7.0 - 2.0 * v;
    return def->SetDefinitionFromVector(items);
  }
  const int n = m->GetSize(m->GetDimensionCount() - 1);
  for (size_t at = 0; at + static_cast<size_t>(n) <= items.size(); at += n) {
    int ones = 0;
    for (int j = 0; j < n; ++j) ones += items[at + j] == 1.0 ? 1 : 0;
    // A noisy-MAX's fixed columns stay.
    if (type == qelta::kDefNoisyMax && ones == 1) continue;
    for (int j = 0; j < n / 2; ++j) std::swap(items[at + j], items[at + n - 1 - j]);
  }
  return def->SetDefinitionFromVector(items);
}

inline int FirstParentArc(VRN_network& net, int h, bool last) {
  const VRN_intArray& parents = net.GetNode(h)->Parents();
  if (parents.GetSize() == 0) return qelta::kErrOutOfRange;
  return net.RemoveArc(parents[last ? parents.GetSize() - 1 : 0], h);
}

// An arc into h from the first node that takes one.
inline int AnyArcInto(VRN_network& net, int h) {
  for (int g = net.GetFirstNode(); g >= 0; g = net.GetNextNode(g)) {
    if (g != h && net.AddArc(g, h) == qelta::kOk) return qelta::kOk;
  }
  return qelta::kErrOutOfRange;
}

inline VRN_discDef* Disc(VRN_network& net, int h) {
  return dynamic_cast<VRN_discDef*>(net.GetNode(h)->Definition());
}

inline std::vector<EditKind> EditKinds(bool influence) {
  std::vector<EditKind> kinds = {
      {"new table", FlipTable},
      {"RandomizeParameters",
       [](VRN_network& net, int h) {
         const std::vector<int> nodes{h};
         return net.RandomizeParameters(nullptr, &nodes);
       }},
      {"UniformizeParameters",
       [](VRN_network& net, int h) {
         const std::vector<int> nodes{h};
         return net.UniformizeParameters(&nodes);
       }},
      {"RemoveArc (first parent)",
       [](VRN_network& net, int h) { return FirstParentArc(net, h, false); }},
      {"RemoveArc (last parent)",
       [](VRN_network& net, int h) { return FirstParentArc(net, h, true); }},
      {"AddArc", AnyArcInto},
      {"ReorderParents",
       [](VRN_network& net, int h) {
         return net.ReorderParents(h, Reversed(net.GetNode(h)->Parents().GetSize()));
       }},
      {"AddOutcome",
       [](VRN_network& net, int h) {
         return net.GetNode(h)->Definition()->AddOutcome("added");
       }},
      {"InsertOutcome(0)",
       [](VRN_network& net, int h) {
         return net.GetNode(h)->Definition()->InsertOutcome(0, "inserted");
       }},
      {"RemoveOutcome(0)",
       [](VRN_network& net, int h) {
         return net.GetNode(h)->Definition()->RemoveOutcome(0);
       }},
      {"RemoveOutcome(last)",
       [](VRN_network& net, int h) {
         return net.GetNode(h)->Definition()->RemoveOutcome(Outcomes(net, h) - 1);
       }},
      {"ChangeOrderOfOutcomes",
       [](VRN_network& net, int h) {
         return net.GetNode(h)->Definition()->ChangeOrderOfOutcomes(
             Reversed(Outcomes(net, h)));
       }},
      {"ChangeOrderOfOutcomesWithAddAndRemove",
       [](VRN_network& net, int h) {
         VRN_discDef* disc = Disc(net, h);
         if (disc == nullptr) return qelta::kErrWrongNodeType;
         VRN_stringArray ids;
         VRN_intArray mapping;
         const int n = Outcomes(net, h);
         for (int i = n - 1; i >= 0; --i) {
           (void)ids.Add(("kept" + std::to_string(i)).c_str());
           mapping.Add(i);
         }
         (void)ids.Add("new");
         mapping.Add(-1);
         return disc->ChangeOrderOfOutcomesWithAddAndRemove(ids, mapping);
       }},
      {"SetNumberOfOutcomes",
       [](VRN_network& net, int h) {
         return net.GetNode(h)->Definition()->SetNumberOfOutcomes(Outcomes(net, h) + 1);
       }},
      {"RenameOutcome",
       [](VRN_network& net, int h) {
         return net.GetNode(h)->Definition()->RenameOutcome(0, "renamed");
       }},
      {"SetIntervals",
       [](VRN_network& net, int h) {
         VRN_discDef* disc = Disc(net, h);
         if (disc == nullptr) return qelta::kErrWrongNodeType;
         std::vector<double> bounds{-HUGE_VAL};
         for (int i = 1; i <= Outcomes(net, h); ++i) bounds.push_back(1.5 * i);
         return disc->SetIntervals(bounds, false);
       }},
      {"SetPointValues",
       [](VRN_network& net, int h) {
         VRN_discDef* disc = Disc(net, h);
         if (disc == nullptr) return qelta::kErrWrongNodeType;
         std::vector<double> points;
         for (int i = 0; i < Outcomes(net, h); ++i) points.push_back(3.0 - 0.7 * i);
         return disc->SetPointValues(points);
       }},
      {"SetParentOutcomeStrengths",
       [](VRN_network& net, int h) {
         auto* noisy = dynamic_cast<VRN_noisyMAX*>(net.GetNode(h)->Definition());
         if (noisy == nullptr || net.GetNode(h)->Parents().GetSize() == 0) {
           return qelta::kErrWrongNodeType;
         }
         return noisy->SetParentOutcomeStrengths(
             0, Reversed(Outcomes(net, net.GetNode(h)->Parents()[0])));
       }},
      {"SetEvidence(0)",
       [](VRN_network& net, int h) { return net.GetNode(h)->Value()->SetEvidence(0); }},
      {"ClearEvidence",
       [](VRN_network& net, int h) { return net.GetNode(h)->Value()->ClearEvidence(); }},
      {"SetVirtualEvidence",
       [](VRN_network& net, int h) {
         std::vector<double> likelihoods;
         for (int i = 0; i < Outcomes(net, h); ++i) likelihoods.push_back(0.2 + 0.3 * i);
         return net.GetNode(h)->Value()->SetVirtualEvidence(likelihoods);
       }},
      {"ClearAllEvidence", [](VRN_network& net, int) { return net.ClearAllEvidence(); },
       false},
      {"SetTarget",
       [](VRN_network& net, int h) {
         return net.SetTarget(h, !net.GetNode(h)->IsTarget());
       }},
      {"propagation switch",
       [](VRN_network& net, int) {
         net.SetFlags(net.GetFlags() ^ qelta::kNetEvidencePropagation);
         return 0;
       },
       false},
      {"DeleteNode", [](VRN_network& net, int h) { return net.DeleteNode(h); }},
      {"AddNode with an arc from the node",
       [](VRN_network& net, int h) {
         const int added = net.AddNode(qelta::kDefCpt, "added_child");
         return added < 0 ? added : net.AddArc(h, added);
       }},
      {"SetId",
       [](VRN_network& net, int h) {
         return net.GetNode(h)->Header().SetId("renamed_node");
       }},
  };
  std::vector<int> types{qelta::kDefCpt, qelta::kDefTruthTable, qelta::kDefNoisyMax,
                         qelta::kDefDemorgan, qelta::kDefDecision, qelta::kDefUtility};
  if (influence) {
    types.push_back(qelta::kDefMau);
  } else {
    types.push_back(qelta::kDefEquation);
  }
  for (int type : types) {
    kinds.push_back({"setNodeType(" + std::to_string(type) + ")",
                     [type](VRN_network& net, int h) {
                       return net.GetNode(h)->setNodeType(type);
                     }});
  }
  if (influence) {
    kinds.push_back({"influence code switch", [](VRN_network& net, int) {
                       return net.SetDefaultIDAlgorithm(1 - net.GetDefaultIDAlgorithm());
                     },
                     false});
    kinds.push_back({"MAU expressions", [](VRN_network& net, int h) {
                       auto* mau = dynamic_cast<VRN_mau*>(net.GetNode(h)->Definition());
                       if (mau == nullptr) return qelta::kErrWrongNodeType;
                       VRN_mauExpressions slots;
                       mau->MakeDefaultExpressions(&slots);
                       std::string text = "1";
                       for (int p : net.GetNode(h)->Parents()) {
                         if ((net.GetNode(p)->Definition()->GetType() &
                              qelta::kDefBitUtility) != 0) {
                           text += "+2*" + std::string(net.GetNode(p)->GetId());
                         }
                       }
                       std::string error;
                       return mau->SetExpressions(
                           std::vector<std::string>(
                               static_cast<size_t>(slots.GetSlotCount()), text),
                           &error);
                     }});
  } else {
    kinds.push_back({"SetBounds", [](VRN_network& net, int h) {
                       auto* eq = dynamic_cast<VRN_equation*>(net.GetNode(h)->Definition());
                       return eq == nullptr ? qelta::kErrWrongNodeType
                                            : eq->SetBounds(-HUGE_VAL, 9.0);
                     }});
    kinds.push_back({"SetDiscIntervals", [](VRN_network& net, int h) {
                       auto* eq = dynamic_cast<VRN_equation*>(net.GetNode(h)->Definition());
                       if (eq == nullptr) return qelta::kErrWrongNodeType;
                       return eq->SetDiscIntervals(
                           0.0, HUGE_VAL, {{"low", 2.5}, {"middle", 5.0}, {"high", 6.0}});
                     }});
    kinds.push_back({"SetContEvidence", [](VRN_network& net, int h) {
                       return net.GetNode(h)->Value()->SetContEvidence(3.2);
                     }});
  }
  kinds.push_back({"SetExtFunctions", [](VRN_network& net, int) {
                     int index = 0;
                     int position = 0;
                     std::string message;
                     return net.SetExtFunctions({"f(x)=x*x-1"}, index, position, message);
                   },
                   false});
  return kinds;
}

}  // namespace qelta_test

#endif  // QELTA_TESTS_NETWORK_EDIT_KINDS_H_
