#include "engine/tags/Id3Tag.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

#include "engine/io/ByteOrder.h"
#include "engine/io/FileStream.h"
#include "engine/io/TextEncoding.h"

namespace vandrel {

namespace {

// The ID3v1 genres (0..79) followed by the extensions that became common
// (80..147), in their standard order.
constexpr std::array<std::string_view, kGenreCount> kGenres = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz",
    "Metal", "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno",
    "Industrial", "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno",
    "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental",
    "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "Alt. Rock", "Bass", "Soul", "Punk",
    "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic", "Darkwave",
    "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy",
    "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American",
    "Cabaret", "New Wave", "Psychedelic", "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal",
    "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock",
    // 80..
    "Folk", "Folk/Rock", "National Folk", "Swing", "Fast-Fusion", "Bebob", "Latin", "Revival",
    "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock",
    "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour",
    "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus",
    "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad",
    "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo", "A Cappella",
    "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie",
    "BritPop", "Afro-Punk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    "Thrash Metal", "Anime", "JPop", "Synthpop"};

constexpr size_t kId3v2FrameHeaderSize = 10;
constexpr uint8_t kExtendedHeaderFlag = 0x40;

}  // namespace

bool CID3Tag::ReadTags(const std::string& path) {
    path_ = path;
    frames_.clear();
    present_ = 0;
    size_ = 0;
    FileStream stream;
    if (!stream.Open(path, "rb")) {
        return false;
    }
    std::vector<uint8_t> start(kId3v2ReadLimit);
    start.resize(stream.Read(start));
    stream.Close();
    return ReadTags(path, start);
}

bool CID3Tag::ReadTags(const std::string& path, std::span<const uint8_t> start) {
    path_ = path;
    frames_.clear();
    present_ = 0;
    size_ = 0;
    extended_header_ = 0;
    start = start.first(std::min(start.size(), kId3v2ReadLimit));
    if (start.size() < kId3v2HeaderSize || std::memcmp(start.data(), "ID3", 3) != 0) {
        return false;
    }
    version_ = start[3];
    revision_ = start[4];
    flags_ = start[5];
    present_ = 1;
    extended_header_ = (flags_ & kExtendedHeaderFlag) != 0 ? 1 : 0;
    size_ = static_cast<int32_t>(LoadSyncsafe28(start.subspan(6, 4)));
    if (size_ > static_cast<int32_t>(kId3v2ReadLimit)) {
        size_ = 0;  // too large to hold: present, without frames
        return true;
    }

    size_t pos = kId3v2HeaderSize;
    if (extended_header_ != 0) {
        // The extended header's own size does not count its 4-byte size field;
        // the tag size then covers only what follows it.
        if (pos + 4 > start.size()) {
            return true;
        }
        const int64_t skip = int64_t{LoadBe32(start.subspan(pos, 4))} + 4;
        pos = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(pos) + skip,
                                                    static_cast<int64_t>(start.size())));
        size_ = static_cast<int32_t>(std::max<int64_t>(size_ - skip, INT32_MIN));
    }

    int64_t consumed = 0;
    while (consumed < size_) {
        // A frame, or padding, starts here; it must lie within the bytes read.
        if (pos + kId3v2FrameHeaderSize > start.size() || start[pos] == 0) {
            break;
        }
        const auto frame_size = static_cast<int32_t>(LoadBe32(start.subspan(pos + 4, 4)));
        if (frame_size < 0 || frame_size > size_) {
            break;  // impossible size: the list ends here
        }
        const size_t data_start = pos + kId3v2FrameHeaderSize;
        const size_t data_end = data_start + static_cast<size_t>(frame_size);
        if (data_end > start.size()) {
            break;  // runs beyond the bytes read: dropped
        }
        Id3v2Frame frame;
        std::memcpy(frame.id, start.data() + pos, 4);
        frame.flags[0] = start[pos + 8];
        frame.flags[1] = start[pos + 9];
        frame.data.assign(start.begin() + static_cast<std::ptrdiff_t>(data_start),
                          start.begin() + static_cast<std::ptrdiff_t>(data_end));
        frames_.push_back(std::move(frame));
        consumed += static_cast<int64_t>(kId3v2FrameHeaderSize) + frame_size;
        pos = data_end;
    }
    return true;
}

int CID3Tag::FindCueSheet(std::string* id) const {
    constexpr std::string_view kMarker = "CUESHEET";
    for (size_t i = 0; i < frames_.size(); ++i) {
        const Id3v2Frame& frame = frames_[i];
        if (std::memcmp(frame.id, "GEOB", 4) != 0) {
            continue;
        }
        // Only the first GEOB frame counts.
        const auto& data = frame.data;
        if (std::search(data.begin(), data.end(), kMarker.begin(), kMarker.end()) == data.end()) {
            return -1;
        }
        if (id != nullptr) {
            *id = frame.id;
        }
        return static_cast<int>(i);
    }
    return -1;
}

Id3v1Tag ComposeId3v1(const Id3v1Fields& fields) {
    Id3v1Tag tag{};
    std::memcpy(tag.image, "TAG", 3);
    auto put = [&](Id3v1Field field, const std::string& text) {
        const std::string latin1 = Utf8ToLatin1(text);
        std::memcpy(tag.image + field.offset, latin1.data(), std::min(latin1.size(), field.width));
    };
    put(kId3v1Title, fields.title);
    put(kId3v1Artist, fields.artist);
    put(kId3v1Album, fields.album);
    put(kId3v1Comment, fields.comment);
    if (fields.year != -1) {
        const std::string year = std::to_string(fields.year);
        if (year.size() <= kId3v1Year.width) {
            put(kId3v1Year, year);
        }
    }
    tag.image[kId3v1GenreByte] = static_cast<uint8_t>(fields.genre);
    tag.track = fields.track;
    return tag;
}

bool Id3v2SizeRunsPastEnd(const ScanRecord& record) {
    return record.id3v2_present != 0 && record.id3v2_size > 0 &&
           static_cast<uint64_t>(record.id3v2_size) > RecordFileSize(record);
}

std::array<uint8_t, kId3v1Size> Id3v1Bytes(const Id3v1Tag& tag) {
    std::array<uint8_t, kId3v1Size> bytes;
    std::copy(std::begin(tag.image), std::end(tag.image), bytes.begin());
    if (tag.track != 0) {
        bytes[kId3v1TrackByte - 1] = 0;
        bytes[kId3v1TrackByte] = static_cast<uint8_t>(tag.track);
    }
    return bytes;
}

std::string Id3v1FieldText(std::span<const uint8_t> bytes, size_t width) {
    size_t end = std::min(width, bytes.size());
    while (end > 0 && (bytes[end - 1] == ' ' || bytes[end - 1] == 0)) {
        --end;
    }
    const auto first = bytes.begin();
    const auto zero = std::find(first, first + static_cast<std::ptrdiff_t>(end), uint8_t{0});
    return {first, zero};
}

std::string Id3v1FieldText(std::span<const uint8_t, kId3v1Size> image, Id3v1Field field) {
    return Id3v1FieldText(std::span<const uint8_t>(image).subspan(field.offset, field.width),
                          field.width);
}

std::string_view GenreName(int index) {
    if (index < 0 || index >= kGenreCount) {
        return "Unknown";
    }
    return kGenres[static_cast<size_t>(index)];
}

}  // namespace vandrel
