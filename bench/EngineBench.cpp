// Cost of the compressor per stereo sample, against the latency bound of its
// serial all-pole filter steps measured on the same machine in the same run
// (StepBound.h): the whole process and, stage by stage, the oversampler's
// wide kernel, the detector levels and the ratio law.
//
// Output: "ns/sample" is nanoseconds per stereo sample, "x_bound" the ratio to
// N chained steps (for the detector and ratio-law stages: to one step). The
// chain benchmark runs first (registration order does).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "dsp/DetectorStages.h"
#include "dsp/InterstageWide.h"
#include "mirel/Mirel.h"
#include "bench/StepBound.h"

namespace {

using bench::ThreadNs;

BENCHMARK(bench::DependentStepChain)->Name("BM_DependentStepChain")->MinTime(0.5);

// The oversampler's wide kernel alone, over one second of noise in runs of
// its largest size, reading one output after each run:
// the stage's own cost, against the same bound.
void BM_WideInterstage(benchmark::State& state) {
  if (!interstage::WideAvailable()) {
    state.SkipWithError("no AVX2 on this processor");
    return;
  }
  const int factor = static_cast<int>(state.range(0));
  constexpr int kFrames = 48000;
  bench::Noise noise;
  std::vector<double> dryL(kFrames), dryR(kFrames);
  for (int i = 0; i < kFrames; ++i) {
    dryL[static_cast<std::size_t>(i)] = noise.Next();
    dryR[static_cast<std::size_t>(i)] = noise.Next();
  }
  BesselLowpass c;
  DesignBesselLowpass(c, 0.2 / factor);
  StereoSample fb[11];
  for (int m = 0; m <= 10; ++m) fb[m] = StereoSample{c.fb[m], c.fb[m]};
  std::vector<double> scratch(interstage::kScratchDoubles);
  StereoAllPoleWindow up, down;
  double sink = 0.0;
  interstage::Run run;
  run.fb = fb;
  run.gain = StereoSample{c.gain, c.gain};
  run.drive = 0.31622776601683794;
  // With a second argument of 1, the gain ballistics run beside the filter
  // steps, on targets that switch between attack and release.
  std::vector<double> targets(interstage::kMaxRun), gainsOut(interstage::kMaxRun);
  for (int j = 0; j < interstage::kMaxRun; ++j) targets[static_cast<std::size_t>(j)] = (j / 8) % 2 ? 0.25 : 0.9;
  GainRun gains;
  gains.law.a = 0.949;
  gains.law.r = 0.99995;
  gains.law.meterK = 0.9997;
  gains.law.metering = true;
  gains.targets = targets.data();
  gains.gains = gainsOut.data();
  if (state.range(1) != 0) run.gains = &gains;
  bool exact = false;
  std::int64_t frames = 0;
  const double start = ThreadNs();
  for (auto _ : state) {
    const int maxRun = interstage::MaxRunAt(factor);
    for (int pos = 0; pos < kFrames; pos += maxRun) {
      run.dryL = dryL.data() + pos;
      run.dryR = dryR.data() + pos;
      run.count = std::min(maxRun, kFrames - pos);
      interstage::RunWide(factor, up, down, scratch.data(), run, exact);
      sink += interstage::Outputs(scratch.data(), factor)[0];
    }
    benchmark::DoNotOptimize(sink);
    frames += kFrames;
  }
  bench::ReportPerSample(state, ThreadNs() - start, frames, factor);
}
BENCHMARK(BM_WideInterstage)->ArgNames({"N", "gains"})->ArgsProduct({{4, 16}, {0, 1}})->Unit(benchmark::kMillisecond)->MinTime(0.5);

// The stages that run ahead of the oversampler, one chunk at a time as the
// compressor runs them, over one second of noise. Their "x_bound" is their
// cost in filter-step latencies per sample (bound of one step), so that the
// stages add up against the process figures: a process at 4x spends 4 of
// them in the oversampler at best.
struct StageInput {
  static constexpr int kFrames = 48000;
  std::vector<double> left, right, levels;
  StageInput() : left(kFrames), right(kFrames), levels(kFrames) {
    bench::Noise noise;
    for (int i = 0; i < kFrames; ++i) {
      left[static_cast<std::size_t>(i)] = noise.Next();
      right[static_cast<std::size_t>(i)] = noise.Next();
    }
  }
};

StereoDetector MakeDetector() {
  BiquadSection hpf, peak, shelf;
  hpf.type = HighPass;
  hpf.q = 1.0;
  hpf.freq = 20.0 / 48000.0;
  peak.type = Peak;
  peak.q = 0.7;
  peak.freq = 500.0 / 48000.0;
  shelf.type = HighShelf;
  shelf.q = 1.0;
  shelf.freq = 10000.0 / 48000.0;
  for (BiquadSection* s : {&hpf, &peak, &shelf}) s->Design();
  return StereoDetector(hpf, hpf, peak, peak, shelf, shelf);
}

// Arguments: "Interstage" (the detector curve) off or on; the wide form (1,
// where AVX2 is present) or the pair form (0).
void BM_DetectorStage(benchmark::State& state) {
  const bool wide = state.range(1) != 0;
  if (wide && !interstage::WideAvailable()) {
    state.SkipWithError("no AVX2 on this processor");
    return;
  }
  StageInput in;
  StereoDetector detector = MakeDetector();
  const LevelParams params = {state.range(0) != 0, 3.548133892335755, LevelShapingCoefficient(48000.0)};
  std::int64_t frames = 0;
  const double start = ThreadNs();
  for (auto _ : state) {
    for (int pos = 0; pos < StageInput::kFrames; pos += 64) {
      const auto at = static_cast<std::size_t>(pos);
      DetectorLevels(detector, in.left.data() + at, in.right.data() + at, 64, params, in.levels.data() + at, wide);
    }
    benchmark::DoNotOptimize(in.levels.data());
    frames += StageInput::kFrames;
  }
  bench::ReportPerSample(state, ThreadNs() - start, frames, 1);
}
BENCHMARK(BM_DetectorStage)->ArgNames({"interstage", "wide"})->ArgsProduct({{0, 1}, {0, 1}})->MinTime(0.3);

// Argument: four lanes (1, where AVX2 is present) or two (0), as each
// kernel's path runs it.
void BM_RatioLawStage(benchmark::State& state) {
  const bool wide = state.range(0) != 0;
  if (wide && !interstage::WideAvailable()) {
    state.SkipWithError("no AVX2 on this processor");
    return;
  }
  StageInput in;
  StereoDetector detector = MakeDetector();
  DetectorLevels(detector, in.left.data(), in.right.data(), StageInput::kFrames, {false, 0.0, LevelShapingCoefficient(48000.0)},
                 in.levels.data());
  const double t = -30.0, threshold = detmath::Exp(t / kLevelScale), invR = 0.5;
  std::vector<double> work(64);
  std::int64_t frames = 0;
  const double start = ThreadNs();
  for (auto _ : state) {
    for (std::size_t pos = 0; pos < StageInput::kFrames; pos += 64) {
      std::copy_n(in.levels.data() + pos, 64, work.data());
      if (wide) {
        RatioLawWide(work.data(), 64, threshold, t, invR);
      } else {
        RatioLawPairs(work.data(), 64, threshold, t, invR);
      }
      benchmark::DoNotOptimize(work.data());
    }
    frames += StageInput::kFrames;
  }
  bench::ReportPerSample(state, ThreadNs() - start, frames, 1);
}
BENCHMARK(BM_RatioLawStage)->ArgNames({"wide"})->Arg(0)->Arg(1)->MinTime(0.3);

// The plug-in as a host drives it: one second of 48 kHz stereo in blocks of 512.
class ReadyMirel : public Mirel {
 public:
  ReadyMirel() {
    sampleRate_ = 48000.0;
    for (int i = 0; i < kNumParams; ++i) ParamChanged(i);
    Reset();
  }
  void Set(int index, double plain) {
    GetParam(index)->SetClamped(plain);
    ParamChanged(index);
  }
};

// Arguments: oversampling factor (4 or 16), "Interstage" (0 or 1), sidechain
// detection (0 = main input, 1 = sidechain input), and optionally 1 to force
// the oversampler's pair kernel (the fallback without AVX2).
void BM_ProcessSecond(benchmark::State& state) {
  const int factor = static_cast<int>(state.range(0));
  constexpr int kFrames = 48000;
  constexpr int kBlock = 512;
  Compressor::PreferPairKernel(state.range(3) != 0);
  ReadyMirel m;
  Compressor::PreferPairKernel(false);
  m.Set(kInput, 30.0);
  m.Set(kOversample, factor == 16 ? 1.0 : 0.0);
  m.Set(kInterstage, static_cast<double>(state.range(1)));
  m.Set(kSidechain, state.range(2) != 0 ? 0.0 : 1.0);
  std::vector<std::vector<double>> in(4, std::vector<double>(kFrames)), out(2, std::vector<double>(kFrames));
  bench::Noise noise;
  for (auto& ch : in)
    for (double& v : ch) v = noise.Next();
  std::int64_t frames = 0;
  const double start = ThreadNs();
  for (auto _ : state) {
    PlugLock lock(m.Mutex());
    for (int pos = 0; pos < kFrames; pos += kBlock) {
      const int n = std::min(kBlock, kFrames - pos);
      double* ip[4] = {in[0].data() + pos, in[1].data() + pos, in[2].data() + pos, in[3].data() + pos};
      double* op[2] = {out[0].data() + pos, out[1].data() + pos};
      m.ProcessBlock(ip, op, n);
    }
    benchmark::DoNotOptimize(out[0].data());
    frames += kFrames;
  }
  bench::ReportPerSample(state, ThreadNs() - start, frames, factor);
}
BENCHMARK(BM_ProcessSecond)
    ->ArgNames({"N", "interstage", "sidechain", "pair"})
    ->ArgsProduct({{4, 16}, {0, 1}, {0, 1}, {0}})
    ->Args({4, 0, 1, 1})
    ->Args({16, 0, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);

}  // namespace

BENCHMARK_MAIN();
