// The Win32 editor window in this process, hosted by the Windows editor host
// under a plug-in of the test's own: the text entry, the window class's life,
// the timer period, resizing and stale indices, popup menus. (The built
// module's window, picture and gestures are tested in the integration tests.)

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "EditorHostWin.h"
#include "IEffectBase.h"
#include "gui/win32/IPanelWin.h"
#include "raster/RAS_Bitmap.h"

namespace {

using namespace Steinberg;
using mirel::host::EditorHostWin;

struct Edit {
  char kind;  // b(egin), p(erform), e(nd)
  int index;
  double value;
  bool operator==(const Edit&) const = default;
};

class TestPlug : public IEffectBase {
 public:
  TestPlug() : IEffectBase(3, "2-2", 1, "Test", "Test", "Test", 1, 1, 1) {
    GetParam(0)->DefineContinuous("Gain", 0.0, -20.0, 20.0, 0.1, "dB");
    GetParam(1)->DefineStepped("Steps", 2.0, 0.0, 10.0, 1.0);
    GetParam(2)->DefineStepped("Switch", 0.0, 0.0, 1.0, 1.0);
    GetParam(2)->SetKind(ParamKind::Boolean);
  }
  void BeginEditNotify(int i) override { edits.push_back({'b', i, 0}); }
  void PerformEditNotify(int i, double v) override { edits.push_back({'p', i, v}); }
  void EndEditNotify(int i) override { edits.push_back({'e', i, 0}); }
  void ResizeEditor(int w, int h) override {
    resizedW = w;
    resizedH = h;
  }
  double Normalised(int i) const { return GetParam(i)->ToNormalised(GetParam(i)->Value()); }

  std::vector<Edit> edits;
  int resizedW = 0, resizedH = 0;
};

class CountingPanel : public IPanelWin {
 public:
  using IPanelWin::IPanelWin;
  std::unique_ptr<RAS_IBitmap> LoadBitmapFromResource(int id, const char* name) override {
    ++decodes;
    return IPanelWin::LoadBitmapFromResource(id, name);
  }
  int decodes = 0;
};

// A view as a host sees it, over the panel.
class PanelView : public mirel::host::HostObject<IPlugView> {
 public:
  explicit PanelView(IPanelWin* panel) : panel_(panel) {}
  tresult PLUGIN_API isPlatformTypeSupported(FIDString) override { return kResultOk; }
  tresult PLUGIN_API attached(void* parent, FIDString) override {
    return panel_->OpenWindow(parent) ? kResultOk : kResultFalse;
  }
  tresult PLUGIN_API removed() override {
    panel_->CloseWindow();
    return kResultOk;
  }
  tresult PLUGIN_API onWheel(float) override { return kResultFalse; }
  tresult PLUGIN_API onKeyDown(char16, int16, int16) override { return kResultFalse; }
  tresult PLUGIN_API onKeyUp(char16, int16, int16) override { return kResultFalse; }
  tresult PLUGIN_API getSize(ViewRect* r) override {
    *r = ViewRect(0, 0, panel_->Width(), panel_->Height());
    return kResultOk;
  }
  tresult PLUGIN_API onSize(ViewRect*) override { return kResultOk; }
  tresult PLUGIN_API onFocus(TBool) override { return kResultFalse; }
  tresult PLUGIN_API setFrame(IPlugFrame*) override { return kResultOk; }
  tresult PLUGIN_API canResize() override { return kResultFalse; }
  tresult PLUGIN_API checkSizeConstraint(ViewRect*) override { return kResultFalse; }

 private:
  IPanelWin* panel_;
};

// A strip of `frames` opaque frames, each its own colour.
std::unique_ptr<RAS_MemBitmap> Strip(int w, int h, int frames, std::uint32_t seed) {
  auto b = std::make_unique<RAS_MemBitmap>(w, h * frames);
  for (int y = 0; y < h * frames; ++y) {
    for (int x = 0; x < w; ++x) {
      b->getBits()[y * b->getRowSpan() + x] = 0xFF000000u | (seed * static_cast<std::uint32_t>(y / h + 1) + static_cast<std::uint32_t>(x));
    }
  }
  return b;
}

// Knob (param 0) at 20,20 40x40; a knob with the value prompt enabled
// (param 0) at 160,20; on a 300x200 background.
struct Editor {
  std::unique_ptr<RAS_MemBitmap> bg = Strip(300, 200, 1, 0x010203), knob = Strip(40, 40, 3, 0x102030);
  TestPlug plug;
  CountingPanel* panel = nullptr;
  IControl* promptKnob = nullptr;
  IPtr<PanelView> view;
  EditorHostWin host;

