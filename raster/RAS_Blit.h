#pragma once
// The one blit of the raster library: copies a rectangle of one bitmap into
// another with a weight and a blend mode.

#include "raster/RAS_Bitmap.h"

// Blend modes. Bits 0-7 select the operation; kRasBlitUseAlpha makes the
// operation use the source pixel's alpha. A low byte of 0xF0 or above is a
// channel copy (see kRasBlitChannelCopy).
enum : int {
  kRasBlitCopy = 0,
  kRasBlitAdd = 1,
  kRasBlitDodge = 2,
  kRasBlitMultiply = 3,
  kRasBlitOverlay = 4,
  kRasBlitHsvAdjust = 5,
  kRasBlitUseAlpha = 0x10000,
  kRasBlitCopyAlpha = kRasBlitUseAlpha | kRasBlitCopy,
  kRasBlitAddAlpha = kRasBlitUseAlpha | kRasBlitAdd,
  kRasBlitDodgeAlpha = kRasBlitUseAlpha | kRasBlitDodge,
  kRasBlitMultiplyAlpha = kRasBlitUseAlpha | kRasBlitMultiply,
  kRasBlitOverlayAlpha = kRasBlitUseAlpha | kRasBlitOverlay,
  kRasBlitHsvAdjustAlpha = kRasBlitUseAlpha | kRasBlitHsvAdjust,
};

// Channel copy: destination byte destByte (0 blue .. 3 alpha) of each pixel
// gets source byte srcByte; the weight is ignored.
constexpr int kRasBlitChannelCopy(int destByte, int srcByte) {
  return 0xF0 | ((destByte & 3) << 2) | (srcByte & 3);
}

// Blits srcRect of src (the whole source when null) to (dstX, dstY) of dest.
// The rectangle is clipped to both bitmaps: nothing outside either bitmap is
// ever read or written, whatever the arguments. Nothing happens when a bitmap
// is missing or weight is exactly 0. Weights beyond +-64 are limited to +-64
// (the integer arithmetic would overflow); a NaN weight draws nothing.
void RAS_Blit(RAS_IBitmap* dest, RAS_IBitmap* src, int dstX, int dstY,
              const RAS_Rect* srcRect, float weight, int mode);
