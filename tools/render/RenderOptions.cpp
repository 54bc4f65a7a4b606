#include "tools/render/RenderOptions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace mirel::render {

const char* const kUsage =
    "usage: mirel-render [options] INPUT OUTPUT\n"
    "  INPUT is mono or stereo (files with more channels are refused, not downmixed);\n"
    "  OUTPUT is stereo at INPUT's rate with exactly INPUT's frames\n"
    "  --plugin PATH           module to load: a .vst3 bundle folder or module file\n"
    "                          (default: the Mirel.vst3 bundle built next to this tool)\n"
    "  --sidechain FILE        mono or stereo file at INPUT's rate fed to the sidechain\n"
    "                          bus (mono is duplicated; silence after its end, cut at\n"
    "                          INPUT's end)\n"
    "  --set NAME=VALUE        set a parameter; NAME is a parameter name (case-insensitive)\n"
    "                          or its index; VALUE is a bare number in the parameter's plain\n"
    "                          unit, or a value as a host reads it (-30dB, 8:1, 16x) (repeatable)\n"
    "  --set-normalized ID=N   set parameter ID (a host id, bpas, prst or a name) to a\n"
    "                          normalised value 0..1, a number or a fraction (3/6) (repeatable)\n"
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

namespace {

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

}  // namespace

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

}  // namespace mirel::render
