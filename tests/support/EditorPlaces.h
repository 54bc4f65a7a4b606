#pragma once

// Where the built editor shows its controls, read from the product's layout
// table, for tests that click on the editor or look at its picture from
// outside the module: they follow the table when a control moves.

#include "mirel/EditorLayout.h"

namespace testsupport {

// One control's rectangle (one frame of its strip).
struct EditorPlace {
  int x = 0, y = 0, w = 0, h = 0;
  int Right() const { return x + w; }
  int Bottom() const { return y + h; }
  int CentreX() const { return x + w / 2; }
  int CentreY() const { return y + h / 2; }
};

// The control bound to parameter `param` (or the first row of `kind` when
// param is -1); an empty place when the table has none.
inline EditorPlace EditorPlaceOf(int param, mirel::layout::Kind kind = mirel::layout::Kind::kKnob) {
  for (const mirel::layout::Control& c : mirel::layout::kControls) {
    if (param >= 0 ? c.param == param : c.kind == kind) return {c.x, c.y, c.width, c.height};
  }
  return {};
}

inline EditorPlace EditorMeterPlace() { return EditorPlaceOf(-1, mirel::layout::Kind::kMeter); }

inline EditorPlace EditorVersionLabelPlace() {
  const mirel::layout::Rect& r = mirel::layout::kVersionLabel;
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

}  // namespace testsupport
