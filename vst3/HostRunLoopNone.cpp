#include "vst3/HostRunLoop.h"

// Editor windows here run their own message loop: nothing of the host's.
std::unique_ptr<IHostRunLoop> HostRunLoopFromFrame(Steinberg::IPlugFrame*) { return nullptr; }
