#pragma once
// The scale an editor draws at, as plain arithmetic: the host's scale (once
// it set one), the desktop's, whose of the two counts (the policy), and the
// user's zoom on it give the drawing scale; the size constraint of a
// resizable editor and the mapping between logical and device pixels follow
// from it. A value: no panel, no window, any thread.

#include <algorithm>
#include <optional>

#include "gui/GuiTypes.h"

class DisplayScale {
 public:
  // Display scales (the host's or the desktop's) an editor draws at.
  static constexpr double kMinScale = 1.0;
  static constexpr double kMaxScale = 3.0;
  static bool Accepted(double scale) { return scale >= kMinScale && scale <= kMaxScale; }
  // The drawing scale (display scale times zoom) stays within these.
  static constexpr double kMinDrawScale = 0.75;
  static constexpr double kMaxDrawScale = 3.0;

  // Whose scale is the display scale, as the platform's window chooses.
  enum class Policy {
    // The larger of the host's and the desktop's: hosts there commonly send
    // 1 whatever the desktop says, and nothing else scales the window.
    kLargerOfHostAndDesktop,
    // The host's once it set one (1 included), else the desktop's: a host
    // that sets a scale already counted the desktop's in it.
    kHostOnceSet,
  };

  // The host's scale; false, with nothing changed, outside 1 to 3.
  bool SetHost(double scale);
  // The desktop's scale; values outside 1 to 3 count as 1.
  void SetDesktop(double scale);
  void SetPolicy(Policy policy) { policy_ = policy; }
  // The user's zoom on the display scale (the plug-in keeps it; this is the
  // zoom the value is computed with).
  void SetZoom(double zoom) { zoom_ = zoom; }

  Policy GetPolicy() const { return policy_; }
  bool HostSet() const { return host_.has_value(); }
  double Zoom() const { return zoom_; }
  // The scale under the policy, never the host's and the desktop's multiplied.
  double Display() const;
  // The display scale times the zoom within the draw limits, tidied to six
  // decimals so that a zoom made from a scale gives that scale back; exactly
  // the display scale while the zoom is 1.
  double Drawing() const;
  // The zoom that draws at scale on this display: 1 when that is the
  // display's own scale (nothing for a state to keep), else held within the
  // zooms an editor accepts.
  double ZoomFor(double scale) const;

  // ---- Lengths at a drawing scale --------------------------------------------------
  // Logical to device: rounded to the nearest pixel.
  static int ToDevice(int logical, double scale);
  static PixelRect ToDevice(const PixelRect& r, double scale);
  // Device to logical: the logical pixel the device pixel lies in.
  static int ToLogical(int device, double scale);
  // The logical pixels a device rectangle touches.
  static PixelRect ToLogical(const PixelRect& r, double scale);

  // ---- A resizable editor of logicalW x logicalH -----------------------------------
  // The scale a device width is drawn at: the one with the fewest decimals
  // (up to six) whose device width is that width, so that 1257 pixels are
  // drawn at exactly 1.5 and 1048 at 1.25; within the draw limits.
  static double ScaleForWidth(int logicalW, int deviceWidth);
  // The size nearest to width x height (device pixels) that the editor can
  // take: its own aspect, the largest that fits inside the rectangle, within
  // the draw limits of its logical size (a rectangle smaller than the
  // smallest gives the smallest). Sizes are what ToDevice gives at
  // ScaleForWidth's scale. Nothing changes for an empty logical size.
  static void ConstrainSize(int logicalW, int logicalH, int& width, int& height);
  // The largest drawing scale at which the editor fits inside areaW x areaH
  // device pixels (ConstrainSize's size), never below the smallest drawing
  // scale; the largest drawing scale when the area is unknown (0 or less).
  static double LargestFittingScale(int logicalW, int logicalH, int areaW, int areaH);

  // ---- The picture in a window of another size --------------------------------------
  // A host may give the window a size off the editor's aspect. The picture
  // (pictureW x pictureH device pixels) sits centred in the window; along a
  // side where the window is smaller it starts at 0 and is cut. The margins
  // are what the picture leaves: a band above and one below across the whole
  // window, one left and one right beside the picture, only those not empty.
  struct WindowPlaces {
    PixelRect picture;
    PixelRect margins[4];
    int nMargins = 0;
  };
  // (Inline: the window tests place the expected picture with it.)
  static WindowPlaces PlaceInWindow(int pictureW, int pictureH, int windowW, int windowH) {
    WindowPlaces places;
    const int left = std::max(windowW - pictureW, 0) / 2;
    const int top = std::max(windowH - pictureH, 0) / 2;
    places.picture = {left, top, left + pictureW, top + pictureH};
    const PixelRect& p = places.picture;
    const int besideBottom = std::min(p.bottom, windowH);
    const PixelRect bands[4] = {{0, 0, windowW, top},
                                {0, p.bottom, windowW, windowH},
                                {0, top, left, besideBottom},
                                {p.right, top, windowW, besideBottom}};
    for (const PixelRect& band : bands) {
      if (band.W() > 0 && band.H() > 0) places.margins[places.nMargins++] = band;
    }
    return places;
  }

  // The usable part of the display (device pixels) an editor opens on: the
  // drawing scale is held to the largest at which the editor fits there, the
  // zoom kept as it is. 0 or less: unknown, no limit.
  void SetDisplayArea(int width, int height, int logicalW, int logicalH);

 private:
  std::optional<double> host_;
  double desktop_ = 1.0;
  Policy policy_ = Policy::kLargerOfHostAndDesktop;
  double zoom_ = 1.0;
  // The largest drawing scale the display area allows.
  double fitting_ = kMaxDrawScale;
};
