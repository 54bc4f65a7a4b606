// The display scale as a value: which scales it accepts, whose scale the
// policy chooses, the zoomed drawing scale, the mapping between logical and
// device pixels, and the sizes a resizable editor of the 838 x 245 layout
// can take.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "gui/DisplayScale.h"

namespace {

constexpr int kW = 838;
constexpr int kH = 245;

using Policy = DisplayScale::Policy;

}  // namespace

TEST(DisplayScale, AcceptsOneToThreeAndRefusesEverythingElseUnchanged) {
  DisplayScale d;
  const double refused[] = {0.0, -1.0, 0.99, 3.01, 1e300, std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity()};
  for (double s : refused) {
    EXPECT_FALSE(d.SetHost(s)) << s;
    EXPECT_FALSE(d.HostSet()) << s;
    EXPECT_EQ(d.Drawing(), 1.0);
  }
  EXPECT_TRUE(d.SetHost(1.5));
  EXPECT_EQ(d.Drawing(), 1.5);
  EXPECT_EQ(DisplayScale::ToDevice(200, d.Drawing()), 300);
  EXPECT_EQ(DisplayScale::ToDevice(100, d.Drawing()), 150);
  EXPECT_FALSE(d.SetHost(0.0));
  EXPECT_EQ(d.Drawing(), 1.5);
  EXPECT_TRUE(d.SetHost(3.0));
  EXPECT_EQ(DisplayScale::ToDevice(100, d.Drawing()), 300);
}

TEST(DisplayScale, EachPolicyChoosesOneScaleAndNeverMultipliesThem) {
  DisplayScale d;
  ASSERT_EQ(d.GetPolicy(), Policy::kLargerOfHostAndDesktop);
  // The larger of the two: a desktop at 2 wins over a host that sends 1.
  d.SetDesktop(2.0);
  EXPECT_EQ(d.Display(), 2.0);
  ASSERT_TRUE(d.SetHost(1.0));
  EXPECT_TRUE(d.HostSet());
  EXPECT_EQ(d.Display(), 2.0);
  ASSERT_TRUE(d.SetHost(1.5));
  EXPECT_EQ(d.Display(), 2.0);
  ASSERT_TRUE(d.SetHost(2.5));
  EXPECT_EQ(d.Display(), 2.5);

  // The host's once set, 1 included.
  d.SetPolicy(Policy::kHostOnceSet);
  EXPECT_EQ(d.Display(), 2.5);
  ASSERT_TRUE(d.SetHost(1.0));
  EXPECT_EQ(d.Display(), 1.0);
  d.SetDesktop(3.0);  // a desktop change under a host's scale
  EXPECT_EQ(d.Display(), 1.0);

  // Before the host says anything the desktop's scale counts, and a refused
  // host value does not count as said.
  DisplayScale fresh;
  fresh.SetPolicy(Policy::kHostOnceSet);
  EXPECT_FALSE(fresh.SetHost(0.0));
  EXPECT_FALSE(fresh.HostSet());
  fresh.SetDesktop(1.5);
  EXPECT_EQ(fresh.Display(), 1.5);
  EXPECT_EQ(DisplayScale::ToDevice(200, fresh.Drawing()), 300);
  fresh.SetDesktop(7.0);  // unreadable: counts as 1
  EXPECT_EQ(fresh.Display(), 1.0);
}

TEST(DisplayScale, TheZoomedScaleIsTidiedHeldWithinTheLimitsAndGivesItsZoomBack) {
  struct Row {
    double display;
    double zoom;
    double drawing;
    const char* why;
  };
  const Row rows[] = {
      {1.5, 1.25 / 1.5, 1.25, "a zoom made from a scale gives exactly that scale back"},
      {1.5, 1.0, 1.5, "no zoom: exactly the display scale"},
      {3.0, 2.0, 3.0, "above the largest drawing scale: the largest"},
      {1.0, 0.25, 0.75, "below the smallest drawing scale: the smallest"},
      {1.0, 0.75, 0.75, "below 1, down to the smallest"},
  };
  for (const Row& r : rows) {
    DisplayScale d;
    ASSERT_TRUE(d.SetHost(r.display));
    d.SetZoom(r.zoom);
    EXPECT_EQ(d.Drawing(), r.drawing) << r.why;
    EXPECT_EQ(d.Zoom(), r.zoom) << r.why;  // the value keeps the zoom it was given
  }
  DisplayScale two;
  ASSERT_TRUE(two.SetHost(2.0));
  two.SetZoom(1.25 / 1.5);
  EXPECT_NEAR(two.Drawing(), 2.0 * 1.25 / 1.5, 1e-6);
  EXPECT_EQ(DisplayScale::ToDevice(kW, two.Drawing()), 1397);

  // The zoom that draws at a scale: over the display's, exactly 1 at its own.
  DisplayScale d;
  ASSERT_TRUE(d.SetHost(1.5));
  EXPECT_DOUBLE_EQ(d.ZoomFor(1.25), 1.25 / 1.5);
  EXPECT_EQ(d.ZoomFor(1.5), 1.0);
}

