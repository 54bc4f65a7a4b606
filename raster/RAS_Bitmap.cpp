#include "raster/RAS_Bitmap.h"

#include <cstdlib>

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

RAS_MemBitmap::~RAS_MemBitmap() { Free(); }

void RAS_MemBitmap::Free() {
  std::free(raw_);
  raw_ = nullptr;
  allocated_ = 0;
}

std::uint32_t* RAS_MemBitmap::getBits() {
  if (!raw_) return nullptr;
  auto address = reinterpret_cast<std::uintptr_t>(raw_);
  address = (address + 63) & ~std::uintptr_t{63};
  return reinterpret_cast<std::uint32_t*>(address);
}

bool RAS_MemBitmap::resize(int width, int height) {
  if (width == width_ && height == height_) return false;
  width_ = width;
  height_ = height;

  // The row span is computed in 64 bits: a width near INT_MAX must not wrap.
  const std::int64_t rowSpan = (std::int64_t{width} + alignMask_) & ~std::int64_t{alignMask_};
  const std::int64_t needed = (width > 0 && height > 0) ? PixelBytes(rowSpan, height) : 0;

  if (needed > 0 && rowSpan <= 0x7fffffff) {
    const auto bytes = static_cast<std::size_t>(needed);
    if (!raw_) {
      raw_ = std::malloc(bytes + 63);
      allocated_ = raw_ ? bytes : 0;
    } else if (allocated_ < bytes) {
      // Grow by a quarter more than needed so that small growth steps reuse it.
      const std::size_t grown = (bytes / 4) * 5;
      void* larger = std::realloc(raw_, grown + 63);
      if (larger) {
        raw_ = larger;
        allocated_ = grown;
      } else {
        Free();
        raw_ = std::malloc(bytes + 63);
        allocated_ = raw_ ? bytes : 0;
      }
    }
  } else {
    // Zero, negative or unrepresentable sizes hold no pixels.
    Free();
  }
  if (!raw_) {
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
  memory_.reset();
  pixels_ = nullptr;
}

#endif

#ifndef _WIN32
void RAS_SysBitmap::FreeMemory::operator()(std::uint32_t* p) const { std::free(p); }
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
  memory_.reset(static_cast<std::uint32_t*>(std::calloc(static_cast<std::size_t>(bytes / 4), 4)));
  pixels_ = memory_.get();
#endif
  if (!pixels_) {
    width_ = 0;
    height_ = 0;
    rowSpan_ = 0;
    allocHeight_ = 0;
  }
  return true;
}
