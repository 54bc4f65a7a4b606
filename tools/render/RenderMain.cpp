// mirel-render: renders audio files through a VST3 effect module from the
// command line, loading the module through its factory as a DAW does.

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

#include "AdapterParamIds.h"
#include "AudioFile.h"
#include "EffectInstance.h"
#include "HostStrings.h"
#include "ParameterChanges.h"
#include "ProcessBuffers.h"

namespace fs = std::filesystem;
using namespace Steinberg;
using namespace Steinberg::Vst;
using mirel::host::EffectInstance;
using mirel::host::HostParameter;
using mirel::render::SampleFormat;

namespace {

// Set by SIGINT / SIGTERM; the render loop stops and the temporary files go.
volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) { gInterrupted = 1; }

constexpr ParamID kBypassId = kBypassParamCodeId;
constexpr ParamID kPresetId = kPresetParamCodeId;

const char* const kUsage =
    "usage: mirel-render [options] INPUT OUTPUT\n"
    "  INPUT is mono or stereo (files with more channels are refused, not downmixed);\n"
    "  OUTPUT is stereo at INPUT's rate with exactly INPUT's frames\n"
    "  --plugin PATH           module to load: a .vst3 bundle folder or module file\n"
    "                          (default: the Mirel.vst3 bundle built next to this tool)\n"
    "  --sidechain FILE        mono or stereo file at INPUT's rate fed to the sidechain\n"
    "                          bus (mono is duplicated; silence after its end, cut at\n"
    "                          INPUT's end)\n"
    "  --set NAME=VALUE        set a parameter to a plain value in its own unit; NAME is a\n"
    "                          parameter name (case-insensitive) or its index; VALUE may\n"
    "                          also be a value text (repeatable)\n"
    "  --set-normalized ID=N   set by host parameter id (a number, or bpas / prst) to a\n"
    "                          normalised value 0..1 (repeatable)\n"
    "  --block N               block size, 1 to 65536 (default 512)\n"
    "  --precision 32|64       sample size of the process calls (default 32)\n"
    "  --format float|double|pcm16|pcm24   output samples (default float, double with\n"
    "                          --precision 64)\n"
    "  --state-in FILE         restore a state blob before rendering\n"
    "  --state-out FILE        save the state blob after rendering\n"
    "  --list-params           print the parameters as a host sees them and exit\n"
    "  --json                  print a machine-readable summary on stdout\n"
    "  --quiet                 no progress output\n"
    "  --help                  this text\n";

struct Options {
  std::string plugin;
  std::string input;
  std::string output;
  std::string sidechain;
  // --set NAME=VALUE and --set-normalized ID=N in command-line order, so that
  // the last one given for a parameter wins.
  struct Set {
    bool normalized = false;
    std::string key;
    std::string value;
  };
  std::vector<Set> sets;
  int block = 512;
  int precision = 32;
  std::optional<SampleFormat> format;
  std::string formatName;
  std::string stateIn;
  std::string stateOut;
  bool listParams = false;
  bool json = false;
  bool quiet = false;
};

// A failure with its one-line message; exit code 2 for command-line mistakes.
struct Failure {
  std::string message;
  int code = 1;
};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// Parses the whole text as a finite number.
bool ParseNumber(const std::string& text, double& out) {
  const std::string t = Trim(text);
  if (t.empty()) return false;
  char* end = nullptr;
  out = std::strtod(t.c_str(), &end);
  return end == t.c_str() + t.size() && std::isfinite(out);
}

bool ParseInt(const std::string& text, long long& out) {
  const std::string t = Trim(text);
  if (t.empty()) return false;
  char* end = nullptr;
  out = std::strtoll(t.c_str(), &end, 10);
  return end == t.c_str() + t.size();
}

std::string Number(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

std::string DefaultPlugin() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const fs::path beside = exe.parent_path() / "Mirel.vst3";
    if (fs::exists(beside, ec)) return beside.string();
  }
#ifdef MIREL_DEFAULT_PLUGIN
  return MIREL_DEFAULT_PLUGIN;
#else
  return "Mirel.vst3";
#endif
}

