#include "store/CacheFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <span>
#include <unordered_map>

#include "engine/frame/FrameHeader.h"
#include "engine/io/AtomicFile.h"
#include "engine/io/ByteOrder.h"
#include "engine/io/FileStream.h"
#include "engine/media/Mp3File.h"
#include "engine/media/MpcFile.h"
#include "engine/media/WaveFile.h"

namespace vandrel {

namespace {

constexpr int64_t kRecordSize = static_cast<int64_t>(kScanRecordSize);

// Longer than any real file: 100 days, 8.6 GB of MPEG audio at 8 kbit/s.
constexpr float kMaxPlausibleSeconds = 100.0f * 24 * 3600;

bool IsPlausibleLength(float seconds) {
    return std::isfinite(seconds) && seconds >= 0.0f && seconds < kMaxPlausibleSeconds;
}

bool IsPlausibleSampleRate(int32_t kind, int32_t rate) {
    if (rate == 0) {
        return true;  // no frame was found
    }
    switch (kind) {
    case kMpegAudioKind:
        return std::find(kSampleRates.begin(), kSampleRates.end(), rate) != kSampleRates.end();
    case kMpegPlusKind:
        return rate > 0 && std::find(kMpegPlusSampleRates.begin(), kMpegPlusSampleRates.end(),
                                     static_cast<uint32_t>(rate)) != kMpegPlusSampleRates.end();
    default:  // WAVE: the rate its header names, whatever it is
        return rate > 0;
    }
}

// A header of another format version: another version or record size, both
// such as a cache could have, in a file exactly as long as the header says.
// Anything else with other words is no cache at all.
bool IsOtherVersionHeader(uint32_t version, uint32_t count, uint32_t record_size,
                          int64_t file_size) {
    constexpr uint32_t kLargestVersion = 1000;
    constexpr uint32_t kLargestRecordSize = 1 << 20;
    if (version == kCacheFileVersion && record_size == kScanRecordSize) {
        return false;
    }
    return version > 0 && version < kLargestVersion && record_size > 0 &&
           record_size <= kLargestRecordSize &&
           file_size == static_cast<int64_t>(kCacheHeaderSize) + int64_t{count} * record_size;
}

constexpr uint64_t kFnvOffsetBasis = 0xCBF29CE484222325;
constexpr uint64_t kFnvPrime = 0x100000001B3;

uint64_t Fnv1a64(std::span<const uint8_t> bytes) {
    uint64_t digest = kFnvOffsetBasis;
    for (const uint8_t byte : bytes) {
        digest = (digest ^ byte) * kFnvPrime;
    }
    return digest;
}

// The checks of a checks file by record key, each with the digest of the
// record it belongs to; empty when the file is missing, of another version or
// damaged anywhere.
struct ChecksEntry {
    uint64_t record_digest;
    FileChecks checks;
};
std::unordered_map<std::string, ChecksEntry> ReadChecksFile(const std::string& path) {
    std::unordered_map<std::string, ChecksEntry> entries;
    FileStream file;
    if (!file.Open(path, "rb") || file.Size() < static_cast<int64_t>(kChecksHeaderSize)) {
        return entries;
    }
    std::array<uint8_t, kChecksHeaderSize> header{};
    if (file.Read(header) != header.size()) {
        return entries;
    }
    const std::span<const uint8_t> h(header);
    const uint32_t count = LoadLe32(h.subspan(8));
    const int64_t body_size = int64_t{count} * static_cast<int64_t>(kChecksEntrySize);
    // Exactly as long as the header says: a file cut short or with bytes
    // after its entries is damaged.
    if (LoadLe32(h) != kChecksFileMagic || LoadLe32(h.subspan(4)) != kChecksFileVersion ||
        LoadLe32(h.subspan(12)) != kChecksEntrySize ||
        file.Size() != static_cast<int64_t>(kChecksHeaderSize) + body_size) {
        return entries;
    }
    std::vector<uint8_t> body(static_cast<size_t>(body_size));
    if (file.Read(body) != body.size() || Fnv1a64(body) != LoadLe64(h.subspan(16))) {
        return entries;
    }
    entries.reserve(count);
    for (size_t at = 0; at < body.size(); at += kChecksEntrySize) {
        const std::span<const uint8_t> entry = std::span(body).subspan(at, kChecksEntrySize);
        const auto path_field = entry.subspan(kChecksEntryPathOffset, kRecordPathCapacity);
        const auto end = std::find(path_field.begin(), path_field.end(), uint8_t{0});
        if (end == path_field.end()) {
            continue;  // no terminator: no path
        }
        entries.insert_or_assign(
            std::string(path_field.begin(), end),
            ChecksEntry{LoadLe64(entry.subspan(kChecksEntryDigestOffset)),
                        ChecksFromImage(
                            entry.subspan(kChecksEntryImageOffset).first<kFileChecksImageSize>())});
    }
    return entries;
}

}  // namespace

uint64_t RecordDigest(const ScanRecord& record) {
    return Fnv1a64(ToImage(record));
}

std::string ChecksFilePath(const std::string& cache_path) {
    return FollowLinks(cache_path) + kChecksFileSuffix;
}

bool IsPlausibleRecord(const ScanRecord& record) {
    const std::string_view path = RecordPath(record);
    if (path.empty() || path.size() >= kRecordPathCapacity) {
        return false;  // no path, or one without its terminator
    }
    if (record.kind != kMpegAudioKind && record.kind != kWaveFileKind &&
        record.kind != kMpegPlusKind) {
        return false;
    }
    // The layer picks a row of the bitrate tables by arithmetic.
    if (record.layer < 0 || record.layer > 3) {
        return false;
    }
    // Lengths are turned into whole seconds for the texts.
    if (!IsPlausibleLength(record.length_seconds) || !IsPlausibleLength(record.walked_seconds)) {
        return false;
    }
    if (record.frames < 0 || record.sync_errors < 0 || record.channels < 0) {
        return false;
    }
    return IsPlausibleSampleRate(record.kind, record.sample_rate) &&
           std::isfinite(record.xing.peak_amplitude);
}

CacheFileKind ClassifyCacheFile(const std::string& path, uint32_t* version) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return errno == ENOENT ? CacheFileKind::kAbsent : CacheFileKind::kForeign;
    }
    FileStream file;
    if (!file.Open(path, "rb")) {
        return CacheFileKind::kForeign;
    }
    if (file.Size() == 0) {
        return CacheFileKind::kEmpty;
    }
    std::array<uint8_t, kCacheHeaderSize> header{};
    if (file.Read(header) != header.size()) {
        return CacheFileKind::kForeign;
    }
    const std::span<const uint8_t> h(header);
    const uint32_t found = LoadBe32(h);
    const uint32_t record_size = LoadBe32(h.subspan(8));
    if (found == kCacheFileVersion && record_size == kScanRecordSize) {
        return CacheFileKind::kCache;
    }
    if (IsOtherVersionHeader(found, LoadBe32(h.subspan(4)), record_size, file.Size())) {
        if (version != nullptr) {
            *version = found;
        }
        return CacheFileKind::kOtherVersion;
    }
    return CacheFileKind::kForeign;
}

