#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "engine/core/RecordCache.h"
#include "engine/core/ScanError.h"
#include "engine/frame/FrameHeader.h"
#include "engine/io/ByteOrder.h"
#include "engine/media/VandrelMp3File.h"
#include "engine/tags/VbrHeaders.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using namespace test;

constexpr int kFrame128 = 417;  // MPEG-1 Layer III, 128 kbit/s, 44100 Hz, no padding

// Scans the bytes as "memory.mp3"; a scan error fails the test unless `error` takes it.
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

TEST(FrameHeader, RejectsReservedFieldsAndLeavesTheOutputAlone) {
    FrameHeader h{};
    h.layer = 42;
    EXPECT_EQ(DecodeFrameHeader(0xFFFBF064, h), 0);  // bitrate index 15
    EXPECT_EQ(DecodeFrameHeader(0xFFFB9C64, h), 0);  // sampling frequency index 3
    EXPECT_EQ(DecodeFrameHeader(0xFFF99064, h), 0);  // layer bits 00
    EXPECT_EQ(DecodeFrameHeader(0xFFDB9064, h), 0);  // one sync bit missing
    EXPECT_EQ(DecodeFrameHeader(0xFFFFFFFF, h), 0);  // what reads past the end give
    EXPECT_EQ(h.layer, 42);
}

TEST(Scan, KeepsTheTailOfTheLastWholeFrameAndReportsOneCutShort) {
    // A last frame cut short: the tail comes from the end of the frame before.
    std::vector<uint8_t> bytes = MakeFrames({}, 50);
    bytes[49 * kFrame128 - 11] = 0xAB;
    bytes.resize(bytes.size() - 100);
    ScanRecord r = Scan(bytes);
    EXPECT_EQ(r.last_frame_complete, 0);
    EXPECT_EQ(r.tail_bytes[0], 0xAB);
    EXPECT_EQ(r.frames, 50);

    // Other bytes after the last frame: its final 11 bytes less the very last one.
    bytes = MakeFrames({}, 40);
    bytes[bytes.size() - 11] = 0xCD;
    bytes[bytes.size() - 2] = 0xEF;
    Append(bytes, MakeId3v1("not read as a tag yet"));
    r = Scan(bytes);
    EXPECT_EQ(r.last_frame_complete, 1);
    EXPECT_EQ(r.tail_bytes[0], 0xCD);
    EXPECT_EQ(r.tail_bytes[9], 0xEF);
}

TEST(Scan, RefusesFilesWithoutAChainOfFramesOrWithAFreeFormatFirstFrame) {
    // Fewer than five frames.
    std::string error;
    ScanRecord r = Scan(MakeFrames({}, 4), {}, &error);
    EXPECT_EQ(error, kNoHeaderMessage);

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

    // A free-format first frame is recorded, then refused.
    r = Scan(MakeFrames({.bitrate_index = 0, .original = true}, 20), {}, &error);
    EXPECT_EQ(error, kFreeFormatMessage);
    EXPECT_EQ(r.original, 1);
}

TEST(Scan, CountsALostFrameAsOneSyncErrorAndResynchronises) {
    std::vector<uint8_t> bytes = MakeFrames({}, 100);
    std::fill_n(bytes.begin() + 49 * kFrame128, 4, 0);  // frame 49's header
    ScanRecord r = Scan(bytes);
    EXPECT_EQ(r.sync_errors, 1);  // the lost frame and the next count as one
    EXPECT_EQ(r.frames, 99);
    EXPECT_EQ(r.bitrate_index_counts[9], 98u);  // 99 parsed, less the corrupted one

    // 24 errors: only the times of the first twenty are stored.
    bytes = MakeFrames({}, 200);
    for (int k = 10; k < 200 - 5; k += 8) {
        std::fill_n(bytes.begin() + k * kFrame128, 2, 0);
    }
    r = Scan(bytes);
    EXPECT_EQ(r.sync_errors, 24);
    for (int i = 1; i < 20; ++i) {
        EXPECT_GT(r.sync_error_times_ms[i], r.sync_error_times_ms[i - 1]);
    }
    const ScanRecordImage image = ToImage(r);
    EXPECT_EQ(LoadLe64(std::span(image).subspan(496)), 0u);  // past the twentieth time

    // A change to mono is a sync error; the frame that changed is skipped but
    // counted, then the walk follows the new reference.
    bytes = MakeFrames({}, 30);
    Append(bytes, MakeFrames({.mode = 3}, 30));
    r = Scan(bytes);
    EXPECT_EQ(r.sync_errors, 1);
    EXPECT_EQ(r.channels, 1);  // the reference follows the file
    EXPECT_EQ(r.mode, 1);      // the first frame's mode stays
    EXPECT_EQ(r.frames, 60);
    EXPECT_EQ(r.long_blocks, 174u);  // 29 stereo frames of 4 granule-channels, 29 mono of 2
}

