#include "gui/win32/Win32Window.h"

#include <mutex>

// After our own headers: windows.h turns some of their names into macros.
#include <windows.h>
#include <commctrl.h>

namespace win32gui {

namespace {

// The process-wide window class bookkeeping: the count of open editor
// windows decides when the class is registered and unregistered.
std::mutex gClassLock;
int gOpenWindows = 0;
int gTimerPeriodMs = 40;

MouseMods ModsFrom(WPARAM wParam) {
  MouseMods m;
  m.left = (wParam & MK_LBUTTON) != 0;
  m.right = (wParam & MK_RBUTTON) != 0;
  m.shift = (wParam & MK_SHIFT) != 0;
  m.control = (wParam & MK_CONTROL) != 0;
  m.alt = GetKeyState(VK_MENU) < 0;
  return m;
}

// The DPI messages, named here for headers that predate them: a top-level
// window moved to a monitor of another DPI, and a child told after its
// parent was.
constexpr UINT kDpiChangedMessage = 0x02E0;
constexpr UINT kDpiChangedAfterParentMessage = 0x02E3;

int XFrom(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
int YFrom(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

COLORREF ColourRef(const ColorArgb& c) {
  return RGB(static_cast<BYTE>(c.r), static_cast<BYTE>(c.g), static_cast<BYTE>(c.b));
}

}  // namespace

int KeyCodeFromVirtualKey(std::uintptr_t vk) {
  if (vk == VK_SPACE) return kKeySpace;
  if (vk == VK_UP) return kKeyUp;
  if (vk == VK_DOWN) return kKeyDown;
  if (vk == VK_LEFT) return kKeyLeft;
  if (vk == VK_RIGHT) return kKeyRight;
  if (vk >= '0' && vk <= '9') return kKeyDigit0 + static_cast<int>(vk - '0');
  if (vk >= 'A' && vk <= 'Z') return kKeyLetterA + static_cast<int>(vk - 'A');
  return -1;
}

// ---- The class, process-wide ---------------------------------------------------------

HINSTANCE Win32Window::ThisModule() {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&Win32Window::ThisModule), &self);
  return self;
}

int Win32Window::OpenCount() {
  std::lock_guard<std::mutex> hold(gClassLock);
  return gOpenWindows;
}

int Win32Window::LastTimerPeriodMs() {
  std::lock_guard<std::mutex> hold(gClassLock);
  return gTimerPeriodMs;
}

void Win32Window::ReleaseClass(HINSTANCE instance) {
  std::lock_guard<std::mutex> hold(gClassLock);
  if (gOpenWindows == 0) UnregisterClassA(kWindowClass, instance);
}

// ---- Life -------------------------------------------------------------------------------

bool Win32Window::Open(HINSTANCE instance, HWND parent, int x, int y, int w, int h, int timerPeriodMs,
                       Win32WindowClient& client) {
  Close();
  instance_ = instance;
  client_ = &client;
  timerPeriodMs_ = timerPeriodMs;
  {
    std::lock_guard<std::mutex> hold(gClassLock);
    if (gOpenWindows++ == 0) {
      // A class left registered by a window its host destroyed is replaced,
      // so the procedure is always this module's.
      UnregisterClassA(kWindowClass, instance);
      WNDCLASSA wc{};
      wc.style = CS_DBLCLKS;
      wc.lpfnWndProc = WindowProc;
      wc.hInstance = instance;
      wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
      wc.lpszClassName = kWindowClass;
      RegisterClassA(&wc);
    }
    gTimerPeriodMs = timerPeriodMs;
  }
  // WM_CREATE stores the handle in window_.
  const HWND made =
      CreateWindowExA(0, kWindowClass, "IEffect", WS_CHILD | WS_VISIBLE, x, y, w, h, parent, nullptr, instance, this);
  if (!made) {
    window_ = nullptr;
    std::lock_guard<std::mutex> hold(gClassLock);
    if (--gOpenWindows == 0) UnregisterClassA(kWindowClass, instance);
    return false;
  }
  return true;
}

void Win32Window::Close() {
  if (!window_) return;
  // The entry is a child of the window: it goes first.
  entry_.Close();
  if (tooltip_) DestroyWindow(tooltip_);
  tooltip_ = nullptr;
  tooltipShowing_ = false;
  EndGesture();
  DestroyWindow(window_);  // WM_NCDESTROY gives the window's slot back
  window_ = nullptr;
  ReleaseClass(instance_);
}

void Win32Window::GetPlace(HWND parent, int& x, int& y, int& w, int& h) const {
  if (!window_) return;
  RECT r;
  GetWindowRect(window_, &r);
  POINT topLeft{r.left, r.top};
  if (parent) ScreenToClient(parent, &topLeft);
  x = topLeft.x;
  y = topLeft.y;
  w = r.right - r.left;
  h = r.bottom - r.top;
}

void Win32Window::OnCreate(HWND hwnd) {
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  window_ = hwnd;
  SetTimer(hwnd, kTimerId, static_cast<UINT>(timerPeriodMs_), nullptr);
  SetFocus(hwnd);
}

void Win32Window::OnNcDestroy() {
  // Closed, or destroyed with the host's window: the children went with it.
  window_ = nullptr;
  entry_.Forget();
  tooltip_ = nullptr;
  tooltipShowing_ = false;
  captured_ = false;
  if (client_) client_->OnDestroyed();
}

// ---- Drawing ----------------------------------------------------------------------------

bool Win32Window::Put(HDC source, const PixelRect& area, int toX, int toY, const PixelRect* fills, int nFills,
                      const ColorArgb& fillColour) {
  if (!window_) return false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  if (dc && nFills > 0) {
    SetDCBrushColor(dc, ColourRef(fillColour));
    const HBRUSH brush = static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
    for (int i = 0; i < nFills; ++i) {
      const RECT r{fills[i].left, fills[i].top, fills[i].right, fills[i].bottom};
      FillRect(dc, &r, brush);
    }
  }
  if (dc && source && area.W() > 0 && area.H() > 0) {
    BitBlt(dc, toX, toY, area.W(), area.H(), source, area.left, area.top, SRCCOPY);
  }
  EndPaint(window_, &ps);
  return true;
}

void Win32Window::Grow(int dw, int dh, bool alsoParents, int width, int height) {
  if (!window_) return;
  auto grow = [&](HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    SetWindowPos(w, nullptr, 0, 0, r.right - r.left + dw, r.bottom - r.top + dh,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  };
  grow(window_);
  const LONG_PTR style = GetWindowLongPtrA(window_, GWL_STYLE);
  const LONG_PTR exStyle = GetWindowLongPtrA(window_, GWL_EXSTYLE);
  if (alsoParents && (style & WS_CHILD) && !(exStyle & WS_EX_MDICHILD)) {
    if (HWND parent = GetParent(window_)) {
      grow(parent);
      if (GetWindowLongPtrA(parent, GWL_STYLE) & WS_CHILD) {
        if (HWND grandparent = GetParent(parent)) grow(grandparent);
      }
    }
  }
  RECT all{0, 0, width, height};
  InvalidateRect(window_, &all, FALSE);
}

void Win32Window::InvalidateAll() {
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

// ---- Gesture, tooltip, entry -----------------------------------------------------------------

void Win32Window::EndGesture() {
  if (!captured_) return;
  captured_ = false;
  if (window_ && GetCapture() == window_) ReleaseCapture();
  if (!window_) return;
  int x = 0, y = 0;
  CursorInClient(x, y);
  client_->OnCaptureLost(x, y);
}

bool Win32Window::SetUpTooltips() {
  if (!window_) return false;
  INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
  bool ok = InitCommonControlsEx(&icc) != FALSE;
  if (ok) {
    tooltip_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance_, nullptr);
    ok = tooltip_ != nullptr;
  }
  if (ok) {
    SetWindowPos(tooltip_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(window_);
    tool.lpszText = const_cast<char*>("");
    ok = SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
  }
  if (!ok) {
    if (tooltip_) DestroyWindow(tooltip_);
    tooltip_ = nullptr;
  }
  return ok;
}

void Win32Window::HideTooltip() {
  if (tooltipShowing_ && tooltip_) SendMessageA(tooltip_, TTM_POP, 0, 0);
  tooltipShowing_ = false;
}

bool Win32Window::OpenEntry(const EntryRequest& request) {
  if (!window_ || entry_.IsOpen()) return false;
  return entry_.Open(window_, instance_, request, reinterpret_cast<LONG_PTR>(&Win32Window::EntryProc));
}

// ---- Window procedures ----------------------------------------------------------------------

LRESULT CALLBACK Win32Window::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams)->OnCreate(hwnd);
    return 0;
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCDESTROY && self) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    {
      std::lock_guard<std::mutex> hold(gClassLock);
      --gOpenWindows;
    }
    if (self->window_ == hwnd) self->OnNcDestroy();
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  if (!self || hwnd != self->window_) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return self->HandleMessage(msg, wParam, lParam);
}

