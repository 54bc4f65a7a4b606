// mirel-snapshot: builds the Mirel plug-in in this process, sets parameters
// through its controller as a host does, optionally shows a gain reduction
// on the meter, paints the whole editor off-screen and writes it as a PNG.

#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "CommandLineText.h"
#include "Mirel.h"
#include "gui/IPanel.h"
#include "raster/RAS_Bitmap.h"

namespace fs = std::filesystem;
using Steinberg::Vst::ParamID;
using Steinberg::Vst::ParameterInfo;

namespace {

using mirel::tools::Lower;
using mirel::tools::Number;
using mirel::tools::ParseInt;
using mirel::tools::ParseNumber;
using mirel::tools::Trim;

const char* const kUsage =
    "usage: mirel-snapshot [options] OUT.png\n"
    "  Paints Mirel's editor (838 x 245 pixels) and writes it as a PNG file.\n"
    "  --set NAME=VALUE        set a parameter to a plain value in its own unit; NAME is a\n"
    "                          parameter name (case-insensitive) or its index; VALUE may\n"
    "                          also be a value text (repeatable)\n"
    "  --set-normalized ID=N   set parameter index ID to a normalised value 0..1 (repeatable)\n"
    "  --meter-db DB           show DB decibels of gain reduction on the meter (0 to 120)\n"
    "  --help                  this text\n";

// A failure with its one-line message; exit code 2 for command-line mistakes.
struct Failure {
  std::string message;
  int code = 1;
};

std::string Utf8(const Steinberg::Vst::String128 text) {
  std::string out;
  for (int i = 0; i < 128 && text[i]; ++i) out += text[i] < 128 ? static_cast<char>(text[i]) : '?';
  return out;
}

struct Options {
  struct Set {
    bool normalized = false;
    std::string key;
    std::string value;
  };
  std::vector<Set> sets;  // in command-line order: the last one for a parameter wins
  bool meter = false;
  double meterDb = 0.0;
  std::string output;
};

Options ParseArgs(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) throw Failure{"option " + a + " needs a value", 2};
      return argv[++i];
    };
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (a == "--set" || a == "--set-normalized") {
      const std::string kv = next();
      const auto eq = kv.find('=');
      if (eq == std::string::npos || eq == 0) throw Failure{a + " takes NAME=VALUE, got '" + kv + "'", 2};
      o.sets.push_back({a == "--set-normalized", kv.substr(0, eq), kv.substr(eq + 1)});
    } else if (a == "--meter-db") {
      const std::string v = next();
      if (!ParseNumber(v, o.meterDb) || o.meterDb < 0.0 || o.meterDb > 120.0) {
        throw Failure{"--meter-db takes a gain reduction from 0 to 120 dB, got '" + v + "'", 2};
      }
      o.meter = true;
    } else if (a.size() > 1 && a[0] == '-') {
      throw Failure{"unknown option '" + a + "' (see --help)", 2};
    } else if (o.output.empty()) {
      o.output = a;
    } else {
      throw Failure{"more than one output file given ('" + o.output + "' and '" + a + "')", 2};
    }
  }
  if (o.output.empty()) throw Failure{std::string("no output file given\n") + kUsage, 2};
  return o;
}

// The plug-in's own parameters as a host lists them.
std::vector<ParameterInfo> HostParameters(Mirel& m) {
  std::vector<ParameterInfo> list;
  for (Steinberg::int32 i = 0; i < m.getParameterCount(); ++i) {
    ParameterInfo info{};
    if (m.getParameterInfo(i, info) == Steinberg::kResultOk && info.id < static_cast<ParamID>(kNumParams)) {
      list.push_back(info);
    }
  }
  return list;
}

const ParameterInfo& ResolveName(const std::vector<ParameterInfo>& params, const std::string& name) {
  long long index = 0;
  if (ParseInt(name, index)) {
    for (const auto& p : params) {
      if (static_cast<long long>(p.id) == index) return p;
    }
    throw Failure{"no parameter with index " + Trim(name) + " (indices are 0 to " +
                  std::to_string(params.size() - 1) + ")", 2};
  }
  std::vector<const ParameterInfo*> hits;
  for (const auto& p : params) {
    if (Lower(Utf8(p.title)) == Lower(Trim(name))) hits.push_back(&p);
  }
  if (hits.size() == 1) return *hits.front();
  if (hits.size() > 1) {
    std::string ids;
    for (std::size_t k = 0; k < hits.size(); ++k) {
      ids += (k == 0 ? "" : (k + 1 == hits.size() ? " and " : ", ")) + std::to_string(hits[k]->id);
    }
    throw Failure{"parameter name '" + name + "' is shared by indices " + ids + "; give the index instead", 2};
  }
  std::string valid;
  for (const auto& p : params) valid += (valid.empty() ? "" : ", ") + Utf8(p.title);
  throw Failure{"unknown parameter '" + name + "'; valid names: " + valid + " (or an index)", 2};
}

