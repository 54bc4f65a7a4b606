// Linux: the editor opens as an X11 child window of the host's window.
#include "mirel/EditorPanel.h"
#include "gui/x11/IPanelX11.h"

std::unique_ptr<IPanel> MakeEditorPanel(IEditPort* port, int width, int height, int frameRate) {
  return std::make_unique<IPanelX11>(port, width, height, frameRate);
}
