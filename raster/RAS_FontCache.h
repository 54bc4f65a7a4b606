#pragma once
// The process-wide font cache: one font per distinct size, orientation, style
// and face. Fonts live until the cache is destroyed (the process-wide cache:
// until the module unloads). Thread-safe; the fonts themselves are used on the
// GUI thread only.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "raster/RAS_Font.h"

class RAS_FontCache {
 public:
  using Creator = std::function<std::unique_ptr<RAS_CachedFont>(const RAS_FontRequest&)>;

  explicit RAS_FontCache(Creator creator = RAS_CreatePlatformFont);
  RAS_FontCache(const RAS_FontCache&) = delete;
  RAS_FontCache& operator=(const RAS_FontCache&) = delete;

  // The font for request; the quality of the first request for a key is the
  // one used. Null when the font cannot be made: nothing is cached then, so
  // the next request tries again.
  RAS_CachedFont* Get(const RAS_FontRequest& request);
  std::size_t Size() const;

  static RAS_FontCache& Process();

 private:
  struct Entry {
    int size;
    int orientation;
    int style;
    std::string face;
    std::unique_ptr<RAS_CachedFont> font;
  };
  Creator creator_;
  mutable std::mutex lock_;
  std::vector<Entry> entries_;
};
