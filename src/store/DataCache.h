#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/core/RecordCache.h"
#include "engine/core/ScanRecord.h"
#include "store/UserQuestion.h"
#include "store/WindowWithSettings.h"

namespace vandrel {

// Cache file layout: three big-endian words, then the records' images, most
// recently used first. No checksum, padding or trailer.
constexpr uint32_t kCacheFileVersion = 3;
constexpr size_t kCacheHeaderSize = 12;  // version, record count, record size

constexpr int kDefaultCacheMaxSizeKb = 500;
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

// Whether a cache may be written at the path: nothing is there yet, the file
// is empty, or it begins with a cache header (version 3, record size 2056).
// Any other file is someone else's and must not be replaced.
bool IsCacheFileOrAbsent(const std::string& path);

// The analysis cache: whole scan records of finished scans, most recently used
// first, kept between runs in one file. A record answers a lookup for the same
// path when the file's modification time and size are unchanged and the
// record covers the frames asked for.
//
// Scanning threads call Lookup and Store; the owner's thread everything else.
// Every operation runs under one lock. The owner makes it the process-wide
// cache with an AnalysisCacheScope that ends before the cache does.
class CDataCache : public RecordCache, public CWindowWithSettings {
public:
    explicit CDataCache(std::string path);
    ~CDataCache() override;
    CDataCache(const CDataCache&) = delete;
    CDataCache& operator=(const CDataCache&) = delete;

    // frame_limit: the frames wanted, -1 for all. A path longer than a record
    // holds is never found.
    bool Lookup(std::string_view path, const RecordFileStatus& status, ScanRecord& out,
                int frame_limit) override;
    // Keeps the record of a scan that ran to its end. An unchanged file's
    // record is replaced only by one that covers more frames.
    void Store(const ScanRecord& record) override;

    // Replaces the records with those of the file; a missing or damaged file
    // leaves the cache empty.
    void Load();
    // Replaces the file with the records, atomically; does nothing while the
    // cache is disabled. False (with `error`) when it could not be written.
    bool Save(std::string* error = nullptr);
    void Clear();

    void SaveSettings(SettingsStore& settings) override;
    void LoadSettings(const SettingsStore& settings) override;
    void SettingsToPages() override;
    // Applies the page: size limit and switch; a new location only when a
    // cache file is there and the user wants it loaded; a purge.
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
    using RecordList = std::list<ScanRecord>;

    // The record stored under the path that a walk of the list from the
    // front would meet first among those `accept` takes; end() when none.
    template <typename Accept>
    RecordList::iterator FirstWithPath(std::string_view path, Accept accept);
    void AddToIndex(RecordList::iterator it);
    void RemoveFromIndex(RecordList::iterator it);
    void RebuildIndex();
    // Drops the least recently used records until the limit holds.
    void Trim();  // called with mutex_ held

    mutable std::mutex mutex_;
    RecordList records_;  // guarded by mutex_
    // Every record by its path (a view of the path inside the record), so
    // that a lookup looks only at records of the same file. Usually one per
    // path; a cache file made elsewhere may hold more.
    std::unordered_multimap<std::string_view, RecordList::iterator> index_;  // guarded by mutex_
    CacheSettings settings_;                                                 // guarded by mutex_

    CachePageData page_;                // user-interface thread only
    UserQuestion* question_ = nullptr;  // user-interface thread only
};

}  // namespace vandrel
