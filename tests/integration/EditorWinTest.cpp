// The built module's editor in a Windows host window, driven from outside the
// module as a DAW drives it: the view, the window, the gestures and their
// edit notifications, while an audio thread processes blocks with parameter
// changes.

#include <atomic>
#include <thread>

#include "host/EditorActions.h"
#include "host/win32/EditorHostWin.h"
#include "tests/support/EditorPlaces.h"
#include "tests/support/EditorScaleScenario.h"
#include "tests/integration/PlugFixture.h"
#include "pluginterfaces/gui/iplugview.h"

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

// The Windows host as the editor scenarios drive it: one instance, its view
// and a host window for it.
class WinHostDriver : public testsupport::EditorHostDriver {
 public:
  IPlugView* View() override { return e_.view.get(); }
  void NewView() override { e_.view = owned(e_.p.controller->createView("editor")); }
  IEditController* Controller() override { return e_.p.controller.get(); }
  bool Open(std::string& error) override {
    if (!e_.host.Open(e_.view.get(), error)) return false;
    e_.host.Pump(120);
    return true;
  }
  void Close() override { e_.host.Close(); }
  ViewRect OpenedSize() override { return e_.host.OpenedSize(); }
  std::vector<ViewRect> ResizeRequests() override { return e_.host.Frame()->Requests(); }
  bool ResizeByHandle(int width, int height, ViewRect& taken, bool askConstraint) override {
    return host::ResizeViewByHandle(e_.view.get(), e_.host.Frame(), width, height, taken, askConstraint);
  }
  bool HostWindowSize(int& width, int& height) override { return ClientSize(e_.host.TopWindow(), width, height); }
  bool PluginWindowSize(int& width, int& height) override { return ClientSize(e_.host.PluginWindow(), width, height); }
  void Pump(int milliseconds) override { e_.host.Pump(milliseconds); }
  bool Capture(host::EditorImage& out) override { return e_.host.Capture(out); }
  bool Do(const std::string& script) override {
    std::vector<host::EditorAction> actions;
    std::string error;
    if (!host::ParseEditorActions(script, actions, error)) return false;
    for (const auto& a : actions) {
      if (!e_.host.Perform(a)) return false;
    }
    return true;
  }
  std::vector<HandlerCall> TakeCalls() override {
    auto calls = e_.handler->Calls();
    e_.handler->Clear();
    return calls;
  }
  bool Snapshot(const std::string& scale, host::EditorImage& out) override {
    const std::string file = MIREL_BINARY_DIR "/editor-snapshot-" + scale + ".png";
    std::string error;
    return RunSnapshot(file, scale == "1" ? "" : "--scale " + scale) && host::ReadPng(file, out, error);
  }
  std::string Name() const override { return "win32"; }

 private:
  static bool ClientSize(HWND window, int& width, int& height) {
    RECT client;
    if (window == nullptr || !GetClientRect(window, &client)) return false;
    width = client.right - client.left;
    height = client.bottom - client.top;
    return true;
  }

  EditorPlug e_;
};

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

// What mirel-snapshot draws at the same settings, but for the version label,
// which each platform's font path may draw differently (its white ink must
// still be there).
TEST(EditorWindow, ShowsTheOffscreenPictureOfTheSameSettings) {
  WinHostDriver host;
  std::string error;
  ASSERT_TRUE(host.Open(error)) << error;
  host.Pump(100);
  EXPECT_TRUE(testsupport::ShowsSnapshot(host, "1", "snapshot", true));
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

// The built editor at a host's content scale and under the host window's
// resize handle, in the Windows host window.
TEST(EditorWindowScale, ContentScaleResizesThroughTheFrameAndShowsTheScaledSnapshot) {
  WinHostDriver host;
  testsupport::ContentScaleResizesThroughTheFrameAndShowsTheScaledSnapshot(host);
}

TEST(EditorWindowScale, ClickAndDragAtTwiceTheSizeEditAsAtOneForTheSameLogicalDistance) {
  WinHostDriver host;
  testsupport::ClickAndDragAtTwiceTheSizeEditAsAtOneForTheSameLogicalDistance(host);
}

TEST(EditorWindowScale, HostResizeShowsTheSnapshotAtThatScaleAndTheNextEditorOpensAtIt) {
  WinHostDriver host;
  testsupport::HostResizeShowsTheSnapshotAtThatScaleAndTheNextEditorOpensAtIt(host);
}

TEST(EditorWindowScale, OffAspectHostSizeIsPaintedWholeAndAKeptSizeOpensWithinTheScreen) {
  WinHostDriver host;
  testsupport::OffAspectHostSizeIsPaintedWholeWithTheSnapshotCentred(host);
  testsupport::AKeptSizeBeyondTheScreenOpensAtTheLargestThatFits(host);
}

}  // namespace
}  // namespace mirel::test
