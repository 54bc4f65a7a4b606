// Mirel's editor as the constructor builds it, drawn off-screen, and the
// roads by which host and audio changes reach it.

#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "mirel/EditorLayout.h"
#include "tests/mirel/EngineTestSupport.h"
#include "host/MemoryStream.h"
#include "gui/IPanel.h"
#include "tests/support/MouseButtons.h"
#include "tests/support/VstOwner.h"

namespace {

using testsupport::kLeftButton;
using testsupport::MakeVstOwner;

IPanel& PanelOf(Mirel& m) {
  auto* panel = dynamic_cast<IPanel*>(m.Graphics());
  EXPECT_NE(panel, nullptr);
  return *panel;
}

struct Editor {
  testsupport::VstOwner<Mirel> m = MakeVstOwner<Mirel>();
  IPanel& panel = PanelOf(*m);
};

}  // namespace

TEST(MirelEditor, ControlsFollowTheLayoutTable) {
  Editor e;
  namespace layout = mirel::layout;
  constexpr int rows = static_cast<int>(std::size(layout::kControls));
  // The controls of the table, then the version label: 17 with the meter at 15.
  ASSERT_EQ(e.panel.NControls(), rows + 1);
  EXPECT_EQ(rows + 1, 17);
  EXPECT_EQ(e.m->MeterControl(), 15);
  EXPECT_EQ(e.panel.Width(), layout::kEditorWidth);
  EXPECT_EQ(e.panel.Height(), layout::kEditorHeight);
  for (int i = 0; i < rows; ++i) {
    const layout::Control& row = layout::kControls[i];
    IControl* c = e.panel.GetControl(i);
    EXPECT_EQ(c->ParamIndex(), row.param) << i;
    // The rectangle follows the image: the table's corner, one frame's size.
    EXPECT_EQ(c->Rect(), (PixelRect{row.x, row.y, row.x + row.width, row.y + row.height})) << i;
    // The background is copied, everything else alpha-blended over it.
    EXPECT_EQ(c->Blend().method, row.kind == layout::Kind::kBackground ? ChannelBlend::kCopy : ChannelBlend::kAlpha) << i;
    switch (row.kind) {
      case layout::Kind::kBackground:
        EXPECT_EQ(i, 0);
        break;
      case layout::Kind::kSwitch:
        EXPECT_NE(dynamic_cast<ISwitchControl*>(c), nullptr) << i;
        break;
      case layout::Kind::kKnob:
        EXPECT_NE(dynamic_cast<IKnobStripControl*>(c), nullptr) << i;
        break;
      case layout::Kind::kMeter:
        EXPECT_EQ(e.m->MeterControl(), i);
        break;
    }
  }
  // Both "Sidechain" parameters have their own control: the high-pass knob and the source switch.
  EXPECT_EQ(e.panel.GetControl(8)->ParamIndex(), kHpf);
  EXPECT_EQ(e.panel.GetControl(14)->ParamIndex(), kSidechain);
  auto* label = dynamic_cast<ITextControl*>(e.panel.GetControl(rows));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->Text(), std::string("Version ") + mirel::kVersionText);
  const layout::Rect& place = layout::kVersionLabel;
  EXPECT_EQ(label->Rect(), (PixelRect{place.left, place.top, place.right, place.bottom}));
}

// The layout table checked for meaning rather than read back: each
// parameter has exactly one control, of the kind its values need, showing the
// artwork drawn for it. What each parameter's artwork is called is said here
// once more, apart from the table, so that a row bound to the wrong
// parameter fails.
TEST(MirelEditor, EveryParameterHasOneControlOfItsKindShowingItsArtwork) {
  const struct {
    int param;
    const char* image;
  } kArtwork[] = {
      {kInput, "IN"},   {kOutput, "OUT"},   {kAttack, "ATK"},        {kRelease, "REL"},     {kRatio, "RAT"},
      {kHpf, "HPF"},    {kMix, "MIX"},      {kMidFreq, "MIDF"},      {kMidGain, "MIDG"},    {kHf, "HF"},
      {kBypass, "BY"},  {kInterstage, "INTER"}, {kOversample, "OVER"}, {kSidechain, "SC"},
  };
  ASSERT_EQ(static_cast<int>(std::size(kArtwork)), kNumParams);
  auto m = MakeVstOwner<Mirel>(false);
  namespace layout = mirel::layout;
  for (const auto& [param, image] : kArtwork) {
    SCOPED_TRACE(image);
    int found = 0;
    for (const layout::Control& row : layout::kControls) {
      if (row.param != param) continue;
      ++found;
      EXPECT_EQ(std::string(row.image), std::string("resources/img/") + image + ".png");
      const IParamDef* p = m->GetParam(param);
      if (p->Kind() == ParamKind::Continuous) {
        // A knob turning smoothly through many frames.
        EXPECT_EQ(row.kind, layout::Kind::kKnob);
        EXPECT_GT(row.frames, 20);
      } else {
        // One frame per value: a switch for two, a stepped knob for more.
        const int values = static_cast<int>((p->MaxValue() - p->MinValue()) / p->Step()) + 1;
        EXPECT_EQ(row.frames, values);
        EXPECT_EQ(row.kind, values == 2 ? layout::Kind::kSwitch : layout::Kind::kKnob);
      }
    }
    EXPECT_EQ(found, 1);
  }
}

