#pragma once

// What a plug-in needs of its editor to drive a meter control from the audio
// side. The editor's panel implements it beside IEditorLink; while no editor
// (or an editor without it) is attached, the meter reading is simply not sent.

class IMeterLink {
 public:
  virtual ~IMeterLink() = default;

  // Number of controls in the editor's control list.
  virtual int NControls() const = 0;

  // Hands a value to one control, as the plug-in side does for a meter. Audio
  // thread, under the plug-in's mutex, once per sample; takes no lock.
  virtual void ApplyPlugValue(int controlIndex, double value) = 0;
};