  explicit Editor(int frameRate = 25) {
    auto p = std::make_unique<CountingPanel>(&plug, 300, 200, frameRate);
    panel = p.get();
    p->AttachBackground(new IBitmapControl(&plug, 0, 0, -1, BitmapRef{bg.get(), 300, 200, 1}, ChannelBlend::kCopy));
    p->AttachControl(new IKnobStripControl(&plug, 20, 20, 0, BitmapRef{knob.get(), 40, 120, 3}));
    promptKnob = p->GetControl(p->AttachControl(new IKnobStripControl(&plug, 160, 20, 0, BitmapRef{knob.get(), 40, 120, 3})));
    promptKnob->SetPromptDisabled(false);
    plug.AttachGraphics(std::move(p));
    view = mirel::host::MakeHostObject<PanelView>(panel);
  }
  void Open() {
    std::string error;
    ASSERT_TRUE(host.Open(view.get(), error)) << error;
    host.Pump(100);
  }
};

// Replays an action script on the host.
void Do(EditorHostWin& host, const char* script) {
  std::vector<mirel::host::EditorAction> actions;
  std::string error;
  ASSERT_TRUE(mirel::host::ParseEditorActions(script, actions, error)) << error;
  for (const auto& a : actions) host.Perform(a);
}

bool ClassRegistered(HINSTANCE instance) {
  WNDCLASSA wc;
  return GetClassInfoA(instance, IPanelWin::kWindowClass, &wc) != 0;
}

TEST(PanelWin, TextEntryCancelsCommitsClampedAndRefusesLetters) {
  Editor e;
  e.Open();
  e.promptKnob->PromptValueEntry();
  HWND entry = e.panel->TextEntryWindow();
  ASSERT_NE(entry, nullptr);
  e.host.Pump(100);
  EXPECT_EQ(e.panel->TextEntryState(), IPanelWin::kEntryFocused);
  char text[32] = {};
  GetWindowTextA(entry, text, sizeof text);
  EXPECT_STREQ(text, "0.0");

  e.host.TypeText("7");
  e.host.Key(VK_ESCAPE);
  e.host.Pump(100);
  EXPECT_EQ(e.panel->TextEntryWindow(), nullptr);
  EXPECT_TRUE(e.plug.edits.empty());
  EXPECT_EQ(e.plug.GetParam(0)->Value(), 0.0);

  e.promptKnob->PromptValueEntry();
  entry = e.panel->TextEntryWindow();
  ASSERT_NE(entry, nullptr);
  e.host.TypeText("3x5ab");
  GetWindowTextA(entry, text, sizeof text);
  EXPECT_STREQ(text, "35");
  e.host.Key(VK_RETURN);
  e.host.Pump(100);
  EXPECT_EQ(e.panel->TextEntryWindow(), nullptr);
  EXPECT_EQ(e.plug.GetParam(0)->Value(), 20.0);  // clamped to the range
  EXPECT_EQ(e.plug.edits, (std::vector<Edit>{{'b', 0, 0}, {'p', 0, 1.0}, {'e', 0, 0}}));
}

TEST(PanelWin, AGestureEndsWhenAnotherWindowTakesTheMouse) {
  Editor e;
  e.Open();
  e.host.MouseDown(40, 40);
  e.host.MouseMove(40, 30, true);
  SetCapture(e.host.TopWindow());  // say, the host's own drag
  e.host.Drain();
  ASSERT_GE(e.plug.edits.size(), 3u);
  EXPECT_EQ(e.plug.edits.front(), (Edit{'b', 0, 0}));
  EXPECT_EQ(e.plug.edits.back(), (Edit{'e', 0, 0}));
  ReleaseCapture();
  e.host.MouseUp(40, 30);  // the release comes late and ends nothing more
  EXPECT_EQ(e.plug.edits.back(), (Edit{'e', 0, 0}));
  EXPECT_EQ(std::count(e.plug.edits.begin(), e.plug.edits.end(), Edit{'e', 0, 0}), 1);
}

TEST(PanelWin, ClassLivesWhileAnyWindowIsOpenAndReopeningKeepsThePlace) {
  HINSTANCE instance = nullptr;
  {
    Editor a(30), b;
    a.Open();
    EXPECT_EQ(IPanelWin::LastTimerPeriodMs(), 33);
    b.Open();
    EXPECT_EQ(IPanelWin::LastTimerPeriodMs(), 40);
    instance = a.panel->Instance();
    EXPECT_EQ(IPanelWin::OpenWindowCount(), 2);
    a.host.Close();
    EXPECT_TRUE(ClassRegistered(instance));
    EXPECT_EQ(IPanelWin::OpenWindowCount(), 1);

    // Opening again in the same parent keeps the window's place and size.
    HWND parent = b.host.TopWindow();
    SetWindowPos(b.host.PluginWindow(), nullptr, 5, 7, 290, 190, SWP_NOZORDER);
    HWND again = static_cast<HWND>(b.panel->OpenWindow(parent));
    ASSERT_NE(again, nullptr);
    RECT r;
    GetWindowRect(again, &r);
    POINT p{r.left, r.top};
    ScreenToClient(parent, &p);
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 7);
    EXPECT_EQ(r.right - r.left, 290);
    EXPECT_EQ(IPanelWin::OpenWindowCount(), 1);
    EXPECT_EQ(b.panel->decodes, 0);

    b.host.Close();
    EXPECT_FALSE(ClassRegistered(instance));

    // No parent: nothing opens and the count stays balanced.
    EXPECT_EQ(b.panel->OpenWindow(nullptr), nullptr);
    EXPECT_EQ(IPanelWin::OpenWindowCount(), 0);

    // A host that destroys its window without closing the editor first.
    b.Open();
    DestroyWindow(b.host.TopWindow());
    EXPECT_FALSE(b.panel->WindowIsOpen());
    EXPECT_EQ(IPanelWin::OpenWindowCount(), 0);
    b.panel->CloseWindow();
  }
  EXPECT_FALSE(ClassRegistered(instance));
}

