#pragma once

// Memory for pixel buffers. A block of kRasLargePixelBlock bytes or more
// comes straight from the system, zeroed, and where the system offers huge
// pages (Linux) is asked to be backed by them: a fresh 1676 x 490 buffer is
// then first touched with a couple of page faults instead of some eight
// hundred, which is much of what the first paint of an editor at twice the
// size costs. Smaller blocks come from the heap.

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kRasLargePixelBlock = std::size_t{2} << 20;

class RAS_PixelBlock {
 public:
  RAS_PixelBlock() = default;
  RAS_PixelBlock(const RAS_PixelBlock&) = delete;
  RAS_PixelBlock& operator=(const RAS_PixelBlock&) = delete;
  RAS_PixelBlock(RAS_PixelBlock&& other) noexcept { Take(other); }
  RAS_PixelBlock& operator=(RAS_PixelBlock&& other) noexcept;
  ~RAS_PixelBlock() { Release(); }

  // Replaces the block with one of at least `bytes` (64-byte aligned; zeroed
  // when `zeroed`, and always when large). False, with no block, when the
  // system has no memory for it or bytes is 0.
  bool Allocate(std::size_t bytes, bool zeroed);
  void Release();

  std::uint32_t* Pixels() const { return pixels_; }
  std::size_t Size() const { return size_; }
  // True while the block came from the system rather than the heap.
  bool Mapped() const { return mapped_ != 0; }

 private:
  void Take(RAS_PixelBlock& other);

  void* base_ = nullptr;       // what to give back
  std::size_t mapped_ = 0;     // bytes mapped from the system; 0 for the heap
  std::size_t size_ = 0;       // usable bytes
  std::uint32_t* pixels_ = nullptr;
};
