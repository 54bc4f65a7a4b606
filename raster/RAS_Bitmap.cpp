#include "raster/RAS_Bitmap.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Bytes of rowSpan x height pixels, or -1 when the size is out of range.
std::int64_t PixelBytes(std::int64_t rowSpan, std::int64_t height) {
  if (rowSpan <= 0 || height <= 0) return 0;
  if (rowSpan > kRasMaxBitmapBytes / 4 / height) return -1;
  return rowSpan * height * 4;
}

}  // namespace

// ---------------------------------------------------------------------------
// RAS_MemBitmap

RAS_MemBitmap::RAS_MemBitmap(int width, int height, int rowAlignment) {
  // The alignment is a power of two of at least 1 pixel.
  int align = 1;
  while (align < rowAlignment && align < (1 << 16)) align <<= 1;
  alignMask_ = align - 1;
  resize(width, height);
}

RAS_MemBitmap::~RAS_MemBitmap() = default;

void RAS_MemBitmap::Free() { block_.Release(); }

std::uint32_t* RAS_MemBitmap::getBits() { return block_.Pixels(); }

bool RAS_MemBitmap::resize(int width, int height) {
  if (width == width_ && height == height_) return false;
  width_ = width;
  height_ = height;

  // The row span is computed in 64 bits: a width near INT_MAX must not wrap.
  const std::int64_t rowSpan = (std::int64_t{width} + alignMask_) & ~std::int64_t{alignMask_};
  const std::int64_t needed = (width > 0 && height > 0) ? PixelBytes(rowSpan, height) : 0;

  if (needed > 0 && rowSpan <= 0x7fffffff) {
    const auto bytes = static_cast<std::size_t>(needed);
    if (!block_.Pixels()) {
      block_.Allocate(bytes, false);
    } else if (block_.Size() < bytes) {
      // Grow by a quarter more than needed so that small growth steps reuse
      // it; the pixels held so far are kept, as a reallocation keeps them.
      RAS_PixelBlock larger;
      if (larger.Allocate((bytes / 4) * 5, false) || larger.Allocate(bytes, false)) {
        std::memcpy(larger.Pixels(), block_.Pixels(), block_.Size());
      }
      block_ = std::move(larger);
    }
  } else {
    // Zero, negative or unrepresentable sizes hold no pixels.
    Free();
  }
  if (!block_.Pixels()) {
    width_ = 0;
    height_ = 0;
  }
  return true;
}

// ---------------------------------------------------------------------------
// RAS_SysBitmap

#ifdef _WIN32

RAS_SysBitmap::RAS_SysBitmap(int width, int height) {
  dc_ = CreateCompatibleDC(nullptr);  // compatible with the screen
  resize(width, height);
}

RAS_SysBitmap::~RAS_SysBitmap() {
  FreeSection();
  if (dc_) DeleteDC(dc_);
}

RAS_DC RAS_SysBitmap::getDC() const { return dc_; }

void RAS_SysBitmap::FreeSection() {
  if (section_) {
    SelectObject(dc_, previous_);
    DeleteObject(section_);
    section_ = nullptr;
    previous_ = nullptr;
  }
  pixels_ = nullptr;
}

#else

RAS_SysBitmap::RAS_SysBitmap(int width, int height) { resize(width, height); }

RAS_SysBitmap::~RAS_SysBitmap() = default;

RAS_DC RAS_SysBitmap::getDC() const { return nullptr; }

void RAS_SysBitmap::FreeSection() {
  memory_.Release();
  pixels_ = nullptr;
}

#endif


bool RAS_SysBitmap::resize(int width, int height) {
#ifdef _WIN32
  if (!dc_) {
    width_ = 0;
    height_ = 0;
    return false;
  }
#endif
  if (width == width_ && height == height_) return false;
  width_ = width;
  height_ = height;
  // Reuse the pixels when the new size fits. Only positive sizes qualify: a
  // negative size must never be reported as the size of a live buffer.
  if (width > 0 && height > 0 && rowSpan_ >= width && allocHeight_ >= height && pixels_) {
    return true;
  }

  FreeSection();
  const std::int64_t rowSpan = (std::int64_t{width} + 3) & ~std::int64_t{3};
  const std::int64_t bytes = (width > 0 && height > 0) ? PixelBytes(rowSpan, height) : 0;
  if (width < 1 || height < 1 || bytes <= 0 || rowSpan > 0x7fffffff) {
    // Nothing to hold (or too large to hold): an empty bitmap, never a
    // negative size.
    width_ = 0;
    height_ = 0;
    rowSpan_ = 0;
    allocHeight_ = 0;
    return false;
  }
  rowSpan_ = static_cast<int>(rowSpan);
  allocHeight_ = height;

#ifdef _WIN32
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = rowSpan_;
  info.bmiHeader.biHeight = -height;  // negative: rows top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  section_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (section_ && bits) {
    previous_ = SelectObject(dc_, section_);
    pixels_ = static_cast<std::uint32_t*>(bits);
  } else {
    if (section_) DeleteObject(section_);
    section_ = nullptr;
  }
#else
  memory_.Allocate(static_cast<std::size_t>(bytes), true);
  pixels_ = memory_.Pixels();
#endif
  if (!pixels_) {
    width_ = 0;
    height_ = 0;
    rowSpan_ = 0;
    allocHeight_ = 0;
  }
  return true;
}
