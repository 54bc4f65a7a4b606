#include "gui/win32/Win32System.h"

#include <cstring>

#include <windows.h>
#include <shlobj.h>

namespace win32gui {

namespace {

// The directory part of a path with its trailing backslash; empty when the
// path has no backslash or ends in one.
std::string DirectoryOf(const char* path) {
  const char* slash = std::strrchr(path, '\\');
  if (!slash || slash[1] == '\0') return {};
  return std::string(path, static_cast<std::size_t>(slash - path + 1));
}

}  // namespace

std::string ModuleFolder(HINSTANCE module) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(module, path, sizeof path);
  return DirectoryOf(path);
}

std::string DesktopPath() {
  char path[MAX_PATH] = {};
  return SHGetSpecialFolderPathA(nullptr, path, CSIDL_DESKTOP, FALSE) ? path : "";
}

std::string AppDataPath(bool allUsers) {
  char path[MAX_PATH] = {};
  const int folder = allUsers ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA;
  return SUCCEEDED(SHGetFolderPathA(nullptr, folder, nullptr, 0, path)) ? path : "";
}

bool ClipboardText(HWND owner, std::string& out) {
  out.clear();
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(owner)) return false;
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

bool WorkAreaSize(HWND window, int& width, int& height) {
  if (!window) return false;
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info)) return false;
  width = info.rcWork.right - info.rcWork.left;
  height = info.rcWork.bottom - info.rcWork.top;
  return width > 0 && height > 0;
}

}  // namespace win32gui
