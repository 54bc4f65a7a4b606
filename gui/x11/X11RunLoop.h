#pragma once
// What the X11 editor needs of the host's run loop: a descriptor to watch and
// a periodic timer, both called back on the host's editor thread. The editor
// view supplies it from the host's Steinberg::Linux::IRunLoop; the editor
// starts no thread of its own.

#include "gui/host/EditorHostContext.h"

using X11RunLoop = IHostRunLoop;

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
