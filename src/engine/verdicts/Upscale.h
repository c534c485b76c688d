#pragma once

#include <string>

#include "engine/core/FileChecks.h"
#include "engine/core/ScanRecord.h"

namespace vandrel {

// Was a Layer III file encoded from a smaller lossy file (a "fake 320")? A
// first lossy encode leaves its lowpass in the audio; encoded again at a
// higher bitrate, the file's coded spectrum ends at that first lowpass, well
// under the one its own encoder keeps at its settings, and ends there in the
// loud granules alike, with the music's level right up to the edge. A
// recording that is dark, quiet or band-limited by nature rolls off instead:
// its granules end at different frequencies and its level falls towards the
// end. Where the sample does not tell them apart, the answer is "unknown".
enum class UpscaleAnswer {
    kNotJudged,  // not Layer III at 32, 44.1 or 48 kHz, or no frame walk: no answer
    kUnknown,    // not enough evidence either way
    kNo,         // the coded spectrum reaches the encoder's own lowpass
    kProbably,   // a hard edge well under the encoder's own lowpass
};

struct UpscaleJudgement {
    UpscaleAnswer answer = UpscaleAnswer::kNotJudged;
    // Where 90 % of the loud granules end, or for a "probably" from a cliff
    // in the band levels or a firm edge, that; 0 when none.
    double cutoff_hz = 0;
    double expected_lowpass_hz = 0;  // the encoder's own at these settings; 0 when unknown
    // Why the answer is what it is, one sentence: the figures of a
    // "probably" and the likely source, or what left it open.
    std::string reason;
};

UpscaleJudgement JudgeUpscale(const ScanRecord& record, const FileChecks& checks);

// The Upscaled? cell: "probably", "no", "unknown", or empty when not judged.
const char* UpscaleAnswerText(UpscaleAnswer answer);

// What the verdict needs to say "probably" or "no" (the figures are tuned on
// bench/transcode's set; its README gives the scores).
inline constexpr uint32_t kMinimumLoudGranules = 20;
// "no": the cutoff within this of the expected lowpass, and half the loud
// granules within kNoMedianHz of it.
inline constexpr double kReachesLowpassHz = 500;
inline constexpr double kNoMedianHz = 1000;
// "probably": the cutoff at least this far under the expected lowpass (or
// kLowestGapShare of it, when that is more) ...
inline constexpr double kLowestGapHz = 1000;
inline constexpr double kLowestGapShare = 0.04;
// ... the widest granules no further than this above the cutoff, half of
// them within kHardEdgeSpreadHz under it ...
inline constexpr double kHardEdgeReachHz = 400;
inline constexpr double kHardEdgeSpreadHz = 800;
// ... and the band at the edge no more than this under the band two lower,
// or kSharpEdgeLargestDropDb for an edge so sharp (half the loud granules
// within kSharpEdgeHz under the cutoff, 95 % within kSharpEdgeHz over it)
// that no roll-off of the music makes it: only a lowpass ends them all at
// one line, whatever the level falls before it.
inline constexpr double kLargestEdgeDropDb = 6;
inline constexpr double kSharpEdgeHz = 200;
inline constexpr double kSharpEdgeLargestDropDb = 12;
// Or, where the highest lines show no hard edge: a cliff in the band levels
// (FindCliff in engine/checks/UpscaleFacts.h) that far under the lowpass,
// with half the loud granules ending within kCliffMedianHz over it.
inline constexpr double kCliffMedianHz = 800;
// Or a firm edge (FindFirmEdge in engine/checks/UpscaleFacts.h) that far
// under the lowpass, at which this share of the loud granules or more end
// firmly: the values under a first encode's lowpass are the music's, while a
// roll-off of the music fades out in the quietest values the quantiser codes,
// where each granule's content and masking let it, one here, one there.
inline constexpr double kFirmEdgeShare = 0.4;
// Whatever the route, a "probably" wants at least this share of the loud
// granules to end firmly at one edge: where hardly any does, the music fades
// out on its own, however sharp the highest lines make the edge look.
inline constexpr double kLeastFirmShare = 0.1;
// An edge within this of the top scale-factor band's start (16 kHz at 44.1
// and 48 kHz), with half the granules there too, is where encoders leave out
// a weak top band: not a sign of a first encode.
inline constexpr double kTopBandMarginHz = 150;
inline constexpr double kTopBandMedianHz = 300;

}  // namespace vandrel
