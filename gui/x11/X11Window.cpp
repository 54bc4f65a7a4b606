#include "gui/x11/X11Window.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace x11gui {

namespace {

template <class T>
struct FreeDeleter {
  void operator()(T* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter<T>>;

// True when the checked request succeeded; its error is freed.
bool Succeeded(xcb_connection_t* c, xcb_void_cookie_t cookie) {
  xcb_generic_error_t* error = xcb_request_check(c, cookie);
  std::free(error);
  return error == nullptr;
}

constexpr std::uint32_t kEventMask =
    XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
    XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_BUTTON_MOTION | XCB_EVENT_MASK_LEAVE_WINDOW |
    XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;

MouseMods ModsOf(std::uint16_t state) {
  MouseMods m;
  m.left = (state & XCB_BUTTON_MASK_1) != 0;
  m.right = (state & XCB_BUTTON_MASK_3) != 0;
  m.shift = (state & XCB_MOD_MASK_SHIFT) != 0;
  m.control = (state & XCB_MOD_MASK_CONTROL) != 0;
  m.alt = (state & XCB_MOD_MASK_1) != 0;
  return m;
}

// An area worth painting or copying (the server sends none without one).
bool HasArea(const PixelRect& r) { return r.W() > 0 && r.H() > 0; }

int ShiftOf(std::uint32_t mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1U) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

// An 8-bit channel scaled into `mask`.
std::uint32_t Scale(std::uint32_t value8, std::uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = ShiftOf(mask);
  const std::uint32_t max = mask >> shift;
  return ((value8 * max + 127) / 255) << shift;
}

}  // namespace

int KeyCodeFromKeysym(std::uint32_t keysym) {
  switch (keysym) {
    case 0x0020: return 0;   // space
    case 0xff52: return 1;   // Up
    case 0xff54: return 2;   // Down
    case 0xff51: return 3;   // Left
    case 0xff53: return 4;   // Right
    default: break;
  }
  if (keysym >= '0' && keysym <= '9') return 5 + static_cast<int>(keysym - '0');
  if (keysym >= 'a' && keysym <= 'z') return 15 + static_cast<int>(keysym - 'a');
  if (keysym >= 'A' && keysym <= 'Z') return 15 + static_cast<int>(keysym - 'A');
  return -1;
}

X11Window::~X11Window() { Close(); }

int X11Window::FileDescriptor() const {
  return connection_ != nullptr ? xcb_get_file_descriptor(connection_) : -1;
}

bool X11Window::Usable() const {
  return connection_ != nullptr && !windowGone_ && xcb_connection_has_error(connection_) == 0;
}

bool X11Window::Open(std::uint32_t parent, int width, int height, std::string& error) {
  Close();
  if (parent == 0 || width <= 0 || height <= 0 || width > 32767 || height > 32767) {
    error = "no parent window or no size";
    return false;
  }
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c) != 0) {
    xcb_disconnect(c);
    error = "cannot connect to the X display";
    return false;
  }
  connection_ = c;
  parent_ = parent;
  width_ = width;
  height_ = height;

  // The parent must exist; its root names the screen to use.
  Reply<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, parent), nullptr));
  if (!geometry) {
    error = "the parent is no window";
    Close();
    return false;
  }

  window_ = xcb_generate_id(c);
  const std::uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 0, kEventMask};
  // No background: the first paint covers everything, so nothing flickers.
  if (!Succeeded(c, xcb_create_window_checked(
                        c, XCB_COPY_FROM_PARENT, window_, parent, 0, 0,
                        static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                        XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                        XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK, values))) {
    window_ = 0;
    error = "the window could not be created in the parent";
    Close();
    return false;
  }
  gc_ = xcb_generate_id(c);
  const std::uint32_t gcValues[] = {0};
  if (!Succeeded(c, xcb_create_gc_checked(c, gc_, window_, XCB_GC_GRAPHICS_EXPOSURES, gcValues))) {
    gc_ = 0;
    error = "no graphics context";
    Close();
    return false;
  }
  if (!SetUpFormat(error)) {
    Close();
    return false;
  }
  SetUpSharedMemory();
  LoadKeyboardMap();
  LoadDesktopSettings(geometry->root);
  for (auto screen = xcb_setup_roots_iterator(xcb_get_setup(c)); screen.rem > 0; xcb_screen_next(&screen)) {
    if (screen.data->root != geometry->root) continue;
    screenW_ = screen.data->width_in_pixels;
    screenH_ = screen.data->height_in_pixels;
  }
  if (!Succeeded(c, xcb_map_window_checked(c, window_))) {
    error = "the window could not be shown";
    Close();
    return false;
  }
  return true;
}

