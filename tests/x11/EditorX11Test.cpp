// The built Linux bundle's editor in the Linux editor host, on a private X
// server: opened through the view with the host's IRunLoop, compared with the
// off-screen snapshot, edited with real pointer input, closed and reopened,
// two instances at once, the refusals and careless hosts it must survive, and
// the editor at a host's content scale.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

#include <unistd.h>

#include "host/x11/EditorHostX11.h"
#include "tests/support/EditorPlaces.h"
#include "tests/support/EditorScript.h"
#include "tests/support/EditorScaleScenario.h"
#include "tests/support/PictureCompare.h"
#include "tests/support/ViewSize.h"
#include "tests/support/XSettingsBlock.h"
#include "host/EffectInstance.h"
#include "tests/x11/PrivateXServer.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

using namespace Steinberg;
using mirel::host::EditorHostX11;
using mirel::host::EditorImage;
using mirel::host::HandlerCall;
using testsupport::SizeOf;
using testsupport::WidthHeight;

class EditorX11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    xtest::KeepModuleLoaded(MIREL_MODULE_PATH);
    std::string error;
    ASSERT_TRUE(server_.Start(error)) << error;
    display_ = mirel::host::X11Display::Open(nullptr, error);
    ASSERT_TRUE(display_ && display_->HasXTest()) << error;
  }

  std::unique_ptr<mirel::host::EffectInstance> Instance() {
    std::string error;
    auto fx = mirel::host::EffectInstance::Open(MIREL_MODULE_PATH, "x11-editor-test", error);
    EXPECT_TRUE(fx) << error;
    return fx;
  }
  static IPtr<IPlugView> View(mirel::host::EffectInstance& fx) {
    return owned(fx.Controller()->createView(Vst::ViewType::kEditor));
  }
  // The edits reported since the last call.
  static std::vector<HandlerCall> Edits(mirel::host::EffectInstance& fx) {
    auto calls = fx.Handler().Calls();
    fx.Handler().Clear();
    return calls;
  }

  xtest::PrivateXServer server_;
  std::unique_ptr<mirel::host::X11Display> display_;
};

TEST_F(EditorX11Test, ClosesReopensAndRunsTwoInstancesAtOnce) {
  auto a = Instance();
  auto b = Instance();
  ASSERT_TRUE(a && b);
  std::string error;
  for (const bool aClosesFirst : {true, false}) {
    auto viewA = View(*a);
    auto viewB = View(*b);
    EditorHostX11 hostA(*display_);
    EditorHostX11 hostB(*display_);
    hostB.SetPosition(0, 400);
    ASSERT_TRUE(hostA.Open(viewA, error)) << error;
    EXPECT_NE(hostA.PluginWindow(), 0u);
    EXPECT_EQ(display_->Loop().EventHandlerCount(), 1u);
    EXPECT_EQ(display_->Loop().TimerPeriods(), std::vector<std::uint64_t>{40});
    ASSERT_TRUE(hostB.Open(viewB, error)) << error;
    EXPECT_EQ(display_->Loop().TimerCount(), 2u);
    // Once both have painted their first pictures, 40 ms ticks run from the host's loop.
    EditorImage shown;
    ASSERT_TRUE(display_->PumpUntil([&] { return hostB.Capture(shown) && shown.width == mirel::layout::kEditorWidth; }, 3000));
    const auto ticks = display_->Loop().TimerCallbacks();
    EXPECT_TRUE(display_->PumpUntil([&] { return display_->Loop().TimerCallbacks() - ticks >= 3; }, 3000));
    (aClosesFirst ? hostA : hostB).Close();
    EXPECT_EQ(display_->Loop().TimerCount(), 1u);
    // The other one still paints and takes clicks.
    EditorHostX11& open = aClosesFirst ? hostB : hostA;
    auto& openFx = aClosesFirst ? *b : *a;
    Edits(openFx);
    display_->Pump(500);
    const testsupport::EditorPlace bypass = testsupport::EditorPlaceOf(kBypass);
    ASSERT_TRUE(open.MouseDown(bypass.CentreX(), bypass.CentreY()) && open.MouseUp(bypass.CentreX(), bypass.CentreY()));
    EXPECT_EQ(Edits(openFx).size(), 3u);
    // Closing and reopening the same view.
    open.Close();
    ASSERT_TRUE(open.Open(aClosesFirst ? viewB : viewA, error)) << error;
    EXPECT_TRUE(display_->PumpUntil([&] { return open.Capture(shown) && shown.width == mirel::layout::kEditorWidth; }, 2000));
    open.Close();
    EXPECT_EQ(display_->Loop().TimerCount(), 0u);
    EXPECT_EQ(display_->Loop().EventHandlerCount(), 0u);
  }
}

