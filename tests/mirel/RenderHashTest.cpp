// A stored project must render to the same bits in every build and on every
// platform. These renders are hashed and compared with the hashes recorded
// from the Linux build; the Windows build runs the same test under Wine.

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <memory>

#include "tests/mirel/EngineTestSupport.h"

using enginetest::Buffers;
using enginetest::ReadyMirel;

namespace {

struct Setting {
  const char* name;
  std::initializer_list<std::pair<int, double>> params;
  bool withEditor;
  std::uint64_t expected;
};

// 0.25 s at 48 kHz: seeded noise on all four inputs with a level that steps
// between loud and quiet every 1500 frames, so that the gain attacks and releases.
Buffers Signal() {
  Buffers b(12000);
  enginetest::Rng rng(0x4d726c31);
  for (int i = 0; i < b.Frames(); ++i) {
    const double level = (i / 1500) % 2 == 0 ? 0.9 : 0.02;
    for (int ch = 0; ch < 4; ++ch) b.in[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)] = level * rng.Uniform();
  }
  return b;
}

std::uint64_t Render(const Setting& s) {
  ReadyMirel m(48000.0, s.withEditor ? enginetest::Editor::kLayout : enginetest::Editor::kNone);
  m.Set(s.params);
  Buffers b = Signal();
  // With the editor, every meter reading is hashed too, so the blocks are
  // one sample long (the output's bits do not depend on the block size).
  std::vector<double> meter;
  if (s.withEditor) {
    meter = enginetest::RunReadingMeter(m, b, 0, b.Frames());
  } else {
    for (int start = 0; start < b.Frames(); start += 512) enginetest::Run(m, b, start, std::min(512, b.Frames() - start));
  }
  std::uint64_t h = enginetest::Fnv1a(b.out[0]);
  h = enginetest::Fnv1a(b.out[1], h);
  if (s.withEditor) h = enginetest::Fnv1a(meter, h);
  return h;
}

}  // namespace

TEST(RenderHash, SameBitsOnEveryPlatform) {
  const Setting settings[] = {
      {"4x, interstage off", {{kInput, 30.0}, {kRatio, 2.0}, {kAttack, 0.0003}, {kRelease, 0.1}}, false,
       0xa896a7da7b75b0f7ull},
      {"16x, interstage on, meter",
       {{kInput, 24.0}, {kRatio, 1.0}, {kOversample, 1.0}, {kInterstage, 1.0}, {kOutput, 4.5}}, true, 0xf4b611711e8522b1ull},
      {"4x, interstage on, sidechain, filters",
       {{kInput, 36.0}, {kRatio, 3.0}, {kInterstage, 1.0}, {kSidechain, 0.0}, {kHpf, 180.0}, {kMidFreq, 2400.0},
        {kMidGain, -4.5}, {kHf, -11.0}, {kMix, 55.0}},
       false, 0xe6e328078036037bull},
      {"16x, sidechain, mid boost, output -12 dB",
       {{kInput, 18.0}, {kOversample, 1.0}, {kSidechain, 0.0}, {kMidGain, 5.0}, {kMidFreq, 7000.0}, {kOutput, -12.0}},
       false, 0x5aaaf1954f1544d2ull},
  };
  for (const Setting& s : settings) {
    const std::uint64_t h = Render(s);
    EXPECT_EQ(h, s.expected) << s.name << ": got 0x" << std::hex << h;
  }
}
