#pragma once
// The built editor in a host's window, written once and run against each
// platform's window host: its size and window type, its picture against
// mirel-snapshot at 1, at a host's content scale and under the host's resize
// handle, and gestures whose logical distance does not depend on the scale.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/EditorHostDriver.h"

namespace testsupport {

// The open editor shows what mirel-snapshot draws at `scale` ("1", "1.5"),
// once the host's loop has run long enough to paint it. With `exceptLabel`
// the version label is left out (a platform's font path may draw text at an
// odd scale otherwise), but its white ink must be there.
::testing::AssertionResult ShowsSnapshot(EditorHostDriver& host, const std::string& scale, const std::string& name,
                                         bool exceptLabel = false);

// Each runs with the driver's editor closed and leaves it closed.
// The view answers for its own window type only and opens at the layout's
// size, showing mirel-snapshot's picture.
void OpensAtTheEditorsSizeAndShowsTheSnapshot(EditorHostDriver& host, bool exceptLabel);
// Click, drag, wheel, double-click and right-click at a content scale edit
// as at 1 for the same logical distance, in balanced edits for the host.
void GesturesEditWithBalancedCallsAt(EditorHostDriver& host, float scale);
void ContentScaleResizesThroughTheFrameAndShowsTheScaledSnapshot(EditorHostDriver& host);
void HostResizeShowsTheSnapshotAtThatScaleAndTheNextEditorOpensAtIt(EditorHostDriver& host);

}  // namespace testsupport
