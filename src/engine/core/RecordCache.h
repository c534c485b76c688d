#pragma once

#include <string_view>

#include "engine/core/FileChecks.h"
#include "engine/core/ScanRecord.h"

namespace vandrel {

// What the scanner asks of the analysis cache. The cache itself lives a layer
// above the engine; the scanner reaches it only through the process-wide
// reference below, and only while one is set.
class RecordCache {
public:
    virtual ~RecordCache() = default;
    // frame_limit: the frames the caller wants, -1 for all. With `checks`,
    // only a record stored with its checks answers, and they are copied out.
    virtual bool Lookup(std::string_view path, const RecordFileStatus& status, ScanRecord& out,
                        int frame_limit, FileChecks* checks) = 0;
    // `checks`: the scan's integrity checks, nullptr when it made none.
    virtual void Store(const ScanRecord& record, const FileChecks* checks) = 0;

    bool Lookup(std::string_view path, const RecordFileStatus& status, ScanRecord& out,
                int frame_limit) {
        return Lookup(path, status, out, frame_limit, nullptr);
    }
    void Store(const ScanRecord& record) { Store(record, nullptr); }
};

// The process-wide cache reference; nullptr when there is no cache.
RecordCache* AnalysisCache();

// Makes a cache the process-wide one while it lives, and puts the one before
// it (usually none) back when it goes, however its scope is left. The cache
// must outlive the scope, and the scope every thread that scans.
class AnalysisCacheScope {
public:
    explicit AnalysisCacheScope(RecordCache* cache);
    ~AnalysisCacheScope();
    AnalysisCacheScope(const AnalysisCacheScope&) = delete;
    AnalysisCacheScope& operator=(const AnalysisCacheScope&) = delete;

private:
    RecordCache* previous_;
};

}  // namespace vandrel
