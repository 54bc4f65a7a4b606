// libFuzzer target: a frame set (an image's frames stored one by one, read
// from the module's resources) must never crash, read outside its bytes or
// hand out a frame of another size than the set declares, whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "raster/RAS_FrameSet.h"

// Keeps the pixel sum alive so that the reads below are not optimised away.
volatile std::uint32_t sink;

namespace {

void Touch(const RAS_IBitmap& b, int w, int h) {
  if (b.getWidth() != w || b.getHeight() != h) __builtin_trap();
  std::uint32_t sum = 0;
  auto* self = const_cast<RAS_IBitmap*>(&b);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) sum += self->getBits()[static_cast<std::size_t>(y) * b.getRowSpan() + x];
  sink = sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto set = RAS_FrameSet::Open(std::span<const unsigned char>(data, size));
  if (!set) return 0;
  const int w = set->FrameWidth();
  const int h = set->FrameHeight();
  auto base = set->DecodeBase();
  if (base) Touch(*base, w, h);
  if (set->HasBase() != (base != nullptr) && base) __builtin_trap();
  // Every frame, and the indices just outside the set.
  const int frames = set->Frames() < 64 ? set->Frames() : 64;
  for (int k = -1; k <= frames; ++k) {
    auto frame = set->DecodeFrame(k, base.get());
    if (!frame) continue;
    if (k < 0 || k >= set->Frames()) __builtin_trap();
    Touch(*frame, w, h);
  }
  return 0;
}