bool IsCacheFileOrAbsent(const std::string& path) {
    const CacheFileKind kind = ClassifyCacheFile(path);
    return kind == CacheFileKind::kAbsent || kind == CacheFileKind::kEmpty ||
           kind == CacheFileKind::kCache;
}

std::string OldVersionPath(const std::string& cache_path) {
    return FollowLinks(cache_path) + kOldVersionSuffix;
}

std::vector<std::string> CacheCompanionPaths(const std::string& cache_path) {
    const std::string old_version = OldVersionPath(cache_path);
    return {ChecksFilePath(cache_path), FollowLinks(cache_path) + kLockFileSuffix, old_version,
            ChecksFilePath(old_version)};
}

CacheFileContent ReadCacheFile(const std::string& path) {
    CacheFileContent content;
    FileStream file;
    // The header needs 12 bytes; a shorter file is no cache.
    if (!file.Open(path, "rb") || file.Size() < static_cast<int64_t>(kCacheHeaderSize)) {
        return content;
    }
    std::array<uint8_t, kCacheHeaderSize> header{};
    if (file.Read(header) != header.size()) {
        return content;
    }
    const std::span<const uint8_t> h(header);
    const auto version = LoadBe32(h);
    const auto count = static_cast<int32_t>(LoadBe32(h.subspan(4)));
    const auto record_size = LoadBe32(h.subspan(8));
    const int64_t end = static_cast<int64_t>(kCacheHeaderSize) + int64_t{count} * kRecordSize;
    if (version != kCacheFileVersion || record_size != kScanRecordSize) {
        content.other_version =
            IsOtherVersionHeader(version, static_cast<uint32_t>(count), record_size, file.Size());
        return content;
    }
    // A file shorter than its header says is dropped whole.
    if (count < 0 || end > file.Size()) {
        return content;
    }
    ScanRecordImage image;
    for (int32_t i = 0; i < count; ++i) {
        if (file.Read(image) != image.size()) {
            return {};  // the file shrank while it was read
        }
        ScanRecord record = FromImage(image);
        // A relative path (of a file made by an older version) is taken as
        // relative to the current folder.
        std::optional<std::string> key;
        if (IsPlausibleRecord(record)) {
            key = CacheKeyOf(RecordPath(record));
        }
        if (!key) {
            ++content.left_out;
            continue;
        }
        CopyTextField(record.path, *key);
        content.records.push_back(CacheEntry{record, std::nullopt, 0});
    }
    content.valid = true;
    if (content.records.empty()) {
        return content;
    }
    // A checks entry goes with the record it was saved with, and with no
    // other: not with a record another run (or an older build) has put in
    // its place since.
    auto checks = ReadChecksFile(ChecksFilePath(path));
    for (CacheEntry& entry : content.records) {
        const auto found = checks.find(std::string(RecordPath(entry.record)));
        if (found != checks.end() && found->second.record_digest == RecordDigest(entry.record)) {
            entry.checks = found->second.checks;
            checks.erase(found);  // one record per key: the first, as RebuildIndex keeps
        }
    }
    return content;
}

