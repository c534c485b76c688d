#include "engine/tags/VbrHeaders.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/io/ByteOrder.h"
#include "engine/media/VandrelMp3File.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using test::Append;
using test::HeaderFields;
using test::MakeFrames;
using test::MakeXingFrame;
using test::XingFields;

ScanRecord ScanBytes(std::vector<uint8_t> bytes) {
    CVandrelMp3File file;
    file.OpenMemory("memory.mp3", std::move(bytes));
    ScanRecord r = ZeroRecord();
    file.Scan(r, {.cache = CacheLookup::kSkip});
    return r;
}

ScanRecord ScanFixture(const char* name) {
    CVandrelMp3File file;
    EXPECT_TRUE(file.Open(test::FixturePath(name), "rb"));
    ScanRecord r = ZeroRecord();
    file.Scan(r, {.cache = CacheLookup::kSkip});
    return r;
}

// A file whose first frame carries the given Xing header, then `frames` more.
std::vector<uint8_t> XingFile(const XingFields& xing, int frames = 40, HeaderFields header = {}) {
    std::vector<uint8_t> bytes = MakeXingFrame(header, xing);
    Append(bytes, MakeFrames(header, frames));
    return bytes;
}

TEST(LameTag, DecodesWhatLameWrote) {
    // Fields cross-checked with an independent reader of LAME tags.
    ScanRecord r = ScanFixture("lame_vbr_v2.mp3");
    ASSERT_EQ(r.has_xing, 1);
    EXPECT_EQ(LameVersion(r), "LAME3.100");
    const VbrHeaderBlock& x = r.xing;
    EXPECT_EQ(x.flags, 15u);
    EXPECT_EQ(x.frames, 116u);
    EXPECT_EQ(x.bytes, 58738u);
    EXPECT_EQ(x.vbr_scale, 80);
    EXPECT_EQ(x.is_mpeg1, 1);
    EXPECT_EQ(x.sample_rate, 44100);
    EXPECT_EQ(x.has_lame_tag, 1);
    EXPECT_EQ(x.vbr_method, 4);
    EXPECT_EQ(x.lowpass, 18500);
    EXPECT_EQ(x.ath_type, 5);
    EXPECT_EQ(x.abr_bitrate, 32);
    EXPECT_EQ(LoadBe24(x.delay_padding), 0x2402F4u);  // delay 576, padding 756 samples
    EXPECT_EQ(x.music_length, 58738u);
    EXPECT_EQ(x.music_crc, 0x0489);
    EXPECT_EQ(x.tag_crc, 0x2CB7);
    EXPECT_EQ(x.stereo_mode, 3);
    EXPECT_EQ(x.source_frequency, 1);
    EXPECT_EQ(x.noise_shaping, 1);

    // A constant-bitrate file's "Info" header counts the same.
    r = ScanFixture("lame_cbr128_joint.mp3");
    EXPECT_EQ(r.has_xing, 1);
    EXPECT_EQ(r.xing.has_lame_tag, 1);
    EXPECT_EQ(r.xing.vbr_method, 1);

    // ffmpeg's encoder leaves its own name where LAME puts its tag.
    r = ScanFixture("ffmpeg_lame_cbr112_id3.mp3");
    EXPECT_EQ(r.has_xing, 1);
    EXPECT_EQ(r.xing.has_lame_tag, 0);
    EXPECT_EQ(LameVersion(r), "Lavc");

    // No header at all.
    EXPECT_EQ(ScanFixture("lame_notag_cbr128.mp3").has_xing, 0);
}

TEST(LameTag, ReadsReplayGainAndPeak) {
    ScanRecord r = ScanFixture("lame_vbr_v4_replaygain.mp3");
    EXPECT_NEAR(r.xing.peak_amplitude, 0.335685, 1e-6);
    const ReplayGainTextSet texts = ReplayGainTexts(r);
    EXPECT_EQ(texts.peak, "0.335685");
    EXPECT_EQ(texts.radio_name, "Radio");
    EXPECT_EQ(texts.radio_originator, "automatic");
    EXPECT_EQ(texts.radio_adjustment, "4.4");
    EXPECT_EQ(texts.audiophile_name, "not set");

    // A set sign bit makes the adjustment negative; a zero peak is not set.
    XingFields xing;
    xing.frames = 40;
    xing.lame_bytes[17] = 0x2E;  // audiophile: name 1, originator 3, sign, 5.3 dB
    xing.lame_bytes[18] = 0x35;
    r = ScanBytes(XingFile(xing));
    EXPECT_EQ(r.xing.audiophile_gain_adjustment, -53);
    const ReplayGainTextSet t = ReplayGainTexts(r);
    EXPECT_EQ(t.peak, "not set");
    EXPECT_EQ(t.audiophile_adjustment, "-5.3");
    EXPECT_EQ(ReplayGainName(5), "other");
    EXPECT_EQ(ReplayGainOriginatorName(4), "other");
}

