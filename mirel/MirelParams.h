#pragma once

// Mirel's identity, its parameters (the index constants and the table, made
// by the build from mirel/parameters.txt) and its factory presets.

#include <cstdint>

#include "mirel/ParamTable.h"
#include "plugbase/FourCC.h"

namespace mirel {

inline constexpr const char* kChannelIO = "2-2 4-2";

// A factory preset: plain values by parameter index (Input is the threshold
// below 0 dB, Attack and Release in seconds, Ratio and the switches as their
// steps; Sidechain switch 1 listens to the main input, 0 to the sidechain).
struct FactoryPreset {
  const char* name;
  const char* purpose;
  double values[kNumParams];
};

// In program order; "Default" holds the parameters' defaults.
//                    Input Output  Attack  Release Ratio  HPF  Mix  MidFreq MidGain  HF  Byp Int Ovs SC
inline constexpr FactoryPreset kFactoryPresets[] = {
    {"Default", "the parameters' defaults: no compression until Input is raised",
     {0, 0, 0.0004, 0.4, 0, 20, 100, 500, 0, 0, 0, 0, 0, 1}},
    {"Bus Glue", "gentle 2:1 with slow attack to hold a mix or bus together",
     {18, 5.5, 0.0011, 0.3, 0, 60, 100, 500, 0, 0, 0, 0, 0, 1}},
    {"Drum Smash", "hard 12:1 with interstage drive, blended in parallel",
     {36, 8, 0.0001, 0.08, 3, 20, 70, 500, 0, 0, 0, 1, 1, 1}},
    {"Vocal Leveller", "4:1 levelling that listens less to sibilance",
     {24, 12, 0.0004, 0.25, 1, 100, 100, 2500, 2, -6, 0, 0, 0, 1}},
    {"Bass Control", "8:1 on a bass line; the detector high-pass ignores sub rumble",
     {24, 12.5, 0.0007, 0.15, 2, 120, 100, 500, 0, 0, 0, 0, 0, 1}},
    {"Sidechain Duck", "ducks the track under the sidechain input (a kick or a voice)",
     {24, 0, 0.0001, 0.3, 2, 20, 100, 500, 0, 0, 0, 0, 0, 0}},
    {"Gentle Master", "light 2:1 control of peaks for a finished mix",
     {10, 2.5, 0.0011, 0.6, 0, 40, 100, 500, 0, 0, 0, 0, 1, 1}},
};
inline constexpr int kNumPresets = static_cast<int>(sizeof kFactoryPresets / sizeof kFactoryPresets[0]);

constexpr bool DefaultPresetHoldsTheDefaults() {
  for (int i = 0; i < kNumParams; ++i) {
    if (kFactoryPresets[0].values[i] != kParamTable[i].defaultValue) return false;
  }
  return true;
}
static_assert(DefaultPresetHoldsTheDefaults(), "the \"Default\" preset holds the table's defaults");
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
