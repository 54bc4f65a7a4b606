#pragma once

// The editor view a host asks the controller for: a thin object between the
// host's IPlugView calls and the plug-in's editor (IEditorLink) with the
// base's editor hooks. It holds a reference on its plug-in for its whole
// life. All operations run on the host's editor thread and take no lock.

#include <memory>

#include "EditorLink.h"
#include "sdk/CPluginView.h"

class IEffectVST3;

// Adds no class-chain step of its own: isA answers with the base's name.
class IEffectVST3View : public Steinberg::CPluginView {
 public:
  using tresult = Steinberg::tresult;

  explicit IEffectVST3View(IEffectVST3* plug);
  ~IEffectVST3View() override;
  IEffectVST3View(const IEffectVST3View&) = delete;
  IEffectVST3View& operator=(const IEffectVST3View&) = delete;

  tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
  tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
  tresult PLUGIN_API removed() override;
  tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;
  tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
  tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* frame) override;

  // Asks the host, through the frame, to give the view the editor's new size;
  // the host answers with onSize. Nothing without a frame.
  void RequestResize(int width, int height);
  bool IsOpen() const { return open_; }

 private:
  IEffectVST3* plug_;
  bool expectingNewSize_ = false;
  bool open_ = false;  // this view's attached opened the editor's window
  std::unique_ptr<IHostRunLoop> runLoop_;
};
