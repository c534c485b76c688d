#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/FileChecks.h"
#include "engine/core/ScanRecord.h"
#include "store/CacheRecords.h"

namespace vandrel {

// The analysis cache on disk: the cache file of records and the checks file
// beside it, and the other files a cache keeps at its path.

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
constexpr uint32_t kChecksFileVersion = 6;
constexpr size_t kChecksHeaderSize = 24;
constexpr size_t kChecksEntryPathOffset = 0;
constexpr size_t kChecksEntryDigestOffset = kRecordPathCapacity;
constexpr size_t kChecksEntryImageOffset = kChecksEntryDigestOffset + 8;
constexpr size_t kChecksEntrySize = kChecksEntryImageOffset + kFileChecksImageSize;
static_assert(kChecksEntrySize == 388);

// The digest that ties a checks entry to its record: 64-bit FNV-1a of the
// record's image.
uint64_t RecordDigest(const ScanRecord& record);

// Beside the cache file, "<cache file>.lock": the lock its saves take.
inline constexpr const char* kLockFileSuffix = ".lock";

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

// The plausible records of a cache file, their paths made keys.
struct CacheFileContent {
    CacheRecordList records;
    bool valid = false;          // a cache file, read whole (it may hold no records)
    size_t left_out = 0;         // implausible records, and paths that make no key
    bool other_version = false;  // a cache file of another format version
};
// With the checks of the file beside it attached to their records.
CacheFileContent ReadCacheFile(const std::string& path);
// The bytes of a cache file holding the records in their order.
std::string CacheFileBytes(const CacheRecordList& records);
// The bytes of the checks file of the records; empty when no record has checks.
std::string ChecksFileBytes(const CacheRecordList& records);
// Replaces the checks file of the cache at `cache_path` with `bytes`, or
// removes it when there are none (a cache without checks leaves no file).
bool WriteChecksFile(const std::string& cache_path, std::string_view bytes, std::string* error);

}  // namespace vandrel
