#include <gtest/gtest.h>

#include "tests/gui/GuiTestSupport.h"
#include "tests/support/MouseButtons.h"

using namespace guitest;

namespace {

using testsupport::kAltLeftButton;
using testsupport::kControlLeftButton;
using testsupport::kLeftButton;
using testsupport::kRightButton;
using testsupport::kShiftLeftButton;
using Log = std::vector<std::string>;

// A panel with a background, a 61-frame knob at (40, 20) bound to kKnob and
// a 3-frame switch at (100, 20) bound to kSwitch, attached to the plug-in.
struct Rig {
  TestPlug plug;
  TestPanel* panel = new TestPanel(&plug);
  IKnobStripControl* knob;
  ISwitchControl* sw;
  Rig() {
    panel->AttachBackground(new IBitmapControl(0, 0, -1, panel->LoadBitmap(1001, "bg.png", 1), ChannelBlend::kCopy));
    knob = new IKnobStripControl(40, 20, kKnob, panel->LoadBitmap(1061, "k.png", 61));
    panel->AttachControl(knob);
    sw = new ISwitchControl(100, 20, kSwitch, panel->LoadBitmap(1003, "s.png", 3));
    panel->AttachControl(sw);
    plug.AttachGraphics(std::unique_ptr<IEditorLink>(panel));
    plug.log.clear();
  }
  // The frame shown at a control's top-left after a full paint.
  int FrameAt(const IControl* c) {
    panel->PaintAll();
    return static_cast<int>(Pixel(*panel, c->Rect().left, c->Rect().top) & 0xff);
  }
};

}  // namespace

TEST(PixelRect, UnionMeetingAndClip) {
  const PixelRect a{10, 10, 20, 20}, empty{};
  EXPECT_EQ(a.Union(empty), a);
  EXPECT_EQ(empty.Union(a), a);
  EXPECT_EQ(a.Union({30, 5, 40, 15}), (PixelRect{10, 5, 40, 20}));
  EXPECT_TRUE(a.Meets({20, 20, 30, 30}));   // touches at a's right and bottom edge
  EXPECT_FALSE((PixelRect{20, 20, 30, 30}).Meets(a));
  EXPECT_FALSE(a.Meets(empty));
  EXPECT_FALSE((PixelRect{0, 0, 0, 0}).Meets({-5, -5, 5, 5}));
  EXPECT_TRUE((PixelRect{0, 0, 0, 1}).Meets({-5, -5, 5, 5}));  // only all-zero is empty
  EXPECT_EQ(a.Clip({15, 0, 40, 12}), (PixelRect{15, 10, 20, 12}));
  EXPECT_EQ(a.Clip({21, 0, 40, 12}), empty);
  EXPECT_EQ((ColorArgb{255, 1, 2, 3}).Packed(), 0xff010203u);
}

TEST(Controls, FrameSelectionFollowsTheValueOnTheStripsOwnPixels) {
  Rig r;
  EXPECT_EQ(r.knob->Rect(), (PixelRect{40, 20, 60, 60}));
  // Rounded to the nearest frame: 0.0125 is 0.75 of a frame, 0.995 is 59.7 frames up.
  const std::pair<double, int> cases[] = {{0.0, 1},     {0.5, 31},    {1.0, 61},  {-3.0, 1},    {7.0, 61},
                                          {0.49, 30},   {0.008, 1},   {0.0125, 2}, {1.0 / 60, 2}, {0.995, 61},
                                          {0.99, 60}};
  for (auto [v, frame] : cases) {
    r.knob->SetValue(v);
    EXPECT_EQ(r.FrameAt(r.knob), frame) << v;
  }
  // One frame: always frame 1 from offset 0, 0; side-by-side strips move along x.
  EXPECT_EQ(FrameForValue(1, 0.9), 1);
  auto strip = MakeStrip(7, 5, 3, true);
  BitmapRef ref{strip.get(), 21, 5, 3, true};
  EXPECT_EQ(ref.FrameWidth(), 7);
  EXPECT_EQ(ref.FrameOffset(2), 14);
  // A knob on that strip shows each frame from its own columns.
  r.panel->AttachControl(new IKnobStripControl(150, 50, kChoice, ref));
  IControl* side = r.panel->GetControl(r.panel->NControls() - 1);
  for (auto [v, frame] : {std::pair{0.0, 1}, std::pair{0.5, 2}, std::pair{1.0, 3}}) {
    side->SetValue(v);
    EXPECT_EQ(r.FrameAt(side), frame) << v;
    EXPECT_EQ(Pixel(*r.panel, 156, 54) & 0xff, static_cast<unsigned>(frame)) << v;
  }
  // A 10-row strip of 3 frames: frame k starts at round(10 k / 3).
  BitmapRef odd{strip.get(), 7, 10, 3, false};
  EXPECT_EQ(odd.FrameOffset(1), 3);
  EXPECT_EQ(odd.FrameOffset(2), 7);
}

