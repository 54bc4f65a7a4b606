#include "gui/win32/IPanelWin.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "IParamDef.h"
#include "raster/RAS_Bitmap.h"
#include "raster/RAS_Png.h"

// After our own headers: windows.h turns some of their names into macros.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
#include <shellapi.h>
#include <wininet.h>

namespace {

// The process-wide window class bookkeeping: the count of open editor
// windows decides when the class is registered and unregistered.
std::mutex gClassLock;
int gOpenWindows = 0;
int gTimerPeriodMs = 40;

constexpr int kEntryChildId = 99;
constexpr LONG_PTR kEntryMark = 0xdeadf00b;
constexpr int kEntryTextMax = 31;

int PeriodFor(int frameRate) { return frameRate > 0 ? static_cast<int>(1000 / frameRate) : 40; }

HINSTANCE ThisModule() {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ThisModule), &self);
  return self;
}

MouseMods ModsFrom(WPARAM wParam) {
  MouseMods m;
  m.left = (wParam & MK_LBUTTON) != 0;
  m.right = (wParam & MK_RBUTTON) != 0;
  m.shift = (wParam & MK_SHIFT) != 0;
  m.control = (wParam & MK_CONTROL) != 0;
  m.alt = GetKeyState(VK_MENU) < 0;
  return m;
}

