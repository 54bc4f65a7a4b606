#include "gui/IPanel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "gui/ScaledText.h"
#include "plugbase/IParamDef.h"
#include "raster/RAS_Bitmap.h"
#include "raster/RAS_Blit.h"
#include "raster/RAS_FrameSet.h"
#include "raster/RAS_Resources.h"

namespace {

int BlitModeFor(int method) {
  switch (method) {
    case ChannelBlend::kCopy: return kRasBlitCopy;
    case ChannelBlend::kAdd: return kRasBlitAddAlpha;
    case ChannelBlend::kDodge: return kRasBlitDodgeAlpha;
    default: return kRasBlitCopyAlpha;
  }
}

}  // namespace

IPanel::IPanel(IEditPort* port, int width, int height, int frameRate)
    : port_(port), width_(width), height_(height), frameRate_(frameRate) {
  nParamPosts_ = port_ ? port_->NEditParams() : 0;
  paramPosts_ = std::make_unique<ParamPost[]>(static_cast<std::size_t>(nParamPosts_));
}

IPanel::~IPanel() {
  // The host never keeps an edit open for an editor that is gone.
  EndOpenEdit();
  keyboardControl_.reset();
  while (!controls_.empty()) controls_.pop_back();  // last to first
}

RAS_IBitmap* IPanel::BackBuffer() const { return backBuffer_.get(); }

IControl* IPanel::GetControl(int index) const {
  if (index < 0 || index >= NControls()) return nullptr;
  return controls_[static_cast<std::size_t>(index)].get();
}

int IPanel::AttachControl(IControl* control) {
  std::unique_ptr<IControl> owned(control);
  if (!owned) return -1;
  owned->SetPanel(this);
  controls_.push_back(std::move(owned));
  return NControls() - 1;
}

void IPanel::AttachBackground(IControl* control) {
  std::unique_ptr<IControl> owned(control);
  if (!owned) return;
  owned->SetPanel(this);
  controls_.insert(controls_.begin(), std::move(owned));
  // Indices moved: the mouse targets no longer name the same controls.
  EndOpenEdit();
  mouseHolder_ = -1;
  mouseOverControl_ = -1;
}

void IPanel::SetKeyboardControl(std::unique_ptr<IControl> control) {
  if (control) control->SetPanel(this);
  keyboardControl_ = std::move(control);
}

BitmapRef IPanel::LoadBitmap(int id, const char* name, int frames) {
  RAS_IBitmap* raster = images_->Load(id, name, *this);
  BitmapRef ref;
  ref.n = std::max(frames, 1);
  ref.id = id;
  if (raster) {
    ref.bitmap = raster;
    ref.w = raster->getWidth();
    ref.h = raster->getHeight();
  }
  return ref;
}

void IPanel::SetImageStore(ImageStore& store) {
  images_ = &store;
  heldScale_ = store.Hold(scale_);
}

std::unique_ptr<RAS_FrameSet> IPanel::OpenFrameSet(int id) { return RAS_FrameSet::Open(RAS_FindPngResource(id)); }

PlugValueFeed* IPanel::OpenPlugValueFeed(int controlIndex) {
  for (const auto& f : feeds_) {
    if (f->ControlIndex() == controlIndex) return f.get();
  }
  auto feed = std::make_unique<PlugValueFeed>(controlIndex);
  feed->Post(std::numeric_limits<double>::quiet_NaN());
  feeds_.push_back(std::move(feed));
  return feeds_.back().get();
}

double IPanel::NormalizedFromPlain(const IParamDef& param, double plain) { return param.ToNormalised(plain); }

void IPanel::SetParameterFromPlug(int paramIndex, double normalized) {
  if (paramIndex < 0 || paramIndex >= nParamPosts_) return;
  ParamPost& post = paramPosts_[static_cast<std::size_t>(paramIndex)];
  post.normalized.store(normalized, std::memory_order_relaxed);
  post.pending.store(true, std::memory_order_release);
}

