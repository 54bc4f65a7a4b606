#pragma once
// A Linux host window for a plug-in's editor: a top-level X11 window, an
// IPlugFrame that also answers Steinberg::Linux::IRunLoop (file-descriptor
// handlers and timers dispatched from poll()), the view attached with
// platform type "X11EmbedWindowID", read-back of the plug-in's window with
// XGetImage and real pointer and key input through the XTest extension.
// Everything here runs on the thread that opened the display (the window
// thread of a DAW).

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/EditorActions.h"
#include "host/EditorImage.h"
#include "host/x11/PollRunLoop.h"
#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

// Xlib's display record; Xlib's header stays out of our headers (its macros
// clash with ordinary names).
struct _XDisplay;

namespace mirel::host {

// An X window id (Xlib's Window).
using XWindowId = unsigned long;

// One connection to the X server with the run loop every editor host on it
// shares, so several editors can be open at once.
class X11Display {
 public:
  // `name` null: the DISPLAY environment variable. Null and `error` set when
  // the server cannot be reached.
  static std::unique_ptr<X11Display> Open(const char* name, std::string& error);
  ~X11Display();
  X11Display(const X11Display&) = delete;
  X11Display& operator=(const X11Display&) = delete;

  _XDisplay* Get() const { return display_; }
  PollRunLoop& Loop() { return loop_; }
  bool HasXTest() const { return hasXTest_; }

  // Runs the loop, and drains this connection's own events, for `ms`.
  void Pump(int ms);
  // Runs the loop until `done` answers true (true) or `timeoutMs` passed.
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

  // Real input through XTest. Each call waits until the server has handled
  // it and runs the loop briefly, so a plug-in has seen it on return.
  bool MovePointer(XWindowId window, int x, int y);
  bool Button(unsigned button, bool press);
  bool Key(unsigned long keysym, bool press);

  // X errors the host's own requests caused (counted, never fatal).
  static int ErrorCount();
  // The WM_DELETE_WINDOW atom top-level windows answer.
  unsigned long DeleteWindowAtom() const { return deleteWindow_; }
  // True once a close request for `window` arrived.
  bool CloseRequested(XWindowId window) const;

 private:
  X11Display() = default;
  void DrainOwnEvents();
  void Settle();

  _XDisplay* display_ = nullptr;
  bool hasXTest_ = false;
  unsigned long deleteWindow_ = 0;
  std::vector<XWindowId> closeRequests_;
  PollRunLoop loop_;
};

// The view's IPlugFrame: resizes its window to each request and tells the
// view; answers IRunLoop (the display's loop) unless made without it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class PlugFrameX11 : public Steinberg::IPlugFrame, public Steinberg::Linux::IRunLoop {
 public:
  PlugFrameX11(X11Display& display, XWindowId window, bool offerRunLoop)
      : display_(display), window_(window), offerRunLoop_(offerRunLoop) {}
  virtual ~PlugFrameX11() = default;
  PlugFrameX11(const PlugFrameX11&) = delete;
  PlugFrameX11& operator=(const PlugFrameX11&) = delete;

  Steinberg::uint32 PLUGIN_API addRef() override { return ++refs_; }
  Steinberg::uint32 PLUGIN_API release() override {
    const Steinberg::uint32 left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID queried, void** obj) override;

  Steinberg::tresult PLUGIN_API resizeView(Steinberg::IPlugView* view, Steinberg::ViewRect* rect) override;

  Steinberg::tresult PLUGIN_API registerEventHandler(Steinberg::Linux::IEventHandler* handler,
                                                     Steinberg::Linux::FileDescriptor fd) override {
    return display_.Loop().RegisterEventHandler(handler, fd);
  }
  Steinberg::tresult PLUGIN_API unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override {
    return display_.Loop().UnregisterEventHandler(handler);
  }
  Steinberg::tresult PLUGIN_API registerTimer(Steinberg::Linux::ITimerHandler* handler,
                                              Steinberg::Linux::TimerInterval milliseconds) override {
    return display_.Loop().RegisterTimer(handler, milliseconds);
  }
  Steinberg::tresult PLUGIN_API unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override {
    return display_.Loop().UnregisterTimer(handler);
  }

