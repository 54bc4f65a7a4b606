#pragma once
// IPanel: the editor's drawing surface and event hub, free of any operating
// system. It owns the controls and a back buffer they draw into, links
// controls and parameters, dispatches mouse and key events and paints what
// is dirty, with its images from an image store (ImageStore) and its scale
// from a display scale (DisplayScale) and the zoom the plug-in keeps. A platform window derives
// from it, overrides the platform operations below, turns native messages
// into the dispatch calls and copies the back buffer to the screen.
//
// Threads. Everything runs on the window thread except the hand-over entry
// points marked "any thread": the audio thread and host calls post values
// there (lock-free, no allocation, no system call) and never touch a control.
// A window's timer calls TimerTick() on every tick (1000 / FrameRate() ms);
// TimerTick applies the posted values to the controls and returns the union
// of the dirty controls' rectangles, which the window invalidates and paints
// (Paint). The off-screen panel and tests call it the same way.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plugbase/EditPort.h"
#include "gui/host/EditorHostContext.h"
#include "plugbase/EditorLink.h"
#include "gui/GuiTypes.h"
#include "gui/IControl.h"
#include "gui/IPopupMenu.h"
#include "gui/DisplayScale.h"
#include "gui/ImageStore.h"

class IParamDef;
class RAS_FrameSet;
class RAS_IBitmap;
class RAS_MemBitmap;
class RAS_SysBitmap;

// The platform's native window: an HWND on Windows, an X11 window id on Linux.
using NativeWindow = void*;

// A value the plug-in side hands to one control (a meter): the poster stores,
// the next tick applies it with ApplyPlugValue. Stable for the panel's life.
class PlugValueFeed {
 public:
  explicit PlugValueFeed(int controlIndex) : controlIndex_(controlIndex) {}
  // Any thread: one relaxed atomic store.
  void Post(double value) noexcept { value_.store(value, std::memory_order_relaxed); }
  int ControlIndex() const { return controlIndex_; }
  // The last value posted; NaN while none was.
  double Latest() const noexcept { return value_.load(std::memory_order_relaxed); }

 private:
  const int controlIndex_;
  std::atomic<double> value_;
};

class IPanel : public IEditorLink, public ImageLoader {
 public:
  // Window thread. port is how the editor reaches the plug-in; it outlives
  // the panel. It may be null (a panel without a plug-in, in tests).
  IPanel(IEditPort* port, int width, int height, int frameRate = 25);
  ~IPanel() override;
  IPanel(const IPanel&) = delete;
  IPanel& operator=(const IPanel&) = delete;

