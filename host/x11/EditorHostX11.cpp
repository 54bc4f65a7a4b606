#include "host/x11/EditorHostX11.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>

using namespace Steinberg;

namespace mirel::host {

namespace {

std::atomic<int> gHostXErrors{0};

// The host's own connection: an error in one of its requests is counted,
// never fatal (Xlib's default handler would end the process).
int CountXError(::Display*, XErrorEvent*) {
  ++gHostXErrors;
  return 0;
}

// 8-bit value of a pixel's channel under `mask`.
std::uint32_t Channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1UL) == 0) ++shift;
  const unsigned long max = mask >> shift;
  return static_cast<std::uint32_t>((((pixel & mask) >> shift) * 255 + max / 2) / max);
}

}  // namespace

// ---- the frame -----------------------------------------------------------------

tresult PLUGIN_API PlugFrameX11::queryInterface(const TUID queried, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  *obj = nullptr;
  if (FUnknownPrivate::iidEqual(queried, FUnknown::iid) ||
      FUnknownPrivate::iidEqual(queried, IPlugFrame::iid)) {
    *obj = static_cast<IPlugFrame*>(this);
  } else if (offerRunLoop_ && FUnknownPrivate::iidEqual(queried, Linux::IRunLoop::iid)) {
    *obj = static_cast<Linux::IRunLoop*>(this);
  } else {
    return kNoInterface;
  }
  addRef();
  return kResultOk;
}

tresult PLUGIN_API PlugFrameX11::resizeView(IPlugView* view, ViewRect* rect) {
  if (view == nullptr || rect == nullptr || rect->getWidth() <= 0 || rect->getHeight() <= 0) {
    return kInvalidArgument;
  }
  requests_.push_back(*rect);
  if (window_ != 0) {
    XResizeWindow(display_.Get(), window_, static_cast<unsigned>(rect->getWidth()),
                  static_cast<unsigned>(rect->getHeight()));
  }
  return view->onSize(rect);
}

// ---- the display -----------------------------------------------------------------

std::unique_ptr<X11Display> X11Display::Open(const char* name, std::string& error) {
  ::Display* display = XOpenDisplay(name);
  if (display == nullptr) {
    const char* shown = name != nullptr ? name : std::getenv("DISPLAY");
    error = std::string("cannot open X display ") + (shown != nullptr ? shown : "(DISPLAY not set)");
    return nullptr;
  }
  XSetErrorHandler(CountXError);
  std::unique_ptr<X11Display> result(new X11Display());
  result->display_ = display;
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  result->hasXTest_ = XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor) != 0;
  result->deleteWindow_ = XInternAtom(display, "WM_DELETE_WINDOW", False);
  return result;
}

X11Display::~X11Display() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

int X11Display::ErrorCount() { return gHostXErrors.load(); }

bool X11Display::CloseRequested(::Window window) const {
  return std::find(closeRequests_.begin(), closeRequests_.end(), window) != closeRequests_.end();
}

void X11Display::DrainOwnEvents() {
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type == ClientMessage &&
        static_cast<::Atom>(event.xclient.data.l[0]) == deleteWindow_) {
      closeRequests_.push_back(event.xclient.window);
    }
  }
}

void X11Display::Pump(int ms) {
  PumpUntil([] { return false; }, ms);
}

bool X11Display::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    DrainOwnEvents();
    if (done()) return true;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    XFlush(display_);
    loop_.RunOnce(static_cast<int>(std::min<long long>(left, 10)), ConnectionNumber(display_));
  }
}

void X11Display::Settle() {
  XSync(display_, False);
  Pump(15);
}

bool X11Display::MovePointer(::Window window, int x, int y) {
  int rootX = 0, rootY = 0;
  ::Window child = 0;
  if (!hasXTest_ || window == 0 ||
      !XTranslateCoordinates(display_, window, DefaultRootWindow(display_), x, y, &rootX, &rootY,
                             &child)) {
    return false;
  }
  XTestFakeMotionEvent(display_, -1, rootX, rootY, CurrentTime);
  Settle();
  return true;
}

bool X11Display::Button(unsigned button, bool press) {
  if (!hasXTest_) return false;
  XTestFakeButtonEvent(display_, button, press ? True : False, CurrentTime);
  Settle();
  return true;
}

