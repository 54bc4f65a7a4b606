#pragma once

// Mirel's identity and parameter indices.

#include <cstdint>

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
inline constexpr const char* kEffectName = "Mirel";
inline constexpr const char* kProductName = "";
inline constexpr const char* kMakerName = "Qentworks";
inline constexpr std::int32_t kVersion = 0x00040100;  // 4.1.0
inline constexpr std::int32_t kUniqueId = 0x4D726C31;  // "Mrl1"
inline constexpr std::int32_t kMakerId = 0x51656E74;   // "Qent"

}  // namespace mirel
