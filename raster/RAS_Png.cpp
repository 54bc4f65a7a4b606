#include "raster/RAS_Png.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "raster/RAS_Resources.h"

namespace {

struct MemoryReader {
  const unsigned char* bytes;
  std::size_t size;
  std::size_t position;
  std::size_t zerosPastEnd;
};

// Zeros a read may return past the end of the data before it counts as an
// error: a corrupt chunk length (up to 2^31) would otherwise make libpng skip
// that many zero bytes, which takes about a second.
constexpr std::size_t kMaxZerosPastEnd = std::size_t{1} << 20;

// Every request is zero-filled first, so reading past the end yields zeros
// (which libpng then rejects as a bad chunk) instead of an error here.
void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  std::memset(out, 0, count);
  const std::size_t left = reader->size - reader->position;
  const std::size_t n = std::min(count, left);
  if (n > 0) std::memcpy(out, reader->bytes + reader->position, n);
  reader->position += n;
  reader->zerosPastEnd += count - n;
  if (reader->zerosPastEnd > kMaxZerosPastEnd) png_error(png, "read far past the end of the data");
}

// Everything that must survive libpng's long jump lives on the heap, outside
// the frame that calls setjmp, so its values are well defined after the jump.
struct DecodeState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  MemoryReader reader{};
  std::unique_ptr<RAS_MemBitmap> bitmap;
  std::vector<png_bytep> rows;

  ~DecodeState() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// Returns false when libpng reported an error (it long-jumps back here).
bool RunDecode(DecodeState& s) {
  if (setjmp(png_jmpbuf(s.png))) return false;

  png_set_read_fn(s.png, &s.reader, ReadFromMemory);
  png_read_info(s.png, s.info);

  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colourType = 0, interlace = 0, compression = 0, filter = 0;
  png_get_IHDR(s.png, s.info, &width, &height, &bitDepth, &colourType, &interlace, &compression, &filter);

  bool hasAlpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0;
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(s.png);
  if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(s.png);
  if (png_get_valid(s.png, s.info, PNG_INFO_tRNS)) {
    png_set_tRNS_to_alpha(s.png);
    hasAlpha = true;
  }
  if (bitDepth == 16) png_set_strip_16(s.png);
  if (bitDepth < 8) png_set_packing(s.png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(s.png);
  if (hasAlpha) {
    png_set_swap_alpha(s.png);  // alpha first
  } else {
    png_set_filler(s.png, 255, PNG_FILLER_BEFORE);
  }
  // Each pixel now arrives as alpha, red, green, blue.

  // The user limits make png_read_info refuse larger images; the check here
  // keeps the int conversion below safe whatever the library settings.
  if (width == 0 || height == 0 || width > kRasMaxPngDimension || height > kRasMaxPngDimension) return false;
  const int w = static_cast<int>(width), h = static_cast<int>(height);
  s.bitmap = std::make_unique<RAS_MemBitmap>();
  s.bitmap->resize(w, h);
  if (s.bitmap->getWidth() != w || s.bitmap->getHeight() != h) return false;

  auto* bits = reinterpret_cast<png_bytep>(s.bitmap->getBits());
  const std::size_t stride = static_cast<std::size_t>(s.bitmap->getRowSpan()) * 4;
  s.rows.resize(height);
  for (std::size_t i = 0; i < height; ++i) s.rows[i] = bits + i * stride;
  png_read_image(s.png, s.rows.data());
  return true;
}

}  // namespace

std::unique_ptr<RAS_MemBitmap> DecodePngFromMemory(const void* bytes, std::size_t size) {
  static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (!bytes || size <= 7) return nullptr;
  if (std::memcmp(bytes, kSignature, 8) != 0) return nullptr;

  auto state = std::make_unique<DecodeState>();
  state->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!state->png) return nullptr;
  state->info = png_create_info_struct(state->png);
  if (!state->info) return nullptr;
  state->reader = MemoryReader{static_cast<const unsigned char*>(bytes), size, 0, 0};
  // Refuse oversized images while reading the header, before allocating.
  png_set_user_limits(state->png, kRasMaxPngDimension, kRasMaxPngDimension);
#ifdef MIREL_FUZZING
  // Fuzz builds only: mutated chunks keep their old CRCs; checking them would
  // stop every mutation at the first chunk.
  png_set_crc_action(state->png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif

  if (!RunDecode(*state)) return nullptr;  // the state frees everything
  std::unique_ptr<RAS_MemBitmap> bitmap = std::move(state->bitmap);
  state.reset();  // destroys the libpng structures

  // Reorder every pixel in place from alpha, red, green, blue to the raster
  // library's blue, green, red, alpha: a byte reversal.
  auto* p = reinterpret_cast<unsigned char*>(bitmap->getBits());
  const std::size_t stride = static_cast<std::size_t>(bitmap->getRowSpan()) * 4;
  for (int y = 0; y < bitmap->getHeight(); ++y) {
    unsigned char* px = p + static_cast<std::size_t>(y) * stride;
    for (int x = 0; x < bitmap->getWidth(); ++x, px += 4) {
      std::swap(px[0], px[3]);
      std::swap(px[1], px[2]);
    }
  }
  return bitmap;
}

namespace {

// True when name's extension is "png" in any case.
bool NamesPng(const char* name) {
  if (!name) return false;
  const char* dot = std::strrchr(name, '.');
  if (!dot) return false;
  const char* ext = dot + 1;
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::strlen(ext) == 3 && lower(ext[0]) == 'p' && lower(ext[1]) == 'n' && lower(ext[2]) == 'g';
}

std::uint32_t BigEndian(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

}  // namespace

bool PngSizeFromMemory(const void* bytes, std::size_t size, int& width, int& height) {
  static constexpr unsigned char kHead[16] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A,
                                              0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  const auto* p = static_cast<const unsigned char*>(bytes);
  if (!p || size < 24 || std::memcmp(p, kHead, sizeof kHead) != 0) return false;
  const std::uint32_t w = BigEndian(p + 16);
  const std::uint32_t h = BigEndian(p + 20);
  if (w < 1 || h < 1 || w > kRasMaxPngDimension || h > kRasMaxPngDimension) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

bool PngSizeFromResource(int id, const char* name, int& width, int& height) {
  if (!NamesPng(name)) return false;
  const auto bytes = RAS_FindPngResource(id);
  return PngSizeFromMemory(bytes.data(), bytes.size(), width, height);
}

std::unique_ptr<RAS_MemBitmap> LoadBitmapFromResource(int id, const char* name) {
  if (!NamesPng(name)) return nullptr;

  const auto bytes = RAS_FindPngResource(id);
  if (bytes.size() < 8) return nullptr;
  return DecodePngFromMemory(bytes.data(), bytes.size());
}
