#pragma once

// What the plug-in base needs of an attached editor, and nothing more. The
// GUI's panel implements it; the base owns the editor once attached.

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
};
