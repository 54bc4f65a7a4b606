#include "gui/IPanel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>

#include "plugbase/IParamDef.h"
#include "raster/RAS_Bitmap.h"
#include "raster/RAS_Blit.h"
#include "raster/RAS_FontCache.h"
#include "raster/RAS_FrameSet.h"
#include "raster/RAS_Png.h"
#include "raster/RAS_Resample.h"
#include "raster/RAS_Resources.h"

namespace {

// An image of the module whose size its header gave and whose pixels are
// decoded the first time a panel draws it at scale 1 (or makes other frames
// from it), through that panel's LoadBitmapFromResource. Until then it has
// its size but no pixels. The pixels, once set, never change.
class DeferredImage final : public RAS_IBitmap {
 public:
  DeferredImage(int width, int height, const char* name) : width_(width), height_(height), name_(name) {}
  std::uint32_t* getBits() override {
    RAS_IBitmap* p = Pixels();
    return p ? p->getBits() : nullptr;
  }
  int getWidth() const override { return width_; }
  int getHeight() const override { return height_; }
  int getRowSpan() const override {
    RAS_IBitmap* p = Pixels();
    return p ? p->getRowSpan() : 0;
  }
  bool isFlipped() const override { return false; }
  bool resize(int, int) override { return false; }
  RAS_DC getDC() const override { return nullptr; }

  const char* Name() const { return name_.c_str(); }
  RAS_IBitmap* Pixels() const { return pixels_.load(std::memory_order_acquire); }
  // Under the cache's lock: keeps decoded unless pixels came first.
  RAS_IBitmap* Keep(std::unique_ptr<RAS_IBitmap> decoded) {
    if (!owned_) {
      owned_ = std::move(decoded);
      pixels_.store(owned_.get(), std::memory_order_release);
    }
    return owned_.get();
  }

 private:
  const int width_;
  const int height_;
  const std::string name_;
  std::unique_ptr<RAS_IBitmap> owned_;
  std::atomic<RAS_IBitmap*> pixels_{nullptr};
};

// Images shared by every panel of the module, by resource id; never emptied
// while the module is loaded. An image the module's resources hold is
// entered with its header's size and decoded on first draw (DeferredImage);
// others (a panel's own images) are decoded when loaded.
struct BitmapCache {
  struct Entry {
    int id;
    std::unique_ptr<RAS_IBitmap> bitmap;
  };
  std::mutex lock;
  std::vector<Entry> entries;

  RAS_IBitmap* Find(int id) {
    for (const Entry& e : entries) {
      if (e.id == id) return e.bitmap.get();
    }
    return nullptr;
  }
};

BitmapCache& ProcessBitmapCache() {
  static BitmapCache cache;
  return cache;
}

// Pictures at display scales other than 1, made frame by frame the first
// time a frame is drawn. Each scale counts the panels drawing at it; a scale
// whose count falls to 0 is freed, except 2, whose frames (decoded from the
// module's set at twice the size) stay for the process and serve the other
// scales as their source. Entries are only added while their scale lives, so
// a pointer taken under the lock stays valid while the taker holds a use.
struct ScaledFrames {
  const RAS_IBitmap* source = nullptr;  // the image at scale 1: the key
  int frameW = 0;                       // one frame's size at this scale
  int frameH = 0;
  std::vector<std::unique_ptr<RAS_IBitmap>> frames;  // by frame, made on first draw
  // At 2 only: the image's frame set (opened once) and its base picture.
  bool setOpened = false;
  std::unique_ptr<RAS_FrameSet> set;
  std::unique_ptr<RAS_IBitmap> base;
};

struct ScaleSet {
  double scale = 0.0;
  int users = 0;
  std::vector<std::unique_ptr<ScaledFrames>> images;
};

constexpr double kStoredScale = 2.0;  // the scale the module carries frames for

struct ScaledCache {
  std::mutex lock;
  std::vector<std::unique_ptr<ScaleSet>> scales;

