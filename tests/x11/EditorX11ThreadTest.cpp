// The audio thread processes loud blocks (the meter moves) while the editor
// thread opens the editor, lets it paint, edits with the pointer and closes
// it, again and again; also run under ThreadSanitizer.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "host/x11/EditorHostX11.h"
#include "tests/support/EditorPlaces.h"
#include "host/EffectInstance.h"
#include "tests/x11/PrivateXServer.h"
#include "host/ProcessBuffers.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"

namespace {

using namespace Steinberg;

TEST(EditorX11Threads, ProcessingRunsWhileTheEditorOpensPaintsAndCloses) {
  xtest::KeepModuleLoaded(MIREL_MODULE_PATH);
  xtest::PrivateXServer server;
  std::string error;
  ASSERT_TRUE(server.Start(error)) << error;
  auto display = mirel::host::X11Display::Open(nullptr, error);
  ASSERT_TRUE(display && display->HasXTest()) << error;
  auto fx = mirel::host::EffectInstance::Open(MIREL_MODULE_PATH, "x11-thread-test", error);
  ASSERT_TRUE(fx) << error;
  ASSERT_TRUE(fx->Prepare(Vst::kSample32, 256, 48000.0, false, Vst::kRealtime, error)) << error;

  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0};
  std::thread audio([&] {
    mirel::host::ProcessBuffers b(Vst::kSample32, 256, 2, 2, 2);
    for (int n = 0; !stop.load() || n < 20; ++n) {
      for (int ch = 0; ch < 2; ++ch) {
        for (int i = 0; i < 256; ++i) b.SetInput(0, ch, i, (i + n) % 2 != 0 ? 0.9 : -0.9);
      }
      b.SetNumSamples(256);
      fx->Processor()->process(b.Data());
      ++blocks;
    }
  });

  auto view = owned(fx->Controller()->createView(Vst::ViewType::kEditor));
  ASSERT_TRUE(view);
  for (int round = 0; round < 4; ++round) {
    mirel::host::EditorHostX11 host(*display);
    ASSERT_TRUE(host.Open(view, error)) << error;
    display->Pump(60);
    const testsupport::EditorPlace input = testsupport::EditorPlaceOf(kInput);
    const testsupport::EditorPlace output = testsupport::EditorPlaceOf(kOutput);
    const int x = input.CentreX(), y = input.CentreY();
    ASSERT_TRUE(host.MouseDown(x, y) && host.MouseMove(x, y - 10) && host.MouseUp(x, y - 10));
    ASSERT_TRUE(host.Wheel(output.CentreX(), output.CentreY(), 1));
    display->Pump(60);
    host.Close();
  }
  stop = true;
  audio.join();
  EXPECT_GE(blocks.load(), 20);
  EXPECT_EQ(display->Loop().TimerCount(), 0u);
}

}  // namespace