TEST(Scan, TakesTheLengthFromTheFirstHeaderOrEachLayersFrames) {
    // Headers only: nothing counted, the first frame's bitrate taken. 1000
    // frames of 417 bytes: 3,336,000 bits at 128 kbit/s.
    ScanRecord r = Scan(MakeFrames({}, 1000), {.walk_frames = false});
    EXPECT_EQ(r.frames, 0);
    EXPECT_EQ(r.average_bitrate, 128);
    EXPECT_FLOAT_EQ(r.length_seconds, 26.0625f);

    // MPEG-2 Layer II, 64 kbit/s, 24 kHz: 1152 samples a frame, as in MPEG-1.
    r = Scan(MakeFrames({Version::kMpeg2, 2, 8, 1}, 30));
    EXPECT_FLOAT_EQ(r.length_seconds, 1.44f);
    // MPEG-1 Layer I, 128 kbit/s, 44.1 kHz: 384 samples a frame.
    r = Scan(MakeFrames({Version::kMpeg1, 1, 4, 0}, 200));
    EXPECT_EQ(r.frames, 200);
    EXPECT_FLOAT_EQ(r.length_seconds, 1.7414966f);

    // Layer I and II frames have no side information: none of it is counted
    // (twolame, joint stereo).
    r = Scan(test::ReadFile(test::FixturePath("twolame_mp2_192_48k.mp2")));
    EXPECT_EQ(r.long_blocks, 0u);
    EXPECT_EQ(r.short_blocks, 0u);
    EXPECT_EQ(r.stereo_type_counts[0] + r.stereo_type_counts[1] + r.stereo_type_counts[2] +
                  r.stereo_type_counts[3],
              0u);
}

TEST(Scan, CountsTheSideInformationOfEveryParsedFrame) {
    SideInfoFields side;
    side.main_data_begin = 300;
    side.scfsi = 0b0101;
    side.granules[0][0] = {10, true, 2, true, false};    // mixed
    side.granules[0][1] = {20, false, 0, false, true};   // long, scalefac_scale
    side.granules[1][0] = {77, true, 2, false, false};   // short
    side.granules[1][1] = {99, false, 0, false, false};  // long
    std::vector<uint8_t> bytes = MakeFrames({.padding = true, .mode_extension = 2}, 11, side);
    Append(bytes, MakeFrames({}, 10, {.main_data_begin = 100}));

    FrameSeries series;
    ScanRecord r = Scan(bytes, {.series = &series});
    // Parsed frames 1..20: ten with `side`, ten with long blocks only.
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

    // One value a parsed frame (no page shows them yet); the last switching granule's block kind.
    ASSERT_EQ(series[FrameSeries::kBlockKind].size(), 20u);
    EXPECT_EQ(series[FrameSeries::kBlockKind][0], 1u);  // short
    EXPECT_EQ(series[FrameSeries::kShortBlockSize][0], 99u);
    EXPECT_EQ(series[FrameSeries::kMainDataBegin][19], 100u);

    // After a CRC the side information starts two bytes later.
    side = {.main_data_begin = 123};
    side.granules[0][0].scalefac_scale = true;
    r = Scan(MakeFrames({.crc = true}, 20, side));
    EXPECT_EQ(r.max_reservoir, 123);
    EXPECT_EQ(r.scalefac_scale_count, 19);

    // MPEG-2 mono: 8-bit main_data_begin, one granule-channel per frame.
    side.main_data_begin = 200;
    r = Scan(MakeFrames({.version = Version::kMpeg2, .bitrate_index = 8, .mode = 3}, 20, side));
    EXPECT_EQ(r.max_reservoir, 200);
    EXPECT_EQ(r.long_blocks, 19u);
    EXPECT_EQ(r.scalefac_scale_count, 19);
    EXPECT_FLOAT_EQ(r.length_seconds, 0.52244898f);  // 20 x 576 samples at 22050 Hz
}

// Hears the frame count of every progress call; stops the scan after `stop_after` calls.
struct RecordingSink : sink {
    bool Progress(const ScanRecord& record) override {
        frames.push_back(record.frames);
        return frames.size() < stop_after;
    }
    size_t stop_after = 100;
    std::vector<int> frames;
};