  ScaleSet* Find(double scale) {
    for (const auto& s : scales) {
      if (s->scale == scale) return s.get();
    }
    return nullptr;
  }
  ScaleSet& Get(double scale) {
    if (ScaleSet* s = Find(scale)) return *s;
    scales.push_back(std::make_unique<ScaleSet>());
    scales.back()->scale = scale;
    return *scales.back();
  }
  // The image's entry at set's scale, made with frames empty slots.
  static ScaledFrames& Image(ScaleSet& set, const BitmapRef& bitmap, int frameW, int frameH) {
    for (const auto& i : set.images) {
      if (i->source == bitmap.bitmap) return *i;
    }
    auto made = std::make_unique<ScaledFrames>();
    made->source = bitmap.bitmap;
    made->frameW = frameW;
    made->frameH = frameH;
    made->frames.resize(static_cast<std::size_t>(bitmap.Frames()));
    set.images.push_back(std::move(made));
    return *set.images.back();
  }
};

ScaledCache& ProcessScaledCache() {
  static ScaledCache cache;
  return cache;
}

// Stores made in slot unless another thread was first; returns what the slot holds.
RAS_IBitmap* Keep(std::unique_ptr<RAS_IBitmap>& slot, std::unique_ptr<RAS_IBitmap> made) {
  if (!slot) slot = std::move(made);
  return slot.get();
}

int RoundToInt(double v) { return static_cast<int>(std::floor(v + 0.5)); }

// A logical length in device pixels at scale, rounded as ToDevice rounds.
int DeviceLength(int logical, double scale) { return scale == 1.0 ? logical : RoundToInt(logical * scale); }

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
  HoldScale(0.0);
  keyboardControl_.reset();
  while (!controls_.empty()) controls_.pop_back();  // last to first
}

std::size_t IPanel::BitmapCacheSize() {
  BitmapCache& cache = ProcessBitmapCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  return cache.entries.size();
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
  BitmapCache& cache = ProcessBitmapCache();
  RAS_IBitmap* raster = nullptr;
  {
    std::lock_guard<std::mutex> hold(cache.lock);
    raster = cache.Find(id);
  }
  if (!raster) {
    // Decoded (or its size read) outside the lock; a racing load of the same
    // id keeps the first.
    int w = 0;
    int h = 0;
    std::unique_ptr<RAS_IBitmap> decoded;
    if (PngSizeFromResource(id, name, w, h)) {
      decoded = std::make_unique<DeferredImage>(w, h, name);
    } else {
      decoded = LoadBitmapFromResource(id, name);
    }
    if (decoded) {
      std::lock_guard<std::mutex> hold(cache.lock);
      raster = cache.Find(id);
      if (!raster) {
        raster = decoded.get();
        cache.entries.push_back(BitmapCache::Entry{id, std::move(decoded)});
      }
    }
  }
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

RAS_IBitmap* IPanel::Pixels(const BitmapRef& bitmap) {
  auto* deferred = dynamic_cast<DeferredImage*>(bitmap.bitmap);
  if (!deferred) return bitmap.bitmap;
  if (RAS_IBitmap* pixels = deferred->Pixels()) return pixels;
  // Decoded outside the lock; a failure draws nothing and is tried again.
  std::unique_ptr<RAS_IBitmap> decoded = LoadBitmapFromResource(bitmap.id, deferred->Name());
  if (!decoded || decoded->getWidth() != deferred->getWidth() || decoded->getHeight() != deferred->getHeight() ||
      !decoded->getBits())
    return nullptr;
  BitmapCache& cache = ProcessBitmapCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  return deferred->Keep(std::move(decoded));
}

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
  EndOpenEdit();
  mouseHolder_ = -1;
  mouseOverControl_ = -1;
  while (!controls_.empty()) controls_.pop_back();
  MakeDrawingSurfaces();
  if (port_) port_->RequestEditorSize(DeviceWidth(), DeviceHeight());
}

// ---- Display scale ----------------------------------------------------------------------

bool IPanel::SetScale(double scale) {
  if (!ScaleAccepted(scale)) return false;
  hostScale_ = scale;
  hostScaleSet_ = true;
  ApplyScale();
  return true;
}

void IPanel::SetDesktopScale(double scale) {
  desktopScale_ = ScaleAccepted(scale) ? scale : 1.0;
  ApplyScale();
}

void IPanel::SetScalePolicy(ScalePolicy policy) {
  scalePolicy_ = policy;
  ApplyScale();
}

double IPanel::ChosenScale(ScalePolicy policy, bool hostSet, double host, double desktop) {
  if (policy == ScalePolicy::kHostOnceSet) return hostSet ? host : desktop;
  return std::max(host, desktop);
}

