// Cached font text: the font cache's sharing and retry, measuring, where
// drawn text lands, the glyph cache, and (on Windows) the choice between the
// direct GDI path and the glyph path. Also writes a picture of text and a
// blit for a person to look at.

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "tests/raster/RasterTestUtil.h"
#include "raster/RAS_Blit.h"
#include "raster/RAS_FontCache.h"
#include "raster/RAS_Png.h"

using namespace rastertest;

namespace {

constexpr const char* kVersion = "Version 4.1.0";
constexpr std::uint32_t kOpaqueBlack = 0xff000000u;

RAS_FontRequest LabelFont() {
  RAS_FontRequest request;
  request.face = "Verdana";
  request.size = 14;
  return request;
}

bool Lit(std::uint32_t p) { return (p & 0x00ffffffu) != 0; }

// Bounding box of lit pixels; false when none.
bool LitBox(RAS_IBitmap& b, RAS_Rect& box, int& count) {
  count = 0;
  box = RAS_Rect{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (int y = 0; y < b.getHeight(); ++y) {
    for (int x = 0; x < b.getWidth(); ++x) {
      if (!Lit(Pixel(b, x, y))) continue;
      ++count;
      box.left = std::min(box.left, x);
      box.top = std::min(box.top, y);
      box.right = std::max(box.right, x + 1);
      box.bottom = std::max(box.bottom, y + 1);
    }
  }
  return count > 0;
}

}  // namespace

TEST(FontCache, OneFontPerSizeOrientationStyleAndFace) {
  RAS_FontCache cache;
  RAS_CachedFont* a = cache.Get(LabelFont());
  ASSERT_NE(a, nullptr);
  // Text colour is not part of a font: styles differing only in colour (or
  // quality) share the font; the caller sets the colour before drawing.
  RAS_FontRequest sameKey = LabelFont();
  sameKey.quality = 2;
  EXPECT_EQ(cache.Get(sameKey), a);
  EXPECT_EQ(cache.Size(), 1u);

  RAS_FontRequest bold = LabelFont();
  bold.style = 1;
  RAS_FontRequest bigger = LabelFont();
  bigger.size = 20;
  RAS_FontRequest otherFace = LabelFont();
  otherFace.face = "verdana";  // the face compare is exact
  EXPECT_NE(cache.Get(bold), a);
  EXPECT_NE(cache.Get(bigger), a);
  EXPECT_NE(cache.Get(otherFace), a);
  EXPECT_EQ(cache.Size(), 4u);
  EXPECT_GE(RAS_CachedFont::LiveFonts(), 4);
}

TEST(FontCache, AFontThatCannotBeMadeIsNotCachedAndIsTriedAgain) {
  int attempts = 0;
  RAS_FontCache cache([&](const RAS_FontRequest& request) -> std::unique_ptr<RAS_CachedFont> {
    ++attempts;
    if (attempts == 1) return nullptr;  // the platform refuses the first time
    return RAS_CreatePlatformFont(request);
  });
  EXPECT_EQ(cache.Get(LabelFont()), nullptr);
  EXPECT_EQ(cache.Size(), 0u);
  RAS_CachedFont* font = cache.Get(LabelFont());
  EXPECT_NE(font, nullptr);
  EXPECT_EQ(attempts, 2);
  EXPECT_EQ(cache.Get(LabelFont()), font);
  EXPECT_EQ(attempts, 2);
}

TEST(FontCache, ExtremeSizesAndOrientationsGiveAFontOrNothingButNeverFault) {
  // A style's size and angle are plain integers: the platform font is made
  // from any of them (or refused) without overflowing the conversions.
  RAS_FontCache cache;
  const int sizes[] = {INT_MIN, -100000, -14, 0, 1, 14, 100000, INT_MAX};
  const int angles[] = {INT_MIN, -90, 0, 90, 400000000, INT_MAX};
  RAS_MemBitmap canvas(64, 32);
  for (int size : sizes) {
    for (int angle : angles) {
      RAS_FontRequest request = LabelFont();
      request.size = size;
      request.orientation = angle;
      RAS_CachedFont* font = cache.Get(request);
      if (!font) continue;
      RAS_Rect r{0, 0, 0, 0};
      font->DrawText(nullptr, "Ab", -1, &r, kRasTextCalcRect);
      EXPECT_GE(r.right, 0);
      if (size >= -14 && size <= 14) {
        RAS_Rect box{0, 0, 64, 32};
        font->DrawText(&canvas, "Ab", -1, &box, kRasTextLeft);
      }
    }
  }
  // Ordinary sizes are never refused.
  RAS_FontRequest negative = LabelFont();
  negative.size = -14;  // a character height, as GDI reads a negative height
  EXPECT_NE(cache.Get(negative), nullptr);
}

TEST(CachedFont, MeasuresTextAsAPlausibleRectangle) {
  RAS_CachedFont* font = RAS_FontCache::Process().Get(LabelFont());
  ASSERT_NE(font, nullptr);
  EXPECT_GE(font->GetLineHeight(), 12);
  EXPECT_LE(font->GetLineHeight(), 20);

  RAS_Rect r{700, 150, 800, 170};
  const int height = font->DrawText(nullptr, kVersion, -1, &r, kRasTextCenter | kRasTextNoClip | kRasTextCalcRect);
  EXPECT_EQ(r.left, 700);
  EXPECT_EQ(r.top, 150);
  EXPECT_EQ(height, r.bottom - r.top);
  EXPECT_EQ(height, font->GetLineHeight());
  // 13 characters of a 14-pixel sans face: about 5 to 9 pixels each.
  EXPECT_GE(r.right - r.left, 13 * 5);
  EXPECT_LE(r.right - r.left, 13 * 9);

  RAS_Rect wider{0, 0, 0, 0};
  font->DrawText(nullptr, "Version 4.1.0 and more", -1, &wider, kRasTextCalcRect);
  EXPECT_GT(wider.right, r.right - r.left);
  RAS_Rect two{0, 0, 0, 0};
  EXPECT_EQ(font->DrawText(nullptr, "a\nb", -1, &two, kRasTextCalcRect), 2 * font->GetLineHeight());

  // Nothing to draw or measure.
  RAS_Rect none{1, 2, 3, 4};
  EXPECT_EQ(font->DrawText(nullptr, kVersion, -1, &none, 0), 0);
  EXPECT_EQ(font->DrawText(nullptr, "", -1, &none, kRasTextCalcRect), 0);
  EXPECT_EQ(font->DrawText(nullptr, nullptr, 4, &none, kRasTextCalcRect), 0);
  EXPECT_EQ(none.right, 3);
}

namespace {

// Draws the version label white on black, centred in rect as the editor
// does, and checks that lit pixels appear only inside the measured text box.
void CheckLabelDrawing(RAS_IBitmap& canvas) {
  RAS_CachedFont* font = RAS_FontCache::Process().Get(LabelFont());
  ASSERT_NE(font, nullptr);
  Fill(canvas, kOpaqueBlack);
  font->SetTextColor(0xffffffffu);
  const RAS_Rect rect{30, 10, 170, 30};
  RAS_Rect measured = rect;
  font->DrawText(nullptr, kVersion, -1, &measured, kRasTextCenter | kRasTextNoClip | kRasTextCalcRect);
  const int width = measured.right - measured.left, height = measured.bottom - measured.top;
  const int left = rect.left + (rect.right - rect.left - width) / 2;

  RAS_Rect draw = rect;
  font->DrawText(&canvas, kVersion, -1, &draw, kRasTextCenter | kRasTextNoClip);
  RAS_Rect box{};
  int count = 0;
  ASSERT_TRUE(LitBox(canvas, box, count));
  EXPECT_GE(count, 60);
  // One pixel of slack for glyphs that reach past their advance.
  EXPECT_GE(box.left, left - 1);
  EXPECT_LE(box.right, left + width + 1);
  EXPECT_GE(box.top, rect.top);
  EXPECT_LE(box.bottom, rect.top + height);
  // The text spans most of its box: it is the whole label, not a fragment.
  EXPECT_GE(box.right - box.left, width * 3 / 4);
}

}  // namespace

TEST(CachedFont, WhiteLabelOnBlackLightsPixelsOnlyInsideItsRectangle) {
  RAS_MemBitmap memory(200, 40);
  CheckLabelDrawing(memory);
  RAS_SysBitmap system(200, 40);
  CheckLabelDrawing(system);
}

TEST(CachedFont, GlyphsAreRenderedOncePerCharacter) {
  RAS_FontRequest request = LabelFont();
  request.size = 15;  // a font of its own, so the count starts here
  RAS_FontCache cache;
  RAS_CachedFont* font = cache.Get(request);
  ASSERT_NE(font, nullptr);
  RAS_MemBitmap canvas(200, 40);
  RAS_Rect r{0, 0, 200, 40};
  font->DrawText(&canvas, "abcabc", -1, &r, 0);
  font->DrawText(&canvas, "cab", -1, &r, 0);
#ifdef _WIN32
  if (!RAS_IsCompatibilityLayer()) GTEST_SKIP() << "Windows draws into memory bitmaps through GDI";
#endif
  EXPECT_EQ(font->RenderedGlyphs(), 3);
  font->DrawText(&canvas, "\xC3\xA9\xE2\x82\xAC", -1, &r, 0);  // two characters beyond 127, in UTF-8
  EXPECT_EQ(font->RenderedGlyphs(), 5);
  EXPECT_TRUE(font->DrawGlyph(&canvas, 'a', -3, -3, nullptr));  // partly outside: clipped
}

TEST(CachedFont, ClipRectangleAndAlphaAreHonoured) {
  RAS_CachedFont* font = RAS_FontCache::Process().Get(LabelFont());
  ASSERT_NE(font, nullptr);
  RAS_MemBitmap canvas(200, 40);
  Fill(canvas, kOpaqueBlack);
  font->SetTextColor(0xffffffffu);
  // Without no-clip, nothing lands outside the rectangle, even for text wider than it.
  RAS_Rect clip{10, 5, 40, 25};
  font->DrawText(&canvas, "WWWWWWWWWWWW", -1, &clip, kRasTextLeft);
  RAS_Rect box{};
  int count = 0;
  ASSERT_TRUE(LitBox(canvas, box, count));
  EXPECT_GE(box.left, 10);
  EXPECT_LE(box.right, 40);
  EXPECT_GE(box.top, 5);
  EXPECT_LE(box.bottom, 25);

  // A fully transparent colour with the alpha bit draws nothing.
  Fill(canvas, kOpaqueBlack);
  font->SetTextColor(0x00ffffffu);
  RAS_Rect r{0, 0, 200, 40};
  font->DrawText(&canvas, kVersion, -1, &r, kRasTextUseAlpha);
  EXPECT_FALSE(LitBox(canvas, box, count));
  // Far-away rectangles draw nothing and do not overflow.
  font->SetTextColor(0xffffffffu);
  RAS_Rect far{INT32_MAX - 5, INT32_MAX - 5, INT32_MAX, INT32_MAX};
  font->DrawText(&canvas, kVersion, -1, &far, kRasTextCenter | kRasTextNoClip);
  RAS_Rect farLeft{INT32_MIN, INT32_MIN, INT32_MIN + 5, INT32_MIN + 5};
  font->DrawText(&canvas, kVersion, -1, &farLeft, kRasTextRight | kRasTextNoClip);
  EXPECT_FALSE(LitBox(canvas, box, count));
}

TEST(CachedFont, SettersReturnThePreviousValue) {
  RAS_CachedFont font;
  EXPECT_EQ(font.SetTextColor(0x80112233u), 0xff000000u);
  EXPECT_EQ(font.GetTextColor(), 0x80112233u);
  EXPECT_EQ(font.SetOption1(5), -1);
  EXPECT_EQ(font.SetOption2(6), -1);
  EXPECT_EQ(font.SetOption3(7), 1);
  EXPECT_EQ(font.SetOption3(8), 7);
  // Without a platform font nothing is drawn or measured.
  RAS_Rect r{0, 0, 10, 10};
  EXPECT_EQ(font.GetHFont(), nullptr);
  EXPECT_FALSE(font.DrawGlyph(nullptr, 'a', 0, 0, nullptr));
  EXPECT_EQ(font.DrawText(nullptr, "a", 1, &r, kRasTextCalcRect), 0);
}

#ifdef _WIN32
TEST(CachedFont, UnderWineTextTakesTheGlyphPathUnlessLinesAreTallerThan255) {
  // GDI text writes alpha 0 into a DIB section; the glyph path blends opaque
  // pixels. That tells the two paths apart in a bitmap with a DC.
  auto litAlpha = [](RAS_IBitmap& b, int& alpha) {
    for (int y = 0; y < b.getHeight(); ++y)
      for (int x = 0; x < b.getWidth(); ++x)
        if (Lit(Pixel(b, x, y))) {
          alpha = static_cast<int>(Pixel(b, x, y) >> 24);
          return true;
        }
    return false;
  };
  RAS_CachedFont* small = RAS_FontCache::Process().Get(LabelFont());
  ASSERT_NE(small, nullptr);
  RAS_SysBitmap canvas(400, 400);
  Fill(canvas, kOpaqueBlack);
  small->SetTextColor(0xffffffffu);
  RAS_Rect r{0, 0, 400, 400};
  small->DrawText(&canvas, "H", -1, &r, kRasTextNoClip);
  int alpha = -1;
  ASSERT_TRUE(litAlpha(canvas, alpha));
  EXPECT_EQ(alpha, RAS_IsCompatibilityLayer() ? 255 : 0);

  RAS_FontRequest huge = LabelFont();
  huge.size = 300;
  RAS_CachedFont* big = RAS_FontCache::Process().Get(huge);
  ASSERT_NE(big, nullptr);
  EXPECT_GT(big->GetLineHeight(), 255);
  Fill(canvas, kOpaqueBlack);
  big->SetTextColor(0xffffffffu);
  big->DrawText(&canvas, "H", -1, &r, kRasTextNoClip);
  ASSERT_TRUE(litAlpha(canvas, alpha));
  EXPECT_EQ(alpha, 0);  // straight through GDI
}

TEST(CachedFont, DirectGdiPathWithAndWithoutADestinationDC) {
  // The path real Windows takes, forced here so that Wine runs it too.
  RAS_OverrideCompatibilityLayer(0);
  RAS_SysBitmap withDc(200, 40);
  CheckLabelDrawing(withDc);  // GDI draws into the section's DC
  RAS_MemBitmap withoutDc(200, 40);
  CheckLabelDrawing(withoutDc);  // drawn in a scratch bitmap and blended in
  // GDI leaves alpha 0 in its text pixels; the blended coverage is opaque.
  bool sawGdiAlpha = false, sawBlendAlpha = false;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 200; ++x) {
      if (Lit(Pixel(withDc, x, y)) && (Pixel(withDc, x, y) >> 24) == 0) sawGdiAlpha = true;
      if (Lit(Pixel(withoutDc, x, y)) && (Pixel(withoutDc, x, y) >> 24) == 255) sawBlendAlpha = true;
    }
  }
  EXPECT_TRUE(sawGdiAlpha);
  EXPECT_TRUE(sawBlendAlpha);

  // Measuring without a destination, and UTF-8 text through the wide call.
  RAS_CachedFont* font = RAS_FontCache::Process().Get(LabelFont());
  ASSERT_NE(font, nullptr);
  RAS_Rect r{10, 10, 10, 10};
  EXPECT_GT(font->DrawText(nullptr, "Caf\xC3\xA9", -1, &r, kRasTextCalcRect), 0);
  EXPECT_GT(r.right - r.left, 10);
  RAS_OverrideCompatibilityLayer(-1);
}
#endif

