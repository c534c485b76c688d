#include "engine/checks/CodedSpectrumObserver.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace vandrel {

namespace {

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
constexpr int kShortBlocks = 2;

// Counts are bounded by the sample, but never wrap.
void Bump(uint16_t& count) {
    if (count != std::numeric_limits<uint16_t>::max()) {
        ++count;
    }
}

}  // namespace

int CodedSpectrumSummary::LoudnessClass(double loudest_db) {
    if (!(loudest_db >= kQuietestClassTopDb)) {
        return 0;  // silence (kSilentBandDb) too
    }
    const int above = static_cast<int>((loudest_db - kQuietestClassTopDb) / kClassStepDb);
    return std::min(1 + above, kLoudnessClasses - 1);
}

int CodedSpectrumSummary::BinOf(double hz) {
    const double bin = std::floor(std::max(hz, 0.0) / kBinHz);
    return static_cast<int>(std::min(bin, static_cast<double>(kBins - 1)));
}

std::optional<double> CodedSpectrumSummary::HighestLinePercentile(double p, int min_class) const {
    std::array<uint32_t, kBins> bins{};
    uint32_t count = 0;
    for (int c = std::max(min_class, 0); c < kLoudnessClasses; ++c) {
        for (size_t i = 0; i < bins.size(); ++i) {
            bins[i] += long_highest[static_cast<size_t>(c)][i];
            count += long_highest[static_cast<size_t>(c)][i];
        }
    }
    if (count == 0) {
        return std::nullopt;
    }
    // The granules counted so far must reach p * count (at least one).
    const double wanted = std::max(1.0, std::ceil(std::clamp(p, 0.0, 1.0) * count));
    uint32_t seen = 0;
    for (size_t i = 0; i < bins.size(); ++i) {
        seen += bins[i];
        if (static_cast<double>(seen) >= wanted) {
            return static_cast<double>(i + 1) * kBinHz;
        }
    }
    return kBins * kBinHz;
}

bool EndsFirmly(const GranuleSpectrum& spectrum, const ScaleFactorBands& bands, int sample_rate) {
    const int highest = spectrum.highest_line;
    if (highest < 0 || highest + 1 == bands.long_edges[kLongBands - 1] || sample_rate <= 0) {
        return false;
    }
    const auto lines = static_cast<int>(
        std::max(1L, std::lround(kFirmEdgeHz * 2.0 * kGranuleLines / sample_rate)));
    for (int i = std::max(0, highest - lines + 1); i <= highest; ++i) {
        if (std::abs(spectrum.lines[static_cast<size_t>(i)]) >= kFirmValue) {
            return true;
        }
    }
    return false;
}

std::optional<CodedSpectrumSummary::BandLevel>
CodedSpectrumSummary::LongBandLevel(int band, int min_class) const {
    if (band < 0 || band >= kLongBands) {
        return std::nullopt;
    }
    const auto b = static_cast<size_t>(band);
    uint32_t granules = 0;
    uint32_t coded = 0;
    double level = 0;
    double below = 0;
    for (int c = std::max(min_class, 0); c < kLoudnessClasses; ++c) {
        const BandProfile& p = profile[static_cast<size_t>(c)];
        granules += p.granules;
        coded += p.coded[b];
        level += p.level_db_sum[b];
        below += p.below_loudest_db_sum[b];
    }
    if (coded == 0) {
        return std::nullopt;
    }
    return BandLevel{level / coded, below / coded, static_cast<double>(coded) / granules};
}

double CodedSpectrumSummary::LongBandStartHz(int band) const {
    const ScaleFactorBands* bands = BandsOf(sample_rate);
    if (bands == nullptr) {
        return 0;
    }
    const auto b = static_cast<size_t>(std::clamp(band, 0, kLongBands));
    return bands->long_edges[b] * static_cast<double>(sample_rate) / (2.0 * kGranuleLines);
}

void CodedSpectrumObserver::BeginWalk() {
    summary_ = {};
    told_ = 0;
    run_start_ = 0;  // the first frame plans the runs
    run_end_ = 0;
    decoder_.Reset();
    decoder_.ClearCounts();
    set_wants_whole_frame(false);
}

void CodedSpectrumObserver::PlanRuns(const FrameHeader& first) {
    if (first.layer != 3) {
        run_start_ = kNever;
        run_end_ = kNever;
        return;
    }
    const int per_frame = (first.is_mpeg1 != 0 ? 2 : 1) * (first.channels == 1 ? 1 : 2);
    const int per_run = std::max(plan_.granule_channels_per_run, 1);
    run_frames_ = 1 + (per_run + per_frame - 1) / per_frame;
    const int64_t expected = std::max<int64_t>(expected_frames(), 1);
    planned_runs_ = std::clamp<int64_t>(expected / (run_frames_ * std::max(plan_.one_frame_in, 1)),
                                        1, std::max(plan_.runs, 1));
    stride_ = std::max(run_frames_, expected / planned_runs_);
    // Spare runs where there is room for them between the runs.
    spares_ = stride_ >= 2 * run_frames_;
    if (spares_) {
        planned_runs_ *= 2;
        stride_ /= 2;
    }
    doubling_at_ = planned_runs_;
    positions_ = 0;
    // Each run in the middle of its share of the frames; never the first
    // frame, which may be a header frame.
    run_start_ = std::max<int64_t>(1, (stride_ - run_frames_) / 2);
    run_end_ = run_start_ + run_frames_;
}

