// The host's process call (and ProcessBlock inside it) runs on the host's
// audio thread: it must not allocate, lock or enter the kernel. Heap use is counted with a replaced global operator new;
// on Linux, mutex use is counted by interposing pthread_mutex_lock, and a
// child process runs blocks under strict seccomp, where any system call other
// than read, write and exit kills it.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <cstdlib>
#include <functional>
#include <new>

#include "tests/support/CountingNew.h"
#include "tests/mirel/HostedMirel.h"
#include "gui/IPanel.h"
#include "host/ParameterChanges.h"
#include "host/ProcessBuffers.h"

#if defined(__linux__)
#include <dlfcn.h>
#include <linux/seccomp.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {
std::atomic<bool>& counting = testsupport::countingAllocations;
std::atomic<int>& allocations = testsupport::allocationCount;
std::atomic<int> mutexLocks{0};
// Locks of this mutex (the plug-in's own) are not counted.
std::atomic<const void*> allowedMutex{nullptr};
}  // namespace


#if defined(__linux__)
extern "C" int pthread_mutex_lock(pthread_mutex_t* m) {
  using Fn = int (*)(pthread_mutex_t*);
  static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
  if (counting.load(std::memory_order_relaxed) && m != allowedMutex.load()) mutexLocks.fetch_add(1);
  return real(m);
}

namespace {

// Runs `calls` in a child process under strict seccomp, where any system call
// other than read, write and exit kills it.
void ExpectNoSystemCall(const std::function<void()>& calls, const char* what) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_STRICT) != 0) syscall(SYS_exit, 2);
    calls();
    syscall(SYS_exit, 0);  // exit, not exit_group: the one exit strict mode allows
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0) << ": "
                                 << what << " made a system call";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace

#endif

namespace {

namespace vst = Steinberg::Vst;
using Steinberg::int32;

// Mirel driven through its host-facing process call, as a host's audio
// thread does, with the layout's editor attached (the meter runs and feeds
// its control): 32- and 64-bit roads, the sidechain bus, blocks beyond the
// announced maximum (rendered in slices), parameter flushes with no samples,
// and a bad sample. The parameter changes take every processing path in
// turn: both factors, interstage, sidechain, the plug-in's and the host's
// bypass.
struct HostRig {
  enginetest::HostedMirel plug{vst::kSample64, 512, 48000.0, enginetest::Editor::kLayout};
  Mirel* const m = plug.m;
  mirel::host::ParameterChanges paths[3];
  mirel::host::ProcessBuffers b32{vst::kSample32, 1500, 2, 2, 2};
  mirel::host::ProcessBuffers b64{vst::kSample64, 1500, 2, 2, 2};

  HostRig() {
    constexpr vst::ParamID kHostBypass = 0x62706173;  // "bpas"
    paths[0].Add(kInput, 0.5);
    paths[0].Add(kRatio, 0.2, 0);
    paths[0].Add(kRatio, 1.0, 100);
    paths[0].Add(kOversample, 0.0);
    paths[0].Add(kInterstage, 0.0);
    paths[1].Add(kBypass, 1.0);
    paths[1].Add(kHostBypass, 1.0);
    // Last, so that the outputs checked are compressed: 16x, interstage, the sidechain.
    paths[2].Add(kBypass, 0.0);
    paths[2].Add(kHostBypass, 0.0);
    paths[2].Add(kOversample, 1.0);
    paths[2].Add(kInterstage, 1.0);
    paths[2].Add(kSidechain, 0.0);
    for (auto* b : {&b32, &b64}) {
      for (int bus = 0; bus < 2; ++bus) {
        for (int ch = 0; ch < 2; ++ch) {
          enginetest::Rng r(static_cast<std::uint64_t>(7 + 2 * bus + ch));
          for (int i = 0; i < 1500; ++i) b->SetInput(bus, ch, i, r.Uniform());
        }
      }
      b->SetInput(0, 0, 10, std::numeric_limits<double>::quiet_NaN());
    }
  }
  void SetUp(int32 sampleSize) { plug.SetUp(sampleSize, 512, 48000.0); }
  // Every path in blocks of every kind.
  void Process(mirel::host::ProcessBuffers& b) {
    for (auto& changes : paths) {
      b.SetParameterChanges(&changes);
      for (int n : {512, 1500, 0, 17}) {
        b.SetNumSamples(n);
        if (m->process(b.Data()) != Steinberg::kResultOk) ++failedCalls;
      }
    }
  }
  // The calls run with counting on; set-up stays outside.
  void RunCalls() {
    for (auto* b : {&b32, &b64}) {
      counting = false;
      SetUp(b == &b32 ? vst::kSample32 : vst::kSample64);
      counting = true;
      Process(*b);
      counting = false;
    }
  }
  int failedCalls = 0;
};

}  // namespace

TEST(Realtime, HostProcessCallAllocatesNothingAndTakesOnlyThePlugInsLock) {
  HostRig rig;
  allowedMutex = &rig.m->Mutex();  // a recursive mutex: its first member is the native one
  allocations = 0;
  mutexLocks = 0;
  rig.RunCalls();
  allowedMutex = nullptr;
  EXPECT_EQ(allocations.load(), 0);
#if defined(__linux__)
  EXPECT_EQ(mutexLocks.load(), 0);
#endif
  EXPECT_EQ(rig.failedCalls, 0);

  // The counters do count (so a zero above means something).
  static int* volatile probe = nullptr;  // volatile: the pair may not be elided
  counting = true;
  probe = new int(3);
  delete probe;
  counting = false;
  EXPECT_EQ(allocations.load(), 2);
#if defined(__linux__)
  PlugMutex other;
  counting = true;
  other.Enter();
  other.Leave();
  counting = false;
  EXPECT_GE(mutexLocks.load(), 1);
#endif

  // The calls ran with the layout's editor attached; its next tick shows what they handed over.
  auto* panel = dynamic_cast<IPanel*>(rig.m->Graphics());
  ASSERT_NE(panel, nullptr);
  panel->TimerTick();
  EXPECT_EQ(panel->GetControl(rig.m->MeterControl())->Value(), rig.m->MeterValue());
  EXPECT_EQ(panel->GetControl(7)->Value(), 1.0);  // "Ratio" from the queue's last point
  for (int ch = 0; ch < 2; ++ch) {
    // The calls really rendered: compressed noise, neither silence nor garbage.
    EXPECT_TRUE(std::isfinite(rig.b64.Output(ch, 16)));
    EXPECT_NE(rig.b64.Output(ch, 16), 0.0);
    EXPECT_NE(rig.b32.Output(ch, 1400), 0.0);
  }
}

#if defined(__linux__)
TEST(Realtime, HostProcessCallMakesNoSystemCall) {
  HostRig rig;
  rig.RunCalls();  // warm-up, and every set-up allocation done
  rig.SetUp(vst::kSample32);
  ExpectNoSystemCall([&rig] { rig.Process(rig.b32); }, "the process call");
}
#endif