void IPanel::ApplyParameterNow(int paramIndex, double normalized) {
  for (const auto& c : controls_) {
    if (c->ParamIndex() == paramIndex) c->ApplyPlugValue(normalized);
    for (int j = 0; j < c->NAuxParams(); ++j) {
      if (c->GetAuxParam(j).paramIndex == paramIndex) {
        c->ApplyAuxPlugValue(j, normalized);
        break;
      }
    }
  }
}

void IPanel::ApplyHandedOver(int paramIndex) {
  if (paramIndex < 0 || paramIndex >= nParamPosts_) return;
  ParamPost& post = paramPosts_[static_cast<std::size_t>(paramIndex)];
  if (!post.pending.load(std::memory_order_relaxed)) return;
  if (!post.pending.exchange(false, std::memory_order_acquire)) return;
  // A newer value posted after the exchange is applied now or on the next tick.
  ApplyParameterNow(paramIndex, post.normalized.load(std::memory_order_relaxed));
}

void IPanel::ApplyHandedOver() {
  // The parameter under the user's hand keeps its values waiting: the host's
  // echoes of older values would pull the control back mid-gesture.
  const int held = HeldParam();
  for (int i = 0; i < nParamPosts_; ++i) {
    if (i != held) ApplyHandedOver(i);
  }
  for (const auto& f : feeds_) {
    const double v = f->Latest();
    if (std::isnan(v)) continue;
    if (IControl* c = GetControl(f->ControlIndex())) c->ApplyPlugValue(v);
  }
}

void IPanel::MakeDrawingSurfaces() {
  backBuffer_ = std::make_unique<RAS_SysBitmap>(DeviceWidth(), DeviceHeight());
  scratch_ = std::make_unique<RAS_MemBitmap>(0, 0, 4);
}

void IPanel::PrepareDraw() {
  ApplyHandedOver();
  MakeDrawingSurfaces();
}

PixelRect IPanel::DirtyUnion() const {
  PixelRect u;
  for (const auto& c : controls_) {
    if (c->IsDirty()) u = u.Union(c->Rect());
  }
  return u;
}

PixelRect IPanel::TimerTick() {
  ApplyHandedOver();
  FollowKeptZoom();
  return DirtyUnion();
}

void IPanel::SetAllControlsDirty() {
  for (const auto& c : controls_) c->MarkDirty(false);
}

void IPanel::Resize(int width, int height) {
  width_ = width;
  height_ = height;
  windowW_ = windowH_ = 0;
  display_.SetDisplayArea(areaW_, areaH_, width_, height_);
  EndOpenEdit();
  mouseHolder_ = -1;
  mouseOverControl_ = -1;
  while (!controls_.empty()) controls_.pop_back();
  MakeDrawingSurfaces();
  if (port_) port_->RequestEditorSize(DeviceWidth(), DeviceHeight());
}

// ---- Display scale and zoom -------------------------------------------------------------

bool IPanel::SetScale(double scale) {
  if (!display_.SetHost(scale)) return false;
  ApplyScale();
  return true;
}

void IPanel::SetDesktopScale(double scale) {
  display_.SetDesktop(scale);
  ApplyScale();
}

void IPanel::SetScalePolicy(ScalePolicy policy) {
  display_.SetPolicy(policy);
  ApplyScale();
}

DisplayScale IPanel::KeptScale() const {
  DisplayScale kept = display_;
  kept.SetZoom(Zoom());
  return kept;
}

int IPanel::EditorWidth() const { return DisplayScale::ToDevice(width_, KeptScale().Drawing()); }

int IPanel::EditorHeight() const { return DisplayScale::ToDevice(height_, KeptScale().Drawing()); }

