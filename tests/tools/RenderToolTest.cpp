// Runs mirel-render as a process, the way users and scripts do, against the
// built Mirel bundle and against a small second effect module.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "host/EffectInstance.h"
#include "host/ParameterChanges.h"
#include "host/ProcessBuffers.h"
#include "mirel/ParamTable.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

using testsupport::TempDir;

// Runs `program` with `args`; stdout and stderr go to files in `dir`.
RunResult RunProgram(const TempDir& dir, const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> all = {program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string outPath = (dir / "stdout.txt").string();
  const std::string errPath = (dir / "stderr.txt").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  RunResult r;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    r.err = "spawn failed";
    return r;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = Slurp(outPath);
  r.err = Slurp(errPath);
  return r;
}

// A number field of the --json summary; NaN when it is missing.
double JsonNumber(const std::string& json, const std::string& key) {
  const auto at = json.find("\"" + key + "\": ");
  return at == std::string::npos ? NAN : std::strtod(json.c_str() + at + key.size() + 4, nullptr);
}

struct Sound {
  int rate = 44100;
  int channels = 2;
  long long frames = 0;
  std::vector<double> samples;  // interleaved
  int subtype = 0;              // of the file read: SF_FORMAT_FLOAT, SF_FORMAT_DOUBLE, ...
};

void WriteSound(const fs::path& p, const Sound& s) {
  SF_INFO info{};
  info.samplerate = s.rate;
  info.channels = s.channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(p.string().c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  sf_writef_double(f, s.samples.data(), s.frames);
  sf_close(f);
}

Sound ReadSound(const fs::path& p) {
  Sound s;
  SF_INFO info{};
  SNDFILE* f = sf_open(p.string().c_str(), SFM_READ, &info);
  if (f == nullptr) return s;
  s.rate = info.samplerate;
  s.channels = info.channels;
  s.frames = info.frames;
  s.subtype = info.format & SF_FORMAT_SUBMASK;
  s.samples.resize(static_cast<size_t>(info.frames * info.channels));
  sf_readf_double(f, s.samples.data(), info.frames);
  sf_close(f);
  return s;
}

// Seeded test music: a decaying 110 Hz burst every 0.1 s over quiet noise,
// float-representable, different in the two channels. Loud enough to be
// compressed, quiet between bursts so that the gain recovers.
Sound TestSignal(long long frames, int channels = 2, int rate = 44100, std::uint32_t seed = 12345) {
  Sound s;
  s.rate = rate;
  s.channels = channels;
  s.frames = frames;
  s.samples.resize(static_cast<size_t>(frames * channels));
  std::uint32_t state = seed;
  const long long period = rate / 10;
  for (long long i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i % period) / rate;
    const double burst = 0.8 * std::exp(-t * 30.0) * std::sin(2 * 3.14159265358979 * 110.0 * static_cast<double>(i) / rate);
    for (int c = 0; c < channels; ++c) {
      state = state * 1664525u + 1013904223u;
      const double noise = (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 0.02;
      s.samples[static_cast<size_t>(i * channels + c)] =
          static_cast<float>(burst * (c == 0 ? 1.0 : 0.9) + noise);
    }
  }
  return s;
}

// The plug-ins the tool is tested with, and settings that change the sound.
struct PluginCase {
  std::string name;
  std::string path;
  std::vector<std::pair<std::string, double>> settings;  // --set NAME=VALUE (by name)
  std::vector<std::pair<ParamID, double>> plainById;      // the same, by id, plain
  // The VST3 module the in-process render goes through: the module itself,
  // or for a CLAP module its VST3 twin, whose bits it must give.
  std::string reference = path;
};

void PrintTo(const PluginCase& pc, std::ostream* os) { *os << pc.name; }

PluginCase MirelCase() {
  return {"Mirel",
          MIREL_BUNDLE,
          {{"Input", 30}, {"Ratio", 2}, {"Attack", 0.0001}, {"Mix", 100}},
          {{0, 30}, {4, 2}, {2, 0.0001}, {6, 100}}};
}

PluginCase MirelClapCase() {
  PluginCase c = MirelCase();
  c.name = "MirelClap";
  c.path = MIREL_CLAP;
  return c;
}

PluginCase FakeCase() {
  return {"Fake", FAKE_EFFECT, {{"Gain", -6}, {"Smooth", 0.99}}, {{0, -6}, {1, 0.99}}};
}

std::vector<std::string> SetArgs(const PluginCase& pc) {
  std::vector<std::string> args = {"--plugin", pc.path, "--quiet"};
  for (const auto& [name, value] : pc.settings) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s=%.17g", name.c_str(), value);
    args.push_back("--set");
    args.push_back(buf);
  }
  return args;
}

std::string FirstDifference(const Sound& a, const Sound& b) {
  if (a.frames != b.frames || a.channels != b.channels) {
    return "shapes differ: " + std::to_string(a.frames) + "x" + std::to_string(a.channels) + " vs " +
           std::to_string(b.frames) + "x" + std::to_string(b.channels);
  }
  for (size_t i = 0; i < a.samples.size(); ++i) {
    if (a.samples[i] != b.samples[i]) {
      char buf[128];
      std::snprintf(buf, sizeof buf, "frame %zu channel %zu: %.17g vs %.17g", i / 2, i % 2,
                    a.samples[i], b.samples[i]);
      return buf;
    }
  }
  return {};
}

// The same render done here in-process through host/: load, set up, one
// block after another, parameter values as normalised changes in block one.
Sound RenderInProcess(const PluginCase& pc, const Sound& in, int block, int32 sampleSize) {
  std::string error;
  auto fx = mirel::host::EffectInstance::Open(pc.reference, "test", error);
  EXPECT_NE(fx, nullptr) << error;
  if (!fx) return {};
  EXPECT_TRUE(fx->Prepare(sampleSize, block, in.rate, false, kOffline, error)) << error;
  mirel::host::ProcessBuffers buffers(sampleSize, block, 2, fx->InputBusCount() > 1 ? 2 : 0, 2);
  auto changes = mirel::host::MakeHostObject<mirel::host::ParameterChanges>();
  for (const auto& [id, plain] : pc.plainById) {
    changes->Add(id, fx->Controller()->plainParamToNormalized(id, plain));
  }
  buffers.SetParameterChanges(changes.get());
  Sound out;
  out.rate = in.rate;
  out.frames = in.frames;
  out.samples.resize(static_cast<size_t>(in.frames * 2));
  for (long long done = 0; done < in.frames; done += block) {
    const int n = static_cast<int>(std::min<long long>(block, in.frames - done));
    buffers.SetNumSamples(n);
    for (int i = 0; i < n; ++i) {
      for (int c = 0; c < 2; ++c) {
        buffers.SetInput(0, c, i, in.samples[static_cast<size_t>((done + i) * in.channels + std::min(c, in.channels - 1))]);
      }
    }
    fx->Processor()->process(buffers.Data());
    changes->Clear();
    for (int i = 0; i < n; ++i) {
      for (int c = 0; c < 2; ++c) out.samples[static_cast<size_t>(2 * (done + i) + c)] = buffers.Output(c, i);
    }
  }
  return out;
}

// A folder of its own for each test, and the tool run inside it.
class ToolRun {
 protected:
  std::string At(const std::string& name) const { return (dir_ / name).string(); }
  RunResult Tool(const std::vector<std::string>& args) const { return RunProgram(dir_, MIREL_RENDER, args); }
  // The case's plug-in and settings, then `extra`.
  RunResult Render(const PluginCase& pc, const std::vector<std::string>& extra) const {
    auto args = SetArgs(pc);
    args.insert(args.end(), extra.begin(), extra.end());
    return Tool(args);
  }
  // Writes `s` as `name` in the folder; returns its path.
  std::string Wav(const std::string& name, const Sound& s) const {
    WriteSound(dir_ / name, s);
    return At(name);
  }
  Sound Read(const std::string& name) const { return ReadSound(dir_ / name); }

  TempDir dir_;
};

class RenderTool : public ::testing::TestWithParam<PluginCase>, protected ToolRun {
 protected:
  void SetUp() override {
    if (!fs::exists(GetParam().path)) {
      GTEST_SKIP() << GetParam().name << " module not built (" << GetParam().path
                   << "); build target mirel_vst3";
    }
  }
};

// Both precisions give the in-process render's samples, each stored in its
// own width.
TEST_P(RenderTool, FileMatchesAnInProcessRenderSampleForSample) {
  const Sound in = TestSignal(9000);
  const std::string inPath = Wav("in.wav", in);
  for (int precision : {32, 64}) {
    SCOPED_TRACE(precision);
    const std::string out = "out" + std::to_string(precision) + ".wav";
    const RunResult r = Render(GetParam(), {"--precision", std::to_string(precision), inPath, At(out)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Sound here = RenderInProcess(GetParam(), in, 512, precision == 64 ? kSample64 : kSample32);
    EXPECT_EQ(FirstDifference(Read(out), here), "");
  }
  // By default the 64-bit render is stored as doubles, the 32-bit one as floats.
  EXPECT_EQ(Read("out64.wav").subtype, SF_FORMAT_DOUBLE);
  EXPECT_EQ(Read("out32.wav").subtype, SF_FORMAT_FLOAT);
}

TEST_P(RenderTool, BlockSizesGiveIdenticalOutput) {
  const Sound in = TestSignal(6000);
  const std::string inPath = Wav("in.wav", in);
  Sound reference;
  for (int block : {4096, 1, 17}) {
    SCOPED_TRACE(block);
    const RunResult r = Render(GetParam(), {"--block", std::to_string(block), inPath, At("out.wav")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Sound s = Read("out.wav");
    ASSERT_EQ(s.frames, in.frames);
    if (reference.frames == 0) {
      reference = s;
    } else {
      EXPECT_EQ(FirstDifference(s, reference), "");
    }
  }
}

// Mono or stereo, empty or not, with a sidechain shorter than the input (then
// followed by silence): a stereo file at the input's rate with every frame.
// Identical channels in give identical channels out (both plug-ins treat the
// channels alike).
TEST_P(RenderTool, OutputIsStereoAndKeepsEveryFrame) {
  struct Case {
    const char* why;
    long long frames;
    int channels;
    std::vector<std::string> options;
  };
  const std::string shortSidechain = Wav("sc.wav", TestSignal(1000, 1, 44100, 99));
  const Case cases[] = {
      {"mono input feeds both channels", 1234, 1, {"--block", "500", "--format", "pcm24"}},
      {"empty input gives an empty stereo file", 0, 2, {}},
      {"a short sidechain is followed by silence", 3000, 2, {"--sidechain", shortSidechain}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    auto args = c.options;
    args.insert(args.end(), {Wav("in.wav", TestSignal(c.frames, c.channels)), At("out.wav")});
    const RunResult r = Render(GetParam(), args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Sound out = Read("out.wav");
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.frames, c.frames);
    EXPECT_EQ(out.rate, 44100);
    if (c.channels != 1) continue;
    for (long long i = 0; i < out.frames; ++i) {
      ASSERT_EQ(out.samples[static_cast<size_t>(2 * i)], out.samples[static_cast<size_t>(2 * i + 1)]) << i;
    }
  }
}

TEST_P(RenderTool, StateSavedAfterARenderReproducesIt) {
  const std::string in = Wav("in.wav", TestSignal(3000));
  RunResult r = Render(GetParam(), {"--state-out", At("state.bin"), in, At("a.wav")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_GT(fs::file_size(dir_ / "state.bin"), 0u);
  r = Tool({"--plugin", GetParam().path, "--quiet", "--state-in", At("state.bin"), in, At("b.wav")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(FirstDifference(Read("a.wav"), Read("b.wav")), "");
}

TEST_P(RenderTool, JsonSummaryDescribesTheRender) {
  const RunResult r = Render(GetParam(), {"--json", Wav("in.wav", TestSignal(4410)), At("out.wav")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const char* key : {"\"frames\": 4410", "\"sample_rate\": 44100", "\"input_peak_dbfs\"",
                          "\"output_rms_dbfs\"", "\"largest_gain_reduction_db\"", "\"parameters\"",
                          "\"input_level_range_db\"", "\"output_level_range_db\"", "out.wav"}) {
    EXPECT_NE(r.out.find(key), std::string::npos) << key << " missing in\n" << r.out;
  }
  EXPECT_NE(r.out.find("\"title\": \"" + GetParam().settings.front().first + "\""), std::string::npos) << r.out;
}

// Every failure: its message, a non-zero exit, and an existing OUTPUT left as it was.
TEST_P(RenderTool, ErrorsNameTheProblemAndLeaveTheOutputAlone) {
  const std::string in = Wav("in.wav", TestSignal(2000));
  const std::string in48 = Wav("in48.wav", TestSignal(2000, 2, 48000));
  const std::string three = Wav("three.wav", TestSignal(2000, 3));
  std::ofstream(dir_ / "text.wav") << "this is not audio";
  std::ofstream(dir_ / "short.bin") << "abc";
  const std::string out = At("out.wav");
  const std::string original = "precious bytes";
  const std::string plugin = GetParam().path;
  const std::string firstName = GetParam().settings.front().first;

  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--plugin", plugin, At("missing.wav"), out}, "no such file"},
      {{"--plugin", plugin, At("text.wav"), out}, "cannot read"},
      {{"--plugin", At("Nothing.vst3"), in, out}, "no such file"},
      {{"--plugin", FAKE_NOFACTORY_MODULE, in, out}, "no GetPluginFactory"},
      {{"--plugin", FAKE_FACTORY_MODULE, in, out}, "no audio effect class"},
      {{"--plugin", FAKE_FAILING_MODULE, in, out}, "createInstance failed"},
      {{"--plugin", plugin, "--set", "Loudness=3", in, out}, "valid names: " + firstName},
      {{"--plugin", plugin, "--set", firstName + "=1e6", in, out}, "out of range"},
      {{"--plugin", plugin, "--set", firstName + "=loud", in, out}, "cannot read 'loud'"},
      {{"--plugin", plugin, "--set", "99=1", in, out}, "no parameter with index 99"},
      {{"--plugin", plugin, "--set", "=1", in, out}, "expects NAME=VALUE"},
      {{"--plugin", plugin, "--set-normalized", "0=1.5", in, out}, "0 to 1"},
      {{"--plugin", plugin, "--set-normalized", "xyz=0.5", in, out}, "valid ids"},
      {{"--plugin", plugin, "--sidechain", in48, in, out}, "48000 Hz"},
      {{"--plugin", plugin, "--sidechain", At("none.wav"), in, out}, "no such file"},
      // More than two channels is refused rather than guessed at (no downmix).
      {{"--plugin", plugin, three, out}, "has 3 channels; mirel-render takes mono or stereo"},
      {{"--plugin", plugin, "--sidechain", three, in, out}, "has 3 channels; it must be mono or stereo"},
      {{"--plugin", plugin, "--state-in", At("none.bin"), in, out}, "no such file"},
      {{"--plugin", plugin, "--block", "0", in, out}, "1 to 65536"},
      {{"--plugin", plugin, "--block", "65537", in, out}, "1 to 65536"},
      {{"--plugin", plugin, "--precision", "16", in, out}, "32 or 64"},
      {{"--plugin", plugin, in, At("out.xyz")}, "file type"},
      {{"--plugin", plugin, in}, "expected INPUT and OUTPUT"},
      {{"--plugin", plugin, "--state-in", At("short.bin"), in, out}, "could not restore"},
      {{"--plugin", plugin, in, (dir_ / "no-folder" / "out.wav").string()}, "cannot write"},
  };
  for (const auto& c : cases) {
    std::ofstream(out, std::ios::binary) << original;
    const RunResult r = Tool(c.args);
    std::string joined;
    for (const auto& a : c.args) joined += a + " ";
    SCOPED_TRACE(joined);
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << "stderr: " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
    EXPECT_EQ(Slurp(out), original);
  }
  // No temporary file is left behind.
  for (const auto& entry : fs::directory_iterator(dir_.Path())) {
    EXPECT_EQ(entry.path().filename().string().find(".partial-"), std::string::npos) << entry.path();
  }
  // A successful run replaces the file.
  std::ofstream(out, std::ios::binary) << original;
  const RunResult ok = Tool({"--plugin", plugin, "--quiet", in, out});
  EXPECT_EQ(ok.exitCode, 0) << ok.err;
  EXPECT_EQ(ReadSound(out).frames, 2000);
}

INSTANTIATE_TEST_SUITE_P(Plugins, RenderTool, ::testing::Values(MirelCase(), MirelClapCase(), FakeCase()),
                         [](const auto& param) { return param.param.name; });

// What only the Mirel module has.
class RenderMirel : public ::testing::Test, protected ToolRun {
 protected:
  void SetUp() override {
    if (!fs::exists(MIREL_BUNDLE)) GTEST_SKIP() << "Mirel module not built (" << MIREL_BUNDLE << ")";
  }
};

// The list holds the program and host-bypass parameters, then the plug-in's
// own table by index.
TEST_F(RenderMirel, ListParamsShowsTheSixteenHostParameters) {
  // The default --plugin is the bundle beside the tool.
  const RunResult r = Tool({"--list-params"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> lines;
  std::istringstream text(r.out);
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 3u + kNumParams) << r.out;  // header, program, host bypass, the table
  std::vector<std::pair<std::string, std::string>> expected = {{"prst", "Preset"}, {"bpas", "Bypass"}};
  for (const mirel::ParamRow& row : mirel::kParamTable) expected.emplace_back(std::to_string(row.index), row.name);
  for (size_t i = 0; i < expected.size(); ++i) {
    const std::string& l = lines[i + 1];
    EXPECT_EQ(l.substr(0, l.find(' ')), expected[i].first) << l;
    EXPECT_NE(l.find(" " + expected[i].second + " "), std::string::npos) << l;
  }
  // Current value texts as the plug-in gives them, in real units.
  EXPECT_NE(lines[3].find(" off"), std::string::npos) << lines[3];
  EXPECT_NE(lines[5].find(" 0.40 ms"), std::string::npos) << lines[5];
  // Settings show up in the list.
  const RunResult set = Tool({"--list-params", "--set", "input=40.00", "--set", "RATIO=3"});
  ASSERT_EQ(set.exitCode, 0) << set.err;
  EXPECT_NE(set.out.find("-40.0 dB"), std::string::npos) << set.out;
  EXPECT_NE(set.out.find("12:1"), std::string::npos) << set.out;
  // The last setting given for a parameter wins, whichever option gave it.
  const RunResult last = Tool({"--list-params", "--set", "Input=40", "--set-normalized", "0=0.25",
                               "--set-normalized", "1=0.25", "--set", "Output=6"});
  ASSERT_EQ(last.exitCode, 0) << last.err;
  EXPECT_NE(last.out.find(" -20.0 dB\n"), std::string::npos) << last.out;  // Input 0.25 x 80
  EXPECT_NE(last.out.find(" +6.0 dB\n"), std::string::npos) << last.out;   // Output
  // Values with a unit or a list text are read as a host reads them; a bare
  // number stays the plain value.
  const RunResult units = Tool({"--list-params", "--set", "Input=-30dB", "--set", "Attack=0.7 ms", "--set",
                                "Ratio=8:1", "--set", "Oversample=16x", "--set", "13=ext", "--set",
                                "Mid Freq=2k", "--set", "Mix=90"});
  ASSERT_EQ(units.exitCode, 0) << units.err;
  for (const char* shown : {" -30.0 dB\n", " 0.70 ms\n", " 8:1\n", " 16x\n", " EXT\n", " 2.00 kHz\n", " 90 %\n"}) {
    EXPECT_NE(units.out.find(shown), std::string::npos) << shown << units.out;
  }
  // A refusal names the parameter and the forms it takes.
  const RunResult bad = Tool({"--list-params", "--set", "Ratio=8"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("'Ratio'"), std::string::npos) << bad.err;
  EXPECT_NE(bad.err.find("'2:1', '4:1', '8:1', '12:1'"), std::string::npos) << bad.err;
}

// mirel-render and mirel-snapshot read parameter texts through one resolver:
// the same text gets the same answer, message and exit status from both.
TEST_F(RenderMirel, RenderAndSnapshotReadParameterTextsAlike) {
  const std::vector<std::vector<std::string>> cases = {
      {"--set", "Ratio=12"},           {"--set", "Input=loud"},       {"--set", "Input=99"},
      {"--set", "Attack=inf"},         {"--set", "Sidechain=1"},      {"--set", "Loudness=1"},
      {"--set", "42=1"},               {"--set-normalized", "0=1.5"}, {"--set-normalized", "xyz=0.5"},
      {"--set-normalized", "bpas=nan"}, {"--set", "Ratio=8:1"},       {"--set", "Input=-30dB"},
      {"--set-normalized", "prst=1"},  {"--set-normalized", "mix=0.5"},
      // The README's preset form K/6, and fractions that name no value.
      {"--set-normalized", "prst=2/6"}, {"--set-normalized", "prst=7/6"}, {"--set-normalized", "prst=1/0"},
      {"--set-normalized", "prst=/6"}};
  for (const auto& args : cases) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    const RunResult r = Tool({args[0], args[1], "--list-params"});
    const RunResult s = RunProgram(dir_, MIREL_SNAPSHOT, {args[0], args[1], At("out.png")});
    EXPECT_EQ(r.exitCode, s.exitCode) << r.err << s.err;
    EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 2) << r.err;
    EXPECT_EQ(r.err.substr(r.err.find(':') + 1), s.err.substr(s.err.find(':') + 1));
    if (args[1] == "prst=2/6") {
      EXPECT_EQ(r.exitCode, 0) << r.err;
    } else if (args[1] == "prst=7/6") {
      EXPECT_EQ(r.exitCode, 2) << r.err;
    }
  }
}

TEST_F(RenderMirel, SharedNameIsRefusedNamingBothIndices) {
  const std::string in = Wav("in.wav", TestSignal(100));
  for (const char* option : {"--set", "--set-normalized"}) {
    const RunResult r = Tool({option, "sidechain=1", in, At("out.wav")});
    EXPECT_NE(r.exitCode, 0) << option;
    EXPECT_NE(r.err.find("5 and 13"), std::string::npos) << option << ": " << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "out.wav"));
  }
  // By index it works; the host bypass takes a normalised value.
  const RunResult ok = Tool({"--quiet", "--set", "5=100", "--set-normalized", "bpas=1", in, At("out.wav")});
  EXPECT_EQ(ok.exitCode, 0) << ok.err;
}

// Under the host's bypass the plug-in passes its input through unchanged.
// The flag travels in the state blob: restored, it bypasses the render, and
// it comes back out unchanged (the plug-in clears it when processing is set
// up, so the tool restores the state after that).
TEST_F(RenderMirel, HostBypassPassesTheInputThroughAndIsKeptInTheState) {
  const Sound in = TestSignal(3000);
  const std::string inPath = Wav("in.wav", in);
  RunResult r = Render(MirelCase(), {"--set-normalized", "bpas=1", "--state-out", At("a.bin"), inPath, At("a.wav")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(FirstDifference(Read("a.wav"), in), "");
  const std::string blob = Slurp(dir_ / "a.bin");
  ASSERT_GE(blob.size(), 4u);
  EXPECT_EQ(blob.substr(blob.size() - 4), std::string("\x01\0\0\0", 4));  // little-endian flag
  r = Tool({"--quiet", "--state-in", At("a.bin"), "--state-out", At("b.bin"), inPath, At("b.wav")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(FirstDifference(Read("b.wav"), in), "");
  EXPECT_EQ(Slurp(dir_ / "b.bin"), blob);
}

// Sample rates far from the usual ones: every frame kept, the rate kept,
// finite output that the compressor has turned down.
TEST_F(RenderMirel, LowAndHighSampleRatesRender) {
  for (int rate : {8000, 192000}) {
    SCOPED_TRACE(rate);
    const Sound in = TestSignal(rate / 2, 2, rate);
    const RunResult r = Render(MirelCase(), {Wav("in.wav", in), At("out.wav")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Sound out = Read("out.wav");
    EXPECT_EQ(out.rate, rate);
    ASSERT_EQ(out.frames, in.frames);
    double peakIn = 0;
    double peakOut = 0;
    for (size_t i = 0; i < out.samples.size(); ++i) {
      ASSERT_TRUE(std::isfinite(out.samples[i])) << "sample " << i;
      peakIn = std::max(peakIn, std::fabs(in.samples[i]));
      peakOut = std::max(peakOut, std::fabs(out.samples[i]));
    }
    EXPECT_LT(peakOut, 0.5 * peakIn);  // threshold -30 dB, 8:1
  }
}

// The demo's loop with the demo's setting (scripts/demo): about as loud as
// the loop, with the gap between its loud and quiet moments clearly narrowed.
TEST_F(RenderMirel, DemoSettingAudiblyCompressesTheDemoLoop) {
  const std::string loop = At("loop.wav");
  RunResult r = RunProgram(dir_, MIREL_DEMO_LOOP, {loop, "4"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = Tool({"--quiet", "--json", "--set", "Input=30", "--set", "Ratio=2", "--set", "Attack=0.0001", "--set",
            "Release=0.1", "--set", "Mix=100", "--set", "Output=18", loop, At("out.wav")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const double rangeIn = JsonNumber(r.out, "input_level_range_db");
  const double rangeOut = JsonNumber(r.out, "output_level_range_db");
  EXPECT_GT(rangeIn, 8.0) << r.out;
  EXPECT_LT(rangeOut, rangeIn - 4.0) << r.out;
  EXPECT_NEAR(JsonNumber(r.out, "output_rms_dbfs"), JsonNumber(r.out, "input_rms_dbfs"), 3.0) << r.out;
}

// The small effect adds "Sidechain Mix" percent of the sidechain to its input,
// so the sidechain's path through the tool can be followed sample by sample.
class RenderSidechain : public ::testing::Test, protected ToolRun {};

TEST_F(RenderSidechain, MonoSidechainReachesBothChannelsThenSilence) {
  const Sound in = TestSignal(3000);
  const Sound sc = TestSignal(1000, 1, 44100, 99);
  const std::string inPath = Wav("in.wav", in);
  const PluginCase mix{"Fake", FAKE_EFFECT, {{"smooth", 0}, {"Sidechain Mix", 100}}, {}};
  RunResult r = Render(mix, {"--sidechain", Wav("sc.wav", sc), inPath, At("with.wav")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = Render(mix, {inPath, At("without.wav")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Sound a = Read("with.wav");
  const Sound b = Read("without.wav");
  ASSERT_EQ(a.frames, 3000);
  ASSERT_EQ(b.frames, 3000);
  for (long long i = 0; i < 3000; ++i) {
    for (int c = 0; c < 2; ++c) {
      const auto k = static_cast<size_t>(2 * i + c);
      // Gain 0 dB, no smoothing: out = tanh(in + sidechain), rounded to float.
      const double sidechain = i < 1000 ? sc.samples[static_cast<size_t>(i)] : 0.0;
      const auto expected = static_cast<float>(std::tanh(in.samples[k] + sidechain));
      ASSERT_EQ(a.samples[k], static_cast<double>(expected)) << "frame " << i << " channel " << c;
      if (i >= 1000) {
        ASSERT_EQ(a.samples[k], b.samples[k]) << "frame " << i;
      }
    }
  }
}

}  // namespace
