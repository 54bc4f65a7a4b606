#include "gui/win32/IPanelWin.h"

#include <algorithm>

#include "plugbase/IParamDef.h"
#include "gui/win32/Win32System.h"
#include "raster/RAS_Bitmap.h"
#include "raster/RAS_Png.h"

// After our own headers: windows.h turns some of their names into macros.
#include <windows.h>

namespace {

// The characters a text entry for `param` takes: anything where values read
// in units or as texts, else the digits of a plain number.
win32gui::EntryChars EntryCharsFor(const IParamDef* param) {
  if (!param || param->HasValueFormat() || param->NDisplayTexts() > 0) return win32gui::EntryChars::kAny;
  const ParamKind kind = param->Kind();
  const bool whole = kind == ParamKind::Boolean || kind == ParamKind::Stepped || kind == ParamKind::Enumeration;
  return whole ? win32gui::EntryChars::kWhole : win32gui::EntryChars::kDecimal;
}

// Characters an entry takes at least where values read in units: the longest
// value text with room to type a unit of its own ("-30.0 dB", "10.0 kHz").
constexpr int kValueTextEntryLength = 12;

}  // namespace

IPanelWin::IPanelWin(IEditPort* port, int width, int height, int frameRate)
    : IPanel(port, width, height, frameRate) {
  // A Windows host that sets a content scale has counted the display's DPI
  // in it already.
  SetScalePolicy(ScalePolicy::kHostOnceSet);
}

IPanelWin::~IPanelWin() {
  CloseWindow();
  // A window destroyed with its host's window left the class registered.
  win32gui::Win32Window::ReleaseClass(Instance());
}

HINSTANCE IPanelWin::Instance() const { return instance_ ? instance_ : win32gui::Win32Window::ThisModule(); }

// ---- Window life ---------------------------------------------------------------------

NativeWindow IPanelWin::OpenWindow(NativeWindow parent) {
  int x = 0, y = 0, w = WindowWidth(), h = WindowHeight();
  if (window_.IsOpen()) {
    window_.GetPlace(static_cast<HWND>(parent), x, y, w, h);
    CloseWindow();
  }
  parent_ = static_cast<HWND>(parent);
  // A child window needs a parent; without one nothing opens.
  if (!parent_ || !IsWindow(parent_)) return nullptr;
  if (!window_.Open(Instance(), parent_, x, y, w, h, TimerPeriodMs(), *this)) return nullptr;
  TakeWindowScale(win32gui::WindowScale(window_.Handle(), dpiReader_));
  SetAllControlsDirty();
  if (ShowTooltips() && !window_.SetUpTooltips()) SetShowTooltips(false);
  return window_.Handle();
}

void IPanelWin::CloseWindow() {
  if (!window_.IsOpen()) return;
  window_.Close();
  CloseTextEntry();
  tooltipControl_ = -1;
}

void IPanelWin::OnDestroyed() {
  // Closed, or destroyed with the host's window: a gesture under way ends (no
  // capture change arrives then), and the entry and the tooltip went with it.
  CancelGestures();
  editControl_ = nullptr;
  editParam_ = nullptr;
  tooltipControl_ = -1;
}

bool IPanelWin::DrawScreen(const PixelRect& rect) {
  RAS_IBitmap* back = BackBuffer();
  // Whatever the picture does not cover is the margin's, drawn with it.
  const DisplayScale::WindowPlaces places = WindowPlaces();
  const PixelRect area = ToDevice(rect);
  return window_.Put(back ? back->getDC() : nullptr, area, area.left + places.picture.left,
                     area.top + places.picture.top, places.margins, places.nMargins, MarginColour());
}

void IPanelWin::Resize(int width, int height) {
  if (width == Width() && height == Height()) return;
  // A gesture, the entry and the tooltip name controls that the resize
  // deletes.
  window_.EndGesture();
  ForgetScaledPlaces();
  const int oldW = WindowWidth();
  const int oldH = WindowHeight();
  IPanel::Resize(width, height);
  GrowWindow(oldW, oldH);
}