void IPanel::ApplyScale() {
  const double scale = KeptScale().Drawing();
  if (scale == scale_) return;
  // The new scale's images are held before the old one's go: frames both
  // share (those at 2) are never freed in between.
  ImageStore::ScaleHold next = images_->Hold(scale);
  heldScale_ = std::move(next);
  scale_ = scale;
  // A new size for the picture is asked of the host: the window takes it.
  windowW_ = windowH_ = 0;
  if (backBuffer_) MakeDrawingSurfaces();
  SetAllControlsDirty();
  ScaleChanged();
}

bool IPanel::SetZoom(double zoom) {
  if (!port_ || !port_->SetEditorZoom(zoom)) return false;
  ApplyScale();
  return true;
}

void IPanel::FollowKeptZoom() {
  // Acquired: the zoom read after it is at least the one that set the flag.
  if (!zoomChanged_.load(std::memory_order_relaxed) || !zoomChanged_.exchange(false, std::memory_order_acquire))
    return;
  const int width = DeviceWidth();
  const int height = DeviceHeight();
  ApplyScale();
  if (port_ && (DeviceWidth() != width || DeviceHeight() != height)) {
    port_->RequestEditorSize(DeviceWidth(), DeviceHeight());
  }
}

// ---- Drawing -------------------------------------------------------------------------

bool IPanel::DrawBitmap(const BitmapRef& bitmap, const PixelRect& rect, int srcX, int srcY,
                        const ChannelBlend* blend) {
  const PixelRect clipped = rect.Clip(drawRect_);
  if (clipped.IsEmpty() || !bitmap.bitmap || !backBuffer_) return true;
  const ChannelBlend use = blend ? *blend : ChannelBlend{};
  // The frame the source origin lies in, and the origin's place inside it.
  const int fw = std::max(bitmap.FrameWidth(), 1);
  const int fh = std::max(bitmap.FrameHeight(), 1);
  const int frameX = bitmap.framesSideBySide ? srcX / fw : 0;
  const int frameY = bitmap.framesSideBySide ? 0 : srcY / fh;
  RAS_IBitmap* frame = images_->Frame(bitmap, bitmap.framesSideBySide ? frameX : frameY, scale_, *this);
  if (!frame && scale_ == 1.0) {
    // An image without frames of its own at 1: drawn from the whole image.
    RAS_IBitmap* pixels = images_->Pixels(bitmap, *this);
    if (!pixels) return true;
    const RAS_Rect src{srcX + clipped.left - rect.left, srcY + clipped.top - rect.top,
                       srcX + clipped.right - rect.left, srcY + clipped.bottom - rect.top};
    RAS_Blit(backBuffer_.get(), pixels, clipped.left, clipped.top, &src, use.weight, BlitModeFor(use.method));
    return true;
  }
  if (!frame) return true;
  const PixelRect to = ToDevice(clipped);
  const int left = ToDevice(srcX - frameX * fw) + to.left - ToDevice(rect.left);
  const int top = ToDevice(srcY - frameY * fh) + to.top - ToDevice(rect.top);
  const RAS_Rect src{left, top, std::min(left + to.W(), frame->getWidth()), std::min(top + to.H(), frame->getHeight())};
  if (src.right <= src.left || src.bottom <= src.top) return true;
  RAS_Blit(backBuffer_.get(), frame, to.left, to.top, &src, use.weight, BlitModeFor(use.method));
  return true;
}

bool IPanel::DrawIText(TextStyle& style, const char* text, PixelRect& rect, bool measure) {
  return DrawScaledText(backBuffer_.get(), style, text, rect, measure, scale_);
}

bool IPanel::MeasureText(TextStyle& style, const char* text, PixelRect& rect) {
  return DrawIText(style, text, rect, true);
}

