#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/core/FrameSeries.h"
#include "engine/core/ScanRecord.h"
#include "engine/frame/FrameHeader.h"

namespace vandrel {

// Bytes that the parse of one frame looks at: the header, its 16-bit CRC and
// the longest Layer III side information (MPEG-1 stereo, 32 bytes), plus eight
// bytes so that every field can be taken from one 64-bit load.
constexpr size_t kFrameParseBytes = 4 + 2 + 32 + 8;

// Parses the frame that starts at bytes[0]: decodes its header into `header`,
// checks it against the record's reference values and counts its Layer III
// side information into the record and, when given, the series. Returns the
// frame's length; 0 when the header is invalid; minus the length when the
// header is valid but disagrees with the reference (nothing is counted, but a
// channel or sample-rate change still moves the reference).
// The record's average reservoir use is left to the caller, which divides
// the reservoir sum by the frames counted once, not per frame.
int ParseFrame(std::span<const uint8_t, kFrameParseBytes> bytes, ScanRecord& record,
               FrameSeries* series, FrameHeader& header);

}  // namespace vandrel
