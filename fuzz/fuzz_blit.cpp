// libFuzzer target: RAS_Blit must never read or write outside either bitmap,
// whatever the positions, rectangle, weight and mode. The bitmaps here are
// allocated to their exact size, so the address sanitizer sees any stray
// access.
#include <cstdint>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "raster/RAS_Blit.h"

namespace {

class ExactBitmap final : public RAS_IBitmap {
 public:
  ExactBitmap(int width, int height, int extraSpan, bool flipped)
      : width_(width), height_(height), span_(width + extraSpan), flipped_(flipped),
        pixels_(static_cast<std::size_t>(span_) * height, 0x80808080u) {}
  std::uint32_t* getBits() override { return pixels_.empty() ? nullptr : pixels_.data(); }
  int getWidth() const override { return width_; }
  int getHeight() const override { return height_; }
  int getRowSpan() const override { return span_; }
  bool isFlipped() const override { return flipped_; }
  bool resize(int, int) override { return false; }
  RAS_DC getDC() const override { return nullptr; }

 private:
  int width_, height_, span_;
  bool flipped_;
  std::vector<std::uint32_t> pixels_;
};

int Extreme(FuzzInput& in) {
  // Half of the time a small coordinate, else any 32-bit value.
  const auto pick = in.Take<std::uint8_t>();
  if (pick & 1) return static_cast<int>(in.Take<std::int8_t>());
  return in.Take<std::int32_t>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  const int flags = in.Take<std::uint8_t>();
  ExactBitmap dest(in.Small(40), in.Small(40), in.Small(4), flags & 1);
  ExactBitmap src(in.Small(40), in.Small(40), in.Small(4), flags & 2);
  const int dx = Extreme(in), dy = Extreme(in);
  RAS_Rect rect{Extreme(in), Extreme(in), Extreme(in), Extreme(in)};
  const float weight = in.Take<float>();
  int mode = in.Take<std::int32_t>();
  if (flags & 8) mode &= 0x100FF;  // mostly the defined modes
  RAS_IBitmap* source = (flags & 4) ? static_cast<RAS_IBitmap*>(&dest) : &src;  // blits within one bitmap too
  RAS_Blit(&dest, source, dx, dy, (flags & 16) ? nullptr : &rect, weight, mode);
  return 0;
}
