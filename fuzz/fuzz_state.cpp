// libFuzzer target: any bytes restored as a plug-in's stored state (values,
// host-bypass word, zoom trailer, section block) leave every value and the
// zoom in range, and the state then written reads back to the same bytes.
#include <cstdint>
#include <cstdlib>

#include "plugbase/IEffectBase.h"
#include "tests/support/LaterFieldEffect.h"

namespace {

using testsupport::LaterFieldEffect;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool Same(const StateChunk& a, const StateChunk& b) {
  if (a.Size() != b.Size()) return false;
  for (int i = 0; i < a.Size(); ++i) {
    if (a.Data()[i] != b.Data()[i]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > static_cast<std::size_t>(1 << 20)) return 0;
  StateChunk in;
  in.AppendBytes(data, static_cast<int>(size));
  StateSections sections;
  const int end = sections.Read(in, 0);
  Check(end == -1 || (end >= StateSections::kHeaderSize && end <= in.Size()));

  LaterFieldEffect fx;
  fx.UnserializeState(in);
  for (int i = 0; i < fx.NParams(); ++i) {
    const IParamDef* p = fx.GetParam(i);
    Check(p->Value() >= p->MinValue() && p->Value() <= p->MaxValue());
  }
  Check(EditorZoomInRange(fx.EditorZoom()));

  StateChunk out;
  Check(fx.SerializeState(out));
  LaterFieldEffect again;
  Check(again.UnserializeState(out));
  StateChunk back;
  Check(again.SerializeState(back));
  Check(Same(out, back));
  return 0;
}
