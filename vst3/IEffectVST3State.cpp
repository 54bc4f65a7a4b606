// The plug-in's state for the host: the bytes the base writes and reads
// (their layout is in plugbase/IEffectBaseState.cpp), moved between the
// host's stream and the base unchanged.

#include <algorithm>
#include <cstdint>

#include "vst3/HostCall.h"
#include "vst3/IEffectVST3.h"
#include "pluginterfaces/base/ibstream.h"

using namespace Steinberg;

namespace {

// Reads up to size bytes, going on while a stream that delivers in pieces
// still makes progress. Returns the bytes read (0..size).
int32 ReadFully(IBStream* stream, std::uint8_t* dst, int32 size) {
  int32 total = 0;
  while (total < size) {
    int32 got = 0;
    const tresult r = stream->read(dst + total, size - total, &got);
    if (got <= 0) break;
    total += std::min(got, size - total);
    if (r != kResultOk) break;
  }
  return total;
}

}  // namespace

// Any thread, under the plug-in's mutex.
tresult PLUGIN_API IEffectVST3::getState(IBStream* state) {
  return HostCallWithOut(state, [&]() -> tresult {
    PlugLock lock(Mutex());
    StateChunk chunk;
    if (!SerializeState(chunk)) return kResultFalse;
    int32 written = 0;
    if (state->write(chunk.Data(), chunk.Size(), &written) != kResultOk || written != chunk.Size()) {
      return kResultFalse;
    }
    return kResultOk;
  });
}

// Any thread, under the plug-in's mutex.
tresult PLUGIN_API IEffectVST3::setState(IBStream* state) {
  return HostCallWithOut(state, [&]() -> tresult {
    PlugLock lock(Mutex());
    const int32 limit = MaxStateSize();
    if (limit <= 0) return kResultFalse;
    StateChunk chunk;
    chunk.Resize(limit);
    chunk.Resize(ReadFully(state, chunk.Data(), limit));
    return UnserializeState(chunk) ? kResultOk : kResultFalse;
  });
}
