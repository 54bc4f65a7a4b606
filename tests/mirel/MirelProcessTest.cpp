#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <memory>
#include <vector>

#include "dsp/Curves.h"
#include "dsp/DetMath.h"
#include "tests/mirel/EngineTestSupport.h"
#include "tests/mirel/LiteralCompressor.h"
#include "dsp/Oversampler.h"

using enginetest::Buffers;
using enginetest::LiteralCompressor;
using enginetest::ReadyMirel;
using enginetest::Rng;

namespace {

constexpr double kScale = 8.65617025;
constexpr double kPi = 3.141592653589793;

// A sine of amplitude amp at hz into both main channels from frame start on.
void Sine(Buffers& b, int start, int n, double hz, double amp, double fs) {
  for (int i = start; i < start + n; ++i) {
    const double v = amp * std::sin(2 * kPi * hz * i / fs);
    b.in[0][static_cast<std::size_t>(i)] = v;
    b.in[1][static_cast<std::size_t>(i)] = v;
  }
}

// Seeded noise of amplitude amp into each listed input channel, the k-th
// listed channel seeded with seed + k.
void Noise(Buffers& b, std::initializer_list<int> channels, double amp, std::uint64_t seed) {
  for (int ch : channels) {
    Rng r(seed++);
    for (double& v : b.in[static_cast<std::size_t>(ch)]) v = amp * r.Uniform();
  }
}

// The oversampler's up and down histories of both channels hold nothing.
void ExpectOversamplerClear(ReadyMirel& m) {
  for (int c = 0; c < 2; ++c)
    for (int k = 0; k < 11; ++k) {
      EXPECT_EQ(m.UpHistory(c).y[k], 0.0) << "channel " << c << " step " << k;
      EXPECT_EQ(m.DownHistory(c).y[k], 0.0) << "channel " << c << " step " << k;
    }
}

// Gain after every sample, processing one sample at a time.
std::vector<double> GainTrace(ReadyMirel& m, Buffers& b) {
  std::vector<double> g;
  for (int i = 0; i < b.Frames(); ++i) {
    enginetest::Run(m, b, i, 1);
    g.push_back(m.GainState());
  }
  return g;
}

// The stated gain law: (lvl / T)^(1/ratio - 1) in the detector's scale.
double GainLaw(double lvl, double inputDb, double ratio) {
  const double t = -inputDb;
  if (!(lvl > std::exp(t / kScale))) return 1.0;
  const double ld = kScale * std::log(lvl);
  return std::exp(((ld - t) / ratio + t) / kScale) / lvl;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

}  // namespace

TEST(MirelParamChanged, ConvertsEachParameter) {
  ReadyMirel m;
  const double ratios[] = {2, 4, 8, 12};
  for (int i = 0; i < 4; ++i) {
    m.Set(kRatio, i);
    EXPECT_EQ(m.Ratio(), ratios[i]);
  }
  // A setting outside 0..3 keeps the previous ratio (the range is widened
  // here only to reach that case).
  m.GetParam(kRatio)->DefineStepped("Ratio", 0, -1e12, 1e12, 1);
  for (double v : {-1.0, 4.0, 10.0, 3e9, -3e9, 1e12}) {
    m.Set(kRatio, v);
    EXPECT_EQ(m.Ratio(), 12.0) << v;
  }

  m.Set(kOutput, -30.0);
  EXPECT_NEAR(m.OutputGain(), std::pow(10.0, -1.5), 1e-16);
  m.Set(kOutput, 0.0);
  EXPECT_EQ(m.OutputGain(), 1.0);
  m.Set(kOutput, 30.0);
  EXPECT_NEAR(m.OutputGain(), std::pow(10.0, 1.5), 1e-13);

  EXPECT_EQ(m.OversampleFactor(), 4);
  m.Set(kOversample, 1);
  EXPECT_EQ(m.OversampleFactor(), 16);
  m.Set(kOversample, 0);
  EXPECT_EQ(m.OversampleFactor(), 4);

  m.ParamChanged(-1);  // unknown indices are ignored
  m.ParamChanged(14);
  m.ParamChanged(1000);
  EXPECT_EQ(m.Ratio(), 12.0);
}

TEST(MirelProcess, SilenceGivesSilenceAndTheMeterDecays) {
  const double fs = 48000;
  ReadyMirel m(fs, enginetest::Editor::kLayout);
  ASSERT_NE(m.MeterFeed(), nullptr);
  EXPECT_EQ(m.MeterFeed()->ControlIndex(), m.MeterControl());
  m.Set({{kInput, 30}, {kOversample, 1}, {kInterstage, 1}});
  const int n = static_cast<int>(0.3 * fs);
  Buffers b(n);
  for (auto& ch : b.out) std::fill(ch.begin(), ch.end(), 7.0);
  const std::vector<double> meter = enginetest::RunReadingMeter(m, b, 0, n);
  for (const auto& ch : b.out)
    for (double v : ch) ASSERT_EQ(v, 0.0);
  ExpectOversamplerClear(m);
  EXPECT_EQ(m.GainState(), 1.0);
  // No reduction: the meter falls from 1 by k per sample, 99 % in 0.3 s.
  ASSERT_EQ(meter.size(), static_cast<std::size_t>(n));
  const double k = std::exp(-4.60517018599 / (fs * 0.3));
  EXPECT_NEAR(meter[0], k, 1e-15);
  EXPECT_NEAR(meter[99], std::pow(k, 100), 1e-12);
  EXPECT_NEAR(m.MeterValue(), 0.01, 1e-6);
  EXPECT_EQ(meter.back(), m.MeterValue());

  // A longer block hands over its last reading.
  Buffers more(10);
  enginetest::RunAll(m, more);
  EXPECT_NEAR(m.MeterValue(), 0.01 * std::pow(k, 10), 1e-6);
  EXPECT_EQ(m.MeterFeed()->Latest(), m.MeterValue());
}

// The meter's ballistics run only while an editor is there to show them; with
// or without them the sound and the gain are the same.
TEST(MirelProcess, WithoutAnEditorTheMeterHoldsAndTheSoundIsTheSame) {
  ReadyMirel never, released(48000.0, enginetest::Editor::kLayout), shown(48000.0, enginetest::Editor::kLayout);
  ASSERT_NE(released.MeterFeed(), nullptr);
  released.ReleaseGraphics();  // the feed went with the editor
  EXPECT_EQ(released.MeterFeed(), nullptr);
  Buffers input(2000);
  Noise(input, {0, 1}, 0.9, 1);
  std::vector<Buffers> runs;
  for (ReadyMirel* m : {&never, &released, &shown}) {
    m->Set(kInput, 40);
    runs.push_back(input);
    enginetest::RunAll(*m, runs.back());  // nothing is posted to an editor that is gone
  }
  EXPECT_LT(never.GainState(), 0.5);
  EXPECT_EQ(never.MeterValue(), 1.0);
  EXPECT_EQ(released.MeterValue(), 1.0);
  EXPECT_NE(shown.MeterValue(), 1.0);
  EXPECT_EQ(released.GainState(), never.GainState());
  EXPECT_EQ(shown.GainState(), never.GainState());
  EXPECT_TRUE(SameBits(runs[2].out[0], runs[0].out[0]));
  EXPECT_TRUE(SameBits(runs[2].out[1], runs[0].out[1]));
}

// Output = G (0.1 interstage + x) 10^0.2 mixed with the dry signal, where the
// interstage signal is rebuilt here from the oversampler's building blocks
// (the plug-in runs its own unrolled form of the same steps).
TEST(MirelProcess, InputZeroGivesUnityGainAndTheStatedOutput) {
  // Amplitude 6 drives the saturation past the end of its table.
  for (auto [factor, amp] : {std::pair{4, 1.5}, std::pair{16, 1.5}, std::pair{4, 6.0}, std::pair{16, 6.0}}) {
    SCOPED_TRACE(::testing::Message() << factor << "x, amplitude " << amp);
    ReadyMirel m;
    m.Set({{kInput, 0.0}, {kMix, 70.0}, {kOutput, 6.0}, {kOversample, factor == 16 ? 1.0 : 0.0}});
    Buffers b(3000);
    Noise(b, {0}, amp, 11);
    Noise(b, {1}, 0.5 * amp, 12);
    enginetest::RunAll(m, b);
    EXPECT_EQ(m.GainState(), 1.0);

    BesselLowpass c;
    DesignBesselLowpass(c, 0.2 / factor);
    AllPoleHistory up[2], down[2];
    const double d = 0.31622776601683794;
    const double G = CurveLookup(kSaturationCurve, 1.0);
    const double outGain = m.OutputGain();
    for (int i = 0; i < b.Frames(); ++i) {
      for (int ch = 0; ch < 2; ++ch) {
        const double x = b.in[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)];
        double inter = 0;
        for (int k = 0; k < factor; ++k) {
          const double w = Saturate(factor * AllPoleStep(up[ch], k == 0 ? x : 0.0, c) * d);
          const double y = AllPoleStep(down[ch], w, c);
          if (k == 0) inter = y;
        }
        const double wet = G * (0.1 * inter + x) * 1.5848931924611136;
        const double expected = (wet * 0.7 + (1 - 0.7) * x) * outGain;
        // The same operations in the same order: the same bits.
        ASSERT_EQ(b.out[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)], expected) << "frame " << i << " channel " << ch;
      }
    }
  }
}