void IPanel::ApplyScale() {
  const double scale = ZoomedScale(ChosenScale(scalePolicy_, hostScaleSet_, hostScale_, desktopScale_));
  if (scale == scale_) return;
  scale_ = scale;
  if (backBuffer_) MakeDrawingSurfaces();
  SetAllControlsDirty();
  ScaleChanged();
}

// ---- The user's size ------------------------------------------------------------------

bool IPanel::SetZoom(double zoom) {
  if (!EditorZoomInRange(zoom)) return false;
  zoom_ = zoom;
  if (port_) port_->SetEditorZoom(zoom);
  ApplyScale();
  return true;
}

void IPanel::FollowKeptZoom() {
  // A state loaded while the editor shows brings the size it was saved with;
  // the host hears of it as of any size the editor asks for.
  if (!port_ || port_->EditorZoom() == zoom_) return;
  const int width = DeviceWidth();
  const int height = DeviceHeight();
  if (!SetZoom(port_->EditorZoom())) return;
  if (DeviceWidth() != width || DeviceHeight() != height) port_->RequestEditorSize(DeviceWidth(), DeviceHeight());
}

double IPanel::ZoomedScale(double displayScale) {
  displayScale_ = displayScale;
  if (zoom_ == 1.0) return displayScale;
  const double zoomed = std::round(displayScale * zoom_ * 1e6) / 1e6;
  return std::clamp(zoomed, kMinDrawScale, kMaxDrawScale);
}

double IPanel::ScaleForWidth(int deviceWidth) const {
  if (width_ <= 0) return 1.0;
  const double exact = static_cast<double>(deviceWidth) / width_;
  for (const double step : {1e2, 1e3, 1e4, 1e5, 1e6}) {
    const double scale = std::round(exact * step) / step;
    if (DeviceLength(width_, scale) == deviceWidth) return std::clamp(scale, kMinDrawScale, kMaxDrawScale);
  }
  return std::clamp(exact, kMinDrawScale, kMaxDrawScale);
}

void IPanel::ConstrainSize(int& width, int& height) const {
  if (width_ <= 0 || height_ <= 0) return;
  const int smallest = DeviceLength(width_, kMinDrawScale);
  const int largest = DeviceLength(width_, kMaxDrawScale);
  // Heights grow with widths: the largest width whose height fits, from the
  // widest the offered height allows down.
  const double widestForHeight = (static_cast<double>(height) + 1.0) * width_ / height_ + 1.0;
  int w = std::min({width, largest, static_cast<int>(std::clamp(widestForHeight, -1.0, 1e9))});
  w = std::max(w, smallest);
  for (; w > smallest; --w) {
    if (DeviceLength(height_, ScaleForWidth(w)) <= height) break;
  }
  width = w;
  height = DeviceLength(height_, ScaleForWidth(w));
}

bool IPanel::FitToSize(int width, int height) {
  ConstrainSize(width, height);
  const double scale = ScaleForWidth(width);
  double zoom = scale / displayScale_;
  // Back at the display's own size: no zoom (nothing for the state to keep).
  if (std::fabs(zoom - 1.0) < 1e-9) zoom = 1.0;
  zoom_ = std::clamp(zoom, kEditorZoomMin, kEditorZoomMax);
  if (port_) port_->SetEditorZoom(zoom_);
  ApplyScale();
  return DeviceWidth() == width && DeviceHeight() == height;
}

int IPanel::ToDevice(int logical) const {
  return DeviceLength(logical, scale_);
}

PixelRect IPanel::ToDevice(const PixelRect& r) const {
  return {ToDevice(r.left), ToDevice(r.top), ToDevice(r.right), ToDevice(r.bottom)};
}

int IPanel::ToLogical(int device) const {
  return scale_ == 1.0 ? device : static_cast<int>(std::floor(device / scale_));
}

PixelRect IPanel::ToLogical(const PixelRect& r) const {
  if (scale_ == 1.0 || r.IsEmpty()) return r;
  return {ToLogical(r.left), ToLogical(r.top), static_cast<int>(std::ceil(r.right / scale_)),
          static_cast<int>(std::ceil(r.bottom / scale_))};
}

std::unique_ptr<RAS_FrameSet> IPanel::OpenFrameSet(int id) { return RAS_FrameSet::Open(RAS_FindPngResource(id)); }

bool IPanel::HoldsScale(double scale) {
  ScaledCache& cache = ProcessScaledCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  return cache.Find(scale) != nullptr;
}