TEST(Controls, KnobDragAndWheelArithmeticWithEditOrder) {
  Rig r;
  r.knob->SetValue(0.5);
  r.panel->OnMouseDown(45, 50, kLeftButton);
  r.panel->OnMouseDrag(45, 40, kLeftButton);  // 10 px up on a 40 px knob: + 10 / 40 / 4
  r.panel->OnMouseDrag(45, 40, kLeftButton);  // no movement: nothing
  r.panel->OnMouseDrag(45, 50, kShiftLeftButton);  // 10 px down with shift: - 0.00625
  EXPECT_DOUBLE_EQ(r.knob->Value(), 0.55625);
  r.panel->OnMouseUp(45, 50, kLeftButton);
  EXPECT_EQ(r.plug.log, (Log{"begin 0", "perform 0", "perform 0", "end 0"}));
  EXPECT_DOUBLE_EQ(r.plug.GetParam(kKnob)->Value(), 0.55625);
  r.panel->OnMouseWheel(45, 50, {}, 3 * 120);
  EXPECT_DOUBLE_EQ(r.knob->Value(), 0.58625);
  r.panel->OnMouseWheel(45, 50, kShiftLeftButton, -2 * 120);
  EXPECT_DOUBLE_EQ(r.knob->Value(), 0.58425);
  r.panel->OnMouseWheel(45, 50, {}, 1000 * 120);  // clamped
  EXPECT_EQ(r.knob->Value(), 1.0);
}

// Up and right turn a knob up; shift and control each gear a drag down ten
// times; a horizontal knob reads only x, a vertical one only y.
TEST(Controls, DragDirectionAndGearingWithEachModifier) {
  Rig r;
  auto* wide = new IKnobStripControl(150, 20, kChoice, r.knob->Bitmap(), IKnobControl::kHorizontal, 2.0);
  r.panel->AttachControl(wide);
  const std::pair<IControl*, int> knobs[] = {{r.knob, 45}, {wide, 155}};
  for (auto [knob, x] : knobs) {
    const bool horizontal = knob == wide;
    // One pixel of travel along the knob's axis: 1 / 40 / 4 or 1 / 20 / 2.
    const double step = horizontal ? 1.0 / 20 / 2 : 1.0 / 40 / 4;
    for (const MouseMods& mods : {kLeftButton, kShiftLeftButton, kControlLeftButton, kAltLeftButton}) {
      const double gear = (mods.shift || mods.control) ? 10.0 : 1.0;
      knob->SetValue(0.5);
      r.panel->OnMouseDown(x, 30, mods);
      r.panel->OnMouseDrag(x + 8, 22, mods);  // right and up
      EXPECT_DOUBLE_EQ(knob->Value(), 0.5 + 8 * step / gear) << horizontal << mods.shift << mods.control;
      r.panel->OnMouseDrag(x + 4, 26, mods);  // back by half
      EXPECT_DOUBLE_EQ(knob->Value(), 0.5 + 4 * step / gear) << horizontal << mods.shift << mods.control;
      r.panel->OnMouseUp(x + 4, 26, mods);
    }
    // Travel across the axis moves nothing.
    knob->SetValue(0.5);
    r.panel->OnMouseDown(x, 30, kLeftButton);
    r.panel->OnMouseDrag(horizontal ? x : x + 5, horizontal ? 35 : 30, kLeftButton);
    EXPECT_EQ(knob->Value(), 0.5) << horizontal;
    r.panel->OnMouseUp(x, 30, kLeftButton);
  }
}

