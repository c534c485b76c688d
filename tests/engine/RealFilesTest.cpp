#include <gtest/gtest.h>

#include <filesystem>

#include "engine/core/ScanError.h"
#include "engine/io/ByteOrder.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/media/MediaFileWrapper.h"
#include "engine/media/Mp3File.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

// What an independent frame walk of each committed fixture finds (frames
// counted as the scanner counts them, the first frame included). The average
// bitrate of a file with a Xing frame count that matches the walk is the
// audio's size, from the first frame to the end of the last, over the Xing
// duration: tags do not count, so tagged files read as the same audio would
// without them. Frames of one bitrate (lame's CBR files, whose size over the
// Xing duration falls a hair under it) have that bitrate.
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
    {"ffmpeg_lame_cbr112_id3.mp3", 117, 94, 44100, 3, 0, 112},
    {"ffmpeg_lame_vbr_q4.mp3", 156, 45, 44100, 3, 3, 49},
    {"ffmpeg_mp2_160.mp2", 115, 0, 44100, 2, 0, 160},
    {"lame_abr96_32k.mp3", 86, 0, 32000, 3, 1, 100},
    {"lame_cbr128_joint.mp3", 117, 0, 44100, 3, 1, 128},
    {"lame_cbr192_dual_48k.mp3", 127, 0, 48000, 3, 2, 192},
    {"lame_cbr320_stereo.mp3", 79, 0, 44100, 3, 0, 320},
    {"lame_cbr64_mono.mp3", 156, 0, 44100, 3, 3, 64},
    {"lame_crc_cbr128.mp3", 117, 0, 44100, 3, 1, 128},
    {"lame_mpeg25_11k_cbr24_mono.mp3", 79, 0, 11025, 3, 3, 24},
    {"lame_mpeg25_8k_vbr_mono.mp3", 59, 0, 8000, 3, 3, 24},
    {"lame_mpeg2_16k_vbr_mono.mp3", 115, 0, 16000, 3, 3, 46},
    {"lame_mpeg2_22k_cbr64.mp3", 118, 0, 22050, 3, 1, 64},
    {"lame_notag_cbr128.mp3", 116, 0, 44100, 3, 1, 128},
    {"lame_notag_vbr_long.mp3", 308, 0, 44100, 3, 1, 89},
    {"lame_tags_v1v2.mp3", 86, 314, 32000, 3, 1, 96},
    {"lame_vbr_v2.mp3", 117, 0, 44100, 3, 1, 153},
    {"lame_vbr_v6_mono.mp3", 156, 0, 44100, 3, 3, 40},
    {"mid3v2_tags.mp3", 117, 1188, 44100, 3, 1, 128},
    // Its cover picture is larger than the audio after it: found all the same,
    // and the last frame is looked for behind the tag.
    {"mid3v2_cover_art.mp3", 41, 59429, 44100, 3, 1, 128},
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

// Real files joined, padded and tagged the way people's files are.
std::vector<uint8_t> Fixture(const char* name) {
    return test::ReadFile(test::FixturePath(name));
}

// The frames of a fixture without tags, each as its bytes.
std::vector<std::vector<uint8_t>> SplitFrames(const std::vector<uint8_t>& bytes) {
    std::vector<std::vector<uint8_t>> frames;
    FrameHeader header;
    for (size_t at = 0, length; at + 4 <= bytes.size(); at += length) {
        length = static_cast<size_t>(DecodeFrameHeader(LoadBe32({bytes.data() + at, 4}), header));
        if (length == 0 || at + length > bytes.size()) {
            break;
        }
        frames.emplace_back(bytes.begin() + static_cast<long>(at),
                            bytes.begin() + static_cast<long>(at + length));
    }
    return frames;
}

constexpr double kMpeg1Frame44k = 1152.0 / 44100.0;  // seconds

