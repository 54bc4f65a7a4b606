#pragma once

// Mirel driven through its host-facing calls, as a host's audio thread sees
// it: stereo main and sidechain inputs (the sidechain bus activated), set up
// and active. The owner deactivates, terminates and releases it.

#include "tests/mirel/EngineTestSupport.h"

namespace enginetest {

class HostedMirel {
 public:
  HostedMirel(Steinberg::int32 sampleSize, Steinberg::int32 maxBlock, double rate, Editor editor)
      : m(new Mirel(editor == Editor::kLayout)) {  // reference-counted: created with one reference
    namespace vst = Steinberg::Vst;
    m->initialize(nullptr);
    vst::SpeakerArrangement ins[2] = {0x3, 0x3};
    vst::SpeakerArrangement outs[1] = {0x3};
    m->setBusArrangements(ins, 2, outs, 1);
    m->activateBus(vst::kAudio, vst::kInput, 1, true);
    SetUp(sampleSize, maxBlock, rate);
    m->setActive(true);
  }
  ~HostedMirel() {
    m->setActive(false);
    m->terminate();
    m->release();
  }
  HostedMirel(const HostedMirel&) = delete;
  HostedMirel& operator=(const HostedMirel&) = delete;

  void SetUp(Steinberg::int32 sampleSize, Steinberg::int32 maxBlock, double rate) {
    Steinberg::Vst::ProcessSetup setup{Steinberg::Vst::kRealtime, sampleSize, maxBlock, rate};
    m->setupProcessing(setup);
  }

  Mirel* const m;
};

}  // namespace enginetest