struct FakeCache : RecordCache {
    bool Lookup(std::string_view, const RecordFileStatus&, ScanRecord& out, int limit,
                FileChecks*) override {
        last_limit = limit;
        out = answer.value_or(out);
        return answer.has_value();
    }
    void Store(const ScanRecord& record, const FileChecks*) override { stored.push_back(record); }

    std::optional<ScanRecord> answer;
    int last_limit = 0;
    std::vector<ScanRecord> stored;
};

TEST(Scan, ReportsProgressStoresOnlyFinishedWalksAndAnswersFromTheCache) {
    FakeCache cache;
    const AnalysisCacheScope scope(&cache);
    const std::vector<uint8_t> bytes = MakeFrames({}, 5000);

    // A call every 2000 frames and one at the end.
    RecordingSink all;
    Scan(bytes, {.progress = &all});
    EXPECT_EQ(all.frames, (std::vector<int>{2000, 4000, 5000}));
    // A walk that ends at its frame limit is finished too.
    Scan(bytes, {.frame_limit = 100});
    EXPECT_EQ(cache.stored.size(), 2u);
    // A walk the sink stops is not.
    RecordingSink stop;
    stop.stop_after = 1;
    ScanRecord r = Scan(bytes, {.progress = &stop});
    EXPECT_EQ(stop.frames, std::vector<int>{2000});
    EXPECT_EQ(r.frames, 2000);
    EXPECT_EQ(r.whole_file_scanned, 0);
    ASSERT_EQ(cache.stored.size(), 2u);

    // The first record, average cleared, answers for zeros; the finishing step runs on it.
    cache.answer = cache.stored[0];
    cache.answer->average_bitrate = 0;
    const std::vector<uint8_t> zeros(1000, 0);
    r = Scan(zeros, {.frame_limit = 1000});
    EXPECT_EQ(cache.last_limit, 1000);
    EXPECT_EQ(r.frames, 5000);
    EXPECT_EQ(r.average_bitrate, 128);
    // Bypassing the cache reads the file.
    std::string error;
    Scan(zeros, {.frame_limit = 1000, .cache = CacheLookup::kSkip}, &error);
    EXPECT_EQ(error, kNoHeaderMessage);
}

TEST(Scan, AnEmptyFileGivesOnlyPathTypeStatusAndSize) {
    TempDir dir;
    WriteFile(dir.File("empty.mp3"), {});
    CVandrelMp3File file;
    ASSERT_TRUE(file.Open(dir.File("empty.mp3"), "rb"));
    ScanRecord record = ZeroRecord();
    EXPECT_EQ(file.Scan(record, {.cache = CacheLookup::kSkip}), 0);
    EXPECT_EQ(record.kind, 1);
    EXPECT_EQ(RecordPath(record), dir.File("empty.mp3"));
    EXPECT_NE(record.status.modification_time, 0);
    EXPECT_EQ(record.id3v1.image[127], 0);  // no tag looked for
}

