// PNG decoding: every colour type the editor's images may use, written here
// with libpng; refusal of short, foreign, oversized, truncated and corrupt
// data; lookup of the module's images by id and name.

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <random>

#include "tests/raster/RasterTestUtil.h"
#include "raster/RAS_Png.h"
#include "raster/RAS_Resources.h"

using namespace rastertest;

namespace {

std::unique_ptr<RAS_MemBitmap> Decode(const std::vector<std::uint8_t>& bytes) {
  return DecodePngFromMemory(bytes.data(), bytes.size());
}

void ExpectPixel(RAS_IBitmap& b, int x, int y, int blue, int green, int red, int alpha) {
  const Bgra p = Unpack(Pixel(b, x, y));
  EXPECT_EQ(p.b, blue) << "at " << x << "," << y;
  EXPECT_EQ(p.g, green) << "at " << x << "," << y;
  EXPECT_EQ(p.r, red) << "at " << x << "," << y;
  EXPECT_EQ(p.a, alpha) << "at " << x << "," << y;
}

// An RGB image whose pixel (x, y) is (10 x, 20 y, x + y).
PngImage RgbRamp(int width, int height, bool interlaced) {
  PngImage image{width, height, PNG_COLOR_TYPE_RGB, 8, interlaced, {}, {}, {}};
  for (int y = 0; y < height; ++y) {
    auto& row = image.rows.emplace_back();
    for (int x = 0; x < width; ++x) {
      row.push_back(static_cast<std::uint8_t>(10 * x));
      row.push_back(static_cast<std::uint8_t>(20 * y));
      row.push_back(static_cast<std::uint8_t>(x + y));
    }
  }
  return image;
}

void ExpectRamp(RAS_IBitmap& b, int width, int height) {
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) ExpectPixel(b, x, y, x + y, 20 * y, 10 * x, 255);
}

// A valid PNG header (signature and IHDR with its CRC) of any size.
std::vector<std::uint8_t> HeaderOnly(std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (std::uint32_t v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
  }
  out.insert(out.end(), {8, 6, 0, 0, 0});
  const auto crc = static_cast<std::uint32_t>(crc32(0, out.data() + 12, 17));
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(crc >> shift));
  return out;
}

}  // namespace

TEST(PngDecode, RgbGetsTheLibrarysByteOrder) {
  auto rgb = Decode(EncodePng(RgbRamp(5, 3, false)));
  ASSERT_NE(rgb, nullptr);
  EXPECT_EQ(rgb->getWidth(), 5);
  EXPECT_EQ(rgb->getHeight(), 3);
  EXPECT_EQ(rgb->getRowSpan(), 8);  // rows of 4-pixel multiples: the decode honours the span
  ExpectRamp(*rgb, 5, 3);
}

TEST(PngDecode, InterlacedImageDecodesLikeTheProgressiveOne) {
  auto b = Decode(EncodePng(RgbRamp(11, 9, true)));
  ASSERT_NE(b, nullptr);
  ExpectRamp(*b, 11, 9);
}

