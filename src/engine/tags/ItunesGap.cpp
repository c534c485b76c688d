#include "engine/tags/ItunesGap.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/io/ByteOrder.h"

namespace vandrel {

namespace {

constexpr size_t kTagHeaderSize = 10;
constexpr uint8_t kUnsyncFlag = 0x80;
constexpr uint8_t kExtendedHeaderFlag = 0x40;  // compression in version 2.2
// A comment longer than this is no iTunSMPB comment: its body is not read.
constexpr uint32_t kLongestComment = 4096;
constexpr std::string_view kDescription = "iTunSMPB";

// Bytes of the tag from `pos` on (relative to its start), at most `count`;
// fewer where it ends.
using Fetch = std::function<std::vector<uint8_t>(uint64_t pos, size_t count)>;

// 0xFF 0x00 back to 0xFF, as unsynchronisation wrote it.
std::vector<uint8_t> Resynchronise(std::span<const uint8_t> bytes) {
    std::vector<uint8_t> out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0x00) {
            ++i;
        }
    }
    return out;
}

// A text of the comment's encoding as the ASCII it holds: UTF-16 by its low
// bytes (the byte order from its BOM, else big-endian); other characters
// become '?'.
std::string AsciiOf(std::span<const uint8_t> bytes, uint8_t encoding) {
    std::string out;
    if (encoding == 1 || encoding == 2) {
        bool little = false;
        size_t i = 0;
        if (bytes.size() >= 2 &&
            ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
            little = bytes[0] == 0xFF;
            i = 2;
        }
        for (; i + 1 < bytes.size(); i += 2) {
            const unsigned unit =
                little ? bytes[i] | (bytes[i + 1] << 8) : (bytes[i] << 8) | bytes[i + 1];
            out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
        }
        return out;
    }
    for (const uint8_t b : bytes) {
        out.push_back(b < 0x80 ? static_cast<char>(b) : '?');
    }
    return out;
}

// The comment frame's body: encoding, language, description, text.
std::optional<EncoderGap> FromComment(std::span<const uint8_t> body) {
    if (body.size() < 4) {
        return std::nullopt;
    }
    const uint8_t encoding = body[0];
    if (encoding > 3) {
        return std::nullopt;
    }
    const std::span<const uint8_t> rest = body.subspan(4);
    // The description ends at a zero byte, or at a zero unit in UTF-16.
    const size_t unit = encoding == 1 || encoding == 2 ? 2 : 1;
    size_t end = 0;
    while (end + unit <= rest.size() && !(rest[end] == 0 && (unit == 1 || rest[end + 1] == 0))) {
        end += unit;
    }
    if (end + unit > rest.size()) {
        return std::nullopt;
    }
    if (AsciiOf(rest.first(end), encoding) != kDescription) {
        return std::nullopt;
    }
    return ParseItunSmpb(AsciiOf(rest.subspan(end + unit), encoding));
}

std::optional<EncoderGap> WalkFrames(const Fetch& fetch, uint8_t version, uint8_t flags,
                                     uint64_t tag_end) {
    const bool v22 = version == 2;
    const size_t header_size = v22 ? 6 : 10;
    uint64_t pos = kTagHeaderSize;
    if (!v22 && (flags & kExtendedHeaderFlag) != 0) {
        const std::vector<uint8_t> size = fetch(pos, 4);
        if (size.size() < 4) {
            return std::nullopt;
        }
        // Version 2.4 counts the size field in; version 2.3 does not.
        pos += version == 4 ? LoadSyncsafe28(size) : uint64_t{LoadBe32(size)} + 4;
    }
    while (pos + header_size <= tag_end) {
        const std::vector<uint8_t> header = fetch(pos, header_size);
        if (header.size() < header_size || header[0] == 0) {
            break;  // padding, or the end of what the file holds
        }
        const std::span<const uint8_t> h(header);
        const uint64_t size = v22            ? LoadBe24(h.subspan(3))
                              : version == 4 ? LoadSyncsafe28(h.subspan(4))
                                             : LoadBe32(h.subspan(4));
        const uint64_t body_start = pos + header_size;
        if (size > tag_end - body_start) {
            break;  // a size past the tag's end: the list ends here
        }
        const bool comment = v22 ? std::memcmp(header.data(), "COM", 3) == 0
                                 : std::memcmp(header.data(), "COMM", 4) == 0;
        // Compressed or encrypted frames are not read; in version 2.4 a
        // frame may be unsynchronised and lead with its data length.
        const uint8_t format = v22 ? 0 : header[9];
        const bool opaque = version == 3 ? (format & 0xC0) != 0 : (format & 0x0C) != 0;
        if (comment && !opaque && size <= kLongestComment) {
            std::vector<uint8_t> body = fetch(body_start, static_cast<size_t>(size));
            if (version == 4 && (format & 0x02) != 0) {
                body = Resynchronise(body);
            }
            std::span<const uint8_t> data(body);
            if (version == 4 && (format & 0x01) != 0) {
                data = data.size() >= 4 ? data.subspan(4) : std::span<const uint8_t>{};
            }
            if (const std::optional<EncoderGap> gap = FromComment(data)) {
                return gap;
            }
        }
        pos = body_start + size;
    }
    return std::nullopt;
}

