#pragma once
// A plug-in of the tests' own with a Win32 editor (a 300 x 200 background, a
// knob for parameter 0 at 20,20 and a second one with the value prompt
// enabled at 160,20, both 40 x 40), its edit notifications recorded, and the
// Windows editor host showing it through the adapter's view.

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <vector>

#include "host/win32/EditorHostWin.h"
#include "vst3/IEffectVST3.h"
#include "gui/win32/IPanelWin.h"
#include "raster/RAS_Bitmap.h"
#include "tests/support/VstOwner.h"

namespace wintest {

struct Edit {
  char kind;  // b(egin), p(erform), e(nd)
  int index;
  double value;
  bool operator==(const Edit&) const = default;
};

inline void PrintTo(const Edit& e, std::ostream* os) { *os << e.kind << ' ' << e.index << ' ' << e.value; }

class CountingPanel : public IPanelWin {
 public:
  using IPanelWin::IPanelWin;
  std::unique_ptr<RAS_IBitmap> LoadBitmapFromResource(int id, const char* name) override {
    ++decodes;
    return IPanelWin::LoadBitmapFromResource(id, name);
  }
  int decodes = 0;
};

// A strip of `frames` opaque frames, each its own colour.
inline std::unique_ptr<RAS_MemBitmap> Strip(int w, int h, int frames, std::uint32_t seed) {
  auto b = std::make_unique<RAS_MemBitmap>(w, h * frames);
  for (int y = 0; y < h * frames; ++y) {
    for (int x = 0; x < w; ++x) {
      b->getBits()[y * b->getRowSpan() + x] =
          0xFF000000u | (seed * static_cast<std::uint32_t>(y / h + 1) + static_cast<std::uint32_t>(x));
    }
  }
  return b;
}

class TestEffect : public IEffectVST3 {
 public:
  explicit TestEffect(bool withEditor = true, int frameRate = 25)
      : IEffectVST3(3, "2-2", 1, "Test", "Test", "Test", 1, 1, 1) {
    GetParam(0)->DefineContinuous("Gain", 0.0, -20.0, 20.0, 0.1, "dB");
    GetParam(1)->DefineStepped("Steps", 2.0, 0.0, 10.0, 1.0);
    GetParam(2)->DefineStepped("Switch", 0.0, 0.0, 1.0, 1.0);
    GetParam(2)->SetKind(ParamKind::Boolean);
    if (!withEditor) return;
    auto p = std::make_unique<CountingPanel>(this, 300, 200, frameRate);
    panel = p.get();
    p->AttachBackground(new IBitmapControl(0, 0, -1, BitmapRef{bg.get(), 300, 200, 1}, ChannelBlend::kCopy));
    p->AttachControl(new IKnobStripControl(20, 20, 0, BitmapRef{knob.get(), 40, 120, 3}));
    promptKnob = p->GetControl(
        p->AttachControl(new IKnobStripControl(160, 20, 0, BitmapRef{knob.get(), 40, 120, 3})));
    promptKnob->SetPromptDisabled(false);
    AttachGraphics(std::move(p));
  }
  void BeginEditNotify(int i) override { edits.push_back({'b', i, 0}); }
  void PerformEditNotify(int i, double v) override { edits.push_back({'p', i, v}); }
  void EndEditNotify(int i) override { edits.push_back({'e', i, 0}); }
  void EditorOpened() override { ++opened; }
  void EditorClosing() override { ++closing; }
  void EditorResized() override { ++resized; }

  std::unique_ptr<RAS_MemBitmap> bg = Strip(300, 200, 1, 0x010203), knob = Strip(40, 40, 3, 0x102030);
  CountingPanel* panel = nullptr;
  IControl* promptKnob = nullptr;
  std::vector<Edit> edits;
  int opened = 0, closing = 0, resized = 0;
};

// The plug-in, its view and the host window showing it; the window closes
// first, then the view goes, then the plug-in.
struct Editor {
  testsupport::VstOwner<TestEffect> fx;
  Steinberg::IPtr<Steinberg::IPlugView> view;
  mirel::host::EditorHostWin host;

  explicit Editor(int frameRate = 25) : fx(testsupport::MakeVstOwner<TestEffect>(true, frameRate)) {
    view = Steinberg::owned(fx->createView("editor"));
  }
  ~Editor() { host.Close(); }
  void Open() {
    std::string error;
    ASSERT_TRUE(host.Open(view.get(), error)) << error;
    host.Pump(100);
  }
};

}  // namespace wintest
