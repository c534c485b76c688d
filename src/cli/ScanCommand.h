#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/FileCollector.h"
#include "cli/Options.h"
#include "engine/core/RecordCache.h"
#include "store/DataCache.h"

namespace vandrel::cli {

// Runs vandrel-scan with its arguments (without the program name) and returns
// the exit status: 0 all analysed, 1 some file failed (or, with --problems,
// has a problem), 2 usage error, 3 the cache not saved.
int RunScanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Why the output file must not be written: it is one of the files read, the
// cache or a file the cache keeps beside it (CacheCompanionPaths), or an
// audio file (the shell expanded "-o *.mp3" into the first MP3). Compared by
// identity, so another spelling of the name or a link is caught too; the
// cache's files also when they are not there yet, by folder and name.
// Devices and pipes (/dev/null, /dev/stdout) are shared freely.
std::optional<std::string> OutputClash(const std::string& output, const std::string& cache_file,
                                       const InputSource& inputs);
std::optional<std::string> OutputClash(const std::string& output, const std::string& cache_file,
                                       const std::vector<InputFile>& inputs);

// The --cache file of a run: loaded by Open, answering the scans until Save.
class RunCache {
public:
    // True without a --cache; false (the reason told to `err`) when the file
    // is no analysis cache file, which is left as it is.
    bool Open(const Options& options, std::ostream& err);
    // Saves the cache; the run's exit status, or 3 when it was 0 and the
    // cache could not be saved (a warning on `err`).
    int Save(int status, std::ostream& err);

private:
    std::unique_ptr<CDataCache> cache_;
    std::optional<AnalysisCacheScope> scope_;
};

}  // namespace vandrel::cli