TEST(Controls, SwitchStepsAndDoubleClickRestoresTheAttachTimeValue) {
  Rig r;
  std::vector<double> seen;
  for (int i = 0; i < 4; ++i) {
    r.panel->OnMouseDown(105, 30, kLeftButton);
    r.panel->OnMouseUp(105, 30, kLeftButton);
    seen.push_back(r.sw->Value());
  }
  EXPECT_EQ(seen, (std::vector<double>{0.5, 1.0, 0.0, 0.5}));

  EXPECT_EQ(r.knob->DefaultValue(), 0.5);  // the parameter's value when attached
  r.knob->SetValue(0.9);
  r.plug.log.clear();
  r.panel->OnMouseDblClick(45, 30, kLeftButton);
  EXPECT_EQ(r.knob->Value(), 0.5);
  EXPECT_EQ(r.plug.log, (Log{"begin 0", "perform 0", "end 0"}));
  // A default at the bottom of the range is a default all the same.
  IKnobStripControl low(0, 0, kKnob, r.knob->Bitmap());
  low.ApplyPlugValue(0.0);
  low.SetValue(0.8);
  low.MouseDoubleClick(1, 1, kLeftButton);
  EXPECT_EQ(low.Value(), 0.0);
  // A control that never had a value from the plug-in ignores double-clicks.
  IKnobStripControl fresh(0, 0, kKnob, r.knob->Bitmap());
  fresh.SetValue(0.3);
  fresh.MouseDoubleClick(1, 1, kLeftButton);
  EXPECT_EQ(fresh.Value(), 0.3);
}

TEST(Controls, RightClickGoesToTheHostMenuAndAReleaseNoPressBeganEndsNothing) {
  Rig r;
  r.sw->SetValue(0.0);
  r.panel->OnMouseDown(105, 30, kRightButton);
  EXPECT_EQ(r.sw->Value(), 0.0);  // no mouse-down reached the switch
  EXPECT_EQ(r.panel->MouseHolder(), -1);
  EXPECT_EQ(r.plug.log, (Log{"menu 1"}));
  r.plug.log.clear();
  r.panel->OnMouseUp(45, 30, {});  // no holder: the knob under the mouse hears it
  EXPECT_TRUE(r.plug.log.empty());
  // Prompting stays off by default: a right-click that reaches a knob does nothing.
  r.knob->MouseDown(45, 30, kRightButton);
  EXPECT_TRUE(r.knob->PromptDisabled());
}

// Every edit reaches the host inside one begin/end pair, whatever the order
// of mouse events: a wheel turn during a drag is part of the drag's (one
// outside a drag is an edit of its own: the wheel's test, below); a
// double-click taken as a click is ended by its release; a second press, a
// resize or a new background ends the edit under way.
TEST(Controls, EditsReachTheHostInBalancedPairs) {
  Rig r;
  r.panel->OnMouseDown(45, 50, kLeftButton);
  r.panel->OnMouseWheel(45, 50, {}, 120);
  r.panel->OnMouseDown(105, 30, kLeftButton);  // a second button on the switch
  r.panel->OnMouseUp(105, 30, kLeftButton);
  r.panel->OnMouseUp(105, 30, kLeftButton);  // the other button's release: nothing open
  EXPECT_EQ(r.plug.log, (Log{"begin 0", "perform 0", "end 0", "begin 1", "perform 1", "end 1"}));
  r.plug.log.clear();
  r.knob->SetDoubleClickAsClick(true);
  EXPECT_TRUE(r.panel->OnMouseDblClick(45, 50, kLeftButton));
  r.panel->OnMouseDrag(45, 40, kLeftButton);
  r.panel->OnMouseUp(45, 40, kLeftButton);
  EXPECT_EQ(r.plug.log, (Log{"begin 0", "perform 0", "end 0"}));
  r.plug.log.clear();
  r.panel->OnMouseDown(45, 50, kLeftButton);
  r.panel->Resize(200, 100);  // the controls go; the edit ends with them
  r.panel->OnMouseUp(45, 50, kLeftButton);
  EXPECT_EQ(r.plug.log, (Log{"begin 0", "end 0", "resize 200x100"}));
}

