#pragma once

// A VST3 controller's parameter texts as a host reads and types them.

#include <gtest/gtest.h>

#include <string>

#include "host/HostStrings.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

namespace testsupport {

// The text shown for a normalised value; a refusal fails the test where it
// is asked (and gives an empty text).
inline std::string ValueText(Steinberg::Vst::IEditController& c, Steinberg::Vst::ParamID id, double normalized) {
  Steinberg::Vst::String128 s{};
  EXPECT_EQ(c.getParamStringByValue(id, normalized, s), Steinberg::kResultOk) << id << " at " << normalized;
  return mirel::host::ToUtf8(s);
}

// A typed text read back: kResultOk and the normalised value, or kResultFalse
// with the value untouched.
inline Steinberg::tresult ReadValueText(Steinberg::Vst::IEditController& c, Steinberg::Vst::ParamID id,
                                        const std::string& text, Steinberg::Vst::ParamValue& v) {
  Steinberg::Vst::String128 in{};
  mirel::host::ToUtf16(text, in);
  return c.getParamValueByString(id, in, v);
}

}  // namespace testsupport
