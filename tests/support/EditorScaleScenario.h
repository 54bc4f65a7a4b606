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
// In a window of windowW x windowH (when given), the snapshot is where the
// window places it and the margin's colour is around it.
::testing::AssertionResult ShowsSnapshot(EditorWindowHost& host, const std::string& scale, const std::string& name,
                                         bool exceptLabel = false, int windowW = 0, int windowH = 0);

// Each runs with the driver's editor closed and leaves it closed.
// The view answers for its own window type only and opens at the layout's
// size, showing mirel-snapshot's picture.
void OpensAtTheEditorsSizeAndShowsTheSnapshot(EditorHostDriver& host, bool exceptLabel);
// Click, drag, wheel, double-click and right-click at a content scale edit
// as at 1 for the same logical distance, in balanced edits for the host.
void GesturesEditWithBalancedCallsAt(EditorHostDriver& host, float scale);
void ContentScaleResizesThroughTheFrameAndShowsTheScaledSnapshot(EditorHostDriver& host);
void HostResizeShowsTheSnapshotAtThatScaleAndTheNextEditorOpensAtIt(EditorHostDriver& host);
// A host that gives a size off the editor's aspect without asking the view
// (Ardour): the window fills it, the snapshot centred and the rest margin,
// and clicks land where the picture shows the controls.
void OffAspectHostSizeIsPaintedWholeWithTheSnapshotCentred(EditorHostDriver& host);
// A zoom kept at 1.5 reopened at a content scale of 2 (three times the
// size, wider than the 1920-pixel test screens) opens at the largest size
// that fits, and the kept zoom is still 1.5 afterwards.
void AKeptSizeBeyondTheScreenOpensAtTheLargestThatFits(EditorHostDriver& host);

}  // namespace testsupport
