#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/core/ScanRecord.h"

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

// The row of the decision table that names a file's encoder from its frame
// statistics (1..26), used when the file holds no encoder text.
int EncoderDecisionRow(const ScanRecord& record);

// The displayed encoder name: the encoder text found in the file, or the
// answer of the decision table (for Layer III; "Unknown" for Layer I and II).
// A text made from another program's LAME-style tag ("Lame (Lavc59.37)")
// names Shine instead of lame ("Shine (Lavc59.37)") when the walk found
// Shine's frames: no short or mixed block and no reservoir use in ten frames
// or more. The name comes from the record alone, so a cached record gives it
// too.
std::string IdentifyEncoder(const ScanRecord& record);

}  // namespace vandrel
