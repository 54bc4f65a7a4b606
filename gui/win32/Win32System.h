#pragma once
// What the editor asks of Windows outside its window: the folders of the
// host's program, the plug-in module, the desktop and application data, and
// the clipboard's text.

#include <string>

struct HINSTANCE__;
struct HWND__;

namespace win32gui {

// The folder, with its trailing backslash, of the program (module null) or
// of a module; empty when unknown.
std::string ModuleFolder(HINSTANCE__* module);
std::string DesktopPath();
// The common application data folder when allUsers, else the user's local one.
std::string AppDataPath(bool allUsers);
// The clipboard's text as UTF-8; false, with out empty, when it holds none.
bool ClipboardText(HWND__* owner, std::string& out);
// The size of the work area (the monitor less the task bar) of the monitor
// that holds most of `window`; false without a window.
bool WorkAreaSize(HWND__* window, int& width, int& height);

}  // namespace win32gui
