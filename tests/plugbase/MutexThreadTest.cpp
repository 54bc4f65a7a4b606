#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "plugbase/IEffectBase.h"

namespace {

class LockingEffect : public IEffectBase {
 public:
  LockingEffect() : IEffectBase(2, "2-2", 1, "Lock", "", "", 1, 1, 1) {
    GetParam(0)->DefineContinuous("A", 0, -10, 10, 0.1, "", "", 1);
    GetParam(1)->DefineStepped("B", 0, 0, 3, 1, "", "", 1);
  }
  // Takes the lock again while the caller (UnserializeParams,
  // PerformEdit) already holds it.
  void ParamChanged(int /*index*/) override {
    PlugLock lock(Mutex());
    ++changes;
  }
  int changes = 0;  // guarded by the plug-in's mutex
};

}  // namespace

TEST(PlugMutex, ParamChangedReentersWhileUnserializeHoldsTheLock) {
  LockingEffect fx;
  StateChunk chunk;
  ASSERT_TRUE(fx.SerializeParams(chunk));
  EXPECT_EQ(fx.UnserializeParams(chunk, 0), 16);
  EXPECT_EQ(fx.changes, 2);
}

TEST(PlugMutex, ExcludesOtherThreadsUntilFullyReleased) {
  LockingEffect fx;
  std::atomic<bool> entered{false};
  fx.Mutex().Enter();
  fx.Mutex().Enter();
  std::thread other([&] {
    fx.PerformEdit(0, 1.0);
    entered = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(entered.load());
  fx.Mutex().Leave();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(entered.load());  // still held once
  fx.Mutex().Leave();
  other.join();
  EXPECT_TRUE(entered.load());
  EXPECT_EQ(fx.GetParam(0)->Value(), 10.0);
}

TEST(PlugMutex, EditsAndStateRestoresFromTwoThreadsStayConsistent) {
  LockingEffect fx;
  StateChunk saved;
  ASSERT_TRUE(fx.SerializeParams(saved));
  std::thread editor([&] {
    for (int i = 0; i < 2000; ++i) fx.PerformEdit(i % 2, (i % 11) / 10.0);
  });
  std::thread host([&] {
    for (int i = 0; i < 500; ++i) {
      StateChunk c;
      ASSERT_TRUE(fx.SerializeParams(c));
      ASSERT_EQ(c.Size(), 16);
      ASSERT_EQ(fx.UnserializeParams(saved, 0), 16);
    }
  });
  editor.join();
  host.join();
  PlugLock lock(fx.Mutex());
  EXPECT_EQ(fx.changes, 2000 + 500 * 2);
}
