#pragma once
// A panel without a window: drawing stays in the back buffer, menus answer
// "nothing chosen", a text entry stays open until a caller commits or
// cancels it, paths are empty, and images load from the
// module's resources through the raster library. Tools and tests use it, and
// so does a platform without its own window yet.

#include "gui/IPanel.h"

class IPanelOffscreen : public IPanel {
 public:
  using IPanel::IPanel;

  bool DrawScreen(const PixelRect& rect) override;
  void CancelTextEntry() override { entry_ = Entry{}; }
  const char* GetDrawingApiName() override { return "Off-screen"; }
  int ShowMessageBox(const char*, const char*, int) override { return 0; }
  IPopupMenu* ShowPopupMenu(IPopupMenu* menu, const PixelRect& rect) override;
  // Keeps the entry open (replacing one already open) with text as shown.
  void CreateTextEntry(IControl* control, const TextStyle&, const PixelRect&, const char* text,
                       const IParamDef* param) override;
  void GetHostPath(std::string& out) override { out.clear(); }
  void GetModulePath(std::string& out) override { out.clear(); }
  void GetDesktopPath(std::string& out) override { out.clear(); }
  void GetAppDataPath(std::string& out, bool) override { out.clear(); }
  void PromptForFile(std::string& fileName, int, std::string&, const char*) override { fileName.clear(); }
  bool PromptForColor(ColorArgb&, const char*) override { return false; }
  bool OpenUrl(const char*, const char*, const char*, const char*) override { return false; }
  // "Opens" without a native window: the panel itself stands for it.
  NativeWindow OpenWindow(NativeWindow parent) override;
  void CloseWindow() override { open_ = false; }
  NativeWindow GetWindow() override { return open_ ? static_cast<NativeWindow>(this) : nullptr; }
  bool GetTextFromClipboard(std::string& out) override {
    out.clear();
    return false;
  }
  std::unique_ptr<RAS_IBitmap> LoadBitmapFromResource(int id, const char* name) override;

  // Paints everything now, as a window's first paint does; true on success.
  bool PaintAll();
  // The region the last DrawScreen copied (for tests).
  const PixelRect& LastScreenRect() const { return lastScreen_; }
  // The open text entry's text as it was shown; null when none is open.
  const std::string* EntryText() const { return entry_.control ? &entry_.text : nullptr; }
  // Commits the open entry as if the user had typed `typed` and pressed
  // Return; nothing when none is open.
  void CommitEntry(const char* typed);

 private:
  struct Entry {
    IControl* control = nullptr;
    const IParamDef* param = nullptr;
    std::string text;
  };
  Entry entry_;
  bool open_ = false;
  PixelRect lastScreen_;
};
