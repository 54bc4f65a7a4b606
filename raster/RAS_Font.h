#pragma once
// Text drawn into raster bitmaps with cached fonts.
//
// A RAS_CachedFont either lets the platform draw straight into the
// destination (GDI into a DIB section's DC on Windows) or renders each
// character once, keeps its coverage as a glyph and blends the glyphs into the
// destination with the blit arithmetic. On Windows the font is a GDI font; on
// other systems a FreeType face found through fontconfig.
// Drawing runs on the GUI thread only: the scratch bitmaps are process-wide
// and unlocked.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "raster/RAS_Bitmap.h"

#ifdef _WIN32
// <windows.h> maps DrawText to DrawTextA or DrawTextW; here it is the font's
// own operation. Code that wants GDI's names the A or W variant.
#ifdef DrawText
#undef DrawText
#endif
struct HFONT__;
using RAS_FontHandle = HFONT__*;
#else
class RAS_FtFace;
using RAS_FontHandle = RAS_FtFace*;
#endif

// Packs a colour as alpha << 24 | red << 16 | green << 8 | blue, each
// component limited to 0..255.
std::uint32_t RAS_PackColor(int alpha, int red, int green, int blue);

// DrawText format bits: those of GDI's DrawText plus kRasTextUseAlpha.
enum : unsigned {
  kRasTextLeft = 0x0,
  kRasTextCenter = 0x1,
  kRasTextRight = 0x2,
  kRasTextVCenter = 0x4,
  kRasTextBottom = 0x8,
  kRasTextSingleLine = 0x20,
  kRasTextNoClip = 0x100,
  kRasTextCalcRect = 0x400,
  kRasTextNoPrefix = 0x800,
  kRasTextUseAlpha = 0x40000000,  // blend with the text colour's alpha
};

// Font flags.
enum : int {
  kRasFontPrerender = 0x4,       // render characters 0..127 when the font is set
  kRasFontOwnsHandle = 0x200,    // delete the platform font when replaced or destroyed
  kRasFontDirectAllowed = 0x400, // drawing straight through the platform is allowed
  kRasFontNoDirectMask = 0x1f7,  // any of these keeps text on the glyph path
};

class RAS_IFont {
 public:
  virtual ~RAS_IFont() = default;
  // Replaces the platform font (deleting the old one when owned and
  // different), stores the flags, reads the line height, clears the glyph
  // caches and pre-renders 0..127 with kRasFontPrerender.
  virtual void SetFromHFont(RAS_FontHandle font, int flags) = 0;
  virtual std::uint32_t SetTextColor(std::uint32_t colour) = 0;  // returns the previous colour
  // Three further settings, stored for callers; drawing does not read them.
  virtual int SetOption1(int value) = 0;
  virtual int SetOption2(int value) = 0;
  virtual int SetOption3(int value) = 0;
  // Combine mode: the blit operation the glyphs are blended with (always with
  // the glyph's alpha): 0 alpha-blend, 1 add, 2 dodge, 3 multiply, 4 overlay.
  virtual void SetCombineMode(int mode, float weight) = 0;
  // Draws length bytes of text (all of a NUL-terminated text when length < 0)
  // into rect of dest. With kRasTextCalcRect, rect's right and bottom are set
  // to the text's extent instead (dest may then be null). Returns the text's
  // height, 0 when nothing was drawn or measured.
  virtual int DrawText(RAS_IBitmap* dest, const char* text, int length, RAS_Rect* rect, unsigned flags) = 0;
  virtual std::uint32_t GetTextColor() const = 0;
  virtual RAS_FontHandle GetHFont() const = 0;
  virtual int GetLineHeight() const = 0;
  // Blends the glyph of one character with its cell's top-left at (x, y),
  // inside clip when given. False when the glyph cannot be made.
  virtual bool DrawGlyph(RAS_IBitmap* dest, int character, int x, int y, const RAS_Rect* clip) = 0;
};

