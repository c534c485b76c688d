#include <gtest/gtest.h>

#include <cstring>

#include "engine/io/ByteOrder.h"
#include "engine/media/VandrelMp3File.h"
#include "engine/tags/Id3Tag.h"
#include "engine/tags/VbrHeaders.h"
#include "engine/verdicts/AttributeTexts.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using namespace test;
using namespace std::literals;

std::string Field(const ScanRecord& r, Id3v1Field field) {
    return Id3v1FieldText(std::span<const uint8_t, kId3v1Size>(r.id3v1.image), field);
}

// An ID3v2 header: "ID3", version 4.0, flags, syncsafe size.
std::vector<uint8_t> Id3v2Frame(const char* id, std::string_view data) {
    std::vector<uint8_t> f(10 + data.size(), 0);
    std::memcpy(f.data(), id, 4);
    StoreBe32(std::span(f).subspan(4), static_cast<uint32_t>(data.size()));
    std::memcpy(f.data() + 10, data.data(), data.size());
    return f;
}

// A file whose first frame carries the given Xing header, then `frames` more.
std::vector<uint8_t> XingFile(const XingFields& xing, int frames = 40, HeaderFields header = {}) {
    std::vector<uint8_t> bytes = MakeXingFrame(header, xing);
    Append(bytes, MakeFrames(header, frames));
    return bytes;
}

TEST(LameTag, DecodesWhatLameWrote) {
    // Fields cross-checked with an independent reader of LAME tags.
    ScanRecord r = ScanMemory(ReadFile(FixturePath("lame_vbr_v2.mp3")));
    ASSERT_EQ(r.has_xing, 1);
    EXPECT_EQ(LameVersion(r), "LAME3.100");
    const VbrHeaderBlock& x = r.xing;
    EXPECT_EQ(x.flags, 15u);
    EXPECT_EQ(x.frames, 116u);
    EXPECT_EQ(x.bytes, 58738u);
    EXPECT_EQ(x.vbr_scale, 80);
    EXPECT_EQ(x.has_lame_tag, 1);
    EXPECT_EQ(LoadBe24(x.delay_padding), 0x2402F4u);  // delay 576, padding 756 samples
    EXPECT_EQ(x.music_crc, 0x0489);
    EXPECT_EQ(x.tag_crc, 0x2CB7);

    // ffmpeg's encoder puts its own name where lame puts its version; with
    // a right tag CRC the tag counts, and lame inside ffmpeg is the encoder.
    r = ScanMemory(ReadFile(FixturePath("ffmpeg_lame_cbr112_id3.mp3")));
    EXPECT_EQ(r.xing.has_lame_tag, 1);
    EXPECT_EQ(LameVersion(r), "Lavc59.37");
    EXPECT_EQ(EncoderText(r), "Lame (Lavc59.37)");
    // Its VBR files carry a tag CRC that does not match: no tag, and only
    // the first four bytes of the name are kept, as of any other header.
    r = ScanMemory(ReadFile(FixturePath("ffmpeg_lame_vbr_q4.mp3")));
    EXPECT_EQ(r.xing.has_lame_tag, 0);
    EXPECT_EQ(LameVersion(r), "Lavc");
    // "Lavc" names no encoder, so lame's own signature in the frames does.
    EXPECT_EQ(EncoderText(r), "Lame 3.100");
}

TEST(LameTag, ReadsReplayGainAndPeak) {
    ScanRecord r = ScanMemory(ReadFile(FixturePath("lame_vbr_v4_replaygain.mp3")));
    const ReplayGainTextSet texts = ReplayGainTexts(r);
    EXPECT_EQ(texts.peak, "0.335685");
    EXPECT_EQ(texts.radio_name, "Radio");
    EXPECT_EQ(texts.radio_originator, "automatic");
    EXPECT_EQ(texts.radio_adjustment, "4.4");
    EXPECT_EQ(texts.audiophile_name, "not set");

    // A set sign bit makes the adjustment negative; a zero peak is not set.
    XingFields xing{.frames = 40};
    xing.lame_bytes[17] = 0x2E;  // audiophile: name 1, originator 3, sign, 5.3 dB
    xing.lame_bytes[18] = 0x35;
    r = ScanMemory(XingFile(xing));
    EXPECT_EQ(r.xing.audiophile_gain_adjustment, -53);
    EXPECT_EQ(ReplayGainTexts(r).peak, "not set");
}