int XFrom(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
int YFrom(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

COLORREF ColourRef(const ColorArgb& c) {
  return RGB(static_cast<BYTE>(c.r), static_cast<BYTE>(c.g), static_cast<BYTE>(c.b));
}

// The directory part of a path with its trailing backslash; empty when the
// path has no backslash or ends in one.
void DirectoryOf(const char* path, std::string& out) {
  out.clear();
  const char* slash = std::strrchr(path, '\\');
  if (!slash || slash[1] == '\0') return;
  out.assign(path, static_cast<std::size_t>(slash - path + 1));
}

// The editor's key code for a virtual key; -1 when the key is not one the
// controls take.
int KeyCodeFor(WPARAM vk) {
  if (vk == VK_SPACE) return kKeySpace;
  if (vk == VK_UP) return kKeyUp;
  if (vk == VK_DOWN) return kKeyDown;
  if (vk == VK_LEFT) return kKeyLeft;
  if (vk == VK_RIGHT) return kKeyRight;
  if (vk >= '0' && vk <= '9') return kKeyDigit0 + static_cast<int>(vk - '0');
  if (vk >= 'A' && vk <= 'Z') return kKeyLetterA + static_cast<int>(vk - 'A');
  return -1;
}

// Menu ids: every menu of the tree takes a contiguous run, the top menu
// first, then its submenus depth-first.
struct MenuRange {
  IPopupMenu* menu;
  int firstId;
};

void AssignMenuIds(IPopupMenu& menu, int& next, std::vector<MenuRange>& ranges) {
  ranges.push_back({&menu, next});
  next += static_cast<int>(menu.items.size());
  for (auto& item : menu.items) {
    if (item.submenu) AssignMenuIds(*item.submenu, next, ranges);
  }
}

HMENU BuildNativeMenu(IPopupMenu& menu, const std::vector<MenuRange>& ranges) {
  int first = 0;
  for (const auto& r : ranges) {
    if (r.menu == &menu) first = r.firstId;
  }
  HMENU native = CreatePopupMenu();
  if (!native) return nullptr;
  for (int i = 0; i < static_cast<int>(menu.items.size()); ++i) {
    const IPopupMenu::Item& item = menu.items[static_cast<std::size_t>(i)];
    if (item.flags & IPopupMenu::kSeparator) {
      AppendMenuA(native, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING;
    if (item.flags & IPopupMenu::kGrayed) flags |= MF_GRAYED;
    if (item.flags & IPopupMenu::kDisabled) flags |= MF_DISABLED;
    if (item.flags & IPopupMenu::kChecked) flags |= MF_CHECKED;
    const std::string label = menu.ItemLabel(i);
    if (item.submenu) {
      HMENU sub = BuildNativeMenu(*item.submenu, ranges);
      if (sub) AppendMenuA(native, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), label.c_str());
    } else {
      AppendMenuA(native, flags, static_cast<UINT_PTR>(first + i), label.c_str());
    }
  }
  return native;
}

UINT_PTR CALLBACK ColourHook(HWND dialog, UINT msg, WPARAM, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    const auto* cc = reinterpret_cast<const CHOOSECOLORA*>(lParam);
    if (cc && cc->lCustData) SetWindowTextA(dialog, reinterpret_cast<const char*>(cc->lCustData));
  }
  return 0;
}

struct OwnerSearch {
  DWORD process;
  const char* className;
  HWND found;
};

BOOL CALLBACK FindOwner(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<OwnerSearch*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->process) return TRUE;
  char name[128] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::strcmp(name, search->className) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

IPanelWin::IPanelWin(IEditPort* port, int width, int height, int frameRate)
    : IPanel(port, width, height, frameRate) {}

IPanelWin::~IPanelWin() {
  CloseWindow();
  // A window destroyed with its host's window left the class registered.
  std::lock_guard<std::mutex> hold(gClassLock);
  if (gOpenWindows == 0) UnregisterClassA(kWindowClass, Instance());
}

HINSTANCE IPanelWin::Instance() const { return instance_ ? instance_ : ThisModule(); }

int IPanelWin::OpenWindowCount() {
  std::lock_guard<std::mutex> hold(gClassLock);
  return gOpenWindows;
}

int IPanelWin::LastTimerPeriodMs() {
  std::lock_guard<std::mutex> hold(gClassLock);
  return gTimerPeriodMs;
}

// ---- Window life ---------------------------------------------------------------------

NativeWindow IPanelWin::OpenWindow(NativeWindow parent) {
  int x = 0, y = 0, w = Width(), h = Height();
  if (window_) {
    RECT r;
    GetWindowRect(window_, &r);
    POINT topLeft{r.left, r.top};
    if (parent) ScreenToClient(static_cast<HWND>(parent), &topLeft);
    x = topLeft.x;
    y = topLeft.y;
    w = r.right - r.left;
    h = r.bottom - r.top;
    CloseWindow();
  }
  parent_ = static_cast<HWND>(parent);
  // A child window needs a parent; without one nothing opens.
  if (!parent_ || !IsWindow(parent_)) return nullptr;

  const HINSTANCE instance = Instance();
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
    gTimerPeriodMs = PeriodFor(FrameRate());
  }
  window_ = CreateWindowExA(0, kWindowClass, "IEffect", WS_CHILD | WS_VISIBLE, x, y, w, h, parent_, nullptr,
                            instance, this);
  if (!window_) {
    std::lock_guard<std::mutex> hold(gClassLock);
    if (--gOpenWindows == 0) UnregisterClassA(kWindowClass, instance);
    return nullptr;
  }
  SetAllControlsDirty();
  if (ShowTooltips()) SetUpTooltips();
  return window_;
}

void IPanelWin::SetUpTooltips() {
  INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
  bool ok = InitCommonControlsEx(&icc) != FALSE;
  if (ok) {
    tooltip_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, Instance(), nullptr);
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
    SetShowTooltips(false);
  }
}

void IPanelWin::CloseWindow() {
  if (!window_) return;
  // The entry is a child of the window and names a control: end it first.
  if (entry_) DestroyTextEntry();
  if (tooltip_) DestroyWindow(tooltip_);
  tooltip_ = nullptr;
  tooltipShowing_ = false;
  tooltipControl_ = -1;
  EndGesture();
  HWND closing = window_;
  DestroyWindow(closing);  // WM_NCDESTROY gives the window's slot back
  window_ = nullptr;
  std::lock_guard<std::mutex> hold(gClassLock);
  if (gOpenWindows == 0) UnregisterClassA(kWindowClass, Instance());
}

// ---- Window procedure ------------------------------------------------------------------

