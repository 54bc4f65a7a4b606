// The plug-in's state for the host: the parameter chunk, then the
// host-bypass flag as a little-endian int32, then, only once the editor was
// resized, a trailer: the tag "zoom" and the editor's zoom as a
// little-endian IEEE double. An instance never resized writes no trailer.

#include <algorithm>
#include <cstdint>
#include <cstring>

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

constexpr std::uint8_t kZoomTag[4] = {'z', 'o', 'o', 'm'};
constexpr int32 kZoomTrailerSize = 4 + 8;

void PutZoomTrailer(double zoom, std::uint8_t (&out)[kZoomTrailerSize]) {
  std::memcpy(out, kZoomTag, 4);
  std::uint64_t bits = 0;
  std::memcpy(&bits, &zoom, 8);
  for (int i = 0; i < 8; ++i) out[4 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

// The zoom a trailer carries; 1 (the editor's own size) for anything but a
// whole trailer with the tag and a zoom in range.
double ZoomFromTrailer(const std::uint8_t (&in)[kZoomTrailerSize], int32 got) {
  if (got != kZoomTrailerSize || std::memcmp(in, kZoomTag, 4) != 0) return 1.0;
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(in[4 + i]) << (8 * i);
  double zoom = 0.0;
  std::memcpy(&zoom, &bits, 8);
  return EditorZoomInRange(zoom) ? zoom : 1.0;  // NaN is out of range too
}

}  // namespace

// Any thread, under the plug-in's mutex.
tresult PLUGIN_API IEffectVST3::getState(IBStream* state) {
  return HostCallWithOut(state, [&]() -> tresult {
    PlugLock lock(Mutex());
    StateChunk chunk;
    if (!SerializeParams(chunk)) return kResultFalse;
    int32 written = 0;
    if (state->write(chunk.Data(), chunk.Size(), &written) != kResultOk || written != chunk.Size()) {
      return kResultFalse;
    }
    // The host-bypass flag, a little-endian int32.
    std::uint8_t flag[4] = {static_cast<std::uint8_t>(hostBypass_ ? 1 : 0), 0, 0, 0};
    written = 0;
    if (state->write(flag, 4, &written) != kResultOk || written != 4) return kResultFalse;
    const double zoom = EditorZoom();
    if (zoom == 1.0) return kResultOk;
    std::uint8_t trailer[kZoomTrailerSize];
    PutZoomTrailer(zoom, trailer);
    written = 0;
    if (state->write(trailer, kZoomTrailerSize, &written) != kResultOk || written != kZoomTrailerSize) {
      return kResultFalse;
    }
    return kResultOk;
  });
}

// Any thread, under the plug-in's mutex.
tresult PLUGIN_API IEffectVST3::setState(IBStream* state) {
  return HostCallWithOut(state, [&]() -> tresult {
    PlugLock lock(Mutex());
    // The current values give the chunk its full size; bytes the stream does
    // not deliver keep the current values.
    StateChunk chunk;
    if (!SerializeParams(chunk)) return kResultFalse;
    const int32 size = chunk.Size();
    if (size <= 0) return kResultFalse;
    StateChunk current = chunk;
    const int32 got = ReadFully(state, chunk.Data(), size);
    // A value cut short by the stream is not half-stored: it keeps its current bytes.
    const int32 whole = got - got % 8;
    std::memcpy(chunk.Data() + whole, current.Data() + whole, static_cast<std::size_t>(size - whole));
    UnserializeParams(chunk, 0);

    std::uint8_t flag[4] = {0, 0, 0, 0};
    if (ReadFully(state, flag, 4) != 4) return kResultFalse;
    const std::uint32_t value = static_cast<std::uint32_t>(flag[0]) | (static_cast<std::uint32_t>(flag[1]) << 8) |
                                (static_cast<std::uint32_t>(flag[2]) << 16) |
                                (static_cast<std::uint32_t>(flag[3]) << 24);
    hostBypass_ = value != 0;
    // States saved before the trailer existed end here and load at zoom 1;
    // a trailer cut short, of another kind or out of range counts as none.
    std::uint8_t trailer[kZoomTrailerSize] = {};
    SetEditorZoom(ZoomFromTrailer(trailer, ReadFully(state, trailer, kZoomTrailerSize)));
    RedrawParamControls();
    return kResultOk;
  });
}
