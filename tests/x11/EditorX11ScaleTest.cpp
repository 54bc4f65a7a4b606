// The built Linux bundle's editor at a host's content scale, on a private X
// server: the view's size, the picture against mirel-snapshot --scale, and
// clicks and drags that edit as they do at 1x for the same logical distance.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "EditorHostX11.h"
#include "EditorPlaces.h"
#include "EffectInstance.h"
#include "PrivateXServer.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

namespace {

using namespace Steinberg;
using mirel::host::EditorHostX11;
using mirel::host::EditorImage;
using mirel::host::HandlerCall;
using Kind = mirel::host::HandlerCall::Kind;

class EditorX11ScaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    xtest::KeepModuleLoaded(MIREL_MODULE_PATH);
    std::string error;
    ASSERT_TRUE(server_.Start(error)) << error;
    display_ = mirel::host::X11Display::Open(nullptr, error);
    ASSERT_TRUE(display_ && display_->HasXTest()) << error;
    fx_ = mirel::host::EffectInstance::Open(MIREL_MODULE_PATH, "x11-scale-test", error);
    ASSERT_TRUE(fx_) << error;
    view_ = owned(fx_->Controller()->createView(Vst::ViewType::kEditor));
    ASSERT_TRUE(view_);
    scaler_ = FUnknownPtr<IPlugViewContentScaleSupport>(view_);
    ASSERT_TRUE(scaler_);
  }

  static EditorImage Snapshot(const char* scale) {
    const std::string path = ::testing::TempDir() + "mirel-x11-scale.png";
    EditorImage image;
    const std::string command = std::string("'" MIREL_SNAPSHOT "' --scale ") + scale + " '" + path + "' >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::string error;
    EXPECT_TRUE(mirel::host::ReadPng(path, image, error)) << error;
    std::filesystem::remove(path);
    return image;
  }
  bool Shows(EditorHostX11& host, const EditorImage& expected) {
    EditorImage shown;
    return display_->PumpUntil(
        [&] {
          if (!host.Capture(shown) || shown.width != expected.width || shown.height != expected.height) return false;
          for (std::size_t i = 0; i < shown.pixels.size(); ++i) {
            if ((shown.pixels[i] & 0xffffffu) != (expected.pixels[i] & 0xffffffu)) return false;
          }
          return true;
        },
        3000);
  }
  std::vector<HandlerCall> Edits() {
    auto calls = fx_->Handler().Calls();
    fx_->Handler().Clear();
    return calls;
  }
  ViewRect Size() {
    ViewRect r;
    EXPECT_EQ(view_->getSize(&r), kResultOk);
    return r;
  }

  xtest::PrivateXServer server_;
  std::unique_ptr<mirel::host::X11Display> display_;
  std::unique_ptr<mirel::host::EffectInstance> fx_;
  IPtr<IPlugView> view_;
  FUnknownPtr<IPlugViewContentScaleSupport> scaler_;
};

TEST_F(EditorX11ScaleTest, ContentScaleResizesThroughTheFrameAndShowsTheScaledSnapshot) {
  // Before the window opens the size follows the scale already.
  ASSERT_EQ(scaler_->setContentScaleFactor(1.5f), kResultOk);
  EXPECT_EQ(Size().getWidth(), 1257);
  EXPECT_EQ(Size().getHeight(), 368);

  EditorHostX11 host(*display_);
  std::string error;
  ASSERT_TRUE(host.Open(view_, error)) << error;
  EXPECT_EQ(host.OpenedSize().getWidth(), 1257);
  EXPECT_TRUE(Shows(host, Snapshot("1.5"))) << "the window differs from mirel-snapshot --scale 1.5";

  ASSERT_EQ(scaler_->setContentScaleFactor(2.0f), kResultOk);
  EXPECT_EQ(Size().getWidth(), 1676);
  EXPECT_EQ(Size().getHeight(), 490);
  ASSERT_FALSE(host.ResizeRequests().empty());
  EXPECT_EQ(host.ResizeRequests().back().getWidth(), 1676);
  EXPECT_EQ(host.ResizeRequests().back().getHeight(), 490);
  EXPECT_TRUE(Shows(host, Snapshot("2"))) << "the window differs from mirel-snapshot --scale 2";

  // Refused values change nothing.
  for (float bad : {0.0f, -1.0f, 0.5f, 3.5f, 1e30f, std::numeric_limits<float>::quiet_NaN(),
                    std::numeric_limits<float>::infinity()}) {
    EXPECT_EQ(scaler_->setContentScaleFactor(bad), kResultFalse) << bad;
  }
  EXPECT_EQ(Size().getWidth(), 1676);

  // Back to 1: today's picture, bit for bit.
  ASSERT_EQ(scaler_->setContentScaleFactor(1.0f), kResultOk);
  EXPECT_EQ(Size().getWidth(), mirel::layout::kEditorWidth);
  EXPECT_TRUE(Shows(host, Snapshot("1"))) << "the window at 1 again differs from the snapshot";
  host.Close();
}

TEST_F(EditorX11ScaleTest, ClickAndDragAtTwiceTheSizeEditAsAtOneForTheSameLogicalDistance) {
  EditorHostX11 host(*display_);
  std::string error;
  ASSERT_TRUE(host.Open(view_, error)) << error;
  ASSERT_EQ(scaler_->setContentScaleFactor(2.0f), kResultOk);
  display_->Pump(100);

  const testsupport::EditorPlace bypass = testsupport::EditorPlaceOf(kBypass);
  Edits();
  ASSERT_TRUE(host.MouseDown(2 * bypass.CentreX(), 2 * bypass.CentreY()) &&
              host.MouseUp(2 * bypass.CentreX(), 2 * bypass.CentreY()));
  EXPECT_EQ(Edits(), (std::vector<HandlerCall>{{Kind::kBegin, kBypass, 0, 0},
                                               {Kind::kPerform, kBypass, 1.0, 0},
                                               {Kind::kEnd, kBypass, 0, 0}}));

  // Twenty device pixels up are ten logical ones: Input rises by
  // 10 / frame height / 4, as ten pixels do at 1x.
  const testsupport::EditorPlace input = testsupport::EditorPlaceOf(kInput);
  const int x = 2 * input.CentreX(), y = 2 * input.CentreY();
  const double before = fx_->Controller()->getParamNormalized(kInput);
  display_->Pump(500);  // no double-click with the earlier press
  ASSERT_TRUE(host.MouseDown(x, y));
  for (int dy = 3; dy <= 20; dy += 3) ASSERT_TRUE(host.MouseMove(x, y - dy));
  ASSERT_TRUE(host.MouseMove(x, y - 20));
  ASSERT_TRUE(host.MouseUp(x, y - 20));
  const auto edits = Edits();
  ASSERT_GE(edits.size(), 3u);
  EXPECT_EQ(edits.front(), (HandlerCall{Kind::kBegin, kInput, 0, 0}));
  EXPECT_EQ(edits.back(), (HandlerCall{Kind::kEnd, kInput, 0, 0}));
  EXPECT_NEAR(fx_->Controller()->getParamNormalized(kInput), before + 10.0 / input.h / 4, 1e-12);
  host.Close();
}

}  // namespace