LRESULT CALLBACK IPanelWin::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* self = static_cast<IPanelWin*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = hwnd;
    SetTimer(hwnd, kTimerId, static_cast<UINT>(LastTimerPeriodMs()), nullptr);
    SetFocus(hwnd);
    return 0;
  }
  auto* self = reinterpret_cast<IPanelWin*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCDESTROY && self) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    {
      std::lock_guard<std::mutex> hold(gClassLock);
      --gOpenWindows;
    }
    // Destroyed with the host's window: the object forgets it, and a gesture
    // under way ends (no capture change arrives then).
    if (self->window_ == hwnd) {
      self->CancelGestures();
      self->window_ = nullptr;
      self->entry_ = nullptr;
      self->editControl_ = nullptr;
      self->editParam_ = nullptr;
      if (self->entryFont_) DeleteObject(self->entryFont_);
      self->entryFont_ = nullptr;
      self->entryState_ = kEntryIdle;
      self->tooltip_ = nullptr;
      self->tooltipShowing_ = false;
      self->tooltipControl_ = -1;
      self->captured_ = false;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  if (!self || hwnd != self->window_) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return self->HandleMessage(hwnd, msg, wParam, lParam);
}

LRESULT IPanelWin::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  // While the entry has the focus the editor only listens for button presses
  // (which cancel the entry); it neither repaints nor scans for dirty controls.
  if (entry_ && entryState_ == kEntryFocused) {
    if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) {
      entryState_ = kEntryCancel;
      return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  switch (msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      return 0;
    case WM_PAINT: {
      RECT r;
      if (GetUpdateRect(hwnd, &r, FALSE)) Paint(PixelRect{r.left, r.top, r.right, r.bottom});
      // A panel without controls paints nothing; the region must still be
      // validated or the paint message would come back forever.
      ValidateRect(hwnd, nullptr);
      return 0;
    }
    case WM_CLOSE:
      CloseWindow();
      return 0;
    case WM_KEYDOWN:
      OnKey(hwnd, msg, wParam, lParam);
      return 0;
    case WM_KEYUP:
      return PassKeyOn(hwnd, msg, wParam, lParam);
    case WM_TIMER:
      if (wParam == kTimerId) {
        OnTimer();
        return 0;
      }
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_CTLCOLOREDIT: {
      if (!editControl_) return 0;
      HDC dc = reinterpret_cast<HDC>(wParam);
      const TextStyle& style = editControl_->Style();
      SetBkColor(dc, ColourRef(style.entryBackground));
      SetTextColor(dc, ColourRef(style.entryText));
      SetBkMode(dc, OPAQUE);
      SetDCBrushColor(dc, ColourRef(style.entryBackground));
      return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
    }
    case WM_MOUSEMOVE: {
      const int x = XFrom(lParam), y = YFrom(lParam);
      const MouseMods mods = ModsFrom(wParam);
      if (wParam & (MK_LBUTTON | MK_RBUTTON)) {
        if (GetCapture() == hwnd && !entry_) OnMouseDrag(x, y, mods);
        return 0;
      }
      if (HandleMouseOver(x, y, mods)) {
        const int over = MouseOverControl();
        if (ShowTooltips() && over != tooltipControl_) {
          tooltipControl_ = over;
          HideTooltip();
        }
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd, HOVER_DEFAULT};
        if (over >= 0) track.dwFlags |= TME_HOVER;
        TrackMouseEvent(&track);
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      HideTooltip();
      if (entry_) {
        entryState_ = kEntryCommit;
        return 0;
      }
      // A second button pressed during a drag starts anew; the drag ends first.
      EndGesture();
      SetFocus(hwnd);
      SetCapture(hwnd);
      captured_ = true;
      OnMouseDown(XFrom(lParam), YFrom(lParam), ModsFrom(wParam));
      return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      captured_ = false;
      if (GetCapture() == hwnd) ReleaseCapture();
      // The core ends the edit a press began; a release no press in this
      // window began (after a double-click, a right-click that opened the
      // host's menu, a drag from elsewhere) reaches the control alone.
      HandleMouseUp(XFrom(lParam), YFrom(lParam), ModsFrom(wParam));
      return 0;
    }
    case WM_CAPTURECHANGED:
      // Another window took the mouse in the middle of a gesture (a host's
      // dialog, a menu).
      if (reinterpret_cast<HWND>(lParam) != hwnd) EndGesture();
      return 0;
    case WM_LBUTTONDBLCLK:
      if (OnMouseDblClick(XFrom(lParam), YFrom(lParam), ModsFrom(wParam))) {
        SetCapture(hwnd);
        captured_ = true;  // taken as a click: the release ends its edit
      }
      return 0;
    case WM_MOUSEWHEEL: {
      if (entry_) {
        entryState_ = kEntryCancel;
        return 0;
      }
      RECT r;
      GetWindowRect(hwnd, &r);
      const int x = XFrom(lParam) - r.left, y = YFrom(lParam) - r.top;
      // Raw units: the core adds partial notches up.
      OnMouseWheel(x, y, ModsFrom(GET_KEYSTATE_WPARAM(wParam)), static_cast<short>(HIWORD(wParam)));
      return 0;
    }
    case WM_MOUSEHOVER: {
      if (tooltip_) {
        IControl* c = GetControl(tooltipControl_);
        TTTOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = hwnd;
        tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
        tool.lpszText = const_cast<char*>(c ? c->Tooltip().c_str() : "");
        SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
        tooltipShowing_ = true;
      }
      return 0;
    }
    case WM_MOUSELEAVE:
      HideTooltip();
      OnMouseOut();
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

void IPanelWin::EndGesture() {
  if (!captured_) return;
  captured_ = false;
  if (window_ && GetCapture() == window_) ReleaseCapture();
  CancelGestures();
}

void IPanelWin::HideTooltip() {
  if (tooltipShowing_ && tooltip_) SendMessageA(tooltip_, TTM_POP, 0, 0);
  tooltipShowing_ = false;
}

LRESULT IPanelWin::PassKeyOn(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND root = GetAncestor(hwnd, GA_ROOT);
  if (root && root != hwnd) SendMessageA(root, msg, wParam, lParam);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void IPanelWin::OnKey(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const int key = KeyCodeFor(wParam);
  if (key >= 0) {
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(hwnd, &p);
    if (OnKeyDown(p.x, p.y, key)) return;
  }
  PassKeyOn(hwnd, msg, wParam, lParam);
}

void IPanelWin::OnTimer() {
  if (entry_ && entryState_ != kEntryIdle) {
    if (entryState_ == kEntryCancel) {
      DestroyTextEntry();
    } else if (entryState_ == kEntryCommit) {
      CommitTextEntry();
    } else {
      entryState_ = kEntryIdle;
    }
    return;
  }
  const PixelRect dirty = TimerTick();
  if (dirty.IsEmpty()) return;
  RECT r{dirty.left, dirty.top, dirty.right, dirty.bottom};
  InvalidateRect(window_, &r, FALSE);
  if (entry_ && editControl_) {
    const PixelRect& c = editControl_->Rect();
    RECT keep{c.left, c.top, c.right, c.bottom};
    ValidateRect(window_, &keep);
    entryState_ = kEntryProtected;
  }
  UpdateWindow(window_);
}

bool IPanelWin::DrawScreen(const PixelRect& rect) {
  if (!window_) return false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  RAS_IBitmap* back = BackBuffer();
  if (dc && back && back->getDC()) {
    BitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, back->getDC(), rect.left,
           rect.top, SRCCOPY);
  }
  EndPaint(window_, &ps);
  return true;
}

void IPanelWin::Resize(int width, int height) {
  if (width == Width() && height == Height()) return;
  // A gesture, the entry and the tooltip name controls that the resize
  // deletes.
  EndGesture();
  if (entry_) DestroyTextEntry();
  tooltipControl_ = -1;
  HideTooltip();
  const int dw = width - Width();
  const int dh = height - Height();
  IPanel::Resize(width, height);
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
  // Hosts that size their own windows on request need no help.
  const bool hostSizes = Port() && Port()->HostSizesEditorWindow();
  if ((style & WS_CHILD) && !(exStyle & WS_EX_MDICHILD) && !hostSizes) {
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

// ---- Text entry ---------------------------------------------------------------------------

void IPanelWin::CreateTextEntry(IControl* control, const TextStyle& style, const PixelRect& rect, const char* text,
                                const IParamDef* param) {
  if (!control || entry_ || !window_) return;
  DWORD styles = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_MULTILINE;
  if (style.align == 1) styles |= ES_CENTER;
  if (style.align == 2) styles |= ES_RIGHT;
  entry_ = CreateWindowExA(0, "EDIT", text ? text : "", styles, rect.left, rect.top, rect.right - rect.left + 1,
                           rect.bottom - rect.top + 1, window_, reinterpret_cast<HMENU>(kEntryChildId), Instance(),
                           nullptr);
  if (!entry_) return;
  entryFont_ = CreateFontA(style.size, 0, 0, 0, style.style == 1 ? FW_BOLD : FW_DONTCARE, style.style == 2, FALSE,
                           FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH, style.face.c_str());
  if (entryFont_) SendMessageA(entry_, WM_SETFONT, reinterpret_cast<WPARAM>(entryFont_), FALSE);
  SendMessageA(entry_, EM_LIMITTEXT, static_cast<WPARAM>(std::max(control->TextEntryLength(), 0)), 0);
  SendMessageA(entry_, EM_SETSEL, 0, -1);
  editParam_ = param;
  editControl_ = control;
  entryState_ = kEntryIdle;
  // The entry's own procedure is in place before it takes the focus, so the
  // focus puts it in the focused state at once.
  entryPrevProc_ = SetWindowLongPtrA(entry_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&IPanelWin::EntryProc));
  SetWindowLongPtrA(entry_, GWLP_USERDATA, kEntryMark);
  SetFocus(entry_);
}

LRESULT CALLBACK IPanelWin::EntryProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<IPanelWin*>(GetWindowLongPtrA(GetParent(hwnd), GWLP_USERDATA));
  if (!self || self->entry_ != hwnd || !self->entryPrevProc_) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return self->HandleEntryMessage(hwnd, msg, wParam, lParam);
}

LRESULT IPanelWin::HandleEntryMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const auto previous = reinterpret_cast<WNDPROC>(entryPrevProc_);
  HideTooltip();
  switch (msg) {
    case WM_SETFOCUS:
      entryState_ = kEntryFocused;
      break;
    case WM_KILLFOCUS:
      entryState_ = kEntryCommit;
      break;
    case WM_GETDLGCODE: {
      LRESULT code = CallWindowProcA(previous, hwnd, msg, wParam, lParam);
      const auto* m = reinterpret_cast<const MSG*>(lParam);
      if (!m && wParam == VK_RETURN) code |= DLGC_WANTALLKEYS;
      if (m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN) code |= DLGC_WANTALLKEYS;
      return code;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        entryState_ = kEntryCommit;
        return 0;
      }
      if (wParam == VK_ESCAPE) {
        entryState_ = kEntryCancel;
        return 0;
      }
      break;
    case WM_CHAR: {
      const char c = static_cast<char>(wParam);
      if (c == '\b') break;
      bool pass = true;
      if (c == '\r' || c == '\n' || c == 0x1b) {
        pass = false;  // Enter and Escape were taken as keys
      } else if (editParam_) {
        const ParamKind kind = editParam_->Kind();
        const bool whole = kind == ParamKind::Boolean || kind == ParamKind::Stepped || kind == ParamKind::Enumeration;
        pass = c == '+' || c == '-' || (c >= '0' && c <= '9') || (!whole && c == '.');
      }
      if (!pass) return 0;
      break;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) == 1) entryState_ = kEntryCommit;
      break;
    default:
      break;
  }
  return CallWindowProcA(previous, hwnd, msg, wParam, lParam);
}

