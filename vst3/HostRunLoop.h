#pragma once

// The host's run loop as an embedded editor needs it, from the frame the host
// gave the view: on Linux, the Steinberg::Linux::IRunLoop the frame answers.
// Null where editor windows run their own message loop (Windows), or when
// the frame offers none.

#include <memory>

#include "gui/host/EditorHostContext.h"
#include "pluginterfaces/gui/iplugview.h"

std::unique_ptr<IHostRunLoop> HostRunLoopFromFrame(Steinberg::IPlugFrame* frame);