Options ParseArgs(int argc, char** argv) {
  Options o;
  std::vector<std::string> positional;
  auto need = [&](int& i, const std::string& opt) -> std::string {
    if (i + 1 >= argc) throw Failure{opt + " needs a value (see mirel-render --help)", 2};
    return argv[++i];
  };
  auto splitPair = [](const std::string& opt, const std::string& arg) {
    const auto eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) {
      throw Failure{opt + " expects NAME=VALUE, got '" + arg + "'", 2};
    }
    return std::make_pair(arg.substr(0, eq), arg.substr(eq + 1));
  };
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (a == "--plugin") {
      o.plugin = need(i, a);
    } else if (a == "--sidechain") {
      o.sidechain = need(i, a);
    } else if (a == "--set") {
      auto [name, value] = splitPair(a, need(i, a));
      o.sets.push_back({false, name, value});
    } else if (a == "--set-normalized") {
      auto [id, value] = splitPair(a, need(i, a));
      o.sets.push_back({true, id, value});
    } else if (a == "--block") {
      const std::string v = need(i, a);
      long long n = 0;
      if (!ParseInt(v, n) || n < 1 || n > 65536) {
        throw Failure{"block size must be a whole number from 1 to 65536, got '" + v + "'", 2};
      }
      o.block = static_cast<int>(n);
    } else if (a == "--precision") {
      const std::string v = need(i, a);
      if (v != "32" && v != "64") throw Failure{"precision must be 32 or 64, got '" + v + "'", 2};
      o.precision = v == "32" ? 32 : 64;
    } else if (a == "--format") {
      const std::string v = need(i, a);
      static const std::map<std::string, SampleFormat> kFormats = {
          {"float", SampleFormat::kFloat}, {"double", SampleFormat::kDouble},
          {"pcm16", SampleFormat::kPcm16}, {"pcm24", SampleFormat::kPcm24}};
      const auto it = kFormats.find(v);
      if (it == kFormats.end()) {
        throw Failure{"format must be float, double, pcm16 or pcm24, got '" + v + "'", 2};
      }
      o.format = it->second;
      o.formatName = v;
    } else if (a == "--state-in") {
      o.stateIn = need(i, a);
    } else if (a == "--state-out") {
      o.stateOut = need(i, a);
    } else if (a == "--list-params") {
      o.listParams = true;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--quiet") {
      o.quiet = true;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      throw Failure{"unknown option '" + a + "' (see mirel-render --help)", 2};
    } else {
      positional.push_back(a);
    }
  }
  if (o.listParams) {
    if (!positional.empty()) throw Failure{"--list-params takes no INPUT or OUTPUT", 2};
  } else if (positional.size() != 2) {
    throw Failure{"expected INPUT and OUTPUT (see mirel-render --help)", 2};
  } else {
    o.input = positional[0];
    o.output = positional[1];
  }
  if (!o.format) {
    o.format = o.precision == 64 ? SampleFormat::kDouble : SampleFormat::kFloat;
    o.formatName = o.precision == 64 ? "double" : "float";
  }
  if (o.plugin.empty()) o.plugin = DefaultPlugin();
  return o;
}

// One parameter value to deliver in the first process call.
struct Setting {
  ParamID id = 0;
  std::string title;
  double normalized = 0;
};

std::string ValueText(IEditController* c, ParamID id, double normalized) {
  String128 text{};
  if (c->getParamStringByValue(id, normalized, text) != kResultOk) return {};
  return mirel::host::ToUtf8(text);
}

bool IsHostOnly(const HostParameter& p) {
  return (p.flags & (ParameterInfo::kIsProgramChange | ParameterInfo::kIsBypass)) != 0;
}

std::string IdText(ParamID id) {
  if (id == kBypassId) return kBypassParamCode;
  if (id == kPresetId) return kPresetParamCode;
  return std::to_string(id);
}

const HostParameter& ResolveName(const std::vector<HostParameter>& params, const std::string& name) {
  std::vector<const HostParameter*> own;
  for (const auto& p : params) {
    if (!IsHostOnly(p)) own.push_back(&p);
  }
  long long index = 0;
  if (ParseInt(name, index)) {
    for (const auto* p : own) {
      if (static_cast<long long>(p->id) == index) return *p;
    }
    throw Failure{"no parameter with index " + Trim(name) + " (indices are " +
                  std::to_string(own.empty() ? 0 : own.front()->id) + " to " +
                  std::to_string(own.empty() ? 0 : own.back()->id) + ")"};
  }
  std::vector<const HostParameter*> hits;
  for (const auto* p : own) {
    if (Lower(p->title) == Lower(Trim(name))) hits.push_back(p);
  }
  if (hits.size() == 1) return *hits.front();
  if (hits.size() > 1) {
    std::string ids;
    for (size_t k = 0; k < hits.size(); ++k) {
      ids += (k == 0 ? "" : (k + 1 == hits.size() ? " and " : ", ")) + std::to_string(hits[k]->id);
    }
    throw Failure{"parameter name '" + name + "' is shared by indices " + ids +
                  "; give the index instead"};
  }
  std::string valid;
  for (const auto* p : own) valid += (valid.empty() ? "" : ", ") + p->title;
  throw Failure{"unknown parameter '" + name + "'; valid names: " + valid + " (or an index)"};
}

