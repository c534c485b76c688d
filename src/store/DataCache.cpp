#include "store/DataCache.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "engine/core/SettingsTable.h"
#include "engine/io/AtomicFile.h"
#include "engine/io/FileStream.h"
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

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsReadableFile(const std::string& path) {
    FileStream probe;
    return probe.Open(path, "rb");
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

std::string DefaultCacheFilePath() {
    return ApplicationFolder() + "/cache.dat";
}

CDataCache::CDataCache(std::string path) {
    settings_.path = std::move(path);
}

CDataCache::~CDataCache() = default;

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
    const CacheEntry* entry = records_.Use(*key, wanted, frame_limit, checks != nullptr);
    if (entry == nullptr) {
        return false;
    }
    if (checks != nullptr) {
        *checks = *entry->checks;
    }
    out = entry->record;
    CopyTextField(out.path, asked);
    return true;
}

void CDataCache::Store(const ScanRecord& record, const FileChecks* checks) {
    const std::optional<std::string> key = CacheKeyOf(RecordPath(record));
    if (!key) {
        return;
    }
    CacheEntry keyed{record, std::nullopt, 0};
    CopyTextField(keyed.record.path, *key);
    if (checks != nullptr) {
        keyed.checks = *checks;
    }
    std::lock_guard lock(mutex_);
    if (!settings_.enabled) {
        return;
    }
    records_.Put(keyed, settings_.max_size);
}

std::optional<std::string> CDataCache::Load() {
    const std::string path = Path();
    CacheFileContent file = ReadCacheFile(path);
    std::optional<std::string> notice;
    bool keeps_other_version = false;
    if (file.other_version) {
        notice = MoveOtherVersionAside(path, keeps_other_version);
        // Whatever is there now: nothing, or the new cache of a run that
        // has moved the old one first.
        file = keeps_other_version ? CacheFileContent{} : ReadCacheFile(path);
        keeps_other_version = keeps_other_version || file.other_version;
    }
    if (notice) {
        Log([&] { return "CDataCache::Load: " + *notice; });
    }
    std::lock_guard lock(mutex_);
    keeps_other_version_ = keeps_other_version;
    const size_t duplicates = records_.TakeFromFile(std::move(file.records), file.left_out);
    Log([&] {
        return "CDataCache::Load: " + std::to_string(records_.Size()) + " from " + path + " (" +
               std::to_string(file.left_out) + " implausible, " + std::to_string(duplicates) +
               " duplicates left out)";
    });
    records_.Trim(settings_.max_size);
    return notice;
}

bool CDataCache::Save(std::string* error) {
    std::string path;
    bool merge = false;
    {
        std::lock_guard lock(mutex_);
        if (!settings_.enabled) {
            return true;
        }
        // The limit may have been lowered since the last store.
        records_.Trim(settings_.max_size);
        if (!records_.HasUnsavedChanges()) {
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
        merge = !records_.ClearedSinceSave();
    }
    // The cache's own folder, one level; it usually exists already.
    if (const std::string folder = FolderOf(path); !folder.empty()) {
        ::mkdir(folder.c_str(), 0777);
    }
    const SaveLock save_lock(path);
    CacheFileContent disk;
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
        if (disk.valid && !records_.ClearedSinceSave()) {
            records_.MergeWithFile(std::move(disk.records));
        }
        records_.Trim(settings_.max_size);
        written_changes = records_.Changes();
        bytes = CacheFileBytes(records_.Entries());
        checks_bytes = ChecksFileBytes(records_.Entries());
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
    records_.MarkSaved(written_changes);
    return true;
}

void CDataCache::Clear() {
    std::lock_guard lock(mutex_);
    records_.Clear();
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
    const auto count = static_cast<int64_t>(records_.Size());
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
    return records_.Size();
}

}  // namespace vandrel
