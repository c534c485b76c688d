#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/core/TextPageData.h"
#include "engine/media/MediaFile.h"

namespace vandrel {

// The file type code of MPEG Plus files, which their records carry as `kind`.
constexpr int kMpegPlusKind = 4;

// The sampling rates a stream version 8 header can name, by its rate index.
// Older stream versions are always 44100 Hz.
inline constexpr std::array<uint32_t, 4> kMpegPlusSampleRates = {44100, 48000, 37800, 32000};

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

// What the packets of a stream version 8 file ("MPCK") say before its audio:
// the stream header ("SH") and the encoder information ("EI").
struct MpcPacketSummary {
    uint32_t stream_version = 0;
    uint64_t sample_count = 0;       // 0: not known
    uint64_t beginning_silence = 0;  // samples a player drops at the start
    uint32_t sample_rate = 0;
    uint32_t max_bands = 0;
    uint32_t channels = 0;
    uint32_t mid_side = 0;
    uint32_t frames_per_packet = 0;  // frames of 1152 samples in each audio packet
    bool has_encoder_info = false;
    uint32_t profile = 0;  // profile number in eighths: 80 is 10, "Standard" (--quality 5)
    uint32_t pns = 0;
    uint32_t encoder_major = 0;
    uint32_t encoder_minor = 0;
    uint32_t encoder_build = 0;
    int64_t first_audio_offset = -1;  // -1: no audio packet before the walk stopped
};

// The packet format's stream version: the only one whose header layout we know.
inline constexpr uint32_t kMpcPacketStreamVersion = 8;

// A file that starts "MPCK" but has no stream header we can read.
inline constexpr const char* kNoMpcStreamHeaderMessage =
    "No valid stream header in this MPEG Plus (SV8) file";

// Profile codes 0..4 by name; anything else "Unknown".
const char* MpcProfileName(int profile);
// A stream version 8 profile, given in eighths of the profile number
// (8 "Thumb" to 12 "Insane", as mpcenc numbers its qualities 3 to 7).
const char* MpcPacketProfileName(int profile_eighths);
// The profile text of an MPEG Plus record, whichever scale its version uses.
const char* MpcRecordProfileName(int32_t stream_version, int32_t profile);

// An MPEG Plus (Musepack) file: measured from its stream header (for version
// 8, the packets before the audio), never decoded.
class CMpcFile : public CMediaFile {
public:
    CMpcFile() { text_page_.layout = TextPageLayout::kMpegPlus; }
    CMpcFile(const CMpcFile& other) = default;
    CMpcFile& operator=(const CMpcFile&) = delete;

    // Accepts files that start with "MP+" (stream versions 4 to 7) or "MPCK"
    // (version 8).
    bool IsSupportedFile(const std::string& path) const override;
    std::unique_ptr<CMediaFileInterface> Clone() const override;
    // Throws ScanError for an "MPCK" file without a readable stream header.
    int Scan(ScanRecord& record, const ScanOptions& options) override;
    int GetFileTypeCode() const override { return kMpegPlusKind; }
    int GetFeatureMask() const override { return kFeatureDetails; }

    // One "Text Info" tab with the texts of the last record given.
    bool SetScanResult(const ScanRecord& record) override;
    bool CreatePages(std::string_view font_face, PageHost& host, int option) override;
    bool MovePages(const PageRect& rect) override;
    bool ShowPage(int tab) override;
    const TextPageData& TextPage() const { return text_page_; }

    // Reads the header of the open file; false unless it starts with "MP+".
    bool ReadMpcHeader(MpcHeaderSummary& summary);
    // Walks the packets of the open file up to its first audio packet; false
    // unless it starts with "MPCK" and holds a stream header of version 8.
    bool ReadMpcPackets(MpcPacketSummary& summary);

private:
    bool HasPacketMagic();
    void FillFromPackets(ScanRecord& record);

    TextPageData text_page_;
};

}  // namespace vandrel
