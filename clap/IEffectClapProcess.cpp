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

// Channel k of a host port, the double buffer where the host gives one.
HostBuffer ChannelOf(const clap_audio_buffer_t& port, std::uint32_t k) {
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
  hostBlock_.Clear();
  const std::uint32_t nInPorts = process->audio_inputs ? process->audio_inputs_count : 0;
  const std::uint32_t nOutPorts = process->audio_outputs ? process->audio_outputs_count : 0;
  const int nIn = NInChannels();
  const int nOut = NOutChannels();
  // Input port p's channels follow the channels of the ports before it:
  // the main pair, then the sidechain pair.
  for (std::uint32_t p = 0, first = 0; p < nInPorts && p < 2; ++p, first += kPortChannels) {
    for (std::uint32_t k = 0; k < kPortChannels && first + k < static_cast<std::uint32_t>(nIn); ++k) {
      hostBlock_.In(static_cast<int>(first + k)) = ChannelOf(process->audio_inputs[p], k);
    }
  }
  if (nOutPorts > 0) {
    for (std::uint32_t k = 0; k < kPortChannels && k < static_cast<std::uint32_t>(nOut); ++k) {
      hostBlock_.Out(static_cast<int>(k)) = ChannelOf(process->audio_outputs[0], k);
    }
  }
  // A missing sidechain reads silence, as a VST3 host's inactive aux bus does.
  const bool sidechain = nInPorts >= 2 && process->audio_inputs[1].channel_count > 0;
  if (!sidechain && sidechainActive_) ZeroScratch();
  sidechainActive_ = sidechain;
  for (int i = 0; i < nIn; ++i) GetInChannel(i).connected = i < static_cast<int>(kPortChannels) || sidechain;
  for (int i = 0; i < nOut; ++i) GetOutChannel(i).connected = hostBlock_.Out(i).data != nullptr;
}

// Audio thread, between start and stop of processing, under the plug-in's mutex.
clap_process_status IEffectClap::Process(const clap_process_t* process) {
  if (!process || !active_ || !processing_ || !OnAudioThread()) return CLAP_PROCESS_ERROR;
  PlugLock lock(Mutex());
  ApplyEvents(process->in_events, process->out_events);
  if (process->frames_count == 0 || BlockSize() <= 0) return CLAP_PROCESS_CONTINUE;
  ConnectBuffers(process);
  hostBlock_.Render(static_cast<int>(std::min<std::uint32_t>(process->frames_count, 1u << 30)), hostBypass_);
  return CLAP_PROCESS_CONTINUE;
}