TEST(XingHeader, SitsWhereTheSideInformationEnds) {
    XingFields xing{.frames = 30};
    const HeaderFields mono{.mode = 3};
    // MPEG-1 mono: at 21.
    ScanRecord r = ScanMemory(XingFile(xing, 30, mono));
    EXPECT_EQ(r.has_xing, 1);
    // A header at 36 in a mono frame is not where it belongs.
    xing.offset = 36;
    r = ScanMemory(XingFile(xing, 30, mono));
    EXPECT_EQ(r.has_xing, 0);

    // Two bytes later in a frame with CRC protection, and only there.
    xing.offset = 38;
    EXPECT_EQ(ScanMemory(XingFile(xing, 30, {.crc = true})).has_xing, 1);
    EXPECT_EQ(ScanMemory(XingFile(xing, 30)).has_xing, 0);
}

TEST(XingHeader, ReadsOnlyTheFieldsItsFlagsAnnounce) {
    // Bytes only.
    const ScanRecord r = ScanMemory(XingFile({.flags = 0x2, .bytes = 12345, .lame = false}));
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
    const ScanRecord r = ScanMemory(bytes);
    EXPECT_EQ(r.has_xing, 0);
    EXPECT_EQ(r.has_vbri, 0);
}

std::vector<uint8_t> VbriFrame(uint16_t entries) {
    std::vector<uint8_t> frame = MakeFrame({.bitrate_index = 14});  // room for a long table
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
    ScanRecord r = ScanMemory(bytes);
    ASSERT_EQ(r.has_vbri, 1);
    const auto& v = r.vbri;
    EXPECT_EQ(v.delay, 0x1234);
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
        r = ScanMemory(bytes);
        EXPECT_EQ(r.has_vbri, 1) << entries;
        EXPECT_EQ(r.vbri.table[0], 0) << entries;
    }
}

struct CountingProgress : sink_mini {
    bool Progress(int64_t done, int64_t total) override {
        calls.emplace_back(done, total);
        return true;
    }
    std::vector<std::pair<int64_t, int64_t>> calls;
};

TEST(MusicCrc, IsRightForAnUntouchedFileWrongAfterOneChangedByteAndNeedsTwoFrames) {
    std::vector<uint8_t> bytes = ReadFile(FixturePath("lame_tags_v1v2.mp3"));
    // Everything from the second frame up to the ID3v1 tag, in one chunk.
    const int64_t total = static_cast<int64_t>(bytes.size()) - 314 - 432 - 128;
    for (const uint8_t flip : {uint8_t{0}, uint8_t{0x40}}) {  // untouched, then one byte changed
        SCOPED_TRACE(flip);
        bytes[bytes.size() / 2] ^= flip;
        CVandrelMp3File file;
        file.OpenMemory("memory.mp3", bytes);
        ScanRecord r = ZeroRecord();
        file.Scan(r, {.walk_frames = false, .cache = CacheLookup::kSkip});
        CountingProgress progress;
        const uint16_t crc = file.ComputeMusicCrc(r, &progress);
        EXPECT_EQ(r.xing.music_crc_computed, 1);
        EXPECT_EQ(r.xing.header_frame_length, 432);
        EXPECT_EQ(r.xing.music_crc_ok, flip == 0 ? 1 : 0);
        EXPECT_EQ(crc == r.xing.music_crc, flip == 0);
        ASSERT_EQ(progress.calls.size(), 1u);
        EXPECT_EQ(progress.calls[0].first, total);
        EXPECT_EQ(progress.calls[0].second, total);
    }

    // Without two valid frames nothing is computed.
    bytes = MakeXingFrame({}, XingFields{});
    bytes.resize(bytes.size() + 500, 0);
    CVandrelMp3File file;
    file.OpenMemory("memory.mp3", bytes);
    ScanRecord r = ZeroRecord();
    EXPECT_EQ(file.ComputeMusicCrc(r, nullptr), 0);
    EXPECT_EQ(r.xing.music_crc_computed, 0);
}

