// The image store: images decoded once by id (the module's sized from their
// headers and decoded on first draw), frames made one at a time the first
// time they are drawn (at 2 and 1 decoded from the image's frame set alone),
// kept at 2 and 1, and given back when no panel holds their scale any more. Each test draws from a store of its own.

#include <gtest/gtest.h>

#include <array>
#include <atomic>

#include "tests/gui/GuiTestSupport.h"
#include "raster/RAS_FrameSet.h"
#include "raster/RAS_Resources.h"

using namespace guitest;

namespace {

constexpr int kFrames = 8;
constexpr int kFailingFrame = 6;

// Decodes counted per frame, shared by every set a test opens.
struct DecodeLog {
  std::atomic<int> bases{0};
  std::array<std::atomic<int>, kFrames> frames{};
  int FramesDecoded() const {
    int n = 0;
    for (const auto& f : frames) n += f.load();
    return n;
  }
};

// A set at twice the size of a 20 x 40 strip of kFrames frames: frame k is
// filled with blue 100 + k over a base of blue 99; frame kFailingFrame fails.
class CountingFrameSet : public RAS_FrameSet {
 public:
  explicit CountingFrameSet(DecodeLog& log) : RAS_FrameSet(kFrames, 40, 80, true), log_(log) {}
  std::unique_ptr<RAS_MemBitmap> DecodeBase() const override {
    ++log_.bases;
    return Filled(99);
  }
  std::unique_ptr<RAS_MemBitmap> DecodeFrame(int k, RAS_IBitmap* base) const override {
    if (k < 0 || k >= kFrames || !base) return nullptr;
    ++log_.frames[static_cast<std::size_t>(k)];
    if (k == kFailingFrame) return nullptr;
    return Filled(100 + static_cast<std::uint32_t>(k));
  }

 private:
  static std::unique_ptr<RAS_MemBitmap> Filled(std::uint32_t blue) {
    auto b = std::make_unique<RAS_MemBitmap>(40, 80);
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 40; ++x) b->getBits()[y * b->getRowSpan() + x] = 0xff000000u | blue;
    return b;
  }
  DecodeLog& log_;
};

// Image kKnobImage is a strip of kFrames frames with a frame set at twice
// the size whose decodes go to log; the other ids are TestPanel's.
constexpr int kKnobImage = 7001;

class FramesPanel : public TestPanel {
 public:
  FramesPanel(IEffectBase* plug, DecodeLog& log) : TestPanel(plug), log_(log) {}
  std::unique_ptr<RAS_IBitmap> LoadBitmapFromResource(int id, const char* name) override {
    if (id == kKnobImage) return MakeStrip(20, 40, kFrames);
    return TestPanel::LoadBitmapFromResource(id, name);
  }
  std::unique_ptr<RAS_FrameSet> OpenFrameSet(int id) override {
    if (id - kDoubleSizeIdOffset != kKnobImage) return nullptr;
    ++setsOpened;
    return std::make_unique<CountingFrameSet>(log_);
  }
  int setsOpened = 0;

 private:
  DecodeLog& log_;
};

// A plug-in whose editor, drawing from store, is a background and one knob
// on image id.
struct Editor {
  TestPlug plug;
  FramesPanel* panel;
  IKnobStripControl* knob;
  Editor(ImageStore& store, DecodeLog& log, double scale, int id = kKnobImage) : panel(new FramesPanel(&plug, log)) {
    panel->SetImageStore(store);
    panel->AttachBackground(new IBitmapControl(0, 0, -1, panel->LoadBitmap(1001, "bg.png", 1), ChannelBlend::kCopy));
    knob = new IKnobStripControl(40, 20, kKnob, panel->LoadBitmap(id, "k.png", kFrames));
    panel->AttachControl(knob);
    plug.AttachGraphics(std::unique_ptr<IEditorLink>(panel));
    EXPECT_TRUE(panel->SetScale(scale));
  }
  // Shows frame k (0-based) and paints everything.
  void Show(int k) {
    knob->SetValue(static_cast<double>(k) / (kFrames - 1));
    ASSERT_TRUE(panel->PaintAll());
  }
  // The blue of the knob's device pixel in the middle of its rectangle.
  std::uint32_t KnobBlue() const {
    const PixelRect d = panel->ToDevice(knob->Rect());
    return Pixel(*panel, (d.left + d.right) / 2, (d.top + d.bottom) / 2) & 0xff;
  }
};

