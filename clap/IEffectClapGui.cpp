// The editor in a CLAP host: the gui extension (embedded in the host's
// window, "win32" on Windows and "x11" on Linux), the timer-support the X11
// window runs on, and the editor's edits reaching the host as gesture and
// value events of the next block or flush.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "clap/ClapTimerRunLoop.h"
#include "clap/IEffectClap.h"
#include "ext/gui.h"
#include "ext/params.h"
#include "ext/timer-support.h"

namespace {

#if defined(_WIN32)
constexpr const char* kWindowApi = CLAP_WINDOW_API_WIN32;
#else
constexpr const char* kWindowApi = CLAP_WINDOW_API_X11;
#endif

// The editor's layout aspect, width to height.
constexpr std::uint32_t kAspectWidth = 838;
constexpr std::uint32_t kAspectHeight = 245;

}  // namespace

bool IEffectClap::GuiApiSupported(const char* api, bool floating) const {
  return api && !floating && std::strcmp(api, kWindowApi) == 0 && Graphics() != nullptr;
}

// Main thread.
bool IEffectClap::GuiCreate(const char* api, bool floating) {
  if (!OnMainThread() || guiCreated_ || !GuiApiSupported(api, floating)) return false;
  guiCreated_ = true;
  return true;
}

// Main thread: closes the editor's window if it shows one.
void IEffectClap::GuiDestroy() {
  if (!OnMainThread() || !guiCreated_) return;
  CloseGuiWindow();
  guiCreated_ = false;
}

void IEffectClap::CloseGuiWindow() {
  if (!guiParent_) return;
  EditorClosing();
  if (IEditorLink* editor = Graphics()) {
    EditorHostContext context;
    context.runLoop = runLoop_.get();
    context.window = guiWindow_;
    editor->CloseEditor(context);
  }
  guiWindow_ = nullptr;
  guiParent_ = nullptr;
  runLoop_.reset();
}

// Main thread. The scale a Windows host gives; on Linux the editor follows
// the desktop's scale, and a host's is refused.
bool IEffectClap::GuiSetScale(double scale) {
  if (!OnMainThread() || !guiCreated_ || !std::isfinite(scale)) return false;
#if defined(_WIN32)
  IEditorLink* editor = Graphics();
  return editor && editor->SetEditorScale(scale);
#else
  return false;
#endif
}

bool IEffectClap::GuiSize(std::uint32_t& width, std::uint32_t& height) const {
  const IEditorLink* editor = Graphics();
  if (!guiCreated_ || !editor) return false;
  width = static_cast<std::uint32_t>(std::max(editor->EditorWidth(), 0));
  height = static_cast<std::uint32_t>(std::max(editor->EditorHeight(), 0));
  return true;
}

bool IEffectClap::GuiCanResize() const {
  const IEditorLink* editor = Graphics();
  int width = 0;
  int height = 0;
  return guiCreated_ && editor && editor->ConstrainEditorSize(width, height);
}

bool IEffectClap::GuiResizeHints(clap_gui_resize_hints_t& hints) const {
  if (!GuiCanResize()) return false;
  hints.can_resize_horizontally = true;
  hints.can_resize_vertically = true;
  hints.preserve_aspect_ratio = true;
  hints.aspect_ratio_width = kAspectWidth;
  hints.aspect_ratio_height = kAspectHeight;
  return true;
}

// Main thread: the nearest size the editor takes.
bool IEffectClap::GuiAdjustSize(std::uint32_t& width, std::uint32_t& height) const {
  const IEditorLink* editor = Graphics();
  if (!OnMainThread() || !guiCreated_ || !editor) return false;
  int w = static_cast<int>(std::min<std::uint32_t>(width, 1u << 20));
  int h = static_cast<int>(std::min<std::uint32_t>(height, 1u << 20));
  if (!editor->ConstrainEditorSize(w, h)) return false;
  width = static_cast<std::uint32_t>(std::max(w, 0));
  height = static_cast<std::uint32_t>(std::max(h, 0));
  return true;
}

