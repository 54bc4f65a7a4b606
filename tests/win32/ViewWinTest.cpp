// The adapter's editor view over a Win32 editor window, as a host drives it:
// names and platform types, sizes, resize requests through the host's frame,
// and hosts that call in odd orders.

#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "vst3/IEffectVST3View.h"
#include "tests/support/VstOwner.h"
#include "tests/win32/WinTestPlug.h"

namespace {

using namespace Steinberg;
using mirel::host::EditorHostWin;
using testsupport::MakeVstOwner;
using wintest::TestEffect;

IPtr<IPlugView> MakeView(TestEffect& fx, const char* name = "editor") { return owned(fx.createView(name)); }

// (Names, platform types and sizes are tested against the built module.)
TEST(EditorView, HoldsThePlugInAndWithoutAnEditorShowsNothing) {
  auto fx = MakeVstOwner<TestEffect>(true);
  const int32 before = fx->getRefCount();
  {
    IPtr<IPlugView> view = MakeView(*fx);
    ASSERT_TRUE(view);
    EXPECT_EQ(fx->getRefCount(), before + 1);
    EXPECT_STREQ(static_cast<IEffectVST3View*>(view.get())->isA(), "CPluginView");
    EXPECT_EQ(view->isPlatformTypeSupported(nullptr), kResultFalse);
    EXPECT_EQ(view->getSize(nullptr), kInvalidArgument);
  }
  EXPECT_EQ(fx->getRefCount(), before);

  auto bare = MakeVstOwner<TestEffect>(false);
  IPtr<IPlugView> view = MakeView(*bare);
  ASSERT_TRUE(view);  // a view is made whether or not there is an editor
  ViewRect r;
  EXPECT_EQ(view->isPlatformTypeSupported("HWND"), kResultFalse);
  EXPECT_EQ(view->getSize(&r), kResultFalse);
  EXPECT_EQ(view->attached(GetDesktopWindow(), "HWND"), kResultFalse);
}

TEST(EditorView, ResizeRequestsReachTheFirstViewsFrame) {
  auto fx = MakeVstOwner<TestEffect>(true);
  IPtr<IPlugView> view = MakeView(*fx);
  EditorHostWin host;
  std::string error;
  ASSERT_TRUE(host.Open(view.get(), error)) << error;
  EXPECT_EQ(fx->opened, 1);

  // onSize without a request of the plug-in's own only stores the size.
  ViewRect same(0, 0, 300, 200);
  EXPECT_EQ(view->onSize(&same), kResultOk);
  EXPECT_EQ(view->onSize(nullptr), kResultOk);
  EXPECT_EQ(fx->resized, 0);

  fx->panel->Resize(360, 230);
  ASSERT_EQ(host.Frame()->Requests().size(), 1u);
  const ViewRect asked = host.Frame()->Requests()[0];
  EXPECT_EQ(asked.right, 360);
  EXPECT_EQ(asked.bottom, 230);
  EXPECT_EQ(fx->resized, 1);
  EXPECT_FALSE(static_cast<IEffectVST3View*>(view.get())->ExpectingNewSize());
  // The host sized its window to the request through its frame; the editor
  // grows no parent of its own in a VST3 host.
  RECT client;
  GetClientRect(host.TopWindow(), &client);
  EXPECT_EQ(std::pair(client.right, client.bottom), (std::pair{360L, 230L}));
  GetClientRect(host.PluginWindow(), &client);
  EXPECT_EQ(std::pair(client.right, client.bottom), (std::pair{360L, 230L}));

  // A second view dies: the first one keeps taking the requests.
  MakeView(*fx);
  fx->panel->Resize(320, 210);
  EXPECT_EQ(host.Frame()->Requests().size(), 2u);
  host.Close();
  EXPECT_EQ(fx->closing, 1);
}

TEST(EditorView, OddHostCallOrdersNeitherCrashNorLeaveWindows) {
  auto fx = MakeVstOwner<TestEffect>(true);
  HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(parent, nullptr);
  IPtr<IPlugView> a = MakeView(*fx);
  IPtr<IPlugView> b = MakeView(*fx);

  EXPECT_EQ(a->removed(), kResultOk);  // never attached
  EXPECT_EQ(a->attached(nullptr, "HWND"), kInvalidArgument);
  // Every platform type but the one of this platform is refused, and opens nothing.
  for (const char* type : {"NSView", "X11EmbedWindowID", "UIView", "HIView", "hwnd", ""}) {
    SCOPED_TRACE(type);
    EXPECT_EQ(a->isPlatformTypeSupported(type), kResultFalse);
    EXPECT_EQ(a->attached(parent, type), kResultFalse);
  }
  EXPECT_EQ(a->isPlatformTypeSupported("HWND"), kResultOk);
  EXPECT_EQ(IPanelWin::OpenWindowCount(), 0);
  EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);

  ASSERT_EQ(a->attached(parent, "HWND"), kResultOk);
  ASSERT_EQ(a->attached(parent, "HWND"), kResultOk);  // again, without removed
  EXPECT_EQ(IPanelWin::OpenWindowCount(), 1);
  HWND window = static_cast<HWND>(fx->panel->GetWindow());
  EXPECT_EQ(GetParent(window), parent);

  // Removing a view that is not attached leaves the other's window alone.
  EXPECT_EQ(b->removed(), kResultOk);
  EXPECT_TRUE(IsWindow(window));

  // Released while attached: the window goes first.
  a = nullptr;
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(IPanelWin::OpenWindowCount(), 0);
  EXPECT_EQ(fx->closing, 1);
  b = nullptr;
  DestroyWindow(parent);
}

}  // namespace