bool X11Window::SetUpFormat(std::string& error) {
  xcb_connection_t* c = connection_;
  Reply<xcb_get_window_attributes_reply_t> attributes(
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window_), nullptr));
  Reply<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, window_), nullptr));
  if (!attributes || !geometry) {
    error = "the new window cannot be queried";
    return false;
  }
  const xcb_setup_t* setup = xcb_get_setup(c);
  format_ = PixelFormat{};
  format_.depth = geometry->depth;
  format_.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0; xcb_format_next(&f)) {
    if (f.data->depth == geometry->depth) {
      format_.bitsPerPixel = f.data->bits_per_pixel;
      format_.scanlinePad = f.data->scanline_pad;
    }
  }
  bool found = false;
  for (auto s = xcb_setup_roots_iterator(setup); s.rem > 0 && !found; xcb_screen_next(&s)) {
    for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem > 0 && !found;
         xcb_depth_next(&d)) {
      for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
        if (v.data->visual_id != attributes->visual) continue;
        format_.redMask = v.data->red_mask;
        format_.greenMask = v.data->green_mask;
        format_.blueMask = v.data->blue_mask;
        found = v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR ||
                v.data->_class == XCB_VISUAL_CLASS_DIRECT_COLOR;
        break;
      }
    }
  }
  if (!found || (format_.bitsPerPixel != 16 && format_.bitsPerPixel != 24 &&
                 format_.bitsPerPixel != 32)) {
    error = "the display has no true-colour visual for the window";
    return false;
  }
  format_.direct = format_.bitsPerPixel == 32 && !format_.msbFirst &&
                   format_.redMask == 0xff0000 && format_.greenMask == 0xff00 &&
                   format_.blueMask == 0xff;
  return true;
}

void X11Window::SetUpSharedMemory() {
  xcb_connection_t* c = connection_;
  if (!format_.direct || !shmAllowed_) return;
  const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_shm_id);
  if (ext == nullptr || ext->present == 0) return;
  Reply<xcb_shm_query_version_reply_t> version(
      xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr));
  if (!version) return;
  shmBytes_ = static_cast<std::size_t>(width_) * height_ * 4;
  shmId_ = shmget(IPC_PRIVATE, shmBytes_, IPC_CREAT | 0600);
  if (shmId_ < 0) return;
  void* address = shmat(shmId_, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    shmctl(shmId_, IPC_RMID, nullptr);
    shmId_ = -1;
    return;
  }
  shmPixels_ = static_cast<std::uint8_t*>(address);
  const std::uint32_t segment = xcb_generate_id(c);
  // A remote server cannot attach our memory: the plain path remains.
  const bool attached =
      Succeeded(c, xcb_shm_attach_checked(c, segment, static_cast<std::uint32_t>(shmId_), 0));
  // Marked for removal now, the segment disappears when both sides detach,
  // even if this process dies.
  shmctl(shmId_, IPC_RMID, nullptr);
  if (!attached) {
    shmdt(shmPixels_);
    shmPixels_ = nullptr;
    shmId_ = -1;
    return;
  }
  shmSegment_ = segment;
}

