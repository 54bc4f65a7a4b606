#pragma once

// Stored-state bytes for the state tests: a chunk's bytes as a vector and
// back, and one run of bytes followed by another.

#include <cstdint>
#include <vector>

#include "plugbase/StateChunk.h"

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

inline Bytes BytesOf(const StateChunk& chunk) { return Bytes(chunk.Data(), chunk.Data() + chunk.Size()); }

inline StateChunk ChunkOf(const Bytes& bytes) {
  StateChunk chunk;
  chunk.AppendBytes(bytes.data(), static_cast<int>(bytes.size()));
  return chunk;
}

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace testsupport
