// Audio ports and processing: the ports the host sees, the per-block call,
// the host's buffers in and out (32- or 64-bit per port, in place or not).

#include <algorithm>
#include <cstring>

#include "clap/IEffectClap.h"
#include "ext/audio-ports.h"

namespace {

constexpr clap_id kMainPortId = 0;
constexpr clap_id kSidechainPortId = 1;
constexpr std::uint32_t kPortChannels = 2;

void CopyName(char* dst, std::size_t size, const std::string& name) {
  const std::size_t n = std::min(name.size(), size - 1);
  std::memcpy(dst, name.data(), n);
  dst[n] = '\0';
}

// Float host samples to the engine's doubles and back, four at a time in
// the main loop so that the compiler converts them in vectors.
void WidenSamples(const float* src, double* dst, std::size_t n) {
  std::size_t f = 0;
  for (; f + 4 <= n; f += 4) {
    dst[f] = static_cast<double>(src[f]);
    dst[f + 1] = static_cast<double>(src[f + 1]);
    dst[f + 2] = static_cast<double>(src[f + 2]);
    dst[f + 3] = static_cast<double>(src[f + 3]);
  }
  for (; f < n; ++f) dst[f] = static_cast<double>(src[f]);
}

void NarrowSamples(const double* src, float* dst, std::size_t n) {
  std::size_t f = 0;
  for (; f + 4 <= n; f += 4) {
    dst[f] = static_cast<float>(src[f]);
    dst[f + 1] = static_cast<float>(src[f + 1]);
    dst[f + 2] = static_cast<float>(src[f + 2]);
    dst[f + 3] = static_cast<float>(src[f + 3]);
  }
  for (; f < n; ++f) dst[f] = static_cast<float>(src[f]);
}

// Channel k of a host port, the double buffer where the host gives one.
template <class Channel>
Channel ChannelOf(const clap_audio_buffer_t& port, std::uint32_t k) {
  if (k >= port.channel_count) return {};
  if (port.data64 && port.data64[k]) return {port.data64[k], true};
  if (port.data32 && port.data32[k]) return {port.data32[k], false};
  return {};
}

}  // namespace

// Main thread.
std::uint32_t IEffectClap::PortCount(bool isInput) {
  if (!OnMainThread()) return 0;
  return isInput ? 2 : 1;
}

// Main thread.
bool IEffectClap::PortInfo(std::uint32_t index, bool isInput, clap_audio_port_info_t* info) {
  if (!OnMainThread() || index >= PortCount(isInput)) return false;
  *info = clap_audio_port_info_t{};
  const bool main = index == 0;
  info->id = main ? kMainPortId : kSidechainPortId;
  const std::vector<std::string>& labels = isInput ? inputBusLabels_ : outputBusLabels_;
  CopyName(info->name, sizeof info->name, labels.at(index));
  info->flags = CLAP_AUDIO_PORT_SUPPORTS_64BITS;
  if (main) info->flags |= CLAP_AUDIO_PORT_IS_MAIN;
  info->channel_count = kPortChannels;
  info->port_type = CLAP_PORT_STEREO;
  // The main input and the output can share buffers; the sidechain has no pair.
  info->in_place_pair = main ? kMainPortId : CLAP_INVALID_ID;
  return true;
}

