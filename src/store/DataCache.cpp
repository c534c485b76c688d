#include "store/DataCache.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <iterator>
#include <span>

#include "engine/core/SettingsTable.h"
#include "engine/io/AtomicFile.h"
#include "engine/io/ByteOrder.h"
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

// A record answers for a file whose modification time and size are what they
// were at its scan. The size catches a rewrite within the same second, which
// the 32-bit seconds of the time alone would miss.
bool SameFileState(const RecordFileStatus& a, const RecordFileStatus& b) {
    return a.modification_time == b.modification_time && a.size == b.size;
}

// Whether the record holds the frames asked for: all of them (a walk to the
// end) or at least `frame_limit`.
bool Covers(const ScanRecord& record, int frame_limit) {
    return record.whole_file_scanned != 0 || (frame_limit != -1 && record.frames >= frame_limit);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsReadableFile(const std::string& path) {
    FileStream probe;
    return probe.Open(path, "rb");
}

}  // namespace

std::string DefaultCacheFilePath() {
    return ApplicationFolder() + "/cache.dat";
}

bool IsCacheFileOrAbsent(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return errno == ENOENT;
    }
    FileStream file;
    if (!file.Open(path, "rb")) {
        return false;
    }
    if (file.Size() == 0) {
        return true;
    }
    std::array<uint8_t, kCacheHeaderSize> header{};
    if (file.Read(header) != header.size()) {
        return false;
    }
    return LoadBe32(header) == kCacheFileVersion &&
           LoadBe32(std::span(header).subspan(8)) == kScanRecordSize;
}

CDataCache::CDataCache(std::string path) {
    settings_.path = std::move(path);
}

CDataCache::~CDataCache() = default;

template <typename Accept>
CDataCache::RecordList::iterator CDataCache::FirstWithPath(std::string_view path, Accept accept) {
    auto [first, last] = index_.equal_range(path);
    auto found = records_.end();
    size_t accepted = 0;
    for (auto entry = first; entry != last; ++entry) {
        if (accept(*entry->second)) {
            found = entry->second;
            ++accepted;
        }
    }
    if (accepted <= 1) {
        return found;
    }
    // Several records of one path: the list order decides, as in a walk
    // from the front.
    for (auto it = records_.begin(); it != records_.end(); ++it) {
        for (auto entry = first; entry != last; ++entry) {
            if (entry->second == it && accept(*it)) {
                return it;
            }
        }
    }
    return records_.end();
}

void CDataCache::AddToIndex(RecordList::iterator it) {
    index_.emplace(RecordPath(*it), it);
}

void CDataCache::RemoveFromIndex(RecordList::iterator it) {
    auto [first, last] = index_.equal_range(RecordPath(*it));
    for (auto entry = first; entry != last; ++entry) {
        if (entry->second == it) {
            index_.erase(entry);
            return;
        }
    }
}

void CDataCache::RebuildIndex() {
    index_.clear();
    index_.reserve(records_.size());
    for (auto it = records_.begin(); it != records_.end(); ++it) {
        AddToIndex(it);
    }
}

bool CDataCache::Lookup(std::string_view path, const RecordFileStatus& status, ScanRecord& out,
                        int frame_limit) {
    if (!FitsRecordPath(path)) {
        return false;
    }
    // The scanner passes the status of the record it asks to fill; keep it
    // before `out` is overwritten.
    const RecordFileStatus wanted = status;
    std::lock_guard lock(mutex_);
    if (!settings_.enabled) {
        return false;
    }
    const auto it = FirstWithPath(path, [&](const ScanRecord& record) {
        return SameFileState(record.status, wanted) && Covers(record, frame_limit);
    });
    if (it == records_.end()) {
        return false;
    }
    out = *it;
    records_.splice(records_.begin(), records_, it);
    return true;
}

