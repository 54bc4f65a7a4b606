#include "tests/support/PictureCompare.h"

#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <sstream>
#include <system_error>

#include "raster/RAS_Bitmap.h"

namespace testsupport {

namespace {

std::string Hex(std::uint32_t v) {
  std::ostringstream out;
  out << "0x" << std::hex << std::setw(8) << std::setfill('0') << v;
  return out.str();
}

// The file written, or why not.
std::string Write(const PictureView& picture, const std::string& path) {
  mirel::host::EditorImage image;
  image.width = picture.width;
  image.height = picture.height;
  image.pixels.reserve(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height));
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) image.pixels.push_back(picture.At(x, y));
  }
  std::string error;
  return mirel::host::WritePng(image, path, error) ? path : "(not written: " + error + ")";
}

}  // namespace

PictureView PictureView::Of(const mirel::host::EditorImage& image) {
  return PictureView{image.width, image.height, image.pixels.data(), image.width};
}

PictureView PictureView::Of(RAS_IBitmap& bitmap) {
  const std::uint32_t* bits = bitmap.getBits();
  const std::ptrdiff_t span = bitmap.getRowSpan();
  if (bits == nullptr) return PictureView{};
  if (!bitmap.isFlipped()) return PictureView{bitmap.getWidth(), bitmap.getHeight(), bits, span};
  return PictureView{bitmap.getWidth(), bitmap.getHeight(), bits + (bitmap.getHeight() - 1) * span, -span};
}

std::optional<PictureDifference> FirstDifference(const PictureView& shown, const PictureView& expected,
                                                 const PictureRules& rules) {
  if (shown.width != expected.width || shown.height != expected.height) {
    PictureDifference d;
    d.sizes = true;
    return d;
  }
  const PictureArea all{0, 0, shown.width, shown.height};
  const PictureArea area = rules.region.value_or(all);
  for (int y = std::max(area.top, 0); y < std::min(area.bottom, shown.height); ++y) {
    for (int x = std::max(area.left, 0); x < std::min(area.right, shown.width); ++x) {
      const std::uint32_t a = shown.At(x, y) & rules.mask, b = expected.At(x, y) & rules.mask;
      if (a == b) continue;
      bool skipped = false;
      for (const PictureArea& s : rules.skip) skipped = skipped || s.Holds(x, y);
      if (!skipped) return PictureDifference{false, x, y, a, b};
    }
  }
  return std::nullopt;
}

std::string PictureFolder() {
  const std::string folder = MIREL_TEST_PICTURE_DIR;
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder;
}

::testing::AssertionResult SamePicture(const PictureView& shown, const PictureView& expected,
                                       const std::string& name, const PictureRules& rules) {
  const std::optional<PictureDifference> d = FirstDifference(shown, expected, rules);
  if (!d) return ::testing::AssertionSuccess();
  ::testing::AssertionResult failure = ::testing::AssertionFailure();
  if (d->sizes) {
    failure << name << ": " << shown.width << "x" << shown.height << " shown, " << expected.width << "x"
            << expected.height << " expected";
  } else {
    failure << name << ": first difference at (" << d->x << ", " << d->y << "): " << Hex(d->shown) << " shown, "
            << Hex(d->expected) << " expected (mask " << Hex(rules.mask) << ")";
  }
  const std::string base = PictureFolder() + "/" + name;
  failure << "; pictures in " << Write(shown, base + "-shown.png") << " and " << Write(expected, base + "-expected.png");
  return failure;
}

}  // namespace testsupport
