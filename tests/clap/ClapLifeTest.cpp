// The module's entry and factory, and the plug-in's life cycle as hosts
// drive it: in order, out of order, repeated, and on the wrong thread.

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "tests/clap/ClapFixture.h"
#include "host/ClapProcessBuffers.h"
#include "mirel/MirelParams.h"
#include "plugbase/AdapterParamIds.h"

using clap_tests::ClapFixture;
using clap_tests::LoadedModule;
using mirel::host::ClapPlugin;

namespace {

TEST(ClapEntry, DescribesOnePluginAndRefusesOtherIds) {
  const clap_plugin_factory_t& factory = LoadedModule().Factory();
  ASSERT_EQ(factory.get_plugin_count(&factory), 1u);
  EXPECT_EQ(factory.get_plugin_descriptor(&factory, 1), nullptr);
  const clap_plugin_descriptor_t* d = factory.get_plugin_descriptor(&factory, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(clap_version_is_compatible(d->clap_version));
  EXPECT_STREQ(d->id, clap_tests::kPluginId);
  EXPECT_STREQ(d->name, mirel::kEffectName);
  EXPECT_STREQ(d->vendor, mirel::kMakerName);
  EXPECT_STREQ(d->version, mirel::kVersionText);
  ASSERT_NE(d->description, nullptr);
  EXPECT_GT(std::strlen(d->description), 10u);
  std::vector<std::string> features;
  for (const char* const* f = d->features; f && *f; ++f) features.emplace_back(*f);
  EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "compressor", "stereo"}));
  EXPECT_EQ(LoadedModule().Entry().get_factory("clap.no-such-factory"), nullptr);

  clap_host_t host{};
  host.clap_version = CLAP_VERSION;
  struct Row {
    const clap_host_t* host;
    const char* id;
    const char* reason;
  };
  clap_host_t oldHost = host;
  oldHost.clap_version = {0, 9, 0};
  const Row rows[] = {
      {&host, "com.qentworks.mirel2", "an id that only starts like ours"},
      {&host, "", "an empty id"},
      {&host, nullptr, "no id"},
      {nullptr, clap_tests::kPluginId, "no host"},
      {&oldHost, clap_tests::kPluginId, "a host of an incompatible CLAP version"},
  };
  for (const Row& r : rows) EXPECT_EQ(factory.create_plugin(&factory, r.host, r.id), nullptr) << r.reason;
}

TEST_F(ClapFixture, CreatedPluginIsDestroyedWithoutInit) {
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(Make(false));
}

// One step of a host's call sequence on the raw plug-in, as the thread CLAP
// names for it, and what it must answer.
struct Step {
  enum Op { kInit, kActivate, kDeactivate, kStart, kStop, kReset, kProcess } op;
  bool expected;  // the call's result; for kProcess: "not an error"
};

struct Sequence {
  const char* reason;
  std::vector<Step> steps;
};

bool RunStep(ClapPlugin& p, mirel::host::ClapProcessBuffers& buffers, const Step& s) {
  const clap_plugin_t* plugin = p.Plugin();
  switch (s.op) {
    case Step::kInit: return plugin->init(plugin);
    case Step::kActivate: return plugin->activate(plugin, 48000.0, 1, 512);
    case Step::kDeactivate: plugin->deactivate(plugin); return true;
    case Step::kStart: return p.AsAudioThread([&] { return plugin->start_processing(plugin); });
    case Step::kStop: p.AsAudioThread([&] { plugin->stop_processing(plugin); }); return true;
    case Step::kReset: p.AsAudioThread([&] { plugin->reset(plugin); }); return true;
    case Step::kProcess: {
      mirel::host::ClapInputEvents in;
      mirel::host::ClapOutputEvents out;
      return p.Process(buffers.Process(256, in.List(), out.List())) != CLAP_PROCESS_ERROR;
    }
  }
  return false;
}