TEST(MirelProcess, ConstantInputSettlesToTheSaturatedConstant) {
  ReadyMirel m;
  m.Set({{kInput, 0.0}, {kMix, 100.0}});
  Buffers b(4000);
  for (int ch = 0; ch < 2; ++ch) std::fill(b.in[static_cast<std::size_t>(ch)].begin(), b.in[static_cast<std::size_t>(ch)].end(), 0.5);
  enginetest::RunAll(m, b);
  const double G = CurveLookup(kSaturationCurve, 1.0) * 1.5848931924611136;
  const double inter = (b.out[0].back() / G - 0.5) / 0.1;
  EXPECT_NEAR(inter, Saturate(0.5 * 0.31622776601683794), 1e-3);
}

TEST(MirelProcess, GainSettlesWhereTheRatioLawSays) {
  const double fs = 48000;
  for (int ratioIndex : {0, 1, 3}) {
    const double ratio = ratioIndex == 0 ? 2 : ratioIndex == 1 ? 4 : 12;
    SCOPED_TRACE(ratio);
    ReadyMirel m(fs);
    m.Set({{kInput, 20.0}, {kRatio, static_cast<double>(ratioIndex)}, {kAttack, 0.0005}, {kRelease, 0.85}});
    Buffers b(static_cast<int>(0.5 * fs));
    Sine(b, 0, b.Frames(), 1000, 0.5, fs);
    const std::vector<double> g = GainTrace(m, b);
    // The last 10 ms: the least gain is the law at the sine's peak; the
    // release lets it rise only slightly between peaks.
    double least = 1, most = 0;
    for (std::size_t i = g.size() - 480; i < g.size(); ++i) {
      least = std::min(least, g[i]);
      most = std::max(most, g[i]);
    }
    const double p = GainLaw(0.5, 20.0, ratio);
    EXPECT_NEAR(least, p, 0.005 * p);
    EXPECT_LT(most, p * std::exp(48.0 / (0.85 * fs)));
  }
  // With ratio 4 a level 20 scaled dB over the threshold is reduced by 15.
  EXPECT_NEAR(kScale * std::log(GainLaw(std::exp((20.0 - 20.0) / kScale), 20.0, 4)), -15.0, 1e-9);
}

