#include "tools/TagEditing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/MpegBuilder.h"
#include "support/SmallFileSystem.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, size_t size) {
    return {bytes.begin(),
            bytes.begin() + static_cast<std::ptrdiff_t>(std::min(size, bytes.size()))};
}

Id3v1Fields Album(std::string title, int track) {
    Id3v1Fields fields;
    fields.title = std::move(title);
    fields.artist = "Same Artist";
    fields.album = "Same Album";
    fields.year = 1999;
    fields.genre = 8;
    fields.track = track;
    return fields;
}

TEST(TagEditing, MultipleEditWritesOnlyWhatTheUserChanged) {
    const std::vector<Id3v1Fields> files = {Album("One", 1), Album("Two", 2), Album("Three", 3)};
    const CommonFields common = FindCommonFields(files);
    EXPECT_TRUE(common.common[size_t(Id3v1Part::kArtist)]) << "artists agree";
    EXPECT_TRUE(common.common[size_t(Id3v1Part::kYear)]) << "years agree";
    EXPECT_FALSE(common.common[size_t(Id3v1Part::kTrack)]) << "tracks differ";
    EXPECT_EQ(common.values.track, 0) << "a differing track is filled in empty";
    EXPECT_EQ(common.values.album, "Same Album") << "the common album is filled in";
    EXPECT_EQ(common.values.genre, 8) << "the common genre is filled in";

    // The user renames the album and leaves the empty title and track alone.
    Id3v1Fields edited = common.values;
    edited.album = "Renamed";
    const Id3v1PartSet changed = ChangedFields(common.values, edited);
    EXPECT_EQ(std::count(changed.begin(), changed.end(), true), 1) << "only the album changed";
    for (const Id3v1Fields& file : files) {
        const Id3v1Fields merged = MergeFields(file, edited, changed);
        EXPECT_EQ(merged.track, file.track) << "own track kept in " << file.title;
        EXPECT_EQ(merged.year, 1999) << "year untouched in " << file.title;
    }

    // Clearing a common value is a change too: the year goes from every file.
    edited.year = -1;
    EXPECT_TRUE(ChangedFields(common.values, edited)[size_t(Id3v1Part::kYear)])
        << "a cleared common year counts as changed";
}

TEST(TagEditing, ValuesTheTagCannotHoldAreRefusedWithTheReason) {
    Id3v1Fields fields;
    fields.comment = std::string(30, 'c');
    EXPECT_FALSE(CheckId3v1Fields(fields)) << "30 comment bytes without a track fit";
    fields.track = 7;
    const auto long_comment = CheckId3v1Fields(fields);
    ASSERT_TRUE(long_comment) << "30 comment bytes with a track do not fit";
    EXPECT_NE(long_comment->find("Comment"), std::string::npos) << "message names the comment";
    fields.comment.resize(kCommentBytesWithTrack);

    // Latin-1 letters take one byte each; letters outside it cannot be stored.
    fields.title = "";
    for (int i = 0; i < 30; ++i) {
        fields.title += "\xC3\xA9";  // é
    }
    EXPECT_FALSE(CheckId3v1Fields(fields)) << "thirty accented letters fit thirty bytes";
    fields.title = "Why?";
    EXPECT_FALSE(CheckId3v1Fields(fields)) << "a question mark of its own is storable";

    fields.track = 255;
    EXPECT_FALSE(CheckId3v1Fields(fields)) << "track 255 fits its byte";
    fields.year = -5;
    EXPECT_TRUE(CheckId3v1Fields(fields)) << "year -5 refused";
    fields.year = 12345;
    EXPECT_TRUE(CheckId3v1Fields(fields)) << "a five-digit year refused";
    fields.year = -1;
    EXPECT_FALSE(CheckId3v1Fields(fields)) << "no year is fine";
}

