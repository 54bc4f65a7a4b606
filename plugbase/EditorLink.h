#pragma once

// What the plug-in base and the host adapter need of an attached editor, and
// nothing more. The GUI's panel implements it; the base owns the editor once
// attached.

#include <functional>

// The host's event loop, on platforms where the host drives an embedded
// editor's events (Linux: the host's run loop). Both callbacks come on the
// host's editor thread; an editor there starts no thread of its own.
class IHostRunLoop {
 public:
  virtual ~IHostRunLoop() = default;
  // Calls onReadable whenever fd is readable and onTick every periodMs until
  // Stop. False, with nothing left registered, when the host refuses either.
  virtual bool Start(int fd, std::function<void()> onReadable, int periodMs,
                     std::function<void()> onTick) = 0;
  // Unregisters both; safe when not started.
  virtual void Stop() = 0;
};

class IEditorLink {
 public:
  virtual ~IEditorLink() = default;

  // Brings every control bound to paramIndex (and the first auxiliary binding
  // of each control naming it) to the value. A plain value is first made
  // normalised with the parameter's range and shape. Window or audio thread,
  // under the plug-in's mutex.
  virtual void SetParameterFromPlug(int paramIndex, double value, bool normalized) = 0;

  // Creates the editor's drawing surfaces; called once, while attaching.
  virtual void PrepareDraw() = 0;

  // ---- The editor's window, for the host adapter's view (editor thread) ----
  // Size of the editor in pixels.
  virtual int EditorWidth() const { return 0; }
  virtual int EditorHeight() const { return 0; }
  // True when the editor can open its window inside a host window of this
  // platform type ("HWND" on Windows, "X11EmbedWindowID" on Linux).
  virtual bool SupportsPlatform(const char* /*type*/) const { return false; }
  // Opens the editor's window inside the host's window `parent` of the given
  // platform type. `loop` is the host's run loop where that platform's
  // editors are driven by the host, else null; it outlives the window. False
  // when nothing was opened.
  virtual bool OpenEditorWindow(void* /*parent*/, const char* /*type*/, IHostRunLoop* /*loop*/) {
    return false;
  }
  // Closes the window OpenEditorWindow opened; nothing when none is open.
  virtual void CloseEditorWindow() {}
};