TEST(MusicCrc, EndsWhereTheMusicLengthSaysOrSaysWhyItCannot) {
    // An ID3v2.4 tag, an APE tag, Lyrics3 and ID3v1 after the music: none of
    // them is music.
    const std::vector<uint8_t> tagged = ReadFile(FixturePath("mutagen_trailing_tags.mp3"));
    auto check = [](const std::vector<uint8_t>& bytes, uint32_t music_length) {
        CVandrelMp3File file;
        file.OpenMemory("memory.mp3", bytes);
        ScanRecord r = ZeroRecord();
        file.Scan(r, {.walk_frames = false, .cache = CacheLookup::kSkip});
        if (music_length != 0xFFFFFFFF) {
            r.xing.music_length = music_length;
        }
        file.ComputeMusicCrc(r, nullptr);
        return r;
    };
    ScanRecord r = check(tagged, 0xFFFFFFFF);
    EXPECT_EQ(r.xing.music_length, 17135u);
    EXPECT_EQ(r.xing.music_crc_computed, kMusicCrcOverMusicLength);
    EXPECT_EQ(r.xing.music_crc_ok, 1);

    // No music length, or one that ends inside the tag's own frame: the rest
    // of the file but the ID3v1 tag, tags and all.
    for (const uint32_t length : {0u, 417u}) {
        r = check(tagged, length);
        EXPECT_EQ(r.xing.music_crc_computed, kMusicCrcWithoutMusicLength) << length;
        EXPECT_EQ(r.xing.music_crc_ok, 0) << length;
    }
    // A download cut short: the music length runs past the end.
    const std::vector<uint8_t> cut(tagged.begin(), tagged.begin() + 12000);
    r = check(cut, 0xFFFFFFFF);
    EXPECT_EQ(r.xing.music_crc_computed, kMusicCrcMusicLengthPastEnd);
    EXPECT_EQ(r.xing.music_crc_ok, 0);
}

TEST(Id3v1, ReadsTagsWrittenByOtherTools) {
    // lame --tt/--ta/--tl/--ty/--tc/--tn/--tg
    ScanRecord r = ScanMemory(ReadFile(FixturePath("lame_tags_v1v2.mp3")));
    // Title, comment, track and genre: the CLI's JSON and --all-columns tests.
    EXPECT_EQ(r.id3v1_present, 1);
    EXPECT_EQ(Field(r, kId3v1Artist), "Vandrel Fixtures");
    EXPECT_EQ(Field(r, kId3v1Album), "Test Album");
    EXPECT_EQ(Field(r, kId3v1Year), "2024");

    // ffmpeg -write_id3v1, behind an ID3v2.4 tag
    r = ScanMemory(ReadFile(FixturePath("ffmpeg_lame_cbr112_id3.mp3")));
    EXPECT_EQ(Field(r, kId3v1Title), "ffmpeg title");
    EXPECT_EQ(r.id3v2_present, 1);
    EXPECT_EQ(r.id3v2_size, 94);
}