void X11Window::FreeSharedMemory() {
  if (connection_ != nullptr && shmSegment_ != 0) {
    FinishPendingPut();
    xcb_shm_detach(connection_, shmSegment_);
  }
  if (shmPixels_ != nullptr) shmdt(shmPixels_);
  shmSegment_ = 0;
  shmPixels_ = nullptr;
  shmId_ = -1;
  putPending_ = false;
}

void X11Window::LoadKeyboardMap() {
  xcb_connection_t* c = connection_;
  const xcb_setup_t* setup = xcb_get_setup(c);
  minKeycode_ = setup->min_keycode;
  const int count = setup->max_keycode - setup->min_keycode + 1;
  Reply<xcb_get_keyboard_mapping_reply_t> map(xcb_get_keyboard_mapping_reply(
      c, xcb_get_keyboard_mapping(c, setup->min_keycode, static_cast<std::uint8_t>(count)),
      nullptr));
  keysyms_.clear();
  keysymsPerKeycode_ = 0;
  if (!map) return;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
  const int length = xcb_get_keyboard_mapping_keysyms_length(map.get());
  keysyms_.assign(syms, syms + length);
  keysymsPerKeycode_ = map->keysyms_per_keycode;
}

void X11Window::LoadDesktopSettings(std::uint32_t root) {
  xcb_connection_t* c = connection_;
  DesktopSettings settings;
  int screen = 0;
  for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem > 0; xcb_screen_next(&it), ++screen) {
    if (it.data->root == root) break;
  }
  const std::string selection = "_XSETTINGS_S" + std::to_string(screen);
  static const char kProperty[] = "_XSETTINGS_SETTINGS";
  Reply<xcb_intern_atom_reply_t> selectionAtom(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 1, static_cast<std::uint16_t>(selection.size()), selection.c_str()), nullptr));
  Reply<xcb_intern_atom_reply_t> property(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 1, sizeof kProperty - 1, kProperty), nullptr));
  // Without a settings manager the atoms may not even exist.
  if (selectionAtom && selectionAtom->atom != XCB_ATOM_NONE && property && property->atom != XCB_ATOM_NONE) {
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selectionAtom->atom), nullptr));
    if (owner && owner->owner != XCB_WINDOW_NONE) {
      // The manager may vanish meanwhile: the reply is then missing or empty.
      Reply<xcb_get_property_reply_t> bytes(xcb_get_property_reply(
          c, xcb_get_property(c, 0, owner->owner, property->atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 16384), nullptr));
      if (bytes && bytes->format == 8) {
        ReadXSettings(static_cast<const std::uint8_t*>(xcb_get_property_value(bytes.get())),
                      static_cast<std::size_t>(xcb_get_property_value_length(bytes.get())), settings);
      }
    }
  }
  doubleClickMs_ = settings.doubleClickMs;
  doubleClickDistance_ = settings.doubleClickDistance;
  desktopDpi_ = settings.xftDpi;
  if (desktopDpi_ > 0.0) return;
  // The resource database: a text on the root window.
  Reply<xcb_get_property_reply_t> resources(xcb_get_property_reply(
      c, xcb_get_property(c, 0, root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 1 << 16), nullptr));
  if (resources && resources->format == 8) {
    desktopDpi_ = XftDpiFromResources(static_cast<const char*>(xcb_get_property_value(resources.get())),
                                      static_cast<std::size_t>(xcb_get_property_value_length(resources.get())));
  }
}

std::uint32_t X11Window::KeysymOf(std::uint8_t keycode) const {
  if (keysymsPerKeycode_ <= 0 || keycode < minKeycode_) return 0;
  const std::size_t at = static_cast<std::size_t>(keycode - minKeycode_) * keysymsPerKeycode_;
  return at < keysyms_.size() ? keysyms_[at] : 0;
}

