#include <gtest/gtest.h>

#include "host/ProcessBuffers.h"

using mirel::host::ProcessBuffers;
using Steinberg::Vst::kSample32;
using Steinberg::Vst::kSample64;

namespace {

TEST(ProcessBuffers, ThirtyTwoBitLayoutWithSidechain) {
  ProcessBuffers b(kSample32, 64, 2, 2, 2);
  auto& d = b.Data();
  EXPECT_EQ(d.symbolicSampleSize, kSample32);
  EXPECT_EQ(d.numInputs, 2);
  EXPECT_EQ(d.numOutputs, 1);
  EXPECT_EQ(d.inputs[0].numChannels, 2);
  EXPECT_EQ(d.inputs[1].numChannels, 2);
  EXPECT_EQ(d.outputs[0].numChannels, 2);
  EXPECT_EQ(d.processContext, &b.Context());
  EXPECT_EQ(d.inputs[1].channelBuffers32[1], b.In32(1, 1));
  EXPECT_EQ(b.In64(0, 0), nullptr);
  EXPECT_EQ(b.In32(2, 0), nullptr);
  EXPECT_EQ(b.Out32(2), nullptr);

  b.SetInput(0, 1, 5, 0.1);
  EXPECT_EQ(d.inputs[0].channelBuffers32[1][5], 0.1f);
  EXPECT_EQ(b.Input(0, 1, 5), static_cast<double>(0.1f));  // rounded to float
  d.outputs[0].channelBuffers32[0][63] = 0.25f;
  EXPECT_EQ(b.Output(0, 63), 0.25);
  EXPECT_EQ(b.Output(0, 64), 0.0);  // outside: no read past the buffer

  b.SetNumSamples(100);
  EXPECT_EQ(d.numSamples, 64);
  b.SetNumSamples(-3);
  EXPECT_EQ(d.numSamples, 0);
}

TEST(ProcessBuffers, SixtyFourBitKeepsFullPrecision) {
  ProcessBuffers b(kSample64, 16);
  auto& d = b.Data();
  EXPECT_EQ(d.numInputs, 1);
  EXPECT_EQ(d.inputs[0].channelBuffers64[0], b.In64(0, 0));
  EXPECT_EQ(b.In32(0, 0), nullptr);
  b.SetInput(0, 0, 0, 0.1);
  EXPECT_EQ(b.Input(0, 0, 0), 0.1);
  b.FillOutputs(-7.5);
  EXPECT_EQ(d.outputs[0].channelBuffers64[1][15], -7.5);
  b.ClearInputs();
  EXPECT_EQ(b.Input(0, 0, 0), 0.0);
}

TEST(ProcessBuffers, BusesCanBeLeftOutOfTheCall) {
  ProcessBuffers b(kSample32, 8, 2, 2, 2);
  b.SetBusesPassed(1, true);
  EXPECT_EQ(b.Data().numInputs, 1);
  b.SetBusesPassed(0, false);
  EXPECT_EQ(b.Data().numInputs, 0);
  EXPECT_EQ(b.Data().inputs, nullptr);
  EXPECT_EQ(b.Data().numOutputs, 0);
  EXPECT_EQ(b.Data().outputs, nullptr);
  b.SetBusesPassed(5, true);
  EXPECT_EQ(b.Data().numInputs, 2);
  b.SetContextPassed(false);
  EXPECT_EQ(b.Data().processContext, nullptr);
}

}  // namespace

namespace {

// A faulty plug-in may scribble on the record it is handed; the host's own
// accessors keep to the buffers it allocated.
TEST(ProcessBuffers, AccessorsIgnoreWhatThePlugInWritesIntoTheRecord) {
  for (auto size : {kSample32, kSample64}) {
    ProcessBuffers b(size, 8, 2, 2, 2);
    auto& d = b.Data();
    d.outputs[0].numChannels = 64;
    d.inputs[0].numChannels = 64;
    d.inputs[1].numChannels = -5;
    d.symbolicSampleSize = size == kSample32 ? kSample64 : kSample32;
    EXPECT_EQ(b.OutputChannelCount(), 2);
    EXPECT_EQ(b.ChannelCount(0), 2);
    EXPECT_EQ(b.ChannelCount(1), 2);
    EXPECT_EQ(b.Is64(), size == kSample64);
    EXPECT_EQ(b.Output(40, 0), 0.0);
    EXPECT_EQ(b.Input(0, 40, 0), 0.0);
    b.SetInput(0, 40, 0, 1.0);  // ignored, no write outside the buffers
    EXPECT_EQ(b.Out32(40), nullptr);
    EXPECT_EQ(b.Out64(40), nullptr);
  }
}

}  // namespace
