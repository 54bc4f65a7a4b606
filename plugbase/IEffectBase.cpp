#include "plugbase/IEffectBase.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

std::string Truncated(const char* text, std::size_t max) {
  if (!text) return {};
  return std::string(text, strnlen(text, max));
}

}  // namespace

std::vector<ChannelIOConfig> ParseChannelIO(const char* text) {
  std::vector<ChannelIOConfig> configs;
  const char* p = text ? text : "";
  while (true) {
    int in = 0;
    int out = 0;
    std::sscanf(p, "%d-%d", &in, &out);
    configs.push_back(ChannelIOConfig{in, out});
    const char* blank = std::strchr(p, ' ');
    if (!blank) break;
    p = blank + 1;
  }
  return configs;
}

IEffectBase::IEffectBase(int nParams, const char* channelIOText, int nPresets,
                         const char* effectName, const char* productName, const char* makerName,
                         std::int32_t version, std::int32_t uniqueId, std::int32_t makerId)
    : ioConfigs_(ParseChannelIO(channelIOText)),
      effectName_(Truncated(effectName, kNameMax)),
      productName_(Truncated(productName, kNameMax)),
      makerName_(Truncated(makerName, kNameMax)),
      uniqueId_(uniqueId),
      makerId_(makerId),
      version_(version),
      params_(static_cast<std::size_t>(std::max(nParams, 0))),
      presets_(static_cast<std::size_t>(std::max(nPresets, 0))) {
  int maxIn = 0;
  int maxOut = 0;
  for (const ChannelIOConfig& c : ioConfigs_) {
    maxIn = std::max(maxIn, c.inputs);
    maxOut = std::max(maxOut, c.outputs);
  }
  inputPointers_.assign(static_cast<std::size_t>(maxIn), nullptr);
  outputPointers_.assign(static_cast<std::size_t>(maxOut), nullptr);
  inChannels_.resize(static_cast<std::size_t>(maxIn));
  outChannels_.resize(static_cast<std::size_t>(maxOut));
  for (std::size_t i = 0; i < inChannels_.size(); ++i) inChannels_[i].slot = &inputPointers_[i];
  for (std::size_t i = 0; i < outChannels_.size(); ++i) outChannels_[i].slot = &outputPointers_[i];
}

IEffectBase::~IEffectBase() {
  // The editor goes first: its controls may still refer to the plug-in.
  graphics_.reset();
}

void IEffectBase::Reset() { PlugLock lock(mutex_); }

void IEffectBase::ParamChanged(int /*index*/) { PlugLock lock(mutex_); }

void IEffectBase::ActiveChanged(bool /*active*/) { PlugLock lock(mutex_); }

namespace {

// Copies input i to output i, or writes zeros where there is no input.
// A null input reads as silence; a null output is skipped.
void CopyOrZero(double* const* inputs, int nIn, double* const* outputs, int nOut, int frames) {
  if (frames <= 0 || !outputs) return;
  const auto n = static_cast<std::size_t>(frames);
  for (int i = 0; i < nOut; ++i) {
    double* out = outputs[i];
    if (!out) continue;
    const double* in = (inputs && i < nIn) ? inputs[i] : nullptr;
    if (in) {
      if (in != out) std::memmove(out, in, n * sizeof(double));
    } else {
      std::fill_n(out, n, 0.0);
    }
  }
}

}  // namespace

void IEffectBase::ProcessBlock(double** inputs, double** outputs, int nFrames) {
  CopyOrZero(inputs, NInChannels(), outputs, NOutChannels(), nFrames);
}

void IEffectBase::PrepareHostChannels() {
  for (int i = 0; i < NInChannels(); ++i) GetInChannel(i).connected = true;
  for (int i = 0; i < NOutChannels(); ++i) GetOutChannel(i).connected = true;
  if (NInChannels() > 0) {
    latencyDelay_ = std::make_unique<LatencyDelay>();
    latencyDelay_->inputCount = NInChannels();
    latencyDelay_->outputCount = NOutChannels();
  }
}

