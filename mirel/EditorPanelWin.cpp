// On Windows the editor is a child window in the host's window; its class is
// registered with the module's own instance handle.
#include "mirel/EditorPanel.h"
#include "plugbase/ModuleHandle.h"
#include "gui/win32/IPanelWin.h"

#include <windows.h>

std::unique_ptr<IPanel> MakeEditorPanel(IEditPort* port, int width, int height, int frameRate) {
  auto panel = std::make_unique<IPanelWin>(port, width, height, frameRate);
  panel->SetInstance(static_cast<HINSTANCE>(GetModuleInstance()));
  return panel;
}