TEST(MirelProcess, AttackAndReleaseFollowTheirCoefficients) {
  const double fs = 48000;
  const double attack = 0.0011, release = 0.2;
  ReadyMirel m(fs);
  m.Set({{kInput, 20.0}, {kRatio, 1.0}, {kAttack, attack}, {kRelease, release}});
  const int quiet = static_cast<int>(0.2 * fs), loud = static_cast<int>(0.3 * fs);
  Buffers b(quiet + loud + static_cast<int>(0.6 * fs));
  Sine(b, 0, quiet, 1000, 0.01, fs);                                // -40 dBFS: below the threshold
  Sine(b, quiet, loud, 1000, 0.5, fs);                               // -6 dBFS
  Sine(b, quiet + loud, b.Frames() - quiet - loud, 1000, 0.01, fs);  // back down
  const std::vector<double> g = GainTrace(m, b);
  for (int i = 0; i < quiet; ++i) ASSERT_EQ(g[static_cast<std::size_t>(i)], 1.0) << i;

  // Attack: the gain falls by at most one neper per attackSec, so reaching
  // within 1 dB of the settled value takes at least ln(1/g) attackSec; the
  // sine's peaks come every 48 samples, so it should not take much longer.
  const double settled = g[static_cast<std::size_t>(quiet + loud - 1)];
  EXPECT_NEAR(settled, GainLaw(0.5, 20.0, 4), 0.01);
  int reached = 0;
  while (g[static_cast<std::size_t>(quiet + reached)] > settled * 1.122) ++reached;  // 1 dB
  const double fastest = std::log(1.0 / (settled * 1.122)) * attack * fs;
  EXPECT_GE(reached, fastest - 1);
  EXPECT_LE(reached, 3 * fastest + 48);

  // Release: below the threshold the target is 1 and the gain rises by
  // exactly 1/r per sample: ln(1/g0) releaseSec seconds to get back to 1.
  const double g0 = g[static_cast<std::size_t>(quiet + loud - 1)];
  int back = 0;
  while (g[static_cast<std::size_t>(quiet + loud + back)] < 1.0) ++back;
  const double expected = std::log(1.0 / g0) * release * fs;
  EXPECT_NEAR(back, expected, 2.0);
  const double r = std::exp(-1.0 / (release * fs));
  EXPECT_NEAR(g[static_cast<std::size_t>(quiet + loud + 10)], g0 / std::pow(r, 11), 1e-9);
}

