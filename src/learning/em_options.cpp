// Setters of the EM options that keep the starting point consistent.
#include "base/status.h"
#include "learning/em.h"

int VRN_em::SetEqSampleSize(float size) {
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
