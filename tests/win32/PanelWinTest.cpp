// The Win32 editor window in this process, hosted by the Windows editor host
// under a plug-in of the test's own: the text entry, the window class's life,
// the timer period, resizing and stale indices, popup menus. (The built
// module's window, picture and gestures are tested in the integration tests.)

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/EditorScript.h"
#include "tests/win32/WinTestPlug.h"

namespace {

using namespace Steinberg;
using namespace wintest;
using mirel::host::EditorHostWin;

// Replays an action script on the host (whose every action of a script
// that parses is performed).
void Do(EditorHostWin& host, const char* script) { testsupport::ReplayScript(host, script); }

bool ClassRegistered(HINSTANCE instance) {
  WNDCLASSA wc;
  return GetClassInfoA(instance, IPanelWin::kWindowClass, &wc) != 0;
}

// The value entry, typed into as the user would. The rows of each format run
// in order on one editor, each from the value the row before left: what the
// entry shows as it opens, what its filter keeps, and what the ending sends.
TEST(PanelWin, TextEntryShowsTheValueFiltersLettersAndEndsAsTheKeySays) {
  struct Row {
    const char* reason;
    const char* shown;  // the entry's text as it opens
    const char* typed;
    const char* kept;  // what the entry holds after the typing, where it matters
    int key;
    double value;
    std::vector<Edit> edits;
  };
  ValueFormat db;
  db.digits = 1;
  db.unit = "dB";
  const std::pair<std::optional<ValueFormat>, std::vector<Row>> formats[] = {
      {std::nullopt,
       {{"escape cancels what was typed", "0.0", "7", nullptr, VK_ESCAPE, 0.0, {}},
        {"letters are refused; return commits, clamped to the range", "0.0", "3x5ab", "35", VK_RETURN, 20.0,
         {{'b', 0, 0}, {'p', 0, 1.0}, {'e', 0, 0}}}}},
      {db,
       {{"the value's unit is taken", "0.0 dB", "-7.5 dB", nullptr, VK_RETURN, -7.5,
         {{'b', 0, 0}, {'p', 0, 0.3125}, {'e', 0, 0}}},
        {"a text that does not read changes nothing and tells the host nothing", "-7.5 dB", "loud", nullptr,
         VK_RETURN, -7.5, {}}}},
  };
  for (const auto& [format, rows] : formats) {
    Editor e;
    if (format) e.fx->GetParam(0)->SetValueFormat(*format);
    e.Open();
    const IParamDef& gain = *e.fx->GetParam(0);
    for (const Row& row : rows) {
      SCOPED_TRACE(row.reason);
      e.fx->edits.clear();
      e.fx->promptKnob->PromptValueEntry();
      HWND entry = e.fx->panel->TextEntryWindow();
      ASSERT_NE(entry, nullptr);
      e.host.Pump(100);
      EXPECT_EQ(e.fx->panel->TextEntryState(), IPanelWin::kEntryFocused);
      char text[32] = {};
      GetWindowTextA(entry, text, sizeof text);
      EXPECT_STREQ(text, row.shown);
      EXPECT_EQ(std::string(text), gain.FormatDisplay(gain.Value()));
      e.host.TypeText(row.typed);
      if (row.kept) {
        GetWindowTextA(entry, text, sizeof text);
        EXPECT_STREQ(text, row.kept);
      }
      e.host.Key(row.key);
      e.host.Pump(100);
      EXPECT_EQ(e.fx->panel->TextEntryWindow(), nullptr);
      EXPECT_EQ(gain.Value(), row.value);
      EXPECT_EQ(e.fx->edits, row.edits);
    }
    if (format) {
      EXPECT_EQ(gain.FormatDisplay(gain.Value()), "-7.5 dB");
    }
  }
}

TEST(PanelWin, AGestureEndsWhenAnotherWindowTakesTheMouse) {
  Editor e;
  e.Open();
  e.host.MouseDown(40, 40);
  e.host.MouseMove(40, 30, true);
  SetCapture(e.host.TopWindow());  // say, the host's own drag
  e.host.Drain();
  ASSERT_GE(e.fx->edits.size(), 3u);
  EXPECT_EQ(e.fx->edits.front(), (Edit{'b', 0, 0}));
  EXPECT_EQ(e.fx->edits.back(), (Edit{'e', 0, 0}));
  ReleaseCapture();
  e.host.MouseUp(40, 30);  // the release comes late and ends nothing more
  EXPECT_EQ(e.fx->edits.back(), (Edit{'e', 0, 0}));
  EXPECT_EQ(std::count(e.fx->edits.begin(), e.fx->edits.end(), Edit{'e', 0, 0}), 1);
}

TEST(PanelWin, AGestureEndsWhenTheHostDestroysTheWindowDuringIt) {
  Editor e;
  e.Open();
  e.host.MouseDown(40, 40);
  e.host.MouseMove(40, 30, true);
  DestroyWindow(e.host.PluginWindow());  // no capture change arrives
  ASSERT_GE(e.fx->edits.size(), 2u);
  EXPECT_EQ(e.fx->edits.front(), (Edit{'b', 0, 0}));
  EXPECT_EQ(e.fx->edits.back(), (Edit{'e', 0, 0}));
}

TEST(PanelWin, OpeningShowsAValueTheHostSetWhileClosedBeforeAnyTick) {
  Editor e;
  ASSERT_EQ(e.fx->setParamNormalized(0, 1.0), kResultOk);
  std::string error;
  ASSERT_TRUE(e.host.Open(e.view.get(), error)) << error;
  EXPECT_EQ(e.fx->panel->GetControl(1)->Value(), 1.0);
}

TEST(PanelWin, ClassLivesWhileAnyWindowIsOpenAndReopeningKeepsThePlace) {
  HINSTANCE instance = nullptr;
  {
    Editor a(30), b;
    a.Open();
    EXPECT_EQ(IPanelWin::LastTimerPeriodMs(), 33);
    b.Open();
    EXPECT_EQ(IPanelWin::LastTimerPeriodMs(), 40);
    instance = a.fx->panel->Instance();
    EXPECT_EQ(IPanelWin::OpenWindowCount(), 2);
    a.host.Close();
    EXPECT_TRUE(ClassRegistered(instance));
    EXPECT_EQ(IPanelWin::OpenWindowCount(), 1);

    // Opening again in the same parent keeps the window's place and size.
    HWND parent = b.host.TopWindow();
    SetWindowPos(b.host.PluginWindow(), nullptr, 5, 7, 290, 190, SWP_NOZORDER);
    ASSERT_EQ(b.view->attached(parent, "HWND"), kResultOk);  // again, without removed
    HWND again = b.host.PluginWindow();
    ASSERT_NE(again, nullptr);
    RECT r;
    GetWindowRect(again, &r);
    POINT p{r.left, r.top};
    ScreenToClient(parent, &p);
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 7);
    EXPECT_EQ(r.right - r.left, 290);
    EXPECT_EQ(b.fx->panel->decodes, 0);

    b.host.Close();
    EXPECT_FALSE(ClassRegistered(instance));

    // No parent: nothing opens and the count stays balanced.
    EXPECT_EQ(b.fx->panel->OpenWindow(nullptr), nullptr);
    EXPECT_EQ(IPanelWin::OpenWindowCount(), 0);

    // A host that destroys its window without closing the editor first.
    b.Open();
    DestroyWindow(b.host.TopWindow());
    EXPECT_FALSE(b.fx->panel->WindowIsOpen());
    EXPECT_EQ(IPanelWin::OpenWindowCount(), 0);
    b.fx->panel->CloseWindow();
  }
  EXPECT_FALSE(ClassRegistered(instance));
}