  // ---- Platform operations (a window overrides them) -------------------------
  // Copies rect of the back buffer to the window.
  virtual bool DrawScreen(const PixelRect& rect) = 0;
  // DrawIText with measure: rewrites rect to the text's extent.
  virtual bool MeasureText(TextStyle& style, const char* text, PixelRect& rect);
  virtual void CancelTextEntry() = 0;
  // Stores the size, forgets the mouse targets, deletes every control, makes
  // new drawing surfaces and asks the host for the size. A window
  // extends it to resize itself.
  virtual void Resize(int width, int height);
  virtual bool WindowIsOpen() { return GetWindow() != nullptr; }
  virtual const char* GetDrawingApiName() { return ""; }
  virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;
  // The menu that holds the chosen item (its chosenIndex set), or null.
  virtual IPopupMenu* ShowPopupMenu(IPopupMenu* menu, const PixelRect& rect) = 0;
  // Opens an in-place text entry showing text (a parameter's value text); the
  // platform commits it (CommitTextEntry) or cancels it later.
  virtual void CreateTextEntry(IControl* control, const TextStyle& style, const PixelRect& rect,
                               const char* text, const IParamDef* param) = 0;
  // Folders end with the platform's separator; empty when unknown.
  virtual void GetHostPath(std::string& out) = 0;
  virtual void GetModulePath(std::string& out) = 0;
  virtual void GetDesktopPath(std::string& out) = 0;
  virtual void GetAppDataPath(std::string& out, bool allUsers) = 0;
  virtual void GetUserAppDataPath(std::string& out) { GetAppDataPath(out, false); }
  // action 1 saves, anything else opens; fileName = "" when cancelled.
  virtual void PromptForFile(std::string& fileName, int action, std::string& directory,
                             const char* extensions) = 0;
  virtual bool PromptForColor(ColorArgb& colour, const char* prompt) = 0;
  virtual bool OpenUrl(const char* url, const char* title, const char* confirmText,
                       const char* errorText) = 0;
  // Makes the window inside parent and marks every control dirty.
  virtual NativeWindow OpenWindow(NativeWindow parent) = 0;
  virtual void CloseWindow() = 0;
  virtual NativeWindow GetWindow() = 0;
  virtual bool GetTextFromClipboard(std::string& out) = 0;
  virtual void HideMouseCursor() {}
  virtual void ShowMouseCursor() {}
  // The usable part of the display the open window is on, in device pixels
  // (a monitor's work area, a screen's size); false when the platform
  // cannot tell.
  virtual bool GetUsableDisplayArea(int& /*width*/, int& /*height*/) { return false; }
  // Decodes image id (name gives only the extension). Null on failure.
  std::unique_ptr<RAS_IBitmap> LoadBitmapFromResource(int id, const char* name) override = 0;
  // The frames of image id stored one by one (a frame set: the image's sets
  // at twice its size and at its own size are ones, under its id +
  // kDoubleSizeIdOffset and id + kSingleSizeIdOffset); null when
  // the module has none. Window thread of any panel. By default the
  // module's own resources.
  std::unique_ptr<RAS_FrameSet> OpenFrameSet(int id) override;

  // ---- Building (the layout) ---------------------------------------------------
  // Appends the control (ownership passes) and returns its index.
  int AttachControl(IControl* control);
  int AttachControl(std::unique_ptr<IControl> control) { return AttachControl(control.release()); }
  // Inserts the control at index 0, moving the others up by one.
  void AttachBackground(IControl* control);
  void AttachBackground(std::unique_ptr<IControl> control) { AttachBackground(control.release()); }
  // The image id from the panel's image store. An image of the module's
  // resources comes with its size and is decoded the first time a panel
  // needs it whole (at scale 1 without frames of its own; a failure there
  // draws nothing and is tried again);
  // any other is decoded on its first load. A failed load gives a handle
  // without pixels (w = h = 0), which draws nothing and is tried again on the
  // next load.
  BitmapRef LoadBitmap(int id, const char* name, int frames = 1);
  // A hand-over slot for values the plug-in side sends to control index.
  // Window thread, while building; the slot lives as long as the panel.
  PlugValueFeed* OpenPlugValueFeed(int controlIndex);
  // The keyboard control takes keys that no other control takes; owned.
  void SetKeyboardControl(std::unique_ptr<IControl> control);

  // ---- Values from the plug-in side ------------------------------------------------
  // Any thread, lock-free: hands paramIndex's normalised value to its
  // controls. The next TimerTick (or the attachment's PrepareDraw, or the
  // window's opening) applies it; while a gesture holds a control of
  // paramIndex the values wait, and the latest is applied when it ends.
  void SetParameterFromPlug(int paramIndex, double normalized) override;
  // Window thread: applies a normalised value to every control bound to
  // paramIndex (ApplyPlugValue) and to the first auxiliary binding of each
  // control naming it (ApplyAuxPlugValue), now.
  void ApplyParameterNow(int paramIndex, double normalized);
  // Window thread, once while attaching: applies what was handed over and
  // makes the back buffer.
  void PrepareDraw() override;