void IPanelWin::CommitTextEntry() {
  if (!entry_) return;
  char text[kEntryTextMax + 1] = {};
  GetWindowTextA(entry_, text, sizeof text);
  IControl* control = editControl_;
  const IParamDef* param = editParam_;
  // The entry goes first: what the value change does may not meet it.
  DestroyTextEntry();
  if (!control) return;
  if (param) {
    double value = 0.0;
    const ParamKind kind = param->Kind();
    if (kind == ParamKind::Boolean || kind == ParamKind::Enumeration) {
      for (int i = 0; i < param->NDisplayTexts(); ++i) {
        if (param->GetDisplayEntry(i).text == text) {
          value = param->GetDisplayEntry(i).value;
          break;
        }
      }
    } else {
      value = std::strtod(text, nullptr);
      if (param->NegateDisplay()) value = -value;
    }
    ApplyUserValueAsEdit(control, NormalizedFromPlain(*param, value));
  } else {
    control->TextFromUser(text);
  }
}

void IPanelWin::DestroyTextEntry() {
  if (entry_) {
    const bool hadFocus = GetFocus() == entry_;
    if (entryPrevProc_) SetWindowLongPtrA(entry_, GWLP_WNDPROC, entryPrevProc_);
    DestroyWindow(entry_);
    if (hadFocus && window_) SetFocus(window_);
  }
  if (entryFont_) DeleteObject(entryFont_);
  entry_ = nullptr;
  entryFont_ = nullptr;
  entryPrevProc_ = 0;
  editControl_ = nullptr;
  editParam_ = nullptr;
  entryState_ = kEntryIdle;
}

