#pragma once
// The editor's small records: rectangles, colours, image handles, text styles,
// blends and mouse modifiers. Plain values, usable on any thread.

#include <algorithm>
#include <cstdint>
#include <string>

class RAS_IBitmap;
class RAS_CachedFont;

// A rectangle in editor pixels (logical ones in the panel's layout), right and bottom exclusive. Only the
// all-zero rectangle counts as empty, whatever the extent of another.
struct PixelRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  constexpr bool IsEmpty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  constexpr std::int32_t W() const { return right - left; }
  constexpr std::int32_t H() const { return bottom - top; }
  constexpr bool operator==(const PixelRect&) const = default;

  // The bounding box of both; an empty side gives the other.
  constexpr PixelRect Union(const PixelRect& r) const {
    if (IsEmpty()) return r;
    if (r.IsEmpty()) return *this;
    return {std::min(left, r.left), std::min(top, r.top), std::max(right, r.right), std::max(bottom, r.bottom)};
  }
  // The meeting test of drawing: this (A) meets b when A.right >= b.left,
  // A.left < b.right, A.bottom >= b.top and A.top < b.bottom, neither empty.
  // A rectangle that only touches b with its right or bottom edge meets it.
  constexpr bool Meets(const PixelRect& b) const {
    return !IsEmpty() && !b.IsEmpty() && right >= b.left && left < b.right && bottom >= b.top && top < b.bottom;
  }
  // The intersection box when both are non-empty and this meets r, else empty.
  constexpr PixelRect Clip(const PixelRect& r) const {
    if (!Meets(r)) return {};
    return {std::max(left, r.left), std::max(top, r.top), std::min(right, r.right), std::min(bottom, r.bottom)};
  }
};

// A colour; each component 0..255.
struct ColorArgb {
  std::int32_t a = 255;
  std::int32_t r = 0;
  std::int32_t g = 0;
  std::int32_t b = 0;

  constexpr bool operator==(const ColorArgb&) const = default;
  // alpha << 24 | red << 16 | green << 8 | blue, as the raster library reads it.
  constexpr std::uint32_t Packed() const {
    return (static_cast<std::uint32_t>(a & 255) << 24) | (static_cast<std::uint32_t>(r & 255) << 16) |
           (static_cast<std::uint32_t>(g & 255) << 8) | static_cast<std::uint32_t>(b & 255);
  }
};

// A non-owning handle on a decoded strip of N frames (the bitmap cache owns
// the pixels). Frames are stacked top to bottom unless framesSideBySide.
struct BitmapRef {
  RAS_IBitmap* bitmap = nullptr;
  std::int32_t w = 0;  // whole image
  std::int32_t h = 0;
  std::int32_t n = 1;  // frames, at least 1
  bool framesSideBySide = false;
  std::int32_t id = -1;  // the resource the image came from (-1: none)

  std::int32_t Frames() const { return std::max(n, 1); }
  std::int32_t FrameWidth() const { return framesSideBySide ? w / Frames() : w; }
  std::int32_t FrameHeight() const { return framesSideBySide ? h : h / Frames(); }
  // Top-left source pixel of frame k (0-based): row (or column) round(H·k/N).
  std::int32_t FrameOffset(int k) const {
    const double extent = framesSideBySide ? w : h;
    return static_cast<std::int32_t>(extent * k / Frames() + 0.5);
  }
};

// How text is drawn, and how a text entry for it looks.
struct TextStyle {
  static constexpr std::size_t kFaceMax = 31;

  std::string face = "Verdana";  // at most kFaceMax characters
  std::int32_t size = 12;        // pixels
  ColorArgb colour{255, 0, 0, 0};
  ColorArgb entryBackground{255, 255, 255, 255};
  ColorArgb entryText{255, 0, 0, 0};
  std::int32_t style = 0;        // 0 normal, 1 bold, 2 italic
  std::int32_t align = 1;        // 0 left, 1 centre, 2 right
  std::int32_t orientation = 0;  // degrees
  std::int32_t quality = 0;      // 0 default, 1 plain, 2 antialiased, 3 cleartype
  RAS_CachedFont* font = nullptr;  // filled on first draw from the process-wide font cache
  double fontScale = 1.0;          // the display scale font was made for

  TextStyle() = default;
  TextStyle(const char* faceName, int sizePx, ColorArgb textColour, int alignment = 1, int fontStyle = 0)
      : face(faceName ? std::string(faceName).substr(0, kFaceMax) : std::string()),
        size(sizePx), colour(textColour), style(fontStyle), align(alignment) {}
};

// How a control's pixels combine with what lies below.
struct ChannelBlend {
  enum : std::int32_t { kAlpha = 0, kCopy = 1, kAdd = 2, kDodge = 3 };
  std::int32_t method = kAlpha;
  float weight = 1.0f;
};

// Buttons and modifier keys held during a mouse event.
struct MouseMods {
  bool left = false;
  bool right = false;
  bool shift = false;
  bool control = false;
  bool alt = false;
};

// Keys a platform maps its native keys to; other keys are not delivered.
enum IKeyCode : int {
  kKeySpace = 0,
  kKeyUp = 1,
  kKeyDown = 2,
  kKeyLeft = 3,
  kKeyRight = 4,
  kKeyDigit0 = 5,   // "0".."9" are 5..14
  kKeyLetterA = 15, // "A".."Z" are 15..40
};
