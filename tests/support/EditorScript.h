#pragma once

// Replays an editor action script (host/EditorActions.h) on a window host:
// the X11 host, the Windows host, or anything else with
// bool Perform(const mirel::host::EditorAction&).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/EditorActions.h"

namespace testsupport {

// True when every action was performed; stops at the first the host refuses.
// A script that does not parse fails the test, naming the bad action.
template <class Host>
bool ReplayScript(Host& host, const std::string& script) {
  std::vector<mirel::host::EditorAction> actions;
  std::string error;
  if (!mirel::host::ParseEditorActions(script, actions, error)) {
    ADD_FAILURE() << "editor script: " << error;
    return false;
  }
  for (const auto& a : actions) {
    if (!host.Perform(a)) return false;
  }
  return true;
}

}  // namespace testsupport