TEST_F(ClapFixture, CallSequencesInAndOutOfOrderGiveTheirAnswers) {
  using S = Step;
  const Sequence sequences[] = {
      {"the ordinary life", {{S::kInit, true}, {S::kActivate, true}, {S::kStart, true}, {S::kProcess, true},
                             {S::kStop, true}, {S::kDeactivate, true}}},
      {"init twice", {{S::kInit, true}, {S::kInit, false}}},
      {"activate before init", {{S::kActivate, false}, {S::kInit, true}, {S::kActivate, true}}},
      {"activate twice", {{S::kInit, true}, {S::kActivate, true}, {S::kActivate, false}, {S::kStart, true},
                          {S::kProcess, true}}},
      {"deactivate while inactive", {{S::kInit, true}, {S::kDeactivate, true}, {S::kDeactivate, true},
                                     {S::kActivate, true}}},
      {"start before activate", {{S::kInit, true}, {S::kStart, false}, {S::kProcess, false}}},
      {"process before start", {{S::kInit, true}, {S::kActivate, true}, {S::kProcess, false}}},
      {"process after stop", {{S::kInit, true}, {S::kActivate, true}, {S::kStart, true}, {S::kStop, true},
                              {S::kProcess, false}, {S::kStart, true}, {S::kProcess, true}}},
      {"deactivate while processing ends processing",
       {{S::kInit, true}, {S::kActivate, true}, {S::kStart, true}, {S::kDeactivate, true}, {S::kProcess, false},
        {S::kActivate, true}, {S::kStart, true}, {S::kProcess, true}}},
      {"repeated activation", {{S::kInit, true}, {S::kActivate, true}, {S::kDeactivate, true}, {S::kActivate, true},
                               {S::kDeactivate, true}, {S::kActivate, true}, {S::kStart, true},
                               {S::kReset, true}, {S::kProcess, true}}},
      {"a new activation waits for start", {{S::kInit, true}, {S::kActivate, true}, {S::kStart, true},
                                            {S::kDeactivate, true}, {S::kActivate, true}, {S::kProcess, false}}},
      {"reset while inactive", {{S::kInit, true}, {S::kReset, true}, {S::kActivate, true}}},
      {"destroyed while active and processing", {{S::kInit, true}, {S::kActivate, true}, {S::kStart, true}}},
  };
  for (const Sequence& seq : sequences) {
    SCOPED_TRACE(seq.reason);
    auto p = Make(false);
    ASSERT_TRUE(p);
    mirel::host::ClapProcessBuffers buffers({}, 512);
    for (std::size_t i = 0; i < seq.steps.size(); ++i) {
      EXPECT_EQ(RunStep(*p, buffers, seq.steps[i]), seq.steps[i].expected) << "step " << i;
    }
  }
}

TEST_F(ClapFixture, ActivationRefusesRatesAndSizesNoSignalPathRunsAt) {
  struct Row {
    double rate;
    std::uint32_t maxFrames;
    const char* reason;
  };
  const Row rows[] = {
      {0.0, 512, "a rate of 0"},
      {-44100.0, 512, "a negative rate"},
      {std::numeric_limits<double>::quiet_NaN(), 512, "NaN"},
      {std::numeric_limits<double>::infinity(), 512, "an infinite rate"},
      {48000.0, 0, "blocks of at most 0 frames"},
  };
  auto p = Make();
  for (const Row& r : rows) EXPECT_FALSE(p->Plugin()->activate(p->Plugin(), r.rate, 1, r.maxFrames)) << r.reason;
  EXPECT_TRUE(p->Activate(48000.0, 1, 512)) << "the refusals left it inactive";
}

