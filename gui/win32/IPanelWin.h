#pragma once
// IPanelWin: the editor as a Win32 child window inside the host's window.
// The window itself (Win32Window: class, timer, capture, tooltip window,
// text entry, messages) knows no controls; this panel is its client: it
// paints dirty controls from the back buffer on each tick, turns the
// window's gestures into the core's dispatch calls, and supplies the text
// entry's meaning, popup menus, tooltips' texts, message boxes, file and
// colour dialogs, the clipboard, cursor hiding and opening of web addresses.
// Everything here runs on the thread that owns the host's window.

#include <cstdint>
#include <memory>
#include <string>

#include "gui/IPanel.h"
#include "gui/win32/Win32Dialogs.h"
#include "gui/win32/Win32Dpi.h"
#include "gui/win32/Win32Window.h"

struct HWND__;
struct HINSTANCE__;

class IPanelWin : public IPanel, private win32gui::Win32WindowClient {
 public:
  // The registered class of every editor window of the module.
  static constexpr const char* kWindowClass = win32gui::Win32Window::kWindowClass;
  // The redraw timer's id.
  static constexpr std::uintptr_t kTimerId = win32gui::Win32Window::kTimerId;

  // Text-entry states.
  enum EntryState : std::int32_t {
    kEntryIdle = win32gui::Win32TextEntry::kIdle,
    kEntryFocused = win32gui::Win32TextEntry::kFocused,
    kEntryProtected = win32gui::Win32TextEntry::kProtected,
    kEntryCancel = win32gui::Win32TextEntry::kCancel,
    kEntryCommit = win32gui::Win32TextEntry::kCommit
  };

  IPanelWin(IEditPort* port, int width, int height, int frameRate = 25);
  // Closes the window first.
  ~IPanelWin() override;

  // The module whose instance registers the window class (by default the
  // module that contains this code).
  void SetInstance(HINSTANCE__* instance) { instance_ = instance; }
  HINSTANCE__* Instance() const;

  // ---- Platform operations ------------------------------------------------------
  bool DrawScreen(const PixelRect& rect) override;
  void CancelTextEntry() override;
  // Resizes the panel, then the open window by the same amounts (and the
  // host's parent windows, for the hosts that expect it).
  void Resize(int width, int height) override;
  bool WindowIsOpen() override { return window_.IsOpen(); }
  const char* GetDrawingApiName() override { return "Windows GDI"; }
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  IPopupMenu* ShowPopupMenu(IPopupMenu* menu, const PixelRect& rect) override;
  void CreateTextEntry(IControl* control, const TextStyle& style, const PixelRect& rect,
                       const char* text, const IParamDef* param) override;
  void GetHostPath(std::string& out) override;
  void GetModulePath(std::string& out) override;
  void GetDesktopPath(std::string& out) override;
  void GetAppDataPath(std::string& out, bool allUsers) override;
  void PromptForFile(std::string& fileName, int action, std::string& directory,
                     const char* extensions) override;
  bool PromptForColor(ColorArgb& colour, const char* prompt) override;
  bool OpenUrl(const char* url, const char* title, const char* confirmText,
               const char* errorText) override;
  // A window already open is closed and its position and size kept. Null
  // when there is no parent or the window cannot be made.
  NativeWindow OpenWindow(NativeWindow parent) override;
  void CloseWindow() override;
  NativeWindow GetWindow() override { return window_.Handle(); }
  bool GetTextFromClipboard(std::string& out) override;
  void HideMouseCursor() override;
  void ShowMouseCursor() override;
  std::unique_ptr<RAS_IBitmap> LoadBitmapFromResource(int id, const char* name) override;
  // The work area of the window's monitor.
  bool GetUsableDisplayArea(int& width, int& height) override;

  // ---- Display scale ---------------------------------------------------------------
  // The host's content scale wins once set (1 included); until then the
  // window's own DPI counts where its thread is per-monitor DPI aware, read
  // when the window opens and again when it moves to a monitor of another
  // DPI (the host's frame is then asked for the new size). The reader is
  // how the DPI is read (tests stand in for the system's).
  void SetDpiReader(win32gui::DpiReader reader) { dpiReader_ = reader ? reader : &win32gui::WindowDpi; }

  // ---- State, for the adapter and tests ---------------------------------------------
  HWND__* TextEntryWindow() const { return window_.Entry().Window(); }
  std::int32_t TextEntryState() const { return window_.Entry().GetState(); }
  int TooltipControl() const { return tooltipControl_; }
  // Editor windows of this module open now, process-wide.
  static int OpenWindowCount() { return win32gui::Win32Window::OpenCount(); }
  // The redraw period (ms) the most recently opened window was given.
  static int LastTimerPeriodMs() { return win32gui::Win32Window::LastTimerPeriodMs(); }

 private:
  // ---- The window's client --------------------------------------------------------
  void OnPaint(const PixelRect& area) override;
  PixelRect OnTimer() override;
  void OnButtonDown(int x, int y, const MouseMods& mods) override;
  bool OnDoubleClick(int x, int y, const MouseMods& mods) override;
  void OnButtonUp(int x, int y, const MouseMods& mods) override;
  void OnDrag(int x, int y, const MouseMods& mods) override;
  win32gui::HoverWatch OnHover(int x, int y, const MouseMods& mods) override;
  void OnWheel(int x, int y, const MouseMods& mods, int units) override;
  void OnLeave() override;
  // Ends the gesture a press in the window began: the holding control hears
  // the release and the host the end of the edit.
  void OnCaptureLost(int x, int y) override;
  bool OnKey(int x, int y, int keyCode) override;
  std::string TooltipText() override;
  void OnEntryEnded(const char* committedText) override;
  void OnDestroyed() override;
  void ScaleChanged() override;
  void OnDpiChanged(int dpi) override;
  // Closes the text entry and the tooltip, which stand where the old size
  // or scale put them (the entry's text is dropped).
  void ForgetScaledPlaces();
  // The scale the window found for itself.
  void TakeWindowScale(double scale);
  // Grows the open window from the old device size to the current one.
  void GrowWindow(int oldWidth, int oldHeight);

  // The entry's control and parameter are forgotten with the entry.
  void CloseTextEntry();

  HINSTANCE__* instance_ = nullptr;
  win32gui::Win32Window window_;
  IControl* editControl_ = nullptr;
  const IParamDef* editParam_ = nullptr;
  int tooltipControl_ = -1;
  win32gui::ColourChooser colours_;
  win32gui::MessageBoxOwner boxOwner_;
  HWND__* parent_ = nullptr;
  win32gui::DpiReader dpiReader_ = &win32gui::WindowDpi;
};
