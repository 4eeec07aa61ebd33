// Setters of the EM options that keep the starting point consistent.
#include <cmath>

#include "base/status.h"
#include "learning/em.h"

int VRN_em::SetEqSampleSize(float size) {
  // A weight that is not a count of records makes tables of no distribution.
  if (!(size >= 0.0f) || !std::isfinite(size)) return qelta::kErrOutOfRange;
  if (randomizeParameters || uniformizeParameters) return qelta::kErrInvalidValue;
  eqSampleSize = size;
  return qelta::kOk;
}

void VRN_em::SetRandomizeParameters(bool on) {
  randomizeParameters = on;
  if (!on) return;
  uniformizeParameters = false;
  eqSampleSize = 1.0f;
}

void VRN_em::SetUniformizeParameters(bool on) {
  uniformizeParameters = on;
  if (!on) return;
  randomizeParameters = false;
  eqSampleSize = 1.0f;
}

int VRN_em::SetTolerance(double value) {
  if (!(value >= 0.0) || !std::isfinite(value)) return qelta::kErrOutOfRange;
  tolerance = value;
  return qelta::kOk;
}

int VRN_em::SetMaxPasses(int passes) {
  if (passes < 1) return qelta::kErrOutOfRange;
  maxPasses = passes;
  return qelta::kOk;
}