TEST(Controls, AllZeroRectangleNeverDrawsHitsOrDirtiesTheUnion) {
  TestPlug plug;
  TestPanel panel(&plug);
  auto* zero = new ITextControl({}, TextStyle(), "x");
  panel.AttachControl(zero);
  panel.PrepareDraw();
  EXPECT_TRUE(zero->IsDirty());
  EXPECT_TRUE(panel.TimerTick().IsEmpty());
  EXPECT_FALSE(zero->HitTest(0, 0));
  EXPECT_EQ(panel.Paint({0, 0, 200, 100}), true);
}

TEST(Panel, StrictAndNonStrictPainting) {
  Rig r;
  r.panel->PaintAll();
  // Strict: only controls meeting the region draw, all are marked clean.
  r.knob->SetValue(1.0);
  r.knob->MarkDirty(false);
  r.sw->SetValue(1.0);
  r.sw->MarkDirty(false);
  r.panel->Paint({0, 0, 70, 100});  // meets the background and the knob, not the switch
  EXPECT_EQ(Pixel(*r.panel, 40, 20) & 0xff, 61u);
  EXPECT_EQ(Pixel(*r.panel, 100, 20) & 0xff, 1u);
  EXPECT_FALSE(r.sw->IsDirty());
  // Non-strict: a dirty control repaints its own rectangle with what overlaps it.
  r.panel->SetStrictDrawing(false);
  r.sw->MarkDirty(false);
  r.knob->SetValue(0.0);  // changed but not dirty: stays as painted
  r.panel->Paint({0, 0, 1, 1});
  EXPECT_EQ(Pixel(*r.panel, 100, 20) & 0xff, 3u);
  EXPECT_EQ(Pixel(*r.panel, 40, 20) & 0xff, 61u);
  EXPECT_FALSE(r.sw->IsDirty());
  EXPECT_EQ(r.panel->LastScreenRect(), (PixelRect{0, 0, 1, 1}));
  // A control above the dirty one is drawn again over it where they overlap.
  auto* cover = new IBitmapControl(50, 30, -1, r.panel->LoadBitmap(1003, "s.png", 3));
  r.panel->AttachControl(cover);
  cover->SetValue(1.0);
  cover->MarkDirty(false);
  r.panel->Paint({0, 0, 1, 1});
  r.knob->SetValue(0.5);
  r.knob->MarkDirty(false);
  r.panel->Paint({0, 0, 1, 1});
  EXPECT_EQ(Pixel(*r.panel, 45, 40) & 0xff, 31u);  // the knob alone
  EXPECT_EQ(Pixel(*r.panel, 55, 40) & 0xff, 3u);   // the cover over it
}

TEST(Panel, PlugSideChangesRedrawOnTwoTicks) {
  Rig r;
  r.panel->PaintAll();
  EXPECT_TRUE(r.panel->TimerTick().IsEmpty());
  r.panel->SetParameterFromPlug(kKnob, 0.0);
  EXPECT_EQ(r.knob->Value(), 0.5);                     // nothing before the tick
  for (int tick = 0; tick < 2; ++tick) {
    EXPECT_EQ(r.panel->TimerTick(), r.knob->Rect()) << tick;
    r.panel->Paint(r.knob->Rect());
  }
  EXPECT_TRUE(r.panel->TimerTick().IsEmpty());
  EXPECT_EQ(r.knob->Value(), 0.0);
  // Several controls changed in one tick: the area covers them all.
  r.panel->SetParameterFromPlug(kKnob, 0.75);
  r.panel->SetParameterFromPlug(kSwitch, 1.0);
  EXPECT_EQ(r.panel->TimerTick(), (PixelRect{40, 20, 120, 60}));
  r.panel->PaintAll();
  r.panel->PaintAll();
  // A plug-in value feed (a meter) reaches its control the same way.
  PlugValueFeed* feed = r.panel->OpenPlugValueFeed(1);
  EXPECT_TRUE(r.panel->TimerTick().IsEmpty());  // nothing posted yet
  feed->Post(1.0);
  EXPECT_EQ(r.panel->TimerTick(), r.knob->Rect());
  EXPECT_EQ(r.panel->OpenPlugValueFeed(1), feed);
}

