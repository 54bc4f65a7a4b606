// The panel at a display scale: what it accepts, the device sizes and the
// mapping of positions, frames drawn from resampled strips, and the user's
// zoom on the display scale (a host's resize handle).

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/gui/GuiTestSupport.h"

using namespace guitest;

TEST(Scale, StripFramesStayWholeAtEveryScale) {
  TestPlug plug;
  auto* panel = new TestPanel(&plug);
  panel->AttachBackground(new IBitmapControl(0, 0, -1, panel->LoadBitmap(1001, "bg.png", 1), ChannelBlend::kCopy));
  auto* knob = new IKnobStripControl(40, 20, kKnob, panel->LoadBitmap(1061, "k.png", 61));
  panel->AttachControl(knob);
  plug.AttachGraphics(std::unique_ptr<IEditorLink>(panel));
  for (double s : {1.25, 1.5, 2.0, 2.75}) {
    ASSERT_TRUE(panel->SetScale(s));
    for (auto [v, frame] : {std::pair{0.0, 1}, {0.5, 31}, {1.0, 61}}) {
      knob->SetValue(v);
      ASSERT_TRUE(panel->PaintAll());
      // Every device pixel of the knob shows its own frame, none the next.
      const PixelRect d = panel->ToDevice(knob->Rect());
      for (int y = d.top; y < d.bottom; ++y) {
        for (int x = d.left; x < d.right; ++x) ASSERT_EQ(Pixel(*panel, x, y) & 0xff, static_cast<unsigned>(frame)) << s;
      }
      // The background's 20 x 40 image fills its own device rectangle.
      EXPECT_EQ(Pixel(*panel, panel->ToDevice(20) - 1, panel->ToDevice(40) - 1) & 0xff, 1u);
    }
  }
  // Back at 1, the same pixels as a panel that was never scaled.
  ASSERT_TRUE(panel->SetScale(1.0));
  EXPECT_EQ(panel->BackBuffer()->getWidth(), 200);
}

// ---- The user's size: a zoom on the display scale ---------------------------

