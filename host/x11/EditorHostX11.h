#pragma once
// An editor host for Linux: plug-in views embedded in top-level X11 windows,
// driven by a poll() run loop offered to the plug-in through IRunLoop on the
// view's IPlugFrame; capture of the plug-in's window and replay of mouse
// gestures through the XTest extension. Everything runs on one thread: the
// one that opened the display.

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PollRunLoop.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

namespace mirel::host {

// Pixels as red, green, blue, alpha bytes, rows top to bottom.
struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;
};

// Writes an 8-bit RGBA PNG. False and `error` set on failure.
bool WriteRgbaPng(const std::string& path, const RgbaImage& image, std::string& error);

class X11Display {
 public:
  // `name` null: the DISPLAY environment variable. Null and `error` set when
  // the server cannot be reached.
  static std::unique_ptr<X11Display> Open(const char* name, std::string& error);
  ~X11Display();
  X11Display(const X11Display&) = delete;
  X11Display& operator=(const X11Display&) = delete;

  ::Display* Get() const { return display_; }
  PollRunLoop& Loop() { return loop_; }
  bool HasXTest() const { return hasXTest_; }

  // Runs the loop, and drains this connection's own events, for `ms`.
  void RunFor(int ms);
  // Runs the loop until `done` answers true (true) or `timeoutMs` passed (false).
  bool RunUntil(const std::function<bool()>& done, int timeoutMs);

  // Real pointer input through XTest, at a point of `window`. Each call waits
  // until the server has handled it and runs the loop briefly, so the
  // plug-in has seen the event when the call returns.
  bool MovePointer(::Window window, int x, int y);
  bool Button(unsigned button, bool press);

  // X errors the host's own requests caused (the host's handler counts them).
  static int ErrorCount();

 private:
  X11Display() = default;
  void DrainOwnEvents();
  void Settle();

  ::Display* display_ = nullptr;
  bool hasXTest_ = false;
  PollRunLoop loop_;
};

class EditorFrameX11;

// One plug-in view in its own top-level window.
class EditorWindowX11 {
 public:
  struct Options {
    int x = 0;
    int y = 0;
    bool offerRunLoop = true;  // a host without IRunLoop when false
    std::string title = "Mirel";
  };

  // Creates the controller's "editor" view, gives it a frame, makes a
  // top-level window of the view's size and attaches the view with
  // "X11EmbedWindowID". Null and `error` set on any refusal; `attachResult`
  // (optional) receives the answer to attached.
  static std::unique_ptr<EditorWindowX11> Open(X11Display& display,
                                               Steinberg::Vst::IEditController* controller,
                                               const Options& options, std::string& error,
                                               Steinberg::tresult* attachResult = nullptr);
  ~EditorWindowX11();
  EditorWindowX11(const EditorWindowX11&) = delete;
  EditorWindowX11& operator=(const EditorWindowX11&) = delete;

  // removed, then the view is released and the top-level window destroyed.
  void Close();
  // Destroys the host window while the view is still attached, as a host
  // tearing down carelessly would; Close still calls removed afterwards.
  void DestroyTopLevelFirst();

  Steinberg::IPlugView* View() const { return view_.get(); }
  ::Window TopLevel() const { return topLevel_; }
  // The plug-in's window: the first child of the top-level window (0: none).
  ::Window PluginWindow() const;
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Resize requests the plug-in made through the frame.
  int ResizeRequests() const;

  // The plug-in window's pixels as the server shows them (alpha 255).
  bool Capture(RgbaImage& out, std::string& error) const;

  // Gestures in the plug-in window's coordinates, left button unless given.
  bool Click(int x, int y, unsigned button = 1);
  // Press at (x, y), move in `steps` equal steps by (dx, dy), release.
  bool Drag(int x, int y, int dx, int dy, int steps = 1);
  // Wheel notches away from the user (positive) or towards (negative).
  bool Wheel(int x, int y, int notches);

 private:
  EditorWindowX11(X11Display& display) : display_(display) {}

  X11Display& display_;
  Steinberg::IPtr<Steinberg::IPlugView> view_;
  Steinberg::IPtr<EditorFrameX11> frame_;
  ::Window topLevel_ = 0;
  bool attached_ = false;
  bool topLevelGone_ = false;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace mirel::host
