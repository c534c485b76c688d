#include "engine/verdicts/Upscale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "engine/checks/EncoderLowpass.h"
#include "engine/checks/UpscaleFacts.h"
#include "engine/frame/ScaleFactors.h"
#include "engine/verdicts/EncoderId.h"

namespace vandrel {

namespace {

constexpr int32_t kMpegAudioKind = 1;

std::string Khz(double hz) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f kHz", hz / 1000.0);
    return text;
}

bool Judged(const ScanRecord& record, const FileChecks& checks) {
    const int rate = record.sample_rate;
    return record.kind == kMpegAudioKind && record.layer == 3 && checks.walked != 0 &&
           (rate == 32000 || rate == 44100 || rate == 48000);
}

// Where the top scale-factor band starts at the file's rate (16 kHz at 44.1
// and 48 kHz).
double TopBandStartHz(int sample_rate) {
    const ScaleFactorBands* bands = BandsOf(sample_rate);
    if (bands == nullptr) {
        return 0;
    }
    return bands->long_edges[kLongBands - 1] * static_cast<double>(sample_rate) /
           (2.0 * kGranuleLines);
}

// "at 320 kbit/s", "at -V 0".
std::string Setting(const LowpassQuery& query) {
    if (query.rate_control == RateControl::kVariable && query.vbr_quality >= 0) {
        return "at -V " + std::to_string(query.vbr_quality);
    }
    return "at " + std::to_string(query.bitrate_kbps) + " kbit/s";
}

UpscaleJudgement Unknown(UpscaleJudgement judgement, std::string reason) {
    judgement.answer = UpscaleAnswer::kUnknown;
    judgement.reason = std::move(reason);
    return judgement;
}

// Why a cutoff well under the encoder's lowpass is no hard edge of a first
// encode; nothing when it is one.
std::optional<std::string> NoHardEdge(const FileChecks& checks, int sample_rate) {
    const double cutoff = checks.bandwidth_hz;
    const double top_band = TopBandStartHz(sample_rate);
    if (std::abs(cutoff - top_band) <= kTopBandMarginHz &&
        checks.median_hz >= top_band - kTopBandMedianHz) {
        return "the coded spectrum ends where the top scale-factor band starts (" + Khz(top_band) +
               "), where encoders leave out a weak top band";
    }
    if (checks.reach_hz - cutoff > kHardEdgeReachHz ||
        cutoff - checks.median_hz > kHardEdgeSpreadHz) {
        return "no hard edge: the loud granules end between " + Khz(checks.median_hz) + " and " +
               Khz(checks.reach_hz) + ", as a natural roll-off does";
    }
    const bool sharp =
        cutoff - checks.median_hz <= kSharpEdgeHz && checks.reach_hz - cutoff <= kSharpEdgeHz;
    if (checks.edge_drop_db > (sharp ? kSharpEdgeLargestDropDb : kLargestEdgeDropDb)) {
        return "the level falls towards the end of the coded spectrum at " + Khz(cutoff) +
               ", as a natural roll-off does";
    }
    return std::nullopt;
}

UpscaleJudgement Probably(UpscaleJudgement judgement, double cutoff_hz, std::string reason,
                          int sample_rate) {
    judgement.answer = UpscaleAnswer::kProbably;
    judgement.cutoff_hz = cutoff_hz;
    judgement.reason = std::move(reason);
    const std::string_view source = LikelySource(cutoff_hz, sample_rate);
    if (!source.empty()) {
        judgement.reason += "; " + std::string(source);
    }
    return judgement;
}

}  // namespace

const char* UpscaleAnswerText(UpscaleAnswer answer) {
    switch (answer) {
    case UpscaleAnswer::kUnknown:
        return "unknown";
    case UpscaleAnswer::kNo:
        return "no";
    case UpscaleAnswer::kProbably:
        return "probably";
    case UpscaleAnswer::kNotJudged:
        break;
    }
    return "";
}

UpscaleJudgement JudgeUpscale(const ScanRecord& record, const FileChecks& checks) {
    UpscaleJudgement judgement;
    if (!Judged(record, checks)) {
        return judgement;
    }
    judgement.cutoff_hz = checks.bandwidth_granules > 0 ? checks.bandwidth_hz : 0.0;
    const LowpassQuery query = LowpassQueryOf(record, NameEncoder(record).name);
    const std::optional<double> expected = ExpectedLowpassHz(query);
    judgement.expected_lowpass_hz = expected.value_or(0);
    if (checks.bandwidth_granules < kMinimumLoudGranules) {
        return Unknown(judgement, "too few loud granules in the sample");
    }
    if (!expected) {
        return Unknown(judgement, "the lowpass of this encoder at these settings is not known");
    }
    const double cutoff = checks.bandwidth_hz;
    const std::string keeps = "this encoder keeps " + Khz(*expected) + " " + Setting(query);
    if (cutoff >= *expected - kReachesLowpassHz && checks.median_hz >= *expected - kNoMedianHz) {
        judgement.answer = UpscaleAnswer::kNo;
        judgement.reason = "the coded spectrum reaches " + Khz(cutoff) + "; " + keeps;
        return judgement;
    }
    const double lowest_gap = std::max(kLowestGapHz, kLowestGapShare * *expected);
    std::optional<std::string> open;
    if (*expected - cutoff < lowest_gap) {
        open = "the coded spectrum ends at " + Khz(cutoff) + ", near the encoder's own lowpass";
    } else {
        open = NoHardEdge(checks, record.sample_rate);
    }
    const bool firm_enough = checks.firm_edge_share >= kLeastFirmShare;
    if (!open && !firm_enough) {
        open = "the loud granules fade out towards " + Khz(cutoff) +
               " in the smallest values coded, as a natural roll-off does";
    }
    if (!open) {
        const auto share = static_cast<int>(std::lround(100.0 * checks.edge_share));
        return Probably(judgement, cutoff,
                        "coded spectrum ends at " + Khz(cutoff) + " on " + std::to_string(share) +
                            "% of loud granules; " + keeps,
                        record.sample_rate);
    }
    const double cliff = checks.cliff_hz;
    if (cliff > 0 && firm_enough && *expected - cliff >= lowest_gap &&
        checks.median_hz <= cliff + kCliffMedianHz) {
        const std::string fall = checks.cliff_db >= kNoEdgeDrop
                                     ? "nothing above it is coded in most loud granules"
                                     : "the loud granules' level falls " +
                                           std::to_string(std::lround(checks.cliff_db)) +
                                           " dB there";
        return Probably(judgement, cliff,
                        "coded spectrum ends at " + Khz(cliff) + " (" + fall + "); " + keeps,
                        record.sample_rate);
    }
    const double firm = checks.firm_edge_hz;
    if (firm > 0 && checks.firm_edge_share >= kFirmEdgeShare && *expected - firm >= lowest_gap) {
        const auto share = static_cast<int>(std::lround(100.0 * checks.firm_edge_share));
        return Probably(judgement, firm,
                        "coded spectrum ends at " + Khz(firm) + " on " + std::to_string(share) +
                            "% of loud granules, with the music's level right up to it; " + keeps,
                        record.sample_rate);
    }
    return Unknown(judgement, *open + "; " + keeps);
}

}  // namespace vandrel
