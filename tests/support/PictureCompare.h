#pragma once
// The one comparison of two pictures for every picture test: pixel for pixel,
// in an optional region, with optional areas left out and optionally without
// alpha (a screen has none). A failure names the first differing pixel
// (x, y and both values) and writes both pictures as PNG files into the test
// picture folder, whose path the message gives.
//
// Natively and cross-built (the Windows tests under Wine); one thread at a time.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/EditorImage.h"

class RAS_IBitmap;

namespace testsupport {

// Pixels 0xAARRGGBB someone else owns, rows top to bottom `rowSpan` pixels apart.
struct PictureView {
  int width = 0;
  int height = 0;
  const std::uint32_t* top = nullptr;  // the first pixel of the top row
  std::ptrdiff_t rowSpan = 0;          // negative for a picture stored bottom-up

  std::uint32_t At(int x, int y) const { return top[y * rowSpan + x]; }

  static PictureView Of(const mirel::host::EditorImage& image);
  // The bitmap's pixels, top row first whichever way it stores them.
  static PictureView Of(RAS_IBitmap& bitmap);
};

// Right and bottom exclusive.
struct PictureArea {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool Holds(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct PictureRules {
  // Bits compared; 0x00ffffff for what a screen shows.
  std::uint32_t mask = 0xffffffffu;
  // Only this part of both pictures (the whole when unset).
  std::optional<PictureArea> region;
  // Parts left out.
  std::vector<PictureArea> skip;

  static PictureRules Screen() { return PictureRules{0x00ffffffu, std::nullopt, {}}; }
};

struct PictureDifference {
  bool sizes = false;  // the sizes differ (no pixel named then)
  int x = 0;
  int y = 0;
  std::uint32_t shown = 0;
  std::uint32_t expected = 0;
};

// The first difference in reading order; none when the pictures agree.
std::optional<PictureDifference> FirstDifference(const PictureView& shown, const PictureView& expected,
                                                 const PictureRules& rules = {});

// Success when the pictures agree. Otherwise the first difference, and both
// pictures written as <folder>/<name>-shown.png and <name>-expected.png.
::testing::AssertionResult SamePicture(const PictureView& shown, const PictureView& expected,
                                       const std::string& name, const PictureRules& rules = {});

// Where failing picture tests leave their pictures (made on first use).
std::string PictureFolder();

}  // namespace testsupport
