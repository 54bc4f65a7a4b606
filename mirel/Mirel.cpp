#include "mirel/Mirel.h"

#include <cmath>
#include <initializer_list>

#include "dsp/DetMath.h"
#include "gui/IPanel.h"

namespace {

// The switch and "Ratio" parameters are read as their value truncated toward
// zero. A value beyond the 32-bit range saturates rather than reading as 0, so
// that a huge "Ratio" counts as an unknown setting (keeping the ratio) and a
// huge switch value as on, as their truncated values would.
int TruncatedValue(const IParamDef* p) { return p ? TruncToInt32(p->Value()) : 0; }

}  // namespace

Mirel::Mirel(bool withEditor)
    : IEffectVST3(kNumParams, mirel::kChannelIO, mirel::kNumPresets, mirel::kEffectName,
                  mirel::kProductName, mirel::kMakerName, mirel::kVersion, mirel::kUniqueId,
                  mirel::kMakerId) {
  DefineParameters();
  if (withEditor) BuildEditor();
  CaptureFactoryPresets();
}

void Mirel::CaptureFactoryPresets() {
  for (const mirel::FactoryPreset& preset : mirel::kFactoryPresets) {
    for (int i = 0; i < kNumParams; ++i) GetParam(i)->SetClamped(preset.values[i]);
    CapturePreset(preset.name);
  }
  // The plug-in starts at its defaults (the first preset).
  for (int i = 0; i < kNumParams; ++i) GetParam(i)->SetClamped(GetParam(i)->DefaultValue());
}

void Mirel::AttachGraphics(std::unique_ptr<IEditorLink> graphics) {
  if (!graphics) return;  // ignored, without taking the lock
  PlugLock lock(Mutex());
  if (graphics.get() != editorWithFeed_) {
    meterFeed_ = nullptr;
    editorWithFeed_ = nullptr;
  }
  IEffectVST3::AttachGraphics(std::move(graphics));
}

Mirel::~Mirel() = default;

void Mirel::DefineParameters() {
  auto stepped = [this](int index, const char* name, double def, double min, double max) {
    IParamDef* p = GetParam(index);
    p->SetKind(ParamKind::Stepped);
    p->DefineStepped(name, def, min, max, 1.0, "", "", 1.0);
  };
  // The unit lives in each value's text (SetValueTexts below), so the label
  // that hosts append is empty.
  auto continuous = [this](int index, const char* name, double def, double min, double max,
                           double step) {
    GetParam(index)->DefineContinuous(name, def, min, max, step, "", "", 1.0);
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
  SetValueTexts();
}

void Mirel::SetValueTexts() {
  // Decibels with one decimal; "Input" is the threshold, minus its value.
  ValueFormat decibels;
  decibels.digits = 1;
  decibels.unit = "dB";
  ValueFormat threshold = decibels;
  threshold.scale = -1.0;
  threshold.zeroText = "off";
  GetParam(kInput)->SetValueFormat(threshold);
  decibels.plusSign = true;
  for (int index : {kOutput, kMidGain, kHf}) GetParam(index)->SetValueFormat(decibels);
  // Attack and Release are stored in seconds and shown in milliseconds.
  ValueFormat ms;
  ms.scale = 1000.0;
  ms.unit = "ms";
  ms.aliases = {{"s", 1000.0}};
  ms.digits = 2;
  GetParam(kAttack)->SetValueFormat(ms);
  ms.digits = 0;
  GetParam(kRelease)->SetValueFormat(ms);
  // Frequencies with three significant digits: "120 Hz", "2.00 kHz".
  ValueFormat hz;
  hz.digits = 3;
  hz.significant = true;
  hz.unit = "Hz";
  for (int index : {kHpf, kMidFreq}) GetParam(index)->SetValueFormat(hz);
  ValueFormat percent;
  percent.unit = "%";
  GetParam(kMix)->SetValueFormat(percent);

  auto list = [this](int index, std::initializer_list<const char*> texts) {
    std::int32_t value = 0;
    for (const char* text : texts) GetParam(index)->AddDisplayText(value++, text);
  };
  list(kRatio, {"2:1", "4:1", "8:1", "12:1"});
  list(kBypass, {"off", "on"});
  list(kInterstage, {"off", "on"});
  list(kOversample, {"4x", "16x"});
  // The detector listens to the sidechain input at 0 and to the main input at 1.
  list(kSidechain, {"EXT", "INT"});
}

void Mirel::ParamChanged(int index) {
  PlugLock lock(Mutex());
  const IParamDef* p = GetParam(index);
  if (!p) return;
  const double v = p->Value();
  CompressorSettings& s = settings_;
  switch (index) {
    case kInput: s.inputDb = v; break;
    case kOutput: s.outputGain = detmath::Pow10(v / 20.0); break;
    case kAttack: s.attackSec = v; break;
    case kRelease: s.releaseSec = v; break;
    case kRatio:
      switch (TruncatedValue(p)) {
        case 0: s.ratio = 2.0; break;
        case 1: s.ratio = 4.0; break;
        case 2: s.ratio = 8.0; break;
        case 3: s.ratio = 12.0; break;
        default: break;  // keeps the previous ratio
      }
      break;
    case kHpf: s.hpfHz = v; break;
    case kMix: s.mixPercent = v; break;
    case kMidFreq: s.midFreqHz = v; break;
    case kMidGain: s.midGainDb = v; break;
    case kHf: s.hfDb = v; break;
    case kOversample: s.oversampleFactor = std::trunc(v) != 0.0 ? 16 : 4; break;
    default: break;  // Bypass, Interstage and the Sidechain switch are read while processing
  }
}

void Mirel::Reset() {
  PlugLock lock(Mutex());
  compressor_.Reset();
}

void Mirel::ProcessBlock(double** inputs, double** outputs, int nFrames) {
  settings_.detectFromMain = TruncatedValue(GetParam(kSidechain)) != 0;
  settings_.interstage = TruncatedValue(GetParam(kInterstage)) != 0;
  settings_.bypass = TruncatedValue(GetParam(kBypass)) != 0;

  // The meter's ballistics run while an editor is attached.
  compressor_.ProcessBlock(settings_, sampleRate_, inputs, outputs, nFrames, Graphics() != nullptr);
  // The editor's timer shows the latest reading: one atomic store per block.
  if (PlugValueFeed* feed = MeterFeed()) feed->Post(compressor_.MeterValue());
}
