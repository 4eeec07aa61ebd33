// VRN_em: the options of EM parameter learning, the native object of the
// Java class qelta.learning.EM. The three starting-point options are kept
// consistent by their setters: randomizing and uniformizing exclude each
// other, and either one fixes the equivalent sample size at 1.
//
// A plain value type. Thread use: one thread at a time.
#ifndef QELTA_LEARNING_EM_H_
#define QELTA_LEARNING_EM_H_

class VRN_em {
 public:
  // -4 and no change while randomizing or uniformizing is on; else stores
  // the size; 0.
  [[nodiscard]] int SetEqSampleSize(float size);
  float GetEqSampleSize() const { return eqSampleSize; }
  // Stores the flag; turning it on also turns uniformizing off and sets the
  // equivalent sample size to 1.
  void SetRandomizeParameters(bool on);
  bool GetRandomizeParameters() const { return randomizeParameters; }
  // Stores the flag; turning it on also turns randomizing off and sets the
  // equivalent sample size to 1.
  void SetUniformizeParameters(bool on);
  bool GetUniformizeParameters() const { return uniformizeParameters; }

  float eqSampleSize = 0.0f;  // weight of the starting parameters as a prior
  bool uniformizeParameters = false;
  bool randomizeParameters = true;
  int seed = 0;               // 0: seeded from the clock
  bool relevance = false;     // relevance reasoning in the working network
  bool autoSlices = true;     // grow a dynamic network to the data's slices
};

#endif  // QELTA_LEARNING_EM_H_