// ---- Menus, boxes, dialogs -------------------------------------------------------------------

IPopupMenu* IPanelWin::ShowPopupMenu(IPopupMenu* menu, const PixelRect& rect) {
  ReleaseMouseHolder();
  if (!menu || !window_) return nullptr;
  std::vector<MenuRange> ranges;
  int next = 0;
  AssignMenuIds(*menu, next, ranges);
  HMENU native = BuildNativeMenu(*menu, ranges);
  if (!native) return nullptr;
  POINT at{rect.left, rect.bottom};
  ClientToScreen(window_, &at);
  TrackPopupMenu(native, TPM_LEFTBUTTON, at.x, at.y, 0, window_, nullptr);
  IPopupMenu* chosen = nullptr;
  MSG msg;
  if (PeekMessageA(&msg, window_, WM_COMMAND, WM_COMMAND, PM_REMOVE) && HIWORD(msg.wParam) == 0) {
    const int id = LOWORD(msg.wParam);
    for (const MenuRange& r : ranges) {
      if (id >= r.firstId && id < r.firstId + static_cast<int>(r.menu->items.size())) {
        chosen = r.menu;
        chosen->chosenIndex = id - r.firstId;
        break;
      }
    }
  }
  DestroyMenu(native);
  if (window_) InvalidateRect(window_, nullptr, FALSE);
  return chosen;
}

