#pragma once

#include "engine/checks/CodedSpectrumObserver.h"
#include "engine/core/FileChecks.h"

namespace vandrel {

// What the upscale verdict (engine/verdicts/Upscale.h) reads of a walk's
// coded-spectrum sample, reduced to the few figures FileChecks keeps, so that
// a file answered from the cache is judged as a scanned one is.
//
// The loud granules are the long-block granules whose loudest band lies
// within kLoudClasses loudness classes (10 dB each) of the loudest class the
// sample met: quiet passages end lower, as the masking of each encoder lets
// them, and would blur the edge a first encode's lowpass left.
inline constexpr int kLoudClasses = 3;
// The cutoff is the frequency this share of the loud granules stays under,
// the reach the one kReachShare of them does: a first encode's decode leaves
// a little of its quantisation noise and the filter bank's aliasing above its
// lowpass, which a tenth of the granules or so code in quiet moments.
inline constexpr double kCutoffShare = 0.90;
inline constexpr double kReachShare = 0.95;
// The width under the cutoff within which the granules of a hard edge end.
inline constexpr double kEdgeWidthHz = 800;
// FileChecks::edge_drop_db when the band at the edge, or the one two bands
// lower, holds no coded line in the loud granules.
inline constexpr float kNoEdgeDrop = 999;

// Fills bandwidth_hz, reach_hz, bandwidth_granules, median_hz, edge_share,
// edge_drop_db, spectrum_granules and spectrum_errors of `out`; all 0 when
// the sample decoded no long-block granule.
void FillUpscaleFacts(const CodedSpectrumSummary& summary, FileChecks& out);

}  // namespace vandrel