TEST(MirelProcess, BypassCopiesBitExactlyWhileTheGainRuns) {
  ReadyMirel on, off;
  for (ReadyMirel* m : {&on, &off}) m->Set({{kInput, 30.0}, {kOversample, 1.0}, {kInterstage, 1.0}});
  on.Set(kBypass, 1.0);
  Buffers b(4096), ref(4096);
  Noise(b, {0}, 1.0, 5);
  Noise(b, {1}, 0.7, 6);
  b.in[0][3] = -0.0;
  b.in[1][7] = std::numeric_limits<double>::denorm_min();
  ref.in = b.in;
  for (int start = 0; start < 4096; start += 512) {
    enginetest::Run(on, b, start, 512);
    enginetest::Run(off, ref, start, 512);
    EXPECT_EQ(on.GainState(), off.GainState());
  }
  EXPECT_LT(on.GainState(), 0.9);
  EXPECT_TRUE(SameBits(b.out[0], b.in[0]));
  EXPECT_TRUE(SameBits(b.out[1], b.in[1]));
  // Switching bypass off continues from the running state.
  on.Set(kBypass, 0.0);
  Buffers next(256), nextRef(256);
  Noise(next, {0}, 0.5, 7);
  nextRef.in = next.in;
  enginetest::RunAll(on, next);
  enginetest::RunAll(off, nextRef);
  EXPECT_TRUE(SameBits(next.out[0], nextRef.out[0]));
}

