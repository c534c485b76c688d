#include "engine/media/MpcFile.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/io/ByteOrder.h"

namespace vandrel {

namespace {
constexpr int32_t kMpcSampleRate = 44100;
// 1000 / 44100 as the single-precision number the durations were made with.
constexpr float kMillisecondsPerSample = 0.022675738f;
}  // namespace

const char* MpcProfileName(int profile) {
    static constexpr const char* kNames[] = {"Thumb", "Radio", "Standard", "Xtreme", "Insane"};
    return profile >= 0 && profile < 5 ? kNames[profile] : "Unknown";
}

bool CMpcFile::IsSupportedFile(const std::string& path) const {
    CMpcFile probe;
    MpcHeaderSummary summary;
    return probe.Open(path, "rb") && probe.ReadMpcHeader(summary);
}

std::unique_ptr<CMediaFileInterface> CMpcFile::Clone() const {
    return std::make_unique<CMpcFile>(*this);
}

bool CMpcFile::ReadMpcHeader(MpcHeaderSummary& summary) {
    summary.stream_version = 0;
    summary.file_size = SaturatedSize(GetFileSize());
    std::array<uint8_t, 12> head{};
    Stream().Seek(0);
    if (Stream().Read(head) < head.size() || std::memcmp(head.data(), "MP+", 3) != 0) {
        return false;
    }
    const std::span<const uint8_t> h(head);
    const uint32_t w0 = LoadLe32(h);
    const uint32_t w1 = LoadLe32(h.subspan(4));
    const uint32_t w2 = LoadLe32(h.subspan(8));
    const uint32_t version_byte = w0 >> 24;
    if (version_byte >= 7) {
        // SV7 and later: version in the fourth byte, profile in W2.
        summary.stream_version = version_byte;
        summary.auxiliary = 0;
        summary.frame_count = w1;
        summary.mid_side = (w2 >> 30) & 1;
        summary.profile = (w2 & (1u << 23)) != 0 ? (w2 >> 20) & 0x7 : 6;
    } else {
        // SV4 to SV6: the header word holds version and flags.
        summary.auxiliary = w0 >> 23;
        summary.mid_side = (w0 >> 21) & 1;
        summary.stream_version = (w0 >> 11) & 0x3FF;
        summary.profile = 6;
        summary.frame_count = summary.stream_version >= 5 ? w1 : w1 >> 16;
    }
    if (summary.stream_version < 6) {
        summary.frame_count -= 1;  // the last frame of old streams is not counted
    }
    const uint32_t samples = summary.frame_count * 1152u;  // wraps as the format's 32 bits do
    summary.duration_ms = static_cast<uint64_t>(
        static_cast<double>(samples) * static_cast<double>(kMillisecondsPerSample) + 0.5);
    return true;
}

int CMpcFile::Scan(ScanRecord& record, const ScanOptions& /*options*/) {
    record.kind = GetFileTypeCode();
    CopyTextField(record.path, Path());
    FillFileStatus(record.status, Path());
    MpcHeaderSummary summary;
    ReadMpcHeader(summary);
    record.frames = static_cast<int32_t>(summary.frame_count);
    record.length_seconds = static_cast<float>(summary.duration_ms / 1000);
    record.file_size = summary.file_size;
    record.sample_rate = kMpcSampleRate;
    record.mode = summary.mid_side != 0 ? 1 : 0;
    record.is_vbr = 1;
    record.whole_file_scanned = 1;
    // A stream without frames has no duration to divide by.
    record.average_bitrate =
        summary.duration_ms == 0
            ? 0
            : static_cast<int32_t>((summary.file_size * 8u) / summary.duration_ms);
    record.mpc_stream_version = static_cast<int32_t>(summary.stream_version);
    record.mpc_profile = static_cast<int32_t>(summary.profile);
    return 1;
}

}  // namespace vandrel