TEST(Panel, ReopeningReusesCachedImagesAndResizeRebuilds) {
  TestPlug plug;
  auto first = std::make_unique<TestPanel>(&plug);
  first->LoadBitmap(1007, "a.png", 7);
  first.reset();  // closed
  TestPanel second(&plug);
  const BitmapRef ref = second.LoadBitmap(1007, "a.png", 7);
  EXPECT_EQ(second.decodes.load(), 0);
  EXPECT_EQ(ref.h, 280);
  EXPECT_EQ(ref.n, 7);
  // A failed load gives a handle without pixels, which draws nothing, and is retried.
  const BitmapRef missing = second.LoadBitmap(999, "gone.png", 2);
  EXPECT_EQ(missing.bitmap, nullptr);
  second.LoadBitmap(999, "gone.png", 2);
  EXPECT_EQ(second.decodes.load(), 2);

  second.AttachControl(new IBitmapControl(0, 0, -1, ref));
  second.PrepareDraw();
  second.Resize(300, 150);
  EXPECT_EQ(second.NControls(), 0);
  EXPECT_EQ(second.BackBuffer()->getWidth(), 300);
  EXPECT_EQ(plug.log.back(), "resize 300x150");
}

TEST(Panel, OffscreenPlatformAnswersNothingChosen) {
  TestPlug plug;
  IPanelOffscreen panel(&plug, 50, 40);
  EXPECT_EQ(panel.GetWindow(), nullptr);
  EXPECT_NE(panel.OpenWindow(nullptr), nullptr);
  IPopupMenu menu(IPopupMenu::kNumber2);
  menu.AddItem("one");
  EXPECT_EQ(menu.ItemLabel(0), "01: one");
  EXPECT_EQ(panel.ShowPopupMenu(&menu, {0, 0, 1, 1}), nullptr);
  std::string path = "x";
  panel.GetModulePath(path);
  EXPECT_EQ(path, "");
  panel.CloseWindow();
  EXPECT_FALSE(panel.WindowIsOpen());
  // Images come from the module's resources through the raster library.
  EXPECT_NE(panel.LoadBitmapFromResource(105, "resources/img/BG.png"), nullptr);
  EXPECT_EQ(panel.LoadBitmapFromResource(105, "resources/img/BG.bmp"), nullptr);
}

TEST(Panel, TextEntryShowsTheValueTextAndReadsTypedTextsAsAHostDoes) {
  Rig r;
  ValueFormat db;
  db.digits = 2;
  db.plusSign = true;
  db.unit = "dB";
  r.plug.GetParam(kKnob)->SetValueFormat(db);
  r.knob->SetPromptDisabled(false);
  const IParamDef& level = *r.plug.GetParam(kKnob);
  const std::pair<const char*, double> typed[] = {{"0.25", 0.25}, {"0.8 dB", 0.8}, {"+0.4DB", 0.4}};
  for (auto [text, value] : typed) {
    const std::string shown = level.FormatDisplay(level.Value());
    r.knob->PromptValueEntry();
    ASSERT_NE(r.panel->EntryText(), nullptr);
    EXPECT_EQ(*r.panel->EntryText(), shown);
    r.plug.log.clear();
    r.panel->CommitEntry(text);
    EXPECT_EQ(r.panel->EntryText(), nullptr);
    EXPECT_DOUBLE_EQ(level.Value(), value) << text;
    EXPECT_EQ(r.plug.log, (Log{"begin 0", "perform 0", "end 0"})) << text;
  }
  EXPECT_EQ(level.FormatDisplay(level.Value()), "+0.40 dB");
  // A text that does not read, or a cancelled entry, changes nothing.
  for (const char* text : {"loud", "0.5 ms", ""}) {
    r.knob->PromptValueEntry();
    r.plug.log.clear();
    r.panel->CommitEntry(text);
    EXPECT_DOUBLE_EQ(level.Value(), 0.4) << text;
    EXPECT_TRUE(r.plug.log.empty()) << text;
  }
  r.knob->PromptValueEntry();
  r.panel->CancelTextEntry();
  r.panel->CommitEntry("0.1");
  EXPECT_DOUBLE_EQ(level.Value(), 0.4);
}