TEST(LameTag, KeepsOnlyTheVersionWhenItsCrcIsWrong) {
    XingFields xing;
    xing.frames = 40;
    xing.lame_bytes[10] = 190;  // lowpass 19000 Hz
    ScanRecord r = ScanBytes(XingFile(xing));
    ASSERT_EQ(r.xing.has_lame_tag, 1);
    EXPECT_EQ(r.xing.lowpass, 19000);

    std::vector<uint8_t> bytes = XingFile(xing);
    bytes[20] ^= 0x01;  // one byte between the frame start and the tag CRC
    r = ScanBytes(bytes);
    EXPECT_EQ(r.has_xing, 1);
    EXPECT_EQ(r.xing.has_lame_tag, 0);
    EXPECT_EQ(LameVersion(r), "LAME3.100");
    EXPECT_EQ(r.xing.lowpass, 0);
    EXPECT_EQ(r.xing.tag_crc, 0);
    EXPECT_EQ(r.xing.frames, 40u);  // the Xing fields stay
}

TEST(XingHeader, SitsWhereTheSideInformationEnds) {
    XingFields xing;
    xing.frames = 30;
    HeaderFields mono;
    mono.mode = 3;
    // MPEG-1 mono: at 21.
    ScanRecord r = ScanBytes(XingFile(xing, 30, mono));
    EXPECT_EQ(r.has_xing, 1);
    // A header at 36 in a mono frame is not where it belongs.
    xing.offset = 36;
    r = ScanBytes(XingFile(xing, 30, mono));
    EXPECT_EQ(r.has_xing, 0);

    // MPEG-2: 21 for two channels, 13 for one; the rate is halved.
    HeaderFields mpeg2;
    mpeg2.version = test::Version::kMpeg2;
    mpeg2.bitrate_index = 14;
    xing.offset = 0;
    r = ScanBytes(XingFile(xing, 30, mpeg2));
    EXPECT_EQ(r.has_xing, 1);
    EXPECT_EQ(r.xing.is_mpeg1, 0);
    EXPECT_EQ(r.xing.sample_rate, 22050);
    EXPECT_EQ(XingHeaderOffset(HeaderWord(mpeg2)), 21u);
    mpeg2.mode = 3;
    EXPECT_EQ(XingHeaderOffset(HeaderWord(mpeg2)), 13u);

    // Two bytes later in a frame with CRC protection, and only there.
    xing.offset = 38;
    HeaderFields crc;
    crc.crc = true;
    EXPECT_EQ(ScanBytes(XingFile(xing, 30, crc)).has_xing, 1);
    EXPECT_EQ(ScanBytes(XingFile(xing, 30)).has_xing, 0);
}

TEST(XingHeader, ReadsOnlyTheFieldsItsFlagsAnnounce) {
    XingFields xing;
    xing.flags = 0x2;  // bytes only
    xing.bytes = 12345;
    xing.lame = false;
    const ScanRecord r = ScanBytes(XingFile(xing));
    EXPECT_EQ(r.xing.flags, 2u);
    EXPECT_EQ(r.xing.frames, 0u);
    EXPECT_EQ(r.xing.bytes, 12345u);
    EXPECT_EQ(r.xing.vbr_scale, -1);  // absent
    // Without a frame count the average comes from the frames themselves.
    EXPECT_EQ(r.average_bitrate, 128);
}

TEST(XingHeader, IsNotParsedWhenFoundTooFarIntoTheFrame) {
    std::vector<uint8_t> bytes = MakeFrames({}, 40);
    std::memcpy(bytes.data() + 1900, "Xing", 4);
    std::memcpy(bytes.data() + 1950, "VBRI", 4);
    const ScanRecord r = ScanBytes(bytes);
    EXPECT_EQ(r.has_xing, 0);
    EXPECT_EQ(r.has_vbri, 0);
    EXPECT_EQ(r.frames, 40);
}

std::vector<uint8_t> VbriFrame(uint16_t entries) {
    HeaderFields header;
    header.bitrate_index = 14;  // room for a long table
    std::vector<uint8_t> frame = test::MakeFrame(header);
    std::span<uint8_t> v = std::span(frame).subspan(kVbriOffset);
    std::memcpy(v.data(), "VBRI", 4);
    StoreBe16(v.subspan(4), 1);       // version
    StoreBe16(v.subspan(6), 0x1234);  // delay
    StoreBe16(v.subspan(8), 75);      // quality
    StoreBe32(v.subspan(10), 987654);
    StoreBe32(v.subspan(14), 4321);
    StoreBe16(v.subspan(18), entries);
    StoreBe16(v.subspan(20), 1);  // scale
    StoreBe16(v.subspan(22), 2);  // entry size
    StoreBe16(v.subspan(24), 8);  // frames per entry
    for (size_t i = 0; i < 3; ++i) {
        StoreBe16(v.subspan(26 + 2 * i), static_cast<uint16_t>(100 + i));
    }
    return frame;
}

