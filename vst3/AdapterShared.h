#pragma once

// Small helpers shared by the adapter's translation units.

#include <string>

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "vst3/sdk/Bus.h"
#include "vst3/sdk/VstString.h"

namespace adapter {

// Scratch buffers never grow beyond this many frames: longer blocks, whatever
// the host announced, are rendered in slices of at most this size.
inline constexpr int kMaxScratchFrames = 16384;

// The speaker arrangement for a channel count.
Steinberg::Vst::SpeakerArrangement ArrangementFor(int n);

int CountBits(Steinberg::Vst::SpeakerArrangement arr);

inline Steinberg::Vst::AudioBus* AudioBusAt(Steinberg::Vst::BusList& list, Steinberg::int32 index) {
  return dynamic_cast<Steinberg::Vst::AudioBus*>(list.at(index));
}

struct WideName {
  Steinberg::Vst::String128 text{};
  explicit WideName(const std::string& s) { Steinberg::WidenInto(text, 128, s.c_str()); }
  explicit WideName(const char* s) { Steinberg::WidenInto(text, 128, s); }
};

}  // namespace adapter
