// The editor at the window's own DPI, through the adapter's view in the
// Windows editor host: read only on a per-monitor aware thread, overridden
// by any content scale the host sets, and followed when the window moves to
// a monitor of another DPI (the host's frame is asked for the new size).

#include <gtest/gtest.h>

#include "gui/win32/Win32Dpi.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "tests/support/ViewSize.h"
#include "tests/win32/WinTestPlug.h"

namespace {

using namespace Steinberg;
using testsupport::WidthHeight;
using wintest::Editor;

// The thread's DPI awareness for one test, the earlier one restored after.
class ThreadAwareness {
 public:
  using SetContextFn = void*(WINAPI*)(void*);
  // DPI_AWARENESS_CONTEXT_UNAWARE, _SYSTEM_AWARE and _PER_MONITOR_AWARE
  // (which every system with thread awareness knows; not all know its
  // second version).
  static inline void* const kUnaware = reinterpret_cast<void*>(-1);
  static inline void* const kSystemAware = reinterpret_cast<void*>(-2);
  static inline void* const kPerMonitor = reinterpret_cast<void*>(-3);

  explicit ThreadAwareness(void* context) {
    set_ = reinterpret_cast<SetContextFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
    if (set_) previous_ = set_(context);
  }
  ~ThreadAwareness() {
    if (set_ && previous_) set_(previous_);
  }
  bool Taken() const { return set_ && previous_; }

