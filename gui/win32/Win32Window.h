#pragma once
// The editor's child window on Windows: the process-wide window class
// "IEffectWndClass", creation inside the host's window, the redraw timer,
// copying a device context's pixels to the screen, the mouse capture of a
// gesture, the tooltip window and the in-place text entry, and turning the
// window's messages into editor gestures (clicks, drags while the window
// holds the capture, wheel notches, hover, leave, keys). Nothing here knows
// the editor's controls; Win32WindowClient receives the gestures.
//
// One thread: the thread that owns the host's window. The timer is a window
// timer, so ticks and painting run between messages.

#include <cstdint>
#include <string>

#include "gui/GuiTypes.h"
#include "gui/win32/Win32TextEntry.h"

struct HWND__;
struct HINSTANCE__;
struct HDC__;

namespace win32gui {

// The editor's key code for a virtual key; -1 for a key the controls do not take.
int KeyCodeFromVirtualKey(std::uintptr_t virtualKey);

// What a pointer movement without a button asks of the window.
enum class HoverWatch {
  kNone,          // nothing: the movement was not taken
  kLeave,         // tell the client when the pointer leaves
  kLeaveAndRest,  // and when it rests over something (the tooltip's moment)
};

class Win32WindowClient {
 public:
  virtual ~Win32WindowClient() = default;
  // The window needs `area` painted now.
  virtual void OnPaint(const PixelRect& area) = 0;
  // A timer tick while no text entry is ending: the area to repaint (empty: none).
  virtual PixelRect OnTimer() = 0;
  // Left, middle or right button pressed; the window holds the capture.
  virtual void OnButtonDown(int x, int y, const MouseMods& mods) = 0;
  // A left double-click; true when taken as a click, which the window then
  // holds like a press until the release.
  virtual bool OnDoubleClick(int x, int y, const MouseMods& mods) = 0;
  // Left, middle or right button released.
  virtual void OnButtonUp(int x, int y, const MouseMods& mods) = 0;
  // Motion while the left or right button is held and the window has the capture.
  virtual void OnDrag(int x, int y, const MouseMods& mods) = 0;
  // Motion with no button held.
  virtual HoverWatch OnHover(int x, int y, const MouseMods& mods) = 0;
  // A wheel turn at (x, y) in the wheel's raw units (120 to a notch; smooth
  // wheels and touchpads send less): positive away from the user.
  virtual void OnWheel(int x, int y, const MouseMods& mods, int units) = 0;
  // The pointer left the window.
  virtual void OnLeave() = 0;
  // The gesture a press in this window began lost the mouse (another window
  // took the capture, the gesture was ended by the editor, the window is
  // closing): no release will follow. (x, y): the pointer now.
  virtual void OnCaptureLost(int x, int y) = 0;
  // A mapped key at pointer position (x, y); true when it was taken. A key
  // not taken goes on to the host.
  virtual bool OnKey(int x, int y, int keyCode) = 0;
  // The pointer rested: the tooltip's text ("" for none).
  virtual std::string TooltipText() = 0;
  // The text entry ended at a tick: its text when committed, null when cancelled.
  virtual void OnEntryEnded(const char* committedText) = 0;
  // The window is gone (closed, or destroyed with the host's window).
  virtual void OnDestroyed() = 0;
  // The window moved to a monitor of another DPI: `dpi` when the message
  // said it, 0 when the window is to be asked (a child told after its parent).
  virtual void OnDpiChanged(int dpi) = 0;
};

class Win32Window {
 public:
  // The registered class of every editor window of the module.
  static constexpr const char* kWindowClass = "IEffectWndClass";
  // The redraw timer's id.
  static constexpr std::uintptr_t kTimerId = 2;