void IPanelWin::GrowWindow(int oldWidth, int oldHeight) {
  if (!window_.IsOpen()) return;
  // Hosts that size their own windows on request need no help.
  const bool hostSizes = Port() && Port()->HostSizesEditorWindow();
  window_.Grow(WindowWidth() - oldWidth, WindowHeight() - oldHeight, !hostSizes, WindowWidth(), WindowHeight());
}

void IPanelWin::ScaleChanged() {
  // The host resizes the window around the view; the panel's own window
  // follows the new scale.
  if (!window_.IsOpen()) return;
  ForgetScaledPlaces();
  RECT r;
  GetClientRect(window_.Handle(), &r);
  window_.Grow(WindowWidth() - (r.right - r.left), WindowHeight() - (r.bottom - r.top), false, WindowWidth(),
               WindowHeight());
}

void IPanelWin::ForgetScaledPlaces() {
  CloseTextEntry();
  tooltipControl_ = -1;
  window_.HideTooltip();
}

void IPanelWin::TakeWindowScale(double scale) {
  // A monitor beyond the largest scale still gets the largest.
  SetDesktopScale(std::min(scale, kMaxScale));
}

void IPanelWin::OnDpiChanged(int dpi) {
  // The system stretches the windows of a thread that is not per-monitor aware.
  if (!win32gui::ThreadIsPerMonitorAware()) return;
  const int oldW = DeviceWidth();
  const int oldH = DeviceHeight();
  TakeWindowScale(win32gui::ScaleFromDpi(dpi > 0 ? dpi : dpiReader_(window_.Handle())));
  if ((DeviceWidth() != oldW || DeviceHeight() != oldH) && Port()) {
    Port()->RequestEditorSize(DeviceWidth(), DeviceHeight());
  }
}

// ---- The window's gestures ------------------------------------------------------------------

void IPanelWin::OnPaint(const PixelRect& area) { Paint(WindowToLogical(area)); }

PixelRect IPanelWin::OnTimer() { return ToWindow(TimerTick()); }

void IPanelWin::OnButtonDown(int x, int y, const MouseMods& mods) { OnMouseDown(WindowToLogicalX(x), WindowToLogicalY(y), mods); }

bool IPanelWin::OnDoubleClick(int x, int y, const MouseMods& mods) { return OnMouseDblClick(WindowToLogicalX(x), WindowToLogicalY(y), mods); }

void IPanelWin::OnButtonUp(int x, int y, const MouseMods& mods) { OnMouseUp(WindowToLogicalX(x), WindowToLogicalY(y), mods); }

void IPanelWin::OnDrag(int x, int y, const MouseMods& mods) { OnMouseDrag(WindowToLogicalX(x), WindowToLogicalY(y), mods); }

win32gui::HoverWatch IPanelWin::OnHover(int x, int y, const MouseMods& mods) {
  if (!OnMouseOver(WindowToLogicalX(x), WindowToLogicalY(y), mods)) return win32gui::HoverWatch::kNone;
  const int over = MouseOverControl();
  if (ShowTooltips() && over != tooltipControl_) {
    tooltipControl_ = over;
    window_.HideTooltip();
  }
  return over >= 0 ? win32gui::HoverWatch::kLeaveAndRest : win32gui::HoverWatch::kLeave;
}

void IPanelWin::OnWheel(int x, int y, const MouseMods& mods, int units) { OnMouseWheel(WindowToLogicalX(x), WindowToLogicalY(y), mods, units); }

void IPanelWin::OnLeave() { OnMouseOut(); }

void IPanelWin::OnCaptureLost(int, int) { CancelGestures(); }

bool IPanelWin::OnKey(int x, int y, int keyCode) { return OnKeyDown(WindowToLogicalX(x), WindowToLogicalY(y), keyCode); }

std::string IPanelWin::TooltipText() {
  const IControl* c = GetControl(tooltipControl_);
  return c ? c->Tooltip() : std::string();
}

// ---- Text entry ---------------------------------------------------------------------------

