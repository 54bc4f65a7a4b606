#pragma once
// The built editor at a host's content scale and under the host's resize
// handle, written once and run against each platform's window host: sizes,
// resize requests, the picture against mirel-snapshot at that scale, and
// gestures whose logical distance does not depend on the scale.

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
void ContentScaleResizesThroughTheFrameAndShowsTheScaledSnapshot(EditorHostDriver& host);
void ClickAndDragAtTwiceTheSizeEditAsAtOneForTheSameLogicalDistance(EditorHostDriver& host);
void HostResizeShowsTheSnapshotAtThatScaleAndTheNextEditorOpensAtIt(EditorHostDriver& host);

}  // namespace testsupport
