#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "engine/core/FrameSeries.h"
#include "engine/core/ScanRecord.h"

namespace vandrel {

// Which of the Details dialog's charts a histogram is; the dialog gives each its colours.
enum class HistogramKind : int {
    kBitrateCounts,
    kBlockTypes,
    kStereoTypes,
};

// One bar chart of the Details dialog, as data.
struct HistogramData {
    HistogramKind kind = HistogramKind::kBitrateCounts;
    std::string title;
    int decimals = 0;  // 0: shares shown without decimals, else with one
    std::vector<float> values;
    std::vector<std::string> labels;
};

// The three bar charts of an MPEG audio file's Details dialog: frames by
// bitrate, granules by block type, and frames by their stereo coding. Each
// chart stays where it is, so that a page drawing it always sees its data.
class Mp3Charts {
public:
    enum Histogram : size_t { kBitrateHistogram = 0, kBlockHistogram = 1, kStereoHistogram = 2 };

    Mp3Charts();

    // The values and labels of the record's counts.
    void Build(const ScanRecord& record);
    // Counts the frames of a whole walk by mode extension, which the stereo
    // chart of a Layer I or II joint-stereo file shows once Build is called.
    void CountBounds(const FrameSeries& series);
    // Frees the values, and the counts of the walk.
    void Clear();

    const HistogramData& At(Histogram which) const { return histograms_[which]; }
    // Whether any bar of the chart is above 0.
    bool HasData(Histogram which) const;

private:
    // Layer I and II have no granules and no stereo coding per frame: their
    // stereo chart shows the intensity-stereo bound of the mode extension.
    void BuildBoundChart(const ScanRecord& record);

    std::array<HistogramData, 3> histograms_;
    // Layer I and II joint-stereo frames by mode extension, from the frame
    // series of a whole walk; empty until one came.
    std::vector<float> bound_counts_;
};

}  // namespace vandrel
