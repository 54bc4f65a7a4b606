// libFuzzer target: any UTF-16 text typed as a value, for every parameter a
// host sees on a Mirel instance (the fourteen, the host bypass and the
// preset), is refused or reads as a normalised value in 0..1; the text of
// that value reads back to a value with the same text. Any normalised value
// (NaN and infinities included) gives a terminated text.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/FuzzInput.h"
#include "mirel/Mirel.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool Terminated(const String128 text) {
  for (int i = 0; i < 128; ++i) {
    if (text[i] == 0) return true;
  }
  return false;
}

bool Same(const String128 a, const String128 b) {
  for (int i = 0; i < 128; ++i) {
    if (a[i] != b[i]) return false;
    if (a[i] == 0) return true;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // One instance for the whole run: the texts change no value.
  static Mirel* plug = new Mirel();
  FuzzInput in(data, size);
  const double anyValue = in.Take<double>();
  std::size_t n = 0;
  const std::uint8_t* rest = in.Rest(n);
  String128 typed{};
  const std::size_t units = std::min<std::size_t>(n / 2, 127);
  std::memcpy(typed, rest, units * 2);

  ParamID ids[kNumParams + 2];
  for (int i = 0; i < kNumParams; ++i) ids[i] = static_cast<ParamID>(i);
  ids[kNumParams] = IEffectVST3::kBypassParamId;
  ids[kNumParams + 1] = IEffectVST3::kPresetParamId;
  for (const ParamID id : ids) {
    String128 shown{};
    Check(plug->getParamStringByValue(id, anyValue, shown) != kResultOk || Terminated(shown));
    ParamValue value = -1.0;
    if (plug->getParamValueByString(id, typed, value) != kResultOk) continue;
    Check(std::isfinite(value) && value >= 0.0 && value <= 1.0);
    String128 text{};
    Check(plug->getParamStringByValue(id, value, text) == kResultOk && Terminated(text));
    ParamValue again = -1.0;
    Check(plug->getParamValueByString(id, text, again) == kResultOk);
    String128 textAgain{};
    Check(plug->getParamStringByValue(id, again, textAgain) == kResultOk && Same(text, textAgain));
  }
  return 0;
}
