#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "engine/io/FileStream.h"

namespace vandrel {

// Format tags of the "fmt " chunk that the texts name.
constexpr uint16_t kWaveFormatPcm = 0x0001;
constexpr uint16_t kWaveFormatMsAdpcm = 0x0002;
constexpr uint16_t kWaveFormatIeeeFloat = 0x0003;
constexpr uint16_t kWaveFormatAlaw = 0x0006;
constexpr uint16_t kWaveFormatMulaw = 0x0007;
constexpr uint16_t kWaveFormatImaAdpcm = 0x0011;
// The real format is then named by the first two bytes of a sub-format GUID.
constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

// The fields of a "fmt " chunk this program uses.
struct WaveFormat {
    uint16_t format_tag = 0;  // the sub-format's tag for an extensible chunk
    uint16_t channels = 0;
    uint32_t sample_rate = 0;  // Hz
    uint32_t byte_rate = 0;    // bytes per second of audio
    uint16_t bits_per_sample = 0;
};

// Decodes the body of a "fmt " chunk (as much of it as was read). Nothing when
// it is too short to hold the fields every format has.
std::optional<WaveFormat> ParseWaveFormat(std::span<const uint8_t> body);

// Where a RIFF/WAVE file keeps its format and its audio.
struct WaveLayout {
    std::optional<WaveFormat> format;
    // The first byte of the "data" chunk's body, and the audio bytes the
    // file really holds there; no size when there is no "data" chunk.
    int64_t data_offset = 0;
    std::optional<uint64_t> data_bytes;
};

// Walks the chunks after the RIFF header up to the first "fmt " and "data".
// The RIFF size is not trusted (writers that stream leave it wrong); the file's
// real size bounds every step instead.
WaveLayout WalkWaveChunks(FileStream& stream);

}  // namespace vandrel
