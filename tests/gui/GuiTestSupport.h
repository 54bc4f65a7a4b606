#pragma once
// A small plug-in and an off-screen panel whose images are strips made in
// memory: frame k of a strip is filled with blue = k + 1, so a pixel of the
// back buffer names the frame drawn there.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "plugbase/IEffectBase.h"
#include "gui/IPanelOffscreen.h"
#include "raster/RAS_Bitmap.h"

namespace guitest {

enum { kKnob = 0, kSwitch = 1, kChoice = 2 };

class TestPlug : public IEffectBase {
 public:
  TestPlug() : IEffectBase(3, "2-2", 0, "Test", "", "Maker", 0x00010000, FourCC("Tst1"), FourCC("Mkr1")) {
    GetParam(kKnob)->DefineContinuous("Level", 0.5, 0, 1, 0.01, "dB", "", 1);
    GetParam(kSwitch)->DefineStepped("Mode", 0, 0, 1, 1, "", "", 1);
    GetParam(kChoice)->SetKind(ParamKind::Enumeration);
    GetParam(kChoice)->DefineStepped("Choice", 1, 0, 2, 1, "", "", 1);
    for (int i = 0; i < 3; ++i) GetParam(kChoice)->AddDisplayText(i, ("c" + std::to_string(i)).c_str());
  }
  void BeginEditNotify(int i) override { Log("begin " + std::to_string(i)); }
  void PerformEditNotify(int i, double) override { Log("perform " + std::to_string(i)); }
  void EndEditNotify(int i) override { Log("end " + std::to_string(i)); }
  void PopupHostParamMenu(int i, int, int) override { Log("menu " + std::to_string(i)); }
  void ResizeEditor(int w, int h) override { Log("resize " + std::to_string(w) + "x" + std::to_string(h)); }
  void Log(const std::string& s) {
    if (logging) log.push_back(s);
  }
  bool logging = true;
  std::vector<std::string> log;
};

// A strip of frames stacked top to bottom (or side by side); frame k has blue k + 1, alpha 255.
inline std::unique_ptr<RAS_MemBitmap> MakeStrip(int frameW, int frameH, int frames, bool sideBySide = false) {
  const int w = sideBySide ? frameW * frames : frameW;
  const int h = sideBySide ? frameH : frameH * frames;
  auto b = std::make_unique<RAS_MemBitmap>(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int k = sideBySide ? x / frameW : y / frameH;
      b->getBits()[y * b->getRowSpan() + x] = 0xff000000u | static_cast<std::uint32_t>(k + 1);
    }
  }
  return b;
}

// Images by id: 1000 + frames gives a 20x40-per-frame strip of that many frames.
class TestPanel : public IPanelOffscreen {
 public:
  explicit TestPanel(IEffectBase* plug, int w = 200, int h = 100) : IPanelOffscreen(plug, w, h, 25) {}
  std::unique_ptr<RAS_IBitmap> LoadBitmapFromResource(int id, const char*) override {
    ++decodes;
    if (id < 1000) return nullptr;
    return MakeStrip(20, 40, id - 1000);
  }
  std::atomic<int> decodes{0};
};

inline std::uint32_t Pixel(IPanel& p, int x, int y) {
  RAS_IBitmap* b = p.BackBuffer();
  return b->getBits()[y * b->getRowSpan() + x];
}

}  // namespace guitest
