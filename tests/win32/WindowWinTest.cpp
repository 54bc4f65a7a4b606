// The Win32 editor window's gestures as the system delivers them: which
// control a key, a press, a drag or a wheel turn reaches (and at which
// pixel), what goes on to the host, the mouse capture after each button,
// and the text entry's ending rules.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/win32/WinTestPlug.h"

namespace {

using namespace wintest;

// A control of the test's own that records the keys it is given and takes
// them or not.
class KeyProbe : public IControl {
 public:
  struct Key {
    int x, y, key;
    bool operator==(const Key&) const = default;
  };
  KeyProbe(const PixelRect& rect, bool takesKeys) : IControl(rect), takes(takesKeys) {}
  bool Draw(IPanel&) override { return true; }
  bool KeyDown(int x, int y, int key) override {
    keys.push_back({x, y, key});
    return takes;
  }
  bool takes;
  std::vector<Key> keys;
};

// Key messages that reach the host's top-level window.
std::vector<std::pair<UINT, WPARAM>> gHostKeys;
WNDPROC gHostProc = nullptr;

LRESULT CALLBACK RecordingHostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_KEYDOWN || msg == WM_KEYUP) gHostKeys.emplace_back(msg, wParam);
  return CallWindowProcA(gHostProc, hwnd, msg, wParam, lParam);
}

void RecordHostKeys(HWND top) {
  gHostKeys.clear();
  gHostProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingHostProc)));
}

// The pointer over the editor's pixel (x, y).
void PointAt(Editor& e, int x, int y) {
  POINT p{x, y};
  ClientToScreen(e.host.PluginWindow(), &p);
  SetCursorPos(p.x, p.y);
}

void Button(Editor& e, UINT msg, WPARAM held, int x, int y) {
  PostMessageA(e.host.PluginWindow(), msg, held, MAKELPARAM(x, y));
  e.host.Drain();
}

int Count(const std::vector<Edit>& edits, char kind) {
  int n = 0;
  for (const Edit& x : edits) n += x.kind == kind;
  return n;
}

TEST(WindowWin, KeysGoWhereThePointerIsAndOnlyKeysNoControlTookReachTheHost) {
  Editor e;
  e.Open();
  auto keyboard = std::make_unique<KeyProbe>(PixelRect{}, true);
  KeyProbe* kb = keyboard.get();
  e.fx->panel->SetKeyboardControl(std::move(keyboard));
  auto* over = static_cast<KeyProbe*>(
      e.fx->panel->GetControl(e.fx->panel->AttachControl(new KeyProbe(PixelRect{200, 100, 260, 160}, true))));
  RecordHostKeys(e.host.TopWindow());

  // Over the background: the keyboard control, at the pointer's pixel.
  PointAt(e, 100, 150);
  e.host.Key('A');
  EXPECT_EQ(kb->keys, (std::vector<KeyProbe::Key>{{100, 150, kKeyLetterA}}));
  EXPECT_EQ(gHostKeys, (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYUP, 'A'}}));  // a key up always goes on

  // Not taken: the host hears it.
  kb->takes = false;
  gHostKeys.clear();
  e.host.Key(VK_SPACE);
  e.host.Key(VK_DOWN);
  EXPECT_EQ(kb->keys, (std::vector<KeyProbe::Key>{{100, 150, kKeyLetterA}, {100, 150, kKeySpace},
                                                   {100, 150, kKeyDown}}));
  EXPECT_EQ(gHostKeys, (std::vector<std::pair<UINT, WPARAM>>{
                           {WM_KEYDOWN, VK_SPACE}, {WM_KEYUP, VK_SPACE}, {WM_KEYDOWN, VK_DOWN}, {WM_KEYUP, VK_DOWN}}));

  // A key no control takes by its nature goes straight on.
  gHostKeys.clear();
  e.host.Key(VK_F5);
  EXPECT_EQ(kb->keys.size(), 3u);
  EXPECT_EQ(gHostKeys, (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYDOWN, VK_F5}, {WM_KEYUP, VK_F5}}));

  // Over a control: that control, not the keyboard control.
  gHostKeys.clear();
  PointAt(e, 230, 110);
  e.host.Key('7');
  EXPECT_EQ(over->keys, (std::vector<KeyProbe::Key>{{230, 110, kKeyDigit0 + 7}}));
  EXPECT_EQ(kb->keys.size(), 3u);
  EXPECT_EQ(gHostKeys, (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYUP, '7'}}));
  SetWindowLongPtrA(e.host.TopWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gHostProc));
}

TEST(WindowWin, EveryButtonsReleaseFreesTheMouseAndEndsTheEditItsPressBegan) {
  Editor e;
  e.Open();
  HWND window = e.host.PluginWindow();
  struct Case {
    UINT down, up;
    WPARAM held;
  };
  for (const Case& c : {Case{WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON}, Case{WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON},
                        Case{WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON}}) {
    SCOPED_TRACE(c.down);
    e.fx->edits.clear();
    Button(e, c.down, c.held, 40, 40);
    EXPECT_EQ(GetCapture(), window);
    Button(e, c.up, 0, 40, 40);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Count(e.fx->edits, 'b'), Count(e.fx->edits, 'e'));
    if (c.down != WM_RBUTTONDOWN) {  // the right button asks the host for its menu instead
      EXPECT_EQ(e.fx->edits, (std::vector<Edit>{{'b', 0, 0}, {'e', 0, 0}}));
    }
  }

  // A second button during a drag: the drag's edit ends, the new press
  // begins its own, and its release frees the mouse.
  e.fx->edits.clear();
  Button(e, WM_LBUTTONDOWN, MK_LBUTTON, 40, 40);
  Button(e, WM_MBUTTONDOWN, MK_LBUTTON | MK_MBUTTON, 40, 40);
  EXPECT_EQ(GetCapture(), window);
  Button(e, WM_MBUTTONUP, MK_LBUTTON, 40, 40);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(e.fx->edits, (std::vector<Edit>{{'b', 0, 0}, {'e', 0, 0}, {'b', 0, 0}, {'e', 0, 0}}));
  Button(e, WM_LBUTTONUP, 0, 40, 40);  // a release no press began ends nothing
  EXPECT_EQ(e.fx->edits.size(), 4u);

  // A double-click taken as a click holds the mouse like a press: it drags
  // (a tenth as far with shift) until the release.
  IControl* knob = e.fx->panel->GetControl(1);
  knob->SetDoubleClickAsClick(true);
  e.fx->edits.clear();
  Button(e, WM_LBUTTONDBLCLK, MK_LBUTTON, 40, 40);
  EXPECT_EQ(GetCapture(), window);
  Button(e, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, 40, 30);
  Button(e, WM_LBUTTONUP, 0, 40, 30);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(e.fx->edits, (std::vector<Edit>{{'b', 0, 0}, {'p', 0, 0.50625}, {'e', 0, 0}}));
}

