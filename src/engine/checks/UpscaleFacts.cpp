#include "engine/checks/UpscaleFacts.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <numeric>
#include <utility>

namespace vandrel {

namespace {

// The loudness class from which granules count as loud; -1 when the sample
// holds no long-block granule.
int FirstLoudClass(const CodedSpectrumSummary& summary) {
    for (int c = CodedSpectrumSummary::kLoudnessClasses - 1; c >= 0; --c) {
        const auto& bins = summary.long_highest[static_cast<size_t>(c)];
        if (std::any_of(bins.begin(), bins.end(), [](uint16_t n) { return n != 0; })) {
            return std::max(c - (kLoudClasses - 1), 0);
        }
    }
    return -1;
}

// Loud granules whose highest line lies in bins [first, last].
uint32_t LoudGranules(const CodedSpectrumSummary& summary, int loud, int first, int last) {
    uint32_t count = 0;
    for (int c = loud; c < CodedSpectrumSummary::kLoudnessClasses; ++c) {
        const auto& bins = summary.long_highest[static_cast<size_t>(c)];
        for (int b = std::max(first, 0); b <= std::min(last, CodedSpectrumSummary::kBins - 1);
             ++b) {
            count += bins[static_cast<size_t>(b)];
        }
    }
    return count;
}

// How many dB the band that holds the edge lies under the band two lower, in
// the loud granules: a first encode's lowpass leaves the music's level right
// up to it, a gentle roll-off falls towards it.
float EdgeDrop(const CodedSpectrumSummary& summary, int loud, double cutoff_hz) {
    constexpr double kInsideEdgeHz = 150;  // the band the edge lies in, not the one it starts
    int edge = -1;
    for (int band = 0; band < kLongBands; ++band) {
        if (summary.LongBandStartHz(band) < cutoff_hz - kInsideEdgeHz) {
            edge = band;
        }
    }
    if (edge < 2) {
        return kNoEdgeDrop;
    }
    const auto at_edge = summary.LongBandLevel(edge, loud);
    const auto lower = summary.LongBandLevel(edge - 2, loud);
    if (!at_edge || !lower) {
        return kNoEdgeDrop;
    }
    return static_cast<float>(at_edge->below_loudest_db - lower->below_loudest_db);
}

// The cliff (see kCliffDb): the start of the band past it and its fall.
std::pair<double, double> FindCliff(const CodedSpectrumSummary& summary, int loud) {
    for (int band = 2; band + 1 < kLongBands - 1; ++band) {
        if (summary.LongBandStartHz(band) < kLowestCliffHz) {
            continue;
        }
        const auto under = summary.LongBandLevel(band, loud);
        if (!under || under->coded_share < kCliffBandCoded) {
            break;
        }
        const auto over = summary.LongBandLevel(band + 1, loud);
        const bool falls = !over || over->coded_share < kOverCliffCoded ||
                           over->below_loudest_db - under->below_loudest_db >= kCliffDb;
        if (!falls) {
            continue;
        }
        const auto lower = summary.LongBandLevel(band - 2, loud);
        if (lower && under->below_loudest_db - lower->below_loudest_db <= kCliffSlopeDb) {
            const double fall = over && over->coded_share >= kOverCliffCoded
                                    ? over->below_loudest_db - under->below_loudest_db
                                    : kNoEdgeDrop;
            return {summary.LongBandStartHz(band + 1), fall};
        }
        break;
    }
    return {0, 0};
}

// The firm edge (kFirmWindowHz): the upper edge of the bin that holds the
// middle granule of the window, and the window's share of the loud granules.
std::pair<double, double> FindFirmEdge(const CodedSpectrumSummary& summary, int loud,
                                       uint32_t loud_granules) {
    std::array<uint32_t, CodedSpectrumSummary::kBins> firm{};
    for (int c = loud; c < CodedSpectrumSummary::kLoudnessClasses; ++c) {
        for (size_t b = 0; b < firm.size(); ++b) {
            firm[b] += summary.firm_highest[static_cast<size_t>(c)][b];
        }
    }
    const auto half = static_cast<ptrdiff_t>(kFirmWindowHz / CodedSpectrumSummary::kBinHz);
    const auto bins = static_cast<ptrdiff_t>(firm.size());
    const auto window = [&](ptrdiff_t centre) {
        const auto from = firm.begin() + std::max<ptrdiff_t>(centre - half, 0);
        const auto to = firm.begin() + std::min(centre + half + 1, bins);
        return std::pair{from, to};
    };
    uint32_t best = 0;
    ptrdiff_t best_centre = 0;
    for (ptrdiff_t centre = 0; centre < bins; ++centre) {
        const auto [from, to] = window(centre);
        const uint32_t count = std::accumulate(from, to, 0u);
        if (count > best) {
            best = count;
            best_centre = centre;
        }
    }
    if (best == 0 || loud_granules == 0) {
        return {0, 0};
    }
    const auto [from, to] = window(best_centre);
    uint32_t seen = 0;
    for (auto it = from; it != to; ++it) {
        seen += *it;
        if (2 * seen >= best) {
            const auto bin = static_cast<double>(it - firm.begin());
            return {(bin + 1) * CodedSpectrumSummary::kBinHz,
                    static_cast<double>(best) / loud_granules};
        }
    }
    return {0, 0};
}

}  // namespace

void FillUpscaleFacts(const CodedSpectrumSummary& summary, FileChecks& out) {
    out.spectrum_granules = summary.long_granules;
    out.spectrum_errors = summary.counts.huffman_errors + summary.counts.reservoir_errors +
                          summary.counts.part2_3_overruns;
    const int loud = FirstLoudClass(summary);
    const auto cutoff = summary.HighestLinePercentile(kCutoffShare, loud);
    if (loud < 0 || !cutoff) {
        out.bandwidth_hz = out.reach_hz = out.median_hz = out.edge_share = 0;
        out.bandwidth_granules = 0;
        out.edge_drop_db = kNoEdgeDrop;
        out.cliff_hz = out.cliff_db = 0;
        out.firm_edge_hz = out.firm_edge_share = 0;
        return;
    }
    const uint32_t granules = LoudGranules(summary, loud, 0, CodedSpectrumSummary::kBins - 1);
    out.bandwidth_granules = granules;
    out.bandwidth_hz = static_cast<float>(*cutoff);
    out.reach_hz = static_cast<float>(summary.HighestLinePercentile(kReachShare, loud).value_or(0));
    out.median_hz = static_cast<float>(summary.HighestLinePercentile(0.5, loud).value_or(0));
    // The percentiles are the upper edges of their bins: the cutoff's bin is
    // the one below it.
    const int top_bin = CodedSpectrumSummary::BinOf(*cutoff) - 1;
    const int edge_bins = static_cast<int>(kEdgeWidthHz / CodedSpectrumSummary::kBinHz);
    out.edge_share = static_cast<float>(LoudGranules(summary, loud, top_bin - edge_bins, top_bin)) /
                     static_cast<float>(granules);
    out.edge_drop_db = EdgeDrop(summary, loud, *cutoff);
    const auto [cliff_hz, cliff_db] = FindCliff(summary, loud);
    out.cliff_hz = static_cast<float>(cliff_hz);
    out.cliff_db = static_cast<float>(cliff_db);
    const auto [firm_hz, firm_share] = FindFirmEdge(summary, loud, granules);
    out.firm_edge_hz = static_cast<float>(firm_hz);
    out.firm_edge_share = static_cast<float>(firm_share);
}

}  // namespace vandrel