TEST(DisplayScale, DevicePositionsMapToTheLogicalPixelTheyLieIn) {
  const double s = 1.5;
  // Halves round up, as the host's size does (245 * 1.5 = 367.5).
  EXPECT_EQ(DisplayScale::ToDevice(kW, s), 1257);
  EXPECT_EQ(DisplayScale::ToDevice(kH, s), 368);
  EXPECT_EQ(DisplayScale::ToLogical(0, s), 0);
  EXPECT_EQ(DisplayScale::ToLogical(1, s), 0);
  EXPECT_EQ(DisplayScale::ToLogical(2, s), 1);
  EXPECT_EQ(DisplayScale::ToLogical(3, s), 2);
  EXPECT_EQ(DisplayScale::ToLogical(-1, s), -1);
  for (int x = 0; x < kW; ++x) EXPECT_EQ(DisplayScale::ToLogical(DisplayScale::ToDevice(x, s), s), x);
  // A device rectangle covers every logical pixel it touches.
  EXPECT_EQ(DisplayScale::ToLogical(PixelRect{1, 1, 4, 5}, s), (PixelRect{0, 0, 3, 4}));
}

TEST(DisplayScale, ConstrainedSizesKeepTheAspectFitInsideAndStayWithinTheLimits) {
  auto constrained = [](int w, int h) {
    DisplayScale::ConstrainSize(kW, kH, w, h);
    return std::pair{w, h};
  };
  auto scaleFor = [](int w) { return DisplayScale::ScaleForWidth(kW, w); };
  // The limits: 0.75 and 3 times the logical size, rounded as ToDevice rounds
  // (extreme rectangles: through the view, in the adapter's tests).
  EXPECT_EQ(constrained(-5000, -3), (std::pair{629, 184}));
  EXPECT_EQ(constrained(std::numeric_limits<int>::max(), std::numeric_limits<int>::max()), (std::pair{2514, 735}));
  // The sizes a content scale gives are taken as they are, at that scale.
  EXPECT_EQ(constrained(1257, 368), (std::pair{1257, 368}));
  EXPECT_EQ(scaleFor(1257), 1.5);
  EXPECT_EQ(scaleFor(1048), 1.25);
  EXPECT_EQ(scaleFor(1676), 2.0);
  // Whichever side is short decides: the result fits inside the offer.
  EXPECT_EQ(constrained(1000, 1000), (std::pair{1000, 292}));
  EXPECT_EQ(constrained(5000, 300), (std::pair{1027, 300}));
  for (int w = 500; w <= 2600; w += 7) {
    for (int h : {150, 200, 300, 450, 700, 800}) {
      const auto [cw, ch] = constrained(w, h);
      ASSERT_GE(cw, 629);
      ASSERT_LE(cw, 2514);
      if (cw > 629) {
        ASSERT_TRUE(cw <= w && ch <= h) << w << "x" << h;
      }
      // The editor's aspect, and exactly the size the scale draws.
      const double scale = scaleFor(cw);
      ASSERT_EQ(static_cast<int>(std::floor(838 * scale + 0.5)), cw);
      ASSERT_EQ(static_cast<int>(std::floor(245 * scale + 0.5)), ch) << cw;
      // One more pixel of width would not fit (the largest that does).
      if (cw > 629 && cw < std::min(w, 2514)) {
        auto [nw, nh] = constrained(cw + 1, 100000);
        ASSERT_GT(nh, h) << w << "x" << h;
      }
    }
  }
  // An empty layout is left as offered.
  int w = 300, h = 200;
  DisplayScale::ConstrainSize(0, kH, w, h);
  EXPECT_EQ((std::pair{w, h}), (std::pair{300, 200}));
}

