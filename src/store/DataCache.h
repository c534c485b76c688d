#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/FileChecks.h"
#include "engine/core/RecordCache.h"
#include "engine/core/ScanRecord.h"
#include "store/CacheFile.h"
#include "store/CacheRecords.h"
#include "store/UserQuestion.h"
#include "store/WindowWithSettings.h"

namespace vandrel {

// About 10,000 files: a large folder stays cached from one start to the next.
constexpr int kDefaultCacheMaxSizeKb = 20000;
inline constexpr const char* kCacheCaption = "Cache";
inline constexpr const char* kLoadFromNewLocationQuestion =
    "Would you like to load the cache from the new location?";

// What the "Cache" settings page shows and edits.
struct CachePageData {
    int max_size = 0;          // KB
    int64_t size_kb = 0;       // the records' size, shown only
    int64_t record_count = 0;  // shown only
    std::string location;
    bool enabled = false;
    bool purge_requested = false;  // the page's "Purge" button was pressed
};

// The cache's settings ("cache").
struct CacheSettings {
    std::string path;                       // "path": the cache file
    int max_size = kDefaultCacheMaxSizeKb;  // "max_size": KB of records at most
    bool enabled = true;                    // "enabled"
};

// <application folder>/cache.dat
std::string DefaultCacheFilePath();

// The analysis cache: whole scan records of finished scans, most recently used
// first, kept between runs in one file. Records are kept by the file's
// absolute, lexically normal path ("/m/./a/../b.mp3", and "b.mp3" asked from
// /m, are both "/m/b.mp3"; symbolic links are not followed). A record answers
// a lookup when the file is still the same one (device, inode, size and
// modification time as stored) and the record covers the frames asked for.
// A record may carry the integrity checks of the scan that made it; they are
// kept in a file of their own beside the cache file (see kChecksFileSuffix).
// CacheRecords keeps the records in memory; the functions of CacheFile.h read
// and write the files.
//
// Several runs may share one file: a save merges what this run stored with
// what the file holds by then (see Save).
//
// Scanning threads call Lookup and Store; the owner's thread everything else.
// Every operation on the records runs under one lock. The owner makes it the
// process-wide cache with an AnalysisCacheScope that ends before the cache does.
class CDataCache : public RecordCache, public CWindowWithSettings {
public:
    explicit CDataCache(std::string path);
    ~CDataCache() override;
    CDataCache(const CDataCache&) = delete;
    CDataCache& operator=(const CDataCache&) = delete;

    using RecordCache::Lookup;
    using RecordCache::Store;

    // frame_limit: the frames wanted, -1 for all. A path longer than a record
    // holds, as given or made absolute, is never found. The record found
    // comes back with `path` as given, which is what the lists show. With
    // `checks`, only a record kept with its checks answers, and they are
    // copied out; without, any record answers.
    bool Lookup(std::string_view path, const RecordFileStatus& status, ScanRecord& out,
                int frame_limit, FileChecks* checks) override;
    // Keeps the record of a scan that ran to its end, under its absolute
    // path, with its checks when given (and without any otherwise: the ones
    // kept belonged to the record replaced). An unchanged file's record is
    // replaced only by one that covers more frames, or by one with checks
    // where the kept one has none.
    void Store(const ScanRecord& record, const FileChecks* checks) override;

    // Replaces the records with those of the file, less the implausible ones
    // and all but the first of one path, trimmed to the size limit. A missing
    // or damaged file leaves the cache empty. The checks come from the file
    // beside it; when that is missing, damaged or of another version, the
    // records load without checks (lookups that ask for checks then miss,
    // and the files are scanned again).
    // A cache file of another format version is moved to OldVersionPath
    // (its checks with it) and the cache starts empty, to be saved as a new
    // file; where it cannot be moved it is left as it is and Save does not
    // write over it. Either way the text that says so comes back (and goes
    // to the log), for the user.
    std::optional<std::string> Load();
    // Writes the records when they differ from what the file was last known
    // to hold (something was stored, replaced, trimmed or cleared since Load
    // or the last Save; a lookup's change of order alone does not count).
    // Under a lock on "<path>.lock" it reads the file again and merges: see
    // CacheRecords::MergeWithFile. After a Clear the file is replaced instead, so that
    // purged records do not come back. The file is replaced atomically, and
    // so is the checks file after it, under the same lock (removed when no
    // record has checks).
    // Does nothing while the cache is disabled. False (with `error`) when a
    // write was needed and failed.
    bool Save(std::string* error = nullptr);
    // Empties the cache; the next save replaces the file rather than merging.
    void Clear();

    void SaveSettings(SettingsStore& settings) override;
    void LoadSettings(const SettingsStore& settings) override;
    void SettingsToPages() override;
    // Applies the page: size limit and switch; a new location, where a cache
    // file already there is loaded only when the user wants it (else the
    // location stays); a purge.
    void PagesToSettings() override;

    // The page's data, edited on the user-interface thread between
    // SettingsToPages and PagesToSettings.
    CachePageData& Page() { return page_; }
    // Who answers the question about a new location; without one the
    // location stays.
    void SetQuestion(UserQuestion* question) { question_ = question; }

    void SetMaxSizeKb(int kb);
    void SetEnabled(bool enabled);
    std::string Path() const;
    size_t RecordCount() const;

private:
    mutable std::mutex mutex_;
    CacheRecords records_;    // guarded by mutex_
    CacheSettings settings_;  // guarded by mutex_
    // The file at the path is a cache of another version that could not be
    // moved aside: Save leaves it alone.
    bool keeps_other_version_ = false;  // guarded by mutex_

    CachePageData page_;                // user-interface thread only
    UserQuestion* question_ = nullptr;  // user-interface thread only
};

}  // namespace vandrel
