// The font cache is shared by every editor in the process and guarded by its
// own lock: concurrent requests for the same key must all get one font.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "raster/RAS_FontCache.h"

TEST(FontCacheThreads, ConcurrentRequestsShareOneFontPerKey) {
  std::atomic<int> made{0};
  // Fonts without a platform face: this test is about the cache, not drawing.
  RAS_FontCache cache([&](const RAS_FontRequest&) {
    ++made;
    return std::make_unique<RAS_CachedFont>();
  });
  constexpr int kThreads = 4, kKeys = 8, kRounds = 200;
  std::vector<std::vector<RAS_CachedFont*>> seen(kThreads, std::vector<RAS_CachedFont*>(kKeys, nullptr));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        for (int k = 0; k < kKeys; ++k) {
          RAS_FontRequest request;
          request.size = 10 + k;
          RAS_CachedFont* font = cache.Get(request);
          if (seen[t][k] == nullptr) seen[t][k] = font;
          EXPECT_EQ(seen[t][k], font);
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(cache.Size(), static_cast<std::size_t>(kKeys));
  for (int k = 0; k < kKeys; ++k) {
    for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t][k], seen[0][k]);
  }
  EXPECT_GE(made.load(), kKeys);
}
