#pragma once
// Helpers for the raster tests: bitmaps with guard borders, PNG encoding.

#include <cstdint>
#include <string>
#include <vector>

#include "raster/RAS_Bitmap.h"

namespace rastertest {

struct Bgra {
  std::uint8_t b, g, r, a;
};

inline std::uint32_t Pack(Bgra p) {
  return std::uint32_t{p.a} << 24 | std::uint32_t{p.r} << 16 | std::uint32_t{p.g} << 8 | p.b;
}
inline Bgra Unpack(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 24)};
}

inline std::uint32_t Pixel(RAS_IBitmap& b, int x, int y) {
  const int row = b.isFlipped() ? b.getHeight() - 1 - y : y;
  return b.getBits()[static_cast<std::size_t>(row) * b.getRowSpan() + x];
}
inline void SetPixel(RAS_IBitmap& b, int x, int y, std::uint32_t v) {
  const int row = b.isFlipped() ? b.getHeight() - 1 - y : y;
  b.getBits()[static_cast<std::size_t>(row) * b.getRowSpan() + x] = v;
}
void Fill(RAS_IBitmap& b, std::uint32_t v);

// A bitmap of exactly width x height pixels inside a border of guard pixels,
// optionally stored bottom-up. Writes outside the bitmap land in the border,
// which GuardIntact() checks.
class GuardedBitmap final : public RAS_IBitmap {
 public:
  static constexpr int kGuard = 8;
  static constexpr std::uint32_t kGuardValue = 0xA5C3E1F0u;
  GuardedBitmap(int width, int height, bool flipped);
  std::uint32_t* getBits() override;
  int getWidth() const override { return width_; }
  int getHeight() const override { return height_; }
  int getRowSpan() const override { return width_ + 2 * kGuard; }
  bool isFlipped() const override { return flipped_; }
  bool resize(int, int) override { return false; }
  RAS_DC getDC() const override { return nullptr; }
  bool GuardIntact() const;

 private:
  int width_, height_;
  bool flipped_;
  std::vector<std::uint32_t> memory_;
};

// A PNG image description for the encoder: rows of samples as libpng expects
// them for the colour type and bit depth (packed for depths below 8,
// big-endian for 16).
struct PngImage {
  int width = 1;
  int height = 1;
  int colourType = 0;  // PNG_COLOR_TYPE_*
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<std::vector<std::uint8_t>> rows;
  std::vector<std::uint8_t> palette;  // r, g, b triples
  std::vector<std::uint8_t> paletteAlpha;
};
std::vector<std::uint8_t> EncodePng(const PngImage& image);

// Writes a bitmap as an RGBA PNG file. Returns false on failure.
bool WritePng(const std::string& path, RAS_IBitmap& bitmap);

}  // namespace rastertest
