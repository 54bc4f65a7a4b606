#pragma once
// The mouse states the editor tests press with.

#include "gui/GuiTypes.h"

namespace testsupport {

// The left button alone, no modifier key.
inline constexpr MouseMods kLeftButton{true, false, false, false, false};
// The right button alone: the host's parameter menu.
inline constexpr MouseMods kRightButton{false, true, false, false, false};
// The left button with one modifier key.
inline constexpr MouseMods kShiftLeftButton{true, false, true, false, false};
inline constexpr MouseMods kControlLeftButton{true, false, false, true, false};
inline constexpr MouseMods kAltLeftButton{true, false, false, false, true};

}  // namespace testsupport
