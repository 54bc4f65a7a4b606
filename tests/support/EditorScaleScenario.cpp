#include "tests/support/EditorScaleScenario.h"

#include <limits>
#include <optional>
#include <vector>

#include "gui/DisplayScale.h"
#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "tests/support/EditorPlaces.h"
#include "tests/support/PictureCompare.h"
#include "tests/support/ViewSize.h"

namespace testsupport {

namespace {

using mirel::host::EditorImage;
using mirel::host::HandlerCall;
using Kind = HandlerCall::Kind;
using Steinberg::ViewRect;

constexpr int kPaintWaitMs = 3000;
constexpr int kPollMs = 50;

Steinberg::IPlugViewContentScaleSupport* ScalerOf(EditorHostDriver& host) {
  Steinberg::IPlugViewContentScaleSupport* scaler = nullptr;
  if (host.View()->queryInterface(Steinberg::IPlugViewContentScaleSupport::iid, reinterpret_cast<void**>(&scaler)) !=
      Steinberg::kResultOk) {
    return nullptr;
  }
  scaler->release();  // the view holds it
  return scaler;
}

std::string Place(int x, int y) { return std::to_string(x) + " " + std::to_string(y); }

// The edits since the last look (a host's restart requests aside), oldest
// first, each of which must be of parameter `id`.
std::vector<HandlerCall> CallsFor(EditorHostDriver& host, int id) {
  std::vector<HandlerCall> out;
  for (const HandlerCall& c : host.TakeCalls()) {
    if (c.kind == Kind::kRestart) continue;
    EXPECT_EQ(c.id, static_cast<Steinberg::Vst::ParamID>(id)) << "an edit of another parameter";
    out.push_back(c);
  }
  return out;
}

// A click on the Bypass switch at `scale` (the picture's top-left at
// (left, top) in the window): one balanced edit that sets it.
void ExpectBypassClickAt(EditorHostDriver& host, double scale, int left = 0, int top = 0) {
  const EditorPlace bypass = EditorPlaceOf(kBypass);
  host.TakeCalls();
  ASSERT_TRUE(host.Do("click " + Place(left + static_cast<int>(bypass.CentreX() * scale),
                                       top + static_cast<int>(bypass.CentreY() * scale))));
  EXPECT_EQ(CallsFor(host, kBypass), (std::vector<HandlerCall>{{Kind::kBegin, kBypass, 0, 0},
                                                       {Kind::kPerform, kBypass, 1.0, 0},
                                                       {Kind::kEnd, kBypass, 0, 0}}))
      << "a click at scale " << scale;
}

}  // namespace

::testing::AssertionResult ShowsSnapshot(EditorWindowHost& host, const std::string& scale, const std::string& name,
                                         bool exceptLabel, int windowW, int windowH) {
  EditorImage snapshot, shown;
  if (!host.Snapshot(scale, snapshot)) return ::testing::AssertionFailure() << "no snapshot at " << scale;
  // In a window of another size: the snapshot where the window places it,
  // the margin's colour around it.
  const auto places = DisplayScale::PlaceInWindow(snapshot.width, snapshot.height, windowW > 0 ? windowW : snapshot.width,
                                                  windowH > 0 ? windowH : snapshot.height);
  EditorImage expected;
  expected.width = windowW > 0 ? windowW : snapshot.width;
  expected.height = windowH > 0 ? windowH : snapshot.height;
  expected.pixels.assign(static_cast<std::size_t>(expected.width) * expected.height, mirel::layout::kMarginColour);
  for (int y = 0; y < snapshot.height && y + places.picture.top < expected.height; ++y) {
    for (int x = 0; x < snapshot.width && x + places.picture.left < expected.width; ++x) {
      expected.pixels[static_cast<std::size_t>(y + places.picture.top) * expected.width + x + places.picture.left] =
          snapshot.At(x, y);
    }
  }
  PictureRules rules = PictureRules::Screen();
  const double s = std::stod(scale);
  const auto device = [s](int v) { return static_cast<int>(v * s + 0.5); };
  const auto& label = mirel::layout::kVersionLabel;
  const int dx = places.picture.left, dy = places.picture.top;
  const PictureArea labelArea{dx + device(label.left), dy + device(label.top), dx + device(label.right),
                              dy + device(label.bottom)};
  if (exceptLabel) rules.skip.push_back(labelArea);
  const std::string file = host.Name() + "-" + name;
  for (int waited = 0; waited < kPaintWaitMs; waited += kPollMs) {
    if (host.Capture(shown) && !FirstDifference(PictureView::Of(shown), PictureView::Of(expected), rules)) break;
    host.Pump(kPollMs);
  }
  ::testing::AssertionResult same = SamePicture(PictureView::Of(shown), PictureView::Of(expected), file, rules);
  if (!same || !exceptLabel) return same;
  int ink = 0;
  for (int y = labelArea.top; y < std::min(labelArea.bottom, shown.height); ++y) {
    for (int x = labelArea.left; x < std::min(labelArea.right, shown.width); ++x) {
      const std::uint32_t p = shown.At(x, y);
      ink += ((p >> 16) & 255) > 200 && ((p >> 8) & 255) > 200 && (p & 255) > 200;
    }
  }
  if (ink > 20) return same;
  return ::testing::AssertionFailure() << file << ": the white version label has " << ink << " white pixels";
}

void ContentScaleResizesThroughTheFrameAndShowsTheScaledSnapshot(EditorHostDriver& host) {
  Steinberg::IPlugViewContentScaleSupport* scaler = ScalerOf(host);
  ASSERT_NE(scaler, nullptr);
  // Before the window opens the size follows the scale already.
  ASSERT_EQ(scaler->setContentScaleFactor(1.5f), Steinberg::kResultOk);
  EXPECT_EQ(WidthHeight(*host.View()), (std::pair{1257, 368}));
  std::string error;
  ASSERT_TRUE(host.Open(error)) << error;
  EXPECT_EQ(WidthHeight(host.OpenedSize()), (std::pair{1257, 368}));
  EXPECT_TRUE(ShowsSnapshot(host, "1.5", "scale-1.5")) << "the window differs from mirel-snapshot --scale 1.5";

  ASSERT_EQ(scaler->setContentScaleFactor(2.0f), Steinberg::kResultOk);
  EXPECT_EQ(WidthHeight(*host.View()), (std::pair{1676, 490}));
  ASSERT_FALSE(host.ResizeRequests().empty());
  EXPECT_EQ(WidthHeight(host.ResizeRequests().back()), (std::pair{1676, 490}));
  int w = 0, h = 0;
  ASSERT_TRUE(host.HostWindowSize(w, h));
  EXPECT_EQ(std::pair(w, h), (std::pair{1676, 490}));
  EXPECT_TRUE(ShowsSnapshot(host, "2", "scale-2")) << "the window differs from mirel-snapshot --scale 2";

  // Refused values change nothing: no size, no request, no pixel.
  const std::size_t asked = host.ResizeRequests().size();
  for (float bad : {0.0f, -1.0f, -2.0f, 0.5f, 3.5f, 1e9f, 1e30f, std::numeric_limits<float>::quiet_NaN(),
                    std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()}) {
    EXPECT_EQ(scaler->setContentScaleFactor(bad), Steinberg::kResultFalse) << bad;
  }
  EXPECT_EQ(WidthHeight(*host.View()), (std::pair{1676, 490}));
  EXPECT_EQ(host.ResizeRequests().size(), asked);
  EXPECT_TRUE(ShowsSnapshot(host, "2", "scale-refused")) << "a refused scale changed the picture";

  // Back to 1: today's picture, bit for bit.
  ASSERT_EQ(scaler->setContentScaleFactor(1.0f), Steinberg::kResultOk);
  EXPECT_EQ(WidthHeight(*host.View()), (std::pair{mirel::layout::kEditorWidth, mirel::layout::kEditorHeight}));
  ASSERT_FALSE(host.ResizeRequests().empty());
  EXPECT_EQ(host.ResizeRequests().back().getWidth(), mirel::layout::kEditorWidth);
  EXPECT_TRUE(ShowsSnapshot(host, "1", "scale-1-again")) << "the window at 1 again differs from the snapshot";
  host.Close();
}

void OpensAtTheEditorsSizeAndShowsTheSnapshot(EditorHostDriver& host, bool exceptLabel) {
  Steinberg::IPlugView* view = host.View();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(host.Controller()->createView("Editor"), nullptr);
  EXPECT_EQ(host.Controller()->createView(nullptr), nullptr);
  for (const char* type : {"HWND", "X11EmbedWindowID", "NSView", "HIView", ""}) {
    const bool own = std::string(type) == host.PlatformType();
    EXPECT_EQ(view->isPlatformTypeSupported(type), own ? Steinberg::kResultOk : Steinberg::kResultFalse) << type;
  }
  EXPECT_EQ(Corners(SizeOf(*host.View())),
            (Corners({0, 0, mirel::layout::kEditorWidth, mirel::layout::kEditorHeight})));
  std::string error;
  ASSERT_TRUE(host.Open(error)) << error;
  int w = 0, h = 0;
  ASSERT_TRUE(host.PluginWindowSize(w, h));
  EXPECT_EQ(std::pair(w, h), (std::pair{mirel::layout::kEditorWidth, mirel::layout::kEditorHeight}));
  EXPECT_TRUE(ShowsSnapshot(host, "1", "snapshot", exceptLabel)) << "the window differs from the off-screen snapshot";
  host.Close();
}

void GesturesEditWithBalancedCallsAt(EditorHostDriver& host, float scale) {
  std::string error;
  ASSERT_TRUE(host.Open(error)) << error;
  if (scale != 1.0f) {
    Steinberg::IPlugViewContentScaleSupport* scaler = ScalerOf(host);
    ASSERT_NE(scaler, nullptr);
    ASSERT_EQ(scaler->setContentScaleFactor(scale), Steinberg::kResultOk);
  }
  host.Pump(100);
  ExpectBypassClickAt(host, scale);
  EXPECT_EQ(host.Controller()->getParamNormalized(kBypass), 1.0);

  // Ten logical pixels up (twenty device ones at 2) raise Input by
  // 10 / frame height / 4 whatever the scale.
  const EditorPlace input = EditorPlaceOf(kInput);
  const double s = scale;
  const std::string at = Place(static_cast<int>(input.CentreX() * s), static_cast<int>(input.CentreY() * s));
  const double built = host.Controller()->getParamNormalized(kInput);
  host.Pump(500);  // no double-click with the earlier press
  ASSERT_TRUE(host.Do("drag " + at + " 0 " + std::to_string(static_cast<int>(-10 * s))));
  const double dragged = built + 10.0 / input.h / 4.0;
  EXPECT_NEAR(host.Controller()->getParamNormalized(kInput), dragged, 1e-12);
  std::vector<HandlerCall> calls = CallsFor(host, kInput);
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.front(), (HandlerCall{Kind::kBegin, kInput, 0, 0}));
  EXPECT_EQ(calls.back(), (HandlerCall{Kind::kEnd, kInput, 0, 0}));
  for (std::size_t i = 1; i + 1 < calls.size(); ++i) {
    EXPECT_EQ(calls[i].kind, Kind::kPerform) << i;
  }
  EXPECT_NEAR(calls[calls.size() - 2].value, dragged, 1e-12);

