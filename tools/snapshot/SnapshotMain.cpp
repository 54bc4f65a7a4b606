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

#include "tools/common/CommandLineText.h"
#include "mirel/Mirel.h"
#include "tools/common/ParamResolver.h"
#include "tools/common/Vst3ParamSource.h"
#include "gui/IPanel.h"
#include "raster/RAS_Bitmap.h"

namespace fs = std::filesystem;

namespace {

using mirel::tools::ParamResolver;
using mirel::tools::ParamSetting;
using mirel::tools::ParamTextError;
using mirel::tools::ParseNumber;

const char* const kUsage =
    "usage: mirel-snapshot [options] OUT.png\n"
    "  Paints Mirel's editor (838 x 245 pixels) and writes it as a PNG file.\n"
    "  --set NAME=VALUE        set a parameter; NAME is a parameter name (case-insensitive)\n"
    "                          or its index; VALUE is a bare number in the parameter's plain\n"
    "                          unit, or a value as a host reads it (-30dB, 8:1, 16x) (repeatable)\n"
    "  --set-normalized ID=N   set parameter ID (an index, bpas, prst or a name) to a\n"
    "                          normalised value 0..1, a number or a fraction (3/6) (repeatable)\n"
    "  --meter-db DB           show DB decibels of gain reduction on the meter (0 to 120)\n"
    "  --scale F               draw at scale F, 0.75 to 3 (default 1: 838 x 245); below 1\n"
    "                          as an editor made smaller with a host's resize handle\n"
    "  --help                  this text\n";

// A failure with its one-line message; exit code 2 for command-line mistakes.
struct Failure {
  std::string message;
  int code = 1;
};

struct Options {
  struct Set {
    bool normalized = false;
    std::string key;
    std::string value;
  };
  std::vector<Set> sets;  // in command-line order: the last one for a parameter wins
  bool meter = false;
  double meterDb = 0.0;
  double scale = 1.0;
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
    } else if (a == "--scale") {
      const std::string v = next();
      if (!ParseNumber(v, o.scale) || !(o.scale >= IPanel::kMinDrawScale && o.scale <= IPanel::kMaxDrawScale)) {
        throw Failure{"--scale takes a scale from 0.75 to 3, got '" + v + "'", 2};
      }
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
  // As a host's content scale arrives: through the editor's own entry point.
  // Below the smallest display scale, as the user's zoom on a display at 1.
  const bool zoomed = o.scale < IPanel::kMinScale;
  if (!m->Graphics()->SetEditorScale(zoomed ? IPanel::kMinScale : o.scale) ||
      (zoomed && !panel->SetZoom(o.scale))) {
    throw Failure{"the editor refused the scale", 2};
  }

  const mirel::tools::Vst3ParamSource source(m);
  const ParamResolver resolver(source);
  std::vector<ParamSetting> settings;
  try {
    for (const auto& s : o.sets) {
      settings.push_back(s.normalized ? resolver.SetNormalized(s.key, s.value) : resolver.Set(s.key, s.value));
    }
  } catch (const ParamTextError& e) {
    throw Failure{e.message, 2};
  }
  for (const auto& s : settings) {
    // A program change loads the preset, as processing does in a host.
    if (resolver.IdText(s.id) == "prst") {
      m->LoadPreset(m->PresetIndexFor(s.normalized));
    } else if (m->setParamNormalized(s.id, s.normalized) != Steinberg::kResultOk) {
      throw Failure{"the plug-in refused the value of parameter " + resolver.IdText(s.id)};
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
