// The host's audio thread processes with parameter changes while the window
// thread ticks, paints, drags, relays host automation and state, and resizes
// the editor (which deletes every control). Run under ThreadSanitizer too.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "host/MemoryStream.h"
#include "mirel/Mirel.h"
#include "host/ParameterChanges.h"
#include "host/ProcessBuffers.h"
#include "gui/IPanel.h"

namespace vst = Steinberg::Vst;

TEST(EditorThreads, ProcessRunsWhileTheEditorTicksPaintsDragsAndResizes) {
  Mirel* m = new Mirel;
  m->initialize(nullptr);
  vst::ProcessSetup setup{vst::kRealtime, vst::kSample32, 256, 48000.0};
  m->setupProcessing(setup);
  m->setActive(true);
  auto* panel = dynamic_cast<IPanel*>(m->Graphics());
  ASSERT_NE(panel, nullptr);
  mirel::host::MemoryStream state;
  ASSERT_EQ(m->getState(&state), Steinberg::kResultOk);

  std::atomic<bool> stop{false};
  std::thread audio([&] {
    mirel::host::ParameterChanges changes;
    mirel::host::ProcessBuffers b(vst::kSample32, 256, 2, 2, 2);
    for (int i = 0; i < 256; ++i) b.In32(0, 0)[i] = b.In32(0, 1)[i] = static_cast<float>(i % 32) / 40.0f;
    b.SetParameterChanges(&changes);
    b.SetNumSamples(256);
    for (int round = 0; !stop.load(); ++round) {
      changes.Clear();
      changes.Add(kInput, (round % 10) / 10.0);
      changes.Add(kRatio, (round % 4) / 3.0);
      m->process(b.Data());
    }
  });

  const MouseMods left{true, false, false, false, false};
  for (int round = 0; round < 200; ++round) {
    panel->Paint(panel->TimerTick());
    if (panel->NControls() == 17) {
      const PixelRect knob = panel->GetControl(5)->Rect();
      panel->OnMouseDown(knob.left + 2, knob.top + 2, left);
      panel->OnMouseDrag(knob.left + 2, knob.top - round % 9, left);
      panel->OnMouseUp(knob.left + 2, knob.top, left);
    }
    m->setParamNormalized(kMix, (round % 5) / 4.0);
    if (round % 40 == 20) {
      state.Rewind();
      m->setState(&state);
    }
    if (round == 150) panel->Resize(840, 250);  // deletes every control
  }
  stop = true;
  audio.join();
  panel->TimerTick();
  EXPECT_EQ(panel->NControls(), 0);
  m->setActive(false);
  m->terminate();
  m->release();
}
