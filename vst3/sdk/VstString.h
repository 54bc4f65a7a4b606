#pragma once

// Text conversion at the VST3 boundary: UTF-16 fields of fixed size, widened
// from and narrowed to 8-bit text unit by unit (no code-page translation).

#include <cstddef>
#include <string>

#include "pluginterfaces/base/ftypes.h"

namespace Steinberg {

// Copies text into dst (capacity units, including the terminator), widening
// each byte; always terminated when capacity > 0.
void WidenInto(char16* dst, std::size_t capacity, const char* text);
// Narrows a terminated UTF-16 text (read at most capacity units) into an 8-bit
// string of at most maxChars characters; units above 0xFF keep their low byte.
std::string Narrow(const char16* text, std::size_t capacity, std::size_t maxChars);
// Copies an 8-bit text into a fixed field, zero-padding the rest.
void CopyFixed(char8* dst, std::size_t capacity, const char* text);
// True when every unit of a terminated UTF-16 text (read at most capacity
// units) has an 8-bit form, so that Narrow gives the text itself.
bool NarrowsWhole(const char16* text, std::size_t capacity);
// Length of a UTF-16 text, reading at most capacity units.
std::size_t WideLength(const char16* text, std::size_t capacity);

}  // namespace Steinberg
