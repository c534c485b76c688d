#include "engine/repair/Repair.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "engine/frame/FrameHeader.h"
#include "engine/io/ByteOrder.h"
#include "engine/io/Crc16.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/media/Mp3File.h"
#include "engine/repair/XingFrame.h"
#include "engine/tags/VbrHeaders.h"
#include "engine/verdicts/FileAnalysis.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using Bytes = std::vector<uint8_t>;

// The fixtures the damaged files are made of: a VBR file with a Xing header
// and LAME tag (its header frame 417 bytes), another one, and a VBR file
// without any header.
constexpr const char* kVbr = "lame_vbr_v2.mp3";
constexpr const char* kOtherVbr = "lame_vbr_v4_replaygain.mp3";
constexpr const char* kNoHeaderVbr = "lame_notag_vbr_long.mp3";
constexpr size_t kHeaderFrame = 417;

Bytes Fixture(const char* name) {
    return test::ReadFile(test::FixturePath(name));
}

Bytes Join(std::initializer_list<std::span<const uint8_t>> parts) {
    Bytes out;
    for (const auto part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// Where the frames of a chain start, from `first` on, as long as headers follow.
std::vector<size_t> FrameStarts(const Bytes& bytes, size_t first) {
    std::vector<size_t> starts;
    FrameHeader header;
    for (size_t at = first; at + 4 <= bytes.size();) {
        const int length = DecodeFrameHeader(LoadBe32(std::span(bytes).subspan(at, 4)), header);
        if (length == 0) {
            break;
        }
        starts.push_back(at);
        at += static_cast<size_t>(length);
    }
    return starts;
}

std::vector<RepairKind> Kinds(const RepairPlan& plan) {
    std::vector<RepairKind> kinds;
    for (const RepairAction& action : plan.actions) {
        kinds.push_back(action.kind);
    }
    return kinds;
}

bool HasFinding(const FileAnalysis& analysis, std::string_view brief) {
    return std::any_of(analysis.findings.begin(), analysis.findings.end(),
                       [brief](const Finding& f) { return f.brief == brief; });
}

class RepairTest : public ::testing::Test {
protected:
    // Writes the damaged file, plans and repairs it, and checks what every
    // repair must give: a kept copy whose own checks all passed, with none of
    // the repaired findings in a fresh scan. Returns the copy's bytes.
    Bytes Repair(const Bytes& damaged, const std::vector<RepairKind>& kinds) {
        const std::string source = dir_.File("damaged.mp3");
        const std::string dest = dir_.File("repaired.mp3");
        std::remove(dest.c_str());
        test::WriteFile(source, damaged);
        plan_ = PlanRepair(source);
        EXPECT_EQ(plan_.status, PlanStatus::kRepairable) << "plan status: " << plan_.reason;
        EXPECT_EQ(Kinds(plan_), kinds) << "plan kinds:\n" << PlanText(plan_);
        result_ = RepairFile(plan_, source, dest);
        EXPECT_EQ(result_.status, RepairStatus::kRepaired) << "repair status: " << result_.reason;
        for (const RepairCheck& check : result_.checks) {
            EXPECT_TRUE(check.passed) << "check " << check.name << ": " << check.detail;
        }
        const FileAnalysis fresh = Analyse(dest, {.music_crc = true});
        for (const std::string& brief : plan_.repaired_findings) {
            EXPECT_FALSE(HasFinding(fresh, brief)) << "finding left after the repair: " << brief;
        }
        EXPECT_EQ(fresh.record.frames, plan_.result_frames) << "frames of the copy";
        return test::ReadFile(dest);
    }

    const MediaFileTypesScope media_types_;
    test::TempDir dir_;
    RepairPlan plan_;
    RepairResult result_;
};

TEST_F(RepairTest, RemovesJunkAndUnknownBytesAndKeepsTheTagsWhereTheyWere) {
    // lame_tags_v1v2.mp3: an ID3v2 tag, the audio, an ID3v1 tag.
    const Bytes tagged = Fixture("lame_tags_v1v2.mp3");
    const ScanRecord record = Analyse(test::FixturePath("lame_tags_v1v2.mp3"), {}).record;
    const auto audio_at = static_cast<size_t>(record.first_frame_offset);
    const size_t v1_at = tagged.size() - 128;
    const std::span<const uint8_t> all(tagged);
    const Bytes damaged =
        Join({all.first(audio_at), Text("stray bytes"), all.subspan(audio_at, v1_at - audio_at),
              Text("more junk here"), all.subspan(v1_at)});

    const Bytes repaired =
        Repair(damaged, {RepairKind::kRemoveJunkBefore, RepairKind::kRemoveUnknownAfter});
    EXPECT_EQ(repaired, tagged) << "the copy is the file before the junk went in";
    ASSERT_EQ(plan_.actions.size(), 2u) << "actions";
    EXPECT_EQ(plan_.actions[0].range, (ByteRange{audio_at, 11})) << "junk range";
    EXPECT_EQ(plan_.actions[0].text, "remove 11 bytes of junk before the first frame (bytes " +
                                         std::to_string(audio_at) + "-" +
                                         std::to_string(audio_at + 10) + ")")
        << "junk text";
    EXPECT_EQ(plan_.actions[1].bytes_removed, 14u) << "unknown bytes removed";
    EXPECT_EQ(plan_.kept_tags.size(), 2u) << "tags at both ends kept";
    ASSERT_EQ(result_.removed.size(), 2u) << "removed ranges";
    EXPECT_EQ(result_.removed[1].offset, v1_at + 11) << "where the unknown bytes were";
}

TEST_F(RepairTest, DropsTheBytesOfASyncErrorAndKeepsTheFramesAroundIt) {
    const Bytes good = Fixture(kVbr);
    const std::vector<size_t> starts = FrameStarts(good, 0);
    ASSERT_GT(starts.size(), 60u) << "frames of the fixture";
    const size_t at = starts[50];
    const std::span<const uint8_t> all(good);
    const Bytes garbage = {0xFF, 0x00, 0x12, 0x34, 0xFF, 0xE0, 0x55};
    const Bytes damaged = Join({all.first(at), garbage, all.subspan(at)});

    const Bytes repaired = Repair(damaged, {RepairKind::kDropSyncError});
    EXPECT_EQ(repaired, good) << "the copy is the file before the garbage went in";
    EXPECT_EQ(plan_.actions[0].range, (ByteRange{at, garbage.size()})) << "sync error range";
    EXPECT_EQ(plan_.actions[0].seconds_removed, 0.0) << "no audio goes with a sync error";
    EXPECT_EQ(plan_.kept_audio.size(), 2u) << "runs of frames on either side";
}

TEST_F(RepairTest, DropsACutLastFrameAndRebuildsTheHeaderWithTheLameTagKept) {
    const Bytes good = Fixture(kVbr);
    const std::vector<size_t> starts = FrameStarts(good, 0);
    const size_t cut_at = starts[40] + 100;  // inside frame 40
    const Bytes damaged(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut_at));

    const Bytes repaired = Repair(damaged, {RepairKind::kRebuildHeader, RepairKind::kDropCutFrame});
    ASSERT_EQ(repaired.size(), starts[40]) << "size: the header frame and 39 whole frames";
    EXPECT_TRUE(
        std::equal(repaired.begin() + kHeaderFrame, repaired.end(), good.begin() + kHeaderFrame))
        << "the audio frames as they were";
    EXPECT_NEAR(plan_.actions[1].seconds_removed, 1152.0 / 44100, 1e-9) << "one frame's time";
    EXPECT_EQ(plan_.actions[1].bytes_removed, 100u) << "the cut frame's bytes";

    ScanRecord header = ZeroRecord();
    ASSERT_EQ(ParseXingHeader(header, repaired, 0), 1) << "a Xing header in the copy";
    ScanRecord before = ZeroRecord();
    ASSERT_EQ(ParseXingHeader(before, good, 0), 1) << "the fixture's header";
    EXPECT_EQ(header.xing.frames, 39u) << "frames after the header frame";
    EXPECT_EQ(header.xing.bytes, repaired.size()) << "bytes of the stream";
    EXPECT_EQ(header.xing.has_lame_tag, 1) << "the LAME tag's CRC is right";
    EXPECT_EQ(header.xing.music_length, repaired.size()) << "music length";
    EXPECT_EQ(header.xing.music_crc,
              Crc16(std::span<const uint8_t>(repaired).subspan(kHeaderFrame)))
        << "music CRC over the audio after the header frame";
    EXPECT_EQ(std::vector(header.xing.delay_padding, header.xing.delay_padding + 3),
              std::vector(before.xing.delay_padding, before.xing.delay_padding + 3))
        << "delay and padding kept";
    EXPECT_EQ(header.xing.vbr_scale, before.xing.vbr_scale) << "quality kept";
    EXPECT_EQ(LameVersion(header), LameVersion(before)) << "encoder version kept";
}

TEST_F(RepairTest, DropsACutFrameBeforeTagsAndKeepsTheTagsAtTheEnd) {
    // mutagen_trailing_tags.mp3: the audio, then an ID3v2 tag with a footer,
    // an APE tag, a Lyrics3 block and an ID3v1 tag from byte 17,135 on.
    const Bytes tagged = Fixture("mutagen_trailing_tags.mp3");
    constexpr size_t kTagsAt = 17135;
    const std::vector<size_t> starts = FrameStarts(tagged, 0);
    ASSERT_GT(starts.size(), 30u) << "frames of the fixture";
    const size_t last = starts[starts.size() - 1] < kTagsAt ? starts.back() : starts.end()[-2];
    const std::span<const uint8_t> all(tagged);
    const Bytes damaged = Join({all.first(last + 50), all.subspan(kTagsAt)});

    // Its Info header counts the frame that goes.
    const Bytes repaired = Repair(damaged, {RepairKind::kRebuildHeader, RepairKind::kDropCutFrame});
    EXPECT_EQ(plan_.actions[1].range, (ByteRange{last, 50})) << "the cut frame's bytes";
    const Bytes expected = Join({all.first(last), all.subspan(kTagsAt)});
    ASSERT_EQ(repaired.size(), expected.size()) << "size: the header frame keeps its length";
    EXPECT_TRUE(std::equal(repaired.begin() + static_cast<ptrdiff_t>(starts[1]), repaired.end(),
                           expected.begin() + static_cast<ptrdiff_t>(starts[1])))
        << "the whole frames, then the tags byte for byte";
    EXPECT_EQ(repaired[3], tagged[3]) << "the header frame's mode as the encoder wrote it";
    ASSERT_EQ(plan_.kept_tags.size(), 1u) << "the tags at the end";
    EXPECT_EQ(plan_.kept_tags[0].length, tagged.size() - kTagsAt) << "all four tags kept";
}

TEST_F(RepairTest, RebuildsTheHeaderOfTwoJoinedFiles) {
    const Bytes first = Fixture(kVbr);
    const Bytes second = Fixture(kOtherVbr);
    const Bytes joined = Join({first, second});

    const Bytes repaired = Repair(joined, {RepairKind::kRebuildHeader});
    EXPECT_EQ(repaired.size(), joined.size()) << "the header frame keeps its size";
    EXPECT_TRUE(
        std::equal(repaired.begin() + kHeaderFrame, repaired.end(), joined.begin() + kHeaderFrame))
        << "every frame after the header as it was";
    ScanRecord header = ZeroRecord();
    ASSERT_EQ(ParseXingHeader(header, repaired, 0), 1) << "a Xing header in the copy";
    EXPECT_EQ(int64_t{header.xing.frames} + 1, plan_.result_frames) << "frames counted";
    EXPECT_EQ(plan_.repaired_findings,
              (std::vector<std::string>{"header mismatch", "wrong length shown"}))
        << "the finding the rebuild takes away";
}

TEST_F(RepairTest, RebuildsAHeaderCopiedFromAnotherFile) {
    const Bytes good = Fixture(kVbr);
    const Bytes other = Fixture(kOtherVbr);
    const std::span<const uint8_t> own(good);
    const Bytes copied = Join({std::span(other).first(kHeaderFrame), own.subspan(kHeaderFrame)});

    const Bytes repaired = Repair(copied, {RepairKind::kRebuildHeader});
    EXPECT_TRUE(
        std::equal(repaired.begin() + kHeaderFrame, repaired.end(), good.begin() + kHeaderFrame))
        << "the audio frames as they were";
    ScanRecord rebuilt = ZeroRecord();
    ScanRecord original = ZeroRecord();
    ASSERT_EQ(ParseXingHeader(rebuilt, repaired, 0), 1) << "the rebuilt header";
    ASSERT_EQ(ParseXingHeader(original, good, 0), 1) << "the fixture's own header";
    EXPECT_EQ(rebuilt.xing.frames, original.xing.frames) << "frame count as the encoder wrote it";
    EXPECT_EQ(rebuilt.xing.bytes, original.xing.bytes) << "byte count as the encoder wrote it";
    // Up to the quality field (which comes with the header taken over) the
    // frame is the one the encoder wrote for this audio: header word, side
    // information, flags, counts and table of contents.
    EXPECT_TRUE(std::equal(repaired.begin(), repaired.begin() + 152, good.begin()))
        << "the header frame as the encoder wrote it";
}

TEST_F(RepairTest, AddsAXingHeaderToAVbrFileWithout) {
    const Bytes bare = Fixture(kNoHeaderVbr);
    const Bytes repaired = Repair(bare, {RepairKind::kAddHeader});
    ASSERT_GT(repaired.size(), bare.size()) << "a frame more";
    const size_t added = repaired.size() - bare.size();
    EXPECT_EQ(plan_.actions[0].bytes_added, added) << "bytes added";
    EXPECT_TRUE(
        std::equal(repaired.begin() + static_cast<ptrdiff_t>(added), repaired.end(), bare.begin()))
        << "the whole original after the new frame";
    ScanRecord header = ZeroRecord();
    ASSERT_EQ(ParseXingHeader(header, repaired, 0), 1) << "a Xing header";
    EXPECT_EQ(header.xing.has_lame_tag, 0) << "no LAME tag made up";
    EXPECT_EQ(header.xing.flags, kXingFramesFlag | kXingBytesFlag | kXingTocFlag) << "flags";
}

TEST_F(RepairTest, AddsAHeaderToWhatTheEncoderWroteIntoAPipe) {
    if (access("/usr/bin/lame", X_OK) != 0) {
        GTEST_SKIP() << "lame is not installed";
    }
    // Into a pipe the encoder cannot go back to write its header.
    const std::string piped = dir_.File("piped.mp3");
    const std::string command = "/usr/bin/lame --nohist --quiet -V 2 '" +
                                test::FixturePath("sox_pcm_22k_mono.wav") + "' - | cat > '" +
                                piped + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const Bytes bare = test::ReadFile(piped);
    ScanRecord before = ZeroRecord();
    ASSERT_EQ(ParseXingHeader(before, bare, 0), 0) << "no header from the pipe";

    const Bytes repaired = Repair(bare, {RepairKind::kAddHeader});
    ScanRecord header = ZeroRecord();
    ASSERT_EQ(ParseXingHeader(header, repaired, 0), 1)
        << "a Xing header after the side information";
    EXPECT_EQ(header.xing.is_mpeg1, 0) << "an MPEG-2 frame like the audio";
    EXPECT_EQ(header.xing.sample_rate, 22050) << "the audio's rate";
    EXPECT_EQ(int64_t{header.xing.frames} + 1, plan_.result_frames) << "frames counted";
    EXPECT_EQ(repaired.size() - bare.size(), 208u) << "a 64 kbit/s MPEG-2 frame at 22.05 kHz";
}

TEST_F(RepairTest, PlansNothingForSoundFilesAndRefusesWhatItCannotRepair) {
    for (const char* name : {kVbr, "lame_tags_v1v2.mp3", "mutagen_trailing_tags.mp3",
                             "twolame_mp2_192_48k.mp2", "lame_cbr128_joint.mp3"}) {
        const RepairPlan plan = PlanRepair(test::FixturePath(name));
        EXPECT_EQ(plan.status, PlanStatus::kNothingToRepair) << name << ": " << PlanText(plan);
        EXPECT_EQ(PlanText(plan), "nothing to repair") << name;
        EXPECT_EQ(RepairFile(plan, test::FixturePath(name), dir_.File(name)).status,
                  RepairStatus::kNothingToRepair)
            << name << ": repair status";
        struct stat st {};
        EXPECT_NE(stat(dir_.File(name).c_str(), &st), 0) << name << ": no copy written";
    }
    const RepairPlan free_format = PlanRepair(test::FixturePath("lame_freeformat_400.mp3"));
    EXPECT_EQ(free_format.status, PlanStatus::kRefused) << "free format";
    EXPECT_EQ(free_format.reason, kFreeFormatRefusal) << "free format reason";
    const std::string text = dir_.File("text.mp3");
    test::WriteText(text, "no audio in here, only words\n");
    EXPECT_EQ(PlanRepair(text).status, PlanStatus::kRefused) << "a text file";
}

TEST_F(RepairTest, NeverWritesOverAFileOrTheOriginal) {
    const Bytes good = Fixture(kVbr);
    const std::span<const uint8_t> all(good);
    const std::string source = dir_.File("junk.mp3");
    test::WriteFile(source, Join({Text("junk"), all}));
    const RepairPlan plan = PlanRepair(source);
    ASSERT_EQ(plan.status, PlanStatus::kRepairable) << "plan";

    const RepairResult over_source = RepairFile(plan, source, source);
    EXPECT_EQ(over_source.status, RepairStatus::kFailed) << "over the original";
    EXPECT_EQ(test::ReadFile(source).size(), good.size() + 4) << "the original untouched";

    const std::string taken = dir_.File("taken.mp3");
    test::WriteText(taken, "mine");
    const RepairResult over_other = RepairFile(plan, source, taken);
    EXPECT_EQ(over_other.status, RepairStatus::kFailed) << "over another file";
    EXPECT_EQ(test::ReadFile(taken), Text("mine")) << "the other file untouched";
}

TEST_F(RepairTest, RemovesACopyThatFailsItsChecks) {
    const Bytes good = Fixture(kVbr);
    const std::string source = dir_.File("junk.mp3");
    test::WriteFile(source, Join({Text("junk"), good}));
    RepairPlan plan = PlanRepair(source);
    ASSERT_EQ(plan.status, PlanStatus::kRepairable) << "plan";
    // A plan that promises a frame more than it writes.
    plan.result_frames += 1;
    const std::string dest = dir_.File("out.mp3");
    const RepairResult result = RepairFile(plan, source, dest);
    EXPECT_EQ(result.status, RepairStatus::kFailed) << "status";
    EXPECT_EQ(result.output, "") << "no output kept";
    struct stat st {};
    EXPECT_NE(stat(dest.c_str(), &st), 0) << "the copy removed";
    const auto count = std::find_if(result.checks.begin(), result.checks.end(),
                                    [](const RepairCheck& c) { return c.name == "frame count"; });
    ASSERT_NE(count, result.checks.end()) << "the frame count check is listed";
    EXPECT_FALSE(count->passed) << "the frame count check failed";
}

// The new header frame, parsed back field by field.
TEST(XingFrameTest, BuildsTheFrameAsTheParserReadsIt) {
    XingFrameFacts facts;
    facts.model_word = 0xFFFB9064;  // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, joint stereo
    facts.vbr = true;
    facts.frame_kbps = {96, 128, 96, 128};  // 448 in all
    facts.audio_bytes = 1462;
    facts.vbr_scale = 78;
    std::array<uint8_t, kLameTagBytes> tag{};
    std::copy_n("LAME3.100", 9, tag.begin());
    tag[21] = 0x24;  // delay 576, padding 1200: 0x240 0x4B0
    tag[22] = 0x04;
    tag[23] = 0xB0;
    facts.lame_tag = tag;
    facts.music_crc = 0xBEEF;
    const Bytes frame = BuildXingFrame(facts);

    ScanRecord record = ZeroRecord();
    ASSERT_EQ(ParseXingHeader(record, frame, 0), 1) << "found at its place";
    FrameHeader header;
    EXPECT_EQ(DecodeFrameHeader(LoadBe32(std::span(frame).first(4)), header),
              static_cast<int>(frame.size()))
        << "the frame is as long as its header says";
    EXPECT_EQ(header.bitrate_index, 9) << "128 kbit/s, the lowest that holds the header";
    EXPECT_EQ(header.protection, 1) << "no frame CRC";
    EXPECT_EQ(header.padding, 0) << "no padding";
    EXPECT_EQ(header.mode, kModeJointStereo) << "channel mode of the audio";
    EXPECT_EQ(std::string(frame.begin() + 36, frame.begin() + 40), "Xing") << "tag";
    EXPECT_TRUE(std::all_of(frame.begin() + 4, frame.begin() + 36, [](uint8_t b) {
        return b == 0;
    })) << "side information zero";
    EXPECT_EQ(record.xing.flags, 0xFu) << "flags";
    EXPECT_EQ(record.xing.frames, 4u) << "frames";
    EXPECT_EQ(record.xing.bytes, frame.size() + 1462) << "bytes with the header frame";
    EXPECT_EQ(record.xing.vbr_scale, 78) << "quality";
    EXPECT_EQ(frame[36 + 16], 0) << "first TOC entry: the first frame";
    EXPECT_EQ(frame[36 + 16 + 50], (96 + 128 + 96) * 256 / 448) << "TOC entry 50: frame 2's end";
    EXPECT_EQ(frame[36 + 16 + 99], 255) << "TOC entry 99: the last frame's end, at most 255";
    EXPECT_EQ(record.xing.has_lame_tag, 1) << "tag CRC right";
    EXPECT_EQ(LameVersion(record), "LAME3.100") << "version";
    const std::optional<EncoderGap> gap = LameEncoderGap(record);
    ASSERT_TRUE(gap.has_value()) << "gap";
    EXPECT_EQ(gap->delay, 576) << "delay";
    EXPECT_EQ(gap->padding, 1200) << "padding";
    EXPECT_EQ(record.xing.music_length, frame.size() + 1462) << "music length";
    EXPECT_EQ(record.xing.music_crc, 0xBEEF) << "music CRC";
}

TEST(XingFrameTest, TakesABitrateThatHoldsTheHeaderAndRefusesOtherLayers) {
    XingFrameFacts cbr;
    cbr.model_word = 0xFFFBE044;  // MPEG-1 Layer III, 320 kbit/s, 44.1 kHz, stereo
    cbr.frame_kbps = {320};
    cbr.audio_bytes = 1044;
    const Bytes info = BuildXingFrame(cbr);
    FrameHeader header;
    ASSERT_GT(DecodeFrameHeader(LoadBe32(std::span(info).first(4)), header), 0) << "header";
    EXPECT_EQ(header.bitrate_index, 14) << "a CBR file's frame keeps its bitrate";
    EXPECT_EQ(std::string(info.begin() + 36, info.begin() + 40), "Info") << "CBR tag";

    XingFrameFacts low;
    low.model_word = 0xFFE310C4;  // MPEG-2.5 Layer III, 8 kbit/s, 11.025 kHz, mono
    low.vbr = true;
    low.lame_tag = std::array<uint8_t, kLameTagBytes>{};
    const Bytes small = BuildXingFrame(low);
    ASSERT_GT(DecodeFrameHeader(LoadBe32(std::span(small).first(4)), header), 0) << "header";
    EXPECT_GE(small.size(), 13u + 120 + kLameTagBytes) << "holds header and tag";
    EXPECT_EQ(header.sample_rate, 11025) << "rate of the audio";

    XingFrameFacts layer2;
    layer2.model_word = 0xFFFDA004;  // MPEG-1 Layer II
    EXPECT_TRUE(BuildXingFrame(layer2).empty()) << "no Layer II header frame";
}

// What other readers make of a repaired file, when they are installed.
std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
            out += buffer;
        }
        pclose(pipe);
    }
    return out;
}

