// Host calls outside the happy path: missing or short buffers, oversize
// blocks, parameter flushes, odd rates and block sizes, broken state streams.

#include "tests/integration/PlugFixture.h"
#include "tests/support/StartedPlug.h"

namespace mirel::test {
namespace {

void ExpectFinite(const host::ProcessBuffers& b, int n) {
  for (int ch = 0; ch < b.OutputChannelCount(); ++ch) {
    for (int i = 0; i < n; ++i) ASSERT_TRUE(std::isfinite(b.Output(ch, i))) << "ch " << ch << " i " << i;
  }
}

TEST(Robustness, ProcessBeforeSetUpOrArrangementIsSilentAndSafe) {
  for (int32 size : {kSample32, kSample64}) {
    Plug p;
    host::ProcessBuffers b(size, 256, 2, 2, 2);
    FillInputs(b, 256, 11);
    b.SetNumSamples(256);
    b.FillOutputs(5.0);
    // Not even initialized.
    ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(b.Output(0, i), 0.0);
    // Initialized and set up, but no arrangement was ever given.
    ASSERT_EQ(p.Initialize(), kResultOk);
    ASSERT_EQ(p.Setup(44100.0, 256, size), kResultOk);
    ASSERT_EQ(p.component->setActive(true), kResultOk);
    ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
    ExpectFinite(b, 256);
    p.Stop();
  }
}

TEST(Robustness, MissingBusesAndNullChannelsReadSilence) {
  for (int32 size : {kSample32, kSample64}) {
    StartedPlug p(44100.0, 128, size);
    p.component->activateBus(kAudio, kInput, 1, true);  // the sidechain is expected...
    p.SendParam(kBpas, 1.0);                             // outputs show the inputs
    host::ProcessBuffers b(size, 128, 2, 2, 2);
    FillInputs(b, 128, 5);
    b.SetNumSamples(128);

    // ...but the data holds only the main bus.
    b.SetBusesPassed(1, true);
    ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
    for (int i = 0; i < 128; ++i) ASSERT_EQ(b.Output(1, i), b.Input(0, 1, i));

    // No input bus at all: silence in, silence out.
    b.SetBusesPassed(0, true);
    ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
    for (int i = 0; i < 128; ++i) ASSERT_EQ(b.Output(0, i), 0.0);

    // A bus whose channel array is missing, or that has fewer channels.
    b.SetBusesPassed(2, true);
    AudioBusBuffers& main = b.Data().inputs[0];
    void** saved = reinterpret_cast<void**>(main.channelBuffers32);
    main.channelBuffers32 = nullptr;
    ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
    for (int i = 0; i < 128; ++i) ASSERT_EQ(b.Output(0, i), 0.0);
    main.channelBuffers32 = reinterpret_cast<Sample32**>(saved);
    main.numChannels = 1;
    ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
    for (int i = 0; i < 128; ++i) {
      ASSERT_EQ(b.Output(0, i), b.Input(0, 0, i));
      ASSERT_EQ(b.Output(1, i), 0.0);
    }
    main.numChannels = 2;

    // Without the bypass, the compressor survives the same calls.
    p.SendParam(kBpas, 0.0);
    for (int buses : {0, 1, 2}) {
      b.SetBusesPassed(buses, true);
      ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
      ExpectFinite(b, 128);
    }
    // No output bus: nothing to write, nothing to crash.
    b.SetBusesPassed(2, false);
    ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
  }
}

// Bypassed blocks the set-up did not prepare for, a row each: every block's
// buffers are read as what the block says they are, never past their end,
// and a block longer than the set-up's maximum is rendered whole.
TEST(Robustness, BlocksTheSetUpDidNotPrepareForAreRenderedWhole) {
  struct Row {
    const char* reason;
    int32 setUpSize, blockSize;
    int32 setUpFrames, frames;
    std::uint32_t seed;
    double stale;  // what the outputs held before the block
  };
  const Row rows[] = {
      {"64-bit blocks after a 32-bit set-up", kSample32, kSample64, 128, 128, 8, 4.0},
      {"32-bit blocks after a 64-bit set-up", kSample64, kSample32, 128, 128, 8, 4.0},
      {"32-bit, longer than the maximum", kSample32, kSample32, 64, 1000, 21, 9.0},
      {"64-bit, longer than the maximum", kSample64, kSample64, 64, 1000, 21, 9.0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.reason);
    StartedPlug p(48000.0, r.setUpFrames, r.setUpSize);
    p.SendParam(kBpas, 1.0);
    host::ProcessBuffers b(r.blockSize, r.frames, 2, 2, 2);
    FillInputs(b, r.frames, r.seed);
    b.SetNumSamples(r.frames);
    b.FillOutputs(r.stale);
    ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
    for (int ch = 0; ch < 2; ++ch) {
      for (int i = 0; i < r.frames; ++i) ASSERT_EQ(b.Output(ch, i), b.Input(0, ch, i)) << i;
    }
    // Processed too, not only passed through.
    p.SendParam(kBpas, 0.0);
    ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
    ExpectFinite(b, r.frames);
  }
}

TEST(Robustness, ZeroSampleFlushAppliesChangesAndTouchesNoBuffer) {
  StartedPlug p;
  auto changes = host::MakeHostObject<host::ParameterChanges>();
  changes->Add(kIdRatio, 1.0);
  changes->Add(kBpas, 1.0);
  ProcessData d;  // no buffers at all
  d.numSamples = 0;
  d.inputParameterChanges = changes.get();
  ASSERT_EQ(p.processor->process(d), kResultOk);
  EXPECT_EQ(p.controller->getParamNormalized(kIdRatio), 1.0);
  EXPECT_EQ(p.controller->getParamNormalized(kBpas), 1.0);

  // Zero samples with buffers: they stay as they were.
  host::ProcessBuffers b(kSample32, 32, 2, 2, 2);
  b.FillOutputs(3.0);
  b.SetNumSamples(0);
  ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
  EXPECT_EQ(b.Output(0, 0), 3.0);
}

TEST(Robustness, ExtremeSampleRatesAndOddBlockSizes) {
  const double rates[] = {1000.0, 8000.0, 22050.0, 44100.0, 96000.0, 192000.0, 384000.0, 1411200.0};
  const int blocks[] = {1, 7, 33, 1000, 4099};
  Plug p;
  ASSERT_EQ(p.Initialize(), kResultOk);
  ASSERT_EQ(p.Arrange(), kResultOk);
  p.component->activateBus(kAudio, kInput, 1, true);
  // Settings that stress the filters: high-pass and mid peak at the top of
  // their ranges, heavy ratio, oversampling on.
  for (ParamID id : {kIdHpf, kIdMidFreq, kIdMidGain, kIdRatio, kIdOversample, kIdInterstage, kIdInput}) {
    p.controller->setParamNormalized(id, 1.0);
  }
  std::uint32_t seed = 1;
  for (double rate : rates) {
    for (int block : blocks) {
      SCOPED_TRACE(testing::Message() << rate << " Hz, " << block << " samples");
      ASSERT_EQ(p.component->setActive(false), kResultOk);
      ASSERT_EQ(p.Setup(rate, block), kResultOk);
      ASSERT_EQ(p.component->setActive(true), kResultOk);
      // Parameter changes through process reach the signal path's change handler.
      for (ParamID id : {kIdHpf, kIdMidFreq, kIdMidGain, kIdRatio, kIdOversample, kIdInterstage, kIdInput}) {
        p.SendParam(id, 1.0);
      }
      host::ProcessBuffers b(kSample32, block, 2, 2, 2);
      const int total = std::max(2 * block, 2048);
      for (int done = 0; done < total; done += block) {
        for (int bus = 0; bus < 2; ++bus) {
          for (int ch = 0; ch < 2; ++ch) {
            for (int i = 0; i < block; ++i) b.SetInput(bus, ch, i, Noise(seed));
          }
        }
        b.SetNumSamples(block);
        ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
        ExpectFinite(b, block);
      }
    }
  }
  // Rates and sizes no signal path can run at are refused.
  EXPECT_EQ(p.Setup(0.0, 512), kResultFalse);
  EXPECT_EQ(p.Setup(-44100.0, 512), kResultFalse);
  EXPECT_EQ(p.Setup(std::nan(""), 512), kResultFalse);
  EXPECT_EQ(p.Setup(44100.0, 0), kResultFalse);
  p.Stop();
}

TEST(Robustness, BrokenStateStreamsNeverCorruptTheParameters) {
  StartedPlug p;
  p.SendParam(kIdMix, 0.5);
  p.SendParam(kIdInput, 0.25);
  const std::vector<std::uint8_t> before = p.State();

  // A stream empty or ending inside a value is met in the adapter's own
  // tests, the same code for every plug-in; no stream at all is refused.
  EXPECT_EQ(p.component->setState(nullptr), kInvalidArgument);
  EXPECT_EQ(p.component->getState(nullptr), kInvalidArgument);

  // Garbage: values far out of range, infinities and NaN end inside the ranges.
  std::vector<std::uint8_t> garbage(14 * 8 + 4, 0xFF);  // every double NaN, flag non-zero
  PutLittleEndianDouble(garbage, 8 * kIdOutput, 1e300);
  PutLittleEndianDouble(garbage, 8 * kIdInput, -INFINITY);
  auto garbageStream = host::MakeHostObject<host::MemoryStream>(garbage);
  EXPECT_EQ(p.component->setState(garbageStream.get()), kResultOk);
  const std::vector<std::uint8_t> now = p.State();
  for (ParamID id = 0; id < kIdCount; ++id) {
    const double v = LittleEndianDouble(now, 8 * id);
    ASSERT_TRUE(std::isfinite(v)) << id;
    const double n = p.controller->getParamNormalized(id);
    ASSERT_TRUE(n >= 0.0 && n <= 1.0) << id;
  }
  EXPECT_EQ(LittleEndianDouble(now, 8 * kIdOutput), 30.0);
  EXPECT_EQ(LittleEndianDouble(now, 8 * kIdInput), 0.0);
  EXPECT_EQ(p.controller->getParamNormalized(kBpas), 1.0);
  host::ProcessBuffers b(kSample32, 64, 2, 2, 2);
  FillInputs(b, 64, 4);
  b.SetNumSamples(64);
  ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
  ExpectFinite(b, 64);

  // A stream that delivers a few bytes per read still restores everything.
  auto trickle = host::MakeHostObject<host::MemoryStream>(before);
  trickle->SetMaxBytesPerRead(3);
  EXPECT_EQ(p.controller->setState(trickle.get()), kResultOk);
  EXPECT_EQ(p.State(), before);

  // A stream that refuses writes makes getState fail instead of claiming success.
  auto full = host::MakeHostObject<host::MemoryStream>();
  full->SetCapacity(20);
  EXPECT_EQ(p.component->getState(full.get()), kResultFalse);
}

}  // namespace
}  // namespace mirel::test