TEST(DisplayScale, APictureSitsCentredInAWindowOffItsAspectAndTheMarginsCoverTheRest) {
  struct Row {
    int pictureW, pictureH, windowW, windowH;
    PixelRect picture;
    std::vector<PixelRect> margins;
    const char* why;
  };
  const Row rows[] = {
      {1100, 322, 1100, 466, {0, 72, 1100, 394}, {{0, 0, 1100, 72}, {0, 394, 1100, 466}}, "taller: bands above and below"},
      {1100, 322, 1100, 467, {0, 72, 1100, 394}, {{0, 0, 1100, 72}, {0, 394, 1100, 467}}, "an odd row goes below"},
      {1676, 490, 1918, 490, {121, 0, 1797, 490}, {{0, 0, 121, 490}, {1797, 0, 1918, 490}}, "wider: bands beside"},
      {2514, 735, 3000, 1000, {243, 132, 2757, 867},
       {{0, 0, 3000, 132}, {0, 867, 3000, 1000}, {0, 132, 243, 867}, {2757, 132, 3000, 867}},
       "beyond the largest picture: four bands, none overlapping"},
      {838, 245, 838, 245, {0, 0, 838, 245}, {}, "the picture's own size: no margin"},
      {629, 184, 400, 100, {0, 0, 629, 184}, {}, "smaller than the smallest picture: cut at the right and bottom"},
      {629, 184, 400, 300, {0, 58, 629, 242}, {{0, 0, 400, 58}, {0, 242, 400, 300}}, "cut across, centred down"},
  };
  for (const Row& r : rows) {
    const auto places = DisplayScale::PlaceInWindow(r.pictureW, r.pictureH, r.windowW, r.windowH);
    EXPECT_EQ(places.picture, r.picture) << r.why;
    ASSERT_EQ(places.nMargins, static_cast<int>(r.margins.size())) << r.why;
    long long covered = static_cast<long long>(std::min(r.pictureW, r.windowW)) * std::min(r.pictureH, r.windowH);
    for (int i = 0; i < places.nMargins; ++i) {
      EXPECT_EQ(places.margins[i], r.margins[static_cast<std::size_t>(i)]) << r.why << ", margin " << i;
      covered += static_cast<long long>(places.margins[i].W()) * places.margins[i].H();
    }
    EXPECT_EQ(covered, static_cast<long long>(r.windowW) * r.windowH) << r.why << ": every window pixel drawn once";
  }
}

TEST(DisplayScale, AKeptSizeLargerThanTheDisplayDrawsAtTheLargestThatFitsAndKeepsItsZoom) {
  struct Row {
    int areaW, areaH;
    double scale;  // the largest drawing scale that fits
    const char* why;
  };
  const Row rows[] = {
      {1920, 1080, 2.291, "a 1920-pixel screen: 1920 x 561"},
      {1920, 400, 1.634, "a short area: the height decides (1369 x 400)"},
      {5000, 3000, 3.0, "room beyond the largest: the largest"},
      {300, 100, 0.75, "smaller than the smallest: the smallest"},
      {0, 0, 3.0, "unknown: no limit"},
      {1920, -1, 3.0, "a side unknown: no limit"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(DisplayScale::LargestFittingScale(kW, kH, r.areaW, r.areaH), r.scale) << r.why;
    if (r.areaW > 0 && r.areaH > 0 && r.scale > DisplayScale::kMinDrawScale) {
      EXPECT_LE(DisplayScale::ToDevice(kW, r.scale), r.areaW) << r.why;
      EXPECT_LE(DisplayScale::ToDevice(kH, r.scale), r.areaH) << r.why;
    }
  }
  // Kept at 1.5 on a display at 2 (3 times the size): the open draws at
  // what fits, and the zoom stays what the state keeps.
  DisplayScale d;
  ASSERT_TRUE(d.SetHost(2.0));
  d.SetZoom(1.5);
  d.SetDisplayArea(1920, 1080, kW, kH);
  EXPECT_EQ(d.Drawing(), 2.291);
  EXPECT_EQ(d.Zoom(), 1.5);
  EXPECT_EQ(DisplayScale::ToDevice(kW, d.Drawing()), 1920);
  // A size that fits is not touched.
  d.SetZoom(0.5);
  EXPECT_EQ(d.Drawing(), 1.0);
}
