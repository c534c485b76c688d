// The integrity checks of a scan on real encoder output: frame CRCs, headers
// against the audio, bytes around the audio, the bandwidth verdict, and the
// texts and findings made of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "engine/checks/IntegrityChecks.h"
#include "engine/core/RecordCache.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/media/MediaFileWrapper.h"
#include "engine/verdicts/Findings.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using test::FixturePath;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct Scanned {
    ScanRecord record = ZeroRecord();
    FileChecks checks;
    std::vector<Finding> findings;
    AttributeTexts texts;
    Severity severity = Severity::kNone;
};

Scanned ScanWithChecks(const std::string& path, ScanOptions options = {}) {
    RegisterStandardMediaFileTypes();
    Scanned result;
    CVandrelMediaFileWrapper file;
    EXPECT_TRUE(file.Attach(path)) << path;
    IntegrityChecks checks(result.checks);
    options.checks = &checks;
    options.cache = CacheLookup::kSkip;
    EXPECT_EQ(file.Scan(result.record, options), 1) << path;
    result.findings = CollectFindings(result.record, result.checks);
    result.severity = FillCheckTexts(result.texts, result.record, result.checks);
    return result;
}

bool HasFinding(const Scanned& s, std::string_view brief) {
    return std::any_of(s.findings.begin(), s.findings.end(),
                       [&](const Finding& f) { return f.brief == brief; });
}

TEST(FrameCrcScan, ProtectedFilesFromLameAndTwolamePass) {
    for (const char* name :
         {"lame_crc_cbr128.mp3", "lame_crc_cbr64_mono_48k.mp3", "lame_crc_mpeg2_22k_cbr64.mp3",
          "lame_crc_mpeg2_16k_cbr32_mono.mp3", "twolame_crc_192_joint.mp2",
          "twolame_crc_48_mono.mp2", "twolame_crc_64_22k.mp2", "twolame_crc_64_48k_mono.mp2",
          "twolame_crc_96_32k_joint.mp2"}) {
        SCOPED_TRACE(name);
        const Scanned s = ScanWithChecks(FixturePath(name));
        EXPECT_EQ(s.checks.crc_frames, static_cast<uint32_t>(s.record.frames))
            << "every frame checked";
        EXPECT_EQ(s.checks.crc_errors, 0u) << "CRC errors";
        EXPECT_EQ(s.texts[kSlotProblems], "none") << "Problems text";
    }
}

TEST(HeaderChecks, CleanFilesAgreeWithTheirHeaders) {
    for (const char* name :
         {"lame_vbr_v2.mp3", "lame_cbr128_joint.mp3", "ffmpeg_lame_vbr_q4.mp3",
          "lame_mpeg2_16k_vbr_mono.mp3", "mutagen_trailing_tags.mp3", "mid3v2_cover_art.mp3"}) {
        SCOPED_TRACE(name);
        const Scanned s = ScanWithChecks(FixturePath(name));
        EXPECT_EQ(s.texts[kSlotProblems], "none") << "Problems text";
        EXPECT_EQ(s.checks.audio_bytes, s.record.xing.bytes) << "audio bytes";
    }
}

TEST(HeaderChecks, CutVbrFileDisagreesWithItsHeader) {
    std::vector<uint8_t> bytes = ReadFile(FixturePath("lame_vbr_v2.mp3"));
    bytes.resize(bytes.size() * 6 / 10);
    TempDir dir;
    WriteFile(dir.File("cut.mp3"), bytes);

    const Scanned s = ScanWithChecks(dir.File("cut.mp3"));
    EXPECT_TRUE(HasFinding(s, "header mismatch")) << s.texts[kSlotProblems];
    EXPECT_TRUE(HasFinding(s, "wrong length shown")) << s.texts[kSlotProblems];
    EXPECT_TRUE(HasFinding(s, "cut last frame")) << s.texts[kSlotProblems];
    EXPECT_EQ(s.findings.front().severity, Severity::kDamage) << "worst first";

    // A walk of the first frames has the byte count to go by, 60% of the audio's.
    const Scanned part = ScanWithChecks(dir.File("cut.mp3"), {.frame_limit = 20});
    EXPECT_TRUE(HasFinding(part, "header mismatch")) << part.texts[kSlotProblems];
}

