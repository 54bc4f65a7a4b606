#include "gui/IPanelOffscreen.h"

#include <utility>

#include "raster/RAS_Png.h"

bool IPanelOffscreen::DrawScreen(const PixelRect& rect) {
  lastScreen_ = rect;
  return true;
}

IPopupMenu* IPanelOffscreen::ShowPopupMenu(IPopupMenu* /*menu*/, const PixelRect& /*rect*/) {
  ReleaseMouseHolder();
  return nullptr;
}

NativeWindow IPanelOffscreen::OpenWindow(NativeWindow /*parent*/) {
  open_ = true;
  SetAllControlsDirty();
  return GetWindow();
}

std::unique_ptr<RAS_IBitmap> IPanelOffscreen::LoadBitmapFromResource(int id, const char* name) {
  return ::LoadBitmapFromResource(id, name);
}

bool IPanelOffscreen::PaintAll() {
  if (!BackBuffer()) return false;
  return Paint(PixelRect{0, 0, Width(), Height()});
}

void IPanelOffscreen::CreateTextEntry(IControl* control, const TextStyle&, const PixelRect&, const char* text,
                                      const IParamDef* param) {
  entry_ = Entry{control, param, text ? text : ""};
}

void IPanelOffscreen::CommitEntry(const char* typed) {
  const Entry entry = std::exchange(entry_, Entry{});
  if (entry.control) CommitTextEntry(entry.control, entry.param, typed);
}
