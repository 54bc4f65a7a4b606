#include "clap/ClapTimerRunLoop.h"

#include <algorithm>
#include <utility>

ClapTimerRunLoop::ClapTimerRunLoop(const clap_host_t* host, const clap_host_timer_support_t* timers)
    : host_(host), timers_(timers) {}

ClapTimerRunLoop::~ClapTimerRunLoop() { Stop(); }

bool ClapTimerRunLoop::Start(int /*fd*/, std::function<void()> onReadable, int periodMs,
                             std::function<void()> onTick) {
  Stop();
  clap_id id = CLAP_INVALID_ID;
  if (!timers_->register_timer(host_, static_cast<std::uint32_t>(std::max(periodMs, 1)), &id) ||
      id == CLAP_INVALID_ID) {
    return false;
  }
  timer_ = id;
  onReadable_ = std::move(onReadable);
  onTick_ = std::move(onTick);
  return true;
}

void ClapTimerRunLoop::Stop() {
  if (timer_ == CLAP_INVALID_ID) return;
  timers_->unregister_timer(host_, timer_);
  timer_ = CLAP_INVALID_ID;
  onReadable_ = nullptr;
  onTick_ = nullptr;
}

void ClapTimerRunLoop::OnTimer(clap_id id) {
  if (id != timer_ || timer_ == CLAP_INVALID_ID) return;
  // Input first, so that a click is handled within one tick.
  if (onReadable_) onReadable_();
  if (onTick_) onTick_();
}
