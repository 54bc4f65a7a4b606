#pragma once
// The editor's modal conversations with the user on Windows: popup menus,
// message boxes, the file and colour dialogs and opening a web address.
// Each takes the window that owns it; none knows the editor's controls.
//
// One thread: the thread that owns the editor window.

#include <cstdint>
#include <memory>
#include <string>

#include "gui/GuiTypes.h"
#include "gui/IPopupMenu.h"

struct HWND__;

namespace win32gui {

// Tracks `menu` (submenus included) at point (x, y) of `owner`'s client
// area, then has the owner repainted whole; the menu that holds the chosen
// item, its chosenIndex set, or null.
IPopupMenu* TrackMenu(HWND__* owner, IPopupMenu& menu, int x, int y);

// Message boxes owned by the host's top-level window. The owner is found
// from the editor's parent on first use and its class name remembered, so
// that a box shown while no parent is known still finds the host's window.
class MessageBoxOwner {
 public:
  // The MessageBoxA result.
  int Show(HWND__* parent, const char* text, const char* caption, int type);

 private:
  std::uint32_t process_ = 0;
  HWND__* window_ = nullptr;
  std::string className_;  // at most 127 characters
};

// The open (any action but 1) or save (action 1) dialog for files with the
// space-separated `extensions`. On OK fileName is the chosen path and
// directory its drive and folder; on cancel fileName is "".
void PromptForFile(HWND__* owner, std::string& fileName, int action, std::string& directory,
                   const char* extensions);

// The colour chooser; it keeps its sixteen custom colours from one use to
// the next. True, with the colour's red, green and blue replaced, on OK.
class ColourChooser {
 public:
  bool Prompt(HWND__* owner, ColorArgb& colour, const char* title);

 private:
  std::unique_ptr<std::uint32_t[]> custom_;  // 16 entries, on first use
};

// Asks first when confirmText is given; opens url with the shell when a
// connection is there; else shows errorText (when given). True when opened.
bool OpenUrl(HWND__* owner, const char* url, const char* title, const char* confirmText, const char* errorText);

}  // namespace win32gui
