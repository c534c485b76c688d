#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "engine/core/RecordCache.h"
#include "engine/core/ScanError.h"
#include "engine/media/VandrelMp3File.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using test::Append;
using test::HeaderFields;
using test::MakeFrame;
using test::MakeFrames;
using test::SideInfoFields;
using test::Version;

constexpr int kFrame128 = 417;  // MPEG-1 Layer III, 128 kbit/s, 44100 Hz, no padding

// Scans the bytes as a file named "memory.mp3". A scan error fails the test,
// unless `error` is given to receive its message.
ScanRecord Scan(std::vector<uint8_t> bytes, const ScanOptions& options = {},
                std::string* error = nullptr) {
    CVandrelMp3File file;
    file.OpenMemory("memory.mp3", std::move(bytes));
    ScanRecord record = ZeroRecord();
    try {
        EXPECT_EQ(file.Scan(record, options), 1);
    } catch (const ScanError& e) {
        if (error == nullptr) {
            ADD_FAILURE() << e.what();
        } else {
            *error = e.what();
        }
    }
    return record;
}

uint32_t CountedFrames(const ScanRecord& r) {
    return std::accumulate(std::begin(r.bitrate_index_counts), std::end(r.bitrate_index_counts),
                           0u);
}

// Exposes the stream position for the frame search tests.
class SearchableMp3File : public CMp3File {
public:
    FileStream& stream() { return Stream(); }
};

