#pragma once
// The editor's images, shared by the panels that draw from the same store:
// the images by resource id (an image of the module's resources enters with
// the size its header gives and is decoded the first time it is drawn), and
// their frames, made one at a time the first time each is drawn. The frames
// of a scale live while a panel holds that scale (a ScaleHold); those at 1
// and 2, decoded from the module's sets at the image's size and at twice
// the size, stay and serve the other scales as their source.
//
// Threads: every call may come from any panel's window thread at once; one
// lock guards the tables, and decoding and resampling run outside it.

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "gui/GuiTypes.h"

class RAS_FrameSet;
class RAS_IBitmap;

// How the store decodes: a panel's platform (its module's resources).
class ImageLoader {
 public:
  virtual ~ImageLoader() = default;
  // Decodes image id (name gives only the extension). Null on failure.
  virtual std::unique_ptr<RAS_IBitmap> LoadBitmapFromResource(int id, const char* name) = 0;
  // The frames of image id stored one by one (the image's set at twice the
  // size is one, under its id + kDoubleSizeIdOffset); null when there is none.
  virtual std::unique_ptr<RAS_FrameSet> OpenFrameSet(int id) = 0;
};

class ImageStore {
 public:
  // The resource id of an image's set at twice the size: its own plus this;
  // of its set at its own size (images of more than one frame): plus the other.
  static constexpr int kDoubleSizeIdOffset = 100;
  static constexpr int kSingleSizeIdOffset = 200;

  ImageStore();
  ~ImageStore();
  ImageStore(const ImageStore&) = delete;
  ImageStore& operator=(const ImageStore&) = delete;

  // The store of the module: panels draw from it unless given their own.
  static ImageStore& Process();

  // A panel's use of a scale's frames: while one lives, frames made at its
  // scale stay. Moving hands the use on; the last use of a scale other than
  // 2 going frees that scale's frames. Scale 1 (or none) holds nothing.
  class ScaleHold {
   public:
    ScaleHold() = default;
    ScaleHold(ScaleHold&& other) noexcept;
    ScaleHold& operator=(ScaleHold&& other) noexcept;
    ~ScaleHold();
    double Scale() const { return scale_; }

   private:
    friend class ImageStore;
    ScaleHold(ImageStore* store, double scale) : store_(store), scale_(scale) {}
    void Release();
    ImageStore* store_ = nullptr;
    double scale_ = 0.0;
  };
  // Takes a use of scale's frames (nothing for 1).
  ScaleHold Hold(double scale);

  // Image id: from the store, else entered (the size only, where the
  // module's resources have it) or decoded through loader. Null when it
  // cannot be had; a later call tries again.
  RAS_IBitmap* Load(int id, const char* name, ImageLoader& loader);
  // The image's pixels at scale 1, decoded on first use; null on failure
  // (tried again next time).
  RAS_IBitmap* Pixels(const BitmapRef& bitmap, ImageLoader& loader);
  // Frame k (0-based) of bitmap at scale, made on first use: at 2 and at 1
  // from the module's set at that size where it has one of this image's
  // size, at any other scale resampled from the next larger set (the one at
  // 2 between 1 and 2, the one at 1 below 1), else from the whole image at
  // 1. The caller holds a scale other than 1 (Hold) while it uses the frame.
  // Null for a scale nobody holds, at 1 for an image without a set (draw
  // from Pixels), and when it cannot be made (nothing drawn; tried again
  // next time).
  RAS_IBitmap* Frame(const BitmapRef& bitmap, int k, double scale, ImageLoader& loader);

  // For tests and measurements: images by id, whether a scale holds any
  // frames, and the bytes of pixels held at every scale.
  std::size_t Images() const;
  bool HoldsScale(double scale) const;
  std::size_t ScaledPixelBytes() const;

 private:
  struct Image;
  struct ScaledImage;
  struct ScaleSet;
  void Release(double scale);
  ScaleSet* FindScale(double scale) const;
  ScaleSet& GetScale(double scale);
  // The image's entry at set's scale, made with empty frame slots.
  static ScaledImage& Scaled(ScaleSet& set, const BitmapRef& bitmap, int frameW, int frameH);
  // Frame k at storedScale (1 or 2) from the image's set there; null without
  // a set (hasSet false) or when it does not decode.
  RAS_IBitmap* StoredFrame(const BitmapRef& bitmap, int k, double storedScale, ScaledImage& stored, bool& hasSet,
                           ImageLoader& loader);

  mutable std::mutex lock_;
  std::vector<Image> images_;
  std::vector<std::unique_ptr<ScaleSet>> scales_;
};
