#pragma once
// What the X11 editor needs of the host's run loop: a descriptor to watch and
// a periodic timer, both called back on the host's editor thread. The editor
// view supplies it from the host's Steinberg::Linux::IRunLoop; the editor
// starts no thread of its own.

#include <functional>

class X11RunLoop {
 public:
  virtual ~X11RunLoop() = default;
  // Calls onReadable whenever fd is readable and onTick every periodMs until
  // Stop. False, with nothing left registered, when the host refuses either.
  virtual bool Start(int fd, std::function<void()> onReadable, int periodMs,
                     std::function<void()> onTick) = 0;
  // Unregisters both; safe when not started.
  virtual void Stop() = 0;
};

// An editor that runs on an X11RunLoop. The view hands it the host's loop
// before opening the window.
class X11RunLoopUser {
 public:
  virtual ~X11RunLoopUser() = default;
  // The loop the next OpenWindow registers with; not owned, null forgets it.
  // A window open on another loop closes first, so that loop keeps nothing.
  virtual void SetRunLoop(X11RunLoop* loop) = 0;
  virtual X11RunLoop* RunLoop() const = 0;
};
