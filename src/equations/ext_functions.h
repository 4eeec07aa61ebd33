// VRN_extFunctionContainer: the user-defined functions of a network.
//
// The network owns at most one container; equation and multi-attribute
// utility definitions hold a pointer to it so that their expressions can
// call the functions. This version keeps each function as its definition
// text, unparsed: it accepts every text, counts every function as
// deterministic, and gives the texts back in the order they were set.
//
// Thread use: as the owning network, one thread at a time.
#ifndef QELTA_EQUATIONS_EXT_FUNCTIONS_H_
#define QELTA_EQUATIONS_EXT_FUNCTIONS_H_

#include <string>
#include <vector>

class VRN_extFunctionContainer {
 public:
  // An empty container.
  VRN_extFunctionContainer();
  // Copy of every function of other.
  VRN_extFunctionContainer(const VRN_extFunctionContainer& other);
  VRN_extFunctionContainer& operator=(const VRN_extFunctionContainer&) = delete;
  ~VRN_extFunctionContainer();

  // Replaces the functions by the definition texts, in order. Answers true.
  // On false (a text that does not define a function) fnIndex is the index
  // of that text, pos the position of the error in it and msg describes it;
  // the container then holds the texts before the failing one.
  bool SetDefinitions(const std::vector<std::string>& definitions, int& fnIndex,
                      int& pos, std::string& msg);
  // Appends each function's definition text in order to out; with
  // deterministicOnly only those whose body draws no random numbers.
  void GetDefinitions(std::vector<std::string>& out,
                      bool deterministicOnly) const;

 private:
  std::vector<std::string> definitions_;
};

#endif  // QELTA_EQUATIONS_EXT_FUNCTIONS_H_