// ---- Gestures stay whole --------------------------------------------------------

TEST(Gestures, CancelAndThePanelsEndCloseTheEditAPressOpened) {
  Rig r;
  r.panel->OnMouseDown(45, 50, kLeftButton);
  r.panel->CancelGestures();  // the window lost the mouse
  EXPECT_EQ(r.panel->MouseHolder(), -1);
  r.panel->CancelGestures();             // nothing open: nothing
  r.panel->OnMouseUp(45, 50, kLeftButton);  // the late release ends nothing
  EXPECT_EQ(r.plug.log, (Log{"begin 0", "end 0"}));
  r.plug.log.clear();
  // A second button pressed outside every control (the pointer left the
  // captured window) ends the drag at once.
  r.panel->OnMouseDown(45, 50, kLeftButton);
  r.panel->OnMouseDown(-5, -5, kLeftButton);
  EXPECT_EQ(r.plug.log, (Log{"begin 0", "end 0"}));
  EXPECT_EQ(r.panel->MouseHolder(), -1);
  r.panel->OnMouseUp(-5, -5, kLeftButton);
  EXPECT_EQ(r.plug.log.size(), 2u);
  r.plug.log.clear();
  r.panel->OnMouseDown(105, 30, kLeftButton);
  r.plug.ReleaseGraphics();  // the editor goes in the middle of a press
  EXPECT_EQ(r.plug.log, (Log{"begin 1", "perform 1", "end 1"}));
}

TEST(Gestures, HostValuesWaitWhileTheirControlIsHeldAndTheLatestShowsAtTheEnd) {
  Rig r;
  r.panel->OnMouseDown(45, 50, kLeftButton);
  r.panel->OnMouseDrag(45, 40, kLeftButton);  // 0.5625
  r.panel->SetParameterFromPlug(kKnob, 0.5);   // the host's echo of an older value
  r.panel->SetParameterFromPlug(kSwitch, 1.0);  // other parameters follow as always
  r.panel->TimerTick();
  EXPECT_EQ(r.knob->Value(), 0.5625);
  EXPECT_EQ(r.sw->Value(), 1.0);
  r.panel->PaintAll();
  r.panel->PaintAll();
  r.panel->SetParameterFromPlug(kKnob, 0.25);
  EXPECT_TRUE(r.panel->TimerTick().IsEmpty());  // the held knob waits
  EXPECT_EQ(r.knob->Value(), 0.5625);
  r.panel->OnMouseUp(45, 40, kLeftButton);
  EXPECT_EQ(r.knob->Value(), 0.25);
  EXPECT_EQ(r.FrameAt(r.knob), 16);  // (int)(60 * 0.25 + 0.5) + 1
  // The host's last word equals the control's: the knob stays where it is.
  r.panel->OnMouseDown(45, 50, kLeftButton);
  r.panel->OnMouseDrag(45, 30, kLeftButton);  // 0.25 + 0.125
  r.panel->SetParameterFromPlug(kKnob, 0.375);
  r.panel->PaintAll();
  r.panel->PaintAll();
  r.panel->OnMouseUp(45, 30, kLeftButton);
  EXPECT_EQ(r.knob->Value(), 0.375);
  EXPECT_FALSE(r.knob->IsDirty());
}