TEST(FindFrameChain, FindsTheFirstOffsetWhereTheHeadersChainOrGoesBack) {
    std::vector<uint8_t> bytes(10, 0x00);
    bytes[3] = 0xFF;  // a lone sync byte is not a chain
    Append(bytes, MakeFrames({}, 8));
    SearchableMp3File file;
    file.OpenMemory("m", bytes);
    file.stream().Seek(2);
    EXPECT_EQ(file.FindFrameChain(5), 8);
    EXPECT_EQ(file.stream().Tell(), 10);

    // After 100,000 bytes of noise with a sync byte in every 64, which the
    // search skips to in steps across what it has fetched so far.
    std::vector<uint8_t> noisy(100'000);
    std::mt19937 random(3);
    for (size_t i = 0; i < noisy.size(); ++i) {
        noisy[i] = i % 64 == 0 ? 0xFF : static_cast<uint8_t>(random() % 255);
    }
    Append(noisy, MakeFrames({}, 300));
    file.OpenMemory("m", noisy);
    EXPECT_EQ(file.FindFrameChain(5), 100'000);

    // Five frames and nothing after them: the fifth header ends at the very
    // end, which is too close; two headers chain well before it.
    bytes = MakeFrames({}, 5);
    file.OpenMemory("m", bytes);
    EXPECT_EQ(file.FindFrameChain(5), -1);
    EXPECT_EQ(file.stream().Tell(), static_cast<int64_t>(bytes.size()));  // left at the end
    file.stream().Seek(0);
    EXPECT_EQ(file.FindFrameChain(2), 0);

    // Nothing but zeros: every offset fails and the stream goes back.
    file.OpenMemory("m", std::vector<uint8_t>(5000, 0));
    file.stream().Seek(100);
    EXPECT_EQ(file.FindFrameChain(2), -1);
    EXPECT_EQ(file.stream().Tell(), 100);
}

TEST(Scan, CountsEveryFrameButParsesAllButTheFirst) {
    // A first frame at 160 kbit/s with short blocks, then 49 everyday frames.
    HeaderFields first;
    first.bitrate_index = 10;
    SideInfoFields short_blocks;
    short_blocks.granules[0][0] = {0, true, 2, false, false};
    std::vector<uint8_t> bytes = MakeFrame(first, short_blocks);
    Append(bytes, MakeFrames({}, 49));
    for (size_t i = 0; i < 11; ++i) {
        bytes[bytes.size() - 11 + i] = static_cast<uint8_t>(i + 1);
    }
    const ScanRecord r = Scan(bytes);
    EXPECT_EQ(r.frames, 50);
    // The first frame is counted, never parsed: neither its bitrate nor its
    // blocks show, and the file is not taken for VBR.
    EXPECT_EQ(r.bitrate_index_counts[10], 0u);
    EXPECT_EQ(r.bitrate_index_counts[9], 49u);
    EXPECT_EQ(r.short_blocks, 0u);
    EXPECT_EQ(r.long_blocks, 196u);  // 49 frames of four granule-channels
    EXPECT_EQ(r.is_vbr, 0);
    EXPECT_FLOAT_EQ(r.length_seconds, 1.3061224f);  // 50 x 1152 samples at 44100 Hz
    // The last frame's final 11 bytes less the very last one.
    EXPECT_EQ(std::vector<uint8_t>(r.tail_bytes, r.tail_bytes + 10),
              (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(Scan, ReportsALastFrameThatIsCutShortButNotOneFollowedByOtherBytes) {
    std::vector<uint8_t> bytes = MakeFrames({}, 50);
    bytes[49 * kFrame128 - 11] = 0xAB;
    bytes.resize(bytes.size() - 100);
    ScanRecord r = Scan(bytes);
    EXPECT_EQ(r.last_frame_complete, 0);
    EXPECT_EQ(r.tail_bytes[0], 0xAB);  // from the end of the previous frame
    EXPECT_EQ(r.frames, 50);

    bytes = MakeFrames({}, 40);
    bytes[bytes.size() - 11] = 0xCD;
    Append(bytes, test::MakeId3v1("not read as a tag yet"));
    r = Scan(bytes);
    EXPECT_EQ(r.last_frame_complete, 1);
    EXPECT_EQ(r.tail_bytes[0], 0xCD);
    EXPECT_EQ(r.frames, 40);
    EXPECT_EQ(r.sync_errors, 0);
}

TEST(Scan, RefusesFilesWithoutAChainOfFramesAfterTheirStart) {
    // Fewer than five frames.
    std::string error;
    const ScanRecord r = Scan(MakeFrames({}, 4), {}, &error);
    EXPECT_EQ(error, kNoHeaderMessage);
    EXPECT_EQ(r.last_frame_complete, 0);

    // Frames only in the second half of the search window.
    std::vector<uint8_t> bytes(600'000, 0);
    Append(bytes, MakeFrames({}, 50));
    error.clear();
    Scan(bytes, {}, &error);
    EXPECT_EQ(error, kNoHeaderMessage);

    // In the first half they are found, after the junk.
    bytes.assign(100'000, 0);
    Append(bytes, MakeFrames({}, 300));
    EXPECT_EQ(Scan(bytes).first_frame_offset, 100'000);
}

TEST(Scan, RefusesAFreeFormatFirstFrameAfterRecordingIt) {
    HeaderFields free_format;
    free_format.bitrate_index = 0;
    free_format.original = true;
    std::string error;
    const ScanRecord r = Scan(MakeFrames(free_format, 20), {}, &error);
    EXPECT_EQ(error, kFreeFormatMessage);
    EXPECT_EQ(r.original, 1);
    EXPECT_EQ(r.sample_rate, 44100);
}

TEST(Scan, CountsACorruptedFrameAsOneSyncErrorAndResynchronises) {
    std::vector<uint8_t> bytes = MakeFrames({}, 100);
    std::fill_n(bytes.begin() + 49 * kFrame128, 4, 0);  // frame 49's header
    FrameSeries series;
    const ScanRecord r = Scan(bytes, {.series = &series});
    EXPECT_EQ(r.sync_errors, 1);
    // The error is counted after 49 frames (0..48) of 1152 samples; the
    // corrupted frame and the one found after it count as one frame.
    EXPECT_EQ(r.sync_error_times_ms[0], 1280);
    EXPECT_EQ(r.frames, 99);
    EXPECT_EQ(CountedFrames(r), 98u);  // 99 parsed, less the corrupted one
    EXPECT_EQ(r.last_frame_complete, 1);
    // A position for every walk step from frame 1 on, except frame 50, which
    // the re-synchronisation found.
    const std::vector<uint32_t>& steps = series[FrameSeries::kFramePosition];
    ASSERT_EQ(steps.size(), 99u);
    EXPECT_EQ(steps[0], 417u);
    EXPECT_EQ(steps[48], 49u * 417);
    EXPECT_EQ(steps[49], 51u * 417);
    EXPECT_EQ(steps[98], 100u * 417);
}

TEST(Scan, StoresTheTimesOfTheFirstTwentySyncErrorsOnly) {
    std::vector<uint8_t> bytes = MakeFrames({}, 200);
    for (int k = 10; k < 200 - 5; k += 8) {
        std::fill_n(bytes.begin() + k * kFrame128, 2, 0);
    }
    const ScanRecord r = Scan(bytes);
    EXPECT_EQ(r.sync_errors, 24);
    for (int i = 1; i < 20; ++i) {
        EXPECT_GT(r.sync_error_times_ms[i], r.sync_error_times_ms[i - 1]);
    }
    const ScanRecordImage image = ToImage(r);
    EXPECT_TRUE(std::all_of(image.begin() + 496, image.begin() + 504, [](uint8_t b) {
        return b == 0;
    }));  // nothing written past the twentieth time
}

TEST(Scan, FollowsAChannelOrRateChangeAfterLosingOneFrame) {
    std::vector<uint8_t> bytes = MakeFrames({}, 30);
    HeaderFields mono;
    mono.mode = 3;
    Append(bytes, MakeFrames(mono, 30));
    ScanRecord r = Scan(bytes);
    EXPECT_EQ(r.sync_errors, 1);
    EXPECT_EQ(r.channels, 1);  // the reference follows the file
    EXPECT_EQ(r.mode, 1);      // the first frame's mode stays
    EXPECT_EQ(r.frames, 59);
    EXPECT_EQ(r.long_blocks, 174u);  // 29 stereo frames of 4 granule-channels, 29 mono of 2

    bytes = MakeFrames({}, 30);
    HeaderFields rate48;
    rate48.rate_index = 1;
    Append(bytes, MakeFrames(rate48, 30));
    r = Scan(bytes);
    EXPECT_EQ(r.sync_errors, 1);
    EXPECT_EQ(r.sample_rate, 48000);
}

TEST(Scan, EstimatesTheLengthWhenStoppedAtTheLimitOrNotWalking) {
    // 1000 frames of 417 bytes: 3,336,000 bits at 128 kbit/s.
    const std::vector<uint8_t> bytes = MakeFrames({}, 1000);
    ScanRecord r = Scan(bytes, {.frame_limit = 100});
    EXPECT_EQ(r.frames, 100);
    EXPECT_EQ(r.whole_file_scanned, 0);
    EXPECT_FLOAT_EQ(r.length_seconds, 26.0625f);

    // Headers only: nothing counted, the first frame's bitrate taken.
    r = Scan(bytes, {.walk_frames = false});
    EXPECT_EQ(r.frames, 0);
    EXPECT_EQ(r.average_bitrate, 128);
    EXPECT_FLOAT_EQ(r.length_seconds, 26.0625f);
    EXPECT_EQ(CountedFrames(r), 0u);
}

TEST(Scan, AveragesTheBitratesOfAVariableBitrateFile) {
    HeaderFields high;
    high.bitrate_index = 11;  // 192
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 30; ++i) {
        Append(bytes, MakeFrame(i % 3 == 0 ? high : HeaderFields{}));
    }
    const ScanRecord r = Scan(bytes);
    EXPECT_EQ(r.is_vbr, 1);
    // Parsed: frames 1..29, of which 9 at 192 and 20 at 128.
    EXPECT_EQ(r.average_bitrate, 147);
}

TEST(Scan, CountsTheSideInformationOfEveryParsedFrame) {
    SideInfoFields side;
    side.main_data_begin = 300;
    side.scfsi = 0b0101;
    side.granules[0][0] = {10, true, 2, true, false};    // mixed
    side.granules[0][1] = {20, false, 0, false, true};   // long, scalefac_scale
    side.granules[1][0] = {77, true, 2, false, false};   // short
    side.granules[1][1] = {99, false, 0, false, false};  // long
    HeaderFields header;
    header.mode_extension = 2;
    header.padding = true;
    SideInfoFields quiet;
    quiet.main_data_begin = 100;
    std::vector<uint8_t> bytes = MakeFrames(header, 11, side);
    Append(bytes, MakeFrames({}, 10, quiet));

    FrameSeries series;
    const ScanRecord r = Scan(bytes, {.series = &series});
    // Parsed frames 1..20: ten with `side`, ten with `quiet`.
    EXPECT_EQ(r.mixed_blocks, 10u);
    EXPECT_EQ(r.short_blocks, 10u);
    EXPECT_EQ(r.long_blocks, 60u);
    EXPECT_EQ(r.scalefac_scale_count, 10);
    EXPECT_EQ(r.scfsi_used, 1);
    EXPECT_EQ(r.padding_used, 1);
    EXPECT_EQ(r.stereo_type_counts[2], 10u);  // mid/side
    EXPECT_EQ(r.stereo_type_counts[0], 10u);  // left/right
    EXPECT_EQ(r.max_reservoir, 300);
    EXPECT_EQ(r.reservoir_sum, 4000);
    EXPECT_EQ(r.average_reservoir, 190);  // divided by the frames counted plus one

    ASSERT_EQ(series[FrameSeries::kBlockKind].size(), 20u);
    // The first frame's block kind is that of the last switching granule: short.
    EXPECT_EQ(series[FrameSeries::kBlockKind][0], 1u);
    EXPECT_EQ(series[FrameSeries::kShortBlockSize][0], 99u);
    EXPECT_EQ(series[FrameSeries::kScalefacScale][0], 1u);
    EXPECT_EQ(series[FrameSeries::kMainDataBegin][0], 300u);
    EXPECT_EQ(series[FrameSeries::kModeExtension][0], 2u);
    EXPECT_EQ(series[FrameSeries::kBitrateIndex][0], 9u);
    EXPECT_EQ(series[FrameSeries::kBlockKind][19], 0u);
    EXPECT_EQ(series[FrameSeries::kShortBlockSize][19], 0u);
    EXPECT_EQ(series[FrameSeries::kMainDataBegin][19], 100u);
}

TEST(Scan, ReadsSideInformationAfterTheCrcAndInMpeg2Frames) {
    SideInfoFields side;
    side.main_data_begin = 123;
    side.granules[0][0].scalefac_scale = true;
    HeaderFields crc;
    crc.crc = true;
    ScanRecord r = Scan(MakeFrames(crc, 20, side));
    EXPECT_EQ(r.max_reservoir, 123);
    EXPECT_EQ(r.scalefac_scale_count, 19);

    // MPEG-2 mono: 8-bit main_data_begin, one granule-channel per frame.
    HeaderFields mpeg2;
    mpeg2.version = Version::kMpeg2;
    mpeg2.bitrate_index = 8;
    mpeg2.mode = 3;
    side.main_data_begin = 200;
    r = Scan(MakeFrames(mpeg2, 20, side));
    EXPECT_EQ(r.max_reservoir, 200);
    EXPECT_EQ(r.long_blocks, 19u);
    EXPECT_EQ(r.scalefac_scale_count, 19);
    EXPECT_FLOAT_EQ(r.length_seconds, 0.52244898f);  // 20 x 576 samples at 22050 Hz
}

TEST(Scan, WalksLayerIAndIIFramesWithTheirOwnLengths) {
    HeaderFields layer2{Version::kMpeg2, 2, 8, 1};  // 64 kbit/s, 24 kHz
    ScanRecord r = Scan(MakeFrames(layer2, 30));
    EXPECT_EQ(r.frames, 30);
    EXPECT_FLOAT_EQ(r.length_seconds, 1.44f);  // 30 x 1152 samples, as in MPEG-1

    HeaderFields layer1{Version::kMpeg1, 1, 4, 0};  // 128 kbit/s, 44.1 kHz
    r = Scan(MakeFrames(layer1, 200));
    EXPECT_EQ(r.frames, 200);
    EXPECT_EQ(r.sync_errors, 0);
    EXPECT_FLOAT_EQ(r.length_seconds, 1.7414966f);  // 200 x 384 samples
}

class RecordingSink : public sink {
public:
    explicit RecordingSink(int stop_after) : stop_after_(stop_after) {}
    bool Progress(const ScanRecord& record) override {
        frames.push_back(record.frames);
        return static_cast<int>(frames.size()) < stop_after_;
    }
    std::vector<int> frames;

private:
    int stop_after_;
};

class FakeCache : public RecordCache {
public:
    bool Lookup(std::string_view, const RecordFileStatus&, ScanRecord& out, int limit) override {
        ++lookups;
        last_limit = limit;
        if (!answer) {
            return false;
        }
        out = *answer;
        return true;
    }
    void Store(const ScanRecord& record) override { stored.push_back(record); }

    std::optional<ScanRecord> answer;
    int lookups = 0;
    int last_limit = 0;
    std::vector<ScanRecord> stored;
};

// An empty record of MPEG-1 Layer III at 44100 Hz.
ScanRecord Mpeg1Layer3Record() {
    ScanRecord r = ZeroRecord();
    r.is_mpeg1 = 1;
    r.layer = 3;
    r.sample_rate = 44100;
    return r;
}

TEST(Scan, ReportsProgressEveryTwoThousandFramesAndStoresOnlyFinishedWalks) {
    FakeCache cache;
    const AnalysisCacheScope scope(&cache);
    const std::vector<uint8_t> bytes = MakeFrames({}, 5000);

    RecordingSink all(100);
    Scan(bytes, {.progress = &all});
    EXPECT_EQ(all.frames, (std::vector<int>{2000, 4000, 5000}));
    // A walk that ends at its frame limit is finished too.
    Scan(bytes, {.frame_limit = 100});
    ASSERT_EQ(cache.stored.size(), 2u);
    EXPECT_EQ(cache.stored[1].frames, 100);
    EXPECT_EQ(cache.stored[1].whole_file_scanned, 0);
    EXPECT_EQ(RecordPath(cache.stored[1]), "memory.mp3");

    RecordingSink stop(1);
    const ScanRecord r = Scan(bytes, {.progress = &stop});
    EXPECT_EQ(stop.frames, std::vector<int>{2000});
    EXPECT_EQ(r.frames, 2000);
    EXPECT_EQ(r.whole_file_scanned, 0);
    EXPECT_EQ(cache.stored.size(), 2u);  // nothing stored for the stopped scan
}

TEST(Scan, AnswersFromTheCacheWithoutReadingTheFile) {
    FakeCache cache;
    const AnalysisCacheScope scope(&cache);
    cache.answer = Mpeg1Layer3Record();
    cache.answer->frames = 1234;
    cache.answer->whole_file_scanned = 1;
    cache.answer->bitrate_index_counts[9] = 1233;

    // Zeros would make a real scan fail.
    CVandrelMp3File file;
    file.OpenMemory("cached.mp3", std::vector<uint8_t>(1000, 0));
    ScanRecord record = ZeroRecord();
    EXPECT_EQ(file.Scan(record, {.frame_limit = 1000}), 1);
    EXPECT_EQ(cache.last_limit, 1000);
    EXPECT_EQ(record.frames, 1234);
    EXPECT_EQ(record.average_bitrate, 128);              // the finishing step ran
    EXPECT_FLOAT_EQ(record.length_seconds, 32.235102f);  // 1234 x 1152 samples

    // Bypassing the cache reads the file (and fails on it).
    record = ZeroRecord();
    EXPECT_THROW(file.Scan(record, {.frame_limit = 1000, .cache = CacheLookup::kSkip}), ScanError);
    EXPECT_EQ(cache.lookups, 1);
}

TEST(Scan, AnEmptyFileGivesOnlyPathTypeStatusAndSize) {
    test::TempDir dir;
    test::WriteFile(dir.File("empty.mp3"), {});
    CVandrelMp3File file;
    ASSERT_TRUE(file.Open(dir.File("empty.mp3"), "rb"));
    ScanRecord record = ZeroRecord();
    EXPECT_EQ(file.Scan(record, {.cache = CacheLookup::kSkip}), 0);
    EXPECT_EQ(record.kind, 1);
    EXPECT_EQ(RecordPath(record), dir.File("empty.mp3"));
    EXPECT_NE(record.status.modification_time, 0);
    EXPECT_EQ(record.id3v1.image[127], 0);  // no tag looked for
}

TEST(FinishScan, TakesTheAverageFromTheXingFrameCountWhenItFits) {
    ScanRecord r = Mpeg1Layer3Record();
    r.file_size = 1'000'000;
    r.has_xing = 1;
    r.xing.frames = 999;  // 1000 frames with the header frame: 26.122449 s
    r.bitrate_index_counts[9] = 50;
    r.frames = 51;  // a walk stopped at its limit
    FinishScan(r, nullptr);
    EXPECT_EQ(r.average_bitrate, 306);
    // The estimated length then equals the Xing duration.
    EXPECT_NEAR(r.length_seconds, 26.122449, 1e-3);

    // A whole walk that counted more frames than the header says.
    r.frames = 1001;
    r.whole_file_scanned = 1;
    FinishScan(r, nullptr);
    EXPECT_EQ(r.average_bitrate, 128);

    // No frame counted at all: no average, and the length stays as it was.
    r = ZeroRecord();
    r.layer = 3;
    r.length_seconds = 12.5f;
    FinishScan(r, nullptr);
    EXPECT_EQ(r.average_bitrate, 0);
    EXPECT_FLOAT_EQ(r.length_seconds, 12.5f);
}

TEST(FinishScan, IgnoresFreeFormatCountsForTheVbrFlag) {
    ScanRecord r = Mpeg1Layer3Record();
    r.bitrate_index_counts[0] = 5;
    r.bitrate_index_counts[9] = 5;
    FinishScan(r, nullptr);
    EXPECT_EQ(r.is_vbr, 0);
    r.bitrate_index_counts[14] = 1;
    FinishScan(r, nullptr);
    EXPECT_EQ(r.is_vbr, 1);
}

}  // namespace
}  // namespace vandrel