  void Detach() { window_ = 0; }
  const std::vector<Steinberg::ViewRect>& Requests() const { return requests_; }

 private:
  std::atomic<Steinberg::uint32> refs_{1};
  X11Display& display_;
  XWindowId window_;
  bool offerRunLoop_;
  std::vector<Steinberg::ViewRect> requests_;
};
#pragma GCC diagnostic pop

// A window's pixels as the server shows them (alpha 255).
bool CaptureWindow(_XDisplay* display, XWindowId window, EditorImage& out);

class EditorHostX11 {
 public:
  // `offerRunLoop` false makes a host whose frame has no IRunLoop.
  explicit EditorHostX11(X11Display& display, bool offerRunLoop = true);
  ~EditorHostX11();  // Close()
  EditorHostX11(const EditorHostX11&) = delete;
  EditorHostX11& operator=(const EditorHostX11&) = delete;

  // Where the next Open puts the top-level window (screen pixels).
  void SetPosition(int x, int y) {
    x_ = x;
    y_ = y;
  }
  // Sets the frame, checks "X11EmbedWindowID", makes a top-level window of
  // the view's size and attaches the view to it. The view is referenced
  // until Close. False and `error` set on refusal (nothing stays open then);
  // `attachResult` receives the answer to attached when it was asked.
  bool Open(Steinberg::IPlugView* view, std::string& error,
            Steinberg::tresult* attachResult = nullptr);
  // removed() on the view, frame cleared, host window destroyed. Safe twice.
  void Close();
  // Destroys the host window while the view stays attached, as a careless
  // host would; Close still calls removed afterwards.
  void DestroyTopWindowFirst();
  bool IsOpen() const { return view_ != nullptr; }
  bool CloseRequested() const;

  void Pump(int milliseconds) { display_.Pump(milliseconds); }

  XWindowId TopWindow() const { return top_; }
  // The plug-in's window: the first child of the host window (0 if none).
  XWindowId PluginWindow() const;
  Steinberg::IPlugView* View() const { return view_.get(); }
  const Steinberg::ViewRect& OpenedSize() const { return size_; }
  // Every resize request the plug-in made, oldest first.
  const std::vector<Steinberg::ViewRect>& ResizeRequests() const;

  // The plug-in window's pixels as the server shows them (alpha 255).
  bool Capture(EditorImage& out) const;

  // Input in the plug-in window's pixels, through XTest.
  bool MouseDown(int x, int y, bool right = false);
  bool MouseMove(int x, int y);
  bool MouseUp(int x, int y, bool right = false);
  // Wheel notches, positive away from the user (buttons 4 and 5).
  bool Wheel(int x, int y, int notches);
  // A key by the action scripts' name, pressed and released.
  bool Key(const std::string& name);

  // Resizes the editor as the window's resize handle would
  // (ResizeViewByHandle); `taken` receives the size given.
  bool ResizeByHandle(int width, int height, Steinberg::ViewRect& taken, bool askConstraint = true);

  // Replays one action; false for an action this host cannot perform.
  bool Perform(const EditorAction& action);

 private:
  X11Display& display_;
  bool offerRunLoop_;
  int x_ = 0;
  int y_ = 0;
  XWindowId top_ = 0;
  bool topGone_ = false;
  bool attached_ = false;
  Steinberg::IPtr<Steinberg::IPlugView> view_;
  Steinberg::IPtr<PlugFrameX11> frame_;
  Steinberg::ViewRect size_{};
};

// X keysym for a key name of the action scripts (0: unknown).
unsigned long KeysymFromName(const std::string& name);

}  // namespace mirel::host
