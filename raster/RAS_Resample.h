#pragma once
// Resizing one frame of a strip with an area filter: every target pixel is
// the average of the source area it covers (weighted by how much of each
// source pixel lies inside), with colours weighted by alpha so that
// transparent pixels lend no colour to their neighbours. Only the frame's own
// pixels are read, so no frame bleeds into the next.

#include <memory>

#include "raster/RAS_Bitmap.h"

// The frameW x frameH pixels of src at (srcX, srcY), resized to dstW x dstH.
// Null when a size is not positive or the frame is not inside src.
std::unique_ptr<RAS_MemBitmap> RAS_ResampleFrame(RAS_IBitmap& src, int srcX, int srcY, int frameW, int frameH,
                                                 int dstW, int dstH);
