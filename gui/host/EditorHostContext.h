#pragma once

// Where a host shows the editor, as the host adapter's view hands it over:
// the host's window, the window the editor opened for this view before, and,
// where the host drives editors (Linux), the host's run loop. The view owns
// it; the plug-in core passes it on untouched, and the editor's panel reads
// it. It names no control and nothing of the host's interfaces.

#include <functional>

// The host's event loop, where the host drives an embedded editor's events
// (Linux hosts' run loop). Both callbacks come on the host's editor thread; an
// editor there starts no thread of its own.
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

class EditorHostContext {
 public:
  // The host's window the editor opens inside (an HWND on Windows, an X11
  // window id on Linux); null when closing.
  void* parent = nullptr;
  // The host's run loop where the host drives editors, else null; it outlives
  // the window opened with it.
  IHostRunLoop* runLoop = nullptr;
  // The window the editor opened in this context: null before the first
  // opening; the editor may replace it when opened again, and sets it.
  void* window = nullptr;
};