TEST(Gestures, WheelUnitsAddUpToWholeNotchesPerControl) {
  Rig r;
  r.knob->SetValue(0.5);
  r.panel->OnMouseWheel(45, 50, {}, 119);  // less than a notch: nothing
  EXPECT_EQ(r.knob->Value(), 0.5);
  EXPECT_TRUE(r.plug.log.empty());
  r.panel->OnMouseWheel(45, 50, {}, 1);  // the notch completes: exactly one step
  EXPECT_DOUBLE_EQ(r.knob->Value(), 0.51);
  EXPECT_EQ(r.plug.log, (Log{"begin 0", "perform 0", "end 0"}));
  r.plug.log.clear();
  r.panel->OnMouseWheel(45, 50, {}, 240);  // two notches in one edit
  EXPECT_DOUBLE_EQ(r.knob->Value(), 0.53);
  EXPECT_EQ(r.plug.log, (Log{"begin 0", "perform 0", "end 0"}));
  r.panel->OnMouseWheel(45, 50, {}, -180);  // towards the user; 60 wait
  EXPECT_DOUBLE_EQ(r.knob->Value(), 0.52);
  r.panel->OnMouseWheel(45, 50, {}, -60);
  EXPECT_DOUBLE_EQ(r.knob->Value(), 0.51);
  r.plug.log.clear();
  // A rest is forgotten when the pointer leaves the control, at a press and
  // when the wheel turns over another control.
  r.panel->OnMouseWheel(45, 50, {}, 60);
  r.panel->OnMouseOver(5, 5, {});
  r.panel->OnMouseWheel(45, 50, {}, 60);
  r.panel->OnMouseDown(5, 5, kLeftButton);
  r.panel->OnMouseUp(5, 5, kLeftButton);
  r.panel->OnMouseWheel(45, 50, {}, 60);
  r.panel->OnMouseWheel(105, 30, {}, 60);
  r.panel->OnMouseWheel(45, 50, {}, 60);
  r.panel->OnMouseOut();
  r.panel->OnMouseWheel(45, 50, {}, 60);
  EXPECT_DOUBLE_EQ(r.knob->Value(), 0.51);
  EXPECT_TRUE(r.plug.log.empty());
  // At the top a notch changes nothing and sends nothing.
  r.knob->SetValue(1.0);
  r.panel->OnMouseWheel(45, 50, {}, 120);
  EXPECT_TRUE(r.plug.log.empty());
  // During a drag a notch is part of the drag's edit.
  r.panel->OnMouseDown(45, 50, kLeftButton);
  r.panel->OnMouseWheel(45, 50, {}, -120);
  r.panel->OnMouseUp(45, 50, kLeftButton);
  EXPECT_EQ(r.plug.log, (Log{"begin 0", "perform 0", "end 0"}));
}

TEST(Gestures, OpeningShowsValuesThatArrivedWhileClosedAndASecondOpeningIsRefused) {
  Rig r;
  r.panel->PaintAll();
  r.panel->SetParameterFromPlug(kKnob, 1.0);
  EditorHostContext first;
  first.parent = &r;
  ASSERT_TRUE(r.panel->OpenEditor(first));
  void* window = first.window;
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(r.FrameAt(r.knob), 61);  // no tick has run
  // Another view's opening leaves the open window alone.
  EditorHostContext other;
  other.parent = &r.plug;
  EXPECT_FALSE(r.panel->OpenEditor(other));
  EXPECT_EQ(other.window, nullptr);
  EXPECT_EQ(r.panel->GetWindow(), window);
  first.parent = &r.plug;
  EXPECT_TRUE(r.panel->OpenEditor(first));  // its own again
  EXPECT_EQ(first.window, window);
  // Closing through another view's context leaves it open; its own closes it.
  r.panel->CloseEditor(other);
  EXPECT_EQ(r.panel->GetWindow(), window);
  r.panel->CloseEditor(first);
  EXPECT_EQ(r.panel->GetWindow(), nullptr);
}

