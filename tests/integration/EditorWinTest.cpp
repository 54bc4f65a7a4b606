// The built module's editor in a Windows host window, driven from outside the
// module as a DAW drives it: the view, the window, the gestures and their
// edit notifications, while an audio thread processes blocks with parameter
// changes.

#include <atomic>
#include <limits>
#include <thread>

#include "host/EditorActions.h"
#include "host/win32/EditorHostWin.h"
#include "tests/support/EditorPlaces.h"
#include "tests/integration/PlugFixture.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

namespace mirel::test {
namespace {

using host::HandlerCall;

// Blocks on the audio thread with changes of parameters the gestures leave
// alone, so that the meter moves and values cross threads all the time.
class AudioThread {
 public:
  explicit AudioThread(IAudioProcessor* processor) {
    thread_ = std::thread([this, processor] {
      host::ProcessBuffers b(kSample32, 128, 2, 2, 2);
      auto changes = host::MakeHostObject<host::ParameterChanges>();
      b.SetParameterChanges(changes.get());
      std::uint32_t seed = 5;
      for (int n = 0; !stop_.load(); ++n) {
        FillInputs(b, 128, seed++);
        changes->Clear();
        changes->Add(kIdRatio, (n % 4) / 3.0);
        changes->Add(kIdMix, (n % 5) / 4.0);
        changes->Add(kIdOutput, (n % 7) / 6.0);
        b.SetNumSamples(128);
        processor->process(b.Data());
        ++blocks_;
      }
    });
  }
  ~AudioThread() {
    stop_ = true;
    thread_.join();
  }
  int Blocks() const { return blocks_.load(); }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> blocks_{0};
  std::thread thread_;
};

struct EditorPlug {
  Plug p;
  IPtr<host::RecordingComponentHandler> handler = host::MakeHostObject<host::RecordingComponentHandler>();
  IPtr<IPlugView> view;
  host::EditorHostWin host;