TEST(TagEditing, WritingReplacesTheTagWhereItIsAndNeverTouchesAudio) {
    test::TempDir dir;
    Id3v1Fields fields = Album("New Title", 12);
    fields.comment = std::string(kCommentBytesWithTrack, 'x');

    // No tag yet: appended after the audio.
    const std::string bare = dir.File("bare.mp3");
    const std::vector<uint8_t> audio = test::ReadFile(test::FixturePath("lame_notag_cbr128.mp3"));
    test::WriteFile(bare, audio);
    ASSERT_TRUE(WriteId3v1File(bare, fields).ok) << "append to an untagged file";
    std::vector<uint8_t> now = test::ReadFile(bare);
    EXPECT_EQ(now.size(), audio.size() + kId3v1Size) << "size after appending";
    EXPECT_EQ(Prefix(now, audio.size()), audio) << "audio of the untagged file";
    const Id3v1Fields read = FieldsOfRecord(test::ScanFile(bare));
    EXPECT_EQ(read.title, "New Title") << "title read back";
    EXPECT_EQ(read.comment, fields.comment) << "all 28 comment bytes read back";
    EXPECT_EQ(read.track, 12) << "track read back";
    EXPECT_EQ(read.year, 1999) << "year read back";
    fields.track = 200;
    const TagWriteResult high = WriteId3v1File(bare, fields);
    EXPECT_EQ(high.id3v1_present, 1) << "the written tag ends the file";
    EXPECT_EQ(FieldsOfRecord(test::ScanFile(bare)).track, 200) << "a track above 127 read back";

    // A tag already there: overwritten in place.
    const std::string tagged = dir.File("tagged.mp3");
    const std::vector<uint8_t> before = test::ReadFile(test::FixturePath("lame_tags_v1only.mp3"));
    test::WriteFile(tagged, before);
    ASSERT_TRUE(WriteId3v1File(tagged, fields).ok) << "write over a tag";
    now = test::ReadFile(tagged);
    EXPECT_EQ(now.size(), before.size()) << "size after replacing";
    EXPECT_EQ(Prefix(now, before.size() - kId3v1Size), Prefix(before, before.size() - kId3v1Size))
        << "audio of the tagged file";

    // A tagger's APE tag after the ID3v1 tag, its item text reading "TAG"
    // 128 bytes before the end: the file ends in no ID3v1 tag, so the new one
    // goes after the APE tag, which stays as it was.
    const std::string stacked = dir.File("stacked.mp3");
    std::vector<uint8_t> with_ape = before;
    test::Append(with_ape, test::MakeApeTag("Comment", "TAGGED " + std::string(89, 'x')));
    test::WriteFile(stacked, with_ape);
    EXPECT_EQ(FieldsOfRecord(test::ScanFile(stacked)).title, "") << "no title from APE bytes";
    const TagWriteResult after_ape = WriteId3v1File(stacked, fields);
    ASSERT_TRUE(after_ape.ok) << "write after an APE tag";
    EXPECT_EQ(after_ape.id3v1_present, 1) << "the written tag ends the file";
    now = test::ReadFile(stacked);
    EXPECT_EQ(Prefix(now, with_ape.size()), with_ape) << "audio, old tag and APE tag kept";
    EXPECT_EQ(now.size(), with_ape.size() + kId3v1Size) << "size with the tag appended";
}

TEST(TagEditing, AFailedWriteSaysSoAndLeavesTheFileAsItWas) {
    const auto missing = WriteId3v1File("/nonexistent/dir/a.mp3", Album("T", 1));
    EXPECT_FALSE(missing.ok) << "missing file";
    EXPECT_EQ(missing.message, "Problem opening file for writing: \r\n/nonexistent/dir/a.mp3")
        << "message for a file that cannot be opened";

    test::SmallFileSystem fs;
    if (!fs.available()) {
        GTEST_SKIP() << fs.reason();
    }
    // Exactly twelve pages, so that an appended tag needs a page of its own.
    std::vector<uint8_t> audio = test::ReadFile(test::FixturePath("lame_notag_cbr128.mp3"));
    audio.resize(12 * 4096, 0);
    const std::string path = fs.File("song.mp3");
    test::WriteFile(path, audio);
    fs.Fill();
    const auto full = WriteId3v1File(path, Album("T", 1));
    EXPECT_FALSE(full.ok) << "full disk";
    EXPECT_EQ(full.message, "Problem writing ID3v1 tag: \r\n" + path) << "message on a full disk";
    EXPECT_EQ(test::ReadFile(path), audio) << "file after the full disk";

    ASSERT_TRUE(fs.MakeReadOnly());
    const auto read_only = WriteId3v1File(path, Album("T", 1));
    EXPECT_EQ(read_only.message, "Problem opening file for writing: \r\n" + path)
        << "message on a read-only file system";
    EXPECT_EQ(test::ReadFile(path), audio) << "file after the read-only attempt";
}

}  // namespace
}  // namespace vandrel
