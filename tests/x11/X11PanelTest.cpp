// The X11 editor panel inside a host window on a private X server, driven by
// the host's poll() run loop through IRunLoop: what it shows, the gestures
// real pointer input makes, and the ways hosts open and close it.

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

#include "tests/gui/GuiTestSupport.h"
#include "tests/support/PictureCompare.h"
#include "tests/support/XSettingsBlock.h"
#include "host/x11/EditorHostX11.h"
#include "tests/x11/PrivateXServer.h"
#include "vst3/ViewRunLoopX11.h"
#include "gui/x11/IPanelX11.h"

// Last: its macros clash with ordinary names.
#include <X11/Xlib.h>

namespace {

using namespace Steinberg;
using guitest::kKnob;
using guitest::kSwitch;
using mirel::host::XWindowId;

// Strips made in memory, as the off-screen test panel makes them.
class StripPanelX11 : public IPanelX11 {
 public:
  explicit StripPanelX11(IEffectBase* plug) : IPanelX11(plug, 200, 100, 25) {}
  std::unique_ptr<RAS_IBitmap> LoadBitmapFromResource(int id, const char*) override {
    return guitest::MakeStrip(20, 40, id - 1000);
  }
};

// A plug-in with a 61-frame knob at (10, 10)-(30, 50) and a switch at (100, 10).
struct Editor {
  guitest::TestPlug plug;
  StripPanelX11* panel = nullptr;
  Editor() {
    auto p = std::make_unique<StripPanelX11>(&plug);
    p->AttachBackground(new IBitmapControl(0, 0, -1, p->LoadBitmap(1001, "bg.png", 1), 1));
    p->AttachControl(new IKnobStripControl(10, 10, kKnob, p->LoadBitmap(1061, "k.png", 61)));
    p->AttachControl(new ISwitchControl(100, 10, kSwitch, p->LoadBitmap(1002, "s.png", 2)));
    panel = p.get();
    plug.AttachGraphics(std::move(p));
  }
  double Value(int param) { return plug.GetParam(param)->Value(); }
};

class X11PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(error)) << error;
    display_ = mirel::host::X11Display::Open(nullptr, error);
    ASSERT_TRUE(display_) << error;
    ASSERT_TRUE(display_->HasXTest());
  }
  void TearDown() override { display_.reset(); }

  // A mapped top-level host window with a frame that offers the run loop.
  XWindowId HostWindow(int x, int y) {
    ::Display* d = display_->Get();
    const XWindowId w = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, 200, 100, 0, 0, 0);
    XMapWindow(d, w);
    XSync(d, False);
    return w;
  }
  // Opens the panel in `parent` through the frame's IRunLoop.
  NativeWindow Open(Editor& e, XWindowId parent, bool offerRunLoop = true) {
    frame_ = owned(new mirel::host::PlugFrameX11(*display_, parent, offerRunLoop));
    loop_ = ViewRunLoopX11::FromFrame(frame_);
    if (!loop_) return nullptr;
    e.panel->SetRunLoop(loop_.get());
    return e.panel->OpenWindow(reinterpret_cast<NativeWindow>(parent));
  }
  bool Settled(Editor& e) {
    return display_->PumpUntil([&] { return e.panel->DirtyUnion().IsEmpty(); }, 2000);
  }
  // The window shows exactly the back buffer's colours: Matches for waiting
  // (quietly), ShowsBackBuffer for the verdict (with the pictures on failure).
  bool Matches(Editor& e) {
    mirel::host::EditorImage shown;
    return mirel::host::CaptureWindow(display_->Get(), Child(e), shown) &&
           !testsupport::FirstDifference(testsupport::PictureView::Of(shown),
                                         testsupport::PictureView::Of(*e.panel->BackBuffer()),
                                         testsupport::PictureRules::Screen());
  }
  ::testing::AssertionResult ShowsBackBuffer(Editor& e) {
    mirel::host::EditorImage shown;
    if (!mirel::host::CaptureWindow(display_->Get(), Child(e), shown)) return ::testing::AssertionFailure() << "no capture";
    return testsupport::SamePicture(testsupport::PictureView::Of(shown),
                                    testsupport::PictureView::Of(*e.panel->BackBuffer()),
                                    std::string("x11-panel-") + ::testing::UnitTest::GetInstance()->current_test_info()->name(),
                                    testsupport::PictureRules::Screen());
  }
  // A press and release of `button` where the pointer is; a click moves it to (x, y) in `w` first.
  bool Press(int button) { return display_->Button(button, true) && display_->Button(button, false); }
  bool Click(XWindowId w, int x, int y) { return display_->MovePointer(w, x, y) && Press(1); }
  XWindowId Child(Editor& e) { return static_cast<XWindowId>(reinterpret_cast<std::uintptr_t>(e.panel->GetWindow())); }
  mirel::host::PollRunLoop& Loop() { return display_->Loop(); }

  xtest::PrivateXServer server_;
  std::unique_ptr<mirel::host::X11Display> display_;
  IPtr<mirel::host::PlugFrameX11> frame_;
  std::unique_ptr<ViewRunLoopX11> loop_;
};

