#pragma once

#include <cstdint>
#include <memory>

#include "engine/media/MediaFile.h"
#include "engine/tags/WaveChunks.h"

namespace vandrel {

// The file type code of WAVE files, which their records carry as `kind`.
constexpr int kWaveFileKind = 3;

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