TEST(Id3v1, HasATrackOnlyAfterAZeroByteAt125) {
    // lame's ID3v1.0 tag: the comment fills all 30 bytes.
    ScanRecord r = ScanMemory(ReadFile(FixturePath("lame_id3v10_comment30.mp3")));
    EXPECT_EQ(r.id3v1.track, 0);
    AttributeTexts texts;
    BuildAttributeTexts(texts, r, false);
    EXPECT_EQ(texts[kSlotComment], "A comment of thirty characters");

    // ID3v1.1: a zero byte, then the track; a zero track is none.
    std::vector<uint8_t> bytes = MakeFrames({}, 30);
    Append(bytes, MakeId3v1("Title"));
    bytes[bytes.size() - 3] = 0;
    bytes[bytes.size() - 2] = 7;
    EXPECT_EQ(ScanMemory(bytes).id3v1.track, 7);
    bytes[bytes.size() - 2] = 0;
    EXPECT_EQ(ScanMemory(bytes).id3v1.track, 0);

    // Without a tag: genre 255, no track, nothing present.
    r = ScanMemory(MakeFrames({}, 30));
    EXPECT_EQ(r.id3v1_present, 0);
    EXPECT_EQ(r.id3v1.image[kId3v1GenreByte], 255);
}

TEST(Id3v1, IsOnlyATagThatEndsTheFileAfterEveryOtherTag) {
    // An APE tag at the end whose item text puts "TAG" 128 bytes before the
    // end: no ID3v1 tag, and the audio ends where the APE tag starts.
    const std::vector<uint8_t> ape = MakeApeTag("Comment", "TAGGED " + std::string(89, 'x'));
    std::vector<uint8_t> bytes = MakeFrames({}, 30);
    Append(bytes, ape);
    ASSERT_EQ(std::memcmp(bytes.data() + bytes.size() - 128, "TAG", 3), 0) << "TAG in the APE tag";
    ScanRecord r = ScanMemory(bytes);
    EXPECT_EQ(r.id3v1_present, 0) << "id3v1_present with APE bytes at the end";
    EXPECT_EQ(r.non_audio_bytes, ape.size()) << "non_audio_bytes: the whole APE tag";

    // A real ID3v1 tag after it is the file's tag.
    Append(bytes, MakeId3v1("After APE"));
    r = ScanMemory(bytes);
    EXPECT_EQ(Field(r, kId3v1Title), "After APE") << "title of the ID3v1 tag after APE";
    EXPECT_EQ(r.non_audio_bytes, ape.size() + 128) << "non_audio_bytes: APE and ID3v1";
}

TEST(Id3v1, ShowsFieldsWithoutTrailingBlanksUpToAZeroAndGenresUpToTheLastKnownOne) {
    const std::string song = "Song" + std::string(26, ' ');
    auto text = [](std::string_view s) {
        return Id3v1FieldText({reinterpret_cast<const uint8_t*>(s.data()), s.size()}, 30);
    };
    EXPECT_EQ(text(song), "Song");
    EXPECT_EQ(text(std::string("ab\0cd", 5) + std::string(25, ' ')), "ab");
    EXPECT_EQ(text(" lead"), " lead");
    EXPECT_EQ(GenreName(148), "Unknown");
    EXPECT_EQ(GenreName(-1), "Unknown");
}

// Without a footer the size is the audio offset: see the ffmpeg file above.
TEST(Id3v2, CountsTheFooterInTheSizeButNotInTheAudioOffset) {
    std::vector<uint8_t> bytes = Id3v2Header(1000, 0x10);
    bytes.resize(10 + 1000, 0);
    Append(bytes, MakeFrames({}, 30));
    const ScanRecord r = ScanMemory(bytes);
    EXPECT_EQ(r.id3v2_size, 1020);
    EXPECT_EQ(r.first_frame_offset, 1010);
}

