// Bitmaps and the blit: sizing rules, every blend mode's arithmetic on chosen
// pixels (expected values written out from the formulas), and clipping.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "tests/raster/RasterTestUtil.h"
#include "raster/RAS_Blit.h"

using namespace rastertest;

namespace {

// One destination pixel and one source pixel, blended with mode and weight.
Bgra BlendOne(Bgra dst, Bgra src, float weight, int mode) {
  RAS_MemBitmap d(1, 1), s(1, 1);
  SetPixel(d, 0, 0, Pack(dst));
  SetPixel(s, 0, 0, Pack(src));
  RAS_Blit(&d, &s, 0, 0, nullptr, weight, mode);
  return Unpack(Pixel(d, 0, 0));
}

void ExpectBgra(Bgra got, int b, int g, int r, int a) {
  EXPECT_EQ(got.b, b);
  EXPECT_EQ(got.g, g);
  EXPECT_EQ(got.r, r);
  EXPECT_EQ(got.a, a);
}

int Clamp(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

const Bgra kDst{200, 100, 40, 180};
const Bgra kSrc{40, 150, 220, 128};

}  // namespace

TEST(MemBitmap, RowSpanAlignmentAndBitsBoundary) {
  RAS_MemBitmap b(5, 3);
  EXPECT_EQ(b.getWidth(), 5);
  EXPECT_EQ(b.getHeight(), 3);
  EXPECT_EQ(b.getRowSpan(), 8);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.getBits()) % 64, 0u);
  EXPECT_EQ(b.getDC(), nullptr);
  EXPECT_FALSE(b.isFlipped());
  RAS_MemBitmap one(5, 3, 1);
  EXPECT_EQ(one.getRowSpan(), 5);
}

TEST(MemBitmap, ResizeSameSizeKeepsPixelsGrowsByAQuarterAndReusesWhenShrinking) {
  RAS_MemBitmap b(10, 10);  // row span 12: 480 bytes
  EXPECT_EQ(b.capacity(), 12u * 10 * 4);
  SetPixel(b, 3, 4, 0x12345678u);
  std::uint32_t* bits = b.getBits();
  EXPECT_FALSE(b.resize(10, 10));
  EXPECT_EQ(b.getBits(), bits);
  EXPECT_EQ(Pixel(b, 3, 4), 0x12345678u);

  EXPECT_TRUE(b.resize(10, 11));  // needs 528 bytes: grows to 528 / 4 x 5
  EXPECT_EQ(b.capacity(), (528u / 4) * 5);
  EXPECT_TRUE(b.resize(10, 13));  // 624 <= 660: reused
  EXPECT_EQ(b.capacity(), 660u);
  EXPECT_TRUE(b.resize(3, 2));  // shrinking reuses
  EXPECT_EQ(b.capacity(), 660u);
  EXPECT_EQ(b.getWidth(), 3);

  EXPECT_TRUE(b.resize(0, 7));  // empty frees
  EXPECT_EQ(b.getWidth(), 0);
  EXPECT_EQ(b.getHeight(), 0);
  EXPECT_EQ(b.getBits(), nullptr);
  EXPECT_TRUE(b.resize(-4, 5));
  EXPECT_EQ(b.getWidth(), 0);
  EXPECT_EQ(b.getBits(), nullptr);
}

