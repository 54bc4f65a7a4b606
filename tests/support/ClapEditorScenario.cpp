#include "tests/support/ClapEditorScenario.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "mirel/EditorLayout.h"
#include "tests/support/EditorScaleScenario.h"

namespace testsupport {

namespace {

using mirel::host::ClapPlugin;
constexpr auto kWidth = static_cast<std::uint32_t>(mirel::layout::kEditorWidth);
constexpr auto kHeight = static_cast<std::uint32_t>(mirel::layout::kEditorHeight);

void ExpectPluginWindowSize(ClapEditorHostDriver& host, std::uint32_t width, std::uint32_t height) {
  int w = 0, h = 0;
  ASSERT_TRUE(host.PluginWindowSize(w, h));
  EXPECT_EQ(std::pair(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h)), std::pair(width, height));
}

}  // namespace

void ClapEditorAnswersForItsOwnApiAndScale(ClapEditorHostDriver& host) {
  const ClapEditorPlatform& platform = host.Platform();
  const clap_plugin_gui_t* gui = host.Gui();
  ASSERT_NE(gui, nullptr);
  const clap_plugin_t* plugin = host.Plugin().Plugin();
  const char* api = nullptr;
  bool floating = true;
  ASSERT_TRUE(gui->get_preferred_api(plugin, &api, &floating));
  EXPECT_STREQ(api, platform.api);
  EXPECT_FALSE(floating);
  EXPECT_TRUE(gui->is_api_supported(plugin, platform.api, false));
  EXPECT_FALSE(gui->is_api_supported(plugin, platform.api, true)) << "embedded only";
  EXPECT_FALSE(gui->is_api_supported(plugin, platform.otherApi, false));

  ASSERT_TRUE(gui->create(plugin, platform.api, false));
  std::uint32_t w = 0, h = 0;
  ASSERT_TRUE(gui->get_size(plugin, &w, &h));
  EXPECT_EQ(std::pair(w, h), std::pair(kWidth, kHeight));
  if (platform.hostScales) {
    ASSERT_TRUE(gui->set_scale(plugin, 2.0));
    ASSERT_TRUE(gui->get_size(plugin, &w, &h));
    EXPECT_EQ(std::pair(w, h), std::pair(2u * kWidth, 2u * kHeight));
    EXPECT_FALSE(gui->set_scale(plugin, 0.0));
    ASSERT_TRUE(gui->set_scale(plugin, 1.0));
  } else {
    EXPECT_FALSE(gui->set_scale(plugin, 2.0)) << "the desktop's scale rules";
  }
  clap_gui_resize_hints_t hints{};
  ASSERT_TRUE(gui->can_resize(plugin));
  ASSERT_TRUE(gui->get_resize_hints(plugin, &hints));
  EXPECT_TRUE(hints.preserve_aspect_ratio);
  EXPECT_EQ(hints.aspect_ratio_width * kHeight, hints.aspect_ratio_height * kWidth);
  gui->destroy(plugin);
  host.DropPlugin();
}

void ClapEditorEmbedsShowingTheSnapshotAndTakesTheHostsSizes(ClapEditorHostDriver& host) {
  const ClapEditorPlatform& platform = host.Platform();
  const clap_plugin_gui_t* gui = host.Gui();
  ASSERT_NE(gui, nullptr);
  ClapPlugin& p = host.Plugin();
  const clap_plugin_t* plugin = p.Plugin();
  ASSERT_TRUE(gui->create(plugin, platform.api, false));
  const clap_window_t window = host.OpenHostWindow();
  ASSERT_TRUE(gui->set_parent(plugin, &window));
  EXPECT_EQ(p.TimerCount(), platform.timers) << "the timers the window runs on";
  EXPECT_TRUE(gui->show(plugin));
  host.Pump(150);
  ASSERT_TRUE(host.HasPluginWindow());
  ExpectPluginWindowSize(host, kWidth, kHeight);
  EXPECT_TRUE(ShowsSnapshot(host, "1", "snapshot", platform.exceptLabel))
      << "the window differs from mirel-snapshot's picture";

  // A host's resize handle, a row each: the size adjusted to the editor's
  // aspect is the window's.
  struct Asked {
    const char* reason;
    std::uint32_t width, height;
  };
  const Asked asked[] = {{"taller than the aspect", 1257, 1000}, {"twice as wide, four times as tall", 2 * kWidth, 4 * kHeight}};
  std::uint32_t aw = 0, ah = 0;
  for (const Asked& a : asked) {
    SCOPED_TRACE(a.reason);
    aw = a.width;
    ah = a.height;
    ASSERT_TRUE(gui->adjust_size(plugin, &aw, &ah));
    EXPECT_NEAR(static_cast<double>(aw) / ah, static_cast<double>(kWidth) / kHeight, 0.01) << aw << "x" << ah;
    ASSERT_TRUE(gui->set_size(plugin, aw, ah));
    host.Pump(100);
    std::uint32_t w = 0, h = 0;
    ASSERT_TRUE(gui->get_size(plugin, &w, &h));
    EXPECT_EQ(std::pair(w, h), std::pair(aw, ah));
    ExpectPluginWindowSize(host, aw, ah);
  }

  // The last size is kept with the state as the zoom.
  std::vector<std::uint8_t> state;
  ASSERT_TRUE(p.SaveState(state));
  {
    auto q = host.Another();
    ASSERT_TRUE(q->LoadState(state));
    const auto* qGui = static_cast<const clap_plugin_gui_t*>(q->Plugin()->get_extension(q->Plugin(), CLAP_EXT_GUI));
    ASSERT_TRUE(qGui->create(q->Plugin(), platform.api, false));
    std::uint32_t qw = 0, qh = 0;
    ASSERT_TRUE(qGui->get_size(q->Plugin(), &qw, &qh));
    EXPECT_EQ(qw, aw) << "the restored state keeps the editor's size";
    qGui->destroy(q->Plugin());
  }

  gui->destroy(plugin);
  host.Settle();
  EXPECT_EQ(p.TimerCount(), 0u) << "destroy stops the host timer";
  EXPECT_FALSE(host.HasPluginWindow()) << "destroy closes the plug-in's window";
  host.DropPlugin();
  host.CloseHostWindow();
}

