#include "engine/media/Mp3Charts.h"

#include <gtest/gtest.h>

#include "engine/frame/FrameHeader.h"

namespace vandrel {
namespace {

TEST(Mp3Charts, BuildsTheBarsAndTheirLabelsFromTheRecord) {
    Mp3Charts charts;
    ScanRecord r = ZeroRecord();  // MPEG-2
    r.layer = 3;
    r.bitrate_index_counts[9] = 2;
    r.long_blocks = 7;
    r.short_blocks = 1;
    r.stereo_type_counts[2] = 2;
    charts.Build(r);

    const HistogramData& bitrates = charts.At(Mp3Charts::kBitrateHistogram);
    ASSERT_EQ(bitrates.values.size(), 16u) << "bitrate bars";
    EXPECT_EQ(bitrates.values[9], 2.0f) << "frames of bitrate index 9";
    EXPECT_EQ(bitrates.labels.back(), "160") << "label of the MPEG-2 row's last bitrate";
    const HistogramData& blocks = charts.At(Mp3Charts::kBlockHistogram);
    EXPECT_EQ(blocks.values, (std::vector<float>{7, 1, 0})) << "long, short and mixed blocks";
    const HistogramData& stereo = charts.At(Mp3Charts::kStereoHistogram);
    EXPECT_EQ(stereo.values.at(2), 2.0f) << "mid-side frames";
    EXPECT_EQ(stereo.labels.at(2), "ms") << "labels in the order of the counts";
    EXPECT_TRUE(charts.HasData(Mp3Charts::kStereoHistogram)) << "stereo chart's data";

    // Freed values leave the charts without data, their titles as they were.
    charts.Clear();
    EXPECT_FALSE(charts.HasData(Mp3Charts::kBitrateHistogram)) << "bitrate chart after Clear";
    EXPECT_EQ(blocks.title, "Block Type") << "block chart's title after Clear";
}

TEST(Mp3Charts, LayerOneAndTwoShowTheIntensityStereoBound) {
    Mp3Charts charts;
    const HistogramData& chart = charts.At(Mp3Charts::kStereoHistogram);
    // A stereo Layer II file codes no subband in intensity stereo.
    ScanRecord r = ZeroRecord();
    r.layer = 2;
    r.frames = 100;
    charts.Build(r);
    EXPECT_EQ(chart.title, "Intensity Stereo Subbands") << "title";
    EXPECT_EQ(chart.values, (std::vector<float>{100, 0, 0, 0, 0})) << "stereo file's counts";
    // A joint-stereo one has no counts before the walk's mode extensions came.
    r.mode = kModeJointStereo;
    charts.Build(r);
    EXPECT_TRUE(chart.values.empty()) << "joint-stereo counts before the walk";
    FrameSeries series;
    series[FrameSeries::kModeExtension] = {1, 1, 3};
    charts.CountBounds(series);
    charts.Build(r);
    EXPECT_EQ(chart.values, (std::vector<float>{0, 0, 2, 0, 1})) << "joint-stereo file's counts";
    EXPECT_EQ(chart.labels.at(2), "8-31") << "label of mode extension 1";
}

}  // namespace
}  // namespace vandrel
