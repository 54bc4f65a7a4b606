// Resizing one frame of a strip with the area filter (raster/RAS_Resample.h).

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "raster/RAS_Resample.h"

namespace {

std::uint32_t& At(RAS_IBitmap& b, int x, int y) { return b.getBits()[y * b.getRowSpan() + x]; }

}  // namespace

TEST(Resample, AreaFilterAveragesCoveredPixelsAndKeepsTransparentColourOut) {
  // Two 2x2 frames stacked: opaque white, opaque black and two transparent
  // red pixels; then a uniform colour.
  RAS_MemBitmap src(2, 4);
  const std::uint32_t frame0[4] = {0xffffffffu, 0xff000000u, 0x00ff0000u, 0x00ff0000u};
  for (int i = 0; i < 4; ++i) At(src, i % 2, i / 2) = frame0[i];
  for (int i = 0; i < 4; ++i) At(src, i % 2, 2 + i / 2) = 0xff102030u;
  // Half the area opaque grey (white and black), half transparent: no red.
  auto out = RAS_ResampleFrame(src, 0, 0, 2, 2, 1, 1);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->getWidth(), 1);
  EXPECT_EQ(out->getHeight(), 1);
  EXPECT_EQ(At(*out, 0, 0), 0x80808080u);
  // The second frame alone: nothing of the first bleeds in.
  auto second = RAS_ResampleFrame(src, 0, 2, 2, 2, 1, 1);
  ASSERT_TRUE(second);
  EXPECT_EQ(At(*second, 0, 0), 0xff102030u);
  // A faint pixel (alpha 1 of four) still counts: alpha 0.25 rounds to 0,
  // a 2x1 pair at alpha 1 and 0 gives alpha 0.5, which rounds to 1.
  RAS_MemBitmap faint(2, 1);
  At(faint, 0, 0) = 0x01ff0000u;
  At(faint, 1, 0) = 0x00000000u;
  auto faintOut = RAS_ResampleFrame(faint, 0, 0, 2, 1, 1, 1);
  ASSERT_TRUE(faintOut);
  EXPECT_EQ(At(*faintOut, 0, 0), 0x01ff0000u);
  // Upward, a uniform frame stays uniform.
  auto up = RAS_ResampleFrame(src, 0, 2, 2, 2, 3, 3);
  ASSERT_TRUE(up);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(At(*up, x, y), 0xff102030u);
  }
}

TEST(Resample, RefusesSizesThatAreNotPositiveAndFramesOutsideTheSource) {
  RAS_MemBitmap src(2, 4);
  struct Case {
    int srcX, srcY, frameW, frameH, dstW, dstH;
    const char* why;
  };
  const Case cases[] = {
      {0, 4, 2, 2, 1, 1, "a third frame below the strip's end"},
      {0, 3, 2, 2, 1, 1, "a frame reaching past the bottom"},
      {1, 0, 2, 2, 1, 1, "a frame reaching past the right edge"},
      {-1, 0, 2, 2, 1, 1, "a negative left"},
      {0, -1, 2, 2, 1, 1, "a negative top"},
      {0, 0, 2, 2, 0, 1, "no target width"},
      {0, 0, 2, 2, 1, -1, "a negative target height"},
      {0, 0, 0, 2, 1, 1, "no frame width"},
      {0, 0, 2, 0, 1, 1, "no frame height"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(RAS_ResampleFrame(src, c.srcX, c.srcY, c.frameW, c.frameH, c.dstW, c.dstH)) << c.why;
  }
  RAS_MemBitmap empty(0, 0);
  EXPECT_FALSE(RAS_ResampleFrame(empty, 0, 0, 1, 1, 1, 1)) << "a source without pixels";
}

TEST(Resample, AFrameInsideAStripGetsThePixelsItGetsAlone) {
  // Three 7x5 frames stacked; each pixel has its own colour and alpha, so
  // that the weights matter.
  RAS_MemBitmap strip(7, 15);
  for (int y = 0; y < strip.getHeight(); ++y)
    for (int x = 0; x < strip.getWidth(); ++x)
      At(strip, x, y) = static_cast<std::uint32_t>((x * 37 + y * 91) % 256) << 24 |
                        static_cast<std::uint32_t>(x * 997 + y * 7919);
  for (auto [w, h] : {std::pair{11, 8}, {5, 4}, {14, 10}}) {
    for (int k = 0; k < 3; ++k) {
      RAS_MemBitmap alone(7, 5);
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) At(alone, x, y) = At(strip, x, k * 5 + y);
      auto inStrip = RAS_ResampleFrame(strip, 0, k * 5, 7, 5, w, h);
      auto byItself = RAS_ResampleFrame(alone, 0, 0, 7, 5, w, h);
      ASSERT_TRUE(inStrip);
      ASSERT_TRUE(byItself);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          ASSERT_EQ(At(*inStrip, x, y), At(*byItself, x, y)) << w << "x" << h << " frame " << k;
    }
  }
}