// Growing past the size at which pixels come straight from the system keeps
// what the bitmap held, like a reallocation; a large system bitmap comes
// zeroed and aligned, and all of it is writable.
TEST(MemBitmap, GrowingIntoALargeBlockKeepsThePixels) {
  RAS_MemBitmap b(64, 64);
  ASSERT_FALSE(b.capacity() >= kRasLargePixelBlock);
  SetPixel(b, 63, 63, 0x11223344u);
  SetPixel(b, 0, 0, 0x55667788u);
  ASSERT_TRUE(b.resize(64, 9000));  // 2.3 MB
  ASSERT_NE(b.getBits(), nullptr);
  EXPECT_GE(b.capacity(), std::size_t{64} * 9000 * 4);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.getBits()) % 64, 0u);
  EXPECT_EQ(Pixel(b, 63, 63), 0x11223344u);
  EXPECT_EQ(Pixel(b, 0, 0), 0x55667788u);
  SetPixel(b, 63, 8999, 0xffffffffu);
  ASSERT_TRUE(b.resize(64, 12000));  // a larger system block
  EXPECT_EQ(Pixel(b, 63, 8999), 0xffffffffu);
  EXPECT_EQ(Pixel(b, 63, 63), 0x11223344u);

  RAS_SysBitmap large(1676, 490);
  ASSERT_NE(large.getBits(), nullptr);
  std::uint32_t any = 0;
  for (int y = 0; y < 490; ++y) {
    for (int x = 0; x < 1676; ++x) any |= Pixel(large, x, y);
  }
  EXPECT_EQ(any, 0u);
  SetPixel(large, 1675, 489, 0xffffffffu);
}

TEST(PixelBlock, ZeroedWhenAskedMovedAndReleased) {
  for (std::size_t bytes : {std::size_t{100}, kRasLargePixelBlock, kRasLargePixelBlock + 4}) {
    RAS_PixelBlock block;
    ASSERT_TRUE(block.Allocate(bytes, true)) << bytes;
    EXPECT_EQ(block.Size(), bytes);
    const auto* p = reinterpret_cast<const unsigned char*>(block.Pixels());
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 64, 0u);
    std::size_t nonZero = 0;
    for (std::size_t i = 0; i < bytes; ++i) nonZero += p[i] != 0;
    EXPECT_EQ(nonZero, 0u) << bytes;
    block.Pixels()[bytes / 4 - 1] = 7;
    RAS_PixelBlock moved(std::move(block));
    EXPECT_EQ(block.Pixels(), nullptr);
    EXPECT_EQ(moved.Pixels()[bytes / 4 - 1], 7u);
    moved.Release();
    EXPECT_EQ(moved.Pixels(), nullptr);
    EXPECT_EQ(moved.Size(), 0u);
  }
  RAS_PixelBlock none;
  EXPECT_FALSE(none.Allocate(0, true));
  EXPECT_FALSE(none.Allocate(SIZE_MAX - 8, false));
  EXPECT_EQ(none.Pixels(), nullptr);
}

TEST(MemBitmap, UnrepresentableSizesFailWithoutOverflow) {
  RAS_MemBitmap b(4, 4);
  EXPECT_TRUE(b.resize(INT_MAX, INT_MAX));
  EXPECT_EQ(b.getWidth(), 0);
  EXPECT_EQ(b.getHeight(), 0);
  EXPECT_EQ(b.getBits(), nullptr);
  EXPECT_TRUE(b.resize(INT_MAX - 1, 1));  // row span would wrap in 32 bits
  EXPECT_EQ(b.getWidth(), 0);
  EXPECT_TRUE(b.resize(2, 2));
  EXPECT_EQ(b.getWidth(), 2);
}

TEST(SysBitmap, ReusesItsPixelsWhenTheNewSizeFits) {
  RAS_SysBitmap b(100, 50);
  ASSERT_NE(b.getBits(), nullptr);
  EXPECT_EQ(b.getRowSpan(), 100);
  EXPECT_EQ(b.allocatedHeight(), 50);
  std::uint32_t* bits = b.getBits();

  EXPECT_FALSE(b.resize(100, 50));
  EXPECT_TRUE(b.resize(61, 40));  // fits: same pixels, same row span
  EXPECT_EQ(b.getBits(), bits);
  EXPECT_EQ(b.getWidth(), 61);
  EXPECT_EQ(b.getHeight(), 40);
  EXPECT_EQ(b.getRowSpan(), 100);

  EXPECT_TRUE(b.resize(101, 10));  // wider: a new section, row span rounded to 4
  EXPECT_EQ(b.getRowSpan(), 104);
  EXPECT_EQ(b.allocatedHeight(), 10);
  ASSERT_NE(b.getBits(), nullptr);
  SetPixel(b, 100, 9, 0xffffffffu);  // last pixel is writable

  EXPECT_FALSE(b.resize(0, 10));  // empty: no pixels
  EXPECT_EQ(b.getBits(), nullptr);
  EXPECT_EQ(b.getWidth(), 0);
  // A negative size is never reported as the size of a live buffer.
  EXPECT_TRUE(b.resize(8, 8));
  EXPECT_FALSE(b.resize(-8, 8));
  EXPECT_EQ(b.getWidth(), 0);
  EXPECT_EQ(b.getHeight(), 0);
  EXPECT_EQ(b.getBits(), nullptr);
#ifdef _WIN32
  RAS_SysBitmap withDc(4, 4);
  EXPECT_NE(withDc.getDC(), nullptr);
#endif
}