LRESULT CALLBACK Win32Window::EntryProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(GetParent(hwnd), GWLP_USERDATA));
  if (!self || self->entry_.Window() != hwnd || !self->entry_.Subclassed()) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  self->HideTooltip();
  return self->entry_.HandleMessage(hwnd, msg, wParam, lParam);
}

LRESULT Win32Window::Default(UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window_, msg, wParam, lParam);
}

LRESULT Win32Window::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  // A move to a monitor of another DPI counts whatever the entry does. A
  // child keeps its place: the host sizes the window around it.
  if (msg == kDpiChangedMessage || msg == kDpiChangedAfterParentMessage) {
    client_->OnDpiChanged(msg == kDpiChangedMessage ? LOWORD(wParam) : 0);
    return 0;
  }
  // While the entry has the focus the editor only listens for button presses
  // (which cancel the entry); it neither repaints nor scans for dirty controls.
  if (entry_.IsOpen() && entry_.GetState() == Win32TextEntry::kFocused) {
    if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) {
      entry_.SetState(Win32TextEntry::kCancel);
      return 0;
    }
    return Default(msg, wParam, lParam);
  }
  switch (msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      return 0;
    case WM_PAINT:
      return OnPaintMessage();
    case WM_CLOSE:
      Close();
      return 0;
    case WM_KEYDOWN:
      OnKeyDown(msg, wParam, lParam);
      return 0;
    case WM_KEYUP:
      return PassKeyOn(msg, wParam, lParam);
    case WM_TIMER:
      if (wParam != kTimerId) return Default(msg, wParam, lParam);
      OnTimerMessage();
      return 0;
    case WM_CTLCOLOREDIT:
      return OnEntryColours(wParam);
    case WM_MOUSEMOVE:
      OnMouseMove(wParam, lParam);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      OnButtonDownMessage(wParam, lParam);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      OnButtonUpMessage(wParam, lParam);
      return 0;
    case WM_CAPTURECHANGED:
      OnCaptureChanged(lParam);
      return 0;
    case WM_LBUTTONDBLCLK:
      OnDoubleClickMessage(wParam, lParam);
      return 0;
    case WM_MOUSEWHEEL:
      OnWheelMessage(wParam, lParam);
      return 0;
    case WM_MOUSEHOVER:
      OnHoverMessage();
      return 0;
    case WM_MOUSELEAVE:
      OnLeaveMessage();
      return 0;
    default:
      return Default(msg, wParam, lParam);
  }
}