TEST(RasterSnapshot, TextAndABlitWrittenAsAPicture) {
  RAS_SysBitmap canvas(240, 120);
  ASSERT_NE(canvas.getBits(), nullptr);
  auto background = LoadBitmapFromResource(105, "resources/img/BG.png");
  auto knob = LoadBitmapFromResource(114, "resources/img/IN.png");
  ASSERT_NE(background, nullptr);
  ASSERT_NE(knob, nullptr);
  RAS_Blit(&canvas, background.get(), 0, 0, nullptr, 1.0f, kRasBlitCopy);
  // Frame 30 of the 61-frame knob strip, alpha-blended.
  const int frameHeight = knob->getHeight() / 61;
  const RAS_Rect frame{0, 30 * frameHeight, knob->getWidth(), 31 * frameHeight};
  RAS_Blit(&canvas, knob.get(), 12, 12, &frame, 1.0f, kRasBlitCopyAlpha);

  RAS_CachedFont* font = RAS_FontCache::Process().Get(LabelFont());
  ASSERT_NE(font, nullptr);
  font->SetTextColor(0xffffffffu);
  RAS_Rect label{100, 40, 230, 60};
  EXPECT_GT(font->DrawText(&canvas, kVersion, -1, &label, kRasTextCenter | kRasTextNoClip), 0);
  font->SetTextColor(0xffe0a030u);
  RAS_Rect second{100, 70, 230, 90};
  font->DrawText(&canvas, "Ratio 4:1", -1, &second, kRasTextCenter | kRasTextNoClip);

#ifdef _WIN32
  const std::string path = std::string(MIREL_TEST_OUTPUT_DIR) + "/raster_snapshot_windows.png";
#else
  const std::string path = std::string(MIREL_TEST_OUTPUT_DIR) + "/raster_snapshot_linux.png";
#endif
  // GDI may leave alpha 0 in text pixels; the picture is opaque.
  for (int y = 0; y < canvas.getHeight(); ++y)
    for (int x = 0; x < canvas.getWidth(); ++x) SetPixel(canvas, x, y, Pixel(canvas, x, y) | 0xff000000u);
  ASSERT_TRUE(WritePng(path, canvas)) << path;
  std::printf("picture: %s\n", path.c_str());

  // The file decodes back to the same pixels.
  std::FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::vector<std::uint8_t> bytes;
  for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<std::uint8_t>(c));
  std::fclose(f);
  auto back = DecodePngFromMemory(bytes.data(), bytes.size());
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->getWidth(), 240);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 240; ++x) ASSERT_EQ(Pixel(*back, x, y), Pixel(canvas, x, y));
}
