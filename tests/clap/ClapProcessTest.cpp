// Processing through the CLAP ports: 32- and 64-bit samples, in place and
// not, at the rates and block sizes hosts use, with and without the
// sidechain port.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "host/ClapProcessBuffers.h"
#include "mirel/MirelParams.h"
#include "plugbase/AdapterParamIds.h"
#include "tests/clap/ClapFixture.h"
#include "tests/support/SeededRandom.h"

using clap_tests::ClapFixture;
using mirel::host::ClapInputEvents;
using mirel::host::ClapOutputEvents;
using mirel::host::ClapProcessBuffers;

namespace {

constexpr std::uint32_t kMaxBlock = 16384;

struct Render {
  double rate = 48000.0;
  ClapProcessBuffers::Layout layout;
  // Frames of each call in turn, repeated until `total` frames are done.
  std::vector<std::uint32_t> blocks{512};
  std::uint32_t total = 8192;
  bool sidechainSignal = false;
  // Settings sent with the first block: (id, value as the host holds it).
  std::vector<std::pair<clap_id, double>> settings;
};

// The main input is seeded noise at about -12 dBFS; the sidechain, where
// given, a different seeded noise or silence.
std::vector<double> RenderThrough(ClapFixture& fixture, mirel::host::ClapPlugin& p, const Render& r) {
  (void)fixture;
  EXPECT_TRUE(p.Activate(r.rate, 1, kMaxBlock));
  ClapProcessBuffers buffers(r.layout, kMaxBlock);
  testsupport::Rng mainNoise(0x5EED0001);
  testsupport::Rng sideNoise(0x5EED0002);
  ClapInputEvents in;
  ClapOutputEvents out;
  for (const auto& [id, value] : r.settings) in.Add(id, value);
  std::vector<double> result;
  result.reserve(2u * r.total);
  for (std::uint32_t call = 0, done = 0; done < r.total; ++call) {
    const std::uint32_t n = std::min<std::uint32_t>(r.blocks[call % static_cast<std::uint32_t>(r.blocks.size())], r.total - done);
    for (std::uint32_t f = 0; f < n; ++f) {
      for (int c = 0; c < 2; ++c) {
        buffers.SetInput(0, c, f, 0.25 * mainNoise.Uniform());
        buffers.SetInput(1, c, f, r.sidechainSignal ? 0.5 * sideNoise.Uniform() : 0.0);
      }
    }
    EXPECT_EQ(p.Process(buffers.Process(n, in.List(), out.List())), CLAP_PROCESS_CONTINUE);
    in.Clear();
    for (std::uint32_t f = 0; f < n; ++f) {
      for (int c = 0; c < 2; ++c) result.push_back(buffers.Output(c, f));
    }
    done += n;
  }
  p.Deactivate();
  return result;
}

// Input 30 (threshold -30 dB), 8:1: the noise is compressed, the meter moves.
std::vector<std::pair<clap_id, double>> Compressing() {
  return {{kInput, 30.0}, {kRatio, 2.0}};
}

TEST_F(ClapFixture, InPlaceAndOutOfPlaceGiveTheSameBitsAtEveryRateAndSize) {
  const double rates[] = {22050.0, 44100.0, 48000.0, 96000.0, 192000.0};
  // Sizes change from call to call: one frame, odd sizes, the largest block.
  const std::vector<std::uint32_t> sizes{1, 7, 64, 511, 3, 4096, 16384, 2};
  for (const bool is64 : {false, true}) {
    for (const double rate : rates) {
      SCOPED_TRACE(std::to_string(rate) + (is64 ? " Hz, 64-bit" : " Hz, 32-bit"));
      Render r;
      r.rate = rate;
      r.blocks = sizes;
      r.total = 24000;
      // Dry and wet mixed, the interstage on: the paths that read the input late.
      r.settings = Compressing();
      r.settings.insert(r.settings.end(), {{kMix, 55.0}, {kInterstage, 1.0}, {kOversample, 1.0}});
      r.layout.is64 = is64;
      auto apart = Make();
      const std::vector<double> outOfPlace = RenderThrough(*this, *apart, r);
      r.layout.inPlace = true;
      auto shared = Make();
      const std::vector<double> inPlace = RenderThrough(*this, *shared, r);
      ASSERT_EQ(inPlace.size(), outOfPlace.size());
      std::size_t firstDiff = inPlace.size();
      for (std::size_t i = 0; i < inPlace.size() && firstDiff == inPlace.size(); ++i) {
        if (std::bit_cast<std::uint64_t>(inPlace[i]) != std::bit_cast<std::uint64_t>(outOfPlace[i])) firstDiff = i;
      }
      EXPECT_EQ(firstDiff, inPlace.size()) << "in place differs from sample " << firstDiff / 2;
      double peak = 0.0;
      for (double v : outOfPlace) {
        ASSERT_TRUE(std::isfinite(v));
        peak = std::max(peak, std::fabs(v));
      }
      EXPECT_GT(peak, 0.01) << "the output is not silent";
      EXPECT_LT(peak, 0.25) << "the noise is compressed";
    }
  }
}

TEST_F(ClapFixture, AMissingSidechainPortReadsAsSilence) {
  struct Row {
    const char* reason;
    bool port;
    bool signal;
    double listen;  // the Sidechain switch: 1 listens to the main input, 0 to the sidechain
    bool sameAsSilentPort;
  };
  const Row rows[] = {
      {"no port, listening to the sidechain", false, false, 0.0, true},
      {"no port, listening to the main input", false, false, 1.0, true},
      {"a signal on the port the detector hears", true, true, 0.0, false},
      {"a signal on the port the detector ignores", true, true, 1.0, true},
  };
  for (const Row& row : rows) {
    for (const bool is64 : {false, true}) {
      SCOPED_TRACE(std::string(row.reason) + (is64 ? ", 64-bit" : ", 32-bit"));
      Render r;
      r.layout.is64 = is64;
      r.settings = Compressing();
      r.settings.emplace_back(kSidechain, row.listen);
      auto silentPort = Make();
      const std::vector<double> reference = RenderThrough(*this, *silentPort, r);
      r.layout.sidechain = row.port;
      r.sidechainSignal = row.signal;
      auto other = Make();
      EXPECT_EQ(RenderThrough(*this, *other, r) == reference, row.sameAsSilentPort);
    }
  }
}

// A main input port of one channel: the other reads silence, never a buffer
// the port does not declare.
TEST_F(ClapFixture, AMainPortOfOneChannelReadsSilenceOnTheOther) {
  Render r;
  r.layout.mainChannels = 1;
  auto p = Make();
  const std::vector<double> out = RenderThrough(*this, *p, r);
  for (std::size_t i = 1; i < out.size(); i += 2) ASSERT_EQ(out[i], 0.0) << "frame " << i / 2;
}

TEST_F(ClapFixture, HostBypassPassesTheInputThroughUnchanged) {
  Render r;
  r.layout.is64 = true;
  r.settings = Compressing();
  r.settings.emplace_back(kBypassParamCodeId, 1.0);
  auto p = Make();
  const std::vector<double> out = RenderThrough(*this, *p, r);
  testsupport::Rng mainNoise(0x5EED0001);
  for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], 0.25 * mainNoise.Uniform()) << "sample " << i;
}

}  // namespace
