#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/core/FileChecks.h"
#include "engine/core/ScanRecord.h"

namespace vandrel {

// One record the analysis cache keeps.
struct CacheEntry {
    ScanRecord record;                 // its path is its key: absolute and normal
    std::optional<FileChecks> checks;  // of the scan that made the record
    // The change (a number of CacheRecords::Changes) that stored it, 0 for a
    // record read from the file; the file holds it once a save marked as
    // many changes saved.
    uint64_t changed_at = 0;
};
using CacheRecordList = std::list<CacheEntry>;

// The key a file's record is kept under: its absolute, lexically normal path.
// Only a relative path asks the system anything (the current folder).
// Nothing when there is no current folder or the key would not fit a
// record's path field whole.
std::optional<std::string> CacheKeyOf(std::string_view path);

// The analysis cache's records in memory: most recently used first, one per
// key, and the count of changes that tells a save whether the file lacks
// anything. No lock and no file: CDataCache holds them under its lock and
// reads and writes the files.
class CacheRecords {
public:
    // The record kept under `key` when it answers for the file of `status`
    // that asks for `frame_limit` frames (-1 for all), and has checks when
    // they are asked for; it becomes the most recently used. Nothing
    // otherwise.
    const CacheEntry* Use(std::string_view key, const RecordFileStatus& status, int frame_limit,
                          bool with_checks);
    // Keeps the entry, its record's path as its key, as the most recently
    // used: in place of the key's record when that is of another file state,
    // covers fewer frames, or lacks the checks the entry brings. A new key's
    // record may leave too many: the oldest go (see Trim).
    void Put(CacheEntry entry, int max_size_kb);
    // Drops the least recently used records until the records' bytes fit in
    // `max_size_kb`.
    void Trim(int max_size_kb);
    // Takes the records of a file, in its order, in place of those kept; all
    // but the first of a key go, and how many went comes back. The file is
    // taken to hold the records as they are now, unless some went or it had
    // `left_out` records that were left out: then the next save writes it.
    size_t TakeFromFile(CacheRecordList records, size_t left_out);
    // Takes in what the file holds now (`disk`, in its order): these
    // records first, in their order, those stored since the last save as
    // they are, the others as the file has them now (dropped when it no
    // longer has them: another run trimmed or purged them); then the file's
    // other records, in the file's order.
    void MergeWithFile(CacheRecordList disk);
    // Empties the records; the next save replaces the file, not merging.
    void Clear();

    const CacheRecordList& Entries() const { return records_; }
    size_t Size() const { return records_.size(); }
    // Whether something was stored, replaced, trimmed or cleared since the
    // file was last known to hold the records (a change of order alone is
    // no change).
    bool HasUnsavedChanges() const { return changes_ != saved_changes_; }
    // Whether the last Clear came after the last save.
    bool ClearedSinceSave() const { return cleared_at_ > saved_changes_; }
    // Every change counts one up.
    uint64_t Changes() const { return changes_; }
    // The file holds the records as they were at `changes`; later changes
    // are still to be saved.
    void MarkSaved(uint64_t changes) { saved_changes_ = std::max(saved_changes_, changes); }

private:
    using Index = std::unordered_map<std::string_view, CacheRecordList::iterator>;

    // Indexes records_ anew, dropping every record after the first of its key;
    // returns how many went.
    size_t RebuildIndex();
    // Whether the file lacks the entry as it is: stored after the last save.
    bool Unsaved(const CacheEntry& entry) const { return entry.changed_at > saved_changes_; }

    CacheRecordList records_;
    // Every record by its key (a view of the path inside the record), one
    // record per key.
    Index index_;
    // The file holds the records as they were at saved_changes_; cleared_at_
    // is the last Clear's number.
    uint64_t changes_ = 0;
    uint64_t saved_changes_ = 0;
    uint64_t cleared_at_ = 0;
};

}  // namespace vandrel