  Win32Window() = default;
  ~Win32Window() { Close(); }
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // The module that contains this code.
  static HINSTANCE__* ThisModule();
  // Editor windows of this module open now, process-wide.
  static int OpenCount();
  // The redraw period (ms) the most recently opened window was given.
  static int LastTimerPeriodMs();
  // Unregisters the class when no editor window is open (a window destroyed
  // with its host's window leaves it registered).
  static void ReleaseClass(HINSTANCE__* instance);

  // Creates the visible child window of `parent` at (x, y), w x h, with a
  // redraw timer of `timerPeriodMs`, registering the class for the first
  // window. False, with nothing left open, when it cannot be made.
  bool Open(HINSTANCE__* instance, HWND__* parent, int x, int y, int w, int h, int timerPeriodMs,
            Win32WindowClient& client);
  // Ends the text entry, the tooltip and the gesture, then destroys the
  // window. Safe when closed.
  void Close();
  bool IsOpen() const { return window_ != nullptr; }
  HWND__* Handle() const { return window_; }
  // The open window's place relative to `parent` and its size.
  void GetPlace(HWND__* parent, int& x, int& y, int& w, int& h) const;

  // Inside the window's paint cycle: fills the `nFills` rectangles of
  // `fills` with `fillColour`, then copies `area` of `source` to the window
  // with its top-left at (toX, toY). False when closed.
  bool Put(HDC__* source, const PixelRect& area, int toX, int toY, const PixelRect* fills = nullptr, int nFills = 0,
           const ColorArgb& fillColour = {});
  // Grows the window by (dw, dh), and, with `alsoParents`, its parent and a
  // child-window grandparent too; then invalidates (0, 0, width, height).
  void Grow(int dw, int dh, bool alsoParents, int width, int height);
  // Invalidates the whole window without erasing.
  void InvalidateAll();

  // Ends the gesture a press in this window began, if one is running: the
  // capture is released and the client hears OnCaptureLost.
  void EndGesture();

  // Tooltips: one tool covering the whole window. False when they cannot be
  // set up (nothing is left then).
  bool SetUpTooltips();
  void HideTooltip();

  // The in-place text entry, a child of the window.
  bool OpenEntry(const EntryRequest& request);
  void CloseEntry() { entry_.Close(); }
  // The entry ends without its value at the next tick.
  void CancelEntry() { entry_.SetState(Win32TextEntry::kCancel); }
  const Win32TextEntry& Entry() const { return entry_; }

 private:
  static std::intptr_t __stdcall WindowProc(HWND__* hwnd, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  static std::intptr_t __stdcall EntryProc(HWND__* hwnd, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  std::intptr_t HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  std::intptr_t Default(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  void OnCreate(HWND__* hwnd);
  void OnNcDestroy();

  std::intptr_t OnPaintMessage();
  void OnTimerMessage();
  std::intptr_t OnEntryColours(std::uintptr_t dc);
  void OnMouseMove(std::uintptr_t wParam, std::intptr_t lParam);
  void OnButtonDownMessage(std::uintptr_t wParam, std::intptr_t lParam);
  void OnButtonUpMessage(std::uintptr_t wParam, std::intptr_t lParam);
  void OnCaptureChanged(std::intptr_t lParam);
  void OnDoubleClickMessage(std::uintptr_t wParam, std::intptr_t lParam);
  void OnWheelMessage(std::uintptr_t wParam, std::intptr_t lParam);
  void OnHoverMessage();
  void OnLeaveMessage();
  void OnKeyDown(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  // The key passes to the host: the root window, then the default procedure.
  std::intptr_t PassKeyOn(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  void CursorInClient(int& x, int& y) const;

  HINSTANCE__* instance_ = nullptr;
  HWND__* window_ = nullptr;
  HWND__* tooltip_ = nullptr;
  Win32WindowClient* client_ = nullptr;
  Win32TextEntry entry_;
  int timerPeriodMs_ = 40;
  bool tooltipShowing_ = false;
  // True while a press in this window began the gesture now running.
  bool captured_ = false;
};

}  // namespace win32gui
