// mirel-probe: loads a VST3 or CLAP module the way a host does, prints its
// identity and renders one second of a fixed test signal through it,
// printing a hash of the output. Built for Linux and Windows alike, so that a
// module unpacked from a release archive can be checked on the platform it is
// for, and the two platforms' (and the two formats') hashes compared.
//
//   mirel-probe MODULE          MODULE: a .vst3 bundle folder or module file, or a .clap file
//
// The test signal is made with integer and plain floating-point arithmetic
// only (no library maths), so it is the same on every platform.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "host/ClapEvents.h"
#include "host/ClapModule.h"
#include "host/ClapPlugin.h"
#include "host/ClapProcessBuffers.h"
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

// Renders the test signal through `road` (SetInput, Process, Output) and
// prints the hash; the identity lines come first.
template <class Road>
int RenderSignal(Road& road, const std::string& className, const std::string& version) {
  std::uint64_t hash = 1469598103934665603ull;  // FNV-1a over the output's bytes
  std::uint32_t noise = 12345;
  double peakIn = 0, peakOut = 0;
  for (int done = 0; done < kRate; done += kBlock) {
    const int n = kRate - done < kBlock ? kRate - done : kBlock;
    for (int i = 0; i < n; ++i) {
      for (int c = 0; c < 2; ++c) {
        const double v = TestSample(done + i, c, noise);
        road.SetInput(c, i, v);
        peakIn = std::fmax(peakIn, std::fabs(v));
      }
    }
    if (!road.Process(n)) {
      std::fprintf(stderr, "mirel-probe: the plug-in failed to process the block at frame %d\n", done);
      return 1;
    }
    for (int i = 0; i < n; ++i) {
      for (int c = 0; c < 2; ++c) {
        const double v = road.Output(c, i);
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
              className.c_str(), version.c_str(), peakIn, peakOut, static_cast<unsigned long long>(hash));
  return 0;
}

int Fail(const std::string& error) {
  std::fprintf(stderr, "mirel-probe: %s\n", error.c_str());
  return 1;
}

int ProbeVst3(const std::string& path) {
  std::string error;
  auto fx = mirel::host::EffectInstance::Open(path, "mirel-probe", error);
  if (!fx) return Fail(error);
  if (!fx->Prepare(kSample64, kBlock, kRate, false, kOffline, error)) return Fail(error);
  struct Road {
    mirel::host::EffectInstance& fx;
    mirel::host::ProcessBuffers buffers;
    IPtr<mirel::host::ParameterChanges> changes;
    void SetInput(int c, int i, double v) { buffers.SetInput(0, c, i, v); }
    double Output(int c, int i) const { return buffers.Output(c, i); }
    bool Process(int n) {
      buffers.SetNumSamples(n);
      const bool ok = fx.Processor()->process(buffers.Data()) == kResultOk;
      changes->Clear();
      return ok;
    }
  } road{*fx, {kSample64, kBlock, 2, fx->InputBusCount() > 1 ? 2 : 0, 2},
         mirel::host::MakeHostObject<mirel::host::ParameterChanges>()};
  road.buffers.SetProcessMode(kOffline);
  // Threshold -30 dB ("Input" 30 of 80), ratio 8:1, otherwise the defaults.
  road.changes->Add(0, 30.0 / 80.0, 0);
  road.changes->Add(4, 2.0 / 3.0, 0);
  road.buffers.SetParameterChanges(road.changes.get());
  return RenderSignal(road, fx->ClassName(), ClassVersion(fx->LoadedModule()));
}

int ProbeClap(const std::string& path) {
  std::string error;
  auto module = mirel::host::ClapModule::Load(path, error);
  if (!module) return Fail(error);
  mirel::host::ClapPlugin::Options options;
  options.hostName = "mirel-probe";
  auto plugin = mirel::host::ClapPlugin::Create(*module, "", options, error);
  if (!plugin) return Fail(error);
  if (!plugin->Init() || !plugin->Activate(kRate, 1, kBlock)) return Fail("the plug-in refused init or activation");
  struct Road {
    mirel::host::ClapPlugin& plugin;
    mirel::host::ClapProcessBuffers buffers;
    mirel::host::ClapInputEvents first;
    void SetInput(int c, int i, double v) { buffers.SetInput(0, c, static_cast<std::uint32_t>(i), v); }
    double Output(int c, int i) const { return buffers.Output(c, static_cast<std::uint32_t>(i)); }
    bool Process(int n) {
      mirel::host::ClapOutputEvents out;
      const bool ok = plugin.Process(buffers.Process(static_cast<std::uint32_t>(n), first.List(), out.List())) !=
                      CLAP_PROCESS_ERROR;
      first.Clear();
      return ok;
    }
  } road{*plugin, {{true, false, false}, kBlock}, {}};
  // The same settings as plain values: Input 30, Ratio's third step (8:1).
  road.first.Add(0, 30.0);
  road.first.Add(4, 2.0);
  const clap_plugin_descriptor_t* d = module->Factory().get_plugin_descriptor(&module->Factory(), 0);
  return RenderSignal(road, d && d->name ? d->name : "", d && d->version ? d->version : "unknown");
}

int Probe(const std::string& path) {
  return mirel::host::ClapModule::IsClapPath(path) ? ProbeClap(path) : ProbeVst3(path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(argc == 2 ? stdout : stderr,
                 "usage: mirel-probe MODULE\n"
                 "Loads a VST3 module (bundle folder or module file) or a CLAP module (.clap),\n"
                 "prints its class, version\n"
                 "and a hash of one second of a fixed test signal rendered through it.\n");
    return argc == 2 ? 0 : 2;
  }
  return Probe(argv[1]);
}
