#include "gui/win32/Win32TextEntry.h"

#include <algorithm>

#include <windows.h>

namespace win32gui {

namespace {

constexpr int kEntryChildId = 99;
constexpr LONG_PTR kEntryMark = 0xdeadf00b;

bool Takes(EntryChars chars, char c) {
  switch (chars) {
    case EntryChars::kAny:
      return true;
    case EntryChars::kWhole:
      return c == '+' || c == '-' || (c >= '0' && c <= '9');
    case EntryChars::kDecimal:
      return c == '+' || c == '-' || (c >= '0' && c <= '9') || c == '.';
  }
  return true;
}

}  // namespace

bool Win32TextEntry::Open(HWND parent, HINSTANCE instance, const EntryRequest& request, std::intptr_t procedure) {
  if (window_) return false;
  const TextStyle& style = request.style;
  DWORD styles = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_MULTILINE;
  if (style.align == 1) styles |= ES_CENTER;
  if (style.align == 2) styles |= ES_RIGHT;
  const PixelRect& r = request.rect;
  window_ = CreateWindowExA(0, "EDIT", request.text.c_str(), styles, r.left, r.top, r.right - r.left + 1,
                            r.bottom - r.top + 1, parent, reinterpret_cast<HMENU>(kEntryChildId), instance, nullptr);
  if (!window_) return false;
  parent_ = parent;
  font_ = CreateFontA(style.size, 0, 0, 0, style.style == 1 ? FW_BOLD : FW_DONTCARE, style.style == 2, FALSE, FALSE,
                      DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                      style.face.c_str());
  if (font_) SendMessageA(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  SendMessageA(window_, EM_LIMITTEXT, static_cast<WPARAM>(std::max(request.maxLength, 0)), 0);
  SendMessageA(window_, EM_SETSEL, 0, -1);
  chars_ = request.chars;
  keepClear_ = request.keepClear;
  background_ = style.entryBackground;
  foreground_ = style.entryText;
  state_ = kIdle;
  // The entry's own procedure is in place before it takes the focus, so the
  // focus puts it in the focused state at once.
  previous_ = SetWindowLongPtrA(window_, GWLP_WNDPROC, procedure);
  SetWindowLongPtrA(window_, GWLP_USERDATA, kEntryMark);
  SetFocus(window_);
  return true;
}

void Win32TextEntry::Close() {
  if (window_) {
    const bool hadFocus = GetFocus() == window_;
    if (previous_) SetWindowLongPtrA(window_, GWLP_WNDPROC, previous_);
    DestroyWindow(window_);
    if (hadFocus && parent_ && IsWindow(parent_)) SetFocus(parent_);
  }
  Forget();
}

void Win32TextEntry::Forget() {
  if (font_) DeleteObject(font_);
  font_ = nullptr;
  window_ = nullptr;
  parent_ = nullptr;
  previous_ = 0;
  state_ = kIdle;
}

std::string Win32TextEntry::Text() const {
  char text[kTextMax + 1] = {};
  if (window_) GetWindowTextA(window_, text, sizeof text);
  return text;
}

LRESULT Win32TextEntry::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const auto previous = reinterpret_cast<WNDPROC>(previous_);
  switch (msg) {
    case WM_SETFOCUS:
      state_ = kFocused;
      break;
    case WM_KILLFOCUS:
      state_ = kCommit;
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
        state_ = kCommit;
        return 0;
      }
      if (wParam == VK_ESCAPE) {
        state_ = kCancel;
        return 0;
      }
      break;
    case WM_CHAR: {
      const char c = static_cast<char>(wParam);
      if (c == '\b') break;
      // Enter and Escape were taken as keys.
      const bool pass = c != '\r' && c != '\n' && c != 0x1b && Takes(chars_, c);
      if (!pass) return 0;
      break;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) == 1) state_ = kCommit;
      break;
    default:
      break;
  }
  return CallWindowProcA(previous, hwnd, msg, wParam, lParam);
}

}  // namespace win32gui
