// Mirel's editor: a panel of knobs, switches, a gain-reduction meter and the
// version label, built once by the constructor from the layout table
// (mirel/editor-layout.txt, made into EditorLayout.h by the build).

#include <string>

#include "mirel/EditorLayout.h"
#include "mirel/EditorPanel.h"
#include "mirel/Mirel.h"
#include "mirel/MirelClap.h"

template <class Adapter>
void MirelOn<Adapter>::BuildEditor() {
  std::unique_ptr<IPanel> panel = MakeEditorPanel(this, kEditorWidth, kEditorHeight, kEditorFrameRate);
  constexpr unsigned margin = mirel::layout::kMarginColour;
  panel->SetMarginColour(ColorArgb{255, (margin >> 16) & 255, (margin >> 8) & 255, margin & 255});
  using mirel::layout::Kind;
  for (const mirel::layout::Control& row : mirel::layout::kControls) {
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
  const auto& place = mirel::layout::kVersionLabel;
  const PixelRect versionRect{place.left, place.top, place.right, place.bottom};
  const std::string version = std::string(mirel::layout::kVersionPrefix) + mirel::kVersionText;
  panel->AttachControl(std::make_unique<ITextControl>(versionRect, label, version.c_str()));

  AttachGraphics(std::move(panel));
}

template void MirelOn<IEffectVST3>::BuildEditor();
template void MirelOn<IEffectClap>::BuildEditor();