void CDataCache::Store(const ScanRecord& record) {
    const std::string_view path = RecordPath(record);
    std::lock_guard lock(mutex_);
    if (!settings_.enabled) {
        return;
    }
    const auto it = FirstWithPath(path, [](const ScanRecord&) { return true; });
    if (it != records_.end()) {
        // A shorter scan of an unchanged file never replaces a longer one.
        // The path stays the same, so the index keeps its view of it.
        if (!SameFileState(record.status, it->status) || record.frames > it->frames) {
            *it = record;
        }
        records_.splice(records_.begin(), records_, it);
        return;
    }
    records_.push_front(record);
    AddToIndex(records_.begin());
    Trim();
}

void CDataCache::Trim() {
    const int64_t count = static_cast<int64_t>(records_.size());
    const int64_t size = count * kRecordSize;
    const int64_t limit = int64_t{settings_.max_size} * 1024;
    if (size <= limit) {
        return;
    }
    // The fewest records that bring the size to the limit or below.
    const int64_t excess = std::min(count, (size - limit - 1) / kRecordSize + 1);
    for (int64_t i = 0; i < excess; ++i) {
        RemoveFromIndex(std::prev(records_.end()));
        records_.pop_back();
    }
}

void CDataCache::Load() {
    const std::string path = Path();
    std::list<ScanRecord> loaded;
    FileStream file;
    // The header needs 12 bytes; a shorter file is no cache.
    if (file.Open(path, "rb") && file.Size() >= static_cast<int64_t>(kCacheHeaderSize)) {
        std::array<uint8_t, kCacheHeaderSize> header{};
        file.Read(header);
        const std::span<const uint8_t> h(header);
        const auto version = LoadBe32(h);
        const auto count = static_cast<int32_t>(LoadBe32(h.subspan(4)));
        const auto record_size = LoadBe32(h.subspan(8));
        const int64_t end = static_cast<int64_t>(kCacheHeaderSize) + int64_t{count} * kRecordSize;
        // A file shorter than its header says is dropped whole.
        if (version == kCacheFileVersion && record_size == kScanRecordSize && count > 0 &&
            end <= file.Size()) {
            ScanRecordImage image;
            for (int32_t i = 0; i < count; ++i) {
                if (file.Read(image) != image.size()) {
                    loaded.clear();  // the file shrank while it was read
                    break;
                }
                loaded.push_back(FromImage(image));
            }
        }
    }
    Log([&] { return "CDataCache::Load: " + std::to_string(loaded.size()) + " from " + path; });
    std::lock_guard lock(mutex_);
    records_ = std::move(loaded);
    RebuildIndex();
}

bool CDataCache::Save(std::string* error) {
    std::string path;
    std::string bytes;
    {
        std::lock_guard lock(mutex_);
        if (!settings_.enabled) {
            return true;
        }
        path = settings_.path;
        bytes.resize(kCacheHeaderSize + records_.size() * kScanRecordSize);
        const std::span<uint8_t> out(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
        StoreBe32(out, kCacheFileVersion);
        StoreBe32(out.subspan(4), static_cast<uint32_t>(records_.size()));
        StoreBe32(out.subspan(8), static_cast<uint32_t>(kScanRecordSize));
        size_t offset = kCacheHeaderSize;
        for (const ScanRecord& record : records_) {
            const ScanRecordImage image = ToImage(record);
            std::copy(image.begin(), image.end(), out.begin() + static_cast<ptrdiff_t>(offset));
            offset += kScanRecordSize;
        }
    }
    // The cache's own folder, one level; it usually exists already.
    if (const std::string folder = FolderOf(path); !folder.empty()) {
        ::mkdir(folder.c_str(), 0777);
    }
    std::string failure;
    if (!WriteFileAtomically(path, bytes, &failure)) {
        Log([&] { return "CDataCache::Save: " + failure; });
        if (error != nullptr) {
            *error = failure;
        }
        return false;
    }
    return true;
}

void CDataCache::Clear() {
    std::lock_guard lock(mutex_);
    index_.clear();
    records_.clear();
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
    // The question is asked without holding the lock: scans go on meanwhile.
    if (page_.location != current_path && IsReadableFile(page_.location) && question_ != nullptr &&
        question_->AskYesNo(kCacheCaption, kLoadFromNewLocationQuestion)) {
        {
            std::lock_guard lock(mutex_);
            settings_.path = page_.location;
        }
        Load();
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