// The other colour types and depths: chosen pixels as blue, green, red, alpha.
TEST(PngDecode, EachColourTypeAndDepthGivesItsPixels) {
  struct Px {
    int x, y, b, g, r, a;
  };
  const struct {
    const char* why;
    PngImage image;
    std::vector<Px> pixels;
  } cases[] = {
      {"RGBA in the library's byte order, not premultiplied",
       {2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, {{10, 20, 30, 40, 250, 251, 252, 0}}, {}, {}},
       {{0, 0, 30, 20, 10, 40}, {1, 0, 252, 251, 250, 0}}},
      {"palette: the transparent entry, and opaque beyond the tRNS entries",
       {3, 1, PNG_COLOR_TYPE_PALETTE, 8, false, {{0, 1, 2}}, {255, 0, 0, 0, 255, 0, 1, 2, 3}, {255, 0}},
       {{0, 0, 0, 0, 255, 255}, {1, 0, 0, 255, 0, 0}, {2, 0, 3, 2, 1, 255}}},
      {"2-bit palette: packed indices are unpacked",
       {4, 1, PNG_COLOR_TYPE_PALETTE, 2, false, {{0x1B}}, {0, 0, 0, 10, 10, 10, 20, 20, 20, 30, 30, 30}, {}},
       {{0, 0, 0, 0, 0, 255}, {1, 0, 10, 10, 10, 255}, {2, 0, 20, 20, 20, 255}, {3, 0, 30, 30, 30, 255}}},
      {"16-bit grey keeps the high byte, copied into red, green and blue",
       {2, 1, PNG_COLOR_TYPE_GRAY, 16, false, {{0x80, 0x40, 0xFF, 0xFF}}, {}, {}},
       {{0, 0, 0x80, 0x80, 0x80, 255}, {1, 0, 255, 255, 255, 255}}},
      {"1-bit grey expands 1 to 255", {3, 1, PNG_COLOR_TYPE_GRAY, 1, false, {{0xA0}}, {}, {}},
       {{0, 0, 255, 255, 255, 255}, {1, 0, 0, 0, 0, 255}, {2, 0, 255, 255, 255, 255}}},
      {"grey with alpha", {1, 2, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {{100, 50}, {7, 255}}, {}, {}},
       {{0, 0, 100, 100, 100, 50}, {0, 1, 7, 7, 7, 255}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    auto b = Decode(EncodePng(c.image));
    ASSERT_NE(b, nullptr);
    for (const Px& p : c.pixels) ExpectPixel(*b, p.x, p.y, p.b, p.g, p.r, p.a);
  }
}

TEST(PngDecode, ShortOrForeignDataIsRefused) {
  const auto good = EncodePng(RgbRamp(2, 2, false));
  EXPECT_EQ(DecodePngFromMemory(good.data(), 7), nullptr);
  EXPECT_EQ(DecodePngFromMemory(nullptr, 100), nullptr);
  auto wrong = good;
  wrong[1] = 'p';
  EXPECT_EQ(Decode(wrong), nullptr);
  const std::vector<std::uint8_t> signatureOnly(good.begin(), good.begin() + 8);
  EXPECT_EQ(Decode(signatureOnly), nullptr);
}

TEST(PngDecode, OversizedDimensionsAreRefusedBeforeAllocating) {
  // Header-only images: the size check must come before any pixel memory.
  EXPECT_EQ(Decode(HeaderOnly(16385, 1)), nullptr);
  EXPECT_EQ(Decode(HeaderOnly(1, 16385)), nullptr);
  EXPECT_EQ(Decode(HeaderOnly(0x7fffffffu, 0x7fffffffu)), nullptr);
  EXPECT_EQ(Decode(HeaderOnly(0, 1)), nullptr);
  // The largest allowed width still decodes.
  PngImage wide{kRasMaxPngDimension, 1, PNG_COLOR_TYPE_GRAY, 8, false, {std::vector<std::uint8_t>(16384, 9)}, {}, {}};
  auto b = Decode(EncodePng(wide));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->getWidth(), kRasMaxPngDimension);
  ExpectPixel(*b, 16383, 0, 9, 9, 9, 255);
}

TEST(PngDecode, TruncatedDataNeverCrashesAndFailsOnceImageDataIsCut) {
  const auto good = EncodePng(RgbRamp(13, 7, false));
  // The image data ends 12 bytes before the file (the IEND chunk follows it,
  // and the decoder stops reading after the last row).
  const std::size_t imageEnd = good.size() - 12;
  for (std::size_t n = 0; n <= good.size(); ++n) {
    auto b = DecodePngFromMemory(good.data(), n);
    if (n < imageEnd) {
      EXPECT_EQ(b, nullptr) << n << " bytes";
    } else {
      ASSERT_NE(b, nullptr) << n << " bytes";
      ExpectRamp(*b, 13, 7);
    }
  }
}

TEST(PngDecode, CorruptDataNeverCrashes) {
  const auto good = EncodePng(RgbRamp(9, 9, true));
  std::mt19937 rng(2024);  // fixed seed
  int decoded = 0;
  for (int i = 0; i < 3000; ++i) {
    auto bytes = good;
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < flips; ++k) {
      bytes[8 + rng() % (bytes.size() - 8)] = static_cast<std::uint8_t>(rng());
    }
    auto b = Decode(bytes);
    if (b) {
      ++decoded;
      EXPECT_GT(b->getWidth(), 0);
      EXPECT_LE(b->getWidth(), kRasMaxPngDimension);
    }
  }
  // Chunk CRCs catch almost every change; what decodes is still well formed.
  EXPECT_LT(decoded, 3000);
}

namespace {

// The Windows build carries these as resources of the test program
// (test_resources.rc); elsewhere they are registered here.
const unsigned char kSevenBytes[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A};
const unsigned char kForeign[] = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0, 0, 0};
#ifndef _WIN32
const RAS_ResourceEntry kTestEntries[] = {{900, kSevenBytes, sizeof(kSevenBytes)}, {901, kForeign, sizeof(kForeign)}};
const bool kTestRegistered = RAS_RegisterResources(kTestEntries, 2);
#endif

}  // namespace

// Every editor image loading by its id, as a strip of its frames, is checked
// against the layout table in tests/resources.
TEST(PngResources, NameExtensionDecidesBeforeTheLookup) {
  EXPECT_NE(LoadBitmapFromResource(105, "resources/img/BG.PNG"), nullptr);
  EXPECT_NE(LoadBitmapFromResource(105, "x.Png"), nullptr);
  EXPECT_EQ(LoadBitmapFromResource(105, "resources/img/BG.bmp"), nullptr);
  EXPECT_EQ(LoadBitmapFromResource(105, "resources/img/BG.png.txt"), nullptr);
  EXPECT_EQ(LoadBitmapFromResource(105, "png"), nullptr);
  EXPECT_EQ(LoadBitmapFromResource(105, "BG.pngx"), nullptr);
  EXPECT_EQ(LoadBitmapFromResource(105, nullptr), nullptr);
}

TEST(PngResources, MissingShortAndForeignResourcesGiveNothing) {
  EXPECT_EQ(LoadBitmapFromResource(999, "a.png"), nullptr);
  EXPECT_EQ(LoadBitmapFromResource(-1, "a.png"), nullptr);
  EXPECT_EQ(LoadBitmapFromResource(0x10069, "a.png"), nullptr);  // not 105 with high bits
  ASSERT_EQ(RAS_FindPngResource(900).size(), sizeof(kSevenBytes));
  EXPECT_EQ(LoadBitmapFromResource(900, "seven.png"), nullptr);
  ASSERT_EQ(RAS_FindPngResource(901).size(), sizeof(kForeign));
  EXPECT_EQ(LoadBitmapFromResource(901, "foreign.png"), nullptr);
}
