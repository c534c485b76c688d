#include "engine/verdicts/Quality.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

ScanRecord Record(int is_mpeg1, int layer, int bitrate, int vbr = 0) {
    ScanRecord r = ZeroRecord();
    r.kind = 1;
    r.is_mpeg1 = is_mpeg1;
    r.not_mpeg25 = 1;
    r.layer = layer;
    r.average_bitrate = bitrate;
    r.is_vbr = vbr;
    return r;
}

TEST(Quality, FollowsTheThresholdTable) {
    struct Version {
        int is_mpeg1;
        int layer;
    };
    const Version kVersions[] = {{1, 3}, {0, 3}, {1, 2}, {1, 1}};
    // An encoder name of each class, and its (good, ok) thresholds per version.
    struct Row {
        const char* encoder;
        int thresholds[4][2];
    };
    const Row kTable[] = {
        {"Xing (new)", {{192, 128}, {112, 80}, {224, 160}, {352, 288}}},
        {"Unknown", {{160, 112}, {96, 64}, {192, 128}, {320, 256}}},
        {"FhG (l3enc)", {{128, 96}, {80, 56}, {160, 112}, {288, 224}}},
        {"mppenc", {{112, 80}, {112, 80}, {112, 80}, {112, 80}}},  // always MPEG-1 Layer III
        {"RCA 1.0.1", {{96, 64}, {56, 40}, {112, 80}, {224, 160}}},
    };
    for (const Row& row : kTable) {
        for (int v = 0; v < 4; ++v) {
            const auto [good, ok] = row.thresholds[v];
            const auto q = [&](int bitrate) {
                return EstimateQuality(row.encoder, "joint stereo",
                                       Record(kVersions[v].is_mpeg1, kVersions[v].layer, bitrate),
                                       false);
            };
            const std::string where = std::string(row.encoder) + " version " + std::to_string(v);
            EXPECT_EQ(q(good + 1), kQualityGood) << where;
            EXPECT_EQ(q(good), kQualityOk) << where;
            EXPECT_EQ(q(ok + 1), kQualityOk) << where;
            EXPECT_EQ(q(ok), kQualityBad) << where;
        }
    }
}

// The mode and mono factors are those of AttributeTexts.JudgesQualityByTheModeShown.
TEST(Quality, WeighsVbrAndClassesEncodersByName) {
    EXPECT_EQ(EstimateQuality("Lame 3.90", "joint stereo", Record(1, 3, 128), false), kQualityOk);
    EXPECT_EQ(EstimateQuality("Lame 3.90", "joint stereo", Record(1, 3, 128, 1), false),
              kQualityGood);  // 153.6
    // "Thomson" (mp3PRO) is in the class of "RCA"; only Lame 3.8x and 3.9x
    // are in the class of "FhG".
    EXPECT_EQ(EstimateQuality("Thomson mp3PRO Encoder", "joint stereo", Record(1, 3, 97), false),
              kQualityGood);
    EXPECT_EQ(EncoderClass("Lame 3.70"), 0);
    EXPECT_EQ(EncoderClass("Lame 3.97"), 1);
    EXPECT_EQ(EncoderClass("Gogo (before 3.0)"), 0);
    EXPECT_EQ(EncoderClass("Gogo (after 3.0)"), 1);
    // A record without version or layer cannot be judged.
    EXPECT_EQ(EstimateQuality("Unknown", "", Record(1, 0, 500), false), kQualityBad);
}

}  // namespace
}  // namespace vandrel
