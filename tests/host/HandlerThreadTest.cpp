#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "host/ComponentHandler.h"
#include "host/MemoryStream.h"

using namespace mirel::host;

namespace {

// Edits arrive from the editor thread while the audio thread reports restarts;
// every call is kept, and each thread's calls stay in its own order.
TEST(ComponentHandlerThreads, KeepsEveryCallFromConcurrentThreads) {
  auto h = MakeHostObject<RecordingComponentHandler>();
  constexpr int kEdits = 2000;
  std::thread editor([&] {
    for (int i = 0; i < kEdits; ++i) {
      h->beginEdit(1);
      h->performEdit(1, i / double(kEdits));
      h->endEdit(1);
    }
  });
  std::thread audio([&] {
    for (int i = 0; i < kEdits; ++i) h->restartComponent(i);
  });
  std::thread reader([&] {
    for (int i = 0; i < 200; ++i) (void)h->Calls().size();
  });
  editor.join();
  audio.join();
  reader.join();

  const auto calls = h->Calls();
  ASSERT_EQ(calls.size(), size_t{4 * kEdits});
  int nextRestart = 0;
  double lastPerform = -1;
  for (const auto& c : calls) {
    if (c.kind == HandlerCall::Kind::kRestart) {
      EXPECT_EQ(c.flags, nextRestart++);
    } else if (c.kind == HandlerCall::Kind::kPerform) {
      EXPECT_GT(c.value, lastPerform);
      lastPerform = c.value;
    }
  }
}

// References taken and dropped from several threads leave the count balanced.
TEST(HostObjectThreads, ReferenceCountIsAtomic) {
  auto s = MakeHostObject<MemoryStream>();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        s->addRef();
        s->release();
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(s->RefCount(), 1u);
}

}  // namespace
