// Cost of the compressor per stereo sample, against the latency bound of its
// serial all-pole filter steps measured on the same machine in the same run.
//
// One filter step is a multiply followed by ten additions that depend on one
// another and on the previous step's output, so a step can never take less
// than the latency of one multiply and ten additions. Per stereo sample the
// oversampler runs 4 N steps (up and down filter, two channels), but the two
// channels and the up and down filters are independent chains that can
// overlap, so the bound for a stereo sample is N steps of one chain.
//
// Output: "ns/sample" is nanoseconds per stereo sample, "x_bound" the ratio to
// N chained steps. Run the chain benchmark first (registration order does).

#include <benchmark/benchmark.h>

#include <ctime>
#include <cstdint>
#include <vector>

#include "Mirel.h"

namespace {

// CPU time of this thread: the machine is shared, and wall time would count
// the time other programs hold the core.
double ThreadNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

double stepNs = 0.0;  // latency of one filter step, from BM_DependentStepChain

// The critical path of one all-pole step: y feeds the first product, and the
// ten additions follow one another. The other nine products use values that
// do not depend on y, as the history values do not within a step.
void BM_DependentStepChain(benchmark::State& state) {
  constexpr int kSteps = 1 << 16;
  double c[11];
  for (int m = 0; m < 11; ++m) c[m] = 0.01 * (m + 1);
  c[1] = 0.5;  // keeps y bounded and away from denormals
  double h[11];
  for (int m = 0; m < 11; ++m) h[m] = 0.001 * (m + 3);
  benchmark::DoNotOptimize(c);
  benchmark::DoNotOptimize(h);
  double y = 0.25;
  const double start = ThreadNs();
  std::int64_t steps = 0;
  for (auto _ : state) {
    for (int i = 0; i < kSteps; ++i) {
      double s = c[1] * y + c[0] * h[0];
      s += c[2] * h[2];
      s += c[3] * h[3];
      s += c[4] * h[4];
      s += c[5] * h[5];
      s += c[6] * h[6];
      s += c[7] * h[7];
      s += c[8] * h[8];
      s += c[9] * h[9];
      s += c[10] * h[10];
      y = s;
    }
    benchmark::DoNotOptimize(y);
    steps += kSteps;
  }
  const double ns = ThreadNs() - start;
  stepNs = ns / static_cast<double>(steps);
  state.counters["ns/step"] = stepNs;
}
BENCHMARK(BM_DependentStepChain)->MinTime(0.5);

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
// detection (0 = main input, 1 = sidechain input).
void BM_ProcessSecond(benchmark::State& state) {
  const int factor = static_cast<int>(state.range(0));
  constexpr int kFrames = 48000;
  constexpr int kBlock = 512;
  ReadyMirel m;
  m.Set(kInput, 30.0);
  m.Set(kOversample, factor == 16 ? 1.0 : 0.0);
  m.Set(kInterstage, static_cast<double>(state.range(1)));
  m.Set(kSidechain, state.range(2) != 0 ? 0.0 : 1.0);
  std::vector<std::vector<double>> in(4, std::vector<double>(kFrames)), out(2, std::vector<double>(kFrames));
  std::uint64_t s = 0x243f6a8885a308d3ull;
  for (auto& ch : in)
    for (double& v : ch) {
      s ^= s << 13;
      s ^= s >> 7;
      s ^= s << 17;
      v = 0.8 * (static_cast<double>(s >> 11) * 0x1p-52 - 1.0);
    }
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
  const double ns = ThreadNs() - start;
  const double perSample = ns / static_cast<double>(frames);
  state.counters["ns/sample"] = perSample;
  if (stepNs > 0) state.counters["x_bound"] = perSample / (factor * stepNs);
}
BENCHMARK(BM_ProcessSecond)
    ->ArgNames({"N", "interstage", "sidechain"})
    ->ArgsProduct({{4, 16}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);

}  // namespace

BENCHMARK_MAIN();
