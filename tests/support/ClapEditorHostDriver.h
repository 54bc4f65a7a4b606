#pragma once
// What a CLAP editor scenario needs of a window host, so that one scenario
// runs against every platform's host (an X11 window on a private X server, a
// Win32 window under Wine): the plug-in under test, the host's window and
// the plug-in's window in it, and what EditorWindowHost gives the picture
// comparison. Pump runs the host's loop and, where the editor lives on the
// host's timer, the plug-in's timers.
//
// On the host's main thread, like the host itself.

#include <cstdint>
#include <memory>

#include "ext/gui.h"
#include "host/ClapPlugin.h"
#include "tests/support/EditorHostDriver.h"

namespace testsupport {

// What differs between the platforms' CLAP editors, as a row of facts.
struct ClapEditorPlatform {
  const char* api;       // the window API the editor embeds in
  const char* otherApi;  // one it must refuse
  bool hostScales;       // set_scale rules (Windows) or the desktop's scale does (Linux)
  std::uint32_t timers;  // host timers an open editor runs on (none where the window runs its own messages)
  bool exceptLabel;      // the version label may be drawn otherwise by this platform's font path
};

class ClapEditorHostDriver : public EditorWindowHost {
 public:
  virtual const ClapEditorPlatform& Platform() const = 0;

  // The plug-in under test, made initialised on first use and kept until
  // DropPlugin; Another() makes a second one the caller owns.
  virtual mirel::host::ClapPlugin& Plugin() = 0;
  virtual void DropPlugin() = 0;
  virtual std::unique_ptr<mirel::host::ClapPlugin> Another() = 0;

  // A new shown host window, large enough for the editor at 1, kept until
  // CloseHostWindow (which does nothing without one).
  virtual clap_window_t OpenHostWindow() = 0;
  virtual void CloseHostWindow() = 0;
  // The plug-in's window: the host window's first child (none without a
  // host window).
  virtual bool HasPluginWindow() = 0;
  virtual bool PluginWindowSize(int& width, int& height) = 0;
  // The window system's own work since the last call, done (no plug-in timers).
  virtual void Settle() = 0;

  const clap_plugin_gui_t* Gui() {
    const clap_plugin_t* p = Plugin().Plugin();
    return static_cast<const clap_plugin_gui_t*>(p->get_extension(p, CLAP_EXT_GUI));
  }
};

}  // namespace testsupport
