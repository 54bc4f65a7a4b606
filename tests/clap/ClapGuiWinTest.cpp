// The editor through the gui extension in a host's Win32 window, under Wine:
// the CLAP editor scenarios, with the window's own messages as the host's
// loop.

#include <gtest/gtest.h>

#include <windows.h>

#include "host/win32/EditorHostWin.h"
#include "mirel/EditorLayout.h"
#include "tests/clap/ClapEditorFixture.h"
#include "tests/support/ClapEditorScenario.h"
#include "tests/support/WinSnapshot.h"

using clap_tests::ClapEditorFixture;
using mirel::host::ClapPlugin;

namespace {

constexpr testsupport::ClapEditorPlatform kWin32{CLAP_WINDOW_API_WIN32, CLAP_WINDOW_API_X11, true, 0, true};

class ClapGuiWin : public ClapEditorFixture {
 public:
  // ClapEditorHostDriver
  const testsupport::ClapEditorPlatform& Platform() const override { return kWin32; }
  // Room for the editor's whole picture inside the frame and title bar.
  clap_window_t OpenHostWindow() override {
    parent_ = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                              mirel::layout::kEditorWidth + 100, mirel::layout::kEditorHeight + 100, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    clap_window_t w{};
    w.api = CLAP_WINDOW_API_WIN32;
    w.win32 = parent_;
    return w;
  }
  void CloseHostWindow() override {
    if (parent_) DestroyWindow(parent_);
    parent_ = nullptr;
  }
  bool HasPluginWindow() override { return PluginWindow() != nullptr; }
  bool PluginWindowSize(int& width, int& height) override {
    RECT r{};
    HWND child = PluginWindow();
    if (!child || !GetClientRect(child, &r)) return false;
    width = r.right - r.left;
    height = r.bottom - r.top;
    return true;
  }
  void Settle() override { Pump(20); }
  void Pump(int milliseconds) override { mirel::host::EditorHostWin::Pump(milliseconds); }
  bool Capture(mirel::host::EditorImage& out) override {
    HWND child = PluginWindow();
    return child && mirel::host::CaptureWindow(child, out);
  }
  bool Snapshot(const std::string& scale, mirel::host::EditorImage& out) override {
    return testsupport::WinSnapshot(MIREL_SNAPSHOT_EXE, scale, MIREL_BINARY_DIR "/clap-snapshot-" + scale + ".png", out);
  }
  std::string Name() const override { return "clap-win32"; }

  HWND PluginWindow() const { return parent_ ? GetWindow(parent_, GW_CHILD) : nullptr; }

  HWND parent_ = nullptr;
};

TEST_F(ClapGuiWin, AnswersForItsOwnApiAndScale) { testsupport::ClapEditorAnswersForItsOwnApiAndScale(*this); }

TEST_F(ClapGuiWin, EmbedsShowingTheSnapshotAndTakesTheHostsSizes) {
  testsupport::ClapEditorEmbedsShowingTheSnapshotAndTakesTheHostsSizes(*this);
}

TEST_F(ClapGuiWin, SurvivesAnyOrderOfCalls) { testsupport::ClapEditorSurvivesAnyOrderOfCalls(*this); }

}  // namespace