// Each test's images and frames in a store of its own.
class ImageStoreTest : public ::testing::Test {
 protected:
  ImageStore store;
  DecodeLog log;
};

}  // namespace

TEST_F(ImageStoreTest, AFrameDrawnAtTwoDecodesOnlyItselfOnceForTheStore) {
  {
    Editor first(store, log, 2.0);
    first.Show(3);
    EXPECT_EQ(first.KnobBlue(), 103u);
    EXPECT_EQ(log.bases, 1);
    EXPECT_EQ(log.frames[3], 1);
    EXPECT_EQ(log.FramesDecoded(), 1);  // not the strip's other frames
    first.Show(5);
    first.Show(3);
    EXPECT_EQ(log.frames[5], 1);
    EXPECT_EQ(log.FramesDecoded(), 2);
    EXPECT_EQ(log.bases, 1);
    EXPECT_EQ(first.KnobBlue(), 103u);
  }
  // A later editor at 2 finds both frames made; a frame at 1.5 is resampled
  // from the frame at 2 and decodes nothing more.
  Editor later(store, log, 2.0);
  later.Show(5);
  EXPECT_EQ(later.KnobBlue(), 105u);
  EXPECT_EQ(later.panel->setsOpened, 0);
  ASSERT_TRUE(later.panel->SetScale(1.5));
  later.Show(3);
  EXPECT_EQ(later.KnobBlue(), 103u);
  EXPECT_EQ(log.FramesDecoded(), 2);
}

TEST_F(ImageStoreTest, AFrameThatFailsToDecodeDrawsNothingAndTheOthersStillDraw) {
  Editor editor(store, log, 2.0);
  editor.Show(kFailingFrame);
  EXPECT_EQ(editor.KnobBlue(), 0u);  // nothing drawn there (the background is smaller)
  editor.Show(kFailingFrame);        // tried again, still nothing
  EXPECT_EQ(log.frames[kFailingFrame], 2);
  EXPECT_EQ(editor.KnobBlue(), 0u);
  ASSERT_TRUE(editor.panel->SetScale(1.5));  // resampled from nothing: nothing
  editor.Show(kFailingFrame);
  EXPECT_EQ(editor.KnobBlue(), 0u);
  editor.Show(1);
  EXPECT_EQ(editor.KnobBlue(), 101u);
}

// A resized editor below 1: the next larger set is the one at 1, and
// nothing of the set at 2 is opened or decoded.
TEST_F(ImageStoreTest, BelowOneFramesComeFromTheSetAtOne) {
  Editor editor(store, log, 1.0);
  ASSERT_TRUE(editor.panel->SetZoom(0.75));
  ASSERT_EQ(editor.panel->Scale(), 0.75);
  editor.Show(3);
  EXPECT_EQ(editor.KnobBlue(), 4u);  // frame 3 of the strip at 1
  EXPECT_EQ(editor.panel->setsOpened, 0);
  EXPECT_EQ(log.FramesDecoded(), 0);
}

