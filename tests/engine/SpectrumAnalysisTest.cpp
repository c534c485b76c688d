#include "engine/audio/SpectrumAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "engine/core/ScanError.h"
#include "engine/tags/WaveChunks.h"
#include "support/TestFiles.h"
#include "support/WaveBuilder.h"

namespace vandrel {
namespace {

using test::Chunk;
using test::FmtBody;
using test::RiffWave;

constexpr int kRate = 44100;
// The centre of bin 93 of 2048-point frames.
constexpr double kToneHz = 93.0 * kRate / 2048;

// One sample as a WAVE file of this format stores it, little-endian.
void AppendSample(std::vector<uint8_t>& bytes, double x, uint16_t tag, uint16_t bits) {
    uint64_t word = 0;
    if (tag == kWaveFormatIeeeFloat && bits == 32) {
        const auto value = static_cast<float>(x);
        uint32_t w = 0;
        std::memcpy(&w, &value, sizeof(w));
        word = w;
    } else if (tag == kWaveFormatIeeeFloat) {
        std::memcpy(&word, &x, sizeof(word));
    } else if (bits == 8) {
        word = static_cast<uint64_t>(std::lround(x * 128) + 128);  // no clipping at half scale
    } else {
        word = static_cast<uint64_t>(std::llround(std::ldexp(x, bits - 1)));  // two's complement
    }
    for (int i = 0; i < bits / 8; ++i) {
        bytes.push_back(static_cast<uint8_t>(word >> (8 * i)));
    }
}

// A stereo WAVE file of `frames` sample frames: on the left `left(n)`, on the
// right silence.
template <typename Left>
std::vector<uint8_t> StereoWave(uint16_t tag, uint16_t bits, size_t frames, Left left) {
    std::vector<uint8_t> data;
    for (size_t n = 0; n < frames; ++n) {
        AppendSample(data, left(n), tag, bits);
        AppendSample(data, 0.0, tag, bits);
    }
    const auto byte_rate = static_cast<uint32_t>(kRate * 2 * bits / 8);
    return RiffWave({Chunk("fmt ", FmtBody(tag, 2, kRate, byte_rate, bits)), Chunk("data", data)});
}

double Tone(size_t n) {
    return 0.5 * std::sin(2 * std::numbers::pi * kToneHz * static_cast<double>(n) / kRate);
}

int LoudestBin(const Spectrogram& s) {
    int loudest = 0;
    for (int k = 1; k < s.bins; ++k) {
        if (s.long_term_db[static_cast<size_t>(k)] > s.long_term_db[static_cast<size_t>(loudest)]) {
            loudest = k;
        }
    }
    return loudest;
}

// Where the long-term spectrum ends: the highest frequency whose level is no
// more than 30 dB under the mean power of 2 to 8 kHz.
double EdgeHz(const Spectrogram& s) {
    double power = 0;
    int count = 0;
    for (int k = 0; k < s.bins; ++k) {
        if (k * s.bin_hz() >= 2000 && k * s.bin_hz() <= 8000) {
            power += std::pow(10.0, s.long_term_db[static_cast<size_t>(k)] / 10);
            ++count;
        }
    }
    const double floor_db = 10 * std::log10(power / count) - 30;
    for (int k = s.bins - 1; k >= 0; --k) {
        if (s.long_term_db[static_cast<size_t>(k)] >= floor_db) {
            return k * s.bin_hz();
        }
    }
    return 0;
}

class SpectrumAnalysis : public ::testing::Test {
protected:
    std::optional<Spectrogram> Analyse(const std::vector<uint8_t>& bytes, AudioFormat format) {
        test::WriteFile(dir_.File("audio"), bytes);
        return AnalyseSpectrum(dir_.File("audio"), {.format = format, .shape = {}, .progress = {}});
    }
    // The ScanError's text, or "(decoded)".
    std::string Refusal(const std::string& path, AudioFormat format) {
        try {
            AnalyseSpectrum(path, {.format = format, .shape = {}, .progress = {}});
        } catch (const ScanError& e) {
            return e.what();
        }
        return "(decoded)";
    }
    std::string Refusal(const std::vector<uint8_t>& bytes, AudioFormat format) {
        test::WriteFile(dir_.File("audio"), bytes);
        return Refusal(dir_.File("audio"), format);
    }

