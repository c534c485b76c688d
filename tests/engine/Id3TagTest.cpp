#include "engine/tags/Id3Tag.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/core/ScanError.h"
#include "engine/io/ByteOrder.h"
#include "engine/media/VandrelMp3File.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using test::Append;
using test::MakeFrames;
using test::TempDir;
using namespace std::literals;

std::string Field(const ScanRecord& r, Id3v1Field field) {
    return Id3v1FieldText(std::span<const uint8_t, kId3v1Size>(r.id3v1.image), field);
}

ScanRecord ScanFile(const std::string& path) {
    CVandrelMp3File file;
    EXPECT_TRUE(file.Open(path, "rb")) << path;
    ScanRecord r = ZeroRecord();
    file.Scan(r, {.cache = CacheLookup::kSkip});
    return r;
}

// An ID3v2 header: "ID3", version 4.0, flags, syncsafe size.
std::vector<uint8_t> Id3v2Header(uint32_t size, uint8_t flags = 0) {
    std::vector<uint8_t> h = {'I', 'D', '3', 4, 0, flags, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        h[static_cast<size_t>(9 - i)] = static_cast<uint8_t>((size >> (7 * i)) & 0x7F);
    }
    return h;
}

std::vector<uint8_t> Id3v2Frame(const char* id, std::string_view data) {
    std::vector<uint8_t> f(10 + data.size(), 0);
    std::memcpy(f.data(), id, 4);
    StoreBe32(std::span(f).subspan(4), static_cast<uint32_t>(data.size()));
    std::memcpy(f.data() + 10, data.data(), data.size());
    return f;
}

TEST(Id3v1, ReadsTagsWrittenByOtherTools) {
    // lame --tt/--ta/--tl/--ty/--tc/--tn/--tg
    ScanRecord r = ScanFile(test::FixturePath("lame_tags_v1v2.mp3"));
    EXPECT_EQ(r.id3v1_present, 1);
    EXPECT_EQ(Field(r, kId3v1Title), "Plucked Strings");
    EXPECT_EQ(Field(r, kId3v1Artist), "Vandrel Fixtures");
    EXPECT_EQ(Field(r, kId3v1Album), "Test Album");
    EXPECT_EQ(Field(r, kId3v1Year), "2024");
    EXPECT_EQ(Field(r, kId3v1Comment), "made by make_fixtures");
    EXPECT_EQ(r.id3v1.track, 7);
    EXPECT_EQ(GenreName(r.id3v1.image[kId3v1GenreByte]), "Jazz");

    // ffmpeg -write_id3v1, behind an ID3v2.4 tag
    r = ScanFile(test::FixturePath("ffmpeg_lame_cbr112_id3.mp3"));
    EXPECT_EQ(Field(r, kId3v1Title), "ffmpeg title");
    EXPECT_EQ(r.id3v2_present, 1);
    EXPECT_EQ(r.id3v2_size, 94);
}

TEST(Id3v1, TakesAnyByteAt126ButBlankOrZeroAsTheTrack) {
    TempDir dir;
    std::vector<uint8_t> bytes = MakeFrames({}, 30);
    std::vector<uint8_t> tag = test::MakeId3v1("A comment of thirty characters");
    std::memset(tag.data() + 97, 'x', 30);  // an ID3v1.0 comment filling its field
    Append(bytes, tag);
    test::WriteFile(dir.File("letter.mp3"), bytes);
    EXPECT_EQ(ScanFile(dir.File("letter.mp3")).id3v1.track, 'x');

    bytes.resize(bytes.size() - 128);
    tag[126] = ' ';
    Append(bytes, tag);
    test::WriteFile(dir.File("blank.mp3"), bytes);
    EXPECT_EQ(ScanFile(dir.File("blank.mp3")).id3v1.track, 0);

    // Without a tag: genre 255, no track, nothing present.
    test::WriteFile(dir.File("none.mp3"), MakeFrames({}, 30));
    const ScanRecord r = ScanFile(dir.File("none.mp3"));
    EXPECT_EQ(r.id3v1_present, 0);
    EXPECT_EQ(r.id3v1.image[kId3v1GenreByte], 255);
}

TEST(Id3v1, FieldTextDropsTrailingBlanksAndEndsAtAZero) {
    const std::string song = "Song" + std::string(26, ' ');
    auto text = [](std::string_view s) {
        return Id3v1FieldText({reinterpret_cast<const uint8_t*>(s.data()), s.size()}, 30);
    };
    EXPECT_EQ(text(song), "Song");
    EXPECT_EQ(text(std::string(30, '\0')), "");
    EXPECT_EQ(text(std::string("ab\0cd", 5) + std::string(25, ' ')), "ab");
    EXPECT_EQ(text(" lead"), " lead");
}