class RAS_CachedFont final : public RAS_IFont {
 public:
  RAS_CachedFont();
  RAS_CachedFont(const RAS_CachedFont&) = delete;
  RAS_CachedFont& operator=(const RAS_CachedFont&) = delete;
  ~RAS_CachedFont() override;

  void SetFromHFont(RAS_FontHandle font, int flags) override;
  std::uint32_t SetTextColor(std::uint32_t colour) override;
  int SetOption1(int value) override;
  int SetOption2(int value) override;
  int SetOption3(int value) override;
  void SetCombineMode(int mode, float weight) override;
  int DrawText(RAS_IBitmap* dest, const char* text, int length, RAS_Rect* rect, unsigned flags) override;
  std::uint32_t GetTextColor() const override { return colour_; }
  RAS_FontHandle GetHFont() const override { return font_; }
  int GetLineHeight() const override { return lineHeight_; }
  bool DrawGlyph(RAS_IBitmap* dest, int character, int x, int y, const RAS_Rect* clip) override;

  // Number of live fonts in the process (the scratch bitmaps exist while > 0).
  static int LiveFonts();
  // Glyphs rendered so far by this font (for tests of the cache).
  int RenderedGlyphs() const { return renderedGlyphs_; }

  // One cached character: its cell advance and the coverage box relative to
  // the pen position (top of the line).
  struct Glyph {
    int code = -1;  // -1: not rendered yet
    int advance = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::size_t offset = 0;  // coverage bytes (0..255), width x height, in coverage_
  };

 private:
  // The glyph of code, rendered first when missing and render is true.
  const Glyph* FindGlyph(int code, bool render = true);
  bool RenderGlyph(int code, Glyph& out);  // platform part
  int ReadLineHeight();                    // platform part
  void DeleteFontHandle();                 // platform part
  // Direct platform drawing; returns false when the glyph path must be used.
  bool TryDirect(RAS_IBitmap* dest, const char* text, int length, RAS_Rect* rect, unsigned flags, int& result);
  void BlendCoverage(RAS_IBitmap* dest, const std::uint8_t* coverage, int width, int height, int x, int y,
                     const RAS_Rect* clip, int alpha);
  bool BlendGlyph(RAS_IBitmap* dest, const Glyph& g, int x, int y, const RAS_Rect* clip, int alpha);

  std::uint32_t colour_ = 0xff000000u;
  int option1_ = -1;
  int option2_ = -1;
  int option3_ = 1;
  int combineMode_ = 0;
  float combineWeight_ = 1.0f;
  int flags_ = 0;
  int lineHeight_ = 0;
  int optionWord_ = 0;  // never changed here; non-zero keeps multi-line text off the direct path
  std::vector<Glyph> ascii_;        // 128 records for codes 0..127
  std::vector<Glyph> others_;       // sorted by code
  std::vector<std::uint8_t> coverage_;
  RAS_FontHandle font_ = nullptr;
  RAS_MemBitmap tinted_;            // a glyph coloured for blending
  int renderedGlyphs_ = 0;
};

#ifdef _WIN32
// True when the process runs under Wine (the registry key "Software\Wine"
// exists under HKEY_LOCAL_MACHINE). Probed once, then remembered. GDI text
// there goes through the glyph path.
bool RAS_IsCompatibilityLayer();
// Tests only: 0 or 1 fixes the answer above, -1 makes the next call probe.
void RAS_OverrideCompatibilityLayer(int state);
#endif

// What a font is made from.
struct RAS_FontRequest {
  std::string face = "Verdana";
  int size = 12;         // cell height in pixels
  int orientation = 0;   // degrees
  int style = 0;         // 0 normal, 1 bold, 2 italic
  int quality = 0;       // 0 default, 1 plain, 2 antialiased, 3 cleartype
};

// Makes a font through the platform: CreateFontA on Windows, fontconfig and
// FreeType elsewhere. Null when the platform cannot make it.
std::unique_ptr<RAS_CachedFont> RAS_CreatePlatformFont(const RAS_FontRequest& request);