  // ---- The window, as the host adapter's view opens it (editor thread) ------------
  // The size at the zoom the plug-in keeps now: a zoom that a state brought
  // shows from the next tick on, and the host already hears its size.
  int EditorWidth() const override;
  int EditorHeight() const override;
  bool SetEditorScale(double scale) override { return SetScale(scale); }
  // Any thread, lock-free: the next TimerTick (or the window's opening)
  // draws at the zoom the plug-in keeps and asks the host for that size.
  void EditorZoomChanged() override { zoomChanged_.store(true, std::memory_order_release); }
  bool ConstrainEditorSize(int& width, int& height) const override {
    ConstrainSize(width, height);
    return true;
  }
  // FitToSize, but a size the editor has already (the host's answer to its
  // own request) keeps the zoom.
  bool FitEditorToSize(int width, int height) override;
  // OpenWindow in host.parent, after the panel took host.runLoop (a panel
  // that needs one and gets none opens nothing), with the values handed over
  // while it was closed already applied. While the editor shows a window
  // other than host.window (another view's) nothing opens and that window is
  // left alone.
  bool OpenEditor(EditorHostContext& host) override;
  void CloseEditor(EditorHostContext& host) override;

  // ---- Display scale ------------------------------------------------------------------
  // The layout, the controls' rectangles, hit-tests, dirty rectangles and
  // mouse events are in logical pixels (Width() x Height()); the back buffer
  // and the window hold Scale() device pixels per logical pixel. A window
  // maps device positions with ToLogical and copies ToDevice rectangles.
  static constexpr double kMinScale = DisplayScale::kMinScale;
  static constexpr double kMaxScale = DisplayScale::kMaxScale;
  static constexpr double kMinDrawScale = DisplayScale::kMinDrawScale;
  static constexpr double kMaxDrawScale = DisplayScale::kMaxDrawScale;
  static constexpr int kDoubleSizeIdOffset = ImageStore::kDoubleSizeIdOffset;
  static constexpr int kSingleSizeIdOffset = ImageStore::kSingleSizeIdOffset;
  using ScalePolicy = DisplayScale::Policy;
  static bool ScaleAccepted(double scale) { return DisplayScale::Accepted(scale); }
  // The scale drawn at: the display scale (the host's or the desktop's, as
  // the window's policy chooses) times the user's zoom.
  double Scale() const { return scale_; }
  // The host's scale (1 to 3). Draws from now on at the new Scale(): a new
  // back buffer, every control dirty, and the window resized
  // (ScaleChanged). False, with nothing changed, for any other value.
  bool SetScale(double scale);
  // The desktop's own scale, as the window reads it; values outside 1 to 3
  // count as 1.
  void SetDesktopScale(double scale);
  // Draws from now on at the scale the policy chooses (as SetScale does).
  void SetScalePolicy(ScalePolicy policy);
  ScalePolicy GetScalePolicy() const { return display_.GetPolicy(); }
  // True once the host set a scale.
  bool HostScaleSet() const { return display_.HostSet(); }

  // ---- The user's size: a zoom on the display scale ---------------------------------
  // The plug-in keeps the zoom (the edit port's EditorZoom); a host's resize
  // handle changes it (FitToSize). It is kept when the display scale
  // changes: the drawing scale is the display scale times the zoom.
  double Zoom() const { return port_ ? port_->EditorZoom() : 1.0; }
  // Asks the plug-in to keep zoom and draws at it from now on, as SetScale
  // does. False, with nothing changed, for a zoom the plug-in refuses (or
  // without a plug-in).
  bool SetZoom(double zoom);
  // The size nearest to width x height (device pixels) that the editor can
  // take (DisplayScale::ConstrainSize of the layout), within the display
  // area once one is known.
  void ConstrainSize(int& width, int& height) const;
  // The usable display area (device pixels; 0: unknown): the editor draws
  // at the largest scale that fits there when the kept zoom asks for more,
  // and the zoom stays kept. OpenEditor reads it from the platform.
  void SetDisplayArea(int width, int height);
  // The scale a device width of the layout is drawn at.
  double ScaleForWidth(int deviceWidth) const { return DisplayScale::ScaleForWidth(width_, deviceWidth); }
  // Scales the editor to fill a window of width x height (ConstrainSize
  // first): the plug-in keeps that scale over the display scale as the zoom
  // (unchanged when the picture keeps its size), and the window takes the
  // whole size, the picture centred in it (WindowPlaces). True when the
  // picture now has the constrained size.
  bool FitToSize(int width, int height);

