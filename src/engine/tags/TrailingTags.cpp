#include "engine/tags/TrailingTags.h"

#include <array>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "engine/io/ByteOrder.h"
#include "engine/tags/Id3Tag.h"

namespace vandrel {

namespace {

constexpr size_t kApeFooterSize = 32;
constexpr uint32_t kApeHasHeader = 1u << 31;
constexpr size_t kId3v2FooterSize = 10;
// "LYRICSBEGIN", at most 5100 bytes of lyrics, "LYRICSEND".
constexpr size_t kLyrics3v1Span = 11 + 5100 + 9;
constexpr std::string_view kLyricsBegin = "LYRICSBEGIN";
// A file ends in few tags; more is a file of repeated tag bytes.
constexpr int kMaxTags = 16;

bool ReadAt(FileStream& stream, int64_t position, std::span<uint8_t> out) {
    if (position < 0) {
        return false;
    }
    stream.Seek(position);
    return stream.Read(out) == out.size();
}

bool Starts(std::span<const uint8_t> bytes, std::string_view text) {
    return bytes.size() >= text.size() && std::memcmp(bytes.data(), text.data(), text.size()) == 0;
}

// Each reader gets the end of what is left and answers where its tag starts.
std::optional<int64_t> ApeTagBefore(FileStream& stream, int64_t end) {
    std::array<uint8_t, kApeFooterSize> footer{};
    if (!ReadAt(stream, end - static_cast<int64_t>(kApeFooterSize), footer) ||
        !Starts(footer, "APETAGEX")) {
        return std::nullopt;
    }
    const int64_t size = LoadLe32(std::span(footer).subspan(12, 4));  // items and footer
    const uint32_t flags = LoadLe32(std::span(footer).subspan(20, 4));
    const int64_t start =
        end - size - ((flags & kApeHasHeader) != 0 ? static_cast<int64_t>(kApeFooterSize) : 0);
    if (size < static_cast<int64_t>(kApeFooterSize) || start < 0) {
        return std::nullopt;
    }
    return start;
}

std::optional<int64_t> Lyrics3v2Before(FileStream& stream, int64_t end) {
    // Six digits of size (from "LYRICSBEGIN" to them), then "LYRICS200".
    std::array<uint8_t, 15> trailer{};
    if (!ReadAt(stream, end - 15, trailer) || !Starts(std::span(trailer).subspan(6), "LYRICS200")) {
        return std::nullopt;
    }
    int64_t size = 0;
    for (size_t i = 0; i < 6; ++i) {
        if (trailer[i] < '0' || trailer[i] > '9') {
            return std::nullopt;
        }
        size = size * 10 + (trailer[i] - '0');
    }
    const int64_t start = end - 15 - size;
    std::array<uint8_t, kLyricsBegin.size()> begin{};
    if (!ReadAt(stream, start, begin) || !Starts(begin, kLyricsBegin)) {
        return std::nullopt;
    }
    return start;
}

std::optional<int64_t> Lyrics3v1Before(FileStream& stream, int64_t end) {
    std::array<uint8_t, 9> trailer{};
    if (!ReadAt(stream, end - 9, trailer) || !Starts(trailer, "LYRICSEND")) {
        return std::nullopt;
    }
    const int64_t from = std::max<int64_t>(0, end - static_cast<int64_t>(kLyrics3v1Span));
    std::vector<uint8_t> block(static_cast<size_t>(end - 9 - from));
    if (!ReadAt(stream, from, block)) {
        return std::nullopt;
    }
    const std::string_view text(reinterpret_cast<const char*>(block.data()), block.size());
    const size_t at = text.rfind(kLyricsBegin);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    return from + static_cast<int64_t>(at);
}

std::optional<int64_t> Id3v2WithFooterBefore(FileStream& stream, int64_t end) {
    std::array<uint8_t, kId3v2FooterSize> footer{};
    if (!ReadAt(stream, end - static_cast<int64_t>(kId3v2FooterSize), footer) ||
        !Starts(footer, "3DI") || (footer[6] | footer[7] | footer[8] | footer[9]) >= 0x80) {
        return std::nullopt;
    }
    const int64_t size = LoadSyncsafe28(std::span(footer).subspan(6, 4));
    const int64_t start = end - 2 * static_cast<int64_t>(kId3v2FooterSize) - size;
    std::array<uint8_t, 3> header{};
    if (!ReadAt(stream, start, header) || !Starts(header, "ID3")) {
        return std::nullopt;
    }
    return start;
}

// Any trailing tag but ID3v1 that ends at `end`: where it starts.
std::optional<int64_t> OtherTagBefore(FileStream& stream, int64_t end) {
    std::optional<int64_t> start = ApeTagBefore(stream, end);
    if (!start) {
        start = Lyrics3v2Before(stream, end);
    }
    if (!start) {
        start = Lyrics3v1Before(stream, end);
    }
    if (!start) {
        start = Id3v2WithFooterBefore(stream, end);
    }
    return start;
}

bool Id3v1Before(FileStream& stream, int64_t end) {
    std::array<uint8_t, 3> marker{};
    return ReadAt(stream, end - static_cast<int64_t>(kId3v1Size), marker) && Starts(marker, "TAG");
}

}  // namespace

int64_t FindTrailingTags(FileStream& stream, int64_t* id3v1_at) {
    int64_t end = stream.Size();
    if (id3v1_at != nullptr) {
        *id3v1_at = -1;
    }
    // The other tags are looked for before an ID3v1 tag: the 128th byte from
    // the end of an APE or Lyrics3 tag can read "TAG" (in an item's text).
    // Only an ID3v1 tag that ends the file is the file's tag; one that a
    // tagger left in front of a tag it appended is no audio either. Two
    // ID3v1 tags in a row are not taken: the one in front counts as audio.
    bool after_id3v1 = false;
    for (int i = 0; i < kMaxTags; ++i) {
        std::optional<int64_t> start = OtherTagBefore(stream, end);
        const bool id3v1 = !start && !after_id3v1 && Id3v1Before(stream, end);
        if (id3v1) {
            start = end - static_cast<int64_t>(kId3v1Size);
            if (i == 0 && id3v1_at != nullptr) {
                *id3v1_at = *start;
            }
        }
        if (!start || *start >= end) {
            break;
        }
        after_id3v1 = id3v1;
        end = *start;
    }
    return end;
}

int64_t FindId3v1Tag(FileStream& stream) {
    const int64_t end = stream.Size();
    return !OtherTagBefore(stream, end) && Id3v1Before(stream, end)
               ? end - static_cast<int64_t>(kId3v1Size)
               : -1;
}

}  // namespace vandrel
