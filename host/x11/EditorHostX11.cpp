#include "EditorHostX11.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <png.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace Steinberg;

namespace mirel::host {

namespace {

std::atomic<int> gHostXErrors{0};

// The host's own connection: an error in one of our requests is counted,
// never fatal (Xlib's default handler would end the process).
int CountXError(::Display*, XErrorEvent*) {
  ++gHostXErrors;
  return 0;
}

}  // namespace

// ---- PNG ---------------------------------------------------------------------

bool WriteRgbaPng(const std::string& path, const RgbaImage& image, std::string& error) {
  if (image.width <= 0 || image.height <= 0 ||
      image.rgba.size() != static_cast<std::size_t>(image.width) * image.height * 4) {
    error = "no image to write";
    return false;
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot create " + path;
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
      png_write_row(png, image.rgba.data() + static_cast<std::size_t>(y) * image.width * 4);
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
  if (std::fclose(file) != 0) ok = false;
  if (!ok) error = "writing " + path + " failed";
  return ok;
}

// ---- the frame ----------------------------------------------------------------

// The view's IPlugFrame; also the host's IRunLoop unless the host is told to
// pretend it has none.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class EditorFrameX11 : public IPlugFrame, public Linux::IRunLoop {
 public:
  EditorFrameX11(X11Display& display, ::Window window, bool offerRunLoop)
      : display_(display), window_(window), offerRunLoop_(offerRunLoop) {}
  virtual ~EditorFrameX11() = default;

  uint32 PLUGIN_API addRef() override { return ++refs_; }
  uint32 PLUGIN_API release() override {
    const uint32 left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  tresult PLUGIN_API queryInterface(const TUID queried, void** obj) override {
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

  tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* rect) override {
    if (view == nullptr || rect == nullptr || rect->getWidth() <= 0 || rect->getHeight() <= 0) {
      return kInvalidArgument;
    }
    ++resizeRequests_;
    if (window_ != 0) {
      XResizeWindow(display_.Get(), window_, static_cast<unsigned>(rect->getWidth()),
                    static_cast<unsigned>(rect->getHeight()));
    }
    return view->onSize(rect);
  }

  tresult PLUGIN_API registerEventHandler(Linux::IEventHandler* handler,
                                          Linux::FileDescriptor fd) override {
    return display_.Loop().RegisterEventHandler(handler, fd);
  }
  tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler* handler) override {
    return display_.Loop().UnregisterEventHandler(handler);
  }
  tresult PLUGIN_API registerTimer(Linux::ITimerHandler* handler,
                                   Linux::TimerInterval milliseconds) override {
    return display_.Loop().RegisterTimer(handler, milliseconds);
  }
  tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* handler) override {
    return display_.Loop().UnregisterTimer(handler);
  }

  void ForgetWindow() { window_ = 0; }
  int ResizeRequests() const { return resizeRequests_; }

 private:
  std::atomic<uint32> refs_{1};
  X11Display& display_;
  ::Window window_;
  bool offerRunLoop_;
  int resizeRequests_ = 0;
};
#pragma GCC diagnostic pop

// ---- the display ----------------------------------------------------------------

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
  return result;
}

X11Display::~X11Display() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

int X11Display::ErrorCount() { return gHostXErrors.load(); }

void X11Display::DrainOwnEvents() {
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
  }
}

void X11Display::RunFor(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    DrainOwnEvents();
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    loop_.RunOnce(static_cast<int>(left), ConnectionNumber(display_));
  }
  DrainOwnEvents();
}

bool X11Display::RunUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    DrainOwnEvents();
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0) return done();
    loop_.RunOnce(static_cast<int>(std::min<long long>(left, 10)), ConnectionNumber(display_));
  }
  return true;
}

void X11Display::Settle() {
  XSync(display_, False);
  RunFor(15);
}

