// The Windows part of RAS_CachedFont: GDI fonts, glyphs rendered through a
// process-wide scratch DIB section, and the direct GDI path.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "raster/RAS_Font.h"
#include "raster/RAS_FontPlatform.h"

namespace {

// Process-wide, used from the GUI thread only; deleted with the last font.
std::unique_ptr<RAS_SysBitmap> gGlyphScratch;  // glyph rendering: white on opaque black
std::unique_ptr<RAS_SysBitmap> gTextScratch;   // direct path into a destination without a DC
int gUnderWine = -1;                           // -1 undetermined

constexpr int kMaxScratch = 4096;

// A scratch bitmap of at least width x height (and at least minimum square).
RAS_SysBitmap* EnsureScratch(std::unique_ptr<RAS_SysBitmap>& scratch, int width, int height, int minimum) {
  width = std::clamp(width, minimum, kMaxScratch);
  height = std::clamp(height, minimum, kMaxScratch);
  if (!scratch) scratch = std::make_unique<RAS_SysBitmap>();
  if (scratch->getWidth() < width || scratch->getHeight() < height) {
    scratch->resize(std::max(width, scratch->getWidth()), std::max(height, scratch->getHeight()));
  }
  if (!scratch->getBits() || !scratch->getDC()) return nullptr;
  return scratch.get();
}

void FillOpaqueBlack(RAS_SysBitmap& b, int width, int height) {
  GdiFlush();
  for (int y = 0; y < height; ++y) {
    std::fill_n(b.getBits() + static_cast<std::size_t>(y) * b.getRowSpan(), width, 0xff000000u);
  }
}

// Coverage of white-on-black text: the brightest channel of each pixel.
void ReadCoverage(RAS_SysBitmap& b, int width, int height, std::vector<std::uint8_t>& out, std::size_t offset) {
  GdiFlush();
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* row = b.getBits() + static_cast<std::size_t>(y) * b.getRowSpan();
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = row[x];
      out[offset++] = static_cast<std::uint8_t>(std::max({p & 0xff, (p >> 8) & 0xff, (p >> 16) & 0xff}));
    }
  }
}

// UTF-16 units of one character code.
int ToUtf16(int code, wchar_t (&units)[2]) {
  if (code < 0x10000) {
    units[0] = static_cast<wchar_t>(code);
    return 1;
  }
  const int v = code - 0x10000;
  units[0] = static_cast<wchar_t>(0xD800 + (v >> 10));
  units[1] = static_cast<wchar_t>(0xDC00 + (v & 0x3FF));
  return 2;
}

}  // namespace

bool RAS_IsCompatibilityLayer() {
  if (gUnderWine < 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Wine", 0, KEY_READ, &key) == ERROR_SUCCESS) {
      RegCloseKey(key);
      gUnderWine = 1;
    } else {
      gUnderWine = 0;
    }
  }
  return gUnderWine == 1;
}

void RAS_OverrideCompatibilityLayer(int state) { gUnderWine = state < 0 ? -1 : (state ? 1 : 0); }

void RasFontReleaseProcessResources() {
  gGlyphScratch.reset();
  gTextScratch.reset();
}

std::unique_ptr<RAS_CachedFont> RAS_CreatePlatformFont(const RAS_FontRequest& request) {
  auto font = std::make_unique<RAS_CachedFont>();
  DWORD quality = DEFAULT_QUALITY;
  switch (request.quality) {
    case 1: quality = NONANTIALIASED_QUALITY; break;
    case 2: quality = ANTIALIASED_QUALITY; break;
    case 3: quality = CLEARTYPE_QUALITY; break;
    default: break;
  }
  // Escapement and orientation in tenths of a degree. An angle whose tenths
  // do not fit in an int is first reduced to less than one turn (the same
  // direction) instead of overflowing.
  const std::int64_t tenths64 = std::int64_t{request.orientation} * 10;
  const int tenths = (tenths64 >= INT32_MIN && tenths64 <= INT32_MAX) ? static_cast<int>(tenths64)
                                                                      : (request.orientation % 360) * 10;
  HFONT handle = CreateFontA(request.size, 0, tenths, tenths, request.style == 1 ? FW_BOLD : FW_NORMAL,
                             request.style == 2 ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH, request.face.c_str());
  if (!handle) return nullptr;
  font->SetFromHFont(handle, kRasFontOwnsHandle | kRasFontDirectAllowed);
  return font;
}

int RAS_CachedFont::ReadLineHeight() {
  RAS_SysBitmap* scratch = EnsureScratch(gGlyphScratch, 256, 256, 256);
  if (!scratch) return 0;
  HDC dc = scratch->getDC();
  HGDIOBJ old = SelectObject(dc, font_);
  TEXTMETRICA metrics{};
  const BOOL ok = GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  return ok ? static_cast<int>(metrics.tmHeight) : 0;
}

void RAS_CachedFont::DeleteFontHandle() { DeleteObject(font_); }

