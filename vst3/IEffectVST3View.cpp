#include "IEffectVST3View.h"

#include <cstring>

#include "HostCall.h"
#include "HostRunLoop.h"
#include "IEffectVST3.h"

using namespace Steinberg;

IEffectVST3View::IEffectVST3View(IEffectVST3* plug) : plug_(plug) {
  plug_->addRef();
  plug_->ViewCreated(this);
}

IEffectVST3View::~IEffectVST3View() {
  // A host that releases the view while its window is still attached gets
  // the window closed first: the editor must not outlive the view that
  // opened it inside the host's window.
  if (open_) removed();
  plug_->ViewDestroyed();
  plug_->release();
}

// Editor thread.
tresult PLUGIN_API IEffectVST3View::isPlatformTypeSupported(FIDString type) {
  return HostCall([&]() -> tresult {
    IEditorLink* editor = plug_->Graphics();
    if (!editor || !type) return kResultFalse;
    return editor->SupportsPlatform(type) ? kResultOk : kResultFalse;
  });
}

// Editor thread. Answers kResultOk only when the editor's window is open in
// the parent: an unsupported type, a null parent, a second attach, or a host
// without the run loop its platform needs open nothing and say so.
tresult PLUGIN_API IEffectVST3View::attached(void* parent, FIDString type) {
  return HostCall([&]() -> tresult {
    IEditorLink* editor = plug_->Graphics();
    if (!editor || !parent || !type || open_ || !editor->SupportsPlatform(type)) return kResultFalse;
    if (plug_->EditorWindowView()) return kResultFalse;  // one window per editor
    runLoop_ = HostRunLoopFromFrame(plugFrame_);
    if (!editor->OpenEditorWindow(parent, type, runLoop_.get())) {
      runLoop_.reset();
      return kResultFalse;
    }
    open_ = true;
    plug_->SetEditorWindowView(this);
    systemWindow_ = parent;
    plug_->EditorOpened();
    return kResultOk;
  });
}

// Editor thread.
tresult PLUGIN_API IEffectVST3View::removed() {
  return HostCall([&]() -> tresult {
    if (open_) {
      open_ = false;
      plug_->SetEditorWindowView(nullptr);
      plug_->EditorClosing();
      if (IEditorLink* editor = plug_->Graphics()) editor->CloseEditorWindow();
      runLoop_.reset();
    }
    systemWindow_ = nullptr;
    return kResultOk;
  });
}

// Editor thread.
tresult PLUGIN_API IEffectVST3View::getSize(ViewRect* size) {
  return HostCallWithOut(size, [&]() -> tresult {
    IEditorLink* editor = plug_->Graphics();
    if (!editor) return kResultFalse;
    *size = ViewRect(0, 0, editor->EditorWidth(), editor->EditorHeight());
    return kResultOk;
  });
}

// Editor thread.
tresult PLUGIN_API IEffectVST3View::onSize(ViewRect* newSize) {
  return HostCall([&]() -> tresult {
    if (!newSize) return kResultOk;
    rect_ = *newSize;
    if (expectingNewSize_) {
      plug_->EditorResized();
      expectingNewSize_ = false;
    }
    return kResultOk;
  });
}

// Editor thread.
tresult PLUGIN_API IEffectVST3View::setFrame(IPlugFrame* frame) {
  plugFrame_ = frame;
  return kResultOk;
}

void IEffectVST3View::RequestResize(int width, int height) {
  expectingNewSize_ = true;
  if (plugFrame_) {
    ViewRect rect(0, 0, width, height);
    plugFrame_->resizeView(this, &rect);
  }
}

// ---- The plug-in's side ------------------------------------------------------------

// Editor thread.
void IEffectVST3::ResizeEditor(int width, int height) {
  if (!Graphics() || openViews_.empty()) return;
  openViews_.front()->RequestResize(width, height);
}