TEST_F(ImageStoreTest, AScaleNoPanelDrawsAtAnyMoreIsFreedAndTwoStays) {
  auto a = std::make_unique<Editor>(store, log, 1.5);
  auto b = std::make_unique<Editor>(store, log, 1.5);
  a->Show(2);
  b->Show(4);
  EXPECT_TRUE(store.HoldsScale(1.5));
  ASSERT_TRUE(a->panel->SetScale(1.75));
  a->Show(2);
  EXPECT_TRUE(store.HoldsScale(1.5));  // b still draws at it
  EXPECT_TRUE(store.HoldsScale(1.75));
  b.reset();
  EXPECT_FALSE(store.HoldsScale(1.5));
  // A resize drag through many scales keeps only the one drawn at (and 2).
  for (int step = 0; step <= 40; ++step) {
    ASSERT_TRUE(a->panel->SetScale(1.0 + step * 0.05));
    a->Show(step % kFrames == kFailingFrame ? 0 : step % kFrames);
  }
  for (int step = 1; step < 40; ++step) {
    if (step != 20) {
      EXPECT_FALSE(store.HoldsScale(1.0 + step * 0.05)) << step;
    }
  }
  EXPECT_TRUE(store.HoldsScale(3.0));
  EXPECT_TRUE(store.HoldsScale(2.0));
  ASSERT_TRUE(a->panel->SetScale(1.0));
  a->Show(1);
  EXPECT_FALSE(store.HoldsScale(3.0));
  EXPECT_EQ(a->KnobBlue(), 2u);  // the strip at 1 itself
  EXPECT_TRUE(store.HoldsScale(2.0));
}

namespace {

// The module's own images (the build embeds them), decodes at scale 1 counted.
class ModuleImagesPanel : public IPanelOffscreen {
 public:
  explicit ModuleImagesPanel(IEffectBase* plug) : IPanelOffscreen(plug, 838, 245, 25) {}
  std::unique_ptr<RAS_IBitmap> LoadBitmapFromResource(int id, const char* name) override {
    ++decodes;
    return IPanelOffscreen::LoadBitmapFromResource(id, name);
  }
  int decodes = 0;
};

}  // namespace

TEST(ImageStore, AnEditorAtTwoOrOneDecodesOnlyTheStoredFramesItShows) {
  TestPlug plug;
  auto* panel = new ModuleImagesPanel(&plug);
  // The Input knob's strip (61 frames of 76 x 70) over the background.
  const BitmapRef background = panel->LoadBitmap(105, "resources/img/BG.png", 1);
  const BitmapRef strip = panel->LoadBitmap(114, "resources/img/IN.png", 61);
  EXPECT_EQ(panel->decodes, 0);  // sizes only, from the images' headers
  EXPECT_EQ(strip.FrameWidth(), 76);
  EXPECT_EQ(strip.FrameHeight(), 70);
  panel->AttachBackground(new IBitmapControl(0, 0, -1, background, ChannelBlend::kCopy));
  auto* knob = new IKnobStripControl(147, 34, kKnob, strip);
  panel->AttachControl(knob);
  plug.AttachGraphics(std::unique_ptr<IEditorLink>(panel));
  ASSERT_TRUE(panel->SetScale(2.0));
  knob->SetValue(0.5);  // frame 30
  ASSERT_TRUE(panel->PaintAll());
  EXPECT_EQ(panel->decodes, 0);
  // The background's pixels where the knob's frame is transparent, and the
  // frame's own where it is opaque: compare the opaque pixels of frame 30 of
  // the module's set at scale (offset: its id offset).
  auto expectFrameShown = [&](int offset, int scale) {
    auto set = RAS_FrameSet::Open(RAS_FindPngResource(114 + offset));
    ASSERT_NE(set, nullptr);
    auto base = set->DecodeBase();
    auto frame = set->DecodeFrame(30, base.get());
    ASSERT_NE(frame, nullptr);
    int compared = 0;
    for (int y = 0; y < frame->getHeight(); ++y) {
      for (int x = 0; x < frame->getWidth(); ++x) {
        const std::uint32_t want = frame->getBits()[y * frame->getRowSpan() + x];
        if (want >> 24 != 255) continue;
        ASSERT_EQ(Pixel(*panel, scale * 147 + x, scale * 34 + y), want) << x << "," << y;
        ++compared;
      }
    }
    EXPECT_GT(compared, 250 * scale * scale);
  };
  expectFrameShown(IPanel::kDoubleSizeIdOffset, 2);
  // At 1 the knob's frame comes from its set at 1, and only the background
  // (one frame, no set) is decoded whole, once.
  ASSERT_TRUE(panel->SetScale(1.0));
  ASSERT_TRUE(panel->PaintAll());
  ASSERT_TRUE(panel->PaintAll());
  EXPECT_EQ(panel->decodes, 1);
  expectFrameShown(IPanel::kSingleSizeIdOffset, 1);
}

