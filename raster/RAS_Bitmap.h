#pragma once
// 32-bit bitmaps of the raster library. A pixel is stored as the bytes blue,
// green, red, alpha; read as a little-endian 32-bit word it is
// alpha << 24 | red << 16 | green << 8 | blue. Colours are not premultiplied.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "raster/RAS_PixelMemory.h"

#ifdef _WIN32
struct HDC__;
struct HBITMAP__;
using RAS_DC = HDC__*;
#else
// No native drawing surface off Windows: bitmaps report a null context.
using RAS_DC = void*;
#endif

// A rectangle in pixels, right and bottom exclusive.
struct RAS_Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// Largest pixel buffer a bitmap accepts (bytes); bigger sizes fail like a
// failed allocation instead of overflowing the size arithmetic.
inline constexpr std::int64_t kRasMaxBitmapBytes = std::int64_t{1} << 31;

class RAS_IBitmap {
 public:
  virtual ~RAS_IBitmap() = default;
  // First pixel of row 0 (null when the bitmap holds no pixels).
  virtual std::uint32_t* getBits() = 0;
  virtual int getWidth() const = 0;
  virtual int getHeight() const = 0;
  // Pixels per row in memory (>= width).
  virtual int getRowSpan() const = 0;
  // True when rows are stored bottom-up.
  virtual bool isFlipped() const = 0;
  // Returns false when nothing changed (same size) or, for the system
  // bitmap, when the new size is empty.
  virtual bool resize(int width, int height) = 0;
  virtual RAS_DC getDC() const = 0;
};

// A bitmap in plain memory, rows aligned to a power-of-two number of pixels.
class RAS_MemBitmap final : public RAS_IBitmap {
 public:
  explicit RAS_MemBitmap(int width = 0, int height = 0, int rowAlignment = 4);
  RAS_MemBitmap(const RAS_MemBitmap&) = delete;
  RAS_MemBitmap& operator=(const RAS_MemBitmap&) = delete;
  ~RAS_MemBitmap() override;

  std::uint32_t* getBits() override;
  int getWidth() const override { return width_; }
  int getHeight() const override { return height_; }
  int getRowSpan() const override { return (width_ + alignMask_) & ~alignMask_; }
  bool isFlipped() const override { return false; }
  bool resize(int width, int height) override;
  RAS_DC getDC() const override { return nullptr; }

  // Bytes the pixel buffer can hold without growing (0 when none).
  std::size_t capacity() const { return block_.Size(); }

 private:
  void Free();

  RAS_PixelBlock block_;  // pixels start on a 64-byte boundary
  int width_ = 0;
  int height_ = 0;
  int alignMask_ = 3;
};

// A bitmap a platform drawing API can draw into: a top-down 32-bit DIB section
// selected into a memory DC on Windows; elsewhere a memory-backed stand-in with
// the same sizing and reuse rules and a null DC.
class RAS_SysBitmap final : public RAS_IBitmap {
 public:
  explicit RAS_SysBitmap(int width = 0, int height = 0);
  RAS_SysBitmap(const RAS_SysBitmap&) = delete;
  RAS_SysBitmap& operator=(const RAS_SysBitmap&) = delete;
  ~RAS_SysBitmap() override;

  std::uint32_t* getBits() override { return pixels_; }
  int getWidth() const override { return width_; }
  int getHeight() const override { return height_; }
  int getRowSpan() const override { return rowSpan_; }
  bool isFlipped() const override { return false; }
  bool resize(int width, int height) override;
  RAS_DC getDC() const override;

  // Rows the current pixel buffer holds (may exceed the height when reused).
  int allocatedHeight() const { return allocHeight_; }

 private:
  void FreeSection();

  int width_ = 0;
  int height_ = 0;
  std::uint32_t* pixels_ = nullptr;
  int rowSpan_ = 0;
  int allocHeight_ = 0;
#ifdef _WIN32
  HDC__* dc_ = nullptr;
  HBITMAP__* section_ = nullptr;
  void* previous_ = nullptr;  // the object the DC held before the section
#else
  // Zeroed when made: a large buffer comes as fresh zero pages, without a
  // pass that clears it.
  RAS_PixelBlock memory_;
#endif
};
