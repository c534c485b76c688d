#include "engine/media/WaveFile.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/io/ByteOrder.h"

namespace vandrel {

namespace {
constexpr size_t kWaveHeaderSize = 44;
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
    CopyTextField(record.path, Path());
    // The size and status are not part of the WAVE header, but every view of
    // the record shows them.
    FillFileStatus(record.status, Path());
    record.file_size = SaturatedSize(GetFileSize());

    std::array<uint8_t, kWaveHeaderSize> header{};
    if (Stream().Read(header) < header.size()) {
        return 0;
    }
    const std::span<const uint8_t> h(header);
    record.channels = static_cast<int16_t>(LoadLe16(h.subspan(22)));
    record.sample_rate = static_cast<int32_t>(LoadLe32(h.subspan(24)));
    const uint32_t byte_rate = LoadLe32(h.subspan(28));
    const uint32_t data_size = LoadLe32(h.subspan(40));
    // A zero byte rate (a damaged header) gives no length instead of a
    // division by zero.
    record.length_seconds = byte_rate == 0 ? 0.0f : static_cast<float>(data_size / byte_rate);
    record.average_bitrate = static_cast<int32_t>(uint64_t{byte_rate} * 8 / 1000);
    return 1;
}

}  // namespace vandrel
