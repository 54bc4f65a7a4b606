#pragma once
// The editor's child window on an X server, through its own xcb connection:
// creation inside the host's window, copying 32-bit pixels to the screen
// (shared memory when the server offers it), and turning the server's events
// into editor gestures (clicks with a double-click rule, drags while a
// button holds the pointer, wheel notches, leave, keys). Nothing here knows
// the editor's controls; X11WindowClient receives the gestures.
//
// Errors never end the process: every request that can fail is checked or
// its error arrives as an event and is dropped. Xlib and its process-wide
// error handler are not involved.
//
// One thread: the host's editor thread, inside its run-loop callbacks.

#include <xcb/xcb.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gui/GuiTypes.h"
#include "gui/x11/XSettings.h"

namespace x11gui {

// Key codes of the editor: space 0, up 1, down 2, left 3, right 4, digits
// "0".."9" 5..14, letters "A".."Z" 15..40; -1 for any other key.
int KeyCodeFromKeysym(std::uint32_t keysym);

// The dots per inch an X resource database text (RESOURCE_MANAGER) gives
// as Xft.dpi; 0 when it gives none or no positive number.
double XftDpiFromResources(const char* text, std::size_t length);

class X11WindowClient {
 public:
  virtual ~X11WindowClient() = default;
  virtual void OnExpose(const PixelRect& area) = 0;
  // Left, middle or right button pressed.
  virtual void OnButtonDown(int x, int y, const MouseMods& mods) = 0;
  // The second left press of a double-click, instead of OnButtonDown.
  virtual void OnDoubleClick(int x, int y, const MouseMods& mods) = 0;
  // Left, middle or right button released.
  virtual void OnButtonUp(int x, int y, const MouseMods& mods) = 0;
  // Motion while the left or right button is held (the pointer is grabbed).
  virtual void OnDrag(int x, int y, const MouseMods& mods) = 0;
  // Motion with no button held.
  virtual void OnHover(int x, int y, const MouseMods& mods) = 0;
  // Wheel notches: positive away from the user.
  virtual void OnWheel(int x, int y, const MouseMods& mods, int notches) = 0;
  virtual void OnLeave() = 0;
  // The window lost the pointer (a grab changed hands while a button was
  // held, or the window was destroyed): no release will follow.
  virtual void OnPointerLost() = 0;
  // A mapped key at pointer position (x, y); true when it was taken.
  virtual bool OnKey(int x, int y, int keyCode) = 0;
};

class X11Window {
 public:
  X11Window() = default;
  ~X11Window();
  X11Window(const X11Window&) = delete;
  X11Window& operator=(const X11Window&) = delete;

  // Connects to the display named by DISPLAY and creates a mapped child
  // window of `parent` at (0, 0). False, with `error` set and nothing left
  // open, when the server cannot be reached or `parent` is no window.
  bool Open(std::uint32_t parent, int width, int height, std::string& error);
  // Destroys the window and closes the connection. Safe when closed.
  void Close();
  bool IsOpen() const { return connection_ != nullptr; }

  // The connection's descriptor for the host's run loop (-1 when closed).
  int FileDescriptor() const;
  std::uint32_t Window() const { return window_; }
  std::uint32_t Parent() const { return parent_; }
  // False once the server went away or the window was destroyed under us
  // (the host destroyed its parent first); drawing then does nothing.
  bool Usable() const;
  // The desktop's dots per inch, read when the window opened: its settings
  // manager's Xft/DPI, else the X resource Xft.dpi on the window's screen
  // (GTK and Qt read one each; a desktop sets both alike); 0 when the
  // desktop sets neither.
  double DesktopDpi() const { return desktopDpi_; }
  // True once the connection to the server is lost for good.
  bool ConnectionLost() const { return connection_ != nullptr && xcb_connection_has_error(connection_) != 0; }
  bool UsesSharedMemory() const { return shmSegment_ != 0; }
  // Whether the next Open may use shared memory (default yes; tests turn it
  // off to exercise the plain path a remote server takes).
  void AllowSharedMemory(bool allow) { shmAllowed_ = allow; }

  // Reads every event that has arrived and passes its gestures on. Call when
  // the descriptor is readable and on each timer tick (replies read in
  // between may have queued events without the descriptor signalling).
  void DispatchEvents(X11WindowClient& client);