// Each mode's arithmetic on one chosen pixel, the expected bytes written out
// from the formula the row names.
TEST(Blit, EveryModeGivesItsFormulaOnAChosenPixel) {
  const int half = 128;                   // the integer weight of 0.5
  const int f = 256 * (128 + 1) / 256;    // weight 1 with source alpha 128
  const int o = 64 * (128 + 1) / 256;     // weight 0.25 with source alpha 128
  const int g = (256 - f) << 8;
  const auto dodge = [](int d, int s, int w) {
    const int t = s * w / 256;
    return t < 255 ? Clamp((d << 8) / (256 - t)) : Clamp(d << 8);
  };
  const auto overlay = [](int d, int s, int w) {
    const int c = (256 - w) << 7;
    return Clamp((((32768 - s * w - c) * d / 256 + s * w + c) * d) >> 15);
  };
  const Bgra white{255, 255, 255, 255};
  struct Case {
    const char* why;
    Bgra dst, src;
    float weight;
    int mode;
    int b, g, r, a;
  };
  const Case cases[] = {
      {"copy at weight 1 is byte-exact, alpha too", kDst, kSrc, 1.0f, kRasBlitCopy, 40, 150, 220, 128},
      {"copy at 0.5: (dst >> 1) + (src >> 1)", kDst, kSrc, 0.5f, kRasBlitCopy, (200 >> 1) + (40 >> 1),
       (100 >> 1) + (150 >> 1), (40 >> 1) + (220 >> 1), (180 >> 1) + (128 >> 1)},
      {"copy at 0.25: w = 64, src + (dst - src) (256 - w) / 256", kDst, kSrc, 0.25f, kRasBlitCopy,
       40 + (200 - 40) * 192 / 256, 150 + (100 - 150) * 192 / 256, 220 + (40 - 220) * 192 / 256,
       128 + (180 - 128) * 192 / 256},
      {"w < 1 draws nothing", kDst, kSrc, 0.003f, kRasBlitCopy, 200, 100, 40, 180},
      {"just above 1 gives w = 256, a copy", kDst, kSrc, 1.002f, kRasBlitCopy, 40, 150, 220, 128},
      {"add: clamp(dst + src w / 256)", kDst, kSrc, 0.5f, kRasBlitAdd, Clamp(200 + 40 * half / 256),
       Clamp(100 + 150 * half / 256), Clamp(40 + 220 * half / 256), Clamp(180 + 128 * half / 256)},
      {"dodge at 1: clamp((dst << 8) / (256 - src)) while src < 255", kDst, Bgra{40, 150, 255, 10}, 1.0f,
       kRasBlitDodge, Clamp((200 << 8) / (256 - 40)), Clamp((100 << 8) / (256 - 150)), Clamp(40 << 8),
       Clamp((180 << 8) / (256 - 10))},
      {"multiply at 1: dst src / 256", kDst, kSrc, 1.0f, kRasBlitMultiply, 200 * 40 / 256, 100 * 150 / 256,
       40 * 220 / 256, 180 * 128 / 256},
      {"multiply at 0.5: dst (128 (src - 256) + 65536) >> 16", kDst, kSrc, 0.5f, kRasBlitMultiply,
       (200 * (128 * (40 - 256) + 65536)) >> 16, (100 * (128 * (150 - 256) + 65536)) >> 16,
       (40 * (128 * (220 - 256) + 65536)) >> 16, (180 * (128 * (128 - 256) + 65536)) >> 16},
      {"overlay at 1: c = 0", kDst, kSrc, 1.0f, kRasBlitOverlay, overlay(200, 40, 256), overlay(100, 150, 256),
       overlay(40, 220, 256), overlay(180, 128, 256)},
      {"overlay's neutral mid grey leaves the destination", kDst, Bgra{128, 128, 128, 128}, 1.0f, kRasBlitOverlay,
       200, 100, 40, 180},
      {"hsv adjust with a neutral source keeps the colour and takes the source alpha", Bgra{0, 0, 255, 200},
       Bgra{128, 128, 128, 77}, 1.0f, kRasBlitHsvAdjust, 0, 0, 255, 77},
      {"hsv adjust: blue 255 at 0.5 (w = 128) raises a dark grey's value by 128 x 127 / 128, still grey",
       Bgra{50, 50, 50, 255}, Bgra{255, 128, 128, 255}, 0.5f, kRasBlitHsvAdjust, 50 + 128 * 127 / 128,
       50 + 128 * 127 / 128, 50 + 128 * 127 / 128, 255},
      {"hsv adjust at 1: the raised value is clamped at 255", Bgra{50, 50, 50, 255}, Bgra{255, 128, 128, 255}, 1.0f,
       kRasBlitHsvAdjust, 255, 255, 255, 255},
      {"copy alpha 128 over opaque white: src + (255 - src) 127 / 256, alpha 255", white, kSrc, 1.0f,
       kRasBlitCopyAlpha, 40 + (255 - 40) * 127 / 256, 150 + (255 - 150) * 127 / 256,
       220 + (255 - 220) * 127 / 256, 255},
      {"copy alpha: an opaque source copies", kDst, Bgra{1, 2, 3, 255}, 1.0f, kRasBlitCopyAlpha, 1, 2, 3, 255},
      {"copy alpha: a transparent source is skipped", kDst, Bgra{1, 2, 3, 0}, 1.0f, kRasBlitCopyAlpha, 200, 100,
       40, 180},
      {"copy alpha at 0.5 with an opaque source: o = 128 x 256 / 256, half exactly", Bgra{255, 255, 255, 100},
       Bgra{0, 0, 0, 255}, 0.5f, kRasBlitCopyAlpha, 255 * 128 / 256, 255 * 128 / 256, 255 * 128 / 256, 100 + 128},
      {"copy alpha at 0.25: o = 64 (A + 1) / 256", kDst, kSrc, 0.25f, kRasBlitCopyAlpha,
       40 + (200 - 40) * (256 - o) / 256, 150 + (100 - 150) * (256 - o) / 256, 220 + (40 - 220) * (256 - o) / 256,
       std::min(255, o + 180)},
      {"add alpha: w = f", kDst, kSrc, 1.0f, kRasBlitAddAlpha, Clamp(200 + 40 * f / 256), Clamp(100 + 150 * f / 256),
       Clamp(40 + 220 * f / 256), Clamp(180 + 128 * f / 256)},
      {"add alpha at 0.5 with an opaque source adds exactly half (f = 128 x 256 / 256)", Bgra{10, 10, 10, 10},
       Bgra{100, 60, 20, 255}, 0.5f, kRasBlitAddAlpha, 10 + 100 * 128 / 256, 10 + 60 * 128 / 256,
       10 + 20 * 128 / 256, 10 + 255 * 128 / 256},
      {"dodge alpha: t = src f / 256", kDst, kSrc, 1.0f, kRasBlitDodgeAlpha, dodge(200, 40, f), dodge(100, 150, f),
       dodge(40, 220, f), dodge(180, 128, f)},
      {"multiply alpha: (src f + (256 - f) << 8) dst >> 16", kDst, kSrc, 1.0f, kRasBlitMultiplyAlpha,
       ((40 * f + g) * 200) >> 16, ((150 * f + g) * 100) >> 16, ((220 * f + g) * 40) >> 16,
       ((128 * f + g) * 180) >> 16},
      {"overlay alpha: c = (256 - f) << 7", kDst, kSrc, 1.0f, kRasBlitOverlayAlpha, overlay(200, 40, f),
       overlay(100, 150, f), overlay(40, 220, f), overlay(180, 128, f)},
      {"channel copy: alpha takes the source's green, whatever the weight", kDst, kSrc, 0.1f,
       kRasBlitChannelCopy(3, 1), 200, 100, 40, 150},
      {"channel copy: blue takes the source's red", kDst, kSrc, 1.0f, kRasBlitChannelCopy(0, 2), 220, 100, 40, 180},
      {"unknown mode 6 draws nothing", kDst, kSrc, 1.0f, 6, 200, 100, 40, 180},
      {"unknown alpha mode draws nothing", kDst, kSrc, 1.0f, 0x10077, 200, 100, 40, 180},
      {"a NaN weight draws nothing", kDst, kSrc, std::nanf(""), kRasBlitCopy, 200, 100, 40, 180},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    ExpectBgra(BlendOne(c.dst, c.src, c.weight, c.mode), c.b, c.g, c.r, c.a);
  }
  // Fully transparent source pixels are skipped in every alpha mode, and
  // weight 0 draws nothing in any mode.
  for (int op = 0; op <= 5; ++op) {
    ExpectBgra(BlendOne(kDst, Bgra{9, 9, 9, 0}, 1.0f, kRasBlitUseAlpha | op), 200, 100, 40, 180);
  }
  for (int mode : {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005, 0xF7}) {
    ExpectBgra(BlendOne(kDst, kSrc, 0.0f, mode), 200, 100, 40, 180);
  }
}

