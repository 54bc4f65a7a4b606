#include "tests/support/CountingNew.h"

#include <cstdlib>
#include <new>

namespace testsupport {
std::atomic<bool> countingAllocations{false};
std::atomic<int> allocationCount{0};
}  // namespace testsupport

using testsupport::allocationCount;
using testsupport::countingAllocations;

void* operator new(std::size_t size) {
  if (countingAllocations.load(std::memory_order_relaxed)) allocationCount.fetch_add(1);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept {
  if (p && countingAllocations.load(std::memory_order_relaxed)) allocationCount.fetch_add(1);
  std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
