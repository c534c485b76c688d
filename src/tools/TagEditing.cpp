#include "tools/TagEditing.h"

#include <algorithm>
#include <charconv>

#include "engine/io/TextEncoding.h"
#include "engine/media/VandrelMp3File.h"

namespace vandrel {

namespace {

constexpr size_t kId3v1TextBytes = 30;

// The year field's number: -1 when it holds none.
int YearOf(const std::string& text) {
    int year = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), year);
    return error == std::errc() && end == text.data() + text.size() ? year : -1;
}

std::string& TextOf(Id3v1Fields& fields, Id3v1Part part) {
    switch (part) {
    case Id3v1Part::kArtist:
        return fields.artist;
    case Id3v1Part::kAlbum:
        return fields.album;
    case Id3v1Part::kComment:
        return fields.comment;
    default:
        return fields.title;
    }
}

const std::string& TextOf(const Id3v1Fields& fields, Id3v1Part part) {
    return TextOf(const_cast<Id3v1Fields&>(fields), part);
}

int& NumberOf(Id3v1Fields& fields, Id3v1Part part) {
    return part == Id3v1Part::kYear    ? fields.year
           : part == Id3v1Part::kGenre ? fields.genre
                                       : fields.track;
}

int NumberOf(const Id3v1Fields& fields, Id3v1Part part) {
    return NumberOf(const_cast<Id3v1Fields&>(fields), part);
}

bool IsText(Id3v1Part part) {
    return part <= Id3v1Part::kComment;
}

constexpr std::array kAllParts = {Id3v1Part::kTitle,   Id3v1Part::kArtist, Id3v1Part::kAlbum,
                                  Id3v1Part::kComment, Id3v1Part::kYear,   Id3v1Part::kGenre,
                                  Id3v1Part::kTrack};

const char* NameOf(Id3v1Part part) {
    switch (part) {
    case Id3v1Part::kTitle:
        return "Title";
    case Id3v1Part::kArtist:
        return "Artist";
    case Id3v1Part::kAlbum:
        return "Album";
    case Id3v1Part::kComment:
        return "Comment";
    case Id3v1Part::kYear:
        return "Year";
    case Id3v1Part::kGenre:
        return "Genre";
    case Id3v1Part::kTrack:
        return "Track";
    }
    return "";
}

}  // namespace

Id3v1Fields FieldsOfRecord(const ScanRecord& record) {
    Id3v1Fields fields;
    if (record.id3v1_present == 0) {
        return fields;
    }
    const std::span<const uint8_t, kId3v1Size> image(record.id3v1.image);
    fields.title = Latin1ToUtf8(Id3v1FieldText(image, kId3v1Title));
    fields.artist = Latin1ToUtf8(Id3v1FieldText(image, kId3v1Artist));
    fields.album = Latin1ToUtf8(Id3v1FieldText(image, kId3v1Album));
    fields.comment = Latin1ToUtf8(Id3v1FieldText(image, kId3v1Comment));
    fields.year = YearOf(Id3v1FieldText(image, kId3v1Year));
    // The record keeps the track as a signed byte; the tag's byte is unsigned.
    const uint8_t* image_bytes = record.id3v1.image;
    if (image_bytes[kId3v1TrackByte - 1] == 0) {
        fields.track = image_bytes[kId3v1TrackByte];
    }
    fields.genre = record.id3v1.image[kId3v1GenreByte];
    return fields;
}

size_t Id3v1TextCapacity(Id3v1Part part, bool with_track) {
    return part == Id3v1Part::kComment && with_track ? kCommentBytesWithTrack : kId3v1TextBytes;
}

bool HasUnstorableCharacter(const std::string& utf8) {
    // Latin-1 turns what it cannot hold into "?": more "?" than the text had.
    return std::count(utf8.begin(), utf8.end(), '?') != std::ranges::count(Utf8ToLatin1(utf8), '?');
}