TEST(JoinedFiles, AreWalkedToTheEndWithOneSyncErrorWhereTheyMeet) {
    const std::vector<uint8_t> mp3 = Fixture("lame_cbr128_joint.mp3");  // 117 frames

    // 600 KB of silence between two files, more than one search window holds.
    std::vector<uint8_t> bytes = mp3;
    bytes.resize(bytes.size() + 600'000, 0);
    test::Append(bytes, mp3);
    ScanRecord r = test::ScanMemory(bytes);
    EXPECT_EQ(r.frames, 234);
    EXPECT_EQ(r.sync_errors, 1);
    EXPECT_EQ(r.sync_error_times_ms[0], 3056);  // after the first file's 117 frames
    EXPECT_NEAR(r.length_seconds, 234 * kMpeg1Frame44k, 1e-4);

    // An MP2 file after an MP3 file: its frames are skipped, but counted and
    // timed, and the run of them is a sync error where it starts.
    bytes = mp3;
    test::Append(bytes, Fixture("ffmpeg_mp2_160.mp2"));  // 115 frames
    r = test::ScanMemory(bytes);
    EXPECT_EQ(r.frames, 232);
    EXPECT_EQ(r.sync_errors, 1);
    EXPECT_EQ(r.sync_error_times_ms[0], 3056);
    EXPECT_NEAR(r.length_seconds, 232 * kMpeg1Frame44k, 1e-4);
    EXPECT_EQ(r.average_bitrate, 128);

    // 22.05 kHz MPEG-2 after 44.1 kHz MPEG-1: each frame lasts its own time.
    bytes = mp3;
    test::Append(bytes, Fixture("lame_mpeg2_22k_cbr64.mp3"));  // 118 frames of 576 samples
    r = test::ScanMemory(bytes);
    EXPECT_EQ(r.frames, 235);
    EXPECT_EQ(r.sync_errors, 1);
    EXPECT_EQ(r.sample_rate, 22050);  // the reference follows the file
    EXPECT_NEAR(r.length_seconds, 117 * kMpeg1Frame44k + 118 * 576.0 / 22050.0, 1e-4);
}

TEST(JoinedFiles, OfFramesThatChangeChannelsAtEveryFrameKeepEveryFrame) {
    // Frames of a mono and a stereo lame file in turn, their Info frames left out.
    const auto mono = SplitFrames(Fixture("lame_cbr64_mono.mp3"));
    const auto stereo = SplitFrames(Fixture("lame_cbr128_joint.mp3"));
    std::vector<uint8_t> bytes;
    for (size_t i = 1; i <= 40; ++i) {
        test::Append(bytes, mono[i]);
        test::Append(bytes, stereo[i]);
    }
    const ScanRecord r = test::ScanMemory(bytes);
    EXPECT_EQ(r.frames, 80);
    EXPECT_EQ(r.sync_errors, 1);
    EXPECT_EQ(r.sync_error_times_ms[0], 26);  // from the second frame on
    EXPECT_NEAR(r.length_seconds, 80 * kMpeg1Frame44k, 1e-4);
}

TEST(TaggedFiles, AreFoundBehindStackedTagsAndBigCovers) {
    const std::vector<uint8_t> audio = Fixture("lame_cbr64_mono.mp3");  // 156 frames
    // A small tag, then one with a 600 KB picture: the audio is after both.
    std::vector<uint8_t> bytes = test::Id3v2Header(100);
    bytes.resize(110, 0xFF);  // frame sync bytes, hostile
    test::Append(bytes, test::Id3v2Header(600'000));
    bytes.resize(110 + 600'010, 0xFF);
    test::Append(bytes, audio);
    test::TempDir dir;
    test::WriteFile(dir.File("stacked.mp3"), bytes);
    EXPECT_TRUE(CMp3File().IsSupportedFile(dir.File("stacked.mp3")));
    ScanRecord r = test::ScanMemory(bytes);
    EXPECT_EQ(r.id3v2_size, 110);  // the first tag's
    EXPECT_EQ(r.first_frame_offset, 110 + 600'010);
    EXPECT_EQ(r.frames, 156);
    EXPECT_EQ(r.average_bitrate, 64);  // the audio's alone

    // A tag whose size runs past the end: the frames are found from its start.
    bytes = test::Id3v2Header(5'000'000);
    test::Append(bytes, audio);
    r = test::ScanMemory(bytes);
    EXPECT_EQ(r.first_frame_offset, 10);
    EXPECT_EQ(r.frames, 156);
}

TEST(TaggedFiles, EndTheAudioWhereTheTagsAfterItStart) {
    // ID3v2.4 with a footer, APEv2, Lyrics3v2 and ID3v1 (mutagen and lame).
    ScanRecord r = test::ScanMemory(Fixture("mutagen_trailing_tags.mp3"));
    EXPECT_EQ(r.frames, 41);
    EXPECT_EQ(r.sync_errors, 0);
    EXPECT_EQ(r.last_frame_complete, 1);
    EXPECT_EQ(r.average_bitrate, 128);  // 145 with the tags counted

    // A 330 KB APE tag of bytes full of frame syncs after a VBR file: the
    // last-frame check looks before it, the walk stops at it.
    std::vector<uint8_t> bytes = Fixture("lame_notag_vbr_long.mp3");  // 308 frames
    const size_t audio = bytes.size();
    for (uint32_t i = 0; i < 330'000; ++i) {
        bytes.push_back(static_cast<uint8_t>(i % 7 == 0 ? 0xFF : i * 37));
    }
    const uint8_t footer[32] = {
        'A',  'P',  'E', 'T', 'A',  'G',  'E',  'X',
        0xD0, 0x07, 0,   0,   0x70, 0x08, 0x05, 0};  // version 2000, 330,032 bytes
    bytes.insert(bytes.end(), std::begin(footer), std::end(footer));
    r = test::ScanMemory(bytes);
    EXPECT_EQ(r.frames, 308);
    EXPECT_EQ(r.sync_errors, 0);
    EXPECT_EQ(r.last_frame_complete, 1);
    EXPECT_EQ(r.non_audio_bytes, bytes.size() - audio);
    EXPECT_EQ(r.average_bitrate, 89);

    // The last frame cut short in front of an ID3v1 tag is cut short.
    bytes = Fixture("lame_cbr128_joint.mp3");
    bytes.erase(bytes.end() - 100, bytes.end());
    test::Append(bytes, test::MakeId3v1("Cut"));
    r = test::ScanMemory(bytes);
    EXPECT_EQ(r.last_frame_complete, 0);
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
