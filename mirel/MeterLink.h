#pragma once

// An attached editor that takes every reading of Mirel's meter itself, sample
// by sample (an inspection editor, beside IEditorLink). The layout's own panel
// does not: it gets the latest reading of each block through its value feed.
// While no such editor is attached, the readings are simply not sent.

class IMeterLink {
 public:
  virtual ~IMeterLink() = default;

  // Number of controls in the editor's control list.
  virtual int NControls() const = 0;

  // Hands a value to one control, as the plug-in side does for a meter. Audio
  // thread, under the plug-in's mutex, once per sample; takes no lock.
  virtual void ApplyPlugValue(int controlIndex, double value) = 0;
};