TEST(HeaderChecks, JoinedPairCountsMoreFramesThanTheFirstHeader) {
    std::vector<uint8_t> bytes = ReadFile(FixturePath("lame_cbr128_joint.mp3"));
    const std::vector<uint8_t> second = ReadFile(FixturePath("lame_vbr_v2.mp3"));
    bytes.insert(bytes.end(), second.begin(), second.end());
    TempDir dir;
    WriteFile(dir.File("joined.mp3"), bytes);

    const Scanned s = ScanWithChecks(dir.File("joined.mp3"));
    ASSERT_TRUE(HasFinding(s, "header mismatch")) << s.texts[kSlotProblems];
    const auto mismatch = std::find_if(s.findings.begin(), s.findings.end(), [](const Finding& f) {
        return f.brief == "header mismatch";
    });
    EXPECT_NE(mismatch->detail.find("counts 117 frames, the audio holds 234"), std::string::npos)
        << mismatch->detail;
    EXPECT_EQ(mismatch->severity, Severity::kWarning) << "severity";
    EXPECT_FALSE(HasFinding(s, "cut last frame")) << s.texts[kSlotProblems];

    // Its first 20 frames, all of 128 kbit/s, under the first header's byte
    // count, less than half the audio's: the size at 128 kbit/s is the length.
    const Scanned part = ScanWithChecks(dir.File("joined.mp3"), {.frame_limit = 20});
    EXPECT_EQ(part.record.average_bitrate, 128) << "average bitrate";
    EXPECT_NEAR(part.record.length_seconds, static_cast<double>(bytes.size()) / 16e3, 1e-3)
        << "length";
    EXPECT_TRUE(HasFinding(part, "header mismatch")) << part.texts[kSlotProblems];
}

TEST(HeaderChecks, VbriCountMayTakeInItsOwnFrame) {
    ScanRecord record = ZeroRecord();
    record.kind = 1;
    record.last_frame_complete = 1;
    record.whole_file_scanned = 1;
    record.frames = 500;
    record.has_vbri = 1;
    FileChecks checks;
    checks.walked = 1;
    for (const uint32_t counted : {500u, 499u}) {
        record.vbri.frames = counted;
        EXPECT_EQ(ProblemsText(CollectFindings(record, checks)), "none") << "VBRI " << counted;
    }
    record.vbri.frames = 900;
    EXPECT_EQ(ProblemsText(CollectFindings(record, checks)), "header mismatch") << "VBRI 900";

    // A walk of the first frames compares a byte count far from the audio's.
    record.whole_file_scanned = 0;
    record.file_size = 1'000'000;
    record.vbri.bytes = 400'000;
    EXPECT_EQ(ProblemsText(CollectFindings(record, checks)), "header mismatch")
        << "VBRI 400000 bytes";
}

TEST(SyncErrors, SayWhatFramesOfAnotherLayerFollow) {
    // 116 Layer III frames, then 115 MPEG-1 Layer II frames, with a lost
    // Layer III frame (its header zeroed) or without.
    std::vector<uint8_t> bytes = ReadFile(FixturePath("lame_notag_cbr128.mp3"));
    const std::vector<uint8_t> mp2 = ReadFile(FixturePath("ffmpeg_mp2_160.mp2"));
    bytes.insert(bytes.end(), mp2.begin(), mp2.end());
    TempDir dir;
    for (const bool lost : {false, true}) {
        std::fill_n(bytes.begin() + 50 * 418, lost ? 418 : 0, 0);
        WriteFile(dir.File("layers.mp3"), bytes);
        const Scanned s = ScanWithChecks(dir.File("layers.mp3"));
        // 231 frames of 1152 samples at 44.1 kHz; the lost one and the next count as one.
        EXPECT_NEAR(s.record.length_seconds, (lost ? 230 : 231) * 1152 / 44100.0, 1e-4) << "length";
        EXPECT_EQ(s.findings.at(0).detail,
                  lost
                      ? "The frames lose their chain 2 times (audio missing or corrupt there); "
                        "115 frames of MPEG-1 Layer II follow."
                      : "The frames lose their chain 1 time; 115 frames of MPEG-1 Layer II follow.")
            << "sync error detail";
    }
}

TEST(Id3v2Tags, ASizePastTheEndOfTheFileIsAWarningOfItsOwn) {
    // A size of 0x0FFFFFFF in front of 200 bytes of tag and 50 KB of audio.
    std::vector<uint8_t> bytes = test::Id3v2Header(0x0FFFFFFF);
    bytes.resize(bytes.size() + 200, 0);
    const std::vector<uint8_t> audio = ReadFile(FixturePath("lame_cbr128_joint.mp3"));
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    TempDir dir;
    WriteFile(dir.File("tag.mp3"), bytes);
    Scanned s = ScanWithChecks(dir.File("tag.mp3"));
    EXPECT_EQ(s.texts[kSlotProblems], "ID3v2 tag size runs past the end of the file")
        << "Problems text, without junk before the audio";
    EXPECT_EQ(s.severity, Severity::kWarning) << "severity";
    BuildAttributeTexts(s.texts, s.record, false);
    EXPECT_EQ(s.texts[kSlotId3v2Size], "268435465 (runs past the end of the file)")
        << "ID3v2 Tag Size text";
}

