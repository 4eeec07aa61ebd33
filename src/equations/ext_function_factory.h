// VRN_extFunctionFactory: where the expression parser looks up names that
// are not built-in functions, such as a network's user-defined functions.
//
// Thread use: as the implementing object.
#ifndef QELTA_EQUATIONS_EXT_FUNCTION_FACTORY_H_
#define QELTA_EQUATIONS_EXT_FUNCTION_FACTORY_H_

#include <string>

class VRN_function;

class VRN_extFunctionFactory {
 public:
  virtual ~VRN_extFunctionFactory() = default;

  // True with node set to a new call of the function named name (sign 1,
  // context index -1, no arguments; the caller owns it), argument_count to
  // its parameter count and variadic to whether that is a minimum. False,
  // leaving the outputs alone, when the factory knows no such function.
  virtual bool CreateFunction(const std::string& name, VRN_function*& node,
                              int& argument_count, bool& variadic) = 0;
};

#endif  // QELTA_EQUATIONS_EXT_FUNCTION_FACTORY_H_