std::string CacheFileBytes(const CacheRecordList& records) {
    std::string bytes(kCacheHeaderSize + records.size() * kScanRecordSize, '\0');
    const std::span<uint8_t> out(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
    StoreBe32(out, kCacheFileVersion);
    StoreBe32(out.subspan(4), static_cast<uint32_t>(records.size()));
    StoreBe32(out.subspan(8), static_cast<uint32_t>(kScanRecordSize));
    size_t offset = kCacheHeaderSize;
    for (const CacheEntry& entry : records) {
        const ScanRecordImage image = ToImage(entry.record);
        std::copy(image.begin(), image.end(), out.begin() + static_cast<ptrdiff_t>(offset));
        offset += kScanRecordSize;
    }
    return bytes;
}

std::string ChecksFileBytes(const CacheRecordList& records) {
    const auto count = static_cast<size_t>(
        std::count_if(records.begin(), records.end(),
                      [](const CacheEntry& entry) { return entry.checks.has_value(); }));
    if (count == 0) {
        return {};
    }
    std::string bytes(kChecksHeaderSize + count * kChecksEntrySize, '\0');
    const std::span<uint8_t> out(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
    size_t offset = kChecksHeaderSize;
    for (const CacheEntry& entry : records) {
        if (!entry.checks) {
            continue;
        }
        const std::span<uint8_t> at = out.subspan(offset, kChecksEntrySize);
        const std::string_view path = RecordPath(entry.record);  // shorter than the field
        std::copy(path.begin(), path.end(), at.begin() + kChecksEntryPathOffset);
        StoreLe64(at.subspan(kChecksEntryDigestOffset), RecordDigest(entry.record));
        const FileChecksImage image = ToImage(*entry.checks);
        std::copy(image.begin(), image.end(), at.begin() + kChecksEntryImageOffset);
        offset += kChecksEntrySize;
    }
    StoreLe32(out, kChecksFileMagic);
    StoreLe32(out.subspan(4), kChecksFileVersion);
    StoreLe32(out.subspan(8), static_cast<uint32_t>(count));
    StoreLe32(out.subspan(12), static_cast<uint32_t>(kChecksEntrySize));
    StoreLe64(out.subspan(16), Fnv1a64(out.subspan(kChecksHeaderSize)));
    return bytes;
}

bool WriteChecksFile(const std::string& cache_path, std::string_view bytes, std::string* error) {
    const std::string path = ChecksFilePath(cache_path);
    if (!bytes.empty()) {
        return WriteFileAtomically(path, bytes, error);
    }
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        *error = "Cannot remove " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace vandrel
