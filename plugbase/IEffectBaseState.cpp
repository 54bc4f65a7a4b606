// The state a host stores for a plug-in, in this order (integers 32-bit
// little-endian, doubles little-endian IEEE-754, tags as their four letters):
//
//   values    every parameter's value, a double each (SerializeParams)
//   bypass    the host-bypass flag, an integer 0 or 1
//   zoom      only once the editor's zoom is not 1: the tag "zoom" and the
//             zoom as a double, 12 bytes
//   sections  only when a field added since has something to keep: one
//             StateSections block (tag "sect", version, byte count, tagged
//             sections; see StateSections.h)
//
// Every release reads what every other one wrote:
// - 4.1.0 reads the values and the bypass word and ignores what follows. An
//   instance never resized, with no later field to keep, still writes just
//   those bytes, and a state of 4.1.0 is written back byte for byte.
// - The release that brought the zoom reads the 12 bytes after the bypass
//   word as the zoom trailer and anything else there (a section block too)
//   as no trailer, zoom 1. The zoom therefore keeps its trailer form, before
//   the block, and a state of that release is written back byte for byte;
//   fields added since go into sections only, where it cannot see them.
// - This and later releases skip sections they do not know.
//
// A state is the whole state: a field it does not carry takes its default.
// A zoom trailer cut short, of a zoom out of range or NaN counts as none
// (zoom 1), and nothing after a cut one is read; a damaged section block
// counts as none. The values and the bypass word already read stay.

#include <algorithm>
#include <cstring>

#include "plugbase/IEffectBase.h"

namespace {

constexpr std::uint32_t kZoomTag = FourCC("zoom");
constexpr int kZoomTrailerSize = 4 + 8;
constexpr int kBypassSize = 4;

}  // namespace

bool IEffectBase::SerializeState(StateChunk& chunk) {
  PlugLock lock(mutex_);
  if (!SerializeParams(chunk)) return false;
  if (chunk.AppendInt32(hostBypass_ ? 1 : 0) < 0) return false;
  const double zoom = EditorZoom();
  if (zoom != 1.0 && (chunk.AppendTag(kZoomTag) < 0 || chunk.AppendDouble(zoom) < 0)) return false;
  StateSections sections;
  WriteStateSections(sections);
  return sections.AppendTo(chunk);
}

int IEffectBase::MaxStateSize() {
  StateChunk values;
  if (!SerializeParams(values) || values.Size() <= 0) return 0;
  return values.Size() + kBypassSize + kZoomTrailerSize + StateSections::kHeaderSize + StateSections::kMaxBytes;
}

int IEffectBase::MinStateSize() {
  StateChunk values;
  if (!SerializeParams(values) || values.Size() <= 0) return 0;
  return values.Size() + kBypassSize;
}

bool IEffectBase::UnserializeState(const StateChunk& chunk) {
  PlugLock lock(mutex_);
  // The current values give the values their full size; a value the bytes
  // end inside is not half-stored: it keeps its current bytes.
  StateChunk values;
  if (!SerializeParams(values)) return false;
  const int size = values.Size();
  if (size <= 0) return false;
  const int got = std::min(chunk.Size(), size);
  const int whole = got - got % 8;
  if (whole > 0) std::memcpy(values.Data(), chunk.Data(), static_cast<std::size_t>(whole));
  UnserializeParams(values, 0);

  std::int32_t bypass = 0;
  int pos = chunk.ReadInt32(size, bypass);
  if (pos < 0) return false;
  hostBypass_ = bypass != 0;

  double zoom = 1.0;
  std::uint32_t tag = 0;
  if (chunk.ReadTag(pos, tag) >= 0 && tag == kZoomTag) {
    double trailerZoom = 0.0;
    pos = chunk.ReadDouble(pos + 4, trailerZoom);
    if (pos >= 0 && EditorZoomInRange(trailerZoom)) zoom = trailerZoom;  // NaN is out of range too
  }
  SetEditorZoom(zoom);
  StateSections sections;
  if (pos >= 0) sections.Read(chunk, pos);
  ReadStateSections(sections);
  RedrawParamControls();
  return true;
}
