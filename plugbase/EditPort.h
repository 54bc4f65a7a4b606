#pragma once

// The one way an editor reaches the plug-in: an edit gesture (begin, perform,
// end), what a parameter is and what it shows, and its current value. The
// plug-in base implements it; the editor's panel holds it and its controls
// ask the panel. Every operation runs on the editor's thread.

#include <string>

class IParamDef;

class IEditPort {
 public:
  virtual ~IEditPort() = default;

  // ---- An edit gesture, as the host hears it --------------------------------
  // Tells the host an edit of index starts. No plug-in lock is held while the
  // host is told.
  virtual void BeginEdit(int index) = 0;
  // Sets index from a normalised value, lets the plug-in react, then tells
  // the host the new value (outside the plug-in's lock).
  virtual void PerformEdit(int index, double normalised) = 0;
  // Tells the host the edit of index ended.
  virtual void EndEdit(int index) = 0;

  // ---- Parameters ---------------------------------------------------------------
  virtual int NEditParams() const = 0;
  // What index is: its kind, names, range, shape and display texts, none of
  // which changes once the plug-in has defined it. Null outside the list.
  virtual const IParamDef* ParamDescription(int index) const = 0;
  // The current value, normalised (0..1); 0 outside the list.
  virtual double ParamNormalised(int index) = 0;
  // The current value in the parameter's own unit; 0 outside the list.
  virtual double ParamPlain(int index) = 0;
  // The text the parameter shows for its current value (a display text, or
  // the number); empty outside the list.
  virtual std::string ParamDisplayText(int index) = 0;

  // ---- The host around the editor -----------------------------------------------
  // True when the host offers its own menu for a parameter (a right-click
  // then opens it instead of reaching the control).
  virtual bool HostOffersParamMenu() const = 0;
  virtual void PopupParamMenu(int index, int x, int y) = 0;
  // True when the host sizes the editor's own window when asked to
  // (RequestEditorSize); false when the editor must grow the windows around it.
  virtual bool HostSizesEditorWindow() const = 0;
  // Asks the host to give the editor this size.
  virtual void RequestEditorSize(int width, int height) = 0;
  // The user's zoom of the editor, which the plug-in keeps with its state,
  // and keeping a new one (false, nothing kept, outside EditorZoomInRange).
  // A change from elsewhere (a state load, on any thread) reaches the
  // attached editor as IEditorLink::EditorZoomChanged.
  virtual double EditorZoom() const { return 1.0; }
  virtual bool SetEditorZoom(double /*zoom*/) { return false; }
};