class X11PanelPutTest : public X11PanelTest, public ::testing::WithParamInterface<bool> {};

// Shared memory (a local server) and plain image requests (a remote one).
TEST_P(X11PanelPutTest, ShowsTheBackBufferAndTurnsPointerInputIntoEdits) {
  Editor e;
  e.panel->Window().AllowSharedMemory(GetParam());
  ASSERT_NE(Open(e, HostWindow(0, 100)), nullptr);
  EXPECT_EQ(e.panel->Window().UsesSharedMemory(), GetParam());
  EXPECT_EQ(Loop().EventHandlerCount(), 1u);
  EXPECT_EQ(Loop().TimerPeriods(), std::vector<std::uint64_t>{40});
  ASSERT_TRUE(Settled(e));

  EXPECT_TRUE(ShowsBackBuffer(e));

  // A click on the switch: one balanced gesture.
  const XWindowId child = Child(e);
  e.plug.log.clear();
  ASSERT_TRUE(Click(child, 105, 20));
  EXPECT_EQ(e.plug.log, (std::vector<std::string>{"begin 1", "perform 1", "end 1"}));
  EXPECT_EQ(e.Value(kSwitch), 1.0);
  // The middle button's gesture is balanced too.
  e.plug.log.clear();
  ASSERT_TRUE(Press(2));
  EXPECT_EQ(e.plug.log, (std::vector<std::string>{"begin 1", "perform 1", "end 1"}));

  // Fifty pixels up on the 40-pixel knob, ending above the window while the
  // button holds the pointer: 50 / 40 / 4.
  e.plug.log.clear();
  ASSERT_TRUE(display_->MovePointer(child, 20, 45));
  ASSERT_TRUE(display_->Button(1, true));
  ASSERT_TRUE(display_->MovePointer(child, 20, 35));
  ASSERT_TRUE(display_->MovePointer(child, 20, -5));
  ASSERT_TRUE(display_->Button(1, false));
  EXPECT_DOUBLE_EQ(e.Value(kKnob), 0.5 + 50.0 / 40 / 4);
  EXPECT_EQ(e.plug.log.front(), "begin 0");
  EXPECT_EQ(e.plug.log.back(), "end 0");
  ASSERT_TRUE(display_->MovePointer(child, 20, 30));

  // Wheel notches: button 4 away from the user, 5 towards, each an edit of
  // its own for the host.
  e.plug.log.clear();
  ASSERT_TRUE(Press(4));
  EXPECT_NEAR(e.Value(kKnob), 0.8125 + 0.01, 1e-12);
  ASSERT_GE(e.plug.log.size(), 2u);
  EXPECT_EQ(e.plug.log.front(), "begin 0");
  EXPECT_EQ(e.plug.log.back(), "end 0");
  ASSERT_TRUE(Press(5));
  EXPECT_NEAR(e.Value(kKnob), 0.8125, 1e-12);

  // The edits repaint the knob on the next ticks.
  ASSERT_TRUE(Settled(e));
  EXPECT_TRUE(ShowsBackBuffer(e));

  e.panel->CloseWindow();
  EXPECT_EQ(Loop().EventHandlerCount(), 0u);
  EXPECT_EQ(Loop().TimerCount(), 0u);
  EXPECT_EQ(e.panel->GetWindow(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Puts, X11PanelPutTest, ::testing::Values(false, true));

// Takes every key it is given.
class KeyTaker : public IControl {
 public:
  KeyTaker() : IControl(PixelRect{}) {}
  bool Draw(IPanel&) override { return true; }
  bool KeyDown(int, int, int key) override {
    keys.push_back(key);
    return true;
  }
  std::vector<int> keys;
};

TEST_F(X11PanelTest, ExposedAreasRepaintAndMappedKeysReachTheEditor) {
  Editor e;
  auto taker = std::make_unique<KeyTaker>();
  const KeyTaker* keys = taker.get();
  e.panel->SetKeyboardControl(std::move(taker));
  const XWindowId host = HostWindow(0, 0);
  ASSERT_NE(Open(e, host), nullptr);
  ASSERT_TRUE(Settled(e));
  const XWindowId child = Child(e);
  ::Display* d = display_->Get();
  // Another client paints over the window, then the server exposes it.
  GC gc = XCreateGC(d, child, 0, nullptr);
  XSetForeground(d, gc, 0x123456);
  XFillRectangle(d, child, gc, 0, 0, 200, 100);
  XFreeGC(d, gc);
  XSync(d, False);
  ASSERT_FALSE(Matches(e));
  XClearArea(d, child, 0, 0, 0, 0, True);
  display_->PumpUntil([&] { return Matches(e); }, 2000);
  EXPECT_TRUE(ShowsBackBuffer(e));

  // A click on the background takes the keyboard focus; the mapped keys
  // reach the keyboard control, others (F1) do not.
  ASSERT_TRUE(Click(child, 150, 80));
  // The host's window, watched from a connection of its own: only keys the
  // editor did not take are passed on to it (releases always).
  ::Display* watcher = XOpenDisplay(nullptr);
  ASSERT_NE(watcher, nullptr);
  XSelectInput(watcher, host, KeyPressMask | KeyReleaseMask);
  XSync(watcher, False);
  for (const unsigned long keysym : {0x61ul /* a */, 0x20ul /* space */, 0xff52ul /* Up */, 0x37ul /* 7 */,
                                     0xffbeul /* F1 */, 0x5aul /* Z */}) {
    ASSERT_TRUE(display_->Key(keysym, true) && display_->Key(keysym, false));
  }
  EXPECT_EQ(keys->keys, (std::vector<int>{15, 0, 1, 12, 40}));
  XSync(watcher, False);
  int presses = 0, releases = 0;
  for (XEvent ev; XCheckWindowEvent(watcher, host, KeyPressMask | KeyReleaseMask, &ev);) {
    (ev.type == KeyPress ? presses : releases) += 1;
  }
  XCloseDisplay(watcher);
  EXPECT_EQ(presses, 1);  // F1
  EXPECT_EQ(releases, 6);
}

// The desktop's settings manager says 200 ms and 3 pixels, not the toolkits'
// 400 ms and 5 pixels.
TEST_F(X11PanelTest, ADoubleClickFollowsTheDesktopsTimeAndDistance) {
  ::Display* d = display_->Get();
  const XWindowId manager = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  const Atom property = XInternAtom(d, "_XSETTINGS_SETTINGS", False);
  XSetSelectionOwner(d, XInternAtom(d, "_XSETTINGS_S0", False), manager, CurrentTime);
  const auto bytes = testsupport::XSettingsBlock()
                         .Integer("Gtk/Other", 7)
                         .Integer("Net/DoubleClickTime", 200)
                         .Integer("Net/DoubleClickDistance", 3)
                         .Bytes();
  XChangeProperty(d, manager, property, property, 8, PropModeReplace, bytes.data(), static_cast<int>(bytes.size()));
  XSync(d, False);

  Editor e;
  ASSERT_NE(Open(e, HostWindow(0, 0)), nullptr);
  const XWindowId child = Child(e);
  ASSERT_TRUE(display_->MovePointer(child, 20, 40));
  ASSERT_TRUE(display_->Button(1, true));
  ASSERT_TRUE(display_->MovePointer(child, 20, 20));
  ASSERT_TRUE(display_->Button(1, false));
  ASSERT_GT(e.Value(kKnob), 0.6);
  display_->Pump(400);

  // About 330 ms apart: two clicks.
  ASSERT_TRUE(Click(child, 20, 30));
  display_->Pump(300);
  ASSERT_TRUE(Click(child, 20, 30));
  EXPECT_GT(e.Value(kKnob), 0.6);
  display_->Pump(400);

  // Quick but 4 pixels apart: two clicks. Quick and near: the knob's
  // double-click sets it back to the value it had when the editor was built.
  ASSERT_TRUE(Click(child, 14, 30));
  ASSERT_TRUE(Click(child, 18, 30));
  EXPECT_GT(e.Value(kKnob), 0.6);
  e.plug.log.clear();
  ASSERT_TRUE(Click(child, 18, 31));
  EXPECT_EQ(e.Value(kKnob), 0.5);
  // The value the double-click set is one whole edit for the host, and its
  // release ends nothing more.
  ASSERT_GE(e.plug.log.size(), 3u);
  EXPECT_EQ(e.plug.log.front(), "begin 0");
  EXPECT_EQ(e.plug.log.back(), "end 0");
  EXPECT_EQ(std::count(e.plug.log.begin(), e.plug.log.end(), "end 0"), 1);
}

// No gesture stays open for the host to wait on.
TEST_F(X11PanelTest, AGestureEndsWhenTheWindowLosesThePointerOrCloses) {
  Editor e;
  ::Display* d = display_->Get();
  const XWindowId parent = HostWindow(0, 0);
  ASSERT_NE(Open(e, parent), nullptr);
  // The host hides its window in the middle of a drag.
  ASSERT_TRUE(display_->MovePointer(Child(e), 20, 40) && display_->Button(1, true));
  XUnmapWindow(d, parent);
  display_->Pump(50);
  EXPECT_EQ(e.plug.log, (std::vector<std::string>{"begin 0", "end 0"}));
  ASSERT_TRUE(display_->Button(1, false));
  // The host closes the editor in the middle of a drag.
  XMapWindow(d, parent);
  XSync(d, False);
  e.plug.log.clear();
  ASSERT_TRUE(display_->MovePointer(Child(e), 20, 20) && display_->Button(1, true));
  e.panel->CloseWindow();
  EXPECT_EQ(e.plug.log, (std::vector<std::string>{"begin 0", "end 0"}));
  ASSERT_TRUE(display_->Button(1, false));
  // The host destroys its window (and so the editor's) in the middle of a drag.
  ASSERT_NE(Open(e, parent), nullptr);
  e.plug.log.clear();
  ASSERT_TRUE(display_->MovePointer(Child(e), 20, 20) && display_->Button(1, true));
  XDestroyWindow(d, parent);
  XSync(d, False);
  EXPECT_TRUE(display_->PumpUntil([&] { return e.plug.log.size() == 2; }, 1000));
  EXPECT_EQ(e.plug.log, (std::vector<std::string>{"begin 0", "end 0"}));
  ASSERT_TRUE(display_->Button(1, false));
  e.panel->CloseWindow();
  EXPECT_EQ(e.plug.log.size(), 2u);
}

TEST_F(X11PanelTest, ReopeningShowsWhatArrivedWhileClosedOnTheFirstPaint) {
  Editor e;
  const XWindowId parent = HostWindow(0, 0);
  ASSERT_NE(Open(e, parent), nullptr);
  ASSERT_TRUE(Settled(e));
  e.panel->CloseWindow();
  e.panel->SetParameterFromPlug(kKnob, 1.0);  // the host's automation, editor closed
  ASSERT_NE(Open(e, parent), nullptr);
  EXPECT_EQ(e.panel->GetControl(1)->Value(), 1.0);  // before any tick
  e.panel->Paint(PixelRect{0, 0, 200, 100});       // what an expose paints first
  EXPECT_EQ(guitest::Pixel(*e.panel, 10, 10) & 0xff, 61u);
}

// (A host without IRunLoop and one destroying its window first are tested
// against the bundle.)
TEST_F(X11PanelTest, ANonexistentParentOpensNothingAndRegistersNothing) {
  Editor e;
  EXPECT_EQ(Open(e, 0x3fffff0), nullptr);
  EXPECT_EQ(e.panel->GetWindow(), nullptr);
  EXPECT_EQ(Loop().EventHandlerCount(), 0u);
  EXPECT_EQ(Loop().TimerCount(), 0u);
  ASSERT_NE(Open(e, HostWindow(0, 0)), nullptr);
  EXPECT_TRUE(Settled(e));
}

}  // namespace

namespace {

// The X server goes away while the editor is open (a crashed or closed
// session): the editor's connection then reads as ready for ever, so the
// editor must take its descriptor and timer out of the host's loop rather
// than make it spin. Run in a child process with a server of its own, which
// ends without unwinding: the host's Xlib connection would end the process
// at its first request after the loss.
[[noreturn]] void LoseTheServerAndExit() {
  xtest::PrivateXServer server;
  std::string error;
  if (!server.Start(error)) std::_Exit(2);
  auto display = mirel::host::X11Display::Open(nullptr, error);
  if (!display) std::_Exit(3);
  ::Display* d = display->Get();
  const XWindowId parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 200, 100, 0, 0, 0);
  XMapWindow(d, parent);
  XSync(d, False);
  Editor e;
  IPtr<mirel::host::PlugFrameX11> frame = owned(new mirel::host::PlugFrameX11(*display, parent, true));
  std::unique_ptr<ViewRunLoopX11> loop = ViewRunLoopX11::FromFrame(frame);
  if (!loop) std::_Exit(4);
  e.panel->SetRunLoop(loop.get());
  if (!e.panel->OpenWindow(reinterpret_cast<NativeWindow>(parent))) std::_Exit(5);
  mirel::host::PollRunLoop& hostLoop = display->Loop();
  if (hostLoop.EventHandlerCount() != 1 || hostLoop.TimerCount() != 1) std::_Exit(6);
  server.Stop();
  // From here on only the loop runs: the host's own connection is dead too.
  for (int i = 0; i < 50 && hostLoop.EventHandlerCount() != 0; ++i) hostLoop.RunOnce(20);
  const bool left = hostLoop.EventHandlerCount() == 0 && hostLoop.TimerCount() == 0;
  e.panel->CloseWindow();  // closing after the loss is safe too
  std::_Exit(left ? 0 : 1);
}

TEST(X11PanelLostServer, TheEditorLeavesTheHostsLoopWhenTheServerGoes) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(LoseTheServerAndExit(), ::testing::ExitedWithCode(0), "");
}

}  // namespace

TEST(X11Settings, XftDpiIsReadFromTheResourceDatabaseText) {
  auto dpi = [](const std::string& text) { return x11gui::XftDpiFromResources(text.data(), text.size()); };
  EXPECT_EQ(dpi("Xft.dpi:\t192\n"), 192.0);
  EXPECT_EQ(dpi("Xcursor.size:\t24\nXft.dpi: 144\nXft.antialias:\t1\n"), 144.0);
  EXPECT_EQ(dpi("Xft.dpi:\t96\nXft.dpi:\t120"), 120.0);  // the last one, unterminated
  EXPECT_EQ(dpi("Xft.dpix:\t192\n*Xft.dpi:\t192\n"), 0.0);
  EXPECT_EQ(dpi("Xft.dpi:\tlarge\n"), 0.0);
  EXPECT_EQ(dpi("Xft.dpi:\t-96\n"), 0.0);
  EXPECT_EQ(dpi(""), 0.0);
  EXPECT_EQ(x11gui::XftDpiFromResources(nullptr, 5), 0.0);
}
