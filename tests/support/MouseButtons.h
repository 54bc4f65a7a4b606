#pragma once
// The mouse states the editor tests press with.

#include "gui/GuiTypes.h"

namespace testsupport {

// The left button alone, no modifier key.
inline constexpr MouseMods kLeftButton{true, false, false, false, false};

}  // namespace testsupport
