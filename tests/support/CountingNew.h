#pragma once

// A replaced global operator new and delete that count heap use while
// counting is on. A test executable gets them by linking
// mirel_counting_new. Sanitizer builds bring their own allocator: keep such
// tests out of them.

#include <atomic>

namespace testsupport {
extern std::atomic<bool> countingAllocations;
extern std::atomic<int> allocationCount;  // news and deletes while counting
}  // namespace testsupport
