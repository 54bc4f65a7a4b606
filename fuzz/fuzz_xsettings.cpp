// libFuzzer target: any bytes read as an XSETTINGS block (another client's
// data) stay inside the block and give only values the window accepts.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "gui/x11/XSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly `size` bytes, so that the sanitizer sees any read past it.
  const std::vector<std::uint8_t> block(data, data + size);
  x11gui::DesktopSettings settings;
  x11gui::ReadXSettings(block.data(), block.size(), settings);
  const bool time = settings.doubleClickMs > 0 && settings.doubleClickMs <= 5000;
  const bool distance = settings.doubleClickDistance >= 0 && settings.doubleClickDistance <= 100;
  const bool dpi = settings.xftDpi == 0.0 || (settings.xftDpi > 0.0 && settings.xftDpi <= 10000.0);
  if (!time || !distance || !dpi) std::abort();
  return 0;
}