  // A wheel notch is one edit of its own; a double-click restores the value
  // the editor was built with, in balanced edits; a right-click goes to the
  // host's menu, never to the knob.
  ASSERT_TRUE(host.Do("wheel " + at + " 1"));
  EXPECT_NEAR(host.Controller()->getParamNormalized(kInput), dragged + 0.01, 1e-12);
  EXPECT_EQ(CallsFor(host, kInput).size(), 3u);
  host.Pump(500);
  ASSERT_TRUE(host.Do("dclick " + at));
  EXPECT_EQ(host.Controller()->getParamNormalized(kInput), built);
  int open = 0;
  for (const auto& c : CallsFor(host, kInput)) {
    open += c.kind == Kind::kBegin ? 1 : c.kind == Kind::kEnd ? -1 : 0;
    EXPECT_GE(open, 0);
  }
  EXPECT_EQ(open, 0);
  host.Pump(500);
  ASSERT_TRUE(host.Do("rclick " + at));
  EXPECT_TRUE(CallsFor(host, kInput).empty());
  EXPECT_EQ(host.Controller()->getParamNormalized(kInput), built);
  host.Close();
}

void HostResizeShowsTheSnapshotAtThatScaleAndTheNextEditorOpensAtIt(EditorHostDriver& host) {
  std::string error;
  ASSERT_TRUE(host.Open(error)) << error;
  // 1000 pixels wide is a scale of 1.193; the height follows the editor's aspect.
  ViewRect taken;
  ASSERT_TRUE(host.ResizeByHandle(1000, 400, taken));
  EXPECT_EQ(WidthHeight(taken), (std::pair{1000, 292}));
  EXPECT_EQ(WidthHeight(*host.View()), (std::pair{1000, 292}));
  int w = 0, h = 0;
  ASSERT_TRUE(host.PluginWindowSize(w, h));
  EXPECT_EQ(std::pair(w, h), (std::pair{1000, 292}));
  EXPECT_TRUE(ShowsSnapshot(host, "1.193", "resize-1.193", true)) << "the window differs from mirel-snapshot --scale 1.193";

  ASSERT_TRUE(host.ResizeByHandle(1048, 306, taken));
  EXPECT_EQ(WidthHeight(taken), (std::pair{1048, 306}));
  EXPECT_EQ(WidthHeight(*host.View()), (std::pair{1048, 306}));
  EXPECT_TRUE(ShowsSnapshot(host, "1.25", "resize-1.25")) << "the window differs from mirel-snapshot --scale 1.25";

  // The instance opens its next editor at the size the host gave.
  host.Close();
  host.NewView();
  ASSERT_TRUE(host.Open(error)) << error;
  EXPECT_EQ(WidthHeight(host.OpenedSize()), (std::pair{1048, 306}));
  EXPECT_TRUE(ShowsSnapshot(host, "1.25", "reopened-1.25")) << "the reopened window differs from the snapshot at 1.25";
  ExpectBypassClickAt(host, 1.25);
  host.Close();
}

