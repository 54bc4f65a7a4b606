// Mirel's editor: an 838 x 245 panel of knobs, switches, a gain-reduction
// meter and the version label, built once by the constructor.

#include "EditorPanel.h"
#include "Mirel.h"

namespace {

enum class Kind { kBackground, kSwitch, kKnob, kMeter };

struct LayoutRow {
  Kind kind;
  int param;
  int resourceId;
  const char* image;
  int frames;
  int x;
  int y;
};

// In order of creation: the index in the control list is the row number.
constexpr LayoutRow kLayout[] = {
    {Kind::kBackground, -1, 105, "resources/img/BG.png", 1, 0, 0},
    {Kind::kSwitch, kBypass, 110, "resources/img/BY.png", 2, 720, 88},
    {Kind::kSwitch, kInterstage, 113, "resources/img/INTER.png", 2, 69, 14},
    {Kind::kKnob, kInput, 114, "resources/img/IN.png", 61, 147, 34},
    {Kind::kKnob, kOutput, 108, "resources/img/OUT.png", 61, 595, 34},
    {Kind::kKnob, kAttack, 104, "resources/img/ATK.png", 61, 510, 14},
    {Kind::kKnob, kRelease, 106, "resources/img/REL.png", 61, 693, 14},
    {Kind::kKnob, kRatio, 109, "resources/img/RAT.png", 4, 248, 14},
    {Kind::kKnob, kHpf, 111, "resources/img/HPF.png", 61, 54, 154},
    {Kind::kKnob, kMix, 112, "resources/img/MIX.png", 61, 626, 154},
    {Kind::kKnob, kHf, 117, "resources/img/HF.png", 61, 345, 154},
    {Kind::kKnob, kMidFreq, 115, "resources/img/MIDF.png", 61, 152, 154},
    {Kind::kKnob, kMidGain, 116, "resources/img/MIDG.png", 61, 254, 154},
    {Kind::kSwitch, kOversample, 118, "resources/img/OVER.png", 2, 0, 217},
    {Kind::kSwitch, kSidechain, 119, "resources/img/SC.png", 2, 738, 216},
    {Kind::kMeter, -1, 107, "resources/img/VU.png", 61, 341, 32},
};

}  // namespace

void Mirel::BuildEditor() {
  std::unique_ptr<IPanel> panel = MakeEditorPanel(this, kEditorWidth, kEditorHeight, kEditorFrameRate);
  for (const LayoutRow& row : kLayout) {
    const BitmapRef image = panel->LoadBitmap(row.resourceId, row.image, row.frames);
    switch (row.kind) {
      case Kind::kBackground:
        panel->AttachBackground(std::make_unique<IBitmapControl>(row.x, row.y, row.param, image, ChannelBlend::kCopy));
        break;
      case Kind::kSwitch:
        panel->AttachControl(std::make_unique<ISwitchControl>(row.x, row.y, row.param, image));
        break;
      case Kind::kKnob:
        panel->AttachControl(std::make_unique<IKnobStripControl>(row.x, row.y, row.param, image,
                                                                 IKnobControl::kVertical, 4.0));
        break;
      case Kind::kMeter:
        meterControl_ = panel->AttachControl(std::make_unique<IBitmapControl>(row.x, row.y, row.param, image));
        break;
    }
  }
  meterFeed_ = panel->OpenPlugValueFeed(meterControl_);
  editorWithFeed_ = panel.get();

  TextStyle label("Verdana", 14, ColorArgb{255, 255, 255, 255}, 1);
  label.entryBackground = ColorArgb{255, 255, 255, 255};
  label.entryText = ColorArgb{255, 0, 0, 0};
  panel->AttachControl(std::make_unique<ITextControl>(PixelRect{700, 150, 800, 170}, label, "Version 4.1.0"));

  AttachGraphics(std::move(panel));
}
