// The editor through the gui extension in a host's X11 window on a private X
// server, driven by the host's timer: what it shows equals mirel-snapshot's
// picture, and the orders a host may call it in.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include <unistd.h>

#include "host/EditorImage.h"
#include "host/x11/EditorHostX11.h"
#include "mirel/EditorLayout.h"
#include "tests/clap/ClapFixture.h"
#include "tests/support/EditorPlaces.h"
#include "tests/support/PictureCompare.h"
#include "tests/x11/PrivateXServer.h"

#include <X11/Xlib.h>

using clap_tests::ClapFixture;
using mirel::host::ClapPlugin;
using mirel::host::EditorImage;

namespace {

class ClapGuiX11 : public ClapFixture {
 public:
  void SetUp() override {
    xtest::KeepModuleLoaded(MIREL_CLAP_MODULE_PATH);
    std::string error;
    ASSERT_TRUE(server_.Start(error)) << error;
    display_ = mirel::host::X11Display::Open(nullptr, error);
    ASSERT_TRUE(display_) << error;
  }
  void TearDown() override {
    if (parent_ && display_) XDestroyWindow(display_->Get(), parent_);
  }

  // The host's window, mapped, of the editor's size.
  clap_window_t HostWindow() {
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
  // The plug-in's window: the host window's first child.
  unsigned long PluginWindow() const {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    unsigned long first = 0;
    if (XQueryTree(display_->Get(), parent_, &root, &parent, &children, &n) && n > 0) first = children[0];
    if (children) XFree(children);
    return first;
  }
  // Host timer ticks, as its main loop gives them, until `done` or 3 s.
  bool TickUntil(ClapPlugin& p, const std::function<bool()>& done) {
    for (int i = 0; i < 150; ++i) {
      p.RunTimers();
      XSync(display_->Get(), False);
      if (done()) return true;
      usleep(20000);
    }
    return false;
  }
  static const clap_plugin_gui_t* Gui(ClapPlugin& p) {
    return static_cast<const clap_plugin_gui_t*>(p.Plugin()->get_extension(p.Plugin(), CLAP_EXT_GUI));
  }

  xtest::PrivateXServer server_;
  std::unique_ptr<mirel::host::X11Display> display_;
  unsigned long parent_ = 0;
};

TEST_F(ClapGuiX11, EmbeddedEditorShowsTheSnapshotDrivenByTheHostTimer) {
  const std::string snapshot = ::testing::TempDir() + "mirel-clap-snapshot-" + std::to_string(getpid()) + ".png";
  ASSERT_EQ(std::system(("'" MIREL_SNAPSHOT "' '" + snapshot + "' >/dev/null").c_str()), 0);
  EditorImage expected;
  std::string error;
  ASSERT_TRUE(mirel::host::ReadPng(snapshot, expected, error)) << error;
  std::filesystem::remove(snapshot);

  auto p = Make();
  const clap_plugin_gui_t* gui = Gui(*p);
  ASSERT_NE(gui, nullptr);
  const clap_plugin_t* plugin = p->Plugin();
  EXPECT_TRUE(gui->is_api_supported(plugin, CLAP_WINDOW_API_X11, false));
  EXPECT_FALSE(gui->is_api_supported(plugin, CLAP_WINDOW_API_X11, true)) << "embedded only";
  EXPECT_FALSE(gui->is_api_supported(plugin, CLAP_WINDOW_API_WIN32, false));
  ASSERT_TRUE(gui->create(plugin, CLAP_WINDOW_API_X11, false));
  std::uint32_t w = 0, h = 0;
  ASSERT_TRUE(gui->get_size(plugin, &w, &h));
  EXPECT_EQ(w, static_cast<std::uint32_t>(mirel::layout::kEditorWidth));
  EXPECT_EQ(h, static_cast<std::uint32_t>(mirel::layout::kEditorHeight));
  EXPECT_FALSE(gui->set_scale(plugin, 2.0)) << "the desktop's scale rules on Linux";
  clap_gui_resize_hints_t hints{};
  ASSERT_TRUE(gui->can_resize(plugin));
  ASSERT_TRUE(gui->get_resize_hints(plugin, &hints));
  EXPECT_TRUE(hints.preserve_aspect_ratio);
  EXPECT_EQ(hints.aspect_ratio_width * static_cast<std::uint32_t>(mirel::layout::kEditorHeight),
            hints.aspect_ratio_height * static_cast<std::uint32_t>(mirel::layout::kEditorWidth));
  std::uint32_t aw = 2 * w, ah = 4 * h;
  ASSERT_TRUE(gui->adjust_size(plugin, &aw, &ah));
  EXPECT_NEAR(static_cast<double>(aw) / ah, static_cast<double>(w) / h, 0.01) << aw << "x" << ah;

  const clap_window_t window = HostWindow();
  ASSERT_TRUE(gui->set_parent(plugin, &window));
  EXPECT_EQ(p->TimerCount(), 1u) << "the window runs on one host timer";
  EXPECT_TRUE(gui->show(plugin));
  EditorImage shown;
  const auto rules = testsupport::PictureRules::Screen();
  const auto want = testsupport::PictureView::Of(expected);
  TickUntil(*p, [&] {
    return mirel::host::CaptureWindow(display_->Get(), PluginWindow(), shown) &&
           !testsupport::FirstDifference(testsupport::PictureView::Of(shown), want, rules);
  });
  EXPECT_TRUE(testsupport::SamePicture(testsupport::PictureView::Of(shown), want, "clap-x11-snapshot", rules));

  // A host's resize handle: the size kept with the state as the zoom.
  ASSERT_TRUE(gui->set_size(plugin, aw, ah));
  ASSERT_TRUE(gui->get_size(plugin, &w, &h));
  EXPECT_EQ(w, aw);
  EXPECT_EQ(h, ah);
  std::vector<std::uint8_t> state;
  ASSERT_TRUE(p->SaveState(state));
  auto q = Make();
  ASSERT_TRUE(q->LoadState(state));
  const clap_plugin_gui_t* qGui = Gui(*q);
  ASSERT_TRUE(qGui->create(q->Plugin(), CLAP_WINDOW_API_X11, false));
  std::uint32_t qw = 0, qh = 0;
  ASSERT_TRUE(qGui->get_size(q->Plugin(), &qw, &qh));
  EXPECT_EQ(qw, aw) << "the restored state keeps the editor's size";
  qGui->destroy(q->Plugin());

  gui->destroy(plugin);
  EXPECT_EQ(p->TimerCount(), 0u) << "destroy stops the host timer";
  EXPECT_EQ(PluginWindow(), 0u) << "destroy closes the plug-in's window";
}

// A click on a switch reaches the host as a begin, value and end gesture:
// the editor asks for a flush, as the host is not processing.
TEST_F(ClapGuiX11, EditsReachTheHostAsGesturesThroughARequestedFlush) {
  if (!display_->HasXTest()) GTEST_SKIP() << "the X server has no XTest";
  auto p = Make();
  const clap_plugin_gui_t* gui = Gui(*p);
  ASSERT_TRUE(gui->create(p->Plugin(), CLAP_WINDOW_API_X11, false));
  const clap_window_t window = HostWindow();
  ASSERT_TRUE(gui->set_parent(p->Plugin(), &window));
  TickUntil(*p, [n = 0]() mutable { return ++n > 5; });
  const testsupport::EditorPlace bypass = testsupport::EditorPlaceOf(kBypass);
  const unsigned long plugWindow = PluginWindow();
  ASSERT_TRUE(display_->MovePointer(plugWindow, bypass.CentreX(), bypass.CentreY()));
  ASSERT_TRUE(display_->Button(1, true));
  ASSERT_TRUE(display_->Button(1, false));
  EXPECT_TRUE(TickUntil(*p, [&] { return p->FlushRequests() > 0; })) << "no flush asked for";
  mirel::host::ClapInputEvents none;
  mirel::host::ClapOutputEvents out;
  p->Flush(none, out);
  using E = mirel::host::ClapOutputEvents::Event;
  EXPECT_EQ(out.Events(), (std::vector<E>{{CLAP_EVENT_PARAM_GESTURE_BEGIN, kBypass, 0.0},
                                          {CLAP_EVENT_PARAM_VALUE, kBypass, 1.0},
                                          {CLAP_EVENT_PARAM_GESTURE_END, kBypass, 0.0}}));
  EXPECT_EQ(p->Value(kBypass), 1.0);
  gui->destroy(p->Plugin());
}

// The orders a host may use; each ends with no window and no timer left.
TEST_F(ClapGuiX11, AnyOrderOfCallsIsSurvived) {
  struct Row {
    const char* reason;
    std::function<void(ClapGuiX11&, ClapPlugin&, const clap_plugin_gui_t*)> calls;
  };
  const Row rows[] = {
      {"created and destroyed without a parent",
       [](ClapGuiX11&, ClapPlugin& p, const clap_plugin_gui_t* g) {
         EXPECT_TRUE(g->create(p.Plugin(), CLAP_WINDOW_API_X11, false));
         g->destroy(p.Plugin());
       }},
      {"parent before create is refused",
       [](ClapGuiX11& t, ClapPlugin& p, const clap_plugin_gui_t* g) {
         const clap_window_t w = t.HostWindow();
         EXPECT_FALSE(g->set_parent(p.Plugin(), &w));
         g->destroy(p.Plugin());
       }},
      {"created twice, parented twice",
       [](ClapGuiX11& t, ClapPlugin& p, const clap_plugin_gui_t* g) {
         EXPECT_TRUE(g->create(p.Plugin(), CLAP_WINDOW_API_X11, false));
         EXPECT_FALSE(g->create(p.Plugin(), CLAP_WINDOW_API_X11, false));
         const clap_window_t w = t.HostWindow();
         EXPECT_TRUE(g->set_parent(p.Plugin(), &w));
         EXPECT_TRUE(g->set_parent(p.Plugin(), &w));
         EXPECT_EQ(p.TimerCount(), 1u);
         g->destroy(p.Plugin());
       }},
      {"sized and hidden before a parent, then shown",
       [](ClapGuiX11& t, ClapPlugin& p, const clap_plugin_gui_t* g) {
         EXPECT_TRUE(g->create(p.Plugin(), CLAP_WINDOW_API_X11, false));
         EXPECT_TRUE(g->set_size(p.Plugin(), 1257, 367));
         EXPECT_TRUE(g->hide(p.Plugin()));
         const clap_window_t w = t.HostWindow();
         EXPECT_TRUE(g->set_parent(p.Plugin(), &w));
         EXPECT_TRUE(g->show(p.Plugin()));
         t.TickUntil(p, [n = 0]() mutable { return ++n > 5; });
         g->destroy(p.Plugin());
       }},
      {"a window of another kind, and a null one",
       [](ClapGuiX11&, ClapPlugin& p, const clap_plugin_gui_t* g) {
         EXPECT_TRUE(g->create(p.Plugin(), CLAP_WINDOW_API_X11, false));
         clap_window_t other{};
         other.api = CLAP_WINDOW_API_WIN32;
         other.win32 = &other;
         EXPECT_FALSE(g->set_parent(p.Plugin(), &other));
         EXPECT_FALSE(g->set_parent(p.Plugin(), nullptr));
         g->destroy(p.Plugin());
       }},
      {"the plug-in destroyed with its editor open",
       [](ClapGuiX11& t, ClapPlugin& p, const clap_plugin_gui_t* g) {
         EXPECT_TRUE(g->create(p.Plugin(), CLAP_WINDOW_API_X11, false));
         const clap_window_t w = t.HostWindow();
         EXPECT_TRUE(g->set_parent(p.Plugin(), &w));
       }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.reason);
    {
      auto p = Make();
      const clap_plugin_gui_t* g = Gui(*p);
      ASSERT_NE(g, nullptr);
      r.calls(*this, *p, g);
    }
    XSync(display_->Get(), False);
    if (parent_) {
      EXPECT_EQ(PluginWindow(), 0u);
      XDestroyWindow(display_->Get(), parent_);
      parent_ = 0;
    }
  }
}

}  // namespace
