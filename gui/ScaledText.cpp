#include "gui/ScaledText.h"

#include <cmath>

#include "gui/DisplayScale.h"
#include "raster/RAS_FontCache.h"

bool DrawScaledText(RAS_IBitmap* target, TextStyle& style, const char* text, PixelRect& rect, bool measure,
                    double scale) {
  if (!text || !*text) return true;
  auto device = [scale](int logical) { return DisplayScale::ToDevice(logical, scale); };
  if (!style.font || style.fontScale != scale) {
    RAS_FontRequest request;
    request.face = style.face;
    request.size = device(style.size);
    request.orientation = style.orientation;
    request.style = style.style;
    request.quality = style.quality;
    style.font = RAS_FontCache::Process().Get(request);
    style.fontScale = scale;
    if (!style.font) return false;
  }
  RAS_CachedFont* font = style.font;
  font->SetTextColor(style.colour.Packed());
  unsigned flags = kRasTextNoClip;
  if (style.align == 1) flags |= kRasTextCenter;
  if (style.align == 2) flags |= kRasTextRight;
  if (style.colour.a != 255) flags |= kRasTextUseAlpha;
  if (!measure) {
    const PixelRect d = DisplayScale::ToDevice(rect, scale);
    RAS_Rect r{d.left, d.top, d.right, d.bottom};
    font->DrawText(target, text, -1, &r, flags);
    return true;
  }
  RAS_Rect r{device(rect.left), device(rect.top), device(rect.left), device(rect.top)};
  font->DrawText(nullptr, text, -1, &r, flags | kRasTextCalcRect);
  // The extent in logical pixels, rounded up.
  const int width = static_cast<int>(std::ceil((r.right - r.left) / scale));
  const int height = static_cast<int>(std::ceil((r.bottom - r.top) / scale));
  if (style.align == 1) {
    rect.left = static_cast<int>((rect.left + rect.right) * 0.5) - width / 2;
    rect.right = rect.left + width;
  } else if (style.align == 2) {
    rect.left = rect.right - width;
  } else {
    rect.right = rect.left + width;
  }
  rect.bottom = rect.top + height;
  return true;
}