  // ---- The window around the picture (device pixels) --------------------------------
  // The window's size: the host's when it gave one off the picture's
  // aspect (FitToSize), else the picture's own.
  int WindowWidth() const { return windowW_ > 0 ? windowW_ : DeviceWidth(); }
  int WindowHeight() const { return windowH_ > 0 ? windowH_ : DeviceHeight(); }
  // Where the picture and the margins lie in the window.
  DisplayScale::WindowPlaces WindowPlaces() const {
    return DisplayScale::PlaceInWindow(DeviceWidth(), DeviceHeight(), WindowWidth(), WindowHeight());
  }
  // A logical rectangle's device pixels in the window.
  PixelRect ToWindow(const PixelRect& logical) const;
  // A window position's logical pixel (outside the picture: outside the layout).
  int WindowToLogicalX(int x) const { return ToLogical(x - WindowPlaces().picture.left); }
  int WindowToLogicalY(int y) const { return ToLogical(y - WindowPlaces().picture.top); }
  // The logical pixels of the picture a window area shows (empty: none).
  PixelRect WindowToLogical(const PixelRect& area) const;
  // The margins' colour (the layout sets one that suits its artwork).
  void SetMarginColour(const ColorArgb& colour) { marginColour_ = colour; }
  const ColorArgb& MarginColour() const { return marginColour_; }
  int DeviceWidth() const { return ToDevice(width_); }
  int DeviceHeight() const { return ToDevice(height_); }
  int ToDevice(int logical) const { return DisplayScale::ToDevice(logical, scale_); }
  PixelRect ToDevice(const PixelRect& r) const { return DisplayScale::ToDevice(r, scale_); }
  int ToLogical(int device) const { return DisplayScale::ToLogical(device, scale_); }
  PixelRect ToLogical(const PixelRect& r) const { return DisplayScale::ToLogical(r, scale_); }

  // ---- Images ----------------------------------------------------------------------------
  // Where the panel's images come from: the module's store unless given
  // another, which must outlive the panel. Before the first LoadBitmap.
  void SetImageStore(ImageStore& store);
  ImageStore& Images() const { return *images_; }

  // ---- The timer tick ----------------------------------------------------------------
  // Window thread, every timer tick: applies the values handed over since the
  // last tick, then returns the union of the rectangles of all dirty
  // controls (empty when nothing needs painting). Allocates nothing, unless
  // the plug-in's zoom changed since (FollowKeptZoom).
  PixelRect TimerTick();
  // The union of the dirty controls' rectangles, without applying anything.
  PixelRect DirtyUnion() const;

  // ---- Drawing (controls call these while Paint runs) --------------------------
  // Blits rect of the bitmap, clipped to the draw rectangle, into the back
  // buffer; the source origin moves with the clipped top-left. Null blend =
  // alpha blend at weight 1.
  bool DrawBitmap(const BitmapRef& bitmap, const PixelRect& rect, int srcX, int srcY,
                  const ChannelBlend* blend = nullptr);
  // Draws text in rect (or, with measure, rewrites rect to its extent).
  // Empty text: true, nothing drawn. False when the font cannot be made.
  bool DrawIText(TextStyle& style, const char* text, PixelRect& rect, bool measure = false);
  // Offers a menu (parameters with display texts) or a text entry for param.
  void PromptUserInput(IControl* control, int paramIndex, const PixelRect& rect);
  // Repaints rect: the controls meeting it (strict) or the dirty ones with
  // what they overlap; then DrawScreen(rect).
  bool Paint(const PixelRect& rect);

