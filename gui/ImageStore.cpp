#include "gui/ImageStore.h"

#include <atomic>
#include <string>
#include <utility>

#include "gui/DisplayScale.h"
#include "raster/RAS_Bitmap.h"
#include "raster/RAS_FrameSet.h"
#include "raster/RAS_Png.h"
#include "raster/RAS_Resample.h"

namespace {

// An image of the module whose size its header gave and whose pixels are
// decoded the first time a panel draws it at scale 1 (or makes other frames
// from it), through that panel's loader. Until then it has its size but no
// pixels. The pixels, once set, never change.
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
  // Under the store's lock: keeps decoded unless pixels came first.
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

// The scales the module carries frame sets for: at 2 for every image, at 1
// for the images of more than one frame. Their frames stay once made.
constexpr double kStoredScale = 2.0;

// The id offset of an image's set at a stored scale.
int SetIdOffset(double storedScale) {
  return storedScale == 1.0 ? ImageStore::kSingleSizeIdOffset : ImageStore::kDoubleSizeIdOffset;
}

// Stores made in slot unless another thread was first; returns what the slot holds.
RAS_IBitmap* Keep(std::unique_ptr<RAS_IBitmap>& slot, std::unique_ptr<RAS_IBitmap> made) {
  if (!slot) slot = std::move(made);
  return slot.get();
}

}  // namespace

struct ImageStore::Image {
  int id;
  std::unique_ptr<RAS_IBitmap> bitmap;
};

// One image's frames at one scale. Entries are only added while their scale
// is held, so a pointer taken under the lock stays valid while the taker
// holds the scale.
struct ImageStore::ScaledImage {
  const RAS_IBitmap* source = nullptr;  // the image at scale 1: the key
  int frameW = 0;                       // one frame's size at this scale
  int frameH = 0;
  std::vector<std::unique_ptr<RAS_IBitmap>> frames;  // by frame, made on first draw
  // At 2 only: the image's frame set (opened once) and its base picture.
  bool setOpened = false;
  std::unique_ptr<RAS_FrameSet> set;
  std::unique_ptr<RAS_IBitmap> base;
};

struct ImageStore::ScaleSet {
  double scale = 0.0;
  int users = 0;
  std::vector<std::unique_ptr<ScaledImage>> images;
};

ImageStore::ImageStore() = default;
ImageStore::~ImageStore() = default;

ImageStore& ImageStore::Process() {
  static ImageStore store;
  return store;
}

// ---- Holding a scale ---------------------------------------------------------------------

ImageStore::ScaleHold::ScaleHold(ScaleHold&& other) noexcept
    : store_(std::exchange(other.store_, nullptr)), scale_(std::exchange(other.scale_, 0.0)) {}

ImageStore::ScaleHold& ImageStore::ScaleHold::operator=(ScaleHold&& other) noexcept {
  if (this != &other) {
    Release();
    store_ = std::exchange(other.store_, nullptr);
    scale_ = std::exchange(other.scale_, 0.0);
  }
  return *this;
}

ImageStore::ScaleHold::~ScaleHold() { Release(); }

void ImageStore::ScaleHold::Release() {
  if (store_) store_->Release(scale_);
  store_ = nullptr;
  scale_ = 0.0;
}

ImageStore::ScaleHold ImageStore::Hold(double scale) {
  if (scale == 1.0) return {};
  std::lock_guard<std::mutex> hold(lock_);
  ++GetScale(scale).users;
  return ScaleHold(this, scale);
}

void ImageStore::Release(double scale) {
  std::unique_ptr<ScaleSet> freed;  // deleted after the lock is released
  std::lock_guard<std::mutex> hold(lock_);
  ScaleSet* old = FindScale(scale);
  if (!old || --old->users != 0 || old->scale == kStoredScale) return;
  for (auto& s : scales_) {
    if (s.get() == old) {
      freed = std::move(s);
      s = std::move(scales_.back());
      scales_.pop_back();
      break;
    }
  }
}

ImageStore::ScaleSet* ImageStore::FindScale(double scale) const {
  for (const auto& s : scales_) {
    if (s->scale == scale) return s.get();
  }
  return nullptr;
}

