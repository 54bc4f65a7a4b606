#include "gui/DisplayScale.h"

#include <algorithm>
#include <cmath>

#include "plugbase/EditorLink.h"

static_assert(DisplayScale::kMinDrawScale / DisplayScale::kMaxScale == kEditorZoomMin &&
                  DisplayScale::kMaxDrawScale / DisplayScale::kMinScale == kEditorZoomMax,
              "every zoom that can reach a drawing scale is one an editor accepts");

bool DisplayScale::SetHost(double scale) {
  if (!Accepted(scale)) return false;
  host_ = scale;
  return true;
}

void DisplayScale::SetDesktop(double scale) { desktop_ = Accepted(scale) ? scale : 1.0; }

double DisplayScale::Display() const {
  if (policy_ == Policy::kHostOnceSet) return host_ ? *host_ : desktop_;
  return std::max(host_.value_or(1.0), desktop_);
}

double DisplayScale::Drawing() const {
  const double display = Display();
  const double zoomed = zoom_ == 1.0 ? display : std::clamp(std::round(display * zoom_ * 1e6) / 1e6, kMinDrawScale, kMaxDrawScale);
  return std::min(zoomed, fitting_);
}

void DisplayScale::SetDisplayArea(int width, int height, int logicalW, int logicalH) {
  fitting_ = LargestFittingScale(logicalW, logicalH, width, height);
}

double DisplayScale::ZoomFor(double scale) const {
  double zoom = scale / Display();
  // Back at the display's own size: no zoom.
  if (std::fabs(zoom - 1.0) < 1e-9) zoom = 1.0;
  return std::clamp(zoom, kEditorZoomMin, kEditorZoomMax);
}

int DisplayScale::ToDevice(int logical, double scale) {
  return scale == 1.0 ? logical : static_cast<int>(std::floor(logical * scale + 0.5));
}

PixelRect DisplayScale::ToDevice(const PixelRect& r, double scale) {
  return {ToDevice(r.left, scale), ToDevice(r.top, scale), ToDevice(r.right, scale), ToDevice(r.bottom, scale)};
}

int DisplayScale::ToLogical(int device, double scale) {
  return scale == 1.0 ? device : static_cast<int>(std::floor(device / scale));
}

PixelRect DisplayScale::ToLogical(const PixelRect& r, double scale) {
  if (scale == 1.0 || r.IsEmpty()) return r;
  return {ToLogical(r.left, scale), ToLogical(r.top, scale), static_cast<int>(std::ceil(r.right / scale)),
          static_cast<int>(std::ceil(r.bottom / scale))};
}

double DisplayScale::ScaleForWidth(int logicalW, int deviceWidth) {
  if (logicalW <= 0) return 1.0;
  const double exact = static_cast<double>(deviceWidth) / logicalW;
  for (const double step : {1e2, 1e3, 1e4, 1e5, 1e6}) {
    const double scale = std::round(exact * step) / step;
    if (ToDevice(logicalW, scale) == deviceWidth) return std::clamp(scale, kMinDrawScale, kMaxDrawScale);
  }
  return std::clamp(exact, kMinDrawScale, kMaxDrawScale);
}

void DisplayScale::ConstrainSize(int logicalW, int logicalH, int& width, int& height) {
  if (logicalW <= 0 || logicalH <= 0) return;
  const int smallest = ToDevice(logicalW, kMinDrawScale);
  const int largest = ToDevice(logicalW, kMaxDrawScale);
  // Heights grow with widths: the largest width whose height fits, from the
  // widest the offered height allows down.
  const double widestForHeight = (static_cast<double>(height) + 1.0) * logicalW / logicalH + 1.0;
  int w = std::min({width, largest, static_cast<int>(std::clamp(widestForHeight, -1.0, 1e9))});
  w = std::max(w, smallest);
  for (; w > smallest; --w) {
    if (ToDevice(logicalH, ScaleForWidth(logicalW, w)) <= height) break;
  }
  width = w;
  height = ToDevice(logicalH, ScaleForWidth(logicalW, w));
}

double DisplayScale::LargestFittingScale(int logicalW, int logicalH, int areaW, int areaH) {
  if (areaW <= 0 || areaH <= 0 || logicalW <= 0 || logicalH <= 0) return kMaxDrawScale;
  int width = areaW, height = areaH;
  ConstrainSize(logicalW, logicalH, width, height);
  return ScaleForWidth(logicalW, width);
}
