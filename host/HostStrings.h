#pragma once
// Conversions between UTF-8 and the UTF-16 texts of the VST3 interfaces.

#include <string>

#include "pluginterfaces/base/ftypes.h"

namespace mirel::host {

// Reads a NUL-terminated UTF-16 text of at most maxUnits units.
std::string ToUtf8(const Steinberg::char16* text, int maxUnits = 128);

// Writes text as UTF-16 into a field of `units` units, truncated and always
// terminated.
void ToUtf16(const std::string& text, Steinberg::char16* field, int units = 128);

std::u16string ToU16(const std::string& text);

// Reads a zero-padded 8-bit field of fixed width (which may lack a terminator).
std::string FixedField(const char* field, int width);

}  // namespace mirel::host
