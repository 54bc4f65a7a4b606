#pragma once
// Between the platform-neutral part of RAS_CachedFont and its platform parts
// (RAS_FontGdi.cpp, RAS_FontFreeType.cpp).

#include <cstdint>
#include <vector>

// Frees what the platform keeps for all fonts (scratch bitmaps, the font
// library); called when the last font is destroyed.
void RasFontReleaseProcessResources();

// Splits UTF-8 text into character codes. Bytes that do not form a valid
// sequence stand for themselves (as Latin-1).
std::vector<int> RasDecodeUtf8(const char* text, int length);

// True when text holds at least one valid UTF-8 multi-byte sequence.
bool RasHasUtf8Sequences(const char* text, int length);
