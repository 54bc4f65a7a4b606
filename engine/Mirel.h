#pragma once

// The Mirel stereo compressor: the one class that knows it is a compressor.

#include "IEffectVST3.h"
#include "MirelParams.h"

class Mirel : public IEffectVST3 {
 public:
  Mirel();
  ~Mirel() override;

 private:
  void DefineParameters();
};