TEST(VbriHeader, ReadsItsFieldsAndATableThatFits) {
    std::vector<uint8_t> bytes = VbriFrame(3);
    Append(bytes, MakeFrames({}, 30));
    ScanRecord r = ScanBytes(bytes);
    ASSERT_EQ(r.has_vbri, 1);
    const auto& v = r.vbri;
    EXPECT_EQ(v.version, 1);
    EXPECT_EQ(v.delay, 0x1234);
    EXPECT_EQ(v.quality, 75);
    EXPECT_EQ(v.bytes, 987654u);
    EXPECT_EQ(v.frames, 4321u);
    EXPECT_EQ(v.frames_per_entry, 8);
    EXPECT_EQ(v.table[0], 100);
    EXPECT_EQ(v.table[2], 102);
    EXPECT_EQ(v.table[3], 0);  // past the three entries

    // Entry counts of 0 and of more than the record holds leave the table empty.
    for (uint16_t entries : {uint16_t{0}, uint16_t{600}}) {
        bytes = VbriFrame(entries);
        Append(bytes, MakeFrames({}, 30));
        r = ScanBytes(bytes);
        EXPECT_EQ(r.has_vbri, 1);
        EXPECT_EQ(r.vbri.table_entries, entries);
        EXPECT_EQ(r.vbri.table[0], 0);
    }
}

// Codes without a name, the numbers' special values and the flag bits in
// their order.
TEST(LameTag, TextsNameUnknownCodesSpecialValuesAndFlags) {
    ScanRecord r = ZeroRecord();
    r.xing.vbr_method = 6;
    r.xing.stereo_mode = 7;
    r.xing.abr_bitrate = 255;
    r.xing.source_frequency = 3;
    r.xing.encoding_flags = 0x5;
    const LameTagTextSet t = LameTagTexts(r);
    EXPECT_EQ(t.vbr_method, "Unknown");
    EXPECT_EQ(t.stereo_mode, "Unknown");
    EXPECT_EQ(t.lowpass, "Unknown");  // 0
    EXPECT_EQ(t.abr_bitrate, "255 or more");
    EXPECT_EQ(t.source_frequency, "more than 48kHz");
    EXPECT_EQ(t.psycho_acoustic_model, "nspsytune");  // bit 0
    EXPECT_EQ(t.safe_joint_stereo, "no");             // bit 1
    EXPECT_EQ(t.nogap_continued, "yes");              // bit 2
    r.xing.abr_bitrate = 0;
    EXPECT_EQ(LameTagTexts(r).abr_bitrate, "Unknown");
}

class CountingProgress : public sink_mini {
public:
    bool Progress(int64_t done, int64_t total) override {
        calls.emplace_back(done, total);
        return true;
    }
    std::vector<std::pair<int64_t, int64_t>> calls;
};

TEST(MusicCrc, IsRightForAnUntouchedFileAndWrongAfterOneChangedByte) {
    test::TempDir dir;
    std::vector<uint8_t> bytes = test::ReadFile(test::FixturePath("lame_tags_v1v2.mp3"));
    test::WriteFile(dir.File("a.mp3"), bytes);
    bytes[bytes.size() / 2] ^= 0x40;
    test::WriteFile(dir.File("b.mp3"), bytes);

    for (const char* name : {"a.mp3", "b.mp3"}) {
        CVandrelMp3File file;
        ASSERT_TRUE(file.Open(dir.File(name), "rb"));
        ScanRecord r = ZeroRecord();
        file.Scan(r, {.walk_frames = false, .cache = CacheLookup::kSkip});
        CountingProgress progress;
        const uint16_t crc = file.ComputeMusicCrc(r, &progress);
        EXPECT_EQ(r.xing.music_crc_computed, 1);
        EXPECT_EQ(r.xing.header_frame_length, 432);
        const bool untouched = std::string(name) == "a.mp3";
        EXPECT_EQ(r.xing.music_crc_ok, untouched ? 1 : 0) << name;
        EXPECT_EQ(crc == r.xing.music_crc, untouched);
        // Everything from the second frame up to the ID3v1 tag, in one chunk.
        const int64_t total = static_cast<int64_t>(bytes.size()) - 314 - 432 - 128;
        ASSERT_EQ(progress.calls.size(), 1u);
        EXPECT_EQ(progress.calls[0].first, total);
        EXPECT_EQ(progress.calls[0].second, total);
    }
}

TEST(MusicCrc, IsNotComputedWithoutTwoValidFrames) {
    test::TempDir dir;
    std::vector<uint8_t> bytes = MakeXingFrame({}, XingFields{});
    bytes.resize(bytes.size() + 500, 0);
    test::WriteFile(dir.File("c.mp3"), bytes);
    CVandrelMp3File file;
    ASSERT_TRUE(file.Open(dir.File("c.mp3"), "rb"));
    ScanRecord r = ZeroRecord();
    EXPECT_EQ(file.ComputeMusicCrc(r, nullptr), 0);
    EXPECT_EQ(r.xing.music_crc_computed, 0);
}

}  // namespace
}  // namespace vandrel
