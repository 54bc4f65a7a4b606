#pragma once
// The editor's controls: rectangles that draw themselves from a bitmap strip
// or a text and turn mouse gestures into a normalised value (0..1) of one
// plug-in parameter. The panel owns them, dispatches events to them and
// paints them. Every operation here runs on the window thread: values from
// the plug-in side reach a control through the panel's timer tick.

#include <cstdint>
#include <string>
#include <vector>

#include "gui/GuiTypes.h"

class IPanel;
class ITextControl;

class IControl {
 public:
  // An extra parameter a control may follow beside its own.
  struct AuxParam {
    double value = 0.0;  // normalised
    std::int32_t paramIndex = -1;
  };

  IControl(const PixelRect& rect, int paramIndex = -1, int blendMethod = ChannelBlend::kAlpha);
  virtual ~IControl();
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // ---- Mouse and keys (the panel dispatches) -----------------------------
  // The base: with the right button, PromptValueEntry(); else nothing.
  virtual void MouseDown(int x, int y, const MouseMods& mods);
  virtual void MouseUp(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {}
  virtual void MouseDrag(int /*x*/, int /*y*/, int /*dx*/, int /*dy*/, const MouseMods& /*mods*/) {}
  // The base: back to the default value (the first one the plug-in sent), sent to the plug-in.
  virtual void MouseDoubleClick(int x, int y, const MouseMods& mods);
  virtual void MouseWheel(int /*x*/, int /*y*/, const MouseMods& /*mods*/, int /*delta*/) {}
  virtual bool KeyDown(int /*x*/, int /*y*/, int /*key*/) { return false; }
  virtual void MouseOver(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {}
  virtual void MouseOut() {}

  // ---- Drawing -------------------------------------------------------------
  virtual bool Draw(IPanel& graphics) = 0;

  // ---- Values ----------------------------------------------------------------
  // From the plug-in side: the first value ever given becomes the default
  // (and the value) without redrawing; a later different value redraws twice.
  virtual void ApplyPlugValue(double value);
  // From the user (a text entry or a menu): a different value is sent to the plug-in.
  virtual void ApplyUserValue(double value);
  // Text typed for a control without a parameter; nothing here.
  virtual void TextFromUser(const char* /*text*/) {}
  virtual void SetHidden(bool hide);
  virtual void SetGrayed(bool gray);
  // False when the target rectangle is all zero.
  virtual bool HitTest(int x, int y) const;
  // Clamps the value, marks the control dirty and, with pushToPlug, hands the
  // value to the panel as the user's edit (the panel informs the plug-in and
  // the host and updates the displays).
  virtual void MarkDirty(bool pushToPlug);
  // dirty = redraw-again; redraw-again = false.
  virtual void MarkClean();
  virtual bool IsDirty() const { return dirty_; }
  virtual void ApplyAuxPlugValue(int auxIndex, double value);

  // Offers the user a way to type or pick the value (nothing while prompt is disabled).
  void PromptValueEntry();

  // ---- Accessors ---------------------------------------------------------------
  IPanel* Panel() const { return panel_; }
  void SetPanel(IPanel* panel) { panel_ = panel; }  // by the panel when attached
  const PixelRect& Rect() const { return rect_; }
  const PixelRect& TargetRect() const { return targetRect_; }
  void SetTargetRect(const PixelRect& r) { targetRect_ = r; }
  int ParamIndex() const { return paramIndex_; }
  double Value() const { return value_; }
  void SetValue(double v) { value_ = v; }
  double DefaultValue() const { return defaultValue_; }
  void SetClamp(double lo, double hi) { clampLo_ = lo; clampHi_ = hi; }
  bool IsHidden() const { return hidden_; }
  bool IsGrayed() const { return grayed_; }
  bool RedrawAgain() const { return redrawAgain_; }
  void SetRedrawAgain() { redrawAgain_ = true; }
  bool PromptDisabled() const { return promptDisabled_; }
  void SetPromptDisabled(bool disabled) { promptDisabled_ = disabled; }
  bool DoubleClickAsClick() const { return dblAsClick_; }
  void SetDoubleClickAsClick(bool on) { dblAsClick_ = on; }
  bool MouseOverWhenGrayed() const { return mouseOverWhenGrayed_; }
  void SetMouseOverWhenGrayed(bool on) { mouseOverWhenGrayed_ = on; }
  const ChannelBlend& Blend() const { return blend_; }
  TextStyle& Style() { return style_; }
  void SetStyle(const TextStyle& style) { style_ = style; }
  int TextEntryLength() const { return textEntryLength_; }
  void SetTextEntryLength(int n) { textEntryLength_ = n; }
  void SetValueDisplay(ITextControl* display) { valueDisplay_ = display; }
  void SetNameDisplay(ITextControl* display) { nameDisplay_ = display; }
  ITextControl* ValueDisplay() const { return valueDisplay_; }
  ITextControl* NameDisplay() const { return nameDisplay_; }
  const std::string& Tooltip() const { return tooltip_; }
  void SetTooltip(const char* text) { tooltip_ = text ? text : ""; }
  int NAuxParams() const { return static_cast<int>(aux_.size()); }
  const AuxParam& GetAuxParam(int j) const { return aux_.at(static_cast<std::size_t>(j)); }
  void AddAuxParam(int paramIndex) { aux_.push_back(AuxParam{0.0, paramIndex}); }

 protected:
  int textEntryLength_ = 7;
  TextStyle style_;
  PixelRect rect_;
  PixelRect targetRect_;
  std::int32_t paramIndex_;
  std::vector<AuxParam> aux_;
  double value_ = 0.0;
  double defaultValue_ = -1.0;  // negative: not learnt yet
  double clampLo_ = 0.0;
  double clampHi_ = 1.0;
  bool dirty_ = true;
  bool hidden_ = false;
  bool grayed_ = false;
  bool redrawAgain_ = false;
  bool promptDisabled_ = true;
  bool dblAsClick_ = false;
  bool mouseOverWhenGrayed_ = false;
  ChannelBlend blend_;
  ITextControl* valueDisplay_ = nullptr;  // non-owning
  ITextControl* nameDisplay_ = nullptr;   // non-owning
  std::string tooltip_;
  IPanel* panel_ = nullptr;  // the panel that owns this control
};

// Draws the frame of a strip that the value selects.
class IBitmapControl : public IControl {
 public:
  // Rectangle (x, y, x + frame width, y + frame height).
  IBitmapControl(int x, int y, int paramIndex, const BitmapRef& bitmap, int blendMethod = ChannelBlend::kAlpha);
  bool Draw(IPanel& graphics) override;
  const BitmapRef& Bitmap() const { return bitmap_; }

 protected:
  BitmapRef bitmap_;
};

// Frame f (1-based) of an N-frame strip for value v: 1 when N < 2, else
// (int)((N - 1) v + 0.5) + 1 limited to 1..N.
int FrameForValue(int frames, double value);
// Draws frame FrameForValue of bitmap into rect with blend.
bool DrawStripFrame(IPanel& graphics, const BitmapRef& bitmap, const PixelRect& rect, double value,
                    const ChannelBlend& blend);

// Steps through its frames on each click: 0, 1/(N-1), ..., 1, then 0 again.
class ISwitchControl : public IBitmapControl {
 public:
  using IBitmapControl::IBitmapControl;
  void MouseDown(int x, int y, const MouseMods& mods) override;
  void MouseDoubleClick(int x, int y, const MouseMods& mods) override;
};

// Turns drags and the wheel into value changes.
class IKnobControl : public IControl {
 public:
  enum Direction : int { kVertical = 0, kHorizontal = 1 };
  IKnobControl(const PixelRect& rect, int paramIndex, int direction = kVertical, double gearing = 4.0);
  // value += dy / (top - bottom) / g (vertical; upwards raises), or
  // dx / (right - left) / g; g = gearing, times 10 with shift or control.
  void MouseDrag(int x, int y, int dx, int dy, const MouseMods& mods) override;
  // value += delta * 0.01, or * 0.001 with shift or control.
  void MouseWheel(int x, int y, const MouseMods& mods, int delta) override;
  int Direction() const { return direction_; }
  double Gearing() const { return gearing_; }

 protected:
  std::int32_t direction_;
  double gearing_;
};

// A knob drawn as one frame of a strip.
class IKnobStripControl : public IKnobControl {
 public:
  IKnobStripControl(int x, int y, int paramIndex, const BitmapRef& bitmap, int direction = kVertical,
                    double gearing = 4.0);
  bool Draw(IPanel& graphics) override;
  const BitmapRef& Bitmap() const { return bitmap_; }

 protected:
  BitmapRef bitmap_;
};

// A text in a rectangle; also serves as a parameter's value or name display.
class ITextControl : public IControl {
 public:
  ITextControl(const PixelRect& rect, const TextStyle& style, const char* text = "");
  bool Draw(IPanel& graphics) override;
  // A different text is stored and redrawn; the same text does nothing.
  void SetTextFromPlug(const char* text);
  const std::string& Text() const { return text_; }

 protected:
  std::string text_;
};