void X11Window::Close() {
  if (connection_ == nullptr) return;
  FreeSharedMemory();
  if (Usable()) {
    if (gc_ != 0) xcb_free_gc(connection_, gc_);
    // The window may already be gone with its parent; the error is dropped
    // with the connection.
    if (window_ != 0) xcb_destroy_window(connection_, window_);
    xcb_flush(connection_);
  }
  xcb_disconnect(connection_);
  connection_ = nullptr;
  window_ = 0;
  gc_ = 0;
  parent_ = 0;
  windowGone_ = false;
  lastPressValid_ = false;
  exposed_ = PixelRect{};
  keysyms_.clear();
}

void X11Window::Resize(int width, int height) {
  if (!Usable() || width <= 0 || height <= 0 || (width == width_ && height == height_)) return;
  FreeSharedMemory();
  width_ = width;
  height_ = height;
  const std::uint32_t values[] = {static_cast<std::uint32_t>(width),
                                  static_cast<std::uint32_t>(height)};
  xcb_configure_window(connection_, window_, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                       values);
  SetUpSharedMemory();
  xcb_flush(connection_);
}

bool X11Window::Viewable() {
  Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
      connection_, xcb_get_window_attributes(connection_, window_), nullptr));
  return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool X11Window::FinishPendingPut() {
  if (!putPending_) return true;
  putPending_ = false;
  xcb_void_cookie_t cookie{pendingPut_};
  if (!Succeeded(connection_, cookie)) {
    windowGone_ = true;  // the only failure a valid put can have: the window went away
    return false;
  }
  return true;
}

void X11Window::DispatchEvents(X11WindowClient& client) {
  if (connection_ == nullptr) return;
  // Read everything first so that runs of motion can be merged: only the
  // last position of consecutive motion events is passed on.
  std::vector<Reply<xcb_generic_event_t>> events;
  while (xcb_generic_event_t* e = xcb_poll_for_event(connection_)) events.emplace_back(e);
  for (std::size_t i = 0; i < events.size(); ++i) {
    const auto type = static_cast<std::uint8_t>(events[i]->response_type & 0x7f);
    if (type == XCB_MOTION_NOTIFY && i + 1 < events.size() &&
        (events[i + 1]->response_type & 0x7f) == XCB_MOTION_NOTIFY) {
      continue;
    }
    HandleEvent(events[i].get(), client);
    if (connection_ == nullptr) return;  // the client closed the window
  }
}

void X11Window::HandleEvent(const xcb_generic_event_t* event, X11WindowClient& client) {
  const auto type = static_cast<std::uint8_t>(event->response_type & 0x7f);
  switch (type) {
    case 0:  // an error of an unchecked request
      OnErrorEvent(*reinterpret_cast<const xcb_generic_error_t*>(event));
      return;
    case XCB_EXPOSE:
      OnExposeEvent(*reinterpret_cast<const xcb_expose_event_t*>(event), client);
      return;
    case XCB_DESTROY_NOTIFY:
      OnDestroyEvent(*reinterpret_cast<const xcb_destroy_notify_event_t*>(event), client);
      return;
    case XCB_BUTTON_PRESS:
      OnButtonPressEvent(*reinterpret_cast<const xcb_button_press_event_t*>(event), client);
      return;
    case XCB_BUTTON_RELEASE:
      OnButtonReleaseEvent(*reinterpret_cast<const xcb_button_release_event_t*>(event), client);
      return;
    case XCB_MOTION_NOTIFY:
      OnMotionEvent(*reinterpret_cast<const xcb_motion_notify_event_t*>(event), client);
      return;
    case XCB_LEAVE_NOTIFY:
      OnLeaveEvent(*reinterpret_cast<const xcb_leave_notify_event_t*>(event), client);
      return;
    case XCB_KEY_PRESS:
      OnKeyPressEvent(*reinterpret_cast<const xcb_key_press_event_t*>(event), client);
      return;
    case XCB_KEY_RELEASE:
      // Releases always go on: the editor takes presses only.
      PassKeyOn(*reinterpret_cast<const xcb_key_release_event_t*>(event), XCB_EVENT_MASK_KEY_RELEASE);
      return;
    case XCB_MAPPING_NOTIFY:
      LoadKeyboardMap();
      return;
    default:
      return;
  }
}

