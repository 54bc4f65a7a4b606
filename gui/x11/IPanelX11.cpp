#include "gui/x11/IPanelX11.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "raster/RAS_Bitmap.h"
#include "raster/RAS_Png.h"

namespace {

// The folder of a path, with its trailing '/'; empty without one.
std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home != nullptr && home[0] == '/' ? std::string(home) + "/" : std::string();
}

}  // namespace

IPanelX11::~IPanelX11() { CloseWindow(); }

void IPanelX11::SetRunLoop(X11RunLoop* loop) {
  if (loop == runLoop_) return;
  CloseWindow();
  runLoop_ = loop;
}

NativeWindow IPanelX11::OpenWindow(NativeWindow parent) {
  CloseWindow();
  if (runLoop_ == nullptr || parent == nullptr) return nullptr;
  std::string error;
  const auto parentId = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(parent));
  if (!window_.Open(parentId, WindowWidth(), WindowHeight(), error)) return nullptr;
  // Linux hosts commonly send no scale or 1 whatever the desktop's; nothing
  // else scales the window there, so the desktop's counts when it is larger.
  SetDesktopScale(window_.DesktopDpi() / 96.0);
  loopStarted_ = runLoop_->Start(
      window_.FileDescriptor(), [this] { OnReadable(); }, TimerPeriodMs(), [this] { OnTick(); });
  if (!loopStarted_) {
    window_.Close();
    return nullptr;
  }
  // The first paint shows what arrived while the window was closed.
  ApplyPendingValues();
  SetAllControlsDirty();
  return GetWindow();
}

void IPanelX11::CloseWindow() {
  if (loopStarted_ && runLoop_ != nullptr) runLoop_->Stop();
  loopStarted_ = false;
  // Closed in the middle of a drag: the host still hears the gesture's end.
  if (window_.IsOpen()) OnPointerLost();
  window_.Close();
}

void IPanelX11::OnPointerLost() { CancelGestures(); }

NativeWindow IPanelX11::GetWindow() {
  return window_.IsOpen() ? reinterpret_cast<NativeWindow>(static_cast<std::uintptr_t>(window_.Window()))
                          : nullptr;
}

void IPanelX11::OnReadable() {
  window_.DispatchEvents(*this);
  // A lost connection stays readable for ever; the host's loop would spin.
  if (window_.ConnectionLost() && loopStarted_ && runLoop_ != nullptr) {
    runLoop_->Stop();
    loopStarted_ = false;
  }
}

void IPanelX11::OnTick() {
  // Replies read since the last callback may have queued events that the
  // descriptor no longer signals.
  window_.DispatchEvents(*this);
  if (!window_.Usable()) return;
  const PixelRect dirty = TimerTick();
  if (!dirty.IsEmpty()) Paint(dirty);
}

bool IPanelX11::DrawScreen(const PixelRect& rect) {
  // Like a paint on other platforms this always succeeds: with no window
  // (closed, or gone with the host's) the back buffer simply stays unseen.
  RAS_IBitmap* back = BackBuffer();
  if (back == nullptr || back->getBits() == nullptr) return true;
  // Whatever the picture does not cover is the margin's, drawn with it.
  const DisplayScale::WindowPlaces places = WindowPlaces();
  for (int i = 0; i < places.nMargins; ++i) window_.Fill(places.margins[i], MarginColour().Packed());
  const PixelRect inside = ToDevice(rect).Clip(PixelRect{0, 0, back->getWidth(), back->getHeight()});
  if (inside.W() > 0 && inside.H() > 0) {
    window_.Put(back->getBits(), back->getRowSpan(), inside, inside.left + places.picture.left,
                inside.top + places.picture.top);
  }
  return true;
}

void IPanelX11::Resize(int width, int height) {
  if (width == Width() && height == Height()) return;
  IPanel::Resize(width, height);
  if (!window_.Usable()) return;
  window_.Resize(WindowWidth(), WindowHeight());
  Paint(PixelRect{0, 0, width, height});
}

void IPanelX11::ScaleChanged() {
  if (!window_.Usable()) return;
  window_.Resize(WindowWidth(), WindowHeight());
  Paint(PixelRect{0, 0, Width(), Height()});
}

IPopupMenu* IPanelX11::ShowPopupMenu(IPopupMenu* /*menu*/, const PixelRect& /*rect*/) {
  ReleaseMouseHolder();
  return nullptr;
}

void IPanelX11::GetHostPath(std::string& out) {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  out = n > 0 ? FolderOf(std::string(path, static_cast<std::size_t>(n))) : std::string();
}

void IPanelX11::GetModulePath(std::string& out) {
  Dl_info info{};
  static const int anchor = 0;  // any object of this module
  out = dladdr(&anchor, &info) != 0 && info.dli_fname != nullptr ? FolderOf(info.dli_fname) : std::string();
}

void IPanelX11::GetDesktopPath(std::string& out) {
  const std::string home = HomeFolder();
  out = home.empty() ? home : home + "Desktop/";
}

void IPanelX11::GetAppDataPath(std::string& out, bool allUsers) {
  if (allUsers) {
    out = "/usr/local/share/";
    return;
  }
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') {
    out = std::string(data) + "/";
    return;
  }
  const std::string home = HomeFolder();
  out = home.empty() ? home : home + ".local/share/";
}

std::unique_ptr<RAS_IBitmap> IPanelX11::LoadBitmapFromResource(int id, const char* name) {
  return ::LoadBitmapFromResource(id, name);
}

// ---- gestures from the window ------------------------------------------------------

void IPanelX11::OnExpose(const PixelRect& area) {
  // An area of margins alone still paints them.
  Paint(WindowToLogical(area));
}

void IPanelX11::OnButtonDown(int x, int y, const MouseMods& mods) {
  OnMouseDown(WindowToLogicalX(x), WindowToLogicalY(y), mods);
}

void IPanelX11::OnDoubleClick(int x, int y, const MouseMods& mods) {
  // Taken as a click, the control holds the pointer (the server's implicit
  // grab keeps it with this window) and the release ends its edit.
  OnMouseDblClick(WindowToLogicalX(x), WindowToLogicalY(y), mods);
}

void IPanelX11::OnButtonUp(int x, int y, const MouseMods& mods) {
  OnMouseUp(WindowToLogicalX(x), WindowToLogicalY(y), mods);
}

void IPanelX11::OnDrag(int x, int y, const MouseMods& mods) {
  OnMouseDrag(WindowToLogicalX(x), WindowToLogicalY(y), mods);
}

void IPanelX11::OnHover(int x, int y, const MouseMods& mods) {
  OnMouseOver(WindowToLogicalX(x), WindowToLogicalY(y), mods);
}

void IPanelX11::OnWheel(int x, int y, const MouseMods& mods, int notches) {
  OnMouseWheel(WindowToLogicalX(x), WindowToLogicalY(y), mods, notches * kWheelUnitsPerNotch);
}

void IPanelX11::OnLeave() { OnMouseOut(); }

bool IPanelX11::OnKey(int x, int y, int keyCode) { return OnKeyDown(WindowToLogicalX(x), WindowToLogicalY(y), keyCode); }