void IPanelWin::CreateTextEntry(IControl* control, const TextStyle& style, const PixelRect& rect, const char* text,
                                const IParamDef* param) {
  if (!control || window_.Entry().IsOpen() || !window_.IsOpen()) return;
  win32gui::EntryRequest request;
  request.style = style;
  request.style.size = ToDevice(style.size);
  request.rect = ToWindow(rect);
  request.text = text ? text : "";
  request.chars = EntryCharsFor(param);
  request.maxLength = control->TextEntryLength();
  if (request.chars == win32gui::EntryChars::kAny && param && request.maxLength < kValueTextEntryLength) {
    request.maxLength = kValueTextEntryLength;
  }
  request.keepClear = ToWindow(control->Rect());
  if (!window_.OpenEntry(request)) return;
  editParam_ = param;
  editControl_ = control;
}

void IPanelWin::CancelTextEntry() { window_.CancelEntry(); }

void IPanelWin::CloseTextEntry() {
  window_.CloseEntry();
  editControl_ = nullptr;
  editParam_ = nullptr;
}

void IPanelWin::OnEntryEnded(const char* committedText) {
  IControl* control = editControl_;
  const IParamDef* param = editParam_;
  editControl_ = nullptr;
  editParam_ = nullptr;
  CommitTextEntry(control, param, committedText);
}

// ---- Menus, boxes, dialogs -------------------------------------------------------------------

IPopupMenu* IPanelWin::ShowPopupMenu(IPopupMenu* menu, const PixelRect& rect) {
  ReleaseMouseHolder();
  if (!menu || !window_.IsOpen()) return nullptr;
  return win32gui::TrackMenu(window_.Handle(), *menu, rect.left, rect.bottom);
}

int IPanelWin::ShowMessageBox(const char* text, const char* caption, int type) {
  return boxOwner_.Show(parent_, text, caption, type);
}

void IPanelWin::PromptForFile(std::string& fileName, int action, std::string& directory, const char* extensions) {
  if (!window_.IsOpen()) {
    fileName.clear();
    return;
  }
  win32gui::PromptForFile(window_.Handle(), fileName, action, directory, extensions);
}

bool IPanelWin::PromptForColor(ColorArgb& colour, const char* prompt) {
  return window_.IsOpen() && colours_.Prompt(window_.Handle(), colour, prompt);
}

bool IPanelWin::OpenUrl(const char* url, const char* title, const char* confirmText, const char* errorText) {
  return win32gui::OpenUrl(window_.Handle(), url, title, confirmText, errorText);
}

// ---- Paths, clipboard, cursor, images ------------------------------------------------------------

bool IPanelWin::GetUsableDisplayArea(int& width, int& height) {
  return win32gui::WorkAreaSize(window_.Handle(), width, height);
}

void IPanelWin::GetHostPath(std::string& out) { out = win32gui::ModuleFolder(nullptr); }

void IPanelWin::GetModulePath(std::string& out) { out = win32gui::ModuleFolder(Instance()); }

void IPanelWin::GetDesktopPath(std::string& out) { out = win32gui::DesktopPath(); }

void IPanelWin::GetAppDataPath(std::string& out, bool allUsers) { out = win32gui::AppDataPath(allUsers); }

bool IPanelWin::GetTextFromClipboard(std::string& out) { return win32gui::ClipboardText(window_.Handle(), out); }

void IPanelWin::HideMouseCursor() {
  if (CursorHidden()) return;
  POINT p{};
  GetCursorPos(&p);
  SetCursorHidden(true, p.x, p.y);
  ShowCursor(FALSE);
}

void IPanelWin::ShowMouseCursor() {
  if (!CursorHidden()) return;
  SetCursorPos(SavedCursorX(), SavedCursorY());
  ShowCursor(TRUE);
  SetCursorHidden(false);
}

std::unique_ptr<RAS_IBitmap> IPanelWin::LoadBitmapFromResource(int id, const char* name) {
  return ::LoadBitmapFromResource(id, name);
}
