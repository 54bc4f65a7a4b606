#include "gui/IControl.h"

#include <algorithm>

#include "plugbase/IParamDef.h"
#include "gui/IPanel.h"

IControl::IControl(const PixelRect& rect, int paramIndex, int blendMethod)
    : rect_(rect), targetRect_(rect), paramIndex_(paramIndex), blend_{blendMethod, 1.0f} {}

IControl::~IControl() = default;

void IControl::MouseDown(int /*x*/, int /*y*/, const MouseMods& mods) {
  if (mods.right) PromptValueEntry();
}

void IControl::MouseDoubleClick(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {
  if (defaultValue_ < 0.0) return;
  value_ = defaultValue_;
  MarkDirty(true);
}

void IControl::ApplyPlugValue(double value) {
  if (defaultValue_ < 0.0) {
    defaultValue_ = value_ = value;
    return;
  }
  if (value == value_) return;
  value_ = value;
  MarkDirty(false);
  redrawAgain_ = true;
}

void IControl::ApplyUserValue(double value) {
  if (value == value_) return;
  value_ = value;
  MarkDirty(true);
  redrawAgain_ = true;
}

void IControl::ApplyAuxPlugValue(int auxIndex, double value) {
  if (auxIndex < 0 || auxIndex >= NAuxParams()) return;
  AuxParam& a = aux_[static_cast<std::size_t>(auxIndex)];
  if (value == a.value) return;
  a.value = value;
  MarkDirty(false);
  redrawAgain_ = true;
}

void IControl::SetHidden(bool hide) {
  hidden_ = hide;
  redrawAgain_ = true;
  MarkDirty(false);
}

void IControl::SetGrayed(bool gray) {
  grayed_ = gray;
  blend_.weight = gray ? 0.25f : 1.0f;
  MarkDirty(false);
}

bool IControl::HitTest(int x, int y) const {
  if (targetRect_.IsEmpty()) return false;
  return x >= targetRect_.left && x < targetRect_.right && y >= targetRect_.top && y < targetRect_.bottom;
}

void IControl::MarkDirty(bool pushToPlug) {
  // NaN (never a legal value) falls to the low end instead of travelling on.
  value_ = (value_ < clampLo_ || value_ != value_) ? clampLo_ : std::min(clampHi_, value_);
  dirty_ = true;
  if (pushToPlug && panel_ && paramIndex_ >= 0) panel_->ControlEdited(*this);
}

void IControl::MarkClean() {
  dirty_ = redrawAgain_;
  redrawAgain_ = false;
}

void IControl::PromptValueEntry() {
  if (paramIndex_ < 0 || promptDisabled_ || !panel_) return;
  const IParamDef* p = panel_->ParamDescription(paramIndex_);
  if (!p) return;
  PixelRect region = rect_;
  if (p->NDisplayTexts() == 0) {
    const int cx = static_cast<int>((rect_.left + rect_.right) * 0.5);
    const int cy = static_cast<int>((rect_.top + rect_.bottom) * 0.5);
    region = {cx - 20, cy - 8, cx + 20, cy + 8};
  }
  panel_->PromptUserInput(this, paramIndex_, region);
  redrawAgain_ = true;
}

// ---- Bitmaps -----------------------------------------------------------------------------

namespace {

PixelRect FrameRect(int x, int y, const BitmapRef& b) { return {x, y, x + b.FrameWidth(), y + b.FrameHeight()}; }

}  // namespace

int FrameForValue(int frames, double value) {
  if (frames < 2) return 1;
  // NaN and huge values must not reach the integer conversion.
  const double scaled = (frames - 1) * value + 0.5;
  if (!(scaled >= 0.0)) return 1;
  if (scaled >= frames) return frames;
  return std::min(frames, static_cast<int>(scaled) + 1);
}

bool DrawStripFrame(IPanel& graphics, const BitmapRef& bitmap, const PixelRect& rect, double value,
                    const ChannelBlend& blend) {
  const int n = bitmap.Frames();
  const int f = FrameForValue(n, value);
  int srcX = 0;
  int srcY = 0;
  if (n >= 2 && f > 1) {
    if (bitmap.framesSideBySide) {
      srcX = bitmap.FrameOffset(f - 1);
    } else {
      srcY = bitmap.FrameOffset(f - 1);
    }
  }
  return graphics.DrawBitmap(bitmap, rect, srcX, srcY, &blend);
}

IBitmapControl::IBitmapControl(int x, int y, int paramIndex, const BitmapRef& bitmap, int blendMethod)
    : IControl(FrameRect(x, y, bitmap), paramIndex, blendMethod), bitmap_(bitmap) {}

bool IBitmapControl::Draw(IPanel& graphics) { return DrawStripFrame(graphics, bitmap_, rect_, value_, blend_); }

void ISwitchControl::MouseDown(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {
  const int n = bitmap_.Frames();
  const double step = n < 2 ? 1.0 : 1.0 / (n - 1);
  value_ += step;
  if (value_ > 1.001) value_ = 0.0;
  MarkDirty(true);
}

void ISwitchControl::MouseDoubleClick(int x, int y, const MouseMods& mods) { MouseDown(x, y, mods); }

// ---- Knobs ----------------------------------------------------------------------------------

IKnobControl::IKnobControl(const PixelRect& rect, int paramIndex, int direction, double gearing)
    : IControl(rect, paramIndex), direction_(direction), gearing_(gearing) {}

void IKnobControl::MouseDrag(int /*x*/, int /*y*/, int dx, int dy, const MouseMods& mods) {
  double g = gearing_;
  if (mods.shift || mods.control) g *= 10.0;
  if (direction_ == kHorizontal) {
    const int span = rect_.right - rect_.left;
    if (span != 0) value_ += static_cast<double>(dx) / span / g;
  } else {
    const int span = rect_.top - rect_.bottom;
    if (span != 0) value_ += static_cast<double>(dy) / span / g;
  }
  MarkDirty(true);
}

void IKnobControl::MouseWheel(int /*x*/, int /*y*/, const MouseMods& mods, int delta) {
  value_ += delta * ((mods.shift || mods.control) ? 0.001 : 0.01);
  MarkDirty(true);
}

IKnobStripControl::IKnobStripControl(int x, int y, int paramIndex, const BitmapRef& bitmap, int direction,
                                     double gearing)
    : IKnobControl(FrameRect(x, y, bitmap), paramIndex, direction, gearing), bitmap_(bitmap) {}

bool IKnobStripControl::Draw(IPanel& graphics) { return DrawStripFrame(graphics, bitmap_, rect_, value_, blend_); }

// ---- Text -------------------------------------------------------------------------------------

ITextControl::ITextControl(const PixelRect& rect, const TextStyle& style, const char* text)
    : IControl(rect, -1, ChannelBlend::kAlpha), text_(text ? text : "") {
  style_ = style;
}

bool ITextControl::Draw(IPanel& graphics) {
  if (text_.empty()) return true;
  PixelRect r = rect_;
  return graphics.DrawIText(style_, text_.c_str(), r, false);
}

void ITextControl::SetTextFromPlug(const char* text) {
  const char* t = text ? text : "";
  if (text_ == t) return;
  MarkDirty(false);
  text_ = t;
}