int IPanelWin::ShowMessageBox(const char* text, const char* caption, int type) {
  HWND owner = nullptr;
  if (parent_ && IsWindow(parent_)) {
    owner = GetAncestor(parent_, GA_ROOT);
    if (owner && ownerClass_.empty()) {
      char name[128] = {};
      GetClassNameA(owner, name, sizeof name);
      ownerClass_ = name;
      ownerWindow_ = owner;
      DWORD pid = 0;
      GetWindowThreadProcessId(owner, &pid);
      ownerProcess_ = pid;
    }
  } else if (!ownerClass_.empty()) {
    OwnerSearch search{GetCurrentProcessId(), ownerClass_.c_str(), nullptr};
    EnumWindows(FindOwner, reinterpret_cast<LPARAM>(&search));
    owner = search.found;
  }
  return MessageBoxA(owner, text ? text : "", caption ? caption : "", static_cast<UINT>(type));
}

void IPanelWin::PromptForFile(std::string& fileName, int action, std::string& directory, const char* extensions) {
  if (!window_) {
    fileName.clear();
    return;
  }
  char file[256] = {};
  std::snprintf(file, sizeof file, "%s", fileName.c_str());
  std::string initialDir = directory;
  if (initialDir.empty()) GetDesktopPath(initialDir);

  // "*.a;*.b" as description and pattern, kept below 127 characters; the
  // first extension (below 16 characters) is the default.
  std::string pattern, defaultExt;
  const char* p = extensions ? extensions : "";
  while (*p) {
    while (*p == ' ') ++p;
    const char* end = p;
    while (*end && *end != ' ') ++end;
    if (end > p) {
      std::string ext(p, static_cast<std::size_t>(end - p));
      if (defaultExt.empty()) defaultExt = ext.substr(0, 15);
      std::string piece = (pattern.empty() ? "" : ";") + std::string("*.") + ext;
      if (pattern.size() + piece.size() >= 127) break;
      pattern += piece;
    }
    p = end;
  }
  std::string filter;
  if (!pattern.empty()) {
    filter = pattern;
    filter.push_back('\0');
    filter += pattern;
    filter.push_back('\0');
  }
  filter.push_back('\0');

  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = window_;
  ofn.lpstrFilter = pattern.empty() ? nullptr : filter.c_str();
  ofn.lpstrFile = file;
  ofn.nMaxFile = 255;
  ofn.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
  ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
  BOOL ok;
  if (action == 1) {
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    ok = GetSaveFileNameA(&ofn);
  } else {
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    ok = GetOpenFileNameA(&ofn);
  }
  if (!ok) {
    fileName.clear();
    return;
  }
  fileName = file;
  char drive[_MAX_DRIVE] = {}, dir[_MAX_DIR] = {};
  _splitpath(file, drive, dir, nullptr, nullptr);
  directory = std::string(drive) + dir;
}