bool IPanel::Paint(const PixelRect& rect) {
  if (controls_.empty()) return true;
  const int n = NControls();
  if (strictDrawing_) {
    drawRect_ = rect;
    for (const auto& c : controls_) {
      if (!c->IsHidden() && rect.Meets(c->Rect())) c->Draw(*this);
      c->MarkClean();
    }
  } else if (controls_[0]->IsDirty()) {
    IControl& bg = *controls_[0];
    drawRect_ = bg.Rect();
    for (int i = 0; i < n; ++i) {
      IControl& c = *controls_[static_cast<std::size_t>(i)];
      if (i == 0 || !c.IsHidden()) {
        c.Draw(*this);
        c.MarkClean();
      }
    }
  } else {
    for (int i = 1; i < n; ++i) {
      IControl& dirty = *controls_[static_cast<std::size_t>(i)];
      if (!dirty.IsDirty()) continue;
      drawRect_ = dirty.Rect();
      for (int j = 0; j < n; ++j) {
        IControl& c = *controls_[static_cast<std::size_t>(j)];
        if (c.IsHidden()) continue;
        if (j == i || c.Rect().Meets(drawRect_)) c.Draw(*this);
      }
      dirty.MarkClean();
    }
  }
  return DrawScreen(rect);
}

// ---- Events ---------------------------------------------------------------------------

int IPanel::FindControl(int x, int y) const {
  for (int i = NControls() - 1; i >= 0; --i) {
    const IControl& c = *controls_[static_cast<std::size_t>(i)];
    if (!c.IsHidden() && !c.IsGrayed() && c.HitTest(x, y)) return i;
  }
  return -1;
}

void IPanel::ReleaseMouseHolder() {
  mouseHolder_ = -1;
  lastX_ = -1;
}

void IPanel::CancelGestures() {
  ResetWheel();
  if (mouseHolder_ >= 0) {
    OnMouseUp(lastX_, lastY_, MouseMods{});
  } else {
    EndOpenEdit();
  }
}

void IPanel::OnMouseDown(int x, int y, const MouseMods& mods) {
  EndOpenEdit();  // a second button during a drag starts anew
  ResetWheel();
  mouseHolder_ = -1;
  lastX_ = lastY_ = -1;
  const int i = FindControl(x, y);
  if (i < 0) return;
  IControl* c = GetControl(i);
  mouseHolder_ = i;
  lastX_ = x;
  lastY_ = y;
  const int param = c->ParamIndex();
  if (port_ && port_->HostOffersParamMenu() && mods.right) {
    if (param >= 0) {
      mouseHolder_ = -1;
      port_->PopupParamMenu(param, x, y);
      return;
    }
  } else {
    BeginEdit(param);
  }
  c->MouseDown(x, y, mods);
}

void IPanel::OnMouseDrag(int x, int y, const MouseMods& mods) {
  IControl* c = GetControl(mouseHolder_);
  if (!c || (x == lastX_ && y == lastY_)) return;
  const int dx = x - lastX_;
  const int dy = y - lastY_;
  lastX_ = x;
  lastY_ = y;
  c->MouseDrag(x, y, dx, dy, mods);
}

void IPanel::OnMouseUp(int x, int y, const MouseMods& mods) {
  const int target = mouseHolder_ >= 0 ? mouseHolder_ : FindControl(x, y);
  mouseHolder_ = -1;
  lastX_ = -1;
  if (IControl* c = GetControl(target)) c->MouseUp(x, y, mods);
  EndOpenEdit();
}

bool IPanel::OnMouseDblClick(int x, int y, const MouseMods& mods) {
  ResetWheel();
  const int i = FindControl(x, y);
  IControl* c = GetControl(i);
  if (!c) return false;
  BeginEdit(c->ParamIndex());
  if (c->DoubleClickAsClick()) {
    // Taken as a click: the control holds the mouse, and the release ends
    // the edit.
    mouseHolder_ = i;
    lastX_ = x;
    lastY_ = y;
    c->MouseDown(x, y, mods);
    return true;
  }
  c->MouseDoubleClick(x, y, mods);
  EndOpenEdit();
  return false;
}

