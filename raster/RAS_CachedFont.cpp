#include "raster/RAS_Font.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "raster/RAS_Blit.h"
#include "raster/RAS_FontPlatform.h"

namespace {

std::atomic<int> gLiveFonts{0};

// Length of the valid UTF-8 sequence at p (2..4), or 0.
int Utf8SequenceAt(const unsigned char* p, int left, int& code) {
  const unsigned char b = p[0];
  int n = 0;
  int min = 0;
  if (b >= 0xC2 && b <= 0xDF) { n = 2; code = b & 0x1F; min = 0x80; }
  else if (b >= 0xE0 && b <= 0xEF) { n = 3; code = b & 0x0F; min = 0x800; }
  else if (b >= 0xF0 && b <= 0xF4) { n = 4; code = b & 0x07; min = 0x10000; }
  else return 0;
  if (left < n) return 0;
  for (int i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (p[i] & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

std::vector<int> RasDecodeUtf8(const char* text, int length) {
  std::vector<int> codes;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  for (int i = 0; i < length;) {
    int code = 0;
    const int n = Utf8SequenceAt(p + i, length - i, code);
    if (n > 0) {
      codes.push_back(code);
      i += n;
    } else {
      codes.push_back(p[i]);
      ++i;
    }
  }
  return codes;
}

bool RasHasUtf8Sequences(const char* text, int length) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  for (int i = 0; i < length; ++i) {
    int code = 0;
    if (p[i] >= 0x80 && Utf8SequenceAt(p + i, length - i, code) > 0) return true;
  }
  return false;
}

std::uint32_t RAS_PackColor(int alpha, int red, int green, int blue) {
  auto c = [](int v) { return static_cast<std::uint32_t>(std::clamp(v, 0, 255)); };
  return c(alpha) << 24 | c(red) << 16 | c(green) << 8 | c(blue);
}

RAS_CachedFont::RAS_CachedFont() : ascii_(128) { ++gLiveFonts; }

RAS_CachedFont::~RAS_CachedFont() {
  if (font_ && (flags_ & kRasFontOwnsHandle)) DeleteFontHandle();
  font_ = nullptr;
  if (--gLiveFonts == 0) RasFontReleaseProcessResources();
}

int RAS_CachedFont::LiveFonts() { return gLiveFonts.load(); }

void RAS_CachedFont::SetFromHFont(RAS_FontHandle font, int flags) {
  if (font_ && font_ != font && (flags_ & kRasFontOwnsHandle)) DeleteFontHandle();
  font_ = font;
  flags_ = flags;
  lineHeight_ = font_ ? ReadLineHeight() : 0;
  ascii_.assign(128, Glyph{});
  others_.clear();
  coverage_.clear();
  if (font_ && (flags_ & kRasFontPrerender)) {
    for (int c = 0; c < 128; ++c) FindGlyph(c);
  }
}

std::uint32_t RAS_CachedFont::SetTextColor(std::uint32_t colour) { return std::exchange(colour_, colour); }
int RAS_CachedFont::SetOption1(int value) { return std::exchange(option1_, value); }
int RAS_CachedFont::SetOption2(int value) { return std::exchange(option2_, value); }
int RAS_CachedFont::SetOption3(int value) { return std::exchange(option3_, value); }

void RAS_CachedFont::SetCombineMode(int mode, float weight) {
  combineMode_ = mode;
  combineWeight_ = weight;
}

const RAS_CachedFont::Glyph* RAS_CachedFont::FindGlyph(int code, bool render) {
  if (code < 0 || !font_) return nullptr;
  if (code < 128) {
    Glyph& g = ascii_[static_cast<std::size_t>(code)];
    if (g.code < 0) {
      if (!render) return nullptr;
      Glyph made;
      if (!RenderGlyph(code, made)) return nullptr;
      made.code = code;
      g = made;
      ++renderedGlyphs_;
    }
    return &g;
  }
  auto it = std::lower_bound(others_.begin(), others_.end(), code,
                             [](const Glyph& g, int c) { return g.code < c; });
  if (it != others_.end() && it->code == code) return &*it;
  if (!render) return nullptr;
  Glyph made;
  if (!RenderGlyph(code, made)) return nullptr;
  made.code = code;
  ++renderedGlyphs_;
  return &*others_.insert(it, made);
}

void RAS_CachedFont::BlendCoverage(RAS_IBitmap* dest, const std::uint8_t* coverage, int width, int height, int x,
                                   int y, const RAS_Rect* clip, int alpha) {
  // The part of the box [x, x + width) x [y, y + height) inside clip, in 64
  // bits so that no position can wrap.
  std::int64_t x0 = x, y0 = y, x1 = std::int64_t{x} + width, y1 = std::int64_t{y} + height;
  if (clip) {
    x0 = std::max<std::int64_t>(x0, clip->left);
    y0 = std::max<std::int64_t>(y0, clip->top);
    x1 = std::min<std::int64_t>(x1, clip->right);
    y1 = std::min<std::int64_t>(y1, clip->bottom);
  }
  x0 = std::max<std::int64_t>(x0, 0);
  y0 = std::max<std::int64_t>(y0, 0);
  x1 = std::min<std::int64_t>(x1, dest->getWidth());
  y1 = std::min<std::int64_t>(y1, dest->getHeight());
  if (x1 <= x0 || y1 <= y0) return;
  const int w = static_cast<int>(x1 - x0), h = static_cast<int>(y1 - y0);
  tinted_.resize(w, h);
  if (tinted_.getWidth() != w || tinted_.getHeight() != h) return;

  const std::uint32_t rgb = colour_ & 0x00ffffffu;
  const int skipX = static_cast<int>(x0 - x), skipY = static_cast<int>(y0 - y);
  std::uint32_t* bits = tinted_.getBits();
  for (int row = 0; row < h; ++row) {
    const std::uint8_t* cov = coverage + static_cast<std::size_t>(row + skipY) * width + skipX;
    std::uint32_t* out = bits + static_cast<std::size_t>(row) * tinted_.getRowSpan();
    for (int col = 0; col < w; ++col) {
      const auto a = static_cast<std::uint32_t>(cov[col] * alpha / 255);
      out[col] = a << 24 | rgb;
    }
  }
  const int op = (combineMode_ >= 0 && combineMode_ <= kRasBlitOverlay) ? combineMode_ : kRasBlitCopy;
  RAS_Blit(dest, &tinted_, static_cast<int>(x0), static_cast<int>(y0), nullptr, combineWeight_,
           kRasBlitUseAlpha | op);
}

bool RAS_CachedFont::BlendGlyph(RAS_IBitmap* dest, const Glyph& g, int x, int y, const RAS_Rect* clip, int alpha) {
  if (g.width <= 0 || g.height <= 0) return true;  // blank (a space)
  const std::int64_t left = std::int64_t{x} + g.left, top = std::int64_t{y} + g.top;
  if (left < INT32_MIN || left > INT32_MAX || top < INT32_MIN || top > INT32_MAX) return true;
  BlendCoverage(dest, coverage_.data() + g.offset, g.width, g.height, static_cast<int>(left),
                static_cast<int>(top), clip, alpha);
  return true;
}

bool RAS_CachedFont::DrawGlyph(RAS_IBitmap* dest, int character, int x, int y, const RAS_Rect* clip) {
  if (!dest) return false;
  const Glyph* g = FindGlyph(character);
  if (!g) return false;
  return BlendGlyph(dest, *g, x, y, clip, static_cast<int>(colour_ >> 24));
}

int RAS_CachedFont::DrawText(RAS_IBitmap* dest, const char* text, int length, RAS_Rect* rect, unsigned flags) {
  const bool measure = (flags & kRasTextCalcRect) != 0;
  if (!dest && !measure) return 0;
  if (!text || !rect) return 0;
  if (length < 0) length = static_cast<int>(std::min<std::size_t>(std::strlen(text), INT32_MAX));
  if (length == 0) return 0;

  int result = 0;
  if (TryDirect(dest, text, length, rect, flags, result)) return result;

  // Glyph path: character codes, split into lines unless single-line.
  const std::vector<int> codes = RasDecodeUtf8(text, length);
  std::vector<std::vector<int>> lineCodes(1);
  const bool singleLine = (flags & kRasTextSingleLine) != 0;
  for (int code : codes) {
    if (code == '\r') continue;
    if (code == '\n') {
      if (!singleLine) lineCodes.emplace_back();
      continue;
    }
    FindGlyph(code, true);  // renders what is missing
    lineCodes.back().push_back(code);
  }
  // Pointers are taken only now: rendering inserts into others_ and would
  // move its records.
  std::vector<std::vector<const Glyph*>> lines;
  for (const auto& line : lineCodes) {
    auto& out = lines.emplace_back();
    for (int code : line) {
      if (const Glyph* g = FindGlyph(code, false)) out.push_back(g);
    }
  }

  std::vector<std::int64_t> widths;
  std::int64_t maxWidth = 0;
  for (const auto& line : lines) {
    std::int64_t w = 0;
    for (const Glyph* g : line) w += g->advance;
    widths.push_back(w);
    maxWidth = std::max(maxWidth, w);
  }
  const std::int64_t lineHeight = lineHeight_;
  const std::int64_t height = lineHeight * static_cast<std::int64_t>(lines.size());
  const int heightResult = static_cast<int>(std::min<std::int64_t>(height, INT32_MAX));

  if (measure) {
    rect->right = static_cast<int>(std::clamp<std::int64_t>(rect->left + maxWidth, INT32_MIN, INT32_MAX));
    rect->bottom = static_cast<int>(std::clamp<std::int64_t>(rect->top + height, INT32_MIN, INT32_MAX));
    return heightResult;
  }

  std::int64_t y = rect->top;
  if (singleLine && (flags & kRasTextVCenter)) {
    y = rect->top + (std::int64_t{rect->bottom} - rect->top - lineHeight) / 2;
  } else if (singleLine && (flags & kRasTextBottom)) {
    y = std::int64_t{rect->bottom} - lineHeight;
  }
  const RAS_Rect* clip = (flags & kRasTextNoClip) ? nullptr : rect;
  const int alpha = (flags & kRasTextUseAlpha) ? static_cast<int>(colour_ >> 24) : 255;
  for (std::size_t i = 0; i < lines.size(); ++i, y += lineHeight) {
    std::int64_t x = rect->left;
    if (flags & kRasTextRight) {
      x = rect->right - widths[i];
    } else if (flags & kRasTextCenter) {
      x = rect->left + (std::int64_t{rect->right} - rect->left - widths[i]) / 2;
    }
    for (const Glyph* g : lines[i]) {
      if (x >= INT32_MIN && x <= INT32_MAX && y >= INT32_MIN && y <= INT32_MAX) {
        BlendGlyph(dest, *g, static_cast<int>(x), static_cast<int>(y), clip, alpha);
      }
      x += g->advance;
    }
  }
  return heightResult;
}
