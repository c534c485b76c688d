#include "engine/tags/WaveChunks.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "engine/io/ByteOrder.h"

namespace vandrel {

namespace {

// "RIFF", the RIFF size, "WAVE"; the chunks follow.
constexpr int64_t kRiffHeaderSize = 12;
// A chunk: a four-character id, a 32-bit little-endian body size, the body,
// and one pad byte after a body of odd size.
constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kChunkId = 0;
constexpr size_t kChunkSize = 4;

// The "fmt " body. The oldest writers end it after the block align; the
// bits per sample follow from 16 bytes on, and the extensible form carries a
// 22-byte extension after its own size field.
constexpr size_t kFmtFormatTag = 0;
constexpr size_t kFmtChannels = 2;
constexpr size_t kFmtSampleRate = 4;
constexpr size_t kFmtByteRate = 8;
constexpr size_t kFmtBitsPerSample = 14;
constexpr size_t kFmtSubFormat = 24;  // a GUID whose first two bytes are the real format tag
constexpr size_t kFmtMinimumSize = 14;
constexpr size_t kFmtExtensibleSize = 40;

// Real files hold a handful of chunks before the audio. A damaged or hostile
// file of empty chunks would otherwise be walked eight bytes at a time.
constexpr int kMaxChunks = 4096;

bool HasId(std::span<const uint8_t> chunk_header, std::string_view id) {
    return std::memcmp(chunk_header.data() + kChunkId, id.data(), 4) == 0;
}

}  // namespace

std::optional<WaveFormat> ParseWaveFormat(std::span<const uint8_t> body) {
    if (body.size() < kFmtMinimumSize) {
        return std::nullopt;
    }
    WaveFormat format;
    format.format_tag = LoadLe16(body.subspan(kFmtFormatTag));
    format.channels = LoadLe16(body.subspan(kFmtChannels));
    format.sample_rate = LoadLe32(body.subspan(kFmtSampleRate));
    format.byte_rate = LoadLe32(body.subspan(kFmtByteRate));
    if (body.size() >= kFmtBitsPerSample + 2) {
        format.bits_per_sample = LoadLe16(body.subspan(kFmtBitsPerSample));
    }
    // An extensible chunk cut before its sub-format keeps the extensible tag.
    if (format.format_tag == kWaveFormatExtensible && body.size() >= kFmtExtensibleSize) {
        format.format_tag = LoadLe16(body.subspan(kFmtSubFormat));
    }
    return format;
}

WaveLayout WalkWaveChunks(FileStream& stream) {
    const int64_t file_size = stream.Size();
    WaveLayout layout;
    int64_t position = kRiffHeaderSize;
    for (int chunk = 0; chunk < kMaxChunks && !(layout.format && layout.data_bytes); ++chunk) {
        stream.Seek(position);
        std::array<uint8_t, kChunkHeaderSize> header{};
        if (stream.Read(header) < header.size()) {
            break;
        }
        const int64_t body = position + static_cast<int64_t>(kChunkHeaderSize);
        const int64_t size = LoadLe32(std::span<const uint8_t>(header).subspan(kChunkSize));
        // A file that grew since it was opened reads past its measured size.
        const int64_t present = std::clamp<int64_t>(file_size - body, 0, size);
        if (HasId(header, "fmt ") && !layout.format) {
            std::array<uint8_t, kFmtExtensibleSize> fmt{};
            const auto wanted = static_cast<size_t>(std::min<int64_t>(present, fmt.size()));
            const size_t got = stream.Read(std::span(fmt).first(wanted));
            layout.format = ParseWaveFormat(std::span(fmt).first(got));
        } else if (HasId(header, "data") && !layout.data_bytes) {
            layout.data_offset = body;
            layout.data_bytes = static_cast<uint64_t>(present);
        }
        if (present < size) {
            break;  // the chunk runs past the end: nothing follows it
        }
        position = body + size + (size & 1);
    }
    return layout;
}

}  // namespace vandrel
