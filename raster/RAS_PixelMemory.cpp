#include "raster/RAS_PixelMemory.h"

#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

// Under AddressSanitizer every block comes from the heap, where the
// sanitizer sees reads and writes past its end.
#if defined(__SANITIZE_ADDRESS__)
#define RAS_PIXELS_FROM_SYSTEM 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RAS_PIXELS_FROM_SYSTEM 0
#endif
#endif
#if !defined(RAS_PIXELS_FROM_SYSTEM) && defined(__linux__)
#define RAS_PIXELS_FROM_SYSTEM 1
#elif !defined(RAS_PIXELS_FROM_SYSTEM)
#define RAS_PIXELS_FROM_SYSTEM 0
#endif

namespace {

std::uint32_t* Aligned64(void* p) {
  auto address = reinterpret_cast<std::uintptr_t>(p);
  address = (address + 63) & ~std::uintptr_t{63};
  return reinterpret_cast<std::uint32_t*>(address);
}

}  // namespace

RAS_PixelBlock& RAS_PixelBlock::operator=(RAS_PixelBlock&& other) noexcept {
  if (this != &other) {
    Release();
    Take(other);
  }
  return *this;
}

void RAS_PixelBlock::Take(RAS_PixelBlock& other) {
  base_ = other.base_;
  mapped_ = other.mapped_;
  size_ = other.size_;
  pixels_ = other.pixels_;
  other.base_ = nullptr;
  other.mapped_ = 0;
  other.size_ = 0;
  other.pixels_ = nullptr;
}

void RAS_PixelBlock::Release() {
#if defined(__linux__)
  if (mapped_ != 0) {
    munmap(base_, mapped_);
  } else {
    std::free(base_);
  }
#else
  std::free(base_);
#endif
  base_ = nullptr;
  mapped_ = 0;
  size_ = 0;
  pixels_ = nullptr;
}

bool RAS_PixelBlock::Allocate(std::size_t bytes, bool zeroed) {
  Release();
  if (bytes == 0) return false;
#if RAS_PIXELS_FROM_SYSTEM
  if (bytes >= kRasLargePixelBlock) {
    // Whole huge pages, on a huge-page boundary: map one page more and give
    // back what lies outside the aligned range.
    const std::size_t page = kRasLargePixelBlock;
    const std::size_t length = (bytes + page - 1) / page * page;
    if (length >= bytes) {
      void* raw = mmap(nullptr, length + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (raw != MAP_FAILED) {
        const auto start = reinterpret_cast<std::uintptr_t>(raw);
        const std::uintptr_t aligned = (start + page - 1) & ~std::uintptr_t{page - 1};
        const std::size_t head = aligned - start;
        if (head > 0) munmap(raw, head);
        if (page - head > 0) munmap(reinterpret_cast<void*>(aligned + length), page - head);
        base_ = reinterpret_cast<void*>(aligned);
        mapped_ = length;
        // Only a hint: without huge pages the block works the same.
        madvise(base_, length, MADV_HUGEPAGE);
        size_ = bytes;
        pixels_ = static_cast<std::uint32_t*>(base_);
        return true;
      }
    }
    // No mapping: the heap may still have room.
  }
#endif
  if (bytes > SIZE_MAX - 63) return false;
  base_ = zeroed ? std::calloc(bytes + 63, 1) : std::malloc(bytes + 63);
  if (!base_) return false;
  size_ = bytes;
  pixels_ = Aligned64(base_);
  return true;
}