void X11Window::OnErrorEvent(const xcb_generic_error_t& error) {
  if ((error.error_code == XCB_WINDOW || error.error_code == XCB_DRAWABLE) && error.resource_id == window_) {
    windowGone_ = true;
  }
}

void X11Window::OnExposeEvent(const xcb_expose_event_t& e, X11WindowClient& client) {
  if (e.window != window_) return;
  const PixelRect area{e.x, e.y, e.x + e.width, e.y + e.height};
  if (HasArea(area)) exposed_ = exposed_.Union(area);
  if (e.count == 0 && HasArea(exposed_)) {
    const PixelRect all = exposed_;
    exposed_ = PixelRect{};
    if (Usable()) client.OnExpose(all);
  }
}

void X11Window::OnDestroyEvent(const xcb_destroy_notify_event_t& e, X11WindowClient& client) {
  if (e.window != window_) return;
  windowGone_ = true;
  client.OnPointerLost();  // a gesture under way ends with the window
}

bool X11Window::IsDoubleClick(int x, int y, std::uint32_t time) {
  const bool near = std::abs(x - lastPressX_) <= doubleClickDistance_ && std::abs(y - lastPressY_) <= doubleClickDistance_;
  const std::uint32_t elapsed = time - lastPressTime_;  // wraps like the server clock
  if (lastPressValid_ && near && elapsed <= doubleClickMs_) {
    lastPressValid_ = false;  // a third press starts afresh
    return true;
  }
  lastPressValid_ = true;
  lastPressTime_ = time;
  lastPressX_ = x;
  lastPressY_ = y;
  return false;
}

void X11Window::OnButtonPressEvent(const xcb_button_press_event_t& e, X11WindowClient& client) {
  if (e.event != window_) return;
  MouseMods mods = ModsOf(e.state);
  if (e.detail == 4 || e.detail == 5) {
    client.OnWheel(e.event_x, e.event_y, mods, e.detail == 4 ? 1 : -1);
    return;
  }
  if (e.detail < 1 || e.detail > 3) return;
  if (e.detail == 1) mods.left = true;
  if (e.detail == 3) mods.right = true;
  // The editor takes the keyboard focus on a click, as on other desktops.
  xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_PARENT, window_, e.time);
  xcb_flush(connection_);
  // The press itself starts the server's implicit grab: the pointer
  // belongs to this window until the last button is released.
  if (e.detail != 1) {
    lastPressValid_ = false;
  } else if (IsDoubleClick(e.event_x, e.event_y, e.time)) {
    client.OnDoubleClick(e.event_x, e.event_y, mods);
    return;
  }
  client.OnButtonDown(e.event_x, e.event_y, mods);
}

void X11Window::OnButtonReleaseEvent(const xcb_button_release_event_t& e, X11WindowClient& client) {
  // The middle button ends its gesture too: its press began one.
  if (e.event != window_ || e.detail < 1 || e.detail > 3) return;
  MouseMods mods = ModsOf(e.state);  // the state before the release
  if (e.detail == 1) mods.left = false;
  if (e.detail == 3) mods.right = false;
  client.OnButtonUp(e.event_x, e.event_y, mods);
}

void X11Window::OnMotionEvent(const xcb_motion_notify_event_t& e, X11WindowClient& client) {
  if (e.event != window_) return;
  const MouseMods mods = ModsOf(e.state);
  if (mods.left || mods.right) {
    client.OnDrag(e.event_x, e.event_y, mods);
  } else {
    client.OnHover(e.event_x, e.event_y, mods);
  }
}

