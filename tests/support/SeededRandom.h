#pragma once

// Seeded pseudo-random numbers and a bit hash shared by the test suites: the
// same seed gives the same sequence on every platform.

#include <bit>
#include <cstdint>
#include <vector>

namespace testsupport {

// xorshift64: a fixed, portable pseudo-random sequence.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : s_(seed) {}
  std::uint64_t Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 7;
    s_ ^= s_ << 17;
    return s_;
  }
  // Uniform in [-1, 1).
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1p-52 - 1.0; }

 private:
  std::uint64_t s_;
};

// FNV-1a over the bits of the doubles.
inline std::uint64_t Fnv1a(const std::vector<double>& v, std::uint64_t h = 0xcbf29ce484222325ull) {
  for (double d : v) {
    const std::uint64_t u = std::bit_cast<std::uint64_t>(d);
    for (int b = 0; b < 8; ++b) {
      h ^= (u >> (8 * b)) & 0xffu;
      h *= 0x100000001b3ull;
    }
  }
  return h;
}

}  // namespace testsupport