  // Copies `area` of a 32-bit image (bytes blue, green, red, alpha; `rowSpan`
  // pixels per row; holding `area`) to the window, its top-left at
  // (toX, toY); what falls outside the window is left out.
  bool Put(const std::uint32_t* pixels, int rowSpan, const PixelRect& area, int toX, int toY);
  // Fills `area` of the window with a colour (alpha << 24 | red << 16 |
  // green << 8 | blue; the alpha is not used).
  bool Fill(const PixelRect& area, std::uint32_t colour);
  // The size of the screen the window is on (device pixels); false when closed.
  bool ScreenSize(int& width, int& height) const;

  // Resizes the window (the editor's size changed).
  void Resize(int width, int height);

 private:
  struct PixelFormat {
    int depth = 0;
    int bitsPerPixel = 0;
    int scanlinePad = 0;
    bool msbFirst = false;
    std::uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    bool direct = false;  // 32 bits per pixel, 8-bit channels where the raster has them
  };

  bool SetUpFormat(std::string& error);
  void SetUpSharedMemory();
  void FreeSharedMemory();
  void LoadKeyboardMap();
  void LoadDesktopSettings(std::uint32_t root);
  std::uint32_t KeysymOf(std::uint8_t keycode) const;
  bool FinishPendingPut();
  bool Viewable();
  // One handler per kind of event, as the server sends them.
  void HandleEvent(const xcb_generic_event_t* event, X11WindowClient& client);
  void OnErrorEvent(const xcb_generic_error_t& error);
  void OnExposeEvent(const xcb_expose_event_t& e, X11WindowClient& client);
  void OnDestroyEvent(const xcb_destroy_notify_event_t& e, X11WindowClient& client);
  void OnButtonPressEvent(const xcb_button_press_event_t& e, X11WindowClient& client);
  void OnButtonReleaseEvent(const xcb_button_release_event_t& e, X11WindowClient& client);
  void OnMotionEvent(const xcb_motion_notify_event_t& e, X11WindowClient& client);
  void OnLeaveEvent(const xcb_leave_notify_event_t& e, X11WindowClient& client);
  void OnKeyPressEvent(const xcb_key_press_event_t& e, X11WindowClient& client);
  // The key passes to the host: sent on to the parent window.
  void PassKeyOn(const xcb_key_press_event_t& e, std::uint32_t eventMask);
  // The press of a double-click: true when this left press at (x, y) at
  // `time` is the second of one (the next press then starts afresh).
  bool IsDoubleClick(int x, int y, std::uint32_t time);
  // The image a put copies from: window pixel (x, y) is the image's
  // (x + dx, y + dy).
  struct Source {
    const std::uint32_t* pixels;
    int rowSpan;
    int dx;
    int dy;
    const std::uint32_t* Row(int windowY) const {
      return pixels + static_cast<std::ptrdiff_t>(windowY + dy) * rowSpan;
    }
  };
  bool PutShared(const Source& from, const PixelRect& area);
  bool PutPlain(const Source& from, const PixelRect& area);
  void Encode(const std::uint32_t* src, int count, std::uint8_t* dst) const;
  // The window's pixel value of a colour.
  std::uint32_t PixelValue(std::uint32_t colour) const;

  xcb_connection_t* connection_ = nullptr;
  std::uint32_t parent_ = 0;
  std::uint32_t window_ = 0;
  double desktopDpi_ = 0.0;
  std::uint32_t gc_ = 0;
  bool windowGone_ = false;
  bool shmAllowed_ = true;
  int width_ = 0;
  int height_ = 0;
  int screenW_ = 0;
  int screenH_ = 0;
  PixelFormat format_;

  // Shared-memory image of the window's size.
  std::uint32_t shmSegment_ = 0;
  int shmId_ = -1;
  std::uint8_t* shmPixels_ = nullptr;
  std::size_t shmBytes_ = 0;
  unsigned pendingPut_ = 0;  // sequence of an unchecked shared put; 0 none
  bool putPending_ = false;

  // Keyboard map: keysyms per keycode from the first keycode on.
  std::uint8_t minKeycode_ = 0;
  int keysymsPerKeycode_ = 0;
  std::vector<std::uint32_t> keysyms_;

  // Double-click rule and state: the last left press.
  std::uint32_t doubleClickMs_ = kDoubleClickMs;
  int doubleClickDistance_ = kDoubleClickDistance;
  std::uint32_t lastPressTime_ = 0;
  int lastPressX_ = 0;
  int lastPressY_ = 0;
  bool lastPressValid_ = false;

  // Expose regions collected until the last of a series.
  PixelRect exposed_;
  std::vector<std::uint8_t> scratch_;
};

}  // namespace x11gui
