#pragma once

// Four double lanes in one 256-bit vector, for the AVX2 paths. Each lane does
// the scalar operations in the scalar order, so the wide paths give the same
// bits as the sample-by-sample ones.

namespace lanes {

typedef double Quad __attribute__((vector_size(32)));
typedef long long QuadBits __attribute__((vector_size(32)));

// |v| on every lane: the sign bit cleared, as fabs does.
__attribute__((target("avx2"), always_inline)) inline Quad Magnitude(Quad v) {
  const long long m = 0x7fffffffffffffffLL;
  return reinterpret_cast<Quad>(reinterpret_cast<QuadBits>(v) & QuadBits{m, m, m, m});
}

// |magnitude| with the sign of `sign` on every lane, as copysign does.
__attribute__((target("avx2"), always_inline)) inline Quad CopySign(Quad magnitude, Quad sign) {
  const long long s = static_cast<long long>(0x8000000000000000ULL);
  const QuadBits signBit{s, s, s, s};
  return reinterpret_cast<Quad>((reinterpret_cast<QuadBits>(magnitude) & ~signBit) |
                                (reinterpret_cast<QuadBits>(sign) & signBit));
}

}  // namespace lanes
