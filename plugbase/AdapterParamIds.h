#pragma once

// Host-visible ids of the two parameters the adapter adds to a plug-in's own,
// with the four-character texts they are written as.

#include <cstdint>

#include "plugbase/FourCC.h"

inline constexpr char kBypassParamCode[] = "bpas";
inline constexpr char kPresetParamCode[] = "prst";
inline constexpr std::uint32_t kBypassParamCodeId = FourCC(kBypassParamCode);
inline constexpr std::uint32_t kPresetParamCodeId = FourCC(kPresetParamCode);
