#include "tests/raster/RasterTestUtil.h"

#include <png.h>

#include <cstdio>
#include <stdexcept>

namespace rastertest {

void Fill(RAS_IBitmap& b, std::uint32_t v) {
  for (int y = 0; y < b.getHeight(); ++y)
    for (int x = 0; x < b.getWidth(); ++x) SetPixel(b, x, y, v);
}

GuardedBitmap::GuardedBitmap(int width, int height, bool flipped)
    : width_(width), height_(height), flipped_(flipped),
      memory_(static_cast<std::size_t>(width + 2 * kGuard) * (height + 2 * kGuard), kGuardValue) {
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) SetPixel(*this, x, y, 0);
}

std::uint32_t* GuardedBitmap::getBits() { return memory_.data() + kGuard * getRowSpan() + kGuard; }

bool GuardedBitmap::GuardIntact() const {
  const int span = width_ + 2 * kGuard;
  for (int y = 0; y < height_ + 2 * kGuard; ++y) {
    for (int x = 0; x < span; ++x) {
      const bool inside = x >= kGuard && x < kGuard + width_ && y >= kGuard && y < kGuard + height_;
      if (!inside && memory_[static_cast<std::size_t>(y) * span + x] != kGuardValue) return false;
    }
  }
  return true;
}

namespace {
void AppendBytes(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void NoFlush(png_structp) {}
}  // namespace

std::vector<std::uint8_t> EncodePng(const PngImage& image) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("png encoding failed");
  }
  png_set_write_fn(png, &out, AppendBytes, NoFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height),
               image.bitDepth, image.colourType, image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (std::size_t i = 0; i + 2 < image.palette.size(); i += 3) {
    palette.push_back(png_color{image.palette[i], image.palette[i + 1], image.palette[i + 2]});
  }
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!image.paletteAlpha.empty()) {
    png_set_tRNS(png, info, image.paletteAlpha.data(), static_cast<int>(image.paletteAlpha.size()), nullptr);
  }
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  for (const auto& r : image.rows) rows.push_back(const_cast<png_bytep>(r.data()));
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

bool WritePng(const std::string& path, RAS_IBitmap& bitmap) {
  PngImage image;
  image.width = bitmap.getWidth();
  image.height = bitmap.getHeight();
  image.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
  for (int y = 0; y < image.height; ++y) {
    auto& row = image.rows.emplace_back();
    for (int x = 0; x < image.width; ++x) {
      const Bgra p = Unpack(Pixel(bitmap, x, y));
      row.insert(row.end(), {p.r, p.g, p.b, p.a});
    }
  }
  const std::vector<std::uint8_t> bytes = EncodePng(image);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace rastertest