std::size_t IPanel::ScaledPixelBytes() {
  ScaledCache& cache = ProcessScaledCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  std::size_t bytes = 0;
  auto add = [&](const std::unique_ptr<RAS_IBitmap>& b) {
    if (b) bytes += static_cast<std::size_t>(b->getRowSpan()) * static_cast<std::size_t>(b->getHeight()) * 4;
  };
  for (const auto& s : cache.scales) {
    for (const auto& i : s->images) {
      add(i->base);
      for (const auto& f : i->frames) add(f);
    }
  }
  return bytes;
}

void IPanel::HoldScale(double scale) {
  const double next = scale == 1.0 ? 0.0 : scale;
  if (next == heldScale_) return;
  ScaledCache& cache = ProcessScaledCache();
  std::unique_ptr<ScaleSet> freed;  // deleted after the lock is released
  {
    std::lock_guard<std::mutex> hold(cache.lock);
    if (ScaleSet* old = heldScale_ != 0.0 ? cache.Find(heldScale_) : nullptr) {
      if (--old->users == 0 && old->scale != kStoredScale) {
        for (auto& s : cache.scales) {
          if (s.get() == old) {
            freed = std::move(s);
            s = std::move(cache.scales.back());
            cache.scales.pop_back();
            break;
          }
        }
      }
    }
    if (next != 0.0) ++cache.Get(next).users;
  }
  heldScale_ = next;
}

RAS_IBitmap* IPanel::ScaledFrame(const BitmapRef& bitmap, int k) {
  const int frames = bitmap.Frames();
  if (k < 0 || k >= frames || !bitmap.bitmap) return nullptr;
  HoldScale(scale_);
  ScaledCache& cache = ProcessScaledCache();
  const int fw = bitmap.FrameWidth();
  const int fh = bitmap.FrameHeight();
  const int frameW = ToDevice(fw);
  const int frameH = ToDevice(fh);
  ScaledFrames* here = nullptr;
  ScaledFrames* stored = nullptr;  // the image at 2, for scales above 1
  {
    std::lock_guard<std::mutex> hold(cache.lock);
    here = &ScaledCache::Image(cache.Get(scale_), bitmap, frameW, frameH);
    if (RAS_IBitmap* made = here->frames[static_cast<std::size_t>(k)].get()) return made;
    if (scale_ > 1.0) stored = &ScaledCache::Image(cache.Get(kStoredScale), bitmap, 2 * fw, 2 * fh);
  }
  // Frame k at 2 from the module's frame set, when it has one of this
  // image's size and the scale is above 1 (below it the set at 1 is the next
  // larger); decoded outside the lock (a racing thread's copy is dropped).
  bool hasSet = false;
  RAS_IBitmap* twice = nullptr;
  if (scale_ > 1.0) {
    std::unique_lock<std::mutex> hold(cache.lock);
    if (!stored->setOpened && bitmap.id >= 0) {
      hold.unlock();
      std::unique_ptr<RAS_FrameSet> set = OpenFrameSet(bitmap.id + kDoubleSizeIdOffset);
      if (set && (set->Frames() != frames || set->FrameWidth() != 2 * fw || set->FrameHeight() != 2 * fh)) {
        set.reset();
      }
      hold.lock();
      if (!stored->setOpened) {
        stored->set = std::move(set);
        stored->setOpened = true;
      }
    }
    hasSet = stored->set != nullptr;
    twice = stored->frames[static_cast<std::size_t>(k)].get();
  }
  if (hasSet && !twice) {
    const RAS_FrameSet& set = *stored->set;  // fixed once opened
    RAS_IBitmap* base = nullptr;
    if (set.HasBase()) {
      {
        std::lock_guard<std::mutex> hold(cache.lock);
        base = stored->base.get();
      }
      if (!base) {
        std::unique_ptr<RAS_IBitmap> decoded = set.DecodeBase();
        if (!decoded) return nullptr;  // nothing drawn; tried again next time
        std::lock_guard<std::mutex> hold(cache.lock);
        base = Keep(stored->base, std::move(decoded));
      }
    }
    std::unique_ptr<RAS_IBitmap> decoded = set.DecodeFrame(k, base);
    if (!decoded) return nullptr;
    std::lock_guard<std::mutex> hold(cache.lock);
    twice = Keep(stored->frames[static_cast<std::size_t>(k)], std::move(decoded));
  }
  if (scale_ == kStoredScale && twice) return twice;
  if (hasSet && !twice) return nullptr;
  // Any other scale, resampled per frame from the next larger set (the one at
  // 2 between 1 and 2, the one at 1 below 1), else from the largest there is.
  std::unique_ptr<RAS_IBitmap> made;
  if (twice) {
    made = RAS_ResampleFrame(*twice, 0, 0, 2 * fw, 2 * fh, frameW, frameH);
  } else if (RAS_IBitmap* pixels = Pixels(bitmap)) {
    const int srcX = bitmap.framesSideBySide ? k * fw : 0;
    const int srcY = bitmap.framesSideBySide ? 0 : k * fh;
    made = RAS_ResampleFrame(*pixels, srcX, srcY, fw, fh, frameW, frameH);
  }
  if (!made) return nullptr;
  std::lock_guard<std::mutex> hold(cache.lock);
  return Keep(here->frames[static_cast<std::size_t>(k)], std::move(made));
}

