#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/FileChecks.h"
#include "engine/core/ScanRecord.h"
#include "engine/verdicts/AttributeTexts.h"
#include "engine/verdicts/Findings.h"

namespace vandrel::cli {

struct AnalysisOptions {
    int frames = 0;  // 0 = all
    bool headers_only = false;
    bool music_crc = false;  // check the music CRC of files with a LAME tag
    bool mono_quality = false;
};

// One analysed file as the output writers see it.
struct FileResult {
    std::string path;
    std::string name;                  // the path's last component
    std::optional<std::string> error;  // the scanner's or the system's message
    ScanRecord record;
    AttributeTexts texts;  // what the file list would show
    FileChecks checks;
    // Worst first; a file that could not be analysed has one: its error.
    std::vector<Finding> findings;
};

// Opens the file through the registered media-file kinds and scans it. Never
// throws: every failure becomes the result's error text.
FileResult AnalyseFile(const std::string& path, const AnalysisOptions& options);

// The result of `path` before its analysis: its name, a zero record.
FileResult StartResult(const std::string& path);

// Makes `result` that of a file that could not be analysed for `error`: the
// placeholders in the texts, the error under Problems and as its finding.
void ApplyFailure(FileResult& result, std::string error);

// Whether the file has something to report: a finding or an error.
bool HasProblems(const FileResult& result);

// The error text on one line: the scanner's own line breaks read better as
// blanks in a cell or an error message.
std::string OneLine(std::string_view error);

std::string FileNameOf(const std::string& path);

}  // namespace vandrel::cli
