// Frame sets read from the module's resources and from damaged copies: every
// damage gives no set or no frame, never a read outside the bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "raster/RAS_FrameSet.h"
#include "raster/RAS_Png.h"
#include "raster/RAS_Resources.h"

namespace {

// The Input knob at twice the size: 61 frames of 152 x 140 over a base.
constexpr int kKnobSet = 214;

std::vector<unsigned char> Bytes(int id) {
  const auto span = RAS_FindPngResource(id);
  return {span.begin(), span.end()};
}

void PutWord(std::vector<unsigned char>& b, std::size_t word, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[word * 4 + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

TEST(FrameSet, FramesComeOneByOneOverTheirBase) {
  const auto bytes = Bytes(kKnobSet);
  auto set = RAS_FrameSet::Open(bytes);
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->Frames(), 61);
  EXPECT_EQ(set->FrameWidth(), 152);
  EXPECT_EQ(set->FrameHeight(), 140);
  ASSERT_TRUE(set->HasBase());
  auto base = set->DecodeBase();
  ASSERT_NE(base, nullptr);
  auto first = set->DecodeFrame(0, base.get());
  auto last = set->DecodeFrame(60, base.get());
  ASSERT_NE(first, nullptr);
  ASSERT_NE(last, nullptr);
  EXPECT_NE(std::memcmp(first->getBits(), last->getBits(), 152 * 140 * 4), 0);
  // A frame needs its base, of the frame's size, and an index in range.
  EXPECT_EQ(set->DecodeFrame(0, nullptr), nullptr);
  RAS_MemBitmap small(10, 10);
  EXPECT_EQ(set->DecodeFrame(0, &small), nullptr);
  EXPECT_EQ(set->DecodeFrame(61, base.get()), nullptr);
  EXPECT_EQ(set->DecodeFrame(-1, base.get()), nullptr);
}

TEST(FrameSet, DamagedSetsGiveNothing) {
  const auto good = Bytes(kKnobSet);
  ASSERT_GT(good.size(), 1000u);
  EXPECT_EQ(RAS_FrameSet::Open({}), nullptr);
  EXPECT_EQ(RAS_FrameSet::Open(Bytes(105)), nullptr);  // a PNG, not a set
  // Cut anywhere inside the index: no set.
  for (std::size_t cut : {std::size_t{3}, std::size_t{23}, std::size_t{24 + 16 * 30}}) {
    EXPECT_EQ(RAS_FrameSet::Open(std::span(good).first(cut)), nullptr) << cut;
  }
  // Cut in the PNGs: the entries point outside the bytes.
  EXPECT_EQ(RAS_FrameSet::Open(std::span(good).first(good.size() - 1)), nullptr);
  auto damaged = [&](std::size_t word, std::uint32_t v) {
    auto b = good;
    PutWord(b, word, v);
    return RAS_FrameSet::Open(b) != nullptr;
  };
  EXPECT_FALSE(damaged(1, 0));                 // no width
  EXPECT_FALSE(damaged(3, 0x7fffffff));        // more frames than the index holds
  EXPECT_FALSE(damaged(4, 0xfffffff0));        // base offset outside
  EXPECT_FALSE(damaged(5, 0xfffffff0));        // base size outside
  EXPECT_FALSE(damaged(6 + 4 * 7, 152));       // frame 7 placed right of the frame
  EXPECT_TRUE(damaged(6 + 4 * 7 + 3, 0));      // frame 7 without bytes of its own is the base
  EXPECT_FALSE(damaged(6 + 4 * 7 + 2, 0xffffff00));  // frame 7's offset outside
  // A frame whose PNG is damaged fails alone; the others still decode.
  auto b = good;
  std::uint32_t at = 0;
  std::memcpy(&at, &b[(6 + 4 * 9 + 2) * 4], 4);  // little-endian host
  b[at + 30] ^= 0xff;                              // inside frame 9's header
  b[at + 60] ^= 0xff;
  auto set = RAS_FrameSet::Open(b);
  ASSERT_NE(set, nullptr);
  auto base = set->DecodeBase();
  ASSERT_NE(base, nullptr);
  EXPECT_EQ(set->DecodeFrame(9, base.get()), nullptr);
  EXPECT_NE(set->DecodeFrame(8, base.get()), nullptr);
  // A patch placed where it runs past the frame's right edge fails alone.
  auto shifted = good;
  PutWord(shifted, 6 + 4 * 7, 151);
  auto shiftedSet = RAS_FrameSet::Open(shifted);
  ASSERT_NE(shiftedSet, nullptr);
  EXPECT_EQ(shiftedSet->DecodeFrame(7, base.get()), nullptr);
  EXPECT_NE(shiftedSet->DecodeFrame(8, base.get()), nullptr);
}

TEST(FrameSet, PngSizeComesFromTheHeaderAlone) {
  int w = 0, h = 0;
  ASSERT_TRUE(PngSizeFromResource(114, "IN.png", w, h));
  EXPECT_EQ(w, 76);
  EXPECT_EQ(h, 70 * 61);
  EXPECT_FALSE(PngSizeFromResource(114, "IN.bmp", w, h));
  EXPECT_FALSE(PngSizeFromResource(999, "none.png", w, h));
  auto bytes = Bytes(114);
  bytes[16] = 0x7f;  // a width far beyond any image
  EXPECT_FALSE(PngSizeFromMemory(bytes.data(), bytes.size(), w, h));
  EXPECT_FALSE(PngSizeFromMemory(bytes.data(), 23, w, h));
}