// Each call made on the thread CLAP does not name for it is refused.
TEST_F(ClapFixture, CallsOnTheWrongThreadAreRefused) {
  auto p = Make();
  const clap_plugin_t* plugin = p->Plugin();
  std::vector<std::uint8_t> state;
  struct Row {
    const char* reason;
    std::function<bool()> refused;
  };
  const Row asAudio[] = {
      {"activate", [&] { return !plugin->activate(plugin, 48000.0, 1, 512); }},
      {"params count", [&] { return p->Params()->count(plugin) == 0; }},
      {"state save", [&] { return !p->SaveState(state); }},
      {"audio ports count", [&] { return p->Ports()->count(plugin, true) == 0; }},
  };
  for (const Row& r : asAudio) EXPECT_TRUE(p->AsAudioThread(r.refused)) << r.reason << " on the audio thread";
  EXPECT_FALSE(plugin->start_processing(plugin)) << "start_processing while inactive";
  ASSERT_TRUE(plugin->activate(plugin, 48000.0, 1, 512));
  EXPECT_FALSE(plugin->start_processing(plugin)) << "start_processing on the main thread";
  EXPECT_TRUE(p->AsAudioThread([&] { return plugin->start_processing(plugin); }));
  mirel::host::ClapProcessBuffers buffers({}, 512);
  mirel::host::ClapInputEvents in;
  mirel::host::ClapOutputEvents out;
  in.Add(kBypassParamCodeId, 1.0);
  p->Params()->flush(plugin, in.List(), out.List());
  EXPECT_EQ(p->Value(kBypassParamCodeId), 0.0) << "a flush on the main thread while active";
  in.Clear();
  EXPECT_EQ(plugin->process(plugin, buffers.Process(64, in.List(), out.List())), CLAP_PROCESS_ERROR)
      << "process on the main thread";
  EXPECT_NE(p->Process(buffers.Process(64, in.List(), out.List())), CLAP_PROCESS_ERROR);
}

TEST_F(ClapFixture, AHostWithoutThreadCheckIsTrusted) {
  ClapPlugin::Options options;
  options.threadCheck = false;
  auto p = Make(true, options);
  EXPECT_GT(p->AsAudioThread([&] { return p->Params()->count(p->Plugin()); }), 0u);
  EXPECT_TRUE(p->Activate(44100.0, 1, 256));
}

TEST_F(ClapFixture, PortsAreTheMainPairAndTheSidechainAndLatencyIsZero) {
  auto p = Make();
  const clap_plugin_audio_ports_t* ports = p->Ports();
  ASSERT_NE(ports, nullptr);
  ASSERT_EQ(ports->count(p->Plugin(), true), 2u);
  ASSERT_EQ(ports->count(p->Plugin(), false), 1u);
  struct Row {
    bool input;
    std::uint32_t index;
    const char* name;
    bool main;
    clap_id pair;
  };
  const Row rows[] = {
      {true, 0, "Main Input", true, 0},
      {true, 1, "Aux Input", false, CLAP_INVALID_ID},
      {false, 0, "Output", true, 0},
  };
  for (const Row& r : rows) {
    clap_audio_port_info_t info{};
    ASSERT_TRUE(ports->get(p->Plugin(), r.index, r.input, &info)) << r.name;
    EXPECT_STREQ(info.name, r.name);
    EXPECT_EQ((info.flags & CLAP_AUDIO_PORT_IS_MAIN) != 0, r.main) << r.name;
    EXPECT_NE(info.flags & CLAP_AUDIO_PORT_SUPPORTS_64BITS, 0u) << r.name;
    EXPECT_EQ(info.channel_count, 2u) << r.name;
    EXPECT_STREQ(info.port_type, CLAP_PORT_STEREO) << r.name;
    EXPECT_EQ(info.in_place_pair, r.pair) << r.name;
  }
  clap_audio_port_info_t info{};
  EXPECT_FALSE(ports->get(p->Plugin(), 2, true, &info));
  EXPECT_FALSE(ports->get(p->Plugin(), 1, false, &info));
  ASSERT_NE(p->Latency(), nullptr);
  EXPECT_EQ(p->Latency()->get(p->Plugin()), 0u);
  EXPECT_EQ(p->Plugin()->get_extension(p->Plugin(), "clap.no-such-extension"), nullptr);
}

}  // namespace