void IPanel::OnMouseWheel(int x, int y, const MouseMods& mods, int wheelUnits) {
  const bool inDrag = mouseHolder_ >= 0;
  const int target = inDrag ? mouseHolder_ : FindControl(x, y);
  IControl* c = GetControl(target);
  if (!c) {
    ResetWheel();
    return;
  }
  if (target != wheelControl_) {
    ResetWheel();
    wheelControl_ = target;
  }
  // Summed in 64 bits: a flood of huge turns cannot overflow.
  const long long units = static_cast<long long>(wheelUnits_) + wheelUnits;
  const long long notches = units / kWheelUnitsPerNotch;
  wheelUnits_ = static_cast<int>(units - notches * kWheelUnitsPerNotch);
  if (notches == 0) return;
  const int delta = static_cast<int>(std::clamp<long long>(notches, -1000000, 1000000));
  // The control turns first; the host hears of it only if the value moved.
  const double before = c->Value();
  deferEdits_ = true;
  deferredEdit_ = false;
  c->MouseWheel(x, y, mods, delta);
  deferEdits_ = false;
  if (!deferredEdit_ || c->Value() == before) return;
  if (inDrag) {  // part of the drag's edit
    ControlEdited(*c);
    return;
  }
  BeginEdit(c->ParamIndex());
  ControlEdited(*c);
  EndOpenEdit();
}

bool IPanel::OnMouseOver(int x, int y, const MouseMods& mods) {
  // Wheel turns add up only while the pointer stays on their control.
  if (wheelControl_ >= 0 && mouseHolder_ < 0 && FindControl(x, y) != wheelControl_) ResetWheel();
  if (!handleMouseOver_) return false;
  int target = mouseHolder_;
  if (target < 0) {
    for (int i = NControls() - 1; i >= 0; --i) {
      const IControl& c = *controls_[static_cast<std::size_t>(i)];
      if (!c.IsHidden() && (!c.IsGrayed() || c.MouseOverWhenGrayed()) && c.HitTest(x, y)) {
        target = i;
        break;
      }
    }
  }
  IControl* c = GetControl(target);
  if (!c) return handleMouseOver_;
  lastX_ = x;
  lastY_ = y;
  c->MouseOver(x, y, mods);
  if (mouseOverControl_ >= 0 && mouseOverControl_ != target) {
    if (IControl* old = GetControl(mouseOverControl_)) old->MouseOut();
  }
  mouseOverControl_ = target;
  return handleMouseOver_;
}

void IPanel::OnMouseOut() {
  ResetWheel();
  for (const auto& c : controls_) c->MouseOut();
  mouseOverControl_ = -1;
}

bool IPanel::OnKeyDown(int x, int y, int key) {
  const int i = mouseHolder_ >= 0 ? mouseHolder_ : FindControl(x, y);
  IControl* c = (i <= 0 && keyboardControl_) ? keyboardControl_.get() : GetControl(i);
  return c ? c->KeyDown(x, y, key) : false;
}

// ---- The window, as the host adapter's view opens it --------------------------------

bool IPanel::OpenEditor(EditorHostContext& host) {
  if (GetWindow() && GetWindow() != host.window) return false;
  if (!TakeHostRunLoop(host.runLoop)) return false;
  // The first paint shows what the host and the state set while closed, at
  // the size the host was told (EditorWidth/Height).
  zoomChanged_.store(false, std::memory_order_relaxed);
  ApplyScale();
  ApplyHandedOver();
  NativeWindow window = OpenWindow(host.parent);
  if (!window) {
    ForgetHostRunLoop(host.runLoop);
    return false;
  }
  // A kept size larger than the display the window opened on shows at the
  // largest that fits; the view then asks the host for it.
  int areaW = 0, areaH = 0;
  if (GetUsableDisplayArea(areaW, areaH)) SetDisplayArea(areaW, areaH);
  host.window = window;
  return true;
}

void IPanel::CloseEditor(EditorHostContext& host) {
  if (host.window && GetWindow() == host.window) CloseWindow();
  if (host.runLoop) ForgetHostRunLoop(host.runLoop);
}