  EditorPlug() {
    p.Start(48000.0, 128);
    p.component->activateBus(kAudio, BusDirections::kInput, 1, true);
    p.controller->setComponentHandler(handler.get());
    view = owned(p.controller->createView("editor"));
  }
  ~EditorPlug() {
    host.Close();
    view = nullptr;
    p.Stop();
  }
  void Open() {
    std::string error;
    ASSERT_TRUE(host.Open(view.get(), error)) << error;
    host.Pump(120);
  }
  void Do(const char* script) {
    std::vector<host::EditorAction> actions;
    std::string error;
    ASSERT_TRUE(host::ParseEditorActions(script, actions, error)) << error;
    for (const auto& a : actions) ASSERT_TRUE(host.Perform(a));
  }
  // The calls for one parameter, oldest first; cleared afterwards.
  std::vector<HandlerCall> Calls(ParamID id) {
    std::vector<HandlerCall> out;
    for (const auto& c : handler->Calls()) {
      if (c.id == id && c.kind != HandlerCall::Kind::kRestart) out.push_back(c);
    }
    handler->Clear();
    return out;
  }
  double Value(ParamID id) { return p.controller->getParamNormalized(id); }
};

// A path of this machine's file system as a Windows program names it (Wine
// maps the root to drive Z:).
std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// Runs mirel-snapshot at the default settings (and `options`) into out;
// false on failure.
bool RunSnapshot(const std::string& out, const std::string& options = "") {
  std::string command = "\"" + WindowsPath(MIREL_SNAPSHOT_EXE) + "\" " + options + " \"" + WindowsPath(out) + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code == 0;
}

// The window shows what mirel-snapshot draws at scale ("1": no option), but
// for the version label, which each platform's font path may draw
// differently (its white ink must still be there). A window that differs is
// saved beside the tests.
void ExpectShowsSnapshot(host::EditorHostWin& host, const std::string& scale) {
  host::EditorImage shown, snapshot;
  ASSERT_TRUE(host.Capture(shown));
  const std::string tag = scale == "1" ? "" : "-" + scale;
  const std::string snapshotFile = MIREL_BINARY_DIR "/editor-snapshot" + tag + ".png";
  ASSERT_TRUE(RunSnapshot(snapshotFile, scale == "1" ? "" : "--scale " + scale));
  std::string error;
  ASSERT_TRUE(host::ReadPng(snapshotFile, snapshot, error)) << error;
  ASSERT_EQ(shown.width, snapshot.width);
  ASSERT_EQ(shown.height, snapshot.height);
  const auto& label = mirel::layout::kVersionLabel;
  const auto device = [s = std::stod(scale)](int v) { return static_cast<int>(v * s + 0.5); };
  int differ = 0, labelInk = 0;
  std::string first;
  for (int y = 0; y < shown.height; ++y) {
    for (int x = 0; x < shown.width; ++x) {
      const std::uint32_t a = shown.At(x, y) & 0xFFFFFF, b = snapshot.At(x, y) & 0xFFFFFF;
      if (x >= device(label.left) && x < device(label.right) && y >= device(label.top) &&
          y < device(label.bottom)) {
        labelInk += ((a >> 16) & 255) > 200 && ((a >> 8) & 255) > 200 && (a & 255) > 200;
        continue;
      }
      if (a != b && differ++ == 0) first = std::to_string(x) + "," + std::to_string(y);
    }
  }
  if (differ > 0) host::WritePng(shown, MIREL_BINARY_DIR "/editor-window" + tag + ".png", error);
  EXPECT_EQ(differ, 0) << "first at " << first << "; the window is in editor-window" << tag << ".png";
  EXPECT_GT(labelInk, 20) << "the white version label";
}

HINSTANCE ModuleOf(HWND window) { return reinterpret_cast<HINSTANCE>(GetClassLongPtrA(window, GCLP_HMODULE)); }

bool ClassRegistered(HINSTANCE module) {
  WNDCLASSA wc;
  return GetClassInfoA(module, "IEffectWndClass", &wc) != 0;
}

TEST(EditorWindow, ViewAnswersAndOpensAChildWindowOfTheEditorClass) {
  EditorPlug e;
  ASSERT_TRUE(e.view);
  EXPECT_EQ(e.p.controller->createView("Editor"), nullptr);
  EXPECT_EQ(e.p.controller->createView(nullptr), nullptr);
  EXPECT_EQ(e.view->isPlatformTypeSupported("HWND"), kResultOk);
  for (const char* other : {"X11EmbedWindowID", "NSView", "HIView", ""}) {
    EXPECT_EQ(e.view->isPlatformTypeSupported(other), kResultFalse) << other;
  }
  ViewRect size;
  ASSERT_EQ(e.view->getSize(&size), kResultOk);
  EXPECT_EQ(size.left, 0);
  EXPECT_EQ(size.top, 0);
  EXPECT_EQ(size.right, mirel::layout::kEditorWidth);
  EXPECT_EQ(size.bottom, mirel::layout::kEditorHeight);

  e.Open();
  HWND window = e.host.PluginWindow();
  ASSERT_NE(window, nullptr);
  char cls[64] = {};
  GetClassNameA(window, cls, sizeof cls);
  EXPECT_STREQ(cls, "IEffectWndClass");
  EXPECT_EQ(GetParent(window), e.host.TopWindow());
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, mirel::layout::kEditorWidth);
  EXPECT_EQ(client.bottom, mirel::layout::kEditorHeight);
}

TEST(EditorWindow, ShowsTheOffscreenPictureOfTheSameSettings) {
  EditorPlug e;
  e.Open();
  e.host.Pump(100);
  ExpectShowsSnapshot(e.host, "1");
}

TEST(EditorWindow, GesturesEditParametersWhileAudioRuns) {
  EditorPlug e;
  AudioThread audio(e.p.processor.get());
  e.Open();

  const testsupport::EditorPlace bypass = testsupport::EditorPlaceOf(::kBypass);
  ASSERT_EQ(e.Value(kIdBypass), 0.0);
  e.Calls(kIdBypass);
  e.Do(("click " + std::to_string(bypass.x) + " " + std::to_string(bypass.CentreY())).c_str());
  const std::vector<HandlerCall> expected = {{HandlerCall::Kind::kBegin, kIdBypass, 0, 0},
                                             {HandlerCall::Kind::kPerform, kIdBypass, 1.0, 0},
                                             {HandlerCall::Kind::kEnd, kIdBypass, 0, 0}};
  EXPECT_EQ(e.Calls(kIdBypass), expected);
  EXPECT_EQ(e.Value(kIdBypass), 1.0);

  const testsupport::EditorPlace input = testsupport::EditorPlaceOf(::kInput);
  const double built = e.Value(kIdInput);
  const std::string at = std::to_string(input.CentreX()) + " " + std::to_string(input.CentreY());
  e.Do(("drag " + at + " 0 -10").c_str());
  const double dragged = built + 10.0 / input.h / 4.0;
  EXPECT_NEAR(e.Value(kIdInput), dragged, 1e-12);
  std::vector<HandlerCall> calls = e.Calls(kIdInput);
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.front().kind, HandlerCall::Kind::kBegin);
  EXPECT_EQ(calls.back().kind, HandlerCall::Kind::kEnd);
  EXPECT_NEAR(calls[calls.size() - 2].value, dragged, 1e-12);

