#include <gtest/gtest.h>

#include <cstring>

#include "engine/io/ByteOrder.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/media/MediaFileWrapper.h"
#include "engine/media/MpcFile.h"
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

std::vector<uint8_t> Sv7File(uint8_t version_byte, uint32_t frames, uint32_t w2,
                             size_t size = 4000) {
    std::vector<uint8_t> bytes(size, 0);
    std::memcpy(bytes.data(), "MP+", 3);
    bytes[3] = version_byte;
    StoreLe32(std::span(bytes).subspan(4), frames);
    StoreLe32(std::span(bytes).subspan(8), w2);
    return bytes;
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
    test::WriteFile(dir_.File("plus.mp3"), Sv7File(7, 10, 0));

    CVandrelMediaFileWrapper wrapper;
    ASSERT_TRUE(wrapper.Attach(dir_.File("song.bin")));  // any name is probed
    EXPECT_EQ(wrapper.File()->GetFileTypeCode(), 1);
    EXPECT_NE(dynamic_cast<CVandrelMp3File*>(wrapper.File()), nullptr);
    EXPECT_EQ(wrapper.GetFileSize(), 40u * 417);

    ASSERT_TRUE(wrapper.Attach(dir_.File("sound.mp3")));  // the content decides
    EXPECT_EQ(wrapper.File()->GetFileTypeCode(), 3);
    ASSERT_TRUE(wrapper.Attach(dir_.File("plus.mp3")));
    EXPECT_EQ(wrapper.File()->GetFileTypeCode(), 4);
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
    const std::pair<std::string, std::string> cases[] = {
        {dir_.File("empty.mp3"), "Empty file"},
        {dir_.File("noise.mp3"), "Not an MPEG audio, MPEG Plus or WAVE file"},
        {dir_.File("missing.mp3"), "No such file or directory"},
        {dir_.path(), "Is a directory"},
    };
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(wrapper.Attach(path));
        EXPECT_EQ(wrapper.File(), nullptr);
        EXPECT_EQ(DescribeAttachFailure(path), reason);
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
}

TEST(WaveFile, ReadsTheCanonicalHeaderAndSurvivesShortAndDamagedOnes) {
    std::vector<uint8_t> bytes = WaveHeader(1, 22050, 44100, 44100 * 5 + 300);
    bytes.resize(bytes.size() + 100, 0);
    CWaveFile wave;
    wave.OpenMemory("a.wav", bytes);
    ScanRecord r = ZeroRecord();
    EXPECT_EQ(wave.Scan(r, {}), 1);
    EXPECT_EQ(r.channels, 1);
    EXPECT_EQ(r.sample_rate, 22050);
    EXPECT_EQ(r.average_bitrate, 352);
    EXPECT_EQ(r.file_size, 144u);
    EXPECT_FLOAT_EQ(r.length_seconds, 5.0f);  // whole seconds
    EXPECT_EQ(RecordPath(r), "a.wav");

    // No byte rate: no length.
    wave.OpenMemory("zero.wav", WaveHeader(2, 44100, 0, 1000));
    r = ZeroRecord();
    EXPECT_EQ(wave.Scan(r, {}), 1);
    EXPECT_FLOAT_EQ(r.length_seconds, 0.0f);
    // A header cut short.
    bytes.resize(30);
    wave.OpenMemory("short.wav", bytes);
    r = ZeroRecord();
    EXPECT_EQ(wave.Scan(r, {}), 0);
}

ScanRecord ScanMpc(std::vector<uint8_t> bytes) {
    CMpcFile file;
    file.OpenMemory("a.mpc", std::move(bytes));
    ScanRecord r = ZeroRecord();
    EXPECT_EQ(file.Scan(r, {}), 1);
    return r;
}

TEST(MpcFile, MeasuresAStreamVersion7File) {
    // Bit 30 (mid/side) and bit 23 (profile present) set, profile 2.
    ScanRecord r = ScanMpc(Sv7File(7, 1000, 0x40A00000, 300'000));
    EXPECT_EQ(r.mpc_stream_version, 7);
    EXPECT_EQ(r.mpc_profile, 2);
    EXPECT_STREQ(MpcProfileName(r.mpc_profile), "Standard");
    EXPECT_EQ(r.mode, 1);
    EXPECT_EQ(r.frames, 1000);
    // 1,152,000 samples at 44.1 kHz: 26122 ms, whole seconds kept.
    EXPECT_FLOAT_EQ(r.length_seconds, 26.0f);
    EXPECT_EQ(r.average_bitrate, 91);  // 2,400,000 bits in 26,122 ms
    EXPECT_EQ(r.file_size, 300'000u);

    // The whole version byte is kept; with bit 23 clear the profile is unknown.
    r = ScanMpc(Sv7File(0x17, 10, 0x00200000));
    EXPECT_EQ(r.mpc_stream_version, 23);
    EXPECT_EQ(r.mpc_profile, 6);
    EXPECT_STREQ(MpcProfileName(r.mpc_profile), "Unknown");
    EXPECT_EQ(r.mode, 0);

    // A stream without frames has no duration and no bitrate.
    r = ScanMpc(Sv7File(7, 0, 0));
    EXPECT_EQ(r.average_bitrate, 0);
    EXPECT_FLOAT_EQ(r.length_seconds, 0.0f);
}

TEST(MpcFile, LeavesOtherFilesToTheNextKind) {
    test::TempDir dir;
    std::vector<uint8_t> bytes = Sv7File(7, 10, 0);
    bytes[2] = '-';
    test::WriteFile(dir.File("not.mpc"), bytes);
    const CMpcFile probe;
    EXPECT_FALSE(probe.IsSupportedFile(dir.File("not.mpc")));
    test::WriteFile(dir.File("short.mpc"), {'M', 'P', '+', 7});
    EXPECT_FALSE(probe.IsSupportedFile(dir.File("short.mpc")));
}

}  // namespace
}  // namespace vandrel