// ---- Message handlers ----------------------------------------------------------------------------

LRESULT Win32Window::OnPaintMessage() {
  RECT r;
  if (GetUpdateRect(window_, &r, FALSE)) client_->OnPaint(PixelRect{r.left, r.top, r.right, r.bottom});
  // A client that paints nothing still has the region validated, or the
  // paint message would come back forever. (The client may have closed the
  // window meanwhile.)
  if (window_) ValidateRect(window_, nullptr);
  return 0;
}

void Win32Window::OnTimerMessage() {
  if (entry_.IsOpen() && entry_.GetState() != Win32TextEntry::kIdle) {
    const Win32TextEntry::State state = entry_.GetState();
    if (state == Win32TextEntry::kCancel) {
      entry_.Close();
      client_->OnEntryEnded(nullptr);
    } else if (state == Win32TextEntry::kCommit) {
      const std::string text = entry_.Text();
      // The entry goes first: what the committed value does may not meet it.
      entry_.Close();
      client_->OnEntryEnded(text.c_str());
    } else {
      entry_.SetState(Win32TextEntry::kIdle);
    }
    return;
  }
  const PixelRect dirty = client_->OnTimer();
  if (dirty.IsEmpty() || !window_) return;
  RECT r{dirty.left, dirty.top, dirty.right, dirty.bottom};
  InvalidateRect(window_, &r, FALSE);
  if (entry_.IsOpen()) {
    const PixelRect& c = entry_.KeepClear();
    RECT keep{c.left, c.top, c.right, c.bottom};
    ValidateRect(window_, &keep);
    entry_.SetState(Win32TextEntry::kProtected);
  }
  UpdateWindow(window_);
}

