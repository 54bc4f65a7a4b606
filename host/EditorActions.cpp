#include "host/EditorActions.h"

#include <sstream>

namespace mirel::host {

namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

bool IsKeyName(const std::string& name) {
  if (name.size() == 1) {
    const char c = name[0];
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  }
  for (const char* known : {"space", "up", "down", "left", "right", "enter", "escape", "tab", "backspace"}) {
    if (name == known) return true;
  }
  return false;
}

// Reads exactly `count` integers after the verb and nothing else.
bool ReadInts(std::istringstream& in, int count, int* out) {
  for (int i = 0; i < count; ++i) {
    if (!(in >> out[i])) return false;
  }
  std::string rest;
  return !(in >> rest);
}

}  // namespace

bool ParseEditorActions(const std::string& script, std::vector<EditorAction>& out, std::string& error) {
  std::vector<EditorAction> actions;
  std::string normalised = script;
  for (char& c : normalised) {
    if (c == ';') c = '\n';
  }
  std::istringstream lines(normalised);
  std::string line;
  while (std::getline(lines, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    EditorAction a;
    int v[4] = {};
    bool ok = false;
    if (verb == "click" || verb == "rclick" || verb == "dclick" || verb == "move") {
      ok = ReadInts(in, 2, v);
      a.kind = verb == "click"    ? EditorAction::Kind::kClick
               : verb == "rclick" ? EditorAction::Kind::kRightClick
               : verb == "dclick" ? EditorAction::Kind::kDoubleClick
                                  : EditorAction::Kind::kMove;
    } else if (verb == "drag") {
      ok = ReadInts(in, 4, v);
      a.kind = EditorAction::Kind::kDrag;
    } else if (verb == "wheel") {
      ok = ReadInts(in, 3, v);
      a.kind = EditorAction::Kind::kWheel;
      a.amount = v[2];
      v[2] = 0;
    } else if (verb == "wait") {
      ok = ReadInts(in, 1, v) && v[0] >= 0;
      a.kind = EditorAction::Kind::kWait;
      a.amount = v[0];
      v[0] = 0;
    } else if (verb == "key") {
      in >> a.text;
      std::string rest;
      ok = IsKeyName(a.text) && !(in >> rest);
      a.kind = EditorAction::Kind::kKey;
    } else if (verb == "type") {
      const auto at = line.find_first_of(" \t");
      a.text = at == std::string::npos ? std::string() : line.substr(at + 1);
      ok = !a.text.empty();
      a.kind = EditorAction::Kind::kType;
    }
    if (!ok) {
      error = "bad action '" + line + "'";
      return false;
    }
    a.x = v[0];
    a.y = v[1];
    a.dx = v[2];
    a.dy = v[3];
    actions.push_back(std::move(a));
  }
  out = std::move(actions);
  return true;
}

bool ResizeViewByHandle(Steinberg::IPlugView* view, Steinberg::IPlugFrame* frame, int width, int height,
                        Steinberg::ViewRect& taken, bool askConstraint) {
  using Steinberg::kResultTrue;
  if (view == nullptr || frame == nullptr || view->canResize() != kResultTrue) return false;
  taken = Steinberg::ViewRect(0, 0, width, height);
  if (askConstraint && view->checkSizeConstraint(&taken) != kResultTrue) return false;
  if (taken.getWidth() <= 0 || taken.getHeight() <= 0) return false;
  return frame->resizeView(view, &taken) == Steinberg::kResultOk;
}

}  // namespace mirel::host
