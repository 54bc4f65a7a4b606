// The Windows editor host against a view of its own making: the host's
// window, frame, read-back and input must be right before they judge a
// plug-in's editor.

#include <gtest/gtest.h>

#include <vector>

#include "EditorHostWin.h"

namespace mirel::host {
namespace {

using namespace Steinberg;

struct Seen {
  UINT message;
  WPARAM wParam;
  int x;
  int y;
};
std::vector<Seen> gSeen;

LRESULT CALLBACK FakeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT left{0, 0, 120, 80}, right{120, 0, 240, 80};
      HBRUSH red = CreateSolidBrush(RGB(200, 10, 20)), blue = CreateSolidBrush(RGB(5, 30, 240));
      FillRect(dc, &left, red);
      FillRect(dc, &right, blue);
      DeleteObject(red);
      DeleteObject(blue);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_RBUTTONDOWN: case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE: case WM_MOUSEWHEEL: case WM_KEYDOWN: case WM_CHAR:
      gSeen.push_back({msg, wParam, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

class FakeView : public HostObject<IPlugView> {
 public:
  tresult PLUGIN_API isPlatformTypeSupported(FIDString type) override {
    return std::string(type) == kPlatformTypeHWND ? kResultOk : kResultFalse;
  }
  tresult PLUGIN_API attached(void* parent, FIDString) override {
    WNDCLASSA wc{};
    wc.lpfnWndProc = FakeProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "FakeViewWnd";
    RegisterClassA(&wc);
    child = CreateWindowExA(0, "FakeViewWnd", "", WS_CHILD | WS_VISIBLE, 0, 0, 240, 80,
                            static_cast<HWND>(parent), nullptr, wc.hInstance, nullptr);
    return child ? kResultOk : kResultFalse;
  }
  tresult PLUGIN_API removed() override {
    DestroyWindow(child);
    child = nullptr;
    return kResultOk;
  }
  tresult PLUGIN_API onWheel(float) override { return kResultFalse; }
  tresult PLUGIN_API onKeyDown(char16, int16, int16) override { return kResultFalse; }
  tresult PLUGIN_API onKeyUp(char16, int16, int16) override { return kResultFalse; }
  tresult PLUGIN_API getSize(ViewRect* r) override {
    *r = ViewRect(0, 0, 240, 80);
    return kResultOk;
  }
  tresult PLUGIN_API onSize(ViewRect* r) override {
    sized.push_back(*r);
    return kResultOk;
  }
  tresult PLUGIN_API onFocus(TBool) override { return kResultFalse; }
  tresult PLUGIN_API setFrame(IPlugFrame* f) override {
    frame = f;
    return kResultOk;
  }
  tresult PLUGIN_API canResize() override { return kResultFalse; }
  tresult PLUGIN_API checkSizeConstraint(ViewRect*) override { return kResultFalse; }

  HWND child = nullptr;
  IPlugFrame* frame = nullptr;
  std::vector<ViewRect> sized;
};

TEST(EditorHostWin, OpensCapturesDeliversInputAndHonoursResize) {
  auto view = MakeHostObject<FakeView>();
  EditorHostWin host;
  std::string error;
  ASSERT_TRUE(host.Open(view.get(), error)) << error;
  ASSERT_EQ(host.PluginWindow(), view->child);
  RECT client;
  GetClientRect(host.TopWindow(), &client);
  EXPECT_EQ(client.right, 240);
  EXPECT_EQ(client.bottom, 80);

  host.Pump(50);
  EditorImage image;
  ASSERT_TRUE(host.Capture(image));
  ASSERT_EQ(image.width, 240);
  ASSERT_EQ(image.height, 80);
  EXPECT_EQ(image.At(10, 10), 0xFFC80A14u);
  EXPECT_EQ(image.At(200, 70), 0xFF051EF0u);

  std::vector<EditorAction> actions;
  ASSERT_TRUE(ParseEditorActions("drag 20 30 0 -10; wheel 5 6 -2; rclick 7 8; dclick 9 9; type 4.", actions, error))
      << error;
  gSeen.clear();
  for (const auto& a : actions) ASSERT_TRUE(host.Perform(a));
  std::vector<UINT> kinds;
  for (const auto& s : gSeen) {
    if (s.message != WM_MOUSEMOVE || s.wParam == MK_LBUTTON) kinds.push_back(s.message);
  }
  const std::vector<UINT> expected = {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_MOUSEMOVE, WM_MOUSEMOVE, WM_MOUSEMOVE,
                                      WM_MOUSEMOVE, WM_MOUSEMOVE, WM_MOUSEMOVE, WM_MOUSEMOVE, WM_MOUSEMOVE,
                                      WM_MOUSEMOVE, WM_LBUTTONUP, WM_MOUSEWHEEL, WM_RBUTTONDOWN,
                                      WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_CHAR, WM_CHAR};
  EXPECT_EQ(kinds, expected);
  for (const auto& s : gSeen) {
    if (s.message == WM_LBUTTONUP && s.x == 20) {
      EXPECT_EQ(s.y, 20);  // the drag's end
    }
    if (s.message == WM_MOUSEWHEEL) {
      POINT p{s.x, s.y};
      ScreenToClient(view->child, &p);  // the wheel message speaks screen coordinates
      EXPECT_EQ(p.x, 5);
      EXPECT_EQ(p.y, 6);
      EXPECT_EQ(static_cast<short>(HIWORD(s.wParam)), -240);
    }
  }

  ASSERT_NE(view->frame, nullptr);
  ViewRect bigger(0, 0, 300, 120);
  EXPECT_EQ(view->frame->resizeView(view.get(), &bigger), kResultOk);
  GetClientRect(host.TopWindow(), &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 120);
  ASSERT_EQ(view->sized.size(), 1u);
  EXPECT_EQ(view->sized[0].getWidth(), 300);
  ASSERT_EQ(host.Frame()->Requests().size(), 1u);

  host.Close();
  EXPECT_EQ(view->child, nullptr);
  EXPECT_EQ(view->frame, nullptr);
  EXPECT_EQ(view->RefCount(), 1u);
}

TEST(EditorActions, RejectsMalformedScripts) {
  std::vector<EditorAction> actions;
  std::string error;
  for (const char* bad : {"click 1", "drag 1 2 3", "wheel a b c", "key f13", "wait -1", "fly 1 2", "click 1 2 3"}) {
    EXPECT_FALSE(ParseEditorActions(bad, actions, error)) << bad;
  }
  ASSERT_TRUE(ParseEditorActions("# comment\nkey enter\n\nwait 40;key a", actions, error)) << error;
  ASSERT_EQ(actions.size(), 3u);
  EXPECT_EQ(actions[1].amount, 40);
  EXPECT_EQ(VirtualKeyFromName("a"), 'A');
}

}  // namespace
}  // namespace mirel::host
