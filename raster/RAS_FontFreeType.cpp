// The platform part of RAS_CachedFont off Windows: faces found by name through
// fontconfig (which falls back to a similar installed face, e.g. a
// metric-compatible or common sans face for "Verdana") and rendered with
// FreeType. There is no direct drawing path: every text takes the glyph path.

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <mutex>

#include "raster/RAS_Font.h"
#include "raster/RAS_FontPlatform.h"

namespace {

// One FreeType library for all faces, alive while any face is.
std::mutex gLibraryLock;
FT_Library gLibrary = nullptr;
int gFaceCount = 0;

// Our own fontconfig configuration, so that the module never touches (or
// finalises) the default one a host may be using. Alive while fonts exist.
std::mutex gConfigLock;
FcConfig* gConfig = nullptr;

FcConfig* Config() {
  std::lock_guard<std::mutex> hold(gConfigLock);
  if (!gConfig) gConfig = FcInitLoadConfigAndFonts();
  return gConfig;
}

FT_Library AcquireLibrary() {
  std::lock_guard<std::mutex> hold(gLibraryLock);
  if (!gLibrary && FT_Init_FreeType(&gLibrary) != 0) gLibrary = nullptr;
  if (gLibrary) ++gFaceCount;
  return gLibrary;
}

void ReleaseLibrary() {
  std::lock_guard<std::mutex> hold(gLibraryLock);
  if (--gFaceCount == 0 && gLibrary) {
    FT_Done_FreeType(gLibrary);
    gLibrary = nullptr;
  }
}

}  // namespace

// A sized FreeType face: the platform font handle of this build.
class RAS_FtFace {
 public:
  static RAS_FtFace* Open(const RAS_FontRequest& request);
  ~RAS_FtFace() {
    {
      std::lock_guard<std::mutex> hold(gLibraryLock);
      FT_Done_Face(face_);
    }
    ReleaseLibrary();
  }
  RAS_FtFace(const RAS_FtFace&) = delete;
  RAS_FtFace& operator=(const RAS_FtFace&) = delete;

  FT_Face face() const { return face_; }
  bool mono() const { return mono_; }
  int ascent() const { return ascent_; }
  int lineHeight() const { return ascent_ + descent_; }

 private:
  RAS_FtFace(FT_Face face, bool mono) : face_(face), mono_(mono) {
    ascent_ = static_cast<int>((face->size->metrics.ascender + 32) >> 6);
    descent_ = static_cast<int>((-face->size->metrics.descender + 32) >> 6);
  }
  FT_Face face_;
  bool mono_;
  int ascent_ = 0;
  int descent_ = 0;
};

RAS_FtFace* RAS_FtFace::Open(const RAS_FontRequest& request) {
  FcConfig* config = Config();
  if (!config) return nullptr;

  // Sizes as GDI reads a font height: positive is the cell height (ascent
  // plus descent), negative the character (em) height, 0 a default.
  // Checked in 64 bits: the most negative int has no positive counterpart.
  const int size = request.size == 0 ? 12 : request.size;
  const std::int64_t magnitude = size < 0 ? -std::int64_t{size} : std::int64_t{size};
  if (magnitude > 4096) return nullptr;
  const int pixels = static_cast<int>(magnitude);

  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return nullptr;
  const std::string family = request.face.empty() ? std::string("sans-serif") : request.face;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, request.style == 1 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, request.style == 2 ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddDouble(pattern, FC_PIXEL_SIZE, pixels);
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  FcResult matchResult = FcResultNoMatch;
  FcPattern* match = nullptr;
  {
    std::lock_guard<std::mutex> hold(gConfigLock);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    match = FcFontMatch(config, pattern, &matchResult);
  }
  FcPatternDestroy(pattern);
  if (!match) return nullptr;

  FcChar8* file = nullptr;
  int index = 0;
  std::string path;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
    path = reinterpret_cast<const char*>(file);
  }
  if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
  FcPatternDestroy(match);
  if (path.empty()) return nullptr;

  FT_Library library = AcquireLibrary();
  if (!library) return nullptr;
  FT_Face face = nullptr;
  FT_Error error = 0;
  {
    std::lock_guard<std::mutex> hold(gLibraryLock);
    error = FT_New_Face(library, path.c_str(), index, &face);
    if (error == 0) {
      if (size > 0 && FT_IS_SCALABLE(face)) {
        FT_Size_RequestRec sizeRequest{};
        sizeRequest.type = FT_SIZE_REQUEST_TYPE_CELL;
        sizeRequest.height = static_cast<FT_Long>(pixels) * 64;
        error = FT_Request_Size(face, &sizeRequest);
      } else {
        error = FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
      }
      if (error != 0) FT_Done_Face(face);
    }
  }
  if (error != 0) {
    ReleaseLibrary();
    return nullptr;
  }
  return new RAS_FtFace(face, request.quality == 1);
}

void RasFontReleaseProcessResources() {
  std::lock_guard<std::mutex> hold(gConfigLock);
  if (gConfig) FcConfigDestroy(gConfig);
  gConfig = nullptr;
}

std::unique_ptr<RAS_CachedFont> RAS_CreatePlatformFont(const RAS_FontRequest& request) {
  RAS_FtFace* face = RAS_FtFace::Open(request);
  if (!face) return nullptr;
  auto font = std::make_unique<RAS_CachedFont>();
  // The font owns the face; direct drawing would be allowed but there is none here.
  font->SetFromHFont(face, kRasFontOwnsHandle | kRasFontDirectAllowed);
  return font;
}

int RAS_CachedFont::ReadLineHeight() { return font_->lineHeight(); }

void RAS_CachedFont::DeleteFontHandle() { delete font_; }

bool RAS_CachedFont::TryDirect(RAS_IBitmap*, const char*, int, RAS_Rect*, unsigned, int&) { return false; }

bool RAS_CachedFont::RenderGlyph(int code, Glyph& out) {
  FT_Face face = font_->face();
  const FT_Int32 load = FT_LOAD_RENDER | (font_->mono() ? (FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) : FT_LOAD_TARGET_NORMAL);
  if (FT_Load_Char(face, static_cast<FT_ULong>(code), load) != 0) return false;
  const FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  out.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  out.left = slot->bitmap_left;
  out.top = font_->ascent() - slot->bitmap_top;
  out.width = static_cast<int>(bitmap.width);
  out.height = static_cast<int>(bitmap.rows);
  out.offset = coverage_.size();
  if (out.width <= 0 || out.height <= 0 || !bitmap.buffer) {
    out.width = 0;
    out.height = 0;
    return true;
  }
  coverage_.resize(coverage_.size() + static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
  std::uint8_t* dst = coverage_.data() + out.offset;
  for (int y = 0; y < out.height; ++y) {
    const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
    for (int x = 0; x < out.width; ++x) {
      std::uint8_t c = 0;
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        c = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      } else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
        const int levels = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255;
        c = static_cast<std::uint8_t>(row[x] * 255 / levels);
      }
      *dst++ = c;
    }
  }
  return true;
}
