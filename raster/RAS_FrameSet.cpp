#include "raster/RAS_FrameSet.h"

#include <cstring>

#include "raster/RAS_Png.h"

namespace {

constexpr unsigned char kMagic[4] = {'F', 'R', 'S', '1'};
constexpr std::size_t kHeaderWords = 6;  // magic, width, height, frames, base offset, base size
constexpr std::size_t kEntryWords = 4;   // x, y, offset, size

std::uint32_t Word(std::span<const unsigned char> bytes, std::size_t index) {
  const unsigned char* p = bytes.data() + index * 4;
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The bytes [offset, offset + size) when they lie inside bytes; empty otherwise.
bool Slice(std::span<const unsigned char> bytes, std::uint32_t offset, std::uint32_t size,
           std::span<const unsigned char>& out) {
  if (offset > bytes.size() || size > bytes.size() - offset) return false;
  out = bytes.subspan(offset, size);
  return true;
}

}  // namespace

std::unique_ptr<RAS_FrameSet> RAS_FrameSet::Open(std::span<const unsigned char> bytes) {
  if (bytes.size() < kHeaderWords * 4 || std::memcmp(bytes.data(), kMagic, 4) != 0) return nullptr;
  const std::uint32_t w = Word(bytes, 1);
  const std::uint32_t h = Word(bytes, 2);
  const std::uint32_t n = Word(bytes, 3);
  if (w < 1 || h < 1 || n < 1 || w > kRasMaxPngDimension || h > kRasMaxPngDimension ||
      n > kRasMaxPngDimension)
    return nullptr;
  if ((bytes.size() / 4 - kHeaderWords) / kEntryWords < n) return nullptr;
  std::unique_ptr<RAS_FrameSet> set(
      new RAS_FrameSet(static_cast<int>(n), static_cast<int>(w), static_cast<int>(h), Word(bytes, 5) != 0));
  if (set->hasBase_ && !Slice(bytes, Word(bytes, 4), Word(bytes, 5), set->base_)) return nullptr;
  set->entries_.resize(n);
  for (std::uint32_t k = 0; k < n; ++k) {
    const std::size_t at = kHeaderWords + k * kEntryWords;
    Entry& e = set->entries_[k];
    const std::uint32_t x = Word(bytes, at);
    const std::uint32_t y = Word(bytes, at + 1);
    if (x >= w || y >= h) return nullptr;
    e.x = static_cast<int>(x);
    e.y = static_cast<int>(y);
    if (!Slice(bytes, Word(bytes, at + 2), Word(bytes, at + 3), e.png)) return nullptr;
    // A frame that is the base alone needs a base.
    if (e.png.empty() && !set->hasBase_) return nullptr;
  }
  return set;
}

std::unique_ptr<RAS_MemBitmap> RAS_FrameSet::DecodeBase() const {
  if (!hasBase_) return nullptr;
  auto base = DecodePngFromMemory(base_.data(), base_.size());
  if (!base || base->getWidth() != frameW_ || base->getHeight() != frameH_) return nullptr;
  return base;
}

std::unique_ptr<RAS_MemBitmap> RAS_FrameSet::DecodeFrame(int k, RAS_IBitmap* base) const {
  if (k < 0 || k >= frames_ || static_cast<std::size_t>(k) >= entries_.size()) return nullptr;
  const Entry& e = entries_[static_cast<std::size_t>(k)];
  if (hasBase_) {
    if (!base || base->getWidth() != frameW_ || base->getHeight() != frameH_ ||
        !base->getBits())
      return nullptr;
  }
  std::unique_ptr<RAS_MemBitmap> patch;
  if (!e.png.empty()) {
    patch = DecodePngFromMemory(e.png.data(), e.png.size());
    if (!patch || patch->getWidth() > frameW_ - e.x || patch->getHeight() > frameH_ - e.y) return nullptr;
    // Without a base the frame is this picture alone.
    if (!hasBase_) {
      if (patch->getWidth() != frameW_ || patch->getHeight() != frameH_) return nullptr;
      return patch;
    }
  }
  auto frame = std::make_unique<RAS_MemBitmap>(frameW_, frameH_);
  std::uint32_t* out = frame->getBits();
  if (!out) return nullptr;
  const std::uint32_t* in = base->getBits();
  const std::size_t rowBytes = static_cast<std::size_t>(frameW_) * 4;
  for (int y = 0; y < frameH_; ++y) {
    std::memcpy(out + static_cast<std::ptrdiff_t>(y) * frame->getRowSpan(),
                in + static_cast<std::ptrdiff_t>(y) * base->getRowSpan(), rowBytes);
  }
  if (patch) {
    const std::uint32_t* p = patch->getBits();
    const std::size_t patchBytes = static_cast<std::size_t>(patch->getWidth()) * 4;
    for (int y = 0; y < patch->getHeight(); ++y) {
      std::memcpy(out + static_cast<std::ptrdiff_t>(e.y + y) * frame->getRowSpan() + e.x,
                  p + static_cast<std::ptrdiff_t>(y) * patch->getRowSpan(), patchBytes);
    }
  }
  return frame;
}
