#pragma once

#include <cstdint>
#include <memory>

#include "engine/media/MediaFile.h"

namespace vandrel {

// The fixed stream header at the start of an MPEG Plus file.
struct MpcHeaderSummary {
    uint32_t stream_version = 0;
    uint32_t auxiliary = 0;
    uint32_t frame_count = 0;
    uint32_t mid_side = 0;
    uint32_t file_size = 0;
    uint32_t profile = 6;  // 6: unknown
    uint64_t duration_ms = 0;
};

// Profile codes 0..4 by name; anything else "Unknown".
const char* MpcProfileName(int profile);

// An MPEG Plus (Musepack) file: measured from its stream header, not walked.
class CMpcFile : public CMediaFile {
public:
    CMpcFile() = default;
    CMpcFile(const CMpcFile& other) = default;
    CMpcFile& operator=(const CMpcFile&) = delete;

    // Accepts files that start with "MP+".
    bool IsSupportedFile(const std::string& path) const override;
    std::unique_ptr<CMediaFileInterface> Clone() const override;
    int Scan(ScanRecord& record, const ScanOptions& options) override;
    int GetFileTypeCode() const override { return 4; }
    int GetFeatureMask() const override { return kFeatureDetails; }

    // Reads the header of the open file; false unless it starts with "MP+".
    bool ReadMpcHeader(MpcHeaderSummary& summary);
};

}  // namespace vandrel
