// The built module's editor in a Windows host window, driven from outside the
// module as a DAW drives it: the view, the window, the gestures and their
// edit notifications, while an audio thread processes blocks with parameter
// changes.

#include <atomic>
#include <memory>
#include <thread>

#include "host/EditorActions.h"
#include "host/win32/EditorHostWin.h"
#include "tests/support/EditorPlaces.h"
#include "tests/support/EditorScript.h"
#include "tests/support/EditorScaleScenario.h"
#include "tests/support/WinSnapshot.h"
#include "tests/integration/PlugFixture.h"
#include "tests/support/StartedPlug.h"
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
  StartedPlug p{48000.0, 128};
  IPtr<host::RecordingComponentHandler> handler = host::MakeHostObject<host::RecordingComponentHandler>();
  IPtr<IPlugView> view;
  host::EditorHostWin host;

  EditorPlug() {
    p.component->activateBus(kAudio, BusDirections::kInput, 1, true);
    p.controller->setComponentHandler(handler.get());
    view = owned(p.controller->createView("editor"));
  }
  ~EditorPlug() {
    host.Close();
    view = nullptr;
  }
  void Open() {
    std::string error;
    ASSERT_TRUE(host.Open(view.get(), error)) << error;
    host.Pump(120);
  }
  void Do(const char* script) { ASSERT_TRUE(testsupport::ReplayScript(host, script)) << script; }
};

// The Windows host as the editor scenarios drive it: one instance, its view
// and a host window for it.
class WinHostDriver : public testsupport::EditorHostDriver {
 public:
  // With audio, an audio thread processes blocks that change parameters the
  // gestures leave alone (which the pictures then show).
  explicit WinHostDriver(bool withAudio = false) {
    if (withAudio) audio_ = std::make_unique<AudioThread>(e_.p.processor.get());
  }
  ~WinHostDriver() override {
    if (audio_) {
      EXPECT_GT(audio_->Blocks(), 0) << "the audio thread processed nothing";
    }
  }
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
  bool Do(const std::string& script) override { return testsupport::ReplayScript(e_.host, script); }
  std::vector<HandlerCall> TakeCalls() override {
    auto calls = e_.handler->Calls();
    e_.handler->Clear();
    return calls;
  }
  bool Snapshot(const std::string& scale, host::EditorImage& out) override {
    return testsupport::WinSnapshot(MIREL_SNAPSHOT_EXE, scale, MIREL_BINARY_DIR "/editor-snapshot-" + scale + ".png", out);
  }
  std::string Name() const override { return "win32"; }
  std::string PlatformType() const override { return "HWND"; }

 private:
  static bool ClientSize(HWND window, int& width, int& height) {
    RECT client;
    if (window == nullptr || !GetClientRect(window, &client)) return false;
    width = client.right - client.left;
    height = client.bottom - client.top;
    return true;
  }

  EditorPlug e_;
  std::unique_ptr<AudioThread> audio_;
};

HINSTANCE ModuleOf(HWND window) { return reinterpret_cast<HINSTANCE>(GetClassLongPtrA(window, GCLP_HMODULE)); }

bool ClassRegistered(HINSTANCE module) {
  WNDCLASSA wc;
  return GetClassInfoA(module, "IEffectWndClass", &wc) != 0;
}

// The view's answers, its picture and the gestures (while an audio thread
// processes blocks): the scenarios every window host runs.
TEST(EditorWindow, OpensAtTheEditorsSizeAndShowsTheSnapshot) {
  // The version label may be drawn otherwise by this platform's font path.
  WinHostDriver host;
  testsupport::OpensAtTheEditorsSizeAndShowsTheSnapshot(host, true);
}

TEST(EditorWindow, GesturesEditWithBalancedCallsWhileAudioRuns) {
  WinHostDriver host(true);
  testsupport::GesturesEditWithBalancedCallsAt(host, 1.0f);
}

TEST(EditorWindow, OpensAChildWindowOfTheEditorClass) {
  EditorPlug e;
  e.Open();
  HWND window = e.host.PluginWindow();
  ASSERT_NE(window, nullptr);
  char cls[64] = {};
  GetClassNameA(window, cls, sizeof cls);
  EXPECT_STREQ(cls, "IEffectWndClass");
  EXPECT_EQ(GetParent(window), e.host.TopWindow());
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

TEST(EditorWindowScale, GesturesAtTwiceTheSizeEditAsAtOneForTheSameLogicalDistance) {
  WinHostDriver host(true);
  testsupport::GesturesEditWithBalancedCallsAt(host, 2.0f);
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