// ---- Drawing -------------------------------------------------------------------------

bool IPanel::DrawBitmap(const BitmapRef& bitmap, const PixelRect& rect, int srcX, int srcY,
                        const ChannelBlend* blend) {
  const PixelRect clipped = rect.Clip(drawRect_);
  if (clipped.IsEmpty() || !bitmap.bitmap || !backBuffer_) return true;
  const ChannelBlend use = blend ? *blend : ChannelBlend{};
  if (scale_ == 1.0) {
    HoldScale(1.0);  // gives back the pictures of the scale drawn at before
    RAS_IBitmap* pixels = Pixels(bitmap);
    if (!pixels) return true;
    const RAS_Rect src{srcX + clipped.left - rect.left, srcY + clipped.top - rect.top,
                       srcX + clipped.right - rect.left, srcY + clipped.bottom - rect.top};
    RAS_Blit(backBuffer_.get(), pixels, clipped.left, clipped.top, &src, use.weight, BlitModeFor(use.method));
    return true;
  }
  // The frame the source origin lies in, and the origin's place inside it.
  const int fw = std::max(bitmap.FrameWidth(), 1);
  const int fh = std::max(bitmap.FrameHeight(), 1);
  const int frameX = bitmap.framesSideBySide ? srcX / fw : 0;
  const int frameY = bitmap.framesSideBySide ? 0 : srcY / fh;
  RAS_IBitmap* frame = ScaledFrame(bitmap, bitmap.framesSideBySide ? frameX : frameY);
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
  if (!text || !*text) return true;
  if (!style.font || style.fontScale != scale_) {
    RAS_FontRequest request;
    request.face = style.face;
    request.size = ToDevice(style.size);
    request.orientation = style.orientation;
    request.style = style.style;
    request.quality = style.quality;
    style.font = RAS_FontCache::Process().Get(request);
    style.fontScale = scale_;
    if (!style.font) return false;
  }
  RAS_CachedFont* font = style.font;
  font->SetTextColor(style.colour.Packed());
  unsigned flags = kRasTextNoClip;
  if (style.align == 1) flags |= kRasTextCenter;
  if (style.align == 2) flags |= kRasTextRight;
  if (style.colour.a != 255) flags |= kRasTextUseAlpha;
  if (!measure) {
    const PixelRect d = ToDevice(rect);
    RAS_Rect r{d.left, d.top, d.right, d.bottom};
    font->DrawText(backBuffer_.get(), text, -1, &r, flags);
    return true;
  }
  RAS_Rect r{ToDevice(rect.left), ToDevice(rect.top), ToDevice(rect.left), ToDevice(rect.top)};
  font->DrawText(nullptr, text, -1, &r, flags | kRasTextCalcRect);
  // The extent in logical pixels, rounded up.
  const int width = static_cast<int>(std::ceil((r.right - r.left) / scale_));
  const int height = static_cast<int>(std::ceil((r.bottom - r.top) / scale_));
  if (style.align == 1) {
    rect.left = static_cast<int>((rect.left + rect.right) * 0.5) - width / 2;
    rect.right = rect.left + width;
  } else if (style.align == 2) {
    rect.left = rect.right - width;
  } else {
    rect.right = rect.left + width;
  }
  rect.bottom = rect.top + height;
  return true;
}

bool IPanel::MeasureText(TextStyle& style, const char* text, PixelRect& rect) {
  return DrawIText(style, text, rect, true);
}

