#pragma once
// The host's Linux run loop as the X11 editor needs it: the editor's
// descriptor and redraw timer registered with the Steinberg::Linux::IRunLoop
// that the host's IPlugFrame answers. Editor thread only.

#include <functional>
#include <memory>

#include "gui/host/EditorHostContext.h"
#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

namespace Steinberg {

class ViewRunLoopX11 final : public IHostRunLoop {
 public:
  // Null when the frame is null or offers no IRunLoop.
  static std::unique_ptr<ViewRunLoopX11> FromFrame(IPlugFrame* frame);
  explicit ViewRunLoopX11(Linux::IRunLoop* loop);
  ~ViewRunLoopX11() override;  // Stop()
  ViewRunLoopX11(const ViewRunLoopX11&) = delete;
  ViewRunLoopX11& operator=(const ViewRunLoopX11&) = delete;

  bool Start(int fd, std::function<void()> onReadable, int periodMs,
             std::function<void()> onTick) override;
  void Stop() override;

  class Callback;

 private:
  IPtr<Linux::IRunLoop> loop_;
  IPtr<Callback> events_;
  IPtr<Callback> timer_;
};

}  // namespace Steinberg
