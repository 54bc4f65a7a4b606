#pragma once
// The in-place text entry: an "EDIT" child window of the editor window with
// a font made from a text style, a character filter, and a small state that
// the window's timer acts on (commit or cancel at the next tick). It knows
// which characters it takes, not what the text means.
//
// One thread: the thread that owns the editor window.

#include <cstdint>
#include <string>

#include "gui/GuiTypes.h"

struct HWND__;
struct HINSTANCE__;
struct HFONT__;

namespace win32gui {

// The characters an entry takes besides backspace.
enum class EntryChars {
  kAny,
  kWhole,    // "+", "-" and digits
  kDecimal,  // and "."
};

struct EntryRequest {
  TextStyle style;
  PixelRect rect;        // the entry's left, top, right and bottom pixels (inclusive)
  std::string text;      // shown at first, all selected
  int maxLength = 0;     // characters the entry accepts
  EntryChars chars = EntryChars::kAny;
  PixelRect keepClear;   // not painted over while the entry is open
};

class Win32TextEntry {
 public:
  // Entry states.
  enum State : std::int32_t { kIdle = 0, kFocused = 1, kProtected = 2, kCancel = 3, kCommit = 4 };
  // The longest text a commit reads.
  static constexpr int kTextMax = 31;

  Win32TextEntry() = default;
  ~Win32TextEntry() { Close(); }
  Win32TextEntry(const Win32TextEntry&) = delete;
  Win32TextEntry& operator=(const Win32TextEntry&) = delete;

  // Creates the entry in `parent` and gives it the focus; `procedure` becomes
  // its window procedure (it finds this entry and calls HandleMessage). False
  // when the window cannot be made.
  bool Open(HWND__* parent, HINSTANCE__* instance, const EntryRequest& request, std::intptr_t procedure);
  // Restores the entry's procedure, destroys it (the focus goes back to the
  // parent when the entry had it) and frees the font. Safe when closed.
  void Close();
  // The entry went with its parent: only the font is freed.
  void Forget();

  bool IsOpen() const { return window_ != nullptr; }
  HWND__* Window() const { return window_; }
  bool Subclassed() const { return previous_ != 0; }
  State GetState() const { return state_; }
  void SetState(State state) { state_ = state; }
  // The text now, at most kTextMax characters.
  std::string Text() const;
  const PixelRect& KeepClear() const { return keepClear_; }
  const ColorArgb& Background() const { return background_; }
  const ColorArgb& Foreground() const { return foreground_; }

  // One message of the entry window.
  std::intptr_t HandleMessage(HWND__* hwnd, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

 private:
  HWND__* window_ = nullptr;
  HWND__* parent_ = nullptr;
  HFONT__* font_ = nullptr;
  std::intptr_t previous_ = 0;
  State state_ = kIdle;
  EntryChars chars_ = EntryChars::kAny;
  PixelRect keepClear_;
  ColorArgb background_;
  ColorArgb foreground_;
};

}  // namespace win32gui
