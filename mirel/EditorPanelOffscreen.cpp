// Platforms without their own editor window yet draw off-screen.
#include "EditorPanel.h"
#include "gui/IPanelOffscreen.h"

std::unique_ptr<IPanel> MakeEditorPanel(IEffectBase* plug, int width, int height, int frameRate) {
  return std::make_unique<IPanelOffscreen>(plug, width, height, frameRate);
}
