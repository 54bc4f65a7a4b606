#pragma once

// The tagged sections a stored state carries after its fixed fields, behind
// a version word, so that a later version can add a field and an earlier
// one skips what it does not know. Host-independent: an adapter for any
// plug-in interface stores the bytes as they are.
//
// Block layout (integers 32-bit little-endian, tags as their four letters):
//
//   "sect"   block tag
//   version  the block's version: 1 and up; each version that adds a
//            section counts up, and a reader takes every version from 1 on
//   bytes    the byte count of the sections that follow (at most kMaxBytes)
//   then, back to back until those bytes are used up:
//     tag    the section's four-character code
//     size   its payload's byte count
//     payload
//
// A block is taken whole or not at all: a version below 1, a byte count past
// the end of the bytes or above kMaxBytes, or a section running past the
// block's end makes the whole block count as none. Unknown sections are
// skipped; bytes after the block are left to whatever comes next.

#include <cstdint>
#include <vector>

#include "plugbase/FourCC.h"
#include "plugbase/StateChunk.h"

class StateSections {
 public:
  static constexpr std::uint32_t kBlockTag = FourCC("sect");
  // The version this build writes.
  static constexpr std::int32_t kVersion = 1;
  // The most section bytes a block may hold.
  static constexpr int kMaxBytes = 1 << 16;
  // Block tag, version and byte count.
  static constexpr int kHeaderSize = 12;

  // Adds (or replaces) the section tag with payload.
  void Set(std::uint32_t tag, StateChunk payload);
  // The payload of section tag; null when the block has none.
  const StateChunk* Find(std::uint32_t tag) const;
  bool Empty() const { return sections_.empty(); }
  // The version of the block read (kVersion for one being written).
  std::int32_t Version() const { return version_; }

  // Appends the block, sections in the order set; nothing when there are
  // none. False when the buffer could not grow or the block would be larger
  // than kMaxBytes.
  bool AppendTo(StateChunk& out) const;
  // Replaces the sections with the block at pos. Returns the offset after
  // the block; -1 with no sections when there is no whole block there.
  int Read(const StateChunk& in, int pos);

 private:
  struct Section {
    std::uint32_t tag = 0;
    StateChunk payload;
  };
  std::vector<Section> sections_;
  std::int32_t version_ = kVersion;
};
