#include "raster/RAS_FontCache.h"

#include <algorithm>

RAS_FontCache::RAS_FontCache(Creator creator) : creator_(std::move(creator)) {}

RAS_FontCache& RAS_FontCache::Process() {
  static RAS_FontCache cache;
  return cache;
}

std::size_t RAS_FontCache::Size() const {
  std::lock_guard<std::mutex> hold(lock_);
  return entries_.size();
}

RAS_CachedFont* RAS_FontCache::Get(const RAS_FontRequest& request) {
  auto matches = [&](const Entry& e) {
    return e.size == request.size && e.orientation == request.orientation && e.style == request.style && e.face == request.face;
  };
  {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = std::find_if(entries_.begin(), entries_.end(), matches);
    if (it != entries_.end()) return it->font.get();
  }
  // Made outside the lock (font creation may be slow); a racing request for
  // the same key keeps the first font and drops its own.
  std::unique_ptr<RAS_CachedFont> font = creator_ ? creator_(request) : nullptr;
  if (!font) return nullptr;
  std::lock_guard<std::mutex> hold(lock_);
  auto it = std::find_if(entries_.begin(), entries_.end(), matches);
  if (it != entries_.end()) return it->font.get();
  entries_.push_back(Entry{request.size, request.orientation, request.style, request.face, std::move(font)});
  return entries_.back().font.get();
}
