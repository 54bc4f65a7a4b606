#include "host/HostStrings.h"

#include <cstring>

namespace mirel::host {

namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string ToUtf8(const Steinberg::char16* text, int maxUnits) {
  std::string out;
  if (text == nullptr) return out;
  for (int i = 0; i < maxUnits && text[i] != 0; ++i) {
    char32_t c = static_cast<char16_t>(text[i]);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < maxUnits) {
      const char32_t low = static_cast<char16_t>(text[i + 1]);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string ToU16(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    char32_t c = b;
    size_t extra = 0;
    if (b >= 0xF0) {
      c = b & 0x07;
      extra = 3;
    } else if (b >= 0xE0) {
      c = b & 0x0F;
      extra = 2;
    } else if (b >= 0xC0) {
      c = b & 0x1F;
      extra = 1;
    }
    ++i;
    for (size_t k = 0; k < extra && i < text.size(); ++k, ++i) {
      c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    }
    if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
      out += static_cast<char16_t>(0xFFFD);  // not a character: the replacement mark
    } else if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

void ToUtf16(const std::string& text, Steinberg::char16* field, int units) {
  if (field == nullptr || units <= 0) return;
  const std::u16string wide = ToU16(text);
  int n = 0;
  for (; n < units - 1 && n < static_cast<int>(wide.size()); ++n) {
    field[n] = static_cast<Steinberg::char16>(wide[static_cast<size_t>(n)]);
  }
  // A cut between the two halves of a surrogate pair drops the first half.
  if (n > 0 && n < static_cast<int>(wide.size()) && field[n - 1] >= 0xD800 && field[n - 1] < 0xDC00) {
    --n;
  }
  field[n] = 0;
}

std::string FixedField(const char* field, int width) {
  if (field == nullptr) return {};
  const void* end = std::memchr(field, 0, static_cast<size_t>(width));
  const size_t len = end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - field)
                                    : static_cast<size_t>(width);
  return std::string(field, len);
}

}  // namespace mirel::host
