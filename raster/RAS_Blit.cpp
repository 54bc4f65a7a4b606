#include "raster/RAS_Blit.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using Byte = std::uint8_t;

inline Byte Clamp255(int v) { return static_cast<Byte>(v < 0 ? 0 : (v > 255 ? 255 : v)); }
inline Byte Clamp255(std::int64_t v) { return static_cast<Byte>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Results outside 0..255 (possible with weights above 1.0 where the
// arithmetic does not clamp) keep their low byte, as an 8-bit store does.
inline Byte Low(int v) { return static_cast<Byte>(v & 0xff); }

// The rows of one clipped blit: row y of source and destination, columns from
// the clipped origins.
struct Span {
  Byte* dst;
  const Byte* src;
  int width;
};

inline Byte DodgeByte(int d, int s, int w) {
  const int t = s * w / 256;
  if (t < 255) return Clamp255((d << 8) / (256 - t));
  return Clamp255(d << 8);
}

inline Byte MultiplyByte(int d, int s, int w) {
  // Products stay within 32 bits for |w| <= 16384.
  return Low((d * (w * (s - 256) + 65536)) >> 16);
}

inline Byte OverlayByte(int d, int s, int w) {
  const std::int64_t sw = std::int64_t{s} * w;
  const std::int64_t c = std::int64_t{256 - w} * 128;
  const std::int64_t inner = (32768 - sw - c) * d / 256 + sw + c;
  return Clamp255((inner * d) >> 15);
}

// Integer hue/saturation/value with a 384-step hue circle (six sectors of 64).
struct Hsv {
  int h, s, v;
};

Hsv ToHsv(int r, int g, int b) {
  const int maxC = std::max({r, g, b});
  const int minC = std::min({r, g, b});
  const int delta = maxC - minC;
  Hsv out{0, 0, maxC};
  if (maxC == 0 || delta == 0) return out;
  out.s = delta * 255 / maxC;
  if (maxC == r) {
    out.h = 64 * (g - b) / delta;
  } else if (maxC == g) {
    out.h = 128 + 64 * (b - r) / delta;
  } else {
    out.h = 256 + 64 * (r - g) / delta;
  }
  if (out.h < 0) out.h += 384;
  return out;
}

void FromHsv(const Hsv& c, int& r, int& g, int& b) {
  if (c.s == 0) {
    r = g = b = c.v;
    return;
  }
  const int sector = c.h / 64;
  const int f = c.h % 64;
  const int p = c.v * (255 - c.s) / 255;
  const int q = c.v * (255 - c.s * f / 64) / 255;
  const int t = c.v * (255 - c.s * (64 - f) / 64) / 255;
  switch (sector) {
    case 0: r = c.v; g = t; b = p; break;
    case 1: r = q; g = c.v; b = p; break;
    case 2: r = p; g = c.v; b = t; break;
    case 3: r = p; g = q; b = c.v; break;
    case 4: r = t; g = p; b = c.v; break;
    default: r = c.v; g = p; b = q; break;
  }
}

// Pixel bytes: [0] blue, [1] green, [2] red, [3] alpha.
void HsvAdjustPixel(Byte* d, const Byte* s, int w) {
  Hsv c = ToHsv(d[2], d[1], d[0]);
  const int red15 = s[2] + s[2] / 2;  // 1.5 x red in integer halves
  int hue = c.h + w * (red15 - 192) / 256;
  hue %= 384;
  if (hue < 0) hue += 384;
  c.h = hue;
  c.s = Clamp255(c.s + w * (s[1] - 128) / 128);
  c.v = Clamp255(c.v + w * (s[0] - 128) / 128);
  int r = 0, g = 0, b = 0;
  FromHsv(c, r, g, b);
  d[0] = Clamp255(b);
  d[1] = Clamp255(g);
  d[2] = Clamp255(r);
  d[3] = s[3];
}

void CopyRow(const Span& sp) {
  std::memmove(sp.dst, sp.src, static_cast<std::size_t>(sp.width) * 4);
}

void HalfRow(const Span& sp) {
  for (int x = 0; x < sp.width; ++x) {
    std::uint32_t d, s;
    std::memcpy(&d, sp.dst + 4 * x, 4);
    std::memcpy(&s, sp.src + 4 * x, 4);
    const std::uint32_t out = ((d >> 1) & 0x7f7f7f7fu) + ((s >> 1) & 0x7f7f7f7fu);
    std::memcpy(sp.dst + 4 * x, &out, 4);
  }
}

void BlendRow(const Span& sp, int w) {
  for (int i = 0; i < sp.width * 4; ++i) {
    const int d = sp.dst[i], s = sp.src[i];
    sp.dst[i] = Low(s + (d - s) * (256 - w) / 256);
  }
}

void AddRow(const Span& sp, int w) {
  for (int i = 0; i < sp.width * 4; ++i) sp.dst[i] = Clamp255(sp.dst[i] + sp.src[i] * w / 256);
}

void DodgeRow(const Span& sp, int w) {
  for (int i = 0; i < sp.width * 4; ++i) sp.dst[i] = DodgeByte(sp.dst[i], sp.src[i], w);
}

void MultiplyRow(const Span& sp, int w) {
  for (int i = 0; i < sp.width * 4; ++i) sp.dst[i] = MultiplyByte(sp.dst[i], sp.src[i], w);
}

void OverlayRow(const Span& sp, int w) {
  for (int i = 0; i < sp.width * 4; ++i) sp.dst[i] = OverlayByte(sp.dst[i], sp.src[i], w);
}

void HsvRow(const Span& sp, int w) {
  for (int x = 0; x < sp.width; ++x) HsvAdjustPixel(sp.dst + 4 * x, sp.src + 4 * x, w);
}

void CopyAlphaRow(const Span& sp, int w) {
  for (int x = 0; x < sp.width; ++x) {
    Byte* d = sp.dst + 4 * x;
    const Byte* s = sp.src + 4 * x;
    const int a = s[3];
    if (a == 0) continue;  // fully transparent: skipped
    if (w == 256) {
      if (a == 255) {
        std::memcpy(d, s, 4);
        continue;
      }
      d[3] = static_cast<Byte>(std::min(255, a + d[3]));
      for (int c = 0; c < 3; ++c) d[c] = Low(s[c] + (d[c] - s[c]) * (255 - a) / 256);
    } else {
      const int o = w * (a + 1) / 256;
      d[3] = Low(std::min(255, o + d[3]));
      for (int c = 0; c < 3; ++c) d[c] = Low(s[c] + (d[c] - s[c]) * (256 - o) / 256);
    }
  }
}

void AddAlphaRow(const Span& sp, int w) {
  for (int x = 0; x < sp.width; ++x) {
    Byte* d = sp.dst + 4 * x;
    const Byte* s = sp.src + 4 * x;
    const int a = s[3];
    if (a == 0) continue;
    const int f = w * (a + 1) / 256;
    for (int c = 0; c < 3; ++c) d[c] = Clamp255(d[c] + s[c] * f / 256);
    d[3] = Clamp255(d[3] + a * f / 256);
  }
}

// Dodge, overlay and HSV adjust with the weight scaled by the source alpha.
template <typename PixelOp>
void ScaledAlphaRow(const Span& sp, int w, PixelOp op) {
  for (int x = 0; x < sp.width; ++x) {
    Byte* d = sp.dst + 4 * x;
    const Byte* s = sp.src + 4 * x;
    const int a = s[3];
    if (a == 0) continue;
    op(d, s, w * (a + 1) / 256);
  }
}

void MultiplyAlphaRow(const Span& sp, int w) {
  for (int x = 0; x < sp.width; ++x) {
    Byte* d = sp.dst + 4 * x;
    const Byte* s = sp.src + 4 * x;
    const int a = s[3];
    if (a == 0) continue;
    const int e = w * (a + 1) / 256;
    const std::int64_t g = std::int64_t{256 - e} * 256;
    for (int c = 0; c < 4; ++c) d[c] = Low(static_cast<int>(((std::int64_t{s[c]} * e + g) * d[c]) >> 16));
  }
}

void ChannelCopyRow(const Span& sp, int mode) {
  const int to = (mode >> 2) & 3, from = mode & 3;
  for (int x = 0; x < sp.width; ++x) sp.dst[4 * x + to] = sp.src[4 * x + from];
}

// A bitmap is usable when it has pixels and a row span that holds its width.
bool Usable(RAS_IBitmap* b) {
  return b->getBits() && b->getWidth() > 0 && b->getHeight() > 0 && b->getRowSpan() >= b->getWidth();
}

Byte* RowAddress(RAS_IBitmap* b, std::int64_t y, std::int64_t x) {
  const std::int64_t row = b->isFlipped() ? (b->getHeight() - 1 - y) : y;
  return reinterpret_cast<Byte*>(b->getBits()) + (row * b->getRowSpan() + x) * 4;
}

}  // namespace

void RAS_Blit(RAS_IBitmap* dest, RAS_IBitmap* src, int dstX, int dstY,
              const RAS_Rect* srcRect, float weight, int mode) {
  if (!dest || !src || weight == 0.0f || std::isnan(weight)) return;
  if (!Usable(dest) || !Usable(src)) return;

  // All clipping runs in 64 bits so that no combination of arguments can wrap.
  const std::int64_t srcW = src->getWidth(), srcH = src->getHeight();
  const std::int64_t dstW = dest->getWidth(), dstH = dest->getHeight();
  std::int64_t sx0 = 0, sy0 = 0, sx1 = srcW, sy1 = srcH;
  if (srcRect) {
    sx0 = srcRect->left;
    sy0 = srcRect->top;
    sx1 = srcRect->right;
    sy1 = srcRect->bottom;
  }
  std::int64_t dx = dstX, dy = dstY;
  // A source origin left of or above the bitmap moves the destination point.
  if (sx0 < 0) { dx -= sx0; sx0 = 0; }
  if (sy0 < 0) { dy -= sy0; sy0 = 0; }
  sx1 = std::min(sx1, srcW);
  sy1 = std::min(sy1, srcH);
  // A destination point left of or above the bitmap advances the source.
  if (dx < 0) { sx0 -= dx; dx = 0; }
  if (dy < 0) { sy0 -= dy; dy = 0; }
  std::int64_t width = std::min(sx1 - sx0, dstW - dx);
  std::int64_t height = std::min(sy1 - sy0, dstH - dy);
  if (width <= 0 || height <= 0) return;

  // (int)(weight x 256), truncated; limited so the per-byte products fit.
  const float limited = std::clamp(weight, -64.0f, 64.0f);
  const int w = static_cast<int>(limited * 256.0f);
  const int op = mode & 0xff;
  const bool useAlpha = (mode & kRasBlitUseAlpha) != 0;

  for (std::int64_t y = 0; y < height; ++y) {
    const Span sp{RowAddress(dest, dy + y, dx), RowAddress(src, sy0 + y, sx0), static_cast<int>(width)};
    if (op >= 0xF0) {
      ChannelCopyRow(sp, mode);
      continue;
    }
    if (!useAlpha) {
      switch (op) {
        case kRasBlitCopy:
          if (weight == 1.0f || w == 256) {
            CopyRow(sp);
          } else if (weight == 0.5f) {
            HalfRow(sp);
          } else if (w >= 1) {
            BlendRow(sp, w);
          }
          break;
        case kRasBlitAdd: AddRow(sp, w); break;
        case kRasBlitDodge: DodgeRow(sp, w); break;
        case kRasBlitMultiply: MultiplyRow(sp, w); break;
        case kRasBlitOverlay: OverlayRow(sp, w); break;
        case kRasBlitHsvAdjust: HsvRow(sp, w); break;
        default: return;
      }
    } else {
      switch (op) {
        case kRasBlitCopy: CopyAlphaRow(sp, w); break;
        case kRasBlitAdd: AddAlphaRow(sp, w); break;
        case kRasBlitDodge:
          ScaledAlphaRow(sp, w, [](Byte* d, const Byte* s, int ws) {
            for (int c = 0; c < 4; ++c) d[c] = DodgeByte(d[c], s[c], ws);
          });
          break;
        case kRasBlitMultiply: MultiplyAlphaRow(sp, w); break;
        case kRasBlitOverlay:
          ScaledAlphaRow(sp, w, [](Byte* d, const Byte* s, int ws) {
            for (int c = 0; c < 4; ++c) d[c] = OverlayByte(d[c], s[c], ws);
          });
          break;
        case kRasBlitHsvAdjust: ScaledAlphaRow(sp, w, HsvAdjustPixel); break;
        default: return;
      }
    }
  }
}
