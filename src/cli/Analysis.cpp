#include "Analysis.h"

#include <sys/stat.h>

#include <exception>

#include "MediaFileWrapper.h"
#include "Mp3File.h"
#include "ScanError.h"

namespace vandrel::cli {

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

FileResult AnalyseFile(const std::string& path, const AnalysisOptions& options) {
    FileResult result{path, FileNameOf(path), std::nullopt, ZeroRecord()};
    CopyTextField(result.record.path, path);

    const int limit = options.frames == 0 ? -1 : options.frames;

    // A file the analysis cache knows unchanged is answered without opening
    // it: not even the probe of its kind reads it.
    FillFileStatus(result.record.status, path);
    if (S_ISREG(result.record.status.mode) &&
        AnswerFromCache(path, result.record, limit, nullptr)) {
        return result;
    }

    CVandrelMediaFileWrapper file;
    if (!file.Attach(path)) {
        result.error = DescribeAttachFailure(path);
        return result;
    }
    try {
        if (file.Scan(!options.headers_only, result.record, limit, nullptr, false, nullptr) == 0) {
            result.error = "The file is too short to analyse";
        }
    } catch (const ScanError& e) {
        result.error = e.what();
    } catch (const std::exception& e) {
        result.error = std::string("Unexpected error: ") + e.what();
    }
    file.Close();
    return result;
}

} // namespace vandrel::cli
