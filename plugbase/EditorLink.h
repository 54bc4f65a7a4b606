#pragma once

// What the plug-in base and the host adapter need of an attached editor, and
// nothing more. The GUI's panel implements it; the base owns the editor once
// attached.

// Where the host shows the editor: defined and owned by the layers that open
// editors in hosts; the core only passes it on.
class EditorHostContext;

// The user's zoom of an editor, relative to the display scale it draws at:
// the range an editor accepts and a stored state may carry (1: the editor's
// own size).
inline constexpr double kEditorZoomMin = 0.25;
inline constexpr double kEditorZoomMax = 3.0;
inline bool EditorZoomInRange(double zoom) { return zoom >= kEditorZoomMin && zoom <= kEditorZoomMax; }

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

  // ---- The editor in the host, for the host adapter's view (editor thread) ----
  virtual int EditorWidth() const { return 0; }
  virtual int EditorHeight() const { return 0; }
  // Opens the editor inside the host's window of `host`, with its run loop.
  // The window it opened there before (host.window) may be replaced, but
  // while the editor shows any other window nothing opens and that window is
  // left alone. True, with host.window set, when the editor shows there.
  virtual bool OpenEditor(EditorHostContext& /*host*/) { return false; }
  // Closes the editor's window if it still shows host.window (another view
  // may have opened the editor since), and forgets host's run loop if the
  // editor still uses it.
  virtual void CloseEditor(EditorHostContext& /*host*/) {}
  // The display scale the host asks for (EditorWidth/Height follow it);
  // false, with nothing changed, for a scale the editor cannot draw at.
  virtual bool SetEditorScale(double /*scale*/) { return false; }
  // The plug-in keeps the user's zoom on that scale (IEditPort::EditorZoom)
  // and changed it: the editor takes it on its own thread, and asks the host
  // for the size it gives when its window shows. Any thread, lock-free.
  virtual void EditorZoomChanged() {}
  // Rewrites width x height (device pixels) to the nearest size the editor
  // can take; false for an editor that keeps one size.
  virtual bool ConstrainEditorSize(int& /*width*/, int& /*height*/) const { return false; }
  // Scales the editor to fill a window of that size (any size: the picture
  // keeps its aspect, the rest of the window is drawn as margin), the zoom
  // that gives kept by the plug-in; the size the editor has already keeps
  // the zoom. False for an editor that keeps one size.
  virtual bool FitEditorToSize(int /*width*/, int /*height*/) { return false; }
};