Setting ResolveSet(EffectInstance& fx, const std::vector<HostParameter>& params,
                   const std::string& name, const std::string& valueText) {
  const HostParameter& p = ResolveName(params, name);
  IEditController* c = fx.Controller();
  const double a = c->normalizedParamToPlain(p.id, 0.0);
  const double b = c->normalizedParamToPlain(p.id, 1.0);
  const double lo = std::min(a, b);
  const double hi = std::max(a, b);
  double plain = 0;
  Setting s{p.id, p.title, 0};
  if (ParseNumber(valueText, plain)) {
    if (plain < lo || plain > hi) {
      throw Failure{"value " + Trim(valueText) + " for '" + p.title + "' is out of range " +
                    Number(lo) + " to " + Number(hi)};
    }
    s.normalized = c->plainParamToNormalized(p.id, plain);
  } else {
    // A value text: accepted when the plug-in reads it and shows the same text back.
    const std::u16string wide = mirel::host::ToU16(valueText);
    std::vector<TChar> text(wide.begin(), wide.end());
    text.push_back(0);
    double n = 0;
    if (c->getParamValueByString(p.id, text.data(), n) != kResultOk ||
        Lower(Trim(ValueText(c, p.id, n))) != Lower(Trim(valueText))) {
      throw Failure{"cannot read '" + valueText + "' as a value of '" + p.title +
                    "' (give a number from " + Number(lo) + " to " + Number(hi) + ")"};
    }
    s.normalized = n;
  }
  if (!std::isfinite(s.normalized)) {
    throw Failure{"the plug-in gave no normalised value for " + Trim(valueText) + " of '" + p.title + "'"};
  }
  s.normalized = std::clamp(s.normalized, 0.0, 1.0);
  return s;
}

Setting ResolveNormalized(const std::vector<HostParameter>& params, const std::string& idText,
                          const std::string& valueText) {
  const std::string key = Lower(Trim(idText));
  std::optional<ParamID> id;
  long long n = 0;
  if (key == kBypassParamCode) {
    id = kBypassId;
  } else if (key == kPresetParamCode) {
    id = kPresetId;
  } else if (ParseInt(key, n) && n >= 0 && n <= 0xFFFFFFFFLL) {
    id = static_cast<ParamID>(n);
  }
  const HostParameter* found = nullptr;
  for (const auto& p : params) {
    if (id && p.id == *id) found = &p;
  }
  if (found == nullptr) {
    std::string valid;
    for (const auto& p : params) valid += (valid.empty() ? "" : ", ") + IdText(p.id);
    throw Failure{"unknown parameter id '" + idText + "'; valid ids: " + valid};
  }
  double v = 0;
  if (!ParseNumber(valueText, v) || v < 0.0 || v > 1.0) {
    throw Failure{"normalised value for '" + found->title + "' must be a number from 0 to 1, got '" +
                  valueText + "'"};
  }
  return Setting{found->id, found->title, v};
}

std::vector<std::uint8_t> ReadBytes(const std::string& path, const std::string& what) {
  std::error_code ec;
  if (!fs::exists(path, ec)) throw Failure{"cannot read " + what + " '" + path + "': no such file"};
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure{"cannot read " + what + " '" + path + "': " + std::strerror(errno)};
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw Failure{"cannot read " + what + " '" + path + "'"};
  return data;
}

