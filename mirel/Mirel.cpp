#include "mirel/Mirel.h"

#include <cmath>
#include <initializer_list>
#include <utility>

#include "dsp/DetMath.h"
#include "gui/IPanel.h"
#include "mirel/MirelClap.h"

namespace {

// The switch and "Ratio" parameters are read as their value truncated toward
// zero. A value beyond the 32-bit range saturates rather than reading as 0, so
// that a huge "Ratio" counts as an unknown setting (keeping the ratio) and a
// huge switch value as on, as their truncated values would.
int TruncatedValue(const IParamDef* p) { return p ? TruncToInt32(p->Value()) : 0; }

}  // namespace

template <class Adapter>
MirelOn<Adapter>::MirelOn(bool withEditor)
    : Adapter(kNumParams, mirel::kChannelIO, mirel::kNumPresets, mirel::kEffectName,
                  mirel::kProductName, mirel::kMakerName, mirel::kVersion, mirel::kUniqueId,
                  mirel::kMakerId) {
  DefineParameters();
  if (withEditor) BuildEditor();
  CaptureFactoryPresets();
}

template <class Adapter>
void MirelOn<Adapter>::CaptureFactoryPresets() {
  for (const mirel::FactoryPreset& preset : mirel::kFactoryPresets) {
    for (int i = 0; i < kNumParams; ++i) GetParam(i)->SetClamped(preset.values[i]);
    this->CapturePreset(preset.name);
  }
  // The plug-in starts at its defaults (the first preset).
  for (int i = 0; i < kNumParams; ++i) GetParam(i)->SetClamped(GetParam(i)->DefaultValue());
}

template <class Adapter>
void MirelOn<Adapter>::AttachGraphics(std::unique_ptr<IEditorLink> graphics) {
  if (!graphics) return;  // ignored, without taking the lock
  PlugLock lock(Mutex());
  if (graphics.get() != editorWithFeed_) {
    meterFeed_ = nullptr;
    editorWithFeed_ = nullptr;
  }
  Adapter::AttachGraphics(std::move(graphics));
}

template <class Adapter>
MirelOn<Adapter>::~MirelOn() = default;

template <class Adapter>
void MirelOn<Adapter>::DefineParameters() {
  // The definition order is historical; every parameter ends as its row of
  // the table says. The unit lives in each value's text (SetValueTexts
  // below), so the label that hosts append is empty.
  static constexpr int kDefinitionOrder[kNumParams] = {kBypass, kInterstage, kOversample, kSidechain, kOutput,
                                                       kInput,  kHpf,        kMix,        kAttack,    kRelease,
                                                       kRatio,  kHf,         kMidFreq,    kMidGain};
  for (int index : kDefinitionOrder) {
    const mirel::ParamRow& row = mirel::kParamTable[index];
    IParamDef* p = GetParam(index);
    if (row.kind == ParamKind::Stepped) {
      p->SetKind(ParamKind::Stepped);
      p->DefineStepped(row.name, row.defaultValue, row.minValue, row.maxValue, row.step, "", "", 1.0);
    } else {
      p->DefineContinuous(row.name, row.defaultValue, row.minValue, row.maxValue, row.step, "", "", 1.0);
    }
    p->SetExponent(row.shape);
  }
  SetValueTexts();
}

template <class Adapter>
void MirelOn<Adapter>::SetValueTexts() {
  // How each number reads is set here; its unit comes from the table.
  auto format = [this](int index, ValueFormat f) {
    f.unit = mirel::kParamTable[index].unit;
    GetParam(index)->SetValueFormat(std::move(f));
  };
  // Decibels with one decimal; "Input" is the threshold, minus its value.
  ValueFormat decibels;
  decibels.digits = 1;
  ValueFormat threshold = decibels;
  threshold.scale = -1.0;
  threshold.zeroText = "off";
  format(kInput, threshold);
  decibels.plusSign = true;
  for (int index : {kOutput, kMidGain, kHf}) format(index, decibels);
  // Attack and Release are stored in seconds and shown in milliseconds.
  ValueFormat ms;
  ms.scale = 1000.0;
  ms.aliases = {{"s", 1000.0}};
  ms.digits = 2;
  format(kAttack, ms);
  ms.digits = 0;
  format(kRelease, ms);
  // Frequencies with three significant digits: "120 Hz", "2.00 kHz".
  ValueFormat hz;
  hz.digits = 3;
  hz.significant = true;
  for (int index : {kHpf, kMidFreq}) format(index, hz);
  format(kMix, ValueFormat{});

  // The stepped parameters' texts, one per step.
  for (const mirel::ParamRow& row : mirel::kParamTable) {
    for (int k = 0; k < row.nTexts; ++k) GetParam(row.index)->AddDisplayText(k, row.texts[k]);
  }
}

template <class Adapter>
void MirelOn<Adapter>::ParamChanged(int index) {
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

template <class Adapter>
void MirelOn<Adapter>::Reset() {
  PlugLock lock(Mutex());
  compressor_.Reset();
}

template <class Adapter>
void MirelOn<Adapter>::ProcessBlock(double** inputs, double** outputs, int nFrames) {
  settings_.detectFromMain = TruncatedValue(GetParam(kSidechain)) != 0;
  settings_.interstage = TruncatedValue(GetParam(kInterstage)) != 0;
  settings_.bypass = TruncatedValue(GetParam(kBypass)) != 0;

  // The meter's ballistics run while an editor is attached.
  compressor_.ProcessBlock(settings_, this->sampleRate_, inputs, outputs, nFrames, Graphics() != nullptr);
  // The editor's timer shows the latest reading: one atomic store per block.
  if (PlugValueFeed* feed = MeterFeed()) feed->Post(compressor_.MeterValue());
}

template class MirelOn<IEffectVST3>;
template class MirelOn<IEffectClap>;
