#include "Mirel.h"

Mirel::Mirel()
    : IEffectVST3(kNumParams, mirel::kChannelIO, mirel::kNumPresets, mirel::kEffectName,
                  mirel::kProductName, mirel::kMakerName, mirel::kVersion, mirel::kUniqueId,
                  mirel::kMakerId) {
  DefineParameters();
  CaptureDefaultPreset();
}

Mirel::~Mirel() = default;

void Mirel::DefineParameters() {
  auto stepped = [this](int index, const char* name, double def, double min, double max) {
    IParamDef* p = GetParam(index);
    p->SetKind(ParamKind::Stepped);
    p->DefineStepped(name, def, min, max, 1.0, "", "", 1.0);
  };
  auto continuous = [this](int index, const char* name, double def, double min, double max,
                           double step) {
    GetParam(index)->DefineContinuous(name, def, min, max, step, "%", "", 1.0);
  };

  // The definition order is historical; every parameter ends as listed by index.
  stepped(kBypass, "Bypass", 0, 0, 1);
  stepped(kInterstage, "Interstage", 0, 0, 1);
  stepped(kOversample, "Oversample", 0, 0, 1);
  stepped(kSidechain, "Sidechain", 1, 0, 1);
  continuous(kOutput, "Output", 0, -30, 30, 0.01);
  continuous(kInput, "Input", 0, 0, 80, 0.01);
  continuous(kHpf, "Sidechain", 20, 20, 500, 0.01);
  continuous(kMix, "Mix", 100, 0, 100, 0.01);
  continuous(kAttack, "Attack", 0.0004, 0.0001, 0.0011, 0.001);
  GetParam(kAttack)->SetExponent(2.0);
  continuous(kRelease, "Release", 0.4, 0.02, 0.85, 0.01);
  GetParam(kRelease)->SetExponent(2.0);
  stepped(kRatio, "Ratio", 0, 0, 3);
  continuous(kHf, "HF", 0, -16, 0, 0.01);
  continuous(kMidFreq, "Mid Freq", 500, 500, 10000, 0.01);
  continuous(kMidGain, "Mid Gain", 0, -6, 6, 0.01);
}