// The normalised value a --set asks for.
double Resolve(Mirel& m, const std::vector<ParameterInfo>& params, const Options::Set& s, ParamID& id) {
  double v = 0.0;
  if (s.normalized) {
    const ParameterInfo& p = ResolveName(params, s.key);
    id = p.id;
    if (!ParseNumber(s.value, v) || v < 0.0 || v > 1.0) {
      throw Failure{"normalised value for '" + Utf8(p.title) + "' must be a number from 0 to 1, got '" + s.value + "'", 2};
    }
    return v;
  }
  const ParameterInfo& p = ResolveName(params, s.key);
  id = p.id;
  const double lo = std::min(m.normalizedParamToPlain(id, 0.0), m.normalizedParamToPlain(id, 1.0));
  const double hi = std::max(m.normalizedParamToPlain(id, 0.0), m.normalizedParamToPlain(id, 1.0));
  if (ParseNumber(s.value, v)) {
    if (v < lo || v > hi) {
      throw Failure{"value " + Trim(s.value) + " for '" + Utf8(p.title) + "' is out of range " + Number(lo) + " to " +
                    Number(hi), 2};
    }
    return std::clamp(m.plainParamToNormalized(id, v), 0.0, 1.0);
  }
  // A value text: accepted when the plug-in reads it and shows the same text back.
  std::vector<Steinberg::Vst::TChar> text(s.value.begin(), s.value.end());
  text.push_back(0);
  Steinberg::Vst::String128 shown{};
  double n = 0.0;
  if (m.getParamValueByString(id, text.data(), n) != Steinberg::kResultOk ||
      m.getParamStringByValue(id, n, shown) != Steinberg::kResultOk ||
      Lower(Trim(Utf8(shown))) != Lower(Trim(s.value))) {
    throw Failure{"cannot read '" + s.value + "' as a value of '" + Utf8(p.title) + "' (give a number from " +
                  Number(lo) + " to " + Number(hi) + ")", 2};
  }
  return std::clamp(n, 0.0, 1.0);
}

// Writes the back buffer as an 8-bit RGB PNG (the editor is opaque).
void WritePng(const std::string& path, RAS_IBitmap& image) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw Failure{"cannot write '" + path + "': " + std::strerror(errno)};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const int w = image.getWidth();
  const int h = image.getHeight();
  std::vector<png_byte> row(static_cast<std::size_t>(w) * 3);
  bool ok = png && info;
  if (ok && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y) {
      const std::uint32_t* src = image.getBits() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.getRowSpan());
      for (int x = 0; x < w; ++x) {
        row[static_cast<std::size_t>(x) * 3 + 0] = static_cast<png_byte>(src[x] >> 16);
        row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<png_byte>(src[x] >> 8);
        row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<png_byte>(src[x]);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  } else {
    ok = false;
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (std::fclose(f) != 0) ok = false;
  if (!ok) throw Failure{"cannot write '" + path + "': PNG encoding failed"};
}

int Run(int argc, char** argv) {
  const Options o = ParseArgs(argc, argv);
  Mirel* m = new Mirel;  // reference-counted: created with one reference
  struct Release {
    Mirel* m;
    ~Release() {
      m->terminate();
      m->release();
    }
  } release{m};
  if (m->initialize(nullptr) != Steinberg::kResultOk) throw Failure{"the plug-in failed to initialise"};
  auto* panel = dynamic_cast<IPanel*>(m->Graphics());
  if (!panel || !panel->BackBuffer()) throw Failure{"the plug-in built no editor"};

  const std::vector<ParameterInfo> params = HostParameters(*m);
  for (const auto& s : o.sets) {
    ParamID id = 0;
    const double n = Resolve(*m, params, s, id);
    if (m->setParamNormalized(id, n) != Steinberg::kResultOk) {
      throw Failure{"the plug-in refused the value of parameter " + std::to_string(id)};
    }
  }
  if (o.meter) {
    // The meter shows the gain reduction as 1 - gain.
    PlugValueFeed* feed = m->MeterFeed();
    if (!feed) throw Failure{"the editor has no meter"};
    feed->Post(1.0 - std::pow(10.0, -o.meterDb / 20.0));
  }
  panel->TimerTick();
  panel->Paint(PixelRect{0, 0, panel->Width(), panel->Height()});

  // Written beside the target and moved into place only when complete.
  const std::string temp = o.output + ".partial-" + std::to_string(static_cast<long>(getpid()));
  try {
    WritePng(temp, *panel->BackBuffer());
    std::error_code ec;
    fs::rename(temp, o.output, ec);
    if (ec) throw Failure{"cannot write '" + o.output + "': " + ec.message()};
  } catch (...) {
    std::error_code ec;
    fs::remove(temp, ec);
    throw;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const Failure& f) {
    std::fprintf(stderr, "mirel-snapshot: %s\n", f.message.c_str());
    return f.code;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mirel-snapshot: %s\n", e.what());
    return 1;
  }
}
