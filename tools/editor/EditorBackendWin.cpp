// mirel-editor's window on Windows: the Win32 editor host.

#include "tools/editor/EditorBackend.h"
#include "host/win32/EditorHostWin.h"

namespace mirel::tools {

namespace {

// Makes the windows this thread creates per-monitor DPI aware, as current
// DAWs are: the plug-in then sees the monitor's DPI instead of being
// stretched by the system. Nothing on systems without thread awareness.
void BecomePerMonitorAware() {
  using SetContextFn = void*(WINAPI*)(void*);
  const auto set = reinterpret_cast<SetContextFn>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
  if (!set) return;
  // Per-monitor aware, second version (1703 on), else the first.
  if (!set(reinterpret_cast<void*>(-4))) set(reinterpret_cast<void*>(-3));
}

class EditorBackendWin final : public EditorBackend {
 public:
  EditorBackendWin() { BecomePerMonitorAware(); }
  bool Open(Steinberg::IPlugView* view, std::string& error) override { return host_.Open(view, error); }
  void Close() override { host_.Close(); }
  void Pump(int milliseconds) override { host_.Pump(milliseconds); }
  bool Perform(const host::EditorAction& action) override { return host_.Perform(action); }
  bool ResizeByHandle(int width, int height, Steinberg::ViewRect& taken) override {
    return host::ResizeViewByHandle(host_.View(), host_.Frame(), width, height, taken);
  }
  bool Capture(host::EditorImage& out) override { return host_.Capture(out); }
  bool CloseRequested() const override { return host_.CloseRequested(); }

 private:
  host::EditorHostWin host_;
};

}  // namespace

std::unique_ptr<EditorBackend> MakeEditorBackend() { return std::make_unique<EditorBackendWin>(); }

}  // namespace mirel::tools