TEST(Blit, MissingOrEmptyBitmapsDrawNothing) {
  RAS_MemBitmap d(2, 2);
  RAS_Blit(&d, nullptr, 0, 0, nullptr, 1.0f, 0);
  RAS_Blit(nullptr, &d, 0, 0, nullptr, 1.0f, 0);
  RAS_MemBitmap empty;
  RAS_Blit(&d, &empty, 0, 0, nullptr, 1.0f, 0);
  RAS_Blit(&empty, &d, 0, 0, nullptr, 1.0f, 0);
}

namespace {

// Source pixel (x, y) holds a value naming its position.
std::uint32_t Tag(int x, int y) { return 0xff000000u | static_cast<std::uint32_t>(y + 1) << 8 | static_cast<std::uint32_t>(x + 1); }

void FillTags(RAS_IBitmap& b) {
  for (int y = 0; y < b.getHeight(); ++y)
    for (int x = 0; x < b.getWidth(); ++x) SetPixel(b, x, y, Tag(x, y));
}

// Independent model of the clipping: source pixel (sx, sy) of the (cut)
// source rectangle lands at (dx + sx - left, dy + sy - top) when that lies in
// the destination.
void ModelCopy(std::vector<std::uint32_t>& out, int dw, int dh, int sw, int sh, std::int64_t dx, std::int64_t dy,
               const RAS_Rect* r) {
  const std::int64_t left = r ? r->left : 0, top = r ? r->top : 0;
  const std::int64_t right = r ? r->right : sw, bottom = r ? r->bottom : sh;
  for (std::int64_t sy = std::max<std::int64_t>(top, 0); sy < std::min<std::int64_t>(bottom, sh); ++sy) {
    for (std::int64_t sx = std::max<std::int64_t>(left, 0); sx < std::min<std::int64_t>(right, sw); ++sx) {
      const std::int64_t x = dx + sx - left, y = dy + sy - top;
      if (x >= 0 && x < dw && y >= 0 && y < dh) {
        out[static_cast<std::size_t>(y * dw + x)] = Tag(static_cast<int>(sx), static_cast<int>(sy));
      }
    }
  }
}

std::vector<std::uint32_t> Contents(RAS_IBitmap& b) {
  std::vector<std::uint32_t> v;
  for (int y = 0; y < b.getHeight(); ++y)
    for (int x = 0; x < b.getWidth(); ++x) v.push_back(Pixel(b, x, y));
  return v;
}

}  // namespace

