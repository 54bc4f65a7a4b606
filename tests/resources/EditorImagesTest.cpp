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
#include "raster/RAS_FrameSet.h"
#include "raster/RAS_Png.h"
#include "raster/RAS_Resources.h"

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

// An image's frames at twice the size and (of more than one frame) at its
// own size: frame sets in the 2x/ and 1x/ folders beside it (NAME.frames),
// under its id + 100 and + 200.
std::string SetPath(const Control& c, const char* folder) {
  const std::string image = c.image;
  const auto slash = image.rfind('/');
  const auto dot = image.rfind('.');
  return image.substr(0, slash + 1) + folder + image.substr(slash + 1, dot - slash - 1) + ".frames";
}
std::string DoubleSizePath(const Control& c) { return SetPath(c, "2x/"); }

std::uint64_t Fnv(std::uint64_t h, const std::uint32_t* pixels, int n) {
  const auto* b = reinterpret_cast<const unsigned char*>(pixels);
  for (std::size_t i = 0; i < static_cast<std::size_t>(n) * 4; ++i) {
    h ^= b[i];
    h *= 1099511628211ull;
  }
  return h;
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
    if (c.frames > 1) expected.emplace(c.resourceId + 200, std::string(MIREL_SOURCE_DIR) + "/" + SetPath(c, "1x/"));
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
    auto twice = RAS_FrameSet::Open(RAS_FindPngResource(c.resourceId + 100));
    ASSERT_NE(twice, nullptr) << DoubleSizePath(c);
    EXPECT_EQ(twice->FrameWidth(), 2 * c.width) << DoubleSizePath(c);
    EXPECT_EQ(twice->FrameHeight(), 2 * c.height) << DoubleSizePath(c);
    EXPECT_EQ(twice->Frames(), c.frames) << DoubleSizePath(c);
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

// The pixels at twice the size, frame after frame, are those the whole 2x
// strips had before they were stored frame by frame (hashes of those strips'
// decoded rows): the editor at 2 and at every scale resampled from 2 looks
// exactly as it did.
TEST(EditorImages, FrameSetsHoldThePixelsOfTheWholeStripsAtTwiceTheSize) {
  const std::pair<int, std::uint64_t> expected[] = {
      {104, 0x595f28ac5e7e9b09ull}, {105, 0x14477bc190a3b8bcull}, {106, 0x062608dbe89aff69ull},
      {107, 0xaf0c3f0d62028b5aull}, {108, 0x8af9665aa7f68e3cull}, {109, 0x9cd95c4113732a8dull},
      {110, 0x969a0e84e4b72b2aull}, {111, 0x086ddd7bfa639249ull}, {112, 0xb8d641bf621d3489ull},
      {113, 0x4e2b301f3023efdeull}, {114, 0x7f0018e997869abcull}, {115, 0x81ca62404b963b49ull},
      {116, 0xe04fd048c3c14b89ull}, {117, 0x6f835d311ebb2169ull}, {118, 0x6b7ba61b3a698606ull},
      {119, 0xd75f4fb4c61d4df8ull}};
  std::size_t stored = 0;
  for (const auto& [id, hash] : expected) {
    const auto bytes = RAS_FindPngResource(id + 100);
    stored += bytes.size();
    auto set = RAS_FrameSet::Open(bytes);
    ASSERT_NE(set, nullptr) << id;
    auto base = set->DecodeBase();
    EXPECT_EQ(base != nullptr, set->HasBase()) << id;
    std::uint64_t h = 14695981039346656037ull;
    for (int k = 0; k < set->Frames(); ++k) {
      auto frame = set->DecodeFrame(k, base.get());
      ASSERT_NE(frame, nullptr) << id << " frame " << k;
      for (int y = 0; y < frame->getHeight(); ++y) h = Fnv(h, frame->getBits() + y * frame->getRowSpan(), frame->getWidth());
    }
    EXPECT_EQ(h, hash) << id;
  }
  // What the set at twice the size adds to the module: about 4 MB at most.
  EXPECT_LT(stored, 4000000u);
}

// Every frame differs from the others, and the frames the editor draws at 1
// from the image's set there are the strip's own, byte for byte.
TEST(EditorImages, EveryFrameOfAStripDiffersFromTheOthersAndItsSetAtOneHoldsIt) {
  std::size_t stored = 0;
  for (const Control& c : kControls) {
    if (c.kind == Kind::kBackground) continue;
    auto b = Load(c);
    ASSERT_NE(b, nullptr) << c.image;
    const auto bytes = RAS_FindPngResource(c.resourceId + 200);
    stored += bytes.size();
    auto set = RAS_FrameSet::Open(bytes);
    ASSERT_NE(set, nullptr) << SetPath(c, "1x/");
    ASSERT_EQ(set->Frames(), c.frames) << c.image;
    auto base = set->DecodeBase();
    std::set<std::string> seen;
    for (int k = 0; k < c.frames; ++k) {
      const std::string strip = FrameBytes(*b, c.frames, k);
      seen.insert(strip);
      auto frame = set->DecodeFrame(k, base.get());
      ASSERT_NE(frame, nullptr) << c.image << " frame " << k;
      EXPECT_EQ(FrameBytes(*frame, 1, 0), strip) << c.image << " frame " << k;
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(c.frames)) << c.image;
  }
  // What the sets at 1 add to the module.
  EXPECT_LT(stored, 400000u);
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
