#pragma once
// The editor's panel class for the platform the module is built for: a
// native window where one exists, the off-screen panel otherwise. One small
// source file per platform defines MakeEditorPanel.

#include <memory>

#include "gui/IPanel.h"

class IEditPort;

std::unique_ptr<IPanel> MakeEditorPanel(IEditPort* port, int width, int height, int frameRate);