  e.Do(("wheel " + at + " 1").c_str());
  EXPECT_NEAR(e.Value(kIdInput), dragged + 0.01, 1e-12);
  EXPECT_EQ(e.Calls(kIdInput).size(), 3u);

  e.Do(("dclick " + at).c_str());
  EXPECT_EQ(e.Value(kIdInput), built);
  calls = e.Calls(kIdInput);
  int open = 0;
  for (const auto& c : calls) {
    open += c.kind == HandlerCall::Kind::kBegin ? 1 : c.kind == HandlerCall::Kind::kEnd ? -1 : 0;
    EXPECT_GE(open, 0);
  }
  EXPECT_EQ(open, 0);

  // A right-click on a knob goes to the host's menu, never to the knob.
  e.Do(("rclick " + at).c_str());
  EXPECT_TRUE(e.Calls(kIdInput).empty());
  EXPECT_EQ(e.Value(kIdInput), built);
  e.host.Pump(100);
  EXPECT_GT(audio.Blocks(), 0);
}

// Keys the editor does not take reach the host's window (a DAW's transport).
WNDPROC gHostProc = nullptr;
std::vector<WPARAM> gHostKeys;
LRESULT CALLBACK RecordKeys(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_KEYDOWN) gHostKeys.push_back(wParam);
  return CallWindowProcA(gHostProc, hwnd, msg, wParam, lParam);
}

TEST(EditorWindow, KeysTheControlsDoNotTakeGoToTheHostsWindow) {
  EditorPlug e;
  e.Open();
  gHostProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(e.host.TopWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordKeys)));
  gHostKeys.clear();
  e.Do("move 400 100; key space; key a; key 7; key enter");
  EXPECT_EQ(gHostKeys, (std::vector<WPARAM>{VK_SPACE, 'A', '7', VK_RETURN}));
  SetWindowLongPtrA(e.host.TopWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gHostProc));
}

TEST(EditorWindow, OpenCloseReopenAndTwoEditorsWhileAudioRuns) {
  EditorPlug a, b;
  AudioThread audioA(a.p.processor.get());
  AudioThread audioB(b.p.processor.get());
  a.Open();
  const HINSTANCE module = ModuleOf(a.host.PluginWindow());
  b.Open();
  a.host.Close();
  EXPECT_TRUE(ClassRegistered(module));  // b's window still uses it
  a.Open();
  a.host.Close();
  b.host.Close();
  EXPECT_FALSE(ClassRegistered(module));

  // Opening and closing in quick succession with a new view each time.
  for (int round = 0; round < 5; ++round) {
    a.view = owned(a.p.controller->createView("editor"));
    a.Open();
    a.host.Pump(45);
    a.host.Close();
  }

  // Hosts that call in odd orders.
  HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 900, 300, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  EXPECT_EQ(b.view->removed(), kResultOk);
  EXPECT_NE(b.view->attached(nullptr, "HWND"), kResultOk);
  ASSERT_EQ(b.view->attached(parent, "HWND"), kResultOk);
  ASSERT_EQ(b.view->attached(parent, "HWND"), kResultOk);
  HWND window = GetWindow(parent, GW_CHILD);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetWindow(window, GW_HWNDNEXT), nullptr);  // one editor window only
  b.host.Pump(60);
  b.view = nullptr;  // released while attached
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(ClassRegistered(module));
  DestroyWindow(parent);
}