TEST(PanelWin, ResizeForgetsEveryControlTheTimerOrAMessageCouldName) {
  Editor e;
  e.Open();
  e.host.MouseDown(40, 40);  // a gesture holds the knob
  e.fx->promptKnob->PromptValueEntry();
  ASSERT_NE(e.fx->panel->TextEntryWindow(), nullptr);

  e.fx->panel->Resize(400, 260);
  EXPECT_EQ(e.fx->panel->NControls(), 0);
  // The gesture on a deleted knob ended for the host.
  EXPECT_EQ(e.fx->edits, (std::vector<Edit>{{'b', 0, 0}, {'e', 0, 0}}));
  EXPECT_EQ(e.fx->panel->TextEntryWindow(), nullptr);

  // Every path that names a control by index, against an empty list.
  e.fx->PerformEdit(0, 0.9);
  e.host.MouseMove(45, 30, true);
  e.host.MouseUp(45, 30);
  e.host.Wheel(40, 40, 120);
  e.host.DoubleClick(40, 40);
  Do(e.host, "move 41 41");
  e.host.Key('A');
  e.host.Pump(120);
  EXPECT_TRUE(e.fx->panel->WindowIsOpen());
}

TEST(PanelWin, PathsClipboardAndCursor) {
  Editor e;
  e.Open();
  std::string host, module;
  e.fx->panel->GetHostPath(host);
  e.fx->panel->GetModulePath(module);
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
  ASSERT_TRUE(e.fx->panel->GetTextFromClipboard(out));
  EXPECT_EQ(out, "Gr\xc3\xb6\xc3\x9f" "e \xe2\x99\xaa");

  SetCursorPos(50, 60);
  e.fx->panel->HideMouseCursor();
  e.fx->panel->HideMouseCursor();  // once only
  SetCursorPos(200, 210);
  e.fx->panel->ShowMouseCursor();
  POINT p;
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 50);
  EXPECT_EQ(p.y, 60);
  EXPECT_FALSE(e.fx->panel->CursorHidden());
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
  EXPECT_EQ(e.fx->panel->ShowPopupMenu(&menu, PixelRect{10, 10, 50, 30}), &sub);
  EXPECT_EQ(sub.chosenIndex, 1);
  EXPECT_EQ(menu.chosenIndex, -1);

  QueueKeys(window, {VK_UP, VK_RETURN});
  EXPECT_EQ(e.fx->panel->ShowPopupMenu(&menu, PixelRect{10, 10, 50, 30}), &menu);
  EXPECT_EQ(menu.chosenIndex, 2);

  QueueKeys(window, {VK_ESCAPE});
  menu.chosenIndex = -1;
  EXPECT_EQ(e.fx->panel->ShowPopupMenu(&menu, PixelRect{10, 10, 50, 30}), nullptr);
  EXPECT_EQ(menu.chosenIndex, -1);
}

}  // namespace
