// One thread processes audio while another restores and saves state and
// writes parameters, as a host's audio and UI threads do.

#include <atomic>
#include <thread>

#include "tests/integration/PlugFixture.h"

namespace mirel::test {
namespace {

TEST(Threads, ProcessWhileStateAndParametersChange) {
  Plug p;
  p.Start(48000.0, 128);
  p.component->activateBus(kAudio, kInput, 1, true);
  const std::vector<std::uint8_t> state = p.State();
  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0};
  std::atomic<bool> finite{true};

  std::thread audio([&] {
    host::ProcessBuffers b(kSample32, 128, 2, 2, 2);
    auto changes = host::MakeHostObject<host::ParameterChanges>();
    b.SetParameterChanges(changes.get());
    std::uint32_t seed = 17;
    while (!stop.load() || blocks.load() < 50) {
      for (int ch = 0; ch < 2; ++ch) {
        for (int i = 0; i < 128; ++i) b.SetInput(0, ch, i, Noise(seed));
      }
      changes->Clear();
      // The same parameters the other thread writes.
      changes->Add(kIdRatio, (blocks.load() % 4) / 3.0);
      changes->Add(kIdMix, (blocks.load() % 5) / 4.0);
      b.SetNumSamples(128);
      p.processor->process(b.Data());
      for (int i = 0; i < 128; ++i) {
        if (!std::isfinite(b.Output(0, i))) finite = false;
      }
      ++blocks;
    }
  });

  for (int round = 0; round < 200; ++round) {
    auto in = host::MakeHostObject<host::MemoryStream>(state);
    p.component->setState(in.get());
    auto out = host::MakeHostObject<host::MemoryStream>();
    EXPECT_EQ(p.controller->getState(out.get()), kResultOk);
    EXPECT_EQ(out->Data().size(), state.size());
    // A burst of writes, so that they overlap blocks on the other thread.
    for (int k = 0; k < 200; ++k) {
      p.controller->setParamNormalized(kIdMix, ((round + k) % 10) / 10.0);
      p.controller->setParamNormalized(kIdInput, ((round + k) % 7) / 7.0);
    }
    (void)p.controller->getParamNormalized(kIdMix);
    (void)p.controller->getParamNormalized(kBpas);
  }
  stop = true;
  audio.join();
  EXPECT_TRUE(finite.load());
  EXPECT_GE(blocks.load(), 50);
  p.Stop();
}

}  // namespace
}  // namespace mirel::test
