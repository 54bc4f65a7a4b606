// The editor through the gui extension in a host's Win32 window, under Wine:
// embedded as a child of the host's window showing mirel-snapshot's picture,
// scaled by set_scale, sized at the layout's aspect, and the orders a host
// may call it in.

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "host/win32/EditorHostWin.h"
#include "mirel/EditorLayout.h"
#include "tests/clap/ClapFixture.h"
#include "tests/support/PictureCompare.h"
#include "tests/support/WinSnapshot.h"

using clap_tests::ClapFixture;
using mirel::host::ClapPlugin;

namespace {

class ClapGuiWin : public ClapFixture {
 public:
  void TearDown() override {
    if (parent_) DestroyWindow(parent_);
  }
  clap_window_t HostWindow() {
    // Room for the editor's whole picture inside the frame and title bar.
    parent_ = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                              mirel::layout::kEditorWidth + 100, mirel::layout::kEditorHeight + 100, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    clap_window_t w{};
    w.api = CLAP_WINDOW_API_WIN32;
    w.win32 = parent_;
    return w;
  }
  HWND PluginWindow() const { return parent_ ? GetWindow(parent_, GW_CHILD) : nullptr; }
  static void Pump(int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    MSG msg;
    while (GetTickCount() < end) {
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
      Sleep(10);
    }
  }
  static const clap_plugin_gui_t* Gui(ClapPlugin& p) {
    return static_cast<const clap_plugin_gui_t*>(p.Plugin()->get_extension(p.Plugin(), CLAP_EXT_GUI));
  }
  static SIZE ClientSize(HWND w) {
    RECT r{};
    GetClientRect(w, &r);
    return {r.right - r.left, r.bottom - r.top};
  }

  HWND parent_ = nullptr;
};

TEST_F(ClapGuiWin, EmbeddedEditorIsAChildOfTheHostWindowAtTheHostsScale) {
  auto p = Make();
  const clap_plugin_gui_t* gui = Gui(*p);
  ASSERT_NE(gui, nullptr);
  const clap_plugin_t* plugin = p->Plugin();
  const char* api = nullptr;
  bool floating = true;
  ASSERT_TRUE(gui->get_preferred_api(plugin, &api, &floating));
  EXPECT_STREQ(api, CLAP_WINDOW_API_WIN32);
  EXPECT_FALSE(floating);
  EXPECT_FALSE(gui->is_api_supported(plugin, CLAP_WINDOW_API_X11, false));
  ASSERT_TRUE(gui->create(plugin, CLAP_WINDOW_API_WIN32, false));
  std::uint32_t w = 0, h = 0;
  ASSERT_TRUE(gui->set_scale(plugin, 2.0));
  ASSERT_TRUE(gui->get_size(plugin, &w, &h));
  EXPECT_EQ(w, 2u * mirel::layout::kEditorWidth);
  EXPECT_EQ(h, 2u * mirel::layout::kEditorHeight);
  EXPECT_FALSE(gui->set_scale(plugin, 0.0));
  ASSERT_TRUE(gui->set_scale(plugin, 1.0));

  const clap_window_t window = HostWindow();
  ASSERT_TRUE(gui->set_parent(plugin, &window));
  EXPECT_EQ(p->TimerCount(), 0u) << "a Win32 window runs its own messages";
  Pump(150);
  HWND child = PluginWindow();
  ASSERT_NE(child, nullptr);
  SIZE size = ClientSize(child);
  EXPECT_EQ(size.cx, mirel::layout::kEditorWidth);
  EXPECT_EQ(size.cy, mirel::layout::kEditorHeight);
  // What mirel-snapshot draws, but for the version label, which this
  // platform's font path may draw otherwise.
  mirel::host::EditorImage expected, shown;
  ASSERT_TRUE(testsupport::WinSnapshot(MIREL_SNAPSHOT_EXE, "1", MIREL_BINARY_DIR "/clap-snapshot.png", expected));
  testsupport::PictureRules rules = testsupport::PictureRules::Screen();
  const auto& label = mirel::layout::kVersionLabel;
  rules.skip.push_back({label.left, label.top, label.right, label.bottom});
  for (int waited = 0; waited < 3000; waited += 50) {
    if (mirel::host::CaptureWindow(child, shown) &&
        !testsupport::FirstDifference(testsupport::PictureView::Of(shown), testsupport::PictureView::Of(expected), rules))
      break;
    Pump(50);
  }
  EXPECT_TRUE(testsupport::SamePicture(testsupport::PictureView::Of(shown), testsupport::PictureView::Of(expected),
                                       "clap-win32-snapshot", rules));

  std::uint32_t aw = 1257, ah = 1000;
  ASSERT_TRUE(gui->adjust_size(plugin, &aw, &ah));
  ASSERT_TRUE(gui->set_size(plugin, aw, ah));
  Pump(100);
  size = ClientSize(child);
  EXPECT_EQ(static_cast<std::uint32_t>(size.cx), aw);
  EXPECT_EQ(static_cast<std::uint32_t>(size.cy), ah);

  gui->destroy(plugin);
  Pump(50);
  EXPECT_EQ(PluginWindow(), nullptr) << "destroy closes the plug-in's window";
}

TEST_F(ClapGuiWin, AnyOrderOfCallsIsSurvived) {
  struct Row {
    const char* reason;
    std::function<void(ClapGuiWin&, ClapPlugin&, const clap_plugin_gui_t*)> calls;
  };
  const Row rows[] = {
      {"created and destroyed without a parent",
       [](ClapGuiWin&, ClapPlugin& p, const clap_plugin_gui_t* g) {
         EXPECT_TRUE(g->create(p.Plugin(), CLAP_WINDOW_API_WIN32, false));
         g->destroy(p.Plugin());
       }},
      {"parented twice",
       [](ClapGuiWin& t, ClapPlugin& p, const clap_plugin_gui_t* g) {
         EXPECT_TRUE(g->create(p.Plugin(), CLAP_WINDOW_API_WIN32, false));
         const clap_window_t w = t.HostWindow();
         EXPECT_TRUE(g->set_parent(p.Plugin(), &w));
         EXPECT_TRUE(g->set_parent(p.Plugin(), &w));
         Pump(50);
         g->destroy(p.Plugin());
       }},
      {"floating refused, then embedded",
       [](ClapGuiWin&, ClapPlugin& p, const clap_plugin_gui_t* g) {
         EXPECT_FALSE(g->create(p.Plugin(), CLAP_WINDOW_API_WIN32, true));
         EXPECT_TRUE(g->create(p.Plugin(), CLAP_WINDOW_API_WIN32, false));
         g->destroy(p.Plugin());
       }},
      {"the plug-in destroyed with its editor open",
       [](ClapGuiWin& t, ClapPlugin& p, const clap_plugin_gui_t* g) {
         EXPECT_TRUE(g->create(p.Plugin(), CLAP_WINDOW_API_WIN32, false));
         const clap_window_t w = t.HostWindow();
         EXPECT_TRUE(g->set_parent(p.Plugin(), &w));
         Pump(50);
       }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.reason);
    {
      auto p = Make();
      r.calls(*this, *p, Gui(*p));
    }
    Pump(20);
    if (parent_) {
      EXPECT_EQ(PluginWindow(), nullptr);
      DestroyWindow(parent_);
      parent_ = nullptr;
    }
  }
}

}  // namespace