TEST(Zoom, HostResizeIsAZoomThatSurvivesDisplayScaleChangesAndDrawsBelowOne) {
  TestPlug plug;
  auto* panel = new TestPanel(&plug, 838, 245);
  auto* knob = new IKnobStripControl(40, 20, kKnob, panel->LoadBitmap(1061, "k.png", 61));
  panel->AttachControl(knob);
  plug.AttachGraphics(std::unique_ptr<IEditorLink>(panel));
  ASSERT_TRUE(panel->SetScale(1.5));
  // Whatever the display scale, a width the handle gives is drawn at exactly
  // its own scale (as mirel-snapshot draws that scale).
  for (int w = 629; w <= 2514; w += 11) {
    ASSERT_TRUE(panel->FitToSize(w, 100000));
    ASSERT_EQ(panel->Scale(), panel->ScaleForWidth(w)) << w;
  }
  // A handle at 1048 x 306 on a display at 1.5: drawn at 1.25, zoom 1.25 / 1.5.
  EXPECT_TRUE(panel->FitToSize(1048, 306));
  EXPECT_EQ(panel->Scale(), 1.25);
  EXPECT_DOUBLE_EQ(panel->Zoom(), 1.25 / 1.5);
  EXPECT_EQ(panel->BackBuffer()->getWidth(), 1048);
  // The display moves to 2: the zoom stays, the drawing scale follows.
  ASSERT_TRUE(panel->SetScale(2.0));
  EXPECT_DOUBLE_EQ(panel->Zoom(), 1.25 / 1.5);
  EXPECT_NEAR(panel->Scale(), 2.0 * 1.25 / 1.5, 1e-6);
  EXPECT_EQ(panel->EditorWidth(), 1397);
  // Back to 1.5: exactly the scale the handle gave.
  ASSERT_TRUE(panel->SetScale(1.5));
  EXPECT_EQ(panel->Scale(), 1.25);
  // At 3 a zoom above 1 stops at the largest drawing scale and is kept.
  ASSERT_TRUE(panel->SetZoom(2.0));
  ASSERT_TRUE(panel->SetScale(3.0));
  EXPECT_EQ(panel->Scale(), 3.0);
  EXPECT_EQ(panel->Zoom(), 2.0);
  // Resized back to the display's own size: no zoom left.
  EXPECT_TRUE(panel->FitToSize(2514, 735));
  EXPECT_EQ(panel->Zoom(), 1.0);

  // Refused zooms change nothing.
  for (double z : {0.0, 0.24, 3.01, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_FALSE(panel->SetZoom(z)) << z;
    EXPECT_EQ(panel->Zoom(), 1.0);
  }
  // Below 1: the smallest size, every knob pixel still its own frame.
  ASSERT_TRUE(panel->SetScale(1.0));
  EXPECT_TRUE(panel->FitToSize(10, 10));
  EXPECT_EQ(panel->Scale(), 0.75);
  EXPECT_EQ(panel->EditorWidth(), 629);
  EXPECT_EQ(panel->BackBuffer()->getHeight(), 184);
  knob->SetValue(1.0);
  ASSERT_TRUE(panel->PaintAll());
  const PixelRect d = panel->ToDevice(knob->Rect());
  EXPECT_EQ(d.W(), 15);
  for (int y = d.top; y < d.bottom; ++y) {
    for (int x = d.left; x < d.right; ++x) ASSERT_EQ(Pixel(*panel, x, y) & 0xff, 61u);
  }
  // A device position maps back to the logical pixel it lies in.
  EXPECT_EQ(panel->ToLogical(30), 40);
}

// Which scales are taken and which scale each policy chooses is the display
// scale's (its own test has every case); the panel's sizes and back buffer
// follow the choice at once, and a refused scale leaves them as they were.
TEST(Scale, ThePanelDrawsAtTheDisplayScalesChoiceAsSoonAsItChanges) {
  using Policy = IPanel::ScalePolicy;
  TestPlug plug;
  TestPanel panel(&plug, 200, 100);
  panel.PrepareDraw();
  for (double s : {0.0, 3.01, std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_FALSE(panel.SetScale(s)) << s;
    EXPECT_FALSE(panel.HostScaleSet()) << s;
    EXPECT_EQ(panel.EditorWidth(), 200);
    EXPECT_EQ(panel.BackBuffer()->getHeight(), 100);
  }
  ASSERT_EQ(panel.GetScalePolicy(), Policy::kLargerOfHostAndDesktop);
  panel.SetDesktopScale(2.0);
  EXPECT_EQ(panel.BackBuffer()->getWidth(), 400);
  ASSERT_TRUE(panel.SetScale(1.0));
  EXPECT_TRUE(panel.HostScaleSet());
  EXPECT_EQ(panel.Scale(), 2.0);
  ASSERT_TRUE(panel.SetScale(2.5));
  EXPECT_EQ(panel.EditorWidth(), 500);
  EXPECT_EQ(panel.EditorHeight(), 250);
  EXPECT_EQ(panel.BackBuffer()->getWidth(), 500);
  EXPECT_EQ(panel.Width(), 200);  // the layout stays logical
  EXPECT_FALSE(panel.SetScale(0.0));
  EXPECT_EQ(panel.BackBuffer()->getWidth(), 500);
  // A host that set 1 under the other policy: drawn at 1 from the switch on.
  ASSERT_TRUE(panel.SetScale(1.0));
  panel.SetScalePolicy(Policy::kHostOnceSet);
  EXPECT_EQ(panel.Scale(), 1.0);
  EXPECT_EQ(panel.EditorWidth(), 200);
  EXPECT_EQ(panel.BackBuffer()->getWidth(), 200);

  // A desktop that stops saying anything (0) leaves the host's scale alone,
  // and the host may then go back to 1.
  TestPanel quiet(&plug, 200, 100);
  quiet.SetDesktopScale(2.0);
  ASSERT_TRUE(quiet.SetScale(2.5));
  EXPECT_EQ(quiet.Scale(), 2.5);
  quiet.SetDesktopScale(0.0);
  EXPECT_EQ(quiet.Scale(), 2.5);
  ASSERT_TRUE(quiet.SetScale(1.0));
  EXPECT_EQ(quiet.Scale(), 1.0);
}

// ---- The display's limit and the window around the picture ----------------

namespace {
// A panel on a short display (1920 x 400 usable).
class ShortDisplayPanel : public TestPanel {
 public:
  using TestPanel::TestPanel;
  bool GetUsableDisplayArea(int& width, int& height) override {
    width = 1920;
    height = 400;
    return true;
  }
};
}  // namespace

TEST(Zoom, AKeptZoomBeyondTheDisplayOpensAtWhatFitsAndAnOffAspectWindowKeepsItsMargins) {
  TestPlug plug;
  auto* panel = new ShortDisplayPanel(&plug, 838, 245);
  plug.AttachGraphics(std::unique_ptr<IEditorLink>(panel));
  ASSERT_TRUE(panel->SetScale(2.0));
  ASSERT_TRUE(panel->SetZoom(1.5));
  EXPECT_EQ(panel->EditorWidth(), 2514);  // no display known before the window opens
  int parent = 0;
  EditorHostContext host;
  host.parent = &parent;
  ASSERT_TRUE(panel->OpenEditor(host));
  EXPECT_EQ(panel->EditorWidth(), 1369);
  EXPECT_EQ(panel->EditorHeight(), 400);
  // The host's answer at that size keeps the zoom; its handle stays on the display.
  EXPECT_TRUE(panel->FitEditorToSize(1369, 400));
  EXPECT_EQ(panel->Zoom(), 1.5);
  int w = 1920, h = 5000;
  panel->ConstrainSize(w, h);
  EXPECT_EQ(h, 400);

  // Off the aspect: the window is the host's size, the picture centred in it.
  EXPECT_TRUE(panel->FitToSize(1100, 466));
  EXPECT_EQ(panel->WindowWidth(), 1100);
  EXPECT_EQ(panel->WindowHeight(), 466);
  EXPECT_EQ(panel->WindowPlaces().picture, (PixelRect{0, 72, 1100, 394}));
  EXPECT_EQ(panel->WindowToLogicalY(72), 0);
  EXPECT_EQ(panel->WindowToLogical(PixelRect{0, 0, 1100, 72}), PixelRect{});  // margin only
  EXPECT_EQ(panel->ToWindow(PixelRect{0, 0, 838, 245}), (PixelRect{0, 72, 1100, 394}));
  // A new scale asks for its own size: the window is the picture again.
  ASSERT_TRUE(panel->SetScale(1.0));
  EXPECT_EQ(panel->WindowHeight(), panel->DeviceHeight());
  panel->CloseEditor(host);
}
