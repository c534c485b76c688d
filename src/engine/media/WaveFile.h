#pragma once

#include <memory>

#include "engine/media/MediaFile.h"

namespace vandrel {

// A RIFF/WAVE file: only its canonical 44-byte header is read.
class CWaveFile : public CMediaFile {
public:
    CWaveFile() = default;
    CWaveFile(const CWaveFile& other) = default;
    CWaveFile& operator=(const CWaveFile&) = delete;

    // "RIFF" at 0 and "WAVE" at 8.
    bool IsSupportedFile(const std::string& path) const override;
    std::unique_ptr<CMediaFileInterface> Clone() const override;
    int Scan(ScanRecord& record, const ScanOptions& options) override;
    int GetFileTypeCode() const override { return 3; }
    int GetFeatureMask() const override { return 0; }
};

}  // namespace vandrel