    test::TempDir dir_;
};

TEST_F(SpectrumAnalysis, DecodesEveryPcmWidthAndFloatsOfWaveFilesToTheMeanOfTheChannels) {
    struct Format {
        uint16_t tag, bits;
    };
    for (const Format f : {Format{kWaveFormatPcm, 8}, Format{kWaveFormatPcm, 16},
                           Format{kWaveFormatPcm, 24}, Format{kWaveFormatPcm, 32},
                           Format{kWaveFormatIeeeFloat, 32}, Format{kWaveFormatIeeeFloat, 64}}) {
        SCOPED_TRACE(std::to_string(f.tag) + "/" + std::to_string(f.bits));
        const auto s = Analyse(StereoWave(f.tag, f.bits, 2 * kRate, Tone), AudioFormat::kWave);
        ASSERT_TRUE(s.has_value()) << "a spectrogram";
        EXPECT_EQ(s->sample_rate, kRate) << "rate";
        EXPECT_DOUBLE_EQ(s->seconds, 2.0) << "length";
        EXPECT_EQ(LoudestBin(*s), 93) << "the tone's bin";
        // Half of full scale on the left, silence on the right: a quarter.
        EXPECT_NEAR(s->long_term_db[93], -12.04, 0.05) << "the tone's level";
        // Wrong signs or byte order would spread the tone over every bin.
        EXPECT_LT(s->long_term_db[600], f.bits == 8 ? -60.0 : -90.0) << "level far from the tone";
    }
}

TEST_F(SpectrumAnalysis, FindsTheLowpassOfTheEncoderThatMadeAnMp3) {
    // Noise and plucks encoded by lame at 256 kbit/s keep up to its lowpass
    // near 20 kHz; encoded at 128 first, they keep 128 kbit/s' 17 kHz.
    const auto bright =
        AnalyseSpectrum(test::FixturePath("lame_cbr256_bright.mp3"),
                        {.format = AudioFormat::kMpeg, .shape = {}, .progress = {}});
    ASSERT_TRUE(bright.has_value()) << "a spectrogram of the 256 kbit/s file";
    EXPECT_EQ(bright->sample_rate, 44100) << "rate of the 256 kbit/s file";
    EXPECT_NEAR(bright->seconds, 6.0, 0.05) << "length of the 256 kbit/s file";
    EXPECT_GT(EdgeHz(*bright), 19000) << "edge of the 256 kbit/s file";
    const auto from128 =
        AnalyseSpectrum(test::FixturePath("lame_cbr256_from128.mp3"),
                        {.format = AudioFormat::kMpeg, .shape = {}, .progress = {}});
    ASSERT_TRUE(from128.has_value()) << "a spectrogram of the re-encode";
    EXPECT_NEAR(EdgeHz(*from128), 16800, 400) << "edge of the re-encode";
}

TEST_F(SpectrumAnalysis, DecodesEveryMpegLayerAndRate) {
    struct Expected {
        const char* name;
        int rate;
    };
    for (const Expected e : {Expected{"twolame_mp2_192_48k.mp2", 48000},
                             Expected{"lame_mpeg2_16k_vbr_mono.mp3", 16000},
                             Expected{"lame_mpeg25_8k_vbr_mono.mp3", 8000},
                             Expected{"lame_freeformat_400.mp3", 44100}}) {
        SCOPED_TRACE(e.name);
        const auto s = AnalyseSpectrum(test::FixturePath(e.name),
                                       {.format = AudioFormat::kMpeg, .shape = {}, .progress = {}});
        ASSERT_TRUE(s.has_value()) << "a spectrogram";
        EXPECT_EQ(s->sample_rate, e.rate) << "rate";
        EXPECT_GT(s->columns, 10) << "columns";
    }
}

TEST_F(SpectrumAnalysis, StopsWhenTheProgressSaysSo) {
    // 193,932 bytes: three pieces.
    const std::string path = test::FixturePath("lame_cbr256_bright.mp3");
    std::vector<int> percents;
    SpectrumRequest request{.format = AudioFormat::kMpeg, .shape = {}, .progress = {}};
    request.progress = [&percents](int percent) {
        percents.push_back(percent);
        return true;
    };
    ASSERT_TRUE(AnalyseSpectrum(path, request).has_value()) << "a whole run";
    EXPECT_EQ(percents, (std::vector<int>{33, 67, 100})) << "percents of the whole run";

    percents.clear();
    request.progress = [&percents](int percent) {
        percents.push_back(percent);
        return false;
    };
    EXPECT_FALSE(AnalyseSpectrum(path, request).has_value()) << "a stopped run has no result";
    EXPECT_EQ(percents, std::vector<int>{33}) << "it stopped at the first piece";
}

TEST_F(SpectrumAnalysis, DecodesWhatAFileCutShortHolds) {
    std::vector<uint8_t> mp3 = test::ReadFile(test::FixturePath("lame_cbr256_bright.mp3"));
    mp3.resize(mp3.size() / 2);
    const auto half = Analyse(mp3, AudioFormat::kMpeg);
    ASSERT_TRUE(half.has_value()) << "a spectrogram of half an MP3";
    EXPECT_NEAR(half->seconds, 3.0, 0.1) << "length of half an MP3";
    // A "data" chunk that says it holds two seconds but holds one.
    std::vector<uint8_t> wave = StereoWave(kWaveFormatPcm, 16, 2 * kRate, Tone);
    wave.resize(wave.size() - 4 * kRate);
    const auto cut = Analyse(wave, AudioFormat::kWave);
    ASSERT_TRUE(cut.has_value()) << "a spectrogram of a cut WAVE file";
    EXPECT_DOUBLE_EQ(cut->seconds, 1.0) << "length of the cut WAVE file";
}

TEST_F(SpectrumAnalysis, RefusesWhatItCannotDecodeWithAReason) {
    EXPECT_EQ(Refusal(dir_.File("missing.mp3"), AudioFormat::kMpeg),
              "The file cannot be opened: No such file or directory");
    EXPECT_EQ(Refusal(dir_.path(), AudioFormat::kMpeg),
              "The file cannot be opened: Is a directory");
    EXPECT_EQ(Refusal(std::vector<uint8_t>(100'000, 0), AudioFormat::kMpeg),
              "No MPEG audio frame in the file could be decoded")
        << "zeros";
    EXPECT_EQ(Refusal(std::vector<uint8_t>{}, AudioFormat::kMpeg),
              "No MPEG audio frame in the file could be decoded")
        << "an empty file";
    // An ID3v2 tag cut before the audio that follows it.
    std::vector<uint8_t> tag_only = test::ReadFile(test::FixturePath("lame_tags_v1v2.mp3"));
    tag_only.resize(60);
    EXPECT_EQ(Refusal(tag_only, AudioFormat::kMpeg),
              "No MPEG audio frame in the file could be decoded")
        << "a tag and no audio";
    EXPECT_EQ(Refusal(test::FixturePath("sox_ima_adpcm_8k_mono.wav"), AudioFormat::kWave),
              "The WAVE file's audio is neither PCM of 8, 16, 24 or 32 bits nor floats of 32 or "
              "64 bits (format 17, 4 bits): it is not decoded");
    EXPECT_EQ(Refusal(RiffWave({Chunk("fmt ", FmtBody(kWaveFormatPcm, 2, kRate, 176400))}),
                      AudioFormat::kWave),
              "The WAVE file holds no audio: no \"data\" chunk, or an empty one");
    EXPECT_EQ(Refusal(RiffWave({Chunk("data", std::vector<uint8_t>(400, 0))}), AudioFormat::kWave),
              "The WAVE file has no usable \"fmt \" chunk");
    EXPECT_EQ(Refusal(RiffWave({Chunk("fmt ", FmtBody(kWaveFormatPcm, 0, kRate, 0)),
                                Chunk("data", std::vector<uint8_t>(400, 0))}),
                      AudioFormat::kWave),
              "The WAVE file's format has no channels or no usable sampling rate (44100 Hz)");
    EXPECT_EQ(Refusal(test::FixturePath("lame_cbr128_joint.mp3"), AudioFormat::kWave),
              "The file is not a WAVE file");
}

}  // namespace
}  // namespace vandrel
