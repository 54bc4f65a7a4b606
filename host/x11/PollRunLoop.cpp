#include "host/x11/PollRunLoop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

using namespace Steinberg;
using Steinberg::Linux::IEventHandler;
using Steinberg::Linux::ITimerHandler;

namespace mirel::host {

tresult PollRunLoop::RegisterEventHandler(IEventHandler* handler, int fd) {
  if (handler == nullptr || fd < 0) return kInvalidArgument;
  if (HasFd(handler, fd)) return kResultFalse;
  fds_.push_back({IPtr<IEventHandler>(handler), fd});
  return kResultOk;
}

tresult PollRunLoop::UnregisterEventHandler(IEventHandler* handler) {
  const auto before = fds_.size();
  std::erase_if(fds_, [handler](const FdEntry& e) { return e.handler.get() == handler; });
  return fds_.size() != before ? kResultOk : kResultFalse;
}

tresult PollRunLoop::RegisterTimer(ITimerHandler* handler, std::uint64_t milliseconds) {
  if (handler == nullptr || milliseconds == 0) return kInvalidArgument;
  if (TimerEntry* existing = FindTimer(handler)) {
    existing->periodMs = milliseconds;
    existing->due = Clock::now() + std::chrono::milliseconds(milliseconds);
    return kResultOk;
  }
  timers_.push_back({IPtr<ITimerHandler>(handler), milliseconds,
                     Clock::now() + std::chrono::milliseconds(milliseconds)});
  return kResultOk;
}

tresult PollRunLoop::UnregisterTimer(ITimerHandler* handler) {
  const auto before = timers_.size();
  std::erase_if(timers_, [handler](const TimerEntry& e) { return e.handler.get() == handler; });
  return timers_.size() != before ? kResultOk : kResultFalse;
}

std::vector<std::uint64_t> PollRunLoop::TimerPeriods() const {
  std::vector<std::uint64_t> periods;
  for (const auto& t : timers_) periods.push_back(t.periodMs);
  return periods;
}

bool PollRunLoop::HasFd(IEventHandler* handler, int fd) const {
  return std::any_of(fds_.begin(), fds_.end(),
                     [&](const FdEntry& e) { return e.handler.get() == handler && e.fd == fd; });
}

PollRunLoop::TimerEntry* PollRunLoop::FindTimer(ITimerHandler* handler) {
  for (auto& t : timers_)
    if (t.handler.get() == handler) return &t;
  return nullptr;
}

bool PollRunLoop::RunOnce(int maxWaitMs, int extraFd) {
  auto now = Clock::now();
  int timeout = std::max(0, maxWaitMs);
  for (const auto& t : timers_) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(t.due - now).count();
    timeout = std::min(timeout, static_cast<int>(std::max<long long>(0, left)));
  }

  // Snapshot: callbacks may change the registrations.
  const std::vector<FdEntry> fds = fds_;
  std::vector<pollfd> polled;
  polled.reserve(fds.size() + 1);
  for (const auto& e : fds) polled.push_back({e.fd, POLLIN, 0});
  if (extraFd >= 0) polled.push_back({extraFd, POLLIN, 0});

  int ready = ::poll(polled.data(), polled.size(), timeout);
  if (ready < 0 && errno != EINTR) ready = 0;
  bool extraReady = false;
  if (ready > 0) {
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if ((polled[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      if (!HasFd(fds[i].handler.get(), fds[i].fd)) continue;  // unregistered meanwhile
      fds[i].handler->onFDIsSet(fds[i].fd);
    }
    if (extraFd >= 0) extraReady = (polled.back().revents & POLLIN) != 0;
  }

  now = Clock::now();
  std::vector<IPtr<ITimerHandler>> due;
  for (auto& t : timers_) {
    if (t.due > now) continue;
    due.push_back(t.handler);
    // A late loop does not fire a burst of catch-up ticks.
    t.due += std::chrono::milliseconds(t.periodMs);
    if (t.due <= now) t.due = now + std::chrono::milliseconds(t.periodMs);
  }
  for (auto& handler : due) {
    if (FindTimer(handler.get()) == nullptr) continue;
    ++timerCallbacks_;
    handler->onTimer();
  }
  return extraReady;
}

}  // namespace mirel::host
