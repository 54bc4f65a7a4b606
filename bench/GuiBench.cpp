// Cost of Mirel's editor, against a plain copy of the editor's whole area
// (838 x 245 pixels, one row copy per line) measured in the same run: the
// least any repaint of the editor can cost.
//
// Output: "us" is microseconds of this thread's CPU time per operation,
// "x_copy" the ratio to the plain copy. Run the copy first (registration order does).
// Goals: a full repaint under 2 ms, a tick in which only the meter moved
// under 50 us and a later instance under 2 ms; a first editor (in a process
// whose caches are empty: the instance, the host's content scale and the
// first full paint) at 1x under 25 ms and at 2x under 40 ms of wall time
// (medians of fresh processes) and a later one under 2 ms; a step of a
// resize drag (a scale not drawn at before, then a full paint) well under a
// frame. Decoding the 16 images whole, which no editor needs any more for
// its first paint, is measured as the figure the frame sets save.

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "mirel/Mirel.h"
#include "gui/IPanel.h"
#include "raster/RAS_Blit.h"
#include "raster/RAS_Png.h"

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

// Decoding the editor's 16 images whole: what a first editor at 1x paid on
// its first paint before it drew from the frames at 1 (an instance only
// reads their sizes).
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

// A later editor at a scale: an instance, the host's content scale (a new
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
void BM_LaterEditorAt1x(benchmark::State& state) { LaterEditorAt(state, 1.0); }
BENCHMARK(BM_LaterEditorAt1x)->MinTime(0.3)->Unit(benchmark::kMillisecond);
void BM_LaterEditorAt2x(benchmark::State& state) { LaterEditorAt(state, 2.0); }
BENCHMARK(BM_LaterEditorAt2x)->MinTime(0.3)->Unit(benchmark::kMillisecond);
void BM_LaterEditorAt1_5x(benchmark::State& state) { LaterEditorAt(state, 1.5); }
BENCHMARK(BM_LaterEditorAt1_5x)->MinTime(0.3)->Unit(benchmark::kMillisecond);

// The first editor at a scale, each in a fresh process of this program (so
// every cache is empty): an instance, the host's content scale and the first
// full paint, timed in that process by the wall clock and by its thread's
// clock.
const char* gSelf = nullptr;
constexpr const char* kFirstEditorChild = "--first-editor-at";

double WallNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

struct ChildTimes {
  double wallNs = -1;
  double cpuNs = -1;
};

ChildTimes FirstEditorChild(double scale) {
  const double wall = WallNs();
  const double start = ThreadNs();
  {
    EditorRig rig;
    rig.panel->SetScale(scale);
    rig.panel->Paint({0, 0, Mirel::kEditorWidth, Mirel::kEditorHeight});
  }
  return {WallNs() - wall, ThreadNs() - start};
}

// Runs this program as the child for scale; its times (negative on failure).
ChildTimes RunFirstEditorChild(double scale) {
  int out[2];
  if (pipe(out) != 0) return {};
  const std::string arg = std::to_string(scale);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    execl(gSelf, gSelf, kFirstEditorChild, arg.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  char text[64] = {};
  const ssize_t n = pid > 0 ? read(out[0], text, sizeof text - 1) : -1;
  close(out[0]);
  int status = 0;
  if (pid > 0) waitpid(pid, &status, 0);
  ChildTimes times;
  if (n <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
      std::sscanf(text, "%lf %lf", &times.wallNs, &times.cpuNs) != 2)
    return {};
  return times;
}

// The median of a few values (sorted in place).
double Median(std::vector<double>& v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// "us" and "x_copy" are the median CPU time; "wall_us" the median wall time,
// "wall_spread_us" the widest minus the narrowest run's.
void FirstEditorAt(benchmark::State& state, double scale) {
  std::vector<double> wall;
  std::vector<double> cpu;
  for (auto _ : state) {
    const ChildTimes t = RunFirstEditorChild(scale);
    if (t.wallNs < 0 || t.cpuNs < 0) {
      state.SkipWithError("the child process failed");
      return;
    }
    wall.push_back(t.wallNs);
    cpu.push_back(t.cpuNs);
  }
  const double ns = Median(cpu);
  state.counters["us"] = ns / 1000.0;
  if (copyNs > 0) state.counters["x_copy"] = ns / copyNs;
  state.counters["wall_us"] = Median(wall) / 1000.0;
  state.counters["wall_spread_us"] = (wall.back() - wall.front()) / 1000.0;
}
void BM_FirstEditorAt1x(benchmark::State& state) { FirstEditorAt(state, 1.0); }
BENCHMARK(BM_FirstEditorAt1x)->Iterations(5)->Unit(benchmark::kMillisecond);
void BM_FirstEditorAt2x(benchmark::State& state) { FirstEditorAt(state, 2.0); }
BENCHMARK(BM_FirstEditorAt2x)->Iterations(5)->Unit(benchmark::kMillisecond);
void BM_FirstEditorAt1_5x(benchmark::State& state) { FirstEditorAt(state, 1.5); }
BENCHMARK(BM_FirstEditorAt1_5x)->Iterations(5)->Unit(benchmark::kMillisecond);

// One step of a resize drag: an open editor goes to a scale it has not drawn
// at (a new value each time, from 1.01 to 2.99) and paints everything.
// "MB_held" is what the pictures at scales other than 1 hold afterwards: the
// frames at 2 and those of the one scale still drawn at.
void BM_ResizeDragStep(benchmark::State& state) {
  EditorRig rig;
  rig.panel->SetScale(2.0);
  rig.panel->Paint({0, 0, Mirel::kEditorWidth, Mirel::kEditorHeight});
  int step = 0;
  Timed(state, [&] {
    step = step % 197 + 1;  // 1.01 ... 1.99, 2.01 ... 2.99
    rig.panel->SetScale(1.0 + (step < 99 ? step : step + 1) / 100.0);
    rig.panel->Paint({0, 0, Mirel::kEditorWidth, Mirel::kEditorHeight});
  });
  state.counters["MB_held"] = static_cast<double>(ImageStore::Process().ScaledPixelBytes()) / 1e6;
}
BENCHMARK(BM_ResizeDragStep)->MinTime(0.3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], kFirstEditorChild) == 0) {
    const ChildTimes t = FirstEditorChild(std::atof(argv[2]));
    std::printf("%.0f %.0f\n", t.wallNs, t.cpuNs);
    return 0;
  }
  gSelf = "/proc/self/exe";
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
