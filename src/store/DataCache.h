#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/core/FileChecks.h"
#include "engine/core/RecordCache.h"
#include "engine/core/ScanRecord.h"
#include "store/UserQuestion.h"
#include "store/WindowWithSettings.h"

namespace vandrel {

// Cache file layout: three big-endian words, then the records' images, most
// recently used first. No checksum, padding or trailer.
constexpr uint32_t kCacheFileVersion = 3;
constexpr size_t kCacheHeaderSize = 12;  // version, record count, record size

// The integrity checks of the records live beside the cache file, in
// "<cache file>.checks", so that the cache file keeps the layout that older
// builds read and write too. All words little-endian:
//   header: magic "VCHK", version, entry count, entry size, then a 64-bit
//           FNV-1a digest of all entries' bytes (a damaged file is ignored whole);
//   entry:  the record's key path (zero-terminated, zero-padded to the
//           record's path field), the digest of the record's image as the
//           cache file holds it (its file status included), the checks' image.
// An entry belongs to a record only while the record is byte for byte the one
// it was stored with; any other entry is dropped.
inline constexpr const char* kChecksFileSuffix = ".checks";
constexpr uint32_t kChecksFileMagic = 0x4B484356;  // "VCHK" as stored
constexpr uint32_t kChecksFileVersion = 2;
constexpr size_t kChecksHeaderSize = 24;
constexpr size_t kChecksEntryPathOffset = 0;
constexpr size_t kChecksEntryDigestOffset = kRecordPathCapacity;
constexpr size_t kChecksEntryImageOffset = kChecksEntryDigestOffset + 8;
constexpr size_t kChecksEntrySize = kChecksEntryImageOffset + kFileChecksImageSize;
static_assert(kChecksEntrySize == 328);

// The digest that ties a checks entry to its record: 64-bit FNV-1a of the
// record's image.
uint64_t RecordDigest(const ScanRecord& record);

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

// Where the checks of the cache at `cache_path` are kept: beside the file
// itself, its links followed, so that runs reaching it through different
// links share them.
std::string ChecksFilePath(const std::string& cache_path);

// What lies at a cache path.
enum class CacheFileKind {
    kAbsent,  // nothing yet
    kEmpty,
    kCache,  // begins with this program's header: version 3, records of 2056 bytes
    // A cache file of another format version: the same three header words
    // with another version or record size, and exactly as long as they say.
    kOtherVersion,
    kForeign,  // anything else, or a file that cannot be read: someone else's
};
// With `version`, the other version's number for kOtherVersion.
CacheFileKind ClassifyCacheFile(const std::string& path, uint32_t* version = nullptr);

// Whether a cache may be written at the path: nothing is there yet, the file
// is empty, or it begins with a cache header (version 3, record size 2056).
// Any other file is someone else's and must not be replaced.
bool IsCacheFileOrAbsent(const std::string& path);

// Where a cache file of another format version is kept when a cache at its
// path is loaded: "<cache file>.old-version" (its links followed), with its
// checks beside it as "<cache file>.old-version.checks".
inline constexpr const char* kOldVersionSuffix = ".old-version";
std::string OldVersionPath(const std::string& cache_path);

// Every file that the cache at `cache_path` writes or keeps beside it (its
// links followed): its checks, its lock, and a cache of another version kept
// with its checks. None of them may be written by anything else.
std::vector<std::string> CacheCompanionPaths(const std::string& cache_path);

// Whether a record read from a cache file holds values that the texts, the
// report and the bitrate and length figures can take: a zero-terminated,
// non-empty path; a file kind this program makes; layer 0 to 3; lengths that
// are finite, not negative and under 100 days; no negative frame, sync error
// or channel counts; a sampling rate of 0 or one the file kind has; a finite
// peak amplitude. A file damaged on disk (or written by something else) holds
// anything, and a float far out of range turned into an integer is undefined.
bool IsPlausibleRecord(const ScanRecord& record);

// The analysis cache: whole scan records of finished scans, most recently used
// first, kept between runs in one file. Records are kept by the file's
// absolute, lexically normal path ("/m/./a/../b.mp3", and "b.mp3" asked from
// /m, are both "/m/b.mp3"; symbolic links are not followed). A record answers
// a lookup when the file is still the same one (device, inode, size and
// modification time as stored) and the record covers the frames asked for.
// A record may carry the integrity checks of the scan that made it; they are
// kept in a file of their own beside the cache file (see kChecksFileSuffix).
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
    // MergeWithFile. After a Clear the file is replaced instead, so that
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
    struct Entry {
        ScanRecord record;                 // its path is its key: absolute and normal
        std::optional<FileChecks> checks;  // of the scan that made the record
        // The change (a number of changes_) that stored it, 0 for a record
        // read from the file; the file holds it once saved_changes_ is as far.
        uint64_t changed_at = 0;
    };
    using RecordList = std::list<Entry>;
    using Index = std::unordered_map<std::string_view, RecordList::iterator>;

    // The plausible records of a cache file, their paths made keys.
    struct FileContent {
        RecordList records;
        bool valid = false;          // a cache file, read whole (it may hold no records)
        size_t left_out = 0;         // implausible records, and paths that make no key
        bool other_version = false;  // a cache file of another format version
    };
    // With the checks of the file beside it attached to their records.
    static FileContent ReadCacheFile(const std::string& path);

    // The methods below are called with mutex_ held.
    // Indexes records_ anew, dropping every record after the first of its key;
    // returns how many went.
    size_t RebuildIndex();
    // Drops the least recently used records until the size limit holds.
    void Trim();
    // Whether the file lacks the entry as it is: stored after the last save.
    bool Unsaved(const Entry& entry) const { return entry.changed_at > saved_changes_; }
    // Takes in what the file holds now (`disk`, in its order): this run's
    // records first, in their order, those stored since the last save as they
    // are, the others as the file has them now (dropped when it no longer
    // has them: another run trimmed or purged them); then the file's other
    // records, in the file's order.
    void MergeWithFile(RecordList disk);
    std::string FileBytes() const;
    // Empty when no record has checks.
    std::string ChecksFileBytes() const;

    mutable std::mutex mutex_;
    RecordList records_;  // guarded by mutex_
    // Every record by its key (a view of the path inside the record), one
    // record per key.
    Index index_;             // guarded by mutex_
    CacheSettings settings_;  // guarded by mutex_
    // Every change to the records (a store that adds or replaces, a trim, a
    // clear) counts one up. The file holds the records as they were at
    // saved_changes_; cleared_at_ is the last Clear's number.
    uint64_t changes_ = 0;        // guarded by mutex_
    uint64_t saved_changes_ = 0;  // guarded by mutex_
    uint64_t cleared_at_ = 0;     // guarded by mutex_
    // The file at the path is a cache of another version that could not be
    // moved aside: Save leaves it alone.
    bool keeps_other_version_ = false;  // guarded by mutex_

    CachePageData page_;                // user-interface thread only
    UserQuestion* question_ = nullptr;  // user-interface thread only
};

}  // namespace vandrel
