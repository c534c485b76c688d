#include "engine/media/WaveFile.h"

#include <gtest/gtest.h>

#include "engine/verdicts/AttributeTexts.h"
#include "support/TestFiles.h"
#include "support/WaveBuilder.h"

namespace vandrel {
namespace {

using test::Chunk;
using test::ChunkHeader;
using test::FmtBody;
using test::RiffWave;

ScanRecord ScanBytes(std::vector<uint8_t> bytes, int& result) {
    CWaveFile wave;
    wave.OpenMemory("built.wav", std::move(bytes));
    ScanRecord r = ZeroRecord();
    result = wave.Scan(r, {});
    return r;
}

// The committed fixtures, with what ffprobe reads in them.
TEST(WaveFile, ReadsRealFilesWhateverChunksComeBeforeTheAudio) {
    struct Expected {
        const char* name;
        int channels, sample_rate, bitrate;
        float length;
        uint16_t format_tag, bits;
        const char *type, *mode;
    };
    const Expected files[] = {
        // The canonical 44-byte header.
        {"sox_pcm_22k_mono.wav", 1, 22050, 352, 1.0f, 1, 16, "wave PCM", "mono"},
        // A LIST chunk between "fmt " and "data".
        {"ffmpeg_pcm_8k_mono_list.wav", 1, 8000, 128, 1.25f, 1, 16, "wave PCM", "mono"},
        // A "fact" chunk first. The byte rate counts the block headers, so 512
        // bytes last a little longer than the 800 samples (0.1 s) they hold.
        {"sox_ima_adpcm_8k_mono.wav", 1, 8000, 32, 0.126f, 0x11, 4, "wave ADPCM", "mono"},
        // Extensible, with PCM as its sub-format.
        {"ffmpeg_pcm24_8k_6ch_extensible.wav", 6, 8000, 1152, 0.25f, 1, 24, "wave PCM",
         "6 channels"},
    };
    for (const Expected& e : files) {
        SCOPED_TRACE(e.name);
        CWaveFile wave;
        ASSERT_TRUE(wave.Open(test::FixturePath(e.name), "rb"));
        ScanRecord r = ZeroRecord();
        ASSERT_EQ(wave.Scan(r, {}), 1);
        EXPECT_EQ(r.channels, e.channels);
        EXPECT_EQ(r.sample_rate, e.sample_rate);
        EXPECT_EQ(r.average_bitrate, e.bitrate);
        EXPECT_NEAR(r.length_seconds, e.length, 0.0005f);
        EXPECT_EQ(WaveFormatTag(r), e.format_tag);
        EXPECT_EQ(WaveBitsPerSample(r), e.bits);

        AttributeTexts texts;
        texts[kSlotTitle] = "left by the file shown before";
        EXPECT_EQ(BuildAttributeTexts(texts, r, true), -1);
        EXPECT_EQ(texts[kSlotGeneralType], "WAVE");
        EXPECT_EQ(texts[kSlotType], e.type);
        EXPECT_EQ(texts[kSlotStereoMode], e.mode);
        EXPECT_EQ(texts[kSlotTitle], "");  // WAVE tags are not read
    }
}

TEST(WaveFile, SurvivesMissingAndDamagedChunks) {
    const auto fmt = Chunk("fmt ", FmtBody(1, 2, 8000, 32000));
    const auto audio = Chunk("data", std::vector<uint8_t>(8000));  // 0.25 s
    std::vector<uint8_t> empty_chunks;
    for (int i = 0; i < 5000; ++i) {
        const auto junk = ChunkHeader("junk", 0);
        empty_chunks.insert(empty_chunks.end(), junk.begin(), junk.end());
    }
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        int result;
        float length;
    } cases[] = {
        {"a data size past the end counts the bytes there",
         RiffWave({fmt, ChunkHeader("data", 0xFFFFFFF0), std::vector<uint8_t>(4000)}), 1, 0.125f},
        {"no data chunk", RiffWave({fmt}), 1, 0.0f},
        {"a zero byte rate", RiffWave({Chunk("fmt ", FmtBody(1, 2, 8000, 0)), audio}), 1, 0.0f},
        {"no fmt chunk", RiffWave({audio}), 0, 0.0f},
        {"fmt after a chunk that runs past the end", RiffWave({ChunkHeader("LIST", 99999), fmt}), 0,
         0.0f},
        {"a fmt chunk too short for its fields", RiffWave({Chunk("fmt ", {1, 0, 2, 0}), audio}), 0,
         0.0f},
        {"fmt behind more empty chunks than are walked", RiffWave({empty_chunks, fmt}), 0, 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        int result = -1;
        const ScanRecord r = ScanBytes(c.bytes, result);
        EXPECT_EQ(result, c.result);
        EXPECT_FLOAT_EQ(r.length_seconds, c.length);
    }
}

// A damaged "fmt " chunk: extensible, but cut before its sub-format, and
// without channels.
TEST(WaveTexts, ShowTheExtensibleTagOfAChunkCutShortAndNoModeForZeroChannels) {
    int result = 0;
    AttributeTexts texts;
    const auto fmt = Chunk("fmt ", FmtBody(0xFFFE, 0, 8000, 64000, 32));
    BuildAttributeTexts(texts, ScanBytes(RiffWave({fmt}), result), false);
    EXPECT_EQ(texts[kSlotType], "wave format 0xFFFE");
    EXPECT_EQ(texts[kSlotStereoMode], "--");
}

}  // namespace
}  // namespace vandrel
