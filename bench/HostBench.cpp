// Cost of the built module per stereo sample as a host sees it: loaded from
// its file, driven through the VST3 interfaces at the host's block size and
// sample size, with the sidechain bus active and the detector listening to
// it. Reported against the latency bound of the serial all-pole steps
// measured in the same run (StepBound.h); the difference from the engine
// benchmark is the cost of the process call around the engine.
//
// --module=PATH measures another build of the module (e.g. an older one) in
// the same run conditions. --kernel=pair makes the module use the
// oversampler's pair kernel (the fallback without AVX2) instead of the one
// its processor check picks; bench/host-figures runs both, repeated.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/EffectInstance.h"
#include "host/ParameterChanges.h"
#include "host/ProcessBuffers.h"
#include "bench/StepBound.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

std::string modulePath = MIREL_BENCH_MODULE;

// Parameter ids of the module (the index of each parameter).
constexpr ParamID kInputId = 0;
constexpr ParamID kInterstageId = 11;
constexpr ParamID kOversampleId = 12;
constexpr ParamID kSidechainId = 13;

constexpr int kFrames = 48000;  // one second at 48 kHz per iteration

// Arguments: block size, sample bits (32 or 64), oversampling factor (4 or
// 16), "Interstage" (0 or 1).
void HostProcess(benchmark::State& state) {
  const int block = static_cast<int>(state.range(0));
  const bool is64 = state.range(1) == 64;
  const int factor = static_cast<int>(state.range(2));
  const int32 sampleSize = is64 ? kSample64 : kSample32;

  std::string error;
  auto fx = mirel::host::EffectInstance::Open(modulePath, "mirel-bench", error);
  if (!fx || !fx->Prepare(sampleSize, block, 48000.0, true, kRealtime, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  mirel::host::ProcessBuffers buffers(sampleSize, block, 2, 2, 2);
  buffers.SetProcessMode(kRealtime);
  auto first = mirel::host::MakeHostObject<mirel::host::ParameterChanges>();
  first->Add(kInputId, 30.0 / 80.0);
  first->Add(kOversampleId, factor == 16 ? 1.0 : 0.0);
  first->Add(kInterstageId, static_cast<double>(state.range(3)));
  first->Add(kSidechainId, 0.0);  // the detector listens to the sidechain bus
  auto none = mirel::host::MakeHostObject<mirel::host::ParameterChanges>();

  // One second of noise per channel; the host hands the module pointers into
  // it block by block, as a host hands its own buffers.
  bench::Noise noise;
  std::vector<std::vector<double>> in64(4, std::vector<double>(kFrames));
  std::vector<std::vector<float>> in32(4, std::vector<float>(kFrames));
  for (std::size_t c = 0; c < 4; ++c)
    for (std::size_t i = 0; i < kFrames; ++i) {
      in64[c][i] = noise.Next();
      in32[c][i] = static_cast<float>(in64[c][i]);
    }
  ProcessData& data = buffers.Data();
  ProcessContext& ctx = buffers.Context();
  ctx.sampleRate = 48000.0;
  ctx.state = ProcessContext::kPlaying;

  auto runSecond = [&](bool firstSecond) {
    for (int pos = 0; pos < kFrames; pos += block) {
      const int n = std::min(block, kFrames - pos);
      buffers.SetNumSamples(n);
      buffers.SetParameterChanges(firstSecond && pos == 0 ? first.get() : none.get());
      for (int b = 0; b < 2; ++b)
        for (int c = 0; c < 2; ++c) {
          const auto k = static_cast<std::size_t>(2 * b + c);
          if (is64) {
            data.inputs[b].channelBuffers64[c] = in64[k].data() + pos;
          } else {
            data.inputs[b].channelBuffers32[c] = in32[k].data() + pos;
          }
        }
      ctx.projectTimeSamples = pos;
      fx->Processor()->process(data);
    }
  };
  runSecond(true);  // parameters in, caches warm

  std::int64_t frames = 0;
  const double start = bench::ThreadNs();
  for (auto _ : state) {
    runSecond(false);
    benchmark::DoNotOptimize(buffers.Output(0, 0));
    frames += kFrames;
  }
  bench::ReportPerSample(state, bench::ThreadNs() - start, frames, factor);
}

}  // namespace

int main(int argc, char** argv) {
  // Takes --module=PATH and --kernel=NAME out before the benchmark library
  // sees the arguments. The module reads MIREL_KERNEL when it is loaded.
  std::vector<char*> args;
  const char* kernel = "by processor";
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--module=", 9) == 0) {
      modulePath = argv[i] + 9;
    } else if (std::strcmp(argv[i], "--kernel=pair") == 0) {
      setenv("MIREL_KERNEL", "pair", 1);
      kernel = "pair";
    } else {
      args.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(args.size());
  std::printf("module: %s\nkernel: %s\n", modulePath.c_str(), kernel);
  benchmark::RegisterBenchmark("DependentStepChain", bench::DependentStepChain)->MinTime(0.5);
  benchmark::RegisterBenchmark("HostProcess", HostProcess)
      ->ArgNames({"block", "bits", "N", "interstage"})
      ->ArgsProduct({{64, 256, 1024}, {32, 64}, {4, 16}, {0, 1}})
      ->Unit(benchmark::kMillisecond)
      ->MinTime(0.3);
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