// The built editor at a host's content scale, in the Windows host window.
class EditorWindowScale : public ::testing::Test {
 protected:
  void SetUp() override {
    scaler_ = FUnknownPtr<IPlugViewContentScaleSupport>(e_.view);
    ASSERT_TRUE(scaler_);
  }
  // mirel-snapshot's picture at `scale`, drawn by this platform's tool.
  static host::EditorImage Snapshot(const char* scale) {
    const std::string file = MIREL_BINARY_DIR "/editor-snapshot-scaled.png";
    host::EditorImage image;
    EXPECT_TRUE(RunSnapshot(file, std::string("--scale ") + scale)) << scale;
    std::string error;
    EXPECT_TRUE(host::ReadPng(file, image, error)) << error;
    return image;
  }
  // True when the window shows exactly `expected` (the screen has no alpha);
  // the window's picture is left in `name` when it does not.
  bool Shows(const host::EditorImage& expected, const char* name) {
    host::EditorImage shown;
    bool same = false;
    for (int tries = 0; tries < 20 && !same; ++tries) {
      e_.host.Pump(50);
      same = e_.host.Capture(shown) && shown.width == expected.width && shown.height == expected.height;
      for (std::size_t i = 0; same && i < shown.pixels.size(); ++i) {
        same = (shown.pixels[i] & 0xFFFFFFu) == (expected.pixels[i] & 0xFFFFFFu);
      }
    }
    std::string error;
    if (!same) host::WritePng(shown, std::string(MIREL_BINARY_DIR "/") + name, error);
    return same;
  }
  ViewRect Size() {
    ViewRect r;
    EXPECT_EQ(e_.view->getSize(&r), kResultOk);
    return r;
  }
  ViewRect LastRequest() {
    const auto& requests = e_.host.Frame()->Requests();
    return requests.empty() ? ViewRect() : requests.back();
  }

  EditorPlug e_;
  FUnknownPtr<IPlugViewContentScaleSupport> scaler_;
};

TEST_F(EditorWindowScale, ContentScaleResizesThroughTheFrameAndShowsTheScaledSnapshot) {
  // Before the window opens the size follows the scale already.
  ASSERT_EQ(scaler_->setContentScaleFactor(1.5f), kResultOk);
  EXPECT_EQ(Size().getWidth(), 1257);
  EXPECT_EQ(Size().getHeight(), 368);
  e_.Open();
  EXPECT_EQ(e_.host.OpenedSize().getWidth(), 1257);
  EXPECT_EQ(e_.host.OpenedSize().getHeight(), 368);
  EXPECT_TRUE(Shows(Snapshot("1.5"), "editor-window-1.5.png")) << "the window differs from mirel-snapshot --scale 1.5";

  ASSERT_EQ(scaler_->setContentScaleFactor(2.0f), kResultOk);
  EXPECT_EQ(Size().getWidth(), 1676);
  EXPECT_EQ(Size().getHeight(), 490);
  EXPECT_EQ(LastRequest().getWidth(), 1676);
  EXPECT_EQ(LastRequest().getHeight(), 490);
  RECT client;
  GetClientRect(e_.host.TopWindow(), &client);
  EXPECT_EQ(client.right, 1676);
  EXPECT_EQ(client.bottom, 490);
  const host::EditorImage twice = Snapshot("2");
  EXPECT_TRUE(Shows(twice, "editor-window-2.png")) << "the window differs from mirel-snapshot --scale 2";

  // Refused values change nothing: no size, no request, no pixel.
  const std::size_t asked = e_.host.Frame()->Requests().size();
  for (float bad : {0.0f, -1.0f, -2.0f, 3.5f, 1e9f, std::numeric_limits<float>::quiet_NaN(),
                    std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()}) {
    EXPECT_EQ(scaler_->setContentScaleFactor(bad), kResultFalse) << bad;
  }
  EXPECT_EQ(Size().getWidth(), 1676);
  EXPECT_EQ(Size().getHeight(), 490);
  EXPECT_EQ(e_.host.Frame()->Requests().size(), asked);
  EXPECT_TRUE(Shows(twice, "editor-window-refused.png")) << "a refused scale changed the picture";

  // Back to 1: today's picture, bit for bit.
  ASSERT_EQ(scaler_->setContentScaleFactor(1.0f), kResultOk);
  EXPECT_EQ(Size().getWidth(), mirel::layout::kEditorWidth);
  EXPECT_EQ(Size().getHeight(), mirel::layout::kEditorHeight);
  EXPECT_EQ(LastRequest().getWidth(), mirel::layout::kEditorWidth);
  EXPECT_TRUE(Shows(Snapshot("1"), "editor-window-1.png")) << "the window at 1 again differs from the snapshot";
}