std::optional<EncoderGap>
FromHeader(std::span<const uint8_t> head, const Fetch& fetch,
           const std::function<std::optional<EncoderGap>(uint64_t)>& unsynced_whole) {
    if (head.size() < kTagHeaderSize || std::memcmp(head.data(), "ID3", 3) != 0) {
        return std::nullopt;
    }
    const uint8_t version = head[3];
    const uint8_t flags = head[5];
    if (version < 2 || version > 4 || (version == 2 && (flags & kExtendedHeaderFlag) != 0)) {
        return std::nullopt;  // unknown versions, and compressed version 2.2 tags
    }
    const uint64_t tag_end = kTagHeaderSize + LoadSyncsafe28(head.subspan(6));
    if (version < 4 && (flags & kUnsyncFlag) != 0) {
        return unsynced_whole(tag_end);
    }
    return WalkFrames(fetch, version, flags, tag_end);
}

}  // namespace

std::optional<EncoderGap> ParseItunSmpb(std::string_view text) {
    uint32_t words[3] = {};
    size_t found = 0;
    size_t i = 0;
    while (found < 3) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
            ++i;
        }
        const size_t start = i;
        while (i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])) != 0) {
            ++i;
        }
        if (i == start || i - start > 16 ||
            (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\0')) {
            return std::nullopt;
        }
        uint64_t value = 0;
        std::from_chars(text.data() + start, text.data() + i, value, 16);
        if (value > 0xFFFFFFFFu) {
            return std::nullopt;  // the delay and padding are 32-bit words
        }
        words[found++] = static_cast<uint32_t>(value);
    }
    // Sample counts that fit no frame layout are no gap.
    constexpr uint32_t kLongestGap = 1u << 20;
    if (words[1] > kLongestGap || words[2] > kLongestGap) {
        return std::nullopt;
    }
    return EncoderGap{static_cast<int>(words[1]), static_cast<int>(words[2])};
}

std::optional<EncoderGap> FindItunesGap(std::span<const uint8_t> tag) {
    const Fetch fetch = [tag](uint64_t pos, size_t count) {
        if (pos >= tag.size()) {
            return std::vector<uint8_t>{};
        }
        const auto from = tag.begin() + static_cast<std::ptrdiff_t>(pos);
        return std::vector<uint8_t>(
            from, from + static_cast<std::ptrdiff_t>(std::min<uint64_t>(count, tag.size() - pos)));
    };
    const auto whole = [tag](uint64_t tag_end) -> std::optional<EncoderGap> {
        const std::span<const uint8_t> frames =
            tag.first(std::min<uint64_t>(tag_end, tag.size())).subspan(kTagHeaderSize);
        std::vector<uint8_t> plain(tag.begin(), tag.begin() + kTagHeaderSize);
        const std::vector<uint8_t> resynced = Resynchronise(frames);
        plain.insert(plain.end(), resynced.begin(), resynced.end());
        plain[5] = static_cast<uint8_t>(plain[5] & ~kUnsyncFlag);
        const uint32_t size = static_cast<uint32_t>(resynced.size());
        for (int i = 0; i < 4; ++i) {
            plain[static_cast<size_t>(9 - i)] = static_cast<uint8_t>((size >> (7 * i)) & 0x7F);
        }
        return FindItunesGap(plain);
    };
    return FromHeader(tag, fetch, whole);
}

std::optional<EncoderGap> ReadItunesGap(FileStream& stream, int64_t tag_offset) {
    std::vector<uint8_t> head(kTagHeaderSize);
    stream.Seek(tag_offset);
    head.resize(stream.Read(head));
    const Fetch fetch = [&stream, tag_offset](uint64_t pos, size_t count) {
        std::vector<uint8_t> bytes(count);
        stream.Seek(tag_offset + static_cast<int64_t>(pos));
        bytes.resize(stream.Read(bytes));
        return bytes;
    };
    const auto whole = [&](uint64_t tag_end) -> std::optional<EncoderGap> {
        if (tag_end > kUnsyncedTagLimit) {
            return std::nullopt;
        }
        return FindItunesGap(fetch(0, static_cast<size_t>(tag_end)));
    };
    return FromHeader(head, fetch, whole);
}

}  // namespace vandrel
