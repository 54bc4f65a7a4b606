#pragma once

// The Mirel stereo compressor: the one class that knows it is a compressor.

#include "IEffectBase.h"
#include "MirelParams.h"

class Mirel : public IEffectBase {
 public:
  Mirel();
  ~Mirel() override;

 private:
  void DefineParameters();
};