// A file written under a temporary name beside its target and moved into
// place only by Commit, so a failed run never destroys an existing file.
class PendingFile {
 public:
  explicit PendingFile(std::string target)
      : target_(std::move(target)),
        temp_(target_ + ".partial-" + std::to_string(static_cast<long>(getpid()))) {}
  ~PendingFile() {
    if (!committed_) {
      std::error_code ec;
      fs::remove(temp_, ec);
    }
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  const std::string& Temp() const { return temp_; }
  const std::string& Target() const { return target_; }
  void Commit() {
    std::error_code ec;
    fs::rename(temp_, target_, ec);
    if (ec) throw Failure{"cannot write '" + target_ + "': " + ec.message()};
    committed_ = true;
  }

 private:
  std::string target_;
  std::string temp_;
  bool committed_ = false;
};

void WriteBytes(PendingFile& file, const std::vector<std::uint8_t>& data) {
  std::ofstream out(file.Temp(), std::ios::binary | std::ios::trunc);
  if (!out) throw Failure{"cannot write '" + file.Target() + "': " + std::strerror(errno)};
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  out.close();
  if (!out) throw Failure{"cannot write '" + file.Target() + "'"};
}

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

// Peak and RMS over every sample of every channel.
class LevelMeter {
 public:
  void Add(const double* interleaved, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      peak_ = std::max(peak_, std::fabs(interleaved[i]));
      sum_ += interleaved[i] * interleaved[i];
    }
    count_ += count;
  }
  double Peak() const { return peak_; }
  double Rms() const { return count_ > 0 ? std::sqrt(sum_ / static_cast<double>(count_)) : 0.0; }

 private:
  double peak_ = 0;
  double sum_ = 0;
  size_t count_ = 0;
};

// The largest drop of output level against input level over 10 ms windows
// whose input is above -60 dBFS, in dB (0 when the output never drops). The
// host sees only levels: the plug-in's make-up and output gain are in it, so
// a compressor with its output turned up shows less here than on its meter.
class GainReductionMeter {
 public:
  explicit GainReductionMeter(int rate) : window_(std::max(1, rate / 100)) {}
  // One stereo frame of input and output.
  void Add(const double* in, const double* out) {
    si_ += in[0] * in[0] + in[1] * in[1];
    so_ += out[0] * out[0] + out[1] * out[1];
    if (++n_ == window_) Flush();
  }
  double Largest() {
    Flush();
    return largest_;
  }

 private:
  void Flush() {
    if (n_ > 0) {
      const double ri = std::sqrt(si_ / (2.0 * n_));
      const double ro = std::sqrt(so_ / (2.0 * n_));
      if (ri >= 1e-3 && ro > 0) largest_ = std::max(largest_, 20.0 * std::log10(ri / ro));
    }
    si_ = so_ = 0;
    n_ = 0;
  }
  int window_;
  int n_ = 0;
  double si_ = 0;
  double so_ = 0;
  double largest_ = 0;
};

// How far apart the loud and the quiet moments are, in and out: the spread
// between the 95th and the 10th percentile of 50 ms window RMS levels (dB),
// over the windows whose input is above -60 dBFS. A compressor narrows it
// whatever its make-up or output gain, which the gain reduction above counts.
class LevelRange {
 public:
  explicit LevelRange(int rate) : window_(std::max(1, rate / 20)) {}
  // One stereo frame of input and output.
  void Add(const double* in, const double* out) {
    si_ += in[0] * in[0] + in[1] * in[1];
    so_ += out[0] * out[0] + out[1] * out[1];
    if (++n_ == window_) {
      const double ri = std::sqrt(si_ / (2.0 * n_));
      const double ro = std::sqrt(so_ / (2.0 * n_));
      if (ri >= 1e-3) {
        in_.push_back(ri);
        out_.push_back(ro);
      }
      si_ = so_ = 0;
      n_ = 0;
    }
  }
  // The spread in dB, or nothing when no window counted (or one is silent).
  std::optional<double> Input() const { return Spread(in_); }
  std::optional<double> Output() const { return Spread(out_); }

