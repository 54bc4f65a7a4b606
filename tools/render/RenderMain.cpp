// mirel-render: renders audio files through an effect module from the
// command line, a VST3 module or a CLAP one (RenderEffect), loading it
// through its factory as a DAW does. The
// command line is parsed in RenderOptions, parameters are resolved by the
// tools' shared ParamResolver, files are committed safely by SafeOutput and the levels are
// measured by LevelAnalysis; this file runs the render.

#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tools/render/AudioFile.h"
#include "host/HostStrings.h"
#include "tools/render/LevelAnalysis.h"
#include "tools/common/ParamResolver.h"
#include "tools/render/RenderEffect.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/SafeOutput.h"

namespace fs = std::filesystem;
using mirel::host::HostParameter;
using namespace mirel::render;
using mirel::tools::ParamResolver;
using mirel::tools::ParamSetting;
using mirel::tools::ParamTextError;

namespace {

// Set by SIGINT / SIGTERM; the render loop stops and the temporary files go.
volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) { gInterrupted = 1; }

// Shows progress on stderr once a render has taken more than a second.
class Progress {
 public:
  explicit Progress(bool enabled) : enabled_(enabled && isatty(STDERR_FILENO) != 0) {}
  void Update(long long done, long long total) {
    if (!enabled_ || total <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    const int width = 40;
    const int filled = static_cast<int>(width * done / total);
    std::fprintf(stderr, "\rrendering [%s%s] %3d%%", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(width - filled), ' ').c_str(),
                 static_cast<int>(100 * done / total));
    shown_ = true;
  }
  void Finish() {
    if (shown_) std::fprintf(stderr, "\rrendering [%s] 100%%\n", std::string(40, '#').c_str());
  }

 private:
  bool enabled_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_{};
};

