#include "Analysis.h"

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
    FileResult result{path, FileNameOf(path), std::nullopt, ZeroRecord(), {}};
    CopyTextField(result.record.path, path);
    result.texts[kSlotName] = result.name;

    CVandrelMediaFileWrapper file;
    if (!file.Attach(path)) {
        result.error = DescribeAttachFailure(path);
        ApplyScanFailureTexts(result.texts, result.record);
        return result;
    }
    const int limit = options.frames == 0 ? -1 : options.frames;
    try {
        if (file.Scan(!options.headers_only, result.record, limit, nullptr, false, nullptr) == 0) {
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
    if (result.error) {
        ApplyScanFailureTexts(result.texts, result.record);
    } else {
        result.record.quality_class =
            BuildAttributeTexts(result.texts, result.record, options.mono_quality);
    }
    return result;
}

}  // namespace vandrel::cli
