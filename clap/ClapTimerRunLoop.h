#pragma once

// The host's timer as the X11 editor's run loop: CLAP hosts drive an
// embedded editor's window through the timer-support extension (these
// headers offer no descriptor support), so each tick first lets the editor
// read what its connection has waiting, then runs its redraw tick. Editor
// (main) thread only.

#include <functional>

#include "ext/timer-support.h"
#include "gui/host/EditorHostContext.h"
#include "host.h"

class ClapTimerRunLoop final : public IHostRunLoop {
 public:
  // The timer extension the host offers (both functions present).
  ClapTimerRunLoop(const clap_host_t* host, const clap_host_timer_support_t* timers);
  ~ClapTimerRunLoop() override;  // Stop()
  ClapTimerRunLoop(const ClapTimerRunLoop&) = delete;
  ClapTimerRunLoop& operator=(const ClapTimerRunLoop&) = delete;

  bool Start(int fd, std::function<void()> onReadable, int periodMs, std::function<void()> onTick) override;
  void Stop() override;
  // The host's call for timer `id`; another timer's id does nothing.
  void OnTimer(clap_id id);

 private:
  const clap_host_t* host_;
  const clap_host_timer_support_t* timers_;
  clap_id timer_ = CLAP_INVALID_ID;
  std::function<void()> onReadable_;
  std::function<void()> onTick_;
};
