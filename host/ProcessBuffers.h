#pragma once
// Audio buffers and the ProcessData record of a host's process call: a main
// input bus, an optional sidechain input bus and one output bus, with samples
// of 32 or 64 bits, plus a process context.

#include <vector>

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

namespace mirel::host {

class ProcessBuffers {
 public:
  // sampleSize is Steinberg::Vst::kSample32 or kSample64. sidechainChannels 0
  // means the data carries only the main input bus.
  ProcessBuffers(Steinberg::int32 sampleSize, int maxSamples, int mainChannels = 2,
                 int sidechainChannels = 0, int outputChannels = 2);
  ProcessBuffers(const ProcessBuffers&) = delete;
  ProcessBuffers& operator=(const ProcessBuffers&) = delete;

  // The record to hand to IAudioProcessor::process; it points into this object.
  Steinberg::Vst::ProcessData& Data() { return data_; }
  Steinberg::Vst::ProcessContext& Context() { return context_; }

  bool Is64() const { return sampleSize_ == Steinberg::Vst::kSample64; }
  int MaxSamples() const { return maxSamples_; }
  int InputBusCount() const { return static_cast<int>(inputBuses_.size()); }
  int ChannelCount(int inputBus) const;
  int OutputChannelCount() const;

  // Sets data.numSamples; clamped to 0..MaxSamples().
  void SetNumSamples(int n);
  // How many input buses the data carries (0 .. InputBusCount()) and whether
  // the output bus is passed; used to send calls with missing buses.
  void SetBusesPassed(int inputBuses, bool outputBus);
  void SetParameterChanges(Steinberg::Vst::IParameterChanges* changes) {
    data_.inputParameterChanges = changes;
  }
  void SetProcessMode(Steinberg::int32 mode) { data_.processMode = mode; }
  void SetContextPassed(bool passed) { data_.processContext = passed ? &context_ : nullptr; }

  // Raw channel buffers of MaxSamples() samples; the ones of the other sample
  // size are null.
  float* In32(int bus, int channel);
  double* In64(int bus, int channel);
  float* Out32(int channel);
  double* Out64(int channel);

  // Sample access in either size (32-bit stores round to float).
  void SetInput(int bus, int channel, int index, double value);
  double Input(int bus, int channel, int index) const;
  double Output(int channel, int index) const;
  // Fills every output sample (e.g. with a marker to see what the plug-in wrote).
  void FillOutputs(double value);
  void ClearInputs();

 private:
  struct Bus {
    std::vector<std::vector<float>> samples32;
    std::vector<std::vector<double>> samples64;
    std::vector<float*> pointers32;
    std::vector<double*> pointers64;
  };
  void InitBus(Bus& bus, Steinberg::Vst::AudioBusBuffers& buffers, int channels);

  Steinberg::int32 sampleSize_;  // kept here: the plug-in may write to data_
  int maxSamples_;
  std::vector<Bus> inputs_;
  std::vector<Steinberg::Vst::AudioBusBuffers> inputBuses_;
  Bus output_;
  Steinberg::Vst::AudioBusBuffers outputBus_;
  Steinberg::Vst::ProcessContext context_{};
  Steinberg::Vst::ProcessData data_;
};

}  // namespace mirel::host
