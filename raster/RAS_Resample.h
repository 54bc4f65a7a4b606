#pragma once
// Resizing a strip of frames with an area filter: every target pixel is the
// average of the source area it covers (weighted by how much of each source
// pixel lies inside), with colours weighted by alpha so that transparent
// pixels lend no colour to their neighbours. Each frame is resized on its
// own, so no frame bleeds into the next.

#include <memory>

#include "raster/RAS_Bitmap.h"

// Frames are frameW x frameH pixels of src, stacked top to bottom (or side
// by side); the result holds the same frames at dstFrameW x dstFrameH,
// stacked the same way. Null when a size is not positive or src is too small.
std::unique_ptr<RAS_MemBitmap> RAS_ResampleFrames(RAS_IBitmap& src, int frames, bool sideBySide, int frameW,
                                                  int frameH, int dstFrameW, int dstFrameH);

// One frame: the frameW x frameH pixels of src at (srcX, srcY), resized to
// dstW x dstH with the same arithmetic (the same pixels as that frame of a
// whole strip). Null when a size is not positive or the frame is not inside src.
std::unique_ptr<RAS_MemBitmap> RAS_ResampleFrame(RAS_IBitmap& src, int srcX, int srcY, int frameW, int frameH,
                                                 int dstW, int dstH);
