#pragma once

// Seeded pseudo-random numbers and a bit hash shared by the test suites: the
// same seed gives the same sequence on every platform.

#include <bit>
#include <cstddef>
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

// splitmix64: small, and identical on every platform and library.
class SplitMix {
 public:
  explicit SplitMix(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
  template <class T, std::size_t N>
  T Pick(const T (&items)[N]) {
    return items[static_cast<std::size_t>(Below(static_cast<int>(N)))];
  }

 private:
  std::uint64_t state_;
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
