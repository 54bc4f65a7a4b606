// libFuzzer target: drawing and measuring arbitrary bytes as text at any
// rectangle with any format flags and colour stays inside the destination.
#include <cstdint>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "raster/RAS_FontCache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static RAS_CachedFont* font = [] {
    RAS_FontRequest request;
    request.size = 14;
    return RAS_FontCache::Process().Get(request);
  }();
  if (!font) return 0;
  FuzzInput in(data, size);
  RAS_MemBitmap canvas(in.Small(64) + 1, in.Small(32) + 1);
  RAS_Rect rect{in.Take<std::int32_t>(), in.Take<std::int32_t>(), in.Take<std::int32_t>(), in.Take<std::int32_t>()};
  if (in.Take<std::uint8_t>() & 1) rect = RAS_Rect{rect.left % 80, rect.top % 40, rect.right % 80, rect.bottom % 40};
  const auto flags = in.Take<std::uint32_t>();
  font->SetTextColor(in.Take<std::uint32_t>());
  const int mode = in.Take<std::uint8_t>() % 6;
  font->SetCombineMode(mode, in.Take<float>());
  std::size_t n = 0;
  const std::uint8_t* text = in.Rest(n);
  std::vector<char> copy(text, text + n);
  font->DrawText(&canvas, copy.data(), static_cast<int>(copy.size()), &rect, flags);
  return 0;
}
