#include "host/win32/EditorHostWin.h"

#include <algorithm>
#include <cstring>

namespace mirel::host {

using namespace Steinberg;

namespace {

constexpr const char* kHostClass = "MirelEditorHostWnd";
constexpr DWORD kHostStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// A queue that keeps producing messages (a window that never validates its
// paint region) must not hang the host.
constexpr int kMaxMessagesPerDrain = 100000;

LRESULT CALLBACK HostWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE) {
    // The owner detaches the view before the window goes; only note the wish.
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 1);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool RegisterHostClass() {
  WNDCLASSA existing;
  if (GetClassInfoA(GetModuleHandleA(nullptr), kHostClass, &existing)) return true;
  WNDCLASSA wc{};
  wc.lpfnWndProc = HostWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kHostClass;
  return RegisterClassA(&wc) != 0;
}

// Outer window size for a client area of w by h.
SIZE OuterSize(HWND window, int w, int h) {
  RECT r{0, 0, w, h};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)));
  return SIZE{r.right - r.left, r.bottom - r.top};
}

LPARAM Point(int x, int y) {
  return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

}  // namespace

tresult PLUGIN_API PlugFrameWin::resizeView(IPlugView* view, ViewRect* newSize) {
  if (!view || !newSize) return kInvalidArgument;
  requests_.push_back(*newSize);
  if (window_) {
    const SIZE outer = OuterSize(window_, newSize->getWidth(), newSize->getHeight());
    SetWindowPos(window_, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return view->onSize(newSize);
}

int VirtualKeyFromName(const std::string& name) {
  if (name.size() == 1) {
    const char c = name[0];
    if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
    return 0;
  }
  static const struct {
    const char* name;
    int key;
  } kNamed[] = {{"space", VK_SPACE}, {"up", VK_UP},         {"down", VK_DOWN},
                {"left", VK_LEFT},   {"right", VK_RIGHT},   {"enter", VK_RETURN},
                {"escape", VK_ESCAPE}, {"tab", VK_TAB},     {"backspace", VK_BACK}};
  for (const auto& k : kNamed) {
    if (name == k.name) return k.key;
  }
  return 0;
}

EditorHostWin::EditorHostWin() = default;

EditorHostWin::~EditorHostWin() { Close(); }

bool EditorHostWin::Open(IPlugView* view, std::string& error) {
  Close();
  if (!view) {
    error = "no view";
    return false;
  }
  if (!RegisterHostClass()) {
    error = "cannot register the host window class";
    return false;
  }
  top_ = CreateWindowExA(0, kHostClass, "Mirel", kHostStyle, 0, 0, 200, 100, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
  if (!top_) {
    error = "cannot create the host window";
    return false;
  }
  frame_ = MakeHostObject<PlugFrameWin>(top_);
  view->setFrame(frame_.get());
  auto fail = [&](const std::string& why) {
    view->setFrame(nullptr);
    frame_->Detach();
    frame_ = nullptr;
    DestroyWindow(top_);
    top_ = nullptr;
    error = why;
    return false;
  };
  if (view->isPlatformTypeSupported(kPlatformTypeHWND) != kResultOk) return fail("the view does not support HWND");
  ViewRect size{};
  if (view->getSize(&size) != kResultOk || size.getWidth() <= 0 || size.getHeight() <= 0) {
    return fail("the view reports no size");
  }
  size_ = size;
  const SIZE outer = OuterSize(top_, size.getWidth(), size.getHeight());
  SetWindowPos(top_, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(top_, SW_SHOWNORMAL);
  UpdateWindow(top_);
  if (view->attached(top_, kPlatformTypeHWND) != kResultOk) return fail("the view refused to attach");
  view_ = view;
  Drain();
  return true;
}

void EditorHostWin::Close() {
  if (view_) {
    view_->removed();
    view_->setFrame(nullptr);
    view_ = nullptr;
  }
  if (frame_) {
    frame_->Detach();
    frame_ = nullptr;
  }
  if (top_) {
    DestroyWindow(top_);
    top_ = nullptr;
    Drain();
  }
}

bool EditorHostWin::CloseRequested() const {
  return top_ && GetWindowLongPtrA(top_, GWLP_USERDATA) != 0;
}

void EditorHostWin::Drain() {
  MSG msg;
  for (int n = 0; n < kMaxMessagesPerDrain && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void EditorHostWin::Pump(int milliseconds) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(std::max(0, milliseconds));
  for (;;) {
    Drain();
    const ULONGLONG now = GetTickCount64();
    if (now >= end) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
  }
}

HWND EditorHostWin::PluginWindow() const { return top_ ? GetWindow(top_, GW_CHILD) : nullptr; }

bool EditorHostWin::Capture(EditorImage& out) const { return CaptureWindow(PluginWindow(), out); }

bool CaptureWindow(HWND window, EditorImage& out) {
  if (!window) return false;
  RECT client;
  GetClientRect(window, &client);
  const int w = client.right - client.left;
  const int h = client.bottom - client.top;
  if (w <= 0 || h <= 0) return false;
  HDC source = GetDC(window);
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (section && bits) {
    HGDIOBJ previous = SelectObject(memory, section);
    ok = BitBlt(memory, 0, 0, w, h, source, 0, 0, SRCCOPY) != 0;
    GdiFlush();
    if (ok) {
      out.width = w;
      out.height = h;
      out.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
      std::memcpy(out.pixels.data(), bits, out.pixels.size() * sizeof(std::uint32_t));
      // The screen has no alpha; what it shows is opaque.
      for (auto& p : out.pixels) p |= 0xFF000000u;
    }
    SelectObject(memory, previous);
  }
  if (section) DeleteObject(section);
  DeleteDC(memory);
  ReleaseDC(window, source);
  return ok;
}

void EditorHostWin::Post(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!target) return;
  PostMessageA(target, message, wParam, lParam);
  Drain();
}

void EditorHostWin::MouseDown(int x, int y, bool right) {
  Post(PluginWindow(), right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, Point(x, y));
}

void EditorHostWin::MouseMove(int x, int y, bool leftHeld) {
  Post(PluginWindow(), WM_MOUSEMOVE, leftHeld ? MK_LBUTTON : 0, Point(x, y));
}

void EditorHostWin::MouseUp(int x, int y, bool right) {
  Post(PluginWindow(), right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, Point(x, y));
}

void EditorHostWin::DoubleClick(int x, int y) {
  MouseDown(x, y);
  MouseUp(x, y);
  Post(PluginWindow(), WM_LBUTTONDBLCLK, MK_LBUTTON, Point(x, y));
  MouseUp(x, y);
}

void EditorHostWin::Wheel(int x, int y, int units) {
  HWND window = PluginWindow();
  if (!window) return;
  POINT p{x, y};
  ClientToScreen(window, &p);  // the wheel message carries screen coordinates
  Post(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(units))), Point(p.x, p.y));
}

HWND EditorHostWin::KeyTarget() const {
  HWND window = PluginWindow();
  HWND focus = GetFocus();
  if (focus && window && (focus == window || IsChild(window, focus))) return focus;
  return window;
}

void EditorHostWin::Key(int virtualKey) {
  if (virtualKey == 0) return;
  const UINT scan = MapVirtualKeyA(static_cast<UINT>(virtualKey), 0 /* MAPVK_VK_TO_VSC */);
  const LPARAM down = static_cast<LPARAM>(1 | (scan << 16));
  Post(KeyTarget(), WM_KEYDOWN, static_cast<WPARAM>(virtualKey), down);
  Post(KeyTarget(), WM_KEYUP, static_cast<WPARAM>(virtualKey), down | static_cast<LPARAM>(0xC0000000u));
}

void EditorHostWin::TypeText(const std::string& text) {
  for (const char c : text) Post(KeyTarget(), WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), 1);
}

bool EditorHostWin::Perform(const EditorAction& a) {
  HWND window = PluginWindow();
  auto placeCursor = [&](int x, int y) {
    if (!window) return;
    POINT p{x, y};
    ClientToScreen(window, &p);
    SetCursorPos(p.x, p.y);
  };
  switch (a.kind) {
    case EditorAction::Kind::kClick:
    case EditorAction::Kind::kRightClick: {
      const bool right = a.kind == EditorAction::Kind::kRightClick;
      placeCursor(a.x, a.y);
      MouseDown(a.x, a.y, right);
      MouseUp(a.x, a.y, right);
      return true;
    }
    case EditorAction::Kind::kDoubleClick:
      placeCursor(a.x, a.y);
      DoubleClick(a.x, a.y);
      return true;
    case EditorAction::Kind::kDrag: {
      placeCursor(a.x, a.y);
      MouseDown(a.x, a.y);
      const int steps = std::clamp(std::max(std::abs(a.dx), std::abs(a.dy)), 1, 10);
      for (int i = 1; i <= steps; ++i) MouseMove(a.x + a.dx * i / steps, a.y + a.dy * i / steps, true);
      MouseUp(a.x + a.dx, a.y + a.dy);
      return true;
    }
    case EditorAction::Kind::kWheel:
      placeCursor(a.x, a.y);
      Wheel(a.x, a.y, a.amount * WHEEL_DELTA);
      return true;
    case EditorAction::Kind::kMove:
      placeCursor(a.x, a.y);
      MouseMove(a.x, a.y, false);
      return true;
    case EditorAction::Kind::kKey: {
      const int vk = VirtualKeyFromName(a.text);
      if (vk == 0) return false;
      Key(vk);
      return true;
    }
    case EditorAction::Kind::kType:
      TypeText(a.text);
      return true;
    case EditorAction::Kind::kWait:
      Pump(a.amount);
      return true;
  }
  return false;
}

}  // namespace mirel::host