 private:
  SetContextFn set_ = nullptr;
  void* previous_ = nullptr;
};

int gFakeDpi = 96;
int FakeDpi(HWND__*) { return gFakeDpi; }

// wParam of WM_DPICHANGED carries the new DPI twice; lParam the suggested
// window rectangle (a child ignores it).
void MoveToMonitorOf(HWND window, int dpi) {
  RECT suggested{0, 0, 100, 100};
  SendMessageA(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

struct DpiEditor : Editor {
  explicit DpiEditor(int dpi) {
    gFakeDpi = dpi;
    fx->panel->SetDpiReader(&FakeDpi);
  }
  ViewRect Size() { return testsupport::SizeOf(*view); }
  RECT Client() {
    RECT r{};
    GetClientRect(host.PluginWindow(), &r);
    return r;
  }
  tresult SetContentScale(float scale) {
    FUnknownPtr<IPlugViewContentScaleSupport> scaler(view);
    return scaler ? scaler->setContentScaleFactor(scale) : kNoInterface;
  }
  std::size_t Requests() { return host.Frame()->Requests().size(); }
  ViewRect LastRequest() { return host.Frame()->Requests().back(); }
};

TEST(WindowDpi, APerMonitorAwareThreadOpensAtTheWindowsDpiUntilTheHostSetsAScale) {
  ThreadAwareness aware(ThreadAwareness::kPerMonitor);
  if (!aware.Taken()) GTEST_SKIP() << "no thread DPI awareness on this system";
  ASSERT_TRUE(win32gui::ThreadIsPerMonitorAware());

  DpiEditor e(192);
  EXPECT_EQ(e.Size().getWidth(), 300);  // no window yet: nothing read
  e.Open();
  EXPECT_EQ(e.fx->panel->Scale(), 2.0);
  EXPECT_EQ(WidthHeight(e.Size()), (std::pair{600, 400}));
  ASSERT_EQ(e.Requests(), 1u);
  EXPECT_EQ(WidthHeight(e.LastRequest()), (std::pair{600, 400}));
  EXPECT_EQ(std::pair(e.Client().right, e.Client().bottom), (std::pair{600L, 400L}));

  // The host's 1 wins over the window's 2; a later DPI change moves nothing.
  ASSERT_EQ(e.SetContentScale(1.0f), kResultOk);
  EXPECT_EQ(e.fx->panel->Scale(), 1.0);
  EXPECT_EQ(e.LastRequest().getWidth(), 300);
  EXPECT_EQ(e.Client().right, 300);
  const std::size_t asked = e.Requests();
  MoveToMonitorOf(e.host.PluginWindow(), 144);
  EXPECT_EQ(e.fx->panel->Scale(), 1.0);
  EXPECT_EQ(e.Requests(), asked);
  EXPECT_EQ(e.Size().getWidth(), 300);
}

TEST(WindowDpi, AHostScaleSetBeforeOpeningWinsAndTheRealDpiIsReadOnlyWhenAware) {
  {
    ThreadAwareness aware(ThreadAwareness::kPerMonitor);
    if (!aware.Taken()) GTEST_SKIP() << "no thread DPI awareness on this system";
    DpiEditor e(192);
    ASSERT_EQ(e.SetContentScale(1.0f), kResultOk);
    e.Open();
    EXPECT_EQ(e.fx->panel->Scale(), 1.0);
    EXPECT_EQ(e.Requests(), 0u);
    EXPECT_EQ(e.Client().right, 300);
    // The system's own reading of the window's DPI is a real DPI.
    EXPECT_GE(win32gui::WindowDpi(e.host.PluginWindow()), 72);
    EXPECT_EQ(win32gui::WindowDpi(nullptr), 0);
  }
  // A system-aware or unaware thread's windows are stretched by the system
  // on other monitors: 1x, whatever the DPI, at opening and on a move.
  {
    ThreadAwareness system(ThreadAwareness::kSystemAware);
    ASSERT_TRUE(system.Taken());
    EXPECT_FALSE(win32gui::ThreadIsPerMonitorAware());
  }
  ThreadAwareness unaware(ThreadAwareness::kUnaware);
  ASSERT_TRUE(unaware.Taken());
  EXPECT_FALSE(win32gui::ThreadIsPerMonitorAware());
  EXPECT_EQ(win32gui::WindowScale(nullptr, &FakeDpi), 1.0);
  DpiEditor e(192);
  e.Open();
  EXPECT_EQ(e.fx->panel->Scale(), 1.0);
  EXPECT_EQ(e.Size().getWidth(), 300);
  MoveToMonitorOf(e.host.PluginWindow(), 192);
  EXPECT_EQ(e.fx->panel->Scale(), 1.0);
  EXPECT_EQ(e.Requests(), 0u);
}

TEST(WindowDpi, AMoveToAMonitorOfAnotherDpiRescalesAndAsksTheFrame) {
  ThreadAwareness aware(ThreadAwareness::kPerMonitor);
  if (!aware.Taken()) GTEST_SKIP() << "no thread DPI awareness on this system";
  DpiEditor e(96);
  e.Open();
  EXPECT_EQ(e.fx->panel->Scale(), 1.0);
  EXPECT_EQ(e.Requests(), 0u);

  MoveToMonitorOf(e.host.PluginWindow(), 192);
  EXPECT_EQ(e.fx->panel->Scale(), 2.0);
  ASSERT_EQ(e.Requests(), 1u);
  EXPECT_EQ(WidthHeight(e.LastRequest()), (std::pair{600, 400}));
  EXPECT_EQ(e.fx->resized, 1);  // the host's onSize answered the request
  EXPECT_EQ(e.Client().right, 600);
  RECT top;
  GetClientRect(e.host.TopWindow(), &top);
  EXPECT_EQ(top.bottom, 400);

  MoveToMonitorOf(e.host.PluginWindow(), 144);
  EXPECT_EQ(e.LastRequest().getWidth(), 450);
  EXPECT_EQ(e.Client().bottom, 300);
  MoveToMonitorOf(e.host.PluginWindow(), 144);  // the same again: nothing asked
  EXPECT_EQ(e.Requests(), 2u);

  // A child told after its parent reads the DPI itself; beyond 3x it stays at 3.
  gFakeDpi = 480;
  SendMessageA(e.host.PluginWindow(), 0x02E3 /* WM_DPICHANGED_AFTERPARENT */, 0, 0);
  EXPECT_EQ(e.fx->panel->Scale(), 3.0);
  EXPECT_EQ(e.LastRequest().getWidth(), 900);
  gFakeDpi = 96;
  SendMessageA(e.host.PluginWindow(), 0x02E3, 0, 0);
  EXPECT_EQ(e.fx->panel->Scale(), 1.0);
  EXPECT_EQ(e.Client().right, 300);
  EXPECT_EQ(e.Size().getWidth(), 300);

  // A move while the value entry has the focus: the editor follows, and the
  // entry, which stood at the old scale, closes without sending its text.
  e.fx->promptKnob->PromptValueEntry();
  ASSERT_NE(e.fx->panel->TextEntryWindow(), nullptr);
  e.host.Pump(100);
  ASSERT_EQ(e.fx->panel->TextEntryState(), IPanelWin::kEntryFocused);
  e.host.TypeText("7");
  MoveToMonitorOf(e.host.PluginWindow(), 192);
  EXPECT_EQ(e.fx->panel->Scale(), 2.0);
  EXPECT_EQ(e.fx->panel->TextEntryWindow(), nullptr);
  e.host.Pump(100);
  EXPECT_TRUE(e.fx->edits.empty());
  EXPECT_EQ(e.Client().right, 600);
}

}  // namespace
