// Platforms without their own editor window yet draw off-screen.
#include "mirel/EditorPanel.h"
#include "gui/IPanelOffscreen.h"

std::unique_ptr<IPanel> MakeEditorPanel(IEditPort* port, int width, int height, int frameRate) {
  return std::make_unique<IPanelOffscreen>(port, width, height, frameRate);
}
