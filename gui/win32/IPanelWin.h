#pragma once
// IPanelWin: the editor as a Win32 child window inside the host's window.
// It owns the native window and its redraw timer, copies the back buffer to
// the screen, turns mouse and keyboard messages into the panel's dispatch
// calls, and supplies the in-place text entry, popup menus, tooltips, message
// boxes, file and colour dialogs, the clipboard, cursor hiding and opening of
// web addresses. Everything here runs on the thread that owns the host's
// window; the timer is a window timer, so painting happens between messages.

#include <cstdint>
#include <memory>
#include <string>

#include "gui/IPanel.h"

struct HWND__;
struct HINSTANCE__;
struct HFONT__;

class IPanelWin : public IPanel {
 public:
  // The registered class of every editor window of the module.
  static constexpr const char* kWindowClass = "IEffectWndClass";
  // The redraw timer's id.
  static constexpr std::uintptr_t kTimerId = 2;

  // Text-entry states.
  enum EntryState : std::int32_t { kEntryIdle = 0, kEntryFocused = 1, kEntryProtected = 2,
                                   kEntryCancel = 3, kEntryCommit = 4 };

  IPanelWin(IEditPort* port, int width, int height, int frameRate = 25);
  // Closes the window first.
  ~IPanelWin() override;

  // The module whose instance registers the window class (by default the
  // module that contains this code).
  void SetInstance(HINSTANCE__* instance) { instance_ = instance; }
  HINSTANCE__* Instance() const;

  // ---- Platform operations ------------------------------------------------------
  bool DrawScreen(const PixelRect& rect) override;
  void CancelTextEntry() override { entryState_ = kEntryCancel; }
  // Resizes the panel, then the open window by the same amounts (and the
  // host's parent windows, for the hosts that expect it).
  void Resize(int width, int height) override;
  bool WindowIsOpen() override { return window_ != nullptr; }
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
  NativeWindow GetWindow() override { return window_; }
  bool GetTextFromClipboard(std::string& out) override;
  void HideMouseCursor() override;
  void ShowMouseCursor() override;
  std::unique_ptr<RAS_IBitmap> LoadBitmapFromResource(int id, const char* name) override;

  // ---- State, for the adapter and tests ---------------------------------------------
  HWND__* TextEntryWindow() const { return entry_; }
  std::int32_t TextEntryState() const { return entryState_; }
  int TooltipControl() const { return tooltipControl_; }
  // Editor windows of this module open now, process-wide.
  static int OpenWindowCount();
  // The redraw period (ms) the most recently opened window was given.
  static int LastTimerPeriodMs();

 private:
  static std::intptr_t __stdcall WindowProc(HWND__* hwnd, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  static std::intptr_t __stdcall EntryProc(HWND__* hwnd, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  std::intptr_t HandleMessage(HWND__* hwnd, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  std::intptr_t HandleEntryMessage(HWND__* hwnd, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  void OnTimer();
  void OnKey(HWND__* hwnd, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  // The key passes to the host: the root window, then the default procedure.
  std::intptr_t PassKeyOn(HWND__* hwnd, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  void CommitTextEntry();
  void DestroyTextEntry();
  void SetUpTooltips();
  void HideTooltip();
  // Ends the gesture a mouse-down in this window began, if one is running:
  // the holding control hears the release and the host the end of the edit,
  // so that no edit stays open when the mouse goes elsewhere, the window
  // closes or the controls are deleted.
  void EndGesture();

  HINSTANCE__* instance_ = nullptr;
  HWND__* window_ = nullptr;
  HWND__* entry_ = nullptr;
  HWND__* tooltip_ = nullptr;
  IControl* editControl_ = nullptr;
  const IParamDef* editParam_ = nullptr;
  std::intptr_t entryPrevProc_ = 0;
  HFONT__* entryFont_ = nullptr;
  std::int32_t entryState_ = kEntryIdle;
  bool tooltipShowing_ = false;
  int tooltipControl_ = -1;
  std::unique_ptr<std::uint32_t[]> customColours_;  // 16 entries, on first use
  std::uint32_t ownerProcess_ = 0;
  HWND__* ownerWindow_ = nullptr;
  std::string ownerClass_;  // at most 127 characters
  HWND__* parent_ = nullptr;
  // True while a mouse-down in this window began the gesture now running.
  bool captured_ = false;
};
