#include "gui/win32/Win32Dialogs.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "gui/win32/Win32System.h"

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <wininet.h>

namespace win32gui {

namespace {

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

COLORREF ColourRef(const ColorArgb& c) {
  return RGB(static_cast<BYTE>(c.r), static_cast<BYTE>(c.g), static_cast<BYTE>(c.b));
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

IPopupMenu* TrackMenu(HWND owner, IPopupMenu& menu, int x, int y) {
  std::vector<MenuRange> ranges;
  int next = 0;
  AssignMenuIds(menu, next, ranges);
  HMENU native = BuildNativeMenu(menu, ranges);
  if (!native) return nullptr;
  POINT at{x, y};
  ClientToScreen(owner, &at);
  TrackPopupMenu(native, TPM_LEFTBUTTON, at.x, at.y, 0, owner, nullptr);
  IPopupMenu* chosen = nullptr;
  MSG msg;
  if (PeekMessageA(&msg, owner, WM_COMMAND, WM_COMMAND, PM_REMOVE) && HIWORD(msg.wParam) == 0) {
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
  if (IsWindow(owner)) InvalidateRect(owner, nullptr, FALSE);
  return chosen;
}

int MessageBoxOwner::Show(HWND parent, const char* text, const char* caption, int type) {
  HWND owner = nullptr;
  if (parent && IsWindow(parent)) {
    owner = GetAncestor(parent, GA_ROOT);
    if (owner && className_.empty()) {
      char name[128] = {};
      GetClassNameA(owner, name, sizeof name);
      className_ = name;
      window_ = owner;
      DWORD pid = 0;
      GetWindowThreadProcessId(owner, &pid);
      process_ = pid;
    }
  } else if (!className_.empty()) {
    OwnerSearch search{GetCurrentProcessId(), className_.c_str(), nullptr};
    EnumWindows(FindOwner, reinterpret_cast<LPARAM>(&search));
    owner = search.found;
  }
  return MessageBoxA(owner, text ? text : "", caption ? caption : "", static_cast<UINT>(type));
}

void PromptForFile(HWND owner, std::string& fileName, int action, std::string& directory, const char* extensions) {
  char file[256] = {};
  std::snprintf(file, sizeof file, "%s", fileName.c_str());
  std::string initialDir = directory;
  if (initialDir.empty()) initialDir = DesktopPath();

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
  ofn.hwndOwner = owner;
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

bool ColourChooser::Prompt(HWND owner, ColorArgb& colour, const char* title) {
  if (!custom_) custom_ = std::make_unique<std::uint32_t[]>(16);
  static_assert(sizeof(COLORREF) == sizeof(std::uint32_t));
  CHOOSECOLORA cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = owner;
  cc.rgbResult = ColourRef(colour);
  cc.lpCustColors = reinterpret_cast<COLORREF*>(custom_.get());
  cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK | CC_ANYCOLOR | CC_SOLIDCOLOR;
  cc.lpfnHook = ColourHook;
  cc.lCustData = reinterpret_cast<LPARAM>(title);
  if (!ChooseColorA(&cc)) return false;
  colour.r = GetRValue(cc.rgbResult);
  colour.g = GetGValue(cc.rgbResult);
  colour.b = GetBValue(cc.rgbResult);
  return true;
}

bool OpenUrl(HWND owner, const char* url, const char* title, const char* confirmText, const char* errorText) {
  if (confirmText && MessageBoxA(owner, confirmText, title ? title : "", MB_YESNO) != IDYES) return false;
  DWORD state = 0;
  if (url && InternetGetConnectedState(&state, 0) &&
      reinterpret_cast<INT_PTR>(ShellExecuteA(owner, "open", url, nullptr, nullptr, SW_SHOWNORMAL)) > 32) {
    return true;
  }
  if (errorText) MessageBoxA(owner, errorText, title ? title : "", MB_OK);
  return false;
}

}  // namespace win32gui
