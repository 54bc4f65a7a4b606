#include "IEffectVST3View.h"

#include <cstring>

#include "HostCall.h"
#include "IEffectVST3.h"
#include "gui/IPanel.h"

using namespace Steinberg;

IEffectVST3View::IEffectVST3View(IEffectVST3* plug) : plug_(plug) { plug_->addRef(); }

IEffectVST3View::~IEffectVST3View() {
  // A host that releases the view without removing it first.
  if (systemWindow_) {
    if (Editor()) {
      plug_->EditorClosing();
      CloseOwnWindow();
    }
    systemWindow_ = nullptr;
  }
  plug_->ForgetOpenViews();
  plug_->release();
}

IPanel* IEffectVST3View::Editor() const { return dynamic_cast<IPanel*>(plug_->Graphics()); }

void IEffectVST3View::CloseOwnWindow() {
  IPanel* editor = Editor();
  // Another view of the same plug-in may have taken the editor since.
  if (editor && ownWindow_ && editor->GetWindow() == ownWindow_) editor->CloseWindow();
  ownWindow_ = nullptr;
#ifndef _WIN32
  // The editor forgets this view's run loop before the loop goes.
  auto* user = dynamic_cast<X11RunLoopUser*>(editor);
  if (user && runLoop_ && user->RunLoop() == runLoop_.get()) user->SetRunLoop(nullptr);
  runLoop_.reset();
#endif
}

tresult PLUGIN_API IEffectVST3View::isPlatformTypeSupported(FIDString type) {
  return HostCall([&]() -> tresult {
    if (!Editor() || !type) return kResultFalse;
    return std::strcmp(type, kEditorPlatformType) == 0 ? kResultOk : kResultFalse;
  });
}

tresult PLUGIN_API IEffectVST3View::attached(void* parent, FIDString type) {
  return HostCall([&]() -> tresult {
    IPanel* editor = Editor();
    if (!editor) return kResultFalse;
    // Nothing can open without a parent window or in a window of another kind;
    // saying yes would leave the host showing an empty frame.
    if (!parent) return kInvalidArgument;
    if (!type || std::strcmp(type, kEditorPlatformType) != 0) return kResultFalse;
#ifndef _WIN32
    // Linux hosts drive editors through the IRunLoop their frame answers; a
    // window without it could neither paint nor take input.
    auto* user = dynamic_cast<X11RunLoopUser*>(editor);
    std::unique_ptr<ViewRunLoopX11> loop = ViewRunLoopX11::FromFrame(plugFrame_);
    if (!user || !loop) return kResultFalse;
    user->SetRunLoop(loop.get());
#endif
    void* window = editor->OpenWindow(parent);
#ifndef _WIN32
    if (!window) {
      user->SetRunLoop(nullptr);
      return kResultFalse;
    }
    runLoop_ = std::move(loop);
#endif
    if (!window) return kResultFalse;
    ownWindow_ = window;
    systemWindow_ = parent;
    plug_->EditorOpened();
    return kResultOk;
  });
}

tresult PLUGIN_API IEffectVST3View::removed() {
  return HostCall([&]() -> tresult {
    // Only a view that is attached has a window to close; removing one that
    // is not leaves another view's window alone.
    if (systemWindow_ && Editor()) {
      plug_->EditorClosing();
      CloseOwnWindow();
    }
    systemWindow_ = nullptr;
    return kResultOk;
  });
}

tresult PLUGIN_API IEffectVST3View::getSize(ViewRect* size) {
  return HostCall([&]() -> tresult {
    IPanel* editor = Editor();
    if (!editor) return kResultFalse;
    if (!size) return kInvalidArgument;
    *size = ViewRect(0, 0, editor->Width(), editor->Height());
    return kResultOk;
  });
}

tresult PLUGIN_API IEffectVST3View::onSize(ViewRect* newSize) {
  return HostCall([&]() -> tresult {
    if (!newSize) return kResultOk;
    rect_ = *newSize;
    if (expectingNewSize_) {
      expectingNewSize_ = false;
      plug_->EditorResized();
    }
    return kResultOk;
  });
}
