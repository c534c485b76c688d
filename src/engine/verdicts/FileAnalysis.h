#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/FileChecks.h"
#include "engine/core/ScanRecord.h"
#include "engine/core/Sink.h"
#include "engine/verdicts/AttributeTexts.h"
#include "engine/verdicts/Findings.h"

namespace vandrel {

// How much of a file one analysis reads.
enum class ReadDepth {
    kOpenOnly,  // open it through its kind for its size: no scan, no texts
    kHeaders,   // tags, the first frame and the VBR headers, no frame walk
    kFrames,    // the frames as well
};

// How the reason of a file that could not be analysed is written under
// Problems and as its finding. The scanner's messages end with line breaks,
// and some hold more inside.
enum class ReasonLayout {
    kAsGiven,            // the file list's cell, which shows them as lines
    kTrailingBreaksCut,  // the HTML report's cell
    kOneLine,            // vandrel-scan's tables and JSON: the breaks inside as blanks
};

// What one analysis of one file asks for.
struct AnalysisRequest {
    ReadDepth depth = ReadDepth::kFrames;
    // Frames to walk; 0 means all of them.
    int frames = 0;
    // When the frames read named no encoder, read them all: more may.
    bool all_frames_when_encoder_unknown = false;
    // Double the quality per bitrate of mono files.
    bool mono_quality = false;
    // Compute and check the music CRC of an MPEG audio file with a LAME tag.
    bool music_crc = false;
    // Answer a file that the analysis cache knows without opening it (the
    // probe of its kind reads nothing either). Not with the music CRC, which
    // needs the file's bytes.
    bool cache_before_open = false;
    ReasonLayout reason_layout = ReasonLayout::kAsGiven;
    // Told of the scan's progress; a false answer stops it. May be null.
    sink* progress = nullptr;
};

// What became of a file's analysis.
enum class AnalysisOutcome {
    kAnalysed,
    kRefused,     // no kind of media file opens it
    kTooShort,    // its kind opened it, but its scan found nothing to describe
    kScanFailed,  // the scan, or the opening, ended in an error
    kStopped,     // the progress sink stopped the scan: nothing of it is to be used
};

// One file's analysis: its record and checks, the texts and findings made of
// them, and for a file that could not be analysed, why.
struct FileAnalysis {
    AnalysisOutcome outcome = AnalysisOutcome::kAnalysed;
    ScanRecord record = ZeroRecord();
    FileChecks checks;
    // Every slot but the name, which the caller sets. A file that could not
    // be analysed shows its reason under Problems and "--" in the cells that
    // would need a scan.
    AttributeTexts texts;
    // Worst first; a file that could not be analysed has one: its reason.
    std::vector<Finding> findings;
    Severity severity = Severity::kNone;  // the worst of the findings
    int feature_mask = 0;                 // what the file's kind offers; 0 when not opened
    uint64_t file_bytes = 0;              // the opened file's size; 0 when not opened
    // Why the file was refused or its scan failed, as the scanner or the
    // system says it, line breaks and all.
    std::optional<std::string> failure;
};

// Opens the file through the registered media-file kinds, scans it as asked
// and describes it. Never throws: a failure becomes the analysis' outcome
// and reason. The record's path and file status are filled first, so that
// even a refused file's record says which file it is.
FileAnalysis Analyse(const std::string& path, const AnalysisRequest& request);

// Makes `analysis` that of a file that could not be analysed for `reason`:
// the failure texts, the reason under Problems and as the one finding.
void ApplyFailure(FileAnalysis& analysis, AnalysisOutcome outcome, std::string reason,
                  ReasonLayout layout);

// The record's own texts (every slot but the name and the checks') and its
// quality class, from the record alone: for a scan's record, or one changed
// after it (a tag written).
void DescribeRecord(ScanRecord& record, AttributeTexts& texts, bool mono_quality);

// The scan's frame limit for a count of frames where 0 means all of them.
int FrameLimit(int frames);

// The text without the line breaks it ends with (the scanner's messages end
// with one; a JSON value or a report line needs none).
std::string_view WithoutTrailingLineBreaks(std::string_view text);
// The text on one line: without its trailing line breaks, the others as
// blanks (a cell or an error message reads better so).
std::string OneLine(std::string_view text);

}  // namespace vandrel
