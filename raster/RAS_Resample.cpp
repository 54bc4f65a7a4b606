#include "raster/RAS_Resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// The source pixels one target pixel covers along an axis, with weights
// summing to 1.
struct Span {
  int first = 0;
  std::vector<float> weights;
};

std::vector<Span> AreaSpans(int srcSize, int dstSize) {
  std::vector<Span> spans(static_cast<std::size_t>(dstSize));
  const double ratio = static_cast<double>(srcSize) / dstSize;
  for (int d = 0; d < dstSize; ++d) {
    const double lo = d * ratio;
    const double hi = std::min(static_cast<double>(srcSize), (d + 1) * ratio);
    Span& s = spans[static_cast<std::size_t>(d)];
    s.first = static_cast<int>(std::floor(lo));
    const int last = std::min(srcSize - 1, static_cast<int>(std::ceil(hi)) - 1);
    for (int i = s.first; i <= last; ++i) {
      const double w = std::min(hi, i + 1.0) - std::max(lo, static_cast<double>(i));
      s.weights.push_back(static_cast<float>(std::max(0.0, w) / (hi - lo)));
    }
  }
  return spans;
}

// Resizes the frame at (sx0, sy0) of src into the whole of out.
void ResampleInto(RAS_IBitmap& src, int sx0, int sy0, const std::vector<Span>& xs, const std::vector<Span>& ys,
                  RAS_MemBitmap& out) {
  const std::uint32_t* in = src.getBits();
  const int inSpan = src.getRowSpan();
  std::uint32_t* dst = out.getBits();
  const int outSpan = out.getRowSpan();
  const int dstFrameW = static_cast<int>(xs.size());
  const int dstFrameH = static_cast<int>(ys.size());
  for (int y = 0; y < dstFrameH; ++y) {
    const Span& sy = ys[static_cast<std::size_t>(y)];
    for (int x = 0; x < dstFrameW; ++x) {
      const Span& sx = xs[static_cast<std::size_t>(x)];
      float a = 0, r = 0, g = 0, b = 0;
      for (std::size_t j = 0; j < sy.weights.size(); ++j) {
        const std::uint32_t* row = in + static_cast<std::ptrdiff_t>(sy0 + sy.first + static_cast<int>(j)) * inSpan;
        for (std::size_t i = 0; i < sx.weights.size(); ++i) {
          const std::uint32_t p = row[sx0 + sx.first + static_cast<int>(i)];
          const float w = sy.weights[j] * sx.weights[i];
          const float pa = static_cast<float>(p >> 24) * w;
          a += pa;
          r += static_cast<float>((p >> 16) & 255) * pa;
          g += static_cast<float>((p >> 8) & 255) * pa;
          b += static_cast<float>(p & 255) * pa;
        }
      }
      std::uint32_t px = 0;
      if (a > 0.0f) {
        const auto channel = [](float v) { return static_cast<std::uint32_t>(std::clamp(v + 0.5f, 0.0f, 255.0f)); };
        px = channel(a) << 24 | channel(r / a) << 16 | channel(g / a) << 8 | channel(b / a);
      }
      dst[static_cast<std::ptrdiff_t>(y) * outSpan + x] = px;
    }
  }
}

}  // namespace

std::unique_ptr<RAS_MemBitmap> RAS_ResampleFrame(RAS_IBitmap& src, int srcX, int srcY, int frameW, int frameH,
                                                 int dstW, int dstH) {
  if (frameW < 1 || frameH < 1 || dstW < 1 || dstH < 1 || srcX < 0 || srcY < 0 || !src.getBits()) return nullptr;
  if (src.getWidth() - srcX < frameW || src.getHeight() - srcY < frameH) return nullptr;
  auto out = std::make_unique<RAS_MemBitmap>(dstW, dstH);
  if (!out->getBits()) return nullptr;
  ResampleInto(src, srcX, srcY, AreaSpans(frameW, dstW), AreaSpans(frameH, dstH), *out);
  return out;
}
