#pragma once

// A plug-in base with three values and one field added after them, the way a
// later release adds one: "later" (default 0) in a state section of its own,
// written only when it is not 0. For the stored-state tests and fuzzing.

#include <cstdint>
#include <vector>

#include "plugbase/IEffectBase.h"

namespace testsupport {

class LaterFieldEffect : public IEffectBase {
 public:
  static constexpr std::uint32_t kLaterTag = FourCC("colr");

  LaterFieldEffect() : IEffectBase(3, "2-2", 1, "Later", "", "", 1, 1, 1) {
    GetParam(0)->DefineContinuous("A", 1.5, -30, 30, 0.01, "", "", 1);
    GetParam(1)->DefineStepped("B", 2, 0, 3, 1, "", "", 1);
    GetParam(2)->DefineContinuous("C", 0.25, 0, 1, 0.01, "", "", 1);
  }
  void WriteStateSections(StateSections& sections) override {
    if (later == 0) return;
    StateChunk payload;
    payload.AppendInt32(later);
    sections.Set(kLaterTag, payload);
  }
  void ReadStateSections(const StateSections& sections) override {
    later = 0;
    if (const StateChunk* payload = sections.Find(kLaterTag)) payload->ReadInt32(0, later);
  }
  void SetBypass(bool on) { hostBypass_ = on; }
  bool Bypass() const { return hostBypass_; }
  std::vector<double> Values() const {
    return {GetParam(0)->Value(), GetParam(1)->Value(), GetParam(2)->Value()};
  }

  std::int32_t later = 0;
};

}  // namespace testsupport