  // ---- Events (the platform delivers them) ---------------------------------------
  // Every edit reaches the host inside one begin/end pair: a press on a
  // control begins one and its release (or the next press, CancelGestures or
  // the panel's end) ends it; the value a double-click sets and a wheel turn
  // outside a drag are edits of their own; a release that no press began
  // ends nothing.
  void OnMouseDown(int x, int y, const MouseMods& mods);
  void OnMouseDrag(int x, int y, const MouseMods& mods);
  void OnMouseUp(int x, int y, const MouseMods& mods);
  // True when the double-click went to MouseDown and the platform should
  // capture the mouse.
  bool OnMouseDblClick(int x, int y, const MouseMods& mods);
  // wheelUnits: the wheel's raw turn, kWheelUnitsPerNotch to a notch,
  // positive away from the user. Turns add up per control (from nothing again
  // when the pointer leaves it or a gesture starts); each whole notch is one
  // step, a rest waits for the next turn. A turn that changes no value sends
  // the host nothing.
  static constexpr int kWheelUnitsPerNotch = 120;
  void OnMouseWheel(int x, int y, const MouseMods& mods, int wheelUnits);
  bool OnMouseOver(int x, int y, const MouseMods& mods);
  // The mouse left the window: MouseOut on every control.
  void OnMouseOut();
  // True when a control consumed the key (an IKeyCode).
  bool OnKeyDown(int x, int y, int key);
  // Forgets the control holding the mouse (a menu or entry took over); an
  // edit the press began still ends with the release.
  void ReleaseMouseHolder();
  // Ends whatever gesture is under way as if its button were released: the
  // windows call it when they lose the mouse capture and when their window
  // goes away. Nothing when no gesture is open.
  void CancelGestures();

  // ---- Edits (controls call these) -----------------------------------------------
  // A control's new value from the user: the host hears it (inside the open
  // gesture) and the control's value and name displays follow.
  void ControlEdited(IControl& control);
  // What the control's parameter is (null without one).
  const IParamDef* ParamDescription(int paramIndex) const;
  // The parameter's current value text with its label (the label left out
  // when a display text names the value).
  std::string ParamValueText(int paramIndex);

  // ---- Accessors ------------------------------------------------------------------------
  IEditPort* Port() const { return port_; }
  // The parameter of the gesture the mouse holds, -1 when none.
  int HeldParam() const { return mouseHolder_ >= 0 ? openEdit_ : -1; }
  int NControls() const { return static_cast<int>(controls_.size()); }
  IControl* GetControl(int index) const;
  IControl* KeyboardControl() const { return keyboardControl_.get(); }
  // MarkDirty(false) on every control (a window that opens repaints all).
  void SetAllControlsDirty();
  int Width() const { return width_; }
  int Height() const { return height_; }
  int FrameRate() const { return frameRate_; }
  // Timer period in milliseconds: (int)(1000 / frame rate).
  int TimerPeriodMs() const { return frameRate_ > 0 ? 1000 / frameRate_ : 40; }
  const PixelRect& DrawRect() const { return drawRect_; }
  RAS_IBitmap* BackBuffer() const;
  RAS_MemBitmap* Scratch() const { return scratch_.get(); }
  bool StrictDrawing() const { return strictDrawing_; }
  void SetStrictDrawing(bool strict) { strictDrawing_ = strict; }
  bool HandlesMouseOver() const { return handleMouseOver_; }
  void SetHandleMouseOver(bool on) { handleMouseOver_ = on; }
  bool ShowTooltips() const { return showTooltips_; }
  void SetShowTooltips(bool on) { showTooltips_ = on; }
  int MouseHolder() const { return mouseHolder_; }
  int MouseOverControl() const { return mouseOverControl_; }
  bool CursorHidden() const { return cursorHidden_; }
  void SetCursorHidden(bool hidden, int x = -1, int y = -1) {
    cursorHidden_ = hidden;
    cursorX_ = x;
    cursorY_ = y;
  }
  int SavedCursorX() const { return cursorX_; }
  int SavedCursorY() const { return cursorY_; }

  // Normalised form of a plain value: ((clamp(v) - min) / (max - min))^(1 / shape).
  static double NormalizedFromPlain(const IParamDef& param, double plain);

