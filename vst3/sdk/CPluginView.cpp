#include "vst3/sdk/CPluginView.h"

namespace Steinberg {

CPluginView::CPluginView(const ViewRect* rect) {
  if (rect) rect_ = *rect;
}

tresult PLUGIN_API CPluginView::isPlatformTypeSupported(FIDString) { return kNotImplemented; }

tresult PLUGIN_API CPluginView::attached(void* parent, FIDString) {
  systemWindow_ = parent;
  return kResultOk;
}

tresult PLUGIN_API CPluginView::removed() {
  systemWindow_ = nullptr;
  return kResultOk;
}

tresult PLUGIN_API CPluginView::getSize(ViewRect* size) {
  if (!size) return kInvalidArgument;
  *size = rect_;
  return kResultOk;
}

tresult PLUGIN_API CPluginView::onSize(ViewRect* newSize) {
  if (newSize) rect_ = *newSize;
  return kResultOk;
}

tresult PLUGIN_API CPluginView::setFrame(IPlugFrame* frame) {
  plugFrame_ = frame;
  return kResultOk;
}

tresult PLUGIN_API CPluginView::queryInterface(const TUID queryIid, void** obj) {
  if (!obj) return kInvalidArgument;
  if (QueryAs<IPlugView>(this, queryIid, obj)) return kResultOk;
  return FObject::queryInterface(queryIid, obj);
}

}  // namespace Steinberg
