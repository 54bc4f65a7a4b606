#pragma once

// The sample rates hosts commonly run at. The signal path's shortcut tests
// (a fast form against the exact one) run at the coefficients of each, not
// only at convenient ones.
inline constexpr double kCommonRates[] = {22050.0, 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0};