namespace {

// Strips of 20 x 40 frames by id (1000 + frames), decodes counted; no sets.
struct StripLoader : ImageLoader {
  std::unique_ptr<RAS_IBitmap> LoadBitmapFromResource(int id, const char*) override {
    ++decodes;
    return MakeStrip(20, 40, id - 1000);
  }
  std::unique_ptr<RAS_FrameSet> OpenFrameSet(int) override { return nullptr; }
  int decodes = 0;
};

BitmapRef RefOf(RAS_IBitmap* bitmap, int id, int frames) {
  BitmapRef ref;
  ref.bitmap = bitmap;
  ref.w = bitmap->getWidth();
  ref.h = bitmap->getHeight();
  ref.n = frames;
  ref.id = id;
  return ref;
}

}  // namespace

// Panels given stores of their own share nothing with each other or with
// the module's store: the same id is decoded once per store.
TEST_F(ImageStoreTest, APanelGivenItsOwnStoreDrawsFromItAlone) {
  const std::size_t moduleImages = ImageStore::Process().Images();
  ImageStore other;
  TestPlug plug;
  TestPanel a(&plug);
  TestPanel b(&plug);
  a.SetImageStore(store);
  b.SetImageStore(other);
  const BitmapRef first = a.LoadBitmap(1003, "k.png", 3);
  EXPECT_EQ(a.LoadBitmap(1003, "k.png", 3).bitmap, first.bitmap);
  const BitmapRef second = b.LoadBitmap(1003, "k.png", 3);
  EXPECT_NE(second.bitmap, first.bitmap);
  EXPECT_EQ(a.decodes + b.decodes, 2);
  EXPECT_EQ(store.Images(), 1u);
  EXPECT_EQ(other.Images(), 1u);
  EXPECT_EQ(ImageStore::Process().Images(), moduleImages);
}

// A frame is only made for a scale someone holds (else nothing would ever
// free it), and goes with the last hold; a moved hold is still one hold.
TEST_F(ImageStoreTest, FramesAreMadeOnlyForAHeldScaleAndGoWithTheLastHold) {
  StripLoader loader;
  RAS_IBitmap* image = store.Load(1004, "k.png", loader);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(store.Load(1004, "k.png", loader), image);
  EXPECT_EQ(loader.decodes, 1);
  const BitmapRef ref = RefOf(image, 1004, 4);
  EXPECT_EQ(store.Frame(ref, 1, 1.5, loader), nullptr);
  EXPECT_FALSE(store.HoldsScale(1.5));
  EXPECT_EQ(store.Frame(ref, 1, 1.0, loader), nullptr);  // scale 1 draws the image itself
  {
    ImageStore::ScaleHold hold = store.Hold(1.5);
    RAS_IBitmap* frame = store.Frame(ref, 1, 1.5, loader);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->getWidth(), 30);
    EXPECT_EQ(frame->getHeight(), 60);
    EXPECT_EQ(frame->getBits()[0] & 0xff, 2u);  // frame 1's own pixels
    EXPECT_EQ(store.Frame(ref, 1, 1.5, loader), frame);
    EXPECT_EQ(store.Frame(ref, 4, 1.5, loader), nullptr);  // past the last frame
    ImageStore::ScaleHold moved = std::move(hold);
    EXPECT_EQ(moved.Scale(), 1.5);
    EXPECT_GT(store.ScaledPixelBytes(), 0u);
  }
  EXPECT_FALSE(store.HoldsScale(1.5));
  EXPECT_EQ(store.ScaledPixelBytes(), 0u);
  EXPECT_EQ(store.Hold(1.0).Scale(), 0.0);  // nothing to hold at 1
}