ImageStore::ScaleSet& ImageStore::GetScale(double scale) {
  if (ScaleSet* s = FindScale(scale)) return *s;
  scales_.push_back(std::make_unique<ScaleSet>());
  scales_.back()->scale = scale;
  return *scales_.back();
}

ImageStore::ScaledImage& ImageStore::Scaled(ScaleSet& set, const BitmapRef& bitmap, int frameW, int frameH) {
  for (const auto& i : set.images) {
    if (i->source == bitmap.bitmap) return *i;
  }
  auto made = std::make_unique<ScaledImage>();
  made->source = bitmap.bitmap;
  made->frameW = frameW;
  made->frameH = frameH;
  made->frames.resize(static_cast<std::size_t>(bitmap.Frames()));
  set.images.push_back(std::move(made));
  return *set.images.back();
}

// ---- Images at scale 1 ---------------------------------------------------------------------

RAS_IBitmap* ImageStore::Load(int id, const char* name, ImageLoader& loader) {
  auto find = [&]() -> RAS_IBitmap* {
    for (const Image& i : images_) {
      if (i.id == id) return i.bitmap.get();
    }
    return nullptr;
  };
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (RAS_IBitmap* found = find()) return found;
  }
  // Decoded (or its size read) outside the lock; a racing load of the same
  // id keeps the first.
  int w = 0;
  int h = 0;
  std::unique_ptr<RAS_IBitmap> decoded;
  if (PngSizeFromResource(id, name, w, h)) {
    decoded = std::make_unique<DeferredImage>(w, h, name);
  } else {
    decoded = loader.LoadBitmapFromResource(id, name);
  }
  if (!decoded) return nullptr;
  std::lock_guard<std::mutex> hold(lock_);
  if (RAS_IBitmap* found = find()) return found;
  images_.push_back(Image{id, std::move(decoded)});
  return images_.back().bitmap.get();
}

RAS_IBitmap* ImageStore::Pixels(const BitmapRef& bitmap, ImageLoader& loader) {
  auto* deferred = dynamic_cast<DeferredImage*>(bitmap.bitmap);
  if (!deferred) return bitmap.bitmap;
  if (RAS_IBitmap* pixels = deferred->Pixels()) return pixels;
  // Decoded outside the lock; a failure draws nothing and is tried again.
  std::unique_ptr<RAS_IBitmap> decoded = loader.LoadBitmapFromResource(bitmap.id, deferred->Name());
  if (!decoded || decoded->getWidth() != deferred->getWidth() || decoded->getHeight() != deferred->getHeight() ||
      !decoded->getBits())
    return nullptr;
  std::lock_guard<std::mutex> hold(lock_);
  return deferred->Keep(std::move(decoded));
}

// ---- Frames at other scales -----------------------------------------------------------------

RAS_IBitmap* ImageStore::StoredFrame(const BitmapRef& bitmap, int k, double storedScale, ScaledImage& stored,
                                     bool& hasSet, ImageLoader& loader) {
  const int fw = DisplayScale::ToDevice(bitmap.FrameWidth(), storedScale);
  const int fh = DisplayScale::ToDevice(bitmap.FrameHeight(), storedScale);
  RAS_IBitmap* made = nullptr;
  {
    std::unique_lock<std::mutex> hold(lock_);
    if (!stored.setOpened && bitmap.id >= 0) {
      hold.unlock();
      std::unique_ptr<RAS_FrameSet> set = loader.OpenFrameSet(bitmap.id + SetIdOffset(storedScale));
      if (set && (set->Frames() != bitmap.Frames() || set->FrameWidth() != fw || set->FrameHeight() != fh)) {
        set.reset();
      }
      hold.lock();
      if (!stored.setOpened) {
        stored.set = std::move(set);
        stored.setOpened = true;
      }
    }
    hasSet = stored.set != nullptr;
    made = stored.frames[static_cast<std::size_t>(k)].get();
  }
  if (!hasSet || made) return made;
  const RAS_FrameSet& set = *stored.set;  // fixed once opened
  RAS_IBitmap* base = nullptr;
  if (set.HasBase()) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      base = stored.base.get();
    }
    if (!base) {
      std::unique_ptr<RAS_IBitmap> decoded = set.DecodeBase();
      if (!decoded) return nullptr;  // nothing drawn; tried again next time
      std::lock_guard<std::mutex> hold(lock_);
      base = Keep(stored.base, std::move(decoded));
    }
  }
  std::unique_ptr<RAS_IBitmap> decoded = set.DecodeFrame(k, base);
  if (!decoded) return nullptr;
  std::lock_guard<std::mutex> hold(lock_);
  return Keep(stored.frames[static_cast<std::size_t>(k)], std::move(decoded));
}

