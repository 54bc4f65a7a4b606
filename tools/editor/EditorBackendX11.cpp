// mirel-editor's window on Linux: the X11 editor host on the DISPLAY server,
// with the host's poll() run loop offered to the plug-in.

#include <memory>

#include "tools/editor/EditorBackend.h"
#include "host/x11/EditorHostX11.h"

namespace mirel::tools {

namespace {

class EditorBackendX11 final : public EditorBackend {
 public:
  bool Open(Steinberg::IPlugView* view, std::string& error) override {
    if (!display_) display_ = host::X11Display::Open(nullptr, error);
    if (!display_) return false;
    host_ = std::make_unique<host::EditorHostX11>(*display_);
    return host_->Open(view, error);
  }
  void Close() override {
    if (host_) host_->Close();
  }
  void Pump(int milliseconds) override {
    if (display_) display_->Pump(milliseconds);
  }
  bool Perform(const host::EditorAction& action) override { return host_ && host_->Perform(action); }
  bool ResizeByHandle(int width, int height, Steinberg::ViewRect& taken) override {
    return host_ && host_->ResizeByHandle(width, height, taken);
  }
  bool Capture(host::EditorImage& out) override { return host_ && host_->Capture(out); }
  bool CloseRequested() const override { return !host_ || host_->CloseRequested(); }

 private:
  // The host window goes before the display it lives on.
  std::unique_ptr<host::X11Display> display_;
  std::unique_ptr<host::EditorHostX11> host_;
};

}  // namespace

std::unique_ptr<EditorBackend> MakeEditorBackend() { return std::make_unique<EditorBackendX11>(); }

}  // namespace mirel::tools
