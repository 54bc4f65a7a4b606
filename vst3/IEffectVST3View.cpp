#include "vst3/IEffectVST3View.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "vst3/HostCall.h"
#include "vst3/IEffectVST3.h"
#include "vst3/HostRunLoop.h"

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
  plug_->ForgetOpenView(this);
  plug_->release();
}

IEditorLink* IEffectVST3View::Editor() const { return plug_->Graphics(); }

void IEffectVST3View::CloseOwnWindow() {
  // Another view of the same plug-in may have opened the editor since; the
  // editor then keeps that window and that view's loop.
  if (IEditorLink* editor = Editor()) {
    EditorHostContext host;
    host.runLoop = runLoop_.get();
    host.window = ownWindow_;
    editor->CloseEditor(host);
  }
  ownWindow_ = nullptr;
  runLoop_.reset();
}

namespace {

// A host rectangle's extent without overflow, held within what an editor
// size can be.
int Extent(int32 from, int32 to) {
  const std::int64_t extent = static_cast<std::int64_t>(to) - from;
  return static_cast<int>(std::clamp<std::int64_t>(extent, -1, 1 << 20));
}

}  // namespace

tresult PLUGIN_API IEffectVST3View::isPlatformTypeSupported(FIDString type) {
  return HostCall([&]() -> tresult {
    if (!Editor() || !type) return kResultFalse;
    return std::strcmp(type, kEditorPlatformType) == 0 ? kResultOk : kResultFalse;
  });
}

tresult PLUGIN_API IEffectVST3View::attached(void* parent, FIDString type) {
  return HostCall([&]() -> tresult {
    IEditorLink* editor = Editor();
    if (!editor) return kResultFalse;
    // Nothing can open without a parent window or in a window of another kind;
    // saying yes would leave the host showing an empty frame.
    if (!parent) return kInvalidArgument;
    if (!type || std::strcmp(type, kEditorPlatformType) != 0) return kResultFalse;
    // Linux hosts drive editors through the IRunLoop their frame answers; a
    // window there could neither paint nor take input without it, and the
    // editor then opens nothing.
    std::unique_ptr<IHostRunLoop> loop = HostRunLoopFromFrame(plugFrame_);
    const int width = editor->EditorWidth();
    const int height = editor->EditorHeight();
    // Attached again without removed, the editor may replace this view's own
    // window; another view's open window is never touched: the editor then
    // opens nothing and this view fails alone.
    EditorHostContext host;
    host.parent = parent;
    host.runLoop = loop.get();
    host.window = ownWindow_;
    if (!editor->OpenEditor(host) || !host.window) return kResultFalse;
    runLoop_ = std::move(loop);
    ownWindow_ = host.window;
    systemWindow_ = parent;
    plug_->EditorOpened();
    // The window may have found a display scale of its own (the desktop's).
    if (plugFrame_ && (editor->EditorWidth() != width || editor->EditorHeight() != height)) {
      ViewRect size(0, 0, editor->EditorWidth(), editor->EditorHeight());
      rect_ = size;
      plugFrame_->resizeView(this, &size);
    }
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
    IEditorLink* editor = Editor();
    if (!editor) return kResultFalse;
    if (!size) return kInvalidArgument;
    *size = ViewRect(0, 0, editor->EditorWidth(), editor->EditorHeight());
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
      return kResultOk;
    }
    // The host chose this size, maybe off the editor's aspect without asking
    // checkSizeConstraint (Ardour): the editor fills it, its picture as
    // large as fits and the rest drawn as margin. The answers to the view's
    // own requests (a content scale, the desktop's scale) arrive here too,
    // unflagged, at the editor's size: they change nothing. The view does
    // not ask the frame again from inside onSize; getSize tells the size
    // of the picture.
    IEditorLink* editor = Editor();
    const int width = Extent(newSize->left, newSize->right);
    const int height = Extent(newSize->top, newSize->bottom);
    if (editor) editor->FitEditorToSize(width, height);
    return kResultOk;
  });
}

tresult PLUGIN_API IEffectVST3View::canResize() {
  return HostCall([&]() -> tresult {
    int width = 0, height = 0;
    IEditorLink* editor = Editor();
    return editor && editor->ConstrainEditorSize(width, height) ? kResultTrue : kResultFalse;
  });
}

tresult PLUGIN_API IEffectVST3View::checkSizeConstraint(ViewRect* rect) {
  return HostCall([&]() -> tresult {
    if (!rect) return kInvalidArgument;
    IEditorLink* editor = Editor();
    int width = Extent(rect->left, rect->right);
    int height = Extent(rect->top, rect->bottom);
    if (!editor || !editor->ConstrainEditorSize(width, height)) return kResultFalse;
    // The origin stays where the host put it unless the size would run past
    // the coordinate range.
    const int32 left = static_cast<int32>(std::min<std::int64_t>(rect->left, INT32_MAX - width));
    const int32 top = static_cast<int32>(std::min<std::int64_t>(rect->top, INT32_MAX - height));
    *rect = ViewRect(left, top, left + width, top + height);
    return kResultTrue;
  });
}

tresult PLUGIN_API IEffectVST3View::setContentScaleFactor(ScaleFactor factor) {
  return HostCall([&]() -> tresult {
    IEditorLink* editor = Editor();
    if (!editor || !std::isfinite(factor)) return kResultFalse;
    const int oldWidth = editor->EditorWidth();
    const int oldHeight = editor->EditorHeight();
    if (!editor->SetEditorScale(static_cast<double>(factor))) return kResultFalse;
    ViewRect size(0, 0, editor->EditorWidth(), editor->EditorHeight());
    if (plugFrame_ && (size.getWidth() != oldWidth || size.getHeight() != oldHeight)) {
      rect_ = size;
      plugFrame_->resizeView(this, &size);
    }
    return kResultOk;
  });
}

tresult PLUGIN_API IEffectVST3View::queryInterface(const TUID queryIid, void** obj) {
  if (!obj) return kInvalidArgument;
  if (QueryAs<IPlugViewContentScaleSupport>(this, queryIid, obj)) return kResultOk;
  return CPluginView::queryInterface(queryIid, obj);
}