TEST(Id3v1, NamesGenresUpToTheLastKnownOne) {
    EXPECT_EQ(GenreName(147), "Synthpop");
    EXPECT_EQ(GenreName(148), "Unknown");
    EXPECT_EQ(GenreName(-1), "Unknown");
}

TEST(Id3v1, WritesAppendsThenReplacesInPlace) {
    TempDir dir;
    const std::string path = dir.File("w.mp3");
    const std::vector<uint8_t> audio = MakeFrames({}, 30);
    test::WriteFile(path, audio);

    Id3v1Tag tag{};
    std::memcpy(tag.image, "TAGNew Title", 12);
    tag.image[kId3v1GenreByte] = 13;
    tag.track = 9;
    CVandrelMp3File file;
    ASSERT_TRUE(file.Open(path, "r+b"));
    ASSERT_TRUE(file.WriteId3v1(tag));
    EXPECT_EQ(file.GetFileSize(), audio.size() + 128);

    std::memcpy(tag.image + 3, "Second Title", 12);
    ASSERT_TRUE(file.WriteId3v1(tag));
    file.Close();
    const std::vector<uint8_t> bytes = test::ReadFile(path);
    ASSERT_EQ(bytes.size(), audio.size() + 128);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), bytes.begin()));  // audio untouched

    const ScanRecord r = ScanFile(path);
    EXPECT_EQ(Field(r, kId3v1Title), "Second Title");
    EXPECT_EQ(r.id3v1.track, 9);
    EXPECT_EQ(r.id3v1.image[kId3v1GenreByte], 13);

    // A file opened for reading only cannot take a tag, and says so.
    ASSERT_TRUE(file.Open(path, "rb"));
    EXPECT_FALSE(file.WriteId3v1(tag));
}

TEST(Id3v2, SkipsTheTagByItsSizeWithOrWithoutFooter) {
    TempDir dir;
    std::vector<uint8_t> bytes = Id3v2Header(1000);
    bytes.resize(10 + 1000, 0);
    Append(bytes, MakeFrames({}, 30));
    test::WriteFile(dir.File("plain.mp3"), bytes);
    ScanRecord r = ScanFile(dir.File("plain.mp3"));
    EXPECT_EQ(r.id3v2_present, 1);
    EXPECT_EQ(r.id3v2_size, 1010);
    EXPECT_EQ(r.first_frame_offset, 1010);

    bytes[5] = 0x10;  // footer flag: ten more bytes recorded
    test::WriteFile(dir.File("footer.mp3"), bytes);
    r = ScanFile(dir.File("footer.mp3"));
    EXPECT_EQ(r.id3v2_size, 1020);
    EXPECT_EQ(r.first_frame_offset, 1010);
}

TEST(Id3v2, SkipsATagLargerThanTheReaderHolds) {
    TempDir dir;
    std::vector<uint8_t> bytes = Id3v2Header(700'000);
    Append(bytes, Id3v2Frame("TIT2", "ignored"));
    bytes.resize(10 + 700'000, 0xFF);  // 0xFF bytes would confuse a search
    Append(bytes, MakeFrames({}, 60));
    test::WriteFile(dir.File("big.mp3"), bytes);
    CVandrelMp3File file;
    ASSERT_TRUE(file.Open(dir.File("big.mp3"), "rb"));
    EXPECT_TRUE(file.Tags().present());
    EXPECT_EQ(file.Tags().size(), 0);
    EXPECT_TRUE(file.Tags().frames().empty());
    ScanRecord r = ZeroRecord();
    ASSERT_EQ(file.Scan(r, {.cache = CacheLookup::kSkip}), 1);
    EXPECT_EQ(r.first_frame_offset, 700'010);
    EXPECT_EQ(r.frames, 60);
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
    EXPECT_EQ(reader.version(), 4);

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
    EXPECT_TRUE(reader.has_extended_header());

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
    TempDir dir;
    std::vector<uint8_t> bytes = tag;
    Append(bytes, MakeFrames({}, 30));
    test::WriteFile(dir.File("cue.mp3"), bytes);
    EXPECT_EQ(ScanFile(dir.File("cue.mp3")).has_cue_sheet, 1);
}

}  // namespace
}  // namespace vandrel
