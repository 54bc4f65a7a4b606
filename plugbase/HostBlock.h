#pragma once

// A host's block of audio rendered through an effect, whatever the plug-in
// format: the adapter connects each channel's host buffer (single or double
// precision) for the block, and the block runs in slices no longer than the
// effect's scratch buffers. Float samples are widened into the scratch
// buffers and the outputs narrowed back; double buffers are used where they
// are, also when an output shares its input's buffer (in place): the signal
// path reads each input sample before it writes that output sample.
//
// Audio thread, under the effect's mutex; allocates nothing.

#include <cstddef>
#include <vector>

class IEffectBase;

// One channel's host buffer for this block; none (null) reads silence or
// writes nowhere.
struct HostBuffer {
  void* data = nullptr;
  bool is64 = false;
};

class HostBlock {
 public:
  // Sized once for the effect's channels, which must not change afterwards.
  // The effect must outlive this.
  explicit HostBlock(IEffectBase& effect);
  HostBlock(const HostBlock&) = delete;
  HostBlock& operator=(const HostBlock&) = delete;

  // Every channel without a buffer, as each block starts.
  void Clear();
  HostBuffer& In(int channel) { return in_[static_cast<std::size_t>(channel)]; }
  HostBuffer& Out(int channel) { return out_[static_cast<std::size_t>(channel)]; }

  // Renders `frames` frames through the effect, or passes its inputs
  // through when `bypass`. An input channel the effect has not connected
  // reads silence whatever its buffer.
  void Render(int frames, bool bypass);

 private:
  void RenderSlice(int offset, int frames, bool bypass);

  IEffectBase& effect_;
  std::vector<HostBuffer> in_;
  std::vector<HostBuffer> out_;
};