 protected:
  // A panel whose window the host's run loop drives takes the loop here
  // before OpenWindow (false: it cannot open with this loop, e.g. none), and
  // forgets it after its window closed. Others need no loop.
  virtual bool TakeHostRunLoop(IHostRunLoop* /*loop*/) { return true; }
  virtual void ForgetHostRunLoop(IHostRunLoop* /*loop*/) {}
  // The scale or the window's size changed (the back buffer already has its
  // new size): a window resizes itself to WindowWidth() x WindowHeight() and
  // repaints, margins included.
  virtual void ScaleChanged() {}
  // The control under (x, y): the last one attached that is not hidden, not
  // grayed and hit; -1 when none.
  int FindControl(int x, int y) const;
  void MakeDrawingSurfaces();
  // Applies the values handed over so far (a window about to show calls it).
  void ApplyPendingValues() { ApplyHandedOver(); }
  // A value the user gave another way than with the mouse (a text entry, a
  // menu), as an edit of its own for the host.
  void ApplyUserValueAsEdit(IControl* control, double normalized);
  // A text entry's committed text: for a parameter, read as a host reads a
  // typed value (IParamDef::ParseDisplay) and applied as an edit of its own,
  // nothing when it does not read; without a parameter, the control's
  // TextFromUser.
  void CommitTextEntry(IControl* control, const IParamDef* param, const char* text);

 private:
  // Begins an edit of paramIndex for the host (none for -1), ending any
  // edit still open first.
  void BeginEdit(int paramIndex);
  // Ends the open edit, if any.
  void EndOpenEdit();

  struct ParamPost {
    std::atomic<double> normalized{0.0};
    std::atomic<bool> pending{false};
  };
  void ApplyHandedOver();
  // Applies paramIndex's waiting value, if one arrived.
  void ApplyHandedOver(int paramIndex);
  // The display scale with the zoom the plug-in keeps now.
  DisplayScale KeptScale() const;
  // Draws at KeptScale's drawing scale from now on: a new back buffer, every
  // control dirty, that scale's images held (the previous scale's given
  // back) and the window told (ScaleChanged). Nothing when it is the scale
  // drawn at already.
  void ApplyScale();
  // Takes a zoom the plug-in changed behind the editor's back (a state
  // loaded), asking the host for the new size.
  void FollowKeptZoom();

  void ResetWheel() {
    wheelControl_ = -1;
    wheelUnits_ = 0;
  }

  std::vector<std::unique_ptr<IControl>> controls_;
  IEditPort* port_;
  PixelRect drawRect_;
  bool cursorHidden_ = false;
  int cursorX_ = -1;
  int cursorY_ = -1;
  std::unique_ptr<RAS_SysBitmap> backBuffer_;
  std::unique_ptr<RAS_MemBitmap> scratch_;
  int width_;
  int height_;
  int frameRate_;
  // The host's and the desktop's scales and the policy; its zoom stays 1
  // (the plug-in keeps the zoom: KeptScale).
  DisplayScale display_;
  // The scale the back buffer is drawn at, and the images held for it.
  double scale_ = 1.0;
  // The usable display area (0: unknown) and the window's size the host
  // gave (0: the picture's).
  int areaW_ = 0;
  int areaH_ = 0;
  int windowW_ = 0;
  int windowH_ = 0;
  ColorArgb marginColour_{255, 0, 0, 0};
  // The window takes width x height (the picture's size: no margins).
  void SetWindowSize(int width, int height);
  ImageStore* images_ = &ImageStore::Process();
  ImageStore::ScaleHold heldScale_;
  // Set from any thread when the plug-in's zoom changed; the tick takes it.
  std::atomic<bool> zoomChanged_{false};
  int mouseHolder_ = -1;
  // The parameter whose edit a press began and no release has ended yet.
  int openEdit_ = -1;
  int mouseOverControl_ = -1;
  // Wheel units not yet turned into a notch, and the control they belong to.
  int wheelControl_ = -1;
  int wheelUnits_ = 0;
  // While set, a control's edit is only noted (deferredEdit_), not sent.
  bool deferEdits_ = false;
  bool deferredEdit_ = false;
  int lastX_ = 0;
  int lastY_ = 0;
  bool handleMouseOver_ = false;
  bool strictDrawing_ = true;
  bool showTooltips_ = false;
  std::unique_ptr<IControl> keyboardControl_;
  // Hand-over from other threads: one slot per parameter, fixed at construction.
  std::unique_ptr<ParamPost[]> paramPosts_;
  int nParamPosts_ = 0;
  std::vector<std::unique_ptr<PlugValueFeed>> feeds_;
};
