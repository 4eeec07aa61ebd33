// Helpers of the foreign text format tests.
#ifndef QELTA_TESTS_IO_TEXT_FOREIGN_TEST_UTIL_H_
#define QELTA_TESTS_IO_TEXT_FOREIGN_TEST_UTIL_H_

#include <cstdlib>
#include <string>

#include "io/text/format_helpers.h"

namespace qelta_test {

// How far a number may move through a written file: nothing when the
// writers' numbers read back to the same double, else their 8 decimals.
inline double FileNumberTolerance() {
  const double probe = 0.6721176592;
  const std::string text = qelta::DoubleToFileText(probe);
  return std::strtod(text.c_str(), nullptr) == probe ? 0.0 : 5e-9 + 1e-15;
}

}  // namespace qelta_test

#endif  // QELTA_TESTS_IO_TEXT_FOREIGN_TEST_UTIL_H_
