#include "cli/Analysis.h"

#include <utility>

namespace vandrel::cli {

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

FileResult AnalyseFile(const std::string& path, const AnalysisOptions& options) {
    FileResult result{
        Analyse(path, {.depth = options.headers_only ? ReadDepth::kHeaders : ReadDepth::kFrames,
                       .frames = options.frames,
                       .mono_quality = options.mono_quality,
                       .music_crc = options.music_crc,
                       .cache_before_open = true,
                       .reason_layout = ReasonLayout::kOneLine}),
        path, FileNameOf(path)};
    result.texts[kSlotName] = result.name;
    return result;
}

FileResult FailedResult(const std::string& path, std::string error) {
    FileResult result{FileAnalysis{}, path, FileNameOf(path)};
    result.texts[kSlotName] = result.name;
    ApplyFailure(result, AnalysisOutcome::kRefused, std::move(error), ReasonLayout::kOneLine);
    return result;
}

bool HasProblems(const FileResult& result) {
    return result.failure.has_value() || WorstSeverity(result.findings) > Severity::kNone;
}

}  // namespace vandrel::cli