std::optional<std::string> Id3v1FieldProblem(const Id3v1Fields& fields, Id3v1Part part) {
    const std::string name = NameOf(part);
    if (IsText(part)) {
        const std::string& text = TextOf(fields, part);
        if (HasUnstorableCharacter(text)) {
            return name + ": the tag stores only Western European letters (ISO-8859-1).";
        }
        const bool with_track = fields.track != 0;
        const size_t capacity = Id3v1TextCapacity(part, with_track);
        if (Utf8ToLatin1(text).size() > capacity) {
            return name + ": at most " + std::to_string(capacity) + " characters" +
                   (part == Id3v1Part::kComment && with_track ? " with a track number." : ".");
        }
        return std::nullopt;
    }
    switch (part) {
    case Id3v1Part::kTrack:
        if (fields.track < 0 || fields.track > kLargestTrack) {
            return name + ": a number from 1 to " + std::to_string(kLargestTrack) + ", or empty.";
        }
        break;
    case Id3v1Part::kYear:
        if (fields.year < -1 || fields.year > kLargestYear) {
            return name + ": a number from 0 to " + std::to_string(kLargestYear) + ", or empty.";
        }
        break;
    default:
        if (fields.genre != kNoGenre && (fields.genre < 0 || fields.genre >= kGenreCount)) {
            return name + ": one of the list.";
        }
        break;
    }
    return std::nullopt;
}

std::optional<std::string> CheckId3v1Fields(const Id3v1Fields& fields) {
    for (const Id3v1Part part : kAllParts) {
        if (auto problem = Id3v1FieldProblem(fields, part)) {
            return problem;
        }
    }
    return std::nullopt;
}

CommonFields FindCommonFields(const std::vector<Id3v1Fields>& files) {
    CommonFields result;
    result.values.year = -1;
    result.values.track = 0;
    result.values.genre = kNoGenre;
    if (files.empty()) {
        return result;
    }
    const Id3v1Fields& first = files.front();
    for (const Id3v1Part part : kAllParts) {
        const auto index = static_cast<size_t>(part);
        const bool common = std::all_of(files.begin(), files.end(), [&](const Id3v1Fields& file) {
            return IsText(part) ? TextOf(file, part) == TextOf(first, part)
                                : NumberOf(file, part) == NumberOf(first, part);
        });
        result.common[index] = common;
        if (!common) {
            continue;
        }
        if (IsText(part)) {
            TextOf(result.values, part) = TextOf(first, part);
        } else {
            NumberOf(result.values, part) = NumberOf(first, part);
        }
    }
    return result;
}

Id3v1PartSet ChangedFields(const Id3v1Fields& filled, const Id3v1Fields& edited) {
    Id3v1PartSet changed{};
    for (const Id3v1Part part : kAllParts) {
        changed[static_cast<size_t>(part)] = IsText(part)
                                                 ? TextOf(filled, part) != TextOf(edited, part)
                                                 : NumberOf(filled, part) != NumberOf(edited, part);
    }
    return changed;
}

Id3v1Fields MergeFields(const Id3v1Fields& current, const Id3v1Fields& edited,
                        const Id3v1PartSet& changed) {
    Id3v1Fields merged = current;
    for (const Id3v1Part part : kAllParts) {
        if (!changed[static_cast<size_t>(part)]) {
            continue;
        }
        if (IsText(part)) {
            TextOf(merged, part) = TextOf(edited, part);
        } else {
            NumberOf(merged, part) = NumberOf(edited, part);
        }
    }
    return merged;
}

TagWriteResult WriteId3v1File(const std::string& path, const Id3v1Fields& fields) {
    TagWriteResult result;
    CVandrelMp3File file;
    if (!file.Open(path, "r+b")) {
        result.message = "Problem opening file for writing: \r\n" + path;
        return result;
    }
    if (!file.WriteId3v1(ComposeId3v1(fields))) {
        result.message = "Problem writing ID3v1 tag: \r\n" + path;
    } else {
        result.ok = true;
        ScanRecord read = ZeroRecord();
        file.ReadId3v1(read);
        result.id3v1_present = read.id3v1_present;
        result.id3v1 = read.id3v1;
        result.file_size = file.GetFileSize();
    }
    file.Close();
    return result;
}

}  // namespace vandrel
