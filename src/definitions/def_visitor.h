// VRN_nodeDefVisitor: one operation per kind of node definition, so that
// code outside the definition classes (the network file writers) can treat
// each kind without a switch of its own.
//
// A visitor derives from this class, overrides the visits of the kinds it
// handles and calls Dispatch on each definition. The default visits chain:
// a truth table is visited as a CPT, and every other visit ends in
// VisitDefault, which does nothing (override it as a catch-all).
//
// Ownership: a visitor holds nothing; the definitions stay their nodes'.
// Thread use: as the network the definitions belong to.
#ifndef QELTA_DEFINITIONS_DEF_VISITOR_H_
#define QELTA_DEFINITIONS_DEF_VISITOR_H_

class VRN_nodeDef;
class VRN_mau;
class VRN_utility;
class VRN_decision;
class VRN_equation;
class VRN_demorgan;
class VRN_cast;
class VRN_noisyAdder;
class VRN_noisyMAX;
class VRN_truthTable;
class VRN_cpt;

class VRN_nodeDefVisitor {
 public:
  VRN_nodeDefVisitor() = default;
  virtual ~VRN_nodeDefVisitor() = default;

  // ---- Visits, one per definition type code; each default calls
  // VisitDefault, except VisitTruthTable, which calls VisitCpt.
  virtual void VisitMau(VRN_mau& definition);                // 520
  virtual void VisitUtility(VRN_utility& definition);        // 8
  virtual void VisitDecision(VRN_decision& definition);      // 17
  virtual void VisitEquation(VRN_equation& definition);      // 4
  virtual void VisitDemorgan(VRN_demorgan& definition);      // 82
  virtual void VisitCast(VRN_cast& definition);              // 50
  virtual void VisitNoisyAdder(VRN_noisyAdder& definition);  // 274
  virtual void VisitNoisyMAX(VRN_noisyMAX& definition);      // 146
  virtual void VisitTruthTable(VRN_truthTable& definition);  // 20
  virtual void VisitCpt(VRN_cpt& definition);                // 18
  // Does nothing.
  virtual void VisitDefault(VRN_nodeDef& definition);

  // Calls the visit that matches the definition's type code, with the
  // definition as its concrete class; a definition of any other code is not
  // visited. Each definition class of the engine has its case here.
  void Dispatch(VRN_nodeDef& definition);
};

#endif  // QELTA_DEFINITIONS_DEF_VISITOR_H_
