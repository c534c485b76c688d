#pragma once

#include <string>

#include "engine/verdicts/FileAnalysis.h"

namespace vandrel::cli {

struct AnalysisOptions {
    int frames = 0;  // 0 = all
    bool headers_only = false;
    bool music_crc = false;  // check the music CRC of files with a LAME tag
    bool mono_quality = false;
};

// One analysed file as the output writers see it: its analysis (a file that
// could not be analysed has its reason as the failure and the one finding),
// and where it is.
struct FileResult : FileAnalysis {
    std::string path;
    std::string name;  // the path's last component
};

// Opens the file through the registered media-file kinds and scans it. Never
// throws: every failure becomes the result's failure text.
FileResult AnalyseFile(const std::string& path, const AnalysisOptions& options);

// The result of an input that is no file to analyse for `error` (a folder
// that cannot be read): a zero record, the error as its failure.
FileResult FailedResult(const std::string& path, std::string error);

// Whether the file has something to report: a finding or a failure.
bool HasProblems(const FileResult& result);

std::string FileNameOf(const std::string& path);

}  // namespace vandrel::cli