TEST_F(EditorX11Test, RefusesHostsWithoutRunLoopAndSurvivesAHostDestroyingItsWindowFirst) {
  auto fx = Instance();
  ASSERT_TRUE(fx);
  auto view = View(*fx);
  std::string error;
  {
    EditorHostX11 noLoop(*display_, false);
    tresult answer = kResultOk;
    EXPECT_FALSE(noLoop.Open(view, error, &answer));
    EXPECT_EQ(answer, kResultFalse);
    EXPECT_EQ(display_->Loop().EventHandlerCount(), 0u);
    EXPECT_EQ(display_->Loop().TimerCount(), 0u);
  }
  EditorHostX11 careless(*display_);
  ASSERT_TRUE(careless.Open(view, error)) << error;
  display_->Pump(100);
  careless.DestroyTopWindowFirst();
  fx->Controller()->setParamNormalized(kBypass, 1.0);  // something to repaint
  display_->Pump(200);
  careless.Close();
  EXPECT_EQ(display_->Loop().TimerCount(), 0u);
  // The editor opens again afterwards.
  EditorHostX11 next(*display_);
  ASSERT_TRUE(next.Open(view, error)) << error;
  EditorImage shown;
  EXPECT_TRUE(display_->PumpUntil([&] { return next.Capture(shown) && shown.width == mirel::layout::kEditorWidth; }, 2000));
}

// The editor at a host's content scale: one instance, its view and the
// view's scale interface; the scale scenarios run on it through this host.
class EditorX11ScaleTest : public EditorX11Test, public testsupport::EditorHostDriver {
 protected:
  using EditorX11Test::View;
  void SetUp() override {
    EditorX11Test::SetUp();
    ASSERT_FALSE(HasFatalFailure());
    fx_ = Instance();
    ASSERT_TRUE(fx_);
    view_ = View(*fx_);
    ASSERT_TRUE(view_);
    scaler_ = FUnknownPtr<IPlugViewContentScaleSupport>(view_);
    ASSERT_TRUE(scaler_);
    host_ = std::make_unique<EditorHostX11>(*display_);
  }
  void TearDown() override { host_.reset(); }

  ::testing::AssertionResult Shows(const char* scale) { return testsupport::ShowsSnapshot(*this, scale, "desktop"); }

  // EditorHostDriver
  IPlugView* View() override { return view_; }
  void NewView() override { view_ = EditorX11Test::View(*fx_); }
  Vst::IEditController* Controller() override { return fx_->Controller(); }
  bool Open(std::string& error) override { return host_->Open(view_, error); }
  void Close() override { host_->Close(); }
  ViewRect OpenedSize() override { return host_->OpenedSize(); }
  std::vector<ViewRect> ResizeRequests() override { return host_->ResizeRequests(); }
  bool ResizeByHandle(int width, int height, ViewRect& taken, bool askConstraint) override {
    return host_->ResizeByHandle(width, height, taken, askConstraint);
  }
  bool HostWindowSize(int& width, int& height) override { return WindowSize(host_->TopWindow(), width, height); }
  bool PluginWindowSize(int& width, int& height) override { return WindowSize(host_->PluginWindow(), width, height); }
  void Pump(int milliseconds) override { display_->Pump(milliseconds); }
  bool Capture(EditorImage& out) override { return host_->Capture(out); }
  bool Do(const std::string& script) override { return testsupport::ReplayScript(*host_, script); }
  std::vector<HandlerCall> TakeCalls() override { return Edits(*fx_); }
  bool Snapshot(const std::string& scale, EditorImage& out) override {
    // ctest runs the tests of this file side by side: each its own file.
    const std::string path = ::testing::TempDir() + "mirel-x11-scale-" + std::to_string(getpid()) + ".png";
    const std::string command = "'" MIREL_SNAPSHOT "' --scale " + scale + " '" + path + "' >/dev/null";
    std::string error;
    const bool made = std::system(command.c_str()) == 0 && mirel::host::ReadPng(path, out, error);
    std::filesystem::remove(path);
    return made;
  }
  std::string Name() const override { return "x11"; }
  std::string PlatformType() const override { return kPlatformTypeX11EmbedWindowID; }

  bool WindowSize(mirel::host::XWindowId window, int& width, int& height) {
    ::Window root = 0;
    int x = 0, y = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    if (window == 0 || !XGetGeometry(display_->Get(), window, &root, &x, &y, &w, &h, &border, &depth)) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
  }

  std::unique_ptr<mirel::host::EffectInstance> fx_;
  IPtr<IPlugView> view_;
  FUnknownPtr<IPlugViewContentScaleSupport> scaler_;
  std::unique_ptr<EditorHostX11> host_;
};

TEST_F(EditorX11ScaleTest, OpensAtTheEditorsSizeAndShowsTheSnapshot) {
  testsupport::OpensAtTheEditorsSizeAndShowsTheSnapshot(*this, false);
}