TEST(Id3v2, SkipsATagLargerThanTheReaderHolds) {
    TempDir dir;
    std::vector<uint8_t> bytes = Id3v2Header(700'000);
    Append(bytes, Id3v2Frame("TIT2", "ignored"));
    bytes.resize(10 + 700'000, 0xFF);  // 0xFF bytes would confuse a search
    Append(bytes, MakeFrames({}, 60));
    WriteFile(dir.File("big.mp3"), bytes);
    CVandrelMp3File file;
    ASSERT_TRUE(file.Open(dir.File("big.mp3"), "rb"));
    EXPECT_TRUE(file.Tags().present());
    EXPECT_EQ(file.Tags().size(), 0);
    EXPECT_TRUE(file.Tags().frames().empty());
}

TEST(Id3v2, ReadsFramesUntilPaddingOrAnImpossibleSize) {
    std::vector<uint8_t> tag = Id3v2Header(200);
    Append(tag, Id3v2Frame("TIT2", "\x03Title"));
    Append(tag, Id3v2Frame("TPE1", "\x03"
                                   "Artist"));
    tag.resize(10 + 200, 0);  // padding
    CID3Tag reader;
    ASSERT_TRUE(reader.ReadTags("t", tag));
    ASSERT_EQ(reader.frames().size(), 2u);
    EXPECT_STREQ(reader.frames()[1].id, "TPE1");
    EXPECT_EQ(reader.frames()[1].data.size(), 7u);

    // A frame claiming more than the tag holds ends the list.
    std::vector<uint8_t> broken = Id3v2Header(200);
    Append(broken, Id3v2Frame("TIT2", "ok"));
    Append(broken, Id3v2Frame("TALB", "x"));
    StoreBe32(std::span(broken).subspan(10 + 12 + 4), 5000);
    broken.resize(10 + 200, 0);
    ASSERT_TRUE(reader.ReadTags("t", broken));
    EXPECT_EQ(reader.frames().size(), 1u);

    // A frame running past the bytes read is dropped.
    std::vector<uint8_t> cut = Id3v2Header(100);
    Append(cut, Id3v2Frame("TIT2", std::string(50, 'a')));
    cut.resize(40);
    ASSERT_TRUE(reader.ReadTags("t", cut));
    EXPECT_TRUE(reader.frames().empty());

    // Frames start after an extended header of E bytes and its size field.
    std::vector<uint8_t> extended = Id3v2Header(100, 0x40);
    Append(extended, {0, 0, 0, 6, 1, 2, 3, 4, 5, 6});
    Append(extended, Id3v2Frame("TIT2", "x"));
    extended.resize(110, 0);
    ASSERT_TRUE(reader.ReadTags("t", extended));
    ASSERT_EQ(reader.frames().size(), 1u);
    EXPECT_STREQ(reader.frames()[0].id, "TIT2");

    EXPECT_FALSE(reader.ReadTags("t", std::vector<uint8_t>{'I', 'D'}));
    EXPECT_FALSE(reader.present());
}

TEST(Id3v2, FindsACueSheetOnlyInTheFirstGeobFrame) {
    CID3Tag reader;
    std::vector<uint8_t> tag = Id3v2Header(300);
    Append(tag, Id3v2Frame("TIT2", "x"));
    Append(tag, Id3v2Frame("GEOB", "\x00text/plain\x00x.cue\x00"
                                   "CUESHEET\x00"sv));
    Append(tag, Id3v2Frame("GEOB", "other"));
    tag.resize(310, 0);
    ASSERT_TRUE(reader.ReadTags("t", tag));
    std::string id;
    EXPECT_EQ(reader.FindCueSheet(&id), 1);
    EXPECT_EQ(id, "GEOB");

    std::vector<uint8_t> later = Id3v2Header(300);
    Append(later, Id3v2Frame("GEOB", "no sheet here"));
    Append(later, Id3v2Frame("GEOB", "CUESHEET"));
    later.resize(310, 0);
    ASSERT_TRUE(reader.ReadTags("t", later));
    EXPECT_EQ(reader.FindCueSheet(), -1);

    // The scanner records it.
    Append(tag, MakeFrames({}, 30));
    EXPECT_EQ(ScanMemory(tag).has_cue_sheet, 1);
}

}  // namespace
}  // namespace vandrel