void OffAspectHostSizeIsPaintedWholeWithTheSnapshotCentred(EditorHostDriver& host) {
  std::string error;
  ASSERT_TRUE(host.Open(error)) << error;
  // 1100 x 466: a picture of 1100 x 322 (scale 1.313) and 144 rows of margin.
  ViewRect taken;
  ASSERT_TRUE(host.ResizeByHandle(1100, 466, taken, false));
  int w = 0, h = 0;
  ASSERT_TRUE(host.PluginWindowSize(w, h));
  EXPECT_EQ(std::pair(w, h), (std::pair{1100, 466}));
  EXPECT_EQ(WidthHeight(*host.View()), (std::pair{1100, 322}));
  EXPECT_TRUE(ShowsSnapshot(host, "1.313", "off-aspect", true, 1100, 466))
      << "the window is not the snapshot at 1.313 centred in margin";
  const auto places = DisplayScale::PlaceInWindow(1100, 322, 1100, 466);
  ExpectBypassClickAt(host, 1.313, places.picture.left, places.picture.top);
  // Back on the aspect: the window is the picture again.
  ASSERT_TRUE(host.ResizeByHandle(1100, 322, taken, false));
  ASSERT_TRUE(host.PluginWindowSize(w, h));
  EXPECT_EQ(std::pair(w, h), (std::pair{1100, 322}));
  host.Close();
}