TEST(FinishScan, AveragesByTheXingFrameCountWhenItFitsAndNeverCountsFreeFormat) {
    ScanRecord r = ZeroRecord();
    r.is_mpeg1 = 1;
    r.layer = 3;
    r.sample_rate = 44100;
    r.file_size = 1'000'000;
    r.has_xing = 1;
    r.xing.flags = kXingFramesFlag | kXingBytesFlag;
    r.xing.frames = 999;  // 1000 frames with the header frame: 26.122449 s
    r.xing.bytes = 1'000'000;
    r.bitrate_index_counts[0] = 5;  // free format
    r.bitrate_index_counts[9] = 50;
    r.frames = 56;  // a walk stopped at its limit: the first frames of a VBR file
    FinishScan(r, nullptr);
    EXPECT_EQ(r.average_bitrate, 306) << "average";
    EXPECT_NEAR(r.length_seconds, 26.122449, 1e-3) << "length";  // the Xing duration
    EXPECT_EQ(r.is_vbr, 0) << "VBR";                             // free format is no second bitrate

    // A byte count far from the audio's (the first header of 20 joined
    // files), none, or 10 frames in 1 MB, past the top of the bitrate table:
    // the frames' 128 kbit/s, and the size at it.
    const uint32_t both = r.xing.flags;
    for (const auto& [size, flags, frames] : {std::tuple{20'000'000u, both, 999u},
                                              {1'000'000u, kXingFramesFlag, 999u},
                                              {1'000'000u, both, 9u}}) {
        r.file_size = size;
        r.xing.flags = flags;
        r.xing.frames = frames;
        FinishScan(r, nullptr);
        EXPECT_EQ(r.average_bitrate, 128) << "average, size " << size << " frames " << frames;
        EXPECT_NEAR(r.length_seconds, size / 16'000.0, 1e-3) << "length, size " << size;
    }
    // A header average a hair under the one bitrate (127.7): a CBR file's.
    r.file_size = r.xing.bytes = 417'000;
    r.xing.frames = 999;
    FinishScan(r, nullptr);
    EXPECT_EQ(r.average_bitrate, 128) << "average of a CBR file";

    // A whole walk counting more frames than the header: the frames' average, free format out.
    r.frames = 1001;
    r.whole_file_scanned = 1;
    r.bitrate_index_counts[14] = 10;
    FinishScan(r, nullptr);
    EXPECT_EQ(r.average_bitrate, 160) << "average of the frames";  // (50 x 128 + 10 x 320) / 60
    EXPECT_EQ(r.is_vbr, 1) << "VBR of a second bitrate";

    // No frame counted at all: no average, and the length stays as it was.
    r = ZeroRecord();
    r.layer = 3;
    r.length_seconds = 12.5f;
    FinishScan(r, nullptr);
    EXPECT_EQ(r.average_bitrate, 0) << "average without frames";
    EXPECT_FLOAT_EQ(r.length_seconds, 12.5f) << "length without frames";
}

TEST(Scan, EstimatesTheLengthOfAFileTooLargeForTheSizeFieldFromItsWholeSize) {
    // 6 GiB, sparse: frames of 128 kbit/s at its start and in its middle.
    TempDir dir;
    constexpr uint64_t kSize = uint64_t{6} << 30;
    WriteSparseFile(dir.File("huge.mp3"), kSize, MakeFrames({}, 200));
    CVandrelMp3File file;
    ASSERT_TRUE(file.Open(dir.File("huge.mp3"), "rb"));
    ScanRecord r = ZeroRecord();
    ASSERT_EQ(file.Scan(r, {.frame_limit = 100, .cache = CacheLookup::kSkip}), 1);
    EXPECT_EQ(r.file_size, kRecordSizeLimit) << "file_size";
    EXPECT_EQ(RecordFileSize(FromImage(ToImage(r))), kSize) << "whole size through the image";
    EXPECT_NEAR(r.length_seconds, 402653.184, 0.1) << "length";  // 6 GiB x 8 / 128,000
}

// The offsets are fixed by the header; what the image adds is the byte order
// of every width of number, whatever the host's, and the way back.
TEST(ScanRecord, ImageHoldsLittleEndianNumbersAndReadsBack) {
    ScanRecord record = ZeroRecord();
    record.frames = 0x01020304;
    record.reservoir_sum = 0x1122334455667788;
    record.xing.music_crc = 0xBEEF;
    record.vbri.table[510] = 0x0A0B;
    record.length_seconds = 1.5f;
    CopyTextField(record.path, "/music/a.mp3");

    const ScanRecordImage image = ToImage(record);
    const std::span<const uint8_t> b(image);
    EXPECT_EQ(image[276], 0x04);  // the low byte first
    EXPECT_EQ(LoadLe64(b.subspan(320)), 0x1122334455667788u);
    EXPECT_EQ(LoadLe16(b.subspan(684)), 0xBEEF);
    EXPECT_EQ(LoadLe16(b.subspan(724 + 510 * 2)), 0x0A0B);
    EXPECT_EQ(LoadLe32(b.subspan(280)), 0x3FC00000u);  // 1.5f

    const ScanRecord back = FromImage(image);
    EXPECT_EQ(ToImage(back), image);
    EXPECT_EQ(RecordPath(back), "/music/a.mp3");
}

TEST(ScanRecord, TextFieldsAreCutToTheirCapacityAndTerminated) {
    ScanRecord record = ZeroRecord();
    CopyTextField(record.path, std::string(400, 'x'));
    EXPECT_EQ(RecordPath(record).size(), 259u);
    EXPECT_EQ(record.path[259], '\0');

    CopyTextField(record.encoder_text, "LAME3.100");
    CopyTextField(record.encoder_text, "Lame");
    EXPECT_EQ(EncoderText(record), "Lame");  // the rest of the field is cleared
    EXPECT_EQ(record.encoder_text[5], '\0');
}

}  // namespace
}  // namespace vandrel
