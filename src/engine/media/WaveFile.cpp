#include "engine/media/WaveFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string_view>

#include "engine/io/ByteOrder.h"

namespace vandrel {

namespace {

// The record bytes that keep what only a WAVE file has (see WaveFormatTag).
constexpr size_t kRecordFormatTag = 0;
constexpr size_t kRecordBitsPerSample = 2;

std::span<uint8_t, 4> WaveFieldsOf(ScanRecord& record) {
    return record.kind_fields;
}

std::span<const uint8_t, 4> WaveFieldsOf(const ScanRecord& record) {
    return record.kind_fields;
}

}  // namespace

uint16_t WaveFormatTag(const ScanRecord& record) {
    return LoadLe16(WaveFieldsOf(record).subspan(kRecordFormatTag));
}

uint16_t WaveBitsPerSample(const ScanRecord& record) {
    return LoadLe16(WaveFieldsOf(record).subspan(kRecordBitsPerSample));
}

bool CWaveFile::IsSupportedFile(const std::string& path) const {
    CWaveFile probe;
    if (!probe.Open(path, "rb")) {
        return false;
    }
    std::array<uint8_t, 12> head{};
    const bool whole = probe.Stream().Read(head) == head.size();
    probe.Close();
    return whole && std::memcmp(head.data(), "RIFF", 4) == 0 &&
           std::memcmp(head.data() + 8, "WAVE", 4) == 0;
}

std::unique_ptr<CMediaFileInterface> CWaveFile::Clone() const {
    return std::make_unique<CWaveFile>(*this);
}

int CWaveFile::Scan(ScanRecord& record, const ScanOptions& /*options*/) {
    record.kind = GetFileTypeCode();
    CopyTextField(record.path, Path());
    // The size and status are not part of the WAVE header, but every view of
    // the record shows them.
    FillFileStatus(record.status, Path());
    record.file_size = SaturatedSize(GetFileSize());

    const WaveLayout layout = WalkWaveChunks(Stream());
    if (!layout.format) {
        return 0;
    }
    const WaveFormat& format = *layout.format;
    record.channels = format.channels;
    record.sample_rate = static_cast<int32_t>(
        std::min<uint32_t>(format.sample_rate, std::numeric_limits<int32_t>::max()));
    record.average_bitrate = static_cast<int32_t>(uint64_t{format.byte_rate} * 8 / 1000);
    // A zero byte rate (a damaged header) gives no length instead of a
    // division by zero; no "data" chunk gives none either.
    record.length_seconds =
        format.byte_rate == 0
            ? 0.0f
            : static_cast<float>(static_cast<double>(layout.data_bytes.value_or(0)) /
                                 format.byte_rate);
    StoreLe16(WaveFieldsOf(record).subspan(kRecordFormatTag), format.format_tag);
    StoreLe16(WaveFieldsOf(record).subspan(kRecordBitsPerSample), format.bits_per_sample);
    return 1;
}

}  // namespace vandrel
