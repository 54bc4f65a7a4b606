// The plug-in's state for the host: the bytes the base writes and reads
// (their layout is in plugbase/IEffectBaseState.cpp), moved through the
// host's streams unchanged, so a state is the same bytes in either format.

#include <algorithm>
#include <cstdint>

#include "clap/IEffectClap.h"
#include "stream.h"

namespace {

// Reads up to size bytes, going on while a stream that delivers in pieces
// still makes progress. Returns the bytes read (0..size).
int ReadFully(const clap_istream_t* stream, std::uint8_t* dst, int size) {
  int total = 0;
  while (total < size) {
    const std::int64_t got = stream->read(stream, dst + total, static_cast<std::uint64_t>(size - total));
    if (got <= 0) break;  // the end (0) or an error (-1)
    total += static_cast<int>(std::min<std::int64_t>(got, size - total));
  }
  return total;
}

// Writes every byte, going on while a stream that takes them in pieces
// still makes progress.
bool WriteFully(const clap_ostream_t* stream, const std::uint8_t* src, int size) {
  int total = 0;
  while (total < size) {
    const std::int64_t put = stream->write(stream, src + total, static_cast<std::uint64_t>(size - total));
    if (put <= 0) return false;
    total += static_cast<int>(std::min<std::int64_t>(put, size - total));
  }
  return true;
}

}  // namespace

// Main thread, under the plug-in's mutex.
bool IEffectClap::SaveState(const clap_ostream_t* stream) {
  if (!OnMainThread()) return false;
  PlugLock lock(Mutex());
  StateChunk chunk;
  if (!SerializeState(chunk)) return false;
  return WriteFully(stream, chunk.Data(), chunk.Size());
}

// Main thread, under the plug-in's mutex. A stream too short to hold a state
// (empty, or cut before the host-bypass word) is refused before anything
// changes.
bool IEffectClap::LoadState(const clap_istream_t* stream) {
  if (!OnMainThread()) return false;
  PlugLock lock(Mutex());
  const int limit = MaxStateSize();
  if (limit <= 0) return false;
  StateChunk chunk;
  chunk.Resize(limit);
  chunk.Resize(ReadFully(stream, chunk.Data(), limit));
  if (chunk.Size() < MinStateSize()) return false;
  return UnserializeState(chunk);
}
