#include "host/ProcessBuffers.h"

#include <algorithm>

namespace mirel::host {

ProcessBuffers::ProcessBuffers(Steinberg::int32 sampleSize, int maxSamples, int mainChannels,
                               int sidechainChannels, int outputChannels)
    : sampleSize_(sampleSize), maxSamples_(std::max(0, maxSamples)) {
  data_.symbolicSampleSize = sampleSize;
  data_.processMode = Steinberg::Vst::kRealtime;
  const int busCount = sidechainChannels > 0 ? 2 : 1;
  inputs_.resize(static_cast<size_t>(busCount));
  inputBuses_.resize(static_cast<size_t>(busCount));
  InitBus(inputs_[0], inputBuses_[0], mainChannels);
  if (busCount == 2) InitBus(inputs_[1], inputBuses_[1], sidechainChannels);
  InitBus(output_, outputBus_, outputChannels);
  data_.inputs = inputBuses_.data();
  data_.numInputs = busCount;
  data_.outputs = &outputBus_;
  data_.numOutputs = 1;
  data_.processContext = &context_;
  context_.sampleRate = 44100.0;
}

void ProcessBuffers::InitBus(Bus& bus, Steinberg::Vst::AudioBusBuffers& buffers, int channels) {
  channels = std::max(0, channels);
  const auto n = static_cast<size_t>(channels);
  const auto len = static_cast<size_t>(maxSamples_);
  if (Is64()) {
    bus.samples64.assign(n, std::vector<double>(len, 0.0));
    for (auto& c : bus.samples64) bus.pointers64.push_back(c.data());
    buffers.channelBuffers64 = bus.pointers64.data();
  } else {
    bus.samples32.assign(n, std::vector<float>(len, 0.0f));
    for (auto& c : bus.samples32) bus.pointers32.push_back(c.data());
    buffers.channelBuffers32 = bus.pointers32.data();
  }
  buffers.numChannels = channels;
  buffers.silenceFlags = 0;
}

// Channel counts come from the buffers this object owns, never from the
// record handed to the plug-in, which a faulty plug-in may overwrite.
int ProcessBuffers::ChannelCount(int inputBus) const {
  if (inputBus < 0 || inputBus >= InputBusCount()) return 0;
  const Bus& bus = inputs_[static_cast<size_t>(inputBus)];
  return static_cast<int>(Is64() ? bus.pointers64.size() : bus.pointers32.size());
}

int ProcessBuffers::OutputChannelCount() const {
  return static_cast<int>(Is64() ? output_.pointers64.size() : output_.pointers32.size());
}

void ProcessBuffers::SetNumSamples(int n) { data_.numSamples = std::clamp(n, 0, maxSamples_); }

void ProcessBuffers::SetBusesPassed(int inputBuses, bool outputBus) {
  data_.numInputs = std::clamp(inputBuses, 0, InputBusCount());
  data_.inputs = data_.numInputs > 0 ? inputBuses_.data() : nullptr;
  data_.numOutputs = outputBus ? 1 : 0;
  data_.outputs = outputBus ? &outputBus_ : nullptr;
}

float* ProcessBuffers::In32(int bus, int channel) {
  if (Is64() || channel < 0 || channel >= ChannelCount(bus)) return nullptr;
  return inputs_[static_cast<size_t>(bus)].pointers32[static_cast<size_t>(channel)];
}

double* ProcessBuffers::In64(int bus, int channel) {
  if (!Is64() || channel < 0 || channel >= ChannelCount(bus)) return nullptr;
  return inputs_[static_cast<size_t>(bus)].pointers64[static_cast<size_t>(channel)];
}

float* ProcessBuffers::Out32(int channel) {
  if (Is64() || channel < 0 || channel >= OutputChannelCount()) return nullptr;
  return output_.pointers32[static_cast<size_t>(channel)];
}

double* ProcessBuffers::Out64(int channel) {
  if (!Is64() || channel < 0 || channel >= OutputChannelCount()) return nullptr;
  return output_.pointers64[static_cast<size_t>(channel)];
}

void ProcessBuffers::SetInput(int bus, int channel, int index, double value) {
  if (index < 0 || index >= maxSamples_) return;
  const auto i = static_cast<size_t>(index);
  if (Is64()) {
    if (double* p = In64(bus, channel)) p[i] = value;
  } else {
    if (float* p = In32(bus, channel)) p[i] = static_cast<float>(value);
  }
}

double ProcessBuffers::Input(int bus, int channel, int index) const {
  if (bus < 0 || bus >= InputBusCount() || channel < 0 || channel >= ChannelCount(bus) ||
      index < 0 || index >= maxSamples_) {
    return 0.0;
  }
  const auto& b = inputs_[static_cast<size_t>(bus)];
  const auto c = static_cast<size_t>(channel);
  const auto i = static_cast<size_t>(index);
  return Is64() ? b.samples64[c][i] : static_cast<double>(b.samples32[c][i]);
}

double ProcessBuffers::Output(int channel, int index) const {
  if (channel < 0 || channel >= OutputChannelCount() || index < 0 || index >= maxSamples_) return 0.0;
  const auto c = static_cast<size_t>(channel);
  const auto i = static_cast<size_t>(index);
  return Is64() ? output_.samples64[c][i] : static_cast<double>(output_.samples32[c][i]);
}

void ProcessBuffers::FillOutputs(double value) {
  for (auto& c : output_.samples64) std::fill(c.begin(), c.end(), value);
  for (auto& c : output_.samples32) std::fill(c.begin(), c.end(), static_cast<float>(value));
}

void ProcessBuffers::ClearInputs() {
  for (auto& bus : inputs_) {
    for (auto& c : bus.samples64) std::fill(c.begin(), c.end(), 0.0);
    for (auto& c : bus.samples32) std::fill(c.begin(), c.end(), 0.0f);
  }
}

}  // namespace mirel::host
