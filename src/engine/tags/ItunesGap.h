#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "engine/io/FileStream.h"
#include "engine/tags/VbrHeaders.h"

namespace vandrel {

// The encoder delay and padding that iTunes-style encoders write into an
// ID3v2 comment described "iTunSMPB": hexadecimal words, the second the
// delay and the third the padding in samples (" 00000000 00000210 000003C4
// 0000000000A3B5FC ..."). Nothing when the text does not hold them.
std::optional<EncoderGap> ParseItunSmpb(std::string_view text);

// Looks through the frames of the ID3v2 tag at `tag_offset` of `stream` (its
// version 2, 3 or 4) for that comment: the frame headers are read one by one
// and other frames skipped, so that cover art costs nothing. Frames that are
// compressed or encrypted are passed over; a tag of version 2.3 written
// unsynchronised is read whole when it is small enough (kUnsyncedTagLimit).
// Leaves the stream's position anywhere.
inline constexpr uint32_t kUnsyncedTagLimit = 1u << 20;
std::optional<EncoderGap> ReadItunesGap(FileStream& stream, int64_t tag_offset);

// The same over the tag's bytes in memory (from its "ID3" on).
std::optional<EncoderGap> FindItunesGap(std::span<const uint8_t> tag);

}  // namespace vandrel
