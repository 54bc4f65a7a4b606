#pragma once
// The desktop's settings as its XSETTINGS manager publishes them: the bytes
// of the manager window's _XSETTINGS_SETTINGS property, read into the few
// values the editor's window uses. A pure parser, with no X connection: the
// block comes from another client, so any bytes at all must be safe to read.
//
// Any thread; no state.

#include <cstddef>
#include <cstdint>

namespace x11gui {

// Double-click rule: a second left press within this time and distance of
// the first. The desktop's own values (its settings manager's
// "Net/DoubleClickTime" and "Net/DoubleClickDistance") win; these are the
// toolkits' defaults for a desktop without a settings manager.
inline constexpr std::uint32_t kDoubleClickMs = 400;
inline constexpr int kDoubleClickDistance = 5;

// What the window takes from the desktop's XSETTINGS manager.
struct DesktopSettings {
  std::uint32_t doubleClickMs = kDoubleClickMs;
  int doubleClickDistance = kDoubleClickDistance;
  // "Xft/DPI" (the property holds 1024ths of a dot per inch, -1 for the
  // default); 0 when the manager gives none.
  double xftDpi = 0.0;
};

// Reads an XSETTINGS block (either byte order) into settings. Values it does
// not find, or finds out of range or of another type, are left as they are;
// settings before a place where the block is cut or malformed are taken,
// nothing after it. Never reads outside [data, data + size).
void ReadXSettings(const std::uint8_t* data, std::size_t size, DesktopSettings& settings);

}  // namespace x11gui