void CodedSpectrumObserver::NextRun() {
    // The odd positions are the spare runs, when there are any.
    do {
        ++positions_;
        if (positions_ >= 2 * planned_runs_) {
            run_start_ = kNever;
            run_end_ = kNever;
            return;
        }
        if (positions_ == doubling_at_) {
            stride_ *= 2;
            doubling_at_ += std::max<int64_t>(1, (2 * planned_runs_ - doubling_at_) / 2);
        }
        run_start_ += stride_;
    } while (spares_ && positions_ % 2 == 1 && !ThinEvidence());
    run_end_ = run_start_ + run_frames_;
}

bool CodedSpectrumObserver::ThinEvidence() const {
    const auto& classes = summary_.long_by_class;
    int top = CodedSpectrumSummary::kLoudnessClasses - 1;
    while (top > 0 && classes[static_cast<size_t>(top)] == 0) {
        --top;
    }
    uint32_t loud = 0;
    for (int c = std::max(top - (kLoudClasses - 1), 0); c <= top; ++c) {
        loud += classes[static_cast<size_t>(c)];
    }
    return loud < kWantedLoudGranules;
}

void CodedSpectrumObserver::Sampled(int64_t index, std::span<const uint8_t> bytes,
                                    const FrameHeader& header) {
    if (run_end_ == 0) {
        PlanRuns(header);
    }
    if (index >= run_start_ && index < run_end_) {
        if (index == run_start_) {
            decoder_.Reset();  // the frames before the run were not decoded
        }
        if (header.layer == 3) {
            decoder_.Decode(bytes, header);
            AddFrame(header);
        }
        if (index + 1 == run_end_) {
            ++summary_.runs;
            NextRun();
        }
    }
    set_wants_whole_frame(index + 1 >= run_start_ && index + 1 < run_end_);
}

void CodedSpectrumObserver::AddFrame(const FrameHeader& header) {
    ++summary_.frames_decoded;
    summary_.counts = decoder_.counts();
    if (summary_.sample_rate == 0) {
        summary_.sample_rate = header.sample_rate;
        summary_.mpeg1 = header.is_mpeg1 != 0;
    }
    for (int gr = 0; gr < decoder_.granules(); ++gr) {
        AddGranule(gr, header);
    }
}

void CodedSpectrumObserver::AddGranule(int granule, const FrameHeader& header) {
    const ScaleFactorBands* bands = BandsOf(header.sample_rate);
    if (bands == nullptr) {
        return;
    }
    double long_hz = -1;
    double short_hz = -1;
    bool long_firm = false;
    float loudest = kSilentBandDb;
    std::array<float, kLongBands> levels;
    levels.fill(kSilentBandDb);
    for (int ch = 0; ch < decoder_.channels(); ++ch) {
        const GranuleSpectrum& s = decoder_.spectrum(granule, ch);
        if (s.state != GranuleState::kDecoded) {
            continue;
        }
        const double hz = HighestLineHz(s, *bands, header.sample_rate, header.is_mpeg1 != 0);
        if (s.block_type == kShortBlocks) {
            short_hz = std::max(short_hz, hz);
            continue;
        }
        // The widest channel tells how the granule's spectrum ends.
        if (hz >= long_hz) {
            const bool firm = EndsFirmly(s, *bands, header.sample_rate);
            long_firm = hz > long_hz ? firm : long_firm || firm;
            long_hz = hz;
        }
        loudest = std::max(loudest, s.loudest_db);
        for (size_t b = 0; b < levels.size(); ++b) {
            levels[b] = std::max(levels[b], s.band_db[b]);
        }
    }
    if (long_hz >= 0) {
        ++summary_.long_granules;
        const auto loudness = static_cast<size_t>(CodedSpectrumSummary::LoudnessClass(loudest));
        ++summary_.long_by_class[loudness];
        const auto bin = static_cast<size_t>(CodedSpectrumSummary::BinOf(long_hz));
        Bump(summary_.long_highest[loudness][bin]);
        if (long_firm) {
            Bump(summary_.firm_highest[loudness][bin]);
        }
        if (header.sample_rate != summary_.sample_rate) {
            return;  // another rate's bands
        }
        CodedSpectrumSummary::BandProfile& profile = summary_.profile[loudness];
        Bump(profile.granules);
        for (size_t b = 0; b < levels.size(); ++b) {
            if (levels[b] != kSilentBandDb) {
                Bump(profile.coded[b]);
                profile.level_db_sum[b] += levels[b];
                profile.below_loudest_db_sum[b] += loudest - levels[b];
            }
        }
    } else if (short_hz >= 0) {
        ++summary_.short_granules;
        Bump(summary_.short_highest[static_cast<size_t>(CodedSpectrumSummary::BinOf(short_hz))]);
    }
}

}  // namespace vandrel