std::string Json(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

void ListParams(const RenderEffect& fx, const ParamResolver& resolver) {
  std::printf("%-5s %-16s %-6s %-8s %-5s %s\n", "id", "title", "units", "default", "steps", "value");
  for (const auto& p : resolver.Parameters()) {
    const double current = fx.Params().Current(p.id);
    std::string text = resolver.ValueText(p.id, current);
    if (text.empty()) text = Number(current);
    std::printf("%-5s %-16s %-6s %-8.4f %-5d %s\n", resolver.IdText(p.id).c_str(), p.title.c_str(),
                p.units.c_str(), p.defaultNormalized, p.stepCount, text.c_str());
  }
}

int Run(const Options& o) {
  mirel::render::AudioReader input;
  mirel::render::AudioReader side;
  std::string error;
  const bool useSidechain = !o.sidechain.empty();
  if (!o.listParams) {
    if (!input.Open(o.input, error)) throw Failure{error};
    if (input.Channels() < 1 || input.Channels() > 2) {
      throw Failure{"'" + o.input + "' has " + std::to_string(input.Channels()) +
                    " channels; mirel-render takes mono or stereo input"};
    }
    int container = 0;
    if (!mirel::render::ContainerFor(o.output, container)) {
      throw Failure{"cannot tell the file type of '" + o.output + "' from its extension (" +
                    mirel::render::ContainerHint() + ")"};
    }
    if (useSidechain) {
      if (!side.Open(o.sidechain, error)) throw Failure{error};
      if (side.Channels() < 1 || side.Channels() > 2) {
        throw Failure{"sidechain '" + o.sidechain + "' has " + std::to_string(side.Channels()) +
                      " channels; it must be mono or stereo"};
      }
      if (side.SampleRate() != input.SampleRate()) {
        throw Failure{"sidechain '" + o.sidechain + "' is at " + std::to_string(side.SampleRate()) +
                      " Hz but '" + o.input + "' is at " + std::to_string(input.SampleRate()) + " Hz"};
      }
    }
  }
  std::vector<std::uint8_t> stateBlob;
  if (!o.stateIn.empty()) stateBlob = ReadBytes(o.stateIn, "state file");

  auto fx = RenderEffect::Open(o.plugin, "mirel-render", error);
  if (!fx) throw Failure{error};
  const ParamResolver resolver(fx->Params());

  std::vector<ParamSetting> settings;
  try {
    for (const auto& set : o.sets) {
      settings.push_back(set.normalized ? resolver.SetNormalized(set.key, set.value)
                                        : resolver.Set(set.key, set.value));
    }
  } catch (const ParamTextError& e) {
    throw Failure{e.message, 2};
  }

  // The state is restored once processing is set up: a plug-in may reset
  // part of its state in setupProcessing (Mirel clears its host bypass
  // there), and the render must follow the whole blob.
  auto restoreState = [&] {
    if (!o.stateIn.empty() && !fx->SetState(stateBlob)) {
      throw Failure{"the plug-in could not restore the state in '" + o.stateIn + "'"};
    }
    fx->ApplySettings(settings);
  };

  if (o.listParams) {
    restoreState();
    ListParams(*fx, resolver);
    return 0;
  }

  const int rate = input.SampleRate();
  if (!fx->Prepare(o.precision, o.block, static_cast<double>(rate), useSidechain, error)) {
    throw Failure{error};
  }
  restoreState();
  const bool sidechainBus = fx->HasSidechain();

  PendingFile outFile(o.output);
  mirel::render::AudioWriter writer;
  if (!writer.Open(outFile.Temp(), o.output, rate, 2, *o.format, error)) throw Failure{error};

  // One block at a time: the input file's samples, the sidechain's (silence
  // after its end) and the rendered stereo block.
  const auto blockSize = static_cast<size_t>(o.block);
  std::vector<double> inBlock(blockSize * static_cast<size_t>(input.Channels()));
  std::vector<double> scBlock(blockSize * static_cast<size_t>(useSidechain ? side.Channels() : 1));
  std::vector<double> fedBlock(blockSize * 2);
  std::vector<double> outBlock(blockSize * 2);
  LevelMeter inLevel;
  LevelMeter outLevel;
  GainReductionMeter reduction(rate);
  LevelRange range(rate);
  Progress progress(!o.quiet);
  const long long expected = input.Frames();
  long long done = 0;
  bool sidechainEnded = !useSidechain;
  for (bool first = true;; first = false) {
    const long long n = input.Read(inBlock.data(), o.block);
    if (n <= 0 && !first) break;
    long long scFrames = 0;
    if (!sidechainEnded) {
      scFrames = side.Read(scBlock.data(), n);
      sidechainEnded = scFrames < n;
    }
    const int inCh = input.Channels();
    const int scCh = useSidechain ? side.Channels() : 1;
    for (long long i = 0; i < n; ++i) {
      for (int c = 0; c < 2; ++c) {
        const double v = inBlock[static_cast<size_t>(i * inCh + std::min(c, inCh - 1))];
        fedBlock[static_cast<size_t>(2 * i + c)] = v;  // mono feeds both channels
        fx->SetInput(0, c, static_cast<int>(i), v);
        if (sidechainBus) {
          const double sc = i < scFrames ? scBlock[static_cast<size_t>(i * scCh + std::min(c, scCh - 1))] : 0.0;
          fx->SetInput(1, c, static_cast<int>(i), sc);
        }
      }
    }
    if (!fx->Process(static_cast<int>(n), done, static_cast<double>(rate), error)) {
      throw Failure{"the plug-in failed to process the block at frame " + std::to_string(done) + " " + error};
    }
    for (long long i = 0; i < n; ++i) {
      for (int c = 0; c < 2; ++c) {
        outBlock[static_cast<size_t>(2 * i + c)] = fx->Output(c, static_cast<int>(i));
      }
      reduction.Add(&fedBlock[static_cast<size_t>(2 * i)], &outBlock[static_cast<size_t>(2 * i)]);
      range.Add(&fedBlock[static_cast<size_t>(2 * i)], &outBlock[static_cast<size_t>(2 * i)]);
    }
    inLevel.Add(fedBlock.data(), static_cast<size_t>(2 * n));
    outLevel.Add(outBlock.data(), static_cast<size_t>(2 * n));
    if (!writer.Write(outBlock.data(), n, error)) throw Failure{error};
    done += n;
    progress.Update(done, expected);
    if (gInterrupted != 0) throw Failure{"interrupted; '" + o.output + "' left as it was", 130};
    if (n < o.block) break;
  }
  progress.Finish();
  if (done != expected) {
    throw Failure{"cannot read '" + o.input + "': it ended after " + std::to_string(done) + " of its " +
                  std::to_string(expected) + " frames"};
  }
  if (!writer.Close(error)) throw Failure{error};

  std::vector<std::uint8_t> stateOut;
  if (!o.stateOut.empty() && !fx->GetState(stateOut)) {
    throw Failure{"the plug-in did not give its state"};
  }
  // Collect the texts before the instance goes.
  std::vector<std::string> settingTexts;
  for (const auto& s : settings) settingTexts.push_back(resolver.ValueText(s.id, s.normalized));
  fx.reset();

  std::optional<PendingFile> stateFile;
  if (!o.stateOut.empty()) {
    stateFile.emplace(o.stateOut);
    WriteBytes(*stateFile, stateOut);
  }
  outFile.Commit();
  if (stateFile) stateFile->Commit();

  if (o.json) {
    std::ostringstream j;
    j << "{\n";
    j << "  \"input\": " << Json(Absolute(o.input)) << ",\n";
    j << "  \"output\": " << Json(Absolute(o.output)) << ",\n";
    j << "  \"sidechain\": " << (useSidechain ? Json(Absolute(o.sidechain)) : "null") << ",\n";
    j << "  \"plugin\": " << Json(Absolute(o.plugin)) << ",\n";
    j << "  \"state_in\": " << (o.stateIn.empty() ? "null" : Json(Absolute(o.stateIn))) << ",\n";
    j << "  \"state_out\": " << (o.stateOut.empty() ? "null" : Json(Absolute(o.stateOut))) << ",\n";
    j << "  \"frames\": " << done << ",\n";
    j << "  \"sample_rate\": " << rate << ",\n";
    j << "  \"input_channels\": " << input.Channels() << ",\n";
    j << "  \"block\": " << o.block << ",\n";
    j << "  \"precision\": " << o.precision << ",\n";
    j << "  \"format\": " << Json(o.formatName) << ",\n";
    j << "  \"parameters\": [";
    for (size_t k = 0; k < settings.size(); ++k) {
      j << (k == 0 ? "\n" : ",\n") << "    {\"id\": " << Json(resolver.IdText(settings[k].id))
        << ", \"title\": " << Json(settings[k].title) << ", \"normalized\": "
        << Number(settings[k].normalized) << ", \"text\": " << Json(settingTexts[k]) << "}";
    }
    j << (settings.empty() ? "],\n" : "\n  ],\n");
    j << "  \"input_peak_dbfs\": " << Db(inLevel.Peak()) << ",\n";
    j << "  \"input_rms_dbfs\": " << Db(inLevel.Rms()) << ",\n";
    j << "  \"output_peak_dbfs\": " << Db(outLevel.Peak()) << ",\n";
    j << "  \"output_rms_dbfs\": " << Db(outLevel.Rms()) << ",\n";
    char gr[32];
    std::snprintf(gr, sizeof gr, "%.3f", reduction.Largest());
    j << "  \"largest_gain_reduction_db\": " << gr << ",\n";
    const auto spread = [](std::optional<double> v) {
      if (!v) return std::string("null");
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.3f", *v);
      return std::string(buf);
    };
    j << "  \"input_level_range_db\": " << spread(range.Input()) << ",\n";
    j << "  \"output_level_range_db\": " << spread(range.Output()) << "\n";
    j << "}\n";
    std::fputs(j.str().c_str(), stdout);
  } else if (!o.quiet) {
    std::fprintf(stderr, "mirel-render: wrote %lld frames at %d Hz to %s\n", done, rate, o.output.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  try {
    return Run(ParseArgs(argc, argv));
  } catch (const Failure& f) {
    std::fprintf(stderr, "mirel-render: %s\n", f.message.c_str());
    return f.code;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mirel-render: %s\n", e.what());
    return 1;
  }
}
