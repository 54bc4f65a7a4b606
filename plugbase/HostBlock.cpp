#include "plugbase/HostBlock.h"

#include <algorithm>

#include "plugbase/IEffectBase.h"

namespace {

// Float host samples to the engine's doubles and back, four at a time in
// the main loop so that the compiler converts them in vectors.
template <class From, class To>
void ConvertSamples(const From* src, To* dst, std::size_t n) {
  std::size_t f = 0;
  for (; f + 4 <= n; f += 4) {
    dst[f] = static_cast<To>(src[f]);
    dst[f + 1] = static_cast<To>(src[f + 1]);
    dst[f + 2] = static_cast<To>(src[f + 2]);
    dst[f + 3] = static_cast<To>(src[f + 3]);
  }
  for (; f < n; ++f) dst[f] = static_cast<To>(src[f]);
}

}  // namespace

HostBlock::HostBlock(IEffectBase& effect)
    : effect_(effect),
      in_(static_cast<std::size_t>(effect.NInChannels())),
      out_(static_cast<std::size_t>(effect.NOutChannels())) {}

void HostBlock::Clear() {
  std::fill(in_.begin(), in_.end(), HostBuffer{});
  std::fill(out_.begin(), out_.end(), HostBuffer{});
}

void HostBlock::Render(int frames, bool bypass) {
  const int block = effect_.BlockSize();
  if (block <= 0) return;
  for (int offset = 0; offset < frames; offset += block) {
    RenderSlice(offset, std::min(block, frames - offset), bypass);
  }
  for (int i = 0; i < effect_.NOutChannels(); ++i) effect_.GetOutChannel(i).hostBuffer = nullptr;
}

void HostBlock::RenderSlice(int offset, int frames, bool bypass) {
  const auto n = static_cast<std::size_t>(frames);
  const auto off = static_cast<std::size_t>(offset);
  for (int i = 0; i < effect_.NInChannels(); ++i) {
    InChannel& c = effect_.GetInChannel(i);
    const HostBuffer host = c.connected ? in_[static_cast<std::size_t>(i)] : HostBuffer{};
    if (host.data && host.is64) {
      *c.slot = static_cast<double*>(host.data) + off;
      continue;
    }
    double* s = c.scratch.data();
    if (host.data) {
      ConvertSamples(static_cast<const float*>(host.data) + off, s, n);
    } else {
      std::fill_n(s, n, 0.0);
    }
    *c.slot = s;
  }
  for (int i = 0; i < effect_.NOutChannels(); ++i) {
    OutChannel& c = effect_.GetOutChannel(i);
    const HostBuffer host = out_[static_cast<std::size_t>(i)];
    c.hostBuffer = nullptr;
    if (host.data && host.is64) {
      *c.slot = static_cast<double*>(host.data) + off;
    } else {
      *c.slot = c.scratch.data();
      if (host.data) c.hostBuffer = static_cast<float*>(host.data) + off;
    }
  }
  if (bypass) {
    effect_.PassThrough(frames);
  } else {
    effect_.ProcessBlock(effect_.InputPointers(), effect_.OutputPointers(), frames);
  }
  for (int i = 0; i < effect_.NOutChannels(); ++i) {
    OutChannel& c = effect_.GetOutChannel(i);
    if (c.hostBuffer) ConvertSamples(c.scratch.data(), c.hostBuffer, n);
  }
}