void X11Window::OnLeaveEvent(const xcb_leave_notify_event_t& e, X11WindowClient& client) {
  if (e.event != window_) return;
  const bool held = (e.state & (XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3)) != 0;
  // With a button held the pointer stays ours wherever it goes, unless
  // the window stopped being viewable (the host hid it) or another grab
  // took over; then no release will come.
  if (held && (e.mode != XCB_NOTIFY_MODE_NORMAL || !Viewable())) {
    client.OnPointerLost();
    return;
  }
  // Leaving into a child of ours, or a grab's crossing, is no leave.
  if (e.mode == XCB_NOTIFY_MODE_NORMAL && e.detail != XCB_NOTIFY_DETAIL_INFERIOR) client.OnLeave();
}

void X11Window::OnKeyPressEvent(const xcb_key_press_event_t& e, X11WindowClient& client) {
  if (e.event != window_) return;
  const int code = KeyCodeFromKeysym(KeysymOf(e.detail));
  if (code >= 0 && client.OnKey(e.event_x, e.event_y, code)) return;
  // Keys the editor does not take go on to the host's window.
  PassKeyOn(e, XCB_EVENT_MASK_KEY_PRESS);
}

void X11Window::PassKeyOn(const xcb_key_press_event_t& e, std::uint32_t eventMask) {
  if (e.event != window_ || parent_ == 0 || !Usable()) return;
  xcb_key_press_event_t forwarded = e;
  forwarded.event = parent_;
  forwarded.child = window_;
  xcb_send_event(connection_, 0, parent_, eventMask, reinterpret_cast<const char*>(&forwarded));
  xcb_flush(connection_);
}

bool X11Window::ScreenSize(int& width, int& height) const {
  if (connection_ == nullptr || screenW_ <= 0 || screenH_ <= 0) return false;
  width = screenW_;
  height = screenH_;
  return true;
}

bool X11Window::Put(const std::uint32_t* pixels, int rowSpan, const PixelRect& area, int toX, int toY) {
  if (!Usable() || pixels == nullptr) return false;
  // Where it lands in the window, and the part of the image that lands there.
  const PixelRect r{std::max(toX, 0), std::max(toY, 0), std::min(toX + area.W(), width_),
                    std::min(toY + area.H(), height_)};
  if (!HasArea(r)) return true;
  const Source from{pixels, rowSpan, area.left - toX, area.top - toY};
  const bool ok = shmSegment_ != 0 ? PutShared(from, r) : PutPlain(from, r);
  xcb_flush(connection_);
  return ok;
}

std::uint32_t X11Window::PixelValue(std::uint32_t colour) const {
  return Scale((colour >> 16) & 0xff, format_.redMask) | Scale((colour >> 8) & 0xff, format_.greenMask) |
         Scale(colour & 0xff, format_.blueMask);
}

bool X11Window::Fill(const PixelRect& area, std::uint32_t colour) {
  if (!Usable()) return false;
  const PixelRect r{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, width_),
                    std::min(area.bottom, height_)};
  if (!HasArea(r)) return true;
  const std::uint32_t values[] = {PixelValue(colour)};
  xcb_change_gc(connection_, gc_, XCB_GC_FOREGROUND, values);
  const xcb_rectangle_t box{static_cast<std::int16_t>(r.left), static_cast<std::int16_t>(r.top),
                            static_cast<std::uint16_t>(r.W()), static_cast<std::uint16_t>(r.H())};
  xcb_poly_fill_rectangle(connection_, window_, gc_, 1, &box);
  xcb_flush(connection_);
  return true;
}

bool X11Window::PutShared(const Source& from, const PixelRect& r) {
  // The server may still be reading the previous picture from the segment.
  if (!FinishPendingPut()) return false;
  const int w = r.right - r.left;
  for (int y = r.top; y < r.bottom; ++y) {
    Encode(from.Row(y) + r.left + from.dx, w,
           shmPixels_ + (static_cast<std::size_t>(y) * width_ + r.left) * 4);
  }
  const xcb_void_cookie_t cookie = xcb_shm_put_image_checked(
      connection_, window_, gc_, static_cast<std::uint16_t>(width_),
      static_cast<std::uint16_t>(height_), static_cast<std::uint16_t>(r.left),
      static_cast<std::uint16_t>(r.top), static_cast<std::uint16_t>(w),
      static_cast<std::uint16_t>(r.bottom - r.top), static_cast<std::int16_t>(r.left),
      static_cast<std::int16_t>(r.top), static_cast<std::uint8_t>(format_.depth),
      XCB_IMAGE_FORMAT_Z_PIXMAP, 0, shmSegment_, 0);
  pendingPut_ = cookie.sequence;
  putPending_ = true;
  return true;
}

