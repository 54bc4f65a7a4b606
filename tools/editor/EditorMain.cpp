// mirel-editor: opens a VST3 module's editor in a window of its own, the way a
// DAW does, without a DAW. It can replay a short script of mouse and key
// actions, save the editor's picture as a PNG file and print the parameter
// edits the plug-in reported to the host.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/editor/EditorBackend.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "host/EffectInstance.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

namespace {

using namespace mirel;

constexpr const char* kUsage =
    "usage: mirel-editor [options] [MODULE]\n"
    "Opens the editor of the module's audio effect (default: the Mirel.vst3 next to this\n"
    "program) in a window of its own.\n"
    "  --actions SCRIPT   replay actions separated by ';' (see below), then finish\n"
    "  --actions-file F   the same, read from a file\n"
    "  --png FILE         save the editor's picture after the actions\n"
    "  --settle MS        run the window's event loop MS milliseconds before the\n"
    "                     actions and again before the picture (default 300)\n"
    "  --stay             keep the window open until it is closed\n"
    "  --scale F          after opening, set the view's content scale to F as a host does\n"
    "                     (IPlugViewContentScaleSupport); actions then use the window's pixels.\n"
    "                     Without it, on Windows, the editor follows the monitor's DPI (the\n"
    "                     window is per-monitor DPI aware, as current DAWs are)\n"
    "  --size WxH         then resize the editor as a host's resize handle does: the view's\n"
    "                     nearest size to W x H (checkSizeConstraint), then onSize; prints\n"
    "                     'size W H' with the size taken\n"
    "  -h, --help         this text\n"
    "Actions (editor pixels): click X Y; rclick X Y; dclick X Y; drag X Y DX DY;\n"
    "wheel X Y NOTCHES; move X Y; key NAME; type TEXT; wait MS.\n"
    "Edits the plug-in reports are printed one per line: begin ID, perform ID VALUE, end ID.\n";

struct Options {
  std::string module;
  std::string script;
  std::string png;
  int settle = 300;
  bool stay = false;
  float scale = 0.0f;  // 0: none set
  int width = 0;       // --size; 0: none
  int height = 0;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "mirel-editor: %s\n", message.c_str());
  return 1;
}

bool ParseArgs(int argc, char** argv, Options& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (arg == "--actions") {
      if (!value(o.script)) return false;
    } else if (arg == "--actions-file") {
      if (!value(v)) return false;
      std::ifstream in(v);
      if (!in) {
        error = "cannot read '" + v + "'";
        return false;
      }
      std::stringstream text;
      text << in.rdbuf();
      o.script = text.str();
    } else if (arg == "--png") {
      if (!value(o.png)) return false;
    } else if (arg == "--settle") {
      if (!value(v)) return false;
      char* end = nullptr;
      const long ms = std::strtol(v.c_str(), &end, 10);
      if (*end != '\0' || ms < 0 || ms > 60000) {
        error = "--settle takes 0 to 60000 milliseconds";
        return false;
      }
      o.settle = static_cast<int>(ms);
    } else if (arg == "--stay") {
      o.stay = true;
    } else if (arg == "--scale") {
      if (!value(v)) return false;
      char* end = nullptr;
      o.scale = std::strtof(v.c_str(), &end);
      if (v.empty() || *end != '\0' || !(o.scale > 0.0f)) {
        error = "--scale takes a positive number";
        return false;
      }
    } else if (arg == "--size") {
      if (!value(v)) return false;
      char* end = nullptr;
      const long w = std::strtol(v.c_str(), &end, 10);
      const char* rest = end;
      const long h = *rest == 'x' ? std::strtol(rest + 1, &end, 10) : 0;
      if (v.empty() || *rest != 'x' || end == rest + 1 || *end != '\0' || w < 1 || h < 1 || w > 100000 ||
          h > 100000) {
        error = "--size takes WIDTHxHEIGHT in pixels, e.g. 1048x306";
        return false;
      }
      o.width = static_cast<int>(w);
      o.height = static_cast<int>(h);
    } else if (!arg.empty() && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else if (o.module.empty()) {
      o.module = arg;
    } else {
      error = "more than one module given";
      return false;
    }
  }
  if (o.module.empty()) {
    o.module = (std::filesystem::path(argv[0]).parent_path() / "Mirel.vst3").string();
  }
  return true;
}

void PrintEdits(const host::RecordingComponentHandler& handler) {
  for (const auto& call : handler.Calls()) {
    switch (call.kind) {
      case host::HandlerCall::Kind::kBegin: std::printf("begin %u\n", static_cast<unsigned>(call.id)); break;
      case host::HandlerCall::Kind::kPerform:
        std::printf("perform %u %.6f\n", static_cast<unsigned>(call.id), call.value);
        break;
      case host::HandlerCall::Kind::kEnd: std::printf("end %u\n", static_cast<unsigned>(call.id)); break;
      case host::HandlerCall::Kind::kRestart: std::printf("restart %d\n", static_cast<int>(call.flags)); break;
    }
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!ParseArgs(argc, argv, options, error)) return Fail(error + "\n" + kUsage);
  std::vector<host::EditorAction> actions;
  if (!host::ParseEditorActions(options.script, actions, error)) return Fail(error);

  auto fx = host::EffectInstance::Open(options.module, "mirel-editor", error);
  if (!fx) return Fail(error);
  Steinberg::IPtr<Steinberg::IPlugView> view =
      Steinberg::owned(fx->Controller()->createView(Steinberg::Vst::ViewType::kEditor));
  if (!view) return Fail("'" + fx->ClassName() + "' has no editor");

  auto window = tools::MakeEditorBackend();
  if (!window->Open(view.get(), error)) return Fail(error);
  if (options.scale > 0.0f) {
    // As a host does right after attaching; the view resizes through the frame.
    Steinberg::FUnknownPtr<Steinberg::IPlugViewContentScaleSupport> scaler(view);
    if (!scaler) return Fail("the view takes no content scale");
    if (scaler->setContentScaleFactor(options.scale) != Steinberg::kResultOk) {
      return Fail("the view refused the content scale " + std::to_string(options.scale));
    }
  }
  if (options.width > 0) {
    window->Pump(options.settle);
    Steinberg::ViewRect taken;
    if (!window->ResizeByHandle(options.width, options.height, taken)) {
      return Fail("the view cannot be resized to " + std::to_string(options.width) + "x" +
                  std::to_string(options.height));
    }
    std::printf("size %d %d\n", taken.getWidth(), taken.getHeight());
  }
  window->Pump(options.settle);
  for (const auto& action : actions) {
    if (!window->Perform(action)) return Fail("this host cannot perform an action of the script");
  }
  int rc = 0;
  if (!options.png.empty()) {
    window->Pump(options.settle);
    host::EditorImage image;
    if (!window->Capture(image)) {
      rc = Fail("cannot read the editor's window");
    } else if (!host::WritePng(image, options.png, error)) {
      rc = Fail(error);
    }
  }
  while (options.stay && !window->CloseRequested()) window->Pump(50);
  PrintEdits(fx->Handler());
  window->Close();
  view = nullptr;
  return rc;
}
