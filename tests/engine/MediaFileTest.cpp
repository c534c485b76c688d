#include <gtest/gtest.h>

#include <cstring>

#include "engine/io/ByteOrder.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/media/MediaFileWrapper.h"
#include "engine/media/MpcFile.h"
#include "engine/media/VandrelMp3File.h"
#include "engine/media/WaveFile.h"
#include "support/MpcBuilder.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"
#include "support/WaveBuilder.h"

namespace vandrel {
namespace {

using test::TempDir;

class Registry : public ::testing::Test {
protected:
    const MediaFileTypesScope media_types_;
    TempDir dir_;
};

TEST_F(Registry, AttachesTheFirstKindWhoseProbeAcceptsTheFile) {
    test::WriteFile(dir_.File("song.bin"), test::MakeFrames({}, 40));
    // The canonical 44-byte header.
    std::vector<uint8_t> wave =
        test::RiffWave({test::Chunk("fmt ", test::FmtBody(1, 2, 44100, 176400)),
                        test::ChunkHeader("data", 176400 * 3)});
    wave.resize(2000, 0);
    test::WriteFile(dir_.File("sound.mp3"), wave);
    test::WriteFile(dir_.File("plus.mp3"), test::Sv7File(7, 10, 0));

    CVandrelMediaFileWrapper wrapper;
    ASSERT_TRUE(wrapper.Attach(dir_.File("song.bin")));  // any name is probed
    EXPECT_EQ(wrapper.File()->GetFileTypeCode(), 1);

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
        // lame --freeformat, and a lame file of three frames.
        {test::FixturePath("lame_freeformat_400.mp3"), "Free-format MPEG audio is not supported"},
        {test::FixturePath("lame_three_frames.mp3"), "Too few MPEG audio frames"},
        {dir_.File("missing.mp3"), "No such file or directory"},
        {dir_.path(), "Is a directory"},
    };
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(wrapper.Attach(path));
        EXPECT_EQ(wrapper.File(), nullptr);
        EXPECT_EQ(DescribeAttachFailure(path), reason);
    }
}

TEST(Mp3Probe, LooksForFiveFramesFromTheMiddleOfTheFile) {
    TempDir dir;
    // Frames in the first half only: refused, though a scan would find them.
    // (Junk first, frames only in the second half: the workers' "late.mp3".)
    std::vector<uint8_t> bytes = test::MakeFrames({}, 60);
    bytes.resize(bytes.size() + 40'000, 0);
    test::WriteFile(dir.File("early.mp3"), bytes);
    EXPECT_FALSE(CMp3File().IsSupportedFile(dir.File("early.mp3")));

    // Eight 417-byte frames behind a 2000-byte ID3v2 tag: five of them chain
    // from the middle of the file, but not from the middle of the audio.
    bytes = test::Id3v2Header(1990);
    bytes.resize(2000, 0);
    test::Append(bytes, test::MakeFrames({}, 8));
    test::WriteFile(dir.File("short.mp3"), bytes);
    EXPECT_TRUE(CMp3File().IsSupportedFile(dir.File("short.mp3")));
}

}  // namespace
}  // namespace vandrel