bool RAS_CachedFont::RenderGlyph(int code, Glyph& out) {
  RAS_SysBitmap* scratch = EnsureScratch(gGlyphScratch, 256, 256, 256);
  if (!scratch) return false;
  HDC dc = scratch->getDC();
  HGDIOBJ old = SelectObject(dc, font_);
  wchar_t units[2];
  const int n = ToUtf16(code, units);
  RECT box{0, 0, 0, 0};
  ::DrawTextW(dc, units, n, &box, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
  int width = std::clamp(static_cast<int>(box.right - box.left), 0, kMaxScratch);
  int height = std::clamp(static_cast<int>(box.bottom - box.top), 0, kMaxScratch);
  if (width > scratch->getWidth() || height > scratch->getHeight()) {
    scratch = EnsureScratch(gGlyphScratch, width, height, 256);
    if (!scratch) {
      SelectObject(dc, old);
      return false;
    }
  }
  out.advance = width;
  out.left = 0;
  out.top = 0;
  out.width = width;
  out.height = height;
  out.offset = coverage_.size();
  if (width > 0 && height > 0) {
    FillOpaqueBlack(*scratch, width, height);
    ::SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    RECT cell{0, 0, width, height};
    ::DrawTextW(dc, units, n, &cell, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    coverage_.resize(coverage_.size() + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    ReadCoverage(*scratch, width, height, coverage_, out.offset);
  }
  SelectObject(dc, old);
  return true;
}

bool RAS_CachedFont::TryDirect(RAS_IBitmap* dest, const char* text, int length, RAS_Rect* rect, unsigned flags,
                               int& result) {
  const bool candidate = (flags_ & kRasFontDirectAllowed) && font_ && !(flags & kRasTextUseAlpha) &&
                         !(flags_ & kRasFontNoDirectMask) && (optionWord_ == 0 || (flags & kRasTextSingleLine));
  // The Wine probe runs only for a candidate; GDI text under Wine takes the
  // glyph path (its direct output differs), unless glyphs would be too tall
  // for the glyph scratch bitmap.
  if (!((candidate && !RAS_IsCompatibilityLayer()) || lineHeight_ > 255)) return false;

  result = 0;
  std::wstring wide;
  const bool useWide = RasHasUtf8Sequences(text, length);
  if (useWide) {
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length, nullptr, 0);
    if (units <= 0) return true;  // not convertible: left undrawn
    wide.resize(static_cast<std::size_t>(units));
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length, wide.data(), units) != units) return true;
  }
  auto draw = [&](HDC dc, RECT* box, UINT format) {
    return useWide ? ::DrawTextW(dc, wide.data(), static_cast<int>(wide.size()), box, format)
                   : ::DrawTextA(dc, text, length, box, format);
  };
  const UINT format = flags & ~static_cast<unsigned>(kRasTextUseAlpha);
  const std::uint32_t c = colour_;
  const COLORREF textColour = RGB((c >> 16) & 0xff, (c >> 8) & 0xff, c & 0xff);

  if (dest && dest->getDC()) {
    HDC dc = dest->getDC();
    HGDIOBJ old = SelectObject(dc, font_);
    ::SetTextColor(dc, textColour);
    SetBkMode(dc, TRANSPARENT);
    RECT box{rect->left, rect->top, rect->right, rect->bottom};
    result = draw(dc, &box, format);
    if (format & DT_CALCRECT) *rect = RAS_Rect{box.left, box.top, box.right, box.bottom};
    SelectObject(dc, old);
    GdiFlush();
    return true;
  }

  // No destination DC: measure and draw in the text scratch bitmap, then
  // blend the coverage into the destination at the aligned position.
  RAS_SysBitmap* scratch = EnsureScratch(gTextScratch, 1, 1, 1);
  if (!scratch) return true;
  HDC dc = scratch->getDC();
  HGDIOBJ old = SelectObject(dc, font_);
  RECT box{rect->left, rect->top, rect->right, rect->bottom};
  draw(dc, &box, format | DT_CALCRECT | DT_NOCLIP);
  const int width = std::clamp(static_cast<int>(box.right - box.left), 0, kMaxScratch);
  const int height = std::clamp(static_cast<int>(box.bottom - box.top), 0, kMaxScratch);
  auto toInt = [](std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); };
  if (format & DT_CALCRECT) {
    rect->right = toInt(std::int64_t{rect->left} + width);
    rect->bottom = toInt(std::int64_t{rect->top} + height);
    result = height;
  } else if (width > 0 && height > 0 && (scratch = EnsureScratch(gTextScratch, width, height, 1)) != nullptr) {
    FillOpaqueBlack(*scratch, width, height);
    ::SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    RECT cell{0, 0, width, height};
    draw(dc, &cell, (format & ~static_cast<UINT>(DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM)) | DT_NOCLIP);
    std::vector<std::uint8_t> coverage(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    ReadCoverage(*scratch, width, height, coverage, 0);
    std::int64_t x = rect->left;
    if (format & DT_RIGHT) {
      x = std::int64_t{rect->right} - width;
    } else if (format & DT_CENTER) {
      x = rect->left + (std::int64_t{rect->right} - rect->left - width) / 2;
    }
    BlendCoverage(dest, coverage.data(), width, height, toInt(x), rect->top, (format & DT_NOCLIP) ? nullptr : rect, 255);
    result = height;
  }
  SelectObject(dc, old);
  return true;
}
