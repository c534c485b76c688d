#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "engine/media/MediaFile.h"

namespace vandrel {

// The file type code of WAVE files, which their records carry as `kind`.
constexpr int kWaveFileKind = 3;

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

// A WAVE record keeps the format tag and the bits per sample, which MPEG
// records have no field for, little-endian in the four bytes after
// `sync_errors`. Every other kind leaves those bytes zero.
uint16_t WaveFormatTag(const ScanRecord& record);
uint16_t WaveBitsPerSample(const ScanRecord& record);

// A RIFF/WAVE file: its chunks are walked for "fmt " and "data".
class CWaveFile : public CMediaFile {
public:
    CWaveFile() = default;
    CWaveFile(const CWaveFile& other) = default;
    CWaveFile& operator=(const CWaveFile&) = delete;

    // "RIFF" at 0 and "WAVE" at 8.
    bool IsSupportedFile(const std::string& path) const override;
    std::unique_ptr<CMediaFileInterface> Clone() const override;
    // Returns 0 when the file has no usable "fmt " chunk; a file with a format
    // but no "data" chunk has no length.
    int Scan(ScanRecord& record, const ScanOptions& options) override;
    int GetFileTypeCode() const override { return kWaveFileKind; }
    int GetFeatureMask() const override { return 0; }
};

}  // namespace vandrel
