#pragma once
// The host's run loop for plug-in editors on Linux: file-descriptor handlers
// and timers that plug-ins register through Steinberg::Linux::IRunLoop,
// dispatched from poll() on the thread that owns the editors.

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

namespace mirel::host {

// Main (editor) thread only. Handlers are referenced while registered and
// while a dispatch to them is under way, so a handler may unregister itself
// (or any other) from inside its own callback.
class PollRunLoop {
 public:
  using Clock = std::chrono::steady_clock;

  Steinberg::tresult RegisterEventHandler(Steinberg::Linux::IEventHandler* handler, int fd);
  Steinberg::tresult UnregisterEventHandler(Steinberg::Linux::IEventHandler* handler);
  Steinberg::tresult RegisterTimer(Steinberg::Linux::ITimerHandler* handler, std::uint64_t milliseconds);
  Steinberg::tresult UnregisterTimer(Steinberg::Linux::ITimerHandler* handler);

  // One pass: waits at most `maxWaitMs` (less when a timer falls due first)
  // for a registered descriptor or `extraFd` (the host's own connection,
  // -1 for none) to become readable, then calls the handlers of readable
  // descriptors and of due timers. True when `extraFd` is readable.
  bool RunOnce(int maxWaitMs, int extraFd = -1);

  std::size_t EventHandlerCount() const { return fds_.size(); }
  std::size_t TimerCount() const { return timers_.size(); }
  // The registered timers' periods in milliseconds, in registration order.
  std::vector<std::uint64_t> TimerPeriods() const;
  // Total timer callbacks made so far.
  std::uint64_t TimerCallbacks() const { return timerCallbacks_; }

 private:
  struct FdEntry {
    Steinberg::IPtr<Steinberg::Linux::IEventHandler> handler;
    int fd = -1;
  };
  struct TimerEntry {
    Steinberg::IPtr<Steinberg::Linux::ITimerHandler> handler;
    std::uint64_t periodMs = 0;
    Clock::time_point due;
  };
  bool HasFd(Steinberg::Linux::IEventHandler* handler, int fd) const;
  TimerEntry* FindTimer(Steinberg::Linux::ITimerHandler* handler);

  std::vector<FdEntry> fds_;
  std::vector<TimerEntry> timers_;
  std::uint64_t timerCallbacks_ = 0;
};

}  // namespace mirel::host
