#include "vst3/sdk/VstString.h"

#include <cstring>

namespace Steinberg {

void WidenInto(char16* dst, std::size_t capacity, const char* text) {
  if (!dst || capacity == 0) return;
  std::size_t i = 0;
  if (text) {
    for (; i + 1 < capacity && text[i] != '\0'; ++i) {
      dst[i] = static_cast<char16>(static_cast<unsigned char>(text[i]));
    }
  }
  for (std::size_t k = i; k < capacity; ++k) dst[k] = 0;
}

std::string Narrow(const char16* text, std::size_t capacity, std::size_t maxChars) {
  std::string out;
  if (!text) return out;
  for (std::size_t i = 0; i < capacity && i < maxChars && text[i] != 0; ++i) {
    out.push_back(static_cast<char>(static_cast<unsigned char>(text[i] & 0xFF)));
  }
  return out;
}

bool NarrowsWhole(const char16* text, std::size_t capacity) {
  if (!text) return true;
  for (std::size_t i = 0; i < capacity && text[i] != 0; ++i) {
    if (text[i] > 0xFF) return false;
  }
  return true;
}

void CopyFixed(char8* dst, std::size_t capacity, const char* text) {
  if (!dst || capacity == 0) return;
  std::memset(dst, 0, capacity);
  if (!text) return;
  std::size_t n = std::strlen(text);
  if (n > capacity - 1) n = capacity - 1;
  std::memcpy(dst, text, n);
}

std::size_t WideLength(const char16* text, std::size_t capacity) {
  std::size_t n = 0;
  if (!text) return 0;
  while (n < capacity && text[n] != 0) ++n;
  return n;
}

}  // namespace Steinberg