// Main thread: the host's size; the zoom it gives is kept with the state.
bool IEffectClap::GuiSetSize(std::uint32_t width, std::uint32_t height) {
  IEditorLink* editor = Graphics();
  if (!OnMainThread() || !guiCreated_ || !editor) return false;
  const int w = static_cast<int>(std::min<std::uint32_t>(width, 1u << 20));
  const int h = static_cast<int>(std::min<std::uint32_t>(height, 1u << 20));
  if (w == editor->EditorWidth() && h == editor->EditorHeight()) return true;
  return editor->FitEditorToSize(w, h);
}

// Main thread: opens the editor inside the host's window.
bool IEffectClap::GuiSetParent(const clap_window_t* window) {
  IEditorLink* editor = Graphics();
  if (!OnMainThread() || !guiCreated_ || !editor || !window || !window->api ||
      std::strcmp(window->api, kWindowApi) != 0) {
    return false;
  }
#if defined(_WIN32)
  void* parent = window->win32;
  std::unique_ptr<ClapTimerRunLoop> loop;
#else
  void* parent = reinterpret_cast<void*>(static_cast<std::uintptr_t>(window->x11));
  // Without the host's timer the window could neither paint nor take input.
  const auto* timers = host_ && host_->get_extension
                           ? static_cast<const clap_host_timer_support_t*>(
                                 host_->get_extension(host_, CLAP_EXT_TIMER_SUPPORT))
                           : nullptr;
  if (!timers || !timers->register_timer || !timers->unregister_timer) return false;
  auto loop = std::make_unique<ClapTimerRunLoop>(host_, timers);
#endif
  if (!parent) return false;
  if (guiParent_) CloseGuiWindow();
  EditorHostContext context;
  context.parent = parent;
  context.runLoop = loop.get();
  context.window = guiWindow_;
  if (!editor->OpenEditor(context) || !context.window) return false;
  runLoop_ = std::move(loop);
  guiWindow_ = context.window;
  guiParent_ = parent;
  EditorOpened();
  return true;
}

// Main thread.
void IEffectClap::OnTimer(clap_id id) {
  if (runLoop_ && OnMainThread()) runLoop_->OnTimer(id);
}

// ---- The editor's edits, to the host -------------------------------------------------

void IEffectClap::QueueEdit(std::uint16_t type, int index, double value) {
  {
    PlugLock lock(Mutex());
    pendingEdits_.push_back({type, static_cast<clap_id>(index), value});
  }
  // Outside processing the host hears them through a flush it is asked for.
  if (!processing_ && hostParams_ && hostParams_->request_flush) hostParams_->request_flush(host_);
}

void IEffectClap::BeginEditNotify(int index) { QueueEdit(CLAP_EVENT_PARAM_GESTURE_BEGIN, index, 0.0); }

void IEffectClap::PerformEditNotify(int index, double normalised) {
  const IParamDef* def = GetParam(index);
  if (def) QueueEdit(CLAP_EVENT_PARAM_VALUE, index, def->PlainFromNormalised(normalised));
}

void IEffectClap::EndEditNotify(int index) { QueueEdit(CLAP_EVENT_PARAM_GESTURE_END, index, 0.0); }

void IEffectClap::ResizeEditor(int width, int height) {
  if (!guiParent_ || !host_ || !host_->get_extension) return;
  const auto* gui = static_cast<const clap_host_gui_t*>(host_->get_extension(host_, CLAP_EXT_GUI));
  if (gui && gui->request_resize && width > 0 && height > 0) {
    gui->request_resize(host_, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
  }
}

// Under the plug-in's mutex, from a block or a flush.
void IEffectClap::SendEdits(const clap_output_events_t* out) {
  if (!out || !out->try_push) {
    pendingEdits_.clear();
    return;
  }
  for (const PendingEdit& edit : pendingEdits_) {
    if (edit.type == CLAP_EVENT_PARAM_VALUE) {
      clap_event_param_value_t event{};
      event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
      event.param_id = edit.id;
      event.note_id = -1;
      event.port_index = -1;
      event.channel = -1;
      event.key = -1;
      event.value = edit.value;
      out->try_push(out, &event.header);
    } else {
      clap_event_param_gesture_t event{};
      event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, edit.type, 0};
      event.param_id = edit.id;
      out->try_push(out, &event.header);
    }
  }
  pendingEdits_.clear();
}
