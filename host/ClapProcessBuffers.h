#pragma once
// The audio buffers and process record a CLAP host hands a stereo effect:
// the main input and output ports, the sidechain input port when given, in
// 32- or 64-bit samples, the output either its own buffers or the main
// input's (processing in place).

#include <cstdint>
#include <vector>

#include "process.h"

namespace mirel::host {

class ClapProcessBuffers {
 public:
  struct Layout {
    bool is64 = false;
    bool sidechain = true;
    bool inPlace = false;
    // Channels the main input port declares (a host may give fewer than the
    // plug-in's two; the buffers behind it stay two).
    std::uint32_t mainChannels = 2;
  };
  ClapProcessBuffers(Layout layout, std::uint32_t maxFrames);
  ClapProcessBuffers(const ClapProcessBuffers&) = delete;
  ClapProcessBuffers& operator=(const ClapProcessBuffers&) = delete;

  // Input port 0 is the main input, 1 the sidechain (ignored when not given).
  void SetInput(int port, int channel, std::uint32_t frame, double value);
  double Output(int channel, std::uint32_t frame) const;
  // The process record for a block of `frames` (at most maxFrames).
  const clap_process_t* Process(std::uint32_t frames, const clap_input_events_t* in,
                                const clap_output_events_t* out);

 private:
  // Sample k of channel c of buffer set b (0 main in, 1 sidechain, 2 out).
  std::size_t Index(int set, int channel, std::uint32_t frame) const;

  Layout layout_;
  std::uint32_t maxFrames_;
  std::vector<double> samples64_;
  std::vector<float> samples32_;
  double* channels64_[3][2]{};
  float* channels32_[3][2]{};
  clap_audio_buffer_t inputs_[2]{};
  clap_audio_buffer_t output_{};
  clap_process_t process_{};
  std::int64_t steadyTime_ = 0;
};

}  // namespace mirel::host