void IEffectBase::PassThrough(int frames) {
  if (frames <= 0) return;
  LatencyDelay* d = latencyDelay_.get();
  if (latency_ > 0 && d && d->length > 0 && d->inputCount > 0 &&
      d->buffer.size() >= static_cast<std::size_t>(d->length) * static_cast<std::size_t>(d->inputCount)) {
    // Ring buffer of length frames per input channel: each sample read out is
    // the one written length frames earlier.
    const int nIn = std::min(d->inputCount, NInChannels());
    for (int f = 0; f < frames; ++f) {
      double* row = d->buffer.data() + static_cast<std::size_t>(d->writePos) * static_cast<std::size_t>(d->inputCount);
      for (int ch = 0; ch < NOutChannels(); ++ch) {
        double* out = outputPointers_[static_cast<std::size_t>(ch)];
        if (!out) continue;
        out[f] = ch < nIn ? row[ch] : 0.0;
      }
      for (int ch = 0; ch < nIn; ++ch) {
        const double* in = inputPointers_[static_cast<std::size_t>(ch)];
        row[ch] = in ? in[f] : 0.0;
      }
      if (++d->writePos >= d->length) d->writePos = 0;
    }
    return;
  }
  CopyOrZero(inputPointers_.data(), NInChannels(), outputPointers_.data(), NOutChannels(), frames);
}

void IEffectBase::ZeroScratch() {
  for (InChannel& c : inChannels_) std::fill(c.scratch.begin(), c.scratch.end(), 0.0);
  for (OutChannel& c : outChannels_) std::fill(c.scratch.begin(), c.scratch.end(), 0.0);
}

void IEffectBase::SetBlockSize(int frames) {
  if (frames < 0) frames = 0;
  if (frames == blockSize_) return;
  const auto n = static_cast<std::size_t>(frames);
  for (InChannel& c : inChannels_) c.scratch.assign(n, 0.0);
  for (OutChannel& c : outChannels_) c.scratch.assign(n, 0.0);
  blockSize_ = frames;
}

void IEffectBase::SetLatency(int samples) {
  latency_ = samples;
  if (latencyDelay_) {
    LatencyDelay& d = *latencyDelay_;
    d.length = std::max(samples, 0);
    d.buffer.assign(static_cast<std::size_t>(d.length) * static_cast<std::size_t>(std::max(d.inputCount, 0)), 0.0);
    d.writePos = 0;
  }
}

bool IEffectBase::LegalIO(int nIn, int nOut) const {
  for (const ChannelIOConfig& c : ioConfigs_) {
    if ((nIn < 0 || c.inputs == nIn) && (nOut < 0 || c.outputs == nOut)) return true;
  }
  return false;
}

IParamDef* IEffectBase::GetParam(int index) {
  if (index < 0 || index >= NParams()) return nullptr;
  return &params_[static_cast<std::size_t>(index)];
}

const IParamDef* IEffectBase::GetParam(int index) const {
  if (index < 0 || index >= NParams()) return nullptr;
  return &params_[static_cast<std::size_t>(index)];
}

bool IEffectBase::SerializeParams(StateChunk& chunk) {
  PlugLock lock(mutex_);
  for (const IParamDef& p : params_) {
    if (chunk.AppendDouble(p.Value()) <= 0) return false;
  }
  return true;
}

int IEffectBase::UnserializeParams(const StateChunk& chunk, int start) {
  PlugLock lock(mutex_);
  int pos = start;
  for (IParamDef& p : params_) {
    if (pos < 0) break;
    double x = 0.0;
    pos = chunk.ReadDouble(pos, x);
    p.SetClamped(x);
  }
  for (int i = 0; i < NParams(); ++i) ParamChanged(i);
  return pos;
}

bool IEffectBase::ParamsEqual(const double* values, int start) const {
  if (!values) return false;
  for (int i = 0; i < NParams(); ++i) {
    const float a = static_cast<float>(params_[static_cast<std::size_t>(i)].Value());
    const float b = static_cast<float>(values[start + i]);
    if (!(std::fabs(a - b) < 0.00001)) return false;
  }
  return true;
}