 private:
  static std::optional<double> Spread(std::vector<double> levels) {
    if (levels.empty()) return std::nullopt;
    std::sort(levels.begin(), levels.end());
    const auto at = [&](double q) {
      return levels[static_cast<size_t>(q * static_cast<double>(levels.size() - 1) + 0.5)];
    };
    const double quiet = at(0.10);
    const double loud = at(0.95);
    if (quiet <= 0) return std::nullopt;
    return 20.0 * std::log10(loud / quiet);
  }
  int window_;
  int n_ = 0;
  double si_ = 0;
  double so_ = 0;
  std::vector<double> in_;
  std::vector<double> out_;
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

std::string Db(double linear) {
  if (linear <= 0) return "null";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", 20.0 * std::log10(linear));
  return buf;
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

void ListParams(EffectInstance& fx) {
  IEditController* c = fx.Controller();
  const auto params = fx.Parameters();
  std::printf("%-5s %-16s %-6s %-8s %-5s %s\n", "id", "title", "units", "default", "steps", "value");
  for (const auto& p : params) {
    const double current = c->getParamNormalized(p.id);
    std::string text = ValueText(c, p.id, current);
    if (text.empty()) text = Number(current);
    std::printf("%-5s %-16s %-6s %-8.4f %-5d %s\n", IdText(p.id).c_str(), p.title.c_str(),
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

  auto fx = EffectInstance::Open(o.plugin, "mirel-render", error);
  if (!fx) throw Failure{error};
  IEditController* controller = fx->Controller();
  const auto params = fx->Parameters();

  std::vector<Setting> settings;
  for (const auto& set : o.sets) {
    settings.push_back(set.normalized ? ResolveNormalized(params, set.key, set.value)
                                      : ResolveSet(*fx, params, set.key, set.value));
  }

  // The state is restored once processing is set up: a plug-in may reset
  // part of its state in setupProcessing (Mirel clears its host bypass
  // there), and the render must follow the whole blob.
  auto restoreState = [&] {
    if (!o.stateIn.empty() && !fx->SetState(stateBlob)) {
      throw Failure{"the plug-in could not restore the state in '" + o.stateIn + "'"};
    }
    // Keep the controller in step, as hosts do; the values themselves reach
    // the processor in the first block's parameter changes.
    for (const auto& s : settings) controller->setParamNormalized(s.id, s.normalized);
  };

  if (o.listParams) {
    restoreState();
    ListParams(*fx);
    return 0;
  }

  const int rate = input.SampleRate();
  const int32 sampleSize = o.precision == 64 ? kSample64 : kSample32;
  if (!fx->Prepare(sampleSize, o.block, static_cast<double>(rate), useSidechain, kOffline, error)) {
    throw Failure{error};
  }
  restoreState();
  const bool sidechainBus = fx->InputBusCount() > 1;
  mirel::host::ProcessBuffers buffers(sampleSize, o.block, 2, sidechainBus ? 2 : 0, 2);
  buffers.SetProcessMode(kOffline);
  auto changes = mirel::host::MakeHostObject<mirel::host::ParameterChanges>();
  for (const auto& s : settings) changes->Add(s.id, s.normalized, 0);
  buffers.SetParameterChanges(changes.get());
  ProcessContext& ctx = buffers.Context();
  ctx.sampleRate = rate;
  ctx.tempo = 120.0;
  ctx.timeSigNumerator = 4;
  ctx.timeSigDenominator = 4;
  ctx.state = ProcessContext::kPlaying | ProcessContext::kTempoValid | ProcessContext::kTimeSigValid |
              ProcessContext::kProjectTimeMusicValid;

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
    buffers.SetNumSamples(static_cast<int>(n));
    const int inCh = input.Channels();
    const int scCh = useSidechain ? side.Channels() : 1;
    for (long long i = 0; i < n; ++i) {
      for (int c = 0; c < 2; ++c) {
        const double v = inBlock[static_cast<size_t>(i * inCh + std::min(c, inCh - 1))];
        fedBlock[static_cast<size_t>(2 * i + c)] = v;  // mono feeds both channels
        buffers.SetInput(0, c, static_cast<int>(i), v);
        if (sidechainBus) {
          const double sc = i < scFrames ? scBlock[static_cast<size_t>(i * scCh + std::min(c, scCh - 1))] : 0.0;
          buffers.SetInput(1, c, static_cast<int>(i), sc);
        }
      }
    }
    ctx.projectTimeSamples = done;
    ctx.continousTimeSamples = done;
    ctx.projectTimeMusic = static_cast<double>(done) / rate * ctx.tempo / 60.0;
    const tresult processed = fx->Processor()->process(buffers.Data());
    if (processed != kResultOk) {
      throw Failure{"the plug-in failed to process the block at frame " + std::to_string(done) +
                    " (result " + std::to_string(processed) + ")"};
    }
    if (first) changes->Clear();  // later blocks carry no changes
    for (long long i = 0; i < n; ++i) {
      for (int c = 0; c < 2; ++c) {
        outBlock[static_cast<size_t>(2 * i + c)] = buffers.Output(c, static_cast<int>(i));
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
  for (const auto& s : settings) settingTexts.push_back(ValueText(controller, s.id, s.normalized));
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
      j << (k == 0 ? "\n" : ",\n") << "    {\"id\": " << Json(IdText(settings[k].id))
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
