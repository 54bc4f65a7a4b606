#pragma once
// The platform window in which mirel-editor shows a plug-in's view. Each
// platform supplies MakeEditorBackend in its own source file.

#include <memory>
#include <string>

#include "host/EditorActions.h"
#include "host/EditorImage.h"
#include "pluginterfaces/gui/iplugview.h"

namespace mirel::tools {

class EditorBackend {
 public:
  virtual ~EditorBackend() = default;
  // Attaches the view in a new top-level window of its size.
  virtual bool Open(Steinberg::IPlugView* view, std::string& error) = 0;
  virtual void Close() = 0;
  // Runs the window system's event loop for a while.
  virtual void Pump(int milliseconds) = 0;
  virtual bool Perform(const host::EditorAction& action) = 0;
  // Resizes the editor as the window's resize handle would; `taken`
  // receives the size it took.
  virtual bool ResizeByHandle(int width, int height, Steinberg::ViewRect& taken) = 0;
  // The plug-in's own window as shown.
  virtual bool Capture(host::EditorImage& out) = 0;
  // The user closed the host window.
  virtual bool CloseRequested() const = 0;
};

std::unique_ptr<EditorBackend> MakeEditorBackend();

}  // namespace mirel::tools