TEST(MirelProcess, SidechainRouting) {
  Buffers loudMain(4800), loudSide(4800);
  Noise(loudMain, {0, 1}, 0.9, 1);
  Noise(loudSide, {2, 3}, 0.9, 3);
  // The gain after a signal, the detector switched to the sidechain or not.
  const auto gainAfter = [](Buffers& signal, double sidechainSwitch) {
    ReadyMirel m;
    m.Set({{kInput, 40.0}, {kSidechain, sidechainSwitch}});
    enginetest::RunAll(m, signal);
    return m.GainState();
  };
  EXPECT_EQ(gainAfter(loudMain, 0.0), 1.0);  // detector on the silent sidechain: no compression
  EXPECT_LT(gainAfter(loudSide, 0.0), 0.5);  // detector on the loud sidechain compresses the silent main input
  EXPECT_EQ(gainAfter(loudSide, 1.0), 1.0);  // switch at 1: the sidechain is ignored
  {
    ReadyMirel m;  // a host that hands no sidechain buffers: silence
    m.Set({{kInput, 40.0}, {kSidechain, 0.0}});
    double* in[4] = {loudMain.in[0].data(), loudMain.in[1].data(), nullptr, nullptr};
    double* out[2] = {loudMain.out[0].data(), loudMain.out[1].data()};
    m.ProcessBlock(in, out, loudMain.Frames());
    EXPECT_EQ(m.GainState(), 1.0);
  }
}

TEST(MirelProcess, NoFramesOnlyRedesignsTheOversampler) {
  ReadyMirel m;
  m.Set(kOversample, 1.0);
  Buffers b(8);
  Noise(b, {0}, 1.0, 9);
  for (auto& ch : b.out) std::fill(ch.begin(), ch.end(), 3.0);
  for (int n : {0, -1, -512}) enginetest::Run(m, b, 0, n);
  for (const auto& ch : b.out)
    for (double v : ch) EXPECT_EQ(v, 3.0);
  BesselLowpass expected;
  DesignBesselLowpass(expected, 0.2 / 16);
  EXPECT_EQ(m.OversampleCoeffs().gain, expected.gain);
  for (int k = 1; k <= 10; ++k) EXPECT_EQ(m.OversampleCoeffs().fb[k], expected.fb[k]);
  m.ProcessBlock(nullptr, nullptr, 0);
  m.ProcessBlock(nullptr, nullptr, 16);  // no buffers at all: nothing to do
}

TEST(MirelProcess, InPlaceBuffersGiveTheSameResult) {
  ReadyMirel a, c;
  for (ReadyMirel* m : {&a, &c}) m->Set({{kInput, 25.0}, {kMix, 60.0}, {kInterstage, 1.0}});
  Buffers b(2048);
  Noise(b, {0}, 0.8, 21);
  Noise(b, {1}, 0.6, 22);
  std::vector<std::vector<double>> io = {b.in[0], b.in[1]};
  enginetest::RunAll(a, b);
  double* in[4] = {io[0].data(), io[1].data(), b.in[2].data(), b.in[3].data()};
  double* out[2] = {io[0].data(), io[1].data()};
  c.ProcessBlock(in, out, 2048);
  EXPECT_TRUE(SameBits(io[0], b.out[0]));
  EXPECT_TRUE(SameBits(io[1], b.out[1]));
}

TEST(MirelProcess, BlockSizeDoesNotChangeTheResult) {
  const std::uint64_t seed = 0x5eed;
  Buffers whole(3001);
  Noise(whole, {0, 1, 2, 3}, 0.9, seed);
  auto make = [] {
    auto m = std::make_unique<ReadyMirel>();
    m->Set({{kInput, 30.0}, {kOversample, 1.0}, {kInterstage, 1.0}, {kSidechain, 0.0}, {kMidGain, 4.0}, {kHf, -9.0}});
    return m;
  };
  auto one = make();
  enginetest::RunAll(*one, whole);

  Buffers single(3001), odd(3001);
  single.in = whole.in;
  odd.in = whole.in;
  auto bySample = make();
  for (int i = 0; i < 3001; ++i) enginetest::Run(*bySample, single, i, 1);
  auto bySplits = make();
  const int splits[] = {1, 7, 13, 0, 64, 3, 511, 2, 1000};
  int pos = 0;
  for (int k = 0; pos < 3001; ++k) {
    const int n = std::min(splits[k % 9], 3001 - pos);
    enginetest::Run(*bySplits, odd, pos, n);
    pos += n;
  }
  for (int ch = 0; ch < 2; ++ch) {
    EXPECT_TRUE(SameBits(single.out[static_cast<std::size_t>(ch)], whole.out[static_cast<std::size_t>(ch)])) << "seed " << seed;
    EXPECT_TRUE(SameBits(odd.out[static_cast<std::size_t>(ch)], whole.out[static_cast<std::size_t>(ch)])) << "seed " << seed;
  }
}

