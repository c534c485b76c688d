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

// A cliff in the loud granules' band levels: under it a band coded in
// nearly all of them, whose level lies no more than kCliffSlopeDb under the
// band two lower (the music's level right up to the edge); over it a band
// kCliffDb or more quieter, or coded in fewer than half of them. Looked for
// from kLowestCliffHz up to the band under the top band: an encoder that
// leaves out a weak top band makes a cliff of its own there. A first encode
// at a low bitrate leaves such a cliff, with a little of its decode's noise
// above it that the highest lines alone take for content.
inline constexpr double kLowestCliffHz = 6000;
inline constexpr double kCliffDb = 30;
inline constexpr double kCliffSlopeDb = 10;
inline constexpr double kCliffBandCoded = 0.9;
inline constexpr double kOverCliffCoded = 0.5;

// The firm edge: the window of kFirmWindowHz either side in which the most
// loud granules end firmly (EndsFirmly in CodedSpectrumObserver.h), the
// granules a lowpass of a first encode cuts off where the music is well above
// the quantiser's step. An encoder's own lowpass makes such a window too, at
// its own lowpass: the verdict reads the window only well under it.
inline constexpr double kFirmWindowHz = 800;

// Fills bandwidth_hz, reach_hz, bandwidth_granules, median_hz, edge_share,
// edge_drop_db, spectrum_granules, spectrum_errors, cliff_hz, cliff_db,
// firm_edge_hz and firm_edge_share of `out`; all 0 when the sample decoded
// no long-block granule.
void FillUpscaleFacts(const CodedSpectrumSummary& summary, FileChecks& out);

}  // namespace vandrel