bool X11Display::Key(unsigned long keysym, bool press) {
  const KeyCode code = XKeysymToKeycode(display_, keysym);
  if (!hasXTest_ || code == 0) return false;
  XTestFakeKeyEvent(display_, code, press ? True : False, CurrentTime);
  Settle();
  return true;
}

// ---- one editor window ---------------------------------------------------------------

EditorHostX11::EditorHostX11(X11Display& display, bool offerRunLoop)
    : display_(display), offerRunLoop_(offerRunLoop) {}

EditorHostX11::~EditorHostX11() { Close(); }

bool EditorHostX11::Open(IPlugView* view, std::string& error, tresult* attachResult) {
  Close();
  if (view == nullptr) {
    error = "no view";
    return false;
  }
  if (view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID) != kResultOk) {
    error = "the view does not support X11EmbedWindowID";
    return false;
  }
  ViewRect size;
  if (view->getSize(&size) != kResultOk || size.getWidth() <= 0 || size.getHeight() <= 0) {
    error = "the view reports no size";
    return false;
  }
  ::Display* dpy = display_.Get();
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(dpy, DefaultScreen(dpy));
  top_ = XCreateWindow(dpy, DefaultRootWindow(dpy), x_, y_, static_cast<unsigned>(size.getWidth()),
                       static_cast<unsigned>(size.getHeight()), 0, CopyFromParent, InputOutput,
                       CopyFromParent, CWBackPixel, &attributes);
  ::Atom protocols[] = {display_.DeleteWindowAtom()};
  XSetWMProtocols(dpy, top_, protocols, 1);
  XStoreName(dpy, top_, "mirel-editor");
  XMapWindow(dpy, top_);
  XSync(dpy, False);
  topGone_ = false;

  view_ = view;
  size_ = size;
  frame_ = owned(new PlugFrameX11(display_, top_, offerRunLoop_));
  view->setFrame(frame_.get());
  const tresult answer =
      view->attached(reinterpret_cast<void*>(top_), kPlatformTypeX11EmbedWindowID);
  if (attachResult != nullptr) *attachResult = answer;
  if (answer != kResultOk) {
    error = "the view refused to attach (" + std::to_string(answer) + ")";
    Close();
    return false;
  }
  attached_ = true;
  display_.Pump(10);
  return true;
}

void EditorHostX11::Close() {
  if (view_) {
    if (attached_) view_->removed();
    view_->setFrame(nullptr);
  }
  attached_ = false;
  view_ = nullptr;
  if (frame_) frame_->Detach();
  frame_ = nullptr;
  if (top_ != 0 && !topGone_) {
    XDestroyWindow(display_.Get(), top_);
    XSync(display_.Get(), False);
  }
  top_ = 0;
  topGone_ = false;
}

void EditorHostX11::DestroyTopWindowFirst() {
  if (top_ == 0 || topGone_) return;
  if (frame_) frame_->Detach();
  XDestroyWindow(display_.Get(), top_);
  XSync(display_.Get(), False);
  topGone_ = true;
}

bool EditorHostX11::CloseRequested() const { return top_ != 0 && display_.CloseRequested(top_); }

const std::vector<ViewRect>& EditorHostX11::ResizeRequests() const {
  static const std::vector<ViewRect> kNone;
  return frame_ ? frame_->Requests() : kNone;
}

::Window EditorHostX11::PluginWindow() const {
  if (top_ == 0 || topGone_) return 0;
  ::Window root = 0, parent = 0;
  ::Window* children = nullptr;
  unsigned count = 0;
  ::Window result = 0;
  if (XQueryTree(display_.Get(), top_, &root, &parent, &children, &count) != 0) {
    if (count > 0) result = children[0];
    if (children != nullptr) XFree(children);
  }
  return result;
}

bool EditorHostX11::Capture(EditorImage& out) const {
  return CaptureWindow(display_.Get(), PluginWindow(), out);
}

