#pragma once
// The built editor through the CLAP gui extension in a host's window,
// written once and run against each platform's window host: the window API
// and scale it answers for, its picture against mirel-snapshot, the sizes a
// host gives it and the state that keeps them, and the orders a host may
// call it in.

#include "tests/support/ClapEditorHostDriver.h"

namespace testsupport {

// Each starts with no plug-in and no host window and leaves none.
// The editor embeds in its platform's window API only, never floating, and
// takes a host's scale where the platform lets the host rule it.
void ClapEditorAnswersForItsOwnApiAndScale(ClapEditorHostDriver& host);
// Embedded, the editor is the host window's child at the layout's size
// showing mirel-snapshot's picture, on the platform's timers; it takes the
// host's sizes at its aspect and the state keeps the last; destroy closes it.
void ClapEditorEmbedsShowingTheSnapshotAndTakesTheHostsSizes(ClapEditorHostDriver& host);
// The orders a host may use, a row each; each ends with no plug-in window
// once the plug-in is gone.
void ClapEditorSurvivesAnyOrderOfCalls(ClapEditorHostDriver& host);

}  // namespace testsupport