TEST(PanelWin, ResizeForgetsEveryControlTheTimerOrAMessageCouldName) {
  Editor e;
  e.Open();
  e.promptKnob->PromptValueEntry();
  ASSERT_NE(e.panel->TextEntryWindow(), nullptr);
  RECT before, hostBefore;
  GetWindowRect(e.host.PluginWindow(), &before);
  GetWindowRect(e.host.TopWindow(), &hostBefore);
  e.host.MouseDown(40, 40);  // a gesture holds the knob

  e.panel->Resize(400, 260);
  EXPECT_EQ(e.panel->NControls(), 0);
  EXPECT_EQ(e.panel->TextEntryWindow(), nullptr);
  EXPECT_EQ(e.plug.resizedW, 400);
  EXPECT_EQ(e.plug.resizedH, 260);
  RECT after;
  GetWindowRect(e.host.PluginWindow(), &after);
  EXPECT_EQ(after.right - after.left, before.right - before.left + 100);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top + 60);
  // A VST3 host sizes its own windows (through the frame), never the editor.
  RECT hostAfter;
  GetWindowRect(e.host.TopWindow(), &hostAfter);
  EXPECT_EQ(hostAfter.right - hostAfter.left, hostBefore.right - hostBefore.left);

  // Every path that names a control by index, against an empty list.
  e.plug.SetParamFromEditor(0, 0.9);
  e.host.MouseMove(45, 30, true);
  e.host.MouseUp(45, 30);
  e.host.Wheel(40, 40, 120);
  e.host.DoubleClick(40, 40);
  Do(e.host, "move 41 41");
  e.host.Key('A');
  e.host.Pump(120);
  EXPECT_TRUE(e.panel->WindowIsOpen());
}

TEST(PanelWin, PathsClipboardAndCursor) {
  Editor e;
  e.Open();
  std::string host, module;
  e.panel->GetHostPath(host);
  e.panel->GetModulePath(module);
  ASSERT_FALSE(module.empty());
  EXPECT_EQ(module.back(), '\\');
  EXPECT_EQ(host, module);  // the test program is both here

  const wchar_t text[] = L"Gr\u00f6\u00dfe \u266a";
  HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, sizeof text);
  std::memcpy(GlobalLock(data), text, sizeof text);
  GlobalUnlock(data);
  ASSERT_TRUE(OpenClipboard(e.host.TopWindow()));
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, data);
  CloseClipboard();
  std::string out;
  ASSERT_TRUE(e.panel->GetTextFromClipboard(out));
  EXPECT_EQ(out, "Gr\xc3\xb6\xc3\x9f" "e \xe2\x99\xaa");

  SetCursorPos(50, 60);
  e.panel->HideMouseCursor();
  e.panel->HideMouseCursor();  // once only
  SetCursorPos(200, 210);
  e.panel->ShowMouseCursor();
  POINT p;
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 50);
  EXPECT_EQ(p.y, 60);
  EXPECT_FALSE(e.panel->CursorHidden());
}

// Keys queued before the menu runs; its modal loop reads them.
void QueueKeys(HWND window, std::initializer_list<WPARAM> keys) {
  for (WPARAM k : keys) {
    PostMessageA(window, WM_KEYDOWN, k, 1);
    PostMessageA(window, WM_KEYUP, k, static_cast<LPARAM>(0xC0000001u));
  }
}

TEST(PanelWin, PopupMenuNumbersItemsDepthFirstAndReturnsTheHoldingMenu) {
  Editor e;
  e.Open();
  IPopupMenu menu;
  menu.AddItem("A");
  IPopupMenu& sub = menu.AddSubmenu("B");
  sub.AddItem("B1");
  sub.AddItem("B2");
  menu.AddItem("C");
  HWND window = e.host.PluginWindow();

  QueueKeys(window, {VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN});
  EXPECT_EQ(e.panel->ShowPopupMenu(&menu, PixelRect{10, 10, 50, 30}), &sub);
  EXPECT_EQ(sub.chosenIndex, 1);
  EXPECT_EQ(menu.chosenIndex, -1);

  QueueKeys(window, {VK_UP, VK_RETURN});
  EXPECT_EQ(e.panel->ShowPopupMenu(&menu, PixelRect{10, 10, 50, 30}), &menu);
  EXPECT_EQ(menu.chosenIndex, 2);

  QueueKeys(window, {VK_ESCAPE});
  menu.chosenIndex = -1;
  EXPECT_EQ(e.panel->ShowPopupMenu(&menu, PixelRect{10, 10, 50, 30}), nullptr);
  EXPECT_EQ(menu.chosenIndex, -1);
}

}  // namespace