RAS_IBitmap* ImageStore::Frame(const BitmapRef& bitmap, int k, double scale, ImageLoader& loader) {
  const int frames = bitmap.Frames();
  if (k < 0 || k >= frames || !bitmap.bitmap || !(scale > 0.0)) return nullptr;
  const int fw = bitmap.FrameWidth();
  const int fh = bitmap.FrameHeight();
  const int frameW = DisplayScale::ToDevice(fw, scale);
  const int frameH = DisplayScale::ToDevice(fh, scale);
  // The stored scale frames at this scale come from: 2 above 1, else 1 (the
  // next larger set).
  const double storedScale = scale > 1.0 ? kStoredScale : 1.0;
  ScaledImage* here = nullptr;
  ScaledImage* stored = nullptr;
  {
    std::lock_guard<std::mutex> hold(lock_);
    ScaleSet* set = scale == 1.0 ? &GetScale(1.0) : FindScale(scale);
    if (!set || (scale != 1.0 && set->users == 0)) return nullptr;  // nobody holds the scale: nothing may stay
    here = &Scaled(*set, bitmap, frameW, frameH);
    if (RAS_IBitmap* made = here->frames[static_cast<std::size_t>(k)].get()) return made;
    stored = scale == storedScale ? here
                                  : &Scaled(GetScale(storedScale), bitmap, DisplayScale::ToDevice(fw, storedScale),
                                            DisplayScale::ToDevice(fh, storedScale));
  }
  // Frame k at the stored scale from the module's frame set, when it has one
  // of this image's size; decoded outside the lock (a racing thread's copy is
  // dropped).
  bool hasSet = false;
  RAS_IBitmap* from = StoredFrame(bitmap, k, storedScale, *stored, hasSet, loader);
  if (scale == storedScale && from) return from;
  if (hasSet && !from) return nullptr;
  // At 1 without a set the caller draws from the whole image.
  if (scale == 1.0) return nullptr;
  // Any other scale, resampled per frame from the next larger set, else from
  // the whole image at 1.
  std::unique_ptr<RAS_IBitmap> made;
  if (from) {
    made = RAS_ResampleFrame(*from, 0, 0, from->getWidth(), from->getHeight(), frameW, frameH);
  } else if (RAS_IBitmap* pixels = Pixels(bitmap, loader)) {
    const int srcX = bitmap.framesSideBySide ? k * fw : 0;
    const int srcY = bitmap.framesSideBySide ? 0 : k * fh;
    made = RAS_ResampleFrame(*pixels, srcX, srcY, fw, fh, frameW, frameH);
  }
  if (!made) return nullptr;
  std::lock_guard<std::mutex> hold(lock_);
  return Keep(here->frames[static_cast<std::size_t>(k)], std::move(made));
}

// ---- For tests and measurements --------------------------------------------------------------

std::size_t ImageStore::Images() const {
  std::lock_guard<std::mutex> hold(lock_);
  return images_.size();
}

bool ImageStore::HoldsScale(double scale) const {
  std::lock_guard<std::mutex> hold(lock_);
  return FindScale(scale) != nullptr;
}

std::size_t ImageStore::ScaledPixelBytes() const {
  std::lock_guard<std::mutex> hold(lock_);
  std::size_t bytes = 0;
  auto add = [&](const std::unique_ptr<RAS_IBitmap>& b) {
    if (b) bytes += static_cast<std::size_t>(b->getRowSpan()) * static_cast<std::size_t>(b->getHeight()) * 4;
  };
  for (const auto& s : scales_) {
    for (const auto& i : s->images) {
      add(i->base);
      for (const auto& f : i->frames) add(f);
    }
  }
  return bytes;
}
