// The editor's images against the editor's layout: every image exists under
// its id, strips divide into their frames, every control's rectangle lies in
// the 838 x 245 editor without touching another, knob frames differ, and the
// version label's place on the background stays clear and dark enough for
// its white text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "raster/RAS_Png.h"

namespace {

constexpr int kEditorWidth = 838;
constexpr int kEditorHeight = 245;

enum class Kind { Background, Switch, Knob, Meter };

struct Placed {
  int id;
  const char* name;
  Kind kind;
  int frames;
  int x;
  int y;
};

// The layout: resource ids, names, frame counts and top-left corners.
const Placed kLayout[] = {
    {105, "resources/img/BG.png", Kind::Background, 1, 0, 0},
    {110, "resources/img/BY.png", Kind::Switch, 2, 720, 88},
    {113, "resources/img/INTER.png", Kind::Switch, 2, 69, 14},
    {114, "resources/img/IN.png", Kind::Knob, 61, 147, 34},
    {108, "resources/img/OUT.png", Kind::Knob, 61, 595, 34},
    {104, "resources/img/ATK.png", Kind::Knob, 61, 510, 14},
    {106, "resources/img/REL.png", Kind::Knob, 61, 693, 14},
    {109, "resources/img/RAT.png", Kind::Knob, 4, 248, 14},
    {111, "resources/img/HPF.png", Kind::Knob, 61, 54, 154},
    {112, "resources/img/MIX.png", Kind::Knob, 61, 626, 154},
    {117, "resources/img/HF.png", Kind::Knob, 61, 345, 154},
    {115, "resources/img/MIDF.png", Kind::Knob, 61, 152, 154},
    {116, "resources/img/MIDG.png", Kind::Knob, 61, 254, 154},
    {118, "resources/img/OVER.png", Kind::Switch, 2, 0, 217},
    {119, "resources/img/SC.png", Kind::Switch, 2, 738, 216},
    {107, "resources/img/VU.png", Kind::Meter, 61, 341, 32},
};

struct Rect {
  int left, top, right, bottom;
};
constexpr Rect kVersionLabel{700, 150, 800, 170};

bool Overlap(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::unique_ptr<RAS_MemBitmap> Load(const Placed& p) { return LoadBitmapFromResource(p.id, p.name); }

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

TEST(EditorImages, ResourceScriptListsTheLayoutsIdsAndNames) {
  std::ifstream rc(MIREL_IMAGES_RC);
  ASSERT_TRUE(rc) << MIREL_IMAGES_RC;
  const std::regex line(R"(^(\d+)\s+PNG\s+"([^"]+)\"\s*$)");
  std::set<std::pair<int, std::string>> listed;
  for (std::string s; std::getline(rc, s);) {
    std::smatch m;
    if (std::regex_match(s, m, line)) listed.emplace(std::stoi(m[1]), "resources/" + m[2].str());
  }
  std::set<std::pair<int, std::string>> expected;
  for (const Placed& p : kLayout) expected.emplace(p.id, p.name);
  EXPECT_EQ(listed, expected);
}

TEST(EditorImages, StripsFitTheEditorWithoutOverlaps) {
  std::vector<std::pair<std::string, Rect>> rects{{"version label", kVersionLabel}};
  for (const Placed& p : kLayout) {
    auto b = Load(p);
    ASSERT_NE(b, nullptr) << p.name;
    ASSERT_EQ(b->getHeight() % p.frames, 0) << p.name;
    if (p.kind == Kind::Background) {
      EXPECT_EQ(b->getWidth(), kEditorWidth);
      EXPECT_EQ(b->getHeight(), kEditorHeight);
      continue;
    }
    const Rect r{p.x, p.y, p.x + b->getWidth(), p.y + b->getHeight() / p.frames};
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= kEditorWidth && r.bottom <= kEditorHeight) << p.name;
    EXPECT_GT(r.right - r.left, 8) << p.name;
    EXPECT_GT(r.bottom - r.top, 8) << p.name;
    for (const auto& [name, other] : rects) EXPECT_FALSE(Overlap(r, other)) << p.name << " overlaps " << name;
    rects.emplace_back(p.name, r);
  }
  EXPECT_EQ(rects.size(), 16u);
}

TEST(EditorImages, EveryFrameOfAStripDiffersFromTheOthers) {
  for (const Placed& p : kLayout) {
    if (p.kind == Kind::Background) continue;
    auto b = Load(p);
    ASSERT_NE(b, nullptr) << p.name;
    std::set<std::string> seen;
    for (int k = 0; k < p.frames; ++k) seen.insert(FrameBytes(*b, p.frames, k));
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(p.frames)) << p.name;
  }
}

TEST(EditorImages, BackgroundIsOpaqueAndLeavesTheVersionLabelClear) {
  auto bg = Load(kLayout[0]);
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