TEST(MirelProcess, NonFiniteInputDoesNotSilenceThePlugin) {
  const double bad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity(), 1e300};
  for (double v : bad) {
    SCOPED_TRACE(v);
    ReadyMirel m;
    m.Set({{kInput, 30.0}, {kInterstage, 1.0}});
    Buffers b(1024);
    Noise(b, {0, 1}, 0.5, 31);
    b.in[0][100] = v;
    b.in[1][101] = v;
    enginetest::RunAll(m, b);
    for (int ch = 0; ch < 2; ++ch)
      for (int i = 102; i < b.Frames(); ++i)
        ASSERT_TRUE(std::isfinite(b.out[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)])) << ch << " " << i;
    EXPECT_TRUE(std::isfinite(m.GainState()));
    for (int ch = 0; ch < 2; ++ch) {
      for (const BiquadSection* s : {&m.HighPassSection(ch), &m.PeakSection(ch), &m.ShelfSection(ch)}) {
        EXPECT_TRUE(std::isfinite(s->s1));
        EXPECT_TRUE(std::isfinite(s->s2));
      }
    }
    // Compression still works afterwards.
    Buffers next(4800);
    Noise(next, {0}, 0.9, 33);
    enginetest::RunAll(m, next);
    EXPECT_GT(m.GainState(), 0.0);
    EXPECT_LT(m.GainState(), 0.5);
  }
}

TEST(MirelProcess, DetectorStaysStableAtLowSampleRates) {
  for (double fs : {8000.0, 11025.0, 16000.0, 22050.0}) {
    SCOPED_TRACE(fs);
    ReadyMirel m(fs);
    // Highest shelf boost and a full mid boost at the top of its range.
    m.Set({{kInput, 20.0}, {kHf, -16.0}, {kMidFreq, 10000.0}, {kMidGain, 6.0}});
    Buffers b(static_cast<int>(fs));
    Noise(b, {0, 1}, 0.9, 41);
    enginetest::RunAll(m, b);
    for (int ch = 0; ch < 2; ++ch) {
      for (const BiquadSection* s : {&m.HighPassSection(ch), &m.PeakSection(ch), &m.ShelfSection(ch)}) {
        EXPECT_LE(s->freq, Mirel::kMaxSectionFreq);
        EXPECT_LT(std::fabs(s->s1), 100.0);
        EXPECT_LT(std::fabs(s->s2), 100.0);
      }
      for (double v : b.out[static_cast<std::size_t>(ch)]) ASSERT_LT(std::fabs(v), 10.0);
    }
    EXPECT_GT(m.GainState(), 0.0);
    EXPECT_LT(m.GainState(), 1.0);
  }
  // Where the sections are below the bound their frequency is exactly f / fs.
  for (double fs : {22050.0, 44100.0, 48000.0, 96000.0}) {
    ReadyMirel m(fs);
    m.Set({{kMidFreq, 10000.0}, {kHpf, 500.0}});
    Buffers b(4);
    enginetest::RunAll(m, b);
    EXPECT_EQ(m.ShelfSection(0).freq, 10000.0 / fs);
    EXPECT_EQ(m.PeakSection(1).freq, 10000.0 / fs);
    EXPECT_EQ(m.HighPassSection(0).freq, 500.0 / fs);
  }
}

