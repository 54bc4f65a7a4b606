#pragma once
// A Windows host window for a plug-in's editor: a top-level window, an
// IPlugFrame that honours the plug-in's resize requests, the view attached
// with platform type "HWND", a message loop, read-back of the plug-in's
// window and mouse and key input delivered to it as the system would.
// Everything here runs on the thread that created the host (the window
// thread of a DAW).

#include <windows.h>

#include <string>
#include <vector>

#include "host/EditorActions.h"
#include "host/EditorImage.h"
#include "host/HostObject.h"
#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

namespace mirel::host {

// A window's client pixels as the screen shows them (alpha set to 255);
// false for no window or an empty one.
bool CaptureWindow(HWND window, EditorImage& out);

// Resizes its window's client area to each request and tells the view.
class PlugFrameWin : public HostObject<Steinberg::IPlugFrame> {
 public:
  explicit PlugFrameWin(HWND window) : window_(window) {}

  Steinberg::tresult PLUGIN_API resizeView(Steinberg::IPlugView* view, Steinberg::ViewRect* newSize) override;

  // Every request so far, oldest first.
  const std::vector<Steinberg::ViewRect>& Requests() const { return requests_; }
  void Detach() { window_ = nullptr; }

 private:
  HWND window_;
  std::vector<Steinberg::ViewRect> requests_;
};

class EditorHostWin {
 public:
  EditorHostWin();
  ~EditorHostWin();  // Close()
  EditorHostWin(const EditorHostWin&) = delete;
  EditorHostWin& operator=(const EditorHostWin&) = delete;

  // Sets the frame, checks "HWND", sizes a new top-level window to the
  // view's size and attaches the view to it. The view is referenced until
  // Close. False and `error` set on refusal (nothing stays open then).
  bool Open(Steinberg::IPlugView* view, std::string& error);
  // removed() on the view, frame cleared, host window destroyed. Safe twice.
  void Close();
  bool IsOpen() const { return view_ != nullptr; }
  // True once the user asked to close the host window (its close box).
  bool CloseRequested() const;

  // Runs this thread's message loop for `milliseconds` (timers and painting
  // happen), for any window of the thread, this host's or another's.
  static void Pump(int milliseconds);
  // Dispatches what is queued now, without waiting.
  static void Drain();

  HWND TopWindow() const { return top_; }
  // The plug-in's window: the first child of the host window (null if none).
  HWND PluginWindow() const;
  PlugFrameWin* Frame() const { return frame_.get(); }
  Steinberg::IPlugView* View() const { return view_.get(); }
  // The size the view reported when it was opened.
  const Steinberg::ViewRect& OpenedSize() const { return size_; }

  // The plug-in window's pixels as the screen shows them (alpha set to 255).
  bool Capture(EditorImage& out) const;

  // Input, posted to the plug-in's window (keys and characters to the window
  // with the keyboard focus) and dispatched before returning. Coordinates
  // are the plug-in window's client pixels.
  void MouseDown(int x, int y, bool right = false);
  void MouseMove(int x, int y, bool leftHeld);
  void MouseUp(int x, int y, bool right = false);
  void DoubleClick(int x, int y);
  // Wheel in raw units (120 per notch).
  void Wheel(int x, int y, int units);
  void Key(int virtualKey);
  void TypeText(const std::string& text);

  // Replays one action; false for an action this host cannot perform.
  bool Perform(const EditorAction& action);

 private:
  void Post(HWND target, UINT message, WPARAM wParam, LPARAM lParam);
  HWND KeyTarget() const;

  HWND top_ = nullptr;
  Steinberg::IPtr<Steinberg::IPlugView> view_;
  Steinberg::IPtr<PlugFrameWin> frame_;
  Steinberg::ViewRect size_{};
};

// Windows virtual-key code for a key name of the action scripts (0: unknown).
int VirtualKeyFromName(const std::string& name);

}  // namespace mirel::host