// Every knob's double-click gives its parameter's default back, those whose
// default is the bottom of the range too.
TEST(MirelEditor, DoubleClickRestoresEachKnobsDefault) {
  Editor e;
  int atBottom = 0;
  for (int i = 0; i < e.panel.NControls(); ++i) {
    IControl* c = e.panel.GetControl(i);
    if (c->ParamIndex() < 0 || !dynamic_cast<IKnobStripControl*>(c)) continue;
    const IParamDef* p = e.m->GetParam(c->ParamIndex());
    const double normal = p->ToNormalised(p->DefaultValue());
    atBottom += normal == 0.0;
    c->SetValue(normal < 0.5 ? 0.9 : 0.1);
    const PixelRect r = c->Rect();
    e.panel.OnMouseDblClick((r.left + r.right) / 2, (r.top + r.bottom) / 2, kLeftButton);
    EXPECT_NEAR(c->Value(), normal, 1e-12) << p->Name();
    EXPECT_NEAR(p->Value(), p->DefaultValue(), 1e-9) << p->Name();
  }
  EXPECT_GT(atBottom, 0);
}

TEST(MirelEditor, ClickOnTheSidechainSwitchMovesTheDetectorToTheSidechain) {
  Editor e;
  ASSERT_EQ(e.m->GetParam(kSidechain)->Value(), 1.0);
  const PixelRect r = e.panel.GetControl(14)->Rect();
  e.panel.OnMouseDown(r.left + 1, r.top + 1, kLeftButton);
  e.panel.OnMouseUp(r.left + 1, r.top + 1, kLeftButton);
  EXPECT_EQ(e.m->GetParam(kSidechain)->Value(), 0.0);
  EXPECT_EQ(e.panel.GetControl(8)->Value(), 0.0);  // the high-pass knob is another parameter
}

TEST(MirelEditor, HostAutomationStateAndMeterReachTheControlsAtTheNextTick) {
  Editor e;
  // The platform's panel (a window on Windows, never opened here) paints
  // its back buffer the same way.
  IPanel& panel = e.panel;
  const auto paintAll = [&] { panel.Paint(PixelRect{0, 0, panel.Width(), panel.Height()}); };
  paintAll();
  EXPECT_TRUE(panel.TimerTick().IsEmpty());
  // The host's automation lane, with no audio running.
  ASSERT_EQ(e.m->setParamNormalized(kRatio, 1.0), Steinberg::kResultOk);
  IControl* ratio = panel.GetControl(7);
  EXPECT_EQ(panel.TimerTick(), ratio->Rect());
  EXPECT_EQ(ratio->Value(), 1.0);

  // A loaded project.
  mirel::host::MemoryStream saved;
  e.m->setParamNormalized(kMix, 0.25);
  ASSERT_EQ(e.m->getState(&saved), Steinberg::kResultOk);
  e.m->setParamNormalized(kMix, 1.0);
  panel.TimerTick();
  saved.Rewind();
  ASSERT_EQ(e.m->setState(&saved), Steinberg::kResultOk);
  panel.TimerTick();
  EXPECT_EQ(panel.GetControl(9)->Value(), 0.25);

  // The meter: the processing's reading of the last block.
  Steinberg::Vst::ProcessSetup setup{Steinberg::Vst::kRealtime, Steinberg::Vst::kSample64, 4800, 48000.0};
  e.m->setupProcessing(setup);
  for (int i = 0; i < kNumParams; ++i) e.m->ParamChanged(i);
  e.m->GetParam(kInput)->SetClamped(40);
  e.m->ParamChanged(kInput);
  enginetest::Buffers b(4800);
  for (auto& ch : b.in) std::fill(ch.begin(), ch.end(), 0.9);
  enginetest::RunAll(*e.m, b);
  panel.TimerTick();
  EXPECT_EQ(panel.GetControl(15)->Value(), e.m->MeterValue());
  EXPECT_GT(e.m->MeterValue(), 0.5);
  paintAll();
  paintAll();  // painted twice: clean
  enginetest::Buffers quiet(480);
  enginetest::RunAll(*e.m, quiet);
  EXPECT_EQ(panel.TimerTick(), panel.GetControl(15)->Rect());
  EXPECT_EQ(panel.GetControl(15)->Value(), e.m->MeterValue());
}
