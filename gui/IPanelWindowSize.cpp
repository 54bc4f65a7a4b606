// The panel in a host's window: the sizes a host may give it, held to the
// display it shows on, and where the picture sits in a window of another
// shape than the editor's (centred, the margins around it drawn).

#include <algorithm>

#include "gui/DisplayScale.h"
#include "gui/IPanel.h"

void IPanel::ConstrainSize(int& width, int& height) const {
  if (areaW_ > 0 && areaH_ > 0) {
    width = std::min(width, areaW_);
    height = std::min(height, areaH_);
  }
  DisplayScale::ConstrainSize(width_, height_, width, height);
}

void IPanel::SetDisplayArea(int width, int height) {
  areaW_ = std::max(width, 0);
  areaH_ = std::max(height, 0);
  display_.SetDisplayArea(areaW_, areaH_, width_, height_);
  ApplyScale();
}

bool IPanel::FitToSize(int width, int height) {
  int w = width, h = height;
  ConstrainSize(w, h);
  if (!port_ || !port_->SetEditorZoom(display_.ZoomFor(ScaleForWidth(w)))) return false;
  ApplyScale();
  SetWindowSize(width, height);
  return DeviceWidth() == w && DeviceHeight() == h;
}

bool IPanel::FitEditorToSize(int width, int height) {
  // The host's answer to the editor's own request (a scale, a state's
  // zoom, a size held to the display) is the picture's size: the window
  // takes it and the zoom stays as kept.
  if (width == EditorWidth() && height == EditorHeight()) {
    ApplyScale();
    SetWindowSize(width, height);
    return true;
  }
  return FitToSize(width, height);
}

void IPanel::SetWindowSize(int width, int height) {
  // Beyond what any window system takes, or no size: the picture's.
  constexpr int kLargestWindow = 16384;
  if (width <= 0 || height <= 0 || width > kLargestWindow || height > kLargestWindow ||
      (width == DeviceWidth() && height == DeviceHeight())) {
    width = height = 0;
  }
  if (width == windowW_ && height == windowH_) return;
  windowW_ = width;
  windowH_ = height;
  ScaleChanged();
}

PixelRect IPanel::ToWindow(const PixelRect& logical) const {
  if (logical.IsEmpty()) return logical;
  const PixelRect d = ToDevice(logical);
  const PixelRect& p = WindowPlaces().picture;
  return {d.left + p.left, d.top + p.top, d.right + p.left, d.bottom + p.top};
}

PixelRect IPanel::WindowToLogical(const PixelRect& area) const {
  const PixelRect& p = WindowPlaces().picture;
  const PixelRect shown = area.Clip(p);
  if (shown.W() <= 0 || shown.H() <= 0) return {};
  return ToLogical(PixelRect{shown.left - p.left, shown.top - p.top, shown.right - p.left, shown.bottom - p.top});
}