bool Installed(const char* program) {
    return access(program, X_OK) == 0;
}

TEST_F(RepairTest, OtherReadersAgreeWithTheRepairedFile) {
    if (!Installed("/usr/bin/ffprobe") || !Installed("/usr/bin/ffmpeg")) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const Bytes first = Fixture(kVbr);
    const Bytes second = Fixture(kOtherVbr);
    const Bytes cut_join = Join({first, std::span(second).first(20000)});
    Repair(cut_join, {RepairKind::kRebuildHeader, RepairKind::kDropCutFrame});
    const std::string dest = dir_.File("repaired.mp3");
    const FileAnalysis ours = Analyse(dest, {});
    const double frame_seconds = 1152.0 / 44100;
    const int64_t audio_frames = ours.record.frames - 1;

    const std::string probe = Output("/usr/bin/ffprobe -v error -count_frames -show_entries "
                                     "stream=nb_read_frames -of csv=p=0 '" +
                                     dest + "'");
    EXPECT_NEAR(std::stod(probe), static_cast<double>(audio_frames), 1.0) << "ffprobe frames";
    const std::string duration = Output("/usr/bin/ffprobe -v error -show_entries format=duration "
                                        "-of csv=p=0 '" +
                                        dest + "'");
    EXPECT_NEAR(std::stod(duration), static_cast<double>(audio_frames) * frame_seconds,
                frame_seconds)
        << "ffprobe duration";
    EXPECT_EQ(Output("/usr/bin/ffmpeg -v error -i '" + dest + "' -f null - 2>&1"), "")
        << "ffmpeg decodes it without an error";

    const std::string mutagen = Output("/usr/bin/python3 -c \"import mutagen.mp3,sys; "
                                       "print(mutagen.mp3.MP3(sys.argv[1]).info.length)\" '" +
                                       dest + "' 2>/dev/null");
    if (mutagen.empty()) {
        GTEST_SKIP() << "mutagen is not installed";
    }
    // mutagen leaves out the encoder's delay and padding that the LAME tag gives.
    const std::optional<EncoderGap> gap = LameEncoderGap(ours.record);
    ASSERT_TRUE(gap.has_value()) << "the copy's LAME tag";
    EXPECT_NEAR(std::stod(mutagen) + (gap->delay + gap->padding) / 44100.0,
                static_cast<double>(audio_frames) * frame_seconds, frame_seconds)
        << "mutagen length";
}

}  // namespace
}  // namespace vandrel