void ClapEditorSurvivesAnyOrderOfCalls(ClapEditorHostDriver& host) {
  using Calls = std::function<void(ClapEditorHostDriver&, const clap_plugin_t*, const clap_plugin_gui_t*, const char*)>;
  struct Row {
    const char* reason;
    Calls calls;
  };
  const Row rows[] = {
      {"created and destroyed without a parent",
       [](ClapEditorHostDriver&, const clap_plugin_t* p, const clap_plugin_gui_t* g, const char* api) {
         EXPECT_TRUE(g->create(p, api, false));
         g->destroy(p);
       }},
      {"parent before create is refused",
       [](ClapEditorHostDriver& t, const clap_plugin_t* p, const clap_plugin_gui_t* g, const char*) {
         const clap_window_t w = t.OpenHostWindow();
         EXPECT_FALSE(g->set_parent(p, &w));
         g->destroy(p);
       }},
      {"created twice, parented twice",
       [](ClapEditorHostDriver& t, const clap_plugin_t* p, const clap_plugin_gui_t* g, const char* api) {
         EXPECT_TRUE(g->create(p, api, false));
         EXPECT_FALSE(g->create(p, api, false));
         const clap_window_t w = t.OpenHostWindow();
         EXPECT_TRUE(g->set_parent(p, &w));
         EXPECT_TRUE(g->set_parent(p, &w));
         EXPECT_EQ(t.Plugin().TimerCount(), t.Platform().timers);
         t.Pump(50);
         g->destroy(p);
       }},
      {"floating refused, then embedded",
       [](ClapEditorHostDriver&, const clap_plugin_t* p, const clap_plugin_gui_t* g, const char* api) {
         EXPECT_FALSE(g->create(p, api, true));
         EXPECT_TRUE(g->create(p, api, false));
         g->destroy(p);
       }},
      {"sized and hidden before a parent, then shown",
       [](ClapEditorHostDriver& t, const clap_plugin_t* p, const clap_plugin_gui_t* g, const char* api) {
         EXPECT_TRUE(g->create(p, api, false));
         EXPECT_TRUE(g->set_size(p, 1257, 367));
         EXPECT_TRUE(g->hide(p));
         const clap_window_t w = t.OpenHostWindow();
         EXPECT_TRUE(g->set_parent(p, &w));
         EXPECT_TRUE(g->show(p));
         t.Pump(120);
         g->destroy(p);
       }},
      {"a window of another kind, and a null one",
       [](ClapEditorHostDriver& t, const clap_plugin_t* p, const clap_plugin_gui_t* g, const char* api) {
         EXPECT_TRUE(g->create(p, api, false));
         clap_window_t other{};
         other.api = t.Platform().otherApi;
         other.ptr = &other;
         EXPECT_FALSE(g->set_parent(p, &other));
         EXPECT_FALSE(g->set_parent(p, nullptr));
         g->destroy(p);
       }},
      {"the plug-in destroyed with its editor open",
       [](ClapEditorHostDriver& t, const clap_plugin_t* p, const clap_plugin_gui_t* g, const char* api) {
         EXPECT_TRUE(g->create(p, api, false));
         const clap_window_t w = t.OpenHostWindow();
         EXPECT_TRUE(g->set_parent(p, &w));
         t.Pump(50);
       }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.reason);
    const clap_plugin_gui_t* g = host.Gui();
    ASSERT_NE(g, nullptr);
    r.calls(host, host.Plugin().Plugin(), g, host.Platform().api);
    host.DropPlugin();
    host.Settle();
    EXPECT_FALSE(host.HasPluginWindow()) << "the plug-in's window outlived it";
    host.CloseHostWindow();
  }
}

}  // namespace testsupport
