// The audio hash: over the audio frames alone, so that tags, junk and the
// header frame leave it as it is, and only from a walk of the whole file.
#include <gtest/gtest.h>
#include <xxhash.h>

#include <string>
#include <vector>

#include "engine/frame/FrameHeader.h"
#include "engine/io/ByteOrder.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/verdicts/FileAnalysis.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

class AudioHashTest : public ::testing::Test {
protected:
    // The analysis of `bytes` written to a file of the test's folder.
    FileAnalysis Of(const std::vector<uint8_t>& bytes, AnalysisRequest request = {}) {
        const std::string path = dir_.File("file" + std::to_string(++files_) + ".mp3");
        test::WriteFile(path, bytes);
        return Analyse(path, request);
    }

    const MediaFileTypesScope media_types_;
    test::TempDir dir_;
    int files_ = 0;
};

// A file of frames alone (lame without its Info frame or tags): the hash is
// XXH3 of the whole file, as xxhsum -H3 gives it.
TEST_F(AudioHashTest, IsXxh3OfTheAudioFramesBytes) {
    const std::vector<uint8_t> audio = test::ReadFile(test::FixturePath("lame_notag_cbr128.mp3"));
    const FileAnalysis a = Of(audio);
    ASSERT_EQ(a.record.has_xing, 0) << "a file without a header frame";
    ASSERT_EQ(a.texts[kSlotProblems], "none") << "a file of frames alone";
    EXPECT_EQ(a.checks.audio_hash, XXH3_64bits(audio.data(), audio.size())) << "XXH3 of the frames";
}

TEST_F(AudioHashTest, TagsJunkAndTheHeaderFrameLeaveItAsItIs) {
    const std::vector<uint8_t> audio = test::ReadFile(test::FixturePath("lame_vbr_v2.mp3"));
    const FileAnalysis plain = Of(audio);
    ASSERT_EQ(plain.checks.audio_hashed, 1u) << "a hash from the whole walk";
    EXPECT_EQ(plain.texts[kSlotAudioHash], AudioHashText(plain.checks.audio_hash))
        << "Audio Hash text";
    EXPECT_EQ(plain.texts[kSlotAudioHash].size(), 16u) << "16 hexadecimal digits";

    // Cover art in an ID3v2 tag and junk in front; an APE tag, unknown bytes
    // and an ID3v1 tag behind.
    std::vector<uint8_t> tagged = test::Id3v2Header(20'000);
    tagged.resize(tagged.size() + 20'000, 0);
    test::Append(tagged, std::vector<uint8_t>(300, 0x55));
    test::Append(tagged, audio);
    test::Append(tagged, std::vector<uint8_t>(77, 0x42));
    test::Append(tagged, test::MakeApeTag("Artist", "Someone"));
    test::Append(tagged, test::MakeId3v1("Title"));
    const FileAnalysis retagged = Of(tagged);
    EXPECT_EQ(retagged.texts[kSlotProblems], "junk before audio, unknown data after audio")
        << "the bytes around the audio were seen";
    EXPECT_EQ(retagged.checks.audio_hash, plain.checks.audio_hash) << "hash with tags and junk";

    // Without its Xing frame (the frame after it holds the first audio).
    ASSERT_EQ(plain.record.has_xing, 1) << "the fixture has a Xing frame";
    const auto info = static_cast<size_t>(plain.record.first_frame_offset);
    FrameHeader header;
    const auto info_length =
        static_cast<size_t>(DecodeFrameHeader(LoadBe32(std::span(audio).subspan(info, 4)), header));
    ASSERT_GT(info_length, 0u) << "the Xing frame's length";
    std::vector<uint8_t> headerless(audio.begin(), audio.begin() + static_cast<long>(info));
    headerless.insert(headerless.end(), audio.begin() + static_cast<long>(info + info_length),
                      audio.end());
    const FileAnalysis bare = Of(headerless);
    EXPECT_EQ(bare.record.has_xing, 0) << "no header frame left";
    EXPECT_EQ(bare.checks.audio_hash, plain.checks.audio_hash) << "hash without the header frame";

    // One byte of the audio changed.
    std::vector<uint8_t> changed = audio;
    changed[changed.size() / 2] ^= 0x01;
    EXPECT_NE(Of(changed).checks.audio_hash, plain.checks.audio_hash) << "hash of other audio";
}

// The same lame encodes, tagged by real taggers: mid3v2 (cover art too),
// eyeD3, mutagen's APE and ID3 tags; and written by lame without its Info frame.
TEST_F(AudioHashTest, RealTaggersLeaveItAsItIs) {
    const auto hash = [](const char* name) {
        const FileAnalysis a = Analyse(test::FixturePath(name), {});
        return a.checks.audio_hashed != 0 ? a.texts[kSlotAudioHash] : std::string("none");
    };
    const std::string plain = hash("lame_cbr128_joint.mp3");
    EXPECT_EQ(hash("mid3v2_tags.mp3"), plain) << "tagged by mid3v2";
    EXPECT_EQ(hash("eyed3_v1_tags.mp3"), plain) << "tagged by eyeD3";
    EXPECT_EQ(hash("lame_notag_cbr128.mp3"), plain) << "without the Info frame";
    EXPECT_EQ(hash("mutagen_trailing_tags.mp3"), hash("mid3v2_cover_art.mp3"))
        << "APE and ID3 tags of mutagen against cover art of mid3v2";
}

TEST_F(AudioHashTest, OnlyAWalkOfTheWholeFileGivesOne) {
    const std::vector<uint8_t> audio = test::ReadFile(test::FixturePath("lame_cbr128_joint.mp3"));
    const FileAnalysis part = Of(audio, {.frames = 20});
    EXPECT_EQ(part.checks.audio_hashed, 0u) << "no hash after 20 frames";
    EXPECT_EQ(part.texts[kSlotAudioHash], "") << "no Audio Hash text after 20 frames";
    const FileAnalysis headers = Of(audio, {.depth = ReadDepth::kHeaders});
    EXPECT_EQ(headers.texts[kSlotAudioHash], "") << "no Audio Hash text of the headers alone";
    const FileAnalysis wave = Analyse(test::FixturePath("sox_pcm_22k_mono.wav"), {});
    EXPECT_EQ(wave.texts[kSlotAudioHash], "") << "no Audio Hash text of a WAVE file";
}

}  // namespace
}  // namespace vandrel
