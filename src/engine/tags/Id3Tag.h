#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/ScanRecord.h"

namespace vandrel {

// Bytes of a file's start that the ID3v2 reader looks at.
constexpr size_t kId3v2ReadLimit = 100'000;
// "ID3", version, revision, flags and the 28-bit size.
constexpr size_t kId3v2HeaderSize = 10;

constexpr size_t kId3v1Size = 128;
constexpr int kGenreCount = 148;

// Positions of the ID3v1 fields in the 128-byte image.
struct Id3v1Field {
    size_t offset;
    size_t width;
};
constexpr Id3v1Field kId3v1Title{3, 30};
constexpr Id3v1Field kId3v1Artist{33, 30};
constexpr Id3v1Field kId3v1Album{63, 30};
constexpr Id3v1Field kId3v1Year{93, 4};
constexpr Id3v1Field kId3v1Comment{97, 30};
constexpr size_t kId3v1TrackByte = 126;  // ID3v1.1: after a zero byte at 125
constexpr size_t kId3v1GenreByte = 127;

// One ID3v2 frame as read: identifier, flags and data.
struct Id3v2Frame {
    char id[5] = {};  // four characters and a terminator
    uint8_t flags[2] = {};
    std::vector<uint8_t> data;
};

// The ID3v2 tag at the start of a file: header fields and frames.
class CID3Tag {
public:
    // Reads the tag of the file at `path` from its first 100,000 bytes, with a
    // stream of its own. False when the file cannot be read or has no tag.
    bool ReadTags(const std::string& path);
    // The same from bytes already read (at most the first 100,000 count).
    bool ReadTags(const std::string& path, std::span<const uint8_t> start);

    // Index of the first "GEOB" frame when its data holds "CUESHEET", else -1;
    // later GEOB frames are not examined. `id` receives that frame's identifier.
    int FindCueSheet(std::string* id = nullptr) const;

    const std::string& path() const { return path_; }
    uint8_t version() const { return version_; }
    uint8_t revision() const { return revision_; }
    uint8_t flags() const { return flags_; }
    int32_t size() const { return size_; }  // without the 10-byte header
    bool has_extended_header() const { return extended_header_ != 0; }
    const std::vector<Id3v2Frame>& frames() const { return frames_; }
    bool present() const { return present_ != 0; }

private:
    std::string path_;
    uint8_t version_ = 0;
    uint8_t revision_ = 0;
    uint8_t flags_ = 0;
    int32_t size_ = 0;
    int32_t extended_header_ = 0;
    std::vector<Id3v2Frame> frames_;
    int32_t present_ = 0;
};

// Whether the record's ID3v2 tag, as its header gives its size (footer
// included), would end past the end of the file. The scan then looks for the
// frames from the tag's start; a player that trusts the size finds no audio.
bool Id3v2SizeRunsPastEnd(const ScanRecord& record);

// The values a user edits in an ID3v1 tag; texts are UTF-8.
struct Id3v1Fields {
    std::string title;
    std::string artist;
    std::string album;
    std::string comment;
    int year = -1;    // -1: no year
    int track = 0;    // 0: no track number
    int genre = 255;  // 0..147 a genre of the table, 255 none
};

// The 128-byte image (and track number) of the fields: "TAG", each text in
// its field as ISO-8859-1, cut to the field and padded with zero bytes, the
// year as decimal text (none for -1 or five and more digits), the genre byte.
Id3v1Tag ComposeId3v1(const Id3v1Fields& fields);

// The 128 bytes of a tag as they go into a file: the image, with a non-zero
// track number in byte 126 after a zero byte that ends the comment.
std::array<uint8_t, kId3v1Size> Id3v1Bytes(const Id3v1Tag& tag);

// The text of an ID3v1 field: trailing blanks and zero bytes dropped, then
// cut at the first zero byte. The bytes are ISO-8859-1.
std::string Id3v1FieldText(std::span<const uint8_t> bytes, size_t width);
std::string Id3v1FieldText(std::span<const uint8_t, kId3v1Size> image, Id3v1Field field);

// The genre table's name for 0..147, else "Unknown".
std::string_view GenreName(int index);

}  // namespace vandrel
