// mirel-probe: loads a VST3 module the way a host does, prints its identity
// and renders one second of a fixed test signal through it, printing a hash
// of the output. Built for Linux and Windows alike, so that a module unpacked
// from a release archive can be checked on the platform it is for, and the
// two platforms' hashes compared.
//
//   mirel-probe MODULE          MODULE: a .vst3 bundle folder or module file
//
// The test signal is made with integer and plain floating-point arithmetic
// only (no library maths), so it is the same on every platform.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "host/EffectInstance.h"
#include "host/ParameterChanges.h"
#include "host/ProcessBuffers.h"
#include "pluginterfaces/base/ipluginbase.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 256;

// A decaying 110 Hz square-ish wave every quarter second plus quiet noise:
// loud enough to be compressed, with a release between the hits.
double TestSample(int frame, int channel, std::uint32_t& noise) {
  noise = noise * 1664525u + 1013904223u;
  const double n = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.02;
  const int inHit = frame % (kRate / 4);
  double decay = 1.0;
  for (int i = 0; i < inHit / 441; ++i) decay *= 0.9;  // -0.9 dB every 10 ms
  const int period = kRate / 110;
  const double square = (frame % period) < period / 2 ? 0.8 : -0.8;
  return square * decay * (channel == 0 ? 1.0 : 0.9) + n;
}

std::string ClassVersion(const mirel::host::Module& module) {
  FUnknownPtr<IPluginFactory2> factory2(module.Factory());
  if (!factory2) return "unknown";
  for (int32 i = 0; i < module.Factory()->countClasses(); ++i) {
    PClassInfo2 info{};
    if (factory2->getClassInfo2(i, &info) == kResultOk &&
        std::string(info.category) == kVstAudioEffectClass) {
      return info.version;
    }
  }
  return "unknown";
}

int Probe(const std::string& path) {
  std::string error;
  auto fx = mirel::host::EffectInstance::Open(path, "mirel-probe", error);
  if (!fx) {
    std::fprintf(stderr, "mirel-probe: %s\n", error.c_str());
    return 1;
  }
  if (!fx->Prepare(kSample64, kBlock, kRate, false, kOffline, error)) {
    std::fprintf(stderr, "mirel-probe: %s\n", error.c_str());
    return 1;
  }
  mirel::host::ProcessBuffers buffers(kSample64, kBlock, 2, fx->InputBusCount() > 1 ? 2 : 0, 2);
  buffers.SetProcessMode(kOffline);
  // Threshold -30 dB ("Input" 30 of 80), ratio 8:1, otherwise the defaults.
  auto changes = mirel::host::MakeHostObject<mirel::host::ParameterChanges>();
  changes->Add(0, 30.0 / 80.0, 0);
  changes->Add(4, 2.0 / 3.0, 0);
  buffers.SetParameterChanges(changes.get());

  std::uint64_t hash = 1469598103934665603ull;  // FNV-1a over the output's bytes
  std::uint32_t noise = 12345;
  double peakIn = 0, peakOut = 0;
  for (int done = 0; done < kRate; done += kBlock) {
    const int n = kRate - done < kBlock ? kRate - done : kBlock;
    buffers.SetNumSamples(n);
    for (int i = 0; i < n; ++i) {
      for (int c = 0; c < 2; ++c) {
        const double v = TestSample(done + i, c, noise);
        buffers.SetInput(0, c, i, v);
        peakIn = std::fmax(peakIn, std::fabs(v));
      }
    }
    if (fx->Processor()->process(buffers.Data()) != kResultOk) {
      std::fprintf(stderr, "mirel-probe: the plug-in failed to process the block at frame %d\n", done);
      return 1;
    }
    changes->Clear();
    for (int i = 0; i < n; ++i) {
      for (int c = 0; c < 2; ++c) {
        const double v = buffers.Output(c, i);
        if (!std::isfinite(v)) {
          std::fprintf(stderr, "mirel-probe: the plug-in produced a non-finite sample\n");
          return 1;
        }
        peakOut = std::fmax(peakOut, std::fabs(v));
        std::uint64_t bits;
        static_assert(sizeof bits == sizeof v);
        __builtin_memcpy(&bits, &v, sizeof bits);
        for (int b = 0; b < 8; ++b) {
          hash ^= (bits >> (8 * b)) & 0xffu;
          hash *= 1099511628211ull;
        }
      }
    }
  }
  std::printf("class: %s\nversion: %s\npeak_in: %.6f\npeak_out: %.6f\noutput_hash: %016llx\n",
              fx->ClassName().c_str(), ClassVersion(fx->LoadedModule()).c_str(), peakIn, peakOut,
              static_cast<unsigned long long>(hash));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(argc == 2 ? stdout : stderr,
                 "usage: mirel-probe MODULE\n"
                 "Loads a VST3 module (bundle folder or module file), prints its class, version\n"
                 "and a hash of one second of a fixed test signal rendered through it.\n");
    return argc == 2 ? 0 : 2;
  }
  return Probe(argv[1]);
}
