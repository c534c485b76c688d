#include "store/DataCache.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "engine/core/SettingsTable.h"
#include "engine/frame/FrameHeader.h"
#include "engine/io/AtomicFile.h"
#include "engine/io/ByteOrder.h"
#include "engine/io/FileStream.h"
#include "engine/media/Mp3File.h"
#include "engine/media/MpcFile.h"
#include "engine/media/WaveFile.h"
#include "store/Log.h"
#include "store/ProcessValues.h"

namespace vandrel {

namespace {

constexpr const char* kSettingsSection = "cache";
constexpr auto kSettingKeys = std::to_array<SettingKey<CacheSettings>>({
    Key<&CacheSettings::path>("path"),
    Key<&CacheSettings::max_size>("max_size"),
    Key<&CacheSettings::enabled>("enabled"),
});

constexpr int64_t kRecordSize = static_cast<int64_t>(kScanRecordSize);

// Longer than any real file: 100 days, 8.6 GB of MPEG audio at 8 kbit/s.
constexpr float kMaxPlausibleSeconds = 100.0f * 24 * 3600;

constexpr const char* kLockFileSuffix = ".lock";

// A record answers for the file it was made from as long as that is
// unchanged: the same device and inode (the record keeps the inode's low 16
// bits), so that another file that takes the path (a copy moved over it) is
// not mistaken for it, and the same modification time and size. The size
// catches a rewrite within the same second, which the 32-bit seconds of the
// time alone would miss.
bool SameFileState(const RecordFileStatus& a, const RecordFileStatus& b) {
    return a.device == b.device && a.serial == b.serial &&
           a.modification_time == b.modification_time && a.size == b.size;
}

// The key a file's record is kept under: its absolute, lexically normal path.
// Only a relative path asks the system anything (the current folder).
// Nothing when there is no current folder or the key would not fit a
// record's path field whole.
std::optional<std::string> CacheKeyOf(std::string_view path) {
    if (path.empty()) {
        return std::nullopt;
    }
    std::error_code failure;
    const std::filesystem::path absolute = std::filesystem::absolute(path, failure);
    if (failure) {
        return std::nullopt;
    }
    std::string key = absolute.lexically_normal().string();
    if (!FitsRecordPath(key)) {
        return std::nullopt;
    }
    return key;
}

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

// An advisory lock on the file beside the cache ("<cache>.lock"), held while
// a save reads, merges and replaces the cache, so that runs that save at once
// take turns and none loses what another has just written. The lock file is
// never deleted: a run that removed it while another had just opened it
// would let a third lock a new file of that name, and two would hold the
// "same" lock. Loading takes no lock: the cache file is only ever replaced
// whole by a rename, so a reader sees one version or the other.
class SaveLock {
public:
    explicit SaveLock(const std::string& cache_path) {
        // Beside the file itself, so that runs reaching it through
        // different links take the same lock.
        const std::string path = FollowLinks(cache_path) + kLockFileSuffix;
        fd_ = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            // A folder that cannot be written: the save goes on without the
            // lock (and most likely fails to write the cache file, too).
            const int error = errno;
            Log([&] { return "CDataCache::Save: no lock: " + path + ": " + std::strerror(error); });
            return;
        }
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                const int error = errno;
                Log([&] {
                    return "CDataCache::Save: no lock: " + std::string(std::strerror(error));
                });
                break;
            }
        }
    }
    ~SaveLock() {
        if (fd_ >= 0) {
            ::close(fd_);  // releases the lock
        }
    }
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;

private:
    int fd_ = -1;
};