bool IPanelWin::PromptForColor(ColorArgb& colour, const char* prompt) {
  if (!window_) return false;
  if (!customColours_) customColours_ = std::make_unique<std::uint32_t[]>(16);
  static_assert(sizeof(COLORREF) == sizeof(std::uint32_t));
  CHOOSECOLORA cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = window_;
  cc.rgbResult = ColourRef(colour);
  cc.lpCustColors = reinterpret_cast<COLORREF*>(customColours_.get());
  cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK | CC_ANYCOLOR | CC_SOLIDCOLOR;
  cc.lpfnHook = ColourHook;
  cc.lCustData = reinterpret_cast<LPARAM>(prompt);
  if (!ChooseColorA(&cc)) return false;
  colour.r = GetRValue(cc.rgbResult);
  colour.g = GetGValue(cc.rgbResult);
  colour.b = GetBValue(cc.rgbResult);
  return true;
}

bool IPanelWin::OpenUrl(const char* url, const char* title, const char* confirmText, const char* errorText) {
  if (confirmText && MessageBoxA(window_, confirmText, title ? title : "", MB_YESNO) != IDYES) return false;
  DWORD state = 0;
  if (url && InternetGetConnectedState(&state, 0) &&
      reinterpret_cast<INT_PTR>(ShellExecuteA(window_, "open", url, nullptr, nullptr, SW_SHOWNORMAL)) > 32) {
    return true;
  }
  if (errorText) MessageBoxA(window_, errorText, title ? title : "", MB_OK);
  return false;
}

// ---- Paths, clipboard, cursor, images ------------------------------------------------------------

void IPanelWin::GetHostPath(std::string& out) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  DirectoryOf(path, out);
}

void IPanelWin::GetModulePath(std::string& out) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(Instance(), path, sizeof path);
  DirectoryOf(path, out);
}

void IPanelWin::GetDesktopPath(std::string& out) {
  char path[MAX_PATH] = {};
  out = SHGetSpecialFolderPathA(nullptr, path, CSIDL_DESKTOP, FALSE) ? path : "";
}

void IPanelWin::GetAppDataPath(std::string& out, bool allUsers) {
  char path[MAX_PATH] = {};
  const int folder = allUsers ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA;
  out = SUCCEEDED(SHGetFolderPathA(nullptr, folder, nullptr, 0, path)) ? path : "";
}

bool IPanelWin::GetTextFromClipboard(std::string& out) {
  out.clear();
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(window_)) return false;
  bool ok = false;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
      const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
      if (n > 0) {
        out.resize(static_cast<std::size_t>(n));
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), n, nullptr, nullptr);
        out.resize(static_cast<std::size_t>(n - 1));  // without the terminator
        ok = true;
      }
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return ok;
}

void IPanelWin::HideMouseCursor() {
  if (CursorHidden()) return;
  POINT p{};
  GetCursorPos(&p);
  SetCursorHidden(true, p.x, p.y);
  ShowCursor(FALSE);
}

void IPanelWin::ShowMouseCursor() {
  if (!CursorHidden()) return;
  SetCursorPos(SavedCursorX(), SavedCursorY());
  ShowCursor(TRUE);
  SetCursorHidden(false);
}

std::unique_ptr<RAS_IBitmap> IPanelWin::LoadBitmapFromResource(int id, const char* name) {
  return ::LoadBitmapFromResource(id, name);
}