bool X11Display::MovePointer(::Window window, int x, int y) {
  if (!hasXTest_) return false;
  int rootX = 0, rootY = 0;
  ::Window child = 0;
  if (!XTranslateCoordinates(display_, window, DefaultRootWindow(display_), x, y, &rootX, &rootY,
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

// ---- one editor window ----------------------------------------------------------

std::unique_ptr<EditorWindowX11> EditorWindowX11::Open(X11Display& display,
                                                       Vst::IEditController* controller,
                                                       const Options& options, std::string& error,
                                                       tresult* attachResult) {
  if (attachResult != nullptr) *attachResult = kNotInitialized;
  if (controller == nullptr) {
    error = "no edit controller";
    return nullptr;
  }
  std::unique_ptr<EditorWindowX11> self(new EditorWindowX11(display));
  self->view_ = owned(controller->createView(Vst::ViewType::kEditor));
  if (!self->view_) {
    error = "the controller has no editor view";
    return nullptr;
  }
  if (self->view_->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID) != kResultOk) {
    error = "the view does not support X11EmbedWindowID";
    return nullptr;
  }
  ViewRect size;
  if (self->view_->getSize(&size) != kResultOk || size.getWidth() <= 0 || size.getHeight() <= 0) {
    error = "the view reports no size";
    return nullptr;
  }
  self->width_ = size.getWidth();
  self->height_ = size.getHeight();

  ::Display* dpy = display.Get();
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(dpy, DefaultScreen(dpy));
  // The plug-in's window is placed where asked even without a window manager.
  self->topLevel_ = XCreateWindow(dpy, DefaultRootWindow(dpy), options.x, options.y,
                                  static_cast<unsigned>(self->width_),
                                  static_cast<unsigned>(self->height_), 0, CopyFromParent,
                                  InputOutput, CopyFromParent, CWBackPixel, &attributes);
  XStoreName(dpy, self->topLevel_, options.title.c_str());
  XMapWindow(dpy, self->topLevel_);
  XSync(dpy, False);

  self->frame_ = owned(new EditorFrameX11(display, self->topLevel_, options.offerRunLoop));
  self->view_->setFrame(self->frame_.get());
  const tresult attached = self->view_->attached(reinterpret_cast<void*>(self->topLevel_),
                                                 kPlatformTypeX11EmbedWindowID);
  if (attachResult != nullptr) *attachResult = attached;
  if (attached != kResultOk) {
    error = "attached answered " + std::to_string(attached);
    return nullptr;  // the destructor releases the view and the window
  }
  self->attached_ = true;
  display.RunFor(10);
  return self;
}

EditorWindowX11::~EditorWindowX11() { Close(); }

void EditorWindowX11::Close() {
  if (view_) {
    if (attached_) view_->removed();
    attached_ = false;
    view_->setFrame(nullptr);
    view_ = nullptr;
  }
  if (frame_) frame_->ForgetWindow();
  frame_ = nullptr;
  if (topLevel_ != 0 && !topLevelGone_) {
    XDestroyWindow(display_.Get(), topLevel_);
    XSync(display_.Get(), False);
  }
  topLevel_ = 0;
}

void EditorWindowX11::DestroyTopLevelFirst() {
  if (topLevel_ == 0 || topLevelGone_) return;
  if (frame_) frame_->ForgetWindow();
  XDestroyWindow(display_.Get(), topLevel_);
  XSync(display_.Get(), False);
  topLevelGone_ = true;
}

int EditorWindowX11::ResizeRequests() const { return frame_ ? frame_->ResizeRequests() : 0; }

::Window EditorWindowX11::PluginWindow() const {
  if (topLevel_ == 0 || topLevelGone_) return 0;
  ::Window root = 0, parent = 0;
  ::Window* children = nullptr;
  unsigned count = 0;
  ::Window result = 0;
  if (XQueryTree(display_.Get(), topLevel_, &root, &parent, &children, &count) != 0) {
    if (count > 0) result = children[0];
    if (children != nullptr) XFree(children);
  }
  return result;
}

namespace {

// 8-bit value of a pixel's channel under `mask`.
std::uint8_t Channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1UL) == 0) ++shift;
  const unsigned long max = mask >> shift;
  const unsigned long value = (pixel & mask) >> shift;
  return static_cast<std::uint8_t>((value * 255 + max / 2) / max);
}

}  // namespace

bool EditorWindowX11::Capture(RgbaImage& out, std::string& error) const {
  const ::Window window = PluginWindow();
  if (window == 0) {
    error = "the plug-in made no window";
    return false;
  }
  ::Display* dpy = display_.Get();
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(dpy, window, &attributes) == 0) {
    error = "the plug-in window has gone";
    return false;
  }
  XImage* image = XGetImage(dpy, window, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  if (image == nullptr) {
    error = "XGetImage failed";
    return false;
  }
  const Visual* visual = attributes.visual;
  out.width = attributes.width;
  out.height = attributes.height;
  out.rgba.assign(static_cast<std::size_t>(out.width) * out.height * 4, 0);
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      std::uint8_t* d = &out.rgba[(static_cast<std::size_t>(y) * out.width + x) * 4];
      d[0] = Channel(p, visual->red_mask);
      d[1] = Channel(p, visual->green_mask);
      d[2] = Channel(p, visual->blue_mask);
      d[3] = 255;
    }
  }
  XDestroyImage(image);
  return true;
}

bool EditorWindowX11::Click(int x, int y, unsigned button) {
  const ::Window window = PluginWindow();
  return window != 0 && display_.MovePointer(window, x, y) && display_.Button(button, true) &&
         display_.Button(button, false);
}

bool EditorWindowX11::Drag(int x, int y, int dx, int dy, int steps) {
  const ::Window window = PluginWindow();
  if (window == 0 || steps < 1) return false;
  if (!display_.MovePointer(window, x, y) || !display_.Button(1, true)) return false;
  bool ok = true;
  for (int i = 1; i <= steps; ++i) {
    ok = ok && display_.MovePointer(window, x + dx * i / steps, y + dy * i / steps);
  }
  return display_.Button(1, false) && ok;
}

bool EditorWindowX11::Wheel(int x, int y, int notches) {
  const ::Window window = PluginWindow();
  if (window == 0 || !display_.MovePointer(window, x, y)) return false;
  const unsigned button = notches > 0 ? 4 : 5;
  for (int i = 0; i < (notches > 0 ? notches : -notches); ++i) {
    if (!display_.Button(button, true) || !display_.Button(button, false)) return false;
  }
  return true;
}

}  // namespace mirel::host
