#pragma once
// Text of a text style drawn at a drawing scale: the style's font made at
// the scale's pixel size (from the process-wide font cache, remembered in
// the style until the scale changes), a logical rectangle drawn in device
// pixels, and a text's extent measured back in logical pixels.

#include "gui/GuiTypes.h"

class RAS_IBitmap;

// Draws text in rect (logical pixels) into target at scale, or with measure
// rewrites rect to the text's extent (rounded up to whole logical pixels,
// placed by the style's alignment). Empty text: true, nothing drawn. False
// when the font cannot be made.
bool DrawScaledText(RAS_IBitmap* target, TextStyle& style, const char* text, PixelRect& rect, bool measure,
                    double scale);
