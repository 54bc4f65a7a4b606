#pragma once

// The host's run loop as an embedded editor needs it, taken from the frame
// the host gave the view. Null on platforms whose editor windows have their
// own message loop, or when the host's frame offers none.

#include <memory>

#include "EditorLink.h"
#include "pluginterfaces/gui/iplugview.h"

std::unique_ptr<IHostRunLoop> HostRunLoopFromFrame(Steinberg::IPlugFrame* frame);
