#pragma once
// PNG images decoded into raster bitmaps (blue, green, red, alpha bytes, not
// premultiplied; opaque images get alpha 255).

#include <cstddef>
#include <memory>

#include "raster/RAS_Bitmap.h"

// Largest width and height a decoded image may have; larger headers are
// refused before any pixel memory is allocated.
inline constexpr int kRasMaxPngDimension = 16384;

// Decodes a PNG held in memory. Null on any failure: short or wrong
// signature, oversized dimensions, corrupt or truncated data, allocation
// failure. Nothing stays allocated on failure.
std::unique_ptr<RAS_MemBitmap> DecodePngFromMemory(const void* bytes, std::size_t size);

// The width and height a PNG's header gives, without decoding it; false when
// the bytes do not start with a PNG signature and header or the sizes are out
// of range (the decode may still fail later).
bool PngSizeFromMemory(const void* bytes, std::size_t size, int& width, int& height);
// The same for the module's "PNG" resource id, with name as below.
bool PngSizeFromResource(int id, const char* name, int& width, int& height);

// Decodes the module's "PNG" resource id. name is used only for its extension,
// which must be "png" in any case, else null without touching the resources.
std::unique_ptr<RAS_MemBitmap> LoadBitmapFromResource(int id, const char* name);
