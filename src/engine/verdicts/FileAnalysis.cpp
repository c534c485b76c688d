#include "engine/verdicts/FileAnalysis.h"

#include <sys/stat.h>

#include <exception>
#include <utility>

#include "engine/checks/IntegrityChecks.h"
#include "engine/core/ScanError.h"
#include "engine/core/ScanOptions.h"
#include "engine/media/MediaFileWrapper.h"
#include "engine/media/Mp3File.h"

namespace vandrel {

namespace {

// The reason given for a file whose kind opened it but whose scan found
// nothing to describe.
constexpr const char* kTooShortReason = "The file is too short to analyse";
// Before the message of an error that is no scan error.
constexpr const char* kUnexpectedErrorPrefix = "Unexpected error: ";

// The caller's progress sink, and whether it ever asked to stop: a stopped
// scan may end as a finished one does.
class StopWatch : public sink {
public:
    explicit StopWatch(sink* caller) : caller_(caller) {}

    bool Progress(const ScanRecord& record) override {
        stopped_ = stopped_ || !caller_->Progress(record);
        return !stopped_;
    }
    bool stopped() const { return stopped_; }
    // What the scan reports to: nothing when the caller listens to nothing.
    sink* ForScan() { return caller_ != nullptr ? this : nullptr; }

private:
    sink* caller_;
    bool stopped_ = false;
};

// The options of one scan of an analysis, with every check into the
// analysis' checks. The checks a scan makes are asked for here and nowhere
// else; `integrity` lives as long as the scan.
ScanOptions OptionsOfScan(const AnalysisRequest& request, std::optional<IntegrityChecks>& integrity,
                          FileAnalysis& analysis, sink* progress) {
    integrity.emplace(analysis.checks);
    return {.walk_frames = request.depth == ReadDepth::kFrames,
            .frame_limit = FrameLimit(request.frames),
            .checks = &*integrity,
            .progress = progress};
}

std::string ReasonText(std::string_view reason, ReasonLayout layout) {
    switch (layout) {
    case ReasonLayout::kAsGiven:
        break;
    case ReasonLayout::kTrailingBreaksCut:
        return std::string(WithoutTrailingLineBreaks(reason));
    case ReasonLayout::kOneLine:
        return OneLine(reason);
    }
    return std::string(reason);
}

bool AnsweredFromCache(const std::string& path, const AnalysisRequest& request,
                       FileAnalysis& analysis) {
    return request.cache_before_open && !request.music_crc &&
           S_ISREG(analysis.record.status.mode) &&
           AnswerFromCache(path, analysis.record, FrameLimit(request.frames), nullptr,
                           &analysis.checks);
}

// Scans the open file into the analysis; false when it is too short to
// analyse. Scan errors are thrown on.
bool ScanOpenFile(CMediaFileWrapper& file, const AnalysisRequest& request, FileAnalysis& analysis,
                  StopWatch& watch) {
    std::optional<IntegrityChecks> integrity;
    if (file.Scan(analysis.record, OptionsOfScan(request, integrity, analysis, watch.ForScan())) ==
        0) {
        return false;
    }
    if (request.all_frames_when_encoder_unknown && analysis.record.whole_file_scanned == 0 &&
        !watch.stopped() && !JudgeRecord(analysis.record, request.mono_quality).encoder_named) {
        // The statistics of a part of the file named no encoder: all of it
        // may. The record and the checks start afresh, as every scan's must.
        analysis.record = ZeroRecord();
        analysis.checks = {};
        ScanOptions whole = OptionsOfScan(request, integrity, analysis, watch.ForScan());
        whole.frame_limit = kAllFrames;
        if (file.Scan(analysis.record, whole) == 0) {
            return false;
        }
    }
    auto* mp3 = dynamic_cast<CMp3File*>(file.File());
    if (request.music_crc && mp3 != nullptr && analysis.record.xing.has_lame_tag != 0) {
        mp3->ComputeMusicCrc(analysis.record, nullptr);
    }
    return true;
}

// The texts and findings of an analysed file.
void Describe(FileAnalysis& analysis, bool mono_quality) {
    DescribeRecord(analysis.record, analysis.texts, mono_quality);
    analysis.findings = CollectFindings(analysis.record, analysis.checks);
    analysis.severity =
        FillCheckTexts(analysis.texts, analysis.findings, analysis.record, analysis.checks);
}

}  // namespace

FileAnalysis Analyse(const std::string& path, const AnalysisRequest& request) {
    FileAnalysis analysis;
    CopyTextField(analysis.record.path, path);
    FillFileStatus(analysis.record.status, path);
    if (AnsweredFromCache(path, request, analysis)) {
        Describe(analysis, request.mono_quality);
        return analysis;
    }
    StopWatch watch(request.progress);
    CVandrelMediaFileWrapper file;
    std::optional<std::pair<AnalysisOutcome, std::string>> failed;
    try {
        if (!file.Attach(path)) {
            failed.emplace(AnalysisOutcome::kRefused, DescribeAttachFailure(path));
        } else {
            analysis.feature_mask = file.GetFeatureMask();
            analysis.file_bytes = file.GetFileSize();
            if (request.depth != ReadDepth::kOpenOnly &&
                !ScanOpenFile(file, request, analysis, watch)) {
                failed.emplace(AnalysisOutcome::kTooShort, kTooShortReason);
            }
        }
    } catch (const ScanError& e) {
        failed.emplace(AnalysisOutcome::kScanFailed, e.what());
    } catch (const std::exception& e) {
        failed.emplace(AnalysisOutcome::kScanFailed,
                       kUnexpectedErrorPrefix + std::string(e.what()));
    }
    file.Close();
    if (watch.stopped()) {
        analysis.outcome = AnalysisOutcome::kStopped;
    } else if (failed) {
        ApplyFailure(analysis, failed->first, std::move(failed->second), request.reason_layout);
    } else if (request.depth != ReadDepth::kOpenOnly) {
        Describe(analysis, request.mono_quality);
    }
    return analysis;
}

void ApplyFailure(FileAnalysis& analysis, AnalysisOutcome outcome, std::string reason,
                  ReasonLayout layout) {
    analysis.outcome = outcome;
    ApplyScanFailureTexts(analysis.texts, analysis.record);
    const std::string text = ReasonText(reason, layout);
    analysis.severity = FillFailureCheckTexts(analysis.texts, text);
    analysis.findings = {RefusalFinding(text)};
    analysis.failure = std::move(reason);
}

void DescribeRecord(ScanRecord& record, AttributeTexts& texts, bool mono_quality) {
    const RecordVerdict verdict = JudgeRecord(record, mono_quality);
    FillAttributeTexts(texts, record, verdict);
    record.quality_class = verdict.quality_class;
}

int FrameLimit(int frames) {
    return frames == 0 ? kAllFrames : frames;
}

std::string_view WithoutTrailingLineBreaks(std::string_view text) {
    while (text.ends_with('\n') || text.ends_with('\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string OneLine(std::string_view text) {
    std::string line(WithoutTrailingLineBreaks(text));
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return line;
}

}  // namespace vandrel
