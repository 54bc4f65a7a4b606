// Handing values to the editor (the audio side) and a timer tick with nothing
// new allocate nothing. Counts heap use with a replaced global operator new,
// so it stays out of the sanitizer run (ASan brings its own allocator).

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "tests/support/CountingNew.h"
#include "tests/gui/GuiTestSupport.h"

namespace {
std::atomic<bool>& counting = testsupport::countingAllocations;
std::atomic<int>& allocations = testsupport::allocationCount;
}  // namespace


TEST(GuiAlloc, HandOverAndIdleTickAllocateNothing) {
  using namespace guitest;
  TestPlug plug;
  auto* panel = new TestPanel(&plug);
  auto* knob = new IKnobStripControl(40, 20, kKnob, panel->LoadBitmap(1061, "k.png", 61));
  panel->AttachControl(knob);
  panel->AttachControl(new IBitmapControl(100, 20, -1, panel->LoadBitmap(1061, "k.png", 61)));
  PlugValueFeed* feed = panel->OpenPlugValueFeed(1);
  plug.AttachGraphics(std::unique_ptr<IEditorLink>(panel));
  panel->PaintAll();
  panel->PaintAll();

  allocations = 0;
  counting = true;
  plug.Graphics()->SetParameterFromPlug(kKnob, 0.0);
  feed->Post(0.5);
  feed->Post(0.7);
  const PixelRect changed = panel->TimerTick();
  panel->Paint(changed);
  panel->Paint(panel->TimerTick());
  const PixelRect idle = panel->TimerTick();
  counting = false;
  EXPECT_EQ(allocations.load(), 0);
  EXPECT_EQ(changed, knob->Rect());  // the meter's first value only sets its default
  EXPECT_TRUE(idle.IsEmpty());
}
