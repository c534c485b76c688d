#include "engine/media/WaveFile.h"

#include <gtest/gtest.h>

#include "support/WaveBuilder.h"

namespace vandrel {
namespace {

using test::WaveHeader;

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

}  // namespace
}  // namespace vandrel
