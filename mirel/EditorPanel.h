#pragma once
// The editor's panel class for the platform the module is built for: a
// native window where one exists, the off-screen panel otherwise. One small
// source file per platform defines MakeEditorPanel.

#include <memory>

#include "gui/IPanel.h"

class IEffectBase;

std::unique_ptr<IPanel> MakeEditorPanel(IEffectBase* plug, int width, int height, int frameRate);
