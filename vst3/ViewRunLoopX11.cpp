#include "vst3/ViewRunLoopX11.h"

#include <utility>

#include "vst3/HostRunLoop.h"
#include "vst3/sdk/FObject.h"

namespace Steinberg {

// One registration with the host: a descriptor handler or a timer. The host
// may keep a reference after unregistering (or be mid-dispatch); a disarmed
// callback then does nothing.
class ViewRunLoopX11::Callback : public FObject, public Linux::IEventHandler, public Linux::ITimerHandler {
  MIREL_FOBJECT_CHAIN(ViewRunLoopX11Callback, FObject)
 public:
  explicit Callback(std::function<void()> call) : call_(std::move(call)) {}

  void PLUGIN_API onFDIsSet(Linux::FileDescriptor) override { Run(); }
  void PLUGIN_API onTimer() override { Run(); }
  void Disarm() { call_ = nullptr; }

  tresult PLUGIN_API queryInterface(const TUID queryIid, void** obj) override {
    if (obj == nullptr) return kInvalidArgument;
    if (QueryAs<Linux::IEventHandler>(this, queryIid, obj) ||
        QueryAs<Linux::ITimerHandler>(this, queryIid, obj)) {
      return kResultOk;
    }
    return FObject::queryInterface(queryIid, obj);
  }
  MIREL_REFCOUNT_FROM(FObject)

 private:
  void Run() {
    // A copy: the call may stop the loop, which disarms this callback.
    if (auto call = call_) call();
  }
  std::function<void()> call_;
};

std::unique_ptr<ViewRunLoopX11> ViewRunLoopX11::FromFrame(IPlugFrame* frame) {
  if (frame == nullptr) return nullptr;
  Linux::IRunLoop* loop = nullptr;
  if (frame->queryInterface(Linux::IRunLoop::iid, reinterpret_cast<void**>(&loop)) != kResultOk ||
      loop == nullptr) {
    return nullptr;
  }
  auto result = std::make_unique<ViewRunLoopX11>(loop);
  loop->release();  // the object holds its own reference
  return result;
}

ViewRunLoopX11::ViewRunLoopX11(Linux::IRunLoop* loop) : loop_(loop) {}

ViewRunLoopX11::~ViewRunLoopX11() { Stop(); }

bool ViewRunLoopX11::Start(int fd, std::function<void()> onReadable, int periodMs,
                           std::function<void()> onTick) {
  Stop();
  if (!loop_ || fd < 0 || periodMs <= 0) return false;
  auto events = owned(new Callback(std::move(onReadable)));
  if (loop_->registerEventHandler(events, fd) != kResultOk) {
    events->Disarm();
    return false;
  }
  events_ = events;
  auto timer = owned(new Callback(std::move(onTick)));
  if (loop_->registerTimer(timer, static_cast<Linux::TimerInterval>(periodMs)) != kResultOk) {
    timer->Disarm();
    Stop();
    return false;
  }
  timer_ = timer;
  return true;
}

void ViewRunLoopX11::Stop() {
  if (timer_) {
    timer_->Disarm();
    if (loop_) loop_->unregisterTimer(timer_);
    timer_ = nullptr;
  }
  if (events_) {
    events_->Disarm();
    if (loop_) loop_->unregisterEventHandler(events_);
    events_ = nullptr;
  }
}

}  // namespace Steinberg

std::unique_ptr<IHostRunLoop> HostRunLoopFromFrame(Steinberg::IPlugFrame* frame) {
  return Steinberg::ViewRunLoopX11::FromFrame(frame);
}
