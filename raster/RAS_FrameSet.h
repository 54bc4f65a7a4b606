#pragma once
// Frame sets: an image's frames stored one by one, so that one frame can be
// decoded without the others. A set holds an optional base picture that every
// frame shares and, per frame, the rectangle in which that frame differs from
// the base, each a PNG of its own. Frame k is the base with its rectangle
// copied on (without a base, the rectangle is the whole frame). The artwork
// generator writes them (resources/artwork/generate.py).
//
// Layout: little-endian 32-bit words, then the PNGs, offsets counted from the
// first byte:
//   "FRS1"  frame width  frame height  frame count N
//   base offset  base size                (0 0: no base)
//   N records: x  y  offset  size         (size 0: the frame is the base)

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "raster/RAS_Bitmap.h"

class RAS_FrameSet {
 public:
  // Reads the index of a set held in memory; the bytes are not copied and
  // must outlive the set (a module's resource does). Null when the bytes are
  // no frame set, its sizes are out of range or an entry points outside them.
  static std::unique_ptr<RAS_FrameSet> Open(std::span<const unsigned char> bytes);

  virtual ~RAS_FrameSet() = default;
  RAS_FrameSet(const RAS_FrameSet&) = delete;
  RAS_FrameSet& operator=(const RAS_FrameSet&) = delete;

  int Frames() const { return frames_; }
  int FrameWidth() const { return frameW_; }
  int FrameHeight() const { return frameH_; }
  bool HasBase() const { return hasBase_; }
  // The base picture (frame-sized); null without one or when it fails.
  virtual std::unique_ptr<RAS_MemBitmap> DecodeBase() const;
  // Frame k (0-based), frame-sized: base (needed when HasBase()) with the
  // frame's rectangle on it. Null when k is out of range, base is missing or
  // of another size, or the frame's PNG fails or does not fit the frame.
  virtual std::unique_ptr<RAS_MemBitmap> DecodeFrame(int k, RAS_IBitmap* base) const;

 protected:
  RAS_FrameSet(int frames, int frameW, int frameH, bool hasBase)
      : frames_(frames), frameW_(frameW), frameH_(frameH), hasBase_(hasBase) {}

 private:
  struct Entry {
    int x = 0;
    int y = 0;
    std::span<const unsigned char> png;
  };
  int frames_;
  int frameW_;
  int frameH_;
  bool hasBase_;
  std::span<const unsigned char> base_;
  std::vector<Entry> entries_;
};
