#pragma once

// What the plug-in base needs of an attached editor, and nothing more. The
// GUI's panel implements it; the base owns the editor once attached.

class IEditorLink {
 public:
  virtual ~IEditorLink() = default;

  // Hands paramIndex's value to every control bound to it (and to the first
  // auxiliary binding of each control naming it). A plain value is first made
  // normalised with the parameter's range and shape. Any thread (the audio
  // thread included): the editor takes the value without locking or
  // allocating and applies it on its own thread, at its next timer tick.
  virtual void SetParameterFromPlug(int paramIndex, double value, bool normalized) = 0;

  // Applies the values handed over so far and creates the editor's drawing
  // surfaces; called once, while attaching, on the attaching thread.
  virtual void PrepareDraw() = 0;
};
