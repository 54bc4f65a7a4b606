// Cost of Mirel's editor, against a plain copy of the editor's whole area
// (838 x 245 pixels, one row copy per line) measured in the same run: the
// least any repaint of the editor can cost.
//
// Output: "us" is microseconds of this thread's CPU time per operation,
// "x_copy" the ratio to the plain copy. Run the copy first (registration order does).
// Goals: a full repaint under 2 ms, a tick in which only the meter moved
// under 50 us, a first instance (decoding the 16 images) under 20 ms and a
// later one under 2 ms; at display scale 2 a first editor (decoding both
// sets, then opening and painting) under 40 ms and a later one under 2 ms.

#include <benchmark/benchmark.h>

#include <ctime>

#include "mirel/Mirel.h"
#include "gui/IPanel.h"
#include "raster/RAS_Blit.h"
#include "raster/RAS_Png.h"
#include "raster/RAS_Resample.h"

namespace {

double ThreadNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

double copyNs = 0.0;

// Runs body once per iteration and reports its time per call.
template <typename Body>
void Timed(benchmark::State& state, Body&& body) {
  std::int64_t calls = 0;
  const double start = ThreadNs();
  for (auto _ : state) {
    body();
    ++calls;
  }
  const double ns = (ThreadNs() - start) / static_cast<double>(calls);
  state.counters["us"] = ns / 1000.0;
  if (copyNs > 0) state.counters["x_copy"] = ns / copyNs;
}

struct EditorRig {
  Mirel* m = new Mirel;
  IPanel* panel = dynamic_cast<IPanel*>(m->Graphics());
  ~EditorRig() { m->release(); }
};

void BM_CopyEditorArea(benchmark::State& state) {
  RAS_MemBitmap src(Mirel::kEditorWidth, Mirel::kEditorHeight);
  RAS_SysBitmap dst(Mirel::kEditorWidth, Mirel::kEditorHeight);
  Timed(state, [&] { RAS_Blit(&dst, &src, 0, 0, nullptr, 1.0f, kRasBlitCopy); });
  copyNs = state.counters["us"] * 1000.0;
}
BENCHMARK(BM_CopyEditorArea)->MinTime(0.3);

void BM_FullRepaint(benchmark::State& state) {
  EditorRig rig;
  const PixelRect all{0, 0, Mirel::kEditorWidth, Mirel::kEditorHeight};
  Timed(state, [&] { rig.panel->Paint(all); });
}
BENCHMARK(BM_FullRepaint)->MinTime(0.3);

// One timer tick in which only the meter moved: apply, find the dirty union, repaint it.
void BM_MeterOnlyTick(benchmark::State& state) {
  EditorRig rig;
  rig.panel->Paint({0, 0, Mirel::kEditorWidth, Mirel::kEditorHeight});
  int k = 0;
  Timed(state, [&] {
    rig.m->MeterFeed()->Post((++k % 61) / 60.0);
    rig.panel->Paint(rig.panel->TimerTick());
  });
}
BENCHMARK(BM_MeterOnlyTick)->MinTime(0.3);

void BM_IdleTick(benchmark::State& state) {
  EditorRig rig;
  rig.panel->Paint({0, 0, Mirel::kEditorWidth, Mirel::kEditorHeight});
  rig.panel->Paint({0, 0, Mirel::kEditorWidth, Mirel::kEditorHeight});
  Timed(state, [&] { benchmark::DoNotOptimize(rig.panel->TimerTick()); });
}
BENCHMARK(BM_IdleTick)->MinTime(0.3);

// What the first instance adds to a later one: decoding the editor's 16 images.
void BM_DecodeEditorImages(benchmark::State& state) {
  Timed(state, [&] {
    for (int id = 104; id <= 119; ++id) benchmark::DoNotOptimize(LoadBitmapFromResource(id, "x.png"));
  });
}
BENCHMARK(BM_DecodeEditorImages)->MinTime(0.3)->Unit(benchmark::kMillisecond);

// A later instance: the images come from the cache.
void BM_LaterInstance(benchmark::State& state) {
  EditorRig warm;
  Timed(state, [&] { (new Mirel)->release(); });
}
BENCHMARK(BM_LaterInstance)->MinTime(0.3)->Unit(benchmark::kMillisecond);

// A later editor at scale 2: an instance, the host's content scale (a new
// back buffer) and the first full paint, images from the caches.
void LaterEditorAt(benchmark::State& state, double scale) {
  EditorRig warm;
  warm.panel->SetScale(scale);
  warm.panel->Paint({0, 0, Mirel::kEditorWidth, Mirel::kEditorHeight});
  Timed(state, [&] {
    EditorRig rig;
    rig.panel->SetScale(scale);
    rig.panel->Paint({0, 0, Mirel::kEditorWidth, Mirel::kEditorHeight});
  });
}
void BM_LaterEditorAt2x(benchmark::State& state) { LaterEditorAt(state, 2.0); }
BENCHMARK(BM_LaterEditorAt2x)->MinTime(0.3)->Unit(benchmark::kMillisecond);
void BM_LaterEditorAt1_5x(benchmark::State& state) { LaterEditorAt(state, 1.5); }
BENCHMARK(BM_LaterEditorAt1_5x)->MinTime(0.3)->Unit(benchmark::kMillisecond);

// What the first editor at 2 adds to a later one: decoding both sets (the
// scale-1 images are still the controls' layout). The first editor at 2
// costs this plus BM_LaterEditorAt2x.
void BM_DecodeEditorImagesAt2x(benchmark::State& state) {
  Timed(state, [&] {
    for (int id = 104; id <= 119; ++id) {
      benchmark::DoNotOptimize(LoadBitmapFromResource(id, "x.png"));
      benchmark::DoNotOptimize(LoadBitmapFromResource(id + IPanel::kDoubleSizeIdOffset, "x.png"));
    }
  });
}
BENCHMARK(BM_DecodeEditorImagesAt2x)->MinTime(0.3)->Unit(benchmark::kMillisecond);

// What the first editor at 1.5 adds once per process: resampling the 2x set
// to 1.5 (besides decoding both sets).
void BM_ResampleEditorImagesTo1_5x(benchmark::State& state) {
  std::vector<std::unique_ptr<RAS_MemBitmap>> twice;
  std::vector<std::unique_ptr<RAS_MemBitmap>> once;
  for (int id = 104; id <= 119; ++id) {
    once.push_back(LoadBitmapFromResource(id, "x.png"));
    twice.push_back(LoadBitmapFromResource(id + IPanel::kDoubleSizeIdOffset, "x.png"));
  }
  // Frame counts as the layout gives them: 1 for the background, 2 for the
  // switches, 4 for Ratio, 61 for the rest.
  auto frames = [](const RAS_MemBitmap& b) {
    for (int n : {61, 4, 2}) {
      if (b.getHeight() % n == 0 && b.getHeight() / n < b.getWidth() * 2) return n;
    }
    return 1;
  };
  Timed(state, [&] {
    for (std::size_t i = 0; i < twice.size(); ++i) {
      const int n = frames(*once[i]);
      const int w = once[i]->getWidth(), h = once[i]->getHeight() / n;
      benchmark::DoNotOptimize(RAS_ResampleFrames(*twice[i], n, false, 2 * w, 2 * h,
                                                  static_cast<int>(w * 1.5 + 0.5), static_cast<int>(h * 1.5 + 0.5)));
    }
  });
}
BENCHMARK(BM_ResampleEditorImagesTo1_5x)->MinTime(0.3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