namespace {
// Takes every key and remembers it.
class KeyTaker : public IControl {
 public:
  explicit KeyTaker(std::vector<int>* keys, PixelRect rect = {}) : IControl(rect), keys_(keys) {}
  bool Draw(IPanel&) override { return true; }
  bool KeyDown(int, int, int key) override {
    keys_->push_back(key);
    return true;
  }

 private:
  std::vector<int>* keys_;
};
}  // namespace

// A key over the background or off every control goes to the keyboard
// control; over a control (or with one held) to that control.
TEST(Gestures, KeysGoToTheControlUnderThePointerOrTheKeyboardControl) {
  Rig r;
  std::vector<int> board, knob;
  EXPECT_FALSE(r.panel->OnKeyDown(5, 5, kKeyUp));  // no keyboard control yet
  r.panel->SetKeyboardControl(std::make_unique<KeyTaker>(&board));
  EXPECT_TRUE(r.panel->OnKeyDown(5, 5, kKeyUp));      // the background
  EXPECT_TRUE(r.panel->OnKeyDown(-5, 300, kKeyDown));  // nowhere
  EXPECT_FALSE(r.panel->OnKeyDown(45, 50, kKeyLeft));  // the knob takes no keys
  r.panel->AttachControl(new KeyTaker(&knob, {150, 20, 170, 60}));
  EXPECT_TRUE(r.panel->OnKeyDown(155, 30, kKeyRight));
  EXPECT_EQ(board, (std::vector<int>{kKeyUp, kKeyDown}));
  EXPECT_EQ(knob, (std::vector<int>{kKeyRight}));
}

TEST(Gestures, HiddenAndGrayedControlsAreNotHit) {
  Rig r;
  // Hidden or grayed, no gesture of any kind reaches it: a press that makes
  // no control the holder, drag, release, wheel turn, double-click.
  const auto touch = [&] {
    r.plug.log.clear();
    r.panel->OnMouseDown(45, 50, kLeftButton);
    const int holder = r.panel->MouseHolder();
    r.panel->OnMouseDrag(45, 40, kLeftButton);
    r.panel->OnMouseUp(45, 40, kLeftButton);
    r.panel->OnMouseWheel(45, 50, MouseMods{}, IPanel::kWheelUnitsPerNotch);
    r.panel->OnMouseDblClick(45, 50, kLeftButton);
    r.panel->OnMouseUp(45, 50, kLeftButton);
    return std::pair{holder, r.plug.log};
  };
  const std::pair<int, Log> untouched{-1, {}};
  r.knob->SetHidden(true);
  EXPECT_EQ(touch(), untouched);
  r.knob->SetHidden(false);
  r.knob->SetGrayed(true);
  EXPECT_EQ(touch(), untouched);
  // Grayed, the knob is drawn at a quarter of its weight over the background.
  r.knob->SetValue(1.0);
  const int grayed = r.FrameAt(r.knob);
  EXPECT_GT(grayed, 1);
  EXPECT_LT(grayed, 61);
  r.knob->SetGrayed(false);
  EXPECT_EQ(r.FrameAt(r.knob), 61);
  const auto [holder, log] = touch();
  EXPECT_EQ(holder, 1);
  EXPECT_FALSE(log.empty());
  // The rectangle's left and top edges are inside, its right and bottom edges outside.
  const struct {
    int x, y;
    bool inside;
  } edges[] = {{40, 20, true}, {59, 59, true}, {60, 30, false}, {45, 60, false}, {39, 30, false}, {45, 19, false}};
  for (const auto& e : edges) EXPECT_EQ(r.knob->HitTest(e.x, e.y), e.inside) << e.x << ", " << e.y;
  // A hidden control above the knob does not shield it.
  std::vector<int> keys;
  IControl* cover = r.panel->GetControl(r.panel->AttachControl(new KeyTaker(&keys, PixelRect{0, 0, 200, 100})));
  cover->SetHidden(true);
  r.plug.log.clear();
  r.panel->OnMouseDown(45, 50, kLeftButton);
  r.panel->OnMouseUp(45, 50, kLeftButton);
  EXPECT_EQ(r.plug.log, (Log{"begin 0", "end 0"}));
}