void IEffectBase::BeginEdit(int index) {
  if (GetParam(index)) BeginEditNotify(index);
}

void IEffectBase::PerformEdit(int index, double normalised) {
  {
    PlugLock lock(mutex_);
    IParamDef* p = GetParam(index);
    if (!p) return;
    p->SetFromNormalised(normalised);
    ParamChanged(index);
  }
  PerformEditNotify(index, normalised);
}

void IEffectBase::ApplyHostValue(int index, double normalised) {
  IParamDef* p = GetParam(index);
  if (!p) return;
  p->SetFromNormalised(normalised);
  // A lock-free hand-over: the editor's timer tick applies it to the controls.
  if (graphics_) graphics_->SetParameterFromPlug(index, normalised);
  ParamChanged(index);
}

void IEffectBase::EndEdit(int index) {
  if (GetParam(index)) EndEditNotify(index);
}

double IEffectBase::ParamNormalised(int index) {
  const IParamDef* p = GetParam(index);
  if (!p) return 0.0;
  PlugLock lock(mutex_);
  return p->ToNormalised(p->Value());
}

double IEffectBase::ParamPlain(int index) {
  const IParamDef* p = GetParam(index);
  if (!p) return 0.0;
  PlugLock lock(mutex_);
  return p->Value();
}

std::string IEffectBase::ParamDisplayText(int index) {
  const IParamDef* p = GetParam(index);
  return p ? p->FormatDisplay(ParamPlain(index)) : std::string();
}

bool IEffectBase::SetEditorZoom(double zoom) {
  if (!EditorZoomInRange(zoom)) return false;
  if (editorZoom_.exchange(zoom, std::memory_order_relaxed) != zoom && graphics_) graphics_->EditorZoomChanged();
  return true;
}

void IEffectBase::AttachGraphics(std::unique_ptr<IEditorLink> graphics) {
  if (!graphics) return;
  PlugLock lock(mutex_);
  for (int i = 0; i < NParams(); ++i) {
    const IParamDef& p = params_[static_cast<std::size_t>(i)];
    graphics->SetParameterFromPlug(i, p.ToNormalised(p.Value()));
  }
  graphics->PrepareDraw();
  graphics_ = std::move(graphics);
}

void IEffectBase::RedrawParamControls() {
  if (!graphics_) return;
  for (int i = 0; i < NParams(); ++i) {
    const IParamDef& p = params_[static_cast<std::size_t>(i)];
    graphics_->SetParameterFromPlug(i, p.ToNormalised(p.Value()));
  }
}

void IEffectBase::CaptureDefaultPreset() { CapturePreset("-"); }

bool IEffectBase::CapturePreset(const std::string& name) {
  for (PresetSlot& slot : presets_) {
    if (slot.initialised) continue;
    slot.initialised = true;
    slot.name = name.substr(0, PresetSlot::kNameMax);
    return SerializeParams(slot.chunk);
  }
  return false;
}

bool IEffectBase::LoadPreset(int index) {
  if (index < 0 || index >= NPresets()) return false;
  PresetSlot& slot = presets_[static_cast<std::size_t>(index)];
  bool ok = false;
  if (slot.initialised) {
    ok = UnserializeParams(slot.chunk, 0) > 0;
  } else {
    // An empty slot captures the current values instead of changing them.
    slot.initialised = true;
    int count = 0;
    for (const PresetSlot& s : presets_) {
      if (s.name.find("user preset") != std::string::npos) ++count;
    }
    slot.name = "user preset " + std::to_string(count + 1);
    ok = SerializeParams(slot.chunk);
  }
  if (ok) {
    currentPreset_ = index;
    NotifyPresetChanged();
    RedrawParamControls();
  }
  return ok;
}

const PresetSlot* IEffectBase::GetPreset(int index) const {
  if (index < 0 || index >= NPresets()) return nullptr;
  return &presets_[static_cast<std::size_t>(index)];
}
