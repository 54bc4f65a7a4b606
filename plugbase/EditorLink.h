#pragma once

// What the plug-in base and the host adapter need of an attached editor, and
// nothing more. The GUI's panel implements it; the base owns the editor once
// attached.

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

class IEditorLink {
 public:
  virtual ~IEditorLink() = default;

  // Hands paramIndex's value to every control bound to it (and to the first
  // auxiliary binding of each control naming it), as a normalised value
  // (0..1). Any thread (the audio thread included): the editor takes the
  // value without locking or allocating and applies it on its own thread, at
  // its next timer tick (or before it first paints when it opens).
  virtual void SetParameterFromPlug(int paramIndex, double normalized) = 0;

  // Applies the values handed over so far and creates the editor's drawing
  // surfaces; called once, while attaching, on the attaching thread.
  virtual void PrepareDraw() = 0;

  // ---- The editor's window, for the host adapter's view (editor thread) ------
  virtual int EditorWidth() const { return 0; }
  virtual int EditorHeight() const { return 0; }
  // Opens the editor's window inside the host's window `parent`. `loop` is the
  // host's run loop where the host drives editors (else null); it outlives the
  // window. `own` is the window the caller opened before (null if none): the
  // editor may replace it, but while it shows any other window nothing opens
  // and that window is left alone. Answers the window, or null when nothing
  // opened.
  virtual void* OpenEditorWindow(void* /*parent*/, IHostRunLoop* /*loop*/, void* /*own*/) { return nullptr; }
  // Closes `window` if the editor still shows it (another view may have
  // opened the editor since), and forgets `loop` if the editor still uses it.
  virtual void CloseEditorWindow(void* /*window*/, IHostRunLoop* /*loop*/) {}
  // The display scale the host asks for (EditorWidth/Height follow it);
  // false, with nothing changed, for a scale the editor cannot draw at.
  virtual bool SetEditorScale(double /*scale*/) { return false; }
};