TEST_F(EditorX11ScaleTest, GesturesEditWithBalancedCalls) { testsupport::GesturesEditWithBalancedCallsAt(*this, 1.0f); }

TEST_F(EditorX11ScaleTest, GesturesAtTwiceTheSizeEditAsAtOneForTheSameLogicalDistance) {
  testsupport::GesturesEditWithBalancedCallsAt(*this, 2.0f);
}

TEST_F(EditorX11ScaleTest, ContentScaleResizesThroughTheFrameAndShowsTheScaledSnapshot) {
  testsupport::ContentScaleResizesThroughTheFrameAndShowsTheScaledSnapshot(*this);
}

// The window's resize handle: the view takes the host's size, draws exactly
// what mirel-snapshot draws at that scale, takes clicks at it, and the
// instance opens its next editor at the same size.
TEST_F(EditorX11ScaleTest, HostResizeShowsTheSnapshotAtThatScaleAndTheNextEditorOpensAtIt) {
  testsupport::HostResizeShowsTheSnapshotAtThatScaleAndTheNextEditorOpensAtIt(*this);
}

TEST_F(EditorX11ScaleTest, OffAspectHostSizeIsPaintedWholeAndAKeptSizeOpensWithinTheScreen) {
  testsupport::OffAspectHostSizeIsPaintedWholeWithTheSnapshotCentred(*this);
  testsupport::AKeptSizeBeyondTheScreenOpensAtTheLargestThatFits(*this);
}

// A desktop at 192 dpi (what toolkits read: the resource database's
// Xft.dpi, or the settings manager's Xft/DPI) whose host sends no scale, or
// sends 1 whatever the desktop says: the editor opens at twice the size, and
// the host's frame is asked for it.
class EditorX11DesktopScaleTest : public EditorX11ScaleTest {
 protected:
  void ExpectOpensAtTwiceTheSize(bool hostSendsOne) {
    auto fx = Instance();
    ASSERT_TRUE(fx);
    auto view = View(*fx);
    ASSERT_TRUE(view);
    if (hostSendsOne) {
      FUnknownPtr<IPlugViewContentScaleSupport> scaler(view);
      ASSERT_TRUE(scaler);
      ASSERT_EQ(scaler->setContentScaleFactor(1.0f), kResultOk);
    }
    EditorHostX11 host(*display_);
    std::string error;
    ASSERT_TRUE(host.Open(view, error)) << error;
    EXPECT_EQ(WidthHeight(*view), (std::pair{1676, 490}));
    ASSERT_FALSE(host.ResizeRequests().empty());
    EXPECT_EQ(WidthHeight(host.ResizeRequests().back()), (std::pair{1676, 490}));
    EditorImage shown;
    EXPECT_TRUE(display_->PumpUntil([&] { return host.Capture(shown) && shown.width == 1676; }, 3000));
    host.Close();
  }
};

TEST_F(EditorX11DesktopScaleTest, XftDpiFromTheResourceDatabase) {
  ::Display* d = display_->Get();
  const char resources[] = "Xcursor.size:\t24\nXft.dpi:\t192\n";
  XChangeProperty(d, DefaultRootWindow(d), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(resources), sizeof resources - 1);
  XSync(d, False);
  // This instance's window shows what mirel-snapshot draws at 2.
  std::string error;
  ASSERT_TRUE(Open(error)) << error;
  EXPECT_EQ(SizeOf(*view_).getWidth(), 1676);
  EXPECT_TRUE(Shows("2")) << "the window differs from mirel-snapshot --scale 2";
  Close();
  ExpectOpensAtTwiceTheSize(false);
  ExpectOpensAtTwiceTheSize(true);
}

TEST_F(EditorX11DesktopScaleTest, XftDpiFromTheSettingsManager) {
  ::Display* d = display_->Get();
  const auto settings = testsupport::XSettingsBlock().Integer("Xft/DPI", 192 * 1024).Bytes();
  const Window manager = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  const Atom property = XInternAtom(d, "_XSETTINGS_SETTINGS", False);
  XChangeProperty(d, manager, property, property, 8, PropModeReplace, settings.data(),
                  static_cast<int>(settings.size()));
  XSetSelectionOwner(d, XInternAtom(d, "_XSETTINGS_S0", False), manager, CurrentTime);
  // The running settings manager speaks for the desktop over a resource
  // database left at an older value.
  const char resources[] = "Xft.dpi:\t96\n";
  XChangeProperty(d, DefaultRootWindow(d), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(resources), sizeof resources - 1);
  XSync(d, False);
  ExpectOpensAtTwiceTheSize(false);
  ExpectOpensAtTwiceTheSize(true);
}

}  // namespace
