#include "engine/media/Mp3Charts.h"

#include <algorithm>

#include "engine/frame/FrameHeader.h"

namespace vandrel {

Mp3Charts::Mp3Charts() {
    histograms_[kBitrateHistogram].kind = HistogramKind::kBitrateCounts;
    histograms_[kBitrateHistogram].title = "Bitrate Distribution";
    histograms_[kBitrateHistogram].decimals = 0;
    histograms_[kBlockHistogram].kind = HistogramKind::kBlockTypes;
    histograms_[kBlockHistogram].title = "Block Type";
    histograms_[kBlockHistogram].decimals = 1;
    histograms_[kBlockHistogram].labels = {"long", "short", "mixed"};
    histograms_[kStereoHistogram].kind = HistogramKind::kStereoTypes;
    histograms_[kStereoHistogram].title = "Joint Stereo Type";
    histograms_[kStereoHistogram].decimals = 1;
    histograms_[kStereoHistogram].labels = {"ss", "is", "ms", "mixed"};
}

void Mp3Charts::Build(const ScanRecord& record) {
    HistogramData& bitrates = histograms_[kBitrateHistogram];
    bitrates.values.assign(std::begin(record.bitrate_index_counts),
                           std::end(record.bitrate_index_counts));
    bitrates.labels = {"Free"};
    for (int i = 1; i <= 14; ++i) {
        bitrates.labels.push_back(std::to_string(BitrateKbps(record.is_mpeg1, record.layer, i)));
    }
    histograms_[kBlockHistogram].values = {static_cast<float>(record.long_blocks),
                                           static_cast<float>(record.short_blocks),
                                           static_cast<float>(record.mixed_blocks)};
    HistogramData& stereo = histograms_[kStereoHistogram];
    if (record.layer == 1 || record.layer == 2) {
        BuildBoundChart(record);
        return;
    }
    stereo.title = "Joint Stereo Type";
    stereo.labels = {"ss", "is", "ms", "mixed"};
    stereo.values.assign(std::begin(record.stereo_type_counts),
                         std::end(record.stereo_type_counts));
}

void Mp3Charts::BuildBoundChart(const ScanRecord& record) {
    // The mode extension of a Layer I or II joint-stereo frame is the first
    // subband coded in intensity stereo: 4, 8, 12 or 16, up to the last, 31.
    HistogramData& stereo = histograms_[kStereoHistogram];
    stereo.title = "Intensity Stereo Subbands";
    stereo.labels = {"none", "4-31", "8-31", "12-31", "16-31"};
    if (record.mode != kModeJointStereo) {
        // None of the file's frames codes any subband in intensity stereo.
        stereo.values = {static_cast<float>(std::max(record.frames, 0)), 0, 0, 0, 0};
    } else if (bound_counts_.empty()) {
        stereo.values.clear();  // known once the walk has ended
    } else {
        stereo.values = {0};
        stereo.values.insert(stereo.values.end(), bound_counts_.begin(), bound_counts_.end());
    }
}

void Mp3Charts::CountBounds(const FrameSeries& series) {
    bound_counts_.assign(4, 0.0f);
    for (uint32_t extension : series[FrameSeries::kModeExtension]) {
        bound_counts_[extension & 3] += 1;
    }
}

void Mp3Charts::Clear() {
    for (HistogramData& histogram : histograms_) {
        histogram.values.clear();
    }
    bound_counts_.clear();
}

bool Mp3Charts::HasData(Histogram which) const {
    const std::vector<float>& values = histograms_[which].values;
    return std::any_of(values.begin(), values.end(), [](float value) { return value > 0; });
}

}  // namespace vandrel