bool X11Window::PutPlain(const Source& from, const PixelRect& r) {
  const int w = r.right - r.left;
  const int bytesPerPixel = format_.bitsPerPixel / 8;
  const int pad = std::max(format_.scanlinePad / 8, 1);
  const std::size_t rowBytes = (static_cast<std::size_t>(w) * bytesPerPixel + pad - 1) / pad * pad;
  // Bands of rows that each fit in one request (length in 4-byte units).
  const std::size_t maxRequest = static_cast<std::size_t>(xcb_get_maximum_request_length(connection_)) * 4;
  const std::size_t header = 24;
  if (maxRequest <= header + rowBytes) return false;
  const int band = static_cast<int>(std::min<std::size_t>((maxRequest - header) / rowBytes, 4096));
  for (int top = r.top; top < r.bottom; top += band) {
    const int rows = std::min(band, r.bottom - top);
    scratch_.assign(rowBytes * rows, 0);
    for (int y = 0; y < rows; ++y) {
      Encode(from.Row(top + y) + r.left + from.dx, w,
             scratch_.data() + rowBytes * y);
    }
    xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc_,
                  static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(rows),
                  static_cast<std::int16_t>(r.left), static_cast<std::int16_t>(top), 0,
                  static_cast<std::uint8_t>(format_.depth),
                  static_cast<std::uint32_t>(scratch_.size()), scratch_.data());
  }
  return true;
}

void X11Window::Encode(const std::uint32_t* src, int count, std::uint8_t* dst) const {
  if (format_.direct) {
    // Same byte order as the raster; a 32-bit deep window would read the
    // fourth byte as alpha, and the window is opaque.
    for (int i = 0; i < count; ++i) {
      const std::uint32_t p = src[i] | 0xff000000U;
      std::memcpy(dst + static_cast<std::size_t>(i) * 4, &p, 4);
    }
    return;
  }
  const int bytes = format_.bitsPerPixel / 8;
  for (int i = 0; i < count; ++i) {
    const std::uint32_t p = src[i];
    const std::uint32_t value = Scale((p >> 16) & 0xff, format_.redMask) |
                                Scale((p >> 8) & 0xff, format_.greenMask) |
                                Scale(p & 0xff, format_.blueMask);
    std::uint8_t* d = dst + static_cast<std::size_t>(i) * bytes;
    for (int b = 0; b < bytes; ++b) {
      const int shift = format_.msbFirst ? 8 * (bytes - 1 - b) : 8 * b;
      d[b] = static_cast<std::uint8_t>(value >> shift);
    }
  }
}

double XftDpiFromResources(const char* text, std::size_t length) {
  if (text == nullptr) return 0.0;
  const std::string all(text, length);
  double dpi = 0.0;
  std::size_t at = 0;
  while (at < all.size()) {
    std::size_t end = all.find('\n', at);
    if (end == std::string::npos) end = all.size();
    const std::string line = all.substr(at, end - at);
    at = end + 1;
    static const char kName[] = "Xft.dpi:";
    if (line.compare(0, sizeof kName - 1, kName) != 0) continue;
    const std::string value = line.substr(sizeof kName - 1);
    char* stop = nullptr;
    const double v = std::strtod(value.c_str(), &stop);
    // The last entry wins, as in the resource database.
    dpi = (stop != value.c_str() && std::isfinite(v) && v > 0.0) ? v : 0.0;
  }
  return dpi;
}

}  // namespace x11gui
