#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vandrel {

// Bytes read from each end of a file when looking for an encoder's text.
constexpr size_t kEncoderTextBlock = 1024;

// Looks for an encoder's signature in a block of bytes: "LAME" with its
// version, the mp3PRO encoders' names with theirs, or else "VBRI", "MPGE" or
// "GOGO". Empty when none is there.
std::string SignatureFromBlock(std::span<const uint8_t> block);

// The displayed encoder name for a found signature or LAME version string;
// empty when it names no encoder.
std::string NameFromText(std::string_view text);

}  // namespace vandrel
