#include <gtest/gtest.h>

#include <filesystem>

#include "engine/core/ScanError.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/media/MediaFileWrapper.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

// What an independent frame walk of each committed fixture finds (frames
// counted as the scanner counts them, the first frame included). The average
// bitrate of a file with a Xing frame count that matches the walk is the file
// size over the Xing duration, tags included.
struct Expected {
    const char* file;
    int frames;
    int first_frame_offset;
    int sample_rate;
    int layer;
    int mode;
    int average_bitrate;
};

const Expected kFixtures[] = {
    {"eyed3_v1_tags.mp3", 117, 0, 44100, 3, 1, 128},
    {"ffmpeg_lame_cbr112_id3.mp3", 117, 94, 44100, 3, 0, 112},
    {"ffmpeg_lame_vbr_q4.mp3", 156, 45, 44100, 3, 3, 49},
    {"ffmpeg_mp2_160.mp2", 115, 0, 44100, 2, 0, 160},
    {"lame_abr96_32k.mp3", 86, 0, 32000, 3, 1, 100},
    {"lame_cbr128_joint.mp3", 117, 0, 44100, 3, 1, 127},
    {"lame_cbr192_dual_48k.mp3", 127, 0, 48000, 3, 2, 192},
    {"lame_cbr320_stereo.mp3", 79, 0, 44100, 3, 0, 319},
    {"lame_cbr64_mono.mp3", 156, 0, 44100, 3, 3, 63},
    {"lame_crc_cbr128.mp3", 117, 0, 44100, 3, 1, 127},
    {"lame_mpeg25_11k_cbr24_mono.mp3", 79, 0, 11025, 3, 3, 24},
    {"lame_mpeg25_8k_vbr_mono.mp3", 59, 0, 8000, 3, 3, 24},
    {"lame_mpeg2_16k_vbr_mono.mp3", 115, 0, 16000, 3, 3, 46},
    {"lame_mpeg2_22k_cbr64.mp3", 118, 0, 22050, 3, 1, 63},
    {"lame_notag_cbr128.mp3", 116, 0, 44100, 3, 1, 128},
    {"lame_notag_vbr_long.mp3", 308, 0, 44100, 3, 1, 89},
    {"lame_tags_v1only.mp3", 86, 0, 32000, 3, 1, 96},
    {"lame_tags_v1v2.mp3", 86, 314, 32000, 3, 1, 97},
    {"lame_vbr_v2.mp3", 117, 0, 44100, 3, 1, 153},
    {"lame_vbr_v4_replaygain.mp3", 117, 0, 44100, 3, 1, 103},
    {"lame_vbr_v6_mono.mp3", 156, 0, 44100, 3, 3, 40},
    {"mid3v2_tags.mp3", 117, 1188, 44100, 3, 1, 131},
    // Its cover picture is larger than the audio after it: found all the same,
    // and the last frame is looked for behind the tag.
    {"mid3v2_cover_art.mp3", 41, 37488, 22050, 3, 3, 32},
    {"twolame_mp2_192_48k.mp2", 125, 0, 48000, 2, 0, 192},
    {"twolame_mp2_64_16k_mono.mp2", 56, 0, 16000, 2, 3, 64},
};

TEST(RealFiles, AgreeWithAnIndependentFrameWalk) {
    const MediaFileTypesScope media_types;
    for (const Expected& e : kFixtures) {
        SCOPED_TRACE(e.file);
        CVandrelMediaFileWrapper file;
        ASSERT_TRUE(file.Attach(test::FixturePath(e.file)));
        ScanRecord r = ZeroRecord();
        ASSERT_EQ(file.Scan(r, {.cache = CacheLookup::kSkip}), 1);
        EXPECT_EQ(r.frames, e.frames);
        EXPECT_EQ(r.first_frame_offset, e.first_frame_offset);
        EXPECT_EQ(r.sample_rate, e.sample_rate);
        EXPECT_EQ(r.layer, e.layer);
        EXPECT_EQ(r.mode, e.mode);
        EXPECT_EQ(r.average_bitrate, e.average_bitrate);
        EXPECT_EQ(r.last_frame_complete, 1);
        EXPECT_EQ(r.sync_errors, 0);
        EXPECT_EQ(r.whole_file_scanned, 1);
    }
}

// Files other projects keep for their own tests: odd encoders, broken headers,
// fuzzing leftovers. Each must give a record or a scanner message.
TEST(SharedSamples, EveryFileGivesAResultOrAMessage) {
    const auto samples = test::SamplesDir();
    if (!samples) {
        GTEST_SKIP() << "no shared samples folder next to the checkout";
    }
    const MediaFileTypesScope media_types;
    int scanned = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(*samples)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        CVandrelMediaFileWrapper file;
        if (!file.Attach(entry.path().string())) {
            EXPECT_FALSE(DescribeAttachFailure(entry.path().string()).empty());
            continue;
        }
        ScanRecord r = ZeroRecord();
        try {
            file.Scan(r, {.cache = CacheLookup::kSkip});
            EXPECT_GE(r.frames, 0) << entry.path();
        } catch (const ScanError& e) {
            EXPECT_FALSE(std::string(e.what()).empty());
        }
        ++scanned;
    }
    EXPECT_GT(scanned, 50);
}

}  // namespace
}  // namespace vandrel
