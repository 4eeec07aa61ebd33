// NeticaExpressionParser: reads the equations of the Netica text format
// into the system's expression language.
//
// Netica writes probability distributions as functions whose first
// argument is the node's own variable (NormalDist(y, mu, sigma)) and has a
// few functions under other names or with another argument order
// (clip(x, lo, hi), plus(a, b, ...), binomial(n, k)). The parser knows
// these twelve names: it parses each call into a placeholder and, once the
// call is complete, replaces it by the system function with the arguments
// the system expects. Every other name is resolved as the base parser does.
//
// Thread use: one parse at a time per object; the translation functions
// make their own parser.
#ifndef QELTA_IO_TEXT_NETICA_EXPRESSION_H_
#define QELTA_IO_TEXT_NETICA_EXPRESSION_H_

#include <string>

#include "equations/expression_parser.h"

class NeticaExpressionParser : public VRN_expressionParser {
 protected:
  // A Netica name of the table gives a VRN_unknownFunction holding that
  // name, with the Netica argument count (a minimum for plus); any other
  // name goes to the base.
  bool CreateFunction(const std::string& name, VRN_function*& function,
                      int& parameter_count, bool& at_least) override;
  // A call of a Netica name becomes the system function with its arguments
  // cloned in the system's order (the Netica call is deleted); null with
  // message "Unexpected error in TranslateFunction" when the system
  // function cannot be made. Other calls come back unchanged.
  VRN_expression* TranslateFunction(VRN_function* function,
                                    std::string& message) override;
};

namespace qelta {

// Translates the right-hand side of a Netica equation ("y (x) = NormalDist
// (y, x, 1)": the text after its first '=') into the system's expression
// text ("Normal(x,1)"). 0 with *translated set; -2 with *error set to
// "Can't find the '=' sign in equation" or the parser's message.
// REQUIRES: translated != nullptr && error != nullptr.
int TranslateNeticaEquation(const std::string& equation,
                            std::string* translated, std::string* error);

// The system's equation of node id: id "=(" the translated text ")".
// Answers as TranslateNeticaEquation.
int NeticaNodeEquation(const std::string& id, const std::string& equation,
                       std::string* node_equation, std::string* error);

}  // namespace qelta

#endif  // QELTA_IO_TEXT_NETICA_EXPRESSION_H_