TEST(BlitClipping, EveryEdgeAndSourceRectangles) {
  struct Case {
    int dx, dy;
    bool hasRect;
    RAS_Rect rect;
  };
  const Case cases[] = {
      {8, 3, false, {}},          // right edge
      {3, 8, false, {}},          // bottom edge
      {-2, 3, false, {}},         // left edge
      {3, -2, false, {}},         // top edge
      {-2, -2, false, {}},        // left and top at once: the copy starts inside the source
      {9, 9, false, {}},          // one corner pixel
      {10, 0, false, {}},         // just outside: nothing
      {2, 2, true, {-3, -1, 2, 2}},  // source origin left of and above the source
      {1, 1, true, {2, 1, 99, 99}},  // rectangle beyond the source is cut
      {1, 1, true, {3, 3, 1, 1}},    // inverted: nothing
      {-1, -1, true, {1, 1, 3, 3}},
  };
  for (const Case& c : cases) {
    RAS_MemBitmap src(4, 4), dst(10, 10);
    FillTags(src);
    Fill(dst, 0);
    RAS_Blit(&dst, &src, c.dx, c.dy, c.hasRect ? &c.rect : nullptr, 1.0f, kRasBlitCopy);
    std::vector<std::uint32_t> expected(100, 0u);
    ModelCopy(expected, 10, 10, 4, 4, c.dx, c.dy, c.hasRect ? &c.rect : nullptr);
    EXPECT_EQ(Contents(dst), expected) << "dx " << c.dx << " dy " << c.dy;
  }
}