bool CaptureWindow(::Display* dpy, ::Window window, EditorImage& out) {
  XWindowAttributes attributes{};
  if (window == 0 || XGetWindowAttributes(dpy, window, &attributes) == 0) return false;
  XImage* image = XGetImage(dpy, window, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  const Visual* visual = attributes.visual;
  out.width = attributes.width;
  out.height = attributes.height;
  out.pixels.assign(static_cast<std::size_t>(out.width) * out.height, 0);
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      out.pixels[static_cast<std::size_t>(y) * out.width + x] =
          0xff000000U | Channel(p, visual->red_mask) << 16 | Channel(p, visual->green_mask) << 8 |
          Channel(p, visual->blue_mask);
    }
  }
  XDestroyImage(image);
  return true;
}

bool EditorHostX11::MouseDown(int x, int y, bool right) {
  return display_.MovePointer(PluginWindow(), x, y) && display_.Button(right ? 3 : 1, true);
}

bool EditorHostX11::MouseMove(int x, int y) { return display_.MovePointer(PluginWindow(), x, y); }

bool EditorHostX11::MouseUp(int x, int y, bool right) {
  return display_.MovePointer(PluginWindow(), x, y) && display_.Button(right ? 3 : 1, false);
}

bool EditorHostX11::Wheel(int x, int y, int notches) {
  if (!display_.MovePointer(PluginWindow(), x, y)) return false;
  const unsigned button = notches > 0 ? 4 : 5;
  for (int i = 0; i < std::abs(notches); ++i) {
    if (!display_.Button(button, true) || !display_.Button(button, false)) return false;
  }
  return true;
}

bool EditorHostX11::Key(const std::string& name) {
  const unsigned long keysym = KeysymFromName(name);
  return keysym != 0 && display_.Key(keysym, true) && display_.Key(keysym, false);
}

bool EditorHostX11::ResizeByHandle(int width, int height, ViewRect& taken, bool askConstraint) {
  if (top_ == 0 || topGone_ || !ResizeViewByHandle(view_.get(), frame_.get(), width, height, taken, askConstraint)) {
    return false;
  }
  XSync(display_.Get(), False);
  display_.Pump(10);
  return true;
}

bool EditorHostX11::Perform(const EditorAction& a) {
  switch (a.kind) {
    case EditorAction::Kind::kClick:
    case EditorAction::Kind::kRightClick: {
      const bool right = a.kind == EditorAction::Kind::kRightClick;
      return MouseDown(a.x, a.y, right) && MouseUp(a.x, a.y, right);
    }
    case EditorAction::Kind::kDoubleClick:
      // Two presses well inside the double-click time, at one place.
      return MouseDown(a.x, a.y) && MouseUp(a.x, a.y) && MouseDown(a.x, a.y) && MouseUp(a.x, a.y);
    case EditorAction::Kind::kDrag: {
      if (!MouseDown(a.x, a.y)) return false;
      const int steps = std::clamp(std::max(std::abs(a.dx), std::abs(a.dy)), 1, 10);
      for (int i = 1; i <= steps; ++i) {
        if (!MouseMove(a.x + a.dx * i / steps, a.y + a.dy * i / steps)) return false;
      }
      return MouseUp(a.x + a.dx, a.y + a.dy);
    }
    case EditorAction::Kind::kWheel:
      return Wheel(a.x, a.y, a.amount);
    case EditorAction::Kind::kMove:
      return MouseMove(a.x, a.y);
    case EditorAction::Kind::kKey:
      return Key(a.text);
    case EditorAction::Kind::kType:
      for (const char c : a.text) {
        if (!Key(c == ' ' ? std::string("space") : std::string(1, c))) return false;
      }
      return true;
    case EditorAction::Kind::kWait:
      Pump(a.amount);
      return true;
  }
  return false;
}

unsigned long KeysymFromName(const std::string& name) {
  if (name.size() == 1) {
    const char c = name[0];
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return static_cast<unsigned long>(c);
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned long>(c - 'A' + 'a');
    return 0;
  }
  static const struct {
    const char* name;
    unsigned long keysym;
  } kNames[] = {{"space", XK_space},   {"up", XK_Up},         {"down", XK_Down},
                {"left", XK_Left},     {"right", XK_Right},   {"enter", XK_Return},
                {"escape", XK_Escape}, {"tab", XK_Tab},       {"backspace", XK_BackSpace}};
  for (const auto& n : kNames) {
    if (name == n.name) return n.keysym;
  }
  return 0;
}

}  // namespace mirel::host
