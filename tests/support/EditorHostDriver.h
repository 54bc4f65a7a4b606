#pragma once
// What an editor scenario needs of a window host, so that one scenario runs
// against every platform's host (the X11 host on a private X server, the
// Windows host under Wine): an effect instance and its editor view, the
// host's window and frame, input as editor action scripts, the picture on
// screen, and mirel-snapshot's picture as this platform draws it.
//
// On the host's window thread, like the host itself.

#include <cstddef>
#include <string>
#include <vector>

#include "host/ComponentHandler.h"
#include "host/EditorImage.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

namespace testsupport {

// What the picture comparison needs of any window host, a VST3 view's or a
// CLAP gui's: the host's loop, the plug-in window's pixels and this
// platform's mirel-snapshot.
class EditorWindowHost {
 public:
  virtual ~EditorWindowHost() = default;
  // Runs the host's loop (timers, painting, input) for `milliseconds`.
  virtual void Pump(int milliseconds) = 0;
  // The plug-in window's pixels as the screen shows them.
  virtual bool Capture(mirel::host::EditorImage& out) = 0;
  // mirel-snapshot's picture at `scale`, drawn by this platform's tool.
  virtual bool Snapshot(const std::string& scale, mirel::host::EditorImage& out) = 0;
  // A short name for the files of a failing picture ("x11", "win32").
  virtual std::string Name() const = 0;
};

class EditorHostDriver : public EditorWindowHost {
 public:

  // The instance's editor view (made with the driver) and a fresh one in its
  // place, for a host that closes and later reopens the editor.
  virtual Steinberg::IPlugView* View() = 0;
  virtual void NewView() = 0;
  virtual Steinberg::Vst::IEditController* Controller() = 0;

  // Attaches the view to a new host window of the size it reports.
  virtual bool Open(std::string& error) = 0;
  virtual void Close() = 0;
  // The size the view reported when it was opened.
  virtual Steinberg::ViewRect OpenedSize() = 0;
  // The plug-in's resize requests to the host's frame, oldest first.
  virtual std::vector<Steinberg::ViewRect> ResizeRequests() = 0;
  // Sizes the view as the host window's resize handle would; `taken`: the
  // size given. Without askConstraint the view gets the size as it is.
  virtual bool ResizeByHandle(int width, int height, Steinberg::ViewRect& taken, bool askConstraint = true) = 0;
  // The client sizes of the host's window and of the plug-in's, as the window system has them.
  virtual bool HostWindowSize(int& width, int& height) = 0;
  virtual bool PluginWindowSize(int& width, int& height) = 0;

  // Replays an editor action script ("click 10 20; drag 30 40 0 -10").
  virtual bool Do(const std::string& script) = 0;
  // The component handler's calls since the last call, oldest first.
  virtual std::vector<mirel::host::HandlerCall> TakeCalls() = 0;
  // The window type this platform's view takes ("X11EmbedWindowID", "HWND").
  virtual std::string PlatformType() const = 0;
};

}  // namespace testsupport
