#pragma once
// IPanelX11: the editor as a child window on an X server. It opens inside
// the host's window (an X11 window id), is driven by the host's run loop
// (X11RunLoop: the connection's descriptor and the redraw timer), paints the
// dirty controls from the back buffer on each tick and repaints exposed
// areas, and turns pointer and key events into the core's dispatch calls.
// Text entry, menus, dialogs and the clipboard are not offered on this
// platform: they answer as the off-screen panel does.
//
// Everything runs on the host's editor thread (its run-loop callbacks).

#include <memory>

#include "gui/IPanel.h"
#include "gui/x11/X11RunLoop.h"
#include "gui/x11/X11Window.h"

class IPanelX11 : public IPanel, public X11RunLoopUser, private x11gui::X11WindowClient {
 public:
  using IPanel::IPanel;
  ~IPanelX11() override;

  // The host's run loop for the next OpenWindow; not owned, must outlive the
  // window. Without one, OpenWindow fails.
  void SetRunLoop(X11RunLoop* loop) override;
  X11RunLoop* RunLoop() const override { return runLoop_; }

 protected:
  // Without the host's loop the window could neither paint nor take input.
  bool TakeHostRunLoop(IHostRunLoop* loop) override {
    if (loop == nullptr) return false;
    SetRunLoop(loop);
    return true;
  }
  void ForgetHostRunLoop(IHostRunLoop* loop) override {
    if (runLoop_ == loop) SetRunLoop(nullptr);
  }
  void ScaleChanged() override;

 public:
  bool DrawScreen(const PixelRect& rect) override;
  void CancelTextEntry() override {}
  void Resize(int width, int height) override;
  const char* GetDrawingApiName() override { return "X11"; }
  int ShowMessageBox(const char*, const char*, int) override { return 0; }
  IPopupMenu* ShowPopupMenu(IPopupMenu* menu, const PixelRect& rect) override;
  void CreateTextEntry(IControl*, const TextStyle&, const PixelRect&, const char*,
                       const IParamDef*) override {}
  void GetHostPath(std::string& out) override;
  void GetModulePath(std::string& out) override;
  void GetDesktopPath(std::string& out) override;
  void GetAppDataPath(std::string& out, bool allUsers) override;
  void PromptForFile(std::string& fileName, int, std::string&, const char*) override {
    fileName.clear();
  }
  bool PromptForColor(ColorArgb&, const char*) override { return false; }
  bool OpenUrl(const char*, const char*, const char*, const char*) override { return false; }
  // parent: the host window's id. Null when the server, the parent or the
  // run loop refuses; nothing stays open then.
  NativeWindow OpenWindow(NativeWindow parent) override;
  void CloseWindow() override;
  NativeWindow GetWindow() override;
  bool GetTextFromClipboard(std::string& out) override {
    out.clear();
    return false;
  }
  std::unique_ptr<RAS_IBitmap> LoadBitmapFromResource(int id, const char* name) override;
  // The size of the window's screen.
  bool GetUsableDisplayArea(int& width, int& height) override { return window_.ScreenSize(width, height); }

  // Run-loop callbacks (public for tests that drive the panel directly).
  void OnReadable();
  void OnTick();
  x11gui::X11Window& Window() { return window_; }

 private:
  void OnExpose(const PixelRect& area) override;
  void OnButtonDown(int x, int y, const MouseMods& mods) override;
  void OnDoubleClick(int x, int y, const MouseMods& mods) override;
  void OnButtonUp(int x, int y, const MouseMods& mods) override;
  void OnDrag(int x, int y, const MouseMods& mods) override;
  void OnHover(int x, int y, const MouseMods& mods) override;
  void OnWheel(int x, int y, const MouseMods& mods, int notches) override;
  void OnLeave() override;
  // Ends a gesture that no button release will end.
  void OnPointerLost() override;
  bool OnKey(int x, int y, int keyCode) override;

  x11gui::X11Window window_;
  X11RunLoop* runLoop_ = nullptr;
  bool loopStarted_ = false;
};
