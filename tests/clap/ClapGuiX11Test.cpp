// The editor through the gui extension in a host's X11 window on a private X
// server, driven by the host's timer: the CLAP editor scenarios, and edits
// that reach the host as gestures.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include <unistd.h>

#include "host/EditorImage.h"
#include "host/x11/EditorHostX11.h"
#include "mirel/EditorLayout.h"
#include "tests/clap/ClapEditorFixture.h"
#include "tests/support/ClapEditorScenario.h"
#include "tests/support/EditorPlaces.h"
#include "tests/x11/PrivateXServer.h"

#include <X11/Xlib.h>

using clap_tests::ClapEditorFixture;
using mirel::host::ClapPlugin;
using mirel::host::EditorImage;

namespace {

constexpr testsupport::ClapEditorPlatform kX11{CLAP_WINDOW_API_X11, CLAP_WINDOW_API_WIN32, false, 1, false};

class ClapGuiX11 : public ClapEditorFixture {
 public:
  void SetUp() override {
    xtest::KeepModuleLoaded(MIREL_CLAP_MODULE_PATH);
    std::string error;
    ASSERT_TRUE(server_.Start(error)) << error;
    display_ = mirel::host::X11Display::Open(nullptr, error);
    ASSERT_TRUE(display_) << error;
  }

  // Host timer ticks, as its main loop gives them, until `done` or 3 s.
  bool TickUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 150; ++i) {
      Pump(1);
      if (done()) return true;
    }
    return false;
  }

  // ClapEditorHostDriver
  const testsupport::ClapEditorPlatform& Platform() const override { return kX11; }
  // Mapped, of the editor's size.
  clap_window_t OpenHostWindow() override {
    Display* d = display_->Get();
    parent_ = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, mirel::layout::kEditorWidth,
                                  mirel::layout::kEditorHeight, 0, 0, 0);
    XMapWindow(d, parent_);
    XSync(d, False);
    clap_window_t w{};
    w.api = CLAP_WINDOW_API_X11;
    w.x11 = parent_;
    return w;
  }
  void CloseHostWindow() override {
    if (parent_ && display_) XDestroyWindow(display_->Get(), parent_);
    parent_ = 0;
  }
  bool HasPluginWindow() override { return PluginWindow() != 0; }
  bool PluginWindowSize(int& width, int& height) override {
    ::Window root = 0;
    int x = 0, y = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    const unsigned long window = PluginWindow();
    if (window == 0 || !XGetGeometry(display_->Get(), window, &root, &x, &y, &w, &h, &border, &depth)) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
  }
  void Settle() override { XSync(display_->Get(), False); }
  // A tick of the plug-in's timers every 20 ms.
  void Pump(int milliseconds) override {
    for (int waited = 0; waited == 0 || waited < milliseconds; waited += 20) {
      if (plugin_) plugin_->RunTimers();
      XSync(display_->Get(), False);
      usleep(20000);
    }
  }
  bool Capture(EditorImage& out) override {
    return mirel::host::CaptureWindow(display_->Get(), PluginWindow(), out);
  }
  bool Snapshot(const std::string& scale, EditorImage& out) override {
    // ctest runs the tests of this file side by side: each its own file.
    const std::string path = ::testing::TempDir() + "mirel-clap-snapshot-" + std::to_string(getpid()) + ".png";
    const std::string command =
        "'" MIREL_SNAPSHOT "' " + (scale == "1" ? "" : "--scale " + scale + " ") + "'" + path + "' >/dev/null";
    std::string error;
    const bool made = std::system(command.c_str()) == 0 && mirel::host::ReadPng(path, out, error);
    std::filesystem::remove(path);
    return made;
  }
  std::string Name() const override { return "clap-x11"; }

  unsigned long PluginWindow() const {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    unsigned long first = 0;
    if (parent_ && XQueryTree(display_->Get(), parent_, &root, &parent, &children, &n) && n > 0) first = children[0];
    if (children) XFree(children);
    return first;
  }

  xtest::PrivateXServer server_;
  std::unique_ptr<mirel::host::X11Display> display_;
  unsigned long parent_ = 0;
};

TEST_F(ClapGuiX11, AnswersForItsOwnApiAndScale) { testsupport::ClapEditorAnswersForItsOwnApiAndScale(*this); }

TEST_F(ClapGuiX11, EmbedsShowingTheSnapshotAndTakesTheHostsSizes) {
  testsupport::ClapEditorEmbedsShowingTheSnapshotAndTakesTheHostsSizes(*this);
}

TEST_F(ClapGuiX11, SurvivesAnyOrderOfCalls) { testsupport::ClapEditorSurvivesAnyOrderOfCalls(*this); }

// A click on a switch reaches the host as a begin, value and end gesture:
// the editor asks for a flush, as the host is not processing.
TEST_F(ClapGuiX11, EditsReachTheHostAsGesturesThroughARequestedFlush) {
  if (!display_->HasXTest()) GTEST_SKIP() << "the X server has no XTest";
  ClapPlugin& p = Plugin();
  const clap_plugin_gui_t* gui = Gui();
  ASSERT_TRUE(gui->create(p.Plugin(), CLAP_WINDOW_API_X11, false));
  const clap_window_t window = OpenHostWindow();
  ASSERT_TRUE(gui->set_parent(p.Plugin(), &window));
  Pump(120);
  const testsupport::EditorPlace bypass = testsupport::EditorPlaceOf(kBypass);
  ASSERT_TRUE(display_->MovePointer(PluginWindow(), bypass.CentreX(), bypass.CentreY()));
  ASSERT_TRUE(display_->Button(1, true));
  ASSERT_TRUE(display_->Button(1, false));
  EXPECT_TRUE(TickUntil([&] { return p.FlushRequests() > 0; })) << "no flush asked for";
  mirel::host::ClapInputEvents none;
  mirel::host::ClapOutputEvents out;
  p.Flush(none, out);
  using E = mirel::host::ClapOutputEvents::Event;
  EXPECT_EQ(out.Events(), (std::vector<E>{{CLAP_EVENT_PARAM_GESTURE_BEGIN, kBypass, 0.0},
                                          {CLAP_EVENT_PARAM_VALUE, kBypass, 1.0},
                                          {CLAP_EVENT_PARAM_GESTURE_END, kBypass, 0.0}}));
  EXPECT_EQ(p.Value(kBypass), 1.0);
  gui->destroy(p.Plugin());
}

}  // namespace