// Whether the record holds the frames asked for: all of them (a walk to the
// end) or at least `frame_limit`.
bool Covers(const ScanRecord& record, int frame_limit) {
    return record.whole_file_scanned != 0 || (frame_limit != -1 && record.frames >= frame_limit);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
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

bool IsReadableFile(const std::string& path) {
    FileStream probe;
    return probe.Open(path, "rb");
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

// Replaces the checks file of the cache at `cache_path` with `bytes`, or
// removes it when there are none (a cache without checks leaves no file).
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

// Moves the cache file of another format version at `path` (its links
// followed) to OldVersionPath, its checks with it, under the save lock so
// that runs starting together move it once. What became of it, for the
// user; nothing when another run has moved it meanwhile. `left_in_place`
// when it could not be moved.
std::optional<std::string> MoveOtherVersionAside(const std::string& path, bool& left_in_place) {
    const SaveLock lock(path);
    uint32_t version = 0;
    if (ClassifyCacheFile(path, &version) != CacheFileKind::kOtherVersion) {
        return std::nullopt;
    }
    const std::string real = FollowLinks(path);
    const std::string kept = OldVersionPath(path);
    const std::string what = "the cache file " + path + " is of another format version (" +
                             std::to_string(version) + "; this program's is " +
                             std::to_string(kCacheFileVersion) + ")";
    if (::rename(real.c_str(), kept.c_str()) != 0) {
        left_in_place = true;
        return what + " and cannot be kept as " + kept + " (" + std::strerror(errno) +
               "): it is left as it is, and nothing is cached in it";
    }
    // Its checks go with its records. A missing checks file is no loss.
    const std::string checks = ChecksFilePath(real);
    if (::rename(checks.c_str(), ChecksFilePath(kept).c_str()) != 0 && errno != ENOENT) {
        const int error = errno;
        Log([&] { return "CDataCache::Load: " + checks + " not moved: " + std::strerror(error); });
    }
    return what + "; it is kept as " + kept + " and a new cache is started";
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

std::string DefaultCacheFilePath() {
    return ApplicationFolder() + "/cache.dat";
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

CDataCache::CDataCache(std::string path) {
    settings_.path = std::move(path);
}

CDataCache::~CDataCache() = default;

size_t CDataCache::RebuildIndex() {
    index_.clear();
    index_.reserve(records_.size());
    size_t dropped = 0;
    for (auto it = records_.begin(); it != records_.end();) {
        if (index_.try_emplace(RecordPath(it->record), it).second) {
            ++it;
        } else {
            it = records_.erase(it);  // a less recent record of the same file
            ++dropped;
        }
    }
    return dropped;
}

bool CDataCache::Lookup(std::string_view path, const RecordFileStatus& status, ScanRecord& out,
                        int frame_limit, FileChecks* checks) {
    if (!FitsRecordPath(path)) {
        return false;
    }
    const std::optional<std::string> key = CacheKeyOf(path);
    if (!key) {
        return false;
    }
    // The scanner passes the path and status of the record it asks to fill;
    // keep them before `out` is overwritten.
    const std::string asked(path);
    const RecordFileStatus wanted = status;
    std::lock_guard lock(mutex_);
    if (!settings_.enabled) {
        return false;
    }
    const auto found = index_.find(*key);
    if (found == index_.end()) {
        return false;
    }
    const RecordList::iterator it = found->second;
    if (!SameFileState(it->record.status, wanted) || !Covers(it->record, frame_limit)) {
        return false;
    }
    if (checks != nullptr) {
        if (!it->checks) {
            return false;  // scanned again, to make the checks
        }
        *checks = *it->checks;
    }
    out = it->record;
    CopyTextField(out.path, asked);
    // Most recently used first. This alone is no change for Save: rewriting
    // a large file only to reorder it costs more than the order is worth.
    records_.splice(records_.begin(), records_, it);
    return true;
}

void CDataCache::Store(const ScanRecord& record, const FileChecks* checks) {
    const std::optional<std::string> key = CacheKeyOf(RecordPath(record));
    if (!key) {
        return;
    }
    Entry keyed{record, std::nullopt, 0};
    CopyTextField(keyed.record.path, *key);
    if (checks != nullptr) {
        keyed.checks = *checks;
    }
    std::lock_guard lock(mutex_);
    if (!settings_.enabled) {
        return;
    }
    if (const auto found = index_.find(*key); found != index_.end()) {
        const RecordList::iterator it = found->second;
        // A shorter scan of an unchanged file never replaces a longer one
        // (and is no change for Save), unless it brings the checks the
        // longer one lacks: those are what a lookup with checks needs. The
        // checks go with their record, so a new record without checks drops
        // the old ones. The key stays the same, so the index keeps its view
        // of it.
        const bool same_file = SameFileState(keyed.record.status, it->record.status);
        if (!same_file || keyed.record.frames > it->record.frames ||
            (keyed.checks && !it->checks)) {
            keyed.changed_at = ++changes_;
            *it = std::move(keyed);
        }
        records_.splice(records_.begin(), records_, it);
        return;
    }
    keyed.changed_at = ++changes_;
    records_.push_front(std::move(keyed));
    index_.emplace(RecordPath(records_.front().record), records_.begin());
    Trim();
}

void CDataCache::Trim() {
    // The limit counts the records' bytes only: the checks beside them add
    // about a sixth, and only for files scanned by a build that makes them.
    const int64_t limit = int64_t{settings_.max_size} * 1024;
    // The most records whose size is within the limit.
    const auto keep = static_cast<size_t>(std::max<int64_t>(0, limit / kRecordSize));
    if (records_.size() <= keep) {
        return;
    }
    while (records_.size() > keep) {
        index_.erase(RecordPath(records_.back().record));
        records_.pop_back();
    }
    ++changes_;
}

CDataCache::FileContent CDataCache::ReadCacheFile(const std::string& path) {
    FileContent content;
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
        content.records.push_back(Entry{record, std::nullopt, 0});
    }
    content.valid = true;
    if (content.records.empty()) {
        return content;
    }
    // A checks entry goes with the record it was saved with, and with no
    // other: not with a record another run (or an older build) has put in
    // its place since.
    auto checks = ReadChecksFile(ChecksFilePath(path));
    for (Entry& entry : content.records) {
        const auto found = checks.find(std::string(RecordPath(entry.record)));
        if (found != checks.end() && found->second.record_digest == RecordDigest(entry.record)) {
            entry.checks = found->second.checks;
            checks.erase(found);  // one record per key: the first, as RebuildIndex keeps
        }
    }
    return content;
}

std::optional<std::string> CDataCache::Load() {
    const std::string path = Path();
    FileContent file = ReadCacheFile(path);
    std::optional<std::string> notice;
    bool keeps_other_version = false;
    if (file.other_version) {
        notice = MoveOtherVersionAside(path, keeps_other_version);
        // Whatever is there now: nothing, or the new cache of a run that
        // has moved the old one first.
        file = keeps_other_version ? FileContent{} : ReadCacheFile(path);
        keeps_other_version = keeps_other_version || file.other_version;
    }
    if (notice) {
        Log([&] { return "CDataCache::Load: " + *notice; });
    }
    std::lock_guard lock(mutex_);
    keeps_other_version_ = keeps_other_version;
    records_ = std::move(file.records);
    const size_t duplicates = RebuildIndex();
    Log([&] {
        return "CDataCache::Load: " + std::to_string(records_.size()) + " from " + path + " (" +
               std::to_string(file.left_out) + " implausible, " + std::to_string(duplicates) +
               " duplicates left out)";
    });
    saved_changes_ = changes_;
    if (file.left_out > 0 || duplicates > 0) {
        ++changes_;  // the next save writes the file without them
    }
    Trim();
    return notice;
}

void CDataCache::MergeWithFile(RecordList disk) {
    Index on_disk;
    on_disk.reserve(disk.size());
    for (auto it = disk.begin(); it != disk.end();) {
        if (on_disk.try_emplace(RecordPath(it->record), it).second) {
            ++it;
        } else {
            it = disk.erase(it);
        }
    }
    // This run's records keep their order, most recently used first. One it
    // stored since the last save wins over the file's record of that path.
    // One the file held already is taken as the file has it now (another run
    // may have scanned the file again), and dropped when the file no longer
    // has it (another run trimmed it away or purged the cache).
    for (auto it = records_.begin(); it != records_.end();) {
        const auto found = on_disk.find(RecordPath(it->record));
        if (found == on_disk.end()) {
            if (Unsaved(*it)) {
                ++it;
            } else {
                index_.erase(RecordPath(it->record));
                it = records_.erase(it);
            }
            continue;
        }
        const RecordList::iterator theirs = found->second;
        on_disk.erase(found);
        if (!Unsaved(*it)) {
            it->record = theirs->record;  // the same key, so the index's view holds
            it->checks = theirs->checks;
        }
        disk.erase(theirs);
        ++it;
    }
    // Then the records only other runs know, in the file's order: they are
    // the first to go when the two together are over the limit.
    for (auto it = disk.begin(); it != disk.end(); ++it) {
        index_.emplace(RecordPath(it->record), it);
    }
    records_.splice(records_.end(), disk);
}

std::string CDataCache::FileBytes() const {
    std::string bytes(kCacheHeaderSize + records_.size() * kScanRecordSize, '\0');
    const std::span<uint8_t> out(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
    StoreBe32(out, kCacheFileVersion);
    StoreBe32(out.subspan(4), static_cast<uint32_t>(records_.size()));
    StoreBe32(out.subspan(8), static_cast<uint32_t>(kScanRecordSize));
    size_t offset = kCacheHeaderSize;
    for (const Entry& entry : records_) {
        const ScanRecordImage image = ToImage(entry.record);
        std::copy(image.begin(), image.end(), out.begin() + static_cast<ptrdiff_t>(offset));
        offset += kScanRecordSize;
    }
    return bytes;
}

std::string CDataCache::ChecksFileBytes() const {
    const auto count =
        static_cast<size_t>(std::count_if(records_.begin(), records_.end(), [](const Entry& entry) {
            return entry.checks.has_value();
        }));
    if (count == 0) {
        return {};
    }
    std::string bytes(kChecksHeaderSize + count * kChecksEntrySize, '\0');
    const std::span<uint8_t> out(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
    size_t offset = kChecksHeaderSize;
    for (const Entry& entry : records_) {
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

bool CDataCache::Save(std::string* error) {
    std::string path;
    bool merge = false;
    {
        std::lock_guard lock(mutex_);
        if (!settings_.enabled) {
            return true;
        }
        Trim();  // the limit may have been lowered since the last store
        if (changes_ == saved_changes_) {
            return true;  // the file holds these records already
        }
        if (keeps_other_version_) {
            if (error != nullptr) {
                *error = "the cache file " + settings_.path +
                         " is of another format version; it is left as it is";
            }
            return false;
        }
        path = settings_.path;
        merge = cleared_at_ <= saved_changes_;
    }
    // The cache's own folder, one level; it usually exists already.
    if (const std::string folder = FolderOf(path); !folder.empty()) {
        ::mkdir(folder.c_str(), 0777);
    }
    const SaveLock save_lock(path);
    FileContent disk;
    if (merge) {
        disk = ReadCacheFile(path);
    }
    std::string bytes;
    std::string checks_bytes;
    uint64_t written_changes = 0;
    {
        std::lock_guard lock(mutex_);
        // A file that is gone or unreadable has nothing to merge: this run's
        // records are written whole. So are they after a Clear (even one
        // made while the file was read).
        if (disk.valid && cleared_at_ <= saved_changes_) {
            MergeWithFile(std::move(disk.records));
        }
        Trim();
        written_changes = changes_;
        bytes = FileBytes();
        checks_bytes = ChecksFileBytes();
    }
    // The cache file first: should the checks file not follow, its entries
    // (old or missing) match no record they were not saved with, and the
    // files are scanned again rather than misread.
    std::string failure;
    if (!WriteFileAtomically(path, bytes, &failure) ||
        !WriteChecksFile(path, checks_bytes, &failure)) {
        Log([&] { return "CDataCache::Save: " + failure; });
        if (error != nullptr) {
            *error = failure;
        }
        return false;
    }
    std::lock_guard lock(mutex_);
    // Stores made while the file was written are newer than it.
    saved_changes_ = std::max(saved_changes_, written_changes);
    return true;
}

void CDataCache::Clear() {
    std::lock_guard lock(mutex_);
    index_.clear();
    records_.clear();
    cleared_at_ = ++changes_;
}

void CDataCache::SaveSettings(SettingsStore& settings) {
    std::lock_guard lock(mutex_);
    SaveSettingKeys(settings, kSettingsSection, kSettingKeys, settings_);
}

void CDataCache::LoadSettings(const SettingsStore& settings) {
    std::lock_guard lock(mutex_);
    const std::string made_with = settings_.path;
    LoadSettingKeys(settings, kSettingsSection, kSettingKeys, settings_);
    if (settings_.path.empty()) {
        settings_.path = made_with;  // no location of its own: the one it was made with
    }
}

void CDataCache::SettingsToPages() {
    std::lock_guard lock(mutex_);
    const auto count = static_cast<int64_t>(records_.size());
    page_.max_size = settings_.max_size;
    page_.size_kb = count * kRecordSize / 1024;
    page_.record_count = count;
    page_.location = settings_.path;
    page_.enabled = settings_.enabled;
    page_.purge_requested = false;
}

void CDataCache::PagesToSettings() {
    std::string current_path;
    {
        std::lock_guard lock(mutex_);
        settings_.max_size = page_.max_size;
        settings_.enabled = page_.enabled;
        current_path = settings_.path;
    }
    if (page_.location != current_path && !page_.location.empty()) {
        if (!IsReadableFile(page_.location)) {
            // Nothing there yet: the records go there at the next save.
            std::lock_guard lock(mutex_);
            settings_.path = page_.location;
        } else if (question_ != nullptr &&
                   // Asked without holding the lock: scans go on meanwhile.
                   question_->AskYesNo(kCacheCaption, kLoadFromNewLocationQuestion)) {
            {
                std::lock_guard lock(mutex_);
                settings_.path = page_.location;
            }
            Load();
        }
    }
    if (page_.purge_requested) {
        Clear();
        Save();
    }
}

void CDataCache::SetMaxSizeKb(int kb) {
    std::lock_guard lock(mutex_);
    settings_.max_size = kb;
}

void CDataCache::SetEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    settings_.enabled = enabled;
}

std::string CDataCache::Path() const {
    std::lock_guard lock(mutex_);
    return settings_.path;
}

size_t CDataCache::RecordCount() const {
    std::lock_guard lock(mutex_);
    return records_.size();
}

}  // namespace vandrel