LRESULT Win32Window::OnEntryColours(WPARAM wParam) {
  if (!entry_.IsOpen()) return 0;
  HDC dc = reinterpret_cast<HDC>(wParam);
  SetBkColor(dc, ColourRef(entry_.Background()));
  SetTextColor(dc, ColourRef(entry_.Foreground()));
  SetBkMode(dc, OPAQUE);
  SetDCBrushColor(dc, ColourRef(entry_.Background()));
  return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
}

void Win32Window::OnMouseMove(WPARAM wParam, LPARAM lParam) {
  const int x = XFrom(lParam), y = YFrom(lParam);
  const MouseMods mods = ModsFrom(wParam);
  if (wParam & (MK_LBUTTON | MK_RBUTTON)) {
    if (GetCapture() == window_ && !entry_.IsOpen()) client_->OnDrag(x, y, mods);
    return;
  }
  const HoverWatch watch = client_->OnHover(x, y, mods);
  if (watch == HoverWatch::kNone || !window_) return;
  TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window_, HOVER_DEFAULT};
  if (watch == HoverWatch::kLeaveAndRest) track.dwFlags |= TME_HOVER;
  TrackMouseEvent(&track);
}

void Win32Window::OnButtonDownMessage(WPARAM wParam, LPARAM lParam) {
  HideTooltip();
  if (entry_.IsOpen()) {
    entry_.SetState(Win32TextEntry::kCommit);
    return;
  }
  // A second button pressed during a drag starts anew; the drag ends first.
  EndGesture();
  if (!window_) return;
  SetFocus(window_);
  SetCapture(window_);
  captured_ = true;
  client_->OnButtonDown(XFrom(lParam), YFrom(lParam), ModsFrom(wParam));
}

void Win32Window::OnButtonUpMessage(WPARAM wParam, LPARAM lParam) {
  captured_ = false;
  if (GetCapture() == window_) ReleaseCapture();
  // The client ends the gesture a press began; a release no press in this
  // window began (after a double-click, a right-click that opened the host's
  // menu, a drag from elsewhere) is passed on all the same.
  client_->OnButtonUp(XFrom(lParam), YFrom(lParam), ModsFrom(wParam));
}

void Win32Window::OnCaptureChanged(LPARAM lParam) {
  // Another window took the mouse in the middle of a gesture (a host's
  // dialog, a menu).
  if (reinterpret_cast<HWND>(lParam) != window_) EndGesture();
}

void Win32Window::OnDoubleClickMessage(WPARAM wParam, LPARAM lParam) {
  if (client_->OnDoubleClick(XFrom(lParam), YFrom(lParam), ModsFrom(wParam)) && window_) {
    SetCapture(window_);
    captured_ = true;  // taken as a click: the release ends it
  }
}

void Win32Window::OnWheelMessage(WPARAM wParam, LPARAM lParam) {
  if (entry_.IsOpen()) {
    entry_.SetState(Win32TextEntry::kCancel);
    return;
  }
  // The wheel's position is in screen pixels.
  RECT r;
  GetWindowRect(window_, &r);
  const int x = XFrom(lParam) - r.left, y = YFrom(lParam) - r.top;
  client_->OnWheel(x, y, ModsFrom(GET_KEYSTATE_WPARAM(wParam)), static_cast<short>(HIWORD(wParam)));
}

void Win32Window::OnHoverMessage() {
  if (!tooltip_) return;
  const std::string text = client_->TooltipText();
  TTTOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(window_);
  tool.lpszText = const_cast<char*>(text.c_str());
  SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
  tooltipShowing_ = true;
}

void Win32Window::OnLeaveMessage() {
  HideTooltip();
  client_->OnLeave();
}

void Win32Window::CursorInClient(int& x, int& y) const {
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(window_, &p);
  x = p.x;
  y = p.y;
}

LRESULT Win32Window::PassKeyOn(UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND root = GetAncestor(window_, GA_ROOT);
  if (root && root != window_) SendMessageA(root, msg, wParam, lParam);
  return Default(msg, wParam, lParam);
}

void Win32Window::OnKeyDown(UINT msg, WPARAM wParam, LPARAM lParam) {
  const int key = KeyCodeFromVirtualKey(wParam);
  if (key >= 0) {
    int x = 0, y = 0;
    CursorInClient(x, y);
    if (client_->OnKey(x, y, key)) return;
  }
  if (window_) PassKeyOn(msg, wParam, lParam);
}

}  // namespace win32gui
