#pragma once

// Loads the built module file and reaches its one effect through the VST3
// interfaces only, as a host does.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/ComponentHandler.h"
#include "host/HostApplication.h"
#include "host/HostStrings.h"
#include "host/MemoryStream.h"
#include "host/Module.h"
#include "host/ParameterChanges.h"
#include "host/ProcessBuffers.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstunits.h"

#ifndef MIREL_MODULE_PATH
#error "MIREL_MODULE_PATH must name the built module file"
#endif

namespace mirel::test {

using namespace Steinberg;
using namespace Steinberg::Vst;

inline constexpr ParamID kBpas = 0x62706173;
inline constexpr ParamID kPrst = 0x70727374;

// Host-visible indices of the compressor's parameters.
enum : ParamID {
  kIdInput = 0, kIdOutput, kIdAttack, kIdRelease, kIdRatio, kIdHpf, kIdMix, kIdMidFreq,
  kIdMidGain, kIdHf, kIdBypass, kIdInterstage, kIdOversample, kIdSidechain, kIdCount
};

// The module stays loaded for the whole test program (hosts keep it too).
inline host::Module& LoadedModule() {
  static std::unique_ptr<host::Module> module = [] {
    std::string error;
    auto m = host::Module::Load(MIREL_MODULE_PATH, error);
    if (!m) ADD_FAILURE() << "cannot load " << MIREL_MODULE_PATH << ": " << error;
    return m;
  }();
  if (!module) throw std::runtime_error("module not loaded");
  return *module;
}

inline void EffectClassId(TUID out) {
  host::ModuleClass cls;
  if (!LoadedModule().FindAudioEffect(cls)) throw std::runtime_error("no audio effect class");
  std::memcpy(out, cls.cid, sizeof(TUID));
}

// One instance with its three interfaces.
struct Plug {
  IPtr<IComponent> component;
  IPtr<IAudioProcessor> processor;
  IPtr<IEditController> controller;
  IPtr<host::HostApplication> hostApp = host::MakeHostObject<host::HostApplication>("Test Host");

  Plug() {
    TUID cid;
    EffectClassId(cid);
    std::string error;
    component = LoadedModule().Create<IComponent>(cid, error);
    if (!component) throw std::runtime_error("createInstance: " + error);
    processor = U<IAudioProcessor>();
    controller = U<IEditController>();
  }
  ~Plug() = default;

  template <class I>
  IPtr<I> U() const {
    I* p = nullptr;
    if (component->queryInterface(I::iid, reinterpret_cast<void**>(&p)) != kResultOk) return nullptr;
    return owned(p);
  }

  tresult Initialize() { return component->initialize(hostApp.get()); }

  // Stereo main + stereo sidechain in, stereo out.
  tresult Arrange(SpeakerArrangement main = 0x3, SpeakerArrangement sc = 0x3, SpeakerArrangement out = 0x3) {
    SpeakerArrangement ins[2] = {main, sc};
    SpeakerArrangement outs[1] = {out};
    return processor->setBusArrangements(ins, 2, outs, 1);
  }

  tresult Setup(double rate, int32 maxBlock, int32 sampleSize = kSample32, int32 mode = kRealtime) {
    ProcessSetup s{mode, sampleSize, maxBlock, rate};
    return processor->setupProcessing(s);
  }

  // initialize, arrangement, set-up and activation.
  void Start(double rate = 48000.0, int32 maxBlock = 512, int32 sampleSize = kSample32) {
    ASSERT_EQ(Initialize(), kResultOk);
    ASSERT_EQ(Arrange(), kResultOk);
    ASSERT_EQ(Setup(rate, maxBlock, sampleSize), kResultOk);
    ASSERT_EQ(component->setActive(true), kResultOk);
  }

  void Stop() {
    component->setActive(false);
    component->terminate();
  }

  // Sends one queue point through a zero-sample process call; out, when
  // given, takes the changes the plug-in reports back.
  void SendParam(ParamID id, double v, host::ParameterChanges* out = nullptr) {
    auto changes = host::MakeHostObject<host::ParameterChanges>();
    changes->Add(id, v);
    ProcessData d;
    d.symbolicSampleSize = kSample32;
    d.inputParameterChanges = changes.get();
    d.outputParameterChanges = out;
    processor->process(d);
  }

  std::vector<std::uint8_t> State() {
    auto s = host::MakeHostObject<host::MemoryStream>();
    EXPECT_EQ(component->getState(s.get()), kResultOk);
    return s->Data();
  }
};

// A seeded, deterministic test signal in -0.9..0.9, exactly representable in float.
inline float Noise(std::uint32_t& seed) {
  seed = seed * 1664525u + 1013904223u;
  return static_cast<float>(static_cast<double>(seed >> 8) / 16777216.0 * 1.8 - 0.9);
}

inline void FillInputs(host::ProcessBuffers& b, int n, std::uint32_t seed) {
  for (int bus = 0; bus < b.InputBusCount(); ++bus) {
    for (int ch = 0; ch < b.ChannelCount(bus); ++ch) {
      for (int i = 0; i < n; ++i) b.SetInput(bus, ch, i, Noise(seed));
    }
  }
}

inline double LittleEndianDouble(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  std::uint64_t bits = 0;
  for (int k = 7; k >= 0; --k) bits = (bits << 8) | bytes.at(at + static_cast<std::size_t>(k));
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

inline void PutLittleEndianDouble(std::vector<std::uint8_t>& bytes, std::size_t at, double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof v);
  for (int k = 0; k < 8; ++k) bytes.at(at + static_cast<std::size_t>(k)) = static_cast<std::uint8_t>(bits >> (8 * k));
}

}  // namespace mirel::test
