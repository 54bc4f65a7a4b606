// The editor's images against the editor's layout table: the resource script
// lists every image under its id, each image has the size the table gives,
// every control's rectangle lies in the editor without touching another, knob
// frames differ, and the version label's place on the background stays clear
// and dark enough for its white text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "mirel/EditorLayout.h"
#include "raster/RAS_Png.h"

namespace {

using mirel::layout::Control;
using mirel::layout::Kind;
using mirel::layout::kControls;
using mirel::layout::kEditorHeight;
using mirel::layout::kEditorWidth;
using mirel::layout::kVersionLabel;

using Rect = mirel::layout::Rect;

bool Overlap(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::unique_ptr<RAS_MemBitmap> Load(const Control& c) { return LoadBitmapFromResource(c.resourceId, c.image); }

// The bytes of frame k of a stacked strip, row by row.
std::string FrameBytes(RAS_MemBitmap& b, int frames, int k) {
  const int h = b.getHeight() / frames;
  std::string out;
  for (int y = k * h; y < (k + 1) * h; ++y) {
    const auto* row = reinterpret_cast<const char*>(b.getBits() + static_cast<std::size_t>(y) * b.getRowSpan());
    out.append(row, static_cast<std::size_t>(b.getWidth()) * 4);
  }
  return out;
}

double Luminance(std::uint32_t bgra) {
  auto lin = [](std::uint32_t c) {
    const double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * lin((bgra >> 16) & 255) + 0.7152 * lin((bgra >> 8) & 255) + 0.0722 * lin(bgra & 255);
}

// An image's set at twice the size: in the 2x/ folder beside it, under its id + 100.
std::string DoubleSizePath(const Control& c) {
  const std::string image = c.image;
  const auto slash = image.rfind('/');
  return image.substr(0, slash + 1) + "2x/" + image.substr(slash + 1);
}

TEST(EditorImages, ResourceScriptListsEveryImageOfTheLayoutAsPngUnderIds104To119) {
  std::ifstream rc(MIREL_IMAGES_RC);
  ASSERT_TRUE(rc) << MIREL_IMAGES_RC;
  const std::regex line(R"(^(\d+)\s+PNG\s+"([^"]+)\"\s*$)");
  std::set<std::pair<int, std::string>> listed;
  for (std::string s; std::getline(rc, s);) {
    std::smatch m;
    if (std::regex_match(s, m, line)) listed.emplace(std::stoi(m[1]), m[2].str());
  }
  std::set<std::pair<int, std::string>> expected;
  std::set<int> ids;
  for (const Control& c : kControls) {
    expected.emplace(c.resourceId, std::string(MIREL_SOURCE_DIR) + "/" + c.image);
    expected.emplace(c.resourceId + 100, std::string(MIREL_SOURCE_DIR) + "/" + DoubleSizePath(c));
    ids.insert(c.resourceId);
  }
  EXPECT_EQ(listed, expected);
  // The module carries sixteen images, ids 104 to 119, each once.
  std::set<int> range;
  for (int id = 104; id <= 119; ++id) range.insert(id);
  EXPECT_EQ(ids, range);
  EXPECT_EQ(std::size(kControls), range.size());
}

TEST(EditorImages, ImagesHaveTheLayoutsSizesAndFitTheEditorWithoutOverlaps) {
  std::vector<std::pair<std::string, Rect>> rects{{"version label", kVersionLabel}};
  for (const Control& c : kControls) {
    auto b = Load(c);
    ASSERT_NE(b, nullptr) << c.image;
    EXPECT_EQ(b->getWidth(), c.width) << c.image;
    EXPECT_EQ(b->getHeight(), c.height * c.frames) << c.image;
    auto twice = LoadBitmapFromResource(c.resourceId + 100, c.image);
    ASSERT_NE(twice, nullptr) << DoubleSizePath(c);
    EXPECT_EQ(twice->getWidth(), 2 * c.width) << DoubleSizePath(c);
    EXPECT_EQ(twice->getHeight(), 2 * c.height * c.frames) << DoubleSizePath(c);
    if (c.kind == Kind::kBackground) {
      EXPECT_EQ((Rect{c.x, c.y, c.x + c.width, c.y + c.height}), (Rect{0, 0, kEditorWidth, kEditorHeight}));
      continue;
    }
    const Rect r{c.x, c.y, c.x + c.width, c.y + c.height};
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= kEditorWidth && r.bottom <= kEditorHeight) << c.image;
    EXPECT_GT(c.width, 8) << c.image;
    EXPECT_GT(c.height, 8) << c.image;
    for (const auto& [name, other] : rects) EXPECT_FALSE(Overlap(r, other)) << c.image << " overlaps " << name;
    rects.emplace_back(c.image, r);
  }
}

TEST(EditorImages, EveryFrameOfAStripDiffersFromTheOthers) {
  for (const Control& c : kControls) {
    if (c.kind == Kind::kBackground) continue;
    auto b = Load(c);
    ASSERT_NE(b, nullptr) << c.image;
    std::set<std::string> seen;
    for (int k = 0; k < c.frames; ++k) seen.insert(FrameBytes(*b, c.frames, k));
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(c.frames)) << c.image;
  }
}

TEST(EditorImages, BackgroundIsOpaqueAndLeavesTheVersionLabelClear) {
  ASSERT_EQ(kControls[0].kind, Kind::kBackground);
  auto bg = Load(kControls[0]);
  ASSERT_NE(bg, nullptr);
  double lo = 1.0, hi = 0.0;
  for (int y = 0; y < bg->getHeight(); ++y)
    for (int x = 0; x < bg->getWidth(); ++x) {
      const std::uint32_t px = bg->getBits()[static_cast<std::size_t>(y) * bg->getRowSpan() + x];
      ASSERT_EQ(px >> 24, 255u) << x << "," << y;
      if (x >= kVersionLabel.left && x < kVersionLabel.right && y >= kVersionLabel.top && y < kVersionLabel.bottom) {
        lo = std::min(lo, Luminance(px));
        hi = std::max(hi, Luminance(px));
      }
    }
  // Plain panel only (no text or marks), dark enough for white text at 4.5:1.
  EXPECT_LT(hi - lo, 0.01);
  EXPECT_GE(1.05 / (hi + 0.05), 4.5);
}

}  // namespace
