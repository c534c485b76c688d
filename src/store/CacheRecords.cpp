#include "store/CacheRecords.h"

#include <filesystem>
#include <system_error>

namespace vandrel {

namespace {

constexpr int64_t kRecordSize = static_cast<int64_t>(kScanRecordSize);

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

// Whether the record holds the frames asked for: all of them (a walk to the
// end) or at least `frame_limit`.
bool Covers(const ScanRecord& record, int frame_limit) {
    return record.whole_file_scanned != 0 || (frame_limit != -1 && record.frames >= frame_limit);
}

}  // namespace

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

size_t CacheRecords::RebuildIndex() {
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

const CacheEntry* CacheRecords::Use(std::string_view key, const RecordFileStatus& status,
                                    int frame_limit, bool with_checks) {
    const auto found = index_.find(key);
    if (found == index_.end()) {
        return nullptr;
    }
    const CacheRecordList::iterator it = found->second;
    if (!SameFileState(it->record.status, status) || !Covers(it->record, frame_limit)) {
        return nullptr;
    }
    if (with_checks && !it->checks) {
        return nullptr;  // scanned again, to make the checks
    }
    // Most recently used first. This alone is no change for a save:
    // rewriting a large file only to reorder it costs more than the order is
    // worth.
    records_.splice(records_.begin(), records_, it);
    return &*it;
}

void CacheRecords::Put(CacheEntry entry, int max_size_kb) {
    const std::string_view key = RecordPath(entry.record);
    if (const auto found = index_.find(key); found != index_.end()) {
        const CacheRecordList::iterator it = found->second;
        // A shorter scan of an unchanged file never replaces a longer one
        // (and is no change for a save), unless it brings the checks the
        // longer one lacks: those are what a lookup with checks needs. The
        // checks go with their record, so a new record without checks drops
        // the old ones. The key stays the same, so the index keeps its view
        // of it.
        const bool same_file = SameFileState(entry.record.status, it->record.status);
        if (!same_file || entry.record.frames > it->record.frames ||
            (entry.checks && !it->checks)) {
            entry.changed_at = ++changes_;
            *it = entry;
        }
        records_.splice(records_.begin(), records_, it);
        return;
    }
    entry.changed_at = ++changes_;
    records_.push_front(entry);
    index_.emplace(RecordPath(records_.front().record), records_.begin());
    Trim(max_size_kb);
}

void CacheRecords::Trim(int max_size_kb) {
    // The limit counts the records' bytes only: the checks beside them add
    // about a sixth, and only for files scanned by a build that makes them.
    const int64_t limit = int64_t{max_size_kb} * 1024;
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

size_t CacheRecords::TakeFromFile(CacheRecordList records, size_t left_out) {
    records_ = std::move(records);
    const size_t duplicates = RebuildIndex();
    saved_changes_ = changes_;
    if (left_out > 0 || duplicates > 0) {
        ++changes_;  // the next save writes the file without them
    }
    return duplicates;
}

void CacheRecords::MergeWithFile(CacheRecordList disk) {
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
        const CacheRecordList::iterator theirs = found->second;
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

void CacheRecords::Clear() {
    index_.clear();
    records_.clear();
    cleared_at_ = ++changes_;
}

}  // namespace vandrel
