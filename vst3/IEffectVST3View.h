#pragma once

// The editor view a host asks the controller for: a thin object that opens
// the plug-in's editor panel in the host's window and closes it, and carries
// the plug-in's resize requests to the host's frame. Every operation runs on
// the host's editor thread, which also owns the editor's window; none takes
// a lock.

#include <memory>

#include "gui/host/EditorHostContext.h"
#include "plugbase/EditorLink.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "vst3/sdk/CPluginView.h"

class IEffectVST3;

// The native window type this build's editor opens in.
#ifdef _WIN32
inline constexpr const char* kEditorPlatformType = "HWND";
#else
inline constexpr const char* kEditorPlatformType = "X11EmbedWindowID";
#endif

// Answers the SDK's type test with its base's name, "CPluginView".
class IEffectVST3View : public Steinberg::CPluginView, public Steinberg::IPlugViewContentScaleSupport {
 public:
  // Holds a reference on plug for the view's life.
  explicit IEffectVST3View(IEffectVST3* plug);
  // A view still attached closes its window first; then the plug-in's list
  // of open views is emptied and the reference on the plug-in dropped.
  ~IEffectVST3View() override;

  Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API removed() override;
  Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;
  // A size the host chose (its resize handle, not the answer to a resize the
  // plug-in asked for) scales the editor to fill it; the plug-in keeps the
  // zoom that gives.
  Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
  // True while the plug-in has an editor (it scales to any size it is given).
  Steinberg::tresult PLUGIN_API canResize() override;
  // Rewrites rect to the nearest size of the editor's aspect that fits
  // inside it, between 0.75 and 3 times the editor's own size; the origin is
  // kept. kResultTrue; null is kInvalidArgument.
  Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override;
  // The host's display scale, 1 to 3: the editor draws at it and the view
  // asks the frame for its new size. Anything else is refused, changing
  // nothing.
  Steinberg::tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID queryIid, void** obj) override;
  MIREL_REFCOUNT_FROM(CPluginView)

  // The plug-in asked the host to resize this view; the next onSize tells it.
  void ExpectNewSize() { expectingNewSize_ = true; }
  bool ExpectingNewSize() const { return expectingNewSize_; }

 private:
  IEditorLink* Editor() const;
  // Closes the window this view opened, if the editor still shows it.
  void CloseOwnWindow();

  IEffectVST3* plug_;
  bool expectingNewSize_ = false;
  void* ownWindow_ = nullptr;  // the window the last attached opened
  // The host's run loop that drives the window this view opened, where the
  // platform's editors are driven by the host (Linux); null elsewhere.
  std::unique_ptr<IHostRunLoop> runLoop_;
};
