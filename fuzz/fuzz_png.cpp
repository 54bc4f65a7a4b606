// libFuzzer target: PNG decoding from memory must never crash, read out of
// bounds or allocate for oversized images, whatever the bytes.
#include <cstddef>
#include <cstdint>

#include "raster/RAS_Png.h"

// Keeps the pixel sum alive so that the reads above are not optimised away.
volatile std::uint32_t sink;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto bitmap = DecodePngFromMemory(data, size);
  if (bitmap) {
    // Touch every pixel so the sanitizers see the whole decoded image.
    std::uint32_t sum = 0;
    for (int y = 0; y < bitmap->getHeight(); ++y)
      for (int x = 0; x < bitmap->getWidth(); ++x)
        sum += bitmap->getBits()[static_cast<std::size_t>(y) * bitmap->getRowSpan() + x];
    if (bitmap->getWidth() > kRasMaxPngDimension || bitmap->getHeight() > kRasMaxPngDimension) __builtin_trap();
    sink = sum;
  }
  return 0;
}