TEST(MirelProcess, ResetClearsOnlyTheOversampler) {
  ReadyMirel m;
  m.Set(kInput, 40.0);
  Buffers b(4800);
  Noise(b, {0, 1}, 0.9, 51);
  enginetest::RunAll(m, b);
  const double gain = m.GainState();
  const BiquadSection hp = m.HighPassSection(0);
  ASSERT_LT(gain, 0.5);
  ASSERT_NE(m.UpHistory(0).y[0], 0.0);
  m.Reset();
  ExpectOversamplerClear(m);
  EXPECT_EQ(m.GainState(), gain);
  EXPECT_EQ(m.HighPassSection(0).s1, hp.s1);
  EXPECT_EQ(m.HighPassSection(0).s2, hp.s2);
}

TEST(MirelProcess, SwitchingOversampleKeepsTheHistories) {
  ReadyMirel m;
  Buffers b(500);
  Noise(b, {0}, 0.9, 61);
  enginetest::RunAll(m, b);
  const AllPoleHistory up = m.UpHistory(0);
  m.Set(kOversample, 1.0);
  const AllPoleHistory same = m.UpHistory(0);
  EXPECT_EQ(std::memcmp(&up, &same, sizeof up), 0);
  BesselLowpass c16;
  DesignBesselLowpass(c16, 0.2 / 16);
  // The next sample runs the old history through the new coefficients.
  const double x = b.in[0][0];
  enginetest::Run(m, b, 0, 1);
  AllPoleHistory check = up;
  AllPoleStep(check, x, c16);
  for (int k = 1; k < 16; ++k) AllPoleStep(check, 0.0, c16);
  const AllPoleHistory after = m.UpHistory(0);
  EXPECT_EQ(std::memcmp(&check, &after, sizeof check), 0);
}

// Random settings, signals stepping between nearly silent, loud and quiet, random block
// sizes: every output sample and every meter reading has the bits of the
// literal per-sample arithmetic.
TEST(MirelProcess, MatchesTheStatedArithmeticBitForBit) {
  Rng rng(0x6d69726c);
  const auto uniform = [&rng](double lo, double hi) { return lo + (hi - lo) * (0.5 * rng.Uniform() + 0.5); };
  const double rates[] = {22050, 44100, 48000, 96000, 192000};
  for (int trial = 0; trial < 60; ++trial) {
    SCOPED_TRACE(trial);
    LiteralCompressor ref;
    ref.fs = rates[rng.Next() % 5];
    ReadyMirel m(ref.fs, enginetest::Editor::kLayout);
    m.Set({{kInput, trial % 6 == 0 ? 0.0 : trial % 3 == 1 ? uniform(55, 80) : uniform(0, 80)}, {kOutput, uniform(-30, 30)}, {kAttack, uniform(0.0001, 0.0011)},
           {kRelease, uniform(0.02, 0.85)}, {kRatio, static_cast<double>(rng.Next() % 4)}, {kHpf, uniform(20, 500)},
           {kMix, uniform(0, 100)}, {kMidFreq, uniform(500, 10000)}, {kMidGain, uniform(-6, 6)}, {kHf, uniform(-16, 0)},
           {kBypass, static_cast<double>(trial % 5 == 4)}, {kInterstage, static_cast<double>(rng.Next() % 2)},
           {kOversample, static_cast<double>(rng.Next() % 2)}, {kSidechain, static_cast<double>(rng.Next() % 2)}});
    ref.TakeSettings(m);

    Buffers b(2400);
    const double amp = uniform(0.01, 6.0);
    for (int i = 0; i < b.Frames(); ++i) {
      // Nearly silent (where the level shaping's lower branch acts; first, so
      // that the gain attacks into it), loud, quiet.
      const double level = amp * std::array{2e-4, 1.0, 0.03}[static_cast<std::size_t>((i / 400) % 3)];
      for (auto& ch : b.in) ch[static_cast<std::size_t>(i)] = level * rng.Uniform();
    }
    std::vector<double> out[2] = {std::vector<double>(2400), std::vector<double>(2400)};
    // The editor's feed holds each block's last reading: every other block
    // runs sample by sample, so that its every reading is seen.
    std::vector<double> seen, expected;
    for (int pos = 0, block = 0; pos < b.Frames(); ++block) {
      const int len = std::min(1 + static_cast<int>(rng.Next() % 700), b.Frames() - pos);
      const auto first = static_cast<std::ptrdiff_t>(pos);
      if (block % 2 == 1) {
        const std::vector<double> readings = enginetest::RunReadingMeter(m, b, pos, len);
        seen.insert(seen.end(), readings.begin(), readings.end());
        ref.Block(b, out, pos, len);
        expected.insert(expected.end(), ref.meter.begin() + first, ref.meter.begin() + first + len);
      } else {
        enginetest::Run(m, b, pos, len);
        seen.push_back(m.MeterFeed()->Latest());
        ref.Block(b, out, pos, len);
        expected.push_back(ref.meter[static_cast<std::size_t>(pos + len - 1)]);
      }
      pos += len;
    }
    EXPECT_TRUE(SameBits(b.out[0], out[0]));
    EXPECT_TRUE(SameBits(b.out[1], out[1]));
    EXPECT_TRUE(SameBits(seen, expected));
    EXPECT_EQ(m.GainState(), ref.gain);
  }
}