TEST_F(EditorWindowScale, ClickAndDragAtTwiceTheSizeEditAsAtOneForTheSameLogicalDistance) {
  e_.Open();
  ASSERT_EQ(scaler_->setContentScaleFactor(2.0f), kResultOk);
  e_.host.Pump(60);

  const testsupport::EditorPlace bypass = testsupport::EditorPlaceOf(::kBypass);
  e_.Calls(kIdBypass);
  e_.Do(("click " + std::to_string(2 * bypass.CentreX()) + " " + std::to_string(2 * bypass.CentreY())).c_str());
  const std::vector<HandlerCall> expected = {{HandlerCall::Kind::kBegin, kIdBypass, 0, 0},
                                             {HandlerCall::Kind::kPerform, kIdBypass, 1.0, 0},
                                             {HandlerCall::Kind::kEnd, kIdBypass, 0, 0}};
  EXPECT_EQ(e_.Calls(kIdBypass), expected);

  // Twenty device pixels up are ten logical ones: Input rises by
  // 10 / frame height / 4, as ten pixels do at 1x.
  const testsupport::EditorPlace input = testsupport::EditorPlaceOf(::kInput);
  const double before = e_.Value(kIdInput);
  e_.Do(("drag " + std::to_string(2 * input.CentreX()) + " " + std::to_string(2 * input.CentreY()) + " 0 -20").c_str());
  const double dragged = before + 10.0 / input.h / 4.0;
  EXPECT_NEAR(e_.Value(kIdInput), dragged, 1e-12);
  const std::vector<HandlerCall> calls = e_.Calls(kIdInput);
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.front().kind, HandlerCall::Kind::kBegin);
  EXPECT_EQ(calls.back().kind, HandlerCall::Kind::kEnd);
  EXPECT_NEAR(calls[calls.size() - 2].value, dragged, 1e-12);
}

// The host window's resize handle: the view takes the nearest size, the
// window follows, getSize tells it, and the window shows what mirel-snapshot
// draws at that scale (1000 pixels wide: 1.193).
TEST(EditorWindow, AHostResizeScalesTheEditorToTheSnapshotAtThatScale) {
  EditorPlug e;
  e.Open();
  ViewRect taken;
  ASSERT_TRUE(host::ResizeViewByHandle(e.view.get(), e.host.Frame(), 1000, 400, taken));
  EXPECT_EQ(taken.getWidth(), 1000);
  EXPECT_EQ(taken.getHeight(), 292);
  ViewRect size;
  ASSERT_EQ(e.view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), 1000);
  EXPECT_EQ(size.getHeight(), 292);
  RECT client;
  GetClientRect(e.host.PluginWindow(), &client);
  EXPECT_EQ(client.right, 1000);
  EXPECT_EQ(client.bottom, 292);
  e.host.Pump(150);
  ExpectShowsSnapshot(e.host, "1.193");
}

}  // namespace
}  // namespace mirel::test
