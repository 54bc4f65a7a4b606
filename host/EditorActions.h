#pragma once
// Short scripts of mouse and key actions replayed on an editor, written one
// action per line or separated by ';', coordinates in the editor's pixels:
//   click X Y          left button down and up
//   rclick X Y         right button down and up
//   dclick X Y         a left double-click (down, up, double-click, up)
//   drag X Y DX DY     left button down at X Y, moves to X+DX Y+DY, up there
//   wheel X Y N        N wheel notches (positive away from the user)
//   move X Y           the mouse moves there, no button held
//   key NAME           a key press and release: a letter, a digit, or one of
//                      space up down left right enter escape tab backspace
//   type TEXT          the characters of TEXT (the rest of the line) typed
//   wait MS            the host's message loop runs MS milliseconds

#include <string>
#include <vector>

#include "pluginterfaces/gui/iplugview.h"

namespace mirel::host {

// Resizes a view as a host's resize handle does: a view that says it
// resizes (canResize) gives the nearest size to width x height it takes
// (checkSizeConstraint); the frame sizes the host's window to it and tells
// the view (onSize). Without `askConstraint` the size goes to the view as it
// is, as some hosts do (Ardour). False when the view keeps its size or
// refuses; `taken` receives the size given.
bool ResizeViewByHandle(Steinberg::IPlugView* view, Steinberg::IPlugFrame* frame, int width, int height,
                        Steinberg::ViewRect& taken, bool askConstraint = true);

struct EditorAction {
  enum class Kind { kClick, kRightClick, kDoubleClick, kDrag, kWheel, kMove, kKey, kType, kWait };
  Kind kind = Kind::kWait;
  int x = 0;
  int y = 0;
  int dx = 0;      // drag
  int dy = 0;      // drag
  int amount = 0;  // wheel notches, wait milliseconds
  std::string text;  // key name or typed text
};

// False and `error` naming the first bad action when the script is malformed.
bool ParseEditorActions(const std::string& script, std::vector<EditorAction>& out, std::string& error);

}  // namespace mirel::host
