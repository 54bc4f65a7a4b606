#include "host/ClapProcessBuffers.h"

#include <algorithm>

namespace mirel::host {

ClapProcessBuffers::ClapProcessBuffers(Layout layout, std::uint32_t maxFrames)
    : layout_(layout), maxFrames_(std::max<std::uint32_t>(maxFrames, 1)) {
  const std::size_t total = 3u * 2u * maxFrames_;
  if (layout_.is64) {
    samples64_.assign(total, 0.0);
  } else {
    samples32_.assign(total, 0.0f);
  }
  for (int set = 0; set < 3; ++set) {
    // In place, the output port's buffers are the main input's.
    const int storage = (set == 2 && layout_.inPlace) ? 0 : set;
    for (int c = 0; c < 2; ++c) {
      const std::size_t at = Index(storage, c, 0);
      if (layout_.is64) {
        channels64_[set][c] = samples64_.data() + at;
      } else {
        channels32_[set][c] = samples32_.data() + at;
      }
    }
  }
  for (int port = 0; port < 2; ++port) {
    inputs_[port].channel_count = port == 0 ? std::min<std::uint32_t>(layout_.mainChannels, 2) : 2;
    if (layout_.is64) {
      inputs_[port].data64 = channels64_[port];
    } else {
      inputs_[port].data32 = channels32_[port];
    }
  }
  output_.channel_count = 2;
  if (layout_.is64) {
    output_.data64 = channels64_[2];
  } else {
    output_.data32 = channels32_[2];
  }
}

std::size_t ClapProcessBuffers::Index(int set, int channel, std::uint32_t frame) const {
  return (static_cast<std::size_t>(set) * 2u + static_cast<std::size_t>(channel)) * maxFrames_ + frame;
}

void ClapProcessBuffers::SetInput(int port, int channel, std::uint32_t frame, double value) {
  if (port < 0 || port > 1 || channel < 0 || channel > 1 || frame >= maxFrames_) return;
  if (layout_.is64) {
    channels64_[port][channel][frame] = value;
  } else {
    channels32_[port][channel][frame] = static_cast<float>(value);
  }
}

double ClapProcessBuffers::Output(int channel, std::uint32_t frame) const {
  if (channel < 0 || channel > 1 || frame >= maxFrames_) return 0.0;
  return layout_.is64 ? channels64_[2][channel][frame] : static_cast<double>(channels32_[2][channel][frame]);
}

const clap_process_t* ClapProcessBuffers::Process(std::uint32_t frames, const clap_input_events_t* in,
                                                  const clap_output_events_t* out) {
  process_ = clap_process_t{};
  process_.steady_time = steadyTime_;
  steadyTime_ += frames;
  process_.frames_count = std::min(frames, maxFrames_);
  process_.audio_inputs = inputs_;
  process_.audio_inputs_count = layout_.sidechain ? 2 : 1;
  process_.audio_outputs = &output_;
  process_.audio_outputs_count = 1;
  process_.in_events = in;
  process_.out_events = out;
  return &process_;
}

}  // namespace mirel::host
