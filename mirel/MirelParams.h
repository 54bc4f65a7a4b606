#pragma once

// Mirel's identity and parameter indices.

#include <cstdint>

#include "FourCC.h"

enum MirelParam : int {
  kInput = 0,
  kOutput = 1,
  kAttack = 2,
  kRelease = 3,
  kRatio = 4,
  kHpf = 5,
  kMix = 6,
  kMidFreq = 7,
  kMidGain = 8,
  kHf = 9,
  kBypass = 10,
  kInterstage = 11,
  kOversample = 12,
  kSidechain = 13,
  kNumParams = 14,
};

namespace mirel {

inline constexpr const char* kChannelIO = "2-2 4-2";
inline constexpr int kNumPresets = 1;
// Each identity value is written here once; the factory, the class info and
// the build's project version (read from kVersionText) take it from here.
inline constexpr const char* kEffectName = "Mirel";
inline constexpr const char* kProductName = "";
inline constexpr const char* kMakerName = "Qentworks";
inline constexpr const char* kVersionText = "4.1.0";
inline constexpr std::int32_t kUniqueId = static_cast<std::int32_t>(FourCC("Mrl1"));
inline constexpr std::int32_t kMakerId = static_cast<std::int32_t>(FourCC("Qent"));

// "major.minor.patch" as 0x00MMmmpp.
constexpr std::int32_t VersionNumber(const char* text) {
  std::int32_t parts[3] = {0, 0, 0};
  int k = 0;
  for (const char* c = text; *c && k < 3; ++c) {
    if (*c == '.') {
      ++k;
    } else {
      parts[k] = parts[k] * 10 + (*c - '0');
    }
  }
  return (parts[0] << 16) | (parts[1] << 8) | parts[2];
}
inline constexpr std::int32_t kVersion = VersionNumber(kVersionText);

}  // namespace mirel
