// The picture comparison itself: what counts as a difference, which one is
// named first, and that a failure leaves both pictures where it says.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "raster/RAS_Bitmap.h"
#include "tests/support/PictureCompare.h"

namespace {

using mirel::host::EditorImage;
using testsupport::FirstDifference;
using testsupport::PictureArea;
using testsupport::PictureRules;
using testsupport::PictureView;

EditorImage Plain(int w, int h, std::uint32_t colour) {
  return EditorImage{w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w) * h, colour)};
}

TEST(PictureCompare, NamesTheFirstDifferenceInReadingOrderUnderTheRules) {
  const EditorImage a = Plain(6, 4, 0xff102030u);
  EditorImage b = a;
  b.pixels[2 * 6 + 4] = 0x00102030u;  // (4, 2): alpha only
  b.pixels[3 * 6 + 1] = 0xff102031u;  // (1, 3): colour
  struct Row {
    const char* reason;
    PictureRules rules;
    bool differs;
    int x, y;
  };
  const Row rows[] = {
      {"every bit: the alpha difference comes first", {}, true, 4, 2},
      {"a screen has no alpha: the colour difference", PictureRules::Screen(), true, 1, 3},
      {"a region around neither", {0xffffffffu, PictureArea{0, 0, 6, 2}, {}}, false, 0, 0},
      {"a region holding the colour one only", {0xffffffffu, PictureArea{0, 3, 3, 4}, {}}, true, 1, 3},
      {"a region beyond the pictures is cut to them", {0xffffffffu, PictureArea{-5, -5, 60, 60}, {}}, true, 4, 2},
      {"the alpha one left out", {0xffffffffu, std::nullopt, {PictureArea{4, 2, 5, 3}}}, true, 1, 3},
      {"both left out", {0xffffffffu, std::nullopt, {PictureArea{4, 2, 5, 3}, PictureArea{0, 3, 2, 4}}}, false, 0, 0},
  };
  for (const Row& row : rows) {
    const auto d = FirstDifference(PictureView::Of(b), PictureView::Of(a), row.rules);
    ASSERT_EQ(d.has_value(), row.differs) << row.reason;
    if (!d) continue;
    EXPECT_FALSE(d->sizes) << row.reason;
    EXPECT_EQ(d->x, row.x) << row.reason;
    EXPECT_EQ(d->y, row.y) << row.reason;
    EXPECT_EQ(d->shown, b.At(row.x, row.y) & row.rules.mask) << row.reason;
    EXPECT_EQ(d->expected, a.At(row.x, row.y) & row.rules.mask) << row.reason;
  }
  const auto sizes = FirstDifference(PictureView::Of(Plain(6, 5, 0)), PictureView::Of(Plain(6, 4, 0)));
  ASSERT_TRUE(sizes);
  EXPECT_TRUE(sizes->sizes) << "another size is a difference whatever the pixels";
}

// A bitmap stored bottom-up (as a Windows DIB may be) reads top row first, like the others.
class BottomUp final : public RAS_IBitmap {
 public:
  BottomUp(int w, int h) : w_(w), h_(h), bits_(static_cast<std::size_t>(w) * h) {}
  std::uint32_t* getBits() override { return bits_.data(); }
  int getWidth() const override { return w_; }
  int getHeight() const override { return h_; }
  int getRowSpan() const override { return w_; }
  bool isFlipped() const override { return true; }
  bool resize(int, int) override { return false; }
  RAS_DC getDC() const override { return nullptr; }

 private:
  int w_, h_;
  std::vector<std::uint32_t> bits_;
};

TEST(PictureCompare, ABitmapStoredBottomUpIsComparedTopRowFirst) {
  BottomUp flipped(3, 2);
  RAS_MemBitmap upright(3, 2);
  for (int x = 0; x < 3; ++x) {
    flipped.getBits()[x] = 0xff0000ffu;                         // memory row 0: the bottom row
    flipped.getBits()[flipped.getRowSpan() + x] = 0xffff0000u;  // memory row 1: the top row
    upright.getBits()[x] = 0xffff0000u;
    upright.getBits()[upright.getRowSpan() + x] = 0xff0000ffu;
  }
  EXPECT_FALSE(FirstDifference(PictureView::Of(flipped), PictureView::Of(upright)));
}

TEST(PictureCompare, AFailureSaysWhereAndLeavesBothPicturesThere) {
  const EditorImage a = Plain(3, 3, 0xff000000u);
  EditorImage b = a;
  b.pixels[4] = 0xffffffffu;
  const std::string name = "picture-compare-self-test";
  const std::string folder = testsupport::PictureFolder();
  const auto result = testsupport::SamePicture(PictureView::Of(b), PictureView::Of(a), name);
  ASSERT_FALSE(result);
  const std::string message = result.message();
  EXPECT_NE(message.find("(1, 1)"), std::string::npos) << message;
  EXPECT_NE(message.find("0xffffffff shown"), std::string::npos) << message;
  EXPECT_NE(message.find("0xff000000 expected"), std::string::npos) << message;
  for (const char* which : {"-shown.png", "-expected.png"}) {
    const std::string file = folder + "/" + name + which;
    EXPECT_NE(message.find(file), std::string::npos) << message;
    EXPECT_TRUE(std::filesystem::exists(file)) << file;
    std::filesystem::remove(file);
  }
  EXPECT_TRUE(testsupport::SamePicture(PictureView::Of(a), PictureView::Of(a), name));
}

}  // namespace
