#pragma once

// Base of an editor view: the view rectangle, the host's parent window and
// frame, and "no" to input and resize queries.

#include "vst3/sdk/FObject.h"
#include "pluginterfaces/gui/iplugview.h"

namespace Steinberg {

class CPluginView : public FObject, public IPlugView {
  MIREL_FOBJECT_CHAIN(CPluginView, FObject)
 public:
  explicit CPluginView(const ViewRect* rect = nullptr);

  // All on the host's editor thread.
  tresult PLUGIN_API isPlatformTypeSupported(FIDString type) override;
  tresult PLUGIN_API attached(void* parent, FIDString type) override;
  tresult PLUGIN_API removed() override;
  tresult PLUGIN_API onWheel(float) override { return kResultFalse; }
  tresult PLUGIN_API onKeyDown(char16, int16, int16) override { return kResultFalse; }
  tresult PLUGIN_API onKeyUp(char16, int16, int16) override { return kResultFalse; }
  tresult PLUGIN_API getSize(ViewRect* size) override;
  tresult PLUGIN_API onSize(ViewRect* newSize) override;
  tresult PLUGIN_API onFocus(TBool) override { return kResultFalse; }
  tresult PLUGIN_API setFrame(IPlugFrame* frame) override;
  tresult PLUGIN_API canResize() override { return kResultFalse; }
  tresult PLUGIN_API checkSizeConstraint(ViewRect*) override { return kResultFalse; }

  tresult PLUGIN_API queryInterface(const TUID queryIid, void** obj) override;
  MIREL_REFCOUNT_FROM(FObject)

  const ViewRect& getRect() const { return rect_; }
  void setRect(const ViewRect& r) { rect_ = r; }
  void* getSystemWindow() const { return systemWindow_; }
  IPlugFrame* getFrame() const { return plugFrame_; }

 protected:
  ViewRect rect_{};
  void* systemWindow_ = nullptr;
  IPlugFrame* plugFrame_ = nullptr;  // not reference-counted: the host outlives the view
};

}  // namespace Steinberg
