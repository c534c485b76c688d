#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/ScanRecord.h"
#include "engine/tags/Id3Tag.h"

namespace vandrel {

// The fields of the ID3v1 editor, in the order the multi-file rules name them.
enum class Id3v1Part : size_t { kTitle, kArtist, kAlbum, kComment, kYear, kGenre, kTrack };
inline constexpr size_t kId3v1PartCount = 7;
using Id3v1PartSet = std::array<bool, kId3v1PartCount>;

// No genre: the editor's empty entry.
inline constexpr int kNoGenre = 255;
inline constexpr int kLargestTrack = 255;
inline constexpr int kLargestYear = 9999;
// The bytes a comment keeps when the tag also holds a track number: the
// track and a zero byte before it take the last two of its thirty.
inline constexpr size_t kCommentBytesWithTrack = 28;

// The file's ID3v1 values as the editor shows them (texts in UTF-8); the
// defaults (empty texts, no year, no track, no genre) for a file without a tag.
Id3v1Fields FieldsOfRecord(const ScanRecord& record);

// How many bytes of the tag's character set a text field holds.
size_t Id3v1TextCapacity(Id3v1Part part, bool with_track);
// Whether the text has a character that ISO-8859-1, the tag's character set,
// cannot hold.
bool HasUnstorableCharacter(const std::string& utf8);

// What is wrong with one field of the values (a text too long or with a
// character the tag cannot hold, a number out of range), nothing when it is
// fine. The text says which field and what it takes.
std::optional<std::string> Id3v1FieldProblem(const Id3v1Fields& fields, Id3v1Part part);

// Why the values cannot be written as they are (a text too long or with a
// character the tag cannot hold, a track or year out of range); nothing when
// they can. The texts say which field and what it takes.
std::optional<std::string> CheckId3v1Fields(const Id3v1Fields& fields);

// "Edit Tag Multiple": which values all files share (texts byte for byte),
// and the values to fill in (those shared; empty or none for the others).
struct CommonFields {
    Id3v1Fields values;
    Id3v1PartSet common{};
};
CommonFields FindCommonFields(const std::vector<Id3v1Fields>& files);

// The fields the user changed: a text that differs from what was filled in,
// a year, genre or track that differs as a number.
Id3v1PartSet ChangedFields(const Id3v1Fields& filled, const Id3v1Fields& edited);

// `current` with exactly the changed fields taken from `edited`.
Id3v1Fields MergeFields(const Id3v1Fields& current, const Id3v1Fields& edited,
                        const Id3v1PartSet& changed);

// Writes the tag of `fields` into the MPEG audio file at `path`, over its
// ID3v1 tag or after its audio. Audio bytes are never touched; a write that
// fails leaves the file as it was. On failure, the message for the user:
// "Problem opening file for writing: \r\n" or "Problem writing ID3v1 tag:
// \r\n", then the path.
struct TagWriteResult {
    bool ok = false;
    std::string message;  // empty when ok
    // After a write, the file's ID3v1 tag as a scan reads it.
    int32_t id3v1_present = 0;
    Id3v1Tag id3v1{};
    uint64_t file_size = 0;
};
TagWriteResult WriteId3v1File(const std::string& path, const Id3v1Fields& fields);

}  // namespace vandrel
