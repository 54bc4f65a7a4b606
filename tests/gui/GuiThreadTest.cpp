// The audio thread hands values to the editor while the window thread ticks,
// paints, drags and resizes; run under ThreadSanitizer as well.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/gui/GuiTestSupport.h"

using namespace guitest;

namespace {

void Build(TestPanel& panel) {
  panel.AttachBackground(new IBitmapControl(0, 0, -1, panel.LoadBitmap(1001, "bg.png", 1), ChannelBlend::kCopy));
  panel.AttachControl(new IKnobStripControl(40, 20, kKnob, panel.LoadBitmap(1061, "k.png", 61)));
  panel.AttachControl(new IBitmapControl(100, 20, -1, panel.LoadBitmap(1061, "k.png", 61)));
}

}  // namespace

TEST(GuiThreads, AudioHandOverWhileTheWindowTicksPaintsDragsAndResizes) {
  TestPlug plug;
  plug.logging = false;
  auto* panel = new TestPanel(&plug);
  Build(*panel);
  PlugValueFeed* meter = panel->OpenPlugValueFeed(2);
  plug.AttachGraphics(std::unique_ptr<IEditorLink>(panel));

  std::atomic<bool> stop{false};
  std::thread audio([&] {
    for (int i = 0; !stop.load(); ++i) {
      PlugLock lock(plug.Mutex());  // as the adapter holds it around a block
      plug.GetParam(kKnob)->SetFromNormalised((i % 100) / 100.0);
      plug.Graphics()->SetParameterFromPlug(kKnob, (i % 100) / 100.0);
      plug.Graphics()->SetParameterFromPlug(kSwitch, i % 2);
      for (int s = 0; s < 64; ++s) meter->Post((s + i) % 61 / 60.0);
    }
  });

  const MouseMods left{true, false, false, false, false};
  for (int round = 0; round < 300; ++round) {
    panel->Paint(panel->TimerTick());
    panel->OnMouseDown(45, 40, left);
    panel->OnMouseDrag(45, 30 - round % 7, left);
    panel->OnMouseUp(45, 30, left);
    if (round % 50 == 49) {
      panel->Resize(200 + round % 3, 100);
      Build(*panel);
    }
  }
  stop = true;
  audio.join();

  // What the audio thread sent last is what the next tick shows.
  plug.Graphics()->SetParameterFromPlug(kKnob, 0.25);
  meter->Post(0.75);
  panel->TimerTick();
  EXPECT_EQ(panel->GetControl(1)->Value(), 0.25);
  EXPECT_EQ(panel->GetControl(2)->Value(), 0.75);
}

// Editors of several instances on threads of their own draw the module's
// images at changing scales at once: each frame is made once, scales are
// taken and given back concurrently, and every picture comes out whole.
TEST(GuiThreads, PanelsOnSeveralThreadsShareTheImagesAtEveryScale) {
  constexpr int kThreads = 4;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      TestPlug plug;
      plug.logging = false;
      auto* panel = new IPanelOffscreen(&plug, 838, 245, 25);
      panel->AttachBackground(
          new IBitmapControl(0, 0, -1, panel->LoadBitmap(105, "BG.png", 1), ChannelBlend::kCopy));
      auto* knob = new IKnobStripControl(147, 34, kKnob, panel->LoadBitmap(114, "IN.png", 61));
      panel->AttachControl(knob);
      plug.AttachGraphics(std::unique_ptr<IEditorLink>(panel));
      const double scales[] = {2.0, 1.5, 1.25, 1.0, 2.5};
      for (int i = 0; i < 10; ++i) {
        if (!panel->SetScale(scales[(t + i) % 5])) ++failures;
        knob->SetValue(((t * 7 + i * 13) % 61) / 60.0);
        if (!panel->PaintAll()) ++failures;
        // The background's top-left corner is opaque panel at every scale.
        if (Pixel(*panel, 2, 2) >> 24 != 255) ++failures;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_FALSE(ImageStore::Process().HoldsScale(1.5));
  EXPECT_FALSE(ImageStore::Process().HoldsScale(2.5));
}

// States loading on another thread change the zoom the plug-in keeps while
// the window ticks and paints: every change reaches the editor without a
// lock, and the tick after the last one draws at the zoom kept last and asks
// the host for that size.
TEST(GuiThreads, AZoomAStateBringsOnAnotherThreadReachesTheTickingEditor) {
  TestPlug plug;
  plug.logging = false;
  auto* panel = new TestPanel(&plug, 838, 245);
  Build(*panel);
  plug.AttachGraphics(std::unique_ptr<IEditorLink>(panel));
  const double zooms[] = {1.25, 0.75, 2.0, 1.5};
  std::atomic<bool> stop{false};
  std::thread host([&] {
    for (int i = 0; !stop.load(); ++i) {
      PlugLock lock(plug.Mutex());  // as a state load holds it
      plug.SetEditorZoom(zooms[i % 4]);
    }
  });
  for (int round = 0; round < 200; ++round) panel->Paint(panel->TimerTick());
  stop = true;
  host.join();

  ASSERT_TRUE(plug.SetEditorZoom(1.25));
  plug.logging = true;
  panel->TimerTick();
  EXPECT_EQ(panel->Scale(), 1.25);
  EXPECT_EQ(panel->EditorWidth(), 1048);
  // One request at most for the size it took; a tick with nothing new asks nothing.
  ASSERT_LE(plug.log.size(), 1u);
  if (!plug.log.empty()) {
    EXPECT_EQ(plug.log.back(), "resize 1048x306");
  }
  plug.log.clear();
  panel->TimerTick();
  EXPECT_TRUE(plug.log.empty());
}
