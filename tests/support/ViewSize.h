#pragma once

// The size a VST3 view gives for itself. A view that refuses to say fails
// the test where it is asked.

#include <gtest/gtest.h>

#include <array>
#include <utility>

#include "pluginterfaces/gui/iplugview.h"

namespace testsupport {

inline Steinberg::ViewRect SizeOf(Steinberg::IPlugView& view) {
  Steinberg::ViewRect r;
  EXPECT_EQ(view.getSize(&r), Steinberg::kResultOk);
  return r;
}

// Width and height, comparable in one check that prints both.
inline std::pair<int, int> WidthHeight(const Steinberg::ViewRect& r) { return {r.getWidth(), r.getHeight()}; }
inline std::pair<int, int> WidthHeight(Steinberg::IPlugView& view) { return WidthHeight(SizeOf(view)); }

// Left, top, right and bottom, comparable in one check that prints all four.
inline std::array<Steinberg::int32, 4> Corners(const Steinberg::ViewRect& r) {
  return {r.left, r.top, r.right, r.bottom};
}

}  // namespace testsupport