void IPanel::PromptUserInput(IControl* control, int paramIndex, const PixelRect& rect) {
  if (!control || !port_ || rect.IsEmpty()) return;
  const IParamDef* p = port_->ParamDescription(paramIndex);
  if (!p) return;
  const double current = port_->ParamPlain(paramIndex);
  const bool menu = p->Kind() == ParamKind::Enumeration || (p->Kind() == ParamKind::Boolean && p->NDisplayTexts() > 0);
  if (menu) {
    IPopupMenu m;
    const std::string shown = port_->ParamDisplayText(paramIndex);
    for (int i = 0; i < p->NDisplayTexts(); ++i) {
      const std::string& text = p->GetDisplayEntry(i).text;
      m.AddItem(text.c_str(), text == shown ? IPopupMenu::kChecked : 0);
    }
    if (ShowPopupMenu(&m, rect) && m.chosenIndex >= 0) {
      control->ApplyUserValue(NormalizedFromPlain(*p, m.chosenIndex));
    }
    return;
  }
  // The entry starts with the value's text, as the host shows it.
  CreateTextEntry(control, control->Style(), rect, p->FormatDisplay(current).c_str(), p);
}

void IPanel::CommitTextEntry(IControl* control, const IParamDef* param, const char* text) {
  if (!control || !text) return;
  if (!param) {
    control->TextFromUser(text);
    return;
  }
  // Read as a host reads a typed value: a value text, or a number in the
  // shown unit with the unit optional. A text that reads as nothing changes
  // nothing.
  double plain = 0.0;
  if (!param->ParseDisplay(text, plain)) return;
  ApplyUserValueAsEdit(control, NormalizedFromPlain(*param, plain));
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
    HandleMouseUp(lastX_, lastY_, MouseMods{});
  } else {
    EndOpenEdit();
  }
}

void IPanel::BeginEdit(int paramIndex) {
  EndOpenEdit();
  if (paramIndex < 0 || !port_) return;
  port_->BeginEdit(paramIndex);
  openEdit_ = paramIndex;
}

void IPanel::EndOpenEdit() {
  const int param = openEdit_;
  openEdit_ = -1;
  if (param < 0 || !port_) return;
  port_->EndEdit(param);
  // The host's latest value, held back during the gesture, now shows if it
  // differs from the control's.
  ApplyHandedOver(param);
}

const IParamDef* IPanel::ParamDescription(int paramIndex) const {
  return port_ ? port_->ParamDescription(paramIndex) : nullptr;
}

std::string IPanel::ParamValueText(int paramIndex) {
  const IParamDef* p = ParamDescription(paramIndex);
  if (!p) return {};
  std::string text = port_->ParamDisplayText(paramIndex);
  if (!p->GetDisplayText(TruncToInt32(port_->ParamPlain(paramIndex))) && *p->Label()) {
    text += ' ';
    text += p->Label();
  }
  return text;
}

void IPanel::ControlEdited(IControl& control) {
  const int param = control.ParamIndex();
  if (param < 0 || !port_) return;
  if (deferEdits_) {
    deferredEdit_ = true;
    return;
  }
  port_->PerformEdit(param, control.Value());
  if (ITextControl* display = control.ValueDisplay()) display->SetTextFromPlug(ParamValueText(param).c_str());
  if (ITextControl* display = control.NameDisplay()) {
    if (const IParamDef* p = ParamDescription(param)) display->SetTextFromPlug(p->Name());
  }
}

void IPanel::ApplyUserValueAsEdit(IControl* control, double normalized) {
  if (!control) return;
  BeginEdit(control->ParamIndex());
  control->ApplyUserValue(normalized);
  EndOpenEdit();
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

void IPanel::HandleMouseUp(int x, int y, const MouseMods& mods) {
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

bool IPanel::HandleMouseOver(int x, int y, const MouseMods& mods) {
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
  // The first paint shows what the host and the state set while closed.
  ApplyHandedOver();
  NativeWindow window = OpenWindow(host.parent);
  if (!window) {
    ForgetHostRunLoop(host.runLoop);
    return false;
  }
  host.window = window;
  return true;
}

void IPanel::CloseEditor(EditorHostContext& host) {
  if (host.window && GetWindow() == host.window) CloseWindow();
  if (host.runLoop) ForgetHostRunLoop(host.runLoop);
}
