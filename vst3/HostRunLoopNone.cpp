#include "HostRunLoop.h"

// Platforms whose editor windows run their own message loop need nothing of
// the host's.
std::unique_ptr<IHostRunLoop> HostRunLoopFromFrame(Steinberg::IPlugFrame*) { return nullptr; }
