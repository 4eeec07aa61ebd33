// Isolation of a variable and simplification of expression trees.
#include <string>

#include "equations/expression.h"
#include "equations/std_functions.h"

bool VRN_expression::Isolate(const std::string&, VRN_expression*&,
                             VRN_expression*&) {
  return false;
}

bool VRN_expression::Simplify(VRN_expression*&) { return false; }

bool VRN_function::Simplify(VRN_expression*&) { return false; }

bool VRN_operatorConditional::Simplify(VRN_expression*&) { return false; }

bool VRN_stdFunction::Isolate(const std::string&, VRN_expression*&,
                              VRN_expression*&) {
  return false;
}

#define QELTA_STUB(Class)                                                   \
  bool Class::Isolate(const std::string&, VRN_expression*&,                 \
                      VRN_expression*&) {                                   \
    return false;                                                           \
  }                                                                         \
  bool Class::Simplify(VRN_expression*&) { return false; }
QELTA_STUB(VRN_operatorPlus)
QELTA_STUB(VRN_operatorMinus)
QELTA_STUB(VRN_operatorDivide)
QELTA_STUB(VRN_operatorMultiply)
QELTA_STUB(VRN_operatorExp)
QELTA_STUB(VRN_operatorLT)
QELTA_STUB(VRN_operatorGT)
QELTA_STUB(VRN_operatorLE)
QELTA_STUB(VRN_operatorGE)
QELTA_STUB(VRN_operatorEQ)
QELTA_STUB(VRN_operatorNE)
