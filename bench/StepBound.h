#pragma once

// The yardstick of the benchmarks: the latency of one all-pole filter step,
// measured on the same machine in the same run as the figures compared with it.
//
// One filter step is a multiply followed by ten additions that depend on one
// another and on the previous step's output, so a step can never take less
// than the latency of one multiply and ten additions. Per stereo sample the
// oversampler runs 4 N steps (up and down filter, two channels), but the two
// channels and the up and down filters are independent chains that can
// overlap, so the bound for a stereo sample is N steps of one chain.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <ctime>

namespace bench {

// CPU time of this thread: the machine is shared, and wall time would count
// the time other programs hold the core.
inline double ThreadNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

// Runs `steps` chained filter steps and returns the thread time they took.
// The critical path of one all-pole step: y feeds the first product, and the
// ten additions follow one another. The other nine products use values that
// do not depend on y, as the history values do not within a step.
inline double TimeStepChain(std::int64_t steps) {
  double c[11];
  for (int m = 0; m < 11; ++m) c[m] = 0.01 * (m + 1);
  c[1] = 0.5;  // keeps y bounded and away from denormals
  double h[11];
  for (int m = 0; m < 11; ++m) h[m] = 0.001 * (m + 3);
  benchmark::DoNotOptimize(c);
  benchmark::DoNotOptimize(h);
  double y = 0.25;
  const double start = ThreadNs();
  for (std::int64_t i = 0; i < steps; ++i) {
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
  return ThreadNs() - start;
}

// Latency of one step as the chain benchmark last measured it.
inline double stepNs = 0.0;

inline void DependentStepChain(benchmark::State& state) {
  constexpr int kSteps = 1 << 16;
  double ns = 0.0;
  std::int64_t steps = 0;
  for (auto _ : state) {
    ns += TimeStepChain(kSteps);
    steps += kSteps;
  }
  stepNs = ns / static_cast<double>(steps);
  state.counters["ns/step"] = stepNs;
}

// Reports nanoseconds per stereo sample and the ratio to `steps` chained
// steps per sample. The step's latency is measured again right after the
// figure (a few milliseconds of the chain), so that a change of the
// processor's clock during the run moves both alike; the chain benchmark's
// figure is the fallback for runs too short to matter.
inline void ReportPerSample(benchmark::State& state, double ns, std::int64_t frames, double steps) {
  const double perSample = ns / static_cast<double>(frames);
  state.counters["ns/sample"] = perSample;
  if (steps <= 0) return;
  constexpr std::int64_t kBoundSteps = 1 << 19;
  const double localStepNs = TimeStepChain(kBoundSteps) / static_cast<double>(kBoundSteps);
  const double step = localStepNs > 0 ? localStepNs : stepNs;
  if (step > 0) state.counters["x_bound"] = perSample / (steps * step);
}

// Deterministic noise in -0.8 .. 0.8 (xorshift), the same on every run.
class Noise {
 public:
  double Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 7;
    s_ ^= s_ << 17;
    return 0.8 * (static_cast<double>(s_ >> 11) * 0x1p-52 - 1.0);
  }

 private:
  std::uint64_t s_ = 0x243f6a8885a308d3ull;
};

}  // namespace bench
