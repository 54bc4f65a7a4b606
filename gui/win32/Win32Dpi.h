#pragma once
// The display scale a Windows editor window finds on its own: its DPI, read
// the way the running Windows allows, and only where the window's thread is
// per-monitor DPI aware. A window of an unaware (or system-aware) thread is
// stretched by the system, so the editor draws it at 1x there.

struct HWND__;

namespace win32gui {

// The DPI at which the editor draws at 1x.
inline constexpr int kBaseDpi = 96;

// True when the calling thread's windows are per-monitor DPI aware
// (Windows 10 1607 on: the thread's awareness context; 8.1: the process's
// awareness). False on older systems.
bool ThreadIsPerMonitorAware();

// The window's DPI: GetDpiForWindow (Windows 10 1607 on), else that of the
// window's monitor (8.1), else the window's device context's. 0 when none
// tells. The functions are looked up at run time, so the module loads on
// every Windows version.
int WindowDpi(HWND__* window);

// Reads a window's DPI (WindowDpi, or a stand-in in tests).
using DpiReader = int (*)(HWND__* window);

// The scale that `dpi` asks for (dpi / 96); 1 for 0 or less.
double ScaleFromDpi(int dpi);

// The scale the editor in `window` draws at when the host sets none: the
// reader's DPI on a per-monitor aware thread, 1 on any other.
double WindowScale(HWND__* window, DpiReader reader);

}  // namespace win32gui