void AKeptSizeBeyondTheScreenOpensAtTheLargestThatFits(EditorHostDriver& host) {
  Steinberg::IPlugViewContentScaleSupport* scaler = ScalerOf(host);
  ASSERT_NE(scaler, nullptr);
  std::string error;
  ASSERT_TRUE(host.Open(error)) << error;
  ViewRect taken;
  ASSERT_TRUE(host.ResizeByHandle(1257, 368, taken));  // a zoom of 1.5
  host.Close();
  host.NewView();
  scaler = ScalerOf(host);
  ASSERT_EQ(scaler->setContentScaleFactor(2.0f), Steinberg::kResultOk);
  ASSERT_TRUE(host.Open(error)) << error;
  // 1920 x 561 (scale 2.291) fits both test screens; 2514 x 735 would not.
  EXPECT_EQ(WidthHeight(*host.View()), (std::pair{1920, 561}));
  int w = 0, h = 0;
  ASSERT_TRUE(host.PluginWindowSize(w, h));
  EXPECT_EQ(std::pair(w, h), (std::pair{1920, 561}));
  host.Close();
  // The zoom is still the one kept: at a content scale of 1 it opens at 1.5.
  host.NewView();
  scaler = ScalerOf(host);
  ASSERT_EQ(scaler->setContentScaleFactor(1.0f), Steinberg::kResultOk);
  ASSERT_TRUE(host.Open(error)) << error;
  EXPECT_EQ(WidthHeight(host.OpenedSize()), (std::pair{1257, 368}));
  host.Close();
}

}  // namespace testsupport
