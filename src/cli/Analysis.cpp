#include "cli/Analysis.h"

#include <sys/stat.h>

#include <exception>

#include "engine/checks/IntegrityChecks.h"
#include "engine/core/ScanError.h"
#include "engine/media/MediaFileWrapper.h"
#include "engine/media/Mp3File.h"

namespace vandrel::cli {

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

// Opens the file through the registered kinds and scans it; failures become
// the result's error text.
void OpenAndScan(FileResult& result, const AnalysisOptions& options, int limit) {
    CVandrelMediaFileWrapper file;
    if (!file.Attach(result.path)) {
        result.error = DescribeAttachFailure(result.path);
        return;
    }
    try {
        IntegrityChecks checks(result.checks);
        if (file.Scan(result.record, {.walk_frames = !options.headers_only,
                                      .frame_limit = limit,
                                      .checks = &checks}) == 0) {
            result.error = "The file is too short to analyse";
        }
        auto* mp3 = dynamic_cast<CMp3File*>(file.File());
        if (options.music_crc && mp3 != nullptr && result.record.xing.has_lame_tag != 0) {
            mp3->ComputeMusicCrc(result.record, nullptr);
        }
    } catch (const ScanError& e) {
        result.error = e.what();
    } catch (const std::exception& e) {
        result.error = std::string("Unexpected error: ") + e.what();
    }
    file.Close();
}

}  // namespace

FileResult AnalyseFile(const std::string& path, const AnalysisOptions& options) {
    FileResult result = StartResult(path);
    CopyTextField(result.record.path, path);
    const int limit = options.frames == 0 ? -1 : options.frames;

    // A file the analysis cache knows unchanged is answered without opening
    // it: not even the probe of its kind reads it. The music CRC needs the
    // file's bytes, so it always opens the file.
    FillFileStatus(result.record.status, path);
    const bool cached = !options.music_crc && S_ISREG(result.record.status.mode) &&
                        AnswerFromCache(path, result.record, limit, nullptr, &result.checks);
    if (!cached) {
        OpenAndScan(result, options, limit);
    }
    if (result.error) {
        ApplyFailure(result, *std::move(result.error));
    } else {
        result.record.quality_class =
            BuildAttributeTexts(result.texts, result.record, options.mono_quality);
        result.findings = CollectFindings(result.record, result.checks);
        FillCheckTexts(result.texts, result.findings, result.checks);
    }
    return result;
}

FileResult StartResult(const std::string& path) {
    FileResult result{path, FileNameOf(path), std::nullopt, ZeroRecord(), {}, {}, {}};
    result.texts[kSlotName] = result.name;
    return result;
}

void ApplyFailure(FileResult& result, std::string error) {
    ApplyScanFailureTexts(result.texts, result.record);
    const std::string reason = OneLine(error);
    FillFailureCheckTexts(result.texts, reason);
    result.findings = {RefusalFinding(reason)};
    result.error = std::move(error);
}

bool HasProblems(const FileResult& result) {
    return result.error.has_value() || WorstSeverity(result.findings) > Severity::kNone;
}

std::string OneLine(std::string_view error) {
    while (!error.empty() && (error.back() == '\n' || error.back() == '\r')) {
        error.remove_suffix(1);
    }
    std::string text(error);
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

}  // namespace vandrel::cli
