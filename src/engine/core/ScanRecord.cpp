#include "engine/core/ScanRecord.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

#include "engine/io/ByteOrder.h"

namespace vandrel {

static_assert(std::is_trivially_copyable_v<ScanRecord>);

namespace {

// Runs of multi-byte numbers in the image: offset, width of one number, count.
// Everything else is bytes or text. Only a big-endian host needs this table.
struct NumberRun {
    size_t offset;
    size_t width;
    size_t count;
};

constexpr NumberRun kNumberRuns[] = {
    {0, 4, 3},    {140, 4, 3},   {184, 4, 34}, {320, 8, 1},  {328, 4, 1},  {336, 8, 20},
    {496, 4, 14}, {564, 4, 8},   {608, 4, 2},  {620, 4, 8},  {664, 4, 1},  {672, 4, 1},
    {680, 4, 1},  {684, 2, 1},   {688, 4, 1},  {692, 2, 1},  {696, 4, 1},  {700, 2, 3},
    {708, 4, 2},  {716, 2, 515}, {1748, 4, 2}, {2016, 4, 1}, {2020, 2, 5}, {2032, 4, 5},
};

[[maybe_unused]] void SwapNumbers(ScanRecordImage& image) {
    for (const NumberRun& run : kNumberRuns) {
        for (size_t i = 0; i < run.count; ++i) {
            uint8_t* p = image.data() + run.offset + i * run.width;
            std::reverse(p, p + run.width);
        }
    }
}

std::string_view TextField(const char* field, size_t capacity) {
    return {field, strnlen(field, capacity)};
}

}  // namespace

ScanRecord ZeroRecord() {
    ScanRecord record;
    std::memset(&record, 0, sizeof record);
    return record;
}

ScanRecordImage ToImage(const ScanRecord& record) {
    ScanRecordImage image;
    std::memcpy(image.data(), &record, kScanRecordSize);
    if constexpr (std::endian::native == std::endian::big) {
        SwapNumbers(image);
    }
    return image;
}

ScanRecord FromImage(std::span<const uint8_t, kScanRecordSize> image) {
    ScanRecordImage copy;
    std::copy(image.begin(), image.end(), copy.begin());
    if constexpr (std::endian::native == std::endian::big) {
        SwapNumbers(copy);
    }
    ScanRecord record;
    std::memcpy(&record, copy.data(), kScanRecordSize);
    return record;
}

std::string_view RecordPath(const ScanRecord& record) {
    return TextField(record.path, sizeof record.path);
}

std::string_view EncoderText(const ScanRecord& record) {
    return TextField(record.encoder_text, sizeof record.encoder_text);
}

std::string_view LameVersion(const ScanRecord& record) {
    return TextField(record.xing.lame_version, sizeof record.xing.lame_version);
}

void StoreMpegFileSize(ScanRecord& record, uint64_t size) {
    record.file_size = SaturatedSize(size);
    if (size > kRecordSizeLimit) {
        StoreLe32(record.kind_fields, static_cast<uint32_t>(size));
        StoreLe32(record.large_size_high, static_cast<uint32_t>(size >> 32));
    }
}

uint64_t RecordFileSize(const ScanRecord& record) {
    // Only MPEG audio records keep the whole size, and only when the
    // saturated field could not: then the high word is never zero.
    constexpr int32_t kMpegAudio = 1;
    const uint64_t high = LoadLe32(record.large_size_high);
    if (record.kind != kMpegAudio || record.file_size != kRecordSizeLimit || high == 0) {
        return record.file_size;
    }
    return high << 32 | LoadLe32(record.kind_fields);
}

uint64_t RecordAudioBytes(const ScanRecord& record) {
    const uint64_t size = RecordFileSize(record);
    return record.non_audio_bytes < size ? size - record.non_audio_bytes : size;
}

void CopyTextField(std::span<char> field, std::string_view text) {
    if (field.empty()) {
        return;
    }
    size_t n = std::min(text.size(), field.size() - 1);
    std::copy_n(text.data(), n, field.data());
    std::fill(field.begin() + static_cast<std::ptrdiff_t>(n), field.end(), '\0');
}

void FillFileStatus(RecordFileStatus& status, const std::string& path) {
    struct stat st {};
    std::memset(&status, 0, sizeof status);
    if (stat(path.c_str(), &st) != 0) {
        return;
    }
    // The record keeps the narrow widths of its format; wider values are cut.
    status.device = static_cast<uint32_t>(st.st_dev);
    status.serial = static_cast<uint16_t>(st.st_ino);
    status.mode = static_cast<uint16_t>(st.st_mode);
    status.link_count = static_cast<int16_t>(st.st_nlink);
    status.user_id = static_cast<int16_t>(st.st_uid);
    status.group_id = static_cast<int16_t>(st.st_gid);
    status.raw_device = static_cast<uint32_t>(st.st_rdev);
    status.size = static_cast<int32_t>(st.st_size);
    status.access_time = static_cast<int32_t>(st.st_atime);
    status.modification_time = static_cast<int32_t>(st.st_mtime);
    status.change_time = static_cast<int32_t>(st.st_ctime);
}

}  // namespace vandrel