TEST(AroundTheAudio, JunkBeforeAndUnknownBytesAfter) {
    std::vector<uint8_t> bytes(300, 'x');
    const std::vector<uint8_t> audio = ReadFile(FixturePath("lame_cbr128_joint.mp3"));
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    bytes.insert(bytes.end(), 200, 'y');
    TempDir dir;
    WriteFile(dir.File("padded.mp3"), bytes);

    const Scanned s = ScanWithChecks(dir.File("padded.mp3"));
    EXPECT_EQ(s.checks.junk_before_audio, 300u) << "junk before";
    EXPECT_EQ(s.checks.unknown_after_audio, 200u) << "unknown after";
    EXPECT_EQ(s.texts[kSlotProblems], "junk before audio, unknown data after audio")
        << "Problems text";
    EXPECT_EQ(s.severity, Severity::kNotice) << "severity";
}

// The example files a first start opens each show what the user guide says
// they show.
TEST(ExampleFiles, ShowTheirFindings) {
    const std::pair<const char*, const char*> expected[] = {
        {"crc_error.mp3", "1 CRC error"},
        {"cut_short.mp3", "cut last frame, header mismatch"},
        {"genuine_256.mp3", "none"},
        {"joined_with_cat.mp3", "header mismatch, wrong length shown"},
        {"junk_before_audio.mp3", "junk before audio"},
        {"lame_vbr_v2.mp3", "none"},
        {"sync_errors.mp3", "2 sync errors, header mismatch"},
        // Six seconds of a re-encode whose loud granules end firmly at the
        // first encode's lowpass, though a tenth of them reach past it.
        {"upscaled_128_to_256.mp3", "probably upscaled"},
        {"vbr_no_header.mp3", "wrong length shown"},
    };
    for (const auto& [name, problems] : expected) {
        const Scanned s = ScanWithChecks(test::DataPath("../../data/examples/") + name);
        EXPECT_EQ(s.texts[kSlotProblems], problems) << name;
    }
}

// A cache that keeps what it is given, checks included.
class MapCache : public RecordCache {
public:
    bool Lookup(std::string_view path, const RecordFileStatus&, ScanRecord& out, int,
                FileChecks* checks) override {
        const auto it = entries.find(std::string(path));
        if (it == entries.end() || (checks != nullptr && !it->second.second)) {
            return false;
        }
        out = it->second.first;
        if (checks != nullptr) {
            *checks = *it->second.second;
        }
        ++hits;
        return true;
    }
    void Store(const ScanRecord& record, const FileChecks* checks) override {
        entries[record.path] = {record, checks != nullptr ? std::optional(*checks) : std::nullopt};
    }
    std::map<std::string, std::pair<ScanRecord, std::optional<FileChecks>>> entries;
    int hits = 0;
};

TEST(CachedChecks, AnsweredWithTheRecordOrNotAtAll) {
    MapCache cache;
    AnalysisCacheScope scope(&cache);
    const std::string path = FixturePath("lame_cbr256_from128.mp3");
    RegisterStandardMediaFileTypes();
    auto scan = [&](FileChecks* checks) {
        CVandrelMediaFileWrapper file;
        EXPECT_TRUE(file.Attach(path));
        ScanRecord record = ZeroRecord();
        if (checks == nullptr) {
            file.Scan(record, {});
            return;
        }
        IntegrityChecks integrity(*checks);
        file.Scan(record, {.checks = &integrity});
    };

    scan(nullptr);  // stored without checks
    const ScanRecordImage without = ToImage(cache.entries.begin()->second.first);
    FileChecks first;
    scan(&first);
    EXPECT_EQ(cache.hits, 0) << "a record without checks answers no scan that wants them";
    EXPECT_EQ(ToImage(cache.entries.begin()->second.first), without)
        << "the checks leave the stored record as it was";
    EXPECT_GT(first.bandwidth_granules, 0u) << "loud granules of the walk's sample";

    FileChecks second;
    scan(&second);
    EXPECT_EQ(cache.hits, 1) << "answered from the cache";
    EXPECT_EQ(second, first) << "the cached checks";
}

}  // namespace
}  // namespace vandrel