// The oversampling filters take a shortcut while no output needs the flush
// rule and fall back to the rule when one does: signals that switch every
// few samples between loud, silent, decaying and tiny (outputs around and
// below 2^-54) give the bits of the literal arithmetic throughout.
TEST(MirelProcess, FlushRuleHoldsWhereSignalsTurnTinyMidBlock) {
  Rng rng(0x666c7573);
  for (int trial = 0; trial < 8; ++trial) {
    SCOPED_TRACE(trial);
    LiteralCompressor ref;
    ref.fs = 48000;
    ReadyMirel m(ref.fs);
    m.Set({{kInput, 40.0}, {kInterstage, static_cast<double>(trial % 2)}, {kOversample, static_cast<double>(trial / 2 % 2)},
           {kSidechain, 1.0}, {kMix, 100.0}});
    ref.TakeSettings(m);

    Buffers b(3000);
    const double levels[] = {1.0, 0.0, 1e-17, 0.3, 3e-16, 0.0, 1e-300, 0.02, 1e-15};
    int segment = 0;
    for (int i = 0; i < b.Frames(); ++i) {
      if (rng.Next() % 23 == 0) segment = static_cast<int>(rng.Next() % 9);
      const double level = levels[segment];
      // Left and right in different states half of the time.
      b.in[0][static_cast<std::size_t>(i)] = level * rng.Uniform();
      b.in[1][static_cast<std::size_t>(i)] = (trial % 4 < 2 ? level : levels[(segment + 4) % 9]) * rng.Uniform();
    }
    std::vector<double> out[2] = {std::vector<double>(3000), std::vector<double>(3000)};
    for (int pos = 0; pos < b.Frames();) {
      const int len = std::min(1 + static_cast<int>(rng.Next() % 500), b.Frames() - pos);
      enginetest::Run(m, b, pos, len);
      ref.Block(b, out, pos, len);
      pos += len;
    }
    EXPECT_TRUE(SameBits(b.out[0], out[0]));
    EXPECT_TRUE(SameBits(b.out[1], out[1]));
    for (int ch = 0; ch < 2; ++ch) {
      const AllPoleHistory up = m.UpHistory(ch);
      const AllPoleHistory down = m.DownHistory(ch);
      EXPECT_EQ(std::memcmp(up.y, ref.up[ch], sizeof up.y), 0);
      EXPECT_EQ(std::memcmp(down.y, ref.down[ch], sizeof down.y), 0);
    }
  }
}
