#include "gui/win32/Win32Dpi.h"

// After our own headers: windows.h turns some of their names into macros.
#include <windows.h>

namespace win32gui {

namespace {

// The awareness a context or a process reports for per-monitor awareness
// (DPI_AWARENESS_PER_MONITOR_AWARE, PROCESS_PER_MONITOR_DPI_AWARE).
constexpr int kPerMonitorAware = 2;
// MDT_EFFECTIVE_DPI of GetDpiForMonitor.
constexpr int kEffectiveDpi = 0;

using GetThreadDpiAwarenessContextFn = void*(WINAPI*)();
using GetAwarenessFromDpiAwarenessContextFn = int(WINAPI*)(void*);
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using GetProcessDpiAwarenessFn = HRESULT(WINAPI*)(HANDLE, int*);

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
  if (!module) return nullptr;
  // Through a plain function pointer type: the entry's real type is Fn.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// What this Windows offers, looked up once per process. user32 is loaded
// in every process that has windows; shcore exists from 8.1 on and is only
// ever taken from the system folder.
struct DpiFunctions {
  GetThreadDpiAwarenessContextFn threadContext = nullptr;
  GetAwarenessFromDpiAwarenessContextFn awarenessOf = nullptr;
  GetDpiForWindowFn dpiForWindow = nullptr;
  GetDpiForMonitorFn dpiForMonitor = nullptr;
  GetProcessDpiAwarenessFn processAwareness = nullptr;

  DpiFunctions() {
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    threadContext = Lookup<GetThreadDpiAwarenessContextFn>(user32, "GetThreadDpiAwarenessContext");
    awarenessOf = Lookup<GetAwarenessFromDpiAwarenessContextFn>(user32, "GetAwarenessFromDpiAwarenessContext");
    dpiForWindow = Lookup<GetDpiForWindowFn>(user32, "GetDpiForWindow");
    if (threadContext && awarenessOf && dpiForWindow) return;
    const HMODULE shcore = LoadLibraryExA("shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    dpiForMonitor = Lookup<GetDpiForMonitorFn>(shcore, "GetDpiForMonitor");
    processAwareness = Lookup<GetProcessDpiAwarenessFn>(shcore, "GetProcessDpiAwareness");
  }
};

const DpiFunctions& Functions() {
  static const DpiFunctions functions;
  return functions;
}

}  // namespace

bool ThreadIsPerMonitorAware() {
  const DpiFunctions& f = Functions();
  if (f.threadContext && f.awarenessOf) return f.awarenessOf(f.threadContext()) == kPerMonitorAware;
  int awareness = 0;
  return f.processAwareness && SUCCEEDED(f.processAwareness(nullptr, &awareness)) &&
         awareness == kPerMonitorAware;
}

int WindowDpi(HWND window) {
  if (!window || !IsWindow(window)) return 0;
  const DpiFunctions& f = Functions();
  if (f.dpiForWindow) return static_cast<int>(f.dpiForWindow(window));
  if (f.dpiForMonitor) {
    UINT x = 0, y = 0;
    const HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (monitor && SUCCEEDED(f.dpiForMonitor(monitor, kEffectiveDpi, &x, &y))) return static_cast<int>(x);
  }
  const HDC dc = GetDC(window);
  if (!dc) return 0;
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(window, dc);
  return dpi;
}

double ScaleFromDpi(int dpi) { return dpi > 0 ? static_cast<double>(dpi) / kBaseDpi : 1.0; }

double WindowScale(HWND window, DpiReader reader) {
  if (!reader || !ThreadIsPerMonitorAware()) return 1.0;
  return ScaleFromDpi(reader(window));
}

}  // namespace win32gui