void IEffectClap::ConnectBuffers(const clap_process_t* process) {
  std::fill(inHost_.begin(), inHost_.end(), HostChannel{});
  std::fill(outHost_.begin(), outHost_.end(), HostChannel{});
  const std::uint32_t nInPorts = process->audio_inputs ? process->audio_inputs_count : 0;
  const std::uint32_t nOutPorts = process->audio_outputs ? process->audio_outputs_count : 0;
  const int nIn = NInChannels();
  const int nOut = NOutChannels();
  // Input port p's channels follow the channels of the ports before it:
  // the main pair, then the sidechain pair.
  for (std::uint32_t p = 0, first = 0; p < nInPorts && p < 2; ++p, first += kPortChannels) {
    for (std::uint32_t k = 0; k < kPortChannels && first + k < static_cast<std::uint32_t>(nIn); ++k) {
      inHost_[first + k] = ChannelOf<HostChannel>(process->audio_inputs[p], k);
    }
  }
  if (nOutPorts > 0) {
    for (std::uint32_t k = 0; k < kPortChannels && k < static_cast<std::uint32_t>(nOut); ++k) {
      outHost_[k] = ChannelOf<HostChannel>(process->audio_outputs[0], k);
    }
  }
  // A missing sidechain reads silence, as a VST3 host's inactive aux bus does.
  const bool sidechain = nInPorts >= 2 && process->audio_inputs[1].channel_count > 0;
  if (!sidechain && sidechainActive_) ZeroScratch();
  sidechainActive_ = sidechain;
  for (int i = 0; i < nIn; ++i) GetInChannel(i).connected = i < static_cast<int>(kPortChannels) || sidechain;
  for (int i = 0; i < nOut; ++i) GetOutChannel(i).connected = outHost_[static_cast<std::size_t>(i)].data != nullptr;
}

void IEffectClap::RenderSlice(int offset, int frames) {
  const auto n = static_cast<std::size_t>(frames);
  const auto off = static_cast<std::size_t>(offset);
  for (int i = 0; i < NInChannels(); ++i) {
    InChannel& c = GetInChannel(i);
    const HostChannel host = c.connected ? inHost_[static_cast<std::size_t>(i)] : HostChannel{};
    // A double input is read where it is, also when the output shares it
    // (processing in place): the signal path reads each input sample before
    // it writes that output sample.
    if (host.data && host.is64) {
      *c.slot = static_cast<double*>(host.data) + off;
      continue;
    }
    double* s = c.scratch.data();
    if (host.data) {
      WidenSamples(static_cast<const float*>(host.data) + off, s, n);
    } else {
      std::fill_n(s, n, 0.0);
    }
    *c.slot = s;
  }
  for (int i = 0; i < NOutChannels(); ++i) {
    OutChannel& c = GetOutChannel(i);
    const HostChannel host = outHost_[static_cast<std::size_t>(i)];
    c.hostBuffer = nullptr;
    if (host.data && host.is64) {
      *c.slot = static_cast<double*>(host.data) + off;
    } else {
      *c.slot = c.scratch.data();
      if (host.data) c.hostBuffer = static_cast<float*>(host.data) + off;
    }
  }
  if (hostBypass_) {
    PassThrough(frames);
  } else {
    ProcessBlock(InputPointers(), OutputPointers(), frames);
  }
  for (int i = 0; i < NOutChannels(); ++i) {
    OutChannel& c = GetOutChannel(i);
    if (c.hostBuffer) NarrowSamples(c.scratch.data(), c.hostBuffer, n);
  }
}

// Audio thread, between start and stop of processing, under the plug-in's mutex.
clap_process_status IEffectClap::Process(const clap_process_t* process) {
  if (!process || !active_ || !processing_ || !OnAudioThread()) return CLAP_PROCESS_ERROR;
  PlugLock lock(Mutex());
  ApplyEvents(process->in_events, process->out_events);
  if (process->frames_count == 0 || BlockSize() <= 0) return CLAP_PROCESS_CONTINUE;
  ConnectBuffers(process);
  // Blocks longer than the scratch buffers run in slices.
  const int frames = static_cast<int>(std::min<std::uint32_t>(process->frames_count, 1u << 30));
  for (int offset = 0; offset < frames; offset += BlockSize()) {
    RenderSlice(offset, std::min(BlockSize(), frames - offset));
  }
  for (int i = 0; i < NOutChannels(); ++i) GetOutChannel(i).hostBuffer = nullptr;
  return CLAP_PROCESS_CONTINUE;
}
