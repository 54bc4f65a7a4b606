#pragma once

// An instance of the built module (tests/integration/PlugFixture.h) started
// as a host starts it (initialize, arrangement, set-up, activation) and
// stopped when it goes, also when a failed assertion ends the test early.

#include "tests/integration/PlugFixture.h"

namespace mirel::test {

struct StartedPlug : Plug {
  explicit StartedPlug(double rate = 48000.0, int32 maxBlock = 512, int32 sampleSize = kSample32) {
    Start(rate, maxBlock, sampleSize);
  }
  ~StartedPlug() { Stop(); }
  StartedPlug(const StartedPlug&) = delete;
  StartedPlug& operator=(const StartedPlug&) = delete;
};

}  // namespace mirel::test
