#include "definitions/def_visitor.h"

#include "definitions/cpt.h"
#include "definitions/decision.h"
#include "definitions/node_def.h"
#include "definitions/noisy_adder.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "definitions/truth_table.h"
#include "definitions/utility.h"
#include "equations/equation.h"
#include "equations/mau.h"

void VRN_nodeDefVisitor::VisitMau(VRN_mau& definition) {
  VisitDefault(definition);
}

void VRN_nodeDefVisitor::VisitDemorgan(VRN_demorgan& definition) {
  VisitDefault(definition);
}

void VRN_nodeDefVisitor::VisitCast(VRN_cast& definition) {
  VisitDefault(definition);
}

void VRN_nodeDefVisitor::VisitNoisyAdder(VRN_noisyAdder& definition) {
  VisitDefault(definition);
}

void VRN_nodeDefVisitor::VisitNoisyMAX(VRN_noisyMAX& definition) {
  VisitDefault(definition);
}

void VRN_nodeDefVisitor::VisitEquation(VRN_equation& definition) {
  VisitDefault(definition);
}

void VRN_nodeDefVisitor::VisitUtility(VRN_utility& definition) {
  VisitDefault(definition);
}

void VRN_nodeDefVisitor::VisitDecision(VRN_decision& definition) {
  VisitDefault(definition);
}

void VRN_nodeDefVisitor::VisitTruthTable(VRN_truthTable& definition) {
  VisitCpt(definition);
}

void VRN_nodeDefVisitor::VisitCpt(VRN_cpt& definition) {
  VisitDefault(definition);
}

void VRN_nodeDefVisitor::VisitDefault(VRN_nodeDef&) {}

void VRN_nodeDefVisitor::Dispatch(VRN_nodeDef& definition) {
  switch (definition.GetType()) {
    case qelta::kDefCpt:
      VisitCpt(static_cast<VRN_cpt&>(definition));
      break;
    case qelta::kDefTruthTable:
      VisitTruthTable(static_cast<VRN_truthTable&>(definition));
      break;
    case qelta::kDefDecision:
      VisitDecision(static_cast<VRN_decision&>(definition));
      break;
    case qelta::kDefUtility:
      VisitUtility(static_cast<VRN_utility&>(definition));
      break;
    case qelta::kDefEquation:
      VisitEquation(static_cast<VRN_equation&>(definition));
      break;
    case qelta::kDefNoisyMax:
      VisitNoisyMAX(static_cast<VRN_noisyMAX&>(definition));
      break;
    case qelta::kDefNoisyAdder:
      VisitNoisyAdder(static_cast<VRN_noisyAdder&>(definition));
      break;
    case qelta::kDefDemorgan:
      VisitDemorgan(static_cast<VRN_demorgan&>(definition));
      break;
    case qelta::kDefCast:
      VisitCast(static_cast<VRN_cast&>(definition));
      break;
    case qelta::kDefMau:
      VisitMau(static_cast<VRN_mau&>(definition));
      break;
    default:
      break;
  }
}
