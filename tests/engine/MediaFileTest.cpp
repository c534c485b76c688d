#include <gtest/gtest.h>

#include <cstring>

#include "engine/io/ByteOrder.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/media/MediaFileWrapper.h"
#include "engine/media/VandrelMp3File.h"
#include "engine/media/WaveFile.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using test::TempDir;

std::vector<uint8_t> WaveHeader(uint16_t channels, uint32_t rate, uint32_t byte_rate,
                                uint32_t data_size) {
    std::vector<uint8_t> h(44, 0);
    std::memcpy(h.data(), "RIFF", 4);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    StoreLe16(std::span(h).subspan(22), channels);
    StoreLe32(std::span(h).subspan(24), rate);
    StoreLe32(std::span(h).subspan(28), byte_rate);
    std::memcpy(h.data() + 36, "data", 4);
    StoreLe32(std::span(h).subspan(40), data_size);
    return h;
}

class Registry : public ::testing::Test {
protected:
    const MediaFileTypesScope media_types_;
    TempDir dir_;
};

TEST_F(Registry, AttachesTheFirstKindWhoseProbeAcceptsTheFile) {
    test::WriteFile(dir_.File("song.bin"), test::MakeFrames({}, 40));
    std::vector<uint8_t> wave = WaveHeader(2, 44100, 176400, 176400 * 3);
    wave.resize(2000, 0);
    test::WriteFile(dir_.File("sound.mp3"), wave);

    CVandrelMediaFileWrapper wrapper;
    ASSERT_TRUE(wrapper.Attach(dir_.File("song.bin")));  // any name is probed
    EXPECT_EQ(wrapper.File()->GetFileTypeCode(), 1);
    EXPECT_NE(dynamic_cast<CVandrelMp3File*>(wrapper.File()), nullptr);
    EXPECT_EQ(wrapper.GetFileSize(), 40u * 417);

    ASSERT_TRUE(wrapper.Attach(dir_.File("sound.mp3")));  // the content decides
    EXPECT_EQ(wrapper.File()->GetFileTypeCode(), 3);
    // MPEG audio is tried before WAVE: frames in a RIFF file make it MPEG audio.
    wave.resize(44);
    test::Append(wave, test::MakeFrames({}, 40));
    test::WriteFile(dir_.File("wrapped.wav"), wave);
    ASSERT_TRUE(wrapper.Attach(dir_.File("wrapped.wav")));
    EXPECT_EQ(wrapper.File()->GetFileTypeCode(), 1);
}

TEST_F(Registry, RefusesWhatNoKindAcceptsAndSaysWhy) {
    test::WriteFile(dir_.File("empty.mp3"), {});
    test::WriteFile(dir_.File("noise.mp3"), std::vector<uint8_t>(5000, 0x55));
    CVandrelMediaFileWrapper wrapper;
    struct Case {
        std::string path;
        std::string reason;
    };
    const Case cases[] = {
        {dir_.File("empty.mp3"), "Empty file"},
        {dir_.File("noise.mp3"), "Not an MPEG audio, MPEG Plus or WAVE file"},
        {dir_.File("missing.mp3"), "No such file or directory"},
        {dir_.path(), "Is a directory"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(wrapper.Attach(c.path)) << c.path;
        EXPECT_EQ(wrapper.File(), nullptr);
        EXPECT_EQ(DescribeAttachFailure(c.path), c.reason);
    }
    // A wrapper without a file answers 0 to everything.
    ScanRecord record = ZeroRecord();
    EXPECT_EQ(wrapper.Scan(record, {}), 0);
    EXPECT_EQ(wrapper.ShowPage(0), 0);
    EXPECT_EQ(wrapper.ReleaseFrameData(), 0);
    EXPECT_EQ(wrapper.DestroyPages(), 0);
}

TEST(Mp3Probe, LooksForFiveFramesFromTheMiddleOfTheFile) {
    TempDir dir;
    // Junk first, frames only in the second half: accepted.
    std::vector<uint8_t> bytes(20'000, 0);
    test::Append(bytes, test::MakeFrames({}, 60));
    test::WriteFile(dir.File("late.mp3"), bytes);
    // Frames in the first half only: refused, though a scan would find them.
    bytes = test::MakeFrames({}, 60);
    bytes.resize(bytes.size() + 40'000, 0);
    test::WriteFile(dir.File("early.mp3"), bytes);

    const CMp3File probe;
    EXPECT_TRUE(probe.IsSupportedFile(dir.File("late.mp3")));
    EXPECT_FALSE(probe.IsSupportedFile(dir.File("early.mp3")));
    EXPECT_FALSE(probe.IsSupportedFile(dir.File("missing.mp3")));
}

TEST(WaveFile, ReadsTheCanonicalHeader) {
    TempDir dir;
    std::vector<uint8_t> bytes = WaveHeader(1, 22050, 44100, 44100 * 5 + 300);
    bytes.resize(bytes.size() + 100, 0);
    test::WriteFile(dir.File("a.wav"), bytes);
    const CWaveFile probe;
    ASSERT_TRUE(probe.IsSupportedFile(dir.File("a.wav")));

    CWaveFile wave;
    ASSERT_TRUE(wave.Open(dir.File("a.wav"), "rb"));
    ScanRecord r = ZeroRecord();
    EXPECT_EQ(wave.Scan(r, {}), 1);
    EXPECT_EQ(r.channels, 1);
    EXPECT_EQ(r.sample_rate, 22050);
    EXPECT_EQ(r.average_bitrate, 352);
    EXPECT_EQ(r.file_size, 144u);
    EXPECT_FLOAT_EQ(r.length_seconds, 5.0f);  // whole seconds
    EXPECT_EQ(RecordPath(r), dir.File("a.wav"));
}

TEST(WaveFile, SurvivesShortAndDamagedHeaders) {
    TempDir dir;
    std::vector<uint8_t> bytes = WaveHeader(2, 44100, 0, 1000);  // no byte rate
    test::WriteFile(dir.File("zero.wav"), bytes);
    bytes.resize(30);
    test::WriteFile(dir.File("short.wav"), bytes);

    CWaveFile wave;
    ScanRecord r = ZeroRecord();
    ASSERT_TRUE(wave.Open(dir.File("zero.wav"), "rb"));
    EXPECT_EQ(wave.Scan(r, {}), 1);
    EXPECT_FLOAT_EQ(r.length_seconds, 0.0f);
    ASSERT_TRUE(wave.Open(dir.File("short.wav"), "rb"));
    r = ZeroRecord();
    EXPECT_EQ(wave.Scan(r, {}), 0);
}

}  // namespace
}  // namespace vandrel