TEST(BlitClipping, FlippedBitmapsAreAddressedFromTheLastRow) {
  GuardedBitmap src(3, 3, true), dst(3, 3, false);
  FillTags(src);
  RAS_Blit(&dst, &src, 0, 1, nullptr, 1.0f, kRasBlitCopy);
  EXPECT_EQ(Pixel(dst, 0, 1), Tag(0, 0));
  EXPECT_EQ(Pixel(dst, 2, 2), Tag(2, 1));
  // Logical row 0 of a flipped bitmap is its last row in memory.
  EXPECT_EQ(src.getBits()[2 * src.getRowSpan()], Tag(0, 0));
  EXPECT_TRUE(dst.GuardIntact());
}

TEST(BlitClipping, ExtremeArgumentsNeverTouchMemoryOutsideEitherBitmap) {
  const int extremes[] = {INT_MIN, INT_MIN + 1, -1000000, -70000, -5, -1, 0, 1, 3, 7, 70000, INT_MAX - 1, INT_MAX};
  std::mt19937 rng(12345);  // fixed seed: the same argument sets every run
  auto pick = [&]() {
    if (rng() % 2) return extremes[rng() % std::size(extremes)];
    return static_cast<int>(rng() % 24) - 12;
  };
  const int modes[] = {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005, 0xF6};
  const float weights[] = {1.0f, 0.5f, 0.25f, 1e30f, -1e30f, -0.5f, INFINITY};
  for (int i = 0; i < 4000; ++i) {
    const int dw = 1 + static_cast<int>(rng() % 9), dh = 1 + static_cast<int>(rng() % 9);
    const int sw = 1 + static_cast<int>(rng() % 9), sh = 1 + static_cast<int>(rng() % 9);
    GuardedBitmap dst(dw, dh, rng() % 2), src(sw, sh, rng() % 2);
    FillTags(src);
    RAS_Rect rect{pick(), pick(), pick(), pick()};
    const bool useRect = rng() % 4 != 0;
    const int dx = pick(), dy = pick();
    const int mode = modes[rng() % std::size(modes)];
    const float weight = weights[rng() % std::size(weights)];
    RAS_Blit(&dst, &src, dx, dy, useRect ? &rect : nullptr, weight, mode);
    ASSERT_TRUE(dst.GuardIntact()) << "case " << i;
    ASSERT_TRUE(src.GuardIntact()) << "case " << i;
    if (mode == kRasBlitCopy && weight == 1.0f) {
      std::vector<std::uint32_t> expected(static_cast<std::size_t>(dw * dh), 0u);
      ModelCopy(expected, dw, dh, sw, sh, dx, dy, useRect ? &rect : nullptr);
      ASSERT_EQ(Contents(dst), expected) << "case " << i;
    }
  }
}
