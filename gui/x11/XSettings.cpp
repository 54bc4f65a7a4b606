#include "gui/x11/XSettings.h"

#include <string_view>

namespace x11gui {

namespace {

// The block's layout: byte order (0 least significant byte first, 1 most
// significant first), 3 unused bytes, a serial, the number of settings; then
// per setting its type (0 integer, 1 string, 2 colour), an unused byte, the
// name's length, the name padded to 4 bytes, the serial of its last change,
// and its value: a 32-bit integer, a length and the text padded to 4 bytes,
// or four 16-bit channels.
enum : std::uint32_t { kInteger = 0, kString = 1, kColour = 2 };

// A cursor over the block that never moves past its end.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  void SetMostSignificantFirst(bool msb) { msb_ = msb; }
  bool Card(std::size_t bytes, std::uint32_t& out) {
    if (size_ - at_ < bytes) return false;
    out = 0;
    for (std::size_t i = 0; i < bytes; ++i) out = out << 8 | data_[at_ + (msb_ ? i : bytes - 1 - i)];
    at_ += bytes;
    return true;
  }
  bool Skip(std::size_t bytes) {
    if (size_ - at_ < bytes) return false;
    at_ += bytes;
    return true;
  }
  // `length` bytes padded to a multiple of 4; the unpadded bytes in `out`.
  bool Padded(std::size_t length, std::string_view& out) {
    const std::size_t padded = (length + 3) & ~std::size_t{3};
    if (padded < length || size_ - at_ < padded) return false;
    out = std::string_view(reinterpret_cast<const char*>(data_ + at_), length);
    at_ += padded;
    return true;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  bool msb_ = false;
};

void TakeInteger(std::string_view name, std::int32_t value, DesktopSettings& settings) {
  if (name == "Net/DoubleClickTime" && value > 0 && value <= 5000) {
    settings.doubleClickMs = static_cast<std::uint32_t>(value);
  } else if (name == "Net/DoubleClickDistance" && value >= 0 && value <= 100) {
    settings.doubleClickDistance = value;
  } else if (name == "Xft/DPI" && value > 0 && value <= 10000 * 1024) {
    settings.xftDpi = value / 1024.0;
  }
}

}  // namespace

void ReadXSettings(const std::uint8_t* data, std::size_t size, DesktopSettings& settings) {
  if (data == nullptr) return;
  Reader in(data, size);
  std::uint32_t order = 0, serial = 0, count = 0;
  if (!in.Card(1, order) || order > 1) return;  // neither byte order: not a settings block
  in.SetMostSignificantFirst(order == 1);
  if (!in.Skip(3) || !in.Card(4, serial) || !in.Card(4, count)) return;
  // Each setting takes at least 12 bytes, so a huge count ends at the block's end.
  for (std::uint32_t n = 0; n < count; ++n) {
    std::uint32_t type = 0, nameLength = 0, lastChange = 0;
    std::string_view name;
    if (!in.Card(1, type) || !in.Skip(1) || !in.Card(2, nameLength) || !in.Padded(nameLength, name) ||
        !in.Card(4, lastChange)) {
      return;
    }
    if (type == kInteger) {
      std::uint32_t value = 0;
      if (!in.Card(4, value)) return;
      TakeInteger(name, static_cast<std::int32_t>(value), settings);
    } else if (type == kString) {
      std::uint32_t length = 0;
      std::string_view text;
      if (!in.Card(4, length) || !in.Padded(length, text)) return;
    } else if (type == kColour) {
      if (!in.Skip(8)) return;
    } else {
      return;  // an unknown type has an unknown length: nothing after it can be read
    }
  }
}

}  // namespace x11gui