TEST(WindowWin, DragsAndWheelTurnsReachTheControlUnderThePointerByItsPixels) {
  Editor e;
  e.Open();
  // The vertical knob: sideways nothing, upwards 10 of its 40 pixels at gearing 4.
  e.host.MouseDown(40, 40);
  e.host.MouseMove(30, 40, true);
  e.host.MouseMove(30, 30, true);
  e.host.MouseUp(30, 30);
  EXPECT_EQ(e.fx->edits, (std::vector<Edit>{{'b', 0, 0}, {'p', 0, 0.5}, {'p', 0, 0.5625}, {'e', 0, 0}}));

  // The wheel's screen position lands on the knob (the host's window away
  // from the screen's diagonal); 120 units a notch.
  SetWindowPos(e.host.TopWindow(), nullptr, 130, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  e.host.Drain();
  e.fx->edits.clear();
  e.host.Wheel(40, 40, 240);
  e.host.Wheel(40, 40, -120);
  ASSERT_EQ(e.fx->edits.size(), 6u);
  EXPECT_DOUBLE_EQ(e.fx->edits[1].value, 0.5825);
  EXPECT_DOUBLE_EQ(e.fx->edits[4].value, 0.5725);
  e.host.Wheel(40, 40, 119);  // under a notch
  EXPECT_NEAR(e.fx->GetParam(0)->Value(), -20.0 + 40.0 * 0.5725, 1e-9);
  e.fx->edits.clear();
  e.host.Wheel(250, 150, 120);  // over the background
  EXPECT_TRUE(e.fx->edits.empty());

  // The right button drags too (a control without a parameter keeps it from
  // the host's menu).
  IControl* loose = e.fx->panel->GetControl(
      e.fx->panel->AttachControl(new IKnobStripControl(200, 100, -1, BitmapRef{e.fx->knob.get(), 40, 120, 3})));
  loose->SetValue(0.5);
  Button(e, WM_RBUTTONDOWN, MK_RBUTTON, 220, 130);
  Button(e, WM_MOUSEMOVE, MK_RBUTTON, 220, 120);
  Button(e, WM_RBUTTONUP, 0, 220, 120);
  EXPECT_DOUBLE_EQ(loose->Value(), 0.5625);
  EXPECT_TRUE(e.fx->edits.empty());
}

TEST(WindowWin, TextEntryCommitsOnLosingTheFocusAndAPressWhileFocusedCancelsIt) {
  Editor e;
  e.Open();
  e.fx->promptKnob->PromptValueEntry();
  ASSERT_NE(e.fx->panel->TextEntryWindow(), nullptr);
  e.host.Pump(60);
  ASSERT_EQ(e.fx->panel->TextEntryState(), IPanelWin::kEntryFocused);
  e.host.TypeText("5");
  SetFocus(e.host.TopWindow());
  EXPECT_EQ(e.fx->panel->TextEntryState(), IPanelWin::kEntryCommit);
  e.host.Pump(100);
  EXPECT_EQ(e.fx->panel->TextEntryWindow(), nullptr);
  EXPECT_EQ(e.fx->GetParam(0)->Value(), 5.0);
  EXPECT_EQ(e.fx->edits, (std::vector<Edit>{{'b', 0, 0}, {'p', 0, 0.625}, {'e', 0, 0}}));

  // A press on the knob while the entry has the focus: no gesture, no value.
  e.fx->edits.clear();
  e.fx->promptKnob->PromptValueEntry();
  ASSERT_NE(e.fx->panel->TextEntryWindow(), nullptr);
  // However busy the machine, the entry has the focus before the press.
  for (int i = 0; i < 50 && e.fx->panel->TextEntryState() != IPanelWin::kEntryFocused; ++i) e.host.Pump(20);
  ASSERT_EQ(e.fx->panel->TextEntryState(), IPanelWin::kEntryFocused);
  e.host.TypeText("7");
  e.host.MouseDown(40, 40);
  EXPECT_EQ(e.fx->panel->TextEntryState(), IPanelWin::kEntryCancel);
  EXPECT_NE(GetCapture(), e.host.PluginWindow());
  e.host.MouseUp(40, 40);
  e.host.Pump(100);
  EXPECT_EQ(e.fx->panel->TextEntryWindow(), nullptr);
  EXPECT_EQ(e.fx->GetParam(0)->Value(), 5.0);
  EXPECT_TRUE(e.fx->edits.empty());
  // The editor has the keyboard again.
  EXPECT_EQ(GetFocus(), e.host.PluginWindow());
}

}  // namespace
